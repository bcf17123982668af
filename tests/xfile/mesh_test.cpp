#include "platform/xfile/d3dx8mesh.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "tests/support/d3d8/recording_device.h"
#include "tests/xfile/sample_meshes.h"

namespace {

struct Loaded {
  HRESULT status = E_FAIL;
  ID3DXMesh* mesh = nullptr;
  ID3DXBuffer* adjacency = nullptr;
  ID3DXBuffer* materials = nullptr;
  DWORD numMaterials = 0;

  ~Loaded() {
    if (mesh) mesh->Release();
    if (adjacency) adjacency->Release();
    if (materials) materials->Release();
  }
  const DWORD* Adjacency() const { return static_cast<const DWORD*>(adjacency->GetBufferPointer()); }
  const D3DXMATERIAL* Materials() const { return static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer()); }
};

class MeshTest : public ::testing::Test {
 protected:
  void SetUp() override { m_device = new CRecordingDevice(); }
  void TearDown() override {
    EXPECT_EQ(0u, m_device->LiveResourceCount());  // every mesh gave its buffers back
    m_device->Release();
  }

  void Load(const std::vector<uint8_t>& bytes, Loaded& out, DWORD options = D3DXMESH_SYSTEMMEM) {
    out.status = D3DXLoadMeshFromXInMemory(bytes.data(), static_cast<DWORD>(bytes.size()), options, m_device,
                                           &out.adjacency, &out.materials, &out.numMaterials, &out.mesh);
  }

  CRecordingDevice* m_device = nullptr;
};

std::vector<float> VertexFloats(ID3DXMesh* mesh) {
  BYTE* data = nullptr;
  EXPECT_EQ(S_OK, mesh->LockVertexBuffer(D3DLOCK_READONLY, &data));
  const size_t bytes = mesh->GetNumVertices() * D3DXGetFVFVertexSize(mesh->GetFVF());
  std::vector<float> out(bytes / 4);
  std::memcpy(out.data(), data, bytes);
  mesh->UnlockVertexBuffer();
  return out;
}

std::vector<uint32_t> Indices(ID3DXMesh* mesh) {
  BYTE* data = nullptr;
  EXPECT_EQ(S_OK, mesh->LockIndexBuffer(D3DLOCK_READONLY, &data));
  std::vector<uint32_t> out(mesh->GetNumFaces() * 3);
  const bool wide = (mesh->GetOptions() & D3DXMESH_32BIT) != 0;
  for (size_t i = 0; i < out.size(); ++i) {
    if (wide) {
      std::memcpy(&out[i], data + 4 * i, 4);
    } else {
      uint16_t v;
      std::memcpy(&v, data + 2 * i, 2);
      out[i] = v;
    }
  }
  mesh->UnlockIndexBuffer();
  return out;
}

std::vector<DWORD> Attributes(ID3DXMesh* mesh) {
  DWORD* data = nullptr;
  EXPECT_EQ(S_OK, mesh->LockAttributeBuffer(D3DLOCK_READONLY, &data));
  std::vector<DWORD> out(data, data + mesh->GetNumFaces());
  mesh->UnlockAttributeBuffer();
  return out;
}

std::vector<D3DXATTRIBUTERANGE> Table(ID3DXMesh* mesh) {
  DWORD count = 0;
  EXPECT_EQ(S_OK, mesh->GetAttributeTable(nullptr, &count));
  std::vector<D3DXATTRIBUTERANGE> table(count);
  if (count) {
    EXPECT_EQ(S_OK, mesh->GetAttributeTable(table.data(), &count));
  }
  return table;
}

