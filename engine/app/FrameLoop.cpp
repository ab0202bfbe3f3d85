// The two threads' loops and the frame hand-off between them.
#include "engine/app/Application.h"
#include "engine/core/Log.h"
#include "engine/render/particles/ParticleSubSystem.h"
#include "platform/input/SdlInput.h"
#include "platform/window/MessageBox.h"
#include "platform/window/Window.h"

namespace vd {
namespace sys {

bool CApplicationBase::CreateMainWindow(int, int width, int height) {
  plat::WindowDesc desc;
  desc.width = width;
  desc.height = height;  // x and y left at -1: centred on the desktop
  std::string error;
  m_window = plat::Window::Create(desc, &error);
  mainWindow = m_window.get();
  if (!mainWindow) utl::LogPrintf("The window could not be created: %s\n", error.c_str());
  return mainWindow != nullptr;
}

void CApplicationBase::WireGraphicsHooks() {
  gfx::SDeviceHooks& hooks = graphicsManager.hooks;
  hooks.renderManagerLost = [this] {
    renderManager.OnLostDevice();
    if (renderPasses) renderPasses->OnLostDevice();
    decalManager.OnLostDevice();
  };
  hooks.lightManagerLost = [this] { lightManager.OnLostDevice(); };
  hooks.particleManagerDevice = [this] { particleManager.OnDeviceReset(true); };
  hooks.beforeReset = [this] { BeforeDeviceReset(); };
  hooks.afterReset = [this] { OnLostDevice(); };
  hooks.commitRenderData = [this] { renderManager.CommitRenderData(); };
  renderManager.onDecalCommit = [this] { decalManager.Commit(); };
  renderManager.onCommitPending = [this] {
    lightManager.CommitPendingLights();
    particleManager.Flush();
    renderManager.particleZone = particleManager.currentZone;
  };
  renderManager.findParticleSubsystem = [this](uint32_t name) -> gfx::IParticleSubsystem* {
    return particleManager.FindSubSystem(name);
  };
  hooks.screenSize = [this](int* w, int* h) {
    *w = screenWidth;
    *h = screenHeight;
  };
  graphicsManager.window = mainWindow;
}

uint32_t CApplicationBase::RenderThreadProc() {
  utl::LogPrintf("Create window\n");
  if (CreateMainWindow(showCommand, preloadingWidth, preloadingHeight)) {
    std::string error;
    // Without it only the pads are missing: the keyboard still works.
    if (!plat::input::InitWindowThread(&error))
      utl::LogPrintf("Game pads are not available: %s\n", error.c_str());
  }
  FrameEvent(kWindowCreated)->Set();

  utl::LogPrintf("Init graphics manager\n");
  WireGraphicsHooks();
  if (!graphicsManager.Init(preloadingWidth, preloadingHeight, multiSampleType)) {
    plat::MessageBox(mainWindow, "Graphics could not initialize", nullptr, plat::kMbIconExclamation);
    renderThreadFailed = 1;
    ReleaseRenderSide();
    return 0;
  }
  plat::gpu::Device* device = graphicsManager.device;
  device->Clear(0, nullptr, plat::gpu::kClearTarget, 0xFF000000u, 1.0f, 0);
  device->Present();

  preLoading.Init(&graphicsManager, &timer, preloadingWidth, preloadingHeight, preloadingBackground,
                  preloadingIndicator);
  for (int index : {kLockRender, kLockEffects, kLockCollision})
    if (!locks.IsInitialised(index)) locks.Create(index);

  struct Step {
    const char* log;
    const char* failure;
    std::function<bool()> init;
  } steps[] = {
      {"Init render manager\n", "Error trying to init render manager",
       [this] {
         return renderManager.Init(&graphicsManager) &&
                decalManager.Init(&renderManager, graphicsManager.device);
       }},
      {"Init particle system manager\n", "Error trying to init particle systems manager",
       [this] { return particleManager.Init(); }},
      {"Init light manager\n", "Error trying to init lights manager",
       [this] { return lightManager.Init(); }},
  };
  for (const Step& step : steps) {
    utl::LogPrintf("%s", step.log);
    if (!step.init()) {
      plat::MessageBox(mainWindow, step.failure, nullptr, plat::kMbIconExclamation);
      renderThreadFailed = 1;
      ReleaseRenderSide();
      return 0;
    }
  }
  renderPasses = std::make_unique<gfx::CRenderPasses>(renderManager, &graphicsManager);
  renderManager.framePasses = renderPasses.get();
  renderPasses->draws.drawDecals = [this](float dt, float width, float height) {
    decalManager.Render(dt, width, height);
  };
  // The passes' effects, and the noise and film-look textures they take from the
  // texture table.
  renderManager.LoadShaders("Data/xml/post_shaders.xml");
  renderManager.LoadTextures("Data/xml/post_textures.xml");
  FrameEvent(kGfxInitFinished)->Set();
  timer.Restart();

  // Until the main loop starts, or until a shutdown after a failed start-up.
  while (!loopStarted) {
    if (m_stopRender) return EndRenderThread();
    // A close now is a quit request: it also stops a level script that never ends.
    for (plat::PumpMessage m; m_window && (m = m_window->Pump()) != plat::PumpMessage::None;)
      if (m == plat::PumpMessage::Quit) quitRequested = 1;
    preLoading.Render();
    plat::Yield();
  }

  renderManager.commitRequested = 1;
  renderManager.CommitRenderData();
  preLoading.Release();

  plat::gpu::PresentParameters parameters = graphicsManager.presentParameters;
  parameters.backBufferWidth = static_cast<uint32_t>(screenWidth);
  parameters.backBufferHeight = static_cast<uint32_t>(screenHeight);
  parameters.windowed = fullScreen == 0;
  graphicsManager.presentParameters = parameters;
  graphicsManager.resetRequested = 1;
  utl::LogPrintf("Rendering first frame\n");
  // From here on the update pass follows the draw object by object.
  objectManager.AttachRenderSide();

  plat::PumpMessage last = plat::PumpMessage::None;
  while (last != plat::PumpMessage::Quit && !quitRequested && !m_stopRender) {
    last = m_window ? m_window->Pump() : plat::PumpMessage::None;
    if (last != plat::PumpMessage::None) continue;
    plat::input::ServiceWindowThread();
    if (graphicsManager.CheckDevice()) continue;

    FrameEvent(kRenderEnd)->Set();
    FrameEvent(kRenderBegin)->Wait();
    if (quitRequested || m_stopRender) break;

    float clamped = timer.GetGameTime(false);
    float gameTime = timer.GetGameTime(true);
    Observe(EFramePhase::DrawBegin);
    renderManager.RenderFrame(graphicsManager.mainTarget, gameTime, clamped);
    Observe(EFramePhase::DrawEnd);
    renderManager.CommitRenderData();
  }
  return EndRenderThread();
}

uint32_t CApplicationBase::EndRenderThread() {
  // A main thread inside its update pass must not wait for a draw that never comes.
  objectManager.DetachRenderSide();
  running = 0;
  FrameEvent(kRenderEnd)->Set();
  FrameEvent(kRenderFreeResources)->Wait();
  // The loop may have ended on the quit flag with a quit message still posted (the
  // game's quit key does both): taken here, it cannot end the next start-up's loop.
  // Shutdown comes after the main loop, so no quit of this run is posted later.
  while (m_window && plat::QuitPending()) m_window->Pump();
  for (int index : {kLockRender, kLockEffects, kLockCollision}) DeleteLock(index);
  ReleaseRenderSide();
  return 0;
}

void CApplicationBase::ReleaseRenderSide() {
  // The pre-loading screen's sprites and textures hold the device.
  preLoading.Release();
  particleManager.Shutdown();
  lightManager.Shutdown();
  // Every target holds the device: they go before it does.
  renderManager.framePasses = nullptr;
  renderPasses.reset();
  for (gfx::CRenderTarget& target : renderManager.renderTargets) target.Release();
  decalManager.Shutdown();
  renderManager.Shutdown();
  graphicsManager.Release();
  if (m_window) plat::input::ShutdownWindowThread();
  mainWindow = nullptr;
  m_window.reset();
}

void CApplicationBase::MainLoop() {
  loopStarted = 1;
  timer.Restart();
  while (running) {
    timer.Tick();
    float dt = timer.GetGameTime(true);
    FrameEvent(kRenderEnd)->Wait();
    // A quit set during the last update may reach the render thread only after it handed
    // this frame over: no further frame starts then (the shutdown wakes the render thread).
    if (!running || quitRequested) break;

    Observe(EFramePhase::DeferredBegin);
    objectManager.ApplyQueuedRequests();
    // What the game queued for the render side (entries, list moves, resources).
    renderManager.commitRequested = true;
    renderManager.CommitRenderData();
    bool cameraOk = objectManager.UpdateCameraObjects(dt);
    eventManager.Update(dt);
    Observe(EFramePhase::DeferredEnd);

    FrameEvent(kRenderBegin)->Set();
    if (cameraOk && Update(dt)) objectManager.UpdatePass(dt);
  }
}

void CApplicationBase::OnLostDevice() {
  if (fullScreen) {
    while (plat::ShowCursor(false) >= 0) {
    }
  }
  renderManager.OnResetDevice();
  if (renderPasses) renderPasses->OnResetDevice();
  decalManager.OnResetDevice();
  lightManager.OnResetDevice();
  particleManager.OnDeviceReset(false);
  AfterDeviceReset();
}

}  // namespace sys
}  // namespace vd
