#pragma once
// The D3DX-style helpers, built only on the device's public operations.
#include <cstdint>

#include "platform/gpu/Device.h"

namespace plat {
namespace gpu {

// Each holds a reference to `device` for its lifetime.
RenderToSurface* NewRenderToSurface(Device* device, uint32_t width, uint32_t height,
                                    uint32_t format, bool depthStencil, uint32_t depthFormat);
Sprite* NewSprite(Device* device);

}  // namespace gpu
}  // namespace plat
