#include "engine/events/GameEvents.h"

#include <gtest/gtest.h>

#include <lua.hpp>
#include <luabind/luabind.hpp>

#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "engine/core/EngineNames.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "tests/support/LuaFixture.h"

namespace vd {
namespace evn {
namespace {

using Lines = std::vector<std::string>;

template <class T>
uint32_t Used() {
  return T::GetPool().UsedCount();
}

// Every game class, from the one list: its names, its pool and its chunk size.
struct SClass {
  const CStringHash* className;
  const CStringHash* messageName;
  const char* message;
  uint32_t (*used)();
  uint32_t chunk;
};

#define HM_CLASS(name, n) \
  SClass{&SH_CEvent##name, &SH_On##name, "On" #name, &Used<CEvent##name>, CEvent##name::kChunkSize},
const SClass kClasses[] = {HM_GAME_EVENTS(HM_CLASS)};
#undef HM_CLASS

// The chunk sizes the game's pools are sized for.
const std::map<std::string, uint32_t> kExpectedChunks = {
    {"OnHUDChange", 4},  {"OnZoneChange", 10}, {"OnPlayerAttack", 2}, {"OnEnemyAttack", 1},
    {"OnCinematic", 1},  {"OnSequence", 5},    {"OnReachPos", 5},     {"OnAction", 10},
    {"OnDeath", 5},      {"OnHit", 2},         {"OnShockWave", 1},    {"OnShake", 5},
    {"OnEnableUse", 1},  {"OnUse", 5},         {"OnFatality", 1},     {"OnExplosion", 5},
    {"OnEndGame", 1},    {"OnOrbAbsorved", 5},
};

uint32_t TotalUsed() {
  uint32_t total = 0;
  for (const SClass& c : kClasses) total += c.used();
  return total;
}

// Compares two tables key by key in both directions and names the first key
// that differs.
const char* kSameTable =
    "function SameTable(a, b)\n"
    "  for k, v in pairs(a) do if b[k] ~= v then return false, k end end\n"
    "  for k, v in pairs(b) do if a[k] ~= v then return false, k end end\n"
    "  return true\n"
    "end\n"
    "function CheckSame(got, want, what)\n"
    "  local same, key = SameTable(got, want)\n"
    "  assert(same, what .. ': key ' .. tostring(key) .. ' differs')\n"
    "end\n";

class GameEvents : public test::LuaFixture {
protected:
  void SetUp() override {
    LuaFixture::SetUp();
    RegisterEngineEventFactories(makers);
    RegisterGameEventFactories(makers);
    Run(kSameTable);
  }
  void TearDown() override {
    UnregisterGameEventFactories(makers);
    UnregisterEngineEventFactories(makers);
    LuaFixture::TearDown();
  }

  luabind::object Eval(const std::string& expression) {
    Run(("__value = " + expression).c_str());
    luabind::object value = luabind::globals(host.GetState())["__value"];
    Run("__value = nil");
    return value;
  }
  void Expose(const char* name, const luabind::object& value) {
    luabind::globals(host.GetState())[name] = value;
  }
  // The event's table must hold exactly the keys and values of `want`.
  void ExpectTable(IEvent* event, const std::string& want, const std::string& what) {
    Expose("got", event->GetLuaObject());
    Expose("want", Eval(want));
    EXPECT_TRUE(host.RunString(("CheckSame(got, want, '" + what + "')").c_str(), "check"))
        << Joined();
  }

  utl::FactoryMap<IEvent> makers;
};

TEST_F(GameEvents, EachClassHasItsMakerPoolAndMessageName) {
  EXPECT_EQ(makers.size(), 6u + 18u);
  ASSERT_EQ(std::size(kClasses), kExpectedChunks.size());
  for (const SClass& c : kClasses) {
    SCOPED_TRACE(c.message);
    ASSERT_EQ(kExpectedChunks.count(c.message), 1u);
    EXPECT_EQ(c.chunk, kExpectedChunks.at(c.message));
    const uint32_t before = c.used();
    IEvent* event = utl::CreateByName(makers, *c.className);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(c.used(), before + 1) << "drawn from its own pool";
    EXPECT_EQ(event->GetType(), *c.messageName);
    EXPECT_EQ(event->GetType().GetHash(), ComputeHash(c.message));
    // The type record refers to the static name's text.
    EXPECT_EQ(event->GetName(), c.messageName->GetText());
    EXPECT_FALSE(event->GetType().OwnsText());
    EXPECT_EQ(*event->GetScriptMode(), kScriptModeScriptsAndListeners);
    EXPECT_EQ(event->GetTarget(), nullptr);
    EXPECT_TRUE(event->IsValid());
    event->Release();
    EXPECT_EQ(c.used(), before);
  }

  // Unregistering leaves the engine's makers alone.
  UnregisterGameEventFactories(makers);
  EXPECT_EQ(makers.size(), 6u);
  EXPECT_EQ(utl::CreateByName(makers, SH_CEventShake), nullptr);
  RegisterGameEventFactories(makers);
}

TEST_F(GameEvents, MakersGiveMarkersZerosAndEmptyNames) {
  auto* hud = static_cast<CEventHUDChange*>(utl::CreateByName(makers, SH_CEventHUDChange));
  EXPECT_EQ(hud->score, -1);
  EXPECT_EQ(hud->life, -1);
  EXPECT_EQ(hud->gas, -1.0f);
  EXPECT_EQ(hud->grenades, -1);
  EXPECT_EQ(hud->bossLife, -1);
  EXPECT_EQ(hud->bossLifeInit, -1);
  EXPECT_EQ(hud->cronoTime, -1.0f);
  EXPECT_EQ(hud->hideSpeed, -1.0f);
  EXPECT_FALSE(hud->grenadesEmblemShow || hud->force || hud->hide || hud->unhide);
  hud->Release();

  auto* attack = static_cast<CEventEnemyAttack*>(utl::CreateByName(makers, SH_CEventEnemyAttack));
  EXPECT_EQ(attack->attacker, nullptr);
  EXPECT_EQ(attack->damage, 0);
  EXPECT_EQ(attack->rangeMin, 0.0f);
  EXPECT_EQ(attack->rangeMax, 0.0f);
  EXPECT_EQ(attack->angle, 0.0f);
  EXPECT_TRUE(attack->type.IsNoName());
  attack->Release();

  // Fields no script can reach start empty.
  auto* reach = static_cast<CEventReachPos*>(utl::CreateByName(makers, SH_CEventReachPos));
  EXPECT_EQ(reach->target, nullptr);
  EXPECT_EQ(reach->gameObject.Get(), nullptr);
  reach->Release();
  auto* fatality = static_cast<CEventFatality*>(utl::CreateByName(makers, SH_CEventFatality));
  EXPECT_EQ(fatality->position, plat::Vec3(0, 0, 0));
  EXPECT_TRUE(fatality->fatalityName.IsNoName());
  fatality->Release();
}

// A script's table made into an event and back: the event's table has exactly
// the keys of `out` (or of `in` when no `out` is given).
TEST_F(GameEvents, EveryClassRoundTripsThroughALuaTable) {
  struct SCase {
    const char* className;
    const char* in;
    const char* out;
  };
  const char* hudMarkers =
      "score = -1, life = -1, gas = -1, grenades = -1, grenades_emblem_show = false, "
      "force = false, boss_life = -1, boss_life_init = -1, crono_time = -1, hide = false, "
      "unhide = false, hide_speed = -1";
  const std::string onlyScore = std::string("{ ") + hudMarkers + ", score = 10 }";
  const std::string onlySpeed = std::string("{ ") + hudMarkers + ", hide_speed = 0.5 }";
  const SCase cases[] = {
      {"CEventHUDChange", "{ score = 10 }", onlyScore.c_str()},
      {"CEventHUDChange", "{ hide = false, hide_speed = 0.5, life = nil }", onlySpeed.c_str()},
      {"CEventHUDChange",
       "{ score = 1, life = 2, gas = 0.5, grenades = 3, grenades_emblem_show = true, force = true, "
       "boss_life = 4, boss_life_init = 5, crono_time = 90.25, hide = true, unhide = true, "
       "hide_speed = 0.75 }",
       nullptr},
      {"CEventZoneChange", "{ zone = 3, zone_prev = 2 }", nullptr},
      {"CEventPlayerAttack", "{ begin = true, damage = 12, type = 'HOLDING_ATTACK' }", nullptr},
      {"CEventEnemyAttack",
       "{ damage = 3, range_min = 0.5, range_max = 2.5, angle = 1.25, type = 'attack_vomit' }",
       nullptr},
      {"CEventCinematic", "{ playing = true }", nullptr},
      {"CEventSequence", "{ name = 'intro', gameobject = 'boss' }",
       "{ name = 'intro', gameobject = 'boss', begin = true }"},
      {"CEventSequence", "{ name = 'outro', gameobject = 'boss', begin = false }",
       "{ name = 'outro', gameobject = 'boss', begin = true }"},
      {"CEventReachPos", "{ gameobject = 'zombie1', pos_id = 'gate', waypoint = 4 }", nullptr},
      {"CEventAction",
       "{ gameobject = 'mutant2', name = 'throw', id = 'g1', begin = false, "
       "playlist_type = 'wave', playlist_group = 2, playlist_id = 7 }",
       nullptr},
      {"CEventDeath", "{ type = 'enemy', name = 'krauser', group = 3 }", nullptr},
      {"CEventHit", "{ game_object_receiver = 'krauser', game_object_attacker = 'player' }",
       nullptr},
      {"CEventShockWave",
       "{ attacker = 'krauser', pos_x = 1, pos_y = -2.5, pos_z = 3, speed = 4, range = 5.5, "
       "damage = 6 }",
       nullptr},
      {"CEventShake", "{ power = 0.75, timer = 1.5 }", nullptr},
      {"CEventEnableUse", "{ usable = true, object_name = 'lever' }", nullptr},
      {"CEventUse", "{ object_name = 'lever', begin = true }", nullptr},
      {"CEventFatality",
       "{ fatality_name = 'fatality_1', fatality_target_name = 'zombie3', duration = 2.5, "
       "kill_frame = 1.25 }",
       nullptr},
      {"CEventExplosion",
       "{ source = 'player', pos_x = 1, pos_y = 2, pos_z = 3, range = 7.5, damage = 9 }", nullptr},
      {"CEventEndGame", "{ anything = 1 }", "{}"},
      {"CEventOrbAbsorved", "{ type_name = 'gas_orb' }", nullptr},
  };
  // Strings built at run time, so that only the events' copies keep them.
  Run("function Fresh(t) local c = {} for k, v in pairs(t) do\n"
      "  if type(v) == 'string' then c[k] = v .. '' .. string_suffix else c[k] = v end\n"
      "end return c end\n"
      "string_suffix = ''");
  for (const SCase& c : cases) {
    SCOPED_TRACE(std::string(c.className) + " " + c.in);
    const uint32_t before = TotalUsed();
    IEvent* event = CreateEventFromLua(makers, CStringHash(c.className),
                                       Eval(std::string("Fresh(") + c.in + ")"));
    ASSERT_NE(event, nullptr);
    Run("collectgarbage(); collectgarbage()");
    ExpectTable(event, c.out ? c.out : c.in, c.className);
    event->Release();
    EXPECT_EQ(TotalUsed(), before);
  }
}

TEST_F(GameEvents, ScriptValuesLandInTheRightFields) {
  auto* hud = static_cast<CEventHUDChange*>(
      CreateEventFromLua(makers, SH_CEventHUDChange, Eval("{ hide_speed = 0.5, gas = 2 }")));
  EXPECT_FLOAT_EQ(hud->hideSpeed, 0.5f);
  EXPECT_FLOAT_EQ(hud->gas, 2.0f);
  EXPECT_EQ(hud->score, -1);
  hud->Release();

  // Numbers beyond the int range are clamped rather than cast blindly.
  hud = static_cast<CEventHUDChange*>(CreateEventFromLua(
      makers, SH_CEventHUDChange, Eval("{ score = 1e20, life = -1e20, grenades = 0/0 }")));
  EXPECT_EQ(hud->score, std::numeric_limits<int>::max());
  EXPECT_EQ(hud->life, std::numeric_limits<int>::min());
  EXPECT_EQ(hud->grenades, 0);
  hud->Release();

  auto* zone = static_cast<CEventZoneChange*>(
      CreateEventFromLua(makers, SH_CEventZoneChange, Eval("{ zone = -1, zone_prev = 4.9 }")));
  EXPECT_EQ(zone->zone, -1);
  EXPECT_EQ(zone->zonePrev, 4) << "numbers truncate toward zero";
  EXPECT_FALSE(zone->IsValid());
  zone->zone = 0;
  EXPECT_TRUE(zone->IsValid());
  zone->Release();

  auto* wave = static_cast<CEventShockWave*>(CreateEventFromLua(
      makers, SH_CEventShockWave,
      Eval("{ attacker = 'krauser', pos_x = 1, pos_y = 2, pos_z = 3, speed = 4, range = 5, "
           "damage = 6 }")));
  EXPECT_EQ(wave->attackerObject, nullptr);
  EXPECT_EQ(wave->attacker.GetHash(), ComputeHash("krauser"));
  EXPECT_EQ(wave->pos, plat::Vec3(1, 2, 3));
  EXPECT_EQ(wave->speed, 4.0f);
  EXPECT_EQ(wave->range, 5.0f);
  EXPECT_EQ(wave->damage, 6);
  wave->Release();

  // A script-made explosion carries the script's damage; its source is a name.
  auto* boom = static_cast<CEventExplosion*>(CreateEventFromLua(
      makers, SH_CEventExplosion,
      Eval("{ source = 'barrel', pos_x = 0, pos_y = 0, pos_z = 0, range = 2, damage = 40 }")));
  EXPECT_EQ(boom->damage, 40);
  EXPECT_EQ(boom->source.GetHash(), ComputeHash("barrel"));
  EXPECT_TRUE(boom->source.OwnsText());
  boom->Release();

  auto* action = static_cast<CEventAction*>(CreateEventFromLua(
      makers, SH_CEventAction,
      Eval("{ gameobject = 'a', name = 'b', id = 'c', begin = true, playlist_type = 'd', "
           "playlist_group = 5, playlist_id = 6 }")));
  EXPECT_STREQ(action->gameObject.Get(), "a");
  EXPECT_STREQ(action->name.Get(), "b");
  EXPECT_STREQ(action->id.Get(), "c");
  EXPECT_STREQ(action->playlistType.Get(), "d");
  EXPECT_EQ(action->playlistGroup, 5);
  EXPECT_EQ(action->playlistId, 6);
  action->Release();
}

TEST_F(GameEvents, MissingOrMistypedKeysFailAndGiveTheEventBack) {
  struct SCase {
    const char* className;
    const char* table;
  };
  const SCase cases[] = {
      {"CEventPlayerAttack", "{ begin = true, type = 'SWING' }"},              // no damage
      {"CEventHUDChange", "{ score = 'ten' }"},                                // set, not a number
      {"CEventHUDChange", "{ hide = 1 }"},                                     // set, not a boolean
      {"CEventHUDChange", "'hud'"},                                            // not a table
      {"CEventSequence", "{ name = 'intro' }"},                                // no gameobject
      {"CEventZoneChange", "{ zone = '2', zone_prev = 1 }"},
      {"CEventEnableUse", "{ usable = true, object_name = 3 }"},
      {"CEventUse", "{ object_name = 'lever', begin = 1 }"},
      {"CEventAction", "{ gameobject = 'a', name = 'b', id = 'c', begin = true, "
                       "playlist_type = 'd', playlist_group = 5 }"},
      {"CEventExplosion", "{ pos_x = 0, pos_y = 0, pos_z = 0, range = 2, damage = 1 }"},
      {"CEventFatality", "{ fatality_name = 'f', fatality_target_name = 't', duration = 1 }"},
      {"CEventDeath", "nil"},
      {"CEventOrbAbsorved", "{}"},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(std::string(c.className) + " " + c.table);
    const uint32_t before = TotalUsed();
    EXPECT_THROW(CreateEventFromLua(makers, CStringHash(c.className), Eval(c.table)),
                 luabind::cast_failed);
    EXPECT_EQ(TotalUsed(), before);
  }
  EXPECT_TRUE(Logged("key 'damage' is missing or not a number")) << Joined();
  EXPECT_TRUE(Logged("Event CEventPlayerAttack could not be made from the script's table"));

  // The end of the game needs nothing at all.
  IEvent* end = CreateEventFromLua(makers, SH_CEventEndGame, Eval("nil"));
  ASSERT_NE(end, nullptr);
  end->Release();
}

// What the posters build, as the scripts see it.
TEST_F(GameEvents, PostersEventsReadInLuaUnderTheirKeys) {
  obj::CGameObject* const boss = reinterpret_cast<obj::CGameObject*>(0x1000);
  struct SCase {
    std::function<IEvent*()> make;
    const char* table;
  };
  static std::string source;
  const SCase cases[] = {
      {[] {
         auto* e = CEventHUDChange::New();
         e->life = 80;
         e->unhide = true;
         return e;
       },
       "{ score = -1, life = 80, gas = -1, grenades = -1, grenades_emblem_show = false, "
       "force = false, boss_life = -1, boss_life_init = -1, crono_time = -1, hide = false, "
       "unhide = true, hide_speed = -1 }"},
      {[] {
         auto* e = CEventZoneChange::New();
         e->zone = 5;
         e->zonePrev = 4;
         return e;
       },
       "{ zone = 5, zone_prev = 4 }"},
      {[] { return CEventPlayerAttack::New(false, 20, CStringHash("HOLDING_ATTACK")); },
       "{ begin = false, damage = 20, type = 'HOLDING_ATTACK' }"},
      {[=] { return CEventEnemyAttack::New(boss, 7, 0.5f, 3.0f, 0.25f, CStringHash("attack_vomit")); },
       "{ damage = 7, range_min = 0.5, range_max = 3, angle = 0.25, type = 'attack_vomit' }"},
      {[] {
         auto* e = CEventCinematic::New();
         e->playing = true;
         return e;
       },
       "{ playing = true }"},
      {[] { return CEventSequence::New("taunt", false, "zombie2"); },
       "{ name = 'taunt', gameobject = 'zombie2', begin = false }"},
      {[] {
         auto* e = CEventReachPos::New();
         e->gameObject.Borrow("camera");
         e->posId.Borrow("rail_end");
         e->waypoint = 9;
         return e;
       },
       "{ gameobject = 'camera', pos_id = 'rail_end', waypoint = 9 }"},
      {[] { return CEventAction::New("mutant1", "grenade", "g7", true, "boss", 3, 11); },
       "{ gameobject = 'mutant1', name = 'grenade', id = 'g7', begin = true, "
       "playlist_type = 'boss', playlist_group = 3, playlist_id = 11 }"},
      {[] {
         auto* e = CEventDeath::New();
         e->type.Borrow("player");
         e->name.Borrow("player");
         return e;
       },
       "{ type = 'player', name = 'player', group = 0 }"},
      {[] {
         auto* e = CEventHit::New();
         e->receiver.Borrow("krauser");
         e->attacker.Borrow("player");
         return e;
       },
       "{ game_object_receiver = 'krauser', game_object_attacker = 'player' }"},
      {[=] {
         return CEventShockWave::New(boss, CStringHash("krauser"), plat::Vec3(1, 2, 3), 8.0f,
                                     12.0f, 30);
       },
       "{ attacker = 'krauser', pos_x = 1, pos_y = 2, pos_z = 3, speed = 8, range = 12, "
       "damage = 30 }"},
      {[] {
         auto* e = CEventShake::New();
         e->power = 0.5f;
         e->timer = 0.25f;
         return e;
       },
       "{ power = 0.5, timer = 0.25 }"},
      {[] {
         auto* e = CEventEnableUse::New();
         e->usable = true;
         e->objectName = "valve";
         return e;
       },
       "{ usable = true, object_name = 'valve' }"},
      {[] {
         auto* e = CEventUse::New();
         e->objectName.Borrow("valve");
         e->begin = false;
         return e;
       },
       "{ object_name = 'valve', begin = false }"},
      {[] {
         source = "fatality_spine";
         std::string target = "zombie4";
         auto* e = CEventFatality::New(CStringHash(source.c_str()), CStringHash(target.c_str()),
                                       plat::Vec3(4, 5, 6), 3.5f, 1.75f);
         source = "overwritten";  // the names were copied
         return e;
       },
       "{ fatality_name = 'fatality_spine', fatality_target_name = 'zombie4', duration = 3.5, "
       "kill_frame = 1.75 }"},
      {[] {
         source = "mutant";
         auto* e = CEventExplosion::New(CStringHash(source.c_str()), plat::Vec3(1, 0, -1), 5.0f);
         source = "overwritten";
         return e;
       },
       "{ source = 'mutant', pos_x = 1, pos_y = 0, pos_z = -1, range = 5, damage = 5 }"},
      {[] { return CEventEndGame::New(); }, "{}"},
      {[] {
         auto* e = CEventOrbAbsorved::New();
         e->typeName.Borrow("life_orb");
         return e;
       },
       "{ type_name = 'life_orb' }"},
  };
  for (const SCase& c : cases) {
    IEvent* event = c.make();
    SCOPED_TRACE(event->GetName());
    ExpectTable(event, c.table, event->GetName());
    event->Release();
  }
  EXPECT_EQ(TotalUsed(), 0u);
}

TEST_F(GameEvents, PostersNamesAreCopiedOrBorrowedAsDocumented) {
  const CStringHash step("COMBO_1");
  auto* attack = CEventPlayerAttack::New(true, 1, step);
  EXPECT_EQ(attack->type.GetText(), step.GetText()) << "borrowed";
  EXPECT_FALSE(attack->type.OwnsText());
  attack->Release();

  auto* fatality = CEventFatality::New(CStringHash("f"), CStringHash(), plat::Vec3(), 1.0f, 0.5f);
  EXPECT_TRUE(fatality->fatalityName.OwnsText());
  EXPECT_TRUE(fatality->fatalityTargetName.IsNoName()) << "no name stays no name";
  EXPECT_EQ(fatality->position, plat::Vec3());
  fatality->Release();

  auto* boom = CEventExplosion::New(CStringHash("player"), plat::Vec3(1, 2, 3), 7.5f);
  EXPECT_EQ(boom->damage, 5);
  EXPECT_TRUE(boom->source.OwnsText());
  EXPECT_EQ(boom->pos, plat::Vec3(1, 2, 3));
  EXPECT_EQ(boom->range, 7.5f);
  boom->Release();

  // Each call builds a fresh table.
  auto* shake = CEventShake::New();
  Expose("first", shake->GetLuaObject());
  shake->power = 2.0f;
  Expose("second", shake->GetLuaObject());
  Run("assert(first ~= second and first.power == 0 and second.power == 2)");
  shake->Release();
}

TEST(GameEventTypes, TypeRecordsComeFromTheGameNames) {
  CEventOrbAbsorved::s_type = CStringHash();
  auto* orb = CEventOrbAbsorved::New();
  EXPECT_EQ(orb->GetName(), nullptr);
  InitGameEventTypes();
  EXPECT_EQ(orb->GetName(), SH_OnOrbAbsorved.GetText());
  EXPECT_STREQ(orb->GetName(), "OnOrbAbsorved");
  orb->Release();
}

// Through the event manager ------------------------------------------------------

struct SRecorder : IEventListener {
  SRecorder(std::string who, Lines* into) : name(std::move(who)), trace(into) {}
  void HandleEvent(IEvent* event) override {
    trace->push_back(name + ":" + (event->GetName() ? event->GetName() : "?"));
    if (onEvent) onEvent(event);
  }
  std::string name;
  Lines* trace;
  std::function<void(IEvent*)> onEvent;
};

class GameEventDispatch : public test::LuaFixture {
protected:
  void SetUp() override {
    LuaFixture::SetUp();
    host.AddBindingRegistrar(&RegisterEventBindings);
    RegisterEngineEventFactories(manager.factories);
    RegisterGameEventFactories(manager.factories);
    ASSERT_TRUE(manager.Init());
  }
  void TearDown() override {
    manager.Clear();
    LuaFixture::TearDown();
  }
  Lines ScriptLines() const {
    Lines lines;
    for (const std::string& l : log)
      if (l.rfind("script: ", 0) == 0) lines.push_back(l.substr(8));
    return lines;
  }

  CEventManager manager;
  Lines trace;
};

TEST_F(GameEventDispatch, ScriptsCreateGameEventsByClassNameAndHandleThemInLua) {
  SRecorder hud("hud", &trace), all("all", &trace);
  int score = 0, life = 0;
  hud.onEvent = [&](IEvent* e) {
    score = static_cast<CEventHUDChange*>(e)->score;
    life = static_cast<CEventHUDChange*>(e)->life;
  };
  manager.AddListener(&hud, SH_OnHUDChange);
  manager.AddListener(&all, SH_event_all);
  Run("function OnHUDChange(e) Log('lua score ' .. e.score .. ' life ' .. e.life) end\n"
      "function OnEnableUse(e) Log('lua use ' .. type(e.object_name) .. ' ' .. e.object_name) end\n"
      "local events = GetEventManager()\n"
      "events:TriggerEvent('CEventHUDChange', { score = 10 })\n"
      "events:TriggerEvent('CEventEnableUse', { usable = true, object_name = 'lever' })\n"
      "events:TriggerEvent('CEventEndGame', nil)");
  EXPECT_TRUE(trace.empty());
  manager.Update(0.016f);
  EXPECT_EQ(ScriptLines(), Lines({"lua score 10 life -1", "lua use string lever"}));
  EXPECT_EQ(trace, Lines({"all:OnHUDChange", "hud:OnHUDChange", "all:OnEnableUse",
                          "all:OnEndGame"}));
  EXPECT_EQ(score, 10);
  EXPECT_EQ(life, -1);
  EXPECT_EQ(TotalUsed(), 0u);
}

TEST_F(GameEventDispatch, ReachPosReachesOnlyItsSubscribedPoster) {
  SRecorder poster("poster", &trace), other("other", &trace), all("all", &trace);
  manager.AddListener(&other, SH_OnReachPos);
  manager.AddListener(&all, SH_event_all);
  Run("function OnReachPos(e) Log('lua ' .. e.pos_id) end");

  auto post = [&](const char* where) {
    auto* reach = CEventReachPos::New();
    reach->gameObject.Borrow("zombie1");
    reach->posId.Borrow(where);
    reach->target = &poster;
    manager.PostEvent(reach);
  };
  post("unsubscribed");
  manager.Update(0.0f);
  EXPECT_TRUE(trace.empty()) << "a poster that does not listen receives nothing";

  manager.AddListener(&poster, SH_OnReachPos);
  post("subscribed");
  manager.Update(0.0f);
  EXPECT_EQ(trace, Lines({"poster:OnReachPos"}));
  EXPECT_TRUE(ScriptLines().empty()) << "targeted events skip the Lua handler";

  // Made by a script it has no target: a broadcast.
  trace.clear();
  Run("GetEventManager():TriggerEvent('CEventReachPos', "
      "{ gameobject = 'cam', pos_id = 'scripted', waypoint = 1 })");
  manager.Update(0.0f);
  EXPECT_EQ(ScriptLines(), Lines({"lua scripted"}));
  EXPECT_EQ(trace, Lines({"all:OnReachPos", "other:OnReachPos", "poster:OnReachPos"}));
}

TEST_F(GameEventDispatch, ABadTableIsAScriptErrorAndQueuesNothing) {
  EXPECT_FALSE(host.RunString(
      "GetEventManager():TriggerEvent('CEventPlayerAttack', { begin = true, type = 'X' })",
      "bad_attack"));
  EXPECT_FALSE(host.RunString("GetEventManager():TriggerEvent('CEventSequence', { name = 's' })",
                              "bad_sequence"));
  EXPECT_EQ(manager.PendingCount(), 0u);
  EXPECT_EQ(TotalUsed(), 0u);
  EXPECT_TRUE(Logged("Script error in bad_attack")) << Joined();
  EXPECT_TRUE(Logged("key 'gameobject' is missing or not a string"));
  Run("GetEventManager():TriggerEvent('CEventSequence', { name = 's', gameobject = 'g' })");
  EXPECT_EQ(manager.PendingCount(), 1u);
}

// A level script posts a game event and a timer at its start; each is handled in
// a later frame, and what a handler posts arrives in the frame after that.
TEST_F(GameEventDispatch, ScriptPostsAnEventAndATimerAndHandlesThemInLaterFrames) {
  ASSERT_TRUE(host.RunFile("tests/engine/events/frame_events.lua")) << Joined();
  SRecorder deaths("deaths", &trace);
  manager.AddListener(&deaths, SH_OnDeath);
  Run("StartLevel()");
  const float dt = 0.1f;
  for (int frame = 1; frame <= 6; ++frame) {
    Run(("frame = " + std::to_string(frame)).c_str());
    manager.Update(dt);
  }
  std::vector<std::string> seen;
  luabind::object table = luabind::globals(host.GetState())["seen"];
  for (luabind::iterator it(table), end; it != end; ++it)
    seen.push_back(luabind::object_cast<std::string>(*it));
  // The timer of 0.25 s runs down over frames 1 to 3 (0.1 each).
  EXPECT_EQ(seen, Lines({"hud 25 -1 0.5@1", "timer reinforcements wave2@3",
                         "death enemy wave2 2@4"}));
  EXPECT_EQ(trace, Lines({"deaths:OnDeath"}));
  EXPECT_EQ(manager.PendingCount(), 0u);
  EXPECT_EQ(manager.TimerCount(), 0u);
  EXPECT_EQ(TotalUsed(), 0u);
}

}  // namespace
}  // namespace evn
}  // namespace vd
