// Writes the starting corpus of the .x fuzz target into the directory given.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/xfile/xfile_writer.h"
#include "tests/xfile/sample_meshes.h"

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
  const xfile::XMeshData full = xfile_test::Cube(true, true, true);
  const xfile::XMeshData plain = xfile_test::Cube(false, false, false);
  bool ok = Write(dir + "/cube_text.x", xfile_test::Bytes(xfile::WriteXText(full))) &&
            Write(dir + "/cube_bin.x", xfile::WriteXBinary(full)) &&
            Write(dir + "/cube_bin64.x", xfile::WriteXBinary(plain, true)) &&
            Write(dir + "/cube_bzip.x", xfile::WriteXCompressed(full, true)) &&
            Write(dir + "/cube_tzip.x", xfile::WriteXCompressed(plain, false)) &&
            Write(dir + "/frames.x", xfile_test::Bytes(xfile_test::FramesFile()));
  return ok ? 0 : 1;
}
