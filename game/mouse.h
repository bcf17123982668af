// The only reader of the mouse: at most every 4 ms it moves the cursor (back-buffer
// pixels), publishes the cursor and the pick direction, turns motion into camera drag
// while the right button is held and hands the buttons to the handler of the current
// game mode. It draws the cursor as a small spinning mesh over everything.
#pragma once

#include "engine/myobject.h"
#include "platform/dinput/dinput.h"
#include "platform/win32/win32.h"

class CGameContext;

class CMouse : public CMyObject {
 public:
  explicit CMouse(CGameContext* pContext);
  ~CMouse() override;

  // Clears the context's click every frame; polls when 4 ms have passed since the
  // last poll. E_FAIL when the device could not be read.
  HRESULT FrameMove() override;
  HRESULT Render() override;
  HRESULT Reserved(DWORD dwArg) override;
  HRESULT InvalidateDeviceObjects() override;
  // Puts the pixel cursor at the same relative place for the current back-buffer
  // size (a display-mode change keeps it where the player left it).
  HRESULT RestoreDeviceObjects() override;
  HRESULT DeleteDeviceObjects() override;

  // Button handlers by game mode, run after every successful poll (mouse_handlers.cpp).
  HRESULT HandleGameButtons();     // play
  HRESULT HandleMenuButtons();     // options, main menu, help, exit screen
  HRESULT HandleRecordsButtons();  // records

  INT m_nCursorX = 0;  // 0..width, both ends included
  INT m_nCursorY = 0;  // 0..height, both ends included
  BYTE m_bPollFailLogged = 0;
  DIMOUSESTATE m_State = {};
  FLOAT m_fSpin = 0.0f;
  FLOAT m_fDragX = 0.0f;  // motion of the last poll while the right button is held
  FLOAT m_fDragY = 0.0f;
  FLOAT m_fWheel = 0.0f;
  DWORD m_dwLastPoll = 0;

 private:
  void LoadMesh();
  void SetUpLight();
  // m_fX, m_fY from the pixel cursor.
  void Normalise();
  void MoveCursor(LONG dx, LONG dy);
};
