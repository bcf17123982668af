#include "engine/camera.h"

#include "engine/cameraprojection.h"
#include "engine/gamecontext.h"

CCamera::CCamera(CGameContext* pContext)
    : m_vEye(0.0f, 0.0f, 0.0f),
      m_vAt(0.0f, 0.0f, 10.0f),
      m_vUp(0.0f, 10.0f, 0.0f),
      m_qRotation(0.0f, 0.0f, 0.0f, 1.0f),
      m_qTilt(0.0f, 0.0f, 0.0f, 1.0f),
      m_qYaw(0.0f, 0.0f, 0.0f, 1.0f),
      m_qRoll(0.0f, 0.0f, 0.0f, 1.0f),
      m_vBaseEye(0.0f, 0.0f, 0.0f),
      m_vBaseAt(0.0f, 0.0f, 0.0f) {
  m_pContext = pContext;
  m_nOrder = 5;
  m_dwModeMask = 0xFF;
  m_strType = "camera";
  m_bVisible = 0;
  m_bDead = 0;
  D3DXMatrixIdentity(&m_matView);
  D3DXMatrixIdentity(&m_matRotation);
  D3DXMatrixIdentity(&m_matTranslation);
  D3DXMatrixIdentity(&m_matScale);
  D3DXMatrixIdentity(&m_matStep);
}

CCamera::~CCamera() = default;

HRESULT CCamera::Activate() {
  m_bActive = 1;
  return S_OK;
}

HRESULT CCamera::Deactivate() {
  m_bActive = 0;
  return S_OK;
}

bool CCamera::IsActive() const { return m_bActive != 0; }

HRESULT CCamera::SetEyeAt(FLOAT eyeX, FLOAT eyeY, FLOAT eyeZ, FLOAT atX, FLOAT atY, FLOAT atZ) {
  if (m_bActive) {
    m_vBaseEye = D3DXVECTOR3(eyeX, eyeY, eyeZ);
    m_vBaseAt = D3DXVECTOR3(atX, atY, atZ);
  }
  return S_OK;
}

HRESULT CCamera::RotateX(FLOAT angle) {
  const D3DXVECTOR3 axis(1.0f, 0.0f, 0.0f);
  D3DXQuaternionRotationAxis(&m_qRotation, &axis, angle);
  D3DXQuaternionMultiply(&m_qTilt, &m_qTilt, &m_qRotation);
  return S_OK;
}

HRESULT CCamera::RotateY(FLOAT angle) {
  const D3DXVECTOR3 axis(0.0f, 1.0f, 0.0f);
  D3DXQuaternionRotationAxis(&m_qRotation, &axis, angle);
  D3DXQuaternionMultiply(&m_qYaw, &m_qYaw, &m_qRotation);
  return S_OK;
}

HRESULT CCamera::RotateZ(FLOAT angle) {
  const D3DXVECTOR3 axis(0.0f, 0.0f, 1.0f);
  D3DXQuaternionRotationAxis(&m_qRotation, &axis, angle);
  D3DXQuaternionMultiply(&m_qRoll, &m_qRoll, &m_qRotation);
  return S_OK;
}

HRESULT CCamera::Translate(FLOAT x, FLOAT y, FLOAT z) {
  D3DXMatrixTranslation(&m_matStep, x, y, z);
  D3DXMatrixMultiply(&m_matTranslation, &m_matTranslation, &m_matStep);
  return S_OK;
}

HRESULT CCamera::Scale(FLOAT x, FLOAT y, FLOAT z) {
  D3DXMatrixScaling(&m_matStep, x, y, z);
  D3DXMatrixMultiply(&m_matScale, &m_matScale, &m_matStep);
  return S_OK;
}

HRESULT CCamera::Rotate(FLOAT x, FLOAT y, FLOAT z) {
  RotateX(x);
  RotateY(y);
  RotateZ(z);
  return S_OK;
}

HRESULT CCamera::MoveForward(FLOAT f) {
  const D3DXVECTOR3 step = (m_vAt - m_vEye) * f;
  return Translate(step.x, step.y, step.z);
}

