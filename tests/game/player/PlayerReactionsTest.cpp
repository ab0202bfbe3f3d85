// The player's answers to the fight (hits, guard, explosions, shock waves, death)
// and its paired states (finishing moves, the use of objects), on the shipped
// player with test enemies whose scripts carry their damage and shake.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/objects/ComponentKeys.h"
#include "engine/render/RenderManager.h"
#include "game/player/ComboController.h"
#include "game/player/EnemyList.h"
#include "game/player/FightSlotMgr.h"
#include "tests/game/player/PlayerFixture.h"

namespace vd {
namespace test {
namespace {

// The enemies' fighter as the player sees it: offers itself to a finishing move
// and records the states it is asked for.
template <class Self>
class CFighterDouble : public obj::CComponent<Self>, public IFatalityVictim {
public:
  void Load(rapidxml::xml_node<>*) override {}
  bool HasContent() override { return true; }
  bool Update(float) override { return true; }
  bool Init() override { return true; }
  void Reset() override {}
  bool IsReadyForFatality() const override { return ready; }
  bool RequestState(int state, int subState) override {
    requests.push_back({state, subState});
    return true;
  }
  bool ready = true;
  std::vector<std::pair<int, int>> requests;
};

class CBerserkerDouble : public CFighterDouble<CBerserkerDouble> {
public:
  static const CStringHash& GetClassName() {
    static const CStringHash name("CBerserker");
    return name;
  }
};

class CKrauserDouble : public CFighterDouble<CKrauserDouble> {
public:
  static const CStringHash& GetClassName() {
    static const CStringHash name("CKrauser");
    return name;
  }
};

// What the player posts, by kind.
class CPosted : public evn::IEventListener {
public:
  void HandleEvent(evn::IEvent* event) override {
    const CStringHash& type = event->GetType();
    if (type == evn::CEventHit::s_type) ++hits;
    if (type == evn::CEventShake::s_type) ++shakes;
    if (type == evn::CEventHUDChange::s_type)
      hudLife.push_back(static_cast<evn::CEventHUDChange*>(event)->life);
    if (type == evn::CEventDeath::s_type) {
      auto* death = static_cast<evn::CEventDeath*>(event);
      deaths.push_back(std::string(death->type.Get()) + ":" + death->name.Get());
    }
    if (type == evn::CEventFatality::s_type) {
      auto* fatality = static_cast<evn::CEventFatality*>(event);
      fatalities.push_back(std::string(fatality->fatalityName.GetText()) + ":" +
                           fatality->fatalityTargetName.GetText());
    }
    if (type == evn::CEventUse::s_type) {
      auto* use = static_cast<evn::CEventUse*>(event);
      uses.push_back(std::string(use->objectName.Get()) + (use->begin ? ":begin" : ":end"));
    }
  }
  int hits = 0;
  int shakes = 0;
  std::vector<int> hudLife;
  std::vector<std::string> deaths;
  std::vector<std::string> fatalities;
  std::vector<std::string> uses;
};

// Every enemy of the test level, in the order it was built: the finishing move
// aims through the list before it takes its victim.
class CAllEnemies : public IEnemyList {
public:
  size_t GetEnemyCount() const override { return ids.size(); }
  uint32_t GetEnemyId(size_t index) const override { return ids[index]; }
  std::vector<uint32_t> ids;
};

std::string g_prompt;
void RecordPrompt(const char* button) { g_prompt = button ? button : "(hidden)"; }

class Reactions : public PlayerFixture {
protected:
  void SetUp() override {
    PlayerFixture::SetUp();
    utl::RegisterFactoryMaker<CBerserkerDouble, obj::IComponent>(objects.componentFactories);
    utl::RegisterFactoryMaker<CKrauserDouble, obj::IComponent>(objects.componentFactories);
    for (const CStringHash* type :
         {&evn::CEventHit::s_type, &evn::CEventShake::s_type, &evn::CEventHUDChange::s_type,
          &evn::CEventDeath::s_type, &evn::CEventFatality::s_type, &evn::CEventUse::s_type})
      events.AddListener(&posted, *type);
    CPlayerController::SetUsePromptHook(&RecordPrompt);
    g_prompt.clear();
  }
  void TearDown() override {
    CPlayerController::SetDifficulty(obj::kDifficultyNormal);
    CPlayerController::SetUsePromptHook(nullptr);
    SetEnemyList(nullptr);
    PlayerFixture::TearDown();
  }

