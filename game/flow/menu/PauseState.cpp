#include "game/flow/menu/PauseState.h"

#include "engine/core/Log.h"
#include "engine/input/InputManager.h"
#include "engine/objects/Camera.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/render/RenderManager.h"
#include "game/flow/Vandrel.h"
#include "game/flow/menu/MenuPages.h"
#include "game/player/FollowCamera.h"
#include "game/player/PlayerController.h"

namespace vd {

namespace {

// The pause menu's main page, top to bottom.
const char* const kMainRing[] = {"menu_button_resumegame", "menu_button_optionspause",
                                 "menu_button_gotomainmenu", "menu_button_exitpause"};
// Its options page: the main menu's, whose back leads to the pause page.
const char* const kOptionsRing[] = {"menu_button_gameoptions", "menu_button_graphics",
                                    "menu_button_sound", "menu_button_back"};
// Its game options: the difficulty of a game under way is not changed.
const char* const kGameOptionsRing[] = {"option_language", "option_subtitles", "menu_button_save",
                                        "menu_button_back"};
// The difficulty row of the game-options page, hidden in the pause.
const char* const kDifficultyRow[] = {"option_difficulty", "difficulty_left_arrow",
                                      "difficulty_right_arrow", "difficulty_easy",
                                      "difficulty_normal", "difficulty_hard"};
const char* const kLanguages[] = {"language_eng", "language_spa"};

template <size_t N>
int RingIndex(const char* const (&ring)[N], const CStringHash& selected) {
  for (size_t i = 0; i < N; ++i)
    if (selected == CStringHash(ring[i])) return static_cast<int>(i);
  return -1;
}

// The ring's element up (-1) or down (+1) of the selection; the first when the
// selection is not in the ring.
template <size_t N>
const char* RingStep(const char* const (&ring)[N], const CStringHash& selected, int step) {
  const int at = RingIndex(ring, selected);
  const int n = static_cast<int>(N);
  return ring[at < 0 ? 0 : (at + step + n) % n];
}

}  // namespace

bool CGameStatePause::OnEnter() {
  m_pausePage = kPauseMain;
  frameTime = 0.0f;
  horizontalInput = 0.0f;
  holdTimer = 0.0f;
  if (!m_app) return true;
  CVandrel& app = *m_app;
  app.audioManager.PauseAllSounds();
  app.audioManager.PauseMusic();
  ToggleBlur();
  EnablePauseScreen(true);
  menu::ShowPage(*this, CStringHash("pause"));
  SelectElement(CStringHash(kMainRing[0]));
  app.PauseGame();
  page = kPageMainMenu;

  // The option pages start from the options in force, as the main menu's do.
  if (m_options && m_frontEnd) {
    menu::ResetPendingGameConfig(*this);
    menu::ResetPendingGraphics(*this);
    SPendingOptions& pending = m_frontEnd->pending;
    pending.musicVolume = app.audioManager.GetTypeVolume(CStringHash("music"));
    pending.effectsVolume = app.audioManager.GetTypeVolume(CStringHash("sfx"));
    pending.voicesVolume = app.audioManager.GetTypeVolume(CStringHash("voice"));
  }
  SetResolutions(app.graphicsManager.GetResolutions(), static_cast<float>(app.screenWidth),
                 static_cast<float>(app.screenHeight));

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
  m_textureRetries.clear();
}

void CGameStatePause::ToggleBlur() {
  gfx::CRenderManager& render = m_app->renderManager;
  render.finalBlur.Set(!render.finalBlur.pending);
}

void CGameStatePause::EnablePauseScreen(bool enable) {
  if (!m_app) return;
  // Looked up on every visit: the front end holds it, but the pre-loaded menu
  // may not have had it.
  obj::CGameObject* screen = m_app->objectManager.GetGameObjectByName(CStringHash(kBackground));
  if (m_frontEnd) m_frontEnd->pauseScreen = screen;
  if (screen) m_app->objectManager.QueueEnable(screen, enable);
}

void CGameStatePause::ReopenPauseMain(const char* select) {
  menu::ShowPage(*this, CStringHash("pause"));
  SelectElement(CStringHash(select));
  m_pausePage = kPauseMain;
}

bool CGameStatePause::Update(float dt) {
  frameTime = dt;
  if (!m_app) return true;
  m_app->audioManager.RemoveStoppedChannels();
  RetryTextures();
  // The pause key resumes from whatever page is open.
  if (SlotPressed(CInputManager::Pause)) {
    horizontalInput = 0.0f;
    m_pausePage = kPauseResume;
    SelectElement(CStringHash(kMainRing[0]));
  } else {
    // Restarts the sliders' hold timer when no direction is held; reads left and
    // right for the option pages.
    menu::HorizontalSound(*this);
  }
  UpdateElementFades(dt);
  switch (m_pausePage) {
    case kPauseMain:
      UpdateMainPage();
      break;
    case kPauseResume:
      Resume();
      break;
    case kPauseOptions:
      UpdateOptionsPage();
      break;
    case kPauseGameOptions:
      UpdateGameOptionsPage();
      break;
    case kPauseGraphics:
      UpdateGraphicsConfigPage();
      if (page == kPageOptions) {
        ApplyGraphics();
        m_pausePage = kPauseOptions;
      }
      break;
    case kPauseSound:
      UpdateSoundConfigPage();
      if (page == kPageOptions) m_pausePage = kPauseOptions;
      break;
    case kPauseGoToMainMenu:
      UpdateGoToMainMenuPage();
      break;
    case kPauseQuit:
      UpdateQuitPage();
      break;
    default:
      ReopenPauseMain(kMainRing[0]);
      break;
  }
  return true;
}

void CGameStatePause::UpdateMainPage() {
  if (menu::Up(*this)) return SelectElement(CStringHash(RingStep(kMainRing, selected, -1)));
  if (menu::Down(*this)) return SelectElement(CStringHash(RingStep(kMainRing, selected, 1)));
  if (!menu::Accept(*this)) return;
  const int at = RingIndex(kMainRing, selected);
  if (at < 0) return;
  PlaySound("menu_click_01");
  menu::HidePage(*this, CStringHash("pause"));
  switch (at) {
    case 0:
      m_pausePage = kPauseResume;
      break;
    case 1:
      OpenOptionsPage(CStringHash("menu_button_gameoptions"));
      m_pausePage = kPauseOptions;
      break;
    case 2:
      OpenExitPage();
      menu::HidePage(*this, CStringHash("main_menu"));
      m_pausePage = kPauseGoToMainMenu;
      break;
    default:
      OpenExitPage();
      menu::HidePage(*this, CStringHash("main_menu"));
      m_pausePage = kPauseQuit;
      break;
  }
}

void CGameStatePause::Resume() {
  CVandrel& app = *m_app;
  // Every page's pictures go with the menu's group, the screen over the scene too.
  if (m_frontEnd && m_frontEnd->menuGroup >= 0) app.services->DisableObjectGroup(m_frontEnd->menuGroup);
  EnablePauseScreen(false);
  app.ResumeGame();
  app.audioManager.ResumeAllSounds();
  app.audioManager.ResumeMusic();
  ToggleBlur();
  running = 0;
  next = kStateInGame;
}

void CGameStatePause::UpdateOptionsPage() {
  const bool back = menu::Back(*this);
  if (menu::Up(*this)) {
    SelectElement(CStringHash(RingStep(kOptionsRing, selected, -1)));
  } else if (menu::Down(*this)) {
    SelectElement(CStringHash(RingStep(kOptionsRing, selected, 1)));
  } else if (menu::Accept(*this)) {
    if (selected == CStringHash("menu_button_gameoptions")) {
      PlaySound("menu_click_01");
      CloseOptionsPage();
      OpenGameOptions();
      return;
    }
    if (selected == CStringHash("menu_button_graphics")) {
      PlaySound("menu_click_01");
      CloseOptionsPage();
      OpenGraphicsConfigPage();
      m_pausePage = kPauseGraphics;
      return;
    }
    if (selected == CStringHash("menu_button_sound")) {
      PlaySound("menu_click_01");
      CloseOptionsPage();
      OpenSoundConfigPage();
      m_pausePage = kPauseSound;
      return;
    }
    if (selected == CStringHash("menu_button_back")) {
      PlaySound("menu_back_01");
      CloseOptionsPage();
      ReopenPauseMain("menu_button_optionspause");
      return;
    }
  }
  if (back) {
    PlaySound("menu_back_01");
    CloseOptionsPage();
    ReopenPauseMain(kMainRing[0]);
  }
}

void CGameStatePause::OpenGameOptions() {
  OpenGameConfigPage(CStringHash("option_language"));
  for (const char* name : kDifficultyRow) EnableElement(CStringHash(name), false);
  m_pausePage = kPauseGameOptions;
}

void CGameStatePause::UpdateGameOptionsPage() {
  const bool back = menu::Back(*this);
  do {
    const bool up = menu::Up(*this);
    if (up || menu::Down(*this)) {
      const CStringHash from = selected;
      HighlightRowValue(from, false);
      SelectElement(CStringHash(RingStep(kGameOptionsRing, from, up ? -1 : 1)));
      HighlightRowValue(selected, true);
      break;
    }
    if (!m_frontEnd) break;
    SPendingOptions& p = m_frontEnd->pending;
    if (selected == CStringHash("option_language")) {
      if (StepValue(p.language, kLanguages, 2, "language_left_arrow", "language_right_arrow", true)) {
        menu::ApplyLanguageTextures(*this);
        HighlightRowValue(selected, true);
        FlashElement(CStringHash(horizontalInput > 0.0f ? "language_right_arrow"
                                                        : "language_left_arrow"));
      }
    } else if (selected == CStringHash("option_subtitles")) {
      StepFlag(p.subtitles, "subtitles_off", "subtitles_on", "subtitles_left_arrow",
               "subtitles_right_arrow", true);
    }
    if (!menu::Accept(*this)) break;
    if (selected == CStringHash("menu_button_save")) menu::SaveGameConfig(*this);
    else if (selected == CStringHash("menu_button_back")) menu::BackGameConfig(*this);
  } while (false);
  if (back && page == kPageGameConfig) menu::BackGameConfig(*this);
  // Save and back close the page and open the options with their button selected.
  if (page == kPageOptions) m_pausePage = kPauseOptions;
}

void CGameStatePause::UpdateGoToMainMenuPage() {
  if (menu::Up(*this) || menu::Down(*this)) {
    SelectElement(CStringHash(selected == CStringHash("exit_yes") ? "exit_no" : "exit_yes"));
    return;
  }
  const bool accept = menu::Accept(*this);
  if (accept && selected == CStringHash("exit_yes")) {
    PlaySound("menu_click_01");
    ToggleBlur();
    // Not one of the menu's pages: the menu's entry would leave it over its backdrop.
    EnablePauseScreen(false);
    m_app->ExitToMainMenu();
    // The menu's song, as after the credits: the menu's entry does not start it.
    m_app->audioManager.PlaySong("main_menu_01", true);
    running = 0;
    next = kStateMenu;
    return;
  }
  if (accept || menu::Back(*this)) {
    PlaySound("menu_back_01");
    CloseExitPage();
    ReopenPauseMain("menu_button_gotomainmenu");
    menu::HidePage(*this, CStringHash("main_menu"));
    EnablePauseScreen(true);
  }
}

void CGameStatePause::UpdateQuitPage() {
  UpdateExitPage();
  // Its no opens the main menu's page: the pause page comes back instead.
  if (page != kPageMainMenu) return;
  ReopenPauseMain("menu_button_exitpause");
  menu::HidePage(*this, CStringHash("main_menu"));
  EnablePauseScreen(true);
}

void CGameStatePause::ApplyGraphics() {
  if (!m_app || !m_options) return;
  ApplyGraphicsPreset(m_app->renderManager, *m_options);
  // The picture may have changed its shape: the game's camera follows it.
  CCameraGOWController* controller = m_world ? m_world->camera : nullptr;
  obj::CGameObject* owner = controller ? controller->GetOwner() : nullptr;
  cam::CCamera* camera = owner ? owner->GetComponent<cam::CCamera>() : nullptr;
  if (!camera || m_app->screenWidth <= 0 || m_app->screenHeight <= 0) return;
  camera->aspect = static_cast<float>(m_app->screenWidth) / static_cast<float>(m_app->screenHeight);
  camera->SetFov(camera->fov);
}

}  // namespace vd
