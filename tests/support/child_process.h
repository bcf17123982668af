// Runs a check in a forked child, as an unprivileged user when the tests run as root,
// since root reads and writes any file whatever its mode; or watches a child for a
// call that blocks.
#pragma once

#include <signal.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <thread>

// In a forked child: with `dropPrivileges`, a child of root becomes user and group 65534
// first (the files it must reach need to allow that); then `body`, whose result is the
// child's exit status. A check in the child reports its own failure as it happens, so
// `body` may use EXPECT_* and return !::testing::Test::HasFailure().
template <typename Body>
[[noreturn]] void RunAsChild(Body& body, bool dropPrivileges) {
  if (dropPrivileges && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
  _exit(body() ? 0 : 1);
}

// True when `body` returns true in the child (see RunAsChild).
template <typename Body>
bool InChildProcess(Body body, bool dropPrivileges) {
  const pid_t child = fork();
  if (child == 0) RunAsChild(body, dropPrivileges);
  int status = 0;
  return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The system call a process sleeps in, interruptibly, or -1 while it runs, has ended or
// cannot be looked at.
inline long SleepingInCall(pid_t pid) {
  std::ifstream statFile("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
  const size_t name = stat.rfind(')');  // the command name may hold anything
  if (name == std::string::npos || stat.compare(name, 3, ") S") != 0) return -1;
  std::ifstream callFile("/proc/" + std::to_string(pid) + "/syscall");
  long call = -1;
  return callFile >> call ? call : -1;
}

// How `body` went in a child process: it returned true, returned false, or blocked.
enum class ChildOutcome { kTrue, kFalse, kBlocked };
inline std::ostream& operator<<(std::ostream& out, ChildOutcome outcome) {
  return out << (outcome == ChildOutcome::kTrue ? "true" : outcome == ChildOutcome::kFalse ? "false" : "blocked");
}

// Runs `body` in a child (see RunAsChild) that is watched instead of timed: a child found
// asleep in an open, read or write at every look over a while waits for a partner that the
// test never gives it (a FIFO's other end, a device), and is killed as blocked. A busy
// machine only makes the child run slower, never puts it to sleep in those calls, so the
// watch does not depend on the machine's speed. A check that meets the machine's own
// devices drops privileges: a writer gone wrong could otherwise, as root, rename a file
// over /dev/null.
template <typename Body>
ChildOutcome WatchForBlocking(Body body, bool dropPrivileges = false) {
  const pid_t child = fork();
  if (child == 0) RunAsChild(body, dropPrivileges);
  if (child < 0) return ChildOutcome::kFalse;
  int asleep = 0, status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    const long call = SleepingInCall(child);
    const bool blocking = call == SYS_openat || call == SYS_read || call == SYS_write
#ifdef SYS_open
                          || call == SYS_open
#endif
        ;
    asleep = blocking ? asleep + 1 : 0;
    if (asleep == 50) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return ChildOutcome::kBlocked;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ChildOutcome::kTrue : ChildOutcome::kFalse;
}
