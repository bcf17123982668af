// The D3DX mesh entry points: creation, loading from .x data, vertex sizes and normals.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/xfile/d3dx8mesh.h"
#include "platform/xfile/d3dx_mesh.h"
#include "platform/xfile/x_mesh_loader.h"

using xfile::D3DXMeshObject;
using xfile::LoadedMesh;

namespace {

struct ReleaseOnExit {
  IUnknown* object;
  ~ReleaseOnExit() {
    if (object) object->Release();
  }
};

HRESULT MaterialBuffer(const LoadedMesh& loaded, LPD3DXBUFFER* out) {
  *out = nullptr;
  if (loaded.materials.empty()) return S_OK;
  size_t size = loaded.materials.size() * sizeof(D3DXMATERIAL);
  for (const xfile::LoadedMaterial& m : loaded.materials) {
    if (!m.textureFilename.empty()) size += m.textureFilename.size() + 1;
  }
  LPD3DXBUFFER buffer = nullptr;
  HRESULT hr = D3DXCreateBuffer(static_cast<DWORD>(size), &buffer);
  if (FAILED(hr)) return hr;
  auto* records = static_cast<D3DXMATERIAL*>(buffer->GetBufferPointer());
  char* names = reinterpret_cast<char*>(records + loaded.materials.size());
  for (size_t i = 0; i < loaded.materials.size(); ++i) {
    records[i].MatD3D = loaded.materials[i].material;
    records[i].pTextureFilename = nullptr;
    const std::string& name = loaded.materials[i].textureFilename;
    if (!name.empty()) {
      std::memcpy(names, name.c_str(), name.size() + 1);
      records[i].pTextureFilename = names;
      names += name.size() + 1;
    }
  }
  *out = buffer;
  return S_OK;
}

// Builds the mesh and its outputs from what the loader gathered.
HRESULT MeshFromLoaded(LoadedMesh& loaded, DWORD options, LPDIRECT3DDEVICE8 device, LPD3DXBUFFER* adjacency,
                       LPD3DXBUFFER* materials, DWORD* numMaterials, LPD3DXMESH* mesh) {
  xfile::FinishLoadedMesh(loaded);
  const size_t numVertices = loaded.VertexCount();
  const size_t numFaces = loaded.attributes.size();
  if (numVertices == 0 || numFaces == 0) return D3DXERR_LOADEDMESHASNODATA;
  if (numVertices > 0xFFFFFFu || numFaces > 0xFFFFFFu) return E_OUTOFMEMORY;
  if (numVertices > 0x10000) options |= D3DXMESH_32BIT;  // too many vertices for 16-bit indexes
  DWORD fvf = D3DFVF_XYZ;
  if (loaded.hasNormals) fvf |= D3DFVF_NORMAL;
  if (loaded.hasColors) fvf |= D3DFVF_DIFFUSE;
  if (loaded.hasTexcoords) fvf |= D3DFVF_TEX1;
  D3DXMeshObject* result = nullptr;
  HRESULT hr = D3DXMeshObject::Create(static_cast<DWORD>(numFaces), static_cast<DWORD>(numVertices), options, fvf,
                                      device, &result);
  if (FAILED(hr)) return hr;
  const xfile::FvfLayout& layout = result->Layout();
  uint8_t* v = result->Vertices().data();
  for (size_t i = 0; i < numVertices; ++i, v += layout.stride) {
    std::memcpy(v, &loaded.positions[i * 3], 12);
    if (layout.normal >= 0) std::memcpy(v + layout.normal, &loaded.normals[i * 3], 12);
    if (layout.diffuse >= 0) std::memcpy(v + layout.diffuse, &loaded.colors[i], 4);
    if (layout.texCount > 0) std::memcpy(v + layout.texOffset[0], &loaded.texcoords[i * 2], 8);
  }
  result->SetIndices(loaded.indices);
  result->Attributes().assign(loaded.attributes.begin(), loaded.attributes.end());
  hr = result->Upload();
  LPD3DXBUFFER adjacencyBuffer = nullptr, materialBuffer = nullptr;
  if (SUCCEEDED(hr) && adjacency) {
    hr = D3DXCreateBuffer(static_cast<DWORD>(numFaces * 12), &adjacencyBuffer);
    if (SUCCEEDED(hr)) {
      hr = result->GenerateAdjacency(0.0f, static_cast<DWORD*>(adjacencyBuffer->GetBufferPointer()));
    }
  }
  if (SUCCEEDED(hr) && materials) hr = MaterialBuffer(loaded, &materialBuffer);
  if (FAILED(hr)) {
    if (adjacencyBuffer) adjacencyBuffer->Release();
    if (materialBuffer) materialBuffer->Release();
    result->Release();
    return hr;
  }
  if (adjacency) *adjacency = adjacencyBuffer;
  if (materials) *materials = materialBuffer;
  if (numMaterials) *numMaterials = static_cast<DWORD>(loaded.materials.size());
  *mesh = result;
  return S_OK;
}

HRESULT LoadFromSource(LPVOID source, DXFILELOADOPTIONS loadOptions, DWORD options, LPDIRECT3DDEVICE8 device,
                       LPD3DXBUFFER* adjacency, LPD3DXBUFFER* materials, DWORD* numMaterials, LPD3DXMESH* mesh) {
  LPDIRECTXFILE file = nullptr;
  HRESULT hr = DirectXFileCreate(&file);
  if (FAILED(hr)) return hr;
  ReleaseOnExit fileGuard{file};
  LPDIRECTXFILEENUMOBJECT enumObject = nullptr;
  hr = file->CreateEnumObject(source, loadOptions, &enumObject);
  if (FAILED(hr)) return hr;
  ReleaseOnExit enumGuard{enumObject};
  LoadedMesh loaded;
  hr = xfile::AppendXFile(enumObject, loaded);
  if (FAILED(hr)) return hr;
  return MeshFromLoaded(loaded, options, device, adjacency, materials, numMaterials, mesh);
}

void ClearOutputs(LPD3DXBUFFER* adjacency, LPD3DXBUFFER* materials, DWORD* numMaterials, LPD3DXMESH* mesh) {
  if (adjacency) *adjacency = nullptr;
  if (materials) *materials = nullptr;
  if (numMaterials) *numMaterials = 0;
  if (mesh) *mesh = nullptr;
}

}  // namespace

