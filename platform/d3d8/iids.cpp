// Interface identities of the Direct3D 8 objects (our own values).
#include "platform/d3d8/d3d8.h"

#define VANTOREL_D3D_IID(name, n) \
  const IID name = {0x7a3d0800u + (n), 0x5e1f, 0x4c8b, {0x9d, 0x21, 0x6b, 0x70, 0x0a, 0x3e, 0x80, static_cast<BYTE>(n)}}

VANTOREL_D3D_IID(IID_IDirect3D8, 1);
VANTOREL_D3D_IID(IID_IDirect3DDevice8, 2);
VANTOREL_D3D_IID(IID_IDirect3DResource8, 3);
VANTOREL_D3D_IID(IID_IDirect3DBaseTexture8, 4);
VANTOREL_D3D_IID(IID_IDirect3DTexture8, 5);
VANTOREL_D3D_IID(IID_IDirect3DCubeTexture8, 6);
VANTOREL_D3D_IID(IID_IDirect3DVolumeTexture8, 7);
VANTOREL_D3D_IID(IID_IDirect3DVertexBuffer8, 8);
VANTOREL_D3D_IID(IID_IDirect3DIndexBuffer8, 9);
VANTOREL_D3D_IID(IID_IDirect3DSurface8, 10);
VANTOREL_D3D_IID(IID_IDirect3DVolume8, 11);
VANTOREL_D3D_IID(IID_IDirect3DSwapChain8, 12);
