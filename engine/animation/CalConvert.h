#pragma once
// The one place where the animation library's vectors and quaternions meet ours.
// The library's quaternions are the conjugates of ours: negating w turns one into
// a quaternion of the same rotation in our convention.
#include <cal3d/quaternion.h>
#include <cal3d/vector.h>

#include "platform/math/Vector.h"

namespace vd {
namespace anm {

inline plat::Vec3 ToVec3(const CalVector& v) { return plat::Vec3(v.x, v.y, v.z); }
inline CalVector ToCal(const plat::Vec3& v) { return CalVector(v.x, v.y, v.z); }

// Library rotation -> ours (x, y, z, w).
inline plat::Vec4 ToQuaternion(const CalQuaternion& q) { return plat::Vec4(q.x, q.y, q.z, -q.w); }

}  // namespace anm
}  // namespace vd
