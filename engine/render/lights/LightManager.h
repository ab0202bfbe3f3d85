#pragma once
// Placeholder until the light manager lands: Init, Shutdown and the zone values
// that application shutdown clears.
#include "engine/core/StringHash.h"

namespace vd {
namespace lig {

class CLightManager : public utl::CSingleton<CLightManager> {
public:
  CLightManager() { SetInstance(this); }
  bool Init() { return true; }
  void Shutdown() {}
  void OnLostDevice() {}
  void OnResetDevice() {}

  float zoneValues[2] = {0.0f, 0.0f};
};

}  // namespace lig
}  // namespace vd
