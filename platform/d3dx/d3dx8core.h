// Utility library basics: status codes and the reference-counted byte buffer.
#pragma once

#include "platform/win32/win32.h"

#define D3DX_DEFAULT static_cast<UINT>(-1)

// Facility 0x876, codes 2900 and up.
#define D3DXERR_CANNOTMODIFYINDEXBUFFER static_cast<HRESULT>(0x88760B54u)
#define D3DXERR_INVALIDMESH static_cast<HRESULT>(0x88760B55u)
#define D3DXERR_CANNOTATTRSORT static_cast<HRESULT>(0x88760B56u)
#define D3DXERR_SKINNINGNOTSUPPORTED static_cast<HRESULT>(0x88760B57u)
#define D3DXERR_TOOMANYINFLUENCES static_cast<HRESULT>(0x88760B58u)
#define D3DXERR_INVALIDDATA static_cast<HRESULT>(0x88760B59u)
#define D3DXERR_LOADEDMESHASNODATA static_cast<HRESULT>(0x88760B5Au)

extern const IID IID_ID3DXBuffer;

// A block of bytes owned by a COM-style object; Release frees it when the count reaches 0.
struct ID3DXBuffer : public IUnknown {
  virtual LPVOID GetBufferPointer() = 0;
  virtual DWORD GetBufferSize() = 0;
};
typedef ID3DXBuffer* LPD3DXBUFFER;

// A zero-filled buffer of numBytes bytes with one reference.
HRESULT D3DXCreateBuffer(DWORD numBytes, LPD3DXBUFFER* buffer);
