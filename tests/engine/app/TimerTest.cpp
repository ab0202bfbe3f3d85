#include "engine/app/Timer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

int64_t g_now = 0;
int64_t HandClock() { return g_now; }
constexpr int64_t kMs = 1000000;  // nanoseconds

TEST(Timer, GameTimeClampsAndScales) {
  struct Case {
    float frame;
    uint8_t slow;
    float scale;
    float expected;
  } cases[] = {
      {0.2f, 0, 1.0f, 1.0f / 15.0f}, {0.2f, 1, 0.25f, 1.0f / 60.0f}, {-0.5f, 0, 1.0f, 0.0f},
      {0.01f, 0, 0.5f, 0.01f},       {0.01f, 1, 0.5f, 0.005f},
  };
  for (const Case& c : cases) {
    vd::sys::CTimer timer;
    timer.Start();
    timer.SetFrameTime(c.frame);
    timer.slowMotion = c.slow;
    timer.slowMotionScale = c.scale;
    EXPECT_FLOAT_EQ(timer.GetGameTime(true), c.expected) << c.frame;
  }
  vd::sys::CTimer timer;
  timer.Start();
  timer.SetFrameTime(0.02f);
  timer.slowMotion = 1;
  timer.slowMotionScale = 0.5f;
  EXPECT_FLOAT_EQ(timer.GetGameTime(false), 0.02f);
}

// Ticks on a hand-driven clock: each measures the time since the last tick or
// restart; the game time clamps and scales it; reset turns slow motion off.
TEST(Timer, TicksMeasureFromTheLastTickOrRestart) {
  vd::sys::CTimer timer;
  timer.clock = &HandClock;
  g_now = 5 * kMs;
  ASSERT_TRUE(timer.Start());
  EXPECT_EQ(timer.GetFrameTime(), 0.0f);

  g_now += 20 * kMs;
  timer.Tick();
  EXPECT_NEAR(timer.GetFrameTime(), 0.020f, 1e-6f);
  timer.slowMotion = 1;
  timer.slowMotionScale = 0.25f;
  EXPECT_NEAR(timer.GetGameTime(true), 0.005f, 1e-6f);
  EXPECT_NEAR(timer.GetGameTime(false), 0.020f, 1e-6f);

  g_now += 200 * kMs;  // one slow frame
  timer.Tick();
  EXPECT_NEAR(timer.GetFrameTime(), 0.2f, 1e-6f);
  EXPECT_FLOAT_EQ(timer.GetGameTime(false), 1.0f / 15.0f);
  EXPECT_FLOAT_EQ(timer.GetGameTime(true), 1.0f / 60.0f);

  g_now += 50 * kMs;
  timer.Restart();
  EXPECT_EQ(timer.GetFrameTime(), 0.0f);
  EXPECT_EQ(timer.slowMotion, 1) << "a restart keeps slow motion";
  g_now += 10 * kMs;
  timer.Tick();
  EXPECT_NEAR(timer.GetFrameTime(), 0.010f, 1e-6f) << "from the restart, not the last tick";

  timer.Reset();
  EXPECT_EQ(timer.slowMotion, 0);
  EXPECT_EQ(timer.slowMotionScale, 1.0f);
  EXPECT_EQ(timer.GetFrameTime(), 0.0f);
  g_now += 30 * kMs;
  timer.Tick();
  EXPECT_NEAR(timer.GetGameTime(true), 0.030f, 1e-6f);
}

// The counter's rate is taken again once more than a second of ticks has gone by,
// and not before.
TEST(Timer, TheCounterRateIsRefreshedOnceASecond) {
  vd::sys::CTimer timer;
  timer.clock = &HandClock;
  g_now = 0;
  timer.Start();
  const float rate = timer.secondsPerCount;
  g_now += 1500 * kMs;  // a long first frame empties the shared accumulators
  timer.Tick();

  timer.secondsPerCount = 2.0f * rate;  // a stale rate: every count reads double
  std::vector<float> frames;
  for (int i = 0; i < 4; ++i) {
    g_now += 300 * kMs;
    timer.Tick();
    frames.push_back(timer.GetFrameTime());
  }
  // 0.6 s and 1.2 s accumulated: the second tick passes the second and refreshes.
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_NEAR(frames[0], 0.6f, 1e-5f);
  EXPECT_NEAR(frames[1], 0.6f, 1e-5f);
  EXPECT_NEAR(frames[2], 0.3f, 1e-5f);
  EXPECT_NEAR(frames[3], 0.3f, 1e-5f);
  EXPECT_EQ(timer.secondsPerCount, rate);

  // Reset keeps the rate it has.
  timer.secondsPerCount = 3.0f * rate;
  timer.Reset();
  EXPECT_EQ(timer.secondsPerCount, 3.0f * rate);
}

// The render thread ticks while the pre-loading screen shows as the main thread
// restarts and ticks: the counter read and the last count move together, so no
// tick ever measures back in time.
std::atomic<int64_t> g_shared{0};
int64_t SharedClock() { return g_shared.fetch_add(1000); }

TEST(Timer, TwoThreadsTickingNeverMeasureANegativeFrame) {
  vd::sys::CTimer timer;
  timer.clock = &SharedClock;
  timer.Start();
  std::atomic<bool> go{false};
  std::atomic<int> negative{0};
  auto run = [&](bool restarts) {
    while (!go) std::this_thread::yield();
    for (int i = 0; i < 1000000; ++i) {
      if (restarts && i % 64 == 0) timer.Restart();
      timer.Tick();
      if (timer.GetFrameTime() < 0.0f) ++negative;
    }
  };
  std::thread render(run, false);
  std::thread main(run, true);
  go = true;
  render.join();
  main.join();
  EXPECT_EQ(negative, 0);
}

}  // namespace
