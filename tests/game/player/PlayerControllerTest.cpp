// The player object and its controller: components and tuning from the shipped
// template, the restart pose, which action wins when several buttons go down
// together, the camera-relative direction latch, the dashes, cover timing,
// scripted paths, and a run through the test level with scripted keys.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/objects/ComponentKeys.h"
#include "game/player/ComboController.h"
#include "game/player/FightSlotMgr.h"
#include "game/player/PlayerEffects.h"
#include "tests/game/player/PlayerFixture.h"

namespace vd {
namespace {

namespace key = plat::input;
using P = CPlayerController;

constexpr float kPi = 3.14159265f;

class Player : public test::PlayerFixture {};

TEST_F(Player, TheShippedObjectHasItsElevenComponentsAndTuning) {
  ASSERT_TRUE(objects.LoadTemplates("Data/xml/loading_player_templates.xml"));
  objects.LoadInstances("Data/xml/loading_player_instances.xml", "", true);
  objects.ApplyQueuedRequests();
  obj::CGameObject* object = objects.GetGameObjectByName(CStringHash("player"));
  ASSERT_NE(object, nullptr) << Joined();
  const char* const expected[] = {"CTransform",        "CRenderer",        "CWeaponRenderer",
                                  "CWeaponRenderer",   "CAnimator",        "CCharacterCollider",
                                  "CPlayerController", "CComboController", "CWeaponController",
                                  "CPlayerEffects",    "CFightSlotMgr"};
  std::vector<std::string> types;
  for (int slot = 0; slot < object->GetComponentCount(); ++slot)
    types.push_back(object->GetComponentAt(slot)->GetType().c_str());
  EXPECT_EQ(types, std::vector<std::string>(std::begin(expected), std::end(expected)));
  EXPECT_FALSE(Logged("unknown component")) << Joined();

  auto* c = object->GetComponent<P>();
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->weaponRenderer1, object->GetComponentAt(2));
  EXPECT_EQ(c->weaponRenderer2, object->GetComponentAt(3));
  EXPECT_NE(c->combo, nullptr);
  EXPECT_NE(c->weapon, nullptr);
  EXPECT_NE(c->effects, nullptr);
  EXPECT_NE(c->fightSlots, nullptr);
  EXPECT_NE(c->collider, nullptr);
  EXPECT_EQ(c->startPosition, plat::Vec3(-75, 0, 0));
  EXPECT_FLOAT_EQ(c->runSpeed, 6.0f);
  EXPECT_FLOAT_EQ(c->currentSpeed, 6.0f);
  EXPECT_EQ(c->life, 100);
  EXPECT_EQ(c->grenades, 2);
  EXPECT_FLOAT_EQ(c->hitInterval, 1.5f) << "normal difficulty";
  EXPECT_FLOAT_EQ(c->gasConsumption, 35.0f);
  EXPECT_STREQ(c->fatalities[2].animation.Get().c_str(), "fatality_03");
  EXPECT_STREQ(c->fatalities[2].targetType.Get().c_str(), "zombie");
  EXPECT_TRUE(c->fatalities[2].targetType.Get().OwnsText()) << "the document is gone by now";
  EXPECT_FLOAT_EQ(c->fatalities[3].playerPosition.z, 1.8f);
  EXPECT_FLOAT_EQ(c->fatalities[3].killFrame, 0.7f);
  auto* w = object->GetComponent<CWeaponController>();
  EXPECT_STREQ(w->GetCollisionClass().c_str(), "weapon_player");
  for (int set = 0; set < 2; ++set)
    for (int part = 0; part < 3; ++part) EXPECT_NE(w->GetVolume(part, set), nullptr);
}

TEST_F(Player, CheckpointsKeepTheTuningTextsAndResetUnsubscribes) {
  Build(plat::Vec3(0, 0, 0), false);
  const char* const types[] = {"OnCollisionEnter", "OnCollisionStay", "OnCollisionExit",
                               "OnEnableUse",      "OnHUDChange",     "OnEnemyAttack",
                               "OnCinematic",      "OnShockWave",     "OnExplosion",
                               "OnTimer",          "OnReachPos"};
  std::vector<size_t> listening;
  for (const char* type : types) listening.push_back(events.ListenerCount(CStringHash(type)));
  for (int round = 0; round < 2; ++round) {
    controller->SaveCheckPoint();
    controller->life = 3;
    controller->LoadCheckPoint();
  }
  EXPECT_EQ(controller->life, 100);
  for (const SFatalityRecord& record : controller->fatalities) {
    EXPECT_TRUE(record.animation.Get().OwnsText());
    EXPECT_EQ(std::string(record.animation.Get().c_str()).rfind("fatality_0", 0), 0u);
  }
  auto* copy = static_cast<P*>(controller->GetCheckPointCopy());
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy->fatalities[0].targetType.Get().GetText(),
            controller->fatalities[0].targetType.Get().GetText())
      << "each component owns its own texts";
  controller->Reset();
  for (size_t i = 0; i < std::size(types); ++i)
    EXPECT_EQ(events.ListenerCount(CStringHash(types[i])) + 1, listening[i]) << types[i];
}

