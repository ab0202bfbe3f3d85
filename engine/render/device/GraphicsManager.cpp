#include "engine/render/device/GraphicsManager.h"

#include "engine/core/Log.h"
#include "engine/render/buffers/VertexBuffer.h"
#include "engine/render/device/RenderTarget.h"
#include "platform/thread/Thread.h"
#include "platform/window/MessageBox.h"
#include "platform/window/Window.h"

namespace vd {
namespace gfx {

namespace gpu = plat::gpu;

namespace {
constexpr int kMaxMultiSampleType = 16;
constexpr uint32_t kLostDeviceSleepMs = 20;
}  // namespace

CGraphicsManager::~CGraphicsManager() { Release(); }

bool CGraphicsManager::Init(int width, int height, int antialiasing) {
  deviceType = gpu::kDevTypeHal;
  std::string error;
  direct3D = gpuFactory ? gpuFactory(window, &error) : gpu::CreateGpu(window, &error);
  if (!direct3D) {
    if (!error.empty()) utl::LogPrintf("Graphics: %s\n", error.c_str());
    plat::MessageBox(nullptr, "Direct3D object could not be acquired.", nullptr, plat::kMbIconExclamation);
    return false;
  }

  const uint32_t w = width > 0 ? static_cast<uint32_t>(width) : 0u;
  const uint32_t h = height > 0 ? static_cast<uint32_t>(height) : 0u;
  EnumerateResolutions(w, h);

  gpu::DisplayMode mode{};
  direct3D->GetAdapterDisplayMode(0, &mode);
  if (gpu::Failed(direct3D->CheckDeviceType(0, deviceType, mode.format, mode.format, true))) {
    plat::MessageBox(window, "Format not supported. Check your screen format", nullptr, plat::kMbIconExclamation);
    return false;
  }

  SelectVertexProcessing();
  FindMaxMultiSample();
  SelectMultiSample(antialiasing);

  presentParameters = gpu::PresentParameters();
  presentParameters.backBufferWidth = w;
  presentParameters.backBufferHeight = h;
  presentParameters.backBufferFormat = backBufferFormat;
  presentParameters.backBufferCount = 1;
  presentParameters.multiSampleType = multiSampleType;
  presentParameters.multiSampleQuality = multiSampleQuality;
  presentParameters.swapEffect = gpu::kSwapEffectDiscard;
  presentParameters.deviceWindow = window;
  presentParameters.windowed = true;
  presentParameters.enableAutoDepthStencil = true;
  presentParameters.autoDepthStencilFormat = depthFormat;
  presentParameters.flags = 0;
  presentParameters.fullScreenRefreshRate = 0;
  presentParameters.presentationInterval = vsync ? gpu::kPresentIntervalOne : gpu::kPresentIntervalImmediate;

  device = nullptr;
  const gpu::HResult hr =
      direct3D->CreateDevice(0, deviceType, window, behaviourFlags, &presentParameters, &device);
  if (gpu::Failed(hr) || !device) {
    utl::LogPrintf("Graphics: the device could not be created (0x%08X)\n", static_cast<unsigned>(hr));
    device = nullptr;
    return false;
  }
  SetRenderDevice(device);
  device->SetRenderState(gpu::kRsLighting, 0);
  RestartPacer();

  gpu::Viewport viewport;
  viewport.width = w;
  viewport.height = h;
  mainTarget = new CRenderTarget();
  mainTarget->Create(this, w, h, backBufferFormat, true, depthFormat, false, true, viewport);
  return true;
}

void CGraphicsManager::SelectVertexProcessing() {
  gpu::Caps caps;
  direct3D->GetDeviceCaps(0, deviceType, &caps);
  behaviourFlags = 0;
  const bool hardware = (caps.devCaps & gpu::kDevCapsHwTransformAndLight) && deviceType == gpu::kDevTypeHal;
  behaviourFlags |= hardware ? gpu::kCreateHardwareVertexProcessing : gpu::kCreateSoftwareVertexProcessing;
  if (hardware && (caps.devCaps & gpu::kDevCapsPureDevice)) behaviourFlags |= gpu::kCreatePureDevice;
}

bool CGraphicsManager::SearchMultiSample(int from, uint32_t* type, uint32_t* quality) {
  if (from > kMaxMultiSampleType) from = kMaxMultiSampleType;
  for (int t = from; t >= 0; --t) {
    if (t == 1) continue;  // the non-maskable type is never chosen
    const uint32_t ut = static_cast<uint32_t>(t);
    if (gpu::Failed(direct3D->CheckDeviceMultiSampleType(0, deviceType, backBufferFormat, true, ut, nullptr)))
      continue;
    uint32_t levels = 0;
    if (gpu::Failed(direct3D->CheckDeviceMultiSampleType(0, deviceType, depthFormat, true, ut, &levels)))
      continue;
    *type = ut;
    *quality = levels > 0 ? levels - 1 : 0;
    return true;
  }
  return false;
}

void CGraphicsManager::FindMaxMultiSample() {
  uint32_t type = 0, quality = 0;
  if (SearchMultiSample(kMaxMultiSampleType, &type, &quality)) {
    maxMultiSample = type;
    multiSampleQuality = quality;
  } else {
    maxMultiSample = 0;
  }
}

void CGraphicsManager::SelectMultiSample(int requested) {
  if (requested < 0) return;
  uint32_t type = 0, quality = 0;
  if (SearchMultiSample(requested, &type, &quality)) {
    multiSampleType = type;
    multiSampleQuality = quality;
  }
}

void CGraphicsManager::EnumerateResolutions(uint32_t width, uint32_t height) {
  resolutions.clear();
  bool havePrevious = false;
  uint32_t prevWidth = 0, prevHeight = 0;
  const uint32_t adapters = direct3D->GetAdapterCount();
  for (uint32_t a = 0; a < adapters; ++a) {
    const uint32_t count = direct3D->GetAdapterModeCount(a, gpu::kFmtX8R8G8B8);
    for (uint32_t m = 0; m < count; ++m) {
      gpu::DisplayMode mode{};
      if (gpu::Failed(direct3D->EnumAdapterModes(a, gpu::kFmtX8R8G8B8, m, &mode))) continue;
      // Refresh rates are not offered: a run of equal sizes is one entry.
      if (!havePrevious || mode.width != prevWidth || mode.height != prevHeight)
        resolutions.push_back(SResolution{static_cast<float>(mode.width), static_cast<float>(mode.height)});
      havePrevious = true;
      prevWidth = mode.width;
      prevHeight = mode.height;
    }
  }
  currentResolution = resolutions.size();
  for (size_t i = 0; i < resolutions.size(); ++i) {
    if (resolutions[i].width == static_cast<float>(width) && resolutions[i].height == static_cast<float>(height)) {
      currentResolution = i;
      break;
    }
  }
}

bool CGraphicsManager::CheckDevice() {
  if (!device) return true;
  const gpu::HResult hr = device->TestCooperativeLevel();
  if (hr == gpu::kErrDeviceLost) {
    plat::Sleep(kLostDeviceSleepMs);
    return true;
  }
  if (hr == gpu::kErrDriverInternal) {
    plat::MessageBox(nullptr, "Internal driver error!", nullptr, 0);
    plat::PostQuit(0);
    return true;
  }
  if (hr == gpu::kErrDeviceNotReset) {
    utl::LogPrintf("Device has been lost\n");
    if (!Reset()) {
      // Try again at the next pass; nothing can be drawn until a reset works.
      plat::Sleep(kLostDeviceSleepMs);
      return true;
    }
    if (hooks.commitRenderData) hooks.commitRenderData();
  }
  if (resetRequested) {
    resetRequested = 0;
    if (!Reset()) {
      resetRequested = 1;
      plat::Sleep(kLostDeviceSleepMs);
      return true;
    }
    if (hooks.commitRenderData) hooks.commitRenderData();
  }
  pacer.BeforeFrame();
  if (pacer.Mode() != m_pacerMode) {
    m_pacerMode = pacer.Mode();
    if (m_pacerMode == CFramePacer::EMode::Pacing)
      utl::LogPrintf("Swaps do not wait for the display: frames are held to %.0f Hz\n", 1.0 / pacer.Period());
    else if (m_pacerMode == CFramePacer::EMode::SwapsBlock)
      utl::LogPrintf("The display paces the frames (vsync)\n");
  }
  return false;
}

// Only a window on a display has a refresh to keep to: the recording back end and the
// offscreen driver show nothing, and their frames run free.
void CGraphicsManager::RestartPacer() {
  const bool shown = window && window->OnDisplay();
  pacer.Restart(vsync && shown, shown ? window->RefreshRate() : 0);
  m_pacerMode = pacer.Mode();
}

bool CGraphicsManager::Reset() {
  utl::LogPrintf("Device is going to reset\n");
  // A window that grows keeps its last picture in a corner until the first frame after
  // the reset (the pre-loading screen, squeezed into the top left): it goes black first.
  if (device && gpu::Succeeded(device->TestCooperativeLevel())) {
    device->Clear(0, nullptr, gpu::kClearTarget, 0xFF000000u, 1.0f, 0);
    device->Present();
  }
  if (window) {
    window->SetPos(0, 0, static_cast<int>(presentParameters.backBufferWidth),
                   static_cast<int>(presentParameters.backBufferHeight), plat::kSwpNoZOrder | plat::kSwpShowWindow);
  }
  if (mainTarget) mainTarget->Release();
  if (hooks.renderManagerLost) hooks.renderManagerLost();
  if (hooks.lightManagerLost) hooks.lightManagerLost();
  if (hooks.particleManagerDevice) hooks.particleManagerDevice();
  if (hooks.beforeReset) hooks.beforeReset();

  const gpu::HResult hr = device ? device->Reset(&presentParameters) : gpu::kErrInvalidCall;
  if (gpu::Failed(hr)) {
    // Logged once per run of failures, since the render loop retries every pass.
    if (!m_resetFailed) utl::LogPrintf("Device reset failed (0x%08X)\n", static_cast<unsigned>(hr));
    m_resetFailed = true;
    return false;
  }
  m_resetFailed = false;
  RestartPacer();
  if (hooks.afterReset) hooks.afterReset();
  RebuildMainTarget();
  return true;
}

void CGraphicsManager::RebuildMainTarget() {
  if (!mainTarget) return;
  int w = static_cast<int>(presentParameters.backBufferWidth);
  int h = static_cast<int>(presentParameters.backBufferHeight);
  if (hooks.screenSize) hooks.screenSize(&w, &h);
  gpu::Viewport viewport;
  viewport.width = w > 0 ? static_cast<uint32_t>(w) : 0u;
  viewport.height = h > 0 ? static_cast<uint32_t>(h) : 0u;
  mainTarget->Create(this, viewport.width, viewport.height, backBufferFormat, true, depthFormat, false, true,
                     viewport);
}

void CGraphicsManager::Release() {
  if (mainTarget) {
    mainTarget->Release();
    delete mainTarget;
    mainTarget = nullptr;
  }
  if (device) {
    if (GetRenderDevice() == device) SetRenderDevice(nullptr);
    device->Release();
    device = nullptr;
  }
  if (direct3D) {
    direct3D->Release();
    direct3D = nullptr;
  }
  resetRequested = 0;
}

}  // namespace gfx
}  // namespace vd
