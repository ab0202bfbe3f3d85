#pragma once
// The player's visual and sound effects around its attacks. What the player
// controller needs of it so far: every state change stops the effects under way
// through Restart, and the two effect instances it may hold are let go.
#include <cstdint>

#include "engine/core/FactoryMaker.h"
#include "engine/core/StringHash.h"
#include "engine/objects/Component.h"

namespace vd {

class CPlayerEffects : public obj::CComponent<CPlayerEffects> {
public:
  static const CStringHash& GetClassName();

  CPlayerEffects() = default;
  ~CPlayerEffects() override;
  CPlayerEffects& operator=(const CPlayerEffects& other) = default;

  void Load(rapidxml::xml_node<>* element) override { (void)element; }
  bool HasContent() override { return true; }
  // Stops what runs: nothing runs yet.
  void Restart() override {}
  bool Update(float dt) override {
    (void)dt;
    return true;
  }
  bool Init() override { return true; }
  void Reset() override {}

  // What the attacks ask of the effects around their steps and finishers.
  void ShowWeaponLight() {}
  void HideWeaponLight() {}
  void StartRingCrown() {}
  void StopRingCrown() {}
  void StartRocks() {}
  void ShowRocks() {}
  void StartSemisphere() {}
  void StopSemisphere() {}
  void StartWeaponSparks() {}
  void StartTurbulence() {}
  void UpdateTurbulence(float dt) { (void)dt; }
  void StopTurbulence() {}
  void StartGas() {}
  void ApplyGasDamage() {}
  void StopGas() {}
  void StartGrenadeThrow() {}
  void CancelGrenadeThrow() {}
};

}  // namespace vd
