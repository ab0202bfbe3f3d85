// Events drawn from their pool against the same events made with new and freed
// with delete, and one event's trip through a Lua table.
//
// Every pool benchmark measures its heap peer in the same run, in rounds that
// alternate with its own, and reports both per event and the ratio:
//   pool_ns, new_delete_ns, x_faster_than_new_delete.
#include <benchmark/benchmark.h>

#include "PeerTiming.h"

#include <algorithm>
#include <ctime>
#include <vector>

#include <luabind/luabind.hpp>

#include "engine/core/EngineNames.h"
#include "engine/events/EngineEvents.h"
#include "engine/script/ScriptManager.h"

namespace {

using vd::evn::CEventCollisionStay;
using vd::evn::CEventTimer;

const vd::CStringHash& TimerName() {
  static vd::CStringHash name("bench_timer");
  return name;
}

using bench::MeasureAgainstPeer;
using SPerEvent = bench::SPerItem;

void Report(benchmark::State& state, const SPerEvent& t,
            const char* peer = "peer: the same event with new/delete") {
  state.counters["pool_ns"] = t.own;
  state.counters["new_delete_ns"] = t.peer;
  state.counters["x_faster_than_new_delete"] = t.peer / t.own;
  state.SetLabel(peer);
}

// A whole timer event: taken from the pool, constructed as AddTimerEvent does,
// destroyed and returned, with `live` timers alive at once.
void BM_WholeTimerEvent(benchmark::State& state) {
  const int live = static_cast<int>(state.range(0));
  const vd::CStringHash& name = TimerName();
  std::vector<CEventTimer*> events(static_cast<size_t>(live));
  auto pool = [&] {
    for (auto& e : events) {
      e = CEventTimer::New(name, 1.0f, nullptr, "", 0);
      benchmark::DoNotOptimize(e);
    }
    benchmark::ClobberMemory();
    for (auto* e : events) e->Release();
  };
  auto heap = [&] {
    for (auto& e : events) {
      e = new CEventTimer(name, 1.0f, nullptr, "", 0);
      benchmark::DoNotOptimize(e);
    }
    benchmark::ClobberMemory();
    for (auto* e : events) delete e;
  };
  for (auto _ : state) pool();
  state.SetItemsProcessed(state.iterations() * live);
  Report(state, MeasureAgainstPeer(live, pool, heap));
}
BENCHMARK(BM_WholeTimerEvent)->ArgName("live")->Arg(16)->Arg(256)->Arg(1024);

// The makers' path: an empty event, as TriggerEvent makes it.
void BM_WholeEmptyTimerEvent(benchmark::State& state) {
  const int live = static_cast<int>(state.range(0));
  std::vector<CEventTimer*> events(static_cast<size_t>(live));
  auto pool = [&] {
    for (auto& e : events) {
      e = CEventTimer::New();
      benchmark::DoNotOptimize(e);
    }
    benchmark::ClobberMemory();
    for (auto* e : events) e->Release();
  };
  auto heap = [&] {
    for (auto& e : events) {
      e = new CEventTimer;
      benchmark::DoNotOptimize(e);
    }
    benchmark::ClobberMemory();
    for (auto* e : events) delete e;
  };
  for (auto _ : state) pool();
  state.SetItemsProcessed(state.iterations() * live);
  Report(state, MeasureAgainstPeer(live, pool, heap));
}
BENCHMARK(BM_WholeEmptyTimerEvent)->ArgName("live")->Arg(16)->Arg(1024);

// A busy frame of contacts: collision events made empty, as their maker makes
// them, and released in posting order as the frame queue does.
void BM_CollisionFrame(benchmark::State& state) {
  const int live = static_cast<int>(state.range(0));
  std::vector<CEventCollisionStay*> events(static_cast<size_t>(live));
  auto pool = [&] {
    for (auto& e : events) {
      e = CEventCollisionStay::New();
      benchmark::DoNotOptimize(e);
    }
    benchmark::ClobberMemory();
    for (auto* e : events) e->Release();
  };
  auto heap = [&] {
    for (auto& e : events) {
      e = new CEventCollisionStay;
      benchmark::DoNotOptimize(e);
    }
    benchmark::ClobberMemory();
    for (auto* e : events) delete e;
  };
  for (auto _ : state) pool();
  state.SetItemsProcessed(state.iterations() * live);
  Report(state, MeasureAgainstPeer(live, pool, heap));
}
BENCHMARK(BM_CollisionFrame)->ArgName("live")->Arg(200)->Arg(1000);

// The slots alone, without the event's constructor and destructor; the peer is
// operator new/delete of the same size.
void BM_TimerSlot(benchmark::State& state) {
  const int live = static_cast<int>(state.range(0));
  auto& slots = CEventTimer::GetPool();
  std::vector<uint32_t> taken(static_cast<size_t>(live));
  std::vector<void*> raw(static_cast<size_t>(live));
  auto pool = [&] {
    for (auto& s : taken) {
      CEventTimer* slot = slots.Alloc();
      benchmark::DoNotOptimize(slot);
      s = slot->GetPoolIndex();
    }
    benchmark::ClobberMemory();
    for (uint32_t s : taken) slots.Free(s);
  };
  auto heap = [&] {
    for (auto& s : raw) {
      s = ::operator new(sizeof(CEventTimer));
      benchmark::DoNotOptimize(s);
    }
    benchmark::ClobberMemory();
    for (void* s : raw) ::operator delete(s, sizeof(CEventTimer));
  };
  for (auto _ : state) pool();
  state.SetItemsProcessed(state.iterations() * live);
  Report(state, MeasureAgainstPeer(live, pool, heap), "peer: operator new/delete of its size");
}
BENCHMARK(BM_TimerSlot)->ArgName("live")->Arg(16)->Arg(1024);

// No peer: what one conversion each way costs.
void BM_TimerThroughLuaTable(benchmark::State& state) {
  vd::lgc::CScriptManager host;
  if (!host.Init()) {
    state.SkipWithError("no Lua state");
    return;
  }
  vd::evn::InitEngineEventTypes();
  CEventTimer* source = CEventTimer::New(TimerName(), 2.0f, nullptr, "payload", 0);
  CEventTimer* target = CEventTimer::New();
  for (auto _ : state) {
    luabind::object& built = source->GetLuaObject();
    built["time"] = 2.0;
    target->FromLua(built);
    benchmark::DoNotOptimize(target->remaining);
  }
  source->Release();
  target->Release();
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("no peer: ToLua then FromLua of one timer");
}
BENCHMARK(BM_TimerThroughLuaTable);

}  // namespace
