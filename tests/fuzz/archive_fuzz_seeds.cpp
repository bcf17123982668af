// Writes the starting corpus of the archive fuzz target into the directory given.
#include <cstdio>
#include <string>
#include <vector>

#include "tests/archive/packfile_writer.h"

namespace {

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  using packfile_test::Entry;
  const std::vector<Entry> small = {{"a.png", Bytes("0123456789abcdef")}, {"b", Bytes("xy")}, {"empty", {}}};
  std::vector<Entry> many;
  for (int i = 0; i < 40; ++i) many.push_back({"e" + std::to_string(i), Bytes(std::string(i % 12, 'z'))});
  // A 1x1 24-bit BMP, so the texture path sees a real image.
  std::vector<uint8_t> bmp = {'B', 'M', 58, 0, 0, 0, 0, 0, 0,  0, 54, 0, 0, 0, 40,   0,    0,    0, 1, 0,
                              0,   0,   1,  0, 0, 0, 1, 0, 24, 0, 0,  0, 0, 0, 4,    0,    0,    0, 0, 0,
                              0,   0,   0,  0, 0, 0, 0, 0, 0,  0, 0,  0, 0, 0, 0x20, 0x40, 0x80, 0};
  const bool ok = Write(dir + "/plain.pak", packfile_test::WriteArchive(1024, small)) &&
                  Write(dir + "/heads.pak", packfile_test::WriteArchive(1025, small)) &&
                  Write(dir + "/many.pak", packfile_test::WriteArchive(1025, many)) &&
                  Write(dir + "/image.pak", packfile_test::WriteArchive(1025, {{"pixel.bmp", bmp}})) &&
                  Write(dir + "/empty.pak", packfile_test::WriteArchive(1024, {}));
  return ok ? 0 : 1;
}
