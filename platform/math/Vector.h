#pragma once
// Single-precision vectors with the Direct3D utility library's layout.

namespace plat {

struct Vec2 {
  float x = 0.0f, y = 0.0f;
  Vec2() = default;
  constexpr Vec2(float x_, float y_) : x(x_), y(y_) {}
};

struct Vec3 {
  float x = 0.0f, y = 0.0f, z = 0.0f;
  Vec3() = default;
  constexpr Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
};

struct Vec4 {
  float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;
  Vec4() = default;
  constexpr Vec4(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
};

}  // namespace plat
