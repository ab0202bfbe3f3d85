#pragma once
// The Direct3D utility math the engine is written against: single precision, row
// vectors (a point times a matrix, translation in the fourth row), right-handed
// view and projection helpers. Results match the utility library's formulas so that
// values computed by the game (cameras, shadow frusta, sprites) come out the same.
#include "platform/math/Vector.h"

namespace plat {

constexpr float kPi = 3.141592654f;

struct Quat {
  float x = 0.0f, y = 0.0f, z = 0.0f, w = 1.0f;  // identity by default
  Quat() = default;
  constexpr Quat(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
  constexpr bool operator==(const Quat& q) const {
    return x == q.x && y == q.y && z == q.z && w == q.w;
  }
  constexpr bool operator!=(const Quat& q) const { return !(*this == q); }
};

// 16 floats, m[row][column]; identity by default.
struct Mat4 {
  float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  Mat4() = default;
  constexpr Mat4(float m00, float m01, float m02, float m03, float m10, float m11, float m12,
                 float m13, float m20, float m21, float m22, float m23, float m30, float m31,
                 float m32, float m33)
      : m{{m00, m01, m02, m03}, {m10, m11, m12, m13}, {m20, m21, m22, m23}, {m30, m31, m32, m33}} {}
  static constexpr Mat4 Identity() { return Mat4(); }
  static constexpr Mat4 Zero() { return Mat4(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0); }

  float& operator()(int row, int col) { return m[row][col]; }
  float operator()(int row, int col) const { return m[row][col]; }
  const float* Data() const { return &m[0][0]; }
  float* Data() { return &m[0][0]; }
  bool operator==(const Mat4& o) const;
  bool operator!=(const Mat4& o) const { return !(*this == o); }
};

// Plane a·x + b·y + c·z + d = 0.
struct Plane {
  float a = 0.0f, b = 0.0f, c = 0.0f, d = 0.0f;
  Plane() = default;
  constexpr Plane(float a_, float b_, float c_, float d_) : a(a_), b(b_), c(c_), d(d_) {}
};

// --- vectors ---
float Dot(const Vec2& a, const Vec2& b);
float Dot(const Vec3& a, const Vec3& b);
float Dot(const Vec4& a, const Vec4& b);
Vec3 Cross(const Vec3& a, const Vec3& b);
float Length(const Vec2& v);
float Length(const Vec3& v);
float Length(const Vec4& v);
float LengthSq(const Vec3& v);
// A zero vector stays zero.
Vec2 Normalize(const Vec2& v);
Vec3 Normalize(const Vec3& v);
Vec4 Normalize(const Vec4& v);
Vec2 Lerp(const Vec2& a, const Vec2& b, float s);
Vec3 Lerp(const Vec3& a, const Vec3& b, float s);
Vec4 Lerp(const Vec4& a, const Vec4& b, float s);
// Catmull-Rom spline through v1 (s = 0) and v2 (s = 1).
Vec3 CatmullRom(const Vec3& v0, const Vec3& v1, const Vec3& v2, const Vec3& v3, float s);

// (x, y, z, 1) × m, divided by the resulting w. A w of exactly 0 (a point on the
// projection's plane at infinity) leaves x, y, z undivided rather than infinite.
Vec3 TransformCoord(const Vec3& v, const Mat4& m);
// (x, y, z, 0) × m: directions, no translation.
Vec3 TransformNormal(const Vec3& v, const Mat4& m);
// (x, y, z, 1) × m.
Vec4 Transform(const Vec3& v, const Mat4& m);
Vec4 Transform(const Vec4& v, const Mat4& m);
Vec2 TransformCoord(const Vec2& v, const Mat4& m);

// --- matrices ---
// a then b: Multiply(a, b) = a × b.
Mat4 Multiply(const Mat4& a, const Mat4& b);
inline Mat4 operator*(const Mat4& a, const Mat4& b) { return Multiply(a, b); }
Mat4 Transpose(const Mat4& m);
float Determinant(const Mat4& m);
// False for a singular matrix (determinant 0 or an inverse that is not finite);
// `out` is then left unchanged. The determinant is stored when asked for.
bool Inverse(const Mat4& m, Mat4& out, float* determinant = nullptr);
Mat4 Translation(float x, float y, float z);
inline Mat4 Translation(const Vec3& v) { return Translation(v.x, v.y, v.z); }
Mat4 Scaling(float x, float y, float z);
// Rotations are counter-clockwise looking down the axis towards the origin.
Mat4 RotationX(float angle);
Mat4 RotationY(float angle);
Mat4 RotationZ(float angle);
// About an arbitrary axis (normalised here).
Mat4 RotationAxis(const Vec3& axis, float angle);
Mat4 RotationQuaternion(const Quat& q);
// Roll about Z, then pitch about X, then yaw about Y.
Mat4 RotationYawPitchRoll(float yaw, float pitch, float roll);
// Right-handed projections into Direct3D's 0..1 depth range.
Mat4 PerspectiveFovRH(float fovY, float aspect, float zNear, float zFar);
Mat4 OrthoRH(float width, float height, float zNear, float zFar);
Mat4 OrthoOffCenterRH(float left, float right, float bottom, float top, float zNear, float zFar);
// Right-handed view matrix: the camera looks down its -Z.
Mat4 LookAtRH(const Vec3& eye, const Vec3& at, const Vec3& up);
// 2D transform in the XY plane: scaling (about scalingCenter, along axes turned by
// scalingRotation), then rotation about rotationCenter, then translation. Null
// pointers stand for no scaling centre, unit scaling, no rotation centre, no
// translation.
Mat4 Transformation2D(const Vec2* scalingCenter, float scalingRotation, const Vec2* scaling,
                      const Vec2* rotationCenter, float rotation, const Vec2* translation);

// --- quaternions ---
float Dot(const Quat& a, const Quat& b);
float Length(const Quat& q);
Quat Normalize(const Quat& q);  // a zero quaternion stays zero
Quat Conjugate(const Quat& q);
// The rotation of a followed by that of b.
Quat Multiply(const Quat& a, const Quat& b);
// Same rotation as RotationYawPitchRoll: roll about Z, pitch about X, yaw about Y.
Quat QuatRotationYawPitchRoll(float yaw, float pitch, float roll);
Quat QuatRotationAxis(const Vec3& axis, float angle);
// The rotation part of a matrix (the upper 3×3 is taken to be a pure rotation).
Quat QuatRotationMatrix(const Mat4& m);
// Spherical interpolation along the shorter arc; linear when the two are very close.
Quat Slerp(const Quat& a, const Quat& b, float t);

// --- planes ---
// Divides by the length of the normal; a plane with a zero normal becomes all zero.
Plane PlaneNormalize(const Plane& p);
// Normal = normalise((p2 - p1) × (p3 - p1)), through p1.
Plane PlaneFromPoints(const Vec3& p1, const Vec3& p2, const Vec3& p3);
Plane PlaneFromPointNormal(const Vec3& point, const Vec3& normal);
float PlaneDotCoord(const Plane& p, const Vec3& v);   // a·x + b·y + c·z + d
float PlaneDotNormal(const Plane& p, const Vec3& v);  // a·x + b·y + c·z

}  // namespace plat
