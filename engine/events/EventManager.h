#pragma once
// Placeholder until the event manager lands: start-up's Init and the factory map.
#include "engine/core/FactoryMaker.h"

namespace vd {
namespace evn {

class IEvent;

class CEventManager {
public:
  ~CEventManager() { utl::DeleteFactoryMakers(factories); }
  bool Init() { return true; }
  void Clear() {}

  utl::FactoryMap<IEvent> factories;
};

}  // namespace evn
}  // namespace vd
