#include "platform/xfile/d3dx_mesh.h"

#include <algorithm>
#include <cstring>

#include "platform/xfile/mesh_topology.h"

const IID IID_ID3DXBaseMesh = {0x2a835771, 0xbf4d, 0x43f4, {0x8e, 0x14, 0x82, 0xa8, 0x09, 0xf1, 0x7d, 0x8a}};
const IID IID_ID3DXMesh = {0xccae5c3b, 0x4dd1, 0x4d0f, {0x99, 0x7e, 0x46, 0x84, 0xca, 0x64, 0x55, 0x7f}};

namespace xfile {

namespace {

constexpr DWORD kOptimizeFlags = D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE |
                                 D3DXMESHOPT_STRIPREORDER | D3DXMESHOPT_IGNOREVERTS | D3DXMESHOPT_SHAREVB;

D3DPOOL PoolFor(DWORD options, DWORD systemBit, DWORD managedBit) {
  if (options & systemBit) return D3DPOOL_SYSTEMMEM;
  if (options & managedBit) return D3DPOOL_MANAGED;
  return D3DPOOL_DEFAULT;
}

DWORD UsageFor(DWORD options, DWORD writeOnlyBit, DWORD dynamicBit, DWORD softwareBit) {
  DWORD usage = 0;
  if (options & writeOnlyBit) usage |= D3DUSAGE_WRITEONLY;
  if (options & dynamicBit) usage |= D3DUSAGE_DYNAMIC;
  if (options & softwareBit) usage |= D3DUSAGE_SOFTWAREPROCESSING;
  if (options & D3DXMESH_DONOTCLIP) usage |= D3DUSAGE_DONOTCLIP;
  return usage;
}

// Fills a whole vertex or index buffer with `bytes` (the buffer is at least that long).
template <class Buffer>
HRESULT FillBuffer(Buffer* buffer, const std::vector<uint8_t>& bytes) {
  BYTE* p = nullptr;
  HRESULT hr = buffer->Lock(0, 0, &p, 0);
  if (FAILED(hr)) return hr;
  if (!p) {
    buffer->Unlock();
    return E_FAIL;
  }
  std::memcpy(p, bytes.data(), bytes.size());
  return buffer->Unlock();
}

// Copies one vertex between formats: shared components are kept, new ones start at
// zero (colours at opaque white).
void ConvertVertex(const uint8_t* src, const FvfLayout& from, uint8_t* dst, const FvfLayout& to) {
  std::memset(dst, 0, to.stride);
  std::memcpy(dst, src, 12);  // x, y, z
  if (to.normal >= 0 && from.normal >= 0) std::memcpy(dst + to.normal, src + from.normal, 12);
  if (to.pointSize >= 0 && from.pointSize >= 0) std::memcpy(dst + to.pointSize, src + from.pointSize, 4);
  const uint32_t white = 0xFFFFFFFFu;
  if (to.diffuse >= 0) std::memcpy(dst + to.diffuse, from.diffuse >= 0 ? src + from.diffuse : reinterpret_cast<const uint8_t*>(&white), 4);
  if (to.specular >= 0) std::memcpy(dst + to.specular, from.specular >= 0 ? src + from.specular : reinterpret_cast<const uint8_t*>(&white), 4);
  for (uint32_t i = 0; i < to.texCount && i < from.texCount; ++i) {
    std::memcpy(dst + to.texOffset[i], src + from.texOffset[i], 4 * std::min(to.texFloats[i], from.texFloats[i]));
  }
}

}  // namespace

HRESULT D3DXMeshObject::Create(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf,
                               IDirect3DDevice8* device, D3DXMeshObject** mesh) {
  if (!mesh) return D3DERR_INVALIDCALL;
  *mesh = nullptr;
  FvfLayout layout;
  if (!device || numFaces == 0 || numVertices == 0 || !DescribeFvf(fvf, layout)) return D3DERR_INVALIDCALL;
  if (!(options & D3DXMESH_32BIT) && numVertices > 0x10000) return D3DERR_INVALIDCALL;
  // Buffer sizes must fit the device's 32-bit lengths.
  if (static_cast<uint64_t>(numVertices) * layout.stride > 0x7fffffffu ||
      static_cast<uint64_t>(numFaces) * 12 > 0x7fffffffu) {
    return E_OUTOFMEMORY;
  }
  auto* m = new D3DXMeshObject();
  m->m_device = device;
  device->AddRef();
  m->m_options = options & ~kOptimizeFlags;
  m->m_fvf = fvf;
  m->m_layout = layout;
  m->m_numFaces = numFaces;
  m->m_numVertices = numVertices;
  m->m_vertices.assign(static_cast<size_t>(numVertices) * layout.stride, 0);
  m->m_indices.assign(static_cast<size_t>(numFaces) * 3 * (m->Uses32BitIndices() ? 4 : 2), 0);
  m->m_attributes.assign(numFaces, 0);
  HRESULT hr = m->CreateBuffers();
  if (FAILED(hr)) {
    m->Release();
    return hr;
  }
  *mesh = m;
  return S_OK;
}

D3DXMeshObject::~D3DXMeshObject() {
  if (m_vb) m_vb->Release();
  if (m_ib) m_ib->Release();
  if (m_device) m_device->Release();
}

HRESULT D3DXMeshObject::CreateBuffers() {
  if (m_vb) m_vb->Release();
  if (m_ib) m_ib->Release();
  m_vb = nullptr;
  m_ib = nullptr;
  HRESULT hr = m_device->CreateVertexBuffer(
      m_numVertices * m_layout.stride,
      UsageFor(m_options, D3DXMESH_VB_WRITEONLY, D3DXMESH_VB_DYNAMIC, D3DXMESH_VB_SOFTWAREPROCESSING), m_fvf,
      PoolFor(m_options, D3DXMESH_VB_SYSTEMMEM, D3DXMESH_VB_MANAGED), &m_vb);
  if (FAILED(hr)) return hr;
  if (!m_vb) return E_FAIL;
  hr = m_device->CreateIndexBuffer(
      static_cast<UINT>(m_indices.size()),
      UsageFor(m_options, D3DXMESH_IB_WRITEONLY, D3DXMESH_IB_DYNAMIC, D3DXMESH_IB_SOFTWAREPROCESSING),
      Uses32BitIndices() ? D3DFMT_INDEX32 : D3DFMT_INDEX16, PoolFor(m_options, D3DXMESH_IB_SYSTEMMEM, D3DXMESH_IB_MANAGED),
      &m_ib);
  if (FAILED(hr)) return hr;
  return m_ib ? S_OK : E_FAIL;
}

HRESULT D3DXMeshObject::UploadVertices() { return FillBuffer(m_vb, m_vertices); }

HRESULT D3DXMeshObject::UploadIndices() { return FillBuffer(m_ib, m_indices); }

HRESULT D3DXMeshObject::Upload() {
  HRESULT hr = UploadVertices();
  if (FAILED(hr)) return hr;
  return UploadIndices();
}

std::vector<uint32_t> D3DXMeshObject::Indices() const {
  std::vector<uint32_t> out(static_cast<size_t>(m_numFaces) * 3);
  for (size_t i = 0; i < out.size(); ++i) {
    if (Uses32BitIndices()) {
      std::memcpy(&out[i], m_indices.data() + i * 4, 4);
    } else {
      uint16_t v;
      std::memcpy(&v, m_indices.data() + i * 2, 2);
      out[i] = v;
    }
  }
  return out;
}

void D3DXMeshObject::SetIndices(const std::vector<uint32_t>& indices) {
  for (size_t i = 0; i < indices.size() && i < static_cast<size_t>(m_numFaces) * 3; ++i) {
    if (Uses32BitIndices()) {
      std::memcpy(m_indices.data() + i * 4, &indices[i], 4);
    } else {
      uint16_t v = static_cast<uint16_t>(indices[i]);
      std::memcpy(m_indices.data() + i * 2, &v, 2);
    }
  }
}

HRESULT D3DXMeshObject::DrawSubset(DWORD attribId) {
  struct Run {
    DWORD minIndex, numVertices, startIndex, primCount;
  };
  std::vector<Run> runs;
  if (!m_table.empty()) {
    for (const D3DXATTRIBUTERANGE& r : m_table) {
      if (r.AttribId == attribId && r.FaceCount > 0) runs.push_back({r.VertexStart, r.VertexCount, r.FaceStart * 3, r.FaceCount});
    }
  } else {
    // No table yet: every run of faces carrying the attribute, with its index span.
    const std::vector<uint32_t> indices = Indices();
    DWORD f = 0;
    while (f < m_numFaces) {
      if (m_attributes[f] != attribId) {
        ++f;
        continue;
      }
      DWORD end = f;
      uint32_t lo = 0xFFFFFFFFu, hi = 0;
      while (end < m_numFaces && m_attributes[end] == attribId) {
        for (int k = 0; k < 3; ++k) {
          lo = std::min(lo, indices[end * 3 + k]);
          hi = std::max(hi, indices[end * 3 + k]);
        }
        ++end;
      }
      runs.push_back({lo, hi - lo + 1, f * 3, end - f});
      f = end;
    }
  }
  if (runs.empty()) return S_OK;
  HRESULT hr = m_device->SetVertexShader(m_fvf);
  if (SUCCEEDED(hr)) hr = m_device->SetStreamSource(0, m_vb, m_layout.stride);
  if (SUCCEEDED(hr)) hr = m_device->SetIndices(m_ib, 0);
  for (const Run& r : runs) {
    if (FAILED(hr)) break;
    hr = m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, r.minIndex, r.numVertices, r.startIndex, r.primCount);
  }
  return hr;
}

