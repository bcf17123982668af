// The application base, second half: the window's messages, the message loop,
// one frame, device resets, switching between windowed and full screen, the
// clean-up and the error boxes.
#include <cstring>
#include <string>

#include "shell/d3dapp.h"
#include "shell/resource.h"

namespace {
constexpr DWORD kFullscreenStyle = WS_POPUP | WS_SYSMENU | WS_VISIBLE;
}

// ---- hooks the program may replace ----

HRESULT CD3DApplication::AdjustWindowForChange() {
  SetWindowLong(m_hWnd, GWL_STYLE, static_cast<LONG>(m_bWindowed ? m_dwWindowStyle : kFullscreenStyle));
  return S_OK;
}
HRESULT CD3DApplication::ConfirmDevice(D3DCAPS8*, DWORD, D3DFORMAT) { return S_OK; }
HRESULT CD3DApplication::InitScene() { return S_OK; }
HRESULT CD3DApplication::OneTimeSceneInit() { return S_OK; }
HRESULT CD3DApplication::InitDeviceObjects() { return S_OK; }
HRESULT CD3DApplication::RestoreDeviceObjects() { return S_OK; }
HRESULT CD3DApplication::FrameMove() { return S_OK; }
HRESULT CD3DApplication::Render() { return S_OK; }
HRESULT CD3DApplication::InvalidateDeviceObjects() { return S_OK; }
HRESULT CD3DApplication::DeleteDeviceObjects() { return S_OK; }
HRESULT CD3DApplication::FinalCleanup() { return S_OK; }
HRESULT CD3DApplication::OnMinimizeKey() { return S_OK; }
HRESULT CD3DApplication::OnEscapeKey() { return S_OK; }
HRESULT CD3DApplication::DestroyScene() { return S_OK; }
HRESULT CD3DApplication::OnDeactivate() { return S_OK; }
HRESULT CD3DApplication::OnActivate() { return S_OK; }
void CD3DApplication::Pause(BOOL) {}

// ---- loop and frame ----

INT CD3DApplication::Run() {
  HACCEL accel = LoadAccelerators(nullptr, MAKEINTRESOURCE(IDR_MAIN_ACCEL));

  MSG msg;
  std::memset(&msg, 0, sizeof(msg));
  msg.message = WM_NULL;
  PeekMessage(&msg, nullptr, 0U, 0U, PM_NOREMOVE);

  while (msg.message != WM_QUIT) {
    BOOL got = FALSE;
    if (m_bActive) {
      got = PeekMessage(&msg, nullptr, 0U, 0U, PM_REMOVE);
    } else {
      got = GetMessage(&msg, nullptr, 0U, 0U);
      if (got == -1) return 1;  // the queue broke: nothing more can arrive
    }

    if (got) {
      if (!TranslateAccelerator(m_hWnd, accel, &msg)) {
        TranslateMessage(&msg);
        DispatchMessage(&msg);
      }
    } else if (m_bActive && m_bReady) {
      if (FAILED(Render3DEnvironment())) SendMessage(m_hWnd, WM_CLOSE, 0, 0);
    }
  }
  return static_cast<INT>(msg.wParam);
}

HRESULT CD3DApplication::Render3DEnvironment() {
  HRESULT hr = m_pd3dDevice ? m_pd3dDevice->TestCooperativeLevel() : E_FAIL;
  if (FAILED(hr)) {
    if (hr == D3DERR_DEVICELOST) return S_OK;
    if (hr == D3DERR_DEVICENOTRESET) {
      OutputDebugString("Error: Device not Reset\n");
      if (m_bWindowed) {
        D3DAdapterInfo& adapter = m_Adapters[m_dwAdapter];
        m_pD3D->GetAdapterDisplayMode(adapter.AdapterOrdinal, &adapter.d3ddmDesktop);
        m_PresentParams.BackBufferFormat = adapter.d3ddmDesktop.Format;
      }
      return Resize3DEnvironment();
    }
    return hr;
  }

  if (m_bFrameMoving) {
    if (FAILED(hr = FrameMove())) {
      OutputDebugString("Fail FrameMoving\n");
      return hr;
    }
  }
  if (FAILED(hr = Render())) {
    OutputDebugString("Fail Rendering\n");
    return hr;
  }
  m_pd3dDevice->Present(nullptr, nullptr, nullptr, nullptr);
  return S_OK;
}

