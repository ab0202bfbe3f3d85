#include "game/player/PlayerEffects.h"

#include <cmath>
#include <cstdio>
#include <mutex>

#include <cal3d/animation.h>
#include <cal3d/coreanimation.h>

#include "engine/animation/AnimationManager.h"
#include "engine/animation/Animator.h"
#include "engine/animation/Mixer.h"
#include "engine/audio/AudioManager.h"
#include "engine/collision/CollisionManager.h"
#include "engine/core/Log.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Transform.h"
#include "engine/render/RenderManager.h"
#include "engine/render/decals/DecalManager.h"
#include "engine/render/device/ShadowGeometry.h"
#include "engine/render/lights/Light.h"
#include "engine/render/particles/ParticleSysManager.h"
#include "engine/render/particles/ParticleSystem.h"
#include "engine/script/ScriptManager.h"
#include "game/player/EnemyList.h"
#include "game/player/PlayerController.h"
#include "platform/crt/Crt.h"
#include "platform/math/Math.h"

namespace vd {

namespace {

constexpr float kPi = 3.14159265f;
constexpr float kDegrees = kPi / 180.0f;
// Shader value kind of four floats.
constexpr int kFloat4 = 5;

const CStringHash kGasAttack("gas_attack");
const CStringHash kExplosion("explosion");
const CStringHash kArma("arma");
const CStringHash kBlood("blood");
const CStringHash kPufSmall("puf_small");
const CStringHash kPufBig("puf_big");
const CStringHash kGrenadesAnim("grenades_01");
const CStringHash kRocksAnim("radial_rocks_Y3");
const CStringHash kColorFactor("gColorFactor");
const CStringHash kSkinTech("skin_tech");
const CStringHash kSkinTechAlpha("skin_tech_alpha");
const CStringHash kWeaponRenderer("CWeaponRenderer");
const CStringHash kPlayerName("player");

const char* const kSparkBones[2] = {"Bone04", "Bone06"};
const char* const kGrunts[4] = {"brannoc_evade_01", "brannoc_evade_02", "brannoc_evade_03",
                                "brannoc_evade_04"};

obj::CGameObjectManager* Objects() { return obj::CGameObjectManager::GetInstance(); }

// What is not drawn is not updated, and the cluster is hidden until it leaves the
// hand: left to the drawing, its throw would start that much late and burst in the
// air. Its clock is brought up to the throw's (fraction of the throw done) instead.
void KeepThrowInStep(anm::CAnimator* animator, float fraction) {
  float lag = 0.0f;
  {
    anm::CAnimationManager* manager = anm::CAnimationManager::GetInstance();
    std::unique_lock<std::recursive_mutex> lock;
    if (manager) lock = std::unique_lock<std::recursive_mutex>(manager->GetLock());
    anm::CMixer* mixer = animator->GetMixer();
    if (!mixer) return;
    for (anm::CAnimationAction* action : mixer->getAnimationActionList()) {
      CalCoreAnimation* core = action ? action->getCoreAnimation() : nullptr;
      if (!core || CStringHash(core->getName().c_str()) != kGrenadesAnim) continue;
      lag = fraction * core->getDuration() - action->getTime();
      break;
    }
  }
  if (lag > 0.0f) animator->Update(lag);
}

void QueueObject(obj::CGameObject* object, bool enable) {
  if (!object) return;
  if (obj::CGameObjectManager* objects = Objects()) objects->QueueEnable(object, enable);
}

void QueueComponent(obj::IComponent* component, bool enable) {
  if (component) obj::RequestComponentEnable(component, enable);
}

obj::CGameObject* FindObject(const char* name) {
  obj::CGameObjectManager* objects = Objects();
  return objects ? objects->GetGameObjectByName(CStringHash(name)) : nullptr;
}

template <class T>
T* Part(const obj::CGameObject* object) {
  return object ? object->GetComponent<T>() : nullptr;
}

// A free system of that kind, restarted; null (the effect skipped) when none is free.
ptc::IParticleSystem* TakeSystem(const CStringHash& kind, bool restartFlag) {
  ptc::CParticleSysManager* manager = ptc::CParticleSysManager::GetInstance();
  ptc::IParticleSystem* system = manager ? manager->GetFreeParticleSystem(kind) : nullptr;
  if (system) system->Restart(restartFlag);
  return system;
}

void PlaceSystem(ptc::IParticleSystem* system, const plat::Vec3& at) {
  if (!system) return;
  if (gfx::CTransform* t = system->GetTransform()) {
    t->position = at;
    t->UpdateMatrix();
  }
}

void LetGo(ptc::IParticleSystem*& system) {
  if (system) system->SetActive(false);
  system = nullptr;
}

void SetAlpha(gfx::CRenderer* renderer, float alpha) {
  if (!renderer) return;
  const float factor[4] = {1.0f, 1.0f, 1.0f, alpha};
  renderer->SetShaderParameter(kColorFactor, kFloat4, factor);
}

// The effects steer their objects by the angles: the orientation follows them, or
// the matrix would keep the object's old facing.
void Place(gfx::CTransform* t, const plat::Vec3& position) {
  if (!t) return;
  t->position = position;
  t->orientation = plat::QuatRotationYawPitchRoll(t->yaw, t->pitch, t->roll);
  t->UpdateMatrix();
}

void SetUniformScale(gfx::CTransform* t, float s) {
  if (!t) return;
  t->scale = plat::Vec3(s, s, s);
  t->UpdateMatrix();
}

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

float Random01() {
  return static_cast<float>(plat::Rand()) / static_cast<float>(plat::RAND_MAX_MS);
}

float Lerp(float a, float b, float s) { return a + (b - a) * s; }

// The shells fade from 0.8 to nothing between their fade and end times.
float ShellAlpha(float timer, float fadeAt, float endAt) {
  if (timer < fadeAt) return 0.8f;
  return Clamp01(0.8f - (timer - fadeAt) * 0.8f / (endAt - fadeAt));
}

// A system's alpha towards nothing over the part of the state left after `from`
// (seconds); at once when nothing is left.
void FadeOver(ptc::IParticleSystem* system, float stateTimer, float from, float length, float dt) {
  if (!system || stateTimer <= from || system->alpha <= 0.0f) return;
  if (length - from <= 0.0f) {
    system->alpha = 0.0f;
    return;
  }
  system->alpha -= dt / (length - from);
  if (system->alpha < 0.0f) system->alpha = 0.0f;
}

}  // namespace

const plat::Vec3 CPlayerEffects::kLightHigh(0.0f, 10.0f, 0.0f);

const CStringHash& CPlayerEffects::GetClassName() {
  static const CStringHash name("CPlayerEffects");
  return name;
}

CPlayerEffects::~CPlayerEffects() {
  if (!IsCheckPointCopy()) Reset();
}

// --- Component ---------------------------------------------------------------------

void CPlayerEffects::Load(rapidxml::xml_node<>* element) {
  obj::ForEachKey(element, [this](const obj::CKey& key) {
    switch (key.NameHash()) {
      case ComputeHash("grenades_in"):
        grenadesIn = key.Float();
        break;
      case ComputeHash("grenades_explosion"):
        grenadesExplosion = key.Float();
        break;
      case ComputeHash("grenades_out"):
        grenadesOut = key.Float();
        break;
      case ComputeHash("grenades_position"):
        grenadesPosition = plat::Vec3(key.Float("pos_X"), key.Float("pos_Y"), key.Float("pos_Z"));
        break;
      default:
        break;
    }
  });
}

bool CPlayerEffects::Init() {
  obj::CGameObject* owner = GetOwner();
  controller = Part<CPlayerController>(owner);
  transform = Part<gfx::CTransform>(owner);
  animator = Part<anm::CAnimator>(owner);

  grenades = FindObject("grenades");
  grenadesTransform = Part<gfx::CTransform>(grenades);
  grenadesAnimator = Part<anm::CAnimator>(grenades);
  grenadesRenderer = Part<gfx::CRenderer>(grenades);

  rocks = FindObject("radial_rocks_player");
  rocksTransform = Part<gfx::CTransform>(rocks);
  rocksAnimator = Part<anm::CAnimator>(rocks);
  rocksRenderer = Part<gfx::CRenderer>(rocks);

  semisphere = FindObject("semisphere");
  semisphereRenderer = Part<gfx::CRenderer>(semisphere);
  semisphereTransform = Part<gfx::CTransform>(semisphere);

  ring = FindObject("ring");
  ringRenderer = Part<gfx::CRenderer>(ring);
  ringTransform = Part<gfx::CTransform>(ring);
  crown = FindObject("crown");
  crownRenderer = Part<gfx::CRenderer>(crown);
  crownTransform = Part<gfx::CTransform>(crown);

  turbulence = FindObject("turbulence");
  turbulenceRenderer = Part<gfx::CRenderer>(turbulence);
  turbulenceTransform = Part<gfx::CTransform>(turbulence);
  return true;
}

void CPlayerEffects::Reset() {
  controller = nullptr;
  transform = nullptr;
  animator = nullptr;
  gasSystem = nullptr;
  grenades = nullptr;
  grenadesTransform = nullptr;
  grenadesAnimator = nullptr;
  grenadesRenderer = nullptr;
  rocks = nullptr;
  rocksTransform = nullptr;
  rocksAnimator = nullptr;
  rocksRenderer = nullptr;
  bloodSystem = nullptr;
  sparkSystems[0] = sparkSystems[1] = nullptr;
  weaponLight = nullptr;
  weaponLightLight = nullptr;
  weaponLightTransform = nullptr;
  weaponLightLookedUp = 0;
  semisphere = nullptr;
  semisphereRenderer = nullptr;
  semisphereTransform = nullptr;
  ring = crown = nullptr;
  ringRenderer = crownRenderer = nullptr;
  ringTransform = crownTransform = nullptr;
  turbulence = nullptr;
  turbulenceRenderer = nullptr;
  turbulenceTransform = nullptr;
  throwActive = exploded = grenadeShown = 0;
  rocksActive = rocksFading = 0;
  semisphereActive = 0;
}

void CPlayerEffects::Restart() {
  if (obj::CGameObject* owner = GetOwner()) {
    if (obj::IComponent* trail = owner->GetComponent(kWeaponRenderer)) trail->Restart();
  }
  LetGo(gasSystem);
  CancelGrenadeThrow();
  StopSemisphere();
  StopRingCrown();
  StopTurbulence();
  ReleaseSparks();
  QueueObject(weaponLight, false);
  weaponLight = nullptr;
  weaponLightLight = nullptr;
  weaponLightTransform = nullptr;
  weaponLightLookedUp = 0;
  bloodSystem = nullptr;
}

bool CPlayerEffects::Update(float dt) {
  splashTimer += dt;
  if (gasSystem) UpdateGas(dt);
  if (throwActive && !exploded) UpdateGrenadeThrow();
  if (blurPulse != 0.0f) UpdateRadialBlur(dt);
  if (rocksActive) {
    rocksTimer += dt;
    UpdateRocks();
  }
  if (semisphereActive) UpdateSemisphere(dt);
  if (ringCrownActive) UpdateRingCrown(dt);
  if (sparkSystems[0] || sparkSystems[1]) UpdateWeaponSparks(dt);
  if (weaponLight && weaponLight->IsEnabled()) UpdateWeaponLight(dt);
  if (bloodSystem && bloodSystem->IsActive()) {
    bloodTimer += dt;
    if (transform) PlaceSystem(bloodSystem, transform->position + plat::Vec3(0.0f, 1.0f, 0.0f));
    if (bloodTimer > kBloodFollowTime) bloodSystem = nullptr;  // it plays out by itself
  }
  return true;
}

// --- Shared ------------------------------------------------------------------------

float CPlayerEffects::StateTimer() const { return controller ? controller->stateTimer : 0.0f; }

float CPlayerEffects::StateDuration() const {
  return controller ? controller->stateDuration : 0.0f;
}

plat::Vec3 CPlayerEffects::PlayerBone(const char* bone) const {
  const plat::Vec3 local = animator ? animator->GetBoneTranslation(bone) : plat::Vec3();
  return transform ? plat::TransformCoord(local, transform->world) : local;
}

// --- Gas ---------------------------------------------------------------------------

void CPlayerEffects::StartGas() {
  const float length = StateDuration();
  const float window = controller ? (controller->gasOver - controller->gasStart) * length : 0.0f;
  if (window > 0.0f) {
    gasSweepAngle = kPi / 4.0f;
    gasSweepSpeed = (kPi / 2.0f) / window;
  } else {
    // A window without length sweeps its whole arc at once (no division by zero,
    // no angle that compares false with everything).
    gasSweepAngle = -kPi / 4.0f;
    gasSweepSpeed = 0.0f;
  }
  if (!gasSystem) {
    gasSystem = TakeSystem(kGasAttack, false);
    if (gasSystem) gasSystem->SetActive(true);
  }
  if (gasSystem) UpdateGas(0.0f);
}

void CPlayerEffects::UpdateGas(float dt) {
  gasSweepAngle -= gasSweepSpeed * dt;
  PlaceSystem(gasSystem, PlayerBone("Bip01 L Hand"));
  if (transform) gasSystem->rotation[1] = -transform->yaw;
  const float length = StateDuration();
  const float over = controller ? controller->gasOver * length : length;
  FadeOver(gasSystem, StateTimer(), over, length, dt);
}

void CPlayerEffects::StopGas() { LetGo(gasSystem); }

void CPlayerEffects::ApplyGasDamage() {
  obj::CGameObjectManager* objects = Objects();
  // The gas walks the enemies' manager's list in its order; without one it catches nobody.
  const IEnemyList* enemies = GetEnemyList();
  if (!enemies || !objects || !transform) return;
  const size_t count = enemies->GetEnemyCount();
  for (size_t i = 0; i < count; ++i) {
    obj::CGameObject* enemy = objects->GetGameObjectById(static_cast<int>(enemies->GetEnemyId(i)));
    if (!enemy) continue;
    IEnemyFighter* victim = FindEnemyFighter(enemy);
    const gfx::CTransform* at = enemy->GetComponent<gfx::CTransform>();
    if (!victim || !at || !victim->IsActive() || victim->IsLocked()) continue;
    const float dx = at->position.x - transform->position.x;
    const float dz = at->position.z - transform->position.z;
    if (dx * dx + dz * dz >= kGasRange * kGasRange) continue;
    const plat::Vec3 local = plat::TransformCoord(at->position, transform->inverseWorld);
    const float a = std::atan2(local.x, local.z);
    if (a < kPi / 2.0f && a > gasSweepAngle) {
      victim->RequestState(kGasDeathState, 0);
      // Caught once: the lock keeps the next frames of the sweep off it.
      victim->SetLocked(true);
    }
  }
}

// --- Grenade -----------------------------------------------------------------------

void CPlayerEffects::StartGrenadeThrow() {
  throwActive = 1;
  exploded = 0;
  grenadeShown = 0;
  QueueObject(grenades, true);
  QueueComponent(grenadesRenderer, false);
  if (grenadesTransform && transform) {
    grenadesTransform->yaw = transform->yaw;
    Place(grenadesTransform, plat::TransformCoord(grenadesPosition, transform->world));
  }
  if (grenadesAnimator) grenadesAnimator->ExecuteAction(kGrenadesAnim, 1.0f, 0.25f, 0.25f, true);
}

void CPlayerEffects::UpdateGrenadeThrow() {
  const float timer = StateTimer();
  const float length = StateDuration();
  if (grenadesAnimator && length > 0.0f) KeepThrowInStep(grenadesAnimator, timer / length);
  if (!grenadeShown && grenadesRenderer && !grenadesRenderer->IsEnabled() &&
      timer >= grenadesIn * length) {
    grenadeShown = 1;
    QueueComponent(grenadesRenderer, true);
    if (sfx::CAudioManager* audio = sfx::CAudioManager::GetInstance())
      audio->PlaySound(kGrunts[plat::Rand() % 4], false);
  }
  gfx::CRenderManager* render = gfx::CRenderManager::GetInstance();
  if (timer >= grenadesExplosion * length - 0.05f && blurPulse == 0.0f && render) {
    render->filmLookTail.Set({0.5f, 0.5f});  // the radial blur's centre
    render->radialBlurStrength.Set(0.2f);
    render->radialBlur.Set(true);
    blurPulse = 1.0f;
    blurRising = 1;
  }
  if (timer >= grenadesExplosion * length) {
    exploded = 1;
    QueueComponent(grenadesRenderer, false);
    ExplodeGrenade();
  }
}

void CPlayerEffects::ExplodeGrenade() {
  if (!grenadesAnimator || !grenadesTransform) return;
  sfx::CAudioManager* audio = sfx::CAudioManager::GetInstance();
  static const char* const kBooms[3] = {"grenade_explosion_01", "grenade_explosion_02",
                                        "grenade_explosion_03"};
  for (int i = 0; i < kGrenadeBursts; ++i) {
    char bone[16];
    std::snprintf(bone, sizeof(bone), "granade0%d", i);
    const plat::Vec3 at =
        plat::TransformCoord(grenadesAnimator->GetBoneTranslation(bone), grenadesTransform->world);
    PlaceSystem(TakeSystem(kExplosion, false), at);
    evn::PostOrRelease(evn::CEventExplosion::New(kPlayerName, at, kExplosionRange));
    const int boom = i == 0 ? 0 : (i == 3 ? 1 : (i == 7 ? 2 : -1));
    if (boom >= 0 && audio) {
      const sfx::ChannelHandle channel = audio->PlaySound(kBooms[boom], false);
      if (channel) {
        audio->SetSound3DPosition(channel, at, plat::Vec3());
        audio->SetSound3DParams(channel, 25.0f, 75.0f);
      }
    }
  }
}

void CPlayerEffects::CancelGrenadeThrow() {
  throwActive = 0;
  if (grenadesAnimator) {
    grenadesAnimator->RemoveLockedAction(kGrenadesAnim, 0.0f, true);
    grenadesAnimator->ClearActions();
  }
  QueueObject(grenades, false);
}

void CPlayerEffects::UpdateRadialBlur(float dt) {
  gfx::CRenderManager* render = gfx::CRenderManager::GetInstance();
  if (!render) {
    blurPulse = 0.0f;
    return;
  }
  // The render thread takes the strength with the next commit.
  float strength = render->radialBlurStrength.pending;
  if (strength <= 0.0f) {
    render->radialBlur.Set(false);
    blurPulse = 0.0f;
    blurRising = 1;
  } else if (blurRising) {
    if (strength > 1.1f) {
      blurRising = 0;
    } else {
      strength += 12.0f * dt;
    }
  } else {
    strength -= 5.0f * dt;
  }
  if (strength != render->radialBlurStrength.pending) render->radialBlurStrength.Set(strength);
}

// --- Blood -------------------------------------------------------------------------

void CPlayerEffects::StartBlood() {
  ptc::CParticleSysManager* manager = ptc::CParticleSysManager::GetInstance();
  ptc::IParticleSystem* system = manager ? manager->GetFreeParticleSystem(kBlood) : nullptr;
  if (!system) return;
  if (transform) PlaceSystem(system, transform->position + plat::Vec3(0.0f, 1.0f, 0.0f));
  system->Restart(true);
  bloodSystem = system;
  bloodTimer = 0.0f;
}

void CPlayerEffects::SplashBlood(const plat::Vec3& direction) {
  if (splashTimer <= kSplashInterval) return;
  splashTimer = 0.0f;
  const float r = Random01();
  const uint32_t red = static_cast<uint32_t>(Lerp(210.0f, 180.0f, r));
  const uint32_t colour = 0xFF000000u | (red << 16);
  const float size = Lerp(1.0f, 1.5f, Random01());
  const float life = Lerp(15.0f, 20.0f, Random01());
  int group = 0;
  if (lgc::CScriptManager* scripts = lgc::CScriptManager::GetInstance())
    group = scripts->GetGlobalInt("main_zone");
  gfx::CDecalManager* decals = gfx::CDecalManager::GetInstance();
  if (!decals || !transform) return;
  const plat::Vec3 from = transform->position;
  decals->AddDecalAt(from + direction * 2.0f, colour, size, group, life, 0.4f, 5.0f);
  plat::Vec3 hit;
  phy::CCollisionManager* collision = phy::CCollisionManager::GetInstance();
  if (collision && collision->RayTest(from, from + direction * 3.0f, hit))
    decals->AddDecalAt(hit, colour, Lerp(1.5f, 2.0f, Random01()), group, life, 0.4f, 5.0f);
}

// --- Weapon light ------------------------------------------------------------------

void CPlayerEffects::LookUpWeaponLight() {
  weaponLightLookedUp = 1;
  weaponLight = FindObject("pl_arma");
  weaponLightLight = Part<lig::CLight>(weaponLight);
  weaponLightTransform = Part<gfx::CTransform>(weaponLight);
  if (!weaponLightLight || !weaponLightTransform) {
    weaponLight = nullptr;
    weaponLightLight = nullptr;
    weaponLightTransform = nullptr;
    return;
  }
  lightLow = weaponLightLight->attenuation;
}

void CPlayerEffects::ShowWeaponLight() {
  if (!weaponLightLookedUp) LookUpWeaponLight();
  if (!weaponLight) return;
  QueueObject(weaponLight, true);
  lightRate = plat::Vec3(0.0f, -kLightRate, 0.0f);
  weaponLightLight->attenuation = kLightHigh;
}

void CPlayerEffects::HideWeaponLight() {
  if (weaponLight) lightRate = plat::Vec3(0.0f, kLightRate, 0.0f);
}

void CPlayerEffects::UpdateWeaponLight(float dt) {
  if (!weaponLightLight || !weaponLightTransform) return;
  Place(weaponLightTransform, PlayerBone("Bone01"));
  lig::CLight& light = *weaponLightLight;
  if (light.behaviour == lig::kBehaviourShadows) {
    if (light.type == lig::kLightPoint) {
      gfx::ComputeCubeViewMatrices(weaponLightTransform->position, light.cubeViews);
    } else {
      const plat::Vec3 d = light.target - weaponLightTransform->position;
      if (plat::Length(d) > 1e-6f) light.direction = plat::Normalize(d);
    }
  }
  float* att[3] = {&light.attenuation.x, &light.attenuation.y, &light.attenuation.z};
  const float rate[3] = {lightRate.x, lightRate.y, lightRate.z};
  const float high[3] = {kLightHigh.x, kLightHigh.y, kLightHigh.z};
  const float low[3] = {lightLow.x, lightLow.y, lightLow.z};
  bool allHigh = true;
  for (int i = 0; i < 3; ++i) {
    float& v = *att[i];
    v += rate[i] * dt;
    if (v > high[i]) v = high[i];
    if (v < low[i]) v = low[i];
    if (v != high[i]) allHigh = false;
  }
  if (allHigh) QueueObject(weaponLight, false);
}

// --- Second auto attack ------------------------------------------------------------

void CPlayerEffects::StartWeaponSparks() {
  for (ptc::IParticleSystem*& slot : sparkSystems) {
    if (slot) continue;
    slot = TakeSystem(kArma, false);
    if (slot) slot->SetActive(true);
  }
  UpdateWeaponSparks(0.0f);
  sparksLength = StateDuration();
}

void CPlayerEffects::UpdateWeaponSparks(float dt) {
  const float timer = StateTimer();
  const float length = StateDuration();
  for (int i = 0; i < 2; ++i) {
    ptc::IParticleSystem* system = sparkSystems[i];
    if (!system) continue;
    PlaceSystem(system, PlayerBone(kSparkBones[i]));
    if (transform) system->rotation[1] = -transform->yaw;
    FadeOver(system, timer, sparksLength, length, dt);
  }
}

void CPlayerEffects::ReleaseSparks() {
  LetGo(sparkSystems[0]);
  LetGo(sparkSystems[1]);
}

void CPlayerEffects::StartTurbulence() {
  turbulenceActive = 1;
  turbulenceTimer = 0.0f;
  turbulenceAngle = 0.0f;
  SetAlpha(turbulenceRenderer, 0.8f);
  SetUniformScale(turbulenceTransform, 0.8f);
}

void CPlayerEffects::UpdateTurbulence(float dt) {
  if (!turbulenceActive) return;
  turbulenceTimer += dt;
  constexpr float kShow = 0.3f, kFade = 0.6f, kEnd = 1.0f;
  if (turbulenceTimer >= kEnd) {
    StopTurbulence();
    return;
  }
  if (turbulenceTimer < kShow) return;
  if (turbulence && !turbulence->IsEnabled()) QueueObject(turbulence, true);
  if (turbulenceTransform && transform) {
    turbulenceAngle += 9.0f + 90.0f * dt;
    turbulenceTransform->yaw = transform->yaw - kPi / 2.0f;
    turbulenceTransform->pitch = turbulenceAngle * kDegrees;
    Place(turbulenceTransform, transform->position + plat::Vec3(0.0f, 1.1f, 0.0f));
  }
  SetAlpha(turbulenceRenderer, ShellAlpha(turbulenceTimer, kFade, kEnd));
}

void CPlayerEffects::StopTurbulence() {
  QueueObject(turbulence, false);
  turbulenceActive = 0;
  turbulenceTimer = 0.0f;
}

// --- Ring and crown (X5) -----------------------------------------------------------

void CPlayerEffects::StartRingCrown() {
  ringCrownActive = 1;
  ringCrownTimer = 0.0f;
  SetAlpha(ringRenderer, 0.8f);
  SetAlpha(crownRenderer, 0.8f);
  SetUniformScale(ringTransform, 0.25f);
  SetUniformScale(crownTransform, 0.25f);
}

void CPlayerEffects::UpdateRingCrown(float dt) {
  constexpr float kShow = 1.2f, kFade = 1.3f, kEnd = 1.4f;
  const bool before = ringCrownTimer < kShow;
  ringCrownTimer += dt;
  if (ringCrownTimer >= kEnd) {
    StopRingCrown();
    return;
  }
  if (ringCrownTimer < kShow || !transform) return;
  if (before) {
    const plat::Mat4& w = transform->world;
    const plat::Vec3 ahead(w(2, 0), w(2, 1), w(2, 2));
    if (ptc::IParticleSystem* puf = TakeSystem(kPufSmall, false)) {
      PlaceSystem(puf, transform->position + ahead * 0.5f);
      puf->SetActive(true);
    }
    // The shells spin from the player's facing.
    if (ringTransform) ringTransform->yaw = transform->yaw;
    if (crownTransform) crownTransform->yaw = transform->yaw;
  }
  const float alpha = ShellAlpha(ringCrownTimer, kFade, kEnd);
  if (ring && !ring->IsEnabled()) QueueObject(ring, true);
  if (crown && !crown->IsEnabled()) QueueObject(crown, true);
  if (ringTransform) {
    ringTransform->yaw += kPi / 2.0f * dt;
    ringTransform->scale = ringTransform->scale + plat::Vec3(11.0f, 11.0f, 11.0f) * dt;
    Place(ringTransform, transform->position + plat::Vec3(0.0f, 0.65f, 0.0f));
  }
  if (crownTransform) {
    crownTransform->yaw -= kPi / 2.0f * dt;
    crownTransform->scale = crownTransform->scale + plat::Vec3(11.0f, 11.0f, 11.0f) * dt;
    Place(crownTransform, transform->position);
  }
  SetAlpha(ringRenderer, alpha);
  SetAlpha(crownRenderer, alpha);
}

void CPlayerEffects::StopRingCrown() {
  QueueObject(ring, false);
  QueueObject(crown, false);
  ringCrownActive = 0;
  ringCrownTimer = 0.0f;
}

// --- Rocks and semisphere (Y3) -----------------------------------------------------

void CPlayerEffects::StartRocks() {
  rocksActive = 1;
  rocksFading = 0;
  rocksTimer = 0.0f;
  QueueObject(rocks, true);
  QueueComponent(rocksRenderer, false);
  if (rocksAnimator) {
    rocksAnimator->ExecuteAction(kRocksAnim, 1.0f, 0.0f, 0.0f, true);
    rocksFadeStart = rocksAnimator->GetAnimationDuration(kRocksAnim) - 0.5f;
  }
  SetAlpha(rocksRenderer, 1.0f);
}

void CPlayerEffects::ShowRocks() {
  QueueComponent(rocksRenderer, true);
  if (rocksTransform && transform) {
    rocksTransform->yaw = transform->yaw;
    Place(rocksTransform, transform->position);
  }
}

void CPlayerEffects::UpdateRocks() {
  gfx::CRenderManager* render = gfx::CRenderManager::GetInstance();
  if (!rocksFading && rocksTimer > rocksFadeStart) {
    if (render && rocksRenderer && !rocksRenderer->GetItems().empty())
      render->QueueMoveToRenderList1(rocksRenderer->GetItems());
    if (rocksRenderer) rocksRenderer->SetTechnique(kSkinTechAlpha);
    rocksFading = 1;
  }
  if (!rocksFading) return;
  const float alpha = Clamp01(1.0f - 2.0f * (rocksTimer - rocksFadeStart));
  SetAlpha(rocksRenderer, alpha);
  if (alpha <= 0.0f) {
    if (render && rocksRenderer && !rocksRenderer->GetItems().empty())
      render->QueueMoveToRenderList0(rocksRenderer->GetItems());
    StopRocks();
  }
}

void CPlayerEffects::StopRocks() {
  rocksActive = 0;
  if (rocksAnimator) {
    rocksAnimator->RemoveLockedAction(kRocksAnim, 0.0f, true);
    rocksAnimator->ClearActions();
  }
  QueueObject(rocks, false);
  if (rocksRenderer) rocksRenderer->SetTechnique(kSkinTech);
}

void CPlayerEffects::StartSemisphere() {
  semisphereActive = 1;
  semisphereTimer = 0.0f;
  SetAlpha(semisphereRenderer, 0.8f);
  SetUniformScale(semisphereTransform, 0.25f);
}

void CPlayerEffects::UpdateSemisphere(float dt) {
  constexpr float kShow = 1.25f, kFade = 1.35f, kEnd = 1.45f;
  const bool before = semisphereTimer < kShow;
  semisphereTimer += dt;
  if (semisphereTimer >= kEnd) {
    StopSemisphere();
    return;
  }
  if (semisphereTimer < kShow || !transform) return;
  if (before) {
    if (ptc::IParticleSystem* puf = TakeSystem(kPufBig, false)) {
      PlaceSystem(puf, transform->position);
      puf->SetActive(true);
    }
    if (semisphereTransform) semisphereTransform->yaw = transform->yaw;
  }
  if (semisphere && !semisphere->IsEnabled()) QueueObject(semisphere, true);
  if (semisphereTransform) {
    semisphereTransform->yaw += kPi / 2.0f * dt;
    semisphereTransform->scale = semisphereTransform->scale + plat::Vec3(11.0f, 11.0f, 11.0f) * dt;
    Place(semisphereTransform, transform->position);
  }
  SetAlpha(semisphereRenderer, ShellAlpha(semisphereTimer, kFade, kEnd));
}

void CPlayerEffects::StopSemisphere() {
  QueueObject(semisphere, false);
  semisphereActive = 0;
  semisphereTimer = 0.0f;
}

}  // namespace vd
