#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "engine/objects/Camera.h"
#include "engine/objects/Tracker.h"
#include "engine/objects/Transform.h"
#include "game/flow/GameWorld.h"
#include "game/flow/script/LuaFunctions.h"
#include "game/player/FollowCamera.h"
#include "tests/game/player/CameraFixture.h"

namespace vd {
namespace {

using test::ExpectVec;

class LuaCamera : public test::CameraLevel {
protected:
  void SetUp() override {
    test::CameraLevel::SetUp();
    RegisterLuaFunctionsBindings(host.GetState());
    GetLuaFunctions().SetGameWorld(&world);
  }
  void TearDown() override {
    GetLuaFunctions().SetGameWorld(nullptr);
    test::CameraLevel::TearDown();
  }
  void LoadLevel(const std::string& instances) {
    Load(instances);
    world.camera = cam;
  }
  gfx::CTransform* Transform(const char* name) { return Part<gfx::CTransform>(name); }

  CGameWorld world;
};

TEST_F(LuaCamera, AScriptPutsTheCameraOnARailThatFollowsTheTargetAlongIt) {
  LoadLevel(Actor("player", 0, 0, 0) + Rail("line_street", {{-20, 4, 6}, {20, 4, 6}}) +
            Camera(0, 3, 12));
  Run("local f = GetLuaFunctions()\n"
      "f:CameraSetRailMaxDistance(2)\n"
      "f:CameraSetRailsMode('linear_rails', 'line_street', 'cut')\n");
  EXPECT_EQ(cam->cameraMode, CCameraGOWController::kModeLinearRails);
  EXPECT_EQ(cam->transitionMode, CCameraGOWController::kTransitionCut);
  EXPECT_EQ(cam->GetRailObjectName(), std::string("line_street"));
  // The target point (0, 1.5, 0) is 6.5 from the rail at (0, 4, 6): 4.5 beyond the
  // allowed 2, so the cut lands that far off the rail, away from the target.
  const float off = std::sqrt(6.0f * 6.0f + 2.5f * 2.5f) - 2.0f;
  ExpectVec(cam->destination, plat::Vec3(0, 4, 6 + off));
  cam->Update(0.1f);
  ExpectVec(Transform("main_camera")->position, plat::Vec3(0, 4, 6 + off));
  EXPECT_EQ(cam->transitionMode, 0);

  // The target walks along the street; the camera runs beside it on the rail.
  for (int frame = 0; frame < 300; ++frame) {
    Transform("player")->SetPosition(plat::Vec3(frame * 0.05f, 0, 0));
    cam->Update(1.0f / 30.0f);
  }
  const plat::Vec3 eye = Transform("main_camera")->position;
  EXPECT_NEAR(eye.x, cam->targetPoint.x, 1e-3f);
  EXPECT_GT(eye.x, 12.0f);  // the sprung point trails the target a little
  EXPECT_FLOAT_EQ(eye.y, 4.0f);
  ExpectVec(cam->lookAtPoint, cam->targetPoint);

  // At the rail's end the camera stops while the target walks on.
  Transform("player")->SetPosition(plat::Vec3(30, 0, 0));
  for (int frame = 0; frame < 120; ++frame) cam->Update(1.0f / 30.0f);
  EXPECT_NEAR(Transform("main_camera")->position.x, 20.0f, 1e-3f);
}

TEST_F(LuaCamera, TheLevelScriptPutsTheCameraOnTheStreetRailWhenPlayBegins) {
  // The level's own rail, as its line file writes it.
  std::stringstream lines;
  lines << std::ifstream("Data/xml/level1_line_instances.xml").rdbuf();
  std::string rail = lines.str();
  rail = rail.substr(rail.find("<GameObject "));
  const std::string kind = "GameObjectTemplate=\"city_tracker\"";
  ASSERT_NE(rail.find(kind), std::string::npos);
  rail.replace(rail.find(kind), kind.size(), "GameObjectTemplate='rail'");
  LoadLevel(Actor("player", -4, 0, 0) + rail + Camera(0, 3, 12));
  std::stringstream script;
  script << std::ifstream("Data/scripts/city_level.lua").rdbuf();
  Run(script.str().c_str());
  Run("PlaceCameraOnRail()");
  EXPECT_EQ(cam->GetRailObjectName(), std::string("line_main_street"));
  EXPECT_EQ(cam->cameraMode, CCameraGOWController::kModeLinearRails);
  cam->Update(0.1f);
  // Above the south row of houses beside the player, looking across the street.
  const plat::Vec3 eye = Transform("main_camera")->position;
  EXPECT_NEAR(eye.x, -4.0f, 1e-3f);
  EXPECT_LT(eye.z, -5.0f);
  ExpectVec(cam->lookAtPoint, cam->targetPoint);
  EXPECT_FALSE(Logged("tracker")) << Joined();
}

TEST_F(LuaCamera, NamesModesAnglesAndTheZoomFromScripts) {
  LoadLevel(Actor("player", 0, 0, 0) + Rail("path", {{4, 0, 0}, {4, 0, 4}}) + Camera(0, 1.5f, 10));
  CLuaFunctions& f = GetLuaFunctions();
  // A name the table lacks is mode 0 and stays in the table.
  f.CameraSetMode("pan");
  EXPECT_EQ(cam->cameraMode, CCameraGOWController::kModePan);
  f.CameraSetMode("no_such_mode");
  EXPECT_EQ(cam->cameraMode, 0);
  EXPECT_EQ(f.CameraValue("NO_SUCH_MODE"), 0);
  // "cinematic" starts the path's first segment; "dramatic_zoom" only stores 6.
  f.CameraSetTracker("path");
  f.CameraSetMode("cinematic");
  EXPECT_FLOAT_EQ(cam->segmentLength, std::sqrt(16.0f + 100.0f + 2.25f));
  f.CameraSetMode("dramatic_zoom");
  EXPECT_EQ(cam->cameraMode, CCameraGOWController::kModeDramaticZoom);

  // A rotation counts from where the camera looks, not from the last request.
  gfx::CTransform* eye = Transform("main_camera");
  f.CameraSetYaw(45.0f);
  f.CameraRotateYaw(90.0f);
  EXPECT_NEAR(cam->targetYaw, eye->yaw + 1.5707964f, 1e-5f);
  f.CameraSetInmediatePitch(-10.0f);
  EXPECT_FLOAT_EQ(cam->targetPitch, eye->pitch);
  EXPECT_NEAR(eye->pitch, -0.17453292f, 1e-6f);

  // The zoom keeps its own copy of the id that the script's text was.
  Run("local id = 'zoom_' .. 'door'\n"
      "GetLuaFunctions():CameraExecuteDramaticZoom(id, 1, 2, 3, 4, 5, 6)\n"
      "id = nil collectgarbage()\n");
  EXPECT_STREQ(cam->GetZoomId(), "zoom_door");
  ExpectVec(cam->zoomPosition, plat::Vec3(1, 2, 3));
  ExpectVec(cam->targetPoint, plat::Vec3(4, 5, 6));
  EXPECT_EQ(cam->cameraMode, CCameraGOWController::kModeDramaticZoom);

  f.CameraSetFarPlane(250.0f);
  cam::CCamera* lens = Part<cam::CCamera>("main_camera");
  EXPECT_EQ(lens->projection, plat::PerspectiveFovRH(lens->fovRadians, 1.0f, 1.0f, 250.0f));

  // Names of no object: logged, the camera keeps its rail and target.
  f.CameraSetField("path");
  ASSERT_EQ(cam->fieldTracker, Part<lgc::CTracker>("path"));
  log.clear();
  f.CameraSetTracker("nowhere");
  f.CameraSetTarget("nobody");
  f.CameraSetField("nothere");
  EXPECT_TRUE(Logged("no object nowhere"));
  EXPECT_TRUE(Logged("nobody"));
  EXPECT_TRUE(Logged("CameraSetField: no object nothere"));
  EXPECT_EQ(cam->GetRailObjectName(), std::string("path"));
  EXPECT_EQ(cam->targetTransform, Transform("player"));
  EXPECT_EQ(cam->fieldTracker, Part<lgc::CTracker>("path"));
  // An object without a tracker is no field.
  f.CameraSetField("player");
  EXPECT_EQ(cam->fieldTracker, nullptr);

  // Before a level binds its camera the calls are ignored, said once.
  world.camera = nullptr;
  log.clear();
  Run("GetLuaFunctions():CameraSetMode('pan') GetLuaFunctions():CameraSetRailMaxDistance(3)");
  int lines = 0;
  for (const std::string& line : log)
    lines += line.find("without a main camera") != std::string::npos;
  EXPECT_EQ(lines, 1);
}

}  // namespace
}  // namespace vd
