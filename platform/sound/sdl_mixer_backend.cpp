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
  int rate = 0, outputChannels = 0;
  Uint16 format = 0;
  Mix_QuerySpec(&rate, &format, &outputChannels);
  if (format == AUDIO_S16SYS) {  // asked for, and SDL2_mixer lets only rate and channels change
    m_pBus = std::make_unique<EffectBus>(rate, outputChannels, m_nChannels);
    Mix_SetPostMix(FinishMix, this);
  }
  m_bOpen = true;
  return true;
}

// A channel's sound, in the device's format (16-bit: the mixer is opened so), goes to
// the bus; the mixer then adds silence.
void SdlMixerBackend::TakeChannel(int channel, void* stream, int bytes, void* backend) {
  SdlMixerBackend* self = static_cast<SdlMixerBackend*>(backend);
  const float gain = static_cast<float>(self->m_nSampleVolume.load(std::memory_order_relaxed)) / MIX_MAX_VOLUME;
  self->m_pBus->Add(channel, static_cast<const int16_t*>(stream), static_cast<size_t>(bytes) / 2, gain);
  SDL_memset(stream, 0, static_cast<size_t>(bytes));
}

void SdlMixerBackend::FinishMix(void* backend, unsigned char* stream, int bytes) {
  static_cast<SdlMixerBackend*>(backend)->m_pBus->MixInto(reinterpret_cast<int16_t*>(stream),
                                                          static_cast<size_t>(bytes) / 2);
}

void SdlMixerBackend::Close() {
  if (!m_bOpen) return;
  Mix_HaltMusic();
  Mix_HaltChannel(-1);
  Mix_SetPostMix(nullptr, nullptr);
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  m_bOpen = false;
  m_nChannels = 0;
  m_pBus.reset();
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
  if (channel < 0) {
    // The first free channel, as SDL2_mixer would choose it; its capture must be in
    // place before it starts, or its first buffer would be mixed past the bus.
    channel = 0;
    while (channel < m_nChannels && Mix_Playing(channel)) ++channel;
    if (channel == m_nChannels) return -1;
  } else {
    Mix_HaltChannel(channel);  // ends its effects, ours among them
  }
  Mix_UnregisterAllEffects(channel);
  if (m_pBus && !Mix_RegisterEffect(channel, TakeChannel, nullptr, this)) return -1;
  // SDL2_mixer drops a channel's effects when its sound ends or is halted.
  return Mix_PlayChannel(channel, static_cast<Mix_Chunk*>(sample), loop ? -1 : 0);
}

void SdlMixerBackend::StopChannel(int channel) {
  if (m_bOpen && channel < m_nChannels) Mix_HaltChannel(channel < 0 ? -1 : channel);
}

bool SdlMixerBackend::ChannelPlaying(int channel) {
  return m_bOpen && channel >= 0 && channel < m_nChannels && Mix_Playing(channel) != 0;
}

void SdlMixerBackend::SetSampleVolume(int volume) {
  m_nSampleVolume.store(volume, std::memory_order_relaxed);
  if (m_bOpen && !m_pBus) Mix_Volume(-1, volume);
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
