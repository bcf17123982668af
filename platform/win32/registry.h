// The registry calls the program uses. HKEY_CURRENT_USER is kept in one small text
// file: $VANTOREL_REGISTRY_FILE if set, else $XDG_CONFIG_HOME/vantorel/registry.txt
// (XDG_CONFIG_HOME defaults to ~/.config). Every change rewrites the file atomically
// through WriteFileAtomically, under an advisory lock so that writers in several
// processes lose no update. A file that is there but cannot be used (unreadable,
// damaged, larger than 64 KiB, not a regular file) is reported on stderr with
// "FAIL: " and left alone: it reads as an empty key and every write is refused with
// ERROR_ACCESS_DENIED. Key and value names compare without regard to ASCII case.
#pragma once

#include <string>

#include "platform/win32/win32.h"

typedef HKEY* PHKEY;
typedef DWORD REGSAM;

#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u)))

#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_NOTIFY 0x0010u
#define KEY_CREATE_LINK 0x0020u
#define KEY_READ 0x20019u
#define KEY_WRITE 0x20006u
#define KEY_EXECUTE KEY_READ
#define KEY_ALL_ACCESS 0xF003Fu

#define REG_OPTION_NON_VOLATILE 0x0u
#define REG_OPTION_VOLATILE 0x1u
#define REG_CREATED_NEW_KEY 1u
#define REG_OPENED_EXISTING_KEY 2u

#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_MULTI_SZ 7u
#define REG_QWORD 11u

// All return ERROR_SUCCESS or a Win32 error code (ERROR_FILE_NOT_FOUND,
// ERROR_ACCESS_DENIED, ERROR_MORE_DATA, ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER).
LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
                     LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
// `size` is the buffer size in and the value's size out; with `data` NULL only the
// size is reported. A buffer too small gives ERROR_MORE_DATA and leaves it untouched.
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);
// REG_DWORD values must be 4 bytes long. Needs KEY_SET_VALUE access.
LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LONG RegCloseKey(HKEY key);

// The file that holds HKEY_CURRENT_USER now (follows the environment).
std::string RegistryFilePath();

#define RegCreateKeyEx RegCreateKeyExA
#define RegOpenKeyEx RegOpenKeyExA
#define RegQueryValueEx RegQueryValueExA
#define RegSetValueEx RegSetValueExA
