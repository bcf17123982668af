// An application on the base class whose hooks record their calls and can be
// told to fail; its Direct3D object is a scripted recording one (or the real one).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/d3d8/state_model.h"
#include "platform/win32/window_bridge.h"
#include "platform/win32/window_testing.h"
#include "shell/d3dapp.h"
#include "shell/resource.h"
#include "tests/support/d3d8/recording_device.h"

class CTestApp : public CD3DApplication {
 public:
  // `d3d` is referenced by the app when Create asks for it; null: Create gets none.
  explicit CTestApp(IDirect3D8* d3d = nullptr) : m_d3dToHand(d3d) {
    m_strWindowTitle = "Vantorel";
    m_dwCreationWidth = 500;
    m_dwCreationHeight = 375;
  }

  using CD3DApplication::m_Adapters;
  using CD3DApplication::m_BackBufferDesc;
  using CD3DApplication::m_bActive;
  using CD3DApplication::m_bReady;
  using CD3DApplication::m_bShowCursorWhenFullscreen;
  using CD3DApplication::m_bUseDepthBuffer;
  using CD3DApplication::m_bWindowed;
  using CD3DApplication::m_dwAdapter;
  using CD3DApplication::m_dwCreationHeight;
  using CD3DApplication::m_dwCreationWidth;
  using CD3DApplication::m_dwMinDepthBits;
  using CD3DApplication::m_dwMinStencilBits;
  using CD3DApplication::m_dwNumAdapters;
  using CD3DApplication::m_dwWindowStyle;
  using CD3DApplication::m_hWnd;
  using CD3DApplication::m_pD3D;
  using CD3DApplication::m_pLog;
  using CD3DApplication::m_pd3dDevice;
  using CD3DApplication::m_PresentParams;
  using CD3DApplication::m_rcWindowBounds;
  using CD3DApplication::m_rcWindowClient;
  using CD3DApplication::m_szDeviceStats;

  std::vector<std::string> calls;
  std::map<std::string, HRESULT> failures;  // hook name -> result it returns
  std::function<HRESULT(D3DCAPS8*, DWORD, D3DFORMAT)> confirm;
  std::function<void(CTestApp&)> onFrame;  // run in FrameMove
  std::function<void(CTestApp&)> onRestore;
  std::function<void(CTestApp&)> onInvalidate;
  int frames = 0;
  bool toggleInInitScene = false;

  int Count(const std::string& hook) const {
    int n = 0;
    for (const auto& c : calls) n += c == hook;
    return n;
  }
  CRecordingDevice* Recording() const { return static_cast<CRecordingDevice*>(m_pd3dDevice); }
  const D3DDeviceInfo& Device() { return m_Adapters[m_dwAdapter].devices[m_Adapters[m_dwAdapter].dwCurrentDevice]; }
  const D3DModeInfo& Mode() { return Device().modes[Device().dwCurrentMode]; }
  // Builds the list against the given Direct3D object only.
  HRESULT BuildWith(IDirect3D8* d3d) {
    m_pD3D = d3d;
    const HRESULT hr = BuildDeviceList();
    m_pD3D = nullptr;
    return hr;
  }

 protected:
  IDirect3D8* CreateDirect3D() override {
    if (m_d3dToHand) m_d3dToHand->AddRef();
    return m_d3dToHand;
  }
  HRESULT Hook(const char* name) {
    calls.push_back(name);
    auto it = failures.find(name);
    return it == failures.end() ? S_OK : it->second;
  }
  HRESULT ConfirmDevice(D3DCAPS8* caps, DWORD behavior, D3DFORMAT format) override {
    return confirm ? confirm(caps, behavior, format) : S_OK;
  }
  HRESULT InitScene() override {
    HRESULT hr = Hook("InitScene");
    if (SUCCEEDED(hr) && toggleInInitScene) ToggleFullscreen();
    return hr;
  }
  HRESULT OneTimeSceneInit() override { return Hook("OneTimeSceneInit"); }
  HRESULT InitDeviceObjects() override { return Hook("InitDeviceObjects"); }
  HRESULT RestoreDeviceObjects() override {
    if (onRestore) onRestore(*this);
    return Hook("RestoreDeviceObjects");
  }
  HRESULT InvalidateDeviceObjects() override {
    if (onInvalidate) onInvalidate(*this);
    return Hook("InvalidateDeviceObjects");
  }
  HRESULT DeleteDeviceObjects() override { return Hook("DeleteDeviceObjects"); }
  HRESULT FinalCleanup() override { return Hook("FinalCleanup"); }
  HRESULT FrameMove() override {
    ++frames;
    HRESULT hr = Hook("FrameMove");
    if (onFrame) onFrame(*this);
    return hr;
  }
  HRESULT Render() override { return Hook("Render"); }
  HRESULT OnMinimizeKey() override { return Hook("OnMinimizeKey"); }
  HRESULT OnEscapeKey() override { return Hook("OnEscapeKey"); }
  HRESULT OnActivate() override { return Hook("OnActivate"); }
  HRESULT OnDeactivate() override { return Hook("OnDeactivate"); }

 public:
  std::vector<UINT> messages;  // every message the window procedure saw
  LRESULT MsgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
    messages.push_back(message);
    return CD3DApplication::MsgProc(window, message, wParam, lParam);
  }
  bool Saw(UINT message) const {
    for (UINT m : messages)
      if (m == message) return true;
    return false;
  }

 private:
  IDirect3D8* m_d3dToHand;
};

// Windows without a display, no dialogs, a clean window module for every test.
class VirtualWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("VANTOREL_NO_DIALOGS", "1", 1);
    WindowResetAll();
    WindowUseVirtualWindows(true);
    d3d = new CRecordingDirect3D();
  }
  void TearDown() override {
    WindowResetAll();
    WindowUseVirtualWindows(false);
    if (d3d) d3d->Release();
  }
  CRecordingDirect3D* d3d = nullptr;
};
