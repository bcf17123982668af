#pragma once
// A floating-point RGBA picture with the drawing operations the texture generators need.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace assetgen {

struct Color {
  float r = 0, g = 0, b = 0, a = 1;
};

Color Mix(const Color& x, const Color& y, float t);
Color Scale(const Color& c, float k);  // rgb only
Color Rgb(int r, int g, int b);         // 0..255 components, opaque

// Coverage in 0..1 per pixel, used for text, shapes and their glow and shadow.
class Mask {
 public:
  Mask(int width, int height) : width_(width), height_(height), values_(static_cast<size_t>(width) * height) {}
  int width() const { return width_; }
  int height() const { return height_; }
  float& at(int x, int y) { return values_[static_cast<size_t>(y) * width_ + x]; }
  float at(int x, int y) const { return values_[static_cast<size_t>(y) * width_ + x]; }
  float Sample(int x, int y) const;  // zero outside
  // Three box passes approximate a gaussian of the given radius.
  Mask Blurred(int radius) const;
  Mask Shifted(int dx, int dy) const;
  Mask Dilated(int radius) const;

 private:
  int width_, height_;
  std::vector<float> values_;
};

class Image {
 public:
  Image() = default;
  Image(int width, int height, Color fill = Color{0, 0, 0, 1});
  int width() const { return width_; }
  int height() const { return height_; }
  Color& at(int x, int y) { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  const Color& at(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  // Bilinear, wrapping around the edges.
  Color SampleWrapped(float x, float y) const;
  Color SampleClamped(float x, float y) const;

  // Draws `c` over the pixel with coverage `coverage` (c.a multiplies it).
  void Blend(int x, int y, const Color& c, float coverage);
  void Add(int x, int y, const Color& c, float amount);
  // Fills every pixel from a function of its normalised centre (u, v in 0..1).
  void Shade(const std::function<Color(float u, float v)>& shader);
  // Paints `paint(x, y)` through the mask placed at (ox, oy).
  void Paint(const Mask& mask, int ox, int oy, const std::function<Color(int x, int y)>& paint);
  void Paint(const Mask& mask, int ox, int oy, const Color& c);
  void Glow(const Mask& mask, int ox, int oy, const Color& c, int radius, float strength);
  // Copies `source` scaled into the rectangle (bilinear, box-filtered when shrinking).
  void Blit(const Image& source, int x, int y, int w, int h);
  Image Resized(int w, int h) const;
  // Clamps every channel into 0..1.
  void Clamp();
  // Pixels darker than `threshold` in every channel become pure black: with black as the
  // transparent colour key, faint fringes would otherwise show as dark opaque halos.
  void SnapDarkToBlack(float threshold);

 private:
  int width_ = 0, height_ = 0;
  std::vector<Color> pixels_;
};

// Anti-aliased shapes as coverage masks of the given size.
Mask RoundRectMask(int width, int height, float x, float y, float w, float h, float radius);
Mask CircleMask(int width, int height, float cx, float cy, float r);

// A rounded panel with a vertical gradient, a bevelled rim and a soft drop shadow.
struct PanelStyle {
  Color top{0.3f, 0.3f, 0.4f, 1};
  Color bottom{0.1f, 0.1f, 0.2f, 1};
  Color rim{0.8f, 0.85f, 1.0f, 1};
  float radius = 8;
  float bevel = 3;
  float shadow = 0.6f;
};
void DrawPanel(Image& image, float x, float y, float w, float h, const PanelStyle& style);
// The panel's inside colour at the share t (0 top, 1 bottom) of its height.
Color PanelFill(const PanelStyle& style, float t);

// Encoders; deterministic output (no time or text chunks).
std::vector<uint8_t> EncodePng(const Image& image, bool withAlpha);
std::vector<uint8_t> EncodeJpeg(const Image& image, int quality);
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace assetgen
