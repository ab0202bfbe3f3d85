// The fighter's approach and fight: from going to its target to leaving cover.
//
// Substates say where a state was entered from: 0 from the approach or the wait,
// 1 from the fight, 2 a taunt from the fight. A state that returns goes back by
// it: 0 to waiting (13; a taunt to 12), 1 to deciding (16; a taunt to 13), 2 to
// deciding. Every change in here writes the pair directly.
#include <algorithm>
#include <cmath>

#include "engine/collision/CharacterCollider.h"
#include "engine/collision/CollisionManager.h"
#include "engine/core/Log.h"
#include "engine/core/Utils.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/Tracker.h"
#include "engine/objects/Transform.h"
#include "engine/render/decals/DecalManager.h"
#include "engine/render/particles/ParticleSysManager.h"
#include "engine/render/particles/ParticleSystem.h"
#include "game/enemies/AIManager.h"
#include "game/enemies/Berserker.h"
#include "game/enemies/EnemyNames.h"
#include "game/player/FightSlotMgr.h"
#include "game/player/WeaponController.h"
#include "platform/crt/Crt.h"
#include "platform/math/Math.h"

namespace vd {

namespace {

constexpr float kQuarterTurn = 0.7853982f;  // pi / 4
const CStringHash kVomitParticles("vomit");
const char* const kHeadBone = "Bip01 Head";
// Both ends of the vomit decal's colour blend: an opaque yellow.
constexpr uint32_t kVomitColourA = 0xFFFFFF00u;
constexpr uint32_t kVomitColourB = 0xFFFFFF00u;

float Draw() { return static_cast<float>(plat::Rand()) / 32767.0f; }

uint32_t BlendColour(uint32_t a, uint32_t b, float r) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const float ca = static_cast<float>((a >> shift) & 0xFFu);
    const float cb = static_cast<float>((b >> shift) & 0xFFu);
    out |= (static_cast<uint32_t>(ca * (1.0f - r) + cb * r) & 0xFFu) << shift;
  }
  return out;
}

// Where a state that returns goes back to, by its substate.
SAIState Back(int subState) { return subState == 0 ? SAIState{13, 0} : SAIState{16, 0}; }

// The fight's view of one fighter in one frame: where it and its target stand and
// the moves every state is made of.
class CFight {
public:
  CFight(CBerserker& b, float dt)
      : m_b(b),
        m_dt(dt),
        m_slots(*b.targetSlots),
        m_here(b.transform->position),
        m_there(b.targetTransform->position),
        m_d2(plat::LengthSq(m_there - m_here)) {}

  void Run();

private:
  bool Entering() const { return m_b.current != m_b.lastHandled; }
  void Go(int state, int subState) { m_b.current = SAIState{state, subState}; }
  void Go(const SAIState& pair) { m_b.current = pair; }
  bool Inside(float distance) const { return m_d2 < distance * distance; }
  bool Outside(float distance) const { return !Inside(distance); }
  obj::CGameObject* Owner() const { return m_b.GetOwner(); }
  IActorAnimation& Anim() const { return m_b.Animation(); }

