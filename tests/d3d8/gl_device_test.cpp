// The OpenGL device under a real (virtual) display: frames are rendered and read back.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/d3d8/d3d8.h"
#include "platform/d3d8/gl_device.h"
#include "platform/d3d8/gl_functions.h"
#include "platform/d3d8/gl_window_bridge.h"
#include "platform/d3d8/memory_resources.h"
#include "tests/support/back_buffer_pixels.h"
#include "tests/support/gl_test_window.h"

namespace {

struct ScreenVertex {
  float x, y, z, rhw;
  D3DCOLOR color;
  float u, v;
};
static_assert(sizeof(ScreenVertex) == 28, "pre-transformed vertices are 28 bytes");

struct LitVertex {
  float x, y, z;
  float nx, ny, nz;
};

class GLDeviceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { window = new GLTestWindow("d3d8 test", 320, 240); }
  static void TearDownTestSuite() {
    delete window;
    window = nullptr;
  }
  static HWND Hwnd() { return window->Hwnd(); }

  void SetUp() override {
    if (!window->IsOpen()) GTEST_SKIP() << "no display: " << SDL_GetError();
    d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(nullptr, d3d);
    params = WindowedPresentParams(Hwnd(), 64, 64);
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

  // Reads the whole back buffer; pixels[y][x], row 0 at the top.
  std::vector<std::vector<Pixel>> ReadBack() { return ReadBackPixels(device); }

  static void ExpectColor(const Pixel& p, int r, int g, int b, const char* where, int tolerance = 3) {
    EXPECT_NEAR(r, p.r, tolerance) << where;
    EXPECT_NEAR(g, p.g, tolerance) << where;
    EXPECT_NEAR(b, p.b, tolerance) << where;
  }

  IDirect3DTexture8* MakeTexture(UINT width, UINT height, D3DFORMAT format, const std::vector<WORD>& words16,
                                 const std::vector<DWORD>& words32) {
    IDirect3DTexture8* texture = nullptr;
    EXPECT_EQ(S_OK, device->CreateTexture(width, height, 1, 0, format, D3DPOOL_MANAGED, &texture));
    D3DLOCKED_RECT locked;
    EXPECT_EQ(S_OK, texture->LockRect(0, &locked, nullptr, 0));
    const size_t size = words32.empty() ? 2 : 4;
    const BYTE* source = words32.empty() ? reinterpret_cast<const BYTE*>(words16.data())
                                         : reinterpret_cast<const BYTE*>(words32.data());
    for (UINT y = 0; y < height; ++y)
      for (UINT x = 0; x < width; ++x) {
        BYTE* row = static_cast<BYTE*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
        std::memcpy(row + x * size, source + (static_cast<size_t>(y) * width + x) * size, size);
      }
    texture->UnlockRect(0);
    return texture;
  }

  static GLTestWindow* window;
  IDirect3D8* d3d = nullptr;
  IDirect3DDevice8* device = nullptr;
  D3DPRESENT_PARAMETERS params;
};

GLTestWindow* GLDeviceTest::window = nullptr;

}  // namespace

TEST_F(GLDeviceTest, AdapterReportsVirtualModesAndFixedFunctionCaps) {
  ASSERT_EQ(1u, d3d->GetAdapterCount());
  ASSERT_EQ(6u, d3d->GetAdapterModeCount(0));
  int x8 = 0, r5 = 0;
  for (UINT i = 0; i < 6; ++i) {
    D3DDISPLAYMODE mode;
    ASSERT_EQ(S_OK, d3d->EnumAdapterModes(0, i, &mode));
    x8 += mode.Format == D3DFMT_X8R8G8B8;
    r5 += mode.Format == D3DFMT_R5G6B5;
    EXPECT_TRUE(mode.Width == 640 || mode.Width == 800 || mode.Width == 1024);
  }
  EXPECT_EQ(3, x8);
  EXPECT_EQ(3, r5);
  D3DCAPS8 caps;
  ASSERT_EQ(S_OK, device->GetDeviceCaps(&caps));
  EXPECT_EQ(0u, caps.VertexShaderVersion);
  EXPECT_GE(caps.MaxActiveLights, 8u);
  EXPECT_TRUE(caps.TextureCaps & D3DPTEXTURECAPS_MIPMAP);
  EXPECT_TRUE(caps.TextureFilterCaps & D3DPTFILTERCAPS_MIPFLINEAR);
  EXPECT_EQ(S_OK, d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, D3DFMT_R5G6B5, FALSE));
  EXPECT_EQ(D3DERR_NOTAVAILABLE, d3d->CheckDeviceType(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, TRUE));
  EXPECT_EQ(S_OK, d3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_D16));
  EXPECT_EQ(D3DERR_NOTAVAILABLE, d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL,
                                                        D3DRTYPE_SURFACE, D3DFMT_D15S1));
  EXPECT_EQ(nullptr, Direct3DCreate8(120));
}

