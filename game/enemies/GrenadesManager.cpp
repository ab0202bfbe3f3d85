#include "game/enemies/GrenadesManager.h"

namespace vd {

void CGrenadesManager::Init() { m_initialised = true; }

void CGrenadesManager::Update(float) {}

void CGrenadesManager::Reset() { m_initialised = false; }

}  // namespace vd
