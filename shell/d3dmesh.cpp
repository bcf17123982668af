#include "shell/d3dmesh.h"

#include <algorithm>
#include <cstring>

#include "engine/gamecontext.h"
#include "engine/meshcache.h"
#include "engine/resourcebytes.h"
#include "engine/texturecache.h"
#include "platform/d3dx/d3dx8tex.h"
#include "shell/dxutil_media.h"

namespace {

void Log(FILE* pLog, const char* text) {
  if (pLog) {
    std::fputs(text, pLog);
    std::fflush(pLog);
  }
}

// True when the resource's bytes are ready; otherwise logs the step that failed
// when pLog is given (null: silently).
bool ResourceReady(const CResourceBytes& resource, FILE* pLog, const char* strWhat) {
  const char* step = "find resource";
  switch (resource.GetResult()) {
    case CResourceBytes::OK:
      return true;
    case CResourceBytes::NO_LIBRARY:
      step = "find library";
      break;
    case CResourceBytes::NO_RESOURCE:
      step = "find resource";
      break;
    case CResourceBytes::BAD_SIZE:
      step = "define size resource";
      break;
    case CResourceBytes::NOT_LOADED:
      step = "load resource";
      break;
    case CResourceBytes::NOT_LOCKED:
      step = "lock resource";
      break;
  }
  char line[96];
  std::snprintf(line, sizeof(line), "FAIL: Can not %s for %s!\n", step, strWhat);
  Log(pLog, line);
  return false;
}

}  // namespace

CD3DMesh::CD3DMesh(CGameContext* pContext) : m_pContext(pContext) {
  std::memset(m_strName, 0, sizeof(m_strName));
  std::strncpy(m_strName, "CD3DFile_Mesh", sizeof(m_strName) - 1);
}

CD3DMesh::CD3DMesh(const char* strName) {
  std::memset(m_strName, 0, sizeof(m_strName));
  if (strName) std::strncpy(m_strName, strName, sizeof(m_strName) - 1);
}

CD3DMesh::~CD3DMesh() {
  Destroy();
  delete[] m_pBoundingBox;
}

void CD3DMesh::DropLoadedMesh() {
  if (m_bOwnsLoaded) {
    if (m_pSysMemMesh) m_pSysMemMesh->Release();
    if (m_pAdjacency) m_pAdjacency->Release();
  }
  m_pSysMemMesh = nullptr;
  m_pAdjacency = nullptr;
  m_bOwnsLoaded = false;
}

void CD3DMesh::DropSubMeshes() {
  if (m_bOwnsLocal && m_ppSubMeshes) {
    for (DWORD i = 0; i < m_dwNumSubMeshes; ++i)
      if (m_ppSubMeshes[i]) m_ppSubMeshes[i]->Release();
    delete[] m_ppSubMeshes;
  }
  m_ppSubMeshes = nullptr;
  m_dwNumSubMeshes = 0;
}

void CD3DMesh::DropLocalMesh() {
  DropSubMeshes();
  if (m_bOwnsLocal && m_pLocalMesh) m_pLocalMesh->Release();
  m_pLocalMesh = nullptr;
  m_bOwnsLocal = false;
}

void CD3DMesh::DropTexture(DWORD i) {
  if (i < m_bOwnsTexture.size() && m_bOwnsTexture[i] && m_pTextures[i]) m_pTextures[i]->Release();
  if (m_pTextures) m_pTextures[i] = nullptr;
  if (i < m_bOwnsTexture.size()) m_bOwnsTexture[i] = false;
}

