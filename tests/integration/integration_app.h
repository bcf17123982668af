// Shared set-up of the end-to-end tests: a real window on the display (Xvfb), the
// OpenGL device, the project's generated res.dll beside the test program, and an
// application whose frames a test can drive and read back.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32/window_bridge.h"
#include "shell/d3dapp.h"
#include "tests/support/generated_library.h"
#include "tests/support/log_text.h"

namespace integration {

// The library every resource comes from: the bare name, found beside the program.
constexpr char kResLib[] = "res.dll";

// Back-buffer pixels as 0x00RRGGBB, row 0 at the top.
struct Picture {
  UINT width = 0;
  UINT height = 0;
  std::vector<DWORD> pixels;

  DWORD At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + static_cast<size_t>(x)]; }
  static int Red(DWORD c) { return static_cast<int>((c >> 16) & 0xFF); }
  static int Green(DWORD c) { return static_cast<int>((c >> 8) & 0xFF); }
  static int Blue(DWORD c) { return static_cast<int>(c & 0xFF); }
  static int Brightness(DWORD c) { return Red(c) + Green(c) + Blue(c); }
};

// Reads the device's back buffer through GetBackBuffer and LockRect; an empty
// picture when the format is not one of the 32- or 16-bit ones.
Picture ReadBackBuffer(IDirect3DDevice8* device);

// With VANTOREL_TEST_PICTURES set to a directory, writes the picture there as
// <name>.ppm, to look at when a test fails.
void KeepPicture(const Picture& picture, const char* name);

// A CD3DApplication on the real Direct3D object with a 24-bit depth buffer.
class CIntegrationApp : public CD3DApplication {
 public:
  CIntegrationApp(DWORD width, DWORD height) {
    m_strWindowTitle = "Vantorel";
    m_dwCreationWidth = width;
    m_dwCreationHeight = height;
    m_bUseDepthBuffer = TRUE;
    m_dwMinDepthBits = 16;
  }
  using CD3DApplication::m_BackBufferDesc;
  using CD3DApplication::m_hWnd;
  using CD3DApplication::m_pd3dDevice;

  int frames = 0;
  std::function<void(CIntegrationApp&)> onFrame;  // every FrameMove

 protected:
  HRESULT FrameMove() override {
    ++frames;
    if (onFrame) onFrame(*this);
    return S_OK;
  }
  HRESULT OnEscapeKey() override {
    PostMessage(m_hWnd, WM_CLOSE, 0, 0);
    return S_OK;
  }
};

// Skips without a display; sets the environment the test runner sets, so a test
// started by hand behaves the same.
class IntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace integration
