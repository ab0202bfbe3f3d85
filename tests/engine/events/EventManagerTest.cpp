#include "engine/events/EventManager.h"

#include <gtest/gtest.h>

#include <lua.hpp>
#include <luabind/luabind.hpp>

#include <functional>
#include <string>
#include <vector>

#include "engine/core/EngineNames.h"
#include "tests/support/LuaFixture.h"

namespace vd {
namespace evn {
namespace {

std::vector<std::string>* g_trace = nullptr;

// A broadcast event that counts how often it builds a Lua table.
class CTestEvent final : public CPooledEvent<CTestEvent, 4> {
public:
  explicit CTestEvent(const char* tag = "", IEventListener* to = nullptr) : label(tag), target(to) {}
  ~CTestEvent() override = default;
  static inline CStringHash s_type{"OnTest"};
  static inline int tablesBuilt = 0;
  const CStringHash& GetType() const override { return s_type; }
  const int* GetScriptMode() const override { return &kScriptModeScriptsAndListeners; }
  IEventListener* GetTarget() const override { return target; }
  bool FromLua(const luabind::object&) override { return true; }
  const char* GetName() const override { return s_type.GetText(); }
  void ToLua() override {
    ++tablesBuilt;
    m_luaObject = luabind::newtable(GetLuaState());
    m_luaObject["label"] = label;
  }
  const char* label;
  IEventListener* target;
};

// Records every event it receives as "<who>:<label or name>".
struct SRecorder : IEventListener {
  explicit SRecorder(std::string who) : name(std::move(who)) {}
  void HandleEvent(IEvent* event) override {
    std::string what = event->GetName() ? event->GetName() : "?";
    if (event->GetType() == CTestEvent::s_type) what = static_cast<CTestEvent*>(event)->label;
    if (event->GetType() == SH_OnTimer) what = static_cast<CEventTimer*>(event)->name.c_str();
    g_trace->push_back(name + ":" + what);
    if (onEvent) onEvent(event);
  }
  std::string name;
  std::function<void(IEvent*)> onEvent;
};

class Manager : public test::LuaFixture {
protected:
  void SetUp() override {
    LuaFixture::SetUp();
    g_trace = &trace;
    host.AddBindingRegistrar(&RegisterEventBindings);
    RegisterEngineEventFactories(manager.factories);
    ASSERT_TRUE(manager.Init());
    Run("function Trace(s) Log(s) end");
  }
  void TearDown() override {
    manager.Clear();
    g_trace = nullptr;
    LuaFixture::TearDown();
  }
  // Script-side calls recorded in the log as "script: <text>".
  std::vector<std::string> ScriptLines() const {
    std::vector<std::string> lines;
    for (const std::string& l : log)
      if (l.rfind("script: ", 0) == 0) lines.push_back(l.substr(8));
    return lines;
  }

