// The services over the real sound library on SDL's dummy audio driver: a sample
// and a tracker song read from a resource library play, and a song played once ends.
#include <SDL.h>
#include <unistd.h>

#include "platform/sound/sound_backend_testing.h"
#include "services_fixture.h"
#include "tests/support/sound/song_wait.h"
#include "tests/support/sound/synth_audio.h"

namespace {

class AudioServices : public ServicesTest {
 protected:
  void SetUp() override {
    ServicesTest::SetUp();
    FSOUND_UseBackendForTesting(nullptr);
  }

  static bool AnyChannelPlaying() {
    for (int channel = 0; channel < 32; ++channel)
      if (FSOUND_IsPlaying(channel)) return true;
    return false;
  }

  ScopedEnv m_driver{"SDL_AUDIODRIVER", "dummy"};
};

TEST_F(AudioServices, ASampleAndASongFromTheLibraryPlayAndASongPlayedOnceEnds) {
  InitWithLibrary();
  CGameContext& c = *m_pContext;
  ASSERT_EQ(c.m_bSound, 1) << LogText();
  WriteLibrary({{"BallSelect", Bytes(MakeSineWav(44100, 440, 400, 12000))}, {"GameFone1", Bytes(MakeShortMod(4))}});

  EXPECT_EQ(c.PlaySound("BallSelect"), S_OK);
  EXPECT_EQ(c.m_pSampleCache->Count(), 1u);
  EXPECT_TRUE(AnyChannelPlaying());

  ASSERT_EQ(c.LoadSong("GameFone1", &c.m_pSong), S_OK) << LogText();
  FMUSIC_SetLooping(c.m_pSong, 0);
  FMUSIC_SetMasterVolume(c.m_pSong, c.m_nMusVolume);
  ASSERT_TRUE(FMUSIC_PlaySong(c.m_pSong));
  EXPECT_FALSE(FMUSIC_IsFinished(c.m_pSong));
  EXPECT_TRUE(WaitUntilFinished(c.m_pSong, 5000));
  EXPECT_EQ(LogText(), "");
}

TEST_F(AudioServices, DamagedDataFromTheLibraryIsRefusedWithoutHarm) {
  InitWithLibrary();
  CGameContext& c = *m_pContext;
  ASSERT_EQ(c.m_bSound, 1);
  std::vector<unsigned char> cutWav = MakeSineWav(44100, 440, 50, 1000);
  cutWav.resize(30);
  WriteLibrary({{"BallSelect", Bytes(cutWav)}, {"GameFone1", std::vector<uint8_t>(300, 0x5a)}});
  EXPECT_EQ(c.PlaySound("BallSelect"), S_OK);
  EXPECT_EQ(c.m_pSampleCache->Count(), 0u);
  EXPECT_EQ(c.LoadSong("GameFone1", &c.m_pSong), E_FAIL);
  EXPECT_EQ(c.m_pSong, nullptr);
  EXPECT_EQ(LogText(), "FAIL: Can not load song in FMOD!\n");
}

// The project's own resource library, when the build made it, found by its bare name.
TEST_F(AudioServices, TheProjectsLibraryIsFoundBesideTheProgram) {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  ASSERT_GT(length, 0);
  path[length] = '\0';
  std::string beside(path);
  beside = beside.substr(0, beside.rfind('/')) + "/res.dll";
  if (access(beside.c_str(), R_OK) != 0) GTEST_SKIP() << "no res.dll beside the test program";

  m_pContext->Init(nullptr, nullptr);
  m_bInitDone = true;
  CGameContext& c = *m_pContext;
  ASSERT_EQ(c.m_bSound, 1);
  FSOUND_SAMPLE* sample = nullptr;
  EXPECT_EQ(c.LoadSample("BallSelect", &sample), S_OK);
  EXPECT_NE(sample, nullptr);
  EXPECT_EQ(c.LoadSong("GameFone1", &c.m_pSong), S_OK) << LogText();
  EXPECT_NE(c.m_pSong, nullptr);
}

}  // namespace
