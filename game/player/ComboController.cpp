#include "game/player/ComboController.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/animation/Animator.h"
#include "engine/app/Application.h"
#include "engine/app/Timer.h"
#include "engine/audio/AudioManager.h"
#include "engine/core/EngineNames.h"
#include "engine/core/Log.h"
#include "engine/core/Utils.h"
#include "engine/core/XmlFile.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/input/InputManager.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Transform.h"
#include "game/player/PlayerController.h"
#include "game/player/PlayerEffects.h"
#include "game/player/WeaponController.h"

namespace vd {

namespace {

using In = CInputManager;
using C = CComboController;

constexpr uint32_t kSlowmotionInX5 = ComputeHash("slowmotion_in_X5");
constexpr uint32_t kSlowmotionOutX5 = ComputeHash("slowmotion_out_X5");
constexpr uint32_t kSlowmotionSpeedX5 = ComputeHash("slowmotion_speed_X5");
constexpr uint32_t kHoldingTime = ComputeHash("holding_time");

const CStringHash kWeaponRendererType("CWeaponRenderer");
const char* const kAttackToIdle = "attack_to_idle";

// Per combo state: the row name (also the step's animation and attack type),
// voice, swing, the successors of an AttackX and an AttackY press (0: none) and
// the weapon set the step switches (-1: none).
struct SStepInfo {
  const char* name;
  const char* voice;
  const char* swing;
  int attackNext;
  int heldNext;
  int weaponSet;
};
const SStepInfo kSteps[C::kStateCount] = {
    {"start", nullptr, nullptr, C::kX1, C::kHolding, -1},
    {"X1", "brannoc_X1", "weapon_swing_02", C::kX2, 0, CWeaponController::kSetNormal},
    {"X2", "brannoc_X2", "weapon_swing_02", C::kX3, C::kY1, CWeaponController::kSetNormal},
    {"X3", "brannoc_X3", "weapon_swing_03", C::kX4, C::kY2, CWeaponController::kSetBig},
    {"X4", "brannoc_X4", "weapon_swing_03", C::kX5, C::kY3, CWeaponController::kSetNormal},
    {"X5", "brannoc_X5", "weapon_swing_04", 0, 0, -1},
    {"Y1", "brannoc_X1", nullptr, 0, C::kY2, CWeaponController::kSetNormal},
    {"Y2", "brannoc_Y2", nullptr, 0, C::kY3, CWeaponController::kSetBig},
    {"Y3", "brannoc_Y3", nullptr, 0, 0, -1},
    {"combo_auto_01", nullptr, nullptr, 0, 0, -1},
    {"combo_auto_02", nullptr, nullptr, 0, 0, -1},
    {"holding", nullptr, nullptr, 0, 0, -1},
    {"HOLDING_ATTACK", "brannoc_X2", nullptr, 0, C::kY2, CWeaponController::kSetBig},
};

// The held-attack successor as the step was entered: a Y step reached from the X
// chain is a finisher and ends there.
int HeldSuccessor(int state, int previous) {
  if (state == C::kY1 && previous == C::kX2) return 0;
  if (state == C::kY2 && previous == C::kX3) return 0;
  return kSteps[state].heldNext;
}

void StopChannel(uint32_t channel) {
  sfx::CAudioManager* audio = sfx::CAudioManager::GetInstance();
  if (audio && channel) audio->StopSound(channel);  // stops only a playing channel
}

// A number attribute; a missing one keeps `value`. False for a text that is not a
// whole number that fits where it is kept.
bool ReadNumber(const rapidxml::xml_node<>* node, const char* name, float& value) {
  const rapidxml::xml_attribute<>* attribute = node->first_attribute(name);
  return !attribute || utl::ParseFloat(attribute->value(), value);
}

bool ReadInteger(const rapidxml::xml_node<>* node, const char* name, int32_t& value) {
  const rapidxml::xml_attribute<>* attribute = node->first_attribute(name);
  return !attribute || utl::ParseInt32(attribute->value(), value);
}

}  // namespace

const CStringHash& CComboController::GetClassName() {
  static const CStringHash name("CComboController");
  return name;
}

const char* CComboController::GetStateName(int state) {
  return state >= 0 && state < kStateCount ? kSteps[state].name : nullptr;
}

CComboController::~CComboController() {
  if (!IsCheckPointCopy()) Reset();
}

void CComboController::Load(rapidxml::xml_node<>* element) {
  obj::ForEachKey(element, [this](const obj::CKey& key) {
    const uint32_t name = key.NameHash();
    if (name == kSlowmotionInX5) slowmotionInX5 = key.Float();
    if (name == kSlowmotionOutX5) slowmotionOutX5 = key.Float();
    if (name == kSlowmotionSpeedX5) slowmotionSpeedX5 = key.Float();
    if (name == kHoldingTime) holdingTime = key.Float();
  });
}

bool CComboController::Init() {
  Reset();
  if (sys::CApplicationBase* app = sys::CApplicationBase::GetInstance())
    slowMotionTimer = &app->timer;
  obj::CGameObject* owner = GetOwner();
  if (owner) {
    player = owner->GetComponent<CPlayerController>();
    transform = owner->GetComponent<gfx::CTransform>();
    animator = owner->GetComponent<anm::CAnimator>();
    weapon = owner->GetComponent<CWeaponController>();
    effects = owner->GetComponent<CPlayerEffects>();
    std::vector<obj::IComponent*> renderers;
    owner->GetComponentsByFamily(SH_CRenderer, renderers);
    for (obj::IComponent* renderer : renderers) {
      if (renderer->GetType() != kWeaponRendererType) continue;
      if (!weaponRenderer1) {
        weaponRenderer1 = renderer;
      } else {
        weaponRenderer2 = renderer;
        break;
      }
    }
  }
  LoadCombos();
  return true;
}

void CComboController::Reset() {
  player = nullptr;
  transform = nullptr;
  animator = nullptr;
  weapon = nullptr;
  weaponRenderer1 = weaponRenderer2 = nullptr;
  effects = nullptr;
  state = next = previous = 0;
  windowOpen = windowClosed = blastDone = 0;
  dt = timer = 0.0f;
}

bool CComboController::LoadCombos(const char* path) {
  combos.clear();
  utl::CXmlFile file;
  const utl::CXmlFile::EResult result = file.Load(path);
  if (result == utl::CXmlFile::EResult::Missing) {
    utl::LogPrintf("Combos: %s is missing or empty; the player cannot attack\n", path);
    return false;
  }
  if (result == utl::CXmlFile::EResult::Malformed) {
    utl::LogPrintf("Combos: %s is malformed (%s); the player cannot attack\n", path,
                   file.Error().c_str());
    return false;
  }
  const rapidxml::xml_node<>* root = file.Document().first_node("states");
  const rapidxml::xml_node<>* first = root ? root->first_node("state") : nullptr;
  if (!first) {
    utl::LogPrintf("Combos: %s has no <states> with <state> rows; the player cannot attack\n",
                   path);
    return false;
  }
  std::vector<SComboState> rows;
  SComboState row;  // a missing attribute keeps the previous row's value
  int index = 0;
  for (const rapidxml::xml_node<>* node = first; node; node = node->next_sibling(), ++index) {
    if (index >= kStateCount) {
      utl::LogPrintf("Combos: %s holds more than %d rows; the player cannot attack\n", path,
                     kStateCount);
      return false;
    }
    const rapidxml::xml_attribute<>* name = node->first_attribute("name");
    const char* nameText = name ? name->value() : "";
    if (std::strcmp(nameText, kSteps[index].name) != 0) {
      utl::LogPrintf("Combos: %s row %d is '%s' where '%s' belongs; the player cannot attack\n",
                     path, index, nameText, kSteps[index].name);
      return false;
    }
    row.name.Set(nameText);
    const bool numbers =
        ReadNumber(node, "in", row.in) && ReadNumber(node, "out", row.out) &&
        ReadNumber(node, "weaponIn", row.weaponIn) &&
        ReadNumber(node, "weaponOut", row.weaponOut) && ReadInteger(node, "damage", row.damage) &&
        ReadNumber(node, "hit", row.hit) && ReadNumber(node, "power", row.power) &&
        ReadNumber(node, "range", row.range) && ReadNumber(node, "shake_power", row.shakePower) &&
        ReadNumber(node, "shake_timer", row.shakeTimer);
    if (!numbers) {
      utl::LogPrintf(
          "Combos: %s row %d ('%s') has an attribute that is not a number; the "
          "player cannot attack\n",
          path, index, nameText);
      return false;
    }
    rows.push_back(row);
  }
  if (static_cast<int>(rows.size()) != kStateCount) {
    utl::LogPrintf("Combos: %s holds %d rows where %d belong; the player cannot attack\n", path,
                   static_cast<int>(rows.size()), kStateCount);
    return false;
  }
  combos = std::move(rows);
  return true;
}

const SComboState* CComboController::GetRow(int row) const {
  if (!HasTable() || row < 0 || row >= kStateCount) return nullptr;
  return &combos[row];
}

float CComboController::GetShakePower() const {
  const SComboState* row = GetRow(state);
  return row ? row->shakePower : 0.0f;
}

float CComboController::GetShakeTimer() const {
  const SComboState* row = GetRow(state);
  return row ? row->shakeTimer : 0.0f;
}

// --- Update ------------------------------------------------------------------------------

bool CComboController::Update(float frameTime) {
  dt = frameTime;
  if (!player || player->state != CPlayerController::kCombo) {
    // The player left the chain under us (a hit, a script): a slow motion that
    // X5 started must not outlive it.
    if (slowMotionStarted) SetSlowMotion(false, 1.0f);
    return true;
  }
  if (!HasTable()) {
    // Without its tuning no step can run; the player must not stay in the combo.
    EndCombo();
    return true;
  }
  switch (state) {
    case kStart:
      UpdateStart();
      break;
    case kX1:
    case kX2:
    case kX3:
    case kX4:
    case kY1:
    case kY2:
    case kHoldingAttack:
      UpdateStep();
      break;
    case kX5:
      UpdateX5();
      break;
    case kY3:
      UpdateY3();
      break;
    case kHolding:
      UpdateHolding();
      break;
    default:
      break;
  }
  if (!windowOpen) {
    if (Pressed(In::AutoAttack1)) {
      EndCombo();
      player->SetState(CPlayerController::kComboAuto1);
    }
    if (Pressed(In::AutoAttack2)) {
      EndCombo();
      player->SetState(CPlayerController::kComboAuto2);
    }
  }
  return true;
}

void CComboController::UpdateStart() {
  if (player) player->AutoAim(player->autoAimMaxDist, false);
  const bool x = Down(In::AttackX);
  const bool y = !x && Down(In::AttackY);
  if (x || y) {
    if (animator) animator->BlendCycle(CStringHash("idle_combat_01"), 1.0f, 0.05f, 0.25f);
    next = x ? kX1 : kHolding;
    NextStep();
  }
  QueueWeaponRenderers(true);
}

void CComboController::UpdateWindow(const SComboState& row, bool closingActions) {
  const float length = stepLength;
  if (row.in * length <= timer && timer < row.out * length && !windowOpen) {
    windowOpen = 1;
  } else if (timer >= row.out * length && windowOpen) {
    windowOpen = 0;
    if (!windowClosed) {
      windowClosed = 1;
      if (closingActions && animator) {
        animator->ExecuteAction(CStringHash(kAttackToIdle), 1.0f, 0.0f, 0.0f, false);
        animator->RemoveAction(CStringHash(kSteps[state].name), 0.0f);
      }
      PostAttack(false, 0, CStringHash());
    }
  }
}

void CComboController::UpdateStep() {
  timer += dt;
  const int step = state;
  const SComboState& row = combos[step];
  const float length = stepLength;
  UpdateWindow(row, true);

  const int attackNext = step == kHoldingAttack ? 0 : kSteps[step].attackNext;
  const int heldNext = HeldSuccessor(step, previous);
  if (windowOpen) {
    if (attackNext && Pressed(In::AttackX)) next = attackNext;
    if (heldNext && Pressed(In::AttackY)) next = heldNext;
  } else if (timer >= row.out * length) {
    bool advanced = false;
    if (attackNext && Pressed(In::AttackX)) {
      next = attackNext;
      NextStep();
      advanced = true;
    }
    if (heldNext && Pressed(In::AttackY)) {
      next = heldNext;
      NextStep();
      advanced = true;
    }
    if (!advanced && next) NextStep();
  }

  if (state == step && timer > row.out * length + Duration(kAttackToIdle)) {
    if (next) {
      NextStep();
    } else {
      EndCombo();
      return;
    }
  }

  const int set = kSteps[state].weaponSet;
  if (!weapon || set < 0) return;
  const SComboState& current = combos[state];
  if (!weapon->IsActive(set) && current.weaponIn * stepLength < timer &&
      timer < current.weaponOut * stepLength) {
    weapon->SetWeaponActive(true, set);
    if (effects) effects->ShowWeaponLight();
  } else if (weapon->IsActive(set) && timer > current.weaponOut * stepLength) {
    weapon->SetWeaponActive(false, set);
  }
}

void CComboController::UpdateBlast(const SComboState& row, const char* boom) {
  if (blastDone || !(timer > row.hit * stepLength)) return;
  blastDone = 1;
  obj::CGameObject* owner = GetOwner();
  const plat::Vec3 position = transform ? transform->position : plat::Vec3();
  evn::PostOrRelease(evn::CEventShockWave::New(owner, CStringHash("player"), position, row.power,
                                               row.range, row.damage));
  if (evn::CEventShake* shake = evn::CEventShake::New()) {
    shake->power = row.shakePower;
    shake->timer = row.shakeTimer;
    evn::PostOrRelease(shake);
  }
  if (state == kY3 && effects) effects->ShowRocks();
  PlaySound(boom);
}

void CComboController::UpdateX5() {
  timer += dt;
  if (player) player->AutoAim(player->autoAimMaxDist, false);
  const SComboState& row = combos[kX5];
  const float length = stepLength;
  UpdateWindow(row, true);
  // Only a slow motion of ours is ended here: a grenade's belongs to the grenade.
  const bool slowMotionOn = slowMotionTimer && slowMotionTimer->slowMotion.load() != 0;
  if ((row.in + slowmotionInX5) * length <= timer && timer < (row.out - slowmotionOutX5) * length) {
    if (slowMotionTimer && !slowMotionOn) {
      SetSlowMotion(true, slowmotionSpeedX5);
      PlaySound("brannoc_slowmotion_sfx");
    }
  } else if (timer >= (row.out - slowmotionOutX5) * length && slowMotionStarted) {
    SetSlowMotion(false, 1.0f);
  }
  UpdateBlast(row, "brannoc_X5_boom");
  if (row.weaponIn * length < timer && timer < row.weaponOut * length && effects)
    effects->ShowWeaponLight();
  if (timer > row.out * length + Duration(kAttackToIdle)) EndCombo();
}

void CComboController::UpdateY3() {
  timer += dt;
  const SComboState& row = combos[kY3];
  const float length = stepLength;
  UpdateWindow(row, false);
  UpdateBlast(row, "brannoc_Y3_boom");
  if (row.weaponIn * length < timer && timer < row.weaponOut * length && effects)
    effects->ShowWeaponLight();
  if (timer > row.out * length) EndCombo();
}

void CComboController::UpdateHolding() {
  timer += dt;
  if (state != previous) {
    previous = state;
    PostHUD(holdingTime);
  }
  if (Released(In::AttackY)) {
    if (timer <= holdingTime) {
      if (animator) animator->RemoveAction(CStringHash("holding"), 0.1f);
      next = kY1;
      NextStep();
      PostHUD(0.0f);
    } else {
      next = kHoldingAttack;
      NextStep();
    }
  } else if (timer > holdingTime) {
    next = kHoldingAttack;
    NextStep();
  }
}

// --- Steps -------------------------------------------------------------------------------

void CComboController::StartStep() {
  const SStepInfo& info = kSteps[state];
  const CStringHash name(info.name);
  if (animator) {
    animator->ExecuteAction(name, 1.0f, 0.05f, 0.0f, false);
    stepLength = animator->GetAnimationDuration(name);
  } else {
    stepLength = 0.0f;
  }
  if (state == kHolding) return;
  if (info.voice) {
    const uint32_t channel = PlaySound(info.voice);
    if (state != kX5 && state != kY3 && player) player->voiceChannel = channel;
  }
  if (info.swing) swingChannel = PlaySound(info.swing);
  PostAttack(true, combos[state].damage, name);
  if (!effects) return;
  if (state == kX5) effects->StartRingCrown();
  if (state == kY3) {
    effects->StartRocks();
    effects->StartSemisphere();
  }
}

void CComboController::NextStep() {
  if (animator) animator->RemoveAction(CStringHash(kAttackToIdle), 0.1f);
  if (player) player->AutoAim(player->autoAimMaxDist, false);
  previous = state;
  state = next;
  next = 0;
  windowClosed = 0;
  timer = 0.0f;
  StopChannel(swingChannel);
  if (weapon) {
    weapon->SetWeaponActive(false, CWeaponController::kSetNormal);
    weapon->SetWeaponActive(false, CWeaponController::kSetBig);
  }
  PostHUD(-1.0f);
  StartStep();
}

void CComboController::RemoveStepAction(float fadeOut) {
  if (animator && state >= kX1 && state <= kY3)
    animator->RemoveAction(CStringHash(kSteps[state].name), fadeOut);
}

void CComboController::EndCombo() {
  RemoveStepAction(0.1f);
  state = next = previous = 0;
  windowOpen = windowClosed = blastDone = 0;
  StopChannel(swingChannel);
  if (player) StopChannel(player->voiceChannel);
  if (weapon) {
    weapon->SetWeaponActive(false, CWeaponController::kSetNormal);
    weapon->SetWeaponActive(false, CWeaponController::kSetBig);
  }
  // A slow motion that X5 started would otherwise outlive the finisher.
  if (slowMotionStarted) SetSlowMotion(false, 1.0f);
  if (effects) {
    effects->HideWeaponLight();
    effects->StopRingCrown();
    effects->StopSemisphere();
  }
  QueueWeaponRenderers(false);
  if (player) {
    player->SetState(CPlayerController::kIdleCombat);
    player->targetLocked = 0;
    player->target = nullptr;
  }
}

void CComboController::SetSlowMotion(bool on, float scale) {
  if (!slowMotionTimer) return;
  slowMotionTimer->slowMotionScale.store(scale);
  slowMotionTimer->slowMotion.store(on ? 1 : 0);
  slowMotionStarted = on ? 1 : 0;
}

// --- Helpers -----------------------------------------------------------------------------

void CComboController::PostAttack(bool begin, int damage, const CStringHash& type) {
  evn::PostOrRelease(evn::CEventPlayerAttack::New(begin, damage, type));
}

void CComboController::PostHUD(float cronoTime) {
  evn::CEventHUDChange* hud = evn::CEventHUDChange::New();
  if (!hud) return;
  hud->unhide = true;
  hud->cronoTime = cronoTime;
  evn::PostOrRelease(hud);
}

bool CComboController::Pressed(int slot) const {
  const CInputManager* input = CPlayerController::AcceptedInput();
  return input && input->IsPressed(slot);
}

bool CComboController::Released(int slot) const {
  const CInputManager* input = CPlayerController::AcceptedInput();
  return input && input->IsReleased(slot);
}

bool CComboController::Down(int slot) const {
  const CInputManager* input = CPlayerController::AcceptedInput();
  return input && input->GetAction(slot).down != 0;
}

float CComboController::Duration(const char* name) const {
  return animator ? animator->GetAnimationDuration(CStringHash(name)) : 0.0f;
}

uint32_t CComboController::PlaySound(const char* name) {
  sfx::CAudioManager* audio = sfx::CAudioManager::GetInstance();
  return audio ? audio->PlaySound(name, false) : 0;
}

void CComboController::QueueWeaponRenderers(bool enable) {
  if (weaponRenderer1) obj::RequestComponentEnable(weaponRenderer1, enable);
  if (weaponRenderer2) obj::RequestComponentEnable(weaponRenderer2, enable);
}

}  // namespace vd
