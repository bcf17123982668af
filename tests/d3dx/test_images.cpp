#include "tests/d3dx/test_images.h"

#include <png.h>
#include <stdlib.h>

#include <cstdio>
#include <jpeglib.h>
#include <stdexcept>

void Put16(Bytes* b, size_t at, uint32_t v) {
  (*b)[at] = uint8_t(v);
  (*b)[at + 1] = uint8_t(v >> 8);
}

void Put32(Bytes* b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*b)[at + i] = uint8_t(v >> (8 * i));
}

namespace {

void AppendToVector(png_structp png, png_bytep data, png_size_t length) {
  Bytes* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void NoFlush(png_structp) {}

}  // namespace

Bytes MakePng(const PngSpec& spec) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, AppendToVector, NoFlush);
  png_set_IHDR(png, info, spec.width, spec.height, spec.bitDepth, spec.colorType,
               spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette;
  for (size_t i = 0; i + 2 < spec.paletteRgb.size(); i += 3)
    palette.push_back({spec.paletteRgb[i], spec.paletteRgb[i + 1], spec.paletteRgb[i + 2]});
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
  png_color_16 key = {};
  key.gray = spec.grayKey;
  if (!spec.transparency.empty())
    png_set_tRNS(png, info, spec.transparency.data(), int(spec.transparency.size()), nullptr);
  else if (spec.grayKeyTransparent)
    png_set_tRNS(png, info, nullptr, 0, &key);
  png_write_info(png, info);
  if (spec.bitDepth == 16) png_set_swap(png);  // samples are given little-endian
  size_t rowBytes = png_get_rowbytes(png, info);
  std::vector<png_bytep> rows(spec.height);
  for (uint32_t y = 0; y < spec.height; ++y) rows[y] = const_cast<png_bytep>(spec.samples.data() + rowBytes * y);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

Bytes MakePngArgb(uint32_t width, uint32_t height, const std::vector<uint32_t>& argb) {
  PngSpec spec;
  spec.width = width;
  spec.height = height;
  for (uint32_t p : argb) spec.samples.insert(spec.samples.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)});
  return MakePng(spec);
}

Bytes MakeJpeg(uint32_t width, uint32_t height, const std::vector<uint32_t>& argb, bool gray, int quality) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = width;
  info.image_height = height;
  info.input_components = gray ? 1 : 3;
  info.in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(width * 3);
  while (info.next_scanline < height) {
    const uint32_t* src = argb.data() + size_t(info.next_scanline) * width;
    for (uint32_t x = 0; x < width; ++x) {
      if (gray) {
        row[x] = uint8_t(src[x]);
      } else {
        row[3 * x] = uint8_t(src[x] >> 16), row[3 * x + 1] = uint8_t(src[x] >> 8), row[3 * x + 2] = uint8_t(src[x]);
      }
    }
    JSAMPROW rowPointer = row.data();
    jpeg_write_scanlines(&info, &rowPointer, 1);
  }
  jpeg_finish_compress(&info);
  Bytes out(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  free(buffer);
  return out;
}