  static std::string Enemy(const char* name, const char* templateName, float x, float z,
                           int damage = 10) {
    return std::string("<GameObject name='") + name + "' GameObjectTemplate='" + templateName +
           "'><Component name='CTransform'><key name='position' X='" + Num(x) + "' Y='0' Z='" +
           Num(z) + "'/></Component><Script file='Data/scripts/tests/first.lua'>" +
           "<key name='damage' value='" + std::to_string(damage) + "'/>" +
           "<key name='shake_power' value='2'/><key name='shake_timer' value='0.5'/></Script>" +
           "</GameObject>";
  }

  // The enemies' templates, then the player among them.
  void BuildWithEnemies(const std::string& more = "") {
    extraInstances = Enemy("grunt", "mutant", 0, -2) + Enemy("krauser", "krauser", 0, -2, 30) +
                     Enemy("rotter", "zombie", 0, -6) + Enemy("brute", "mutant", 2, -6) +
                     Enemy("stranger", "ghoul", 0, -6) + more;
    CTempFile enemies(base + "_enemies.xml",
                      "<GameObjectTemplate name='mutant'><Component name='CTransform'/>"
                      "<Component name='CBerserker'/></GameObjectTemplate>"
                      "<GameObjectTemplate name='zombie'><Component name='CTransform'/>"
                      "<Component name='CBerserker'/></GameObjectTemplate>"
                      "<GameObjectTemplate name='ghoul'><Component name='CTransform'/>"
                      "<Component name='CBerserker'/></GameObjectTemplate>"
                      "<GameObjectTemplate name='krauser'><Component name='CTransform'/>"
                      "<Component name='CKrauser'/></GameObjectTemplate>"
                      "<GameObjectTemplate name='usable'><Component name='CTransform'/>"
                      "</GameObjectTemplate>");
    ASSERT_TRUE(objects.LoadTemplates(enemies.Path()));
    Build();
    controller->hitInterval = 0.0f;
    Run("main_zone = 0; FINALSCENE = 4");
    for (const char* name : {"grunt", "krauser", "rotter", "brute", "stranger"})
      enemyList.ids.push_back(static_cast<uint32_t>(Object(name)->GetId()));
    SetEnemyList(&enemyList);
  }

  obj::CGameObject* Object(const char* name) {
    return objects.GetGameObjectByName(CStringHash(name));
  }

  // The blow of an enemy's weapon volume reaching the player's body.
  void WeaponHit(const char* attacker, const char* weaponClass = "weapon_enemy") {
    auto* event = evn::CEventCollisionEnter::New(player, Object(attacker), "player", weaponClass,
                                                 "body", "blade", plat::Vec3(), plat::Vec3(), 0.0f);
    controller->HandleEvent(event);
    event->Release();
  }

  void Explosion(const char* source, const plat::Vec3& where, float range) {
    auto* event = evn::CEventExplosion::New(CStringHash(source), where, range);
    controller->HandleEvent(event);
    event->Release();
  }

  void Enter(int state) { controller->state = controller->previousState = state; }

