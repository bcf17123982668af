#include "platform/d3d8/memory_resources.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/d3d8/pixel_format.h"

size_t CMemoryResourceHost::LiveCount(D3DPOOL pool) const {
  return static_cast<size_t>(
      std::count_if(live.begin(), live.end(), [pool](const CMemoryResource* r) { return r->Pool() == pool; }));
}

CMemoryResource::CMemoryResource(MemoryHostPtr host, D3DRESOURCETYPE type, DWORD usage, D3DPOOL pool)
    : m_host(std::move(host)), m_type(type), m_usage(usage), m_pool(pool) {
  m_host->live.insert(this);
}

CMemoryResource::~CMemoryResource() {
  m_host->live.erase(this);
  for (auto& entry : m_privateData)
    if (entry.second.object) entry.second.object->Release();
}

ULONG CMemoryResource::DoRelease() {
  if (m_refs == 0) return 0;  // over-release: ignore rather than corrupt
  const ULONG left = --m_refs;
  if (left == 0) {
    m_host->live.erase(this);
    DeleteIfUnused();
  }
  return left;
}

void CMemoryResource::InternalRelease() {
  if (m_internalRefs > 0) --m_internalRefs;
  DeleteIfUnused();
}

void CMemoryResource::DeleteIfUnused() {
  if (m_refs == 0 && m_internalRefs == 0) delete this;
}

HRESULT CMemoryResource::DoGetDevice(IDirect3DDevice8** device) {
  if (!device) return D3DERR_INVALIDCALL;
  *device = m_host->device;
  if (!*device) return D3DERR_INVALIDCALL;
  (*device)->AddRef();
  return S_OK;
}

HRESULT CMemoryResource::DoSetPrivateData(REFGUID guid, const void* data, DWORD size, DWORD flags) {
  if (!data && size) return D3DERR_INVALIDCALL;
  DoFreePrivateData(guid);
  PrivateData entry;
  if (flags & D3DSPD_IUNKNOWN) {
    if (size != sizeof(IUnknown*)) return D3DERR_INVALIDCALL;
    entry.object = *static_cast<IUnknown* const*>(data);
    if (entry.object) entry.object->AddRef();
  } else {
    const BYTE* bytes = static_cast<const BYTE*>(data);
    entry.bytes.assign(bytes, bytes + size);
  }
  m_privateData.emplace_back(guid, std::move(entry));
  return S_OK;
}

HRESULT CMemoryResource::DoGetPrivateData(REFGUID guid, void* data, DWORD* size) {
  if (!size) return D3DERR_INVALIDCALL;
  for (auto& entry : m_privateData) {
    if (entry.first != guid) continue;
    const DWORD needed =
        entry.second.object ? static_cast<DWORD>(sizeof(IUnknown*)) : static_cast<DWORD>(entry.second.bytes.size());
    if (!data || *size < needed) {
      *size = needed;
      return D3DERR_MOREDATA;
    }
    *size = needed;
    if (entry.second.object) {
      entry.second.object->AddRef();
      std::memcpy(data, &entry.second.object, sizeof(IUnknown*));
    } else if (needed) {
      std::memcpy(data, entry.second.bytes.data(), needed);
    }
    return S_OK;
  }
  return D3DERR_NOTFOUND;
}

HRESULT CMemoryResource::DoFreePrivateData(REFGUID guid) {
  for (auto it = m_privateData.begin(); it != m_privateData.end(); ++it) {
    if (it->first != guid) continue;
    if (it->second.object) it->second.object->Release();
    m_privateData.erase(it);
    return S_OK;
  }
  return D3DERR_NOTFOUND;
}

