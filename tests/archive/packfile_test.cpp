#include "engine/packfile.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/archive/packfile_writer.h"
#include "tests/support/d3d8/recording_device.h"

using packfile_test::Entry;
using packfile_test::WriteArchive;

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// A 2x2 24-bit bottom-up BMP filled with one colour.
std::vector<uint8_t> TinyBmp(uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> out(14 + 40 + 16, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  out[0] = 'B';
  out[1] = 'M';
  put32(2, static_cast<uint32_t>(out.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, 2);
  put32(22, 2);
  out[26] = 1;
  out[28] = 24;
  put32(34, 16);
  for (int row = 0; row < 2; ++row) {
    for (int px = 0; px < 2; ++px) {
      uint8_t* p = &out[54 + row * 8 + px * 3];
      p[0] = b;
      p[1] = g;
      p[2] = r;
    }
  }
  return out;
}

class PackFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/packfile_test_XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    dir = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path;
  }

  static std::vector<uint8_t> Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }

  static void ExpectEntries(const CPackFile& pack, const std::vector<Entry>& entries) {
    ASSERT_EQ(entries.size(), pack.GetCount());
    for (size_t i = 0; i < entries.size(); ++i) {
      const INT index = static_cast<INT>(i);
      EXPECT_STREQ(entries[i].name.c_str(), pack.GetName(index)) << i;
      ASSERT_EQ(entries[i].data.size(), pack.GetSize(index)) << i;
      const BYTE* data = pack.GetData(index);
      ASSERT_NE(nullptr, data);
      EXPECT_EQ(entries[i].data, std::vector<uint8_t>(data, data + pack.GetSize(index))) << entries[i].name;
    }
  }

  // The same rejection every damaged archive gets: closed, empty directory.
  void ExpectRejected(const std::vector<uint8_t>& bytes, const char* what) {
    CPackFile pack;
    EXPECT_EQ(0, pack.Open(nullptr, Write("bad.pak", bytes).c_str())) << what;
    EXPECT_EQ(0u, pack.GetCount()) << what;
    EXPECT_EQ(nullptr, pack.GetData(0)) << what;
    EXPECT_EQ(-1, pack.Find("a")) << what;
  }

  std::vector<Entry> Sample() {
    return {{"ground.png", Bytes("0123456789abcdefghij")},
            {"short", Bytes("xyz")},
            {"exact", Bytes("0123456789")},
            {"empty", {}},
            {"", Bytes("nameless entry data")},
            {"Ball_Red.jpg", Bytes("last entry, a little longer than ten bytes")}};
  }

  std::string dir;
};

TEST_F(PackFileTest, RoundTripPlainArchive) {
  const auto entries = Sample();
  CPackFile pack;
  ASSERT_EQ(1, pack.Open(nullptr, Write("plain.pak", WriteArchive(1024, entries)).c_str()));
  ExpectEntries(pack, entries);
}

TEST_F(PackFileTest, RoundTripScrambledHeadsArchive) {
  const auto entries = Sample();
  const auto bytes = WriteArchive(1025, entries);
  const std::string path = Write("heads.pak", bytes);
  {
    CPackFile pack;
    ASSERT_EQ(1, pack.Open(nullptr, path.c_str()));
    ExpectEntries(pack, entries);
    EXPECT_EQ(bytes, Read(path));  // unscrambled in memory only
    pack.Close();
    pack.FreeDirectory();
  }
  // Nothing was ever written back to the file.
  EXPECT_EQ(bytes, Read(path));
}

TEST_F(PackFileTest, KeysRepeatAsDocumented) {
  EXPECT_EQ(CPackFile::NameKey(0), CPackFile::NameKey(8));
  EXPECT_NE(CPackFile::NumberKey(0), CPackFile::NumberKey(8));
  EXPECT_EQ(CPackFile::NumberKey(0), CPackFile::NumberKey(3));
  EXPECT_NE(CPackFile::NameKey(0), CPackFile::NameKey(3));
  EXPECT_EQ(CPackFile::NameKey(0), CPackFile::NameKey(32));
  EXPECT_EQ(CPackFile::NumberKey(0), CPackFile::NumberKey(32));
  EXPECT_EQ(CPackFile::NumberKey(4), CPackFile::NumberKey(7));
  EXPECT_NE(CPackFile::NumberKey(3), CPackFile::NumberKey(4));
}

