// In-memory Direct3D 8 resources shared by the OpenGL device and the recording
// device: buffers, textures and surfaces keep their pixels/bytes in their own
// Direct3D format. A device may take over the pixels of a texture level (the
// OpenGL device keeps them in OpenGL); the level then brings them back when read.
//
// Reference counting: Release returns the caller-visible count. A device that
// binds a resource holds an internal reference so the memory stays valid while
// bound; the object is deleted when both counts reach zero.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <vector>

#include "platform/d3d8/d3d8.h"
#include "platform/win32/com_object.h"

class CMemoryResource;
class CMemoryTexture;
struct CMemoryImage;

// Memory running out is the caller's E_OUTOFMEMORY, as Direct3D reports it; the game
// meets a failed creation or lock as it meets any other, instead of ending.
template <class Make>
HRESULT UnlessOutOfMemory(Make make) {
  try {
    return make();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

// The link from resources back to the device that made them. Shared, so a
// resource released after its device is gone stays safe.
class CMemoryResourceHost {
 public:
  IDirect3DDevice8* device = nullptr;  // null once the device is destroyed
  std::set<CMemoryResource*> live;     // resources with a caller reference
  // Called when a texture is deleted (the OpenGL device frees its GL name).
  std::function<void(CMemoryTexture*)> textureDestroyed;
  // Called when the last lock of a texture level ends (the OpenGL device uploads it).
  std::function<void(CMemoryTexture*, UINT level)> textureLevelUnlocked;
  // Called when a vertex or index buffer with a device copy (`glName`) is deleted.
  std::function<void(unsigned glName)> bufferDestroyed;
  // Fills `image` (allocated, zeros) with the pixels of a level the device took over.
  std::function<void(CMemoryTexture*, UINT level, CMemoryImage& image)> readTextureLevel;

  size_t LiveCount() const { return live.size(); }
  size_t LiveCount(D3DPOOL pool) const;
};
typedef std::shared_ptr<CMemoryResourceHost> MemoryHostPtr;

// Book-keeping common to every resource.
class CMemoryResource {
 public:
  CMemoryResource(MemoryHostPtr host, D3DRESOURCETYPE type, DWORD usage, D3DPOOL pool);
  virtual ~CMemoryResource();

  D3DPOOL Pool() const { return m_pool; }
  DWORD Usage() const { return m_usage; }
  D3DRESOURCETYPE ResourceType() const { return m_type; }
  ULONG PublicRefs() const { return m_refs; }
  void InternalAddRef() { ++m_internalRefs; }
  void InternalRelease();
  // The interface pointer of this resource as the device sees it.
  virtual IUnknown* Interface() = 0;

 protected:
  ULONG DoAddRef() { return ++m_refs; }
  ULONG DoRelease();
  HRESULT DoGetDevice(IDirect3DDevice8** device);
  HRESULT DoSetPrivateData(REFGUID guid, const void* data, DWORD size, DWORD flags);
  HRESULT DoGetPrivateData(REFGUID guid, void* data, DWORD* size);
  HRESULT DoFreePrivateData(REFGUID guid);
  DWORD DoSetPriority(DWORD priority) {
    const DWORD old = m_priority;
    m_priority = m_pool == D3DPOOL_MANAGED ? priority : 0;
    return old;
  }
  DWORD DoGetPriority() const { return m_priority; }

  MemoryHostPtr m_host;
  D3DRESOURCETYPE m_type;
  DWORD m_usage;
  D3DPOOL m_pool;

 private:
  void DeleteIfUnused();

  ULONG m_refs = 1;
  ULONG m_internalRefs = 0;
  DWORD m_priority = 0;
  struct PrivateData {
    std::vector<BYTE> bytes;
    IUnknown* object = nullptr;
  };
  std::vector<std::pair<GUID, PrivateData>> m_privateData;
};

// Implements IUnknown and IDirect3DResource8 for interface I over CMemoryResource.
template <class I>
class TMemoryResource : public I, public CMemoryResource {
 public:
  TMemoryResource(MemoryHostPtr host, D3DRESOURCETYPE type, DWORD usage, D3DPOOL pool, const IID& iid)
      : CMemoryResource(std::move(host), type, usage, pool), m_iid(iid) {}
  IUnknown* Interface() override { return static_cast<I*>(this); }
  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override { return DoAddRef(); }
  ULONG Release() override { return DoRelease(); }
  HRESULT GetDevice(IDirect3DDevice8** device) override { return DoGetDevice(device); }
  HRESULT SetPrivateData(REFGUID guid, CONST void* data, DWORD size, DWORD flags) override {
    return DoSetPrivateData(guid, data, size, flags);
  }
  HRESULT GetPrivateData(REFGUID guid, void* data, DWORD* size) override { return DoGetPrivateData(guid, data, size); }
  HRESULT FreePrivateData(REFGUID guid) override { return DoFreePrivateData(guid); }
  DWORD SetPriority(DWORD priority) override { return DoSetPriority(priority); }
  DWORD GetPriority() override { return DoGetPriority(); }
  void PreLoad() override {}
  D3DRESOURCETYPE GetType() override { return m_type; }

 private:
  const IID& m_iid;
};

// The bytes of a vertex or index buffer, locked by byte range (size 0 = to the end).
// The bytes stay here (a lock always sees them); a device may keep a copy of its own,
// which it refreshes when `Version()` moves on (every lock that may write).
template <class I>
class TMemoryBuffer : public TMemoryResource<I> {
 public:
  TMemoryBuffer(MemoryHostPtr host, D3DRESOURCETYPE type, UINT length, DWORD usage, D3DPOOL pool, const IID& iid)
      : TMemoryResource<I>(std::move(host), type, usage, pool, iid), m_data(length) {}
  ~TMemoryBuffer() override;
  HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, BYTE** ppbData, DWORD Flags) override;
  HRESULT Unlock() override;

  const std::vector<BYTE>& Data() const { return m_data; }
  bool Locked() const { return m_locks > 0; }
  unsigned Version() const { return m_version; }

  unsigned glName = 0;     // OpenGL buffer object, owned by the OpenGL device
  unsigned glVersion = 0;  // the Version() its contents are

 protected:
  std::vector<BYTE> m_data;

 private:
  int m_locks = 0;
  unsigned m_version = 1;
};

class CMemoryVertexBuffer : public TMemoryBuffer<IDirect3DVertexBuffer8> {
 public:
  CMemoryVertexBuffer(MemoryHostPtr host, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC* pDesc) override;

  DWORD FVF() const { return m_fvf; }

 private:
  DWORD m_fvf;
};

class CMemoryIndexBuffer : public TMemoryBuffer<IDirect3DIndexBuffer8> {
 public:
  CMemoryIndexBuffer(MemoryHostPtr host, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);
  HRESULT GetDesc(D3DINDEXBUFFER_DESC* pDesc) override;

  D3DFORMAT Format() const { return m_format; }
  UINT IndexSize() const { return m_format == D3DFMT_INDEX32 ? 4 : 2; }
  // The largest index the whole buffer holds (0 when empty), worked out once a version.
  UINT MaxIndex();
  // The largest of `count` indices from index `first` on, which the caller keeps within the buffer.
  UINT MaxIndexIn(size_t first, size_t count) const;

 private:
  D3DFORMAT m_format;
  UINT m_maxIndex = 0;
  unsigned m_maxIndexVersion = 0;
};

// Pixels of one surface in its Direct3D format, rows packed (pitch = width x bytes per pixel).
struct CMemoryImage {
  UINT width = 0, height = 0;
  D3DFORMAT format = D3DFMT_UNKNOWN;
  std::vector<BYTE> pixels;
  UINT Pitch() const;
  void Allocate(UINT w, UINT h, D3DFORMAT f);
};

class CMemoryTexture : public TMemoryResource<IDirect3DTexture8> {
 public:
  // levels 0 makes the full chain down to 1x1.
  CMemoryTexture(MemoryHostPtr host, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                 D3DPOOL pool);
  ~CMemoryTexture() override;

  DWORD SetLOD(DWORD LODNew) override;
  DWORD GetLOD() override { return m_lod; }
  DWORD GetLevelCount() override { return static_cast<DWORD>(m_levels.size()); }
  HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
  HRESULT GetSurfaceLevel(UINT Level, IDirect3DSurface8** ppSurfaceLevel) override;
  HRESULT LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, CONST RECT* pRect, DWORD Flags) override;
  HRESULT UnlockRect(UINT Level) override;
  HRESULT AddDirtyRect(CONST RECT* pDirtyRect) override;

  D3DFORMAT Format() const { return m_format; }
  UINT Width() const { return m_levels[0].width; }
  UINT Height() const { return m_levels[0].height; }
  // The pixels of a level, read back from the device first when it took them over.
  CMemoryImage& Level(UINT level);
  // Whether the level's pixels are in memory (not taken over by the device).
  bool HasPixels(UINT level) const { return !m_takenOver[level]; }
  bool Locked(UINT level) const { return m_locks[level] > 0; }
  // The device holds the level's pixels now: the memory copy is freed.
  void TakeOverPixels(UINT level);
  unsigned glName = 0;  // OpenGL texture name, owned by the OpenGL device
  D3DCOLOR glBorderColor = 0;  // the border colour last given to `glName` (GL starts it at 0)

 private:
  D3DFORMAT m_format;
  std::vector<CMemoryImage> m_levels;
  std::vector<int> m_locks;
  std::vector<bool> m_takenOver;
  DWORD m_lod = 0;
};