TEST_F(MeshTest, AllFormsLoadTheSameVerticesAndFaces) {
  const xfile::XMeshData cube = xfile_test::Cube(true, true, true);
  const std::string text = xfile::WriteXText(cube);
  Loaded reference;
  Load(xfile_test::Bytes(text), reference);
  ASSERT_EQ(S_OK, reference.status);
  EXPECT_EQ(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, reference.mesh->GetFVF());
  EXPECT_EQ(32u, D3DXGetFVFVertexSize(reference.mesh->GetFVF()));
  EXPECT_EQ(12u, reference.mesh->GetNumFaces());
  EXPECT_EQ(24u, reference.mesh->GetNumVertices());  // every corner meets three side normals
  EXPECT_EQ(D3DXMESH_SYSTEMMEM, reference.mesh->GetOptions());
  EXPECT_EQ(3u, reference.numMaterials);

  for (const auto& bytes : {xfile::WriteXBinary(cube), xfile::WriteXBinary(cube, true),
                            xfile::WriteXCompressed(cube, true), xfile::WriteXCompressed(cube, false)}) {
    Loaded other;
    Load(bytes, other);
    ASSERT_EQ(S_OK, other.status);
    EXPECT_EQ(reference.mesh->GetFVF(), other.mesh->GetFVF());
    EXPECT_EQ(VertexFloats(reference.mesh), VertexFloats(other.mesh));
    EXPECT_EQ(Indices(reference.mesh), Indices(other.mesh));
    EXPECT_EQ(Attributes(reference.mesh), Attributes(other.mesh));
    EXPECT_EQ(3u, other.numMaterials);
  }
}

TEST_F(MeshTest, NormalsTexcoordsMaterialsAndAdjacency) {
  Loaded l;
  Load(xfile::WriteXBinary(xfile_test::Cube(true, true, true)), l);
  ASSERT_EQ(S_OK, l.status);
  const std::vector<float> v = VertexFloats(l.mesh);
  const std::vector<uint32_t> idx = Indices(l.mesh);
  const std::vector<DWORD> attr = Attributes(l.mesh);
  // Every corner of a side carries that side's normal; quads split into fans.
  static const float kNormals[6][3] = {{0, 0, -1}, {0, 0, 1}, {-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}};
  static const DWORD kSideMaterial[6] = {2, 0, 1, 0, 2, 1};
  for (uint32_t t = 0; t < 12; ++t) {
    EXPECT_EQ(kSideMaterial[t / 2], attr[t]);
    for (int k = 0; k < 3; ++k) {
      const float* vertex = &v[idx[t * 3 + k] * 8];
      EXPECT_EQ(kNormals[t / 2][0], vertex[3]);
      EXPECT_EQ(kNormals[t / 2][1], vertex[4]);
      EXPECT_EQ(kNormals[t / 2][2], vertex[5]);
      // The texture coordinate follows the position index it came from.
      const int p = static_cast<int>(vertex[0]) | (static_cast<int>(vertex[1]) << 1) | (static_cast<int>(vertex[2]) << 2);
      EXPECT_EQ(0.25f * static_cast<float>(p % 4), vertex[6]);
      EXPECT_EQ(0.5f * static_cast<float>(p / 4), vertex[7]);
    }
  }
  // Positions 0..7 keep their index for the first normal they meet.
  for (int p = 0; p < 8; ++p) {
    EXPECT_EQ(static_cast<float>(p & 1), v[p * 8]);
    EXPECT_EQ(static_cast<float>((p >> 1) & 1), v[p * 8 + 1]);
  }
  ASSERT_EQ(3u, l.numMaterials);
  EXPECT_FLOAT_EQ(0.2f, l.Materials()[1].MatD3D.Diffuse.r);
  EXPECT_FLOAT_EQ(0.5f, l.Materials()[1].MatD3D.Diffuse.a);
  EXPECT_FLOAT_EQ(8.0f, l.Materials()[2].MatD3D.Power);
  EXPECT_EQ(0.0f, l.Materials()[0].MatD3D.Ambient.r);
  EXPECT_EQ(nullptr, l.Materials()[0].pTextureFilename);
  EXPECT_STREQ("side.png", l.Materials()[2].pTextureFilename);

  // A closed cube: every triangle has three neighbours, and they agree both ways.
  ASSERT_EQ(12u * 3 * 4, l.adjacency->GetBufferSize());
  const DWORD* adj = l.Adjacency();
  for (uint32_t f = 0; f < 12; ++f) {
    for (int k = 0; k < 3; ++k) {
      const DWORD g = adj[f * 3 + k];
      ASSERT_LT(g, 12u);
      EXPECT_NE(f, g);
      EXPECT_TRUE(adj[g * 3] == f || adj[g * 3 + 1] == f || adj[g * 3 + 2] == f);
    }
  }
  // Before any sort there is no attribute table.
  EXPECT_TRUE(Table(l.mesh).empty());
}