void CD3DMesh::TakeMaterials(ID3DXBuffer* pMaterials, DWORD dwCount, bool bLoadTextures,
                             IDirect3DDevice8* pd3dDevice) {
  if (!pMaterials || dwCount == 0) return;
  dwCount = std::min<DWORD>(dwCount, pMaterials->GetBufferSize() / sizeof(D3DXMATERIAL));
  if (dwCount == 0) return;
  for (DWORD i = 0; i < m_dwNumMaterials; ++i) DropTexture(i);
  delete[] m_pMaterials;
  delete[] m_pTextures;
  const D3DXMATERIAL* d3dxMtrls = static_cast<const D3DXMATERIAL*>(pMaterials->GetBufferPointer());
  m_dwNumMaterials = dwCount;
  m_pMaterials = new D3DMATERIAL8[dwCount];
  m_pTextures = new IDirect3DTexture8*[dwCount];
  m_bOwnsTexture.assign(dwCount, false);
  for (DWORD i = 0; i < dwCount; ++i) {
    m_pMaterials[i] = d3dxMtrls[i].MatD3D;
    m_pMaterials[i].Ambient = m_pMaterials[i].Diffuse;
    m_pTextures[i] = nullptr;
    std::string path;
    if (bLoadTextures && d3dxMtrls[i].pTextureFilename &&
        DXUtil_FindMediaFile(d3dxMtrls[i].pTextureFilename, &path) &&
        FAILED(D3DXCreateTextureFromFileA(pd3dDevice, path.c_str(), &m_pTextures[i])))
      m_pTextures[i] = nullptr;
    m_bOwnsTexture[i] = m_pTextures[i] != nullptr;
  }
}

HRESULT CD3DMesh::CreateFromResource(IDirect3DDevice8* pd3dDevice, const char* strResLib, const char* strResName,
                                     FILE* pLog) {
  CMeshCache* pMeshCache = m_pContext ? m_pContext->m_pMeshCache : nullptr;
  m_strResName = strResName ? strResName : "";
  // Nothing can be built without a device: fail before opening or parsing anything
  // (objects made without a device, as in headless runs, stay empty at no cost).
  if (!pd3dDevice) return E_FAIL;
  const char* strKey = m_strResName.c_str();

  // A loaded mesh this object owns is given back; one from the cache is only forgotten.
  DropLoadedMesh();
  if (pMeshCache) pMeshCache->FindEx(strKey, &m_pSysMemMesh, &m_pAdjacency);

  if (!m_pSysMemMesh) {
    ID3DXBuffer* pMaterials = nullptr;
    DWORD dwNumMaterials = 0;
    HRESULT hr;
    {
      CResourceBytes resource(strResLib, strKey);
      if (!ResourceReady(resource, pLog, "MESH")) return E_FAIL;
      const DWORD dwSize = static_cast<DWORD>(resource.Size());
      if (pMeshCache) {
        hr = pMeshCache->LoadMeshFromMemory(resource.Bytes(), dwSize, pd3dDevice, &m_pAdjacency, &pMaterials,
                                            &dwNumMaterials, &m_pSysMemMesh, strKey);
      } else {
        hr = D3DXLoadMeshFromXInMemory(resource.Bytes(), dwSize, D3DXMESH_SYSTEMMEM, pd3dDevice, &m_pAdjacency,
                                       &pMaterials, &dwNumMaterials, &m_pSysMemMesh);
        m_bOwnsLoaded = SUCCEEDED(hr);
      }
    }
    if (FAILED(hr) || !m_pSysMemMesh) {
      if (pMaterials) pMaterials->Release();
      DropLoadedMesh();
      Log(pLog, "FAIL: Can not load MESH!\n");
      return E_FAIL;
    }
    TakeMaterials(pMaterials, dwNumMaterials, false, pd3dDevice);
    if (pMaterials) pMaterials->Release();
  }

  DropLocalMesh();
  CMeshCache* pLocalCache = m_pContext ? m_pContext->m_pLocalMeshCache : nullptr;
  if (!pLocalCache || FAILED(pLocalCache->Find(strKey, &m_pLocalMesh, &m_ppSubMeshes, &m_dwNumSubMeshes))) {
    if (FAILED(BuildLocalMesh(pd3dDevice))) return E_FAIL;
    CacheLocalMesh();
  }
  m_dwStride = m_pLocalMesh ? D3DXGetFVFVertexSize(m_pLocalMesh->GetFVF()) : 0;
  return S_OK;
}

