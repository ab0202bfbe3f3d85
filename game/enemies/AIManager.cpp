#include "game/enemies/AIManager.h"

#include <algorithm>

#include "engine/core/Log.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Tracker.h"
#include "game/enemies/Berserker.h"
#include "game/enemies/Krauser.h"

namespace vd {

namespace {

CAIManager* g_active = nullptr;
// The manager a level is loading into, until it is activated or cleared.
CAIManager* g_loading = nullptr;

}  // namespace

CAIManager::~CAIManager() {
  Clear();
}

CAIManager* CAIManager::GetActive() { return g_active; }

CAIManager* CAIManager::GetCurrent() { return g_active ? g_active : g_loading; }

bool CAIManager::Init(const char* dataPath) {
  Clear();
  m_initialised = true;
  Load(dataPath);
  m_stateNames[CStringHash("go_to_target").GetHash()] = 12;
  m_stateNames[CStringHash("corpse").GetHash()] = 36;
  m_stateNames[CStringHash("playlist").GetHash()] = 7;
  m_attackers.reserve(static_cast<size_t>(m_data.vomitAttackersMax));
  // The trackers the level has loaded so far; the zones' own are linked after them.
  LinkTrackers(false);
  g_loading = this;
  return true;
}

void CAIManager::Activate() {
  g_active = this;
  if (g_loading == this) g_loading = nullptr;
  SetEnemyList(this);
}

void CAIManager::LinkTrackers(bool report) {
  m_sharedTrackers.clear();
  for (const std::string& name : m_data.trackerObjects) {
    obj::CGameObject* object = name.empty() ? nullptr : obj::FindGameObjectByName(CStringHash(name.c_str()));
    lgc::CTracker* tracker = object ? object->GetComponent<lgc::CTracker>() : nullptr;
    if (!tracker && report && !name.empty())
      utl::LogPrintf("AI: shared tracker '%s' is not a loaded object with a tracker\n", name.c_str());
    m_sharedTrackers.push_back(tracker);
  }
  for (SPlayListSet& set : m_playLists)
    for (auto& group : set.groups)
      for (SPlayList& list : group.second)
        for (auto* entries : {&list.entries, &list.exitEntries})
          for (SPlayListEntry& entry : *entries) {
            if (entry.trackerName.empty()) continue;
            obj::CGameObject* object = obj::FindGameObjectByName(CStringHash(entry.trackerName.c_str()));
            entry.tracker = object ? object->GetComponent<lgc::CTracker>() : nullptr;
          }
}

bool CAIManager::ReserveEnemyList() {
  LinkTrackers(true);
  size_t count = 0;
  if (obj::CGameObjectManager* objects = obj::CGameObjectManager::GetInstance()) {
    std::vector<obj::CGameObject*> found;
    objects->GetGameObjectsWithComponent(CBerserker::GetClassName(), found);
    count = found.size();
  }
  m_enemies.reserve(count);
  m_fighters.reserve(count);
  return true;
}

bool CAIManager::Load(const char* path) {
  for (SPlayListSet& set : m_playLists) set.Clear();
  const bool read = LoadAIData(path, m_data);
  for (int kind = 0; kind < kEnemyKindCount; ++kind)
    for (const std::string& file : m_data.playListFiles[kind])
      LoadPlayListFile(file.c_str(), m_playLists[kind]);
  return read;
}

int CAIManager::StateFromName(const char* name) const {
  const auto found = m_stateNames.find(CStringHash(name ? name : "").GetHash());
  return found == m_stateNames.end() ? 0 : found->second;
}

const SPlayListSet* CAIManager::GetPlayLists(int kind) const {
  return kind >= 0 && kind < kEnemyKindCount ? &m_playLists[kind] : nullptr;
}

const SPlayList* CAIManager::FindPlayList(int kind, int group, int id) const {
  const SPlayListSet* set = GetPlayLists(kind);
  return set ? set->Find(group, id) : nullptr;
}

lgc::CTracker* CAIManager::GetSharedTracker(int index) const {
  return index >= 0 && static_cast<size_t>(index) < m_sharedTrackers.size()
             ? m_sharedTrackers[static_cast<size_t>(index)]
             : nullptr;
}

void CAIManager::Update(float dt) {
  if (!m_initialised) return;
  m_clock += dt;
  m_timeSinceFatalityWindow += dt;
  const auto ended = std::find_if(m_attackers.begin(), m_attackers.end(), [](CBerserker* fighter) {
    return !fighter || fighter->current != SAIState{17, 0};
  });
  if (ended != m_attackers.end()) m_attackers.erase(ended);
  if (m_fatalityActive) {
    m_fatalityTimer -= dt;
    if (m_fatalityTimer <= 0.0f) {
      fatalityCandidate = nullptr;
      m_fatalityActive = 0;
    }
  }
}

void CAIManager::Clear() {
  m_initialised = false;
  m_clock = 0.0f;
  m_enemies.clear();
  m_fighters.clear();
  m_attackers.clear();
  m_data.Clear();
  for (SPlayListSet& set : m_playLists) set.Clear();
  m_stateNames.clear();
  m_sharedTrackers.clear();
  m_fatalityActive = 0;
  m_fatalityTimer = 0.0f;
  m_timeSinceFatalityWindow = 0.0f;
  fatalityCandidate = nullptr;
  if (g_active == this) g_active = nullptr;
  if (g_loading == this) g_loading = nullptr;
  if (GetEnemyList() == this) SetEnemyList(nullptr);
}

void CAIManager::Spread() {
  const size_t n = m_fighters.size();
  for (size_t i = 0; i < n; ++i)
    m_fighters[i]->repathTimer += 2.0f * static_cast<float>(i) / static_cast<float>(n);
}

void CAIManager::AddEnemy(obj::CGameObject* object) {
  if (!object) return;
  AddEnemy(static_cast<uint32_t>(object->GetId()));
  CBerserker* fighter = object->GetComponent<CBerserker>();
  if (!fighter || std::find(m_fighters.begin(), m_fighters.end(), fighter) != m_fighters.end())
    return;
  m_fighters.push_back(fighter);
  Spread();
}

void CAIManager::RemoveEnemy(obj::CGameObject* object) {
  if (!object) return;
  RemoveEnemy(static_cast<uint32_t>(object->GetId()));
  CBerserker* fighter = object->GetComponent<CBerserker>();
  // What it held in the fight goes with it: slots, attack, vomit, fatality offer.
  if (fighter) fighter->LeaveFight();
  const auto found = std::find(m_fighters.begin(), m_fighters.end(), fighter);
  if (!fighter || found == m_fighters.end()) return;
  m_fighters.erase(found);
  // A fighter that leaves takes no part in the manager's bookkeeping any more.
  m_attackers.erase(std::remove(m_attackers.begin(), m_attackers.end(), fighter), m_attackers.end());
  if (fatalityCandidate == fighter) fatalityCandidate = nullptr;
  Spread();
}

void CAIManager::AddEnemy(uint32_t objectId) {
  if (std::find(m_enemies.begin(), m_enemies.end(), objectId) != m_enemies.end()) return;
  m_enemies.push_back(objectId);
}

void CAIManager::RemoveEnemy(uint32_t objectId) {
  const auto found = std::find(m_enemies.begin(), m_enemies.end(), objectId);
  if (found != m_enemies.end()) m_enemies.erase(found);
}

uint32_t CAIManager::GetEnemyId(size_t index) const {
  return index < m_enemies.size() ? m_enemies[index] : 0xFFFFFFFFu;
}

// --- Groups ---------------------------------------------------------------------------------

void CAIManager::ForEachFighterObject(int group, bool countCorpses,
                                      void (*visit)(obj::CGameObject*, CBerserker*, void*),
                                      void* data) const {
  obj::CGameObjectManager* objects = obj::CGameObjectManager::GetInstance();
  if (!objects) return;
  std::vector<obj::CGameObject*> found;
  objects->GetGameObjectsWithComponent(CBerserker::GetClassName(), found);
  for (obj::CGameObject* object : found) {
    CBerserker* fighter = object->GetComponent<CBerserker>();
    if (!fighter || fighter->group != group || !fighter->activeAtDifficulty) continue;
    if (!countCorpses && fighter->startsAsCorpse) continue;
    visit(object, fighter, data);
  }
}

void CAIManager::EnableEnemyGroup(int group) {
  ForEachFighterObject(group, true, [](obj::CGameObject* object, CBerserker*, void*) {
    if (!object->IsEnabled()) object->RequestEnable(true);
  }, nullptr);
  EnableBossGroup(group, true);
}

void CAIManager::DisableEnemyGroup(int group) {
  ForEachFighterObject(group, true, [](obj::CGameObject* object, CBerserker*, void*) {
    if (object->IsEnabled()) object->RequestEnable(false);
  }, nullptr);
  EnableBossGroup(group, false);
}

// --- The boss's group ---------------------------------------------------------------------

void CAIManager::EnableBossGroup(int group, bool on) {
  obj::CGameObjectManager* objects = obj::CGameObjectManager::GetInstance();
  if (!objects) return;
  std::vector<obj::CGameObject*> found;
  objects->GetGameObjectsWithComponent(CKrauser::GetClassName(), found);
  for (obj::CGameObject* object : found) {
    const CKrauser* boss = object->GetComponent<CKrauser>();
    if (!boss || boss->group != group || object->IsEnabled() == on) continue;
    object->RequestEnable(on);
  }
}

int CAIManager::GetEnemyGroupCount(int group) const {
  int count = 0;
  ForEachFighterObject(group, false, [](obj::CGameObject*, CBerserker*, void* n) {
    ++*static_cast<int*>(n);
  }, &count);
  return count;
}

void CAIManager::SetTargetToEnemyGroup(int group, const char* objectName) {
  obj::CGameObject* target =
      objectName && objectName[0] ? obj::FindGameObjectByName(CStringHash(objectName)) : nullptr;
  ForEachFighterObject(group, false, [](obj::CGameObject*, CBerserker* fighter, void* t) {
    fighter->SetTargetObject(static_cast<obj::CGameObject*>(t));
  }, target);
}

// --- Fatality and vomit ---------------------------------------------------------------------

void CAIManager::StartFatalityCoolDown() {
  m_fatalityActive = 1;
  m_fatalityTimer = m_data.fatalityDelay;
  m_timeSinceFatalityWindow = 0.0f;
}

bool CAIManager::CanAddVomitAttacker() const {
  return m_attackers.size() < static_cast<size_t>(std::max(0, m_data.vomitAttackersMax));
}

void CAIManager::AddVomitAttacker(CBerserker* fighter) {
  // Listed once, however soon it sprays again.
  if (!fighter || std::find(m_attackers.begin(), m_attackers.end(), fighter) != m_attackers.end())
    return;
  if (CanAddVomitAttacker()) m_attackers.push_back(fighter);
}

void CAIManager::RemoveVomitAttacker(const CBerserker* fighter) {
  m_attackers.erase(std::remove(m_attackers.begin(), m_attackers.end(), fighter), m_attackers.end());
}

}  // namespace vd
