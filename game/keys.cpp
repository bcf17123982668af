#include "game/keys.h"

#include "engine/gamecontext.h"
#include "platform/dinput/dinput.h"

namespace {

const DWORD kPollInterval = 4;  // ms

}  // namespace

CKeys::CKeys(CGameContext* pContext) : CMyObject(pContext) {
  m_nOrder = 0;  // first in the frame: every object sees this frame's keys
  m_dwModeMask = GAMEMODE_PLAY | GAMEMODE_RECORDS | GAMEMODE_EXIT;
  m_strType = "keys";
  m_bVisible = 0;
  m_bDead = 0;
  if (pContext) m_dwLastPoll = pContext->m_dwTime;
}

CKeys::~CKeys() = default;

HRESULT CKeys::FrameMove() {
  if (!m_pContext) return S_OK;
  CGameContext* ctx = m_pContext;
  if (ctx->m_dwTime - m_dwLastPoll < kPollInterval) return S_OK;
  m_dwLastPoll = ctx->m_dwTime;

  const HRESULT hr =
      ctx->m_pKeyboard ? ctx->m_pKeyboard->GetDeviceState(sizeof m_KeyState, m_KeyState) : DIERR_NOTACQUIRED;
  if (FAILED(hr)) {
    if (hr == DIERR_INPUTLOST || hr == DIERR_NOTACQUIRED) ctx->AcquireDevice(ctx->m_pKeyboard);
    if (!m_bPollFailLogged) {
      ctx->WriteLog("FAIL: Get Keyboard State\n");
      m_bPollFailLogged = 1;
    }
  }
  if (hr != S_OK) return S_OK;

  m_bPollFailLogged = 0;
  switch (ctx->m_dwMode) {
    case GAMEMODE_PLAY:
      HandleGameKeys();
      break;
    case GAMEMODE_RECORDS:
      HandleNameEntry();
      break;
    case GAMEMODE_EXIT:
      HandleAnyKey();
      break;
    default:
      break;
  }
  return S_OK;
}

HRESULT CKeys::Reserved(DWORD) { return S_OK; }
HRESULT CKeys::InvalidateDeviceObjects() { return S_OK; }
HRESULT CKeys::RestoreDeviceObjects() { return S_OK; }
HRESULT CKeys::DeleteDeviceObjects() { return S_OK; }
