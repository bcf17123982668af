// Meshes by name from a resource library: sharing through the caches, the split by
// attribute, materials and the failures that leave a mesh empty.
#include "shell/d3dmesh.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>
#include <fstream>
#include <memory>
#include <set>

#include "mesh_fixture.h"

using mesh_test::MeshFixture;

namespace {

std::vector<DWORD> Indices(ID3DXMesh* mesh) {
  std::vector<DWORD> indices;
  BYTE* data = nullptr;
  if (FAILED(mesh->LockIndexBuffer(D3DLOCK_READONLY, &data))) return indices;
  const bool wide = (mesh->GetOptions() & D3DXMESH_32BIT) != 0;
  for (DWORD i = 0; i < mesh->GetNumFaces() * 3; ++i)
    indices.push_back(wide ? reinterpret_cast<DWORD*>(data)[i] : reinterpret_cast<WORD*>(data)[i]);
  mesh->UnlockIndexBuffer();
  return indices;
}

// How many mappings of the file this process holds.
int MappingsOf(const std::string& path) {
  std::ifstream maps("/proc/self/maps");
  int count = 0;
  for (std::string line; std::getline(maps, line);)
    if (line.size() >= path.size() && line.compare(line.size() - path.size(), path.size(), path) == 0) ++count;
  return count;
}

bool SameColor(const D3DCOLORVALUE& a, const D3DCOLORVALUE& b) {
  return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

}  // namespace

class MeshTest : public MeshFixture {};

TEST_F(MeshTest, TwoMeshesOfOneNameShareTheCachedMesh) {
  CD3DMesh first(&context), second(&context);
  ASSERT_EQ(S_OK, first.CreateFromResource(device, library.c_str(), "SPHERE0", log));
  ASSERT_EQ(S_OK, second.CreateFromResource(device, library.c_str(), "SPHERE0", log));
  EXPECT_EQ("CD3DFile_Mesh", std::string(first.m_strName));
  ASSERT_NE(nullptr, first.GetSysMemMesh());
  EXPECT_EQ(first.GetSysMemMesh(), second.GetSysMemMesh());
  EXPECT_EQ(first.m_pAdjacency, second.m_pAdjacency);
  EXPECT_EQ(first.GetLocalMesh(), second.GetLocalMesh());
  EXPECT_EQ(first.m_ppSubMeshes, second.m_ppSubMeshes);
  EXPECT_EQ(1u, context.m_pMeshCache->Count());
  EXPECT_EQ(1u, context.m_pLocalMeshCache->Count());
  // Only the mesh that read the resource has materials.
  EXPECT_EQ(3u, first.m_dwNumMaterials);
  EXPECT_EQ(0u, second.m_dwNumMaterials);
  EXPECT_EQ(D3DXGetFVFVertexSize(first.GetLocalMesh()->GetFVF()), first.m_dwStride);
  EXPECT_EQ(first.m_dwStride, second.m_dwStride);

  // A device reset: both forget the local meshes, the cache releases them, the first
  // restore rebuilds and caches, the second takes them from the cache.
  const DWORD subMeshes = first.m_dwNumSubMeshes, stride = first.m_dwStride;
  first.InvalidateDeviceObjects();
  second.InvalidateDeviceObjects();
  EXPECT_EQ(nullptr, first.GetLocalMesh());
  EXPECT_EQ(0u, first.m_dwNumSubMeshes);
  context.m_pLocalMeshCache->Clear();
  ASSERT_EQ(S_OK, first.RestoreDeviceObjects(device));
  ASSERT_EQ(S_OK, second.RestoreDeviceObjects(device));
  EXPECT_EQ(subMeshes, first.m_dwNumSubMeshes);
  EXPECT_EQ(stride, second.m_dwStride);
  EXPECT_EQ(first.m_ppSubMeshes, second.m_ppSubMeshes);
  EXPECT_EQ(1u, context.m_pLocalMeshCache->Count());

  // Device deletion: the meshes forget, the caches release (each once: ASan would tell).
  first.Destroy();
  second.Destroy();
  EXPECT_EQ(nullptr, first.GetSysMemMesh());
  EXPECT_EQ(E_FAIL, first.RestoreDeviceObjects(device));
  context.m_pLocalMeshCache->Clear();
  context.m_pMeshCache->Clear();
  // Created again from the library after the caches were emptied.
  ASSERT_EQ(S_OK, first.CreateFromResource(device, library.c_str(), "SPHERE0", log));
  EXPECT_EQ(3u, first.m_dwNumMaterials);
}

TEST_F(MeshTest, TheResourceNameIsCopiedAndOutlivesTheCaller) {
  {
    std::unique_ptr<std::string> name(new std::string("SPHERE0"));
    CD3DMesh mesh(&context);
    ASSERT_EQ(S_OK, mesh.CreateFromResource(device, library.c_str(), name->c_str(), log));
    name.reset();
    EXPECT_STREQ("SPHERE0", mesh.GetResName());
    // The restore looks the name up again after the caller's text is gone.
    mesh.InvalidateDeviceObjects();
    context.m_pLocalMeshCache->Clear();
    ASSERT_EQ(S_OK, mesh.RestoreDeviceObjects(device));
    mesh.Destroy();
  }
  // The cache entries made by a mesh that no longer exists are still found by name.
  ID3DXMesh* found = nullptr;
  ID3DXBuffer* adjacency = nullptr;
  EXPECT_EQ(S_OK, context.m_pMeshCache->FindEx("SPHERE0", &found, &adjacency));
  EXPECT_EQ(S_OK, context.m_pLocalMeshCache->Find("SPHERE0", nullptr, nullptr, nullptr));
}

TEST_F(MeshTest, ThreeAttributeRangesGiveThreeSubMeshesWithIndicesFromZero) {
  CD3DMesh mesh(&context);
  ASSERT_EQ(S_OK, mesh.CreateFromResource(device, library.c_str(), "SPHERE0", log));
  ASSERT_EQ(3u, mesh.m_dwNumSubMeshes);
  ID3DXMesh* local = mesh.GetLocalMesh();
  DWORD ranges = 0;
  local->GetAttributeTable(nullptr, &ranges);
  std::vector<D3DXATTRIBUTERANGE> table(ranges);
  local->GetAttributeTable(table.data(), &ranges);
  ASSERT_EQ(3u, ranges);

  BYTE* localVertices = nullptr;
  ASSERT_EQ(S_OK, local->LockVertexBuffer(D3DLOCK_READONLY, &localVertices));
  DWORD faces = 0;
  for (DWORD i = 0; i < 3; ++i) {
    ID3DXMesh* sub = mesh.m_ppSubMeshes[i];
    ASSERT_NE(nullptr, sub);
    EXPECT_EQ(local->GetFVF(), sub->GetFVF());
    EXPECT_EQ(table[i].FaceCount, sub->GetNumFaces());
    EXPECT_EQ(table[i].VertexCount, sub->GetNumVertices());
    faces += sub->GetNumFaces();
    const std::vector<DWORD> indices = Indices(sub);
    const std::set<DWORD> used(indices.begin(), indices.end());
    EXPECT_EQ(0u, *used.begin()) << i;
    EXPECT_LT(*used.rbegin(), sub->GetNumVertices()) << i;
    // Vertices are the range's vertices of the local mesh.
    BYTE* vertices = nullptr;
    ASSERT_EQ(S_OK, sub->LockVertexBuffer(D3DLOCK_READONLY, &vertices));
    EXPECT_EQ(0, std::memcmp(vertices, localVertices + table[i].VertexStart * mesh.m_dwStride,
                             table[i].VertexCount * mesh.m_dwStride));
    sub->UnlockVertexBuffer();
    DWORD* attributes = nullptr;
    ASSERT_EQ(S_OK, sub->LockAttributeBuffer(D3DLOCK_READONLY, &attributes));
    for (DWORD f = 0; f < sub->GetNumFaces(); ++f) EXPECT_EQ(table[i].AttribId, attributes[f]);
    sub->UnlockAttributeBuffer();
  }
  local->UnlockVertexBuffer();
  EXPECT_EQ(local->GetNumFaces(), faces);
  EXPECT_EQ(12u, faces);
}

TEST_F(MeshTest, NeighboursInAnotherRangeBecomeNone) {
  // Faces 0..1 in one range, 2..5 in the next, 6.. after it.
  const DWORD adjacency[] = {
      2, 0xFFFFFFFF, 1,  0, 3, 7,  // range before
      1, 3, 0xFFFFFFFF,  2, 4, 6,  // inside: 2..5
      5, 3, 0,           4, 6, 2,  //
      5, 7, 8};
  D3DXATTRIBUTERANGE range = {1, 2, 4, 0, 0};
  DWORD rebased[12];
  CD3DMesh::RebaseAdjacency(adjacency, range, rebased);
  const DWORD none = 0xFFFFFFFF;
  const DWORD expected[12] = {none, 1, none, 0, 2, none, 3, 1, none, 2, none, 0};
  for (int k = 0; k < 12; ++k) EXPECT_EQ(expected[k], rebased[k]) << k;
  CD3DMesh::RebaseAdjacency(nullptr, range, rebased);
  for (int k = 0; k < 12; ++k) EXPECT_EQ(none, rebased[k]) << k;
}

TEST_F(MeshTest, AmbientEqualsDiffuse) {
  CD3DMesh mesh(&context);
  ASSERT_EQ(S_OK, mesh.CreateFromResource(device, library.c_str(), "SPHERE0", log));
  ASSERT_EQ(3u, mesh.m_dwNumMaterials);
  for (DWORD i = 0; i < 3; ++i) {
    EXPECT_TRUE(SameColor(mesh.m_pMaterials[i].Diffuse, mesh.m_pMaterials[i].Ambient)) << i;
    EXPECT_EQ(nullptr, mesh.m_pTextures[i]);
  }
  EXPECT_FLOAT_EQ(0.75f, mesh.m_pMaterials[1].Diffuse.a);

  D3DMATERIAL8 material = {};
  material.Diffuse = {0.1f, 0.2f, 0.3f, 0.4f};
  material.Ambient = {1, 1, 1, 1};
  material.Power = 7;
  EXPECT_EQ(S_OK, mesh.SetMaterial(0, material));
  EXPECT_TRUE(SameColor(material.Diffuse, mesh.m_pMaterials[0].Ambient));
  EXPECT_FLOAT_EQ(7.0f, mesh.m_pMaterials[0].Power);
  EXPECT_EQ(S_OK, mesh.SetMaterial(3, material));  // beyond the count: nothing

  CD3DMesh shared(&context);
  ASSERT_EQ(S_OK, shared.CreateFromResource(device, library.c_str(), "SPHERE0", log));
  EXPECT_EQ(S_OK, shared.SetMaterial(0, material));
  EXPECT_EQ(nullptr, shared.m_pMaterials);
}

TEST_F(MeshTest, FailuresAreLoggedAndLeaveTheMeshEmpty) {
  CD3DMesh missing(&context);
  EXPECT_EQ(E_FAIL, missing.CreateFromResource(device, library.c_str(), "NoSuchMesh", log));
  EXPECT_EQ("FAIL: Can not find resource for MESH!\n", LogText());
  EXPECT_EQ(nullptr, missing.GetSysMemMesh());
  EXPECT_EQ(0u, missing.m_dwNumSubMeshes);

  CD3DMesh noLibrary(&context);
  EXPECT_EQ(E_FAIL, noLibrary.CreateFromResource(device, Path("absent.dll").c_str(), "SPHERE0", log));
  EXPECT_EQ("FAIL: Can not find resource for MESH!\nFAIL: Can not find library for MESH!\n", LogText());

  CD3DMesh broken(&context);
  EXPECT_EQ(E_FAIL, broken.CreateFromResource(device, library.c_str(), "Broken", log));
  EXPECT_NE(std::string::npos, LogText().find("FAIL: Can not load MESH!\n"));
  EXPECT_EQ(nullptr, broken.GetSysMemMesh());
  EXPECT_EQ(nullptr, broken.GetLocalMesh());
  EXPECT_EQ(0u, broken.m_dwNumSubMeshes);
  EXPECT_EQ(0u, broken.m_dwNumMaterials);
  EXPECT_EQ(0u, context.m_pMeshCache->Count());
  EXPECT_EQ(0u, context.m_pLocalMeshCache->Count());
  EXPECT_EQ(E_FAIL, broken.RestoreDeviceObjects(device));
}

TEST_F(MeshTest, AMeshWithoutCachesOwnsWhatItLoads) {
  CGameContext bare;
  CD3DMesh mesh(&bare);
  ASSERT_EQ(S_OK, mesh.CreateFromResource(device, library.c_str(), "MouseModel", log));
  EXPECT_EQ(1u, mesh.m_dwNumSubMeshes);
  EXPECT_EQ(3u, mesh.m_dwNumMaterials);
  ASSERT_EQ(S_OK, mesh.ComputeBoundingBoxes());
  EXPECT_FLOAT_EQ(0.0f, mesh.m_pBoundingBox[0].x);
  EXPECT_FLOAT_EQ(6.0f, mesh.m_pBoundingBox[1].x);
  EXPECT_FLOAT_EQ(1.0f, mesh.m_pBoundingBox[1].y);
  // A reset releases and rebuilds its own local mesh; the destructor releases the rest
  // (the fixture checks that no device resource is left).
  mesh.InvalidateDeviceObjects();
  ASSERT_EQ(S_OK, mesh.RestoreDeviceObjects(device));
  EXPECT_EQ(1u, mesh.m_dwNumSubMeshes);
}

TEST_F(MeshTest, TexturesFromTheLibraryBelongToTheTextureCache) {
  CD3DMesh mesh(&context);
  ASSERT_EQ(S_OK, mesh.CreateFromResource(device, library.c_str(), "SPHERE0", log));
  ASSERT_EQ(S_OK, mesh.CreateTextureFromResource(0, device, library.c_str(), "Tex"));
  ASSERT_NE(nullptr, mesh.m_pTextures[0]);
  EXPECT_EQ(1u, context.m_pTextureCache->Count());
  // The second slot shares the cached texture.
  ASSERT_EQ(S_OK, mesh.CreateTextureFromResource(1, device, library.c_str(), "Tex"));
  EXPECT_EQ(mesh.m_pTextures[0], mesh.m_pTextures[1]);
  EXPECT_EQ(1u, context.m_pTextureCache->Count());
  // Not an image: no texture, and the slot is emptied without releasing the cached one.
  EXPECT_EQ(S_OK, mesh.CreateTextureFromResource(1, device, library.c_str(), "MouseModel"));
  EXPECT_EQ(nullptr, mesh.m_pTextures[1]);
  EXPECT_EQ(S_OK, mesh.CreateTextureFromResource(9, device, library.c_str(), "Tex"));
  // The mesh lets go of the cached texture; the cache releases it (the fixture checks
  // that nothing is left and nothing was released twice).
  mesh.Destroy();
  EXPECT_EQ(1u, context.m_pTextureCache->Count());
}

// Every read from the library opens it and closes it again. The library is dated a day
// ahead, so it counts as still being written and is never kept for reuse: a load that
// did not close it would leave a mapping of the whole file behind.
TEST_F(MeshTest, ReadsFromTheLibraryLeaveNoMappingOfItBehind) {
  const timespec ahead[2] = {{time(nullptr) + 86400, 0}, {time(nullptr) + 86400, 0}};
  ASSERT_EQ(0, utimensat(AT_FDCWD, library.c_str(), ahead, 0));
  CGameContext bare;
  CD3DMesh mesh(&bare);
  ASSERT_EQ(S_OK, mesh.CreateFromResource(device, library.c_str(), "MouseModel", log));
  EXPECT_EQ(0, MappingsOf(library)) << "the mesh read left the library open";
  ASSERT_EQ(S_OK, mesh.CreateTextureFromResource(0, device, library.c_str(), "Tex"));
  ASSERT_NE(nullptr, mesh.m_pTextures[0]);
  EXPECT_EQ(0, MappingsOf(library)) << "the texture read left the library open";
}
