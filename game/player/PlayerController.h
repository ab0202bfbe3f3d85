#pragma once
// The component of the object "player" that turns the input actions into the
// character's behaviour: its numbers (life, gas, grenades, speeds, turning rates),
// a state machine of 23 states run once a frame, and the movement through its
// character collider and the root motion of its actions.
#include <cstdint>

#include "engine/animation/Animator.h"
#include "engine/core/FactoryMaker.h"
#include "engine/core/StringHash.h"
#include "engine/objects/Component.h"
#include "platform/math/Vector.h"

namespace vd {
namespace gfx {
class CTransform;
}
namespace phy {
class CCharacterCollider;
}
namespace lgc {
class CTracker;
}
namespace sys {
class CTimer;
}
namespace obj {
class CGameObject;
}
namespace evn {
struct SCollisionSides;
class CEventExplosion;
class CEventShockWave;
class CEventEnemyAttack;
}  // namespace evn

class CInputManager;
class CComboController;
class CWeaponController;
class CFightSlotMgr;
class CPlayerEffects;

// A finishing move as the level tunes it.
struct SFatalityRecord {
  anm::COwnedName animation;   // the key's own name, "fatality_01"...
  anm::COwnedName targetType;  // "zombie", "mutant" or "krauser"
  anm::COwnedName victim;
  plat::Vec3 playerPosition;  // where the victim stands, in the player's frame
  float duration = 0.0f;
  float killFrame = 0.0f;
};

class CPlayerController : public obj::CComponent<CPlayerController> {
public:
  enum EState : int {
    kIdle = 1,
    kIdleCombat,
    kIdleCinematic,
    kRun,
    kRunCinematic,
    kWalk,
    kWalkCinematic,
    kEvade,
    kCover,
    kCoverOut,
    kCoverHit,
    kFatality,
    kCombo,
    kComboAuto1,
    kComboAuto2,
    kSpecialAttack1,
    kSpecialAttack2,
    kUse,
    kCinematicAction,
    kHit,
    kExplosionHit,
    kDying,
    kCorpse,
  };
  static constexpr int kStateCount = 23;
  // The acceleration of the run speed, in units per second per second.
  static constexpr float kSpeedGain = 13.0f;
  // The yaw the player faces after a restart.
  static constexpr float kRestartYaw = 3.14159274f;
  // How long an explosion's hit keeps the screen effect on, in seconds.
  static constexpr float kFlashTime = 0.5f;

  static const CStringHash& GetClassName();
  // The script API's name of a state ("idle", "run"...); null for 21 and for
  // numbers outside 1..23.
  static const char* GetStateName(int state);
  // The number of a state name (any letter case); 0 for an unknown name.
  static int GetStateByName(const char* name);

  CPlayerController() = default;
  ~CPlayerController() override;
  CPlayerController& operator=(const CPlayerController& other) = default;

  // --- Component ----------------------------------------------------------------
  // The tuning keys, then the current difficulty's (see SetDifficulty).
  void Load(rapidxml::xml_node<>* element) override;
  bool HasContent() override { return true; }
  // Back to the start of a life: start position, facing yaw pi, idle_combat.
  void Restart() override;
  void SetEnabled(bool enabled, bool fromCheckPoint) override;
  bool Update(float dt) override;
  // Contacts (walls, enemies' bodies and weapons), enemy attacks, shock waves,
  // explosions, usable objects, the HUD's numbers and the end of cinematics.
  void HandleEvent(evn::IEvent* event) override;
  bool Init() override;
  void Reset() override;

  // --- Operations -----------------------------------------------------------------
  // From outside (scripts, the combo controller, game states): the new state
  // runs its entry actions on the next Update; what plays and the weapon are
  // stopped. Handlers only assign `state`.
  void SetState(int newState);
  // The scripted moves (states 5 and 7) walk the object's "CTracker".
  void FollowTracker(obj::CGameObject* trackerObject);
  // Plays a scripted action over a cycle, then stands (states 19, then 3).
  void PerformCinematicAction(const char* cycle, const char* action, bool lock);
  // Chooses or keeps the enemy aimed at, within maxDistance and the aim's cone,
  // and turns the player towards it; in fatality mode only enemies that offer a
  // finishing move are chosen.
  void AutoAim(float maxDistance, bool fatalityMode);