  CEventManager manager;
  std::vector<std::string> trace;
};

using Lines = std::vector<std::string>;

TEST_F(Manager, PostedEventsArriveNextUpdateLuaFirstThenCatchAllThenType) {
  SRecorder all("all"), typed("typed"), twice("twice");
  manager.AddListener(&typed, CTestEvent::s_type);
  manager.AddListener(&all, SH_event_all);
  manager.AddListener(&twice, CTestEvent::s_type);
  manager.AddListener(&twice, CTestEvent::s_type);
  Run("function OnTest(e) Trace('lua:' .. e.label) end");
  typed.onEvent = [&](IEvent*) { trace.push_back("lua-seen:" + std::to_string(ScriptLines().size())); };

  manager.PostEvent(CTestEvent::New("a"));
  EXPECT_TRUE(trace.empty());
  manager.Update(0.016f);
  EXPECT_EQ(ScriptLines(), Lines({"lua:a"}));
  EXPECT_EQ(trace, Lines({"all:a", "typed:a", "lua-seen:1", "twice:a", "twice:a"}));
  EXPECT_EQ(CTestEvent::GetPool().UsedCount(), 0u);
}

TEST_F(Manager, EventsPostedByHandlersWaitForTheNextUpdate) {
  SRecorder typed("typed");
  manager.AddListener(&typed, CTestEvent::s_type);
  typed.onEvent = [&](IEvent* e) {
    if (std::string(static_cast<CTestEvent*>(e)->label) == "first") manager.PostEvent(CTestEvent::New("second"));
  };
  manager.PostEvent(CTestEvent::New("first"));
  manager.Update(0.0f);
  EXPECT_EQ(trace, Lines({"typed:first"}));
  manager.Update(0.0f);
  EXPECT_EQ(trace, Lines({"typed:first", "typed:second"}));
}

TEST_F(Manager, NoLuaHandlerBuildsNoTable) {
  SRecorder typed("typed");
  manager.AddListener(&typed, CTestEvent::s_type);
  CTestEvent::tablesBuilt = 0;
  manager.PostEvent(CTestEvent::New("x"));
  manager.Update(0.0f);
  EXPECT_EQ(CTestEvent::tablesBuilt, 0);
  Run("OnTest = 5");
  manager.PostEvent(CTestEvent::New("y"));
  manager.Update(0.0f);
  EXPECT_EQ(CTestEvent::tablesBuilt, 0);
  EXPECT_EQ(trace, Lines({"typed:x", "typed:y"}));
}

TEST_F(Manager, TargetedEventsReachOnlyASubscribedTarget) {
  SRecorder all("all"), target("target"), other("other");
  manager.AddListener(&all, SH_event_all);
  manager.AddListener(&other, CTestEvent::s_type);
  Run("function OnTest(e) Trace('lua') end");
  manager.PostEvent(CTestEvent::New("unsubscribed", &target));
  manager.Update(0.0f);
  EXPECT_TRUE(trace.empty());
  manager.AddListener(&target, CTestEvent::s_type);
  manager.PostEvent(CTestEvent::New("subscribed", &target));
  manager.Update(0.0f);
  EXPECT_EQ(trace, Lines({"target:subscribed"}));
  EXPECT_TRUE(ScriptLines().empty());
  EXPECT_EQ(CTestEvent::GetPool().UsedCount(), 0u);
}

// Delivery to a target counts its subscriptions, and a target that leaves (or
// another listener that leaves) during the delivery is honoured.
TEST_F(Manager, SetSubscribedListensToEachTypeOnceAndLeavesOnce) {
  ASSERT_EQ(CEventManager::GetInstance(), &manager);
  SRecorder component("component");
  const CStringHash types[] = {CTestEvent::s_type, SH_OnTimer};
  uint8_t subscribed = 0;
  // The fixture's own listeners (timers) are there before.
  const size_t timers = manager.ListenerCount(SH_OnTimer);
  for (int round = 0; round < 2; ++round) {
    SetSubscribed(&component, types, 2, true, subscribed);
    EXPECT_EQ(subscribed, 1u);
    EXPECT_EQ(manager.ListenerCount(CTestEvent::s_type), 1u) << "round " << round;
    EXPECT_EQ(manager.ListenerCount(SH_OnTimer), timers + 1) << "round " << round;
  }
  for (int round = 0; round < 2; ++round) {
    SetSubscribed(&component, types, 2, false, subscribed);
    EXPECT_EQ(subscribed, 0u);
    EXPECT_EQ(manager.ListenerCount(CTestEvent::s_type), 0u) << "round " << round;
    EXPECT_EQ(manager.ListenerCount(SH_OnTimer), timers) << "round " << round;
  }
  // Another listener's subscription is left alone by the flag of this one.
  SRecorder other("other");
  manager.AddListener(&other, CTestEvent::s_type);
  SetSubscribed(&component, types, 2, false, subscribed);
  EXPECT_EQ(manager.ListenerCount(CTestEvent::s_type), 1u);
  manager.RemoveListener(CTestEvent::s_type, &other);
}

TEST_F(Manager, TargetReceivesOncePerSubscriptionWhileSubscribed) {
  SRecorder target("target"), other("other");
  manager.AddListener(&other, CTestEvent::s_type);
  manager.AddListener(&target, CTestEvent::s_type);
  manager.AddListener(&other, CTestEvent::s_type);
  manager.AddListener(&target, CTestEvent::s_type);
  CTestEvent* twice = CTestEvent::New("twice", &target);
  manager.DispatchEvent(twice);
  twice->Release();
  EXPECT_EQ(trace, Lines({"target:twice", "target:twice"}));

  trace.clear();
  target.onEvent = [&](IEvent*) {
    manager.RemoveListener(CTestEvent::s_type, &target);
    manager.RemoveListener(CTestEvent::s_type, &target);
  };
  manager.PostEvent(CTestEvent::New("leaves", &target));
  manager.PostEvent(CTestEvent::New("gone", &target));
  manager.Update(0.0f);
  EXPECT_EQ(trace, Lines({"target:leaves"}));

  // Leaving one of two subscriptions keeps the other call.
  trace.clear();
  manager.AddListener(&target, CTestEvent::s_type);
  manager.AddListener(&target, CTestEvent::s_type);
  target.onEvent = [&](IEvent*) {
    manager.RemoveListener(CTestEvent::s_type, &target);
    target.onEvent = nullptr;
  };
  manager.PostEvent(CTestEvent::New("half", &target));
  manager.Update(0.0f);
  EXPECT_EQ(trace, Lines({"target:half", "target:half"}));
  EXPECT_EQ(manager.ListenerCount(CTestEvent::s_type), 3u);
  EXPECT_EQ(CTestEvent::GetPool().UsedCount(), 0u);
}

TEST_F(Manager, LoadCheckPointDropsEverythingPending) {
  SRecorder all("all");
  manager.AddListener(&all, SH_event_all);
  manager.AddTimerEvent(CStringHash("old_timer"), 0.0f, nullptr, "", 0);
  Run("function OnLoadCheckPoint(e) Trace('load') end");
  manager.PostEvent(CTestEvent::New("A"));
  Run("GetEventManager():TriggerEvent('OnLoadCheckPoint', {})");
  manager.PostEvent(CTestEvent::New("B"));
  // The handler's own posts and timers survive the drop.
  all.onEvent = [&](IEvent* e) {
    if (e->GetType() == SH_OnLoadCheckPoint) {
      manager.PostEvent(CTestEvent::New("after"));
      manager.AddTimerEvent(CStringHash("new_timer"), 0.0f, nullptr, "", 0);
    }
  };
  manager.Update(0.0f);
  EXPECT_EQ(trace, Lines({"all:A", "all:OnLoadCheckPoint", "all:new_timer"}));
  EXPECT_EQ(ScriptLines(), Lines({"load"}));  // once, not twice
  manager.Update(0.0f);
  EXPECT_EQ(trace.back(), "all:after");
  EXPECT_EQ(CTestEvent::GetPool().UsedCount(), 0u);
}

TEST_F(Manager, CheckpointEventsRunTheirLuaHandlersOnceAndKeepGlobals) {
  Run("saves, loads = 0, 0\n"
      "function OnSaveCheckPoint(e) saves = saves + 1 end\n"
      "function OnLoadCheckPoint(e) loads = loads + 1 end\n"
      "life = 10");
  Run("GetEventManager():TriggerEvent('OnSaveCheckPoint', {})");
  manager.Update(0.0f);
  Run("life = 3; GetEventManager():TriggerEvent('OnLoadCheckPoint', {})");
  manager.Update(0.0f);
  Run("assert(life == 10, 'globals restored')");
  // The counters were restored too; the handler ran once after the restore point.
  EXPECT_EQ(host.GetGlobalInt("saves"), 1);
  EXPECT_EQ(host.GetGlobalInt("loads"), 0);
  Run("loads = 0; GetEventManager():TriggerEventImmediate('OnLoadCheckPoint', {})");
  EXPECT_EQ(host.GetGlobalInt("loads"), 0);  // restored again, after one handler call
  Run("saves = 0; GetEventManager():TriggerEventImmediate('OnSaveCheckPoint', {})");
  EXPECT_EQ(host.GetGlobalInt("saves"), 1);
}

TEST_F(Manager, TimersFireInOrderAndWaitWhilePaused) {
  SRecorder listener("t");
  manager.AddListener(&listener, SH_OnTimer);
  manager.AddTimerEvent(CStringHash("late"), 0.5f, nullptr, "", 0);
  manager.AddTimerEvent(CStringHash("early"), 0.2f, nullptr, "", 0);
  manager.AddTimerEvent(CStringHash("also_late"), 0.5f, nullptr, "", 0);
  manager.Update(0.3f);
  EXPECT_EQ(trace, Lines({"t:early"}));
  manager.SetTimersPaused(true);
  Run("GetEventManager():TriggerEventTimer('paused', 0, '')");
  manager.Update(1.0f);
  EXPECT_EQ(trace.size(), 1u);
  EXPECT_EQ(manager.TimerCount(), 3u);
  manager.SetTimersPaused(false);
  manager.Update(0.2f);
  EXPECT_EQ(trace, Lines({"t:early", "t:late", "t:also_late", "t:paused"}));
  EXPECT_EQ(manager.TimerCount(), 0u);
  EXPECT_EQ(CEventTimer::GetPool().UsedCount(), 0u);
}

TEST_F(Manager, ScriptTimersReachLuaOnceWithOwnedTextsAndDestinations) {
  SRecorder door("door"), all("all");
  static SRecorder* s_door = &door;
  SetEventWorldHooks(SEventWorldHooks{
      [](const char* name) -> IEventListener* { return std::string(name) == "door" ? s_door : nullptr; },
      nullptr});
  manager.AddListener(&all, SH_event_all);
  manager.AddListener(&door, SH_OnTimer);
  Run("function OnTimer(t) Trace('lua:' .. t.name .. '/' .. t.data) end\n"
      "local em = GetEventManager()\n"
      "em:TriggerEventTimerEx('open' .. 'ing', 0, '', 'pay' .. 'load')\n"
      "em:TriggerEventTimer('knock', 0, 'door')\n"
      "em:TriggerEventTimer('lost', 0, 'nobody')\n"
      "collectgarbage(); collectgarbage()");
  manager.Update(0.1f);
  SetEventWorldHooks(SEventWorldHooks{});
  // Broadcasts reach the catch-all listeners, "OnTimer" listeners and Lua; the
  // one addressed to the door reaches the door only.
  EXPECT_EQ(trace, Lines({"all:opening", "door:opening", "door:knock", "all:lost", "door:lost"}));
  EXPECT_EQ(ScriptLines(), Lines({"lua:opening/payload", "lua:lost/"}));

  // A timer queued as an event through TriggerEvent: one Lua call, not two.
  log.clear();
  Run("GetEventManager():TriggerEvent('CEventTimer', { name = 'queued', time = 9, data = 'q' })");
  manager.Update(0.0f);
  EXPECT_EQ(ScriptLines(), Lines({"lua:queued/q"}));
}

TEST_F(Manager, TimerTagCarriesAPointer) {
  struct SPayload : IEventListener {
    void HandleEvent(IEvent* e) override { seen = static_cast<CEventTimer*>(e)->tag; }
    uintptr_t seen = 0;
  } receiver;
  manager.AddListener(&receiver, SH_OnTimer);
  static const char* subtitle = "subtitle record";
  manager.AddTimerEvent(CStringHash("sound"), 0.0f, &receiver, "", reinterpret_cast<uintptr_t>(&subtitle));
  manager.Update(0.0f);
  EXPECT_EQ(receiver.seen, reinterpret_cast<uintptr_t>(&subtitle));
}

TEST_F(Manager, TriggerEventMakesKnownClassesOrScriptOnlyEvents) {
  SRecorder all("all");
  IEvent* seen = nullptr;
  all.onEvent = [&](IEvent* e) {
    seen = e;
    if (e->GetType() == SH_OnMovement) {
      auto* m = static_cast<CEventMovement*>(e);
      trace.push_back(std::string("move:") + m->name.Get() + (m->begin ? ":begin" : ":end"));
    } else {
      luabind::globals(host.GetState())["seen_table"] = e->GetLuaObject();
    }
  };
  manager.AddListener(&all, SH_event_all);
  Run("function OnDoor(t) Trace('door ' .. t.id) end\n"
      "door_table = { id = 7 }\n"
      "GetEventManager():TriggerEvent('CEventMovement', { name = 'lift', begin = true })\n"
      "GetEventManager():TriggerEvent('OnDoor', door_table)");
  EXPECT_EQ(manager.PendingCount(), 2u);
  manager.Update(0.0f);
  EXPECT_EQ(trace, Lines({"all:OnMovement", "move:lift:begin", "all:OnDoor"}));
  EXPECT_EQ(ScriptLines(), Lines({"door 7"}));
  Run("assert(seen_table == door_table, 'the very table of the script')");
  (void)seen;
}

TEST_F(Manager, BadTablesRaiseLuaErrorsAndQueueNothing) {
  const uint32_t used = CEventTimer::GetPool().UsedCount();
  EXPECT_FALSE(host.RunString("GetEventManager():TriggerEvent('CEventTimer', { name = 'x' })", "bad"));
  EXPECT_FALSE(host.RunString("GetEventManager():TriggerEventImmediate('CEventTimer', { time = 1 })", "bad"));
  EXPECT_EQ(manager.PendingCount(), 0u);
  EXPECT_EQ(CEventTimer::GetPool().UsedCount(), used);
  EXPECT_TRUE(Logged("Script error in bad")) << Joined();
  EXPECT_TRUE(Logged("key 'time' is missing or not a number"));
  EXPECT_TRUE(Logged("key 'name' is missing or not a string"));
  // The state is still usable.
  Run("x = 1");
}

TEST_F(Manager, TriggerEventImmediateDeliversNowWithoutLua) {
  SRecorder all("all"), typed("typed");
  manager.AddListener(&all, SH_event_all);
  manager.AddListener(&typed, SH_OnMovement);
  Run("function OnMovement(e) Trace('lua') end\n"
      "GetEventManager():TriggerEventImmediate('CEventMovement', { name = 'now' })");
  EXPECT_EQ(trace, Lines({"all:OnMovement", "typed:OnMovement"}));
  EXPECT_TRUE(ScriptLines().empty());
  EXPECT_EQ(manager.PendingCount(), 0u);
  EXPECT_EQ(CEventMovement::GetPool().UsedCount(), 0u);
}

TEST_F(Manager, FailingLuaHandlerIsLoggedAndDispatchGoesOn) {
  SRecorder typed("typed");
  manager.AddListener(&typed, CTestEvent::s_type);
  Run("function OnTest(e) error('handler broke') end");
  manager.PostEvent(CTestEvent::New("a"));
  manager.PostEvent(CTestEvent::New("b"));
  manager.Update(0.0f);
  EXPECT_EQ(trace, Lines({"typed:a", "typed:b"}));
  EXPECT_TRUE(Logged("Script error in handler OnTest:")) << Joined();
  EXPECT_TRUE(Logged("handler broke"));
}

// Globals whose "__index" raises for unknown names ("strict" scripts): an event with
// no handler is dispatched without one, and one with a handler still reaches it.
TEST_F(Manager, StrictGlobalsLeaveDispatchWorking) {
  SRecorder typed("typed");
  manager.AddListener(&typed, CTestEvent::s_type);
  manager.AddListener(&typed, SH_OnTimer);
  Run("setmetatable(_G, { __index = function(_, name) error('undeclared ' .. name, 2) end })");
  manager.PostEvent(CTestEvent::New("unhandled"));
  Run("GetEventManager():TriggerEventTimer('nobody_listens', 0, '')");
  manager.Update(0.0f);
  Run("function OnTest(e) Trace('lua:' .. e.label) end");
  manager.PostEvent(CTestEvent::New("handled"));
  manager.Update(0.0f);
  EXPECT_EQ(trace, Lines({"typed:unhandled", "typed:nobody_listens", "typed:handled"}));
  EXPECT_EQ(ScriptLines(), Lines({"lua:handled"}));
}

TEST_F(Manager, HandlersMaySubscribeAndUnsubscribeDuringDelivery) {
  SRecorder first("first"), second("second"), late("late");
  manager.AddListener(&first, CTestEvent::s_type);
  manager.AddListener(&second, CTestEvent::s_type);
  first.onEvent = [&](IEvent*) {
    manager.RemoveListener(CTestEvent::s_type, &second);
    manager.RemoveListener(CTestEvent::s_type, &first);
    manager.AddListener(&late, CTestEvent::s_type);
  };
  manager.PostEvent(CTestEvent::New("one"));
  manager.Update(0.0f);
  EXPECT_EQ(trace, Lines({"first:one"}));
  manager.PostEvent(CTestEvent::New("two"));
  manager.Update(0.0f);
  EXPECT_EQ(trace, Lines({"first:one", "late:two"}));
  manager.RemoveListener(CTestEvent::s_type, &late);
  EXPECT_EQ(manager.ListenerCount(CTestEvent::s_type), 0u);
}

TEST_F(Manager, ClearInsideAHandlerReleasesEverythingSafely) {
  SRecorder typed("typed"), timers("timers");
  manager.AddListener(&typed, CTestEvent::s_type);
  manager.AddListener(&timers, SH_OnTimer);
  typed.onEvent = [&](IEvent*) { manager.Clear(); };
  timers.onEvent = [&](IEvent*) { manager.Clear(); };
  manager.PostEvent(CTestEvent::New("a"));
  manager.PostEvent(CTestEvent::New("b"));
  manager.AddTimerEvent(CStringHash("t1"), 0.0f, nullptr, "", 0);
  manager.Update(0.0f);
  EXPECT_EQ(trace, Lines({"typed:a"}));
  EXPECT_EQ(CTestEvent::GetPool().UsedCount(), 0u);
  EXPECT_EQ(manager.TimerCount(), 0u);

  typed.onEvent = nullptr;
  manager.AddTimerEvent(CStringHash("t2"), 0.0f, nullptr, "", 0);
  manager.AddTimerEvent(CStringHash("t3"), 0.0f, nullptr, "", 0);
  manager.Update(0.0f);
  EXPECT_EQ(trace.back(), "timers:t2");
  EXPECT_EQ(manager.TimerCount(), 0u);
  EXPECT_EQ(CEventTimer::GetPool().UsedCount(), 0u);
}

TEST_F(Manager, CreateEventUsesTheMakers) {
  IEvent* event = manager.CreateEvent(SH_CEventMovement);
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(event->GetType(), SH_OnMovement);
  event->Release();
  EXPECT_EQ(manager.CreateEvent(CStringHash("CEventUnknown")), nullptr);
}

}  // namespace
}  // namespace evn
}  // namespace vd
