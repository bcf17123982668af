#include "game/environ.h"

#include <cstring>

#include "engine/gamecontext.h"
#include "engine/renderqueue.h"
#include "shell/d3dmesh.h"
#include "game/objectmesh.h"

namespace {

const char kMeshName[] = "Environ";
const char kEmptyName[] = "";
const DWORD kSkyLight = 18;
const int kCausticFrames = 32;
const float kCausticFramesPerMs = 0.02f;
const float kCausticCycleEnd = 31.5f;

// Names are built once: records keep only the pointer, so it must outlive the frame.
struct CausticNames {
  char names[kCausticFrames][8];
  CausticNames() {
    for (int k = 0; k < kCausticFrames; ++k) {
      std::memcpy(names[k], "Caust", 5);
      names[k][5] = static_cast<char>('0' + k / 10);
      names[k][6] = static_cast<char>('0' + k % 10);
      names[k][7] = '\0';
    }
  }
};
const CausticNames kCaustics;

struct SubsetLook {
  float r, g, b, a;
  BYTE bBlend;
};

// Subsets 0..5: caustics (added over what lies behind), walls, floor, border, ground, sky.
const SubsetLook kSubsets[] = {
    {0.2f, 0.4f, 0.5f, 1.0f, 1}, {0.9f, 0.9f, 0.9f, 1.0f, 0}, {0.7f, 0.7f, 0.7f, 1.0f, 0},
    {0.7f, 0.7f, 0.7f, 1.0f, 0}, {0.9f, 0.9f, 0.9f, 1.0f, 0}, {1.0f, 1.0f, 1.0f, 1.0f, 0},
};
const DWORD kSubsetCount = sizeof kSubsets / sizeof kSubsets[0];
const DWORD kSkySubset = 5;

}  // namespace

CEnviron::CEnviron(CGameContext* pContext) : CMyObject(pContext) {
  m_nOrder = static_cast<INT>(kSkyLight);
  m_dwModeMask = GAMEMODE_PLAY | GAMEMODE_FLYIN | GAMEMODE_MAINMENU | GAMEMODE_RECORDS;
  m_strType = "environ";
  m_bVisible = 1;
  m_bDead = 0;
  D3DXMatrixIdentity(&m_matWorld);
  m_pMesh = new CD3DMesh(pContext);
  LoadObjectMesh(pContext, m_pMesh, kMeshName);
  SetUpLight();
  // Its textures are loaded while the intro plays (CScenePreloader) or at first draw.
}

CEnviron::~CEnviron() {
  delete m_pMesh;
  m_pMesh = nullptr;
}

void CEnviron::SetUpLight() {
  std::memset(&m_Light, 0, sizeof m_Light);
  m_Light.Type = D3DLIGHT_POINT;
  m_Light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
  m_Light.Ambient = {1.0f, 1.0f, 1.0f, 0.0f};
  m_Light.Range = 1000.0f;
  m_Light.Attenuation0 = 1.0f;
  if (m_pContext && m_pContext->m_pd3dDevice) m_pContext->m_pd3dDevice->SetLight(kSkyLight, &m_Light);
}

const char* CEnviron::GetCausticName() const {
  if (!(m_fCausticFrame >= 0.0f)) return kEmptyName;
  const int k = static_cast<int>(m_fCausticFrame);
  return k < kCausticFrames ? kCaustics.names[k] : kEmptyName;
}

HRESULT CEnviron::FrameMove() {
  if (!m_pContext) return S_OK;
  m_fCausticFrame += static_cast<float>(m_pContext->m_dwElapsed) * kCausticFramesPerMs;
  // A long frame restarts the cycle rather than carrying the excess over.
  if (m_fCausticFrame > kCausticCycleEnd) m_fCausticFrame = 0.0f;
  return S_OK;
}

HRESULT CEnviron::Render() {
  if (!m_pContext || !m_pContext->m_bEnviron || !m_pMesh || !m_pContext->m_pRenderQueue) return S_OK;
  D3DXMatrixIdentity(&m_matWorld);
  RenderItem& item = m_pContext->m_RenderItem;
  for (DWORD i = 0; i < m_pMesh->m_dwNumSubMeshes; ++i) {
    std::memset(&m_Material, 0, sizeof m_Material);
    item.Reset();
    const char* strTexture = kEmptyName;
    BYTE bBlend = 0;
    if (i < kSubsetCount) {
      const SubsetLook& look = kSubsets[i];
      m_Material.Diffuse = {look.r, look.g, look.b, look.a};
      m_Material.Ambient = m_Material.Diffuse;
      bBlend = look.bBlend;
      static const char* const kTextures[] = {nullptr, "WallWall", "FloorWall", "BordurWall", nullptr, "SkyEnviron"};
      if (i == 0)
        strTexture = GetCausticName();
      else if (i == 4)
        strTexture = m_pContext->m_bHiRes ? "GroundEnvHi" : "GroundEnvLow00";
      else
        strTexture = kTextures[i];
    }
    item.m_bQuad = 0;
    item.m_bNoDepth = 0;
    item.m_bBlend = bBlend;
    if (bBlend) {
      item.m_dwSrcBlend = D3DBLEND_ONE;
      item.m_dwDestBlend = D3DBLEND_SRCCOLOR;
    }
    item.m_matWorld = m_matWorld;
    item.m_strTexture = strTexture;
    item.m_bColorKey = 0;
    item.m_Material = m_Material;
    item.m_dwLight = i == kSkySubset ? kSkyLight : m_pContext->m_dwLightIndex;
    item.m_pMesh = m_pMesh->m_ppSubMeshes ? m_pMesh->m_ppSubMeshes[i] : nullptr;
    item.m_dwStride = m_pMesh->m_dwStride;
    m_pContext->m_pRenderQueue->Add(item);
  }
  return S_OK;
}

HRESULT CEnviron::RestoreDeviceObjects() {
  SetUpLight();
  RestoreObjectMesh(m_pContext, m_pMesh, kMeshName);
  return S_OK;
}

HRESULT CEnviron::InvalidateDeviceObjects() {
  if (m_pMesh) m_pMesh->InvalidateDeviceObjects();
  return S_OK;
}

HRESULT CEnviron::DeleteDeviceObjects() {
  if (m_pMesh) m_pMesh->Destroy();
  return S_OK;
}
