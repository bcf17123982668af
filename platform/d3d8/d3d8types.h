// Direct3D 8 value types shared by the device, the utility library and the game.
#pragma once

#include "platform/win32/win32.h"

typedef DWORD D3DCOLOR;  // 0xAARRGGBB: bytes B, G, R, A in memory
#define D3DCOLOR_ARGB(a, r, g, b) \
  static_cast<D3DCOLOR>((((a) & 0xffu) << 24) | (((r) & 0xffu) << 16) | (((g) & 0xffu) << 8) | ((b) & 0xffu))
#define D3DCOLOR_RGBA(r, g, b, a) D3DCOLOR_ARGB(a, r, g, b)
#define D3DCOLOR_XRGB(r, g, b) D3DCOLOR_ARGB(0xff, r, g, b)

struct D3DVECTOR {
  float x, y, z;
};

struct D3DCOLORVALUE {
  float r, g, b, a;
};

// Row-major 4x4 matrix; vectors are rows multiplied from the left.
struct D3DMATRIX {
  union {
    struct {
      float _11, _12, _13, _14;
      float _21, _22, _23, _24;
      float _31, _32, _33, _34;
      float _41, _42, _43, _44;
    };
    float m[4][4];
  };
};
