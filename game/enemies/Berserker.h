#pragma once
// The component that drives every zombie and every mutant (one class; the kind
// comes from the object's template name). On top of the actor base it keeps a
// target, spots it, plays its own three play lists (init, spot target, fight
// taunts), reads its fight tuning and registers with the AI manager while enabled.
//
// Keys besides the actor base's: "attacker", "fov", "fov_dist", "hear_dist", the
// fatality tuning ("fatality_life_factor", "fatality_probability",
// "fatality_duration", "fatality_icon_height", "fatality_force_period"), the wait
// probabilities ("wait_for_fight_prob_taunt", "_orbit", "_get_back", "_approach"),
// "target" (an object name) and the play lists "playlist_init",
// "playlist_spot_target", "playlist_fight"; in the difficulty block the fight
// probabilities ("fight_prob_taunt", "_orbit", "_get_back", "_approach", "_attack")
// and "cover_prob".
#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/FactoryMaker.h"
#include "engine/objects/Component.h"
#include "game/enemies/Patrol.h"
#include "game/player/EnemyList.h"

namespace vd {

class CFightSlotMgr;

class CBerserker : public obj::CComponent<CBerserker, CPatrol>, public IEnemyFighter {
public:
  static const CStringHash& GetClassName();

  CBerserker();
  ~CBerserker() override;
  CBerserker& operator=(const CBerserker& other) = default;

  // --- Component --------------------------------------------------------------
  void HandleEvent(evn::IEvent* event) override;
  void Load(rapidxml::xml_node<>* element) override;
  void SetEnabled(bool enabled, bool fromCheckPoint) override;
  bool Update(float dt) override;
  bool Init() override;
  void Reset() override;
  const CStringHash& GetFamilyType() const override { return GetClassName(); }

  // --- Play lists -------------------------------------------------------------
  bool StorePlayList1(int kind, const char* name, int group, int id, int startIndex,
                      float startTimeDelay, bool loop, bool isStatic, bool floorCollision,
                      bool wallCollision) override;
  bool StorePlayList2(int kind, const char* name, int group, int id, const char* trackerObject,
                      const CStringHash& trackerCycle, const CStringHash& seqName,
                      const CStringHash& nextSeq, bool lock) override;
  void RestoreAnimation(bool afterRestore) override;
  // 1 to 4 the actor's slots, 6 "playlist_init", 7 "playlist_spot_target",
  // 8 "playlist_fight"; null for another number.
  SPlayListSlot* GetPlayList(int index) override;
  bool EndPlayList(bool* advance) override;

  // --- Target -----------------------------------------------------------------
  // By object name; none when no object has it.
  void SetTarget(const char* objectName);
  void SetTargetObject(obj::CGameObject* object);
  // A state change that honours the lock, except that a locked enemy may still
  // leave its init play list (7, 6).
  bool RequestState(int state, int subState) override;
  // The AI manager's cool-down starts and the offer is withdrawn.
  void EndFatalityOffer();

  // --- IEnemyFighter ------------------------------------------------------------
  bool IsActive() const override { return attacker != 0; }
  bool IsLocked() const override { return locked != 0; }
  void SetLocked(bool on) override { locked = on ? 1 : 0; }
  bool IsReadyForFatality() const override { return fatalityOffered != 0; }
  int GetState() const override { return current.state; }
  int GetSubState() const override { return current.subState; }

  // --- Fields -------------------------------------------------------------------
  CWeaponController* weapon = nullptr;
  plat::Vec3 position;
  uint8_t blockedByEnemy = 0;
  float slotRecheckTimer = 0.0f;
  lgc::CTracker* zoneTracker = nullptr;
  // Also the spread value the AI manager staggers the enemies' 2-second checks by.
  float repathTimer = 0.0f;
  uint8_t detouring = 0;
  plat::Vec3 detourPoint;
  uint8_t attacker = 0;
  // The "target" key, resolved by Init.
  std::string targetName;
  obj::CGameObject* target = nullptr;
  gfx::CTransform* targetTransform = nullptr;
  CFightSlotMgr* targetSlots = nullptr;
  uint8_t spotted = 0;
  int32_t waitSlot = -1;
  plat::Vec3 waitSlotPosition;
  int32_t fightSlot = -1;
  plat::Vec3 fightSlotPosition;
  float hitTimer = 0.5f;
  uint32_t fightPlayListIndex = 0;
  float slotRecheckDelay = 0.0f;
  float decisionPeriod = 0.0f;
  float minAttackRange = 1.0f;
  float maxAttackRange = 2.0f;
  float fightDistance = 1.5f;
  std::vector<const CStringHash*> attackNames;
  std::vector<const CStringHash*> attackCandidates;
  CStringHash currentAttack;
  SPlayListSlot fighterPlayLists[3];
  float fov = 0.0f;
  float spotDistance = 0.0f;
  float hearDistance = 10.0f;
  float waitProbTaunt = 0.0f, waitProbOrbit = 0.0f, waitProbGetBack = 0.0f,
        waitProbApproach = 0.0f;
  float waitCumOrbit = 0.0f, waitCumGetBack = 0.0f, waitCumApproach = 0.0f, waitCumTaunt = 0.0f;
  float fightProbTaunt = 0.0f, fightProbOrbit = 0.0f, fightProbGetBack = 0.0f,
        fightProbApproach = 0.0f, fightProbAttack = 0.0f;
  float fightCumAttack = 0.0f, fightCumOrbit = 0.0f, fightCumGetBack = 0.0f,
        fightCumApproach = 0.0f, fightCumTaunt = 0.0f;
  float coverProb = 0.0f;
  float voiceTimers[2] = {};
  uint8_t fatalityOffered = 0;
  float fatalityTimer = 0.0f;
  float fatalityLifeFactor = 0.0f, fatalityProbability = 0.0f, fatalityForcePeriod = 0.0f;
  float fatalityDuration = 0.0f, fatalityIconHeight = 0.0f;
  float bloodEffectTimer = 0.0f;
  float bloodDecalTimer = 0.0f;
  ptc::IParticleSystem* vomitEffect = nullptr;
  ptc::IParticleSystem* fatalityIcon = nullptr;

