// The boss among the player's objects, with the attack records of a small AI file
// and a figure whose animations only record what is asked of them: his decisions,
// attack choice and life thresholds, how blows land standing, covering and lying,
// the fatality that ends him, and the shipped boss as the level loads him.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "engine/events/EngineEvents.h"
#include "engine/events/GameEvents.h"
#include "game/enemies/AIManager.h"
#include "game/enemies/EnemyNames.h"
#include "game/enemies/Krauser.h"
#include "game/enemies/KrauserEffects.h"
#include "game/player/FightSlotMgr.h"
#include "tests/game/player/PlayerFixture.h"

namespace vd {
namespace {

constexpr float kPi = 3.14159265f;

class CBossFigure : public IActorAnimation {
public:
  void BlendCycle(const CStringHash& name, float, float, float) override { cycle = name.c_str(); }
  void ExecuteAction(const CStringHash& name, float, float, float, bool) override {
    actions.push_back(name.c_str());
  }
  void ClearActions() override {}
  void ClearLockedActions() override {}
  void StopCycle() override {}
  float GetDuration(const CStringHash& name) const override {
    const auto found = durations.find(name.c_str());
    return found == durations.end() ? 1.0f : found->second;
  }
  void SetStatic(bool) override {}
  void SetPaused(bool) override {}
  void Settle() override {}

