#include "game/enemies/Krauser.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "engine/audio/AudioManager.h"
#include "engine/collision/CharacterCollider.h"
#include "engine/collision/CollisionManager.h"
#include "engine/core/EngineNames.h"
#include "engine/core/Log.h"
#include "engine/core/Utils.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Transform.h"
#include "engine/render/decals/DecalManager.h"
#include "engine/render/particles/ParticleSystem.h"
#include "game/enemies/AIManager.h"
#include "game/enemies/EnemyNames.h"
#include "game/enemies/KrauserEffects.h"
#include "game/player/ComboController.h"
#include "game/player/FightSlotMgr.h"
#include "game/player/WeaponController.h"
#include "platform/crt/Crt.h"

namespace vd {

namespace {

const CStringHash kClassName("CKrauser");
const CStringHash kPlayerName("player");
const CStringHash kTrailType("CWeaponRenderer");
const CStringHash kX1("X1"), kX2("X2"), kX3("X3"), kX4("X4"), kY1("Y1"), kY2("Y2");
const CStringHash kHoldingAttack("HOLDING_ATTACK");
const CStringHash kComboAuto1("combo_auto_01"), kComboAuto2("combo_auto_02");

// Built from their texts: the name tables of other files may not exist yet when this
// array is made.
const CStringHash kBossEvents[] = {
    CStringHash("OnCollisionEnter"), CStringHash("OnCollisionStay"), CStringHash("OnPlayerAttack"),
    CStringHash("OnFatality"),       CStringHash("OnCinematic"),     CStringHash("OnExplosion"),
    CStringHash("OnShockWave"),      CStringHash("OnTimer"),         CStringHash("OnHit")};

const CStringHash* const kOrdinaryAttacks[CKrauser::kAttackCount] = {
    &SH_krauser_attack_combo_01, &SH_krauser_attack_kick,    &SH_krauser_attack_punch,
    &SH_krauser_attack_hand,     &SH_krauser_attack_up_01,   &SH_krauser_attack_up_down};

// Bits of CKrauser::tuningRead.
constexpr uint8_t kReadDecisionMin = 1, kReadDecisionMax = 2, kReadCover = 4;

// The (state, substate) pairs the boss compares with.
bool Is(const SAIState& s, int state) { return s.state == state && s.subState == 0; }

float Random01() {
  return static_cast<float>(plat::Rand()) / static_cast<float>(plat::RAND_MAX_MS);
}

}  // namespace

const CStringHash& CKrauser::GetClassName() { return kClassName; }

CKrauser::CKrauser() {
  kind = kEnemyKrauser;
  initial = pending = SAIState{7, 1};
}

CKrauser::~CKrauser() {
  if (!m_isCheckPointCopy) Reset();
}

void CKrauser::Reset() {
  CPatrol::Reset();
  Subscribe(false);
  kind = kEnemyKrauser;
  initial = pending = SAIState{7, 1};
  weapon = nullptr;
  weaponRenderer = nullptr;
  effects = nullptr;
  target = nullptr;
  targetTransform = nullptr;
  targetSlots = nullptr;
  turnDone = specialTimer = tauntTimer = tiredTimer = bloodDecalTimer = 0.0f;
  hitTimer = 0.5f;
  fightProbTaunt = fightProbApproach = fightProbAttack = 0.0f;
  tauntPeriod = 5.0f;
  tauntVariant = 0;
  tiredPeriod = 5.0f;
  tiredDamageFactor = 2.0f;
  phase = 0;
  specialAttackPeriod = 10.0f;
  fatalityOffered = 0;
  decisionPeriodMin = kDefaultDecisionMin;
  decisionPeriodMax = kDefaultDecisionMax;
  coverProb = kDefaultCoverProb;
  tuningRead = 0;
  deathPosted = 0;
  // Not switched off here: at the level's end the icon's object may be gone first.
  fatalityIcon = nullptr;
  currentAttack = CStringHash();
  lastHitType = CStringHash();
  specialAttack = &SH_krauser_attack_ground_kick;
  candidates.clear();
}

void CKrauser::Load(rapidxml::xml_node<>* element) {
  CPatrol::Load(element);
  kind = kEnemyKrauser;
  obj::ForEachKey(element, [this](const obj::CKey& key) {
    if (!key.Name() || !key.Name()[0]) return;
    const CStringHash name(key.Name());
    if (name == SH_taunt_period)
      tauntPeriod = key.Float();
    else if (name == SH_tired_period)
      tiredPeriod = key.Float();
    else if (name == SH_tired_damage_factor)
      tiredDamageFactor = key.Float();
    else if (name == SH_special_attack_period)
      specialAttackPeriod = key.Float();
  });
  obj::ForEachDifficultyKey(element, GetDifficulty(), [this](const obj::CKey& key) {
    if (!key.Name() || !key.Name()[0]) return;
    const CStringHash name(key.Name());
    if (name == SH_fight_decision_period_min) {
      decisionPeriodMin = key.Float();
      tuningRead |= kReadDecisionMin;
    } else if (name == SH_fight_decision_period_max) {
      decisionPeriodMax = key.Float();
      tuningRead |= kReadDecisionMax;
    } else if (name == SH_fight_prob_taunt) {
      fightProbTaunt = key.Float();
    } else if (name == SH_fight_prob_approach) {
      fightProbApproach = key.Float();
    } else if (name == SH_fight_prob_attack) {
      fightProbAttack = key.Float();
    } else if (name == SH_cover_prob) {
      coverProb = key.Float();
      tuningRead |= kReadCover;
    }
  });
}

bool CKrauser::Init() {
  CPatrol::Init();
  obj::CGameObject* owner = GetOwner();
  weapon = weaponController;
  weaponRenderer = owner ? owner->GetComponent(kTrailType) : nullptr;
  effects = owner ? owner->GetComponent<CKrauserEffects>() : nullptr;
  if (transform) {
    transform->SetPitch(0.0f);
    transform->UpdateMatrix();
  }
  voiceTimer = voiceLength = 0.0f;
  if ((tuningRead & (kReadDecisionMin | kReadDecisionMax | kReadCover)) !=
      (kReadDecisionMin | kReadDecisionMax | kReadCover))
    utl::LogPrintf(
        "Boss %s: the tuning lacks fight_decision_period_min/max or cover_prob; using %g-%g s "
        "and %g\n",
        OwnerName(), static_cast<double>(decisionPeriodMin),
        static_cast<double>(decisionPeriodMax), static_cast<double>(coverProb));
  attackThreshold = fightProbAttack;
  approachThreshold = fightProbApproach + attackThreshold;
  tauntThreshold = fightProbTaunt + approachThreshold;
  attackNames.assign(std::begin(kOrdinaryAttacks), std::end(kOrdinaryAttacks));
  candidates.clear();
  candidates.reserve(kAttackCount);
  specialAttack = &SH_krauser_attack_ground_kick;
  attackRangeMax = 0.0f;
  if (const CAIManager* manager = Manager())
    for (const auto& attack : manager->GetData().attacks[kEnemyKrauser])
      if (!attack.second.special) attackRangeMax = std::max(attackRangeMax, attack.second.rangeMax);
  fatalityIcon = nullptr;
  return true;
}

void CKrauser::Subscribe(bool on) {
  evn::SetSubscribed(GetOwner(), kBossEvents, std::size(kBossEvents), on, m_subscribed);
}

void CKrauser::QueueTrail(bool on) {
  if (weaponRenderer) obj::RequestComponentEnable(weaponRenderer, on);
}

void CKrauser::SetEnabled(bool enabled, bool fromCheckPoint) {
  if ((enabled ? 1 : 0) == m_enabled) return;
  CPatrol::SetEnabled(enabled, fromCheckPoint);
  Subscribe(enabled);
  if (!enabled) return;
  // A target given while the boss was still switched off (the script that enables
  // his group names it in the same breath) is run at once he is on.
  if (!fromCheckPoint && target && targetTransform) current = SAIState{12, 0};
  if (evn::CEventHUDChange* hud = evn::CEventHUDChange::New()) {
    hud->bossLife = life;
    hud->bossLifeInit = life;
    evn::PostOrRelease(hud);
  }
}

bool CKrauser::IsActive() const {
  return m_enabled && current.state != kStateDying && current.state != kStateDead;
}

const SAttackRecord& CKrauser::Attack(const CStringHash& name) const {
  static const SAttackRecord kEmpty;
  const CAIManager* manager = Manager();
  const SAttackRecord* found =
      manager ? manager->GetData().FindAttack(kEnemyKrauser, name.GetHash()) : nullptr;
  return found ? *found : kEmpty;
}

int32_t CKrauser::TiredThreshold() const {
  const float full = static_cast<float>(life);
  if (phase == 0) return static_cast<int32_t>(full - full * kFirstFall);
  if (phase == 1) return static_cast<int32_t>(full - full * kSecondFall);
  return 0;
}

// --- Requests ------------------------------------------------------------------------------

bool CKrauser::RequestState(int state, int subState) {
  if (!locked && SAIState{state, subState} != current) {
    QueueTrail(false);
    if (effects) effects->Restart();
  }
  return ChangeState(state, subState, true);
}

void CKrauser::ResetBoss() {
  ResetState();
  QueueTrail(false);
}

void CKrauser::SetTarget(const char* objectName) {
  obj::CGameObject* found =
      objectName && objectName[0] ? obj::FindGameObjectByName(CStringHash(objectName)) : nullptr;
  if (!found) {
    target = nullptr;
    targetTransform = nullptr;
    targetSlots = nullptr;
    RequestState(7, 1);
    return;
  }
  target = found;
  targetTransform = found->GetComponent<gfx::CTransform>();
  targetSlots = found->GetComponent<CFightSlotMgr>();
  RequestState(12, 0);
}

void CKrauser::OnAfterRestore() {
  CPatrol::OnAfterRestore();
  current = SAIState{12, 0};
  keepStateTime = 0;
  SetTarget("player");
  locked = 0;
  if (characterCollider) characterCollider->TestWalls(true);
}

// --- Driver --------------------------------------------------------------------------------

bool CKrauser::Update(float dt) {
  frameTime = dt;
  stateTime += dt;
  specialTimer += dt;
  hitTimer += dt;
  tauntTimer += dt;
  tiredTimer += dt;
  fatalityClock += dt;
  voiceTimer += dt;
  bloodDecalTimer += dt;
  if (current != lastHandled) {
    stateTime = 0.0f;
    previous = lastHandled;
  }
  const SAIState atEntry = current;
  switch (current.state) {
    case 0:
      current = initial;
      waypointIndex = 0;
      QueueTrail(false);
      break;
    case 1:
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
    case 10:
      RunBaseHandler(current.state);
      break;
    default:
      RunFightState(current.state);
      break;
  }
  if (current != atEntry) previous = atEntry;
  lastHandled = beforeChange = atEntry;
  return true;
}

// --- Events --------------------------------------------------------------------------------

void CKrauser::HandleEvent(evn::IEvent* event) {
  if (!event) return;
  const CStringHash& type = event->GetType();
  obj::CGameObject* owner = GetOwner();
  if (type == SH_OnCollisionEnter) {
    const auto* contact = static_cast<evn::CEventCollisionEnter*>(event);
    if (contact->sides.otherClass == SH_weapon_player && hitTimer > 0.5f)
      TakeHit(contact->sides.otherObject);
  } else if (type == SH_OnCollisionStay) {
    return;
  } else if (type == SH_OnPlayerAttack) {
    const auto* attack = static_cast<evn::CEventPlayerAttack*>(event);
    if (!attack->begin) return;
    hitTimer = 0.5f;
    lastHitType = attack->type;
    lastHitDamage = attack->damage;
    const bool covering = Is(current, 12) || Is(current, 23) || Is(current, 16) || Is(current, 32);
    if (covering && transform && targetTransform &&
        std::fabs(utl::AngleDifference(transform->yaw, targetTransform->yaw)) > 1.5707963705062866f &&
        Random01() < coverProb)
      RequestState(26, 0);
  } else if (type == SH_OnShockWave) {
    const auto* wave = static_cast<evn::CEventShockWave*>(event);
    if (wave->attacker != kPlayerName || !transform) return;
    const float dist = plat::Length(transform->position - wave->pos);
    if (!(dist < wave->range)) return;
    lastHitDamage = wave->damage;
    // A wave that does not travel arrives at once rather than never.
    const float delay = lastHitType == SH_X5 && wave->speed > 0.0f ? dist / wave->speed : 0.0f;
    if (evn::CEventManager* events = evn::CEventManager::GetInstance())
      events->AddTimerEvent(SH_shock_wave_timer, delay, owner, "", 0);
  } else if (type == SH_OnExplosion) {
    const auto* blast = static_cast<evn::CEventExplosion*>(event);
    if (!transform) return;
    if (!(plat::LengthSq(transform->position - blast->pos) < blast->range * blast->range)) return;
    lastHitType = SH_grenades;
    lastHitDamage = blast->damage;
    if (hitTimer > 0.5f) TakeHit(player ? player : obj::FindGameObjectByName(kPlayerName));
  } else if (type == SH_OnTimer) {
    const auto* timer = static_cast<evn::CEventTimer*>(event);
    if (timer->name != SH_shock_wave_timer || hitTimer <= 0.5f) return;
    TakeHit(player ? player : obj::FindGameObjectByName(kPlayerName));
  } else if (type == SH_OnFatality) {
    const auto* fatality = static_cast<evn::CEventFatality*>(event);
    if (!owner || fatality->fatalityTargetName != owner->GetName()) return;
    fatalityName = fatality->fatalityName;
    fatalityName.MakeOwned();
    fatalityKillTime = fatality->killFrame * fatality->duration;
    fatalityLength = fatality->duration;
    RequestState(34, 0);
  } else if (type == SH_OnSequence) {
    CPatrol::HandleEvent(event);
  }
}

void CKrauser::PostShake(float power, float timer) {
  if (evn::CEventShake* shake = evn::CEventShake::New()) {
    shake->power = power;
    shake->timer = timer;
    evn::PostOrRelease(shake);
  }
}

void CKrauser::TakeHit(obj::CGameObject* attacker) {
  obj::CGameObject* owner = GetOwner();
  hitTimer = 0.0f;
  const bool onCover = Is(current, 24);
  bool immune = false;
  if (onCover) {
    stepDuration -= stateTime;
    current = SAIState{25, 0};
    immune = true;
  } else if (locked) {
    immune = true;
  } else if (Is(current, 25)) {
    immune = !(lastHitType == SH_X5 || lastHitType == SH_Y3 || lastHitType == SH_grenades ||
               lastHitType == kComboAuto2);
  } else if (Is(current, 28) || Is(current, 31) || Is(current, 35) || Is(current, 36)) {
    immune = true;
  }

  if (!immune) {
    const float factor = Is(current, 29) ? tiredDamageFactor : 1.0f;
    const int32_t now = static_cast<int32_t>(obj::GetScriptFloat(owner, "life"));
    int32_t remaining = now - static_cast<int32_t>(static_cast<float>(lastHitDamage) * factor);
    if (remaining < 0) remaining = 0;
    obj::SetScriptInt(owner, "life", remaining);
    // The next state starts from its entry even when the pair does not change.
    if (target) lastHandled = SAIState{16, 0};
    SAIState next{32, 0};
    if (Is(current, 29) || Is(current, 30)) {
      next = SAIState{30, 0};
    } else if (TiredThreshold() >= remaining) {
      ++phase;
      tiredTimer = 0.0f;
      next = SAIState{28, 0};
    }
    RequestState(next.state, next.subState);
    if (evn::CEventHUDChange* hud = evn::CEventHUDChange::New()) {
      hud->score = static_cast<int>(obj::GetScriptFloat(owner, "score")) * lastHitDamage;
      hud->bossLife = remaining;
      hud->unhide = true;
      evn::PostOrRelease(hud);
    }
  }

  const gfx::CTransform* from = attacker ? attacker->GetComponent<gfx::CTransform>() : nullptr;
  lastAttacker = const_cast<gfx::CTransform*>(from);
  if (from && transform) {
    plat::Vec3 away = transform->position - from->position;
    away.y = 0.0f;
    pushDirection = plat::LengthSq(away) > 0.0f ? plat::Normalize(away) : plat::Vec3();
  }
  const float k = std::clamp(static_cast<float>(lastHitDamage) * 0.25f, 0.0f, 1.0f);
  pushedDistance = 0.0f;
  pushDistance = k * 0.5f + 0.5f;
  pushSpeed = 10.0f;

  if (sfx::CAudioManager* audio = sfx::CAudioManager::GetInstance()) {
    if (onCover)
      audio->PlaySound("weapon_hit_cover_01", false);
    else if (lastHitType == kX1 || lastHitType == kX2 || lastHitType == kX3 || lastHitType == kX4 ||
             lastHitType == kY1 || lastHitType == kY2 || lastHitType == kHoldingAttack ||
             lastHitType == kComboAuto1 || lastHitType == kComboAuto2)
      audio->PlaySound("weapon_hit_01", false);
  }

  if (const CComboController* combo =
          player ? player->GetComponent<CComboController>() : nullptr) {
    const int s = combo->state;
    if (s != 0 && s != 5 && s != 8 && s != 11 && s != 12)
      PostShake(combo->GetShakePower(), combo->GetShakeTimer());
  }

  if (bloodDecalTimer > 1.0f) {
    bloodDecalTimer = 0.0f;
    HitDecals();
  }
}

void CKrauser::HitDecals() {
  const float r1 = Random01();
  const uint32_t red = static_cast<uint32_t>((1.0f - r1) * 210.0f + r1 * 180.0f);
  const uint32_t colour = 0xFF000000u | (red << 16);
  const float r2 = Random01();
  const float size = (1.0f - r2) * 1.0f + r2 * 1.5f;
  const float r3 = Random01();
  const float decalLife = (1.0f - r3) * 15.0f + r3 * 20.0f;
  gfx::CDecalManager* decals = gfx::CDecalManager::GetInstance();
  if (!decals || !transform) return;
  const plat::Vec3 from = transform->position;
  decals->AddDecalAt(from + pushDirection * 2.0f, colour, size, zone, decalLife, 0.4f, 5.0f);
  plat::Vec3 hit;
  phy::CCollisionManager* collision = phy::CCollisionManager::GetInstance();
  if (collision && collision->RayTest(from, from + pushDirection * 3.0f, hit)) {
    const float r4 = Random01();
    decals->AddDecalAt(hit, colour, (1.0f - r4) * 1.5f + r4 * 2.0f, zone, decalLife, 0.4f, 5.0f);
  }
}

}  // namespace vd
