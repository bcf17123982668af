#include <gtest/gtest.h>

#include <cmath>
#include <type_traits>

#include "platform/d3dx/d3dx8.h"

namespace {

void ExpectMatrixNear(const D3DXMATRIX& expected, const D3DXMATRIX& actual, float tolerance = 1e-5f) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_NEAR(expected(r, c), actual(r, c), tolerance) << "element _" << r + 1 << c + 1;
}

void ExpectVectorNear(const D3DXVECTOR3& expected, const D3DXVECTOR3& actual, float tolerance = 1e-5f) {
  EXPECT_NEAR(expected.x, actual.x, tolerance);
  EXPECT_NEAR(expected.y, actual.y, tolerance);
  EXPECT_NEAR(expected.z, actual.z, tolerance);
}

D3DXMATRIX Identity() {
  D3DXMATRIX m;
  D3DXMatrixIdentity(&m);
  return m;
}

}  // namespace

TEST(D3DXMatrix, ConstructorsAccessorsAndOperators) {
  D3DXMATRIX a(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
  EXPECT_EQ(a(0, 0), 1.0f);
  EXPECT_EQ(a(2, 1), 10.0f);
  EXPECT_EQ(a._32, 10.0f);
  const float* f = a;
  EXPECT_EQ(f[15], 16.0f);
  a(3, 3) = 20.0f;
  EXPECT_EQ(a._44, 20.0f);
  D3DXMATRIX copy(static_cast<const float*>(a));
  EXPECT_TRUE(copy == a);
  EXPECT_FALSE(copy != a);
  D3DXMATRIX sum = a + a;
  EXPECT_EQ(sum._21, 10.0f);
  EXPECT_TRUE(2.0f * a == sum);
  EXPECT_TRUE(a * Identity() == a);
  EXPECT_TRUE(D3DXMatrixIsIdentity(&copy) == FALSE);
  D3DXMATRIX id = Identity();
  EXPECT_TRUE(D3DXMatrixIsIdentity(&id));
}

TEST(D3DXMatrix, MultiplyAppliesLeftMatrixFirstAndMayAlias) {
  // Scale then translate: the point (1, 1, 1) becomes (2, 2, 2) + (10, 0, 0).
  D3DXMATRIX s, t, st, ts;
  D3DXMatrixScaling(&s, 2, 2, 2);
  D3DXMatrixTranslation(&t, 10, 0, 0);
  D3DXMatrixMultiply(&st, &s, &t);
  D3DXMatrixMultiply(&ts, &t, &s);
  D3DXVECTOR3 p(1, 1, 1), out;
  ExpectVectorNear(D3DXVECTOR3(12, 2, 2), *D3DXVec3TransformCoord(&out, &p, &st));
  ExpectVectorNear(D3DXVECTOR3(22, 2, 2), *D3DXVec3TransformCoord(&out, &p, &ts));
  EXPECT_TRUE(s * t == st);

  D3DXMATRIX alias = s;
  D3DXMatrixMultiply(&alias, &alias, &t);
  EXPECT_TRUE(alias == st);
  alias = t;
  D3DXMatrixMultiply(&alias, &s, &alias);
  EXPECT_TRUE(alias == st);
  D3DXMATRIX square = st;
  D3DXMatrixMultiply(&square, &square, &square);
  EXPECT_TRUE(square == st * st);
  D3DXMATRIX compound = s;
  compound *= t;
  EXPECT_TRUE(compound == st);
}

TEST(D3DXMatrix, RotationsFollowTheLeftHandedRowConvention) {
  D3DXMATRIX m;
  D3DXVECTOR3 out, x(1, 0, 0), y(0, 1, 0), z(0, 0, 1);
  float quarter = D3DX_PI / 2;
  // Positive angles turn clockwise looking along the axis towards the origin (left-handed).
  D3DXMatrixRotationX(&m, quarter);
  ExpectVectorNear(D3DXVECTOR3(0, 0, 1), *D3DXVec3TransformNormal(&out, &y, &m));
  D3DXMatrixRotationY(&m, quarter);
  ExpectVectorNear(D3DXVECTOR3(1, 0, 0), *D3DXVec3TransformNormal(&out, &z, &m));
  D3DXMatrixRotationZ(&m, quarter);
  ExpectVectorNear(D3DXVECTOR3(0, 1, 0), *D3DXVec3TransformNormal(&out, &x, &m));

  D3DXMATRIX axis, fixed;
  D3DXVECTOR3 unnormalised(0, 5, 0);
  D3DXMatrixRotationAxis(&axis, &unnormalised, 0.7f);
  D3DXMatrixRotationY(&fixed, 0.7f);
  ExpectMatrixNear(fixed, axis);

  // Yaw-pitch-roll = roll about Z, then pitch about X, then yaw about Y.
  D3DXMATRIX ypr, rz, rx, ry;
  D3DXMatrixRotationYawPitchRoll(&ypr, 0.3f, -0.5f, 1.1f);
  D3DXMatrixRotationZ(&rz, 1.1f);
  D3DXMatrixRotationX(&rx, -0.5f);
  D3DXMatrixRotationY(&ry, 0.3f);
  ExpectMatrixNear(rz * rx * ry, ypr);
}

TEST(D3DXMatrix, LookAtLHMatchesHandComputedMatrix) {
  // The game camera's start: eye (0, 30, -22.5) looking at the origin, up (0, 10, 0).
  // Forward = (0, -0.8, 0.6), right = (1, 0, 0), up = forward x right = (0, 0.6, 0.8).
  D3DXVECTOR3 eye(0, 30, -22.5f), at(0, 0, 0), up(0, 10, 0);
  D3DXMATRIX view;
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  ExpectMatrixNear(D3DXMATRIX(1, 0, 0, 0,  //
                              0, 0.6f, -0.8f, 0,  //
                              0, 0.8f, 0.6f, 0,  //
                              0, 0, 37.5f, 1),
                   view);
  // The look-at point lies straight ahead at the eye's distance; the eye at the origin.
  D3DXVECTOR3 out;
  ExpectVectorNear(D3DXVECTOR3(0, 0, 37.5f), *D3DXVec3TransformCoord(&out, &at, &view), 1e-4f);
  ExpectVectorNear(D3DXVECTOR3(0, 0, 0), *D3DXVec3TransformCoord(&out, &eye, &view), 1e-4f);

  // An eye on the +X axis: forward (-1, 0, 0), right = up x forward = (0, 0, 1).
  D3DXVECTOR3 sideEye(5, 0, 0), yUp(0, 1, 0);
  D3DXMatrixLookAtLH(&view, &sideEye, &at, &yUp);
  ExpectMatrixNear(D3DXMATRIX(0, 0, -1, 0,  //
                              0, 1, 0, 0,  //
                              1, 0, 0, 0,  //
                              0, 0, 5, 1),
                   view);
}

TEST(D3DXMatrix, PerspectiveFovLHMatchesHandComputedMatrix) {
  D3DXMATRIX proj;
  // fov 90 degrees: y scale 1; aspect 2: x scale 0.5; q = zf / (zf - zn) = 1.5.
  D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 2, 2.0f, 1.0f, 3.0f);
  ExpectMatrixNear(D3DXMATRIX(0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1.5f, 1, 0, 0, -1.5f, 0), proj);

  // The game's projection: pi/4, 4:3, 0.1 .. 1000.
  D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 4, 800.0f / 600.0f, 0.1f, 1000.0f);
  EXPECT_NEAR(2.4142136f, proj._22, 1e-5f);
  EXPECT_NEAR(2.4142136f * 0.75f, proj._11, 1e-5f);
  EXPECT_NEAR(1000.0f / 999.9f, proj._33, 1e-6f);
  EXPECT_EQ(1.0f, proj._34);
  EXPECT_NEAR(-0.1f * 1000.0f / 999.9f, proj._43, 1e-6f);
  EXPECT_EQ(0.0f, proj._44);
  // Depth runs 0 at the near plane to 1 at the far plane.
  D3DXVECTOR3 nearPoint(0, 0, 0.1f), farPoint(0, 0, 1000.0f), out;
  EXPECT_NEAR(0.0f, D3DXVec3TransformCoord(&out, &nearPoint, &proj)->z, 1e-5f);
  EXPECT_NEAR(1.0f, D3DXVec3TransformCoord(&out, &farPoint, &proj)->z, 1e-5f);

  D3DXMatrixOrthoLH(&proj, 4, 2, 1, 11);
  ExpectMatrixNear(D3DXMATRIX(0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0.1f, 0, 0, 0, -0.1f, 1), proj);
}

