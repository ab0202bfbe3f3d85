// The player's answers to the fight: enemy weapons and attacks, shock waves and
// explosions, the guard, the hit states, death and the corpse's report.
#include <cmath>
#include <cstdio>

#include "engine/animation/Animator.h"
#include "engine/core/EngineNames.h"
#include "engine/core/Log.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Transform.h"
#include "engine/render/RenderManager.h"
#include "game/player/ComboController.h"
#include "game/player/FightSlotMgr.h"
#include "game/player/FollowCamera.h"
#include "game/player/PlayerController.h"
#include "game/player/PlayerEffects.h"
#include "game/player/WeaponController.h"
#include "platform/crt/Crt.h"

namespace vd {

namespace {

const CStringHash kWeaponEnemy("weapon_enemy");
const CStringHash kWeaponKrauser("weapon_krauser");
const CStringHash kWeaponPlayer("weapon_player");
const CStringHash kClassWall("wall");
const CStringHash kCityEnvironment("collision_city_environment");
const CStringHash kAttackVomit("attack_vomit");
const CStringHash kAttackShockwave("shockwave");
const CStringHash kGroundBeam("krauser_attack_ground_beam");
const CStringHash kKrauser("krauser");
const CStringHash kPlayerSource("player");
const CStringHash kShockWaveTimer("shock_wave_timer");
const CStringHash kSoundMutant("sound_mutant");
const CStringHash kMainCamera("main_camera");
const CStringHash kCoverIn("cover_in_01");
const CStringHash kCoverHitAnim("cover_hit_01");
const CStringHash kCoverOutAnim("cover_out_01");
const CStringHash kAttackToIdle("attack_to_idle");

// The combo steps that the player's own timing protects.
constexpr int kComboX5 = 5;
constexpr int kComboY3 = 8;

plat::Vec3 PositionOf(const obj::CGameObject& object) {
  const gfx::CTransform* transform = object.GetComponent<gfx::CTransform>();
  return transform ? transform->position : plat::Vec3();
}

}  // namespace

// --- Events ------------------------------------------------------------------------------

void CPlayerController::HandleReactionEvent(evn::IEvent* event) {
  const CStringHash& type = event->GetType();
  if (type == SH_OnCollisionEnter) {
    auto* enter = static_cast<evn::CEventCollisionEnter*>(event);
    const evn::SCollisionSides& sides = enter->sides;
    if (state != kHit && (sides.otherClass == kWeaponEnemy || sides.otherClass == kWeaponKrauser))
      HitReaction(sides.otherObject, CStringHash());
    WallStrike(sides);
  } else if (type == SH_OnEnemyAttack) {
    OnEnemyAttack(*static_cast<evn::CEventEnemyAttack*>(event));
  } else if (type == SH_OnShockWave) {
    OnShockWave(*static_cast<evn::CEventShockWave*>(event));
  } else if (type == evn::CEventTimer::s_type) {
    auto* timer = static_cast<evn::CEventTimer*>(event);
    if (timer->name != kShockWaveTimer) return;
    obj::CGameObject* owner = GetOwner();
    obj::CGameObjectManager* manager = owner ? owner->GetManager() : nullptr;
    obj::CGameObject* source =
        manager ? manager->GetGameObjectById(static_cast<int>(timer->tag)) : nullptr;
    // The wave outlives its sender when the sender is released on the way.
    if (!source) {
      utl::LogPrintf("Player: the sender of a shock wave is gone; the wave is ignored\n");
      return;
    }
    HitReaction(source, kAttackShockwave);
  } else if (type == SH_OnEnableUse) {
    auto* use = static_cast<evn::CEventEnableUse*>(event);
    if (useActive) return;
    if (!use->usable) {
      // The offer is withdrawn: its button goes, and the use key no longer draws
      // the player to an object that is not there for him.
      if (usePromptShown) HideUsePrompt();
      useInRange = usePlaced = 0;
      useObject = CStringHash();
      return;
    }
    useInRange = 1;
    useObject.Set(use->objectName.GetText() ? use->objectName.GetText() : "");
    usePlaced = 0;
  } else if (type == SH_OnHUDChange) {
    auto* hud = static_cast<evn::CEventHUDChange*>(event);
    if (hud->life >= 0) life = hud->life;
    if (hud->gas >= 0.0f) gas = hud->gas;
    if (hud->grenades >= 0) grenades = hud->grenades;
  } else if (type == SH_OnCinematic) {
    if (!static_cast<evn::CEventCinematic*>(event)->playing && combo) combo->Restart();
  } else if (type == SH_OnExplosion) {
    OnExplosion(*static_cast<evn::CEventExplosion*>(event));
  }
}

void CPlayerController::WallStrike(const evn::SCollisionSides& sides) {
  if (sides.ownClass != kWeaponPlayer || sides.otherClass != kClassWall ||
      sides.otherName != kCityEnvironment || !combo)
    return;
  obj::CGameObject* camera = obj::FindGameObjectByName(kMainCamera);
  const CCameraGOWController* follow =
      camera ? camera->GetComponent<CCameraGOWController>() : nullptr;
  if (follow && (follow->positionShake || follow->targetShake)) return;
  evn::CEventShake* shake = evn::CEventShake::New();
  if (!shake) return;
  shake->power = combo->GetShakePower();
  shake->timer = combo->GetShakeTimer();
  evn::PostOrRelease(shake);
}

void CPlayerController::OnEnemyAttack(const evn::CEventEnemyAttack& attack) {
  if (!attack.attacker) {
    utl::LogPrintf("Player: an \"OnEnemyAttack\" (%s) without an attacker is ignored\n",
                   attack.type.GetText() ? attack.type.GetText() : "");
    return;
  }
  if (attack.type != kAttackVomit) {
    lastEnemyAttack = attack.type;
    return;
  }
  // The vomit has no weapon volume: its cone decides. The attack records give their
  // angles in degrees, like every angle the level's data holds.
  if (!transform) return;
  const gfx::CTransform* from = attack.attacker->GetComponent<gfx::CTransform>();
  if (!from) return;
  const plat::Vec3 toPlayer = transform->position - from->position;
  const plat::Vec3 forward(from->world(2, 0), from->world(2, 1), from->world(2, 2));
  if (plat::LengthSq(toPlayer) < attack.rangeMax * attack.rangeMax &&
      plat::Dot(forward, toPlayer) > std::cos(attack.angle * (plat::kPi / 180.0f)))
    HitReaction(attack.attacker, kAttackVomit);
}

void CPlayerController::OnShockWave(const evn::CEventShockWave& wave) {
  if (!wave.attackerObject) {
    utl::LogPrintf("Player: an \"OnShockWave\" without an attacker is ignored\n");
    return;
  }
  if (!transform) return;
  shockWaveSource = wave.attackerObject->GetId();
  const float d = plat::Length(wave.pos - transform->position);
  if (wave.attacker != kKrauser || !(d < wave.range)) return;
  float f = d / (wave.range * 0.5f);
  if (f < 0.0f) f = 0.0f;
  if (f > 1.0f) f = 1.0f;
  pendingDamage = static_cast<int>((1.0f - f) * static_cast<float>(wave.damage));
  shockWaveOrigin = wave.pos;
  evn::CEventManager* events = evn::CEventManager::GetInstance();
  if (!events) return;
  // A wave that does not travel arrives at once rather than never.
  const float delay = wave.speed > 0.0f ? d / wave.speed : 0.0f;
  events->AddTimerEvent(kShockWaveTimer, delay, GetOwner(), "",
                        static_cast<uintptr_t>(shockWaveSource));
}

void CPlayerController::OnExplosion(const evn::CEventExplosion& explosion) {
  if (explosion.source == kPlayerSource) return;
  if ((combo && combo->windowOpen) || fatalityPlaced || !transform) return;
  switch (state) {
    case kComboAuto1:
    case kComboAuto2:
    case kSpecialAttack1:
    case kSpecialAttack2:
    case kIdleCinematic:
    case kHit:
    case kExplosionHit:
    case kDying:
    case kCorpse:
      return;
    default:
      break;
  }
  if (plat::LengthSq(transform->position - explosion.pos) >= explosion.range * explosion.range)
    return;
  DropFatality();
  // A use cut short must not leave the player deaf to the next object's offer.
  if (state == kUse) useActive = usePlaced = 0;
  previousState = state;
  state = kExplosionHit;
  TurnTowards(explosion.pos);
  StopFootsteps();
  if (effects) effects->Restart();
  WeaponsOff();
  QueueWeaponRenderers(false);
  if (effects) effects->SplashBlood(plat::Normalize(transform->position - explosion.pos));
  pendingDamage = explosion.damage;
  const int r = plat::Rand() % 4;
  if (firstExplosionHit || r == 0) {
    firstExplosionHit = 0;
    if (evn::CEventManager* events = evn::CEventManager::GetInstance())
      events->AddTimerEvent(kSoundMutant, 1.5f, nullptr, "mutant_eso_ha_tenido_que_doler", 0);
  }
}

// --- The hit reaction --------------------------------------------------------------------

bool CPlayerController::ComboProtects(const obj::CGameObject& attacker) const {
  if (!combo) return false;
  if (combo->state == kComboX5) return true;
  const int difficulty = GetDifficulty();
  if (combo->state == kComboY3 || (difficulty != obj::kDifficultyHard && combo->windowOpen))
    return difficulty == obj::kDifficultyEasy || attacker.GetName() != kKrauser;
  return false;
}

void CPlayerController::HitReaction(obj::CGameObject* attacker, const CStringHash& attackType) {
  if (!attacker) return;
  const plat::Vec3 from = PositionOf(*attacker);
  const bool gasOpen = state == kSpecialAttack1 && stateTimer < gasIn * stateDuration;
  const bool throwOpen = state == kSpecialAttack2 && stateTimer < grenadesIn * stateDuration;
  bool bleeds = false;
  if (state == kCover || state == kCoverHit) {
    // The guard takes the blow: no damage, only the shake.
    previousState = state;
    state = kCoverHit;
    coverHitAgain = 1;
    if (animator) {
      animator->RemoveLockedAction(kCoverIn, 0.05f, false);
      animator->RemoveLockedAction(kCoverHitAnim, 0.05f, false);
      animator->ExecuteAction(kCoverHitAnim, 1.0f, 0.0f, 0.1f, true);
    }
    stateDuration = Duration("cover_hit_01");
    if (transform && plat::Length(from - transform->position) < autoAimMaxDist) TurnTowards(from);
    PostShake(*attacker);
  } else if (state == kCombo) {
    if (!ComboProtects(*attacker)) {
      if (combo) combo->EndCombo();
      if (animator) {
        animator->RemoveAction(kAttackToIdle, 0.0f);
        animator->RemoveLockedAction(kCoverIn, 0.05f, false);
        animator->RemoveLockedAction(kCoverHitAnim, 0.05f, false);
        animator->RemoveAction(kCoverOutAnim, 0.0f);
      }
      previousState = state;
      state = kHit;
      WeaponsOff();
      if (effects) effects->Restart();
      QueueWeaponRenderers(false);
      PostShake(*attacker);
      bleeds = true;
    }
  } else if (gasOpen || throwOpen) {
    previousState = state;
    state = kHit;
    if (animator) animator->ClearActions();
    if (throwOpen && effects) effects->CancelGrenadeThrow();
    TurnTowards(from);
    PostShake(*attacker);
    bleeds = true;
  } else if (state == kIdleCinematic || state == kEvade || state == kComboAuto1 ||
             state == kComboAuto2 || state == kUse || state == kDying || state == kCorpse ||
             state == kSpecialAttack1 || state == kSpecialAttack2 ||
             (state == kFatality && fatalityPlaced)) {
    // Protected.
  } else {
    DropFatality();
    const int before = state;
    previousState = state;
    if (attackType == kAttackShockwave) {
      state = kExplosionHit;
      TurnTowards(shockWaveOrigin);
    } else if (lastEnemyAttack.Get() == kGroundBeam) {
      state = kExplosionHit;
      lastEnemyAttack = CStringHash();
      TurnTowards(from);
    } else {
      state = kHit;
      TurnTowards(from);
    }
    // A blow that lands while the last one still plays hurts as much: the hit
    // state is entered again rather than kept.
    if (state == before) previousState = 0;
    HoldFightSlots();
    sinceHit = 0.0f;
    StopFootsteps();
    WeaponsOff();
    if (effects) effects->Restart();
    QueueWeaponRenderers(false);
    PostShake(*attacker);
    bleeds = true;
  }
  if (bleeds && effects) {
    if (attackType != kAttackVomit) effects->StartBlood();
    if (transform) effects->SplashBlood(plat::Normalize(transform->position - from));
  }

  // A shock wave hurts by its falloff, worked out when it reached the player;
  // every other blow by the attacker's own damage.
  if (attackType != kAttackShockwave)
    pendingDamage = static_cast<int>(obj::GetScriptFloat(attacker, "damage"));
  evn::CEventHit* hit = evn::CEventHit::New();
  if (!hit) return;
  obj::CGameObject* owner = GetOwner();
  hit->receiver.Copy(owner ? owner->GetNameText() : "");
  hit->attacker.Copy(attacker->GetNameText());
  evn::PostOrRelease(hit);
}

void CPlayerController::PostShake(const obj::CGameObject& attacker) {
  evn::CEventShake* shake = evn::CEventShake::New();
  if (!shake) return;
  shake->power = obj::GetScriptFloat(&attacker, "shake_power");
  shake->timer = obj::GetScriptFloat(&attacker, "shake_timer");
  evn::PostOrRelease(shake);
}

void CPlayerController::DropFatality() {
  if (state != kFatality || !target) return;
  // Whatever the victim was, the enemies may attack again.
  if (fightSlots) fightSlots->hold = 0;
  target = nullptr;
  fatalityPlaced = fatalityStarted = targetLocked = 0;
}

void CPlayerController::HoldFightSlots() {
  if (!fightSlots) return;
  fightSlots->hold = 1;
  fightSlots->waiting.clear();
}

void CPlayerController::WeaponsOff() {
  if (!weapon) return;
  weapon->SetWeaponActive(false, CWeaponController::kSetNormal);
  weapon->SetWeaponActive(false, CWeaponController::kSetBig);
}

void CPlayerController::TurnTowards(const plat::Vec3& point) {
  if (transform) transform->TurnTowards(point, fasterRotSpeed, false);
}

void CPlayerController::SetScreenEffect(bool on) {
  gfx::CRenderManager* render = gfx::CRenderManager::GetInstance();
  if (render) render->SetOldMovieLines(on);
}

// --- Hit states and death ----------------------------------------------------------------

void CPlayerController::UpdateHit() {
  const bool blast = state == kExplosionHit;
  if (Entering()) {
    if (blast && animator) animator->ClearActions();
    life -= pendingDamage;
    if (life < 0) life = 0;
    if (evn::CEventHUDChange* hud = evn::CEventHUDChange::New()) {
      hud->life = life;
      hud->unhide = true;
      evn::PostOrRelease(hud);
    }
    BlendCycle("idle_combat_01");
    if (life < 1) {
      const char* death = blast ? "death_wave_01" : "death_01";
      state = kDying;
      if (animator) animator->ExecuteAction(CStringHash(death), 1.0f, 0.1f, 0.25f, true);
      stateDuration = Duration(death);
      PlaySound(blast ? "brannoc_death_explosion" : "brannoc_death", false);
      PlaySound(blast ? "effect_death_explosion" : "effect_death_hit", false);
      stateTimer = 0.0f;
    } else {
      const char* animation = blast ? "wave_hit_01" : "simple_hit_01";
      if (animator) animator->ExecuteAction(CStringHash(animation), 1.0f, 0.1f, 0.25f, false);
      stateDuration = Duration(animation);
      stateTimer = 0.0f;
      char voice[32];
      if (blast) {
        std::snprintf(voice, sizeof(voice), "brannoc_hit_explosion_0%d",
                      plat::Rand() % 2 == 0 ? 1 : 2);
      } else {
        const int n = plat::Rand() % 11 + 1;
        std::snprintf(voice, sizeof(voice), n < 10 ? "brannoc_hit_0%d" : "brannoc_hit_%d", n);
      }
      PlaySound(voice, false);
    }
    if (blast) {
      SetScreenEffect(true);
      flashActive = 1;
      flashTimer = 0.0f;
      PlaySound("grenade_hit_ome", false);
    }
  }
  if (state == kDying) return;
  stateTimer += frameTime;
  if (stateTimer >= stateDuration) {
    if (combo) combo->EndCombo();
    stateTimer = 0.0f;
    state = life > 0 ? kIdleCombat : kDying;
  }
}

void CPlayerController::UpdateCorpse() {
  if (Entering()) stateTimer = 0.0f;
  stateTimer += frameTime;
  // Repeated each death-animation length until the game answers it.
  if (stateTimer < stateDuration) return;
  stateTimer = 0.0f;
  evn::CEventDeath* death = evn::CEventDeath::New();
  if (!death) return;
  obj::CGameObject* owner = GetOwner();
  death->type.Copy("player");
  death->name.Copy(owner ? owner->GetNameText() : "");
  death->group = 0;
  evn::PostOrRelease(death);
}

}  // namespace vd