TEST_F(Player, HardDifficultyKeysOverrideTheOrdinaryOnes) {
  P::SetDifficulty(obj::kDifficultyHard);
  Build(plat::Vec3(0, 0, 0), false);
  P::SetDifficulty(obj::kDifficultyNormal);
  EXPECT_FLOAT_EQ(controller->hitInterval, 1.0f);
  EXPECT_FLOAT_EQ(controller->gasConsumption, 50.0f);
  EXPECT_FLOAT_EQ(controller->timeToIdle, 8.0f);
}

TEST_F(Player, RestartPutsThePlayerBackFacingYawPi) {
  Build(plat::Vec3(2, 0, 3));
  Keys({key::kKeyW});
  Frames(30);
  controller->life = 40;
  ASSERT_EQ(controller->state, P::kRun);
  ASSERT_GT(plat::Length(transform->position - plat::Vec3(2, 0, 3)), 1.0f);
  Keys({});
  player->Restart();
  EXPECT_EQ(controller->state, P::kIdleCombat);
  EXPECT_EQ(controller->previousState, P::kIdleCombat);
  EXPECT_EQ(transform->position, plat::Vec3(2, 0, 3));
  EXPECT_NEAR(transform->yaw, kPi, 1e-6f);
  EXPECT_NEAR(controller->moveDirection.x, 0.0f, 1e-6f);
  EXPECT_NEAR(controller->moveDirection.z, -1.0f, 1e-6f);
  EXPECT_EQ(controller->life, 40) << "only scripts and a new load change the life";
  EXPECT_EQ(controller->stateTimer, 0.0f);
}

// Which state the frame in which these keys go down leaves, from idle_combat and
// from run (the run is entered first with W held).
TEST_F(Player, TheLaterActionTestWinsWhenSeveralButtonsGoDown) {
  struct Case {
    std::vector<uint8_t> keys;
    int fromIdle;
    int fromRun;
  };
  const Case cases[] = {
      {{key::kKeyJ, key::kKeyLeftCtrl, key::kKeyD}, P::kEvade, P::kEvade},
      {{key::kKeySpace, key::kKeyJ}, P::kCombo, P::kCombo},
      {{key::kKeySpace}, P::kCover, P::kCover},
      {{key::kKeyJ, key::kKeyU}, P::kSpecialAttack1, P::kSpecialAttack1},
      {{key::kKeyLeftShift, key::kKeyJ}, P::kComboAuto1, P::kComboAuto1},
      {{key::kKeyL, key::kKeyO}, P::kSpecialAttack2, P::kFatality},
      {{key::kKeyK, key::kKeyO}, P::kUse, P::kUse},
      {{key::kKeyD}, P::kRun, P::kRun},
  };
  Build();
  for (const Case& c : cases) {
    for (bool running : {false, true}) {
      SCOPED_TRACE(std::to_string(c.fromIdle) + (running ? " from run" : " from idle"));
      controller->SetState(P::kIdleCombat);
      Keys({});
      Frames(2);
      ASSERT_EQ(controller->state, P::kIdleCombat);
      std::vector<uint8_t> keys = c.keys;
      if (running) {
        Keys({key::kKeyW});
        Frames(2);
        ASSERT_EQ(controller->state, P::kRun);
        keys.push_back(key::kKeyW);
      }
      scripted.backend.ReleaseAllKeys();
      for (uint8_t k : keys) scripted.backend.SetKey(k, true);
      Frame();
      EXPECT_EQ(controller->state, running ? c.fromRun : c.fromIdle);
    }
  }
}

