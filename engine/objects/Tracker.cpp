#include "engine/objects/Tracker.h"

#include "engine/core/EngineNames.h"
#include "engine/objects/ComponentKeys.h"

namespace vd {
namespace lgc {

const CStringHash& CTracker::GetClassName() { return SH_CTracker; }

CTracker::~CTracker() {
  if (!IsCheckPointCopy()) Reset();
}

void CTracker::Load(rapidxml::xml_node<>* element) {
  obj::ForEachKey(element, [this](const obj::CKey& key) {
    if (key.NameHash() != SH_waypoints.GetHash()) return;
    for (const rapidxml::xml_node<>* node = key.Node()->first_node("waypoint"); node;
         node = node->next_sibling("waypoint")) {
      const obj::CKey point(node);
      waypoints.emplace_back(point.Float("positionX"), point.Float("positionY"),
                             point.Float("positionZ"));
    }
  });
}

void RegisterTrackerFactory(utl::FactoryMap<obj::IComponent>& makers) {
  utl::RegisterFactoryMaker<CTracker, obj::IComponent>(makers);
}

}  // namespace lgc
}  // namespace vd