HRESULT D3DXCreateMeshFVF(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf, LPDIRECT3DDEVICE8 device,
                          LPD3DXMESH* mesh) {
  if (!mesh) return D3DERR_INVALIDCALL;
  D3DXMeshObject* result = nullptr;
  HRESULT hr = D3DXMeshObject::Create(numFaces, numVertices, options, fvf, device, &result);
  if (SUCCEEDED(hr)) hr = result->Upload();
  if (FAILED(hr)) {
    if (result) result->Release();
    *mesh = nullptr;
    return hr;
  }
  *mesh = result;
  return S_OK;
}

HRESULT D3DXLoadMeshFromX(LPCSTR fileName, DWORD options, LPDIRECT3DDEVICE8 device, LPD3DXBUFFER* adjacency,
                          LPD3DXBUFFER* materials, DWORD* numMaterials, LPD3DXMESH* mesh) {
  ClearOutputs(adjacency, materials, numMaterials, mesh);
  if (!fileName || !device || !mesh) return D3DERR_INVALIDCALL;
  return LoadFromSource(const_cast<char*>(fileName), DXFILELOAD_FROMFILE, options, device, adjacency, materials,
                        numMaterials, mesh);
}

HRESULT D3DXLoadMeshFromXInMemory(LPCVOID memory, DWORD sizeOfMemory, DWORD options, LPDIRECT3DDEVICE8 device,
                                  LPD3DXBUFFER* adjacency, LPD3DXBUFFER* materials, DWORD* numMaterials,
                                  LPD3DXMESH* mesh) {
  ClearOutputs(adjacency, materials, numMaterials, mesh);
  if (!memory || !device || !mesh) return D3DERR_INVALIDCALL;
  DXFILELOADMEMORY source{const_cast<void*>(memory), sizeOfMemory};
  return LoadFromSource(&source, DXFILELOAD_FROMMEMORY, options, device, adjacency, materials, numMaterials, mesh);
}

