// The message queue: posted messages, WM_QUIT, WM_PAINT, the window procedures,
// and the SDL events that become messages.
#include <SDL.h>

#include <algorithm>
#include <deque>

#include "platform/win32/message_keys.h"
#include "platform/win32/window_internal.h"
#include "platform/win32/window_testing.h"

namespace win32window {
namespace {

std::deque<MSG> g_queue;
bool g_quitPosted = false;
int g_quitCode = 0;
BYTE g_keyState[256] = {};    // as of the last keyboard message read
BYTE g_asyncState[256] = {};  // as the events came in
WindowWaitHook g_waitHook = nullptr;
void* g_waitHookUser = nullptr;

struct ListenerEntry {
  WindowEventListener fn;
  void* user;
};
std::vector<ListenerEntry> g_listeners;


bool Matches(const MSG& m, HWND window, UINT low, UINT high) {
  if (window && m.hwnd != window) return false;
  if (low == 0 && high == 0) return true;
  return m.message >= low && m.message <= high;
}

POINT CursorNow() {
  POINT p = {0, 0};
  GetCursorPos(&p);
  return p;
}

void Enqueue(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG m = {window, message, wParam, lParam, GetTickCount(), CursorNow()};
  g_queue.push_back(m);
}

// Keeps GetKeyState in step with the keyboard messages the program reads.
void TrackKeyState(const MSG& m) {
  if (m.message != WM_KEYDOWN && m.message != WM_SYSKEYDOWN && m.message != WM_KEYUP && m.message != WM_SYSKEYUP)
    return;
  const int vk = static_cast<int>(m.wParam & 0xFF);
  const bool down = m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN;
  const bool repeat = (static_cast<DWORD>(m.lParam) & (1u << 30)) != 0;
  if (down) {
    if (!(g_keyState[vk] & 0x80) && !repeat) g_keyState[vk] ^= 0x01;
    g_keyState[vk] |= 0x80;
  } else {
    g_keyState[vk] &= static_cast<BYTE>(~0x80);
  }
}

WPARAM MouseKeys() {
  WPARAM mk = 0;
  if (g_asyncState[VK_LBUTTON] & 0x80) mk |= MK_LBUTTON;
  if (g_asyncState[VK_RBUTTON] & 0x80) mk |= MK_RBUTTON;
  if (g_asyncState[VK_MBUTTON] & 0x80) mk |= MK_MBUTTON;
  if (g_asyncState[VK_SHIFT] & 0x80) mk |= MK_SHIFT;
  if (g_asyncState[VK_CONTROL] & 0x80) mk |= MK_CONTROL;
  return mk;
}

WindowObject* EventWindow(uint32_t windowId) {
  if (WindowObject* w = FindBySdlId(windowId)) return w;
  return Find(GetActiveWindow());
}

bool TakePending(std::vector<std::pair<int, int>>& list, int a, int b) {
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].first == a && list[i].second == b) {
      list.erase(list.begin(), list.begin() + static_cast<long>(i) + 1);
      return true;
    }
  }
  return false;
}

void TranslateWindowEvent(const SDL_WindowEvent& e) {
  WindowObject* w = FindBySdlId(e.windowID);
  if (!w || w->destroying) return;
  const HWND h = w->handle;
  switch (e.event) {
    case SDL_WINDOWEVENT_EXPOSED:
      w->needsPaint = true;
      break;
    case SDL_WINDOWEVENT_MINIMIZED:
      ApplyMinimize(w, true);
      break;
    case SDL_WINDOWEVENT_MAXIMIZED:
      if (!w->fullscreen) ApplyMaximize(w, true);
      break;
    case SDL_WINDOWEVENT_RESTORED:
      ApplyRestore(w, true);
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      ApplyActivation(w, true);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      ApplyActivation(w, false);
      break;
    case SDL_WINDOWEVENT_CLOSE:
      PostMessageA(h, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
      Notify(h, WINDOW_NOTICE_GEOMETRY);
      if (!(w = Find(h)) || w->fullscreen || w->minimized) break;
      if (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_FULLSCREEN) break;  // switched by SDL directly
      if (TakePending(w->pendingSizes, e.data1, e.data2)) break;
      const RECT c = ClientScreenRect(*w);
      if (c.right - c.left == e.data1 && c.bottom - c.top == e.data2) break;
      ApplyUserClientSize(w, e.data1, e.data2);
      break;
    }
    case SDL_WINDOWEVENT_MOVED: {
      if (w->fullscreen || w->minimized) break;
      if (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_FULLSCREEN) break;
      if (TakePending(w->pendingMoves, e.data1, e.data2)) break;
      const RECT c = ClientScreenRect(*w);
      if (c.left == e.data1 && c.top == e.data2) break;
      ApplyUserClientMove(w, e.data1, e.data2);
      break;
    }
    default:
      break;
  }
}

