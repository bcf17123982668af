// The ball's sphere meshes and draw records, with a recording device and a resource
// library of test spheres: one record per low-detail sub-mesh, the detailed ones
// with HiRes on, sharing through the caches and no leaks across device resets.
#include <dirent.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "board_fixture.h"
#include "engine/meshcache.h"
#include "engine/renderqueue.h"
#include "platform/xfile/d3dx8mesh.h"
#include "shell/d3dmesh.h"
#include "tests/support/d3d8/recording_device.h"
#include "tests/support/quad_row_mesh.h"
#include "tools/pewriter/pe_writer.h"

namespace board_test {
namespace {

class BallMeshTest : public BoardTest {
 protected:
  void SetUp() override {
    BoardTest::SetUp();
    char pattern[] = "/tmp/vantorel-ballmesh-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    dir = pattern;
    // Full paths: a bare "res.dll" would find the game's own library first.
    library = Library("res.dll", {{"SPHERE0", QuadRowMesh(4, 2)}, {"SPHERE1", QuadRowMesh(8, 2)}});
    log = std::fopen((dir + "/file.log").c_str(), "w+");
    ASSERT_NE(nullptr, log);
    pDevice = new CRecordingDevice();
    pQueue = new CRenderQueue(&ctx);
    ctx.m_pd3dDevice = pDevice;
    ctx.m_strResLib = library.c_str();
    ctx.m_pLog = log;
    ctx.m_pMeshCache = new CMeshCache();
    ctx.m_pLocalMeshCache = new CMeshCache();
    ctx.m_pRenderQueue = pQueue;
    ctx.m_dwLightIndex = 3;
  }
  void TearDown() override {
    delete pQueue;
    ctx.m_pRenderQueue = nullptr;
    list.DeleteAll();
    for (CMeshCache* pCache : {ctx.m_pLocalMeshCache, ctx.m_pMeshCache}) {
      pCache->Clear();
      delete pCache;
    }
    ctx.m_pMeshCache = ctx.m_pLocalMeshCache = nullptr;
    ctx.m_pd3dDevice = nullptr;
    EXPECT_EQ(0u, pDevice->LiveResourceCount());
    EXPECT_EQ(0u, pDevice->Release());
    std::fclose(log);
    if (DIR* d = opendir(dir.c_str())) {
      while (dirent* entry = readdir(d))
        if (entry->d_name[0] != '.') unlink((dir + "/" + entry->d_name).c_str());
      closedir(d);
    }
    rmdir(dir.c_str());
    BoardTest::TearDown();
  }
  std::string Library(const std::string& name, const std::vector<PeResource>& resources) {
    std::string path = dir + "/" + name, error;
    EXPECT_TRUE(WriteResourceDll(path, resources, &error)) << error;
    return path;
  }
  std::string LogText() {
    std::fflush(log);
    std::ifstream in(dir + "/file.log");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::vector<RenderItem> Items() const {
    std::vector<RenderItem> items;
    for (RenderNode* pNode = pQueue->Head(); pNode; pNode = pNode->pNext) items.push_back(*pNode->pItem);
    return items;
  }
  // Every ball through a device reset, as the application does it.
  void ResetDevice() {
    for (CListEngine::Node* pNode = list.First(); pNode; pNode = pNode->pNext)
      pNode->pObject->InvalidateDeviceObjects();
    ctx.m_pLocalMeshCache->Clear();
    for (CListEngine::Node* pNode = list.First(); pNode; pNode = pNode->pNext)
      pNode->pObject->RestoreDeviceObjects();
  }

  std::string dir, library;
  FILE* log = nullptr;
  CRecordingDevice* pDevice = nullptr;
  CRenderQueue* pQueue = nullptr;
};

TEST_F(BallMeshTest, QueuesOneRecordPerLowDetailSubMesh) {
  CBall* pBall = RestingBall(8, 4, 1);
  CD3DMesh* pLow = pBall->m_pMesh;
  ASSERT_NE(nullptr, pLow);
  ASSERT_EQ(2u, pLow->m_dwNumSubMeshes);
  ASSERT_EQ(S_OK, pBall->Render());
  std::vector<RenderItem> items = Items();
  ASSERT_EQ(2u, items.size());
  EXPECT_STREQ("BallTex", items[0].m_strTexture);
  EXPECT_FLOAT_EQ(1.0f, items[0].m_Material.Diffuse.r);
  EXPECT_FLOAT_EQ(0.3f, items[0].m_Material.Diffuse.g);
  EXPECT_FLOAT_EQ(0.3f, items[0].m_Material.Ambient.b);
  EXPECT_STREQ("", items[1].m_strTexture);
  EXPECT_FLOAT_EQ(0.0f, items[1].m_Material.Diffuse.a);
  for (DWORD k = 0; k < 2; ++k) {
    EXPECT_EQ(pLow->m_ppSubMeshes[k], items[k].m_pMesh);
    EXPECT_EQ(D3DXGetFVFVertexSize(items[k].m_pMesh->GetFVF()), items[k].m_dwStride);
    EXPECT_EQ(3u, items[k].m_dwLight);
    EXPECT_EQ(0, items[k].m_bQuad);
  }
  EXPECT_NE(0u, items[0].m_dwStride);
  // Resting: translated to its cell, the pick sphere's centre above it.
  EXPECT_FLOAT_EQ(4 * 1.1f, items[0].m_matWorld._41);
  EXPECT_NEAR(4.4f, pBall->m_vCentre.x, 1e-5f);
  EXPECT_NEAR(0.8f, pBall->m_vCentre.y, 1e-5f);
  EXPECT_EQ("", LogText());
}

TEST_F(BallMeshTest, HiResNamesTheDetailedSubMeshesWithTheLowDetailStride) {
  ctx.m_bHiRes = 1;
  CBall* pBall = RestingBall(0, 0, 7);
  pBall->Render();
  std::vector<RenderItem> items = Items();
  ASSERT_EQ(2u, items.size());
  ASSERT_EQ(2u, pBall->m_pMeshHi->m_dwNumSubMeshes);
  EXPECT_EQ(pBall->m_pMeshHi->m_ppSubMeshes[0], items[0].m_pMesh);
  EXPECT_EQ(pBall->m_pMeshHi->m_ppSubMeshes[1], items[1].m_pMesh);
  EXPECT_NE(pBall->m_pMesh->m_ppSubMeshes[0], items[0].m_pMesh);
  EXPECT_EQ(pBall->m_pMesh->m_dwStride, items[0].m_dwStride);
  // The detailed sphere really is the other mesh: 8 of its 16 triangles against 4 of 8.
  EXPECT_EQ(8u, items[0].m_pMesh->GetNumFaces());
}

TEST_F(BallMeshTest, HiResFallsBackToTheLowDetailSphere) {
  ctx.m_bHiRes = 1;
  // No detailed sphere at all: one logged failure, the low-detail records drawn.
  const std::string lowOnly = Library("low.dll", {{"SPHERE0", QuadRowMesh(4, 2)}});
  ctx.m_strResLib = lowOnly.c_str();
  CBall* pBall = RestingBall(1, 1, 2);
  EXPECT_EQ("FAIL: Can not find resource for MESH!\n", LogText());
  pBall->Render();
  std::vector<RenderItem> items = Items();
  ASSERT_EQ(2u, items.size());
  EXPECT_EQ(pBall->m_pMesh->m_ppSubMeshes[0], items[0].m_pMesh);
  EXPECT_EQ(pBall->m_pMesh->m_ppSubMeshes[1], items[1].m_pMesh);

  // A detailed sphere with fewer sub-meshes would be indexed past its array.
  ctx.m_pMeshCache->Clear();
  ctx.m_pLocalMeshCache->Clear();
  list.DeleteAll();
  ctx.m_nBallCount = 0;
  std::memset(ctx.m_Board, 0, sizeof ctx.m_Board);
  pQueue->Clear();
  const std::string fewer = Library("fewer.dll", {{"SPHERE0", QuadRowMesh(4, 2)}, {"SPHERE1", QuadRowMesh(8, 1)}});
  ctx.m_strResLib = fewer.c_str();
  pBall = RestingBall(2, 2, 3);
  ASSERT_EQ(1u, pBall->m_pMeshHi->m_dwNumSubMeshes);
  pBall->Render();
  items = Items();
  ASSERT_EQ(2u, items.size());
  EXPECT_EQ(pBall->m_pMesh->m_ppSubMeshes[1], items[1].m_pMesh);
}

TEST_F(BallMeshTest, WithoutTheLowDetailSphereNothingIsQueued) {
  const std::string highOnly = Library("high.dll", {{"SPHERE1", QuadRowMesh(8, 2)}});
  ctx.m_strResLib = highOnly.c_str();
  ctx.m_bHiRes = 1;
  RestingBall(3, 3, 4)->Render();
  EXPECT_TRUE(Items().empty());
  EXPECT_EQ("FAIL: Can not find resource for MESH!\n", LogText());
  CBall unplaced(&ctx);
  unplaced.Render();
  EXPECT_TRUE(Items().empty());
}

TEST_F(BallMeshTest, MarkedValueIsDrawnWithTheZeroMaterial) {
  CBall temporary(&ctx);
  temporary.SpawnBallAt(2, 2, CELL_REMOVING);
  BallAt(2, 2)->Render();
  std::vector<RenderItem> items = Items();
  ASSERT_EQ(2u, items.size());
  EXPECT_FLOAT_EQ(0.0f, items[0].m_Material.Diffuse.r);
  EXPECT_FLOAT_EQ(0.0f, items[0].m_Material.Diffuse.a);
}

TEST_F(BallMeshTest, DeletingBallIsFlattenedThenSpread) {
  CBall* pBall = RestingBall(4, 4, 2);
  pBall->m_bResting = 0;
  pBall->m_bDeleting = 1;
  pBall->m_fScale = 0.2f;
  pBall->Render();
  std::vector<RenderItem> items = Items();
  ASSERT_FALSE(items.empty());
  EXPECT_FLOAT_EQ(0.2f, items[0].m_matWorld._11);
  EXPECT_FLOAT_EQ(0.5f, items[0].m_matWorld._22);
  EXPECT_FLOAT_EQ(0.2f, items[0].m_matWorld._33);
}

TEST_F(BallMeshTest, BallsOfARunStayOnTheTiltedBoardWhileTheyAreRemoved) {
  CBall* pBall = RestingBall(8, 1, 2);
  D3DXMatrixRotationX(&pBall->m_matTilt, 0.05f);
  pBall->Render();
  const D3DXMATRIX matResting = Items().at(0).m_matWorld;
  ASSERT_NE(0.0f, matResting._23) << "the resting ball is drawn without the board's tilt";
  pQueue->Clear();
  // Settling and removal draw it in the same place, under the same tilt.
  for (BYTE* pState : {&pBall->m_bSettling, &pBall->m_bDeleting}) {
    pBall->m_bResting = pBall->m_bSettling = pBall->m_bDeleting = 0;
    *pState = 1;
    pBall->Render();
    EXPECT_EQ(0, std::memcmp(&matResting, &Items().at(0).m_matWorld, sizeof matResting))
        << (pState == &pBall->m_bDeleting ? "a ball being removed" : "a settling ball")
        << " leaves the tilted board";
    pQueue->Clear();
  }
}

TEST_F(BallMeshTest, BallsShareTheCachedSpheresAndReadTheLibraryOnce) {
  CBall* pFirst = RestingBall(0, 0, 1);
  // Later balls must not touch the library: a missing one would be logged.
  ctx.m_strResLib = "/nonexistent/res.dll";
  CBall* pSecond = RestingBall(0, 1, 2);
  EXPECT_EQ("", LogText());
  EXPECT_EQ(pFirst->m_pMeshHi->GetSysMemMesh(), pSecond->m_pMeshHi->GetSysMemMesh());
  EXPECT_EQ(pFirst->m_pMeshHi->m_ppSubMeshes, pSecond->m_pMeshHi->m_ppSubMeshes);
  EXPECT_EQ(pFirst->m_pMesh->GetSysMemMesh(), pSecond->m_pMesh->GetSysMemMesh());
  EXPECT_EQ(pFirst->m_pMesh->m_ppSubMeshes, pSecond->m_pMesh->m_ppSubMeshes);
  EXPECT_NE(pFirst->m_pMesh->GetSysMemMesh(), pFirst->m_pMeshHi->GetSysMemMesh());
  EXPECT_EQ(2u, ctx.m_pMeshCache->Count());
  EXPECT_EQ(2u, ctx.m_pLocalMeshCache->Count());
}

TEST_F(BallMeshTest, DeviceResetAndDeletionLeakNothing) {
  RestingBall(0, 0, 1);
  RestingBall(5, 5, 2);
  CBall* pBall = RestingBall(6, 6, 3);
  const DWORD dwCount = pBall->m_pMesh->m_dwNumSubMeshes, dwStride = pBall->m_pMesh->m_dwStride;
  const size_t live = pDevice->LiveResourceCount();
  ASSERT_NE(0u, live);

  // Reset: the sub-meshes are rebuilt once per name and match what was there.
  for (int round = 0; round < 2; ++round) ResetDevice();
  EXPECT_EQ(dwCount, pBall->m_pMesh->m_dwNumSubMeshes);
  EXPECT_EQ(dwStride, pBall->m_pMesh->m_dwStride);
  EXPECT_EQ(2u, ctx.m_pLocalMeshCache->Count());
  EXPECT_EQ(live, pDevice->LiveResourceCount());

  // Deletion: once every ball and both caches have let go, nothing is left.
  for (CListEngine::Node* pNode = list.First(); pNode; pNode = pNode->pNext) pNode->pObject->DeleteDeviceObjects();
  EXPECT_EQ(nullptr, pBall->m_pMesh->GetSysMemMesh());
  EXPECT_EQ(0u, pBall->m_pMeshHi->m_dwNumSubMeshes);
  ctx.m_pLocalMeshCache->Clear();
  ctx.m_pMeshCache->Clear();
  EXPECT_EQ(0u, pDevice->LiveResourceCount());

  // The next restore reads the library again.
  for (CListEngine::Node* pNode = list.First(); pNode; pNode = pNode->pNext) pNode->pObject->RestoreDeviceObjects();
  EXPECT_EQ(dwCount, pBall->m_pMesh->m_dwNumSubMeshes);
  EXPECT_NE(nullptr, pBall->m_pMeshHi->GetSysMemMesh());
  EXPECT_EQ(live, pDevice->LiveResourceCount());
  EXPECT_EQ("", LogText());
}

TEST_F(BallMeshTest, BallThatDiesLetsGoOfItsSpheres) {
  CBall* pBall = RestingBall(4, 4, 5);
  pBall->m_bResting = 0;
  pBall->m_bDeleting = 1;
  pBall->m_bGrowing = 1;
  pBall->m_fScale = 1.19f;
  Frame(50);
  EXPECT_EQ(0, BallsInList());
  ctx.m_pLocalMeshCache->Clear();
  ctx.m_pMeshCache->Clear();
  EXPECT_EQ(0u, pDevice->LiveResourceCount());
}

// Without a device (as in the rule tests) the spheres stay empty without the library
// being opened or anything being logged.
TEST_F(BallMeshTest, WithoutDeviceNothingIsLoaded) {
  ctx.m_pd3dDevice = nullptr;
  CBall* pBall = RestingBall(7, 7, 6);
  EXPECT_EQ(nullptr, pBall->m_pMesh->GetSysMemMesh());
  EXPECT_EQ(nullptr, pBall->m_pMeshHi->GetSysMemMesh());
  EXPECT_EQ(0u, ctx.m_pMeshCache->Count());
  pBall->RestoreDeviceObjects();
  pBall->Render();
  EXPECT_TRUE(Items().empty());
  EXPECT_EQ("", LogText());
  ctx.m_pd3dDevice = pDevice;
  pBall->RestoreDeviceObjects();
  EXPECT_EQ(2u, pBall->m_pMesh->m_dwNumSubMeshes);
}

}  // namespace
}  // namespace board_test
