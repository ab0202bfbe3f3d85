#pragma once
// The mutants' grenades. Five grenade objects placed in the level, "grenade_01" to
// "grenade_05", are thrown when a mutant's play list opens one of the action
// windows "window_grenade_01" .. "window_grenade_06" (an "OnAction" event naming
// the thrower). The grenade starts on the thrower's spot, facing its way, and its
// own flight animation carries it along the path: at 35 % of the flight it shows
// with its trail and a throw sound, and where the animation ends it explodes with
// a particle burst, an "OnExplosion" that the player and the enemies apply to
// themselves, a camera shake that fades with the player's distance, and a sound.
//
// Held by the game world; Init when a level's objects exist, Update once a frame,
// both on the main thread.
#include <cstdint>

#include "engine/core/StringHash.h"
#include "engine/events/Event.h"
#include "platform/math/Vector.h"

namespace vd {
namespace obj {
class CGameObject;
class IComponent;
}  // namespace obj
namespace gfx {
class CTransform;
}
namespace anm {
class CAnimator;
}

class CGrenadesManager : public evn::IEventListener {
public:
  static constexpr int kGrenadeCount = 5;
  static constexpr int kWindowCount = 6;
  // The bone the flight animations move; the grenade is where it is.
  static constexpr const char* kBone = "mutant_granade01";
  // Part of the flight after which the grenade shows.
  static constexpr float kReleaseFraction = 0.35f;
  static constexpr float kExplosionRange = 5.0f;
  // The camera shakes within this distance of the blast, at most kShakePower.
  static constexpr float kShakeDistance = 17.5f;
  static constexpr float kShakePower = 2.5f;
  static constexpr float kShakeTime = 0.4f;
  static constexpr float kSoundMinDistance = 25.0f;
  static constexpr float kSoundMaxDistance = 75.0f;

  struct SGrenade {
    obj::CGameObject* object = nullptr;
    anm::CAnimator* animator = nullptr;
    obj::IComponent* renderer = nullptr;
    // The trail ("CWeaponRenderer"); a grenade without one flies without a trail.
    obj::IComponent* trail = nullptr;
    gfx::CTransform* transform = nullptr;
    float explosionTimer = 0.0f;  // seconds since the throw
    float explosionDelay = 0.0f;  // the flight animation's length
    float releaseTimer = 0.0f;
    float releaseDelay = 0.0f;
    uint8_t exploded = 0;
    uint8_t released = 0;
    // In flight: taken at the throw, so a second throw in the same frame takes
    // another grenade.
    uint8_t active = 0;
  };

  // The action windows and the flight animation each one plays, by index.
  static const char* const kWindowNames[kWindowCount];
  static const char* const kFlightNames[kWindowCount];
  // "grenade_01" .. "grenade_05".
  static const char* const kObjectNames[kGrenadeCount];

  CGrenadesManager() = default;
  // Stops listening to "OnAction".
  ~CGrenadesManager() override;
  CGrenadesManager(const CGrenadesManager&) = delete;
  CGrenadesManager& operator=(const CGrenadesManager&) = delete;

  // The level's grenade objects, all free: objects queued enabled with their
  // renderers and trails queued hidden. Listens to "OnAction" once, however often
  // it is called. Always true.
  bool Init();
  // Runs the release and explosion steps of the grenades in flight. Always true.
  bool Update(float dt);
  // Back to no level: stops listening and forgets the objects.
  void Reset();

  // "OnAction" with its begin flag set and one of the six window names throws.
  void HandleEvent(evn::IEvent* event) override;

  // Throws the first free grenade from the named object with the flight of window
  // `window` (0 .. 5). The slot thrown, or -1 when nothing was thrown (no free
  // grenade, no such thrower or window).
  int Throw(const char* throwerName, int window);

  bool IsInitialised() const { return m_initialised != 0; }
  const SGrenade& GetGrenade(int slot) const { return m_grenades[slot]; }

private:
  void ReleaseStep(SGrenade& grenade);
  void ExplosionStep(SGrenade& grenade);
  // The bone's place in the world, or the grenade's own without an animator.
  plat::Vec3 BonePosition(const SGrenade& grenade) const;
  void Listen(bool on);

  SGrenade m_grenades[kGrenadeCount];
  float m_frameTime = 0.0f;
  uint8_t m_initialised = 0;
  uint8_t m_subscribed = 0;
};

}  // namespace vd
