#include "engine/app/Timer.h"

#include <gtest/gtest.h>

namespace {

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

TEST(Timer, ResetTurnsSlowMotionOffAndTickMeasures) {
  vd::sys::CTimer timer;
  ASSERT_TRUE(timer.Start());
  timer.slowMotion = 1;
  timer.slowMotionScale = 0.2f;
  timer.Reset();
  EXPECT_EQ(timer.slowMotion, 0);
  EXPECT_EQ(timer.slowMotionScale, 1.0f);
  timer.Tick();
  EXPECT_GE(timer.GetFrameTime(), 0.0f);
  timer.Restart();
  EXPECT_EQ(timer.GetFrameTime(), 0.0f);
}

}  // namespace
