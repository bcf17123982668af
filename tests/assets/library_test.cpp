// The generated library holds every resource the game loads, is a well-formed PE file
// for an independent reader, and is built the same way every time.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <set>

#include "tests/assets/resource_library.h"
#include "tools/assetgen/library.h"
#include "tools/pewriter/pe_writer.h"

namespace assettest {
namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(AssetLibrary, HoldsEveryResourceTheGameLoads) {
  ResourceLibrary library;
  ASSERT_TRUE(library.ok()) << "cannot open " << LibraryPath() << " (build the resdll target)";
  for (const std::string& name : AllNames()) EXPECT_FALSE(library.Read(name).empty()) << name;
  // Looked up as the game spells them and in other cases alike.
  EXPECT_TRUE(library.Has("ballTEX"));
  EXPECT_FALSE(library.Has("Caust32"));
  EXPECT_FALSE(library.Has("TexPlace05"));
}

TEST(AssetLibrary, IsRebuiltByteForByte) {
  assetgen::Library generated;
  std::string error;
  ASSERT_TRUE(assetgen::BuildLibrary(&generated, &error)) << error;
  std::vector<PeResource> resources;
  std::set<std::string> names;
  for (const auto& e : generated.entries) {
    resources.push_back({e.name, e.data});
    names.insert(e.name);
  }
  // Nothing beyond what the game asks for, and nothing twice.
  EXPECT_EQ(names.size(), generated.entries.size());
  const std::vector<std::string> wanted = AllNames();
  EXPECT_EQ(names, std::set<std::string>(wanted.begin(), wanted.end()));
  EXPECT_EQ(BuildResourceDll(resources), ReadFile(LibraryPath()));
}

TEST(AssetLibrary, IndependentPeReaderListsTheSameResources) {
  const std::string command = "x86_64-w64-mingw32-objdump -x '" + LibraryPath() + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  const int status = pclose(pipe);
  if (output.find("not found") != std::string::npos && status != 0)
    GTEST_SKIP() << "x86_64-w64-mingw32-objdump is not installed (binutils-mingw-w64-x86-64)";
  ASSERT_EQ(status, 0) << output.substr(0, 2000);
  EXPECT_NE(output.find("file format pei-x86-64"), std::string::npos);
  EXPECT_NE(output.find("Entry: ID: 0x00000a"), std::string::npos) << "no RT_RCDATA type entry";
  // Each named entry is followed by its language entry and the leaf with the data size.
  std::map<std::string, size_t> sizes;
  std::string pending;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    // "Entry: name: [val: 80000f88 len 8]: BALLDOWN, Value: ..."
    const size_t entry = line.find("Entry: name: [");
    const size_t leaf = line.find("Leaf: Addr: ");
    if (entry != std::string::npos) {
      const size_t start = line.find("]: ", entry), end = line.find(", Value", entry);
      if (start != std::string::npos && end != std::string::npos) pending = line.substr(start + 3, end - start - 3);
    } else if (leaf != std::string::npos && !pending.empty()) {
      // "Leaf: Addr: 0x0025d0, Size: 0x001f2e, Codepage: 0"
      const size_t size = line.find("Size: 0x", leaf);
      if (size != std::string::npos) sizes[pending] = std::stoul(line.substr(size + 8), nullptr, 16);
      pending.clear();
    }
  }
  ResourceLibrary library;
  ASSERT_TRUE(library.ok());
  EXPECT_EQ(sizes.size(), AllNames().size());
  for (const std::string& name : AllNames()) {
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_EQ(sizes.count(upper), 1u) << name;
    EXPECT_EQ(sizes[upper], library.Read(name).size()) << name;
  }
}

}  // namespace
}  // namespace assettest
