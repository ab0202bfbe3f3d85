// The shipped zombie and mutant swing at the shipped player in a small collision
// world: every attack, started from close up and from the edge of its range,
// opens its figure's hit volumes only inside its window, and they reach the
// player's body, who loses the attack's damage.
#include <gtest/gtest.h>

#include <string>

#include "engine/objects/GameObject.h"
#include "game/enemies/AIManager.h"
#include "game/enemies/Berserker.h"
#include "game/enemies/EnemyNames.h"
#include "game/player/FightSlotMgr.h"
#include "platform/math/Math.h"
#include "tests/game/player/PlayerFixture.h"

namespace vd {
namespace {

class Blows : public test::PlayerFixture {
protected:
  void SetUp() override {
    PlayerFixture::SetUp();
    utl::RegisterFactoryMaker<CBerserker, obj::IComponent>(objects.componentFactories);
    ASSERT_TRUE(animations.LoadTemplates("Data/xml/level1_animation_templates.xml"));
    ASSERT_TRUE(ai.Init());
    ai.Activate();
  }
  void TearDown() override {
    ai.Clear();
    PlayerFixture::TearDown();
  }

  // The player at the origin on the test floor and one fighter of the template.
  void Build(const char* templateName) {
    ASSERT_TRUE(objects.LoadTemplates("Data/xml/level1_character_templates.xml"));
    extraInstances = std::string("<GameObject name='fighter' GameObjectTemplate='") +
                     templateName +
                     "'><Component name='CAnimator'><key name='animation_instance_name' "
                     "value='fighter'/></Component></GameObject>";
    PlayerFixture::Build(plat::Vec3(0, 0, 0), true);
    Run("main_zone = 0; FINALSCENE = 4");
    enemy = objects.GetGameObjectByName(CStringHash("fighter"));
    ASSERT_NE(enemy, nullptr) << Joined();
    fighter = enemy->GetComponent<CBerserker>();
    ASSERT_NE(fighter, nullptr);
    ASSERT_NE(fighter->weapon, nullptr);
    Frame();
    fighter->SetTargetObject(player);
    fighter->spotted = 1;
    ASSERT_NE(fighter->targetSlots, nullptr);
    hits.controller = controller;
    events.AddListener(&hits, evn::CEventHit::s_type);
  }

  // The fighter `distance` ahead of the player, facing it, in the state that does
  // nothing.
  void Face(float distance) {
    // The fighter stops whatever it plays (the last attack's step back carries it
    // away), the player gets back on guard from the last blow, far from dying of them.
    fighter->current = fighter->lastHandled = SAIState{11, 0};
    fighter->Animation().ClearActions();
    fighter->Animation().ClearLockedActions();
    controller->life = 1000;
    for (int i = 0; i < 300 && controller->state != CPlayerController::kIdleCombat; ++i) Frame();
    // Both where they started, away from the test level's walls.
    transform->position = plat::Vec3(0, 0, 0);
    transform->SetYaw(0.0f);
    transform->changed = 1;
    gfx::CTransform* at = enemy->GetComponent<gfx::CTransform>();
    at->position = plat::TransformCoord(plat::Vec3(0, 0, distance), transform->world);
    at->SetYaw(transform->yaw + 3.14159265f);
    at->UpdateMatrix();
    at->changed = 1;
    Frames(2);
  }

  struct SBlows {
    int hits = 0;
    int damage = 0;  // what the player loses to the first
  };
  // One attack from `distance`: the blows that reached the player; every frame's
  // volumes are checked against the window.
  SBlows Swing(const CStringHash& attack, float distance) {
    Face(distance);
    hits.blows = SBlows();
    fighter->attackNames = {&attack};
    fighter->current = SAIState{17, 0};
    for (int i = 0; i < 300 && fighter->current.state == 17; ++i) {
      Frame();
      if (fighter->current.state != 17) break;
      const float t = fighter->stateTime;
      const bool open = fighter->weaponOnTime < t && t < fighter->weaponOffTime;
      EXPECT_EQ(fighter->weapon->IsActive(CWeaponController::kSetNormal), open) << t;
    }
    EXPECT_EQ(fighter->current, (SAIState{18, 1})) << attack.c_str();
    EXPECT_FALSE(fighter->weapon->IsActive(CWeaponController::kSetNormal));
    // The last blow's report arrives, and the player gets up again.
    Frames(60);
    return hits.blows;
  }

  // The player's reports of the blows it took, with the damage it took for each.
  struct CHits : evn::IEventListener {
    void HandleEvent(evn::IEvent* event) override {
      if (std::string(static_cast<evn::CEventHit*>(event)->attacker.Get()) != "fighter") return;
      if (blows.hits++ == 0) blows.damage = controller->pendingDamage;
    }
    CPlayerController* controller = nullptr;
    SBlows blows;
  } hits;

  CAIManager ai;
  obj::CGameObject* enemy = nullptr;
  CBerserker* fighter = nullptr;
};

// Every attack with volumes, from close up and from just inside its range.
class BlowsOf : public Blows, public ::testing::WithParamInterface<const char*> {};

TEST_P(BlowsOf, EveryAttackReachesThePlayerInsideItsWindow) {
  Build(GetParam());
  const int kind = fighter->kind;
  const std::vector<const CStringHash*> attacks = fighter->attackNames;
  ASSERT_FALSE(attacks.empty());
  for (const CStringHash* attack : attacks) {
    if (*attack == SH_attack_vomit) continue;  // no volumes: the player judges its cone
    const SAttackRecord* record = ai.GetData().FindAttack(kind, attack->GetHash());
    ASSERT_NE(record, nullptr) << attack->c_str();
    for (float distance : {std::max(record->rangeMin + 0.05f, 1.0f), record->rangeMax - 0.05f}) {
      SCOPED_TRACE(std::string(attack->c_str()) + " from " + std::to_string(distance));
      const SBlows blows = Swing(*attack, distance);
      EXPECT_GE(blows.hits, 1);
      EXPECT_EQ(blows.damage, record->damage) << "the attack's own damage";
      fighter->attackNames = attacks;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(ZombieAndMutant, BlowsOf, ::testing::Values("zombie", "mutant"));

}  // namespace
}  // namespace vd