HRESULT D3DXMeshObject::GetDeclaration(DWORD*) { return E_NOTIMPL; }

HRESULT D3DXMeshObject::GetDevice(LPDIRECT3DDEVICE8* device) {
  if (!device) return D3DERR_INVALIDCALL;
  m_device->AddRef();
  *device = m_device;
  return S_OK;
}

HRESULT D3DXMeshObject::CloneMeshFVF(DWORD options, DWORD fvf, LPDIRECT3DDEVICE8 device, LPD3DXMESH* cloneMesh) {
  if (!cloneMesh) return D3DERR_INVALIDCALL;
  *cloneMesh = nullptr;
  D3DXMeshObject* clone = nullptr;
  HRESULT hr = Create(m_numFaces, m_numVertices, options, fvf, device ? device : m_device, &clone);
  if (FAILED(hr)) return hr;
  if (fvf == m_fvf) {
    clone->m_vertices = m_vertices;
  } else {
    for (DWORD v = 0; v < m_numVertices; ++v) {
      ConvertVertex(m_vertices.data() + static_cast<size_t>(v) * m_layout.stride, m_layout,
                    clone->m_vertices.data() + static_cast<size_t>(v) * clone->m_layout.stride, clone->m_layout);
    }
  }
  clone->SetIndices(Indices());
  clone->m_attributes = m_attributes;
  clone->m_table = m_table;
  hr = clone->Upload();
  if (FAILED(hr)) {
    clone->Release();
    return hr;
  }
  *cloneMesh = clone;
  return S_OK;
}

