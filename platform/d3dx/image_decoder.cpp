#include "platform/d3dx/image_decoder.h"

#include <cstring>
#include <new>

namespace {

bool LooksLikeTga(const uint8_t* data, size_t size) {
  if (size < 18) return false;
  const uint8_t colorMapType = data[1], imageType = data[2], depth = data[16];
  if (colorMapType > 1) return false;
  switch (imageType) {
    case 1: case 9: return colorMapType == 1 && depth == 8;
    case 2: case 10: return depth == 15 || depth == 16 || depth == 24 || depth == 32;
    case 3: case 11: return depth == 8;
    default: return false;
  }
}

}  // namespace

ImageFileKind DetectImageFileKind(const uint8_t* data, size_t size) {
  static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (!data) return ImageFileKind::Unknown;
  if (size >= 8 && std::memcmp(data, kPngSignature, 8) == 0) return ImageFileKind::Png;
  if (size >= 3 && data[0] == 0xff && data[1] == 0xd8 && data[2] == 0xff) return ImageFileKind::Jpeg;
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return ImageFileKind::Bmp;
  if (LooksLikeTga(data, size)) return ImageFileKind::Tga;
  return ImageFileKind::Unknown;
}

bool DecodeImage(const void* data, size_t size, DecodedImage* image, std::string* error) {
  std::string ignored;
  std::string* reason = error ? error : &ignored;
  if (!data || size == 0 || !image) {
    *reason = "no data";
    return false;
  }
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  *image = DecodedImage();
  bool ok = false;
  try {
    switch (DetectImageFileKind(bytes, size)) {
      case ImageFileKind::Png: ok = DecodePng(bytes, size, image, reason); break;
      case ImageFileKind::Jpeg: ok = DecodeJpeg(bytes, size, image, reason); break;
      case ImageFileKind::Bmp: ok = DecodeBmp(bytes, size, image, reason); break;
      case ImageFileKind::Tga: ok = DecodeTga(bytes, size, image, reason); break;
      case ImageFileKind::Unknown: *reason = "unknown image format"; break;
    }
  } catch (const std::bad_alloc&) {
    *reason = "out of memory";
    ok = false;
  }
  if (ok && (image->width == 0 || image->height == 0 ||
             image->pixels.size() != static_cast<size_t>(image->width) * image->height)) {
    *reason = "decoder produced no pixels";
    ok = false;
  }
  if (!ok) *image = DecodedImage();
  return ok;
}
