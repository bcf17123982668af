// The application base on a real window and the OpenGL device (Xvfb, llvmpipe):
// frames reach the back buffer where they should, the full-screen switch and the
// reset keep drawing, keys from SDL become commands, and closing leaves no
// device object behind.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

#include "platform/win32/window_bridge.h"
#include "platform/win32/window_testing.h"
#include "shell/d3dapp.h"
#include "shell/resource.h"

namespace {

struct ColourVertex {
  float x, y, z, rhw;
  D3DCOLOR colour;
};
constexpr DWORD kFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;
constexpr D3DCOLOR kClear = 0xFF204080;
constexpr D3DCOLOR kQuad = 0xFFFF0000;

// Clears, then draws the left half red from a default-pool vertex buffer that is
// made in RestoreDeviceObjects and released in InvalidateDeviceObjects.
class CDrawApp : public CD3DApplication {
 public:
  CDrawApp() {
    m_strWindowTitle = "Vantorel";
    m_dwCreationWidth = 500;
    m_dwCreationHeight = 375;
    m_bUseDepthBuffer = TRUE;
    m_dwMinDepthBits = 16;
  }
  using CD3DApplication::m_BackBufferDesc;
  using CD3DApplication::m_bWindowed;
  using CD3DApplication::m_hWnd;
  using CD3DApplication::m_pd3dDevice;

  IDirect3D8* held = nullptr;  // the test's own reference
  int frames = 0;
  int restores = 0;
  std::vector<std::pair<UINT, LPARAM>> seen;  // messages with their lParam

  LRESULT MsgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
    seen.emplace_back(message, lParam);
    return CD3DApplication::MsgProc(window, message, wParam, lParam);
  }
  std::function<void(CDrawApp&)> onFrame;

  // The colour at (x, y) of the last frame, 0 when it cannot be read.
  DWORD PixelAt(UINT x, UINT y) {
    IDirect3DSurface8* surface = nullptr;
    if (FAILED(m_pd3dDevice->CreateImageSurface(m_BackBufferDesc.Width, m_BackBufferDesc.Height, D3DFMT_A8R8G8B8,
                                                &surface)))
      return 0;
    DWORD colour = 0;
    D3DLOCKED_RECT locked;
    if (SUCCEEDED(m_pd3dDevice->GetFrontBuffer(surface)) &&
        SUCCEEDED(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
      colour = reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch)[x];
      surface->UnlockRect();
    }
    surface->Release();
    return colour;
  }

 protected:
  IDirect3D8* CreateDirect3D() override {
    held = Direct3DCreate8(D3D_SDK_VERSION);
    if (held) held->AddRef();
    return held;
  }
  HRESULT InitDeviceObjects() override {
    return m_pd3dDevice->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &m_pTexture);
  }
  HRESULT RestoreDeviceObjects() override {
    ++restores;
    HRESULT hr = m_pd3dDevice->CreateVertexBuffer(4 * sizeof(ColourVertex), D3DUSAGE_WRITEONLY, kFvf,
                                                  D3DPOOL_DEFAULT, &m_pVB);
    if (FAILED(hr)) return hr;
    const float w = static_cast<float>(m_BackBufferDesc.Width) * 0.5f;
    const float h = static_cast<float>(m_BackBufferDesc.Height);
    const ColourVertex quad[4] = {{0, 0, 0.5f, 1, kQuad}, {w, 0, 0.5f, 1, kQuad}, {0, h, 0.5f, 1, kQuad},
                                  {w, h, 0.5f, 1, kQuad}};
    BYTE* data = nullptr;
    if (FAILED(hr = m_pVB->Lock(0, 0, &data, 0))) return hr;
    std::memcpy(data, quad, sizeof(quad));
    m_pVB->Unlock();
    m_pd3dDevice->SetRenderState(D3DRS_LIGHTING, FALSE);
    m_pd3dDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    return S_OK;
  }
  HRESULT InvalidateDeviceObjects() override {
    if (m_pVB) m_pVB->Release();
    m_pVB = nullptr;
    return S_OK;
  }
  HRESULT DeleteDeviceObjects() override {
    if (m_pTexture) m_pTexture->Release();
    m_pTexture = nullptr;
    return S_OK;
  }
  HRESULT FrameMove() override {
    ++frames;
    if (onFrame) onFrame(*this);
    return S_OK;
  }
  HRESULT Render() override {
    m_pd3dDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClear, 1.0f, 0);
    if (FAILED(m_pd3dDevice->BeginScene())) return S_OK;
    m_pd3dDevice->SetVertexShader(kFvf);
    m_pd3dDevice->SetStreamSource(0, m_pVB, sizeof(ColourVertex));
    m_pd3dDevice->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
    m_pd3dDevice->EndScene();
    return S_OK;
  }
  HRESULT OnEscapeKey() override {
    PostMessage(m_hWnd, WM_CLOSE, 0, 0);
    return S_OK;
  }

 private:
  IDirect3DVertexBuffer8* m_pVB = nullptr;
  IDirect3DTexture8* m_pTexture = nullptr;
};