HRESULT D3DXMeshObject::CloneMesh(DWORD, CONST DWORD*, LPDIRECT3DDEVICE8, LPD3DXMESH* cloneMesh) {
  if (cloneMesh) *cloneMesh = nullptr;
  return E_NOTIMPL;
}

HRESULT D3DXMeshObject::GetVertexBuffer(LPDIRECT3DVERTEXBUFFER8* vb) {
  if (!vb) return D3DERR_INVALIDCALL;
  m_vb->AddRef();
  *vb = m_vb;
  return S_OK;
}

HRESULT D3DXMeshObject::GetIndexBuffer(LPDIRECT3DINDEXBUFFER8* ib) {
  if (!ib) return D3DERR_INVALIDCALL;
  m_ib->AddRef();
  *ib = m_ib;
  return S_OK;
}

HRESULT D3DXMeshObject::LockVertexBuffer(DWORD flags, BYTE** data) {
  if (!data || m_vbLocked) return D3DERR_INVALIDCALL;
  m_vbLocked = true;
  m_vbLockWrites = (flags & D3DLOCK_READONLY) == 0;
  *data = m_vertices.data();
  return S_OK;
}

HRESULT D3DXMeshObject::UnlockVertexBuffer() {
  if (!m_vbLocked) return D3DERR_INVALIDCALL;
  m_vbLocked = false;
  return m_vbLockWrites ? UploadVertices() : S_OK;
}

