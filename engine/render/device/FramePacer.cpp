#include "engine/render/device/FramePacer.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace vd {
namespace gfx {

namespace {
// A median interval below this share of the period means swaps do not wait for the
// display. A display paces to within a fraction of a percent of its announced rate
// (an announced 60 Hz may be 59.94 Hz, or 59 Hz may be announced for 59.94 Hz).
constexpr double kBlockingShare = 0.97;
}  // namespace

CFramePacer::CFramePacer()
    : CFramePacer(
          [] {
            using namespace std::chrono;
            return duration<double>(steady_clock::now().time_since_epoch()).count();
          },
          [](double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }) {}

CFramePacer::CFramePacer(Clock clock, Sleeper sleeper)
    : m_clock(std::move(clock)), m_sleeper(std::move(sleeper)) {}

void CFramePacer::Restart(bool vsync, int refreshHz) {
  m_mode = vsync ? EMode::Measuring : EMode::Off;
  m_period = 1.0 / (refreshHz > 0 ? refreshHz : kDefaultRefreshHz);
  m_last = -1.0;
  m_count = 0;
}

void CFramePacer::BeforeFrame() {
  if (m_mode == EMode::Off) return;
  double now = m_clock();
  if (m_mode != EMode::Pacing) {
    Judge(now);
    return;
  }
  const double wait = m_next - now;
  if (wait > 0.0) {
    m_sleeper(wait);
    now = m_clock();
  }
  // On schedule, the next frame is due one period after this one was; a frame more
  // than a period late starts the schedule again instead of being followed by a burst.
  m_next = now - m_next > m_period ? now + m_period : m_next + m_period;
}

void CFramePacer::Judge(double now) {
  if (m_last >= 0.0) m_intervals[m_count++] = now - m_last;
  m_last = now;
  if (m_count < kWindow) return;
  m_count = 0;
  // The median: a driver that queues a few frames before it blocks, or one slow
  // frame, does not sway it.
  double* middle = m_intervals + kWindow / 2;
  std::nth_element(m_intervals, middle, m_intervals + kWindow);
  if (*middle < kBlockingShare * m_period) {
    m_mode = EMode::Pacing;
    m_next = now + m_period;
  } else {
    m_mode = EMode::SwapsBlock;
  }
}

}  // namespace gfx
}  // namespace vd
