// The whole game played through once, headless, by scripted keys: start-up screens,
// main menu, a new game at the easiest difficulty, loading, the intro watched to its
// end, the city zone by zone, the last fight, the credits, the menu again with nothing
// of the level left, and a second new game (its intro skipped) to its first fight.
// One game run: every check reads the one report. A picture of each stage is written
// beside the test program (playthrough/NN_<stage>.png).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/DrivenGame.h"
#include "tests/support/PlayThrough.h"

namespace vd {
namespace {

using test::CPlayThrough;
using test::SPlayReport;

// A bound on the whole run, below the test's own time-out, so that a stuck game still
// reports what it reached. About 2.5 minutes on a quiet machine; a machine loaded by
// other builds can stretch its frames (and so its play) more than five times over.
constexpr double kWallSeconds = 1140.0;
// The game's clock runs this much faster than the wall clock (see CPlayThrough).
constexpr int kTimeScale = 3;

std::string PictureFolder() {
  std::error_code ec;
  std::filesystem::path folder =
      std::filesystem::read_symlink("/proc/self/exe", ec).parent_path() / "playthrough";
  if (ec) folder = std::filesystem::temp_directory_path() / "hollowmere_playthrough";
  std::filesystem::create_directories(folder, ec);
  return folder.string();
}

class PlayThroughTest : public test::DrivenGameTest {};

TEST_F(PlayThroughTest, TheWholeGameFromStartUpToTheSecondGamesFirstFight) {
  const std::string folder = PictureFolder();
  std::printf("PlayThrough: %dx%d, the render passes at the low preset (no SSAO, glow or "
              "depth of field; shadows quality 0), the game's clock at %dx the wall clock; %s; "
              "pictures in %s\n",
              CPlayThrough::kWidth, CPlayThrough::kHeight, kTimeScale,
              test::kWholeGamePlayable ? "every zone fought, the boss to his end"
                                       : "only the first gate's fighters fought; the end of "
                                         "the game posted where the boss would die",
              folder.c_str());
  CPlayThrough play(input.backend, folder, kWallSeconds);
  play.timeScale = kTimeScale;
  ASSERT_TRUE(play.Run());
  const SPlayReport& r = play.Report();

  EXPECT_EQ(r.failure, "");
  int previous = -1;
  for (int stage = 0; stage < test::kStageCount; ++stage) {
    if (stage == test::kStageBoss && !test::kWholeGamePlayable) continue;
    EXPECT_TRUE(r.Reached(stage)) << "stage " << test::StageName(stage);
    if (!r.Reached(stage)) continue;
    EXPECT_GE(r.stageFrame[stage], previous) << test::StageName(stage) << " out of order";
    previous = r.stageFrame[stage];
  }

  // Front end and intro.
  EXPECT_EQ(r.difficulty, 0) << "the menu's easiest difficulty";
  EXPECT_GT(r.introWatchedSeconds, 26.0f) << "the first intro runs to its end";
  EXPECT_TRUE(r.secondIntroSkipped);
  EXPECT_LT(r.secondIntroFrames, 20) << "the second intro ends at its skip";

  // The city: every zone entered, in the street's order, the bar on the way through
  // the square; the first zone won, both gates opened.
  std::vector<int> firstVisits;
  for (int zone : r.zones)
    if (std::find(firstVisits.begin(), firstVisits.end(), zone) == firstVisits.end())
      firstVisits.push_back(zone);
  EXPECT_EQ(firstVisits, (std::vector<int>{0, 1, 3, 2, 4}));
  EXPECT_EQ(r.stuckWayPoints, 0);
  ASSERT_FALSE(r.gateFighters.empty()) << "the first gate waits for fighters";
  // Each of them killed before the gate opened: most in the first zone, one perhaps
  // just across its line at the end of a chase.
  for (const std::string& name : r.gateFighters)
    EXPECT_TRUE(r.killedBeforeFirstGate.count(name)) << name << " killed before the first gate opened";
  EXPECT_TRUE(r.avenueGateOpened);
  EXPECT_TRUE(r.leverPulled);
  EXPECT_TRUE(r.backstreetGateOpened);

  if (test::kWholeGamePlayable) {
    for (int zone = 0; zone < 5; ++zone) {
      const auto kills = r.killsPerZone.find(zone);
      EXPECT_TRUE(kills != r.killsPerZone.end() && !kills->second.empty())
          << "enemies killed in zone " << zone;
    }
    EXPECT_TRUE(r.bossKilled);
    EXPECT_TRUE(r.bossFinished) << "the finishing move on the boss";
    EXPECT_TRUE(r.endGameFromGame) << "the level ends the game at the boss's death";
  } else {
    EXPECT_FALSE(r.endGameFromGame) << "nothing but the boss's death ends the game";
  }

  // The credits run their song, then the menu has nothing of the level left.
  EXPECT_GT(r.creditsSeconds, 30.0f);
  EXPECT_EQ(r.menuAfter.Text(), r.menuBefore.Text());
  EXPECT_EQ(r.menuAfter.decals, 0);

  // The second game reaches its first fight.
  EXPECT_FALSE(r.secondFightKill.empty());

  // A picture per stage, and the ones of play show a scene, not a plain screen.
  const auto shots = play.Screenshots().Shots();
  // Every stage reached but the exit, whose frame is never drawn, and each zone.
  size_t pictured = static_cast<size_t>(r.zonePictures);
  for (int stage = 0; stage < test::kStageExit; ++stage) pictured += r.Reached(stage) ? 1 : 0;
  EXPECT_EQ(shots.size(), pictured);
  for (const auto& shot : shots) {
    std::printf("PlayThrough: picture %s (spread %.1f)\n", shot.path.c_str(), shot.spread);
    const std::string file = std::filesystem::path(shot.path).filename().string();
    if (file.find("play") != std::string::npos || file.find("zone") != std::string::npos) {
      EXPECT_GT(shot.spread, 8.0) << shot.path;
    }
  }
  for (const auto& zone : r.killsPerZone)
    std::printf("PlayThrough: zone %d: %zu killed\n", zone.first, zone.second.size());
  std::printf("PlayThrough: %.0f s of play, %d evades, %d grenades, %d fatality tries, %d "
              "deaths, %d way points passed by; slowest frame %.0f ms\n",
              r.playSeconds, r.evades, r.grenadesThrown, r.fatalityTries, r.playerDeaths,
              r.wayPointsPassedBy, r.slowestFrameMs);
  EXPECT_TRUE(messages.Requests().empty());
}

}  // namespace
}  // namespace vd
