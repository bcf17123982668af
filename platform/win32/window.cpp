// Window classes and windows: the Win32 state lives here, an SDL window mirrors
// the client area of each real window.
#include <SDL.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/win32/window_internal.h"
#include "platform/win32/window_testing.h"

namespace win32window {
namespace {

struct ClassEntry {
  std::string name;
  WNDCLASSA cls;
};

std::vector<ClassEntry> g_classes;
std::vector<std::unique_ptr<WindowObject>> g_windows;
uintptr_t g_nextHandle = 0x1000;
bool g_virtual = false;
bool g_videoReady = false;
HWND g_active = nullptr;

struct NoticeEntry {
  WindowNoticeListener fn;
  void* user;
};
std::vector<NoticeEntry> g_noticeListeners;

bool KeepWindowed() {
  const char* v = std::getenv("VANTOREL_WINDOWED");
  return v && *v && std::strcmp(v, "0") != 0;
}

void NonClient(DWORD style, BOOL menu, int* frameX, int* frameY, int* top) {
  int frame = 0;
  if (style & WS_THICKFRAME) frame = kSizeFrame;
  else if ((style & WS_CAPTION) == WS_CAPTION || (style & WS_DLGFRAME)) frame = kDialogFrame;
  else if (style & WS_BORDER) frame = kBorder;
  *frameX = frame;
  *frameY = frame;
  *top = frame + (((style & WS_CAPTION) == WS_CAPTION) ? kCaptionHeight : 0) + (menu ? kMenuHeight : 0);
}

void ScreenSize(int* width, int* height) {
  SDL_DisplayMode mode;
  if (!g_virtual && g_videoReady && SDL_GetDesktopDisplayMode(0, &mode) == 0) {
    *width = mode.w;
    *height = mode.h;
  } else {
    *width = 1280;
    *height = 1024;
  }
}

void RememberPending(std::vector<std::pair<int, int>>& list, int a, int b) {
  list.emplace_back(a, b);
  if (list.size() > 8) list.erase(list.begin());
}

// Pushes the model's client placement to the SDL window.
void SyncSdl(WindowObject* w) {
  if (!w->sdl || w->fullscreen) return;
  const RECT c = ClientScreenRect(*w);
  const int cw = std::max(1, static_cast<int>(c.right - c.left));
  const int ch = std::max(1, static_cast<int>(c.bottom - c.top));
  int x = 0, y = 0, sw = 0, sh = 0;
  SDL_GetWindowPosition(w->sdl, &x, &y);
  SDL_GetWindowSize(w->sdl, &sw, &sh);
  if (sw != cw || sh != ch) {
    RememberPending(w->pendingSizes, cw, ch);
    SDL_SetWindowSize(w->sdl, cw, ch);
  }
  if (x != c.left || y != c.top) {
    RememberPending(w->pendingMoves, c.left, c.top);
    SDL_SetWindowPosition(w->sdl, c.left, c.top);
  }
}

void SyncSdlDecoration(WindowObject* w) {
  if (!w->sdl || w->fullscreen) return;
  SDL_SetWindowBordered(w->sdl, (w->style & WS_CAPTION) == WS_CAPTION ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowResizable(w->sdl, (w->style & WS_THICKFRAME) ? SDL_TRUE : SDL_FALSE);
}

LRESULT Send(WindowObject* w, UINT msg, WPARAM wp, LPARAM lp) { return SendMessageA(w->handle, msg, wp, lp); }

void SendSizeAndMove(WindowObject* w) {
  if (w->minimized) return;
  const RECT c = ClientScreenRect(*w);
  const HWND h = w->handle;
  SendMessageA(h, WM_MOVE, 0, MAKELPARAM(c.left, c.top));
  if (!Find(h)) return;
  SendMessageA(h, WM_SIZE, w->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
               MAKELPARAM(c.right - c.left, c.bottom - c.top));
  Notify(h, WINDOW_NOTICE_GEOMETRY);
}

void SetVisible(WindowObject* w, bool visible) {
  const bool was = (w->style & WS_VISIBLE) != 0;
  if (was == visible) return;
  if (visible) w->style |= WS_VISIBLE;
  else w->style &= ~WS_VISIBLE;
  if (w->sdl) {
    if (visible) SDL_ShowWindow(w->sdl);
    else SDL_HideWindow(w->sdl);
  }
  Send(w, WM_SHOWWINDOW, visible ? TRUE : FALSE, 0);
  if (visible) w->needsPaint = true;
}

}  // namespace

WindowObject* Find(HWND window) {
  if (!window) return nullptr;
  for (auto& w : g_windows)
    if (w->handle == window) return w.get();
  return nullptr;
}

WindowObject* FindBySdlId(uint32_t id) {
  for (auto& w : g_windows)
    if (w->sdl && w->sdlId == id) return w.get();
  return nullptr;
}

std::vector<WindowObject*> AllWindows() {
  std::vector<WindowObject*> all;
  for (auto& w : g_windows) all.push_back(w.get());
  return all;
}

bool Virtual() { return g_virtual; }
bool SdlVideoReady() { return g_videoReady; }

RECT ClientScreenRect(const WindowObject& w) {
  int fx = 0, fy = 0, top = 0;
  NonClient(w.style, w.menu != nullptr && MenuExists(w.menu), &fx, &fy, &top);
  RECT c = {w.rect.left + fx, w.rect.top + top, w.rect.right - fx, w.rect.bottom - fy};
  if (c.right < c.left) c.right = c.left;
  if (c.bottom < c.top) c.bottom = c.top;
  return c;
}

void Notify(HWND window, WindowNotice notice) {
  const auto listeners = g_noticeListeners;
  for (const auto& l : listeners) l.fn(window, notice, l.user);
}

void ApplyActivation(WindowObject* w, bool active) {
  const HWND h = w->handle;
  if (active) {
    if (g_active == h) return;
    if (WindowObject* prev = Find(g_active)) ApplyActivation(prev, false);
    g_active = h;
    SendMessageA(h, WM_ACTIVATEAPP, TRUE, 0);
    SendMessageA(h, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, w->minimized ? 1 : 0), 0);
    SendMessageA(h, WM_SETFOCUS, 0, 0);
    Notify(h, WINDOW_NOTICE_ACTIVATED);
  } else {
    if (g_active != h) return;
    g_active = nullptr;
    SendMessageA(h, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, w->minimized ? 1 : 0), 0);
    SendMessageA(h, WM_ACTIVATEAPP, FALSE, 0);
    SendMessageA(h, WM_KILLFOCUS, 0, 0);
    Notify(h, WINDOW_NOTICE_DEACTIVATED);
  }
}