  // --- Fight: states 12 to 27 (BerserkerFight.cpp) ---------------------------------
  void UpdateFightState(float dt);

  // Gives back everything the fighter holds in the fight: its wait and fight slots,
  // its request and attacker entry at the target's slot manager, its place among
  // the AI manager's vomit attackers, an open fatality offer. Run when the fighter
  // is disabled, reset (and so destroyed) or turns to another target.
  void LeaveFight();
  // The fight's voices (BerserkerVoices.cpp). A hit voice waits for the voice before
  // it to run its length; the others cut it.
  void PlayZombieHitVoice(bool fall);
  void PlayMutantHitVoice(bool fall);
  void PlayZombieWaveVoice();
  void PlayMutantWaveVoice();
  // `explosion`: after "death_explosion_01" or "_02" (read from actionAnimation).
  void PlayZombieDeathVoice(bool explosion);
  void PlayMutantDeathVoice();
  void PlayAttackVoice(const CStringHash& attack);
  enum EVoice : int { kVoiceHit, kVoiceWave, kVoiceDeath, kVoiceAttack };
  // The sound a voice operation of that kind of enemy would start now, drawing its
  // variant; empty when it starts none. The voice operations play what it names.
  std::string ChooseVoice(int operation, int voiceKind, bool flag, const CStringHash& attack);
  // While the last voice has not run its length.
  bool IsVoiceRunning() const;
  // Plays the name at the fighter; `cut` stops a voice still running first.
  void StartVoice(const std::string& name, bool cut);

  // Seconds into the attack animation at which its hit window opens and closes.
  float weaponOnTime = 0.0f, weaponOffTime = 0.0f;
  // A push, dash or step: its horizontal direction, the distance travelled, the
  // distance to travel and the speed (the hit reactions push with the same fields).
  plat::Vec3 pushDirection;
  float pushedDistance = 0.0f, pushDistance = 0.0f, pushSpeed = 0.0f;
  uint8_t vomitDecalPlaced = 0;
  // voiceTimers[0] counts the seconds since the last voice started and
  // voiceTimers[1] holds its length; this is its channel.
  uint32_t voiceChannel = 0;

  // --- Events, hits, reactions, fatality, death and corpse: states 2, 3 and 32 to 36
  // (BerserkerHits.cpp) ----------------------------------------------------------------
  void UpdateReactionState(float dt);
  // The icon is a system of another object: when the level goes, it may be destroyed
  // before this fighter, so it is touched only while its manager still lists it.
  bool FatalityIconAlive() const;
  // One hit from `striker` (the object whose weapon or blast it was): the life it
  // costs, the reaction, the fatality offer, the push, score, sound, shake and blood.
  // `strikerTimer` is the hit timer of that kind of blow, zeroed by the hit.
  void TakeHit(obj::CGameObject* striker, float& strikerTimer);
  void TakeHit(obj::CGameObject* striker) { TakeHit(striker, hitTimer); }

  // Each kind of blow keeps its own hit timer, so that a sword hit does not swallow
  // the shock wave or the grenade that follows it; `hitTimer` is the weapon's.
  float waveHitTimer = 0.5f;
  float blastHitTimer = 0.5f;
  float fatalityOfferTimer = 0.0f;
  anm::COwnedName lastHitType;
  int32_t lastHitDamage = 0;
  uint8_t areaHit = 0;
  // Where the last blow came from (taken at the hit: the striker may be gone later).
  plat::Vec3 lastAttackerPosition;
  anm::COwnedName fatalityName;
  float fatalityKillTime = 0.0f;
  float fatalityLength = 0.0f;
  ptc::IParticleSystem* bloodEffect = nullptr;
  uint8_t waveDown = 0, waveWake = 0, waveDecalPlaced = 0;
  // The zombie's stunned loop or wake-up sound; 0 until one plays.
  uint32_t waveSound = 0;

private:
  void HandleContact(evn::IEvent* event, bool enter);
  void HandleShockWave(evn::IEvent* event);
  void HandleExplosion(evn::IEvent* event);
  void HandleWaterJump(evn::IEvent* event);
  void OfferFatality(int remaining);
  void PostScore();
  void PostShake();
  void PlaceHitBlood();
  void PushBack();
  void FollowBlood();
  void PlaceIcon();
  plat::Vec3 SpinePosition() const;
  void PlayReactionSound(const char* name, bool keep);
  void StopWaveSound();
  void UpdateHitReaction();
  void UpdateWave();
  void UpdateFatalityWindow();
  void UpdateFatalityWait();
  void UpdateFatality();
  void UpdateDeathState();
  void UpdateCorpseState();

public:

private:
  void Spot();
  void Subscribe(bool on);
  void Register(bool on);
  // Slot 8 from the kind's default fight list; left empty when the kind has none.
  void UseDefaultFightList();

  uint8_t m_subscribed = 0;
  uint8_t m_registered = 0;
};

}  // namespace vd
