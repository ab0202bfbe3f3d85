#include "game/player/FollowCamera.h"

#include <cmath>

#include "engine/core/EngineNames.h"
#include "engine/core/Log.h"
#include "engine/core/Utils.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "platform/crt/Crt.h"
#include "platform/math/Math.h"

namespace vd {

namespace {

const CStringHash kTargetHeight("target_height");
const CStringHash kPositionDamping("position_damping_const");
const CStringHash kTargetDamping("target_damping_const");
const CStringHash kCinematicDamping("cinematic_damping_const");
const CStringHash kZoomDamping("zoom_damping_const");
const CStringHash kCinematicSpeed("cinematic_speed");
const CStringHash kKrauser("krauser");

CDepthOfFieldState g_ownDepthOfField;
IDepthOfField* g_depthOfField = nullptr;

// The spring constant that makes a spring of damping d critically damped.
float SpringConstant(float damping) { return damping * damping * 0.25f; }

const char* OwnerName(const obj::CGameObject* owner) { return owner ? owner->GetNameText() : ""; }

SDepthOfFieldValues Blend(const SDepthOfFieldValues& a, float wa, const SDepthOfFieldValues& b,
                          float wb) {
  SDepthOfFieldValues out;
  out.focalDist = wa * a.focalDist + wb * b.focalDist;
  out.nearBlurPlaneDist = wa * a.nearBlurPlaneDist + wb * b.nearBlurPlaneDist;
  out.farBlurPlaneDist = wa * a.farBlurPlaneDist + wb * b.farBlurPlaneDist;
  out.farBlurLimit = wa * a.farBlurLimit + wb * b.farBlurLimit;
  return out;
}

}  // namespace

const CStringHash& CCameraGOWController::GetClassName() { return SH_CCameraGOWController; }

void CCameraGOWController::SetDepthOfField(IDepthOfField* depthOfField) {
  g_depthOfField = depthOfField;
}

IDepthOfField& CCameraGOWController::GetDepthOfField() {
  return g_depthOfField ? *g_depthOfField : g_ownDepthOfField;
}

CCameraGOWController::~CCameraGOWController() {
  if (!IsCheckPointCopy()) Reset();
}

const CStringHash& CCameraGOWController::GetFamilyType() const { return SH_CCameraController; }

// --- component ---------------------------------------------------------------------

void CCameraGOWController::Load(rapidxml::xml_node<>* element) {
  obj::ForEachKey(element, [this](const obj::CKey& key) {
    const uint32_t name = key.NameHash();
    if (name == SH_target.GetHash()) {
      SetTargetByName(key.Text());
    } else if (name == kTargetHeight.GetHash()) {
      targetHeight = key.Float();
    } else if (name == kPositionDamping.GetHash()) {
      positionDamping = key.Float();
    } else if (name == kTargetDamping.GetHash()) {
      targetDamping = key.Float();
    } else if (name == kCinematicDamping.GetHash()) {
      cinematicDamping = key.Float();
    } else if (name == kZoomDamping.GetHash()) {
      zoomDamping = key.Float();
    } else if (name == kCinematicSpeed.GetHash()) {
      cinematicSpeed = key.Float();
    }
  });
}

bool CCameraGOWController::Init() {
  FindCameraAndTransform();
  startCinematicSpeed = cinematicSpeed;
  startPosition = transform ? transform->position : plat::Vec3();
  Restart();
  evn::CEventManager* events = evn::CEventManager::GetInstance();
  if (m_owner && events) {
    events->AddListener(m_owner, SH_OnShake);
    events->AddListener(m_owner, SH_OnFatality);
  }
  return true;
}

void CCameraGOWController::Restart() {
  up = plat::Vec3(0.0f, 1.0f, 0.0f);
  position = startPosition;
  cameraMode = kModeNormal;
  transitionMode = kTransitionNone;
  previousTransitionMode = kTransitionNone;
  cinematicTargetMode = kCinematicNoTarget;
  dt = 0.0f;

  // Whatever the "target" key named, the camera follows the player after a restart.
  // Until there is a player it keeps the target it had (a level's stand-in), or
  // stays where it is without one.
  m_reportedNoTarget = false;
  if (!SetTargetByName(SH_player.GetText()) && !targetTransform) m_reportedNoTarget = true;
  if (targetTransform) {
    targetPoint = targetTransform->position;
    targetPoint.y += targetHeight;
  }
  pendingBias = plat::Vec3();
  immediateBias = plat::Vec3();

  const plat::Vec3 toTarget = targetPoint - position;
  direction = plat::Normalize(toTarget);
  distance = desiredDistance = plat::Length(toTarget);
  utl::DirectionToYawPitch(direction, targetYaw, targetPitch);
  if (transform) {
    transform->SetYaw(targetYaw);
    transform->SetPitch(targetPitch);
  }

  destination = plat::Vec3();
  segmentStart = plat::Vec3();
  positionSpringConstant = SpringConstant(positionDamping);
  targetSpringConstant = SpringConstant(targetDamping);
  cinematicSpringConstant = SpringConstant(cinematicDamping);
  zoomSpringConstant = SpringConstant(zoomDamping);
  positionVelocity = targetVelocity = zoomVelocity = plat::Vec3();

  railObjectName.clear();
  railTracker = previousRailTracker = nullptr;
  // The field goes with the rails: the level objects that held it may be destroyed
  // before a script names another.
  fieldTracker = nullptr;
  railIndex = 0;
  railStart = railEnd = railDirection = railSide = plat::Vec3();

  cinematicSpeed = cinematicTargetSpeed = startCinematicSpeed;
  cinematicAcceleration = 0.0f;
  travelled = 0.0f;
  railMaxDistance = 0.0f;
  cinematicSpringOn = 0;

  shakePower = shakeTimer = 0.0f;
  positionShake = targetShake = 0;
  bossFatality = 0;
  m_reportedTracker = nullptr;

  LookAt(position, targetPoint);
}

void CCameraGOWController::Reset() {
  camera = nullptr;
  transform = nullptr;
  direction = up = plat::Vec3();
  cameraMode = transitionMode = 0;
  dt = 0.0f;
  targetTransform = nullptr;
  targetPoint = pendingBias = immediateBias = plat::Vec3();
  position = destination = segmentStart = plat::Vec3();
  targetYaw = targetPitch = distance = desiredDistance = 0.0f;
  positionSpringConstant = positionDamping = 0.0f;
  positionVelocity = plat::Vec3();
  targetSpringConstant = targetDamping = 0.0f;
  targetVelocity = plat::Vec3();
  railObjectName.clear();
  railTracker = previousRailTracker = fieldTracker = nullptr;
  railIndex = 0;
  railStart = railEnd = railDirection = railSide = plat::Vec3();
  railMaxDistance = cinematicSpeed = travelled = 0.0f;
  shakePower = shakeTimer = 0.0f;
  positionShake = targetShake = 0;
  evn::CEventManager* events = evn::CEventManager::GetInstance();
  if (m_owner && events) {
    events->RemoveListener(SH_OnShake, m_owner);
    events->RemoveListener(SH_OnFatality, m_owner);
  }
}

void CCameraGOWController::HandleEvent(evn::IEvent* event) {
  // By class: a script-only event may carry the same message name without the fields.
  if (auto* shake = dynamic_cast<evn::CEventShake*>(event)) {
    OnShake(shake->power, shake->timer);
  } else if (auto* fatality = dynamic_cast<evn::CEventFatality*>(event)) {
    OnFatality(fatality->position, fatality->fatalityTargetName, fatality->duration,
               fatality->killFrame);
  }
}

void CCameraGOWController::OnShake(float power, float timer) {
  shakePower = power;
  shakeTimer = timer;
  targetShake = 1;
}

void CCameraGOWController::OnFatality(const plat::Vec3& victim, const CStringHash& targetType,
                                      float duration, float killFrame) {
  // Without a target there is nothing to fly to: the camera stays as it is.
  if (!HasTarget()) return;
  IDepthOfField& dof = GetDepthOfField();
  const bool again = transitionMode == kTransitionFatality;
  savedCameraMode = cameraMode;
  if (!again) {
    savedTransitionMode = transitionMode;
    // A fatality that finds the depth of field off has nothing to put back.
    depthOfFieldSaved = dof.IsOn() ? 1 : 0;
    if (depthOfFieldSaved) savedDepthOfField = dof.GetValues();
    // A fatality that interrupts another finds the close-up's narrowed view: the view
    // to return to is still the one before the first.
    savedFov = Fov();
  }
  FollowTarget();

  fatalityTime = 0.0f;
  transitionMode = kTransitionFatality;
  fatalityDuration = duration;
  fatalityKillFrame = killFrame;
  segmentStart = position;

  const plat::Vec3 towards = targetTransform->position - position;
  const float length = plat::Length(towards);
  fatalityDirection = plat::Normalize(towards);
  fatalityCameraPoint = position + fatalityDirection * (length - 5.25f);
  const plat::Vec3 victimAtHeight(victim.x, targetPoint.y, victim.z);
  fatalityLookPoint = (targetPoint + victimAtHeight) * 0.5f;
  if (dof.IsOn()) focusDistance = plat::Length(fatalityLookPoint - fatalityCameraPoint);

  shakePower = 1.5f;
  shakeTimer = 0.2f;
  positionShake = 1;
  bossFatality = targetType.GetHash() == kKrauser.GetHash() ? 1 : 0;
}

// --- controller --------------------------------------------------------------------

void CCameraGOWController::SetPosition(const plat::Vec3& newPosition) { destination = newPosition; }

void CCameraGOWController::SetYaw(float degrees) { targetYaw = degrees * plat::kPi / 180.0f; }

void CCameraGOWController::SetPitch(float degrees) { targetPitch = degrees * plat::kPi / 180.0f; }

// --- script interface --------------------------------------------------------------

void CCameraGOWController::StartCinematic() {
  segmentStart = position;
  const plat::Vec3* point =
      railTracker ? railTracker->GetWaypoint(static_cast<size_t>(railIndex)) : nullptr;
  if (!point) {
    utl::LogPrintf("Camera %s: cinematic on %s has no point %d; it will not run\n",
                   OwnerName(m_owner),
                   railObjectName.empty() ? "no tracker" : railObjectName.c_str(), railIndex);
    segmentLength = 0.0f;
    return;
  }
  segmentLength = plat::Length(*point - segmentStart);
}

void CCameraGOWController::SetTransitionMode(int mode) {
  transitionMode = mode;
  if (mode != kTransitionTravelling && mode != kTransitionBlending) return;
  previousRailTracker = railTracker;
  previousRailSide = railSide;
  if (fieldTracker && fieldTracker->GetWaypointCount() >= 2) {
    fieldStart = fieldTracker->waypoints[0];
    fieldEnd = fieldTracker->waypoints[1];
  } else {
    utl::LogPrintf("Camera %s: transition %d without a field of two points\n", OwnerName(m_owner),
                   mode);
    fieldStart = fieldEnd = plat::Vec3();
  }
}

void CCameraGOWController::SetTracker(obj::CGameObject* object) {
  lgc::CTracker* tracker = object ? object->GetComponent<lgc::CTracker>() : nullptr;
  if (!tracker) {
    utl::LogPrintf("Camera %s: %s has no tracker to follow\n", OwnerName(m_owner),
                   object ? object->GetNameText() : "(no object)");
    return;
  }
  railTracker = tracker;
  railObjectName = object->GetNameText();
  railIndex = 0;
  travelled = 0.0f;
  if (tracker->GetWaypointCount() >= 2) {
    railStart = tracker->waypoints[0];
    railEnd = tracker->waypoints[1];
  } else {
    // Still a path for a cinematic of one point, never a rail.
    railStart = railEnd = tracker->GetWaypointCount() ? tracker->waypoints[0] : plat::Vec3();
  }
  railDirection = railEnd - railStart;
  railSide = plat::Normalize(plat::Cross(up, railDirection));
  m_reportedTracker = nullptr;
}

void CCameraGOWController::OverrideNextPosition() {
  if (!HasRail(railTracker, "rail")) return;
  float t = 0.0f;
  const plat::Vec3 q = Project(targetPoint, railStart, railEnd, t);
  destination = RailPoint(q, t, railStart, railEnd, railSide);
}

bool CCameraGOWController::SetTargetByName(const char* name) {
  obj::CGameObject* object = obj::FindGameObjectByName(CStringHash(name ? name : ""));
  gfx::CTransform* found = object ? object->GetComponent<gfx::CTransform>() : nullptr;
  if (!found) {
    utl::LogPrintf("Camera %s: no object %s with a transform to follow; the target stays\n",
                   OwnerName(m_owner), name ? name : "");
    return false;
  }
  targetTransform = found;
  m_reportedNoTarget = false;
  return true;
}

void CCameraGOWController::SetCinematicSpring(bool on, float damping) {
  cinematicSpringOn = on ? 1 : 0;
  if (!on) return;
  cinematicDamping = damping;
  cinematicSpringConstant = SpringConstant(damping);
}

void CCameraGOWController::StartDramaticZoom(const char* id, const plat::Vec3& zoomTo,
                                             const plat::Vec3& lookAt) {
  // Lua may collect its string before the zoom arrives.
  zoomId = id ? id : "";
  zoomPosition = zoomTo;
  targetPoint = lookAt;
  transitionMode = kTransitionNone;
  cameraMode = kModeDramaticZoom;
}

// --- shared steps ------------------------------------------------------------------

void CCameraGOWController::SpringStep(plat::Vec3& x, plat::Vec3& velocity, const plat::Vec3& goal,
                                      float k, float d, float dt) {
  const plat::Vec3 a = (x - goal) * -k - velocity * d;
  velocity += a * dt;
  x += velocity * dt;
}

void CCameraGOWController::FollowTarget() {
  const plat::Vec3 step = pendingBias * dt;
  pendingBias -= step;
  immediateBias += step;
  if (targetTransform) {
    const plat::Vec3& at = targetTransform->position;
    // The bias's y counts twice.
    const plat::Vec3 goal(at.x + immediateBias.x, at.y + targetHeight + 2.0f * immediateBias.y,
                          at.z + immediateBias.z);
    if (cinematicSpringOn) {
      SpringStep(targetPoint, targetVelocity, goal, cinematicSpringConstant, cinematicDamping, dt);
    } else {
      SpringStep(targetPoint, targetVelocity, goal, targetSpringConstant, targetDamping, dt);
    }
  }
  distance += (desiredDistance - distance) * dt;
}

plat::Vec3 CCameraGOWController::Project(const plat::Vec3& p, const plat::Vec3& a,
                                         const plat::Vec3& b, float& t) {
  const float dx = b.x - a.x, dz = b.z - a.z;
  const float lengthSq = dx * dx + dz * dz;
  // Ends that coincide in x-z make a rail of one point: the camera sits on it.
  t = lengthSq > 0.0f ? ((p.x - a.x) * dx + (p.z - a.z) * dz) / lengthSq : 0.0f;
  return plat::Vec3(a.x + t * dx, a.y, a.z + t * dz);
}

plat::Vec3 CCameraGOWController::RailPoint(const plat::Vec3& q, float t, const plat::Vec3& a,
                                           const plat::Vec3& b, const plat::Vec3& side) const {
  plat::Vec3 base = q;
  if (t < 0.0f) {
    base.x = a.x;
    base.z = a.z;
  } else if (t > 1.0f) {
    base.x = b.x;
    base.z = b.z;
  }
  const float d = plat::Length(targetPoint - q);
  if (d < railMaxDistance) return base;
  base.x -= side.x * (d - railMaxDistance);
  base.z -= side.z * (d - railMaxDistance);
  return base;
}

plat::Vec3 CCameraGOWController::EvaluatePath(int i, float s) const {
  const std::vector<plat::Vec3>& p = railTracker->waypoints;
  const int n = static_cast<int>(p.size());
  plat::Vec3 v0, v1, v2, v3;
  if (i == 0) {
    v0 = v1 = segmentStart;
    v2 = v3 = p[0];
  } else if (i == 1) {
    v0 = v1 = p[0];
    v2 = p[1];
    v3 = n > 2 ? p[2] : p[1];
  } else if (i < n - 1) {
    v0 = p[i - 2];
    v1 = p[i - 1];
    v2 = p[i];
    v3 = p[i + 1];
  } else {
    v0 = p[i - 2];
    v1 = p[i - 1];
    v2 = v3 = p[i];
  }
  const float length = plat::Length(v2 - v1);
  // A segment of no length is already travelled: its end point.
  const float u = length > 0.0f ? s / length : 1.0f;
  return plat::CatmullRom(v0, v1, v2, v3, u);
}

void CCameraGOWController::PlaceAndLook(const plat::Vec3& eye, const plat::Vec3& target) {
  if (transform) {
    transform->position = eye;
    transform->UpdateMatrix();
  }
  LookAt(eye, target);
}

void CCameraGOWController::ApplyDirection() {
  float yaw = 0.0f, pitch = 0.0f;
  utl::DirectionToYawPitch(direction, yaw, pitch);
  if (!transform) return;
  transform->SetYaw(yaw);
  transform->SetPitch(pitch);
}

void CCameraGOWController::Aim() {
  direction = plat::Normalize(targetPoint - position);
  ApplyDirection();
}

float CCameraGOWController::ShakeAmount() {
  const int r = plat::Rand() % 50 + 25;
  float amount = shakePower / static_cast<float>(r);
  if (plat::Rand() % 2 == 0) amount = -amount;
  return amount;
}

void CCameraGOWController::UpdateShake(plat::Vec3& eye, plat::Vec3& target) {
  shakeTimer -= dt;
  if (shakeTimer <= 0.0f) positionShake = targetShake = 0;
  if (positionShake) {
    const float amount = ShakeAmount();
    const plat::Vec3 upAxis = transform
                                  ? plat::Vec3(transform->world.m[1][0], transform->world.m[1][1],
                                               transform->world.m[1][2])
                                  : up;
    eye += upAxis * amount;
    PlaceAndLook(eye, target);
  }
  if (targetShake) {
    target.y += ShakeAmount();
    PlaceAndLook(eye, target);
  }
}

void CCameraGOWController::PostReachPos(const char* posId, int waypoint) {
  evn::CEventReachPos* event = evn::CEventReachPos::New();
  if (!event) return;
  // Delivered next frame: the event keeps its own texts.
  event->gameObject.Copy(OwnerName(m_owner));
  event->posId.Copy(posId ? posId : "");
  event->waypoint = waypoint;
  event->target = m_owner;
  if (evn::CEventManager* events = evn::CEventManager::GetInstance()) {
    events->PostEvent(event);
  } else {
    event->Release();
  }
}

void CCameraGOWController::SetFov(float degrees) {
  if (camera) camera->SetFov(degrees);
}

float CCameraGOWController::Fov() const { return camera ? camera->fov : 0.0f; }

bool CCameraGOWController::HasTarget() {
  if (targetTransform) return true;
  if (!m_reportedNoTarget) {
    utl::LogPrintf("Camera %s: no target to follow; the camera stays where it is\n",
                   OwnerName(m_owner));
    m_reportedNoTarget = true;
  }
  return false;
}

bool CCameraGOWController::HasRail(const lgc::CTracker* tracker, const char* what) {
  if (tracker && tracker->GetWaypointCount() >= 2) return true;
  const void* key = tracker ? static_cast<const void*>(tracker) : this;
  if (m_reportedTracker != key) {
    utl::LogPrintf("Camera %s: the %s needs a tracker of two points or more; the camera stays\n",
                   OwnerName(m_owner), what);
    m_reportedTracker = key;
  }
  return false;
}

// --- the frame ---------------------------------------------------------------------

bool CCameraGOWController::Update(float frameTime) {
  dt = frameTime;
  if (transitionMode != previousTransitionMode) {
    if (previousTransitionMode == kTransitionFatality) EndFatalityCamera();
    previousTransitionMode = transitionMode;
  }
  switch (transitionMode) {
    case kTransitionNone:
      StepCameraMode();
      break;
    case kTransitionTravelling:
      StepTravelling();
      break;
    case kTransitionBlending:
      StepBlending();
      break;
    case kTransitionCut:
      StepCut();
      break;
    case kTransitionFatality:
      StepFatality();
      break;
    default:
      break;
  }
  return true;
}

void CCameraGOWController::EndFatalityCamera() {
  SetFov(savedFov);
  IDepthOfField& dof = GetDepthOfField();
  dof.SetCinematic(false);
  if (depthOfFieldSaved) dof.SetValues(savedDepthOfField);
}

void CCameraGOWController::StepCameraMode() {
  switch (cameraMode) {
    case kModeNormal:
      StepNormal();
      break;
    case kModeFixed:
      StepFixed();
      break;
    case kModePan:
      StepPan();
      break;
    case kModeLinearRails:
      StepLinearRails(false);
      break;
    case kModeLinearFixedRails:
      StepLinearRails(true);
      break;
    case kModeCinematic:
      StepCinematic();
      break;
    case kModeDramaticZoom:
      StepDramaticZoom();
      break;
    default:
      break;
  }
}

void CCameraGOWController::StepNormal() {
  if (!HasTarget() || !transform) return;
  transform->SetYaw(transform->yaw + utl::AngleDifference(transform->yaw, targetYaw) * dt);
  transform->SetPitch(transform->pitch + utl::AngleDifference(transform->pitch, targetPitch) * dt);
  direction = plat::Normalize(utl::YawPitchToDirection(transform->yaw, transform->pitch));
  FollowTarget();
  position = targetPoint - direction * distance;
  PlaceAndLook(position, targetPoint);
  UpdateShake(position, targetPoint);
}

void CCameraGOWController::StepFixed() { PlaceAndLook(position, targetPoint + immediateBias); }

void CCameraGOWController::StepPan() {
  if (!HasTarget()) return;
  FollowTarget();
  Aim();
  PlaceAndLook(position, targetPoint);
  UpdateShake(position, targetPoint);
}

void CCameraGOWController::StepLinearRails(bool fixed) {
  if (!HasTarget() || !HasRail(railTracker, "rail")) return;
  FollowTarget();
  float t = 0.0f;
  const plat::Vec3 q = Project(targetPoint, railStart, railEnd, t);
  position = RailPoint(q, t, railStart, railEnd, railSide);
  if (!fixed) {
    Aim();
    PlaceAndLook(position, targetPoint);
    UpdateShake(position, targetPoint);
    return;
  }
  if (t >= 0.0f && t <= 1.0f) Aim();
  plat::Vec3 look = position - railSide * railMaxDistance;
  look.y = targetTransform->position.y + targetHeight;
  PlaceAndLook(position, look);
  UpdateShake(position, look);
}

void CCameraGOWController::StepCinematic() {
  const size_t count = railTracker ? railTracker->GetWaypointCount() : 0;
  if (count == 0) {
    const void* key = railTracker ? static_cast<const void*>(railTracker) : this;
    if (m_reportedTracker != key) {
      utl::LogPrintf("Camera %s: cinematic on %s has no points; skipped\n", OwnerName(m_owner),
                     railObjectName.empty() ? "no tracker" : railObjectName.c_str());
      m_reportedTracker = key;
    }
    return;
  }
  if (cinematicTargetMode == kCinematicTarget && !HasTarget()) return;
  const int n = static_cast<int>(count);
  // A script may have set an index past a shorter path.
  if (railIndex < 0 || railIndex >= n) railIndex = 0;

  if ((cinematicAcceleration > 0.0f && cinematicTargetSpeed > cinematicSpeed) ||
      (cinematicAcceleration < 0.0f && cinematicSpeed > cinematicTargetSpeed)) {
    cinematicSpeed += cinematicAcceleration * dt;
  }
  if (travelled >= segmentLength) {
    railIndex = (railIndex + 1) % n;
    travelled = 0.0f;
    PostReachPos(railObjectName.c_str(), railIndex);
    if (railIndex == 0) {
      // The path loops: its first segment now runs from the last point, where the
      // camera stands, not from where the cinematic began.
      segmentStart = railTracker->waypoints[static_cast<size_t>(n - 1)];
      segmentLength = plat::Length(railTracker->waypoints[0] - segmentStart);
      return;
    }
    segmentLength =
        plat::Length(railTracker->waypoints[railIndex] - railTracker->waypoints[railIndex - 1]);
  }
  travelled += cinematicSpeed * dt;
  position = EvaluatePath(railIndex, travelled);

  switch (cinematicTargetMode) {
    case kCinematicTarget:
      FollowTarget();
      Aim();
      break;
    case kCinematicFixedTarget:
      Aim();
      break;
    case kCinematicNoTarget:
      targetPoint = position + direction;
      if (transform) {
        // The transform still stands at the last position: the view turns gradually
        // towards the direction of travel.
        transform->TurnTowards(targetPoint, cinematicSpeed * dt, true);
        direction = plat::Normalize(utl::YawPitchToDirection(transform->yaw, transform->pitch));
      }
      break;
    case kCinematicFixedDirection:
      targetPoint = position + direction;
      break;
    default:
      break;
  }
  PlaceAndLook(position, targetPoint);
}

void CCameraGOWController::StepDramaticZoom() {
  if (plat::LengthSq(zoomPosition - position) < 0.0001f) {
    PostReachPos(zoomId.c_str(), 0);
  } else {
    SpringStep(position, zoomVelocity, zoomPosition, zoomSpringConstant, zoomDamping, dt);
  }
  Aim();
  PlaceAndLook(position, targetPoint);
  UpdateShake(position, targetPoint);
}

bool CCameraGOWController::BlendRails(plat::Vec3& blended, float& t) {
  if (!HasRail(previousRailTracker, "previous rail") || !HasRail(railTracker, "rail")) return false;
  float fieldT = 0.0f;
  Project(targetPoint, fieldStart, fieldEnd, fieldT);
  fieldProgress = fieldT < 0.0f ? 0.0f : (fieldT > 1.0f ? 1.0f : fieldT);

  const std::vector<plat::Vec3>& before = previousRailTracker->waypoints;
  float t0 = 0.0f;
  const plat::Vec3 q0 = Project(targetPoint, before[0], before[1], t0);
  const plat::Vec3 r0 = RailPoint(q0, t0, before[0], before[1], previousRailSide);

  const std::vector<plat::Vec3>& now = railTracker->waypoints;
  const plat::Vec3 q1 = Project(targetPoint, now[0], now[1], t);
  const plat::Vec3 r1 = RailPoint(q1, t, now[0], now[1], railSide);
  blended = r1 * fieldProgress + r0 * (1.0f - fieldProgress);
  return true;
}

void CCameraGOWController::StepTravelling() {
  if (!HasTarget()) return;
  FollowTarget();
  float t = 0.0f;
  if (!BlendRails(destination, t)) return;
  SpringStep(position, positionVelocity, destination, positionSpringConstant, positionDamping, dt);
  Aim();
  PlaceAndLook(position, targetPoint);
  if (plat::LengthSq(destination - position) < 0.01f) {
    transitionMode = kTransitionBlending;
    distance = desiredDistance = plat::Length(targetPoint - position);
  }
  UpdateShake(position, targetPoint);
}

void CCameraGOWController::StepBlending() {
  if (!HasTarget()) return;
  FollowTarget();
  float t = 0.0f;
  plat::Vec3 blended;
  if (!BlendRails(blended, t)) return;
  position = blended;
  const bool onRail = t >= 0.0f && t <= 1.0f;
  if (cameraMode == kModeLinearRails || (cameraMode == kModeLinearFixedRails && onRail)) {
    Aim();
    PlaceAndLook(position, targetPoint);
    UpdateShake(position, targetPoint);
  } else if (cameraMode == kModeLinearFixedRails) {
    const float dx = targetPoint.x - position.x, dz = targetPoint.z - position.z;
    const float h = std::sqrt(dx * dx + dz * dz);
    plat::Vec3 look = position - railSide * h;
    look.y = targetPoint.y;
    PlaceAndLook(position, look);
    UpdateShake(position, look);
  }
}

void CCameraGOWController::StepCut() {
  if (!HasTarget()) return;
  position = destination;
  transitionMode = kTransitionNone;
  targetPoint = targetTransform->position + plat::Vec3(0.0f, targetHeight, 0.0f) + pendingBias;
  direction = plat::Normalize(targetPoint - position);
  PlaceAndLook(position, targetPoint);
}

void CCameraGOWController::StepFatality() {
  IDepthOfField& dof = GetDepthOfField();
  fatalityTime += dt;
  const float t = fatalityTime;
  const float d = fatalityDuration;
  const float k = fatalityKillFrame * d;

  if (t < k) {
    if (plat::LengthSq(fatalityCameraPoint - position) >= 0.0001f) {
      dof.SetCinematic(true);
      SDepthOfFieldValues v = dof.GetValues();
      v.focalDist = 0.9f * v.focalDist + 0.1f * focusDistance;
      v.nearBlurPlaneDist = 0.9f * v.nearBlurPlaneDist + 0.1f;
      v.farBlurPlaneDist = 0.9f * v.farBlurPlaneDist + 1.2f;
      v.farBlurLimit = 0.9f * v.farBlurLimit + 0.08f;
      dof.SetValues(v);
      // Settles at 40 degrees.
      SetFov(0.6f * Fov() + 16.0f);
      position = position * 0.9f + fatalityCameraPoint * 0.1f;
    }
  } else if (t < d) {
    shakePower = 1.5f;
    shakeTimer = d;
    positionShake = 1;
  } else if (t > d) {
    if (plat::LengthSq(segmentStart - position) >= 0.0025f) {
      positionShake = 0;
      if (!bossFatality) {
        if (depthOfFieldSaved) dof.SetValues(Blend(dof.GetValues(), 0.8f, savedDepthOfField, 0.2f));
        SetFov(0.6f * Fov() + 0.4f * savedFov);
        fatalityLookPoint = fatalityLookPoint * 0.6f + targetPoint * 0.4f;
        segmentStart = position;
        if (savedTransitionMode == kTransitionBlending) {
          StepBlending();
        } else if (savedTransitionMode == kTransitionNone &&
                   (savedCameraMode == kModeLinearRails ||
                    savedCameraMode == kModeLinearFixedRails)) {
          StepLinearRails(savedCameraMode == kModeLinearFixedRails);
        } else if (savedTransitionMode == kTransitionTravelling) {
          StepTravelling();
        }
        position = position * 0.4f + segmentStart * 0.6f;
      }
    } else if (!bossFatality) {
      position = segmentStart;
      transitionMode = savedTransitionMode;
      cameraMode = savedCameraMode;
      SetFov(savedFov);
      dof.SetCinematic(false);
      if (depthOfFieldSaved) dof.SetValues(savedDepthOfField);
    }
  }
  PlaceAndLook(position, fatalityLookPoint);
  UpdateShake(position, fatalityLookPoint);
}

}  // namespace vd
