#include "platform/xfile/fvf_layout.h"

#include "platform/d3d8/d3d8types.h"

namespace xfile {

bool DescribeFvf(uint32_t fvf, FvfLayout& layout) {
  layout = FvfLayout{};
  switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: layout.positionSize = 12; break;
    case D3DFVF_XYZRHW: layout.positionSize = 16; break;
    case D3DFVF_XYZB1: layout.positionSize = 16; break;
    case D3DFVF_XYZB2: layout.positionSize = 20; break;
    case D3DFVF_XYZB3: layout.positionSize = 24; break;
    case D3DFVF_XYZB4: layout.positionSize = 28; break;
    case D3DFVF_XYZB5: layout.positionSize = 32; break;
    default: return false;
  }
  uint32_t offset = layout.positionSize;
  if (fvf & D3DFVF_NORMAL) {
    layout.normal = static_cast<int32_t>(offset);
    offset += 12;
  }
  if (fvf & D3DFVF_PSIZE) {
    layout.pointSize = static_cast<int32_t>(offset);
    offset += 4;
  }
  if (fvf & D3DFVF_DIFFUSE) {
    layout.diffuse = static_cast<int32_t>(offset);
    offset += 4;
  }
  if (fvf & D3DFVF_SPECULAR) {
    layout.specular = static_cast<int32_t>(offset);
    offset += 4;
  }
  layout.texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  if (layout.texCount > 8) return false;
  for (uint32_t i = 0; i < layout.texCount; ++i) {
    static const uint32_t kFloats[4] = {2, 3, 4, 1};  // by the two format bits of the set
    layout.texOffset[i] = static_cast<int32_t>(offset);
    layout.texFloats[i] = kFloats[(fvf >> (16 + 2 * i)) & 3u];
    offset += 4 * layout.texFloats[i];
  }
  layout.stride = offset;
  return true;
}

}  // namespace xfile
