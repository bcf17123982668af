// libFuzzer target for the settings store's file parser, through the registry calls:
// any file must read as some keys or be refused, and a store that reads must write
// back a file that reads again.
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/win32/registry.h"

namespace {

const char* const kKeys[] = {"Software\\Maker\\Vantorel", "Software", "A", "A\\B"};
const char* const kValues[] = {"", "Width", "Name", "Blob", "V", "Other"};

void QueryAll(HKEY key) {
  for (const char* name : kValues) {
    BYTE data[64];
    DWORD size = sizeof data, type = 0;
    RegQueryValueExA(key, name, nullptr, &type, data, &size);
  }
}

std::string& Directory() {
  static std::string directory;
  return directory;
}

void RemoveDirectory() {
  const std::string& directory = Directory();
  if (directory.empty()) return;
  for (const char* name : {"/registry.txt", "/registry.txt.tmp"}) unlink((directory + name).c_str());
  rmdir(directory.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The store's file in a private directory, written by plain calls (not under test).
  std::string& directory = Directory();
  if (directory.empty()) {
    char pattern[] = "/tmp/registry_fuzz_XXXXXX";
    if (!mkdtemp(pattern)) return 0;
    directory = pattern;
    std::atexit(RemoveDirectory);
    setenv("VANTOREL_REGISTRY_FILE", (directory + "/registry.txt").c_str(), 1);
  }
  const std::string path = directory + "/registry.txt";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  const bool written = std::fwrite(data, 1, size, file) == size;
  if (std::fclose(file) != 0 || !written) return 0;

  for (const char* name : kKeys) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) continue;
    QueryAll(key);
    const DWORD value = 42;
    if (RegSetValueExA(key, "Fuzz", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4) == ERROR_SUCCESS) {
      // What the store wrote must read back.
      DWORD back = 0, length = sizeof back;
      if (RegQueryValueExA(key, "Fuzz", nullptr, nullptr, reinterpret_cast<BYTE*>(&back), &length) != ERROR_SUCCESS ||
          back != value) {
        __builtin_trap();
      }
    }
    RegCloseKey(key);
  }
  return 0;
}
