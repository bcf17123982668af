// Windows bitmaps: 1, 4 and 8-bit palettes (also RLE4/RLE8), 16, 24 and 32-bit
// pixels with or without bit-field masks, rows bottom-up or top-down.
#include <cstring>

#include "platform/d3dx/image_decoder.h"

namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Read32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }

// One channel described by a bit mask, scaled to 0..255.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;

  explicit Channel(uint32_t m = 0) : mask(m) {
    if (!mask) return;
    while (!((mask >> shift) & 1)) ++shift;
    max = mask >> shift;
  }
  uint32_t Extract(uint32_t value, uint32_t absent) const {
    if (!mask) return absent;
    return static_cast<uint32_t>((uint64_t((value & mask) >> shift) * 255 + max / 2) / max);
  }
};

bool Fail(std::string* error, const char* reason) {
  *error = std::string("BMP: ") + reason;
  return false;
}

// Run-length decoding into palette indexes, rows in file order. Unwritten
// pixels keep index 0, as skips (delta codes) leave them.
bool DecodeRle(const uint8_t* p, const uint8_t* end, bool fourBit, uint32_t width, uint32_t height,
               std::vector<uint8_t>* indexes) {
  uint32_t x = 0, y = 0;
  while (p + 2 <= end) {
    uint8_t count = p[0], value = p[1];
    p += 2;
    if (count > 0) {
      for (uint32_t i = 0; i < count; ++i, ++x)
        if (x < width && y < height)
          (*indexes)[size_t(y) * width + x] = fourBit ? ((i & 1) ? (value & 0x0f) : (value >> 4)) : value;
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      return true;
    } else if (value == 2) {  // delta
      if (p + 2 > end) return false;
      x += p[0];
      y += p[1];
      p += 2;
    } else {  // literal run of `value` pixels, padded to 16 bits
      size_t bytes = fourBit ? (value + 1u) / 2 : value;
      if (static_cast<size_t>(end - p) < bytes) return false;
      for (uint32_t i = 0; i < value; ++i, ++x) {
        uint8_t index = fourBit ? ((i & 1) ? (p[i / 2] & 0x0f) : (p[i / 2] >> 4)) : p[i];
        if (x < width && y < height) (*indexes)[size_t(y) * width + x] = index;
      }
      p += bytes + (bytes & 1);
    }
    if (y > height) return true;
  }
  return y >= height;  // data ran out without an end code: accept only a complete picture
}

}  // namespace

