#include "platform/d3dx/d3dx8math.h"

#include <cmath>

namespace {

float Clamp01(float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }  // NaN gives 0

DWORD ChannelToByte(float v) { return static_cast<DWORD>(Clamp01(v) * 255.0f + 0.5f); }

}  // namespace

// ---- operators that need the library functions ----

D3DXMATRIX& D3DXMATRIX::operator*=(const D3DXMATRIX& mat) {
  D3DXMatrixMultiply(this, this, &mat);
  return *this;
}

D3DXMATRIX& D3DXMATRIX::operator+=(const D3DXMATRIX& mat) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) m[i][j] += mat.m[i][j];
  return *this;
}

D3DXMATRIX& D3DXMATRIX::operator-=(const D3DXMATRIX& mat) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) m[i][j] -= mat.m[i][j];
  return *this;
}

D3DXMATRIX& D3DXMATRIX::operator*=(float f) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) m[i][j] *= f;
  return *this;
}

bool D3DXMATRIX::operator==(const D3DXMATRIX& mat) const {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      if (m[i][j] != mat.m[i][j]) return false;
  return true;
}

D3DXQUATERNION& D3DXQUATERNION::operator*=(const D3DXQUATERNION& q) {
  D3DXQuaternionMultiply(this, this, &q);
  return *this;
}

D3DXCOLOR::D3DXCOLOR(DWORD argb)
    : r(static_cast<float>((argb >> 16) & 0xff) / 255.0f),
      g(static_cast<float>((argb >> 8) & 0xff) / 255.0f),
      b(static_cast<float>(argb & 0xff) / 255.0f),
      a(static_cast<float>((argb >> 24) & 0xff) / 255.0f) {}

D3DXCOLOR::operator DWORD() const {
  return (ChannelToByte(a) << 24) | (ChannelToByte(r) << 16) | (ChannelToByte(g) << 8) | ChannelToByte(b);
}

// ---- 2D vectors ----

FLOAT D3DXVec2LengthSq(const D3DXVECTOR2* v) { return v->x * v->x + v->y * v->y; }
FLOAT D3DXVec2Length(const D3DXVECTOR2* v) { return std::sqrt(D3DXVec2LengthSq(v)); }
FLOAT D3DXVec2Dot(const D3DXVECTOR2* a, const D3DXVECTOR2* b) { return a->x * b->x + a->y * b->y; }

D3DXVECTOR2* D3DXVec2Add(D3DXVECTOR2* out, const D3DXVECTOR2* a, const D3DXVECTOR2* b) {
  *out = *a + *b;
  return out;
}

D3DXVECTOR2* D3DXVec2Subtract(D3DXVECTOR2* out, const D3DXVECTOR2* a, const D3DXVECTOR2* b) {
  *out = *a - *b;
  return out;
}

D3DXVECTOR2* D3DXVec2Scale(D3DXVECTOR2* out, const D3DXVECTOR2* v, FLOAT s) {
  *out = *v * s;
  return out;
}

D3DXVECTOR2* D3DXVec2Lerp(D3DXVECTOR2* out, const D3DXVECTOR2* a, const D3DXVECTOR2* b, FLOAT t) {
  *out = *a + (*b - *a) * t;
  return out;
}

D3DXVECTOR2* D3DXVec2Normalize(D3DXVECTOR2* out, const D3DXVECTOR2* v) {
  float len = D3DXVec2Length(v);
  *out = len > 0.0f ? *v / len : D3DXVECTOR2(0.0f, 0.0f);
  return out;
}

D3DXVECTOR2* D3DXVec2TransformCoord(D3DXVECTOR2* out, const D3DXVECTOR2* v, const D3DXMATRIX* m) {
  float x = v->x * m->_11 + v->y * m->_21 + m->_41;
  float y = v->x * m->_12 + v->y * m->_22 + m->_42;
  float w = v->x * m->_14 + v->y * m->_24 + m->_44;
  if (w != 0.0f) {
    x /= w;
    y /= w;
  }
  *out = D3DXVECTOR2(x, y);
  return out;
}

// ---- 3D vectors ----

