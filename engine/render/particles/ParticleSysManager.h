#pragma once
// Placeholder until the particle systems land: the render thread's Init and Shutdown.

namespace vd {
namespace ptc {

class CParticleSysManager {
public:
  bool Init() { return true; }
  void Shutdown() {}
};

}  // namespace ptc
}  // namespace vd
