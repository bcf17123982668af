// The OpenGL device when memory runs out: every creation reports E_OUTOFMEMORY with a
// null result and leaves nothing behind, and the device goes on working.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "platform/d3d8/d3d8.h"
#include "platform/d3d8/gl_device.h"
#include "tests/support/allocation/failing_allocation.h"
#include "tests/support/gl_test_window.h"

namespace {

struct Outcome {
  HRESULT hr = E_FAIL;
  IUnknown* made = nullptr;
};

class DeviceOutOfMemory : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { window = new GLTestWindow("memory test", 64, 64); }
  static void TearDownTestSuite() {
    delete window;
    window = nullptr;
  }

  void SetUp() override {
    if (!window->IsOpen()) GTEST_SKIP() << "no display: " << SDL_GetError();
    d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(nullptr, d3d);
    D3DPRESENT_PARAMETERS params = WindowedPresentParams(window->Hwnd(), 64, 64);
    ASSERT_EQ(S_OK, d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window->Hwnd(),
                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device));
  }

  void TearDown() override {
    if (device) {
      EXPECT_EQ(0u, device->Release());
    }
    if (d3d) d3d->Release();
  }

  size_t Live() { return dynamic_cast<CGLDevice*>(device)->LiveResourceCount(); }

  // Runs `create` with its first allocation failing, then its second, and so on, until
  // it needs no more than it was given.
  void ExpectEveryFailureReported(const char* what, const std::function<Outcome()>& create) {
    for (unsigned nth = 1; nth < 2000; ++nth) {
      Outcome outcome;
      bool struck;
      {
        FailingAllocation failing(nth);
        outcome = create();
        struck = failing.Struck();
      }
      if (!struck) {
        EXPECT_EQ(S_OK, outcome.hr) << what;
        if (outcome.made) outcome.made->Release();
        return;
      }
      EXPECT_EQ(E_OUTOFMEMORY, outcome.hr) << what << ", allocation " << nth;
      EXPECT_EQ(nullptr, outcome.made) << what << ", allocation " << nth;
      EXPECT_EQ(0u, Live()) << what << ", allocation " << nth;
      if (outcome.made) outcome.made->Release();
    }
    ADD_FAILURE() << what << " never succeeded";
  }

  static GLTestWindow* window;
  IDirect3D8* d3d = nullptr;
  IDirect3DDevice8* device = nullptr;
};

GLTestWindow* DeviceOutOfMemory::window = nullptr;

TEST_F(DeviceOutOfMemory, EveryCreationReportsAFailedAllocation) {
  for (D3DPOOL pool : {D3DPOOL_MANAGED, D3DPOOL_SYSTEMMEM}) {
    ExpectEveryFailureReported("texture", [&] {
      IDirect3DTexture8* texture = nullptr;
      return Outcome{device->CreateTexture(32, 16, 0, 0, D3DFMT_A4R4G4B4, pool, &texture), texture};
    });
  }
  ExpectEveryFailureReported("vertex buffer", [&] {
    IDirect3DVertexBuffer8* buffer = nullptr;
    return Outcome{device->CreateVertexBuffer(4096, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &buffer), buffer};
  });
  ExpectEveryFailureReported("index buffer", [&] {
    IDirect3DIndexBuffer8* buffer = nullptr;
    return Outcome{device->CreateIndexBuffer(4096, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &buffer), buffer};
  });
  ExpectEveryFailureReported("image surface", [&] {
    IDirect3DSurface8* surface = nullptr;
    return Outcome{device->CreateImageSurface(32, 32, D3DFMT_A8R8G8B8, &surface), surface};
  });
  ExpectEveryFailureReported("depth stencil", [&] {
    IDirect3DSurface8* surface = nullptr;
    return Outcome{device->CreateDepthStencilSurface(32, 32, D3DFMT_D16, D3DMULTISAMPLE_NONE, &surface), surface};
  });
  ExpectEveryFailureReported("back buffer", [&] {
    IDirect3DSurface8* surface = nullptr;
    return Outcome{device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &surface), surface};
  });
  ExpectEveryFailureReported("state block", [&] {
    DWORD token = 0;
    Outcome outcome;
    outcome.hr = device->CreateStateBlock(D3DSBT_ALL, &token);
    if (SUCCEEDED(outcome.hr)) device->DeleteStateBlock(token);
    return outcome;
  });
  ExpectEveryFailureReported("recorded state block", [&] {
    DWORD token = 0;
    Outcome outcome;
    // A failed end still ends the recording: the next try can begin again.
    outcome.hr = device->BeginStateBlock();
    if (SUCCEEDED(outcome.hr)) outcome.hr = device->EndStateBlock(&token);
    if (SUCCEEDED(outcome.hr)) device->DeleteStateBlock(token);
    return outcome;
  });

  // Nothing half-made is left, and the device goes on.
  EXPECT_EQ(0u, Live());
  EXPECT_EQ(S_OK, device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0));
  EXPECT_EQ(S_OK, device->Present(nullptr, nullptr, nullptr, nullptr));
}

TEST_F(DeviceOutOfMemory, ALevelThatCannotComeBackIntoMemoryIsNotLockedAndKeepsItsPixels) {
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

}  // namespace
