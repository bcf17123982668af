// Base of every scene object. The scene list updates and renders an object only in
// the game modes of its mask; device-object operations reach every object.
#pragma once

#include "platform/d3d8/d3d8.h"
#include "platform/d3dx/d3dx8.h"
#include "platform/win32/win32.h"

class CGameContext;
class CD3DMesh;

class CMyObject {
 public:
  CMyObject();
  explicit CMyObject(CGameContext* pContext);
  virtual ~CMyObject();

  virtual HRESULT FrameMove();
  // Queues draw records into the context's render queue; never draws directly.
  virtual HRESULT Render();
  virtual HRESULT Reserved(DWORD dwArg);
  virtual HRESULT InvalidateDeviceObjects();
  virtual HRESULT RestoreDeviceObjects();
  virtual HRESULT DeleteDeviceObjects();

  CGameContext* m_pContext = nullptr;
  BYTE m_bVisible = 0;
  BYTE m_bDead = 0;
  INT m_nOrder = 0;          // list sort key; also the index of the object's own light
  DWORD m_dwModeMask = 0;    // game modes in which the object is updated and drawn
  FLOAT m_fX = 0.0f;
  FLOAT m_fY = 0.0f;
  const char* m_strType = "";
  CD3DMesh* m_pMesh = nullptr;  // deleted by the derived class that created it
  D3DLIGHT8 m_Light;
  D3DMATERIAL8 m_Material;
  D3DXMATRIX m_matWorld;

  CMyObject(const CMyObject&) = delete;
  CMyObject& operator=(const CMyObject&) = delete;
};
