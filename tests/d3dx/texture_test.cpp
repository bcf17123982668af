#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "platform/d3d8/pixel_format.h"
#include "platform/d3dx/d3dx8.h"
#include "tests/d3dx/test_images.h"
#include "tests/support/d3d8/recording_device.h"

namespace {

class D3DXTextureTest : public ::testing::Test {
 protected:
  void SetUp() override { device_ = new CRecordingDevice(); }
  void TearDown() override {
    if (texture_) texture_->Release();
    EXPECT_EQ(0u, device_->LiveResourceCount()) << "a texture or staging copy leaked";
    device_->Release();
  }

  HRESULT LoadEx(const Bytes& file, D3DCOLOR colorKey, D3DFORMAT format = D3DFMT_UNKNOWN, UINT width = 0,
                 UINT height = 0, UINT mipLevels = 0, D3DXIMAGE_INFO* info = nullptr,
                 D3DPOOL pool = D3DPOOL_MANAGED, DWORD filter = D3DX_DEFAULT) {
    return D3DXCreateTextureFromFileInMemoryEx(device_, file.data(), static_cast<UINT>(file.size()), width, height,
                                               mipLevels, 0, format, pool, filter, D3DX_DEFAULT, colorKey, info,
                                               nullptr, &texture_);
  }

  D3DSURFACE_DESC Desc(UINT level) {
    D3DSURFACE_DESC desc = {};
    EXPECT_EQ(S_OK, texture_->GetLevelDesc(level, &desc));
    return desc;
  }

  // The level's pixels as 0xAARRGGBB, whatever its format.
  std::vector<uint32_t> Pixels(UINT level) {
    D3DSURFACE_DESC desc = Desc(level);
    D3DLOCKED_RECT locked = {};
    EXPECT_EQ(S_OK, texture_->LockRect(level, &locked, nullptr, D3DLOCK_READONLY));
    std::vector<uint32_t> out;
    std::vector<BYTE> rgba(desc.Width * 4);
    for (UINT y = 0; y < desc.Height; ++y) {
      D3DConvertToRGBA(static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch, desc.Format, desc.Width, rgba.data());
      for (UINT x = 0; x < desc.Width; ++x)
        out.push_back((uint32_t(rgba[4 * x + 3]) << 24) | (uint32_t(rgba[4 * x]) << 16) |
                      (uint32_t(rgba[4 * x + 1]) << 8) | rgba[4 * x + 2]);
    }
    texture_->UnlockRect(level);
    return out;
  }

  // The raw 16-bit values of a 16-bit level.
  std::vector<uint16_t> Raw16(UINT level) {
    D3DSURFACE_DESC desc = Desc(level);
    D3DLOCKED_RECT locked = {};
    EXPECT_EQ(S_OK, texture_->LockRect(level, &locked, nullptr, D3DLOCK_READONLY));
    std::vector<uint16_t> out;
    for (UINT y = 0; y < desc.Height; ++y) {
      const BYTE* row = static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch;
      for (UINT x = 0; x < desc.Width; ++x) out.push_back(static_cast<uint16_t>(row[2 * x] | (row[2 * x + 1] << 8)));
    }
    texture_->UnlockRect(level);
    return out;
  }

  CRecordingDevice* device_ = nullptr;
  IDirect3DTexture8* texture_ = nullptr;
};

}  // namespace

TEST_F(D3DXTextureTest, PlainLoaderRoundsUpToPowersOfTwoWithFullMipChain) {
  PngSpec rgb;  // no alpha channel
  rgb.width = 3, rgb.height = 5, rgb.colorType = 2;
  for (int i = 0; i < 15; ++i) rgb.samples.insert(rgb.samples.end(), {0x33, 0x66, 0x99});
  Bytes png = MakePng(rgb);
  ASSERT_EQ(S_OK, D3DXCreateTextureFromFileInMemory(device_, png.data(), UINT(png.size()), &texture_));
  ASSERT_NE(nullptr, texture_);
  auto calls = device_->CallsTo("CreateTexture");
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ(4u, calls[0].values[0]);  // width
  EXPECT_EQ(8u, calls[0].values[1]);  // height
  EXPECT_EQ(D3DPOOL_MANAGED, calls[0].values[5]);
  ASSERT_EQ(4u, texture_->GetLevelCount());  // 4x8, 2x4, 1x2, 1x1
  const UINT sizes[4][2] = {{4, 8}, {2, 4}, {1, 2}, {1, 1}};
  for (UINT level = 0; level < 4; ++level) {
    D3DSURFACE_DESC desc = Desc(level);
    EXPECT_EQ(sizes[level][0], desc.Width);
    EXPECT_EQ(sizes[level][1], desc.Height);
    EXPECT_EQ(D3DFMT_X8R8G8B8, desc.Format);  // no alpha in the file, no colour key
    for (uint32_t p : Pixels(level)) EXPECT_EQ(0xff336699u, p) << "level " << level;
  }
}

