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
  if (m_app) m_app->audioManager.RemoveStoppedChannels();
  // Accept starts a new game.
  if (Pressed(CInputManager::MenuAccept) || Pressed(CInputManager::MenuEnter)) {
    if (m_app) m_app->audioManager.PlaySound("menu_click_01", false);
    running = 0;
  }
  return true;
}

// --- 3: loading ---

bool CGameStateLoading::Enter(CVandrel* app, CGameOptions* options, CGameWorld* world,
                              CFrontEndData* frontEnd) {
  Exit();
  running = 1;
  Store(app, options, world, frontEnd);
  if (m_app) {
    m_app->audioManager.StopAllMusic();
    m_app->audioManager.PlaySong("loading_loop", true);
  }
  return true;
}

void CGameStateLoading::Exit() {
  Drop();
  next = kStateIntro;
}

bool CGameStateLoading::Update(float) {
  // Nothing to load yet: the finish step at once.
  if (m_app) {
    m_app->audioManager.FadeOutSong("loading_loop", 1000, 0.0f);
    m_app->audioManager.StopAllSounds();
  }
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
  if (m_app) m_app->audioManager.RemoveStoppedChannels();
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
  if (m_app) {
    m_app->PauseGame();
    m_app->audioManager.PauseAllSounds();
    m_app->audioManager.PauseMusic();
  }
  return true;
}

void CGameStatePause::Exit() { Drop(); }

bool CGameStatePause::Update(float) {
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
