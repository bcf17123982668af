#include "integration_app.h"
#include "platform/win32/window_testing.h"

#include <unistd.h>

namespace integration {

Picture ReadBackBuffer(IDirect3DDevice8* device) {
  Picture picture;
  IDirect3DSurface8* surface = nullptr;
  if (FAILED(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &surface)) || !surface) return picture;
  D3DSURFACE_DESC desc;
  D3DLOCKED_RECT locked;
  if (SUCCEEDED(surface->GetDesc(&desc)) && SUCCEEDED(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
    const bool wide = desc.Format == D3DFMT_X8R8G8B8 || desc.Format == D3DFMT_A8R8G8B8;
    const bool narrow = desc.Format == D3DFMT_R5G6B5;
    if (wide || narrow) {
      picture.width = desc.Width;
      picture.height = desc.Height;
      picture.pixels.resize(static_cast<size_t>(desc.Width) * desc.Height);
      for (UINT y = 0; y < desc.Height; ++y) {
        const BYTE* row = static_cast<const BYTE*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
        for (UINT x = 0; x < desc.Width; ++x) {
          DWORD c;
          if (wide) {
            c = reinterpret_cast<const DWORD*>(row)[x] & 0x00FFFFFF;
          } else {
            const WORD p = reinterpret_cast<const WORD*>(row)[x];
            const DWORD r = (p >> 11) & 0x1F, g = (p >> 5) & 0x3F, b = p & 0x1F;
            c = ((r * 255 / 31) << 16) | ((g * 255 / 63) << 8) | (b * 255 / 31);
          }
          picture.pixels[static_cast<size_t>(y) * desc.Width + x] = c;
        }
      }
    }
    surface->UnlockRect();
  }
  surface->Release();
  return picture;
}

void KeepPicture(const Picture& picture, const char* name) {
  const char* dir = std::getenv("VANTOREL_TEST_PICTURES");
  if (!dir || !*dir || picture.pixels.empty()) return;
  const std::string path = std::string(dir) + "/" + name + ".ppm";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return;
  std::fprintf(file, "P6\n%u %u\n255\n", picture.width, picture.height);
  for (DWORD c : picture.pixels) {
    const unsigned char rgb[3] = {static_cast<unsigned char>(c >> 16), static_cast<unsigned char>(c >> 8),
                                  static_cast<unsigned char>(c)};
    std::fwrite(rgb, 1, 3, file);
  }
  std::fclose(file);
}

void IntegrationTest::SetUp() {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) GTEST_SKIP() << "needs a display (the tests run under Xvfb)";
  setenv("VANTOREL_WINDOWED", "1", 1);
  setenv("VANTOREL_NO_DIALOGS", "1", 1);
  setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  WindowResetAll();
  WindowUseVirtualWindows(false);
}

void IntegrationTest::TearDown() { WindowResetAll(); }

}  // namespace integration
