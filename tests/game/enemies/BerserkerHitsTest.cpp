// What a zombie suffers: hits, reactions, the fatality window and the finishing
// move, death and corpse. Zombies from a small template (no figure: their
// animations go to a recorder) stand beside the shipped player in the test level.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "engine/events/GameEvents.h"
#include "engine/render/decals/DecalManager.h"
#include "game/enemies/AIManager.h"
#include "game/enemies/Berserker.h"
#include "game/enemies/EnemyNames.h"
#include "game/player/FightSlotMgr.h"
#include "tests/game/player/PlayerFixture.h"

namespace vd {
namespace {

// Events keep these names by reference.
const CStringHash kX1("X1");
const CStringHash kX5("X5");
const CStringHash kPlayer("player");
const CStringHash kMutantGrenade("grenade_mutant");

class CFigure : public IActorAnimation {
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
    return found == durations.end() ? 0.0f : found->second;
  }
  void SetStatic(bool) override {}
  void SetPaused(bool) override {}
  void Settle() override {}

  std::string cycle;
  std::vector<std::string> actions;
  std::map<std::string, float> durations{
      {"hit_01", 0.5f},        {"hit_02", 0.5f},     {"hit_fall_stand_01", 1.0f},
      {"death_01", 0.5f},      {"death_explosion_01", 0.5f}, {"death_explosion_02", 0.5f},
      {"wave_death", 0.5f},    {"wave_wake", 0.5f},  {"fatality_03", 1.0f}};
};

class CPosted : public evn::IEventListener {
public:
  void HandleEvent(evn::IEvent* event) override {
    if (event->GetType() == evn::CEventHUDChange::s_type) {
      scores.push_back(static_cast<evn::CEventHUDChange*>(event)->score);
    } else if (event->GetType() == evn::CEventDeath::s_type) {
      auto* death = static_cast<evn::CEventDeath*>(event);
      deaths.push_back(std::string(death->type.Get()) + ":" + death->name.Get());
    }
  }
  std::vector<int> scores;
  std::vector<std::string> deaths;
};

class Hits : public test::PlayerFixture {
protected:
  void SetUp() override {
    PlayerFixture::SetUp();
    utl::RegisterFactoryMaker<CBerserker, obj::IComponent>(objects.componentFactories);
    const std::string data = base + "_ai.xml";
    std::ofstream(data, std::ios::binary)
        << "<general><key name='fatality_delay' value='1.0'/></general>";
    ASSERT_TRUE(manager.Init(data.c_str()));
    manager.Activate();
    events.AddListener(&posted, evn::CEventHUDChange::s_type);
    events.AddListener(&posted, evn::CEventDeath::s_type);
  }
  void TearDown() override {
    objects.Clear();
    manager.Clear();
    PlayerFixture::TearDown();
  }

  static std::string Zombie(const char* name, float x, float z, int life) {
    return std::string("<GameObject name='") + name +
           "' GameObjectTemplate='zombie'><Component name='CTransform'><key name='position' X='" +
           Num(x) + "' Y='0' Z='" + Num(z) +
           "'/></Component><Script file='Data/scripts/tests/first.lua'><key name='life' value='" +
           std::to_string(life) + "'/><key name='score' value='10'/></Script></GameObject>";
  }

  // The player at the origin facing -z, and the zombies of `zombies`.
  void BuildWith(const std::string& zombies, float probability = 0.0f) {
    test::CTempFile templates(
        base + "_zombie.xml",
        "<GameObjectTemplate name='zombie'><Component name='CTransform'/>"
        "<Component name='CBerserker'><key name='attacker' value='1'/>"
        "<key name='target' value='player'/>"
        "<key name='fatality_life_factor' value='0.5'/>"
        "<key name='fatality_probability' value='" +
            Num(probability) +
            "'/><key name='fatality_duration' value='1.5'/>"
            "<key name='fatality_force_period' value='1000'/>"
            "<key name='fatality_icon_height' value='2.2'/></Component></GameObjectTemplate>");
    ASSERT_TRUE(objects.LoadTemplates(templates.Path()));
    extraInstances = zombies;
    Build();
    // Not the boss's scene: the player aims at the enemies' list.
    Run("main_zone = 0; FINALSCENE = 4");
    slots = player->GetComponent<CFightSlotMgr>();
    ASSERT_NE(slots, nullptr);
  }

