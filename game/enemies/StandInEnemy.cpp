#include "game/enemies/StandInEnemy.h"

#include <cmath>
#include <iterator>

#include "engine/animation/Animator.h"
#include "engine/core/EngineNames.h"
#include "engine/core/Log.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Transform.h"
#include "game/enemies/AIManager.h"
#include "game/player/WeaponController.h"

namespace vd {

namespace {

const CStringHash kClassName("CStandInEnemy");
const CStringHash kWeaponPlayer("weapon_player");
const CStringHash kPlayerObject("player");
const CStringHash kSwingName("standin_swing");
const CStringHash kIdleCycle("idle");
const CStringHash kAttackAction("attack");

const CStringHash kSubscribedEvents[] = {CStringHash("OnCollisionEnter"),
                                         CStringHash("OnPlayerAttack"), CStringHash("OnFatality"),
                                         CStringHash("OnExplosion")};

constexpr uint32_t kLife = ComputeHash("life");
constexpr uint32_t kFatalityLife = ComputeHash("fatality_life");
constexpr uint32_t kAttackInterval = ComputeHash("attack_interval");
constexpr uint32_t kAttackRange = ComputeHash("attack_range");
constexpr uint32_t kSightRange = ComputeHash("sight_range");
constexpr uint32_t kAttackIn = ComputeHash("attack_in");
constexpr uint32_t kAttackOut = ComputeHash("attack_out");
constexpr uint32_t kAttackAngle = ComputeHash("attack_angle");
constexpr uint32_t kTurnRate = ComputeHash("turn_rate");
constexpr uint32_t kTint = ComputeHash("tint");

// The swing when the figure has no animation to time it by.
constexpr float kDefaultSwing = 1.0f;

float HorizontalDistanceSq(const plat::Vec3& a, const plat::Vec3& b) {
  const float dx = a.x - b.x;
  const float dz = a.z - b.z;
  return dx * dx + dz * dz;
}

}  // namespace

const CStringHash& CStandInEnemy::GetClassName() { return kClassName; }

CStandInEnemy::~CStandInEnemy() {
  if (!m_isCheckPointCopy) Reset();
}

void CStandInEnemy::Load(rapidxml::xml_node<>* element) {
  obj::ForEachKey(element, [this](const obj::CKey& key) {
    const uint32_t name = key.NameHash();
    if (name == kLife) {
      startLife = key.Int();
    } else if (name == kFatalityLife) {
      fatalityLife = key.Int();
    } else if (name == kAttackInterval) {
      attackInterval = key.Float();
    } else if (name == kAttackRange) {
      attackRange = key.Float();
    } else if (name == kSightRange) {
      sightRange = key.Float();
    } else if (name == kAttackIn) {
      attackIn = key.Float();
    } else if (name == kAttackOut) {
      attackOut = key.Float();
    } else if (name == kAttackAngle) {
      attackAngle = key.Float();
    } else if (name == kTurnRate) {
      turnRate = key.Float();
    } else if (name == kTint) {
      tint = key.Vector4();
    }
  });
  life = startLife;
}

bool CStandInEnemy::Init() {
  obj::CGameObject* owner = GetOwner();
  if (!owner) return true;
  transform = owner->GetComponent<gfx::CTransform>();
  animator = owner->GetComponent<anm::CAnimator>();
  weapon = owner->GetComponent<CWeaponController>();
  if (transform) {
    m_startPosition = transform->position;
    m_startYaw = transform->yaw;
  }
  Restart();
  return true;
}

void CStandInEnemy::Reset() {
  Register(false);
  Subscribe(false);
  transform = nullptr;
  animator = nullptr;
  weapon = nullptr;
}

void CStandInEnemy::Restart() {
  life = startLife;
  state = kFighting;
  subState = 0;
  locked = armed = bodyRemoved = 0;
  armedDamage = 0;
  stateTimer = stateDuration = sinceAttack = 0.0f;
  hitTimer = 0.0f;
  killTimer = -1.0f;
  WeaponOff();
  if (transform) {
    transform->position = m_startPosition;
    transform->SetPitch(0.0f);
    transform->SetYaw(m_startYaw);
    transform->UpdateMatrix();
    transform->changed = 1;
  }
  if (animator) {
    animator->ClearActions();
    animator->ClearLockedActions();
    animator->BlendCycle(kIdleCycle, 1.0f, 0.1f, 0.25f);
  }
}

void CStandInEnemy::SetEnabled(bool enabled, bool fromCheckPoint) {
  (void)fromCheckPoint;
  const uint8_t flag = enabled ? 1 : 0;
  if (flag == m_enabled) return;
  m_enabled = flag;
  Subscribe(enabled);
  Register(enabled);
  if (!enabled) {
    WeaponOff();
    return;
  }
  // The figure shares its mesh with others: the tint tells it apart. Set here, on
  // the main thread, rather than in Init, which may run on the loader's.
  obj::CGameObject* owner = GetOwner();
  if (gfx::CRenderer* renderer = owner ? owner->GetComponent<gfx::CRenderer>() : nullptr) {
    const float factor[4] = {tint.x, tint.y, tint.z, tint.w};
    renderer->SetShaderParameter(CStringHash("gColorFactor"), 5, factor);
  }
}

void CStandInEnemy::Subscribe(bool on) {
  evn::SetSubscribed(GetOwner(), kSubscribedEvents, std::size(kSubscribedEvents), on, m_subscribed);
}

void CStandInEnemy::Register(bool on) {
  obj::CGameObject* owner = GetOwner();
  CAIManager* manager = CAIManager::GetActive();
  if (!owner) return;
  if (on && !m_registered) {
    if (!manager) {
      utl::LogPrintf(
          "Stand-in enemy %s: no enemies' manager to join; the player cannot aim at it\n",
          owner->GetNameText());
      return;
    }
    manager->AddEnemy(static_cast<uint32_t>(owner->GetId()));
    m_registered = 1;
  } else if (!on && m_registered) {
    if (manager) manager->RemoveEnemy(static_cast<uint32_t>(owner->GetId()));
    m_registered = 0;
  }
}

// --- Events ------------------------------------------------------------------------------

void CStandInEnemy::HandleEvent(evn::IEvent* event) {
  if (!event) return;
  const CStringHash& type = event->GetType();
  if (type == SH_OnPlayerAttack) {
    auto* attack = static_cast<evn::CEventPlayerAttack*>(event);
    ++playerAttacksSeen;
    if (attack->begin) {
      armed = 1;
      armedDamage = attack->damage;
    }
  } else if (type == SH_OnCollisionEnter) {
    const evn::SCollisionSides& sides = static_cast<evn::CEventCollisionEnter*>(event)->sides;
    if (sides.otherClass != kWeaponPlayer) return;
    ++weaponContacts;
    if (!armed) return;
    if (TakeHit(armedDamage)) armed = 0;
  } else if (type == SH_OnExplosion) {
    // Whatever stands in a burst's range is caught, the thrower's own kind too;
    // the bursts of one grenade go off together and hurt once.
    auto* explosion = static_cast<evn::CEventExplosion*>(event);
    if (!transform) return;
    const float rangeSq = explosion->range * explosion->range;
    if (!(plat::LengthSq(transform->position - explosion->pos) < rangeSq)) return;
    ++explosionsCaught;
    if (hitTimer > kHitGap) TakeHit(explosion->damage);
  } else if (type == SH_OnFatality) {
    auto* fatality = static_cast<evn::CEventFatality*>(event);
    obj::CGameObject* owner = GetOwner();
    if (!owner || fatality->fatalityTargetName != owner->GetName() || state != kFinished) return;
    // The blow of the finishing move falls at its kill frame (a fraction of it).
    killTimer = fatality->duration * fatality->killFrame;
    if (killTimer < 0.0f) killTimer = 0.0f;
  }
}

bool CStandInEnemy::TakeHit(int damage) {
  if (!IsActive() || state == kFinished) return false;
  ++hitsTaken;
  hitTimer = 0.0f;
  life -= damage;
  if (life <= 0) {
    life = 0;
    Die();
    return true;
  }
  // A blow breaks off the swing.
  if (state == kSwinging) {
    WeaponOff();
    state = kFighting;
    stateTimer = 0.0f;
    sinceAttack = 0.0f;
    if (animator) animator->RemoveAction(kAttackAction, 0.1f);
  }
  return true;
}

bool CStandInEnemy::IsReadyForFatality() const {
  return IsActive() && state != kFinished && life <= fatalityLife;
}

bool CStandInEnemy::RequestState(int newState, int newSubState) {
  if (locked || (newState == state && newSubState == subState)) return false;
  if (state == kDead || state == kDying) return false;
  if (newState == kDying || newState == kDead) {
    life = 0;
    Die();
    return true;
  }
  WeaponOff();
  if (animator) animator->RemoveAction(kAttackAction, 0.1f);
  state = newState;
  subState = newSubState;
  stateTimer = 0.0f;
  if (newState == kFinished) {
    // In the player's hands until the move kills it.
    locked = 1;
    killTimer = -1.0f;
  }
  return true;
}

void CStandInEnemy::Die() {
  if (state == kDying || state == kDead) return;
  ++deaths;
  WeaponOff();
  state = kDying;
  subState = 0;
  locked = 1;
  stateTimer = 0.0f;
  armed = 0;
  if (animator) animator->ClearActions();
  obj::CGameObject* owner = GetOwner();
  utl::LogPrintf("Stand-in enemy %s dies\n", owner ? owner->GetNameText() : "");
  if (evn::CEventDeath* death = evn::CEventDeath::New()) {
    death->type.Copy("enemy");
    death->name.Copy(owner ? owner->GetNameText() : "");
    death->group = 0;
    evn::PostOrRelease(death);
  }
}

void CStandInEnemy::WeaponOff() {
  if (!weapon) return;
  weapon->SetWeaponActive(false, CWeaponController::kSetNormal);
  weapon->SetWeaponActive(false, CWeaponController::kSetBig);
}

// --- Behaviour ---------------------------------------------------------------------------

bool CStandInEnemy::Update(float dt) {
  if (!m_enabled || !std::isfinite(dt) || dt < 0.0f) return true;
  hitTimer += dt;
  switch (state) {
    case kFighting:
      UpdateFighting(dt);
      break;
    case kSwinging:
      UpdateSwinging(dt);
      break;
    case kFinished:
      UpdateFinished(dt);
      break;
    case kDying:
    case kDead:
      UpdateDying(dt);
      break;
    default:
      state = kFighting;
      break;
  }
  return true;
}

void CStandInEnemy::UpdateFighting(float dt) {
  sinceAttack += dt;
  obj::CGameObject* player = obj::FindGameObjectByName(kPlayerObject);
  const gfx::CTransform* target = player ? player->GetComponent<gfx::CTransform>() : nullptr;
  if (!target || !transform) return;
  const float distanceSq = HorizontalDistanceSq(transform->position, target->position);
  if (distanceSq > sightRange * sightRange) return;
  transform->TurnTowards(target->position, turnRate, false);
  if (distanceSq < attackRange * attackRange && sinceAttack >= attackInterval) StartSwing();
}

void CStandInEnemy::StartSwing() {
  state = kSwinging;
  stateTimer = 0.0f;
  sinceAttack = 0.0f;
  stateDuration = animator ? animator->GetAnimationDuration(kAttackAction) : 0.0f;
  if (stateDuration <= 0.0f) stateDuration = kDefaultSwing;
  if (animator) animator->ExecuteAction(kAttackAction, 1.0f, 0.1f, 0.2f, false);
  const int damage = static_cast<int>(obj::GetScriptFloat(GetOwner(), "damage"));
  evn::PostOrRelease(
      evn::CEventEnemyAttack::New(GetOwner(), damage, 0.0f, attackRange, attackAngle, kSwingName));
}

void CStandInEnemy::UpdateSwinging(float dt) {
  stateTimer += dt;
  const float in = attackIn * stateDuration;
  const float out = attackOut * stateDuration;
  if (weapon) {
    const int set = CWeaponController::kSetNormal;
    if (!weapon->IsActive(set) && in < stateTimer && stateTimer < out) {
      weapon->SetWeaponActive(true, set);
    } else if (weapon->IsActive(set) && stateTimer >= out) {
      weapon->SetWeaponActive(false, set);
    }
  }
  if (stateTimer >= stateDuration) {
    WeaponOff();
    state = kFighting;
    stateTimer = 0.0f;
  }
}

void CStandInEnemy::UpdateFinished(float dt) {
  stateTimer += dt;
  if (killTimer < 0.0f) return;
  killTimer -= dt;
  if (killTimer > 0.0f) return;
  killTimer = -1.0f;
  life = 0;
  locked = 0;
  Die();
}

void CStandInEnemy::UpdateDying(float dt) {
  stateTimer += dt;
  if (state == kDying) {
    // The figure topples backwards about its feet.
    const float t = stateTimer < kFallTime ? stateTimer / kFallTime : 1.0f;
    if (transform) {
      transform->SetPitch(-1.5707964f * t);
      transform->UpdateMatrix();
    }
    if (stateTimer >= kFallTime) {
      state = kDead;
      stateTimer = 0.0f;
    }
    return;
  }
  if (stateTimer >= kBodyTime && !bodyRemoved && GetOwner()) {
    // The body leaves the street; the object stays, dead, until a restart.
    GetOwner()->RequestEnable(false);
    bodyRemoved = 1;
  }
}

void RegisterEnemyComponentFactories(utl::FactoryMap<obj::IComponent>& makers) {
  utl::RegisterFactoryMaker<CStandInEnemy, obj::IComponent>(makers);
}

void UnregisterEnemyComponentFactories(utl::FactoryMap<obj::IComponent>& makers) {
  utl::UnregisterFactoryMaker(CStandInEnemy::GetClassName(), makers);
}

}  // namespace vd
