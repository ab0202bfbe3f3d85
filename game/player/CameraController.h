#pragma once
// Camera controllers: components that move their object's transform and write the
// view matrix of its camera. The object manager updates the objects that carry one
// before the frame is drawn. The first-person camera here is a free debugging camera
// moved with the arrow keys.
#include <cstdint>

#include "engine/core/StringHash.h"
#include "engine/objects/Camera.h"
#include "engine/objects/Component.h"
#include "engine/objects/Transform.h"
#include "platform/math/Vector.h"

namespace vd {

class CKeyboardInput;

// The game's names of its camera controller classes (the makers' keys).
extern CStringHash SH_CCameraGOWController;
extern CStringHash SH_CFirstPersonCameraController;

namespace cam {

class CCameraController : public obj::IComponent {
public:
  CCameraController() = default;
  CCameraController& operator=(const CCameraController& other) = default;

  // Places the camera, or sets where it is to go (each class says which).
  virtual void SetPosition(const plat::Vec3& position) = 0;
  virtual void SetYaw(float angle) = 0;
  virtual void SetPitch(float angle) = 0;

  // The right-handed view from eye to target with the controller's up vector, into
  // the camera's view matrix (when the object has a camera); the target becomes the
  // look-at point.
  void LookAt(const plat::Vec3& eye, const plat::Vec3& target);

  cam::CCamera* camera = nullptr;
  gfx::CTransform* transform = nullptr;
  plat::Vec3 direction;
  plat::Vec3 lookAtPoint;
  plat::Vec3 up;

protected:
  // The owner's camera and transform; null where the owner has none.
  void FindCameraAndTransform();
};

}  // namespace cam

// A free camera looking along its transform's angles; the arrow keys move it by a
// fixed distance per frame while it is active. Nothing in the game activates it.
class CFirstPersonCameraController
    : public obj::CComponent<CFirstPersonCameraController, cam::CCameraController> {
public:
  static const CStringHash& GetClassName();

  CFirstPersonCameraController() = default;
  ~CFirstPersonCameraController() override = default;
  CFirstPersonCameraController& operator=(const CFirstPersonCameraController& other) = default;

  // The key state the camera reads (256 bytes by key code, bit 7 while down); the
  // application hands its keyboard record over at start-up. Null: no key is held.
  static void SetKeyboard(const CKeyboardInput* keyboard);

  const CStringHash& GetFamilyType() const override;
  void Load(rapidxml::xml_node<>*) override {}
  bool HasContent() override { return true; }
  void Restart() override {}
  // Up (0, 1, 0), speed 0.25, the view along the transform's angles; inactive.
  bool Init() override;
  // Only while active: the arrow keys move the transform, then the view follows.
  bool Update(float dt) override;
  void Reset() override {}

  void SetPosition(const plat::Vec3& position) override;
  // Radians, straight to the transform.
  void SetYaw(float angle) override;
  void SetPitch(float angle) override;

  uint8_t active = 0;
  float speed = 0.0f;
};

// The makers of both controllers, under their class names.
void RegisterCameraControllerFactories(utl::FactoryMap<obj::IComponent>& makers);
void UnregisterCameraControllerFactories(utl::FactoryMap<obj::IComponent>& makers);

}  // namespace vd
