// The OpenGL device and the game's textures when memory runs out: every creation reports
// E_OUTOFMEMORY with nothing made or left behind, and a later try succeeds.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/gamecontext.h"
#include "engine/texturecache.h"
#include "platform/d3d8/d3d8.h"
#include "platform/d3d8/gl_device.h"
#include "tests/support/allocation/failing_allocation.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/sound/synth_audio.h"
#include "tools/pewriter/pe_writer.h"

namespace {

struct Outcome { HRESULT hr = E_FAIL; IUnknown* made = nullptr; };

// A grey 24-bit bitmap, 129 x 129: the loader makes it a 256 x 256 texture.
std::vector<uint8_t> GreyBitmap() {
  const uint32_t side = 129, rowBytes = (side * 3 + 3) & ~3u, size = 54 + rowBytes * side;
  std::vector<uint8_t> bytes(size, 0x80);
  const uint32_t header[] = {size, 0, 54, 40, side, side, 1 | (24u << 16), 0, rowBytes * side, 2835, 2835, 0, 0};
  bytes[0] = 'B', bytes[1] = 'M';
  for (size_t i = 0; i < sizeof header / 4; ++i)
    for (int k = 0; k < 4; ++k) bytes[2 + i * 4 + k] = static_cast<uint8_t>(header[i] >> (8 * k));
  return bytes;
}

class OutOfMemory : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { window = new GLTestWindow("memory test", 64, 64); }
  static void TearDownTestSuite() { delete window; }

  void SetUp() override {
    if (!window->IsOpen()) GTEST_SKIP() << "no display: " << SDL_GetError();
    d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(nullptr, d3d);
    D3DPRESENT_PARAMETERS params = WindowedPresentParams(window->Hwnd(), 64, 64);
    ASSERT_EQ(S_OK, d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window->Hwnd(),
                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device));
  }

  void TearDown() override {
    EXPECT_EQ(0u, device ? device->Release() : 0u);
    if (d3d) d3d->Release();
    if (!m_strDir.empty()) RemoveTree(m_strDir);
  }

  size_t Live() { return dynamic_cast<CGLDevice*>(device)->LiveResourceCount(); }

  static GLTestWindow* window;
  IDirect3D8* d3d = nullptr;
  IDirect3DDevice8* device = nullptr;
  std::string m_strDir;
};

GLTestWindow* OutOfMemory::window = nullptr;

// Each creation runs with its first allocation failing, then its second, and so on,
// until it needs no more than it was given.
TEST_F(OutOfMemory, EveryCreationReportsEachFailedAllocationAndLeavesNothing) {
  const std::pair<const char*, std::function<Outcome()>> creations[] = {
      {"managed texture", [&] { IDirect3DTexture8* t = nullptr;
         return Outcome{device->CreateTexture(32, 16, 0, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &t), t}; }},
      {"system texture", [&] { IDirect3DTexture8* t = nullptr;
         return Outcome{device->CreateTexture(32, 16, 0, 0, D3DFMT_A4R4G4B4, D3DPOOL_SYSTEMMEM, &t), t}; }},
      {"vertex buffer", [&] { IDirect3DVertexBuffer8* b = nullptr;
         return Outcome{device->CreateVertexBuffer(4096, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &b), b}; }},
      {"index buffer", [&] { IDirect3DIndexBuffer8* b = nullptr;
         return Outcome{device->CreateIndexBuffer(4096, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &b), b}; }},
      {"image surface", [&] { IDirect3DSurface8* s = nullptr;
         return Outcome{device->CreateImageSurface(32, 32, D3DFMT_A8R8G8B8, &s), s}; }},
      {"depth stencil", [&] { IDirect3DSurface8* s = nullptr;
         return Outcome{device->CreateDepthStencilSurface(32, 32, D3DFMT_D16, D3DMULTISAMPLE_NONE, &s), s}; }},
      {"back buffer", [&] { IDirect3DSurface8* s = nullptr;
         return Outcome{device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &s), s}; }},
      {"state block", [&] { DWORD token = 0;
         const HRESULT hr = device->CreateStateBlock(D3DSBT_ALL, &token);
         if (SUCCEEDED(hr)) device->DeleteStateBlock(token);
         return Outcome{hr}; }},
      // A failed end still ends the recording: the next try can begin again.
      {"recorded state block", [&] { DWORD token = 0;
         HRESULT hr = device->BeginStateBlock();
         if (SUCCEEDED(hr)) hr = device->EndStateBlock(&token);
         if (SUCCEEDED(hr)) device->DeleteStateBlock(token);
         return Outcome{hr}; }},
  };
  for (const auto& [what, create] : creations) {
    for (unsigned nth = 1;; ++nth) {
      ASSERT_LT(nth, 2000u) << what << " never succeeded";
      Outcome outcome;
      bool struck;
      {
        FailingAllocation failing(nth);
        outcome = create();
        struck = failing.Struck();
      }
      EXPECT_EQ(struck ? E_OUTOFMEMORY : S_OK, outcome.hr) << what << ", allocation " << nth;
      if (struck) {
        EXPECT_EQ(nullptr, outcome.made) << what << ", allocation " << nth;
        EXPECT_EQ(0u, Live()) << what << ", allocation " << nth;
      }
      if (outcome.made) outcome.made->Release();
      if (!struck) break;
    }
  }
  EXPECT_EQ(S_OK, device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0));  // the device goes on
  EXPECT_EQ(S_OK, device->Present(nullptr, nullptr, nullptr, nullptr));
}

