#include "shell/d3dfont.h"

#include <algorithm>
#include <cstring>

#include "platform/font/wingdi.h"

FONT2DVERTEX InitFont2DVertex(FLOAT x, FLOAT y, FLOAT z, FLOAT rhw, D3DCOLOR color, FLOAT tu, FLOAT tv) {
  FONT2DVERTEX v;
  v.x = x;
  v.y = y;
  v.z = z;
  v.rhw = rhw;
  v.color = color;
  v.tu = tu;
  v.tv = tv;
  return v;
}

CD3DFont::CD3DFont(const char* strFontName, DWORD dwHeight, DWORD dwFlags)
    : m_dwFontHeight(dwHeight), m_dwFontFlags(dwFlags) {
  std::memset(m_strFontName, 0, sizeof(m_strFontName));
  if (strFontName) std::strncpy(m_strFontName, strFontName, sizeof(m_strFontName) - 1);
  std::memset(m_fTexCoords, 0, sizeof(m_fTexCoords));
}

CD3DFont::~CD3DFont() {
  InvalidateDeviceObjects();
  DeleteDeviceObjects();
}

HRESULT CD3DFont::InitDeviceObjects(IDirect3DDevice8* pd3dDevice) {
  m_pd3dDevice = pd3dDevice;
  m_fTextScale = 1.0f;
  if (!m_pd3dDevice) return E_FAIL;

  DWORD dwWanted = 256;
  if (m_dwFontHeight > 40)
    dwWanted = 1024;
  else if (m_dwFontHeight > 20)
    dwWanted = 512;
  m_dwTexWidth = m_dwTexHeight = dwWanted;

  // A device that cannot hold the wanted size gets a smaller square atlas with
  // proportionally smaller glyphs, limited by both its width and height.
  D3DCAPS8 caps;
  std::memset(&caps, 0, sizeof(caps));
  m_pd3dDevice->GetDeviceCaps(&caps);
  DWORD dwLimit = std::min(caps.MaxTextureWidth, caps.MaxTextureHeight);
  if (dwLimit > 0 && dwLimit < dwWanted) {
    m_fTextScale = static_cast<FLOAT>(dwLimit) / static_cast<FLOAT>(dwWanted);
    m_dwTexWidth = m_dwTexHeight = dwLimit;
  }

  if (m_pTexture) {
    m_pTexture->Release();
    m_pTexture = nullptr;
  }
  HRESULT hr = m_pd3dDevice->CreateTexture(m_dwTexWidth, m_dwTexHeight, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED,
                                           &m_pTexture);
  if (FAILED(hr)) return hr;
  return BuildAtlas();
}

