// The resource library calls: a PE file is mapped read-only and its raw-data
// resources are read by name. Handles stay valid until FreeLibrary; the bytes
// that LoadResource/LockResource return point into the mapping.
#pragma once

#include "platform/win32/win32.h"

#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<uintptr_t>(static_cast<WORD>(i))))
#define MAKEINTRESOURCE MAKEINTRESOURCEA
#define IS_INTRESOURCE(p) ((reinterpret_cast<uintptr_t>(p) >> 16) == 0)
#define RT_RCDATA MAKEINTRESOURCEA(10)

// A bare file name is looked up beside the executable, then in the working
// directory; a name with '/' is used as given. NULL with GetLastError on failure
// (ERROR_MOD_NOT_FOUND, ERROR_BAD_EXE_FORMAT).
HMODULE LoadLibraryA(LPCSTR fileName);
BOOL FreeLibrary(HMODULE module);
// `name` and `type`: a name (ASCII case does not matter), "#n", or MAKEINTRESOURCE(n).
// The first language of the resource is taken.
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
DWORD SizeofResource(HMODULE module, HRSRC resource);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL resourceData);

// Why the latest LoadLibraryA failed, as one line without a newline: the name asked
// for and every path tried with its reason ("not found: tried /a/res.dll (No such
// file or directory), ..."), or the path found and what is wrong with it (empty,
// truncated or damaged). The same line goes once to standard error when the load
// fails; the game writes it to its own log. Copies at most size - 1 characters and a
// terminating zero; returns the number copied, 0 when the latest load succeeded or
// none has failed.
DWORD GetResourceLibraryProblem(LPSTR buffer, DWORD size);

#define LoadLibrary LoadLibraryA
#define FindResource FindResourceA
