// Runs a check in a forked child, as an unprivileged user when the tests run as root,
// since root reads and writes any file whatever its mode.
#pragma once

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

// True when `body` returns true in the child. With `dropPrivileges`, a child of root
// becomes user and group 65534 first; the files it must reach need to allow that.
template <typename Body>
bool InChildProcess(Body body, bool dropPrivileges) {
  const pid_t child = fork();
  if (child == 0) {
    if (dropPrivileges && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    _exit(body() ? 0 : 1);
  }
  int status = 0;
  return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
