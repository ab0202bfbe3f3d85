#include "engine/render/CameraView.h"

#include <cmath>

namespace vd {
namespace gfx {

namespace {
// Constant-initialised, so a reader installed during static initialisation stays.
CameraViewReader g_cameraViewReader = nullptr;
}  // namespace

void SetCameraViewReader(CameraViewReader reader) { g_cameraViewReader = reader; }

bool ReadCameraView(const cam::CCamera* camera, SCameraView& out) {
  if (!camera || !g_cameraViewReader) return false;
  g_cameraViewReader(camera, out);
  return true;
}

plat::Vec3 SafeNormalize(const plat::Vec3& v, const plat::Vec3& fallback) {
  const float lengthSq = v.x * v.x + v.y * v.y + v.z * v.z;
  // Below this a direction is noise; and NaN or infinity has none at all.
  if (!(lengthSq > 1e-12f) || !std::isfinite(lengthSq)) return fallback;
  const float inv = 1.0f / std::sqrt(lengthSq);
  return plat::Vec3(v.x * inv, v.y * inv, v.z * inv);
}

void FillCameraAxes(SCameraView& view) {
  // A right-handed view matrix holds the camera's right, up and back axes in its
  // first three columns; the eye is the fourth row of its inverse.
  const plat::Mat4& v = view.view;
  view.right = SafeNormalize(plat::Vec3(v(0, 0), v(1, 0), v(2, 0)), plat::Vec3(1, 0, 0));
  view.up = SafeNormalize(plat::Vec3(v(0, 1), v(1, 1), v(2, 1)), plat::Vec3(0, 1, 0));
  view.front = SafeNormalize(plat::Vec3(-v(0, 2), -v(1, 2), -v(2, 2)), plat::Vec3(0, 0, -1));
  plat::Mat4 inverse;
  if (plat::Inverse(v, inverse)) view.eye = plat::Vec3(inverse(3, 0), inverse(3, 1), inverse(3, 2));
  view.viewProjection = view.view * view.projection;
}

float GetCameraFarMaxLength(float fovDegrees, float aspect, float farPlane) {
  const float h = farPlane * std::tan(fovDegrees * 0.5f * 3.1415927f / 180.0f);
  const float w = aspect * h;
  return std::sqrt(h * h + w * w + farPlane * farPlane);
}

}  // namespace gfx
}  // namespace vd