  void Cycle(const CStringHash& name) const { Anim().BlendCycle(name, 1.0f, 0.25f, 0.25f); }
  // The action, and stepDuration its length.
  void Action(const CStringHash& name) const {
    Anim().ExecuteAction(name, 1.0f, 0.25f, 0.25f, false);
    m_b.stepDuration = m_b.Animation().GetDuration(name);
  }
  // Horizontal and of unit length; none when the target stands on the fighter's spot.
  plat::Vec3 ToTarget() const {
    plat::Vec3 d = m_there - m_here;
    d.y = 0.0f;
    const float length = plat::Length(d);
    return length > 1e-6f ? d * (1.0f / length) : plat::Vec3();
  }
  void TurnTo(const plat::Vec3& point, float fraction) const {
    m_b.transform->TurnTowards(point, fraction, false);
  }
  void TurnToTarget(float fraction) const { TurnTo(m_there, fraction); }
  void Walk(const plat::Vec3& v) const {
    if (m_b.characterCollider) m_b.characterCollider->SetWalkDirection(v);
  }
  bool HoldsFightSlot() { return m_slots.GetFightSlotIndex(Owner(), m_b.fightSlot); }
  void TakeWaitSlot() {
    // A slot the manager no longer gives this fighter (its places were emptied by a
    // checkpoint restore) is taken afresh.
    const auto& waits = m_slots.GetWaitSlots();
    if (m_b.waitSlot >= 0 && (static_cast<size_t>(m_b.waitSlot) >= waits.size() ||
                              waits[static_cast<size_t>(m_b.waitSlot)].occupant != Owner()))
      m_b.waitSlot = -1;
    if (m_b.waitSlot == -1) m_b.waitSlot = m_slots.TakeWaitSlot(Owner());
  }
  // How far round the target the fighter stands from `slot`, wrapped into [-pi, pi].
  float AngleFrom(const plat::Vec3& slot) const {
    return utl::AngleDifference(std::atan2(m_here.x - m_there.x, m_here.z - m_there.z),
                                std::atan2(slot.x - m_there.x, slot.z - m_there.z));
  }
  void DashRound(float angle, int subState) { Go(angle > 0.0f ? 19 : 20, subState); }

  void GoToTarget();
  void WaitForSlot();
  void RunToFight();
  void BackOff();
  void Decide();
  void Attack();
  void Vomit();
  void EndAttack();
  void StepBack();
  void Dash();
  void Taunt();
  void Step(bool forwards);
  void CoverDelay();
  void TakeCover();
  void PushedInCover();
  void LeaveCover();

  CBerserker& m_b;
  float m_dt;
  CFightSlotMgr& m_slots;
  plat::Vec3 m_here;
  plat::Vec3 m_there;
  float m_d2;
};

void CFight::Run() {
  switch (m_b.current.state) {
    case 12: GoToTarget(); break;
    case 13: WaitForSlot(); break;
    case 14: RunToFight(); break;
    case 15: BackOff(); break;
    case 16: Decide(); break;
    case 17: Attack(); break;
    case 18: StepBack(); break;
    case 19:
    case 20: Dash(); break;
    case 21: Taunt(); break;
    case 22: Step(false); break;
    case 23: Step(true); break;
    case 24: TakeCover(); break;
    case 25: PushedInCover(); break;
    case 26: CoverDelay(); break;
    case 27: LeaveCover(); break;
    default: break;
  }
}

void CFight::GoToTarget() {
  if (Entering()) {
    Cycle(m_b.runAnimation);
    TakeWaitSlot();
    const SPlayListSlot& spot = m_b.fighterPlayLists[1];
    if (!spot.playList || spot.playList->entries.empty()) {
      m_b.locked = 0;
      if (m_b.characterCollider) {
        m_b.characterCollider->TestFloor(true);
        m_b.characterCollider->TestWalls(true);
      }
    }
  }
  plat::Vec3 goal = m_there;
  if (m_b.waitSlot >= 0) {
    m_b.waitSlotPosition = m_slots.GetWaitSlotPosition(m_b.waitSlot);
    goal = m_b.waitSlotPosition;
  }
  // Every two seconds (the AI manager staggers the fighters' clocks): a wall between
  // the fighter and its slot sends it at the target; a wall there too, to the
  // zone's nearest detour point.
  if (m_b.repathTimer > 2.0f) {
    m_b.detouring = 0;
    plat::Vec3 hit;
    phy::CCollisionManager* collision = phy::CCollisionManager::GetInstance();
    if (collision && collision->RayTest(m_here, goal, hit)) goal = m_there;
    if (collision && collision->RayTest(m_here, goal, hit) && m_b.zoneTracker &&
        !m_b.zoneTracker->waypoints.empty()) {
      float best = CPatrol::kLargest;
      for (const plat::Vec3& point : m_b.zoneTracker->waypoints) {
        const float d = plat::LengthSq(point - m_here);
        if (d < best) {
          best = d;
          m_b.detourPoint = point;
        }
      }
      m_b.detouring = 1;
    }
  }
  if (m_b.detouring && plat::LengthSq(m_b.detourPoint - m_here) < 2.25f) m_b.detouring = 0;
  TurnTo(m_b.detouring ? m_b.detourPoint : goal, m_b.turnSpeedMove * m_dt);
  const gfx::CTransform& t = *m_b.transform;
  Walk(plat::Vec3(std::sin(t.yaw), 0.0f, std::cos(t.yaw)) * m_b.moveSpeed);
  if (!HoldsFightSlot()) m_slots.RequestFightSlot(Owner());
  if (Inside(m_slots.distWaitMin)) {
    Go(HoldsFightSlot() ? 14 : 13, 0);
  } else if (m_b.blockedByEnemy) {
    Go(21, 0);
  }
}