  CBerserker* Fighter(const char* name) {
    obj::CGameObject* object = objects.GetGameObjectByName(CStringHash(name));
    CBerserker* fighter = object ? object->GetComponent<CBerserker>() : nullptr;
    if (fighter) fighter->SetAnimation(&figures[name]);
    return fighter;
  }
  int Life(const char* name) {
    return static_cast<int>(
        obj::GetScriptFloat(objects.GetGameObjectByName(CStringHash(name)), "life"));
  }
  static void Put(CBerserker* fighter, SAIState state) {
    fighter->current = fighter->lastHandled = state;
    fighter->stateTime = 0.0f;
  }
  void Step(int frames = 1) {
    for (int i = 0; i < frames; ++i) {
      Frame();
      manager.Update(kDt);
    }
  }
  // Frames until `done` holds, at most `seconds` of game time; whether it did.
  template <class F>
  bool StepUntil(F done, float seconds) {
    for (int i = 0; i < static_cast<int>(seconds / kDt); ++i) {
      if (done()) return true;
      Step();
    }
    return done();
  }

  CAIManager manager;
  CPosted posted;
  std::map<std::string, CFigure> figures;
  CFightSlotMgr* slots = nullptr;
};

// --- Taking a hit -------------------------------------------------------------------------

TEST_F(Hits, AHitCostsLifeAndPicksTheReactionByBlowGuardAndState) {
  BuildWith(Zombie("rotter", 0, 2, 100));
  CBerserker* rotter = Fighter("rotter");
  ASSERT_NE(rotter, nullptr);
  ASSERT_EQ(rotter->target, player);
  const struct SCase {
    const char* name;
    const char* type;
    int damage;
    SAIState state;
    int life;
    bool area, noTarget, locked, gettingUp;
    SAIState after;
    int lifeAfter;
    float push;
    int scores;
  } cases[] = {
      {"plain blow", "X1", 2, {13, 0}, 100, false, false, false, false, {32, 0}, 98, 1.5f, 1},
      {"last blow", "X1", 5, {13, 0}, 3, false, false, false, false, {35, 0}, -2, 2.5f, 1},
      {"grenade", "grenades", 3, {13, 0}, 100, true, false, false, false, {33, 0}, 97, 2.0f, 1},
      {"mutant's grenade scores nothing", "grenades_mutant", 3, {13, 0}, 100, true, false, false,
       false, {33, 0}, 97, 2.0f, 0},
      {"guard holds", "X1", 4, {25, 0}, 100, false, false, false, false, {25, 0}, 100, 2.5f, 0},
      {"guard broken", "Y3", 4, {25, 0}, 100, false, false, false, false, {32, 0}, 96, 2.5f, 1},
      {"guard rising", "Y3", 2, {24, 0}, 100, false, false, false, false, {25, 0}, 100, 1.5f, 0},
      {"no target", "X1", 2, {13, 0}, 100, false, true, false, false, {13, 0}, 100, 1.5f, 0},
      {"locked", "X1", 2, {13, 0}, 100, false, false, true, false, {13, 0}, 100, 1.5f, 0},
      {"corpse", "X1", 2, {36, 0}, 100, false, false, false, false, {36, 0}, 100, 1.5f, 0},
      {"thrown down", "X1", 2, {33, 0}, 100, false, false, false, false, {33, 0}, 100, 1.5f, 0},
      {"getting up", "X1", 2, {32, 0}, 100, false, false, false, true, {32, 0}, 100, 1.5f, 0},
      {"stunned", "X1", 2, {2, 0}, 100, false, false, false, false, {32, 1}, 100, 1.5f, 1},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.name);
    Put(rotter, c.state);
    obj::SetScriptInt(rotter->GetOwner(), "life", c.life);
    rotter->lastHitType.Set(c.type);
    rotter->lastHitDamage = c.damage;
    rotter->areaHit = c.area ? 1 : 0;
    rotter->target = c.noTarget ? nullptr : player;
    rotter->locked = c.locked ? 1 : 0;
    rotter->actionAnimation = c.gettingUp ? SH_hit_fall_stand_01 : CStringHash();
    rotter->stepDuration = 1.0f;
    rotter->pushDirection = plat::Vec3();
    posted.scores.clear();

    rotter->TakeHit(player);
    events.Update(0.0f);

    EXPECT_EQ(rotter->current, c.after) << rotter->current.state << "," << rotter->current.subState;
    EXPECT_EQ(Life("rotter"), c.lifeAfter);
    EXPECT_FLOAT_EQ(rotter->pushDistance, c.push);
    // Pushed away from the player, whether or not it hurt.
    EXPECT_NEAR(rotter->pushDirection.z, 1.0f, 1e-5f);
    ASSERT_EQ(posted.scores.size(), static_cast<size_t>(c.scores));
    if (c.scores) {
      EXPECT_EQ(posted.scores[0], 10 * c.damage);
    }
  }
  rotter->target = player;
  rotter->locked = 0;
}