TEST_F(D3DXTextureTest, MipLevelsAreBoxFilteredFromTheLevelAbove) {
  std::vector<uint32_t> halves(4 * 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) halves[y * 4 + x] = x < 2 ? 0xffff0000 : 0xff0000ff;
  halves[0] = 0xff00ff00;  // one odd pixel in the top-left 2x2 block
  ASSERT_EQ(S_OK, LoadEx(MakePngArgb(4, 4, halves), 0));
  ASSERT_EQ(3u, texture_->GetLevelCount());
  EXPECT_EQ(halves, Pixels(0));
  // Level 1: each pixel the average of a 2x2 block; the top-left one has 3 red and 1 green.
  EXPECT_EQ((std::vector<uint32_t>{0xffbf4000, 0xff0000ff, 0xffff0000, 0xff0000ff}), Pixels(1));
  // Level 2 from level 1: red (0xbf + 0xff) / 4 = 111.5, green 0x40 / 4, blue 2 * 0xff / 4 = 127.5, rounded.
  EXPECT_EQ((std::vector<uint32_t>{0xff701080}), Pixels(2));
}

TEST_F(D3DXTextureTest, ColourKeyMakesMatchingPixelsTransparentBlack) {
  std::vector<uint32_t> pixels = {0xff000000, 0xff00ff00, 0xff000000, 0xffffffff};
  D3DXIMAGE_INFO info = {};
  ASSERT_EQ(S_OK, LoadEx(MakeTga(2, 2, pixels, 24, false, true), 0xff000000, D3DFMT_UNKNOWN, 0, 0, 1, &info));
  EXPECT_EQ(D3DFMT_A8R8G8B8, Desc(0).Format);  // the key needs an alpha channel
  EXPECT_EQ((std::vector<uint32_t>{0x00000000, 0xff00ff00, 0x00000000, 0xffffffff}), Pixels(0));
  EXPECT_EQ(2u, info.Width);
  EXPECT_EQ(D3DXIFF_TGA, info.ImageFileFormat);
  EXPECT_EQ(D3DFMT_X8R8G8B8, info.Format);
  EXPECT_EQ(D3DRTYPE_TEXTURE, info.ResourceType);
  texture_->Release();
  texture_ = nullptr;

  // The key's alpha takes part in the comparison: an opaque image has no pixel 0x00ffffff.
  ASSERT_EQ(S_OK, LoadEx(MakeTga(2, 2, pixels, 24, false, true), 0x00ffffff, D3DFMT_UNKNOWN, 0, 0, 1));
  EXPECT_EQ(pixels, Pixels(0));
}

TEST_F(D3DXTextureTest, FileTransparencyPicksAlphaFormatAndExplicitFormatsConvert) {
  std::vector<uint32_t> pixels = {0xffff0000, 0x00000000, 0x8800ff00, 0xff0000ff};
  Bytes png = MakePngArgb(2, 2, pixels);
  D3DXIMAGE_INFO info = {};
  ASSERT_EQ(S_OK, LoadEx(png, 0, D3DFMT_UNKNOWN, 0, 0, 0, &info));
  EXPECT_EQ(D3DFMT_A8R8G8B8, Desc(0).Format);
  EXPECT_EQ(D3DFMT_A8R8G8B8, info.Format);
  EXPECT_EQ(D3DXIFF_PNG, info.ImageFileFormat);
  EXPECT_EQ(pixels, Pixels(0));
  texture_->Release();
  texture_ = nullptr;

  ASSERT_EQ(S_OK, LoadEx(png, 0, D3DFMT_A4R4G4B4, 0, 0, 1));
  EXPECT_EQ(D3DFMT_A4R4G4B4, Desc(0).Format);
  EXPECT_EQ((std::vector<uint16_t>{0xff00, 0x0000, 0x80f0, 0xf00f}), Raw16(0));
  texture_->Release();
  texture_ = nullptr;

  ASSERT_EQ(S_OK, LoadEx(png, 0, D3DFMT_R5G6B5, 0, 0, 1));
  EXPECT_EQ((std::vector<uint16_t>{0xf800, 0x0000, 0x07e0, 0x001f}), Raw16(0));
  texture_->Release();
  texture_ = nullptr;

  // A format the converter cannot write (a palette) falls back to 32 bits.
  ASSERT_EQ(S_OK, LoadEx(png, 0, D3DFMT_P8, 0, 0, 1));
  EXPECT_EQ(D3DFMT_A8R8G8B8, Desc(0).Format);
}

