#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <chrono>

#include "platform/d3dx/image_decoder.h"
#include "tests/d3dx/test_images.h"

namespace {

// A 3 x 2 picture with distinct pixels (odd width exercises row padding).
const std::vector<uint32_t> kPicture = {0xff102030, 0xff405060, 0xff708090,  //
                                        0xffa0b0c0, 0xffd0e0f0, 0xff0a0b0c};

DecodedImage Decode(const Bytes& bytes) {
  DecodedImage image;
  std::string error;
  EXPECT_TRUE(DecodeImage(bytes.data(), bytes.size(), &image, &error)) << error;
  return image;
}

bool Fails(const Bytes& bytes) {
  DecodedImage image;
  std::string error;
  bool ok = DecodeImage(bytes.data(), bytes.size(), &image, &error);
  if (!ok) {
    EXPECT_FALSE(error.empty());
  }
  return !ok && image.pixels.empty();
}

// Every prefix of a valid file is refused (or, for the few formats where a
// prefix can still be a complete picture, decodes to the right size).
void ExpectPrefixesFailCleanly(const Bytes& bytes, size_t step = 1) {
  for (size_t n = 0; n < bytes.size(); n += step) {
    Bytes prefix(bytes.begin(), bytes.begin() + n);
    DecodedImage image;
    std::string error;
    EXPECT_FALSE(DecodeImage(prefix.data(), prefix.size(), &image, &error)) << "prefix of " << n << " bytes";
  }
}

void FixPngChunkCrc(Bytes* png, size_t chunkStart) {
  uint32_t length = (uint32_t((*png)[chunkStart]) << 24) | ((*png)[chunkStart + 1] << 16) |
                    ((*png)[chunkStart + 2] << 8) | (*png)[chunkStart + 3];
  uLong crc = crc32(0, png->data() + chunkStart + 4, length + 4);
  size_t at = chunkStart + 8 + length;
  for (int i = 0; i < 4; ++i) (*png)[at + i] = uint8_t(crc >> (24 - 8 * i));
}

// A bottom-up run-length bitmap (4 or 8 bits) with its palette, followed by `runs`.
Bytes MakeRunLengthBmp(uint32_t width, uint32_t height, int bits, const std::vector<uint32_t>& palette,
                       const Bytes& runs) {
  Bytes b(14 + 40 + 4 * palette.size(), 0);
  b[0] = 'B', b[1] = 'M';
  Put32(&b, 14, 40);
  Put32(&b, 18, width);
  Put32(&b, 22, height);
  Put16(&b, 26, 1);
  Put16(&b, 28, uint32_t(bits));
  Put32(&b, 30, bits == 8 ? 1 : 2);  // BI_RLE8, BI_RLE4
  Put32(&b, 46, uint32_t(palette.size()));
  for (size_t i = 0; i < palette.size(); ++i) Put32(&b, 54 + 4 * i, palette[i] & 0xffffff);
  Put32(&b, 10, uint32_t(b.size()));
  b.insert(b.end(), runs.begin(), runs.end());
  return b;
}

}  // namespace

TEST(ImageDecoder, RecognisesFormatsBySignature) {
  EXPECT_EQ(ImageFileKind::Png, DetectImageFileKind(MakePngArgb(3, 2, kPicture).data(), 100));
  Bytes jpeg = MakeJpeg(3, 2, kPicture, false);
  EXPECT_EQ(ImageFileKind::Jpeg, DetectImageFileKind(jpeg.data(), jpeg.size()));
  Bytes bmp = MakeBmp(3, 2, kPicture, 24, false);
  EXPECT_EQ(ImageFileKind::Bmp, DetectImageFileKind(bmp.data(), bmp.size()));
  Bytes tga = MakeTga(3, 2, kPicture, 24, false, false);
  EXPECT_EQ(ImageFileKind::Tga, DetectImageFileKind(tga.data(), tga.size()));
  Bytes text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(ImageFileKind::Unknown, DetectImageFileKind(text.data(), text.size()));
  EXPECT_TRUE(Fails(text));
  DecodedImage image;
  EXPECT_FALSE(DecodeImage(nullptr, 10, &image));
  EXPECT_FALSE(DecodeImage(text.data(), 0, &image));
}

