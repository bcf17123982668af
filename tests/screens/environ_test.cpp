// The room: the caustic cycle and the records of its subsets with their textures,
// blending and lights, following Environ and HiRes frame by frame.
#include "engine/renderqueue.h"
#include "game/environ.h"
#include "screens_fixture.h"
#include "shell/d3dmesh.h"

namespace screens_test {
namespace {

using EnvironTest = ScreensTest;

TEST_F(EnvironTest, CausticsCycleAndResetPastTheEnd) {
  CEnviron environ(&ctx);
  EXPECT_STREQ("Caust00", environ.GetCausticName());
  Frame(environ, 60);  // 20 frames a second
  EXPECT_STREQ("Caust01", environ.GetCausticName());
  environ.m_fCausticFrame = 31.0f;
  Frame(environ, 25);  // exactly 31.5 still shows the last frame
  EXPECT_STREQ("Caust31", environ.GetCausticName());
  Frame(environ, 1);
  EXPECT_STREQ("Caust00", environ.GetCausticName());
  EXPECT_EQ(0.0f, environ.m_fCausticFrame);  // reset, the excess dropped
  Frame(environ, 1576);                      // one frame longer than a cycle
  EXPECT_EQ(0.0f, environ.m_fCausticFrame);
  environ.m_fCausticFrame = 40.0f;
  EXPECT_STREQ("", environ.GetCausticName());
}

TEST_F(EnvironTest, OneRecordPerSubsetWithItsTextureBlendAndLight) {
  CEnviron environ(&ctx);
  ASSERT_EQ(7u, environ.m_pMesh->m_dwNumSubMeshes);
  ctx.m_bEnviron = 0;
  environ.Render();
  EXPECT_TRUE(Queued().empty());
  Frame(environ, 100);  // the animation runs while the room is off

  ctx.m_bEnviron = 1;
  ctx.m_dwLightIndex = 0;
  environ.Render();
  std::vector<RenderItem> items = Queued();
  ASSERT_EQ(7u, items.size());
  const char* kTextures[] = {"Caust02", "WallWall", "FloorWall", "BordurWall", "GroundEnvLow00", "SkyEnviron", ""};
  for (size_t i = 0; i < items.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_STREQ(kTextures[i], items[i].m_strTexture);
    EXPECT_EQ(i == 5 ? 18u : 0u, items[i].m_dwLight);
    EXPECT_EQ(i == 0 ? 1 : 0, items[i].m_bBlend);
    EXPECT_EQ(0, items[i].m_bQuad);
    EXPECT_EQ(environ.m_pMesh->m_ppSubMeshes[i], items[i].m_pMesh);
    EXPECT_EQ(environ.m_pMesh->m_dwStride, items[i].m_dwStride);
    EXPECT_EQ(items[i].m_Material.Diffuse.r, items[i].m_Material.Ambient.r);
  }
  EXPECT_EQ(2u, items[0].m_dwSrcBlend);
  EXPECT_EQ(3u, items[0].m_dwDestBlend);
  EXPECT_FLOAT_EQ(0.4f, items[0].m_Material.Diffuse.g);
  EXPECT_FLOAT_EQ(1.0f, items[5].m_Material.Diffuse.b);
  EXPECT_EQ(0.0f, items[6].m_Material.Diffuse.a);

  pQueue->Clear();
  ctx.m_bHiRes = 1;
  ctx.m_dwLightIndex = 3;
  environ.Render();
  items = Queued();
  ASSERT_EQ(7u, items.size());
  EXPECT_STREQ("GroundEnvHi", items[4].m_strTexture);
  EXPECT_EQ(3u, items[4].m_dwLight);
  EXPECT_EQ(18u, items[5].m_dwLight);
  pQueue->Clear();
}

TEST_F(EnvironTest, SkyLightIsSetAgainAndTheMeshReloadedAfterDeletion) {
  CEnviron environ(&ctx);
  EXPECT_EQ(1u, pDevice->CallsTo("SetLight").size());
  EXPECT_EQ(18u, pDevice->CallsTo("SetLight")[0].values[0]);
  environ.InvalidateDeviceObjects();
  environ.DeleteDeviceObjects();
  EXPECT_EQ(0u, environ.m_pMesh->m_dwNumSubMeshes);
  environ.RestoreDeviceObjects();
  EXPECT_EQ(2u, pDevice->CallsTo("SetLight").size());
  EXPECT_EQ(7u, environ.m_pMesh->m_dwNumSubMeshes);
}

}  // namespace
}  // namespace screens_test
