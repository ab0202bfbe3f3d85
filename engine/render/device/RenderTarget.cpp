#include "engine/render/device/RenderTarget.h"

#include <cmath>

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

bool CRenderTarget::Create(CGraphicsManager* manager, uint32_t width_, uint32_t height_,
                           uint32_t format_, bool sharedDepth_, uint32_t depthFormat_,
                           bool hasRenderToSurface_, bool makeQuad,
                           const plat::gpu::Viewport& viewport_, const SEye* eye_) {
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
  if (makeQuad) {
    if (eye_) {
      CreateEyeQuad(*eye_);
    } else {
      CreateScreenQuad();
    }
  }
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
    if (plat::gpu::Failed(device->CreateRenderToSurface(width, height, format, !sharedDepth,
                                                        depthFormat, &renderToSurface)))
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
  if (eyeQuad) {
    eyeQuad->Release();
    delete eyeQuad;
    eyeQuad = nullptr;
  }
  hasEye = 0;
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
    if (sharedDepth && !savedDepth &&
        plat::gpu::Failed(device->GetDepthStencilSurface(&savedDepth)))
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
      {{-1, 1, 0}, {0, 0}},  {{1, 1, 0}, {1, 0}}, {{-1, -1, 0}, {0, 1}},
      {{-1, -1, 0}, {0, 1}}, {{1, 1, 0}, {1, 0}}, {{1, -1, 0}, {1, 1}},
  };
  for (int i = 0; i < 6; ++i) quad->Vertices()[i] = v[i];
  quad->Create();
}

void CRenderTarget::CreateEyeQuad(const SEye& eye_) {
  if (eyeQuad) {
    eyeQuad->Release();
    delete eyeQuad;
  }
  eye = eye_;
  hasEye = 1;
  eyeQuad = new CVertexBuffer<SSAO_TEXTURED_VERTEX>();
  eyeQuad->Init(6, kMeshPrimitiveKindList, kVtxSsaoTextured);
  const float yf = eye.farPlane * std::tan(eye.fov * 0.5f * 3.1415927f / 180.0f);
  const float xf = yf * eye.aspect;
  auto vertex = [&](float x, float y) {
    // Texture v grows downwards, as the quad above; the ray follows the corner.
    return SSAO_TEXTURED_VERTEX{
        {x, y, 0}, {(x + 1.0f) * 0.5f, (1.0f - y) * 0.5f}, {x * xf, y * yf, -eye.farPlane}};
  };
  const SSAO_TEXTURED_VERTEX v[6] = {vertex(-1, 1),  vertex(1, 1), vertex(-1, -1),
                                     vertex(-1, -1), vertex(1, 1), vertex(1, -1)};
  for (int i = 0; i < 6; ++i) eyeQuad->Vertices()[i] = v[i];
  eyeQuad->Create();
}

// --- CCubeRenderTarget ------------------------------------------------------------

bool CCubeRenderTarget::Create(CGraphicsManager* manager, uint32_t edge,
                               const plat::gpu::Viewport& viewport_) {
  Release();
  graphicsManager = manager;
  currentFace = 0;
  autoMipmaps = 0;
  size = edge;
  mipLevels = 1;
  format = plat::gpu::kFmtR32F;
  viewport = viewport_;
  depthFormat = plat::gpu::kFmtD16;
  hasRenderToSurface = 1;
  CreateResources();
  return true;
}

void CCubeRenderTarget::CreateResources() {
  const uint32_t usage =
      plat::gpu::kUsageRenderTarget | (autoMipmaps ? plat::gpu::kUsageAutoGenMipmap : 0u);
  device = graphicsManager ? graphicsManager->device : nullptr;
  if (!device) return;
  if (!cubeTexture && plat::gpu::Failed(device->CreateCubeTexture(
                          size, mipLevels, usage, format, plat::gpu::kPoolDefault, &cubeTexture)))
    cubeTexture = nullptr;
  if (hasRenderToSurface && !renderToSurface &&
      plat::gpu::Failed(device->CreateRenderToSurface(size, size, format, depthFormat != 0,
                                                      depthFormat, &renderToSurface)))
    renderToSurface = nullptr;
  for (uint32_t face = 0; face < 6 && cubeTexture; ++face) {
    if (!faces[face] && plat::gpu::Failed(cubeTexture->GetCubeMapSurface(face, 0, &faces[face])))
      faces[face] = nullptr;
  }
}

void CCubeRenderTarget::Release() {
  if (inScene) EndFace();
  device = nullptr;
  graphicsManager = nullptr;
  size = 0;
  autoMipmaps = 0;
  mipLevels = 0;
  hasRenderToSurface = 0;
  for (plat::gpu::Surface*& face : faces) SafeRelease(face);
  SafeRelease(renderToSurface);
  SafeRelease(cubeTexture);
}

bool CCubeRenderTarget::IsCreated() const {
  if (!cubeTexture || !device) return false;
  for (const plat::gpu::Surface* face : faces)
    if (!face) return false;
  return true;
}

void CCubeRenderTarget::OnLostDevice() {
  wasValid = IsCreated() ? 1 : 0;
  if (inScene) EndFace();
  for (plat::gpu::Surface*& face : faces) SafeRelease(face);
  SafeRelease(cubeTexture);
  if (renderToSurface) renderToSurface->OnLostDevice();
}

void CCubeRenderTarget::OnResetDevice() {
  if (!wasValid) return;
  if (renderToSurface) renderToSurface->OnResetDevice();
  CreateResources();
}

bool CCubeRenderTarget::BeginFace(uint32_t face) {
  if (face >= 6 || !renderToSurface || !faces[face]) return false;
  if (inScene) EndFace();
  currentFace = face;
  renderToSurface->BeginScene(faces[face], &viewport);
  inScene = 1;
  return true;
}

void CCubeRenderTarget::EndFace() {
  if (inScene && renderToSurface) renderToSurface->EndScene(plat::gpu::kDxFilterNone);
  inScene = 0;
}

}  // namespace gfx
}  // namespace vd
