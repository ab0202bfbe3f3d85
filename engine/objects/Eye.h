#pragma once
// The eye base shared by the camera component and the lights: projection data,
// view matrix and the six frustum planes, and the view the render thread takes of
// them.
#include "engine/objects/Component.h"
#include "engine/render/CameraView.h"
#include "platform/math/Math.h"

namespace vd {
namespace utl {

class IEye : public obj::IComponent {
public:
  enum EPlane { kNear = 0, kFar, kLeft, kRight, kTop, kBottom, kPlaneCount };

  IEye() = default;
  // Member-wise, the component fields included: checkpoint copies are taken this way.
  IEye& operator=(const IEye& other) = default;

  plat::Mat4 projection;
  float fov = 0.0f;  // degrees
  float fovRadians = 0.0f;
  float aspect = 1.0f;
  float nearPlane = 0.0f;
  float farPlane = 0.0f;
  // Written by the camera controller of the same object.
  plat::Mat4 view;
  plat::Plane frustum[kPlaneCount];

  // What the render thread draws a frame from.
  void GetCameraView(gfx::SCameraView& out) const {
    out.view = view;
    out.projection = projection;
    out.fov = fov;
    out.aspect = aspect;
    out.nearPlane = nearPlane;
    out.farPlane = farPlane;
    for (int i = 0; i < kPlaneCount; ++i) out.frustum[i] = frustum[i];
    gfx::FillCameraAxes(out);
  }
};

}  // namespace utl
}  // namespace vd
