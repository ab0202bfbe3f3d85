#include "platform/math/Math.h"

#include <cmath>

namespace plat {

bool Mat4::operator==(const Mat4& o) const {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      if (m[r][c] != o.m[r][c]) return false;
  return true;
}

// --- vectors ---
float Dot(const Vec2& a, const Vec2& b) { return a.x * b.x + a.y * b.y; }
float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float Dot(const Vec4& a, const Vec4& b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }

Vec3 Cross(const Vec3& a, const Vec3& b) {
  return Vec3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

float Length(const Vec2& v) { return std::sqrt(Dot(v, v)); }
float Length(const Vec3& v) { return std::sqrt(Dot(v, v)); }
float Length(const Vec4& v) { return std::sqrt(Dot(v, v)); }
float LengthSq(const Vec3& v) { return Dot(v, v); }

Vec2 Normalize(const Vec2& v) {
  float len = Length(v);
  return len != 0.0f ? v / len : Vec2();
}
Vec3 Normalize(const Vec3& v) {
  float len = Length(v);
  return len != 0.0f ? v / len : Vec3();
}
Vec4 Normalize(const Vec4& v) {
  float len = Length(v);
  return len != 0.0f ? v / len : Vec4();
}

Vec2 Lerp(const Vec2& a, const Vec2& b, float s) { return a + (b - a) * s; }
Vec3 Lerp(const Vec3& a, const Vec3& b, float s) { return a + (b - a) * s; }
Vec4 Lerp(const Vec4& a, const Vec4& b, float s) { return a + (b - a) * s; }

Vec3 CatmullRom(const Vec3& v0, const Vec3& v1, const Vec3& v2, const Vec3& v3, float s) {
  const float s2 = s * s, s3 = s2 * s;
  auto one = [&](float p0, float p1, float p2, float p3) {
    return 0.5f * (2.0f * p1 + (p2 - p0) * s + (2.0f * p0 - 5.0f * p1 + 4.0f * p2 - p3) * s2 +
                   (3.0f * p1 - p0 - 3.0f * p2 + p3) * s3);
  };
  return Vec3(one(v0.x, v1.x, v2.x, v3.x), one(v0.y, v1.y, v2.y, v3.y),
              one(v0.z, v1.z, v2.z, v3.z));
}

Vec4 Transform(const Vec4& v, const Mat4& m) {
  const auto& a = m.m;
  return Vec4(v.x * a[0][0] + v.y * a[1][0] + v.z * a[2][0] + v.w * a[3][0],
              v.x * a[0][1] + v.y * a[1][1] + v.z * a[2][1] + v.w * a[3][1],
              v.x * a[0][2] + v.y * a[1][2] + v.z * a[2][2] + v.w * a[3][2],
              v.x * a[0][3] + v.y * a[1][3] + v.z * a[2][3] + v.w * a[3][3]);
}

Vec4 Transform(const Vec3& v, const Mat4& m) { return Transform(Vec4(v.x, v.y, v.z, 1.0f), m); }

Vec3 TransformCoord(const Vec3& v, const Mat4& m) {
  Vec4 r = Transform(v, m);
  if (r.w == 0.0f) return Vec3(r.x, r.y, r.z);
  return Vec3(r.x / r.w, r.y / r.w, r.z / r.w);
}

Vec2 TransformCoord(const Vec2& v, const Mat4& m) {
  Vec3 r = TransformCoord(Vec3(v.x, v.y, 0.0f), m);
  return Vec2(r.x, r.y);
}

Vec3 TransformNormal(const Vec3& v, const Mat4& m) {
  Vec4 r = Transform(Vec4(v.x, v.y, v.z, 0.0f), m);
  return Vec3(r.x, r.y, r.z);
}

// --- matrices ---
Mat4 Multiply(const Mat4& a, const Mat4& b) {
  Mat4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                  a.m[i][3] * b.m[3][j];
  return r;
}

Mat4 Transpose(const Mat4& m) {
  Mat4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) r.m[i][j] = m.m[j][i];
  return r;
}

namespace {

// Cofactors of the 4×4 by 2×2 sub-determinants of the upper and lower row pairs.
struct Cofactors {
  float c[4][4];
  float det;
};

Cofactors ComputeCofactors(const Mat4& mat) {
  const auto& m = mat.m;
  float s0 = m[0][0] * m[1][1] - m[1][0] * m[0][1];
  float s1 = m[0][0] * m[1][2] - m[1][0] * m[0][2];
  float s2 = m[0][0] * m[1][3] - m[1][0] * m[0][3];
  float s3 = m[0][1] * m[1][2] - m[1][1] * m[0][2];
  float s4 = m[0][1] * m[1][3] - m[1][1] * m[0][3];
  float s5 = m[0][2] * m[1][3] - m[1][2] * m[0][3];
  float c5 = m[2][2] * m[3][3] - m[3][2] * m[2][3];
  float c4 = m[2][1] * m[3][3] - m[3][1] * m[2][3];
  float c3 = m[2][1] * m[3][2] - m[3][1] * m[2][2];
  float c2 = m[2][0] * m[3][3] - m[3][0] * m[2][3];
  float c1 = m[2][0] * m[3][2] - m[3][0] * m[2][2];
  float c0 = m[2][0] * m[3][1] - m[3][0] * m[2][1];

  Cofactors r;
  // Adjugate (transposed cofactor matrix).
  r.c[0][0] = m[1][1] * c5 - m[1][2] * c4 + m[1][3] * c3;
  r.c[0][1] = -m[0][1] * c5 + m[0][2] * c4 - m[0][3] * c3;
  r.c[0][2] = m[3][1] * s5 - m[3][2] * s4 + m[3][3] * s3;
  r.c[0][3] = -m[2][1] * s5 + m[2][2] * s4 - m[2][3] * s3;
  r.c[1][0] = -m[1][0] * c5 + m[1][2] * c2 - m[1][3] * c1;
  r.c[1][1] = m[0][0] * c5 - m[0][2] * c2 + m[0][3] * c1;
  r.c[1][2] = -m[3][0] * s5 + m[3][2] * s2 - m[3][3] * s1;
  r.c[1][3] = m[2][0] * s5 - m[2][2] * s2 + m[2][3] * s1;
  r.c[2][0] = m[1][0] * c4 - m[1][1] * c2 + m[1][3] * c0;
  r.c[2][1] = -m[0][0] * c4 + m[0][1] * c2 - m[0][3] * c0;
  r.c[2][2] = m[3][0] * s4 - m[3][1] * s2 + m[3][3] * s0;
  r.c[2][3] = -m[2][0] * s4 + m[2][1] * s2 - m[2][3] * s0;
  r.c[3][0] = -m[1][0] * c3 + m[1][1] * c1 - m[1][2] * c0;
  r.c[3][1] = m[0][0] * c3 - m[0][1] * c1 + m[0][2] * c0;
  r.c[3][2] = -m[3][0] * s3 + m[3][1] * s1 - m[3][2] * s0;
  r.c[3][3] = m[2][0] * s3 - m[2][1] * s1 + m[2][2] * s0;
  r.det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
  return r;
}

}  // namespace

float Determinant(const Mat4& m) { return ComputeCofactors(m).det; }

bool Inverse(const Mat4& m, Mat4& out, float* determinant) {
  Cofactors cf = ComputeCofactors(m);
  if (determinant) *determinant = cf.det;
  if (cf.det == 0.0f || !std::isfinite(cf.det)) return false;
  const float inv = 1.0f / cf.det;
  if (!std::isfinite(inv)) return false;
  Mat4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      r.m[i][j] = cf.c[i][j] * inv;
      if (!std::isfinite(r.m[i][j])) return false;
    }
  out = r;
  return true;
}

