#include "platform/win32/kept_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace {

std::string Because(const char* what) { return std::string(what) + " (" + std::strerror(errno) + ")"; }

// Why the file at `path`, as `info` describes it, is not to be written over; empty when
// it may be.
std::string RefusalFor(const std::string& path, const struct stat& info) {
  if (!S_ISREG(info.st_mode)) return "is not a regular file";
  // The owner's bit even for root, who may write anything: a file made read-only is
  // meant to stay as it is.
  if (!(info.st_mode & S_IWUSR)) return "is read-only";
  // The file's own permission for this user's effective ids: another user's file in a
  // folder this user may write would otherwise be replaced by the rename.
  if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) return Because("may not be written");
  return "";
}

}  // namespace

std::string ResolveWriteTarget(const std::string& path) {
  std::string target = path;
  // A bounded walk, so a loop of links ends; the last name is written as it stands.
  for (int hops = 0; hops < 40; ++hops) {
    char buffer[PATH_MAX];
    const ssize_t n = readlink(target.c_str(), buffer, sizeof buffer - 1);
    if (n <= 0) break;
    const std::string link(buffer, static_cast<size_t>(n));
    if (link[0] == '/') {
      target = link;
    } else {
      const size_t slash = target.rfind('/');
      target = slash == std::string::npos ? link : target.substr(0, slash + 1) + link;
    }
  }
  return target;
}

std::string TemporaryNameFor(const std::string& target) { return target + ".tmp"; }

bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size, std::string* refusal) {
  if (refusal) refusal->clear();
  const std::string target = ResolveWriteTarget(path);
  const std::string temporary = TemporaryNameFor(target);
  struct stat existing;
  // lstat: a link still standing at the end of the walk (a loop) is no file to replace.
  const bool exists = lstat(target.c_str(), &existing) == 0;
  if (exists) {
    const std::string reason = RefusalFor(target, existing);
    if (!reason.empty()) {
      if (refusal) *refusal = reason;
      return false;
    }
  }
  const mode_t mode = exists ? (existing.st_mode & 07777) : 0644;

  unlink(temporary.c_str());  // a stale one left by a crash
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return false;
  const char* bytes = static_cast<const char*>(data);
  size_t written = 0;
  while (written < size) {
    const ssize_t n = write(fd, bytes + written, size - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  // The umask may have narrowed the mode that open was given.
  bool ok = written == size && (!exists || fchmod(fd, mode) == 0) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok || rename(temporary.c_str(), target.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

KeptFileContents ReadKeptFile(const std::string& path, std::size_t limit) {
  KeptFileContents kept;
  struct stat info;
  // The type is looked at before any open, which on some devices already acts.
  if (stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT) return kept;
    kept.status = KeptFileContents::kRefused;
    kept.reason = Because("cannot be read");
    return kept;
  }
  kept.status = KeptFileContents::kRefused;
  if (!S_ISREG(info.st_mode)) {
    kept.reason = "is not a regular file";
    return kept;
  }
  // Non-blocking and checked again once open, in case the name was swapped meanwhile.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    kept.reason = Because("cannot be read");
    return kept;
  }
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    kept.reason = "is not a regular file";
    return kept;
  }
  // Bounded even if the file grows while it is read; one byte past the limit tells
  // whether there is more.
  kept.bytes.reserve(std::min(limit, static_cast<std::size_t>(std::max<off_t>(info.st_size, 0))));
  char buffer[4096];
  for (;;) {
    const std::size_t room = limit - kept.bytes.size();
    const ssize_t n = read(fd, buffer, room ? std::min(room, sizeof buffer) : 1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) kept.reason = Because("cannot be read");
    if (n <= 0) break;
    if (!room) {
      kept.longer = true;
      break;
    }
    kept.bytes.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  if (!kept.reason.empty()) {
    kept.bytes.clear();
    return kept;
  }
  kept.status = KeptFileContents::kRead;
  return kept;
}

std::FILE* OpenLogFile(const std::string& path, std::string* refusal) {
  refusal->clear();
  struct stat info;
  if (stat(path.c_str(), &info) == 0) {
    *refusal = RefusalFor(path, info);
    if (!refusal->empty()) return nullptr;
  } else if (errno != ENOENT) {
    *refusal = Because("cannot be opened");
    return nullptr;
  }
  // Non-blocking, and checked again once open, in case the name was swapped meanwhile.
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
  if (fd < 0) {
    *refusal = Because("cannot be opened");
    return nullptr;
  }
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    *refusal = "is not a regular file";
    return nullptr;
  }
  std::FILE* log = fdopen(fd, "w");
  if (!log) {
    *refusal = Because("cannot be opened");
    close(fd);
  }
  return log;
}
