// Decoding of PNG, JPEG, BMP and TGA files held in memory into plain 32-bit
// ARGB pixels. Every decoder checks its input against the buffer size and the
// dimension cap before allocating, and reports a damaged file as a failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Numbered as the utility library's D3DXIMAGE_FILEFORMAT.
enum class ImageFileKind { Bmp = 0, Jpeg = 1, Tga = 2, Png = 3, Unknown = -1 };

// Larger images are refused: no texture the game loads comes near it.
constexpr uint32_t kMaxImageDimension = 8192;
// The pixel budget, checked against the header before anything is allocated: no
// texture the game uses is larger than 2048x2048, and four times that bounds what a
// forged header in a tiny file can make a decoder allocate (64 MiB of pixels).
constexpr uint64_t kMaxImagePixels = uint64_t(4096) * 4096;

// True when a header's size is non-empty and within both caps.
inline bool ImageSizeAllowed(uint64_t width, uint64_t height) {
  return width > 0 && height > 0 && width <= kMaxImageDimension && height <= kMaxImageDimension &&
         width * height <= kMaxImagePixels;
}

struct DecodedImage {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint32_t> pixels;  // 0xAARRGGBB, top row first, width * height entries
  bool hasAlpha = false;         // the file stores transparency (alpha channel or transparent colour)
  ImageFileKind kind = ImageFileKind::Unknown;
};

// Recognises the file by its signature (TGA, having none, is tried last).
ImageFileKind DetectImageFileKind(const uint8_t* data, size_t size);

// False for anything that is not a complete image of a supported kind; `error`
// (optional) then names the reason. `image` is only meaningful on success.
bool DecodeImage(const void* data, size_t size, DecodedImage* image, std::string* error = nullptr);

// The individual decoders, for DecodeImage and the tests.
bool DecodePng(const uint8_t* data, size_t size, DecodedImage* image, std::string* error);
bool DecodeJpeg(const uint8_t* data, size_t size, DecodedImage* image, std::string* error);
bool DecodeBmp(const uint8_t* data, size_t size, DecodedImage* image, std::string* error);
bool DecodeTga(const uint8_t* data, size_t size, DecodedImage* image, std::string* error);