template <class I>
HRESULT TMemoryResource<I>::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (riid == IID_IUnknown || riid == IID_IDirect3DResource8 || riid == m_iid ||
      (riid == IID_IDirect3DBaseTexture8 && m_type == D3DRTYPE_TEXTURE)) {
    *object = static_cast<I*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

template class TMemoryResource<IDirect3DVertexBuffer8>;
template class TMemoryResource<IDirect3DIndexBuffer8>;
template class TMemoryResource<IDirect3DTexture8>;

namespace {

bool LockRange(size_t bufferSize, UINT offset, UINT size, UINT* length) {
  if (offset > bufferSize) return false;
  *length = size == 0 ? static_cast<UINT>(bufferSize - offset) : size;
  return static_cast<size_t>(offset) + *length <= bufferSize;
}

}  // namespace

// ---------------------------------------------------------------------------
template <class I>
TMemoryBuffer<I>::~TMemoryBuffer() {
  if (glName && this->m_host->bufferDestroyed) this->m_host->bufferDestroyed(glName);
}

template <class I>
HRESULT TMemoryBuffer<I>::Lock(UINT offset, UINT size, BYTE** data, DWORD flags) {
  UINT length = 0;
  if (!data || !LockRange(m_data.size(), offset, size, &length)) return D3DERR_INVALIDCALL;
  *data = m_data.data() + offset;
  ++m_locks;
  if (!(flags & D3DLOCK_READONLY)) ++m_version;
  return S_OK;
}

template <class I>
HRESULT TMemoryBuffer<I>::Unlock() {
  if (m_locks == 0) return D3DERR_INVALIDCALL;
  --m_locks;
  return S_OK;
}

template class TMemoryBuffer<IDirect3DVertexBuffer8>;
template class TMemoryBuffer<IDirect3DIndexBuffer8>;

// ---------------------------------------------------------------------------
CMemoryVertexBuffer::CMemoryVertexBuffer(MemoryHostPtr host, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : TMemoryBuffer(std::move(host), D3DRTYPE_VERTEXBUFFER, length, usage, pool, IID_IDirect3DVertexBuffer8),
      m_fvf(fvf) {}

HRESULT CMemoryVertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  desc->Format = D3DFMT_VERTEXDATA;
  desc->Type = D3DRTYPE_VERTEXBUFFER;
  desc->Usage = m_usage;
  desc->Pool = m_pool;
  desc->Size = static_cast<UINT>(m_data.size());
  desc->FVF = m_fvf;
  return S_OK;
}

// ---------------------------------------------------------------------------
CMemoryIndexBuffer::CMemoryIndexBuffer(MemoryHostPtr host, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : TMemoryBuffer(std::move(host), D3DRTYPE_INDEXBUFFER, length, usage, pool, IID_IDirect3DIndexBuffer8),
      m_format(format) {}

UINT CMemoryIndexBuffer::MaxIndex() {
  if (m_maxIndexVersion == Version()) return m_maxIndex;
  m_maxIndex = MaxIndexIn(0, m_data.size() / IndexSize());
  m_maxIndexVersion = Version();
  return m_maxIndex;
}

UINT CMemoryIndexBuffer::MaxIndexIn(size_t first, size_t count) const {
  const BYTE* raw = m_data.data() + first * IndexSize();
  UINT high = 0;
  for (size_t i = 0; i < count; ++i) {
    if (IndexSize() == 4) {
      uint32_t value;
      std::memcpy(&value, raw + i * 4, 4);
      high = std::max<UINT>(high, value);
    } else {
      uint16_t value;
      std::memcpy(&value, raw + i * 2, 2);
      high = std::max<UINT>(high, value);
    }
  }
  return high;
}

HRESULT CMemoryIndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  desc->Format = m_format;
  desc->Type = D3DRTYPE_INDEXBUFFER;
  desc->Usage = m_usage;
  desc->Pool = m_pool;
  desc->Size = static_cast<UINT>(m_data.size());
  return S_OK;
}

// ---------------------------------------------------------------------------
UINT CMemoryImage::Pitch() const { return width * D3DFormatBytesPerPixel(format); }

void CMemoryImage::Allocate(UINT w, UINT h, D3DFORMAT f) {
  width = w, height = h, format = f;
  pixels.assign(static_cast<size_t>(Pitch()) * h, 0);
}

CMemoryTexture::CMemoryTexture(MemoryHostPtr host, UINT width, UINT height, UINT levels, DWORD usage,
                               D3DFORMAT format, D3DPOOL pool)
    : TMemoryResource(std::move(host), D3DRTYPE_TEXTURE, usage, pool, IID_IDirect3DTexture8), m_format(format) {
  UINT w = std::max(width, 1u), h = std::max(height, 1u);
  do {
    m_levels.emplace_back();
    m_levels.back().Allocate(w, h, format);
    if (w == 1 && h == 1) break;
    w = std::max(w / 2, 1u), h = std::max(h / 2, 1u);
  } while (levels == 0 || m_levels.size() < levels);
  m_locks.assign(m_levels.size(), 0);
  m_takenOver.assign(m_levels.size(), false);
}

CMemoryImage& CMemoryTexture::Level(UINT level) {
  CMemoryImage& image = m_levels[level];
  if (m_takenOver[level]) {
    image.Allocate(image.width, image.height, m_format);  // if this throws, the device keeps the level
    m_takenOver[level] = false;
    if (m_host->readTextureLevel) m_host->readTextureLevel(this, level, image);
  }
  return image;
}

void CMemoryTexture::TakeOverPixels(UINT level) {
  if (m_locks[level] > 0) return;
  std::vector<BYTE>().swap(m_levels[level].pixels);
  m_takenOver[level] = true;
}

CMemoryTexture::~CMemoryTexture() {
  if (m_host->textureDestroyed) m_host->textureDestroyed(this);
}

DWORD CMemoryTexture::SetLOD(DWORD lod) {
  const DWORD old = m_lod;
  if (m_pool == D3DPOOL_MANAGED) m_lod = std::min<DWORD>(lod, GetLevelCount() - 1);
  return old;
}

HRESULT CMemoryTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
  if (!desc || level >= m_levels.size()) return D3DERR_INVALIDCALL;
  desc->Format = m_format;
  desc->Type = D3DRTYPE_SURFACE;
  desc->Usage = m_usage;
  desc->Pool = m_pool;
  desc->Size = m_levels[level].Pitch() * m_levels[level].height;
  desc->MultiSampleType = D3DMULTISAMPLE_NONE;
  desc->Width = m_levels[level].width;
  desc->Height = m_levels[level].height;
  return S_OK;
}