  std::string Last() const { return actions.empty() ? "" : actions.back(); }
  std::string cycle;
  std::vector<std::string> actions;
  std::map<std::string, float> durations{{"fall", 1.0f}, {"cover_in_01", 2.0f}};
};

// Reaches: punch and hand up to 1.8 / 1.6, kick 0.5 to 2.2, the ground kick (big,
// special) to 4, the ground beam 3 to 12 at speed 0.
constexpr char kAI[] = R"(<attacks><attacklist type="krauser">
  <attack id="krauser_attack_combo_01" weaponIn="0.2" weaponOut="0.6" damage="20" range_min="0" range_max="1.0"/>
  <attack id="krauser_attack_kick" damage="15" range_min="0.5" range_max="2.2" weapon_size="big"
          weaponIn="0.2" weaponOut="0.6" hit_time="0.5" shake_power="0.3" shake_time="0.2"/>
  <attack id="krauser_attack_punch" weaponIn="0.2" weaponOut="0.6" damage="12" range_min="0" range_max="1.8"/>
  <attack id="krauser_attack_hand" weaponIn="0.2" weaponOut="0.6" damage="10" range_min="0" range_max="1.6"/>
  <attack id="krauser_attack_up_01" weaponIn="0.2" weaponOut="0.6" damage="22" range_min="0" range_max="0.2"/>
  <attack id="krauser_attack_up_down" weaponIn="0.2" weaponOut="0.6" damage="28" range_min="0" range_max="0.2"/>
  <attack id="krauser_attack_ground_kick" weaponIn="0.2" weaponOut="0.6" damage="25" range_min="0" range_max="4.0" special="1"
          weapon_size="big" speed="0"/>
  <attack id="krauser_attack_ground_beam" weaponIn="0.2" weaponOut="0.6" damage="30" range_min="3" range_max="12" special="1"/>
</attacklist></attacks>)";

class CCounter : public evn::IEventListener {
public:
  void HandleEvent(evn::IEvent* event) override {
    const std::string name = event->GetName() ? event->GetName() : "";
    ++counts[name];
    if (event->GetType() == evn::CEventDeath::s_type) {
      auto* death = static_cast<evn::CEventDeath*>(event);
      deaths.push_back(std::string(death->type.Get()) + " " + death->name.Get());
    } else if (event->GetType() == evn::CEventHUDChange::s_type) {
      hudLife = static_cast<evn::CEventHUDChange*>(event)->bossLife;
    }
  }
  std::map<std::string, int> counts;
  std::vector<std::string> deaths;
  int hudLife = -1;
};

class Boss : public test::PlayerFixture {
protected:
  void SetUp() override {
    PlayerFixture::SetUp();
    CPatrol::SetDifficulty(1);
    utl::RegisterFactoryMaker<CKrauser, obj::IComponent>(objects.componentFactories);
    utl::RegisterFactoryMaker<CKrauserEffects, obj::IComponent>(objects.componentFactories);
    aiFile = base + "_boss_ai.xml";
    std::ofstream(aiFile, std::ios::binary) << kAI;
    ASSERT_TRUE(manager.Init(aiFile.c_str()));
    test::CTempFile templates(
        base + "_boss_templates.xml",
        "<GameObjectTemplate name='test_krauser'><Component name='CTransform'/>"
        "<Component name='CWeaponController'><key name='collider_class' value='weapon_krauser'/>"
        "</Component><Component name='CKrauserEffects'/><Component name='CKrauser'>"
        "<key name='turn_speed_fight' value='5'/><key name='special_attack_period' value='10'/>"
        "<difficulty><normal><key name='fight_decision_period_min' value='0.5'/>"
        "<key name='fight_decision_period_max' value='0.5'/>"
        "<key name='cover_prob' value='1'/></normal></difficulty></Component>"
        "<Script file='Data/scripts/boss_enemy.lua'><key name='life' value='1000'/>"
        "<key name='score' value='2'/></Script></GameObjectTemplate>");
    ASSERT_TRUE(objects.LoadTemplates(templates.Path()));
    extraInstances = "<GameObject name='krauser' GameObjectTemplate='test_krauser'><Component "
                     "name='CTransform'><key name='position' X='0' Y='0' Z='1'/></Component>"
                     "</GameObject>";
    Build(plat::Vec3(0, 0, 0), true);
    bossObject = objects.GetGameObjectByName(CStringHash("krauser"));
    ASSERT_NE(bossObject, nullptr) << Joined();
    boss = bossObject->GetComponent<CKrauser>();
    ASSERT_NE(boss, nullptr);
    boss->SetAnimation(&figure);
    bossTransform = bossObject->GetComponent<gfx::CTransform>();
    for (const CStringHash* type :
         {&evn::CEventDeath::s_type, &evn::CEventShockWave::s_type, &evn::CEventShake::s_type,
          &evn::CEventHUDChange::s_type, &evn::CEventEnemyAttack::s_type})
      events.AddListener(&counter, *type);
    ASSERT_NE(player->GetComponent<CFightSlotMgr>(), nullptr);
    player->GetComponent<CFightSlotMgr>()->distMin = 1.0f;
  }
  void TearDown() override {
    events.Clear();
    manager.Clear();
    std::remove(aiFile.c_str());
    CPatrol::SetDifficulty(1);
    PlayerFixture::TearDown();
  }

  int Life() const { return static_cast<int>(obj::GetScriptFloat(bossObject, "life")); }
  void SetLife(int value) { obj::SetScriptInt(bossObject, "life", value); }
  // The boss `distance` ahead of the player (along +z), facing him.
  void PlaceBoss(float distance) {
    bossTransform->position = plat::Vec3(0, 0, distance);
    bossTransform->SetYaw(kPi);
    bossTransform->UpdateMatrix();
  }
  // The pair, entered: the next update runs its entry.
  void Enter(int state, int subState = 0) {
    boss->current = SAIState{state, subState};
    boss->lastHandled = SAIState{-1, -1};
  }
  void Tick(int count = 1) {
    for (int i = 0; i < count; ++i) boss->Update(kDt);
  }
  void Attack(const char* type, int damage) {
    evn::CEventPlayerAttack attack(true, damage, CStringHash(type));
    boss->HandleEvent(&attack);
  }
  void Dispatch() { events.Update(kDt); }

