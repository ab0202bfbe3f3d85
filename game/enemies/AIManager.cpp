#include "game/enemies/AIManager.h"

#include <algorithm>

namespace vd {

namespace {

CAIManager* g_active = nullptr;

}  // namespace

CAIManager::~CAIManager() { Clear(); }

CAIManager* CAIManager::GetActive() { return g_active; }

bool CAIManager::Init() {
  m_initialised = true;
  m_clock = 0.0f;
  m_enemies.clear();
  return true;
}

void CAIManager::Activate() {
  g_active = this;
  SetEnemyList(this);
}

void CAIManager::ReserveEnemyList() {
  // The enemies join when their groups are switched on; room for a zone's worth
  // spares the list from growing in the middle of a fight.
  m_enemies.reserve(32);
}

bool CAIManager::Load(const char* path) { return LoadAIData(path, m_data); }

void CAIManager::Update(float dt) {
  if (m_initialised) m_clock += dt;
}

void CAIManager::Clear() {
  m_initialised = false;
  m_clock = 0.0f;
  m_enemies.clear();
  m_data.Clear();
  if (g_active == this) g_active = nullptr;
  if (GetEnemyList() == this) SetEnemyList(nullptr);
}

void CAIManager::AddEnemy(uint32_t objectId) {
  if (std::find(m_enemies.begin(), m_enemies.end(), objectId) != m_enemies.end()) return;
  m_enemies.push_back(objectId);
}

void CAIManager::RemoveEnemy(uint32_t objectId) {
  m_enemies.erase(std::remove(m_enemies.begin(), m_enemies.end(), objectId), m_enemies.end());
}

uint32_t CAIManager::GetEnemyId(size_t index) const {
  return index < m_enemies.size() ? m_enemies[index] : 0xFFFFFFFFu;
}

}  // namespace vd
