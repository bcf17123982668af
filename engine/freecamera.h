// A camera that flies freely: accumulated rotations about the three axes, a translation
// and a scaling become the context's view, inverse view, projection and eye each frame.
// The game itself uses CCamera; this one is for free-flight views.
#pragma once

#include "engine/myobject.h"

class CFreeCamera : public CMyObject {
 public:
  explicit CFreeCamera(CGameContext* pContext);
  ~CFreeCamera() override;

  HRESULT FrameMove() override;
  HRESULT Reserved(DWORD dwArg) override;

  HRESULT Activate();
  HRESULT Deactivate();
  bool IsActive() const;

  HRESULT RotateX(FLOAT angle);
  HRESULT RotateY(FLOAT angle);
  HRESULT RotateZ(FLOAT angle);
  HRESULT Translate(FLOAT x, FLOAT y, FLOAT z);
  HRESULT Scale(FLOAT x, FLOAT y, FLOAT z);
  HRESULT Rotate(FLOAT ax, FLOAT ay, FLOAT az);
  // Ignored while inactive.
  HRESULT Move(FLOAT x, FLOAT y, FLOAT z, FLOAT ax, FLOAT ay, FLOAT az);
  // Along the view direction / the right direction of the last FrameMove.
  HRESULT MoveForward(FLOAT f);
  HRESULT Strafe(FLOAT f);

  BYTE m_bActive = 0;
  D3DXVECTOR3 m_vEye;
  D3DXVECTOR3 m_vAt;
  D3DXVECTOR3 m_vUp;
  D3DXVECTOR3 m_vRight;
  D3DXMATRIX m_matView;
  D3DXMATRIX m_matRotX;
  D3DXMATRIX m_matRotY;
  D3DXMATRIX m_matRotZ;
  D3DXMATRIX m_matTrans;
  D3DXMATRIX m_matScale;
  D3DXMATRIX m_matTemp;
};
