// The level's checkpoints, played through: a checkpoint is saved as play begins,
// the player dies to a mutant's grenade in the street, and a few seconds later he plays on
// from the checkpoint with what it saved, as do the fighters.
#include <gtest/gtest.h>

#include <string>

#include "engine/events/GameEvents.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/Transform.h"
#include "game/enemies/Berserker.h"
#include "game/flow/GameStates.h"
#include "game/flow/Vandrel.h"
#include "game/player/FollowCamera.h"
#include "game/player/PlayerController.h"
#include "platform/input/KeyCodes.h"
#include "platform/input/ScriptedInput.h"
#include "platform/math/Math.h"
#include "tests/support/DrivenGame.h"

namespace vd {
namespace {

namespace pi = plat::input;
using test::CDrivenGame;

class CheckPointTest : public test::DrivenGameTest {};

template <class T>
T* ComponentOf(CDrivenGame& game, const char* name) {
  obj::CGameObject* object = game.Find(name);
  return object ? object->GetComponent<T>() : nullptr;
}

TEST_F(CheckPointTest, ADeadPlayerPlaysOnFromTheCheckPointWithWhatItSaved) {
  CDrivenGame game(input.backend, 30000);
  game.loaderDelayMs = 0;
  enum EPhase { kWaitForSave, kDie, kDead, kBack, kRun, kDone } phase = kWaitForSave;
  struct SSnapshot {
    plat::Vec3 position;
    int life = 0, grenades = 0;
    float gas = 0.0f;
    int zombieLife = 0, zombieState = 0;
  } saved, restored;
  int playFrames = 0, phaseFrame = 0;
  double deadSeconds = 0.0;
  bool died = false, cameraFollowsAfter = false, ranAfter = false;
  plat::Vec3 cameraTargetBefore;
  game.script = [&](int frame, pi::ScriptedBackend& keys) {
    if (frame == 5) keys.SetKeys({pi::kKeyReturn});
    if (frame == 6) keys.ReleaseAllKeys();
    if (!game.reachedPlay) return;
    ++playFrames;
    CPlayerController* player = ComponentOf<CPlayerController>(game, "player");
    gfx::CTransform* transform = game.TransformOf("player");
    obj::CGameObject* zombie = game.Find("zombie_diagonal_02");
    CBerserker* fighter = ComponentOf<CBerserker>(game, "zombie_diagonal_02");
    CCameraGOWController* camera = game.gameWorld.camera;
    if (!player || !transform || !fighter || !camera) {
      game.quitRequested = 1;
      return;
    }
    switch (phase) {
      case kWaitForSave:
        // The save of the start of play has reached every object by now.
        if (playFrames < 30) return;
        saved = {transform->position, player->life, player->grenades, player->gas,
                 static_cast<int>(obj::GetScriptFloat(zombie, "life")), fighter->current.state};
        // Spend what a fight spends, hurt a fighter, and stand weak where a mutant's
        // grenade bursts.
        player->gas = 0.0f;
        player->grenades = 0;
        player->life = 1;
        obj::SetScriptInt(zombie, "life", saved.zombieLife - 10);
        evn::PostOrRelease(evn::CEventExplosion::New(CStringHash("grenade_mutant"),
                                                     transform->position, 3.0f));
        phase = kDie;
        return;
      case kDie:
        if (player->state == CPlayerController::kDying ||
            player->state == CPlayerController::kCorpse) {
          died = true;
          phase = kDead;
        }
        return;
      case kDead:
        deadSeconds += game.timer.GetGameTime(true);
        if (deadSeconds > 20.0) game.quitRequested = 1;  // never came back
        if (player->state == CPlayerController::kDying ||
            player->state == CPlayerController::kCorpse)
          return;
        restored = {transform->position, player->life, player->grenades, player->gas,
                    static_cast<int>(obj::GetScriptFloat(zombie, "life")),
                    fighter->current.state};
        phase = kBack;
        phaseFrame = playFrames;
        return;
      case kBack:
        // Settled after the load: the keys move him and the camera comes along.
        if (playFrames == phaseFrame + 10) {
          cameraTargetBefore = camera->targetPoint;
          keys.SetKeys({pi::kKeyW});
          phase = kRun;
          phaseFrame = playFrames;
        }
        return;
      case kRun:
        ranAfter |= player->state == CPlayerController::kRun;
        if (playFrames == phaseFrame + 60) {
          keys.ReleaseAllKeys();
          cameraFollowsAfter = camera->targetTransform == transform &&
                               plat::Length(camera->targetPoint - cameraTargetBefore) > 0.5f &&
                               plat::Length(transform->position - restored.position) > 0.5f;
          phase = kDone;
          game.quitRequested = 1;
        }
        return;
      case kDone:
        return;
    }
  };
  ASSERT_TRUE(game.Init(nullptr, 1));
  game.StartGame();
  game.MainLoop();
  game.EndGame();
  game.Shutdown();

  ASSERT_TRUE(died) << "the grenade killed the weakened player";
  ASSERT_GE(phase, kBack) << "the dead player never came back";
  EXPECT_GT(deadSeconds, 2.0) << "he lies dead a while first";
  EXPECT_LT(plat::Length(restored.position - saved.position), 0.3f)
      << "back where the checkpoint was saved";
  EXPECT_EQ(restored.life, saved.life);
  EXPECT_EQ(restored.grenades, saved.grenades);
  EXPECT_EQ(restored.gas, saved.gas);
  EXPECT_EQ(restored.zombieLife, saved.zombieLife) << "the fighters come back as saved";
  EXPECT_EQ(restored.zombieState, saved.zombieState);
  EXPECT_TRUE(ranAfter) << "the keys move him again";
  EXPECT_TRUE(cameraFollowsAfter) << "the camera follows him";
}

}  // namespace
}  // namespace vd
