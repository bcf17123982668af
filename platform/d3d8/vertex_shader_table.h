// The vertex shaders a device has been given: their declarations by handle, and the
// shader constants. Both devices keep them the same way; drawing reads the layout
// from the declaration (no shader program runs).
#pragma once

#include <map>
#include <vector>

#include "platform/d3d8/d3d8.h"

class CVertexShaderTable {
 public:
  // Keeps the declaration (up to its D3DVSD_END token) and returns the new handle.
  // Handles have bit 0 set so they never look like a vertex format.
  DWORD Create(const DWORD* declaration);
  bool Delete(DWORD handle) { return m_declarations.erase(handle) != 0; }
  bool Has(DWORD handle) const { return m_declarations.count(handle) != 0; }
  // The declaration tokens of `handle`; null for an unknown handle.
  const std::vector<DWORD>* Declaration(DWORD handle) const;
  // GetVertexShaderDeclaration: the size alone when `data` is null, D3DERR_MOREDATA
  // (and the size needed) when `*size` is too small.
  HRESULT CopyDeclaration(DWORD handle, void* data, DWORD* size) const;

  // `count` registers of 4 floats each, from `reg` on; registers never set read as 0.
  void SetConstants(DWORD reg, const float* values, DWORD count);
  void GetConstants(DWORD reg, float* values, DWORD count) const;
  const std::map<DWORD, std::vector<float>>& Constants() const { return m_constants; }

 private:
  std::map<DWORD, std::vector<DWORD>> m_declarations;
  DWORD m_nextShader = 1;
  std::map<DWORD, std::vector<float>> m_constants;
};
