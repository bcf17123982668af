// Screen quads: six pre-transformed vertices in the corner order top-left, top-right,
// bottom-left, bottom-left, top-right, bottom-right (two triangles), and the vertex
// buffers of the default pool that screen objects copy them into.
#pragma once

#include "engine/renderitem.h"

class CGameContext;

enum : DWORD { QUAD_VERTICES = 6, QUAD_BYTES = QUAD_VERTICES * sizeof(ScreenVertex) };

// Corners of the rectangle (x, y) .. (x + w, y + h); every vertex takes z, rhw and the
// colour. Texture coordinates are left as they are.
void SetQuadRect(ScreenVertex* pQuad, FLOAT x, FLOAT y, FLOAT w, FLOAT h, FLOAT z, FLOAT rhw, D3DCOLOR color);

// Texture cell (u, v) .. (u + du, v + dv) on the six corners.
void SetQuadTexCoords(ScreenVertex* pQuad, FLOAT u, FLOAT v, FLOAT du, FLOAT dv);

// Every vertex of the quad takes the colour.
void SetQuadColor(ScreenVertex* pQuad, D3DCOLOR color);

// Creates *ppVB (usage 0, FVF 0x144, default pool) when it is null, then copies
// nQuads quads into it. The copy is skipped when creating or locking fails.
HRESULT FillQuadBuffer(IDirect3DDevice8* pDevice, IDirect3DVertexBuffer8** ppVB, const ScreenVertex* pQuads,
                       DWORD nQuads);

// Queues one record of screen quads (dwPrimCount triangles of pVB) through the
// context's staging record, with the depth test on and opaque black as the key colour.
void QueueScreenQuads(CGameContext* pContext, IDirect3DVertexBuffer8* pVB, DWORD dwPrimCount, const char* strTexture,
                      BYTE bColorKey, BYTE bBlend, DWORD dwSrcBlend, DWORD dwDestBlend);

// Releases *ppVB when it is set and clears it.
void ReleaseQuadBuffer(IDirect3DVertexBuffer8** ppVB);
