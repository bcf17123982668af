// The screens on the real device under a (virtual) display, with the generated
// resource library: every quad must show its picture or atlas cell, read back from
// the frame and compared with the texture's own texels. VANTOREL_SCREEN_SHOTS=<dir>
// also writes each frame there as a PPM picture for looking at.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/gamecontext.h"
#include "engine/renderqueue.h"
#include "engine/texturecache.h"
#include "game/intro.h"
#include "game/mainmenu.h"
#include "game/options.h"
#include "tests/support/back_buffer_pixels.h"
#include "tests/support/gl_test_window.h"

namespace screens_test {
namespace {

const UINT kWidth = 1024, kHeight = 768;

// How far a drawn quad is from the texture cell it should show.
struct QuadMatch {
  double dError = 0;  // mean difference per channel over the compared points, 0..255
  int nPoints = 0;    // blocks compared
  int nLit = 0;       // blocks whose cell is not (keyed) black
};

class ScreensDisplayTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { window = new GLTestWindow("screens", 320, 240); }
  static void TearDownTestSuite() {
    delete window;
    window = nullptr;
  }

  void SetUp() override {
    if (!window->IsOpen()) GTEST_SKIP() << "no display";
    library = std::string(VANTOREL_BINARY_DIR) + "/res.dll";
    if (access(library.c_str(), R_OK) != 0) GTEST_SKIP() << "no generated library at " << library;
    d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(nullptr, d3d);
    D3DPRESENT_PARAMETERS params = WindowedPresentParams(window->Hwnd(), kWidth, kHeight);
    ASSERT_EQ(S_OK, d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window->Hwnd(),
                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device));
    ctx.m_pd3dDevice = device;
    ctx.m_strResLib = library.c_str();
    ctx.m_pTextureCache = &textures;
    ctx.m_pRenderQueue = &queue;
    ctx.m_dwWidth = kWidth;
    ctx.m_dwHeight = kHeight;
    ctx.m_dwTime = 1000;
  }

  void TearDown() override {
    queue.Clear();
    textures.Clear();
    ctx.m_pd3dDevice = nullptr;
    if (device) {
      EXPECT_EQ(0u, device->Release());
    }
    if (d3d) {
      EXPECT_EQ(0u, d3d->Release());
    }
  }