TEST(PngDecoder, TrueColourWithAndWithoutAlpha) {
  std::vector<uint32_t> translucent = kPicture;
  translucent[1] = 0x80405060;
  translucent[4] = 0x00000000;
  DecodedImage image = Decode(MakePngArgb(3, 2, translucent));
  EXPECT_EQ(3u, image.width);
  EXPECT_EQ(2u, image.height);
  EXPECT_TRUE(image.hasAlpha);
  EXPECT_EQ(ImageFileKind::Png, image.kind);
  EXPECT_EQ(translucent, image.pixels);

  PngSpec rgb;
  rgb.width = 3, rgb.height = 2, rgb.colorType = PNG_COLOR_TYPE_RGB;
  for (uint32_t p : kPicture) rgb.samples.insert(rgb.samples.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
  image = Decode(MakePng(rgb));
  EXPECT_FALSE(image.hasAlpha);
  EXPECT_EQ(kPicture, image.pixels);
}

TEST(PngDecoder, PaletteWithTransparencyGreyAnd16Bit) {
  PngSpec paletted;
  paletted.width = 4, paletted.height = 1, paletted.colorType = PNG_COLOR_TYPE_PALETTE, paletted.bitDepth = 2;
  paletted.paletteRgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};
  paletted.transparency = {0, 128};  // entry 0 clear, entry 1 half, the others opaque
  paletted.samples = {0x1b};         // indexes 0, 1, 2, 3
  DecodedImage image = Decode(MakePng(paletted));
  EXPECT_TRUE(image.hasAlpha);
  EXPECT_EQ((std::vector<uint32_t>{0x00ff0000, 0x8000ff00, 0xff0000ff, 0xff090909}), image.pixels);

  PngSpec grey16;
  grey16.width = 2, grey16.height = 1, grey16.colorType = PNG_COLOR_TYPE_GRAY, grey16.bitDepth = 16;
  grey16.samples = {0xff, 0xff, 0x80, 0x80};  // little-endian 0xffff, 0x8080
  image = Decode(MakePng(grey16));
  EXPECT_FALSE(image.hasAlpha);
  EXPECT_EQ((std::vector<uint32_t>{0xffffffff, 0xff808080}), image.pixels);

  PngSpec rgba16;
  rgba16.width = 1, rgba16.height = 1, rgba16.colorType = PNG_COLOR_TYPE_RGB_ALPHA, rgba16.bitDepth = 16;
  rgba16.samples = {0xff, 0xff, 0x00, 0x00, 0x00, 0x40, 0x00, 0x80};  // 0x4000 and 0x8000 round to 0x40 and 0x80
  image = Decode(MakePng(rgba16));
  EXPECT_EQ((std::vector<uint32_t>{0x80ff0040}), image.pixels);

  PngSpec greyAlpha;
  greyAlpha.width = 2, greyAlpha.height = 1, greyAlpha.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
  greyAlpha.samples = {0x11, 0x22, 0x33, 0xff};
  image = Decode(MakePng(greyAlpha));
  EXPECT_TRUE(image.hasAlpha);
  EXPECT_EQ((std::vector<uint32_t>{0x22111111, 0xff333333}), image.pixels);

  PngSpec bits;  // 1-bit grey with gray value 0 transparent
  bits.width = 8, bits.height = 1, bits.colorType = PNG_COLOR_TYPE_GRAY, bits.bitDepth = 1;
  bits.samples = {0xa0};  // 1 0 1 0 0 0 0 0
  bits.grayKeyTransparent = true;
  bits.grayKey = 0;
  image = Decode(MakePng(bits));
  EXPECT_TRUE(image.hasAlpha);
  EXPECT_EQ(0xffffffffu, image.pixels[0]);
  EXPECT_EQ(0x00000000u, image.pixels[1]);
  EXPECT_EQ(0xffffffffu, image.pixels[2]);
}

