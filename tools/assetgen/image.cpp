#include "tools/assetgen/image.h"

#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace assetgen {

Color Mix(const Color& x, const Color& y, float t) {
  return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}

Color Scale(const Color& c, float k) { return {c.r * k, c.g * k, c.b * k, c.a}; }

Color Rgb(int r, int g, int b) { return {r / 255.0f, g / 255.0f, b / 255.0f, 1}; }

float Mask::Sample(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return at(x, y);
}

namespace {

// One box pass along rows (horizontal) or columns, running sum, zero outside.
void BoxPass(const std::vector<float>& in, std::vector<float>& out, int w, int h, int r, bool horizontal) {
  const int len = horizontal ? w : h, lines = horizontal ? h : w;
  const float norm = 1.0f / static_cast<float>(2 * r + 1);
  for (int line = 0; line < lines; ++line) {
    auto idx = [&](int i) { return horizontal ? static_cast<size_t>(line) * w + i : static_cast<size_t>(i) * w + line; };
    float sum = 0;
    for (int i = 0; i <= r && i < len; ++i) sum += in[idx(i)];
    for (int i = 0; i < len; ++i) {
      out[idx(i)] = sum * norm;
      const int add = i + r + 1, drop = i - r;
      if (add < len) sum += in[idx(add)];
      if (drop >= 0) sum -= in[idx(drop)];
    }
  }
}

}  // namespace

Mask Mask::Blurred(int radius) const {
  Mask result(*this);
  if (radius <= 0) return result;
  std::vector<float> tmp(values_.size());
  const int r = std::max(1, radius / 2);
  for (int pass = 0; pass < 3; ++pass) {
    BoxPass(result.values_, tmp, width_, height_, r, true);
    BoxPass(tmp, result.values_, width_, height_, r, false);
  }
  return result;
}

Mask Mask::Shifted(int dx, int dy) const {
  Mask result(width_, height_);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) result.at(x, y) = Sample(x - dx, y - dy);
  return result;
}

Mask Mask::Dilated(int radius) const {
  Mask result(width_, height_);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      float m = 0;
      for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
          if (dx * dx + dy * dy > radius * radius + radius) continue;
          m = std::max(m, Sample(x + dx, y + dy));
        }
      result.at(x, y) = m;
    }
  return result;
}

Image::Image(int width, int height, Color fill)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, fill) {}

Color Image::SampleWrapped(float x, float y) const {
  x -= 0.5f;
  y -= 0.5f;
  const float fx = std::floor(x), fy = std::floor(y);
  const float tx = x - fx, ty = y - fy;
  auto wrap = [](int v, int n) { return ((v % n) + n) % n; };
  const int x0 = wrap(static_cast<int>(fx), width_), x1 = wrap(static_cast<int>(fx) + 1, width_);
  const int y0 = wrap(static_cast<int>(fy), height_), y1 = wrap(static_cast<int>(fy) + 1, height_);
  return Mix(Mix(at(x0, y0), at(x1, y0), tx), Mix(at(x0, y1), at(x1, y1), tx), ty);
}

Color Image::SampleClamped(float x, float y) const {
  x = std::clamp(x - 0.5f, 0.0f, static_cast<float>(width_ - 1));
  y = std::clamp(y - 0.5f, 0.0f, static_cast<float>(height_ - 1));
  const int x0 = static_cast<int>(x), y0 = static_cast<int>(y);
  const int x1 = std::min(x0 + 1, width_ - 1), y1 = std::min(y0 + 1, height_ - 1);
  const float tx = x - x0, ty = y - y0;
  return Mix(Mix(at(x0, y0), at(x1, y0), tx), Mix(at(x0, y1), at(x1, y1), tx), ty);
}

void Image::Blend(int x, int y, const Color& c, float coverage) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  const float t = std::clamp(coverage * c.a, 0.0f, 1.0f);
  Color& p = at(x, y);
  p.r += (c.r - p.r) * t;
  p.g += (c.g - p.g) * t;
  p.b += (c.b - p.b) * t;
  p.a = p.a + (1 - p.a) * t;
}

