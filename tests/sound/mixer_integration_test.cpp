// The real SDL2_mixer backend on SDL's dummy and disk audio drivers: samples and
// tracker songs made here load, play, and (on the disk driver) come out audible, at the
// volumes set.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_mixer.h>

#include <string>
#include <vector>

#include "platform/sound/fmod.h"
#include "platform/sound/sound_backend_testing.h"
#include "tests/support/sound/song_wait.h"
#include "tests/support/sound/synth_audio.h"

namespace {

class MixerPlayback : public ::testing::Test {
 protected:
  void SetUp() override { FSOUND_UseBackendForTesting(nullptr); }
  void TearDown() override { FSOUND_Close(); }
};

TEST_F(MixerPlayback, DummyDriverPlaysASampleAndASongThatEndsWhenNotLooping) {
  ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
  ASSERT_TRUE(FSOUND_SetOutput(FSOUND_OUTPUT_DSOUND));
  ASSERT_TRUE(FSOUND_SetDriver(0));
  ASSERT_TRUE(FSOUND_Init(44100, 32, 1)) << SDL_GetError();

  const std::vector<unsigned char> wav = MakeSineWav(44100, 440, 200, 12000);
  FSOUND_SAMPLE* sample = FSOUND_Sample_Load(FSOUND_FREE, reinterpret_cast<const char*>(wav.data()),
                                             FSOUND_LOADMEMORY | FSOUND_LOOP_OFF, static_cast<int>(wav.size()));
  ASSERT_NE(sample, nullptr);
  FSOUND_SetSFXMasterVolume(200);
  const int channel = FSOUND_PlaySound(FSOUND_FREE, sample);
  ASSERT_GE(channel, 0);
  ASSERT_LT(channel, 32);
  EXPECT_TRUE(FSOUND_IsPlaying(channel));

  // The song owns its copy: the caller's bytes are gone before it plays.
  std::vector<unsigned char>* bytes = new std::vector<unsigned char>(MakeShortMod(4));
  FMUSIC_MODULE* song = FMUSIC_LoadSongMemory(bytes->data(), static_cast<int>(bytes->size()));
  delete bytes;
  ASSERT_NE(song, nullptr) << SDL_GetError();
  FMUSIC_SetLooping(song, 0);
  FMUSIC_SetMasterVolume(song, 250);
  const Uint32 start = SDL_GetTicks();
  ASSERT_TRUE(FMUSIC_PlaySong(song));
  EXPECT_FALSE(FMUSIC_IsFinished(song));
  EXPECT_TRUE(FMUSIC_IsPlaying(song));
  // Four rows last about half a second: the end is neither missed nor early.
  EXPECT_TRUE(WaitUntilFinished(song, 5000));
  EXPECT_GE(SDL_GetTicks() - start, 300u);
  EXPECT_FALSE(FMUSIC_IsPlaying(song));

  FMUSIC_FreeSong(song);
  FSOUND_Sample_Free(sample);
}

TEST_F(MixerPlayback, ALoopingSongGoesOnAndPausesAndStops) {
  ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
  ASSERT_TRUE(FSOUND_Init(44100, 32, 1)) << SDL_GetError();
  const std::vector<unsigned char> bytes = MakeShortMod(2);
  FMUSIC_MODULE* song = FMUSIC_LoadSongMemory(bytes.data(), static_cast<int>(bytes.size()));
  ASSERT_NE(song, nullptr);
  ASSERT_TRUE(FMUSIC_PlaySong(song));  // looping by default
  SDL_Delay(700);                      // about three times its length
  EXPECT_FALSE(FMUSIC_IsFinished(song));
  EXPECT_TRUE(FMUSIC_IsPlaying(song));

  FMUSIC_SetPaused(song, 1);
  EXPECT_TRUE(FMUSIC_GetPaused(song));
  SDL_Delay(100);
  EXPECT_FALSE(FMUSIC_IsFinished(song));
  // A new start is not held by the pause.
  ASSERT_TRUE(FMUSIC_PlaySong(song));
  EXPECT_FALSE(FMUSIC_GetPaused(song));
  EXPECT_EQ(Mix_PausedMusic(), 0);
  FMUSIC_StopSong(song);
  EXPECT_FALSE(FMUSIC_IsPlaying(song));
  EXPECT_FALSE(FMUSIC_IsFinished(song));
  // Left for FSOUND_Close to free.
}

TEST_F(MixerPlayback, DamagedDataIsRefusedWithoutHarm) {
  ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
  ASSERT_TRUE(FSOUND_Init(44100, 32, 1));
  const std::vector<unsigned char> junk(300, 0x5a);
  EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, reinterpret_cast<const char*>(junk.data()), 0x8001,
                               static_cast<int>(junk.size())),
            nullptr);
  std::vector<unsigned char> wav = MakeSineWav(44100, 440, 50, 1000);
  wav.resize(30);  // header cut short
  EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, reinterpret_cast<const char*>(wav.data()), 0x8001,
                               static_cast<int>(wav.size())),
            nullptr);
  std::vector<unsigned char> mod = MakeShortMod(4);
  mod.resize(1100);  // the pattern and the sample are missing
  FMUSIC_MODULE* cut = FMUSIC_LoadSongMemory(mod.data(), static_cast<int>(mod.size()));
  if (cut) {  // the module reader may accept a short file; it must still play safely
    FMUSIC_SetLooping(cut, 0);
    FMUSIC_PlaySong(cut);
    SDL_Delay(50);
    FMUSIC_FreeSong(cut);
  }
}

