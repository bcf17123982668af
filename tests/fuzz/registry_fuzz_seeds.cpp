// Writes the starting corpus of the settings parser fuzz target.
#include <cstdio>
#include <string>

#include "tests/fuzz/seed_corpus.h"

using fuzz_seeds::WriteSeed;

int main(int argc, char** argv) {
  const std::string dir = fuzz_seeds::SeedDirectory(argc, argv);
  if (dir.empty()) return 2;
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
  const bool ok = WriteSeed(dir + "/full.txt", full) && WriteSeed(dir + "/crlf.txt", crlf) &&
                  WriteSeed(dir + "/empty-store.txt", "vantorel-registry 1\nend\n");
  return ok ? 0 : 1;
}
