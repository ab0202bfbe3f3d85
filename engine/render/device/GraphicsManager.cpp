#include "engine/render/device/GraphicsManager.h"

namespace vd {
namespace gfx {

bool CGraphicsManager::Init(int width, int height, int multiSampleType) {
  presentParameters.backBufferWidth = static_cast<uint32_t>(width);
  presentParameters.backBufferHeight = static_cast<uint32_t>(height);
  presentParameters.multiSampleType = static_cast<uint32_t>(multiSampleType);
  return true;
}

void CGraphicsManager::Release() { device = nullptr; }

}  // namespace gfx
}  // namespace vd
