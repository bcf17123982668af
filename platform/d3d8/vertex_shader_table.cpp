#include "platform/d3d8/vertex_shader_table.h"

#include <cstring>

DWORD CVertexShaderTable::Create(const DWORD* declaration) {
  std::vector<DWORD> tokens;
  for (const DWORD* t = declaration; tokens.size() < 4096; ++t) {
    tokens.push_back(*t);
    if (*t == D3DVSD_END()) break;
  }
  const DWORD handle = (m_nextShader++ << 16) | 1u;
  m_declarations[handle] = std::move(tokens);
  return handle;
}

const std::vector<DWORD>* CVertexShaderTable::Declaration(DWORD handle) const {
  auto it = m_declarations.find(handle);
  return it == m_declarations.end() ? nullptr : &it->second;
}

HRESULT CVertexShaderTable::CopyDeclaration(DWORD handle, void* data, DWORD* size) const {
  const std::vector<DWORD>* tokens = Declaration(handle);
  if (!tokens || !size) return D3DERR_INVALIDCALL;
  const DWORD needed = static_cast<DWORD>(tokens->size() * sizeof(DWORD));
  if (!data || *size < needed) {
    *size = needed;
    return data ? D3DERR_MOREDATA : S_OK;
  }
  std::memcpy(data, tokens->data(), needed);
  *size = needed;
  return S_OK;
}

void CVertexShaderTable::SetConstants(DWORD reg, const float* values, DWORD count) {
  for (DWORD i = 0; i < count; ++i) m_constants[reg + i].assign(values + i * 4, values + i * 4 + 4);
}

void CVertexShaderTable::GetConstants(DWORD reg, float* values, DWORD count) const {
  for (DWORD i = 0; i < count; ++i) {
    auto it = m_constants.find(reg + i);
    for (int k = 0; k < 4; ++k) values[i * 4 + k] = it != m_constants.end() ? it->second[k] : 0.0f;
  }
}
