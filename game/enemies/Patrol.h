#pragma once
// The base of every enemy component: a (state, substate) machine and its driver,
// the links to the sibling components and to the player, walking and turning, four
// play-list slots that run scripted routines, the cycles and actions the level
// scripts ask for, and the base hit, death and corpse fade. The kinds (the zombie
// and mutant fighter, the boss) handle their own states and call these for the rest.
//
// States: 0 go to the initial pair, 1 cycle, 4 corpse, 5 scripted cycle, 6 scripted
// action, 7 play list (substate: the slot), 8 start delay, 9 walk to a waypoint,
// 10 choose the next waypoint, 32 hit, 35 death, 36 corpse fade.
#include <cstdint>
#include <string>

#include "engine/animation/Animator.h"
#include "engine/core/StringHash.h"
#include "engine/objects/Component.h"
#include "game/enemies/PlayList.h"
#include "platform/math/Vector.h"

namespace vd {
namespace gfx {
class CTransform;
class CRenderer;
}  // namespace gfx
namespace phy {
class CCharacterCollider;
}
namespace ptc {
class IParticleSystem;
}
namespace obj {
class CGameObject;
}

class CAIManager;
class CWeaponController;

struct SAIState {
  int32_t state = 0;
  int32_t subState = 0;
  bool operator==(const SAIState& o) const { return state == o.state && subState == o.subState; }
  bool operator!=(const SAIState& o) const { return !(*this == o); }
};

struct SPlayListSlot {
  anm::COwnedName name;
  const SPlayList* playList = nullptr;
  int32_t startIndex = 0;
  float startTimeDelay = 0.0f;
  uint8_t loop = 0;
  anm::COwnedName seqName;
  anm::COwnedName nextSeq;
  uint8_t lock = 0;
  uint8_t isStatic = 0;
  uint8_t floorCollision = 1;
  uint8_t wallCollision = 1;
  lgc::CTracker* tracker = nullptr;
  int32_t trackerMode = 2;

  // Empty, keeping the name.
  void Clear();
};

// What the actor asks of its figure's animations. The game's figures answer
// through their animator; tests record the calls.
class IActorAnimation {
public:
  virtual ~IActorAnimation() = default;
  virtual void BlendCycle(const CStringHash& name, float weight, float delay, float clearDelay) = 0;
  virtual void ExecuteAction(const CStringHash& name, float weight, float delayIn, float delayOut,
                             bool lock) = 0;
  virtual void ClearActions() = 0;
  virtual void ClearLockedActions() = 0;
  // Stops the cycle that plays, if any.
  virtual void StopCycle() = 0;
  // Seconds; 0 for a name the figure does not have.
  virtual float GetDuration(const CStringHash& name) const = 0;
  virtual void SetStatic(bool on) = 0;
  virtual void SetPaused(bool on) = 0;
  // One update with no time passing, so that a new pose shows at once.
  virtual void Settle() = 0;
};

// Through the owner's animator; nothing without one.
class CAnimatorAnimation final : public IActorAnimation {
public:
  void BlendCycle(const CStringHash& name, float weight, float delay, float clearDelay) override;
  void ExecuteAction(const CStringHash& name, float weight, float delayIn, float delayOut,
                     bool lock) override;
  void ClearActions() override;
  void ClearLockedActions() override;
  void StopCycle() override;
  float GetDuration(const CStringHash& name) const override;
  void SetStatic(bool on) override;
  void SetPaused(bool on) override;
  void Settle() override;

  anm::CAnimator* animator = nullptr;
};

// A marker: every enemy component is one.
class IAIActor : public obj::IComponent {};

class CPatrol : public IAIActor {
public:
  static constexpr float kLargest = 3.4028235e38f;

  CPatrol();
  ~CPatrol() override;
  CPatrol& operator=(const CPatrol& other) = default;

