// A look-ahead peak limiter for the final mix. Every frame leaves it at most at the
// ceiling, 1 dB under full scale; a signal that stays under the ceiling comes out
// unchanged, only Latency() frames later. The gain falls over the look-ahead, so a
// peak never arrives before the gain is down, and recovers over about 60 ms.
#pragma once

#include <cstddef>
#include <vector>

class MixLimiter {
 public:
  // `channels` interleaved samples a frame, in 16-bit units (full scale 32768).
  MixLimiter(int rate, int channels);

  void Process(float* samples, size_t frames);  // in place
  size_t Latency() const { return m_lookAhead - 1; }
  float Ceiling() const { return m_ceiling; }

 private:
  int m_channels;
  size_t m_lookAhead;  // frames
  float m_ceiling;
  float m_release;     // share of the way back to the wanted gain, each frame
  float m_gain = 1.0f;
  double m_gainSum;    // of the last m_lookAhead gains
  size_t m_pos = 0;    // ring position of the newest frame
  size_t m_frame = 0;  // frames seen
  std::vector<float> m_delay;  // the last m_lookAhead input frames
  std::vector<float> m_gains;
  // The smallest gain a frame of the look-ahead window needs: candidates in rising
  // order of frame and of gain, in a ring.
  std::vector<float> m_minGain;
  std::vector<size_t> m_minFrame;
  size_t m_minHead = 0, m_minCount = 0;
};
