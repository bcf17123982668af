#include "engine/vertexshader.h"

#include <cstring>

#include "engine/gamecontext.h"
#include "platform/d3dx/d3dx8shader.h"

namespace {
const DWORD kRegisterBytes = 4 * sizeof(float);
}

CVertexShader::CVertexShader(CGameContext* pContext) : m_pContext(pContext) {}

CVertexShader::~CVertexShader() {
  FreeConstants();
  FreeCode();
}

IDirect3DDevice8* CVertexShader::Device() const { return m_pContext ? m_pContext->m_pd3dDevice : nullptr; }

void CVertexShader::FreeConstants() {
  for (DWORD i = 0; i < m_dwConstantCount; ++i) delete[] m_pConstants[i].pData;
  delete[] m_pConstants;
  m_pConstants = nullptr;
  m_dwConstantCount = 0;
}

void CVertexShader::FreeCode() {
  if (m_pCode) m_pCode->Release();
  m_pCode = nullptr;
  delete[] m_pDeclaration;
  m_pDeclaration = nullptr;
}

HRESULT CVertexShader::Create(const char* strFileName, const DWORD* pDeclaration, DWORD dwDeclarationSize) {
  if (m_dwHandle != 0) return E_FAIL;
  IDirect3DDevice8* pDevice = Device();
  if (!strFileName || !pDeclaration || dwDeclarationSize < sizeof(DWORD) || !pDevice) return E_FAIL;
  // A failed earlier Create may have left code and a declaration behind.
  FreeCode();
  const DWORD dwTokens = dwDeclarationSize / sizeof(DWORD);
  m_pDeclaration = new DWORD[dwTokens];
  std::memcpy(m_pDeclaration, pDeclaration, dwTokens * sizeof(DWORD));

  HRESULT hr = D3DXAssembleShaderFromFileA(strFileName, 0, nullptr, &m_pCode, nullptr);
  if (FAILED(hr)) return hr;
  if (!m_pCode || !m_pCode->GetBufferPointer()) return E_FAIL;
  hr = pDevice->CreateVertexShader(m_pDeclaration, static_cast<const DWORD*>(m_pCode->GetBufferPointer()),
                                   &m_dwHandle, 0);
  if (FAILED(hr)) m_dwHandle = 0;
  return hr;
}

HRESULT CVertexShader::Release() {
  DeleteDeviceObjects();
  FreeConstants();
  FreeCode();
  return S_OK;
}

HRESULT CVertexShader::DeleteDeviceObjects() {
  IDirect3DDevice8* pDevice = Device();
  if (m_dwHandle != 0 && pDevice) pDevice->DeleteVertexShader(m_dwHandle);
  m_dwHandle = 0;
  return S_OK;
}

HRESULT CVertexShader::RestoreDeviceObjects() {
  IDirect3DDevice8* pDevice = Device();
  // Without assembled code there is nothing to create.
  if (!pDevice || !m_pDeclaration || !m_pCode || !m_pCode->GetBufferPointer()) return S_OK;
  if (m_dwHandle != 0) pDevice->DeleteVertexShader(m_dwHandle);
  m_dwHandle = 0;
  if (FAILED(pDevice->CreateVertexShader(m_pDeclaration, static_cast<const DWORD*>(m_pCode->GetBufferPointer()),
                                         &m_dwHandle, 0)))
    m_dwHandle = 0;
  return S_OK;
}

HRESULT CVertexShader::SetConstantCount(DWORD dwCount) {
  FreeConstants();
  if (dwCount != 0) {
    m_pConstants = new ShaderConstant[dwCount];
    for (DWORD i = 0; i < dwCount; ++i) m_pConstants[i] = ShaderConstant{0, 0, nullptr};
  }
  m_dwConstantCount = dwCount;
  return S_OK;
}

HRESULT CVertexShader::SetConstant(DWORD dwIndex, DWORD dwRegister, const void* pData, DWORD dwDataSize,
                                   DWORD dwRegisterCount) {
  if (dwIndex >= m_dwConstantCount || !pData || dwRegisterCount == 0) return E_FAIL;
  // The upload reads dwRegisterCount * 16 bytes: the data must cover them.
  if (dwRegisterCount > dwDataSize / kRegisterBytes) return E_FAIL;
  const DWORD dwBytes = dwRegisterCount * kRegisterBytes;
  BYTE* pCopy = new BYTE[dwBytes];
  std::memcpy(pCopy, pData, dwBytes);
  ShaderConstant& constant = m_pConstants[dwIndex];
  delete[] constant.pData;
  constant = ShaderConstant{dwRegister, dwRegisterCount, pCopy};
  return S_OK;
}

HRESULT CVertexShader::UploadConstants() {
  IDirect3DDevice8* pDevice = Device();
  if (!pDevice) return S_OK;
  for (DWORD i = 0; i < m_dwConstantCount; ++i) {
    const ShaderConstant& constant = m_pConstants[i];
    if (constant.pData) pDevice->SetVertexShaderConstant(constant.dwRegister, constant.pData, constant.dwCount);
  }
  return S_OK;
}
