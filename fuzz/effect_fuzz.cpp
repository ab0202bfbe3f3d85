// Effect files: parsed and built on the recording device (no GL needed), which
// checks every call the effect makes as the GL device would.
#include <cstdlib>
#include <memory>
#include <string>

#include "fuzz/FuzzInput.h"
#include "platform/fx/Effect.h"
#include "platform/gpu/Device.h"

namespace gpu = plat::gpu;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool quiet = (gpu::SetLogSink([](const std::string&) {}), true);
  (void)quiet;
  // A fresh device each time: the recorder keeps every call it saw.
  gpu::Gpu* g = gpu::CreateRecordingGpu(std::make_shared<gpu::Recorder>());
  gpu::PresentParameters pp;
  pp.backBufferWidth = 64;
  pp.backBufferHeight = 64;
  gpu::Device* device = nullptr;
  if (!g || g->CreateDevice(0, gpu::kDevTypeHal, nullptr, 0, &pp, &device) != gpu::kOk)
    std::abort();
  plat::fx::Effect* effect = nullptr;
  std::string errors;
  plat::fx::Effect::CreateFromMemory(device, reinterpret_cast<const char*>(data), size, "input.fxo",
                                     &effect, &errors);
  if (effect) effect->Release();
  device->Release();
  g->Release();
  return 0;
}
