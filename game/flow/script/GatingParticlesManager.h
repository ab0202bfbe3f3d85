#pragma once
// The two particle walls that close the avenue and the back street until their
// zones are cleared. A level script asks for a wall to fade; the in-game frame
// lowers its alpha and switches it off once it is gone.
#include <cstdint>

struct lua_State;

namespace vd {

namespace ptc {
class CParticleSysManager;
class IParticleSystem;
}  // namespace ptc

class CGatingParticlesManager {
public:
  static constexpr const char* kAvenueName = "ps_gating_avenue_inst";
  static constexpr const char* kBackstreetName = "ps_gating_backstreet_inst";

  // No fades, no walls.
  void ClearFades();
  // When a level has finished loading: the fades cleared and both walls looked up
  // by name in `particles` (null: none there). A wall that is missing is said once.
  void FindSystems(ptc::CParticleSysManager* particles);

  // Starts (or, while one runs, re-rates) the fade of the wall of that name; other
  // names are ignored. A rate of 0 or less switches the wall off at once: it could
  // never fade. A wall the level did not load is said and nothing happens.
  void SmoothDisableGatingPS(const char* name, float rate);

  // Once a frame in play: each fading wall loses rate × dt of its alpha and is
  // switched off when none is left.
  void Update(float dt);

  float frameTime = 0.0f;
  uint8_t fadingAvenue = 0;
  uint8_t fadingBackstreet = 0;
  float fadeRateAvenue = 0.0f;
  float fadeRateBackstreet = 0.0f;
  ptc::IParticleSystem* avenue = nullptr;
  ptc::IParticleSystem* backstreet = nullptr;

private:
  // The missing walls a request has named since the level loaded (bit 0 the
  // avenue's, bit 1 the back street's): said once.
  uint8_t m_reportedMissing = 0;
  static void Fade(ptc::IParticleSystem*& system, uint8_t& fading, float& rate, float dt);
};

// The class "CGatingParticlesManager" ("SmoothDisableGatingPS") and the global
// "GetGatingParticlesManager", which answers `getter`'s manager (nil without one).
void RegisterGatingParticlesBindings(lua_State* state, CGatingParticlesManager* (*getter)());

}  // namespace vd
