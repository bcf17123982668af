// The frame statistics text on the real device under a (virtual) display: the glyphs
// reach the back buffer in yellow, texel for texel as the atlas holds them.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/d3d8/d3d8.h"
#include "shell/d3dfont.h"
#include "tests/support/gl_test_window.h"

namespace {

class D3DFontScreenTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { window = new GLTestWindow("font test", 160, 64); }
  static void TearDownTestSuite() {
    delete window;
    window = nullptr;
  }
  static HWND Hwnd() { return window->Hwnd(); }

  void SetUp() override {
    if (!window->IsOpen()) GTEST_SKIP() << "no display: " << SDL_GetError();
    d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(nullptr, d3d);
    D3DPRESENT_PARAMETERS params = WindowedPresentParams(Hwnd(), kWidth, kHeight);
    ASSERT_EQ(S_OK, d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, Hwnd(),
                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device));
  }
  void TearDown() override {
    if (device) {
      EXPECT_EQ(0u, device->Release());
    }
    if (d3d) {
      EXPECT_EQ(0u, d3d->Release());
    }
  }

  // Back-buffer pixels as 0x00RRGGBB, row 0 at the top.
  std::vector<DWORD> ReadBack() {
    std::vector<DWORD> pixels(kWidth * kHeight, 0);
    IDirect3DSurface8* surface = nullptr;
    EXPECT_EQ(S_OK, device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &surface));
    if (!surface) return pixels;
    D3DLOCKED_RECT locked;
    if (SUCCEEDED(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
      for (UINT y = 0; y < kHeight; ++y) {
        const DWORD* row = reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch);
        for (UINT x = 0; x < kWidth; ++x) pixels[y * kWidth + x] = row[x] & 0x00FFFFFF;
      }
      surface->UnlockRect();
    }
    surface->Release();
    return pixels;
  }

  static constexpr UINT kWidth = 160, kHeight = 64;
  static GLTestWindow* window;
  IDirect3D8* d3d = nullptr;
  IDirect3DDevice8* device = nullptr;
};

GLTestWindow* D3DFontScreenTest::window = nullptr;

}  // namespace

TEST_F(D3DFontScreenTest, FrameStatisticsRenderAsLegibleYellowGlyphs) {
  CD3DFont font("Arial", 12, FONT_BOLD);
  ASSERT_EQ(S_OK, font.InitDeviceObjects(device));
  ASSERT_EQ(S_OK, font.RestoreDeviceObjects());

  // The atlas alpha (0..15) of every texel, read before drawing.
  std::vector<int> alpha(font.TexWidth() * font.TexHeight());
  D3DLOCKED_RECT locked;
  ASSERT_EQ(S_OK, font.Texture()->LockRect(0, &locked, nullptr, D3DLOCK_READONLY));
  for (UINT y = 0; y < font.TexHeight(); ++y)
    for (UINT x = 0; x < font.TexWidth(); ++x)
      alpha[y * font.TexWidth() + x] =
          reinterpret_cast<const WORD*>(static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch)[x] >> 12;
  font.Texture()->UnlockRect(0);

  const char* text = "60.00 fps (160x64)";
  ASSERT_EQ(S_OK, device->BeginScene());
  ASSERT_EQ(S_OK, device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0));
  ASSERT_EQ(S_OK, font.DrawText(2, 0, 0xFFFFFF00, text, 0));
  ASSERT_EQ(S_OK, device->EndScene());
  const std::vector<DWORD> pixels = ReadBack();

  // Each glyph's cell on screen matches its atlas cell: ink where the atlas has
  // alpha, yellow scaled by that alpha, black elsewhere.
  int inked = 0, mismatched = 0, compared = 0;
  UINT sx = 2;
  for (const char* p = text; *p; ++p) {
    const FLOAT* tc = font.TexCoords(static_cast<unsigned char>(*p));
    const UINT u0 = UINT(tc[0] * font.TexWidth() + 0.5f), v0 = UINT(tc[1] * font.TexHeight() + 0.5f);
    const UINT w = UINT((tc[2] - tc[0]) * font.TexWidth() + 0.5f), h = UINT((tc[3] - tc[1]) * font.TexHeight() + 0.5f);
    for (UINT j = 0; j < h && j < kHeight; ++j)
      for (UINT i = 0; i < w && sx + i < kWidth; ++i) {
        const DWORD pixel = pixels[j * kWidth + sx + i];
        const int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
        const int expected = alpha[(v0 + j) * font.TexWidth() + u0 + i] * 255 / 15;
        ++compared;
        if (std::abs(r - expected) > 24 || std::abs(g - expected) > 24 || b > 8) ++mismatched;
        if (r > 200 && g > 200 && b < 40) ++inked;
      }
    sx += w;
  }
  EXPECT_GT(compared, 1000);
  EXPECT_LE(mismatched, compared / 100) << "of " << compared;
  EXPECT_GT(inked, 150);
  // Nothing is drawn below the text's row or right of it.
  int stray = 0;
  for (UINT y = 0; y < kHeight; ++y)
    for (UINT x = 0; x < kWidth; ++x)
      if ((y >= 20 || x >= sx) && pixels[y * kWidth + x] != 0) ++stray;
  EXPECT_EQ(0, stray);
  font.InvalidateDeviceObjects();
  font.DeleteDeviceObjects();
}
