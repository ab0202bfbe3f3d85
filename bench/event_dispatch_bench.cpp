// Post plus dispatch through the event manager: to 100 C++ listeners, and to one Lua
// handler, in events per second (and C++ deliveries per second).
#include <benchmark/benchmark.h>

#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/script/ScriptManager.h"

namespace {

using namespace vd;

struct SCounter : evn::IEventListener {
  void HandleEvent(evn::IEvent*) override { ++count; }
  long count = 0;
};

// A script host and an event manager with the engine's and the game's event classes.
struct SWorld {
  lgc::CScriptManager scripts;
  evn::CEventManager events;
  SWorld() {
    scripts.AddBindingRegistrar(&evn::RegisterEventBindings);
    scripts.Init();
    evn::RegisterEngineEventFactories(events.factories);
    evn::RegisterGameEventFactories(events.factories);
    events.Init();
  }
  ~SWorld() {
    events.Clear();
    evn::UnregisterGameEventFactories(events.factories);
    evn::UnregisterEngineEventFactories(events.factories);
    scripts.Release();
  }
};

constexpr int kEventsPerFrame = 64;

void BM_DispatchToCppListeners(benchmark::State& state) {
  SWorld world;
  std::vector<SCounter> listeners(static_cast<size_t>(state.range(0)));
  for (SCounter& l : listeners) world.events.AddListener(&l, evn::CEventShake::s_type);
  for (auto _ : state) {
    for (int i = 0; i < kEventsPerFrame; ++i) world.events.PostEvent(evn::CEventShake::New());
    world.events.Update(0.016f);
  }
  long deliveries = 0;
  for (const SCounter& l : listeners) deliveries += l.count;
  state.SetItemsProcessed(state.iterations() * kEventsPerFrame);
  state.counters["deliveries_per_s"] =
      benchmark::Counter(static_cast<double>(deliveries), benchmark::Counter::kIsRate);
}

void BM_DispatchToOneLuaHandler(benchmark::State& state) {
  SWorld world;
  world.scripts.RunString("shakes = 0 function OnShake(e) shakes = shakes + 1 end", "bench");
  for (auto _ : state) {
    for (int i = 0; i < kEventsPerFrame; ++i) world.events.PostEvent(evn::CEventShake::New());
    world.events.Update(0.016f);
  }
  state.SetItemsProcessed(state.iterations() * kEventsPerFrame);
  if (world.scripts.GetGlobalInt("shakes") <= 0) state.SkipWithError("the Lua handler never ran");
}

}  // namespace

BENCHMARK(BM_DispatchToCppListeners)->Arg(100);
BENCHMARK(BM_DispatchToOneLuaHandler);