Mat4 Translation(float x, float y, float z) {
  Mat4 r;
  r.m[3][0] = x;
  r.m[3][1] = y;
  r.m[3][2] = z;
  return r;
}

Mat4 Scaling(float x, float y, float z) {
  Mat4 r;
  r.m[0][0] = x;
  r.m[1][1] = y;
  r.m[2][2] = z;
  return r;
}

Mat4 RotationX(float angle) {
  const float s = std::sin(angle), c = std::cos(angle);
  Mat4 r;
  r.m[1][1] = c;
  r.m[1][2] = s;
  r.m[2][1] = -s;
  r.m[2][2] = c;
  return r;
}

Mat4 RotationY(float angle) {
  const float s = std::sin(angle), c = std::cos(angle);
  Mat4 r;
  r.m[0][0] = c;
  r.m[0][2] = -s;
  r.m[2][0] = s;
  r.m[2][2] = c;
  return r;
}

Mat4 RotationZ(float angle) {
  const float s = std::sin(angle), c = std::cos(angle);
  Mat4 r;
  r.m[0][0] = c;
  r.m[0][1] = s;
  r.m[1][0] = -s;
  r.m[1][1] = c;
  return r;
}

Mat4 RotationAxis(const Vec3& axis, float angle) {
  const Vec3 v = Normalize(axis);
  const float s = std::sin(angle), c = std::cos(angle), t = 1.0f - c;
  Mat4 r;
  r.m[0][0] = t * v.x * v.x + c;
  r.m[0][1] = t * v.x * v.y + s * v.z;
  r.m[0][2] = t * v.x * v.z - s * v.y;
  r.m[1][0] = t * v.x * v.y - s * v.z;
  r.m[1][1] = t * v.y * v.y + c;
  r.m[1][2] = t * v.y * v.z + s * v.x;
  r.m[2][0] = t * v.x * v.z + s * v.y;
  r.m[2][1] = t * v.y * v.z - s * v.x;
  r.m[2][2] = t * v.z * v.z + c;
  return r;
}

