// The scene's textures loaded during the intro, from the generated library: one a frame
// after the first, each the very texture a first draw would have made, then the loader
// leaves the scene.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "engine/gamecontext.h"
#include "engine/renderqueue.h"
#include "engine/texturecache.h"
#include "game/scenepreloader.h"
#include "tests/support/d3d8/recording_device.h"

namespace {

TEST(ScenePreloader, LoadsOneTextureAFrameAsTheFirstDrawWould) {
  const std::string library = std::string(VANTOREL_BINARY_DIR) + "/res.dll";
  if (access(library.c_str(), R_OK) != 0) GTEST_SKIP() << "no generated library at " << library;
  CRecordingDevice* pDevice = new CRecordingDevice();
  CTextureCache preloaded, drawn;
  CGameContext ctx, drawCtx;
  for (CGameContext* c : {&ctx, &drawCtx}) {
    c->m_pd3dDevice = pDevice;
    c->m_strResLib = library.c_str();
  }
  ctx.m_pTextureCache = &preloaded;
  drawCtx.m_pTextureCache = &drawn;
  CRenderQueue drawQueue(&drawCtx);

  CScenePreloader preloader(&ctx);
  EXPECT_EQ(GAMEMODE_INTRO, preloader.m_dwModeMask);
  preloader.FrameMove();
  EXPECT_EQ(0u, preloaded.Count()) << "the first frame must not wait";
  DWORD n = 0;
  for (const char* const* ppName = CScenePreloader::Names(); *ppName; ++ppName, ++n) {
    SCOPED_TRACE(*ppName);
    preloader.FrameMove();
    ASSERT_EQ(n + 1, preloaded.Count()) << "not in the library";
    ASSERT_EQ(S_OK, drawQueue.SetTextureByName(*ppName));
    IDirect3DTexture8 *pPreloaded = nullptr, *pDrawn = nullptr;
    ASSERT_EQ(S_OK, preloaded.Find(*ppName, &pPreloaded));
    ASSERT_EQ(S_OK, drawn.Find(*ppName, &pDrawn));
    ASSERT_EQ(pDrawn->GetLevelCount(), pPreloaded->GetLevelCount());
    D3DSURFACE_DESC a, b;
    pPreloaded->GetLevelDesc(0, &a);
    pDrawn->GetLevelDesc(0, &b);
    EXPECT_EQ(b.Format, a.Format);
    EXPECT_EQ(b.Width, a.Width);
    EXPECT_EQ(b.Height, a.Height);
  }
  EXPECT_GE(n, 43u);  // the logo, surroundings, floor frame, balls, top bar and 32 caustic frames
  EXPECT_EQ(0, preloader.m_bDead);
  preloader.FrameMove();
  EXPECT_EQ(1, preloader.m_bDead);
  preloaded.Clear();
  drawn.Clear();
  pDevice->Release();
}

}  // namespace
