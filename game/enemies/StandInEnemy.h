#pragma once
// A stand-in fighter, until the level's real enemies exist: a figure that stands
// its ground, turns to the player, swings its sword at it when it is near, takes
// the player's blows, offers a finishing move when it is weak and dies once.
// It is not the enemies' behaviour (no patrols, play lists, fight slots or AI
// tuning); it gives the player's side of the fight something real to meet.
//
// It joins the enemies' manager's list while enabled, counts what reaches it
// from the player (attack announcements and weapon contacts) so that tests can
// read them, and answers the player's aim and finishing moves as a fighter.
//
// Keys: "life" (int), "fatality_life" (int: at or below it the figure offers a
// finishing move), "attack_interval" (seconds between swings), "attack_range"
// and "sight_range" (metres), "attack_in" and "attack_out" (fractions of the
// swing during which its weapon's volumes are in the world), "attack_angle"
// (radians: the half-cone of its announced swing), "turn_rate" (fraction of the
// remaining turn per frame), "tint" (X Y Z W: its figure's colour factor). The damage a swing does
// is the object's script value "damage", which the player reads itself.
#include <cstdint>

#include "engine/core/FactoryMaker.h"
#include "engine/core/StringHash.h"
#include "engine/objects/Component.h"
#include "game/player/EnemyList.h"
#include "platform/math/Vector.h"

namespace vd {
namespace gfx {
class CTransform;
}
namespace anm {
class CAnimator;
}

class CWeaponController;

class CStandInEnemy : public obj::CComponent<CStandInEnemy>, public IEnemyFighter {
public:
  enum EState : int {
    kFighting = 1,
    kSwinging = 2,
    kFinished = 3,  // in the player's finishing move
    kDying = IEnemyFighter::kStateDying,
    kDead = IEnemyFighter::kStateDead,
  };
  // How long the figure takes to fall, and how long the fallen body stays.
  static constexpr float kFallTime = 0.6f;
  static constexpr float kBodyTime = 4.0f;
  // An explosion hurts only a figure that no blow has reached for this long (s).
  static constexpr float kHitGap = 0.5f;

  static const CStringHash& GetClassName();

  CStandInEnemy() = default;
  ~CStandInEnemy() override;
  CStandInEnemy& operator=(const CStandInEnemy& other) = default;

  void Load(rapidxml::xml_node<>* element) override;
  bool HasContent() override { return true; }
  // Back to full life, standing where it was placed.
  void Restart() override;
  // Joins the enemies' manager's list and its events while enabled.
  void SetEnabled(bool enabled, bool fromCheckPoint) override;
  bool Update(float dt) override;
  // "OnPlayerAttack", "OnCollisionEnter", "OnFatality" and "OnExplosion".
  void HandleEvent(evn::IEvent* event) override;
  bool Init() override;
  void Reset() override;

  // --- IEnemyFighter --------------------------------------------------------------
  bool IsActive() const override { return m_enabled != 0 && state != kDying && state != kDead; }
  bool IsLocked() const override { return locked != 0; }
  void SetLocked(bool on) override { locked = on ? 1 : 0; }
  bool IsReadyForFatality() const override;
  int GetState() const override { return state; }
  int GetSubState() const override { return subState; }
  // Refused while locked or already in that state. (3, 0) puts it in the
  // player's hands until the finishing move kills it.
  bool RequestState(int newState, int newSubState) override;

  // Takes a blow of `damage`; dies when its life runs out. False when it could
  // not be hurt (not active, or in a finishing move).
  bool TakeHit(int damage);

  // --- Tuning -----------------------------------------------------------------------
  int startLife = 100;
  int fatalityLife = 30;
  float attackInterval = 2.5f;
  float attackRange = 1.8f;
  float sightRange = 12.0f;
  float attackIn = 0.35f;
  float attackOut = 0.6f;
  float attackAngle = 0.8f;
  float turnRate = 0.1f;
  // The colour factor of its figure (key "tint", X Y Z W).
  plat::Vec4 tint{1.0f, 1.0f, 1.0f, 1.0f};

  // --- State ------------------------------------------------------------------------
  int life = 100;
  int state = kFighting;
  int subState = 0;
  uint8_t locked = 0;
  // Set by the player's announced attack, spent by the blow it lands: one hit a swing.
  uint8_t armed = 0;
  int armedDamage = 0;
  float stateTimer = 0.0f;
  float stateDuration = 0.0f;
  float sinceAttack = 0.0f;
  // Seconds since the last blow it took.
  float hitTimer = 0.0f;
  // The finishing move's kill time, counted down once the move has begun (< 0: none).
  float killTimer = -1.0f;
  uint8_t bodyRemoved = 0;

  // --- What reached it (read by tests) ----------------------------------------------
  int playerAttacksSeen = 0;
  int weaponContacts = 0;
  int hitsTaken = 0;
  int explosionsCaught = 0;
  int deaths = 0;

  // --- Siblings (borrowed between Init and Reset) -----------------------------------
  gfx::CTransform* transform = nullptr;
  anm::CAnimator* animator = nullptr;
  CWeaponController* weapon = nullptr;

private:
  void UpdateFighting(float dt);
  void UpdateSwinging(float dt);
  void UpdateFinished(float dt);
  void UpdateDying(float dt);
  void StartSwing();
  void Die();
  void WeaponOff();
  void Subscribe(bool on);
  void Register(bool on);

  plat::Vec3 m_startPosition;
  float m_startYaw = 0.0f;
  uint8_t m_subscribed = 0;
  uint8_t m_registered = 0;
};

// The maker of "CStandInEnemy".
void RegisterEnemyComponentFactories(utl::FactoryMap<obj::IComponent>& makers);
void UnregisterEnemyComponentFactories(utl::FactoryMap<obj::IComponent>& makers);

}  // namespace vd