  CPosted posted;
  CAllEnemies enemyList;
};

TEST_F(Reactions, ProtectionByStateDifficultyAndBoss) {
  BuildWithEnemies();
  CComboController* combo = player->GetComponent<CComboController>();
  ASSERT_NE(combo, nullptr);
  using P = CPlayerController;
  constexpr int kEasy = obj::kDifficultyEasy, kNormal = obj::kDifficultyNormal,
                kHard = obj::kDifficultyHard;
  struct SCase {
    int state;
    int comboStep;
    bool window;
    int difficulty;
    const char* attacker;
    int expected;
    bool hurts;
  } cases[] = {
      {P::kIdle, 0, false, kNormal, "grunt", P::kHit, true},
      {P::kRun, 0, false, kNormal, "grunt", P::kHit, true},
      {P::kCoverOut, 0, false, kNormal, "grunt", P::kHit, true},
      {P::kExplosionHit, 0, false, kNormal, "grunt", P::kHit, true},
      {P::kCover, 0, false, kNormal, "krauser", P::kCoverHit, false},
      {P::kCoverHit, 0, false, kHard, "krauser", P::kCoverHit, false},
      {P::kEvade, 0, false, kHard, "grunt", P::kEvade, false},
      {P::kIdleCinematic, 0, false, kHard, "grunt", P::kIdleCinematic, false},
      {P::kComboAuto1, 0, false, kHard, "grunt", P::kComboAuto1, false},
      {P::kUse, 0, false, kHard, "grunt", P::kUse, false},
      // The combo: X5 never breaks, Y3 only under the boss beyond easy.
      {P::kCombo, 5, false, kHard, "krauser", P::kCombo, false},
      {P::kCombo, 8, false, kEasy, "krauser", P::kCombo, false},
      {P::kCombo, 8, false, kHard, "grunt", P::kCombo, false},
      {P::kCombo, 8, false, kNormal, "krauser", P::kHit, true},
      {P::kCombo, 8, false, kHard, "krauser", P::kHit, true},
      // Another step with its hit window open: easy none, normal the boss, hard all.
      {P::kCombo, 2, true, kEasy, "krauser", P::kCombo, false},
      {P::kCombo, 2, true, kNormal, "grunt", P::kCombo, false},
      {P::kCombo, 2, true, kNormal, "krauser", P::kHit, true},
      {P::kCombo, 2, true, kHard, "grunt", P::kHit, true},
      // The window closed: any blow breaks it.
      {P::kCombo, 2, false, kEasy, "grunt", P::kHit, true},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "state " << c.state << " step " << c.comboStep << " window " << c.window
                 << " difficulty " << c.difficulty << " " << c.attacker);
    controller->Restart();
    Frame();
    controller->life = 100;
    CPlayerController::SetDifficulty(c.difficulty);
    Enter(c.state);
    combo->state = c.comboStep;
    combo->windowOpen = c.window ? 1 : 0;
    const int hitsBefore = posted.hits;
    WeaponHit(c.attacker);
    EXPECT_EQ(controller->state, c.expected);
    combo->state = 0;
    combo->windowOpen = 0;
    Frame();
    // Every blow is reported, whether it hurts or not.
    EXPECT_EQ(posted.hits, hitsBefore + 1);
    const int damage = std::string(c.attacker) == "krauser" ? 30 : 10;
    EXPECT_EQ(controller->life, c.hurts ? 100 - damage : 100);
  }
}

TEST_F(Reactions, GuardedBlowShakesWithoutDamageAndAWeaponDuringAHitIsIgnored) {
  BuildWithEnemies();
  controller->life = 50;
  Enter(CPlayerController::kCover);
  WeaponHit("grunt", "weapon_krauser");
  Frame();
  EXPECT_EQ(posted.shakes, 1);
  EXPECT_EQ(posted.hits, 1);
  EXPECT_EQ(controller->life, 50);
  EXPECT_TRUE(Plays("cover_hit_01"));

  Enter(CPlayerController::kIdle);
  WeaponHit("grunt");
  EXPECT_EQ(player->GetComponent<CFightSlotMgr>()->hold, 1);
  Frame();
  ASSERT_EQ(controller->state, CPlayerController::kHit);
  EXPECT_EQ(controller->life, 40);
  // The weapon volume keeps touching: no second blow while the first plays...
  WeaponHit("grunt");
  Frame();
  EXPECT_EQ(controller->life, 40);
  EXPECT_EQ(posted.hits, 2);
  // ...but a vomit in its cone lands again, and hurts again.
  gfx::CTransform* grunt = Object("grunt")->GetComponent<gfx::CTransform>();
  grunt->SetYaw(0.0f);  // facing +z, towards the player
  grunt->UpdateMatrix();
  auto* vomit = evn::CEventEnemyAttack::New(Object("grunt"), 0, 0.0f, 5.0f, 30.0f,
                                            CStringHash("attack_vomit"));
  controller->HandleEvent(vomit);
  vomit->Release();
  Frame();
  EXPECT_EQ(posted.hits, 3);
  EXPECT_EQ(controller->life, 30);
}

// The attack records give the vomit's cone in degrees. The grunt stands 2 m in front of
// the player and turns away from him; the dot product is not normalised, so at 2 m a
// 30-degree cone takes him while cos(turn) > 0.433.
TEST_F(Reactions, TheVomitConeTakesItsAngleInDegrees) {
  BuildWithEnemies();
  gfx::CTransform* grunt = Object("grunt")->GetComponent<gfx::CTransform>();
  grunt->SetPosition(transform->position + plat::Vec3(0.0f, 0.0f, -2.0f));
  const struct {
    float turnDegrees;
    bool hit;
  } cases[] = {{0.0f, true}, {50.0f, true}, {80.0f, false}, {150.0f, false}};
  for (const auto& c : cases) {
    controller->Restart();
    Enter(CPlayerController::kIdle);
    Frames(2);  // what the last case posted arrives before this one starts
    const int hits = posted.hits;
    grunt->SetYaw(c.turnDegrees * (plat::kPi / 180.0f));
    auto* vomit = evn::CEventEnemyAttack::New(Object("grunt"), 5, 0.0f, 5.0f, 30.0f,
                                              CStringHash("attack_vomit"));
    controller->HandleEvent(vomit);
    vomit->Release();
    Frame();
    EXPECT_EQ(posted.hits > hits, c.hit) << "turned " << c.turnDegrees << " degrees";
  }
}

TEST_F(Reactions, LifeStopsAtZeroAndTheCorpseReportsOncePerDeathLength) {
  BuildWithEnemies();
  controller->life = 20;
  Enter(CPlayerController::kRun);
  WeaponHit("krauser");  // 30 damage
  Frame();
  EXPECT_EQ(controller->life, 0);
  EXPECT_EQ(controller->state, CPlayerController::kDying);
  Frame();  // the HUD change posted on entry arrives
  ASSERT_FALSE(posted.hudLife.empty());
  EXPECT_EQ(posted.hudLife.back(), 0);
  EXPECT_TRUE(Plays("death_01"));
  const float length = controller->stateDuration;
  ASSERT_GT(length, 0.1f);

  // The dead take no further blows.
  WeaponHit("grunt");
  Explosion("grenade", transform->position, 5.0f);
  EXPECT_EQ(controller->state, CPlayerController::kDying);

  const int frames = static_cast<int>(std::ceil(length / kDt));
  Frames(frames + 2);
  EXPECT_EQ(controller->state, CPlayerController::kCorpse);
  EXPECT_TRUE(posted.deaths.empty());
  Frames(frames + 2);
  ASSERT_EQ(posted.deaths.size(), 1u);
  EXPECT_EQ(posted.deaths[0], "player:player");
  EXPECT_EQ(controller->life, 0);
}

TEST_F(Reactions, ExplosionsHurtOnlyWithinRangeAndNotFromThePlayersOwnGrenades) {
  BuildWithEnemies();
  CComboController* combo = player->GetComponent<CComboController>();
  const plat::Vec3 here = transform->position;
  const plat::Vec3 near = here + plat::Vec3(1.0f, 0.0f, 0.0f);
  struct SCase {
    const char* source;
    plat::Vec3 where;
    float range;
    int state;
    bool window;
    bool hurts;
  } cases[] = {
      {"grenade_enemy", near, 2.0f, CPlayerController::kIdle, false, true},
      {"player", near, 2.0f, CPlayerController::kIdle, false, false},
      {"grenade_enemy", near, 1.0f, CPlayerController::kIdle, false, false},  // strict range
      {"grenade_enemy", near, 2.0f, CPlayerController::kExplosionHit, false, false},
      {"grenade_enemy", near, 2.0f, CPlayerController::kIdleCinematic, false, false},
      {"grenade_enemy", near, 2.0f, CPlayerController::kCombo, true, false},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.source << " range " << c.range << " state " << c.state);
    controller->Restart();
    Frame();
    controller->life = 100;
    Enter(c.state);
    combo->windowOpen = c.window ? 1 : 0;
    Explosion(c.source, c.where, c.range);
    EXPECT_EQ(controller->state, c.hurts ? CPlayerController::kExplosionHit : c.state);
    combo->windowOpen = 0;
    if (!c.hurts) continue;
    Frame();
    EXPECT_EQ(controller->life, 100 - evn::CEventExplosion::kDamage);
    EXPECT_TRUE(Plays("wave_hit_01"));
    EXPECT_EQ(controller->flashActive, 1);
  }
}

// An explosion's hit flashes the screen for half a second: the screen effect goes
// on, restarted only when it was off, and off again when the flash is over or the
// player restarts.
TEST_F(Reactions, AnExplosionHitFlashesTheScreenForHalfASecond) {
  gfx::CRenderManager render;
  bool* screen = render.filmLookSwitches;
  const int on = gfx::CRenderManager::kScreenEffect;
  const int restart = gfx::CRenderManager::kScreenEffectRestart;
  BuildWithEnemies();
  controller->life = 100;
  Enter(CPlayerController::kIdle);
  Explosion("grenade_enemy", transform->position, 3.0f);
  Frame();
  EXPECT_TRUE(screen[on]);
  EXPECT_TRUE(screen[restart]);
  screen[restart] = false;  // the pass takes it
  int frames = 1;
  for (; frames < 120 && screen[on]; ++frames) Frame();
  EXPECT_NEAR(frames * kDt, CPlayerController::kFlashTime, 3 * kDt);
  EXPECT_EQ(controller->flashActive, 0);

  // A flash that finds the effect already on leaves its animation running.
  screen[on] = true;
  controller->Restart();
  Frame();
  Enter(CPlayerController::kIdle);
  Explosion("grenade_enemy", transform->position, 3.0f);
  Frame();
  EXPECT_TRUE(screen[on]);
  EXPECT_FALSE(screen[restart]);
  // A restart in the middle of a flash takes it off the screen.
  controller->Restart();
  EXPECT_FALSE(screen[on]);
  EXPECT_EQ(controller->flashActive, 0);
}

TEST_F(Reactions, TheFirstExplosionOfALifeStartsTheTaunt) {
  BuildWithEnemies();
  const size_t timers = events.TimerCount();
  Enter(CPlayerController::kIdle);
  Explosion("grenade_enemy", transform->position, 3.0f);
  EXPECT_EQ(events.TimerCount(), timers + 1);
  EXPECT_EQ(controller->firstExplosionHit, 0);
  controller->Restart();
  EXPECT_EQ(controller->firstExplosionHit, 1);
}

TEST_F(Reactions, AttacksAndWavesWithoutAnAttackerAreIgnored) {
  BuildWithEnemies();
  Enter(CPlayerController::kIdle);
  auto* attack =
      evn::CEventEnemyAttack::New(nullptr, 10, 0.0f, 9.0f, 3.0f, CStringHash("attack_vomit"));
  controller->HandleEvent(attack);
  attack->Release();
  auto* wave = evn::CEventShockWave::New(nullptr, CStringHash("krauser"), transform->position,
                                         10.0f, 10.0f, 20);
  controller->HandleEvent(wave);
  wave->Release();
  Frames(30);
  EXPECT_EQ(posted.hits, 0);
  EXPECT_EQ(controller->life, 100);
  EXPECT_NE(Joined().find("without an attacker"), std::string::npos);
}

TEST_F(Reactions, AShockWaveArrivesWithItsFalloffAndThrowsThePlayer) {
  BuildWithEnemies();
  Enter(CPlayerController::kIdle);
  // 2.5 units from a wave of range 10: falloff 2.5 / 5, so half of 40.
  const plat::Vec3 centre = transform->position + plat::Vec3(0.0f, 0.0f, -2.5f);
  auto* wave = evn::CEventShockWave::New(Object("krauser"), CStringHash("krauser"), centre, 25.0f,
                                         10.0f, 40);
  controller->HandleEvent(wave);
  wave->Release();
  EXPECT_EQ(controller->pendingDamage, 20);
  EXPECT_EQ(controller->state, CPlayerController::kIdle);
  Frames(12);  // the wave travels 0.1 seconds
  EXPECT_EQ(controller->life, 80);
  EXPECT_EQ(controller->state, CPlayerController::kExplosionHit);
  EXPECT_EQ(posted.hits, 1);

  // A sender released while its wave travels: the wave comes to nothing.
  controller->Restart();
  Frame();
  Enter(CPlayerController::kIdle);
  wave = evn::CEventShockWave::New(Object("krauser"), CStringHash("krauser"), centre, 25.0f, 10.0f,
                                   40);
  controller->HandleEvent(wave);
  wave->Release();
  objects.QueueDestroy(Object("krauser")->GetId());
  Frames(12);
  EXPECT_EQ(Object("krauser"), nullptr);
  EXPECT_EQ(controller->state, CPlayerController::kIdle);
  EXPECT_EQ(controller->life, 80);
  EXPECT_NE(Joined().find("shock wave is gone"), std::string::npos);
}

// --- Fatalities ----------------------------------------------------------------------------

TEST_F(Reactions, TheFinishingMoveFollowsTheVictimsTemplate) {
  BuildWithEnemies();
  struct SCase {
    const char* victim;
    std::vector<std::string> allowed;
  } cases[] = {
      {"rotter", {"fatality_03"}},
      {"krauser", {"fatality_04"}},
      {"brute", {"fatality_01", "fatality_02"}},
      // An unlisted kind replays the move before it.
      {"stranger", {"fatality_01", "fatality_02"}},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.victim);
    controller->Restart();
    Frame();
    posted.fatalities.clear();
    obj::CGameObject* victim = Object(c.victim);
    controller->target = victim;
    controller->SetState(CPlayerController::kFatality);
    Frames(20);
    ASSERT_EQ(posted.fatalities.size(), 1u);
    const std::string name = posted.fatalities[0].substr(0, posted.fatalities[0].find(':'));
    EXPECT_NE(std::find(c.allowed.begin(), c.allowed.end(), name), c.allowed.end()) << name;
    EXPECT_EQ(posted.fatalities[0].substr(name.size() + 1), c.victim);
    EXPECT_TRUE(Plays(name.c_str()));
    const auto& requests = std::string(c.victim) == "krauser"
                               ? victim->GetComponent<CKrauserDouble>()->requests
                               : victim->GetComponent<CBerserkerDouble>()->requests;
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back(), std::make_pair(3, 0));
    // The victim stands on the record's point in front of the player, facing it.
    const plat::Vec3 at = victim->GetComponent<gfx::CTransform>()->position;
    EXPECT_NEAR(plat::Length(at - controller->fatalityPoint), 0.0f, 1e-4f);
    EXPECT_EQ(controller->fatalityPlaced, 1);
    EXPECT_EQ(player->GetComponent<CFightSlotMgr>()->hold, 1);
    // The move runs its length, then the player stands in idle_combat again.
    Frames(static_cast<int>(controller->stateDuration / kDt) + 3);
    EXPECT_EQ(controller->target, nullptr);
    EXPECT_EQ(controller->fatalityPlaced, 0);
    EXPECT_EQ(player->GetComponent<CFightSlotMgr>()->hold, 0);
  }
}

