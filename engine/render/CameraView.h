#pragma once
// What the render thread knows of a camera or a light's eye: taken from the eye at
// the start of each frame, so that the passes of one frame all see the same view.
#include "platform/math/Math.h"

namespace vd {
namespace gfx {

struct SCameraView {
  plat::Mat4 view;
  plat::Mat4 projection;
  plat::Mat4 viewProjection;
  plat::Vec3 eye{0.0f, 0.0f, 0.0f};
  plat::Vec3 front{0.0f, 0.0f, -1.0f};
  plat::Vec3 right{1.0f, 0.0f, 0.0f};
  plat::Vec3 up{0.0f, 1.0f, 0.0f};
  float fov = 0.0f;  // degrees
  float aspect = 1.0f;
  float nearPlane = 0.0f;
  float farPlane = 0.0f;
  // Normals pointing inwards: near, far, left, right, top, bottom.
  plat::Plane frustum[6];
};

}  // namespace gfx
namespace cam {
class CCamera;
}
namespace gfx {

// How the render thread reads a camera component. The render manager sits below
// the object model and holds cameras by pointer only; the camera's own module
// installs the reader.
using CameraViewReader = void (*)(const cam::CCamera* camera, SCameraView& out);
void SetCameraViewReader(CameraViewReader reader);
// False, and `out` untouched, for a null camera or while no reader is installed.
bool ReadCameraView(const cam::CCamera* camera, SCameraView& out);

// The eye, the axes and view × projection from a view and a projection matrix.
void FillCameraAxes(SCameraView& view);

// The distance from the eye to a corner of the far plane, in single precision:
// h = far × tan(fov / 2), w = aspect × h, sqrt(h² + w² + far²).
float GetCameraFarMaxLength(float fovDegrees, float aspect, float farPlane);
inline float GetCameraFarMaxLength(const SCameraView& view) {
  return GetCameraFarMaxLength(view.fov, view.aspect, view.farPlane);
}

// Normalises v; a vector too short to have a direction gives `fallback` (never NaN).
plat::Vec3 SafeNormalize(const plat::Vec3& v, const plat::Vec3& fallback);

}  // namespace gfx
}  // namespace vd
