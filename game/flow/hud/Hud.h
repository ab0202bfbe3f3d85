#pragma once
// The in-game display as play sees it before its screens exist: brought up when
// play begins (black at once), stepped once a frame, reset with the level. Of its
// elements it keeps only the button prompt so far.
#include <string>

namespace vd {

class CHUD {
public:
  // When play begins.
  void Init();
  // The screen goes black over `seconds` (0: at once).
  void ShowBlackScreen(float seconds);
  void Update(float dt);
  // Back to no level.
  void Reset();

  // The button prompt with the named texture ("hud/Button_A.dds",
  // "hud/Keyboard_K.dds"); `seconds` > 0 hides it again after that time, 0 keeps
  // it until it is hidden.
  void ShowButton(const char* texture, float seconds);
  void HideButton();
  bool IsButtonVisible() const { return buttonVisible != 0; }
  const std::string& GetButtonTexture() const { return m_buttonTexture; }

  bool IsInitialised() const { return m_initialised; }

  // Cleared by whoever hides the button.
  unsigned char buttonVisible = 0;
  // 1 black, 0 clear.
  float GetBlackness() const { return m_blackness; }

private:
  bool m_initialised = false;
  float m_blackness = 0.0f;
  std::string m_buttonTexture;
  float m_buttonTime = 0.0f;
};

}  // namespace vd
