#pragma once
// The engine's application frame: owns every manager, brings them up in a fixed
// order, starts the render thread and tears everything down again.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include <rapidxml/rapidxml.hpp>

#include "engine/animation/AnimationManager.h"
#include "engine/app/PreLoading.h"
#include "engine/app/Timer.h"
#include "engine/audio/AudioManager.h"
#include "engine/collision/CollisionManager.h"
#include "engine/core/Locks.h"
#include "engine/core/Log.h"
#include "engine/core/Singleton.h"
#include "engine/core/StringHash.h"
#include "engine/events/EventManager.h"
#include "engine/input/KeyboardInput.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/render/RenderManager.h"
#include "engine/render/device/GraphicsManager.h"
#include "engine/render/lights/LightManager.h"
#include "engine/render/decals/DecalManager.h"
#include "engine/render/particles/ParticleSysManager.h"
#include "engine/render/passes/RenderPasses.h"
#include "engine/script/ScriptManager.h"
#include "platform/thread/Thread.h"

namespace plat {
struct Window;
}
class CalCoreMesh;

namespace vd {
namespace anm {
class CAnimator;
}
namespace sys {

// The animator has made its model and attached its mesh: the render side makes the
// skinned buffer of the mesh (once per mesh name), and the object's renderers of an
// animated mesh draw that model from now on (before, they have nothing registered
// with the render side). The application installs it as the animators' hook.
void AttachAnimatedMesh(anm::CAnimator& animator, CalCoreMesh* coreMesh,
                        const CStringHash& meshName);

// The steps of start-up whose failure ends it; tests inject failures through them.
enum class EStartupStep { Profiler, Audio, Input, Collision, EventManager, Scripting, Graphics };

// Points of the frame that an observer may watch (tests check the hand-off with it).
enum class EFramePhase { DeferredBegin, DeferredEnd, DrawBegin, DrawEnd };

// Names of the five frame events, in creation order.
enum EFrameEvent : int {
  kWindowCreated = 0,
  kGfxInitFinished,
  kRenderBegin,
  kRenderEnd,
  kRenderFreeResources,
  kFrameEventCount
};

class CApplicationBase : public utl::CSingleton<CApplicationBase> {
public:
  CApplicationBase();
  virtual ~CApplicationBase();
  CApplicationBase(const CApplicationBase&) = delete;
  CApplicationBase& operator=(const CApplicationBase&) = delete;

  // Slot 1: the title (at most 100 characters) into name, and the icon.
  virtual void PreInit() = 0;
  virtual void RegisterComponentFactories();
  virtual void UnregisterComponentFactories();
  virtual void RegisterEventFactories();
  virtual void UnregisterEventFactories();
  virtual void StartGame() = 0;
  virtual void RegisterScriptBindings() = 0;
  virtual void EndGame() = 0;
  virtual void LoadDifficultyParams(std::map<uint32_t, float>& params,
                                    rapidxml::xml_node<>* scriptNode);
  virtual bool Update(float dt);
  virtual void BeforeDeviceReset();
  virtual void AfterDeviceReset();

  bool Init(void* instance, int showCmd);
  // Safe on a never-started or half-started application.
  void Shutdown();
  bool ReadGameConfig();
  // Runs frames until the render thread leaves its loop.
  void MainLoop();
  // True after a Shutdown whose render thread outlived the wait: the application must
  // not be deleted then, since that thread still uses it.
  bool RenderThreadOutlivedShutdown() const { return m_renderThreadAbandoned; }

  void Lock(int index) { locks.Lock(index); }
  void Unlock(int index) { locks.Unlock(index); }
  void DeleteLock(int index) { locks.Delete(index); }
  // The application's part of a device reset, run right after it.
  void OnLostDevice();

  // Tests replace a step's outcome: the hook sees the step and the attempt (audio is
  // tried twice) and returns false to make it fail. Null restores normal start-up.
  using StartupFaultHook = std::function<bool(EStartupStep step, int attempt)>;
  static void SetStartupFaultHook(StartupFaultHook hook);

  // Members, in construction order.
  int showCommand = 0;
  void* instanceHandle = nullptr;
  char name[100];
  const void* icon = nullptr;
  int screenWidth = 1024;
  int screenHeight = 768;
  int multiSampleType = 0;
  uint8_t fullScreen = 0;
  int preloadingWidth = 512;
  int preloadingHeight = 316;
  std::string preloadingBackground;
  std::string preloadingIndicator;
  // Read and written by both threads.
  std::atomic<uint8_t> running{0};
  uint8_t soundOn = 1;
  std::atomic<uint8_t> quitRequested{0};
  CPreLoading preLoading;
  utl::CLogSinkHolder logSinks;
  plat::Window* mainWindow = nullptr;
  obj::CGameObjectManager objectManager;
  gfx::CRenderManager renderManager;
  anm::CAnimationManager animationManager;
  gfx::CGraphicsManager graphicsManager;
  CTimer timer;
  CKeyboardInput keyboardInput;
  CPadInput pad;  // the pad's state, user index (-1: off) and vibration flag
  phy::CCollisionManager collisionManager;
  evn::CEventManager eventManager;
  lgc::CScriptManager scriptManager;
  sfx::CAudioManager audioManager;
  ptc::CParticleSysManager particleManager;
  gfx::CDecalManager decalManager;
  lig::CLightManager lightManager;
  // The render manager's depth, occlusion, glow, shadow and post passes.
  std::unique_ptr<gfx::CRenderPasses> renderPasses;
  plat::Thread renderThread;
  plat::ThreadId mainThreadId = 0;
  std::unique_ptr<plat::Event> frameEvents[kFrameEventCount];
  std::atomic<uint8_t> loopStarted{0};
  CLockSet locks;
  // Set by the render thread when it ends on a start-up failure.
  std::atomic<uint8_t> renderThreadFailed{0};
  // Called at the frame's phases when set (before start-up).
  std::function<void(EFramePhase)> frameObserver;

protected:
  // The render thread's whole life: window, graphics, pre-loading screen, frames.
  virtual uint32_t RenderThreadProc();
  // Creates the window centred on the desktop at the given size.
  bool CreateMainWindow(int showCmd, int width, int height);
  void Observe(EFramePhase phase) {
    if (frameObserver) frameObserver(phase);
  }
  // A start-up failure: message box owned by the main window, no caption, exclamation.
  void Fail(const char* text);
  bool StepOk(EStartupStep step, bool result, int attempt = 1);
  plat::Event* FrameEvent(EFrameEvent e) { return frameEvents[e].get(); }

private:
  void ApplyGameConfigDefaults();
  // What the render thread made, released on the render thread on every way out.
  void ReleaseRenderSide();
  void ConnectModules();
  void WireGraphicsHooks();
  uint32_t EndRenderThread();
  std::unique_ptr<plat::Window> m_window;  // owned by the render thread
  // Set by Shutdown: a render thread still showing the pre-loading screen (start-up
  // failed on the main thread) goes straight to its end.
  std::atomic<bool> m_stopRender{false};
  bool m_renderThreadAbandoned = false;
  static StartupFaultHook s_faultHook;
};

}  // namespace sys
}  // namespace vd
