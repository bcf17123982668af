#include "shell/dxutil_registry.h"

HRESULT DXUtil_ReadIntRegKey(HKEY key, const char* name, DWORD* value, DWORD defaultValue) {
  if (!value) return S_OK;
  // Read into a local first: a value of another type or size must not leave stray
  // bytes in the caller's variable.
  DWORD type = REG_NONE;
  DWORD stored = 0;
  DWORD size = sizeof(stored);
  const LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&stored), &size);
  *value = (result == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(stored)) ? stored : defaultValue;
  return S_OK;
}

HRESULT DXUtil_WriteIntRegKey(HKEY key, const char* name, DWORD value) {
  const LONG result =
      RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
  return result == ERROR_SUCCESS ? S_OK : E_FAIL;
}