// Hands the local mesh and its sub-meshes to the local mesh cache, which owns them from now on.
HRESULT CD3DMesh::CacheLocalMesh() {
  CMeshCache* pLocalCache = m_pContext ? m_pContext->m_pLocalMeshCache : nullptr;
  if (!pLocalCache || !m_pLocalMesh || !m_bOwnsLocal) return S_OK;
  pLocalCache->Add(m_pLocalMesh, m_ppSubMeshes, m_dwNumSubMeshes, m_strResName.c_str());
  m_bOwnsLocal = false;
  return S_OK;
}

HRESULT CD3DMesh::RestoreDeviceObjects(IDirect3DDevice8* pd3dDevice) {
  if (!m_pSysMemMesh) return E_FAIL;
  CMeshCache* pLocalCache = m_pContext ? m_pContext->m_pLocalMeshCache : nullptr;
  if (pLocalCache) {
    ID3DXMesh* pMesh = nullptr;
    ID3DXMesh** ppSubMeshes = nullptr;
    DWORD dwCount = 0;
    if (SUCCEEDED(pLocalCache->Find(m_strResName.c_str(), &pMesh, &ppSubMeshes, &dwCount))) {
      DropLocalMesh();
      m_pLocalMesh = pMesh;
      m_ppSubMeshes = ppSubMeshes;
      m_dwNumSubMeshes = dwCount;
      return S_OK;
    }
  }
  if (FAILED(BuildLocalMesh(pd3dDevice))) return E_FAIL;
  m_dwStride = D3DXGetFVFVertexSize(m_pLocalMesh->GetFVF());
  return CacheLocalMesh();
}

HRESULT CD3DMesh::InvalidateDeviceObjects() {
  DropLocalMesh();
  return S_OK;
}

HRESULT CD3DMesh::Destroy() {
  InvalidateDeviceObjects();
  for (DWORD i = 0; i < m_dwNumMaterials; ++i) DropTexture(i);
  delete[] m_pTextures;
  delete[] m_pMaterials;
  m_pTextures = nullptr;
  m_pMaterials = nullptr;
  m_bOwnsTexture.clear();
  DropLoadedMesh();
  m_dwNumMaterials = 0;
  return S_OK;
}

HRESULT CD3DMesh::SetMaterial(DWORD dwIndex, D3DMATERIAL8 mtrl) {
  if (dwIndex < m_dwNumMaterials && m_pMaterials) {
    m_pMaterials[dwIndex] = mtrl;
    m_pMaterials[dwIndex].Ambient = m_pMaterials[dwIndex].Diffuse;
  }
  return S_OK;
}

HRESULT CD3DMesh::BuildLocalMesh(IDirect3DDevice8* pd3dDevice) {
  DropLocalMesh();
  if (!m_pSysMemMesh) return E_FAIL;
  if (!m_pAdjacency) {
    if (FAILED(m_pSysMemMesh->CloneMeshFVF(0, m_pSysMemMesh->GetFVF(), pd3dDevice, &m_pLocalMesh))) {
      m_pLocalMesh = nullptr;
      return E_FAIL;
    }
    m_bOwnsLocal = true;
    return S_OK;
  }

  const DWORD dwNumFaces = m_pSysMemMesh->GetNumFaces();
  const size_t entries = static_cast<size_t>(dwNumFaces) * 3;
  // A loaded adjacency too short for the mesh is not used.
  const DWORD* pLoadedAdjacency = m_pAdjacency->GetBufferSize() >= entries * sizeof(DWORD)
                                      ? static_cast<const DWORD*>(m_pAdjacency->GetBufferPointer())
                                      : nullptr;
  std::vector<DWORD> adjacency(entries, 0xFFFFFFFFu);
  if (FAILED(m_pSysMemMesh->Optimize(D3DXMESHOPT_ATTRSORT, pLoadedAdjacency, adjacency.data(), nullptr, nullptr,
                                     &m_pLocalMesh))) {
    m_pLocalMesh = nullptr;
    if (FAILED(m_pSysMemMesh->CloneMeshFVF(0, m_pSysMemMesh->GetFVF(), pd3dDevice, &m_pLocalMesh))) {
      m_pLocalMesh = nullptr;
      return E_FAIL;
    }
    // The clone keeps the loaded face order, so the loaded adjacency describes it.
    if (pLoadedAdjacency)
      std::copy(pLoadedAdjacency, pLoadedAdjacency + entries, adjacency.begin());
    else
      std::fill(adjacency.begin(), adjacency.end(), 0xFFFFFFFFu);
  }
  m_bOwnsLocal = true;
  SplitByAttribute(adjacency.data());
  return S_OK;
}