bool DecodeBmp(const uint8_t* data, size_t size, DecodedImage* image, std::string* error) {
  if (size < 14 + 12 || data[0] != 'B' || data[1] != 'M') return Fail(error, "not a bitmap");
  const uint32_t pixelOffset = Read32(data + 10);
  const uint32_t headerSize = Read32(data + 14);
  if (headerSize < 12 || headerSize > size - 14) return Fail(error, "bad header size");
  const uint8_t* h = data + 14;

  int64_t width, height;
  uint32_t bitCount, compression = kRgb, colorsUsed = 0;
  uint32_t masks[4] = {0, 0, 0, 0};
  size_t paletteEntrySize = 4;
  if (headerSize == 12) {
    width = Read16(h + 4);
    height = Read16(h + 6);
    bitCount = Read16(h + 10);
    paletteEntrySize = 3;
  } else {
    if (headerSize < 40) return Fail(error, "bad header size");
    width = static_cast<int32_t>(Read32(h + 4));
    height = static_cast<int32_t>(Read32(h + 8));
    bitCount = Read16(h + 14);
    compression = Read32(h + 16);
    colorsUsed = Read32(h + 32);
  }
  size_t paletteOffset = 14 + size_t(headerSize);
  if (compression == kBitFields || compression == kAlphaBitFields) {
    // Masks sit inside a larger header, or follow the 40-byte one.
    size_t maskCount = compression == kAlphaBitFields ? 4 : 3;
    const uint8_t* m = h + 40;
    if (headerSize == 40) {
      if (size < paletteOffset + 4 * maskCount) return Fail(error, "file is truncated");
      paletteOffset += 4 * maskCount;
    } else if (headerSize < 40 + 4 * maskCount) {
      return Fail(error, "bad header size");
    }
    for (size_t i = 0; i < maskCount; ++i) masks[i] = Read32(m + 4 * i);
    if (headerSize >= 56) masks[3] = Read32(h + 52);
  }

  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0 || !ImageSizeAllowed(static_cast<uint64_t>(width), static_cast<uint64_t>(height)))
    return Fail(error, "image size out of range");
  const uint32_t w = static_cast<uint32_t>(width), hgt = static_cast<uint32_t>(height);

  bool validCombination = false;
  switch (bitCount) {
    case 1: validCombination = compression == kRgb; break;
    case 4: validCombination = compression == kRgb || compression == kRle4; break;
    case 8: validCombination = compression == kRgb || compression == kRle8; break;
    case 16: case 32: validCombination = compression == kRgb || compression == kBitFields || compression == kAlphaBitFields; break;
    case 24: validCombination = compression == kRgb; break;
    default: break;
  }
  if (!validCombination) return Fail(error, "unsupported bit depth or compression");
  if ((compression == kRle4 || compression == kRle8) && topDown) return Fail(error, "top-down RLE bitmap");

  // Palette.
  std::vector<uint32_t> palette;
  if (bitCount <= 8) {
    size_t entries = colorsUsed ? colorsUsed : (size_t(1) << bitCount);
    if (entries > 256) return Fail(error, "palette too large");
    if (paletteOffset > size || (size - paletteOffset) / paletteEntrySize < entries) return Fail(error, "file is truncated");
    palette.resize(256, 0xff000000u);
    for (size_t i = 0; i < entries; ++i) {
      const uint8_t* e = data + paletteOffset + i * paletteEntrySize;
      palette[i] = 0xff000000u | (uint32_t(e[2]) << 16) | (uint32_t(e[1]) << 8) | e[0];
    }
  }

  if (pixelOffset >= size) return Fail(error, "file is truncated");
  const uint8_t* pixels = data + pixelOffset;
  const size_t available = size - pixelOffset;

  image->width = w;
  image->height = hgt;
  image->kind = ImageFileKind::Bmp;
  image->hasAlpha = false;

  if (compression == kRle4 || compression == kRle8) {
    std::vector<uint8_t> indexes(size_t(w) * hgt, 0);
    if (!DecodeRle(pixels, pixels + available, compression == kRle4, w, hgt, &indexes))
      return Fail(error, "damaged run-length data");
    image->pixels.resize(size_t(w) * hgt);
    for (uint32_t y = 0; y < hgt; ++y)
      for (uint32_t x = 0; x < w; ++x)
        image->pixels[size_t(hgt - 1 - y) * w + x] = palette[indexes[size_t(y) * w + x]];
    return true;
  }

  const uint64_t stride = ((uint64_t(w) * bitCount + 31) / 32) * 4;
  if (stride * hgt > available) return Fail(error, "file is truncated");

  Channel red, green, blue, alpha;
  if (bitCount == 16 || bitCount == 32) {
    if (compression == kRgb) {
      if (bitCount == 16) red = Channel(0x7c00), green = Channel(0x03e0), blue = Channel(0x001f);
      else red = Channel(0x00ff0000), green = Channel(0x0000ff00), blue = Channel(0x000000ff);
    } else {
      if (!masks[0] || !masks[1] || !masks[2]) return Fail(error, "empty colour mask");
      red = Channel(masks[0]), green = Channel(masks[1]), blue = Channel(masks[2]), alpha = Channel(masks[3]);
      image->hasAlpha = masks[3] != 0;
    }
  }

  image->pixels.resize(size_t(w) * hgt);
  for (uint32_t row = 0; row < hgt; ++row) {
    const uint8_t* src = pixels + stride * row;
    uint32_t* dst = image->pixels.data() + size_t(topDown ? row : hgt - 1 - row) * w;
    for (uint32_t x = 0; x < w; ++x) {
      switch (bitCount) {
        case 1: dst[x] = palette[(src[x / 8] >> (7 - x % 8)) & 1]; break;
        case 4: dst[x] = palette[(src[x / 2] >> ((x & 1) ? 0 : 4)) & 0x0f]; break;
        case 8: dst[x] = palette[src[x]]; break;
        case 24: dst[x] = 0xff000000u | (uint32_t(src[3 * x + 2]) << 16) | (uint32_t(src[3 * x + 1]) << 8) | src[3 * x]; break;
        case 16:
        case 32: {
          uint32_t v = bitCount == 16 ? Read16(src + 2 * x) : Read32(src + 4 * x);
          dst[x] = (alpha.Extract(v, 255) << 24) | (red.Extract(v, 0) << 16) | (green.Extract(v, 0) << 8) | blue.Extract(v, 0);
          break;
        }
      }
    }
  }
  return true;
}
