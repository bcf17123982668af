// The room around the board: one mesh of six subsets (caustics, walls, floor, border,
// ground, sky), each with its own texture and material. The sky is lit by the object's
// own point light; the caustic layer cycles through 32 textures at 20 frames a second.
// The settings Environ and HiRes are read every frame.
#pragma once

#include "engine/myobject.h"
#include "platform/win32/win32.h"

class CGameContext;

class CEnviron : public CMyObject {
 public:
  explicit CEnviron(CGameContext* pContext);
  ~CEnviron() override;

  // Advances the caustic animation (also while the room is switched off).
  HRESULT FrameMove() override;
  // One mesh record per sub-mesh while Environ is on.
  HRESULT Render() override;
  HRESULT InvalidateDeviceObjects() override;
  HRESULT RestoreDeviceObjects() override;
  HRESULT DeleteDeviceObjects() override;

  // "Caust00".."Caust31" for the current frame; "" outside the cycle.
  const char* GetCausticName() const;

  FLOAT m_fCausticFrame = 0.0f;  // 0.0 .. 31.5; the whole part is the texture frame

 private:
  void SetUpLight();
  void LoadMesh();
};