  // Where the camera-relative directions come from: the yaw of the transform of
  // the object "main_camera"; the yaw last used when there is none.
  float GetCameraYaw() const;

  // The dash of an evade whose wanted direction lies `a` radians from the facing,
  // the angle growing towards the figure's right (-x in its own frame: y up,
  // right-handed), so that each dash carries the figure the way it was sent.
  static const char* DashForAngle(float a);

  // The difficulty whose keys Load reads over the ordinary ones (the game's
  // first option); normal until the game says otherwise.
  static void SetDifficulty(int difficulty);
  static int GetDifficulty();

  // Whether the keys and the pad reach the player (and his combos): not behind the
  // loading screen, only once play begins. Accepted until the game says otherwise.
  static void SetInputAccepted(bool accepted);
  // The game's input manager while input is accepted, else null.
  static const CInputManager* AcceptedInput();

  // Where the use prompt goes: the HUD's button, shown with that texture, or
  // hidden (null). Without a hook the prompt is only remembered in usePromptShown.
  using UsePromptHook = void (*)(const char* button);
  static void SetUsePromptHook(UsePromptHook hook);

  // --- Siblings (borrowed between Init and Reset) ---------------------------------
  gfx::CTransform* transform = nullptr;
  anm::CAnimator* animator = nullptr;
  phy::CCharacterCollider* collider = nullptr;
  CComboController* combo = nullptr;
  CWeaponController* weapon = nullptr;
  CFightSlotMgr* fightSlots = nullptr;
  obj::IComponent* weaponRenderer1 = nullptr;
  obj::IComponent* weaponRenderer2 = nullptr;
  CPlayerEffects* effects = nullptr;

  // --- State machine --------------------------------------------------------------
  int state = kIdleCombat;
  int previousState = kIdleCombat;
  float frameTime = 0.0f;
  float stateTimer = 0.0f;
  float idleTimer = 0.0f;
  float stateDuration = 0.0f;
  float timeToIdle = 0.0f;
  int life = 0;

  // --- Movement -------------------------------------------------------------------
  plat::Vec3 moveDirection;
  plat::Vec3 previousMoveDirection;
  plat::Vec3 velocity;
  float referenceYaw = 0.0f;
  float runSpeed = 0.0f;
  float currentSpeed = 0.0f;
  float walkSpeed = 0.0f;
  float evadeSpeed = 0.0f;
  // Fractions (0..1) of the remaining turn, handed to the transform.
  float fasterRotSpeed = 0.0f;
  float fastRotSpeed = 0.0f;
  float slowRotSpeed = 0.0f;
  float comboRotSpeed = 0.0f;

  // --- Hits and fights ------------------------------------------------------------
  int pendingDamage = 0;
  uint8_t coverHitAgain = 0;
  anm::COwnedName lastEnemyAttack;
  plat::Vec3 shockWaveOrigin;
  float hitInterval = 0.0f;
  float sinceHit = 0.0f;
  SFatalityRecord fatalities[4];
  SFatalityRecord currentFatality;
  plat::Vec3 fatalityPoint;
  uint8_t fatalityPlaced = 0;
  uint8_t fatalityStarted = 0;
  float fatalityMaxDist = 0.0f;
  float autoAimYawAngle = 0.0f;
  float autoAimMaxDist = 0.0f;
  uint8_t targetLocked = 0;
  obj::CGameObject* target = nullptr;

  // --- Specials -------------------------------------------------------------------
  float gas = 0.0f;
  float gasConsumption = 0.0f;
  float gasConstantConsumption = 0.0f;
  uint8_t gasApplied = 0;
  float gasIn = 0.0f;
  float gasStart = 0.0f;
  float gasOver = 0.0f;
  int grenades = 0;
  float grenadesSlowmotionIn = 0.0f;
  float grenadesSlowmotionOut = 0.0f;
  float grenadesSlowmotionSpeed = 0.0f;
  float grenadesIn = 0.0f;
  // The timer whose slow motion the throw switches (the application's, found by
  // Init); whether the slow motion on is the throw's; whether this throw has
  // spent its grenade.
  sys::CTimer* slowMotionTimer = nullptr;
  uint8_t grenadeSlowMotion = 0;
  uint8_t grenadeSpent = 0;

  // --- Walls ----------------------------------------------------------------------
  int wallContact = 0;
  int previousWallContact = 0;
  float wallFacing = 0.0f;

