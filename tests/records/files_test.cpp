// The kept files through the real file system: the saved game and the records table
// round-trip exactly, damaged or hostile files change nothing they should not, and a
// write that fails leaves the previous file whole.
#include <sys/stat.h>
#include <unistd.h>

#include "game/savefile.h"
#include "game/upmenu.h"
#include "records_fixture.h"
#include "tests/support/child_process.h"

namespace records_test {
namespace {

void Put(Bytes& file, size_t at, DWORD value) {
  for (int k = 0; k < 4; ++k) file[at + k] = static_cast<unsigned char>(value >> (8 * k));
}

// Eight rows named "Row<r>" with the squares of 80, 70, .. 10.
Bytes RecordsFile() {
  Bytes file(128, 0);
  for (int r = 0; r < 8; ++r) {
    std::snprintf(reinterpret_cast<char*>(&file[16 * r]), 12, "Row%c", char('0' + r));
    Put(file, 16 * r + 12, DWORD((80 - 10 * r) * (80 - 10 * r)));
  }
  return file;
}

// The mode of the file at the path, or of the link itself when not `bFollow`.
mode_t ModeOf(const char* strPath, bool bFollow = true) {
  struct stat info;
  return (bFollow ? stat(strPath, &info) : lstat(strPath, &info)) == 0 ? info.st_mode : 0;
}

using SaveFileTest = RecordsTest;
using RecordsFileTest = RecordsTest;

TEST_F(SaveFileTest, RoundTripRestoresTheGameAndNeverLowersTheBestScore) {
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j) ctx.m_Board[i][j] = (i * 9 + j) % 8;
  INT saved[9][9];
  std::memcpy(saved, ctx.m_Board, sizeof saved);
  ctx.m_Board[4][4] = CELL_IN_RUN;  // a run being removed is stored as empty
  ctx.m_Board[4][5] = CELL_REMOVING;
  saved[4][4] = saved[4][5] = CELL_EMPTY;
  const INT preview[3] = {3, 0, 7};
  std::memcpy(ctx.m_NextColours, preview, sizeof preview);
  ctx.m_nScore = 1234;
  ctx.m_bIdle = 1;
  ASSERT_EQ(S_OK, SaveGame(&ctx));
  const Bytes file = ReadWholeFile("Vantorel.sav");
  ASSERT_EQ(340u, file.size());
  EXPECT_EQ(ctx.m_Board[2][5], file[36 * 2 + 4 * 5]);

