// Generates the game's resource library: every texture, mesh, sample and song under the
// names the game loads, packed as RT_RCDATA resources into a PE file.
//   assetgen <res.dll> [--dump DIR] [--sheets DIR]
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/assetgen/library.h"
#include "tools/pewriter/pe_writer.h"

namespace {

// A file extension from the content, so dumped resources open in ordinary viewers.
std::string Extension(const std::vector<uint8_t>& d) {
  if (d.size() > 4 && d[0] == 0x89 && d[1] == 'P') return ".png";
  if (d.size() > 3 && d[0] == 0xFF && d[1] == 0xD8) return ".jpg";
  if (d.size() > 4 && std::memcmp(d.data(), "RIFF", 4) == 0) return ".wav";
  if (d.size() > 4 && std::memcmp(d.data(), "xof ", 4) == 0) return ".x";
  if (d.size() > 1084 && std::memcmp(&d[1080], "M.K.", 4) == 0) return ".mod";
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: assetgen <res.dll> [--dump DIR] [--sheets DIR]\n");
    return 2;
  }
  std::string output = argv[1], dumpDir, sheetDir;
  for (int i = 2; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--dump") == 0) dumpDir = argv[i + 1];
    else if (std::strcmp(argv[i], "--sheets") == 0) sheetDir = argv[i + 1];
  }
  assetgen::Library library;
  std::string error;
  if (!assetgen::BuildLibrary(&library, &error)) {
    std::fprintf(stderr, "assetgen: %s\n", error.c_str());
    return 1;
  }
  std::vector<PeResource> resources;
  for (const assetgen::LibraryEntry& e : library.entries) resources.push_back({e.name, e.data});
  if (!WriteResourceDll(output, resources, &error)) {
    std::fprintf(stderr, "assetgen: %s\n", error.c_str());
    return 1;
  }
  if (!dumpDir.empty())
    for (const assetgen::LibraryEntry& e : library.entries) assetgen::WriteFile(dumpDir + "/" + e.name + Extension(e.data), e.data);
  if (!sheetDir.empty())
    for (const assetgen::TextureAsset& sheet : assetgen::ContactSheets(library.textures))
      assetgen::WriteFile(sheetDir + "/" + sheet.name + ".png", assetgen::Encode(sheet));
  std::printf("assetgen: %zu resources written to %s\n", resources.size(), output.c_str());
  return 0;
}