TEST_F(Reactions, AVictimNotReadyOrAnEscapeEndsTheFinishingMove) {
  BuildWithEnemies();
  obj::CGameObject* rotter = Object("rotter");
  rotter->GetComponent<CBerserkerDouble>()->ready = false;
  controller->target = rotter;
  controller->SetState(CPlayerController::kFatality);
  Frame();
  EXPECT_EQ(controller->state, CPlayerController::kIdleCombat);
  EXPECT_TRUE(rotter->GetComponent<CBerserkerDouble>()->requests.empty());
  Frames(3);
  EXPECT_TRUE(posted.fatalities.empty());

  // A guard raised while the victim still slides into place.
  rotter->GetComponent<CBerserkerDouble>()->ready = true;
  controller->target = rotter;
  controller->SetState(CPlayerController::kFatality);
  Frame();
  ASSERT_EQ(controller->state, CPlayerController::kFatality);
  Keys({plat::input::kKeySpace});
  Frame();
  EXPECT_EQ(controller->state, CPlayerController::kCover);
  EXPECT_EQ(controller->target, nullptr);
  Keys({});
  Frames(10);
  EXPECT_TRUE(posted.fatalities.empty());
}

TEST_F(Reactions, ABlowDuringTheSlideDropsTheFinishingMove) {
  BuildWithEnemies();
  controller->target = Object("rotter");
  controller->SetState(CPlayerController::kFatality);
  Frame();
  ASSERT_EQ(controller->fatalityStarted, 1);
  WeaponHit("grunt");
  EXPECT_EQ(controller->state, CPlayerController::kHit);
  EXPECT_EQ(controller->target, nullptr);
  EXPECT_EQ(controller->fatalityStarted, 0);
}

