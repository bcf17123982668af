#include "platform/d3d8/pixel_format.h"

#include <gtest/gtest.h>

namespace {

std::vector<BYTE> ToRGBA(std::vector<BYTE> source, D3DFORMAT format) {
  std::vector<BYTE> rgba(source.size() / D3DFormatBytesPerPixel(format) * 4);
  D3DConvertToRGBA(source.data(), format, static_cast<UINT>(rgba.size() / 4), rgba.data());
  return rgba;
}

}  // namespace

TEST(PixelFormat, SizesOfTheFormatsTheGameUses) {
  EXPECT_EQ(4u, D3DFormatBytesPerPixel(D3DFMT_A8R8G8B8));
  EXPECT_EQ(4u, D3DFormatBytesPerPixel(D3DFMT_X8R8G8B8));
  EXPECT_EQ(2u, D3DFormatBytesPerPixel(D3DFMT_R5G6B5));
  EXPECT_EQ(2u, D3DFormatBytesPerPixel(D3DFMT_A4R4G4B4));
  EXPECT_EQ(2u, D3DFormatBytesPerPixel(D3DFMT_A1R5G5B5));
  EXPECT_EQ(0u, D3DFormatBytesPerPixel(D3DFMT_DXT1));
  EXPECT_FALSE(D3DIsTextureFormat(D3DFMT_D16));
  EXPECT_TRUE(D3DIsDepthFormat(D3DFMT_D24S8));
}

TEST(PixelFormat, ThirtyTwoBitPixelsAreBlueGreenRedAlphaInMemory) {
  EXPECT_EQ((std::vector<BYTE>{0x30, 0x20, 0x10, 0x40}), ToRGBA({0x10, 0x20, 0x30, 0x40}, D3DFMT_A8R8G8B8));
  // X8 ignores the stored alpha.
  EXPECT_EQ((std::vector<BYTE>{0x30, 0x20, 0x10, 0xff}), ToRGBA({0x10, 0x20, 0x30, 0x00}, D3DFMT_X8R8G8B8));
}

TEST(PixelFormat, SixteenBitFormatsExpandToFullRange) {
  // R5G6B5 pure red 0xF800, little endian.
  EXPECT_EQ((std::vector<BYTE>{255, 0, 0, 255}), ToRGBA({0x00, 0xF8}, D3DFMT_R5G6B5));
  EXPECT_EQ((std::vector<BYTE>{0, 255, 0, 255}), ToRGBA({0xE0, 0x07}, D3DFMT_R5G6B5));
  // A4R4G4B4: alpha 8 of 15, blue full.
  EXPECT_EQ((std::vector<BYTE>{0, 0, 255, 136}), ToRGBA({0x0F, 0x80}, D3DFMT_A4R4G4B4));
  // A1R5G5B5: the top bit is all of alpha.
  EXPECT_EQ((std::vector<BYTE>{255, 255, 255, 0}), ToRGBA({0xFF, 0x7F}, D3DFMT_A1R5G5B5));
  EXPECT_EQ((std::vector<BYTE>{0, 0, 0, 255}), ToRGBA({0x00, 0x80}, D3DFMT_A1R5G5B5));
}

TEST(PixelFormat, ConvertingBackGivesTheSamePixels) {
  for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A4R4G4B4, D3DFMT_A1R5G5B5, D3DFMT_X8R8G8B8}) {
    const std::vector<BYTE> rgba = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    std::vector<BYTE> packed(4 * D3DFormatBytesPerPixel(format));
    D3DConvertFromRGBA(rgba.data(), format, 4, packed.data());
    std::vector<BYTE> back(16);
    D3DConvertToRGBA(packed.data(), format, 4, back.data());
    EXPECT_EQ(rgba, back) << "format " << format;
  }
}
