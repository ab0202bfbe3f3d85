// Skinned buffers: the palette, the packed weights and indices, the limits the build
// enforces on file data, and the bone upload.
#include <cal3d/cal3d.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/core/Log.h"
#include "engine/render/buffers/SkinVertexBuffer.h"
#include "platform/fx/Effect.h"
#include "platform/gpu/Device.h"
#include "tests/support/LogRecorder.h"

using namespace vd;
using namespace vd::gfx;

namespace {

class SkinTest : public testing::Test {
protected:
  void SetUp() override {
    sinks.AddSink(log = new vd::test::CLogRecorder());
    utl::SetLogSinks(&sinks);
  }
  void TearDown() override { utl::SetLogSinks(nullptr); }
  bool Logged(const std::string& part) const { return log->Contains(part); }
  utl::CLogSinkHolder sinks;
  vd::test::CLogRecorder* log = nullptr;
};

// One triangle per three vertices; each vertex gets the given influences.
SSkinSource Source(const std::vector<std::vector<SSkinInfluence>>& influences,
                   uint32_t bones = 100) {
  SSkinSource s;
  s.skeletonBoneCount = bones;
  s.hasTexCoords = true;
  size_t count = influences.size();
  while (count % 3) ++count;
  s.vertices.resize(count);
  for (size_t i = 0; i < influences.size(); ++i) {
    s.vertices[i].position = Vec3(float(i), 0.0f, 0.0f);
    s.vertices[i].uv = Vec2(0.5f, float(i));
    s.vertices[i].influences = influences[i];
  }
  for (uint32_t i = 0; i < count; ++i) s.indices.push_back(i);
  return s;
}

std::vector<uint8_t> Bytes(uint32_t packed) {
  uint8_t b[4];
  UnpackSkinChannels(packed, b);
  return {b[0], b[1], b[2], b[3]};
}

TEST_F(SkinTest, PaletteIsAscendingAndIndicesFollowIt) {
  CSkinVertexBuffer<TEXTURED_NORM_SKIN_VERTEX> vb;
  ASSERT_TRUE(vb.BuildFromSource(Source({{{12, 1.0f}}, {{7, 0.5f}, {3, 0.5f}}, {{3, 1.0f}}}), "m"));
  EXPECT_EQ(vb.GetPalette(), (std::vector<int32_t>{3, 7, 12}));
  const TEXTURED_NORM_SKIN_VERTEX* v = vb.Vertices();
  EXPECT_EQ(Bytes(v[0].indices)[0], 2);
  EXPECT_EQ(Bytes(v[1].indices), (std::vector<uint8_t>{1, 0, 0, 0}));
  EXPECT_EQ(Bytes(v[2].indices)[0], 0);
  EXPECT_EQ(vb.GetVertexCount(), 3u);
  EXPECT_EQ(vb.GetPrimitiveCount(), 1);
  EXPECT_EQ(vb.GetIndexBuffer()->count, 3);
  EXPECT_EQ(vb.GetSubsetCount(), 0u);
  EXPECT_FLOAT_EQ(v[2].uv0.y, 2.0f);
}

TEST_F(SkinTest, WeightBytesTable) {
  struct Case {
    const char* what;
    std::vector<SSkinInfluence> in;
    std::vector<uint8_t> weights;
    std::vector<uint8_t> bones;  // skeleton bone per kept slot (palette resolved below)
  };
  const Case cases[] = {
      {"three", {{1, 0.5f}, {2, 0.3f}, {3, 0.2f}}, {128, 76, 51, 0}, {1, 2, 3, 0}},
      {"two halves", {{1, 0.5f}, {2, 0.5f}}, {128, 127, 0, 0}, {1, 2, 0, 0}},
      {"none", {}, {255, 0, 0, 0}, {0, 0, 0, 0}},
      // Five: the weakest (bone 3) goes, the rest are renormalised over 0.95.
      {"five cut to four",
       {{1, 0.1f}, {2, 0.3f}, {3, 0.05f}, {4, 0.25f}, {5, 0.3f}},
       {28, 80, 80, 67},
       {1, 2, 5, 4}},
      // Weights past one would wrap the byte sum.
      {"overweight", {{1, 0.8f}, {2, 0.8f}}, {128, 127, 0, 0}, {1, 2, 0, 0}},
      {"negative and NaN",
       {{1, -0.5f}, {2, std::nanf("")}, {3, 0.5f}},
       {128, 0, 127, 0},
       {1, 2, 3, 0}},
  };
  for (const Case& c : cases) {
    uint32_t weights = 0, indices = 0;
    PackSkinInfluences(
        c.in, [](int32_t bone) { return uint8_t(bone); }, weights, indices);
    EXPECT_EQ(Bytes(weights), c.weights) << c.what;
    EXPECT_EQ(Bytes(indices), c.bones) << c.what;
    int sum = 0;
    for (uint8_t w : Bytes(weights)) sum += w;
    EXPECT_EQ(sum, 255) << c.what;
  }
}

TEST_F(SkinTest, FileLimitsRefuseTheMesh) {
  std::vector<std::vector<SSkinInfluence>> eighty, eightyOne;
  for (int b = 0; b < 80; ++b) eighty.push_back({{b, 1.0f}});
  eightyOne = eighty;
  eightyOne.push_back({{80, 1.0f}});
  struct Case {
    const char* what;
    SSkinSource source;
    bool accepted;
    const char* logPart;
  };
  std::vector<Case> cases;
  cases.push_back({"80 bones", Source(eighty), true, ""});
  cases.push_back({"81 bones", Source(eightyOne), false, "81 bones"});
  cases.push_back({"bone past skeleton", Source({{{10, 1.0f}}}, 10), false, "bone 10"});
  cases.push_back({"negative bone", Source({{{-1, 1.0f}}}), false, "bone -1"});
  SSkinSource badIndex = Source({{{1, 1.0f}}});
  badIndex.indices[2] = 3;
  cases.push_back({"index past vertices", badIndex, false, "vertex index 3"});
  SSkinSource noTriangle = Source({{{1, 1.0f}}});
  noTriangle.indices.clear();
  cases.push_back({"no triangle", noTriangle, false, "no whole triangle"});
  SSkinSource tooMany = Source({{{1, 1.0f}}});
  tooMany.indices.assign(3 * (kMaxSkinTriangles + 1), 0);
  cases.push_back({"too many triangles", tooMany, false, "21846 triangles"});
  SSkinSource wide = Source({{{1, 1.0f}}});
  wide.vertices.resize(65537);
  wide.indices[2] = 65536;
  cases.push_back({"vertex past 16-bit indices", wide, false, "65537 vertices"});
  SSkinSource noUv = Source({{{1, 1.0f}}});
  noUv.hasTexCoords = false;
  cases.push_back({"no texture coordinates", noUv, false, "no texture coordinates"});

  for (const Case& c : cases) {
    log->Clear();
    CSkinVertexBuffer<TEXTURED_NORM_TANGENT_SKIN_VERTEX> vb;
    EXPECT_EQ(vb.BuildFromSource(c.source, "hero.xmf"), c.accepted) << c.what;
    if (c.accepted) {
      EXPECT_EQ(vb.GetPalette().size(), 80u) << c.what;
      EXPECT_TRUE(log->Empty()) << c.what;
    } else {
      EXPECT_TRUE(vb.GetPalette().empty()) << c.what;
      EXPECT_EQ(vb.GetVertexCount(), 0u) << c.what;
      EXPECT_EQ(vb.Vertices(), nullptr) << c.what;
      EXPECT_TRUE(Logged("hero.xmf")) << c.what;
      EXPECT_TRUE(Logged(c.logPart)) << c.what << ": " << log->Text();
    }
  }
}

TEST_F(SkinTest, TangentsOnlyWhenTheSubmeshHasThem) {
  SSkinSource s = Source({{{1, 1.0f}}, {{1, 1.0f}}, {{1, 1.0f}}});
  s.vertices[0].tangent = Vec4(1.0f, 0.0f, 0.0f, -1.0f);
  CSkinVertexBuffer<TEXTURED_NORM_TANGENT_SKIN_VERTEX> without;
  ASSERT_TRUE(without.BuildFromSource(s, "m"));
  EXPECT_EQ(without.Vertices()[0].tangent.x, 0.0f);
  s.hasTangents = true;
  CSkinVertexBuffer<TEXTURED_NORM_TANGENT_SKIN_VERTEX> with;
  ASSERT_TRUE(with.BuildFromSource(s, "m"));
  EXPECT_EQ(with.Vertices()[0].tangent.w, -1.0f);
}

// The generated humanoid through the library's reader: a real submesh builds, and a
// skeleton too small for it is refused.
TEST_F(SkinTest, GeneratedHumanoidBuilds) {
  CalCoreSkeletonPtr skeleton = CalLoader::loadCoreSkeleton("Data/anims/humanoid.xsf");
  ASSERT_TRUE(skeleton);
  CalCoreMeshPtr mesh = CalLoader::loadCoreMesh("Data/anims/humanoid.xmf");
  ASSERT_TRUE(mesh);
  const uint32_t bones = uint32_t(skeleton->getVectorCoreBone().size());
  CSkinVertexBuffer<TEXTURED_NORM_SKIN_VERTEX> vb;
  ASSERT_TRUE(vb.BuildFromSubmesh(mesh.get(), bones, "humanoid.xmf"));
  EXPECT_GT(vb.GetPrimitiveCount(), 0);
  ASSERT_FALSE(vb.GetPalette().empty());
  EXPECT_LT(uint32_t(vb.GetPalette().back()), bones);
  CSkinVertexBuffer<TEXTURED_NORM_SKIN_VERTEX> small;
  EXPECT_FALSE(
      small.BuildFromSubmesh(mesh.get(), uint32_t(vb.GetPalette().back()), "humanoid.xmf"));
  EXPECT_FALSE(small.BuildFromSubmesh(nullptr, bones, "empty.xmf"));
  EXPECT_TRUE(Logged("empty.xmf"));
}

TEST_F(SkinTest, SetBonesUploadsTwelveFloatsPerPaletteBone) {
  auto recorder = std::make_shared<plat::gpu::Recorder>();
  plat::gpu::Gpu* gpuObject = plat::gpu::CreateRecordingGpu(recorder);
  ASSERT_NE(gpuObject, nullptr);
  plat::gpu::PresentParameters pp;
  pp.backBufferWidth = pp.backBufferHeight = 16;
  plat::gpu::Device* device = nullptr;
  ASSERT_EQ(gpuObject->CreateDevice(0, plat::gpu::kDevTypeHal, nullptr, 0, &pp, &device),
            plat::gpu::kOk);
  const std::string text = R"(<effect>
    <parameter name="gBones" type="float4" count="240" buffer="true" default="9"/>
    <technique name="t"><pass><vertex>void main() { gl_Position = gBones[0]; }</vertex>
    <fragment>void main() { oColor = vec4(1.0); }</fragment></pass></technique></effect>)";
  plat::fx::Effect* effect = nullptr;
  std::string errors;
  ASSERT_EQ(plat::fx::Effect::CreateFromMemory(device, text.data(), text.size(), "skin.fxo",
                                               &effect, &errors),
            plat::gpu::kOk)
      << errors;
  // Fill with a marker so that what SetBones leaves alone shows.
  std::vector<float> marker(960, 7.0f);
  const plat::fx::Handle bones = effect->GetParameterByName("gBones");
  effect->SetFloatArray(bones, marker.data(), 960);

  CSkinVertexBuffer<TEXTURED_NORM_SKIN_VERTEX> vb;
  ASSERT_TRUE(vb.BuildFromSource(Source({{{4, 1.0f}}, {{9, 1.0f}}}), "m"));
  vb.SetBones(effect, nullptr);  // no skeleton: identity per palette bone
  const std::vector<uint32_t> raw = effect->GetRawValue(bones);
  ASSERT_EQ(raw.size(), 960u);
  auto at = [&](size_t i) {
    float f;
    std::memcpy(&f, &raw[i], 4);
    return f;
  };
  const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  for (size_t i = 0; i < 24; ++i) EXPECT_EQ(at(i), identity[i % 12]) << i;
  EXPECT_EQ(at(24), 7.0f);
  EXPECT_EQ(at(959), 7.0f);

  // An effect without the parameter takes nothing and nothing breaks.
  vb.SetBones(nullptr, nullptr);
  effect->Release();
  device->Release();
  gpuObject->Release();
}

}  // namespace
