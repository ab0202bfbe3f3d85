// The weapon trail: its vertex ring, width, fade, the copy into its mesh and the
// renderer's keys, without a device.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/Log.h"
#include "engine/objects/GameObject.h"
#include "engine/render/RenderManager.h"
#include "engine/render/buffers/VertexBuffer.h"
#include "engine/render/trail/WeaponRenderer.h"
#include "tests/support/LogRecorder.h"

namespace vd {
namespace gfx {
namespace {

plat::Vec3 P(float x, float y = 0.0f, float z = 0.0f) { return plat::Vec3(x, y, z); }

TEST(TrailRing, FillsToCapacityAndOverwritesTheOldestPair) {
  CTrailRing ring;
  ring.Resize(4);
  EXPECT_EQ(ring.Capacity(), 10);
  for (int i = 0; i < 7; ++i) ring.AddSample(P(static_cast<float>(i), 1), P(static_cast<float>(i), 0), 0.0f);
  EXPECT_EQ(ring.ValidCount(), 10);
  EXPECT_EQ(ring.WriteIndex(), 4);  // 7 pairs: (7 x 2) mod 10
  ring.Fade();
  COLORED_TEXTURED_VERTEX out[10];
  ring.CopyOldestFirst(out);
  // Oldest first: samples 2..6, the oldest transparent, alpha rising.
  for (int pair = 0; pair < 5; ++pair) {
    EXPECT_EQ(out[2 * pair].position.x, static_cast<float>(pair + 2)) << pair;
    EXPECT_EQ(out[2 * pair].position.y, 1.0f);
    EXPECT_EQ(out[2 * pair + 1].position.y, 0.0f);
    const uint32_t alpha = static_cast<uint32_t>(2 * pair * 255 / 10);
    EXPECT_EQ(out[2 * pair].color >> 24, alpha) << pair;
    EXPECT_EQ(out[2 * pair + 1].color >> 24, alpha) << pair;
    EXPECT_FLOAT_EQ(out[2 * pair].uv0.x, 0.2f * static_cast<float>(pair));
    EXPECT_EQ(out[2 * pair].uv0.y, 0.0f);
    EXPECT_EQ(out[2 * pair + 1].uv0.y, 1.0f);
  }
  // A frame without samples only fades again: nothing moves.
  ring.Fade();
  COLORED_TEXTURED_VERTEX again[10];
  ring.CopyOldestFirst(again);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(again[i].position.x, out[i].position.x);

  // No segments: no ring and no division by its size.
  CTrailRing empty;
  empty.Resize(0);
  empty.AddSample(P(0), P(1), 0.0f);
  empty.Fade();
  EXPECT_EQ(empty.ValidCount(), 0);
}

TEST(TrailRing, Width) {
  struct SCase {
    const char* what;
    plat::Vec3 p1, p2;
    float width;
    plat::Vec3 e1, e2;
  } cases[] = {
      {"0 keeps the bones", P(1, 2, 3), P(4, 5, 6), 0.0f, P(1, 2, 3), P(4, 5, 6)},
      {"along the bones", P(0, 0, 0), P(4, 0, 0), 1.0f, P(1.5f, 0, 0), P(2.5f, 0, 0)},
      {"one point: vertical", P(1, 1, 1), P(1, 1, 1), 2.0f, P(1, 2, 1), P(1, 0, 1)},
  };
  for (const SCase& k : cases) {
    CTrailRing ring;
    ring.Resize(2);
    ring.AddSample(k.p1, k.p2, k.width);
    const COLORED_TEXTURED_VERTEX& a = ring.Vertices()[0];
    const COLORED_TEXTURED_VERTEX& b = ring.Vertices()[1];
    EXPECT_NEAR(a.position.x, k.e1.x, 1e-6f) << k.what;
    EXPECT_NEAR(a.position.y, k.e1.y, 1e-6f) << k.what;
    EXPECT_NEAR(a.position.z, k.e1.z, 1e-6f) << k.what;
    EXPECT_NEAR(b.position.x, k.e2.x, 1e-6f) << k.what;
    EXPECT_NEAR(b.position.y, k.e2.y, 1e-6f) << k.what;
    EXPECT_NEAR(b.position.z, k.e2.z, 1e-6f) << k.what;
  }
}

class Trail : public ::testing::Test {
protected:
  void SetUp() override {
    sinks.AddSink(log = new test::CLogRecorder());
    utl::SetLogSinks(&sinks);
  }
  void TearDown() override {
    object.Release();
    utl::SetLogSinks(nullptr);
  }
  CWeaponRenderer* Make(const std::string& keys) {
    text = "<Component name='CWeaponRenderer'>" + keys + "</Component>";
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    rapidxml::xml_document<> document;
    document.parse<0>(buffer.data());
    auto* trail = new CWeaponRenderer();
    object.AddComponent(trail);
    trail->Reset();
    trail->Load(document.first_node());
    trail->Init();
    return trail;
  }
  size_t Logged(const std::string& part) const { return log->Count(part); }

