#pragma once
// The light component: a sun (parallel-split shadows), a point light (cube shadow
// map) or a spot light looking at its target, read from the object's XML and
// registered with the light manager when the object starts. A fire light flickers
// by moving and tinting itself every frame while the player is in its zone.
//
// Keys: "light_id", "light_type" (1 point, 2 spot, 3 sun), "behaviour" (2 casts
// shadows), "zmap_res", "light_color" (R, G, B), "light_att_eq_params" (X, Y, Z),
// "map_zone_id" (a script global naming a zone), "light_spot_exponent", "target"
// (X, Y, Z), "pssm" (num_splits, attenuation, alpha_scheme), "fov", "near", "far",
// "fire_shake" (1).
#include "engine/core/FactoryMaker.h"
#include "engine/render/lights/LightManager.h"

namespace vd {
namespace lig {

class CLight : public obj::CComponent<CLight, CAbstractLight> {
public:
  static const CStringHash& GetClassName();

  CLight() = default;
  ~CLight() override;
  // Member-wise, with an owned copy of the id text.
  CLight& operator=(const CLight& other);

  const CStringHash& GetFamilyType() const override { return GetClassName(); }
  void Load(rapidxml::xml_node<>* element) override;
  bool HasContent() override { return true; }
  // The fire flicker.
  bool Update(float dt) override;
  // Takes the template's settings; the shadow targets and the registration stay
  // this light's own.
  void CopyFrom(const obj::IComponent& source) override;
  void OnBeforeRestore() override;
  void OnAfterRestore() override;
  bool Init() override;
  void Reset() override;

  gfx::CTransform* GetTransform() const override;
  plat::Vec3 GetPosition() const override;
  void SetTarget(const plat::Vec3& target) override;
  void RegisterWithManager() override;
  void UnregisterFromManager() override;

  plat::Vec3 basePosition;
  plat::Vec3 baseAttenuation;
  plat::Vec3 baseColour;
  float flickerTime = 0.0f;
  uint8_t firstUpdate = 1;

private:
  // Back to the constructor's values; the shadow targets are deleted unless this
  // is a checkpoint copy (a copy shares the live light's).
  void Clear();
  // What a restore must not take from the copy: this light's own targets and its
  // registration.
  struct SOwn {
    gfx::CRenderTarget* shadowTarget = nullptr;
    gfx::CCubeRenderTarget* cubeShadowTarget = nullptr;
    uint8_t registered = 0;
    CLightManager* lightManager = nullptr;
  } m_own;
};

void RegisterLightFactory(utl::FactoryMap<obj::IComponent>& makers);
void UnregisterLightFactory(utl::FactoryMap<obj::IComponent>& makers);

}  // namespace lig
}  // namespace vd
