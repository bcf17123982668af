#include "game/mouse.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/gamecontext.h"
#include "engine/renderqueue.h"
#include "platform/xfile/d3dx8mesh.h"
#include "shell/d3dmesh.h"

namespace {

const char kCursorMesh[] = "MouseModel";
const DWORD kCursorLight = 99;
const DWORD kPollInterval = 4;  // ms
const float kPi = 3.14159265358979f;

void SetColour(D3DCOLORVALUE* pColour, float r, float g, float b, float a) {
  pColour->r = r;
  pColour->g = g;
  pColour->b = b;
  pColour->a = a;
}

void CursorMaterial(D3DMATERIAL8* pMaterial) {
  std::memset(pMaterial, 0, sizeof *pMaterial);
  SetColour(&pMaterial->Diffuse, 1.0f, 0.7f, 0.5f, 1.0f);
  pMaterial->Ambient = pMaterial->Diffuse;
}

// The nearest integer, stored in the whole field: a partial store would keep stale
// high bits from whatever the field held before.
void FloatToShort(float fValue, INT* pOut) { *pOut = static_cast<INT>(std::lrint(fValue)); }

INT Clamp(int64_t nValue, INT nHigh) {
  if (nValue < 0) nValue = 0;
  if (nValue > nHigh) nValue = nHigh;
  return static_cast<INT>(nValue);
}

}  // namespace

CMouse::CMouse(CGameContext* pContext) : CMyObject(pContext) {
  m_nOrder = static_cast<INT>(kCursorLight);
  m_dwModeMask = 0xFD;  // every mode but the intro
  m_strType = "mouse";
  m_bVisible = 1;
  m_bDead = 0;
  if (pContext) {
    m_nCursorX = static_cast<INT>(pContext->m_dwWidth / 2);
    m_nCursorY = static_cast<INT>(pContext->m_dwHeight / 2);
    m_dwLastPoll = pContext->m_dwTime;
  }
  Normalise();
  m_pMesh = new CD3DMesh(pContext);
  LoadMesh();
  CursorMaterial(&m_Material);
  m_pMesh->SetMaterial(0, m_Material);
  SetUpLight();
}

CMouse::~CMouse() {
  delete m_pMesh;
  m_pMesh = nullptr;
}

void CMouse::LoadMesh() {
  if (m_pContext && m_pMesh)
    m_pMesh->CreateFromResource(m_pContext->m_pd3dDevice, m_pContext->m_strResLib, kCursorMesh, m_pContext->m_pLog);
}

void CMouse::SetUpLight() {
  std::memset(&m_Light, 0, sizeof m_Light);
  m_Light.Type = D3DLIGHT_DIRECTIONAL;
  SetColour(&m_Light.Diffuse, 0.6f, 0.6f, 0.6f, 0.0f);
  D3DXVECTOR3 vDirection(0.4f, -0.6f, 0.0f);
  D3DXVec3Normalize(reinterpret_cast<D3DXVECTOR3*>(&m_Light.Direction), &vDirection);
  m_Light.Range = 1000.0f;
  if (m_pContext && m_pContext->m_pd3dDevice) m_pContext->m_pd3dDevice->SetLight(kCursorLight, &m_Light);
}

void CMouse::Normalise() {
  const float fWidth = m_pContext ? static_cast<float>(m_pContext->m_dwWidth) : 0.0f;
  const float fHeight = m_pContext ? static_cast<float>(m_pContext->m_dwHeight) : 0.0f;
  // A screen without size has its cursor in the middle.
  m_fX = fWidth > 0.0f ? 2.0f * static_cast<float>(m_nCursorX) / fWidth - 1.0f : 0.0f;
  m_fY = fHeight > 0.0f ? 2.0f * static_cast<float>(m_nCursorY) / fHeight - 1.0f : 0.0f;
}

void CMouse::MoveCursor(LONG dx, LONG dy) {
  CGameContext* ctx = m_pContext;
  m_nCursorX = Clamp(static_cast<int64_t>(m_nCursorX) + dx, static_cast<INT>(ctx->m_dwWidth));
  m_nCursorY = Clamp(static_cast<int64_t>(m_nCursorY) + dy, static_cast<INT>(ctx->m_dwHeight));
  Normalise();
  ctx->m_fPickDirX = ctx->m_matProj._11 != 0.0f ? m_fX / ctx->m_matProj._11 : 0.0f;
  ctx->m_fPickDirY = ctx->m_matProj._22 != 0.0f ? -m_fY / ctx->m_matProj._22 : 0.0f;
  ctx->m_fCursorX = m_fX;
  ctx->m_fCursorY = m_fY;
}

