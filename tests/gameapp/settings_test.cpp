// The twelve settings: checks and defaults on reading, the log entries, and the
// values written at the end of one run read back at the start of the next.
#include "tests/gameapp/gameapp_fixture.h"

namespace gameapp_test {
namespace {

const char kReadOk[] = "Read Settings.................................Ok\n";
const char kReadError[] = "Read Settings....Fucking SHIT!!! Erorr occuried!\n";

TEST_F(GameAppTest, AFirstRunLogsBothEntriesAndStartsWithTheDefaults) {
  CTestGameApp& app = MakeApp();
  EXPECT_EQ(std::string("Start Execute: Begin Log File \n\n") + kReadOk + kReadError, ReadFile("file.log"));
  EXPECT_EQ(640u, app.m_dwCreationWidth);
  EXPECT_EQ(480u, app.m_dwCreationHeight);
  EXPECT_EQ(24u, app.m_dwMinDepthBits);
  const CGameContext& c = *m_pContext;
  EXPECT_EQ(1, c.m_bHiRes);
  EXPECT_EQ(1, c.m_bEnviron);
  EXPECT_EQ(0, c.m_nMusType);
  EXPECT_EQ(80, c.m_nMusVolume);
  EXPECT_EQ(180, c.m_nSoundVolume);
  EXPECT_EQ(0, c.m_bPlateMov);
  EXPECT_EQ(0, c.m_bFloorType);
  EXPECT_EQ(0, c.m_nFloorTex);
  EXPECT_EQ(4, c.m_nMoveMode);
}

TEST_F(GameAppTest, StoredValuesOutsideTheirRangesFallBack) {
  StoreSetting("Width", 800);
  StoreSetting("Height", 480);
  StoreSetting("MinDep", 32);
  StoreSetting("HiRes", 2);
  StoreSetting("Environ", 1);
  StoreSetting("MusType", 4);
  StoreSetting("MusVolume", 0);
  StoreSetting("SoundVolume", 251);
  StoreSetting("FloorTex", 7);
  StoreSetting("MoveMode", 7);
  CTestGameApp& app = MakeApp();
  EXPECT_EQ(std::string("Start Execute: Begin Log File \n\n") + kReadOk, ReadFile("file.log"));
  EXPECT_EQ(640u, app.m_dwCreationWidth);
  EXPECT_EQ(480u, app.m_dwCreationHeight);
  EXPECT_EQ(24u, app.m_dwMinDepthBits);
  const CGameContext& c = *m_pContext;
  EXPECT_EQ(0, c.m_bHiRes);
  EXPECT_EQ(1, c.m_bEnviron);
  EXPECT_EQ(0, c.m_nMusType);
  EXPECT_EQ(80, c.m_nMusVolume);
  EXPECT_EQ(180, c.m_nSoundVolume);
  EXPECT_EQ(0, c.m_nFloorTex);
  EXPECT_EQ(4, c.m_nMoveMode);

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
  c.m_bHiRes = 0;
  c.m_bEnviron = 0;
  c.m_nMusType = 2;
  c.m_nMusVolume = 33;
  c.m_nSoundVolume = 250;
  c.m_bPlateMov = 1;
  c.m_bFloorType = 1;
  c.m_nFloorTex = 3;
  c.m_nMoveMode = 1;
  first.m_dwMinDepthBits = 16;
  first.WriteSettings();
  EXPECT_NE(std::string::npos, ReadFile("file.log").find("Write Settings................................Ok\n"));

  m_pContext = std::make_unique<CGameContext>();
  CTestGameApp& second = MakeApp();
  EXPECT_EQ(1024u, second.m_dwCreationWidth);
  EXPECT_EQ(768u, second.m_dwCreationHeight);
  EXPECT_EQ(16u, second.m_dwMinDepthBits);
  const CGameContext& n = *m_pContext;
  EXPECT_EQ(0, n.m_bHiRes);
  EXPECT_EQ(0, n.m_bEnviron);
  EXPECT_EQ(2, n.m_nMusType);
  EXPECT_EQ(33, n.m_nMusVolume);
  EXPECT_EQ(250, n.m_nSoundVolume);
  EXPECT_EQ(1, n.m_bPlateMov);
  EXPECT_EQ(1, n.m_bFloorType);
  EXPECT_EQ(3, n.m_nFloorTex);
  EXPECT_EQ(1, n.m_nMoveMode);
}

}  // namespace
}  // namespace gameapp_test
