#include "tools/assetgen/random.h"

#include <cmath>

namespace assetgen {

namespace {

float Hash(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return static_cast<float>(h & 0xFFFFFF) / 16777215.0f;
}

}  // namespace

float TileNoise::Octave(float x, float y, int wrap, uint32_t salt) const {
  const float fx = std::floor(x), fy = std::floor(y);
  const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
  float tx = x - fx, ty = y - fy;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  auto w = [wrap](int v) { return ((v % wrap) + wrap) % wrap; };
  const uint32_t seed = seed_ * 31u + salt;
  const float a = Hash(w(ix), w(iy), seed), b = Hash(w(ix + 1), w(iy), seed);
  const float c = Hash(w(ix), w(iy + 1), seed), d = Hash(w(ix + 1), w(iy + 1), seed);
  const float top = a + (b - a) * tx, bottom = c + (d - c) * tx;
  return top + (bottom - top) * ty;
}

float TileNoise::Fractal(float x, float y, int octaves, float gain) const {
  float sum = 0, amplitude = 1, norm = 0, scale = 1;
  for (int k = 0; k < octaves; ++k) {
    sum += amplitude * Octave(x * scale, y * scale, period_ * static_cast<int>(scale), static_cast<uint32_t>(k));
    norm += amplitude;
    amplitude *= gain;
    scale *= 2;
  }
  return sum / norm;
}

}  // namespace assetgen
