#pragma once
// The projection half of a view: field of view, aspect ratio and clip distances
// give the projection; each frame the view matrix that the object's camera
// controller writes gives the six normalised frustum planes.
#include "engine/core/StringHash.h"
#include "engine/objects/Eye.h"

namespace vd {
namespace cam {

// The screen size the aspect ratio falls back to; the application sets it from its
// configuration (1024 × 768 until then).
void SetScreenSize(int width, int height);
float GetScreenAspect();

// Keys: "fov" (degrees), "aspect_ratio_width", "aspect_ratio_height", "near", "far".
class CCamera : public obj::CComponent<CCamera, utl::IEye> {
public:
  static const CStringHash& GetClassName();

  CCamera() = default;
  ~CCamera() override = default;
  CCamera& operator=(const CCamera& other) = default;

  const CStringHash& GetFamilyType() const override { return GetClassName(); }
  // Without both aspect keys non-zero the aspect is the screen's.
  void Load(rapidxml::xml_node<>* element) override;
  bool HasContent() override { return true; }
  // The projection from the field of view, aspect and clip distances.
  bool Init() override;
  // The frustum planes of view × projection.
  bool Update(float dt) override;
  void Reset() override {}

  void ComputeFrustum();
  // Stores the angle in degrees and radians and rebuilds the projection with the
  // stored aspect ratio and clip distances.
  void SetFov(float degrees);
};

}  // namespace cam
}  // namespace vd