TEST_F(OutOfMemory, ALevelThatCannotComeBackIntoMemoryIsNotLockedAndKeepsItsPixels) {
  IDirect3DTexture8* texture = nullptr;
  ASSERT_EQ(S_OK, device->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture));
  D3DLOCKED_RECT locked;
  ASSERT_EQ(S_OK, texture->LockRect(0, &locked, nullptr, 0));
  std::memset(locked.pBits, 0x5A, static_cast<size_t>(locked.Pitch) * 16);
  texture->UnlockRect(0);  // the device takes the pixels over
  {
    FailingAllocation failing(1, 1024);
    EXPECT_EQ(E_OUTOFMEMORY, texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY));
    EXPECT_TRUE(failing.Struck());
  }
  EXPECT_EQ(D3DERR_INVALIDCALL, texture->UnlockRect(0));  // that lock never happened
  ASSERT_EQ(S_OK, texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY));
  const BYTE* pixels = static_cast<const BYTE*>(locked.pBits);
  EXPECT_EQ(0x5A, pixels[0]);
  EXPECT_EQ(0x5A, pixels[static_cast<size_t>(locked.Pitch) * 16 - 1]);
  texture->UnlockRect(0);
  texture->Release();
}

// Through both loaders; only the device's 256 x 256 top level asks for this much (more than
// the 129 x 129 x 4 decoded picture).
TEST_F(OutOfMemory, AGameTextureThatFailsToLoadIsNotCachedAndALaterLoadSucceeds) {
  m_strDir = MakeTempDir();
  ASSERT_FALSE(m_strDir.empty());
  const std::string library = m_strDir + "/res.dll";
  std::string error;
  ASSERT_TRUE(WriteResourceDll(library, {{"Grey", GreyBitmap()}}, &error)) << error;
  CTextureCache textures;  // released before the device
  CGameContext context;
  context.m_pd3dDevice = device;
  context.m_strResLib = library.c_str();
  context.m_pTextureCache = &textures;
  for (BYTE useKey : {0, 1}) {
    {
      FailingAllocation failing(1, 200000);
      EXPECT_EQ(E_FAIL, context.LoadTexture("Grey", 0xFF000000, useKey));
      EXPECT_TRUE(failing.Struck());
    }
    EXPECT_EQ(0u, textures.Count());
    EXPECT_EQ(0u, Live());
  }
  EXPECT_EQ(S_OK, context.LoadTexture("Grey", 0xFF000000, 0));
  EXPECT_EQ(1u, textures.Count());
}

}  // namespace
