// Loads the intro's logo and the textures the scene draws after the intro, one a frame
// while the intro plays, so that neither the first frame nor the first frames of the
// scene wait for them. A texture the intro ends too early for is loaded at its first draw, as
// without this object; either way the same texture ends up in the cache.
#pragma once

#include "engine/myobject.h"
#include "platform/win32/win32.h"

class CGameContext;

class CScenePreloader : public CMyObject {
 public:
  explicit CScenePreloader(CGameContext* pContext);

  // Loads the next texture; the object leaves the scene after the last.
  HRESULT FrameMove() override;

  // The names, in the order they are loaded, ending with a null.
  static const char* const* Names();

 private:
  DWORD m_dwNext = 0;
  BYTE m_bFirstFrameDone = 0;
};
