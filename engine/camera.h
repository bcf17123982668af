// The game camera: orbits the board's centre. Accumulated tilt (X), yaw (Y) and roll (Z)
// rotations and an accumulated translation (zoom and flight) act on a base eye point;
// every frame the view, its inverse, the eye and the projection go into the context.
#pragma once

#include "engine/myobject.h"

class CCamera : public CMyObject {
 public:
  explicit CCamera(CGameContext* pContext);
  ~CCamera() override;

  HRESULT FrameMove() override;

  HRESULT Activate();
  HRESULT Deactivate();
  bool IsActive() const;
  // Ignored while inactive.
  HRESULT SetEyeAt(FLOAT eyeX, FLOAT eyeY, FLOAT eyeZ, FLOAT atX, FLOAT atY, FLOAT atZ);

  HRESULT RotateX(FLOAT angle);
  HRESULT RotateY(FLOAT angle);
  HRESULT RotateZ(FLOAT angle);
  HRESULT Translate(FLOAT x, FLOAT y, FLOAT z);
  HRESULT Scale(FLOAT x, FLOAT y, FLOAT z);
  HRESULT Rotate(FLOAT x, FLOAT y, FLOAT z);
  HRESULT MoveForward(FLOAT f);

  // Play: keys and mouse from the context turn, tilt and zoom within the limits.
  HRESULT UserControl();
  // Opening flight: a descent with a half turn, then play.
  HRESULT FlyIn();

  static constexpr FLOAT kMaxZoom = 10.0f;
  static constexpr FLOAT kMaxTilt = 0.9f;
  static constexpr FLOAT kFlyDistance = 19.0f;

  BYTE m_bActive = 0;
  D3DXVECTOR3 m_vEye;
  D3DXVECTOR3 m_vAt;
  D3DXVECTOR3 m_vUp;
  D3DXMATRIX m_matView;
  D3DXMATRIX m_matRotation;
  D3DXMATRIX m_matTranslation;
  D3DXMATRIX m_matScale;
  D3DXQUATERNION m_qRotation;
  D3DXQUATERNION m_qTilt;
  D3DXQUATERNION m_qYaw;
  D3DXQUATERNION m_qRoll;
  D3DXMATRIX m_matStep;
  FLOAT m_fZoom = 0.0f;
  FLOAT m_fTilt = 0.4f;
  FLOAT m_fFlyRemaining = 0.0f;
  D3DXVECTOR3 m_vBaseEye;
  D3DXVECTOR3 m_vBaseAt;

 private:
  HRESULT ZoomIn(FLOAT step);
  HRESULT ZoomOut(FLOAT step);
  HRESULT Tilt(FLOAT angle);
};