TEST_F(Hits, OneHitASwingAndEachKindOfBlowHurtsOnItsOwn) {
  BuildWith(Zombie("rotter", 0, 1.5f, 100));
  CBerserker* rotter = Fighter("rotter");
  Put(rotter, {13, 0});
  Step();
  auto contact = [&] {
    events.PostEvent(evn::CEventCollisionEnter::New(rotter->GetOwner(), player, "enemy",
                                                    "weapon_player", "body", "blade",
                                                    plat::Vec3(), plat::Vec3(), 0.0f));
  };
  // Contacts before any swing started, and the two volumes of one swing.
  rotter->hitTimer = 0.0f;
  contact();
  Step();
  EXPECT_EQ(Life("rotter"), 100) << "no swing, no hit";
  events.PostEvent(evn::CEventPlayerAttack::New(true, 7, kX1));
  Step();
  contact();
  contact();
  Step();
  EXPECT_EQ(Life("rotter"), 93);
  contact();
  Step();
  EXPECT_EQ(Life("rotter"), 93) << "the same swing";
  // A grenade right after the blow still hurts.
  events.PostEvent(evn::CEventExplosion::New(kPlayer, rotter->transform->position,
                                             2.0f));
  Step();
  EXPECT_EQ(Life("rotter"), 88);
  EXPECT_EQ(rotter->current, (SAIState{33, 0})) << "a burst throws it down";
}

TEST_F(Hits, AShockWaveHurtsLessWithDistanceAndLateForX5) {
  BuildWith(Zombie("near", 0, 2, 100) + Zombie("edge", 8, 0, 100) + Zombie("far", 0, -10.5f, 100));
  CBerserker* near = Fighter("near");
  CBerserker* edge = Fighter("edge");
  for (CBerserker* f : {near, edge, Fighter("far")}) Put(f, {13, 0});
  events.PostEvent(evn::CEventPlayerAttack::New(true, 7, kX5));
  Step();
  events.PostEvent(evn::CEventShockWave::New(player, kPlayer, plat::Vec3(0, 0, 0),
                                             4.0f, 10.0f, 14));
  Step();
  EXPECT_EQ(near->lastHitDamage, 10) << "14 x (1 - 2/7)";
  EXPECT_EQ(near->areaHit, 1);
  EXPECT_EQ(edge->lastHitDamage, 0);
  EXPECT_EQ(edge->areaHit, 0);
  EXPECT_EQ(Life("near"), 100) << "the wave is still on its way";
  Step(static_cast<int>(0.5f / kDt) + 2);
  EXPECT_EQ(Life("near"), 90);
  EXPECT_EQ(near->current, (SAIState{33, 0}));
  EXPECT_EQ(Life("edge"), 100);
  EXPECT_EQ(Life("far"), 100);
}

