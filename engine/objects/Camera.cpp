#include "engine/objects/Camera.h"

#include <atomic>

#include "engine/core/EngineNames.h"
#include "engine/core/Utils.h"
#include "engine/objects/ComponentKeys.h"

namespace vd {
namespace cam {

namespace {
std::atomic<int> g_screenWidth{1024};
std::atomic<int> g_screenHeight{768};
}  // namespace

void SetScreenSize(int width, int height) {
  g_screenWidth.store(width);
  g_screenHeight.store(height);
}

float GetScreenAspect() {
  const int height = g_screenHeight.load();
  // A window without height cannot give a ratio; square is the harmless answer.
  return height > 0 ? static_cast<float>(g_screenWidth.load()) / static_cast<float>(height) : 1.0f;
}

const CStringHash& CCamera::GetClassName() { return SH_CCamera; }

void CCamera::Load(rapidxml::xml_node<>* element) {
  float width = 0.0f, height = 0.0f;
  obj::ForEachKey(element, [&](const obj::CKey& key) {
    const uint32_t name = key.NameHash();
    if (name == ComputeHash("fov")) {
      fov = key.Float();
    } else if (name == ComputeHash("aspect_ratio_width")) {
      width = key.Float();
    } else if (name == ComputeHash("aspect_ratio_height")) {
      height = key.Float();
    } else if (name == ComputeHash("near")) {
      nearPlane = key.Float();
    } else if (name == ComputeHash("far")) {
      farPlane = key.Float();
    }
  });
  aspect = width != 0.0f && height != 0.0f ? width / height : GetScreenAspect();
}

bool CCamera::Init() {
  fovRadians = fov * utl::kPi / 180.0f;
  projection = plat::PerspectiveFovRH(fovRadians, aspect, nearPlane, farPlane);
  return true;
}

void CCamera::ComputeFrustum() {
  const plat::Mat4 m = view * projection;
  auto column = [&m](int c) { return plat::Plane(m.m[0][c], m.m[1][c], m.m[2][c], m.m[3][c]); };
  auto add = [](const plat::Plane& p, const plat::Plane& q) {
    return plat::Plane(p.a + q.a, p.b + q.b, p.c + q.c, p.d + q.d);
  };
  auto sub = [](const plat::Plane& p, const plat::Plane& q) {
    return plat::Plane(p.a - q.a, p.b - q.b, p.c - q.c, p.d - q.d);
  };
  const plat::Plane c1 = column(0), c2 = column(1), c3 = column(2), c4 = column(3);
  frustum[kNear] = plat::PlaneNormalize(c3);
  frustum[kFar] = plat::PlaneNormalize(sub(c4, c3));
  frustum[kLeft] = plat::PlaneNormalize(add(c4, c1));
  frustum[kRight] = plat::PlaneNormalize(sub(c4, c1));
  frustum[kTop] = plat::PlaneNormalize(sub(c4, c2));
  frustum[kBottom] = plat::PlaneNormalize(add(c4, c2));
}

bool CCamera::Update(float) {
  ComputeFrustum();
  return true;
}

}  // namespace cam
}  // namespace vd