// Splits a sorted mesh into one mesh per attribute range, the way the shell's mesh does.
struct SubMesh {
  ID3DXMesh* mesh;
  std::vector<DWORD> adjacency;
};

std::vector<SubMesh> SplitByAttribute(ID3DXMesh* local, const std::vector<DWORD>& adjacency) {
  std::vector<SubMesh> out;
  const std::vector<D3DXATTRIBUTERANGE> table = Table(local);
  const DWORD stride = D3DXGetFVFVertexSize(local->GetFVF());
  LPDIRECT3DDEVICE8 device = nullptr;
  local->GetDevice(&device);
  BYTE* vb = nullptr;
  EXPECT_EQ(S_OK, local->LockVertexBuffer(D3DLOCK_READONLY, &vb));
  const std::vector<uint32_t> indices = Indices(local);
  const std::vector<DWORD> attributes = Attributes(local);
  for (const D3DXATTRIBUTERANGE& r : table) {
    SubMesh sub{nullptr, {}};
    EXPECT_EQ(S_OK, D3DXCreateMeshFVF(r.FaceCount, r.VertexCount, local->GetOptions(), local->GetFVF(), device, &sub.mesh));
    if (!sub.mesh) break;
    BYTE* dv = nullptr;
    BYTE* di = nullptr;
    DWORD* da = nullptr;
    sub.mesh->LockVertexBuffer(0, &dv);
    sub.mesh->LockIndexBuffer(0, &di);
    sub.mesh->LockAttributeBuffer(0, &da);
    std::memcpy(dv, vb + r.VertexStart * stride, r.VertexCount * stride);
    for (DWORD i = 0; i < r.FaceCount * 3; ++i) {
      const uint16_t index = static_cast<uint16_t>(indices[r.FaceStart * 3 + i] - r.VertexStart);
      std::memcpy(di + 2 * i, &index, 2);
    }
    for (DWORD f = 0; f < r.FaceCount; ++f) da[f] = attributes[r.FaceStart + f];
    for (DWORD i = 0; i < r.FaceCount * 3; ++i) {
      const DWORD n = adjacency[r.FaceStart * 3 + i];
      sub.adjacency.push_back(n == 0xFFFFFFFFu || n < r.FaceStart || n >= r.FaceStart + r.FaceCount ? 0xFFFFFFFFu
                                                                                                    : n - r.FaceStart);
    }
    sub.mesh->UnlockVertexBuffer();
    sub.mesh->UnlockIndexBuffer();
    sub.mesh->UnlockAttributeBuffer();
    ID3DXBuffer* remap = nullptr;
    EXPECT_EQ(S_OK, sub.mesh->OptimizeInplace(D3DXMESHOPT_ATTRSORT, sub.adjacency.data(), nullptr, nullptr, &remap));
    if (remap) remap->Release();
    out.push_back(sub);
  }
  local->UnlockVertexBuffer();
  device->Release();
  return out;
}