  // Draws what the objects queued over a black frame and reads the frame back.
  void DrawFrame(const char* strShotName) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->BeginScene();
    EXPECT_EQ(S_OK, queue.Draw());
    device->EndScene();
    queue.Clear();
    pixels = ReadBackPixels(device);
    ASSERT_EQ(kHeight, pixels.size());
    if (const char* strDir = std::getenv("VANTOREL_SCREEN_SHOTS")) WriteShot(std::string(strDir) + "/" + strShotName);
  }

  void WriteShot(const std::string& path) const {
    FILE* out = std::fopen((path + ".ppm").c_str(), "wb");
    if (!out) return;
    std::fprintf(out, "P6\n%u %u\n255\n", kWidth, kHeight);
    for (const auto& row : pixels)
      for (const Pixel& p : row) {
        const unsigned char rgb[3] = {static_cast<unsigned char>(p.r), static_cast<unsigned char>(p.g),
                                      static_cast<unsigned char>(p.b)};
        std::fwrite(rgb, 1, 3, out);
      }
    std::fclose(out);
  }

  // The texels of a texture that the render queue loaded, as colours.
  struct Texels {
    UINT nWidth = 0, nHeight = 0;
    std::vector<Pixel> colours;
    const Pixel& At(float u, float v) const {
      const UINT x = std::min(nWidth - 1, static_cast<UINT>(std::max(0.0f, u) * nWidth));
      const UINT y = std::min(nHeight - 1, static_cast<UINT>(std::max(0.0f, v) * nHeight));
      return colours[y * nWidth + x];
    }
  };
  Texels ReadTexels(const char* strName) {
    Texels texels;
    IDirect3DTexture8* pTexture = nullptr;
    EXPECT_EQ(S_OK, textures.Find(strName, &pTexture)) << strName;
    if (!pTexture) return texels;
    D3DSURFACE_DESC desc;
    pTexture->GetLevelDesc(0, &desc);
    EXPECT_TRUE(desc.Format == D3DFMT_A8R8G8B8 || desc.Format == D3DFMT_X8R8G8B8) << strName << " " << desc.Format;
    D3DLOCKED_RECT locked;
    EXPECT_EQ(S_OK, pTexture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY));
    texels.nWidth = desc.Width;
    texels.nHeight = desc.Height;
    for (UINT y = 0; y < desc.Height; ++y) {
      const BYTE* row = static_cast<const BYTE*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
      for (UINT x = 0; x < desc.Width; ++x) {
        // Keyed texels are transparent: they show the black frame behind.
        const bool bClear = desc.Format == D3DFMT_A8R8G8B8 && row[x * 4 + 3] == 0;
        texels.colours.push_back(bClear ? Pixel{0, 0, 0} : Pixel{row[x * 4 + 2], row[x * 4 + 1], row[x * 4]});
      }
    }
    pTexture->UnlockRect(0);
    return texels;
  }

  // Compares the frame inside the quad with the cell it maps, the texels scaled by the
  // vertex colour, block by block: the mean colour of the pixels of a block against the
  // mean of the texels under it, so that text squeezed into few pixels compares fairly.
  // The quad's outermost pixels are left out: they depend on rasterisation.
  QuadMatch Match(const ScreenVertex* pQuad, const Texels& texels, float fDu = 0.0f, float fDv = 0.0f) const {
    const float x0 = pQuad[0].x, y0 = pQuad[0].y, x1 = pQuad[5].x, y1 = pQuad[5].y;
    const float u0 = pQuad[0].tu + fDu, v0 = pQuad[0].tv + fDv, u1 = pQuad[5].tu + fDu, v1 = pQuad[5].tv + fDv;
    const float k = static_cast<float>(pQuad[0].color & 0xFF) / 255.0f;
    const int kBlocks = 4;
    const int px0 = static_cast<int>(x0) + 1, py0 = static_cast<int>(y0) + 1;
    const int px1 = std::min(static_cast<int>(x1) - 1, static_cast<int>(kWidth));
    const int py1 = std::min(static_cast<int>(y1) - 1, static_cast<int>(kHeight));
    QuadMatch match;
    double dSum = 0;
    for (int bx = 0; bx < kBlocks; ++bx) {
      for (int by = 0; by < kBlocks; ++by) {
        const int bx0 = px0 + (px1 - px0) * bx / kBlocks, bx1 = px0 + (px1 - px0) * (bx + 1) / kBlocks;
        const int by0 = py0 + (py1 - py0) * by / kBlocks, by1 = py0 + (py1 - py0) * (by + 1) / kBlocks;
        if (bx1 <= bx0 || by1 <= by0) continue;
        double got[3] = {0, 0, 0}, want[3] = {0, 0, 0};
        for (int y = by0; y < by1; ++y)
          for (int x = bx0; x < bx1; ++x) {
            got[0] += pixels[y][x].r;
            got[1] += pixels[y][x].g;
            got[2] += pixels[y][x].b;
          }
        // The texels under the block: its pixel edges mapped into the cell.
        const float ua = u0 + (u1 - u0) * (static_cast<float>(bx0) - x0) / (x1 - x0);
        const float ub = u0 + (u1 - u0) * (static_cast<float>(bx1) - x0) / (x1 - x0);
        const float va = v0 + (v1 - v0) * (static_cast<float>(by0) - y0) / (y1 - y0);
        const float vb = v0 + (v1 - v0) * (static_cast<float>(by1) - y0) / (y1 - y0);
        const int tx0 = static_cast<int>(ua * texels.nWidth), tx1 = std::max(tx0 + 1, static_cast<int>(ub * texels.nWidth));
        const int ty0 = static_cast<int>(va * texels.nHeight), ty1 = std::max(ty0 + 1, static_cast<int>(vb * texels.nHeight));
        int nTexels = 0;
        for (int ty = ty0; ty < ty1; ++ty)
          for (int tx = tx0; tx < tx1; ++tx) {
            const Pixel& t = texels.At((static_cast<float>(tx) + 0.5f) / texels.nWidth,
                                       (static_cast<float>(ty) + 0.5f) / texels.nHeight);
            want[0] += t.r;
            want[1] += t.g;
            want[2] += t.b;
            ++nTexels;
          }
        const double nPixels = static_cast<double>((bx1 - bx0) * (by1 - by0));
        double dBlock = 0, dBrightest = 0;
        for (int c = 0; c < 3; ++c) {
          const double dWant = want[c] / nTexels * k;
          dBlock += std::abs(got[c] / nPixels - dWant) / 3.0;
          dBrightest = std::max(dBrightest, dWant);
        }
        dSum += dBlock;
        ++match.nPoints;
        match.nLit += dBrightest > 24.0;
      }
    }
    match.dError = match.nPoints ? dSum / match.nPoints : 0.0;
    return match;
  }

  // Every quad shows its own cell closely, and clearly closer than a neighbouring cell.
  void ExpectQuadsShowTheirCells(const ScreenVertex* pQuads, int nQuads, const Texels& texels, float fWrongDu,
                                 const char* strWhat) {
    double dRight = 0, dWrong = 0;
    for (int q = 0; q < nQuads; ++q) {
      const ScreenVertex* pQuad = pQuads + q * 6;
      const QuadMatch right = Match(pQuad, texels);
      EXPECT_GT(right.nLit, 0) << strWhat << " quad " << q << " shows nothing";
      EXPECT_LT(right.dError, 24.0) << strWhat << " quad " << q;
      dRight += right.dError;
      dWrong += Match(pQuad, texels, fWrongDu).dError;
    }
    EXPECT_LT(dRight * 3, dWrong) << strWhat;
  }

  static GLTestWindow* window;
  std::string library;
  IDirect3D8* d3d = nullptr;
  IDirect3DDevice8* device = nullptr;
  CGameContext ctx;
  CTextureCache textures;
  CRenderQueue queue{&ctx};
  std::vector<std::vector<Pixel>> pixels;
};

