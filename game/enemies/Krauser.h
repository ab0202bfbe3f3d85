#pragma once
// The final boss ("CKrauser"): on top of the actor base's play lists and states he
// runs at his target, chooses among six ordinary attacks by distance, fires a
// special attack on a timer (ground kick, then ground beam after his first fall,
// beam wave after his second), taunts, takes cover, and falls down tired at 75 %,
// 37.5 % and 0 of his life. He never dies from damage: at 0 life he can only be
// finished by the player's fatality while he lies tired.
//
// Keys besides the actor base's: "taunt_period", "tired_period",
// "tired_damage_factor", "special_attack_period"; in the difficulty block
// "fight_decision_period_min", "fight_decision_period_max", "fight_prob_taunt",
// "fight_prob_approach", "fight_prob_attack" and "cover_prob".
//
// States besides the actor base's: 3 held for a fatality, 12 run, 16 stance, 17
// attack, 21 taunt (0 after running, 1 from the stance), 23 approach, 24 cover in,
// 25 cover hit, 26 cover delay, 27 cover out, 28 tired fall, 29 lying, 30 hit
// while lying, 31 getting up, 32 hit, 34 fatality, 35 fall to death, 36 corpse.
// The fight states are in KrauserFight.cpp.
#include <cstdint>
#include <vector>

#include "engine/core/FactoryMaker.h"
#include "engine/objects/Component.h"
#include "game/enemies/AIData.h"
#include "game/enemies/Patrol.h"
#include "game/player/EnemyList.h"
#include "platform/math/Vector.h"

namespace vd {

class CFightSlotMgr;
class CKrauserEffects;

class CKrauser : public obj::CComponent<CKrauser, CPatrol>, public IEnemyFighter {
public:
  // The ordinary attacks, in the order the candidates are gathered.
  static constexpr int kAttackCount = 6;
  // Life shares at which the boss falls tired: 75 %, then 37.5 %, then none left.
  static constexpr float kFirstFall = 0.25f;
  static constexpr float kSecondFall = 0.25f * 2.5f;
  // Defaults of the tuning the boss cannot fight without.
  static constexpr float kDefaultDecisionMin = 0.5f;
  static constexpr float kDefaultDecisionMax = 1.5f;
  static constexpr float kDefaultCoverProb = 0.0f;

  static const CStringHash& GetClassName();

  CKrauser();
  ~CKrauser() override;
  CKrauser& operator=(const CKrauser& other) = default;

  // --- Component --------------------------------------------------------------
  void HandleEvent(evn::IEvent* event) override;
  void Load(rapidxml::xml_node<>* element) override;
  void SetEnabled(bool enabled, bool fromCheckPoint) override;
  bool Update(float dt) override;
  void OnAfterRestore() override;
  bool Init() override;
  void Reset() override;
  const CStringHash& GetFamilyType() const override { return GetClassName(); }

  // --- Requests -----------------------------------------------------------------
  // Ends the running effects and hides the trail before the actor base's change.
  bool RequestState(int state, int subState) override;
  // Lua "Reset": the actor base's, trail hidden.
  void ResetBoss();
  // By object name: runs at it; without such an object back to the pass-time list.
  void SetTarget(const char* objectName);
  // One blow, shock wave or explosion (the attacker: the weapon's object or the player).
  void TakeHit(obj::CGameObject* attacker);

  // --- IEnemyFighter --------------------------------------------------------------
  bool IsActive() const override;
  bool IsLocked() const override { return locked != 0; }
  void SetLocked(bool on) override { locked = on ? 1 : 0; }
  bool IsReadyForFatality() const override { return fatalityOffered != 0; }
  int GetState() const override { return current.state; }
  int GetSubState() const override { return current.subState; }

  // The attack record of that name (kind 2); an empty one for a name the AI data lacks.
  const SAttackRecord& Attack(const CStringHash& name) const;
  // The life at or below which the next tired fall comes, for the current phase.
  int32_t TiredThreshold() const;

