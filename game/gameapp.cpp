// Start-up and scene assembly, the device operations, the Escape table and clean-up.
#include "game/gameapp.h"

#include <cstdlib>
#include <string>

#include "engine/camera.h"
#include "engine/gamecontext.h"
#include "engine/listengine.h"
#include "engine/meshcache.h"
#include "engine/renderqueue.h"
#include "engine/samplecache.h"
#include "engine/texturecache.h"
#include "game/ball.h"
#include "game/environ.h"
#include "game/floor.h"
#include "game/intro.h"
#include "game/keys.h"
#include "game/mainmenu.h"
#include "game/mouse.h"
#include "game/options.h"
#include "game/scenepreloader.h"
#include "game/upmenu.h"
#include "platform/win32/kept_file.h"
#include "platform/win32/resources.h"
#include "shell/d3dfont.h"

const char LOG_FILE_NAME[] = "file.log";

namespace {

const DWORD kAmbient = 0x50505050;
const D3DXVECTOR3 kCameraEye(0.0f, 30.0f, -22.5f);

template <typename T>
void DeleteAndNull(T*& p) {
  delete p;
  p = nullptr;
}

}  // namespace

CGameApp::CGameApp(CGameContext* pContext) : m_pContext(pContext) {
  m_dwCreationWidth = 500;
  m_dwCreationHeight = 375;
  m_dwMinDepthBits = 24;
  std::string refusal;
  m_pLog = OpenLogFile(LOG_FILE_NAME, &refusal);
  if (m_pLog) {
    std::fputs("Start Execute: Begin Log File \n\n", m_pLog);
    std::fflush(m_pLog);
  } else {
    std::fprintf(stderr, "vantorel: %s %s; the game runs without its log\n", LOG_FILE_NAME, refusal.c_str());
  }
  m_strWindowTitle = "Vantorel";
  m_bUseDepthBuffer = TRUE;
  m_pFont = new CD3DFont("Arial", 12, FONT_BOLD);
  m_dwFrameCount = 0;
  m_dwLastStatsTime = m_pContext->m_dwTime;
  ReadSettings();
}

CGameApp::~CGameApp() {
  // Normally FinalCleanup has run; a start that failed early leaves these behind.
  DeleteAndNull(m_pFont);
  if (m_pLog) {
    std::fclose(m_pLog);
    m_pLog = nullptr;
  }
}

HRESULT CGameApp::ConfirmDevice(D3DCAPS8* pCaps, DWORD dwBehavior, D3DFORMAT) {
  if (dwBehavior & (D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MIXED_VERTEXPROCESSING)) {
    if (pCaps->VertexShaderVersion < D3DVS_VERSION(1, 0)) return E_FAIL;
  }
  return S_OK;
}

HRESULT CGameApp::OneTimeSceneInit() {
  m_pList = new CListEngine();
  m_pContext->m_pList = m_pList;
  m_pContext->m_pMeshCache = new CMeshCache();
  m_pContext->m_pLocalMeshCache = new CMeshCache();
  m_pContext->m_pTextureCache = new CTextureCache();
  m_pContext->m_pSampleCache = new CSampleCache();
  m_pContext->m_pRenderQueue = new CRenderQueue(m_pContext);
  return S_OK;
}

HRESULT CGameApp::InitScene() {
  CGameContext* c = m_pContext;
  c->m_pLog = m_pLog;
  c->m_dwWidth = m_BackBufferDesc.Width;
  c->m_dwHeight = m_BackBufferDesc.Height;
  c->m_pd3dDevice = m_pd3dDevice;

  LogDeviceCaps();
  c->Init(m_hWnd, m_hInstance);
  StartGame();
  SetSceneStates();

  m_pList->Add(new CMouse(c));
  m_pList->Add(new CKeys(c));
  CCamera* pCamera = new CCamera(c);
  pCamera->Activate();
  pCamera->SetEyeAt(kCameraEye.x, kCameraEye.y, kCameraEye.z, 0.0f, 0.0f, 0.0f);
  m_pList->Add(pCamera);
  c->m_pCamera = pCamera;
  m_pList->Add(new CFloor(c));
  m_pList->Add(new CEnviron(c));
  m_pList->Add(new CUpMenu(c));
  m_pList->Add(new CMainMenu(c));
  m_pList->Add(new COptions(c));
  LogResourceLibraryProblem();

  ToggleFullscreen();
  return S_OK;
}

