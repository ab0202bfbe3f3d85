#pragma once
// A list of waypoints read from XML, walked by cameras, the player and enemies.
// It has no behaviour of its own: users read the points.
#include <cstddef>
#include <vector>

#include "engine/core/FactoryMaker.h"
#include "engine/core/StringHash.h"
#include "engine/objects/Component.h"
#include "platform/math/Vector.h"

namespace vd {
namespace lgc {

// Key "waypoints" whose "waypoint" children carry positionX, positionY and
// positionZ; several keys append in order.
class CTracker : public obj::CComponent<CTracker> {
public:
  static const CStringHash& GetClassName();

  CTracker() = default;
  ~CTracker() override;
  CTracker& operator=(const CTracker& other) = default;

  void Load(rapidxml::xml_node<>* element) override;
  bool HasContent() override { return !waypoints.empty(); }
  bool Update(float) override { return true; }
  bool Init() override { return true; }
  void Reset() override { waypoints.clear(); }

  size_t GetWaypointCount() const { return waypoints.size(); }
  // Null past the last point (and always for a tracker without points).
  const plat::Vec3* GetWaypoint(size_t index) const {
    return index < waypoints.size() ? &waypoints[index] : nullptr;
  }

  std::vector<plat::Vec3> waypoints;
};

// The maker of "CTracker".
void RegisterTrackerFactory(utl::FactoryMap<obj::IComponent>& makers);

}  // namespace lgc
}  // namespace vd
