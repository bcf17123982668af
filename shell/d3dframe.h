// A node of a transform hierarchy carrying at most one mesh. A frame owns its mesh,
// its first child and its next sibling, so the root owns the whole tree.
#pragma once

#include "platform/d3d8/d3d8.h"
#include "platform/d3dx/d3dx8.h"
#include "shell/d3dmesh.h"

class CD3DFrame {
 public:
  explicit CD3DFrame(const char* strName = "CD3DFile_Frame");
  // Deletes the child and sibling frames (not the meshes: Destroy does that).
  virtual ~CD3DFrame();

  void SetMatrix(const D3DXMATRIX* pmat) { m_mat = *pmat; }
  void SetMatrix(const FLOAT* pfValues);

  BOOL EnumMeshes(BOOL (*EnumMeshCB)(CD3DMesh*, void*), void* pContext);
  CD3DMesh* FindMesh(const char* strMeshName);
  CD3DFrame* FindFrame(const char* strFrameName);

  HRESULT Destroy();
  HRESULT RestoreDeviceObjects(IDirect3DDevice8* pd3dDevice);
  HRESULT InvalidateDeviceObjects();
  // Draws this frame's mesh and its children on top of the device's world transform,
  // then the next sibling on the transform as it was.
  HRESULT Render(IDirect3DDevice8* pd3dDevice, bool bDrawOpaqueSubsets = true, bool bDrawAlphaSubsets = true);

  char m_strName[512];
  D3DXMATRIX m_mat;
  CD3DMesh* m_pMesh = nullptr;
  CD3DFrame* m_pNext = nullptr;
  CD3DFrame* m_pChild = nullptr;

  CD3DFrame(const CD3DFrame&) = delete;
  CD3DFrame& operator=(const CD3DFrame&) = delete;
};
