// The boss's fight: running at his target, the stance and its decisions, the
// attacks with their impacts, taunts, the approach walk, cover, the tired falls,
// the hit reaction, the fatality, the fall to death and the corpse.
#include <cmath>
#include <cstdio>

#include "engine/audio/AudioManager.h"
#include "engine/collision/CharacterCollider.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/input/InputManager.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/Transform.h"
#include "engine/render/decals/DecalManager.h"
#include "engine/render/particles/ParticleSysManager.h"
#include "engine/render/particles/ParticleSystem.h"
#include "game/enemies/AIManager.h"
#include "game/enemies/EnemyNames.h"
#include "game/enemies/Krauser.h"
#include "game/enemies/KrauserEffects.h"
#include "game/player/FightSlotMgr.h"
#include "game/player/PlayerController.h"
#include "game/player/WeaponController.h"
#include "platform/crt/Crt.h"

namespace vd {

namespace {

const CStringHash kFatalityIconPad("ps_fatality_inst");
const CStringHash kFatalityIconKeyboard("ps_fatality_keyboard_inst");
const CStringHash kBloodFatality("blood_fatality");

// A limited turn stops after this much of the remaining angle has been taken.
constexpr float kTurnLimit = 0.7853982f;

float Random01() {
  return static_cast<float>(plat::Rand()) / static_cast<float>(plat::RAND_MAX_MS);
}

sfx::CAudioManager* Audio() { return sfx::CAudioManager::GetInstance(); }

}  // namespace

bool CKrauser::RunFightState(int state) {
  switch (state) {
    case 3: UpdateHeld(); return true;
    case 12: UpdateRun(); return true;
    case 16: UpdateStance(); return true;
    case 17: UpdateAttack(); return true;
    case 21: UpdateTaunt(); return true;
    case 23: UpdateApproach(); return true;
    case 24: UpdateCoverIn(); return true;
    case 25: UpdateCoverHit(); return true;
    case 26: UpdateCoverDelay(); return true;
    case 27: UpdateCoverOut(); return true;
    case 28: UpdateTiredFall(); return true;
    case 29: UpdateLying(); return true;
    case 30: UpdateLyingHit(); return true;
    case 31: UpdateGetUp(); return true;
    case 32: UpdateBossHit(); return true;
    case 34: UpdateFatality(); return true;
    case 35: UpdateFallDeath(); return true;
    case 36: UpdateBossCorpse(); return true;
    default: return false;
  }
}

// --- Helpers -------------------------------------------------------------------------------

void CKrauser::IdleBlend() { Animation().BlendCycle(SH_idle_01, 1.0f, 0.25f, 0.25f); }

float CKrauser::DistanceSqToTarget() const {
  if (!transform || !targetTransform) return kLargest;
  return plat::LengthSq(targetTransform->position - transform->position);
}

float CKrauser::DistMin() const { return targetSlots ? targetSlots->distMin : 0.0f; }

void CKrauser::TurnTowardTarget(float fraction) {
  if (!transform || !targetTransform) return;
  transform->TurnTowards(targetTransform->position, fraction, false);
}

void CKrauser::LimitedTurn() {
  if (turnDone >= kTurnLimit) return;
  const float f = turnSpeedFight * frameTime;
  turnDone += f;
  TurnTowardTarget(f);
}

uint32_t CKrauser::Voice(const char* name) {
  sfx::CAudioManager* audio = Audio();
  if (!audio || !transform) return 0;
  const plat::Vec3 forward(transform->world.m[2][0], transform->world.m[2][1],
                           transform->world.m[2][2]);
  const sfx::ChannelHandle channel = audio->PlaySoundAt(name, transform->position, forward);
  audio->SetSound3DParams(channel, 25.0f, 100.0f);
  voiceChannel = channel;
  voiceLength = audio->GetSoundDuration(channel);
  voiceTimer = 0.0f;
  return channel;
}

void CKrauser::AttackVoice(const CStringHash& attack) {
  if (voiceTimer < voiceLength) return;
  if (attack == SH_krauser_attack_combo_01) {
    const int n = 1 + plat::Rand() % 2;
    char name[512];
    std::snprintf(name, sizeof name, n < 10 ? "krauser_attack_combo_0%d" : "krauser_attack_combo_%d",
                  n);
    Voice(name);
  } else if (attack == SH_krauser_attack_kick || attack == SH_krauser_attack_up_01 ||
             attack == SH_krauser_attack_up_down) {
    Voice("krauser_kick");
  } else if (attack == SH_krauser_attack_punch || attack == SH_krauser_attack_hand) {
    Voice("krauser_punch");
  } else if (attack == SH_krauser_attack_ground_kick) {
    Voice("krauser_attack_beam_wave");
  }
}

// --- States --------------------------------------------------------------------------------

void CKrauser::UpdateHeld() {
  if (!Entering()) return;
  fatalityClock = 0.0f;
  IdleBlend();
}

void CKrauser::UpdateRun() {
  if (Entering()) {
    tauntTimer = 0.0f;
    Animation().BlendCycle(SH_run_01, 1.0f, 0.25f, 0.25f);
  }
  TurnTowardTarget(turnSpeedMove * frameTime);
  if (characterCollider && transform) {
    const plat::Vec3 forward(transform->world.m[2][0], transform->world.m[2][1],
                             transform->world.m[2][2]);
    characterCollider->SetWalkDirection(forward * runSpeed);
  }
  const float d2 = DistanceSqToTarget();
  if (d2 < attackRangeMax * attackRangeMax) {
    current = SAIState{17, 0};
  } else if (specialTimer > specialAttackPeriod) {
    // No taunt while a special attack is due.
    const float reach = specialAttack ? Attack(*specialAttack).rangeMax : 0.0f;
    if (d2 < reach * reach) current = SAIState{17, 0};
  } else if (tauntTimer > tauntPeriod) {
    current = SAIState{21, 0};
  }
}

void CKrauser::UpdateStance() {
  if (Entering()) {
    IdleBlend();
    decisionPeriod = decisionPeriodMin + Random01() * (decisionPeriodMax - decisionPeriodMin);
  }
  const CPlayerController* controller =
      player ? player->GetComponent<CPlayerController>() : nullptr;
  if (controller && controller->life == 0) current = SAIState{1, 0};
  const float d2 = DistanceSqToTarget();
  if (d2 >= attackRangeMax * attackRangeMax) {
    current = SAIState{12, 0};
    return;
  }
  TurnTowardTarget(turnSpeedFight * frameTime);
  if (stateTime <= decisionPeriod) return;
  stateTime = 0.0f;
  const float r = Random01();
  const float distMin = DistMin();
  if (r < attackThreshold)
    current = SAIState{17, 0};
  else if (r < approachThreshold && d2 >= distMin * distMin)
    current = SAIState{23, 0};
  else if (r < tauntThreshold)
    current = SAIState{21, 1};
}

void CKrauser::UpdateAttack() {
  if (Entering()) {
    IdleBlend();
    float dist = 0.0f;
    if (transform && targetTransform) {
      const float dx = targetTransform->position.x - transform->position.x;
      const float dz = targetTransform->position.z - transform->position.z;
      dist = std::sqrt(dx * dx + dz * dz);
    }
    currentAttack = CStringHash();
    candidates.clear();
    for (const CStringHash* name : attackNames) {
      const SAttackRecord& record = Attack(*name);
      if (record.rangeMin <= dist && dist <= record.rangeMax) candidates.push_back(name);
    }
    bool chosen = false;
    if (specialAttack && specialTimer >= specialAttackPeriod) {
      const SAttackRecord& special = Attack(*specialAttack);
      if ((special.rangeMin <= dist && dist <= special.rangeMax) || candidates.empty()) {
        specialTimer = 0.0f;
        currentAttack = *specialAttack;
        chosen = true;
      }
    }
    if (!chosen) {
      if (candidates.empty()) {
        current = SAIState{23, 0};
        return;
      }
      currentAttack = *candidates[static_cast<size_t>(plat::Rand()) % candidates.size()];
    }
    Animation().ExecuteAction(currentAttack, 1.0f, 0.25f, 0.25f, false);
    stepDuration = Duration(currentAttack);
    AttackVoice(currentAttack);
    const SAttackRecord& record = Attack(currentAttack);
    obj::CGameObject* owner = GetOwner();
    obj::SetScriptInt(owner, "damage",
                      static_cast<int>(obj::GetScriptFloat(owner, "damage_inc")) + record.damage);
    weaponOnTime = stepDuration * record.weaponIn;
    weaponOffTime = record.weaponOut * stepDuration;
    turnDone = 0.0f;
    impactDone = 0;
    evn::PostOrRelease(evn::CEventEnemyAttack::New(owner, record.damage, record.rangeMin,
                                                   record.rangeMax, record.angle, currentAttack));
    QueueTrail(true);
    if (effects) {
      if (currentAttack == SH_krauser_attack_ground_beam) {
        effects->StartLineRocks();
      } else if (currentAttack == SH_krauser_attack_beam_wave) {
        effects->StartRadialRocks();
        effects->StartBeamWave();
      } else if (currentAttack == SH_krauser_attack_ground_kick) {
        effects->StartGroundKick();
      }
    }
  }
  LimitedTurn();
  const SAttackRecord& record = Attack(currentAttack);
  const int side = record.bigWeapon ? CWeaponController::kSetBig : CWeaponController::kSetNormal;
  if (weapon) {
    if (!weapon->IsActive(side)) {
      if (weaponOnTime < stateTime && stateTime < weaponOffTime) weapon->SetWeaponActive(true, side);
    } else if (stateTime > weaponOffTime) {
      weapon->SetWeaponActive(false, side);
    }
  }
  if (!impactDone && stateTime > stepDuration * record.hitTime) {
    impactDone = 1;
    Impact(record);
  }
  if (stateTime > stepDuration) {
    current = SAIState{16, 0};
    QueueTrail(false);
    if (weapon) weapon->SetWeaponActive(false, side);
  }
}

void CKrauser::Impact(const SAttackRecord& record) {
  obj::CGameObject* owner = GetOwner();
  const plat::Vec3 at = transform ? transform->position : plat::Vec3();
  auto wave = [&]() {
    evn::PostOrRelease(evn::CEventShockWave::New(owner, SH_krauser, at, record.speed,
                                                 record.rangeMax, record.damage));
  };
  sfx::CAudioManager* audio = Audio();
  if (currentAttack == SH_krauser_attack_ground_kick) {
    wave();
    if (audio) audio->PlaySound("brannoc_X5_boom", false);
  } else if (currentAttack == SH_krauser_attack_ground_beam) {
    if (effects) effects->PlaceLineRocks();
    if (audio) audio->PlaySound("brannoc_Y3_boom", false);
  } else if (currentAttack == SH_krauser_attack_beam_wave) {
    if (effects) effects->PlaceRadialRocks();
    wave();
    if (audio) audio->PlaySound("brannoc_Y3_boom", false);
  }
  PostShake(record.shakePower, record.shakeTime);
}

void CKrauser::UpdateTaunt() {
  if (Entering()) {
    IdleBlend();
    const CStringHash& action = tauntVariant == 0 ? SH_stand_random_01 : SH_provocation_01;
    if (tauntVariant != 0) Voice("krauser_no_sabes_hacerlo_mejor");
    Animation().ExecuteAction(action, 1.0f, 0.25f, 0.25f, false);
    stepDuration = Duration(action);
    tauntVariant = (tauntVariant + 1) % 2;
  }
  if (stateTime > stepDuration) current = current.subState == 0 ? SAIState{12, 0} : SAIState{16, 0};
}

void CKrauser::UpdateApproach() {
  if (Entering()) {
    stepDuration = Duration(SH_run_01);
    Animation().BlendCycle(SH_run_01, 1.0f, 0.25f, 0.25f);
    pushedDistance = 0.0f;
    pushDistance = 0.5f;
  }
  plat::Vec3 toward;
  if (transform && targetTransform) {
    toward = targetTransform->position - transform->position;
    toward.y = 0.0f;
    if (plat::LengthSq(toward) > 0.0f) toward = plat::Normalize(toward);
  }
  TurnTowardTarget(turnSpeedFight * frameTime);
  if (characterCollider) characterCollider->SetWalkDirection(toward * walkSpeed);
  const float distMin = DistMin();
  if (pushedDistance < pushDistance && DistanceSqToTarget() >= distMin * distMin)
    pushedDistance += frameTime * walkSpeed;
  else
    current = SAIState{16, 0};
}

void CKrauser::UpdateCoverDelay() {
  if (Entering()) stepDuration = Random01() * 0.5f;
  if (stateTime > stepDuration) current = SAIState{24, 0};
}

void CKrauser::UpdateCoverIn() {
  if (Entering()) {
    IdleBlend();
    Animation().ExecuteAction(SH_cover_in_01, 1.0f, 0.25f, 0.0f, true);
    stepDuration = Duration(SH_cover_in_01);
    turnDone = 0.0f;
  }
  LimitedTurn();
  if (stateTime > stepDuration) current = SAIState{27, 0};
}

void CKrauser::UpdateCoverHit() {
  if (Entering()) {
    Animation().ExecuteAction(SH_cover_hit_01, 1.0f, 0.0f, 0.25f, false);
    stepDuration = Duration(SH_cover_hit_01);
    turnDone = 0.0f;
  }
  LimitedTurn();
  if (stateTime > stepDuration) current = SAIState{27, 0};
}

void CKrauser::UpdateCoverOut() {
  if (Entering()) {
    Animation().ClearLockedActions();
    IdleBlend();
    Animation().ExecuteAction(SH_cover_out_01, 1.0f, 0.0f, 0.25f, false);
    stepDuration = Duration(SH_cover_out_01);
  }
  if (stateTime > stepDuration)
    current = Random01() < attackThreshold ? SAIState{17, 0} : SAIState{16, 0};
}

void CKrauser::UpdateTiredFall() {
  if (Entering()) {
    IdleBlend();
    Animation().ExecuteAction(SH_fall, 1.0f, 0.25f, 0.0f, false);
    stepDuration = Duration(SH_fall);
    if (phase == 1)
      specialAttack = &SH_krauser_attack_ground_beam;
    else if (phase == 2)
      specialAttack = &SH_krauser_attack_beam_wave;
    if (static_cast<int>(obj::GetScriptFloat(GetOwner(), "life")) == 0 && !fatalityOffered) {
      fatalityOffered = 1;
      plat::Vec3 at = transform ? transform->position : plat::Vec3();
      const float yaw = transform ? transform->yaw : 0.0f;
      at = at + plat::Vec3(std::sin(yaw), 0.0f, std::cos(yaw)) * 2.5f + plat::Vec3(0.0f, 2.5f, 0.0f);
      CInputManager* input = CInputManager::GetInstance();
      const bool pad = input && input->IsPadConnected();
      ptc::CParticleSysManager* particles = ptc::CParticleSysManager::GetInstance();
      fatalityIcon =
          particles ? particles->FindSystem(pad ? kFatalityIconPad : kFatalityIconKeyboard) : nullptr;
      if (fatalityIcon) {
        if (gfx::CTransform* t = fatalityIcon->GetTransform()) {
          t->position = at;
          t->UpdateMatrix();
        }
        fatalityIcon->Restart(false);
      }
    }
  }
  if (effects) effects->PlaceBlood();
  if (stateTime > stepDuration * 0.5f) Animation().BlendCycle(SH_fall_idle, 1.0f, 0.25f, 0.25f);
  if (stateTime > stepDuration) {
    tiredVoiceChannel = Voice("krauser_tired");
    current = SAIState{29, 0};
  }
}

void CKrauser::UpdateLying() {
  if (tiredTimer <= tiredPeriod) return;
  current = SAIState{31, 0};
  fatalityOffered = 0;
  if (fatalityIcon) fatalityIcon->SetActive(false);
  fatalityIcon = nullptr;
}

void CKrauser::UpdateLyingHit() {
  if (Entering()) {
    Animation().ExecuteAction(SH_fall_hit, 1.0f, 0.25f, 0.0f, false);
    stepDuration = Duration(SH_fall_hit);
    if (effects) effects->ShowBlood();
  }
  if (stateTime > stepDuration) current = SAIState{29, 0};
}

void CKrauser::UpdateGetUp() {
  if (Entering()) {
    Animation().ExecuteAction(SH_fall_wake, 1.0f, 0.25f, 0.0f, false);
    stepDuration = Duration(SH_fall_wake);
  }
  if (stateTime > stepDuration * 0.5f) {
    IdleBlend();
    current = SAIState{12, 0};
  }
}

void CKrauser::UpdateBossHit() {
  if (Entering()) {
    if (weapon) {
      weapon->SetWeaponActive(false, CWeaponController::kSetNormal);
      weapon->SetWeaponActive(false, CWeaponController::kSetBig);
    }
    if (static_cast<int>(obj::GetScriptFloat(GetOwner(), "life")) < 1) {
      current = SAIState{35, 0};
      return;
    }
    const CStringHash* hits[3] = {&SH_hit_01, &SH_hit_02, &SH_hit_03};
    const CStringHash& action = *hits[plat::Rand() % 3];
    Animation().ExecuteAction(action, 1.0f, 0.25f, 0.25f, false);
    stepDuration = Duration(action);
    if (transform && lastAttacker) transform->TurnTowards(lastAttacker->position, 0.8f, false);
    if (effects) effects->ShowBlood();
  }
  if (pushedDistance < pushDistance) {
    pushedDistance += frameTime * pushSpeed;
    if (characterCollider) characterCollider->AddDisplacement(pushDirection * (pushSpeed * frameTime));
  }
  if (effects) effects->PlaceBlood();
  if (stateTime > stepDuration) {
    current = Random01() < attackThreshold ? SAIState{17, 0} : SAIState{16, 0};
    if (effects) effects->ForgetBlood();
  }
}

void CKrauser::UpdateFatality() {
  if (Entering()) {
    IdleBlend();
    Animation().ClearActions();
    Animation().ExecuteAction(fatalityName, 1.0f, 0.0f, 0.0f, true);
    stepDuration = Duration(fatalityName);
    if (fatalityIcon) fatalityIcon->SetActive(false);
    fatalityIcon = nullptr;
    if (sfx::CAudioManager* audio = Audio()) voiceChannel = audio->PlaySound("krauser_fatality", false);
  }
  if (fatalityKillTime < fatalityClock && fatalityClock < fatalityLength - 0.5f) {
    ptc::CParticleSysManager* particles = ptc::CParticleSysManager::GetInstance();
    if (ptc::IParticleSystem* blood =
            particles ? particles->GetFreeParticleSystem(kBloodFatality) : nullptr) {
      if (gfx::CTransform* t = blood->GetTransform(); t && transform) {
        const plat::Vec3 forward(transform->world.m[2][0], transform->world.m[2][1],
                                 transform->world.m[2][2]);
        t->position = transform->position + forward + plat::Vec3(0.0f, 1.5f, 0.0f);
        t->UpdateMatrix();
      }
      blood->Restart(true);
    }
    if (sfx::CAudioManager* audio = Audio()) audio->StopSound(tiredVoiceChannel);
  }
  if (stateTime > stepDuration) {
    if (CAIManager* manager = Manager()) manager->StartFatalityCoolDown();
    fatalityOffered = 0;
    current = SAIState{36, 0};
  }
}

void CKrauser::UpdateFallDeath() {
  if (Entering()) {
    IdleBlend();
    if (sfx::CAudioManager* audio = Audio()) voiceChannel = audio->PlaySound("zombie_die", false);
    Animation().ExecuteAction(SH_fall_death, 1.0f, 0.0f, 0.0f, true);
    stepDuration = Duration(SH_fall_death);
  }
  if (stateTime > stepDuration) current = SAIState{36, 0};
}

void CKrauser::UpdateBossCorpse() {
  if (Entering() && transform) {
    const float r1 = Random01();
    const uint32_t red = static_cast<uint32_t>((1.0f - r1) * 210.0f + r1 * 180.0f);
    const float r2 = Random01();
    const float r3 = Random01();
    if (gfx::CDecalManager* decals = gfx::CDecalManager::GetInstance())
      decals->AddDecalAt(transform->position, 0xFF000000u | (red << 16),
                         (1.0f - r2) * 1.0f + r2 * 1.5f, zone, (1.0f - r3) * 15.0f + r3 * 20.0f,
                         0.4f, 5.0f);
  }
  if (targetSlots) targetSlots->ReleaseSlots(GetOwner());
  // The level ends on this death: it is told once, with or without a target.
  if (deathPosted) return;
  deathPosted = 1;
  if (evn::CEventDeath* death = evn::CEventDeath::New()) {
    death->type.Copy("enemy");
    death->name.Copy("krauser");
    death->group = group;
    evn::PostOrRelease(death);
  }
}

}  // namespace vd