HRESULT CD3DMesh::SplitByAttribute(const DWORD* pAdjacency) {
  DropSubMeshes();
  if (!m_pLocalMesh) return E_FAIL;

  DWORD dwNumRanges = 0;
  m_pLocalMesh->GetAttributeTable(nullptr, &dwNumRanges);
  std::vector<D3DXATTRIBUTERANGE> table(dwNumRanges);
  if (dwNumRanges > 0 && FAILED(m_pLocalMesh->GetAttributeTable(table.data(), &dwNumRanges))) return E_FAIL;
  table.resize(dwNumRanges);
  m_dwStride = D3DXGetFVFVertexSize(m_pLocalMesh->GetFVF());
  const DWORD dwOptions = m_pLocalMesh->GetOptions();
  const bool b32Bit = (dwOptions & D3DXMESH_32BIT) != 0;
  const DWORD dwFVF = m_pLocalMesh->GetFVF();
  const DWORD dwNumFaces = m_pLocalMesh->GetNumFaces();
  const DWORD dwNumVertices = m_pLocalMesh->GetNumVertices();
  // Ranges that reach outside the mesh would read past its buffers.
  for (const D3DXATTRIBUTERANGE& range : table)
    if (range.FaceCount == 0 || range.FaceStart > dwNumFaces || range.FaceCount > dwNumFaces - range.FaceStart ||
        range.VertexStart > dwNumVertices || range.VertexCount > dwNumVertices - range.VertexStart)
      return E_FAIL;

  IDirect3DDevice8* pDevice = nullptr;
  m_pLocalMesh->GetDevice(&pDevice);
  BYTE* pVertices = nullptr;
  BYTE* pIndices = nullptr;
  DWORD* pAttributes = nullptr;
  const bool bVB = SUCCEEDED(m_pLocalMesh->LockVertexBuffer(D3DLOCK_READONLY, &pVertices));
  const bool bIB = SUCCEEDED(m_pLocalMesh->LockIndexBuffer(D3DLOCK_READONLY, &pIndices));
  const bool bAB = SUCCEEDED(m_pLocalMesh->LockAttributeBuffer(D3DLOCK_READONLY, &pAttributes));
  auto unlockLocal = [&]() {
    if (bVB) m_pLocalMesh->UnlockVertexBuffer();
    if (bIB) m_pLocalMesh->UnlockIndexBuffer();
    if (bAB) m_pLocalMesh->UnlockAttributeBuffer();
    if (pDevice) pDevice->Release();
  };
  if (!bVB || !bIB || !bAB) {
    unlockLocal();
    return E_FAIL;
  }

  ID3DXMesh** ppSubMeshes = dwNumRanges ? new ID3DXMesh*[dwNumRanges]() : nullptr;
  HRESULT hr = S_OK;
  for (DWORD i = 0; i < dwNumRanges && SUCCEEDED(hr); ++i) {
    const D3DXATTRIBUTERANGE& range = table[i];
    ID3DXMesh* pSub = nullptr;
    hr = D3DXCreateMeshFVF(range.FaceCount, range.VertexCount, dwOptions, dwFVF, pDevice, &pSub);
    if (FAILED(hr) || !pSub) {
      hr = E_FAIL;
      break;
    }
    ppSubMeshes[i] = pSub;
    BYTE* pSubVertices = nullptr;
    BYTE* pSubIndices = nullptr;
    DWORD* pSubAttributes = nullptr;
    const bool bSubVB = SUCCEEDED(pSub->LockVertexBuffer(0, &pSubVertices));
    const bool bSubIB = SUCCEEDED(pSub->LockIndexBuffer(0, &pSubIndices));
    const bool bSubAB = SUCCEEDED(pSub->LockAttributeBuffer(0, &pSubAttributes));
    if (bSubVB && bSubIB && bSubAB) {
      std::memcpy(pSubVertices, pVertices + static_cast<size_t>(range.VertexStart) * m_dwStride,
                  static_cast<size_t>(range.VertexCount) * m_dwStride);
      const size_t first = static_cast<size_t>(range.FaceStart) * 3, count = static_cast<size_t>(range.FaceCount) * 3;
      for (size_t k = 0; k < count && SUCCEEDED(hr); ++k) {
        const DWORD index = b32Bit ? reinterpret_cast<const DWORD*>(pIndices)[first + k]
                                   : reinterpret_cast<const WORD*>(pIndices)[first + k];
        // An index outside its range's vertices cannot be rebased.
        if (index < range.VertexStart || index - range.VertexStart >= range.VertexCount) hr = E_FAIL;
        const DWORD rebased = index - range.VertexStart;
        if (b32Bit)
          reinterpret_cast<DWORD*>(pSubIndices)[k] = rebased;
        else
          reinterpret_cast<WORD*>(pSubIndices)[k] = static_cast<WORD>(rebased);
      }
      std::memcpy(pSubAttributes, pAttributes + range.FaceStart, range.FaceCount * sizeof(DWORD));
    } else {
      hr = E_FAIL;
    }
    if (bSubVB) pSub->UnlockVertexBuffer();
    if (bSubIB) pSub->UnlockIndexBuffer();
    if (bSubAB) pSub->UnlockAttributeBuffer();
    if (FAILED(hr)) break;

    // Neighbours in other ranges are not in this sub-mesh.
    std::vector<DWORD> adjacency(static_cast<size_t>(range.FaceCount) * 3);
    RebaseAdjacency(pAdjacency, range, adjacency.data());
    ID3DXBuffer* pVertexRemap = nullptr;
    pSub->OptimizeInplace(D3DXMESHOPT_ATTRSORT, adjacency.data(), nullptr, nullptr, &pVertexRemap);
    if (pVertexRemap) pVertexRemap->Release();
  }
  unlockLocal();

  if (FAILED(hr)) {
    for (DWORD i = 0; i < dwNumRanges; ++i)
      if (ppSubMeshes[i]) ppSubMeshes[i]->Release();
    delete[] ppSubMeshes;
    return E_FAIL;
  }
  m_ppSubMeshes = ppSubMeshes;
  m_dwNumSubMeshes = dwNumRanges;
  return S_OK;
}