void ApplyMinimize(WindowObject* w, bool fromSystem) {
  if (w->minimized) return;
  const HWND h = w->handle;
  w->minimized = true;
  if (w->sdl && !fromSystem) SDL_MinimizeWindow(w->sdl);
  ApplyActivation(w, false);
  if (!Find(h)) return;
  SendMessageA(h, WM_SIZE, SIZE_MINIMIZED, 0);
  Notify(h, WINDOW_NOTICE_MINIMIZED);
}

void ApplyRestore(WindowObject* w, bool fromSystem) {
  const HWND h = w->handle;
  if (!w->minimized && !w->maximized) return;
  const bool wasMinimized = w->minimized;
  w->minimized = false;
  if (w->maximized && !wasMinimized) {
    w->maximized = false;
    w->rect = w->normalRect;
    SyncSdl(w);
  }
  if (w->sdl && !fromSystem) SDL_RestoreWindow(w->sdl);
  w->needsPaint = true;
  if (wasMinimized) Notify(h, WINDOW_NOTICE_RESTORED);
  SendSizeAndMove(w);
  if (WindowObject* again = Find(h)) ApplyActivation(again, true);
}

void ApplyMaximize(WindowObject* w, bool fromSystem) {
  if (w->maximized && !w->minimized) return;
  const HWND h = w->handle;
  const bool wasMinimized = w->minimized;
  w->minimized = false;
  if (!w->maximized) {
    w->normalRect = w->rect;
    w->maximized = true;
    int sw = 0, sh = 0;
    ScreenSize(&sw, &sh);
    if (fromSystem && w->sdl) {
      int x = 0, y = 0, cw = 0, ch = 0;
      SDL_GetWindowPosition(w->sdl, &x, &y);
      SDL_GetWindowSize(w->sdl, &cw, &ch);
      RECT r = {x, y, x + cw, y + ch};
      AdjustWindowRectEx(&r, w->style, w->menu != nullptr, w->exStyle);
      w->rect = r;
    } else {
      w->rect = {0, 0, sw, sh};
    }
  }
  if (w->sdl && !fromSystem) SDL_MaximizeWindow(w->sdl);
  w->needsPaint = true;
  if (wasMinimized) Notify(h, WINDOW_NOTICE_RESTORED);
  SendSizeAndMove(w);
  if (WindowObject* again = Find(h)) ApplyActivation(again, true);
}

