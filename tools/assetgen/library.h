#pragma once
// Everything the resource library holds, generated: names and bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/assetgen/textures.h"

namespace assetgen {

struct LibraryEntry {
  std::string name;
  std::vector<uint8_t> data;
};

struct Library {
  std::vector<LibraryEntry> entries;
  std::vector<TextureAsset> textures;  // kept for contact sheets
};

// Builds every resource; false with a message when a font or encoder is missing.
bool BuildLibrary(Library* library, std::string* error);

// One picture per texture group with every texture of the group, labelled, for looking at.
std::vector<TextureAsset> ContactSheets(const std::vector<TextureAsset>& textures);

}  // namespace assetgen
