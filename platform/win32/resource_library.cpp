// LoadLibraryA and the resource calls over a read-only private mapping of the file.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/win32/pe_image.h"
#include "platform/win32/resources.h"

namespace {

// Larger files are refused rather than mapped: no resource library comes near it.
const uint64_t kMaxLibrarySize = uint64_t(1) << 30;

struct FoundResource {
  const uint8_t* bytes;
  uint32_t size;
};

struct LoadedModule {
  void* mapping = nullptr;
  size_t mappedSize = 0;
  PeImage image;
  // Handed out as HRSRC; owned here so they die with the module.
  std::vector<std::unique_ptr<FoundResource>> found;
};

std::mutex g_mutex;
std::set<LoadedModule*>& Modules() {
  static std::set<LoadedModule*> modules;
  return modules;
}

LoadedModule* LiveModule(HMODULE handle) {
  LoadedModule* module = reinterpret_cast<LoadedModule*>(handle);
  return Modules().count(module) ? module : nullptr;
}

FoundResource* LiveResource(LoadedModule* module, HRSRC handle) {
  for (const std::unique_ptr<FoundResource>& found : module->found) {
    if (reinterpret_cast<HRSRC>(found.get()) == handle) return found.get();
  }
  return nullptr;
}

// The resource `resource` of the live module `handle`; null, with ERROR_INVALID_HANDLE
// as the last error, when either is not (or no longer) valid.
FoundResource* LiveResourceOf(HMODULE handle, HRSRC resource) {
  LoadedModule* module = LiveModule(handle);
  FoundResource* found = module ? LiveResource(module, resource) : nullptr;
  if (!found) SetLastError(ERROR_INVALID_HANDLE);
  return found;
}

std::string ExecutableDirectory() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (length <= 0) return std::string();
  path[length] = '\0';
  std::string text(path);
  const size_t slash = text.rfind('/');
  return slash == std::string::npos ? std::string() : text.substr(0, slash);
}

// Opens the first regular file among the places a library is looked for; -1 if none.
int OpenLibraryFile(const std::string& name) {
  std::vector<std::string> candidates;
  if (name.find('/') != std::string::npos) {
    candidates.push_back(name);
  } else {
    const std::string directory = ExecutableDirectory();
    if (!directory.empty()) candidates.push_back(directory + "/" + name);
    candidates.push_back(name);
  }
  for (const std::string& candidate : candidates) {
    // Non-blocking, so that a FIFO under the name cannot stall the open; it is skipped below.
    const int fd = open(candidate.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) return fd;
    close(fd);
  }
  return -1;
}

}  // namespace

HMODULE LoadLibraryA(LPCSTR fileName) {
  if (!fileName || !*fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const int fd = OpenLibraryFile(fileName);
  if (fd < 0) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || info.st_size <= 0 || static_cast<uint64_t>(info.st_size) > kMaxLibrarySize) {
    close(fd);
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return nullptr;
  }
  const size_t size = static_cast<size_t>(info.st_size);
  void* mapping = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  close(fd);
  if (mapping == MAP_FAILED) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::unique_ptr<LoadedModule> module(new LoadedModule);
  module->mapping = mapping;
  module->mappedSize = size;
  DWORD error = ERROR_SUCCESS;
  if (!module->image.Parse(static_cast<const uint8_t*>(mapping), size, &error)) {
    munmap(mapping, size);
    SetLastError(error);
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  LoadedModule* raw = module.release();
  Modules().insert(raw);
  return reinterpret_cast<HMODULE>(raw);
}

BOOL FreeLibrary(HMODULE handle) {
  LoadedModule* module = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    module = LiveModule(handle);
    if (!module) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    Modules().erase(module);
  }
  munmap(module->mapping, module->mappedSize);
  delete module;
  return TRUE;
}

HRSRC FindResourceA(HMODULE handle, LPCSTR name, LPCSTR type) {
  PeResourceKey nameKey, typeKey;
  if (!PeResourceKey::FromArgument(name, &nameKey) || !PeResourceKey::FromArgument(type, &typeKey)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  LoadedModule* module = LiveModule(handle);
  if (!module) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const uint8_t* bytes = nullptr;
  uint32_t size = 0;
  DWORD error = ERROR_SUCCESS;
  if (!module->image.Lookup(typeKey, nameKey, &bytes, &size, &error)) {
    SetLastError(error);
    return nullptr;
  }
  // The same resource found again gets the same handle, so repeated lookups do not pile up.
  for (const std::unique_ptr<FoundResource>& found : module->found) {
    if (found->bytes == bytes && found->size == size) return reinterpret_cast<HRSRC>(found.get());
  }
  module->found.push_back(std::unique_ptr<FoundResource>(new FoundResource{bytes, size}));
  return reinterpret_cast<HRSRC>(module->found.back().get());
}

DWORD SizeofResource(HMODULE handle, HRSRC resource) {
  std::lock_guard<std::mutex> lock(g_mutex);
  const FoundResource* found = LiveResourceOf(handle, resource);
  return found ? found->size : 0;
}

HGLOBAL LoadResource(HMODULE handle, HRSRC resource) {
  std::lock_guard<std::mutex> lock(g_mutex);
  const FoundResource* found = LiveResourceOf(handle, resource);
  return found ? const_cast<uint8_t*>(found->bytes) : nullptr;
}

LPVOID LockResource(HGLOBAL resourceData) { return resourceData; }
