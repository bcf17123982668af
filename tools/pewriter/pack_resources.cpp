// pack_resources output.dll NAME=file ...: packs files as named raw-data resources.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/pewriter/pe_writer.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s output.dll NAME=file ...\n", argv[0]);
    return 2;
  }
  std::vector<PeResource> resources;
  for (int i = 2; i < argc; ++i) {
    const std::string argument = argv[i];
    const size_t equals = argument.find('=');
    if (equals == std::string::npos || equals == 0) {
      std::fprintf(stderr, "pack_resources: expected NAME=file, got \"%s\"\n", argv[i]);
      return 2;
    }
    const std::string file = argument.substr(equals + 1);
    std::ifstream input(file, std::ios::binary);
    if (!input) {
      std::fprintf(stderr, "pack_resources: cannot read \"%s\"\n", file.c_str());
      return 1;
    }
    PeResource resource;
    resource.name = argument.substr(0, equals);
    resource.data.assign(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>());
    if (input.bad()) {
      std::fprintf(stderr, "pack_resources: cannot read \"%s\"\n", file.c_str());
      return 1;
    }
    resources.push_back(resource);
  }
  std::string error;
  if (!WriteResourceDll(argv[1], resources, &error)) {
    std::fprintf(stderr, "pack_resources: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
