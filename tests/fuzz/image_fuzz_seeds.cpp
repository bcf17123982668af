// Writes the starting corpus of the image decoder fuzz targets: a few small files of
// each kind, into <directory>/png, jpeg, bmp and tga.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/d3dx/test_images.h"

namespace {

bool Write(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::vector<uint32_t> Gradient(uint32_t width, uint32_t height) {
  std::vector<uint32_t> argb(static_cast<size_t>(width) * height);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) argb[y * width + x] = 0x80000000u | (x * 16u) << 16 | (y * 16u) << 8 | 0x40;
  }
  return argb;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
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

  bool ok = Write(dir + "/png/rgba.png", MakePngArgb(5, 3, small)) &&
            Write(dir + "/png/paletted.png", MakePng(paletted)) &&
            Write(dir + "/png/interlaced.png", MakePng(interlacedGray));
  ok = ok && Write(dir + "/jpeg/colour.jpg", MakeJpeg(8, 8, square, false, 90)) &&
       Write(dir + "/jpeg/gray.jpg", MakeJpeg(5, 3, small, true, 75));
  ok = ok && Write(dir + "/bmp/24.bmp", MakeBmp(5, 3, small, 24, false)) &&
       Write(dir + "/bmp/32.bmp", MakeBmp(5, 3, small, 32, true)) &&
       Write(dir + "/bmp/4bit.bmp", MakePalettedBmp(4, 2, {0, 1, 2, 3, 3, 2, 1, 0}, 4,
                                                    {0xFF000000u, 0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu}, false));
  ok = ok && Write(dir + "/tga/raw.tga", MakeTga(5, 3, small, 32, false, true)) &&
       Write(dir + "/tga/rle.tga", MakeTga(8, 8, square, 24, true, false));
  return ok ? 0 : 1;
}
