#include "game/flow/GameStates.h"

#include "engine/core/Log.h"
#include "engine/input/InputManager.h"
#include "game/flow/Vandrel.h"

namespace vd {

void CGameStateBase::Store(CVandrel* app, CGameOptions* options, CGameWorld* world,
                           CFrontEndData* frontEnd) {
  m_app = app;
  m_options = options;
  m_world = world;
  m_frontEnd = frontEnd;
}

void CGameStateBase::Drop() { Store(nullptr, nullptr, nullptr, nullptr); }

bool CGameStateBase::Pressed(int slot) const {
  return m_app != nullptr && m_app->inputManager.IsPressed(slot);
}

// --- 0: pre-load ---

bool CGameStatePreLoad::Enter(CVandrel* app, CGameOptions* options, CGameWorld* world,
                              CFrontEndData* frontEnd) {
  Exit();
  running = 1;
  Store(app, options, world, frontEnd);
  utl::LogPrintf("Load game resources\n");
  // The machine leaves this state in the first frame of the main loop.
  running = 0;
  next = kStateStartUp;
  return true;
}

// --- 1: start-up ---

bool CGameStateStartUp::Enter(CVandrel* app, CGameOptions* options, CGameWorld* world,
                              CFrontEndData* frontEnd) {
  Exit();
  running = 1;
  Store(app, options, world, frontEnd);
  return true;
}

void CGameStateStartUp::Exit() {
  Drop();
  next = kStateStartUp;
}

bool CGameStateStartUp::Update(float) {
  // No start-up screens to show: the sequence is over at once.
  next = kStateMenu;
  running = 0;
  return true;
}

// --- 2: menu ---

bool CGameStateMenu::Enter(CVandrel* app, CGameOptions* options, CGameWorld* world,
                           CFrontEndData* frontEnd) {
  Exit();
  running = 1;
  Store(app, options, world, frontEnd);
  return true;
}

void CGameStateMenu::Exit() {
  Drop();
  next = kStateLoading;
}

bool CGameStateMenu::Update(float) {
  // Accept starts a new game.
  if (Pressed(CInputManager::MenuAccept) || Pressed(CInputManager::MenuEnter)) running = 0;
  return true;
}

// --- 3: loading ---

bool CGameStateLoading::Enter(CVandrel* app, CGameOptions* options, CGameWorld* world,
                              CFrontEndData* frontEnd) {
  Exit();
  running = 1;
  Store(app, options, world, frontEnd);
  return true;
}

void CGameStateLoading::Exit() {
  Drop();
  next = kStateIntro;
}

bool CGameStateLoading::Update(float) {
  running = 0;
  return true;
}

// --- 4: intro ---

bool CGameStateIntro::Enter(CVandrel* app, CGameOptions* options, CGameWorld* world,
                            CFrontEndData* frontEnd) {
  Exit();
  running = 1;
  Store(app, options, world, frontEnd);
  return true;
}

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

bool CGameStateInGame::Enter(CVandrel* app, CGameOptions* options, CGameWorld* world,
                             CFrontEndData* frontEnd) {
  Exit();
  running = 1;
  Store(app, options, world, frontEnd);
  return true;
}

void CGameStateInGame::Exit() { Drop(); }

bool CGameStateInGame::Update(float) {
  if (Pressed(CInputManager::Pause)) {
    next = kStatePause;
    running = 0;
  }
  return true;
}

// --- 6: pause ---

bool CGameStatePause::Enter(CVandrel* app, CGameOptions* options, CGameWorld* world,
                            CFrontEndData* frontEnd) {
  Exit();
  running = 1;
  Store(app, options, world, frontEnd);
  if (m_app) m_app->PauseGame();
  return true;
}

void CGameStatePause::Exit() { Drop(); }

bool CGameStatePause::Update(float) {
  if (Pressed(CInputManager::Pause)) {
    m_app->ResumeGame();
    next = kStateInGame;
    running = 0;
  }
  return true;
}

// --- 7: final credits ---

bool CGameStateFinalCredits::Enter(CVandrel* app, CGameOptions* options, CGameWorld* world,
                                   CFrontEndData* frontEnd) {
  Exit();
  running = 1;
  Store(app, options, world, frontEnd);
  return true;
}

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
