#pragma once
// The frame timer: ticked by the main loop (and by the render thread while the
// pre-loading screen shows), read by both threads, and the home of the slow-motion
// switch. Every field is atomic and each tick, restart and reset runs under one
// lock, so the two threads may use it at the same time.
#include <atomic>
#include <cstdint>
#include <mutex>

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

  float GetFrameTime() const { return frameTime.load(); }
  // For tests and tools that drive time by hand.
  void SetFrameTime(float seconds) { frameTime.store(seconds); }

  // The counter behind the timer, in nanoseconds; tests drive time by hand with it.
  // Set before the timer is used.
  using Clock = int64_t (*)();
  static int64_t SteadyNanoseconds();
  Clock clock = &SteadyNanoseconds;

  std::atomic<int64_t> lastCount{0};
  // Put back to the counter's own rate once a second of ticks has gone by.
  std::atomic<float> secondsPerCount{0.0f};
  std::atomic<float> frameTime{0.0f};
  // Written directly by the game to slow the game time down.
  std::atomic<uint8_t> slowMotion{0};
  std::atomic<float> slowMotionScale{1.0f};

private:
  // Serialises the read-modify-write of the tick with restarts and resets; one for
  // all timers, since the accumulated time and tick count are shared by all.
  static std::mutex s_lock;
  static float s_accumulatedTime;
  static float s_accumulatedTicks;
};

}  // namespace sys
}  // namespace vd
