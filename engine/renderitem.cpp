#include "engine/renderitem.h"

#include <cstring>

RenderItem::RenderItem() { Reset(); }

void RenderItem::Reset() {
  m_bQuad = 0;
  m_bNoDepth = 0;
  m_bBlend = 0;
  for (auto& row : m_matWorld.m)
    for (float& value : row) value = 0.0f;
  m_strTexture = "";
  m_bColorKey = 0;
  m_dwColorKey = 0;
  m_dwLight = 0;
  m_pMesh = nullptr;
  m_dwStride = 0;
  std::memset(&m_Material, 0, sizeof m_Material);
  m_pVB = nullptr;
  m_dwPrimCount = 0;
  m_dwSrcBlend = 0;
  m_dwDestBlend = 0;
  m_pShader = nullptr;
}
