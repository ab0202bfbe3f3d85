// The enemies' manager's list and the stand-in fighter, met by the shipped player
// in a small collision world: what reaches the fighter from the player, its blows
// on the player, its death and the finishing move on it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/objects/ComponentKeys.h"
#include "game/enemies/AIManager.h"
#include "game/enemies/StandInEnemy.h"
#include "game/player/EnemyList.h"
#include "platform/math/Math.h"
#include "tests/game/player/PlayerFixture.h"

namespace vd {
namespace {

TEST(AIManager, KeepsItsEnemiesInJoiningOrderAndOnlyWhileItRuns) {
  CAIManager manager;
  ASSERT_TRUE(manager.Init());
  EXPECT_EQ(GetEnemyList(), nullptr) << "published only by Activate";
  manager.Activate();
  EXPECT_EQ(GetEnemyList(), &manager);
  EXPECT_EQ(CAIManager::GetActive(), &manager);
  for (uint32_t id : {7u, 3u, 9u, 3u}) manager.AddEnemy(id);
  manager.RemoveEnemy(7);
  manager.RemoveEnemy(42);  // not there: nothing moves
  manager.AddEnemy(7);
  const std::vector<uint32_t> expected = {3, 9, 7};
  ASSERT_EQ(manager.GetEnemyCount(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(manager.GetEnemyId(i), expected[i]);
  EXPECT_EQ(manager.GetEnemyId(3), 0xFFFFFFFFu);

  manager.Clear();
  EXPECT_EQ(manager.GetEnemyCount(), 0u);
  EXPECT_EQ(GetEnemyList(), nullptr);
  EXPECT_EQ(CAIManager::GetActive(), nullptr);
}

class StandIn : public test::PlayerFixture {
protected:
  void SetUp() override {
    PlayerFixture::SetUp();
    RegisterEnemyComponentFactories(objects.componentFactories);
    ASSERT_TRUE(animations.LoadTemplates("Data/xml/level1_animation_templates.xml"));
    ASSERT_TRUE(ai.Init());
    ai.Activate();
    events.AddListener(&deaths, evn::CEventDeath::s_type);
  }
  void TearDown() override {
    ai.Clear();
    PlayerFixture::TearDown();
  }

  // The player at the origin on the test floor and the shipped stand-in
  // "standin" `distance` ahead of it, facing it.
  void BuildFacing(float distance) {
    ASSERT_TRUE(objects.LoadTemplates("Data/xml/level1_character_templates.xml"));
    extraInstances =
        "<GameObject name='standin' GameObjectTemplate='standin_zombie'>"
        "<Component name='CAnimator'><key name='animation_instance_name' value='standin'/>"
        "</Component></GameObject>";
    Build(plat::Vec3(0, 0, 0), true);
    Run("main_zone = 0; FINALSCENE = 4");
    enemy = objects.GetGameObjectByName(CStringHash("standin"));
    ASSERT_NE(enemy, nullptr) << Joined();
    fighter = enemy->GetComponent<CStandInEnemy>();
    ASSERT_NE(fighter, nullptr);
    MoveTo(distance);
  }

  // The stand-in `distance` ahead of the player, facing it, and at home there.
  void MoveTo(float distance) {
    gfx::CTransform* at = enemy->GetComponent<gfx::CTransform>();
    at->position = plat::TransformCoord(plat::Vec3(0, 0, distance), transform->world);
    at->SetYaw(transform->yaw + 3.14159265f);
    at->UpdateMatrix();
    at->changed = 1;
    fighter->Init();  // its place is where it stands now
    Frame();
  }

  // The player's weapon reaching the fighter's body.
  void WeaponContact() {
    auto* event = evn::CEventCollisionEnter::New(enemy, player, "enemy", "weapon_player", "body",
                                                 "blade", plat::Vec3(), plat::Vec3(), 0.0f);
    enemy->HandleEvent(event);
    event->Release();
  }
  void Attack(int damage) {
    auto* event = evn::CEventPlayerAttack::New(true, damage, CStringHash("X1"));
    enemy->HandleEvent(event);
    event->Release();
  }

  struct CDeaths : evn::IEventListener {
    void HandleEvent(evn::IEvent* event) override {
      names.push_back(static_cast<evn::CEventDeath*>(event)->name.Get());
    }
    std::vector<std::string> names;
  } deaths;

  CAIManager ai;
  obj::CGameObject* enemy = nullptr;
  CStandInEnemy* fighter = nullptr;
};

TEST_F(StandIn, JoinsTheListWhileEnabledAndIsTheAimsTarget) {
  BuildFacing(2.0f);
  ASSERT_EQ(ai.GetEnemyCount(), 1u);
  EXPECT_EQ(ai.GetEnemyId(0), static_cast<uint32_t>(enemy->GetId()));
  controller->AutoAim(controller->autoAimMaxDist, false);
  EXPECT_EQ(controller->target, enemy);
  enemy->SetEnabled(false);
  EXPECT_EQ(ai.GetEnemyCount(), 0u);
}

TEST_F(StandIn, CountsWhatReachesItTakesOneBlowASwingAndDiesOnce) {
  BuildFacing(2.5f);
  fighter->attackInterval = 1e9f;  // it does not fight back here
  const int life = fighter->life;
  ASSERT_GT(life, 0);
  WeaponContact();  // a blade that touches it outside an attack hurts nothing
  EXPECT_EQ(fighter->life, life);
  Attack(life / 2 + 1);
  WeaponContact();
  WeaponContact();  // the same swing again
  EXPECT_EQ(fighter->life, life - (life / 2 + 1));
  EXPECT_EQ(fighter->hitsTaken, 1);
  Attack(life);
  WeaponContact();
  EXPECT_EQ(fighter->life, 0);
  EXPECT_EQ(fighter->GetState(), IEnemyFighter::kStateDying);
  Attack(life);
  WeaponContact();
  EXPECT_EQ(fighter->playerAttacksSeen, 3);
  EXPECT_EQ(fighter->weaponContacts, 5);
  EXPECT_EQ(fighter->hitsTaken, 2);
  EXPECT_EQ(fighter->deaths, 1);
  EXPECT_FALSE(fighter->IsActive());
  Frames(3);
  EXPECT_EQ(deaths.names, std::vector<std::string>{"standin"});
}

// The bursts of a grenade reach it through the event queue: those whose range
// holds it hurt it, and all of one grenade together hurt it once.
TEST_F(StandIn, ExplosionsInRangeHurtItOnceABlow) {
  BuildFacing(3.0f);
  fighter->attackInterval = 1e9f;
  Frames(40);  // long enough since it last took a blow
  const plat::Vec3 at = enemy->GetComponent<gfx::CTransform>()->position;
  const int life = fighter->life;
  const int damage = evn::CEventExplosion::kDamage;
  auto burst = [&](const plat::Vec3& where, float range) {
    evn::PostOrRelease(evn::CEventExplosion::New(CStringHash("player"), where, range));
  };
  struct SCase {
    const char* what;
    plat::Vec3 where;
    float range;
    int bursts;
    float waitBefore;
    int lifeAfter;
  } cases[] = {
      {"out of range", at + plat::Vec3(2.0f, 0.0f, 0.0f), 2.0f, 1, 0.0f, life},
      {"eight bursts in range", at + plat::Vec3(1.0f, 0.0f, 1.0f), 7.5f, 8, 0.0f, life - damage},
      {"again at once", at, 7.5f, 1, 0.0f, life - damage},
      {"again later", at, 7.5f, 1, 0.6f, life - 2 * damage},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.what);
    Frames(static_cast<int>(c.waitBefore / kDt));
    for (int i = 0; i < c.bursts; ++i) burst(c.where, c.range);
    Frame();
    EXPECT_EQ(fighter->life, c.lifeAfter);
  }
  EXPECT_EQ(fighter->explosionsCaught, 10);
}

TEST_F(StandIn, ThePlayersComboReachesItThroughEventsAndTheWeaponVolumes) {
  BuildFacing(1.4f);
  fighter->attackInterval = 1e9f;
  const int life = fighter->life;
  Keys({plat::input::kKeyJ});
  Frame();
  Keys({});
  Frames(90);
  EXPECT_GE(fighter->playerAttacksSeen, 1);
  EXPECT_GE(fighter->weaponContacts, 1);
  EXPECT_LT(fighter->life, life);
}

// A swing starts once the player is within the fighter's attack range, so its
// sword must reach that far: from close up and from just inside the range.
class StandInSwing : public StandIn, public ::testing::WithParamInterface<bool> {};

TEST_P(StandInSwing, HurtsThePlayerByItsScriptDamage) {
  BuildFacing(0.9f);
  if (GetParam()) MoveTo(fighter->attackRange - 0.05f);
  fighter->attackInterval = 0.0f;
  const int damage = static_cast<int>(obj::GetScriptFloat(enemy, "damage"));
  ASSERT_GT(damage, 0);
  const int life = controller->life;
  for (int i = 0; i < 120 && controller->life == life; ++i) Frame();
  EXPECT_EQ(controller->life, life - damage);
  EXPECT_EQ(controller->lastEnemyAttack.Get(), CStringHash("standin_swing"));
}

INSTANTIATE_TEST_SUITE_P(CloseUpAndAtTheEdgeOfItsRange, StandInSwing, ::testing::Bool());

TEST_F(StandIn, DeathReachesTheLevelScript) {
  BuildFacing(2.5f);
  Run("dead = {} function OnDeath(event) dead[#dead + 1] = event.type .. ':' .. event.name end");
  fighter->attackInterval = 1e9f;
  Attack(fighter->life);
  WeaponContact();
  Frames(2);
  Run("assert(#dead == 1, #dead) assert(dead[1] == 'enemy:standin', dead[1])");
}

TEST_F(StandIn, AWeakStandInTakesTheFinishingMoveAndDiesAtItsKillFrame) {
  BuildFacing(2.0f);
  fighter->attackInterval = 1e9f;
  fighter->life = fighter->fatalityLife + 1;
  controller->SetState(CPlayerController::kFatality);
  Frame();
  EXPECT_EQ(controller->target, nullptr) << "not weak enough";
  fighter->life = fighter->fatalityLife;
  controller->SetState(CPlayerController::kFatality);
  Frames(30);
  ASSERT_EQ(controller->fatalityPlaced, 1);
  EXPECT_EQ(fighter->GetState(), CStandInEnemy::kFinished);
  EXPECT_TRUE(fighter->IsLocked());
  EXPECT_EQ(fighter->deaths, 0);
  const float duration = controller->stateDuration;
  ASSERT_GT(duration, 0.0f);
  Frames(static_cast<int>(duration / kDt) + 2);
  EXPECT_EQ(fighter->deaths, 1);
  EXPECT_EQ(controller->state, CPlayerController::kIdleCombat);
}

}  // namespace
}  // namespace vd
