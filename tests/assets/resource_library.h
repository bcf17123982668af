// The generated res.dll as the game reads it, and the names the game loads from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32/resources.h"

namespace assettest {

std::string LibraryPath();

// Opens the library once per test; Read gives a copy of a named RT_RCDATA resource.
class ResourceLibrary {
 public:
  ResourceLibrary();
  ~ResourceLibrary();
  bool ok() const { return module_ != nullptr; }
  bool Has(const std::string& name) const;
  std::vector<uint8_t> Read(const std::string& name) const;

 private:
  HMODULE module_ = nullptr;
};

// Every name the game loads, by kind.
const std::vector<std::string>& TextureNames();
const std::vector<std::string>& MeshNames();
const std::vector<std::string>& SampleNames();
const std::vector<std::string>& SongNames();
std::vector<std::string> AllNames();

}  // namespace assettest
