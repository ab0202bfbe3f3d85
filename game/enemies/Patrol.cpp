#include "game/enemies/Patrol.h"

#include <algorithm>
#include <cmath>

#include "engine/audio/AudioManager.h"
#include "engine/collision/CharacterCollider.h"
#include "engine/core/EngineNames.h"
#include "engine/core/Log.h"
#include "engine/core/Utils.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Tracker.h"
#include "engine/objects/Transform.h"
#include "engine/render/particles/ParticleSysManager.h"
#include "engine/render/particles/ParticleSystem.h"
#include "game/enemies/AIManager.h"
#include "game/enemies/EnemyNames.h"
#include "game/player/ComboController.h"
#include "game/player/WeaponController.h"

namespace vd {

namespace {
const CStringHash SH_subtitle_timer("subtitle");
}  // namespace

namespace {

int g_difficulty = 1;

const CStringHash kPlayerName("player");
const CStringHash kColorFactor("gColorFactor");
const CStringHash kSkinTech("skin_tech");
const CStringHash kSkinTechAlpha("skin_tech_alpha");
const CStringHash kTrackerStep("tracker");
const CStringHash kEnemySmoke("enemy_smoke");
const CStringHash kEnemySmokeExplosion("enemy_smoke_explosion");
const CStringHash kMinDifficulty("min_difficulty");
const CStringHash kNormal("normal");
const CStringHash kRunSpeed("run_speed");
const CStringHash kWalkSpeed("walk_speed");
const CStringHash kTurnSpeedMove("turn_speed_move");
const CStringHash kTurnSpeedFight("turn_speed_fight");

const char* const kSlotNames[4] = {"playlist_pass_time", "playlist_sequence1",
                                   "playlist_sequence2", "playlist_sequence3"};

// From the text: the engine name table is another file's static, maybe not built yet.
const CStringHash kSequenceEvents[] = {CStringHash("OnSequence")};

bool IsRunOrWalk(const CStringHash& name, const CStringHash& a, const CStringHash& b) {
  return name == a || name == b;
}

}  // namespace

// --- Slots and the animator -------------------------------------------------------------

void SPlayListSlot::Clear() {
  anm::COwnedName keep = name;
  *this = SPlayListSlot();
  name = keep;
}

void CAnimatorAnimation::BlendCycle(const CStringHash& name, float weight, float delay,
                                    float clearDelay) {
  if (animator) animator->BlendCycle(name, weight, delay, clearDelay);
}
void CAnimatorAnimation::ExecuteAction(const CStringHash& name, float weight, float delayIn,
                                       float delayOut, bool lock) {
  if (animator) animator->ExecuteAction(name, weight, delayIn, delayOut, lock);
}
void CAnimatorAnimation::ClearActions() {
  if (animator) animator->ClearActions();
}
void CAnimatorAnimation::ClearLockedActions() {
  if (animator) animator->ClearLockedActions();
}
void CAnimatorAnimation::StopCycle() {
  if (animator && animator->GetCurrentCycleId() >= 0)
    animator->ClearCycle(animator->GetCurrentCycleName(), 0.0f);
}
float CAnimatorAnimation::GetDuration(const CStringHash& name) const {
  return animator ? animator->GetAnimationDuration(name) : 0.0f;
}
void CAnimatorAnimation::SetStatic(bool on) {
  if (animator) animator->SetStatic(on);
}
void CAnimatorAnimation::SetPaused(bool on) {
  if (animator) animator->paused = on ? 1 : 0;
}
void CAnimatorAnimation::Settle() {
  if (!animator) return;
  const uint8_t paused = animator->paused;
  animator->paused = 0;
  animator->Update(0.0f);
  animator->paused = paused;
}

// --- Component ----------------------------------------------------------------------------

CPatrol::CPatrol() {
  for (int i = 0; i < 4; ++i) playListSlots[i].name.Set(kSlotNames[i]);
}

CPatrol::~CPatrol() = default;

void CPatrol::SetDifficulty(int difficulty) { g_difficulty = difficulty; }
int CPatrol::GetDifficulty() { return g_difficulty; }

CAIManager* CPatrol::Manager() const {
  // A manager that has been cleared (the level left, the game ending) is no longer
  // reached: the enemies may outlive it.
  CAIManager* current = CAIManager::GetCurrent();
  return !aiManager || aiManager == current ? current : nullptr;
}

const char* CPatrol::OwnerName() const {
  const obj::CGameObject* owner = GetOwner();
  return owner ? owner->GetNameText() : "";
}

bool CPatrol::BeginOverride() {
  aiManager = CAIManager::GetCurrent();
  return true;
}

void CPatrol::Load(rapidxml::xml_node<>* element) {
  if (const obj::CGameObject* owner = GetOwner())
    if (const CStringHash* templateName = owner->GetTemplateName()) {
      const int found = EnemyKindFromName(templateName->c_str());
      if (found >= 0) kind = found;
    }
  obj::ForEachKey(element, [this](const obj::CKey& key) {
    const CStringHash name(key.Name());
    if (name == kMinDifficulty) {
      const CStringHash level(key.Text());
      if (level == SH_easy)
        activeAtDifficulty = 1;
      else if (level == kNormal)
        activeAtDifficulty = g_difficulty != 0 ? 1 : 0;
      else if (level == SH_hard)
        activeAtDifficulty = g_difficulty == 2 ? 1 : 0;
    } else if (name == SH_group) {
      group = key.Int();
    } else if (name == SH_corpse) {
      startsAsCorpse = key.Float() != 0.0f ? 1 : 0;
      if (startsAsCorpse) initial = SAIState{4, 0};
    } else if (name == SH_zone) {
      zone = key.Int() - 1;
    } else if (name == SH_run_id) {
      if (kind == kEnemyZombie)
        runAnimation.Set(key.Int() == 1 ? "run_01" : "run_02");
      else if (kind == kEnemyMutant)
        runAnimation.Set("run_01");
    } else if (name == kRunSpeed) {
      runSpeed = key.Float();
    } else if (name == kWalkSpeed) {
      walkSpeed = key.Float();
    } else if (name == kTurnSpeedMove) {
      turnSpeedMove = key.Float();
    } else if (name == kTurnSpeedFight) {
      turnSpeedFight = key.Float();
    } else if (name == SH_corpse_time) {
      corpseFadeRate = key.Float();
    } else {
      int slot = 0;
      for (int i = 0; i < 4; ++i)
        if (name == playListSlots[i].name.Get()) slot = i + 1;
      if (slot == 0) return;
      const int groupNumber = key.Int("group"), id = key.Int("id");
      if (groupNumber == 0 || id == 0) return;
      const bool sequence = slot > 1;
      StorePlayList1(kind, key.Name(), groupNumber, id, key.Int("start_index"),
                     key.Float("start_time_delay"), sequence ? key.Int("loop") != 0 : true,
                     key.Int("static") != 0, key.Int("floor_collision") != 0,
                     key.Int("wall_collision") != 0);
      StorePlayList2(kind, key.Name(), groupNumber, id, key.Attribute("tracker"),
                     CStringHash(key.Attribute("tracker_cycle")),
                     sequence ? CStringHash(key.Attribute("seq_name")) : CStringHash(),
                     sequence ? CStringHash(key.Attribute("next_seq")) : CStringHash(),
                     sequence && key.Int("lock") != 0);
    }
  });
}

bool CPatrol::Init() {
  obj::CGameObject* owner = GetOwner();
  if (owner) {
    transform = owner->GetComponent<gfx::CTransform>();
    characterCollider = owner->GetComponent<phy::CCharacterCollider>();
    animator = owner->GetComponent<anm::CAnimator>();
    renderer = owner->GetComponent<gfx::CRenderer>();
    weaponController = owner->GetComponent<CWeaponController>();
  }
  m_animator.animator = animator;
  player = obj::FindGameObjectByName(kPlayerName);
  playerTransform = player ? player->GetComponent<gfx::CTransform>() : nullptr;
  // gColorFactor is set when the enemy is enabled, on the main thread: this may
  // run on the loader's.
  for (int i = 0; i < 4; ++i) playListSlots[i].name.Set(kSlotNames[i]);
  life = static_cast<int32_t>(obj::GetScriptFloat(owner, "life"));
  return true;
}

void CPatrol::Reset() {
  clearAnimationsRequest = 0;
  Subscribe(false);
  runSpeed = 7.0f;
  walkSpeed = 2.0f;
  turnSpeedMove = 3.0f;
  initial = SAIState{7, 1};
  aiManager = nullptr;
  transform = nullptr;
  frameTime = stateTime = 0.0f;
  activeAtDifficulty = 1;
  startsAsCorpse = 0;
  group = zone = 0;
  turning = 0;
  trackerMode = 2;
  tracker = nullptr;
  waypointIndex = 0;
  pingPongForward = 1;
  current = lastHandled = previous = SAIState{};
  for (SPlayListSlot& slot : playListSlots) slot.Clear();
  ClearActiveList();
  exitPending = 0;
  locked = 0;
  cycleName.Set("idle_01");
  corpseFadeRate = 1.0f;
  keepStateTime = 0;
  if (DeathEffectAlive()) deathEffect->SetActive(false);
  deathEffect = nullptr;
}

bool CPatrol::StillListed(const ptc::IParticleSystem* system) {
  const ptc::CParticleSysManager* particles = ptc::CParticleSysManager::GetInstance();
  return system && particles && particles->Lists(system);
}

void CPatrol::Subscribe(bool on) {
  evn::SetSubscribed(GetOwner(), kSequenceEvents, 1, on, m_subscribed);
}

void CPatrol::SetColorFactor(float value) {
  if (!renderer) return;
  const float factor[4] = {value, value, value, value};
  renderer->SetShaderParameter(kColorFactor, 5, factor);
}

void CPatrol::SetEnabled(bool enabled, bool fromCheckPoint) {
  const uint8_t flag = enabled ? 1 : 0;
  if (flag == m_enabled) return;
  m_enabled = flag;
  Subscribe(enabled);
  if (!enabled) return;
  if (renderer) renderer->SetTechnique(kSkinTech);
  SetColorFactor(1.0f);
  if (!fromCheckPoint) {
    current = SAIState{};
    ClearActiveList();
    RestoreAnimation(false);
  }
}

void CPatrol::OnAfterRestore() {
  lastHandled = SAIState{};
  keepStateTime = 1;
  RestoreAnimation(true);
}

// --- State driver ---------------------------------------------------------------------------

void CPatrol::SwitchWeaponsOff() {
  if (!weaponController) return;
  weaponController->SetWeaponActive(false, CWeaponController::kSetNormal);
  weaponController->SetWeaponActive(false, CWeaponController::kSetBig);
}

bool CPatrol::ChangeState(int state, int subState, bool force) {
  const SAIState request{state, subState};
  if (locked || request == current || current.state == 4) return false;
  if (activeSlot != 0) {
    const SPlayListSlot* slot = GetPlayList(subState);
    if (state == 7 && slot && slot->playList && !activeExit && activeSlot == subState) {
      current.subState = subState;
    } else {
      pending = request;
    }
    if (!exitPending) {
      exitPending = 1;
      ClearActiveList();
    }
    return true;
  }
  exitPending = 0;
  beforeChange = current;
  current = request;
  stateTime = 0.0f;
  Animation().ClearActions();
  if (force) Animation().ClearLockedActions();
  SwitchWeaponsOff();
  ClearActiveList();
  return true;
}

void CPatrol::ResetState() {
  beforeChange = current;
  current = SAIState{};
  exitPending = 0;
  Animation().ClearActions();
  Animation().ClearLockedActions();
  if (weaponController) {
    for (int set = 0; set < CWeaponController::kSetCount; ++set)
      weaponController->SetWeaponActive(false, set);
    weaponController->Update(0.0f);
  }
  ClearActiveList();
  stateTime = 0.0f;
}

void CPatrol::ApplyPending() {
  beforeChange = current;
  current = pending;
  pending = SAIState{1, 0};
  exitPending = 0;
  ClearActiveList();
}

void CPatrol::BeginFrame(float dt) {
  frameTime = dt;
  stateTime += dt;
  if (clearAnimationsRequest) {
    clearAnimationsRequest = 0;
    Animation().StopCycle();
    Animation().ClearActions();
    Animation().ClearLockedActions();
  }
  if (current != lastHandled && !keepStateTime) {
    stateTime = 0.0f;
    previous = lastHandled;
  }
}

bool CPatrol::RunBaseHandler(int state) {
  switch (state) {
    case 0:
      waypointIndex = 0;
      current = initial;
      return true;
    case 1:
      UpdateCycle();
      return true;
    case 4:
      UpdateCorpse();
      return true;
    case 5:
      UpdateScriptedCycle();
      return true;
    case 6:
      UpdateAction();
      return true;
    case 7:
      UpdatePlayList();
      return true;
    case 8:
      UpdateStartDelay();
      return true;
    case 9:
      UpdateWalk();
      return true;
    case 10:
      UpdateNextWaypoint();
      return true;
    case 32:
      UpdateHit();
      return true;
    case 35:
      UpdateDeath();
      return true;
    case 36:
      UpdateCorpseFade();
      return true;
    default:
      return false;
  }
}

void CPatrol::EndFrame(const SAIState& atEntry) {
  if (current != atEntry) previous = atEntry;
  lastHandled = atEntry;
  beforeChange = atEntry;
}

bool CPatrol::Update(float dt) {
  BeginFrame(dt);
  const SAIState atEntry = current;
  RunBaseHandler(current.state);
  EndFrame(atEntry);
  keepStateTime = 0;
  return true;
}

// --- Base states -------------------------------------------------------------------------------

void CPatrol::UpdateTurning() {
  if (!turning || !transform) return;
  transform->SetYaw(transform->yaw +
                    utl::AngleDifference(transform->yaw, targetYaw) * turnSpeed * frameTime);
  transform->UpdateMatrix();
}

void CPatrol::UpdateCycle() {
  if (Entering()) Animation().BlendCycle(cycleName, 1.0f, 0.25f, 0.25f);
}

void CPatrol::UpdateCorpse() {
  if (!Entering()) return;
  Animation().BlendCycle(SH_corpse, 1.0f, 0.0f, 0.0f);
  if (characterCollider) obj::RequestComponentEnable(characterCollider, false);
}

void CPatrol::UpdateScriptedCycle() {
  if (Entering() && !keepStateTime) Animation().BlendCycle(cycleName, 1.0f, 0.05f, 0.25f);
  UpdateTurning();
}

void CPatrol::PostAction(const char* name, const char* id, bool begin, const SPlayListSlot* slot) {
  evn::CEventAction* event = evn::CEventAction::New();
  if (!event) return;
  event->gameObject.Copy(OwnerName());
  event->name.Copy(name ? name : "");
  event->id.Copy(id ? id : "");
  event->begin = begin;
  event->playlistType.Copy(slot ? slot->name.Get().c_str() : "");
  event->playlistGroup = slot && slot->playList ? slot->playList->group : 0;
  event->playlistId = slot && slot->playList ? slot->playList->id : 0;
  evn::PostOrRelease(event);
}

void CPatrol::UpdateAction() {
  if (current != beforeChange) {
    Animation().ClearLockedActions();
    actionAnimation = requestedAction;
    Animation().BlendCycle(cycleName, 1.0f, 0.25f, 0.25f);
    Animation().ExecuteAction(actionAnimation, 1.0f, requestedDelayIn,
                              requestedLocked ? 0.0f : requestedDelayOut, requestedLocked != 0);
    stepDuration = Duration(actionAnimation);
    PostAction(actionAnimation.Get().c_str(), actionId.c_str(), true, nullptr);
  }
  UpdateTurning();
  if (stateTime > stepDuration) {
    locked = 0;
    ChangeState(1, 0, false);
    PostAction(actionAnimation.Get().c_str(), actionId.c_str(), false, nullptr);
  }
}

void CPatrol::UpdateHit() {
  obj::CGameObject* owner = GetOwner();
  if (Entering()) {
    life = static_cast<int32_t>(obj::GetScriptFloat(owner, "life")) - 1;
    obj::SetScriptInt(owner, "life", life);
    if (life <= 0) {
      current = SAIState{35, 0};
      return;
    }
    Animation().ExecuteAction(SH_hit_01, 1.0f, 0.25f, 0.25f, false);
    stepDuration = Duration(SH_hit_01);
  }
  if (stateTime > stepDuration) current = SAIState{9, 0};
}

void CPatrol::UpdateDeath() {
  if (Entering()) {
    if (sfx::CAudioManager* audio = sfx::CAudioManager::GetInstance())
      audio->PlaySound("zombie_die", false);
    if (evn::CEventManager* events = evn::CEventManager::GetInstance())
      if (GetOwner()) events->RemoveListener(SH_OnCollisionStay, GetOwner());
    actionAnimation = SH_death_01;
    Animation().ExecuteAction(actionAnimation, 1.0f, 0.0f, 0.0f, true);
    stepDuration = Duration(actionAnimation);
  }
  if (stateTime > stepDuration) current = SAIState{36, 0};
}

void CPatrol::UpdateCorpseFade() {
  if (Entering()) {
    if (characterCollider) obj::RequestComponentEnable(characterCollider, false);
    corpseAlpha = 1.0f;
    if (renderer) renderer->SetTechnique(kSkinTechAlpha);
    if (DeathEffectAlive()) deathEffect->SetActive(false);
    deathEffect = nullptr;
    const bool explosion =
        actionAnimation.Get() == SH_death_explosion_01 || actionAnimation.Get() == SH_death_explosion_02;
    if (ptc::CParticleSysManager* particles = ptc::CParticleSysManager::GetInstance()) {
      if (ptc::IParticleSystem* smoke =
              particles->GetFreeParticleSystem(explosion ? kEnemySmokeExplosion : kEnemySmoke)) {
        if (gfx::CTransform* at = smoke->GetTransform(); at && transform) {
          at->SetPosition(transform->position - plat::Vec3(0.0f, 0.5f, 0.0f));
          at->UpdateMatrix();
        }
        smoke->Restart(true);
        smoke->SetActive(true);
        deathEffect = smoke;
      }
    }
    if (evn::CEventDeath* death = evn::CEventDeath::New()) {
      death->type.Copy("enemy");
      death->name.Copy(OwnerName());
      death->group = group;
      evn::PostOrRelease(death);
    }
    return;
  }
  if (corpseAlpha <= 0.0f) return;
  corpseAlpha = std::clamp(corpseAlpha - corpseFadeRate * frameTime, 0.0f, 1.0f);
  SetColorFactor(corpseAlpha);
  if (corpseAlpha <= 0.0f) {
    if (GetOwner()) GetOwner()->RequestEnable(false);
    if (DeathEffectAlive()) deathEffect->SetActive(false);
    deathEffect = nullptr;
  }
}

// --- Events -----------------------------------------------------------------------------------

void CPatrol::HandleEvent(evn::IEvent* event) {
  if (!event) return;
  const CStringHash& type = event->GetType();
  if (type == SH_OnCollisionEnter) {
    const auto* contact = static_cast<evn::CEventCollisionEnter*>(event);
    if (contact->sides.otherClass != SH_weapon_player || current == SAIState{32, 0}) return;
    if (current != SAIState{35, 0}) current = SAIState{32, 0};
    bool fifth = false;
    if (obj::CGameObjectManager* objects = obj::CGameObjectManager::GetInstance()) {
      std::vector<obj::CGameObject*> players;
      objects->GetGameObjectsByTemplate(kPlayerName, players);
      if (!players.empty())
        if (const CComboController* combo = players.front()->GetComponent<CComboController>())
          fifth = combo->state == 5;
    }
    if (sfx::CAudioManager* audio = sfx::CAudioManager::GetInstance())
      audio->PlaySound(fifth ? "hitX5_01" : "hitX1_01", false);
  } else if (type == SH_OnSequence) {
    const auto* sequence = static_cast<evn::CEventSequence*>(event);
    const char* name = sequence->name.Get();
    if (sequence->begin && name && name[0]) StartSequence(CStringHash(name));
  }
}

bool CPatrol::StartSequence(const CStringHash& name) {
  for (int slot = 2; slot <= 4; ++slot) {
    const SPlayListSlot& entry = playListSlots[slot - 1];
    if (entry.seqName.IsNoName() || entry.seqName.Get() != name) continue;
    if (!entry.playList || entry.playList->entries.empty()) return false;
    locked = 0;
    ChangeState(7, slot, true);
    locked = 1;
    return true;
  }
  return false;
}

// --- Lua ----------------------------------------------------------------------------------------

void CPatrol::SetStateByName(const char* name, int subState, bool force) {
  const CAIManager* manager = Manager();
  const int state = manager ? manager->StateFromName(name) : 0;
  ChangeState(state, subState, force);
}

void CPatrol::ExecuteCycle(const char* name) {
  cycleName.Set(name ? name : "");
  ChangeState(5, 0, true);
  Animation().BlendCycle(cycleName, 1.0f, 0.05f, 0.25f);
}

void CPatrol::ExecuteAction(const char* name, const char* id) {
  ExecuteActionEx(name, id, false, 0.25f, 0.25f);
}

void CPatrol::ExecuteActionEx(const char* name, const char* id, bool lock, float delayIn,
                              float delayOut) {
  requestedAction.Set(name ? name : "");
  actionId = id ? id : "";
  requestedLocked = lock ? 1 : 0;
  requestedDelayIn = delayIn;
  requestedDelayOut = delayOut;
  turning = 0;
  locked = 0;
  // A new action restarts the action state.
  if (current == SAIState{6, 0}) current = SAIState{1, 0};
  ChangeState(6, 0, true);
  locked = 1;
}

void CPatrol::FaceTo(float x, float z, float speed) {
  turnSpeed = speed;
  turning = 1;
  const plat::Vec3 at = transform ? transform->position : plat::Vec3();
  targetYaw = std::atan2(x - at.x, z - at.z);
}

void CPatrol::TurnToYaw(float degrees, float speed) {
  turnSpeed = speed;
  turning = 1;
  targetYaw = degrees * 3.1415927f / 180.0f;
}

bool CPatrol::SetPlayList1(const char* kindName, const char* name, int group_, int id,
                           int startIndex, float startTimeDelay, bool loop, bool isStatic,
                           bool floorCollision, bool wallCollision) {
  const int kindValue = EnemyKindFromName(kindName);
  if (kindValue < 0) {
    utl::LogPrintf("Enemy %s: SetPlayList1 for unknown kind '%s'\n", OwnerName(),
                   kindName ? kindName : "");
    return false;
  }
  return StorePlayList1(kindValue, name, group_, id, startIndex, startTimeDelay, loop, isStatic,
                        floorCollision, wallCollision);
}

bool CPatrol::SetPlayList2(const char* kindName, const char* name, int group_, int id,
                           const char* trackerObject, const char* trackerCycle,
                           const char* seqName, const char* nextSeq, bool lock) {
  const int kindValue = EnemyKindFromName(kindName);
  if (kindValue < 0) {
    utl::LogPrintf("Enemy %s: SetPlayList2 for unknown kind '%s'\n", OwnerName(),
                   kindName ? kindName : "");
    return false;
  }
  return StorePlayList2(kindValue, name, group_, id, trackerObject, CStringHash(trackerCycle),
                        CStringHash(seqName), CStringHash(nextSeq), lock);
}

// --- Play lists ----------------------------------------------------------------------------------

SPlayListSlot* CPatrol::GetPlayList(int index) {
  return index >= 1 && index <= 4 ? &playListSlots[index - 1] : nullptr;
}

namespace {
SPlayListSlot* SlotByName(SPlayListSlot* slots, const char* name) {
  const CStringHash hash(name);
  for (int i = 0; i < 4; ++i)
    if (slots[i].name.Get() == hash) return &slots[i];
  return nullptr;
}
}  // namespace

bool CPatrol::StorePlayList1(int kindValue, const char* name, int groupNumber, int id,
                             int startIndex, float startTimeDelay, bool loop, bool isStatic,
                             bool floorCollision, bool wallCollision) {
  const CAIManager* manager = Manager();
  const SPlayList* list = manager ? manager->FindPlayList(kindValue, groupNumber, id) : nullptr;
  SPlayListSlot* slot = SlotByName(playListSlots, name);
  if (!list || !slot) return false;
  slot->playList = list;
  slot->startIndex = startIndex;
  slot->startTimeDelay = startTimeDelay;
  // The pass-time list loops for ever.
  slot->loop = slot == &playListSlots[0] ? 1 : (loop ? 1 : 0);
  slot->isStatic = isStatic ? 1 : 0;
  slot->floorCollision = floorCollision ? 1 : 0;
  slot->wallCollision = wallCollision ? 1 : 0;
  return true;
}

bool CPatrol::StorePlayList2(int kindValue, const char* name, int groupNumber, int id,
                             const char* trackerObject, const CStringHash& trackerCycle,
                             const CStringHash& seqName, const CStringHash& nextSeq, bool lock) {
  const CAIManager* manager = Manager();
  const SPlayList* list = manager ? manager->FindPlayList(kindValue, groupNumber, id) : nullptr;
  SPlayListSlot* slot = SlotByName(playListSlots, name);
  if (!list || !slot) return false;
  slot->playList = list;
  slot->seqName = seqName;
  slot->nextSeq = nextSeq;
  slot->lock = lock ? 1 : 0;
  if (lgc::CTracker* found = FindTracker(trackerObject)) slot->tracker = found;
  const int mode = TrackerModeFromName(trackerCycle.c_str());
  if (mode >= 0) slot->trackerMode = mode;
  return true;
}

lgc::CTracker* CPatrol::FindTracker(const char* objectName) {
  if (!objectName || !objectName[0]) return nullptr;
  obj::CGameObject* object = obj::FindGameObjectByName(CStringHash(objectName));
  return object ? object->GetComponent<lgc::CTracker>() : nullptr;
}

const std::vector<SPlayListEntry>* CPatrol::ActiveEntries() {
  if (activeSlot == 0) return nullptr;
  const SPlayListSlot* slot = GetPlayList(activeSlot);
  if (!slot || !slot->playList) return nullptr;
  return activeExit ? &slot->playList->exitEntries : &slot->playList->entries;
}

void CPatrol::ApplySlotFlags(const SPlayListSlot& slot) {
  Animation().SetStatic(slot.isStatic != 0);
  if (characterCollider) {
    characterCollider->TestFloor(slot.floorCollision != 0);
    characterCollider->TestWalls(slot.wallCollision != 0);
  }
}

void CPatrol::UpdatePlayList() {
  bool process = false;
  SPlayListSlot* slot = GetPlayList(current.subState);
  if (activeSlot == 0) {
    stateTime = 0.0f;
    activeSlot = current.subState;
    activeExit = exitPending;
    const std::vector<SPlayListEntry>* entries = ActiveEntries();
    if (!slot || !entries || entries->empty()) {
      ClearActiveList();
      if (!exitPending)
        exitPending = 1;
      else
        ApplyPending();
      return;
    }
    ApplySlotFlags(*slot);
    entryIndex = 0;
    stepDuration = kLargest;
    process = true;
    if (Entering()) {
      // A start index past the list starts it from its first entry.
      entryIndex = slot->startIndex >= 0 &&
                           static_cast<size_t>(slot->startIndex) < entries->size()
                       ? slot->startIndex
                       : 0;
      Animation().BlendCycle(SH_idle_01, 1.0f, 0.25f, 0.25f);
      locked = slot->lock;
      startDelay = slot->startTimeDelay;
      if (startDelay > 0.0f && previous.state != 8) {
        ClearActiveList();
        current.state = 8;
        return;
      }
    }
  }
  slot = GetPlayList(activeSlot);
  const std::vector<SPlayListEntry>* entries = ActiveEntries();
  if (!slot || !entries || entries->empty()) return;
  if (entryIndex < 0 || static_cast<size_t>(entryIndex) >= entries->size()) entryIndex = 0;

  const bool fromWalk = previous.state == 9 || previous.state == 10;
  if (!process && !(*entries)[entryIndex].locked && (stepDuration < stateTime || fromWalk)) {
    PostAction(stepName.Get().c_str(), stepName.Get().c_str(), false, slot);
    ++entryIndex;
    if (static_cast<size_t>(entryIndex) >= entries->size()) {
      entryIndex = 0;
      bool advance = true;
      EndPlayList(&advance);
      if (!advance) return;
      // EndPlayList may have started another list or emptied this one.
      slot = GetPlayList(activeSlot);
      entries = ActiveEntries();
      if (!slot || !entries || entries->empty()) return;
    }
    process = true;
  }
  if (!process && !(keepStateTime && activeSlot != 0)) return;

  if (!keepStateTime) stateTime = 0.0f;
  Animation().SetPaused(false);
  Animation().ClearActions();
  Animation().ClearLockedActions();
  // A list of only sounds and subtitles goes round once a frame, not for ever.
  for (size_t guard = 0; guard <= entries->size(); ++guard) {
    if (!ProcessEntry((*entries)[entryIndex], *slot)) return;
    ++entryIndex;
    if (static_cast<size_t>(entryIndex) >= entries->size()) {
      entryIndex = 0;
      bool advance = true;
      EndPlayList(&advance);
      if (!advance) return;
      slot = GetPlayList(activeSlot);
      entries = ActiveEntries();
      if (!slot || !entries || entries->empty()) return;
    }
  }
}

bool CPatrol::ProcessEntry(const SPlayListEntry& entry, const SPlayListSlot& slot) {
  obj::CGameObject* owner = GetOwner();
  if (entry.isTracker) {
    stepName = kTrackerStep;
    lgc::CTracker* walked = entry.tracker ? entry.tracker : slot.tracker;
    if (!walked) return false;
    if (entry.isAnimation) cycleName = entry.id;
    tracker = walked;
    stopAtWaypoint = entry.stopAtWaypoint;
    if (entry.tracker) {
      trackerMode = entry.trackerMode;
      trackerObjectName.Set(entry.trackerName.c_str());
    } else {
      trackerMode = slot.trackerMode;
      const obj::CGameObject* trackerOwner = slot.tracker->GetOwner();
      trackerObjectName.Set(trackerOwner ? trackerOwner->GetNameText() : "");
    }
    current.state = 10;
    return false;
  }
  if (entry.isAnimation) {
    cycleName = entry.id;
    Animation().BlendCycle(cycleName, 1.0f, 0.25f, 0.25f);
    stepDuration = entry.time;
    stepName = cycleName;
    return false;
  }
  evn::CEventManager* events = evn::CEventManager::GetInstance();
  if (!entry.sound.empty()) {
    if (events)
      events->AddTimerEvent(SH_sound, entry.soundTime, sfx::CAudioManager::GetInstance(),
                            entry.sound.c_str(), 0);
    stepDuration = 0.0f;
    return true;
  }
  if (!entry.sound3d.empty()) {
    if (events && owner)
      events->AddTimerEvent(SH_sound_3d, entry.soundTime, sfx::CAudioManager::GetInstance(),
                            entry.sound3d.c_str(), static_cast<uintptr_t>(owner->GetId()));
    stepDuration = 0.0f;
    return false;
  }
  if (!entry.subtitle.text.empty()) {
    // The HUD, listening to the timers, shows it when this one fires.
    if (events)
      events->AddTimerEvent(SH_subtitle_timer, entry.subtitle.time, nullptr,
                            entry.subtitle.timerData.c_str(), 0);
    stepDuration = 0.0f;
    return true;
  }
  float delay = entry.delayIn;
  if (!entry.cycle.IsNoName()) {
    cycleName = entry.cycle;
    Animation().BlendCycle(cycleName, 1.0f, 0.25f, 0.25f);
    delay = 0.0f;
  }
  actionAnimation = entry.id;
  if (entry.locked) delay = 0.0f;
  Animation().ExecuteAction(actionAnimation, 1.0f, delay, entry.delayOut, false);
  if (entry.locked) {
    Animation().Settle();
    Animation().SetPaused(true);
  }
  stepDuration = Duration(actionAnimation);
  stepName = actionAnimation;
  PostAction(actionAnimation.Get().c_str(), actionAnimation.Get().c_str(), true, &slot);
  return false;
}

bool CPatrol::EndPlayList(bool* advance) {
  locked = 0;
  if (exitPending) {
    ApplyPending();
    if (advance) *advance = false;
    return true;
  }
  if (advance) *advance = true;
  const int sub = current.subState;
  if (sub == 1) {
    entryIndex = 0;
    return true;
  }
  if (sub >= 2 && sub <= 4) {
    const SPlayListSlot& slot = playListSlots[sub - 1];
    if (evn::CEventSequence* ended = evn::CEventSequence::New()) {
      ended->name.Copy(slot.seqName.Get().c_str());
      ended->begin = false;
      ended->gameObject.Copy(OwnerName());
      evn::PostOrRelease(ended);
    }
    if (!slot.nextSeq.IsNoName())
      if (evn::CEventSequence* next = evn::CEventSequence::New()) {
        next->name.Copy(slot.nextSeq.Get().c_str());
        next->begin = true;
        next->gameObject.Copy(OwnerName());
        evn::PostOrRelease(next);
      }
    if (!slot.loop) {
      ChangeState(7, 1, true);
      if (advance) *advance = false;
    } else {
      entryIndex = 0;
    }
    return true;
  }
  entryIndex = 0;
  return false;
}

void CPatrol::UpdateStartDelay() {
  if (Entering()) Animation().BlendCycle(SH_idle_01, 1.0f, 0.25f, 0.25f);
  if (startDelay <= 0.0f) current.state = 7;
  startDelay -= frameTime;
}

void CPatrol::UpdateNextWaypoint() {
  const size_t count = tracker ? tracker->GetWaypointCount() : 0;
  if (count == 0) {
    // Nothing to walk: back to the list, which moves on.
    current.state = 7;
    return;
  }
  const plat::Vec3 here = transform ? transform->position : plat::Vec3();
  if (previous.state != 9) {
    float best = kLargest;
    for (size_t i = 0; i < count; ++i) {
      const float d = plat::LengthSq(tracker->waypoints[i] - here);
      if (d < best) {
        best = d;
        waypointIndex = static_cast<int32_t>(i);
      }
    }
  }
  const int last = static_cast<int>(count) - 1;
  if (waypointIndex < 0 || waypointIndex > last) waypointIndex = 0;
  switch (trackerMode) {
    case 0:
      if (waypointIndex + 1 > last) {
        if (SPlayListSlot* slot = GetPlayList(activeSlot)) slot->loop = 0;
        current.state = 7;
        return;
      }
      ++waypointIndex;
      break;
    case 1:
      waypointIndex = (waypointIndex + 1) % static_cast<int>(count);
      break;
    default: {
      if (count == 1) break;
      int next = waypointIndex + (pingPongForward ? 1 : -1);
      if (next < 0 || next > last) {
        pingPongForward = pingPongForward ? 0 : 1;
        next = waypointIndex + (pingPongForward ? 1 : -1);
      }
      waypointIndex = next;
      break;
    }
  }
  targetPoint = tracker->waypoints[static_cast<size_t>(waypointIndex)];
  current.state = 9;
}

void CPatrol::UpdateWalk() {
  if (Entering()) Animation().BlendCycle(cycleName, 1.0f, 0.25f, 0.25f);
  if (!transform) return;
  const plat::Vec3 toTarget = targetPoint - transform->position;
  transform->TurnYawTowardsDirection(toTarget, std::min(1.0f, turnSpeedMove * frameTime));
  transform->UpdateMatrix();
  float speed = 7.0f;
  if (IsRunOrWalk(cycleName, SH_walk_01, SH_walk_02))
    speed = walkSpeed;
  else if (IsRunOrWalk(cycleName, SH_run_01, SH_run_02))
    speed = runSpeed;
  const plat::Vec3 forward(std::sin(transform->yaw), 0.0f, std::cos(transform->yaw));
  if (characterCollider) characterCollider->SetWalkDirection(forward * speed);
  if (toTarget.x * toTarget.x + toTarget.z * toTarget.z >= 1.0f) return;
  if (characterCollider) characterCollider->SetWalkDirection(plat::Vec3());
  if (evn::CEventReachPos* reached = evn::CEventReachPos::New()) {
    reached->gameObject.Copy(OwnerName());
    reached->posId.Copy(trackerObjectName.Get().c_str());
    reached->waypoint = waypointIndex;
    reached->target = GetOwner();
    evn::PostOrRelease(reached);
  }
  current.state = (trackerMode != 0 && stopAtWaypoint) ? 7 : 10;
}

}  // namespace vd
