// The real game, headless: the pre-load state loads the loading scene's camera and
// walkers disabled, a new game's loading screen enables them, their script walks
// them back and forth while every frame's pass updates them and the level loads
// beside them, and play switches them off again.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/Log.h"
#include "engine/objects/Camera.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Transform.h"
#include "game/flow/Vandrel.h"
#include "game/player/FollowCamera.h"
#include "platform/input/KeyCodes.h"
#include "platform/input/ScriptedInput.h"
#include "platform/window/MessageBox.h"
#include "tests/support/DrivenGame.h"
#include "tests/support/LogRecorder.h"

namespace vd {
namespace {

namespace pi = plat::input;

const char* const kWalkers[] = {"walker_1", "walker_2", "walker_3"};

using test::CDrivenGame;

class LoadingSceneTest : public test::DrivenGameTest {};

TEST_F(LoadingSceneTest, TheCameraAndWalkersLoadDisabledAndMoveEveryFrameInPlay) {
  CDrivenGame game(input.backend);
  std::string log;
  game.logSinks.AddSink(new test::CLogRecorder(&log));
  ASSERT_TRUE(game.Init(nullptr, 1));
  game.StartGame();

  // After the pre-load: the scene exists, switched off, in the groups the world
  // records; the files that are not there left their groups unset.
  EXPECT_GE(game.gameWorld.groups[kGroupLoadingCommon], 0);
  EXPECT_GE(game.gameWorld.groups[kGroupLoadingCamera], 0);
  EXPECT_NE(game.gameWorld.groups[kGroupLoadingCommon], game.gameWorld.groups[kGroupLoadingCamera]);
  EXPECT_GE(game.frontEndData.startUpGroup, 0);
  EXPECT_GE(game.frontEndData.menuGroup, 0);
  EXPECT_NE(game.frontEndData.startUpGroup, game.frontEndData.menuGroup);
  EXPECT_EQ(game.gameWorld.groups[kGroupLoadingScene], -1);
  for (const char* name : {"main_camera", "walker_1", "walker_2", "walker_3"}) {
    obj::CGameObject* object = game.Find(name);
    ASSERT_NE(object, nullptr) << name;
    EXPECT_FALSE(object->IsEnabled()) << name;
  }
  EXPECT_EQ(game.Find("main_camera")->GetGroup(), game.gameWorld.groups[kGroupLoadingCamera]);
  EXPECT_EQ(game.Find("walker_1")->GetGroup(), game.gameWorld.groups[kGroupLoadingCommon]);
  // Every shader, texture and material list that the pre-load reads is there.
  EXPECT_EQ(log.find("Render library"), std::string::npos) << log;

  int playFrames = 0;
  int levelFrames = 0;
  bool walkersOffInPlay = false;
  game.autoConfirm = false;
  bool enabledInMenu = false;
  bool allEnabled = true;
  int stillFrames[3] = {0, 0, 0};
  float last[3][3] = {};
  bool frustumRecomputed = true;
  bool turnedBack = false;
  int nudgedAt = -1;
  int utilsOk = -1;
  plat::Vec3 firstLook, lastLook;
  bool followsPlayer = false;
  game.script = [&](int frame, pi::ScriptedBackend& keys) {
    if (frame == 5) {
      for (const char* name : kWalkers) enabledInMenu |= game.Find(name)->IsEnabled();
      keys.SetKeys({pi::kKeyReturn});  // new game
    }
    if (frame == 6) keys.ReleaseAllKeys();
    if (game.currentState == game.states[kStateInGame] && ++levelFrames == 3) {
      walkersOffInPlay = true;
      for (const char* name : kWalkers) walkersOffInPlay &= !game.Find(name)->IsEnabled();
      game.quitRequested = 1;
    }
    if (!game.InLoading() || game.autoConfirm) return;

    // This frame's requests and pass have not run yet: what is seen here is what
    // the last frame left.
    ++playFrames;
    cam::CCamera* camera = game.Find("main_camera")->GetComponent<cam::CCamera>();
    if (playFrames > 1 && camera->frustum[utl::IEye::kNear].c == 0.0f) frustumRecomputed = false;
    camera->frustum[utl::IEye::kNear] = plat::Plane(0.0f, 0.0f, 0.0f, 0.0f);

    for (int i = 0; i < 3; ++i) {
      obj::CGameObject* walker = game.Find(kWalkers[i]);
      allEnabled &= walker->IsEnabled();
      gfx::CTransform* t = walker->GetComponent<gfx::CTransform>();
      const float now[3] = {t->position.x, t->position.y, t->position.z};
      if (playFrames > 1 && now[0] == last[i][0] && now[1] == last[i][1] && now[2] == last[i][2])
        ++stillFrames[i];
      for (int k = 0; k < 3; ++k) last[i][k] = now[k];
    }

    // The follow camera looks at the player, who is moved aside once.
    if (playFrames == 2)
      firstLook = game.gameWorld.camera ? game.gameWorld.camera->lookAtPoint : plat::Vec3();
    if (playFrames == 25 && game.gameWorld.camera) {
      lastLook = game.gameWorld.camera->lookAtPoint;
      followsPlayer = game.gameWorld.camera->targetTransform == game.TransformOf("player");
    }
    if (playFrames == 10) {
      gfx::CTransform* player = game.TransformOf("player");
      if (player)
        player->SetPositionXYZ(player->position.x + 2.0f, player->position.y, player->position.z);
    }

    // Bring walker_1 to the end of its first leg: its script must send it home.
    gfx::CTransform* first = game.TransformOf("walker_1");
    if (playFrames == 10) {
      first->SetPosition(plat::Vec3(3.999f, 0.0f, 0.0f));
      nudgedAt = playFrames;
      last[0][0] = 3.999f;
    }
    if (nudgedAt > 0 && first->IsMoving() && first->target.x == -4.0f) turnedBack = true;
    if (turnedBack && playFrames >= 30) game.autoConfirm = true;

    // The scripts' view of the same objects: names in any letter case, nil for an
    // object that is not there or lacks the component.
    if (playFrames == 5) {
      game.scriptManager.RunString(
          "local u = GetGameObjectUtils()\n"
          "utils_ok = (u:GetCompTransform('nobody') == nil and u:GetCompRenderer('walker_1') == nil"
          " and u:GetCompAnimator('walker_1') == nil and u:GetCompCharacterCollider('') == nil"
          " and u:GetCompTransform('WALKER_2'):GetZ() == u:GetCompTransform('walker_2'):GetZ()"
          " and u:GetCompTransform('main_camera') ~= nil) and 1 or 0",
          "utils");
      utilsOk = game.scriptManager.GetGlobalInt("utils_ok");
    }
  };
  game.MainLoop();
  game.EndGame();
  game.Shutdown();

  EXPECT_FALSE(enabledInMenu) << "the scene waits for the loading screen";
  EXPECT_GE(playFrames, 30);
  EXPECT_TRUE(walkersOffInPlay) << "the loading scene ends with the loading screen";
  EXPECT_LT(game.frames, 3000);
  EXPECT_TRUE(allEnabled);
  // The walkers were set going by their script and moved in every pass.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(stillFrames[i], 0) << kWalkers[i];
  EXPECT_TRUE(frustumRecomputed) << "the camera's planes come from each frame's pass";
  EXPECT_TRUE(turnedBack) << "the arrival's event reached the walker's script";
  EXPECT_EQ(utilsOk, 1);
  EXPECT_TRUE(followsPlayer) << "the loading screen binds main_camera's follow camera";
  EXPECT_NE(firstLook, lastLook) << "the view follows its target";
  EXPECT_EQ(log.find("error"), std::string::npos) << log;
  EXPECT_NE(log.find("Init game background loading\n"), std::string::npos) << "a line of its own";
  EXPECT_EQ(log.find("Data/meshes/"), std::string::npos) << "particle renderers read no mesh file";
  EXPECT_EQ(game.running, 0);
  EXPECT_FALSE(game.renderThread.Started());
  EXPECT_TRUE(messages.Requests().empty());
}

}  // namespace
}  // namespace vd
