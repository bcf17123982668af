// An independent reader (Assimp) must see in our written files the same faces,
// vertices and materials as our loader.
#ifdef VANTOREL_HAVE_ASSIMP

#include <assimp/cimport.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/xfile/d3dx8mesh.h"
#include "tests/support/d3d8/recording_device.h"
#include "tests/xfile/sample_meshes.h"

namespace {

struct Counts {
  unsigned faces = 0, vertices = 0, materials = 0;
};

Counts AssimpCounts(const std::vector<uint8_t>& bytes) {
  Counts c;
  const aiScene* scene = aiImportFileFromMemory(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<unsigned>(bytes.size()),
                                                aiProcess_Triangulate | aiProcess_JoinIdenticalVertices, "x");
  EXPECT_NE(nullptr, scene) << aiGetErrorString();
  if (!scene) return c;
  for (unsigned i = 0; i < scene->mNumMeshes; ++i) {
    c.faces += scene->mMeshes[i]->mNumFaces;
    c.vertices += scene->mMeshes[i]->mNumVertices;
  }
  c.materials = scene->mNumMaterials;
  aiReleaseImport(scene);
  return c;
}

// Ours, sorted by attribute so that each material's vertices are counted on their own as
// Assimp does (one mesh per material).
Counts OurCounts(const std::vector<uint8_t>& bytes) {
  Counts c;
  CRecordingDevice* device = new CRecordingDevice();
  ID3DXMesh* mesh = nullptr;
  ID3DXBuffer* adjacency = nullptr;
  DWORD materials = 0;
  EXPECT_EQ(S_OK, D3DXLoadMeshFromXInMemory(bytes.data(), static_cast<DWORD>(bytes.size()), D3DXMESH_SYSTEMMEM,
                                            device, &adjacency, nullptr, &materials, &mesh));
  if (mesh) {
    ID3DXMesh* sorted = nullptr;
    EXPECT_EQ(S_OK, mesh->Optimize(D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_COMPACT,
                                   static_cast<DWORD*>(adjacency->GetBufferPointer()), nullptr, nullptr, nullptr,
                                   &sorted));
    if (sorted) {
      c.faces = sorted->GetNumFaces();
      c.vertices = sorted->GetNumVertices();
      sorted->Release();
    }
    mesh->Release();
    adjacency->Release();
  }
  c.materials = materials;
  device->Release();
  return c;
}

TEST(AssimpCrossCheck, SameCountsInEveryForm) {
  for (bool normals : {true, false}) {
    SCOPED_TRACE(normals);
    const xfile::XMeshData cube = xfile_test::Cube(normals, true, true);
    const std::string text = xfile::WriteXText(cube);
    const std::vector<std::vector<uint8_t>> forms = {xfile_test::Bytes(text), xfile::WriteXBinary(cube),
                                                     xfile::WriteXCompressed(cube, true),
                                                     xfile::WriteXCompressed(cube, false)};
    for (size_t i = 0; i < forms.size(); ++i) {
      SCOPED_TRACE(i);
      const Counts theirs = AssimpCounts(forms[i]);
      const Counts ours = OurCounts(forms[i]);
      EXPECT_EQ(12u, ours.faces);
      EXPECT_EQ(theirs.faces, ours.faces);
      EXPECT_EQ(theirs.vertices, ours.vertices);
      EXPECT_EQ(theirs.materials, ours.materials);
    }
  }
}

}  // namespace

#endif  // VANTOREL_HAVE_ASSIMP
