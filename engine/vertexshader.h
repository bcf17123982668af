// One programmable vertex shader: assembled from a file, created on the device from
// the code and a vertex declaration, with a table of constants uploaded before a draw.
#pragma once

#include "platform/d3d8/d3d8.h"
#include "platform/d3dx/d3dx8.h"
#include "platform/win32/win32.h"

class CGameContext;

struct ShaderConstant {
  DWORD dwRegister;  // first constant register
  DWORD dwCount;     // registers of four floats each
  BYTE* pData;       // owned copy of dwCount * 16 bytes; null = not set
};

class CVertexShader {
 public:
  explicit CVertexShader(CGameContext* pContext);
  // Frees whatever is still held (code, declaration, constants); the device shader
  // must be deleted first with DeleteDeviceObjects or Release.
  virtual ~CVertexShader();

  // Assembles the file and creates the shader. E_FAIL when a shader exists already.
  HRESULT Create(const char* strFileName, const DWORD* pDeclaration, DWORD dwDeclarationSize);
  HRESULT Release();
  HRESULT DeleteDeviceObjects();
  HRESULT RestoreDeviceObjects();

  HRESULT SetConstantCount(DWORD dwCount);
  // E_FAIL (nothing changed) when the index is outside the table or the data is
  // shorter than the registers it should fill.
  HRESULT SetConstant(DWORD dwIndex, DWORD dwRegister, const void* pData, DWORD dwDataSize, DWORD dwRegisterCount);
  HRESULT UploadConstants();
  DWORD GetHandle() const { return m_dwHandle; }

  DWORD GetConstantCount() const { return m_dwConstantCount; }

  CVertexShader(const CVertexShader&) = delete;
  CVertexShader& operator=(const CVertexShader&) = delete;

 private:
  void FreeConstants();
  void FreeCode();
  IDirect3DDevice8* Device() const;

  ShaderConstant* m_pConstants = nullptr;
  CGameContext* m_pContext;
  DWORD m_dwHandle = 0;
  DWORD* m_pDeclaration = nullptr;
  ID3DXBuffer* m_pCode = nullptr;
  DWORD m_dwConstantCount = 0;
};
