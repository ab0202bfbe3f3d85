// The render manager's skinned and dynamic meshes: made by name, and a dynamic
// mesh back with its contents at the first frame after a device reset.
#include <cal3d/cal3d.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/core/Log.h"
#include "engine/render/RenderManager.h"
#include "engine/render/buffers/SkinVertexBuffer.h"
#include "engine/render/buffers/VertexBufferDyn.h"
#include "platform/gpu/Device.h"
#include "tests/support/LogRecorder.h"

using namespace vd;
using namespace vd::gfx;
namespace gpu = plat::gpu;

namespace {

class RenderMeshes : public testing::Test {
protected:
  void SetUp() override {
    sinks.AddSink(log = new vd::test::CLogRecorder());
    utl::SetLogSinks(&sinks);
    recorder = std::make_shared<gpu::Recorder>();
    gpuObject = gpu::CreateRecordingGpu(recorder);
    ASSERT_NE(gpuObject, nullptr);
    pp.backBufferWidth = pp.backBufferHeight = 64;
    ASSERT_EQ(gpuObject->CreateDevice(0, gpu::kDevTypeHal, nullptr, 0, &pp, &device), gpu::kOk);
    SetRenderDevice(device);
    ASSERT_TRUE(render.Init(nullptr));
  }
  void TearDown() override {
    render.Shutdown();
    SetRenderDevice(nullptr);
    if (device) device->Release();
    if (gpuObject) gpuObject->Release();
    utl::SetLogSinks(nullptr);
  }

  utl::CLogSinkHolder sinks;
  vd::test::CLogRecorder* log = nullptr;
  std::shared_ptr<gpu::Recorder> recorder;
  gpu::Gpu* gpuObject = nullptr;
  gpu::Device* device = nullptr;
  gpu::PresentParameters pp;
  CRenderManager render;
};

TEST_F(RenderMeshes, DynamicMeshComesBackAtTheFirstFrameAfterAReset) {
  const CStringHash name("trail");
  ASSERT_TRUE(render.CreateDynamicMesh(name, 6));
  auto* trail = dynamic_cast<CVertexBufferDyn<COLORED_TEXTURED_VERTEX>*>(render.FindMesh(name));
  ASSERT_NE(trail, nullptr);
  EXPECT_EQ(trail->GetVertexCount(), 6u);
  for (uint32_t i = 0; i < 6; ++i) trail->Vertices()[i].color = 0xABCDEF01u;
  ASSERT_TRUE(trail->Create());
  EXPECT_EQ(trail->GetPrimitiveCount(), 4);

  render.OnLostDevice();
  EXPECT_FALSE(trail->IsValid());
  ASSERT_EQ(device->Reset(&pp), gpu::kOk);  // nothing of the default pool is left
  render.OnResetDevice();
  EXPECT_EQ(render.PendingRecreationCount(), 1u);
  EXPECT_FALSE(trail->IsValid());

  render.RenderFrame(nullptr, 0.0f, 0.0f);
  EXPECT_EQ(render.PendingRecreationCount(), 0u);
  ASSERT_TRUE(trail->IsValid());
  void* data = nullptr;
  ASSERT_EQ(trail->GetDeviceBuffer()->Lock(0, 0, &data, 0), gpu::kOk);
  COLORED_TEXTURED_VERTEX last;
  std::memcpy(&last, static_cast<char*>(data) + 5 * sizeof last, sizeof last);
  trail->GetDeviceBuffer()->Unlock();
  EXPECT_EQ(last.color, 0xABCDEF01u);
  EXPECT_TRUE(recorder->Errors().empty());
}

TEST_F(RenderMeshes, SkinnedMeshOfTheGeneratedHumanoid) {
  CalCoreSkeletonPtr skeleton = CalLoader::loadCoreSkeleton("Data/anims/humanoid.xsf");
  CalCoreMeshPtr mesh = CalLoader::loadCoreMesh("Data/anims/humanoid.xmf");
  ASSERT_TRUE(skeleton && mesh);
  const uint32_t bones = uint32_t(skeleton->getVectorCoreBone().size());
  EXPECT_TRUE(
      render.CreateSkinnedMesh(CStringHash("hero"), mesh.get(), kVtxTexturedNormSkin, bones));
  auto* hero = dynamic_cast<CSkinVertexBuffer<TEXTURED_NORM_SKIN_VERTEX>*>(
      render.FindMesh(CStringHash("hero")));
  ASSERT_NE(hero, nullptr);
  EXPECT_FALSE(hero->GetPalette().empty());

  // Not a skinned vertex type, or a skeleton the mesh does not fit: nothing stored.
  EXPECT_FALSE(render.CreateSkinnedMesh(CStringHash("flat"), mesh.get(), kVtxTexturedNorm, bones));
  EXPECT_FALSE(render.CreateSkinnedMesh(CStringHash("small"), mesh.get(), kVtxTexturedNormSkin, 1));
  EXPECT_EQ(render.GetMeshCount(), 1u);
  size_t named = 0;
  for (const std::string& line : log->Lines())
    named += line.find("flat") != std::string::npos || line.find("small") != std::string::npos;
  EXPECT_EQ(named, 2u);
}

}  // namespace