bool Near(DWORD a, DWORD b) {
  for (int shift = 0; shift < 32; shift += 8) {
    const int ca = static_cast<int>((a >> shift) & 0xFF), cb = static_cast<int>((b >> shift) & 0xFF);
    if (std::abs(ca - cb) > 8) return false;
  }
  return true;
}

class RealDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "needs a display (the tests run under Xvfb)";
    setenv("VANTOREL_WINDOWED", "1", 1);
    setenv("VANTOREL_NO_DIALOGS", "1", 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    WindowResetAll();
    WindowUseVirtualWindows(false);
  }
  void TearDown() override { WindowResetAll(); }

  // Draws one frame and checks that the left half is the quad and the right the clear colour.
  static void ExpectPicture(CDrawApp& app, UINT width, UINT height) {
    ASSERT_EQ(S_OK, app.Render3DEnvironment());
    ASSERT_EQ(width, app.m_BackBufferDesc.Width);
    ASSERT_EQ(height, app.m_BackBufferDesc.Height);
    EXPECT_PRED2(Near, kQuad, app.PixelAt(width / 4, height / 2));
    EXPECT_PRED2(Near, kClear, app.PixelAt(width * 3 / 4, height / 2));
    EXPECT_PRED2(Near, kQuad, app.PixelAt(0, 0));
    EXPECT_PRED2(Near, kClear, app.PixelAt(width - 1, height - 1));
  }
};

