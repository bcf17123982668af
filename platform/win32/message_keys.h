// Keyboard translation between SDL and Win32: virtual keys, scan codes, characters.
#pragma once

#include "platform/win32/win32.h"

namespace win32window {

struct KeyInfo {
  int vk = 0;           // 0: a key Win32 programs never see
  int scanCode = 0;     // PC set 1
  bool extended = false;
};

// `sdlScancode` is an SDL_Scancode.
KeyInfo KeyFromScancode(int sdlScancode);
// The character TranslateMessage makes of a key, 0 for none. `keyState` is the
// 256-entry state of GetKeyState (bit 0x80 down, bit 0x01 toggled).
int CharFromKey(int vk, const BYTE* keyState);

}  // namespace win32window
