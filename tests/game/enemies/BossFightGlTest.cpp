// The boss in the level, played through: the level's script brings the player to
// the casino, the boss comes on, runs at him and attacks; worn down to no life he
// falls, the player's finishing move ends him and the game goes to its credits.
#include <gtest/gtest.h>

#include "engine/objects/GameObject.h"
#include "engine/objects/Transform.h"
#include "game/enemies/Krauser.h"
#include "game/flow/GameState.h"
#include "game/flow/Vandrel.h"
#include "game/player/PlayerController.h"
#include "platform/input/KeyCodes.h"
#include "platform/input/ScriptedInput.h"
#include "tests/support/DrivenGame.h"

namespace vd {
namespace {

namespace pi = plat::input;
using test::CDrivenGame;

class BossFightTest : public test::DrivenGameTest {};

TEST_F(BossFightTest, TheBossFightsIsFinishedAndTheGameEnds) {
  CDrivenGame game(input.backend, 12000);
  game.loaderDelayMs = 0;
  enum EPhase { kStart, kFight, kWorn, kFinish, kCredits } phase = kStart;
  int playFrames = 0, phaseFrame = 0;
  bool offBefore = false, ran = false, attacked = false, offered = false, finished = false;
  game.script = [&](int frame, pi::ScriptedBackend& keys) {
    if (frame == 5) keys.SetKeys({pi::kKeyReturn});
    if (frame == 6) keys.ReleaseAllKeys();
    if (phase == kCredits || !game.reachedPlay) return;
    if (game.currentState == game.states[kStateFinalCredits]) {
      phase = kCredits;
      game.quitRequested = 1;
      return;
    }
    ++playFrames;
    obj::CGameObject* bossObject = game.Find("krauser");
    CKrauser* boss = bossObject ? bossObject->GetComponent<CKrauser>() : nullptr;
    CPlayerController* player =
        game.Find("player") ? game.Find("player")->GetComponent<CPlayerController>() : nullptr;
    gfx::CTransform* at = game.TransformOf("player");
    if (!boss || !player || !at) {
      game.quitRequested = 1;
      return;
    }
    // The player outlives the boss's blows.
    if (player->life < 50) player->life = 100;
    switch (phase) {
      case kStart:
        if (playFrames < 30) return;
        offBefore = !bossObject->IsEnabled();
        ASSERT_TRUE(game.scriptManager.RunString("BringPlayerToBoss()", "test"));
        phase = kFight;
        phaseFrame = playFrames;
        return;
      case kFight:
        ran |= bossObject->IsEnabled() && boss->GetState() == 12;
        attacked |= boss->GetState() == 17;
        if (attacked || playFrames > phaseFrame + 1500) {
          // Worn down: the next blow at no life fells him.
          obj::SetScriptInt(bossObject, "life", 0);
          boss->phase = 2;
          boss->locked = 0;
          boss->current = SAIState{16, 0};
          boss->TakeHit(game.Find("player"));
          phase = kWorn;
          phaseFrame = playFrames;
        }
        return;
      case kWorn:
        offered |= boss->IsReadyForFatality();
        if (boss->GetState() == 29) {
          // Before him, facing him, and the finishing move's key.
          gfx::CTransform* bossAt = bossObject->GetComponent<gfx::CTransform>();
          const plat::Vec3 ahead(std::sin(bossAt->yaw), 0.0f, std::cos(bossAt->yaw));
          const plat::Vec3 spot = bossAt->position + ahead * 1.6f;
          at->SetPositionXYZ(spot.x, bossAt->position.y, spot.z);
          at->SetYaw(bossAt->yaw + 3.1415927f);
          at->UpdateMatrix();
          keys.SetKeys({pi::kKeyL});
          phase = kFinish;
          phaseFrame = playFrames;
        } else if (playFrames > phaseFrame + 600) {
          game.quitRequested = 1;
        }
        return;
      case kFinish:
        if (playFrames == phaseFrame + 10) keys.ReleaseAllKeys();
        finished |= boss->GetState() == 34 || boss->GetState() == 36;
        if (playFrames > phaseFrame + 1500) game.quitRequested = 1;
        return;
      case kCredits:
        return;
    }
  };
  ASSERT_TRUE(game.Init(nullptr, 1));
  game.StartGame();
  game.MainLoop();
  game.EndGame();
  game.Shutdown();

  ASSERT_TRUE(game.reachedPlay);
  EXPECT_TRUE(offBefore) << "the boss waits switched off until the player comes";
  EXPECT_TRUE(ran) << "his group came on and he ran at the player";
  EXPECT_TRUE(attacked);
  EXPECT_TRUE(offered) << "fallen at no life he offers the finishing move";
  EXPECT_TRUE(finished) << "the finishing move took him";
  EXPECT_EQ(phase, kCredits) << "his death ends the game";
}

}  // namespace
}  // namespace vd