Mat4 RotationQuaternion(const Quat& q) {
  Mat4 r;
  r.m[0][0] = 1.0f - 2.0f * (q.y * q.y + q.z * q.z);
  r.m[0][1] = 2.0f * (q.x * q.y + q.z * q.w);
  r.m[0][2] = 2.0f * (q.x * q.z - q.y * q.w);
  r.m[1][0] = 2.0f * (q.x * q.y - q.z * q.w);
  r.m[1][1] = 1.0f - 2.0f * (q.x * q.x + q.z * q.z);
  r.m[1][2] = 2.0f * (q.y * q.z + q.x * q.w);
  r.m[2][0] = 2.0f * (q.x * q.z + q.y * q.w);
  r.m[2][1] = 2.0f * (q.y * q.z - q.x * q.w);
  r.m[2][2] = 1.0f - 2.0f * (q.x * q.x + q.y * q.y);
  return r;
}

Mat4 RotationYawPitchRoll(float yaw, float pitch, float roll) {
  return RotationQuaternion(QuatRotationYawPitchRoll(yaw, pitch, roll));
}

Mat4 PerspectiveFovRH(float fovY, float aspect, float zNear, float zFar) {
  const float yScale = 1.0f / std::tan(fovY * 0.5f);
  Mat4 r = Mat4::Zero();
  r.m[0][0] = yScale / aspect;
  r.m[1][1] = yScale;
  r.m[2][2] = zFar / (zNear - zFar);
  r.m[2][3] = -1.0f;
  r.m[3][2] = zNear * zFar / (zNear - zFar);
  return r;
}

Mat4 OrthoRH(float width, float height, float zNear, float zFar) {
  Mat4 r;
  r.m[0][0] = 2.0f / width;
  r.m[1][1] = 2.0f / height;
  r.m[2][2] = 1.0f / (zNear - zFar);
  r.m[3][2] = zNear / (zNear - zFar);
  return r;
}

Mat4 OrthoOffCenterRH(float left, float right, float bottom, float top, float zNear, float zFar) {
  Mat4 r;
  r.m[0][0] = 2.0f / (right - left);
  r.m[1][1] = 2.0f / (top - bottom);
  r.m[2][2] = 1.0f / (zNear - zFar);
  r.m[3][0] = (left + right) / (left - right);
  r.m[3][1] = (top + bottom) / (bottom - top);
  r.m[3][2] = zNear / (zNear - zFar);
  return r;
}

Mat4 LookAtRH(const Vec3& eye, const Vec3& at, const Vec3& up) {
  const Vec3 zAxis = Normalize(eye - at);
  const Vec3 xAxis = Normalize(Cross(up, zAxis));
  const Vec3 yAxis = Cross(zAxis, xAxis);
  return Mat4(xAxis.x, yAxis.x, zAxis.x, 0.0f, xAxis.y, yAxis.y, zAxis.y, 0.0f, xAxis.z, yAxis.z,
              zAxis.z, 0.0f, -Dot(xAxis, eye), -Dot(yAxis, eye), -Dot(zAxis, eye), 1.0f);
}

Mat4 Transformation2D(const Vec2* scalingCenter, float scalingRotation, const Vec2* scaling,
                      const Vec2* rotationCenter, float rotation, const Vec2* translation) {
  const Vec2 sc = scalingCenter ? *scalingCenter : Vec2();
  const Vec2 s = scaling ? *scaling : Vec2(1.0f, 1.0f);
  const Vec2 rc = rotationCenter ? *rotationCenter : Vec2();
  const Vec2 t = translation ? *translation : Vec2();

  // Msc⁻¹ · Msr⁻¹ · Ms · Msr · Msc · Mrc⁻¹ · Mr · Mrc · Mt
  Mat4 r = Translation(-sc.x, -sc.y, 0.0f);
  if (scaling) {
    r = r * RotationZ(-scalingRotation) * Scaling(s.x, s.y, 1.0f) * RotationZ(scalingRotation);
  }
  r = r * Translation(sc.x, sc.y, 0.0f);
  r = r * Translation(-rc.x, -rc.y, 0.0f) * RotationZ(rotation) * Translation(rc.x, rc.y, 0.0f);
  r = r * Translation(t.x, t.y, 0.0f);
  return r;
}

// --- quaternions ---
float Dot(const Quat& a, const Quat& b) { return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w; }
float Length(const Quat& q) { return std::sqrt(Dot(q, q)); }

Quat Normalize(const Quat& q) {
  float len = Length(q);
  if (len == 0.0f) return Quat(0.0f, 0.0f, 0.0f, 0.0f);
  return Quat(q.x / len, q.y / len, q.z / len, q.w / len);
}

