// The loading state: the loading screen on the main thread, the level on a loader
// thread beside it, and the hand-over to play once the player confirms.
#include <cstdlib>
#include <luabind/object.hpp>
#include <string>

#include "engine/core/Locks.h"
#include "engine/core/Log.h"
#include "engine/core/XmlFile.h"
#include "engine/input/InputManager.h"
#include "engine/objects/Camera.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Transform.h"
#include "game/flow/GameStates.h"
#include "game/flow/Vandrel.h"
#include "game/player/ComboController.h"
#include "game/player/FollowCamera.h"
#include "game/player/PlayerController.h"
#include "game/player/RenderCamera.h"

namespace vd {

namespace {

// The instance files of the level, in the order the loader reads them, with the
// group each one fills and the folder of its objects' scripts.
struct SLevelFile {
  const char* path;
  int group;  // EWorldGroup, or one of the front end's below
  const char* scriptFolder;
};
constexpr int kIntroGroup = -2;
constexpr int kCreditsGroup = -3;

const SLevelFile kLevelFiles[] = {
    {"Data/xml/level1_common_instances.xml", kGroupLevelCommon, nullptr},
    {"Data/xml/level1_scene_instances.xml", kGroupLevelScene, "SceneObjects"},
    {"Data/xml/level1_trigger_instances.xml", kGroupLevelTriggers, nullptr},
    {"Data/xml/level1_collision_instances.xml", kGroupLevelCollision, nullptr},
    {"Data/xml/level1_particle_instances.xml", kGroupLevelParticles, nullptr},
    {"Data/xml/level1_light_instances.xml", kGroupLevelLights, nullptr},
    {"Data/xml/hud_instances.xml", kGroupHUD, nullptr},
    {"Data/xml/level1_tracker_instances.xml", kGroupLevelTrackers, nullptr},
    {"Data/xml/level1_line_instances.xml", kGroupLevelLines, nullptr},
    {"Data/xml/level1_animatedobjects_instances.xml", kGroupLevelAnimated, "AnimatedObjects"},
    {"Data/xml/intro_instances.xml", kIntroGroup, nullptr},
    {"Data/xml/final_credits_instances.xml", kCreditsGroup, nullptr},
    {"Data/xml/diagonal/line_instances.xml", kGroupLinesDiagonal, nullptr},
    {"Data/xml/avenue/line_instances.xml", kGroupLinesAvenue, nullptr},
    {"Data/xml/bar/line_instances.xml", kGroupLinesBar, nullptr},
    {"Data/xml/square/line_instances.xml", kGroupLinesSquare, nullptr},
    {"Data/xml/casino/line_instances.xml", kGroupLinesCasino, nullptr},
};

const SLevelFile kCharacterFiles[] = {
    {"Data/xml/diagonal/character_instances.xml", kGroupCharactersDiagonal, nullptr},
    {"Data/xml/avenue/character_instances.xml", kGroupCharactersAvenue, nullptr},
    {"Data/xml/bar/character_instances.xml", kGroupCharactersBar, nullptr},
    {"Data/xml/square/character_instances.xml", kGroupCharactersSquare, nullptr},
    {"Data/xml/casino/character_instances.xml", kGroupCharactersCasino, nullptr},
};

// What the finish step switches on, in this order. The zones' enemies, the intro
// and the credits stay off: the intro and the enemies' own triggers show them.
constexpr EWorldGroup kShownLevelGroups[] = {
    kGroupLevelCommon,    kGroupLevelScene,    kGroupLevelTriggers, kGroupLevelCollision,
    kGroupLevelParticles, kGroupLevelLights,   kGroupHUD,           kGroupLevelTrackers,
    kGroupLevelLines,     kGroupLevelAnimated, kGroupLinesDiagonal, kGroupLinesAvenue,
    kGroupLinesBar,       kGroupLinesSquare,   kGroupLinesCasino};

// The loader works on the pending side of the object manager, where no group is
// ever 0 unless nothing was loaded before: a 0 answer is a file that gave nothing.
int32_t LoadPendingGroup(obj::CGameObjectManager& objects, const SLevelFile& file) {
  const int group = objects.LoadInstances(file.path, file.scriptFolder, false);
  return group != 0 ? group : -1;
}

void StoreGroup(CGameWorld* world, CFrontEndData* frontEnd, int which, int32_t group) {
  if (which == kIntroGroup) {
    if (frontEnd) frontEnd->introGroup = group;
  } else if (which == kCreditsGroup) {
    if (frontEnd) frontEnd->creditsGroup = group;
  } else if (world) {
    world->groups[which] = group;
  }
}

const char* TechniqueOf(const char* alignment) {
  const uint32_t hash = ComputeHash(alignment);
  if (hash == ComputeHash("left")) return "TechGUIAlignLeft";
  if (hash == ComputeHash("right")) return "TechGUIAlignRight";
  if (hash == ComputeHash("center")) return "TechGUIAlignCenter";
  return nullptr;
}

}  // namespace

// --- the graphics preset ---

void ApplyGraphicsPreset(gfx::CRenderManager& render, const CGameOptions& options) {
  const int quality = options.shadowsQuality;
  const bool known = quality >= 0 && quality <= 5;
  // The render manager's preset sets the shadow switches for every number; a number
  // no option page gives must leave them alone.
  const bool shadows = render.shadows.pending, pcf = render.pcf.pending,
             screenShadows = render.screenShadows.pending,
             halfResolution = render.halfResolutionShadows.pending;
  const int32_t size = render.screenShadowSize.pending;
  render.ApplyQualityPreset(known ? quality : 0, options.ssao != 0, options.glow != 0,
                            options.depthOfField != 0, options.bloodDecals != 0);
  if (!known) {
    render.shadows.Set(shadows);
    render.pcf.Set(pcf);
    render.screenShadows.Set(screenShadows);
    render.halfResolutionShadows.Set(halfResolution);
    render.screenShadowSize.Set(size);
  }
}

// --- 3: loading ---

CGameStateLoading::~CGameStateLoading() { Exit(); }

bool CGameStateLoading::OnEnter() {
  if (!m_app || !m_world) return false;
  CVandrel& app = *m_app;
  obj::CGameObjectManager& objects = app.objectManager;
  IGameServices* services = app.services;

  m_world->groups[kGroupLoadingLights] =
      LoadInstanceGroup(objects, "Data/xml/loading_light_instances.xml", nullptr, true);
  // The in-game effect geometry stays off until the level shows it.
  const int32_t shown[] = {m_frontEnd ? m_frontEnd->loadingScreenGroup : -1,
                           m_world->groups[kGroupLoadingCommon],
                           m_world->groups[kGroupLoadingScene],
                           m_world->groups[kGroupLoadingPlayer],
                           m_world->groups[kGroupLoadingCamera],
                           m_world->groups[kGroupLoadingAnimated],
                           m_world->groups[kGroupLoadingParticles],
                           m_world->groups[kGroupLoadingLights]};
  for (int32_t group : shown)
    if (group >= 0) services->EnableObjectGroup(group);

  app.renderManager.shadows.Set(false);

  LoadLoadingScreen();
  ShowLoadingElement(CFrontEndData::kStartButton, false);
  // Only the images of the device the player has.
  if (app.inputManager.IsPadConnected()) {
    ShowLoadingElement(CFrontEndData::kLoadingKeyboard, false);
    ShowLoadingElement(CFrontEndData::kCombosKeyboard, false);
  } else {
    ShowLoadingElement(CFrontEndData::kLoadingPad, false);
    ShowLoadingElement(CFrontEndData::kCombosPad, false);
  }

  BindCamera();
  // The player stands in the loading scene; the keys reach him once play begins.
  CPlayerController::SetInputAccepted(false);
  app.audioManager.UpdateListener();
  app.audioManager.StopAllMusic();
  app.audioManager.PlaySong("loading_loop", true);

  app.scriptManager.CallGlobalFunction("OnInitLoading", luabind::object());
  app.renderManager.LoadShaders("Data/xml/level1_shaders.xml");
  utl::LogPrintf("Init game background loading\n");
  ShowScreenWhileCreating(true);

  // From here until the loader ends, both threads may call into Lua.
  app.locks.Create(sys::kLockLua);
  m_done = false;
  CGameWorld* world = m_world;
  CFrontEndData* frontEnd = m_frontEnd;
  const uint32_t delay = loaderDelayMs;
  CVandrel* appPointer = m_app;
  if (!m_loader.Start([appPointer, world, frontEnd, delay] {
        return LoadLevel(appPointer, world, frontEnd, delay);
      })) {
    utl::LogPrintf("Loading: the loader thread could not be started\n");
    app.DeleteLock(sys::kLockLua);
    return false;
  }
  m_loader.SetNice(kLoaderNice);
  return true;
}

// While the level's resources are made, the render thread draws a frame of the
// loading screen between them, so that a commit that makes many does not hold the
// screen still. The render thread reads the hook inside its commits, under the
// render lock.
void CGameStateLoading::ShowScreenWhileCreating(bool on) {
  if (!m_app) return;
  gfx::CRenderManager& render = m_app->renderManager;
  sys::CScopedLock lock(sys::kLockRender);
  if (on) {
    render.onResourceCreated = [&render] { render.DrawLoadingScreenFrame(); };
  } else {
    render.onResourceCreated = nullptr;
  }
}

// The camera of "main_camera" becomes the game's camera: the render side views
// and culls through it, and the sound is heard from where it stands.
void CGameStateLoading::BindCamera() {
  CVandrel& app = *m_app;
  obj::CGameObject* object = app.objectManager.GetGameObjectByName(CStringHash("main_camera"));
  m_world->camera = object ? object->GetComponent<CCameraGOWController>() : nullptr;
  obj::CGameObject* player = app.objectManager.GetGameObjectByName(CStringHash("player"));
  m_world->player = player ? player->GetComponent<CPlayerController>() : nullptr;
  m_world->combo = player ? player->GetComponent<CComboController>() : nullptr;
  cam::CCamera* camera = object ? object->GetComponent<cam::CCamera>() : nullptr;
  if (camera) {
    camera->aspect = static_cast<float>(app.screenWidth) / static_cast<float>(app.screenHeight);
    camera->Init();
  }
  BindRenderCamera(app.renderManager, m_world->camera);
  if (!m_world->camera) {
    utl::LogPrintf("Loading: main_camera has no follow camera; the view will not move\n");
    return;
  }
  if (m_world->camera->transform)
    app.audioManager.SetListenerTransform(&m_world->camera->transform->world);
}

void CGameStateLoading::ShowLoadingElement(int element, bool show) {
  if (!m_frontEnd || !m_app) return;
  obj::CGameObject* object = m_frontEnd->loadingElements[element].object;
  if (object) m_app->objectManager.QueueEnable(object, show);
}

// Data/xml/loading_screen.xml: the screen's base size and, per element, its
// alignment and its image in the player's language.
void CGameStateLoading::LoadLoadingScreen() {
  CVandrel& app = *m_app;
  if (m_frontEnd)
    for (int i = 0; i < CFrontEndData::kLoadingElementCount; ++i)
      BindElement(app.objectManager, CFrontEndData::kLoadingElementNames[i],
                  m_frontEnd->loadingElements[i]);
  if (!m_frontEnd) return;
  ReadLoadingScreen(kLoadingScreenFile, *m_frontEnd, app.renderManager,
                    m_options && m_options->language == 1 ? "spa/" : "eng/");
}

void ReadLoadingScreen(const char* path, CFrontEndData& frontEnd, gfx::CRenderManager& render,
                       const char* language) {
  utl::CXmlFile file;
  switch (file.Load(path)) {
    case utl::CXmlFile::EResult::Missing:
      utl::LogPrintf("Loading screen %s is missing or empty\n", path);
      return;
    case utl::CXmlFile::EResult::Malformed:
      utl::LogPrintf("Loading screen %s is not valid XML: %s\n", path, file.Error().c_str());
      return;
    case utl::CXmlFile::EResult::Ok:
      break;
  }
  rapidxml::xml_node<>* root = file.Document().first_node("res");
  if (!root) {
    utl::LogPrintf("Loading screen %s has no res element\n", path);
    return;
  }
  auto attribute = [](rapidxml::xml_node<>* node, const char* name) -> const char* {
    rapidxml::xml_attribute<>* a = node ? node->first_attribute(name) : nullptr;
    return a ? a->value() : "";
  };
  const float width = static_cast<float>(std::atoi(attribute(root, "width")));
  const float height = static_cast<float>(std::atoi(attribute(root, "height")));
  const float depth = static_cast<float>(std::atoi(attribute(root, "depth")));
  const float aspect = height != 0.0f ? width / height : 0.0f;

  for (rapidxml::xml_node<>* node = root->first_node("loading_screen"); node;
       node = node->next_sibling("loading_screen")) {
    const uint32_t name = ComputeHash(attribute(node, "name"));
    int index = -1;
    for (int i = 0; i < CFrontEndData::kLoadingElementCount; ++i)
      if (ComputeHash(CFrontEndData::kLoadingElementNames[i]) == name) index = i;
    if (index < 0) continue;
    gfx::CRenderer* renderer = frontEnd.loadingElements[index].renderer;
    if (!renderer) {
      utl::LogPrintf("Loading screen %s: %s has no object with a renderer\n", path,
                     CFrontEndData::kLoadingElementNames[index]);
      continue;
    }
    renderer->SetShaderParameter(CStringHash("gBaseWidth"), 2, &width);
    renderer->SetShaderParameter(CStringHash("gBaseHeight"), 2, &height);
    renderer->SetShaderParameter(CStringHash("gBaseDepth"), 2, &depth);
    renderer->SetShaderParameter(CStringHash("gBaseAspectRatio"), 2, &aspect);
    if (const char* technique = TechniqueOf(attribute(node->first_node("alignment"), "value")))
      renderer->SetTechnique(CStringHash(technique));
    // The image in the player's language; the element's renderer draws the one
    // its own texture list names, which holds both languages.
    const char* image = attribute(node->first_node("texture"), "name");
    if (image[0]) {
      const std::string texture = std::string(language) + image;
      render.LoadTexture(CStringHash(texture.c_str()), nullptr, texture.c_str(), 0);
    }
  }
}

uint32_t CGameStateLoading::LoadLevel(CVandrel* app, CGameWorld* world, CFrontEndData* frontEnd,
                                      uint32_t delayMs) {
  plat::Sleep(delayMs);
  obj::CGameObjectManager& objects = app->objectManager;
  gfx::CRenderManager& render = app->renderManager;
  objects.SetBackgroundLoading(true);
  render.SetBackgroundLoading(true);

  render.LoadTextures("Data/xml/level1_textures.xml");
  // The HUD's pictures that no element shows from the start (blood variants, the
  // pad's button).
  render.LoadTextures("Data/xml/hud_textures.xml");
  render.LoadMaterials("Data/xml/level1_materials.xml");
  render.LoadSceneGraph();
  render.LoadDoFParams();
  app->animationManager.LoadTemplates("Data/xml/level1_animation_templates.xml");

  for (const SLevelFile& file : kLevelFiles)
    StoreGroup(world, frontEnd, file.group, LoadPendingGroup(objects, file));
  world->aiManager.Init();
  for (const SLevelFile& file : kCharacterFiles)
    StoreGroup(world, frontEnd, file.group, LoadPendingGroup(objects, file));
  world->aiManager.ReserveEnemyList();
  return 0;
}

void CGameStateLoading::Exit() {
  running = 0;
  next = kStateIntro;
  ShowScreenWhileCreating(false);
  if (m_loader.Started()) {
    CVandrel* app = m_app ? m_app : CVandrel::Get();
    if (m_loader.Running()) {
      // Left before the level was in: the loader gets the CPU and never waits for
      // a frame that will not come while this thread blocks here.
      m_loader.SetNice(0);
      while (m_loader.Wait(20) == plat::WaitResult::TimedOut)
        if (app) app->renderManager.SetBackgroundLoading(false);
    } else {
      m_loader.Wait();
    }
    // What it loaded joins the game disabled rather than waiting on a side that no
    // longer merges; later loads then go where they belong.
    if (app && app->objectManager.IsBackgroundLoading()) {
      app->objectManager.EndBackgroundLoading();
      app->renderManager.SetBackgroundLoading(false);
    }
    if (app) app->DeleteLock(sys::kLockLua);
    m_loader.Release();
  }
  m_done = false;
  Drop();
}

bool CGameStateLoading::Update(float dt) {
  if (!m_app) return true;
  if (m_frontEnd)
    if (gfx::CTransform* signal =
            m_frontEnd->loadingElements[CFrontEndData::kLoadingSignal].transform)
      signal->SetRoll(signal->roll + kSignalSpin * dt);

  if (!m_done) {
    if (!m_loader.Started()) return false;
    if (m_loader.Running()) {
      // The screen needs few frames: the rest of this one goes to the loader, so
      // that a free-running frame loop does not slow the loading down.
      m_loader.Wait(4);
      if (m_loader.Running()) return true;
    }
    if (m_loader.ExitCode() != 0) return false;
    ShowLoadingElement(CFrontEndData::kStartButton, true);
    ShowLoadingElement(CFrontEndData::kLoadingSignal, false);
    ShowLoadingElement(CFrontEndData::kLoadingButton, false);
    m_app->DeleteLock(sys::kLockLua);
    m_done = true;
    // The confirm key counts from the frame the button shows.
    return true;
  }

  if (Pressed(CInputManager::MenuAccept) || Pressed(CInputManager::MenuEnter) ||
      (Pressed(CInputManager::Pause) && m_app->inputManager.IsPadConnected())) {
    m_app->audioManager.PlaySound("menu_newgame_01", false);
    Finish();
    running = 0;
  }
  return true;
}

void CGameStateLoading::Finish() {
  CVandrel& app = *m_app;
  IGameServices* services = app.services;
  app.objectManager.EndBackgroundLoading();
  app.renderManager.SetBackgroundLoading(false);
  // What is still queued is made behind the level, not the loading screen.
  ShowScreenWhileCreating(false);

  auto each = [&](int32_t group, void (IGameServices::*op)(int)) {
    if (group >= 0) (services->*op)(group);
  };
  if (m_frontEnd) each(m_frontEnd->loadingScreenGroup, &IGameServices::DisableObjectGroup);
  each(m_world->groups[kGroupLoadingCommon], &IGameServices::DisableObjectGroup);
  each(m_world->groups[kGroupLoadingScene], &IGameServices::DisableObjectGroup);
  each(m_world->groups[kGroupLoadingLights], &IGameServices::DestroyObjectGroup);
  for (EWorldGroup group : kShownLevelGroups)
    each(m_world->groups[group], &IGameServices::EnableObjectGroup);

  if (m_options) ApplyGraphicsPreset(app.renderManager, *m_options);

  app.audioManager.FadeOutSong("loading_loop", 1000, 0.0f);
  app.audioManager.StopAllSounds();

  // Play begins without a shake left over from the loading screen.
  if (m_world->camera) m_world->camera->positionShake = m_world->camera->targetShake = 0;

  // The enemies join it as their groups come on; the player aims through it.
  m_world->aiManager.Activate();
  m_world->hud.Init();
  m_world->hud.ShowBlackScreen(0.0f);
  m_world->BindUsePrompt();
  m_world->grenades.Init();
  // The walls that close the avenue and the back street until their zones are won.
  m_world->gatingParticles.FindSystems(&app.particleManager);
}

}  // namespace vd
