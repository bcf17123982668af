// The top bar and the records screen drawn with the game's own pictures on the real
// device under a (virtual) display.

#include "engine/renderqueue.h"
#include "engine/texturecache.h"
#include "game/records.h"
#include "game/upmenu.h"
#include "records_fixture.h"
#include "tests/support/back_buffer_pixels.h"
#include "tests/support/generated_library.h"
#include "tests/support/gl_test_window.h"

namespace records_test {
namespace {

using Frame = std::vector<std::vector<Pixel>>;

Frame Draw(CGameContext& ctx, std::initializer_list<CMyObject*> objects, const char* strName) {
  IDirect3DDevice8* device = ctx.m_pd3dDevice;
  device->BeginScene();
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
  for (CMyObject* pObject : objects) pObject->Render();
  EXPECT_EQ(S_OK, ctx.m_pRenderQueue->Draw());
  ctx.m_pRenderQueue->Clear();
  device->EndScene();
  Frame px = ReadBackPixels(device);
  KeepPixels(px, std::string("records-") + strName);
  return px;
}

// Pixels of the rectangle lit well above the screens' dark blue.
int Lit(const Frame& px, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) n += px[y][x].r > 0x70 || px[y][x].g > 0x70;
  return n;
}

using DisplayTest = RecordsTest;

TEST_F(DisplayTest, TopBarAndRecordsScreenShowTheirDigitsIconsAndNames) {
  GLTestWindow window("records", 640, 480);
  if (!window.IsOpen()) GTEST_SKIP() << "no display";
  IDirect3D8* d3d = Direct3DCreate8(D3D_SDK_VERSION);
  D3DPRESENT_PARAMETERS params = WindowedPresentParams(window.Hwnd(), 640, 480);
  ASSERT_EQ(S_OK, d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window.Hwnd(),
                                    D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &ctx.m_pd3dDevice));
  CTextureCache textures;
  CRenderQueue queue(&ctx);
  const std::string library = GeneratedLibrary();
  ctx.m_strResLib = library.c_str();
  ctx.m_pTextureCache = &textures;
  ctx.m_pRenderQueue = &queue;
  ctx.m_nScore = 75;
  const int preview[3] = {1, 4, 7};
  std::memcpy(ctx.m_NextColours, preview, sizeof preview);
  {
    CUpMenu bar(&ctx);
    bar.FrameMove();
    Frame px = Draw(ctx, {&bar}, "upmenu");
    EXPECT_NEAR(0x66, px[4][450].b, 3);  // the bar between the icons and the score, black below
    EXPECT_EQ(0, px[100][320].b);
    EXPECT_GT(Lit(px, 40, 4, 200, 44), 200);  // light digits in both groups
    EXPECT_GT(Lit(px, 440, 4, 600, 44), 200);
    const Pixel red = px[24][270], yellow = px[24][319], white = px[24][368];  // the icons' centres
    EXPECT_GT(red.r, red.g + 60);
    EXPECT_GT(yellow.g, yellow.b + 60);
    EXPECT_GT(white.b, 100);
    EXPECT_NEAR(white.r, white.b, 30);

    ctx.m_dwMode = GAMEMODE_RECORDS;
    CRecords screen(&ctx);
    std::strcpy(ctx.m_Records[ctx.m_dwEditRow].szName, "Player_");
    screen.FrameMove();
    px = Draw(ctx, {&bar, &screen}, "records");
    for (int r = 0; r < 8; ++r) {  // rows on a 32 x 32 grid, 41.6 pixels apart
      const int y = 64 + 416 * r / 10;
      EXPECT_GT(Lit(px, 64, y, 352, y + 32), 100) << "name of row " << r;
      EXPECT_GT(Lit(px, 480, y, 608, y + 32), 100) << "score of row " << r;
      EXPECT_EQ(0, Lit(px, 384, y, 448, y + 32)) << "between, row " << r;
    }
    EXPECT_GT(Lit(px, 224, 406, 416, 454), 300);  // the game's score
    screen.DeleteDeviceObjects();
    bar.DeleteDeviceObjects();
  }
  queue.Clear();
  textures.Clear();
  EXPECT_EQ(0u, ctx.m_pd3dDevice->Release());
  d3d->Release();
}

}  // namespace
}  // namespace records_test
