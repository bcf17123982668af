// Reading and writing one 32-bit value under a registry key the caller has opened.
#pragma once

#include "platform/win32/registry.h"
#include "platform/win32/win32.h"

// Stores the REG_DWORD value `name` through `value`, or `defaultValue` when the value
// is missing, unreadable, not a REG_DWORD or not 4 bytes long. Always returns S_OK.
HRESULT DXUtil_ReadIntRegKey(HKEY key, const char* name, DWORD* value, DWORD defaultValue);
// Writes `value` as a REG_DWORD; E_FAIL when the platform refuses the write.
HRESULT DXUtil_WriteIntRegKey(HKEY key, const char* name, DWORD value);
