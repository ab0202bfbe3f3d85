#include "game/flow/hud/Hud.h"

namespace vd {

void CHUD::Init() {
  m_initialised = true;
  m_blackness = 0.0f;
}

void CHUD::ShowBlackScreen(float) { m_blackness = 1.0f; }

void CHUD::Update(float) {}

void CHUD::Reset() {
  m_initialised = false;
  m_blackness = 0.0f;
}

}  // namespace vd
