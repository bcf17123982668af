// Writes the starting corpus of the PE reader fuzz target: resource libraries as the
// asset tools write them.
#include <cstdio>
#include <string>
#include <vector>

#include "tests/fuzz/seed_corpus.h"
#include "tools/pewriter/pe_writer.h"

using fuzz_seeds::WriteSeed;

int main(int argc, char** argv) {
  const std::string dir = fuzz_seeds::SeedDirectory(argc, argv);
  if (dir.empty()) return 2;
  const std::vector<uint8_t> some(40, 0x5A);
  const bool ok = WriteSeed(dir + "/two.dll", BuildResourceDll({{"ALPHA", some}, {"beta", {1, 2, 3}}})) &&
                  WriteSeed(dir + "/one.dll", BuildResourceDll({{"Ball_Red.jpg", some}})) &&
                  WriteSeed(dir + "/empty.dll", BuildResourceDll({}));
  return ok ? 0 : 1;
}
