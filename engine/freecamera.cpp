#include "engine/freecamera.h"

#include "engine/cameraprojection.h"
#include "engine/gamecontext.h"

CFreeCamera::CFreeCamera(CGameContext* pContext)
    : m_vEye(0.0f, 0.0f, 0.0f), m_vAt(0.0f, 0.0f, 10.0f), m_vUp(0.0f, 10.0f, 0.0f), m_vRight(10.0f, 0.0f, 0.0f) {
  m_pContext = pContext;
  m_nOrder = 5;
  m_strType = "camera";
  m_bDead = 0;
  // Updated in every mode and drawing nothing, as the game's camera.
  m_dwModeMask = 0xFF;
  m_bVisible = 0;
  D3DXMatrixIdentity(&m_matView);
  D3DXMatrixIdentity(&m_matRotX);
  D3DXMatrixIdentity(&m_matRotY);
  D3DXMatrixIdentity(&m_matRotZ);
  D3DXMatrixIdentity(&m_matTrans);
  D3DXMatrixIdentity(&m_matScale);
  D3DXMatrixIdentity(&m_matTemp);
}

CFreeCamera::~CFreeCamera() = default;

HRESULT CFreeCamera::Reserved(DWORD) { return S_OK; }

HRESULT CFreeCamera::Activate() {
  m_bActive = 1;
  return S_OK;
}

HRESULT CFreeCamera::Deactivate() {
  m_bActive = 0;
  return S_OK;
}

bool CFreeCamera::IsActive() const { return m_bActive != 0; }

HRESULT CFreeCamera::RotateX(FLOAT angle) {
  D3DXMatrixRotationX(&m_matTemp, angle);
  D3DXMatrixMultiply(&m_matRotX, &m_matRotX, &m_matTemp);
  return S_OK;
}

HRESULT CFreeCamera::RotateY(FLOAT angle) {
  D3DXMatrixRotationY(&m_matTemp, angle);
  D3DXMatrixMultiply(&m_matRotY, &m_matRotY, &m_matTemp);
  return S_OK;
}

HRESULT CFreeCamera::RotateZ(FLOAT angle) {
  D3DXMatrixRotationZ(&m_matTemp, angle);
  D3DXMatrixMultiply(&m_matRotZ, &m_matRotZ, &m_matTemp);
  return S_OK;
}

HRESULT CFreeCamera::Translate(FLOAT x, FLOAT y, FLOAT z) {
  D3DXMatrixTranslation(&m_matTemp, x, y, z);
  D3DXMatrixMultiply(&m_matTrans, &m_matTrans, &m_matTemp);
  return S_OK;
}

HRESULT CFreeCamera::Scale(FLOAT x, FLOAT y, FLOAT z) {
  D3DXMatrixScaling(&m_matTemp, x, y, z);
  D3DXMatrixMultiply(&m_matScale, &m_matScale, &m_matTemp);
  return S_OK;
}

HRESULT CFreeCamera::Rotate(FLOAT ax, FLOAT ay, FLOAT az) {
  RotateX(ax);
  RotateY(ay);
  RotateZ(az);
  return S_OK;
}

HRESULT CFreeCamera::Move(FLOAT x, FLOAT y, FLOAT z, FLOAT ax, FLOAT ay, FLOAT az) {
  if (!m_bActive) return S_OK;
  Translate(x, y, z);
  return Rotate(ax, ay, az);
}

HRESULT CFreeCamera::MoveForward(FLOAT f) {
  const D3DXVECTOR3 step = (m_vAt - m_vEye) * f;
  return Translate(step.x, step.y, step.z);
}

HRESULT CFreeCamera::Strafe(FLOAT f) {
  const D3DXVECTOR3 step = (m_vRight - m_vEye) * f;
  return Translate(step.x, step.y, step.z);
}

HRESULT CFreeCamera::FrameMove() {
  if (!m_bActive) return S_OK;

  m_vEye = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
  m_vAt = D3DXVECTOR3(0.0f, 0.0f, 10.0f);
  m_vUp = D3DXVECTOR3(0.0f, 10.0f, 0.0f);
  m_vRight = D3DXVECTOR3(10.0f, 0.0f, 0.0f);

  D3DXMatrixMultiply(&m_matView, &m_matScale, &m_matRotX);
  D3DXMatrixMultiply(&m_matView, &m_matView, &m_matRotY);
  D3DXMatrixMultiply(&m_matView, &m_matView, &m_matRotZ);
  D3DXMatrixMultiply(&m_matView, &m_matView, &m_matTrans);
  // Without scaling this camera-to-world transform is exactly the view's inverse.
  m_pContext->m_matInvView = m_matView;

  D3DXVec3TransformCoord(&m_vEye, &m_vEye, &m_matView);
  D3DXVec3TransformCoord(&m_vAt, &m_vAt, &m_matView);
  D3DXVec3TransformCoord(&m_vRight, &m_vRight, &m_matView);
  D3DXVec3TransformNormal(&m_vUp, &m_vUp, &m_matView);
  m_pContext->m_vEye = m_vEye;

  D3DXMatrixLookAtLH(&m_matView, &m_vEye, &m_vAt, &m_vUp);
  m_pContext->m_matView = m_matView;

  SetCameraProjection(m_pContext);
  return S_OK;
}
