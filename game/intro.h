// The intro: the logo over the whole screen stays black for a second, fades in, is
// held for three seconds while "Welcome" plays, fades out and, half a second later,
// hands over to the camera's opening flight with a new game and the first song.
// Nothing the player does ends it early.
#pragma once

#include "engine/myobject.h"
#include "engine/renderitem.h"
#include "platform/win32/win32.h"

class CGameContext;

class CIntro : public CMyObject {
 public:
  explicit CIntro(CGameContext* pContext);
  ~CIntro() override;

  // One step of the timeline.
  HRESULT FrameMove() override;
  // The logo quad, its brightness given by the fade colour.
  HRESULT Render() override;
  HRESULT InvalidateDeviceObjects() override;
  HRESULT RestoreDeviceObjects() override;
  HRESULT DeleteDeviceObjects() override;

  // Corner positions of the logo quad from the current back-buffer size.
  HRESULT FillVertices();

  ScreenVertex m_LogoQuad[6];
  DWORD m_dwQuadBytes;
  IDirect3DVertexBuffer8* m_pLogoVB = nullptr;
  DWORD m_dwFadeColor = 0xFF000000;
  FLOAT m_fFadeLevel = 0.0f;
  DWORD m_dwPhaseStart = 0;
  BYTE m_bWaitPhase = 1;
  BYTE m_bFadeInPhase = 1;
  BYTE m_bHoldPhase = 1;
  BYTE m_bFadeOutPhase = 1;
  BYTE m_bEndPhase = 1;

 private:
  void SetFadeColor(DWORD dwColor);
  void FadeIn(DWORD dwNow);
  void FadeOut(DWORD dwNow);
  void End();
  void StartFirstSong();
};
