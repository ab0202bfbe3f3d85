#include "engine/collision/CollisionNames.h"

namespace vd {
namespace phy {

const CStringHash SH_static("static");
const CStringHash SH_wall("wall");
const CStringHash SH_floor("floor");
const CStringHash SH_mesh("mesh");
const CStringHash SH_collision_class("collision_class");
const CStringHash SH_length("length");
const CStringHash SH_waypoint("waypoint");

}  // namespace phy
}  // namespace vd