TEST_F(Hits, GuardIsRaisedOnlyAgainstAnAttackerBehindByWrappedYaw) {
  BuildWith(Zombie("rotter", 0, 2, 100));
  CBerserker* rotter = Fighter("rotter");
  rotter->coverProb = 1.0f;
  const struct {
    float own, player;
    bool cover;
  } cases[] = {{3.0f, -3.0f, false}, {3.0f, 0.0f, true}, {0.0f, 0.0f, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.own);
    Put(rotter, {16, 0});
    rotter->transform->SetYaw(c.own);
    transform->SetYaw(c.player);
    events.PostEvent(evn::CEventPlayerAttack::New(true, 7, kX1));
    events.Update(0.0f);
    EXPECT_EQ(rotter->current == (SAIState{26, 0}), c.cover);
  }
}

// --- The fatality window -----------------------------------------------------------------------

TEST_F(Hits, TheWindowOpensForOneEnemyAtATimeAndClosesUnused) {
  BuildWith(Zombie("rotter", 0, 2, 100) + Zombie("other", 3, 3, 100), 1.0f);
  CBerserker* rotter = Fighter("rotter");
  CBerserker* other = Fighter("other");
  Put(rotter, {13, 0});
  Put(other, {13, 0});
  rotter->lastHitType = kX1;
  other->lastHitType = kX1;
  rotter->lastHitDamage = other->lastHitDamage = 60;
  rotter->TakeHit(player);
  other->TakeHit(player);
  events.Update(0.0f);
  EXPECT_EQ(rotter->current, (SAIState{2, 0}));
  EXPECT_TRUE(rotter->IsReadyForFatality());
  EXPECT_EQ(manager.fatalityCandidate, rotter);
  EXPECT_EQ(other->current, (SAIState{32, 0})) << "the candidacy is taken";
  EXPECT_FALSE(other->IsReadyForFatality());
  EXPECT_EQ(posted.scores.size(), 1u) << "the hit that opens the window scores nothing";

  // Nobody takes it: it closes after its duration and the cool-down begins.
  ASSERT_TRUE(StepUntil([&] { return rotter->current != SAIState{2, 0}; }, 2.0f));
  EXPECT_EQ(rotter->current, (SAIState{13, 0}));
  EXPECT_FALSE(rotter->IsReadyForFatality());
  EXPECT_TRUE(manager.IsFatalityCoolingDown());
  ASSERT_TRUE(StepUntil([&] { return manager.fatalityCandidate == nullptr; }, 1.5f));
}

TEST_F(Hits, TheFinishingMoveTakenKillsTheVictimOnceAndItsCorpseGoes) {
  BuildWith(Zombie("rotter", 0, -1.5f, 100), 1.0f);
  CBerserker* rotter = Fighter("rotter");
  obj::CGameObject* body = rotter->GetOwner();
  const uint32_t id = static_cast<uint32_t>(body->GetId());
  Put(rotter, {13, 0});
  slots->TakeWaitSlot(body);
  rotter->lastHitType = CStringHash("X1");
  rotter->lastHitDamage = 60;
  rotter->TakeHit(player);
  Step();
  ASSERT_EQ(rotter->current, (SAIState{2, 0}));

  controller->target = body;
  controller->SetState(CPlayerController::kFatality);
  ASSERT_TRUE(StepUntil([&] { return rotter->current == SAIState{34, 0}; }, 2.0f))
      << rotter->current.state;
  EXPECT_EQ(rotter->fatalityName.Get(), CStringHash("fatality_03"));
  EXPECT_FALSE(rotter->IsReadyForFatality());
  ASSERT_TRUE(StepUntil([&] { return rotter->current == SAIState{36, 0}; }, 3.0f));
  ASSERT_TRUE(StepUntil([&] { return !body->IsEnabled(); }, 3.0f)) << "the corpse fades away";
  Step(3);
  EXPECT_EQ(posted.deaths, std::vector<std::string>{"enemy:rotter"});
  for (const CFightSlotMgr::SWaitSlot& slot : slots->GetWaitSlots())
    EXPECT_NE(slot.occupant, body);
  for (size_t i = 0; i < manager.GetEnemyCount(); ++i) EXPECT_NE(manager.GetEnemyId(i), id);
  EXPECT_TRUE(StepUntil([&] { return slots->hold == 0; }, 4.0f)) << "the player lets go";
}

