// The sample channels summed in floating point, added to the music and brought under
// full scale by the limiter. Summed in 16 bits, as the mixer itself would, a few loud
// effects together already overflow and crackle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/sound/mix_limiter.h"

class EffectBus {
 public:
  // `frameChannels` interleaved samples a frame; `mixerChannels` sample channels.
  EffectBus(int rate, int frameChannels, int mixerChannels);

  // One piece of a channel's sound for the buffer being mixed, scaled by `gain`. A
  // channel's pieces follow each other from the start of the buffer.
  void Add(int channel, const int16_t* samples, size_t count, float gain);
  // Adds everything added since the last call to `stream` (the music is in it
  // already) and limits the sum; the next buffer starts empty.
  void MixInto(int16_t* stream, size_t count);

  const MixLimiter& Limiter() const { return m_limiter; }

 private:
  int m_frameChannels;
  std::vector<float> m_sum;
  std::vector<size_t> m_filled;  // per channel, samples added to this buffer
  MixLimiter m_limiter;
};
