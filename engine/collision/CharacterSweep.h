#pragma once
// The closest wall that a character's sphere meets on its way: every hit except
// the character's own ghost, which the sweep starts inside of.
#include <BulletCollision/CollisionDispatch/btCollisionWorld.h>

namespace vd {
namespace phy {

class CClosestNotMeConvexResultCallback : public btCollisionWorld::ClosestConvexResultCallback {
public:
  CClosestNotMeConvexResultCallback(const btCollisionObject* me, const btVector3& from,
                                    const btVector3& to)
      : ClosestConvexResultCallback(from, to), m_me(me) {}

  bool needsCollision(btBroadphaseProxy* proxy) const override {
    if (proxy && proxy->m_clientObject == m_me) return false;
    return ClosestConvexResultCallback::needsCollision(proxy);
  }

  btScalar addSingleResult(btCollisionWorld::LocalConvexResult& result,
                           bool normalInWorldSpace) override {
    if (result.m_hitCollisionObject == m_me) return btScalar(1.0);
    return ClosestConvexResultCallback::addSingleResult(result, normalInWorldSpace);
  }

private:
  const btCollisionObject* m_me;
};

}  // namespace phy
}  // namespace vd
