// Events drawn from their pool against the heap, and one event's trip through a
// Lua table.
#include <benchmark/benchmark.h>

#include <luabind/luabind.hpp>

#include "engine/core/EngineNames.h"
#include "engine/events/EngineEvents.h"
#include "engine/script/ScriptManager.h"

namespace {

using vd::evn::CEventTimer;

constexpr int kBatch = 16;  // events alive at once, as in a busy frame

const vd::CStringHash& TimerName() {
  static vd::CStringHash name("bench_timer");
  return name;
}

void BM_TimerFromPool(benchmark::State& state) {
  const vd::CStringHash& name = TimerName();
  CEventTimer* events[kBatch];
  for (auto _ : state) {
    for (auto& e : events) {
      e = CEventTimer::New(name, 1.0f, nullptr, "", 0);
      benchmark::DoNotOptimize(e);
    }
    benchmark::ClobberMemory();
    for (auto* e : events) e->Release();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_TimerFromPool);

void BM_TimerFromHeap(benchmark::State& state) {
  const vd::CStringHash& name = TimerName();
  CEventTimer* events[kBatch];
  for (auto _ : state) {
    for (auto& e : events) {
      e = new CEventTimer(name, 1.0f, nullptr, "", 0);
      benchmark::DoNotOptimize(e);
    }
    benchmark::ClobberMemory();
    for (auto* e : events) delete e;
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_TimerFromHeap);

// The slots alone, without the event's constructor and destructor.
void BM_TimerSlotFromPool(benchmark::State& state) {
  auto& pool = CEventTimer::GetPool();
  uint32_t slots[kBatch];
  for (auto _ : state) {
    for (auto& s : slots) {
      CEventTimer* raw = pool.Alloc();
      benchmark::DoNotOptimize(raw);
      s = raw->GetPoolIndex();
    }
    benchmark::ClobberMemory();
    for (uint32_t s : slots) pool.Free(s);
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_TimerSlotFromPool);

void BM_TimerSlotFromHeap(benchmark::State& state) {
  void* slots[kBatch];
  for (auto _ : state) {
    for (auto& s : slots) {
      s = ::operator new(sizeof(CEventTimer));
      benchmark::DoNotOptimize(s);
    }
    benchmark::ClobberMemory();
    for (void* s : slots) ::operator delete(s, sizeof(CEventTimer));
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_TimerSlotFromHeap);

// The makers' path: an empty event, as TriggerEvent makes it.
void BM_EmptyTimerFromPool(benchmark::State& state) {
  CEventTimer* events[kBatch];
  for (auto _ : state) {
    for (auto& e : events) {
      e = CEventTimer::New();
      benchmark::DoNotOptimize(e);
    }
    benchmark::ClobberMemory();
    for (auto* e : events) e->Release();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_EmptyTimerFromPool);

void BM_EmptyTimerFromHeap(benchmark::State& state) {
  CEventTimer* events[kBatch];
  for (auto _ : state) {
    for (auto& e : events) {
      e = new CEventTimer();
      benchmark::DoNotOptimize(e);
    }
    benchmark::ClobberMemory();
    for (auto* e : events) delete e;
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_EmptyTimerFromHeap);

// A busy frame of contacts: 200 collision events made empty, as their maker makes
// them, and released in posting order as the frame queue does.
constexpr int kFrame = 200;

void BM_CollisionFrameFromPool(benchmark::State& state) {
  using vd::evn::CEventCollisionStay;
  CEventCollisionStay* events[kFrame];
  for (auto _ : state) {
    for (auto& e : events) {
      e = CEventCollisionStay::New();
      benchmark::DoNotOptimize(e);
    }
    benchmark::ClobberMemory();
    for (auto* e : events) e->Release();
  }
  state.SetItemsProcessed(state.iterations() * kFrame);
}
BENCHMARK(BM_CollisionFrameFromPool);

void BM_CollisionFrameFromHeap(benchmark::State& state) {
  using vd::evn::CEventCollisionStay;
  CEventCollisionStay* events[kFrame];
  for (auto _ : state) {
    for (auto& e : events) {
      e = new CEventCollisionStay();
      benchmark::DoNotOptimize(e);
    }
    benchmark::ClobberMemory();
    for (auto* e : events) delete e;
  }
  state.SetItemsProcessed(state.iterations() * kFrame);
}
BENCHMARK(BM_CollisionFrameFromHeap);

void BM_TimerThroughLuaTable(benchmark::State& state) {
  vd::lgc::CScriptManager host;
  if (!host.Init()) {
    state.SkipWithError("no Lua state");
    return;
  }
  vd::evn::InitEngineEventTypes();
  CEventTimer* source = CEventTimer::New(TimerName(), 2.0f, nullptr, "payload", 0);
  CEventTimer* target = CEventTimer::New();
  luabind::object table = luabind::newtable(host.GetState());
  for (auto _ : state) {
    luabind::object& built = source->GetLuaObject();
    built["time"] = 2.0;
    target->FromLua(built);
    benchmark::DoNotOptimize(target->remaining);
  }
  source->Release();
  target->Release();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TimerThroughLuaTable);

}  // namespace