// --- Use of objects ------------------------------------------------------------------------

TEST_F(Reactions, TheUsePromptShowsInsideFiftyDegreesAndGoesBeyondSeventy) {
  BuildWithEnemies(
      "<GameObject name='lever' GameObjectTemplate='usable'><Component name='CTransform'/>"
      "</GameObject>");
  obj::CGameObject* lever = Object("lever");
  gfx::CTransform* leverTransform = lever->GetComponent<gfx::CTransform>();
  auto* offer = evn::CEventEnableUse::New();
  offer->usable = true;
  offer->objectName = CStringHash("lever");
  controller->HandleEvent(offer);
  offer->Release();
  ASSERT_EQ(controller->useInRange, 1);
  // Angles from the player's facing, in order: the prompt keeps its last state
  // between the two cones.
  struct SStep {
    float degrees;
    bool shown;
  } steps[] = {{0, true},   {40, true},  {60, true},  {75, false},
               {60, false}, {-45, true}, {-65, true}, {-71, false}};
  for (const SStep& step : steps) {
    SCOPED_TRACE(step.degrees);
    const float yaw = transform->yaw + step.degrees * 3.14159265f / 180.0f;
    leverTransform->position =
        transform->position + plat::Vec3(3.0f * std::sin(yaw), 0.0f, 3.0f * std::cos(yaw));
    leverTransform->UpdateMatrix();
    Frame();
    EXPECT_EQ(controller->usePromptShown, step.shown ? 1 : 0);
    EXPECT_EQ(g_prompt, step.shown ? "hud/Keyboard_K.dds" : "(hidden)");
  }
}

