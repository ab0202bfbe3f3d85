#include "engine/render/device/FramePacer.h"

#include <gtest/gtest.h>

#include <vector>

using vd::gfx::CFramePacer;
using EMode = CFramePacer::EMode;

namespace {

// A fake clock: a frame's own work and a swap that waits (or not) for a display
// refreshing every `display` seconds; the pacer's sleeps move the clock too.
struct FakeDisplay {
  double now = 100.0;
  double work = 0.001;    // drawing the frame
  double display = 0.0;   // 0: swaps do not wait
  std::vector<double> sleeps;
  std::vector<double> starts;
  CFramePacer pacer{[this] { return now; }, [this](double s) {
                      sleeps.push_back(s);
                      now += s + 0.0002;  // a sleep overshoots a little
                    }};

  void Frames(int n) {
    for (int i = 0; i < n; ++i) {
      pacer.BeforeFrame();
      starts.push_back(now);
      now += work;
      if (display > 0.0) now = (static_cast<long long>(now / display) + 1) * display;  // next vblank
    }
  }
  // Frames started within [from, from + seconds).
  int StartsIn(double from, double seconds) const {
    int n = 0;
    for (double t : starts) n += t >= from && t < from + seconds;
    return n;
  }
};

}  // namespace

TEST(FramePacer, SwapsThatDoNotWaitAreHeldToTheRefreshRate) {
  struct Case {
    int announcedHz;
    double expectedHz;
  } cases[] = {{60, 60}, {0, 60}, {144, 144}, {75, 75}};
  for (const Case& c : cases) {
    FakeDisplay d;
    d.pacer.Restart(true, c.announcedHz);
    d.Frames(CFramePacer::kWindow + 1);  // watched, free-running
    EXPECT_EQ(d.pacer.Mode(), EMode::Pacing) << c.announcedHz;
    const double from = d.now;
    d.Frames(static_cast<int>(c.expectedHz * 3));
    // Never above the rate, and not far below it either.
    const int perSecond = d.StartsIn(from + 1.0, 1.0);
    EXPECT_LE(perSecond, c.expectedHz + 1) << c.announcedHz;
    EXPECT_GE(perSecond, c.expectedHz - 1) << c.announcedHz;
    EXPECT_NEAR(d.pacer.Period(), 1.0 / c.expectedHz, 1e-9);
  }
}

TEST(FramePacer, ADisplayThatPacesItselfIsNeverWaitedFor) {
  // 59.94 Hz announced as 60 and as 59, and a driver that queues frames before it
  // blocks: the display keeps the pace, the pacer stays out of the way.
  for (int announced : {60, 59}) {
    FakeDisplay d;
    d.display = 1.0 / 59.94;
    d.pacer.Restart(true, announced);
    d.Frames(600);
    EXPECT_EQ(d.pacer.Mode(), EMode::SwapsBlock) << announced;
    EXPECT_TRUE(d.sleeps.empty()) << announced;
  }
  FakeDisplay queued;
  queued.pacer.Restart(true, 60);
  queued.Frames(4);  // three queued swaps return at once
  queued.display = 1.0 / 60;
  queued.Frames(CFramePacer::kWindow * 4);
  EXPECT_EQ(queued.pacer.Mode(), EMode::SwapsBlock);
}

TEST(FramePacer, VsyncOffRunsFree) {
  FakeDisplay d;
  d.pacer.Restart(false, 60);
  d.Frames(1000);
  EXPECT_EQ(d.pacer.Mode(), EMode::Off);
  EXPECT_TRUE(d.sleeps.empty());
  EXPECT_GT(d.StartsIn(100.0, 1.0), 900);
}

TEST(FramePacer, TakesOverWhenSwapsStopWaitingAndWatchesAgainAfterARestart) {
  FakeDisplay d;
  d.display = 1.0 / 60;
  d.pacer.Restart(true, 60);
  d.Frames(CFramePacer::kWindow * 2);
  ASSERT_EQ(d.pacer.Mode(), EMode::SwapsBlock);

  // The window is hidden: its swaps stop waiting.
  d.display = 0.0;
  d.Frames(CFramePacer::kWindow * 2);
  EXPECT_EQ(d.pacer.Mode(), EMode::Pacing);
  const double from = d.now;
  d.Frames(120);
  EXPECT_LE(d.StartsIn(from, 1.0), 61);

  // Shown again and the device reset: the display keeps the pace once more.
  d.display = 1.0 / 60;
  d.pacer.Restart(true, 60);
  d.Frames(CFramePacer::kWindow * 2);
  EXPECT_EQ(d.pacer.Mode(), EMode::SwapsBlock);
  const size_t sleeps = d.sleeps.size();
  d.Frames(300);
  EXPECT_EQ(d.sleeps.size(), sleeps);
}

TEST(FramePacer, ALateFrameIsNotFollowedByABurst) {
  FakeDisplay d;
  d.pacer.Restart(true, 60);
  d.Frames(CFramePacer::kWindow + 10);
  ASSERT_EQ(d.pacer.Mode(), EMode::Pacing);
  d.now += 0.2;  // one frame took 200 ms
  const size_t before = d.starts.size();
  d.Frames(10);
  for (size_t i = before + 1; i < d.starts.size(); ++i)
    EXPECT_GE(d.starts[i] - d.starts[i - 1], 1.0 / 60 - 1e-9) << i;
}
