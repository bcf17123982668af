// COM library start-up and shut-down. Nothing here creates COM objects: the platform
// objects are plain C++ classes, so all that is kept is the balanced per-thread count
// that the callers rely on.
#pragma once

#include "platform/win32/win32.h"

#define COINIT_MULTITHREADED 0x0u
#define COINIT_APARTMENTTHREADED 0x2u
#define COINIT_DISABLE_OLE1DDE 0x4u
#define COINIT_SPEED_OVER_MEMORY 0x8u

// S_OK on the first call of a thread, S_FALSE on every further one; each success
// must be matched by one CoUninitialize.
HRESULT CoInitialize(LPVOID reserved);
HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit);
// An extra call without a matching CoInitialize is ignored.
void CoUninitialize();

// How many CoInitialize calls of this thread are not yet matched (for tests).
int CoInitializeCount();
