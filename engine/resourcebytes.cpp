#include "engine/resourcebytes.h"

#include <climits>

#include "platform/win32/resources.h"

CResourceBytes::CResourceBytes(const char* strLibrary, const char* strName) {
  m_hLibrary = LoadLibraryA(strLibrary);
  if (!m_hLibrary) {
    m_result = NO_LIBRARY;
    return;
  }
  HRSRC hResource = strName && strName[0] ? FindResourceA(m_hLibrary, strName, RT_RCDATA) : nullptr;
  if (!hResource) {
    m_result = NO_RESOURCE;
    return;
  }
  // The decoders take the length as an int: an empty or oversized resource never reaches them.
  const DWORD dwSize = SizeofResource(m_hLibrary, hResource);
  if (dwSize == 0 || dwSize > static_cast<DWORD>(INT_MAX)) {
    m_result = BAD_SIZE;
    return;
  }
  HGLOBAL hData = LoadResource(m_hLibrary, hResource);
  if (!hData) {
    m_result = NOT_LOADED;
    return;
  }
  const void* pBytes = LockResource(hData);
  if (!pBytes) {
    m_result = NOT_LOCKED;
    return;
  }
  m_pBytes = pBytes;
  m_nSize = static_cast<int>(dwSize);
  m_result = OK;
}

CResourceBytes::~CResourceBytes() {
  if (m_hLibrary) FreeLibrary(m_hLibrary);
}
