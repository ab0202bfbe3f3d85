// The player controller's side of the attack chain: the combo controller runs the
// steps, the player only steers between hit windows and breaks off into a run,
// cover or an evade.
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/input/InputManager.h"
#include "engine/objects/Transform.h"
#include "game/player/ComboController.h"
#include "game/player/PlayerController.h"
#include "game/player/PlayerEffects.h"
#include "game/player/WeaponController.h"

namespace vd {

namespace {

using In = CInputManager;

void Post(evn::IEvent* event) {
  if (!event) return;
  if (evn::CEventManager* events = evn::CEventManager::GetScriptInstance()) {
    events->PostEvent(event);
  } else {
    event->Release();
  }
}

}  // namespace

void CPlayerController::UpdateCombo() {
  Entering();
  if (!combo) {
    // No chain to run: the player must not stay in the combo.
    state = kIdleCombat;
    return;
  }
  const bool windowOpen = combo->windowOpen != 0;
  const bool windowClosed = combo->windowClosed != 0;
  const bool moving = AnyValue(In::MoveForward, In::MoveLeft);
  if (moving && !windowOpen) {
    UpdateDirection();
    if (transform) transform->TurnYawTowardsDirection(moveDirection, comboRotSpeed);
  }
  int interruption = 0;
  if (moving && windowClosed) {
    interruption = kRun;
  } else if (Value(In::Cover) != 0.0f && !windowOpen) {
    interruption = kCover;
  } else if (!windowOpen && AnyPressed(In::DirForward, In::DirLeft)) {
    interruption = kEvade;
  }
  if (!interruption) return;
  combo->EndCombo();
  if (interruption == kRun) StartMoving();
  state = interruption;
  if (animator) animator->RemoveAction(CStringHash("attack_to_idle"), 0.0f);
  previousState = kCombo;
}

void CPlayerController::UpdateAutoAttack() {
  const bool second = state == kComboAuto2;
  const int row = second ? CComboController::kAuto2Row : CComboController::kAuto1Row;
  const SComboState* tuning = combo ? combo->GetRow(row) : nullptr;
  if (!tuning) {
    // Without the combo table there is nothing to attack with.
    Entering();
    state = kIdleCombat;
    return;
  }
  const char* name = second ? "combo_auto_02" : "combo_auto_01";
  if (Entering()) {
    BlendCycle("idle_combat_01");
    if (animator) animator->ExecuteAction(CStringHash(name), 1.0f, 0.05f, 0.05f, false);
    stateDuration = Duration(name);
    stateTimer = 0.0f;
    Post(evn::CEventPlayerAttack::New(true, tuning->damage, CStringHash(name)));
    if (evn::CEventHUDChange* hud = evn::CEventHUDChange::New()) {
      hud->unhide = true;
      Post(hud);
    }
    QueueWeaponRenderers(true);
    voiceChannel = PlaySound(second ? "brannoc_auto_02" : "brannoc_auto_01", false);
    if (second && effects) effects->StartTurbulence();
  }
  stateTimer += frameTime;
  if (second && effects) effects->UpdateTurbulence(frameTime);
  if (stateTimer >= stateDuration) {
    if (second && effects) effects->StopTurbulence();
    state = kIdleCombat;
    stateTimer = 0.0f;
    QueueWeaponRenderers(false);
    return;
  }
  if (!weapon) return;
  const float length = stateDuration;
  const int set = CWeaponController::kSetBig;
  if (!weapon->IsActive(set) && tuning->weaponIn * length < stateTimer &&
      stateTimer < tuning->weaponOut * length) {
    weapon->SetWeaponActive(true, set);
    if (effects) {
      if (second) effects->StartWeaponSparks();
      effects->ShowWeaponLight();
    }
  } else if (weapon->IsActive(set) && stateTimer > tuning->weaponOut * length) {
    weapon->SetWeaponActive(false, set);
    if (effects) effects->HideWeaponLight();
  }
}

}  // namespace vd