void CFight::WaitForSlot() {
  if (Entering()) {
    Cycle(SH_idle_combat_01);
    m_b.decisionPeriod = Draw() * 0.7f + 0.3f;
    TakeWaitSlot();
  }
  if (m_b.waitSlot >= 0) m_b.waitSlotPosition = m_slots.GetWaitSlotPosition(m_b.waitSlot);
  if (Outside(m_slots.distWaitMax)) {
    Go(12, 0);
    return;
  }
  if (m_b.slotRecheckTimer > m_b.slotRecheckDelay) {
    m_b.slotRecheckDelay = 0.0f;
    if (HoldsFightSlot()) {
      Go(14, 0);
      return;
    }
    m_slots.RequestFightSlot(Owner());
  }
  if (Inside(m_slots.distMin)) {
    Go(18, 0);
    return;
  }
  if (m_b.stateTime <= m_b.decisionPeriod) return;
  m_b.stateTime = 0.0f;
  const float r = Draw();
  if (m_b.waitSlot >= 0) {
    // Orbiting takes the fighter back round to its slot; one that has drifted
    // more than an eighth of a turn from it always goes back.
    const float a = AngleFrom(m_b.waitSlotPosition);
    if (r < m_b.waitCumOrbit || std::fabs(a) > kQuarterTurn) {
      DashRound(a, 0);
      return;
    }
  }
  if (r < m_b.waitCumGetBack) {
    Go(22, 0);
  } else if (r < m_b.waitCumApproach) {
    Go(23, 0);
  } else if (r < m_b.waitCumTaunt) {
    Go(21, 1);
  }
}

void CFight::RunToFight() {
  if (Entering()) Cycle(m_b.runAnimation);
  Walk(ToTarget() * m_b.moveSpeed);
  TurnToTarget(m_b.turnSpeedFight * m_dt);
  if (!HoldsFightSlot()) {
    Go(15, 0);
  } else if (!m_b.blockedByEnemy) {
    if (Inside(m_b.fightDistance)) Go(16, 0);
  } else {
    // Another fighter is in the way: wait, and leave the slot untried for a while.
    if (m_b.slotRecheckDelay == 0.0f) {
      m_b.slotRecheckTimer = 0.0f;
      m_b.slotRecheckDelay = 3.0f;
    }
    Go(13, 0);
  }
}

void CFight::BackOff() {
  if (Entering()) Cycle(SH_walk_01);
  Walk(ToTarget() * -m_b.walkSpeed);
  TurnToTarget(m_b.turnSpeedFight * m_dt);
  if (Outside(m_slots.distWaitMin)) Go(13, 0);
}

void CFight::Decide() {
  if (Entering()) {
    Cycle(SH_idle_combat_01);
    m_b.decisionPeriod = Draw() * 0.7f + 0.3f;
  }
  if (!HoldsFightSlot()) {
    Go(15, 0);
    return;
  }
  m_b.fightSlotPosition = m_slots.GetFightSlotPosition(m_b.fightSlot);
  if (Outside(m_b.maxAttackRange)) {
    Go(14, 0);
    return;
  }
  if (Inside(m_slots.distMin)) {
    if (m_slots.AddAttacker(&m_b))
      Go(17, 0);
    else
      Go(18, 1);
    return;
  }
  if (m_b.stateTime <= m_b.decisionPeriod) return;
  m_b.stateTime = 0.0f;
  const float r = Draw();
  const float a = AngleFrom(m_b.fightSlotPosition);
  // A refused attack falls to the orbit: the sums only grow.
  if (r < m_b.fightCumAttack && m_slots.AddAttacker(&m_b)) {
    Go(17, 0);
  } else if (r < m_b.fightCumOrbit || std::fabs(a) > kQuarterTurn) {
    DashRound(a, 1);
  } else if (r < m_b.fightCumGetBack) {
    Go(22, 1);
  } else if (r < m_b.fightCumApproach) {
    Go(23, 1);
  } else if (r < m_b.fightCumTaunt) {
    Go(21, 2);
  }
}

