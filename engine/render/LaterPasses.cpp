// The passes that draw into targets of their own, reached through the installed
// IFramePasses; without one they leave the picture as it is.
#include "engine/render/FramePasses.h"
#include "engine/render/RenderManager.h"

namespace vd {
namespace gfx {

void CRenderManager::RenderGlow() {
  if (framePasses) framePasses->RenderGlow();
}
void CRenderManager::RenderDecalDepth(CRenderTarget* target, int size) {
  if (framePasses) framePasses->RenderDecalDepth(target, size);
}
void CRenderManager::RenderLinearDepth(CRenderTarget* target, int size) {
  if (framePasses) framePasses->RenderLinearDepth(target, size);
}
void CRenderManager::RenderSSAO(CRenderTarget* depth, CRenderTarget* output, int width,
                                int height) {
  if (framePasses) framePasses->RenderSSAO(depth, output, width, height);
}
void CRenderManager::BlurSSAO(CRenderTarget* ssao, CRenderTarget* depth, int width, int height,
                              CRenderTarget* final, int finalWidth, int finalHeight) {
  if (framePasses)
    framePasses->BlurSSAO(ssao, depth, width, height, final, finalWidth, finalHeight);
}
void CRenderManager::SimpleBlur(CRenderTarget* source, int width, int height,
                                CRenderTarget* destination, bool forShadows, bool throughTarget) {
  if (framePasses)
    framePasses->SimpleBlur(source, width, height, destination, forShadows, throughTarget);
}
void CRenderManager::RenderSunShadowMaps() {
  if (framePasses) framePasses->RenderSunShadowMaps();
}
void CRenderManager::RenderSpotShadowMaps() {
  if (framePasses) framePasses->RenderSpotShadowMaps();
}
void CRenderManager::RenderPointShadowMaps() {
  if (framePasses) framePasses->RenderPointShadowMaps();
}
void CRenderManager::RenderScreenShadows(CRenderTarget* target, int size) {
  if (framePasses) framePasses->RenderScreenShadows(target, size);
}
void CRenderManager::RenderCameraDepth(CRenderTarget* target) {
  if (framePasses) framePasses->RenderCameraDepth(target);
}
void CRenderManager::RenderDecals(float dt, float width, float height) {
  if (framePasses) framePasses->RenderDecals(dt, width, height);
}
bool CRenderManager::ApplyScreenShadows(CRenderTarget* sceneCopy) {
  return framePasses && framePasses->ApplyScreenShadows(sceneCopy);
}
bool CRenderManager::MergeGlow(CRenderTarget* sceneCopy, CRenderTarget* glowColour,
                               CRenderTarget* glowDepth, CRenderTarget* linearDepth) {
  return framePasses && framePasses->MergeGlow(sceneCopy, glowColour, glowDepth, linearDepth);
}
bool CRenderManager::RenderDepthOfField(CRenderTarget* sceneCopy, int width, int height) {
  return framePasses && framePasses->RenderDepthOfField(sceneCopy, width, height);
}
bool CRenderManager::RenderRadialBlur(CRenderTarget* sceneCopy) {
  return framePasses && framePasses->RenderRadialBlur(sceneCopy);
}
bool CRenderManager::RenderFinalFX(CRenderTarget* sceneCopy, float dt) {
  return framePasses && framePasses->RenderFinalFX(sceneCopy, dt);
}
bool CRenderManager::FoldDepthOfFieldIntoFinalFX(CRenderTarget* sceneCopy, int width, int height) {
  return framePasses && framePasses->FoldDepthOfFieldIntoFinalFX(sceneCopy, width, height);
}
void CRenderManager::SetSunLightParameters(CShader* shader) {
  if (framePasses) framePasses->SetSunLightParameters(shader);
}
void CRenderManager::SetSpotLightParameters(CShader* shader) {
  if (framePasses) framePasses->SetSpotLightParameters(shader);
}
void CRenderManager::SetPointLightParameters(CShader* shader) {
  if (framePasses) framePasses->SetPointLightParameters(shader);
}

}  // namespace gfx
}  // namespace vd
