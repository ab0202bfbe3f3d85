// Vertex buffers against the recording device: what Create uploads and what the
// draws and binds send.
#include <gtest/gtest.h>

#include <memory>

#include "engine/render/buffers/VertexBuffer.h"
#include "platform/gpu/Device.h"
#include "tests/engine/render/buffers/MeshTestUtil.h"

using namespace vd::gfx;
namespace gpu = plat::gpu;
using vd::test::MakeMesh;
using vd::test::MemorySource;
using vd::test::MeshBytes;

namespace {

class RecordedBuffers : public testing::Test {
protected:
  void SetUp() override {
    recorder = std::make_shared<gpu::Recorder>();
    gpuObject = gpu::CreateRecordingGpu(recorder);
    ASSERT_NE(gpuObject, nullptr);
    gpu::PresentParameters pp;
    pp.backBufferWidth = 64;
    pp.backBufferHeight = 64;
    ASSERT_EQ(gpuObject->CreateDevice(0, gpu::kDevTypeHal, nullptr, 0, &pp, &device), gpu::kOk);
    SetRenderDevice(device);
    recorder->Clear();
  }
  void TearDown() override {
    SetRenderDevice(nullptr);
    if (device) device->Release();
    if (gpuObject) gpuObject->Release();
  }

  template <typename V>
  void Load(CVertexBuffer<V>& vb, const MeshBytes& m) {
    MemorySource src(m.body);
    ASSERT_TRUE(vb.Load(m.header, src, "test"));
  }

  // The recorded lines of these calls, in order, without their state suffix.
  std::vector<std::string> Lines(std::initializer_list<const char*> names) {
    std::vector<std::string> out;
    for (const std::string& line : recorder->Calls()) {
      for (const char* n : names) {
        const size_t len = std::strlen(n);
        if (line.compare(0, len, n) == 0 && (line.size() == len || line[len] == ' ')) {
          out.push_back(line.substr(0, line.find(" [")));
          break;
        }
      }
    }
    return out;
  }
  std::vector<std::string> Draws() { return Lines({"DrawPrimitive", "DrawIndexedPrimitive"}); }

  std::shared_ptr<gpu::Recorder> recorder;
  gpu::Gpu* gpuObject = nullptr;
  gpu::Device* device = nullptr;
};

MeshBytes IndexedQuad() {
  return MakeMesh(std::vector<COLORED_VERTEX>(4), {0, 1, 2, 2, 1, 3},
                  {{5, 0, 1, 3, 0, 0}, {6, 1, 1, 3, 1, 0}, {7, 0, 0, 0, 0, 0}});
}

}  // namespace

TEST_F(RecordedBuffers, CreateUploadsManagedBuffersAndDropsTheCopies) {
  CVertexBuffer<COLORED_VERTEX> vb;
  Load(vb, IndexedQuad());
  ASSERT_TRUE(vb.Create());
  EXPECT_EQ(Lines({"CreateIndexBuffer", "CreateVertexBuffer"}),
            (std::vector<std::string>{"CreateIndexBuffer length=12 usage=0x8 format=101 pool=1",
                                      "CreateVertexBuffer length=64 usage=0x0 fvf=0x42 pool=1"}));
  EXPECT_TRUE(vb.IsValid());
  EXPECT_EQ(vb.Vertices(), nullptr);
  EXPECT_EQ(vb.GetIndexBuffer()->indices, nullptr);
  ASSERT_NE(vb.GetIndexBuffer()->buffer, nullptr);
  EXPECT_EQ(vb.GetDeviceBuffer()->Pool(), gpu::kPoolManaged);

  // Once uploaded there is nothing left to do.
  recorder->Clear();
  EXPECT_TRUE(vb.Create());
  EXPECT_TRUE(Lines({"CreateIndexBuffer", "CreateVertexBuffer"}).empty());
  EXPECT_TRUE(recorder->Errors().empty());

  vb.Release();
  EXPECT_FALSE(vb.IsValid());
  EXPECT_NE(vb.GetIndexBuffer()->buffer, nullptr);
}

TEST_F(RecordedBuffers, LargestIndexCountMakesA131070ByteBuffer) {
  CVertexBuffer<SIMPLE_VERTEX> vb;
  Load(vb, MakeMesh(std::vector<SIMPLE_VERTEX>(3), std::vector<uint16_t>(65535, 2), {}));
  ASSERT_TRUE(vb.Create());
  ASSERT_NE(vb.GetIndexBuffer()->buffer, nullptr);
  EXPECT_EQ(vb.GetIndexBuffer()->buffer->Length(), 131070u);
  EXPECT_EQ(vb.GetPrimitiveCount(), 21845);
}