TEST_F(GLDeviceTest, ClearFillsTheViewportAndRectangles) {
  ASSERT_EQ(S_OK, device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(10, 20, 200), 1.0f, 0));
  const D3DRECT rect = {0, 0, 8, 4};
  ASSERT_EQ(S_OK, device->Clear(1, &rect, D3DCLEAR_TARGET, D3DCOLOR_XRGB(255, 0, 0), 1.0f, 0));
  auto pixels = ReadBack();
  ASSERT_EQ(64u, pixels.size());
  ExpectColor(pixels[40][40], 10, 20, 200, "cleared");
  ExpectColor(pixels[0][0], 255, 0, 0, "top-left rectangle");
  ExpectColor(pixels[3][7], 255, 0, 0, "rectangle corner");
  ExpectColor(pixels[4][7], 10, 20, 200, "below the rectangle");
  EXPECT_EQ(S_OK, device->Present(nullptr, nullptr, nullptr, nullptr));
}

TEST_F(GLDeviceTest, LitTriangleFromVertexBufferFacesTheLight) {
  // In normalised coordinates, clockwise on screen: Direct3D's front face.
  const LitVertex front[3] = {{-0.8f, 0.1f, 0.5f, 0, 0, -1}, {0.0f, 0.9f, 0.5f, 0, 0, -1}, {0.8f, 0.1f, 0.5f, 0, 0, -1}};
  // The same in the lower half, counter-clockwise: culled by default.
  const LitVertex back[3] = {{-0.8f, -0.9f, 0.5f, 0, 0, -1}, {0.8f, -0.9f, 0.5f, 0, 0, -1}, {0.0f, -0.1f, 0.5f, 0, 0, -1}};
  IDirect3DVertexBuffer8* buffer = nullptr;
  ASSERT_EQ(S_OK, device->CreateVertexBuffer(sizeof front + sizeof back, D3DUSAGE_WRITEONLY,
                                             D3DFVF_XYZ | D3DFVF_NORMAL, D3DPOOL_MANAGED, &buffer));
  BYTE* data = nullptr;
  ASSERT_EQ(S_OK, buffer->Lock(0, 0, &data, 0));
  std::memcpy(data, front, sizeof front);
  std::memcpy(data + sizeof front, back, sizeof back);
  buffer->Unlock();

  D3DMATERIAL8 material = {};
  material.Diffuse = {1.0f, 0.0f, 0.0f, 1.0f};
  material.Ambient = {0.0f, 0.0f, 1.0f, 1.0f};
  D3DLIGHT8 light = {};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
  light.Direction = {0.0f, 0.0f, 1.0f};  // away from the viewer, onto the triangle

  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(0, 0, 0), 1.0f, 0);
  ASSERT_EQ(S_OK, device->BeginScene());
  device->SetMaterial(&material);
  device->SetLight(0, &light);
  device->LightEnable(0, TRUE);
  device->SetRenderState(D3DRS_AMBIENT, D3DCOLOR_XRGB(64, 64, 64));
  device->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL);
  device->SetStreamSource(0, buffer, sizeof(LitVertex));
  ASSERT_EQ(S_OK, device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2));
  ASSERT_EQ(S_OK, device->EndScene());
  device->SetStreamSource(0, nullptr, 0);
  EXPECT_EQ(0u, buffer->Release());

  auto pixels = ReadBack();
  // Full diffuse red plus a quarter of the blue ambient material.
  ExpectColor(pixels[20][32], 255, 0, 64, "lit front face, upper half");
  ExpectColor(pixels[48][32], 0, 0, 0, "culled back face, lower half");
  ExpectColor(pixels[2][2], 0, 0, 0, "outside");
}

TEST_F(GLDeviceTest, SpecularHighlightOnlyWhileSpecularIsEnabled) {
  const LitVertex tri[3] = {{-0.8f, -0.8f, 0.5f, 0, 0, -1}, {0.0f, 0.8f, 0.5f, 0, 0, -1}, {0.8f, -0.8f, 0.5f, 0, 0, -1}};
  D3DMATERIAL8 material = {};
  material.Diffuse = {0.5f, 0.0f, 0.0f, 1.0f};
  material.Specular = {0.0f, 1.0f, 0.0f, 1.0f};
  material.Power = 1.0f;
  D3DLIGHT8 light = {};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
  light.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
  light.Direction = {0.0f, 0.0f, 1.0f};  // from behind the viewer, straight onto the triangle
  for (BOOL specular : {FALSE, TRUE}) {
    SCOPED_TRACE(specular ? "specular on" : "specular off");
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(0, 0, 0), 1.0f, 0);
    ASSERT_EQ(S_OK, device->BeginScene());
    device->SetMaterial(&material);
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    device->SetRenderState(D3DRS_SPECULARENABLE, specular);
    device->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL);
    ASSERT_EQ(S_OK, device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(LitVertex)));
    ASSERT_EQ(S_OK, device->EndScene());
    auto pixels = ReadBack();
    // The diffuse half red always; the green highlight (seen from the eye, a little off
    // the mirror direction) only with specular on.
    const Pixel& p = pixels[40][32];
    EXPECT_NEAR(128, p.r, 3);
    if (specular)
      EXPECT_GT(p.g, 150);
    else
      EXPECT_EQ(0, p.g);
    EXPECT_EQ(0, p.b);
  }
}

