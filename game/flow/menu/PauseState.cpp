#include "game/flow/menu/PauseState.h"

#include "engine/core/Log.h"
#include "engine/input/InputManager.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/render/RenderManager.h"
#include "game/flow/Vandrel.h"
#include "game/player/PlayerController.h"
#include "platform/window/Window.h"

namespace vd {

namespace {

// The pause menu's main page, top to bottom.
const char* const kMainRing[] = {"menu_button_resumegame", "menu_button_optionspause",
                                 "menu_button_gotomainmenu", "menu_button_exitpause"};
constexpr int kMainRingSize = 4;

const CStringHash kExitYes("exit_yes");
const CStringHash kExitNo("exit_no");

int RingIndex(const CStringHash& selected) {
  for (int i = 0; i < kMainRingSize; ++i)
    if (selected == CStringHash(kMainRing[i])) return i;
  return -1;
}

}  // namespace

bool CGameStatePause::OnEnter() {
  m_pausePage = kPauseMain;
  m_frameTime = 0.0f;
  m_selected = CStringHash(kMainRing[0]);
  if (!m_app) return true;
  CVandrel& app = *m_app;
  app.audioManager.PauseAllSounds();
  app.audioManager.PauseMusic();
  // The scene behind the menu is drawn blurred until the pause ends.
  gfx::CRenderManager& render = app.renderManager;
  render.finalBlur.Set(!render.finalBlur.pending);
  EnablePauseScreen(true);
  Select(CStringHash(kMainRing[0]));
  app.PauseGame();

  m_resolutions.clear();
  for (const gfx::SResolution& r : app.graphicsManager.GetResolutions())
    m_resolutions.emplace_back(r.width, r.height);
  // The screen's own size when the device offers it; else the first entry, so that the
  // graphics page always shows a resolution of the list.
  m_resolutionCursor = 0;
  for (size_t i = 0; i < m_resolutions.size(); ++i)
    if (m_resolutions[i].first == static_cast<float>(app.screenWidth) &&
        m_resolutions[i].second == static_cast<float>(app.screenHeight)) {
      m_resolutionCursor = i;
      break;
    }

  // A run frozen mid-stride would go on when play resumes: he stands in guard instead.
  if (m_world && m_world->player) {
    if (m_world->player->state == CPlayerController::kRun)
      m_world->player->SetState(CPlayerController::kIdleCombat);
  } else {
    utl::LogPrintf("Pause: there is no player to stop\n");
  }
  return true;
}

void CGameStatePause::Exit() {
  running = 0;
  Drop();
}

void CGameStatePause::EnablePauseScreen(bool enable) {
  if (!m_app) return;
  obj::CGameObject* screen = m_app->objectManager.GetGameObjectByName(CStringHash(kBackground));
  if (m_frontEnd) m_frontEnd->pauseScreen = screen;
  if (screen) m_app->objectManager.QueueEnable(screen, enable);
}

void CGameStatePause::Select(const CStringHash& element) {
  if (element.IsNoName()) return;
  m_selected = element;
}

bool CGameStatePause::Up() const {
  return Pressed(CInputManager::MoveForward) || Pressed(CInputManager::MenuUp);
}
bool CGameStatePause::Down() const {
  return Pressed(CInputManager::MoveBack) || Pressed(CInputManager::MenuDown);
}
bool CGameStatePause::Accept() const {
  return Pressed(CInputManager::MenuAccept) || Pressed(CInputManager::MenuEnter) ||
         Pressed(CInputManager::AttackX) || Pressed(CInputManager::Use) ||
         Pressed(CInputManager::Cover);
}
bool CGameStatePause::Back() const {
  return Pressed(CInputManager::MenuEscape) || Pressed(CInputManager::MenuBack);
}

void CGameStatePause::ReopenPauseMain(const char* selected) {
  Select(CStringHash(selected));
  m_pausePage = kPauseMain;
}

bool CGameStatePause::Update(float dt) {
  m_frameTime = dt;
  if (!m_app) return true;
  m_app->audioManager.RemoveStoppedChannels();
  // The pause key resumes from whatever page is open.
  if (Pressed(CInputManager::Pause)) {
    m_pausePage = kPauseResume;
    Select(CStringHash(kMainRing[0]));
  }
  switch (m_pausePage) {
    case kPauseMain:
      UpdateMainPage();
      break;
    case kPauseResume:
      Resume();
      break;
    case kPauseGoToMainMenu:
      UpdateGoToMainMenuPage();
      break;
    case kPauseQuit:
      UpdateQuitPage();
      break;
    default:
      // The option pages are not there yet: back to the main page.
      ReopenPauseMain("menu_button_optionspause");
      break;
  }
  return true;
}

void CGameStatePause::UpdateMainPage() {
  sfx::CAudioManager& audio = m_app->audioManager;
  const int at = RingIndex(m_selected);
  if (Up()) {
    audio.PlaySound("menu_click_02", false);
    Select(CStringHash(kMainRing[at <= 0 ? kMainRingSize - 1 : at - 1]));
    return;
  }
  if (Down()) {
    audio.PlaySound("menu_click_02", false);
    Select(CStringHash(kMainRing[at < 0 || at == kMainRingSize - 1 ? 0 : at + 1]));
    return;
  }
  if (!Accept()) return;
  audio.PlaySound("menu_click_01", false);
  switch (at) {
    case 0:
      m_pausePage = kPauseResume;
      break;
    case 1:
      m_pausePage = kPauseOptions;
      break;
    case 2:
      Select(kExitNo);
      m_pausePage = kPauseGoToMainMenu;
      break;
    case 3:
      Select(kExitNo);
      m_pausePage = kPauseQuit;
      break;
    default:
      break;
  }
}

void CGameStatePause::Resume() {
  CVandrel& app = *m_app;
  if (m_frontEnd && m_frontEnd->menuGroup >= 0) app.services->DisableObjectGroup(m_frontEnd->menuGroup);
  EnablePauseScreen(false);
  app.ResumeGame();
  app.audioManager.ResumeAllSounds();
  app.audioManager.ResumeMusic();
  gfx::CRenderManager& render = app.renderManager;
  render.finalBlur.Set(!render.finalBlur.pending);
  running = 0;
  next = kStateInGame;
}

void CGameStatePause::UpdateGoToMainMenuPage() {
  sfx::CAudioManager& audio = m_app->audioManager;
  if (Up() || Down()) {
    audio.PlaySound("menu_click_02", false);
    Select(CStringHash(m_selected == kExitYes ? "exit_no" : "exit_yes"));
    return;
  }
  const bool yes = m_selected == kExitYes;
  if (Accept() && yes) {
    audio.PlaySound("menu_click_01", false);
    gfx::CRenderManager& render = m_app->renderManager;
    render.finalBlur.Set(!render.finalBlur.pending);
    EnablePauseScreen(false);
    m_app->ExitToMainMenu();
    running = 0;
    next = kStateMenu;
    return;
  }
  if (Accept() || Back()) {
    audio.PlaySound("menu_back_01", false);
    ReopenPauseMain("menu_button_gotomainmenu");
    EnablePauseScreen(true);
  }
}

void CGameStatePause::UpdateQuitPage() {
  sfx::CAudioManager& audio = m_app->audioManager;
  if (Up() || Down()) {
    audio.PlaySound("menu_click_02", false);
    Select(CStringHash(m_selected == kExitYes ? "exit_no" : "exit_yes"));
    return;
  }
  const bool yes = m_selected == kExitYes;
  if (Accept() && yes) {
    audio.PlaySound("menu_click_01", false);
    m_app->quitRequested = 1;
    plat::PostQuit(0);
    return;
  }
  if (Accept() || Back()) {
    audio.PlaySound("menu_back_01", false);
    ReopenPauseMain("menu_button_exitpause");
    EnablePauseScreen(true);
  }
}

}  // namespace vd
