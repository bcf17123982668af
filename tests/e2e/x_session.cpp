#include "tests/e2e/x_session.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace {

// Shift of the lowest set bit and the width of a colour mask of the visual.
int MaskShift(unsigned long mask) {
  int shift = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

}  // namespace

XSession::XSession(const std::string& displayName) {
  Display* display = XOpenDisplay(displayName.c_str());
  if (!display) {
    m_error = "cannot open display " + displayName;
    return;
  }
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
    m_error = "the display has no XTEST extension";
    XCloseDisplay(display);
    return;
  }
  // A window may go away between listing and asking; that is no reason to abort.
  XSetErrorHandler(IgnoreErrors);
  // Keys are held for several frames, which on a loaded machine outlasts the repeat
  // delay: a repeated Escape would close the menu it has just opened.
  XAutoRepeatOff(display);
  XSync(display, False);
  m_pDisplay = display;
}

XSession::~XSession() {
  if (m_pDisplay) XCloseDisplay(m_pDisplay);
}

unsigned long XSession::FindIn(unsigned long parent, pid_t pid, unsigned long pidAtom) {
  Window root = 0, up = 0, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(m_pDisplay, parent, &root, &up, &children, &count)) return 0;
  unsigned long found = 0;
  for (unsigned int i = 0; i < count && !found; ++i) {
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(m_pDisplay, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items,
                           &after, &data) == Success &&
        data) {
      XWindowAttributes attributes;
      if (format == 32 && items == 1 && static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data)) == pid &&
          XGetWindowAttributes(m_pDisplay, children[i], &attributes) && attributes.map_state == IsViewable)
        found = children[i];
      XFree(data);
    }
    if (!found) found = FindIn(children[i], pid, pidAtom);
  }
  if (children) XFree(children);
  return found;
}

unsigned long XSession::FindWindowOf(pid_t pid) {
  if (!m_pDisplay) return 0;
  const Atom pidAtom = XInternAtom(m_pDisplay, "_NET_WM_PID", False);
  return FindIn(DefaultRootWindow(m_pDisplay), pid, pidAtom);
}

bool XSession::WindowSize(unsigned long window, int* width, int* height) {
  XWindowAttributes attributes;
  if (!m_pDisplay || !XGetWindowAttributes(m_pDisplay, window, &attributes)) return false;
  *width = attributes.width;
  *height = attributes.height;
  return true;
}

void XSession::Focus(unsigned long window) {
  if (!m_pDisplay) return;
  XRaiseWindow(m_pDisplay, window);
  XSetInputFocus(m_pDisplay, window, RevertToParent, CurrentTime);
  XSync(m_pDisplay, False);
}

void XSession::MovePointerTo(int x, int y) {
  if (!m_pDisplay) return;
  XTestFakeMotionEvent(m_pDisplay, DefaultScreen(m_pDisplay), x, y, CurrentTime);
  XFlush(m_pDisplay);
}

void XSession::MovePointerBy(int dx, int dy) {
  if (!m_pDisplay) return;
  XTestFakeRelativeMotionEvent(m_pDisplay, dx, dy, CurrentTime);
  XFlush(m_pDisplay);
}

void XSession::Button(int button, bool down) {
  if (!m_pDisplay) return;
  XTestFakeButtonEvent(m_pDisplay, static_cast<unsigned int>(button), down ? True : False, CurrentTime);
  XFlush(m_pDisplay);
}

bool XSession::Key(unsigned long keysym, bool down) {
  if (!m_pDisplay) return false;
  const KeyCode code = XKeysymToKeycode(m_pDisplay, keysym);
  if (code == 0) return false;
  XTestFakeKeyEvent(m_pDisplay, code, down ? True : False, CurrentTime);
  XFlush(m_pDisplay);
  return true;
}

void XSession::Flush() {
  if (m_pDisplay) XSync(m_pDisplay, False);
}

ScreenImage XSession::Capture(unsigned long window) {
  ScreenImage image;
  int width = 0, height = 0;
  if (!WindowSize(window, &width, &height) || width <= 0 || height <= 0) return image;
  XImage* x = XGetImage(m_pDisplay, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                        AllPlanes, ZPixmap);
  if (!x) return image;
  const int rs = MaskShift(x->red_mask), gs = MaskShift(x->green_mask), bs = MaskShift(x->blue_mask);
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y)
    for (int px = 0; px < width; ++px) {
      const unsigned long p = XGetPixel(x, px, y);
      const unsigned r = static_cast<unsigned>((p & x->red_mask) >> rs) & 0xFF;
      const unsigned g = static_cast<unsigned>((p & x->green_mask) >> gs) & 0xFF;
      const unsigned b = static_cast<unsigned>((p & x->blue_mask) >> bs) & 0xFF;
      image.pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(px)] =
          (r << 16) | (g << 8) | b;
    }
  XDestroyImage(x);
  return image;
}
