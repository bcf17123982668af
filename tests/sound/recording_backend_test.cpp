// The FSOUND/FMUSIC calls against the recording backend: handle checks, volume
// scaling, song states and what the backend is asked to do.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/sound/fmod.h"
#include "platform/sound/sound_backend_testing.h"
#include "platform/win32/win32.h"
#include "tests/support/sound/recording_sound_backend.h"
#include "tests/support/sound/synth_audio.h"

namespace {

class SoundCalls : public ::testing::Test {
 protected:
  void SetUp() override {
    FSOUND_UseBackendForTesting(&backend);
    FSOUND_SetSFXMasterVolume(255);
  }
  void TearDown() override { FSOUND_UseBackendForTesting(nullptr); }

  void StartSound() {
    ASSERT_TRUE(FSOUND_SetOutput(FSOUND_OUTPUT_DSOUND));
    ASSERT_TRUE(FSOUND_SetDriver(0));
    ASSERT_TRUE(FSOUND_Init(44100, 32, FSOUND_INIT_USEDEFAULTMIDISYNTH));
  }
  FMUSIC_MODULE* LoadSong() {
    const unsigned char bytes[64] = {1, 2, 3};
    return FMUSIC_LoadSongMemory(bytes, sizeof bytes);
  }

  RecordingSoundBackend backend;
};

TEST_F(SoundCalls, VersionAndStartUpAnswersComeFromTheBackend) {
  backend.version = 3.6f;
  EXPECT_EQ(FSOUND_GetVersion(), 3.6f);
  EXPECT_FALSE(FSOUND_GetVersion() < 3.6f);  // exactly 3.6 passes the start-up check

  backend.refuseOutput = true;
  EXPECT_FALSE(FSOUND_SetOutput(FSOUND_OUTPUT_DSOUND));
  backend.refuseOutput = false;
  backend.refuseDriver = true;
  EXPECT_FALSE(FSOUND_SetDriver(0));
  backend.refuseDriver = false;

  StartSound();
  EXPECT_EQ(backend.Count("Init 44100 32 1"), 1);
  // Output and driver are chosen before start-up only.
  EXPECT_FALSE(FSOUND_SetOutput(FSOUND_OUTPUT_DSOUND));
  EXPECT_FALSE(FSOUND_SetDriver(0));
}

TEST(SoundVersion, TheRealBackendReportsAtLeast3_6) {
  FSOUND_UseBackendForTesting(nullptr);
  EXPECT_GE(FSOUND_GetVersion(), 3.6f);
}

TEST_F(SoundCalls, InitFailuresCanBeInjectedAndRetried) {
  backend.initFailures = 10;
  std::vector<DWORD> ticks;
  backend.onCall = [&ticks](const std::string& line) {
    if (line.rfind("Init", 0) == 0) ticks.push_back(GetTickCount());
  };
  int tries = 0;
  bool started = false;
  while (!started && tries < 11) {
    started = FSOUND_Init(44100, 32, 1) != 0;
    if (!started) Sleep(20);
    ++tries;
  }
  EXPECT_TRUE(started);
  EXPECT_EQ(tries, 11);
  EXPECT_EQ(backend.initAttempts, 11);
  ASSERT_EQ(ticks.size(), 11u);
  EXPECT_GE(ticks.back() - ticks.front(), 190u);  // the hook sees the pauses between tries
  EXPECT_TRUE(backend.open);
}

TEST_F(SoundCalls, NullAndStaleHandlesAreIgnoredEverywhere) {
  // Before start-up nothing loads or plays.
  const std::vector<unsigned char> wav = MakeSineWav(8000, 440, 10, 1000);
  EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, reinterpret_cast<const char*>(wav.data()), 0x8001,
                               static_cast<int>(wav.size())),
            nullptr);
  EXPECT_EQ(LoadSong(), nullptr);
  EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, nullptr), -1);

  StartSound();
  const size_t before = backend.calls.size();
  FSOUND_Sample_Free(nullptr);
  EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, nullptr), -1);
  EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, nullptr, 0x8001, 10), nullptr);
  EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, reinterpret_cast<const char*>(wav.data()), 0x8001, 0), nullptr);
  EXPECT_EQ(FMUSIC_LoadSongMemory(nullptr, 100), nullptr);
  EXPECT_EQ(FMUSIC_LoadSongMemory(wav.data(), 0), nullptr);
  EXPECT_EQ(FMUSIC_LoadSong(nullptr), nullptr);
  EXPECT_FALSE(FMUSIC_FreeSong(nullptr));
  EXPECT_FALSE(FMUSIC_PlaySong(nullptr));
  EXPECT_FALSE(FMUSIC_StopSong(nullptr));
  EXPECT_FALSE(FMUSIC_SetLooping(nullptr, 0));
  EXPECT_FALSE(FMUSIC_SetMasterVolume(nullptr, 100));
  EXPECT_EQ(FMUSIC_GetMasterVolume(nullptr), -1);
  EXPECT_FALSE(FMUSIC_IsFinished(nullptr));
  EXPECT_FALSE(FMUSIC_IsPlaying(nullptr));
  EXPECT_FALSE(FMUSIC_SetPaused(nullptr, 1));
  EXPECT_FALSE(FMUSIC_GetPaused(nullptr));
  EXPECT_EQ(backend.calls.size(), before) << "a null handle reached the backend";

  // A handle that was freed is not freed or played again.
  FMUSIC_MODULE* song = LoadSong();
  ASSERT_NE(song, nullptr);
  EXPECT_TRUE(FMUSIC_FreeSong(song));
  EXPECT_FALSE(FMUSIC_FreeSong(song));
  EXPECT_FALSE(FMUSIC_PlaySong(song));
  EXPECT_EQ(backend.Count("FreeSong"), 1);
  FSOUND_SAMPLE* sample = FSOUND_Sample_Load(FSOUND_FREE, reinterpret_cast<const char*>(wav.data()), 0x8001,
                                             static_cast<int>(wav.size()));
  ASSERT_NE(sample, nullptr);
  FSOUND_Sample_Free(sample);
  FSOUND_Sample_Free(sample);
  EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, sample), -1);
  EXPECT_EQ(backend.Count("FreeSample"), 1);
  EXPECT_EQ(backend.Count("PlaySample"), 0);
}

