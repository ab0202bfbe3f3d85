#pragma once
// The frame timer: ticked by the main loop, read by both threads, and the home of
// the slow-motion switch.
#include <cstdint>

namespace vd {
namespace sys {

class CTimer {
public:
  static constexpr float kMaxFrameTime = 1.0f / 15.0f;

  bool Start();
  void Restart();
  void Reset();
  void Tick();
  // The frame time clamped to 0..1/15 s, scaled while slow motion is on.
  float GetGameTime(bool applySlowMotion) const;

  float GetFrameTime() const { return frameTime; }
  // For tests and tools that drive time by hand.
  void SetFrameTime(float seconds) { frameTime = seconds; }

  // The counter behind the timer, in nanoseconds; tests drive time by hand with it.
  using Clock = int64_t (*)();
  static int64_t SteadyNanoseconds();
  Clock clock = &SteadyNanoseconds;

  int64_t lastCount = 0;
  float secondsPerCount = 0.0f;
  float frameTime = 0.0f;
  uint8_t slowMotion = 0;
  float slowMotionScale = 1.0f;

private:
  static float s_accumulatedTime;
  static float s_accumulatedTicks;
};

}  // namespace sys
}  // namespace vd