TEST(PngDecoder, InterlacedEqualsProgressive) {
  std::vector<uint32_t> pixels(13 * 9);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = 0xff000000u | uint32_t(i * 0x010203u);
  PngSpec spec;
  spec.width = 13, spec.height = 9, spec.colorType = PNG_COLOR_TYPE_RGB_ALPHA, spec.interlaced = true;
  for (uint32_t p : pixels) spec.samples.insert(spec.samples.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)});
  EXPECT_EQ(pixels, Decode(MakePng(spec)).pixels);
}

TEST(PngDecoder, DamagedFilesFailCleanly) {
  Bytes good = MakePngArgb(3, 2, kPicture);
  ExpectPrefixesFailCleanly(good);

  Bytes flipped = good;
  flipped[good.size() - 20] ^= 0x55;  // inside IDAT: the chunk's checksum no longer matches
  EXPECT_TRUE(Fails(flipped));

  // A header claiming 100000 x 100000 pixels (checksum fixed) is refused before allocation.
  Bytes huge = good;
  Put32(&huge, 16, 0);
  huge[16] = 0x00, huge[17] = 0x01, huge[18] = 0x86, huge[19] = 0xa0;  // width, big-endian
  huge[20] = 0x00, huge[21] = 0x01, huge[22] = 0x86, huge[23] = 0xa0;  // height
  FixPngChunkCrc(&huge, 8);
  EXPECT_TRUE(Fails(huge));

  Bytes zeroWidth = good;
  zeroWidth[16] = zeroWidth[17] = zeroWidth[18] = zeroWidth[19] = 0;
  FixPngChunkCrc(&zeroWidth, 8);
  EXPECT_TRUE(Fails(zeroWidth));
}

TEST(JpegDecoder, ColourAndGrey) {
  std::vector<uint32_t> pixels(16 * 16);
  for (uint32_t y = 0; y < 16; ++y)
    for (uint32_t x = 0; x < 16; ++x) pixels[y * 16 + x] = x < 8 ? 0xffc83214 : 0xff1464c8;
  DecodedImage image = Decode(MakeJpeg(16, 16, pixels, false));
  ASSERT_EQ(256u, image.pixels.size());
  EXPECT_FALSE(image.hasAlpha);
  EXPECT_EQ(ImageFileKind::Jpeg, image.kind);
  for (uint32_t y = 0; y < 16; ++y) {
    for (uint32_t x : {0u, 3u, 12u, 15u}) {
      uint32_t want = pixels[y * 16 + x], got = image.pixels[y * 16 + x];
      EXPECT_EQ(0xffu, got >> 24);
      for (int shift : {0, 8, 16})
        EXPECT_NEAR(int((want >> shift) & 0xff), int((got >> shift) & 0xff), 12) << x << "," << y;
    }
  }

  std::vector<uint32_t> grey(8 * 8, 0xff000000u | 0x70);
  image = Decode(MakeJpeg(8, 8, grey, true));
  for (uint32_t p : image.pixels) {
    EXPECT_EQ((p >> 16) & 0xff, p & 0xff);
    EXPECT_EQ((p >> 8) & 0xff, p & 0xff);
    EXPECT_NEAR(0x70, int(p & 0xff), 3);
  }
}

TEST(JpegDecoder, DamagedFilesFailCleanly) {
  std::vector<uint32_t> pixels(24 * 24);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = 0xff000000u | uint32_t(i * 2654435761u >> 8);
  Bytes good = MakeJpeg(24, 24, pixels, false, 90);
  ExpectPrefixesFailCleanly(Bytes(good.begin(), good.end() - 2), 7);  // without EOI and shorter

  Bytes garbage = good;
  for (size_t i = 2; i < 40 && i < garbage.size(); ++i) garbage[i] = 0xa5;  // header smashed
  EXPECT_TRUE(Fails(garbage));
}

