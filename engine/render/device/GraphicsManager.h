#pragma once
// Placeholder until the graphics device lands: the fields that application start-up
// touches, and an Init that succeeds.
#include <cstdint>

namespace vd {
namespace gfx {

struct SPresentParameters {
  uint32_t backBufferWidth = 0;
  uint32_t backBufferHeight = 0;
  uint32_t backBufferFormat = 0;
  uint32_t multiSampleType = 0;
  uint8_t windowed = 1;
};

class CGraphicsManager {
public:
  bool Init(int width, int height, int multiSampleType);
  void Release();

  void* device = nullptr;
  uint32_t depthFormat = 75;       // D24S8
  uint32_t backBufferFormat = 21;  // A8R8G8B8
  SPresentParameters presentParameters;
  uint8_t resetRequested = 0;
};

}  // namespace gfx
}  // namespace vd
