#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <lua.hpp>
#include <luabind/luabind.hpp>
#include <string>

#include "engine/core/EngineNames.h"
#include "engine/core/Locks.h"
#include "engine/events/EngineEvents.h"
#include "tests/support/LuaFixture.h"

namespace vd {
namespace evn {
namespace {

using test::LuaFixture;

class Events : public LuaFixture {
protected:
  void SetUp() override {
    LuaFixture::SetUp();
    RegisterEngineEventFactories(makers);
  }
  void TearDown() override {
    UnregisterEngineEventFactories(makers);
    SetEventWorldHooks(SEventWorldHooks{});
    LuaFixture::TearDown();
  }

  // The value of a Lua expression, as an object.
  luabind::object Eval(const std::string& expression) {
    Run(("__value = " + expression).c_str());
    return luabind::globals(host.GetState())["__value"];
  }
  // Stores the object as a Lua global so that assertions can run in Lua.
  void Expose(const char* name, const luabind::object& value) {
    luabind::globals(host.GetState())[name] = value;
  }
  template <class T>
  T* Make(const char* table) {
    return static_cast<T*>(CreateEventFromLua(makers, T::GetClassName(), Eval(table)));
  }

  utl::FactoryMap<IEvent> makers;
};

struct SListener : IEventListener {};
SListener g_door;
IEventListener* FindByName(const char* name) {
  return std::string(name) == "door" ? &g_door : nullptr;
}

TEST_F(Events, MakersDrawFromTheClassPoolAndSetUpEmptyEvents) {
  EXPECT_EQ(makers.size(), 6u);
  EXPECT_EQ(&CEventTimer::GetClassName(), &SH_CEventTimer);
  EXPECT_STREQ(CEventCollisionExit::s_type.GetText(), "OnCollisionExit");

  const uint32_t used = CEventTimer::GetPool().UsedCount();
  IEvent* event = utl::CreateByName(makers, SH_CEventTimer);
  ASSERT_NE(event, nullptr);
  auto* timer = static_cast<CEventTimer*>(event);
  EXPECT_EQ(CEventTimer::GetPool().UsedCount(), used + 1);
  EXPECT_FALSE(timer->IsFree());
  EXPECT_TRUE(timer->name.IsNoName());
  EXPECT_EQ(timer->GetTarget(), nullptr);
  EXPECT_FALSE(timer->HasTable());
  EXPECT_EQ(*timer->GetScriptMode(), 2);
  EXPECT_STREQ(timer->GetName(), "OnTimer");
  event->Release();
  EXPECT_EQ(CEventTimer::GetPool().UsedCount(), used);

  // A collision made by a script has empty fields, no target, and FromLua keeps it so.
  auto* hit = Make<CEventCollisionEnter>("{ collider_class_src = 'x' }");
  EXPECT_EQ(hit->GetTarget(), nullptr);
  EXPECT_TRUE(hit->sides.ownClass.IsNoName());
  EXPECT_EQ(hit->depth, 0.0f);
  hit->Release();
}

TEST_F(Events, TimerRoundTripKeepsOnlyNameAndData) {
  SetEventWorldHooks(SEventWorldHooks{&FindByName, nullptr});
  auto* timer =
      Make<CEventTimer>("{ name = 'open_door', time = 2.5, data = 'slow', dest = 'door' }");
  EXPECT_STREQ(timer->name.GetText(), "open_door");
  EXPECT_EQ(timer->name.GetHash(), ComputeHash("open_door"));
  EXPECT_FLOAT_EQ(timer->remaining, 2.5f);
  EXPECT_STREQ(timer->data.Get(), "slow");
  EXPECT_EQ(timer->GetTarget(), &g_door);
  Expose("t", timer->GetLuaObject());
  Run("local n = 0; for _ in pairs(t) do n = n + 1 end\n"
      "assert(n == 2 and t.name == 'open_door' and t.data == 'slow')");
  const uint32_t used = CEventTimer::GetPool().UsedCount();
  timer->Release();
  // A second release must neither free the copied texts again nor give the slot
  // back twice.
  timer->Release();
  EXPECT_EQ(CEventTimer::GetPool().UsedCount(), used - 1);

  // The poster's texts are borrowed, not copied.
  static const char kPayload[] = "payload";
  timer = CEventTimer::New(CStringHash("bell"), 1.0f, &g_door, kPayload, 7);
  EXPECT_EQ(timer->data.Get(), kPayload);
  EXPECT_FALSE(timer->data.Owned());
  EXPECT_FALSE(timer->name.OwnsText());
  EXPECT_EQ(timer->name.GetHash(), ComputeHash("bell"));
  EXPECT_EQ(timer->GetTarget(), &g_door);
  EXPECT_EQ(timer->tag, 7u);
  timer->Release();

  // An unknown or absent destination makes a broadcast.
  timer = Make<CEventTimer>("{ name = 'a', time = 0, data = '', dest = 'nobody' }");
  EXPECT_EQ(timer->GetTarget(), nullptr);
  timer->Release();
  timer = Make<CEventTimer>("{ name = 'a', time = 0, data = '', dest = false }");
  EXPECT_EQ(timer->GetTarget(), nullptr);
  timer->Release();
}

TEST_F(Events, MovementRoundTripReadsOnlySetKeys) {
  auto* move =
      Make<CEventMovement>("{ game_object = 'lift', name = 'up', type = 'linear', begin = true }");
  Expose("m", move->GetLuaObject());
  Run("assert(m.game_object == 'lift' and m.name == 'up' and m.type == 'linear' and m.begin == "
      "true)");
  // Only set keys change the event.
  move->FromLua(Eval("{ name = 'down', begin = false }"));
  EXPECT_STREQ(move->name.Get(), "down");
  EXPECT_STREQ(move->gameObject.Get(), "lift");
  EXPECT_TRUE(move->begin);
  move->Release();

  // The poster's texts are borrowed, and a missing text is nil in Lua.
  const char* object = "crate";
  move = CEventMovement::New(object, "slide", nullptr, false);
  EXPECT_EQ(move->gameObject.Get(), object);
  Expose("m", move->GetLuaObject());
  Run("assert(m.game_object == 'crate' and m.type == nil and m.begin == false)");
  move->Release();
}

obj::CGameObject* const kOther = reinterpret_cast<obj::CGameObject*>(0x1000);
luabind::object OtherToLua(lua_State* L, obj::CGameObject* object) {
  return luabind::object(L, object == kOther ? "other object" : "?");
}

TEST_F(Events, CollisionEventsOwnTheirClassTextsAndExportBothSides) {
  SetEventWorldHooks(SEventWorldHooks{nullptr, &OtherToLua});
  SListener receiver;
  std::string ownClass = "weapon_player";
  const char* ownName = "blade";
  auto* enter = CEventCollisionEnter::New(&receiver, kOther, ownClass.c_str(), "enemy", ownName, "",
                                          plat::Vec3{1, 2, 3}, plat::Vec3{0, 1, 0}, -0.25f);
  ownClass = "overwritten!";
  EXPECT_EQ(enter->GetTarget(), &receiver);
  EXPECT_TRUE(enter->sides.ownClass.OwnsText());
  EXPECT_STREQ(enter->sides.ownClass.GetText(), "weapon_player");
  EXPECT_EQ(enter->sides.ownName.GetText(), ownName);
  EXPECT_TRUE(enter->sides.otherName.IsNoName());
  Expose("c", enter->GetLuaObject());
  Run("assert(c.gameobject_dst == 'other object')\n"
      "assert(c.collider_class_src == 'weapon_player' and c.collider_class_dst == 'enemy')\n"
      "assert(c.collider_name_src == 'blade' and c.collider_name_dst == nil)");
  enter->Release();

  auto* exit = CEventCollisionExit::New(&receiver, nullptr, "logic", "player", nullptr, nullptr);
  EXPECT_STREQ(exit->GetName(), "OnCollisionExit");
  EXPECT_EQ(exit->GetType(), SH_OnCollisionExit);
  Expose("c", exit->GetLuaObject());
  Run("assert(c.gameobject_dst == nil and c.collider_class_src == 'logic')");
  exit->Release();
}

TEST_F(Events, ScriptOnlyEventCarriesTheScriptsOwnValue) {
  auto* event = CEventScriptOnly::New();
  EXPECT_FALSE(event->IsValid());
  luabind::object table = Eval("{ door = 4 }");
  event->SetData("OnDoorOpened", table);
  EXPECT_TRUE(event->IsValid());
  EXPECT_EQ(*event->GetScriptMode(), 1);
  EXPECT_EQ(event->GetType().GetHash(), ComputeHash("OnDoorOpened"));
  EXPECT_STREQ(event->GetName(), "OnDoorOpened");
  EXPECT_FALSE(event->FromLua(table));
  EXPECT_TRUE(event->GetLuaObject() == table);
  EXPECT_TRUE(event->GetLuaObject() == table);
  event->Release();

  // Any Lua value will do, and an empty name is not valid.
  event = CEventScriptOnly::New();
  event->SetData("", Eval("42"));
  EXPECT_FALSE(event->IsValid());
  EXPECT_EQ(luabind::object_cast<int>(event->GetLuaObject()), 42);
  event->Release();
}

TEST_F(Events, EveryGetLuaObjectBuildsAFreshTable) {
  auto* timer = CEventTimer::New(CStringHash("t"), 1.0f, nullptr, "", 0);
  Expose("first", timer->GetLuaObject());
  Expose("second", timer->GetLuaObject());
  Run("assert(first ~= second and first.name == second.name)");
  timer->Release();
}

TEST_F(Events, MissingOrMistypedKeysFailAndGiveTheEventBack) {
  struct SCase {
    const char* className;
    const char* table;
  };
  const SCase cases[] = {
      {"CEventTimer", "{ name = 'a', data = '' }"},              // time missing
      {"CEventTimer", "{ name = 'a', time = '1', data = '' }"},  // time is a string
      {"CEventTimer", "{ name = 5, time = 1, data = '' }"},      // name is a number
      {"CEventTimer", "{ name = 'a', time = 1, data = '', dest = 3 }"},
      {"CEventTimer", "'not a table'"},
      {"CEventMovement", "{ begin = 1 }"},  // begin is a number
      {"CEventMovement", "nil"},
  };
  sys::CLockSet locks;
  sys::SetAppLocks(&locks);
  locks.Create(sys::kLockLua);
  for (const SCase& c : cases) {
    const uint32_t timers = CEventTimer::GetPool().UsedCount();
    const uint32_t moves = CEventMovement::GetPool().UsedCount();
    EXPECT_THROW(CreateEventFromLua(makers, CStringHash(c.className), Eval(c.table)),
                 luabind::cast_failed)
        << c.table;
    EXPECT_EQ(CEventTimer::GetPool().UsedCount(), timers) << c.table;
    EXPECT_EQ(CEventMovement::GetPool().UsedCount(), moves) << c.table;
    // Another thread can take the Lua lock: the failed conversion left it.
    auto other = std::async(std::launch::async, [&] {
      sys::CScopedLock lock(sys::kLockLua);
      return true;
    });
    ASSERT_EQ(other.wait_for(std::chrono::seconds(5)), std::future_status::ready) << c.table;
  }
  EXPECT_TRUE(Logged("key 'time' is missing or not a number")) << Joined();
  EXPECT_TRUE(Logged("Event CEventTimer could not be made from the script's table"));
  locks.Delete(sys::kLockLua);
  sys::SetAppLocks(nullptr);

  // No maker: nothing is made.
  EXPECT_EQ(CreateEventFromLua(makers, CStringHash("CEventNothing"), Eval("{}")), nullptr);
}

TEST_F(Events, TextsFromLuaSurviveTheGarbageCollector) {
  Run("function Parts(a, b) return a .. b end");
  auto* timer =
      Make<CEventTimer>("{ name = Parts('tick_', 'tock'), time = 1, data = Parts('pay', 'load') }");
  auto* move =
      Make<CEventMovement>("{ game_object = Parts('ga', 'te'), name = Parts('o', 'pen') }");
  auto* script = CEventScriptOnly::New();
  script->SetData(luabind::object_cast<const char*>(Eval("Parts('On', 'Gate')")), Eval("{}"));
  Run("__value = nil; for i = 1, 1000 do local s = Parts('junk', tostring(i)) end\n"
      "collectgarbage(); collectgarbage()");
  EXPECT_STREQ(timer->name.GetText(), "tick_tock");
  EXPECT_TRUE(timer->name.OwnsText());
  EXPECT_STREQ(timer->data.Get(), "payload");
  EXPECT_STREQ(move->gameObject.Get(), "gate");
  EXPECT_STREQ(move->name.Get(), "open");
  EXPECT_STREQ(script->GetName(), "OnGate");
  timer->Release();
  move->Release();
  script->Release();
}

TEST_F(Events, ConversionsWorkWithoutAScriptHost) {
  host.Release();
  auto* timer = CEventTimer::New(CStringHash("t"), 1.0f, nullptr, "", 0);
  EXPECT_EQ(timer->GetLuaObject().interpreter(), nullptr);
  timer->Release();
}

TEST(EventTypes, TypeRecordsComeFromTheStaticNames) {
  CEventMovement::s_type = CStringHash();
  auto* move = CEventMovement::New();
  EXPECT_EQ(move->GetName(), nullptr);
  InitEngineEventTypes();
  EXPECT_EQ(CEventMovement::s_type.GetHash(), ComputeHash("OnMovement"));
  EXPECT_EQ(move->GetName(), SH_OnMovement.GetText());
  EXPECT_FALSE(CEventMovement::s_type.OwnsText());
  move->Release();
}

// The level's script builds engine events as tables and reads them back.
TEST_F(Events, LevelScriptBuildsAndReadsEngineEvents) {
  ASSERT_TRUE(host.LoadScripts()) << Joined();
  auto* timer = Make<CEventTimer>("MakeTimerTable('alarm', 3, 'siren')");
  EXPECT_STREQ(timer->name.GetText(), "alarm");
  EXPECT_FLOAT_EQ(timer->remaining, 3.0f);
  timer->Release();

  auto* move = Make<CEventMovement>("MakeMovementTable('lift', 'up', false)");
  EXPECT_TRUE(host.CallGlobalFunction("OnMovement", move->GetLuaObject()));
  Run("assert(last_movement.object == 'lift' and last_movement.name == 'up')\n"
      "assert(last_movement.begin == false)");
  move->Release();
}

}  // namespace
}  // namespace evn
}  // namespace vd
