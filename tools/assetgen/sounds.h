#pragma once
// Sound effects (16-bit PCM WAV) and background songs (4-channel "M.K." modules).
#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

struct SoundAsset {
  std::string name;
  std::vector<uint8_t> data;
};

std::vector<uint8_t> EncodeWav(const std::vector<float>& samples, int rate);
std::vector<SoundAsset> MakeSamples();
std::vector<SoundAsset> MakeSongs();

// Playing time of a module that plays its order list once, from its speed and tempo
// commands (Fxx), in seconds; negative when the data is not a 31-sample module.
double ModuleSeconds(const std::vector<uint8_t>& module);

}  // namespace assetgen
