// The cost of one frame hand-off between the main thread and the render thread, with
// empty work on both sides over the recording device. Run with SDL_VIDEODRIVER=offscreen
// when there is no display.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "engine/app/Application.h"
#include "platform/gpu/Device.h"

namespace {

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

void BM_FrameHandOff(benchmark::State& state) {
  for (auto _ : state) {
    auto recorder = std::make_shared<plat::gpu::Recorder>();
    auto app = std::make_unique<CBareApp>();
    app->quitAfter = state.range(0);
    app->graphicsManager.gpuFactory = [recorder](plat::Window*, std::string*) {
      return plat::gpu::CreateRecordingGpu(recorder);
    };
    if (!app->Init(nullptr, 1)) {
      state.SkipWithError("start-up failed");
      return;
    }
    auto start = std::chrono::steady_clock::now();
    app->MainLoop();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    state.counters["handoffs_per_s"] = static_cast<double>(app->frames) / seconds;
    app->Shutdown();
    // The recording grows with every frame: drop it between runs.
    recorder->Clear();
  }
}

}  // namespace

BENCHMARK(BM_FrameHandOff)->Arg(20000)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