TEST_F(Player, HoldingADirectionFromIdleRunsAtOnce) {
  Build();
  Keys({key::kKeyW});
  Frames(3);
  controller->SetState(P::kIdle);
  Frame();
  EXPECT_EQ(controller->state, P::kRun) << "a held value is enough, no fresh press";
}

TEST_F(Player, TheRunKeepsTheCameraYawOfTheLastInputChange) {
  Build();
  camera->SetYaw(0.0f);
  Keys({key::kKeyW});
  Frames(2);
  ASSERT_EQ(controller->state, P::kRun);
  EXPECT_NEAR(controller->moveDirection.z, 1.0f, 1e-5f);
  // Turning the camera does not bend the run.
  camera->SetYaw(kPi / 2);
  Frames(10);
  EXPECT_NEAR(controller->moveDirection.x, 0.0f, 1e-5f);
  EXPECT_NEAR(controller->moveDirection.z, 1.0f, 1e-5f);
  EXPECT_NEAR(controller->referenceYaw, 0.0f, 1e-6f);
  // A change of the input takes the camera's yaw of that moment.
  Keys({key::kKeyW, key::kKeyA});
  Frame();
  EXPECT_NEAR(controller->referenceYaw, kPi / 2, 1e-6f);
  const plat::Vec3 expected = input.GetMoveDirection(kPi / 2);
  EXPECT_NEAR(controller->moveDirection.x, expected.x, 1e-5f);
  EXPECT_NEAR(controller->moveDirection.z, expected.z, 1e-5f);
  // Letting go stops the run.
  Keys({});
  Frame();
  EXPECT_EQ(controller->state, P::kIdleCombat);
}

TEST_F(Player, DashesFollowTheAngleBetweenFacingAndWish) {
  struct Case {
    float a;
    const char* dash;
  };
  const Case cases[] = {
      {0.0f, "dash_front_01"}, {0.7853982f, "dash_front_01"}, {-0.7853982f, "dash_front_01"},
      {1.2f, "dash_right_01"}, {2.3561945f, "dash_right_01"}, {kPi, "dash_back_01"},
      {-kPi, "dash_back_01"},  {-2.3561945f, "dash_back_01"}, {-1.2f, "dash_left_01"},
  };
  for (const Case& c : cases) EXPECT_STREQ(P::DashForAngle(c.a), c.dash) << c.a;
}

// Each evade key sends the figure (facing +z, the camera looking the same way)
// the way the key points on the screen.
TEST_F(Player, EachEvadeCarriesTheFigureTheWayItWasSent) {
  struct Case {
    uint8_t key;
    const char* dash;
    float dx, dz;
  };
  const Case cases[] = {{key::kKeyW, "dash_front_01", 0, 3.0f},
                        {key::kKeyS, "dash_back_01", 0, -2.6f},
                        {key::kKeyA, "dash_left_01", 2.6f, 0},
                        {key::kKeyD, "dash_right_01", -2.6f, 0}};
  Build();
  camera->SetYaw(0.0f);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dash);
    Keys({});
    Frames(2);
    transform->SetPosition(plat::Vec3(0, 0, 0));
    transform->SetYaw(0.0f);
    controller->SetState(P::kIdleCombat);
    Frames(2);
    const plat::Vec3 start = transform->position;
    Keys({key::kKeyLeftCtrl, c.key});
    Frame();
    ASSERT_EQ(controller->state, P::kEvade);
    Frame();
    Keys({});
    EXPECT_TRUE(Plays(c.dash));
    const float duration = animator->GetAnimationDuration(CStringHash(c.dash));
    EXPECT_NEAR(controller->stateDuration, duration, 1e-6f);
    Frames(static_cast<int>(duration / kDt) + 4);
    EXPECT_EQ(controller->state, P::kIdleCombat);
    EXPECT_NEAR(transform->position.x - start.x, c.dx, 0.35f);
    EXPECT_NEAR(transform->position.z - start.z, c.dz, 0.35f);
  }
}

