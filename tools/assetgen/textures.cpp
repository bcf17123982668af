#include "tools/assetgen/textures.h"

#include <algorithm>
#include <cmath>

namespace assetgen {

Color BallColour(int colour) {
  static const Color colours[8] = {
      {0.5f, 0.5f, 0.5f, 1},   {0.95f, 0.2f, 0.2f, 1}, {0.2f, 0.85f, 0.25f, 1}, {0.2f, 0.35f, 0.95f, 1},
      {0.95f, 0.85f, 0.2f, 1}, {0.9f, 0.25f, 0.9f, 1}, {0.2f, 0.85f, 0.9f, 1},  {0.92f, 0.92f, 0.92f, 1},
  };
  return colours[std::clamp(colour, 0, 7)];
}

Color LitBallColour(int colour) {
  // The game's ball materials: 1.0 in the ball's own channels, 0.3 in the others. The
  // scene's ambient (0x50) and the white light, nearly head-on where the camera sees the
  // ball's middle, add up past 1 and clamp; the pale marble texture takes a little off.
  static const bool channels[8][3] = {{false, false, false}, {true, false, false}, {false, true, false},
                                      {false, false, true},  {true, true, false},  {true, false, true},
                                      {false, true, true},   {true, true, true}};
  const float ambient = 80 / 255.0f, diffuse = 0.87f, marble = 0.97f;
  const bool* own = channels[std::clamp(colour, 0, 7)];
  auto lit = [&](bool on) { return std::min(1.0f, (on ? 1.0f : 0.3f) * (ambient + diffuse)) * marble; };
  return Color{lit(own[0]), lit(own[1]), lit(own[2]), 1};
}

void DrawBall(Image& image, float cx, float cy, float r, const Color& colour, bool shadow) {
  if (shadow) {
    const int size = static_cast<int>(r * 3);
    Mask mask(size, size);
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        const float dx = (x + 0.5f - size / 2.0f) / r, dy = (y + 0.5f - size / 2.0f) / (r * 0.35f);
        mask.at(x, y) = std::clamp(1.0f - std::sqrt(dx * dx + dy * dy), 0.0f, 1.0f);
      }
    image.Paint(mask.Blurred(static_cast<int>(r * 0.25f)), static_cast<int>(cx - size / 2.0f + r * 0.15f),
                static_cast<int>(cy + r * 0.85f - size / 2.0f), Color{0, 0, 0, 0.7f});
  }
  const float lx = -0.45f, ly = -0.6f, lz = 0.66f;
  const int x0 = static_cast<int>(cx - r - 1), x1 = static_cast<int>(cx + r + 2);
  const int y0 = static_cast<int>(cy - r - 1), y1 = static_cast<int>(cy + r + 2);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const float dx = (x + 0.5f - cx) / r, dy = (y + 0.5f - cy) / r;
      const float d = std::sqrt(dx * dx + dy * dy);
      const float coverage = std::clamp((1 - d) * r + 0.5f, 0.0f, 1.0f);
      if (coverage <= 0) continue;
      const float nz = std::sqrt(std::max(0.0f, 1 - std::min(1.0f, d * d)));
      const float diffuse = std::max(0.0f, dx * lx + dy * ly + nz * lz);
      // Blinn half vector between the light and the viewer (0, 0, 1).
      float hx = lx, hy = ly, hz = lz + 1;
      const float hl = std::sqrt(hx * hx + hy * hy + hz * hz);
      hx /= hl;
      hy /= hl;
      hz /= hl;
      const float spec = std::pow(std::max(0.0f, dx * hx + dy * hy + nz * hz), 40.0f);
      const float bounce = std::max(0.0f, dy) * (1 - nz) * 0.35f;  // light from the floor
      Color c = Scale(colour, 0.18f + 0.82f * diffuse + bounce);
      c.r += spec * 0.9f;
      c.g += spec * 0.9f;
      c.b += spec * 0.9f;
      image.Blend(x, y, c, coverage);
    }
}

namespace {

int NextPowerOfTwo(int value) {
  int p = 1;
  while (p < value) p <<= 1;
  return p;
}

// Pure black once stored as 8 bits, the colour the loader keys out.
bool StoredAsBlack(const Color& c) {
  const float half = 0.5f / 255.0f;
  return c.r < half && c.g < half && c.b < half;
}

}  // namespace

Image ToPowerOfTwo(const Image& image, bool blackIsTransparent) {
  const int w = NextPowerOfTwo(image.width()), h = NextPowerOfTwo(image.height());
  if (w == image.width() && h == image.height()) return image;
  if (!blackIsTransparent) return image.Resized(w, h);
  Image keyed = image;
  for (int y = 0; y < keyed.height(); ++y)
    for (int x = 0; x < keyed.width(); ++x)
      if (StoredAsBlack(keyed.at(x, y))) keyed.at(x, y) = Color{0, 0, 0, 0};
  return keyed.Resized(w, h);
}

std::vector<TextureAsset> MakeTextures() {
  std::vector<TextureAsset> textures;
  AddWorldTextures(textures);
  AddScreenTextures(textures);
  AddSheetTextures(textures);
  for (TextureAsset& t : textures) {
    t.image.Clamp();
    t.image = ToPowerOfTwo(t.image, t.blackIsTransparent);
    // Keyed edges carry partial alpha after resampling; an opaque file would turn them into dark rims.
    if (t.blackIsTransparent && t.format == ImageFormat::kPng) t.format = ImageFormat::kPngAlpha;
  }
  return textures;
}

std::vector<uint8_t> Encode(const TextureAsset& texture) {
  switch (texture.format) {
    case ImageFormat::kJpeg:
      return EncodeJpeg(texture.image, 90);
    case ImageFormat::kPngAlpha:
      return EncodePng(texture.image, true);
    case ImageFormat::kPng:
    default:
      return EncodePng(texture.image, false);
  }
}

}  // namespace assetgen