  std::string aiFile;
  CAIManager manager;
  CBossFigure figure;
  CCounter counter;
  obj::CGameObject* bossObject = nullptr;
  CKrauser* boss = nullptr;
  gfx::CTransform* bossTransform = nullptr;
};

TEST_F(Boss, TuningAndThresholdsComeFromTheTemplateAndTheAIFile) {
  EXPECT_FLOAT_EQ(boss->decisionPeriodMin, 0.5f);
  EXPECT_FLOAT_EQ(boss->coverProb, 1.0f);
  EXPECT_EQ(boss->life, 1000);
  // The widest reach among the ordinary attacks; the specials' are not counted.
  EXPECT_FLOAT_EQ(boss->attackRangeMax, 2.2f);
  EXPECT_FALSE(Logged("lacks fight_decision_period")) << Joined();
  // 75 %, 37.5 %, then 0 of the full life.
  const int expected[] = {750, 375, 0, 0};
  for (int phase = 0; phase < 4; ++phase) {
    boss->phase = phase;
    EXPECT_EQ(boss->TiredThreshold(), expected[phase]) << phase;
  }
}

TEST_F(Boss, ATemplateWithoutTheDecisionTuningFightsOnDefaultsAndSaysSo) {
  test::CTempFile templates(base + "_bare.xml",
                            "<GameObjectTemplate name='bare_boss'><Component name='CTransform'/>"
                            "<Component name='CKrauser'/></GameObjectTemplate>");
  ASSERT_TRUE(objects.LoadTemplates(templates.Path()));
  test::CTempFile instances(base + "_bare_i.xml",
                            "<GameObject name='bare' GameObjectTemplate='bare_boss'/>");
  objects.LoadInstances(instances.Path(), "", true);
  const CKrauser* bare = objects.GetGameObjectByName(CStringHash("bare"))->GetComponent<CKrauser>();
  ASSERT_NE(bare, nullptr);
  EXPECT_FLOAT_EQ(bare->decisionPeriodMin, 0.5f);
  EXPECT_FLOAT_EQ(bare->decisionPeriodMax, 1.5f);
  EXPECT_FLOAT_EQ(bare->coverProb, 0.0f);
  EXPECT_TRUE(Logged("Boss bare: the tuning lacks")) << Joined();
}

TEST_F(Boss, TheStanceDecidesByItsThresholdsAndTheDistance) {
  struct Case {
    float attack, approach, taunt, distance;
    SAIState expected;
  } cases[] = {
      {1, 0, 0, 1.5f, {17, 0}},  // attack
      {0, 1, 0, 1.5f, {23, 0}},  // approach
      {0, 1, 0, 0.8f, {21, 1}},  // closer than dist_min the approach drawn is a taunt
      {0, 0, 0, 0.8f, {16, 0}},
      {0, 0, 1, 1.5f, {21, 1}},  // taunt
      {0, 0, 0, 1.5f, {16, 0}},  // stay
      {1, 1, 1, 3.0f, {12, 0}},  // out of reach: run
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.attack << c.approach << c.taunt << " at " << c.distance);
    boss->attackThreshold = c.attack;
    boss->approachThreshold = c.attack + c.approach;
    boss->tauntThreshold = c.attack + c.approach + c.taunt;
    boss->target = player;
    boss->targetTransform = transform;
    boss->targetSlots = player->GetComponent<CFightSlotMgr>();
    PlaceBoss(c.distance);
    Enter(16);
    Tick(static_cast<int>(0.5f / kDt) + 2);
    EXPECT_EQ(boss->current, c.expected);
  }
}

