// Temporary directories and whole-file reads and writes for the platform tests.
#pragma once

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/win32/resources.h"

class TestDirectory {
 public:
  TestDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantorel-win32-XXXXXX").string();
    if (mkdtemp(&pattern[0])) m_path = pattern;
  }
  ~TestDirectory() {
    std::error_code ignored;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
  }
  TestDirectory(const TestDirectory&) = delete;
  TestDirectory& operator=(const TestDirectory&) = delete;

  const std::string& Path() const { return m_path; }
  std::string File(const std::string& name) const { return m_path + "/" + name; }

 private:
  std::string m_path;
};

inline bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

inline bool WriteText(const std::string& path, const std::string& text) {
  return WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string ReadText(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// Deterministic filler bytes that include zeros and high values.
inline std::vector<uint8_t> PatternBytes(size_t size, uint32_t seed) {
  std::vector<uint8_t> bytes(size);
  uint32_t state = seed * 2654435761u + 1;
  for (uint8_t& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<uint8_t>(state >> 24);
  }
  return bytes;
}

// The bytes of RT_RCDATA resource `name`, read through the Win32 calls; {0xDE, 0xAD}
// when any step fails.
inline std::vector<uint8_t> ResourceBytes(HMODULE module, const char* name) {
  HRSRC resource = FindResourceA(module, name, RT_RCDATA);
  if (!resource) return {0xDE, 0xAD};
  const DWORD size = SizeofResource(module, resource);
  const uint8_t* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(module, resource)));
  return bytes ? std::vector<uint8_t>(bytes, bytes + size) : std::vector<uint8_t>{0xDE, 0xAD};
}

// Runs a command and returns what it printed; `status` gets its exit status.
inline std::string RunCommand(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) {
    *status = -1;
    return output;
  }
  char buffer[4096];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) output.append(buffer, n);
  const int raw = pclose(pipe);
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return output;
}
