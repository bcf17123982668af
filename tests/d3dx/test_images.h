// Builders of small image files for the decoder and texture tests: PNG and JPEG
// through libpng and libjpeg, BMP and TGA byte by byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// `samples` holds the raw sample bytes of all rows (no padding), as libpng takes them.
struct PngSpec {
  uint32_t width = 1, height = 1;
  int colorType = 6;  // PNG_COLOR_TYPE_RGB_ALPHA
  int bitDepth = 8;
  bool interlaced = false;
  std::vector<uint8_t> samples;
  std::vector<uint8_t> paletteRgb;  // 3 bytes an entry
  std::vector<uint8_t> transparency;  // tRNS: alpha per palette entry
  bool grayKeyTransparent = false;    // tRNS for gray: the gray value `grayKey` is transparent
  uint16_t grayKey = 0;
};
Bytes MakePng(const PngSpec& spec);
// RGBA 8-bit PNG from ARGB pixels.
Bytes MakePngArgb(uint32_t width, uint32_t height, const std::vector<uint32_t>& argb);

Bytes MakeJpeg(uint32_t width, uint32_t height, const std::vector<uint32_t>& argb, bool gray, int quality = 100);

// Uncompressed BMP with a 40-byte header; bitCount 24 or 32 from ARGB pixels.
Bytes MakeBmp(uint32_t width, uint32_t height, const std::vector<uint32_t>& argb, int bitCount, bool topDown);
// 1, 4 or 8-bit paletted BMP from palette indexes.
Bytes MakePalettedBmp(uint32_t width, uint32_t height, const std::vector<uint8_t>& indexes, int bitCount,
                      const std::vector<uint32_t>& palette, bool topDown);

// TGA: 24 or 32-bit true colour, uncompressed or run-length encoded.
Bytes MakeTga(uint32_t width, uint32_t height, const std::vector<uint32_t>& argb, int depth, bool rle, bool topDown);

void Put16(Bytes* b, size_t at, uint32_t v);
void Put32(Bytes* b, size_t at, uint32_t v);

// A fresh private directory for files a test writes.
std::string MakeTempDirectory();
