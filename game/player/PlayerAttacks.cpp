// The player controller's side of the attack chain: the combo controller runs the
// steps, the player only steers between hit windows and breaks off into a run,
// cover or an evade.
#include <cmath>

#include "engine/app/Application.h"
#include "engine/app/Timer.h"
#include "engine/audio/AudioManager.h"
#include "engine/core/Log.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/input/InputManager.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Transform.h"
#include "engine/script/ScriptManager.h"
#include "game/player/ComboController.h"
#include "game/player/EnemyList.h"
#include "game/player/PlayerController.h"
#include "game/player/PlayerEffects.h"
#include "game/player/WeaponController.h"
#include "platform/math/Math.h"

namespace vd {

namespace {

using In = CInputManager;

// "OnHUDChange" delivered at once, so that the meter shows the spent gas or
// grenade in this frame.
void SendHUD(float gas, int grenades) {
  evn::CEventHUDChange* hud = evn::CEventHUDChange::New();
  if (!hud) return;
  hud->unhide = true;
  hud->gas = gas;
  hud->grenades = grenades;
  if (evn::CEventManager* events = evn::CEventManager::GetInstance()) events->DispatchEvent(hud);
  hud->Release();
}

void PostUnhide() {
  if (evn::CEventHUDChange* hud = evn::CEventHUDChange::New()) {
    hud->unhide = true;
    evn::PostOrRelease(hud);
  }
}

// An aimed enemy that falls this far to the side is let go.
constexpr float kAimDropAngle = 1.7453293f;  // 100 degrees
constexpr float kPi = 3.14159265f;
const CStringHash kKrauserObject("krauser");

IEnemyList* g_enemyList = nullptr;

// A zone global the level scripts set; unset (or without scripts) it reads as 0,
// and the script host says so in the log.
int ZoneGlobal(const char* name) {
  lgc::CScriptManager* scripts = lgc::CScriptManager::GetInstance();
  if (!scripts || !scripts->GetState()) {
    utl::LogPrintf("Player: no scripts to read %s from; it reads as 0\n", name);
    return 0;
  }
  return scripts->GetGlobalInt(name);
}

}  // namespace

void SetEnemyList(IEnemyList* list) { g_enemyList = list; }

IEnemyList* GetEnemyList() { return g_enemyList; }

IEnemyFighter* FindEnemyFighter(const obj::CGameObject* object) {
  if (!object) return nullptr;
  for (int slot = 0; slot < obj::CGameObject::kMaxComponents; ++slot) {
    if (auto* fighter = dynamic_cast<IEnemyFighter*>(object->GetComponentAt(slot))) return fighter;
  }
  return nullptr;
}

// --- Aim ---------------------------------------------------------------------------------

void CPlayerController::AutoAim(float maxDistance, bool fatalityMode) {
  if (!transform) return;
  obj::CGameObject* owner = GetOwner();
  obj::CGameObjectManager* objects = owner ? owner->GetManager() : nullptr;
  if (!objects) objects = obj::CGameObjectManager::GetInstance();
  if (!objects) return;

  plat::Mat4 toLocal;
  if (!plat::Inverse(transform->world, toLocal)) return;
  const plat::Vec3 here = transform->position;
  const float maxDistanceSq = maxDistance * maxDistance;
  // The candidate's angle in the player's own frame: 0 straight ahead.
  auto angleOf = [&](const obj::CGameObject& object) {
    const gfx::CTransform* at = object.GetComponent<gfx::CTransform>();
    const plat::Vec3 local = plat::TransformCoord(at ? at->position : plat::Vec3(), toLocal);
    return std::atan2(local.x, local.z);
  };
  auto withinReach = [&](const obj::CGameObject& object) {
    const gfx::CTransform* at = object.GetComponent<gfx::CTransform>();
    if (!at) return false;
    const float dx = at->position.x - here.x;
    const float dz = at->position.z - here.z;
    return dx * dx + dz * dz < maxDistanceSq;
  };
  auto inCone = [&](float a) { return std::fabs(a) < kPi && std::fabs(a) < autoAimYawAngle; };

  const bool finalScene = ZoneGlobal("main_zone") == ZoneGlobal("FINALSCENE");
  if (finalScene) {
    obj::CGameObject* boss = objects->GetGameObjectByName(kKrauserObject);
    // The aim is held as a pointer: one that is no longer the boss is let go
    // before anything reads through it.
    if (target && target != boss) {
      target = nullptr;
      targetLocked = 0;
    }
    const IEnemyFighter* fighter = FindEnemyFighter(boss);
    if (boss && fighter && !fighter->IsLocked() && withinReach(*boss) && !target &&
        inCone(angleOf(*boss))) {
      target = boss;
      targetLocked = 1;
    }
  } else {
    IEnemyList* list = g_enemyList;
    const size_t count = list ? list->GetEnemyCount() : 0;
    if (target) {
      // The aimed enemy must still be one of the list's live objects.
      bool listed = false;
      for (size_t i = 0; i < count && !listed; ++i)
        listed = objects->GetGameObjectById(static_cast<int>(list->GetEnemyId(i))) == target;
      if (!listed || std::fabs(angleOf(*target)) >= kAimDropAngle) {
        targetLocked = 0;
        target = nullptr;
      }
    }
    for (size_t i = 0; i < count && !target; ++i) {
      obj::CGameObject* enemy = objects->GetGameObjectById(static_cast<int>(list->GetEnemyId(i)));
      const IEnemyFighter* fighter = FindEnemyFighter(enemy);
      if (!fighter || !fighter->IsActive() || fighter->IsLocked()) continue;
      if (fighter->IsReadyForFatality() != fatalityMode) continue;
      if (!withinReach(*enemy)) continue;
      if (inCone(angleOf(*enemy))) {
        target = enemy;
        targetLocked = 1;
      }
    }
  }

  if (!target) return;
  const IEnemyFighter* fighter = FindEnemyFighter(target);
  if (fighter && fighter->GetSubState() == 0 &&
      (fighter->GetState() == IEnemyFighter::kStateDying ||
       fighter->GetState() == IEnemyFighter::kStateDead)) {
    target = nullptr;
    targetLocked = 0;
    return;
  }
  float rate = fasterRotSpeed;
  if (combo) {
    const bool x5 = combo->state == CComboController::kX5;
    if ((combo->windowOpen && !x5) || (x5 && !combo->blastDone)) {
      rate = fastRotSpeed;
    } else if (x5 && combo->blastDone) {
      rate = comboRotSpeed;
    }
  }
  const gfx::CTransform* at = target->GetComponent<gfx::CTransform>();
  if (at) transform->TurnTowards(at->position, rate, false);
}

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
    AutoAim(autoAimMaxDist, false);
    BlendCycle("idle_combat_01");
    if (animator) animator->ExecuteAction(CStringHash(name), 1.0f, 0.05f, 0.05f, false);
    stateDuration = Duration(name);
    stateTimer = 0.0f;
    evn::PostOrRelease(evn::CEventPlayerAttack::New(true, tuning->damage, CStringHash(name)));
    if (evn::CEventHUDChange* hud = evn::CEventHUDChange::New()) {
      hud->unhide = true;
      evn::PostOrRelease(hud);
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
