// The room: the caustic cycle and the records of its subsets with their textures,
// blending and lights, following Environ and HiRes frame by frame; the floor under it.
#include <cstring>

#include "engine/renderqueue.h"
#include "game/environ.h"
#include "game/floor.h"
#include "screens_fixture.h"
#include "shell/d3dmesh.h"
#include "tests/support/quad_row_mesh.h"
#include "tools/pewriter/pe_writer.h"

namespace screens_test {
namespace {

using EnvironTest = ScreensTest;

TEST_F(EnvironTest, CausticsCycleAndResetPastTheEnd) {
  CEnviron environ(&ctx);
  Frame(environ, 60);  // 20 frames a second
  EXPECT_STREQ("Caust01", environ.GetCausticName());
  environ.m_fCausticFrame = 31.0f;
  Frame(environ, 25);  // exactly 31.5 still shows the last frame
  EXPECT_STREQ("Caust31", environ.GetCausticName());
  Frame(environ, 1);
  EXPECT_EQ(0.0f, environ.m_fCausticFrame);  // reset, the excess dropped
  Frame(environ, 1576);                      // one frame longer than a 1575 ms cycle
  EXPECT_EQ(0.0f, environ.m_fCausticFrame);
}

TEST_F(EnvironTest, OneRecordPerSubsetWithItsTextureBlendAndLight) {
  CEnviron environ(&ctx);
  ctx.m_bEnviron = 0;
  environ.Render();
  EXPECT_TRUE(Queued().empty());
  Frame(environ, 100);  // the animation runs while the room is off

  ctx.m_bEnviron = 1;
  for (BOOL bHiRes : {0, 1}) {
    ctx.m_bHiRes = bHiRes;
    ctx.m_dwLightIndex = bHiRes ? 3 : 0;
    environ.Render();
    const std::vector<RenderItem> items = Queued();
    queue.Clear();
    ASSERT_EQ(7u, items.size());
    const char* kTextures[] = {"Caust02", "WallWall", "FloorWall", "BordurWall", "GroundEnvLow00", "SkyEnviron", ""};
    for (size_t i = 0; i < items.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_STREQ(i == 4 && bHiRes ? "GroundEnvHi" : kTextures[i], items[i].m_strTexture);
      EXPECT_EQ(i == 5 ? 18u : ctx.m_dwLightIndex, items[i].m_dwLight);  // the sky keeps its own light
      EXPECT_EQ(i == 0 ? 1 : 0, items[i].m_bBlend);
    }
  }
}

TEST_F(EnvironTest, SkyLightIsSetAgainAndTheMeshReloadedAfterDeletion) {
  CEnviron environ(&ctx);
  EXPECT_EQ(18u, pDevice->CallsTo("SetLight").at(0).values[0]);
  environ.InvalidateDeviceObjects();
  environ.DeleteDeviceObjects();
  environ.RestoreDeviceObjects();
  EXPECT_EQ(2u, pDevice->CallsTo("SetLight").size());
  EXPECT_EQ(7u, environ.m_pMesh->m_dwNumSubMeshes);
}

TEST_F(EnvironTest, TheFloorTiltsWithTheBoardTheBallsStandOn) {
  const std::string floorLibrary = work.Path() + "/floor.dll";
  std::string error;
  ASSERT_TRUE(WriteResourceDll(floorLibrary, {{"PlateFloor", QuadRowMesh(3, 3)}}, &error)) << error;
  ctx.m_strResLib = floorLibrary.c_str();
  CFloor floor(&ctx);
  for (BYTE bPlateMov : {0, 1}) {
    ctx.m_bPlateMov = bPlateMov;
    Frame(floor, 700);
    EXPECT_EQ(bPlateMov != 0, ctx.m_matBoard._23 != 0.0f);
    floor.Render();
    const std::vector<RenderItem> items = Queued();
    queue.Clear();
    ASSERT_EQ(2u, items.size());  // the plates and the frame
    for (const RenderItem& item : items)
      EXPECT_EQ(0, std::memcmp(&ctx.m_matBoard, &item.m_matWorld, sizeof(D3DXMATRIX)))
          << "wobble " << int(bPlateMov) << ": the floor is not drawn where the balls stand";
  }
}

}  // namespace
}  // namespace screens_test
