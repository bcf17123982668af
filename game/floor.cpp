#include "game/floor.h"

#include <cmath>
#include <cstring>

#include "engine/gamecontext.h"
#include "engine/renderqueue.h"
#include "platform/xfile/d3dx8mesh.h"
#include "shell/d3dmesh.h"
#include "game/objectmesh.h"

namespace {

const char kFloorMesh[] = "PlateFloor";
const DWORD kFloorLight = 19;
const float kCellPitch = 1.1f;
const float kBoxTop = 0.37f;
const float kBoxBottom = 0.35f;
const float kBoxHalf = 0.5f;
const float kNoHit = 1000.0f;
const int kTextureCount = 5;

// "TexPlace00".."TexPlace04" or "TexFloor00".."TexFloor04"; any other index: no texture.
const char* FloorTexture(bool bPlates, int nIndex) {
  static const char* const kPlates[kTextureCount] = {"TexPlace00", "TexPlace01", "TexPlace02", "TexPlace03",
                                                     "TexPlace04"};
  static const char* const kFloors[kTextureCount] = {"TexFloor00", "TexFloor01", "TexFloor02", "TexFloor03",
                                                     "TexFloor04"};
  if (nIndex < 0 || nIndex >= kTextureCount) return "";
  return bPlates ? kPlates[nIndex] : kFloors[nIndex];
}

}  // namespace

CFloor::CFloor(CGameContext* pContext) : CMyObject(pContext) {
  m_nOrder = static_cast<INT>(kFloorLight);
  m_dwModeMask = GAMEMODE_PLAY | GAMEMODE_FLYIN | GAMEMODE_MAINMENU | GAMEMODE_RECORDS;
  m_strType = "floor";
  m_bVisible = 1;
  m_bDead = 0;
  D3DXMatrixIdentity(&m_matBoard);
  for (int i = 0; i < BOARD_SIZE; ++i) {
    for (int j = 0; j < BOARD_SIZE; ++j) {
      const float cx = static_cast<float>(i - 4) * kCellPitch;
      const float cz = static_cast<float>(j - 4) * kCellPitch;
      m_ModelBoxes[i][j].m_vMin = D3DXVECTOR3(cx - kBoxHalf, kBoxBottom, cz - kBoxHalf);
      m_ModelBoxes[i][j].m_vMax = D3DXVECTOR3(cx + kBoxHalf, kBoxTop, cz + kBoxHalf);
      m_Boxes[i][j] = m_ModelBoxes[i][j];
    }
  }
  m_pMesh = new CD3DMesh(pContext);
  LoadObjectMesh(pContext, m_pMesh, kFloorMesh);
  SetUpLight();
  FillMaterial(&m_Material, 0.5f, 0.5f, 0.7f);
}

CFloor::~CFloor() {
  delete m_pMesh;
  m_pMesh = nullptr;
}

void CFloor::SetUpLight() {
  FillDirectionalLight(&m_Light, 1.0f, 0.3f, -1.0f, 0.3f);
  if (!m_pContext) return;
  if (m_pContext->m_pd3dDevice) m_pContext->m_pd3dDevice->SetLight(kFloorLight, &m_Light);
  m_pContext->m_dwLightIndex = kFloorLight;
}

HRESULT CFloor::FrameMove() {
  if (!m_pContext) return S_OK;
  CGameContext* ctx = m_pContext;
  // A hit found last frame that no ball has cancelled since stands.
  if (ctx->m_bCellHit) ctx->m_bCellConfirmed = 1;
  if (ctx->m_bPickRequest && !ctx->m_pBallHit) PickCell();

  if (!ctx->m_bInactive && ctx->m_bPlateMov) {
    const float fElapsed = static_cast<float>(ctx->m_dwElapsed);
    m_fWobbleX += fElapsed * 0.001f;
    m_fWobbleZ += fElapsed * 0.0015f;
  }
  D3DXMatrixIdentity(&m_matBoard);
  if (ctx->m_bPlateMov) {
    D3DXMATRIX matX, matZ;
    D3DXMatrixRotationX(&matX, std::sin(m_fWobbleX) / 20.0f);
    D3DXMatrixRotationZ(&matZ, std::cos(m_fWobbleZ) / 20.0f);
    m_matBoard = m_matBoard * matX * matZ;
  }
  ctx->m_matBoard = m_matBoard;
  return S_OK;
}

