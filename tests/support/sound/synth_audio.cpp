#include "tests/support/sound/synth_audio.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {
void PutLe16(std::vector<unsigned char>& out, unsigned v) {
  out.push_back(static_cast<unsigned char>(v & 0xff));
  out.push_back(static_cast<unsigned char>((v >> 8) & 0xff));
}
void PutLe32(std::vector<unsigned char>& out, uint32_t v) {
  PutLe16(out, v & 0xffff);
  PutLe16(out, v >> 16);
}
void PutText(std::vector<unsigned char>& out, const char* text) {
  out.insert(out.end(), text, text + std::strlen(text));
}
void PutBe16(unsigned char* at, unsigned v) {
  at[0] = static_cast<unsigned char>((v >> 8) & 0xff);
  at[1] = static_cast<unsigned char>(v & 0xff);
}
}  // namespace

std::vector<unsigned char> MakeSineWav(int sampleRate, int frequency, int milliseconds, int amplitude) {
  const uint32_t frames = static_cast<uint32_t>(sampleRate) * static_cast<uint32_t>(milliseconds) / 1000u;
  const uint32_t dataBytes = frames * 2u;
  std::vector<unsigned char> wav;
  PutText(wav, "RIFF");
  PutLe32(wav, 36u + dataBytes);
  PutText(wav, "WAVE");
  PutText(wav, "fmt ");
  PutLe32(wav, 16);
  PutLe16(wav, 1);  // PCM
  PutLe16(wav, 1);  // mono
  PutLe32(wav, static_cast<uint32_t>(sampleRate));
  PutLe32(wav, static_cast<uint32_t>(sampleRate) * 2u);
  PutLe16(wav, 2);
  PutLe16(wav, 16);
  PutText(wav, "data");
  PutLe32(wav, dataBytes);
  for (uint32_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / sampleRate;
    const int v = static_cast<int>(std::lround(amplitude * std::sin(2.0 * M_PI * frequency * t)));
    PutLe16(wav, static_cast<unsigned>(static_cast<uint16_t>(static_cast<int16_t>(v))));
  }
  return wav;
}

std::vector<unsigned char> MakeShortMod(int rows) {
  constexpr int kHeader = 1084;
  constexpr int kPattern = 64 * 4 * 4;
  constexpr int kSampleWords = 512;
  std::vector<unsigned char> mod(kHeader + kPattern + kSampleWords * 2, 0);
  std::memcpy(mod.data(), "test song", 9);
  // Instrument 1: name, length, finetune, volume, loop start, loop length (in words).
  unsigned char* sample = mod.data() + 20;
  std::memcpy(sample, "square", 6);
  PutBe16(sample + 22, kSampleWords);
  sample[24] = 0;
  sample[25] = 64;
  PutBe16(sample + 26, 0);
  PutBe16(sample + 28, kSampleWords);
  for (int i = 1; i < 31; ++i) PutBe16(mod.data() + 20 + i * 30 + 28, 1);  // empty, no loop
  mod[950] = 1;    // one position in the order list
  mod[951] = 127;  // restart byte
  mod[952] = 0;    // position 0 plays pattern 0
  std::memcpy(mod.data() + 1080, "M.K.", 4);

  unsigned char* pattern = mod.data() + kHeader;
  const unsigned period = 428;  // C of the middle octave
  unsigned char* note = pattern;  // row 0, channel 0
  note[0] = static_cast<unsigned char>((period >> 8) & 0x0f);  // instrument 1: high nibble 0
  note[1] = static_cast<unsigned char>(period & 0xff);
  note[2] = static_cast<unsigned char>((1 & 0x0f) << 4);
  note[3] = 0;
  unsigned char* stop = pattern + (rows - 1) * 16;  // channel 0 of the last row
  stop[2] = static_cast<unsigned char>(stop[2] | 0x0d);  // pattern break: the song ends
  stop[3] = 0;

  unsigned char* data = mod.data() + kHeader + kPattern;
  for (int i = 0; i < kSampleWords * 2; ++i) data[i] = static_cast<unsigned char>((i / 16) % 2 ? 100 : -100);
  return mod;
}

int PeakOf16BitSamples(const std::vector<unsigned char>& bytes) {
  int peak = 0;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const int v = static_cast<int16_t>(static_cast<uint16_t>(bytes[i] | (bytes[i + 1] << 8)));
    peak = std::max(peak, std::abs(v));
  }
  return peak;
}

std::string MakeTempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/vantorel-sound-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) return std::string();
  return buffer.data();
}

void RemoveTree(const std::string& path) {
  std::error_code error;
  if (!path.empty()) std::filesystem::remove_all(path, error);
}

std::vector<unsigned char> ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : m_name(name) {
  const char* old = std::getenv(name);
  m_hadOld = old != nullptr;
  if (old) m_old = old;
  setenv(name, value, 1);
}

ScopedEnv::~ScopedEnv() {
  if (m_hadOld)
    setenv(m_name.c_str(), m_old.c_str(), 1);
  else
    unsetenv(m_name.c_str());
}

ScopedWorkDir::ScopedWorkDir() : m_path(MakeTempDir()), m_old(std::filesystem::current_path().string()) {
  if (!m_path.empty()) std::filesystem::current_path(m_path);
}

ScopedWorkDir::~ScopedWorkDir() {
  std::error_code error;
  std::filesystem::current_path(m_old, error);
  RemoveTree(m_path);
}
