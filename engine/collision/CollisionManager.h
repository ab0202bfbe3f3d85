#pragma once
// The application's one collision world. Nothing in it has mass or velocity: the
// owners (colliders, character colliders, weapon volumes, triggers) place their
// objects, and the manager finds which of them touch, once per game frame, in
// fixed steps. Each step's contacts become paired enter, stay and exit events
// addressed to the game objects on both sides and queued for the next frame.
#include <LinearMath/btIDebugDraw.h>
#include <LinearMath/btTransform.h>

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "engine/collision/CollisionMesh.h"
#include "engine/core/Singleton.h"
#include "engine/core/StringHash.h"
#include "platform/math/Math.h"
#include "platform/math/Vector.h"

class btBroadphaseInterface;
class btCollisionDispatcher;
class btCollisionObject;
class btCollisionShape;
class btCollisionWorld;
class btDbvtBroadphase;
class btDefaultCollisionConfiguration;
class btGhostPairCallback;
class btPersistentManifold;
struct lua_State;

namespace vd {
namespace evn {
class CEventManager;
}
namespace obj {
class CGameObject;
class IComponent;
}  // namespace obj

namespace phy {

// Filter groups and masks (16-bit). Two objects are tested only when each one's
// group meets the other's mask.
inline constexpr int kGroupStatic = 2;  // box and sphere colliders
inline constexpr int kMaskStatic = 256;
inline constexpr int kGroupCharacterBody = 32;
inline constexpr int kGroupWall = 64;
inline constexpr int kGroupFloor = 128;
inline constexpr int kMaskLevelMesh = 768;
inline constexpr int kGroupCharacterGhost = 256;
inline constexpr int kGroupWeapon = 512;
inline constexpr int kGroupTrigger = 1024;
inline constexpr int kMaskTrigger = 32;
inline constexpr int kRayGroup = 256;  // RayTest finds walls only
inline constexpr int kRayMask = 64;

// Object kinds, for debug drawing: 1 is a volume without contact response.
inline constexpr int kKindSolid = 0;
inline constexpr int kKindVolume = 1;

// The user pointer of every collision object the engine makes.
struct SCollisionUserData {
  uint8_t enabled = 0;  // currently in the world
  obj::CGameObject* owner = nullptr;
  CStringHash collisionClass;  // "static", "logic", "wall", "weapon_player"...
  CStringHash name;
  btCollisionObject* object = nullptr;
  int group = 0;
  int mask = 0;
  int kind = kKindSolid;
  plat::Vec4 colour;
};

// Per-step hooks (character colliders): BeginSteps(n), then n times Step, then
// EndSteps, inside the manager's Update.
class ICollisionAction {
public:
  virtual ~ICollisionAction() = default;
  virtual void BeginSteps(int count) = 0;
  virtual void Step(btCollisionWorld* world, float step) = 0;
  virtual void EndSteps() = 0;
};

// The world's debug drawer. Collision debug drawing is not shown: it keeps its
// mode and draws nothing.
class CBulletDebugDrawer : public btIDebugDraw {
public:
  void drawLine(const btVector3&, const btVector3&, const btVector3&) override {}
  void drawContactPoint(const btVector3&, const btVector3&, btScalar, int,
                        const btVector3&) override {}
  void reportErrorWarning(const char*) override {}
  void draw3dText(const btVector3&, const char*) override {}
  void setDebugMode(int mode) override { m_debugMode = mode; }
  int getDebugMode() const override { return m_debugMode; }

  void* target = nullptr;

private:
  int m_debugMode = 0;
};

// A row-vector world matrix (translation in the fourth row) as a collision transform.
void MatrixToTransform(const plat::Mat4& world, btTransform& out);

// Where the collision side reaches the world of game objects. A hook left null
// uses the engine's own: the object manager's lookup and deferred component
// queue, and the object's transform (an object without one sits at the origin).
// Tests install their own.
struct SCollisionHooks {
  // The live game object of that name; null when none.
  obj::CGameObject* (*findObject)(const CStringHash& name) = nullptr;
  // Queues SetEnabled of the component for the start of the next frame.
  void (*requestComponentEnable)(obj::IComponent* component, bool enable) = nullptr;
  // The object's world matrix (its transform); false when it has none.
  bool (*getWorldMatrix)(const obj::CGameObject* object, plat::Mat4& out) = nullptr;
};
void SetCollisionHooks(const SCollisionHooks& hooks);
const SCollisionHooks& GetCollisionHooks();
// The owner's world matrix, identity when it has none.
plat::Mat4 GetOwnerWorldMatrix(const obj::CGameObject* owner);

class CCollisionManager : public utl::CSingleton<CCollisionManager> {
public:
  using PairKey = std::pair<const btCollisionObject*, const btCollisionObject*>;

