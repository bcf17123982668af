// Loads the intro's logo with the first frame, then the textures and the ball meshes the
// scene draws after the intro, one a frame while the intro plays, so that no frame of the
// intro or the scene waits for a load of its own. Whatever the intro ends too early for is
// loaded at its first use, as without this object; either way the caches end up the same.
#pragma once

#include "engine/myobject.h"
#include "platform/win32/win32.h"

class CGameContext;

class CScenePreloader : public CMyObject {
 public:
  explicit CScenePreloader(CGameContext* pContext);

  // Loads the next texture or mesh; the object leaves the scene after the last.
  HRESULT FrameMove() override;

  // The texture names, in the order they are loaded, ending with a null; the floor's
  // texture and the ball's meshes follow them.
  static const char* const* Names();

 private:
  DWORD m_dwNext = 0;
};
