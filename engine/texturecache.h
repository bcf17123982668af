// Textures by resource name. The cache owns one reference of each texture; callers
// only borrow what Find gives them.
#pragma once

#include "engine/namedlist.h"
#include "platform/d3d8/d3d8.h"
#include "platform/win32/win32.h"

class CTextureCache {
 public:
  CTextureCache();
  // Releases whatever is still cached.
  virtual ~CTextureCache();

  // Appends an entry; the cache takes over the texture's reference.
  HRESULT Add(IDirect3DTexture8* pTexture, const char* strName);
  // First releases a texture the caller owns in *ppTexture (never one the cache
  // holds); then the first entry of that name, or null and E_FAIL. No reference is
  // added.
  HRESULT Find(const char* strName, IDirect3DTexture8** ppTexture);
  // Releases the textures of that name and forgets them; E_FAIL when there were none.
  // A device that still has one bound keeps it alive until it binds another.
  HRESULT Remove(const char* strName);
  // Releases every texture and empties the cache.
  HRESULT Clear();

  DWORD Count() const;
  bool Holds(const IDirect3DTexture8* pTexture) const;

  CTextureCache(const CTextureCache&) = delete;
  CTextureCache& operator=(const CTextureCache&) = delete;

 private:
  CNamedList<IDirect3DTexture8> m_textures;
};
