// Conversion between 8-bit text and UTF-16. The system code page is UTF-8, so CP_ACP
// and CP_UTF8 both mean UTF-8.
#pragma once

#include "platform/win32/win32.h"

#define CP_ACP 0u
#define CP_UTF8 65001u

// Returns the UTF-16 units written (the terminator included when cbMultiByte is -1),
// the units needed when cchWideChar is 0, or 0 when the buffer is too small.
// Malformed UTF-8 becomes U+FFFD.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int cbMultiByte, LPWSTR wide, int cchWideChar);
// Returns the bytes written (the terminator included when cchWideChar is -1), the bytes
// needed when cbMultiByte is 0, or 0 when the buffer is too small. Unpaired surrogates
// become U+FFFD.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int cchWideChar, LPSTR multiByte, int cbMultiByte,
                        LPCSTR defaultChar, LPBOOL usedDefaultChar);