void CD3DMesh::RebaseAdjacency(const DWORD* pAdjacency, const D3DXATTRIBUTERANGE& range, DWORD* pOut) {
  const size_t count = static_cast<size_t>(range.FaceCount) * 3;
  for (size_t k = 0; k < count; ++k) {
    const DWORD neighbour = pAdjacency ? pAdjacency[static_cast<size_t>(range.FaceStart) * 3 + k] : 0xFFFFFFFFu;
    const bool bInside =
        neighbour != 0xFFFFFFFFu && neighbour >= range.FaceStart && neighbour - range.FaceStart < range.FaceCount;
    pOut[k] = bInside ? neighbour - range.FaceStart : 0xFFFFFFFFu;
  }
}

HRESULT CD3DMesh::Render(IDirect3DDevice8* pd3dDevice, bool bDrawOpaqueSubsets, bool bDrawAlphaSubsets) {
  if (!m_pLocalMesh || !pd3dDevice) return E_FAIL;
  if (bDrawOpaqueSubsets) {
    for (DWORD i = 0; i < m_dwNumMaterials; ++i) {
      if (m_bUseMaterials) {
        if (m_pMaterials[i].Diffuse.a < 1.0f) continue;
        pd3dDevice->SetMaterial(&m_pMaterials[i]);
        pd3dDevice->SetTexture(0, m_pTextures[i]);
      }
      m_pLocalMesh->DrawSubset(i);
      pd3dDevice->SetTexture(0, nullptr);
    }
  }
  if (bDrawAlphaSubsets && m_bUseMaterials) {
    for (DWORD i = 0; i < m_dwNumMaterials; ++i) {
      if (m_pMaterials[i].Diffuse.a == 1.0f) continue;
      pd3dDevice->SetMaterial(&m_pMaterials[i]);
      pd3dDevice->SetTexture(0, m_pTextures[i]);
      m_pLocalMesh->DrawSubset(i);
      pd3dDevice->SetTexture(0, nullptr);
    }
  }
  return S_OK;
}