// ---- device changes ----

HRESULT CD3DApplication::Resize3DEnvironment() {
  if (!m_pd3dDevice) return E_FAIL;
  HRESULT hr = InvalidateDeviceObjects();
  if (FAILED(hr)) return hr;
  if (FAILED(hr = m_pd3dDevice->Reset(&m_PresentParams))) return hr;

  IDirect3DSurface8* backBuffer = nullptr;
  if (SUCCEEDED(m_pd3dDevice->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &backBuffer)) && backBuffer) {
    backBuffer->GetDesc(&m_BackBufferDesc);
    backBuffer->Release();
  }
  ApplyDeviceCursor();
  return RestoreDeviceObjects();
}

void CD3DApplication::FillPresentParams() {
  D3DAdapterInfo& adapter = CurrentAdapter();
  D3DDeviceInfo& device = CurrentDevice();
  D3DModeInfo& mode = device.modes[device.dwCurrentMode];
  m_PresentParams.Windowed = device.bWindowed;
  m_PresentParams.MultiSampleType = device.MultiSampleType;
  // Asking for a depth buffer without a depth format would fail every creation and
  // switch of a program that uses none.
  m_PresentParams.EnableAutoDepthStencil = m_bUseDepthBuffer;
  m_PresentParams.AutoDepthStencilFormat = mode.DepthStencilFormat;
  m_PresentParams.hDeviceWindow = m_hWnd;
  if (m_bWindowed) {
    m_PresentParams.BackBufferWidth = static_cast<UINT>(m_rcWindowClient.right - m_rcWindowClient.left);
    m_PresentParams.BackBufferHeight = static_cast<UINT>(m_rcWindowClient.bottom - m_rcWindowClient.top);
    m_PresentParams.BackBufferFormat = adapter.d3ddmDesktop.Format;
  } else {
    m_PresentParams.BackBufferWidth = mode.Width;
    m_PresentParams.BackBufferHeight = mode.Height;
    m_PresentParams.BackBufferFormat = mode.Format;
  }
}

HRESULT CD3DApplication::ToggleFullscreen() {
  D3DDeviceInfo& device = CurrentDevice();
  if (!m_bWindowed && !device.bCanDoWindowed) return ForceWindowed();

  m_bReady = FALSE;
  m_bWindowed = !m_bWindowed;
  device.bWindowed = m_bWindowed;
  AdjustWindowForChange();
  FillPresentParams();

  if (FAILED(Resize3DEnvironment())) {
    // Either way the program goes on windowed with a new device; a failed switch
    // to full screen must not leave the flags, the style and the device half switched.
    if (!m_bWindowed) OutputDebugString("Could not switch to full screen\n");
    return ForceWindowed();
  }

  if (m_bWindowed) {
    SetWindowPos(m_hWnd, HWND_NOTOPMOST, m_rcWindowBounds.left, m_rcWindowBounds.top,
                 m_rcWindowBounds.right - m_rcWindowBounds.left, m_rcWindowBounds.bottom - m_rcWindowBounds.top,
                 SWP_SHOWWINDOW);
  }
  m_bReady = TRUE;
  return S_OK;
}

HRESULT CD3DApplication::ReleaseDevice() {
  InvalidateDeviceObjects();
  DeleteDeviceObjects();
  ULONG left = 0;
  if (m_pd3dDevice) left = m_pd3dDevice->Release();
  // Whatever is left, this object holds no reference any more.
  m_pd3dDevice = nullptr;
  return left > 0 ? APPERR_NONZEROREFCOUNT : S_OK;
}

HRESULT CD3DApplication::ForceWindowed() {
  if (!CurrentDevice().bCanDoWindowed) {
    bool found = false;
    for (DWORD a = 0; a < m_dwNumAdapters && !found; ++a) {
      for (DWORD d = 0; d < m_Adapters[a].dwNumDevices; ++d) {
        if (m_Adapters[a].devices[d].bCanDoWindowed) {
          m_dwAdapter = a;
          m_Adapters[a].dwCurrentDevice = d;
          found = true;
          break;
        }
      }
    }
    if (!found) return E_FAIL;
  }

  CurrentDevice().bWindowed = TRUE;
  m_bWindowed = TRUE;
  m_bReady = FALSE;

  if (FAILED(ReleaseDevice())) return DisplayErrorMsg(APPERR_NONZEROREFCOUNT, MSGERR_APPMUSTEXIT);

  HRESULT hr = Initialize3DEnvironment();
  if (FAILED(hr)) return DisplayErrorMsg(hr, MSGERR_APPMUSTEXIT);
  m_bReady = TRUE;
  return S_OK;
}