// An offer withdrawn takes its button with it, and the use key then draws the
// player nowhere.
TEST_F(Reactions, AWithdrawnOfferHidesThePromptAndTheUseKeyDoesNothing) {
  BuildWithEnemies(
      "<GameObject name='crate' GameObjectTemplate='usable'><Component name='CTransform'>"
      "<key name='position' X='0' Y='0' Z='-6'/></Component>"
      "<Script file='Data/scripts/tests/lever.lua'/></GameObject>");
  auto offer = [&](bool usable) {
    auto* event = evn::CEventEnableUse::New();
    event->usable = usable;
    event->objectName = CStringHash("crate");
    controller->HandleEvent(event);
    event->Release();
  };
  offer(true);
  Frame();
  ASSERT_EQ(controller->usePromptShown, 1);
  ASSERT_EQ(g_prompt, "hud/Keyboard_K.dds");
  offer(false);
  EXPECT_EQ(g_prompt, "(hidden)");
  EXPECT_EQ(controller->usePromptShown, 0);
  EXPECT_EQ(controller->useInRange, 0);
  Frame();
  EXPECT_EQ(g_prompt, "(hidden)") << "the prompt comes back for an offer that is gone";
  const plat::Vec3 before = transform->position;
  Keys({plat::input::kKeyK});
  Frame();
  Keys({});
  Frames(12);
  EXPECT_NE(controller->state, CPlayerController::kUse);
  EXPECT_LT(plat::Length(transform->position - before), 0.05f);
  EXPECT_TRUE(posted.uses.empty());
}

