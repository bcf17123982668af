#include <SDL.h>

#include <cstdio>

#include "platform/d3d8/gl_device.h"
#include "platform/d3d8/pixel_format.h"

namespace {

// The adapter's modes are virtual: the back buffer is scaled to whatever the screen is.
const D3DDISPLAYMODE kModes[] = {
    {640, 480, 60, D3DFMT_X8R8G8B8}, {800, 600, 60, D3DFMT_X8R8G8B8}, {1024, 768, 60, D3DFMT_X8R8G8B8},
    {640, 480, 60, D3DFMT_R5G6B5},   {800, 600, 60, D3DFMT_R5G6B5},   {1024, 768, 60, D3DFMT_R5G6B5},
};

bool IsDisplayFormat(D3DFORMAT format) { return format == D3DFMT_X8R8G8B8 || format == D3DFMT_R5G6B5; }

bool IsBackBufferFormat(D3DFORMAT format) {
  return IsDisplayFormat(format) || format == D3DFMT_A8R8G8B8 || format == D3DFMT_X1R5G5B5 ||
         format == D3DFMT_A1R5G5B5;
}

bool IsUsableDepthFormat(D3DFORMAT format) {
  return format == D3DFMT_D16 || format == D3DFMT_D24S8 || format == D3DFMT_D24X8 || format == D3DFMT_D32;
}

}  // namespace

IDirect3D8* Direct3DCreate8(UINT sdkVersion) {
  if (sdkVersion != D3D_SDK_VERSION) {
    std::fprintf(stderr, "FAIL: Direct3DCreate8: SDK version %u is not %u\n", sdkVersion, D3D_SDK_VERSION);
    return nullptr;
  }
  return new CGLDirect3D();
}

HRESULT CGLDirect3D::RegisterSoftwareDevice(void*) { return D3DERR_INVALIDCALL; }

UINT CGLDirect3D::GetAdapterCount() { return 1; }

HRESULT CGLDirect3D::GetAdapterIdentifier(UINT adapter, DWORD, D3DADAPTER_IDENTIFIER8* identifier) {
  if (adapter != 0 || !identifier) return D3DERR_INVALIDCALL;
  std::memset(identifier, 0, sizeof *identifier);
  std::snprintf(identifier->Driver, sizeof identifier->Driver, "opengl");
  std::snprintf(identifier->Description, sizeof identifier->Description, "OpenGL display adapter");
  identifier->DriverVersion.QuadPart = 0x0001000000000000LL;
  identifier->WHQLLevel = 1;
  return S_OK;
}

UINT CGLDirect3D::GetAdapterModeCount(UINT adapter) {
  return adapter == 0 ? static_cast<UINT>(sizeof kModes / sizeof kModes[0]) : 0u;
}

HRESULT CGLDirect3D::EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* result) {
  if (adapter != 0 || !result || mode >= GetAdapterModeCount(0)) return D3DERR_INVALIDCALL;
  *result = kModes[mode];
  return S_OK;
}

HRESULT CGLDirect3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) {
  if (adapter != 0 || !mode) return D3DERR_INVALIDCALL;
  *mode = D3DDISPLAYMODE{1024, 768, 60, D3DFMT_X8R8G8B8};
  SDL_DisplayMode desktop;
  if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
    mode->Width = static_cast<UINT>(desktop.w);
    mode->Height = static_cast<UINT>(desktop.h);
    if (desktop.refresh_rate > 0) mode->RefreshRate = static_cast<UINT>(desktop.refresh_rate);
  }
  return S_OK;
}

HRESULT CGLDirect3D::CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT display, D3DFORMAT backBuffer, BOOL) {
  if (adapter != 0) return D3DERR_INVALIDCALL;
  if (type != D3DDEVTYPE_HAL || !IsDisplayFormat(display) || !IsBackBufferFormat(backBuffer))
    return D3DERR_NOTAVAILABLE;
  return S_OK;
}

HRESULT CGLDirect3D::CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT, DWORD usage,
                                       D3DRESOURCETYPE resourceType, D3DFORMAT format) {
  if (adapter != 0) return D3DERR_INVALIDCALL;
  if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
  if (usage & D3DUSAGE_DEPTHSTENCIL) return IsUsableDepthFormat(format) ? S_OK : D3DERR_NOTAVAILABLE;
  if (usage & D3DUSAGE_RENDERTARGET)
    return resourceType == D3DRTYPE_SURFACE && IsBackBufferFormat(format) ? S_OK : D3DERR_NOTAVAILABLE;
  if (resourceType == D3DRTYPE_TEXTURE || resourceType == D3DRTYPE_SURFACE)
    return D3DIsTextureFormat(format) ? S_OK : D3DERR_NOTAVAILABLE;
  if (resourceType == D3DRTYPE_VERTEXBUFFER) return format == D3DFMT_VERTEXDATA ? S_OK : D3DERR_NOTAVAILABLE;
  if (resourceType == D3DRTYPE_INDEXBUFFER)
    return format == D3DFMT_INDEX16 || format == D3DFMT_INDEX32 ? S_OK : D3DERR_NOTAVAILABLE;
  return D3DERR_NOTAVAILABLE;
}

HRESULT CGLDirect3D::CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT, BOOL,
                                                D3DMULTISAMPLE_TYPE samples) {
  if (adapter != 0) return D3DERR_INVALIDCALL;
  return type == D3DDEVTYPE_HAL && samples == D3DMULTISAMPLE_NONE ? S_OK : D3DERR_NOTAVAILABLE;
}

HRESULT CGLDirect3D::CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT, D3DFORMAT target,
                                            D3DFORMAT depth) {
  if (adapter != 0) return D3DERR_INVALIDCALL;
  if (type != D3DDEVTYPE_HAL || !IsBackBufferFormat(target) || !IsUsableDepthFormat(depth))
    return D3DERR_NOTAVAILABLE;
  return S_OK;
}

HRESULT CGLDirect3D::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8* caps) {
  if (adapter != 0 || !caps) return D3DERR_INVALIDCALL;
  if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
  *caps = D3DDefaultCaps();
  return S_OK;
}

HMONITOR CGLDirect3D::GetAdapterMonitor(UINT) { return nullptr; }

HRESULT CGLDirect3D::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                                  D3DPRESENT_PARAMETERS* params, IDirect3DDevice8** device) {
  if (device) *device = nullptr;
  if (adapter != 0 || !params || !device) return D3DERR_INVALIDCALL;
  if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
  if (params->MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_INVALIDCALL;
  return CGLDevice::Create(this, focusWindow, behaviorFlags, params, device);
}