  std::memset(ctx.m_Board, 0, sizeof ctx.m_Board);
  for (INT& colour : ctx.m_NextColours) colour = 5;  // the game played on since
  ctx.m_nScore = 5;
  ctx.m_nBestScore = 2000;
  ctx.m_bUndoAvailable = 1;
  ctx.m_bIdle = 0;
  ASSERT_EQ(S_OK, LoadGame(&ctx));
  EXPECT_EQ(0, std::memcmp(saved, ctx.m_Board, sizeof saved));
  EXPECT_EQ(0, std::memcmp(preview, ctx.m_NextColours, sizeof preview)) << "the preview is not the one saved";
  EXPECT_TRUE(ctx.m_nScore == 1234 && ctx.m_nBestScore == 2000 && !ctx.m_bUndoAvailable);
  EXPECT_TRUE(ctx.m_bIdle && ctx.m_bRebuildBalls);
  ctx.m_nBestScore = 100;
  ASSERT_EQ(S_OK, LoadGame(&ctx));
  EXPECT_EQ(1234, ctx.m_nBestScore);
  EXPECT_EQ("", LogText());
}

TEST_F(SaveFileTest, DamagedFilesChangeNothingAndAFailedWriteKeepsTheOldFile) {
  EXPECT_EQ(S_FALSE, LoadGame(&ctx));  // no file: quietly nothing
  ctx.m_bIdle = 1;
  ASSERT_EQ(S_OK, SaveGame(&ctx));
  const Bytes good = ReadWholeFile("Vantorel.sav");
  std::vector<Bytes> damaged(6, good);
  damaged[0].pop_back();
  damaged[1].push_back(0);
  Put(damaged[2], 36 * 3 + 4 * 7, 9);  // a cell
  Put(damaged[3], 336, DWORD(-1));     // the score
  Put(damaged[4], 336, 10000);
  Put(damaged[5], 328, 8);             // a preview colour
  ctx.m_Board[1][1] = 5;
  ctx.m_nScore = 77;
  for (const Bytes& file : damaged) {
    WriteBytes("Vantorel.sav", file);
    EXPECT_EQ(E_FAIL, LoadGame(&ctx)) << file.size();
    EXPECT_TRUE(ctx.m_Board[1][1] == 5 && ctx.m_nScore == 77 && !ctx.m_bRebuildBalls);
  }
  EXPECT_EQ(6 * std::string("FAIL: Damaged save file Vantorel.sav!\n").size(), LogText().size());

  WriteBytes("Vantorel.sav", good);
  ASSERT_EQ(0, mkdir("Vantorel.sav.tmp", 0755));  // where the new contents would go
  EXPECT_EQ(E_FAIL, SaveGame(&ctx));
  EXPECT_EQ(good, ReadWholeFile("Vantorel.sav"));
  EXPECT_NE(std::string::npos, LogText().find("FAIL: Can not write save file Vantorel.sav!\n"));
}

TEST_F(RecordsFileTest, TableWrittenByOneRunReadsBackInTheNext) {
  CGameContext first;
  {
    CUpMenu bar(&first);  // no file: the default table, nothing written yet
    EXPECT_EQ(100, first.m_nBestScore);
    EXPECT_TRUE(ReadWholeFile("records.rcd").empty());
    bar.DeleteDeviceObjects();
    EXPECT_EQ(DWORD(90 * 90), first.m_SaveRecords[1].dwScore);
    // Stale letters in the scratch rows never reach the file; a score past 9999 is capped.
    for (RecordRow& row : first.m_SaveRecords) std::memset(row.szName, 'X', sizeof row.szName);
    std::strcpy(first.m_Records[0].szName, "Ann");
    first.m_Records[0].dwScore = 70000;
    first.m_Records[5].dwScore = 0;
    first.m_bSaveRecordsRequest = 1;
    bar.FrameMove();
    EXPECT_EQ(0, first.m_bSaveRecordsRequest);
  }
  const Bytes file = ReadWholeFile("records.rcd");
  ASSERT_EQ(128u, file.size());
  EXPECT_EQ(Bytes({'A', 'n', 'n', 0, 0, 0, 0, 0, 0, 0, 0, 0}), Bytes(file.begin(), file.begin() + 12));

  CUpMenu bar(&ctx);
  EXPECT_STREQ("Ann", ctx.m_Records[0].szName);
  EXPECT_EQ(9999, ctx.m_nBestScore);
  EXPECT_TRUE(ctx.m_Records[5].dwScore == 0 && ctx.m_Records[3].dwScore == 70);

  ASSERT_EQ(0, mkdir("records.rcd.tmp", 0755));
  ctx.m_Records[0].dwScore = 5000;
  EXPECT_EQ(E_FAIL, bar.SaveRecords());
  EXPECT_EQ(file, ReadWholeFile("records.rcd"));
  EXPECT_EQ("FAIL: Can not write records file records.rcd!\n", LogText());
}

TEST_F(RecordsFileTest, DamagedFilesGiveTheDefaultTableAndHostileNamesAreBounded) {
  const struct {
    DWORD stored;  // in row 5
    DWORD score;   // loaded; 0 with the default table
  } cases[] = {{100 * 100 + 1, 0}, {500 * 500 + 1, 500}, {0, 0}, {65535u * 65535u, 9999}};
  for (const auto& c : cases) {
    Bytes file = RecordsFile();
    Put(file, 16 * 5 + 12, c.stored);
    std::memcpy(&file[16 * 3], "ABCDEFGHIJKL", 12);  // no zero byte
    WriteBytes("records.rcd", file);
    CGameContext run;
    run.m_pLog = log;
    CUpMenu bar(&run);
    const bool damaged = c.score == 0 && c.stored != 0;
    EXPECT_STREQ(damaged ? "Tavrinell" : "ABCDEFGHIJK", run.m_Records[3].szName) << c.stored;
    EXPECT_EQ(damaged ? 50u : c.score, run.m_Records[5].dwScore) << c.stored;
    EXPECT_EQ(damaged ? 90u : 70u, run.m_Records[1].dwScore) << c.stored;
  }
  Bytes cut = RecordsFile();
  cut.resize(100);
  WriteBytes("records.rcd", cut);
  CUpMenu bar(&ctx);
  EXPECT_STREQ("Tavrinell", ctx.m_Records[0].szName);
  EXPECT_EQ("FAIL: Damaged records file records.rcd!\nFAIL: Damaged records file records.rcd!\n", LogText());
}

// A FIFO without a writer, or a link to one, is neither waited on nor replaced. The game
// runs in a watched child, so a read that waited fails the test as blocked.
TEST_F(RecordsTest, AFifoOrALinkToOneIsNeverWaitedOnNorReplaced) {
  ASSERT_EQ(0, mkfifo("pipe", 0600));
  ctx.m_bIdle = 1;
  const ChildOutcome outcome = WatchForBlocking([this] {
    for (const bool bLink : {false, true}) {
      for (const char* strName : {"Vantorel.sav", "records.rcd"})
        EXPECT_EQ(0, bLink ? symlink("pipe", strName) : mkfifo(strName, 0600));
      EXPECT_EQ(E_FAIL, LoadGame(&ctx)) << bLink;
      EXPECT_EQ(E_FAIL, SaveGame(&ctx)) << bLink;
      CUpMenu(&ctx).DeleteDeviceObjects();  // built at start, saving at exit
      EXPECT_STREQ("Tavrinell", ctx.m_Records[0].szName);
      for (const char* strName : {"Vantorel.sav", "records.rcd"}) {
        EXPECT_TRUE(S_ISFIFO(ModeOf(strName)) && S_ISLNK(ModeOf(strName, false)) == bLink) << strName;
        EXPECT_EQ(0, unlink(strName));
      }
    }
    std::fflush(log);
    return !HasFailure();
  });
  EXPECT_EQ(ChildOutcome::kTrue, outcome) << "loading, saving and the records with FIFOs for their files";
  EXPECT_TRUE(S_ISFIFO(ModeOf("pipe")));
  const std::string save = "FAIL: Save file Vantorel.sav is not a regular file, it is left as it is!\n";
  const std::string entries = save + save + "FAIL: Records file records.rcd is not a regular file, it is left as it is!\n"
                              "FAIL: Records file records.rcd could not be read, it is not written over!\n";
  EXPECT_EQ(entries + entries, LogText());
}

// Root reads any file, so the unreadable case runs as an unprivileged user; 0200 keeps
// the owner's write bit, so only the failed read protects the rows.
TEST_F(RecordsFileTest, AFileThatCouldNotBeReadIsNeverWrittenOverInThatRun) {
  const Bytes rows = RecordsFile();
  WriteBytes("records.rcd", rows);
  ASSERT_EQ(0, chmod("records.rcd", 0200));
  ASSERT_EQ(0, chmod(".", 0777));  // the folder itself would allow a rename
  EXPECT_TRUE(InChildProcess(
      [this] {
        CUpMenu bar(&ctx);
        const bool ok = std::strcmp(ctx.m_Records[0].szName, "Tavrinell") == 0 && bar.SaveRecords() == E_FAIL &&
                        bar.DeleteDeviceObjects() == S_OK;
        std::fflush(log);
        return ok;
      },
      true));
  ASSERT_EQ(0, chmod("records.rcd", 0600));
  EXPECT_EQ(rows, ReadWholeFile("records.rcd"));
  const std::string refused = "FAIL: Records file records.rcd could not be read, it is not written over!\n";
  EXPECT_EQ("FAIL: Records file records.rcd cannot be read (Permission denied), it is left as it is!\n" + refused +
                refused,
            LogText());
}

// A file its owner made read-only is read but never replaced, whoever runs, root too.
// A records table with a line end after it is read from its first 128 bytes.
TEST_F(RecordsTest, AReadOnlyFileIsReadButLeftAsItIs) {
  Bytes rows = RecordsFile();
  rows.push_back('\n');
  WriteBytes("records.rcd", rows);
  ctx.m_bIdle = 1;
  ASSERT_EQ(S_OK, SaveGame(&ctx));
  const Bytes saved = ReadWholeFile("Vantorel.sav");
  for (const char* strName : {"Vantorel.sav", "records.rcd"}) ASSERT_EQ(0, chmod(strName, 0444));
  CUpMenu bar(&ctx);
  EXPECT_STREQ("Row0", ctx.m_Records[0].szName);
  ctx.m_Records[0].dwScore = 90;
  ctx.m_nScore = 90;
  EXPECT_EQ(E_FAIL, bar.SaveRecords());
  EXPECT_EQ(E_FAIL, SaveGame(&ctx));
  EXPECT_EQ(rows, ReadWholeFile("records.rcd"));
  EXPECT_EQ(saved, ReadWholeFile("Vantorel.sav"));
  for (const char* strName : {"Vantorel.sav", "records.rcd"}) EXPECT_EQ(0444u, ModeOf(strName) & 07777) << strName;
  EXPECT_EQ("FAIL: Records file records.rcd is read-only, it is left as it is!\n"
            "FAIL: Save file Vantorel.sav is read-only, it is left as it is!\n",
            LogText());
}

// Another user's files in a folder this player may write: the rename would replace
// them, yet the files themselves are not the player's to write.
TEST_F(RecordsTest, AnotherUsersFilesAreReadButLeftAsTheyAre) {
  if (geteuid() != 0) GTEST_SKIP() << "making another user's file needs root";
  const Bytes rows = RecordsFile();
  WriteBytes("records.rcd", rows);
  ctx.m_bIdle = 1;
  ASSERT_EQ(S_OK, SaveGame(&ctx));
  const Bytes saved = ReadWholeFile("Vantorel.sav");
  for (const char* strName : {"Vantorel.sav", "records.rcd"}) ASSERT_EQ(0, chmod(strName, 0644));
  ASSERT_EQ(0, chmod(".", 0777));
  EXPECT_TRUE(InChildProcess(
      [this] {
        CUpMenu bar(&ctx);
        ctx.m_Records[0].dwScore = 90;
        ctx.m_nScore = 90;
        const bool ok =
            std::strcmp(ctx.m_Records[0].szName, "Row0") == 0 && bar.SaveRecords() == E_FAIL && SaveGame(&ctx) == E_FAIL;
        std::fflush(log);
        return ok;
      },
      true));
  EXPECT_EQ(rows, ReadWholeFile("records.rcd"));
  EXPECT_EQ(saved, ReadWholeFile("Vantorel.sav"));
  EXPECT_EQ("FAIL: Records file records.rcd may not be written (Permission denied), it is left as it is!\n"
            "FAIL: Save file Vantorel.sav may not be written (Permission denied), it is left as it is!\n",
            LogText());
}

}  // namespace
}  // namespace records_test
