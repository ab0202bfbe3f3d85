#include "game/player/PlayerController.h"

#include <strings.h>

#include <cmath>
#include <iterator>

#include "engine/animation/Animator.h"
#include "engine/audio/AudioManager.h"
#include "engine/collision/CharacterCollider.h"
#include "engine/core/EngineNames.h"
#include "engine/core/Log.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/input/InputManager.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Tracker.h"
#include "engine/objects/Transform.h"
#include "game/player/ComboController.h"
#include "game/player/FightSlotMgr.h"
#include "game/player/PlayerEffects.h"
#include "game/player/WeaponController.h"

namespace vd {

namespace {

int g_difficulty = obj::kDifficultyNormal;
bool g_inputAccepted = true;

const CStringHash kWeaponRendererType("CWeaponRenderer");
const CStringHash kMainCamera("main_camera");

// The event types the owner listens to for the player, in this order.
const CStringHash kSubscribedEvents[] = {
    CStringHash("OnCollisionEnter"), CStringHash("OnCollisionStay"), CStringHash("OnCollisionExit"),
    CStringHash("OnEnableUse"),      CStringHash("OnHUDChange"),     CStringHash("OnEnemyAttack"),
    CStringHash("OnCinematic"),      CStringHash("OnShockWave"),     CStringHash("OnExplosion"),
    CStringHash("OnTimer"),          CStringHash("OnReachPos"),
};

const CStringHash kClassPlayer("player");
const CStringHash kClassEnemy("enemy");
const CStringHash kClassWall("wall");

// Tuning keys.
enum ETuning : int {
  kRunSpeed,
  kWalkSpeed,
  kEvadeSpeed,
  kFasterRotSpeed,
  kFastRotSpeed,
  kSlowRotSpeed,
  kComboRotSpeed,
  kAutoAimYawAngle,
  kAutoAimMaxDist,
  kLife,
  kGas,
  kGasConsumption,
  kGasConstantConsumption,
  kGasIn,
  kGasStart,
  kGasOver,
  kGrenades,
  kGrenadesSlowmotionIn,
  kGrenadesSlowmotionOut,
  kGrenadesSlowmotionSpeed,
  kGrenadesIn,
  kTimeToIdle,
  kHitInterval,
  kFatalityMaxDist,
  kFatality01,
  kFatality02,
  kFatality03,
  kFatality04,
  kTuningCount
};

struct STuningName {
  uint32_t hash;
  int id;
};

constexpr STuningName kTuningNames[] = {
    {ComputeHash("run_speed"), kRunSpeed},
    {ComputeHash("walk_speed"), kWalkSpeed},
    {ComputeHash("evade_speed"), kEvadeSpeed},
    {ComputeHash("faster_rot_speed"), kFasterRotSpeed},
    {ComputeHash("fast_rot_speed"), kFastRotSpeed},
    {ComputeHash("slow_rot_speed"), kSlowRotSpeed},
    {ComputeHash("combo_rot_speed"), kComboRotSpeed},
    {ComputeHash("auto_aim_yaw_angle"), kAutoAimYawAngle},
    {ComputeHash("auto_aim_max_dist"), kAutoAimMaxDist},
    {ComputeHash("life"), kLife},
    {ComputeHash("gas"), kGas},
    {ComputeHash("gas_consumption"), kGasConsumption},
    {ComputeHash("gas_constant_consumption"), kGasConstantConsumption},
    {ComputeHash("gas_in"), kGasIn},
    {ComputeHash("gas_start"), kGasStart},
    {ComputeHash("gas_over"), kGasOver},
    {ComputeHash("grenades"), kGrenades},
    {ComputeHash("grenades_slowmotion_in"), kGrenadesSlowmotionIn},
    {ComputeHash("grenades_slowmotion_out"), kGrenadesSlowmotionOut},
    {ComputeHash("grenades_slowmotion_speed"), kGrenadesSlowmotionSpeed},
    {ComputeHash("grenades_in"), kGrenadesIn},
    {ComputeHash("time_to_idle"), kTimeToIdle},
    {ComputeHash("hit_interval"), kHitInterval},
    {ComputeHash("fatality_max_dist"), kFatalityMaxDist},
    {ComputeHash("fatality_01"), kFatality01},
    {ComputeHash("fatality_02"), kFatality02},
    {ComputeHash("fatality_03"), kFatality03},
    {ComputeHash("fatality_04"), kFatality04},
};
static_assert(sizeof(kTuningNames) / sizeof(kTuningNames[0]) == kTuningCount, "one name a key");

int TuningId(uint32_t hash) {
  for (const STuningName& name : kTuningNames)
    if (name.hash == hash) return name.id;
  return -1;
}

// The script API's state names by number; 21 has none.
const char* const kStateNames[CPlayerController::kStateCount + 1] = {nullptr,
                                                                     "idle",
                                                                     "idle_combat",
                                                                     "idle_cinematic",
                                                                     "run",
                                                                     "run_cinematic",
                                                                     "walk",
                                                                     "walk_cinematic",
                                                                     "evade",
                                                                     "cover",
                                                                     "cover_out",
                                                                     "cover_hit",
                                                                     "fatality",
                                                                     "combo",
                                                                     "combo_auto_1",
                                                                     "combo_auto_2",
                                                                     "special_attack_1",
                                                                     "special_attack_2",
                                                                     "use",
                                                                     "cinematic_action",
                                                                     "hit",
                                                                     nullptr,
                                                                     "dying",
                                                                     "corpse"};

}  // namespace

const CStringHash& CPlayerController::GetClassName() {
  static const CStringHash name("CPlayerController");
  return name;
}

const char* CPlayerController::GetStateName(int value) {
  return value >= 1 && value <= kStateCount ? kStateNames[value] : nullptr;
}

int CPlayerController::GetStateByName(const char* name) {
  if (!name) return 0;
  for (int i = 1; i <= kStateCount; ++i)
    if (kStateNames[i] && strcasecmp(kStateNames[i], name) == 0) return i;
  return 0;
}

void CPlayerController::SetDifficulty(int difficulty) { g_difficulty = difficulty; }
int CPlayerController::GetDifficulty() { return g_difficulty; }
void CPlayerController::SetInputAccepted(bool accepted) { g_inputAccepted = accepted; }
const CInputManager* CPlayerController::AcceptedInput() {
  return g_inputAccepted ? CInputManager::GetInstance() : nullptr;
}

CPlayerController::~CPlayerController() {
  if (!IsCheckPointCopy()) Reset();
}

// --- Load ----------------------------------------------------------------------------

void CPlayerController::Load(rapidxml::xml_node<>* element) {
  obj::ForEachKeyWithDifficulty(element, g_difficulty, [this](const obj::CKey& key) {
    const int id = TuningId(key.NameHash());
    switch (id) {
      case kRunSpeed:
        runSpeed = currentSpeed = key.Float();
        break;
      case kWalkSpeed:
        walkSpeed = key.Float();
        break;
      case kEvadeSpeed:
        evadeSpeed = key.Float();
        break;
      case kFasterRotSpeed:
        fasterRotSpeed = key.Float();
        break;
      case kFastRotSpeed:
        fastRotSpeed = key.Float();
        break;
      case kSlowRotSpeed:
        slowRotSpeed = key.Float();
        break;
      case kComboRotSpeed:
        comboRotSpeed = key.Float();
        break;
      case kAutoAimYawAngle:
        autoAimYawAngle = key.Float();
        break;
      case kAutoAimMaxDist:
        autoAimMaxDist = key.Float();
        break;
      case kLife:
        life = key.Int();
        break;
      case kGas:
        gas = key.Float();
        break;
      case kGasConsumption:
        gasConsumption = key.Float();
        break;
      case kGasConstantConsumption:
        gasConstantConsumption = key.Float();
        break;
      case kGasIn:
        gasIn = key.Float();
        break;
      case kGasStart:
        gasStart = key.Float();
        break;
      case kGasOver:
        gasOver = key.Float();
        break;
      case kGrenades:
        grenades = key.Int();
        break;
      case kGrenadesSlowmotionIn:
        grenadesSlowmotionIn = key.Float();
        break;
      case kGrenadesSlowmotionOut:
        grenadesSlowmotionOut = key.Float();
        break;
      case kGrenadesSlowmotionSpeed:
        grenadesSlowmotionSpeed = key.Float();
        break;
      case kGrenadesIn:
        grenadesIn = key.Float();
        break;
      case kTimeToIdle:
        timeToIdle = key.Float();
        break;
      case kHitInterval:
        hitInterval = key.Float();
        break;
      case kFatalityMaxDist:
        fatalityMaxDist = key.Float();
        break;
      case kFatality01:
      case kFatality02:
      case kFatality03:
      case kFatality04: {
        // The texts are copied: the document goes once loading is over.
        SFatalityRecord& record = fatalities[id - kFatality01];
        record.animation.Set(key.Name());
        record.targetType.Set(key.Attribute("target_type"));
        record.killFrame = key.Float("kill_frame");
        record.playerPosition = plat::Vec3(key.Float("player_pos_X"), key.Float("player_pos_Y"),
                                           key.Float("player_pos_Z"));
        break;
      }
      default:
        break;
    }
  });
}

// --- Life cycle ------------------------------------------------------------------------

bool CPlayerController::Init() {
  obj::CGameObject* owner = GetOwner();
  if (!owner) return true;
  weapon = owner->GetComponent<CWeaponController>();
  transform = owner->GetComponent<gfx::CTransform>();
  animator = owner->GetComponent<anm::CAnimator>();
  collider = owner->GetComponent<phy::CCharacterCollider>();
  combo = owner->GetComponent<CComboController>();
  fightSlots = owner->GetComponent<CFightSlotMgr>();
  effects = owner->GetComponent<CPlayerEffects>();
  std::vector<obj::IComponent*> renderers;
  owner->GetComponentsByFamily(SH_CRenderer, renderers);
  weaponRenderer1 = weaponRenderer2 = nullptr;
  for (obj::IComponent* renderer : renderers) {
    if (renderer->GetType() != kWeaponRendererType) continue;
    if (!weaponRenderer1) {
      weaponRenderer1 = renderer;
    } else {
      weaponRenderer2 = renderer;
      break;
    }
  }
  if (transform) startPosition = transform->position;
  Restart();
  Subscribe(true);
  return true;
}

void CPlayerController::Restart() {
  state = previousState = kIdleCombat;
  frameTime = stateTimer = idleTimer = 0.0f;
  target = nullptr;
  targetLocked = 0;
  footstepsStopped = 0;
  wallContact = 0;
  coverHitAgain = 0;
  if (usePromptShown) HideUsePrompt();
  useInRange = useActive = usePlaced = 0;
  fatalityPlaced = fatalityStarted = 0;
  if (transform) {
    transform->position = startPosition;
    transform->UpdateMatrix();
    transform->changed = 1;
    transform->SetYaw(kRestartYaw);
    referenceYaw = transform->yaw;
  } else {
    referenceYaw = kRestartYaw;
  }
  moveDirection = previousMoveDirection =
      plat::Vec3(std::sin(referenceYaw), 0.0f, std::cos(referenceYaw));
  voiceChannel = 0;
  lastEnemyAttack = CStringHash();
  // A flash cut short by the restart must not stay on the screen.
  if (flashActive) SetScreenEffect(false);
  flashActive = 0;
  sinceHit = 0.0f;
  firstExplosionHit = 1;
  // A life that restarts in a throw's slow motion must not go on in it.
  EndGrenadeSlowMotion();
}

void CPlayerController::SetEnabled(bool enabled, bool fromCheckPoint) {
  (void)fromCheckPoint;
  const uint8_t flag = enabled ? 1 : 0;
  if (flag == m_enabled) return;
  m_enabled = flag;
  if (enabled) BlendCycle("idle_01");
}

void CPlayerController::Reset() {
  Subscribe(false);
  transform = nullptr;
  animator = nullptr;
  collider = nullptr;
  weaponRenderer1 = weaponRenderer2 = nullptr;
  target = nullptr;
  footstepsStopped = 0;
  wallContact = 0;
  coverHitAgain = 0;
  useInRange = 0;
  usePromptShown = 0;
  state = previousState = kIdleCombat;
  frameTime = stateTimer = idleTimer = sinceHit = 0.0f;
}

void CPlayerController::Subscribe(bool on) {
  evn::SetSubscribed(GetOwner(), kSubscribedEvents, std::size(kSubscribedEvents), on, m_subscribed);
}

// --- Outside operations ------------------------------------------------------------------

void CPlayerController::SetState(int newState) {
  previousState = state;
  state = newState;
  if (animator) {
    animator->ClearActions();
    animator->ClearLockedActions();
  }
  if (weapon) {
    weapon->SetWeaponActive(false, CWeaponController::kSetNormal);
    weapon->SetWeaponActive(false, CWeaponController::kSetBig);
  }
  QueueWeaponRenderers(false);
  if (effects) effects->Restart();
}

void CPlayerController::FollowTracker(obj::CGameObject* trackerObject) {
  lgc::CTracker* found = trackerObject ? trackerObject->GetComponent<lgc::CTracker>() : nullptr;
  // A path without points would leave nothing to walk to.
  if (!found || found->GetWaypointCount() == 0) {
    utl::LogPrintf("Player: %s has no tracker with waypoints to follow\n",
                   trackerObject ? trackerObject->GetNameText() : "(no object)");
    tracker = nullptr;
    trackerName = CStringHash();
    return;
  }
  tracker = found;
  trackerName.Set(trackerObject->GetNameText());
  waypointIndex = 0;
  waypoint = *found->GetWaypoint(0);
}

void CPlayerController::PerformCinematicAction(const char* cycle, const char* action, bool lock) {
  const char* cycleName = cycle ? cycle : "";
  const char* actionName = action ? action : "";
  BlendCycle(cycleName);
  if (animator) animator->ExecuteAction(CStringHash(actionName), 1.0f, 0.25f, 0.05f, lock);
  stateDuration = Duration(actionName);
  stateTimer = 0.0f;
  previousState = state;
  state = kCinematicAction;
}

float CPlayerController::GetCameraYaw() const {
  obj::CGameObject* camera = obj::FindGameObjectByName(kMainCamera);
  gfx::CTransform* cameraTransform = camera ? camera->GetComponent<gfx::CTransform>() : nullptr;
  return cameraTransform ? cameraTransform->yaw : referenceYaw;
}

// --- Update ------------------------------------------------------------------------------

bool CPlayerController::Update(float dt) {
  frameTime = dt;
  sinceHit += dt;
  if (state != kDying && state != kCorpse && state != kFatality && state != kUse &&
      sinceHit > hitInterval) {
    if (fightSlots) fightSlots->hold = 0;
    UpdateUsePrompt();
  }
  currentSpeed += dt * kSpeedGain;
  if (currentSpeed > runSpeed) currentSpeed = runSpeed;
  if (currentSpeed < 0.0f) currentSpeed = 0.0f;

  switch (state) {
    case kIdle:
      UpdateIdle();
      break;
    case kIdleCombat:
      UpdateIdleCombat();
      break;
    case kIdleCinematic:
      UpdateIdleCinematic();
      break;
    case kRun:
      UpdateRun();
      break;
    case kRunCinematic:
    case kWalkCinematic:
      UpdateScriptedMove();
      break;
    case kWalk:
      break;
    case kEvade:
      UpdateEvade();
      break;
    case kCover:
      UpdateCover();
      break;
    case kCoverOut:
      UpdateCoverOut();
      break;
    case kCoverHit:
      UpdateCoverHit();
      break;
    case kCinematicAction:
      stateTimer += dt;
      if (stateTimer >= stateDuration) {
        if (animator) animator->ClearActions();
        previousState = kCinematicAction;
        state = kIdleCinematic;
        stateTimer = 0.0f;
      }
      break;
    case kDying:
      stateTimer += dt;
      if (fightSlots) {
        fightSlots->hold = 1;
        fightSlots->waiting.clear();
      }
      if (stateTimer >= stateDuration) state = kCorpse;
      break;
    case kFatality:
      UpdateFatality();
      break;
    case kUse:
      UpdateUse();
      break;
    case kHit:
    case kExplosionHit:
      UpdateHit();
      break;
    case kCombo:
      UpdateCombo();
      break;
    case kComboAuto1:
    case kComboAuto2:
      UpdateAutoAttack();
      break;
    case kSpecialAttack1:
      UpdateGasAttack();
      break;
    case kSpecialAttack2:
      UpdateGrenadeThrow();
      break;
    case kCorpse:
      // Death is final within a life: only a restart or SetState leaves the corpse.
      UpdateCorpse();
      break;
    default:
      break;
  }

  // Whoever leaves the throw, by its end or by any other change, ends its slow motion.
  if (grenadeSlowMotion && state != kSpecialAttack2) EndGrenadeSlowMotion();
  previousWallContact = wallContact;
  if (previousState == kRun && state != kRun) StopFootsteps();
  if (flashActive) {
    if (flashTimer >= kFlashTime) {
      SetScreenEffect(false);
      flashActive = 0;
    } else {
      flashTimer += dt;
    }
  }
  return true;
}

// --- Events ------------------------------------------------------------------------------

void CPlayerController::HandleEvent(evn::IEvent* event) {
  if (!event) return;
  const CStringHash& type = event->GetType();
  if (type == SH_OnCollisionStay) {
    auto* stay = static_cast<evn::CEventCollisionStay*>(event);
    const evn::SCollisionSides& sides = stay->sides;
    WallStrike(sides);
    if (sides.ownClass == kClassPlayer && sides.otherClass == kClassEnemy) {
      if (state == kDying || state == kCorpse || state == kFatality || !collider) return;
      // An enemy's body pushes the player aside; of two pushes in one frame the
      // stronger or the opposing one counts.
      plat::Vec3 normal(stay->normal.x, 0.0f, stay->normal.z);
      normal = plat::Normalize(normal);
      const plat::Vec3 push = normal * (stay->depth * 0.1f);
      const btVector3& pending = collider->GetDisplacement();
      const plat::Vec3 held(pending.x(), pending.y(), pending.z());
      if (held == plat::Vec3() || plat::Dot(held, push) < -0.1f ||
          plat::LengthSq(held) < plat::LengthSq(push)) {
        currentSpeed = 3.0f;
        collider->AddDisplacement(push);
      }
    } else if (sides.otherClass == kClassWall) {
      wallContact = 1;
      wallFacing = -plat::Dot(stay->normal, moveDirection);
    }
  } else if (type == SH_OnCollisionExit) {
    auto* exit = static_cast<evn::CEventCollisionExit*>(event);
    if (exit->sides.otherClass == kClassWall) wallContact = 0;
  } else {
    HandleReactionEvent(event);
  }
}

// --- Helpers -----------------------------------------------------------------------------

bool CPlayerController::Entering() {
  if (state == previousState) return false;
  previousState = state;
  return true;
}

void CPlayerController::StopFootsteps() {
  sfx::CAudioManager* audio = sfx::CAudioManager::GetInstance();
  if (audio && footstepChannel) audio->StopSound(footstepChannel);
}

uint32_t CPlayerController::PlaySound(const char* name, bool loop) {
  sfx::CAudioManager* audio = sfx::CAudioManager::GetInstance();
  return audio ? audio->PlaySound(name, loop) : 0;
}

void CPlayerController::BlendCycle(const char* name, float delay, float clearDelay) {
  if (animator) animator->BlendCycle(CStringHash(name), 1.0f, delay, clearDelay);
}

float CPlayerController::Duration(const char* name) const {
  return animator ? animator->GetAnimationDuration(CStringHash(name)) : 0.0f;
}

void CPlayerController::QueueWeaponRenderers(bool enable) {
  if (weaponRenderer1) obj::RequestComponentEnable(weaponRenderer1, enable);
  if (weaponRenderer2) obj::RequestComponentEnable(weaponRenderer2, enable);
}

bool CPlayerController::Pressed(int slot) const {
  const CInputManager* input = AcceptedInput();
  return input && input->IsPressed(slot);
}

bool CPlayerController::Released(int slot) const {
  const CInputManager* input = AcceptedInput();
  return input && input->IsReleased(slot);
}

float CPlayerController::Value(int slot) const {
  const CInputManager* input = AcceptedInput();
  return input ? input->GetAction(slot).value : 0.0f;
}

bool CPlayerController::AnyPressed(int first, int last) const {
  for (int slot = first; slot <= last; ++slot)
    if (Pressed(slot)) return true;
  return false;
}

bool CPlayerController::AnyValue(int first, int last) const {
  for (int slot = first; slot <= last; ++slot)
    if (Value(slot) != 0.0f) return true;
  return false;
}

bool CPlayerController::AllValuesZero(int first, int last) const { return !AnyValue(first, last); }

plat::Vec3 CPlayerController::InputDirection(float yaw) const {
  const CInputManager* input = AcceptedInput();
  if (!input) return plat::Vec3();
  return state == kEvade ? input->GetFourWayDirection(yaw) : input->GetMoveDirection(yaw);
}

// --- Factories ---------------------------------------------------------------------------

void RegisterPlayerComponentFactories(utl::FactoryMap<obj::IComponent>& makers) {
  utl::RegisterFactoryMaker<CPlayerController, obj::IComponent>(makers);
  utl::RegisterFactoryMaker<CWeaponController, obj::IComponent>(makers);
  utl::RegisterFactoryMaker<CComboController, obj::IComponent>(makers);
  utl::RegisterFactoryMaker<CPlayerEffects, obj::IComponent>(makers);
  utl::RegisterFactoryMaker<CFightSlotMgr, obj::IComponent>(makers);
}

void UnregisterPlayerComponentFactories(utl::FactoryMap<obj::IComponent>& makers) {
  utl::UnregisterFactoryMaker(CPlayerController::GetClassName(), makers);
  utl::UnregisterFactoryMaker(CWeaponController::GetClassName(), makers);
  utl::UnregisterFactoryMaker(CComboController::GetClassName(), makers);
  utl::UnregisterFactoryMaker(CPlayerEffects::GetClassName(), makers);
  utl::UnregisterFactoryMaker(CFightSlotMgr::GetClassName(), makers);
}

}  // namespace vd