// The peak of what the mixer wrote on SDL's disk driver while `play` started a sound and
// waited for its end; 0 when nothing was written.
template <typename Play>
int PeakOnDisk(Play play) {
  const std::string dir = MakeTempDir(), path = dir + "/out.raw";
  EXPECT_FALSE(dir.empty());
  ScopedEnv driver("SDL_AUDIODRIVER", "disk");
  ScopedEnv file("SDL_DISKAUDIOFILE", path.c_str());
  EXPECT_TRUE(FSOUND_Init(44100, 32, 1)) << SDL_GetError();
  play();
  FSOUND_Close();
  const int peak = PeakOf16BitSamples(ReadWholeFile(path));
  RemoveTree(dir);
  return peak;
}

// Waits, for at most five seconds, until the channel has mixed its whole sample and
// freed itself; how long that took in milliseconds.
Uint32 WaitWhilePlaying(int channel) {
  const Uint32 start = SDL_GetTicks();
  while (FSOUND_IsPlaying(channel) && SDL_GetTicks() - start < 5000) SDL_Delay(20);
  return SDL_GetTicks() - start;
}

// Plays `wav` as an effect to its end; how long it played in milliseconds.
Uint32 PlayEffectToItsEnd(const std::vector<unsigned char>& wav) {
  FSOUND_SAMPLE* sample = FSOUND_Sample_Load(FSOUND_FREE, reinterpret_cast<const char*>(wav.data()), 0x8001,
                                             static_cast<int>(wav.size()));
  EXPECT_NE(sample, nullptr);
  const int channel = FSOUND_PlaySound(FSOUND_FREE, sample);
  EXPECT_GE(channel, 0);
  return WaitWhilePlaying(channel);
}

// Plays the short song at `volume` (256 is full) to its end.
void PlaySongToItsEnd(int volume) {
  const std::vector<unsigned char> mod = MakeShortMod(4);
  FMUSIC_MODULE* song = FMUSIC_LoadSongMemory(mod.data(), static_cast<int>(mod.size()));
  ASSERT_NE(song, nullptr);
  FMUSIC_SetLooping(song, 0);
  FMUSIC_SetMasterVolume(song, volume);
  EXPECT_TRUE(FMUSIC_PlaySong(song));
  EXPECT_TRUE(WaitUntilFinished(song, 5000));
}

TEST_F(MixerPlayback, DiskDriverOutputIsAudible) {
  const int samplePeak = PeakOnDisk([] {
    EXPECT_GE(PlayEffectToItsEnd(MakeSineWav(44100, 440, 300, 12000)), 200u);
    SDL_Delay(100);
  });
  const int songPeak = PeakOnDisk([] { PlaySongToItsEnd(256); });
  // Full volume sine of amplitude 12000: far above silence whatever the mixing.
  EXPECT_GT(samplePeak, 3000);
  EXPECT_GT(songPeak, 1000);
}

TEST_F(MixerPlayback, ThirtyTwoFullScaleEffectsAtFullVolumeStayUnderFullScale) {
  const int peak = PeakOnDisk([] {
    FSOUND_SetSFXMasterVolume(255);
    const std::vector<unsigned char> wav = MakeSineWav(44100, 440, 300, 32767);
    FSOUND_SAMPLE* sample = FSOUND_Sample_Load(FSOUND_FREE, reinterpret_cast<const char*>(wav.data()), 0x8001,
                                               static_cast<int>(wav.size()));
    ASSERT_NE(sample, nullptr);
    int channels[32];
    for (int& channel : channels) ASSERT_GE(channel = FSOUND_PlaySound(FSOUND_FREE, sample), 0);
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, sample), -1) << "every channel is taken";
    WaitWhilePlaying(channels[31]);
    SDL_Delay(100);
  });
  EXPECT_LT(peak, 32767) << "the sum of the channels was clipped";
  EXPECT_GT(peak, 20000) << "the effects should be loud";
}

// The options' sliders act on the mix: an effect comes out in proportion to the effects
// volume, and a song at volume 0 is all but silent. The tone stays well under the
// limiter's ceiling, so its peak passes unchanged.
TEST_F(MixerPlayback, EffectsAndMusicVolumesScaleWhatIsHeard) {
  const std::vector<unsigned char> wav = MakeSineWav(44100, 440, 300, 12000);
  const auto effectAt = [&wav](int volume) {
    return PeakOnDisk([&] {
      FSOUND_SetSFXMasterVolume(volume);
      PlayEffectToItsEnd(wav);
    });
  };
  const int full = effectAt(255), half = effectAt(128);
  ASSERT_GT(full, 3000) << "the effect was not heard at full volume";
  EXPECT_NEAR(half, full / 2, full / 20) << "the effects volume does not scale the effects";

  const auto songAt = [](int volume) { return PeakOnDisk([volume] { PlaySongToItsEnd(volume); }); };
  const int loud = songAt(256), silent = songAt(0);
  ASSERT_GT(loud, 1000) << "the song was not heard at full volume";
  EXPECT_LT(silent, loud / 100) << "the song at music volume 0 is still heard";
}

TEST_F(MixerPlayback, InitFailsCleanlyWithoutAnAudioDevice) {
  ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
  EXPECT_FALSE(FSOUND_Init(44100, 32, 1));
  EXPECT_EQ(FMUSIC_LoadSongMemory("x", 1), nullptr);
  ScopedEnv dummy("SDL_AUDIODRIVER", "dummy");
  EXPECT_TRUE(FSOUND_Init(44100, 32, 1));
}

}  // namespace
