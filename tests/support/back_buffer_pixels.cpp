#include "tests/support/back_buffer_pixels.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

std::vector<std::vector<Pixel>> ReadBackPixels(IDirect3DDevice8* device) {
  std::vector<std::vector<Pixel>> pixels;
  IDirect3DSurface8* surface = nullptr;
  EXPECT_EQ(S_OK, device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &surface));
  if (!surface) return pixels;
  D3DSURFACE_DESC desc;
  surface->GetDesc(&desc);
  D3DLOCKED_RECT locked;
  EXPECT_EQ(S_OK, surface->LockRect(&locked, nullptr, D3DLOCK_READONLY));
  for (UINT y = 0; y < desc.Height; ++y) {
    pixels.emplace_back();
    const BYTE* row = static_cast<const BYTE*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
    for (UINT x = 0; x < desc.Width; ++x) pixels.back().push_back(Pixel{row[x * 4 + 2], row[x * 4 + 1], row[x * 4]});
  }
  surface->UnlockRect();
  EXPECT_EQ(0u, surface->Release());
  return pixels;
}

void KeepPixels(const std::vector<std::vector<Pixel>>& pixels, const std::string& name) {
  const char* dir = std::getenv("VANTOREL_TEST_PICTURES");
  if (!dir || !*dir || pixels.empty()) return;
  std::FILE* file = std::fopen((std::string(dir) + "/" + name + ".ppm").c_str(), "wb");
  if (!file) return;
  std::fprintf(file, "P6\n%zu %zu\n255\n", pixels[0].size(), pixels.size());
  for (const auto& row : pixels)
    for (const Pixel& p : row) {
      const unsigned char rgb[3] = {static_cast<unsigned char>(p.r), static_cast<unsigned char>(p.g),
                                    static_cast<unsigned char>(p.b)};
      std::fwrite(rgb, 1, 3, file);
    }
  std::fclose(file);
}
