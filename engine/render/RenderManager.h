#pragma once
// Placeholder until the render manager lands: the render thread's Init, Shutdown,
// device hooks, frame and commit. A frame clears the main target to black.
#include <cstdint>

namespace vd {
namespace gfx {

class CGraphicsManager;
class CRenderTarget;

class CRenderManager {
public:
  bool Init(CGraphicsManager* graphics) {
    m_graphics = graphics;
    return true;
  }
  void Shutdown() { m_graphics = nullptr; }
  void OnLostDevice() {}
  void OnResetDevice() {}
  void RenderFrame(CRenderTarget* target, float gameTime, float clampedTime);
  // Moves what the main thread queued into the drawn lists.
  void CommitRenderData() { commitRequested = 0; }

  uint8_t commitRequested = 0;

private:
  CGraphicsManager* m_graphics = nullptr;
};

}  // namespace gfx
}  // namespace vd
