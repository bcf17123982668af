// Damaged and hostile images: every case must fail cleanly, and AddressSanitizer
// watches that no byte outside the image is read (each image is copied into a heap
// block of exactly its size).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "platform/win32/pe_image.h"
#include "platform/win32/resources.h"
#include "tests/win32/test_files.h"
#include "tools/pewriter/pe_writer.h"

namespace {

// Layout of the writer's image with the two entries below (checked by Layout test).
const size_t kPe = 0x80;
const size_t kCoff = kPe + 4;
const size_t kOptional = kCoff + 20;
const size_t kResourceDirectory = kOptional + 112 + 16;
const size_t kSection = kOptional + 240;
const size_t kTree = 0x200;
const size_t kTypeDirectory = kTree + 24;
const size_t kNameEntries = kTypeDirectory + 16;
const size_t kLanguageDirectories = kNameEntries + 16;
const size_t kDataEntries = kLanguageDirectories + 48;
const size_t kStrings = kDataEntries + 32;

std::vector<uint8_t> SampleImage() {
  return BuildResourceDll({{"ALPHA", PatternBytes(300, 1)}, {"beta", PatternBytes(10, 2)}});
}

void Put32(std::vector<uint8_t>* image, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*image)[at + i] = static_cast<uint8_t>(value >> (8 * i));
}
void Put16(std::vector<uint8_t>* image, size_t at, uint32_t value) {
  (*image)[at] = static_cast<uint8_t>(value);
  (*image)[at + 1] = static_cast<uint8_t>(value >> 8);
}

struct Outcome {
  bool parsed = false;
  bool found = false;
  DWORD error = 0;
  std::vector<uint8_t> bytes;
};

// Parses an exact-size copy of `image` and looks up RT_RCDATA `name`.
Outcome Examine(const std::vector<uint8_t>& image, const PeResourceKey& name) {
  Outcome outcome;
  std::unique_ptr<uint8_t[]> copy(new uint8_t[image.size() ? image.size() : 1]);
  if (!image.empty()) std::memcpy(copy.get(), image.data(), image.size());
  PeImage pe;
  outcome.parsed = pe.Parse(copy.get(), image.size(), &outcome.error);
  if (!outcome.parsed) return outcome;
  const uint8_t* bytes = nullptr;
  uint32_t size = 0;
  outcome.found = pe.Lookup(PeResourceKey::Id(10), name, &bytes, &size, &outcome.error);
  if (outcome.found) outcome.bytes.assign(bytes, bytes + size);
  return outcome;
}

Outcome Examine(const std::vector<uint8_t>& image, const char* name = "ALPHA") {
  return Examine(image, PeResourceKey::Name(name));
}

// A PE32 copy of the writer's PE32+ image: the same section behind a 32-bit optional header.
std::vector<uint8_t> AsPe32(const std::vector<uint8_t>& image) {
  std::vector<uint8_t> out(image);
  std::fill(out.begin() + kOptional, out.begin() + 0x200, 0);
  Put16(&out, kCoff, 0x14C);         // i386
  Put16(&out, kCoff + 16, 224);      // optional header size
  Put16(&out, kOptional, 0x10B);     // PE32
  Put32(&out, kOptional + 92, 16);   // directories
  std::memcpy(&out[kOptional + 96], &image[kOptional + 112], 128);
  std::memcpy(&out[kOptional + 224], &image[kSection], 40);
  return out;
}

}  // namespace

TEST(PeImageCorruption, LayoutAssumedByTheseTests) {
  const std::vector<uint8_t> image = SampleImage();
  const Outcome alpha = Examine(image);
  ASSERT_TRUE(alpha.found);
  EXPECT_EQ(alpha.bytes, PatternBytes(300, 1));
  EXPECT_EQ(image[kStrings + 2], 'A');
  EXPECT_EQ(image[kSection], '.');
  EXPECT_EQ(image[kResourceDirectory + 1], 0x10);  // RVA 0x1000
  EXPECT_EQ(Examine(image, "Beta").bytes, PatternBytes(10, 2));
  // The reader also takes PE32 images.
  EXPECT_EQ(Examine(AsPe32(image), "beta").bytes, PatternBytes(10, 2));
}

