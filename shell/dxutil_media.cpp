#include "shell/dxutil_media.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace {

bool IsFile(const std::string& path) {
  struct stat info;
  return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string ExecutableDir() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (length <= 0) return std::string();
  std::string path(buffer, static_cast<size_t>(length));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

bool DXUtil_FindMediaFile(const char* strName, std::string* path) {
  path->clear();
  if (!strName || !*strName) return false;
  const std::string name(strName);
  if (IsFile(name)) {
    *path = name;
    return true;
  }
  if (name.find('/') == std::string::npos) {
    const std::string beside = ExecutableDir() + name;
    if (IsFile(beside)) {
      *path = beside;
      return true;
    }
  }
  return false;
}