HRESULT CD3DMesh::Create(IDirect3DDevice8* pd3dDevice, const char* strFilename) {
  Destroy();
  std::string path;
  if (!DXUtil_FindMediaFile(strFilename, &path)) path = strFilename ? strFilename : "";
  ID3DXBuffer* pMaterials = nullptr;
  DWORD dwNumMaterials = 0;
  HRESULT hr = D3DXLoadMeshFromX(path.c_str(), D3DXMESH_SYSTEMMEM, pd3dDevice, nullptr, &pMaterials,
                                 &dwNumMaterials, &m_pSysMemMesh);
  hr = TakeLoadedMesh(hr, pMaterials, dwNumMaterials, pd3dDevice);
  if (FAILED(hr)) return hr;
  if (FAILED(m_pSysMemMesh->CloneMeshFVF(0, m_pSysMemMesh->GetFVF(), pd3dDevice, &m_pLocalMesh))) {
    m_pLocalMesh = nullptr;
    return E_FAIL;
  }
  m_bOwnsLocal = true;
  m_dwStride = D3DXGetFVFVertexSize(m_pLocalMesh->GetFVF());
  return S_OK;
}

HRESULT CD3DMesh::Create(IDirect3DDevice8* pd3dDevice, IDirectXFileData* pFileData) {
  Destroy();
  ID3DXBuffer* pMaterials = nullptr;
  DWORD dwNumMaterials = 0;
  const HRESULT hr = D3DXLoadMeshFromXof(pFileData, D3DXMESH_SYSTEMMEM, pd3dDevice, nullptr, &pMaterials,
                                         &dwNumMaterials, &m_pSysMemMesh);
  return TakeLoadedMesh(hr, pMaterials, dwNumMaterials, pd3dDevice);
}

HRESULT CD3DMesh::TakeLoadedMesh(HRESULT hrLoad, ID3DXBuffer* pMaterials, DWORD dwNumMaterials,
                                 IDirect3DDevice8* pd3dDevice) {
  if (FAILED(hrLoad) || !m_pSysMemMesh) {
    if (pMaterials) pMaterials->Release();
    m_pSysMemMesh = nullptr;
    return FAILED(hrLoad) ? hrLoad : E_FAIL;
  }
  m_bOwnsLoaded = true;
  TakeMaterials(pMaterials, dwNumMaterials, true, pd3dDevice);
  if (pMaterials) pMaterials->Release();
  return S_OK;
}

