// What SDL's disk audio driver wrote for the game: interleaved signed 16-bit stereo
// frames at 44.1 kHz, read back to count clipped samples and measure levels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class SoundRecording {
 public:
  static constexpr int kRate = 44100;
  static constexpr int kChannels = 2;

  // False when the file cannot be read or holds no whole frame.
  bool Read(const std::string& path);
  size_t Frames() const { return m_samples.size() / kChannels; }

  // Samples at either end of the range (+32767 or -32768) in frames [from, to).
  size_t ClippedSamples(size_t from, size_t to) const;
  // The RMS level of every 10 ms block in frames [from, to), in dB below full scale;
  // silent blocks are left out.
  std::vector<double> BlockLevels(size_t from, size_t to) const;

 private:
  std::vector<int16_t> m_samples;
};

double Median(std::vector<double> values);
double Loudest(const std::vector<double>& values);
