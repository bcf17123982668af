#include "engine/samplecache.h"

#include <cstring>

CSampleCache::CSampleCache() = default;

CSampleCache::~CSampleCache() { Clear(); }

HRESULT CSampleCache::Add(FSOUND_SAMPLE* pSample, const char* strName) {
  Entry* pEntry = new Entry{nullptr, pSample, strName ? strName : ""};
  if (m_pTail)
    m_pTail->pNext = pEntry;
  else
    m_pHead = pEntry;
  m_pTail = pEntry;
  return S_OK;
}

HRESULT CSampleCache::Find(const char* strName, FSOUND_SAMPLE** ppSample) const {
  for (const Entry* pEntry = m_pHead; strName && pEntry; pEntry = pEntry->pNext) {
    if (std::strcmp(pEntry->strName, strName) == 0) {
      if (ppSample) *ppSample = pEntry->pSample;
      return S_OK;
    }
  }
  if (ppSample) *ppSample = nullptr;
  return E_FAIL;
}

HRESULT CSampleCache::Clear() {
  Entry* pEntry = m_pHead;
  m_pHead = m_pTail = nullptr;
  while (pEntry) {
    Entry* pNext = pEntry->pNext;
    if (pEntry->pSample) FSOUND_Sample_Free(pEntry->pSample);
    delete pEntry;
    pEntry = pNext;
  }
  return S_OK;
}

DWORD CSampleCache::Count() const {
  DWORD dwCount = 0;
  for (const Entry* pEntry = m_pHead; pEntry; pEntry = pEntry->pNext) ++dwCount;
  return dwCount;
}
