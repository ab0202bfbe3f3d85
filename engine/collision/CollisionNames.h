#pragma once
// Names of the collision side that the engine's static table does not hold:
// collision classes and the colliders' XML keys.
#include "engine/core/StringHash.h"

namespace vd {
namespace phy {

extern const CStringHash SH_static;
extern const CStringHash SH_wall;
extern const CStringHash SH_floor;
extern const CStringHash SH_mesh;
extern const CStringHash SH_collision_class;
extern const CStringHash SH_length;
extern const CStringHash SH_waypoint;

}  // namespace phy
}  // namespace vd
