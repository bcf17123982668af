#include "shell/d3dframe.h"

#include <strings.h>

#include <cstring>

CD3DFrame::CD3DFrame(const char* strName) {
  std::memset(m_strName, 0, sizeof(m_strName));
  if (strName) std::strncpy(m_strName, strName, sizeof(m_strName) - 1);
  D3DXMatrixIdentity(&m_mat);
}

CD3DFrame::~CD3DFrame() {
  delete m_pChild;
  delete m_pNext;
}

void CD3DFrame::SetMatrix(const FLOAT* pfValues) { std::memcpy(&m_mat, pfValues, sizeof(FLOAT) * 16); }

BOOL CD3DFrame::EnumMeshes(BOOL (*EnumMeshCB)(CD3DMesh*, void*), void* pContext) {
  if (m_pMesh && EnumMeshCB) EnumMeshCB(m_pMesh, pContext);
  if (m_pChild) m_pChild->EnumMeshes(EnumMeshCB, pContext);
  if (m_pNext) m_pNext->EnumMeshes(EnumMeshCB, pContext);
  return TRUE;
}

CD3DMesh* CD3DFrame::FindMesh(const char* strMeshName) {
  if (!strMeshName) return nullptr;
  if (m_pMesh && strcasecmp(m_pMesh->m_strName, strMeshName) == 0) return m_pMesh;
  CD3DMesh* pMesh = m_pChild ? m_pChild->FindMesh(strMeshName) : nullptr;
  if (pMesh) return pMesh;
  return m_pNext ? m_pNext->FindMesh(strMeshName) : nullptr;
}

CD3DFrame* CD3DFrame::FindFrame(const char* strFrameName) {
  if (!strFrameName) return nullptr;
  if (strcasecmp(m_strName, strFrameName) == 0) return this;
  CD3DFrame* pFrame = m_pChild ? m_pChild->FindFrame(strFrameName) : nullptr;
  if (pFrame) return pFrame;
  return m_pNext ? m_pNext->FindFrame(strFrameName) : nullptr;
}

HRESULT CD3DFrame::Destroy() {
  if (m_pMesh) m_pMesh->Destroy();
  if (m_pChild) m_pChild->Destroy();
  if (m_pNext) m_pNext->Destroy();
  delete m_pMesh;
  delete m_pNext;
  delete m_pChild;
  m_pMesh = nullptr;
  m_pNext = nullptr;
  m_pChild = nullptr;
  return S_OK;
}

HRESULT CD3DFrame::RestoreDeviceObjects(IDirect3DDevice8* pd3dDevice) {
  if (m_pMesh) m_pMesh->RestoreDeviceObjects(pd3dDevice);
  if (m_pChild) m_pChild->RestoreDeviceObjects(pd3dDevice);
  if (m_pNext) m_pNext->RestoreDeviceObjects(pd3dDevice);
  return S_OK;
}

HRESULT CD3DFrame::InvalidateDeviceObjects() {
  if (m_pMesh) m_pMesh->InvalidateDeviceObjects();
  if (m_pChild) m_pChild->InvalidateDeviceObjects();
  if (m_pNext) m_pNext->InvalidateDeviceObjects();
  return S_OK;
}

HRESULT CD3DFrame::Render(IDirect3DDevice8* pd3dDevice, bool bDrawOpaqueSubsets, bool bDrawAlphaSubsets) {
  D3DXMATRIX matSavedWorld, matWorld;
  pd3dDevice->GetTransform(D3DTS_WORLD, &matSavedWorld);
  D3DXMatrixMultiply(&matWorld, &m_mat, &matSavedWorld);
  pd3dDevice->SetTransform(D3DTS_WORLD, &matWorld);
  if (m_pMesh) m_pMesh->Render(pd3dDevice, bDrawOpaqueSubsets, bDrawAlphaSubsets);
  if (m_pChild) m_pChild->Render(pd3dDevice, bDrawOpaqueSubsets, bDrawAlphaSubsets);
  pd3dDevice->SetTransform(D3DTS_WORLD, &matSavedWorld);
  if (m_pNext) m_pNext->Render(pd3dDevice, bDrawOpaqueSubsets, bDrawAlphaSubsets);
  return S_OK;
}