HRESULT D3DXLoadMeshFromXof(LPDIRECTXFILEDATA xofMesh, DWORD options, LPDIRECT3DDEVICE8 device,
                            LPD3DXBUFFER* adjacency, LPD3DXBUFFER* materials, DWORD* numMaterials,
                            LPD3DXMESH* mesh) {
  ClearOutputs(adjacency, materials, numMaterials, mesh);
  if (!xofMesh || !device || !mesh) return D3DERR_INVALIDCALL;
  static const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  LoadedMesh loaded;
  HRESULT hr = xfile::AppendXObject(xofMesh, kIdentity, loaded);
  if (FAILED(hr)) return hr;
  return MeshFromLoaded(loaded, options, device, adjacency, materials, numMaterials, mesh);
}

UINT D3DXGetFVFVertexSize(DWORD fvf) {
  xfile::FvfLayout layout;
  return xfile::DescribeFvf(fvf, layout) ? layout.stride : 0;
}

HRESULT D3DXComputeNormals(LPD3DXBASEMESH mesh, CONST DWORD*) {
  if (!mesh) return D3DERR_INVALIDCALL;
  xfile::FvfLayout layout;
  if (!xfile::DescribeFvf(mesh->GetFVF(), layout) || layout.normal < 0) return D3DERR_INVALIDCALL;
  const DWORD numVertices = mesh->GetNumVertices(), numFaces = mesh->GetNumFaces();
  const bool wide = (mesh->GetOptions() & D3DXMESH_32BIT) != 0;
  BYTE* vertices = nullptr;
  BYTE* indexBytes = nullptr;
  HRESULT hr = mesh->LockVertexBuffer(0, &vertices);
  if (FAILED(hr)) return hr;
  hr = mesh->LockIndexBuffer(D3DLOCK_READONLY, &indexBytes);
  if (FAILED(hr)) {
    mesh->UnlockVertexBuffer();
    return hr;
  }
  auto index = [&](size_t i) -> uint32_t {
    if (wide) {
      uint32_t v;
      std::memcpy(&v, indexBytes + i * 4, 4);
      return v;
    }
    uint16_t v;
    std::memcpy(&v, indexBytes + i * 2, 2);
    return v;
  };
  auto position = [&](uint32_t v, float p[3]) { std::memcpy(p, vertices + static_cast<size_t>(v) * layout.stride, 12); };
  std::vector<float> sums(static_cast<size_t>(numVertices) * 3, 0.0f);
  for (DWORD f = 0; f < numFaces; ++f) {
    uint32_t ids[3] = {index(f * 3), index(f * 3 + 1), index(f * 3 + 2)};
    if (ids[0] >= numVertices || ids[1] >= numVertices || ids[2] >= numVertices) continue;
    float a[3], b[3], c[3];
    position(ids[0], a);
    position(ids[1], b);
    position(ids[2], c);
    const float e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const float e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    // Left-handed, clockwise front faces: e1 x e2 points out of the front. Its length
    // weights large faces more.
    const float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    for (uint32_t id : ids) {
      for (int k = 0; k < 3; ++k) sums[id * 3 + k] += n[k];
    }
  }
  for (DWORD v = 0; v < numVertices; ++v) {
    float* n = &sums[v * 3];
    const float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (len > 0.0f) {
      n[0] /= len;
      n[1] /= len;
      n[2] /= len;
    }
    std::memcpy(vertices + static_cast<size_t>(v) * layout.stride + layout.normal, n, 12);
  }
  mesh->UnlockIndexBuffer();
  return mesh->UnlockVertexBuffer();
}
