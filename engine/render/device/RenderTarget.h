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

// What a screen quad's view rays are built from: the eye's vertical field of view
// in degrees, its aspect ratio and its far distance.
struct SEye {
  float fov = 45.0f;
  float aspect = 1.0f;
  float farPlane = 1.0f;
};

class CRenderTarget {
public:
  CRenderTarget() = default;
  ~CRenderTarget() { Release(); }
  CRenderTarget(const CRenderTarget&) = delete;
  CRenderTarget& operator=(const CRenderTarget&) = delete;

  // Releases what the target holds, then makes it again with the given description.
  // `manager` is the graphics device owner the resources are made on.
  // With an eye the quad made is the eye quad (view rays to the eye's far corners).
  bool Create(CGraphicsManager* manager, uint32_t width, uint32_t height, uint32_t format,
              bool sharedDepth, uint32_t depthFormat, bool hasRenderToSurface, bool makeQuad,
              const plat::gpu::Viewport& viewport, const SEye* eye = nullptr);
  // A target counts as made when its texture, surface and scene object exist.
  bool IsCreated() const { return texture && surface && (renderToSurface || !hasRenderToSurface); }
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
  // The same quad with, per corner, the view ray to the matching corner of the
  // eye's far plane, for the passes that rebuild positions from linear depth.
  void CreateEyeQuad(const SEye& eye);

  CGraphicsManager* graphicsManager = nullptr;
  plat::gpu::Device* device = nullptr;
  plat::gpu::Texture* texture = nullptr;
  plat::gpu::RenderToSurface* renderToSurface = nullptr;
  plat::gpu::Surface* surface = nullptr;
  plat::gpu::Surface* savedDepth = nullptr;
  CVertexBuffer<TEXTURED_VERTEX>* quad = nullptr;
  CVertexBuffer<SSAO_TEXTURED_VERTEX>* eyeQuad = nullptr;
  uint8_t hasEye = 0;
  SEye eye;
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

// The six-face target a point light draws its shadow depth into (R32F colour,
// D16 depth of its own), one face at a time.
class CCubeRenderTarget {
public:
  CCubeRenderTarget() = default;
  ~CCubeRenderTarget() { Release(); }
  CCubeRenderTarget(const CCubeRenderTarget&) = delete;
  CCubeRenderTarget& operator=(const CCubeRenderTarget&) = delete;

  bool Create(CGraphicsManager* manager, uint32_t edge, const plat::gpu::Viewport& viewport);
  void CreateResources();
  void Release();
  void OnLostDevice();
  void OnResetDevice();
  // Opens a scene on one face (0 to 5, +X, -X, +Y, -Y, +Z, -Z); false for another.
  bool BeginFace(uint32_t face);
  void EndFace();
  bool IsCreated() const;

  CGraphicsManager* graphicsManager = nullptr;
  plat::gpu::Device* device = nullptr;
  plat::gpu::CubeTexture* cubeTexture = nullptr;
  plat::gpu::RenderToSurface* renderToSurface = nullptr;
  uint32_t currentFace = 0;
  plat::gpu::Surface* faces[6] = {};
  uint8_t hasRenderToSurface = 0;
  uint8_t autoMipmaps = 0;
  uint8_t inScene = 0;
  uint32_t size = 0;
  uint32_t mipLevels = 0;
  uint32_t format = 0;
  uint32_t depthFormat = 0;
  plat::gpu::Viewport viewport;
  uint8_t wasValid = 0;
};

}  // namespace gfx
}  // namespace vd
