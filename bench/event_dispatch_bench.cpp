// Post plus dispatch through the event manager: to 100 C++ listeners, to one Lua
// handler, and events addressed to one object among many listeners of their type.
#include <benchmark/benchmark.h>

#include "PeerTiming.h"

#include <algorithm>
#include <ctime>
#include <utility>
#include <vector>

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
  state.SetLabel("no peer: 64 broadcasts a frame to each listener");
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
  state.SetLabel("no peer: 64 broadcasts a frame to one Lua function");
}

// Targeted delivery ---------------------------------------------------------------

// `listeners` objects subscribed to the collision events, each the target of its
// own contacts, as the objects of a level are.
struct STargets {
  evn::CEventManager events;
  std::vector<SCounter> listeners;
  explicit STargets(size_t count) : listeners(count) {
    evn::InitEngineEventTypes();
    for (SCounter& l : listeners) events.AddListener(&l, evn::CEventCollisionEnter::s_type);
  }
  long Delivered() const {
    long n = 0;
    for (const SCounter& l : listeners) n += l.count;
    return n;
  }
};

using bench::MeasureAgainstPeer;

void ReportAgainstOneListener(benchmark::State& state, bench::SPerItem t) {
  state.counters["ns_per_event"] = t.own;
  state.counters["one_listener_ns"] = t.peer;
  state.counters["x_of_one_listener"] = t.own / t.peer;
  state.SetLabel("peer: the same with one listener of the type");
}

// DispatchEvent of one contact addressed to one object: the delivery alone.
void BM_TargetedDispatch(benchmark::State& state) {
  const size_t count = static_cast<size_t>(state.range(0));
  STargets many(count), one(1);
  std::vector<evn::CEventCollisionEnter*> contacts;
  for (SCounter& l : many.listeners) {
    contacts.push_back(evn::CEventCollisionEnter::New());
    contacts.back()->sides.target = &l;
  }
  evn::CEventCollisionEnter* single = evn::CEventCollisionEnter::New();
  single->sides.target = &one.listeners[0];

  constexpr int kPerCall = 64;
  size_t next = 0;
  auto own = [&] {
    for (int i = 0; i < kPerCall; ++i) {
      many.events.DispatchEvent(contacts[next]);
      if (++next == count) next = 0;
    }
  };
  auto peer = [&] {
    for (int i = 0; i < kPerCall; ++i) one.events.DispatchEvent(single);
  };
  for (auto _ : state) own();
  state.SetItemsProcessed(state.iterations() * kPerCall);
  const long before = many.Delivered();
  ReportAgainstOneListener(state, MeasureAgainstPeer(kPerCall, own, peer));
  if (many.Delivered() == before || one.Delivered() == 0) {
    state.SkipWithError("targeted events were not delivered");
  }
  for (auto* c : contacts) c->Release();
  single->Release();
}
BENCHMARK(BM_TargetedDispatch)->ArgName("listeners")->Arg(1)->Arg(100)->Arg(1000);

// A frame of contacts, each posted to its object and delivered by Update: the
// pool, the queue and the delivery.
void BM_TargetedThroughFrame(benchmark::State& state) {
  const size_t count = static_cast<size_t>(state.range(0));
  STargets many(count), one(1);
  constexpr int kPerFrame = 64;
  size_t next = 0;
  auto post = [](STargets& world, size_t target) {
    auto* contact = evn::CEventCollisionEnter::New();
    contact->sides.target = &world.listeners[target];
    world.events.PostEvent(contact);
  };
  auto own = [&] {
    for (int i = 0; i < kPerFrame; ++i) {
      post(many, next);
      if (++next == count) next = 0;
    }
    many.events.Update(0.016f);
  };
  auto peer = [&] {
    for (int i = 0; i < kPerFrame; ++i) post(one, 0);
    one.events.Update(0.016f);
  };
  for (auto _ : state) own();
  state.SetItemsProcessed(state.iterations() * kPerFrame);
  const long before = many.Delivered();
  ReportAgainstOneListener(state, MeasureAgainstPeer(kPerFrame, own, peer));
  if (many.Delivered() == before || one.Delivered() == 0) {
    state.SkipWithError("targeted events were not delivered");
  }
}
BENCHMARK(BM_TargetedThroughFrame)->ArgName("listeners")->Arg(1)->Arg(100)->Arg(1000);

}  // namespace

BENCHMARK(BM_DispatchToCppListeners)->Arg(100);
BENCHMARK(BM_DispatchToOneLuaHandler);
