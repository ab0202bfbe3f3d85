#include "engine/collision/CharacterCollider.h"

#include <BulletCollision/CollisionDispatch/btGhostObject.h>
#include <btBulletCollisionCommon.h>

#include <algorithm>
#include <cmath>
#include <luabind/luabind.hpp>

#include "engine/collision/CharacterSweep.h"
#include "engine/collision/CollisionNames.h"
#include "engine/core/EngineNames.h"
#include "engine/core/Log.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/Transform.h"

namespace vd {
namespace phy {

namespace {

constexpr uint32_t kKeyColliderClass = ComputeHash("collider_class");
constexpr uint32_t kKeyHeight = ComputeHash("height");
constexpr uint32_t kKeyWidth = ComputeHash("width");
constexpr uint32_t kKeyAngleMin = ComputeHash("angle_min");
constexpr uint32_t kKeyCollisionFloor = ComputeHash("collision_floor");
constexpr uint32_t kKeyCollisionWall = ComputeHash("collision_wall");
constexpr uint32_t kKeyFloorOffset = ComputeHash("floor_offset");

constexpr int kMaxSweepPasses = 10;
constexpr float kProbeTop = 100.0f;
constexpr float kProbeBottom = -100.0f;
constexpr float kSweepDone = 0.01f;
constexpr float kFloatEpsilon = 1.1920929e-7f;
// Share of a penetration undone per recovery pass: walls push out gently.
constexpr float kRecoveryRate = 0.2f;
// Groups whose contacts push the sphere out: statics and walls.
constexpr int kRecoveryGroups = 1 | 2 | kGroupWall;
const plat::Vec4 kDebugColour(0.0f, 1.0f, 0.0f, 0.0f);

SCollisionUserData* UserData(const btCollisionObject* object) {
  return object ? static_cast<SCollisionUserData*>(object->getUserPointer()) : nullptr;
}

const char* OwnerName(const obj::CGameObject* owner) { return owner ? owner->GetNameText() : ""; }

btVector3 ToBt(const plat::Vec3& v) { return btVector3(v.x, v.y, v.z); }
plat::Vec3 ToVec3(const btVector3& v) { return plat::Vec3(v.x(), v.y(), v.z()); }

bool IsZero(const btVector3& v) { return v.x() == 0.0f && v.y() == 0.0f && v.z() == 0.0f; }

// A zero or broken vector keeps the direction it had.
btVector3 DirectionOr(const btVector3& v, const btVector3& fallback) {
  const btScalar length = v.length();
  if (!(length > kFloatEpsilon) || !std::isfinite(length)) return fallback;
  return v / length;
}

bool IsFinite(const btVector3& v) {
  return std::isfinite(v.x()) && std::isfinite(v.y()) && std::isfinite(v.z());
}

// Frees an object that no live manager can remove any more.
void DeleteObject(btCollisionObject*& object) {
  if (!object) return;
  delete object->getCollisionShape();
  delete UserData(object);
  delete object;
  object = nullptr;
}

}  // namespace

const CStringHash& CCharacterCollider::GetClassName() { return SH_CCharacterCollider; }

CCharacterCollider::~CCharacterCollider() {
  if (!IsCheckPointCopy()) Reset();
}

CCharacterCollider& CCharacterCollider::operator=(const CCharacterCollider& other) {
  if (this == &other) return *this;
  obj::CComponent<CCharacterCollider>::operator=(other);
  m_manager = other.m_manager;
  m_transform = other.m_transform;
  m_ghost = other.m_ghost;
  m_shape = other.m_shape;
  m_addedMargin = other.m_addedMargin;
  m_bodyBox = other.m_bodyBox;
  // An own copy: the source may be a template that goes away first.
  m_class = other.m_class;
  m_class.MakeOwned();
  m_floor = other.m_floor;
  m_walls = other.m_walls;
  m_cosAngleMin = other.m_cosAngleMin;
  m_height = other.m_height;
  m_radius = other.m_radius;
  m_offset = other.m_offset;
  m_bodyBoxOffset = other.m_bodyBoxOffset;
  m_floorOffset = other.m_floorOffset;
  m_ghostMask = other.m_ghostMask;
  m_walk = other.m_walk;
  m_moveDirection = other.m_moveDirection;
  m_displacement = other.m_displacement;
  m_interpolationStart = other.m_interpolationStart;
  m_interpolationEnd = other.m_interpolationEnd;
  m_interpolationTime = other.m_interpolationTime;
  m_interpolationDuration = other.m_interpolationDuration;
  m_touchingWall = other.m_touchingWall;
  m_lastWritten = other.m_lastWritten;
  m_hasWritten = other.m_hasWritten;
  return *this;
}

void CCharacterCollider::Load(rapidxml::xml_node<>* element) {
  obj::ForEachKey(element, [this](const obj::CKey& key) {
    const uint32_t name = key.NameHash();
    if (name == kKeyColliderClass) {
      m_class = key.Text();
      m_class.MakeOwned();
    } else if (name == kKeyHeight) {
      m_height = key.Float();
    } else if (name == kKeyWidth) {
      m_radius = key.Float() * 0.5f;
    } else if (name == kKeyAngleMin) {
      m_cosAngleMin = std::cos(key.Float() * 3.14159274f / 180.0f);
    } else if (name == kKeyCollisionFloor) {
      m_floor = key.Int() != 0 ? 1 : 0;
    } else if (name == kKeyCollisionWall) {
      m_walls = key.Int() != 0 ? 1 : 0;
    } else if (name == kKeyFloorOffset) {
      m_floorOffset = key.Float();
    }
  });
}

bool CCharacterCollider::Init() {
  obj::CGameObject* owner = GetOwner();
  m_transform = owner ? owner->GetComponent<gfx::CTransform>() : nullptr;
  m_manager = CCollisionManager::GetInstance();
  const char* failure = nullptr;
  if (!m_manager) {
    failure = "there is no collision manager";
  } else if (!m_transform) {
    failure = "its object has no transform";
  } else if (!(m_radius > 0.0f) || !std::isfinite(m_radius) || !std::isfinite(m_height) ||
             !std::isfinite(m_floorOffset)) {
    failure = "it needs a positive width and finite height and floor offset";
  }
  if (failure) {
    utl::LogPrintf("Character collider of %s: %s; the object does not collide\n", OwnerName(owner),
                   failure);
    Reset();
    return false;
  }

  m_shape = new btSphereShape(m_radius);
  m_ghost = new btPairCachingGhostObject();
  m_ghost->setCollisionShape(m_shape);
  m_ghost->setCollisionFlags(btCollisionObject::CF_CHARACTER_OBJECT);

  m_offset = btVector3(0.0f, m_radius - m_floorOffset, 0.0f);
  auto* record = new SCollisionUserData();
  record->enabled = 1;
  record->owner = owner;
  record->collisionClass = m_class;
  record->collisionClass.MakeOwned();
  record->name = OwnerName(owner);
  record->name.MakeOwned();
  record->object = m_ghost;
  record->group = kGroupCharacterGhost;
  record->mask = kMaskCharacterGhost;
  m_ghost->setUserPointer(record);
  m_ghostMask = kMaskCharacterGhost;

  m_bodyBox = m_manager->CreateBoxObject(plat::Vec3(2.0f * m_radius, m_height, 2.0f * m_radius),
                                         owner, m_class, OwnerName(owner), kGroupCharacterBody,
                                         kMaskCharacterBody, false, kKindSolid, kDebugColour);
  m_bodyBoxOffset.setIdentity();
  m_bodyBoxOffset.setOrigin(btVector3(0.0f, m_height * 0.5f - m_radius, 0.0f));
  PlaceGhost(SphereFromOwner());
  PlaceBodyBox();
  return true;
}

void CCharacterCollider::Reset() {
  if (CCollisionManager* live = LiveManager()) live->RemoveAction(this);
  DestroyObjects();
  m_manager = nullptr;
  m_transform = nullptr;
  m_addedMargin = 0.2f;
  m_class = CStringHash();
  m_floor = 0;
  m_walls = 0;
  m_cosAngleMin = 1.0f;
  m_height = 0.0f;
  m_radius = 0.0f;
  m_offset.setZero();
  m_bodyBoxOffset.setIdentity();
  m_floorOffset = 0.0f;
  m_ghostMask = kMaskCharacterGhost;
  m_walk.setZero();
  m_moveDirection.setZero();
  m_displacement.setZero();
  m_interpolationStart.setZero();
  m_interpolationEnd.setZero();
  m_interpolationTime = 0.0f;
  m_interpolationDuration = 0.0f;
  m_touchingWall = 0;
  m_lastWritten.setZero();
  m_hasWritten = 0;
}

void CCharacterCollider::DestroyObjects() {
  btCollisionObject* ghost = m_ghost;
  m_ghost = nullptr;
  if (CCollisionManager* live = LiveManager()) {
    live->RemoveObject(ghost);  // frees the sphere shape too
    live->RemoveObject(m_bodyBox);
  } else {
    DeleteObject(ghost);
    DeleteObject(m_bodyBox);
  }
  m_shape = nullptr;
}

void CCharacterCollider::Restart() {
  m_walk.setZero();
  m_displacement.setZero();
}

CCollisionManager* CCharacterCollider::LiveManager() const {
  return m_manager && m_manager == CCollisionManager::GetInstance() ? m_manager : nullptr;
}

void CCharacterCollider::SetEnabled(bool enabled, bool fromCheckPoint) {
  if ((m_enabled != 0) == enabled) return;
  obj::IComponent::SetEnabled(enabled, fromCheckPoint);
  CCollisionManager* live = LiveManager();
  if (!m_ghost || !live) return;
  SCollisionUserData* box = UserData(m_bodyBox);
  if (enabled) {
    // Where the owner stands now, so that the first overlaps are the right ones.
    btVector3 centre = SphereFromOwner();
    if (m_floor) SnapToFloor(centre);
    PlaceGhost(centre);
    PlaceBodyBox();
    live->AddToWorld(m_ghost, kGroupCharacterGhost, m_ghostMask);
    if (box && !box->enabled) {
      box->enabled = 1;
      live->AddToWorld(m_bodyBox, box->group, box->mask);
    }
    live->AddAction(this);
    m_interpolationDuration = 0.0f;
    if (m_floor) WriteOwnerPosition(OwnerFromSphere(centre));
  } else {
    live->RemoveFromWorld(m_ghost);
    if (box && box->enabled) {
      box->enabled = 0;
      live->RemoveFromWorld(m_bodyBox);
    }
    live->RemoveAction(this);
  }
}

bool CCharacterCollider::Update(float dt) {
  if (!m_transform || !m_ghost) return true;
  if (m_transform->changed) {
    // Placed from outside (a teleport, a checkpoint): follow at once.
    m_transform->changed = 0;
    m_interpolationDuration = 0.0f;
    btVector3 centre = SphereFromOwner();
    if (m_floor) SnapToFloor(centre);
    PlaceGhost(centre);
    PlaceBodyBox();
    if (m_floor) WriteOwnerPosition(OwnerFromSphere(centre));
  } else if (m_interpolationDuration > 0.0f) {
    if (std::isfinite(dt) && dt > 0.0f) m_interpolationTime += dt;
    const float t = std::min(std::max(m_interpolationTime / m_interpolationDuration, 0.0f), 1.0f);
    WriteOwnerPosition(m_interpolationStart * (1.0f - t) + m_interpolationEnd * t);
  }
  return true;
}

void CCharacterCollider::SetWalkDirection(const plat::Vec3& walk) {
  const btVector3 v = ToBt(walk);
  if (!IsFinite(v)) return;
  m_walk = v;
  m_moveDirection = DirectionOr(v, m_moveDirection);
}

void CCharacterCollider::AddDisplacement(const plat::Vec3& displacement) {
  const btVector3 v = ToBt(displacement);
  if (!IsFinite(v)) return;
  m_displacement += v;
  m_moveDirection = DirectionOr(m_displacement, m_moveDirection);
}

// Placement ------------------------------------------------------------------------

btVector3 CCharacterCollider::GetSphereCentre() const {
  return m_ghost ? m_ghost->getWorldTransform().getOrigin() : btVector3(0, 0, 0);
}

btVector3 CCharacterCollider::SphereFromOwner() const {
  const btVector3 owner = m_transform ? ToBt(m_transform->position) : btVector3(0, 0, 0);
  return owner + m_offset;
}

btVector3 CCharacterCollider::OwnerFromSphere(const btVector3& centre) const {
  return centre - m_offset;
}

void CCharacterCollider::PlaceGhost(const btVector3& centre) {
  if (!m_ghost) return;
  btTransform transform;
  transform.setIdentity();
  transform.setOrigin(centre);
  m_ghost->setWorldTransform(transform);
}

void CCharacterCollider::PlaceBodyBox() {
  if (!m_ghost || !m_bodyBox) return;
  m_bodyBox->setWorldTransform(m_ghost->getWorldTransform() * m_bodyBoxOffset);
}

void CCharacterCollider::WriteOwnerPosition(const btVector3& position) {
  if (!m_transform) return;
  m_transform->position = ToVec3(position);
  m_transform->UpdateMatrix();
  m_lastWritten = position;
  m_hasWritten = 1;
}

void CCharacterCollider::SnapToFloor(btVector3& point) const {
  CCollisionManager* live = LiveManager();
  btCollisionWorld* world = live ? live->GetWorld() : nullptr;
  if (!world) return;
  const btVector3 from(point.x(), kProbeTop, point.z());
  const btVector3 to(point.x(), kProbeBottom, point.z());
  btCollisionWorld::ClosestRayResultCallback callback(from, to);
  callback.m_collisionFilterGroup = kGroupCharacterGhost;
  callback.m_collisionFilterMask = kFloorProbeMask;
  world->rayTest(from, to, callback);
  if (callback.hasHit()) point.setY(callback.m_hitPointWorld.y() + m_radius);
}

// Collision steps --------------------------------------------------------------------

void CCharacterCollider::BeginSteps(int count) {
  if (!m_ghost || !m_transform) return;
  const btVector3 owner = ToBt(m_transform->position);
  // While the owner still glides towards the end of the last steps, the sphere
  // already is there: go on from it, or the rest of that glide would be lost.
  // Anyone else who moved the owner is followed.
  if (!m_hasWritten || owner != m_lastWritten) PlaceGhost(owner + m_offset);
  m_interpolationTime = 0.0f;
  m_interpolationDuration = 0.0f;
  m_interpolationStart = owner;
  if (!IsZero(m_displacement) && count > 0) m_displacement /= static_cast<btScalar>(count);
}

void CCharacterCollider::Step(btCollisionWorld* world, float step) {
  if (!m_ghost || !world) return;
  btVector3 p = m_ghost->getWorldTransform().getOrigin();
  btVector3 touchingNormal(0, 0, 0);
  if (m_walls) RecoverFromPenetration(world, p, touchingNormal);

  const btVector3 move = !IsZero(m_displacement) ? m_displacement : m_walk * step;
  btVector3 target = p + move;
  if (m_floor) SnapToFloor(target);
  if (!IsZero(move)) {
    if (m_walls) {
      SweepAgainstWalls(world, p, target, touchingNormal);
    } else {
      p = target;
    }
  }
  PlaceGhost(p);
  PlaceBodyBox();
  m_interpolationDuration += step;
}

void CCharacterCollider::EndSteps() {
  if (!m_ghost) return;
  m_interpolationEnd = OwnerFromSphere(m_ghost->getWorldTransform().getOrigin());
  m_walk.setZero();
  m_displacement.setZero();
}

void CCharacterCollider::RecoverFromPenetration(btCollisionWorld* world, btVector3& p,
                                                btVector3& touchingNormal) {
  btHashedOverlappingPairCache* pairs = m_ghost->getOverlappingPairCache();
  btDispatcher* dispatcher = world->getDispatcher();
  btManifoldArray manifolds;
  btScalar smallest = 0.0f;
  for (int pass = 0; pass < 2; ++pass) {
    bool penetrated = false;
    dispatcher->dispatchAllCollisionPairs(pairs, world->getDispatchInfo(), dispatcher);
    for (int i = 0; i < pairs->getNumOverlappingPairs(); ++i) {
      btBroadphasePair& pair = pairs->getOverlappingPairArray()[i];
      if (!pair.m_algorithm) continue;
      const int groups =
          pair.m_pProxy0->m_collisionFilterGroup | pair.m_pProxy1->m_collisionFilterGroup;
      const bool pushesOut = (groups & kRecoveryGroups) != 0;
      manifolds.resize(0);
      pair.m_algorithm->getAllContactManifolds(manifolds);
      for (int j = 0; j < manifolds.size(); ++j) {
        btPersistentManifold* manifold = manifolds[j];
        const btScalar sign = manifold->getBody0() == m_ghost ? -1.0f : 1.0f;
        for (int k = 0; pushesOut && k < manifold->getNumContacts(); ++k) {
          const btManifoldPoint& point = manifold->getContactPoint(k);
          const btScalar distance = point.getDistance();
          if (!(distance < 0.0f)) continue;
          if (distance < smallest) {
            touchingNormal = point.m_normalWorldOnB * sign;
            smallest = distance;
          }
          p += point.m_normalWorldOnB * sign * distance * kRecoveryRate;
          penetrated = true;
        }
        // These contacts are the sphere's own business, those with other characters
        // too: left in place they would reach the collision manager as a second
        // contact of the pair.
        manifold->clearManifold();
      }
    }
    PlaceGhost(p);
    if (!penetrated) break;
  }
}

void CCharacterCollider::UpdateTargetOnCollision(const btVector3& start, btVector3& target,
                                                 const btVector3& normal) const {
  btVector3 dir = target - start;
  const btScalar length = dir.length();
  if (!(length > 0.0f) || !std::isfinite(length)) return;
  dir /= length;
  // Without a wall plane (no normal, or a floor or ceiling met) there is nothing
  // to slide along: the move stays as it is.
  const btVector3 n = DirectionOr(normal, btVector3(0, 1, 0));
  if (std::fabs(n.y()) >= 1.0f - kFloatEpsilon) return;
  const btVector3 reflection = DirectionOr(dir - 2.0f * dir.dot(n) * n, dir);
  if (n.dot(reflection) >= m_cosAngleMin) {
    target = start;
    return;
  }
  target = start + (reflection - reflection.dot(n) * n) * length;
}

void CCharacterCollider::SweepAgainstWalls(btCollisionWorld* world, btVector3& p, btVector3 target,
                                           const btVector3& touchingNormal) {
  if (m_moveDirection.dot(touchingNormal) > 0.0f)
    UpdateTargetOnCollision(p, target, touchingNormal);

  const btBroadphaseProxy* proxy = m_ghost->getBroadphaseHandle();
  const int group = proxy ? proxy->m_collisionFilterGroup : kGroupCharacterGhost;
  const btScalar allowedPenetration = world->getDispatchInfo().m_allowedCcdPenetration;
  float fraction = 1.0f;
  bool hit = false;
  const btCollisionObject* hitObject = nullptr;
  btVector3 hitPoint(0, 0, 0);
  btVector3 hitNormal(0, 0, 0);
  float hitFraction = 1.0f;

  for (int pass = 0; pass < kMaxSweepPasses; ++pass) {
    btTransform from;
    from.setIdentity();
    from.setOrigin(p);
    btTransform to;
    to.setIdentity();
    to.setOrigin(target);
    CClosestNotMeConvexResultCallback callback(m_ghost, p, target);
    callback.m_collisionFilterGroup = group;
    callback.m_collisionFilterMask = kWallSweepMask;
    // The world's sweep rather than the ghost's: the ghost knows only what its
    // box overlapped at the start of the step, and a long move would pass
    // through walls beyond it.
    m_shape->setUnscaledRadius(m_radius + m_addedMargin);
    world->convexSweepTest(m_shape, from, to, callback, allowedPenetration);
    m_shape->setUnscaledRadius(m_radius);
    fraction -= callback.m_closestHitFraction;

    if (callback.hasHit()) {
      hit = true;
      hitObject = callback.m_hitCollisionObject;
      hitPoint = callback.m_hitPointWorld;
      hitNormal = callback.m_hitNormalWorld;
      hitFraction = callback.m_closestHitFraction;
      if ((hitPoint - p).length() > m_addedMargin) p = p.lerp(target, hitFraction);
      UpdateTargetOnCollision(p, target, hitNormal);
      const btVector3 rest = target - p;
      if (rest.length2() <= kFloatEpsilon || rest.normalized().dot(m_moveDirection) <= 0.0f) break;
    }
    if (fraction <= kSweepDone || pass == kMaxSweepPasses - 1) p = target;
    if (!(fraction > kSweepDone)) break;
  }
  RaiseWallEvents(hit, hitObject, hitPoint, hitNormal, hitFraction);
}

void CCharacterCollider::RaiseWallEvents(bool hit, const btCollisionObject* hitObject,
                                         const btVector3& point, const btVector3& normal,
                                         float fraction) {
  CCollisionManager* live = LiveManager();
  const bool paused = !live || live->IsPaused();
  const char* ownClass = m_class.GetText();
  const char* ownName = OwnerName(m_owner);
  const char* wall = SH_wall.GetText();
  evn::IEvent* event = nullptr;
  if (hit && !paused) {
    if (!m_touchingWall) {
      m_touchingWall = 1;
      const SCollisionUserData* record = UserData(hitObject);
      const char* otherName = record && record->name.GetText() ? record->name.GetText() : wall;
      auto* enter =
          evn::CEventCollisionEnter::New(m_owner, nullptr, ownClass, wall, ownName, otherName,
                                         ToVec3(point), ToVec3(normal), fraction);
      enter->sides.ownName.MakeOwned();
      enter->sides.otherName.MakeOwned();
      event = enter;
    } else {
      auto* stay = evn::CEventCollisionStay::New(m_owner, nullptr, ownClass, wall, ownName, wall,
                                                 ToVec3(point), ToVec3(normal), fraction);
      stay->sides.ownName.MakeOwned();
      event = stay;
    }
  } else if (m_touchingWall) {
    m_touchingWall = 0;
    auto* exit = evn::CEventCollisionExit::New(m_owner, nullptr, ownClass, wall, ownName, wall);
    exit->sides.ownName.MakeOwned();
    event = exit;
  }
  if (!event) return;
  if (evn::CEventManager* events = evn::CEventManager::GetInstance()) {
    events->PostEvent(event);
  } else {
    event->Release();
  }
}

void RegisterCharacterColliderBindings(lua_State* state) {
  if (!state) return;
  luabind::module(state)[luabind::class_<CCharacterCollider>("CCharacterCollider")
                             .def("TestFloor", &CCharacterCollider::TestFloor)
                             .def("TestWalls", &CCharacterCollider::TestWalls)];
}

}  // namespace phy
}  // namespace vd
