#include "game/player/ComboController.h"

#include <vector>

#include "engine/animation/Animator.h"
#include "engine/audio/AudioManager.h"
#include "engine/core/EngineNames.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Transform.h"
#include "game/player/PlayerController.h"
#include "game/player/PlayerEffects.h"
#include "game/player/WeaponController.h"

namespace vd {

namespace {

constexpr uint32_t kSlowmotionInX5 = ComputeHash("slowmotion_in_X5");
constexpr uint32_t kSlowmotionOutX5 = ComputeHash("slowmotion_out_X5");
constexpr uint32_t kSlowmotionSpeedX5 = ComputeHash("slowmotion_speed_X5");
constexpr uint32_t kHoldingTime = ComputeHash("holding_time");

const CStringHash kWeaponRendererType("CWeaponRenderer");

void StopChannel(uint32_t channel) {
  sfx::CAudioManager* audio = sfx::CAudioManager::GetInstance();
  if (audio && channel) audio->StopSound(channel);
}

}  // namespace

const CStringHash& CComboController::GetClassName() {
  static const CStringHash name("CComboController");
  return name;
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
  obj::CGameObject* owner = GetOwner();
  if (!owner) return true;
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

bool CComboController::Update(float frameTime) {
  dt = frameTime;
  return true;
}

void CComboController::EndCombo() {
  state = next = previous = 0;
  windowOpen = windowClosed = blastDone = 0;
  StopChannel(swingChannel);
  if (player) StopChannel(player->voiceChannel);
  if (weapon) {
    weapon->SetWeaponActive(false, CWeaponController::kSetNormal);
    weapon->SetWeaponActive(false, CWeaponController::kSetBig);
  }
  if (weaponRenderer1) obj::RequestComponentEnable(weaponRenderer1, false);
  if (weaponRenderer2) obj::RequestComponentEnable(weaponRenderer2, false);
  if (player) {
    player->SetState(CPlayerController::kIdleCombat);
    player->targetLocked = 0;
    player->target = nullptr;
  }
}

}  // namespace vd
