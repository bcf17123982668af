// Ray tests against bounding volumes. A ray starts at its origin and runs along
// its direction (any non-zero length); what lies behind the origin is not hit,
// an origin inside the volume is.
#pragma once

#include "platform/d3dx/d3dx8math.h"

// The corners may come in either order on every axis.
BOOL D3DXBoxBoundProbe(const D3DXVECTOR3* min, const D3DXVECTOR3* max, const D3DXVECTOR3* rayPosition,
                       const D3DXVECTOR3* rayDirection);
BOOL D3DXSphereBoundProbe(const D3DXVECTOR3* center, FLOAT radius, const D3DXVECTOR3* rayPosition,
                          const D3DXVECTOR3* rayDirection);