TEST(D3DXMatrix, InverseTimesMatrixIsIdentity) {
  D3DXMATRIX r, t, s, m;
  D3DXVECTOR3 axis(1, 2, 3);
  D3DXMatrixRotationAxis(&r, &axis, 0.9f);
  D3DXMatrixTranslation(&t, 4, -5, 6);
  D3DXMatrixScaling(&s, 2, 0.5f, 3);
  m = s * r * t;
  m._14 = 0.25f;  // a general (projective) matrix too
  D3DXMATRIX inverse;
  float det = 0;
  ASSERT_NE(nullptr, D3DXMatrixInverse(&inverse, &det, &m));
  EXPECT_NEAR(D3DXMatrixDeterminant(&m), det, 1e-4f);
  ExpectMatrixNear(Identity(), inverse * m, 1e-5f);
  ExpectMatrixNear(Identity(), m * inverse, 1e-5f);

  // A view matrix's inverse carries the eye back: its fourth row is the eye.
  D3DXVECTOR3 eye(3, 7, -11), at(0, 1, 0), up(0, 1, 0);
  D3DXMATRIX view;
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  D3DXMatrixInverse(&view, nullptr, &view);  // in place
  ExpectVectorNear(eye, D3DXVECTOR3(view._41, view._42, view._43), 1e-4f);

  // Scaling determinant and singular matrices.
  D3DXMatrixInverse(&inverse, &det, &s);
  EXPECT_NEAR(3.0f, det, 1e-6f);
  D3DXMATRIX singular;
  D3DXMatrixScaling(&singular, 1, 0, 1);
  D3DXMATRIX untouched = Identity();
  EXPECT_EQ(nullptr, D3DXMatrixInverse(&untouched, &det, &singular));
  EXPECT_EQ(0.0f, det);
  EXPECT_TRUE(D3DXMatrixIsIdentity(&untouched));
}

