#pragma once
// Keeps a game that asked for vsync at or below the display's refresh rate where a
// swap does not wait for the display (software GL, a virtual display, a hidden
// window): it watches whether swaps hold frames to the refresh period, and once they
// do not, it holds each frame to the period itself until the next restart (a device
// reset). Pacing frames that a display paces as well costs latency, not frames, so a
// wrong guess errs on that side.
#include <cstddef>
#include <functional>

namespace vd {
namespace gfx {

class CFramePacer {
public:
  enum class EMode {
    Off,         // vsync off: frames run free
    Measuring,   // watching whether swaps block
    SwapsBlock,  // the display paces the frames; still watched
    Pacing,      // swaps do not block: frames are held to the period until Restart
  };
  // The refresh rate taken when the display does not tell.
  static constexpr int kDefaultRefreshHz = 60;
  // Frame intervals per verdict; their median decides.
  static constexpr size_t kWindow = 15;

  using Clock = std::function<double()>;        // seconds, monotonic
  using Sleeper = std::function<void(double)>;  // sleeps about that many seconds

  // The steady clock and a real sleep.
  CFramePacer();
  // Tests drive time themselves.
  CFramePacer(Clock clock, Sleeper sleeper);

  // Starts over, after the device was made or reset: `refreshHz` 0 when unknown.
  void Restart(bool vsync, int refreshHz);
  // Once per frame, before it is drawn.
  void BeforeFrame();

  EMode Mode() const { return m_mode; }
  double Period() const { return m_period; }

private:
  void Judge(double now);

  Clock m_clock;
  Sleeper m_sleeper;
  EMode m_mode = EMode::Off;
  double m_period = 1.0 / kDefaultRefreshHz;
  double m_last = -1.0;  // start of the previous frame while watching
  double m_next = 0.0;   // earliest start of the next frame while pacing
  double m_intervals[kWindow] = {};
  size_t m_count = 0;
};

}  // namespace gfx
}  // namespace vd