TEST(JpegDecoder, DamagedScanDataFailsEvenWithItsEndMarker) {
  std::vector<uint32_t> pixels(64 * 64);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = 0xff000000u | uint32_t(i * 2654435761u >> 8);
  const Bytes good = MakeJpeg(64, 64, pixels, false, 90);
  Bytes half(good.begin(), good.begin() + static_cast<long>(good.size() / 2));
  half.insert(half.end(), {0xff, 0xd9});
  EXPECT_TRUE(Fails(half));
  Bytes zeroed = good;
  for (size_t i = 0; i < 40; ++i) zeroed[good.size() * 2 / 3 + i] = 0;
  EXPECT_TRUE(Fails(zeroed));
}

// A tiny file whose header claims a picture above the pixel budget is refused from
// the header alone: no allocation, no decoding time.
TEST(ImageDecoder, TinyFilesClaimingHugePicturesFailFast) {
  Bytes jpeg = MakeJpeg(16, 16, std::vector<uint32_t>(256, 0xff336699), false);
  for (size_t i = 2; i + 8 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xff && jpeg[i + 1] == 0xc0) {  // start of frame: height, then width
      jpeg[i + 5] = jpeg[i + 7] = 0x20;
      jpeg[i + 6] = jpeg[i + 8] = 0x00;
      break;
    }
  }
  Bytes png = MakePngArgb(1, 1, {0xff000000u});
  png[18] = png[22] = 0x20;  // 8192 x 8192, big-endian
  png[19] = png[23] = 0x00;
  FixPngChunkCrc(&png, 8);
  for (const Bytes& file : {jpeg, png}) {
    const auto start = std::chrono::steady_clock::now();
    DecodedImage image;
    std::string error;
    EXPECT_FALSE(DecodeImage(file.data(), file.size(), &image, &error));
    EXPECT_NE(error.find("size out of range"), std::string::npos) << error;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  }
  EXPECT_TRUE(ImageSizeAllowed(4096, 4096));
  EXPECT_FALSE(ImageSizeAllowed(4097, 4096));
  EXPECT_TRUE(ImageSizeAllowed(8192, 16));
}

TEST(BmpDecoder, TrueColourBothRowOrders) {
  for (int bits : {24, 32}) {
    for (bool topDown : {false, true}) {
      DecodedImage image = Decode(MakeBmp(3, 2, kPicture, bits, topDown));
      EXPECT_EQ(kPicture, image.pixels) << bits << " bits, top-down " << topDown;
      EXPECT_FALSE(image.hasAlpha);  // a plain 32-bit bitmap's fourth byte is not alpha
      EXPECT_EQ(ImageFileKind::Bmp, image.kind);
    }
  }
}

TEST(BmpDecoder, PalettesAndBitFields) {
  const std::vector<uint32_t> palette = {0xff000000, 0xffff0000, 0xff00ff00, 0xff0000ff};
  const std::vector<uint8_t> indexes = {0, 1, 2, 3, 3, 2, 1, 0, 1, 1};  // 5 x 2
  std::vector<uint32_t> expected;
  for (uint8_t i : indexes) expected.push_back(palette[i]);
  for (int bits : {8, 4}) {
    EXPECT_EQ(expected, Decode(MakePalettedBmp(5, 2, indexes, bits, palette, false)).pixels) << bits;
    EXPECT_EQ(expected, Decode(MakePalettedBmp(5, 2, indexes, bits, palette, true)).pixels) << bits;
  }
  const std::vector<uint8_t> mono = {1, 0, 0, 1, 1, 1, 0, 0, 0, 1};  // 10 x 1
  std::vector<uint32_t> monoExpected;
  for (uint8_t i : mono) monoExpected.push_back(palette[i]);
  EXPECT_EQ(monoExpected, Decode(MakePalettedBmp(10, 1, mono, 1, palette, false)).pixels);

  // 16-bit 5-6-5 through bit fields: masks follow the 40-byte header.
  Bytes b(14 + 40 + 12 + 4, 0);
  b[0] = 'B', b[1] = 'M';
  Put32(&b, 10, 66);
  Put32(&b, 14, 40);
  Put32(&b, 18, 2);
  Put32(&b, 22, 1);
  Put16(&b, 26, 1);
  Put16(&b, 28, 16);
  Put32(&b, 30, 3);  // BI_BITFIELDS
  Put32(&b, 54, 0xf800);
  Put32(&b, 58, 0x07e0);
  Put32(&b, 62, 0x001f);
  Put16(&b, 66, 0xf800);  // pure red
  Put16(&b, 68, 0x07ff);  // green + blue
  EXPECT_EQ((std::vector<uint32_t>{0xffff0000, 0xff00ffff}), Decode(b).pixels);
}

