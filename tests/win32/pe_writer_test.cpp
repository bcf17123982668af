#include <gtest/gtest.h>

#include <string>

#include "platform/win32/resources.h"
#include "tests/win32/test_files.h"
#include "tools/pewriter/pe_writer.h"

namespace {

uint32_t Get16(const std::vector<uint8_t>& b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t Get32(const std::vector<uint8_t>& b, size_t at) { return Get16(b, at) | (Get16(b, at + 2) << 16); }

const std::vector<PeResource> kSample = {
    {"Ball", PatternBytes(700, 1)},
    {"intro_song", PatternBytes(33, 2)},
    {"Empty", {}},
};

}  // namespace

TEST(PeWriter, OutputIsDeterministicWhateverTheOrder) {
  const std::vector<uint8_t> first = BuildResourceDll(kSample);
  const std::vector<PeResource> reversed(kSample.rbegin(), kSample.rend());
  EXPECT_EQ(first, BuildResourceDll(kSample));
  EXPECT_EQ(first, BuildResourceDll(reversed));
  // Names are stored upper-case (UTF-16) and sorted.
  const std::string text(first.begin(), first.end());
  const size_t ball = text.find(std::string("B\0A\0L\0L\0", 8));
  const size_t empty = text.find(std::string("E\0M\0P\0T\0Y\0", 10));
  const size_t intro = text.find(std::string("I\0N\0T\0R\0O\0_\0S\0O\0N\0G\0", 20));
  ASSERT_NE(ball, std::string::npos);
  ASSERT_NE(intro, std::string::npos);
  EXPECT_LT(ball, empty);
  EXPECT_LT(empty, intro);
  EXPECT_EQ(text.find(std::string("i\0n\0t\0r\0o", 9)), std::string::npos);
}

TEST(PeWriter, HeadersDescribeOneAlignedResourceSection) {
  const std::vector<uint8_t> image = BuildResourceDll(kSample);
  ASSERT_GE(image.size(), 0x200u);
  EXPECT_EQ(Get16(image, 0), 0x5A4Du);
  const uint32_t pe = Get32(image, 0x3C);
  EXPECT_EQ(Get32(image, pe), 0x4550u);
  EXPECT_EQ(Get16(image, pe + 4), 0x8664u);  // x86-64
  EXPECT_EQ(Get16(image, pe + 6), 1u);       // sections
  EXPECT_TRUE(Get16(image, pe + 22) & 0x2000);  // DLL
  const size_t optional = pe + 24;
  EXPECT_EQ(Get16(image, optional), 0x20Bu);  // PE32+
  const uint32_t sectionAlignment = Get32(image, optional + 32);
  const uint32_t fileAlignment = Get32(image, optional + 36);
  EXPECT_EQ(Get32(image, optional + 60) % fileAlignment, 0u);  // SizeOfHeaders
  EXPECT_EQ(image.size() % fileAlignment, 0u);
  const size_t section = optional + Get16(image, pe + 20);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&image[section]), 5), ".rsrc");
  const uint32_t virtualSize = Get32(image, section + 8);
  const uint32_t rva = Get32(image, section + 12);
  EXPECT_EQ(Get32(image, optional + 112 + 16), rva);  // resource data directory
  EXPECT_EQ(Get32(image, optional + 112 + 20), virtualSize);
  const uint32_t sizeOfImage = Get32(image, optional + 56);
  EXPECT_EQ(sizeOfImage % sectionAlignment, 0u);
  EXPECT_EQ(sizeOfImage, (rva + virtualSize + sectionAlignment - 1) / sectionAlignment * sectionAlignment);
  EXPECT_EQ(Get32(image, section + 20) + Get32(image, section + 16), image.size());
  EXPECT_EQ(Get32(image, pe + 8), 0u);  // no time stamp
}

TEST(PeWriter, MinGwObjdumpReadsTheResourceSection) {
  TestDirectory directory;
  const std::string path = directory.File("sample.dll");
  std::string error;
  ASSERT_TRUE(WriteResourceDll(path, kSample, &error)) << error;
  int status = 0;
  const std::string dump = RunCommand("x86_64-w64-mingw32-objdump -x '" + path + "'", &status);
  ASSERT_EQ(status, 0) << "x86_64-w64-mingw32-objdump (binutils-mingw-w64-x86-64) must be installed\n" << dump;
  EXPECT_NE(dump.find("file format pei-x86-64"), std::string::npos) << dump;
  EXPECT_NE(dump.find("Resource Directory [.rsrc]"), std::string::npos) << dump;
  EXPECT_NE(dump.find("The .rsrc Resource Directory section"), std::string::npos) << dump;
  EXPECT_NE(dump.find("INTRO_SONG"), std::string::npos) << dump;
  EXPECT_NE(dump.find("ID: 0x000409"), std::string::npos) << dump;
  EXPECT_NE(dump.find("Size: 0x0002bc"), std::string::npos) << dump;  // 700 bytes of "Ball"
  EXPECT_EQ(dump.find("warning"), std::string::npos) << dump;
  EXPECT_EQ(dump.find("corrupt"), std::string::npos) << dump;
}

