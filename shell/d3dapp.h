// The application base: window, Direct3D object and device, the table of usable
// adapters and display modes, the message loop and the per-frame driver. The
// program derives from it and does its work in the virtual operations.
#pragma once

#include <cstdio>

#include "platform/d3d8/d3d8.h"
#include "platform/win32/winuser.h"

// Failure codes of the application itself.
#define APPERR_NODIRECT3D static_cast<HRESULT>(0x82000001u)
#define APPERR_NOCOMPATIBLEDEVICES static_cast<HRESULT>(0x82000003u)
#define APPERR_NOWINDOWABLEDEVICES static_cast<HRESULT>(0x82000004u)
#define APPERR_NONZEROREFCOUNT static_cast<HRESULT>(0x8200000Au)
#define APPERR_RESIZEFAILED static_cast<HRESULT>(0x8200000Cu)

// Kinds of error box.
#define MSGERR_APPMUSTEXIT 1u
#define MSGWARN_SWITCHEDTOREF 2u

struct D3DModeInfo {
  DWORD Width;
  DWORD Height;
  D3DFORMAT Format;
  DWORD dwBehavior;               // vertex-processing flags for CreateDevice
  D3DFORMAT DepthStencilFormat;   // 0 without a depth buffer
};

struct D3DDeviceInfo {
  static constexpr DWORD kMaxModes = 150;
  D3DDEVTYPE DeviceType;
  D3DCAPS8 d3dCaps;
  const char* strDesc;
  BOOL bCanDoWindowed;
  DWORD dwNumModes;
  D3DModeInfo modes[kMaxModes];
  DWORD dwCurrentMode;
  BOOL bWindowed;
  D3DMULTISAMPLE_TYPE MultiSampleType;
};

struct D3DAdapterInfo {
  static constexpr DWORD kMaxDevices = 5;
  D3DADAPTER_IDENTIFIER8 d3dAdapterIdentifier;
  D3DDISPLAYMODE d3ddmDesktop;
  DWORD dwNumDevices;
  D3DDeviceInfo devices[kMaxDevices];
  DWORD dwCurrentDevice;
  // The adapter's number for Direct3D: adapters without a usable device are left
  // out of the table, so the table index alone would name the wrong adapter.
  UINT AdapterOrdinal;
};

class CD3DApplication {
 public:
  static constexpr DWORD kMaxAdapters = 10;

  CD3DApplication();
  CD3DApplication(const CD3DApplication&) = delete;
  CD3DApplication& operator=(const CD3DApplication&) = delete;

  // Hooks, in this order; the base versions of ConfirmDevice .. OnActivate do nothing.
  virtual HRESULT AdjustWindowForChange();
  virtual HRESULT ConfirmDevice(D3DCAPS8* caps, DWORD behavior, D3DFORMAT format);
  virtual HRESULT InitScene();
  virtual HRESULT OneTimeSceneInit();
  virtual HRESULT InitDeviceObjects();
  virtual HRESULT RestoreDeviceObjects();
  virtual HRESULT FrameMove();
  virtual HRESULT Render();
  virtual HRESULT InvalidateDeviceObjects();
  virtual HRESULT DeleteDeviceObjects();
  virtual HRESULT FinalCleanup();
  virtual HRESULT OnMinimizeKey();
  virtual HRESULT OnEscapeKey();
  virtual HRESULT DestroyScene();
  virtual HRESULT OnDeactivate();
  virtual HRESULT OnActivate();
  virtual HRESULT Create(HINSTANCE instance);
  virtual INT Run();
  virtual LRESULT MsgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  virtual void Pause(BOOL pause);
  virtual ~CD3DApplication();

  HRESULT BuildDeviceList();
  static int SortModesCallback(const void* a, const void* b);
  BOOL FindDepthStencilFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT target, D3DFORMAT* depthStencilFormat);
  HRESULT Initialize3DEnvironment();
  HRESULT Render3DEnvironment();
  HRESULT Resize3DEnvironment();
  HRESULT ToggleFullscreen();
  HRESULT ForceWindowed();
  HRESULT ChangeToCreationMode();
  void Cleanup3DEnvironment();
  HRESULT DisplayErrorMsg(HRESULT code, DWORD type);
  // The text of an error box, without the ending that its kind adds.
  static const char* ErrorText(HRESULT code);

 protected:
  // The program's device-stat and frame-stat texts and the device and window state;
  // the derived program reads and sets them directly.
  FILE* m_pLog = nullptr;
  D3DAdapterInfo m_Adapters[kMaxAdapters];
  DWORD m_dwNumAdapters = 0;
  DWORD m_dwAdapter = 0;
  BOOL m_bWindowed = TRUE;
  BOOL m_bActive = FALSE;
  BOOL m_bReady = FALSE;
  BOOL m_bFrameMoving = TRUE;
  D3DPRESENT_PARAMETERS m_PresentParams;
  HWND m_hWnd = nullptr;
  HINSTANCE m_hInstance = nullptr;
  HWND m_hWndFocus = nullptr;
  IDirect3D8* m_pD3D = nullptr;
  IDirect3DDevice8* m_pd3dDevice = nullptr;
  D3DCAPS8 m_d3dCaps;
  D3DSURFACE_DESC m_BackBufferDesc;
  DWORD m_dwBehavior = 0;
  DWORD m_dwWindowStyle = 0;
  RECT m_rcWindowBounds = {0, 0, 0, 0};
  RECT m_rcWindowClient = {0, 0, 0, 0};
  FLOAT m_fFPS = 0.0f;
  char m_szDeviceStats[90];
  char m_szFrameStats[40];
  const char* m_strWindowTitle = "D3D8 Application";
  BOOL m_bUseDepthBuffer = FALSE;
  DWORD m_dwMinDepthBits = 16;
  DWORD m_dwMinStencilBits = 0;
  DWORD m_dwCreationWidth = 400;
  DWORD m_dwCreationHeight = 300;
  BOOL m_bShowCursorWhenFullscreen = FALSE;

  // Where the device list comes from: Direct3DCreate8 unless a test supplies one.
  virtual IDirect3D8* CreateDirect3D();

 private:
  D3DAdapterInfo& CurrentAdapter() { return m_Adapters[m_dwAdapter]; }
  D3DDeviceInfo& CurrentDevice() { return CurrentAdapter().devices[CurrentAdapter().dwCurrentDevice]; }
  void ChooseCreationMode(D3DDeviceInfo& device);
  HRESULT ReleaseDevice();
  // The present parameters that follow the current adapter, device, mode and window;
  // the back buffer count and swap effect stay as creation set them.
  void FillPresentParams();
  void ApplyDeviceCursor();
};

// The one application object; the window procedure reaches it through this.
extern CD3DApplication* g_pD3DApp;

// The window class's procedure: MsgProc of g_pD3DApp.
LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The process entry's work for a constructed application: Create, then Run.
// Returns Run's result, or 1 when Create failed.
int D3DAppMain(CD3DApplication* app, HINSTANCE instance);
