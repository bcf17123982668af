#include "game/ball.h"

#include <cstring>

#include "engine/gamecontext.h"
#include "engine/renderqueue.h"
#include "game/objectmesh.h"
#include "platform/xfile/d3dx8mesh.h"
#include "shell/d3dmesh.h"

namespace {

const char* const kLowMesh = "SPHERE0";
const char* const kHighMesh = "SPHERE1";

// Diffuse and ambient of a ball of that colour; anything else stays all zero.
void ColourMaterial(int nColour, D3DMATERIAL8* pMaterial) {
  static const float kColours[CELL_LAST_COLOUR][3] = {{1.0f, 0.3f, 0.3f}, {0.3f, 1.0f, 0.3f}, {0.3f, 0.3f, 1.0f}, {1.0f, 1.0f, 0.3f},
                                       {1.0f, 0.3f, 1.0f}, {0.3f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f}};
  std::memset(pMaterial, 0, sizeof *pMaterial);
  if (!IsColour(nColour)) return;
  const float* c = kColours[nColour - CELL_FIRST_COLOUR];
  FillMaterial(pMaterial, c[0], c[1], c[2]);
}

}  // namespace

const char* const CBall::MESH_NAMES[2] = {kLowMesh, kHighMesh};

CBall::CBall(CGameContext* pContext) : CMyObject(pContext), m_vCentre(0.0f, 0.8f, 0.0f) {
  m_nOrder = 25;
  m_dwModeMask = GAMEMODE_PLAY | GAMEMODE_FLYIN | GAMEMODE_MAINMENU | GAMEMODE_RECORDS;
  m_strType = "ball";
  m_bVisible = 1;
  m_bDead = 0;
  D3DXMatrixIdentity(&m_matTilt);
  D3DXMatrixIdentity(&m_matEase);
  // The mesh data is shared through the context's caches, so every ball after the
  // first costs no file access. A failed load leaves its mesh empty (and logged).
  m_pMesh = new CD3DMesh(pContext);
  m_pMeshHi = new CD3DMesh(pContext);
  if (pContext) {
    LoadObjectMesh(pContext, m_pMeshHi, kHighMesh);
    LoadObjectMesh(pContext, m_pMesh, kLowMesh);
  }
  std::memset(&m_Material, 0, sizeof m_Material);
  SetColour(&m_Material.Diffuse, 0.5f, 0.5f, 0.7f, 1.0f);
  m_Material.Ambient = m_Material.Diffuse;
}

CBall::~CBall() {
  // Nobody may keep a pointer to a ball that is gone.
  if (m_pContext) {
    if (m_pContext->m_pSelectedBall == this) m_pContext->m_pSelectedBall = nullptr;
    if (m_pContext->m_pBallHit == this) m_pContext->m_pBallHit = nullptr;
  }
  delete m_pMesh;
  delete m_pMeshHi;
  m_pMesh = nullptr;
  m_pMeshHi = nullptr;
}

HRESULT CBall::Reserved(DWORD) { return S_OK; }

HRESULT CBall::InvalidateDeviceObjects() {
  if (m_pMesh) m_pMesh->InvalidateDeviceObjects();
  if (m_pMeshHi) m_pMeshHi->InvalidateDeviceObjects();
  return S_OK;
}

HRESULT CBall::RestoreDeviceObjects() {
  if (!m_pContext) return S_OK;
  RestoreObjectMesh(m_pContext, m_pMesh, kLowMesh);
  RestoreObjectMesh(m_pContext, m_pMeshHi, kHighMesh);
  return S_OK;
}

HRESULT CBall::DeleteDeviceObjects() {
  if (m_pMesh) m_pMesh->Destroy();
  if (m_pMeshHi) m_pMeshHi->Destroy();
  return S_OK;
}

void CBall::PlaySound(const char* strName) {
  if (m_pContext) m_pContext->PlaySound(strName);
}

INT& CBall::Cell(int i, int j) const { return m_pContext->m_Board[i][j]; }

float CBall::SurfaceHeight() const {
  D3DXVECTOR3 vPoint(m_fX, 0.0f, m_fY), vOut;
  D3DXVec3TransformCoord(&vOut, &vPoint, &m_matTilt);
  return vOut.y;
}