TEST_F(Boss, AnAttackIsChosenByReachAndTheSpecialWaitsForItsOwn) {
  boss->SetTarget("player");
  struct Case {
    float distance;
    bool specialDue;
    const char* special;
    std::vector<std::string> allowed;  // empty: no attack, he approaches
  } cases[] = {
      {1.9f, false, "krauser_attack_ground_kick", {"krauser_attack_kick"}},
      {1.2f, false, "krauser_attack_ground_kick",
       {"krauser_attack_kick", "krauser_attack_punch", "krauser_attack_hand"}},
      {1.2f, true, "krauser_attack_ground_kick", {"krauser_attack_ground_kick"}},
      // Due but out of reach: the ordinary attack in reach goes first...
      {2.0f, true, "krauser_attack_ground_beam", {"krauser_attack_kick"}},
      // ... and with none in reach the special is thrown anyway.
      {6.0f, true, "krauser_attack_ground_beam", {"krauser_attack_ground_beam"}},
      {6.0f, false, "krauser_attack_ground_beam", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.distance << (c.specialDue ? " due " : " ") << c.special);
    boss->specialAttack = c.special == std::string("krauser_attack_ground_beam")
                              ? &SH_krauser_attack_ground_beam
                              : &SH_krauser_attack_ground_kick;
    for (int round = 0; round < 12; ++round) {
      boss->specialTimer = c.specialDue ? 10.0f : 0.0f;
      PlaceBoss(c.distance);
      figure.actions.clear();
      Enter(17);
      Tick();
      if (c.allowed.empty()) {
        EXPECT_EQ(boss->current, (SAIState{23, 0}));
        EXPECT_TRUE(figure.actions.empty());
        break;
      }
      ASSERT_EQ(figure.actions.size(), 1u);
      EXPECT_TRUE(std::find(c.allowed.begin(), c.allowed.end(), figure.Last()) != c.allowed.end())
          << figure.Last();
      EXPECT_EQ(boss->specialTimer == 0.0f, c.specialDue && figure.Last() == c.special);
    }
  }
}

TEST_F(Boss, AnAttackSwitchesItsVolumesStrikesOnceAndShakes) {
  boss->SetTarget("player");
  PlaceBoss(2.0f);  // only the kick reaches: big, in at 0.2, out at 0.6, strike at 0.5
  figure.durations["krauser_attack_kick"] = 1.0f;
  Enter(17);
  Tick();
  ASSERT_EQ(figure.Last(), "krauser_attack_kick");
  EXPECT_EQ(static_cast<int>(obj::GetScriptFloat(bossObject, "damage")), 15);
  CWeaponController* bossWeapon = boss->weapon;
  std::vector<int> bigOn;
  int shakes = 0;
  for (int frame = 1; frame < 66 && boss->current == SAIState{17, 0}; ++frame) {
    Tick();
    if (bossWeapon && bossWeapon->IsActive(CWeaponController::kSetBig)) bigOn.push_back(frame);
    Dispatch();
    shakes = counter.counts["OnShake"];
  }
  EXPECT_EQ(shakes, 1) << "one strike per blow";
  EXPECT_EQ(counter.counts["OnEnemyAttack"], 1);
  EXPECT_EQ(boss->current, (SAIState{16, 0}));
  if (bossWeapon) {
    ASSERT_FALSE(bigOn.empty());
    EXPECT_NEAR(bigOn.front() * kDt, 0.2f, 2 * kDt);
    EXPECT_NEAR(bigOn.back() * kDt, 0.6f, 2 * kDt);
  }
}