TEST_F(Player, CoverHoldsUntilItsAnimationHasPlayed) {
  Build();
  const float coverIn = animator->GetAnimationDuration(CStringHash("cover_in_01"));
  const float coverOut = animator->GetAnimationDuration(CStringHash("cover_out_01"));
  ASSERT_GT(coverIn, 0.2f);
  Keys({key::kKeySpace});
  Frame();
  ASSERT_EQ(controller->state, P::kCover);
  Frame();
  EXPECT_TRUE(Plays("cover_in_01"));
  // Released at once: the guard still comes up in full.
  Keys({});
  int frames = 1;
  while (controller->state == P::kCover && frames < 600) {
    Frame();
    ++frames;
  }
  EXPECT_EQ(controller->state, P::kCoverOut);
  EXPECT_NEAR(frames * kDt, coverIn, 2.5f * kDt);
  EXPECT_FALSE(Plays("cover_in_01"));
  EXPECT_TRUE(Plays("cover_out_01"));
  frames = 0;
  while (controller->state == P::kCoverOut && frames < 600) {
    Frame();
    ++frames;
  }
  EXPECT_EQ(controller->state, P::kIdleCombat);
  EXPECT_NEAR(frames * kDt, coverOut, 2.5f * kDt);

  // Held: the guard stays up; an evade key leaves it for the dash.
  Keys({key::kKeySpace});
  Frames(static_cast<int>(coverIn / kDt) + 30);
  EXPECT_EQ(controller->state, P::kCover);
  EXPECT_TRUE(Plays("cover_in_01"));
  Keys({key::kKeySpace, key::kKeyLeftCtrl, key::kKeyS});
  Frame();
  EXPECT_EQ(controller->state, P::kEvade);
  EXPECT_FALSE(Plays("cover_in_01"));
}

TEST_F(Player, SetStateStopsWhatPlaysAndSwitchesTheWeaponOff) {
  Build();
  weapon->SetWeaponActive(true, CWeaponController::kSetNormal);
  weapon->SetWeaponActive(true, CWeaponController::kSetBig);
  animator->ExecuteAction(CStringHash("X1"), 1.0f, 0.0f, 0.0f, true);
  controller->SetState(P::kIdle);
  EXPECT_EQ(controller->previousState, P::kIdleCombat);
  EXPECT_TRUE(animator->GetActions().empty());
  EXPECT_TRUE(animator->GetLockedActions().empty());
  EXPECT_FALSE(weapon->IsActive(0));
  EXPECT_FALSE(weapon->IsActive(1));
  // The same state again re-runs nothing: idle's entry resets its timer.
  Frames(3);
  const float timer = controller->stateTimer;
  controller->SetState(P::kIdle);
  Frame();
  EXPECT_GT(controller->stateTimer, timer);
}

TEST_F(Player, TheRunSpeedClimbsBackAndNeverPassesTheTop) {
  Build();
  controller->currentSpeed = 1.0f;
  Frames(6);
  EXPECT_NEAR(controller->currentSpeed, 1.0f + 6 * kDt * P::kSpeedGain, 1e-4f);
  Frames(60);
  EXPECT_EQ(controller->currentSpeed, controller->runSpeed);
}

TEST_F(Player, IdleCombatFallsBackToIdleAndPlaysRandomIdles) {
  Build();
  controller->timeToIdle = 0.5f;
  Frames(40);
  EXPECT_EQ(controller->state, P::kIdle);
  Frames(32);
  EXPECT_TRUE(Plays("random_01") || Plays("random_02") || Plays("random_03"));
}

