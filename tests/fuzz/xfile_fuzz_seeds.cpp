// Writes the starting corpus of the .x fuzz target into the directory given.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/xfile/xfile_writer.h"
#include "tests/xfile/sample_meshes.h"
#include "tests/fuzz/seed_corpus.h"

using fuzz_seeds::WriteSeed;

int main(int argc, char** argv) {
  const std::string dir = fuzz_seeds::SeedDirectory(argc, argv);
  if (dir.empty()) return 2;
  const xfile::XMeshData full = xfile_test::Cube(true, true, true);
  const xfile::XMeshData plain = xfile_test::Cube(false, false, false);
  bool ok = WriteSeed(dir + "/cube_text.x", xfile_test::Bytes(xfile::WriteXText(full))) &&
            WriteSeed(dir + "/cube_bin.x", xfile::WriteXBinary(full)) &&
            WriteSeed(dir + "/cube_bin64.x", xfile::WriteXBinary(plain, true)) &&
            WriteSeed(dir + "/cube_bzip.x", xfile::WriteXCompressed(full, true)) &&
            WriteSeed(dir + "/cube_tzip.x", xfile::WriteXCompressed(plain, false)) &&
            WriteSeed(dir + "/frames.x", xfile_test::Bytes(xfile_test::FramesFile()));
  return ok ? 0 : 1;
}
