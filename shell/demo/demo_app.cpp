#include "shell/demo/demo_app.h"

#include <cmath>
#include <cstring>

#include "engine/meshcache.h"
#include "engine/renderqueue.h"
#include "engine/samplecache.h"
#include "engine/texturecache.h"
#include "shell/d3dfont.h"
#include "shell/d3dmesh.h"

namespace {

const char kResLib[] = "res.dll";
const DWORD kSceneLight = 19;  // directional, for everything but the sky
const DWORD kSkyLight = 18;    // point light at the origin, for the sky only
const float kCell = 1.1f;      // distance between cell centres

struct DemoBall {
  int nCellX, nCellY, nColour;
};
const DemoBall kBalls[] = {{4, 4, 1}, {2, 6, 2}, {5, 1, 3}, {6, 6, 4}, {1, 3, 5}, {7, 2, 6}, {3, 7, 7},
                           {0, 8, 1}, {8, 0, 5}, {5, 5, 2}, {3, 4, 4}};
const int kHoppingBall = 0;

const float kBallColours[8][3] = {{0, 0, 0},       {1, 0.3f, 0.3f}, {0.3f, 1, 0.3f}, {0.3f, 0.3f, 1},
                                  {1, 1, 0.3f},    {1, 0.3f, 1},    {0.3f, 1, 1},    {1, 1, 1}};

D3DMATERIAL8 Material(float r, float g, float b) {
  D3DMATERIAL8 m;
  std::memset(&m, 0, sizeof m);
  m.Diffuse.r = m.Ambient.r = r;
  m.Diffuse.g = m.Ambient.g = g;
  m.Diffuse.b = m.Ambient.b = b;
  m.Diffuse.a = m.Ambient.a = 1.0f;
  return m;
}

D3DLIGHT8 SceneLight() {
  D3DLIGHT8 light;
  std::memset(&light, 0, sizeof light);
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse.r = light.Diffuse.g = light.Diffuse.b = 1.0f;
  D3DXVECTOR3 direction(0.3f, -1.0f, 0.3f);
  D3DXVec3Normalize(&direction, &direction);
  light.Direction = direction;
  light.Range = 1000.0f;
  return light;
}

D3DLIGHT8 SkyLight() {
  D3DLIGHT8 light;
  std::memset(&light, 0, sizeof light);
  light.Type = D3DLIGHT_POINT;
  light.Diffuse.r = light.Diffuse.g = light.Diffuse.b = 1.0f;
  light.Ambient.r = light.Ambient.g = light.Ambient.b = 1.0f;
  light.Range = 1000.0f;
  light.Attenuation0 = 1.0f;
  return light;
}

// The caustic texture of a frame 0..31.
const char* CausticName(int nFrame) {
  static char names[32][8];
  if (nFrame < 0 || nFrame > 31) return "";
  if (!names[nFrame][0]) std::snprintf(names[nFrame], sizeof names[nFrame], "Caust%02d", nFrame);
  return names[nFrame];
}

template <typename T>
void Delete(T*& p) {
  delete p;
  p = nullptr;
}

}  // namespace

CDemoApp::CDemoApp() {
  m_strWindowTitle = "Vantorel";
  m_dwCreationWidth = 800;
  m_dwCreationHeight = 600;
  m_bUseDepthBuffer = TRUE;
  m_dwMinDepthBits = 16;
  // Mesh failures go to the log, which nobody reads in the demo: standard error will do.
  m_pContextLog = stderr;
}

CDemoApp::~CDemoApp() { FreeScene(); }

HRESULT CDemoApp::OneTimeSceneInit() {
  m_Context.m_pLog = m_pContextLog;
  m_Context.m_strResLib = kResLib;
  m_Context.m_pMeshCache = new CMeshCache();
  m_Context.m_pLocalMeshCache = new CMeshCache();
  m_Context.m_pTextureCache = new CTextureCache();
  m_Context.m_pSampleCache = new CSampleCache();
  m_Context.m_pRenderQueue = new CRenderQueue(&m_Context);
  m_pFont = new CD3DFont("Arial", 12, FONT_BOLD);
  return S_OK;
}