FLOAT D3DXVec3LengthSq(const D3DXVECTOR3* v) { return v->x * v->x + v->y * v->y + v->z * v->z; }
FLOAT D3DXVec3Length(const D3DXVECTOR3* v) { return std::sqrt(D3DXVec3LengthSq(v)); }
FLOAT D3DXVec3Dot(const D3DXVECTOR3* a, const D3DXVECTOR3* b) { return a->x * b->x + a->y * b->y + a->z * b->z; }

D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b) {
  *out = D3DXVECTOR3(a->y * b->z - a->z * b->y, a->z * b->x - a->x * b->z, a->x * b->y - a->y * b->x);
  return out;
}

D3DXVECTOR3* D3DXVec3Add(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b) {
  *out = *a + *b;
  return out;
}

D3DXVECTOR3* D3DXVec3Subtract(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b) {
  *out = *a - *b;
  return out;
}

D3DXVECTOR3* D3DXVec3Minimize(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b) {
  *out = D3DXVECTOR3(std::fmin(a->x, b->x), std::fmin(a->y, b->y), std::fmin(a->z, b->z));
  return out;
}

D3DXVECTOR3* D3DXVec3Maximize(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b) {
  *out = D3DXVECTOR3(std::fmax(a->x, b->x), std::fmax(a->y, b->y), std::fmax(a->z, b->z));
  return out;
}

D3DXVECTOR3* D3DXVec3Scale(D3DXVECTOR3* out, const D3DXVECTOR3* v, FLOAT s) {
  *out = *v * s;
  return out;
}

D3DXVECTOR3* D3DXVec3Lerp(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b, FLOAT t) {
  *out = *a + (*b - *a) * t;
  return out;
}

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v) {
  float len = D3DXVec3Length(v);
  *out = len > 0.0f ? *v / len : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
  return out;
}

D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
  D3DXVECTOR4 r;
  D3DXVec3Transform(&r, v, m);
  if (r.w != 0.0f) {
    r.x /= r.w;
    r.y /= r.w;
    r.z /= r.w;
  }
  *out = D3DXVECTOR3(r.x, r.y, r.z);
  return out;
}

D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
  *out = D3DXVECTOR3(v->x * m->_11 + v->y * m->_21 + v->z * m->_31, v->x * m->_12 + v->y * m->_22 + v->z * m->_32,
                     v->x * m->_13 + v->y * m->_23 + v->z * m->_33);
  return out;
}

D3DXVECTOR4* D3DXVec3Transform(D3DXVECTOR4* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
  D3DXVECTOR4 in(v->x, v->y, v->z, 1.0f);
  return D3DXVec4Transform(out, &in, m);
}

// ---- 4D vectors ----

FLOAT D3DXVec4LengthSq(const D3DXVECTOR4* v) { return D3DXVec4Dot(v, v); }
FLOAT D3DXVec4Length(const D3DXVECTOR4* v) { return std::sqrt(D3DXVec4LengthSq(v)); }
FLOAT D3DXVec4Dot(const D3DXVECTOR4* a, const D3DXVECTOR4* b) {
  return a->x * b->x + a->y * b->y + a->z * b->z + a->w * b->w;
}

D3DXVECTOR4* D3DXVec4Add(D3DXVECTOR4* out, const D3DXVECTOR4* a, const D3DXVECTOR4* b) {
  *out = *a + *b;
  return out;
}

D3DXVECTOR4* D3DXVec4Subtract(D3DXVECTOR4* out, const D3DXVECTOR4* a, const D3DXVECTOR4* b) {
  *out = *a - *b;
  return out;
}

D3DXVECTOR4* D3DXVec4Scale(D3DXVECTOR4* out, const D3DXVECTOR4* v, FLOAT s) {
  *out = *v * s;
  return out;
}

D3DXVECTOR4* D3DXVec4Lerp(D3DXVECTOR4* out, const D3DXVECTOR4* a, const D3DXVECTOR4* b, FLOAT t) {
  *out = *a + (*b - *a) * t;
  return out;
}

D3DXVECTOR4* D3DXVec4Normalize(D3DXVECTOR4* out, const D3DXVECTOR4* v) {
  float len = D3DXVec4Length(v);
  *out = len > 0.0f ? *v / len : D3DXVECTOR4(0.0f, 0.0f, 0.0f, 0.0f);
  return out;
}