TEST_F(D3DXTextureTest, ExplicitSizesScaleAndDeviceLimitsApply) {
  std::vector<uint32_t> ramp = {0xff000000, 0xff808080, 0xffffffff};
  ASSERT_EQ(S_OK, LoadEx(MakeBmp(3, 1, ramp, 24, false), 0, D3DFMT_X8R8G8B8, 6, 2, 1, nullptr, D3DPOOL_MANAGED,
                         D3DX_FILTER_POINT));
  EXPECT_EQ(6u, Desc(0).Width);  // this device takes sizes that are not powers of two
  EXPECT_EQ((std::vector<uint32_t>{0xff000000, 0xff000000, 0xff808080, 0xff808080, 0xffffffff, 0xffffffff,
                                   0xff000000, 0xff000000, 0xff808080, 0xff808080, 0xffffffff, 0xffffffff}),
            Pixels(0));
  texture_->Release();
  texture_ = nullptr;

  device_->Caps().TextureCaps |= D3DPTEXTURECAPS_POW2;
  device_->Caps().TextureCaps &= ~D3DPTEXTURECAPS_MIPMAP;
  device_->Caps().MaxTextureWidth = 4;
  ASSERT_EQ(S_OK, LoadEx(MakeBmp(3, 1, ramp, 24, false), 0, D3DFMT_UNKNOWN, 6, 0, 0));
  EXPECT_EQ(4u, Desc(0).Width);  // 6 rounds up to 8, the device allows 4
  EXPECT_EQ(1u, Desc(0).Height);
  EXPECT_EQ(1u, texture_->GetLevelCount());  // no mipmaps on this device
  std::vector<uint32_t> scaled = Pixels(0);
  EXPECT_EQ(0xff000000u, scaled[0]);
  EXPECT_EQ(0xffffffffu, scaled[3]);
  EXPECT_LT(scaled[1] & 0xff, scaled[2] & 0xff);  // a smooth ramp
}

TEST_F(D3DXTextureTest, DefaultPoolIsFilledThroughASystemMemoryCopy) {
  std::vector<uint32_t> solid(4, 0xff123456);
  ASSERT_EQ(S_OK, LoadEx(MakePngArgb(2, 2, solid), 0, D3DFMT_UNKNOWN, 0, 0, 0, nullptr, D3DPOOL_DEFAULT));
  auto creates = device_->CallsTo("CreateTexture");
  ASSERT_EQ(2u, creates.size());
  EXPECT_EQ(D3DPOOL_DEFAULT, creates[0].values[5]);
  EXPECT_EQ(D3DPOOL_SYSTEMMEM, creates[1].values[5]);
  EXPECT_TRUE(device_->WasCalled("UpdateTexture"));
  EXPECT_EQ(1u, device_->LiveResourceCount());  // the staging copy is gone
}

TEST_F(D3DXTextureTest, BadInputFailsWithoutCreatingATexture) {
  Bytes garbage(200, 0x5a);
  EXPECT_EQ(D3DXERR_INVALIDDATA, LoadEx(garbage, 0));
  EXPECT_EQ(nullptr, texture_);
  Bytes truncated = MakePngArgb(4, 4, std::vector<uint32_t>(16, 0xffffffff));
  truncated.resize(truncated.size() / 2);
  EXPECT_EQ(D3DXERR_INVALIDDATA,
            D3DXCreateTextureFromFileInMemory(device_, truncated.data(), UINT(truncated.size()), &texture_));
  EXPECT_EQ(nullptr, texture_);
  EXPECT_FALSE(device_->WasCalled("CreateTexture"));

  Bytes good = MakePngArgb(1, 1, {0xffffffff});
  EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateTextureFromFileInMemory(nullptr, good.data(), UINT(good.size()), &texture_));
  EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateTextureFromFileInMemory(device_, nullptr, 10, &texture_));
  EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateTextureFromFileInMemory(device_, good.data(), 0, &texture_));
  EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateTextureFromFileInMemory(device_, good.data(), UINT(good.size()), nullptr));
  EXPECT_EQ(D3DERR_INVALIDCALL, LoadEx(good, 0, D3DFMT_UNKNOWN, 0, 0, 0, nullptr, D3DPOOL_MANAGED, 9));  // no such filter
  EXPECT_EQ(D3DERR_INVALIDCALL, LoadEx(good, 0, D3DFMT_UNKNOWN, 100000, 4));  // absurd size

  device_->FailMethod("CreateTexture", E_OUTOFMEMORY);
  EXPECT_EQ(E_OUTOFMEMORY, LoadEx(good, 0));
  EXPECT_EQ(nullptr, texture_);
}