Quat Conjugate(const Quat& q) { return Quat(-q.x, -q.y, -q.z, q.w); }

Quat Multiply(const Quat& a, const Quat& b) {
  // Hamilton product b·a: rotating by the result equals rotating by a, then by b.
  return Quat(
      b.w * a.x + b.x * a.w + b.y * a.z - b.z * a.y, b.w * a.y - b.x * a.z + b.y * a.w + b.z * a.x,
      b.w * a.z + b.x * a.y - b.y * a.x + b.z * a.w, b.w * a.w - b.x * a.x - b.y * a.y - b.z * a.z);
}

Quat QuatRotationYawPitchRoll(float yaw, float pitch, float roll) {
  const float sy = std::sin(yaw * 0.5f), cy = std::cos(yaw * 0.5f);
  const float sp = std::sin(pitch * 0.5f), cp = std::cos(pitch * 0.5f);
  const float sr = std::sin(roll * 0.5f), cr = std::cos(roll * 0.5f);
  return Quat(cy * sp * cr + sy * cp * sr, sy * cp * cr - cy * sp * sr, cy * cp * sr - sy * sp * cr,
              cy * cp * cr + sy * sp * sr);
}

Quat QuatRotationAxis(const Vec3& axis, float angle) {
  const Vec3 v = Normalize(axis);
  const float s = std::sin(angle * 0.5f);
  return Quat(v.x * s, v.y * s, v.z * s, std::cos(angle * 0.5f));
}

Quat QuatRotationMatrix(const Mat4& mat) {
  const auto& m = mat.m;
  const float trace = m[0][0] + m[1][1] + m[2][2] + 1.0f;
  if (trace > 1.0f) {
    const float s = 2.0f * std::sqrt(trace);
    return Quat((m[1][2] - m[2][1]) / s, (m[2][0] - m[0][2]) / s, (m[0][1] - m[1][0]) / s,
                0.25f * s);
  }
  // Pick the largest diagonal element to keep the division well away from zero.
  int i = 0;
  if (m[1][1] > m[0][0]) i = 1;
  if (m[2][2] > m[i][i]) i = 2;
  if (i == 0) {
    const float s = 2.0f * std::sqrt(1.0f + m[0][0] - m[1][1] - m[2][2]);
    return Quat(0.25f * s, (m[0][1] + m[1][0]) / s, (m[0][2] + m[2][0]) / s,
                (m[1][2] - m[2][1]) / s);
  }
  if (i == 1) {
    const float s = 2.0f * std::sqrt(1.0f + m[1][1] - m[0][0] - m[2][2]);
    return Quat((m[0][1] + m[1][0]) / s, 0.25f * s, (m[1][2] + m[2][1]) / s,
                (m[2][0] - m[0][2]) / s);
  }
  const float s = 2.0f * std::sqrt(1.0f + m[2][2] - m[0][0] - m[1][1]);
  return Quat((m[0][2] + m[2][0]) / s, (m[1][2] + m[2][1]) / s, 0.25f * s, (m[0][1] - m[1][0]) / s);
}

Quat Slerp(const Quat& a, const Quat& b, float t) {
  float cosTheta = Dot(a, b);
  float sign = 1.0f;
  if (cosTheta < 0.0f) {
    sign = -1.0f;
    cosTheta = -cosTheta;
  }
  float wa = 1.0f - t, wb = t;
  if (1.0f - cosTheta > 0.001f) {
    const float theta = std::acos(cosTheta);
    const float sinTheta = std::sin(theta);
    wa = std::sin(wa * theta) / sinTheta;
    wb = std::sin(wb * theta) / sinTheta;
  }
  wb *= sign;
  return Quat(wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z, wa * a.w + wb * b.w);
}

// --- planes ---
Plane PlaneNormalize(const Plane& p) {
  const float len = std::sqrt(p.a * p.a + p.b * p.b + p.c * p.c);
  if (len == 0.0f) return Plane();
  return Plane(p.a / len, p.b / len, p.c / len, p.d / len);
}

Plane PlaneFromPointNormal(const Vec3& point, const Vec3& normal) {
  return Plane(normal.x, normal.y, normal.z, -Dot(point, normal));
}

Plane PlaneFromPoints(const Vec3& p1, const Vec3& p2, const Vec3& p3) {
  const Vec3 n = Normalize(Cross(p2 - p1, p3 - p1));
  return PlaneFromPointNormal(p1, n);
}

float PlaneDotCoord(const Plane& p, const Vec3& v) {
  return p.a * v.x + p.b * v.y + p.c * v.z + p.d;
}
float PlaneDotNormal(const Plane& p, const Vec3& v) { return p.a * v.x + p.b * v.y + p.c * v.z; }

}  // namespace plat