TEST_F(MeshTest, AttributeSortGivesContiguousRangesAndSubMeshesFromZero) {
  for (bool normals : {true, false}) {
    SCOPED_TRACE(normals);
    Loaded l;
    Load(xfile::WriteXBinary(xfile_test::Cube(normals, true, false)), l);
    ASSERT_EQ(S_OK, l.status);
    const DWORD faces = l.mesh->GetNumFaces();
    std::vector<DWORD> adjacencyOut(faces * 3), faceRemap(faces);
    ID3DXMesh* local = nullptr;
    ID3DXBuffer* vertexRemap = nullptr;
    ASSERT_EQ(S_OK, l.mesh->Optimize(D3DXMESHOPT_ATTRSORT, l.Adjacency(), adjacencyOut.data(), faceRemap.data(),
                                     &vertexRemap, &local));
    EXPECT_EQ(0u, local->GetOptions());  // default memory options
    const std::vector<D3DXATTRIBUTERANGE> table = Table(local);
    ASSERT_EQ(3u, table.size());
    const std::vector<uint32_t> indices = Indices(local);
    DWORD faceSum = 0;
    for (DWORD i = 0; i < 3; ++i) {
      EXPECT_EQ(i, table[i].AttribId);
      EXPECT_EQ(faceSum, table[i].FaceStart);
      EXPECT_EQ(4u, table[i].FaceCount);
      faceSum += table[i].FaceCount;
      for (DWORD k = table[i].FaceStart * 3; k < (table[i].FaceStart + table[i].FaceCount) * 3; ++k) {
        EXPECT_GE(indices[k], table[i].VertexStart);
        EXPECT_LT(indices[k], table[i].VertexStart + table[i].VertexCount);
      }
    }
    // Without normals the eight corners are shared between sides, so ranges get copies
    // (each range's two sides share an edge: six corners).
    EXPECT_EQ(normals ? 24u : 8u, l.mesh->GetNumVertices());
    EXPECT_EQ(normals ? 24u : 18u, local->GetNumVertices());
    ASSERT_EQ(local->GetNumVertices() * 4, vertexRemap->GetBufferSize());
    // The remaps describe the move: same positions, same neighbours.
    const std::vector<float> before = VertexFloats(l.mesh), after = VertexFloats(local);
    const DWORD stride = D3DXGetFVFVertexSize(local->GetFVF()) / 4;
    const auto* vremap = static_cast<const DWORD*>(vertexRemap->GetBufferPointer());
    for (DWORD nv = 0; nv < local->GetNumVertices(); ++nv) {
      EXPECT_EQ(before[vremap[nv] * stride], after[nv * stride]);
    }
    std::vector<DWORD> newOf(faces);
    for (DWORD f = 0; f < faces; ++f) newOf[faceRemap[f]] = f;
    for (DWORD f = 0; f < faces; ++f) {
      for (int k = 0; k < 3; ++k) EXPECT_EQ(newOf[l.Adjacency()[faceRemap[f] * 3 + k]], adjacencyOut[f * 3 + k]);
    }

    // Split: three sub-meshes whose faces add up, whose indices start at 0, and whose
    // neighbours in another range are gone.
    std::vector<SubMesh> subs = SplitByAttribute(local, adjacencyOut);
    ASSERT_EQ(3u, subs.size());
    DWORD total = 0;
    for (size_t i = 0; i < subs.size(); ++i) {
      total += subs[i].mesh->GetNumFaces();
      const std::vector<uint32_t> si = Indices(subs[i].mesh);
      EXPECT_EQ(0u, *std::min_element(si.begin(), si.end()));
      EXPECT_LT(*std::max_element(si.begin(), si.end()), subs[i].mesh->GetNumVertices());
      // Two sides sharing one edge: of twelve edges, the two diagonals and the shared edge
      // keep their neighbours (six entries); the six edges toward other ranges have none.
      int none = 0;
      for (DWORD n : subs[i].adjacency) none += n == 0xFFFFFFFFu;
      EXPECT_EQ(6, none);
      const std::vector<D3DXATTRIBUTERANGE> subTable = Table(subs[i].mesh);
      ASSERT_EQ(1u, subTable.size());
      EXPECT_EQ(i, subTable[0].AttribId);
      subs[i].mesh->Release();
    }
    EXPECT_EQ(local->GetNumFaces(), total);
    vertexRemap->Release();
    local->Release();
  }
}