namespace {

Bytes BmpHeaders(uint32_t width, uint32_t height, int bitCount, bool topDown, size_t paletteEntries,
                 size_t pixelBytes) {
  size_t offset = 14 + 40 + 4 * paletteEntries;
  Bytes b(offset + pixelBytes, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(&b, 2, uint32_t(b.size()));
  Put32(&b, 10, uint32_t(offset));
  Put32(&b, 14, 40);
  Put32(&b, 18, width);
  Put32(&b, 22, topDown ? uint32_t(-int32_t(height)) : height);
  Put16(&b, 26, 1);
  Put16(&b, 28, uint32_t(bitCount));
  Put32(&b, 34, uint32_t(pixelBytes));
  Put32(&b, 46, uint32_t(paletteEntries));
  return b;
}

}  // namespace

Bytes MakeBmp(uint32_t width, uint32_t height, const std::vector<uint32_t>& argb, int bitCount, bool topDown) {
  size_t stride = (width * bitCount / 8 + 3) & ~size_t(3);
  Bytes b = BmpHeaders(width, height, bitCount, topDown, 0, stride * height);
  size_t offset = 54;
  for (uint32_t y = 0; y < height; ++y) {
    uint32_t sourceRow = topDown ? y : height - 1 - y;
    for (uint32_t x = 0; x < width; ++x) {
      uint32_t p = argb[size_t(sourceRow) * width + x];
      size_t at = offset + stride * y + x * (bitCount / 8);
      b[at] = uint8_t(p), b[at + 1] = uint8_t(p >> 8), b[at + 2] = uint8_t(p >> 16);
      if (bitCount == 32) b[at + 3] = uint8_t(p >> 24);
    }
  }
  return b;
}

Bytes MakePalettedBmp(uint32_t width, uint32_t height, const std::vector<uint8_t>& indexes, int bitCount,
                      const std::vector<uint32_t>& palette, bool topDown) {
  size_t stride = ((size_t(width) * bitCount + 31) / 32) * 4;
  Bytes b = BmpHeaders(width, height, bitCount, topDown, palette.size(), stride * height);
  for (size_t i = 0; i < palette.size(); ++i) Put32(&b, 54 + 4 * i, palette[i] & 0xffffff);
  size_t offset = 54 + 4 * palette.size();
  for (uint32_t y = 0; y < height; ++y) {
    uint32_t sourceRow = topDown ? y : height - 1 - y;
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t index = indexes[size_t(sourceRow) * width + x];
      size_t bit = size_t(x) * bitCount;
      uint8_t& byte = b[offset + stride * y + bit / 8];
      byte |= uint8_t(index << (8 - bitCount - bit % 8));
    }
  }
  return b;
}

Bytes MakeTga(uint32_t width, uint32_t height, const std::vector<uint32_t>& argb, int depth, bool rle, bool topDown) {
  Bytes b(18, 0);
  b[2] = rle ? 10 : 2;
  Put16(&b, 12, width);
  Put16(&b, 14, height);
  b[16] = uint8_t(depth);
  b[17] = uint8_t((depth == 32 ? 8 : 0) | (topDown ? 0x20 : 0));
  std::vector<uint32_t> order;  // pixels in file order
  for (uint32_t y = 0; y < height; ++y) {
    uint32_t sourceRow = topDown ? y : height - 1 - y;
    order.insert(order.end(), argb.begin() + size_t(sourceRow) * width, argb.begin() + size_t(sourceRow + 1) * width);
  }
  auto put = [&](uint32_t p) {
    b.insert(b.end(), {uint8_t(p), uint8_t(p >> 8), uint8_t(p >> 16)});
    if (depth == 32) b.push_back(uint8_t(p >> 24));
  };
  if (!rle) {
    for (uint32_t p : order) put(p);
    return b;
  }
  // Runs of equal pixels become run packets, everything else raw packets (packets may cross rows).
  size_t i = 0;
  while (i < order.size()) {
    size_t run = 1;
    while (i + run < order.size() && run < 128 && order[i + run] == order[i]) ++run;
    if (run >= 2) {
      b.push_back(uint8_t(0x80 | (run - 1)));
      put(order[i]);
      i += run;
      continue;
    }
    size_t raw = 1;
    while (i + raw < order.size() && raw < 128 && !(i + raw + 1 < order.size() && order[i + raw] == order[i + raw + 1])) ++raw;
    b.push_back(uint8_t(raw - 1));
    for (size_t k = 0; k < raw; ++k) put(order[i + k]);
    i += raw;
  }
  return b;
}

std::string MakeTempDirectory() {
  char pattern[] = "/tmp/vantorel-d3dx-XXXXXX";
  const char* made = mkdtemp(pattern);
  if (!made) throw std::runtime_error("mkdtemp failed");
  return made;
}
