#pragma once
// Runs the player's attack chain while the player controller is in its combo
// state. What its users need of it so far: its state and window flags (read by
// the player's steering and by the enemies), the shake values of the current
// step, its four parameters, and EndCombo, which stops a chain and hands the
// player back to idle_combat.
#include <cstdint>

#include "engine/core/FactoryMaker.h"
#include "engine/core/StringHash.h"
#include "engine/objects/Component.h"

namespace vd {
namespace gfx {
class CTransform;
}
namespace anm {
class CAnimator;
}

class CPlayerController;
class CWeaponController;
class CPlayerEffects;

class CComboController : public obj::CComponent<CComboController> {
public:
  static const CStringHash& GetClassName();

  CComboController() = default;
  ~CComboController() override;
  CComboController& operator=(const CComboController& other) = default;

  // "slowmotion_in_X5", "slowmotion_out_X5", "slowmotion_speed_X5", "holding_time".
  void Load(rapidxml::xml_node<>* element) override;
  bool HasContent() override { return true; }
  void Restart() override { EndCombo(); }
  bool Update(float dt) override;
  void OnAfterRestore() override { EndCombo(); }
  bool Init() override;
  void Reset() override;

  // Stops the chain: no step, no queued step, the weapon's volumes out of the
  // world, the player back in idle_combat without a target.
  void EndCombo();
  // The current step's camera shake; 0 without a step.
  float GetShakePower() const { return 0.0f; }
  float GetShakeTimer() const { return 0.0f; }

  CPlayerController* player = nullptr;
  gfx::CTransform* transform = nullptr;
  anm::CAnimator* animator = nullptr;
  CWeaponController* weapon = nullptr;
  obj::IComponent* weaponRenderer1 = nullptr;
  obj::IComponent* weaponRenderer2 = nullptr;
  CPlayerEffects* effects = nullptr;
  int state = 0;
  int next = 0;
  int previous = 0;
  uint8_t windowOpen = 0;
  uint8_t windowClosed = 0;
  uint8_t blastDone = 0;
  float dt = 0.0f;
  float timer = 0.0f;
  float stepLength = 0.0f;
  float slowmotionInX5 = 0.0f;
  float slowmotionOutX5 = 0.0f;
  float slowmotionSpeedX5 = 0.0f;
  float holdingTime = 0.0f;
  uint32_t swingChannel = 0;
};

}  // namespace vd
