#include <algorithm>
#include <fstream>
#include <new>
#include <vector>

#include "platform/d3d8/pixel_format.h"
#include "platform/d3dx/d3dx8tex.h"
#include "platform/d3dx/image_decoder.h"
#include "platform/d3dx/image_scaler.h"

namespace {

// Files larger than this are not images we could use (the dimension cap is far smaller).
constexpr std::streamoff kMaxImageFileBytes = 256 * 1024 * 1024;

bool IsDefault(UINT value) { return value == 0 || value == D3DX_DEFAULT; }

UINT RoundUpToPowerOfTwo(UINT value) {
  UINT p = 1;
  while (p < value && p < 0x80000000u) p <<= 1;
  return p;
}

UINT FullMipChain(UINT width, UINT height) {
  UINT levels = 1;
  for (UINT size = std::max(width, height); size > 1; size >>= 1) ++levels;
  return levels;
}

// The formats the pixel converter writes.
bool IsWritableFormat(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A8R8G8B8: case D3DFMT_X8R8G8B8: case D3DFMT_R8G8B8: case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5: case D3DFMT_A1R5G5B5: case D3DFMT_A4R4G4B4: case D3DFMT_X4R4G4B4:
    case D3DFMT_A8L8: case D3DFMT_L8: case D3DFMT_A8:
      return true;
    default:
      return false;
  }
}

bool FormatHasAlpha(D3DFORMAT format) {
  return format == D3DFMT_A8R8G8B8 || format == D3DFMT_A1R5G5B5 || format == D3DFMT_A4R4G4B4 ||
         format == D3DFMT_A8L8 || format == D3DFMT_A8 || format == D3DFMT_A8P8;
}

bool FilterToScale(DWORD filter, ScaleFilter defaultFilter, ScaleFilter* out) {
  if (filter == D3DX_DEFAULT) {
    *out = defaultFilter;
    return true;
  }
  switch (filter & 0xffff) {
    case D3DX_FILTER_NONE: *out = ScaleFilter::None; return true;
    case D3DX_FILTER_POINT: *out = ScaleFilter::Point; return true;
    case D3DX_FILTER_LINEAR: case D3DX_FILTER_TRIANGLE: case D3DX_FILTER_BOX: *out = ScaleFilter::Smooth; return true;
    default: return false;
  }
}

void FillImageInfo(const DecodedImage& image, D3DXIMAGE_INFO* info) {
  info->Width = image.width;
  info->Height = image.height;
  info->Depth = 1;
  info->MipLevels = 1;
  info->Format = image.hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
  info->ResourceType = D3DRTYPE_TEXTURE;
  info->ImageFileFormat = static_cast<D3DXIMAGE_FILEFORMAT>(image.kind);
}

bool ReadWholeFile(LPCSTR path, std::vector<BYTE>* bytes) {
  if (!path) return false;
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return false;
  std::streamoff size = file.tellg();
  if (size <= 0 || size > kMaxImageFileBytes) return false;
  try {
    bytes->resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    return false;
  }
  file.seekg(0);
  return static_cast<bool>(file.read(reinterpret_cast<char*>(bytes->data()), size));
}

// Writes ARGB pixels into one locked level, converting to its format.
HRESULT WriteLevel(IDirect3DTexture8* texture, UINT level, const uint32_t* pixels, UINT width,
                   UINT height, D3DFORMAT format) {
  const UINT bytesPerPixel = D3DFormatBytesPerPixel(format);
  D3DLOCKED_RECT locked = {};
  HRESULT hr = texture->LockRect(level, &locked, nullptr, 0);
  if (FAILED(hr)) return hr;
  if (!locked.pBits || locked.Pitch < 0 || static_cast<UINT>(locked.Pitch) < width * bytesPerPixel) {
    texture->UnlockRect(level);
    return E_FAIL;
  }
  if (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8) {
    // Byte for byte: blue, green, red, then alpha (opaque for X8R8G8B8).
    const uint32_t opaque = format == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0;
    for (UINT y = 0; y < height; ++y) {
      const uint32_t* src = pixels + static_cast<size_t>(y) * width;
      BYTE* dst = static_cast<BYTE*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
      for (UINT x = 0; x < width; ++x, dst += 4) {
        const uint32_t p = src[x] | opaque;
        dst[0] = static_cast<BYTE>(p), dst[1] = static_cast<BYTE>(p >> 8);
        dst[2] = static_cast<BYTE>(p >> 16), dst[3] = static_cast<BYTE>(p >> 24);
      }
    }
    return texture->UnlockRect(level);
  }
  std::vector<BYTE> rgba(static_cast<size_t>(width) * 4);
  for (UINT y = 0; y < height; ++y) {
    const uint32_t* src = pixels + static_cast<size_t>(y) * width;
    for (UINT x = 0; x < width; ++x) {
      rgba[4 * x + 0] = static_cast<BYTE>(src[x] >> 16);
      rgba[4 * x + 1] = static_cast<BYTE>(src[x] >> 8);
      rgba[4 * x + 2] = static_cast<BYTE>(src[x]);
      rgba[4 * x + 3] = static_cast<BYTE>(src[x] >> 24);
    }
    D3DConvertFromRGBA(rgba.data(), format, width, static_cast<BYTE*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch);
  }
  return texture->UnlockRect(level);
}

