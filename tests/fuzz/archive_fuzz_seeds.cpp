// Writes the starting corpus of the archive fuzz target into the directory given.
#include <cstdio>
#include <string>
#include <vector>

#include "tests/archive/packfile_writer.h"
#include "tests/fuzz/seed_corpus.h"

using fuzz_seeds::WriteSeed;

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = fuzz_seeds::SeedDirectory(argc, argv);
  if (dir.empty()) return 2;
  using packfile_test::Entry;
  const std::vector<Entry> small = {{"a.png", Bytes("0123456789abcdef")}, {"b", Bytes("xy")}, {"empty", {}}};
  std::vector<Entry> many;
  for (int i = 0; i < 40; ++i) many.push_back({"e" + std::to_string(i), Bytes(std::string(i % 12, 'z'))});
  // A 1x1 24-bit BMP, so the texture path sees a real image.
  std::vector<uint8_t> bmp = {'B', 'M', 58, 0, 0, 0, 0, 0, 0,  0, 54, 0, 0, 0, 40,   0,    0,    0, 1, 0,
                              0,   0,   1,  0, 0, 0, 1, 0, 24, 0, 0,  0, 0, 0, 4,    0,    0,    0, 0, 0,
                              0,   0,   0,  0, 0, 0, 0, 0, 0,  0, 0,  0, 0, 0, 0x20, 0x40, 0x80, 0};
  const bool ok = WriteSeed(dir + "/plain.pak", packfile_test::WriteArchive(1024, small)) &&
                  WriteSeed(dir + "/heads.pak", packfile_test::WriteArchive(1025, small)) &&
                  WriteSeed(dir + "/many.pak", packfile_test::WriteArchive(1025, many)) &&
                  WriteSeed(dir + "/image.pak", packfile_test::WriteArchive(1025, {{"pixel.bmp", bmp}})) &&
                  WriteSeed(dir + "/empty.pak", packfile_test::WriteArchive(1024, {}));
  return ok ? 0 : 1;
}
