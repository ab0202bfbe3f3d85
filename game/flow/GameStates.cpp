#include "game/flow/GameStates.h"

#include <vector>

#include "engine/core/Log.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/input/InputManager.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Transform.h"
#include "game/flow/Vandrel.h"
#include "game/player/FollowCamera.h"
#include "game/player/PlayerController.h"

namespace vd {

// The group of an instances file, or -1 when the file gave no objects. The manager
// answers 0 for a missing or malformed file, which is also the number of the first
// group it hands out: a group-0 answer counts only when group 0 just gained objects,
// so that a missing file never makes its owner act on another file's objects.
int32_t LoadInstanceGroup(obj::CGameObjectManager& objects, const char* path,
                          const char* scriptFolder, bool enable) {
  std::vector<int> before;
  objects.GetGroupObjectIds(0, before);
  const int group = objects.LoadInstances(path, scriptFolder, enable);
  if (group != 0) return group;
  std::vector<int> after;
  objects.GetGroupObjectIds(0, after);
  return after.size() > before.size() ? 0 : -1;
}

void BindElement(obj::CGameObjectManager& objects, const char* name, SScreenElement& element) {
  element.object = objects.GetGameObjectByName(CStringHash(name));
  element.transform = element.object ? element.object->GetComponent<gfx::CTransform>() : nullptr;
  element.renderer = element.object ? element.object->GetComponent<gfx::CRenderer>() : nullptr;
}

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
    gfx::CRenderManager& render = m_app->renderManager;
    for (const char* path : {"Data/xml/menu_shaders.xml", "Data/xml/shaders_non_background.xml",
                             "Data/xml/loading_shaders.xml"})
      render.LoadShaders(path);
    render.LoadTextures("Data/xml/loading_textures.xml");
    render.LoadMaterials("Data/xml/loading_materials.xml");
    m_app->animationManager.LoadTemplates("Data/xml/loading_animation_templates.xml");

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
    for (const SInstances& file : instances)
      *file.group = LoadInstanceGroup(objects, file.path, nullptr, false);

    if (m_frontEnd) {
      for (int i = 0; i < CFrontEndData::kMenuElementCount; ++i) {
        BindElement(objects, CFrontEndData::kMenuElementNames[i], m_frontEnd->menuElements[i]);
        if (i == CFrontEndData::kMenuBackgroundFogFront)
          m_frontEnd->fogColourFront = plat::Vec4(0.0f, 0.0f, 0.0f, 0.7f);
        if (i == CFrontEndData::kMenuBackgroundFogMiddle)
          m_frontEnd->fogColourMiddle = plat::Vec4(1.0f, 1.0f, 1.0f, 1.0f);
      }
    }
  }
  // The machine leaves this state in the first frame of the main loop.
  running = 0;
  next = kStateStartUp;
  return true;
}

// --- 5: in-game ---

CGameStateInGame::~CGameStateInGame() { Exit(); }

bool CGameStateInGame::OnEnter() {
  exited = false;
  CPlayerController::SetInputAccepted(true);
  if (m_app && !m_listening) {
    m_app->eventManager.AddListener(this, SH_OnEndGame);
    m_listening = true;
  }
  return true;
}

void CGameStateInGame::Exit() {
  if (m_listening) {
    if (CVandrel* app = m_app ? m_app : CVandrel::Get())
      app->eventManager.RemoveListener(SH_OnEndGame, this);
    m_listening = false;
  }
  running = 0;
  Drop();
  exited = true;
}

void CGameStateInGame::HandleEvent(evn::IEvent* event) {
  if (!event || event->GetType() != SH_OnEndGame) return;
  running = 0;
  next = kStateFinalCredits;
}

bool CGameStateInGame::Update(float dt) {
  if (m_world) {
    m_world->hud.Update(dt);
    m_world->aiManager.Update(dt);
    m_world->grenades.Update(dt);
    m_world->gatingParticles.Update(dt);
  }
  if (m_app) {
    m_app->collisionManager.Update(dt);
    m_app->audioManager.UpdateListener();
    m_app->audioManager.RemoveStoppedChannels();
  }
  // The edge only: holding the key does not open the menu again on its return.
  if (Pressed(CInputManager::Pause)) {
    next = kStatePause;
    running = 0;
  }
  return true;
}

}  // namespace vd
