// The passes of the pre- and post-pass chains that draw into their own targets:
// depth, ambient occlusion, glow, blur, shadows, decals, the post passes and the
// film look. Each is switched by its flag in the frame; until it draws, it leaves
// the picture as it is.
#include "engine/render/RenderManager.h"

namespace vd {
namespace gfx {

void CRenderManager::RenderGlow() {}
void CRenderManager::RenderDecalDepth(CRenderTarget*, int) {}
void CRenderManager::RenderLinearDepth(CRenderTarget*, int) {}
void CRenderManager::RenderSSAO(CRenderTarget*, CRenderTarget*, int, int) {}
void CRenderManager::BlurSSAO(CRenderTarget*, CRenderTarget*, int, int, CRenderTarget*, int, int) {}
void CRenderManager::SimpleBlur(CRenderTarget*, int, int, CRenderTarget*, bool, bool) {}
void CRenderManager::RenderSunShadowMaps() {}
void CRenderManager::RenderSpotShadowMaps() {}
void CRenderManager::RenderPointShadowMaps() {}
void CRenderManager::RenderScreenShadows(CRenderTarget*, int) {}
void CRenderManager::RenderCameraDepth(CRenderTarget*) {}
void CRenderManager::RenderDecals(float dt, float width, float height) {
  if (renderDecals) renderDecals(dt, width, height);
}
void CRenderManager::ApplyScreenShadows(CRenderTarget*) {}
void CRenderManager::MergeGlow(CRenderTarget*, CRenderTarget*, CRenderTarget*, CRenderTarget*) {}
void CRenderManager::RenderDepthOfField(CRenderTarget*, int, int) {}
void CRenderManager::RenderRadialBlur(CRenderTarget*) {}
void CRenderManager::RenderFinalFX(CRenderTarget*, float) {}
void CRenderManager::SetSunLightParameters(CShader*) {}
void CRenderManager::SetSpotLightParameters(CShader*) {}
void CRenderManager::SetPointLightParameters(CShader*) {}

}  // namespace gfx
}  // namespace vd
