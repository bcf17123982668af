#include "platform/sound/effect_bus.h"

#include <algorithm>
#include <cmath>

EffectBus::EffectBus(int rate, int frameChannels, int mixerChannels)
    : m_frameChannels(std::max(frameChannels, 1)),
      m_filled(static_cast<size_t>(std::max(mixerChannels, 0)), 0),
      m_limiter(rate, m_frameChannels) {
  m_sum.reserve(8192);  // a few buffers' worth: the audio thread need not allocate
}

void EffectBus::Add(int channel, const int16_t* samples, size_t count, float gain) {
  if (channel < 0 || static_cast<size_t>(channel) >= m_filled.size()) return;
  size_t& at = m_filled[static_cast<size_t>(channel)];
  if (m_sum.size() < at + count) m_sum.resize(at + count, 0.0f);
  for (size_t i = 0; i < count; ++i) m_sum[at + i] += samples[i] * gain;
  at += count;
}

void EffectBus::MixInto(int16_t* stream, size_t count) {
  if (m_sum.size() < count) m_sum.resize(count, 0.0f);
  for (size_t i = 0; i < count; ++i) m_sum[i] += stream[i];
  m_limiter.Process(m_sum.data(), count / static_cast<size_t>(m_frameChannels));
  for (size_t i = 0; i < count; ++i)
    stream[i] = static_cast<int16_t>(std::lround(std::clamp(m_sum[i], -32768.0f, 32767.0f)));
  std::fill(m_sum.begin(), m_sum.end(), 0.0f);
  std::fill(m_filled.begin(), m_filled.end(), 0);
}