TEST_F(MeshTest, DrawSubsetDrawsThroughTheDevice) {
  Loaded l;
  Load(xfile::WriteXBinary(xfile_test::Cube(true, true, false)), l);
  ASSERT_EQ(S_OK, l.status);
  // Without a table: each run of faces of the attribute (material 0 is on sides 1 and 3).
  m_device->ClearCalls();
  EXPECT_EQ(S_OK, l.mesh->DrawSubset(0));
  std::vector<D3DCallRecord> draws = m_device->CallsTo("DrawIndexedPrimitive");
  ASSERT_EQ(2u, draws.size());
  EXPECT_EQ(static_cast<DWORD>(D3DPT_TRIANGLELIST), draws[0].values[0]);
  EXPECT_EQ(6u, draws[0].values[3]);  // start index: face 2
  EXPECT_EQ(2u, draws[0].values[4]);
  EXPECT_EQ(1u, m_device->CallCount("SetStreamSource"));
  EXPECT_EQ(1u, m_device->CallCount("SetIndices"));
  IDirect3DVertexBuffer8* vb = nullptr;
  ASSERT_EQ(S_OK, l.mesh->GetVertexBuffer(&vb));
  EXPECT_EQ(vb, m_device->State().streamSource);
  EXPECT_EQ(24u, m_device->State().streamStride);  // position and normal
  vb->Release();

  // With a table: one draw per range.
  ASSERT_EQ(S_OK, l.mesh->OptimizeInplace(D3DXMESHOPT_ATTRSORT, l.Adjacency(), nullptr, nullptr, nullptr));
  m_device->ClearCalls();
  EXPECT_EQ(S_OK, l.mesh->DrawSubset(1));
  draws = m_device->CallsTo("DrawIndexedPrimitive");
  ASSERT_EQ(1u, draws.size());
  EXPECT_EQ(8u, draws[0].values[1]);   // first vertex of range 1
  EXPECT_EQ(8u, draws[0].values[2]);   // its vertex count
  EXPECT_EQ(12u, draws[0].values[3]);  // first index
  EXPECT_EQ(4u, draws[0].values[4]);
  m_device->ClearCalls();
  EXPECT_EQ(S_OK, l.mesh->DrawSubset(7));  // no such attribute: nothing drawn
  EXPECT_EQ(0u, m_device->CallCount("DrawIndexedPrimitive"));
}

TEST_F(MeshTest, FramesMoveTheirMeshesAndReferencedMaterialsCount) {
  Loaded l;
  Load(xfile_test::Bytes(xfile_test::FramesFile()), l);
  ASSERT_EQ(S_OK, l.status);
  EXPECT_EQ(D3DFVF_XYZ, l.mesh->GetFVF());
  ASSERT_EQ(3u, l.mesh->GetNumVertices());
  const std::vector<float> v = VertexFloats(l.mesh);
  // Frame A moves by x + 1, its child A1 by y + 1.
  EXPECT_EQ(std::vector<float>({1, 1, 0, 2, 1, 0, 1, 2, 0}), v);
  ASSERT_EQ(1u, l.numMaterials);
  EXPECT_EQ(1.0f, l.Materials()[0].MatD3D.Diffuse.r);
  EXPECT_STREQ("red.png", l.Materials()[0].pTextureFilename);
  // A lone triangle has no neighbours.
  for (int k = 0; k < 3; ++k) EXPECT_EQ(0xFFFFFFFFu, l.Adjacency()[k]);
}

