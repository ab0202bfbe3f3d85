#include "engine/render/RenderManager.h"
#include "engine/render/device/GraphicsManager.h"
#include "engine/render/passes/PassCommon.h"
#include "engine/render/passes/RenderPasses.h"

namespace vd {
namespace gfx {

namespace gpu = plat::gpu;

bool CRenderPasses::ApplyScreenShadows(CRenderTarget& scene) {
  plat::fx::Effect* effect = FindEffect("render2texture");
  if (!effect || gpu::Failed(effect->SetTechnique("render2textureShadows_tech"))) return false;
  CRenderTarget& blurred = m_manager.renderTargets[kTargetScreenShadowsBlurred];
  fxset::Texture(effect, "gTexure", scene.texture);
  fxset::Texture(effect, "gFilterTexure", blurred.texture);
  fxset::Texture(effect, "gNotFilterTexure", blurred.texture);
  fxset::Texture(effect, "gZMapFullScreenTexure",
                 m_manager.renderTargets[kTargetCameraDepth].texture);
  return DrawQuadPasses(effect, scene);
}

bool CRenderPasses::MergeGlow(CRenderTarget& scene, CRenderTarget& glowColour,
                              CRenderTarget& glowDepth, CRenderTarget& linearDepth) {
  if (m_glowEmpty) return false;
  plat::fx::Effect* effect = FindEffect("render2texture");
  if (!effect || gpu::Failed(effect->SetTechnique("sumMerge_tech"))) return false;
  fxset::Texture(effect, "gTexure", scene.texture);
  fxset::Texture(effect, "gTexureToSum", glowColour.texture);
  fxset::Texture(effect, "gTexureDepthGlow", glowDepth.texture);
  fxset::Texture(effect, "gNZLinearMapTexture", linearDepth.texture);
  const float pixel = m_manager.glowSize > 0 ? 1.0f / static_cast<float>(m_manager.glowSize) : 0.0f;
  fxset::Float2(effect, "gPixelSizeTexureToSum", pixel, pixel);
  return DrawQuadPasses(effect, scene);
}

CRenderTarget* CRenderPasses::BlurForDepthOfField(CRenderTarget& scene, int screenWidth,
                                                  int screenHeight) {
  CRenderTarget& blurred = m_manager.renderTargets[kTargetDoFBlur];
  const SDoFSizes sizes = DepthOfFieldSizes(screenWidth, screenHeight);
  // The blurred copy is made at the quarter size its blur draws at: a full-screen
  // target would only spread the same quarter-size picture over sixteen times the
  // pixels.
  if (!blurred.texture || !blurred.surface) {
    blurred.Release();
    if (!EnsureTarget(blurred, sizes.width, sizes.height, gpu::kFmtA8R8G8B8,
                      m_graphics->depthFormat))
      return nullptr;
  }
  CRenderTarget& between = m_manager.renderTargets[kTargetBlur];
  GaussianBlur(nullptr, scene, screenWidth, screenHeight, between, sizes.width, sizes.height, true);
  // The vertical blur reads the quarter-size intermediate, so its taps step by the
  // intermediate's own texels.
  GaussianBlur(nullptr, between, sizes.width, sizes.height, blurred, sizes.width, sizes.height,
               false);
  return &blurred;
}

void CRenderPasses::SetDepthOfFieldValues(plat::fx::Effect* effect, CRenderTarget& blurred,
                                          int screenWidth, int screenHeight) {
  const SDoFSizes sizes = DepthOfFieldSizes(screenWidth, screenHeight);
  fxset::Texture(effect, "gDoFBluredTexture", blurred.texture);
  fxset::Float2(effect, "gDoF_pixelSize", 1.0f / static_cast<float>(screenWidth),
                1.0f / static_cast<float>(screenHeight));
  fxset::Float2(effect, "gDoF_bluredPixelSize", sizes.blurredPixelWidth, sizes.blurredPixelHeight);
  // How far each pixel is from the focal plane comes from this frame's linear
  // depth map, with the distances the scene's effects are given.
  CRenderTarget& depth = m_manager.renderTargets[kTargetLinearDepth];
  const SCameraView* camera = ViewCamera();
  const bool depthKnown = depth.texture && camera;
  fxset::Bool(effect, "gDoFDepthKnown", depthKnown);
  if (depthKnown) {
    fxset::Texture(effect, "gNZLinearMapTexture", depth.texture);
    fxset::Float(effect, "gCamera_far_max_length", GetCameraFarMaxLength(*camera));
    fxset::Float(effect, "gFocalDist", m_manager.dofFocalPlane);
    fxset::Float(effect, "gNearBlurPlaneDist", m_manager.dofNearMaxBlurPlane);
    fxset::Float(effect, "gFarBlurPlaneDist", m_manager.dofFarMaxBlurPlane);
    fxset::Float(effect, "gFarBlurLimit", m_manager.dofMaxBlur);
  }
}

bool CRenderPasses::RenderDepthOfField(CRenderTarget& scene, int screenWidth, int screenHeight) {
  plat::fx::Effect* effect = FindEffect("DoF");
  if (!effect) return false;
  CRenderTarget* blurred = BlurForDepthOfField(scene, screenWidth, screenHeight);
  if (!blurred) return false;
  gpu::Device* device = Device();
  if (gpu::Failed(device->BeginScene())) return false;
  bool drew = false;
  if (gpu::Succeeded(effect->SetTechnique("DoF_tech"))) {
    fxset::Texture(effect, "gDoFTexture", scene.texture);
    SetDepthOfFieldValues(effect, *blurred, screenWidth, screenHeight);
    drew = DrawQuadPasses(effect, scene);
  }
  device->EndScene();
  return drew;
}

bool CRenderPasses::FoldDepthOfFieldIntoFinalFX(CRenderTarget& scene, int screenWidth,
                                                int screenHeight) {
  m_dofFolded = false;
  // Only a film look that can blend it (older effect files cannot), and only where
  // the depth of field would draw at all: without its own effect it draws nothing.
  plat::fx::Effect* filmLook = FindEffect("render2texture");
  if (!filmLook || !filmLook->GetParameterByName("gFinalFXDoF") ||
      !filmLook->GetTechniqueByName("render2textureFinalFX_tech") || !FindEffect("DoF"))
    return false;
  CRenderTarget* blurred = BlurForDepthOfField(scene, screenWidth, screenHeight);
  if (!blurred) return false;
  SetDepthOfFieldValues(filmLook, *blurred, screenWidth, screenHeight);
  fxset::Bool(filmLook, "gFinalFXDoF", true);
  m_dofFolded = true;
  return true;
}

bool CRenderPasses::RenderRadialBlur(CRenderTarget& scene) {
  gpu::Device* device = Device();
  plat::fx::Effect* effect = FindEffect("render2texture");
  if (!device || !effect || gpu::Failed(device->BeginScene())) return false;
  bool drew = false;
  if (gpu::Succeeded(effect->SetTechnique("radialBlur_tech"))) {
    fxset::Texture(effect, "gRadialBlurInTexture", scene.texture);
    fxset::Float(effect, "gRadialBlurStrength", m_manager.radialBlurStrength.render);
    fxset::Float2(effect, "gRadialBlurCenter", m_manager.filmLookTail.render[0],
                  m_manager.filmLookTail.render[1]);
    drew = DrawQuadPasses(effect, scene);
  }
  device->EndScene();
  return drew;
}

}  // namespace gfx
}  // namespace vd
