#include "game/upmenu.h"

#include <cstring>

#include "engine/gamecontext.h"
#include "engine/renderqueue.h"

namespace {

const D3DCOLOR kBarColour = 0xFF222266;
const D3DCOLOR kDigitColour = 0xFFAAAAAA;
const D3DCOLOR kIconColour = 0xFFCCCCCC;
const FLOAT kBarDepth = 0.7f, kDigitDepth = 0.6f, kIconDepth = 0.5f;
const FLOAT kFoldSpeed = 0.3f;  // percent per millisecond: a whole fold in about 333 ms

const char kDigitSheet[] = "UpMenuNums";
const char kHintSheet[] = "Podskazka";

void QueueQuads(CGameContext* c, const char* strTexture, BYTE bBlend, DWORD dwDestBlend,
                IDirect3DVertexBuffer8* pVB, DWORD dwPrimCount) {
  RenderItem& item = c->m_RenderItem;
  item.m_bQuad = 1;
  item.m_bNoDepth = 0;
  item.m_bColorKey = 0;
  item.m_bBlend = bBlend;
  item.m_strTexture = strTexture;
  item.m_dwSrcBlend = D3DBLEND_ONE;
  item.m_dwDestBlend = dwDestBlend;
  item.m_pVB = pVB;
  item.m_dwPrimCount = dwPrimCount;
  c->m_pRenderQueue->Add(item);
}

}  // namespace

DWORD CappedScore(INT nScore) { return nScore < 0 ? 0 : CappedScore(static_cast<DWORD>(nScore)); }

DWORD CappedScore(DWORD dwScore) { return dwScore > MAX_SCORE ? static_cast<DWORD>(MAX_SCORE) : dwScore; }

void SetNumberCells(ScreenVertex (*pQuads)[QUAD_VERTICES], DWORD dwValue) {
  DWORD value = CappedScore(dwValue);
  for (int k = 3; k >= 0; --k, value /= 10) {
    const DWORD d = value % 10;
    SetQuadTexCoords(pQuads[k], static_cast<FLOAT>(d % 5) * 0.2f, d < 5 ? 0.0f : 0.5f, 0.2f, 0.5f);
  }
}

CUpMenu::CUpMenu(CGameContext* pContext) : CMyObject(pContext) {
  m_nOrder = 85;
  m_dwModeMask = GAMEMODE_PLAY | GAMEMODE_FLYIN | GAMEMODE_MAINMENU | GAMEMODE_RECORDS;
  m_strType = "upmenu";
  m_bVisible = 1;
  std::memset(m_BarQuad, 0, sizeof m_BarQuad);
  std::memset(m_DigitQuads, 0, sizeof m_DigitQuads);
  std::memset(m_PreviewQuads, 0, sizeof m_PreviewQuads);

  if (FAILED(LoadRecords())) SetDefaultRecords();
  m_pContext->m_nBestScore = static_cast<INT>(m_pContext->m_Records[0].dwScore);

  LayOut(100.0f);
  IDirect3DDevice8* pDevice = m_pContext->m_pd3dDevice;
  FillQuadBuffer(pDevice, &m_pBarVB, m_BarQuad, 1);
  FillQuadBuffer(pDevice, &m_pDigitVB, m_DigitQuads[0], 8);
  FillQuadBuffer(pDevice, &m_pPreviewVB, m_PreviewQuads[0], 3);
}

CUpMenu::~CUpMenu() = default;

void CUpMenu::LayOut(FLOAT fHintPercent) {
  const FLOAT W = static_cast<FLOAT>(m_pContext->m_dwWidth), H = static_cast<FLOAT>(m_pContext->m_dwHeight);
  const FLOAT barHeight = H / 10.0f;
  SetQuadRect(m_BarQuad, 0.0f, 0.0f, W, barHeight, kBarDepth, kBarDepth, kBarColour);

  const FLOAT dw = W / m_fDigitCols, dh = H / m_fDigitRows, dy = (barHeight - dh) / 2.0f;
  for (int i = 0; i < 8; ++i) {
    const FLOAT column = i < 4 ? static_cast<FLOAT>(i + 1) : static_cast<FLOAT>(i - 4 + 11);
    SetQuadRect(m_DigitQuads[i], column * dw, dy, dw, dh, kDigitDepth, kDigitDepth, kDigitColour);
  }

  const FLOAT iw = W / m_fPreviewCols, ih = H / m_fPreviewRows, iy = (barHeight - ih) / 2.0f;
  for (int i = 0; i < 3; ++i)
    SetQuadRect(m_PreviewQuads[i], static_cast<FLOAT>(i + 5) * iw, iy, iw, ih * fHintPercent / 100.0f, kIconDepth,
                kIconDepth, kIconColour);
}