TEST(D3DXMatrix, TransposeAndTransforms) {
  D3DXMATRIX a(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16), t;
  D3DXMatrixTranspose(&t, &a);
  EXPECT_EQ(a._12, t._21);
  EXPECT_EQ(a._43, t._34);
  D3DXMatrixTranspose(&a, &a);
  EXPECT_TRUE(a == t);

  D3DXMATRIX proj(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0);
  D3DXVECTOR3 p(2, 4, 2), out;
  ExpectVectorNear(D3DXVECTOR3(1, 2, 1), *D3DXVec3TransformCoord(&out, &p, &proj));  // divided by w = z
  D3DXVECTOR4 v4;
  D3DXVec3Transform(&v4, &p, &proj);
  EXPECT_EQ(2.0f, v4.w);
  D3DXMATRIX translate;
  D3DXMatrixTranslation(&translate, 5, 5, 5);
  ExpectVectorNear(p, *D3DXVec3TransformNormal(&out, &p, &translate));  // directions ignore translation
  D3DXVec3TransformCoord(&p, &p, &translate);  // in place
  ExpectVectorNear(D3DXVECTOR3(7, 9, 7), p);
}

TEST(D3DXVector, ArithmeticAndHelpers) {
  D3DXVECTOR3 a(1, 2, 3), b(4, 5, 6), out;
  ExpectVectorNear(D3DXVECTOR3(5, 7, 9), a + b);
  ExpectVectorNear(D3DXVECTOR3(-3, -3, -3), a - b);
  ExpectVectorNear(D3DXVECTOR3(2, 4, 6), a * 2.0f);
  ExpectVectorNear(D3DXVECTOR3(2, 4, 6), 2.0f * a);
  ExpectVectorNear(D3DXVECTOR3(0.5f, 1, 1.5f), a / 2.0f);
  ExpectVectorNear(D3DXVECTOR3(-1, -2, -3), -a);
  EXPECT_FLOAT_EQ(32.0f, D3DXVec3Dot(&a, &b));
  ExpectVectorNear(D3DXVECTOR3(-3, 6, -3), *D3DXVec3Cross(&out, &a, &b));
  D3DXVECTOR3 alias = a;
  D3DXVec3Cross(&alias, &alias, &b);
  ExpectVectorNear(D3DXVECTOR3(-3, 6, -3), alias);
  EXPECT_FLOAT_EQ(14.0f, D3DXVec3LengthSq(&a));
  EXPECT_FLOAT_EQ(std::sqrt(14.0f), D3DXVec3Length(&a));
  D3DXVec3Normalize(&out, &a);
  EXPECT_NEAR(1.0f, D3DXVec3Length(&out), 1e-6f);
  D3DXVECTOR3 zero(0, 0, 0);
  ExpectVectorNear(zero, *D3DXVec3Normalize(&out, &zero));
  ExpectVectorNear(D3DXVECTOR3(2.5f, 3.5f, 4.5f), *D3DXVec3Lerp(&out, &a, &b, 0.5f));
  ExpectVectorNear(D3DXVECTOR3(3, 3, 3), *D3DXVec3Subtract(&out, &b, &a));
  ExpectVectorNear(D3DXVECTOR3(5, 7, 9), *D3DXVec3Add(&out, &a, &b));
  ExpectVectorNear(D3DXVECTOR3(-2, -4, -6), *D3DXVec3Scale(&out, &a, -2));
  D3DXVECTOR3 c = a;
  c += b;
  c *= 2;
  c -= a;
  ExpectVectorNear(D3DXVECTOR3(9, 12, 15), c);
  D3DVECTOR plain = {1, 2, 3};
  EXPECT_TRUE(D3DXVECTOR3(plain) == a);
}