void CFight::Attack() {
  CAIManager* manager = m_b.Manager();
  if (Entering()) {
    Cycle(SH_idle_combat_01);
    const float dx = m_there.x - m_here.x, dz = m_there.z - m_here.z;
    const float h = std::sqrt(dx * dx + dz * dz);
    m_b.attackCandidates.clear();
    for (const CStringHash* name : m_b.attackNames) {
      const SAttackRecord* found =
          manager ? manager->GetData().FindAttack(m_b.kind, name->GetHash()) : nullptr;
      if (!found || found->rangeMin > h || h > found->rangeMax) continue;
      if (*name == SH_attack_vomit && (!manager || !manager->CanAddVomitAttacker())) continue;
      m_b.attackCandidates.push_back(name);
    }
    if (m_b.attackCandidates.empty()) {
      Go(23, 1);
      return;
    }
    const CStringHash& chosen =
        *m_b.attackCandidates[static_cast<size_t>(plat::Rand()) % m_b.attackCandidates.size()];
    m_b.currentAttack = chosen;
    const SAttackRecord* record = manager->GetData().FindAttack(m_b.kind, chosen.GetHash());
    Action(chosen);
    m_b.PlayAttackVoice(chosen);
    // The player's hit handling reads what the blow that reached it is worth here.
    const int bonus = static_cast<int>(obj::GetScriptFloat(Owner(), "damage_inc"));
    obj::SetScriptInt(Owner(), "damage", record->damage + bonus);
    m_b.weaponOnTime = m_b.stepDuration * record->weaponIn;
    m_b.weaponOffTime = record->weaponOut * m_b.stepDuration;
    if (chosen == SH_attack_vomit) {
      manager->AddVomitAttacker(&m_b);
      m_b.vomitEffect = nullptr;
      m_b.vomitDecalPlaced = 0;
    }
  }
  gfx::CTransform& t = *m_b.transform;
  t.SetYaw(t.yaw + utl::AngleDifference(t.yaw, std::atan2(m_there.x - m_here.x,
                                                          m_there.z - m_here.z)) *
                       m_b.turnSpeedFight * m_dt);
  if (m_b.currentAttack == SH_attack_vomit) {
    Vomit();
  } else if (CWeaponController* weapon = m_b.weapon) {
    const float time = m_b.stateTime;
    if (!weapon->IsActive(CWeaponController::kSetNormal) && m_b.weaponOnTime < time &&
        time < m_b.weaponOffTime)
      weapon->SetWeaponActive(true, CWeaponController::kSetNormal);
    if (weapon->IsActive(CWeaponController::kSetNormal) && time > m_b.weaponOffTime)
      weapon->SetWeaponActive(false, CWeaponController::kSetNormal);
  }
  if (m_b.stateTime > m_b.stepDuration) EndAttack();
}

void CFight::EndAttack() {
  Go(18, 1);
  // Off whatever the window said: an animation shorter than its window closes it.
  if (CWeaponController* weapon = m_b.weapon) {
    weapon->SetWeaponActive(false, CWeaponController::kSetNormal);
    weapon->Update(0.0f);
  }
  if (m_b.vomitEffect) {
    m_b.vomitEffect->SetActive(false);
    m_b.vomitEffect = nullptr;
  }
}