void CBall::SetState(State state) {
  m_bDropping = state == State::Dropping;
  m_bSettling = state == State::Settling;
  m_bResting = state == State::Resting;
  m_bJumping = state == State::Jumping;
  m_bDeleting = state == State::Deleting;
  m_bMoving = state == State::Moving;
}

HRESULT CBall::Render() {
  if (!m_bPlaced || !m_pContext) return S_OK;
  D3DXMATRIX matScale, matMove;
  D3DXMatrixScaling(&matScale, m_fScale, m_fScale > 0.5f ? m_fScale : 0.5f, m_fScale);
  D3DXMatrixTranslation(&matMove, m_fX, m_fHeight, m_fY);
  m_matWorld = matScale * matMove;
  if (m_bResting || m_bSettling || m_bDeleting) m_matWorld = m_matWorld * m_matTilt;

  // Count and stride always come from the low-detail sphere. The detailed sub-meshes
  // replace its own only when they match them (a failed or different high-detail
  // load draws the low-detail sphere rather than reading past an array).
  const DWORD dwCount = (m_pMesh && m_pMesh->m_ppSubMeshes) ? m_pMesh->m_dwNumSubMeshes : 0;
  const DWORD dwStride = m_pMesh ? m_pMesh->m_dwStride : 0;
  ID3DXMesh** ppDraw = dwCount ? m_pMesh->m_ppSubMeshes : nullptr;
  if (m_pContext->m_bHiRes && m_pMeshHi && m_pMeshHi->m_ppSubMeshes && m_pMeshHi->m_dwNumSubMeshes >= dwCount &&
      m_pMeshHi->m_dwStride == dwStride)
    ppDraw = m_pMeshHi->m_ppSubMeshes;
  for (DWORD k = 0; m_pContext->m_pRenderQueue && ppDraw && k < dwCount; ++k) {
    RenderItem& item = m_pContext->m_RenderItem;
    item.Reset();
    ColourMaterial(k == 0 ? m_nColour : 0, &m_Material);
    item.m_bQuad = 0;
    item.m_bNoDepth = 0;
    item.m_bBlend = 0;
    item.m_matWorld = m_matWorld;
    item.m_strTexture = k == 0 ? "BallTex" : "";
    item.m_Material = m_Material;
    item.m_pMesh = ppDraw[k];
    item.m_dwStride = dwStride;
    item.m_dwLight = m_pContext->m_dwLightIndex;
    m_pContext->m_pRenderQueue->Add(item);
  }
  D3DXVECTOR3 vModelCentre(0.0f, 0.8f, 0.0f);
  D3DXVec3TransformCoord(&m_vCentre, &vModelCentre, &m_matWorld);
  return S_OK;
}

HRESULT CBall::FrameMove() {
  if (!m_bPlaced || !m_pContext) return S_OK;
  CGameContext* ctx = m_pContext;
  m_matTilt = ctx->m_matBoard;

  if (ctx->m_bUndoRequest && ctx->m_bUndoAvailable && OwnCell() != ctx->m_UndoBoard[m_nCellX][m_nCellY]) {
    OwnCell() = CELL_EMPTY;
    m_bDead = 1;
    DeleteDeviceObjects();
    return S_OK;
  }
  if (m_bDeleting) {
    RemovalFrame();
    return S_OK;
  }
  if (OwnCell() == CELL_REMOVING) {
    if (ctx->m_nMoveMode > 2) PlaySound("LongDelete");
    // Runs never take a moving ball; should one go anyway, the move is over.
    if (m_bMoving) ctx->m_bIdle = 1;
    SetState(State::Deleting);
    return S_OK;
  }
  if (m_bMoving) {
    MoveFrame();
    return S_OK;
  }
  const float fSurface = SurfaceHeight();
  if (m_bResting) {
    if (ctx->m_bPickRequest)
      PickTest();
    else if (ctx->m_pBallHit == this)
      Select(fSurface);
    if (OwnCell() == CELL_IN_RUN) SetState(State::Settling);
    return S_OK;
  }
  // A state entered in one step runs its next step in the same frame.
  if (m_bJumping) JumpFrame(fSurface);
  if (m_bDropping) DropFrame(fSurface);
  if (m_bSettling) SettleFrame();
  return S_OK;
}

