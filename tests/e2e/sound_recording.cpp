#include "tests/e2e/sound_recording.h"

#include <algorithm>
#include <cmath>
#include <fstream>

bool SoundRecording::Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return false;
  const std::streamoff bytes = in.tellg();
  const size_t frames = bytes > 0 ? static_cast<size_t>(bytes) / (2 * kChannels) : 0;
  m_samples.assign(frames * kChannels, 0);
  in.seekg(0);
  in.read(reinterpret_cast<char*>(m_samples.data()), static_cast<std::streamsize>(m_samples.size() * 2));
  m_samples.resize(static_cast<size_t>(in.gcount()) / 2 / kChannels * kChannels);
  return !m_samples.empty();
}

size_t SoundRecording::ClippedSamples(size_t from, size_t to) const {
  to = std::min(to, Frames());
  size_t clipped = 0;
  for (size_t i = from * kChannels; i < to * kChannels; ++i)
    clipped += m_samples[i] == INT16_MAX || m_samples[i] == INT16_MIN;
  return clipped;
}

std::vector<double> SoundRecording::BlockLevels(size_t from, size_t to) const {
  constexpr size_t kBlock = kRate / 100;
  to = std::min(to, Frames());
  std::vector<double> levels;
  for (size_t start = from; start + kBlock <= to; start += kBlock) {
    double sum = 0;
    for (size_t i = start * kChannels; i < (start + kBlock) * kChannels; ++i) sum += double(m_samples[i]) * m_samples[i];
    if (sum == 0) continue;
    levels.push_back(10 * std::log10(sum / (kBlock * kChannels)) - 20 * std::log10(32768.0));
  }
  return levels;
}

double Median(std::vector<double> values) {
  if (values.empty()) return -INFINITY;
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

double Loudest(const std::vector<double>& values) {
  return values.empty() ? -INFINITY : *std::max_element(values.begin(), values.end());
}