TEST_F(GLDeviceTest, DepthTestKeepsTheNearerTriangle) {
  struct ColorVertex {
    float x, y, z;
    D3DCOLOR color;
  };
  const ColorVertex tris[6] = {
      {-1, -1, 0.3f, D3DCOLOR_XRGB(0, 255, 0)}, {-1, 1, 0.3f, D3DCOLOR_XRGB(0, 255, 0)}, {1, -1, 0.3f, D3DCOLOR_XRGB(0, 255, 0)},
      {-1, -1, 0.6f, D3DCOLOR_XRGB(255, 0, 0)}, {-1, 1, 0.6f, D3DCOLOR_XRGB(255, 0, 0)}, {1, -1, 0.6f, D3DCOLOR_XRGB(255, 0, 0)},
  };
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  ASSERT_EQ(S_OK, device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, tris, sizeof(ColorVertex)));
  auto pixels = ReadBack();
  ExpectColor(pixels[40][10], 0, 255, 0, "nearer triangle wins");
}

TEST_F(GLDeviceTest, PreTransformedTexturedQuadWithAlphaTestAndBlend) {
  // Left column opaque green, right column fully transparent.
  IDirect3DTexture8* keyed = MakeTexture(2, 2, D3DFMT_A8R8G8B8, {}, {0xFF00FF00u, 0x0000FF00u, 0xFF00FF00u, 0x0000FF00u});
  // Half-transparent red in 4-4-4-4.
  IDirect3DTexture8* glass = MakeTexture(1, 1, D3DFMT_A4R4G4B4, {0x8F00}, {});

  auto quad = [](float left, float top, float right, float bottom, D3DCOLOR color, std::vector<ScreenVertex>* out) {
    const ScreenVertex a = {left, top, 0.5f, 1.0f, color, 0, 0}, b = {right, top, 0.5f, 1.0f, color, 1, 0};
    const ScreenVertex c = {left, bottom, 0.5f, 1.0f, color, 0, 1}, d = {right, bottom, 0.5f, 1.0f, color, 1, 1};
    out->insert(out->end(), {a, b, c, b, d, c});
  };
  std::vector<ScreenVertex> first, second;
  quad(8, 8, 40, 40, 0xFFFFFFFFu, &first);
  quad(44, 44, 60, 60, 0xFFFFFFFFu, &second);

  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(0, 0, 255), 1.0f, 0);
  ASSERT_EQ(S_OK, device->BeginScene());
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  device->SetRenderState(D3DRS_ALPHAREF, 8);
  device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  device->SetVertexShader(0x144);
  device->SetTexture(0, keyed);
  ASSERT_EQ(S_OK, device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, first.data(), sizeof(ScreenVertex)));
  device->SetTexture(0, glass);
  ASSERT_EQ(S_OK, device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, second.data(), sizeof(ScreenVertex)));
  ASSERT_EQ(S_OK, device->EndScene());
  device->SetTexture(0, nullptr);
  EXPECT_EQ(0u, keyed->Release());
  EXPECT_EQ(0u, glass->Release());

  auto pixels = ReadBack();
  ExpectColor(pixels[20][12], 0, 255, 0, "opaque texels");
  ExpectColor(pixels[20][36], 0, 0, 255, "transparent texels are tested away");
  ExpectColor(pixels[8][8], 0, 255, 0, "first pixel of the quad");
  ExpectColor(pixels[7][8], 0, 0, 255, "above the quad");
  ExpectColor(pixels[8][40], 0, 0, 255, "right of the quad");
  ExpectColor(pixels[50][50], 136, 0, 119, "half-transparent red over blue", 4);
}

TEST_F(GLDeviceTest, UnboundTextureReadsWhiteAndStageZeroModulatesDiffuse) {
  IDirect3DTexture8* grey = MakeTexture(1, 1, D3DFMT_X8R8G8B8, {}, {0xFF808080u});
  std::vector<ScreenVertex> left = {{0, 0, 0, 1, 0xFFFF0000u, 0, 0}, {32, 0, 0, 1, 0xFFFF0000u, 1, 0},
                                    {0, 64, 0, 1, 0xFFFF0000u, 0, 1}, {32, 0, 0, 1, 0xFFFF0000u, 1, 0},
                                    {32, 64, 0, 1, 0xFFFF0000u, 1, 1}, {0, 64, 0, 1, 0xFFFF0000u, 0, 1}};
  std::vector<ScreenVertex> right = left;
  for (auto& v : right) v.x += 32;
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  device->SetVertexShader(0x144);
  device->SetTexture(0, grey);
  device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, left.data(), sizeof(ScreenVertex));
  device->SetTexture(0, nullptr);
  device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, right.data(), sizeof(ScreenVertex));
  EXPECT_EQ(0u, grey->Release());
  auto pixels = ReadBack();
  ExpectColor(pixels[32][16], 128, 0, 0, "grey texture times red diffuse");
  ExpectColor(pixels[32][48], 255, 0, 0, "no texture: white times red");
}