TEST_F(Reactions, UsingAnObjectDrawsThePlayerToItsStandPointAndReportsBothEnds) {
  BuildWithEnemies(
      "<GameObject name='lever' GameObjectTemplate='usable'><Component name='CTransform'>"
      "<key name='position' X='0' Y='0' Z='-3'/></Component>"
      "<Script file='Data/scripts/tests/lever.lua'>"
      "<key name='player_relative_position_x' value='1'/>"
      "<key name='player_relative_position_z' value='2'/>"
      "<key name='player_lookat_position_z' value='-1'/></Script></GameObject>"
      "<GameObject name='crate' GameObjectTemplate='usable'><Component name='CTransform'>"
      "<key name='position' X='0.5' Y='0' Z='-4'/></Component>"
      "<Script file='Data/scripts/tests/lever.lua'/></GameObject>");
  struct SCase {
    const char* object;
    plat::Vec3 standPoint;
  } cases[] = {
      {"lever", plat::Vec3(1.0f, 0.0f, -1.0f)},
      // No script values: the object's own origin.
      {"crate", plat::Vec3(0.5f, 0.0f, -4.0f)},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.object);
    controller->Restart();
    Frame();
    posted.uses.clear();
    auto* offer = evn::CEventEnableUse::New();
    offer->usable = true;
    offer->objectName = CStringHash(c.object);
    controller->HandleEvent(offer);
    offer->Release();
    Frame();
    ASSERT_EQ(controller->usePromptShown, 1);
    Keys({plat::input::kKeyK});
    Frame();
    Keys({});
    Frames(12);
    EXPECT_EQ(controller->state, CPlayerController::kUse);
    EXPECT_EQ(controller->usePlayerAnimation.Get(), CStringHash("death_01"));
    EXPECT_TRUE(Plays("death_01"));
    EXPECT_EQ(controller->usePlaced, 1);
    EXPECT_NEAR(plat::Length(controller->useStandPoint - c.standPoint), 0.0f, 1e-4f);
    // Put there, then moved a little by the animation's own root motion.
    EXPECT_NEAR(transform->position.x, c.standPoint.x, 0.05f);
    EXPECT_NEAR(transform->position.z, c.standPoint.z, 0.05f);
    ASSERT_EQ(posted.uses.size(), 1u);
    EXPECT_EQ(posted.uses[0], std::string(c.object) + ":begin");
    Frames(static_cast<int>(controller->stateDuration / kDt) + 3);
    EXPECT_EQ(controller->state, CPlayerController::kIdle);
    ASSERT_EQ(posted.uses.size(), 2u);
    EXPECT_EQ(posted.uses[1], std::string(c.object) + ":end");
    EXPECT_EQ(controller->useActive, 0);
    EXPECT_EQ(g_prompt, "(hidden)") << "the button outlives the use";
  }
}

