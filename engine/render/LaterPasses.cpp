// The render manager's pass calls hand over to the passes set in `laterPasses`.
#include "engine/render/LaterPasses.h"

#include "engine/render/RenderManager.h"

namespace vd {
namespace gfx {

void CRenderManager::RenderGlow() {
  if (laterPasses) laterPasses->RenderGlow();
}
void CRenderManager::RenderDecalDepth(CRenderTarget* target, int size) {
  if (laterPasses) laterPasses->RenderDecalDepth(target, size);
}
void CRenderManager::RenderLinearDepth(CRenderTarget* target, int size) {
  if (laterPasses) laterPasses->RenderLinearDepth(target, size);
}
void CRenderManager::RenderSSAO(CRenderTarget* depth, CRenderTarget* output, int width,
                                int height) {
  if (laterPasses) laterPasses->RenderSSAO(depth, output, width, height);
}
void CRenderManager::BlurSSAO(CRenderTarget* ssao, CRenderTarget* depth, int width, int height,
                              CRenderTarget* final, int finalWidth, int finalHeight) {
  if (laterPasses) laterPasses->BlurSSAO(ssao, depth, width, height, final, finalWidth, finalHeight);
}
void CRenderManager::SimpleBlur(CRenderTarget* source, int width, int height,
                                CRenderTarget* destination, bool forShadows, bool throughTarget) {
  if (laterPasses)
    laterPasses->SimpleBlur(source, width, height, destination, forShadows, throughTarget);
}
void CRenderManager::RenderSunShadowMaps() {
  if (laterPasses) laterPasses->RenderSunShadowMaps();
}
void CRenderManager::RenderSpotShadowMaps() {
  if (laterPasses) laterPasses->RenderSpotShadowMaps();
}
void CRenderManager::RenderPointShadowMaps() {
  if (laterPasses) laterPasses->RenderPointShadowMaps();
}
void CRenderManager::RenderScreenShadows(CRenderTarget* target, int size) {
  if (laterPasses) laterPasses->RenderScreenShadows(target, size);
}
void CRenderManager::RenderCameraDepth(CRenderTarget* target) {
  if (laterPasses) laterPasses->RenderCameraDepth(target);
}
void CRenderManager::RenderDecals(float, float, float) {}
void CRenderManager::ApplyScreenShadows(CRenderTarget* sceneCopy) {
  if (laterPasses) laterPasses->ApplyScreenShadows(sceneCopy);
}
void CRenderManager::MergeGlow(CRenderTarget* sceneCopy, CRenderTarget* glowColour,
                               CRenderTarget* glowDepth, CRenderTarget* linearDepth) {
  if (laterPasses) laterPasses->MergeGlow(sceneCopy, glowColour, glowDepth, linearDepth);
}
void CRenderManager::RenderDepthOfField(CRenderTarget* sceneCopy, int width, int height) {
  if (laterPasses) laterPasses->RenderDepthOfField(sceneCopy, width, height);
}
void CRenderManager::RenderRadialBlur(CRenderTarget* sceneCopy) {
  if (laterPasses) laterPasses->RenderRadialBlur(sceneCopy);
}
void CRenderManager::RenderFinalFX(CRenderTarget* sceneCopy, float dt) {
  if (laterPasses) laterPasses->RenderFinalFX(sceneCopy, dt);
}
void CRenderManager::SetSunLightParameters(CShader* shader) {
  if (laterPasses) laterPasses->SetSunLightParameters(shader);
}
void CRenderManager::SetSpotLightParameters(CShader* shader) {
  if (laterPasses) laterPasses->SetSpotLightParameters(shader);
}
void CRenderManager::SetPointLightParameters(CShader* shader) {
  if (laterPasses) laterPasses->SetPointLightParameters(shader);
}

}  // namespace gfx
}  // namespace vd
