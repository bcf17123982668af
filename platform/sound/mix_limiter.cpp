#include "platform/sound/mix_limiter.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr float kFullScale = 32768.0f;
constexpr float kCeilingDb = -1.0f;
constexpr float kLookAheadSeconds = 0.002f;
constexpr float kReleaseSeconds = 0.06f;
}  // namespace

MixLimiter::MixLimiter(int rate, int channels)
    : m_channels(std::max(channels, 1)),
      m_lookAhead(std::max<size_t>(2, static_cast<size_t>(std::max(rate, 1) * kLookAheadSeconds))),
      m_ceiling(kFullScale * std::pow(10.0f, kCeilingDb / 20)),
      m_release(1.0f - std::exp(-1.0f / (std::max(rate, 1) * kReleaseSeconds))),
      m_gainSum(static_cast<double>(m_lookAhead)),
      m_delay(m_lookAhead * static_cast<size_t>(m_channels), 0.0f),
      m_gains(m_lookAhead, 1.0f),
      m_minGain(m_lookAhead),
      m_minFrame(m_lookAhead) {}

// The gain of a frame is the average of the last m_lookAhead smoothed gains, each of
// them no more than what every frame in its window needs; the frame that leaves the
// delay line lies in all of those windows, so it is brought under the ceiling.
void MixLimiter::Process(float* samples, size_t frames) {
  const size_t channels = static_cast<size_t>(m_channels);
  for (size_t f = 0; f < frames; ++f, ++m_frame) {
    float* frame = samples + f * channels;
    float peak = 0;
    for (size_t c = 0; c < channels; ++c) peak = std::max(peak, std::fabs(frame[c]));
    const float need = peak > m_ceiling ? m_ceiling / peak : 1.0f;

    if (m_minCount > 0 && m_frame - m_minFrame[m_minHead] >= m_lookAhead) {
      m_minHead = (m_minHead + 1) % m_lookAhead;
      --m_minCount;
    }
    while (m_minCount > 0 && m_minGain[(m_minHead + m_minCount - 1) % m_lookAhead] >= need) --m_minCount;
    const size_t back = (m_minHead + m_minCount) % m_lookAhead;
    m_minGain[back] = need;
    m_minFrame[back] = m_frame;
    ++m_minCount;
    const float windowNeed = m_minGain[m_minHead];
    m_gain = windowNeed < m_gain ? windowNeed : m_gain + (windowNeed - m_gain) * m_release;

    m_pos = (m_pos + 1) % m_lookAhead;
    m_gainSum += static_cast<double>(m_gain) - m_gains[m_pos];
    m_gains[m_pos] = m_gain;
    const float gain = std::min(1.0f, static_cast<float>(m_gainSum / static_cast<double>(m_lookAhead)));

    // The newest frame takes the slot of the one m_lookAhead frames back; the next slot
    // holds the frame that leaves now.
    float* delayed = &m_delay[m_pos * channels];
    const size_t oldest = (m_pos + 1) % m_lookAhead;
    float* out = &m_delay[oldest * channels];
    for (size_t c = 0; c < channels; ++c) delayed[c] = frame[c];
    for (size_t c = 0; c < channels; ++c) frame[c] = out[c] * gain;
  }
}
