// Vertex shader assembly (vs.1.0 and vs.1.1 text into Direct3D 8 shader tokens).
#pragma once

#include "platform/d3dx/d3dx8core.h"

#define D3DXASM_DEBUG 1u
#define D3DXASM_SKIPVALIDATION 2u

// `compiledShader` receives the function tokens (version first, end token last).
// `constants` (optional) receives the declaration tokens of the `def` lines:
// D3DVSD_CONST(register, 1) and four floats each, without an end token; null
// when there are none. `compilationErrors` (optional) receives the messages as
// zero-terminated text, one "file(line): error: ..." a line, on failure.
// Malformed text gives D3DXERR_INVALIDDATA.
HRESULT D3DXAssembleShader(LPCVOID srcData, UINT srcDataLen, DWORD flags, LPD3DXBUFFER* constants,
                           LPD3DXBUFFER* compiledShader, LPD3DXBUFFER* compilationErrors);
// An unreadable file gives E_FAIL.
HRESULT D3DXAssembleShaderFromFileA(LPCSTR srcFile, DWORD flags, LPD3DXBUFFER* constants,
                                    LPD3DXBUFFER* compiledShader, LPD3DXBUFFER* compilationErrors);
#define D3DXAssembleShaderFromFile D3DXAssembleShaderFromFileA
