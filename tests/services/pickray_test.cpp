// The pick ray from the view matrix and the fast square roots.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/gamecontext.h"

namespace {

D3DXMATRIX LookAt(D3DXVECTOR3 eye, D3DXVECTOR3 at) {
  const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
  D3DXMATRIX view;
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  return view;
}

TEST(PickRay, AtTheScreenCentreItIsTheInverseViewsThirdRowFromTheEye) {
  CGameContext context;
  const D3DXVECTOR3 eye(3.0f, 5.0f, -7.0f);
  context.m_matView = LookAt(eye, D3DXVECTOR3(0.5f, 0.0f, 1.0f));
  D3DXMATRIX inverse;
  ASSERT_NE(D3DXMatrixInverse(&inverse, nullptr, &context.m_matView), nullptr);

  D3DXVECTOR3 direction, origin;
  EXPECT_EQ(context.GetPickRay(&direction, &origin), S_OK);
  EXPECT_NEAR(direction.x, inverse._31, 1e-5f);
  EXPECT_NEAR(direction.y, inverse._32, 1e-5f);
  EXPECT_NEAR(direction.z, inverse._33, 1e-5f);
  EXPECT_NEAR(origin.x, eye.x, 1e-4f);
  EXPECT_NEAR(origin.y, eye.y, 1e-4f);
  EXPECT_NEAR(origin.z, eye.z, 1e-4f);
  // The viewing direction: from the eye toward the point looked at.
  const D3DXVECTOR3 toward(0.5f - 3.0f, -5.0f, 8.0f);
  const float length = std::sqrt(toward.x * toward.x + toward.y * toward.y + toward.z * toward.z);
  EXPECT_NEAR(direction.x, toward.x / length, 1e-5f);
  EXPECT_NEAR(direction.y, toward.y / length, 1e-5f);
  EXPECT_NEAR(direction.z, toward.z / length, 1e-5f);
}

TEST(PickRay, OffCentreItPassesThroughTheViewSpacePointAtDepthOneUnnormalised) {
  CGameContext context;
  context.m_matView = LookAt(D3DXVECTOR3(-2.0f, 6.0f, -9.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
  context.m_fPickDirX = 0.75f;
  context.m_fPickDirY = -0.4f;
  D3DXVECTOR3 direction, origin;
  context.GetPickRay(&direction, &origin);
  // origin + direction seen through the view is the cursor's point at view depth 1.
  const D3DXVECTOR3 tip(origin.x + direction.x, origin.y + direction.y, origin.z + direction.z);
  D3DXVECTOR3 seen;
  D3DXVec3TransformCoord(&seen, &tip, &context.m_matView);
  EXPECT_NEAR(seen.x, 0.75f, 1e-4f);
  EXPECT_NEAR(seen.y, -0.4f, 1e-4f);
  EXPECT_NEAR(seen.z, 1.0f, 1e-4f);
  const float length = std::sqrt(direction.x * direction.x + direction.y * direction.y + direction.z * direction.z);
  EXPECT_NEAR(length, std::sqrt(0.75f * 0.75f + 0.4f * 0.4f + 1.0f), 1e-4f);
}

TEST(PickRay, WithoutAViewYetTheRayStartsAtTheOriginAlongTheCursor) {
  CGameContext context;  // a zero view matrix cannot be inverted
  context.m_fPickDirX = 0.5f;
  context.m_fPickDirY = 0.25f;
  D3DXVECTOR3 direction(9, 9, 9), origin(9, 9, 9);
  EXPECT_EQ(context.GetPickRay(&direction, &origin), S_OK);
  EXPECT_EQ(direction.x, 0.5f);
  EXPECT_EQ(direction.y, 0.25f);
  EXPECT_EQ(direction.z, 1.0f);
  EXPECT_EQ(origin.x, 0.0f);
  EXPECT_EQ(origin.y, 0.0f);
  EXPECT_EQ(origin.z, 0.0f);
  EXPECT_EQ(context.GetPickRay(nullptr, nullptr), S_OK);
}

TEST(FastSquareRoots, AreCloseOverTheWholeRangeAndPositiveForSmallInputs) {
  EXPECT_NEAR(FastInvSqrt(1.0f), 1.0f, 1e-4f);
  EXPECT_NEAR(FastSqrt(4.0f), 2.0f, 2e-4f);
  // Below 0.25 the first estimate comes out negative; the result must not.
  for (float x : {0.2f, 0.1f, 0.01f, 1e-6f}) {
    EXPECT_GT(FastInvSqrt(x), 0.0f) << x;
    EXPECT_NEAR(FastSqrt(x) / std::sqrt(x), 1.0f, 1e-4f) << x;
  }
  double worst = 0.0;
  for (double exponent = -30.0; exponent <= 30.0; exponent += 0.01) {
    const float x = static_cast<float>(std::pow(2.0, exponent));
    const double exact = std::sqrt(static_cast<double>(x));
    worst = std::fmax(worst, std::fabs(FastSqrt(x) / exact - 1.0));
    worst = std::fmax(worst, std::fabs(FastInvSqrt(x) * exact - 1.0));
  }
  EXPECT_LT(worst, 1e-4);
  EXPECT_EQ(FastSqrt(0.0f), 0.0f);
  EXPECT_EQ(FastSqrt(-1.0f), 0.0f);
}

}  // namespace