// Stage state is given to OpenGL only when it changes; each change below must still show.
TEST_F(GLDeviceTest, StageChangesShowFromDrawToDrawAndAfterTheCursor) {
  IDirect3DTexture8* grey = MakeTexture(1, 1, D3DFMT_X8R8G8B8, {}, {0xFF808080u});
  // Texture coordinates 2..3 lie wholly in the border.
  auto quad = [](float left, float u) {
    const D3DCOLOR red = 0xFFFF0000u;
    return std::vector<ScreenVertex>{{left, 0, 0, 1, red, u, u},      {left + 8, 0, 0, 1, red, u + 1, u},
                                     {left, 8, 0, 1, red, u, u + 1},  {left + 8, 0, 0, 1, red, u + 1, u},
                                     {left + 8, 8, 0, 1, red, u + 1, u + 1}, {left, 8, 0, 1, red, u, u + 1}};
  };
  auto draw = [this](const std::vector<ScreenVertex>& q) {
    ASSERT_EQ(S_OK, device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, q.data(), sizeof(ScreenVertex)));
  };
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  device->SetVertexShader(0x144);
  device->SetTexture(0, grey);
  draw(quad(0, 0));
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
  draw(quad(8, 0));
  device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF00FF00u);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
  draw(quad(16, 0));
  // A second stage replaces the colour with the factor's, then goes off again.
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TFACTOR);
  draw(quad(24, 0));
  device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  draw(quad(32, 0));
  // The same texture with two border colours.
  device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_BORDER);
  device->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_BORDER);
  device->SetTextureStageState(0, D3DTSS_BORDERCOLOR, 0xFF0000FFu);
  draw(quad(40, 2));
  device->SetTextureStageState(0, D3DTSS_BORDERCOLOR, 0xFF00FFFFu);
  draw(quad(48, 2));
  device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
  device->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  draw(quad(56, 0));
  auto pixels = ReadBack();
  ExpectColor(pixels[4][4], 128, 0, 0, "texture times diffuse");
  ExpectColor(pixels[4][12], 255, 0, 0, "diffuse alone");
  ExpectColor(pixels[4][20], 0, 255, 0, "texture factor");
  ExpectColor(pixels[4][28], 0, 255, 0, "second stage");
  ExpectColor(pixels[4][36], 128, 128, 128, "second stage off");
  ExpectColor(pixels[4][44], 0, 0, 255, "first border colour");
  ExpectColor(pixels[4][52], 0, 255, 255, "second border colour");
  ExpectColor(pixels[4][60], 128, 0, 0, "texture times diffuse");

  // The cursor is drawn with texture state of its own; the next draw, unchanged, is not.
  IDirect3DSurface8* arrow = nullptr;
  ASSERT_EQ(S_OK, device->CreateImageSurface(4, 4, D3DFMT_A8R8G8B8, &arrow));
  ASSERT_EQ(S_OK, device->SetCursorProperties(0, 0, arrow));
  EXPECT_EQ(0u, arrow->Release());
  device->ShowCursor(TRUE);
  EXPECT_EQ(S_OK, device->Present(nullptr, nullptr, nullptr, nullptr));
  device->ShowCursor(FALSE);
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  draw(quad(0, 0));
  device->SetTexture(0, nullptr);
  EXPECT_EQ(0u, grey->Release());
  ExpectColor(ReadBack()[4][4], 128, 0, 0, "texture times diffuse after the cursor");
}

TEST_F(GLDeviceTest, ResetNeedsDefaultPoolReleasedAndRestoresDefaults) {
  IDirect3DVertexBuffer8* buffer = nullptr;
  ASSERT_EQ(S_OK, device->CreateVertexBuffer(28 * 6, D3DUSAGE_WRITEONLY, 0x144, D3DPOOL_DEFAULT, &buffer));
  device->SetRenderState(D3DRS_ZENABLE, FALSE);
  device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
  D3DPRESENT_PARAMETERS next = params;
  next.BackBufferWidth = 32;
  next.BackBufferHeight = 16;
  EXPECT_EQ(D3DERR_INVALIDCALL, device->Reset(&next));
  EXPECT_EQ(0u, buffer->Release());
  ASSERT_EQ(S_OK, device->Reset(&next));
  DWORD value = 0;
  device->GetRenderState(D3DRS_ZENABLE, &value);
  EXPECT_EQ(static_cast<DWORD>(D3DZB_TRUE), value);
  device->GetTextureStageState(0, D3DTSS_MINFILTER, &value);
  EXPECT_EQ(static_cast<DWORD>(D3DTEXF_POINT), value);
  D3DVIEWPORT8 viewport;
  device->GetViewport(&viewport);
  EXPECT_EQ(32u, viewport.Width);
  device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 128, 0), 1.0f, 0);
  auto pixels = ReadBack();
  ASSERT_EQ(16u, pixels.size());
  ASSERT_EQ(32u, pixels[0].size());
  ExpectColor(pixels[15][31], 0, 128, 0, "new back buffer");
}

