// The bytes of one named raw-data resource of the resource library. The library
// stays loaded while the object lives (the bytes point into it) and is freed with
// it, so every load opens and closes the library around one resource.
#pragma once

#include "platform/win32/win32.h"

class CResourceBytes {
 public:
  // Where reading stopped; OK when the bytes are ready for a decoder.
  enum Result { OK, NO_LIBRARY, NO_RESOURCE, BAD_SIZE, NOT_LOADED, NOT_LOCKED };

  // An empty or null name finds no resource.
  CResourceBytes(const char* strLibrary, const char* strName);
  ~CResourceBytes();

  Result GetResult() const { return m_result; }
  // Null unless GetResult() is OK.
  const void* Bytes() const { return m_pBytes; }
  // Between 1 and INT_MAX when GetResult() is OK (decoders take an int), else 0.
  int Size() const { return m_nSize; }

  CResourceBytes(const CResourceBytes&) = delete;
  CResourceBytes& operator=(const CResourceBytes&) = delete;

 private:
  HMODULE m_hLibrary = nullptr;
  const void* m_pBytes = nullptr;
  int m_nSize = 0;
  Result m_result = NO_LIBRARY;
};
