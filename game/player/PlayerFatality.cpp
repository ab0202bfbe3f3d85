// The two states in which the player is paired with another object: the
// finishing move on a weakened enemy, drawn in front of the player, and the use of
// a scripted object, to whose stand point the player is drawn; and the use prompt.
#include <cmath>

#include "engine/animation/Animator.h"
#include "engine/core/Log.h"
#include "engine/core/Utils.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/input/InputManager.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Transform.h"
#include "game/player/EnemyList.h"
#include "game/player/FightSlotMgr.h"
#include "game/player/PlayerController.h"
#include "platform/crt/Crt.h"
#include "platform/math/Math.h"

namespace vd {

namespace {

const CStringHash kKrauser("krauser");
const CStringHash kZombie("zombie");
const CStringHash kMutant("mutant");
const CStringHash kBerserker("CBerserker");
const CStringHash kKrauserComponent("CKrauser");

// The use prompt shows inside the narrow cone and goes only outside the wide one.
constexpr float kPromptShowAngle = 0.87266463f;  // 50 degrees
constexpr float kPromptHideAngle = 1.2217306f;   // 70 degrees
// Squared horizontal distances under which a drawn object is in place.
constexpr float kVictimPlaced = 2.5e-05f;
constexpr float kUserPlaced = 0.0001f;
// Each frame a drawn object covers this share of the remaining way.
constexpr float kDrawShare = 0.65f;

CPlayerController::UsePromptHook g_usePromptHook = nullptr;

float HorizontalDistanceSq(const plat::Vec3& a, const plat::Vec3& b) {
  const float dx = a.x - b.x;
  const float dz = a.z - b.z;
  return dx * dx + dz * dz;
}

float YawFacing(const plat::Vec3& from, const plat::Vec3& to) {
  return std::atan2(to.x - from.x, to.z - from.z);
}

// Moves a drawn object its share of the way to `point`.
void DrawTowards(gfx::CTransform& transform, const plat::Vec3& point) {
  transform.position = point * kDrawShare + transform.position * (1.0f - kDrawShare);
  transform.UpdateMatrix();
  transform.changed = 1;
}

void PlaceAt(gfx::CTransform& transform, const plat::Vec3& point) {
  transform.position = point;
  transform.UpdateMatrix();
  transform.changed = 1;
}

plat::Vec3 ScriptPoint(const obj::CGameObject* object, const char* x, const char* y,
                       const char* z) {
  return plat::Vec3(obj::GetScriptFloat(object, x), obj::GetScriptFloat(object, y),
                    obj::GetScriptFloat(object, z));
}

plat::Vec3 ToWorld(const obj::CGameObject* object, const plat::Vec3& local) {
  const gfx::CTransform* transform = object ? object->GetComponent<gfx::CTransform>() : nullptr;
  return transform ? plat::TransformCoord(local, transform->world) : local;
}

// The victim's fighter component by the class its kind carries ("CKrauser" on the
// boss, "CBerserker" on the others); null for an object without it.
IFatalityVictim* VictimOf(obj::CGameObject* object, const CStringHash& type) {
  return dynamic_cast<IFatalityVictim*>(object->GetComponent(type));
}

}  // namespace

void CPlayerController::SetUsePromptHook(UsePromptHook hook) { g_usePromptHook = hook; }

// --- Fatality ----------------------------------------------------------------------------

void CPlayerController::UpdateFatality() {
  if (Entering()) {
    AutoAim(fatalityMaxDist, true);
    stateTimer = 0.0f;
    BlendCycle("idle_combat_01");
  }
  if (!target) {
    state = kIdleCombat;
    return;
  }
  if (!fatalityStarted) {
    const CStringHash* templateName = target->GetTemplateName();
    const bool boss = templateName && *templateName == kKrauser;
    IFatalityVictim* victim = VictimOf(target, boss ? kKrauserComponent : kBerserker);
    if (!victim || !victim->IsReadyForFatality()) {
      state = kIdleCombat;
      return;
    }
    victim->RequestState(3, 0);
    int record = -1;  // another kind of enemy replays the previous finishing move
    if (boss) {
      record = 3;
    } else if (templateName && *templateName == kZombie) {
      record = 2;
    } else if (templateName && *templateName == kMutant) {
      record = plat::Rand() % 2 == 0 ? 0 : 1;
    } else if (currentFatality.animation.IsNoName()) {
      // Another kind has no move to replay before the first one: it takes the zombie's.
      record = 2;
    }
    if (record >= 0) {
      const SFatalityRecord& chosen = fatalities[record];
      currentFatality.animation = chosen.animation.Get();
      currentFatality.targetType = chosen.targetType.Get();
      currentFatality.playerPosition = chosen.playerPosition;
      currentFatality.killFrame = chosen.killFrame;
    }
    currentFatality.victim.Set(target->GetNameText());
    currentFatality.duration =
        animator ? animator->GetAnimationDuration(currentFatality.animation) : 0.0f;
    fatalityPoint = transform
                        ? plat::TransformCoord(currentFatality.playerPosition, transform->world)
                        : currentFatality.playerPosition;
    fatalityStarted = 1;
    HoldFightSlots();
  }
  gfx::CTransform* victimTransform = target->GetComponent<gfx::CTransform>();
  if (!victimTransform || !transform) {
    utl::LogPrintf("Player: the finishing move's victim %s has no place; it is dropped\n",
                   target->GetNameText());
    EndFatality(kIdleCombat);
    return;
  }
  if (!fatalityPlaced) {
    DrawTowards(*victimTransform, fatalityPoint);
    victimTransform->SetYaw(YawFacing(victimTransform->position, transform->position));
    if (HorizontalDistanceSq(victimTransform->position, fatalityPoint) >= kVictimPlaced) {
      // The player may still escape while the victim slides into place.
      if (Pressed(CInputManager::Cover)) {
        EndFatality(kCover);
      } else if (AnyPressed(CInputManager::DirForward, CInputManager::DirLeft)) {
        EndFatality(kEvade);
      }
      return;
    }
    fatalityPlaced = 1;
    PlaceAt(*victimTransform, fatalityPoint);
    victimTransform->SetYaw(YawFacing(fatalityPoint, transform->position));
    if (animator) animator->ExecuteAction(currentFatality.animation, 1.0f, 0.25f, 0.25f, false);
    stateDuration = currentFatality.duration;
    evn::PostOrRelease(evn::CEventFatality::New(
        currentFatality.animation.Get(), currentFatality.victim.Get(), fatalityPoint,
        currentFatality.duration, currentFatality.killFrame));
    const CStringHash& name = currentFatality.animation.Get();
    if (name == fatalities[0].animation.Get() || name == fatalities[1].animation.Get()) {
      PlaySound("brannoc_evade_04", false);
    } else if (name == fatalities[2].animation.Get()) {
      PlaySound("brannoc_fatality_03", false);
      PlaySound("weapon_fatality_03", false);
    }
    return;
  }
  stateTimer += frameTime;
  if (stateTimer >= stateDuration) {
    currentSpeed = runSpeed;
    EndFatality(kIdleCombat);
  }
}

void CPlayerController::EndFatality(int newState) {
  state = newState;
  target = nullptr;
  fatalityPlaced = fatalityStarted = targetLocked = 0;
  if (fightSlots) fightSlots->hold = 0;
}

// --- Use of objects ----------------------------------------------------------------------

void CPlayerController::UpdateUsePrompt() {
  if (!useInRange || state == kUse || !transform) return;
  const obj::CGameObject* object = obj::FindGameObjectByName(useObject.Get());
  if (!object) return;
  useLookAtLocal = ScriptPoint(object, "player_lookat_position_x", "player_lookat_position_y",
                               "player_lookat_position_z");
  useLookAt = ToWorld(object, useLookAtLocal);
  const float a = utl::AngleDifference(transform->yaw, YawFacing(transform->position, useLookAt));
  if (std::fabs(a) < kPromptShowAngle) {
    CInputManager* input = CInputManager::GetInstance();
    const bool pad = input && input->IsPadConnected();
    if (g_usePromptHook) g_usePromptHook(pad ? "hud/Button_A.dds" : "hud/Keyboard_K.dds");
    usePromptShown = 1;
  } else if (std::fabs(a) > kPromptHideAngle && usePromptShown) {
    HideUsePrompt();
  }
}

void CPlayerController::HideUsePrompt() {
  if (g_usePromptHook) g_usePromptHook(nullptr);
  usePromptShown = 0;
}

void CPlayerController::UpdateUse() {
  const bool entering = Entering();
  if (entering && !usePromptShown) {
    state = kIdle;
    stateTimer = 0.0f;
    return;
  }
  obj::CGameObject* object = obj::FindGameObjectByName(useObject.Get());
  if (!object || !transform) {
    utl::LogPrintf("Player: the object to use, %s, is gone; the use ends\n",
                   useObject.Get().GetText() ? useObject.Get().GetText() : "");
    state = kIdle;
    stateTimer = 0.0f;
    HideUsePrompt();
    useInRange = useActive = 0;
    return;
  }
  if (entering) {
    // Lua's texts are copied: the script may drop them at any time.
    const char* objectAnimation = obj::GetScriptString(object, "object_animation");
    useObjectAnimation.Set(objectAnimation ? objectAnimation : "");
    const char* playerAnimation = obj::GetScriptString(object, "player_animation");
    usePlayerAnimation.Set(playerAnimation ? playerAnimation : "");
    useRelativePosition = ScriptPoint(object, "player_relative_position_x",
                                      "player_relative_position_y", "player_relative_position_z");
    useLookAtLocal = ScriptPoint(object, "player_lookat_position_x", "player_lookat_position_y",
                                 "player_lookat_position_z");
    useStandPoint = ToWorld(object, useRelativePosition);
    useLookAt = ToWorld(object, useLookAtLocal);
    HoldFightSlots();
    stateTimer = 0.0f;
    useActive = 1;
  }
  if (!usePlaced) {
    DrawTowards(*transform, useStandPoint);
    transform->SetYaw(YawFacing(transform->position, useLookAt));
    if (HorizontalDistanceSq(transform->position, useStandPoint) >= kUserPlaced) return;
    PlaceAt(*transform, useStandPoint);
    transform->SetYaw(YawFacing(transform->position, useLookAt));
    usePlaced = 1;
    BlendCycle("idle_combat_01");
    if (animator) animator->ExecuteAction(usePlayerAnimation, 1.0f, 0.25f, 0.25f, false);
    stateDuration = animator ? animator->GetAnimationDuration(usePlayerAnimation) : 0.0f;
    if (anm::CAnimator* objectAnimator = object->GetComponent<anm::CAnimator>())
      objectAnimator->ExecuteAction(useObjectAnimation, 1.0f, 0.25f, 0.25f, true);
    if (evn::CEventUse* use = evn::CEventUse::New()) {
      use->objectName.Copy(object->GetNameText());
      use->begin = true;
      evn::PostOrRelease(use);
    }
    return;
  }
  stateTimer += frameTime;
  if (stateTimer < stateDuration) return;
  state = kIdle;
  stateTimer = 0.0f;
  // The use is over, and its offer with it: the button goes too.
  HideUsePrompt();
  useInRange = useActive = 0;
  if (evn::CEventUse* use = evn::CEventUse::New()) {
    use->objectName.Copy(object->GetNameText());
    use->begin = false;
    evn::PostOrRelease(use);
  }
}

}  // namespace vd
