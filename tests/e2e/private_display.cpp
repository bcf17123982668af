#include "tests/e2e/private_display.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>

bool PrivateDisplay::Start(std::string* error) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    *error = "no pipe for the display number";
    return false;
  }
  // The server picks a free display itself and writes its number to the pipe when ready.
  const bool started = m_server.Start(
      {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"},
      {}, "", "/dev/null", fds[1]);
  close(fds[1]);
  if (!started) {
    close(fds[0]);
    *error = "Xvfb could not be started";
    return false;
  }
  std::string number;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 200) <= 0) continue;
    char buffer[16];
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n <= 0) break;  // the server died
    number.append(buffer, static_cast<size_t>(n));
  }
  close(fds[0]);
  const size_t end = number.find('\n');
  if (end == std::string::npos || end == 0) {
    *error = "Xvfb did not report a display";
    return false;
  }
  m_name = ":" + number.substr(0, end);
  return true;
}