TEST(D3DXQuaternion, RotationAgreesWithMatrixRotation) {
  D3DXVECTOR3 axis(1, -2, 0.5f);
  D3DXQUATERNION q;
  D3DXQuaternionRotationAxis(&q, &axis, 1.3f);
  D3DXMATRIX fromQuaternion, fromAxis;
  D3DXMatrixRotationQuaternion(&fromQuaternion, &q);
  D3DXMatrixRotationAxis(&fromAxis, &axis, 1.3f);
  ExpectMatrixNear(fromAxis, fromQuaternion);

  // And back: the matrix gives the same rotation (up to sign), in every branch of the conversion.
  for (float angle : {0.4f, 2.9f, -3.0f}) {
    for (D3DXVECTOR3 a : {D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(0, 1, 0), D3DXVECTOR3(0, 0, 1), axis}) {
      D3DXQUATERNION original, back;
      D3DXMATRIX m, again;
      D3DXQuaternionRotationAxis(&original, &a, angle);
      D3DXMatrixRotationQuaternion(&m, &original);
      D3DXQuaternionRotationMatrix(&back, &m);
      D3DXMatrixRotationQuaternion(&again, &back);
      ExpectMatrixNear(m, again, 1e-5f);
      EXPECT_NEAR(1.0f, std::fabs(D3DXQuaternionDot(&original, &back)), 1e-5f);
    }
  }
}

TEST(D3DXQuaternion, MultiplyAppliesFirstOperandFirst) {
  D3DXVECTOR3 xAxis(1, 0, 0), yAxis(0, 1, 0);
  D3DXQUATERNION qx, qy, product;
  D3DXQuaternionRotationAxis(&qx, &xAxis, 0.6f);
  D3DXQuaternionRotationAxis(&qy, &yAxis, -1.2f);
  D3DXQuaternionMultiply(&product, &qx, &qy);
  D3DXMATRIX mx, my, m;
  D3DXMatrixRotationX(&mx, 0.6f);
  D3DXMatrixRotationY(&my, -1.2f);
  D3DXMatrixRotationQuaternion(&m, &product);
  ExpectMatrixNear(mx * my, m);  // rotation about X, then about Y
  D3DXQUATERNION op = qx * qy;
  EXPECT_TRUE(op == product);
  D3DXQuaternionMultiply(&qx, &qx, &qy);  // aliasing output
  EXPECT_TRUE(qx == product);

  // Yaw-pitch-roll agrees with the matrix version.
  D3DXQUATERNION ypr;
  D3DXMATRIX fromQ, direct;
  D3DXQuaternionRotationYawPitchRoll(&ypr, 0.5f, 0.2f, -0.7f);
  D3DXMatrixRotationQuaternion(&fromQ, &ypr);
  D3DXMatrixRotationYawPitchRoll(&direct, 0.5f, 0.2f, -0.7f);
  ExpectMatrixNear(direct, fromQ);
}

