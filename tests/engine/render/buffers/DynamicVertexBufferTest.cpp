// The dynamic buffer against the recording device: default-pool upload with a
// discarding lock, the kept staging copy, and its way through a device reset.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/render/buffers/VertexBufferDyn.h"
#include "platform/gpu/Device.h"

using namespace vd::gfx;
namespace gpu = plat::gpu;

namespace {

using CTrailBuffer = CVertexBufferDyn<COLORED_TEXTURED_VERTEX>;

class DynamicBuffer : public testing::Test {
protected:
  void SetUp() override {
    recorder = std::make_shared<gpu::Recorder>();
    gpuObject = gpu::CreateRecordingGpu(recorder);
    ASSERT_NE(gpuObject, nullptr);
    pp.backBufferWidth = pp.backBufferHeight = 64;
    ASSERT_EQ(gpuObject->CreateDevice(0, gpu::kDevTypeHal, nullptr, 0, &pp, &device), gpu::kOk);
    SetRenderDevice(device);
    SetRecreationQueue(
        [](IVertexBuffer* b, void* self) {
          static_cast<DynamicBuffer*>(self)->recreations.push_back(b);
        },
        this);
    recorder->Clear();
  }
  void TearDown() override {
    ClearRecreationQueue(this);
    SetRenderDevice(nullptr);
    if (device) device->Release();
    if (gpuObject) gpuObject->Release();
  }
  static void Fill(CTrailBuffer& vb, uint32_t colour) {
    COLORED_TEXTURED_VERTEX* v = vb.Vertices();
    for (uint32_t i = 0; i < vb.GetVertexCount(); ++i) {
      v[i].position = Vec3(float(i), 0.0f, 0.0f);
      v[i].color = colour;
    }
  }
  // The device buffer's contents, read back through a plain lock.
  static std::vector<uint32_t> Colours(CTrailBuffer& vb) {
    std::vector<uint32_t> out;
    gpu::VertexBuffer* buffer = vb.GetDeviceBuffer();
    void* data = nullptr;
    const uint32_t bytes = vb.GetVertexCount() * sizeof(COLORED_TEXTURED_VERTEX);
    if (!buffer || gpu::Failed(buffer->Lock(0, bytes, &data, 0)) || !data) return out;
    for (uint32_t i = 0; i < vb.GetVertexCount(); ++i) {
      COLORED_TEXTURED_VERTEX v;
      std::memcpy(&v, static_cast<const char*>(data) + i * sizeof v, sizeof v);
      out.push_back(v.color);
    }
    buffer->Unlock();
    return out;
  }

  std::shared_ptr<gpu::Recorder> recorder;
  gpu::Gpu* gpuObject = nullptr;
  gpu::Device* device = nullptr;
  gpu::PresentParameters pp;
  std::vector<IVertexBuffer*> recreations;
};

TEST_F(DynamicBuffer, UploadsToTheDefaultPoolWithADiscardingLockAndKeepsTheCopy) {
  CTrailBuffer vb;
  vb.Init(4);
  EXPECT_EQ(vb.GetTypeCode(), kVtxColoredTextured);
  EXPECT_EQ(vb.GetPrimitiveType(), kPrimitiveTriangleStrip);
  Fill(vb, 0xFF0000FFu);
  ASSERT_TRUE(vb.Create());
  const auto created = recorder->CallsNamed("CreateVertexBuffer");
  ASSERT_EQ(created.size(), 1u);
  EXPECT_EQ(created[0].substr(0, created[0].find(" [")),
            "CreateVertexBuffer length=96 usage=0x208 fvf=0x142 pool=0");
  EXPECT_TRUE(vb.IsValid());
  EXPECT_EQ(vb.GetPrimitiveCount(), 2);
  ASSERT_NE(vb.Vertices(), nullptr);  // the staging copy stays
  gpu::VertexBuffer* first = vb.GetDeviceBuffer();

  // A second fill reuses the buffer and leaves the second contents.
  Fill(vb, 0x00FF00FFu);
  ASSERT_TRUE(vb.Create());
  EXPECT_EQ(vb.GetDeviceBuffer(), first);
  EXPECT_EQ(recorder->CountCalls("CreateVertexBuffer"), 1u);
  EXPECT_EQ(Colours(vb), std::vector<uint32_t>(4, 0x00FF00FFu));

  // Drawn as a strip of vertex count - 2 triangles.
  recorder->Clear();
  vb.DrawAll(true);
  const auto draws = recorder->CallsNamed("DrawPrimitive");
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_NE(draws[0].find("prims=2"), std::string::npos) << draws[0];
}

TEST_F(DynamicBuffer, TwoVerticesMakeNoTriangle) {
  CTrailBuffer vb;
  vb.Init(2);
  ASSERT_TRUE(vb.Create());
  EXPECT_TRUE(vb.IsValid());
  EXPECT_EQ(vb.GetPrimitiveCount(), 0);
  recorder->Clear();
  vb.DrawAll(true);
  EXPECT_EQ(recorder->CountCalls("DrawPrimitive"), 0u);
}

TEST_F(DynamicBuffer, SurvivesALostDeviceThroughTheRecreationList) {
  CTrailBuffer vb;
  vb.Init(5);
  Fill(vb, 0x12345678u);
  ASSERT_TRUE(vb.Create());

  // A default-pool buffer that is still alive makes the reset fail.
  EXPECT_EQ(device->DefaultPoolResourceCount(), 1u);
  vb.OnLostDevice();
  EXPECT_FALSE(vb.IsValid());
  EXPECT_EQ(device->DefaultPoolResourceCount(), 0u);
  ASSERT_NE(vb.Vertices(), nullptr);
  ASSERT_EQ(device->Reset(&pp), gpu::kOk);

  vb.OnResetDevice();
  ASSERT_EQ(recreations, std::vector<IVertexBuffer*>{&vb});
  EXPECT_FALSE(vb.IsValid());  // not before the next frame's re-creation
  for (IVertexBuffer* b : recreations) ASSERT_TRUE(b->Create());
  EXPECT_TRUE(vb.IsValid());
  EXPECT_EQ(vb.GetPrimitiveCount(), 3);
  EXPECT_EQ(Colours(vb), std::vector<uint32_t>(5, 0x12345678u));
  EXPECT_TRUE(recorder->Errors().empty());
}

TEST_F(DynamicBuffer, FailuresAndNoDevice) {
  CTrailBuffer vb;
  vb.Init(4);
  recorder->failingCalls = {"CreateVertexBuffer"};
  EXPECT_FALSE(vb.Create());
  EXPECT_FALSE(vb.IsValid());
  EXPECT_EQ(vb.GetPrimitiveCount(), 0);
  recorder->failingCalls.clear();
  EXPECT_TRUE(vb.Create());  // the next call tries again
  EXPECT_TRUE(vb.IsValid());

  SetRenderDevice(nullptr);
  CTrailBuffer later;
  later.Init(4);
  EXPECT_TRUE(later.Create());
  EXPECT_FALSE(later.IsValid());
}

}  // namespace
