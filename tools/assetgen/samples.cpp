// Synthesised sound effects, one short sound per game event.
#include <algorithm>
#include <cmath>

#include "tools/assetgen/random.h"
#include "tools/assetgen/sounds.h"

namespace assetgen {

namespace {

constexpr int kRate = 22050;
constexpr float kPi = 3.14159265358979f;
// Every effect is made 8 dB under the peak its maker asks for: at the first-run
// volumes (music 80, effects 180) a single effect then stands a few dB over the
// music's median level instead of 10 to 15 dB, and many at once crowd the limiter less.
constexpr float kEffectLevel = 0.4f;

std::vector<float> Silence(float seconds) { return std::vector<float>(static_cast<size_t>(seconds * kRate), 0.0f); }

float Envelope(float t, float attack, float decay) {
  if (t < attack) return t / attack;
  return std::exp(-(t - attack) / decay);
}

// Adds a tone whose frequency glides from f0 to f1; `bright` adds odd harmonics.
void Tone(std::vector<float>& out, float start, float length, float f0, float f1, float gain, float attack, float decay,
          float bright = 0) {
  float phase = 0;
  const size_t first = static_cast<size_t>(start * kRate);
  const size_t count = static_cast<size_t>(length * kRate);
  for (size_t i = 0; i < count && first + i < out.size(); ++i) {
    const float t = static_cast<float>(i) / kRate;
    const float f = f0 + (f1 - f0) * (t / length);
    phase += 2 * kPi * f / kRate;
    float s = std::sin(phase) + bright * (std::sin(3 * phase) / 3 + std::sin(5 * phase) / 5);
    out[first + i] += s * gain * Envelope(t, attack, decay);
  }
}

// A bell: a few inharmonic partials with their own decays.
void Bell(std::vector<float>& out, float start, float f, float gain, float decay) {
  const float partials[][2] = {{1, 1}, {2.0f, 0.5f}, {2.76f, 0.3f}, {5.4f, 0.15f}};
  for (const auto& p : partials) Tone(out, start, decay * 4, f * p[0], f * p[0], gain * p[1], 0.003f, decay / p[0]);
}

// Filtered noise: a one-pole low pass whose cutoff moves from c0 to c1 (0..1).
void Noise(std::vector<float>& out, float start, float length, float c0, float c1, float gain, float attack, float decay,
           uint32_t seed, bool highPass = false) {
  Random random(seed);
  float low = 0;
  const size_t first = static_cast<size_t>(start * kRate);
  const size_t count = static_cast<size_t>(length * kRate);
  for (size_t i = 0; i < count && first + i < out.size(); ++i) {
    const float t = static_cast<float>(i) / kRate;
    const float c = c0 + (c1 - c0) * (t / length);
    const float white = random.Range(-1, 1);
    low += (white - low) * c;
    out[first + i] += (highPass ? white - low : low) * gain * Envelope(t, attack, decay);
  }
}

std::vector<float> Finish(std::vector<float> s, float peak = 0.8f) {
  float max = 1e-6f;
  for (float v : s) max = std::max(max, std::fabs(v));
  for (float& v : s) v *= kEffectLevel * peak / max;
  // Short fades so no sound starts or stops with a click.
  const size_t fade = std::min<size_t>(64, s.size() / 4);
  for (size_t i = 0; i < fade; ++i) {
    s[i] *= static_cast<float>(i) / fade;
    s[s.size() - 1 - i] *= static_cast<float>(i) / fade;
  }
  return s;
}

std::vector<float> BallSelect() {
  auto s = Silence(0.16f);
  Tone(s, 0, 0.16f, 620, 1250, 0.7f, 0.004f, 0.05f, 0.3f);
  Tone(s, 0.02f, 0.12f, 1240, 2500, 0.25f, 0.004f, 0.03f);
  return Finish(s);
}

std::vector<float> BallDown() {
  auto s = Silence(0.18f);
  Tone(s, 0, 0.18f, 180, 70, 1.0f, 0.002f, 0.045f);
  Noise(s, 0, 0.03f, 0.5f, 0.2f, 0.5f, 0.001f, 0.008f, 3);
  return Finish(s, 0.7f);
}

std::vector<float> LongDelete() {
  auto s = Silence(0.8f);
  for (int k = 0; k < 6; ++k) Tone(s, k * 0.09f, 0.3f, 1800 - k * 180, 1500 - k * 180, 0.3f, 0.005f, 0.08f, 0.2f);
  Noise(s, 0, 0.8f, 0.6f, 0.05f, 0.5f, 0.05f, 0.3f, 9);
  return Finish(s);
}

std::vector<float> ShortDelete() {
  auto s = Silence(0.1f);
  Noise(s, 0, 0.1f, 0.9f, 0.4f, 0.8f, 0.001f, 0.02f, 5, true);
  Tone(s, 0, 0.08f, 1400, 2200, 0.5f, 0.001f, 0.02f);
  return Finish(s, 0.7f);
}

std::vector<float> FloorSelect() {
  auto s = Silence(0.12f);
  Tone(s, 0, 0.12f, 880, 860, 0.8f, 0.001f, 0.025f);
  Tone(s, 0, 0.12f, 2300, 2250, 0.3f, 0.001f, 0.012f);
  Noise(s, 0, 0.02f, 0.7f, 0.7f, 0.3f, 0.001f, 0.004f, 4);
  return Finish(s, 0.7f);
}

std::vector<float> FlyNoise() {
  auto s = Silence(0.45f);
  Noise(s, 0, 0.45f, 0.02f, 0.35f, 1.0f, 0.12f, 0.15f, 6);
  Tone(s, 0, 0.45f, 300, 900, 0.15f, 0.1f, 0.2f);
  return Finish(s, 0.6f);
}

std::vector<float> SlideNoise() {
  auto s = Silence(0.14f);
  Noise(s, 0, 0.14f, 0.08f, 0.05f, 1.0f, 0.02f, 0.06f, 7);
  // Grain of a ball rolling over the plate joints.
  for (int k = 0; k < 4; ++k) Noise(s, k * 0.03f, 0.01f, 0.4f, 0.4f, 0.25f, 0.001f, 0.003f, 20 + k);
  return Finish(s, 0.5f);
}

std::vector<float> Welcome() {
  auto s = Silence(2.2f);
  const float notes[] = {523.25f, 659.25f, 783.99f, 1046.5f};
  for (int k = 0; k < 4; ++k) Bell(s, k * 0.14f, notes[k], 0.5f, 0.5f);
  Tone(s, 0.56f, 1.6f, 261.63f, 261.63f, 0.35f, 0.05f, 0.6f, 0.4f);
  Tone(s, 0.56f, 1.6f, 392.0f, 392.0f, 0.25f, 0.05f, 0.6f, 0.3f);
  return Finish(s);
}

std::vector<float> MenuSelect() {
  auto s = Silence(0.06f);
  Tone(s, 0, 0.06f, 1500, 1600, 0.8f, 0.001f, 0.015f, 0.5f);
  return Finish(s, 0.5f);
}

std::vector<float> OptRedButton() {
  auto s = Silence(0.1f);
  Tone(s, 0, 0.05f, 800, 800, 0.7f, 0.001f, 0.02f, 1.0f);
  Tone(s, 0.035f, 0.06f, 600, 600, 0.6f, 0.001f, 0.02f, 1.0f);
  Noise(s, 0, 0.01f, 0.8f, 0.8f, 0.5f, 0.0005f, 0.003f, 8);
  return Finish(s, 0.7f);
}

std::vector<float> OptDiodButton() {
  auto s = Silence(0.1f);
  Tone(s, 0, 0.05f, 1200, 1200, 0.6f, 0.002f, 0.04f, 1.0f);
  Tone(s, 0.05f, 0.05f, 1800, 1800, 0.6f, 0.002f, 0.03f, 1.0f);
  return Finish(s, 0.6f);
}

std::vector<float> OptGreenButton() {
  auto s = Silence(0.2f);
  Tone(s, 0, 0.09f, 659.25f, 659.25f, 0.6f, 0.003f, 0.05f, 0.3f);
  Tone(s, 0.08f, 0.12f, 880, 880, 0.6f, 0.003f, 0.06f, 0.3f);
  return Finish(s, 0.65f);
}

std::vector<float> OptTexsButton() {
  auto s = Silence(0.2f);
  Random random(12);
  for (int k = 0; k < 6; ++k) Tone(s, k * 0.025f, 0.05f, random.Range(2000, 4000), random.Range(2000, 4000), 0.4f, 0.001f, 0.012f);
  Noise(s, 0, 0.18f, 0.5f, 0.9f, 0.25f, 0.01f, 0.05f, 13, true);
  return Finish(s, 0.6f);
}

std::vector<float> SoundVolume() {
  auto s = Silence(0.25f);
  Tone(s, 0, 0.25f, 440, 440, 0.8f, 0.01f, 0.15f, 0.2f);
  return Finish(s, 0.8f);
}

std::vector<float> HiRecords() {
  auto s = Silence(1.6f);
  // A short brass fanfare: G C E G, then a held C chord.
  const float notes[][2] = {{392.0f, 0.0f}, {523.25f, 0.15f}, {659.25f, 0.3f}, {783.99f, 0.45f}};
  for (const auto& n : notes) Tone(s, n[1], 0.2f, n[0], n[0], 0.5f, 0.01f, 0.12f, 1.0f);
  for (float f : {523.25f, 659.25f, 783.99f, 1046.5f}) Tone(s, 0.62f, 0.98f, f, f * 1.003f, 0.3f, 0.02f, 0.45f, 1.0f);
  return Finish(s);
}

}  // namespace

std::vector<uint8_t> EncodeWav(const std::vector<float>& samples, int rate) {
  std::vector<uint8_t> out;
  auto u32 = [&out](uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto u16 = [&out](uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  };
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  u32(36 + dataBytes);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  u32(16);
  u16(1);  // PCM
  u16(1);  // mono
  u32(static_cast<uint32_t>(rate));
  u32(static_cast<uint32_t>(rate) * 2);
  u16(2);
  u16(16);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  u32(dataBytes);
  for (float v : samples) {
    const int s = static_cast<int>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
    u16(static_cast<uint16_t>(static_cast<int16_t>(s)));
  }
  return out;
}

std::vector<SoundAsset> MakeSamples() {
  struct Maker {
    const char* name;
    std::vector<float> (*make)();
  };
  const Maker makers[] = {
      {"BallSelect", BallSelect},       {"BallDown", BallDown},         {"LongDelete", LongDelete},
      {"ShortDelete", ShortDelete},     {"FloorSelect", FloorSelect},   {"FlyNoise", FlyNoise},
      {"SlideNoise", SlideNoise},       {"Welcome", Welcome},           {"MenuSelect", MenuSelect},
      {"OptRedButton", OptRedButton},   {"OptDiodButton", OptDiodButton}, {"OptGreenButton", OptGreenButton},
      {"OptTexsButton", OptTexsButton}, {"SoundVolume", SoundVolume},   {"HiRecords", HiRecords},
  };
  std::vector<SoundAsset> out;
  for (const Maker& m : makers) out.push_back({m.name, EncodeWav(m.make(), kRate)});
  return out;
}

}  // namespace assetgen
