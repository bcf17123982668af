#include "tests/e2e/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace {

std::string NameOf(const std::string& entry) { return entry.substr(0, entry.find('=')); }

}  // namespace

ChildProcess::~ChildProcess() { Stop(); }

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                         const std::string& workDir, const std::string& logPath, int keepFd) {
  if (argv.empty() || m_pid > 0) return false;
  // Everything the child needs is built before the fork: after it only async-safe calls.
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    bool replaced = false;
    for (const std::string& mine : environment) replaced |= NameOf(mine) == NameOf(*e);
    if (!replaced) env.emplace_back(*e);
  }
  env.insert(env.end(), environment.begin(), environment.end());
  std::vector<char*> args, envp;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  const int log = logPath.empty() ? -1 : open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);

  const pid_t pid = fork();
  if (pid < 0) {
    if (log >= 0) close(log);
    return false;
  }
  if (pid == 0) {
    if (!workDir.empty() && chdir(workDir.c_str()) != 0) _exit(126);
    if (log >= 0) {
      dup2(log, 1);
      dup2(log, 2);
    }
    if (keepFd >= 0) fcntl(keepFd, F_SETFD, 0);
    execve(args[0], args.data(), envp.data());
    // A bare program name is looked up on the PATH.
    execvpe(args[0], args.data(), envp.data());
    _exit(127);
  }
  if (log >= 0) close(log);
  m_pid = pid;
  m_bExited = false;
  return true;
}

bool ChildProcess::Reap(bool block) {
  if (m_pid <= 0 || m_bExited) return m_bExited;
  int status = 0;
  const pid_t r = waitpid(m_pid, &status, block ? 0 : WNOHANG);
  if (r == m_pid) {
    m_bExited = true;
    m_nStatus = status;
  }
  return m_bExited;
}

bool ChildProcess::Running() { return m_pid > 0 && !Reap(false); }

bool ChildProcess::WaitExit(int timeoutMs, int* exitCode, bool* signalled) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!Reap(false)) {
    if (m_pid <= 0 || std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (signalled) *signalled = WIFSIGNALED(m_nStatus);
  if (!WIFEXITED(m_nStatus)) return false;
  if (exitCode) *exitCode = WEXITSTATUS(m_nStatus);
  return true;
}

void ChildProcess::Stop() {
  if (m_pid <= 0 || Reap(false)) return;
  kill(m_pid, SIGTERM);
  WaitExit(3000, nullptr);
  if (!m_bExited) {
    kill(m_pid, SIGKILL);
    Reap(true);
  }
}
