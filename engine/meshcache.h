// Meshes by resource name: the loaded (system-memory) meshes with their adjacency,
// or the device meshes with their sub-meshes. The cache owns one reference of
// everything an entry holds; callers only borrow what the lookups give them.
#pragma once

#include <string>

#include "platform/d3d8/d3d8.h"
#include "platform/d3dx/d3dx8.h"
#include "platform/xfile/d3dx8mesh.h"
#include "platform/win32/win32.h"

class CMeshCache {
 public:
  struct Entry {
    Entry* pNext;
    ID3DXMesh* pObject;
    std::string strName;  // the cache's own copy
    ID3DXMesh** ppSubObjects;  // new[]-allocated, owned with its elements; may be null
    DWORD dwSubCount;
    ID3DXBuffer* pAdjacency;
  };

  CMeshCache();
  // Releases whatever is still cached.
  virtual ~CMeshCache();

  // Appends an entry; the cache takes over the mesh's and the sub-meshes'
  // references and the array (allocated with new[]).
  HRESULT Add(ID3DXMesh* pMesh, ID3DXMesh** ppSubMeshes, DWORD dwSubCount, const char* strName);
  HRESULT AddSimple(ID3DXMesh* pMesh, const char* strName);
  // The first entry of that name: its mesh (when ppMesh is not null) and its
  // sub-mesh array and count (when pppSubMeshes is not null; pdwSubCount is then
  // required). A miss writes null and 0. No reference is added.
  HRESULT Find(const char* strName, ID3DXMesh** ppMesh, ID3DXMesh*** pppSubMeshes, DWORD* pdwSubCount) const;
  // First releases a mesh the caller owns in *ppMesh (never one the cache holds);
  // then the entry's mesh and adjacency, or null for both.
  HRESULT FindEx(const char* strName, ID3DXMesh** ppMesh, ID3DXBuffer** ppAdjacency);
  // Loads .x data into system memory and caches the mesh with its adjacency. The
  // caller borrows the mesh and the adjacency and owns the materials buffer.
  HRESULT LoadMeshFromMemory(const void* pData, DWORD dwSize, IDirect3DDevice8* pDevice, ID3DXBuffer** ppAdjacency,
                             ID3DXBuffer** ppMaterials, DWORD* pdwNumMaterials, ID3DXMesh** ppMesh,
                             const char* strName);
  // Releases everything every entry holds and empties the cache.
  HRESULT Clear();
  HRESULT Remove(const char* strName);
  HRESULT RemoveNode(Entry* pEntry);

  DWORD Count() const;
  bool Holds(const ID3DXMesh* pMesh) const;

  CMeshCache(const CMeshCache&) = delete;
  CMeshCache& operator=(const CMeshCache&) = delete;

 private:
  void Append(Entry* pEntry);
  static void ReleaseEntry(Entry* pEntry);

  Entry* m_pHead = nullptr;
  Entry* m_pTail = nullptr;
};
