#pragma once
// The graphics device: the adapter object, the one device, its presentation
// parameters, the resolutions offered by the option pages and the back-buffer-sized
// main render target. Lives on the render thread.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/render/device/FramePacer.h"
#include "platform/gpu/Device.h"

namespace plat {
struct Window;
}

namespace vd {
namespace gfx {

class CRenderTarget;

struct SResolution {
  float width;
  float height;
};

// What a device reset runs besides the device itself; the application wires these
// to its managers. Empty ones are skipped. Order within Reset:
//   renderManagerLost, lightManagerLost, particleManagerDevice, beforeReset,
//   device Reset, afterReset (the application's restore sequence),
// then the main target is rebuilt; CheckDevice calls commitRenderData after each
// reset it carries out.
struct SDeviceHooks {
  std::function<void()> renderManagerLost;
  std::function<void()> lightManagerLost;
  std::function<void()> particleManagerDevice;
  std::function<void()> beforeReset;
  std::function<void()> afterReset;
  std::function<void()> commitRenderData;
  // The game's screen size the main target is rebuilt at; without it, the
  // presentation size.
  std::function<void(int* width, int* height)> screenSize;
};

class CGraphicsManager {
public:
  // How the adapter object is made: the GL back end over the window by default;
  // tests hand in the recording back end.
  using GpuFactory = std::function<plat::gpu::Gpu*(plat::Window* window, std::string* error)>;

  CGraphicsManager() = default;
  ~CGraphicsManager();
  CGraphicsManager(const CGraphicsManager&) = delete;
  CGraphicsManager& operator=(const CGraphicsManager&) = delete;

  // Render thread, once, after the window exists. False when no device could be
  // had (the caller shows "Graphics could not initialize").
  bool Init(int width, int height, int multiSampleType);
  // Once per pass of the render loop: true when no frame is to be drawn this pass.
  // Before a frame that is to be drawn it waits as long as vsync asks (see pacer).
  bool CheckDevice();
  // A device reset with the current presentation parameters; false when the
  // device refused it (CheckDevice tries again at its next pass).
  bool Reset();
  void Release();
  std::vector<SResolution> GetResolutions() const { return resolutions; }

  void SelectVertexProcessing();
  void FindMaxMultiSample();
  void SelectMultiSample(int requested);
  void EnumerateResolutions(uint32_t width, uint32_t height);

  plat::gpu::Gpu* direct3D = nullptr;
  plat::gpu::Device* device = nullptr;
  CRenderTarget* mainTarget = nullptr;
  uint32_t deviceType = plat::gpu::kDevTypeHal;
  uint32_t depthFormat = plat::gpu::kFmtD24S8;
  uint32_t backBufferFormat = plat::gpu::kFmtA8R8G8B8;
  uint32_t maxMultiSample = 0;
  uint32_t multiSampleType = 0;
  uint32_t multiSampleQuality = 0;
  plat::gpu::PresentParameters presentParameters;
  uint32_t behaviourFlags = 0;
  uint8_t resetRequested = 0;
  // Set before Init: present in step with the display, and never faster than its
  // refresh rate where swaps do not wait for it. Off: present at once.
  uint8_t vsync = 0;
  // Holds frames to the refresh rate on a display whose swaps do not block.
  CFramePacer pacer;
  std::vector<SResolution> resolutions;
  // Index into `resolutions` of the start-up size; resolutions.size() when absent.
  size_t currentResolution = 0;

  // Wiring, set before Init.
  plat::Window* window = nullptr;
  GpuFactory gpuFactory;
  SDeviceHooks hooks;

private:
  // Type search from `from` down to 0 (1 is never used); false when nothing fits.
  bool SearchMultiSample(int from, uint32_t* type, uint32_t* quality);
  void RebuildMainTarget();
  void RestartPacer();
  bool m_resetFailed = false;
  CFramePacer::EMode m_pacerMode = CFramePacer::EMode::Off;
};

}  // namespace gfx
}  // namespace vd
