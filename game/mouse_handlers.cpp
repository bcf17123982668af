// The mouse buttons by game mode. A press acts once: its latch in the context is set
// when the press is acted on and cleared when a poll finds the button up.
#include "engine/gamecontext.h"
#include "game/mouse.h"

namespace {

enum { BUTTON_LEFT = 0, BUTTON_RIGHT = 1, BUTTON_MIDDLE = 2 };

const float kNoHit = 1000.0f;

bool Down(const DIMOUSESTATE& state, int nButton) { return (state.rgbButtons[nButton] & 0x80) != 0; }

// True on a press not yet acted on; clears the latch of a released button. The caller
// sets the latch when it acts.
bool NewPress(const DIMOUSESTATE& state, int nButton, BYTE& bLatch) {
  if (Down(state, nButton)) return !bLatch;
  bLatch = 0;
  return false;
}

// The middle button goes between play and the menus.
void MiddleButton(CGameContext* ctx, const DIMOUSESTATE& state, DWORD dwMode) {
  if (!NewPress(state, BUTTON_MIDDLE, ctx->m_bMiddleButton)) return;
  ctx->m_bMiddleButton = 1;
  ctx->m_dwMode = dwMode;
  ctx->PlaySound("OptRedButton");
}

}  // namespace

HRESULT CMouse::HandleGameButtons() {
  CGameContext* ctx = m_pContext;
  // A pick request lives until the next poll.
  ctx->m_bPickRequest = 0;
  // While a move runs the latch stays clear, so a button held through the move acts
  // as soon as the board is idle again.
  if (NewPress(m_State, BUTTON_LEFT, ctx->m_bLeftButton) && ctx->m_bIdle) {
    ctx->m_bLeftButton = 1;
    ctx->m_bPickRequest = 1;
    ctx->m_pBallHit = nullptr;
    ctx->m_fBallHitDist = kNoHit;
    ctx->m_fCellHitDist = kNoHit;
    ctx->m_bCellHit = 0;
    ctx->m_bCellConfirmed = 0;
  }
  if (NewPress(m_State, BUTTON_RIGHT, ctx->m_bRightButton)) ctx->m_bRightButton = 1;
  MiddleButton(ctx, m_State, GAMEMODE_MAINMENU);
  ctx->m_fMouseDX = m_fDragX;
  ctx->m_fMouseDY = m_fDragY;
  ctx->m_fMouseWheel = m_fWheel;
  return S_OK;
}

HRESULT CMouse::HandleMenuButtons() {
  CGameContext* ctx = m_pContext;
  if (NewPress(m_State, BUTTON_LEFT, ctx->m_bLeftButton)) {
    ctx->m_bLeftButton = 1;
    ctx->m_bClick = 1;
  }
  if (NewPress(m_State, BUTTON_RIGHT, ctx->m_bRightButton)) ctx->m_bRightButton = 1;
  MiddleButton(ctx, m_State, GAMEMODE_PLAY);
  return S_OK;
}

HRESULT CMouse::HandleRecordsButtons() {
  CGameContext* ctx = m_pContext;
  // While a name is being typed the buttons are not looked at, latches included.
  if (ctx->m_dwRecordsState != 1) return S_OK;
  if (NewPress(m_State, BUTTON_LEFT, ctx->m_bLeftButton)) {
    ctx->m_bLeftButton = 1;
    ctx->m_dwRecordsState = 2;
  }
  if (NewPress(m_State, BUTTON_RIGHT, ctx->m_bRightButton)) {
    ctx->m_bRightButton = 1;
    ctx->m_dwRecordsState = 2;
  }
  return S_OK;
}