HRESULT D3DXMeshObject::LockIndexBuffer(DWORD flags, BYTE** data) {
  if (!data || m_ibLocked) return D3DERR_INVALIDCALL;
  m_ibLocked = true;
  m_ibLockWrites = (flags & D3DLOCK_READONLY) == 0;
  *data = m_indices.data();
  return S_OK;
}

HRESULT D3DXMeshObject::UnlockIndexBuffer() {
  if (!m_ibLocked) return D3DERR_INVALIDCALL;
  m_ibLocked = false;
  return m_ibLockWrites ? UploadIndices() : S_OK;
}

HRESULT D3DXMeshObject::LockAttributeBuffer(DWORD, DWORD** data) {
  if (!data || m_attribLocked) return D3DERR_INVALIDCALL;
  m_attribLocked = true;
  *data = m_attributes.data();
  return S_OK;
}

HRESULT D3DXMeshObject::UnlockAttributeBuffer() {
  if (!m_attribLocked) return D3DERR_INVALIDCALL;
  m_attribLocked = false;
  return S_OK;
}

HRESULT D3DXMeshObject::GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* size) {
  if (!size) return D3DERR_INVALIDCALL;
  if (!table) {
    *size = static_cast<DWORD>(m_table.size());
    return S_OK;
  }
  const DWORD n = std::min(*size, static_cast<DWORD>(m_table.size()));
  std::copy(m_table.begin(), m_table.begin() + n, table);
  *size = n;
  return S_OK;
}

HRESULT D3DXMeshObject::ConvertPointRepsToAdjacency(CONST DWORD* pointReps, DWORD* adjacency) {
  if (!adjacency) return D3DERR_INVALIDCALL;
  if (pointReps) {
    for (DWORD v = 0; v < m_numVertices; ++v) {
      if (pointReps[v] >= m_numVertices) return D3DERR_INVALIDCALL;
    }
  }
  const std::vector<uint32_t> indices = Indices();
  AdjacencyFromPointReps(indices.data(), m_numFaces, pointReps, m_numVertices, adjacency);
  return S_OK;
}

HRESULT D3DXMeshObject::ConvertAdjacencyToPointReps(CONST DWORD* adjacency, DWORD* pointReps) {
  if (!pointReps) return D3DERR_INVALIDCALL;
  const std::vector<uint32_t> indices = Indices();
  PointRepsFromAdjacency(indices.data(), m_numFaces, adjacency, m_numVertices, pointReps);
  return S_OK;
}

HRESULT D3DXMeshObject::GenerateAdjacency(FLOAT epsilon, DWORD* adjacency) {
  if (!adjacency) return D3DERR_INVALIDCALL;
  const std::vector<uint32_t> reps = ComputePointReps(m_vertices.data(), m_numVertices, m_layout.stride, epsilon);
  const std::vector<uint32_t> indices = Indices();
  AdjacencyFromPointReps(indices.data(), m_numFaces, reps.data(), m_numVertices, adjacency);
  return S_OK;
}

