// The application base, first half: construction, the process entry, Create,
// the device list and the creation of the device.
#include "shell/d3dapp.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "shell/d3dutil_cursor.h"
#include "shell/platform_links.h"
#include "shell/resource.h"

CD3DApplication* g_pD3DApp = nullptr;

namespace {

constexpr DWORD kWindowedStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;
constexpr const char* kWindowClass = "Qelbar Window";
constexpr DWORD kMaxModesPerAdapter = 15;
constexpr DWORD kMaxFormats = 20;

bool KeptSize(DWORD width, DWORD height) {
  return (width == 640 && height == 480) || (width == 800 && height == 600) || (width == 1024 && height == 768);
}

}  // namespace

LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!g_pD3DApp) return DefWindowProc(window, message, wParam, lParam);
  return g_pD3DApp->MsgProc(window, message, wParam, lParam);
}

int D3DAppMain(CD3DApplication* app, HINSTANCE instance) {
  // A failed start must not look like a clean exit to whoever started us.
  if (FAILED(app->Create(instance))) return 1;
  return app->Run();
}

CD3DApplication::CD3DApplication() {
  g_pD3DApp = this;
  std::memset(m_Adapters, 0, sizeof(m_Adapters));
  std::memset(&m_PresentParams, 0, sizeof(m_PresentParams));
  std::memset(&m_d3dCaps, 0, sizeof(m_d3dCaps));
  std::memset(&m_BackBufferDesc, 0, sizeof(m_BackBufferDesc));
  m_szDeviceStats[0] = '\0';
  m_szFrameStats[0] = '\0';
}

CD3DApplication::~CD3DApplication() {
  // Normally the process ends with the object; tests build several in turn.
  if (m_pd3dDevice) {
    m_pd3dDevice->Release();
    m_pd3dDevice = nullptr;
  }
  if (m_pD3D) {
    m_pD3D->Release();
    m_pD3D = nullptr;
  }
  if (m_hWnd && IsWindow(m_hWnd)) {
    if (HMENU menu = GetMenu(m_hWnd)) DestroyMenu(menu);
    DestroyWindow(m_hWnd);
  }
  if (g_pD3DApp == this) g_pD3DApp = nullptr;
}

IDirect3D8* CD3DApplication::CreateDirect3D() { return Direct3DCreate8(D3D_SDK_VERSION); }

HRESULT CD3DApplication::Create(HINSTANCE instance) {
  RegisterProgramResources();
  ShellLinkPlatform();

  m_pD3D = CreateDirect3D();
  if (!m_pD3D) {
    if (m_pLog) std::fputs("Direct3D not initialize..........Error occuried!\n", m_pLog);
    return DisplayErrorMsg(APPERR_NODIRECT3D, MSGERR_APPMUSTEXIT);
  }

  HRESULT hr = BuildDeviceList();
  if (FAILED(hr)) {
    m_pD3D->Release();
    m_pD3D = nullptr;
    return DisplayErrorMsg(hr, MSGERR_APPMUSTEXIT);
  }

  if (!m_hWnd) {
    WNDCLASS wc = {};
    wc.style = 0;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIcon(instance, MAKEINTRESOURCE(IDI_MAIN_ICON));
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = kWindowClass;
    RegisterClass(&wc);  // already there when an earlier object of this process registered it

    m_dwWindowStyle = kWindowedStyle;
    RECT rc = {0, 0, static_cast<LONG>(m_dwCreationWidth), static_cast<LONG>(m_dwCreationHeight)};
    AdjustWindowRect(&rc, m_dwWindowStyle, TRUE);
    m_hWnd = CreateWindow(kWindowClass, m_strWindowTitle, m_dwWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                          rc.right - rc.left, rc.bottom - rc.top, nullptr,
                          LoadMenu(instance, MAKEINTRESOURCE(IDR_MENU)), instance, nullptr);
    m_hInstance = instance;
    if (!m_hWnd) {
      // Without a window nothing below can work; say so instead of failing later.
      const DWORD why = GetLastError();
      m_pD3D->Release();
      m_pD3D = nullptr;
      if (why == ERROR_DEVICE_NOT_AVAILABLE) return E_FAIL;  // no display: the window layer said so in one line
      return DisplayErrorMsg(E_FAIL, MSGERR_APPMUSTEXIT);
    }
  }

  if (!m_hWndFocus) m_hWndFocus = m_hWnd;

  m_dwWindowStyle = static_cast<DWORD>(GetWindowLong(m_hWnd, GWL_STYLE));
  GetWindowRect(m_hWnd, &m_rcWindowBounds);
  GetClientRect(m_hWnd, &m_rcWindowClient);

  if (FAILED(hr = OneTimeSceneInit())) {
    m_pD3D->Release();
    m_pD3D = nullptr;
    return DisplayErrorMsg(hr, MSGERR_APPMUSTEXIT);
  }
  if (FAILED(hr = Initialize3DEnvironment())) {
    if (m_pD3D) {
      m_pD3D->Release();
      m_pD3D = nullptr;
    }
    return DisplayErrorMsg(hr, MSGERR_APPMUSTEXIT);
  }
  if (FAILED(hr = InitScene())) {
    if (m_pD3D) {
      m_pD3D->Release();
      m_pD3D = nullptr;
    }
    return DisplayErrorMsg(hr, MSGERR_APPMUSTEXIT);
  }

  m_bReady = TRUE;
  return S_OK;
}

