// The twelve settings: checks and defaults on reading, the log entries, and the
// values written at the end of one run read back at the start of the next.
#include <sys/stat.h>
#include <unistd.h>

#include "tests/gameapp/gameapp_fixture.h"
#include "tests/support/child_process.h"

namespace gameapp_test {
namespace {

const char kReadOk[] = "Read Settings.................................Ok\n";
const char kReadError[] = "Read Settings....Fucking SHIT!!! Erorr occuried!\n";
const char kWriteOk[] = "Write Settings................................Ok\n";
const char kWriteError[] = "Write Settings...Fucking SHIT!!! Erorr occuried!\n";
// Width Height MinDep HiRes Environ MusType MusVolume SoundVolume PlateMov FloorType FloorTex MoveMode
const std::vector<int> kDefaults = {640, 480, 24, 1, 1, 0, 80, 180, 0, 0, 0, 4};

TEST_F(GameAppTest, AFirstRunLogsBothEntriesAndStartsWithTheDefaults) {
  MakeApp();
  EXPECT_EQ(std::string("Start Execute: Begin Log File \n\n") + kReadOk + kReadError, ReadFile("file.log"));
  EXPECT_EQ(kDefaults, Settings());
}

TEST_F(GameAppTest, StoredValuesOutsideTheirRangesFallBack) {
  for (const auto& stored : {std::make_pair("Width", 800), {"Height", 480}, {"MinDep", 32}, {"HiRes", 2},
                             {"Environ", 1}, {"MusType", 4}, {"MusVolume", 0}, {"SoundVolume", 251},
                             {"FloorTex", 7}, {"MoveMode", 7}})
    StoreSetting(stored.first, stored.second);
  MakeApp();
  EXPECT_EQ(std::string("Start Execute: Begin Log File \n\n") + kReadOk, ReadFile("file.log"));
  std::vector<int> expected = kDefaults;
  expected[3] = 0;  // HiRes 2 is off; every other value out of range gives its default
  EXPECT_EQ(expected, Settings());

  StoreSetting("MusVolume", 250);
  StoreSetting("SoundVolume", 0xFFFFFFFF);  // -1 as stored: outside every range
  MakeApp();
  EXPECT_EQ(250, m_pContext->m_nMusVolume);
  EXPECT_EQ(180, m_pContext->m_nSoundVolume);
}

TEST_F(GameAppTest, AMissingSecondSwitchKeepsWhatTheFirstGave) {
  StoreSetting("HiRes", 1);
  StoreSetting("PlateMov", 1);
  MakeApp();
  EXPECT_EQ(1, m_pContext->m_bHiRes);
  EXPECT_EQ(1, m_pContext->m_bEnviron);
  EXPECT_EQ(1, m_pContext->m_bPlateMov);
  EXPECT_EQ(1, m_pContext->m_bFloorType);
  EXPECT_EQ(0, m_pContext->m_nMoveMode);  // missing in an existing key: what the field held
}

TEST_F(GameAppTest, TheValuesOfOneRunAreTheNextRunsStart) {
  CTestGameApp& first = MakeApp();
  CGameContext& c = *m_pContext;
  c.m_dwWidth = 1024;
  c.m_dwHeight = 768;
  first.m_dwMinDepthBits = 16;
  c.m_bHiRes = c.m_bEnviron = 0;
  c.m_nMusType = 2;
  c.m_nMusVolume = 33;
  c.m_nSoundVolume = 250;
  c.m_bPlateMov = c.m_bFloorType = 1;
  c.m_nFloorTex = 3;
  c.m_nMoveMode = 1;
  first.WriteSettings();
  EXPECT_NE(std::string::npos, ReadFile("file.log").find(kWriteOk));

  m_pContext = std::make_unique<CGameContext>();
  MakeApp();
  EXPECT_EQ((std::vector<int>{1024, 768, 16, 0, 0, 2, 33, 250, 1, 1, 3, 1}), Settings());
}

// The player made the store read-only (left alone even for root): no value is written,
// and the log says so rather than Ok.
TEST_F(GameAppTest, AStoreThatCannotBeWrittenLogsTheErrorEntry) {
  StoreSetting("MusVolume", 99);
  CTestGameApp& app = MakeApp();
  ASSERT_EQ(0, chmod((m_strDir + "/registry.txt").c_str(), 0444));
  app.WriteSettings();
  const std::string log = ReadFile("file.log");
  EXPECT_EQ(log.size() - (sizeof kWriteError - 1), log.find(kWriteError));
  EXPECT_EQ(std::string::npos, log.find(kWriteOk));
}

// Another user's store in a folder this player may write: its values are read, but the
// rename would replace a file that is not the player's to write. The refusal is said
// once, though the game writes its twelve values one by one.
TEST_F(GameAppTest, AnotherUsersStoreIsReadButLeftAsItIs) {
  if (geteuid() != 0) GTEST_SKIP() << "making another user's file needs root";
  StoreSetting("MusVolume", 99);
  const std::string store = m_strDir + "/registry.txt", kept = ReadFile("registry.txt");
  ASSERT_EQ(0, chmod(store.c_str(), 0644));
  ASSERT_EQ(0, chmod(m_strDir.c_str(), 0777));
  const bool refused = InChildProcess(
      [&] {
        testing::internal::CaptureStderr();
        MakeApp().WriteSettings();
        EXPECT_EQ(99, m_pContext->m_nMusVolume);
        const std::string errors = testing::internal::GetCapturedStderr();
        const std::string refusal =
            "FAIL: settings file " + store + " may not be written (Permission denied); it is left as it was\n";
        EXPECT_NE(std::string::npos, errors.find(refusal)) << errors;
        EXPECT_EQ(errors.find("FAIL: "), errors.rfind("FAIL: ")) << errors;
        return !HasFailure();
      },
      true);
  EXPECT_TRUE(refused) << "another user's store as its player sees it (see above)";
  EXPECT_EQ(kept, ReadFile("registry.txt"));
  EXPECT_NE(std::string::npos, ReadFile("file.log").find(kWriteError));
}

}  // namespace
}  // namespace gameapp_test
