#include "platform/d3dx/image_scaler.h"

#include <algorithm>
#include <cmath>

namespace {

struct Tap {
  uint32_t index;
  float weight;
};

// For every destination position along one axis, the source positions it reads and their weights.
std::vector<std::vector<Tap>> AxisTaps(uint32_t sourceSize, uint32_t size, ScaleFilter filter) {
  std::vector<std::vector<Tap>> taps(size);
  const double ratio = double(sourceSize) / size;
  for (uint32_t i = 0; i < size; ++i) {
    std::vector<Tap>& list = taps[i];
    if (filter == ScaleFilter::Point || sourceSize == size) {
      uint32_t s = std::min<uint32_t>(uint32_t((i + 0.5) * ratio), sourceSize - 1);
      list.push_back({s, 1.0f});
    } else if (size < sourceSize) {
      // Box: the share of each source pixel covered by [i, i + 1) mapped back.
      double from = i * ratio, to = (i + 1) * ratio;
      for (uint32_t s = uint32_t(from); s < sourceSize && s < to; ++s) {
        double covered = std::min<double>(s + 1, to) - std::max<double>(s, from);
        if (covered > 0) list.push_back({s, float(covered / ratio)});
      }
    } else {
      double centre = (i + 0.5) * ratio - 0.5;
      double base = std::floor(centre);
      float f = float(centre - base);
      int64_t s0 = std::clamp<int64_t>(int64_t(base), 0, sourceSize - 1);
      int64_t s1 = std::clamp<int64_t>(int64_t(base) + 1, 0, sourceSize - 1);
      list.push_back({uint32_t(s0), 1.0f - f});
      list.push_back({uint32_t(s1), f});
    }
  }
  return taps;
}

uint32_t Pack(const float* c) {
  uint32_t out = 0;
  for (int k = 0; k < 4; ++k) {
    float v = std::clamp(c[k] + 0.5f, 0.0f, 255.0f);
    out |= uint32_t(v) << (8 * k);
  }
  return out;
}

}  // namespace

std::vector<uint32_t> ScaleImage(const uint32_t* source, uint32_t sourceWidth, uint32_t sourceHeight,
                                 uint32_t width, uint32_t height, ScaleFilter filter) {
  std::vector<uint32_t> out(size_t(width) * height, 0);
  if (!source || sourceWidth == 0 || sourceHeight == 0 || width == 0 || height == 0) return out;

  if (filter == ScaleFilter::None) {
    uint32_t w = std::min(width, sourceWidth), h = std::min(height, sourceHeight);
    for (uint32_t y = 0; y < h; ++y)
      std::copy(source + size_t(y) * sourceWidth, source + size_t(y) * sourceWidth + w, out.data() + size_t(y) * width);
    return out;
  }

  const auto columns = AxisTaps(sourceWidth, width, filter);
  const auto rows = AxisTaps(sourceHeight, height, filter);
  std::vector<float> line(size_t(sourceWidth) * 4);  // one destination row, before the horizontal pass
  for (uint32_t y = 0; y < height; ++y) {
    std::fill(line.begin(), line.end(), 0.0f);
    for (const Tap& r : rows[y]) {
      const uint32_t* src = source + size_t(r.index) * sourceWidth;
      for (uint32_t x = 0; x < sourceWidth; ++x)
        for (int k = 0; k < 4; ++k) line[size_t(x) * 4 + k] += r.weight * float((src[x] >> (8 * k)) & 0xff);
    }
    uint32_t* dst = out.data() + size_t(y) * width;
    for (uint32_t x = 0; x < width; ++x) {
      float c[4] = {0, 0, 0, 0};
      for (const Tap& t : columns[x])
        for (int k = 0; k < 4; ++k) c[k] += t.weight * line[size_t(t.index) * 4 + k];
      dst[x] = Pack(c);
    }
  }
  return out;
}
