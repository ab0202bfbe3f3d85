#include "engine/app/Application.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/animation/Animator.h"
#include "engine/app/QuitSignals.h"
#include "engine/collision/Colliders.h"
#include "engine/core/EngineNames.h"
#include "engine/core/Utils.h"
#include "engine/core/XmlFile.h"
#include "engine/events/EngineEvents.h"
#include "engine/objects/Camera.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/render/lights/Light.h"
#include "engine/render/particles/ParticleSystem.h"
#include "engine/render/particles/ParticleSubSystem.h"
#include "engine/render/particles/ParticleSysManager.h"
#include "engine/render/trail/WeaponRenderer.h"
#include "engine/objects/Tracker.h"
#include "engine/objects/Transform.h"
#include "engine/render/SphereVectors.h"
#include "platform/crt/Crt.h"
#include "platform/window/MessageBox.h"
#include "platform/window/Window.h"

namespace vd {
namespace sys {

CApplicationBase::StartupFaultHook CApplicationBase::s_faultHook;

void AttachAnimatedMesh(anm::CAnimator& animator, CalCoreMesh* coreMesh,
                        const CStringHash& meshName) {
  if (gfx::CRenderManager* render = gfx::CRenderManager::GetInstance())
    anm::MakeSkinnedMesh(animator, coreMesh, meshName, *render);
  obj::CGameObject* owner = animator.GetOwner();
  if (!owner) return;
  std::vector<obj::IComponent*> renderers;
  owner->GetComponentsByFamily(SH_CRenderer, renderers);
  for (obj::IComponent* component : renderers) {
    auto* renderer = dynamic_cast<gfx::CRenderer*>(component);
    if (renderer && renderer->HasAnimatedMesh() && !renderer->IsRegistered())
      renderer->AttachAnimatedModel(animator.GetModel());
  }
}

namespace {

const char* const kFrameEventNames[kFrameEventCount] = {
    "WindowCreated", "GfxInitFinished", "RenderBegin", "RenderEnd", "RenderFreeResources"};
constexpr const char* kGameConfigFile = "Data/xml/gameconfig.xml";
}  // namespace

CApplicationBase::CApplicationBase() {
  std::strcpy(name, "DefaultApplicationName");
  SetInstance(this);
  utl::SetLogSinks(&logSinks);
  SetAppLocks(&locks);
  ConnectModules();
}

// The modules below the application reach it and each other only through these.
void CApplicationBase::ConnectModules() {
  obj::SGameObjectHooks objectHooks;
  objectHooks.loadDifficultyParams = [](std::map<uint32_t, float>& params,
                                        rapidxml::xml_node<>* node) {
    if (CApplicationBase* app = GetInstance()) app->LoadDifficultyParams(params, node);
  };
  obj::SetGameObjectHooks(objectHooks);

  evn::SEventWorldHooks worldHooks = evn::GetEventWorldHooks();
  worldHooks.gameObjectToLua = &obj::GameObjectToLua;
  worldHooks.findListenerByName = &obj::FindListenerByName;
  evn::SetEventWorldHooks(worldHooks);

  audioManager.SetEventManager(&eventManager);
  // "sound_3d" timers play where their object is when they fire.
  audioManager.SetObjectPositionResolver([this](uint32_t id, plat::Vec3* position) {
    obj::CGameObject* object = objectManager.GetGameObjectById(static_cast<int>(id));
    const gfx::CTransform* transform = object ? object->GetComponent<gfx::CTransform>() : nullptr;
    if (!transform) return false;
    *position = transform->position;
    return true;
  });
  anm::SetMeshAttachedHook(&AttachAnimatedMesh);

  // Destroyed renderers leave the render lists before the next draw.
  objectManager.SetCommitRenderData([this] {
    renderManager.commitRequested = 1;
    renderManager.CommitRenderData();
  });
  renderManager.onPassFinished = [this] { objectManager.MarkRenderPassFinished(); };
}

CApplicationBase::~CApplicationBase() {
  Shutdown();
  // That thread still uses the members: freeing them under it would be worse than
  // waiting (the program's entry never deletes such an application).
  if (renderThread.Started()) {
    renderThread.Wait();
    renderThread.Release();
  }
  keyboardInput.Release();
  pad.userIndex = -1;
  timer.Reset();
  if (GetAppLocks() == &locks) SetAppLocks(nullptr);
  if (utl::GetLogSinks() == &logSinks) utl::SetLogSinks(nullptr);
  ClearInstance(this);
}

void CApplicationBase::SetStartupFaultHook(StartupFaultHook hook) { s_faultHook = std::move(hook); }

// --- the overridable slots with their engine-base behaviour ---

void CApplicationBase::RegisterComponentFactories() {
  obj::RegisterObjectComponentFactories(objectManager.componentFactories);
  lgc::RegisterTrackerFactory(objectManager.componentFactories);
  phy::RegisterCollisionComponentFactories(objectManager.componentFactories);
  utl::RegisterFactoryMaker<anm::CAnimator, obj::IComponent>(objectManager.componentFactories);
  gfx::RegisterRendererFactory(objectManager.componentFactories);
  lig::RegisterLightFactory(objectManager.componentFactories);
  RegisterParticleFactories(objectManager.componentFactories);
  gfx::RegisterWeaponRendererFactory(objectManager.componentFactories);
}

void CApplicationBase::UnregisterComponentFactories() {
  lig::UnregisterLightFactory(objectManager.componentFactories);
  for (const CStringHash* name : {&CParticleSubSystemSimple::GetClassName(),
                                  &CParticleSystemSimple::GetClassName(),
                                  &CParticleSystemFollower::GetClassName(),
                                  &gfx::CWeaponRenderer::GetClassName()})
    utl::UnregisterFactoryMaker(*name, objectManager.componentFactories);
  utl::UnregisterFactoryMaker(SH_CRenderer, objectManager.componentFactories);
  utl::UnregisterFactoryMaker(SH_CAnimator, objectManager.componentFactories);
  phy::UnregisterCollisionComponentFactories(objectManager.componentFactories);
  utl::UnregisterFactoryMaker(SH_CTracker, objectManager.componentFactories);
  obj::UnregisterObjectComponentFactories(objectManager.componentFactories);
}
void CApplicationBase::RegisterEventFactories() {
  evn::RegisterEngineEventFactories(eventManager.factories);
}

void CApplicationBase::UnregisterEventFactories() {
  evn::UnregisterEngineEventFactories(eventManager.factories);
}
void CApplicationBase::LoadDifficultyParams(std::map<uint32_t, float>&, rapidxml::xml_node<>*) {}
bool CApplicationBase::Update(float) { return true; }
void CApplicationBase::BeforeDeviceReset() {}
void CApplicationBase::AfterDeviceReset() {}

// --- start-up ---

void CApplicationBase::Fail(const char* text) {
  plat::MessageBox(mainWindow, text, nullptr, plat::kMbIconExclamation);
}

bool CApplicationBase::StepOk(EStartupStep step, bool result, int attempt) {
  if (result && s_faultHook && !s_faultHook(step, attempt)) return false;
  return result;
}

bool CApplicationBase::Init(void* instance, int showCmd) {
  Shutdown();
  instanceHandle = instance;
  showCommand = showCmd;
  mainThreadId = plat::CurrentThreadId();
  InstallQuitSignals(this);
  plat::SeedRand(static_cast<uint32_t>(plat::CurrentTime()));
  PreInit();
  logSinks.ClearDebugVariables();

  utl::LogPrintf("Parsing game config\n");
  if (!ReadGameConfig()) return false;

  cam::SetScreenSize(screenWidth, screenHeight);

  utl::LogPrintf("Init profiler\n");
  if (!StepOk(EStartupStep::Profiler, timer.Start())) {
    Fail("Error trying to init profiler");
    return false;
  }

  gfx::LoadSphereVectors();

  for (int i = 0; i < kFrameEventCount; ++i)
    frameEvents[i] = std::make_unique<plat::Event>(false, false, kFrameEventNames[i]);

  renderThreadFailed = 0;
  m_stopRender = false;
  if (!renderThread.Start([this] { return RenderThreadProc(); })) {
    utl::LogPrintf("The render thread could not start\n");
    return false;
  }
  // A render thread that dies before creating the window must not hang start-up.
  if (plat::WaitForEventOrThreadEnd(*FrameEvent(kWindowCreated), renderThread) !=
      plat::WaitResult::Signalled) {
    utl::LogPrintf("The render thread ended before creating the window\n");
    return false;
  }

  utl::LogPrintf("Init game object manager\n");
  objectManager.Init();

  utl::LogPrintf("Init audio manager\n");
  if (!StepOk(EStartupStep::Audio, audioManager.Init(), 1) &&
      !StepOk(EStartupStep::Audio, audioManager.Init(), 2)) {
    Fail("Audio could not initialize");
    return false;
  }
  if (!soundOn) audioManager.SetGlobalVolume(0.0f);

  utl::LogPrintf("Check system resources\n");
  RegisterComponentFactories();

  utl::LogPrintf("Init input\n");
  if (!StepOk(EStartupStep::Input, keyboardInput.Init(fullScreen ? 5 : 6))) {
    Fail("Error initializing the input manager");
    return false;
  }
  pad.userIndex = 0;
  pad.vibrating = 0;

  utl::LogPrintf("Init animation manager\n");
  animationManager.templates.RemoveAll();
  animationManager.ClearInstances();
  animationManager.templates.RemoveAll();
  animationManager.templates.ownsValues = 1;
  animationManager.templates.resetValues = 1;
  anm::CAnimationManager::SetLoadingModeRotateX();

  utl::LogPrintf("Init collision manager\n");
  if (!StepOk(EStartupStep::Collision, collisionManager.Init(1.0f / 60.0f))) {
    Fail("Error trying to init collision manager");
    return false;
  }

  utl::LogPrintf("Init event manager\n");
  if (!StepOk(EStartupStep::EventManager, eventManager.Init())) {
    Fail("Event manager could not initialize");
    return false;
  }
  RegisterEventFactories();

  utl::LogPrintf("Init scripting\n");
  scriptManager.AddBindingRegistrar(&evn::RegisterEventBindings);
  scriptManager.AddBindingRegistrar(&obj::RegisterGameObjectBindings);
  scriptManager.AddBindingRegistrar(&sfx::RegisterAudioBindings);
  scriptManager.AddBindingRegistrar(&phy::RegisterCollisionBindings);
  scriptManager.AddBindingRegistrar(&obj::RegisterObjectManagerBindings);
  scriptManager.AddBindingRegistrar(&gfx::RegisterTransformBindings);
  scriptManager.AddBindingRegistrar(&gfx::RegisterRendererBindings);
  scriptManager.AddBindingRegistrar(&ptc::RegisterParticleManagerBindings);
  scriptManager.AddBindingRegistrar(&gfx::RegisterDecalBindings);
  // A quit request stops a script call that never ends.
  scriptManager.SetQuitFlag(&quitRequested);
  if (!StepOk(EStartupStep::Scripting, scriptManager.Init())) {
    Fail("Scripting could not initialize");
    return false;
  }
  RegisterScriptBindings();
  if (!scriptManager.LoadScripts()) Fail("Error trying to parse scripts.xml");

  running = 1;
  // The render thread may end on a graphics failure without ever signalling.
  if (plat::WaitForEventOrThreadEnd(*FrameEvent(kGfxInitFinished), renderThread) !=
      plat::WaitResult::Signalled) {
    running = 0;
    utl::LogPrintf("Graphics start-up failed\n");
    return false;
  }

  utl::LogPrintf("Init game\n");
  return true;
}

// --- game configuration ---

void CApplicationBase::ApplyGameConfigDefaults() {
  multiSampleType = 0;
  fullScreen = 0;
  screenWidth = 1024;
  screenHeight = 768;
  soundOn = 1;
  graphicsManager.vsync = 1;
  preloadingWidth = 512;
  preloadingHeight = 316;
  preloadingBackground.clear();
  preloadingIndicator.clear();
}

namespace {

constexpr int kMinScreenWidth = 320;
constexpr int kMinScreenHeight = 200;
// Beyond what any GL implementation renders into.
constexpr int kMaxScreenSide = 16384;

size_t FindName(const char* const* names, size_t count, const char* name) {
  if (!*name) return count;
  for (size_t i = 0; i < count; ++i)
    if (std::strcmp(names[i], name) == 0) return i;
  return count;
}

// The entries of one element; a missing element or entry reads as null. A key whose
// name attribute is one of `names` fills that entry wherever it stands. The others
// fill the first `positional` entries by position, following sibling links, unless
// their name is an expected one: then the entry of their position was left out and
// keeps its default.
std::vector<const char*> ReadEntries(rapidxml::xml_node<>* element, const char* const* names,
                                     size_t count, size_t positional) {
  std::vector<const char*> values(count, nullptr);
  if (!element) return values;
  std::vector<bool> named(count, false);
  std::vector<std::pair<rapidxml::xml_node<>*, size_t>> keys;  // key, the entry it names
  for (rapidxml::xml_node<>* key = element->first_node("key"); key;
       key = key->next_sibling("key")) {
    rapidxml::xml_attribute<>* name = key->first_attribute("name");
    size_t slot = name ? FindName(names, count, name->value()) : count;
    keys.emplace_back(key, slot);
    if (slot < count) named[slot] = true;
  }
  auto valueOf = [](rapidxml::xml_node<>* key) {
    rapidxml::xml_attribute<>* value = key->first_attribute("value");
    return value ? value->value() : "";
  };
  for (size_t position = 0; position < keys.size(); ++position) {
    const size_t slot = keys[position].second;
    if (slot < count) {
      if (!values[slot]) values[slot] = valueOf(keys[position].first);
    } else if (position < positional && !named[position]) {
      values[position] = valueOf(keys[position].first);
    }
  }
  return values;
}

}  // namespace

bool CApplicationBase::ReadGameConfig() {
  utl::CXmlFile file;
  utl::CXmlFile::EResult result = file.Load(kGameConfigFile);
  if (result == utl::CXmlFile::EResult::Missing) {
    utl::LogPrintf("Missing or empty game configuration %s\n", kGameConfigFile);
    return false;
  }
  ApplyGameConfigDefaults();
  if (result == utl::CXmlFile::EResult::Malformed) {
    utl::LogPrintf("%s: %s; using the default configuration\n", kGameConfigFile,
                   file.Error().c_str());
    return true;
  }
  rapidxml::xml_document<>& doc = file.Document();

  rapidxml::xml_node<>* config = doc.first_node("gameconfig");
  if (!config) utl::LogPrintf("%s: no gameconfig element; using defaults\n", kGameConfigFile);
  // The first five by position too, as files without names have them; vsync only by
  // its name, since the entries between it and them vary.
  enum { kMultisample, kDisplayMode, kWidth, kHeight, kSound, kVsync, kEntries };
  static const char* const kNames[kEntries] = {"multisample",   "display_mode", "screen_width",
                                               "screen_height", "sound",        "vsync"};
  std::vector<const char*> entries = ReadEntries(config, kNames, kEntries, kVsync);
  if (config) {
    for (int i : {kMultisample, kDisplayMode, kWidth, kHeight, kSound})
      if (!entries[i])
        utl::LogPrintf("%s: gameconfig has no %s entry; using the default\n", kGameConfigFile,
                       kNames[i]);
  }

  if (entries[kMultisample]) {
    const int samples = std::atoi(entries[kMultisample]);
    if (samples < 0)
      utl::LogPrintf("%s: multisample %d is negative; using %d\n", kGameConfigFile, samples,
                     multiSampleType);
    else
      multiSampleType = samples;
  }
  const char* mode = entries[kDisplayMode] ? entries[kDisplayMode] : "0";
  if (std::strcmp(mode, "1") == 0) {
    fullScreen = 1;
    int w = 0, h = 0;
    if (plat::GetDesktopSize(&w, &h)) {
      screenWidth = w;
      screenHeight = h;
    } else {
      utl::LogPrintf("The desktop size is unknown; using %dx%d\n", screenWidth, screenHeight);
    }
  } else {
    fullScreen = std::strcmp(mode, "2") == 0 ? 1 : 0;
    const int w = entries[kWidth] ? std::atoi(entries[kWidth]) : screenWidth;
    const int h = entries[kHeight] ? std::atoi(entries[kHeight]) : screenHeight;
    if (w < kMinScreenWidth || h < kMinScreenHeight || w > kMaxScreenSide || h > kMaxScreenSide)
      utl::LogPrintf("%s: a screen of %dx%d is impossible (%dx%d to %dx%d); using %dx%d\n",
                     kGameConfigFile, w, h, kMinScreenWidth, kMinScreenHeight, kMaxScreenSide,
                     kMaxScreenSide, screenWidth, screenHeight);
    else {
      screenWidth = w;
      screenHeight = h;
    }
  }
  // The sound switch is entry 5 in every display mode.
  if (entries[kSound]) soundOn = std::strcmp(entries[kSound], "0") != 0 ? 1 : 0;
  if (entries[kVsync]) graphicsManager.vsync = std::strcmp(entries[kVsync], "0") != 0 ? 1 : 0;

  rapidxml::xml_node<>* preloading = doc.first_node("preloading");
  if (!preloading) utl::LogPrintf("%s: no preloading element; using defaults\n", kGameConfigFile);
  static const char* const kPreNames[4] = {"width", "height", "background", "indicator"};
  std::vector<const char*> pre = ReadEntries(preloading, kPreNames, 4, 4);
  const int pw = pre[0] ? std::atoi(pre[0]) : preloadingWidth;
  const int ph = pre[1] ? std::atoi(pre[1]) : preloadingHeight;
  if (pw < 1 || ph < 1 || pw > kMaxScreenSide || ph > kMaxScreenSide) {
    utl::LogPrintf("%s: a pre-loading screen of %dx%d is impossible; using %dx%d\n",
                   kGameConfigFile, pw, ph, preloadingWidth, preloadingHeight);
  } else {
    preloadingWidth = pw;
    preloadingHeight = ph;
  }
  if (pre[2]) preloadingBackground = pre[2];
  if (pre[3]) preloadingIndicator = pre[3];
  if (preloading && (!pre[0] || !pre[1] || !pre[2] || !pre[3]))
    utl::LogPrintf("%s: preloading entries missing; using defaults\n", kGameConfigFile);
  return true;
}

// --- shutdown ---

void CApplicationBase::Shutdown() {
  objectManager.Clear();
  collisionManager.Release();
  timer.Reset();
  pad.userIndex = -1;
  pad.vibrating = 0;
  keyboardInput.Release();
  animationManager.templates.RemoveAll();
  animationManager.ClearInstances();
  timer.Reset();
  logSinks.ClearDebugVariables();
  eventManager.Clear();
  scriptManager.Release();
  audioManager.Release();
  lightManager.zoneValues[0] = 0.0f;
  lightManager.zoneValues[1] = 0.0f;

  m_stopRender = true;
  if (plat::Event* freeResources = FrameEvent(kRenderFreeResources)) freeResources->Set();
  // Wakes a render thread that waits for a frame which will not come.
  if (plat::Event* begin = FrameEvent(kRenderBegin)) begin->Set();
  if (renderThread.Started()) {
    // A render thread still running after the wait (a slow graphics start-up) is
    // left to end on its own; its handle stays, so that the destructor can wait.
    if (renderThread.Wait(3000) == plat::WaitResult::TimedOut) {
      utl::LogPrintf("The render thread did not end within 3000 ms\n");
      m_renderThreadAbandoned = true;
    } else {
      renderThread.Release();
    }
  }

  UnregisterEventFactories();
  UnregisterComponentFactories();

  running = 0;
  quitRequested = 0;
  loopStarted = 0;
  locks.ClearFlags();
  mainThreadId = 0;
  instanceHandle = nullptr;
  RemoveQuitSignals(this);
}

}  // namespace sys
}  // namespace vd
