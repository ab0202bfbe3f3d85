#include <gtest/gtest.h>

#include "engine/objects/Camera.h"
#include "engine/render/RenderManager.h"
#include "game/player/FollowCamera.h"
#include "game/player/RenderCamera.h"
#include "tests/game/player/CameraFixture.h"

namespace vd {
namespace {

class RenderCamera : public test::CameraLevel {
protected:
  void TearDown() override {
    UnbindRenderCamera(render);
    test::CameraLevel::TearDown();
  }
  void Fatality(float duration, float killFrame) {
    evn::CEventFatality* event = evn::CEventFatality::New(
        CStringHash("fatality_1"), CStringHash("zombie"), plat::Vec3(2, 0, 0), duration, killFrame);
    cam->HandleEvent(event);
    event->Release();
  }

  gfx::CRenderManager render;
};

TEST_F(RenderCamera, BothReferencesAreTheFollowCamerasFromTheNextCommitUntilUnbound) {
  Load(Actor("player", 0, 0, 0) + Camera(0, 1.5f, 10));
  cam::CCamera* eye = Part<cam::CCamera>("main_camera");
  BindRenderCamera(render, cam);
  EXPECT_EQ(render.viewCamera.pending, eye);
  EXPECT_EQ(render.cullingCamera.pending, eye);
  EXPECT_EQ(render.viewCamera.render, nullptr);
  render.CommitRenderData();
  EXPECT_EQ(render.viewCamera.render, eye);
  EXPECT_EQ(render.cullingCamera.render, eye);

  // The camera's view reaches the render side through the reference.
  cam->Update(0.1f);
  gfx::SCameraView seen;
  render.viewCamera.render->GetCameraView(seen);
  EXPECT_EQ(seen.view, eye->view);
  EXPECT_EQ(seen.projection, eye->projection);

  UnbindRenderCamera(render);
  render.CommitRenderData();
  EXPECT_EQ(render.viewCamera.render, nullptr);
  EXPECT_EQ(render.cullingCamera.render, nullptr);
  // A missing controller binds nothing.
  BindRenderCamera(render, nullptr);
  EXPECT_EQ(render.viewCamera.pending, nullptr);
}

TEST_F(RenderCamera, TheFatalityCameraWritesAndRestoresTheRenderManagersDepthOfField) {
  Load(Actor("player", 0, 0, 0) + Camera(0, 1.5f, 10));
  BindRenderCamera(render, cam);
  render.depthOfField.Set(true);
  render.dofFocalPlane = 20.0f;
  render.dofNearMaxBlurPlane = 1.0f;
  render.dofFarMaxBlurPlane = 30.0f;
  render.dofMaxBlur = 0.5f;
  Fatality(1.0f, 0.5f);
  cam->Update(0.1f);
  EXPECT_TRUE(render.cinematicDoF.pending);
  EXPECT_FLOAT_EQ(render.dofFocalPlane, 0.9f * 20.0f + 0.1f * cam->focusDistance);
  EXPECT_FLOAT_EQ(render.dofNearMaxBlurPlane, 0.9f * 1.0f + 0.1f);
  EXPECT_FLOAT_EQ(render.dofFarMaxBlurPlane, 0.9f * 30.0f + 1.2f);
  EXPECT_FLOAT_EQ(render.dofMaxBlur, 0.9f * 0.5f + 0.08f);
  for (int frame = 0; frame < 40 && cam->transitionMode != 0; ++frame) cam->Update(0.1f);
  ASSERT_EQ(cam->transitionMode, 0);
  EXPECT_FALSE(render.cinematicDoF.pending);
  EXPECT_EQ(render.dofFocalPlane, 20.0f);
  EXPECT_EQ(render.dofNearMaxBlurPlane, 1.0f);
  EXPECT_EQ(render.dofFarMaxBlurPlane, 30.0f);
  EXPECT_EQ(render.dofMaxBlur, 0.5f);

  // Unbound, the camera writes its own values and leaves the render side alone.
  UnbindRenderCamera(render);
  Fatality(1.0f, 0.5f);
  cam->Update(0.1f);
  EXPECT_EQ(render.dofFocalPlane, 20.0f);
  EXPECT_FALSE(render.cinematicDoF.pending);
}

}  // namespace
}  // namespace vd
