#include "engine/objects/Camera.h"

#include <atomic>
#include <cmath>

#include "engine/core/EngineNames.h"
#include "engine/core/Log.h"
#include "engine/core/Utils.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"

namespace vd {
namespace cam {

namespace {
std::atomic<int> g_screenWidth{1024};
std::atomic<int> g_screenHeight{768};

// The render thread reads the camera it draws with through this; installed with
// the first use of this file (any camera made links it in).
void ReadView(const CCamera* camera, gfx::SCameraView& out) { camera->GetCameraView(out); }
const bool g_readerInstalled = (gfx::SetCameraViewReader(&ReadView), true);
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

namespace {

const char* OwnerName(const obj::CGameObject* owner) { return owner ? owner->GetNameText() : ""; }

}  // namespace

void CCamera::Load(rapidxml::xml_node<>* element) {
  float width = 0.0f, height = 0.0f;
  // A value that cannot make a projection keeps what the template (or the
  // default) gave; the file is wrong, and the log says so.
  auto take = [this](const char* key, float value, bool usable, float& field) {
    if (usable) {
      field = value;
      return;
    }
    utl::LogPrintf("Camera of %s: %s %g refused, %g kept\n", OwnerName(GetOwner()), key,
                   static_cast<double>(value), static_cast<double>(field));
  };
  obj::ForEachKey(element, [&](const obj::CKey& key) {
    const uint32_t name = key.NameHash();
    const float value = key.Float();
    if (name == ComputeHash("fov")) {
      take("fov", value, value > 0.0f && value < 180.0f, fov);
    } else if (name == ComputeHash("aspect_ratio_width")) {
      take("aspect_ratio_width", value, std::isfinite(value), width);
    } else if (name == ComputeHash("aspect_ratio_height")) {
      take("aspect_ratio_height", value, std::isfinite(value), height);
    } else if (name == ComputeHash("near")) {
      take("near", value, value > 0.0f && std::isfinite(value), nearPlane);
    } else if (name == ComputeHash("far")) {
      take("far", value, value > 0.0f && std::isfinite(value), farPlane);
    }
  });
  aspect = width != 0.0f && height != 0.0f ? width / height : GetScreenAspect();
}

bool CCamera::Init() {
  // Without a field of view or with the far plane not beyond the near one the
  // projection would be all infinities: keep the last one.
  if (!(fov > 0.0f && fov < 180.0f) || !(farPlane > nearPlane) || !(nearPlane > 0.0f) ||
      !std::isfinite(farPlane)) {
    utl::LogPrintf("Camera of %s: no projection from fov %g, near %g, far %g\n",
                   OwnerName(GetOwner()), static_cast<double>(fov), static_cast<double>(nearPlane),
                   static_cast<double>(farPlane));
    return true;
  }
  fovRadians = fov * utl::kPi / 180.0f;
  projection = plat::PerspectiveFovRH(fovRadians, aspect, nearPlane, farPlane);
  return true;
}

void CCamera::SetFov(float degrees) {
  fov = degrees;
  // The single-precision pi, widened: the product is divided in double precision.
  fovRadians = static_cast<float>(static_cast<double>(degrees) *
                                  static_cast<double>(3.1415927410125732f) / 180.0);
  projection = plat::PerspectiveFovRH(fovRadians, aspect, nearPlane, farPlane);
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