int CD3DApplication::SortModesCallback(const void* a, const void* b) {
  const auto* p1 = static_cast<const D3DDISPLAYMODE*>(a);
  const auto* p2 = static_cast<const D3DDISPLAYMODE*>(b);
  if (p1->Format > p2->Format) return -1;
  if (p1->Format < p2->Format) return +1;
  if (p1->Width < p2->Width) return -1;
  if (p1->Width > p2->Width) return +1;
  if (p1->Height < p2->Height) return -1;
  if (p1->Height > p2->Height) return +1;
  return 0;
}

void CD3DApplication::ChooseCreationMode(D3DDeviceInfo& device) {
  bool stopped = false;
  for (DWORD m = 0; m < device.dwNumModes; ++m) {
    const D3DModeInfo& mode = device.modes[m];
    if (mode.Width != m_dwCreationWidth || mode.Height != m_dwCreationHeight) continue;
    device.dwCurrentMode = m;
    if (mode.Format == D3DFMT_A8R8G8B8 || mode.Format == D3DFMT_X8R8G8B8) {
      stopped = true;
      break;
    }
  }
  if (stopped) return;
  for (DWORD m = 0; m < device.dwNumModes; ++m) {
    const D3DModeInfo& mode = device.modes[m];
    if (mode.Width != m_dwCreationWidth || mode.Height != m_dwCreationHeight) continue;
    device.dwCurrentMode = m;
    if (mode.Format == D3DFMT_R5G6B5) break;
  }
}