HRESULT CDemoApp::InitDeviceObjects() {
  m_Context.m_pd3dDevice = m_pd3dDevice;
  return m_pFont->InitDeviceObjects(m_pd3dDevice);
}

HRESULT CDemoApp::InitScene() {
  m_Context.m_pd3dDevice = m_pd3dDevice;
  m_Context.m_bCapsMipMap = (m_d3dCaps.TextureCaps & D3DPTEXTURECAPS_MIPMAP) ? 1 : 0;
  m_Context.m_bCapsMipLinear = (m_d3dCaps.TextureFilterCaps & D3DPTFILTERCAPS_MIPFLINEAR) ? 1 : 0;
  m_Context.m_dwLightIndex = kSceneLight;
  LoadMeshes();
  PreloadTextures();
  SetDeviceStates();
  m_dwStart = m_dwLastTime = m_dwLastStats = GetTickCount();
  return ToggleFullscreen();
}

void CDemoApp::LoadMeshes() {
  struct Slot {
    CD3DMesh** ppMesh;
    const char* strName;
  } slots[] = {{&m_pBall, "SPHERE1"}, {&m_pFloor, "PlateFloor"}, {&m_pEnviron, "Environ"}};
  for (Slot& slot : slots) {
    if (!*slot.ppMesh) *slot.ppMesh = new CD3DMesh(&m_Context);
    CD3DMesh* pMesh = *slot.ppMesh;
    if (pMesh->GetSysMemMesh())
      pMesh->RestoreDeviceObjects(m_pd3dDevice);
    else
      pMesh->CreateFromResource(m_pd3dDevice, kResLib, slot.strName, m_pContextLog);
  }
}

// The render queue would load each texture on first use; the 32 caustic frames would
// then arrive one per animation step and stutter through the first cycle.
void CDemoApp::PreloadTextures() {
  static const char* const kNames[] = {"BallTex",   "TexPlace00", "PlateFloor01", "WallWall",
                                       "FloorWall", "BordurWall", "GroundEnvHi",  "SkyEnviron"};
  for (const char* strName : kNames) m_Context.LoadTexture(strName, 0xFF000000, 0);
  for (int nFrame = 0; nFrame < 32; ++nFrame) m_Context.LoadTexture(CausticName(nFrame), 0xFF000000, 0);
}

HRESULT CDemoApp::RestoreDeviceObjects() {
  m_Context.m_pd3dDevice = m_pd3dDevice;
  m_Context.m_dwWidth = m_BackBufferDesc.Width;
  m_Context.m_dwHeight = m_BackBufferDesc.Height;
  m_pFont->RestoreDeviceObjects();
  // Before InitScene there is no scene yet; afterwards every restore brings it back.
  if (m_pBall) LoadMeshes();
  SetDeviceStates();
  return S_OK;
}

void CDemoApp::SetDeviceStates() {
  m_pd3dDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  m_pd3dDevice->SetRenderState(D3DRS_LIGHTING, TRUE);
  m_pd3dDevice->SetRenderState(D3DRS_ZENABLE, TRUE);
  m_pd3dDevice->SetRenderState(D3DRS_AMBIENT, 0x50505050);
  if (m_Context.m_bCapsMipMap) {
    m_pd3dDevice->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    m_pd3dDevice->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    if (m_Context.m_bCapsMipLinear) m_pd3dDevice->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
  }
  const D3DLIGHT8 scene = SceneLight();
  const D3DLIGHT8 sky = SkyLight();
  m_pd3dDevice->SetLight(kSceneLight, &scene);
  m_pd3dDevice->SetLight(kSkyLight, &sky);
  SetCamera();
}

