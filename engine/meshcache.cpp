#include "engine/meshcache.h"

#include <cstring>

CMeshCache::CMeshCache() = default;

CMeshCache::~CMeshCache() { Clear(); }

void CMeshCache::Append(Entry* pEntry) {
  if (m_pTail)
    m_pTail->pNext = pEntry;
  else
    m_pHead = pEntry;
  m_pTail = pEntry;
}

HRESULT CMeshCache::Add(ID3DXMesh* pMesh, ID3DXMesh** ppSubMeshes, DWORD dwSubCount, const char* strName) {
  Append(new Entry{nullptr, pMesh, strName ? strName : "", ppSubMeshes, ppSubMeshes ? dwSubCount : 0, nullptr});
  return S_OK;
}

HRESULT CMeshCache::AddSimple(ID3DXMesh* pMesh, const char* strName) { return Add(pMesh, nullptr, 0, strName); }

HRESULT CMeshCache::Find(const char* strName, ID3DXMesh** ppMesh, ID3DXMesh*** pppSubMeshes,
                         DWORD* pdwSubCount) const {
  const Entry* pFound = nullptr;
  for (const Entry* pEntry = m_pHead; strName && pEntry && !pFound; pEntry = pEntry->pNext)
    if (pEntry->strName == strName) pFound = pEntry;
  if (ppMesh) *ppMesh = pFound ? pFound->pObject : nullptr;
  if (pppSubMeshes) {
    *pppSubMeshes = pFound ? pFound->ppSubObjects : nullptr;
    if (pdwSubCount) *pdwSubCount = pFound ? pFound->dwSubCount : 0;
  }
  return pFound ? S_OK : E_FAIL;
}

HRESULT CMeshCache::FindEx(const char* strName, ID3DXMesh** ppMesh, ID3DXBuffer** ppAdjacency) {
  if (!ppMesh || !ppAdjacency) return E_FAIL;
  if (*ppMesh && !Holds(*ppMesh)) (*ppMesh)->Release();
  *ppMesh = nullptr;
  for (Entry* pEntry = m_pHead; strName && pEntry; pEntry = pEntry->pNext) {
    if (pEntry->strName == strName) {
      *ppMesh = pEntry->pObject;
      *ppAdjacency = pEntry->pAdjacency;
      return S_OK;
    }
  }
  *ppAdjacency = nullptr;
  return E_FAIL;
}

HRESULT CMeshCache::LoadMeshFromMemory(const void* pData, DWORD dwSize, IDirect3DDevice8* pDevice,
                                       ID3DXBuffer** ppAdjacency, ID3DXBuffer** ppMaterials, DWORD* pdwNumMaterials,
                                       ID3DXMesh** ppMesh, const char* strName) {
  if (!pData || !ppAdjacency || !ppMesh) return E_FAIL;
  ID3DXMesh* pMesh = nullptr;
  ID3DXBuffer* pAdjacency = nullptr;
  HRESULT hr = D3DXLoadMeshFromXInMemory(static_cast<const BYTE*>(pData), dwSize, D3DXMESH_SYSTEMMEM, pDevice,
                                         &pAdjacency, ppMaterials, pdwNumMaterials, &pMesh);
  if (FAILED(hr) || !pMesh) {
    if (pMesh) pMesh->Release();
    if (pAdjacency) pAdjacency->Release();
    return E_FAIL;
  }
  Append(new Entry{nullptr, pMesh, strName ? strName : "", nullptr, 0, pAdjacency});
  *ppAdjacency = pAdjacency;
  *ppMesh = pMesh;
  return S_OK;
}

void CMeshCache::ReleaseEntry(Entry* pEntry) {
  if (pEntry->pObject) pEntry->pObject->Release();
  if (pEntry->ppSubObjects) {
    for (DWORD i = 0; i < pEntry->dwSubCount; ++i)
      if (pEntry->ppSubObjects[i]) pEntry->ppSubObjects[i]->Release();
    delete[] pEntry->ppSubObjects;
  }
  if (pEntry->pAdjacency) pEntry->pAdjacency->Release();
  delete pEntry;
}

HRESULT CMeshCache::Clear() {
  Entry* pEntry = m_pHead;
  m_pHead = m_pTail = nullptr;
  while (pEntry) {
    Entry* pNext = pEntry->pNext;
    ReleaseEntry(pEntry);
    pEntry = pNext;
  }
  return S_OK;
}

HRESULT CMeshCache::Remove(const char* strName) {
  for (Entry* pEntry = m_pHead; strName && pEntry; pEntry = pEntry->pNext)
    if (pEntry->strName == strName) return RemoveNode(pEntry);
  return S_OK;
}

HRESULT CMeshCache::RemoveNode(Entry* pEntry) {
  Entry* pPrev = nullptr;
  Entry* pNode = m_pHead;
  while (pNode && pNode != pEntry) {
    pPrev = pNode;
    pNode = pNode->pNext;
  }
  if (!pNode) return S_OK;
  if (pPrev)
    pPrev->pNext = pNode->pNext;
  else
    m_pHead = pNode->pNext;
  if (m_pTail == pNode) m_pTail = pPrev;
  ReleaseEntry(pNode);
  return S_OK;
}

DWORD CMeshCache::Count() const {
  DWORD dwCount = 0;
  for (const Entry* pEntry = m_pHead; pEntry; pEntry = pEntry->pNext) ++dwCount;
  return dwCount;
}

bool CMeshCache::Holds(const ID3DXMesh* pMesh) const {
  for (const Entry* pEntry = m_pHead; pEntry; pEntry = pEntry->pNext) {
    if (pEntry->pObject == pMesh) return true;
    for (DWORD i = 0; pEntry->ppSubObjects && i < pEntry->dwSubCount; ++i)
      if (pEntry->ppSubObjects[i] == pMesh) return true;
  }
  return false;
}
