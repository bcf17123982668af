// Shared state of the window machinery (window.cpp, window_menu.cpp, message.cpp).
#pragma once

#include <string>
#include <vector>

#include "platform/win32/window_bridge.h"

namespace win32window {

struct WindowObject {
  HWND handle = nullptr;
  std::string className;
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  HCURSOR classCursor = nullptr;
  HICON classIcon = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  LONG userData = 0;
  std::string title;
  RECT rect = {0, 0, 0, 0};  // window rectangle in screen coordinates (normal placement)
  RECT normalRect = {0, 0, 0, 0};  // kept while maximised
  RECT fullscreenSaved = {0, 0, 0, 0};  // placement before full screen
  DWORD fullscreenSavedStyle = 0;
  HMENU menu = nullptr;
  bool minimized = false;
  bool maximized = false;
  bool fullscreen = false;
  bool needsPaint = false;
  bool destroying = false;
  SDL_Window* sdl = nullptr;
  uint32_t sdlId = 0;
  std::vector<std::pair<int, int>> pendingSizes;  // sizes asked of SDL, not yet echoed
  std::vector<std::pair<int, int>> pendingMoves;
};

// Non-client sizes used by AdjustWindowRect and the client rectangle.
constexpr int kCaptionHeight = 22;
constexpr int kMenuHeight = 19;
constexpr int kSizeFrame = 4;
constexpr int kDialogFrame = 3;
constexpr int kBorder = 1;

WindowObject* Find(HWND window);
WindowObject* FindBySdlId(uint32_t id);
std::vector<WindowObject*> AllWindows();
bool Virtual();
bool SdlVideoReady();

// Client rectangle in screen coordinates.
RECT ClientScreenRect(const WindowObject& w);
// State changes that send their messages (shared by ShowWindow and the SDL events).
void ApplyMinimize(WindowObject* w, bool fromSystem);
void ApplyRestore(WindowObject* w, bool fromSystem);
void ApplyMaximize(WindowObject* w, bool fromSystem);
void ApplyActivation(WindowObject* w, bool active);
void ApplyUserClientSize(WindowObject* w, int width, int height);
void ApplyUserClientMove(WindowObject* w, int x, int y);
// SDL window coordinates (client) to client coordinates of the window.
POINT SdlToClient(const WindowObject& w, int x, int y);

// X11 without a window manager (window_x11.cpp): true when `window` is an X window that
// no window manager manages; then minimising is unmapping and full screen is a placement.
bool UnmanagedX11Window(SDL_Window* window);
void UnmanagedX11Show(SDL_Window* window, bool show);
void UnmanagedX11Place(SDL_Window* window, int x, int y, int width, int height);

// Class cursor handling for DefWindowProc(WM_SETCURSOR).
HCURSOR ClassCursor(HWND window);

void Notify(HWND window, WindowNotice notice);
void ForgetMessagesFor(HWND window);
void ResetMessages();
void ResetMenus();
void ResetCursor();
void DropSdlCursors();  // before SDL video goes

// Menus referenced by destroyed windows are destroyed with them.
bool MenuExists(HMENU menu);
// The program's icon resource as pixels, for the SDL window icon.
bool IconPixels(HICON icon, int* width, int* height, const DWORD** pixels);

}  // namespace win32window