// Fills every level of the texture: level 0 from the image, each further level from the one above.
HRESULT FillLevels(IDirect3DTexture8* texture, const DecodedImage& image, ScaleFilter filter, ScaleFilter mipFilter) {
  std::vector<uint32_t> scaled;
  const uint32_t* above = image.pixels.data();  // the picture the next level is made from
  UINT aboveWidth = image.width, aboveHeight = image.height;
  const DWORD levels = texture->GetLevelCount();
  for (DWORD level = 0; level < levels; ++level) {
    D3DSURFACE_DESC desc = {};
    HRESULT hr = texture->GetLevelDesc(level, &desc);
    if (FAILED(hr)) return hr;
    if (!IsWritableFormat(desc.Format) || desc.Width == 0 || desc.Height == 0) return D3DERR_INVALIDCALL;
    if (desc.Width != aboveWidth || desc.Height != aboveHeight) {
      scaled = ScaleImage(above, aboveWidth, aboveHeight, desc.Width, desc.Height, level == 0 ? filter : mipFilter);
      above = scaled.data();
      aboveWidth = desc.Width;
      aboveHeight = desc.Height;
    }
    hr = WriteLevel(texture, level, above, desc.Width, desc.Height, desc.Format);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

}  // namespace

HRESULT D3DXGetImageInfoFromFileInMemory(LPCVOID srcData, UINT srcDataSize, D3DXIMAGE_INFO* srcInfo) {
  if (!srcData || srcDataSize == 0 || !srcInfo) return D3DERR_INVALIDCALL;
  DecodedImage image;
  if (!DecodeImage(srcData, srcDataSize, &image)) return D3DXERR_INVALIDDATA;
  FillImageInfo(image, srcInfo);
  return S_OK;
}

HRESULT D3DXGetImageInfoFromFileA(LPCSTR srcFile, D3DXIMAGE_INFO* srcInfo) {
  std::vector<BYTE> bytes;
  if (!srcInfo) return D3DERR_INVALIDCALL;
  if (!ReadWholeFile(srcFile, &bytes)) return E_FAIL;
  return D3DXGetImageInfoFromFileInMemory(bytes.data(), static_cast<UINT>(bytes.size()), srcInfo);
}

HRESULT D3DXCheckTextureRequirements(LPDIRECT3DDEVICE8 device, UINT* width, UINT* height, UINT* numMipLevels,
                                     DWORD usage, D3DFORMAT* format, D3DPOOL pool) {
  (void)usage;
  (void)pool;
  if (!device) return D3DERR_INVALIDCALL;
  D3DCAPS8 caps = {};
  bool haveCaps = SUCCEEDED(device->GetDeviceCaps(&caps));

  UINT w = (width && !IsDefault(*width)) ? *width : 256;
  UINT h = (height && !IsDefault(*height)) ? *height : 256;
  if (haveCaps && (caps.TextureCaps & D3DPTEXTURECAPS_POW2)) {
    w = RoundUpToPowerOfTwo(w);
    h = RoundUpToPowerOfTwo(h);
  }
  if (haveCaps && (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY)) w = h = std::max(w, h);
  if (haveCaps && caps.MaxTextureWidth) while (w > caps.MaxTextureWidth && w > 1) w = std::max<UINT>(1, w / 2);
  if (haveCaps && caps.MaxTextureHeight) while (h > caps.MaxTextureHeight && h > 1) h = std::max<UINT>(1, h / 2);
  if (width) *width = w;
  if (height) *height = h;

  if (numMipLevels) {
    UINT full = FullMipChain(w, h);
    UINT levels = IsDefault(*numMipLevels) ? full : std::min(*numMipLevels, full);
    if (haveCaps && !(caps.TextureCaps & D3DPTEXTURECAPS_MIPMAP)) levels = 1;
    *numMipLevels = levels;
  }
  if (format) {
    D3DFORMAT f = *format;
    if (f == D3DFMT_UNKNOWN || static_cast<DWORD>(f) == D3DX_DEFAULT) f = D3DFMT_A8R8G8B8;
    if (!IsWritableFormat(f)) f = FormatHasAlpha(f) ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    *format = f;
  }
  return S_OK;
}

HRESULT D3DXCreateTexture(LPDIRECT3DDEVICE8 device, UINT width, UINT height, UINT mipLevels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, LPDIRECT3DTEXTURE8* texture) {
  if (!device || !texture) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  HRESULT hr = D3DXCheckTextureRequirements(device, &width, &height, &mipLevels, usage, &format, pool);
  if (FAILED(hr)) return hr;
  return device->CreateTexture(width, height, mipLevels, usage, format, pool, texture);
}

HRESULT D3DXCreateTextureFromFileInMemoryEx(LPDIRECT3DDEVICE8 device, LPCVOID srcData, UINT srcDataSize, UINT width,
                                            UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                            DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                            LPDIRECT3DTEXTURE8* texture) {
  (void)palette;  // textures are never made in a palette format here
  if (texture) *texture = nullptr;
  if (!device || !srcData || srcDataSize == 0 || !texture) return D3DERR_INVALIDCALL;
  if ((!IsDefault(width) && width > kMaxImageDimension) || (!IsDefault(height) && height > kMaxImageDimension))
    return D3DERR_INVALIDCALL;
  ScaleFilter scale, mipScale;
  if (!FilterToScale(filter, ScaleFilter::Smooth, &scale) || !FilterToScale(mipFilter, ScaleFilter::Smooth, &mipScale))
    return D3DERR_INVALIDCALL;
  if (mipScale == ScaleFilter::None) mipScale = ScaleFilter::Point;  // smaller levels still need their pixels

  DecodedImage image;
  try {
    if (!DecodeImage(srcData, srcDataSize, &image)) return D3DXERR_INVALIDDATA;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  if (srcInfo) FillImageInfo(image, srcInfo);

  if (colorKey != 0)
    for (uint32_t& pixel : image.pixels)
      if (pixel == colorKey) pixel = 0;

  // Size, levels and format.
  UINT w = IsDefault(width) ? RoundUpToPowerOfTwo(image.width) : width;
  UINT h = IsDefault(height) ? RoundUpToPowerOfTwo(image.height) : height;
  UINT levels = mipLevels;
  D3DFORMAT chosen = format;
  if (chosen == D3DFMT_UNKNOWN || static_cast<DWORD>(chosen) == D3DX_DEFAULT)
    chosen = (image.hasAlpha || colorKey != 0) ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
  else if (!IsWritableFormat(chosen))
    chosen = (FormatHasAlpha(chosen) || image.hasAlpha) ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
  HRESULT hr = D3DXCheckTextureRequirements(device, &w, &h, &levels, usage, &chosen, pool);
  if (FAILED(hr)) return hr;

  IDirect3DTexture8* created = nullptr;
  hr = device->CreateTexture(w, h, levels, usage, chosen, pool, &created);
  if (FAILED(hr) || !created) return FAILED(hr) ? hr : E_FAIL;

  try {
    if (pool == D3DPOOL_DEFAULT) {
      // Default-pool textures cannot be locked: fill a system-memory copy and upload it.
      IDirect3DTexture8* staging = nullptr;
      hr = device->CreateTexture(w, h, created->GetLevelCount(), 0, chosen, D3DPOOL_SYSTEMMEM, &staging);
      if (SUCCEEDED(hr) && staging) {
        hr = FillLevels(staging, image, scale, mipScale);
        if (SUCCEEDED(hr)) hr = device->UpdateTexture(staging, created);
        staging->Release();
      } else if (SUCCEEDED(hr)) {
        hr = E_FAIL;
      }
    } else {
      hr = FillLevels(created, image, scale, mipScale);
    }
  } catch (const std::bad_alloc&) {
    hr = E_OUTOFMEMORY;
  }
  if (FAILED(hr)) {
    created->Release();
    return hr;
  }
  *texture = created;
  return S_OK;
}

HRESULT D3DXCreateTextureFromFileInMemory(LPDIRECT3DDEVICE8 device, LPCVOID srcData, UINT srcDataSize,
                                          LPDIRECT3DTEXTURE8* texture) {
  return D3DXCreateTextureFromFileInMemoryEx(device, srcData, srcDataSize, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                             D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
                                             nullptr, texture);
}

HRESULT D3DXCreateTextureFromFileExA(LPDIRECT3DDEVICE8 device, LPCSTR srcFile, UINT width, UINT height,
                                     UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                     DWORD mipFilter, D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo,
                                     PALETTEENTRY* palette, LPDIRECT3DTEXTURE8* texture) {
  if (texture) *texture = nullptr;
  if (!device || !srcFile || !texture) return D3DERR_INVALIDCALL;
  std::vector<BYTE> bytes;
  if (!ReadWholeFile(srcFile, &bytes)) return E_FAIL;
  return D3DXCreateTextureFromFileInMemoryEx(device, bytes.data(), static_cast<UINT>(bytes.size()), width, height,
                                             mipLevels, usage, format, pool, filter, mipFilter, colorKey, srcInfo,
                                             palette, texture);
}

HRESULT D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE8 device, LPCSTR srcFile, LPDIRECT3DTEXTURE8* texture) {
  return D3DXCreateTextureFromFileExA(device, srcFile, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                                      D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, texture);
}
