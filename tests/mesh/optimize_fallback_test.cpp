// When the attribute sort fails, the local mesh is a clone of the loaded mesh and the
// split works from the loaded adjacency.
#include "shell/d3dmesh.h"

#include "mesh_fixture.h"

using mesh_test::MeshFixture;

namespace {

// Passes every call to a real mesh except Optimize, which fails.
class NoOptimizeMesh : public ID3DXMesh {
 public:
  explicit NoOptimizeMesh(ID3DXMesh* inner) : m(inner) {}
  HRESULT QueryInterface(REFIID riid, void** out) override { return m->QueryInterface(riid, out); }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  HRESULT DrawSubset(DWORD a) override { return m->DrawSubset(a); }
  DWORD GetNumFaces() override { return m->GetNumFaces(); }
  DWORD GetNumVertices() override { return m->GetNumVertices(); }
  DWORD GetFVF() override { return m->GetFVF(); }
  HRESULT GetDeclaration(DWORD d[MAX_FVF_DECL_SIZE]) override { return m->GetDeclaration(d); }
  DWORD GetOptions() override { return m->GetOptions(); }
  HRESULT GetDevice(LPDIRECT3DDEVICE8* d) override { return m->GetDevice(d); }
  HRESULT CloneMeshFVF(DWORD o, DWORD f, LPDIRECT3DDEVICE8 d, LPD3DXMESH* c) override {
    ++clones;
    return m->CloneMeshFVF(o, f, d, c);
  }
  HRESULT CloneMesh(DWORD o, CONST DWORD* decl, LPDIRECT3DDEVICE8 d, LPD3DXMESH* c) override {
    return m->CloneMesh(o, decl, d, c);
  }
  HRESULT GetVertexBuffer(LPDIRECT3DVERTEXBUFFER8* vb) override { return m->GetVertexBuffer(vb); }
  HRESULT GetIndexBuffer(LPDIRECT3DINDEXBUFFER8* ib) override { return m->GetIndexBuffer(ib); }
  HRESULT LockVertexBuffer(DWORD f, BYTE** d) override { return m->LockVertexBuffer(f, d); }
  HRESULT UnlockVertexBuffer() override { return m->UnlockVertexBuffer(); }
  HRESULT LockIndexBuffer(DWORD f, BYTE** d) override { return m->LockIndexBuffer(f, d); }
  HRESULT UnlockIndexBuffer() override { return m->UnlockIndexBuffer(); }
  HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* t, DWORD* s) override { return m->GetAttributeTable(t, s); }
  HRESULT ConvertPointRepsToAdjacency(CONST DWORD* p, DWORD* a) override {
    return m->ConvertPointRepsToAdjacency(p, a);
  }
  HRESULT ConvertAdjacencyToPointReps(CONST DWORD* a, DWORD* p) override {
    return m->ConvertAdjacencyToPointReps(a, p);
  }
  HRESULT GenerateAdjacency(FLOAT e, DWORD* a) override { return m->GenerateAdjacency(e, a); }
  HRESULT LockAttributeBuffer(DWORD f, DWORD** d) override { return m->LockAttributeBuffer(f, d); }
  HRESULT UnlockAttributeBuffer() override { return m->UnlockAttributeBuffer(); }
  HRESULT Optimize(DWORD, CONST DWORD*, DWORD* adjacencyOut, DWORD*, LPD3DXBUFFER*, LPD3DXMESH* out) override {
    // A failing sort leaves its output adjacency as garbage.
    for (DWORD k = 0; adjacencyOut && k < m->GetNumFaces() * 3; ++k) adjacencyOut[k] = 0xBADBAD;
    *out = nullptr;
    return E_OUTOFMEMORY;
  }
  HRESULT OptimizeInplace(DWORD f, CONST DWORD* ai, DWORD* ao, DWORD* fr, LPD3DXBUFFER* vr) override {
    return m->OptimizeInplace(f, ai, ao, fr, vr);
  }

  ID3DXMesh* m;
  ULONG refs = 1;
  int clones = 0;
};

}  // namespace

class OptimizeFallbackTest : public MeshFixture {};

TEST_F(OptimizeFallbackTest, TheCloneIsSplitWithTheLoadedAdjacency) {
  // A loaded mesh already sorted by attribute, with its adjacency in that order.
  const std::string text = xfile::WriteXText(mesh_test::Strip());
  ID3DXMesh* loaded = nullptr;
  ID3DXBuffer* adjacency = nullptr;
  ASSERT_EQ(S_OK, D3DXLoadMeshFromXInMemory(text.data(), DWORD(text.size()), D3DXMESH_SYSTEMMEM, device, &adjacency,
                                            nullptr, nullptr, &loaded));
  std::vector<DWORD> sorted(loaded->GetNumFaces() * 3);
  ASSERT_EQ(S_OK, loaded->OptimizeInplace(D3DXMESHOPT_ATTRSORT, static_cast<DWORD*>(adjacency->GetBufferPointer()),
                                          sorted.data(), nullptr, nullptr));
  std::memcpy(adjacency->GetBufferPointer(), sorted.data(), sorted.size() * sizeof(DWORD));
  NoOptimizeMesh wrapper(loaded);

  CD3DMesh mesh("fallback");
  mesh.m_pSysMemMesh = &wrapper;  // borrowed: the test keeps both
  mesh.m_pAdjacency = adjacency;
  ASSERT_EQ(S_OK, mesh.BuildLocalMesh(device));
  EXPECT_EQ(1, wrapper.clones);
  ASSERT_EQ(3u, mesh.m_dwNumSubMeshes);
  // Every sub-mesh's faces keep their in-range neighbours: each quad's two triangles
  // stay joined across their shared edge.
  for (DWORD i = 0; i < 3; ++i) {
    ID3DXMesh* sub = mesh.m_ppSubMeshes[i];
    std::vector<DWORD> generated(sub->GetNumFaces() * 3);
    ASSERT_EQ(S_OK, sub->GenerateAdjacency(0.0f, generated.data()));
    int joined = 0;
    for (DWORD n : generated) joined += n != 0xFFFFFFFF;
    EXPECT_EQ(4, joined) << i;  // two quads, two shared edges each counted twice
  }

  mesh.Destroy();
  EXPECT_EQ(1u, wrapper.refs);
  adjacency->Release();
  loaded->Release();
}
