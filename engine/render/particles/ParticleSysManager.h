#pragma once
// Placeholder until the particle systems land: the render thread's Init and Shutdown.

namespace vd {
namespace ptc {

class CParticleSysManager {
public:
  bool Init() { return true; }
  void Shutdown() {}
  // Before (true) and after (false) a device reset.
  void OnDeviceReset(bool) {}
};

}  // namespace ptc
}  // namespace vd
