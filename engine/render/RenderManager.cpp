#include "engine/render/RenderManager.h"

#include "engine/render/device/GraphicsManager.h"

namespace vd {
namespace gfx {

void CRenderManager::RenderFrame(CRenderTarget*, float, float) {
  if (!m_graphics || !m_graphics->device) return;
  plat::gpu::Device* device = m_graphics->device;
  device->Clear(0, nullptr, plat::gpu::kClearTarget | plat::gpu::kClearZBuffer, 0xFF000000u, 1.0f, 0);
  if (device->BeginScene() == plat::gpu::kOk) device->EndScene();
  device->Present();
}

}  // namespace gfx
}  // namespace vd
