// Sound start-up and close, effects and songs by name, against the recording backend.
#include <algorithm>

#include "platform/win32/com.h"
#include "services_fixture.h"
#include "tests/support/sound/synth_audio.h"

namespace {

using SoundServices = ServicesTest;

std::vector<PeResource> SoundLibrary() {
  return {{"BallSelect", ServicesTest::Bytes(MakeSineWav(22050, 440, 20, 1000))},
          {"GameFone1", ServicesTest::Bytes(MakeShortMod(4))},
          {"GameFone2", ServicesTest::Bytes(MakeShortMod(8))},
          {"Empty", {}}};
}

TEST_F(SoundServices, VersionExactly36StartsSoundInOrder) {
  m_sound.version = 3.6f;
  InitWithLibrary();
  EXPECT_EQ(m_pContext->m_bSound, 1);
  ASSERT_GE(m_sound.calls.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(m_sound.calls.begin(), m_sound.calls.begin() + 4),
            (std::vector<std::string>{"Version", "SetOutput 2", "SetDriver 0", "Init 44100 32 1"}));
  EXPECT_EQ(LogText(), "");
}

TEST_F(SoundServices, EachRefusedStartStepLogsItsEntryAndLeavesSoundOff) {
  struct Case {
    float version;
    bool refuseOutput, refuseDriver;
    int initFailures;
    const char* entry;
  } const cases[] = {
      {3.59f, false, false, 0, "FAIL: You are using the wrong FMOD.DLL version!\n"},
      {3.6f, true, false, 0, "FAIL: Can not set DSOUND output in FMOD!\n"},
      {3.6f, false, true, 0, "FAIL: Can not set default driver in FMOD!\n"},
      {3.6f, false, false, 11, "FAIL: Can not INIT FSOUND in FMOD!\n"},
  };
  for (const Case& c : cases) {
    m_sound.version = c.version;
    m_sound.refuseOutput = c.refuseOutput;
    m_sound.refuseDriver = c.refuseDriver;
    m_sound.initFailures = c.initFailures;
    m_sound.calls.clear();
    m_sound.initAttempts = 0;
    const long logStart = static_cast<long>(LogText().size());
    InitWithLibrary();
    EXPECT_EQ(m_pContext->m_bSound, 0) << c.entry;
    EXPECT_EQ(LogText().substr(static_cast<size_t>(logStart)), c.entry);
    EXPECT_EQ(m_sound.initAttempts, c.initFailures ? 11 : 0) << c.entry;
    EXPECT_FALSE(m_sound.open);
    m_pContext->Close();
    EXPECT_EQ(m_sound.Count("Close"), 0) << "nothing was started: " << c.entry;
    m_bInitDone = false;
  }
}

TEST_F(SoundServices, InitSucceedsOnTheEleventhTryAfterShortPauses) {
  m_sound.initFailures = 10;
  std::vector<DWORD> tries;
  m_sound.onCall = [&](const std::string& line) {
    if (line.rfind("Init ", 0) == 0) tries.push_back(GetTickCount());
  };
  InitWithLibrary();
  m_sound.onCall = nullptr;
  EXPECT_EQ(m_pContext->m_bSound, 1);
  EXPECT_TRUE(m_sound.open);
  EXPECT_EQ(m_sound.initAttempts, 11);
  EXPECT_EQ(LogText(), "");
  ASSERT_EQ(tries.size(), 11u);
  for (size_t i = 1; i < tries.size(); ++i) EXPECT_GE(tries[i] - tries[i - 1], 19u) << "pause before try " << i + 1;
}

TEST_F(SoundServices, InitGivesTheStartValuesAndLeavesWhatTheGameFilledBefore) {
  CGameContext& c = *m_pContext;
  c.m_nMusVolume = 77;
  c.m_dwWidth = 800;
  c.m_bQuitRequest = c.m_bNewGameRequest = c.m_bGameOverRequest = c.m_bUndoRequest = c.m_bKeyLeft = 1;
  c.m_dwMode = GAMEMODE_PLAY;
  c.m_bReacquireMouse = 1;
  const int comBefore = CoInitializeCount();
  c.Init(reinterpret_cast<HWND>(0x1234), reinterpret_cast<HINSTANCE>(0x5678));
  m_bInitDone = true;
  EXPECT_EQ(CoInitializeCount(), comBefore + 1);
  EXPECT_STREQ(c.m_strResLib, "res.dll");
  EXPECT_EQ(c.m_hWnd, reinterpret_cast<HWND>(0x1234));
  EXPECT_EQ(c.m_hInst, reinterpret_cast<HINSTANCE>(0x5678));
  EXPECT_EQ(c.m_dwMode, 2u);
  EXPECT_EQ(c.m_fBallHitDist, 1000.0f);
  EXPECT_EQ(c.m_bIdle, 1);
  EXPECT_EQ(c.m_dwRecordsState, 1u);
  EXPECT_EQ(c.m_dwEditRow, 8u);
  EXPECT_EQ(c.m_bFlyInPending, 1);
  EXPECT_EQ(c.m_bReacquireMouse, 0);
  EXPECT_EQ(c.m_bQuitRequest + c.m_bNewGameRequest + c.m_bGameOverRequest + c.m_bUndoRequest + c.m_bKeyLeft, 0);
  EXPECT_EQ(c.m_pCamera, nullptr);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_EQ(c.m_matInvView.m[i][j], i == j ? 1.0f : 0.0f);
  EXPECT_EQ(c.m_nMusVolume, 77);
  EXPECT_EQ(c.m_dwWidth, 800u);
  EXPECT_EQ(c.m_pLog, m_pLog);
  EXPECT_NE(c.m_pSampleCache, nullptr);
  c.Close();
  m_bInitDone = false;
  EXPECT_EQ(CoInitializeCount(), comBefore);
}

TEST_F(SoundServices, PlaySoundWithSoundOffLoadsAndPlaysNothing) {
  m_sound.version = 3.5f;
  InitWithLibrary();
  WriteLibrary(SoundLibrary());
  ASSERT_EQ(m_pContext->m_bSound, 0);
  EXPECT_EQ(m_pContext->PlaySound("BallSelect"), S_OK);
  EXPECT_EQ(m_sound.Count("LoadSample"), 0);
  EXPECT_EQ(m_sound.Count("PlaySample"), 0);
  EXPECT_EQ(m_pContext->m_pSampleCache->Count(), 0u);
}

TEST_F(SoundServices, ASampleIsReadFromTheLibraryOnceAndTheVolumeSetBeforeEveryEffect) {
  InitWithLibrary();
  WriteLibrary(SoundLibrary());
  m_pContext->m_nSoundVolume = 250;
  EXPECT_EQ(m_pContext->PlaySound("BallSelect"), S_OK);
  EXPECT_EQ(m_sound.Count("LoadSample"), 1);
  ASSERT_EQ(m_sound.Count("PlaySample"), 1);
  EXPECT_EQ(m_sound.sampleVolume, (250 * 128 + 127) / 255);

  // Without the library the cached sample still plays, at the volume set since.
  RemoveLibrary();
  m_pContext->m_nSoundVolume = 100;
  m_sound.calls.clear();
  EXPECT_EQ(m_pContext->PlaySound("BallSelect"), S_OK);
  EXPECT_EQ(m_sound.Count("LoadSample"), 0);
  EXPECT_EQ(m_sound.calls, (std::vector<std::string>{"SetSampleVolume 50", "PlaySample -1 #1"}));

  FSOUND_SAMPLE* first = nullptr;
  FSOUND_SAMPLE* second = nullptr;
  EXPECT_EQ(m_pContext->LoadSample("BallSelect", &first), S_OK);
  EXPECT_EQ(m_pContext->LoadSample("BallSelect", &second), S_OK);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(m_pContext->m_pSampleCache->Count(), 1u);
}

TEST_F(SoundServices, ASampleThatCannotBeLoadedIsSilentAndTriedAgainNextTime) {
  InitWithLibrary();
  FSOUND_SAMPLE* sample = reinterpret_cast<FSOUND_SAMPLE*>(1);
  EXPECT_EQ(m_pContext->LoadSample("BallSelect", &sample), E_FAIL);  // no library yet
  EXPECT_EQ(sample, nullptr);
  WriteLibrary(SoundLibrary());
  EXPECT_EQ(m_pContext->LoadSample("Missing", &sample), E_FAIL);
  EXPECT_EQ(m_pContext->LoadSample("", &sample), E_FAIL);
  EXPECT_EQ(m_pContext->LoadSample(nullptr, &sample), E_FAIL);
  EXPECT_EQ(m_pContext->LoadSample("BallSelect", nullptr), E_FAIL);
  // An empty resource never reaches the decoder.
  EXPECT_EQ(m_pContext->LoadSample("Empty", &sample), E_FAIL);
  EXPECT_EQ(m_sound.Count("LoadSample"), 0);
  m_sound.refuseSamples = true;
  EXPECT_EQ(m_pContext->PlaySound("BallSelect"), S_OK);
  EXPECT_EQ(m_sound.Count("PlaySample"), 0);
  EXPECT_EQ(m_pContext->m_pSampleCache->Count(), 0u);
  m_sound.refuseSamples = false;
  EXPECT_EQ(m_pContext->PlaySound("BallSelect"), S_OK);
  EXPECT_EQ(m_sound.Count("PlaySample"), 1);
  EXPECT_EQ(m_pContext->m_pSampleCache->Count(), 1u);
  EXPECT_EQ(LogText(), "");  // samples are not logged
}

TEST_F(SoundServices, ANewSongReplacesTheCurrentOne) {
  InitWithLibrary();
  WriteLibrary(SoundLibrary());
  CGameContext& c = *m_pContext;
  ASSERT_EQ(c.LoadSong("GameFone1", &c.m_pSong), S_OK);
  FMUSIC_MODULE* first = c.m_pSong;
  ASSERT_NE(first, nullptr);
  FMUSIC_PlaySong(first);
  ASSERT_EQ(c.LoadSong("GameFone2", &c.m_pSong), S_OK);
  EXPECT_NE(c.m_pSong, nullptr);
  EXPECT_NE(c.m_pSong, first);
  EXPECT_EQ(m_sound.Count("StopSong"), 1);
  EXPECT_EQ(m_sound.Count("FreeSong"), 1);
  EXPECT_EQ(FMUSIC_IsPlaying(first), 0);  // freed: a stale handle does nothing
  EXPECT_EQ(LogText(), "");
}

TEST_F(SoundServices, ASongThatCannotBeLoadedLeavesTheCurrentOneAndReportsFailure) {
  InitWithLibrary();
  CGameContext& c = *m_pContext;
  EXPECT_EQ(c.LoadSong("GameFone1", &c.m_pSong), E_FAIL);
  EXPECT_EQ(LogText(), "FAIL: Can not load library in FMOD!\n");
  EXPECT_EQ(c.m_pSong, nullptr);

  WriteLibrary(SoundLibrary());
  ASSERT_EQ(c.LoadSong("GameFone1", &c.m_pSong), S_OK);
  FMUSIC_MODULE* current = c.m_pSong;
  FMUSIC_SetLooping(current, 0);
  ASSERT_TRUE(FMUSIC_PlaySong(current));

  struct Case {
    const char* name;
    bool refuse;
    const char* entry;
  } const cases[] = {
      {"GameFone3", false, "FAIL: Can not find resource in FMOD!\n"},
      {"Empty", false, "FAIL: Can not size define in FMOD!\n"},
      {"GameFone2", true, "FAIL: Can not load song in FMOD!\n"},
  };
  for (const Case& k : cases) {
    m_sound.refuseSongs = k.refuse;
    m_sound.calls.clear();
    const size_t logStart = LogText().size();
    EXPECT_EQ(c.LoadSong(k.name, &c.m_pSong), E_FAIL) << k.name;
    EXPECT_EQ(LogText().substr(logStart), k.entry);
    EXPECT_EQ(c.m_pSong, current) << k.name;
    EXPECT_TRUE(FMUSIC_IsPlaying(current)) << k.name;
    EXPECT_EQ(m_sound.Count("StopSong") + m_sound.Count("FreeSong"), 0) << k.name;
  }
  EXPECT_EQ(m_sound.Count("LoadSong 0"), 0);  // the empty resource never reached the decoder
  EXPECT_EQ(c.LoadSong("GameFone1", nullptr), E_FAIL);
}

TEST_F(SoundServices, CloseShutsSoundDownAlsoAfterTheMusicRotationTurnedItOff) {
  InitWithLibrary();
  WriteLibrary(SoundLibrary());
  CGameContext& c = *m_pContext;
  ASSERT_EQ(c.LoadSong("GameFone1", &c.m_pSong), S_OK);
  FMUSIC_PlaySong(c.m_pSong);
  c.PlaySound("BallSelect");
  c.m_bSound = 0;  // a song of the rotation failed to load
  // The sample cache is kept past Close here, so Close is what frees the sample.
  CSampleCache* pCache = c.m_pSampleCache;
  c.m_pSampleCache = nullptr;
  c.Close();
  m_bInitDone = false;
  EXPECT_EQ(c.m_pSong, nullptr);
  EXPECT_EQ(m_sound.Count("FreeSong"), 1);
  EXPECT_EQ(m_sound.Count("FreeSample"), 1);
  EXPECT_EQ(m_sound.Count("Close"), 1);
  EXPECT_FALSE(m_sound.open);
  delete pCache;  // its stale handle is recognised and not freed again
  EXPECT_EQ(m_sound.Count("FreeSample"), 1);
  c.Close();  // a second close does nothing more
  EXPECT_EQ(m_sound.Count("Close"), 1);
}

}  // namespace
