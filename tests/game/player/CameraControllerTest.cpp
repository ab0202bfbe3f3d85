#include <gtest/gtest.h>

#include <cmath>

#include "engine/core/EngineNames.h"
#include "engine/core/Utils.h"
#include "engine/input/KeyboardInput.h"
#include "engine/objects/Camera.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "game/player/CameraController.h"
#include "game/player/FollowCamera.h"
#include "platform/input/KeyCodes.h"
#include "tests/game/player/CameraFixture.h"

namespace vd {
namespace {

using test::ExpectMat;
using test::ExpectVec;

// A camera object built by hand: transform, camera and a first-person controller.
class FirstPerson : public ::testing::Test {
protected:
  void SetUp() override {
    transform = new gfx::CTransform();
    camera = new cam::CCamera();
    controller = new CFirstPersonCameraController();
    object.SetName("debug_camera");
    ASSERT_TRUE(object.AddComponent(transform));
    ASSERT_TRUE(object.AddComponent(camera));
    ASSERT_TRUE(object.AddComponent(controller));
    transform->position = plat::Vec3(1, 2, 3);
    transform->SetYaw(0.5f);
    transform->SetPitch(-0.25f);
    CFirstPersonCameraController::SetKeyboard(&keyboard);
  }
  void TearDown() override {
    CFirstPersonCameraController::SetKeyboard(nullptr);
    object.Release();
  }
  void Hold(uint8_t code) { keyboard.keyState[code] = plat::input::kKeyDownBit; }

