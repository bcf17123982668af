#include "game/mainmenu.h"

#include <initializer_list>

#include "engine/gamecontext.h"
#include "engine/renderqueue.h"
#include "engine/screenquad.h"
#include "game/options_layout.h"
#include "game/savefile.h"

namespace {

const FLOAT kPictureDepth = 0.6f;
const FLOAT kFrontDepth = 0.5f;
const D3DCOLOR kWhite = 0xFFFFFFFF;
const D3DCOLOR kItemColor = 0xFFCCCCCC;
const FLOAT kStripStep = 0.16666f;
// Normalised cursor y of the top of the first item and the height of one item.
const FLOAT kItemsTop = 0.4f - 1.0f;
const FLOAT kItemStep = 0.2f;

}  // namespace

CMainMenu::CMainMenu(CGameContext* pContext) : CMyObject(pContext), m_dwQuadBytes(QUAD_BYTES) {
  m_nOrder = 86;
  m_dwModeMask = GAMEMODE_OPTIONS | GAMEMODE_MAINMENU | GAMEMODE_HELP | GAMEMODE_EXIT;
  m_strType = "mainmenu";
  m_bVisible = 1;
  m_bDead = 0;
  LayOut();
  FillVertexBuffers();
}

CMainMenu::~CMainMenu() { InvalidateDeviceObjects(); }

void CMainMenu::LayOutItems() {
  const FLOAT cw = static_cast<FLOAT>(m_pContext->m_dwWidth) / m_fMenuCols;
  const FLOAT ch = static_cast<FLOAT>(m_pContext->m_dwHeight) / m_fMenuRows;
  for (DWORD i = 0; i < MENU_ITEMS; ++i)
    SetQuadRect(m_ItemQuads[i], cw, 2 * ch + static_cast<FLOAT>(i) * ch, cw, ch, kFrontDepth, kFrontDepth, kItemColor);
}

void CMainMenu::LayOut() {
  for (ScreenVertex* pQuad : {m_PictureQuad, m_BackButtonQuad}) {
    SetQuadRect(pQuad, 0.0f, 0.0f, 0.0f, 0.0f, kFrontDepth, kFrontDepth, kWhite);
    SetQuadTexCoords(pQuad, 0.0f, 0.0f, 0.0f, 0.0f);
  }
  for (DWORD i = 0; i < MENU_ITEMS; ++i) SetQuadTexCoords(m_ItemQuads[i], 0.0f, 0.0f, 0.0f, 0.0f);
  if (!m_pContext) return;
  const FLOAT w = static_cast<FLOAT>(m_pContext->m_dwWidth), h = static_cast<FLOAT>(m_pContext->m_dwHeight);
  SetQuadRect(m_PictureQuad, 0.0f, 0.0f, w, h, kPictureDepth, kPictureDepth, kWhite);
  const FLOAT bw = w / 15.0f, bh = h / 20.0f;
  SetQuadRect(m_BackButtonQuad, bw, h - 2 * bh, bw, bh, kFrontDepth, kFrontDepth, kWhite);
  LayOutItems();
}

HRESULT CMainMenu::FillVertexBuffers() {
  if (!m_pContext) return S_OK;
  SetQuadTexCoords(m_PictureQuad, 0.0f, 0.0f, 1.0f, 1.0f);
  const options_layout::AtlasCell back = options_layout::BackButton(m_bBackHighlight != 0);
  SetQuadTexCoords(m_BackButtonQuad, back.u, back.v, back.du, back.dv);
  for (DWORD i = 0; i < MENU_ITEMS; ++i)
    SetQuadTexCoords(m_ItemQuads[i], 0.0f, static_cast<FLOAT>(i) * kStripStep, 1.0f, kStripStep);
  IDirect3DDevice8* pDevice = m_pContext->m_pd3dDevice;
  FillQuadBuffer(pDevice, &m_pItemVB, m_ItemQuads[0], MENU_ITEMS);
  FillQuadBuffer(pDevice, &m_pPictureVB, m_PictureQuad, 1);
  FillQuadBuffer(pDevice, &m_pBackButtonVB, m_BackButtonQuad, 1);
  return S_OK;
}

void CMainMenu::ActOnItem(DWORD nItem) {
  CGameContext& c = *m_pContext;
  switch (nItem) {
    case 0:
      c.m_nBestScore = static_cast<INT>(c.m_Records[0].dwScore);
      c.m_bNewGameRequest = 1;
      c.m_dwMode = GAMEMODE_PLAY;
      break;
    case 1:
      // Writes only while the board is at rest; play resumes either way.
      SaveGame(&c);
      c.m_dwMode = GAMEMODE_PLAY;
      break;
    case 2:
      LoadGame(&c);
      c.m_dwMode = GAMEMODE_PLAY;
      break;
    // The screen that follows runs in this same frame: it must not see the click.
    case 3:
      c.m_bClick = 0;
      c.m_dwMode = GAMEMODE_OPTIONS;
      break;
    case 4:
      c.m_bClick = 0;
      c.m_dwMode = GAMEMODE_HELP;
      break;
    case 5:
      c.m_bClick = 0;
      c.m_dwMode = GAMEMODE_EXIT;
      break;
    default:
      break;
  }
}

