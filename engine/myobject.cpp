#include "engine/myobject.h"

#include <cstring>

CMyObject::CMyObject() {
  std::memset(&m_Light, 0, sizeof m_Light);
  std::memset(&m_Material, 0, sizeof m_Material);
  D3DXMatrixIdentity(&m_matWorld);
}

CMyObject::CMyObject(CGameContext* pContext) : CMyObject() { m_pContext = pContext; }

CMyObject::~CMyObject() = default;

HRESULT CMyObject::FrameMove() { return S_OK; }
HRESULT CMyObject::Render() { return S_OK; }
HRESULT CMyObject::Reserved(DWORD) { return S_OK; }
HRESULT CMyObject::InvalidateDeviceObjects() { return S_OK; }
HRESULT CMyObject::RestoreDeviceObjects() { return S_OK; }
HRESULT CMyObject::DeleteDeviceObjects() { return S_OK; }
