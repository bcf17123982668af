// Writes the starting corpus of the PE reader fuzz target: resource libraries as the
// asset tools write them.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/pewriter/pe_writer.h"

namespace {

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const std::vector<uint8_t> some(40, 0x5A);
  const bool ok = Write(dir + "/two.dll", BuildResourceDll({{"ALPHA", some}, {"beta", {1, 2, 3}}})) &&
                  Write(dir + "/one.dll", BuildResourceDll({{"Ball_Red.jpg", some}})) &&
                  Write(dir + "/empty.dll", BuildResourceDll({}));
  return ok ? 0 : 1;
}