TEST_F(Hits, AnEscapedOrDroppedFinishingMoveLetsTheVictimGo) {
  BuildWith(Zombie("rotter", 0, -1.5f, 100), 1.0f);
  CBerserker* rotter = Fighter("rotter");
  for (const bool escape : {true, false}) {
    SCOPED_TRACE(escape ? "escaped" : "dropped");
    Step(static_cast<int>(1.2f / kDt));  // past the last window's cool-down
    Put(rotter, {13, 0});
    obj::SetScriptInt(rotter->GetOwner(), "life", 100);
    rotter->lastHitType = CStringHash("X1");
    rotter->lastHitDamage = 60;
    rotter->TakeHit(player);
    Step();
    ASSERT_EQ(rotter->current, (SAIState{2, 0}));
    controller->target = rotter->GetOwner();
    controller->SetState(CPlayerController::kFatality);
    ASSERT_TRUE(StepUntil([&] { return rotter->current == SAIState{3, 0}; }, 1.0f));
    if (escape) {
      Keys({plat::input::kKeySpace});
      Step();
      Keys({});
    } else {
      events.PostEvent(evn::CEventExplosion::New(kMutantGrenade,
                                                 transform->position + plat::Vec3(0, 0, 0.5f),
                                                 0.6f));
      Step();
    }
    EXPECT_NE(controller->state, CPlayerController::kFatality);
    EXPECT_EQ(slots->hold, 0) << "the enemies may attack again";
    ASSERT_TRUE(StepUntil([&] { return rotter->current != SAIState{3, 0}; }, 2.0f))
        << "the victim stays frozen";
    EXPECT_EQ(rotter->current, (SAIState{13, 0}));
    EXPECT_FALSE(rotter->IsReadyForFatality());
    EXPECT_TRUE(posted.deaths.empty());
    controller->Restart();
  }
}

TEST_F(Hits, AVictimDestroyedInTheWindowLeavesNoCandidate) {
  BuildWith(Zombie("rotter", 0, 2, 100), 1.0f);
  CBerserker* rotter = Fighter("rotter");
  Put(rotter, {13, 0});
  rotter->lastHitType = CStringHash("X1");
  rotter->lastHitDamage = 60;
  rotter->TakeHit(player);
  ASSERT_EQ(manager.fatalityCandidate, rotter);
  const uint32_t id = static_cast<uint32_t>(rotter->GetOwner()->GetId());
  objects.QueueDestroy(static_cast<int>(id));
  Step(2);
  EXPECT_EQ(objects.GetGameObjectByName(CStringHash("rotter")), nullptr);
  EXPECT_EQ(manager.fatalityCandidate, nullptr);
  for (size_t i = 0; i < manager.GetEnemyCount(); ++i) EXPECT_NE(manager.GetEnemyId(i), id);
}

// --- Reactions, death and corpse -------------------------------------------------------------------

