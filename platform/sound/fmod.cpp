#include "platform/sound/fmod.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include "platform/sound/sdl_mixer_backend.h"
#include "platform/sound/sound_backend.h"
#include "platform/sound/sound_backend_testing.h"

struct FSOUND_SAMPLE {
  void* backendSample = nullptr;
  bool loop = false;
};

enum class SongState { Idle, Playing, Finished, Stopped };

struct FMUSIC_MODULE {
  std::vector<unsigned char> bytes;  // the backend may read them until the song is freed
  void* backendSong = nullptr;
  bool looping = true;
  int volume = 256;
  bool paused = false;
  SongState state = SongState::Idle;
};

namespace {

constexpr int kMaxSampleVolume = 255;
constexpr int kMaxSongVolume = 256;
constexpr int kMixerMaxVolume = 128;

struct SoundSystem {
  SoundBackend* testBackend = nullptr;
  bool initialized = false;
  int output = FSOUND_OUTPUT_DSOUND;
  int sfxVolume = kMaxSampleVolume;
  std::set<FSOUND_SAMPLE*> samples;  // every live handle, so stale ones are recognised
  std::set<FMUSIC_MODULE*> songs;
  FMUSIC_MODULE* current = nullptr;  // the song the backend plays
};

SoundSystem& System() {
  static SoundSystem system;
  return system;
}

SoundBackend& Backend() {
  static SdlMixerBackend mixer;
  SoundSystem& s = System();
  return s.testBackend ? *s.testBackend : mixer;
}

bool IsLive(FSOUND_SAMPLE* sample) { return sample && System().samples.count(sample) != 0; }
bool IsLive(FMUSIC_MODULE* song) { return song && System().songs.count(song) != 0; }

int ToMixerVolume(int volume, int maxVolume) {
  volume = std::clamp(volume, 0, maxVolume);
  return (volume * kMixerMaxVolume + maxVolume / 2) / maxVolume;
}

// Notices that the current song has reached its end.
void UpdateCurrentSong() {
  SoundSystem& s = System();
  if (s.current && !Backend().SongPlaying()) {
    s.current->state = SongState::Finished;
    s.current->paused = false;
    s.current = nullptr;
  }
}

bool ReadFile(const char* fileName, std::vector<unsigned char>& bytes) {
  if (!fileName) return false;
  std::ifstream file(fileName, std::ios::binary);
  if (!file) return false;
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !bytes.empty();
}

FSOUND_SAMPLE* LoadSampleBytes(const unsigned char* data, size_t size, unsigned int mode) {
  SoundSystem& s = System();
  if (!s.initialized || !data || size == 0) return nullptr;
  void* backendSample = Backend().LoadSample(data, size);
  if (!backendSample) return nullptr;
  FSOUND_SAMPLE* sample = new FSOUND_SAMPLE;
  sample->backendSample = backendSample;
  sample->loop = (mode & (FSOUND_LOOP_NORMAL | FSOUND_LOOP_BIDI)) != 0 && (mode & FSOUND_LOOP_OFF) == 0;
  s.samples.insert(sample);
  return sample;
}

FMUSIC_MODULE* LoadSongBytes(std::vector<unsigned char> bytes) {
  SoundSystem& s = System();
  if (!s.initialized || bytes.empty()) return nullptr;
  FMUSIC_MODULE* song = new FMUSIC_MODULE;
  song->bytes = std::move(bytes);
  song->backendSong = Backend().LoadSong(song->bytes.data(), song->bytes.size());
  if (!song->backendSong) {
    delete song;
    return nullptr;
  }
  s.songs.insert(song);
  return song;
}

void FreeSongNow(FMUSIC_MODULE* song) {
  SoundSystem& s = System();
  if (s.current == song) {
    Backend().StopSong();
    s.current = nullptr;
  }
  Backend().FreeSong(song->backendSong);
  s.songs.erase(song);
  delete song;
}

}  // namespace

void FSOUND_UseBackendForTesting(SoundBackend* backend) {
  FSOUND_Close();
  System().testBackend = backend;
}

float FSOUND_GetVersion() { return Backend().Version(); }

signed char FSOUND_SetOutput(int outputType) {
  SoundSystem& s = System();
  if (s.initialized || !Backend().SetOutput(outputType)) return 0;
  s.output = outputType;
  return 1;
}

int FSOUND_GetOutput() { return System().output; }

signed char FSOUND_SetDriver(int driver) {
  if (System().initialized) return 0;
  return Backend().SetDriver(driver) ? 1 : 0;
}

signed char FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned int flags) {
  FSOUND_Close();
  SoundSystem& s = System();
  if (!Backend().Init(mixRate, maxSoftwareChannels, flags)) return 0;
  s.initialized = true;
  Backend().SetSampleVolume(ToMixerVolume(s.sfxVolume, kMaxSampleVolume));
  return 1;
}

void FSOUND_Close() {
  SoundSystem& s = System();
  if (!s.initialized) return;
  // Songs and samples belong to the sound system: whatever the caller left is freed here.
  while (!s.songs.empty()) FreeSongNow(*s.songs.begin());
  for (FSOUND_SAMPLE* sample : s.samples) {
    Backend().FreeSample(sample->backendSample);
    delete sample;
  }
  s.samples.clear();
  Backend().Close();
  s.initialized = false;
}

FSOUND_SAMPLE* FSOUND_Sample_Load(int index, const char* nameOrData, unsigned int mode, int length) {
  return FSOUND_Sample_Load(index, nameOrData, mode, 0, length);
}

