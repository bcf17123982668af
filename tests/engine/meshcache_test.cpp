#include "engine/meshcache.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/d3d8/recording_device.h"

namespace {

ULONG RefsOf(IUnknown* pObject) {
  pObject->AddRef();
  return pObject->Release();
}

const char kTriangleX[] =
    "xof 0303txt 0032\n"
    "Mesh Triangle {\n"
    " 4;\n"
    " 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;, 1.0;1.0;0.0;;\n"
    " 2;\n"
    " 3;0,1,2;, 3;1,3,2;;\n"
    " MeshMaterialList { 1; 2; 0, 0;;\n"
    "  Material { 1.0;0.5;0.25;1.0;; 8.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }\n"
    " }\n"
    "}\n";

class MeshCacheTest : public ::testing::Test {
 protected:
  void SetUp() override { m_pDevice = new CRecordingDevice(); }
  void TearDown() override {
    m_Cache.Clear();
    EXPECT_EQ(0u, m_pDevice->LiveResourceCount());
    m_pDevice->Release();
  }

  ID3DXMesh* NewMesh() {
    ID3DXMesh* pMesh = nullptr;
    EXPECT_EQ(S_OK, D3DXCreateMeshFVF(2, 4, D3DXMESH_MANAGED, 0x112, m_pDevice, &pMesh));
    return pMesh;
  }

