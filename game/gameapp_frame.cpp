// The frame: clock, the scene list's walks, statistics, the random music and the
// requests that scene objects raise, served once per frame in a fixed order.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/gamecontext.h"
#include "engine/listengine.h"
#include "engine/renderqueue.h"
#include "game/ball.h"
#include "game/gameapp.h"
#include "game/records.h"
#include "shell/d3dfont.h"
#include "shell/resource.h"

namespace {

const DWORD kStatsPeriodMs = 1000;
const D3DCOLOR kClearColor = 0x0070C0FF;
const char* const kRotationSongs[] = {"GameFone1", "GameFone2", "GameFone3"};

const char* DepthFormatText(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_D16: return " (D16)";
    case D3DFMT_D15S1: return " (D15S1)";
    case D3DFMT_D24X8: return " (D24X8)";
    case D3DFMT_D24S8: return " (D24S8)";
    case D3DFMT_D24X4S4: return " (D24X4S4)";
    case D3DFMT_D32: return " (D32)";
    default: return "";
  }
}

}  // namespace

HRESULT CGameApp::FrameMove() {
  CGameContext* c = m_pContext;
  c->m_dwWidth = m_BackBufferDesc.Width;
  c->m_dwHeight = m_BackBufferDesc.Height;
  if (c->m_bReacquireMouse) {
    c->AcquireDevice(c->m_pMouse);
    c->m_bReacquireMouse = 0;
  }
  const DWORD now = GetTickCount();
  c->m_dwElapsed = now - c->m_dwTime;  // unsigned: right across the tick's wrap
  c->m_dwTime = now;
  if (m_pList && m_pList->Count() != 0) m_pList->FrameMoveAll();

  if (c->m_dwTime - m_dwLastStatsTime > kStatsPeriodMs) {
    UpdateStats();
    RotateMusic();
  }
  ++m_dwFrameCount;
  ServeRequests();
  return S_OK;
}

void CGameApp::UpdateStats() {
  CGameContext* c = m_pContext;
  m_fFPS = static_cast<FLOAT>(m_dwFrameCount) / static_cast<FLOAT>(c->m_dwTime - m_dwLastStatsTime) * 1000.0f;
  m_dwLastStatsTime = c->m_dwTime;
  m_dwFrameCount = 0;

  const D3DAdapterInfo& adapter = m_Adapters[m_dwAdapter];
  const D3DDeviceInfo& device = adapter.devices[adapter.dwCurrentDevice];
  const D3DModeInfo& mode = device.modes[device.dwCurrentMode];
  int removing = 0;
  for (const auto& column : c->m_Board)
    for (INT cell : column) removing += cell == CELL_REMOVING;
  char text[128];
  std::snprintf(text, sizeof text, "%.02f fps (%ux%ux%d)%s c81:%d", m_fFPS, static_cast<unsigned>(m_BackBufferDesc.Width),
                static_cast<unsigned>(m_BackBufferDesc.Height), mode.Format == D3DFMT_X8R8G8B8 ? 32 : 16,
                DepthFormatText(mode.DepthStencilFormat), removing);
  // The field holds 39 characters; a longer text is cut.
  std::strncpy(m_szFrameStats, text, sizeof m_szFrameStats - 1);
  m_szFrameStats[sizeof m_szFrameStats - 1] = '\0';
}

// In random-music mode a finished song is followed by a random one of three. A song
// that cannot be loaded leaves the current one in place, which then plays again;
// only with no song at all does the music stop for the rest of the run.
void CGameApp::RotateMusic() {
  CGameContext* c = m_pContext;
  if (c->m_nMusType != 0 || !c->m_bSound || !c->m_pSong || !FMUSIC_IsFinished(c->m_pSong)) return;
  const int r = std::rand() % 3;
  FMUSIC_StopSong(c->m_pSong);
  c->LoadSong(kRotationSongs[r], &c->m_pSong);
  if (!c->m_pSong) {
    c->m_bSound = 0;
    return;
  }
  FMUSIC_SetLooping(c->m_pSong, FALSE);
  FMUSIC_SetMasterVolume(c->m_pSong, c->m_nMusVolume);
  FMUSIC_PlaySong(c->m_pSong);
}

void CGameApp::ServeRequests() {
  CGameContext* c = m_pContext;
  if (c->m_bQuitRequest) {
    // The window closes once; the flag may be raised again before it is gone.
    if (!m_bClosePosted && c->m_hWnd) PostMessage(c->m_hWnd, WM_CLOSE, 0, 0);
    m_bClosePosted = 1;
    c->m_bQuitRequest = 0;
  }
  if (c->m_bModeChangeRequest) {
    m_dwCreationWidth = c->m_dwNewWidth;
    m_dwCreationHeight = c->m_dwNewHeight;
    PostMessage(c->m_hWnd, WM_COMMAND, IDM_CHANGETOCREATIONMODE, 0);
    c->m_bModeChangeRequest = 0;
  }
  if (c->m_bNewGameRequest) {
    NewGame();
    c->m_bNewGameRequest = 0;
  }
  if (c->m_bGameOverRequest) {
    OpenRecordsScreen();
    c->m_bGameOverRequest = 0;
  }
  if (c->m_bUndoRequest) ApplyUndo();
  if (c->m_bRebuildBalls) {
    RebuildBalls();
    c->m_bRebuildBalls = 0;
  }
}

void CGameApp::OpenRecordsScreen() {
  CGameContext* c = m_pContext;
  c->m_dwMode = GAMEMODE_RECORDS;
  c->m_dwRecordsState = 1;
  c->m_dwEditRow = RECORD_ROWS;
  m_pList->Add(new CRecords(c));
}

// The balls that differ from the snapshot have removed themselves in this frame's
// update walk; the rest is done here, on a ball that never joins the scene.
void CGameApp::ApplyUndo() {
  CBall* pBall = new CBall(m_pContext);
  pBall->ApplyUndo();
  pBall->DeleteDeviceObjects();
  delete pBall;
}

void CGameApp::RebuildBalls() {
  CBall* pBall = new CBall(m_pContext);
  pBall->RebuildBalls();
  pBall->DeleteDeviceObjects();
  delete pBall;
}

HRESULT CGameApp::Render() {
  CGameContext* c = m_pContext;
  m_pd3dDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClearColor, 1.0f, 0);
  if (FAILED(m_pd3dDevice->BeginScene())) return S_OK;
  m_pd3dDevice->SetRenderState(D3DRS_ZENABLE, TRUE);
  m_pd3dDevice->SetTransform(D3DTS_VIEW, &c->m_matView);
  m_pd3dDevice->SetTransform(D3DTS_PROJECTION, &c->m_matProj);
  if (m_pList) m_pList->RenderAll();
  if (c->m_pRenderQueue) {
    c->m_pRenderQueue->Draw();
    c->m_pRenderQueue->Clear();
  }
  if (m_bShowStats && m_pFont) m_pFont->DrawText(2, 0, 0xFFFFFF00, m_szFrameStats);
  m_pd3dDevice->EndScene();
  return S_OK;
}

HRESULT CGameApp::OnMinimizeKey() {
  CGameContext* c = m_pContext;
  // While a record name is typed the space is a character of it.
  if (c->m_dwMode == GAMEMODE_RECORDS && c->m_dwRecordsState == 0) return E_FAIL;
  if (c->m_bSound && c->m_pSong) FMUSIC_SetPaused(c->m_pSong, TRUE);
  return S_OK;
}
