#pragma once
// State 6: the pause menu over the frozen game. Entering it stops the game's groups,
// timers, sounds and music and blurs the scene behind the menu; resuming gives all of
// it back as it was; "go to main menu" leaves the level through ExitToMainMenu.
#include <cstdint>
#include <utility>
#include <vector>

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
  // The translucent screen laid over the frozen scene.
  static constexpr const char* kBackground = "pause_background";

  void Exit() override;
  bool IsReady() override { return m_world != nullptr; }
  bool Update(float dt) override;

  int GetPausePage() const { return m_pausePage; }
  const CStringHash& GetSelected() const { return m_selected; }
  const std::vector<std::pair<float, float>>& GetResolutions() const { return m_resolutions; }
  // The entry of the resolution list the graphics page starts from.
  size_t GetResolutionCursor() const { return m_resolutionCursor; }

protected:
  bool OnEnter() override;

private:
  void Select(const CStringHash& element);
  void ReopenPauseMain(const char* selected);
  void EnablePauseScreen(bool enable);
  void UpdateMainPage();
  void Resume();
  void UpdateGoToMainMenuPage();
  void UpdateQuitPage();
  bool Up() const;
  bool Down() const;
  bool Accept() const;
  bool Back() const;

  int m_pausePage = kPauseMain;
  CStringHash m_selected;
  float m_frameTime = 0.0f;
  // Whether Enter switched the blur on: resuming and leaving switch back only that.
  bool m_blurred = false;
  std::vector<std::pair<float, float>> m_resolutions;
  size_t m_resolutionCursor = 0;
};

}  // namespace vd