TEST_F(D3DXTextureTest, FromFileAndImageInfo) {
  std::string dir = MakeTempDirectory();
  std::string path = dir + "/tile.bmp";
  std::vector<uint32_t> pixels = {0xff010203, 0xff040506};
  Bytes bmp = MakeBmp(2, 1, pixels, 24, false);
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bmp.data()), std::streamsize(bmp.size()));
  }
  ASSERT_EQ(S_OK, D3DXCreateTextureFromFile(device_, path.c_str(), &texture_));
  EXPECT_EQ(pixels, Pixels(0));
  D3DXIMAGE_INFO info = {};
  ASSERT_EQ(S_OK, D3DXGetImageInfoFromFile(path.c_str(), &info));
  EXPECT_EQ(2u, info.Width);
  EXPECT_EQ(1u, info.Height);
  EXPECT_EQ(D3DXIFF_BMP, info.ImageFileFormat);
  EXPECT_EQ(S_OK, D3DXGetImageInfoFromFileInMemory(bmp.data(), UINT(bmp.size()), &info));
  EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXGetImageInfoFromFileInMemory(bmp.data(), 20, &info));

  IDirect3DTexture8* missing = reinterpret_cast<IDirect3DTexture8*>(&info);
  EXPECT_EQ(E_FAIL, D3DXCreateTextureFromFile(device_, (dir + "/none.png").c_str(), &missing));
  EXPECT_EQ(nullptr, missing);
  std::remove(path.c_str());
  std::remove(dir.c_str());
}

TEST(D3DXBuffer, HoldsZeroedBytesAndCountsReferences) {
  ID3DXBuffer* buffer = nullptr;
  ASSERT_EQ(S_OK, D3DXCreateBuffer(12, &buffer));
  ASSERT_NE(nullptr, buffer);
  EXPECT_EQ(12u, buffer->GetBufferSize());
  const BYTE* bytes = static_cast<const BYTE*>(buffer->GetBufferPointer());
  for (int i = 0; i < 12; ++i) EXPECT_EQ(0, bytes[i]);
  EXPECT_EQ(2u, buffer->AddRef());
  void* same = nullptr;
  EXPECT_EQ(S_OK, buffer->QueryInterface(IID_ID3DXBuffer, &same));
  EXPECT_EQ(static_cast<void*>(buffer), same);
  void* none = nullptr;
  EXPECT_EQ(E_NOINTERFACE, buffer->QueryInterface(IID_IDirect3DTexture8, &none));
  EXPECT_EQ(nullptr, none);
  EXPECT_EQ(2u, buffer->Release());
  EXPECT_EQ(1u, buffer->Release());
  EXPECT_EQ(0u, buffer->Release());
  EXPECT_EQ(E_POINTER, D3DXCreateBuffer(4, nullptr));
}

TEST_F(D3DXTextureTest, EnlargingBlendsEachPixelFromItsTwoNearestSourcePixels) {
  // Black and white, twice as wide: the inner pixels lie a quarter of the way from their nearer
  // source pixel, the outer ones beyond the centres keep the edge colour.
  ASSERT_EQ(S_OK, LoadEx(MakeBmp(2, 1, {0xff000000, 0xffffffff}, 24, false), 0, D3DFMT_X8R8G8B8, 4, 1, 1, nullptr,
                         D3DPOOL_MANAGED, D3DX_FILTER_LINEAR));
  EXPECT_EQ((std::vector<uint32_t>{0xff000000, 0xff404040, 0xffbfbfbf, 0xffffffff}), Pixels(0))
      << "each pixel mostly takes the source pixel it lies nearer to";
}
