// The frame hand-off between the main thread and the render thread, with empty work
// on both sides over the recording device, beside a bare two-thread ping-pong over the
// same events; the cost of the application's locks beside a plain mutex; and a Lua
// event handler with the Lua lock on beside the same with it off. Run with
// SDL_VIDEODRIVER=offscreen when there is no display; the data is found from the
// executable's folder wherever the benchmark is started.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/app/Application.h"
#include "engine/app/Entry.h"
#include "engine/core/Locks.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/script/ScriptManager.h"
#include "platform/gpu/Device.h"
#include "platform/thread/Thread.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Per-operation times of the measured code and of its peer over all iterations, and
// their ratio.
void Report(benchmark::State& state, const char* name, double seconds, const char* peerName,
            double peerSeconds, double operations, const char* ratioName, double unit) {
  state.counters[name] = seconds / operations * unit;
  state.counters[peerName] = peerSeconds / operations * unit;
  state.counters[ratioName] = seconds / peerSeconds;
}

bool EnterData(benchmark::State& state) {
  std::string looked;
  if (vd::sys::EnterDataRoot(vd::sys::ExecutablePath(), &looked)) return true;
  state.SkipWithError(("no data tree in " + looked).c_str());
  return false;
}

class CBareApp : public vd::sys::CApplicationBase {
public:
  void PreInit() override { std::snprintf(name, sizeof name, "%s", "Bench"); }
  void StartGame() override {}
  void RegisterScriptBindings() override {}
  void EndGame() override {}
  bool Update(float) override {
    if (++frames == quitAfter) quitRequested = 1;
    return true;
  }
  long frames = 0;
  long quitAfter = 0;
};

// The peer: two threads handing `frames` turns back and forth through two auto-reset
// events, as the main loop and the render loop do, with nothing else to do.
double BarePingPong(long frames) {
  plat::Event renderEnd(false, false), renderBegin(false, false);
  auto start = Clock::now();
  std::thread render([&] {
    for (long i = 0; i < frames; ++i) {
      renderEnd.Set();
      renderBegin.Wait();
    }
    renderEnd.Set();
  });
  for (long i = 0; i < frames; ++i) {
    renderEnd.Wait();
    renderBegin.Set();
  }
  renderEnd.Wait();
  render.join();
  return Seconds(start);
}

void BM_FrameHandOff(benchmark::State& state) {
  if (!EnterData(state)) return;
  double total = 0.0, totalBare = 0.0, totalFrames = 0.0;
  for (auto _ : state) {
    auto recorder = std::make_shared<plat::gpu::Recorder>();
    // The hand-off is measured, not the device's log of every call it records.
    recorder->keepCallText = false;
    auto app = std::make_unique<CBareApp>();
    app->quitAfter = state.range(0);
    app->graphicsManager.gpuFactory = [recorder](plat::Window*, std::string*) {
      return plat::gpu::CreateRecordingGpu(recorder);
    };
    if (!app->Init(nullptr, 1)) {
      state.SkipWithError("start-up failed");
      return;
    }
    auto start = Clock::now();
    app->MainLoop();
    const double seconds = Seconds(start);
    const long frames = app->frames;
    app->Shutdown();
    // The recording grows with every frame: drop it between runs.
    recorder->Clear();
    app.reset();

    const double bare = BarePingPong(frames);
    state.SetIterationTime(seconds);
    total += seconds;
    totalBare += bare;
    totalFrames += static_cast<double>(frames);
  }
  Report(state, "handoff_us", total, "bare_pingpong_us", totalBare, totalFrames, "x_bare_pingpong",
         1e6);
  state.SetLabel("peer: bare two-thread ping-pong over the same events");
}

constexpr long kLockRounds = 1 << 20;

// Lock and unlock of one of the application's sections with nobody else wanting it,
// beside a plain mutex.
void BM_AppLockUncontended(benchmark::State& state) {
  vd::sys::CLockSet locks;
  locks.Create(vd::sys::kLockRender);
  std::mutex plain;
  double total = 0.0, totalPeer = 0.0, rounds = 0.0;
  for (auto _ : state) {
    auto start = Clock::now();
    for (long i = 0; i < kLockRounds; ++i) {
      locks.Lock(vd::sys::kLockRender);
      benchmark::ClobberMemory();
      locks.Unlock(vd::sys::kLockRender);
    }
    const double game = Seconds(start);
    start = Clock::now();
    for (long i = 0; i < kLockRounds; ++i) {
      plain.lock();
      benchmark::ClobberMemory();
      plain.unlock();
    }
    const double peer = Seconds(start);
    state.SetIterationTime(game);
    total += game;
    totalPeer += peer;
    rounds += kLockRounds;
  }
  Report(state, "lock_ns", total, "plain_mutex_ns", totalPeer, rounds, "x_plain_mutex", 1e9);
  state.SetLabel("peer: std::mutex lock+unlock");
}

// A script host and an event manager with the engine's and the game's event classes.
struct SWorld {
  vd::lgc::CScriptManager scripts;
  vd::evn::CEventManager events;
  SWorld() {
    scripts.AddBindingRegistrar(&vd::evn::RegisterEventBindings);
    scripts.Init();
    vd::evn::RegisterEngineEventFactories(events.factories);
    vd::evn::RegisterGameEventFactories(events.factories);
    events.Init();
  }
  ~SWorld() {
    events.Clear();
    vd::evn::UnregisterGameEventFactories(events.factories);
    vd::evn::UnregisterEngineEventFactories(events.factories);
    scripts.Release();
  }
};

constexpr int kEventsPerFrame = 64;
constexpr int kFramesPerRound = 200;

double DispatchRound(SWorld& world) {
  auto start = Clock::now();
  for (int f = 0; f < kFramesPerRound; ++f) {
    for (int i = 0; i < kEventsPerFrame; ++i) world.events.PostEvent(vd::evn::CEventShake::New());
    world.events.Update(0.016f);
  }
  return Seconds(start);
}

// Events dispatched to one Lua handler while the Lua lock is on (background loading),
// beside the same with the lock off.
void BM_LuaHandlerUnderTheLuaLock(benchmark::State& state) {
  vd::sys::CLockSet locks;
  vd::sys::CLockSet* previous = vd::sys::GetAppLocks();
  vd::sys::SetAppLocks(&locks);
  {
    SWorld world;
    world.scripts.RunString("shakes = 0 function OnShake(e) shakes = shakes + 1 end", "bench");
    double total = 0.0, totalPeer = 0.0, events = 0.0;
    for (auto _ : state) {
      locks.Create(vd::sys::kLockLua);
      const double locked = DispatchRound(world);
      locks.Delete(vd::sys::kLockLua);
      const double unlocked = DispatchRound(world);
      state.SetIterationTime(locked);
      total += locked;
      totalPeer += unlocked;
      events += kFramesPerRound * kEventsPerFrame;
    }
    Report(state, "event_locked_ns", total, "event_unlocked_ns", totalPeer, events, "x_unlocked",
           1e9);
    if (world.scripts.GetGlobalInt("shakes") <= 0) state.SkipWithError("the Lua handler never ran");
  }
  vd::sys::SetAppLocks(previous);
  state.SetLabel("peer: the same dispatch with the Lua lock off");
}

}  // namespace

BENCHMARK(BM_FrameHandOff)
    ->Arg(20000)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AppLockUncontended)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LuaHandlerUnderTheLuaLock)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
