#include "shell/d3dutil_cursor.h"

int D3DUtil_CursorHeight(const CURSORPIXELS& pixels) {
  return pixels.hasColor ? pixels.maskHeight : pixels.maskHeight / 2;
}

bool D3DUtil_CursorToArgb(const CURSORPIXELS& pixels, BYTE* dest, INT pitch) {
  const int w = pixels.width;
  const int hs = pixels.maskHeight;
  const int h = D3DUtil_CursorHeight(pixels);
  if (w <= 0 || h <= 0 || w > 256 || hs > 512 || !dest || pitch < w * 4) return false;
  if (pixels.mask.size() != static_cast<size_t>(w) * static_cast<size_t>(hs)) return false;
  if (pixels.hasColor && pixels.color.size() != static_cast<size_t>(w) * static_cast<size_t>(h)) return false;
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<DWORD*>(dest + static_cast<ptrdiff_t>(y) * pitch);
    for (int x = 0; x < w; ++x) {
      DWORD colour;
      DWORD mask;
      // Array rows count from the bottom.
      if (pixels.hasColor) {
        colour = pixels.color[static_cast<size_t>((h - 1 - y) * w + x)];
        mask = pixels.mask[static_cast<size_t>((h - 1 - y) * w + x)];
      } else {
        colour = pixels.mask[static_cast<size_t>((h - 1 - y) * w + x)];   // XOR half
        mask = pixels.mask[static_cast<size_t>((hs - 1 - y) * w + x)];    // AND half
      }
      row[x] = mask == 0 ? (0xFF000000u | colour) : 0x00000000u;
    }
  }
  return true;
}

HRESULT D3DUtil_SetDeviceCursor(IDirect3DDevice8* device, HCURSOR cursor) {
  if (!device) return E_FAIL;
  CURSORPIXELS pixels;
  if (!GetCursorPixels(cursor, &pixels)) return E_FAIL;
  const int w = pixels.width;
  const int h = D3DUtil_CursorHeight(pixels);
  if (w <= 0 || h <= 0) return E_FAIL;

  IDirect3DSurface8* surface = nullptr;
  HRESULT hr = device->CreateImageSurface(static_cast<UINT>(w), static_cast<UINT>(h), D3DFMT_A8R8G8B8, &surface);
  if (FAILED(hr)) return hr;

  D3DLOCKED_RECT locked;
  hr = surface->LockRect(&locked, nullptr, 0);
  if (SUCCEEDED(hr)) {
    const bool converted = D3DUtil_CursorToArgb(pixels, static_cast<BYTE*>(locked.pBits), locked.Pitch);
    surface->UnlockRect();
    hr = converted ? device->SetCursorProperties(pixels.xHotspot, pixels.yHotspot, surface) : E_FAIL;
    if (SUCCEEDED(hr)) hr = S_OK;
  }
  surface->Release();
  return hr;
}
