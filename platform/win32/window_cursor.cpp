// The mouse cursor: system cursors, show/hide, position and clipping, and the
// pixels of our own arrow image for the device cursor.
#include <SDL.h>

#include <algorithm>

#include "platform/win32/window_internal.h"

namespace win32window {
namespace {

constexpr uintptr_t kCursorBase = 0x30000;  // system cursor handle = base + id
HCURSOR g_cursor = nullptr;
bool g_cursorSet = false;  // SetCursor not called yet: the arrow shows
int g_showCount = 0;
POINT g_virtualCursor = {0, 0};
bool g_clipped = false;
SDL_Cursor* g_sdlCursors[4] = {nullptr, nullptr, nullptr, nullptr};

// Our own 32 x 32 arrow: 'X' black, 'o' white, anything else transparent. Hotspot (0, 0).
const char* const kArrow[] = {
    "X",           "XX",          "XoX",          "XooX",        "XoooX",       "XooooX",      "XoooooX",
    "XooooooX",    "XoooooooX",   "XooooooooX",   "XoooooooooX", "XooooooXXXXX", "XoooXooX",    "XooXXooX",
    "XoX  XooX",   "XX   XooX",   "X     XooX",   "      XooX",  "       XX",
};

int SystemIndex(HCURSOR cursor) {
  const uintptr_t h = reinterpret_cast<uintptr_t>(cursor);
  if (h < kCursorBase + 32512 || h > kCursorBase + 32515) return -1;
  return static_cast<int>(h - kCursorBase - 32512);
}

void ApplyCursor() {
  if (Virtual() || !SdlVideoReady()) return;
  const bool visible = g_showCount >= 0 && (!g_cursorSet || g_cursor);
  const int index = SystemIndex(g_cursor);
  if (visible && index >= 0) {
    static const SDL_SystemCursor kinds[4] = {SDL_SYSTEM_CURSOR_ARROW, SDL_SYSTEM_CURSOR_IBEAM,
                                              SDL_SYSTEM_CURSOR_WAIT, SDL_SYSTEM_CURSOR_CROSSHAIR};
    if (!g_sdlCursors[index]) g_sdlCursors[index] = SDL_CreateSystemCursor(kinds[index]);
    if (g_sdlCursors[index]) SDL_SetCursor(g_sdlCursors[index]);
  }
  SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

// The window whose client area stands for the whole screen (full screen), if any.
WindowObject* FullscreenOwner() {
  for (WindowObject* w : AllWindows()) {
    if (w->fullscreen) {
      const RECT c = ClientScreenRect(*w);
      if (c.left == 0 && c.top == 0) return w;
    }
  }
  return nullptr;
}

}  // namespace

void DropSdlCursors() {
  for (SDL_Cursor*& c : g_sdlCursors) {
    if (c && SdlVideoReady()) SDL_FreeCursor(c);
    c = nullptr;
  }
}

void ResetCursor() {
  g_cursor = nullptr;
  g_cursorSet = false;
  g_showCount = 0;
  g_virtualCursor = {0, 0};
  g_clipped = false;
  DropSdlCursors();
}

}  // namespace win32window

using namespace win32window;

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  if (instance || !IS_INTRESOURCE(name)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);  // the program has no cursor resources
    return nullptr;
  }
  const uintptr_t id = reinterpret_cast<uintptr_t>(name);
  if (id < 32512 || id > 32515) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HCURSOR>(kCursorBase + id);
}

