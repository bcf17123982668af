// A client of an X display that finds a program's window, sends it real input
// through the XTEST extension and reads its pixels back.
#pragma once

#include <sys/types.h>

#include <string>

#include "tests/e2e/screen_image.h"

struct _XDisplay;

class XSession {
 public:
  // Not open (IsOpen() false) when the display cannot be reached or lacks XTEST.
  explicit XSession(const std::string& displayName);
  ~XSession();

  bool IsOpen() const { return m_pDisplay != nullptr; }
  const std::string& Error() const { return m_error; }

  // The top-level window that the process announced as its own (_NET_WM_PID) and
  // that is mapped; 0 while there is none.
  unsigned long FindWindowOf(pid_t pid);
  bool WindowSize(unsigned long window, int* width, int* height);
  // Gives the window the keyboard focus (there is no window manager to do it).
  void Focus(unsigned long window);

  void MovePointerTo(int x, int y);
  void MovePointerBy(int dx, int dy);
  // 1 left, 2 middle, 3 right.
  void Button(int button, bool down);
  // An X keysym (XK_Escape, XK_a, ...); false when the keyboard has no key for it.
  bool Key(unsigned long keysym, bool down);
  void Flush();

  // The window's pixels; an empty image when it cannot be read.
  ScreenImage Capture(unsigned long window);

  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

 private:
  unsigned long FindIn(unsigned long parent, pid_t pid, unsigned long pidAtom);

  _XDisplay* m_pDisplay = nullptr;
  std::string m_error;
};