// A surface: a free-standing image (image surface, depth buffer, back-buffer
// copy) or one level of a texture, whose reference it then holds.
class CMemorySurface : public ComObject<IDirect3DSurface8, IID_IDirect3DSurface8> {
 public:
  CMemorySurface(MemoryHostPtr host, UINT width, UINT height, D3DFORMAT format, DWORD usage, D3DPOOL pool);
  CMemorySurface(MemoryHostPtr host, CMemoryTexture* texture, UINT level);

  HRESULT GetDevice(IDirect3DDevice8** ppDevice) override;
  HRESULT SetPrivateData(REFGUID refguid, CONST void* pData, DWORD SizeOfData, DWORD Flags) override;
  HRESULT GetPrivateData(REFGUID refguid, void* pData, DWORD* pSizeOfData) override;
  HRESULT FreePrivateData(REFGUID refguid) override;
  HRESULT GetContainer(REFIID riid, void** ppContainer) override;
  HRESULT GetDesc(D3DSURFACE_DESC* pDesc) override;
  HRESULT LockRect(D3DLOCKED_RECT* pLockedRect, CONST RECT* pRect, DWORD Flags) override;
  HRESULT UnlockRect() override;

  CMemoryImage& Image();
  // Called at LockRect to fill the pixels first (the back buffer reads the frame).
  std::function<void(CMemoryImage&)> refreshOnLock;

 protected:
  ~CMemorySurface() override;

 private:
  MemoryHostPtr m_host;
  CMemoryImage m_image;
  CMemoryTexture* m_texture = nullptr;
  UINT m_level = 0;
  DWORD m_usage;
  D3DPOOL m_pool;
  bool m_locked = false;
};

// The caller's interface pointers mapped back to the implementation; null for
// objects of another implementation.
CMemoryTexture* AsMemoryTexture(IDirect3DBaseTexture8* texture);
CMemoryVertexBuffer* AsMemoryVertexBuffer(IDirect3DVertexBuffer8* buffer);
CMemoryIndexBuffer* AsMemoryIndexBuffer(IDirect3DIndexBuffer8* buffer);
CMemorySurface* AsMemorySurface(IDirect3DSurface8* surface);