void Image::Add(int x, int y, const Color& c, float amount) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  Color& p = at(x, y);
  p.r += c.r * amount;
  p.g += c.g * amount;
  p.b += c.b * amount;
}

void Image::Shade(const std::function<Color(float u, float v)>& shader) {
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x)
      at(x, y) = shader((x + 0.5f) / static_cast<float>(width_), (y + 0.5f) / static_cast<float>(height_));
}

void Image::Paint(const Mask& mask, int ox, int oy, const std::function<Color(int x, int y)>& paint) {
  for (int y = 0; y < mask.height(); ++y)
    for (int x = 0; x < mask.width(); ++x) {
      const float m = mask.at(x, y);
      if (m > 0.0f) Blend(ox + x, oy + y, paint(ox + x, oy + y), m);
    }
}

void Image::Paint(const Mask& mask, int ox, int oy, const Color& c) {
  Paint(mask, ox, oy, [&c](int, int) { return c; });
}

void Image::Glow(const Mask& mask, int ox, int oy, const Color& c, int radius, float strength) {
  const Mask glow = mask.Blurred(radius);
  for (int y = 0; y < glow.height(); ++y)
    for (int x = 0; x < glow.width(); ++x) {
      const float m = glow.at(x, y);
      if (m > 0.0f) Add(ox + x, oy + y, c, m * strength);
    }
}

void Image::Blit(const Image& source, int x, int y, int w, int h) {
  // Shrink by whole box steps first so thumbnails are not aliased.
  const Image* src = &source;
  Image reduced;
  int factor = 1;
  while (source.width() / (factor * 2) >= w && source.height() / (factor * 2) >= h) factor *= 2;
  if (factor > 1) {
    reduced = Image(source.width() / factor, source.height() / factor);
    for (int ry = 0; ry < reduced.height(); ++ry)
      for (int rx = 0; rx < reduced.width(); ++rx) {
        Color sum{0, 0, 0, 0};
        for (int sy = 0; sy < factor; ++sy)
          for (int sx = 0; sx < factor; ++sx) {
            const Color& p = source.at(rx * factor + sx, ry * factor + sy);
            sum.r += p.r;
            sum.g += p.g;
            sum.b += p.b;
            sum.a += p.a;
          }
        const float k = 1.0f / static_cast<float>(factor * factor);
        reduced.at(rx, ry) = {sum.r * k, sum.g * k, sum.b * k, sum.a * k};
      }
    src = &reduced;
  }
  for (int ty = 0; ty < h; ++ty)
    for (int tx = 0; tx < w; ++tx) {
      if (x + tx < 0 || y + ty < 0 || x + tx >= width_ || y + ty >= height_) continue;
      const float sx = (tx + 0.5f) * src->width() / static_cast<float>(w);
      const float sy = (ty + 0.5f) * src->height() / static_cast<float>(h);
      at(x + tx, y + ty) = src->SampleClamped(sx, sy);
    }
}

Image Image::Resized(int w, int h) const {
  Image result(w, h);
  result.Blit(*this, 0, 0, w, h);
  return result;
}

void Image::Clamp() {
  for (Color& p : pixels_) {
    p.r = std::clamp(p.r, 0.0f, 1.0f);
    p.g = std::clamp(p.g, 0.0f, 1.0f);
    p.b = std::clamp(p.b, 0.0f, 1.0f);
    p.a = std::clamp(p.a, 0.0f, 1.0f);
  }
}

void Image::SnapDarkToBlack(float threshold) {
  for (Color& p : pixels_)
    if (p.r < threshold && p.g < threshold && p.b < threshold) p = Color{0, 0, 0, p.a};
}

