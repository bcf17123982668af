// The scene's textures loaded during the intro, from the generated library: one a frame
// from the first on, the logo first, each the very texture a first draw would have made,
// the floor the settings choose next, then the ball's meshes, then the loader leaves the scene.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/gamecontext.h"
#include "engine/renderqueue.h"
#include "engine/texturecache.h"
#include "engine/meshcache.h"
#include "game/ball.h"
#include "game/scenepreloader.h"
#include "tests/support/d3d8/recording_device.h"
#include "tests/support/generated_library.h"

namespace {

TEST(ScenePreloader, LoadsOneTextureAFrameAsTheFirstDrawWould) {
  const std::string library = GeneratedLibrary();
  CRecordingDevice* pDevice = new CRecordingDevice();
  CTextureCache preloaded, drawn;
  CGameContext ctx, drawCtx;
  for (CGameContext* c : {&ctx, &drawCtx}) {
    c->m_pd3dDevice = pDevice;
    c->m_strResLib = library.c_str();
  }
  ctx.m_pTextureCache = &preloaded;
  CMeshCache loadedMeshes, deviceMeshes;
  ctx.m_pMeshCache = &loadedMeshes;
  ctx.m_pLocalMeshCache = &deviceMeshes;
  drawCtx.m_pTextureCache = &drawn;
  CRenderQueue drawQueue(&drawCtx);

  CScenePreloader preloader(&ctx);
  EXPECT_EQ(GAMEMODE_INTRO, preloader.m_dwModeMask);
  ctx.m_bFloorType = drawCtx.m_bFloorType = 1;
  ctx.m_nFloorTex = drawCtx.m_nFloorTex = 3;
  std::vector<const char*> expected;
  for (const char* const* ppName = CScenePreloader::Names(); *ppName; ++ppName) expected.push_back(*ppName);
  expected.push_back("TexFloor03");  // the floor the settings choose comes last
  for (size_t n = 0; n < expected.size(); ++n) {
    const char* strName = expected[n];
    SCOPED_TRACE(strName);
    preloader.FrameMove();
    ASSERT_EQ(n + 1, preloaded.Count()) << "not in the library";
    ASSERT_EQ(S_OK, drawQueue.SetTextureByName(strName));
    IDirect3DTexture8 *pPreloaded = nullptr, *pDrawn = nullptr;
    ASSERT_EQ(S_OK, preloaded.Find(strName, &pPreloaded));
    ASSERT_EQ(S_OK, drawn.Find(strName, &pDrawn));
    ASSERT_EQ(pDrawn->GetLevelCount(), pPreloaded->GetLevelCount());
    D3DSURFACE_DESC a, b;
    pPreloaded->GetLevelDesc(0, &a);
    pDrawn->GetLevelDesc(0, &b);
    EXPECT_EQ(b.Format, a.Format);
    EXPECT_EQ(b.Width, a.Width);
    EXPECT_EQ(b.Height, a.Height);
    // The same pixels.
    D3DLOCKED_RECT ra, rb;
    ASSERT_EQ(S_OK, pPreloaded->LockRect(0, &ra, nullptr, D3DLOCK_READONLY));
    ASSERT_EQ(S_OK, pDrawn->LockRect(0, &rb, nullptr, D3DLOCK_READONLY));
    EXPECT_EQ(0, std::memcmp(ra.pBits, rb.pBits, static_cast<size_t>(ra.Pitch) * a.Height));
    pPreloaded->UnlockRect(0);
    pDrawn->UnlockRect(0);
  }
  EXPECT_STREQ("VantorelLogo", expected.front());
  EXPECT_GE(expected.size(), 44u);  // the logo, surroundings, frame, balls, top bar, 32 caustics, floor

  // Then the ball's meshes, one a frame, into both mesh caches; the loader is done.
  for (DWORD n = 0; n < 2; ++n) {
    EXPECT_EQ(0, preloader.m_bDead);
    preloader.FrameMove();
    EXPECT_EQ(n + 1, loadedMeshes.Count());
    EXPECT_EQ(n + 1, deviceMeshes.Count());
  }
  ID3DXMesh* pMesh = nullptr;
  ID3DXMesh** ppSubMeshes = nullptr;
  DWORD dwSubCount = 0;
  for (const char* strMesh : CBall::MESH_NAMES)
    EXPECT_EQ(S_OK, deviceMeshes.Find(strMesh, &pMesh, &ppSubMeshes, &dwSubCount)) << strMesh;
  EXPECT_EQ(1, preloader.m_bDead);
  loadedMeshes.Clear();
  deviceMeshes.Clear();
  preloaded.Clear();
  drawn.Clear();
  pDevice->Release();
}

}  // namespace
