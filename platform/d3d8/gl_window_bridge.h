// Hook between the window code and the OpenGL-backed Direct3D device. The window
// code registers the SDL window behind each HWND; CreateDevice finds it through
// the focus or device window. One GL context is made per window on first use
// and lives until the window is unbound.
#pragma once

#include "platform/win32/win32.h"

// Usage by the window code: create the SDL window with SDL_WINDOW_OPENGL, call
// D3D8BindWindow(hwnd, window) before CreateDevice, report minimise/restore with
// D3D8SetWindowMinimized, map mouse positions with D3D8WindowToBackBuffer, and
// call D3D8UnbindWindow before destroying the window. Full screen (a device
// created or reset with Windowed FALSE) is SDL_WINDOW_FULLSCREEN_DESKTOP, set by
// the device, unless VANTOREL_WINDOWED is set.

// Registers (or with null, forgets) the SDL_Window* behind a window handle.
void D3D8BindWindow(HWND hwnd, void* sdlWindow);
void D3D8UnbindWindow(HWND hwnd);
// The SDL_Window* registered for hwnd, or null.
void* D3D8FindWindow(HWND hwnd);

// The window code reports minimise/hide and restore; a device on that window is
// lost while minimised and needs Reset after restore.
void D3D8SetWindowMinimized(HWND hwnd, bool minimized);
bool D3D8IsWindowMinimized(HWND hwnd);

// Maps a point in the window's client area (pixels) to back-buffer pixels,
// undoing the scaling and letterboxing that Present applies. False when no
// device presents to that window (the point is then returned unchanged).
bool D3D8WindowToBackBuffer(HWND hwnd, int windowX, int windowY, int* backBufferX, int* backBufferY);

// --- Used by the OpenGL device only ---
struct D3D8WindowEntry {
  void* window = nullptr;   // SDL_Window*
  void* context = nullptr;  // SDL_GLContext, made on first use
  bool minimized = false;
  unsigned minimizeCount = 0;  // bumped on every minimise, so a device notices a missed one
  // Where Present put the back buffer in the window, for mapping mouse positions.
  bool presenting = false;
  int viewX = 0, viewY = 0, viewWidth = 0, viewHeight = 0;
  UINT backBufferWidth = 0, backBufferHeight = 0;
};
// The entry for hwnd, or null when no window was bound.
D3D8WindowEntry* D3D8WindowEntryFor(HWND hwnd);
// Makes the window's GL context current, creating it first if needed. False on failure.
bool D3D8MakeContextCurrent(D3D8WindowEntry* entry);
