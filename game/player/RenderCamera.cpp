#include "game/player/RenderCamera.h"

#include "engine/render/RenderManager.h"
#include "game/player/FollowCamera.h"

namespace vd {

namespace {

// The render manager's game-side depth of field. The four values are plain floats
// that the render thread reads while it draws; the switches are pending copies that
// its next commit takes over.
class CRenderDepthOfField : public IDepthOfField {
public:
  gfx::CRenderManager* renderManager = nullptr;

  bool IsOn() const override { return renderManager && renderManager->depthOfField.pending; }
  void SetCinematic(bool on) override {
    if (renderManager) renderManager->cinematicDoF.Set(on);
  }
  SDepthOfFieldValues GetValues() const override {
    SDepthOfFieldValues values;
    if (!renderManager) return values;
    values.focalDist = renderManager->dofFocalPlane;
    values.nearBlurPlaneDist = renderManager->dofNearMaxBlurPlane;
    values.farBlurPlaneDist = renderManager->dofFarMaxBlurPlane;
    values.farBlurLimit = renderManager->dofMaxBlur;
    return values;
  }
  void SetValues(const SDepthOfFieldValues& values) override {
    if (!renderManager) return;
    renderManager->dofFocalPlane = values.focalDist;
    renderManager->dofNearMaxBlurPlane = values.nearBlurPlaneDist;
    renderManager->dofFarMaxBlurPlane = values.farBlurPlaneDist;
    renderManager->dofMaxBlur = values.farBlurLimit;
  }
};

CRenderDepthOfField g_renderDepthOfField;

}  // namespace

void BindRenderCamera(gfx::CRenderManager& renderManager, CCameraGOWController* controller) {
  cam::CCamera* camera = controller ? controller->camera : nullptr;
  renderManager.cullingCamera.Set(camera);
  renderManager.viewCamera.Set(camera);
  if (!camera) {
    UnbindRenderCamera(renderManager);
    return;
  }
  g_renderDepthOfField.renderManager = &renderManager;
  CCameraGOWController::SetDepthOfField(&g_renderDepthOfField);
}

void UnbindRenderCamera(gfx::CRenderManager& renderManager) {
  renderManager.cullingCamera.Set(nullptr);
  renderManager.viewCamera.Set(nullptr);
  if (g_renderDepthOfField.renderManager != &renderManager) return;
  g_renderDepthOfField.renderManager = nullptr;
  CCameraGOWController::SetDepthOfField(nullptr);
}

}  // namespace vd