TEST_F(Reactions, AnExplosionDuringAUseLeavesThePlayerOpenToTheNextOffer) {
  BuildWithEnemies(
      "<GameObject name='crate' GameObjectTemplate='usable'><Component name='CTransform'>"
      "<key name='position' X='0' Y='0' Z='-2'/></Component>"
      "<Script file='Data/scripts/tests/lever.lua'/></GameObject>");
  auto* offer = evn::CEventEnableUse::New();
  offer->usable = true;
  offer->objectName = CStringHash("crate");
  controller->HandleEvent(offer);
  offer->Release();
  Frame();
  Keys({plat::input::kKeyK});
  Frame();
  Keys({});
  Frames(12);
  ASSERT_EQ(controller->state, CPlayerController::kUse);
  ASSERT_EQ(controller->useActive, 1);
  Explosion("grenade_enemy", transform->position, 3.0f);
  EXPECT_EQ(controller->state, CPlayerController::kExplosionHit);
  EXPECT_EQ(controller->useActive, 0);
  // The object is no longer offered: the player hears it.
  offer = evn::CEventEnableUse::New();
  offer->usable = false;
  offer->objectName = CStringHash("crate");
  controller->HandleEvent(offer);
  offer->Release();
  EXPECT_EQ(controller->useInRange, 0);
}

TEST_F(Reactions, AUseRequestWithoutThePromptFallsBackToIdle) {
  BuildWithEnemies();
  controller->SetState(CPlayerController::kUse);
  Frame();
  EXPECT_EQ(controller->state, CPlayerController::kIdle);
  EXPECT_EQ(controller->useActive, 0);
}

}  // namespace
}  // namespace test
}  // namespace vd
