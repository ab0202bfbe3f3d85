#include "game/flow/hud/Hud.h"

namespace vd {

void CHUD::Init() {
  m_initialised = true;
  m_blackness = 0.0f;
}

void CHUD::ShowBlackScreen(float) { m_blackness = 1.0f; }

void CHUD::ShowButton(const char* texture, float seconds) {
  // The text is copied: callers hand literals and script strings alike.
  m_buttonTexture = texture ? texture : "";
  m_buttonTime = seconds > 0.0f ? seconds : 0.0f;
  buttonVisible = 1;
}

void CHUD::HideButton() {
  buttonVisible = 0;
  m_buttonTime = 0.0f;
}

void CHUD::Update(float dt) {
  if (buttonVisible && m_buttonTime > 0.0f) {
    m_buttonTime -= dt;
    if (m_buttonTime <= 0.0f) HideButton();
  }
}

void CHUD::Reset() {
  m_initialised = false;
  m_blackness = 0.0f;
  HideButton();
  m_buttonTexture.clear();
}

}  // namespace vd
