#pragma once
// Particle systems: what the game switches on, places, moves and restarts. A
// system shows up to ten emitters at its transform, with its rotation, alignment,
// alpha, life span and zone mask. The follower is a system that flies to a named
// object and fades as it arrives: the life and gas orbs the player collects.
#include <cstdint>

#include "engine/core/StringHash.h"
#include "engine/objects/Component.h"
#include "engine/objects/Renderer.h"
#include "engine/render/ParticleBatch.h"
#include "engine/render/particles/Particle.h"

namespace vd {
namespace gfx {
class CTransform;
}
namespace ptc {

class CParticleSysManager;
class IParticleSubSystem;

// Billboard alignment of a system.
enum EParticleAlign : int32_t { kAlignViewPoint = 0, kAlignViewPointVertical = 1, kAlignViewPlane = 2 };

class IParticleSystem : public obj::IComponent {
public:
  IParticleSystem();
  ~IParticleSystem() override;
  IParticleSystem& operator=(const IParticleSystem& other);

  const CStringHash& GetFamilyType() const override;
  void Load(rapidxml::xml_node<>* element) override;
  bool HasContent() override;
  // The component restart: the system restart without force, then inactive.
  void Restart() override;
  bool Init() override;
  void Reset() override;

  virtual gfx::CTransform* GetTransform() const;
  // Restarts each emitter (force passed on), then alpha 1, active, elapsed 0.
  virtual void Restart(bool force);

  // --- System operations ---
  void LoadParam(uint32_t nameHash, const rapidxml::xml_node<>* key);
  void AddSubSystem(const char* id);
  void CopySubSystems(const char* systemName);
  void UpdateLife(float dt);
  void SetSubSystemsUpdate(bool flag);
  // True when the zone mask is negative or holds bit (current zone AND 31).
  bool ZoneTest() const;
  bool ZoneTest(int32_t zone) const;
  // The emitter of slot i from the manager (live first, then pending), linking
  // this system to it when it was not yet; null when the id is unknown.
  IParticleSubSystem* ResolveSubSystem(int i);
  void RotateMatrixTranslation(const plat::Mat4& matrix, plat::Mat4& out) const;
  void RotatePosition(float& x, float& y, float& z) const;
  float RotationOrder(int i) const { return static_cast<float>(rotationOrder[i]); }

  bool IsActive() const { return active != 0; }
  void SetActive(bool on) { active = on ? 1 : 0; }
  const CStringHash& GetId() const { return id.Get(); }
  const CStringHash& GetKind() const { return type.Get(); }
  // The system's world matrix and position (identity and origin without a transform).
  void GetPlacement(plat::Mat4& world, plat::Vec3& position) const;

  gfx::COwnedHash id;
  int32_t align = kAlignViewPlane;
  gfx::COwnedHash type;
  uint8_t registered = 0;
  uint8_t active = 0;
  int32_t subSystemCount = 0;
  gfx::COwnedHash subSystems[kMaxSubSystems];
  CParticleSysManager* manager = nullptr;
  int32_t rotationOrder[3] = {0, 1, 2};
  float rotation[3] = {0.0f, 0.0f, 0.0f};
  uint8_t rotateParticles = 0;
  float lifeTime = 0.0f;
  float fadeTime = 0.0f;
  float fadeRate = 0.0f;
  float alpha = 1.0f;
  float elapsed = 0.0f;
  int32_t zoneMask = -1;

private:
  void Unregister();
  // One log line per unknown emitter id and system.
  uint32_t m_loggedMissing = 0;
};

}  // namespace ptc

class CParticleSystemSimple : public obj::CComponent<CParticleSystemSimple, ptc::IParticleSystem> {
public:
  static const CStringHash& GetClassName();
  CParticleSystemSimple() = default;
  CParticleSystemSimple& operator=(const CParticleSystemSimple& other) {
    ptc::IParticleSystem::operator=(other);
    return *this;
  }
  bool Update(float dt) override;
};

class CParticleSystemFollower
    : public obj::CComponent<CParticleSystemFollower, ptc::IParticleSystem> {
public:
  // Targets nearer than this are snapped onto.
  static constexpr float kSnapDistance = 0.05f;

  static const CStringHash& GetClassName();
  CParticleSystemFollower() = default;
  CParticleSystemFollower& operator=(const CParticleSystemFollower& other);
  void Load(rapidxml::xml_node<>* element) override;
  bool Update(float dt) override;
  void Reset() override;

  // Ready to fly again (ActivateOrbParticle): not started, not fading, not
  // arrived, delay timer 0. The caller restarts and places it.
  void Rearm();
  bool HasArrived() const { return arrived != 0; }

  gfx::COwnedHash followed;
  float speed = 0.0f;
  float acceleration = 0.0f;
  float maxSpeed = 0.0f;
  float delay = 0.0f;
  float delayTimer = 0.0f;
  float step = 0.0f;
  float fadeStartDistance = 0.0f;
  float fadeRatePerUpdate = 0.0f;
  float heightBias = 0.0f;
  uint8_t arrived = 0;
};

// The makers of the three component classes.
void RegisterParticleFactories(utl::FactoryMap<obj::IComponent>& makers);

}  // namespace vd
