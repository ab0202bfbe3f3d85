#pragma once
// The main menu: a scrolling backdrop and seven pages of pictures whose highlight
// the arrow keys and the pad move. The option pages edit pending copies of the game
// options that only a page's save writes back. The pause menu derives from it and
// reuses the element operations, the option pages and the page helpers.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/StringHash.h"
#include "engine/render/device/GraphicsManager.h"
#include "game/flow/GameStateBase.h"
#include "game/flow/GameWorld.h"

namespace vd {

class CGameStateMenu : public CGameStateBase {
public:
  enum EPage : int {
    kPageMainMenu = 0,
    kPageNewGame,
    kPageOptions,
    kPageGameConfig,
    kPageGraphicsConfig,
    kPageSoundConfig,
    kPageExit
  };
  static constexpr const char* kMenuFile = "Data/xml/menu_main.xml";
  // The template every menu picture is made from.
  static constexpr const char* kMenuTemplate = "menu";
  // The screen the menu's pictures are laid out on, for a file that gives no size.
  static constexpr int kLayoutWidth = 1024;
  static constexpr int kLayoutHeight = 768;

  void Exit() override;
  bool Update(float dt) override;

  // Reads the menu file into the front end's element table. False when the file is
  // missing, empty or not XML; entries that lack a name or one of their three keys
  // are logged and skipped, and a size that is not positive is logged and not taken.
  bool LoadMenuFile(const char* path = kMenuFile);

  // --- Elements of the front end's table by name ------------------------------
  SMenuElement* Element(const CStringHash& name);
  SMenuElement* Element(const char* name) { return Element(CStringHash(name)); }
  void HighlightElement(const CStringHash& name);
  void UnhighlightElement(const CStringHash& name);
  // The old selection back to normal, the new one highlighted; a name without text
  // keeps the selection.
  void SelectElement(const CStringHash& name);
  void FlashElement(const CStringHash& name);
  void HighlightResolution();
  void UnhighlightResolution();
  // Queues the element's object on or off for the next frame; nothing without one.
  void EnableElement(const CStringHash& name, bool enable);
  // Once a frame: flashed elements fade towards dim and come back to their normal
  // look when their countdown has run out.
  void UpdateElementFades(float dt);

  // --- Pages -------------------------------------------------------------------
  void OpenMainMenuPage(const CStringHash& select);
  void CloseMainMenuPage();
  void UpdateMainMenuPage();
  void OpenNewGamePage();
  void CloseNewGamePage();
  void UpdateNewGamePage();
  void OpenOptionsPage(const CStringHash& select);
  void CloseOptionsPage();
  void UpdateOptionsPage();
  void OpenGameConfigPage(const CStringHash& select);
  void CloseGameConfigPage();
  void UpdateGameConfigPage();
  void OpenSoundConfigPage();
  void CloseSoundConfigPage();
  void UpdateSoundConfigPage();
  void OpenExitPage();
  void CloseExitPage();
  void UpdateExitPage();
  void OpenGraphicsConfigPage();
  void CloseGraphicsConfigPage();
  void UpdateGraphicsConfigPage();
  // The pending graphics values of the pending quality ("graphicsquality_low",
  // "_medium" or "_high"); any other name changes nothing.
  void ApplyQualityPreset();
  void StartNewGame();

  // The display sizes the graphics page steps through; the cursor always names an
  // entry while the list is not empty (the current size is added when missing).
  void SetResolutions(const std::vector<gfx::SResolution>& list, float width, float height);

  // --- What the pages reach of the game; tests replace them --------------------
  // A press of the merged input slot this frame.
  virtual bool SlotPressed(int slot) const;
  // The held value of the slot (non-zero while held).
  virtual float SlotValue(int slot) const;
  virtual void PlaySound(const char* name);
  virtual void QueueEnable(SMenuElement& element, bool enable);
  // Draws the element with the texture of that name, when the render side has it.
  virtual void ShowTexture(SMenuElement& element, const std::string& texture);
  virtual void SetTypeVolume(const char* type, float volume);
  // The exit page's yes: the quit flag and the quit message.
  virtual void QuitGame();

  CGameOptions* Options() const { return m_options; }
  CFrontEndData* FrontEnd() const { return m_frontEnd; }
  CVandrel* App() const { return m_app; }
  // Tests run the pages without the game.
  void Bind(CGameOptions* options, CFrontEndData* frontEnd) {
    m_options = options;
    m_frontEnd = frontEnd;
  }

  std::vector<gfx::SResolution> resolutions;
  size_t resolutionCursor = 0;
  int page = kPageMainMenu;
  CStringHash selected{"menu_button_newgame"};
  CStringHash flashing;
  float frameTime = 0.0f;
  float horizontalInput = 0.0f;
  // Seconds a horizontal direction has been held (the volume sliders speed up).
  float holdTimer = 0.0f;

protected:
  bool OnEnter() override;
  // The fog layers scroll and the pages run.
  void UpdateBackdrop(float dt);
  // Textures asked for before the render side had made them: tried again each frame.
  void RetryTextures();
  // A pending value name stepped by right (+1) or left (-1) through `values`, with
  // the old value element off and the new one on and highlighted; the arrow of the
  // pressed side flashed. False when nothing was pressed.
  bool StepValue(CStringHash& pending, const char* const* values, int count, const char* left,
                 const char* right, bool highlight);
  bool StepFlag(uint8_t& pending, const char* off, const char* on, const char* left,
                const char* right, bool highlight);
  // The value element shown for an option row (the digits for the resolution).
  void HighlightRowValue(const CStringHash& row, bool on);

  std::vector<std::pair<uint32_t, std::string>> m_textureRetries;
};

}  // namespace vd