// A slow circle above the board, a little closer than the game's start view.
void CDemoApp::SetCamera() {
  const float fAngle = m_fSeconds * 0.12f;
  const D3DXVECTOR3 eye(13.0f * std::sin(fAngle), 11.0f, -13.0f * std::cos(fAngle));
  const D3DXVECTOR3 at(0.0f, -0.5f, 0.0f);
  const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
  D3DXMatrixLookAtLH(&m_Context.m_matView, &eye, &at, &up);
  const float fAspect = m_BackBufferDesc.Height
                            ? static_cast<float>(m_BackBufferDesc.Width) / static_cast<float>(m_BackBufferDesc.Height)
                            : 4.0f / 3.0f;
  D3DXMatrixPerspectiveFovLH(&m_Context.m_matProj, D3DX_PI / 4, fAspect, 1.0f, 1000.0f);
  m_Context.m_vEye = eye;
  m_pd3dDevice->SetTransform(D3DTS_VIEW, &m_Context.m_matView);
  m_pd3dDevice->SetTransform(D3DTS_PROJECTION, &m_Context.m_matProj);
}

HRESULT CDemoApp::FrameMove() {
  const DWORD dwNow = GetTickCount();
  const DWORD dwElapsed = dwNow - m_dwLastTime;
  m_dwLastTime = dwNow;
  m_fSeconds = static_cast<float>(dwNow - m_dwStart) * 0.001f;
  m_fCausticFrame += static_cast<float>(dwElapsed) * 0.02f;
  if (m_fCausticFrame > 31.5f) m_fCausticFrame = 0.0f;

  ++m_dwFrames;
  if (dwNow - m_dwLastStats >= 500) {
    const float fFps = static_cast<float>(m_dwFrames) * 1000.0f / static_cast<float>(dwNow - m_dwLastStats);
    std::snprintf(m_szStats, sizeof m_szStats, "%.2f fps (%lux%lu)", static_cast<double>(fFps),
                  static_cast<unsigned long>(m_BackBufferDesc.Width),
                  static_cast<unsigned long>(m_BackBufferDesc.Height));
    m_dwFrames = 0;
    m_dwLastStats = dwNow;
  }
  SetCamera();
  return S_OK;
}

void CDemoApp::QueueMesh(CD3DMesh* pMesh, DWORD dwSubset, const D3DXMATRIX& matWorld, const char* strTexture,
                         const D3DMATERIAL8& material, DWORD dwLight, bool bBlend) {
  if (!pMesh || dwSubset >= pMesh->m_dwNumSubMeshes) return;
  RenderItem& item = m_Context.m_RenderItem;
  item.Reset();
  item.m_matWorld = matWorld;
  item.m_strTexture = strTexture;
  item.m_Material = material;
  item.m_dwLight = dwLight;
  item.m_pMesh = pMesh->m_ppSubMeshes[dwSubset];
  item.m_dwStride = pMesh->m_dwStride;
  if (bBlend) {
    item.m_bBlend = 1;
    item.m_dwSrcBlend = D3DBLEND_ONE;
    item.m_dwDestBlend = D3DBLEND_SRCCOLOR;
  }
  m_Context.m_pRenderQueue->Add(item);
}

// The room: caustics (blended), walls, pool floor, border, ground, and the sky under its own light.
void CDemoApp::QueueEnviron() {
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  QueueMesh(m_pEnviron, 0, identity, CausticName(static_cast<int>(m_fCausticFrame)), Material(0.2f, 0.4f, 0.5f),
            kSceneLight, true);
  QueueMesh(m_pEnviron, 1, identity, "WallWall", Material(0.9f, 0.9f, 0.9f), kSceneLight, false);
  QueueMesh(m_pEnviron, 2, identity, "FloorWall", Material(0.7f, 0.7f, 0.7f), kSceneLight, false);
  QueueMesh(m_pEnviron, 3, identity, "BordurWall", Material(0.7f, 0.7f, 0.7f), kSceneLight, false);
  QueueMesh(m_pEnviron, 4, identity, "GroundEnvHi", Material(0.9f, 0.9f, 0.9f), kSceneLight, false);
  QueueMesh(m_pEnviron, 5, identity, "SkyEnviron", Material(1.0f, 1.0f, 1.0f), kSkyLight, false);
}