TEST_F(GLDeviceTest, MinimisedWindowLosesTheDeviceUntilReset) {
  EXPECT_EQ(S_OK, device->TestCooperativeLevel());
  D3D8SetWindowMinimized(Hwnd(), true);
  EXPECT_EQ(D3DERR_DEVICELOST, device->TestCooperativeLevel());
  EXPECT_EQ(D3DERR_DEVICELOST, device->Present(nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(D3DERR_DEVICELOST, device->Reset(&params));
  D3D8SetWindowMinimized(Hwnd(), false);
  EXPECT_EQ(D3DERR_DEVICENOTRESET, device->TestCooperativeLevel());
  ASSERT_EQ(S_OK, device->Reset(&params));
  EXPECT_EQ(S_OK, device->TestCooperativeLevel());
  EXPECT_EQ(S_OK, device->Present(nullptr, nullptr, nullptr, nullptr));
}

TEST_F(GLDeviceTest, PresentLetterboxesAndMapsMouseBackToTheBackBuffer) {
  // 64x64 into a 320x240 window: a 240x240 view centred horizontally.
  ASSERT_EQ(S_OK, device->Present(nullptr, nullptr, nullptr, nullptr));
  int x = 0, y = 0;
  ASSERT_TRUE(D3D8WindowToBackBuffer(Hwnd(), 160, 120, &x, &y));
  EXPECT_EQ(32, x);
  EXPECT_EQ(32, y);
  ASSERT_TRUE(D3D8WindowToBackBuffer(Hwnd(), 40, 0, &x, &y));
  EXPECT_EQ(0, x);
  EXPECT_EQ(0, y);
}

TEST_F(GLDeviceTest, CursorFromAnImageSurface) {
  IDirect3DSurface8* surface = nullptr;
  ASSERT_EQ(S_OK, device->CreateImageSurface(8, 8, D3DFMT_A8R8G8B8, &surface));
  D3DLOCKED_RECT locked;
  ASSERT_EQ(S_OK, surface->LockRect(&locked, nullptr, 0));
  std::memset(locked.pBits, 0xff, static_cast<size_t>(locked.Pitch) * 8);
  surface->UnlockRect();
  EXPECT_EQ(D3DERR_INVALIDCALL, device->SetCursorProperties(8, 0, surface));
  ASSERT_EQ(S_OK, device->SetCursorProperties(1, 1, surface));
  EXPECT_EQ(0u, surface->Release());
  device->SetCursorPosition(10, 10, 0);
  EXPECT_FALSE(device->ShowCursor(TRUE));
  EXPECT_EQ(S_OK, device->Present(nullptr, nullptr, nullptr, nullptr));
  // The cursor goes on the window, not into the back buffer.
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  ExpectColor(ReadBack()[10][10], 0, 0, 0, "back buffer");
  EXPECT_TRUE(device->ShowCursor(FALSE));
}

TEST_F(GLDeviceTest, IndexedDrawAndStateBlocks) {
  struct ColorVertex {
    float x, y, z;
    D3DCOLOR color;
  };
  const ColorVertex quad[4] = {{-1, 1, 0.5f, 0xFFFFFF00u}, {1, 1, 0.5f, 0xFFFFFF00u},
                               {-1, -1, 0.5f, 0xFFFFFF00u}, {1, -1, 0.5f, 0xFFFFFF00u}};
  const WORD order[6] = {0, 1, 2, 1, 3, 2};
  IDirect3DVertexBuffer8* vb = nullptr;
  IDirect3DIndexBuffer8* ib = nullptr;
  ASSERT_EQ(S_OK, device->CreateVertexBuffer(sizeof quad, 0, D3DFVF_XYZ | D3DFVF_DIFFUSE, D3DPOOL_MANAGED, &vb));
  ASSERT_EQ(S_OK, device->CreateIndexBuffer(sizeof order, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib));
  BYTE* data;
  vb->Lock(0, 0, &data, 0);
  std::memcpy(data, quad, sizeof quad);
  vb->Unlock();
  ib->Lock(0, 0, &data, 0);
  std::memcpy(data, order, sizeof order);
  ib->Unlock();

  DWORD block = 0;
  device->BeginStateBlock();
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  device->SetStreamSource(0, vb, sizeof(ColorVertex));
  device->SetIndices(ib, 0);
  ASSERT_EQ(S_OK, device->EndStateBlock(&block));
  ASSERT_EQ(S_OK, device->ApplyStateBlock(block));
  EXPECT_EQ(0u, vb->Release());  // the device and the block keep them alive
  EXPECT_EQ(0u, ib->Release());
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  ASSERT_EQ(S_OK, device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2));
  EXPECT_EQ(D3DERR_INVALIDCALL, device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 3, 2));
  device->DeleteStateBlock(block);
  device->SetStreamSource(0, nullptr, 0);
  device->SetIndices(nullptr, 0);
  auto pixels = ReadBack();
  ExpectColor(pixels[5][5], 255, 255, 0, "top-left");
  ExpectColor(pixels[60][60], 255, 255, 0, "bottom-right");
}

namespace {

struct ColorVertex {
  float x, y, z;
  D3DCOLOR color;
};

// Two triangles covering the rectangle at depth z.
void AddRect(float left, float bottom, float right, float top, float z, D3DCOLOR color, std::vector<ColorVertex>* out) {
  const ColorVertex a = {left, top, z, color}, b = {right, top, z, color};
  const ColorVertex c = {left, bottom, z, color}, d = {right, bottom, z, color};
  out->insert(out->end(), {a, b, c, b, d, c});
}

}  // namespace

