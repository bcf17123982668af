// The kept-file reader and writer on files that are not what they should be: FIFOs
// (made without a writer, so only a read that never blocks can pass), links to them,
// files too long or unreadable, and files their owner made read-only.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32/atomic_file.h"
#include "tests/win32/test_files.h"

namespace {

class KeptFile : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(m_directory.Path().empty()); }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_directory.Path()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  static bool IsFifo(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
  }
  TestDirectory m_directory;
};

TEST_F(KeptFile, ReaderRefusesWhatIsNotARegularFileAndKeepsAtMostTheLimit) {
  const std::string fifo = m_directory.File("fifo"), link = m_directory.File("link");
  const std::string plain = m_directory.File("plain");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(symlink("fifo", link.c_str()), 0);
  for (const std::string& path : {fifo, link, m_directory.Path(), std::string("/dev/null")}) {
    const KeptFileContents kept = ReadKeptFile(path, 16);
    EXPECT_EQ(kept.status, KeptFileContents::kRefused) << path;
    EXPECT_EQ(kept.reason, "is not a regular file") << path;
  }
  EXPECT_TRUE(IsFifo(fifo));
  EXPECT_EQ(ReadKeptFile(m_directory.File("none"), 16).status, KeptFileContents::kMissing);
  // There, but out of reach: not missing, so a caller knows not to write over it.
  ASSERT_TRUE(WriteText(plain, "text"));
  const KeptFileContents below = ReadKeptFile(plain + "/file", 16);
  EXPECT_EQ(below.status, KeptFileContents::kRefused);
  EXPECT_EQ(below.reason.rfind("cannot be read (", 0), 0u) << below.reason;

  for (size_t size : {size_t(0), size_t(128), size_t(129), size_t(70000)}) {
    const std::vector<uint8_t> bytes = PatternBytes(size, static_cast<uint32_t>(size));
    ASSERT_TRUE(WriteBytes(plain, bytes));
    const KeptFileContents kept = ReadKeptFile(plain, 128);
    EXPECT_EQ(kept.status, KeptFileContents::kRead) << size;
    EXPECT_EQ(kept.longer, size > 128) << size;
    EXPECT_EQ(std::vector<uint8_t>(kept.bytes.begin(), kept.bytes.end()),
              std::vector<uint8_t>(bytes.begin(), bytes.begin() + std::min<size_t>(size, 128)))
        << size;
  }
}

TEST_F(KeptFile, WriterReplacesOnlyRegularFilesTheirOwnerMayWrite) {
  const std::string fifo = m_directory.File("fifo"), toFifo = m_directory.File("to-fifo");
  const std::string toNull = m_directory.File("to-null"), loop = m_directory.File("loop");
  const std::string locked = m_directory.File("locked"), toLocked = m_directory.File("to-locked");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(symlink("fifo", toFifo.c_str()), 0);
  ASSERT_EQ(symlink("/dev/null", toNull.c_str()), 0);
  ASSERT_EQ(symlink("loop", loop.c_str()), 0);
  ASSERT_TRUE(WriteText(locked, "the player's"));
  ASSERT_EQ(chmod(locked.c_str(), 0444), 0);
  ASSERT_EQ(symlink("locked", toLocked.c_str()), 0);
  const std::vector<std::string> before = Entries();

  const struct {
    std::string path, refusal;
  } cases[] = {{fifo, "is not a regular file"},     {toFifo, "is not a regular file"},
               {toNull, "is not a regular file"},   {loop, "is not a regular file"},
               {m_directory.Path(), "is not a regular file"}, {locked, "is read-only"},
               {toLocked, "is read-only"}};
  for (const auto& c : cases) {
    std::string refusal = "stale";
    EXPECT_FALSE(WriteFileAtomically(c.path, "new", 3, &refusal)) << c.path;
    EXPECT_EQ(refusal, c.refusal) << c.path;
  }
  EXPECT_EQ(Entries(), before);  // nothing replaced, no temporary left
  EXPECT_TRUE(IsFifo(fifo));
  struct stat info;
  ASSERT_EQ(stat("/dev/null", &info), 0);
  EXPECT_TRUE(S_ISCHR(info.st_mode));
  EXPECT_EQ(ReadText(locked), "the player's");
  ASSERT_EQ(stat(locked.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0444u);

  // Given back its write bit, the file is replaced through the link as before.
  ASSERT_EQ(chmod(locked.c_str(), 0644), 0);
  std::string refusal = "stale";
  EXPECT_TRUE(WriteFileAtomically(toLocked, "new", 3, &refusal));
  EXPECT_EQ(refusal, "");
  EXPECT_EQ(ReadText(locked), "new");
  ASSERT_EQ(lstat(toLocked.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
}

}  // namespace