TEST_F(PackFileTest, ManyEntriesShareKeysAcrossTheDirectory) {
  for (uint32_t version : {1024u, 1025u}) {
    std::vector<Entry> entries;
    for (int i = 0; i < 255; ++i) {
      std::string name = "entry" + std::to_string(i);
      entries.push_back({name, Bytes(name + std::string(static_cast<size_t>(i % 13), '#'))});
    }
    CPackFile pack;
    ASSERT_EQ(1, pack.Open(nullptr, Write("many.pak", WriteArchive(version, entries)).c_str()));
    ExpectEntries(pack, entries);
    EXPECT_EQ(32, pack.Find("entry32"));
    EXPECT_EQ(254, pack.Find("entry254"));
  }
}

TEST_F(PackFileTest, EmptyArchiveOpensAndFindsNothing) {
  CPackFile pack;
  ASSERT_EQ(1, pack.Open(nullptr, Write("empty.pak", WriteArchive(1025, {})).c_str()));
  EXPECT_EQ(0u, pack.GetCount());
  EXPECT_EQ(-1, pack.Find("anything"));
  EXPECT_EQ(-1, pack.Find(""));
}

TEST_F(PackFileTest, FindIsExactAndReturnsTheFirst) {
  const std::vector<Entry> entries = {{"Wood.png", Bytes("one")}, {"wood.png", Bytes("two")}, {"Wood.png", Bytes("3")}};
  CPackFile pack;
  ASSERT_EQ(1, pack.Open(nullptr, Write("names.pak", WriteArchive(1024, entries)).c_str()));
  EXPECT_EQ(0, pack.Find("Wood.png"));
  EXPECT_EQ(1, pack.Find("wood.png"));
  EXPECT_EQ(-1, pack.Find("WOOD.PNG"));
  EXPECT_EQ(-1, pack.Find("Wood"));
  EXPECT_EQ(-1, pack.Find(nullptr));
}

TEST_F(PackFileTest, IndexesOutsideTheDirectoryAreRefused) {
  CPackFile pack;
  ASSERT_EQ(1, pack.Open(nullptr, Write("plain.pak", WriteArchive(1024, Sample())).c_str()));
  for (INT index : {-1, 6, 1000, INT32_MIN}) {
    EXPECT_EQ(nullptr, pack.GetData(index)) << index;
    EXPECT_EQ(0u, pack.GetSize(index)) << index;
    IDirect3DTexture8* texture = reinterpret_cast<IDirect3DTexture8*>(&pack);
    EXPECT_EQ(0, pack.CreateTexture(index, &texture)) << index;
    EXPECT_EQ(nullptr, texture);
    EXPECT_EQ(0, pack.CreateTextureEx(index, &texture, 0xFF000000));
  }
}

TEST_F(PackFileTest, DamagedArchivesAreRejected) {
  auto entries = Sample();
  const auto good = WriteArchive(1025, entries);

  ExpectRejected({}, "empty file");
  ExpectRejected({0x00, 0x04, 0x00, 0x00}, "no count byte");
  auto wrongVersion = good;
  wrongVersion[0] = 0x02;  // 1026
  ExpectRejected(wrongVersion, "version 1026");
  wrongVersion[0] = 0x00;  // 1024 with a high byte set
  wrongVersion[3] = 0x01;
  ExpectRejected(wrongVersion, "version with a high byte");

  // The directory runs past the end of the file at every field of the last head.
  const size_t lastHead = packfile_test::HeadOffset(entries, entries.size() - 1);
  const size_t directoryEnd = packfile_test::HeadOffset(entries, entries.size());
  for (size_t cut = lastHead; cut < directoryEnd; ++cut) {
    ExpectRejected(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(cut)), "truncated directory");
  }
  // A count larger than the heads present.
  auto moreEntries = WriteArchive(1024, {{"a", Bytes("data")}});
  moreEntries[4] = static_cast<uint8_t>(2 ^ CPackFile::kCountKey);
  ExpectRejected(moreEntries, "count beyond the directory");

  // Data outside the file, including sums that wrap in 32 bits.
  struct Bad {
    uint32_t offset, size;
  };
  for (Bad bad : {Bad{static_cast<uint32_t>(good.size()) - 2, 3}, Bad{static_cast<uint32_t>(good.size()) + 1, 0},
                  Bad{0xFFFFFFF0u, 0x20}, Bad{0x10, 0xFFFFFFFFu}, Bad{0xFFFFFFFFu, 1}}) {
    auto patched = good;
    packfile_test::PatchHead(patched, entries, 1, bad.offset, bad.size);
    ExpectRejected(patched, "data outside the file");
  }
  // Truncated data of the last entry.
  ExpectRejected(std::vector<uint8_t>(good.begin(), good.end() - 1), "truncated data");
}