// The boxes follow the board matrix of the previous frame, as the balls drawn there did.
void CFloor::PickCell() {
  CGameContext* ctx = m_pContext;
  D3DXVECTOR3 vDirection, vOrigin;
  ctx->GetPickRay(&vDirection, &vOrigin);
  for (int i = 0; i < BOARD_SIZE; ++i) {
    for (int j = 0; j < BOARD_SIZE; ++j) {
      CellBox& box = m_Boxes[i][j];
      D3DXVec3TransformCoord(&box.m_vMin, &m_ModelBoxes[i][j].m_vMin, &m_matBoard);
      D3DXVec3TransformCoord(&box.m_vMax, &m_ModelBoxes[i][j].m_vMax, &m_matBoard);
      if (!D3DXBoxBoundProbe(&box.m_vMin, &box.m_vMax, &vOrigin, &vDirection)) continue;
      D3DXVECTOR3 vToEye = (box.m_vMin + box.m_vMax) * 0.5f - ctx->m_vEye;
      const float fDistance = FastSqrt(D3DXVec3Dot(&vToEye, &vToEye));
      if (fDistance < ctx->m_fCellHitDist) {
        ctx->m_fCellHitDist = fDistance;
        ctx->m_bCellHit = 1;
        ctx->m_nPickCellX = i;
        ctx->m_nPickCellY = j;
      }
    }
  }
}

const char* CFloor::SurfaceTexture(const CGameContext* pContext) {
  return FloorTexture(pContext->m_bFloorType == 0, pContext->m_nFloorTex);
}

HRESULT CFloor::Render() {
  if (!m_pContext || !m_pContext->m_pRenderQueue || !m_pMesh || !m_pMesh->m_ppSubMeshes) return S_OK;
  CGameContext* ctx = m_pContext;
  D3DXMATRIX matWorld;
  D3DXMatrixScaling(&matWorld, 1.0f, 1.0f, 1.0f);
  if (ctx->m_bPlateMov) matWorld = matWorld * m_matBoard;
  m_matWorld = matWorld;

  // Sub-mesh 0 holds the plates, 1 the plain floor, 2 the board's frame.
  const DWORD dwDrawn = m_pMesh->m_dwNumSubMeshes < 3 ? m_pMesh->m_dwNumSubMeshes : 3;
  for (DWORD i = 0; i < dwDrawn; ++i) {
    RenderItem& item = ctx->m_RenderItem;
    item.Reset();
    std::memset(&m_Material, 0, sizeof m_Material);
    const char* strTexture = "";
    bool bQueue = false;
    if (i == 0) {
      strTexture = FloorTexture(true, ctx->m_nFloorTex);
      FillMaterial(&m_Material, 0.6f, 0.6f, 0.6f);
      bQueue = ctx->m_bFloorType == 0;
    } else if (i == 1) {
      strTexture = FloorTexture(false, ctx->m_nFloorTex);
      FillMaterial(&m_Material, 0.6f, 0.6f, 0.6f);
      bQueue = ctx->m_bFloorType != 0;
    } else {
      strTexture = "PlateFloor01";
      FillMaterial(&m_Material, 0.5f, 0.5f, 0.7f);
      bQueue = true;
    }
    if (!bQueue) continue;
    item.m_bQuad = 0;
    item.m_bNoDepth = 0;
    item.m_bBlend = 0;
    item.m_matWorld = matWorld;
    item.m_strTexture = strTexture;
    item.m_Material = m_Material;
    item.m_dwLight = kFloorLight;
    item.m_pMesh = m_pMesh->m_ppSubMeshes[i];
    item.m_dwStride = m_pMesh->m_dwStride;
    ctx->m_pRenderQueue->Add(item);
  }
  return S_OK;
}

HRESULT CFloor::InvalidateDeviceObjects() {
  if (m_pMesh) m_pMesh->InvalidateDeviceObjects();
  return S_OK;
}

HRESULT CFloor::RestoreDeviceObjects() {
  if (!m_pContext) return S_OK;
  if (RestoreObjectMesh(m_pContext, m_pMesh, kFloorMesh)) m_pMesh->SetMaterial(0, m_Material);
  SetUpLight();
  return S_OK;
}

HRESULT CFloor::DeleteDeviceObjects() {
  if (m_pMesh) m_pMesh->Destroy();
  return S_OK;
}
