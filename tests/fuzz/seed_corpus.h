// What every seed generator shares: each writes a few valid files of its kind into the
// directory named on its command line, as the starting corpus of its fuzz target.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace fuzz_seeds {

inline bool WriteSeed(const std::string& path, const void* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

inline bool WriteSeed(const std::string& path, const std::vector<uint8_t>& bytes) {
  return WriteSeed(path, bytes.data(), bytes.size());
}

inline bool WriteSeed(const std::string& path, const std::string& text) {
  return WriteSeed(path, text.data(), text.size());
}

// The directory given on the command line; empty, after a usage line, without one.
inline std::string SeedDirectory(int argc, char** argv) {
  if (argc == 2 && argv[1][0]) return argv[1];
  std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
  return std::string();
}

}  // namespace fuzz_seeds
