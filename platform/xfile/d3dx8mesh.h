// Meshes of the Direct3D 8 utility library: ID3DXMesh over real device vertex and index
// buffers, loading from .x data, attribute sorting and face adjacency.
// Adjacency is three DWORDs per face (the neighbour across edges 0-1, 1-2, 2-0),
// 0xFFFFFFFF for none.
#pragma once

#include "platform/d3d8/d3d8.h"
#include "platform/d3dx/d3dx8core.h"
#include "platform/xfile/dxfile.h"

// Mesh creation options.
#define D3DXMESH_32BIT 0x001u
#define D3DXMESH_DONOTCLIP 0x002u
#define D3DXMESH_POINTS 0x004u
#define D3DXMESH_RTPATCHES 0x008u
#define D3DXMESH_VB_SYSTEMMEM 0x010u
#define D3DXMESH_VB_MANAGED 0x020u
#define D3DXMESH_VB_WRITEONLY 0x040u
#define D3DXMESH_VB_DYNAMIC 0x080u
#define D3DXMESH_IB_SYSTEMMEM 0x100u
#define D3DXMESH_IB_MANAGED 0x200u
#define D3DXMESH_IB_WRITEONLY 0x400u
#define D3DXMESH_IB_DYNAMIC 0x800u
#define D3DXMESH_VB_SHARE 0x1000u
#define D3DXMESH_USEHWONLY 0x2000u
#define D3DXMESH_NPATCHES 0x4000u
#define D3DXMESH_VB_SOFTWAREPROCESSING 0x8000u
#define D3DXMESH_IB_SOFTWAREPROCESSING 0x10000u
#define D3DXMESH_SYSTEMMEM 0x110u
#define D3DXMESH_MANAGED 0x220u
#define D3DXMESH_WRITEONLY 0x440u
#define D3DXMESH_DYNAMIC 0x880u
#define D3DXMESH_SOFTWAREPROCESSING 0x18000u

// Optimisation flags. All of them sort by attribute here; COMPACT also drops unused vertices.
#define D3DXMESHOPT_COMPACT 0x01000000u
#define D3DXMESHOPT_ATTRSORT 0x02000000u
#define D3DXMESHOPT_VERTEXCACHE 0x04000000u
#define D3DXMESHOPT_STRIPREORDER 0x08000000u
#define D3DXMESHOPT_IGNOREVERTS 0x10000000u
#define D3DXMESHOPT_SHAREVB 0x00001000u

#define MAX_FVF_DECL_SIZE 20

struct D3DXATTRIBUTERANGE {
  DWORD AttribId;
  DWORD FaceStart;
  DWORD FaceCount;
  DWORD VertexStart;
  DWORD VertexCount;
};
typedef D3DXATTRIBUTERANGE* LPD3DXATTRIBUTERANGE;

// One material of a loaded mesh; the texture name lives in the same buffer (null: none).
struct D3DXMATERIAL {
  D3DMATERIAL8 MatD3D;
  LPSTR pTextureFilename;
};
typedef D3DXMATERIAL* LPD3DXMATERIAL;

struct ID3DXMesh;
typedef ID3DXMesh* LPD3DXMESH;

extern const IID IID_ID3DXBaseMesh;
extern const IID IID_ID3DXMesh;

