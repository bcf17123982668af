// The meshes and materials that scene objects share: loading a mesh of the resource
// library with the context's device and log, bringing it back after a device change,
// and plain coloured materials.
#pragma once

#include "platform/d3d8/d3d8.h"
#include "platform/win32/win32.h"

class CGameContext;
class CD3DMesh;

// Reads the named mesh from the resource library (failures go to the log).
HRESULT LoadObjectMesh(CGameContext* pContext, CD3DMesh* pMesh, const char* strName);

// After a device reset or re-creation: a mesh that still holds its data only needs its
// device copy again; one that was destroyed is read anew. True when it was read anew
// (its materials are the library's again).
bool RestoreObjectMesh(CGameContext* pContext, CD3DMesh* pMesh, const char* strName);

void SetColour(D3DCOLORVALUE* pColour, float r, float g, float b, float a);

// A white directional light of that brightness shining along the direction (normalised
// here), with range 1000; everything else zero.
void FillDirectionalLight(D3DLIGHT8* pLight, float fBrightness, float x, float y, float z);

// A material of one colour: diffuse and ambient (r, g, b, 1), everything else zero.
void FillMaterial(D3DMATERIAL8* pMaterial, float r, float g, float b);
