// The sound backend of the running game: SDL2_mixer on SDL's audio device.
// SDL_AUDIODRIVER chooses the device (dummy and disk work without a sound card).
#pragma once

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
  bool m_bOpen = false;
  int m_nChannels = 0;
};