void CGameApp::SetSceneStates() {
  if (!m_pd3dDevice) return;
  D3DCLIPSTATUS8 clip = {D3DCS_ALL, D3DCS_ALL};
  m_pd3dDevice->SetClipStatus(&clip);
  m_pd3dDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  m_pd3dDevice->SetRenderState(D3DRS_CLIPPING, FALSE);
  m_pd3dDevice->SetRenderState(D3DRS_LIGHTING, TRUE);
  m_pd3dDevice->SetRenderState(D3DRS_AMBIENT, kAmbient);
  if (m_pContext->m_bCapsMipMap) {
    m_pd3dDevice->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    m_pd3dDevice->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    if (m_pContext->m_bCapsMipLinear) m_pd3dDevice->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
  }
}

void CGameApp::Log(const char* strEntry) {
  if (!m_pLog) return;
  std::fputs(strEntry, m_pLog);
  std::fflush(m_pLog);
}

HRESULT CGameApp::LogDeviceCaps() {
  D3DCAPS8 caps = {};
  if (!m_pd3dDevice || FAILED(m_pd3dDevice->GetDeviceCaps(&caps))) return E_FAIL;
  CGameContext* c = m_pContext;
  Log(caps.DeviceType == D3DDEVTYPE_HAL ? "CAPS: DeviceType............D3DDEVTYPE_HAL\n"
                                            : "CAPS: DeviceType............D3DDEVTYPE_REF\n");
  Log((caps.Caps2 & D3DCAPS2_NO2DDURING3DSCENE) ? "CAPS: Render2D..............Can not render 2D\n"
                                                     : "CAPS: Render2D..............Can did render 2D\n");
  c->m_bCapsMipMap = (caps.TextureCaps & D3DPTEXTURECAPS_MIPMAP) ? 1 : 0;
  Log(c->m_bCapsMipMap ? "CAPS: MipMap................Supported\n" : "CAPS: MipMap................Unsupported\n");
  c->m_bCapsMipLinear = (caps.TextureFilterCaps & D3DPTFILTERCAPS_MIPFLINEAR) ? 1 : 0;
  Log(c->m_bCapsMipLinear ? "CAPS: MipMap Linear.........Supported\n"
                              : "CAPS: MipMap Linear.........Unsupported\n");
  Log((caps.RasterCaps & D3DPRASTERCAPS_ANTIALIASEDGES) ? "CAPS: Edge AntiAliasing.....Supported\n"
                                                             : "CAPS: Edge AntiAliasing.....Unsupported\n");
  if (caps.VertexShaderVersion == 0) {
    c->m_fVertexShaderVersion = 0.0f;
    Log("CAPS: VertexShader version..0.0\n");
    return S_OK;
  }
  const bool minorZero = (caps.VertexShaderVersion & 0xFF) == 0;
  c->m_fVertexShaderVersion = minorZero ? 1.0f : 1.1f;
  Log(minorZero ? "CAPS: VertexShader version..1.0\n" : "CAPS: VertexShader version..1.1\n");
  char line[64];
  std::snprintf(line, sizeof line, "CAPS: Max VSD constants.....%d\n", static_cast<int>(caps.MaxVertexShaderConst));
  Log(line);
  return S_OK;
}

// The scene has read its meshes by now; a library that could not be used is named
// once in the log with every path that was tried.
void CGameApp::LogResourceLibraryProblem() {
  char problem[512];
  if (GetResourceLibraryProblem(problem, sizeof problem) == 0) return;
  char entry[sizeof problem + 16];
  std::snprintf(entry, sizeof entry, "FAIL: %s!\n", problem);
  Log(entry);
}

HRESULT CGameApp::StartGame() {
  std::srand(GetTickCount());
  m_bShowStats = 0;
  m_pContext->m_bScaleCursor = 0;
  m_pContext->m_nColours = 7;
  m_pContext->m_bLeftButton = 0;
  m_pList->Add(new CIntro(m_pContext));
  m_pList->Add(new CScenePreloader(m_pContext));
  return S_OK;
}

