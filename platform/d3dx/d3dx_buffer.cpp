#include "platform/d3dx/d3dx8core.h"

#include <atomic>
#include <new>
#include <vector>

const IID IID_ID3DXBuffer = {0x56a3c1e2, 0x7b0d, 0x4f61, {0x9c, 0x35, 0x1e, 0x82, 0x4b, 0x6d, 0xa0, 0x17}};

namespace {

class D3DXBuffer final : public ID3DXBuffer {
 public:
  explicit D3DXBuffer(DWORD size) : bytes_(size, 0) {}

  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ID3DXBuffer) {
      AddRef();
      *object = static_cast<ID3DXBuffer*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  LPVOID GetBufferPointer() override { return bytes_.empty() ? nullptr : bytes_.data(); }
  DWORD GetBufferSize() override { return static_cast<DWORD>(bytes_.size()); }

 private:
  std::vector<BYTE> bytes_;
  std::atomic<ULONG> references_{1};
};

}  // namespace

HRESULT D3DXCreateBuffer(DWORD numBytes, LPD3DXBUFFER* buffer) {
  if (!buffer) return E_POINTER;
  *buffer = nullptr;
  try {
    *buffer = new D3DXBuffer(numBytes);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}
