// Resizing of ARGB pixel arrays for texture levels.
#pragma once

#include <cstdint>
#include <vector>

enum class ScaleFilter {
  None,    // no scaling: the source is copied to the top-left corner, the rest is transparent black
  Point,   // nearest source pixel
  Smooth,  // area average when shrinking, bilinear when enlarging (per axis)
};

// Each channel of 0xAARRGGBB pixels is filtered on its own (no premultiplication),
// so colour-keyed transparent black bleeds into its neighbours' edges as it does
// in the original library.
std::vector<uint32_t> ScaleImage(const uint32_t* source, uint32_t sourceWidth, uint32_t sourceHeight,
                                 uint32_t width, uint32_t height, ScaleFilter filter);
