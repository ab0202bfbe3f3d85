#include "game/enemies/GrenadesManager.h"

#include <cmath>
#include <string>

#include "engine/animation/Animator.h"
#include "engine/audio/AudioManager.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Transform.h"
#include "engine/render/particles/ParticleSysManager.h"
#include "engine/render/particles/ParticleSystem.h"
#include "platform/crt/Crt.h"
#include "platform/math/Math.h"

namespace vd {

namespace {

const CStringHash kRendererType("CRenderer");
const CStringHash kTrailType("CWeaponRenderer");
const CStringHash kExplosionKind("explosion");
const CStringHash kMutant("mutant");
const CStringHash kPlayer("player");

const char* const kThrowSounds[2] = {"grenade_throw_01", "grenade_throw_02"};
const char* const kExplosionSounds[3] = {"grenade_explosion_01", "grenade_explosion_02",
                                         "grenade_explosion_03"};

obj::CGameObjectManager* Objects() { return obj::CGameObjectManager::GetInstance(); }

void QueueComponent(obj::IComponent* component, bool enable) {
  if (component) obj::RequestComponentEnable(component, enable);
}

}  // namespace

const char* const CGrenadesManager::kWindowNames[kWindowCount] = {
    "window_grenade_01", "window_grenade_02", "window_grenade_03",
    "window_grenade_04", "window_grenade_05", "window_grenade_06"};
const char* const CGrenadesManager::kFlightNames[kWindowCount] = {
    "grenade_mutant_down_L", "grenade_mutant_down_F", "grenade_mutant_down_R",
    "grenade_mutant_high_L", "grenade_mutant_high_F", "grenade_mutant_high_R"};
const char* const CGrenadesManager::kObjectNames[kGrenadeCount] = {
    "grenade_01", "grenade_02", "grenade_03", "grenade_04", "grenade_05"};

CGrenadesManager::~CGrenadesManager() { Listen(false); }

void CGrenadesManager::Listen(bool on) {
  const CStringHash types[] = {SH_OnAction};
  evn::SetSubscribed(this, types, 1, on, m_subscribed);
}

bool CGrenadesManager::Init() {
  // A reloaded level comes here again: one subscription, however often.
  Listen(false);
  obj::CGameObjectManager* objects = Objects();
  for (int i = 0; i < kGrenadeCount; ++i) {
    SGrenade& g = m_grenades[i];
    g = SGrenade();
    g.object = objects ? objects->GetGameObjectByName(CStringHash(kObjectNames[i])) : nullptr;
    if (!g.object) continue;
    g.animator = g.object->GetComponent<anm::CAnimator>();
    g.renderer = g.object->GetComponent(kRendererType);
    g.trail = g.object->GetComponent(kTrailType);
    g.transform = g.object->GetComponent<gfx::CTransform>();
    // The object runs (its animator must play) but shows nothing until released.
    objects->QueueEnable(g.object, true);
    QueueComponent(g.renderer, false);
    QueueComponent(g.trail, false);
  }
  Listen(true);
  m_initialised = 1;
  return true;
}

void CGrenadesManager::Reset() {
  Listen(false);
  for (SGrenade& g : m_grenades) g = SGrenade();
  m_frameTime = 0.0f;
  m_initialised = 0;
}

void CGrenadesManager::HandleEvent(evn::IEvent* event) {
  if (!event || event->GetType() != SH_OnAction) return;
  auto* action = static_cast<evn::CEventAction*>(event);
  if (!action->begin || !action->name.Get()) return;
  const CStringHash name(action->name.Get());
  for (int w = 0; w < kWindowCount; ++w) {
    if (name == CStringHash(kWindowNames[w])) {
      Throw(action->gameObject.Get(), w);
      return;
    }
  }
}

int CGrenadesManager::Throw(const char* throwerName, int window) {
  if (!throwerName || window < 0 || window >= kWindowCount) return -1;
  // Only a grenade that is not in flight and can be placed.
  int slot = -1;
  for (int i = 0; i < kGrenadeCount && slot < 0; ++i)
    if (!m_grenades[i].active && m_grenades[i].transform) slot = i;
  if (slot < 0) return -1;

  obj::CGameObjectManager* objects = Objects();
  obj::CGameObject* thrower =
      objects ? objects->GetGameObjectByName(CStringHash(throwerName)) : nullptr;
  const gfx::CTransform* from = thrower ? thrower->GetComponent<gfx::CTransform>() : nullptr;
  if (!from) return -1;

  SGrenade& g = m_grenades[slot];
  g.transform->SetYaw(from->yaw);
  g.transform->position = from->position;
  g.transform->UpdateMatrix();

  const CStringHash flight(kFlightNames[window]);
  float duration = 0.0f;
  if (g.animator) {
    g.animator->ClearLockedActions();
    g.animator->ExecuteAction(flight, 1.0f, 0.0f, 0.0f, true);
    duration = g.animator->GetAnimationDuration(flight);
  }
  g.explosionDelay = duration;
  g.explosionTimer = 0.0f;
  g.exploded = 0;
  g.releaseDelay = duration * kReleaseFraction;
  g.releaseTimer = 0.0f;
  g.released = 0;
  g.active = 1;
  return slot;
}

bool CGrenadesManager::Update(float dt) {
  m_frameTime = dt;
  for (SGrenade& g : m_grenades) {
    if (!g.active) continue;
    ReleaseStep(g);
    ExplosionStep(g);
  }
  return true;
}

void CGrenadesManager::ReleaseStep(SGrenade& g) {
  g.releaseTimer += m_frameTime;
  if (g.releaseTimer < g.releaseDelay || g.released) return;
  g.released = 1;
  g.releaseTimer = 0.0f;
  QueueComponent(g.renderer, true);
  QueueComponent(g.trail, true);
  // The trail starts from the hand, not from where the last throw ended.
  if (g.trail) g.trail->Restart();
  if (sfx::CAudioManager* audio = sfx::CAudioManager::GetInstance())
    audio->PlaySoundAt(kThrowSounds[plat::Rand() % 2], BonePosition(g), plat::Vec3(0, 0, 0));
}

void CGrenadesManager::ExplosionStep(SGrenade& g) {
  g.explosionTimer += m_frameTime;
  if (g.explosionTimer < g.explosionDelay || g.exploded) return;
  const plat::Vec3 at = BonePosition(g);

  ptc::CParticleSysManager* particles = ptc::CParticleSysManager::GetInstance();
  if (ptc::IParticleSystem* burst =
          particles ? particles->GetFreeParticleSystem(kExplosionKind) : nullptr) {
    if (gfx::CTransform* t = burst->GetTransform()) {
      t->position = at;
      t->UpdateMatrix();
    }
    burst->Restart(false);
  }

  evn::PostOrRelease(evn::CEventExplosion::New(kMutant, at, kExplosionRange));

  obj::CGameObjectManager* objects = Objects();
  obj::CGameObject* player = objects ? objects->GetGameObjectByName(kPlayer) : nullptr;
  if (const gfx::CTransform* p = player ? player->GetComponent<gfx::CTransform>() : nullptr) {
    const float d2 = plat::LengthSq(p->position - at);
    if (d2 < kShakeDistance * kShakeDistance) {
      if (evn::CEventShake* shake = evn::CEventShake::New()) {
        shake->power = (1.0f - std::sqrt(d2) / kShakeDistance) * kShakePower;
        shake->timer = kShakeTime;
        evn::PostOrRelease(shake);
      }
    }
  }

  g.exploded = 1;
  g.explosionTimer = 0.0f;
  g.active = 0;
  QueueComponent(g.renderer, false);
  QueueComponent(g.trail, false);

  if (sfx::CAudioManager* audio = sfx::CAudioManager::GetInstance()) {
    const sfx::ChannelHandle channel =
        audio->PlaySoundAt(kExplosionSounds[plat::Rand() % 3], at, plat::Vec3(0, 0, 0));
    audio->SetSound3DParams(channel, kSoundMinDistance, kSoundMaxDistance);
  }
}

plat::Vec3 CGrenadesManager::BonePosition(const SGrenade& g) const {
  if (!g.transform) return plat::Vec3(0, 0, 0);
  if (!g.animator) return g.transform->position;
  return plat::TransformCoord(g.animator->GetBoneTranslation(std::string(kBone)),
                              g.transform->world);
}

}  // namespace vd
