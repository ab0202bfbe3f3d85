#pragma once
// Placeholder until the game-object manager lands: start-up's Init, shutdown's
// Clear and the component-factory map.
#include "engine/core/FactoryMaker.h"

namespace vd {
namespace obj {

class IComponent;

class CGameObjectManager {
public:
  ~CGameObjectManager() { utl::DeleteFactoryMakers(componentFactories); }
  bool Init() { return true; }
  void Clear() {}

  utl::FactoryMap<IComponent> componentFactories;
};

}  // namespace obj
}  // namespace vd
