// The fighter's events and what it suffers: hits, waves, the fatality window,
// death and corpse.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/animation/Animator.h"
#include "engine/audio/AudioManager.h"
#include "engine/collision/CharacterCollider.h"
#include "engine/collision/CollisionManager.h"
#include "engine/core/EngineNames.h"
#include "engine/core/Utils.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/input/InputManager.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/Transform.h"
#include "engine/render/decals/DecalManager.h"
#include "engine/render/particles/ParticleSysManager.h"
#include "engine/render/particles/ParticleSystem.h"
#include "game/enemies/AIManager.h"
#include "game/enemies/Berserker.h"
#include "game/enemies/EnemyNames.h"
#include "game/player/ComboController.h"
#include "game/player/FightSlotMgr.h"
#include "game/player/PlayerController.h"
#include "game/player/WeaponController.h"
#include "platform/crt/Crt.h"
#include "platform/math/Math.h"

namespace vd {

namespace {

const CStringHash kPlayerSource("player");
const CStringHash kPufSmall("puf_small");
const CStringHash kSplash("splash");
const CStringHash kBlood("blood");
const CStringHash kBloodFatality("blood_fatality");
const CStringHash kIconPad("ps_fatality_inst");
const CStringHash kIconKeyboard("ps_fatality_keyboard_inst");
const CStringHash kIdleStunned("idle_stunned");
const CStringHash kFatality01("fatality_01");
const CStringHash kFatality02("fatality_02");
const CStringHash kComboAuto01("combo_auto_01");
const CStringHash kComboAuto02("combo_auto_02");
const CStringHash kHoldingAttack("HOLDING_ATTACK");
const CStringHash kX1("X1"), kX2("X2"), kX3("X3"), kX4("X4"), kY1("Y1"), kY2("Y2");

constexpr float kArmed = 0.5f;
constexpr float kHalfPi = 1.5707963705062866f;
constexpr float kSoundMin = 25.0f;
constexpr float kSoundMax = 100.0f;

constexpr SAIState kWindow{2, 0};
constexpr SAIState kWait{3, 0};
constexpr SAIState kHit{32, 0};
constexpr SAIState kHitInWindow{32, 1};
constexpr SAIState kWave{33, 0};
constexpr SAIState kFatalityState{34, 0};
constexpr SAIState kDeath{35, 0};
constexpr SAIState kCorpse{36, 0};
constexpr SAIState kWaitForSlot{13, 0};
constexpr SAIState kCoverIn{24, 0};
constexpr SAIState kCoverHold{25, 0};
constexpr SAIState kCoverDelay{26, 0};
constexpr SAIState kAttack{17, 0};

// Blows that break cover and throw the enemy down.
bool IsHeavy(const CStringHash& type) {
  return type == SH_X5 || type == SH_Y3 || type == SH_grenades || type == SH_grenades_mutant ||
         type == kComboAuto02;
}

bool SoundsWeaponHit(const CStringHash& type) {
  return type == kX1 || type == kX2 || type == kX3 || type == kX4 || type == kY1 || type == kY2 ||
         type == kHoldingAttack || type == kComboAuto01 || type == kComboAuto02;
}

float Random01() { return static_cast<float>(plat::Rand() / 32767.0); }

float Lerp(float a, float b, float r) { return (1.0f - r) * a + r * b; }

uint32_t BloodColour() {
  const float r = Random01();
  const uint32_t red = static_cast<uint32_t>(Lerp(210.0f, 180.0f, r));
  return 0xFF000000u | (red << 16);
}

// The forward axis: the third row of the world matrix.
plat::Vec3 Forward(const gfx::CTransform& transform) {
  return plat::Vec3(transform.world(2, 0), transform.world(2, 1), transform.world(2, 2));
}

void Place(ptc::IParticleSystem* system, const plat::Vec3& at) {
  if (gfx::CTransform* placement = system->GetTransform()) {
    placement->SetPosition(at);
    placement->UpdateMatrix();
  }
}

ptc::IParticleSystem* FreeSystem(const CStringHash& kind) {
  ptc::CParticleSysManager* particles = ptc::CParticleSysManager::GetInstance();
  return particles ? particles->GetFreeParticleSystem(kind) : nullptr;
}

// A numbered sound name: "_0n" below 10, "_n" from 10 on.
std::string Numbered(const char* stem, int n) {
  char name[512];
  std::snprintf(name, sizeof name, n < 10 ? "%s_0%d" : "%s_%d", stem, n);
  return name;
}

}  // namespace

// --- Events -------------------------------------------------------------------------------

void CBerserker::HandleEvent(evn::IEvent* event) {
  if (!event) return;
  const CStringHash& type = event->GetType();
  if (type == SH_OnCollisionEnter) {
    HandleContact(event, true);
  } else if (type == SH_OnCollisionStay) {
    HandleContact(event, false);
  } else if (type == SH_OnPlayerAttack) {
    const auto* attack = static_cast<evn::CEventPlayerAttack*>(event);
    if (!attack->begin) return;
    hitTimer = kArmed;
    waveHitTimer = kArmed;
    lastHitType = attack->type;
    lastHitDamage = attack->damage;
    const bool canReact = current == SAIState{16, 0} || current == SAIState{13, 0} ||
                          current == SAIState{14, 0} || current == SAIState{15, 0} ||
                          current == SAIState{22, 0} || current == SAIState{23, 0} ||
                          current == SAIState{18, 0};
    // Wrapped: yaws of 3.0 and -3.0 face almost the same way.
    if (canReact && transform && targetTransform &&
        std::fabs(utl::AngleDifference(targetTransform->yaw, transform->yaw)) > kHalfPi &&
        Random01() < coverProb)
      RequestState(kCoverDelay.state, kCoverDelay.subState);
  } else if (type == SH_OnShockWave) {
    HandleShockWave(event);
  } else if (type == evn::CEventTimer::s_type) {
    const auto* timer = static_cast<evn::CEventTimer*>(event);
    if (timer->name == SH_shock_wave_timer) {
      if (attacker && waveHitTimer > kArmed) TakeHit(player, waveHitTimer);
    } else if (timer->name == kPufSmall) {
      if (ptc::IParticleSystem* puff = FreeSystem(kPufSmall)) {
        if (transform) Place(puff, transform->position);
        puff->Restart(false);
      }
    }
  } else if (type == SH_OnSequence) {
    CPatrol::HandleEvent(event);
  } else if (type == SH_OnFatality) {
    const auto* fatality = static_cast<evn::CEventFatality*>(event);
    if (!GetOwner() || fatality->fatalityTargetName != GetOwner()->GetName()) return;
    fatalityName = fatality->fatalityName;
    fatalityKillTime = fatality->killFrame * fatality->duration;
    fatalityLength = fatality->duration;
    RequestState(kFatalityState.state, kFatalityState.subState);
  } else if (type == SH_OnExplosion) {
    HandleExplosion(event);
  } else if (type == SH_OnAction) {
    HandleWaterJump(event);
  }
}

void CBerserker::HandleContact(evn::IEvent* event, bool enter) {
  const evn::SCollisionSides& sides =
      enter ? static_cast<evn::CEventCollisionEnter*>(event)->sides
            : static_cast<evn::CEventCollisionStay*>(event)->sides;
  if (enter) {
    if (sides.otherClass == SH_weapon_player && attacker && hitTimer > kArmed)
      TakeHit(sides.otherObject ? sides.otherObject : player, hitTimer);
    return;
  }
  const auto* stay = static_cast<evn::CEventCollisionStay*>(event);
  if (current == kWindow || locked || !collisionsEnabled || sides.ownClass != SH_enemy ||
      !characterCollider)
    return;
  const plat::Vec3& n = stay->normal;
  if (sides.otherClass == kPlayerSource) {
    if (current == kAttack || current == SAIState{34, 0} || current == kDeath || current == kCorpse)
      return;
    // The contact normal turned by 45 degrees: the enemy slides past the player.
    const plat::Vec3 slide = plat::Normalize(plat::Vec3(n.x - n.z, n.y, n.x + n.z));
    characterCollider->AddDisplacement(slide * stay->depth * 0.2f);
  } else if (sides.otherClass == SH_enemy) {
    if (current == SAIState{34, 0} || current == kWait || !sides.otherObject || !transform) return;
    const CBerserker* other = sides.otherObject->GetComponent<CBerserker>();
    const gfx::CTransform* otherTransform =
        other ? sides.otherObject->GetComponent<gfx::CTransform>() : nullptr;
    if (!otherTransform) return;
    // Which of the two stands more in front of the other, wherever the pair stands.
    const plat::Vec3 between = otherTransform->position - transform->position;
    if (plat::Dot(between, Forward(*transform)) > plat::Dot(-between, Forward(*otherTransform))) {
      characterCollider->AddDisplacement(plat::Normalize(plat::Vec3(n.x, 0.0f, n.z)) *
                                         stay->depth * 0.2f);
      blockedByEnemy = 1;
      moveSpeed = 2.0f;
    }
  }
}

void CBerserker::HandleShockWave(evn::IEvent* event) {
  const auto* wave = static_cast<evn::CEventShockWave*>(event);
  if (!transform || wave->attacker != kPlayerSource) return;
  const float dist = plat::Length(transform->position - wave->pos);
  if (!(dist < wave->range)) return;
  const float f = std::clamp(dist / (wave->range * 0.7f), 0.0f, 1.0f);
  lastHitDamage = static_cast<int32_t>((1.0f - f) * static_cast<float>(wave->damage));
  const float delay = lastHitType.Get() == SH_X5 && wave->speed > 0.0f ? dist / wave->speed : 0.0f;
  if (evn::CEventManager* events = evn::CEventManager::GetInstance())
    if (GetOwner()) events->AddTimerEvent(SH_shock_wave_timer, delay, GetOwner(), "", 0);
  if (dist / wave->range < 0.5f) areaHit = 1;
}

void CBerserker::HandleExplosion(evn::IEvent* event) {
  const auto* explosion = static_cast<evn::CEventExplosion*>(event);
  if (!transform) return;
  if (!(plat::LengthSq(transform->position - explosion->pos) <
        explosion->range * explosion->range))
    return;
  lastHitType = explosion->source == kPlayerSource ? SH_grenades : SH_grenades_mutant;
  lastHitDamage = explosion->damage;
  areaHit = 1;
  if (blastHitTimer > kArmed) TakeHit(player, blastHitTimer);
}

void CBerserker::HandleWaterJump(evn::IEvent* event) {
  const auto* action = static_cast<evn::CEventAction*>(event);
  if (!action->begin || !GetOwner() || !transform) return;
  const char* objectName = action->gameObject.Get();
  const char* actionName = action->name.Get();
  if (!objectName || !actionName || CStringHash(objectName) != GetOwner()->GetName()) return;
  const CStringHash name(actionName);
  if (name != SH_water_jump_01 && name != SH_water_jump_02 && name != SH_water_jump_03 &&
      name != SH_water_jump_boss)
    return;
  const plat::Vec3 at = transform->position - plat::Vec3(0.0f, 1.0f, 0.0f) * 0.5f;
  ptc::IParticleSystem* splash = FreeSystem(kSplash);
  if (splash) {
    Place(splash, at);
    splash->Restart(false);
  }
  const CAIManager* manager = Manager();
  if (manager && kind >= 0 && kind < kEnemyKindCount && GetOwner()) {
    const auto& times = manager->GetData().animationTimes[kind];
    const auto found = times.find(name.GetHash());
    if (found != times.end() && !found->second.empty())
      if (evn::CEventManager* events = evn::CEventManager::GetInstance())
        events->AddTimerEvent(kPufSmall, found->second[0], GetOwner(), "", 0);
  }
  if (!splash) return;
  if (sfx::CAudioManager* audio = sfx::CAudioManager::GetInstance()) {
    const sfx::ChannelHandle channel = audio->PlaySoundAt(
        plat::Rand() % 2 == 0 ? "mutant_out_water_01" : "mutant_out_water_02", at,
        plat::Vec3(0.0f, 0.0f, 0.0f));
    audio->SetSound3DParams(channel, kSoundMin, kSoundMax);
  }
}

// --- Taking a hit --------------------------------------------------------------------------

void CBerserker::TakeHit(obj::CGameObject* striker, float& strikerTimer) {
  strikerTimer = 0.0f;
  const SAIState atEntry = current;
  obj::CGameObject* owner = GetOwner();
  if (current == kCoverIn) {
    stepDuration -= stateTime;
    current = kCoverHold;
  } else {
    const bool immune =
        locked || !target || current == kDeath || current == kCorpse || current == kWave ||
        (current == kHit && actionAnimation.Get() == SH_hit_fall_stand_01) ||
        (current == kCoverHold && !IsHeavy(lastHitType));
    if (!immune) {
      int remaining = static_cast<int>(obj::GetScriptFloat(owner, "life"));
      const bool stunnedHit = current == kWindow || current == kHitInWindow;
      if (!stunnedHit) {
        remaining -= lastHitDamage;
        obj::SetScriptInt(owner, "life", remaining);
      }
      if (remaining <= 0 && !stunnedHit) {
        RequestState(kDeath.state, kDeath.subState);
      } else {
        lastHandled = SAIState{};
        const SAIState reaction = stunnedHit ? kHitInWindow : areaHit ? kWave : kHit;
        RequestState(reaction.state, reaction.subState);
        if (lastHitType.Get() != SH_grenades_mutant && !stunnedHit) OfferFatality(remaining);
      }
      bloodEffect = nullptr;
      if (weapon) weapon->SetWeaponActive(false, CWeaponController::kSetNormal);
      if (lastHitType.Get() != SH_grenades_mutant && current != kWindow) PostScore();
    }
  }

  // Immune or not, the blow pushes, sounds, shakes and may bleed.
  const gfx::CTransform* from = striker ? striker->GetComponent<gfx::CTransform>() : nullptr;
  if (from && transform) {
    lastAttackerPosition = from->position;
    plat::Vec3 away = transform->position - from->position;
    away.y = 0.0f;
    pushDirection = plat::LengthSq(away) > 0.0f ? plat::Normalize(away) : plat::Vec3();
  }
  const float k = std::clamp(static_cast<float>(lastHitDamage) * 0.25f, 0.0f, 1.0f);
  pushedDistance = 0.0f;
  pushDistance = k * 2.0f + 0.5f;
  pushSpeed = 10.0f;
  const char* sound = atEntry == kCoverIn        ? "weapon_hit_cover_01"
                      : SoundsWeaponHit(lastHitType) ? "weapon_hit_01"
                                                     : nullptr;
  if (sound)
    if (sfx::CAudioManager* audio = sfx::CAudioManager::GetInstance()) audio->PlaySound(sound, false);
  PostShake();
  if (bloodDecalTimer > 1.0f) {
    bloodDecalTimer = 0.0f;
    PlaceHitBlood();
  }
}

void CBerserker::OfferFatality(int remaining) {
  CAIManager* manager = Manager();
  if (!fatalityOffered) {
    if (!(static_cast<float>(life) * fatalityLifeFactor > static_cast<float>(remaining)) ||
        remaining <= 0 || fatalityProbability <= 0.0f)
      return;
    const float r = Random01();
    if (!(fatalityProbability >= r ||
          (manager && manager->GetTimeSinceFatalityWindow() > fatalityForcePeriod)))
      return;
    // One enemy at a time offers itself.
    if (!manager || manager->fatalityCandidate) return;
    manager->fatalityCandidate = this;
    fatalityOffered = 1;
  }
  fatalityOfferTimer = 0.0f;
  ptc::CParticleSysManager* particles = ptc::CParticleSysManager::GetInstance();
  CInputManager* input = CInputManager::GetInstance();
  const bool pad = input && input->IsPadConnected();
  if (FatalityIconAlive()) fatalityIcon->SetActive(false);
  fatalityIcon = particles ? particles->FindSystem(pad ? kIconPad : kIconKeyboard) : nullptr;
  if (fatalityIcon) {
    PlaceIcon();
    fatalityIcon->Restart(false);
  }
  cycleName = SH_idle_01;
  RequestState(kWindow.state, kWindow.subState);
}

void CBerserker::PostScore() {
  evn::CEventHUDChange* change = evn::CEventHUDChange::New();
  if (!change) return;
  change->score = static_cast<int>(obj::GetScriptFloat(GetOwner(), "score")) * lastHitDamage;
  change->unhide = true;
  evn::PostOrRelease(change);
}

void CBerserker::PostShake() {
  const CComboController* combo = player ? player->GetComponent<CComboController>() : nullptr;
  if (!combo) return;
  const int step = combo->state;
  // X5 and Y3 shake the camera themselves, as does holding.
  if (step == 0 || step == 5 || step == 8 || step == 11 || step == 12) return;
  evn::CEventShake* shake = evn::CEventShake::New();
  if (!shake) return;
  shake->power = combo->GetShakePower();
  shake->timer = combo->GetShakeTimer();
  evn::PostOrRelease(shake);
}

void CBerserker::PlaceHitBlood() {
  gfx::CDecalManager* decals = gfx::CDecalManager::GetInstance();
  if (!decals || !transform) return;
  const uint32_t colour = BloodColour();
  const float size = Lerp(1.0f, 1.5f, Random01());
  const float bloodLife = Lerp(15.0f, 20.0f, Random01());
  const plat::Vec3& at = transform->position;
  decals->AddDecalAt(at + pushDirection * 2.5f, colour, size, zone, bloodLife, 2.5f, 5.0f);
  phy::CCollisionManager* collision = phy::CCollisionManager::GetInstance();
  plat::Vec3 wall;
  if (collision && collision->RayTest(at, at + pushDirection * 3.0f, wall))
    decals->AddDecalAt(wall, colour, Lerp(1.5f, 2.0f, Random01()), zone, bloodLife, 2.5f, 5.0f);
}

// --- Shared steps of the reactions ------------------------------------------------------------

void CBerserker::PushBack() {
  if (pushedDistance >= pushDistance) return;
  pushedDistance += frameTime * pushSpeed;
  if (characterCollider) characterCollider->AddDisplacement(pushDirection * pushSpeed * frameTime);
}

plat::Vec3 CBerserker::SpinePosition() const {
  if (!transform) return plat::Vec3();
  if (!animator) return transform->position;
  const plat::Vec3 bone =
      animator->GetBoneTranslation(kind == kEnemyMutant ? "Bip02 Spine2" : "Bip01 Spine2");
  return plat::TransformCoord(bone, transform->world);
}

void CBerserker::FollowBlood() {
  if (!bloodEffect) {
    bloodEffect = FreeSystem(kBlood);
    if (bloodEffect) bloodEffect->Restart(true);
  }
  if (bloodEffect) Place(bloodEffect, SpinePosition());
}

void CBerserker::PlaceIcon() {
  if (fatalityIcon && transform)
    Place(fatalityIcon, transform->position + plat::Vec3(0.0f, fatalityIconHeight, 0.0f));
}

void CBerserker::PlayReactionSound(const char* name, bool keep) {
  sfx::CAudioManager* audio = sfx::CAudioManager::GetInstance();
  if (!audio || !transform) return;
  const sfx::ChannelHandle channel =
      audio->PlaySoundAt(name, transform->position, Forward(*transform));
  audio->SetSound3DParams(channel, kSoundMin, kSoundMax);
  if (keep) waveSound = channel;
}

void CBerserker::StopWaveSound() {
  if (!waveSound) return;
  if (sfx::CAudioManager* audio = sfx::CAudioManager::GetInstance()) audio->StopSound(waveSound);
  waveSound = 0;
}

// --- States -------------------------------------------------------------------------------------

void CBerserker::UpdateReactionState(float /*dt*/) {
  switch (current.state) {
    case 2:
      UpdateFatalityWindow();
      break;
    case 3:
      UpdateFatalityWait();
      break;
    case 32:
      UpdateHitReaction();
      break;
    case 33:
      UpdateWave();
      break;
    case 34:
      UpdateFatality();
      break;
    case 35:
      UpdateDeathState();
      break;
    case 36:
      UpdateCorpseState();
      break;
    default:
      break;
  }
}

void CBerserker::UpdateHitReaction() {
  if (Entering()) {
    const bool heavy = IsHeavy(lastHitType);
    if (heavy) {
      actionAnimation = SH_hit_fall_stand_01;
    } else if (kind == kEnemyMutant) {
      static const CStringHash* const kHits[] = {&SH_hit_01, &SH_hit_02, &SH_hit_03};
      actionAnimation = *kHits[plat::Rand() % 3];
    } else {
      actionAnimation = plat::Rand() % 2 == 0 ? SH_hit_01 : SH_hit_02;
    }
    if (kind == kEnemyMutant)
      PlayReactionSound(heavy ? Numbered("mutant_hit_fallstandup", plat::Rand() % 2 + 1).c_str()
                              : Numbered("mutant_hit", plat::Rand() % 11 + 1).c_str(),
                        false);
    else
      PlayReactionSound(heavy ? "zombie_fallstand_01"
                              : Numbered("zombie_hit", plat::Rand() % 3 + 1).c_str(),
                        false);
    Animation().ExecuteAction(actionAnimation, 1.0f, 0.25f, 0.25f, false);
    stepDuration = Duration(actionAnimation);
    Animation().BlendCycle(SH_idle_combat_01, 1.0f, 0.25f, 0.25f);
    if (transform) {
      transform->TurnTowards(lastAttackerPosition, 0.8f, false);
      transform->UpdateMatrix();
    }
  }
  PushBack();
  PlaceIcon();
  FollowBlood();
  if (stateTime > stepDuration) {
    actionAnimation = CStringHash();
    current = current.subState == 1 ? kWindow : kWaitForSlot;
  }
}

void CBerserker::UpdateWave() {
  if (Entering()) {
    locked = 1;
    waveDown = waveWake = waveDecalPlaced = 0;
    Animation().ExecuteAction(SH_wave_death, 1.0f, 0.25f, 0.0f, true);
    stepDuration = Duration(SH_wave_death);
    Animation().BlendCycle(SH_idle_combat_01, 1.0f, 0.25f, 0.25f);
    if (transform) {
      transform->TurnTowards(lastAttackerPosition, 0.8f, false);
      transform->UpdateMatrix();
    }
    PlayReactionSound(kind == kEnemyMutant ? "mutant_hit_wave_01" : "zombie_wave_death_01", false);
  }
  PushBack();
  FollowBlood();
  // Blood on the wall behind, once a wave, when the blow did not send the enemy
  // running; a frame without time says nothing of its speed and waits for the next.
  if (areaHit && !waveDecalPlaced && transform && frameTime > 0.0f) {
    waveDecalPlaced = 1;
    const plat::Vec3 moved = transform->position - position;
    if (plat::LengthSq(moved / frameTime) < 1.0f) {
      phy::CCollisionManager* collision = phy::CCollisionManager::GetInstance();
      gfx::CDecalManager* decals = gfx::CDecalManager::GetInstance();
      plat::Vec3 wall;
      if (collision && decals &&
          collision->RayTest(transform->position, transform->position + pushDirection * 3.0f,
                             wall)) {
        const uint32_t colour = BloodColour();
        const float size = Lerp(1.5f, 2.0f, Random01());
        const float bloodLife = Lerp(15.0f, 20.0f, Random01());
        decals->AddDecalAt(wall + plat::Vec3(0.0f, 0.2f, 0.0f), colour, size, zone, bloodLife,
                           2.5f, 5.0f);
        decals->AddDecalAt(wall + plat::Vec3(0.0f, 1.5f, 0.0f), colour, size, zone, bloodLife,
                           2.5f, 5.0f);
      }
    }
  }
  if (!(stateTime > stepDuration)) return;
  if (!waveDown) {
    stateTime = 0.0f;
    stepDuration = static_cast<float>(plat::Rand() * 2.0 / 32767.0);
    waveDown = 1;
  } else if (!waveWake) {
    stateTime = 0.0f;
    waveWake = 1;
    Animation().ClearLockedActions();
    Animation().ExecuteAction(SH_wave_wake, 1.0f, 0.0f, 0.25f, false);
    stepDuration = Duration(SH_wave_wake);
    if (kind == kEnemyZombie) PlayReactionSound("zombie_wave_wake_01", true);
    locked = 0;
  } else {
    areaHit = 0;
    current = kWaitForSlot;
  }
}

void CBerserker::UpdateFatalityWindow() {
  if (Entering()) {
    Animation().BlendCycle(kIdleStunned, 1.0f, 0.25f, 0.25f);
    if (kind == kEnemyZombie) PlayReactionSound("zombie_stunned_loop_01", true);
  }
  PlaceIcon();
  if (stateTime > fatalityDuration) {
    EndFatalityOffer();
    if (kind == kEnemyZombie) StopWaveSound();
    current = kWaitForSlot;
  }
}

void CBerserker::UpdateFatalityWait() {
  if (Entering()) {
    fatalityTimer = 0.0f;
    Animation().BlendCycle(SH_idle_01, 1.0f, 0.25f, 0.25f);
    Animation().ClearActions();
  }
  if (!(stateTime > fatalityDuration)) return;
  // A finishing move the player escaped or dropped lets its victim go.
  const CPlayerController* controller =
      player ? player->GetComponent<CPlayerController>() : nullptr;
  if (controller && controller->state == CPlayerController::kFatality) return;
  EndFatalityOffer();
  StopWaveSound();
  current = kWaitForSlot;
}

void CBerserker::UpdateFatality() {
  if (Entering()) {
    Animation().BlendCycle(SH_idle_01, 1.0f, 0.25f, 0.25f);
    Animation().ClearActions();
    Animation().ExecuteAction(fatalityName, 1.0f, 0.0f, 0.0f, true);
    stepDuration = Duration(fatalityName);
    bloodEffect = nullptr;
    EndFatalityOffer();
    if (kind == kEnemyZombie) {
      StopWaveSound();
      PlayReactionSound("zombie_fatality_01", false);
    } else if (fatalityName.Get() == kFatality01) {
      StopWaveSound();
      PlayReactionSound("mutant_fatality_01", false);
    } else if (fatalityName.Get() == kFatality02) {
      StopWaveSound();
      PlayReactionSound("mutant_fatality_02", false);
      PlayReactionSound("mutant_fatality_saw_02", false);
    }
  }
  if (fatalityTimer > fatalityKillTime && fatalityTimer < fatalityLength - 0.5f) {
    bloodEffect = FreeSystem(kBloodFatality);
    if (bloodEffect) {
      bloodEffectTimer = 0.0f;
      Place(bloodEffect, SpinePosition() + plat::Vec3(0.0f, 0.2f, 0.0f));
      bloodEffect->Restart(true);
    }
  }
  if (bloodEffectTimer > 0.03f) {
    bloodEffectTimer = 0.0f;
    bloodEffect = nullptr;
  }
  if (stateTime > stepDuration) current = kCorpse;
}

void CBerserker::UpdateDeathState() {
  if (Entering()) {
    Animation().BlendCycle(SH_idle_01, 1.0f, 0.25f, 0.25f);
    if (IsHeavy(lastHitType)) {
      actionAnimation = SH_wave_death;
    } else if (kind == kEnemyMutant) {
      actionAnimation = plat::Rand() % 2 == 1 ? SH_death_01 : SH_death_02;
      StopWaveSound();
      PlayReactionSound(Numbered("mutant_death", plat::Rand() % 2 + 1).c_str(), false);
    } else {
      const int variant = plat::Rand() % 3;
      actionAnimation = variant == 0   ? SH_death_01
                        : variant == 1 ? SH_death_explosion_01
                                       : SH_death_explosion_02;
      StopWaveSound();
      PlayReactionSound(variant == 0   ? Numbered("zombie_death", plat::Rand() % 2 + 1).c_str()
                        : variant == 1 ? "zombie_death_explosion_01"
                                       : "zombie_death_explosion_02",
                        false);
    }
    Animation().ExecuteAction(actionAnimation, 1.0f, 0.0f, 0.0f, true);
    stepDuration = Duration(actionAnimation);
    if (fatalityOffered) EndFatalityOffer();
  }
  FollowBlood();
  if (stateTime > stepDuration) current = kCorpse;
}

void CBerserker::UpdateCorpseState() {
  if (Entering()) {
    // The body no longer carries the blood that followed it.
    bloodEffect = nullptr;
    StopWaveSound();
    if (gfx::CDecalManager* decals = gfx::CDecalManager::GetInstance(); decals && transform) {
      const uint32_t colour = BloodColour();
      const float size = Lerp(1.0f, 1.5f, Random01());
      const float bloodLife = Lerp(15.0f, 20.0f, Random01());
      decals->AddDecalAt(transform->position, colour, size, zone, bloodLife, 2.5f, 5.0f);
    }
  }
  if (targetSlots && GetOwner()) targetSlots->ReleaseSlots(GetOwner());
  UpdateCorpseFade();
}

bool CBerserker::FatalityIconAlive() const {
  if (!fatalityIcon) return false;
  const ptc::CParticleSysManager* particles = ptc::CParticleSysManager::GetInstance();
  return particles && (particles->FindSystem(kIconPad) == fatalityIcon ||
                       particles->FindSystem(kIconKeyboard) == fatalityIcon);
}

}  // namespace vd
