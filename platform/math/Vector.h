#pragma once
// Single-precision vectors with the Direct3D utility library's layout.

namespace plat {

struct Vec2 {
  float x = 0.0f, y = 0.0f;
  Vec2() = default;
  constexpr Vec2(float x_, float y_) : x(x_), y(y_) {}

  constexpr Vec2 operator+(const Vec2& v) const { return Vec2(x + v.x, y + v.y); }
  constexpr Vec2 operator-(const Vec2& v) const { return Vec2(x - v.x, y - v.y); }
  constexpr Vec2 operator-() const { return Vec2(-x, -y); }
  constexpr Vec2 operator*(float s) const { return Vec2(x * s, y * s); }
  constexpr Vec2 operator/(float s) const { return Vec2(x / s, y / s); }
  Vec2& operator+=(const Vec2& v) {
    x += v.x;
    y += v.y;
    return *this;
  }
  Vec2& operator-=(const Vec2& v) {
    x -= v.x;
    y -= v.y;
    return *this;
  }
  Vec2& operator*=(float s) {
    x *= s;
    y *= s;
    return *this;
  }
  Vec2& operator/=(float s) {
    x /= s;
    y /= s;
    return *this;
  }
  constexpr bool operator==(const Vec2& v) const { return x == v.x && y == v.y; }
  constexpr bool operator!=(const Vec2& v) const { return !(*this == v); }
};

struct Vec3 {
  float x = 0.0f, y = 0.0f, z = 0.0f;
  Vec3() = default;
  constexpr Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}

  constexpr Vec3 operator+(const Vec3& v) const { return Vec3(x + v.x, y + v.y, z + v.z); }
  constexpr Vec3 operator-(const Vec3& v) const { return Vec3(x - v.x, y - v.y, z - v.z); }
  constexpr Vec3 operator-() const { return Vec3(-x, -y, -z); }
  constexpr Vec3 operator*(float s) const { return Vec3(x * s, y * s, z * s); }
  constexpr Vec3 operator/(float s) const { return Vec3(x / s, y / s, z / s); }
  Vec3& operator+=(const Vec3& v) {
    x += v.x;
    y += v.y;
    z += v.z;
    return *this;
  }
  Vec3& operator-=(const Vec3& v) {
    x -= v.x;
    y -= v.y;
    z -= v.z;
    return *this;
  }
  Vec3& operator*=(float s) {
    x *= s;
    y *= s;
    z *= s;
    return *this;
  }
  Vec3& operator/=(float s) {
    x /= s;
    y /= s;
    z /= s;
    return *this;
  }
  constexpr bool operator==(const Vec3& v) const { return x == v.x && y == v.y && z == v.z; }
  constexpr bool operator!=(const Vec3& v) const { return !(*this == v); }
};

struct Vec4 {
  float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;
  Vec4() = default;
  constexpr Vec4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}

  constexpr Vec4 operator+(const Vec4& v) const { return Vec4(x + v.x, y + v.y, z + v.z, w + v.w); }
  constexpr Vec4 operator-(const Vec4& v) const { return Vec4(x - v.x, y - v.y, z - v.z, w - v.w); }
  constexpr Vec4 operator-() const { return Vec4(-x, -y, -z, -w); }
  constexpr Vec4 operator*(float s) const { return Vec4(x * s, y * s, z * s, w * s); }
  constexpr Vec4 operator/(float s) const { return Vec4(x / s, y / s, z / s, w / s); }
  Vec4& operator+=(const Vec4& v) {
    x += v.x;
    y += v.y;
    z += v.z;
    w += v.w;
    return *this;
  }
  Vec4& operator-=(const Vec4& v) {
    x -= v.x;
    y -= v.y;
    z -= v.z;
    w -= v.w;
    return *this;
  }
  Vec4& operator*=(float s) {
    x *= s;
    y *= s;
    z *= s;
    w *= s;
    return *this;
  }
  Vec4& operator/=(float s) {
    x /= s;
    y /= s;
    z /= s;
    w /= s;
    return *this;
  }
  constexpr bool operator==(const Vec4& v) const {
    return x == v.x && y == v.y && z == v.z && w == v.w;
  }
  constexpr bool operator!=(const Vec4& v) const { return !(*this == v); }
};

constexpr Vec2 operator*(float s, const Vec2& v) { return v * s; }
constexpr Vec3 operator*(float s, const Vec3& v) { return v * s; }
constexpr Vec4 operator*(float s, const Vec4& v) { return v * s; }

}  // namespace plat
