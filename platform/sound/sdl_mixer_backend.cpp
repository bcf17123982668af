#include "platform/sound/sdl_mixer_backend.h"

#include <SDL.h>
#include <SDL_mixer.h>

namespace {
// The library version the game is written against; it accepts 3.6 and later.
constexpr float kReportedVersion = 3.75f;
constexpr int kBufferFrames = 1024;
}  // namespace

float SdlMixerBackend::Version() { return kReportedVersion; }

// Every output type and the default driver map to SDL's device.
bool SdlMixerBackend::SetOutput(int outputType) { return outputType >= 0 && outputType <= 12; }
bool SdlMixerBackend::SetDriver(int driver) { return driver == 0; }

bool SdlMixerBackend::Init(int mixRate, int channels, unsigned int /*flags*/) {
  if (m_bOpen) Close();
  if (mixRate <= 0 || channels <= 0) return false;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    SDL_Log("sound: SDL audio: %s", SDL_GetError());
    return false;
  }
  Mix_Init(MIX_INIT_MOD);
  if (Mix_OpenAudio(mixRate, AUDIO_S16SYS, 2, kBufferFrames) != 0) {
    SDL_Log("sound: cannot open the mixer: %s", Mix_GetError());
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  m_nChannels = Mix_AllocateChannels(channels);
  m_bOpen = true;
  return true;
}

void SdlMixerBackend::Close() {
  if (!m_bOpen) return;
  Mix_HaltMusic();
  Mix_HaltChannel(-1);
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  m_bOpen = false;
  m_nChannels = 0;
}

void* SdlMixerBackend::LoadSample(const unsigned char* data, size_t size) {
  if (!m_bOpen || !data || size == 0 || size > 0x7fffffffu) return nullptr;
  SDL_RWops* rw = SDL_RWFromConstMem(data, static_cast<int>(size));
  if (!rw) return nullptr;
  Mix_Chunk* chunk = Mix_LoadWAV_RW(rw, 1);
  if (!chunk) SDL_Log("sound: sample rejected: %s", Mix_GetError());
  return chunk;
}

void SdlMixerBackend::FreeSample(void* sample) {
  if (m_bOpen && sample) Mix_FreeChunk(static_cast<Mix_Chunk*>(sample));  // halts its channels
}

int SdlMixerBackend::PlaySample(int channel, void* sample, bool loop) {
  if (!m_bOpen || !sample) return -1;
  if (channel >= m_nChannels) return -1;
  return Mix_PlayChannel(channel < 0 ? -1 : channel, static_cast<Mix_Chunk*>(sample), loop ? -1 : 0);
}

void SdlMixerBackend::StopChannel(int channel) {
  if (m_bOpen && channel < m_nChannels) Mix_HaltChannel(channel < 0 ? -1 : channel);
}

bool SdlMixerBackend::ChannelPlaying(int channel) {
  return m_bOpen && channel >= 0 && channel < m_nChannels && Mix_Playing(channel) != 0;
}

void SdlMixerBackend::SetSampleVolume(int volume) {
  if (m_bOpen) Mix_Volume(-1, volume);
}

void* SdlMixerBackend::LoadSong(const unsigned char* data, size_t size) {
  if (!m_bOpen || !data || size == 0 || size > 0x7fffffffu) return nullptr;
  SDL_RWops* rw = SDL_RWFromConstMem(data, static_cast<int>(size));
  if (!rw) return nullptr;
  Mix_Music* music = Mix_LoadMUS_RW(rw, 1);
  if (!music) SDL_Log("sound: song rejected: %s", Mix_GetError());
  return music;
}

void SdlMixerBackend::FreeSong(void* song) {
  if (m_bOpen && song) Mix_FreeMusic(static_cast<Mix_Music*>(song));  // halts it if it plays
}

bool SdlMixerBackend::PlaySong(void* song, bool loop) {
  if (!m_bOpen || !song) return false;
  // SDL2_mixer counts plays: 1 plays the song through once, -1 repeats it forever.
  if (Mix_PlayMusic(static_cast<Mix_Music*>(song), loop ? -1 : 1) != 0) return false;
  Mix_ResumeMusic();  // a pause of the song played before must not hold this one
  return true;
}

void SdlMixerBackend::StopSong() {
  if (m_bOpen) Mix_HaltMusic();
}

void SdlMixerBackend::SetSongVolume(int volume) {
  if (m_bOpen) Mix_VolumeMusic(volume);
}

void SdlMixerBackend::PauseSong(bool pause) {
  if (!m_bOpen) return;
  if (pause)
    Mix_PauseMusic();
  else
    Mix_ResumeMusic();
}

bool SdlMixerBackend::SongPlaying() { return m_bOpen && Mix_PlayingMusic() != 0; }