TEST_F(Boss, LifeFallsByPhasesAndLyingHeTakesTwiceTheDamage) {
  boss->SetTarget("player");
  PlaceBoss(1.5f);
  struct Step {
    const char* type;
    int damage;
    SAIState before, after;
    int life;
  } steps[] = {
      {"X1", 200, {16, 0}, {32, 0}, 800},
      {"X1", 50, {16, 0}, {28, 0}, 750},   // at 75 %: the first fall
      {"X1", 50, {28, 0}, {28, 0}, 750},   // falling he takes nothing
      {"X1", 50, {29, 0}, {30, 0}, 650},   // lying: twice
      {"X1", 50, {30, 0}, {30, 0}, 600},   // hit again in the reaction: once
      {"X2", 200, {16, 0}, {32, 0}, 400},
      {"X2", 25, {32, 0}, {28, 0}, 375},   // 37.5 %: the second fall
      {"Y1", 300, {31, 0}, {31, 0}, 375},  // getting up: nothing
      {"Y1", 500, {16, 0}, {28, 0}, 0},    // never below 0: the third fall
      {"Y1", 50, {16, 0}, {28, 0}, 0},     // at 0 every standing blow fells him
  };
  int phase = 0;
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << s.type << " " << s.damage << " in " << s.before.state);
    boss->locked = 0;
    boss->current = s.before;
    Attack(s.type, s.damage);
    boss->TakeHit(player);
    EXPECT_EQ(boss->current, s.after);
    EXPECT_EQ(Life(), s.life);
    if (s.after == SAIState{28, 0} && s.before != s.after) ++phase;
    EXPECT_EQ(boss->phase, phase);
  }
  Dispatch();
  EXPECT_EQ(counter.hudLife, 0) << "the HUD's bar follows the life";
}

TEST_F(Boss, CoverTurnsABlowAsideUntilAHeavyOneComes) {
  boss->SetTarget("player");
  PlaceBoss(1.5f);
  // The player faces +z, the boss faces him: yaws pi apart, and cover_prob is 1.
  transform->SetYaw(0.0f);
  Enter(16);
  Tick();
  Attack("X1", 50);
  EXPECT_EQ(boss->current, (SAIState{26, 0}));
  Tick(40);
  ASSERT_EQ(boss->current, (SAIState{24, 0}));
  Tick(10);
  const float left = figure.GetDuration(CStringHash("cover_in_01")) - boss->stateTime;
  boss->TakeHit(player);
  EXPECT_EQ(boss->current, (SAIState{25, 0}));
  EXPECT_NEAR(boss->stepDuration, left, 1e-4f) << "the rest of the cover-in";
  EXPECT_EQ(Life(), 1000);
  Tick();
  boss->TakeHit(player);  // still "X1": held
  EXPECT_EQ(Life(), 1000);
  Attack("X5", 60);
  boss->TakeHit(player);
  EXPECT_EQ(Life(), 940);
  EXPECT_EQ(boss->current, (SAIState{32, 0}));
}

TEST_F(Boss, CoverComparesWrappedYaws) {
  boss->SetTarget("player");
  PlaceBoss(1.5f);
  struct Case {
    float bossYaw, playerYaw;
    bool covers;
  } cases[] = {{kPi, 0.0f, true}, {3.0f, -3.0f, false}, {-3.0f, 3.0f, false}, {1.6f, -0.1f, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bossYaw << " / " << c.playerYaw);
    boss->current = SAIState{16, 0};
    bossTransform->SetYaw(c.bossYaw);
    transform->SetYaw(c.playerYaw);
    Attack("X1", 10);
    EXPECT_EQ(boss->current == (SAIState{26, 0}), c.covers);
  }
}

TEST_F(Boss, WavesHurtThroughTheirTimerAndBlastsAtOnce) {
  boss->SetTarget("player");
  PlaceBoss(4.0f);
  boss->current = SAIState{16, 0};
  Attack("X5", 0);
  boss->hitTimer = 1.0f;
  // A wave that does not travel (speed 0) arrives at once.
  evn::CEventShockWave still(player, CStringHash("player"), plat::Vec3(0, 0, 0), 0.0f, 6.0f, 40);
  boss->HandleEvent(&still);
  Dispatch();
  Dispatch();
  EXPECT_EQ(Life(), 960);
  // One from someone else, or out of range, does nothing.
  boss->hitTimer = 1.0f;
  evn::CEventShockWave other(bossObject, CStringHash("krauser"), plat::Vec3(0, 0, 0), 0, 6, 40);
  boss->HandleEvent(&other);
  evn::CEventShockWave far(player, CStringHash("player"), plat::Vec3(0, 0, -4), 10, 6, 40);
  boss->HandleEvent(&far);
  evn::CEventExplosion blast(CStringHash("mutant"), plat::Vec3(0, 0, 9.5f), 5.0f);
  blast.damage = 5;
  boss->HandleEvent(&blast);
  Dispatch();
  Dispatch();
  EXPECT_EQ(Life(), 960);
  evn::CEventExplosion near(CStringHash("mutant"), plat::Vec3(0, 0, 6), 5.0f);
  near.damage = 5;
  boss->HandleEvent(&near);
  EXPECT_EQ(Life(), 955);
  EXPECT_EQ(boss->lastHitType, SH_grenades);
}

