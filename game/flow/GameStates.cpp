#include "game/flow/GameStates.h"

#include <vector>

#include "engine/core/Log.h"
#include "engine/input/InputManager.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Transform.h"
#include "game/flow/Vandrel.h"
#include "game/player/FollowCamera.h"
#include "game/player/RenderCamera.h"

namespace vd {

namespace {

// The group of an instances file, or -1 when the file gave no objects. The manager
// answers 0 for a missing or malformed file, which is also the number of the first
// group it hands out: a group-0 answer counts only when group 0 just gained objects,
// so that a missing file never makes its owner act on another file's objects.
int32_t LoadGroup(obj::CGameObjectManager& objects, const char* path, bool enable) {
  std::vector<int> before;
  objects.GetGroupObjectIds(0, before);
  const int group = objects.LoadInstances(path, nullptr, enable);
  if (group != 0) return group;
  std::vector<int> after;
  objects.GetGroupObjectIds(0, after);
  return after.size() > before.size() ? 0 : -1;
}

}  // namespace

void CGameStateBase::Store(CVandrel* app, CGameOptions* options, CGameWorld* world,
                           CFrontEndData* frontEnd) {
  m_app = app;
  m_options = options;
  m_world = world;
  m_frontEnd = frontEnd;
}

void CGameStateBase::Drop() { Store(nullptr, nullptr, nullptr, nullptr); }

bool CGameStateBase::Enter(CVandrel* app, CGameOptions* options, CGameWorld* world,
                           CFrontEndData* frontEnd) {
  Exit();
  running = 1;
  Store(app, options, world, frontEnd);
  return OnEnter();
}

bool CGameStateBase::Pressed(int slot) const {
  return m_app != nullptr && m_app->inputManager.IsPressed(slot);
}

// --- 0: pre-load ---

bool CGameStatePreLoad::OnEnter() {
  utl::LogPrintf("Load game resources\n");
  if (m_app) {
    obj::CGameObjectManager& objects = m_app->objectManager;
    for (const char* path :
         {"Data/xml/common_templates.xml", "Data/xml/loading_player_templates.xml",
          "Data/xml/loading_camera_templates.xml", "Data/xml/loading_light_templates.xml",
          "Data/xml/level1_character_templates.xml",
          "Data/xml/level1_animatedobjects_templates.xml",
          "Data/xml/level1_particle_templates.xml"})
      objects.LoadTemplates(path);

    // Everything starts disabled: each screen and the loading state enable their own.
    struct SInstances {
      const char* path;
      int32_t* group;
    };
    int32_t* groups = m_world ? m_world->groups : nullptr;
    int32_t ignored = -1;
    auto worldGroup = [&](EWorldGroup g) { return groups ? &groups[g] : &ignored; };
    auto frontGroup = [&](int32_t CFrontEndData::*member) {
      return m_frontEnd ? &(m_frontEnd->*member) : &ignored;
    };
    const SInstances instances[] = {
        {"Data/xml/startup_instances.xml", frontGroup(&CFrontEndData::startUpGroup)},
        {"Data/xml/menu_main_instances.xml", frontGroup(&CFrontEndData::menuGroup)},
        {"Data/xml/loading_screen_instances.xml", frontGroup(&CFrontEndData::loadingScreenGroup)},
        {"Data/xml/loading_common_instances.xml", worldGroup(kGroupLoadingCommon)},
        {"Data/xml/loading_scene_instances.xml", worldGroup(kGroupLoadingScene)},
        {"Data/xml/loading_animatedobjects_instances.xml", worldGroup(kGroupLoadingAnimated)},
        {"Data/xml/loading_particle_instances.xml", worldGroup(kGroupLoadingParticles)},
        {"Data/xml/ingameeffects_geometry_instances.xml", worldGroup(kGroupInGameEffects)},
        {"Data/xml/loading_player_instances.xml", worldGroup(kGroupLoadingPlayer)},
        {"Data/xml/loading_camera_instances.xml", worldGroup(kGroupLoadingCamera)}};
    for (const SInstances& file : instances) *file.group = LoadGroup(objects, file.path, false);
  }
  // The machine leaves this state in the first frame of the main loop.
  running = 0;
  next = kStateStartUp;
  return true;
}

// --- 1: start-up ---

void CGameStateStartUp::Exit() {
  Drop();
  next = kStateStartUp;
}

bool CGameStateStartUp::Update(float) {
  // No start-up screens to show yet: the sequence is over at once, leaving the
  // menu's song fading in as its title screen would.
  if (m_app) {
    sfx::CAudioManager& audio = m_app->audioManager;
    audio.PlaySong("main_menu_01", true);
    audio.SetSongVolume("main_menu_01", 0.0f);
    audio.FadeInSong("main_menu_01", 5000, 1.0f);
  }
  next = kStateMenu;
  running = 0;
  return true;
}

// --- 2: menu ---

void CGameStateMenu::Exit() {
  Drop();
  next = kStateLoading;
}

bool CGameStateMenu::Update(float) {
  if (m_app) m_app->audioManager.RemoveStoppedChannels();
  // Accept starts a new game.
  if (Pressed(CInputManager::MenuAccept) || Pressed(CInputManager::MenuEnter)) {
    if (m_app) m_app->audioManager.PlaySound("menu_click_01", false);
    running = 0;
  }
  return true;
}

// --- 3: loading ---

bool CGameStateLoading::OnEnter() {
  if (m_app && m_world) {
    m_world->groups[kGroupLoadingLights] =
        LoadGroup(m_app->objectManager, "Data/xml/loading_light_instances.xml", true);
    IGameServices* services = m_app->services;
    // The in-game effect geometry stays off until the level shows it.
    const int32_t shown[] = {m_frontEnd ? m_frontEnd->loadingScreenGroup : -1,
                             m_world->groups[kGroupLoadingCommon],
                             m_world->groups[kGroupLoadingScene],
                             m_world->groups[kGroupLoadingPlayer],
                             m_world->groups[kGroupLoadingCamera],
                             m_world->groups[kGroupLoadingAnimated],
                             m_world->groups[kGroupLoadingParticles],
                             m_world->groups[kGroupLoadingLights]};
    if (services)
      for (int32_t group : shown)
        if (group >= 0) services->EnableObjectGroup(group);
    BindCamera();
  }
  if (m_app) {
    m_app->audioManager.StopAllMusic();
    m_app->audioManager.PlaySong("loading_loop", true);
  }
  return true;
}

// The follow camera of "main_camera" becomes the game's camera, and the sound is
// heard from where it stands.
void CGameStateLoading::BindCamera() {
  obj::CGameObject* object = m_app->objectManager.GetGameObjectByName(CStringHash("main_camera"));
  m_world->camera = object ? object->GetComponent<CCameraGOWController>() : nullptr;
  BindRenderCamera(m_app->renderManager, m_world->camera);
  if (!m_world->camera) {
    utl::LogPrintf("Loading: main_camera has no follow camera; the view will not move\n");
    return;
  }
  if (m_world->camera->transform)
    m_app->audioManager.SetListenerTransform(&m_world->camera->transform->world);
}

void CGameStateLoading::Exit() {
  Drop();
  next = kStateIntro;
}

bool CGameStateLoading::Update(float) {
  // Nothing to load yet: the finish step at once.
  if (m_app) {
    m_app->audioManager.UpdateListener();
    m_app->audioManager.FadeOutSong("loading_loop", 1000, 0.0f);
    m_app->audioManager.StopAllSounds();
  }
  // Play begins without a shake left over from the loading screen.
  if (m_world && m_world->camera) m_world->camera->positionShake = m_world->camera->targetShake = 0;
  running = 0;
  return true;
}

// --- 4: intro ---

void CGameStateIntro::Exit() {
  Drop();
  next = kStateIntro;
}

bool CGameStateIntro::Update(float) {
  next = kStateInGame;
  running = 0;
  return true;
}

// --- 5: in-game ---

void CGameStateInGame::Exit() { Drop(); }

bool CGameStateInGame::Update(float) {
  if (m_app) {
    m_app->audioManager.UpdateListener();
    m_app->audioManager.RemoveStoppedChannels();
  }
  if (Pressed(CInputManager::Pause)) {
    next = kStatePause;
    running = 0;
  }
  return true;
}

// --- 6: pause ---

bool CGameStatePause::OnEnter() {
  if (m_app) {
    m_app->PauseGame();
    m_app->audioManager.PauseAllSounds();
    m_app->audioManager.PauseMusic();
  }
  return true;
}

void CGameStatePause::Exit() { Drop(); }

bool CGameStatePause::Update(float) {
  if (!m_app) return true;
  m_app->audioManager.RemoveStoppedChannels();
  if (Pressed(CInputManager::Pause)) {
    m_app->audioManager.ResumeAllSounds();
    m_app->audioManager.ResumeMusic();
    m_app->ResumeGame();
    next = kStateInGame;
    running = 0;
  }
  return true;
}

// --- 7: final credits ---

void CGameStateFinalCredits::Exit() {
  Drop();
  next = kStateFinalCredits;
}

bool CGameStateFinalCredits::Update(float) {
  next = kStateMenu;
  running = 0;
  return true;
}

}  // namespace vd
