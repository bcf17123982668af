#include "platform/d3d8/pixel_format.h"

UINT D3DFormatBytesPerPixel(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_D32:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4:
      return 4;
    case D3DFMT_R8G8B8:
      return 3;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_A8L8:
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D15S1:
      return 2;
    case D3DFMT_A8:
    case D3DFMT_L8:
      return 1;
    default:
      return 0;
  }
}

bool D3DIsTextureFormat(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_A8L8:
    case D3DFMT_A8:
    case D3DFMT_L8:
      return true;
    default:
      return false;
  }
}

bool D3DIsDepthFormat(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D15S1:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4:
    case D3DFMT_D32:
      return true;
    default:
      return false;
  }
}

namespace {

BYTE Expand(unsigned value, unsigned bits) {
  const unsigned max = (1u << bits) - 1;
  return static_cast<BYTE>((value * 255 + max / 2) / max);
}

unsigned Shrink(BYTE value, unsigned bits) {
  const unsigned max = (1u << bits) - 1;
  return (value * max + 127) / 255;
}

}  // namespace

void D3DConvertToRGBA(const BYTE* source, D3DFORMAT format, UINT count, BYTE* rgba) {
  for (UINT i = 0; i < count; ++i, rgba += 4) {
    BYTE r = 255, g = 255, b = 255, a = 255;
    switch (format) {
      case D3DFMT_A8R8G8B8:
      case D3DFMT_X8R8G8B8:
        b = source[0], g = source[1], r = source[2];
        a = format == D3DFMT_A8R8G8B8 ? source[3] : 255;
        source += 4;
        break;
      case D3DFMT_R8G8B8:
        b = source[0], g = source[1], r = source[2];
        source += 3;
        break;
      case D3DFMT_R5G6B5: {
        const unsigned p = source[0] | (source[1] << 8);
        r = Expand((p >> 11) & 31, 5), g = Expand((p >> 5) & 63, 6), b = Expand(p & 31, 5);
        source += 2;
        break;
      }
      case D3DFMT_X1R5G5B5:
      case D3DFMT_A1R5G5B5: {
        const unsigned p = source[0] | (source[1] << 8);
        r = Expand((p >> 10) & 31, 5), g = Expand((p >> 5) & 31, 5), b = Expand(p & 31, 5);
        a = format == D3DFMT_A1R5G5B5 ? ((p & 0x8000) ? 255 : 0) : 255;
        source += 2;
        break;
      }
      case D3DFMT_A4R4G4B4:
      case D3DFMT_X4R4G4B4: {
        const unsigned p = source[0] | (source[1] << 8);
        r = Expand((p >> 8) & 15, 4), g = Expand((p >> 4) & 15, 4), b = Expand(p & 15, 4);
        a = format == D3DFMT_A4R4G4B4 ? Expand(p >> 12, 4) : 255;
        source += 2;
        break;
      }
      case D3DFMT_A8L8:
        r = g = b = source[0], a = source[1];
        source += 2;
        break;
      case D3DFMT_L8:
        r = g = b = source[0];
        source += 1;
        break;
      case D3DFMT_A8:
        a = source[0];
        source += 1;
        break;
      default:
        break;
    }
    rgba[0] = r, rgba[1] = g, rgba[2] = b, rgba[3] = a;
  }
}

void D3DConvertFromRGBA(const BYTE* rgba, D3DFORMAT format, UINT count, BYTE* destination) {
  for (UINT i = 0; i < count; ++i, rgba += 4) {
    const BYTE r = rgba[0], g = rgba[1], b = rgba[2], a = rgba[3];
    unsigned p = 0;
    switch (format) {
      case D3DFMT_A8R8G8B8:
      case D3DFMT_X8R8G8B8:
        destination[0] = b, destination[1] = g, destination[2] = r;
        destination[3] = format == D3DFMT_A8R8G8B8 ? a : 255;
        destination += 4;
        continue;
      case D3DFMT_R8G8B8:
        destination[0] = b, destination[1] = g, destination[2] = r;
        destination += 3;
        continue;
      case D3DFMT_R5G6B5:
        p = (Shrink(r, 5) << 11) | (Shrink(g, 6) << 5) | Shrink(b, 5);
        break;
      case D3DFMT_X1R5G5B5:
      case D3DFMT_A1R5G5B5:
        p = (Shrink(r, 5) << 10) | (Shrink(g, 5) << 5) | Shrink(b, 5);
        if (format == D3DFMT_X1R5G5B5 || a >= 128) p |= 0x8000;
        break;
      case D3DFMT_A4R4G4B4:
      case D3DFMT_X4R4G4B4:
        p = (Shrink(r, 4) << 8) | (Shrink(g, 4) << 4) | Shrink(b, 4);
        p |= (format == D3DFMT_A4R4G4B4 ? Shrink(a, 4) : 15u) << 12;
        break;
      case D3DFMT_A8L8:
        destination[0] = static_cast<BYTE>((r * 30 + g * 59 + b * 11) / 100), destination[1] = a;
        destination += 2;
        continue;
      case D3DFMT_L8:
        *destination++ = static_cast<BYTE>((r * 30 + g * 59 + b * 11) / 100);
        continue;
      case D3DFMT_A8:
        *destination++ = a;
        continue;
      default:
        continue;
    }
    destination[0] = static_cast<BYTE>(p & 0xff), destination[1] = static_cast<BYTE>(p >> 8);
    destination += 2;
  }
}