GLTestWindow* ScreensDisplayTest::window = nullptr;

TEST_F(ScreensDisplayTest, IntroShowsTheLogoBlackFirstThenAtFullBrightness) {
  CIntro intro(&ctx);
  intro.Render();
  DrawFrame("intro-black");
  int nLit = 0;
  for (const auto& row : pixels)
    for (const Pixel& p : row) nLit += p.r + p.g + p.b > 30;
  EXPECT_EQ(0, nLit);

  ctx.m_dwElapsed = 1001;
  ctx.m_dwTime += 1001;
  intro.FrameMove();
  ctx.m_dwElapsed = 900;
  intro.FrameMove();
  ASSERT_EQ(0xFFFFFFFFu, intro.m_dwFadeColor);
  intro.Render();
  DrawFrame("intro-logo");
  const Texels logo = ReadTexels("VantorelLogo");
  const QuadMatch match = Match(intro.m_LogoQuad, logo);
  EXPECT_EQ(16, match.nLit);
  EXPECT_LT(match.dError, 24.0);
}

TEST_F(ScreensDisplayTest, MenuShowsItsSixLabelsInTheirRows) {
  CMainMenu menu(&ctx);
  ctx.m_dwMode = GAMEMODE_MAINMENU;
  ctx.m_fCursorX = -0.9f;  // nothing hovered
  menu.FrameMove();
  menu.Render();
  DrawFrame("menu");
  const Texels strip = ReadTexels("MenuEnum");
  // Against the strip of the next label instead, the same quads must match badly.
  double dRight = 0, dWrong = 0;
  for (int i = 0; i < CMainMenu::MENU_ITEMS; ++i) {
    const QuadMatch right = Match(menu.m_ItemQuads[i], strip);
    EXPECT_GT(right.nLit, 2) << "label " << i;
    EXPECT_LT(right.dError, 24.0) << "label " << i;
    dRight += right.dError;
    dWrong += Match(menu.m_ItemQuads[i], strip, 0.0f, (i == 5 ? -5 : 1) * 0.16666f).dError;
  }
  EXPECT_LT(dRight * 3, dWrong);
}

TEST_F(ScreensDisplayTest, OptionsScreenShowsEveryAtlasCellWhereItsQuadStands) {
  ctx.m_dwMode = GAMEMODE_OPTIONS;
  ctx.m_bHiRes = 1;
  ctx.m_nMusType = 2;
  ctx.m_nMusVolume = 125;
  ctx.m_nSoundVolume = 200;
  ctx.m_nMoveMode = 4;
  ctx.m_nFloorTex = 2;
  CMainMenu menu(&ctx);
  COptions options(&ctx);
  menu.Render();
  options.Render();
  DrawFrame("options");
  // Compared over black: what shows through the keyed texels is then black too.
  options.Render();
  DrawFrame("options-alone");
  const Texels atlas = ReadTexels("OptTex");
  ExpectQuadsShowTheirCells(options.m_VideoQuads[0], COptions::VIDEO_QUADS, atlas, 1.0f / 3, "video");
  ExpectQuadsShowTheirCells(options.m_SoundQuads[0], COptions::SOUND_QUADS, atlas, 1.0f / 3, "sound");
  ExpectQuadsShowTheirCells(options.m_GameQuads[0], COptions::GAME_QUADS, atlas, 1.0f / 3, "game");
}

TEST_F(ScreensDisplayTest, HelpAndExitPicturesFillTheScreen) {
  CMainMenu menu(&ctx);
  const struct {
    DWORD dwMode;
    const char* strTexture;
  } screens[] = {{GAMEMODE_HELP, "VantorelHelp"}, {GAMEMODE_EXIT, "VantorelExit"}};
  for (const auto& screen : screens) {
    ctx.m_dwMode = screen.dwMode;
    menu.Render();
    DrawFrame(screen.strTexture);
    const QuadMatch match = Match(menu.m_PictureQuad, ReadTexels(screen.strTexture));
    EXPECT_GT(match.nLit, 12) << screen.strTexture;
    EXPECT_LT(match.dError, 24.0) << screen.strTexture;
  }
}

}  // namespace
}  // namespace screens_test