TEST(BmpDecoder, RunLengthEncoded8Bit) {
  // 4 x 2, bottom-up: the bottom row is a run of three 1s and a literal; the top row a delta, one pixel, the end.
  const std::vector<uint32_t> palette = {0xff000000, 0xffff0000, 0xff00ff00};
  const Bytes b = MakeRunLengthBmp(4, 2, 8, palette, {3, 1, 0, 3, 2, 2, 2, 0, 0, 0, 0, 2, 1, 0, 1, 2, 0, 1});
  // A literal of three 2s (the last two clipped) padded to an even count, end of line;
  // delta (1, 0); a run of one 2; end of bitmap.
  DecodedImage image = Decode(b);
  EXPECT_EQ((std::vector<uint32_t>{0xff000000, 0xff00ff00, 0xff000000, 0xff000000,  // top row
                                   0xffff0000, 0xffff0000, 0xffff0000, 0xff00ff00}),
            image.pixels);
}

TEST(BmpDecoder, DamagedFilesFailCleanly) {
  Bytes good = MakeBmp(3, 2, kPicture, 24, false);
  ExpectPrefixesFailCleanly(good);
  Bytes huge = good;
  Put32(&huge, 18, 100000);
  EXPECT_TRUE(Fails(huge));
  Bytes negativeWidth = good;
  Put32(&negativeWidth, 18, uint32_t(-3));
  EXPECT_TRUE(Fails(negativeWidth));
  Bytes minHeight = good;
  Put32(&minHeight, 22, 0x80000000u);
  EXPECT_TRUE(Fails(minHeight));
  Bytes badDepth = good;
  Put16(&badDepth, 28, 13);
  EXPECT_TRUE(Fails(badDepth));
  Bytes badOffset = good;
  Put32(&badOffset, 10, 0xfffffff0u);
  EXPECT_TRUE(Fails(badOffset));
  Bytes badHeader = good;
  Put32(&badHeader, 14, 0x7fffffff);
  EXPECT_TRUE(Fails(badHeader));
  Bytes bigPalette = MakePalettedBmp(2, 1, {0, 1}, 8, {0xff000000, 0xffffffff}, false);
  Put32(&bigPalette, 46, 100000);
  EXPECT_TRUE(Fails(bigPalette));
}

TEST(TgaDecoder, UncompressedAndRunLength) {
  std::vector<uint32_t> translucent = kPicture;
  translucent[2] = 0x40708090;
  for (bool rle : {false, true}) {
    for (bool topDown : {false, true}) {
      DecodedImage rgb = Decode(MakeTga(3, 2, kPicture, 24, rle, topDown));
      EXPECT_EQ(kPicture, rgb.pixels);
      EXPECT_FALSE(rgb.hasAlpha);
      DecodedImage rgba = Decode(MakeTga(3, 2, translucent, 32, rle, topDown));
      EXPECT_EQ(translucent, rgba.pixels);
      EXPECT_TRUE(rgba.hasAlpha);
      EXPECT_EQ(ImageFileKind::Tga, rgba.kind);
    }
  }
  // Long runs that cross rows.
  std::vector<uint32_t> runs(40 * 5, 0xff336699);
  for (size_t i = 100; i < 130; ++i) runs[i] = 0xff000000u | uint32_t(i);
  Bytes packed = MakeTga(40, 5, runs, 24, true, false);
  EXPECT_LT(packed.size(), 18 + runs.size() * 3 / 2);
  EXPECT_EQ(runs, Decode(packed).pixels);
}

