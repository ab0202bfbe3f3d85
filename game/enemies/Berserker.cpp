#include "game/enemies/Berserker.h"

#include <iterator>

#include "engine/collision/CharacterCollider.h"
#include "engine/core/EngineNames.h"
#include "engine/core/Log.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Tracker.h"
#include "engine/objects/Transform.h"
#include "engine/render/particles/ParticleSystem.h"
#include "game/enemies/AIManager.h"
#include "game/enemies/EnemyNames.h"
#include "game/player/FightSlotMgr.h"
#include "game/player/WeaponController.h"
#include "platform/crt/Crt.h"

namespace vd {

namespace {

const CStringHash kClassName("CBerserker");
const CStringHash kTarget("target");
const CStringHash kPlaylistInit("playlist_init");
const CStringHash kPlaylistSpotTarget("playlist_spot_target");
const CStringHash kPlaylistFight("playlist_fight");
const char* const kFighterSlotNames[3] = {"playlist_init", "playlist_spot_target",
                                          "playlist_fight"};

// From the texts, not from the engine's name table: that table is another file's
// static and may not be built yet when this one is.
const CStringHash kFighterEvents[] = {
    CStringHash("OnCollisionEnter"), CStringHash("OnCollisionStay"), CStringHash("OnPlayerAttack"),
    CStringHash("OnFatality"),       CStringHash("OnExplosion"),     CStringHash("OnCinematic"),
    CStringHash("OnShockWave"),      CStringHash("OnTimer"),         CStringHash("OnAction")};

const CStringHash* const kZombieAttacks[] = {&SH_attack_short_01,  &SH_attack_short_02,
                                             &SH_attack_large_01,  &SH_attack_double_01,
                                             &SH_attack_combo_01,  &SH_attack_vomit};
const CStringHash* const kMutantAttacks[] = {&SH_attack_short_01, &SH_attack_combo_01,
                                             &SH_attack_up_01};

// The fighter slot (6, 7, 8) of a play-list name, 0 for another.
int FighterSlotOf(const char* name) {
  const CStringHash hash(name);
  if (hash == kPlaylistInit) return 6;
  if (hash == kPlaylistSpotTarget) return 7;
  if (hash == kPlaylistFight) return 8;
  return 0;
}

}  // namespace

const CStringHash& CBerserker::GetClassName() { return kClassName; }

CBerserker::CBerserker() {
  for (int i = 0; i < 3; ++i) fighterPlayLists[i].name.Set(kFighterSlotNames[i]);
  initial = SAIState{7, 6};
  pending = SAIState{7, 1};
}

CBerserker::~CBerserker() {
  if (!m_isCheckPointCopy) Reset();
}

void CBerserker::Reset() {
  CPatrol::Reset();
  Subscribe(false);
  LeaveFight();
  Register(false);
  initial = SAIState{7, 6};
  pending = SAIState{7, 1};
  target = nullptr;
  targetTransform = nullptr;
  targetSlots = nullptr;
  targetName.clear();
  spotted = detouring = fatalityOffered = 0;
  waitSlot = -1;
  weapon = nullptr;
  fightPlayListIndex = 0;
  hitTimer = 0.5f;
  repathTimer = slotRecheckTimer = slotRecheckDelay = bloodDecalTimer = 0.0f;
  vomitEffect = nullptr;
  for (SPlayListSlot& slot : fighterPlayLists) {
    slot.Clear();
    slot.loop = 1;
  }
  hearDistance = 10.0f;
  minAttackRange = 1.0f;
  maxAttackRange = 2.0f;
  fightDistance = 1.5f;
  fov = spotDistance = 0.0f;
  waitProbTaunt = waitProbOrbit = waitProbGetBack = waitProbApproach = 0.0f;
  fightProbTaunt = fightProbOrbit = fightProbGetBack = fightProbApproach = fightProbAttack = 0.0f;
}

void CBerserker::Load(rapidxml::xml_node<>* element) {
  CPatrol::Load(element);
  bool anyKey = false;
  obj::ForEachKey(element, [this, &anyKey](const obj::CKey& key) {
    anyKey = true;
    const CStringHash name(key.Name());
    if (name == SH_attacker) {
      attacker = key.Float() != 0.0f ? 1 : 0;
    } else if (name == SH_fov) {
      fov = key.Float();
    } else if (name == SH_fov_dist) {
      spotDistance = key.Float();
    } else if (name == SH_hear_dist) {
      hearDistance = key.Float();
    } else if (name == SH_fatality_life_factor) {
      fatalityLifeFactor = key.Float();
    } else if (name == SH_fatality_probability) {
      fatalityProbability = key.Float();
    } else if (name == SH_fatality_duration) {
      fatalityDuration = key.Float();
    } else if (name == SH_fatality_icon_height) {
      fatalityIconHeight = key.Float();
    } else if (name == SH_fatality_force_period) {
      fatalityForcePeriod = key.Float();
    } else if (name == SH_wait_for_fight_prob_taunt) {
      waitProbTaunt = key.Float();
    } else if (name == SH_wait_for_fight_prob_orbit) {
      waitProbOrbit = key.Float();
    } else if (name == SH_wait_for_fight_prob_get_back) {
      waitProbGetBack = key.Float();
    } else if (name == SH_wait_for_fight_prob_approach) {
      waitProbApproach = key.Float();
    } else if (name == kTarget) {
      // Resolved by Init, once the attack ranges the fight distance depends on are known.
      targetName = key.Text();
    } else if (name == kPlaylistInit) {
      const int groupNumber = key.Int("group"), id = key.Int("id");
      if (groupNumber == 0 || id == 0) return;
      StorePlayList1(kind, "playlist_init", groupNumber, id, key.Int("start_index"),
                     key.Float("start_time_delay"), key.Int("loop") != 0,
                     key.Int("static") != 0, key.Int("floor_collision") != 0,
                     key.Int("wall_collision") != 0);
      StorePlayList2(kind, "playlist_init", groupNumber, id, key.Attribute("tracker"),
                     CStringHash(key.Attribute("tracker_cycle")), CStringHash(), CStringHash(),
                     true);
    } else if (name == kPlaylistSpotTarget) {
      const int groupNumber = key.Int("group"), id = key.Int("id");
      if (groupNumber == 0 || id == 0) return;
      StorePlayList1(kind, "playlist_spot_target", groupNumber, id, key.Int("start_index"), 0.0f,
                     false, key.Int("static") != 0, key.Int("floor_collision") != 0,
                     key.Int("wall_collision") != 0);
    } else if (name == kPlaylistFight) {
      const int groupNumber = key.Int("group"), id = key.Int("id");
      if (groupNumber == 0 || id == 0) {
        UseDefaultFightList();
        return;
      }
      StorePlayList1(kind, "playlist_fight", groupNumber, id, key.Int("start_index"), 0.0f, true,
                     true, true, true);
    }
  });
  if (!anyKey) return;
  obj::ForEachDifficultyKey(element, GetDifficulty(), [this](const obj::CKey& key) {
    const CStringHash name(key.Name());
    if (name == SH_fight_prob_taunt)
      fightProbTaunt = key.Float();
    else if (name == SH_fight_prob_orbit)
      fightProbOrbit = key.Float();
    else if (name == SH_fight_prob_get_back)
      fightProbGetBack = key.Float();
    else if (name == SH_fight_prob_approach)
      fightProbApproach = key.Float();
    else if (name == SH_fight_prob_attack)
      fightProbAttack = key.Float();
    else if (name == SH_cover_prob)
      coverProb = key.Float();
  });
}

void CBerserker::UseDefaultFightList() {
  const CAIManager* manager = Manager();
  const SPlayListSet* set = manager ? manager->GetPlayLists(kind) : nullptr;
  const SPlayList* list =
      set ? manager->FindPlayList(kind, set->fightDefaultGroup, set->fightDefaultId) : nullptr;
  // Without a default list, or with an empty one, the taunts play nothing.
  if (!list || list->entries.empty()) return;
  const int start = plat::Rand() % static_cast<int>(list->entries.size());
  fightPlayListIndex = static_cast<uint32_t>(start);
  StorePlayList1(kind, "playlist_fight", list->group, list->id, start, 0.0f, true, true, true,
                 true);
}

bool CBerserker::Init() {
  CPatrol::Init();
  weapon = weaponController;
  if (transform) {
    transform->SetPitch(0.0f);
    transform->UpdateMatrix();
  }
  voiceTimers[0] = voiceTimers[1] = 0.0f;
  // The running sums are formed in double precision, as the decisions compare them.
  waitCumOrbit = static_cast<float>(static_cast<double>(waitProbOrbit));
  waitCumGetBack = static_cast<float>(static_cast<double>(waitCumOrbit) + waitProbGetBack);
  waitCumApproach = static_cast<float>(static_cast<double>(waitCumGetBack) + waitProbApproach);
  waitCumTaunt = static_cast<float>(static_cast<double>(waitCumApproach) + waitProbTaunt);
  fightCumAttack = static_cast<float>(static_cast<double>(fightProbAttack));
  fightCumOrbit = static_cast<float>(static_cast<double>(fightCumAttack) + fightProbOrbit);
  fightCumGetBack = static_cast<float>(static_cast<double>(fightCumOrbit) + fightProbGetBack);
  fightCumApproach = static_cast<float>(static_cast<double>(fightCumGetBack) + fightProbApproach);
  fightCumTaunt = static_cast<float>(static_cast<double>(fightCumApproach) + fightProbTaunt);

  attackNames.clear();
  if (kind == kEnemyZombie)
    attackNames.assign(std::begin(kZombieAttacks), std::end(kZombieAttacks));
  else if (kind == kEnemyMutant)
    attackNames.assign(std::begin(kMutantAttacks), std::end(kMutantAttacks));
  attackCandidates.assign(attackNames.size(), nullptr);

  const CAIManager* manager = Manager();
  minAttackRange = CPatrol::kLargest;
  maxAttackRange = 0.0f;
  if (manager && kind >= 0 && kind < kEnemyKindCount) {
    for (const auto& attack : manager->GetData().attacks[kind]) {
      minAttackRange = std::min(minAttackRange, attack.second.rangeMin);
      maxAttackRange = std::max(maxAttackRange, attack.second.rangeMax);
    }
  }
  // A kind without attack records keeps the component's defaults.
  if (maxAttackRange <= 0.0f || minAttackRange > maxAttackRange) {
    minAttackRange = 1.0f;
    maxAttackRange = 2.0f;
  }
  for (int i = 0; i < 3; ++i) fighterPlayLists[i].name.Set(kFighterSlotNames[i]);
  if (!fighterPlayLists[2].playList) UseDefaultFightList();
  zoneTracker = manager ? manager->GetSharedTracker(zone) : nullptr;
  fatalityIcon = nullptr;
  // The target is resolved here, not where the key was read, without asking for a state.
  if (!targetName.empty()) {
    obj::CGameObject* found = obj::FindGameObjectByName(CStringHash(targetName.c_str()));
    if (found) {
      SetTargetObject(found);
    } else {
      utl::LogPrintf("Enemy %s: target '%s' is no object; it fights no one\n", OwnerName(),
                     targetName.c_str());
    }
  }
  return true;
}

void CBerserker::Subscribe(bool on) {
  evn::SetSubscribed(GetOwner(), kFighterEvents, std::size(kFighterEvents), on, m_subscribed);
}

void CBerserker::Register(bool on) {
  obj::CGameObject* owner = GetOwner();
  CAIManager* manager = Manager();
  if (!owner || !manager) return;
  if (on && !m_registered) {
    manager->AddEnemy(owner);
    m_registered = 1;
  } else if (!on && m_registered) {
    manager->RemoveEnemy(owner);
    m_registered = 0;
  }
}

void CBerserker::SetEnabled(bool enabled, bool fromCheckPoint) {
  if ((enabled ? 1 : 0) == m_enabled) return;
  CPatrol::SetEnabled(enabled, fromCheckPoint);
  Subscribe(enabled);
  if (!enabled) LeaveFight();
  Register(enabled);
  // An enemy that leaves the level takes its fatality offer and icon with it.
  if (!enabled && fatalityOffered) EndFatalityOffer();
  // Zones loaded after the manager linked its trackers find theirs now.
  if (enabled && !zoneTracker)
    if (const CAIManager* manager = Manager()) zoneTracker = manager->GetSharedTracker(zone);
}


// --- Play lists -----------------------------------------------------------------------------

SPlayListSlot* CBerserker::GetPlayList(int index) {
  if (index >= 1 && index <= 4) return CPatrol::GetPlayList(index);
  if (index >= 6 && index <= 8) return &fighterPlayLists[index - 6];
  return nullptr;
}

bool CBerserker::StorePlayList1(int kindValue, const char* name, int groupNumber, int id,
                                int startIndex, float startTimeDelay, bool loop, bool isStatic,
                                bool floorCollision, bool wallCollision) {
  if (CPatrol::StorePlayList1(kindValue, name, groupNumber, id, startIndex, startTimeDelay, loop,
                              isStatic, floorCollision, wallCollision))
    return true;
  const CAIManager* manager = Manager();
  const SPlayList* list = manager ? manager->FindPlayList(kindValue, groupNumber, id) : nullptr;
  const int slotNumber = FighterSlotOf(name);
  if (!list || slotNumber == 0) return false;
  SPlayListSlot& slot = fighterPlayLists[slotNumber - 6];
  slot.playList = list;
  slot.startIndex = startIndex;
  slot.startTimeDelay = startTimeDelay;
  slot.loop = loop ? 1 : 0;
  slot.isStatic = isStatic ? 1 : 0;
  slot.floorCollision = floorCollision ? 1 : 0;
  slot.wallCollision = wallCollision ? 1 : 0;
  return true;
}

bool CBerserker::StorePlayList2(int kindValue, const char* name, int groupNumber, int id,
                                const char* trackerObject, const CStringHash& trackerCycle,
                                const CStringHash& seqName, const CStringHash& nextSeq,
                                bool lock) {
  if (CPatrol::StorePlayList2(kindValue, name, groupNumber, id, trackerObject, trackerCycle,
                              seqName, nextSeq, lock))
    return true;
  const CAIManager* manager = Manager();
  const SPlayList* list = manager ? manager->FindPlayList(kindValue, groupNumber, id) : nullptr;
  const int slotNumber = FighterSlotOf(name);
  if (!list || slotNumber == 0) return false;
  SPlayListSlot& slot = fighterPlayLists[slotNumber - 6];
  slot.playList = list;
  slot.lock = lock ? 1 : 0;
  if (slotNumber == 6) {
    if (lgc::CTracker* found = FindTracker(trackerObject)) slot.tracker = found;
    const int mode = TrackerModeFromName(trackerCycle.c_str());
    if (mode >= 0) slot.trackerMode = mode;
  }
  return true;
}

bool CBerserker::EndPlayList(bool* stay) {
  if (CPatrol::EndPlayList(stay)) return true;
  const int sub = current.subState;
  if (sub == 6) {
    if (fighterPlayLists[0].loop) {
      entryIndex = 0;
      if (stay) *stay = true;
    } else {
      RequestState(7, 1);
      if (stay) *stay = false;
    }
  } else if (sub == 7) {
    RequestState(attacker ? 12 : 7, attacker ? 0 : 1);
    if (stay) *stay = false;
  } else {
    entryIndex = 0;
    if (stay) *stay = true;
  }
  return true;
}

void CBerserker::RestoreAnimation(bool afterRestore) {
  if (afterRestore && animator && !animator->resetOnCheckPoint) return;
  clearAnimationsRequest = 1;
  if (current.state == 0) {
    current = initial;
    waypointIndex = 0;
  }
  IActorAnimation& animation = Animation();
  switch (current.state) {
    case 4:
      animation.BlendCycle(SH_corpse, 1.0f, 0.0f, 0.0f);
      break;
    case 5:
      animation.BlendCycle(cycleName, 1.0f, 0.0f, 0.0f);
      break;
    case 6:
      animation.BlendCycle(cycleName, 1.0f, 0.0f, 0.0f);
      animation.BlendCycle(actionAnimation, 1.0f, 0.0f, 0.0f);
      break;
    case 7: {
      animation.BlendCycle(SH_idle_combat_01, 1.0f, 0.0f, 0.0f);
      const SPlayListSlot* slot = GetPlayList(current.subState);
      if (!slot || !slot->playList) break;
      const std::vector<SPlayListEntry>& entries =
          exitPending ? slot->playList->exitEntries : slot->playList->entries;
      if (entries.empty()) break;
      animation.SetStatic(slot->isStatic != 0);
      if (characterCollider) {
        characterCollider->TestFloor(slot->floorCollision != 0);
        characterCollider->TestWalls(slot->wallCollision != 0);
      }
      const SPlayListEntry& entry =
          entries[entryIndex >= 0 && static_cast<size_t>(entryIndex) < entries.size() ? entryIndex : 0];
      if (entry.isAnimation)
        animation.BlendCycle(entry.id, 1.0f, 0.0f, 0.0f);
      else
        animation.ExecuteAction(entry.id, 1.0f, 0.0f, 0.0f, false);
      break;
    }
    default:
      animation.BlendCycle(SH_idle_combat_01, 1.0f, 0.0f, 0.0f);
      break;
  }
  animation.Settle();
}

// --- Target and requests -----------------------------------------------------------------------

void CBerserker::SetTarget(const char* objectName) {
  obj::CGameObject* found =
      objectName && objectName[0] ? obj::FindGameObjectByName(CStringHash(objectName)) : nullptr;
  SetTargetObject(found);
}

void CBerserker::SetTargetObject(obj::CGameObject* object) {
  if (object != target) LeaveFight();
  if (!object) {
    target = nullptr;
    targetTransform = nullptr;
    targetSlots = nullptr;
    spotted = 0;
    RequestState(7, 1);
    return;
  }
  if (object == target) return;
  spotted = 0;
  target = object;
  targetTransform = object->GetComponent<gfx::CTransform>();
  targetSlots = object->GetComponent<CFightSlotMgr>();
  fightDistance = (minAttackRange + maxAttackRange) * 0.5f;
}

bool CBerserker::RequestState(int state, int subState) {
  const SAIState request{state, subState};
  if ((locked && current != SAIState{7, 6}) || current == request)
    return ChangeState(state, subState, true);
  const uint8_t wasLocked = locked;
  // Like the corpse's smoke, the spray belongs to another object that may be gone.
  if (StillListed(vomitEffect)) vomitEffect->SetActive(false);
  vomitEffect = nullptr;
  locked = 0;
  const bool changed = ChangeState(state, subState, true);
  if (wasLocked) locked = 1;
  return changed;
}

void CBerserker::EndFatalityOffer() {
  if (CAIManager* manager = Manager()) manager->StartFatalityCoolDown();
  fatalityOffered = 0;
  if (FatalityIconAlive()) fatalityIcon->SetActive(false);
  fatalityIcon = nullptr;
}

// --- Driver ---------------------------------------------------------------------------------

bool CBerserker::Update(float dt) {
  repathTimer += dt;
  hitTimer += dt;
  waveHitTimer += dt;
  blastHitTimer += dt;
  fatalityOfferTimer += dt;
  fatalityTimer += dt;
  bloodEffectTimer += dt;
  bloodDecalTimer += dt;
  slotRecheckTimer += dt;
  voiceTimers[0] += dt;
  BeginFrame(dt);
  const SAIState atEntry = current;
  switch (current.state) {
    case 0:
      current = initial;
      waypointIndex = 0;
      break;
    case 1:
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
    case 10:
      RunBaseHandler(current.state);
      break;
    case 2:
    case 3:
    case 32:
    case 33:
    case 34:
    case 35:
    case 36:
      UpdateReactionState(dt);
      break;
    default:
      if (current.state >= 12 && current.state <= 27) UpdateFightState(dt);
      break;
  }
  EndFrame(atEntry);
  Spot();
  if (repathTimer > 2.0f) repathTimer = 0.0f;
  keepStateTime = 0;
  return true;
}

void CBerserker::Spot() {
  moveSpeed = std::clamp(moveSpeed + 5.0f * frameTime, 0.0f, runSpeed);
  blockedByEnemy = 0;
  if (transform) position = transform->position;
  if (!target || !targetTransform) return;
  if (locked && current != SAIState{7, 6}) return;
  if (current == SAIState{} || lastHandled == SAIState{}) return;
  if (spotted && current != SAIState{7, 1}) return;
  if (plat::LengthSq(targetTransform->position - position) >= spotDistance * spotDistance) return;
  const SPlayListSlot& spotList = fighterPlayLists[1];
  if (spotList.playList && !spotList.playList->entries.empty()) {
    if (RequestState(7, 7)) {
      spotted = 1;
      obj::CallScriptFunction(GetOwner(), "OnSpotTarget");
    }
  } else if (attacker) {
    spotted = 1;
    RequestState(12, 0);
    obj::CallScriptFunction(GetOwner(), "OnSpotTarget");
  } else {
    RequestState(7, 1);
  }
}

}  // namespace vd
