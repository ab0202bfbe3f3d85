// The player controller's side of the attack chain: the combo controller runs the
// steps, the player only steers between hit windows and breaks off into a run,
// cover or an evade.
#include "engine/app/Application.h"
#include "engine/app/Timer.h"
#include "engine/audio/AudioManager.h"
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

// "OnHUDChange" delivered at once, so that the meter shows the spent gas or
// grenade in this frame.
void SendHUD(float gas, int grenades) {
  evn::CEventHUDChange* hud = evn::CEventHUDChange::New();
  if (!hud) return;
  hud->unhide = true;
  hud->gas = gas;
  hud->grenades = grenades;
  if (evn::CEventManager* events = evn::CEventManager::GetScriptInstance())
    events->DispatchEvent(hud);
  hud->Release();
}

void PostUnhide() {
  if (evn::CEventHUDChange* hud = evn::CEventHUDChange::New()) {
    hud->unhide = true;
    Post(hud);
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

void CPlayerController::UpdateGasAttack() {
  if (Entering()) {
    if (gas < gasConsumption) {
      state = kIdle;
      return;
    }
    BlendCycle("idle_combat_01");
    if (animator) animator->ExecuteAction(CStringHash("gas_01"), 1.0f, 0.25f, 0.25f, false);
    stateDuration = Duration("gas_01");
    stateTimer = 0.0f;
    PostUnhide();
    gasApplied = 0;
  }
  stateTimer += frameTime;
  const float length = stateDuration;
  if (stateTimer < gasIn * length) {
    if (Pressed(In::Cover)) state = kCover;
    if (AnyPressed(In::DirForward, In::DirLeft)) state = kEvade;
    if (state != kSpecialAttack1) {
      if (animator) animator->ClearActions();
      return;
    }
  }
  if (gasStart * length <= stateTimer && stateTimer <= gasOver * length) {
    if (!gasApplied) {
      gas -= gasConsumption;
      if (gas < 0.0f) gas = 0.0f;
      gasApplied = 1;
      if (effects) effects->StartGas();
      SendHUD(gas, -1);
      PlaySound("brannoc_tomad_esto", false);
      if (sfx::CAudioManager* audio = sfx::CAudioManager::GetInstance()) {
        const plat::Vec3 at = transform ? transform->position : plat::Vec3();
        const uint32_t channel = audio->PlaySound3D("brannoc_gas", at.x, at.y, at.z, false);
        if (channel) audio->SetSound3DParams(channel, 5.0f, 50.0f);
      }
    }
    if (effects) effects->ApplyGasDamage();
  }
  if (stateTimer >= length) {
    state = kIdleCombat;
    stateTimer = 0.0f;
    if (effects) effects->StopGas();
  }
}

void CPlayerController::UpdateGrenadeThrow() {
  if (!slowMotionTimer) {
    if (sys::CApplicationBase* app = sys::CApplicationBase::GetInstance())
      slowMotionTimer = &app->timer;
  }
  if (Entering()) {
    if (grenades < 1) {
      state = kIdle;
      return;
    }
    BlendCycle("idle_combat_01");
    if (animator) animator->ExecuteAction(CStringHash("grenades_01"), 1.0f, 0.25f, 0.25f, false);
    stateDuration = Duration("grenades_01");
    stateTimer = 0.0f;
    grenadeSpent = 0;
    if (effects) effects->StartGrenadeThrow();
    PostUnhide();
  }
  stateTimer += frameTime;
  const float length = stateDuration;
  if (stateTimer < grenadesIn * length) {
    if (Pressed(In::Cover)) state = kCover;
    if (AnyPressed(In::DirForward, In::DirLeft)) state = kEvade;
    if (state != kSpecialAttack2) {
      if (animator) animator->ClearActions();
      if (effects) effects->CancelGrenadeThrow();
      return;
    }
  }
  const bool slowMotionOn = slowMotionTimer && slowMotionTimer->slowMotion.load() != 0;
  if (!grenadeSpent && grenadesSlowmotionIn * length <= stateTimer &&
      stateTimer < grenadesSlowmotionOut * length) {
    if (slowMotionTimer && !slowMotionOn) {
      slowMotionTimer->slowMotionScale.store(grenadesSlowmotionSpeed);
      slowMotionTimer->slowMotion.store(1);
      grenadeSlowMotion = 1;
    }
    return;
  }
  // The grenade is spent once the throw passes the end of its slow motion, even
  // when another slow motion was running and the throw had none of its own.
  if (!grenadeSpent && stateTimer >= grenadesSlowmotionOut * length) {
    EndGrenadeSlowMotion();
    grenadeSpent = 1;
    grenades -= 1;
    if (grenades < 0) grenades = 0;
    SendHUD(-1.0f, grenades);
    return;
  }
  if (stateTimer >= length) {
    state = kIdleCombat;
    stateTimer = 0.0f;
    if (effects) effects->CancelGrenadeThrow();
  }
}

void CPlayerController::EndGrenadeSlowMotion() {
  if (grenadeSlowMotion && slowMotionTimer) {
    slowMotionTimer->slowMotion.store(0);
    slowMotionTimer->slowMotionScale.store(1.0f);
  }
  grenadeSlowMotion = 0;
}

}  // namespace vd
