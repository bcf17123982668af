#include "game/objectmesh.h"

#include <cstring>

#include "engine/gamecontext.h"
#include "platform/d3dx/d3dx8.h"
#include "shell/d3dmesh.h"

HRESULT LoadObjectMesh(CGameContext* pContext, CD3DMesh* pMesh, const char* strName) {
  if (!pContext || !pMesh) return E_FAIL;
  return pMesh->CreateFromResource(pContext->m_pd3dDevice, pContext->m_strResLib, strName, pContext->m_pLog);
}

bool RestoreObjectMesh(CGameContext* pContext, CD3DMesh* pMesh, const char* strName) {
  if (!pContext || !pMesh) return false;
  if (pMesh->GetSysMemMesh()) {
    pMesh->RestoreDeviceObjects(pContext->m_pd3dDevice);
    return false;
  }
  LoadObjectMesh(pContext, pMesh, strName);
  return true;
}

void SetColour(D3DCOLORVALUE* pColour, float r, float g, float b, float a) {
  pColour->r = r;
  pColour->g = g;
  pColour->b = b;
  pColour->a = a;
}

void FillDirectionalLight(D3DLIGHT8* pLight, float fBrightness, float x, float y, float z) {
  std::memset(pLight, 0, sizeof *pLight);
  pLight->Type = D3DLIGHT_DIRECTIONAL;
  SetColour(&pLight->Diffuse, fBrightness, fBrightness, fBrightness, 0.0f);
  D3DXVECTOR3 vDirection(x, y, z);
  D3DXVec3Normalize(reinterpret_cast<D3DXVECTOR3*>(&pLight->Direction), &vDirection);
  pLight->Range = 1000.0f;
}

void FillMaterial(D3DMATERIAL8* pMaterial, float r, float g, float b) {
  std::memset(pMaterial, 0, sizeof *pMaterial);
  SetColour(&pMaterial->Diffuse, r, g, b, 1.0f);
  pMaterial->Ambient = pMaterial->Diffuse;
}
