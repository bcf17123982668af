// The effect bus and its limiter on synthetic buffers: every sample channel at full
// scale at once stays under full scale, and a quiet mix comes through untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/sound/effect_bus.h"

namespace {

constexpr int kRate = 44100;
constexpr size_t kFrames = 1024;
constexpr float kPi = 3.14159265f;

int16_t Sine(size_t frame, float frequency, float amplitude) {
  return static_cast<int16_t>(std::lround(amplitude * std::sin(2 * kPi * frequency * frame / kRate)));
}

TEST(EffectBus, ThirtyTwoFullScaleChannelsOverLoudMusicNeverReachFullScale) {
  EffectBus bus(kRate, 2, 32);
  const long ceiling = std::lround(bus.Limiter().Ceiling());
  int loudest = 0;
  for (size_t buffer = 0; buffer < 40; ++buffer) {
    std::vector<int16_t> stream(kFrames * 2);
    for (size_t f = 0; f < kFrames; ++f) {
      const size_t at = buffer * kFrames + f;
      stream[2 * f] = stream[2 * f + 1] = Sine(at, 110, 32767);  // the music, at full scale itself
    }
    for (int channel = 0; channel < 32; ++channel) {
      // Channels in phase (a square wave stuck at the extremes) and apart, some
      // entering halfway through the buffer.
      std::vector<int16_t> piece(kFrames * 2);
      for (size_t f = 0; f < kFrames; ++f) {
        const size_t at = buffer * kFrames + f;
        const int16_t v = channel < 16 ? ((at / 50) % 2 ? INT16_MIN : INT16_MAX) : Sine(at, 200.0f + channel * 37, 32767);
        piece[2 * f] = v;
        piece[2 * f + 1] = static_cast<int16_t>(-std::max<int>(v, -INT16_MAX));
      }
      const size_t skip = channel % 3 == 0 && buffer % 4 == 1 ? kFrames : 0;
      bus.Add(channel, piece.data() + skip, piece.size() - skip, 1.0f);
    }
    bus.MixInto(stream.data(), stream.size());
    for (int16_t v : stream) {
      ASSERT_LE(std::abs(v), ceiling) << "buffer " << buffer;
      loudest = std::max(loudest, std::abs(int{v}));
    }
  }
  EXPECT_GT(loudest, ceiling * 9 / 10) << "a limited mix should still be loud";
}

TEST(EffectBus, AQuietMixComesOutUnchangedOnlyLaterAndAgainAfterALoudOne) {
  EffectBus bus(kRate, 2, 32);
  const size_t latency = bus.Limiter().Latency();
  std::vector<int> expected, got;
  auto run = [&](size_t buffers, float effectAmplitude) {
    for (size_t buffer = 0; buffer < buffers; ++buffer) {
      std::vector<int16_t> stream(kFrames * 2), first(kFrames), second(kFrames), other(kFrames * 2);
      const size_t base = expected.size() / 2;
      for (size_t f = 0; f < kFrames; ++f) {
        stream[2 * f] = Sine(base + f, 300, 6000);
        stream[2 * f + 1] = Sine(base + f, 450, 6000);
        other[2 * f] = other[2 * f + 1] = Sine(base + f, 1000, effectAmplitude);
      }
      // Channel 0 hands its sound over in two pieces, channel 7 at half volume in one.
      for (size_t i = 0; i < kFrames; ++i) first[i] = Sine(base + i / 2, 700, effectAmplitude);
      for (size_t i = 0; i < kFrames; ++i) second[i] = Sine(base + kFrames / 2 + i / 2, 700, effectAmplitude);
      bus.Add(0, first.data(), first.size(), 1.0f);
      bus.Add(0, second.data(), second.size(), 1.0f);
      bus.Add(7, other.data(), other.size(), 0.5f);
      for (size_t i = 0; i < kFrames * 2; ++i) {
        const int16_t piece = i < kFrames ? first[i] : second[i - kFrames];
        expected.push_back(stream[i] + piece + int(std::lround(other[i] * 0.5f)));
      }
      bus.MixInto(stream.data(), stream.size());
      got.insert(got.end(), stream.begin(), stream.end());
    }
  };
  run(10, 4000);
  const size_t quietEnd = expected.size();
  run(5, 32767);  // far over the ceiling: the limiter acts
  const size_t recovered = expected.size() + kRate * 2;  // a second later
  run(70, 4000);
  for (size_t i = 0; i + latency * 2 < quietEnd; ++i)
    ASSERT_NEAR(got[i + latency * 2], expected[i], 1) << "sample " << i;
  for (size_t i = recovered; i + latency * 2 < expected.size(); ++i)
    ASSERT_NEAR(got[i + latency * 2], expected[i], 1) << "sample " << i;
}

}  // namespace
