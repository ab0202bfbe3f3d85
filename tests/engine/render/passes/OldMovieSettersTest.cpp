// The start-up, intro and pause screens switch the film look's old-movie lines and
// intensity through the render manager.
#include <gtest/gtest.h>

#include "engine/render/RenderManager.h"

namespace vd {
namespace {

TEST(OldMovieSetters, LinesStartOverOnlyWhenSwitchedOnFromOff) {
  gfx::CRenderManager manager;
  bool* switches = manager.filmLookSwitches;
  manager.SetOldMovieLines(true);
  EXPECT_TRUE(manager.OldMovieLinesOn());
  EXPECT_TRUE(switches[gfx::CRenderManager::kScreenEffectRestart]);

  // The pass takes the restart; switching on again while on must not give another.
  switches[gfx::CRenderManager::kScreenEffectRestart] = false;
  manager.SetOldMovieLines(true);
  EXPECT_FALSE(switches[gfx::CRenderManager::kScreenEffectRestart]);

  manager.SetOldMovieLines(false);
  EXPECT_FALSE(manager.OldMovieLinesOn());
  EXPECT_FALSE(switches[gfx::CRenderManager::kScreenEffectRestart]);
}

TEST(OldMovieSetters, IntensityIsTheValueThePassReads) {
  gfx::CRenderManager manager;
  EXPECT_FLOAT_EQ(manager.OldMovieIntensity(), 1.0f);
  manager.SetOldMovieIntensity(3.5f);
  EXPECT_FLOAT_EQ(manager.filmLookValues[4], 3.5f);
  EXPECT_FLOAT_EQ(manager.OldMovieIntensity(), 3.5f);
  // The tint's powers and the brightness beside it stay.
  EXPECT_FLOAT_EQ(manager.filmLookValues[3], 0.1f);
}

}  // namespace
}  // namespace vd
