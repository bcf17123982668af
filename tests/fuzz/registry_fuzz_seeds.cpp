// Writes the starting corpus of the settings parser fuzz target.
#include <cstdio>
#include <string>

namespace {

bool Write(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const std::string full =
      "vantorel-registry 1\n"
      "key \"Software\\Maker\\Vantorel\"\n"
      "value \"Width\" dword 800\n"
      "value \"Name\" sz \"Player%00\"\n"
      "value \"Blob\" binary \"0a0b\"\n"
      "value \"Other\" type:7 \"6100\"\n"
      "key \"A\\B\"\n"
      "value \"\" dword 4294967295\n"
      "end\n";
  std::string crlf;
  for (char c : full) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const bool ok = Write(dir + "/full.txt", full) && Write(dir + "/crlf.txt", crlf) &&
                  Write(dir + "/empty-store.txt", "vantorel-registry 1\nend\n");
  return ok ? 0 : 1;
}
