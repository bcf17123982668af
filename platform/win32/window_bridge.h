// What the other platform modules (Direct3D, DirectInput) and the tests need from
// the window machinery. Game code uses winuser.h only.
#pragma once

#include <cstdint>

#include "platform/win32/winuser.h"

struct SDL_Window;
union SDL_Event;

// The SDL window (with SDL_WINDOW_OPENGL) behind a window; null for a virtual
// window or an unknown handle.
SDL_Window* WindowGetSdlWindow(HWND window);
HWND WindowFromSdlWindowId(uint32_t windowId);

// Full screen, called by the Direct3D device on CreateDevice/Reset. The window
// covers the desktop (SDL_WINDOW_FULLSCREEN_DESKTOP) and reads as a popup whose
// client area is width x height (the back buffer): GetClientRect, mouse messages
// and GetCursorPos are in those pixels, mapped through the letterbox below.
// VANTOREL_WINDOWED=1 keeps an ordinary window of exactly width x height instead.
// Leaving full screen puts the window back where it was before.
bool WindowEnterFullscreen(HWND window, int width, int height);
void WindowLeaveFullscreen(HWND window);
bool WindowIsFullscreen(HWND window);
// Back-buffer pixels per SDL window pixel for relative mouse motion: 1 windowed,
// the letterbox scale in full screen.
void WindowGetMotionScale(HWND window, float* scaleX, float* scaleY);
// Where the width x height image lies in a drawable of drawableWidth x
// drawableHeight: scaled by the largest factor that fits, centred.
void WindowLetterbox(int width, int height, int drawableWidth, int drawableHeight, int* x, int* y, int* w,
                     int* h);

// Every SDL event read from the system, before it becomes messages (DirectInput
// keeps its keyboard and mouse state from these).
typedef void (*WindowEventListener)(const SDL_Event* event, void* user);
void WindowAddEventListener(WindowEventListener listener, void* user);
void WindowRemoveEventListener(WindowEventListener listener, void* user);

// Changes of a window's state, whatever caused them (the user, ShowWindow, a test).
enum WindowNotice {
  WINDOW_NOTICE_CREATED,  // the SDL window exists (WindowGetSdlWindow)
  WINDOW_NOTICE_GEOMETRY,  // client size, SDL window size or full screen changed
  WINDOW_NOTICE_MINIMIZED,
  WINDOW_NOTICE_RESTORED,  // from minimised
  WINDOW_NOTICE_ACTIVATED,
  WINDOW_NOTICE_DEACTIVATED,
  WINDOW_NOTICE_DESTROYED,
  // For no window in particular: the message queue ran dry, so a message loop draws
  // its next frame now (PeekMessage or GetMessage found nothing to return).
  WINDOW_NOTICE_IDLE,
};
typedef void (*WindowNoticeListener)(HWND window, WindowNotice notice, void* user);
void WindowAddNoticeListener(WindowNoticeListener listener, void* user);
void WindowRemoveNoticeListener(WindowNoticeListener listener, void* user);
