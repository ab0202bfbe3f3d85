#pragma once
// The boss's special attacks as the player sees them, on the boss's object. Five
// effect objects placed in the level and four kinds of particle system:
//   beam wave: a translucent half-sphere ("semisphere_krauser") that rises in front
//     of the boss, spins, grows and fades, with a dust puff ("puf_big"); and a ring
//     of rocks ("radial_rocks_krauser") that bursts from the ground by its own
//     animation and fades out;
//   ground beam: a line of rocks ("line_rocks_krauser") erupting ahead of the boss
//     by its own animation, with a puff line ("puf_line"), then fading;
//   ground kick: a ring ("ring_krauser") and a crown ("crown_krauser") at the boss's
//     feet, spinning opposite ways, growing and fading, with a puff ("puf_small");
//   blood ("krauser_blood") above the boss when he is hit.
// The boss starts each effect at the start or the strike of its attack and restarts
// this component at every change of its own state, which stops every effect. The
// fades write "gColorFactor"; the rocks draw blended ("skin_tech_alpha", among the
// particles) only while they fade, opaque ("skin_tech") otherwise.
#include <cstdint>

#include "engine/core/FactoryMaker.h"
#include "engine/core/StringHash.h"
#include "engine/objects/Component.h"
#include "platform/math/Vector.h"

namespace vd {
namespace obj {
class CGameObject;
}
namespace gfx {
class CTransform;
class CRenderer;
}  // namespace gfx
namespace anm {
class CAnimator;
}
namespace ptc {
class IParticleSystem;
}

class CKrauserEffects : public obj::CComponent<CKrauserEffects> {
public:
  // Beam wave: shown from, fading from, gone at (seconds after its start).
  static constexpr float kBeamShow = 1.366f;
  static constexpr float kBeamFade = 1.45f;
  static constexpr float kBeamEnd = 1.55f;
  // Ground kick: the same.
  static constexpr float kKickShow = 0.733f;
  static constexpr float kKickFade = 0.9f;
  static constexpr float kKickEnd = 0.95f;
  // Spin (degrees a second) and growth (scale a second) of the shells.
  static constexpr float kSpin = 36.0f;
  static constexpr float kGrowth = 8.0f;
  static constexpr float kStartScale = 0.25f;
  static constexpr float kShellAlpha = 0.8f;
  // How far ahead of the boss the half-sphere rises.
  static constexpr float kBeamAhead = 2.8f;
  // Fade lengths of the rocks.
  static constexpr float kRadialFade = 0.2f;
  static constexpr float kLineFade = 0.5f;

  // A ring or line of rocks: an animated effect object.
  struct SRocks {
    obj::CGameObject* object = nullptr;
    gfx::CTransform* transform = nullptr;
    anm::CAnimator* animator = nullptr;
    gfx::CRenderer* renderer = nullptr;
    uint8_t active = 0;
    // Drawing blended, its entries moved among the particles.
    uint8_t fading = 0;
    float timer = 0.0f;
    float fadeStart = 0.0f;
  };
  // A shell: a plain effect object.
  struct SShell {
    obj::CGameObject* object = nullptr;
    gfx::CRenderer* renderer = nullptr;
    gfx::CTransform* transform = nullptr;
  };

  static const CStringHash& GetClassName();

  CKrauserEffects() = default;
  ~CKrauserEffects() override;
  CKrauserEffects& operator=(const CKrauserEffects& other) = default;

  void Load(rapidxml::xml_node<>* element) override { (void)element; }
  bool HasContent() override { return true; }
  // Stops every effect at once.
  void Restart() override;
  bool Update(float dt) override;
  // The boss's transform and animator, and the effect objects by name.
  bool Init() override;
  void Reset() override;

  // --- Effects (the boss) ------------------------------------------------------------
  void StartBeamWave();
  void StartRadialRocks();
  void PlaceRadialRocks();
  void StartLineRocks();
  void PlaceLineRocks();
  void StartGroundKick();
  // Blood above the boss; tries again at the next hit while no system is free.
  void ShowBlood();
  void PlaceBlood();
  // Lets the held blood system go: the next hit takes a fresh one.
  void ForgetBlood() { m_blood = nullptr; }

  // --- Access ---------------------------------------------------------------------
  const SRocks& GetRadialRocks() const { return m_radial; }
  const SRocks& GetLineRocks() const { return m_line; }
  bool IsBeamWaveActive() const { return m_beamWaveActive != 0; }
  bool IsGroundKickActive() const { return m_groundKickActive != 0; }
  float GetBeamWaveTimer() const { return m_beamWaveTimer; }
  float GetGroundKickTimer() const { return m_groundKickTimer; }
  const SShell& GetSemisphere() const { return m_semisphere; }
  const SShell& GetRing() const { return m_ring; }
  const SShell& GetCrown() const { return m_crown; }
  ptc::IParticleSystem* GetBlood() const { return m_blood; }

private:
  void StartRocks(SRocks& rocks, const CStringHash& animation, float fadeBefore);
  void PlaceRocks(SRocks& rocks, const plat::Vec3& at);
  // fadeLength: seconds from full to nothing.
  void UpdateRocks(SRocks& rocks, float fadeLength, const CStringHash& animation);
  // Back to idle; entries moved among the particles for a fade go back to the meshes.
  void StopRocks(SRocks& rocks, const CStringHash& animation);
  void UpdateBeamWave(float dt);
  void UpdateGroundKick(float dt);
  void StopGroundKick();
  plat::Vec3 BossPosition() const;
  // A row of the boss's world matrix: 0 right, 2 forward.
  plat::Vec3 BossAxis(int row) const;
  float BossYaw() const;

  // The boss ("CKrauser") and its transform and animator.
  obj::IComponent* m_boss = nullptr;
  gfx::CTransform* m_transform = nullptr;
  anm::CAnimator* m_animator = nullptr;

  SRocks m_radial;
  SRocks m_line;
  ptc::IParticleSystem* m_blood = nullptr;

  uint8_t m_beamWaveActive = 0;
  SShell m_semisphere;
  float m_beamWaveTimer = 0.0f;

  uint8_t m_groundKickActive = 0;
  SShell m_ring;
  SShell m_crown;
  float m_groundKickTimer = 0.0f;
};

}  // namespace vd
