#include "engine/texturecache.h"

CTextureCache::CTextureCache() = default;

CTextureCache::~CTextureCache() { Clear(); }

HRESULT CTextureCache::Add(IDirect3DTexture8* pTexture, const char* strName) {
  m_textures.Add(pTexture, strName);
  return S_OK;
}

HRESULT CTextureCache::Find(const char* strName, IDirect3DTexture8** ppTexture) {
  if (!ppTexture) return E_FAIL;
  if (*ppTexture && !Holds(*ppTexture)) (*ppTexture)->Release();
  *ppTexture = nullptr;
  return m_textures.Find(strName, ppTexture) ? S_OK : E_FAIL;
}

HRESULT CTextureCache::Remove(const char* strName) {
  const DWORD dwRemoved = m_textures.Remove(strName, [](IDirect3DTexture8* pTexture) { pTexture->Release(); });
  return dwRemoved ? S_OK : E_FAIL;
}

HRESULT CTextureCache::Clear() {
  m_textures.Clear([](IDirect3DTexture8* pTexture) { pTexture->Release(); });
  return S_OK;
}

DWORD CTextureCache::Count() const { return m_textures.Count(); }

bool CTextureCache::Holds(const IDirect3DTexture8* pTexture) const { return m_textures.Holds(pTexture); }
