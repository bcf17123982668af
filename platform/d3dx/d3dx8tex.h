// Textures from image files (PNG, JPEG, BMP, TGA) held in memory or on disk.
#pragma once

#include "platform/d3d8/d3d8.h"
#include "platform/d3dx/d3dx8core.h"

#define D3DX_FILTER_NONE (1u << 0)
#define D3DX_FILTER_POINT (2u << 0)
#define D3DX_FILTER_LINEAR (3u << 0)
#define D3DX_FILTER_TRIANGLE (4u << 0)
#define D3DX_FILTER_BOX (5u << 0)
#define D3DX_FILTER_MIRROR_U (1u << 16)
#define D3DX_FILTER_MIRROR_V (2u << 16)
#define D3DX_FILTER_MIRROR_W (4u << 16)
#define D3DX_FILTER_MIRROR (7u << 16)
#define D3DX_FILTER_DITHER (8u << 16)

enum D3DXIMAGE_FILEFORMAT : DWORD {
  D3DXIFF_BMP = 0,
  D3DXIFF_JPG = 1,
  D3DXIFF_TGA = 2,
  D3DXIFF_PNG = 3,
  D3DXIFF_DDS = 4,
  D3DXIFF_PPM = 5,
  D3DXIFF_DIB = 6,
  D3DXIFF_FORCE_DWORD = 0x7fffffff
};

struct D3DXIMAGE_INFO {
  UINT Width, Height, Depth, MipLevels;
  D3DFORMAT Format;  // A8R8G8B8 when the file stores transparency, X8R8G8B8 otherwise
  D3DRESOURCETYPE ResourceType;
  D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

HRESULT D3DXGetImageInfoFromFileInMemory(LPCVOID srcData, UINT srcDataSize, D3DXIMAGE_INFO* srcInfo);
HRESULT D3DXGetImageInfoFromFileA(LPCSTR srcFile, D3DXIMAGE_INFO* srcInfo);

// Adjusts a wanted size, level count and format to what CreateTexture of this
// device will accept. Any pointer may be null.
HRESULT D3DXCheckTextureRequirements(LPDIRECT3DDEVICE8 device, UINT* width, UINT* height, UINT* numMipLevels,
                                     DWORD usage, D3DFORMAT* format, D3DPOOL pool);
HRESULT D3DXCreateTexture(LPDIRECT3DDEVICE8 device, UINT width, UINT height, UINT mipLevels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, LPDIRECT3DTEXTURE8* texture);

// Width, height and mip levels of 0 or D3DX_DEFAULT follow the image: its size
// rounded up to powers of two (scaled with a smoothing filter) and a full mip
// chain (box filter). D3DFMT_UNKNOWN picks A8R8G8B8 when the image has
// transparency or a colour key is given, X8R8G8B8 otherwise. Pixels equal to a
// non-zero colour key (compared as ARGB, alpha included) become 0x00000000.
// A damaged or unknown file gives D3DXERR_INVALIDDATA.
HRESULT D3DXCreateTextureFromFileInMemoryEx(LPDIRECT3DDEVICE8 device, LPCVOID srcData, UINT srcDataSize, UINT width,
                                            UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                            DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                            LPDIRECT3DTEXTURE8* texture);
HRESULT D3DXCreateTextureFromFileInMemory(LPDIRECT3DDEVICE8 device, LPCVOID srcData, UINT srcDataSize,
                                          LPDIRECT3DTEXTURE8* texture);
// From a file path; an unreadable file gives E_FAIL.
HRESULT D3DXCreateTextureFromFileExA(LPDIRECT3DDEVICE8 device, LPCSTR srcFile, UINT width, UINT height,
                                     UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                     DWORD mipFilter, D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo,
                                     PALETTEENTRY* palette, LPDIRECT3DTEXTURE8* texture);
HRESULT D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE8 device, LPCSTR srcFile, LPDIRECT3DTEXTURE8* texture);

#define D3DXCreateTextureFromFile D3DXCreateTextureFromFileA
#define D3DXCreateTextureFromFileEx D3DXCreateTextureFromFileExA
#define D3DXGetImageInfoFromFile D3DXGetImageInfoFromFileA
