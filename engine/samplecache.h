// Sound samples by resource name, kept until shutdown. The cache owns the samples
// and frees them when it is emptied or deleted (before the sound library closes).
#pragma once

#include "engine/namedlist.h"
#include "platform/sound/fmod.h"
#include "platform/win32/win32.h"

class CSampleCache {
 public:
  CSampleCache();
  // Frees every sample still cached.
  virtual ~CSampleCache();

  HRESULT Add(FSOUND_SAMPLE* pSample, const char* strName);
  // The first sample of that name (ppSample may be null), or null and E_FAIL.
  HRESULT Find(const char* strName, FSOUND_SAMPLE** ppSample) const;
  // Frees every sample and empties the cache.
  HRESULT Clear();

  DWORD Count() const;

  CSampleCache(const CSampleCache&) = delete;
  CSampleCache& operator=(const CSampleCache&) = delete;

 private:
  CNamedList<FSOUND_SAMPLE> m_samples;
};
