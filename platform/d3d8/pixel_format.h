// Sizes of Direct3D pixel formats and conversion of their pixels to RGBA bytes.
#pragma once

#include "platform/d3d8/d3d8types.h"

// Bytes per pixel of a lockable format, 0 for formats this layer cannot store.
UINT D3DFormatBytesPerPixel(D3DFORMAT format);
// True for the colour formats textures can be made in.
bool D3DIsTextureFormat(D3DFORMAT format);
bool D3DIsDepthFormat(D3DFORMAT format);
// Converts `count` pixels of `format` to R, G, B, A bytes. Formats without
// alpha give 255.
void D3DConvertToRGBA(const BYTE* source, D3DFORMAT format, UINT count, BYTE* rgba);
// Converts RGBA bytes to `format` (the reverse, used to read back the frame).
void D3DConvertFromRGBA(const BYTE* rgba, D3DFORMAT format, UINT count, BYTE* destination);
