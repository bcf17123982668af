#include <gtest/gtest.h>

#include "platform/d3dx/d3dx8.h"

TEST(D3DXBoxBoundProbe, HitsMissesAndCornerOrder) {
  D3DXVECTOR3 lo(-1, -1, -1), hi(1, 1, 1);
  D3DXVECTOR3 origin(0, 0, -5), forward(0, 0, 1), backward(0, 0, -1);
  EXPECT_TRUE(D3DXBoxBoundProbe(&lo, &hi, &origin, &forward));
  EXPECT_TRUE(D3DXBoxBoundProbe(&hi, &lo, &origin, &forward));  // corners swapped
  D3DXVECTOR3 mixedA(1, -1, 1), mixedB(-1, 1, -1);                // swapped on some axes only
  EXPECT_TRUE(D3DXBoxBoundProbe(&mixedA, &mixedB, &origin, &forward));
  EXPECT_FALSE(D3DXBoxBoundProbe(&lo, &hi, &origin, &backward));  // box behind the origin
  D3DXVECTOR3 aside(3, 0, -5);
  EXPECT_FALSE(D3DXBoxBoundProbe(&lo, &hi, &aside, &forward));
  D3DXVECTOR3 inside(0.5f, 0.5f, 0.5f);
  EXPECT_TRUE(D3DXBoxBoundProbe(&lo, &hi, &inside, &backward));  // origin inside
  // Diagonal ray that passes just beside a corner, and one that clips it.
  D3DXVECTOR3 from(-3, 0, -3), diagonal(1, 0, 1.02f), steep(1, 0, 3);
  EXPECT_TRUE(D3DXBoxBoundProbe(&lo, &hi, &from, &diagonal));
  EXPECT_FALSE(D3DXBoxBoundProbe(&lo, &hi, &from, &steep));
  // The direction's length does not matter.
  D3DXVECTOR3 longForward(0, 0, 1000);
  EXPECT_TRUE(D3DXBoxBoundProbe(&lo, &hi, &origin, &longForward));
}

TEST(D3DXBoxBoundProbe, ThinCellBoxesOfTheBoard) {
  // A board cell: 1 x 0.02 x 1, seen from above at an angle; and the gap beside it.
  D3DXVECTOR3 lo(-0.5f, 0.35f, -0.5f), hi(0.5f, 0.37f, 0.5f);
  D3DXVECTOR3 eye(0, 11, -8.25f);
  D3DXVECTOR3 toCentre = D3DXVECTOR3(0, 0.36f, 0) - eye;
  EXPECT_TRUE(D3DXBoxBoundProbe(&lo, &hi, &eye, &toCentre));
  D3DXVECTOR3 toGap = D3DXVECTOR3(0.55f, 0.36f, 0) - eye;
  EXPECT_FALSE(D3DXBoxBoundProbe(&lo, &hi, &eye, &toGap));
  // Corners carried through a tilt about X come out with y swapped relative to z order.
  D3DXMATRIX tilt;
  D3DXMatrixRotationX(&tilt, 0.05f);
  D3DXVECTOR3 tlo, thi;
  D3DXVec3TransformCoord(&tlo, &lo, &tilt);
  D3DXVec3TransformCoord(&thi, &hi, &tilt);
  EXPECT_TRUE(D3DXBoxBoundProbe(&tlo, &thi, &eye, &toCentre));
  EXPECT_TRUE(D3DXBoxBoundProbe(&thi, &tlo, &eye, &toCentre));
}

TEST(D3DXSphereBoundProbe, RaySemantics) {
  D3DXVECTOR3 centre(0, 0.8f, 5);
  D3DXVECTOR3 origin(0, 0.8f, 0), forward(0, 0, 2), backward(0, 0, -1);
  EXPECT_TRUE(D3DXSphereBoundProbe(&centre, 0.4f, &origin, &forward));
  EXPECT_FALSE(D3DXSphereBoundProbe(&centre, 0.4f, &origin, &backward));  // sphere behind the ray
  D3DXVECTOR3 grazing(0.39f, 0.8f, 0), missing(0.41f, 0.8f, 0);
  EXPECT_TRUE(D3DXSphereBoundProbe(&centre, 0.4f, &grazing, &forward));
  EXPECT_FALSE(D3DXSphereBoundProbe(&centre, 0.4f, &missing, &forward));
  D3DXVECTOR3 inside(0, 0.9f, 5);
  EXPECT_TRUE(D3DXSphereBoundProbe(&centre, 0.4f, &inside, &backward));  // origin inside
  D3DXVECTOR3 oblique(1, 0, 1);  // from (0, 0.8, 0) along (1, 0, 1): closest approach 5/sqrt(2) away
  EXPECT_FALSE(D3DXSphereBoundProbe(&centre, 0.4f, &origin, &oblique));
  EXPECT_TRUE(D3DXSphereBoundProbe(&centre, 3.6f, &origin, &oblique));
  D3DXVECTOR3 none(0, 0, 0);
  EXPECT_FALSE(D3DXSphereBoundProbe(&centre, 0.4f, &origin, &none));
}
