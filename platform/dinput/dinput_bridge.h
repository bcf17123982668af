// How input reaches the DirectInput devices. DirectInput8Create hooks the devices to the
// window module (WindowAddEventListener, WindowAddNoticeListener): every SDL event the
// window's message pump reads, activation and size changes, and each time the message
// queue runs dry before a frame, arrive by themselves.
// Code that reads SDL events without that pump (tests) uses dinput_testing.h.
#pragma once

#include "platform/win32/win32.h"

// The DIK code of an SDL scancode, 0 for keys without one.
BYTE DirectInputKeyFromScancode(int sdlScancode);