TEST_F(PackFileTest, ShortEntriesAreUnscrambledOnlyWithinThemselves) {
  // Three bytes at the very end of the file: only those three are scrambled.
  const std::vector<Entry> entries = {{"a", Bytes("ab")}, {"b", Bytes("cdef")}, {"tail", Bytes("xyz")}};
  CPackFile pack;
  ASSERT_EQ(1, pack.Open(nullptr, Write("short.pak", WriteArchive(1025, entries)).c_str()));
  ExpectEntries(pack, entries);
}

TEST_F(PackFileTest, EntriesSharingDataAreUnscrambledOnce) {
  // Two heads point at one stored copy, as a writer that stores equal data once makes them.
  const std::vector<Entry> entries = {{"first", Bytes("0123456789ABCDEF")}, {"alias", Bytes("0123456789ABCDEF")}};
  auto archive = WriteArchive(1025, entries);
  const size_t dataStart = packfile_test::HeadOffset(entries, entries.size());
  archive.resize(dataStart + entries[0].data.size());
  packfile_test::PatchHead(archive, entries, 1, static_cast<uint32_t>(dataStart), 16);
  CPackFile pack;
  ASSERT_EQ(1, pack.Open(nullptr, Write("shared.pak", archive).c_str()));
  ExpectEntries(pack, entries);
}

TEST_F(PackFileTest, SecondOpenReplacesTheFirstAndAFailedOneLeavesItClosed) {
  CPackFile pack;
  ASSERT_EQ(1, pack.Open(nullptr, Write("one.pak", WriteArchive(1024, Sample())).c_str()));
  const std::vector<Entry> other = {{"other", Bytes("other data")}};
  ASSERT_EQ(1, pack.Open(nullptr, Write("two.pak", WriteArchive(1025, other)).c_str()));
  ExpectEntries(pack, other);
  EXPECT_EQ(0, pack.Open(nullptr, (dir + "/missing.pak").c_str()));
  EXPECT_EQ(0u, pack.GetCount());
  EXPECT_EQ(nullptr, pack.GetData(0));
  EXPECT_EQ(0, pack.Open(nullptr, dir.c_str()));  // a directory is no archive
  EXPECT_EQ(0, pack.Open(nullptr, nullptr));
}

TEST_F(PackFileTest, DirectoryCanBeFreedBeforeClose) {
  CPackFile pack;
  ASSERT_EQ(1, pack.Open(nullptr, Write("heads.pak", WriteArchive(1025, Sample())).c_str()));
  pack.FreeDirectory();
  EXPECT_EQ(0u, pack.GetCount());
  EXPECT_EQ(nullptr, pack.GetData(0));
  pack.Close();
  pack.Close();
  pack.FreeDirectory();
}

class PackFileTextureTest : public PackFileTest {
 protected:
  void SetUp() override {
    PackFileTest::SetUp();
    device = new CRecordingDevice();
    for (int i = 0; i < 10; ++i) {
      entries.push_back({"tex" + std::to_string(i), TinyBmp(static_cast<uint8_t>(i * 20), 0x80, 0xFF)});
    }
    entries.push_back({"broken", Bytes("not an image at all")});
    ASSERT_EQ(1, pack.Open(device, Write("textures.pak", WriteArchive(1025, entries)).c_str()));
  }
  void TearDown() override {
    for (IDirect3DTexture8*& t : textures) {
      if (t) t->Release();
      t = nullptr;
    }
    EXPECT_EQ(0u, device->LiveResourceCount());
    device->Release();
    PackFileTest::TearDown();
  }