TEST_F(Player, ScriptedPathsReportEachWaypoint) {
  extraInstances =
      "<GameObject name='path_one' GameObjectTemplate='test_path'><Component name='CTracker'>"
      "<key name='waypoints'><waypoint positionX='0' positionY='0' positionZ='4'/></key>"
      "</Component></GameObject>"
      "<GameObject name='path_empty' GameObjectTemplate='test_path'/>";
  Build();
  test::CEventLog seen;
  events.AddListener(&seen, evn::CEventReachPos::s_type);
  // A tracker without points is refused with a line naming it.
  controller->FollowTracker(objects.GetGameObjectByName(CStringHash("path_empty")));
  EXPECT_TRUE(Logged("path_empty")) << Joined();
  controller->FollowTracker(objects.GetGameObjectByName(CStringHash("path_one")));
  controller->SetState(P::kWalkCinematic);
  int frames = 0;
  while (controller->state == P::kWalkCinematic && frames < 600) {
    Frame();
    ++frames;
  }
  Frame();
  EXPECT_EQ(controller->state, P::kIdleCinematic);
  EXPECT_LT(plat::Length(transform->position - plat::Vec3(0, 0, 4)), 1.0f);
  EXPECT_NEAR(frames * kDt, 3.0f / controller->walkSpeed, 0.4f) << "walked at walk_speed";
  ASSERT_EQ(seen.reached.size(), 1u);
  EXPECT_EQ(seen.reached[0].posId, "path_one");
  EXPECT_EQ(seen.reached[0].waypoint, 0);
  // Standing in the scripted idle, the keys do nothing.
  Keys({key::kKeyW});
  Frames(5);
  EXPECT_EQ(controller->state, P::kIdleCinematic);
  events.RemoveListener(evn::CEventReachPos::s_type, &seen);
}

// W held for two seconds with the camera looking along +z: the player runs 12 m
// (6 m/s), up the step it meets and stops at the wall ahead.
TEST_F(Player, ScriptedKeysRunThePlayerThroughTheTestLevel) {
  Build(plat::Vec3(6, 0, -14));
  camera->SetYaw(0.0f);
  Keys({});
  Frames(5);
  const float startZ = transform->position.z;
  EXPECT_NEAR(transform->position.y, 0.0f, 0.05f);
  Keys({key::kKeyW});
  Frames(30);
  EXPECT_EQ(controller->state, P::kRun);
  EXPECT_TRUE(Plays("run_01") || animator->GetCurrentCycleName() == CStringHash("run_01"));
  Frames(90);
  // Two seconds at 6 m/s, less the frame the collider spreads each move over.
  EXPECT_NEAR(transform->position.z - startZ, 12.0f, 0.4f);
  EXPECT_NEAR(transform->position.x, 6.0f, 0.05f);
  EXPECT_NEAR(transform->position.y, 0.3f, 0.05f) << "the step carries the player";
  EXPECT_NEAR(transform->yaw, 0.0f, 0.01f) << "turned to run along +z";
  // On to the wall at z = 10.
  Frames(120);
  EXPECT_LT(transform->position.z, 10.0f);
  EXPECT_GT(transform->position.z, 8.5f);
  EXPECT_EQ(controller->wallContact, 1);
  EXPECT_EQ(controller->footstepsStopped, 1) << "running squarely into the wall";
  Keys({});
  Frames(3);
  EXPECT_EQ(controller->state, P::kIdleCombat);
}

TEST_F(Player, TheDeadStayDownUntilARestart) {
  Build();
  controller->SetState(P::kDying);
  controller->stateDuration = 0.1f;
  Frames(10);
  EXPECT_EQ(controller->state, P::kCorpse);
  Keys({key::kKeyW});
  Frames(5);
  EXPECT_EQ(controller->state, P::kCorpse);
}

}  // namespace
}  // namespace vd