HRESULT CD3DApplication::ChangeToCreationMode() {
  ChooseCreationMode(CurrentDevice());
  if (m_bWindowed) {
    m_rcWindowClient = {0, 0, static_cast<LONG>(m_dwCreationWidth), static_cast<LONG>(m_dwCreationHeight)};
  }
  if (FAILED(ReleaseDevice())) return DisplayErrorMsg(APPERR_NONZEROREFCOUNT, MSGERR_APPMUSTEXIT);
  HRESULT hr = Initialize3DEnvironment();
  if (FAILED(hr)) return DisplayErrorMsg(hr, MSGERR_APPMUSTEXIT);
  return S_OK;
}

void CD3DApplication::Cleanup3DEnvironment() {
  m_bActive = FALSE;
  m_bReady = FALSE;
  if (m_pd3dDevice) {
    InvalidateDeviceObjects();
    DeleteDeviceObjects();
    m_pd3dDevice->Release();
    m_pd3dDevice = nullptr;
  }
  // The Direct3D object goes too when a failed rebuild already took the device.
  if (m_pD3D) {
    m_pD3D->Release();
    m_pD3D = nullptr;
  }
  FinalCleanup();
}

// ---- error boxes ----

const char* CD3DApplication::ErrorText(HRESULT code) {
  switch (static_cast<DWORD>(code)) {
    case static_cast<DWORD>(APPERR_NODIRECT3D):
      return "Could not initialize Direct3D. You may\nwant to check that the latest version of\nDirectX is "
             "correctly installed on your\nsystem. ";
    case static_cast<DWORD>(APPERR_NOCOMPATIBLEDEVICES):
      return "Could not find any compatible Direct3D\ndevices.";
    case static_cast<DWORD>(APPERR_NOWINDOWABLEDEVICES):
      return "This sample cannot run in a desktop\nwindow with the current display settings.\nPlease change your "
             "desktop settings to a\n16- or 32-bit display mode and re-run this\nsample.";
    case static_cast<DWORD>(APPERR_NONZEROREFCOUNT):
      return "A D3D object has a non-zero reference\ncount (meaning things were not properly\ncleaned up).";
    case static_cast<DWORD>(APPERR_RESIZEFAILED):
      return "Could not reset the Direct3D device.";
    case static_cast<DWORD>(D3DERR_OUTOFVIDEOMEMORY):
      return "Not enough video memory.";
    case static_cast<DWORD>(E_OUTOFMEMORY):
      return "Not enough memory.";
    default:
      return "Generic application error. Enable\ndebug output for detailed information.";
  }
}

HRESULT CD3DApplication::DisplayErrorMsg(HRESULT code, DWORD type) {
  std::string text = ErrorText(code);
  if (type == MSGERR_APPMUSTEXIT) {
    text += "\n\nThis application will now exit.";
    MessageBox(nullptr, text.c_str(), m_strWindowTitle, MB_ICONERROR | MB_OK);
    if (m_hWnd) SendMessage(m_hWnd, WM_CLOSE, 0, 0);
  } else if (type == MSGWARN_SWITCHEDTOREF) {
    text +=
        "\n\nSwitching to the reference rasterizer,\na software device that implements the entire\nDirect3D "
        "feature set, but runs very slowly.";
    MessageBox(nullptr, text.c_str(), m_strWindowTitle, MB_ICONWARNING | MB_OK);
  } else {
    MessageBox(nullptr, text.c_str(), m_strWindowTitle, MB_ICONWARNING | MB_OK);
  }
  return code;
}

// ---- messages ----