  // --- Fields -------------------------------------------------------------------
  CWeaponController* weapon = nullptr;
  // The trail ("CWeaponRenderer"), only ever queued on or off.
  obj::IComponent* weaponRenderer = nullptr;
  CKrauserEffects* effects = nullptr;
  obj::CGameObject* target = nullptr;
  gfx::CTransform* targetTransform = nullptr;
  CFightSlotMgr* targetSlots = nullptr;
  float turnDone = 0.0f;
  float specialTimer = 0.0f;
  float hitTimer = 0.5f;
  float tauntTimer = 0.0f;
  float tiredTimer = 0.0f;
  float decisionPeriod = 0.0f;
  float attackRangeMax = 0.0f;
  std::vector<const CStringHash*> attackNames;
  const CStringHash* specialAttack = nullptr;
  std::vector<const CStringHash*> candidates;
  CStringHash currentAttack;
  uint8_t impactDone = 0;
  float tauntPeriod = 5.0f;
  int32_t tauntVariant = 0;
  float specialAttackPeriod = 10.0f;
  int32_t phase = 0;
  float tiredPeriod = 5.0f;
  CStringHash lastHitType;
  gfx::CTransform* lastAttacker = nullptr;
  float tiredDamageFactor = 2.0f;
  int32_t lastHitDamage = 0;
  plat::Vec3 pushDirection;
  float pushedDistance = 0.0f;
  float pushDistance = 0.0f;
  float pushSpeed = 0.0f;
  float weaponOnTime = 0.0f;
  float weaponOffTime = 0.0f;
  float fightProbTaunt = 0.0f;
  float fightProbApproach = 0.0f;
  float fightProbAttack = 0.0f;
  float attackThreshold = 0.0f;
  float approachThreshold = 0.0f;
  float tauntThreshold = 0.0f;
  float decisionPeriodMin = kDefaultDecisionMin;
  float decisionPeriodMax = kDefaultDecisionMax;
  float coverProb = kDefaultCoverProb;
  uint8_t fatalityOffered = 0;
  CStringHash fatalityName;
  float fatalityKillTime = 0.0f;
  float fatalityLength = 0.0f;
  float fatalityClock = 0.0f;
  float bloodDecalTimer = 0.0f;
  ptc::IParticleSystem* fatalityIcon = nullptr;
  float voiceTimer = 0.0f;
  float voiceLength = 0.0f;
  uint32_t voiceChannel = 0;
  uint32_t tiredVoiceChannel = 0;
  // Which of the three difficulty keys without defaults the tuning gave (bits 0 to 2).
  uint8_t tuningRead = 0;
  // The corpse has told the scripts of the death.
  uint8_t deathPosted = 0;

  // --- Fight states (KrauserFight.cpp) --------------------------------------------------
  // Runs the handler of the current state; false for a state the boss does nothing in.
  bool RunFightState(int state);

private:
  void Subscribe(bool on);
  void QueueTrail(bool on);
  void PostShake(float power, float timer);
  // Blood decals of a hit, when the last ones are more than a second old.
  void HitDecals();

  // States.
  void UpdateHeld();
  void UpdateRun();
  void UpdateStance();
  void UpdateAttack();
  void UpdateTaunt();
  void UpdateApproach();
  void UpdateCoverDelay();
  void UpdateCoverIn();
  void UpdateCoverHit();
  void UpdateCoverOut();
  void UpdateTiredFall();
  void UpdateLying();
  void UpdateLyingHit();
  void UpdateGetUp();
  void UpdateBossHit();
  void UpdateFatality();
  void UpdateFallDeath();
  void UpdateBossCorpse();

  // Helpers of the states.
  void IdleBlend();
  float DistanceSqToTarget() const;
  float DistMin() const;
  void TurnTowardTarget(float fraction);
  void LimitedTurn();
  void AttackVoice(const CStringHash& attack);
  // Plays a voice at the boss and records its channel and length.
  uint32_t Voice(const char* name);
  void Impact(const SAttackRecord& record);

  uint8_t m_subscribed = 0;
};

}  // namespace vd