FSOUND_SAMPLE* FSOUND_Sample_Load(int /*index*/, const char* nameOrData, unsigned int mode, int offset,
                                  int length) {
  if (!nameOrData || offset < 0) return nullptr;
  if (mode & FSOUND_LOADMEMORY) {
    if (length <= 0) return nullptr;
    return LoadSampleBytes(reinterpret_cast<const unsigned char*>(nameOrData) + offset, static_cast<size_t>(length),
                           mode);
  }
  std::vector<unsigned char> bytes;
  if (!ReadFile(nameOrData, bytes) || static_cast<size_t>(offset) >= bytes.size()) return nullptr;
  size_t size = bytes.size() - static_cast<size_t>(offset);
  if (length > 0) size = std::min(size, static_cast<size_t>(length));
  return LoadSampleBytes(bytes.data() + offset, size, mode);
}

void FSOUND_Sample_Free(FSOUND_SAMPLE* sample) {
  if (!IsLive(sample)) return;
  Backend().FreeSample(sample->backendSample);
  System().samples.erase(sample);
  delete sample;
}

int FSOUND_PlaySound(int channel, FSOUND_SAMPLE* sample) {
  if (!System().initialized || !IsLive(sample) || channel < FSOUND_FREE) return -1;
  return Backend().PlaySample(channel, sample->backendSample, sample->loop);
}

signed char FSOUND_StopSound(int channel) {
  if (!System().initialized) return 0;
  if (channel == FSOUND_ALL) {
    Backend().StopChannel(-1);
    return 1;
  }
  if (channel < 0) return 0;
  Backend().StopChannel(channel);
  return 1;
}

signed char FSOUND_IsPlaying(int channel) {
  return System().initialized && channel >= 0 && Backend().ChannelPlaying(channel) ? 1 : 0;
}

void FSOUND_SetSFXMasterVolume(int volume) {
  SoundSystem& s = System();
  s.sfxVolume = std::clamp(volume, 0, kMaxSampleVolume);
  if (s.initialized) Backend().SetSampleVolume(ToMixerVolume(s.sfxVolume, kMaxSampleVolume));
}

int FSOUND_GetSFXMasterVolume() { return System().sfxVolume; }

FMUSIC_MODULE* FMUSIC_LoadSongMemory(const void* data, int length) {
  if (!data || length <= 0) return nullptr;
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  return LoadSongBytes(std::vector<unsigned char>(bytes, bytes + length));
}

FMUSIC_MODULE* FMUSIC_LoadSong(const char* fileName) {
  std::vector<unsigned char> bytes;
  if (!ReadFile(fileName, bytes)) return nullptr;
  return LoadSongBytes(std::move(bytes));
}

signed char FMUSIC_FreeSong(FMUSIC_MODULE* song) {
  if (!IsLive(song)) return 0;
  FreeSongNow(song);
  return 1;
}

signed char FMUSIC_PlaySong(FMUSIC_MODULE* song) {
  SoundSystem& s = System();
  if (!IsLive(song)) return 0;
  UpdateCurrentSong();
  if (s.current && s.current != song) s.current->state = SongState::Stopped;
  s.current = nullptr;
  song->paused = false;
  Backend().SetSongVolume(ToMixerVolume(song->volume, kMaxSongVolume));
  if (!Backend().PlaySong(song->backendSong, song->looping)) {
    song->state = SongState::Stopped;
    return 0;
  }
  song->state = SongState::Playing;
  s.current = song;
  return 1;
}

signed char FMUSIC_StopSong(FMUSIC_MODULE* song) {
  SoundSystem& s = System();
  if (!IsLive(song)) return 0;
  UpdateCurrentSong();
  if (s.current == song) {
    Backend().StopSong();
    s.current = nullptr;
    song->state = SongState::Stopped;
  }
  song->paused = false;
  return 1;
}

void FMUSIC_StopAllSongs() {
  SoundSystem& s = System();
  if (s.current) FMUSIC_StopSong(s.current);
}

signed char FMUSIC_SetLooping(FMUSIC_MODULE* song, signed char looping) {
  if (!IsLive(song)) return 0;
  song->looping = looping != 0;
  return 1;
}

signed char FMUSIC_SetMasterVolume(FMUSIC_MODULE* song, int volume) {
  if (!IsLive(song)) return 0;
  song->volume = std::clamp(volume, 0, kMaxSongVolume);
  if (System().current == song) Backend().SetSongVolume(ToMixerVolume(song->volume, kMaxSongVolume));
  return 1;
}

int FMUSIC_GetMasterVolume(FMUSIC_MODULE* song) { return IsLive(song) ? song->volume : -1; }

signed char FMUSIC_IsFinished(FMUSIC_MODULE* song) {
  if (!IsLive(song)) return 0;
  UpdateCurrentSong();
  return song->state == SongState::Finished ? 1 : 0;
}

signed char FMUSIC_IsPlaying(FMUSIC_MODULE* song) {
  if (!IsLive(song)) return 0;
  UpdateCurrentSong();
  return System().current == song && !song->paused ? 1 : 0;
}

signed char FMUSIC_SetPaused(FMUSIC_MODULE* song, signed char pause) {
  if (!IsLive(song)) return 0;
  UpdateCurrentSong();
  if (System().current != song) return 0;
  song->paused = pause != 0;
  Backend().PauseSong(song->paused);
  return 1;
}

signed char FMUSIC_GetPaused(FMUSIC_MODULE* song) { return IsLive(song) && song->paused ? 1 : 0; }
