#include "game/player/CameraController.h"

#include "engine/core/EngineNames.h"
#include "engine/core/Utils.h"
#include "engine/input/KeyboardInput.h"
#include "engine/objects/GameObject.h"
#include "game/player/FollowCamera.h"
#include "platform/input/KeyCodes.h"
#include "platform/math/Math.h"

namespace vd {

CStringHash SH_CCameraGOWController("CCameraGOWController");
CStringHash SH_CFirstPersonCameraController("CFirstPersonCameraController");

namespace cam {

void CCameraController::LookAt(const plat::Vec3& eye, const plat::Vec3& target) {
  if (camera) camera->view = plat::LookAtRH(eye, target, up);
  lookAtPoint = target;
}

void CCameraController::FindCameraAndTransform() {
  camera = m_owner ? m_owner->GetComponent<cam::CCamera>() : nullptr;
  transform = m_owner ? m_owner->GetComponent<gfx::CTransform>() : nullptr;
}

}  // namespace cam

namespace {
const CKeyboardInput* g_keyboard = nullptr;

bool KeyHeld(uint8_t code) { return g_keyboard && g_keyboard->IsKeyDown(code); }
}  // namespace

const CStringHash& CFirstPersonCameraController::GetClassName() {
  return SH_CFirstPersonCameraController;
}

void CFirstPersonCameraController::SetKeyboard(const CKeyboardInput* keyboard) {
  g_keyboard = keyboard;
}

const CStringHash& CFirstPersonCameraController::GetFamilyType() const {
  return SH_CCameraController;
}

bool CFirstPersonCameraController::Init() {
  FindCameraAndTransform();
  up = plat::Vec3(0.0f, 1.0f, 0.0f);
  speed = 0.25f;
  if (transform) {
    direction = utl::YawPitchToDirection(transform->yaw, transform->pitch);
    LookAt(transform->position, transform->position + direction);
  }
  active = 0;
  return true;
}

bool CFirstPersonCameraController::Update(float) {
  // The speed is a distance per frame, not per second: a debugging camera.
  if (!active || !transform) return true;
  direction = plat::Normalize(utl::YawPitchToDirection(transform->yaw, transform->pitch));
  const plat::Vec3 localX(transform->world.m[0][0], transform->world.m[0][1],
                          transform->world.m[0][2]);
  plat::Vec3 move;
  if (KeyHeld(plat::input::kKeyUp)) move += direction * speed;
  if (KeyHeld(plat::input::kKeyDown)) move -= direction * speed;
  if (KeyHeld(plat::input::kKeyLeft)) move += localX * speed;
  if (KeyHeld(plat::input::kKeyRight)) move -= localX * speed;
  if (move != plat::Vec3()) transform->SetPosition(transform->position + move);
  LookAt(transform->position, transform->position + direction);
  return true;
}

void CFirstPersonCameraController::SetPosition(const plat::Vec3& newPosition) {
  if (transform) transform->SetPosition(newPosition);
}

void CFirstPersonCameraController::SetYaw(float angle) {
  if (transform) transform->SetYaw(angle);
}

void CFirstPersonCameraController::SetPitch(float angle) {
  if (transform) transform->SetPitch(angle);
}

void RegisterCameraControllerFactories(utl::FactoryMap<obj::IComponent>& makers) {
  utl::RegisterFactoryMaker<CCameraGOWController, obj::IComponent>(makers);
  utl::RegisterFactoryMaker<CFirstPersonCameraController, obj::IComponent>(makers);
}

void UnregisterCameraControllerFactories(utl::FactoryMap<obj::IComponent>& makers) {
  utl::UnregisterFactoryMaker(SH_CFirstPersonCameraController, makers);
  utl::UnregisterFactoryMaker(SH_CCameraGOWController, makers);
}

}  // namespace vd
