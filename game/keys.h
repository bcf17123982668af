// The only reader of the keyboard: at most every 4 ms it reads all 256 key codes,
// re-acquires the device when input was lost, and hands the keys to the handler of
// the current game mode. It draws nothing.
#pragma once

#include "engine/myobject.h"
#include "platform/win32/win32.h"

class CGameContext;

class CKeys : public CMyObject {
 public:
  explicit CKeys(CGameContext* pContext);
  ~CKeys() override;

  // Always S_OK: a failed read is logged once per run of failures and skipped.
  HRESULT FrameMove() override;
  HRESULT Reserved(DWORD dwArg) override;
  HRESULT InvalidateDeviceObjects() override;
  HRESULT RestoreDeviceObjects() override;
  HRESULT DeleteDeviceObjects() override;

  // Key handlers by game mode, run after every successful poll (keys_handlers.cpp).
  HRESULT HandleGameKeys();   // play
  HRESULT HandleNameEntry();  // records
  HRESULT HandleAnyKey();     // exit screen

  BYTE m_KeyLatch[256] = {};  // 1 from the press a handler acted on until a handler sees the key up
  BYTE m_KeyState[256] = {};  // DIK codes, 0x80 = down
  BYTE m_bPollFailLogged = 0;
  DWORD m_dwLastPoll = 0;

 private:
  bool Down(int nKey) const { return (m_KeyState[nKey] & 0x80) != 0; }
  // True on a press not yet acted on, setting its latch; a released key's latch is cleared.
  bool NewPress(int nKey);
  // A key whose flag means "held": raised on the press, lowered on the release.
  void HeldKey(int nKey, BYTE& bFlag);
};