TEST_F(MeshTest, CloneComputeNormalsAndCreate) {
  Loaded l;
  Load(xfile::WriteXBinary(xfile_test::Cube(false, false, false)), l);
  ASSERT_EQ(S_OK, l.status);
  EXPECT_EQ(0u, l.numMaterials);
  EXPECT_EQ(nullptr, l.materials);
  EXPECT_EQ(D3DFVF_XYZ, l.mesh->GetFVF());
  ID3DXMesh* clone = nullptr;
  ASSERT_EQ(S_OK, l.mesh->CloneMeshFVF(D3DXMESH_32BIT | D3DXMESH_MANAGED, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE,
                                       m_device, &clone));
  EXPECT_EQ(28u, D3DXGetFVFVertexSize(clone->GetFVF()));
  EXPECT_EQ(Indices(l.mesh), Indices(clone));
  ASSERT_EQ(S_OK, D3DXComputeNormals(clone, nullptr));
  const std::vector<float> v = VertexFloats(clone);
  // Corner 7 is (1,1,1): its normal points out along the diagonal.
  const float* n = &v[7 * 7 + 3];
  EXPECT_NEAR(0.57735f, n[0], 1e-4);
  EXPECT_NEAR(0.57735f, n[1], 1e-4);
  EXPECT_NEAR(0.57735f, n[2], 1e-4);
  uint32_t color;
  std::memcpy(&color, &v[7 * 7 + 6], 4);
  EXPECT_EQ(0xFFFFFFFFu, color);
  clone->Release();
  EXPECT_EQ(D3DERR_INVALIDCALL, D3DXComputeNormals(l.mesh, nullptr));  // no normal to write

  ID3DXMesh* created = nullptr;
  EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateMeshFVF(0, 3, 0, D3DFVF_XYZ, m_device, &created));
  EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateMeshFVF(1, 70000, 0, D3DFVF_XYZ, m_device, &created));
  ASSERT_EQ(S_OK, D3DXCreateMeshFVF(1, 70000, D3DXMESH_32BIT, D3DFVF_XYZ, m_device, &created));
  created->Release();
  EXPECT_EQ(12u, D3DXGetFVFVertexSize(D3DFVF_XYZ));
  EXPECT_EQ(24u, D3DXGetFVFVertexSize(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR));
  EXPECT_EQ(40u, D3DXGetFVFVertexSize(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX2));
}

TEST_F(MeshTest, LoadFromFileAndFromDataObject) {
  char dir[] = "/tmp/xfile_mesh_XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(dir));
  const std::string path = std::string(dir) + "/cube.x";
  const std::vector<uint8_t> bytes = xfile::WriteXCompressed(xfile_test::Cube(true, true, true));
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, f);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  Loaded fromFile;
  fromFile.status = D3DXLoadMeshFromX(path.c_str(), D3DXMESH_SYSTEMMEM, m_device, nullptr, &fromFile.materials,
                                      &fromFile.numMaterials, &fromFile.mesh);
  ASSERT_EQ(S_OK, fromFile.status);
  EXPECT_EQ(24u, fromFile.mesh->GetNumVertices());
  std::remove(path.c_str());
  rmdir(dir);
  Loaded missing;
  EXPECT_NE(S_OK, D3DXLoadMeshFromX(path.c_str(), 0, m_device, nullptr, nullptr, nullptr, &missing.mesh));
  EXPECT_EQ(nullptr, missing.mesh);

  IDirectXFile* reader = nullptr;
  ASSERT_EQ(S_OK, DirectXFileCreate(&reader));
  DXFILELOADMEMORY memory{const_cast<uint8_t*>(bytes.data()), static_cast<DWORD>(bytes.size())};
  IDirectXFileEnumObject* e = nullptr;
  ASSERT_EQ(S_OK, reader->CreateEnumObject(&memory, DXFILELOAD_FROMMEMORY, &e));
  IDirectXFileData* data = nullptr;
  ASSERT_EQ(S_OK, e->GetNextDataObject(&data));
  Loaded fromXof;
  fromXof.status = D3DXLoadMeshFromXof(data, D3DXMESH_SYSTEMMEM, m_device, nullptr, &fromXof.materials,
                                       &fromXof.numMaterials, &fromXof.mesh);
  ASSERT_EQ(S_OK, fromXof.status);
  EXPECT_EQ(VertexFloats(fromFile.mesh), VertexFloats(fromXof.mesh));
  EXPECT_EQ(3u, fromXof.numMaterials);
  data->Release();
  e->Release();
  reader->Release();
}

}  // namespace