// Draws characters 32..126 white on black with the system's text functions and keeps
// the coverage as the atlas's 4-bit alpha.
HRESULT CD3DFont::BuildAtlas() {
  HDC hDC = CreateCompatibleDC(nullptr);
  if (!hDC) return E_FAIL;

  BITMAPINFO bmi;
  std::memset(&bmi, 0, sizeof(bmi));
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = static_cast<LONG>(m_dwTexWidth);
  bmi.bmiHeader.biHeight = -static_cast<LONG>(m_dwTexHeight);
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biCompression = BI_RGB;
  bmi.bmiHeader.biBitCount = 32;
  void* pvBits = nullptr;
  HBITMAP hbmBitmap = CreateDIBSection(hDC, &bmi, DIB_RGB_COLORS, &pvBits, nullptr, 0);
  if (!hbmBitmap || !pvBits) {
    if (hbmBitmap) DeleteObject(hbmBitmap);
    DeleteDC(hDC);
    return E_FAIL;
  }
  const DWORD* pBitmapBits = static_cast<const DWORD*>(pvBits);
  SelectObject(hDC, hbmBitmap);
  SetMapMode(hDC, MM_TEXT);

  const INT nHeight =
      -MulDiv(static_cast<int>(m_dwFontHeight), static_cast<int>(GetDeviceCaps(hDC, LOGPIXELSY) * m_fTextScale), 72);
  const int dwBold = (m_dwFontFlags & FONT_BOLD) ? FW_BOLD : FW_NORMAL;
  const DWORD dwItalic = (m_dwFontFlags & FONT_ITALIC) ? TRUE : FALSE;
  HFONT hFont = CreateFont(nHeight, 0, 0, 0, dwBold, dwItalic, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH, m_strFontName);
  if (!hFont) {
    DeleteDC(hDC);
    DeleteObject(hbmBitmap);
    return E_FAIL;
  }
  SelectObject(hDC, hFont);
  SetTextColor(hDC, RGB(255, 255, 255));
  SetBkColor(hDC, 0x00000000);
  SetTextAlign(hDC, TA_TOP | TA_LEFT);

  // One texel between neighbouring glyphs and rows keeps filtering from bleeding.
  DWORD x = 0, y = 0;
  char str[2] = "x";
  SIZE size;
  for (int c = 32; c < 127; ++c) {
    str[0] = static_cast<char>(c);
    size.cx = size.cy = 0;
    GetTextExtentPoint32(hDC, str, 1, &size);
    const DWORD cx = static_cast<DWORD>(std::max<LONG>(size.cx, 0));
    const DWORD cy = static_cast<DWORD>(std::max<LONG>(size.cy, 0));
    if (x + cx + 1 > m_dwTexWidth) {
      x = 0;
      y += cy + 1;
    }
    ExtTextOut(hDC, static_cast<int>(x), static_cast<int>(y), ETO_OPAQUE, nullptr, str, 1, nullptr);
    FLOAT* tc = m_fTexCoords[c - 32];
    tc[0] = static_cast<FLOAT>(x) / m_dwTexWidth;
    tc[1] = static_cast<FLOAT>(y) / m_dwTexHeight;
    tc[2] = static_cast<FLOAT>(x + cx) / m_dwTexWidth;
    tc[3] = static_cast<FLOAT>(y + cy) / m_dwTexHeight;
    x += cx + 1;
  }

  D3DLOCKED_RECT d3dlr;
  HRESULT hr = m_pTexture->LockRect(0, &d3dlr, nullptr, 0);
  if (SUCCEEDED(hr)) {
    BYTE* pDstRow = static_cast<BYTE*>(d3dlr.pBits);
    for (DWORD row = 0; row < m_dwTexHeight; ++row) {
      WORD* pDst16 = reinterpret_cast<WORD*>(pDstRow);
      for (DWORD col = 0; col < m_dwTexWidth; ++col) {
        const BYTE bAlpha = static_cast<BYTE>((pBitmapBits[m_dwTexWidth * row + col] & 0xFF) >> 4);
        *pDst16++ = bAlpha > 0 ? static_cast<WORD>((bAlpha << 12) | 0x0FFF) : 0x0000;
      }
      pDstRow += d3dlr.Pitch;
    }
    m_pTexture->UnlockRect(0);
  }

  // The context goes first so the bitmap and font are no longer selected when deleted.
  DeleteDC(hDC);
  DeleteObject(hbmBitmap);
  DeleteObject(hFont);
  return SUCCEEDED(hr) ? S_OK : hr;
}

void CD3DFont::RecordDrawStates() {
  IDirect3DDevice8* d = m_pd3dDevice;
  d->SetTexture(0, m_pTexture);
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  d->SetRenderState(D3DRS_ALPHAREF, 0x08);
  d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  d->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
  d->SetRenderState(D3DRS_ZENABLE, FALSE);
  d->SetRenderState(D3DRS_STENCILENABLE, FALSE);
  d->SetRenderState(D3DRS_EDGEANTIALIAS, FALSE);
  d->SetRenderState(D3DRS_CLIPPLANEENABLE, 0);
  d->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_DISABLE);
  d->SetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE);
  d->SetRenderState(D3DRS_FOGENABLE, FALSE);
  d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  d->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
  d->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
  d->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_NONE);
  d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
  d->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
  d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  d->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
}

HRESULT CD3DFont::RestoreDeviceObjects() {
  if (!m_pd3dDevice) return E_FAIL;
  if (m_pVB) {  // restored twice without an invalidate in between
    InvalidateDeviceObjects();
  }
  HRESULT hr = m_pd3dDevice->CreateVertexBuffer(kVertexCount * sizeof(FONT2DVERTEX),
                                                D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, 0, D3DPOOL_DEFAULT, &m_pVB);
  if (FAILED(hr)) {
    m_pVB = nullptr;
    return hr;
  }
  for (DWORD* pBlock : {&m_dwSavedStateBlock, &m_dwDrawTextStateBlock}) {
    m_pd3dDevice->BeginStateBlock();
    RecordDrawStates();
    m_pd3dDevice->EndStateBlock(pBlock);
  }
  return S_OK;
}