void TranslateKeyEvent(const SDL_KeyboardEvent& e) {
  const KeyInfo key = KeyFromScancode(e.keysym.scancode);
  if (key.vk == 0) return;
  const bool down = e.type == SDL_KEYDOWN;
  // Both sides of a modifier count for the generic key.
  auto setAsync = [](int vk, bool isDown) {
    if (isDown) g_asyncState[vk] |= 0x80;
    else g_asyncState[vk] &= static_cast<BYTE>(~0x80);
  };
  setAsync(key.vk, down);
  const SDL_Keymod mod = SDL_GetModState();
  setAsync(VK_SHIFT, (mod & KMOD_SHIFT) != 0 || (key.vk == VK_SHIFT && down));
  setAsync(VK_CONTROL, (mod & KMOD_CTRL) != 0 || (key.vk == VK_CONTROL && down));
  setAsync(VK_MENU, (mod & KMOD_ALT) != 0 || (key.vk == VK_MENU && down));
  if (key.vk == VK_SHIFT || key.vk == VK_CONTROL || key.vk == VK_MENU) setAsync(key.vk, down);
  if (key.vk == VK_CAPITAL && down && !e.repeat) g_asyncState[VK_CAPITAL] ^= 0x01;

  WindowObject* w = EventWindow(e.windowID);
  if (!w) return;
  const bool alt = (e.keysym.mod & KMOD_ALT) != 0 || (key.vk == VK_MENU && down);
  const bool control = (e.keysym.mod & KMOD_CTRL) != 0;
  const bool sys = (alt && !control) || key.vk == VK_F10 || (!down && key.vk == VK_MENU);
  DWORD lp = 1u | (static_cast<DWORD>(key.scanCode & 0xFF) << 16);
  if (key.extended) lp |= 1u << 24;
  if (alt) lp |= 1u << 29;
  if (down && e.repeat) lp |= 1u << 30;
  if (!down) lp |= (1u << 30) | (1u << 31);
  const UINT message = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
  Enqueue(w->handle, message, static_cast<WPARAM>(key.vk), static_cast<LPARAM>(static_cast<int32_t>(lp)));
}

void TranslateMouseMotion(const SDL_MouseMotionEvent& e) {
  WindowObject* w = FindBySdlId(e.windowID);
  if (!w || w->destroying) return;
  const HWND h = w->handle;
  const POINT client = SdlToClient(*w, e.x, e.y);
  POINT screen = client;
  ClientToScreen(h, &screen);
  const LRESULT hit = SendMessageA(h, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y));
  if (!Find(h)) return;
  SendMessageA(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(hit, WM_MOUSEMOVE));
  if (!Find(h)) return;
  const LPARAM lp = MAKELPARAM(client.x, client.y);
  // Like the system, keep only the latest unread motion.
  if (!g_queue.empty() && g_queue.back().hwnd == h && g_queue.back().message == WM_MOUSEMOVE) {
    g_queue.back().wParam = MouseKeys();
    g_queue.back().lParam = lp;
    g_queue.back().time = GetTickCount();
    return;
  }
  Enqueue(h, WM_MOUSEMOVE, MouseKeys(), lp);
}