namespace {

// Coverage of a pixel by a signed-distance shape (negative inside), with a one-pixel ramp.
float Coverage(float distance) { return std::clamp(0.5f - distance, 0.0f, 1.0f); }

float RoundRectDistance(float px, float py, float x, float y, float w, float h, float r) {
  const float cx = x + w / 2, cy = y + h / 2;
  const float qx = std::fabs(px - cx) - (w / 2 - r), qy = std::fabs(py - cy) - (h / 2 - r);
  const float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - r;
}

uint8_t ToByte(float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

}  // namespace

Mask RoundRectMask(int width, int height, float x, float y, float w, float h, float radius) {
  Mask mask(width, height);
  radius = std::min({radius, w / 2, h / 2});
  for (int py = 0; py < height; ++py)
    for (int px = 0; px < width; ++px)
      mask.at(px, py) = Coverage(RoundRectDistance(px + 0.5f, py + 0.5f, x, y, w, h, radius));
  return mask;
}

Mask CircleMask(int width, int height, float cx, float cy, float r) {
  Mask mask(width, height);
  for (int py = 0; py < height; ++py)
    for (int px = 0; px < width; ++px) {
      const float dx = px + 0.5f - cx, dy = py + 0.5f - cy;
      mask.at(px, py) = Coverage(std::sqrt(dx * dx + dy * dy) - r);
    }
  return mask;
}

void DrawPanel(Image& image, float x, float y, float w, float h, const PanelStyle& style) {
  // Work in a local window around the panel so large pictures stay fast.
  const int margin = static_cast<int>(style.radius + 16);
  const int ox = std::max(0, static_cast<int>(x) - margin), oy = std::max(0, static_cast<int>(y) - margin);
  const int ww = std::min(image.width() - ox, static_cast<int>(w) + 2 * margin);
  const int wh = std::min(image.height() - oy, static_cast<int>(h) + 2 * margin);
  if (ww <= 0 || wh <= 0) return;
  const float lx = x - ox, ly = y - oy;
  if (style.shadow > 0) {
    const Mask shadow = RoundRectMask(ww, wh, lx + 4, ly + 6, w, h, style.radius).Blurred(10);
    image.Paint(shadow, ox, oy, Color{0, 0, 0, style.shadow});
  }
  const Mask outer = RoundRectMask(ww, wh, lx, ly, w, h, style.radius);
  const Mask inner = RoundRectMask(ww, wh, lx + style.bevel, ly + style.bevel, w - 2 * style.bevel,
                                   h - 2 * style.bevel, std::max(1.0f, style.radius - style.bevel));
  // Rim: lit from the top left, darker toward the bottom right.
  image.Paint(outer, ox, oy, [&](int px, int py) {
    const float t = ((px - x) / w + (py - y) / h) * 0.5f;
    return Mix(style.rim, Scale(style.rim, 0.35f), std::clamp(t, 0.0f, 1.0f));
  });
  image.Paint(inner, ox, oy, [&](int, int py) { return PanelFill(style, (py - y) / h); });
}

Color PanelFill(const PanelStyle& style, float t) {
  t = std::clamp(t, 0.0f, 1.0f);
  const Color c = Mix(style.top, style.bottom, t);
  // A soft sheen across the upper half.
  const float sheen = std::max(0.0f, 0.5f - t) * 0.25f;
  return Color{c.r + sheen, c.g + sheen, c.b + sheen, 1};
}

std::vector<uint8_t> EncodePng(const Image& image, bool withAlpha) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t length) {
        auto* bytes = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
        bytes->insert(bytes->end(), data, data + length);
      },
      nullptr);
  const int channels = withAlpha ? 4 : 3;
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width()), static_cast<png_uint_32>(image.height()), 8,
               withAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 6);
  png_write_info(png, info);
  std::vector<uint8_t> row(static_cast<size_t>(image.width()) * channels);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const Color& c = image.at(x, y);
      uint8_t* p = &row[static_cast<size_t>(x) * channels];
      p[0] = ToByte(c.r);
      p[1] = ToByte(c.g);
      p[2] = ToByte(c.b);
      if (withAlpha) p[3] = ToByte(c.a);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<uint8_t> EncodeJpeg(const Image& image, int quality) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(image.width());
  cinfo.image_height = static_cast<JDIMENSION>(image.height());
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(image.width()) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < image.width(); ++x) {
      const Color& c = image.at(x, y);
      row[static_cast<size_t>(x) * 3] = ToByte(c.r);
      row[static_cast<size_t>(x) * 3 + 1] = ToByte(c.g);
      row[static_cast<size_t>(x) * 3 + 2] = ToByte(c.b);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<uint8_t> out(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  free(buffer);
  return out;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace assetgen
