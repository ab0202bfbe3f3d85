// The debug renderer's reserved pools and the engine's key-name constants.
#include <gtest/gtest.h>

#include <vector>

#include "engine/render/DebugRenderer.h"
#include "engine/render/KeyNames.h"

namespace vd {
namespace {

using gfx::CDebugRenderer;

// Every pool exists with one empty chunk before main runs, and its chunk holds
// the number of records the kind reserves: that many fit without a second chunk.
template <class Pool, class Record>
void ExpectReserved(Pool& pool, uint32_t chunk) {
  EXPECT_EQ(pool.ChunkCount(), 1u);
  EXPECT_EQ(pool.UsedCount(), 0u);
  std::vector<Record*> taken;
  for (uint32_t i = 0; i < chunk; ++i) taken.push_back(pool.Construct());
  EXPECT_EQ(pool.ChunkCount(), 1u);
  EXPECT_EQ(taken.front()->GetPoolIndex(), 0u);
  EXPECT_EQ(taken.back()->GetPoolIndex(), chunk - 1);
  Record* extra = pool.Construct();
  EXPECT_EQ(pool.ChunkCount(), 2u);
  EXPECT_EQ(extra->GetPoolIndex(), chunk);
  taken.push_back(extra);
  for (Record* r : taken) {
    const uint32_t index = r->GetPoolIndex();
    r->~Record();
    pool.Free(index);
  }
  EXPECT_EQ(pool.UsedCount(), 0u);
}

TEST(DebugRendererTest, EachPrimitiveKindReservesItsChunk) {
  ExpectReserved<CDebugRenderer::LinePool, CDebugRenderer::SLine>(CDebugRenderer::s_lines, 20000);
  ExpectReserved<CDebugRenderer::AABBPool, CDebugRenderer::SAABB>(CDebugRenderer::s_aabbs, 20);
  ExpectReserved<CDebugRenderer::TextPool, CDebugRenderer::SText>(CDebugRenderer::s_texts, 5);
  ExpectReserved<CDebugRenderer::AxisPool, CDebugRenderer::SAxis>(CDebugRenderer::s_axes, 20);
  ExpectReserved<CDebugRenderer::GridPool, CDebugRenderer::SGrid>(CDebugRenderer::s_grids, 2);
  ExpectReserved<CDebugRenderer::SquarePool, CDebugRenderer::SSquare>(CDebugRenderer::s_squares,
                                                                      10);
  ExpectReserved<CDebugRenderer::CirclePool, CDebugRenderer::SCircle>(CDebugRenderer::s_circles,
                                                                      10);
  ExpectReserved<CDebugRenderer::RectanglePool, CDebugRenderer::SRectangle>(
      CDebugRenderer::s_rectangles, 2);
  ExpectReserved<CDebugRenderer::SpherePool, CDebugRenderer::SSphere>(CDebugRenderer::s_spheres,
                                                                      20);
  ExpectReserved<CDebugRenderer::FrustumPool, CDebugRenderer::SFrustum>(CDebugRenderer::s_frusta,
                                                                        2);
}

TEST(KeyNamesTest, ConstantsBorrowTheirLiteralAndMatchAnyLetterCase) {
  struct Case {
    const CStringHash& constant;
    const char* written;
  };
  const Case cases[] = {
      {gfx::SH_render_type, "RENDER_TYPE"},
      {gfx::SH_render_layer, "Render_Layer"},
      {gfx::SH_geometry_zone_group_id, "Geometry_Zone_Group_Id"},
      {gfx::SH_noise3d_lacunarity, "NOISE3D_LACUNARITY"},
      {gfx::SH_dof_focal_plane_dist, "dof_focal_plane_dist"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CStringHash(c.written), c.constant) << c.written;
    EXPECT_FALSE(c.constant.OwnsText());
    EXPECT_STRCASEEQ(c.constant.GetText(), c.written);
  }
  // One constant for several roles: a collision class and a render layer, an
  // animator key and a render kind.
  EXPECT_EQ(CStringHash("floor"), gfx::SH_floor);
  EXPECT_EQ(CStringHash("animation"), gfx::SH_animation);
  EXPECT_NE(gfx::SH_hud, gfx::SH_hud_layer);
  EXPECT_EQ(gfx::SH_gas_loop_02.GetHash(), ComputeHash("gas_loop_02"));
}

}  // namespace
}  // namespace vd
