// Damaged copies of valid files: every decoder must refuse or decode them
// without reading outside the buffer (AddressSanitizer watches), crashing or
// producing a picture of the wrong size.
#include <gtest/gtest.h>

#include <random>

#include "platform/d3dx/image_decoder.h"
#include "tests/d3dx/test_images.h"

namespace {

void Mutate(const Bytes& original, const char* name) {
  std::mt19937 random(12345);
  for (int round = 0; round < 400; ++round) {
    Bytes damaged = original;
    int changes = 1 + int(random() % 4);
    for (int k = 0; k < changes; ++k) {
      size_t at = random() % damaged.size();
      switch (random() % 3) {
        case 0: damaged[at] ^= uint8_t(1u << (random() % 8)); break;
        case 1: damaged[at] = uint8_t(random()); break;
        default: damaged[at] = (random() % 2) ? 0xff : 0x00; break;
      }
    }
    if (random() % 4 == 0) damaged.resize(random() % damaged.size() + 1);
    DecodedImage image;
    if (DecodeImage(damaged.data(), damaged.size(), &image)) {
      ASSERT_EQ(size_t(image.width) * image.height, image.pixels.size()) << name << " round " << round;
      ASSERT_LE(image.width, kMaxImageDimension);
      ASSERT_LE(image.height, kMaxImageDimension);
    } else {
      ASSERT_TRUE(image.pixels.empty());
    }
  }
}

std::vector<uint32_t> Pattern(uint32_t width, uint32_t height) {
  std::vector<uint32_t> pixels(size_t(width) * height);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = (i % 3 == 0) ? 0xff102030u : uint32_t(0x80000000u + i * 977u);
  return pixels;
}

}  // namespace

TEST(DecoderRobustness, DamagedFilesNeverCrash) {
  Mutate(MakePngArgb(9, 7, Pattern(9, 7)), "png");
  Mutate(MakeJpeg(16, 16, Pattern(16, 16), false, 80), "jpeg");
  Mutate(MakeBmp(9, 7, Pattern(9, 7), 24, false), "bmp24");
  std::vector<uint8_t> indexes(9 * 7);
  for (size_t i = 0; i < indexes.size(); ++i) indexes[i] = uint8_t(i % 4);
  Mutate(MakePalettedBmp(9, 7, indexes, 4, {0xff000000, 0xffff0000, 0xff00ff00, 0xff0000ff}, true), "bmp4");
  Mutate(MakeTga(9, 7, Pattern(9, 7), 32, false, true), "tga32");
  Mutate(MakeTga(9, 7, Pattern(9, 7), 24, true, false), "tga-rle");
}