HRESULT D3DXMeshObject::SortInto(D3DXMeshObject* target, DWORD flags, CONST DWORD* adjacencyIn,
                                 DWORD* adjacencyOut, DWORD* faceRemap, LPD3DXBUFFER* vertexRemap) {
  if (vertexRemap) *vertexRemap = nullptr;
  const std::vector<uint32_t> indices = Indices();
  AttributeSortResult sorted;
  if (!SortByAttribute(indices.data(), m_attributes.data(), m_numFaces, m_numVertices, adjacencyIn,
                       (flags & D3DXMESHOPT_COMPACT) != 0, sorted)) {
    return D3DXERR_INVALIDMESH;
  }
  const DWORD newVertexCount = static_cast<DWORD>(sorted.vertexRemap.size());
  if (newVertexCount == 0) return D3DXERR_INVALIDMESH;
  if (!(target->m_options & D3DXMESH_32BIT) && newVertexCount > 0x10000) return D3DXERR_INVALIDMESH;
  LPD3DXBUFFER remapBuffer = nullptr;
  if (vertexRemap) {
    HRESULT hr = D3DXCreateBuffer(newVertexCount * 4, &remapBuffer);
    if (FAILED(hr)) return hr;
    std::memcpy(remapBuffer->GetBufferPointer(), sorted.vertexRemap.data(), newVertexCount * 4);
  }
  std::vector<uint8_t> vertices(static_cast<size_t>(newVertexCount) * m_layout.stride);
  for (DWORD v = 0; v < newVertexCount; ++v) {
    std::memcpy(vertices.data() + static_cast<size_t>(v) * m_layout.stride,
                m_vertices.data() + static_cast<size_t>(sorted.vertexRemap[v]) * m_layout.stride, m_layout.stride);
  }
  const bool resize = newVertexCount != target->m_numVertices;
  target->m_numVertices = newVertexCount;
  target->m_vertices = std::move(vertices);
  target->m_fvf = m_fvf;
  target->m_layout = m_layout;
  target->SetIndices(sorted.indices);
  target->m_attributes.assign(sorted.attributes.begin(), sorted.attributes.end());
  target->m_table.clear();
  for (const AttributeRange& r : sorted.table) {
    target->m_table.push_back({r.attribId, r.faceStart, r.faceCount, r.vertexStart, r.vertexCount});
  }
  HRESULT hr = resize ? target->CreateBuffers() : S_OK;
  if (SUCCEEDED(hr)) hr = target->Upload();
  if (FAILED(hr)) {
    if (remapBuffer) remapBuffer->Release();
    return hr;
  }
  if (adjacencyOut && adjacencyIn) {
    std::copy(sorted.adjacency.begin(), sorted.adjacency.end(), adjacencyOut);
  } else if (adjacencyOut) {
    target->GenerateAdjacency(0.0f, adjacencyOut);
  }
  if (faceRemap) std::copy(sorted.faceRemap.begin(), sorted.faceRemap.end(), faceRemap);
  if (vertexRemap) *vertexRemap = remapBuffer;
  return S_OK;
}

HRESULT D3DXMeshObject::Optimize(DWORD flags, CONST DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                                 LPD3DXBUFFER* vertexRemap, LPD3DXMESH* optMesh) {
  if (!optMesh) return D3DERR_INVALIDCALL;
  *optMesh = nullptr;
  // The memory options come from the flags; the index size stays what this mesh needs.
  const DWORD options = (flags & ~kOptimizeFlags) | (m_options & D3DXMESH_32BIT);
  D3DXMeshObject* result = nullptr;
  HRESULT hr = Create(m_numFaces, m_numVertices, options, m_fvf, m_device, &result);
  if (FAILED(hr)) return hr;
  hr = SortInto(result, flags, adjacencyIn, adjacencyOut, faceRemap, vertexRemap);
  if (FAILED(hr)) {
    result->Release();
    return hr;
  }
  *optMesh = result;
  return S_OK;
}

HRESULT D3DXMeshObject::OptimizeInplace(DWORD flags, CONST DWORD* adjacencyIn, DWORD* adjacencyOut,
                                        DWORD* faceRemap, LPD3DXBUFFER* vertexRemap) {
  if (m_vbLocked || m_ibLocked || m_attribLocked) return D3DERR_INVALIDCALL;
  return SortInto(this, flags, adjacencyIn, adjacencyOut, faceRemap, vertexRemap);
}

}  // namespace xfile
