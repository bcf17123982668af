// A sound backend for unit tests: plays nothing, records every call as a line of
// text ("Init 44100 32 1") and lets the test choose the answers.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/sound/sound_backend.h"

class RecordingSoundBackend : public SoundBackend {
 public:
  // What the test controls.
  float version = 3.75f;
  bool refuseOutput = false;
  bool refuseDriver = false;
  int initFailures = 0;  // this many Init calls fail before one succeeds
  bool refuseSamples = false;
  bool refuseSongs = false;
  // Called after each call is recorded, with its line: lets a test watch the order
  // and timing of the calls (for instance the pauses between start-up tries).
  std::function<void(const std::string&)> onCall;

  // What the test reads.
  std::vector<std::string> calls;
  int initAttempts = 0;
  bool open = false;
  int sampleVolume = 128;
  int songVolume = 128;
  bool songPaused = false;
  bool songLooping = false;

  // Makes the playing song reach its end (a looping song goes on).
  void EndSong();
  // How many recorded lines start with `prefix`.
  int Count(const std::string& prefix) const;

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
  void Record(const std::string& line);
  void* NewToken();
  // LoadSample and LoadSong: a new token, or null when refused or empty.
  void* Load(const std::string& method, bool refuse, const unsigned char* data, size_t size);

  unsigned m_nextToken = 0;
  void* m_pSong = nullptr;
  int m_nextChannel = 0;
};
