#include "engine/samplecache.h"

CSampleCache::CSampleCache() = default;

CSampleCache::~CSampleCache() { Clear(); }

HRESULT CSampleCache::Add(FSOUND_SAMPLE* pSample, const char* strName) {
  m_samples.Add(pSample, strName);
  return S_OK;
}

HRESULT CSampleCache::Find(const char* strName, FSOUND_SAMPLE** ppSample) const {
  FSOUND_SAMPLE* pSample = nullptr;
  const bool bFound = m_samples.Find(strName, &pSample);
  if (ppSample) *ppSample = pSample;
  return bFound ? S_OK : E_FAIL;
}

HRESULT CSampleCache::Clear() {
  m_samples.Clear([](FSOUND_SAMPLE* pSample) { FSOUND_Sample_Free(pSample); });
  return S_OK;
}

DWORD CSampleCache::Count() const { return m_samples.Count(); }
