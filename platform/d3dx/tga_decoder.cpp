// Truevision TGA: true-colour (15/16/24/32-bit), grey (8-bit) and colour-mapped
// (8-bit indexes) images, uncompressed or run-length encoded, in any of the
// four origin corners.
#include "platform/d3dx/image_decoder.h"

namespace {

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

bool Fail(std::string* error, const char* reason) {
  *error = std::string("TGA: ") + reason;
  return false;
}

uint32_t Expand5(uint32_t v) { return (v << 3) | (v >> 2); }

// One stored pixel (or colour-map entry) of `depth` bits to ARGB.
uint32_t ToArgb(const uint8_t* p, unsigned depth, bool useAlpha) {
  switch (depth) {
    case 8: return 0xff000000u | (uint32_t(p[0]) * 0x010101u);
    case 15:
    case 16: {
      uint32_t v = Read16(p);
      uint32_t a = (depth == 16 && useAlpha) ? ((v & 0x8000) ? 0xffu : 0u) : 0xffu;
      return (a << 24) | (Expand5((v >> 10) & 31) << 16) | (Expand5((v >> 5) & 31) << 8) | Expand5(v & 31);
    }
    case 24: return 0xff000000u | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
    default:  // 32
      return (useAlpha ? uint32_t(p[3]) << 24 : 0xff000000u) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
  }
}

}  // namespace

bool DecodeTga(const uint8_t* data, size_t size, DecodedImage* image, std::string* error) {
  if (size < 18) return Fail(error, "file is truncated");
  const unsigned idLength = data[0], colorMapType = data[1], imageType = data[2];
  const unsigned mapFirst = Read16(data + 3), mapLength = Read16(data + 5), mapDepth = data[7];
  const uint32_t width = Read16(data + 12), height = Read16(data + 14);
  const unsigned depth = data[16], descriptor = data[17];
  const unsigned alphaBits = descriptor & 0x0f;
  const bool rightToLeft = (descriptor & 0x10) != 0, topDown = (descriptor & 0x20) != 0;

  const bool mapped = imageType == 1 || imageType == 9;
  const bool gray = imageType == 3 || imageType == 11;
  const bool rle = imageType >= 9;
  if (colorMapType > 1 || !(mapped || gray || imageType == 2 || imageType == 10)) return Fail(error, "unsupported image type");
  if (mapped && (colorMapType != 1 || depth != 8)) return Fail(error, "unsupported colour map");
  if (gray && depth != 8) return Fail(error, "unsupported grey depth");
  if (!mapped && !gray && depth != 15 && depth != 16 && depth != 24 && depth != 32) return Fail(error, "unsupported depth");
  if (!ImageSizeAllowed(width, height))
    return Fail(error, "image size out of range");

  size_t offset = 18 + size_t(idLength);
  std::vector<uint32_t> colorMap;
  bool useAlpha = alphaBits > 0 && (depth == 32 || depth == 16);
  if (colorMapType == 1) {
    if (mapDepth != 15 && mapDepth != 16 && mapDepth != 24 && mapDepth != 32) return Fail(error, "bad colour map depth");
    size_t entrySize = (mapDepth + 7) / 8;
    if (offset > size || (size - offset) / entrySize < mapLength) return Fail(error, "file is truncated");
    if (mapped) {
      bool mapAlpha = alphaBits > 0 && (mapDepth == 32 || mapDepth == 16);
      colorMap.resize(mapLength);
      for (size_t i = 0; i < mapLength; ++i) colorMap[i] = ToArgb(data + offset + i * entrySize, mapDepth, mapAlpha);
      useAlpha = mapAlpha;
    }
    offset += entrySize * mapLength;
  }
  if (offset > size) return Fail(error, "file is truncated");

  const size_t bytesPerPixel = (depth + 7) / 8;
  const size_t pixelCount = size_t(width) * height;
  const uint8_t* p = data + offset;
  const uint8_t* end = data + size;
  // The smallest possible encoding must fit before anything is allocated.
  const size_t minimumBytes = rle ? (pixelCount + 127) / 128 * (1 + bytesPerPixel) : pixelCount * bytesPerPixel;
  if (static_cast<size_t>(end - p) < minimumBytes) return Fail(error, "file is truncated");

  auto convert = [&](const uint8_t* src, uint32_t* out) -> bool {
    if (mapped) {
      unsigned index = src[0];
      if (index < mapFirst || index - mapFirst >= colorMap.size()) return false;
      *out = colorMap[index - mapFirst];
    } else {
      *out = ToArgb(src, depth, useAlpha);
    }
    return true;
  };

  // Pixels arrive in file order; each goes straight to its place in the picture.
  image->pixels.assign(pixelCount, 0);
  uint32_t* const picture = image->pixels.data();
  auto place = [&](size_t i) -> uint32_t& {
    const uint32_t row = static_cast<uint32_t>(i / width), column = static_cast<uint32_t>(i % width);
    return picture[size_t(topDown ? row : height - 1 - row) * width + (rightToLeft ? width - 1 - column : column)];
  };
  if (!rle) {
    for (size_t i = 0; i < pixelCount; ++i, p += bytesPerPixel)
      if (!convert(p, &place(i))) return Fail(error, "colour index outside the map");
  } else {
    size_t i = 0;
    while (i < pixelCount) {
      if (p >= end) return Fail(error, "file is truncated");
      const unsigned header = *p++;
      const size_t count = (header & 0x7f) + 1u;
      if (count > pixelCount - i) return Fail(error, "run crosses the end of the image");
      if (header & 0x80) {
        if (static_cast<size_t>(end - p) < bytesPerPixel) return Fail(error, "file is truncated");
        uint32_t value;
        if (!convert(p, &value)) return Fail(error, "colour index outside the map");
        p += bytesPerPixel;
        for (size_t k = 0; k < count; ++k) place(i++) = value;
      } else {
        if (static_cast<size_t>(end - p) / bytesPerPixel < count) return Fail(error, "file is truncated");
        for (size_t k = 0; k < count; ++k, p += bytesPerPixel)
          if (!convert(p, &place(i++))) return Fail(error, "colour index outside the map");
      }
    }
  }

  image->width = width;
  image->height = height;
  image->kind = ImageFileKind::Tga;
  image->hasAlpha = useAlpha;
  return true;
}
