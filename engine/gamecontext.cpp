#include "engine/gamecontext.h"

#include <cstdio>

namespace {

void ZeroMatrix(D3DXMATRIX& m) {
  for (auto& row : m.m)
    for (float& value : row) value = 0.0f;
}

}  // namespace

// Every field starts at zero, whether the context is the global or a local copy
// (tests); Init gives the start values.
CGameContext::CGameContext() { ZeroMatrices(); }

CGameContext::CGameContext(HWND hWnd, HINSTANCE hInst) : m_hWnd(hWnd), m_hInst(hInst) {
  ZeroMatrices();
  m_dwTime = GetTickCount();
}

CGameContext::~CGameContext() = default;

void CGameContext::WriteLog(const char* strEntry) const {
  if (!m_pLog) return;
  std::fputs(strEntry, m_pLog);
  std::fflush(m_pLog);
}

void CGameContext::ZeroMatrices() {
  ZeroMatrix(m_matView);
  ZeroMatrix(m_matProj);
  ZeroMatrix(m_matBoard);
  ZeroMatrix(m_matInvView);
  m_vEye = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
}