HRESULT CMemoryTexture::GetSurfaceLevel(UINT level, IDirect3DSurface8** surface) {
  if (!surface || level >= m_levels.size()) return D3DERR_INVALIDCALL;
  *surface = nullptr;
  return UnlessOutOfMemory([&] {
    *surface = new CMemorySurface(m_host, this, level);
    return S_OK;
  });
}

HRESULT CMemoryTexture::LockRect(UINT level, D3DLOCKED_RECT* locked, CONST RECT* rect, DWORD) {
  if (!locked || level >= m_levels.size()) return D3DERR_INVALIDCALL;
  const CMemoryImage& shape = m_levels[level];
  const UINT pitch = shape.Pitch();
  size_t offset = 0;
  if (rect) {
    if (rect->left < 0 || rect->top < 0 || rect->right > static_cast<LONG>(shape.width) ||
        rect->bottom > static_cast<LONG>(shape.height) || rect->left >= rect->right || rect->top >= rect->bottom)
      return D3DERR_INVALIDCALL;
    offset = static_cast<size_t>(rect->top) * pitch +
             static_cast<size_t>(rect->left) * D3DFormatBytesPerPixel(m_format);
  }
  BYTE* pixels = nullptr;
  // A level the device holds comes back into memory.
  if (UnlessOutOfMemory([&] {
        pixels = Level(level).pixels.data();
        return S_OK;
      }) != S_OK)
    return E_OUTOFMEMORY;
  locked->Pitch = static_cast<INT>(pitch);
  locked->pBits = pixels + offset;
  ++m_locks[level];
  return S_OK;
}

HRESULT CMemoryTexture::UnlockRect(UINT level) {
  if (level >= m_levels.size() || m_locks[level] == 0) return D3DERR_INVALIDCALL;
  if (--m_locks[level] == 0 && m_host->textureLevelUnlocked) m_host->textureLevelUnlocked(this, level);
  return S_OK;
}

// Every level a device holds is as current as the memory copy would be.
HRESULT CMemoryTexture::AddDirtyRect(CONST RECT*) { return S_OK; }

// ---------------------------------------------------------------------------
CMemorySurface::CMemorySurface(MemoryHostPtr host, UINT width, UINT height, D3DFORMAT format, DWORD usage,
                               D3DPOOL pool)
    : m_host(std::move(host)), m_usage(usage), m_pool(pool) {
  m_image.Allocate(width, height, format);
}

