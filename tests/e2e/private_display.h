// An X server of the scenario's own (Xvfb): the pointer, the keyboard focus and the
// screen are shared by everything on a display, so scenarios that run side by side,
// and other tests' windows, must not meet on one.
#pragma once

#include <string>

#include "tests/e2e/child_process.h"

class PrivateDisplay {
 public:
  // Starts Xvfb with one 1280x1024 24-bit screen; Name() is ":N" once it accepts clients.
  bool Start(std::string* error);
  const std::string& Name() const { return m_name; }

 private:
  ChildProcess m_server;
  std::string m_name;
};
