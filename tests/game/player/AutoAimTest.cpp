// The player's aim: which enemy of the enemies' list it takes, in the list's
// order, when it lets an aimed enemy go, and the final scene's only target.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/core/Utils.h"
#include "game/player/EnemyList.h"
#include "platform/math/Math.h"
#include "tests/game/player/PlayerFixture.h"

namespace vd {
namespace {

using test::CTestFighter;

class CListedEnemies : public IEnemyList {
public:
  size_t GetEnemyCount() const override { return ids.size(); }
  uint32_t GetEnemyId(size_t index) const override { return ids[index]; }
  std::vector<uint32_t> ids;
};

constexpr float kDegree = 3.14159265f / 180.0f;

class AutoAim : public test::PlayerFixture {
protected:
  void SetUp() override {
    PlayerFixture::SetUp();
    utl::RegisterFactoryMaker<CTestFighter, obj::IComponent>(objects.componentFactories);
    SetEnemyList(&list);
  }
  void TearDown() override {
    SetEnemyList(nullptr);
    PlayerFixture::TearDown();
  }

  // The player at the origin and `count` fighters "enemy_0".. (plus "krauser"),
  // all listed in name order; the level's zones set apart from the final scene.
  void BuildWith(int count, bool boss = false) {
    const std::string templates =
        "<GameObjectTemplate name='test_fighter'><Component name='CTransform'/>"
        "<Component name='CBerserker'/></GameObjectTemplate>";
    test::CTempFile file(base + "_fighters.xml", templates);
    ASSERT_TRUE(objects.LoadTemplates(file.Path()));
    for (int i = 0; i < count; ++i)
      extraInstances +=
          "<GameObject name='enemy_" + std::to_string(i) + "' GameObjectTemplate='test_fighter'/>";
    if (boss) extraInstances += "<GameObject name='krauser' GameObjectTemplate='test_fighter'/>";
    Build(plat::Vec3(0, 0, 0), false);
    Run("main_zone = 0; FINALSCENE = 4");
    for (int i = 0; i < count; ++i) {
      obj::CGameObject* enemy = Enemy(i);
      ASSERT_NE(enemy, nullptr);
      list.ids.push_back(static_cast<uint32_t>(enemy->GetId()));
    }
    // The aim turns the player; these tests measure angles from a fixed facing.
    controller->fasterRotSpeed = controller->fastRotSpeed = controller->comboRotSpeed = 0.0f;
  }

  obj::CGameObject* Enemy(int i) {
    return objects.GetGameObjectByName(CStringHash(("enemy_" + std::to_string(i)).c_str()));
  }
  CTestFighter* Fighter(obj::CGameObject* object) {
    return object ? object->GetComponent<CTestFighter>() : nullptr;
  }

  // Places the object `distance` away at `degrees` from the player's facing.
  void Place(obj::CGameObject* object, float degrees, float distance) {
    const plat::Vec3 local(distance * std::sin(degrees * kDegree), 0.0f,
                           distance * std::cos(degrees * kDegree));
    gfx::CTransform* at = object->GetComponent<gfx::CTransform>();
    at->position = plat::TransformCoord(local, transform->world);
    at->UpdateMatrix();
  }

