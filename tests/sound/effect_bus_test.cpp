// The effect bus and its limiter on synthetic buffers: every sample channel at full
// scale at once stays under full scale, and a quiet mix comes through untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/sound/effect_bus.h"

namespace {

constexpr int kRate = 44100;
constexpr size_t kFrames = 1024;

int16_t Sine(size_t frame, float frequency, float amplitude) {
  return static_cast<int16_t>(std::lround(amplitude * std::sin(6.2831853f * frequency * frame / kRate)));
}

TEST(EffectBus, ThirtyTwoFullScaleChannelsOverLoudMusicNeverReachFullScale) {
  EffectBus bus(kRate, 2, 32);
  const long ceiling = std::lround(bus.Limiter().Ceiling());
  int loudest = 0;
  std::vector<int16_t> stream(kFrames * 2), piece(kFrames * 2);
  for (size_t at = 0; at < 40 * kFrames; at += kFrames) {
    // Square waves in phase at the extremes and sines apart, the right side inverted,
    // some ending halfway through the buffer; the music is at full scale itself.
    for (int c = 0; c < 32; ++c) {
      for (size_t i = 0; i < piece.size(); ++i) {
        const size_t f = at + i / 2;
        const int16_t v = c < 16 ? (f / 50 % 2 ? INT16_MIN : INT16_MAX) : Sine(f, 200.0f + c * 37, 32767);
        piece[i] = i % 2 ? static_cast<int16_t>(-std::max<int>(v, -INT16_MAX)) : v;
      }
      bus.Add(c, piece.data(), c % 3 == 0 && at / kFrames % 4 == 1 ? kFrames : piece.size(), 1.0f);
    }
    for (size_t i = 0; i < stream.size(); ++i) stream[i] = Sine(at + i / 2, 110, 32767);
    bus.MixInto(stream.data(), stream.size());
    for (int16_t v : stream) ASSERT_LE(std::abs(v), ceiling) << "frame " << at;
    for (int16_t v : stream) loudest = std::max(loudest, std::abs(int{v}));
  }
  EXPECT_GT(loudest, ceiling * 9 / 10) << "a limited mix should still be loud";
}

TEST(EffectBus, AQuietMixComesOutUnchangedOnlyLaterAndAgainAfterALoudOne) {
  EffectBus bus(kRate, 2, 32);
  const size_t delay = bus.Limiter().Latency() * 2, loudFrom = 10 * kFrames, loudTo = 15 * kFrames;
  std::vector<int> expected, got;
  std::vector<int16_t> stream(kFrames * 2), effect(kFrames * 2), other(kFrames * 2);
  for (size_t at = 0; at < 85 * kFrames; at += kFrames) {
    const float amplitude = at >= loudFrom && at < loudTo ? 32767 : 4000;  // loud: the limiter acts
    for (size_t i = 0; i < stream.size(); ++i) {
      stream[i] = Sine(at + i / 2, i % 2 ? 450 : 300, 6000);
      effect[i] = Sine(at + i / 2, 700, amplitude);
      other[i] = Sine(at + i / 2, 1000, amplitude);
      expected.push_back(stream[i] + effect[i] + int(std::lround(other[i] * 0.5f)));
    }
    // Channel 0 hands its sound over in two pieces, channel 7 plays at half volume.
    bus.Add(0, effect.data(), kFrames, 1.0f);
    bus.Add(0, effect.data() + kFrames, kFrames, 1.0f);
    bus.Add(7, other.data(), other.size(), 0.5f);
    bus.MixInto(stream.data(), stream.size());
    got.insert(got.end(), stream.begin(), stream.end());
  }
  // Unchanged before the loud stretch, and again from a second after it.
  for (size_t i = 0; i + delay < expected.size(); ++i)
    if (i + delay < loudFrom * 2 || i >= (loudTo + kRate) * 2) {
      ASSERT_NEAR(got[i + delay], expected[i], 1) << "sample " << i;
    }
}

}  // namespace