struct ID3DXBaseMesh : public IUnknown {
  // Draws the faces of one attribute (all its ranges; without an attribute table, every
  // run of faces with that attribute).
  virtual HRESULT DrawSubset(DWORD attribId) = 0;
  virtual DWORD GetNumFaces() = 0;
  virtual DWORD GetNumVertices() = 0;
  virtual DWORD GetFVF() = 0;
  virtual HRESULT GetDeclaration(DWORD declaration[MAX_FVF_DECL_SIZE]) = 0;
  virtual DWORD GetOptions() = 0;
  virtual HRESULT GetDevice(LPDIRECT3DDEVICE8* device) = 0;
  virtual HRESULT CloneMeshFVF(DWORD options, DWORD fvf, LPDIRECT3DDEVICE8 device, LPD3DXMESH* cloneMesh) = 0;
  virtual HRESULT CloneMesh(DWORD options, CONST DWORD* declaration, LPDIRECT3DDEVICE8 device,
                            LPD3DXMESH* cloneMesh) = 0;
  virtual HRESULT GetVertexBuffer(LPDIRECT3DVERTEXBUFFER8* vb) = 0;
  virtual HRESULT GetIndexBuffer(LPDIRECT3DINDEXBUFFER8* ib) = 0;
  // The mesh keeps a system-memory copy: locks hand that out and Unlock sends it to the device.
  virtual HRESULT LockVertexBuffer(DWORD flags, BYTE** data) = 0;
  virtual HRESULT UnlockVertexBuffer() = 0;
  virtual HRESULT LockIndexBuffer(DWORD flags, BYTE** data) = 0;
  virtual HRESULT UnlockIndexBuffer() = 0;
  // table null: *size receives the number of ranges; else *size ranges are copied at most.
  virtual HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* table, DWORD* size) = 0;
  virtual HRESULT ConvertPointRepsToAdjacency(CONST DWORD* pointReps, DWORD* adjacency) = 0;
  virtual HRESULT ConvertAdjacencyToPointReps(CONST DWORD* adjacency, DWORD* pointReps) = 0;
  virtual HRESULT GenerateAdjacency(FLOAT epsilon, DWORD* adjacency) = 0;
};
typedef ID3DXBaseMesh* LPD3DXBASEMESH;

struct ID3DXMesh : public ID3DXBaseMesh {
  virtual HRESULT LockAttributeBuffer(DWORD flags, DWORD** data) = 0;
  virtual HRESULT UnlockAttributeBuffer() = 0;
  // Sorts faces by attribute: each attribute gets one contiguous face range and one
  // contiguous vertex range (vertices shared between attributes are duplicated).
  // adjacencyIn may be null; adjacencyOut (3 per face), faceRemap (new face -> old face)
  // and vertexRemap (new vertex -> old vertex) are optional outputs.
  virtual HRESULT Optimize(DWORD flags, CONST DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                           LPD3DXBUFFER* vertexRemap, LPD3DXMESH* optMesh) = 0;
  virtual HRESULT OptimizeInplace(DWORD flags, CONST DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                                  LPD3DXBUFFER* vertexRemap) = 0;
};

HRESULT D3DXCreateMeshFVF(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf, LPDIRECT3DDEVICE8 device,
                          LPD3DXMESH* mesh);

// Load every mesh of an .x file (meshes inside frames are moved by the frame transforms)
// into one mesh. Vertex format XYZ, plus NORMAL, DIFFUSE and TEX1 when the file has them;
// vertices with one position but different normals are split. Outputs other than mesh may be null.
// The material buffer holds numMaterials D3DXMATERIAL records (null when there are none).
HRESULT D3DXLoadMeshFromX(LPCSTR fileName, DWORD options, LPDIRECT3DDEVICE8 device, LPD3DXBUFFER* adjacency,
                          LPD3DXBUFFER* materials, DWORD* numMaterials, LPD3DXMESH* mesh);
HRESULT D3DXLoadMeshFromXInMemory(LPCVOID memory, DWORD sizeOfMemory, DWORD options, LPDIRECT3DDEVICE8 device,
                                  LPD3DXBUFFER* adjacency, LPD3DXBUFFER* materials, DWORD* numMaterials,
                                  LPD3DXMESH* mesh);
// From one Mesh data object (or a Frame, whose meshes are gathered).
HRESULT D3DXLoadMeshFromXof(LPDIRECTXFILEDATA xofMesh, DWORD options, LPDIRECT3DDEVICE8 device,
                            LPD3DXBUFFER* adjacency, LPD3DXBUFFER* materials, DWORD* numMaterials,
                            LPD3DXMESH* mesh);

UINT D3DXGetFVFVertexSize(DWORD fvf);

// Vertex normals as the normalised sum of the faces' normals around each vertex.
HRESULT D3DXComputeNormals(LPD3DXBASEMESH mesh, CONST DWORD* adjacency);