void TranslateMouseButton(const SDL_MouseButtonEvent& e) {
  if (e.which == SDL_TOUCH_MOUSEID) return;
  int vk = 0;
  UINT downMsg = 0;
  if (e.button == SDL_BUTTON_LEFT) {
    vk = VK_LBUTTON;
    downMsg = WM_LBUTTONDOWN;
  } else if (e.button == SDL_BUTTON_RIGHT) {
    vk = VK_RBUTTON;
    downMsg = WM_RBUTTONDOWN;
  } else if (e.button == SDL_BUTTON_MIDDLE) {
    vk = VK_MBUTTON;
    downMsg = WM_MBUTTONDOWN;
  } else {
    return;
  }
  const bool down = e.type == SDL_MOUSEBUTTONDOWN;
  if (down) g_asyncState[vk] |= 0x80;
  else g_asyncState[vk] &= static_cast<BYTE>(~0x80);
  WindowObject* w = FindBySdlId(e.windowID);
  if (!w || w->destroying) return;
  const HWND h = w->handle;
  const POINT client = SdlToClient(*w, e.x, e.y);
  if (down) {
    SendMessageA(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(HTCLIENT, downMsg));
    if (!Find(h)) return;
  }
  Enqueue(h, down ? downMsg : downMsg + 1, MouseKeys(), MAKELPARAM(client.x, client.y));
}

void TranslateWheel(const SDL_MouseWheelEvent& e) {
  WindowObject* w = FindBySdlId(e.windowID);
  if (!w || e.y == 0) return;
  int dy = e.y;
  if (e.direction == SDL_MOUSEWHEEL_FLIPPED) dy = -dy;
  const POINT p = CursorNow();
  Enqueue(w->handle, WM_MOUSEWHEEL, MAKEWPARAM(MouseKeys(), dy * WHEEL_DELTA), MAKELPARAM(p.x, p.y));
}

void Translate(const SDL_Event& e) {
  switch (e.type) {
    case SDL_WINDOWEVENT:
      TranslateWindowEvent(e.window);
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      TranslateKeyEvent(e.key);
      break;
    case SDL_MOUSEMOTION:
      TranslateMouseMotion(e.motion);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      TranslateMouseButton(e.button);
      break;
    case SDL_MOUSEWHEEL:
      TranslateWheel(e.wheel);
      break;
    case SDL_QUIT:  // the session or a signal asks the program to end
      for (WindowObject* w : AllWindows()) PostMessageA(w->handle, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    default:
      break;
  }
}

// Reads every waiting SDL event: the listeners see it first, then it becomes messages.
void Pump() {
  if (Virtual() || !SdlVideoReady()) return;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    const auto listeners = g_listeners;
    for (const auto& l : listeners) l.fn(&e, l.user);
    Translate(e);
    if (!SdlVideoReady()) break;  // the last window went while handling the event
  }
}

bool NextPaint(HWND filter, MSG* msg) {
  for (WindowObject* w : AllWindows()) {
    if (w->needsPaint && !w->minimized && (w->style & WS_VISIBLE) && (!filter || w->handle == filter)) {
      *msg = {w->handle, WM_PAINT, 0, 0, GetTickCount(), CursorNow()};
      return true;
    }
  }
  return false;
}

bool Take(LPMSG msg, HWND window, UINT low, UINT high, bool remove) {
  Pump();
  for (auto it = g_queue.begin(); it != g_queue.end(); ++it) {
    if (!Matches(*it, window, low, high)) continue;
    *msg = *it;
    if (remove) {
      g_queue.erase(it);
      TrackKeyState(*msg);
    }
    return true;
  }
  if (g_quitPosted && (low == 0 && high == 0 ? true : (WM_QUIT >= low && WM_QUIT <= high))) {
    *msg = {nullptr, WM_QUIT, static_cast<WPARAM>(g_quitCode), 0, GetTickCount(), CursorNow()};
    if (remove) g_quitPosted = false;
    return true;
  }
  if (((low == 0 && high == 0) || (WM_PAINT >= low && WM_PAINT <= high)) && NextPaint(window, msg)) return true;
  if (!window && low == 0 && high == 0) Notify(nullptr, WINDOW_NOTICE_IDLE);
  return false;
}

// Blocks until something may be waiting. False when nothing can ever come.
bool WaitForInput() {
  if (Virtual() || !SdlVideoReady()) {
    if (g_waitHook) g_waitHook(g_waitHookUser);
    return !g_queue.empty() || g_quitPosted;
  }
  SDL_WaitEvent(nullptr);
  return true;
}

}  // namespace