  obj::CGameObject object;
  gfx::CTransform* transform = nullptr;
  cam::CCamera* camera = nullptr;
  CFirstPersonCameraController* controller = nullptr;
  CKeyboardInput keyboard;
};

TEST_F(FirstPerson, InitPlacesTheViewOnceAndAnInactiveCameraIgnoresTheKeys) {
  ASSERT_TRUE(controller->Init());
  const plat::Vec3 direction(std::sin(0.5f) * std::cos(-0.25f), std::sin(-0.25f),
                             std::cos(0.5f) * std::cos(-0.25f));
  ExpectVec(controller->direction, direction);
  EXPECT_EQ(controller->up, plat::Vec3(0, 1, 0));
  EXPECT_FLOAT_EQ(controller->speed, 0.25f);
  EXPECT_FALSE(controller->active);
  const plat::Mat4 view =
      plat::LookAtRH(plat::Vec3(1, 2, 3), plat::Vec3(1, 2, 3) + direction, plat::Vec3(0, 1, 0));
  ExpectMat(camera->view, view);
  ExpectVec(controller->lookAtPoint, plat::Vec3(1, 2, 3) + direction);

  for (uint8_t key :
       {plat::input::kKeyUp, plat::input::kKeyDown, plat::input::kKeyLeft, plat::input::kKeyRight})
    Hold(key);
  EXPECT_TRUE(controller->Update(0.1f));
  EXPECT_EQ(transform->position, plat::Vec3(1, 2, 3));
  ExpectMat(camera->view, view);
  EXPECT_EQ(controller->GetFamilyType().GetHash(), SH_CCameraController.GetHash());
}

TEST_F(FirstPerson, ArrowKeysMoveByTheSpeedPerFrameWhateverTheFrameTime) {
  controller->Init();
  controller->active = 1;
  const plat::Vec3 start = transform->position;
  const plat::Vec3 localX(transform->world.m[0][0], transform->world.m[0][1],
                          transform->world.m[0][2]);
  const plat::Vec3 direction = utl::YawPitchToDirection(0.5f, -0.25f);
  Hold(plat::input::kKeyUp);
  Hold(plat::input::kKeyLeft);
  controller->Update(5.0f);
  const plat::Vec3 moved = start + direction * 0.25f + localX * 0.25f;
  ExpectVec(transform->position, moved);
  EXPECT_FLOAT_EQ(transform->world.m[3][0], transform->position.x);  // the matrix follows
  ExpectMat(camera->view, plat::LookAtRH(moved, moved + direction, plat::Vec3(0, 1, 0)));

  // Down and Right take it back; a key whose bit 7 is clear is not held.
  keyboard.keyState[plat::input::kKeyUp] = 0x7F;
  keyboard.keyState[plat::input::kKeyLeft] = 0;
  Hold(plat::input::kKeyDown);
  Hold(plat::input::kKeyRight);
  controller->Update(0.001f);
  ExpectVec(transform->position, start);

  // The setters pass radians and positions straight to the transform.
  controller->SetYaw(1.0f);
  controller->SetPitch(0.2f);
  controller->SetPosition(plat::Vec3(7, 8, 9));
  EXPECT_FLOAT_EQ(transform->yaw, 1.0f);
  EXPECT_FLOAT_EQ(transform->pitch, 0.2f);
  EXPECT_EQ(transform->position, plat::Vec3(7, 8, 9));
  EXPECT_FLOAT_EQ(transform->world.m[3][2], 9.0f);
}

TEST(CameraProjection, SetFovAndLookAtGiveTheKnownMatrices) {
  cam::CCamera camera;
  camera.aspect = 1.0f;
  camera.nearPlane = 1.0f;
  camera.farPlane = 100.0f;
  camera.SetFov(90.0f);
  EXPECT_FLOAT_EQ(camera.fov, 90.0f);
  EXPECT_NEAR(camera.fovRadians, 1.5707964f, 1e-7f);
  // Right-handed, depth 0..1: x and y scale cot(45°) = 1; z row by near and far.
  const plat::Mat4 projection(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -100.0f / 99.0f, -1, 0, 0,
                              -100.0f / 99.0f, 0);
  ExpectMat(camera.projection, projection);

  camera.aspect = 16.0f / 9.0f;
  camera.nearPlane = 0.5f;
  camera.farPlane = 500.0f;
  camera.SetFov(40.0f);
  EXPECT_FLOAT_EQ(camera.fov, 40.0f);
  EXPECT_NEAR(camera.fovRadians, 0.6981317f, 1e-6f);
  EXPECT_EQ(camera.projection,
            plat::PerspectiveFovRH(camera.fovRadians, 16.0f / 9.0f, 0.5f, 500.0f));

  // From (0, 0, 10) towards the origin: no turn, the world moves 10 away.
  CFirstPersonCameraController controller;
  controller.camera = &camera;
  controller.up = plat::Vec3(0, 1, 0);
  controller.LookAt(plat::Vec3(0, 0, 10), plat::Vec3(0, 0, 0));
  ExpectMat(camera.view, plat::Mat4(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -10, 1));
  // From (10, 0, 0) looking at the origin: the view's x axis is the world's -z.
  controller.LookAt(plat::Vec3(10, 0, 0), plat::Vec3(0, 0, 0));
  ExpectMat(camera.view, plat::Mat4(0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, -10, 1));
  EXPECT_EQ(controller.lookAtPoint, plat::Vec3(0, 0, 0));
}

TEST(CameraMakers, BothControllersAreMadeByNameAndJoinTheCameraFamily) {
  utl::FactoryMap<obj::IComponent> makers;
  RegisterCameraControllerFactories(makers);
  for (const char* name : {"CCameraGOWController", "cfirstpersoncameracontroller"}) {
    obj::IComponent* component = obj::CreateComponent(makers, name);
    ASSERT_NE(component, nullptr) << name;
    EXPECT_EQ(component->GetType().GetHash(), ComputeHash(name));
    EXPECT_EQ(component->GetFamilyType().GetHash(), SH_CCameraController.GetHash());
    EXPECT_TRUE(component->HasContent());
    delete component;
  }
  UnregisterCameraControllerFactories(makers);
  EXPECT_TRUE(makers.empty());
}

}  // namespace
}  // namespace vd
