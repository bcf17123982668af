#pragma once
// Deterministic random numbers and tileable noise for the generated assets.
#include <cstdint>

namespace assetgen {

// Small, fast generator with a fixed seed, so every build makes the same bytes.
class Random {
 public:
  explicit Random(uint32_t seed) : state_(seed * 2654435761u + 0x9E3779B9u) {}
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  // Uniform in [0, 1).
  float Uniform() { return static_cast<float>(Next() >> 8) / 16777216.0f; }
  float Range(float lo, float hi) { return lo + (hi - lo) * Uniform(); }
  int Int(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<uint32_t>(hi - lo + 1)); }

 private:
  uint32_t state_;
};

// Value noise whose lattice repeats every `period` cells, so textures made from it tile.
class TileNoise {
 public:
  TileNoise(int period, uint32_t seed) : period_(period), seed_(seed) {}
  // x, y in lattice units of the base octave; the result lies in 0..1.
  float Fractal(float x, float y, int octaves, float gain = 0.5f) const;
  float Octave(float x, float y, int wrap, uint32_t salt) const;

 private:
  int period_;
  uint32_t seed_;
};

}  // namespace assetgen
