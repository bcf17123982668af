// LoadLibraryA and the resource calls over a read-only private mapping of the file.
// A mapped and checked file is kept for the next LoadLibraryA of the same file, so the
// game's load-find-lock-free for every resource does not map and parse it each time.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
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

// One version of a library file, mapped and checked. A version is the file's identity
// and its last change: a file rewritten or replaced under the same name is another one.
struct MappedFile {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified = {0, 0};
  timespec changed = {0, 0};
  std::string path;
  void* mapping = nullptr;
  size_t mappedSize = 0;
  PeImage image;

  bool IsVersion(const struct stat& info) const {
    return info.st_dev == device && info.st_ino == inode && info.st_size == size &&
           info.st_mtim.tv_sec == modified.tv_sec && info.st_mtim.tv_nsec == modified.tv_nsec &&
           info.st_ctim.tv_sec == changed.tv_sec && info.st_ctim.tv_nsec == changed.tv_nsec;
  }
  ~MappedFile() {
    if (mapping) munmap(mapping, mappedSize);
  }
};

struct LoadedModule {
  // Shared with the cache and other handles of the same version; a file replaced
  // meanwhile does not disturb it (the mapping holds the old file).
  std::shared_ptr<const MappedFile> file;
  PeImage image;
  // Handed out as HRSRC; owned here so they die with the module.
  std::vector<std::unique_ptr<FoundResource>> found;
};

std::mutex g_mutex;

// The versions kept for reuse, newest last; at most kKeptFiles.
const size_t kKeptFiles = 4;
std::deque<std::shared_ptr<const MappedFile>>& KeptFiles() {
  static std::deque<std::shared_ptr<const MappedFile>> files;
  return files;
}

// Why the latest LoadLibraryA failed, and the lines already said on standard error.
std::string g_problem;
std::set<std::string>& SaidProblems() {
  static std::set<std::string> said;
  return said;
}

void ReportProblem(const std::string& line) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_problem = line;
  // Bounded: a program that tries endless names says the first few.
  if (SaidProblems().size() < 16 && SaidProblems().insert(line).second) std::fprintf(stderr, "%s\n", line.c_str());
}
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

std::string ReadExecutableDirectory() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (length <= 0) return std::string();
  path[length] = '\0';
  std::string text(path);
  const size_t slash = text.rfind('/');
  return slash == std::string::npos ? std::string() : text.substr(0, slash);
}

uint32_t Little32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// True when the file holds the raw data of every section its headers declare. The
// reader copes with less (lookups into the missing part fail), but a file cut short is
// a broken copy and is refused whole, as the system loader does.
bool HoldsAllSections(const uint8_t* data, uint64_t size) {
  if (size < 0x40) return false;
  const uint64_t coff = static_cast<uint64_t>(Little32(data + 0x3C)) + 4;
  if (coff + 20 > size) return false;
  const uint32_t sectionCount = data[coff + 2] | (data[coff + 3] << 8);
  const uint32_t optionalSize = data[coff + 16] | (data[coff + 17] << 8);
  const uint64_t table = coff + 20 + optionalSize;
  if (table + 40ull * sectionCount > size) return false;
  for (uint32_t i = 0; i < sectionCount; ++i) {
    const uint8_t* header = data + table + 40ull * i;
    const uint64_t rawSize = Little32(header + 16), rawOffset = Little32(header + 20);
    if (rawSize != 0 && rawOffset + rawSize > size) return false;
  }
  return true;
}

// A file changed within the file system's timestamp granularity of an earlier version
// could keep that version's time and size; only files older than this are kept for reuse.
bool SettledVersion(const MappedFile& file) {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return file.modified.tv_sec + 2 < now.tv_sec;
}

const std::string& ExecutableDirectory() {
  static const std::string directory = ReadExecutableDirectory();
  return directory;
}

std::string WorkingDirectoryPath(const std::string& name) {
  char directory[4096];
  if (!getcwd(directory, sizeof(directory))) return "./" + name;
  return std::string(directory) + "/" + name;
}

// Where a library of that name is looked for: a name with a folder as it stands; a
// bare name beside the program, then in the working directory.
std::vector<std::string> PlacesToLook(const std::string& name) {
  if (name.find('/') != std::string::npos) return {name};
  std::vector<std::string> places;
  const std::string& directory = ExecutableDirectory();
  if (!directory.empty()) places.push_back(directory + "/" + name);
  places.push_back(name);
  return places;
}