TEST(TgaDecoder, GreyAndColourMapped) {
  Bytes grey(18, 0);
  grey[2] = 3;
  Put16(&grey, 12, 2);
  Put16(&grey, 14, 1);
  grey[16] = 8;
  grey[17] = 0x20;
  grey.insert(grey.end(), {0x10, 0xf0});
  EXPECT_EQ((std::vector<uint32_t>{0xff101010, 0xfff0f0f0}), Decode(grey).pixels);

  Bytes mapped(18, 0);
  mapped[0] = 2;  // image id, skipped
  mapped[1] = 1;
  mapped[2] = 1;
  Put16(&mapped, 3, 5);  // first map index
  Put16(&mapped, 5, 2);
  mapped[7] = 24;
  Put16(&mapped, 12, 2);
  Put16(&mapped, 14, 1);
  mapped[16] = 8;
  mapped[17] = 0x20;
  mapped.insert(mapped.end(), {'i', 'd', 0x00, 0x00, 0xff, 0xff, 0x00, 0x00, 6, 5});
  EXPECT_EQ((std::vector<uint32_t>{0xff0000ff, 0xffff0000}), Decode(mapped).pixels);
  Bytes outside(mapped.begin(), mapped.end() - 1);
  outside.push_back(9);  // index beyond the map
  EXPECT_TRUE(Fails(outside));
}

TEST(TgaDecoder, DamagedFilesFailCleanly) {
  ExpectPrefixesFailCleanly(MakeTga(3, 2, kPicture, 32, false, false));
  std::vector<uint32_t> runs(64, 0xff112233);
  Bytes packed = MakeTga(8, 8, runs, 24, true, false);
  ExpectPrefixesFailCleanly(packed);
  Bytes overrun = packed;
  overrun[18] = 0xff;  // a run of 128 pixels in a 64-pixel image
  EXPECT_TRUE(Fails(overrun));
  Bytes claimsHuge = packed;
  Put16(&claimsHuge, 12, 8192);
  Put16(&claimsHuge, 14, 8192);  // RLE data far too short for 64M pixels: refused before allocating
  EXPECT_TRUE(Fails(claimsHuge));
  Bytes zero = packed;
  Put16(&zero, 12, 0);
  EXPECT_TRUE(Fails(zero));
}

TEST(BmpDecoder, RunLengthEncoded4Bit) {
  // 4 x 2, bottom-up: the bottom row a run of four alternating 1s and 2s; the top row a literal
  // of three (2, 1, 3) padded to an even byte count, its last pixel left at 0; the end.
  const std::vector<uint32_t> palette = {0xff000000, 0xffff0000, 0xff00ff00, 0xff0000ff};
  const Bytes b = MakeRunLengthBmp(4, 2, 4, palette, {4, 0x12, 0, 0, 0, 3, 0x21, 0x30, 0, 1});
  EXPECT_EQ((std::vector<uint32_t>{0xff00ff00, 0xffff0000, 0xff0000ff, 0xff000000,  // top row
                                   0xffff0000, 0xff00ff00, 0xffff0000, 0xff00ff00}),
            Decode(b).pixels)
      << "the high nibble is the first pixel of each byte";
}

TEST(TgaDecoder, RightToLeftRowsAreMirrored) {
  const std::vector<uint32_t> mirrored = {kPicture[2], kPicture[1], kPicture[0],  //
                                          kPicture[5], kPicture[4], kPicture[3]};
  for (bool rle : {false, true}) {
    Bytes tga = MakeTga(3, 2, kPicture, 24, rle, true);
    tga[17] |= 0x10;  // the pixels of each row run from right to left
    EXPECT_EQ(mirrored, Decode(tga).pixels) << "run-length " << rle;
  }
}
