// The screens on the real device under a (virtual) display, with the generated
// resource library: every quad must show its picture or atlas cell, read back from
// the frame and compared with the texture's own texels.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/gamecontext.h"
#include "engine/renderqueue.h"
#include "engine/texturecache.h"
#include "game/intro.h"
#include "game/mainmenu.h"
#include "game/options.h"
#include "tests/support/back_buffer_pixels.h"
#include "tests/support/generated_library.h"
#include "tests/support/gl_test_window.h"

namespace screens_test {
namespace {

const UINT kWidth = 1024, kHeight = 768;
using Image = std::vector<std::vector<Pixel>>;  // [y][x]; keyed texels read as black

class ScreensDisplayTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { window = new GLTestWindow("screens", 320, 240); }
  static void TearDownTestSuite() { delete window; }

  void SetUp() override {
    if (!window->IsOpen()) GTEST_SKIP() << "no display";
    library = GeneratedLibrary();
    d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(nullptr, d3d);
    D3DPRESENT_PARAMETERS params = WindowedPresentParams(window->Hwnd(), kWidth, kHeight);
    ASSERT_EQ(S_OK, d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window->Hwnd(),
                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &ctx.m_pd3dDevice));
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
    EXPECT_EQ(0u, ctx.m_pd3dDevice ? ctx.m_pd3dDevice->Release() : 0u);
    ctx.m_pd3dDevice = nullptr;
    EXPECT_EQ(0u, d3d ? d3d->Release() : 0u);
  }

  // Draws what the objects queued over a black frame and reads the frame back.
  void DrawFrame(const char* strName) {
    IDirect3DDevice8* device = ctx.m_pd3dDevice;
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->BeginScene();
    EXPECT_EQ(S_OK, queue.Draw());
    device->EndScene();
    queue.Clear();
    frame = ReadBackPixels(device);
    ASSERT_EQ(kHeight, frame.size());
    KeepPixels(frame, std::string("screens-") + strName);
  }

  Image ReadTexels(const char* strName) {
    Image texels;
    IDirect3DTexture8* pTexture = nullptr;
    EXPECT_EQ(S_OK, textures.Find(strName, &pTexture)) << strName;
    if (!pTexture) return texels;
    D3DSURFACE_DESC desc;
    pTexture->GetLevelDesc(0, &desc);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(S_OK, pTexture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY));
    for (UINT y = 0; y < desc.Height; ++y) {
      const BYTE* row = static_cast<const BYTE*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
      texels.emplace_back();
      for (UINT x = 0; x < desc.Width; ++x) {
        const bool bClear = desc.Format == D3DFMT_A8R8G8B8 && row[x * 4 + 3] == 0;
        texels.back().push_back(bClear ? Pixel{0, 0, 0} : Pixel{row[x * 4 + 2], row[x * 4 + 1], row[x * 4]});
      }
    }
    pTexture->UnlockRect(0);
    return texels;
  }

  // How far the frame inside a quad is from the cell it maps (moved by du, dv), 4 x 4
  // blocks each compared by its mean colour against the mean of the texels under it
  // scaled by the vertex colour, so that text squeezed into few pixels compares fairly.
  // The quad's outermost pixels depend on rasterisation and are left out. Returns the
  // mean difference per channel (0..255); nLit counts the blocks whose cell is not black.
  double Mismatch(const ScreenVertex* q, const Image& texels, int& nLit, float du = 0, float dv = 0) const {
    const float x0 = q[0].x, y0 = q[0].y, x1 = q[5].x, y1 = q[5].y, k = (q[0].color & 0xFF) / 255.0f;
    const int px0 = int(x0) + 1, py0 = int(y0) + 1;
    const int px1 = std::min(int(x1) - 1, int(kWidth)), py1 = std::min(int(y1) - 1, int(kHeight));
    const int tw = int(texels[0].size()), th = int(texels.size());
    // The texel column (row) under pixel edge p of a quad from p0 to p1 mapping t0..t1.
    auto texel = [](float p, float p0, float p1, float t0, float t1, int n) {
      return int((t0 + (t1 - t0) * (p - p0) / (p1 - p0)) * n);
    };
    double dSum = 0;
    nLit = 0;
    for (int b = 0; b < 16; ++b) {
      const int bx0 = px0 + (px1 - px0) * (b % 4) / 4, bx1 = px0 + (px1 - px0) * (b % 4 + 1) / 4;
      const int by0 = py0 + (py1 - py0) * (b / 4) / 4, by1 = py0 + (py1 - py0) * (b / 4 + 1) / 4;
      const int tx0 = std::clamp(texel(bx0, x0, x1, q[0].tu + du, q[5].tu + du, tw), 0, tw - 1);
      const int tx1 = std::clamp(texel(bx1, x0, x1, q[0].tu + du, q[5].tu + du, tw), tx0 + 1, tw);
      const int ty0 = std::clamp(texel(by0, y0, y1, q[0].tv + dv, q[5].tv + dv, th), 0, th - 1);
      const int ty1 = std::clamp(texel(by1, y0, y1, q[0].tv + dv, q[5].tv + dv, th), ty0 + 1, th);
      double got[3] = {}, want[3] = {}, dBrightest = 0;
      for (int y = by0; y < by1; ++y)
        for (int x = bx0; x < bx1; ++x) got[0] += frame[y][x].r, got[1] += frame[y][x].g, got[2] += frame[y][x].b;
      for (int y = ty0; y < ty1; ++y)
        for (int x = tx0; x < tx1; ++x) want[0] += texels[y][x].r, want[1] += texels[y][x].g, want[2] += texels[y][x].b;
      for (int c = 0; c < 3; ++c) {
        const double dWant = want[c] / ((tx1 - tx0) * (ty1 - ty0)) * k;
        dSum += std::abs(got[c] / ((bx1 - bx0) * (by1 - by0)) - dWant) / 3 / 16;
        dBrightest = std::max(dBrightest, dWant);
      }
      nLit += dBrightest > 24.0;
    }
    return dSum;
  }

  // Every quad shows its own cell closely, and clearly closer than the cell du, dv beside
  // it (the sixth quad's neighbour is five rows up: the menu's last label).
  void ExpectQuadsShowTheirCells(const ScreenVertex* pQuads, int nQuads, const Image& texels, float du, float dv,
                                 int nMinLit, const char* strWhat) {
    double dRight = 0, dWrong = 0;
    int nLit = 0;
    for (int q = 0; q < nQuads; ++q) {
      const double dError = Mismatch(pQuads + q * 6, texels, nLit);
      EXPECT_GE(nLit, nMinLit) << strWhat << " quad " << q << " shows too little";
      EXPECT_LT(dError, 24.0) << strWhat << " quad " << q;
      dRight += dError;
      dWrong += Mismatch(pQuads + q * 6, texels, nLit, du, q == 5 ? -5 * dv : dv);
    }
    if (du != 0 || dv != 0) {
      EXPECT_LT(dRight * 3, dWrong) << strWhat;
    }
  }

  static GLTestWindow* window;
  std::string library;
  IDirect3D8* d3d = nullptr;
  CGameContext ctx;
  CTextureCache textures;
  CRenderQueue queue{&ctx};
  Image frame;
};