TEST(PeImageCorruption, EveryTruncationFailsCleanly) {
  const std::vector<uint8_t> image = SampleImage();
  PeImage full;
  DWORD error = 0;
  ASSERT_TRUE(full.Parse(image.data(), image.size(), &error));
  const uint8_t* alpha = nullptr;
  const uint8_t* beta = nullptr;
  uint32_t alphaSize = 0, betaSize = 0;
  ASSERT_TRUE(full.Lookup(PeResourceKey::Id(10), PeResourceKey::Name("ALPHA"), &alpha, &alphaSize, &error));
  ASSERT_TRUE(full.Lookup(PeResourceKey::Id(10), PeResourceKey::Name("BETA"), &beta, &betaSize, &error));
  const size_t alphaEnd = static_cast<size_t>(alpha - image.data()) + alphaSize;
  const size_t betaEnd = static_cast<size_t>(beta - image.data()) + betaSize;

  for (size_t length = 0; length < image.size(); ++length) {
    const std::vector<uint8_t> cut(image.begin(), image.begin() + static_cast<long>(length));
    const Outcome a = Examine(cut, "ALPHA");
    const Outcome b = Examine(cut, "BETA");
    EXPECT_EQ(a.found, length >= alphaEnd) << length;
    EXPECT_EQ(b.found, length >= betaEnd) << length;
    if (a.found) {
      EXPECT_EQ(a.bytes, PatternBytes(300, 1));
    }
    // Headers cut short are refused at once.
    if (length < kSection + 40) {
      EXPECT_FALSE(a.parsed) << length;
    }
  }

  // The same through the file calls, at the header boundaries and every 64 bytes.
  TestDirectory directory;
  std::vector<size_t> lengths = {0, 1, 2, 0x3C, 0x40, kPe, kPe + 4, kCoff + 20, kOptional + 2, kSection,
                                 kSection + 40, kTree, kTree + 16, kStrings};
  for (size_t length = 0; length < image.size(); length += 64) lengths.push_back(length);
  for (size_t length : lengths) {
    const std::string path = directory.File("cut.dll");
    ASSERT_TRUE(WriteBytes(path, std::vector<uint8_t>(image.begin(), image.begin() + static_cast<long>(length))));
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT)) << length;
      continue;
    }
    EXPECT_EQ(FindResourceA(module, "ALPHA", RT_RCDATA), nullptr) << length;
    EXPECT_TRUE(FreeLibrary(module));
  }
}

TEST(PeImageCorruption, WrongMagicsAndNonPeFilesAreRefused) {
  const std::vector<uint8_t> image = SampleImage();
  for (size_t at : {size_t(0), kPe, kPe + 2, kOptional, kOptional + 1}) {
    std::vector<uint8_t> bad(image);
    bad[at] ^= 0x5A;
    const Outcome outcome = Examine(bad);
    EXPECT_FALSE(outcome.parsed) << at;
    EXPECT_EQ(outcome.error, static_cast<DWORD>(ERROR_BAD_EXE_FORMAT)) << at;
  }
  TestDirectory directory;
  ASSERT_TRUE(WriteText(directory.File("text.dll"), "MZ but nothing else follows\n"));
  ASSERT_TRUE(WriteBytes(directory.File("empty.dll"), {}));
  for (const char* name : {"text.dll", "empty.dll"}) {
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA(directory.File(name).c_str()), nullptr) << name;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT)) << name;
  }
}

TEST(PeImageCorruption, OffsetsAndRvasOutOfRangeFail) {
  const std::vector<uint8_t> image = SampleImage();
  struct Patch {
    const char* what;
    size_t at;
    uint32_t value;
    bool parses;
  };
  const Patch patches[] = {
      {"PE header offset past the end", 0x3C, 0xFFFFFFF0u, false},
      {"PE header offset at the end", 0x3C, static_cast<uint32_t>(image.size() - 2), false},
      {"section count beyond the file", kCoff + 2, 0xFFFFu, false},
      {"optional header larger than the file", kCoff + 16, 0xFFF0u, false},
      {"optional header too small for directories", kCoff + 16, 100u, false},
      {"resource RVA outside every section", kResourceDirectory, 0xFFFFFFF0u, false},
      {"resource RVA just past the section", kResourceDirectory, 0x1000u + 0x200u, false},
      {"section raw data past the end", kSection + 20, 0xFFFFFE00u, false},
      {"section placed near the top of the address space", kSection + 12, 0xFFFFF000u, false},
      {"type subdirectory past the end", kTree + 20, 0x8FFFFFF0u, true},
      {"name string past the end", kNameEntries, 0xFFFFFFF0u, true},
      {"language subdirectory past the end", kNameEntries + 4, 0xFFFFFFFFu, true},
      {"data entry past the end", kLanguageDirectories + 20, 0x7FFFFFF0u, true},
      {"data RVA outside every section", kDataEntries, 0xFFFFFF00u, true},
      {"data RVA before the section", kDataEntries, 0x10u, true},
      {"huge data size", kDataEntries + 4, 0xFFFFFFFFu, true},
      {"data size one past the section", kDataEntries + 4, 0x200u, true},
      {"name length past the end", kStrings, 0xFFFFu, true},
  };
  for (const Patch& patch : patches) {
    std::vector<uint8_t> bad(image);
    if (patch.at == kCoff + 2 || patch.at == kCoff + 16 || patch.at == kStrings) {
      Put16(&bad, patch.at, patch.value);
    } else {
      Put32(&bad, patch.at, patch.value);
    }
    const Outcome outcome = Examine(bad);
    EXPECT_EQ(outcome.parsed, patch.parses) << patch.what;
    EXPECT_FALSE(outcome.found) << patch.what;
    EXPECT_NE(outcome.error, static_cast<DWORD>(ERROR_SUCCESS)) << patch.what;
  }
  // A directory count larger than the image allows still finds what is really there.
  std::vector<uint8_t> counts(image);
  Put16(&counts, kTypeDirectory + 12, 0xFFFF);
  Put16(&counts, kTypeDirectory + 14, 0xFFFF);
  EXPECT_TRUE(Examine(counts, "BETA").found);
  EXPECT_FALSE(Examine(counts, "GAMMA").found);
  std::vector<uint8_t> directories(image);
  Put32(&directories, kOptional + 108, 0xFFFFFFFFu);  // more directories than the header holds
  EXPECT_TRUE(Examine(directories).found);
  Put32(&directories, kOptional + 108, 2);  // no resource directory at all
  EXPECT_TRUE(Examine(directories).parsed);
  EXPECT_FALSE(Examine(directories).found);
}

