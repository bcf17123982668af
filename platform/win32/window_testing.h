// Test seams of the window module: windows without SDL and the user's actions on
// them, so window and message logic runs with no display. Only tests include this.
#pragma once

#include "platform/win32/winuser.h"

// Windows created from now on have no SDL window when `on`; the system's side is
// then played by the functions below.
void WindowUseVirtualWindows(bool on);
// Called when GetMessage or WaitMessage would block on an empty queue of virtual
// windows; it may post messages. When it posts none, GetMessage returns -1.
typedef void (*WindowWaitHook)(void* user);
void WindowSetWaitHook(WindowWaitHook hook, void* user);
// What the user does to a window: these send the same messages the SDL events do.
void WindowSimulateMinimize(HWND window);
void WindowSimulateRestore(HWND window);
void WindowSimulateActivate(HWND window, bool active);
void WindowSimulateUserResize(HWND window, int clientWidth, int clientHeight);
void WindowSimulateUserMove(HWND window, int clientX, int clientY);
void WindowSimulateClose(HWND window);
// Forgets every window, class, menu, accelerator table and queued message.
void WindowResetAll();
