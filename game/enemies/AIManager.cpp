#include "game/enemies/AIManager.h"

namespace vd {

bool CAIManager::Init() {
  m_initialised = true;
  m_clock = 0.0f;
  return true;
}

void CAIManager::ReserveEnemyList() {}

void CAIManager::Update(float dt) {
  if (m_initialised) m_clock += dt;
}

void CAIManager::Clear() {
  m_initialised = false;
  m_clock = 0.0f;
}

}  // namespace vd
