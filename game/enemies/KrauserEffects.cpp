#include "game/enemies/KrauserEffects.h"

#include <cmath>

#include "engine/animation/Animator.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Transform.h"
#include "engine/render/RenderManager.h"
#include "engine/render/particles/ParticleSysManager.h"
#include "engine/render/particles/ParticleSystem.h"

namespace vd {

namespace {

constexpr int kFloat4 = 5;
constexpr double kDegrees = 3.14159265358979323846 / 180.0;

const CStringHash kKrauserType("CKrauser");
const CStringHash kTrailType("CWeaponRenderer");
const CStringHash kColorFactor("gColorFactor");
const CStringHash kSkinTech("skin_tech");
const CStringHash kSkinTechAlpha("skin_tech_alpha");
const CStringHash kRadialRocksAnim("radial_rocks_beam_wave");
const CStringHash kLineRocksAnim("line_rocks_ground_beam");
const CStringHash kPufBig("puf_big");
const CStringHash kPufSmall("puf_small");
const CStringHash kPufLine("puf_line");
const CStringHash kBlood("krauser_blood");

const char* const kRadialRocksName = "radial_rocks_krauser";
const char* const kLineRocksName = "line_rocks_krauser";
const char* const kSemisphereName = "semisphere_krauser";
const char* const kRingName = "ring_krauser";
const char* const kCrownName = "crown_krauser";

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

void QueueObject(obj::CGameObject* object, bool enable) {
  obj::CGameObjectManager* objects = obj::CGameObjectManager::GetInstance();
  if (object && objects) objects->QueueEnable(object, enable);
}

void QueueComponent(obj::IComponent* component, bool enable) {
  if (component) obj::RequestComponentEnable(component, enable);
}

void SetColour(gfx::CRenderer* renderer, float r, float g, float b, float a) {
  if (!renderer) return;
  const float colour[4] = {r, g, b, Clamp01(a)};
  renderer->SetShaderParameter(kColorFactor, kFloat4, colour);
}

bool InRenderLists(const gfx::CRenderer* renderer) {
  return renderer && renderer->IsRegistered() && !renderer->GetItems().empty();
}

// Turns by `degrees` and rebuilds the matrices; the sum in double, as every angle here.
void Turn(gfx::CTransform* t, double degrees) {
  if (t) t->SetYaw(static_cast<float>(static_cast<double>(t->yaw) + degrees * kDegrees));
}

void Grow(gfx::CTransform* t, float amount) {
  if (t) t->scale = t->scale + plat::Vec3(amount, amount, amount);
}

void SetScale(gfx::CTransform* t, float s) {
  if (!t) return;
  t->scale = plat::Vec3(s, s, s);
  t->UpdateMatrix();
}

void Put(gfx::CTransform* t, const plat::Vec3& at) {
  if (!t) return;
  t->position = at;
  t->UpdateMatrix();
}

// A free system of that kind restarted at the point and running; none: not shown.
ptc::IParticleSystem* Puff(const CStringHash& kind, const plat::Vec3& at) {
  ptc::CParticleSysManager* manager = ptc::CParticleSysManager::GetInstance();
  ptc::IParticleSystem* system = manager ? manager->GetFreeParticleSystem(kind) : nullptr;
  if (!system) return nullptr;
  system->Restart(false);
  Put(system->GetTransform(), at);
  system->SetActive(true);
  return system;
}

obj::CGameObject* FindObject(const char* name) {
  obj::CGameObjectManager* objects = obj::CGameObjectManager::GetInstance();
  return objects ? objects->GetGameObjectByName(CStringHash(name)) : nullptr;
}

void Bind(CKrauserEffects::SRocks& rocks, const char* name) {
  rocks.object = FindObject(name);
  rocks.transform = rocks.object ? rocks.object->GetComponent<gfx::CTransform>() : nullptr;
  rocks.animator = rocks.object ? rocks.object->GetComponent<anm::CAnimator>() : nullptr;
  rocks.renderer = rocks.object ? rocks.object->GetComponent<gfx::CRenderer>() : nullptr;
}

void Bind(CKrauserEffects::SShell& shell, const char* name) {
  shell.object = FindObject(name);
  shell.renderer = shell.object ? shell.object->GetComponent<gfx::CRenderer>() : nullptr;
  shell.transform = shell.object ? shell.object->GetComponent<gfx::CTransform>() : nullptr;
}

}  // namespace

const CStringHash& CKrauserEffects::GetClassName() {
  static const CStringHash name("CKrauserEffects");
  return name;
}

CKrauserEffects::~CKrauserEffects() {
  if (!IsCheckPointCopy()) Reset();
}

bool CKrauserEffects::Init() {
  obj::CGameObject* owner = GetOwner();
  m_boss = owner ? owner->GetComponent(kKrauserType) : nullptr;
  m_transform = owner ? owner->GetComponent<gfx::CTransform>() : nullptr;
  m_animator = owner ? owner->GetComponent<anm::CAnimator>() : nullptr;
  Bind(m_radial, kRadialRocksName);
  Bind(m_line, kLineRocksName);
  Bind(m_semisphere, kSemisphereName);
  Bind(m_ring, kRingName);
  Bind(m_crown, kCrownName);
  return true;
}

void CKrauserEffects::Reset() {
  m_boss = nullptr;
  m_transform = nullptr;
  m_animator = nullptr;
  m_radial = SRocks();
  m_line = SRocks();
  m_blood = nullptr;
  m_beamWaveActive = 0;
  m_semisphere = SShell();
  m_beamWaveTimer = 0.0f;
  m_groundKickActive = 0;
  m_ring = SShell();
  m_crown = SShell();
  m_groundKickTimer = 0.0f;
}

void CKrauserEffects::Restart() {
  if (obj::CGameObject* owner = GetOwner())
    if (obj::IComponent* trail = owner->GetComponent(kTrailType)) trail->Restart();
  StopRocks(m_radial, kRadialRocksAnim);
  StopRocks(m_line, kLineRocksAnim);
  StopGroundKick();
  m_beamWaveActive = 0;
  QueueObject(m_semisphere.object, false);
  m_beamWaveTimer = 0.0f;
}

bool CKrauserEffects::Update(float dt) {
  if (m_radial.active) {
    m_radial.timer += dt;
    UpdateRocks(m_radial, kRadialFade, kRadialRocksAnim);
  }
  if (m_line.active) {
    m_line.timer += dt;
    UpdateRocks(m_line, kLineFade, kLineRocksAnim);
  }
  if (m_beamWaveActive) UpdateBeamWave(dt);
  if (m_groundKickActive) UpdateGroundKick(dt);
  return true;
}

// --- Rocks ----------------------------------------------------------------------------

void CKrauserEffects::StartRadialRocks() { StartRocks(m_radial, kRadialRocksAnim, kRadialFade); }

void CKrauserEffects::StartLineRocks() { StartRocks(m_line, kLineRocksAnim, 0.0f); }

void CKrauserEffects::PlaceRadialRocks() { PlaceRocks(m_radial, BossPosition()); }

void CKrauserEffects::PlaceLineRocks() {
  const plat::Vec3 at = BossPosition();
  QueueComponent(m_line.renderer, true);
  if (ptc::IParticleSystem* puff = Puff(kPufLine, at)) puff->rotation[1] = -BossYaw();
  if (m_line.transform) {
    m_line.transform->SetYaw(BossYaw());
    Put(m_line.transform, at);
  }
}

void CKrauserEffects::StartRocks(SRocks& rocks, const CStringHash& animation, float fadeBefore) {
  // A start during a fade: the entries must leave the particles before the next
  // fade moves them there again.
  if (rocks.fading) {
    if (gfx::CRenderManager* render = gfx::CRenderManager::GetInstance())
      if (InRenderLists(rocks.renderer)) render->QueueMoveToRenderList0(rocks.renderer->GetItems());
    if (rocks.renderer) rocks.renderer->SetTechnique(kSkinTech);
  }
  rocks.active = 1;
  rocks.fading = 0;
  rocks.timer = 0.0f;
  QueueObject(rocks.object, true);
  QueueComponent(rocks.renderer, false);
  float duration = 0.0f;
  if (rocks.animator) {
    rocks.animator->ExecuteAction(animation, 1.0f, 0.0f, 0.0f, true);
    duration = rocks.animator->GetAnimationDuration(animation);
  }
  rocks.fadeStart = duration - fadeBefore;
  SetColour(rocks.renderer, 1.0f, 1.0f, 1.0f, 1.0f);
}

void CKrauserEffects::PlaceRocks(SRocks& rocks, const plat::Vec3& at) {
  QueueComponent(rocks.renderer, true);
  if (!rocks.transform) return;
  rocks.transform->SetYaw(BossYaw());
  Put(rocks.transform, at);
}

void CKrauserEffects::UpdateRocks(SRocks& rocks, float fadeLength, const CStringHash& animation) {
  gfx::CRenderManager* render = gfx::CRenderManager::GetInstance();
  if (!rocks.fading && rocks.timer > rocks.fadeStart) {
    if (render && InRenderLists(rocks.renderer))
      render->QueueMoveToRenderList1(rocks.renderer->GetItems());
    if (rocks.renderer) rocks.renderer->SetTechnique(kSkinTechAlpha);
    rocks.fading = 1;
  }
  if (!rocks.fading) return;
  const float alpha = Clamp01(1.0f - (rocks.timer - rocks.fadeStart) / fadeLength);
  SetColour(rocks.renderer, 1.0f, 1.0f, 1.0f, alpha);
  if (alpha <= 0.0f) StopRocks(rocks, animation);
}

void CKrauserEffects::StopRocks(SRocks& rocks, const CStringHash& animation) {
  if (rocks.fading) {
    gfx::CRenderManager* render = gfx::CRenderManager::GetInstance();
    if (render && InRenderLists(rocks.renderer))
      render->QueueMoveToRenderList0(rocks.renderer->GetItems());
    rocks.fading = 0;
  }
  rocks.active = 0;
  if (rocks.animator) {
    rocks.animator->RemoveLockedAction(animation, 0.0f, true);
    rocks.animator->ClearActions();
  }
  QueueObject(rocks.object, false);
  if (rocks.renderer) rocks.renderer->SetTechnique(kSkinTech);
}

// --- Beam wave ----------------------------------------------------------------------------

void CKrauserEffects::StartBeamWave() {
  m_beamWaveActive = 1;
  m_beamWaveTimer = 0.0f;
  SetColour(m_semisphere.renderer, 0.7f, 0.0f, 0.45f, kShellAlpha);
  SetScale(m_semisphere.transform, kStartScale);
}

void CKrauserEffects::UpdateBeamWave(float dt) {
  m_beamWaveTimer += dt;
  if (m_beamWaveTimer < kBeamShow) return;
  QueueObject(m_semisphere.object, true);
  if (m_beamWaveTimer - dt < kBeamShow) Puff(kPufBig, BossPosition());
  if (gfx::CTransform* t = m_semisphere.transform) {
    t->position = BossPosition() + BossAxis(2) * kBeamAhead;
    t->UpdateMatrix();
    Turn(t, dt * -kSpin);
    Grow(t, dt * kGrowth);
    t->UpdateMatrix();
  }
  if (m_beamWaveTimer >= kBeamFade)
    SetColour(m_semisphere.renderer, 0.7f, 0.0f, 0.45f,
              kShellAlpha - (m_beamWaveTimer - kBeamFade) * kShellAlpha / (kBeamEnd - kBeamFade));
  if (m_beamWaveTimer >= kBeamEnd) {
    m_beamWaveActive = 0;
    QueueObject(m_semisphere.object, false);
    m_beamWaveTimer = 0.0f;
  }
}

// --- Ground kick ------------------------------------------------------------------------------

void CKrauserEffects::StartGroundKick() {
  m_groundKickActive = 1;
  m_groundKickTimer = 0.0f;
  for (SShell* shell : {&m_ring, &m_crown}) {
    SetColour(shell->renderer, 0.85f, 0.0f, 0.08f, kShellAlpha);
    SetScale(shell->transform, kStartScale);
  }
}

void CKrauserEffects::UpdateGroundKick(float dt) {
  m_groundKickTimer += dt;
  if (m_groundKickTimer < kKickShow) return;
  const plat::Vec3 boss = BossPosition();
  if (m_groundKickTimer - dt < kKickShow)
    Puff(kPufSmall, boss + BossAxis(0) * 0.5f + BossAxis(2) * 0.5f);
  QueueObject(m_ring.object, true);
  QueueObject(m_crown.object, true);
  Put(m_ring.transform, boss + plat::Vec3(0.0f, 0.4f, 0.0f));
  Put(m_crown.transform, boss);
  Turn(m_ring.transform, dt * -kSpin);
  Turn(m_crown.transform, dt * kSpin);
  for (SShell* shell : {&m_ring, &m_crown}) {
    Grow(shell->transform, dt * kGrowth);
    if (shell->transform) shell->transform->UpdateMatrix();
  }
  if (m_groundKickTimer >= kKickFade) {
    const float alpha =
        kShellAlpha - (m_groundKickTimer - kKickFade) * kShellAlpha / (kKickEnd - kKickFade);
    SetColour(m_ring.renderer, 0.85f, 0.0f, 0.08f, alpha);
    SetColour(m_crown.renderer, 0.85f, 0.0f, 0.08f, alpha);
  }
  if (m_groundKickTimer >= kKickEnd) StopGroundKick();
}

void CKrauserEffects::StopGroundKick() {
  QueueObject(m_ring.object, false);
  QueueObject(m_crown.object, false);
  m_groundKickActive = 0;
  m_groundKickTimer = 0.0f;
}

// --- Blood ------------------------------------------------------------------------------------

void CKrauserEffects::ShowBlood() {
  if (!m_blood) {
    ptc::CParticleSysManager* manager = ptc::CParticleSysManager::GetInstance();
    m_blood = manager ? manager->GetFreeParticleSystem(kBlood) : nullptr;
    if (!m_blood) return;
  }
  PlaceBlood();
  m_blood->Restart(true);
}

void CKrauserEffects::PlaceBlood() {
  if (m_blood) Put(m_blood->GetTransform(), BossPosition() + plat::Vec3(0.0f, 1.5f, 0.0f));
}

// --- The boss -----------------------------------------------------------------------------------

plat::Vec3 CKrauserEffects::BossPosition() const {
  return m_transform ? m_transform->position : plat::Vec3(0.0f, 0.0f, 0.0f);
}

plat::Vec3 CKrauserEffects::BossAxis(int row) const {
  if (!m_transform) return plat::Vec3(0.0f, 0.0f, 0.0f);
  const plat::Mat4& w = m_transform->world;
  return plat::Vec3(w.m[row][0], w.m[row][1], w.m[row][2]);
}

float CKrauserEffects::BossYaw() const { return m_transform ? m_transform->yaw : 0.0f; }

}  // namespace vd
