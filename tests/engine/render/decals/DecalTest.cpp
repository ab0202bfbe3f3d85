// The decal manager without a device: parameters, the slot life cycle, the fade
// schedule and the instance records.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "engine/core/Log.h"
#include "engine/render/RenderManager.h"
#include "engine/render/decals/DecalManager.h"
#include "engine/script/ScriptManager.h"
#include "platform/crt/Crt.h"
#include "tests/support/LogRecorder.h"

namespace vd {
namespace gfx {
namespace {

class Decals : public ::testing::Test {
protected:
  void SetUp() override {
    sinks.AddSink(log = new test::CLogRecorder());
    utl::SetLogSinks(&sinks);
  }
  void TearDown() override {
    for (const std::string& path : files) std::remove(path.c_str());
    utl::SetLogSinks(nullptr);
  }
  std::string Params(const std::string& keys) {
    // ctest runs each case as its own process at the same time as the others: a name of
    // its own keeps one case from reading another's settings.
    const std::string path = ::testing::TempDir() + "decals_" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                             "_" + std::to_string(files.size()) + ".xml";
    std::ofstream(path) << "<decals_params>" << keys << "</decals_params>";
    files.push_back(path);
    return path;
  }
  void Start(int slots) {
    manager.Init(&render, nullptr,
                 Params("<key id='decals_max' value='" + std::to_string(slots) + "'/>").c_str());
  }
  void Add(int group = 0, float life = 20.0f, float fadeIn = 2.5f, float fadeOut = 5.0f) {
    manager.AddDecalAt(plat::Vec3(1, 2, 3), 0xFFAA0000u, 0.5f, group, life, fadeIn, fadeOut);
  }
  // One frame of the render thread: the pass's aging, then the commit.
  void Frame(float dt) {
    manager.Age(dt);
    if (render.decalsChanged) manager.Commit();
  }
  size_t Logged(const std::string& part) const { return log->Count(part); }

