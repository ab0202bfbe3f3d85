// The main camera during a game, headless, driven by scripted keys: the level puts it
// on the street's rail when play begins, it runs beside its target, and a shake that
// a script raises moves the view.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/objects/Camera.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Transform.h"
#include "game/flow/Vandrel.h"
#include "game/player/FollowCamera.h"
#include "platform/input/KeyCodes.h"
#include "platform/input/ScriptedInput.h"
#include "platform/math/Math.h"
#include "platform/window/MessageBox.h"
#include "tests/support/DrivenGame.h"

namespace vd {
namespace {

namespace pi = plat::input;

class CameraPlay : public test::DrivenGameTest {};

TEST_F(CameraPlay, TheCameraRunsOnTheStreetRailBesideItsTargetAndAScriptedShakeMovesTheView) {
  test::CDrivenGame game(input.backend);
  struct {
    int frames = 0;
    std::string rail;
    int mode = -1;
    bool hasTarget = false;
    float eyeX = 0.0f, targetX = 0.0f, eyeY = 0.0f;
    bool shakeOn = false;
    float stillOffset = 1.0f, shakenOffset = 0.0f;
    bool playerDrawn = false;
    // Degrees below the horizon at which the eye sees the target point, with the
    // target in the street's middle, on its near edge and on its far edge; and how
    // far the eye stands from the target across the ground.
    float middleDown = 0.0f, nearEdgeDown = 90.0f, farEdgeDown = 90.0f;
    float nearEdgeAcross = 0.0f, farEdgeAcross = 0.0f;
  } play;
  const auto downAngle = [](const CCameraGOWController& camera) {
    const plat::Vec3 eye = camera.transform->position;
    const plat::Vec3 look = camera.targetTransform->position;
    const float drop = eye.y - look.y - camera.targetHeight;
    return std::atan2(drop, std::hypot(eye.x - look.x, eye.z - look.z)) * 180.0f / 3.14159265f;
  };
  const auto across = [](const CCameraGOWController& camera) {
    const plat::Vec3 eye = camera.transform->position;
    const plat::Vec3 look = camera.targetTransform->position;
    return std::hypot(eye.x - look.x, eye.z - look.z);
  };
  game.script = [&](int frame, pi::ScriptedBackend& keys) {
    if (frame == 5) keys.SetKeys({pi::kKeyReturn});  // new game
    if (frame == 6) keys.ReleaseAllKeys();
    if (!game.reachedPlay) return;
    CCameraGOWController* camera = game.gameWorld.camera;
    ++play.frames;
    if (!camera) {
      game.quitRequested = 1;
      return;
    }
    if (play.frames == 3) {
      play.rail = camera->GetRailObjectName();
      play.mode = camera->cameraMode;
      play.hasTarget = camera->targetTransform != nullptr;
      // The target walks up the street (whatever the camera follows).
      if (camera->targetTransform) camera->targetTransform->SetPosition(plat::Vec3(-30, 0, 0));
    }
    if (play.frames == 60 && camera->targetTransform) {
      obj::CGameObject* player = game.Find("player");
      gfx::CRenderer* renderer = player ? player->GetComponent<gfx::CRenderer>() : nullptr;
      play.playerDrawn = renderer && renderer->IsRegistered() && renderer->IsInDrawnLists() &&
                         renderer->IsReadyToDraw();
      play.middleDown = downAngle(*camera);
      // The pavement on the camera's side, against the houses.
      camera->targetTransform->SetPosition(plat::Vec3(-30, 0, -8.6f));
    }
    if (play.frames == 110 && camera->targetTransform) {
      play.nearEdgeDown = downAngle(*camera);
      play.nearEdgeAcross = across(*camera);
      camera->targetTransform->SetPosition(plat::Vec3(-30, 0, 8.6f));
    }
    if (play.frames == 160 && camera->targetTransform) {
      play.farEdgeDown = downAngle(*camera);
      play.farEdgeAcross = across(*camera);
      camera->targetTransform->SetPosition(plat::Vec3(-30, 0, 0));
    }
    if (play.frames == 170) {
      play.eyeX = camera->transform->position.x;
      play.eyeY = camera->transform->position.y;
      play.targetX = camera->targetTransform ? camera->targetTransform->position.x : 0.0f;
      game.scriptManager.RunString(
          "GetEventManager():TriggerEvent('CEventShake', { power = 40, timer = 2 })", "test");
    }
    // The target stands on level ground: the look point's height is the target's
    // height above it, until the shake throws it up or down.
    const float offset = camera->targetTransform
                             ? std::fabs(camera->lookAtPoint.y - camera->targetHeight -
                                         camera->targetTransform->position.y)
                             : 0.0f;
    if (play.frames == 169) play.stillOffset = offset;
    if (play.frames > 172 && camera->targetShake) {
      play.shakeOn = true;
      play.shakenOffset = std::max(play.shakenOffset, offset);
    }
    if (play.frames == 180) game.quitRequested = 1;
  };
  ASSERT_TRUE(game.Init(nullptr, 1));
  game.StartGame();
  game.MainLoop();
  game.EndGame();
  game.Shutdown();

  ASSERT_TRUE(game.reachedPlay);
  EXPECT_EQ(play.rail, "line_main_street");
  EXPECT_EQ(play.mode, CCameraGOWController::kModeLinearRails);
  ASSERT_TRUE(play.hasTarget);
  EXPECT_NEAR(play.eyeX, play.targetX, 0.5f) << "beside the target on the rail";
  EXPECT_FLOAT_EQ(play.eyeY, 4.5f) << "at the rail's height";
  EXPECT_TRUE(play.playerDrawn)
      << "the player's skinned figure is in the drawn lists, its effect loaded";
  // From above, not from overhead: the figure stands in the view, not under it, and
  // the top of the frame (half of the 60 degrees' field of view above the aim) keeps
  // the horizon in it wherever the target stands across the street; the shot stays
  // a medium one from one pavement to the other.
  EXPECT_GT(play.middleDown, 10.0f);
  EXPECT_LT(play.middleDown, 30.0f);
  for (const float down : {play.nearEdgeDown, play.farEdgeDown}) {
    EXPECT_GT(down, 5.0f);
    EXPECT_LT(down, 30.0f);
  }
  for (const float distance : {play.nearEdgeAcross, play.farEdgeAcross}) {
    EXPECT_GT(distance, 4.0f);
    EXPECT_LT(distance, 14.0f);
  }
  EXPECT_TRUE(play.shakeOn);
  EXPECT_LT(play.stillOffset, 0.05f);
  EXPECT_GT(play.shakenOffset, 0.3f) << "40 / (25..74) up or down";
  EXPECT_TRUE(messages.Requests().empty());
}

}  // namespace
}  // namespace vd