void ApplyUserClientSize(WindowObject* w, int width, int height) {
  const HWND h = w->handle;
  SendMessageA(h, WM_ENTERSIZEMOVE, 0, 0);
  if (!(w = Find(h))) return;
  const RECT c = ClientScreenRect(*w);
  RECT r = {c.left, c.top, c.left + width, c.top + height};
  AdjustWindowRectEx(&r, w->style, w->menu != nullptr, w->exStyle);
  w->rect = r;
  w->needsPaint = true;
  SendMessageA(h, WM_SIZE, w->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED, MAKELPARAM(width, height));
  if (!Find(h)) return;
  Notify(h, WINDOW_NOTICE_GEOMETRY);
  SendMessageA(h, WM_EXITSIZEMOVE, 0, 0);
}

void ApplyUserClientMove(WindowObject* w, int x, int y) {
  const HWND h = w->handle;
  SendMessageA(h, WM_ENTERSIZEMOVE, 0, 0);
  if (!(w = Find(h))) return;
  const RECT c = ClientScreenRect(*w);
  const LONG dx = x - c.left, dy = y - c.top;
  w->rect.left += dx;
  w->rect.right += dx;
  w->rect.top += dy;
  w->rect.bottom += dy;
  SendMessageA(h, WM_MOVE, 0, MAKELPARAM(x, y));
  if (!Find(h)) return;
  SendMessageA(h, WM_EXITSIZEMOVE, 0, 0);
}

HCURSOR ClassCursor(HWND window) {
  WindowObject* w = Find(window);
  return w ? w->classCursor : nullptr;
}

POINT SdlToClient(const WindowObject& w, int x, int y) {
  if (!w.fullscreen || !w.sdl) return {x, y};
  const RECT c = ClientScreenRect(w);
  const int lw = c.right - c.left, lh = c.bottom - c.top;
  int sw = 0, sh = 0;
  SDL_GetWindowSize(w.sdl, &sw, &sh);
  int vx = 0, vy = 0, vw = 0, vh = 0;
  WindowLetterbox(lw, lh, sw, sh, &vx, &vy, &vw, &vh);
  if (vw <= 0 || vh <= 0) return {0, 0};
  LONG px = static_cast<LONG>((static_cast<int64_t>(x - vx) * lw) / vw);
  LONG py = static_cast<LONG>((static_cast<int64_t>(y - vy) * lh) / vh);
  px = std::clamp<LONG>(px, 0, std::max(0, lw - 1));
  py = std::clamp<LONG>(py, 0, std::max(0, lh - 1));
  return {px, py};
}

}  // namespace win32window

using namespace win32window;

// ---- bridge ----

SDL_Window* WindowGetSdlWindow(HWND window) {
  WindowObject* w = Find(window);
  return w ? w->sdl : nullptr;
}

HWND WindowFromSdlWindowId(uint32_t windowId) {
  WindowObject* w = FindBySdlId(windowId);
  return w ? w->handle : nullptr;
}