void CBall::PickTest() {
  CGameContext* ctx = m_pContext;
  D3DXVECTOR3 vDirection, vOrigin;
  ctx->GetPickRay(&vDirection, &vOrigin);
  if (!D3DXSphereBoundProbe(&m_vCentre, m_fRadius, &vOrigin, &vDirection)) return;
  D3DXVECTOR3 vToEye = m_vCentre - ctx->m_vEye;
  float fDistance = FastSqrt(D3DXVec3Dot(&vToEye, &vToEye)) - m_fRadius;
  ctx->m_bCellHit = 0;
  if (fDistance < ctx->m_fBallHitDist) {
    ctx->m_fBallHitDist = fDistance;
    ctx->m_pBallHit = this;
  }
}

void CBall::Select(float fSurface) {
  m_pContext->m_pBallHit = nullptr;
  m_pContext->m_pSelectedBall = this;
  m_fFloorY = fSurface;
  m_fHeight = fSurface + 0.05f;
  m_fSpeed = m_fJumpSpeed;
  SetState(State::Jumping);
  PlaySound("BallSelect");
}

bool CBall::FallFrame(float fSurface) {
  const float fElapsed = static_cast<float>(m_pContext->m_dwElapsed);
  m_fFloorY = fSurface;
  m_fSpeed += fElapsed * m_fGravity;
  m_fHeight -= fElapsed * m_fSpeed;
  if (m_fHeight < m_fFloorY) {
    m_fHeight = m_fFloorY + 0.05f;
    return true;
  }
  return false;
}

void CBall::JumpFrame(float fSurface) {
  CGameContext* ctx = m_pContext;
  if (FallFrame(fSurface)) {
    m_fSpeed = m_fJumpSpeed;
    if (ctx->m_pSelectedBall != this) SetState(State::Settling);
    PlaySound("BallDown");
  }
  // Only the selected ball answers a click on the floor.
  if (ctx->m_bCellConfirmed && ctx->m_pSelectedBall == this) OnFloorSelect();
}

void CBall::DropFrame(float fSurface) {
  if (FallFrame(fSurface)) {
    m_fSpeed = -m_fSpeed / 4.0f;
    ++m_nBounces;
    PlaySound("BallDown");
  }
  if (m_nBounces == 2) {
    SetState(State::Settling);
    CheckRows(true);
  }
}

void CBall::SettleFrame() {
  const float fStep = static_cast<float>(m_pContext->m_dwElapsed) * 0.0003f;
  D3DXVECTOR3 vPoint(m_fX, 0.0f, m_fY), vTilted, vEased;
  D3DXVec3TransformCoord(&vTilted, &vPoint, &m_matTilt);
  D3DXVec3TransformCoord(&vEased, &vPoint, &m_matEase);
  m_fHeight = vTilted.y - vEased.y;
  bool bMoved = false;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      float& fEase = m_matEase.m[r][c];
      const float fTarget = m_matTilt.m[r][c];
      if (fEase == fTarget) continue;
      const float fDifference = fTarget - fEase;
      if (fDifference >= fStep || -fDifference >= fStep) {
        fEase += fDifference > 0.0f ? fStep : -fStep;
        bMoved = true;
      } else {
        fEase = fTarget;
      }
    }
  }
  m_matTilt = m_matEase;
  if (bMoved) return;
  SetState(State::Resting);
  m_fHeight = 0.0f;
  D3DXMatrixIdentity(&m_matEase);
  for (auto& column : m_pContext->m_Board)
    for (INT& value : column)
      if (value == CELL_IN_RUN) value = CELL_REMOVING;
}

void CBall::RemovalFrame() {
  CGameContext* ctx = m_pContext;
  const float fElapsed = static_cast<float>(ctx->m_dwElapsed);
  const bool bSlow = ctx->m_nMoveMode > 2;
  if (!m_bGrowing) {
    m_fScale -= fElapsed * (bSlow ? 0.001f : 0.01f);
    if (m_fScale < 0.1f) {
      m_bGrowing = 1;
      PlaySound("ShortDelete");
    }
    return;
  }
  m_fScale += fElapsed * (bSlow ? 0.01f : 0.03f);
  if (m_fScale > 1.2f) {
    m_bDead = 1;
    OwnCell() = CELL_EMPTY;
    --ctx->m_nBallCount;
    DeleteDeviceObjects();
  }
}
