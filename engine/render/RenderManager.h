#pragma once
// Placeholder until the render manager lands: the render thread's Init and Shutdown.

namespace vd {
namespace gfx {

class CRenderManager {
public:
  bool Init() { return true; }
  void Shutdown() {}
};

}  // namespace gfx
}  // namespace vd