void CFight::Vomit() {
  const float time = m_b.stateTime;
  if (time <= m_b.weaponOnTime) return;
  if (time >= m_b.weaponOffTime) {
    // The spray thins out by the end of the animation.
    if (m_b.vomitEffect && m_b.vomitEffect->alpha > 0.0f) {
      const float left = m_b.stepDuration - m_b.weaponOffTime;
      m_b.vomitEffect->alpha =
          left > 0.0f ? std::max(0.0f, m_b.vomitEffect->alpha - m_dt / left) : 0.0f;
    }
    return;
  }
  if (!m_b.vomitEffect) {
    if (ptc::CParticleSysManager* particles = ptc::CParticleSysManager::GetInstance()) {
      if (ptc::IParticleSystem* spray = particles->GetFreeParticleSystem(kVomitParticles)) {
        spray->Restart(false);
        spray->SetActive(true);
        m_b.vomitEffect = spray;
      }
    }
  }
  const gfx::CTransform& t = *m_b.transform;
  if (m_b.vomitEffect) {
    if (gfx::CTransform* at = m_b.vomitEffect->GetTransform()) {
      plat::Vec3 head = m_here;
      if (m_b.animator) head = plat::TransformCoord(m_b.animator->GetBoneTranslation(kHeadBone), t.world);
      at->SetPosition(head);
      at->SetYaw(-t.yaw);
    }
  }
  CAIManager* manager = m_b.Manager();
  const SAttackRecord* record =
      manager ? manager->GetData().FindAttack(m_b.kind, SH_attack_vomit.GetHash()) : nullptr;
  if (record) {
    // The player judges whether the cone reaches it.
    evn::PostOrRelease(evn::CEventEnemyAttack::New(Owner(), record->damage, record->rangeMin,
                                                   record->rangeMax, record->angle,
                                                   SH_attack_vomit));
  }
  if (!m_b.vomitDecalPlaced) {
    m_b.vomitDecalPlaced = 1;
    const float r1 = Draw(), r2 = Draw(), r3 = Draw();
    const plat::Vec3 forward(t.world(2, 0), t.world(2, 1), t.world(2, 2));
    if (gfx::CDecalManager* decals = gfx::CDecalManager::GetInstance())
      decals->AddDecalAt(m_here + forward * 1.7f, BlendColour(kVomitColourA, kVomitColourB, r1),
                         0.8f + 0.2f * r2, m_b.zone, 8.0f + 2.0f * r3, 3.0f, 3.0f);
  }
}

void CFight::StepBack() {
  if (Entering()) {
    if (m_b.kind == kEnemyZombie)
      Action(SH_dash_back_01);
    else
      m_b.stepDuration = 0.0f;
    Cycle(SH_walk_01);
  }
  if (m_b.stateTime > m_b.stepDuration) Walk(ToTarget() * -m_b.walkSpeed);
  TurnToTarget(m_b.turnSpeedFight * m_dt);
  if (Outside(m_slots.distMin) || m_b.stateTime > 1.0f) Go(Back(m_b.current.subState));
}

void CFight::Dash() {
  if (Entering()) {
    Cycle(SH_idle_combat_01);
    // The dash carries the fighter by its animation's own motion.
    Action(m_b.current.state == 19 ? SH_dash_left_01 : SH_dash_right_01);
  }
  TurnToTarget(10.0f * m_dt);
  if (m_b.stateTime > m_b.stepDuration) Go(Back(m_b.current.subState));
}

void CFight::Taunt() {
  if (Entering()) {
    Cycle(SH_idle_combat_01);
    const SPlayListSlot& fight = m_b.fighterPlayLists[2];
    if (fight.playList && !fight.playList->entries.empty()) {
      const auto& entries = fight.playList->entries;
      const uint32_t index = m_b.fightPlayListIndex % static_cast<uint32_t>(entries.size());
      Action(entries[index].id);
      m_b.fightPlayListIndex = (index + 1) % static_cast<uint32_t>(entries.size());
    }
  }
  if (m_b.stateTime <= m_b.stepDuration) return;
  const int sub = m_b.current.subState;
  Go(sub == 0 ? 12 : sub == 1 ? 13 : 16, 0);
}