  size_t Made() const {
    size_t n = 0;
    for (IDirect3DTexture8* t : textures) n += t != nullptr && t != Sentinel();
    return n;
  }
  static IDirect3DTexture8* Sentinel() { return reinterpret_cast<IDirect3DTexture8*>(uintptr_t{0x10}); }
  void FillSentinels() {
    for (IDirect3DTexture8*& t : textures) t = Sentinel();
  }
  size_t Sentinels() const {
    size_t n = 0;
    for (IDirect3DTexture8* t : textures) n += t == Sentinel();
    return n;
  }
  void ClearSentinels() {
    for (IDirect3DTexture8*& t : textures)
      if (t == Sentinel()) t = nullptr;
  }

  CRecordingDevice* device = nullptr;
  std::vector<Entry> entries;
  CPackFile pack;
  IDirect3DTexture8* textures[16] = {};
};

TEST_F(PackFileTextureTest, SingleTexturesByIndexAndName) {
  ASSERT_EQ(1, pack.CreateTexture(0, &textures[0]));
  EXPECT_NE(nullptr, textures[0]);
  ASSERT_EQ(1, pack.CreateTextureExByName("tex9", &textures[1], 0xFF000000));
  ASSERT_EQ(1, pack.CreateTextureByName("tex3", &textures[2]));
  EXPECT_EQ(0, pack.CreateTextureByName("tex10", &textures[3]));
  EXPECT_EQ(nullptr, textures[3]);
  EXPECT_EQ(0, pack.CreateTexture(pack.Find("broken"), &textures[3]));
  EXPECT_EQ(nullptr, textures[3]);
}

TEST_F(PackFileTextureTest, AllEntriesWhenCountIsZeroOrTooLarge) {
  // Eleven entries, the last no image: the run makes ten, then stops and fails.
  EXPECT_EQ(0, pack.CreateTextures(nullptr, textures, 0, 16));
  EXPECT_EQ(10u, Made());
  EXPECT_EQ(nullptr, textures[10]);
}

TEST_F(PackFileTextureTest, FirstNEntries) {
  FillSentinels();
  EXPECT_EQ(1, pack.CreateTexturesEx(nullptr, textures, 2, 2, 0xFF000000));
  EXPECT_EQ(2u, Made());
  EXPECT_EQ(14u, Sentinels());
  ClearSentinels();
}

TEST_F(PackFileTextureTest, NeverWritesPastTheCallersArray) {
  FillSentinels();
  EXPECT_EQ(0, pack.CreateTextures(nullptr, textures, 0, 5));    // would make eleven
  EXPECT_EQ(0, pack.CreateTextures(nullptr, textures, 40, 10));  // likewise
  const char* names[] = {"tex1", "tex2", "tex3"};
  EXPECT_EQ(0, pack.CreateTextures(names, textures, 3, 2));
  EXPECT_EQ(0, pack.CreateTextures(nullptr, nullptr, 2, 2));
  EXPECT_EQ(16u, Sentinels());
  ClearSentinels();
  EXPECT_EQ(11u, pack.TexturesToCreate(nullptr, 0));
  EXPECT_EQ(11u, pack.TexturesToCreate(nullptr, 11));
  EXPECT_EQ(2u, pack.TexturesToCreate(nullptr, 2));
}

TEST_F(PackFileTextureTest, ByNamesInOrderStoppingAtTheFirstFailure) {
  const char* names[] = {"tex4", "tex0", "missing", "tex1"};
  FillSentinels();
  EXPECT_EQ(1, pack.CreateTextures(names, textures, 2, 4));
  EXPECT_EQ(2u, Made());
  EXPECT_EQ(0, pack.CreateTextures(names, textures + 2, 4, 4));
  EXPECT_EQ(4u, Made());
  EXPECT_EQ(nullptr, textures[4]);  // the missing name
  EXPECT_EQ(nullptr, textures[5]);  // not reached
  EXPECT_EQ(10u, Sentinels());
  ClearSentinels();
}

TEST_F(PackFileTextureTest, NoDeviceMakesNoTexture) {
  CPackFile bare;
  ASSERT_EQ(1, bare.Open(nullptr, (dir + "/textures.pak").c_str()));
  EXPECT_EQ(0, bare.CreateTexture(0, &textures[0]));
  EXPECT_EQ(nullptr, textures[0]);
}

}  // namespace
