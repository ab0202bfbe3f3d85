#include "engine/collision/CollisionManager.h"

#include <BulletCollision/CollisionDispatch/btGhostObject.h>
#include <btBulletCollisionCommon.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <luabind/luabind.hpp>
#include <memory>
#include <string>
#include <type_traits>

#include "engine/collision/CollisionNames.h"
#include "engine/core/EngineNames.h"
#include "engine/core/Locks.h"
#include "engine/core/Log.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Transform.h"

namespace vd {
namespace phy {

namespace {

SCollisionHooks g_hooks;

constexpr float kDefaultStep = 1.0f / 60.0f;
// The largest frame time the application hands over; it bounds the steps a frame.
constexpr double kLongestFrame = 1.0 / 15.0;
constexpr int kDebugMode = 16385;

SCollisionUserData* UserData(const btCollisionObject* object) {
  return object ? static_cast<SCollisionUserData*>(object->getUserPointer()) : nullptr;
}

plat::Vec3 ToVec3(const btVector3& v) { return plat::Vec3(v.x(), v.y(), v.z()); }

// The closest hit, leaving out volumes that do not block (ghosts, triggers) even
// when a caller's filter would let them through.
struct SSolidRayCallback : btCollisionWorld::ClosestRayResultCallback {
  using ClosestRayResultCallback::ClosestRayResultCallback;
  bool needsCollision(btBroadphaseProxy* proxy) const override {
    if (!ClosestRayResultCallback::needsCollision(proxy)) return false;
    const auto* object = static_cast<const btCollisionObject*>(proxy->m_clientObject);
    if (!object) return false;
    if (object->getInternalType() == btCollisionObject::CO_GHOST_OBJECT) return false;
    const SCollisionUserData* record = UserData(object);
    return !record || record->kind != kKindVolume;
  }
};

}  // namespace

void MatrixToTransform(const plat::Mat4& world, btTransform& out) {
  // Row vectors: the basis is the transpose of the upper 3x3.
  out.setBasis(btMatrix3x3(world.m[0][0], world.m[1][0], world.m[2][0],  //
                           world.m[0][1], world.m[1][1], world.m[2][1],  //
                           world.m[0][2], world.m[1][2], world.m[2][2]));
  out.setOrigin(btVector3(world.m[3][0], world.m[3][1], world.m[3][2]));
}

void SetCollisionHooks(const SCollisionHooks& hooks) { g_hooks = hooks; }
const SCollisionHooks& GetCollisionHooks() { return g_hooks; }

plat::Mat4 GetOwnerWorldMatrix(const obj::CGameObject* owner) {
  plat::Mat4 world;
  if (!owner) return world;
  auto get = g_hooks.getWorldMatrix ? g_hooks.getWorldMatrix : &gfx::GetObjectWorldMatrix;
  if (!get(owner, world)) world = plat::Mat4::Identity();
  return world;
}

CCollisionManager::CCollisionManager() { SetInstance(this); }

CCollisionManager::~CCollisionManager() {
  Release();
  ClearInstance(this);
}

bool CCollisionManager::Init(float step) {
  Release();
  if (!(step > 0.0f) || !std::isfinite(step)) {
    utl::LogPrintf("Collision manager: the step %g is not a positive time\n",
                   static_cast<double>(step));
    return false;
  }
  m_step = step;
  // For the float nearest 1/60 the quotient is -3.9999998: five steps, not six.
  m_subStepLimit = 2 - static_cast<int>(-kLongestFrame / static_cast<double>(step));
  m_meshes.ownsValues = 1;
  m_meshes.resetValues = 1;
  m_debugDrawer.setDebugMode(kDebugMode);

  m_configuration = new btDefaultCollisionConfiguration();
  m_dispatcher = new btCollisionDispatcher(m_configuration);
  m_broadphase = new btDbvtBroadphase();
  m_world = new btCollisionWorld(m_dispatcher, m_broadphase, m_configuration);
  m_world->setDebugDrawer(&m_debugDrawer);
  m_ghostPairCallback = new btGhostPairCallback();
  m_broadphase->getOverlappingPairCache()->setInternalGhostPairCallback(m_ghostPairCallback);
  return true;
}

void CCollisionManager::Release() {
  m_meshes.RemoveAll();
  if (m_world) {
    // Objects that their owners left behind must not keep proxies of a deleted
    // broadphase.
    for (int i = m_world->getNumCollisionObjects() - 1; i >= 0; --i) {
      m_world->removeCollisionObject(m_world->getCollisionObjectArray()[i]);
    }
    m_world->setDebugDrawer(nullptr);
  }
  delete m_world;
  m_world = nullptr;
  delete m_broadphase;
  m_broadphase = nullptr;
  delete m_dispatcher;
  m_dispatcher = nullptr;
  delete m_configuration;
  m_configuration = nullptr;
  delete m_ghostPairCallback;
  m_ghostPairCallback = nullptr;
  m_step = kDefaultStep;
  m_subStepLimit = 1;
  m_accumulator = 0.0f;
  m_actions.clear();
  m_paused = 1;
}

bool CCollisionManager::Update(float dt) {
  // A broken frame time would stop the stepping for good.
  if (std::isfinite(dt) && dt > 0.0f) m_accumulator += dt;
  sys::CScopedLock lock(sys::kLockCollision);
  if (!m_world || !(m_accumulator >= m_step)) return true;

  const float quotient = m_accumulator / m_step;
  int count = static_cast<int>(std::floor(quotient));
  count = std::min(count, m_subStepLimit);
  m_accumulator -= static_cast<float>(count) * m_step;

  for (ICollisionAction* action : m_actions) action->BeginSteps(count);
  for (int i = 0; i < count; ++i) {
    m_world->performDiscreteCollisionDetection();
    ProcessContacts();
    for (ICollisionAction* action : m_actions) action->Step(m_world, m_step);
  }
  for (ICollisionAction* action : m_actions) action->EndSteps();
  return true;
}

void CCollisionManager::ProcessContacts() {
  m_currentPairs.clear();
  const int manifolds = m_dispatcher->getNumManifolds();
  for (int i = 0; i < manifolds; ++i) {
    const btPersistentManifold* manifold = m_dispatcher->getManifoldByIndexInternal(i);
    if (!manifold || manifold->getNumContacts() <= 0) continue;
    const btCollisionObject* a = manifold->getBody0();
    const btCollisionObject* b = manifold->getBody1();
    const PairKey key = std::less<const btCollisionObject*>()(a, b) ? PairKey(a, b) : PairKey(b, a);
    // A pair may own more than one manifold (a character's ghost keeps its own):
    // its events go out once a step.
    if (!m_currentPairs.insert(key).second) continue;
    const bool stay = m_contactPairs.count(key) != 0;
    RaiseEvents(a, b, stay ? EContact::kStay : EContact::kEnter, manifold);
  }
  for (const PairKey& key : m_contactPairs) {
    if (!m_currentPairs.count(key)) RaiseEvents(key.first, key.second, EContact::kExit, nullptr);
  }
  m_contactPairs.swap(m_currentPairs);
}

void CCollisionManager::RaiseEvents(const btCollisionObject* a, const btCollisionObject* b,
                                    EContact kind, const btPersistentManifold* manifold) {
  const SCollisionUserData* recordA = UserData(a);
  const SCollisionUserData* recordB = UserData(b);
  if (!recordA || !recordB || m_paused || recordA->owner == recordB->owner) return;

  evn::IEventListener* targetA = recordA->owner;
  evn::IEventListener* targetB = recordB->owner;
  const char* classA = recordA->collisionClass.GetText();
  const char* classB = recordB->collisionClass.GetText();
  const char* nameA = recordA->name.GetText();
  const char* nameB = recordB->name.GetText();

  evn::IEvent* first = nullptr;
  evn::IEvent* second = nullptr;
  if (kind == EContact::kExit) {
    auto* e1 = evn::CEventCollisionExit::New(targetA, recordB->owner, classA, classB, nameA, nameB);
    auto* e2 = evn::CEventCollisionExit::New(targetB, recordA->owner, classB, classA, nameB, nameA);
    // The colliders may be gone by the time the events are delivered.
    e1->sides.ownName.MakeOwned();
    e1->sides.otherName.MakeOwned();
    e2->sides.ownName.MakeOwned();
    e2->sides.otherName.MakeOwned();
    first = e1;
    second = e2;
  } else {
    plat::Vec3 point;
    plat::Vec3 normal;
    float depth = 0.0f;
    const int contacts = manifold->getNumContacts();
    for (int i = 0; i < contacts; ++i) {
      const btManifoldPoint& contact = manifold->getContactPoint(i);
      point += ToVec3(contact.getPositionWorldOnB());
      normal += ToVec3(contact.m_normalWorldOnB);
      depth = std::min(depth, static_cast<float>(contact.getDistance()));
    }
    point /= static_cast<float>(contacts);
    normal = plat::Normalize(normal);
    auto make = [&](auto* tag, evn::IEventListener* target, obj::CGameObject* other,
                    const char* ownClass, const char* otherClass, const char* ownName,
                    const char* otherName, float eventDepth) -> evn::IEvent* {
      using Event = std::remove_pointer_t<decltype(tag)>;
      Event* event = Event::New(target, other, ownClass, otherClass, ownName, otherName, point,
                                normal, eventDepth);
      event->sides.ownName.MakeOwned();
      event->sides.otherName.MakeOwned();
      return event;
    };
    if (kind == EContact::kEnter) {
      evn::CEventCollisionEnter* tag = nullptr;
      first = make(tag, targetA, recordB->owner, classA, classB, nameA, nameB, -depth);
      second = make(tag, targetB, recordA->owner, classB, classA, nameB, nameA, depth);
    } else {
      evn::CEventCollisionStay* tag = nullptr;
      first = make(tag, targetA, recordB->owner, classA, classB, nameA, nameB, -depth);
      second = make(tag, targetB, recordA->owner, classB, classA, nameB, nameA, depth);
    }
  }

  evn::CEventManager* events = m_eventManager ? m_eventManager : evn::CEventManager::GetInstance();
  if (events) {
    events->PostEvent(first);
    events->PostEvent(second);
  } else {
    first->Release();
    second->Release();
  }
}

btCollisionObject* CCollisionManager::CreateBoxObject(
    const plat::Vec3& size, obj::CGameObject* owner, const CStringHash& collisionClass,
    const char* name, int group, int mask, bool enabled, int kind, const plat::Vec4& colour) {
  btCollisionShape* shape = new btBoxShape(btVector3(size.x * 0.5f, size.y * 0.5f, size.z * 0.5f));
  return CreateObject(owner, collisionClass, name, shape, group, mask, enabled, kind, colour);
}

btCollisionObject* CCollisionManager::CreateSphereObject(obj::CGameObject* owner, const char* name,
                                                         float radius, const plat::Vec4& colour) {
  btCollisionShape* shape = new btSphereShape(radius);
  return CreateObject(owner, SH_static, name, shape, kGroupStatic, kMaskStatic, true, kKindSolid,
                      colour);
}

btCollisionObject* CCollisionManager::CreateObject(obj::CGameObject* owner,
                                                   const CStringHash& collisionClass,
                                                   const char* name, btCollisionShape* shape,
                                                   int group, int mask, bool enabled, int kind,
                                                   const plat::Vec4& colour) {
  auto* object = new btCollisionObject();
  object->setCollisionShape(shape);
  auto* record = new SCollisionUserData();
  record->enabled = enabled ? 1 : 0;
  record->owner = owner;
  record->collisionClass = collisionClass;
  // Callers build classes from their own texts (a character's XML value), which
  // may go before the object does.
  record->collisionClass.MakeOwned();
  record->name = name;
  record->name.MakeOwned();
  record->object = object;
  record->group = group;
  record->mask = mask;
  record->kind = kind;
  record->colour = colour;
  object->setUserPointer(record);
  if (enabled) AddToWorld(object, group, mask);
  return object;
}

void CCollisionManager::RemoveObject(btCollisionObject*& object) {
  if (!object) return;
  ForgetContacts(object);
  delete object->getCollisionShape();
  delete UserData(object);
  object->setUserPointer(nullptr);
  RemoveFromWorld(object);
  delete object;
  object = nullptr;
}

void CCollisionManager::AddToWorld(btCollisionObject* object, int group, int mask) {
  if (!object || !m_world || object->getBroadphaseHandle()) return;
  m_world->addCollisionObject(object, group, mask);
}

void CCollisionManager::RemoveFromWorld(btCollisionObject* object) {
  if (!object || !m_world || !object->getBroadphaseHandle()) return;
  m_world->removeCollisionObject(object);
}

void CCollisionManager::ForgetContacts(const btCollisionObject* object) {
  for (auto it = m_contactPairs.begin(); it != m_contactPairs.end();) {
    if (it->first == object || it->second == object) {
      it = m_contactPairs.erase(it);
    } else {
      ++it;
    }
  }
}

bool CCollisionManager::RayTest(const plat::Vec3& from, const plat::Vec3& to,
                                plat::Vec3& hitPoint) {
  if (!m_world || from == to) return false;
  const btVector3 start(from.x, from.y, from.z);
  const btVector3 end(to.x, to.y, to.z);
  SSolidRayCallback callback(start, end);
  callback.m_collisionFilterGroup = kRayGroup;
  callback.m_collisionFilterMask = kRayMask;
  m_world->rayTest(start, end, callback);
  if (!callback.hasHit()) return false;
  hitPoint = ToVec3(callback.m_hitPointWorld);
  return true;
}

SCollisionMesh* CCollisionManager::GetMesh(const CStringHash& name) {
  if (SCollisionMesh* cached = m_meshes.Find(name)) return cached;
  if (!name.GetText()) {
    utl::LogPrintf("Collision mesh: a mesh was asked for without a name\n");
    return nullptr;
  }
  const std::string path = std::string(kCollisionMeshFolder) + name.GetText();
  std::unique_ptr<SCollisionMesh> mesh = LoadCollisionMesh(path.c_str());
  if (!mesh) return nullptr;
  return m_meshes.Add(name, mesh.release());
}

void CCollisionManager::AddAction(ICollisionAction* action) {
  if (action) m_actions.push_back(action);
}

void CCollisionManager::RemoveAction(ICollisionAction* action) {
  auto it = std::find(m_actions.begin(), m_actions.end(), action);
  if (it != m_actions.end()) m_actions.erase(it);
}

void CCollisionManager::QueueColliderEnable(const char* objectName, bool enable) {
  const CStringHash name(objectName);
  auto find = g_hooks.findObject ? g_hooks.findObject : &obj::FindGameObjectByName;
  obj::CGameObject* object = find(name);
  if (!object) return;
  obj::IComponent* collider = object->GetComponent(SH_CColliderMesh);
  if (!collider) collider = object->GetComponent(SH_CColliderBox);
  if (!collider) collider = object->GetComponent(SH_CColliderSphere);
  if (!collider) return;
  auto request = g_hooks.requestComponentEnable ? g_hooks.requestComponentEnable
                                                : &obj::RequestComponentEnable;
  request(collider, enable);
}

namespace {
CCollisionManager* GetCollisionManagerForScripts() { return CCollisionManager::GetInstance(); }
}  // namespace

void RegisterCollisionBindings(lua_State* state) {
  luabind::module(state)[luabind::class_<CCollisionManager>("CollisionManager")
                             .def("Pause", &CCollisionManager::Pause)
                             .def("Resume", &CCollisionManager::Resume)
                             .def("EnableCollision", &CCollisionManager::EnableCollision)
                             .def("DisableCollision", &CCollisionManager::DisableCollision)
                             .def("Reset", &CCollisionManager::ResetContacts),
                         luabind::def("GetCollisionManager", &GetCollisionManagerForScripts)];
}

}  // namespace phy
}  // namespace vd
