#include "engine/texturecache.h"

#include <cstring>

CTextureCache::CTextureCache() = default;

CTextureCache::~CTextureCache() { Clear(); }

HRESULT CTextureCache::Add(IDirect3DTexture8* pTexture, const char* strName) {
  Entry* pEntry = new Entry{nullptr, pTexture, strName ? strName : ""};
  if (m_pTail)
    m_pTail->pNext = pEntry;
  else
    m_pHead = pEntry;
  m_pTail = pEntry;
  return S_OK;
}

HRESULT CTextureCache::Find(const char* strName, IDirect3DTexture8** ppTexture) {
  if (!ppTexture) return E_FAIL;
  if (*ppTexture && !Holds(*ppTexture)) (*ppTexture)->Release();
  *ppTexture = nullptr;
  if (!strName) return E_FAIL;
  for (Entry* pEntry = m_pHead; pEntry; pEntry = pEntry->pNext) {
    if (std::strcmp(pEntry->strName, strName) == 0) {
      *ppTexture = pEntry->pTexture;
      return S_OK;
    }
  }
  return E_FAIL;
}

HRESULT CTextureCache::Clear() {
  Entry* pEntry = m_pHead;
  m_pHead = m_pTail = nullptr;
  while (pEntry) {
    Entry* pNext = pEntry->pNext;
    if (pEntry->pTexture) pEntry->pTexture->Release();
    delete pEntry;
    pEntry = pNext;
  }
  return S_OK;
}

DWORD CTextureCache::Count() const {
  DWORD dwCount = 0;
  for (const Entry* pEntry = m_pHead; pEntry; pEntry = pEntry->pNext) ++dwCount;
  return dwCount;
}

bool CTextureCache::Holds(const IDirect3DTexture8* pTexture) const {
  for (const Entry* pEntry = m_pHead; pEntry; pEntry = pEntry->pNext)
    if (pEntry->pTexture == pTexture) return true;
  return false;
}
