#include "engine/render/device/RenderTarget.h"

#include "engine/render/device/GraphicsManager.h"

namespace vd {
namespace gfx {

namespace {
template <typename T>
void SafeRelease(T*& p) {
  if (p) {
    p->Release();
    p = nullptr;
  }
}
}  // namespace

bool CRenderTarget::Create(CGraphicsManager* manager, uint32_t width_, uint32_t height_, uint32_t format_,
                           bool sharedDepth_, uint32_t depthFormat_, bool hasRenderToSurface_, bool makeQuad,
                           const plat::gpu::Viewport& viewport_) {
  Release();
  graphicsManager = manager;
  width = width_;
  height = height_;
  format = format_;
  sharedDepth = sharedDepth_ ? 1 : 0;
  depthFormat = depthFormat_;
  hasRenderToSurface = hasRenderToSurface_ ? 1 : 0;
  viewport = viewport_;
  mipLevels = 1;
  autoMipmaps = 0;
  if (makeQuad) CreateScreenQuad();
  CreateResources();
  return true;
}

void CRenderTarget::CreateResources() {
  const uint32_t usage =
      plat::gpu::kUsageRenderTarget | (autoMipmaps ? plat::gpu::kUsageAutoGenMipmap : 0u);
  device = graphicsManager ? graphicsManager->device : nullptr;
  if (!device) return;
  // Failures leave the pointer null; the passes that use a target test for it.
  if (!texture) {
    if (plat::gpu::Failed(device->CreateTexture(width, height, mipLevels, usage, format,
                                                plat::gpu::kPoolDefault, &texture)))
      texture = nullptr;
  }
  if (hasRenderToSurface && !renderToSurface) {
    if (plat::gpu::Failed(device->CreateRenderToSurface(width, height, format, !sharedDepth, depthFormat,
                                                        &renderToSurface)))
      renderToSurface = nullptr;
  }
  if (texture && !surface) {
    if (plat::gpu::Failed(texture->GetSurfaceLevel(0, &surface))) surface = nullptr;
  }
}

void CRenderTarget::Release() {
  if (inScene) EndScene();
  SafeRelease(savedDepth);
  SafeRelease(surface);
  SafeRelease(renderToSurface);
  SafeRelease(texture);
  if (quad) {
    quad->Release();
    delete quad;
    quad = nullptr;
  }
  graphicsManager = nullptr;
  device = nullptr;
  width = height = 0;
  autoMipmaps = 0;
  mipLevels = 0;
  hasRenderToSurface = 0;
}

void CRenderTarget::OnLostDevice() {
  wasValid = (texture && surface && device) ? 1 : 0;
  if (inScene) EndScene();
  SafeRelease(texture);
  SafeRelease(surface);
  SafeRelease(savedDepth);
  if (renderToSurface) renderToSurface->OnLostDevice();
}

void CRenderTarget::OnResetDevice() {
  if (!wasValid) return;
  if (renderToSurface) renderToSurface->OnResetDevice();
  CreateResources();
}

void CRenderTarget::BeginScene() {
  if (hasRenderToSurface && renderToSurface && device) {
    if (sharedDepth && !savedDepth && plat::gpu::Failed(device->GetDepthStencilSurface(&savedDepth)))
      savedDepth = nullptr;
    renderToSurface->BeginScene(surface, &viewport);
    if (sharedDepth && savedDepth) device->SetDepthStencilSurface(savedDepth);
  }
  inScene = 1;
}

void CRenderTarget::EndScene() {
  if (hasRenderToSurface && renderToSurface) {
    renderToSurface->EndScene(plat::gpu::kDxFilterNone);
    if (sharedDepth) SafeRelease(savedDepth);
  }
  inScene = 0;
}

void CRenderTarget::CaptureBackBuffer() {
  if (!device || !surface) return;
  plat::gpu::Surface* current = nullptr;
  if (plat::gpu::Failed(device->GetRenderTarget(0, &current)) || !current) return;
  BeginScene();
  device->StretchRect(current, nullptr, surface, nullptr, plat::gpu::kTexFilterNone);
  EndScene();
  current->Release();
}

void CRenderTarget::CreateScreenQuad() {
  if (quad) {
    quad->Release();
    delete quad;
  }
  quad = new CVertexBuffer<TEXTURED_VERTEX>();
  quad->Init(6, kMeshPrimitiveKindList, kVtxTextured);
  // Texture coordinates address texel corners exactly: the device samples at texel
  // centres, so no half-texel shift is wanted.
  const TEXTURED_VERTEX v[6] = {
      {{-1, 1, 0}, {0, 0}}, {{1, 1, 0}, {1, 0}},  {{-1, -1, 0}, {0, 1}},
      {{-1, -1, 0}, {0, 1}}, {{1, 1, 0}, {1, 0}}, {{1, -1, 0}, {1, 1}},
  };
  for (int i = 0; i < 6; ++i) quad->Vertices()[i] = v[i];
  quad->Create();
}

}  // namespace gfx
}  // namespace vd