TEST(PeImageCorruption, SelfReferencingDirectoriesEnd) {
  const std::vector<uint8_t> image = SampleImage();
  std::vector<uint8_t> loop(image);
  Put32(&loop, kTree + 20, 0x80000000u);  // the type entry points back at the root
  EXPECT_FALSE(Examine(loop).found);
  loop = image;
  Put32(&loop, kNameEntries + 4, 0x80000000u | (kTypeDirectory - kTree));  // name -> its own directory
  EXPECT_FALSE(Examine(loop).found);
  loop = image;
  Put32(&loop, kLanguageDirectories + 20, 0x80000000u | (kLanguageDirectories - kTree));  // language -> itself
  EXPECT_FALSE(Examine(loop).found);
  loop = image;
  Put32(&loop, kLanguageDirectories + 20, 0);  // a data entry that is the root directory
  const Outcome odd = Examine(loop);
  EXPECT_FALSE(odd.found);  // its "RVA" and size are header fields that lead nowhere
  loop = image;
  Put32(&loop, kTree + 16, 0x80000000u);  // the type entry's name points at the root
  EXPECT_FALSE(Examine(loop).found);
  // Integer IDs wider than 16 bits never match.
  loop = image;
  Put32(&loop, kTree + 16, 0x0001000Au);
  EXPECT_FALSE(Examine(loop).found);
}

TEST(PeImageCorruption, OversizedFilesAreRefusedWithoutReadingThem) {
  TestDirectory directory;
  const std::string path = directory.File("huge.dll");
  std::vector<uint8_t> image = SampleImage();
  ASSERT_TRUE(WriteBytes(path, image));
  ASSERT_EQ(truncate(path.c_str(), (off_t(1) << 30) + 1), 0);  // sparse: costs no disk
  SetLastError(0);
  EXPECT_EQ(LoadLibraryA(path.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
}

// A resource in several languages: neutral first, then US English, then the lowest ID,
// whatever the order of the entries.
TEST(PeImageCorruption, LanguagePreferenceIsNeutralThenUsEnglishThenLowest) {
  const std::vector<uint8_t> image = SampleImage();
  const std::vector<uint8_t> alpha = PatternBytes(300, 1);
  // BETA gets a two-entry language directory written over the start of ALPHA's data.
  const size_t directory =
      static_cast<size_t>(std::search(image.begin(), image.end(), alpha.begin(), alpha.end()) - image.begin());
  ASSERT_LT(directory, image.size());
  struct Case {
    uint32_t otherLanguage, preferredLanguage;  // in this order in the directory
  };
  for (Case c : {Case{0x407, 0x409}, Case{0x409, 0x000}, Case{0x411, 0x407}, Case{0x809, 0x400}}) {
    std::vector<uint8_t> languages(image);
    Put32(&languages, kNameEntries + 12, 0x80000000u | static_cast<uint32_t>(directory - kTree));
    Put16(&languages, directory + 12, 0);  // no named entries
    Put16(&languages, directory + 14, 2);
    Put32(&languages, directory + 16, c.otherLanguage);
    Put32(&languages, directory + 20, static_cast<uint32_t>(kDataEntries + 16 - kTree));  // BETA's data
    Put32(&languages, directory + 24, c.preferredLanguage);
    Put32(&languages, directory + 28, static_cast<uint32_t>(kDataEntries - kTree));  // ALPHA's data
    const Outcome outcome = Examine(languages, "BETA");
    EXPECT_TRUE(outcome.found) << std::hex << c.otherLanguage << " " << c.preferredLanguage;
    EXPECT_EQ(outcome.bytes, Examine(languages, "ALPHA").bytes) << std::hex << c.otherLanguage;
  }
}