TEST(PeWriter, WriteRefusesBadNamesAndBuildKeepsTheFirstOfTwins) {
  TestDirectory directory;
  std::string error;
  EXPECT_FALSE(WriteResourceDll(directory.File("a.dll"), {{"", {1}}}, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(WriteResourceDll(directory.File("b.dll"), {{"Same", {1}}, {"SAME", {2}}}, &error));
  EXPECT_NE(error.find("twice"), std::string::npos);
  EXPECT_FALSE(WriteResourceDll(directory.File("c.dll"), {{"caf\xC3\xA9", {1}}}, &error));
  EXPECT_FALSE(WriteResourceDll(directory.Path() + "/missing/d.dll", {{"A", {1}}}, &error));
  EXPECT_FALSE(std::filesystem::exists(directory.File("a.dll")));

  const std::string path = directory.File("twins.dll");
  ASSERT_TRUE(WriteBytes(path, BuildResourceDll({{"Same", {1}}, {"", {9}}, {"SAME", {2}}})));
  HMODULE module = LoadLibraryA(path.c_str());
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(ResourceBytes(module, "same"), std::vector<uint8_t>{1});
  EXPECT_TRUE(FreeLibrary(module));
}

TEST(PeWriter, PackResourcesToolPacksNamedFiles) {
  const std::string tool = std::string(VANTOREL_BINARY_DIR) + "/pack_resources";
  if (!std::filesystem::exists(tool)) GTEST_SKIP() << "pack_resources is not built";
  TestDirectory directory;
  ASSERT_TRUE(WriteBytes(directory.File("one.bin"), PatternBytes(50, 7)));
  ASSERT_TRUE(WriteBytes(directory.File("two.bin"), {}));
  int status = 0;
  const std::string out = directory.File("res.dll");
  const std::string one = directory.File("one.bin"), two = directory.File("two.bin");
  RunCommand(tool + " '" + out + "' First='" + one + "' second='" + two + "'", &status);
  ASSERT_EQ(status, 0);
  HMODULE module = LoadLibraryA(out.c_str());
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(ResourceBytes(module, "FIRST"), PatternBytes(50, 7));
  EXPECT_EQ(ResourceBytes(module, "Second"), std::vector<uint8_t>());
  EXPECT_TRUE(FreeLibrary(module));
  RunCommand(tool + " '" + directory.File("bad.dll") + "' NoFile='" + directory.File("none.bin") + "'", &status);
  EXPECT_NE(status, 0);
  RunCommand(tool + " '" + directory.File("bad.dll") + "' nameonly", &status);
  EXPECT_NE(status, 0);
}

TEST(PeWriter, AnEmptyListGivesAValidLibraryWithoutResources) {
  TestDirectory directory;
  const std::string path = directory.File("none.dll");
  std::string error;
  ASSERT_TRUE(WriteResourceDll(path, {}, &error)) << error;
  HMODULE module = LoadLibraryA(path.c_str());
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(FindResourceA(module, "Anything", RT_RCDATA), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
  EXPECT_TRUE(FreeLibrary(module));
  int status = 0;
  const std::string dump = RunCommand("x86_64-w64-mingw32-objdump -x '" + path + "'", &status);
  EXPECT_EQ(status, 0) << dump;
  EXPECT_NE(dump.find(".rsrc"), std::string::npos) << dump;
}

TEST(PeWriter, RewritingLeavesAGameThatMapsTheOldLibraryReadingItsBytes) {
  TestDirectory directory;
  const std::string path = directory.File("res.dll");
  const std::vector<uint8_t> original = PatternBytes(64 * 1024, 3);
  ASSERT_TRUE(WriteResourceDll(path, {{"Big", original}}, nullptr));
  HMODULE module = LoadLibraryA(path.c_str());
  ASSERT_NE(module, nullptr);
  HRSRC resource = FindResourceA(module, "Big", RT_RCDATA);
  ASSERT_NE(resource, nullptr);
  const uint8_t* mapped = static_cast<const uint8_t*>(LockResource(LoadResource(module, resource)));
  ASSERT_NE(mapped, nullptr);
  for (uint32_t i = 0; i < 100; ++i) {
    // Smaller each time: a rewrite in place would cut the mapped pages off (SIGBUS).
    ASSERT_TRUE(WriteResourceDll(path, {{"Small", PatternBytes(10 + i, i)}}, nullptr));
    ASSERT_EQ(std::vector<uint8_t>(mapped, mapped + original.size()), original) << i;
  }
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory.Path()), {}), 1);  // no temporary left
}
