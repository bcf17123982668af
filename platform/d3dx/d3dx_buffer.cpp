#include "platform/d3dx/d3dx8core.h"

#include <new>
#include <vector>

#include "platform/win32/com_object.h"

const IID IID_ID3DXBuffer = {0x56a3c1e2, 0x7b0d, 0x4f61, {0x9c, 0x35, 0x1e, 0x82, 0x4b, 0x6d, 0xa0, 0x17}};

namespace {

class D3DXBuffer final : public ComObject<ID3DXBuffer, IID_ID3DXBuffer> {
 public:
  explicit D3DXBuffer(DWORD size) : bytes_(size, 0) {}

  LPVOID GetBufferPointer() override { return bytes_.empty() ? nullptr : bytes_.data(); }
  DWORD GetBufferSize() override { return static_cast<DWORD>(bytes_.size()); }

 private:
  std::vector<BYTE> bytes_;
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