TEST(D3DXQuaternion, IdentityNormalizeAndSlerp) {
  D3DXQUATERNION id, q(1, 2, 3, 4), n;
  D3DXQuaternionIdentity(&id);
  EXPECT_TRUE(D3DXQuaternionIsIdentity(&id));
  EXPECT_TRUE(id * q == q);
  D3DXQuaternionNormalize(&n, &q);
  EXPECT_NEAR(1.0f, D3DXQuaternionLength(&n), 1e-6f);
  EXPECT_NEAR(4.0f / std::sqrt(30.0f), n.w, 1e-6f);

  D3DXVECTOR3 zAxis(0, 0, 1);
  D3DXQUATERNION a, b, half, expected;
  D3DXQuaternionRotationAxis(&a, &zAxis, 0.2f);
  D3DXQuaternionRotationAxis(&b, &zAxis, 1.0f);
  D3DXQuaternionSlerp(&half, &a, &b, 0.5f);
  D3DXQuaternionRotationAxis(&expected, &zAxis, 0.6f);
  EXPECT_NEAR(1.0f, D3DXQuaternionDot(&half, &expected), 1e-5f);
  // The shorter arc is taken even when the second quaternion has the opposite sign.
  D3DXQUATERNION negated = -b;
  D3DXQuaternionSlerp(&half, &a, &negated, 0.5f);
  EXPECT_NEAR(1.0f, std::fabs(D3DXQuaternionDot(&half, &expected)), 1e-5f);
  D3DXQuaternionSlerp(&half, &a, &b, 0.0f);
  EXPECT_NEAR(1.0f, D3DXQuaternionDot(&half, &a), 1e-6f);
  D3DXQuaternionSlerp(&half, &a, &a, 0.3f);  // identical inputs do not divide by zero
  EXPECT_NEAR(1.0f, D3DXQuaternionDot(&half, &a), 1e-6f);
}

TEST(D3DXMisc, RadiansPlanesAndColours) {
  EXPECT_NEAR(D3DX_PI, D3DXToRadian(180.0f), 1e-6f);
  D3DXPLANE plane;
  D3DXVECTOR3 point(0, 2, 0), normal(0, 1, 0), above(5, 7, 1);
  D3DXPlaneFromPointNormal(&plane, &point, &normal);
  EXPECT_FLOAT_EQ(5.0f, D3DXPlaneDotCoord(&plane, &above));
  D3DXVECTOR3 hit, from(1, 10, 1), to(1, -10, 1);
  ASSERT_NE(nullptr, D3DXPlaneIntersectLine(&hit, &plane, &from, &to));
  ExpectVectorNear(D3DXVECTOR3(1, 2, 1), hit);
  D3DXCOLOR c(0x80ff0040u);
  EXPECT_NEAR(1.0f, c.r, 1e-6f);
  EXPECT_NEAR(0x40 / 255.0f, c.b, 1e-6f);
  EXPECT_EQ(0x80ff0040u, static_cast<DWORD>(c));
  EXPECT_EQ(0xffffffffu, static_cast<DWORD>(D3DXCOLOR(2, 3, 4, 5)));  // clamped
}

// Game records copy, clear and upload these types as plain bytes.
static_assert(sizeof(D3DXMATRIX) == 64 && std::is_trivial<D3DXMATRIX>::value, "matrix layout");
static_assert(sizeof(D3DXVECTOR3) == 12 && std::is_trivial<D3DXVECTOR3>::value, "vector layout");
static_assert(sizeof(D3DXVECTOR2) == 8 && sizeof(D3DXVECTOR4) == 16, "vector layout");
static_assert(sizeof(D3DXQUATERNION) == 16 && std::is_trivial<D3DXQUATERNION>::value, "quaternion layout");
static_assert(sizeof(D3DXCOLOR) == 16 && sizeof(D3DXPLANE) == 16, "colour and plane layout");
