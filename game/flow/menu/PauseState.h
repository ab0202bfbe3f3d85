#pragma once
// State 6: the pause menu over the frozen game. Entering it stops the game's groups,
// timers, sounds and music and blurs the scene behind the menu; its pages are the
// menu's own pictures ("pause" and the option pages), run through the menu's page
// helpers; resuming gives all of it back as it was; "go to main menu" leaves the
// level through ExitToMainMenu.
#include <cstdint>

#include "engine/core/StringHash.h"
#include "game/flow/GameStates.h"

namespace vd {

class CGameStatePause : public CGameStateMenu {
public:
  // The pause menu's pages.
  enum EPausePage : int {
    kPauseMain = 0,
    kPauseResume,
    kPauseOptions,
    kPauseGameOptions,
    kPauseGraphics,
    kPauseSound,
    kPauseGoToMainMenu,
    kPauseQuit,
  };
  // The translucent screen laid over the frozen scene, behind the buttons.
  static constexpr const char* kBackground = "pause_background";

  void Exit() override;
  bool IsReady() override { return m_world != nullptr; }
  bool Update(float dt) override;

  int GetPausePage() const { return m_pausePage; }
  const CStringHash& GetSelected() const { return selected; }

protected:
  bool OnEnter() override;

private:
  // The pause page shown again with `select` highlighted.
  void ReopenPauseMain(const char* select);
  void EnablePauseScreen(bool enable);
  void ToggleBlur();
  void UpdateMainPage();
  void Resume();
  void UpdateOptionsPage();
  void OpenGameOptions();
  void UpdateGameOptionsPage();
  void UpdateGoToMainMenuPage();
  void UpdateQuitPage();
  // The saved graphics options into the render switches and the camera's projection.
  void ApplyGraphics();

  int m_pausePage = kPauseMain;
};

}  // namespace vd
