// Plain text on screen: the printable characters of one font are drawn once into a
// glyph atlas texture; a string becomes two pre-transformed triangles per character.
#pragma once

#include "platform/d3d8/d3d8.h"
#include "platform/win32/win32.h"

#define FONT_BOLD 0x0001u
#define FONT_ITALIC 0x0002u
#define FONT_FILTERED 0x0004u

#define D3DFVF_FONT2DVERTEX (D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1)

struct FONT2DVERTEX {
  FLOAT x, y, z, rhw;
  DWORD color;
  FLOAT tu, tv;
};
static_assert(sizeof(FONT2DVERTEX) == 28, "a font vertex is a 28-byte screen vertex");

FONT2DVERTEX InitFont2DVertex(FLOAT x, FLOAT y, FLOAT z, FLOAT rhw, D3DCOLOR color, FLOAT tu, FLOAT tv);

class CD3DFont {
 public:
  static const UINT kVertexCount = 300;  // one flush: 50 glyphs of six vertices

  CD3DFont(const char* strFontName, DWORD dwHeight, DWORD dwFlags = 0);
  ~CD3DFont();

  HRESULT InitDeviceObjects(IDirect3DDevice8* pd3dDevice);
  HRESULT RestoreDeviceObjects();
  HRESULT InvalidateDeviceObjects();
  HRESULT DeleteDeviceObjects();

  // Draws the text with its top left corner at (x, y) pixels; '\n' starts a new row.
  // Only between the caller's BeginScene and EndScene; the caller's states are kept.
  HRESULT DrawText(FLOAT x, FLOAT y, DWORD dwColor, const char* strText, DWORD dwFlags = 0);

  DWORD TexWidth() const { return m_dwTexWidth; }
  DWORD TexHeight() const { return m_dwTexHeight; }
  FLOAT TextScale() const { return m_fTextScale; }
  IDirect3DTexture8* Texture() const { return m_pTexture; }
  // Left, top, right, bottom in texture coordinates; c from 32 to 127.
  const FLOAT* TexCoords(unsigned char c) const { return m_fTexCoords[(c >= 32 && c < 128) ? c - 32 : 0]; }

  CD3DFont(const CD3DFont&) = delete;
  CD3DFont& operator=(const CD3DFont&) = delete;

 private:
  HRESULT BuildAtlas();
  void RecordDrawStates();

  char m_strFontName[80];
  DWORD m_dwFontHeight;
  DWORD m_dwFontFlags;
  IDirect3DDevice8* m_pd3dDevice = nullptr;
  IDirect3DTexture8* m_pTexture = nullptr;
  IDirect3DVertexBuffer8* m_pVB = nullptr;
  DWORD m_dwTexWidth = 0;
  DWORD m_dwTexHeight = 0;
  FLOAT m_fTextScale = 1.0f;
  FLOAT m_fTexCoords[128 - 32][4];
  DWORD m_dwSavedStateBlock = 0;
  DWORD m_dwDrawTextStateBlock = 0;
};