TEST_F(SoundCalls, SamplesLoadFromMemoryOrFileAndPlayOnAnyChannel) {
  StartSound();
  const std::vector<unsigned char> wav = MakeSineWav(8000, 440, 10, 1000);
  const char* bytes = reinterpret_cast<const char*>(wav.data());
  const int size = static_cast<int>(wav.size());

  FSOUND_SAMPLE* once = FSOUND_Sample_Load(FSOUND_FREE, bytes, FSOUND_LOADMEMORY | FSOUND_LOOP_OFF, size);
  ASSERT_NE(once, nullptr);
  EXPECT_EQ(backend.Count("LoadSample " + std::to_string(size)), 1);
  EXPECT_GE(FSOUND_PlaySound(FSOUND_FREE, once), 0);
  EXPECT_EQ(backend.calls.back(), "PlaySample -1 #1");

  // Offset and length pick a part of a bigger block.
  FSOUND_SAMPLE* looped = FSOUND_Sample_Load(FSOUND_FREE, bytes, FSOUND_LOADMEMORY | FSOUND_LOOP_NORMAL, 4, 100);
  ASSERT_NE(looped, nullptr);
  EXPECT_EQ(backend.Count("LoadSample 100"), 1);
  EXPECT_EQ(FSOUND_PlaySound(5, looped), 5);
  EXPECT_EQ(backend.calls.back(), "PlaySample 5 #2 loop");
  EXPECT_EQ(FSOUND_PlaySound(-7, looped), -1);

  // Without FSOUND_LOADMEMORY the text is a file name.
  const std::string dir = MakeTempDir();
  ASSERT_FALSE(dir.empty());
  const std::string path = dir + "/tone.wav";
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(wav.data(), 1, wav.size(), file);
  std::fclose(file);
  EXPECT_NE(FSOUND_Sample_Load(FSOUND_FREE, path.c_str(), 0, 0, 0), nullptr);
  EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, (dir + "/missing.wav").c_str(), 0, 0, 0), nullptr);
  RemoveTree(dir);

  backend.refuseSamples = true;
  EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, bytes, 0x8001, size), nullptr);
}

TEST_F(SoundCalls, VolumesAreClampedAndScaledToTheMixerRange) {
  FSOUND_SetSFXMasterVolume(250);  // kept before start-up and applied by it
  StartSound();
  EXPECT_EQ(backend.sampleVolume, 125);
  EXPECT_EQ(FSOUND_GetSFXMasterVolume(), 250);
  FSOUND_SetSFXMasterVolume(255);
  EXPECT_EQ(backend.sampleVolume, 128);
  FSOUND_SetSFXMasterVolume(1);
  EXPECT_EQ(backend.sampleVolume, 1);
  FSOUND_SetSFXMasterVolume(400);
  EXPECT_EQ(FSOUND_GetSFXMasterVolume(), 255);
  FSOUND_SetSFXMasterVolume(-3);
  EXPECT_EQ(FSOUND_GetSFXMasterVolume(), 0);
  EXPECT_EQ(backend.sampleVolume, 0);

  FMUSIC_MODULE* song = LoadSong();
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(FMUSIC_GetMasterVolume(song), 256);
  FMUSIC_SetMasterVolume(song, 250);
  EXPECT_EQ(backend.Count("SetSongVolume"), 0) << "a song that does not play leaves the mixer alone";
  FMUSIC_PlaySong(song);
  EXPECT_EQ(backend.songVolume, 125);
  FMUSIC_SetMasterVolume(song, 256);
  EXPECT_EQ(backend.songVolume, 128);
  FMUSIC_SetMasterVolume(song, 1000);
  EXPECT_EQ(FMUSIC_GetMasterVolume(song), 256);
  FMUSIC_SetMasterVolume(song, 0);
  EXPECT_EQ(backend.songVolume, 0);
}

