// The one ID3DXMesh implementation. Vertex and index data live in device buffers and in a
// system-memory copy of the mesh's own, so reading them back never depends on the pool.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/xfile/d3dx8mesh.h"
#include "platform/xfile/fvf_layout.h"
#include "platform/win32/com_object.h"

namespace xfile {

class D3DXMeshObject : public ComObject<ID3DXMesh, IID_ID3DXBaseMesh, IID_ID3DXMesh> {
 public:
  static HRESULT Create(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf, IDirect3DDevice8* device,
                        D3DXMeshObject** mesh);

  HRESULT DrawSubset(DWORD attribId) override;
  DWORD GetNumFaces() override { return m_numFaces; }
  DWORD GetNumVertices() override { return m_numVertices; }
  DWORD GetFVF() override { return m_fvf; }
  HRESULT GetDeclaration(DWORD declaration[MAX_FVF_DECL_SIZE]) override;
  DWORD GetOptions() override { return m_options; }
  HRESULT GetDevice(LPDIRECT3DDEVICE8* device) override;
  HRESULT CloneMeshFVF(DWORD options, DWORD fvf, LPDIRECT3DDEVICE8 device, LPD3DXMESH* cloneMesh) override;
  HRESULT CloneMesh(DWORD options, CONST DWORD* declaration, LPDIRECT3DDEVICE8 device,
                    LPD3DXMESH* cloneMesh) override;
  HRESULT GetVertexBuffer(LPDIRECT3DVERTEXBUFFER8* vb) override;
  HRESULT GetIndexBuffer(LPDIRECT3DINDEXBUFFER8* ib) override;
  HRESULT LockVertexBuffer(DWORD flags, BYTE** data) override;
  HRESULT UnlockVertexBuffer() override;
  HRESULT LockIndexBuffer(DWORD flags, BYTE** data) override;
  HRESULT UnlockIndexBuffer() override;
  HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* size) override;
  HRESULT ConvertPointRepsToAdjacency(CONST DWORD* pointReps, DWORD* adjacency) override;
  HRESULT ConvertAdjacencyToPointReps(CONST DWORD* adjacency, DWORD* pointReps) override;
  HRESULT GenerateAdjacency(FLOAT epsilon, DWORD* adjacency) override;
  HRESULT LockAttributeBuffer(DWORD flags, DWORD** data) override;
  HRESULT UnlockAttributeBuffer() override;
  HRESULT Optimize(DWORD flags, CONST DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                   LPD3DXBUFFER* vertexRemap, LPD3DXMESH* optMesh) override;
  HRESULT OptimizeInplace(DWORD flags, CONST DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                          LPD3DXBUFFER* vertexRemap) override;

  // For the loader and the helpers: direct access to the system-memory copy.
  std::vector<uint8_t>& Vertices() { return m_vertices; }
  std::vector<uint32_t> Indices() const;
  void SetIndices(const std::vector<uint32_t>& indices);
  std::vector<DWORD>& Attributes() { return m_attributes; }
  const FvfLayout& Layout() const { return m_layout; }
  // Sends the system-memory copy to the device buffers.
  HRESULT Upload();

 private:
  D3DXMeshObject() = default;
  ~D3DXMeshObject() override;
  HRESULT CreateBuffers();
  HRESULT UploadVertices();
  HRESULT UploadIndices();
  bool Uses32BitIndices() const { return (m_options & D3DXMESH_32BIT) != 0; }
  HRESULT SortInto(D3DXMeshObject* target, DWORD flags, CONST DWORD* adjacencyIn, DWORD* adjacencyOut,
                   DWORD* faceRemap, LPD3DXBUFFER* vertexRemap);

  IDirect3DDevice8* m_device = nullptr;
  IDirect3DVertexBuffer8* m_vb = nullptr;
  IDirect3DIndexBuffer8* m_ib = nullptr;
  DWORD m_options = 0;
  DWORD m_fvf = 0;
  FvfLayout m_layout;
  DWORD m_numFaces = 0;
  DWORD m_numVertices = 0;
  std::vector<uint8_t> m_vertices;
  std::vector<uint8_t> m_indices;
  std::vector<DWORD> m_attributes;
  std::vector<D3DXATTRIBUTERANGE> m_table;
  bool m_vbLocked = false, m_vbLockWrites = false;
  bool m_ibLocked = false, m_ibLockWrites = false;
  bool m_attribLocked = false;
};

}  // namespace xfile
