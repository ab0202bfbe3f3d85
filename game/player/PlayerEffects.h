#pragma once
// The player's visual and sound effects around its attacks and specials: the gas
// sweep and its kill test, the grenade throw with its bursts and the radial-blur
// pulse, the weapon light, the sparks and turbulence of the second auto attack,
// blood, and the shells of the finishers (ring and crown, rocks and semisphere).
// It owns no input and no state machine: the player and combo controllers start
// and stop the effects, and Update advances whatever runs. Scene objects and
// particle systems belong to the object and particle-system managers; only
// borrowed pointers are kept here, and objects are shown and hidden through the
// deferred queues.
#include <cstddef>
#include <cstdint>

#include "engine/core/FactoryMaker.h"
#include "engine/core/StringHash.h"
#include "engine/objects/Component.h"
#include "platform/math/Vector.h"

namespace vd {

namespace anm {
class CAnimator;
}
namespace gfx {
class CTransform;
class CRenderer;
}  // namespace gfx
namespace lig {
class CLight;
}
namespace obj {
class CGameObject;
}
namespace ptc {
class IParticleSystem;
}
class CPlayerController;

class CPlayerEffects : public obj::CComponent<CPlayerEffects> {
public:
  // The fighter state the gas sends its victims to.
  static constexpr int kGasDeathState = 35;
  static constexpr float kGasRange = 7.0f;
  static constexpr float kExplosionRange = 7.5f;
  static constexpr int kGrenadeBursts = 8;
  static constexpr float kBloodFollowTime = 1.0f;
  static constexpr float kSplashInterval = 1.0f;

  static const CStringHash& GetClassName();

  CPlayerEffects() = default;
  ~CPlayerEffects() override;
  CPlayerEffects& operator=(const CPlayerEffects& other) = default;

  // --- Component ----------------------------------------------------------------
  void Load(rapidxml::xml_node<>* element) override;
  bool HasContent() override { return true; }
  // Stops what runs: every player state change comes through here.
  void Restart() override;
  bool Update(float dt) override;
  bool Init() override;
  void Reset() override;

  // --- Gas special ----------------------------------------------------------------
  void StartGas();
  void ApplyGasDamage();
  // The gas system deactivated and let go (the end of the special).
  void StopGas();

  // --- Grenade special ------------------------------------------------------------
  void StartGrenadeThrow();
  void CancelGrenadeThrow();

  // --- Blood ----------------------------------------------------------------------
  void StartBlood();
  // Decals on the ground and on a wall behind the player; at most one a second.
  void SplashBlood(const plat::Vec3& direction);

  // --- Weapon light ---------------------------------------------------------------
  void ShowWeaponLight();
  void HideWeaponLight();

  // --- Second auto attack ---------------------------------------------------------
  void StartWeaponSparks();
  void StartTurbulence();
  // Called by the attack itself: the turbulence does not advance outside it.
  void UpdateTurbulence(float dt);
  void StopTurbulence();

  // --- Finishers ------------------------------------------------------------------
  void StartRingCrown();
  void StopRingCrown();
  void StartRocks();
  void ShowRocks();
  void StopRocks();
  void StartSemisphere();
  void StopSemisphere();

  // --- Parameters ("grenades_out" is kept but nothing uses it) -------------------
  float grenadesIn = 0.0f;
  float grenadesExplosion = 0.0f;
  float grenadesOut = 0.0f;
  plat::Vec3 grenadesPosition;

  // --- Siblings -------------------------------------------------------------------
  CPlayerController* controller = nullptr;
  gfx::CTransform* transform = nullptr;
  anm::CAnimator* animator = nullptr;

  // --- Gas ------------------------------------------------------------------------
  float gasSweepSpeed = 0.0f;
  float gasSweepAngle = 0.0f;
  ptc::IParticleSystem* gasSystem = nullptr;

  // --- Grenade --------------------------------------------------------------------
  obj::CGameObject* grenades = nullptr;
  gfx::CTransform* grenadesTransform = nullptr;
  anm::CAnimator* grenadesAnimator = nullptr;
  gfx::CRenderer* grenadesRenderer = nullptr;
  uint8_t throwActive = 0;
  uint8_t exploded = 0;
  // The grenade's show request is out: one grunt per throw even while the request
  // waits for the next frame.
  uint8_t grenadeShown = 0;

  // --- Rocks ----------------------------------------------------------------------
  obj::CGameObject* rocks = nullptr;
  gfx::CTransform* rocksTransform = nullptr;
  anm::CAnimator* rocksAnimator = nullptr;
  gfx::CRenderer* rocksRenderer = nullptr;
  uint8_t rocksActive = 0;
  uint8_t rocksFading = 0;
  float rocksTimer = 0.0f;
  float rocksFadeStart = 0.0f;

  // --- Blood ----------------------------------------------------------------------
  ptc::IParticleSystem* bloodSystem = nullptr;
  float bloodTimer = 0.0f;

  // --- Weapon sparks --------------------------------------------------------------
  ptc::IParticleSystem* sparkSystems[2] = {nullptr, nullptr};
  float sparksLength = 0.0f;

  // --- Weapon light ---------------------------------------------------------------
  obj::CGameObject* weaponLight = nullptr;
  lig::CLight* weaponLightLight = nullptr;
  gfx::CTransform* weaponLightTransform = nullptr;
  uint8_t weaponLightLookedUp = 0;
  plat::Vec3 lightLow;
  plat::Vec3 lightRate;

  float splashTimer = 0.0f;

  // --- Semisphere -----------------------------------------------------------------
  uint8_t semisphereActive = 0;
  obj::CGameObject* semisphere = nullptr;
  gfx::CRenderer* semisphereRenderer = nullptr;
  gfx::CTransform* semisphereTransform = nullptr;
  float semisphereTimer = 0.0f;

  // --- Ring and crown -------------------------------------------------------------
  uint8_t ringCrownActive = 0;
  obj::CGameObject* ring = nullptr;
  gfx::CRenderer* ringRenderer = nullptr;
  gfx::CTransform* ringTransform = nullptr;
  obj::CGameObject* crown = nullptr;
  gfx::CRenderer* crownRenderer = nullptr;
  gfx::CTransform* crownTransform = nullptr;
  float ringCrownTimer = 0.0f;

  // --- Turbulence -----------------------------------------------------------------
  uint8_t turbulenceActive = 0;
  obj::CGameObject* turbulence = nullptr;
  gfx::CRenderer* turbulenceRenderer = nullptr;
  gfx::CTransform* turbulenceTransform = nullptr;
  float turbulenceTimer = 0.0f;
  float turbulenceAngle = 0.0f;

  // --- Radial blur ----------------------------------------------------------------
  float blurPulse = 0.0f;
  uint8_t blurRising = 0;

  // The weapon light's attenuation while a swing holds it dim.
  static const plat::Vec3 kLightHigh;
  static constexpr float kLightRate = 30.0f;

private:
  void UpdateGas(float dt);
  void UpdateGrenadeThrow();
  void ExplodeGrenade();
  void UpdateRadialBlur(float dt);
  void UpdateRocks();
  void UpdateSemisphere(float dt);
  void UpdateRingCrown(float dt);
  void UpdateWeaponSparks(float dt);
  void UpdateWeaponLight(float dt);
  void LookUpWeaponLight();
  void ReleaseSparks();
  // The bone's position in the world, through the player's world matrix.
  plat::Vec3 PlayerBone(const char* bone) const;
  float StateTimer() const;
  float StateDuration() const;
};

}  // namespace vd