TEST_F(Boss, AtNoLifeOnlyTheFatalityEndsHimAndTheScriptsHearItOnce) {
  boss->SetTarget("player");
  PlaceBoss(1.5f);
  SetLife(30);
  boss->phase = 2;
  boss->current = SAIState{16, 0};
  Attack("X1", 50);
  boss->TakeHit(player);
  ASSERT_EQ(boss->current, (SAIState{28, 0}));
  EXPECT_FALSE(boss->IsReadyForFatality());
  Tick();
  EXPECT_TRUE(boss->IsReadyForFatality()) << "the fall at no life offers the finishing move";
  Tick(static_cast<int>(1.0f / kDt) + 2);
  ASSERT_EQ(boss->current, (SAIState{29, 0}));
  // A fatality for someone else is not his.
  evn::CEventFatality other(CStringHash("fatality_04"), CStringHash("rotter"), plat::Vec3(), 2, 0.5f);
  boss->HandleEvent(&other);
  EXPECT_EQ(boss->current, (SAIState{29, 0}));
  EXPECT_TRUE(boss->RequestState(3, 0));
  Tick();
  evn::CEventFatality mine(CStringHash("fatality_04"), CStringHash("krauser"), plat::Vec3(), 2, 0.5f);
  boss->HandleEvent(&mine);
  EXPECT_EQ(boss->current, (SAIState{34, 0}));
  Tick(static_cast<int>(1.0f / kDt) + 5);
  EXPECT_EQ(boss->current, (SAIState{36, 0}));
  EXPECT_FALSE(boss->IsActive());
  Tick(30);
  Dispatch();
  ASSERT_EQ(counter.deaths.size(), 1u);
  EXPECT_EQ(counter.deaths[0], "enemy krauser");
}

// His figure and its animations are the enemy figures' test's.
TEST_F(Boss, TheShippedBossLoadsWithHisTuningAndHisSiblings) {
  ASSERT_TRUE(animations.LoadTemplates("Data/xml/level1_animation_templates.xml"));
  ASSERT_TRUE(objects.LoadTemplates("Data/xml/level1_character_templates.xml"));
  ASSERT_TRUE(manager.Init("Data/xml/ai/ai.xml"));
  test::CTempFile instances(base + "_shipped.xml",
                            "<GameObject name='shipped' GameObjectTemplate='krauser'>"
                            "<Component name='CAnimator'><key name='animation_instance_name' "
                            "value='shipped'/></Component></GameObject>");
  objects.LoadInstances(instances.Path(), "", true);
  obj::CGameObject* shipped = objects.GetGameObjectByName(CStringHash("shipped"));
  ASSERT_NE(shipped, nullptr) << Joined();
  const CKrauser* k = shipped->GetComponent<CKrauser>();
  ASSERT_NE(k, nullptr);
  EXPECT_FALSE(Logged("the tuning lacks")) << Joined();
  EXPECT_EQ(k->life, 1000);
  EXPECT_GT(k->attackRangeMax, 2.0f);
  EXPECT_NE(k->effects, nullptr);
  EXPECT_NE(k->weapon, nullptr);
  EXPECT_NE(k->weaponRenderer, nullptr);
  EXPECT_FLOAT_EQ(k->coverProb, 0.25f) << "the normal difficulty's";
}

}  // namespace
}  // namespace vd
