// Every sample and song decodes through SDL2_mixer, as the game's sound layer plays them.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_mixer.h>

#include <atomic>
#include <cstdlib>

#include "tests/assets/resource_library.h"
#include "tools/assetgen/sounds.h"

namespace assettest {
namespace {

class Audio : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!std::getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);
    open_ = SDL_Init(SDL_INIT_AUDIO) == 0 && Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024) == 0;
    if (open_) Mix_Init(MIX_INIT_MOD);
  }
  static void TearDownTestSuite() {
    if (open_) Mix_CloseAudio();
    Mix_Quit();
    SDL_Quit();
  }
  static bool open_;
};
bool Audio::open_ = false;

TEST_F(Audio, SamplesDecodeShortAndAudible) {
  ASSERT_TRUE(open_) << SDL_GetError();
  ResourceLibrary library;
  for (const std::string& name : SampleNames()) {
    const std::vector<uint8_t> bytes = library.Read(name);
    ASSERT_FALSE(bytes.empty()) << name;
    Mix_Chunk* chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1);
    ASSERT_NE(chunk, nullptr) << name << ": " << Mix_GetError();
    const double seconds = chunk->alen / (44100.0 * 4);
    EXPECT_GT(seconds, 0.03) << name;
    EXPECT_LT(seconds, 2.5) << name << " is too long for a sound effect";
    int peak = 0;
    const auto* pcm = reinterpret_cast<const int16_t*>(chunk->abuf);
    for (Uint32 i = 0; i < chunk->alen / 2; ++i) peak = std::max(peak, std::abs(static_cast<int>(pcm[i])));
    // Made 8 dB under their makers' peaks, so that one effect sits with the music.
    EXPECT_GT(peak, 4000) << name << " is nearly silent";
    EXPECT_LT(peak, 16384) << name << " would stand far over the music";
    Mix_FreeChunk(chunk);
  }
}

std::atomic<long> g_loudFrames{0};

void CountLoud(void*, Uint8* stream, int len) {
  const auto* pcm = reinterpret_cast<const int16_t*>(stream);
  for (int i = 0; i < len / 2; ++i)
    if (std::abs(static_cast<int>(pcm[i])) > 500) ++g_loudFrames;
}

TEST_F(Audio, SongsAreModulesOfAtLeastAMinuteThatPlay) {
  ASSERT_TRUE(open_) << SDL_GetError();
  ResourceLibrary library;
  for (const std::string& name : SongNames()) {
    const std::vector<uint8_t> bytes = library.Read(name);
    ASSERT_FALSE(bytes.empty()) << name;
    EXPECT_GE(assetgen::ModuleSeconds(bytes), 60.0) << name;
    Mix_Music* music = Mix_LoadMUS_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1);
    ASSERT_NE(music, nullptr) << name << ": " << Mix_GetError();
    EXPECT_EQ(Mix_GetMusicType(music), MUS_MOD) << name;
    EXPECT_GE(Mix_MusicDuration(music), 60.0) << name;
    // Half a second through the dummy device: the decoder produces sound, not silence.
    g_loudFrames = 0;
    Mix_SetPostMix(CountLoud, nullptr);
    ASSERT_EQ(Mix_PlayMusic(music, 0), 0) << Mix_GetError();
    SDL_Delay(600);
    Mix_HaltMusic();
    Mix_SetPostMix(nullptr, nullptr);
    EXPECT_GT(g_loudFrames.load(), 1000) << name << " plays silently";
    Mix_FreeMusic(music);
  }
}

}  // namespace
}  // namespace assettest