TEST_F(SoundCalls, ASongPlayedOnceFinishesAtItsEndButNotWhenStopped) {
  StartSound();
  FMUSIC_MODULE* song = LoadSong();
  ASSERT_NE(song, nullptr);
  EXPECT_FALSE(FMUSIC_IsFinished(song));

  ASSERT_TRUE(FMUSIC_SetLooping(song, 0));
  ASSERT_TRUE(FMUSIC_PlaySong(song));
  EXPECT_EQ(backend.calls.back(), "PlaySong #1 once");
  EXPECT_TRUE(FMUSIC_IsPlaying(song));
  EXPECT_FALSE(FMUSIC_IsFinished(song));
  backend.EndSong();
  EXPECT_TRUE(FMUSIC_IsFinished(song));
  EXPECT_FALSE(FMUSIC_IsPlaying(song));

  // Playing again starts over; stopping is not finishing.
  FMUSIC_PlaySong(song);
  EXPECT_FALSE(FMUSIC_IsFinished(song));
  FMUSIC_StopSong(song);
  EXPECT_FALSE(FMUSIC_IsFinished(song));
  EXPECT_EQ(backend.Count("StopSong"), 1);

  // Songs loop unless told otherwise.
  FMUSIC_MODULE* loop = LoadSong();
  FMUSIC_PlaySong(loop);
  EXPECT_EQ(backend.calls.back(), "PlaySong #2 loop");
  backend.EndSong();
  EXPECT_FALSE(FMUSIC_IsFinished(loop));

  // Another song takes the mixer over; the first one no longer plays.
  FMUSIC_PlaySong(song);
  EXPECT_FALSE(FMUSIC_IsPlaying(loop));
  EXPECT_TRUE(FMUSIC_IsPlaying(song));
  EXPECT_FALSE(FMUSIC_StopSong(nullptr));
  FMUSIC_StopSong(loop);  // not the one playing: the mixer goes on
  EXPECT_TRUE(FMUSIC_IsPlaying(song));
}

TEST_F(SoundCalls, PauseHoldsTheSongAndIsNotItsEnd) {
  StartSound();
  FMUSIC_MODULE* song = LoadSong();
  FMUSIC_SetLooping(song, 0);
  EXPECT_FALSE(FMUSIC_SetPaused(song, 1)) << "only a playing song pauses";
  FMUSIC_PlaySong(song);
  ASSERT_TRUE(FMUSIC_SetPaused(song, 1));
  EXPECT_TRUE(FMUSIC_GetPaused(song));
  EXPECT_TRUE(backend.songPaused);
  EXPECT_FALSE(FMUSIC_IsFinished(song));
  ASSERT_TRUE(FMUSIC_SetPaused(song, 0));
  EXPECT_FALSE(FMUSIC_GetPaused(song));
  EXPECT_EQ(backend.calls.back(), "ResumeSong");
}

TEST_F(SoundCalls, CloseFreesWhatTheCallerLeftAndOnlyOnce) {
  StartSound();
  const std::vector<unsigned char> wav = MakeSineWav(8000, 440, 10, 1000);
  FSOUND_SAMPLE* sample = FSOUND_Sample_Load(FSOUND_FREE, reinterpret_cast<const char*>(wav.data()), 0x8001,
                                             static_cast<int>(wav.size()));
  FMUSIC_MODULE* song = LoadSong();
  FMUSIC_MODULE* freed = LoadSong();
  ASSERT_TRUE(sample && song && freed);
  FMUSIC_PlaySong(song);
  FMUSIC_FreeSong(freed);
  FSOUND_Close();
  EXPECT_EQ(backend.Count("FreeSong"), 2);
  EXPECT_EQ(backend.Count("FreeSample"), 1);
  EXPECT_EQ(backend.calls.back(), "Close");
  EXPECT_FALSE(backend.open);

  // The game frees its song before closing; handles that outlive the close are ignored.
  const size_t after = backend.calls.size();
  EXPECT_FALSE(FMUSIC_StopSong(song));
  EXPECT_FALSE(FMUSIC_FreeSong(song));
  FSOUND_Sample_Free(sample);
  FSOUND_Close();
  EXPECT_EQ(backend.calls.size(), after);
}

}  // namespace