CMemorySurface::CMemorySurface(MemoryHostPtr host, CMemoryTexture* texture, UINT level)
    : m_host(std::move(host)), m_texture(texture), m_level(level), m_usage(texture->Usage()),
      m_pool(texture->Pool()) {
  texture->AddRef();
}

CMemorySurface::~CMemorySurface() {
  if (m_texture) m_texture->Release();
}

CMemoryImage& CMemorySurface::Image() { return m_texture ? m_texture->Level(m_level) : m_image; }

HRESULT CMemorySurface::GetDevice(IDirect3DDevice8** device) {
  if (!device || !m_host->device) return D3DERR_INVALIDCALL;
  *device = m_host->device;
  (*device)->AddRef();
  return S_OK;
}

HRESULT CMemorySurface::SetPrivateData(REFGUID, CONST void*, DWORD, DWORD) { return E_NOTIMPL; }
HRESULT CMemorySurface::GetPrivateData(REFGUID, void*, DWORD*) { return D3DERR_NOTFOUND; }
HRESULT CMemorySurface::FreePrivateData(REFGUID) { return D3DERR_NOTFOUND; }

HRESULT CMemorySurface::GetContainer(REFIID riid, void** container) {
  if (!container) return D3DERR_INVALIDCALL;
  *container = nullptr;
  if (m_texture) return m_texture->QueryInterface(riid, container);
  if (m_host->device) return m_host->device->QueryInterface(riid, container);
  return E_NOINTERFACE;
}

HRESULT CMemorySurface::GetDesc(D3DSURFACE_DESC* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  if (m_texture) return m_texture->GetLevelDesc(m_level, desc);
  const CMemoryImage& image = m_image;
  desc->Format = image.format;
  desc->Type = D3DRTYPE_SURFACE;
  desc->Usage = m_usage;
  desc->Pool = m_pool;
  desc->Size = static_cast<UINT>(image.pixels.size());
  desc->MultiSampleType = D3DMULTISAMPLE_NONE;
  desc->Width = image.width;
  desc->Height = image.height;
  return S_OK;
}

HRESULT CMemorySurface::LockRect(D3DLOCKED_RECT* locked, CONST RECT* rect, DWORD flags) {
  if (!locked || m_locked) return D3DERR_INVALIDCALL;
  if (m_texture) {
    const HRESULT hr = m_texture->LockRect(m_level, locked, rect, flags);
    m_locked = SUCCEEDED(hr);
    return hr;
  }
  if (D3DFormatBytesPerPixel(m_image.format) == 0) return D3DERR_INVALIDCALL;
  if (refreshOnLock && UnlessOutOfMemory([&] {
        refreshOnLock(m_image);
        return S_OK;
      }) != S_OK)
    return E_OUTOFMEMORY;
  const UINT pitch = m_image.Pitch();
  size_t offset = 0;
  if (rect) {
    if (rect->left < 0 || rect->top < 0 || rect->right > static_cast<LONG>(m_image.width) ||
        rect->bottom > static_cast<LONG>(m_image.height) || rect->left >= rect->right || rect->top >= rect->bottom)
      return D3DERR_INVALIDCALL;
    offset = static_cast<size_t>(rect->top) * pitch +
             static_cast<size_t>(rect->left) * D3DFormatBytesPerPixel(m_image.format);
  }
  locked->Pitch = static_cast<INT>(pitch);
  locked->pBits = m_image.pixels.data() + offset;
  m_locked = true;
  return S_OK;
}

HRESULT CMemorySurface::UnlockRect() {
  if (!m_locked) return D3DERR_INVALIDCALL;
  m_locked = false;
  return m_texture ? m_texture->UnlockRect(m_level) : S_OK;
}

CMemoryTexture* AsMemoryTexture(IDirect3DBaseTexture8* texture) { return dynamic_cast<CMemoryTexture*>(texture); }
CMemoryVertexBuffer* AsMemoryVertexBuffer(IDirect3DVertexBuffer8* buffer) {
  return dynamic_cast<CMemoryVertexBuffer*>(buffer);
}
CMemoryIndexBuffer* AsMemoryIndexBuffer(IDirect3DIndexBuffer8* buffer) {
  return dynamic_cast<CMemoryIndexBuffer*>(buffer);
}
CMemorySurface* AsMemorySurface(IDirect3DSurface8* surface) { return dynamic_cast<CMemorySurface*>(surface); }
