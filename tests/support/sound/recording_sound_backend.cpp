#include "tests/support/sound/recording_sound_backend.h"

#include <cstdint>
#include <cstdio>

namespace {
std::string TokenText(const void* token) {
  char text[32];
  std::snprintf(text, sizeof text, "#%u", static_cast<unsigned>(reinterpret_cast<uintptr_t>(token)));
  return text;
}
}  // namespace

void RecordingSoundBackend::Record(const std::string& line) {
  calls.push_back(line);
  if (onCall) onCall(line);
}

// Tokens are small numbers dressed as pointers; they are never dereferenced.
void* RecordingSoundBackend::NewToken() { return reinterpret_cast<void*>(static_cast<uintptr_t>(++m_nextToken)); }

int RecordingSoundBackend::Count(const std::string& prefix) const {
  int n = 0;
  for (const std::string& line : calls)
    if (line.compare(0, prefix.size(), prefix) == 0) ++n;
  return n;
}

void RecordingSoundBackend::EndSong() {
  if (m_pSong && !songLooping) {
    m_pSong = nullptr;
    songPaused = false;
  }
}

float RecordingSoundBackend::Version() {
  Record("Version");
  return version;
}

bool RecordingSoundBackend::SetOutput(int outputType) {
  Record("SetOutput " + std::to_string(outputType));
  return !refuseOutput;
}

bool RecordingSoundBackend::SetDriver(int driver) {
  Record("SetDriver " + std::to_string(driver));
  return !refuseDriver;
}

bool RecordingSoundBackend::Init(int mixRate, int channels, unsigned int flags) {
  ++initAttempts;
  Record("Init " + std::to_string(mixRate) + " " + std::to_string(channels) + " " + std::to_string(flags));
  if (initFailures > 0) {
    --initFailures;
    return false;
  }
  open = true;
  return true;
}

void* RecordingSoundBackend::Load(const std::string& method, bool refuse, const unsigned char* data, size_t size) {
  if (refuse || !data || size == 0) {
    Record(method + " " + std::to_string(size) + " refused");
    return nullptr;
  }
  void* token = NewToken();
  Record(method + " " + std::to_string(size) + " " + TokenText(token));
  return token;
}

void RecordingSoundBackend::Close() {
  Record("Close");
  open = false;
  m_pSong = nullptr;
}

void* RecordingSoundBackend::LoadSample(const unsigned char* data, size_t size) {
  return Load("LoadSample", refuseSamples, data, size);
}

void RecordingSoundBackend::FreeSample(void* sample) { Record("FreeSample " + TokenText(sample)); }

int RecordingSoundBackend::PlaySample(int channel, void* sample, bool loop) {
  const int used = channel >= 0 ? channel : (m_nextChannel++ % 32);
  Record("PlaySample " + std::to_string(channel) + " " + TokenText(sample) + (loop ? " loop" : ""));
  return used;
}

void RecordingSoundBackend::StopChannel(int channel) { Record("StopChannel " + std::to_string(channel)); }

bool RecordingSoundBackend::ChannelPlaying(int /*channel*/) { return false; }

void RecordingSoundBackend::SetSampleVolume(int volume) {
  Record("SetSampleVolume " + std::to_string(volume));
  sampleVolume = volume;
}

void* RecordingSoundBackend::LoadSong(const unsigned char* data, size_t size) {
  return Load("LoadSong", refuseSongs, data, size);
}

void RecordingSoundBackend::FreeSong(void* song) {
  Record("FreeSong " + TokenText(song));
  if (song == m_pSong) m_pSong = nullptr;
}

bool RecordingSoundBackend::PlaySong(void* song, bool loop) {
  Record("PlaySong " + TokenText(song) + (loop ? " loop" : " once"));
  m_pSong = song;
  songLooping = loop;
  songPaused = false;
  return true;
}

void RecordingSoundBackend::StopSong() {
  Record("StopSong");
  m_pSong = nullptr;
  songPaused = false;
}

void RecordingSoundBackend::SetSongVolume(int volume) {
  Record("SetSongVolume " + std::to_string(volume));
  songVolume = volume;
}

void RecordingSoundBackend::PauseSong(bool pause) {
  Record(pause ? "PauseSong" : "ResumeSong");
  songPaused = pause;
}

bool RecordingSoundBackend::SongPlaying() { return m_pSong != nullptr; }
