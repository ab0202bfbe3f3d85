// The main camera during a game, headless, driven by scripted keys: the level puts it
// on the street's rail when play begins, it runs beside its target, and a shake that
// a script raises moves the view.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/objects/Camera.h"
#include "engine/objects/Transform.h"
#include "game/flow/Vandrel.h"
#include "game/player/FollowCamera.h"
#include "platform/input/KeyCodes.h"
#include "platform/input/ScriptedInput.h"
#include "platform/math/Math.h"
#include "platform/window/MessageBox.h"
#include "tests/game/flow/DrivenGame.h"

namespace vd {
namespace {

namespace pi = plat::input;

class CameraPlay : public ::testing::Test {
protected:
  void SetUp() override { previousSink = plat::SetMessageSink(&messages); }
  void TearDown() override { plat::SetMessageSink(previousSink); }
  plat::RecordingMessageSink messages;
  plat::IMessageSink* previousSink = nullptr;
  pi::ScopedScriptedInput input;
};

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
  } play;
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
      // The target walks up the street (whatever the camera follows: the player or
      // the stand-in).
      if (camera->targetTransform) camera->targetTransform->SetPosition(plat::Vec3(-30, 0, 0));
    }
    if (play.frames == 120) {
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
    if (play.frames == 119) play.stillOffset = offset;
    if (play.frames > 122 && camera->targetShake) {
      play.shakeOn = true;
      play.shakenOffset = std::max(play.shakenOffset, offset);
    }
    if (play.frames == 130) game.quitRequested = 1;
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
  EXPECT_FLOAT_EQ(play.eyeY, 4.0f) << "at the rail's height";
  EXPECT_TRUE(play.shakeOn);
  EXPECT_LT(play.stillOffset, 0.05f);
  EXPECT_GT(play.shakenOffset, 0.3f) << "40 / (25..74) up or down";
  EXPECT_TRUE(messages.Requests().empty());
}

}  // namespace
}  // namespace vd