// Opens the first regular file among the places a library is looked for; -1 if none,
// with what was tried and why it failed added to `tried`.
int OpenLibraryFile(const std::string& name, std::string* path, std::string* tried) {
  const std::vector<std::string> candidates = PlacesToLook(name);
  for (const std::string& candidate : candidates) {
    // Non-blocking, so that a FIFO under the name cannot stall the open; it is skipped below.
    const int fd = open(candidate.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    const char* why = nullptr;
    if (fd < 0) {
      why = std::strerror(errno);
    } else {
      struct stat info;
      if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        *path = candidate;
        return fd;
      }
      close(fd);
      why = "not a regular file";
    }
    // Started from its own folder, both places are one: named once.
    const std::string shown = candidate.find('/') == std::string::npos ? WorkingDirectoryPath(candidate) : candidate;
    if (tried->find(shown + " (") != std::string::npos) continue;
    if (!tried->empty()) *tried += ", ";
    *tried += shown + " (" + why + ")";
  }
  return -1;
}

// The kept version of the file a bare or given name leads to, if it is still the file's
// current version. One stat per place looked at, no open.
std::shared_ptr<const MappedFile> KeptVersion(const std::string& name) {
  const std::vector<std::string> candidates = PlacesToLook(name);
  for (const std::string& candidate : candidates) {
    struct stat info;
    if (stat(candidate.c_str(), &info) != 0) continue;
    if (!S_ISREG(info.st_mode)) continue;
    std::lock_guard<std::mutex> lock(g_mutex);
    for (const std::shared_ptr<const MappedFile>& file : KeptFiles())
      if (file->IsVersion(info)) return file;
    return nullptr;  // the first regular file is the one LoadLibraryA would open
  }
  return nullptr;
}

// Maps and checks the file LoadLibraryA would open; null with the last error set.
std::shared_ptr<const MappedFile> MapLibraryFile(const std::string& name) {
  std::string path, tried;
  const int fd = OpenLibraryFile(name, &path, &tried);
  if (fd < 0) {
    ReportProblem("Resource library \"" + name + "\" not found: tried " + tried);
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  const std::string shown = path.find('/') == std::string::npos ? WorkingDirectoryPath(path) : path;
  struct stat info;
  const bool known = fstat(fd, &info) == 0;
  if (!known || info.st_size <= 0 || static_cast<uint64_t>(info.st_size) > kMaxLibrarySize) {
    close(fd);
    ReportProblem("Resource library \"" + name + "\" unusable: " + shown +
                  (!known ? " cannot be read" : info.st_size <= 0 ? " is empty" : " is too large"));
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return nullptr;
  }
  auto file = std::make_shared<MappedFile>();
  file->device = info.st_dev;
  file->inode = info.st_ino;
  file->size = info.st_size;
  file->modified = info.st_mtim;
  file->changed = info.st_ctim;
  file->path = path;
  const size_t size = static_cast<size_t>(info.st_size);
  void* mapping = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  close(fd);
  if (mapping == MAP_FAILED) {
    ReportProblem("Resource library \"" + name + "\" unusable: " + shown + " cannot be mapped: " +
                  std::strerror(errno));
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  file->mapping = mapping;
  file->mappedSize = size;
  DWORD error = ERROR_SUCCESS;
  if (!file->image.Parse(static_cast<const uint8_t*>(mapping), size, &error) ||
      !HoldsAllSections(static_cast<const uint8_t*>(mapping), size)) {
    ReportProblem("Resource library \"" + name + "\" unusable: " + shown +
                  " is not a resource library (truncated or damaged)");
    SetLastError(error != ERROR_SUCCESS ? error : ERROR_BAD_EXE_FORMAT);
    return nullptr;
  }
  return file;
}

void Keep(const std::shared_ptr<const MappedFile>& file) {
  std::lock_guard<std::mutex> lock(g_mutex);
  std::deque<std::shared_ptr<const MappedFile>>& kept = KeptFiles();
  // Older versions from the same place are out of date: handles still using them keep
  // their own reference.
  for (auto it = kept.begin(); it != kept.end();) {
    if ((*it)->path == file->path) it = kept.erase(it);
    else ++it;
  }
  kept.push_back(file);
  while (kept.size() > kKeptFiles) kept.pop_front();
}

}  // namespace

HMODULE LoadLibraryA(LPCSTR fileName) {
  if (!fileName || !*fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::shared_ptr<const MappedFile> file = KeptVersion(fileName);
  if (!file) {
    file = MapLibraryFile(fileName);
    if (!file) return nullptr;
    if (SettledVersion(*file)) Keep(file);
  }
  std::unique_ptr<LoadedModule> module(new LoadedModule);
  module->file = file;
  module->image = file->image;
  std::lock_guard<std::mutex> lock(g_mutex);
  g_problem.clear();
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
  delete module;  // the mapping goes with the last handle once the cache has let it go
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

DWORD GetResourceLibraryProblem(LPSTR buffer, DWORD size) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!buffer || size == 0) return 0;
  const size_t length = std::min<size_t>(g_problem.size(), size - 1);
  std::memcpy(buffer, g_problem.data(), length);
  buffer[length] = '\0';
  return static_cast<DWORD>(length);
}
