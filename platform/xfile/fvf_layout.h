// Where each component of a flexible-vertex-format vertex lies.
#pragma once

#include <cstdint>

namespace xfile {

struct FvfLayout {
  uint32_t stride = 0;
  uint32_t positionSize = 0;  // 12 for XYZ, 16 for XYZRHW, 12 + 4n with blend weights
  int32_t normal = -1;        // byte offsets, -1 when absent
  int32_t pointSize = -1;
  int32_t diffuse = -1;
  int32_t specular = -1;
  uint32_t texCount = 0;
  int32_t texOffset[8] = {};
  uint32_t texFloats[8] = {};
};

// False for formats we cannot lay out (no position, unknown bits).
bool DescribeFvf(uint32_t fvf, FvfLayout& layout);

}  // namespace xfile