TEST_F(RecordedBuffers, FailedCreationKeepsTheVertices) {
  recorder->failingCalls = {"CreateVertexBuffer"};
  CVertexBuffer<COLORED_VERTEX> vb;
  Load(vb, IndexedQuad());
  EXPECT_FALSE(vb.Create());
  EXPECT_FALSE(vb.IsValid());
  EXPECT_NE(vb.Vertices(), nullptr);                  // a later Create can try again
  EXPECT_EQ(vb.GetIndexBuffer()->indices, nullptr);   // the indices went up already
  recorder->failingCalls.clear();
  EXPECT_TRUE(vb.Create());
  EXPECT_TRUE(vb.IsValid());
}

TEST_F(RecordedBuffers, DrawsSendTheirRanges) {
  CVertexBuffer<COLORED_VERTEX> indexed;
  Load(indexed, IndexedQuad());
  ASSERT_TRUE(indexed.Create());
  CVertexBuffer<COLORED_VERTEX> plain;
  Load(plain, MakeMesh(std::vector<COLORED_VERTEX>(7), {}, {{1, 1, 1, 0, 0, 0}}, false));
  ASSERT_TRUE(plain.Create());
  ASSERT_EQ(device->BeginScene(), gpu::kOk);
  recorder->Clear();

  indexed.DrawAll(true);
  EXPECT_EQ(Lines({"SetStreamSource", "SetFVF", "SetIndices"}).size(), 3u);
  indexed.Draw(1, false);
  indexed.DrawSubset(6, false);
  indexed.DrawSubset(7, false);   // no triangles: nothing
  indexed.DrawSubset(99, false);  // unknown id: nothing
  indexed.DrawSubsetAt(9, false);  // past the table: nothing
  plain.DrawAll(true);
  plain.DrawSubset(1, false);
  plain.Draw(0, false);           // nothing to draw
  indexed.DrawSubset(0xFFFFFFFFu, false);  // subset -1: the whole buffer
  EXPECT_EQ(Draws(), (std::vector<std::string>{
                         "DrawIndexedPrimitive type=4 base=0 min=0 verts=4 start=0 prims=2",
                         "DrawIndexedPrimitive type=4 base=0 min=0 verts=4 start=0 prims=1",
                         "DrawIndexedPrimitive type=4 base=0 min=1 verts=3 start=3 prims=1",
                         "DrawPrimitive type=4 start=0 prims=2",
                         "DrawPrimitive type=4 start=3 prims=1",
                         "DrawIndexedPrimitive type=4 base=0 min=0 verts=4 start=0 prims=2",
                     }));
  ASSERT_EQ(device->EndScene(), gpu::kOk);
  EXPECT_TRUE(recorder->Errors().empty()) << recorder->Errors()[0];
}

TEST_F(RecordedBuffers, BindSetsStreamFormatAndIndices) {
  CVertexBuffer<COLORED_VERTEX> indexed;
  Load(indexed, IndexedQuad());
  ASSERT_TRUE(indexed.Create());
  CVertexBuffer<TEXTURED_NORM_TANGENT_VERTEX> plain;
  plain.Init(3, 1, kVtxTexturedNormTangent);
  ASSERT_TRUE(plain.Create());
  recorder->Clear();
  indexed.Bind();
  plain.Bind();
  const auto lines = Lines({"SetStreamSource", "SetFVF", "SetIndices"});
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_NE(lines[0].find("stride=16"), std::string::npos);
  EXPECT_EQ(lines[1], "SetFVF 0x42");
  EXPECT_EQ(lines[2].rfind("SetIndices ", 0), 0u);
  EXPECT_NE(lines[3].find("stride=48"), std::string::npos);
  EXPECT_EQ(lines[4], "SetFVF 0x80212");  // no index buffer: indices untouched
}

TEST_F(RecordedBuffers, EveryInstantiationUploadsWithItsFormat) {
  for (int32_t code = 1; code <= 16; ++code) {
    SCOPED_TRACE(code);
    recorder->Clear();
    std::unique_ptr<IVertexBuffer> vb;
    DispatchVertexType(code, [&](auto v) {
      using V = decltype(v);
      auto* typed = new CVertexBuffer<V>();
      typed->Init(6, 1, code);
      vb.reset(typed);
    });
    ASSERT_TRUE(vb->Create());
    EXPECT_TRUE(vb->IsValid());
    const SVertexFormat* f = GetVertexFormat(code);
    const auto created = Lines({"CreateVertexBuffer"});
    ASSERT_EQ(created.size(), 1u);
    char expected[96];
    std::snprintf(expected, sizeof expected, "CreateVertexBuffer length=%u usage=0x0 fvf=0x%X pool=1",
                  6 * f->stride, f->fvf);
    EXPECT_EQ(created[0], expected);
    EXPECT_EQ(vb->GetPrimitiveCount(), 2);
  }
}
