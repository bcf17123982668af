#include "tests/e2e/screen_image.h"

#include <png.h>

#include <algorithm>

int Rgb::Spread() const { return std::max({r, g, b}) - std::min({r, g, b}); }

Rgb ScreenImage::At(int x, int y) const {
  if (Empty()) return Rgb();
  x = std::clamp(x, 0, width - 1);
  y = std::clamp(y, 0, height - 1);
  const uint32_t p = pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
  return Rgb{static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF), static_cast<int>(p & 0xFF)};
}

Rgb ScreenImage::Mean(int x, int y, int r) const {
  Rgb sum;
  int n = 0;
  for (int dy = -r; dy <= r; ++dy)
    for (int dx = -r; dx <= r; ++dx) {
      const Rgb c = At(x + dx, y + dy);
      sum.r += c.r;
      sum.g += c.g;
      sum.b += c.b;
      ++n;
    }
  return Rgb{sum.r / n, sum.g / n, sum.b / n};
}

double ScreenImage::DarkShare(int level) const {
  if (Empty()) return 1.0;
  size_t dark = 0;
  for (uint32_t p : pixels) {
    const int sum = static_cast<int>(((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF));
    dark += sum < 3 * level;
  }
  return static_cast<double>(dark) / static_cast<double>(pixels.size());
}

bool ScreenImage::SavePng(const std::string& path) const {
  if (Empty()) return false;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> rgb(pixels.size() * 3);
  for (size_t i = 0; i < pixels.size(); ++i) {
    rgb[3 * i] = static_cast<unsigned char>(pixels[i] >> 16);
    rgb[3 * i + 1] = static_cast<unsigned char>(pixels[i] >> 8);
    rgb[3 * i + 2] = static_cast<unsigned char>(pixels[i]);
  }
  return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}