TEST_F(RealDeviceTest, DrawsTogglesResetsAndClosesClean) {
  CDrawApp app;
  ASSERT_EQ(S_OK, app.Create(GetModuleHandle(nullptr)));
  ASSERT_NE(nullptr, WindowGetSdlWindow(app.m_hWnd));
  ASSERT_TRUE(app.m_bWindowed);
  ExpectPicture(app, 500, 375);

  ASSERT_EQ(S_OK, app.ToggleFullscreen());
  ASSERT_FALSE(app.m_bWindowed);
  ExpectPicture(app, 640, 480);

  ASSERT_EQ(S_OK, app.ToggleFullscreen());
  ASSERT_TRUE(app.m_bWindowed);
  ExpectPicture(app, 500, 375);
  RECT client;
  GetClientRect(app.m_hWnd, &client);
  EXPECT_EQ(500, client.right);

  ASSERT_EQ(S_OK, app.Resize3DEnvironment());
  ExpectPicture(app, 500, 375);

  const HWND window = app.m_hWnd;
  SendMessage(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(nullptr, app.m_pd3dDevice);
  ASSERT_NE(nullptr, app.held);
  EXPECT_EQ(0u, app.held->Release());  // no device (and so no device object) outlived the close
}

TEST_F(RealDeviceTest, HundredTogglesAndResetsLeakNothing) {
  CDrawApp app;
  ASSERT_EQ(S_OK, app.Create(GetModuleHandle(nullptr)));
  for (int i = 0; i < 100; ++i) {
    if (i % 3 == 2) {
      ASSERT_EQ(S_OK, app.Resize3DEnvironment()) << i;
    } else {
      ASSERT_EQ(S_OK, app.ToggleFullscreen()) << i;
    }
    ASSERT_EQ(S_OK, app.Render3DEnvironment()) << i;
  }
  if (!app.m_bWindowed) {
    ASSERT_EQ(S_OK, app.ToggleFullscreen());
  }
  ExpectPicture(app, 500, 375);
  SendMessage(app.m_hWnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(0u, app.held->Release());
}

TEST_F(RealDeviceTest, KeysFromTheWindowDriveTheLoop) {
  CDrawApp app;
  ASSERT_EQ(S_OK, app.Create(GetModuleHandle(nullptr)));
  const Uint32 id = SDL_GetWindowID(WindowGetSdlWindow(app.m_hWnd));
  auto key = [id](Uint32 type, SDL_Scancode sc, Uint16 mod) {
    SDL_Event e = {};
    e.type = type;
    e.key.windowID = id;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = sc;
    e.key.keysym.sym = SDL_GetKeyFromScancode(sc);
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
  };
  static bool wasFullScreen;
  wasFullScreen = false;
  app.onFrame = [&key](CDrawApp& a) {
    if (a.frames == 3) {  // Alt+Enter
      key(SDL_KEYDOWN, SDL_SCANCODE_LALT, KMOD_LALT);
      key(SDL_KEYDOWN, SDL_SCANCODE_RETURN, KMOD_LALT);
      key(SDL_KEYUP, SDL_SCANCODE_RETURN, KMOD_LALT);
      key(SDL_KEYUP, SDL_SCANCODE_LALT, KMOD_NONE);
    }
    if (a.frames == 8) {
      wasFullScreen = !a.m_bWindowed;
      key(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE, KMOD_NONE);  // the program closes on Escape
      key(SDL_KEYUP, SDL_SCANCODE_ESCAPE, KMOD_NONE);
    }
    if (a.frames > 200) PostMessage(a.m_hWnd, WM_CLOSE, 0, 0);  // a safety net
  };
  EXPECT_EQ(0, app.Run());
  EXPECT_TRUE(wasFullScreen);
  EXPECT_LT(app.frames, 50);
  EXPECT_EQ(0u, app.held->Release());
}

void PushWindowEvent(Uint32 windowId, Uint8 event) {
  SDL_Event e = {};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = windowId;
  e.window.event = event;
  SDL_PushEvent(&e);
}

TEST_F(RealDeviceTest, MinimiseLosesTheDeviceRestoreResetsItAndMouseMotionArrives) {
  CDrawApp app;
  ASSERT_EQ(S_OK, app.Create(GetModuleHandle(nullptr)));
  static Uint32 id;
  static int restoresBefore;
  id = SDL_GetWindowID(WindowGetSdlWindow(app.m_hWnd));
  restoresBefore = 0;
  app.onFrame = [](CDrawApp& a) {
    if (a.frames == 3) {
      restoresBefore = a.restores;
      PushWindowEvent(id, SDL_WINDOWEVENT_MINIMIZED);
      PushWindowEvent(id, SDL_WINDOWEVENT_RESTORED);
      SDL_Event motion = {};
      motion.type = SDL_MOUSEMOTION;
      motion.motion.windowID = id;
      motion.motion.x = 10;
      motion.motion.y = 20;
      SDL_PushEvent(&motion);
    }
    if (a.frames == 6) PostMessage(a.m_hWnd, WM_CLOSE, 0, 0);
  };
  EXPECT_EQ(0, app.Run());
  EXPECT_EQ(restoresBefore + 1, app.restores);  // reset once after the restore, no frame lost for good
  EXPECT_EQ(6, app.frames);
  bool sizedMinimised = false, moved = false, cursorAsked = false;
  for (const auto& m : app.seen) {
    sizedMinimised |= m.first == WM_SIZE && m.second == 0;
    moved |= m.first == WM_MOUSEMOVE && m.second == MAKELPARAM(10, 20);
    cursorAsked |= m.first == WM_SETCURSOR && HIWORD(m.second) == WM_MOUSEMOVE;
  }
  EXPECT_TRUE(sizedMinimised);
  EXPECT_TRUE(moved);
  EXPECT_TRUE(cursorAsked);
  EXPECT_EQ(0u, app.held->Release());
}

}  // namespace