// The device draws buffers from its own copies: a lock that rewrites them must show in
// the next draw, and no index may reach past the vertices, whatever the base vertex.
TEST_F(GLDeviceTest, BuffersRedrawAfterALockAndIndicesStayWithinTheVertices) {
  std::vector<ColorVertex> vertices;
  AddRect(-1, -1, 1, 1, 0.5f, 0xFFFF0000u, &vertices);  // red, then green
  AddRect(-1, -1, 1, 1, 0.5f, 0xFF00FF00u, &vertices);
  const WORD order[6] = {0, 1, 2, 3, 4, 5};
  IDirect3DVertexBuffer8* vb = nullptr;
  IDirect3DIndexBuffer8* ib = nullptr;
  const UINT bytes = static_cast<UINT>(vertices.size() * sizeof(ColorVertex));
  ASSERT_EQ(S_OK, device->CreateVertexBuffer(bytes, 0, D3DFVF_XYZ | D3DFVF_DIFFUSE, D3DPOOL_MANAGED, &vb));
  ASSERT_EQ(S_OK, device->CreateIndexBuffer(sizeof order, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib));
  BYTE* data;
  vb->Lock(0, 0, &data, 0);
  std::memcpy(data, vertices.data(), bytes);
  vb->Unlock();
  ib->Lock(0, 0, &data, 0);
  std::memcpy(data, order, sizeof order);
  ib->Unlock();
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  device->SetStreamSource(0, vb, sizeof(ColorVertex));

  auto drawnColour = [&](UINT baseVertex) {
    device->SetIndices(ib, baseVertex);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    EXPECT_EQ(S_OK, device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 6, 0, 2));
    return ReadBack()[32][32];
  };
  ExpectColor(drawnColour(0), 255, 0, 0, "first rectangle");
  ExpectColor(drawnColour(6), 0, 255, 0, "base vertex 6");
  vb->Lock(0, sizeof(ColorVertex) * 6, &data, 0);
  for (int v = 0; v < 6; ++v) reinterpret_cast<ColorVertex*>(data)[v].color = 0xFF0000FFu;
  vb->Unlock();
  ExpectColor(drawnColour(0), 0, 0, 255, "after the lock");
  vb->Lock(0, 0, &data, D3DLOCK_READONLY);
  EXPECT_EQ(0xFF0000FFu, reinterpret_cast<ColorVertex*>(data)[5].color);
  vb->Unlock();

  device->SetIndices(ib, 7);  // 7 + 5 is past the twelve vertices
  EXPECT_EQ(D3DERR_INVALIDCALL, device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 6, 0, 2));
  ib->Lock(4, 2, &data, 0);
  const WORD far = 12;
  std::memcpy(data, &far, 2);
  ib->Unlock();
  device->SetIndices(ib, 0);
  EXPECT_EQ(D3DERR_INVALIDCALL, device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 6, 0, 2));
  EXPECT_EQ(S_OK, device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 6, 3, 1));  // the last three are in reach
  device->SetStreamSource(0, nullptr, 0);
  device->SetIndices(nullptr, 0);
  EXPECT_EQ(0u, vb->Release());
  EXPECT_EQ(0u, ib->Release());
}

TEST_F(GLDeviceTest, LeftHandedCameraAndPerspectiveDepth) {
  // Camera at z = -5 looking along +z; 90 degree field of view, near 1, far 100.
  D3DMATRIX view = {}, projection = {};
  view._11 = view._22 = view._33 = view._44 = 1.0f;
  view._43 = 5.0f;
  projection._11 = projection._22 = 1.0f;
  projection._33 = 100.0f / 99.0f;
  projection._34 = 1.0f;
  projection._43 = -100.0f / 99.0f;
  std::vector<ColorVertex> scene;
  AddRect(0.5f, -0.5f, 1.5f, 0.5f, 0.0f, D3DCOLOR_XRGB(0, 255, 0), &scene);   // near, right of centre
  AddRect(-0.5f, 0.5f, 0.5f, 1.5f, 0.0f, D3DCOLOR_XRGB(0, 0, 255), &scene);   // near, above centre
  AddRect(-4.0f, -4.0f, 4.0f, 4.0f, 1.0f, D3DCOLOR_XRGB(255, 0, 0), &scene);  // far, drawn last

  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  device->SetTransform(D3DTS_VIEW, &view);
  device->SetTransform(D3DTS_PROJECTION, &projection);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  ASSERT_EQ(S_OK, device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 6, scene.data(), sizeof(ColorVertex)));
  auto pixels = ReadBack();
  ExpectColor(pixels[32][38], 0, 255, 0, "near quad on the right");
  ExpectColor(pixels[25][32], 0, 0, 255, "near quad above, in the upper rows");
  ExpectColor(pixels[32][20], 255, 0, 0, "far quad where nothing is nearer");
  ExpectColor(pixels[32][2], 0, 0, 0, "outside the far quad");
}