HRESULT CMouse::FrameMove() {
  if (!m_pContext) return S_OK;
  CGameContext* ctx = m_pContext;
  ctx->m_bClick = 0;
  if (ctx->m_dwTime - m_dwLastPoll < kPollInterval) return S_OK;
  m_dwLastPoll = ctx->m_dwTime;

  const HRESULT hr = ctx->m_pMouse ? ctx->m_pMouse->GetDeviceState(sizeof m_State, &m_State) : DIERR_NOTACQUIRED;
  if (FAILED(hr)) {
    ctx->m_bReacquireMouse = 1;
    if (!m_bPollFailLogged) {
      ctx->WriteLog("FAIL: Get Mouse State\n");
      m_bPollFailLogged = 1;
    }
    return E_FAIL;
  }
  if (hr == S_OK) m_bPollFailLogged = 0;

  // The handler below updates the right-button latch, so the poll that sees the
  // button go down still moves the cursor.
  if (!ctx->m_bRightButton) {
    MoveCursor(m_State.lX, m_State.lY);
    m_fDragX = m_fDragY = 0.0f;
  } else {
    m_fDragX = static_cast<float>(m_State.lX);
    m_fDragY = static_cast<float>(m_State.lY);
  }
  m_fWheel = static_cast<float>(m_State.lZ);
  if (!ctx->m_bInactive) m_fSpin += static_cast<float>(ctx->m_dwElapsed) * 0.002f;

  switch (ctx->m_dwMode) {
    case GAMEMODE_PLAY:
      HandleGameButtons();
      break;
    case GAMEMODE_OPTIONS:
    case GAMEMODE_MAINMENU:
    case GAMEMODE_HELP:
    case GAMEMODE_EXIT:
      HandleMenuButtons();
      break;
    case GAMEMODE_RECORDS:
      HandleRecordsButtons();
      break;
    default:
      break;
  }
  std::memset(&m_State, 0, sizeof m_State);
  return S_OK;
}

HRESULT CMouse::Render() {
  if (!m_pContext || !m_pContext->m_pRenderQueue || !m_pMesh || !m_pMesh->m_ppSubMeshes) return S_OK;
  CGameContext* ctx = m_pContext;
  const float fScale = ctx->m_bScaleCursor ? m_fY / 8.0f + 0.5f : 0.5f;
  D3DXMATRIX matScale, matSpin, matTurn, matTilt, matPlace;
  D3DXMatrixScaling(&matScale, fScale, fScale, fScale);
  D3DXMatrixRotationZ(&matSpin, m_fSpin);
  D3DXMatrixRotationY(&matTurn, -kPi / 4.0f);
  D3DXMatrixRotationX(&matTilt, -kPi / 3.0f);
  // 5.05 units in front of the eye, under the cursor.
  D3DXMatrixTranslation(&matPlace, 2.8f * m_fX + 0.015f, -2.1f * m_fY - 0.005f, 5.05f);
  m_matWorld = matScale * matSpin * matTurn * matTilt * matPlace * ctx->m_matInvView;

  for (DWORD i = 0; i < m_pMesh->m_dwNumSubMeshes; ++i) {
    RenderItem& item = ctx->m_RenderItem;
    item.Reset();
    std::memset(&m_Material, 0, sizeof m_Material);
    if (i == 0) {
      CursorMaterial(&m_Material);
      item.m_bNoDepth = 1;  // over everything
    }
    item.m_matWorld = m_matWorld;
    item.m_strTexture = "";
    item.m_Material = m_Material;
    item.m_dwLight = kCursorLight;
    item.m_pMesh = m_pMesh->m_ppSubMeshes[i];
    item.m_dwStride = m_pMesh->m_dwStride;
    ctx->m_pRenderQueue->Add(item);
  }
  return S_OK;
}

HRESULT CMouse::Reserved(DWORD) { return S_OK; }

HRESULT CMouse::InvalidateDeviceObjects() {
  if (m_pMesh) m_pMesh->InvalidateDeviceObjects();
  return S_OK;
}

HRESULT CMouse::RestoreDeviceObjects() {
  if (!m_pContext) return S_OK;
  FloatToShort((m_fX + 1.0f) * static_cast<float>(m_pContext->m_dwWidth) / 2.0f, &m_nCursorX);
  FloatToShort((m_fY + 1.0f) * static_cast<float>(m_pContext->m_dwHeight) / 2.0f, &m_nCursorY);
  if (m_pMesh) {
    if (!m_pMesh->GetSysMemMesh()) {
      LoadMesh();
      m_pMesh->SetMaterial(0, m_Material);
    } else {
      m_pMesh->RestoreDeviceObjects(m_pContext->m_pd3dDevice);
    }
  }
  SetUpLight();
  return S_OK;
}

HRESULT CMouse::DeleteDeviceObjects() {
  if (m_pMesh) m_pMesh->Destroy();
  return S_OK;
}
