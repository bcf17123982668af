// The kept-file reader, writer and log where the save, records and settings tests do
// not reach: the read limit, a directory, a link loop, a link to a device, and the log.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "platform/win32/kept_file.h"
#include "tests/support/child_process.h"
#include "tests/win32/test_files.h"

namespace {

TEST(KeptFile, ReaderKeepsAtMostTheLimitAndRefusesADirectory) {
  TestDirectory directory;
  ASSERT_FALSE(directory.Path().empty());
  const std::string plain = directory.File("plain");
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
  EXPECT_EQ(ReadKeptFile(directory.Path(), 16).reason, "is not a regular file");
}

// The device is the machine's own /dev/null, so the writer runs as an unprivileged user
// (when the tests run as root), who may not rename a file over it.
TEST(KeptFile, WriterRefusesADirectoryALinkLoopOrALinkToADeviceAndLeavesNoTemporary) {
  TestDirectory directory;
  ASSERT_FALSE(directory.Path().empty());
  ASSERT_EQ(chmod(directory.Path().c_str(), 0777), 0);
  const std::string loop = directory.File("loop"), device = directory.File("device");
  ASSERT_EQ(symlink("loop", loop.c_str()), 0);
  ASSERT_EQ(symlink("/dev/null", device.c_str()), 0);
  const bool refused = InChildProcess(
      [&] {
        for (const std::string& path : {loop, device, directory.Path()}) {
          std::string refusal = "stale";
          EXPECT_FALSE(WriteFileAtomically(path, "new", 3, &refusal)) << path;
          EXPECT_EQ(refusal, "is not a regular file") << path;
        }
        return !::testing::Test::HasFailure();
      },
      true);
  EXPECT_TRUE(refused) << "the writer did not refuse all three (see above)";
  EXPECT_TRUE(std::filesystem::is_symlink(loop) && std::filesystem::is_symlink(device));
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
  EXPECT_FALSE(std::filesystem::exists("/dev/null.tmp"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory.Path()), {}), 2);
}

// The log starts empty each run; a FIFO (which a plain open for writing waits on for a
// reader), a link to a device or a directory in its place is refused and left as it is.
TEST(KeptFile, LogOpensAnewOnlyARegularFileOrANewOne) {
  TestDirectory directory;
  ASSERT_FALSE(directory.Path().empty());
  const std::string log = directory.File("file.log"), fifo = directory.File("fifo"), device = directory.File("device");
  for (const char* text : {"a longer first run\n", "second\n"}) {
    std::string refusal = "stale";
    std::FILE* file = OpenLogFile(log, &refusal);
    ASSERT_NE(file, nullptr) << refusal;
    EXPECT_EQ(refusal, "");
    std::fputs(text, file);
    std::fclose(file);
  }
  EXPECT_EQ(ReadText(log), "second\n");

  // Opened by an unprivileged user, as the writer above is; the FIFO lets that user in, so
  // an open that waited on it would block.
  ASSERT_EQ(chmod(directory.Path().c_str(), 0777), 0);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(chmod(fifo.c_str(), 0666), 0);
  ASSERT_EQ(symlink("/dev/null", device.c_str()), 0);
  for (const std::string& path : {fifo, device, directory.Path()}) {
    const ChildOutcome outcome = WatchForBlocking(
        [&path] {
          std::string refusal;
          std::FILE* log = OpenLogFile(path, &refusal);
          EXPECT_EQ(log, nullptr) << path;
          EXPECT_EQ(refusal, "is not a regular file") << path;
          return !::testing::Test::HasFailure();
        },
        true);
    EXPECT_EQ(outcome, ChildOutcome::kTrue) << path;
  }
  EXPECT_TRUE(std::filesystem::is_fifo(fifo) && std::filesystem::is_symlink(device));
}

// A write that fails part way (a full disk, or here the file size limit) keeps the old
// file and must not leave its temporary behind to be found beside it.
TEST(KeptFile, WriterThatFailsPartWayKeepsTheOldFileAndRemovesItsTemporary) {
  TestDirectory directory;
  ASSERT_FALSE(directory.Path().empty());
  const std::string save = directory.File("Vantorel.sav");
  ASSERT_TRUE(WriteText(save, "old"));
  const std::vector<uint8_t> bytes = PatternBytes(8192, 7);
  const bool failed = InChildProcess(
      [&] {
        const struct rlimit limit = {4096, 4096};
        signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG instead of killing the child
        std::string refusal = "stale";
        return setrlimit(RLIMIT_FSIZE, &limit) == 0 &&
               !WriteFileAtomically(save, bytes.data(), bytes.size(), &refusal) && refusal.empty();
      },
      false);
  EXPECT_TRUE(failed) << "a write past the size limit should fail with no refusal given";
  EXPECT_FALSE(std::filesystem::exists(TemporaryNameFor(save))) << "the failed write left its temporary";
  EXPECT_EQ(ReadText(save), "old");
}

}  // namespace
