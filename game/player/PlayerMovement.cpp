// The player's states that stand, move and guard.
#include <cmath>
#include <cstdio>

#include "engine/animation/Animator.h"
#include "engine/collision/CharacterCollider.h"
#include "engine/core/Log.h"
#include "engine/core/Utils.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/input/InputManager.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Tracker.h"
#include "engine/objects/Transform.h"
#include "game/player/PlayerController.h"
#include "platform/crt/Crt.h"

namespace vd {

namespace {

using In = CInputManager;

constexpr float kQuarterPi = 0.7853982f;
constexpr float kThreeQuarterPi = 2.3561945f;

const char* const kRandomIdles[3] = {"random_01", "random_02", "random_03"};

plat::Vec3 ForwardOf(const gfx::CTransform& transform) {
  return plat::Normalize(
      plat::Vec3(transform.world(2, 0), transform.world(2, 1), transform.world(2, 2)));
}

}  // namespace

const char* CPlayerController::DashForAngle(float a) {
  if (a >= -kQuarterPi && a <= kQuarterPi) return "dash_front_01";
  if (a >= kQuarterPi && a <= kThreeQuarterPi) return "dash_right_01";
  if (a >= kThreeQuarterPi || a <= -kThreeQuarterPi) return "dash_back_01";
  return "dash_left_01";
}

void CPlayerController::StartMoving() {
  previousMoveDirection = moveDirection;
  referenceYaw = GetCameraYaw();
  moveDirection = InputDirection(referenceYaw);
}

void CPlayerController::UpdateDirection() {
  moveDirection = InputDirection(referenceYaw);
  // The direction stays relative to the camera yaw of the moment the input last
  // changed, so that turning the camera does not bend a run in progress.
  if (moveDirection != previousMoveDirection || AnyReleasedMove() ||
      AllValuesZero(In::MoveForward, In::MoveLeft)) {
    previousMoveDirection = moveDirection;
    referenceYaw = GetCameraYaw();
    moveDirection = InputDirection(referenceYaw);
  }
}

bool CPlayerController::AnyReleasedMove() const {
  for (int slot = In::MoveForward; slot <= In::MoveLeft; ++slot)
    if (Released(slot)) return true;
  return false;
}

void CPlayerController::ActionTests(bool running) {
  if (!running &&
      (AnyPressed(In::MoveForward, In::MoveLeft) || AnyValue(In::MoveForward, In::MoveLeft))) {
    StartMoving();
    state = kRun;
  }
  if (Pressed(In::Cover) || Value(In::Cover) != 0.0f) state = kCover;
  if (!running && Pressed(In::Fatality)) state = kFatality;
  if (Pressed(In::AttackX)) state = kCombo;
  if (Pressed(In::AttackY)) state = kCombo;
  if (Pressed(In::AutoAttack1)) state = kComboAuto1;
  if (Pressed(In::AutoAttack2)) state = kComboAuto2;
  if (Pressed(In::SpecialGas)) state = kSpecialAttack1;
  if (Pressed(In::SpecialGrenade)) state = kSpecialAttack2;
  if (running && Pressed(In::Fatality)) state = kFatality;
  if (Pressed(In::Use)) state = kUse;
  if (AnyPressed(In::DirForward, In::DirLeft) ||
      (!running && AnyValue(In::DirForward, In::DirLeft)))
    state = kEvade;
}

void CPlayerController::UpdateIdle() {
  if (Entering()) {
    BlendCycle("idle_01");
    stateTimer = 0.0f;
  }
  stateTimer += frameTime;
  if (stateTimer >= timeToIdle) {
    if (animator)
      animator->ExecuteAction(CStringHash(kRandomIdles[plat::Rand() % 3]), 1.0f, 0.25f, 0.05f,
                              false);
    stateTimer = 0.0f;
  }
  ActionTests(false);
  if (state != kIdle && animator) animator->ClearActions();
}

void CPlayerController::UpdateIdleCombat() {
  if (Entering()) {
    BlendCycle("idle_combat_01");
    idleTimer = 0.0f;
  }
  idleTimer += frameTime;
  if (idleTimer >= timeToIdle) state = kIdle;
  ActionTests(false);
}

void CPlayerController::UpdateIdleCinematic() {
  if (Entering()) StopFootsteps();
}

void CPlayerController::UpdateRun() {
  if (AnyValue(In::MoveForward, In::MoveLeft)) {
    if (Entering()) {
      footstepChannel = PlaySound("brannoc_run_footsteps", true);
      if (!wallContact) BlendCycle("run_01", 0.25f, 0.25f);
    }
    if (wallContact) {
      // Running squarely into a wall: stand in guard and silence the steps until
      // the character turns away.
      if (collider && wallFacing > collider->GetCosAngleMin()) {
        BlendCycle("idle_combat_01");
        StopFootsteps();
        footstepsStopped = 1;
      } else {
        BlendCycle("run_01", 0.25f, 0.25f);
        if (footstepsStopped) {
          footstepChannel = PlaySound("brannoc_run_footsteps", true);
          footstepsStopped = 0;
        }
      }
    } else if (previousWallContact) {
      BlendCycle("run_01", 0.25f, 0.25f);
    }
    UpdateDirection();
    velocity = moveDirection * currentSpeed;
    if (transform) transform->TurnYawTowardsDirection(moveDirection, fastRotSpeed);
    if (collider) collider->SetWalkDirection(velocity);
  }
  if (AnyReleasedMove() && AllValuesZero(In::MoveForward, In::MoveLeft)) {
    state = kIdleCombat;
    StartMoving();
  }
  ActionTests(true);
}

void CPlayerController::UpdateScriptedMove() {
  const bool running = state == kRunCinematic;
  obj::CGameObject* trackerObject =
      trackerName.IsNoName() ? nullptr : obj::FindGameObjectByName(trackerName);
  tracker = trackerObject ? trackerObject->GetComponent<lgc::CTracker>() : nullptr;
  if (!tracker || tracker->GetWaypointCount() == 0 || !transform) {
    // The path went away (or was never given): stand where the player is.
    utl::LogPrintf("Player: no waypoints to follow in %s; standing\n", GetStateName(state));
    StopFootsteps();
    footstepsStopped = 1;
    state = kIdleCinematic;
    return;
  }
  if (Entering()) {
    if (running) {
      footstepChannel = PlaySound("brannoc_run_footsteps", true);
      BlendCycle("run_01", 0.25f, 0.25f);
    } else {
      StopFootsteps();
      footstepChannel = PlaySound("brannoc_walk_footsteps", true);
      BlendCycle("walk_01", 0.25f, 0.25f);
    }
  }
  if (running) {
    transform->TurnTowards(waypoint, fasterRotSpeed * frameTime, false);
    if (collider) collider->SetWalkDirection(ForwardOf(*transform) * runSpeed);
  } else {
    transform->TurnYawTowardsDirection(waypoint - transform->position, fastRotSpeed);
    transform->SetPitch(0.0f);
    if (collider) collider->SetWalkDirection(ForwardOf(*transform) * walkSpeed);
  }
  if (plat::LengthSq(transform->position - waypoint) >= 1.0f) return;
  const size_t count = tracker->GetWaypointCount();
  waypointIndex = static_cast<uint32_t>((waypointIndex + 1) % count);
  waypoint = *tracker->GetWaypoint(waypointIndex);
  if (waypointIndex == 0) {
    BlendCycle(running ? "idle_combat_01" : "idle_01");
    StopFootsteps();
    footstepsStopped = 1;
    moveDirection = ForwardOf(*transform);
    state = kIdleCinematic;
  }
  evn::CEventReachPos* event = evn::CEventReachPos::New();
  if (!event) return;
  obj::CGameObject* owner = GetOwner();
  event->gameObject.Copy(owner ? owner->GetNameText() : "");
  event->posId.Copy(trackerName.Get().c_str());
  event->waypoint = static_cast<int>(waypointIndex);
  evn::PostOrRelease(event);
}

void CPlayerController::UpdateEvade() {
  if (Entering()) {
    BlendCycle("idle_combat_01");
    char voice[32];
    const int n = plat::Rand() % 4 + 1;
    std::snprintf(voice, sizeof(voice), n < 10 ? "brannoc_evade_0%d" : "brannoc_evade_%d", n);
    PlaySound(voice, false);
    stateTimer = 0.0f;
    UpdateDirection();
    const char* dash = "dash_front_01";
    if (transform && moveDirection != plat::Vec3()) {
      const float wanted = std::atan2(moveDirection.x, moveDirection.z);
      dash = DashForAngle(utl::AngleDifference(wanted, transform->yaw));
    }
    if (animator) animator->ExecuteAction(CStringHash(dash), 1.0f, 0.0f, 0.1f, false);
    stateDuration = Duration(dash);
  }
  if (stateTimer < stateDuration) {
    stateTimer += frameTime;
  } else {
    state = kIdleCombat;
  }
}

void CPlayerController::UpdateCover() {
  if (Entering()) {
    BlendCycle("idle_combat_01");
    if (animator) animator->ExecuteAction(CStringHash("cover_in_01"), 1.0f, 0.25f, 0.05f, true);
    stateDuration = Duration("cover_in_01");
    stateTimer = 0.0f;
    PlaySound(plat::Rand() % 2 == 0 ? "brannoc_evade_03" : "brannoc_evade_04", false);
  }
  stateTimer += frameTime;
  // The guard stays up (the locked action holds the pose) while cover is held.
  if (stateTimer < stateDuration) return;
  if (AnyPressed(In::DirForward, In::DirLeft)) {
    state = kEvade;
    if (animator) animator->RemoveLockedAction(CStringHash("cover_in_01"), 0.1f, false);
  } else if (Released(In::Cover) || Value(In::Cover) == 0.0f) {
    state = kCoverOut;
    if (animator) {
      animator->RemoveLockedAction(CStringHash("cover_in_01"), 0.1f, false);
      animator->ExecuteAction(CStringHash("cover_out_01"), 1.0f, 0.0f, 0.1f, false);
    }
    stateDuration = Duration("cover_out_01");
  }
}

void CPlayerController::UpdateCoverOut() {
  if (Entering()) stateTimer = 0.0f;
  if (stateTimer >= stateDuration) {
    state = kIdleCombat;
  } else {
    stateTimer += frameTime;
  }
  const CStringHash coverOut("cover_out_01");
  auto leave = [this, &coverOut](int next, float fade) {
    state = next;
    if (animator) animator->RemoveAction(coverOut, fade);
  };
  if (AnyValue(In::MoveForward, In::MoveLeft) || AnyPressed(In::MoveForward, In::MoveLeft)) {
    StartMoving();
    leave(kRun, 0.1f);
  }
  if (Pressed(In::Cover) || Value(In::Cover) != 0.0f) leave(kCover, 0.2f);
  if (Pressed(In::Fatality)) leave(kFatality, 0.1f);
  if (Pressed(In::AttackX)) leave(kCombo, 0.1f);
  if (Pressed(In::AttackY)) leave(kCombo, 0.1f);
  if (Pressed(In::AutoAttack1)) leave(kComboAuto1, 0.1f);
  if (Pressed(In::AutoAttack2)) leave(kComboAuto2, 0.1f);
  if (Pressed(In::SpecialGas)) leave(kSpecialAttack1, 0.1f);
  if (Pressed(In::SpecialGrenade)) leave(kSpecialAttack2, 0.1f);
  if (Pressed(In::Use)) leave(kUse, 0.1f);
  if (AnyPressed(In::DirForward, In::DirLeft)) leave(kEvade, 0.1f);
}

void CPlayerController::UpdateCoverHit() {
  if (Entering()) {
    stateTimer = 0.0f;
    PlaySound("brannoc_hit_cover", false);
  }
  stateTimer += frameTime;
  if (stateTimer < stateDuration) {
    coverHitAgain = 0;
    return;
  }
  const CStringHash coverHit("cover_hit_01");
  if (AnyPressed(In::DirForward, In::DirLeft)) {
    state = kEvade;
    if (animator) animator->RemoveLockedAction(coverHit, 0.1f, false);
  } else if (Released(In::Cover) || Value(In::Cover) == 0.0f) {
    state = kCoverOut;
    if (animator) {
      animator->RemoveLockedAction(coverHit, 0.1f, false);
      animator->ExecuteAction(CStringHash("cover_out_01"), 1.0f, 0.0f, 0.1f, false);
    }
    stateDuration = Duration("cover_out_01");
  }
  if (coverHitAgain) {
    stateTimer = 0.0f;
    coverHitAgain = 0;
    PlaySound("brannoc_hit_cover", false);
  }
}

}  // namespace vd
