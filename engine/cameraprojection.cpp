#include "engine/cameraprojection.h"

#include "engine/gamecontext.h"

void SetCameraProjection(CGameContext* pContext) {
  if (pContext->m_dwWidth == 0 || pContext->m_dwHeight == 0) return;
  const FLOAT aspect = static_cast<FLOAT>(pContext->m_dwWidth) / static_cast<FLOAT>(pContext->m_dwHeight);
  D3DXMatrixPerspectiveFovLH(&pContext->m_matProj, D3DX_PI / 4.0f, aspect, 0.1f, 1000.0f);
}