void CDemoApp::QueueFloor() {
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  QueueMesh(m_pFloor, 0, identity, "TexPlace00", Material(0.6f, 0.6f, 0.6f), kSceneLight, false);
  QueueMesh(m_pFloor, 2, identity, "PlateFloor01", Material(0.5f, 0.5f, 0.7f), kSceneLight, false);
}

void CDemoApp::QueueBalls() {
  for (int i = 0; i < static_cast<int>(sizeof kBalls / sizeof kBalls[0]); ++i) {
    const DemoBall& ball = kBalls[i];
    // The selected ball hops as it does in the game.
    const float fHop = i == kHoppingBall ? 0.6f * std::fabs(std::sin(m_fSeconds * 4.0f)) : 0.0f;
    D3DXMATRIX world;
    D3DXMatrixTranslation(&world, (static_cast<float>(ball.nCellX) - 4.0f) * kCell, fHop,
                          (static_cast<float>(ball.nCellY) - 4.0f) * kCell);
    const float* c = kBallColours[ball.nColour];
    QueueMesh(m_pBall, 0, world, "BallTex", Material(c[0], c[1], c[2]), kSceneLight, false);
  }
}

void CDemoApp::DrawStats() {
  if (m_szStats[0]) m_pFont->DrawText(2, 0, D3DCOLOR_ARGB(255, 255, 255, 0), m_szStats);
  m_pFont->DrawText(2, static_cast<FLOAT>(m_BackBufferDesc.Height) - 18.0f, D3DCOLOR_ARGB(255, 255, 255, 255),
                    "Escape: quit   Space: minimise   Alt+Enter: window / full screen");
}

HRESULT CDemoApp::Render() {
  m_pd3dDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_ARGB(255, 40, 70, 110), 1.0f, 0);
  if (FAILED(m_pd3dDevice->BeginScene())) return S_OK;
  QueueEnviron();
  QueueFloor();
  QueueBalls();
  m_Context.m_pRenderQueue->Draw();
  m_Context.m_pRenderQueue->Clear();
  DrawStats();
  m_pd3dDevice->EndScene();
  return S_OK;
}

HRESULT CDemoApp::InvalidateDeviceObjects() {
  m_pFont->InvalidateDeviceObjects();
  for (CD3DMesh* pMesh : {m_pBall, m_pFloor, m_pEnviron})
    if (pMesh) pMesh->InvalidateDeviceObjects();
  m_Context.m_pLocalMeshCache->Clear();
  return S_OK;
}

HRESULT CDemoApp::DeleteDeviceObjects() {
  m_pFont->DeleteDeviceObjects();
  for (CD3DMesh* pMesh : {m_pBall, m_pFloor, m_pEnviron})
    if (pMesh) pMesh->Destroy();
  m_Context.m_pMeshCache->Clear();
  m_Context.m_pTextureCache->Clear();
  return S_OK;
}

HRESULT CDemoApp::FinalCleanup() {
  FreeScene();
  return S_OK;
}

HRESULT CDemoApp::OnEscapeKey() {
  PostMessage(m_hWnd, WM_CLOSE, 0, 0);
  return S_OK;
}

void CDemoApp::FreeScene() {
  Delete(m_pBall);
  Delete(m_pFloor);
  Delete(m_pEnviron);
  Delete(m_pFont);
  for (CMeshCache* pCache : {m_Context.m_pLocalMeshCache, m_Context.m_pMeshCache})
    if (pCache) pCache->Clear();
  Delete(m_Context.m_pLocalMeshCache);
  Delete(m_Context.m_pMeshCache);
  if (m_Context.m_pTextureCache) m_Context.m_pTextureCache->Clear();
  Delete(m_Context.m_pTextureCache);
  Delete(m_Context.m_pSampleCache);
  Delete(m_Context.m_pRenderQueue);
  m_Context.m_pd3dDevice = nullptr;
}