  // --- Component --------------------------------------------------------------
  // The base hit reaction and the start of a sequence slot.
  void HandleEvent(evn::IEvent* event) override;
  // The keys every enemy reads (group, zone, speeds, play lists...).
  void Load(rapidxml::xml_node<>* element) override;
  bool HasContent() override { return true; }
  void SetEnabled(bool enabled, bool fromCheckPoint) override;
  bool Update(float dt) override;
  void OnBeforeRestore() override {}
  void OnAfterRestore() override;
  // Binds the enemy to the level's AI manager.
  bool BeginOverride() override;
  bool Init() override;
  void Reset() override;

  // --- State driver -----------------------------------------------------------
  // The one road by which the pair changes; false when refused (locked, already
  // there, or a corpse). While a play list runs the change waits behind its exit
  // entries and the result is true.
  bool ChangeState(int state, int subState, bool force);
  // Back to (0, 0) at once, animations and weapons cleared. Lua "Reset".
  void ResetState();

  // --- Lua methods ------------------------------------------------------------
  // A name the AI manager does not know is state 0.
  void SetStateByName(const char* name, int subState, bool force);
  void ExecuteCycle(const char* name);
  void ExecuteAction(const char* name, const char* id);
  void ExecuteActionEx(const char* name, const char* id, bool lock, float delayIn, float delayOut);
  void FaceTo(float x, float z, float speed);
  void TurnToYaw(float degrees, float speed);
  void EnableCollisions(bool on) { collisionsEnabled = on ? 1 : 0; }
  // The kind by name ("zombie", "mutant", "krauser"); false for another name.
  bool SetPlayList1(const char* kindName, const char* name, int group, int id, int startIndex,
                    float startTimeDelay, bool loop, bool isStatic, bool floorCollision,
                    bool wallCollision);
  bool SetPlayList2(const char* kindName, const char* name, int group, int id,
                    const char* trackerObject, const char* trackerCycle, const char* seqName,
                    const char* nextSeq, bool lock);

  // --- Play lists ---------------------------------------------------------------
  virtual bool StorePlayList1(int kind, const char* name, int group, int id, int startIndex,
                              float startTimeDelay, bool loop, bool isStatic, bool floorCollision,
                              bool wallCollision);
  virtual bool StorePlayList2(int kind, const char* name, int group, int id,
                              const char* trackerObject, const CStringHash& trackerCycle,
                              const CStringHash& seqName, const CStringHash& nextSeq, bool lock);
  // After a checkpoint restore (true) or a disable without state (false).
  virtual void RestoreAnimation(bool afterRestore) { (void)afterRestore; }
  // Slot 1 to 4; null for another number.
  virtual SPlayListSlot* GetPlayList(int index);
  // The running list has played its last entry: whether the machine takes the end
  // (true) and whether the list goes on from its first entry (*advance).
  virtual bool EndPlayList(bool* advance);

  // --- Wiring -------------------------------------------------------------------
  // The figure's animations; the animator's unless a test sets its own (not copied).
  IActorAnimation& Animation() { return m_animationOverride ? *m_animationOverride : m_animator; }
  void SetAnimation(IActorAnimation* animation) { m_animationOverride = animation; }
  // The AI manager the enemy works with: the one it was bound to while that is the
  // level's, the level's when it is not bound; null otherwise.
  CAIManager* Manager() const;
  // The difficulty the next Load reads its difficulty keys in (0 easy, 1 normal, 2 hard).
  static void SetDifficulty(int difficulty);
  static int GetDifficulty();