HRESULT CGameApp::NewGame() {
  // The board rules run on a ball that never joins the scene.
  CBall* pBall = new CBall(m_pContext);
  pBall->NewBoard();
  pBall->DeleteDeviceObjects();
  delete pBall;
  return S_OK;
}

HRESULT CGameApp::OnEscapeKey() {
  DWORD& mode = m_pContext->m_dwMode;
  switch (mode) {
    case GAMEMODE_PLAY:
    case GAMEMODE_OPTIONS:
    case GAMEMODE_HELP:
      mode = GAMEMODE_MAINMENU;
      break;
    case GAMEMODE_MAINMENU:
      mode = GAMEMODE_PLAY;
      break;
    default:
      return S_OK;  // the intro, the opening flight, the records and the exit screen keep their mode
  }
  m_pContext->PlaySound("OptRedButton");
  return S_OK;
}

HRESULT CGameApp::OnDeactivate() {
  m_pContext->m_bInactive = 1;
  return S_OK;
}

HRESULT CGameApp::OnActivate() {
  m_pContext->m_bInactive = 0;
  return S_OK;
}

HRESULT CGameApp::InitDeviceObjects() { return m_pFont ? m_pFont->InitDeviceObjects(m_pd3dDevice) : S_OK; }

HRESULT CGameApp::RestoreDeviceObjects() {
  CGameContext* c = m_pContext;
  c->m_dwWidth = m_BackBufferDesc.Width;
  c->m_dwHeight = m_BackBufferDesc.Height;
  c->m_pd3dDevice = m_pd3dDevice;
  SetSceneStates();
  if (m_pFont) m_pFont->RestoreDeviceObjects();
  if (m_pList) m_pList->RestoreDeviceObjectsAll();
  if (c->m_bSound && c->m_pSong && FMUSIC_GetPaused(c->m_pSong)) FMUSIC_SetPaused(c->m_pSong, FALSE);
  c->m_dwTime = GetTickCount();
  return S_OK;
}

HRESULT CGameApp::InvalidateDeviceObjects() {
  CGameContext* c = m_pContext;
  if (c->m_bSound && c->m_pSong && !FMUSIC_GetPaused(c->m_pSong)) FMUSIC_SetPaused(c->m_pSong, TRUE);
  Sleep(100);
  if (m_pFont) m_pFont->InvalidateDeviceObjects();
  if (m_pList) m_pList->InvalidateDeviceObjectsAll();
  if (c->m_pLocalMeshCache) c->m_pLocalMeshCache->Clear();
  return S_OK;
}

HRESULT CGameApp::DeleteDeviceObjects() {
  CGameContext* c = m_pContext;
  if (m_pFont) m_pFont->DeleteDeviceObjects();
  if (m_pList) m_pList->DeleteDeviceObjectsAll();
  if (c->m_pMeshCache) c->m_pMeshCache->Clear();
  if (c->m_pTextureCache) c->m_pTextureCache->Clear();
  return S_OK;
}

HRESULT CGameApp::FinalCleanup() {
  DeleteAndNull(m_pFont);
  DestroyScene();
  WriteSettings();
  if (m_pLog) {
    std::fclose(m_pLog);
    m_pLog = nullptr;
  }
  m_pContext->m_pLog = nullptr;
  return S_OK;
}

HRESULT CGameApp::DestroyScene() {
  CGameContext* c = m_pContext;
  if (m_pList) {
    m_pList->DeleteAll();
    DeleteAndNull(m_pList);
  }
  c->m_pList = nullptr;
  c->m_pCamera = nullptr;
  c->m_pSelectedBall = nullptr;
  c->m_pBallHit = nullptr;
  if (c->m_pMeshCache) c->m_pMeshCache->Clear();
  DeleteAndNull(c->m_pMeshCache);
  if (c->m_pLocalMeshCache) c->m_pLocalMeshCache->Clear();
  DeleteAndNull(c->m_pLocalMeshCache);
  if (c->m_pTextureCache) c->m_pTextureCache->Clear();
  DeleteAndNull(c->m_pTextureCache);
  DeleteAndNull(c->m_pSampleCache);
  if (c->m_pRenderQueue) c->m_pRenderQueue->Clear();
  DeleteAndNull(c->m_pRenderQueue);
  c->Close();
  return S_OK;
}