GLTestWindow* ScreensDisplayTest::window = nullptr;

TEST_F(ScreensDisplayTest, IntroShowsTheLogoBlackFirstThenAtFullBrightness) {
  CIntro intro(&ctx);
  intro.Render();
  DrawFrame("intro-black");
  for (const auto& row : frame)
    ASSERT_TRUE(std::all_of(row.begin(), row.end(), [](const Pixel& p) { return p.r + p.g + p.b <= 30; }));

  ctx.m_dwElapsed = 1001;
  ctx.m_dwTime += 1001;
  intro.FrameMove();
  ctx.m_dwElapsed = 900;
  intro.FrameMove();
  ASSERT_EQ(0xFFFFFFFFu, intro.m_LogoQuad[0].color);
  intro.Render();
  DrawFrame("intro-logo");
  ExpectQuadsShowTheirCells(intro.m_LogoQuad, 1, ReadTexels("VantorelLogo"), 0, 0, 16, "logo");
}

TEST_F(ScreensDisplayTest, MenuShowsItsSixLabelsAndTheHelpAndExitPictures) {
  CMainMenu menu(&ctx);
  ctx.m_dwMode = GAMEMODE_MAINMENU;
  ctx.m_fCursorX = -0.9f;  // nothing hovered
  menu.FrameMove();
  menu.Render();
  DrawFrame("menu");
  // Against the label of the next row, the same quads must match badly.
  ExpectQuadsShowTheirCells(menu.m_ItemQuads[0], CMainMenu::MENU_ITEMS, ReadTexels("MenuEnum"), 0, 0.16666f, 3,
                            "labels");
  const std::pair<DWORD, const char*> pictures[] = {{GAMEMODE_HELP, "VantorelHelp"}, {GAMEMODE_EXIT, "VantorelExit"}};
  for (const auto& screen : pictures) {
    ctx.m_dwMode = screen.first;
    menu.Render();
    DrawFrame(screen.second);
    ExpectQuadsShowTheirCells(menu.m_PictureQuad, 1, ReadTexels(screen.second), 0, 0, 13, screen.second);
  }
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
  const Image atlas = ReadTexels("OptTex");
  ExpectQuadsShowTheirCells(options.m_VideoQuads[0], COptions::VIDEO_QUADS, atlas, 1.0f / 3, 0, 1, "video");
  ExpectQuadsShowTheirCells(options.m_SoundQuads[0], COptions::SOUND_QUADS, atlas, 1.0f / 3, 0, 1, "sound");
  ExpectQuadsShowTheirCells(options.m_GameQuads[0], COptions::GAME_QUADS, atlas, 1.0f / 3, 0, 1, "game");
}

}  // namespace
}  // namespace screens_test
