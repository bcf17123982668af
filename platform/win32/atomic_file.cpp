#include "platform/win32/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

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

bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size) {
  const std::string target = ResolveWriteTarget(path);
  const std::string temporary = TemporaryNameFor(target);
  struct stat existing;
  const bool exists = stat(target.c_str(), &existing) == 0;
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

long ReadKeptFile(const std::string& path, void* buffer, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return -1;
  const std::size_t n = std::fread(buffer, 1, size, f);
  const bool longer = std::fgetc(f) != EOF;
  std::fclose(f);
  return static_cast<long>(longer ? size + 1 : n);
}