HRESULT CD3DApplication::BuildDeviceList() {
  m_dwNumAdapters = 0;
  const UINT adapterCount = m_pD3D->GetAdapterCount();
  // The table holds kMaxAdapters entries: further adapters are not looked at.
  for (UINT a = 0; a < adapterCount && m_dwNumAdapters < kMaxAdapters; ++a) {
    D3DAdapterInfo& adapter = m_Adapters[m_dwNumAdapters];
    std::memset(&adapter, 0, sizeof(adapter));
    adapter.AdapterOrdinal = a;
    m_pD3D->GetAdapterIdentifier(a, 0, &adapter.d3dAdapterIdentifier);
    adapter.d3dAdapterIdentifier.Description[MAX_DEVICE_IDENTIFIER_STRING - 1] = '\0';
    adapter.d3dAdapterIdentifier.Driver[MAX_DEVICE_IDENTIFIER_STRING - 1] = '\0';
    m_pD3D->GetAdapterDisplayMode(a, &adapter.d3ddmDesktop);
    adapter.dwNumDevices = 0;
    adapter.dwCurrentDevice = 0;

    // The display modes of the three kept sizes, once each whatever the refresh rate.
    D3DDISPLAYMODE modes[kMaxModesPerAdapter];
    DWORD numModes = 0;
    D3DFORMAT formats[kMaxFormats];
    DWORD numFormats = 0;
    formats[numFormats++] = adapter.d3ddmDesktop.Format;
    const UINT modeCount = m_pD3D->GetAdapterModeCount(a);
    for (UINT m = 0; m < modeCount; ++m) {
      D3DDISPLAYMODE mode;
      std::memset(&mode, 0, sizeof(mode));
      if (FAILED(m_pD3D->EnumAdapterModes(a, m, &mode))) continue;
      if (!KeptSize(mode.Width, mode.Height)) continue;
      mode.RefreshRate = 0;
      bool known = false;
      for (DWORD k = 0; k < numModes; ++k) {
        if (modes[k].Width == mode.Width && modes[k].Height == mode.Height && modes[k].Format == mode.Format)
          known = true;
      }
      if (known || numModes == kMaxModesPerAdapter) continue;
      modes[numModes++] = mode;
      bool formatKnown = false;
      for (DWORD f = 0; f < numFormats; ++f)
        if (formats[f] == mode.Format) formatKnown = true;
      if (!formatKnown && numFormats < kMaxFormats) formats[numFormats++] = mode.Format;
    }
    std::qsort(modes, numModes, sizeof(D3DDISPLAYMODE), SortModesCallback);

    // The hardware device.
    D3DDeviceInfo& device = adapter.devices[adapter.dwNumDevices];
    std::memset(&device, 0, sizeof(device));
    device.DeviceType = D3DDEVTYPE_HAL;
    if (FAILED(m_pD3D->GetDeviceCaps(a, D3DDEVTYPE_HAL, &device.d3dCaps))) continue;  // no hardware device
    device.strDesc = "HAL";
    device.dwNumModes = 0;
    device.dwCurrentMode = 0;
    device.bCanDoWindowed = FALSE;
    device.bWindowed = FALSE;
    device.MultiSampleType = D3DMULTISAMPLE_NONE;

    BOOL confirmed[kMaxFormats] = {};
    DWORD behavior[kMaxFormats] = {};
    D3DFORMAT depth[kMaxFormats] = {};
    for (DWORD f = 0; f < numFormats; ++f) {
      confirmed[f] = FALSE;
      depth[f] = D3DFMT_UNKNOWN;
      if (FAILED(m_pD3D->CheckDeviceType(a, device.DeviceType, formats[f], formats[f], FALSE))) continue;
      if (device.d3dCaps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) {
        if (device.d3dCaps.DevCaps & D3DDEVCAPS_PUREDEVICE) {
          behavior[f] = D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE;
          if (SUCCEEDED(ConfirmDevice(&device.d3dCaps, behavior[f], formats[f]))) confirmed[f] = TRUE;
        }
        if (!confirmed[f]) {
          behavior[f] = D3DCREATE_HARDWARE_VERTEXPROCESSING;
          if (SUCCEEDED(ConfirmDevice(&device.d3dCaps, behavior[f], formats[f]))) confirmed[f] = TRUE;
        }
        if (!confirmed[f]) {
          behavior[f] = D3DCREATE_MIXED_VERTEXPROCESSING;
          if (SUCCEEDED(ConfirmDevice(&device.d3dCaps, behavior[f], formats[f]))) confirmed[f] = TRUE;
        }
      }
      if (!confirmed[f]) {
        behavior[f] = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
        if (SUCCEEDED(ConfirmDevice(&device.d3dCaps, behavior[f], formats[f]))) confirmed[f] = TRUE;
      }
      if (confirmed[f] && m_bUseDepthBuffer) {
        if (!FindDepthStencilFormat(a, device.DeviceType, formats[f], &depth[f])) confirmed[f] = FALSE;
      }
    }

    for (DWORD m = 0; m < numModes; ++m) {
      for (DWORD f = 0; f < numFormats; ++f) {
        if (!confirmed[f] || modes[m].Format != formats[f]) continue;
        if (device.dwNumModes == D3DDeviceInfo::kMaxModes) continue;
        D3DModeInfo& info = device.modes[device.dwNumModes++];
        info.Width = modes[m].Width;
        info.Height = modes[m].Height;
        info.Format = modes[m].Format;
        info.dwBehavior = behavior[f];
        info.DepthStencilFormat = depth[f];
      }
    }

    ChooseCreationMode(device);

    if (confirmed[0] && (device.d3dCaps.Caps2 & D3DCAPS2_CANRENDERWINDOWED)) {
      device.bCanDoWindowed = TRUE;
      device.bWindowed = TRUE;
    }

    if (device.dwNumModes > 0) adapter.dwNumDevices++;
    if (adapter.dwNumDevices > 0) m_dwNumAdapters++;
  }

  if (m_dwNumAdapters == 0) return APPERR_NOCOMPATIBLEDEVICES;

  for (DWORD a = 0; a < m_dwNumAdapters; ++a) {
    for (DWORD d = 0; d < m_Adapters[a].dwNumDevices; ++d) {
      if (m_Adapters[a].devices[d].bWindowed) {
        m_Adapters[a].dwCurrentDevice = d;
        m_dwAdapter = a;
        m_bWindowed = TRUE;
        return S_OK;
      }
    }
  }
  return APPERR_NOWINDOWABLEDEVICES;
}

BOOL CD3DApplication::FindDepthStencilFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT target,
                                             D3DFORMAT* depthStencilFormat) {
  struct Candidate {
    D3DFORMAT format;
    DWORD maxDepth;
    DWORD maxStencil;
  };
  static const Candidate kCandidates[] = {
      {D3DFMT_D16, 16, 0},     {D3DFMT_D15S1, 15, 1},   {D3DFMT_D24X8, 24, 0},
      {D3DFMT_D24S8, 24, 8},   {D3DFMT_D24X4S4, 24, 4}, {D3DFMT_D32, 32, 0},
  };
  for (const Candidate& c : kCandidates) {
    if (m_dwMinDepthBits > c.maxDepth || m_dwMinStencilBits > c.maxStencil) continue;
    if (SUCCEEDED(m_pD3D->CheckDeviceFormat(adapter, type, target, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                                            c.format)) &&
        SUCCEEDED(m_pD3D->CheckDepthStencilMatch(adapter, type, target, target, c.format))) {
      *depthStencilFormat = c.format;
      return TRUE;
    }
  }
  return FALSE;
}

