#pragma once
// A particle emitter (a "subsystem" in the data): a fixed population of particles
// sampled from their descriptions, re-born in bursts, moved, turned, scaled and
// coloured once per frame when a system that shows it asks, and drawn by the
// particle pass once per such system.
#include <cstdint>
#include <memory>
#include <vector>

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
class IParticleSystem;

class IParticleSubSystem : public obj::IComponent, public gfx::IParticleSubsystem {
public:
  // Particles one emitter may hold: what its XML asks for beyond this is cut, with
  // a log line, so that a typo in a count cannot exhaust memory.
  static constexpr int kMaxParticles = 4096;

  IParticleSubSystem();
  ~IParticleSubSystem() override;
  IParticleSubSystem& operator=(const IParticleSubSystem& other);

  const CStringHash& GetFamilyType() const override;
  void Load(rapidxml::xml_node<>* element) override;
  bool HasContent() override { return initialised != 0; }
  void Restart() override { RestartParticles(false); }
  bool Update(float dt) override {
    UpdateParticles(dt);
    return true;
  }
  bool Init() override;
  void Reset() override;

  virtual gfx::CTransform* GetTransform() const;

  // --- Emitter operations ---
  // One key element (name hash given).
  void LoadParam(uint32_t nameHash, const rapidxml::xml_node<>* key);
  void SampleParticle(SParticle& particle);
  void AddParticles(const SParticle& description, int count, bool master);
  void UpdateParticles(float dt);
  void EmitParticles(float dt);
  void RestartParticles(bool force);
  void MoveParticle(SParticle& p, float dt) const;
  static void RotateParticle(SParticle& p, float dt);
  static void ScaleParticle(SParticle& p, float dt);
  static void ColorParticle(SParticle& p, float dt, float age);

  // Systems showing this emitter (at most kMaxInstances); false when full.
  bool AddInstance(IParticleSystem* system);
  void RemoveInstance(const IParticleSystem* system);
  int GetInstanceCount() const { return instanceCount; }
  IParticleSystem* GetInstance(int k) const { return k >= 0 && k < instanceCount ? instances[k] : nullptr; }

  // --- Drawing (gfx::IParticleSubsystem; render thread) ---
  // The live particles' records, unplaced: local position, scale, colour,
  // rotation, and the kept position of a detached particle (filled per system).
  const float* Records() const override;
  uint32_t RecordCount() const override { return static_cast<uint32_t>(live.size()); }
  bool IsDetached() const override { return detach != 0; }
  bool IsSoft() const override { return softParticles != 0; }
  bool ScalesVisibility() const override { return fadeBrightMode != 0; }
  float ColourIntensity() const override { return colorIntensity; }
  // Its device buffers are made at the first call.
  gfx::IVertexBuffer* ParticleBuffer() const override;
  size_t SystemCount() const override { return static_cast<size_t>(instanceCount); }
  // The first call of a draw (index 0) orders the systems farthest first.
  bool PrepareSystem(size_t index, const gfx::SCameraView& view, int zone,
                     gfx::SParticleSystemView& out) override;
  void PlaceBatch(size_t index, uint32_t first, uint32_t count, float* records) override;
  void SortSystemsByDistance(const plat::Vec3& eye);
  float GetMinSquaredDistance(const plat::Vec3& eye) const;
  int GetLiveParticleCount() const { return static_cast<int>(live.size()); }

  bool IsFinished() const { return finished != 0; }
  const CStringHash& GetId() const { return id.Get(); }
  const std::vector<SParticle>& GetParticles() const { return particles; }

  // --- Emitter state ---
  float elapsed = 0.0f;
  uint8_t updateRequest = 0;
  gfx::COwnedHash id;
  std::vector<SParticle> particles;
  std::vector<SParticle*> live;
  std::vector<SParticle*> dead;
  // Filled on the main thread, made on the device by the render thread.
  mutable std::unique_ptr<TParticlesVB> quads;
  CParticleSysManager* manager = nullptr;
  IParticleSystem* instances[kMaxInstances] = {};
  uint8_t registered = 0;
  uint8_t initialised = 0;
  int32_t instanceCount = 0;
  uint8_t finished = 0;
  uint8_t detach = 0;
  uint8_t fadeIn = 0, fadeOut = 0;
  float fadeInMax = 0.0f, fadeInMin = 0.0f, fadeOutMax = 0.0f, fadeOutMin = 0.0f;
  uint8_t finiteLife = 1;
  float longestLifetime = 0.0f;
  uint32_t randomPerBirth = 0;
  float accumulator = 0.0f;
  float periodMax = 0.0f, periodMin = 0.0f, period = 0.0f;
  int32_t numberMax = 0, numberMin = 0, number = 0;
  uint8_t wind = 0;
  plat::Vec3 windDir;
  uint8_t gravity = 0;
  plat::Vec3 gravityDir{0.0f, -9.81f, 0.0f};
  SParticle master;
  uint8_t hasMaster = 0;
  float initDelay = 0.0f, delay = 0.0f;
  uint8_t softParticles = 1;
  uint8_t noReborn = 0;
  float colorIntensity = 1.0f;
  float stopTime = 0.0f;
  uint32_t fadeBrightMode = 0;

protected:
  // The live and dead lists point into `particles`: a copy rebuilds its own.
  void RebuildLists();

private:
  mutable std::vector<float> m_records;

private:
  void ReadParticle(const rapidxml::xml_node<>* key);
  // The steps of LoadParam once the emitter has an id.
  void PrepareAndRegister();
  void Unregister();
};

}  // namespace ptc

class CParticleSubSystemSimple : public obj::CComponent<CParticleSubSystemSimple, ptc::IParticleSubSystem> {
public:
  static const CStringHash& GetClassName();
  CParticleSubSystemSimple() = default;
  ~CParticleSubSystemSimple() override = default;
  CParticleSubSystemSimple& operator=(const CParticleSubSystemSimple& other) {
    ptc::IParticleSubSystem::operator=(other);
    return *this;
  }
};


}  // namespace vd
