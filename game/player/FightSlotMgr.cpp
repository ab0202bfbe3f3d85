#include "game/player/FightSlotMgr.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "engine/core/Log.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/Transform.h"
#include "game/player/EnemyList.h"
#include "game/player/PlayerController.h"

namespace vd {

namespace {

const CStringHash& KeyCount() {
  static const CStringHash name("count");
  return name;
}
const CStringHash& KeyDistMin() {
  static const CStringHash name("dist_min");
  return name;
}
const CStringHash& KeyDistWaitMin() {
  static const CStringHash name("dist_wait_min");
  return name;
}
const CStringHash& KeyDistWaitMax() {
  static const CStringHash name("dist_wait_max");
  return name;
}
const CStringHash& KeyWaitSlotRadius() {
  static const CStringHash name("wait_slot_radius");
  return name;
}
const CStringHash& KeyQueueCount() {
  static const CStringHash name("queue_count");
  return name;
}
const CStringHash& KeyAttackersMax() {
  static const CStringHash name("attackers_max");
  return name;
}

constexpr double kPi = 3.14159265358979323846;

// A count read from a file: never negative, never more than the manager keeps.
int32_t CheckedCount(int32_t value, const char* key) {
  if (value >= 0 && value <= CFightSlotMgr::kMaxCount) return value;
  const int32_t clamped = value < 0 ? 0 : CFightSlotMgr::kMaxCount;
  utl::LogPrintf("CFightSlotMgr: \"%s\" %d out of range, taken as %d\n", key, value, clamped);
  return clamped;
}

template <class T, class F>
void EraseIf(std::vector<T>& list, F&& match) {
  list.erase(std::remove_if(list.begin(), list.end(), match), list.end());
}

}  // namespace

const CStringHash& CFightSlotMgr::GetClassName() {
  static const CStringHash name("CFightSlotMgr");
  return name;
}

namespace {
std::mutex g_liveLock;
std::vector<const CFightSlotMgr*>& LiveManagers() {
  static std::vector<const CFightSlotMgr*> live;
  return live;
}
}  // namespace

CFightSlotMgr::CFightSlotMgr() {
  std::lock_guard<std::mutex> lock(g_liveLock);
  LiveManagers().push_back(this);
}

CFightSlotMgr::~CFightSlotMgr() {
  if (!IsCheckPointCopy()) Reset();
  std::lock_guard<std::mutex> lock(g_liveLock);
  auto& live = LiveManagers();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

bool CFightSlotMgr::IsLive(const CFightSlotMgr* manager) {
  if (!manager) return false;
  std::lock_guard<std::mutex> lock(g_liveLock);
  const auto& live = LiveManagers();
  return std::find(live.begin(), live.end(), manager) != live.end();
}

void CFightSlotMgr::Load(rapidxml::xml_node<>* element) {
  obj::ForEachKey(element, [this](const obj::CKey& key) {
    const uint32_t name = key.NameHash();
    if (name == KeyCount().GetHash()) {
      count = CheckedCount(key.Int(), "count");
    } else if (name == KeyDistMin().GetHash()) {
      distMin = key.Float();
    } else if (name == KeyDistWaitMin().GetHash()) {
      distWaitMin = key.Float();
    } else if (name == KeyDistWaitMax().GetHash()) {
      distWaitMax = key.Float();
    } else if (name == KeyWaitSlotRadius().GetHash()) {
      waitSlotRadius = key.Float();
    } else if (name == KeyQueueCount().GetHash()) {
      queueCount = CheckedCount(key.Int(), "queue_count");
    }
  });
  // The attacker limit is the one tuning value that changes with the difficulty.
  obj::ForEachDifficultyKey(element, CPlayerController::GetDifficulty(),
                            [this](const obj::CKey& key) {
                              if (key.NameHash() == KeyAttackersMax().GetHash())
                                attackersMax = CheckedCount(key.Int(), "attackers_max");
                            });
}

bool CFightSlotMgr::Init() {
  m_transform = m_owner ? m_owner->GetComponent<gfx::CTransform>() : nullptr;
  if (waitSlotRadius < 0.0f) waitSlotRadius = (distMin + distWaitMin) * 0.5f;

  // Each group of four fills the gaps the earlier ones left on the circle, in
  // opposite pairs, so that the first few waiting enemies spread all round.
  m_waitSlots.assign(kWaitSlotCount, SWaitSlot());
  double a = kPi / 2.0;
  double step = kPi / 2.0;
  for (int g = 0; g < kWaitSlotCount / 4; ++g) {
    m_waitSlots[4 * g + 0].angle = static_cast<float>(a);
    m_waitSlots[4 * g + 1].angle = static_cast<float>(a + kPi);
    m_waitSlots[4 * g + 2].angle = static_cast<float>(a + kPi / 2.0);
    m_waitSlots[4 * g + 3].angle = static_cast<float>((a + kPi / 2.0) + kPi);
    a += 2.0 * step;
    if (a >= kPi / 2.0) {
      step *= 0.5;
      a = step;
    }
  }

  m_fightSlots.assign(static_cast<size_t>(count), nullptr);
  waiting.reserve(static_cast<size_t>(queueCount + count));
  m_candidates.reserve(static_cast<size_t>(queueCount + count));
  m_attackers.reserve(static_cast<size_t>(attackersMax));
  return true;
}

void CFightSlotMgr::Restart() {
  hold = 0;
  m_attackers.clear();
  waiting.clear();
  m_candidates.clear();
  std::fill(m_fightSlots.begin(), m_fightSlots.end(), nullptr);
  for (SWaitSlot& slot : m_waitSlots) slot.occupant = nullptr;
}

void CFightSlotMgr::Reset() {
  m_transform = nullptr;
  count = 0;
  distMin = distWaitMin = distWaitMax = 0.0f;
  queueCount = 0;
  attackersMax = 0;
  m_fightSlots.clear();
  Restart();
}

// --- Frame --------------------------------------------------------------------------

bool CFightSlotMgr::Update(float dt) {
  (void)dt;
  const plat::Vec3 centre = Centre();
  const float reach = distWaitMax * distWaitMax;
  auto consider = [&](obj::CGameObject* object, bool holder) {
    plat::Vec3 p;
    if (!object || !PositionOf(object, p)) return;
    const plat::Vec3 d = p - centre;
    if (holder && d.x * d.x + d.y * d.y + d.z * d.z >= reach) return;
    // Each once: a holder that also asked would otherwise stand twice among the
    // first `count` and keep a free slot from the next in line.
    for (const SCandidate& c : m_candidates)
      if (c.object == object) return;
    m_candidates.push_back({object, std::fabs(p.x - centre.x) + std::fabs(p.y - centre.y) +
                                        std::fabs(p.z - centre.z)});
  };
  // Those who asked, wherever they are, and those who hold a place within reach.
  for (obj::CGameObject* object : waiting) consider(object, false);
  for (obj::CGameObject* object : m_fightSlots) consider(object, true);

  // Nearest first. A handful of entries: an insertion sort, in place.
  for (size_t i = 1; i < m_candidates.size(); ++i) {
    const SCandidate c = m_candidates[i];
    size_t j = i;
    for (; j > 0 && c.distance < m_candidates[j - 1].distance; --j)
      m_candidates[j] = m_candidates[j - 1];
    m_candidates[j] = c;
  }

  const size_t k = std::min(m_fightSlots.size(), m_candidates.size());
  auto chosen = [&](const obj::CGameObject* object) {
    for (size_t i = 0; i < k; ++i)
      if (m_candidates[i].object == object) return true;
    return false;
  };
  for (obj::CGameObject*& slot : m_fightSlots)
    if (slot && !chosen(slot)) slot = nullptr;
  for (size_t i = 0; i < k; ++i) {
    obj::CGameObject* object = m_candidates[i].object;
    if (std::find(m_fightSlots.begin(), m_fightSlots.end(), object) != m_fightSlots.end()) continue;
    auto free = std::find(m_fightSlots.begin(), m_fightSlots.end(), nullptr);
    if (free != m_fightSlots.end()) *free = object;
  }
  waiting.clear();
  m_candidates.clear();

  // One attacker that has finished its swing leaves per frame.
  for (auto it = m_attackers.begin(); it != m_attackers.end(); ++it) {
    if (!IsAttackPair(it->fighter)) {
      m_attackers.erase(it);
      break;
    }
  }
  return true;
}

// --- Slots ----------------------------------------------------------------------------

void CFightSlotMgr::RequestFightSlot(obj::CGameObject* occupant) {
  if (!occupant || static_cast<int32_t>(waiting.size()) >= queueCount) return;
  if (std::find(waiting.begin(), waiting.end(), occupant) != waiting.end()) return;
  waiting.push_back(occupant);
}

bool CFightSlotMgr::GetFightSlotIndex(const obj::CGameObject* occupant, int& index) const {
  if (!occupant) return false;
  for (size_t i = 0; i < m_fightSlots.size(); ++i) {
    if (m_fightSlots[i] == occupant) {
      index = static_cast<int>(i);
      return true;
    }
  }
  return false;
}

plat::Vec3 CFightSlotMgr::GetFightSlotPosition(int index) const {
  const plat::Vec3 p = Centre();
  if (index < 0 || index >= static_cast<int>(m_fightSlots.size())) return p;
  const double a = index * 2.0 * kPi / static_cast<double>(m_fightSlots.size());
  const double r = static_cast<double>(distWaitMin) - static_cast<double>(distMin);
  return plat::Vec3(static_cast<float>(p.x + std::cos(a) * r), static_cast<float>(p.y + 0.0),
                    static_cast<float>(p.z + std::sin(a) * r));
}

int CFightSlotMgr::TakeWaitSlot(obj::CGameObject* occupant) {
  if (!occupant) return -1;
  // An enemy that asks again keeps its place rather than taking a second one.
  for (size_t i = 0; i < m_waitSlots.size(); ++i)
    if (m_waitSlots[i].occupant == occupant) return static_cast<int>(i);
  for (size_t i = 0; i < m_waitSlots.size(); ++i) {
    if (!m_waitSlots[i].occupant) {
      m_waitSlots[i].occupant = occupant;
      return static_cast<int>(i);
    }
  }
  return -1;
}

plat::Vec3 CFightSlotMgr::GetWaitSlotPosition(int index) const {
  const plat::Vec3 p = Centre();
  if (index < 0 || index >= static_cast<int>(m_waitSlots.size())) return p;
  const double a = m_waitSlots[index].angle;
  const double r = waitSlotRadius;
  return plat::Vec3(static_cast<float>(p.x + std::cos(a) * r), static_cast<float>(p.y + 0.0),
                    static_cast<float>(p.z + std::sin(a) * r));
}

bool CFightSlotMgr::AddAttacker(IEnemyFighter* fighter) {
  if (!fighter || hold) return false;
  for (const SAttacker& a : m_attackers)
    if (a.fighter == fighter) return true;
  if (static_cast<int32_t>(m_attackers.size()) >= attackersMax) return false;
  auto* component = dynamic_cast<obj::IComponent*>(fighter);
  m_attackers.push_back({fighter, component ? component->GetOwner() : nullptr});
  return true;
}

void CFightSlotMgr::ReleaseSlots(obj::CGameObject* occupant) { LeaveFight(occupant, nullptr); }

void CFightSlotMgr::LeaveFight(obj::CGameObject* occupant, const IEnemyFighter* fighter) {
  if (occupant) {
    for (SWaitSlot& slot : m_waitSlots)
      if (slot.occupant == occupant) slot.occupant = nullptr;
    EraseIf(waiting, [occupant](const obj::CGameObject* o) { return o == occupant; });
    for (obj::CGameObject*& slot : m_fightSlots)
      if (slot == occupant) slot = nullptr;
  }
  EraseIf(m_attackers, [occupant, fighter](const SAttacker& a) {
    return (occupant && a.owner == occupant) || (fighter && a.fighter == fighter);
  });
}

// --- Helpers --------------------------------------------------------------------------

plat::Vec3 CFightSlotMgr::Centre() const {
  return m_transform ? m_transform->position : plat::Vec3(0.0f, 0.0f, 0.0f);
}

bool CFightSlotMgr::PositionOf(const obj::CGameObject* object, plat::Vec3& out) {
  const gfx::CTransform* t = object->GetComponent<gfx::CTransform>();
  if (!t) return false;
  out = t->position;
  return true;
}

bool CFightSlotMgr::IsAttackPair(const IEnemyFighter* fighter) {
  return fighter && fighter->GetState() == kAttackState &&
         fighter->GetSubState() == kAttackSubState;
}

}  // namespace vd
