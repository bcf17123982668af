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

// Larger images are refused: no texture the game loads comes near it, and it
// bounds what a forged header can make us allocate (256 MiB).
constexpr uint32_t kMaxImageDimension = 8192;

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