void CD3DApplication::ApplyDeviceCursor() {
  if (!m_bShowCursorWhenFullscreen || m_bWindowed || !m_pd3dDevice) return;
  const auto cursor = reinterpret_cast<HCURSOR>(GetClassLongPtr(m_hWnd, GCLP_HCURSOR));
  D3DUtil_SetDeviceCursor(m_pd3dDevice, cursor);
  m_pd3dDevice->ShowCursor(TRUE);
}

HRESULT CD3DApplication::Initialize3DEnvironment() {
  D3DAdapterInfo& adapter = CurrentAdapter();
  D3DDeviceInfo& device = CurrentDevice();
  D3DModeInfo& mode = device.modes[device.dwCurrentMode];

  AdjustWindowForChange();

  std::memset(&m_PresentParams, 0, sizeof(m_PresentParams));
  m_PresentParams.BackBufferCount = 3;
  m_PresentParams.SwapEffect = D3DSWAPEFFECT_FLIP;
  FillPresentParams();

  HRESULT hr = m_pD3D->CreateDevice(adapter.AdapterOrdinal, device.DeviceType, m_hWndFocus, mode.dwBehavior,
                                    &m_PresentParams, &m_pd3dDevice);
  if (SUCCEEDED(hr)) {
    if (m_bWindowed) {
      SetWindowPos(m_hWnd, HWND_NOTOPMOST, m_rcWindowBounds.left, m_rcWindowBounds.top,
                   m_rcWindowBounds.right - m_rcWindowBounds.left, m_rcWindowBounds.bottom - m_rcWindowBounds.top,
                   SWP_SHOWWINDOW);
    }

    m_pd3dDevice->GetDeviceCaps(&m_d3dCaps);
    m_dwBehavior = mode.dwBehavior;

    // The description is cut to the field's size: adapter names can be long.
    const char* vp = "";
    if ((m_dwBehavior & D3DCREATE_HARDWARE_VERTEXPROCESSING) && (m_dwBehavior & D3DCREATE_PUREDEVICE))
      vp = " (pure hw vp)";
    else if (m_dwBehavior & D3DCREATE_HARDWARE_VERTEXPROCESSING)
      vp = " (hw vp)";
    else if (m_dwBehavior & D3DCREATE_MIXED_VERTEXPROCESSING)
      vp = " (mixed vp)";
    else if (m_dwBehavior & D3DCREATE_SOFTWARE_VERTEXPROCESSING)
      vp = " (sw vp)";
    const char* name = adapter.d3dAdapterIdentifier.Description;
    const std::string stats = std::string(device.strDesc ? device.strDesc : "") + vp + ": " +
                              std::string(name, strnlen(name, sizeof adapter.d3dAdapterIdentifier.Description));
    std::snprintf(m_szDeviceStats, sizeof(m_szDeviceStats), "%s", stats.c_str());

    IDirect3DSurface8* backBuffer = nullptr;
    std::memset(&m_BackBufferDesc, 0, sizeof(m_BackBufferDesc));
    if (SUCCEEDED(m_pd3dDevice->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &backBuffer)) && backBuffer) {
      backBuffer->GetDesc(&m_BackBufferDesc);
      backBuffer->Release();
    }

    ApplyDeviceCursor();

    hr = InitDeviceObjects();
    if (SUCCEEDED(hr)) {
      hr = RestoreDeviceObjects();
      if (SUCCEEDED(hr)) {
        m_bActive = TRUE;
        return S_OK;
      }
    }

    InvalidateDeviceObjects();
    DeleteDeviceObjects();
    m_pd3dDevice->Release();
    m_pd3dDevice = nullptr;
  }

  // The hardware device failed: the reference rasterizer would be next, if the
  // list held one.
  if (device.DeviceType == D3DDEVTYPE_HAL) {
    DisplayErrorMsg(hr, MSGWARN_SWITCHEDTOREF);
    m_dwAdapter = 0;
    D3DAdapterInfo& first = m_Adapters[0];
    for (DWORD d = 0; d < first.dwNumDevices; ++d) {
      if (first.devices[d].DeviceType == D3DDEVTYPE_REF) {
        first.dwCurrentDevice = d;
        first.devices[d].bWindowed = TRUE;
        m_bWindowed = TRUE;
        return Initialize3DEnvironment();
      }
    }
  }
  return hr;
}