  utl::CLogSinkHolder sinks;
  test::CLogRecorder* log = nullptr;
  CRenderManager render;
  obj::CGameObject object;
  std::string text;
};

TEST_F(Trail, KeysMeshAndRestart) {
  CWeaponRenderer* trail =
      Make("<key name='mesh' value='trail_a'/><key name='render_type' value='dynamic'/>"
           "<key name='segment_count_max' value='4'/><key name='bones' bone1='tip' bone2='hilt'/>"
           "<key name='width' value='0.5'/><key name='velocity_threshold' value='0.5'/>");
  EXPECT_EQ(trail->SegmentMax(), 4);
  EXPECT_FLOAT_EQ(trail->Width(), 0.5f);
  EXPECT_FLOAT_EQ(trail->VelocityThreshold(), 0.5f);
  ASSERT_NE(trail->Mesh(), nullptr);
  EXPECT_EQ(trail->Mesh()->GetVertexCount(), 10u);
  EXPECT_FALSE(trail->GetRenderData().shadowCaster);

  trail->AddSamples({P(0, 1), P(1, 1), P(2, 1)}, {P(0), P(1)});  // walked as far as both reach
  EXPECT_EQ(trail->Ring().ValidCount(), 4);
  trail->Update(0.0f);  // no animator: no samples, the same strip
  EXPECT_EQ(trail->Ring().ValidCount(), 4);
  auto* buffer = dynamic_cast<CVertexBufferBase*>(trail->Mesh());
  ASSERT_EQ(buffer->GetSubsets().size(), 1u);
  EXPECT_EQ(buffer->GetSubsets()[0].triangleCount, 2);
  EXPECT_EQ(buffer->GetSubsets()[0].vertexSpan, 4u);

  trail->SetEnabled(true, false);
  EXPECT_EQ(trail->Ring().ValidCount(), 0) << "a re-enabled trail starts empty";
  trail->AddSamples({P(0, 1)}, {P(0)});
  trail->SetEnabled(false, false);
  EXPECT_EQ(trail->Ring().ValidCount(), 0);
  EXPECT_EQ(buffer->GetSubsets()[0].triangleCount, 0);
}

TEST_F(Trail, WithoutSegmentsOrMeshNothingIsDrawn) {
  CWeaponRenderer* trail = Make("<key name='mesh' value='trail_b'/><key name='render_type' value='dynamic'/>");
  EXPECT_FALSE(trail->CanDraw());
  trail->Update(0.1f);
  trail->Update(0.1f);
  EXPECT_EQ(trail->Ring().ValidCount(), 0);
  EXPECT_EQ(Logged("no segment_count_max; not drawn"), 1u);

  CWeaponRenderer* meshless =
      Make("<key name='mesh' value='trail_c'/><key name='segment_count_max' value='3'/>");
  EXPECT_FALSE(meshless->CanDraw()) << "a static render type makes no dynamic mesh";
  EXPECT_EQ(Logged("its mesh is missing; not drawn"), 1u);
}

}  // namespace
}  // namespace gfx
}  // namespace vd