HRESULT CD3DFont::InvalidateDeviceObjects() {
  if (m_pVB) {
    m_pVB->Release();
    m_pVB = nullptr;
  }
  if (m_pd3dDevice) {
    if (m_dwSavedStateBlock) m_pd3dDevice->DeleteStateBlock(m_dwSavedStateBlock);
    if (m_dwDrawTextStateBlock) m_pd3dDevice->DeleteStateBlock(m_dwDrawTextStateBlock);
  }
  m_dwSavedStateBlock = 0;
  m_dwDrawTextStateBlock = 0;
  return S_OK;
}

HRESULT CD3DFont::DeleteDeviceObjects() {
  if (m_pTexture) {
    m_pTexture->Release();
    m_pTexture = nullptr;
  }
  m_pd3dDevice = nullptr;
  return S_OK;
}

HRESULT CD3DFont::DrawText(FLOAT sx, FLOAT sy, DWORD dwColor, const char* strText, DWORD dwFlags) {
  if (!m_pd3dDevice || !m_pVB || !m_dwSavedStateBlock || !m_dwDrawTextStateBlock) return E_FAIL;
  if (!strText) return S_OK;

  m_pd3dDevice->CaptureStateBlock(m_dwSavedStateBlock);
  m_pd3dDevice->ApplyStateBlock(m_dwDrawTextStateBlock);
  m_pd3dDevice->SetVertexShader(D3DFVF_FONT2DVERTEX);
  m_pd3dDevice->SetStreamSource(0, m_pVB, sizeof(FONT2DVERTEX));
  if (dwFlags & FONT_FILTERED) {
    m_pd3dDevice->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    m_pd3dDevice->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
  }

  const FLOAT fStartX = sx;
  BYTE* pbData = nullptr;
  HRESULT hr = m_pVB->Lock(0, 0, &pbData, D3DLOCK_DISCARD);
  FONT2DVERTEX* pVertices = reinterpret_cast<FONT2DVERTEX*>(pbData);
  DWORD dwNumTriangles = 0;
  for (const char* p = strText; SUCCEEDED(hr) && *p; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == '\n') {
      sx = fStartX;
      sy += (m_fTexCoords[0][3] - m_fTexCoords[0][1]) * m_dwTexHeight / m_fTextScale;
    }
    if (c < 32 || c > 126) continue;

    const FLOAT tx1 = m_fTexCoords[c - 32][0];
    const FLOAT ty1 = m_fTexCoords[c - 32][1];
    const FLOAT tx2 = m_fTexCoords[c - 32][2];
    const FLOAT ty2 = m_fTexCoords[c - 32][3];
    const FLOAT w = (tx2 - tx1) * m_dwTexWidth / m_fTextScale;
    const FLOAT h = (ty2 - ty1) * m_dwTexHeight / m_fTextScale;
    const FLOAT left = sx - 0.5f, top = sy - 0.5f, right = sx + w - 0.5f, bottom = sy + h - 0.5f;
    *pVertices++ = InitFont2DVertex(left, bottom, 0.9f, 1.0f, dwColor, tx1, ty2);
    *pVertices++ = InitFont2DVertex(left, top, 0.9f, 1.0f, dwColor, tx1, ty1);
    *pVertices++ = InitFont2DVertex(right, bottom, 0.9f, 1.0f, dwColor, tx2, ty2);
    *pVertices++ = InitFont2DVertex(right, top, 0.9f, 1.0f, dwColor, tx2, ty1);
    *pVertices++ = InitFont2DVertex(right, bottom, 0.9f, 1.0f, dwColor, tx2, ty2);
    *pVertices++ = InitFont2DVertex(left, top, 0.9f, 1.0f, dwColor, tx1, ty1);
    dwNumTriangles += 2;

    if (dwNumTriangles * 3 > kVertexCount - 6) {
      m_pVB->Unlock();
      m_pd3dDevice->DrawPrimitive(D3DPT_TRIANGLELIST, 0, dwNumTriangles);
      pbData = nullptr;
      hr = m_pVB->Lock(0, 0, &pbData, D3DLOCK_DISCARD);
      pVertices = reinterpret_cast<FONT2DVERTEX*>(pbData);
      dwNumTriangles = 0;
    }
    sx += w;
  }
  if (SUCCEEDED(hr)) {
    m_pVB->Unlock();
    if (dwNumTriangles > 0) m_pd3dDevice->DrawPrimitive(D3DPT_TRIANGLELIST, 0, dwNumTriangles);
  }

  m_pd3dDevice->ApplyStateBlock(m_dwSavedStateBlock);
  return SUCCEEDED(hr) ? S_OK : hr;
}