void WindowLetterbox(int width, int height, int drawableWidth, int drawableHeight, int* x, int* y, int* w, int* h) {
  if (width <= 0 || height <= 0 || drawableWidth <= 0 || drawableHeight <= 0) {
    *x = *y = 0;
    *w = std::max(0, drawableWidth);
    *h = std::max(0, drawableHeight);
    return;
  }
  // Compare drawableWidth/width with drawableHeight/height without rounding.
  if (static_cast<int64_t>(drawableWidth) * height <= static_cast<int64_t>(drawableHeight) * width) {
    *w = drawableWidth;
    *h = static_cast<int>(static_cast<int64_t>(height) * drawableWidth / width);
  } else {
    *h = drawableHeight;
    *w = static_cast<int>(static_cast<int64_t>(width) * drawableHeight / height);
  }
  *x = (drawableWidth - *w) / 2;
  *y = (drawableHeight - *h) / 2;
}

bool WindowEnterFullscreen(HWND window, int width, int height) {
  WindowObject* w = Find(window);
  if (!w || width <= 0 || height <= 0) return false;
  if (!w->fullscreen) {
    w->fullscreenSaved = w->rect;
    w->fullscreenSavedStyle = w->style;
  }
  const RECT oldClient = ClientScreenRect(*w);
  if (w->sdl && KeepWindowed()) {
    // An ordinary window of the back buffer's size where the client area was.
    w->fullscreen = false;
    RECT r = {oldClient.left, oldClient.top, oldClient.left + width, oldClient.top + height};
    AdjustWindowRectEx(&r, w->style, w->menu != nullptr, w->exStyle);
    w->rect = r;
    SyncSdlDecoration(w);
    SyncSdl(w);
    w->fullscreen = true;
  } else {
    w->fullscreen = true;
    int fx = 0, fy = 0, top = 0;
    NonClient(w->style, w->menu != nullptr, &fx, &fy, &top);
    w->rect = {-fx, -top, width + fx, height + fy};
    if (w->sdl && SDL_SetWindowFullscreen(w->sdl, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
      std::fprintf(stderr, "FAIL: full screen: %s\n", SDL_GetError());
  }
  w->needsPaint = true;
  const RECT c = ClientScreenRect(*w);
  if (c.right - c.left != oldClient.right - oldClient.left || c.bottom - c.top != oldClient.bottom - oldClient.top ||
      c.left != oldClient.left || c.top != oldClient.top)
    SendSizeAndMove(w);
  Notify(window, WINDOW_NOTICE_GEOMETRY);
  return true;
}

void WindowLeaveFullscreen(HWND window) {
  WindowObject* w = Find(window);
  if (!w || !w->fullscreen) return;
  const RECT oldClient = ClientScreenRect(*w);
  w->rect = w->fullscreenSaved;
  if (w->sdl && (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP) {
    // Tell SDL the windowed placement first so it restores to it, not to an older one.
    const RECT c = ClientScreenRect(*w);
    RememberPending(w->pendingSizes, c.right - c.left, c.bottom - c.top);
    RememberPending(w->pendingMoves, c.left, c.top);
    SDL_SetWindowSize(w->sdl, std::max(1, static_cast<int>(c.right - c.left)),
                      std::max(1, static_cast<int>(c.bottom - c.top)));
    SDL_SetWindowPosition(w->sdl, c.left, c.top);
    SDL_SetWindowFullscreen(w->sdl, 0);
  }
  w->fullscreen = false;
  SyncSdlDecoration(w);
  SyncSdl(w);
  w->needsPaint = true;
  const RECT c = ClientScreenRect(*w);
  if (c.right - c.left != oldClient.right - oldClient.left || c.bottom - c.top != oldClient.bottom - oldClient.top ||
      c.left != oldClient.left || c.top != oldClient.top)
    SendSizeAndMove(w);
  Notify(window, WINDOW_NOTICE_GEOMETRY);
}

bool WindowIsFullscreen(HWND window) {
  WindowObject* w = Find(window);
  return w && w->fullscreen;
}

void WindowGetMotionScale(HWND window, float* scaleX, float* scaleY) {
  *scaleX = 1.0f;
  *scaleY = 1.0f;
  WindowObject* w = Find(window);
  if (!w || !w->fullscreen || !w->sdl) return;
  const RECT c = ClientScreenRect(*w);
  int sw = 0, sh = 0;
  SDL_GetWindowSize(w->sdl, &sw, &sh);
  int vx = 0, vy = 0, vw = 0, vh = 0;
  WindowLetterbox(c.right - c.left, c.bottom - c.top, sw, sh, &vx, &vy, &vw, &vh);
  if (vw > 0 && vh > 0) {
    *scaleX = static_cast<float>(c.right - c.left) / static_cast<float>(vw);
    *scaleY = static_cast<float>(c.bottom - c.top) / static_cast<float>(vh);
  }
}

void WindowAddNoticeListener(WindowNoticeListener listener, void* user) {
  g_noticeListeners.push_back({listener, user});
}

void WindowRemoveNoticeListener(WindowNoticeListener listener, void* user) {
  g_noticeListeners.erase(std::remove_if(g_noticeListeners.begin(), g_noticeListeners.end(),
                                         [&](const NoticeEntry& e) { return e.fn == listener && e.user == user; }),
                          g_noticeListeners.end());
}

void WindowUseVirtualWindows(bool on) { g_virtual = on; }

void WindowSimulateMinimize(HWND window) {
  if (WindowObject* w = Find(window)) ApplyMinimize(w, true);
}
void WindowSimulateRestore(HWND window) {
  if (WindowObject* w = Find(window)) ApplyRestore(w, true);
}
void WindowSimulateActivate(HWND window, bool active) {
  if (WindowObject* w = Find(window)) ApplyActivation(w, active);
}
void WindowSimulateUserResize(HWND window, int clientWidth, int clientHeight) {
  if (WindowObject* w = Find(window)) ApplyUserClientSize(w, clientWidth, clientHeight);
}
void WindowSimulateUserMove(HWND window, int clientX, int clientY) {
  if (WindowObject* w = Find(window)) ApplyUserClientMove(w, clientX, clientY);
}
void WindowSimulateClose(HWND window) {
  if (Find(window)) SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void WindowResetAll() {
  while (!g_windows.empty()) DestroyWindow(g_windows.back()->handle);
  g_classes.clear();
  g_active = nullptr;
  ResetMessages();
  ResetMenus();
  ResetCursor();
}

// ---- classes ----

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
  if (!windowClass || !windowClass->lpszClassName || !windowClass->lpfnWndProc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  for (const auto& c : g_classes) {
    if (strcasecmp(c.name.c_str(), windowClass->lpszClassName) == 0) {
      SetLastError(1410);  // class already exists
      return 0;
    }
  }
  ClassEntry entry{windowClass->lpszClassName, *windowClass};
  entry.cls.lpszClassName = nullptr;  // the name lives in entry.name
  entry.cls.lpszMenuName = nullptr;
  g_classes.push_back(entry);
  return static_cast<ATOM>(0xC000 + g_classes.size());
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
  if (!className) return FALSE;
  for (const auto& w : g_windows)
    if (strcasecmp(w->className.c_str(), className) == 0) return FALSE;  // still in use
  for (auto it = g_classes.begin(); it != g_classes.end(); ++it) {
    if (strcasecmp(it->name.c_str(), className) == 0) {
      g_classes.erase(it);
      return TRUE;
    }
  }
  SetLastError(1411);  // class does not exist
  return FALSE;
}

// ---- windows ----

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID) {
  const ClassEntry* cls = nullptr;
  for (const auto& c : g_classes)
    if (className && strcasecmp(c.name.c_str(), className) == 0) cls = &c;
  if (!cls) {
    SetLastError(1407);  // cannot find the window class
    return nullptr;
  }
  if (parent) {
    SetLastError(ERROR_INVALID_PARAMETER);  // child windows are not needed here
    return nullptr;
  }
  if (!g_virtual && !g_videoReady) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      std::fprintf(stderr, "FAIL: SDL video: %s\n", SDL_GetError());
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    g_videoReady = true;
  }

  auto owned = std::make_unique<WindowObject>();
  WindowObject* w = owned.get();
  w->handle = reinterpret_cast<HWND>(g_nextHandle);
  g_nextHandle += 4;
  w->className = cls->name;
  w->proc = cls->cls.lpfnWndProc;
  w->instance = instance;
  w->classCursor = cls->cls.hCursor;
  w->classIcon = cls->cls.hIcon;
  w->style = style & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
  w->exStyle = exStyle;
  w->title = title ? title : "";
  w->menu = menu;
  if (width == CW_USEDEFAULT) {
    width = 640;
    height = 480;
  }
  int sw = 0, sh = 0;
  ScreenSize(&sw, &sh);
  if (x == CW_USEDEFAULT) {
    x = std::max(0, (sw - width) / 2);
    y = std::max(0, (sh - height) / 2);
  }
  w->rect = {x, y, x + width, y + height};
  w->normalRect = w->rect;
  g_windows.push_back(std::move(owned));
  const HWND h = w->handle;

  if (!g_virtual) {
    const RECT c = ClientScreenRect(*w);
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
    if ((style & WS_CAPTION) != WS_CAPTION) flags |= SDL_WINDOW_BORDERLESS;
    w->sdl = SDL_CreateWindow(w->title.c_str(), c.left, c.top, std::max(1, static_cast<int>(c.right - c.left)),
                              std::max(1, static_cast<int>(c.bottom - c.top)), flags);
    if (!w->sdl) {
      std::fprintf(stderr, "FAIL: SDL window: %s\n", SDL_GetError());
      g_windows.pop_back();
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    w->sdlId = SDL_GetWindowID(w->sdl);
    SDL_StopTextInput();  // characters come from TranslateMessage
    int iw = 0, ih = 0;
    const DWORD* pixels = nullptr;
    if (IconPixels(cls->cls.hIcon, &iw, &ih, &pixels)) {
      SDL_Surface* icon = SDL_CreateRGBSurfaceFrom(const_cast<DWORD*>(pixels), iw, ih, 32, iw * 4, 0x00FF0000,
                                                   0x0000FF00, 0x000000FF, 0xFF000000);
      if (icon) {
        SDL_SetWindowIcon(w->sdl, icon);
        SDL_FreeSurface(icon);
      }
    }
  }

  Notify(h, WINDOW_NOTICE_CREATED);
  if (!(w = Find(h))) return nullptr;
  MINMAXINFO mmi = {};
  mmi.ptMaxSize = {sw, sh};
  mmi.ptMaxTrackSize = {sw, sh};
  mmi.ptMinTrackSize = {112, 27};
  SendMessageA(h, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
  if (!(w = Find(h))) return nullptr;
  if (w->sdl) {
    RECT minRect = {0, 0, mmi.ptMinTrackSize.x, mmi.ptMinTrackSize.y};
    const RECT c = ClientScreenRect(*w);
    const int fw = (w->rect.right - w->rect.left) - (c.right - c.left);
    const int fh = (w->rect.bottom - w->rect.top) - (c.bottom - c.top);
    SDL_SetWindowMinimumSize(w->sdl, std::max(1, static_cast<int>(minRect.right) - fw),
                             std::max(1, static_cast<int>(minRect.bottom) - fh));
  }
  if (SendMessageA(h, WM_NCCREATE, 0, 0) == 0 || SendMessageA(h, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(h);
    return nullptr;
  }
  if (!(w = Find(h))) return nullptr;
  SendSizeAndMove(w);
  if ((w = Find(h)) && (style & WS_VISIBLE)) ShowWindow(h, SW_SHOW);
  return Find(h) ? h : nullptr;
}

BOOL DestroyWindow(HWND window) {
  WindowObject* w = Find(window);
  if (!w || w->destroying) return FALSE;
  w->destroying = true;
  if (g_active == window) g_active = nullptr;
  SendMessageA(window, WM_DESTROY, 0, 0);
  SendMessageA(window, WM_NCDESTROY, 0, 0);
  w = Find(window);
  if (w->menu && MenuExists(w->menu)) DestroyMenu(w->menu);
  Notify(window, WINDOW_NOTICE_DESTROYED);
  ForgetMessagesFor(window);
  if (w->sdl) SDL_DestroyWindow(w->sdl);
  g_windows.erase(std::remove_if(g_windows.begin(), g_windows.end(),
                                 [&](const std::unique_ptr<WindowObject>& p) { return p->handle == window; }),
                  g_windows.end());
  // SDL video stays up for the rest of the process: quitting it unloads the GL
  // driver, and a later window would load it again.
  return TRUE;
}

BOOL IsWindow(HWND window) { return Find(window) && !Find(window)->destroying ? TRUE : FALSE; }

BOOL IsWindowVisible(HWND window) {
  WindowObject* w = Find(window);
  return w && (w->style & WS_VISIBLE) ? TRUE : FALSE;
}

BOOL IsIconic(HWND window) {
  WindowObject* w = Find(window);
  return w && w->minimized ? TRUE : FALSE;
}

BOOL IsZoomed(HWND window) {
  WindowObject* w = Find(window);
  return w && w->maximized && !w->minimized ? TRUE : FALSE;
}

BOOL ShowWindow(HWND window, int command) {
  WindowObject* w = Find(window);
  if (!w) return FALSE;
  const BOOL wasVisible = (w->style & WS_VISIBLE) ? TRUE : FALSE;
  switch (command) {
    case SW_HIDE:
      SetVisible(w, false);
      break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
      SetVisible(w, true);
      if ((w = Find(window))) ApplyMinimize(w, false);
      break;
    case SW_MAXIMIZE:
      SetVisible(w, true);
      if ((w = Find(window))) ApplyMaximize(w, false);
      break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
      SetVisible(w, true);
      if ((w = Find(window))) {
        if (w->minimized || w->maximized) ApplyRestore(w, false);
        else ApplyActivation(w, true);
      }
      break;
    default:  // SW_SHOW, SW_SHOWNA, SW_SHOWNOACTIVATE: shown in the present state
      SetVisible(w, true);
      if ((w = Find(window)) && command == SW_SHOW && !w->minimized) ApplyActivation(w, true);
      break;
  }
  return wasVisible;
}

BOOL UpdateWindow(HWND window) {
  WindowObject* w = Find(window);
  if (!w) return FALSE;
  if (w->needsPaint) SendMessageA(window, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL SetWindowPos(HWND window, HWND, int x, int y, int cx, int cy, UINT flags) {
  WindowObject* w = Find(window);
  if (!w) return FALSE;
  RECT& target = w->fullscreen ? w->fullscreenSaved : (w->maximized ? w->normalRect : w->rect);
  RECT r = target;
  if (!(flags & SWP_NOMOVE)) {
    r.right += x - r.left;
    r.bottom += y - r.top;
    r.left = x;
    r.top = y;
  }
  if (!(flags & SWP_NOSIZE)) {
    r.right = r.left + std::max(0, cx);
    r.bottom = r.top + std::max(0, cy);
  }
  const bool changed = std::memcmp(&r, &target, sizeof(RECT)) != 0;
  target = r;
  if (!w->fullscreen && !w->maximized) {
    SyncSdlDecoration(w);
    SyncSdl(w);
    if (changed || (flags & SWP_FRAMECHANGED)) {
      w->needsPaint = true;
      SendSizeAndMove(w);
    }
  }
  if ((w = Find(window))) {
    if (flags & SWP_SHOWWINDOW) SetVisible(w, true);
    else if (flags & SWP_HIDEWINDOW) SetVisible(w, false);
  }
  return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL) {
  return SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER);
}

BOOL GetClientRect(HWND window, LPRECT rect) {
  WindowObject* w = Find(window);
  if (!w || !rect) return FALSE;
  if (w->minimized) {
    *rect = {0, 0, 0, 0};
    return TRUE;
  }
  const RECT c = ClientScreenRect(*w);
  *rect = {0, 0, c.right - c.left, c.bottom - c.top};
  return TRUE;
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
  WindowObject* w = Find(window);
  if (!w || !rect) return FALSE;
  *rect = w->rect;
  return TRUE;
}

BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD) {
  if (!rect) return FALSE;
  int fx = 0, fy = 0, top = 0;
  NonClient(style, menu, &fx, &fy, &top);
  rect->left -= fx;
  rect->right += fx;
  rect->top -= top;
  rect->bottom += fy;
  return TRUE;
}

BOOL AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu) { return AdjustWindowRectEx(rect, style, menu, 0); }

LONG GetWindowLongA(HWND window, int index) {
  WindowObject* w = Find(window);
  if (!w) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  switch (index) {
    case GWL_STYLE:
      return static_cast<LONG>(w->style | (w->minimized ? WS_MINIMIZE : 0u) |
                               (w->maximized && !w->minimized ? WS_MAXIMIZE : 0u));
    case GWL_EXSTYLE:
      return static_cast<LONG>(w->exStyle);
    case GWL_USERDATA:
      return w->userData;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
  }
}

LONG SetWindowLongA(HWND window, int index, LONG value) {
  WindowObject* w = Find(window);
  if (!w) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  const LONG previous = GetWindowLongA(window, index);
  switch (index) {
    case GWL_STYLE: {
      // Visibility and the minimised/maximised state are kept by their own calls.
      const DWORD keep = w->style & WS_VISIBLE;
      w->style = (static_cast<DWORD>(value) & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE)) | keep;
      SyncSdlDecoration(w);
      SyncSdl(w);
      break;
    }
    case GWL_EXSTYLE:
      w->exStyle = static_cast<DWORD>(value);
      break;
    case GWL_USERDATA:
      w->userData = value;
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
  }
  return previous;
}

UINT_PTR GetClassLongPtrA(HWND window, int index) {
  WindowObject* w = Find(window);
  if (!w) return 0;
  if (index == GCLP_HCURSOR) return reinterpret_cast<UINT_PTR>(w->classCursor);
  if (index == GCLP_HICON) return reinterpret_cast<UINT_PTR>(w->classIcon);
  return 0;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  WindowObject* w = Find(window);
  if (!w) return FALSE;
  w->title = text ? text : "";
  if (w->sdl) SDL_SetWindowTitle(w->sdl, w->title.c_str());
  return TRUE;
}

int GetWindowTextA(HWND window, LPSTR buffer, int size) {
  WindowObject* w = Find(window);
  if (!w || !buffer || size <= 0) return 0;
  const int n = std::min(static_cast<int>(w->title.size()), size - 1);
  std::memcpy(buffer, w->title.data(), static_cast<size_t>(n));
  buffer[n] = '\0';
  return n;
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL) {
  WindowObject* w = Find(window);
  if (!w) return FALSE;
  w->needsPaint = true;
  return TRUE;
}

BOOL ValidateRect(HWND window, const RECT*) {
  WindowObject* w = Find(window);
  if (!w) return FALSE;
  w->needsPaint = false;
  return TRUE;
}

HWND GetForegroundWindow() { return g_active; }
HWND GetActiveWindow() { return g_active; }
HWND GetFocus() { return g_active; }

BOOL SetForegroundWindow(HWND window) {
  WindowObject* w = Find(window);
  if (!w) return FALSE;
  if (w->sdl) SDL_RaiseWindow(w->sdl);
  ApplyActivation(w, true);
  return TRUE;
}

int GetSystemMetrics(int index) {
  int sw = 0, sh = 0;
  ScreenSize(&sw, &sh);
  for (auto& w : g_windows) {
    if (w->fullscreen && (!w->sdl || !KeepWindowed())) {
      const RECT c = ClientScreenRect(*w);
      sw = c.right - c.left;
      sh = c.bottom - c.top;
    }
  }
  switch (index) {
    case SM_CXSCREEN: return sw;
    case SM_CYSCREEN: return sh;
    case SM_CYCAPTION: return kCaptionHeight;
    case SM_CXBORDER:
    case SM_CYBORDER: return kBorder;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return kDialogFrame;
    case SM_CXFRAME:
    case SM_CYFRAME: return kSizeFrame;
    case SM_CYMENU: return kMenuHeight;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CXMINTRACK: return 112;
    case SM_CYMINTRACK: return 27;
    case SM_CMONITORS: return 1;
    default: return 0;
  }
}
