#pragma once
// An off-screen surface: a render-target texture with its level-0 surface, an
// optional render-to-surface object that opens a scene on it, and an optional
// full-screen quad the post passes draw with.
#include <cstdint>

#include "engine/render/buffers/VertexBuffer.h"
#include "platform/gpu/Device.h"

namespace vd {
namespace gfx {

class CGraphicsManager;

class CRenderTarget {
public:
  CRenderTarget() = default;
  ~CRenderTarget() { Release(); }
  CRenderTarget(const CRenderTarget&) = delete;
  CRenderTarget& operator=(const CRenderTarget&) = delete;

  // Releases what the target holds, then makes it again with the given description.
  // `manager` is the graphics device owner the resources are made on.
  bool Create(CGraphicsManager* manager, uint32_t width, uint32_t height, uint32_t format, bool sharedDepth,
              uint32_t depthFormat, bool hasRenderToSurface, bool makeQuad,
              const plat::gpu::Viewport& viewport);
  // Makes whichever of the texture, the scene object and the surface are missing.
  void CreateResources();
  // Frees everything; harmless on an empty or already released target.
  void Release();
  // Device loss: default-pool resources go; OnResetDevice brings them back.
  void OnLostDevice();
  void OnResetDevice();
  void BeginScene();
  void EndScene();
  // Copies the device's current render target into this target's surface.
  void CaptureBackBuffer();
  // The plain full-screen quad: two triangles with texture coordinates (0,0) at
  // the top-left and (1,1) at the bottom-right, made on the device at once.
  void CreateScreenQuad();

  CGraphicsManager* graphicsManager = nullptr;
  plat::gpu::Device* device = nullptr;
  plat::gpu::Texture* texture = nullptr;
  plat::gpu::RenderToSurface* renderToSurface = nullptr;
  plat::gpu::Surface* surface = nullptr;
  plat::gpu::Surface* savedDepth = nullptr;
  CVertexBuffer<TEXTURED_VERTEX>* quad = nullptr;
  uint8_t sharedDepth = 0;
  uint8_t hasRenderToSurface = 0;
  uint8_t autoMipmaps = 0;
  uint8_t inScene = 0;
  uint32_t width = 0, height = 0;
  uint32_t mipLevels = 0;
  uint32_t format = 0;
  uint32_t depthFormat = 0;
  plat::gpu::Viewport viewport;
  uint8_t wasValid = 0;
};

}  // namespace gfx
}  // namespace vd