void ForgetMessagesFor(HWND window) {
  g_queue.erase(std::remove_if(g_queue.begin(), g_queue.end(), [&](const MSG& m) { return m.hwnd == window; }),
                g_queue.end());
}

void ResetMessages() {
  g_queue.clear();
  g_quitPosted = false;
  g_quitCode = 0;
  std::memset(g_keyState, 0, sizeof(g_keyState));
  std::memset(g_asyncState, 0, sizeof(g_asyncState));
  g_waitHook = nullptr;
  g_waitHookUser = nullptr;
}

}  // namespace win32window

using namespace win32window;

void WindowAddEventListener(WindowEventListener listener, void* user) { g_listeners.push_back({listener, user}); }

void WindowRemoveEventListener(WindowEventListener listener, void* user) {
  g_listeners.erase(std::remove_if(g_listeners.begin(), g_listeners.end(),
                                   [&](const ListenerEntry& e) { return e.fn == listener && e.user == user; }),
                    g_listeners.end());
}

void WindowSetWaitHook(WindowWaitHook hook, void* user) {
  g_waitHook = hook;
  g_waitHookUser = user;
}

BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (!msg) return FALSE;
  return Take(msg, window, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
  if (!msg) return -1;
  for (;;) {
    if (Take(msg, window, filterMin, filterMax, true)) return msg->message == WM_QUIT ? FALSE : TRUE;
    if (!WaitForInput()) {
      if (Take(msg, window, filterMin, filterMax, true)) return msg->message == WM_QUIT ? FALSE : TRUE;
      *msg = {nullptr, WM_NULL, 0, 0, GetTickCount(), {0, 0}};
      SetLastError(ERROR_INVALID_HANDLE);
      return -1;  // nothing can ever arrive
    }
  }
}

BOOL WaitMessage() {
  Pump();
  if (!g_queue.empty() || g_quitPosted) return TRUE;
  MSG paint;
  if (NextPaint(nullptr, &paint)) return TRUE;
  return WaitForInput() ? TRUE : FALSE;
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg) return FALSE;
  if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return FALSE;
  const int ch = CharFromKey(static_cast<int>(msg->wParam & 0xFF), g_keyState);
  if (ch == 0) return TRUE;
  // The character is the next message read.
  MSG c = *msg;
  c.message = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
  c.wParam = static_cast<WPARAM>(ch);
  g_queue.push_front(c);
  return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
  if (!msg) return 0;
  WindowObject* w = Find(msg->hwnd);
  if (!w || !w->proc) return 0;
  return w->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window) {
    WindowObject* w = Find(window);
    if (!w || w->destroying) {
      SetLastError(1400);  // invalid window handle
      return FALSE;
    }
  }
  Enqueue(window, message, wParam, lParam);
  return TRUE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowObject* w = Find(window);
  if (!w || !w->proc) {
    SetLastError(1400);
    return 0;
  }
  return w->proc(window, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
  g_quitPosted = true;
  g_quitCode = exitCode;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          SendMessageA(window, WM_CLOSE, 0, 0);
          break;
        case SC_MINIMIZE:
          ShowWindow(window, SW_MINIMIZE);
          break;
        case SC_MAXIMIZE:
          ShowWindow(window, SW_MAXIMIZE);
          break;
        case SC_RESTORE:
          ShowWindow(window, SW_RESTORE);
          break;
        default:  // moving, sizing and the menu bar belong to the window manager here
          break;
      }
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F4 && (static_cast<DWORD>(lParam) & (1u << 29)))
        PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_PAINT:
      ValidateRect(window, nullptr);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) {
        if (HCURSOR c = ClassCursor(window)) SetCursor(c);
        return TRUE;
      }
      return FALSE;
    case WM_NCHITTEST:
      return HTCLIENT;  // SDL reports the client area only
    case WM_POWERBROADCAST:
      return TRUE;
    default:
      return 0;
  }
}

SHORT GetKeyState(int virtualKey) {
  const BYTE s = g_keyState[virtualKey & 0xFF];
  return static_cast<SHORT>(((s & 0x80) ? 0x8000 : 0) | (s & 0x01));
}

SHORT GetAsyncKeyState(int virtualKey) {
  return static_cast<SHORT>((g_asyncState[virtualKey & 0xFF] & 0x80) ? 0x8000 : 0);
}