TEST_F(Hits, ReactionsRunTheirAnimationsAndReturnToTheFight) {
  BuildWith(Zombie("rotter", 0, 2, 100) + Zombie("wave", 3, 3, 100));
  CBerserker* rotter = Fighter("rotter");
  CBerserker* wave = Fighter("wave");
  Put(rotter, {13, 0});
  Put(wave, {13, 0});
  rotter->lastHitType = CStringHash("X1");
  rotter->lastHitDamage = 2;
  rotter->TakeHit(player);
  wave->lastHitType = CStringHash("grenades");
  wave->lastHitDamage = 2;
  wave->areaHit = 1;
  wave->TakeHit(player);
  Step();
  ASSERT_EQ(figures["rotter"].actions.size(), 1u);
  const std::string& hit = figures["rotter"].actions[0];
  EXPECT_TRUE(hit == "hit_01" || hit == "hit_02") << hit;
  EXPECT_EQ(figures["wave"].actions, std::vector<std::string>{"wave_death"});
  EXPECT_EQ(wave->locked, 1) << "down in the wave";
  ASSERT_TRUE(StepUntil([&] { return rotter->current != SAIState{32, 0}; }, 1.0f));
  EXPECT_EQ(rotter->current, (SAIState{13, 0}));
  // The fall, up to 2 s on the ground, the wake-up.
  ASSERT_TRUE(StepUntil([&] { return wave->locked == 0; }, 3.0f));
  EXPECT_EQ(figures["wave"].actions.back(), "wave_wake");
  ASSERT_TRUE(StepUntil([&] { return wave->current != SAIState{33, 0}; }, 1.0f));
  EXPECT_EQ(wave->current, (SAIState{13, 0}));
  EXPECT_EQ(wave->areaHit, 0);
}

TEST_F(Hits, ADeathPlaysOnceThenTheCorpseFadesAndLeavesNothingBehind) {
  gfx::CDecalManager decals;
  ASSERT_TRUE(decals.Init(nullptr, nullptr));
  BuildWith(Zombie("rotter", 0, 2, 3) + Zombie("heavy", 3, 3, 3));
  CBerserker* rotter = Fighter("rotter");
  CBerserker* heavy = Fighter("heavy");
  obj::CGameObject* body = rotter->GetOwner();
  Put(rotter, {13, 0});
  Put(heavy, {13, 0});
  slots->TakeWaitSlot(body);
  slots->RequestFightSlot(body);
  rotter->lastHitType = CStringHash("X1");
  rotter->lastHitDamage = 5;
  rotter->TakeHit(player);
  heavy->lastHitType = CStringHash("Y3");
  heavy->lastHitDamage = 5;
  heavy->TakeHit(player);
  Step();
  ASSERT_EQ(rotter->current, (SAIState{35, 0}));
  const std::string death = figures["rotter"].actions.at(0);
  EXPECT_TRUE(death == "death_01" || death == "death_explosion_01" ||
              death == "death_explosion_02")
      << death;
  EXPECT_EQ(figures["heavy"].actions, std::vector<std::string>{"wave_death"});
  // Further blows on the dying and the dead change nothing.
  rotter->lastHitDamage = 50;
  rotter->TakeHit(player);
  ASSERT_TRUE(StepUntil([&] { return rotter->current == SAIState{36, 0}; }, 1.0f));
  rotter->TakeHit(player);
  ASSERT_TRUE(StepUntil([&] { return !body->IsEnabled(); }, 3.0f));
  Step(3);
  EXPECT_EQ(Life("rotter"), -2);
  ASSERT_EQ(std::count(posted.deaths.begin(), posted.deaths.end(), "enemy:rotter"), 1);
  for (const CFightSlotMgr::SWaitSlot& slot : slots->GetWaitSlots()) EXPECT_NE(slot.occupant, body);
  for (obj::CGameObject* occupant : slots->GetFightSlots()) EXPECT_NE(occupant, body);
  EXPECT_TRUE(std::find(slots->waiting.begin(), slots->waiting.end(), body) ==
              slots->waiting.end());
  EXPECT_EQ(rotter->bloodEffect, nullptr);
  // One pool of blood under each body, not one a frame.
  int pools = 0;
  for (int i = 0; i < decals.DecalsMax(); ++i) pools += decals.Slot(i).used;
  EXPECT_EQ(pools, 2);
  // Destroyed, it leaves the manager's lists as well.
  objects.QueueDestroy(body->GetId());
  Step();
  const std::vector<CBerserker*>& fighters = manager.GetFighters();
  EXPECT_EQ(std::count(fighters.begin(), fighters.end(), rotter), 0);
}

}  // namespace
}  // namespace vd