  CListedEnemies list;
};

TEST_F(AutoAim, TakesTheFirstQualifyingEnemyInListOrder) {
  BuildWith(2);
  ASSERT_GT(controller->autoAimYawAngle, 0.0f);
  const float cone = controller->autoAimYawAngle / kDegree;
  const float reach = controller->autoAimMaxDist;
  struct SEnemy {
    float degrees;
    float distance;
    bool active;
    bool locked;
    bool ready;
    int state;
  };
  struct SCase {
    const char* what;
    SEnemy first;
    SEnemy second;
    bool fatalityMode;
    int expected;  // index of the aimed enemy, -1: none
  };
  const SEnemy ahead{0.0f, 2.0f, true, false, false, 1};
  const SEnemy away{170.0f, 2.0f, true, false, false, 1};
  const SCase cases[] = {
      {"the first in the list wins over a nearer, more central one",
       {cone * 0.8f, reach * 0.9f, true, false, false, 1},
       {0.0f, 0.5f, true, false, false, 1},
       false,
       0},
      {"straight ahead", ahead, away, false, 0},
      {"outside the cone", {cone + 5.0f, 2.0f, true, false, false, 1}, away, false, -1},
      {"at the reach exactly", {0.0f, reach, true, false, false, 1}, away, false, -1},
      {"beyond the reach", {0.0f, reach + 0.5f, true, false, false, 1}, away, false, -1},
      {"an inactive one is passed by", {0.0f, 2.0f, false, false, false, 1}, ahead, false, 1},
      {"a locked one is passed by", {0.0f, 2.0f, true, true, false, 1}, ahead, false, 1},
      {"one ready for a finishing move is not fought",
       {0.0f, 2.0f, true, false, true, 1},
       ahead,
       false,
       1},
      {"a finishing move takes only one ready for it",
       ahead,
       {0.0f, 2.5f, true, false, true, 1},
       true,
       1},
      {"a dying one is let go",
       {0.0f, 2.0f, true, false, false, IEnemyFighter::kStateDying},
       away,
       false,
       -1},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.what);
    controller->target = nullptr;
    controller->targetLocked = 0;
    const SEnemy* setup[] = {&c.first, &c.second};
    for (int i = 0; i < 2; ++i) {
      Place(Enemy(i), setup[i]->degrees, setup[i]->distance);
      CTestFighter* fighter = Fighter(Enemy(i));
      fighter->active = setup[i]->active;
      fighter->locked = setup[i]->locked;
      fighter->ready = setup[i]->ready;
      fighter->state = setup[i]->state;
    }
    controller->AutoAim(reach, c.fatalityMode);
    EXPECT_EQ(controller->target, c.expected < 0 ? nullptr : Enemy(c.expected));
    EXPECT_EQ(controller->targetLocked, c.expected < 0 ? 0 : 1);
  }
}

TEST_F(AutoAim, AnAimedEnemyIsKeptUpToAHundredDegreesToTheSide) {
  BuildWith(2);
  const float reach = controller->autoAimMaxDist;
  struct SCase {
    float degrees;
    bool kept;
  };
  // Kept even outside the cone in which it was taken, until 100 degrees.
  const SCase cases[] = {{30.0f, true}, {99.0f, true}, {100.5f, false}, {-130.0f, false}};
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.degrees);
    controller->target = nullptr;
    Place(Enemy(0), 0.0f, 2.0f);
    Place(Enemy(1), 0.0f, reach + 1.0f);  // out of reach until the first is let go
    controller->AutoAim(reach, false);
    ASSERT_EQ(controller->target, Enemy(0));
    Place(Enemy(0), c.degrees, 2.0f);
    Place(Enemy(1), 0.0f, 2.5f);
    controller->AutoAim(reach, false);
    // A dropped aim is taken by the next qualifying enemy in the same call.
    EXPECT_EQ(controller->target, c.kept ? Enemy(0) : Enemy(1));
  }
}

TEST_F(AutoAim, AnEnemyThatLeftTheListIsLetGo) {
  BuildWith(1);
  Place(Enemy(0), 0.0f, 2.0f);
  controller->AutoAim(controller->autoAimMaxDist, false);
  ASSERT_EQ(controller->target, Enemy(0));
  list.ids.clear();
  controller->AutoAim(controller->autoAimMaxDist, false);
  EXPECT_EQ(controller->target, nullptr);
  EXPECT_EQ(controller->targetLocked, 0);
}

TEST_F(AutoAim, TurnsThePlayerTowardsItsTarget) {
  BuildWith(1);
  controller->fasterRotSpeed = 0.5f;
  Place(Enemy(0), 40.0f, 2.0f);
  const gfx::CTransform* enemy = Enemy(0)->GetComponent<gfx::CTransform>();
  auto off = [&] {
    const float wanted = std::atan2(enemy->position.x - transform->position.x,
                                    enemy->position.z - transform->position.z);
    return std::fabs(utl::AngleDifference(transform->yaw, wanted));
  };
  const float before = off();
  controller->AutoAim(controller->autoAimMaxDist, false);
  ASSERT_EQ(controller->target, Enemy(0));
  EXPECT_LT(off(), before * 0.75f);
}

TEST_F(AutoAim, TheFinalSceneAimsOnlyAtTheBoss) {
  BuildWith(1, true);
  obj::CGameObject* boss = objects.GetGameObjectByName(CStringHash("krauser"));
  ASSERT_NE(boss, nullptr);
  Place(Enemy(0), 0.0f, 1.0f);
  Place(boss, 20.0f, 3.0f);
  Run("FINALSCENE = main_zone");
  controller->AutoAim(controller->autoAimMaxDist, false);
  EXPECT_EQ(controller->target, boss);
  // No 100-degree release there; a locked boss is not taken.
  Place(boss, 150.0f, 3.0f);
  controller->AutoAim(controller->autoAimMaxDist, false);
  EXPECT_EQ(controller->target, boss);
  controller->target = nullptr;
  Place(boss, 0.0f, 3.0f);
  Fighter(boss)->locked = true;
  controller->AutoAim(controller->autoAimMaxDist, false);
  EXPECT_EQ(controller->target, nullptr);
}

TEST_F(AutoAim, UnsetZonesReadAsTheFinalSceneWithoutABossAndAreLogged) {
  BuildWith(1);
  Place(Enemy(0), 0.0f, 1.0f);
  Run("main_zone = nil; FINALSCENE = nil");
  log.clear();
  controller->AutoAim(controller->autoAimMaxDist, false);
  EXPECT_EQ(controller->target, nullptr);
  EXPECT_TRUE(Logged("main_zone")) << Joined();
  EXPECT_TRUE(Logged("FINALSCENE")) << Joined();
}

}  // namespace
}  // namespace vd
