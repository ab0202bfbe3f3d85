#include "game/flow/Vandrel.h"

#include <new>

#include "engine/app/Entry.h"
#include "engine/core/Log.h"
#include "engine/events/GameEvents.h"
#include "engine/objects/ComponentKeys.h"
#include "game/enemies/AIManager.h"
#include "game/enemies/Patrol.h"
#include "game/flow/GameMakers.h"
#include "game/flow/GameStates.h"
#include "game/flow/script/LuaFunctions.h"
#include "game/flow/script/GatingParticlesManager.h"
#include "game/flow/script/ScriptBindings.h"
#include "game/flow/FinalCreditsState.h"
#include "game/flow/intro/IntroState.h"
#include "game/flow/menu/PauseState.h"
#include "game/player/CameraController.h"
#include "game/player/PlayerController.h"
#include "game/player/RenderCamera.h"
#include "platform/window/Resources.h"
#include "platform/window/Window.h"

namespace vd {

namespace {

// Everything of a game that stops while the pause menu is up, in the order it is
// paused and resumed. The loading lights, the level's trackers and lines and the
// zones' line groups keep running.
constexpr EWorldGroup kPausedGroups[] = {kGroupLoadingAnimated,  kGroupLoadingParticles,
                                         kGroupLoadingCommon,    kGroupLoadingPlayer,
                                         kGroupInGameEffects,    kGroupLoadingScene,
                                         kGroupLoadingCamera,    kGroupLevelCollision,
                                         kGroupLevelCommon,      kGroupHUD,
                                         kGroupLevelLights,      kGroupLevelParticles,
                                         kGroupLevelScene,       kGroupLevelTriggers,
                                         kGroupLevelAnimated,    kGroupCharactersDiagonal,
                                         kGroupCharactersAvenue, kGroupCharactersBar,
                                         kGroupCharactersSquare, kGroupCharactersCasino};

// The pre-loaded groups a new game starts from again.
constexpr EWorldGroup kRestartedGroups[] = {
    kGroupLoadingAnimated, kGroupLoadingParticles, kGroupLoadingCommon, kGroupLoadingPlayer,
    kGroupInGameEffects,   kGroupLoadingScene,     kGroupLoadingCamera};

constexpr EWorldGroup kHiddenLoadingGroups[] = {
    kGroupLoadingCommon, kGroupLoadingScene,    kGroupLoadingPlayer,    kGroupInGameEffects,
    kGroupLoadingCamera, kGroupLoadingAnimated, kGroupLoadingParticles, kGroupLoadingLights};

constexpr EWorldGroup kLevelGroups[] = {
    kGroupLevelCollision, kGroupLevelCommon,        kGroupHUD,
    kGroupLevelLights,    kGroupLevelParticles,     kGroupLevelScene,
    kGroupLevelTriggers,  kGroupLevelTrackers,      kGroupLevelLines,
    kGroupLevelAnimated,  kGroupCharactersDiagonal, kGroupCharactersAvenue,
    kGroupCharactersBar,  kGroupCharactersSquare,   kGroupCharactersCasino,
    kGroupLinesDiagonal,  kGroupLinesAvenue,        kGroupLinesBar,
    kGroupLinesSquare,    kGroupLinesCasino};

}  // namespace

// --- the engine side of the flow's requests ---

void CEngineServices::PauseObjectGroup(int group) { m_app.objectManager.PauseObjectGroup(group); }
void CEngineServices::ResumeObjectGroup(int group) { m_app.objectManager.ResumeObjectGroup(group); }
void CEngineServices::RestartObjectGroup(int group) {
  m_app.objectManager.RestartObjectGroup(group);
}
void CEngineServices::EnableObjectGroup(int group) { m_app.objectManager.EnableObjectGroup(group); }
void CEngineServices::DisableObjectGroup(int group) {
  m_app.objectManager.DisableObjectGroup(group);
}
void CEngineServices::DestroyObjectGroup(int group) {
  m_app.objectManager.DestroyObjectGroup(group);
}
void CEngineServices::SetCurrentZone(int zone) {
  currentZone = zone;
  m_app.renderManager.gameZone.Set(zone);
  m_app.lightManager.currentZone = static_cast<uint32_t>(zone);
  m_app.particleManager.currentZone = zone;
}
void CEngineServices::ResetRenderForFrontEnd() {
  m_app.renderManager.ClearLevelSettings();
  UnbindRenderCamera(m_app.renderManager);
}

// --- construction ---

CVandrel::CVandrel() : frontEndData(services) {
  gameWorld.hud.BindOptions(&gameOptions.subtitles, &gameOptions.language);
}

CVandrel::~CVandrel() {
  // Only its own: a later application may have bound the table meanwhile.
  if (GetLuaFunctions().Targets().world == &gameWorld) GetLuaFunctions().Bind({});
  DeleteStates();
  if (m_listening) {
    eventManager.RemoveListener(SH_OnZoneChange, this);
    eventManager.RemoveListener(SH_OnDeath, this);
    m_listening = false;
  }
}

CAIManager* CVandrel::GetAIManager() {
  CVandrel* app = Get();
  return app ? &app->gameWorld.aiManager : nullptr;
}

CHUD* CVandrel::GetHUD() {
  CVandrel* app = Get();
  return app ? &app->gameWorld.hud : nullptr;
}

CGatingParticlesManager* CVandrel::GetGatingParticlesManager() {
  CVandrel* app = Get();
  return app ? &app->gameWorld.gatingParticles : nullptr;
}

// --- the engine's hooks ---

void CVandrel::PreInit() {
  plat::LoadString(plat::kStringAppTitle, name, sizeof name);
  icon = plat::LoadIcon(plat::kIconApp);
}

void CVandrel::RegisterComponentFactories() {
  CApplicationBase::RegisterComponentFactories();
  RegisterGameComponentMakers(objectManager.componentFactories);
  CFirstPersonCameraController::SetKeyboard(&keyboardInput);
}

void CVandrel::UnregisterComponentFactories() {
  CFirstPersonCameraController::SetKeyboard(nullptr);
  UnbindRenderCamera(renderManager);
  UnregisterGameComponentMakers(objectManager.componentFactories);
  CApplicationBase::UnregisterComponentFactories();
}

void CVandrel::RegisterEventFactories() {
  CApplicationBase::RegisterEventFactories();
  RegisterGameEventMakers(eventManager.factories);
}

void CVandrel::UnregisterEventFactories() {
  UnregisterGameEventMakers(eventManager.factories);
  CApplicationBase::UnregisterEventFactories();
}

void CVandrel::RegisterScriptBindings() {
  SLuaFunctionTargets targets;
  targets.world = &gameWorld;
  targets.render = &renderManager;
  targets.timer = &timer;
  targets.input = &inputManager;
  targets.particles = &particleManager;
  targets.inGameState = &inGameState;
  GetLuaFunctions().Bind(targets);
  RegisterGameComponentBindings(scriptManager.GetState());
  RegisterEnemyBindings(scriptManager.GetState(), &gameWorld.aiManager);
  RegisterGatingParticlesBindings(scriptManager.GetState(), &CVandrel::GetGatingParticlesManager);
  RegisterHUDBindings(scriptManager.GetState(), &CVandrel::GetHUD);
}

void CVandrel::StartGame() {
  inputManager.Init();
  // The player's tuning is read with the templates, in the difficulty chosen then.
  CPlayerController::SetDifficulty(gameOptions.difficulty);
  CPatrol::SetDifficulty(gameOptions.difficulty);

  DeleteStates();
  states[kStatePreLoad] = new (std::nothrow) CGameStatePreLoad();
  states[kStateStartUp] = new (std::nothrow) CGameStateStartUp();
  states[kStateMenu] = new (std::nothrow) CGameStateMenu();
  states[kStateLoading] = new (std::nothrow) CGameStateLoading();
  states[kStateIntro] = new (std::nothrow) CGameStateIntro();
  states[kStateInGame] = new (std::nothrow) CGameStateInGame();
  states[kStatePause] = new (std::nothrow) CGameStatePause();
  states[kStateFinalCredits] = new (std::nothrow) CGameStateFinalCredits();

  currentState = states[kStatePreLoad];
  if (currentState) currentState->Enter(this, &gameOptions, &gameWorld, &frontEndData);

  if (!m_listening) {
    eventManager.AddListener(this, SH_OnZoneChange);
    eventManager.AddListener(this, SH_OnDeath);
    m_listening = true;
  }
}

void CVandrel::EndGame() {
  if (m_listening) {
    eventManager.RemoveListener(SH_OnZoneChange, this);
    // Also this one: the event manager must not keep a listener it outlives.
    eventManager.RemoveListener(SH_OnDeath, this);
    m_listening = false;
  }
  DeleteStates();
}

void CVandrel::DeleteStates() {
  for (IGameState*& state : states) {
    if (!state) continue;
    state->Exit();
    delete state;
    state = nullptr;
  }
  currentState = nullptr;
}

void CVandrel::LoadDifficultyParams(std::map<uint32_t, float>& params, rapidxml::xml_node<>* node) {
  obj::ReadDifficultyParams(params, node, gameOptions.difficulty);
}

void CVandrel::HandleEvent(evn::IEvent* event) {
  if (!event || event->GetType() != SH_OnZoneChange) return;
  // A script-only event may borrow the message name: only the real class has a zone.
  auto* zoneChange = dynamic_cast<evn::CEventZoneChange*>(event);
  if (zoneChange) services->SetCurrentZone(zoneChange->zone);
}

// --- the frame ---

bool CVandrel::Update(float dt) {
  keyboardInput.Poll();
  pad.Poll();
  inputManager.Update(dt);
  // The quit key ends the game from every screen.
  if (inputManager.IsPressed(CInputManager::Quit)) {
    quitRequested = 1;
    plat::PostQuit(0);
  }
  return UpdateStates(dt);
}

bool CVandrel::UpdateStates(float dt) {
  if (!currentState) return true;
  if (currentState->running) return currentState->Update(dt);

  // Exit writes the state's default; the state's own choice is read first.
  const int next = currentState->next;
  if (next < 0 || next >= kGameStateCount || !states[next]) {
    // Stay put rather than enter nothing; said once per bad index.
    if (m_badNextLogged != next) {
      utl::LogPrintf("Game state %d cannot be entered; staying in the current state\n", next);
      m_badNextLogged = next;
    }
    return true;
  }
  m_badNextLogged = -1;
  currentState->Exit();
  currentState = states[next];
  if (currentState->Enter(this, &gameOptions, &gameWorld, &frontEndData))
    return currentState->Update(dt);
  return false;
}

// --- the pause menu's operations ---

void CVandrel::PauseGame() {
  eventManager.SetTimersPaused(true);
  // The render thread keeps drawing the frozen scene: its blood must not dry meanwhile.
  decalManager.SetPaused(true);
  for (EWorldGroup group : kPausedGroups)
    if (gameWorld.groups[group] >= 0) services->PauseObjectGroup(gameWorld.groups[group]);
  // The pause menu shows over the frozen scene, without the HUD.
  gameWorld.hud.SetOnScreen(false);
}

void CVandrel::ResumeGame() {
  eventManager.SetTimersPaused(false);
  decalManager.SetPaused(false);
  for (EWorldGroup group : kPausedGroups)
    if (gameWorld.groups[group] >= 0) services->ResumeObjectGroup(gameWorld.groups[group]);
  gameWorld.hud.SetOnScreen(true);
}

void CVandrel::ExitToMainMenu() {
  auto each = [this](const auto& list, void (IGameServices::*op)(int)) {
    for (EWorldGroup group : list)
      if (gameWorld.groups[group] >= 0) (services->*op)(gameWorld.groups[group]);
  };
  each(kRestartedGroups, &IGameServices::ResumeObjectGroup);
  each(kRestartedGroups, &IGameServices::RestartObjectGroup);
  each(kHiddenLoadingGroups, &IGameServices::DisableObjectGroup);
  each(kLevelGroups, &IGameServices::DestroyObjectGroup);
  // A second new game must not meet the intro's or the credits' objects again.
  for (int32_t* group : {&frontEndData.introGroup, &frontEndData.creditsGroup}) {
    if (*group < 0) continue;
    services->DestroyObjectGroup(*group);
    *group = -1;
  }

  services->ResetRenderForFrontEnd();
  // The level's blood goes with it; the next game's decals age from the start.
  decalManager.ClearDecals();
  decalManager.SetPaused(false);
  // The camera the listener followed may not outlive the game.
  audioManager.SetListenerTransform(nullptr);
  gameWorld.Reset();
  // A script's slow motion or cinematic must not outlive its level.
  inGameState = 0;
  timer.slowMotion = 0;
  timer.slowMotionScale = 1.0f;

  eventManager.Clear();
  // A pause menu left its timers stopped; the menu and the next game need them.
  eventManager.SetTimersPaused(false);

  collisionManager.ResetContacts();
  collisionManager.Pause();

  if (!scriptManager.LoadScripts()) utl::LogPrintf("The level scripts could not be loaded again\n");

  audioManager.StopAllMusic();
  audioManager.StopAllSounds();
}

namespace sys {
CApplicationBase* CreateApplication() { return new CVandrel(); }
}  // namespace sys

}  // namespace vd
