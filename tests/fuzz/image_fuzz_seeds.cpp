// Writes the starting corpus of the image decoder fuzz targets: a few small files of
// each kind, into <directory>/png, jpeg, bmp and tga.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/d3dx/test_images.h"
#include "tests/fuzz/seed_corpus.h"

using fuzz_seeds::WriteSeed;

namespace {

std::vector<uint32_t> Gradient(uint32_t width, uint32_t height) {
  std::vector<uint32_t> argb(static_cast<size_t>(width) * height);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) argb[y * width + x] = 0x80000000u | (x * 16u) << 16 | (y * 16u) << 8 | 0x40;
  }
  return argb;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = fuzz_seeds::SeedDirectory(argc, argv);
  if (dir.empty()) return 2;
  for (const char* kind : {"png", "jpeg", "bmp", "tga"}) mkdir((dir + "/" + kind).c_str(), 0755);
  const std::vector<uint32_t> small = Gradient(5, 3), square = Gradient(8, 8);

  PngSpec paletted;
  paletted.width = 4;
  paletted.height = 2;
  paletted.colorType = 3;  // palette
  paletted.samples = {0, 1, 2, 1, 2, 0, 1, 1};
  paletted.paletteRgb = {255, 0, 0, 0, 255, 0, 0, 0, 255};
  paletted.transparency = {0, 128};
  PngSpec interlacedGray;
  interlacedGray.width = 8;
  interlacedGray.height = 8;
  interlacedGray.colorType = 0;  // gray
  interlacedGray.interlaced = true;
  interlacedGray.samples.assign(64, 0x55);

  bool ok = WriteSeed(dir + "/png/rgba.png", MakePngArgb(5, 3, small)) &&
            WriteSeed(dir + "/png/paletted.png", MakePng(paletted)) &&
            WriteSeed(dir + "/png/interlaced.png", MakePng(interlacedGray));
  ok = ok && WriteSeed(dir + "/jpeg/colour.jpg", MakeJpeg(8, 8, square, false, 90)) &&
       WriteSeed(dir + "/jpeg/gray.jpg", MakeJpeg(5, 3, small, true, 75));
  ok = ok && WriteSeed(dir + "/bmp/24.bmp", MakeBmp(5, 3, small, 24, false)) &&
       WriteSeed(dir + "/bmp/32.bmp", MakeBmp(5, 3, small, 32, true)) &&
       WriteSeed(dir + "/bmp/4bit.bmp", MakePalettedBmp(4, 2, {0, 1, 2, 3, 3, 2, 1, 0}, 4,
                                                    {0xFF000000u, 0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu}, false));
  ok = ok && WriteSeed(dir + "/tga/raw.tga", MakeTga(5, 3, small, 32, false, true)) &&
       WriteSeed(dir + "/tga/rle.tga", MakeTga(8, 8, square, 24, true, false));
  return ok ? 0 : 1;
}