  // --- Use of objects -------------------------------------------------------------
  uint8_t useInRange = 0;
  uint8_t useActive = 0;
  uint8_t usePromptShown = 0;
  uint8_t usePlaced = 0;
  anm::COwnedName useObject;
  anm::COwnedName useObjectAnimation;
  anm::COwnedName usePlayerAnimation;
  plat::Vec3 useRelativePosition;
  plat::Vec3 useStandPoint;
  plat::Vec3 useLookAtLocal;
  plat::Vec3 useLookAt;

  // --- Screen flash, sounds -------------------------------------------------------
  uint8_t flashActive = 0;
  float flashTimer = 0.0f;
  uint32_t footstepChannel = 0;
  // The current attack voice; the combo controller keeps and stops it.
  uint32_t voiceChannel = 0;
  uint8_t footstepsStopped = 0;

  // --- Scripted paths -------------------------------------------------------------
  lgc::CTracker* tracker = nullptr;
  anm::COwnedName trackerName;
  uint32_t waypointIndex = 0;
  plat::Vec3 waypoint;
  plat::Vec3 startPosition;
  uint8_t firstExplosionHit = 1;
  // The object that sent the shock wave being waited for, by id: it may be gone
  // when the wave arrives.
  int shockWaveSource = -1;

private:
  // The state handlers of standing, moving and guarding.
  void UpdateIdle();
  void UpdateIdleCombat();
  void UpdateIdleCinematic();
  void UpdateRun();
  void UpdateScriptedMove();
  void UpdateEvade();
  void UpdateCover();
  void UpdateCoverOut();
  void UpdateCoverHit();
  // Combo: steering between hit windows and the interruptions of the chain.
  void UpdateCombo();
  // The two automatic attacks (states 14 and 15).
  void UpdateAutoAttack();
  // The gas special (16) and the grenade throw (17).
  void UpdateGasAttack();
  void UpdateGrenadeThrow();
  void EndGrenadeSlowMotion();
  // Hits, death, fatalities and the use of objects.
  void UpdateHit();
  void UpdateCorpse();
  void UpdateFatality();
  void UpdateUse();
  void UpdateUsePrompt();
  void HideUsePrompt();
  void HandleReactionEvent(evn::IEvent* event);
  void WallStrike(const evn::SCollisionSides& sides);
  void OnExplosion(const evn::CEventExplosion& explosion);
  void OnShockWave(const evn::CEventShockWave& wave);
  void OnEnemyAttack(const evn::CEventEnemyAttack& attack);
  void HitReaction(obj::CGameObject* attacker, const CStringHash& attackType);
  bool ComboProtects(const obj::CGameObject& attacker) const;
  void DropFatality();
  void EndFatality(int newState);
  void HoldFightSlots();
  void WeaponsOff();
  void TurnTowards(const plat::Vec3& point);
  // The render manager's screen effect; switched on from off, its animation
  // starts again.
  void SetScreenEffect(bool on);
  void PostShake(const obj::CGameObject& attacker);
  // Shared steps.
  bool Entering();
  void ActionTests(bool running);
  void StartMoving();
  void UpdateDirection();
  plat::Vec3 InputDirection(float yaw) const;
  void StopFootsteps();
  uint32_t PlaySound(const char* name, bool loop);
  void BlendCycle(const char* name, float delay = 0.05f, float clearDelay = 0.25f);
  float Duration(const char* name) const;
  void QueueWeaponRenderers(bool enable);
  void Subscribe(bool on);

  // Input helpers over the input manager's slots; all false without one.
  bool Pressed(int slot) const;
  bool Released(int slot) const;
  float Value(int slot) const;
  bool AnyPressed(int first, int last) const;
  bool AnyValue(int first, int last) const;
  bool AllValuesZero(int first, int last) const;
  bool AnyReleasedMove() const;

  uint8_t m_subscribed = 0;
};

// The makers of the player object's own components: "CPlayerController",
// "CWeaponController", "CComboController", "CPlayerEffects", "CFightSlotMgr".
void RegisterPlayerComponentFactories(utl::FactoryMap<obj::IComponent>& makers);
void UnregisterPlayerComponentFactories(utl::FactoryMap<obj::IComponent>& makers);

}  // namespace vd
