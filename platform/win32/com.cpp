#include "platform/win32/com.h"

namespace {
thread_local int g_initCount = 0;
}

HRESULT CoInitialize(LPVOID reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

HRESULT CoInitializeEx(LPVOID reserved, DWORD /*coInit*/) {
  if (reserved) return E_INVALIDARG;
  return ++g_initCount == 1 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  if (g_initCount > 0) --g_initCount;
}

int CoInitializeCount() { return g_initCount; }
