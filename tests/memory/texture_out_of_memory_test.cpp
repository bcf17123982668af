// The game's textures when the device has no memory for them: the loaders fail, nothing
// is cached, the frame is drawn without the texture and a later try loads it.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/gamecontext.h"
#include "engine/renderqueue.h"
#include "engine/texturecache.h"
#include "platform/d3d8/d3d8.h"
#include "platform/d3d8/gl_device.h"
#include "tests/support/allocation/failing_allocation.h"
#include "tests/support/gl_test_window.h"
#include "tests/support/sound/synth_audio.h"
#include "tools/pewriter/pe_writer.h"

namespace {

// Larger than the decoded picture (129 x 129 x 4 bytes): only the device's 256 x 256
// top level asks for this much.
constexpr size_t kTextureLevelBytes = 200000;

// A grey 24-bit bitmap, 129 x 129: the loader makes it a 256 x 256 texture.
std::vector<uint8_t> GreyBitmap() {
  const uint32_t side = 129, rowBytes = (side * 3 + 3) & ~3u, size = 54 + rowBytes * side;
  std::vector<uint8_t> bytes(size, 0x80);
  const uint32_t header[] = {size, 0, 54, 40, side, side, 1 | (24u << 16), 0, rowBytes * side, 2835, 2835, 0, 0};
  bytes[0] = 'B';
  bytes[1] = 'M';
  for (size_t i = 0; i < sizeof header / 4; ++i)
    for (int k = 0; k < 4; ++k) bytes[2 + i * 4 + k] = static_cast<uint8_t>(header[i] >> (8 * k));
  return bytes;
}

class TextureOutOfMemory : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { window = new GLTestWindow("texture memory test", 64, 64); }
  static void TearDownTestSuite() {
    delete window;
    window = nullptr;
  }

  void SetUp() override {
    if (!window->IsOpen()) GTEST_SKIP() << "no display: " << SDL_GetError();
    m_strDir = MakeTempDir();
    ASSERT_FALSE(m_strDir.empty());
    m_strLibrary = m_strDir + "/res.dll";
    std::string error;
    ASSERT_TRUE(WriteResourceDll(m_strLibrary, {{"Grey", GreyBitmap()}}, &error)) << error;
    d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(nullptr, d3d);
    D3DPRESENT_PARAMETERS params = WindowedPresentParams(window->Hwnd(), 64, 64);
    ASSERT_EQ(S_OK, d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window->Hwnd(),
                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device));
    m_Context.m_pd3dDevice = device;
    m_Context.m_strResLib = m_strLibrary.c_str();
    m_Context.m_pTextureCache = &m_Textures;
  }

  void TearDown() override {
    m_Queue.Clear();
    m_Textures.Clear();
    if (device) {
      EXPECT_EQ(0u, device->Release());
    }
    if (d3d) d3d->Release();
    if (!m_strDir.empty()) RemoveTree(m_strDir);
  }

  size_t Live() { return dynamic_cast<CGLDevice*>(device)->LiveResourceCount(); }

  static GLTestWindow* window;
  std::string m_strDir, m_strLibrary;
  IDirect3D8* d3d = nullptr;
  IDirect3DDevice8* device = nullptr;
  CGameContext m_Context;
  CTextureCache m_Textures;
  CRenderQueue m_Queue{&m_Context};
};

GLTestWindow* TextureOutOfMemory::window = nullptr;

TEST_F(TextureOutOfMemory, ThePreloadFailsAndALaterOneSucceeds) {
  for (BYTE useKey : {0, 1}) {
    {
      FailingAllocation failing(1, kTextureLevelBytes);
      EXPECT_EQ(E_FAIL, m_Context.LoadTexture("Grey", 0xFF000000, useKey));
      EXPECT_TRUE(failing.Struck());
    }
    EXPECT_EQ(0u, m_Textures.Count());
    EXPECT_EQ(0u, Live());
  }
  EXPECT_EQ(S_OK, m_Context.LoadTexture("Grey", 0xFF000000, 0));
  EXPECT_EQ(1u, m_Textures.Count());
}

TEST_F(TextureOutOfMemory, TheQueueDrawsWithoutTheTextureAndTriesAgainNextFrame) {
  IDirect3DVertexBuffer8* quad = nullptr;
  ASSERT_EQ(S_OK, device->CreateVertexBuffer(6 * sizeof(ScreenVertex), 0, FVF_SCREENVERTEX, D3DPOOL_MANAGED, &quad));
  RenderItem& item = m_Context.m_RenderItem;
  item.Reset();
  item.m_bQuad = 1;
  item.m_pVB = quad;
  item.m_dwPrimCount = 2;
  item.m_strTexture = "Grey";
  for (bool outOfMemory : {true, false}) {
    m_Queue.Add(item);
    ASSERT_EQ(S_OK, device->BeginScene());
    {
      FailingAllocation failing(1, outOfMemory ? kTextureLevelBytes : SIZE_MAX);
      EXPECT_EQ(S_OK, m_Queue.Draw());
      EXPECT_EQ(outOfMemory, failing.Struck());
    }
    device->EndScene();
    m_Queue.Clear();
    EXPECT_EQ(outOfMemory ? 0u : 1u, m_Textures.Count());
  }
  quad->Release();
}

}  // namespace