LRESULT CD3DApplication::MsgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ACTIVATEAPP:
      if (wParam) OnActivate();
      else OnDeactivate();
      break;

    case WM_SIZE:
      m_bActive = (wParam == SIZE_MAXHIDE || wParam == SIZE_MINIMIZED) ? FALSE : TRUE;
      break;

    case WM_PAINT:
      if (m_pd3dDevice && !m_bReady && m_bWindowed) m_pd3dDevice->Present(nullptr, nullptr, nullptr, nullptr);
      break;

    case WM_CLOSE: {
      Cleanup3DEnvironment();
      if (HMENU menu = GetMenu(window)) DestroyMenu(menu);
      DestroyWindow(window);
      if (window == m_hWnd) m_hWnd = nullptr;  // gone: nothing may be sent to it any more
      PostQuitMessage(0);
      return 0;
    }

    case WM_SETCURSOR:
      if (m_bActive && m_bReady && !m_bWindowed) {
        SetCursor(nullptr);
        if (m_bShowCursorWhenFullscreen && m_pd3dDevice) m_pd3dDevice->ShowCursor(TRUE);
        return TRUE;
      }
      break;

    case WM_GETMINMAXINFO:
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {100, 100};
      break;

    case WM_NCHITTEST:
      if (!m_bWindowed) return HTCLIENT;
      break;

    case WM_POWERBROADCAST:
      if (wParam == PBT_APMQUERYSUSPEND || wParam == PBT_APMRESUMESUSPEND) return TRUE;
      break;

    case WM_SYSCOMMAND:
      if (!m_bWindowed) {
        switch (wParam & 0xFFF0) {
          case SC_MAXIMIZE:
          case SC_SIZE:
          case SC_MOVE:
          case SC_KEYMENU:
          case SC_MONITORPOWER:
            return 1;
          default:
            break;
        }
      }
      break;

    case WM_MOUSEMOVE:
      if (m_bActive && m_bReady && m_pd3dDevice) {
        POINT cursor;
        GetCursorPos(&cursor);
        ScreenToClient(m_hWnd, &cursor);
        m_pd3dDevice->SetCursorPosition(cursor.x, cursor.y, 0);
      }
      break;

    case WM_ENTERMENULOOP:
      OnDeactivate();
      Pause(TRUE);
      break;

    case WM_EXITMENULOOP:
      Pause(FALSE);
      OnActivate();
      break;

    case WM_ENTERSIZEMOVE:
      OnDeactivate();
      break;

    case WM_EXITSIZEMOVE:
      if (m_bActive && m_bWindowed) {
        const RECT oldClient = m_rcWindowClient;
        GetWindowRect(m_hWnd, &m_rcWindowBounds);
        GetClientRect(m_hWnd, &m_rcWindowClient);
        if (oldClient.right - oldClient.left != m_rcWindowClient.right - m_rcWindowClient.left ||
            oldClient.bottom - oldClient.top != m_rcWindowClient.bottom - m_rcWindowClient.top) {
          m_bReady = FALSE;
          m_PresentParams.BackBufferWidth = static_cast<UINT>(m_rcWindowClient.right - m_rcWindowClient.left);
          m_PresentParams.BackBufferHeight = static_cast<UINT>(m_rcWindowClient.bottom - m_rcWindowClient.top);
          if (FAILED(Resize3DEnvironment())) {
            DisplayErrorMsg(APPERR_RESIZEFAILED, MSGERR_APPMUSTEXIT);
            return 0;
          }
          m_bReady = TRUE;
        }
      }
      OnActivate();
      break;

    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDM_CHANGEDEVICE:
          // The device dialog does not exist in this program: nothing to choose.
          if (m_bActive && m_bReady) {
            OnDeactivate();
            OnActivate();
          }
          return 0;
        case IDM_TOGGLEFULLSCREEN:
          if (m_bActive && m_bReady) {
            if (FAILED(ToggleFullscreen())) DisplayErrorMsg(APPERR_RESIZEFAILED, MSGERR_APPMUSTEXIT);
          }
          return 0;
        case IDM_TOGGLESTART:
          m_bFrameMoving = TRUE;
          break;
        case IDM_EXIT:
          SendMessage(window, WM_CLOSE, 0, 0);
          return 0;
        case IDM_ESCAPE:
          OnEscapeKey();
          return 0;
        case IDM_MINIMIZE:
          if (SUCCEEDED(OnMinimizeKey())) ShowWindow(window, SW_MINIMIZE);
          return 0;
        case IDM_CHANGETOCREATIONMODE:
          ChangeToCreationMode();
          return 0;
        default:
          break;
      }
      break;

    default:
      break;
  }
  return DefWindowProc(window, message, wParam, lParam);
}