  // The newest manager is the application's: colliders and scripts reach it.
  CCollisionManager();
  ~CCollisionManager();
  CCollisionManager(const CCollisionManager&) = delete;
  CCollisionManager& operator=(const CCollisionManager&) = delete;

  // Builds the world (paused). False only for a step that is not a positive
  // finite number.
  bool Init(float step);
  // Frees the meshes and the world; pauses. Objects still in the world belong to
  // their components, which must have removed them.
  void Release();
  // Steps the world in fixed steps (at most the sub-step limit; the rest of the
  // time is kept for later frames), raising the contact events.
  bool Update(float dt);

  // The events go to this manager; without one they go to the newest event manager.
  void SetEventManager(evn::CEventManager* manager) { m_eventManager = manager; }

  // size: full extents.
  btCollisionObject* CreateBoxObject(const plat::Vec3& size, obj::CGameObject* owner,
                                     const CStringHash& collisionClass, const char* name, int group,
                                     int mask, bool enabled, int kind, const plat::Vec4& colour);
  // A "static" sphere (group 2, mask 256), in the world at once.
  btCollisionObject* CreateSphereObject(obj::CGameObject* owner, const char* name, float radius,
                                        const plat::Vec4& colour);
  // Takes the shape. The object's transform is the identity: the caller places it.
  btCollisionObject* CreateObject(obj::CGameObject* owner, const CStringHash& collisionClass,
                                  const char* name, btCollisionShape* shape, int group, int mask,
                                  bool enabled, int kind, const plat::Vec4& colour);
  // Forgets its contacts (no exit events), deletes shape, record and object, and
  // nulls the pointer.
  void RemoveObject(btCollisionObject*& object);

  // Puts an object into the world with that filter, or takes it out; each does
  // nothing when the object already is where it is asked to be.
  void AddToWorld(btCollisionObject* object, int group, int mask);
  void RemoveFromWorld(btCollisionObject* object);
  // Drops every contact pair that holds the object, without exit events. For
  // owners that delete their objects themselves.
  void ForgetContacts(const btCollisionObject* object);

  // The closest wall between the two points.
  bool RayTest(const plat::Vec3& from, const plat::Vec3& to, plat::Vec3& hitPoint);

  // The cached mesh of that name, loaded on the first request; the name must carry
  // its text. Null (logged) when the file cannot be had.
  SCollisionMesh* GetMesh(const CStringHash& name);

  void AddAction(ICollisionAction* action);
  void RemoveAction(ICollisionAction* action);

  // Lua "CollisionManager".
  void Pause() { m_paused = 1; }
  void Resume() { m_paused = 0; }
  void EnableCollision(const char* objectName) { QueueColliderEnable(objectName, true); }
  void DisableCollision(const char* objectName) { QueueColliderEnable(objectName, false); }
  // Forgets every contact: touching pairs enter again at the next step.
  void ResetContacts() { m_contactPairs.clear(); }

  bool IsPaused() const { return m_paused != 0; }
  btCollisionWorld* GetWorld() const { return m_world; }
  float GetStep() const { return m_step; }
  float GetAccumulator() const { return m_accumulator; }
  int GetSubStepLimit() const { return m_subStepLimit; }
  const std::set<PairKey>& GetContactPairs() const { return m_contactPairs; }
  const CBulletDebugDrawer& GetDebugDrawer() const { return m_debugDrawer; }

private:
  enum class EContact { kEnter, kStay, kExit };

  void ProcessContacts();
  void RaiseEvents(const btCollisionObject* a, const btCollisionObject* b, EContact kind,
                   const btPersistentManifold* manifold);
  void QueueColliderEnable(const char* objectName, bool enable);

  uint8_t m_paused = 1;
  utl::CStringHashMap<SCollisionMesh> m_meshes;
  btCollisionWorld* m_world = nullptr;
  btDbvtBroadphase* m_broadphase = nullptr;
  btCollisionDispatcher* m_dispatcher = nullptr;
  btDefaultCollisionConfiguration* m_configuration = nullptr;
  btGhostPairCallback* m_ghostPairCallback = nullptr;
  CBulletDebugDrawer m_debugDrawer;
  float m_step = 1.0f / 60.0f;
  float m_accumulator = 0.0f;
  int m_subStepLimit = 1;
  std::vector<ICollisionAction*> m_actions;
  std::set<PairKey> m_contactPairs;
  std::set<PairKey> m_currentPairs;
  evn::CEventManager* m_eventManager = nullptr;
};

// The Lua class "CollisionManager" and the function "GetCollisionManager"; hand it
// to the script host with AddBindingRegistrar.
void RegisterCollisionBindings(lua_State* state);

}  // namespace phy
}  // namespace vd
