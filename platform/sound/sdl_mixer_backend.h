// The sound backend of the running game: SDL2_mixer on SDL's audio device.
// SDL_AUDIODRIVER chooses the device (dummy and disk work without a sound card).
// The samples do not reach SDL2_mixer's own 16-bit sum: each channel hands its sound
// to the effect bus, which adds it to the music and limits the whole mix.
#pragma once

#include <atomic>
#include <memory>

#include "platform/sound/effect_bus.h"
#include "platform/sound/sound_backend.h"

class SdlMixerBackend : public SoundBackend {
 public:
  float Version() override;
  bool SetOutput(int outputType) override;
  bool SetDriver(int driver) override;
  bool Init(int mixRate, int channels, unsigned int flags) override;
  void Close() override;

  void* LoadSample(const unsigned char* data, size_t size) override;
  void FreeSample(void* sample) override;
  int PlaySample(int channel, void* sample, bool loop) override;
  void StopChannel(int channel) override;
  bool ChannelPlaying(int channel) override;
  void SetSampleVolume(int volume) override;

  void* LoadSong(const unsigned char* data, size_t size) override;
  void FreeSong(void* song) override;
  bool PlaySong(void* song, bool loop) override;
  void StopSong() override;
  void SetSongVolume(int volume) override;
  void PauseSong(bool pause) override;
  bool SongPlaying() override;

 private:
  static void TakeChannel(int channel, void* stream, int bytes, void* backend);
  static void FinishMix(void* backend, unsigned char* stream, int bytes);

  bool m_bOpen = false;
  int m_nChannels = 0;
  std::unique_ptr<EffectBus> m_pBus;
  std::atomic<int> m_nSampleVolume{128};  // 0..128, read by the audio thread
};
