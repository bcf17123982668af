// A program started by the tests, stopped and reaped when the object goes, so no
// scenario can leave a game or a display server behind.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();

  // `environment` entries ("NAME=value") replace or add to the test's own. Standard
  // output and error go to `logPath` when it is not empty. `keepFd` stays open in the
  // child (-1: none). False when the program could not be started.
  bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
             const std::string& workDir, const std::string& logPath, int keepFd = -1);

  pid_t Pid() const { return m_pid; }
  bool Running();
  // Waits up to `timeoutMs` for the exit; true with the exit code when it exited
  // normally, false on a timeout or a signal (`*signalled` set then).
  bool WaitExit(int timeoutMs, int* exitCode, bool* signalled = nullptr);
  // SIGTERM, then SIGKILL after a grace time; reaps the process.
  void Stop();

  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

 private:
  bool Reap(bool block);

  pid_t m_pid = -1;
  bool m_bExited = false;
  int m_nStatus = 0;
};