  utl::CLogSinkHolder sinks;
  test::CLogRecorder* log = nullptr;
  CRenderManager render;
  CDecalManager manager;
  std::vector<std::string> files;
};

TEST_F(Decals, ParamsAreReadAndCountsHeldToTheBuffers) {
  const std::string path = Params(
      "<key id='decals_max' value='99999999'/><other id='factor' value='0.25'/>"
      "<key id='volume_texture_size' value='-3'/><key id='noise3d_octaves' value='3.5'/>"
      "<key id='' value='7'/><key id='unknown' value='1'/>");
  manager.Init(&render, nullptr, path.c_str());
  EXPECT_EQ(manager.DecalsMax(), CDecalManager::kMaxDecals);
  EXPECT_EQ(manager.VolumeTextureSize(), 1);
  EXPECT_FLOAT_EQ(manager.factor, 0.25f) << "every sibling after the first key counts";
  EXPECT_FLOAT_EQ(manager.noiseOctaves, 3.5f);
  EXPECT_EQ(Logged("decals_max 99999999 held to 4096"), 1u);
  EXPECT_EQ(Logged("volume_texture_size -3 held to 1"), 1u);

  manager.Shutdown();
  EXPECT_EQ(manager.DecalsMax(), 0);
  EXPECT_EQ(manager.VolumeTextureSize(), 128);

  // A missing file leaves no slots: adds are dropped, nothing breaks.
  EXPECT_FALSE(manager.LoadParams((::testing::TempDir() + "no_such_decals.xml").c_str()));
  manager.Init(&render, nullptr, (::testing::TempDir() + "no_such_decals.xml").c_str());
  Add();
  EXPECT_EQ(manager.PendingAdds(), 0u);
  Frame(0.1f);
  // A malformed one is named in the log.
  const std::string bad = ::testing::TempDir() + "bad_decals.xml";
  std::ofstream(bad) << "<decals_params><key id='decals_max'";
  files.push_back(bad);
  EXPECT_FALSE(manager.LoadParams(bad.c_str()));
  EXPECT_EQ(Logged("bad_decals.xml is not valid XML"), 1u);
}

TEST_F(Decals, SlotLifeCycle) {
  Start(3);
  Add();
  Add();
  EXPECT_EQ(manager.PendingAdds(), 2u);
  EXPECT_TRUE(manager.Slot(0).used && manager.Slot(1).used && !manager.Slot(2).used);
  EXPECT_EQ(manager.Slot(0).colour >> 24, 0u) << "the caller's alpha is ignored";
  EXPECT_FALSE(manager.Slot(0).committed);
  // Not aged before its commit.
  manager.Age(1.0f);
  EXPECT_FLOAT_EQ(manager.Slot(0).remainingLife, 20.0f);
  manager.Commit();
  EXPECT_TRUE(manager.Slot(0).committed);
  EXPECT_FALSE(render.decalsChanged);

  Add();
  Add();  // every slot taken: dropped, nothing queued
  EXPECT_EQ(manager.PendingAdds(), 1u);

  // Clear, then add in the same frame: the commit frees every slot.
  manager.ClearDecals();
  Add();
  manager.Commit();
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(manager.Slot(i).used) << i;
  Add();
  manager.Commit();
  EXPECT_TRUE(manager.Slot(0).used && manager.Slot(0).committed);
  EXPECT_EQ(render.liveDecals, 1);

  // A free slot between two decals: the records hold the two, in slot order, and the
  // render manager learns that two are left to draw.
  manager.AddDecalAt(plat::Vec3(4, 5, 6), 0xFF00AA00u, 0.75f, 1, 20.0f, 2.5f, 5.0f);
  manager.AddDecalAt(plat::Vec3(7, 8, 9), 0xFF0000AAu, 1.25f, 2, 20.0f, 2.5f, 5.0f);
  manager.Commit();
  EXPECT_EQ(render.liveDecals, 3);
  manager.RemoveDecals(1);
  manager.Age(6.0f);
  manager.Commit();
  ASSERT_TRUE(manager.Slot(0).used && !manager.Slot(1).used && manager.Slot(2).used);
  EXPECT_EQ(manager.LiveInstances(), 2);
  EXPECT_EQ(render.liveDecals, 2);
  SDecalInstance records[3] = {};
  ASSERT_EQ(manager.FillInstances(records), 2);
  EXPECT_EQ(records[0].used, 1);
  EXPECT_FLOAT_EQ(records[0].position[2], 3.0f);
  EXPECT_FLOAT_EQ(records[0].size, 0.5f);
  EXPECT_GE(records[0].noiseOffset[0], 0.0f);
  EXPECT_LE(records[0].noiseOffset[0], 1.5f);
  EXPECT_EQ(records[0].noiseOffset[2], 0.0f);
  EXPECT_EQ(records[1].used, 1);
  EXPECT_FLOAT_EQ(records[1].position[2], 9.0f) << "the third slot's decal, packed second";
  EXPECT_FLOAT_EQ(records[1].size, 1.25f);

  // Every decal gone: nothing left to draw.
  manager.ClearDecals();
  manager.Commit();
  EXPECT_EQ(manager.LiveInstances(), 0);
  EXPECT_EQ(render.liveDecals, 0);
}

// A count of what is alive may come long before the render thread's next commit (at
// the menu no decal pass runs): a slot waiting there to be freed is not alive.
TEST_F(Decals, LiveCountLeavesOutSlotsAwaitingTheirRemoval) {
  Start(3);
  Add();
  Add(0, 1.0f, 0.0f, 0.0f);
  EXPECT_EQ(manager.LiveCount(), 2) << "placed, not yet committed";
  manager.Commit();
  manager.Age(2.0f);  // the short one runs out
  ASSERT_TRUE(manager.Slot(1).used);
  EXPECT_EQ(manager.LiveCount(), 1);

  manager.ClearDecals();
  Add();
  ASSERT_TRUE(manager.Slot(0).used && manager.Slot(2).used);
  EXPECT_EQ(manager.LiveCount(), 0) << "the clear's commit frees even the add after it";
  manager.Commit();
  Add();
  EXPECT_EQ(manager.LiveCount(), 1);
}

// The pause menu draws the frozen scene: its decals keep their life and alpha until
// play goes on.
TEST_F(Decals, PausedDecalsDoNotAge) {
  Start(2);
  Add(0, 20.0f, 0.0f, 5.0f);
  manager.Commit();
  Frame(10.0f);
  ASSERT_EQ(manager.Slot(0).colour >> 24, 255u);
  manager.SetPaused(true);
  for (int i = 0; i < 20; ++i) Frame(1.0f / 15.0f);
  EXPECT_FLOAT_EQ(manager.Slot(0).remainingLife, 10.0f);
  EXPECT_EQ(manager.Slot(0).colour >> 24, 255u);
  manager.SetPaused(false);
  Frame(8.0f);
  EXPECT_FLOAT_EQ(manager.Slot(0).remainingLife, 2.0f);
  EXPECT_LT(manager.Slot(0).colour >> 24, 255u) << "fading again";
}

TEST_F(Decals, AlphaSchedule) {
  struct SCase {
    float total, remaining, fadeIn, fadeOut;
    int alpha;
  } cases[] = {
      {20, 20, 2.5f, 5, 0},        {20, 18.75f, 2.5f, 5, 127},  {20, 17.5f, 2.5f, 5, 255},
      {20, 10, 2.5f, 5, 255},      {20, 2.5f, 2.5f, 5, 127},    {20, 0, 2.5f, 5, 0},
      {20, -1, 2.5f, 5, 0},        // past its end: never negative
      {20, 20, 0, 5, 255},         // no fade-in: full at once
      {20, 19.9f, 0, 5, 255},      {20, 0.5f, 2.5f, 0, 255},   // no fade-out: full to the end
      {20, 0, 2.5f, 0, 0},         {20, -0.1f, 2.5f, 0, 0},    // ... then gone at once
      {1, 0.5f, 0, 0, 255},        {1, 1.5f, 2.5f, 5, 0},      // more life than it had: clamped
      {1, 0, 0, 0, 0},
  };
  for (const SCase& k : cases) {
    EXPECT_EQ(CDecalManager::Alpha(k.total, k.remaining, k.fadeIn, k.fadeOut), k.alpha)
        << k.total << " " << k.remaining << " " << k.fadeIn << " " << k.fadeOut;
  }

  // A whole life, frame by frame: queued for removal in the first frame its life
  // is over, freed by that frame's commit.
  Start(2);
  Add(0, 20.0f, 2.5f, 5.0f);
  manager.Commit();
  int frames = 0;
  while (manager.Slot(0).used && frames < 1000) {
    Frame(0.25f);
    ++frames;
  }
  EXPECT_EQ(frames, 80);
  // Zero fade times: full until the end, then gone in one frame.
  Add(0, 1.0f, 0.0f, 0.0f);
  manager.Commit();
  Frame(0.5f);
  EXPECT_EQ(manager.Slot(0).colour >> 24, 255u);
  Frame(0.5f);
  EXPECT_FALSE(manager.Slot(0).used);
}

// The instance buffer is rewritten only at commits that the aging asks for: the
// step to full alpha must ask too, or the decal is drawn with the last faded alpha
// (without a fade-in: never drawn at all).
TEST_F(Decals, FullAlphaReachesTheInstanceBuffer) {
  struct SCase {
    float fadeIn, dt;
  } cases[] = {{0.0f, 0.1f}, {0.4f, 0.25f}};
  for (const SCase& k : cases) {
    Start(1);
    Add(0, 20.0f, k.fadeIn, 5.0f);
    manager.Commit();
    while (manager.Slot(0).colour >> 24 != 255u && manager.Slot(0).remainingLife > 15.0f) {
      manager.Age(k.dt);
      const bool full = manager.Slot(0).colour >> 24 == 255u;
      EXPECT_TRUE(render.decalsChanged) << "fade-in " << k.fadeIn << (full ? ", at full" : "");
      if (render.decalsChanged) manager.Commit();
    }
    EXPECT_EQ(manager.Slot(0).colour >> 24, 255u);
    // Full and steady: nothing left to rewrite.
    manager.Age(k.dt);
    EXPECT_FALSE(render.decalsChanged) << "fade-in " << k.fadeIn;
    manager.Shutdown();
  }
}

TEST_F(Decals, RemoveAndResetShortenLives) {
  Start(3);
  Add(7, 20.0f, 0.0f, 5.0f);  // 12 s left after the frame below
  Add(7, 20.0f, 0.0f, 5.0f);
  Add(8, 20.0f, 0.0f, 5.0f);
  manager.Commit();
  Frame(8.0f);
  manager.RemoveDecals(7);
  EXPECT_FLOAT_EQ(manager.Slot(0).remainingLife, 5.0f);
  EXPECT_FLOAT_EQ(manager.Slot(2).remainingLife, 12.0f);
  Frame(2.0f);  // 3 s left
  manager.RemoveDecals(7);
  EXPECT_FLOAT_EQ(manager.Slot(0).remainingLife, 3.0f);
  manager.ResetDecals();
  Frame(0.0f);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(manager.Slot(i).used) << i;
}

TEST_F(Decals, LuaClassCDecalManager) {
  Start(2);
  lgc::CScriptManager scripts;
  scripts.AddBindingRegistrar(&RegisterDecalBindings);
  ASSERT_TRUE(scripts.Init());
  ASSERT_TRUE(scripts.RunString("GetDecalManager():AddDecal(1, 2, 3, 0xFF00FF00, 0.5, 7, 10, 1, 2)",
                                "decals"));
  ASSERT_TRUE(manager.Slot(0).used);
  EXPECT_EQ(manager.Slot(0).colour, 0x0000FF00u);
  EXPECT_EQ(manager.Slot(0).group, 7);
  EXPECT_FLOAT_EQ(manager.Slot(0).position.z, 3.0f);
  manager.Commit();
  ASSERT_TRUE(scripts.RunString("GetDecalManager():RemoveDecals(7)", "remove"));
  EXPECT_FLOAT_EQ(manager.Slot(0).remainingLife, 2.0f);
  ASSERT_TRUE(scripts.RunString("GetDecalManager():ResetDecals()", "reset"));
  EXPECT_FLOAT_EQ(manager.Slot(0).remainingLife, 0.0f);
}

}  // namespace
}  // namespace gfx
}  // namespace vd
