// What the FSOUND/FMUSIC calls need from an audio library. The calls check handles,
// clamp and scale volumes and keep the song states; a backend only does the work.
// Volumes reach the backend in SDL2_mixer's range 0..128.
#pragma once

#include <cstddef>

class SoundBackend {
 public:
  virtual ~SoundBackend() = default;

  virtual float Version() = 0;
  virtual bool SetOutput(int outputType) = 0;
  virtual bool SetDriver(int driver) = 0;
  virtual bool Init(int mixRate, int channels, unsigned int flags) = 0;
  virtual void Close() = 0;

  // Tokens for loaded data; null on failure.
  virtual void* LoadSample(const unsigned char* data, size_t size) = 0;
  virtual void FreeSample(void* sample) = 0;
  // channel -1 = any free one; returns the channel used or -1.
  virtual int PlaySample(int channel, void* sample, bool loop) = 0;
  virtual void StopChannel(int channel) = 0;  // -1 = all
  virtual bool ChannelPlaying(int channel) = 0;
  virtual void SetSampleVolume(int volume) = 0;

  // `data` stays valid until FreeSong.
  virtual void* LoadSong(const unsigned char* data, size_t size) = 0;
  virtual void FreeSong(void* song) = 0;
  virtual bool PlaySong(void* song, bool loop) = 0;
  virtual void StopSong() = 0;
  virtual void SetSongVolume(int volume) = 0;
  virtual void PauseSong(bool pause) = 0;
  // True from PlaySong until the song ends or is stopped (also while paused).
  virtual bool SongPlaying() = 0;
};