D3DXVECTOR4* D3DXVec4Transform(D3DXVECTOR4* out, const D3DXVECTOR4* v, const D3DXMATRIX* m) {
  D3DXVECTOR4 r;
  r.x = v->x * m->_11 + v->y * m->_21 + v->z * m->_31 + v->w * m->_41;
  r.y = v->x * m->_12 + v->y * m->_22 + v->z * m->_32 + v->w * m->_42;
  r.z = v->x * m->_13 + v->y * m->_23 + v->z * m->_33 + v->w * m->_43;
  r.w = v->x * m->_14 + v->y * m->_24 + v->z * m->_34 + v->w * m->_44;
  *out = r;
  return out;
}

// ---- matrices ----

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out) {
  *out = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  return out;
}

BOOL D3DXMatrixIsIdentity(const D3DXMATRIX* m) {
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  return *m == identity ? TRUE : FALSE;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2) {
  D3DXMATRIX r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      r.m[i][j] = m1->m[i][0] * m2->m[0][j] + m1->m[i][1] * m2->m[1][j] + m1->m[i][2] * m2->m[2][j] +
                  m1->m[i][3] * m2->m[3][j];
  *out = r;
  return out;
}

D3DXMATRIX* D3DXMatrixMultiplyTranspose(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2) {
  D3DXMATRIX r;
  D3DXMatrixMultiply(&r, m1, m2);
  return D3DXMatrixTranspose(out, &r);
}

D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* out, const D3DXMATRIX* m) {
  D3DXMATRIX r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[i][j] = m->m[j][i];
  *out = r;
  return out;
}

namespace {

// Cofactor expansion in double precision: c receives the adjugate's transpose
// (cofactor matrix), the result is the determinant.
double Cofactors(const D3DXMATRIX& a, double c[4][4]) {
  double s[6], t[6];
  const float(*m)[4] = a.m;
  s[0] = double(m[0][0]) * m[1][1] - double(m[1][0]) * m[0][1];
  s[1] = double(m[0][0]) * m[1][2] - double(m[1][0]) * m[0][2];
  s[2] = double(m[0][0]) * m[1][3] - double(m[1][0]) * m[0][3];
  s[3] = double(m[0][1]) * m[1][2] - double(m[1][1]) * m[0][2];
  s[4] = double(m[0][1]) * m[1][3] - double(m[1][1]) * m[0][3];
  s[5] = double(m[0][2]) * m[1][3] - double(m[1][2]) * m[0][3];
  t[0] = double(m[2][0]) * m[3][1] - double(m[3][0]) * m[2][1];
  t[1] = double(m[2][0]) * m[3][2] - double(m[3][0]) * m[2][2];
  t[2] = double(m[2][0]) * m[3][3] - double(m[3][0]) * m[2][3];
  t[3] = double(m[2][1]) * m[3][2] - double(m[3][1]) * m[2][2];
  t[4] = double(m[2][1]) * m[3][3] - double(m[3][1]) * m[2][3];
  t[5] = double(m[2][2]) * m[3][3] - double(m[3][2]) * m[2][3];
  double det = s[0] * t[5] - s[1] * t[4] + s[2] * t[3] + s[3] * t[2] - s[4] * t[1] + s[5] * t[0];
  if (c) {
    // Entries of the inverse times det, [row][col].
    c[0][0] = m[1][1] * t[5] - m[1][2] * t[4] + m[1][3] * t[3];
    c[0][1] = -m[0][1] * t[5] + m[0][2] * t[4] - m[0][3] * t[3];
    c[0][2] = m[3][1] * s[5] - m[3][2] * s[4] + m[3][3] * s[3];
    c[0][3] = -m[2][1] * s[5] + m[2][2] * s[4] - m[2][3] * s[3];
    c[1][0] = -m[1][0] * t[5] + m[1][2] * t[2] - m[1][3] * t[1];
    c[1][1] = m[0][0] * t[5] - m[0][2] * t[2] + m[0][3] * t[1];
    c[1][2] = -m[3][0] * s[5] + m[3][2] * s[2] - m[3][3] * s[1];
    c[1][3] = m[2][0] * s[5] - m[2][2] * s[2] + m[2][3] * s[1];
    c[2][0] = m[1][0] * t[4] - m[1][1] * t[2] + m[1][3] * t[0];
    c[2][1] = -m[0][0] * t[4] + m[0][1] * t[2] - m[0][3] * t[0];
    c[2][2] = m[3][0] * s[4] - m[3][1] * s[2] + m[3][3] * s[0];
    c[2][3] = -m[2][0] * s[4] + m[2][1] * s[2] - m[2][3] * s[0];
    c[3][0] = -m[1][0] * t[3] + m[1][1] * t[1] - m[1][2] * t[0];
    c[3][1] = m[0][0] * t[3] - m[0][1] * t[1] + m[0][2] * t[0];
    c[3][2] = -m[3][0] * s[3] + m[3][1] * s[1] - m[3][2] * s[0];
    c[3][3] = m[2][0] * s[3] - m[2][1] * s[1] + m[2][2] * s[0];
  }
  return det;
}

}  // namespace