HRESULT CCamera::FrameMove() {
  if (!m_bActive) return S_OK;

  m_vEye = m_vBaseEye;
  m_vAt = m_vBaseAt;
  m_vUp = D3DXVECTOR3(0.0f, 10.0f, 0.0f);

  D3DXQuaternionIdentity(&m_qRotation);
  D3DXQuaternionMultiply(&m_qRotation, &m_qRotation, &m_qTilt);
  D3DXQuaternionMultiply(&m_qRotation, &m_qRotation, &m_qYaw);
  D3DXQuaternionMultiply(&m_qRotation, &m_qRotation, &m_qRoll);
  D3DXQuaternionNormalize(&m_qRotation, &m_qRotation);
  D3DXMatrixRotationQuaternion(&m_matRotation, &m_qRotation);

  D3DXMatrixMultiply(&m_matView, &m_matScale, &m_matTranslation);
  D3DXMatrixMultiply(&m_matView, &m_matView, &m_matRotation);

  D3DXVec3TransformCoord(&m_vEye, &m_vEye, &m_matView);
  D3DXVec3TransformNormal(&m_vUp, &m_vUp, &m_matView);
  m_pContext->m_vEye = m_vEye;

  D3DXMatrixLookAtLH(&m_matView, &m_vEye, &m_vAt, &m_vUp);
  m_pContext->m_matView = m_matView;
  D3DXMatrixInverse(&m_pContext->m_matInvView, nullptr, &m_matView);

  SetCameraProjection(m_pContext);

  m_pContext->m_dwTime = GetTickCount();

  if (m_pContext->m_dwMode == GAMEMODE_PLAY) {
    UserControl();
  } else if (m_pContext->m_dwMode == GAMEMODE_FLYIN) {
    FlyIn();
  }
  return S_OK;
}

HRESULT CCamera::ZoomIn(FLOAT step) {
  if (step >= m_fZoom) step = m_fZoom;
  m_fZoom -= step;
  return Translate(0.0f, -step, step);
}

HRESULT CCamera::ZoomOut(FLOAT step) {
  if (step >= kMaxZoom - m_fZoom) {
    step = kMaxZoom - m_fZoom;
    m_fZoom = kMaxZoom;
  } else {
    m_fZoom += step;
  }
  return Translate(0.0f, step, -step);
}

// Positive angles raise the tilt value; the angle is cut so the value lands on 0 or 0.9.
HRESULT CCamera::Tilt(FLOAT angle) {
  if (angle <= -m_fTilt) {
    angle = -m_fTilt;
    m_fTilt = 0.0f;
  } else if (angle >= kMaxTilt - m_fTilt) {
    angle = kMaxTilt - m_fTilt;
    m_fTilt = kMaxTilt;
  } else {
    m_fTilt += angle;
  }
  return RotateX(angle);
}

HRESULT CCamera::UserControl() {
  CGameContext* c = m_pContext;
  const FLOAT elapsed = static_cast<FLOAT>(c->m_dwElapsed);

  if (c->m_bKeyUp && m_fZoom > 0.0f) ZoomIn(elapsed * 0.01f);
  if (c->m_bKeyDown && m_fZoom < kMaxZoom) ZoomOut(elapsed * 0.01f);
  if (c->m_bKeyLeft) RotateY(elapsed * -0.001f);
  if (c->m_bKeyRight) RotateY(elapsed * 0.001f);
  if (c->m_bKeyPageDown && m_fTilt > 0.0f) Tilt(-(elapsed * 0.001f));
  if (c->m_bKeyPageUp && m_fTilt < kMaxTilt) Tilt(elapsed * 0.001f);
  if (c->m_fMouseDX != 0.0f) RotateY(c->m_fMouseDX / 3000.0f * elapsed);
  if (c->m_fMouseDY < 0.0f && m_fTilt > 0.0f) Tilt(c->m_fMouseDY / 3000.0f * elapsed);
  if (c->m_fMouseDY > 0.0f && m_fTilt < kMaxTilt) Tilt(c->m_fMouseDY / 3000.0f * elapsed);
  if (c->m_fMouseWheel > 0.0f && m_fZoom > 0.0f) ZoomIn(c->m_fMouseWheel / 2000.0f * elapsed);
  if (c->m_fMouseWheel < 0.0f && m_fZoom < kMaxZoom) ZoomOut(-c->m_fMouseWheel / 2000.0f * elapsed);
  return S_OK;
}

HRESULT CCamera::FlyIn() {
  CGameContext* c = m_pContext;
  if (c->m_bFlyInPending) {
    c->m_bFlyInPending = 0;
    SetEyeAt(0.0f, 30.0f, -22.5f, 0.0f, 0.0f, 0.0f);
    RotateY(D3DX_PI);
    m_fFlyRemaining = kFlyDistance;
  }

  FLOAT step = static_cast<FLOAT>(c->m_dwElapsed) * 0.01f;
  if (m_fFlyRemaining - step > 0.0f) {
    m_fFlyRemaining -= step;
  } else {
    step = m_fFlyRemaining;
    m_fFlyRemaining = 0.0f;
  }
  Translate(0.0f, -step, 0.75f * step);
  RotateY(D3DX_PI / kFlyDistance * step);

  if (m_fFlyRemaining == 0.0f) c->m_dwMode = GAMEMODE_PLAY;
  return S_OK;
}