BOOL GetCursorPixels(HCURSOR cursor, CURSORPIXELS* out) {
  if (!out || SystemIndex(cursor) != 0) return FALSE;  // only the arrow has an image
  const int w = 32, h = 32;
  out->xHotspot = 0;
  out->yHotspot = 0;
  out->width = w;
  out->maskHeight = 2 * h;
  out->hasColor = false;
  out->color.clear();
  out->mask.assign(static_cast<size_t>(w * 2 * h), 0);
  const int rows = static_cast<int>(sizeof(kArrow) / sizeof(kArrow[0]));
  for (int y = 0; y < h; ++y) {
    const char* line = y < rows ? kArrow[y] : "";
    const int len = static_cast<int>(std::strlen(line));
    for (int x = 0; x < w; ++x) {
      const char c = x < len ? line[x] : ' ';
      const DWORD andBit = (c == 'X' || c == 'o') ? 0u : 0x00FFFFFFu;
      const DWORD xorBit = c == 'o' ? 0x00FFFFFFu : 0u;
      // Bitmap rows top-down: AND rows 0..h-1, XOR rows h..2h-1; stored bottom-up.
      out->mask[static_cast<size_t>((2 * h - 1 - y) * w + x)] = andBit;
      out->mask[static_cast<size_t>((h - 1 - y) * w + x)] = xorBit;
    }
  }
  return TRUE;
}

HCURSOR SetCursor(HCURSOR cursor) {
  const HCURSOR previous = g_cursor;
  g_cursor = cursor;
  g_cursorSet = true;
  ApplyCursor();
  return previous;
}

int ShowCursor(BOOL show) {
  g_showCount += show ? 1 : -1;
  ApplyCursor();
  return g_showCount;
}

BOOL GetCursorPos(LPPOINT point) {
  if (!point) return FALSE;
  if (Virtual() || !SdlVideoReady()) {
    *point = g_virtualCursor;
    return TRUE;
  }
  int x = 0, y = 0;
  SDL_GetGlobalMouseState(&x, &y);
  if (WindowObject* w = FullscreenOwner()) {
    int wx = 0, wy = 0;
    if (w->sdl) SDL_GetWindowPosition(w->sdl, &wx, &wy);
    *point = SdlToClient(*w, x - wx, y - wy);
    return TRUE;
  }
  *point = {x, y};
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  if (Virtual() || !SdlVideoReady()) {
    g_virtualCursor = {x, y};
    return TRUE;
  }
  if (WindowObject* w = FullscreenOwner()) {
    if (!w->sdl) return FALSE;
    const RECT c = ClientScreenRect(*w);
    int sw = 0, sh = 0;
    SDL_GetWindowSize(w->sdl, &sw, &sh);
    int vx = 0, vy = 0, vw = 0, vh = 0;
    WindowLetterbox(c.right - c.left, c.bottom - c.top, sw, sh, &vx, &vy, &vw, &vh);
    const int lw = std::max(1, static_cast<int>(c.right - c.left));
    const int lh = std::max(1, static_cast<int>(c.bottom - c.top));
    SDL_WarpMouseInWindow(w->sdl, vx + x * vw / lw, vy + y * vh / lh);
    return TRUE;
  }
  return SDL_WarpMouseGlobal(x, y) == 0 ? TRUE : FALSE;
}

BOOL ClipCursor(const RECT* rect) {
  g_clipped = rect != nullptr;
  if (Virtual() || !SdlVideoReady()) return TRUE;
  // SDL confines the mouse to a whole window: the active one.
  for (WindowObject* w : AllWindows()) {
    if (w->sdl) SDL_SetWindowGrab(w->sdl, (g_clipped && w->handle == GetActiveWindow()) ? SDL_TRUE : SDL_FALSE);
  }
  return TRUE;
}

BOOL ScreenToClient(HWND window, LPPOINT point) {
  WindowObject* w = Find(window);
  if (!w || !point) return FALSE;
  const RECT c = ClientScreenRect(*w);
  point->x -= c.left;
  point->y -= c.top;
  return TRUE;
}

BOOL ClientToScreen(HWND window, LPPOINT point) {
  WindowObject* w = Find(window);
  if (!w || !point) return FALSE;
  const RECT c = ClientScreenRect(*w);
  point->x += c.left;
  point->y += c.top;
  return TRUE;
}