FLOAT D3DXMatrixDeterminant(const D3DXMATRIX* m) { return static_cast<float>(Cofactors(*m, nullptr)); }

D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* out, FLOAT* determinant, const D3DXMATRIX* m) {
  double c[4][4];
  double det = Cofactors(*m, c);
  if (determinant) *determinant = static_cast<float>(det);
  if (det == 0.0 || !std::isfinite(det)) return nullptr;
  double inv = 1.0 / det;
  D3DXMATRIX r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[i][j] = static_cast<float>(c[i][j] * inv);
  *out = r;
  return out;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, FLOAT sx, FLOAT sy, FLOAT sz) {
  *out = D3DXMATRIX(sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, sz, 0, 0, 0, 0, 1);
  return out;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, FLOAT x, FLOAT y, FLOAT z) {
  *out = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1);
  return out;
}

D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* out, FLOAT angle) {
  float c = std::cos(angle), s = std::sin(angle);
  *out = D3DXMATRIX(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1);
  return out;
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, FLOAT angle) {
  float c = std::cos(angle), s = std::sin(angle);
  *out = D3DXMATRIX(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1);
  return out;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, FLOAT angle) {
  float c = std::cos(angle), s = std::sin(angle);
  *out = D3DXMATRIX(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
  return out;
}

D3DXMATRIX* D3DXMatrixRotationAxis(D3DXMATRIX* out, const D3DXVECTOR3* axis, FLOAT angle) {
  D3DXVECTOR3 v;
  D3DXVec3Normalize(&v, axis);
  float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
  *out = D3DXMATRIX(t * v.x * v.x + c, t * v.x * v.y + s * v.z, t * v.x * v.z - s * v.y, 0,
                    t * v.x * v.y - s * v.z, t * v.y * v.y + c, t * v.y * v.z + s * v.x, 0,
                    t * v.x * v.z + s * v.y, t * v.y * v.z - s * v.x, t * v.z * v.z + c, 0,  //
                    0, 0, 0, 1);
  return out;
}

D3DXMATRIX* D3DXMatrixRotationQuaternion(D3DXMATRIX* out, const D3DXQUATERNION* q) {
  float x = q->x, y = q->y, z = q->z, w = q->w;
  *out = D3DXMATRIX(1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w), 0,  //
                    2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w), 0,  //
                    2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y), 0,  //
                    0, 0, 0, 1);
  return out;
}

D3DXMATRIX* D3DXMatrixRotationYawPitchRoll(D3DXMATRIX* out, FLOAT yaw, FLOAT pitch, FLOAT roll) {
  D3DXMATRIX z, x, y;
  D3DXMatrixRotationZ(&z, roll);
  D3DXMatrixRotationX(&x, pitch);
  D3DXMatrixRotationY(&y, yaw);
  D3DXMatrixMultiply(out, &z, &x);
  return D3DXMatrixMultiply(out, out, &y);
}

