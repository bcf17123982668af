// The draw record that scene objects queue instead of drawing, and the
// pre-transformed vertex of every screen quad.
#pragma once

#include "platform/d3d8/d3d8.h"
#include "platform/d3dx/d3dx8.h"
#include "platform/win32/win32.h"

struct ID3DXMesh;
class CVertexShader;

// Pre-transformed, lit, textured vertex (FVF 0x144, 28 bytes).
struct ScreenVertex {
  FLOAT x, y, z, rhw;
  D3DCOLOR color;
  FLOAT tu, tv;
};
static_assert(sizeof(ScreenVertex) == 28, "a screen vertex is 28 bytes");

enum : DWORD {
  FVF_SCREENVERTEX = 0x144,  // XYZRHW | DIFFUSE | TEX1
  FVF_MESHVERTEX = 0x112,    // XYZ | NORMAL | TEX1
};

struct RenderItem {
  // Every field zero; the texture is the empty name.
  RenderItem();
  // Back to the state of a new record (mesh fillers start from this).
  void Reset();

  BYTE m_bQuad;      // 0 mesh item, 1 screen-quad item; second sort key
  BYTE m_bNoDepth;   // 1 depth test off; first sort key
  BYTE m_bBlend;     // 1 alpha blending with the two factors; third sort key
  D3DXMATRIX m_matWorld;
  const char* m_strTexture;  // never null; "" = no texture; fourth sort key
  BYTE m_bColorKey;          // load the texture with the colour-key loader
  DWORD m_dwColorKey;
  DWORD m_dwLight;           // light enabled for this mesh item only; 0 = none
  ID3DXMesh* m_pMesh;        // borrowed from the mesh caches; last sort key
  DWORD m_dwStride;
  D3DMATERIAL8 m_Material;
  IDirect3DVertexBuffer8* m_pVB;  // screen quads, owned by the queuing object
  DWORD m_dwPrimCount;
  DWORD m_dwSrcBlend;
  DWORD m_dwDestBlend;
  CVertexShader* m_pShader;  // null: fixed function
};