  // --- Fields -------------------------------------------------------------------
  SAIState initial{7, 1};
  SAIState current;
  SAIState previous;
  SAIState lastHandled;
  SAIState beforeChange;
  uint8_t clearAnimationsRequest = 0;
  SAIState pending{1, 0};
  int32_t kind = 0;
  float frameTime = 0.0f;
  float stateTime = 0.0f;
  CAIManager* aiManager = nullptr;
  gfx::CTransform* transform = nullptr;
  phy::CCharacterCollider* characterCollider = nullptr;
  anm::CAnimator* animator = nullptr;
  gfx::CRenderer* renderer = nullptr;
  CWeaponController* weaponController = nullptr;
  obj::CGameObject* player = nullptr;
  gfx::CTransform* playerTransform = nullptr;
  uint8_t activeAtDifficulty = 1;
  int32_t group = 0;
  int32_t zone = 0;
  uint8_t startsAsCorpse = 0;
  float corpseFadeRate = 1.0f;
  float corpseAlpha = 1.0f;
  int32_t life = 0;
  anm::COwnedName runAnimation{"run_01"};
  float runSpeed = 7.0f;
  float moveSpeed = 0.0f;
  float walkSpeed = 2.0f;
  float turnSpeedMove = 3.0f;
  float turnSpeedFight = 0.0f;
  lgc::CTracker* tracker = nullptr;
  anm::COwnedName trackerObjectName;  // reported by "OnReachPos"
  int32_t trackerMode = 2;
  uint8_t stopAtWaypoint = 0;
  int32_t waypointIndex = 0;
  plat::Vec3 targetPoint;
  uint8_t pingPongForward = 1;
  uint8_t turning = 0;
  float targetYaw = 0.0f;
  float turnSpeed = 0.0f;
  uint8_t collisionsEnabled = 1;
  SPlayListSlot playListSlots[4];
  // The slot whose list runs (its number), 0 for none; the running entries are
  // that slot's exit entries when activeExit is set, else its entries.
  int32_t activeSlot = 0;
  uint8_t activeExit = 0;
  int32_t entryIndex = 0;
  uint8_t exitPending = 0;
  float startDelay = 0.0f;
  uint8_t locked = 0;
  anm::COwnedName stepName;
  anm::COwnedName cycleName{"idle_01"};
  anm::COwnedName actionAnimation;
  std::string actionId;
  anm::COwnedName requestedAction;
  uint8_t requestedLocked = 0;
  float requestedDelayIn = 0.25f;
  float requestedDelayOut = 0.25f;
  float stepDuration = 0.0f;
  uint8_t keepStateTime = 0;
  ptc::IParticleSystem* deathEffect = nullptr;
  // The smoke is a system of another object, taken by its kind: when the level goes it
  // may be destroyed before this one, so it is touched only while still listed.
  bool DeathEffectAlive() const { return StillListed(deathEffect); }
  // Whether a system borrowed from the particle manager still exists (the pointer is
  // compared, never read through).
  static bool StillListed(const ptc::IParticleSystem* system);

protected:
  // The base driver's steps, for the kinds' own drivers.
  void BeginFrame(float dt);
  // Runs the handler of the current state; true when the state is one of the base's.
  bool RunBaseHandler(int state);
  void EndFrame(const SAIState& atEntry);
  bool Entering() const { return current != lastHandled; }

  void UpdateCycle();
  void UpdateCorpse();
  void UpdateScriptedCycle();
  void UpdateAction();
  void UpdatePlayList();
  void UpdateStartDelay();
  void UpdateWalk();
  void UpdateNextWaypoint();
  void UpdateHit();
  void UpdateDeath();
  void UpdateCorpseFade();
  void UpdateTurning();

  // The list of the active slot that runs now, or null.
  const std::vector<SPlayListEntry>* ActiveEntries();
  void ClearActiveList() {
    activeSlot = 0;
    activeExit = 0;
  }
  void SwitchWeaponsOff();
  void PostAction(const char* name, const char* id, bool begin, const SPlayListSlot* slot);
  void SetColorFactor(float value);
  const char* OwnerName() const;
  // The animation's length through the figure (0 when it has none).
  float Duration(const CStringHash& name) { return Animation().GetDuration(name); }
  // Applies the pending pair and empties the running list.
  void ApplyPending();
  // A shared tracker or an entry's tracker by object name; null when none.
  static lgc::CTracker* FindTracker(const char* objectName);

private:
  bool StartSequence(const CStringHash& name);
  void Subscribe(bool on);
  // One entry of the running list; false when processing stops for this frame.
  bool ProcessEntry(const SPlayListEntry& entry, const SPlayListSlot& slot);
  void ApplySlotFlags(const SPlayListSlot& slot);

  CAnimatorAnimation m_animator;
  IActorAnimation* m_animationOverride = nullptr;
  uint8_t m_subscribed = 0;
};

}  // namespace vd