namespace {

// View matrix from the camera's right, up and forward axes (all unit length).
D3DXMATRIX* ViewFromAxes(D3DXMATRIX* out, const D3DXVECTOR3& xaxis, const D3DXVECTOR3& yaxis,
                         const D3DXVECTOR3& zaxis, const D3DXVECTOR3& eye) {
  *out = D3DXMATRIX(xaxis.x, yaxis.x, zaxis.x, 0,  //
                    xaxis.y, yaxis.y, zaxis.y, 0,  //
                    xaxis.z, yaxis.z, zaxis.z, 0,  //
                    -D3DXVec3Dot(&xaxis, &eye), -D3DXVec3Dot(&yaxis, &eye), -D3DXVec3Dot(&zaxis, &eye), 1);
  return out;
}

}  // namespace

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up) {
  D3DXVECTOR3 xaxis, yaxis, zaxis, e = *eye, forward = *at - *eye;
  D3DXVec3Normalize(&zaxis, &forward);
  D3DXVec3Cross(&xaxis, up, &zaxis);
  D3DXVec3Normalize(&xaxis, &xaxis);
  D3DXVec3Cross(&yaxis, &zaxis, &xaxis);
  return ViewFromAxes(out, xaxis, yaxis, zaxis, e);
}

D3DXMATRIX* D3DXMatrixLookAtRH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up) {
  D3DXVECTOR3 xaxis, yaxis, zaxis, e = *eye, backward = *eye - *at;
  D3DXVec3Normalize(&zaxis, &backward);
  D3DXVec3Cross(&xaxis, up, &zaxis);
  D3DXVec3Normalize(&xaxis, &xaxis);
  D3DXVec3Cross(&yaxis, &zaxis, &xaxis);
  return ViewFromAxes(out, xaxis, yaxis, zaxis, e);
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, FLOAT fovy, FLOAT aspect, FLOAT zn, FLOAT zf) {
  float ys = 1.0f / std::tan(fovy / 2.0f), xs = ys / aspect, q = zf / (zf - zn);
  *out = D3DXMATRIX(xs, 0, 0, 0, 0, ys, 0, 0, 0, 0, q, 1, 0, 0, -zn * q, 0);
  return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovRH(D3DXMATRIX* out, FLOAT fovy, FLOAT aspect, FLOAT zn, FLOAT zf) {
  float ys = 1.0f / std::tan(fovy / 2.0f), xs = ys / aspect, q = zf / (zn - zf);
  *out = D3DXMATRIX(xs, 0, 0, 0, 0, ys, 0, 0, 0, 0, q, -1, 0, 0, zn * q, 0);
  return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveLH(D3DXMATRIX* out, FLOAT width, FLOAT height, FLOAT zn, FLOAT zf) {
  float q = zf / (zf - zn);
  *out = D3DXMATRIX(2 * zn / width, 0, 0, 0, 0, 2 * zn / height, 0, 0, 0, 0, q, 1, 0, 0, -zn * q, 0);
  return out;
}

D3DXMATRIX* D3DXMatrixOrthoLH(D3DXMATRIX* out, FLOAT width, FLOAT height, FLOAT zn, FLOAT zf) {
  *out = D3DXMATRIX(2 / width, 0, 0, 0, 0, 2 / height, 0, 0, 0, 0, 1 / (zf - zn), 0, 0, 0, zn / (zn - zf), 1);
  return out;
}

D3DXMATRIX* D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* out, FLOAT left, FLOAT right, FLOAT bottom, FLOAT top, FLOAT zn,
                                       FLOAT zf) {
  *out = D3DXMATRIX(2 / (right - left), 0, 0, 0, 0, 2 / (top - bottom), 0, 0, 0, 0, 1 / (zf - zn), 0,
                    (left + right) / (left - right), (top + bottom) / (bottom - top), zn / (zn - zf), 1);
  return out;
}

// ---- quaternions ----

D3DXQUATERNION* D3DXQuaternionIdentity(D3DXQUATERNION* out) {
  *out = D3DXQUATERNION(0, 0, 0, 1);
  return out;
}

BOOL D3DXQuaternionIsIdentity(const D3DXQUATERNION* q) {
  return (q->x == 0.0f && q->y == 0.0f && q->z == 0.0f && q->w == 1.0f) ? TRUE : FALSE;
}

FLOAT D3DXQuaternionDot(const D3DXQUATERNION* a, const D3DXQUATERNION* b) {
  return a->x * b->x + a->y * b->y + a->z * b->z + a->w * b->w;
}
FLOAT D3DXQuaternionLengthSq(const D3DXQUATERNION* q) { return D3DXQuaternionDot(q, q); }
FLOAT D3DXQuaternionLength(const D3DXQUATERNION* q) { return std::sqrt(D3DXQuaternionLengthSq(q)); }

D3DXQUATERNION* D3DXQuaternionConjugate(D3DXQUATERNION* out, const D3DXQUATERNION* q) {
  *out = D3DXQUATERNION(-q->x, -q->y, -q->z, q->w);
  return out;
}

D3DXQUATERNION* D3DXQuaternionInverse(D3DXQUATERNION* out, const D3DXQUATERNION* q) {
  float lsq = D3DXQuaternionLengthSq(q);
  if (lsq == 0.0f) {
    *out = D3DXQUATERNION(0, 0, 0, 0);
    return out;
  }
  D3DXQuaternionConjugate(out, q);
  *out /= lsq;
  return out;
}

D3DXQUATERNION* D3DXQuaternionNormalize(D3DXQUATERNION* out, const D3DXQUATERNION* q) {
  float len = D3DXQuaternionLength(q);
  *out = len > 0.0f ? *q / len : D3DXQUATERNION(0, 0, 0, 0);
  return out;
}

D3DXQUATERNION* D3DXQuaternionMultiply(D3DXQUATERNION* out, const D3DXQUATERNION* q1, const D3DXQUATERNION* q2) {
  // Hamilton product q2 * q1.
  const D3DXQUATERNION a = *q2, b = *q1;
  *out = D3DXQUATERNION(a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,  //
                        a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,  //
                        a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,  //
                        a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z);
  return out;
}

D3DXQUATERNION* D3DXQuaternionRotationAxis(D3DXQUATERNION* out, const D3DXVECTOR3* axis, FLOAT angle) {
  D3DXVECTOR3 v;
  D3DXVec3Normalize(&v, axis);
  float s = std::sin(angle / 2.0f);
  *out = D3DXQUATERNION(v.x * s, v.y * s, v.z * s, std::cos(angle / 2.0f));
  return out;
}

D3DXQUATERNION* D3DXQuaternionRotationMatrix(D3DXQUATERNION* out, const D3DXMATRIX* m) {
  float trace = m->_11 + m->_22 + m->_33;
  D3DXQUATERNION q;
  if (trace > 0.0f) {
    float s = std::sqrt(trace + 1.0f) * 2.0f;
    q = D3DXQUATERNION((m->_23 - m->_32) / s, (m->_31 - m->_13) / s, (m->_12 - m->_21) / s, 0.25f * s);
  } else if (m->_11 >= m->_22 && m->_11 >= m->_33) {
    float s = std::sqrt(1.0f + m->_11 - m->_22 - m->_33) * 2.0f;
    q = D3DXQUATERNION(0.25f * s, (m->_12 + m->_21) / s, (m->_13 + m->_31) / s, (m->_23 - m->_32) / s);
  } else if (m->_22 >= m->_33) {
    float s = std::sqrt(1.0f + m->_22 - m->_11 - m->_33) * 2.0f;
    q = D3DXQUATERNION((m->_12 + m->_21) / s, 0.25f * s, (m->_23 + m->_32) / s, (m->_31 - m->_13) / s);
  } else {
    float s = std::sqrt(1.0f + m->_33 - m->_11 - m->_22) * 2.0f;
    q = D3DXQUATERNION((m->_13 + m->_31) / s, (m->_23 + m->_32) / s, 0.25f * s, (m->_12 - m->_21) / s);
  }
  *out = q;
  return out;
}

D3DXQUATERNION* D3DXQuaternionRotationYawPitchRoll(D3DXQUATERNION* out, FLOAT yaw, FLOAT pitch, FLOAT roll) {
  D3DXQUATERNION qz, qx, qy;
  D3DXVECTOR3 ax(1, 0, 0), ay(0, 1, 0), az(0, 0, 1);
  D3DXQuaternionRotationAxis(&qz, &az, roll);
  D3DXQuaternionRotationAxis(&qx, &ax, pitch);
  D3DXQuaternionRotationAxis(&qy, &ay, yaw);
  D3DXQuaternionMultiply(out, &qz, &qx);
  return D3DXQuaternionMultiply(out, out, &qy);
}

D3DXQUATERNION* D3DXQuaternionSlerp(D3DXQUATERNION* out, const D3DXQUATERNION* q1, const D3DXQUATERNION* q2,
                                    FLOAT t) {
  D3DXQUATERNION a = *q1, b = *q2;
  float cosom = D3DXQuaternionDot(&a, &b);
  if (cosom < 0.0f) {
    cosom = -cosom;
    b = -b;
  }
  float k0 = 1.0f - t, k1 = t;
  if (cosom < 0.9999f) {
    float omega = std::acos(cosom), sinom = std::sin(omega);
    k0 = std::sin((1.0f - t) * omega) / sinom;
    k1 = std::sin(t * omega) / sinom;
  }
  *out = a * k0 + b * k1;
  return out;
}

void D3DXQuaternionToAxisAngle(const D3DXQUATERNION* q, D3DXVECTOR3* axis, FLOAT* angle) {
  if (axis) *axis = D3DXVECTOR3(q->x, q->y, q->z);
  if (angle) *angle = 2.0f * std::acos(q->w < -1.0f ? -1.0f : (q->w > 1.0f ? 1.0f : q->w));
}

// ---- planes ----

FLOAT D3DXPlaneDot(const D3DXPLANE* p, const D3DXVECTOR4* v) {
  return p->a * v->x + p->b * v->y + p->c * v->z + p->d * v->w;
}
FLOAT D3DXPlaneDotCoord(const D3DXPLANE* p, const D3DXVECTOR3* v) {
  return p->a * v->x + p->b * v->y + p->c * v->z + p->d;
}
FLOAT D3DXPlaneDotNormal(const D3DXPLANE* p, const D3DXVECTOR3* v) { return p->a * v->x + p->b * v->y + p->c * v->z; }

D3DXPLANE* D3DXPlaneNormalize(D3DXPLANE* out, const D3DXPLANE* p) {
  float len = std::sqrt(p->a * p->a + p->b * p->b + p->c * p->c);
  *out = len > 0.0f ? D3DXPLANE(p->a / len, p->b / len, p->c / len, p->d / len) : D3DXPLANE(0, 0, 0, 0);
  return out;
}

D3DXPLANE* D3DXPlaneFromPointNormal(D3DXPLANE* out, const D3DXVECTOR3* point, const D3DXVECTOR3* normal) {
  *out = D3DXPLANE(normal->x, normal->y, normal->z, -D3DXVec3Dot(point, normal));
  return out;
}

D3DXPLANE* D3DXPlaneFromPoints(D3DXPLANE* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2,
                               const D3DXVECTOR3* v3) {
  D3DXVECTOR3 e1 = *v2 - *v1, e2 = *v3 - *v1, n, p = *v1;
  D3DXVec3Cross(&n, &e1, &e2);
  D3DXVec3Normalize(&n, &n);
  return D3DXPlaneFromPointNormal(out, &p, &n);
}

D3DXVECTOR3* D3DXPlaneIntersectLine(D3DXVECTOR3* out, const D3DXPLANE* p, const D3DXVECTOR3* v1,
                                    const D3DXVECTOR3* v2) {
  D3DXVECTOR3 dir = *v2 - *v1;
  float denom = D3DXPlaneDotNormal(p, &dir);
  if (denom == 0.0f) return nullptr;
  float t = -D3DXPlaneDotCoord(p, v1) / denom;
  *out = *v1 + dir * t;
  return out;
}

// ---- colours ----

D3DXCOLOR* D3DXColorLerp(D3DXCOLOR* out, const D3DXCOLOR* a, const D3DXCOLOR* b, FLOAT t) {
  *out = *a + (*b - *a) * t;
  return out;
}

D3DXCOLOR* D3DXColorModulate(D3DXCOLOR* out, const D3DXCOLOR* a, const D3DXCOLOR* b) {
  *out = D3DXCOLOR(a->r * b->r, a->g * b->g, a->b * b->b, a->a * b->a);
  return out;
}

D3DXCOLOR* D3DXColorScale(D3DXCOLOR* out, const D3DXCOLOR* c, FLOAT s) {
  *out = D3DXCOLOR(c->r * s, c->g * s, c->b * s, c->a);
  return out;
}
