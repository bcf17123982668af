// A mesh loaded by name from the resource library (or from an .x file), with its
// materials and a device copy sorted by attribute and split into one sub-mesh per
// attribute range. Meshes of one name share the loaded mesh and the sub-meshes
// through the context's two mesh caches, which own them; a mesh without a context
// owns what it loads.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/d3d8/d3d8.h"
#include "platform/d3dx/d3dx8.h"
#include "platform/xfile/d3dx8mesh.h"
#include "platform/xfile/dxfile.h"

class CGameContext;

class CD3DMesh {
 public:
  // For scene objects: meshes from the resource library, shared through the caches.
  explicit CD3DMesh(CGameContext* pContext);
  // For frames: a named mesh from .x data, owning everything it loads.
  explicit CD3DMesh(const char* strName = "CD3DFile_Mesh");
  virtual ~CD3DMesh();

  // Loads (or shares) the mesh of resource `strResName` from library `strResLib` and
  // makes the local mesh and sub-meshes. Failures are logged to pLog ("FAIL: ...").
  // Without a device: E_FAIL at once (only the name is kept), nothing read or logged.
  HRESULT CreateFromResource(IDirect3DDevice8* pd3dDevice, const char* strResLib, const char* strResName,
                             FILE* pLog);
  HRESULT RestoreDeviceObjects(IDirect3DDevice8* pd3dDevice);
  // Forgets the local mesh and sub-meshes (released only when this mesh owns them).
  HRESULT InvalidateDeviceObjects();
  HRESULT Destroy();

  ID3DXMesh* GetSysMemMesh() { return m_pSysMemMesh; }
  ID3DXMesh* GetLocalMesh() { return m_pLocalMesh; }
  // Ambient follows diffuse. An index at or beyond the material count does nothing.
  HRESULT SetMaterial(DWORD dwIndex, D3DMATERIAL8 mtrl);
  HRESULT Render(IDirect3DDevice8* pd3dDevice, bool bDrawOpaqueSubsets = true, bool bDrawAlphaSubsets = true);

  // From an .x file (found by the media search) or an .x data object.
  HRESULT Create(IDirect3DDevice8* pd3dDevice, const char* strFilename);
  HRESULT Create(IDirect3DDevice8* pd3dDevice, IDirectXFileData* pFileData);
  HRESULT SetFVF(IDirect3DDevice8* pd3dDevice, DWORD dwFVF);
  HRESULT CreateTextureFromResource(DWORD dwIndex, IDirect3DDevice8* pd3dDevice, const char* strResLib,
                                    const char* strTexName);
  // The minimum and maximum corner of every sub-mesh vertex (of the local mesh when
  // there are no sub-meshes) into m_pBoundingBox.
  HRESULT ComputeBoundingBoxes();

  HRESULT BuildLocalMesh(IDirect3DDevice8* pd3dDevice);
  // pAdjacency: three entries per face of the local mesh, or null for none.
  HRESULT SplitByAttribute(const DWORD* pAdjacency);
  // The adjacency of one range's faces within that range: 3 x FaceCount entries into
  // pOut, neighbours outside the range (or none) 0xFFFFFFFF. pAdjacency may be null.
  static void RebaseAdjacency(const DWORD* pAdjacency, const D3DXATTRIBUTERANGE& range, DWORD* pOut);

  const char* GetResName() const { return m_strResName.c_str(); }

  char m_strName[512];
  ID3DXMesh* m_pSysMemMesh = nullptr;
  ID3DXMesh* m_pLocalMesh = nullptr;
  ID3DXMesh** m_ppSubMeshes = nullptr;
  DWORD m_dwNumSubMeshes = 0;
  ID3DXBuffer* m_pAdjacency = nullptr;
  DWORD m_dwNumMaterials = 0;
  D3DMATERIAL8* m_pMaterials = nullptr;
  IDirect3DTexture8** m_pTextures = nullptr;
  D3DXVECTOR3* m_pBoundingBox = nullptr;  // two corners
  BOOL m_bUseMaterials = TRUE;
  CGameContext* m_pContext = nullptr;
  std::string m_strResName;  // own copy: the caller's text may not outlive the mesh
  DWORD m_dwStride = 0;

  CD3DMesh(const CD3DMesh&) = delete;
  CD3DMesh& operator=(const CD3DMesh&) = delete;

 private:
  // Ownership: what came from a cache is borrowed; everything else is ours to release.
  void DropLoadedMesh();
  void DropLocalMesh();
  void DropSubMeshes();
  void DropTexture(DWORD i);
  void TakeMaterials(ID3DXBuffer* pMaterials, DWORD dwCount, bool bLoadTextures, IDirect3DDevice8* pd3dDevice);
  // Owns the mesh a file load (result hrLoad) left in m_pSysMemMesh and takes its
  // materials, textures from media files; after a failed load the object stays empty.
  HRESULT TakeLoadedMesh(HRESULT hrLoad, ID3DXBuffer* pMaterials, DWORD dwNumMaterials,
                         IDirect3DDevice8* pd3dDevice);
  HRESULT CacheLocalMesh();

  bool m_bOwnsLoaded = false;
  bool m_bOwnsLocal = false;
  std::vector<bool> m_bOwnsTexture;
};