HRESULT CMainMenu::UpdateMenu() {
  CGameContext& c = *m_pContext;
  m_nHoverItem = NO_ITEM;
  LayOutItems();
  const FLOAT x = c.m_fCursorX, y = c.m_fCursorY;
  if (x > 2.0f / 3 - 1 && x < 4.0f / 3 - 1 && y > kItemsTop && y < 1.6f - 1.0f) {
    for (DWORD i = 0; i < MENU_ITEMS; ++i) {
      const FLOAT top = kItemsTop + kItemStep * static_cast<FLOAT>(i);
      if (y > top && y < kItemsTop + kItemStep * static_cast<FLOAT>(i + 1)) m_nHoverItem = i;
    }
  }
  if (m_nHoverItem != NO_ITEM) {
    const FLOAT cw = static_cast<FLOAT>(c.m_dwWidth) / m_fMenuCols;
    const FLOAT ch = static_cast<FLOAT>(c.m_dwHeight) / m_fMenuRows;
    const FLOAT i = static_cast<FLOAT>(m_nHoverItem);
    SetQuadRect(m_ItemQuads[m_nHoverItem], cw + cw / 20, 2 * ch + i * ch + ch / 20, 0.9f * cw, 0.9f * ch, kFrontDepth,
                kFrontDepth, kWhite);
  }
  if (m_nHoverItem != m_nShownHoverItem) {
    m_nShownHoverItem = m_nHoverItem;
    FillVertexBuffers();
    c.PlaySound("MenuSelect");
  }
  if (c.m_bClick) {
    c.PlaySound("OptRedButton");
    ActOnItem(m_nHoverItem);
  }
  return S_OK;
}

HRESULT CMainMenu::UpdateHelpBack() {
  CGameContext& c = *m_pContext;
  const FLOAT w = static_cast<FLOAT>(c.m_dwWidth), h = static_cast<FLOAT>(c.m_dwHeight);
  const FLOAT bw = w / 15.0f, bh = h / 20.0f;
  const FLOAT x = c.m_fCursorX, y = c.m_fCursorY;
  const bool bInside = x > 2 * bw / w - 1 && x < 4 * bw / w - 1 && y > 1 - 4 * bh / h && y < 1 - 2 * bh / h;
  if (bInside != (m_bBackHighlight != 0)) {
    m_bBackHighlight = bInside ? 1 : 0;
    FillVertexBuffers();
  }
  if (c.m_bLeftButton && m_bBackHighlight) {
    m_bBackHighlight = 0;
    c.m_bClick = 0;
    c.m_dwMode = GAMEMODE_MAINMENU;
    c.PlaySound("OptRedButton");
  }
  return S_OK;
}

HRESULT CMainMenu::UpdateOptionsBack() { return UpdateHelpBack(); }

HRESULT CMainMenu::UpdateExit() {
  CGameContext& c = *m_pContext;
  if (c.m_bClick || c.m_bRightButton) c.m_bQuitRequest = 1;
  return S_OK;
}

HRESULT CMainMenu::FrameMove() {
  if (!m_pContext) return S_OK;
  switch (m_pContext->m_dwMode) {
    case GAMEMODE_MAINMENU:
      return UpdateMenu();
    case GAMEMODE_OPTIONS:
      return UpdateOptionsBack();
    case GAMEMODE_HELP:
      return UpdateHelpBack();
    case GAMEMODE_EXIT:
      return UpdateExit();
    default:
      return S_OK;
  }
}

void CMainMenu::QueueQuads(const char* strTexture, BYTE bBlend, DWORD dwSrc, DWORD dwDest, BYTE bColorKey,
                           IDirect3DVertexBuffer8* pVB, DWORD dwPrimCount) {
  QueueScreenQuads(m_pContext, pVB, dwPrimCount, strTexture, bColorKey, bBlend, dwSrc, dwDest);
}

HRESULT CMainMenu::Render() {
  if (!m_pContext || !m_pContext->m_pRenderQueue) return S_OK;
  const char* strPicture = nullptr;
  switch (m_pContext->m_dwMode) {
    case GAMEMODE_MAINMENU:
      QueueQuads("MenuEnum", 1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 1, m_pItemVB, 2 * MENU_ITEMS);
      return S_OK;
    case GAMEMODE_EXIT:
      strPicture = "VantorelExit";
      break;
    case GAMEMODE_HELP:
      strPicture = "VantorelHelp";
      break;
    case GAMEMODE_OPTIONS:
      strPicture = "VantorelOptions";
      break;
    default:
      return S_OK;
  }
  QueueQuads(strPicture, 0, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, 0, m_pPictureVB, 2);
  if (m_pContext->m_dwMode != GAMEMODE_EXIT)
    QueueQuads("OptTex", 1, D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR, 1, m_pBackButtonVB, 2);
  return S_OK;
}

HRESULT CMainMenu::RestoreDeviceObjects() {
  m_bBackHighlight = 0;
  LayOut();
  FillVertexBuffers();
  return S_OK;
}

HRESULT CMainMenu::InvalidateDeviceObjects() {
  ReleaseQuadBuffer(&m_pItemVB);
  ReleaseQuadBuffer(&m_pPictureVB);
  ReleaseQuadBuffer(&m_pBackButtonVB);
  return S_OK;
}

HRESULT CMainMenu::DeleteDeviceObjects() { return InvalidateDeviceObjects(); }