HRESULT CD3DMesh::SetFVF(IDirect3DDevice8* pd3dDevice, DWORD dwFVF) {
  ID3DXMesh* pTempSysMemMesh = nullptr;
  ID3DXMesh* pTempLocalMesh = nullptr;
  HRESULT hr = S_OK;
  if (m_pSysMemMesh) hr = m_pSysMemMesh->CloneMeshFVF(D3DXMESH_SYSTEMMEM, dwFVF, pd3dDevice, &pTempSysMemMesh);
  if (SUCCEEDED(hr) && m_pLocalMesh) hr = m_pLocalMesh->CloneMeshFVF(0, dwFVF, pd3dDevice, &pTempLocalMesh);
  if (FAILED(hr)) {
    if (pTempSysMemMesh) pTempSysMemMesh->Release();
    if (pTempLocalMesh) pTempLocalMesh->Release();
    return hr;
  }
  // The converted meshes are this object's own; the shared ones stay with their caches.
  const bool bHadSubMeshes = m_ppSubMeshes != nullptr;
  ID3DXBuffer* pAdjacency = m_bOwnsLoaded ? nullptr : m_pAdjacency;
  if (pAdjacency) pAdjacency->AddRef();
  DropLoadedMesh();
  DropLocalMesh();
  m_pSysMemMesh = pTempSysMemMesh;
  m_pAdjacency = pAdjacency;
  m_bOwnsLoaded = true;
  m_pLocalMesh = pTempLocalMesh;
  m_bOwnsLocal = true;
  if (m_pSysMemMesh) D3DXComputeNormals(m_pSysMemMesh, nullptr);
  if (m_pLocalMesh) {
    D3DXComputeNormals(m_pLocalMesh, nullptr);
    m_dwStride = D3DXGetFVFVertexSize(dwFVF);
    if (bHadSubMeshes) SplitByAttribute(nullptr);
  }
  return S_OK;
}

HRESULT CD3DMesh::CreateTextureFromResource(DWORD dwIndex, IDirect3DDevice8* pd3dDevice, const char* strResLib,
                                            const char* strTexName) {
  if (dwIndex >= m_dwNumMaterials || !m_pTextures || !strTexName) return S_OK;
  DropTexture(dwIndex);
  CTextureCache* pTextureCache = m_pContext ? m_pContext->m_pTextureCache : nullptr;
  const char* strKey = strTexName;
  if (pTextureCache && SUCCEEDED(pTextureCache->Find(strKey, &m_pTextures[dwIndex]))) return S_OK;

  CResourceBytes resource(strResLib, strKey);
  if (!ResourceReady(resource, nullptr, "TEXTURE")) return S_OK;
  IDirect3DTexture8* pTexture = nullptr;
  if (SUCCEEDED(D3DXCreateTextureFromFileInMemory(pd3dDevice, resource.Bytes(), resource.Size(), &pTexture)) &&
      pTexture) {
    m_pTextures[dwIndex] = pTexture;
    if (pTextureCache)
      pTextureCache->Add(pTexture, strKey);
    else
      m_bOwnsTexture[dwIndex] = true;
  }
  return S_OK;
}

HRESULT CD3DMesh::ComputeBoundingBoxes() {
  std::vector<ID3DXMesh*> meshes(m_ppSubMeshes, m_ppSubMeshes + (m_ppSubMeshes ? m_dwNumSubMeshes : 0));
  if (meshes.empty() && m_pLocalMesh) meshes.push_back(m_pLocalMesh);
  D3DXVECTOR3 vMin(1e30f, 1e30f, 1e30f), vMax(-1e30f, -1e30f, -1e30f);
  bool bAny = false;
  for (ID3DXMesh* pMesh : meshes) {
    if (!pMesh || (pMesh->GetFVF() & D3DFVF_POSITION_MASK) == 0) continue;
    const DWORD dwStride = D3DXGetFVFVertexSize(pMesh->GetFVF());
    BYTE* pVertices = nullptr;
    if (FAILED(pMesh->LockVertexBuffer(D3DLOCK_READONLY, &pVertices))) continue;
    for (DWORD v = 0; v < pMesh->GetNumVertices(); ++v) {
      float p[3];
      std::memcpy(p, pVertices + static_cast<size_t>(v) * dwStride, sizeof(p));
      vMin.x = std::min(vMin.x, p[0]);
      vMin.y = std::min(vMin.y, p[1]);
      vMin.z = std::min(vMin.z, p[2]);
      vMax.x = std::max(vMax.x, p[0]);
      vMax.y = std::max(vMax.y, p[1]);
      vMax.z = std::max(vMax.z, p[2]);
      bAny = true;
    }
    pMesh->UnlockVertexBuffer();
  }
  if (!bAny) return E_FAIL;
  if (!m_pBoundingBox) m_pBoundingBox = new D3DXVECTOR3[2];
  m_pBoundingBox[0] = vMin;
  m_pBoundingBox[1] = vMax;
  return S_OK;
}
