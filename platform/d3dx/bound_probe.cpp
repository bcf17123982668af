#include "platform/d3dx/d3dx8probe.h"

#include <algorithm>
#include <cmath>

BOOL D3DXBoxBoundProbe(const D3DXVECTOR3* min, const D3DXVECTOR3* max, const D3DXVECTOR3* rayPosition,
                       const D3DXVECTOR3* rayDirection) {
  // Slab test along the ray's parameter t >= 0. Corners carried through a
  // rotation may arrive swapped on some axes, so each axis is sorted first.
  const float lo[3] = {std::min(min->x, max->x), std::min(min->y, max->y), std::min(min->z, max->z)};
  const float hi[3] = {std::max(min->x, max->x), std::max(min->y, max->y), std::max(min->z, max->z)};
  const float origin[3] = {rayPosition->x, rayPosition->y, rayPosition->z};
  const float dir[3] = {rayDirection->x, rayDirection->y, rayDirection->z};
  float tNear = 0.0f;
  float tFar = INFINITY;
  for (int axis = 0; axis < 3; ++axis) {
    if (dir[axis] == 0.0f) {
      // Parallel to this slab: the origin must already lie between its planes.
      if (origin[axis] < lo[axis] || origin[axis] > hi[axis]) return FALSE;
      continue;
    }
    float t1 = (lo[axis] - origin[axis]) / dir[axis];
    float t2 = (hi[axis] - origin[axis]) / dir[axis];
    if (t1 > t2) std::swap(t1, t2);
    tNear = std::max(tNear, t1);
    tFar = std::min(tFar, t2);
    if (tNear > tFar) return FALSE;
  }
  return TRUE;
}

BOOL D3DXSphereBoundProbe(const D3DXVECTOR3* center, FLOAT radius, const D3DXVECTOR3* rayPosition,
                          const D3DXVECTOR3* rayDirection) {
  // |p + t d - c|^2 = r^2  =>  a t^2 + 2 b t + c0 = 0.
  D3DXVECTOR3 offset = *rayPosition - *center;
  float c0 = D3DXVec3LengthSq(&offset) - radius * radius;
  if (c0 <= 0.0f) return TRUE;  // the origin lies inside the sphere
  float a = D3DXVec3LengthSq(rayDirection);
  float b = D3DXVec3Dot(&offset, rayDirection);
  if (a == 0.0f || b >= 0.0f) return FALSE;  // no direction, or the sphere lies behind the origin
  return (b * b - a * c0 >= 0.0f) ? TRUE : FALSE;
}
