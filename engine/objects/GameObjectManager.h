#pragma once
// Placeholder until the game-object manager lands: start-up's Init, shutdown's
// Clear, the main loop's passes and the component-factory map.
#include "engine/core/FactoryMaker.h"

namespace vd {
namespace obj {

class IComponent;

class CGameObjectManager {
public:
  ~CGameObjectManager() { utl::DeleteFactoryMakers(componentFactories); }
  bool Init() { return true; }
  void Clear() {}
  // The frame's three passes, called by the main loop.
  void ApplyQueuedRequests() {}
  bool UpdateCameraObjects(float) { return true; }
  void UpdatePass(float) {}

  utl::FactoryMap<IComponent> componentFactories;
};

}  // namespace obj
}  // namespace vd
