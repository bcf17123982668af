// What SDL leaves undone on an X server without a window manager: there nobody answers
// its requests to iconify a window or to make it cover the screen, so the window would
// keep its old size and never come back from a minimise. The X calls are made directly.
#include "platform/win32/window_internal.h"

// After the project's headers: Xlib's macros would clash with them.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace win32window {
namespace {

bool X11Of(SDL_Window* window, Display** display, ::Window* handle) {
  if (!window) return false;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
  *display = info.info.x11.display;
  *handle = info.info.x11.window;
  return *display != nullptr;
}

}  // namespace

bool UnmanagedX11Window(SDL_Window* window) {
  Display* display = nullptr;
  ::Window handle = 0;
  if (!X11Of(window, &display, &handle)) return false;
  // A compliant window manager names its check window on the root window.
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
  if (check == None) return true;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const int status = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type,
                                        &format, &count, &after, &data);
  const bool managed = status == Success && type == XA_WINDOW && format == 32 && count == 1;
  if (data) XFree(data);
  return !managed;
}

void UnmanagedX11Show(SDL_Window* window, bool show) {
  Display* display = nullptr;
  ::Window handle = 0;
  if (!X11Of(window, &display, &handle)) return;
  // SDL sees the map and unmap as events: restored and minimised.
  if (show) XMapRaised(display, handle);
  else XUnmapWindow(display, handle);
  XFlush(display);
}

void UnmanagedX11Place(SDL_Window* window, int x, int y, int width, int height) {
  Display* display = nullptr;
  ::Window handle = 0;
  if (!X11Of(window, &display, &handle) || width <= 0 || height <= 0) return;
  XMoveResizeWindow(display, handle, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height));
  XFlush(display);
}

}  // namespace win32window