HRESULT CUpMenu::BuildNumbers() {
  LayOut(m_fHintPercent);
  return S_OK;
}

void CUpMenu::SetPreviewCells() {
  for (int i = 0; i < 3; ++i) {
    INT c = m_pContext->m_NextColours[i];
    if (c < 0 || c > CELL_LAST_COLOUR) c = CELL_EMPTY;  // the sheet has cells for 0..7 only
    SetQuadTexCoords(m_PreviewQuads[i], static_cast<FLOAT>(c % 4) * 0.25f, c < 4 ? 0.0f : 0.5f, 0.25f, 0.5f);
    m_ShownColours[i] = m_pContext->m_NextColours[i];
  }
}

HRESULT CUpMenu::FrameMove() {
  CGameContext* c = m_pContext;
  IDirect3DDevice8* pDevice = c->m_pd3dDevice;

  const bool scoreChanged = m_nShownScore != c->m_nScore, bestChanged = m_nShownBest != c->m_nBestScore;
  if (scoreChanged) {
    SetNumberCells(m_DigitQuads + 4, CappedScore(c->m_nScore));
    m_nShownScore = c->m_nScore;
  }
  if (bestChanged) {
    SetNumberCells(m_DigitQuads, CappedScore(c->m_nBestScore));
    m_nShownBest = c->m_nBestScore;
  }
  if (scoreChanged || bestChanged) FillQuadBuffer(pDevice, &m_pDigitVB, m_DigitQuads[0], 8);

  if (std::memcmp(m_ShownColours, c->m_NextColours, sizeof m_ShownColours) != 0) {
    SetPreviewCells();
    FillQuadBuffer(pDevice, &m_pPreviewVB, m_PreviewQuads[0], 3);
  }

  if (c->m_bKeyMinus) {
    m_fHintSpeed = -kFoldSpeed;
    c->m_bKeyMinus = 0;
  }
  if (c->m_bKeyPlus) {  // after minus: pressed together, plus wins
    m_fHintSpeed = kFoldSpeed;
    c->m_bKeyPlus = 0;
  }
  if (m_fHintSpeed != 0.0f) {
    m_fHintPercent += static_cast<FLOAT>(c->m_dwElapsed) * m_fHintSpeed;
    if (m_fHintPercent < 0.0f) {
      m_fHintPercent = 0.0f;
      m_fHintSpeed = 0.0f;
    } else if (m_fHintPercent > 100.0f) {
      m_fHintPercent = 100.0f;
      m_fHintSpeed = 0.0f;
    }
    BuildNumbers();
    FillQuadBuffer(pDevice, &m_pBarVB, m_BarQuad, 1);
    FillQuadBuffer(pDevice, &m_pPreviewVB, m_PreviewQuads[0], 3);
  }

  if (c->m_bSaveRecordsRequest) {
    SaveRecords();
    c->m_bSaveRecordsRequest = 0;
  }
  return S_OK;
}

HRESULT CUpMenu::Render() {
  CGameContext* c = m_pContext;
  if (!c->m_pRenderQueue) return S_OK;
  QueueQuads(c, "", 1, D3DBLEND_SRCCOLOR, m_pBarVB, 2);
  // Over the records screen the digits stand opaque; elsewhere they light the scene.
  QueueQuads(c, kDigitSheet, c->m_dwMode == GAMEMODE_RECORDS ? 0 : 1, D3DBLEND_ONE, m_pDigitVB, 16);
  QueueQuads(c, kHintSheet, 0, D3DBLEND_ONE, m_pPreviewVB, 6);
  return S_OK;
}

HRESULT CUpMenu::InvalidateDeviceObjects() {
  ReleaseQuadBuffer(&m_pBarVB);
  ReleaseQuadBuffer(&m_pDigitVB);
  ReleaseQuadBuffer(&m_pPreviewVB);
  return S_OK;
}

HRESULT CUpMenu::RestoreDeviceObjects() {
  BuildNumbers();
  IDirect3DDevice8* pDevice = m_pContext->m_pd3dDevice;
  FillQuadBuffer(pDevice, &m_pBarVB, m_BarQuad, 1);
  FillQuadBuffer(pDevice, &m_pDigitVB, m_DigitQuads[0], 8);
  FillQuadBuffer(pDevice, &m_pPreviewVB, m_PreviewQuads[0], 3);
  return S_OK;
}

HRESULT CUpMenu::DeleteDeviceObjects() {
  SaveRecords();
  InvalidateDeviceObjects();
  return S_OK;
}