TEST_F(GLDeviceTest, ViewportLimitsDrawingAndClearing) {
  device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 0, 0), 1.0f, 0);
  const D3DVIEWPORT8 viewport = {32, 0, 32, 32, 0.0f, 1.0f};
  ASSERT_EQ(S_OK, device->SetViewport(&viewport));
  const D3DVIEWPORT8 tooBig = {32, 0, 64, 32, 0.0f, 1.0f};
  EXPECT_EQ(D3DERR_INVALIDCALL, device->SetViewport(&tooBig));
  device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 0, 255), 1.0f, 0);
  std::vector<ColorVertex> full;
  AddRect(-1.0f, -1.0f, 0.0f, 1.0f, 0.5f, D3DCOLOR_XRGB(255, 255, 255), &full);  // left half of the viewport
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, full.data(), sizeof(ColorVertex));
  auto pixels = ReadBack();
  ExpectColor(pixels[16][40], 255, 255, 255, "left half of the viewport");
  ExpectColor(pixels[16][56], 0, 0, 255, "right half of the viewport: cleared only");
  ExpectColor(pixels[16][16], 0, 0, 0, "left of the viewport");
  ExpectColor(pixels[48][48], 0, 0, 0, "below the viewport");
}

TEST_F(GLDeviceTest, MipmappedSixteenBitTextureWithClampAddressing) {
  IDirect3DTexture8* texture = nullptr;
  ASSERT_EQ(S_OK, device->CreateTexture(4, 4, 0, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &texture));
  ASSERT_EQ(3u, texture->GetLevelCount());
  for (UINT level = 0; level < 3; ++level) {
    D3DLOCKED_RECT locked;
    ASSERT_EQ(S_OK, texture->LockRect(level, &locked, nullptr, 0));
    const UINT size = 4 >> level;
    for (UINT y = 0; y < size; ++y)
      for (UINT x = 0; x < size; ++x)
        reinterpret_cast<WORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x] = level == 0 ? 0x001F : 0xF800;
    texture->UnlockRect(level);
  }
  // A quad of 32x32 pixels shows the 4x4 level magnified: level 0 is blue. Coordinates beyond 1 clamp.
  std::vector<ScreenVertex> quad = {{0, 0, 0, 1, 0xFFFFFFFFu, 0, 0},  {32, 0, 0, 1, 0xFFFFFFFFu, 2, 0},
                                    {0, 32, 0, 1, 0xFFFFFFFFu, 0, 2}, {32, 0, 0, 1, 0xFFFFFFFFu, 2, 0},
                                    {32, 32, 0, 1, 0xFFFFFFFFu, 2, 2}, {0, 32, 0, 1, 0xFFFFFFFFu, 0, 2}};
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  device->SetVertexShader(0x144);
  device->SetTexture(0, texture);
  device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
  device->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
  device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_POINT);
  ASSERT_EQ(S_OK, device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad.data(), sizeof(ScreenVertex)));
  device->SetTexture(0, nullptr);
  EXPECT_EQ(0u, texture->Release());
  auto pixels = ReadBack();
  ExpectColor(pixels[4][4], 0, 0, 255, "level 0 texel");
  ExpectColor(pixels[28][28], 0, 0, 255, "clamped texel");
}

TEST_F(GLDeviceTest, PointLightWithAmbientLightsAMeshVertexFormat) {
  struct MeshVertex {
    float x, y, z, nx, ny, nz, u, v;
  };
  const MeshVertex tri[3] = {{-0.9f, -0.9f, 0.5f, 0, 0, -1, 0, 0},
                             {0.0f, 0.9f, 0.5f, 0, 0, -1, 0, 0},
                             {0.9f, -0.9f, 0.5f, 0, 0, -1, 0, 0}};
  D3DMATERIAL8 material = {};
  material.Diffuse = {0.0f, 1.0f, 0.0f, 1.0f};
  material.Ambient = {0.0f, 0.0f, 0.5f, 1.0f};
  D3DLIGHT8 light = {};
  light.Type = D3DLIGHT_POINT;
  light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
  light.Ambient = {1.0f, 1.0f, 1.0f, 0.0f};
  light.Position = {0.0f, 0.0f, -20.0f};
  light.Range = 1000.0f;
  light.Attenuation0 = 1.0f;
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetMaterial(&material);
  device->SetLight(18, &light);
  device->LightEnable(18, TRUE);
  device->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
  ASSERT_EQ(S_OK, device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(MeshVertex)));
  device->LightEnable(18, FALSE);
  auto pixels = ReadBack();
  ExpectColor(pixels[36][32], 0, 255, 128, "diffuse from the point light plus its ambient", 6);
}