  CRecordingDevice* m_pDevice = nullptr;
  CMeshCache m_Cache;
};

TEST_F(MeshCacheTest, EmptyCacheMissesWithNullOutputs) {
  ID3DXMesh* pMesh = reinterpret_cast<ID3DXMesh*>(0x10);
  ID3DXMesh** ppSubs = reinterpret_cast<ID3DXMesh**>(0x20);
  DWORD dwCount = 7;
  EXPECT_EQ(E_FAIL, m_Cache.Find("SPHERE0", &pMesh, &ppSubs, &dwCount));
  EXPECT_EQ(nullptr, pMesh);
  EXPECT_EQ(nullptr, ppSubs);
  EXPECT_EQ(0u, dwCount);
  ID3DXBuffer* pAdjacency = reinterpret_cast<ID3DXBuffer*>(0x30);
  pMesh = nullptr;
  EXPECT_EQ(E_FAIL, m_Cache.FindEx("SPHERE0", &pMesh, &pAdjacency));
  EXPECT_EQ(nullptr, pAdjacency);
  EXPECT_EQ(S_OK, m_Cache.Clear());
}

TEST_F(MeshCacheTest, LocalMeshEntriesGiveTheirSubMeshesAndOwnThem) {
  ID3DXMesh* pLocal = NewMesh();
  ID3DXMesh** ppSubs = new ID3DXMesh*[2]{NewMesh(), NewMesh()};
  m_Cache.Add(pLocal, ppSubs, 2, "SPHERE0");
  m_Cache.Add(NewMesh(), nullptr, 0, "SPHERE0");  // a second entry of the name is never found

  ID3DXMesh* pMesh = nullptr;
  ID3DXMesh** ppFound = nullptr;
  DWORD dwCount = 0;
  EXPECT_EQ(S_OK, m_Cache.Find("SPHERE0", &pMesh, &ppFound, &dwCount));
  EXPECT_EQ(pLocal, pMesh);
  EXPECT_EQ(ppSubs, ppFound);
  EXPECT_EQ(2u, dwCount);
  EXPECT_EQ(1u, RefsOf(pLocal));

  // A null array output writes neither array nor count.
  dwCount = 99;
  EXPECT_EQ(S_OK, m_Cache.Find("SPHERE0", &pMesh, nullptr, &dwCount));
  EXPECT_EQ(99u, dwCount);
  EXPECT_EQ(S_OK, m_Cache.Find("SPHERE0", nullptr, &ppFound, &dwCount));
  EXPECT_EQ(2u, dwCount);
}

TEST_F(MeshCacheTest, FindExReleasesACallerMeshButNeverACachedOne) {
  ID3DXMesh* pCached = NewMesh();
  m_Cache.AddSimple(pCached, "Environ");
  ID3DXMesh* pOut = pCached;  // borrowed from an earlier lookup
  ID3DXBuffer* pAdjacency = nullptr;
  EXPECT_EQ(S_OK, m_Cache.FindEx("Environ", &pOut, &pAdjacency));
  EXPECT_EQ(pCached, pOut);
  EXPECT_EQ(1u, RefsOf(pCached));
  EXPECT_EQ(E_FAIL, m_Cache.FindEx("Other", &pOut, &pAdjacency));
  EXPECT_EQ(1u, RefsOf(pCached));

  pOut = NewMesh();  // the caller's own mesh is released
  EXPECT_EQ(E_FAIL, m_Cache.FindEx("Other", &pOut, &pAdjacency));
  EXPECT_EQ(nullptr, pOut);
}

TEST_F(MeshCacheTest, LoadFromMemoryCachesTheMeshWithItsAdjacency) {
  ID3DXBuffer* pAdjacency = nullptr;
  ID3DXBuffer* pMaterials = nullptr;
  DWORD dwMaterials = 0;
  ID3DXMesh* pMesh = nullptr;
  ASSERT_EQ(S_OK, m_Cache.LoadMeshFromMemory(kTriangleX, sizeof kTriangleX - 1, m_pDevice, &pAdjacency, &pMaterials,
                                             &dwMaterials, &pMesh, "PlateFloor"));
  ASSERT_NE(nullptr, pMesh);
  ASSERT_NE(nullptr, pAdjacency);
  EXPECT_EQ(2u, pMesh->GetNumFaces());
  EXPECT_EQ(6u * sizeof(DWORD), pAdjacency->GetBufferSize());
  EXPECT_EQ(1u, dwMaterials);
  if (pMaterials) pMaterials->Release();

  ID3DXMesh* pFound = nullptr;
  ID3DXBuffer* pFoundAdjacency = nullptr;
  EXPECT_EQ(S_OK, m_Cache.FindEx("PlateFloor", &pFound, &pFoundAdjacency));
  EXPECT_EQ(pMesh, pFound);
  EXPECT_EQ(pAdjacency, pFoundAdjacency);
  EXPECT_EQ(1u, RefsOf(pMesh));
}

TEST_F(MeshCacheTest, FailedLoadLeavesTheCacheUnchanged) {
  static const char kJunk[] = "this is not a mesh";
  ID3DXBuffer* pAdjacency = nullptr;
  ID3DXBuffer* pMaterials = nullptr;
  DWORD dwMaterials = 0;
  ID3DXMesh* pMesh = nullptr;
  EXPECT_EQ(E_FAIL, m_Cache.LoadMeshFromMemory(kJunk, sizeof kJunk, m_pDevice, &pAdjacency, &pMaterials,
                                               &dwMaterials, &pMesh, "Broken"));
  EXPECT_EQ(nullptr, pMesh);
  EXPECT_EQ(0u, m_Cache.Count());
  if (pMaterials) pMaterials->Release();
}

TEST_F(MeshCacheTest, RemoveUnlinksAndReleasesOneEntry) {
  m_Cache.AddSimple(NewMesh(), "a");
  m_Cache.AddSimple(NewMesh(), "b");
  m_Cache.AddSimple(NewMesh(), "c");
  EXPECT_EQ(S_OK, m_Cache.Remove("zzz"));
  EXPECT_EQ(3u, m_Cache.Count());
  EXPECT_EQ(S_OK, m_Cache.Remove("c"));  // the tail: its predecessor becomes the tail
  EXPECT_EQ(2u, m_pDevice->LiveResourceCount() / 2);
  m_Cache.AddSimple(NewMesh(), "d");
  EXPECT_EQ(S_OK, m_Cache.Find("d", nullptr, nullptr, nullptr));
  EXPECT_EQ(S_OK, m_Cache.Remove("a"));
  EXPECT_EQ(S_OK, m_Cache.Remove("b"));
  EXPECT_EQ(S_OK, m_Cache.Remove("d"));
  EXPECT_EQ(0u, m_Cache.Count());
  m_Cache.AddSimple(NewMesh(), "e");
  EXPECT_EQ(1u, m_Cache.Count());
}

}  // namespace
