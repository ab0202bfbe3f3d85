#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "engine/render/device/GraphicsManager.h"
#include "engine/render/device/RenderTarget.h"
#include "engine/render/device/ShadowGeometry.h"
#include "platform/gpu/Device.h"

namespace vd {
namespace {

class RenderTargetTest : public ::testing::Test {
protected:
  void SetUp() override {
    recorder = std::make_shared<plat::gpu::Recorder>();
    graphics.gpuFactory = [this](plat::Window*, std::string*) {
      return plat::gpu::CreateRecordingGpu(recorder);
    };
    ASSERT_TRUE(graphics.Init(64, 64, 0));
  }
  void TearDown() override { graphics.Release(); }

  std::shared_ptr<plat::gpu::Recorder> recorder;
  gfx::CGraphicsManager graphics;
  plat::gpu::Viewport viewport{0, 0, 16, 16, 0.0f, 1.0f};
};

TEST_F(RenderTargetTest, EyeQuadCarriesTheRaysToTheFarCorners) {
  gfx::CRenderTarget target;
  const gfx::SEye eye{90.0f, 2.0f, 10.0f};  // half-height 10 at the far plane, half-width 20
  ASSERT_TRUE(
      target.Create(&graphics, 16, 16, plat::gpu::kFmtR32F, true, 0, true, true, viewport, &eye));
  ASSERT_NE(target.eyeQuad, nullptr);
  EXPECT_EQ(target.quad, nullptr);
  EXPECT_TRUE(target.IsCreated());
  target.Release();
  target.Release();  // twice is harmless
  EXPECT_EQ(target.eyeQuad, nullptr);
}

TEST(EyeQuad, RaysPointAtTheFarCorners) {
  // Without a device the quad keeps its CPU copy, which is what is checked here.
  ASSERT_EQ(gfx::GetRenderDevice(), nullptr);
  gfx::CRenderTarget offline;
  offline.CreateEyeQuad(gfx::SEye{90.0f, 2.0f, 10.0f});  // far half-height 10, half-width 20
  const gfx::SSAO_TEXTURED_VERTEX* v = offline.eyeQuad->Vertices();
  ASSERT_NE(v, nullptr);
  struct Corner {
    int index;
    float x, y, u, v, rx, ry;
  } corners[] = {{0, -1, 1, 0, 0, -20, 10},
                 {1, 1, 1, 1, 0, 20, 10},
                 {2, -1, -1, 0, 1, -20, -10},
                 {5, 1, -1, 1, 1, 20, -10}};
  for (const Corner& c : corners) {
    SCOPED_TRACE(c.index);
    EXPECT_FLOAT_EQ(v[c.index].position.x, c.x);
    EXPECT_FLOAT_EQ(v[c.index].position.y, c.y);
    EXPECT_FLOAT_EQ(v[c.index].uv0.x, c.u);
    EXPECT_FLOAT_EQ(v[c.index].uv0.y, c.v);
    EXPECT_NEAR(v[c.index].viewRay.x, c.rx, 1e-4f);
    EXPECT_NEAR(v[c.index].viewRay.y, c.ry, 1e-4f);
    EXPECT_FLOAT_EQ(v[c.index].viewRay.z, -10.0f);
  }
}

TEST_F(RenderTargetTest, CubeTargetFacesAndDeviceLoss) {
  gfx::CCubeRenderTarget cube;
  ASSERT_TRUE(cube.Create(&graphics, 32, viewport));
  EXPECT_TRUE(cube.IsCreated());
  EXPECT_EQ(cube.format, plat::gpu::kFmtR32F);
  EXPECT_EQ(cube.depthFormat, plat::gpu::kFmtD16);
  EXPECT_FALSE(cube.BeginFace(6));
  for (uint32_t face = 0; face < 6; ++face) {
    EXPECT_TRUE(cube.BeginFace(face));
    EXPECT_EQ(cube.currentFace, face);
    cube.EndFace();
  }
  cube.OnLostDevice();
  EXPECT_FALSE(cube.IsCreated());
  EXPECT_EQ(cube.faces[0], nullptr);
  cube.OnResetDevice();
  EXPECT_TRUE(cube.IsCreated());
  cube.Release();
  cube.Release();
}

TEST(ShadowGeometry, SplitDistances) {
  float out[gfx::kMaxSplits];
  gfx::ComputeSplitDistances(1.0f, 64.0f, 6, 1.0f, out);
  EXPECT_FLOAT_EQ(out[0], 1.0f);
  // Lambda drops by 0.1 after every entry: 0.9 for the second, 0.8, then 0.7.
  EXPECT_NEAR(out[1], 0.9f * 2.0f + 0.1f * (1.0f + 10.5f), 1e-4f);
  EXPECT_NEAR(out[2], 0.8f * 4.0f + 0.2f * (1.0f + 21.0f), 1e-4f);
  EXPECT_NEAR(out[3], 0.7f * 8.0f + 0.3f * (1.0f + 31.5f),
              1e-4f);  // three splits end here, not at far
  EXPECT_FLOAT_EQ(out[5], 64.0f);
  gfx::ComputeSplitDistances(1.0f, 64.0f, 1, 0.5f, out);
  EXPECT_FLOAT_EQ(out[0], 64.0f);  // one split: the last entry is the first
  gfx::ComputeSplitDistances(1.0f, 64.0f, 0, 0.5f, out);
  EXPECT_FLOAT_EQ(out[3], 0.0f);
}

TEST(ShadowGeometry, CropFitsTheCorners) {
  const plat::Vec3 corners[8] = {{-0.5f, -0.25f, 0.2f}, {0.5f, -0.25f, 0.2f},  {-0.5f, 0.25f, 0.2f},
                                 {0.5f, 0.25f, 0.2f},   {-0.5f, -0.25f, 0.6f}, {0.5f, -0.25f, 0.6f},
                                 {-0.5f, 0.25f, 0.6f},  {0.5f, 0.25f, 0.6f}};
  plat::Mat4 view, projection;
  gfx::ComputeCropMatrices(corners, plat::Mat4(), plat::Mat4(), view, projection);
  EXPECT_FLOAT_EQ(projection(0, 0), 2.0f);
  EXPECT_FLOAT_EQ(projection(1, 1), 4.0f);
  EXPECT_NEAR(projection(2, 2), 1.0f / 0.40005f, 1e-3f);
  // The corners now fill the clip box.
  const plat::Vec3 near = plat::TransformCoord(corners[0], projection);
  const plat::Vec3 far = plat::TransformCoord(corners[7], projection);
  EXPECT_NEAR(near.x, -1.0f, 1e-5f);
  EXPECT_NEAR(far.y, 1.0f, 1e-5f);
  EXPECT_NEAR(far.z, 1.0f, 1e-3f);
  EXPECT_EQ(view, plat::Mat4());
}

TEST(ShadowGeometry, CubeViewsLookAlongTheSixAxes) {
  const plat::Vec3 p(1, 2, 3);
  plat::Mat4 views[6];
  gfx::ComputeCubeViewMatrices(p, views);
  const plat::Vec3 axes[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
  for (int i = 0; i < 6; ++i) {
    // Right-handed views look down -z.
    const plat::Vec3 ahead = plat::TransformCoord(p + axes[i], views[i]);
    EXPECT_NEAR(ahead.x, 0.0f, 1e-5f) << i;
    EXPECT_NEAR(ahead.y, 0.0f, 1e-5f) << i;
    EXPECT_NEAR(ahead.z, -1.0f, 1e-5f) << i;
  }
}

}  // namespace
}  // namespace vd