// Textures reach OpenGL when they are filled, not at the first draw, and the memory
// copy goes; locks read the pixels back, and a texture outliving its device keeps them.
TEST_F(GLDeviceTest, AFilledTextureIsInOpenGLAtOnceAndKeptOnlyThere) {
  const std::vector<DWORD> texels = {0xFF102030u, 0xFF405060u, 0x80708090u, 0x00A0B0C0u,
                                     0xFFFFFFFFu, 0xFF000000u, 0xFF00FF00u, 0xFFFF0000u};
  IDirect3DTexture8* texture = MakeTexture(4, 2, D3DFMT_A8R8G8B8, {}, texels);
  CMemoryTexture* memory = AsMemoryTexture(texture);
  ASSERT_NE(nullptr, memory);
  ASSERT_NE(0u, memory->glName);
  EXPECT_FALSE(memory->HasPixels(0));
  auto expectInOpenGL = [&](size_t index, DWORD argb) {
    std::vector<BYTE> rgba(texels.size() * 4);
    glBindTexture(GL_TEXTURE_2D, memory->glName);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    const BYTE* texel = &rgba[index * 4];
    EXPECT_EQ(argb, DWORD(texel[3]) << 24 | DWORD(texel[0]) << 16 | DWORD(texel[1]) << 8 | texel[2]) << index;
  };
  for (size_t i = 0; i < texels.size(); ++i) expectInOpenGL(i, texels[i]);
  D3DSURFACE_DESC desc;
  ASSERT_EQ(S_OK, texture->GetLevelDesc(0, &desc));
  EXPECT_EQ(4u * 2u * 4u, desc.Size);
  EXPECT_EQ(4u, desc.Width);

  // A partial lock sees what is there; what it writes reaches OpenGL at the unlock.
  D3DLOCKED_RECT locked;
  const RECT one = {1, 1, 2, 2};
  ASSERT_EQ(S_OK, texture->LockRect(0, &locked, &one, 0));
  EXPECT_EQ(texels[5], *static_cast<DWORD*>(locked.pBits));
  *static_cast<DWORD*>(locked.pBits) = 0xFF0000FFu;
  ASSERT_EQ(S_OK, texture->UnlockRect(0));
  EXPECT_FALSE(memory->HasPixels(0));
  expectInOpenGL(5, 0xFF0000FFu);
  expectInOpenGL(4, texels[4]);

  // The device goes first (it reports the texture still referenced).
  EXPECT_EQ(0u, device->Release());
  device = nullptr;
  ASSERT_EQ(S_OK, texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY));
  const DWORD* pixels = static_cast<const DWORD*>(locked.pBits);
  EXPECT_EQ(texels[0], pixels[0]);
  EXPECT_EQ(0xFF0000FFu, pixels[5]);
  EXPECT_EQ(texels[7], pixels[7]);
  texture->UnlockRect(0);
  EXPECT_EQ(0u, texture->Release());
}

// Vertical sync is on by default, windowed and full screen; VANTOREL_NO_VSYNC=1 (set
// for every test) turns it off, as does immediate presentation in full screen.
TEST_F(GLDeviceTest, VerticalSyncUnlessTheEnvironmentTurnsItOff) {
  const char* current = std::getenv("VANTOREL_NO_VSYNC");
  const std::string saved = current ? current : "";
  D3DPRESENT_PARAMETERS windowed = {}, fullScreen = {}, immediate = {};
  windowed.Windowed = TRUE;
  immediate.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  unsetenv("VANTOREL_NO_VSYNC");
  EXPECT_TRUE(CGLDevice::WantsVerticalSync(windowed));
  EXPECT_TRUE(CGLDevice::WantsVerticalSync(fullScreen));
  EXPECT_FALSE(CGLDevice::WantsVerticalSync(immediate));
  setenv("VANTOREL_NO_VSYNC", "0", 1);
  EXPECT_TRUE(CGLDevice::WantsVerticalSync(windowed));
  setenv("VANTOREL_NO_VSYNC", "1", 1);
  EXPECT_FALSE(CGLDevice::WantsVerticalSync(windowed));
  EXPECT_FALSE(CGLDevice::WantsVerticalSync(fullScreen));
  if (current)
    setenv("VANTOREL_NO_VSYNC", saved.c_str(), 1);
  else
    unsetenv("VANTOREL_NO_VSYNC");
}

// The colour blend pairs the menus draw their backdrops and buttons with.
TEST_F(GLDeviceTest, ColourBlendFactorsTakeTheSourceColourAndItsComplement) {
  const D3DCOLOR color = 0xFF4080FFu;
  std::vector<ScreenVertex> left = {{0, 0, 0, 1, color, 0, 0},  {32, 0, 0, 1, color, 1, 0},
                                    {0, 64, 0, 1, color, 0, 1}, {32, 0, 0, 1, color, 1, 0},
                                    {32, 64, 0, 1, color, 1, 1}, {0, 64, 0, 1, color, 0, 1}};
  std::vector<ScreenVertex> right = left;
  for (auto& v : right) v.x += 32;
  device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(200, 100, 40), 1.0f, 0);
  device->SetVertexShader(0x144);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCCOLOR);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCCOLOR);
  device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, left.data(), sizeof(ScreenVertex));
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_SRCCOLOR);
  device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, right.data(), sizeof(ScreenVertex));
  auto pixels = ReadBack();
  ExpectColor(pixels[32][16], 166, 114, 255, "source times source plus destination times inverse source");
  ExpectColor(pixels[32][48], 114, 178, 255, "source plus destination times source");
}
