#pragma once
// The component that lets a walking character move through the level: its
// gameplay hands it a walk vector each frame or adds displacements (root
// motion), and the collider moves a sphere through the collision world in the
// manager's fixed steps, snaps it onto the floor below, pushes it out of walls,
// slides it along them or stops, raises the wall's collision events and writes
// the result back into the owner's transform, spread over the next frame.
#include <LinearMath/btTransform.h>
#include <LinearMath/btVector3.h>

#include <cstdint>

#include "engine/animation/Animator.h"
#include "engine/collision/CollisionManager.h"
#include "engine/core/StringHash.h"
#include "engine/objects/Component.h"
#include "platform/math/Vector.h"

class btCollisionWorld;
class btPairCachingGhostObject;
class btSphereShape;
struct lua_State;

namespace vd {
namespace gfx {
class CTransform;
}
namespace phy {

inline constexpr int kMaskCharacterGhost = 323;  // walls, statics and other ghosts
inline constexpr int kMaskCharacterBody = 1536;  // weapon volumes and triggers
inline constexpr int kFloorProbeMask = 128;      // floors only
inline constexpr int kWallSweepMask = 64;        // walls only

// Keys: "collider_class", "height", "width" (the sphere's diameter), "angle_min"
// (degrees: walls met closer to head-on than this stop the character, others are
// slid along), "collision_floor", "collision_wall", "floor_offset".
class CCharacterCollider : public obj::CComponent<CCharacterCollider>,
                           public ICollisionAction,
                           public anm::IRootMotionTarget {
public:
  static const CStringHash& GetClassName();

  CCharacterCollider() = default;
  ~CCharacterCollider() override;
  // A copy shares the collision objects of its source (templates have none yet).
  CCharacterCollider& operator=(const CCharacterCollider& other);

  void Load(rapidxml::xml_node<>* element) override;
  bool HasContent() override { return m_ghost != nullptr; }
  void Restart() override;
  void SetEnabled(bool enabled, bool fromCheckPoint) override;
  bool Update(float dt) override;
  bool Init() override;
  void Reset() override;

  // The velocity for this frame's steps only: callers set it again every frame.
  void SetWalkDirection(const plat::Vec3& walk);
  // World-space movement, spread evenly over the next frame's steps.
  void AddDisplacement(const plat::Vec3& displacement) override;
  // Lua "TestFloor" and "TestWalls".
  void TestFloor(bool on) { m_floor = on ? 1 : 0; }
  void TestWalls(bool on) { m_walls = on ? 1 : 0; }

  // Collision steps, run by the collision manager while the component is enabled.
  void BeginSteps(int count) override;
  void Step(btCollisionWorld* world, float step) override;
  void EndSteps() override;

  // The point set to the floor below it: y = the floor's height + radius (the
  // sphere's centre). Unchanged when no floor lies below.
  void SnapToFloor(btVector3& point) const;
  // Moves the target out of a wall met at that normal: unchanged when the wall
  // is met glancingly (slid along), the start point when nearly head-on.
  void UpdateTargetOnCollision(const btVector3& start, btVector3& target,
                               const btVector3& normal) const;

  const CStringHash& GetCollisionClass() const { return m_class; }
  bool TestsFloor() const { return m_floor != 0; }
  bool TestsWalls() const { return m_walls != 0; }
  float GetCosAngleMin() const { return m_cosAngleMin; }
  float GetHeight() const { return m_height; }
  float GetRadius() const { return m_radius; }
  float GetFloorOffset() const { return m_floorOffset; }
  bool IsTouchingWall() const { return m_touchingWall != 0; }
  const btVector3& GetWalkVector() const { return m_walk; }
  const btVector3& GetDisplacement() const { return m_displacement; }
  const btVector3& GetMoveDirection() const { return m_moveDirection; }
  btPairCachingGhostObject* GetGhost() const { return m_ghost; }
  btCollisionObject* GetBodyBox() const { return m_bodyBox; }
  // The sphere's centre in the world.
  btVector3 GetSphereCentre() const;

private:
  CCollisionManager* LiveManager() const;
  btVector3 SphereFromOwner() const;
  btVector3 OwnerFromSphere(const btVector3& centre) const;
  void PlaceGhost(const btVector3& centre);
  void PlaceBodyBox();
  void WriteOwnerPosition(const btVector3& position);
  void RecoverFromPenetration(btCollisionWorld* world, btVector3& p, btVector3& touchingNormal);
  void SweepAgainstWalls(btCollisionWorld* world, btVector3& p, btVector3 target,
                         const btVector3& touchingNormal);
  void RaiseWallEvents(bool hit, const btCollisionObject* hitObject, const btVector3& point,
                       const btVector3& normal, float fraction);
  void DestroyObjects();

  CCollisionManager* m_manager = nullptr;
  gfx::CTransform* m_transform = nullptr;
  btPairCachingGhostObject* m_ghost = nullptr;
  btSphereShape* m_shape = nullptr;
  float m_addedMargin = 0.2f;
  btCollisionObject* m_bodyBox = nullptr;
  CStringHash m_class;
  uint8_t m_floor = 0;
  uint8_t m_walls = 0;
  float m_cosAngleMin = 1.0f;
  float m_height = 0.0f;
  float m_radius = 0.0f;
  // Owner position to sphere centre, and back.
  btVector3 m_offset{0, 0, 0};
  btTransform m_bodyBoxOffset = btTransform::getIdentity();
  float m_floorOffset = 0.0f;
  int m_ghostMask = kMaskCharacterGhost;
  btVector3 m_walk{0, 0, 0};
  btVector3 m_moveDirection{0, 0, 0};
  btVector3 m_displacement{0, 0, 0};
  btVector3 m_interpolationStart{0, 0, 0};
  btVector3 m_interpolationEnd{0, 0, 0};
  float m_interpolationTime = 0.0f;
  float m_interpolationDuration = 0.0f;
  uint8_t m_touchingWall = 0;
  // Where this component last put the owner: when the owner is still there at
  // the next steps, nobody else moved it and the steps go on from the sphere.
  btVector3 m_lastWritten{0, 0, 0};
  uint8_t m_hasWritten = 0;
};

// The Lua class "CCharacterCollider" with "TestFloor" and "TestWalls"; hand it to
// the script host with AddBindingRegistrar.
void RegisterCharacterColliderBindings(lua_State* state);

}  // namespace phy
}  // namespace vd
