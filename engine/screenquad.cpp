#include "engine/screenquad.h"

#include <cstring>

#include "engine/gamecontext.h"
#include "engine/renderqueue.h"

void SetQuadRect(ScreenVertex* q, FLOAT x, FLOAT y, FLOAT w, FLOAT h, FLOAT z, FLOAT rhw, D3DCOLOR color) {
  const FLOAT xs[QUAD_VERTICES] = {x, x + w, x, x, x + w, x + w};
  const FLOAT ys[QUAD_VERTICES] = {y, y, y + h, y + h, y, y + h};
  for (DWORD k = 0; k < QUAD_VERTICES; ++k) {
    q[k].x = xs[k];
    q[k].y = ys[k];
    q[k].z = z;
    q[k].rhw = rhw;
    q[k].color = color;
  }
}

void SetQuadTexCoords(ScreenVertex* q, FLOAT u, FLOAT v, FLOAT du, FLOAT dv) {
  const FLOAT us[QUAD_VERTICES] = {u, u + du, u, u, u + du, u + du};
  const FLOAT vs[QUAD_VERTICES] = {v, v, v + dv, v + dv, v, v + dv};
  for (DWORD k = 0; k < QUAD_VERTICES; ++k) {
    q[k].tu = us[k];
    q[k].tv = vs[k];
  }
}

void SetQuadColor(ScreenVertex* q, D3DCOLOR color) {
  for (DWORD k = 0; k < QUAD_VERTICES; ++k) q[k].color = color;
}

HRESULT FillQuadBuffer(IDirect3DDevice8* pDevice, IDirect3DVertexBuffer8** ppVB, const ScreenVertex* pQuads,
                       DWORD nQuads) {
  const UINT bytes = nQuads * QUAD_BYTES;
  if (!*ppVB) {
    if (!pDevice) return E_FAIL;
    if (FAILED(pDevice->CreateVertexBuffer(bytes, 0, FVF_SCREENVERTEX, D3DPOOL_DEFAULT, ppVB))) {
      *ppVB = nullptr;
      return E_FAIL;
    }
  }
  BYTE* pData = nullptr;
  if (FAILED((*ppVB)->Lock(0, bytes, &pData, 0)) || !pData) return E_FAIL;
  std::memcpy(pData, pQuads, bytes);
  (*ppVB)->Unlock();
  return S_OK;
}

void QueueScreenQuads(CGameContext* pContext, IDirect3DVertexBuffer8* pVB, DWORD dwPrimCount, const char* strTexture,
                      BYTE bColorKey, BYTE bBlend, DWORD dwSrcBlend, DWORD dwDestBlend) {
  if (!pContext || !pContext->m_pRenderQueue) return;
  RenderItem& item = pContext->m_RenderItem;
  item.m_bQuad = 1;
  item.m_bNoDepth = 0;
  item.m_strTexture = strTexture;
  item.m_bColorKey = bColorKey;
  item.m_dwColorKey = 0xFF000000;
  item.m_bBlend = bBlend;
  item.m_dwSrcBlend = dwSrcBlend;
  item.m_dwDestBlend = dwDestBlend;
  item.m_pVB = pVB;
  item.m_dwPrimCount = dwPrimCount;
  pContext->m_pRenderQueue->Add(item);
}

void ReleaseQuadBuffer(IDirect3DVertexBuffer8** ppVB) {
  if (*ppVB) {
    (*ppVB)->Release();
    *ppVB = nullptr;
  }
}