void CFight::Step(bool forwards) {
  if (Entering()) {
    if (forwards || m_b.kind != kEnemyZombie) {
      Cycle(SH_walk_01);
    } else {
      Action(SH_dash_back_01);
      Cycle(SH_idle_combat_01);
    }
    m_b.pushedDistance = 0.0f;
    m_b.pushDistance = 0.5f;
  }
  TurnToTarget(m_b.turnSpeedFight * m_dt);
  Walk(ToTarget() * (forwards ? m_b.walkSpeed : -m_b.walkSpeed));
  const bool fromWait = m_b.current.subState == 0;
  bool goOn;
  if (forwards)
    goOn = Outside(fromWait ? m_slots.distWaitMin : m_slots.distMin);
  else
    goOn = Inside(fromWait ? m_slots.distWaitMax : m_slots.distWaitMin);
  if (m_b.pushedDistance < m_b.pushDistance && !m_b.blockedByEnemy && goOn)
    m_b.pushedDistance += m_b.walkSpeed * m_dt;
  else
    Go(Back(m_b.current.subState));
}

void CFight::CoverDelay() {
  if (Entering()) m_b.stepDuration = Draw() * 0.5f;
  if (m_b.stateTime > m_b.stepDuration) Go(24, 0);
}

void CFight::TakeCover() {
  if (Entering()) {
    Cycle(SH_idle_combat_01);
    if (m_b.kind == kEnemyZombie) {
      static const CStringHash* const kCovers[3] = {&SH_cover_in_01, &SH_cover_in_02,
                                                    &SH_cover_in_03};
      Action(*kCovers[plat::Rand() % 3]);
    } else {
      Anim().ExecuteAction(SH_cover_in_01, 1.0f, 0.25f, 0.0f, true);
      m_b.stepDuration = Anim().GetDuration(SH_cover_in_01);
    }
  }
  TurnToTarget(m_b.turnSpeedFight * m_dt);
  if (m_b.stateTime > m_b.stepDuration) Go(27, 0);
}

void CFight::PushedInCover() {
  TurnToTarget(m_b.turnSpeedFight * m_dt);
  if (m_b.pushedDistance < m_b.pushDistance) {
    m_b.pushedDistance += m_b.pushSpeed * 0.5f * m_dt;
    if (m_b.characterCollider)
      m_b.characterCollider->AddDisplacement(m_b.pushDirection * (0.5f * m_b.pushSpeed * m_dt));
  }
  if (m_b.stateTime > m_b.stepDuration) Go(27, 0);
}

void CFight::LeaveCover() {
  if (Entering()) {
    Anim().ClearLockedActions();
    if (m_b.kind == kEnemyZombie) {
      m_b.stepDuration = 0.0f;
    } else {
      Cycle(SH_idle_combat_01);
      Anim().ExecuteAction(SH_cover_out_01, 1.0f, 0.0f, 0.25f, false);
      m_b.stepDuration = Anim().GetDuration(SH_cover_out_01);
    }
  }
  if (m_b.stateTime > m_b.stepDuration) Go(16, 0);
}

}  // namespace

void CBerserker::UpdateFightState(float dt) {
  if (!transform || !targetTransform || !targetSlots) {
    // Nothing to fight around: the fighter stands guard until it has a target that
    // rations its attackers.
    if (current != lastHandled) {
      Animation().BlendCycle(SH_idle_combat_01, 1.0f, 0.25f, 0.25f);
      if (target && !targetSlots)
        utl::LogPrintf("Enemy %s: its target %s has no fight slots; it stands\n", OwnerName(),
                       target->GetNameText());
    }
    return;
  }
  CFight(*this, dt).Run();
}

void CBerserker::LeaveFight() {
  obj::CGameObject* owner = GetOwner();
  if (targetSlots && CFightSlotMgr::IsLive(targetSlots)) targetSlots->LeaveFight(owner, this);
  waitSlot = -1;
  fightSlot = -1;
  if (CAIManager* manager = Manager()) {
    manager->RemoveVomitAttacker(this);
    if (fatalityOffered) EndFatalityOffer();
  }
  // Like the corpse's smoke, the spray belongs to another object that may be gone.
  if (StillListed(vomitEffect)) vomitEffect->SetActive(false);
  vomitEffect = nullptr;
}

}  // namespace vd
