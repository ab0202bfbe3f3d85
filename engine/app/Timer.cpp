#include "engine/app/Timer.h"

#include <chrono>

namespace vd {
namespace sys {

namespace {
constexpr float kSecondsPerCount = 1e-9f;
}  // namespace

int64_t CTimer::SteadyNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::mutex CTimer::s_lock;
float CTimer::s_accumulatedTime = 0.0f;
float CTimer::s_accumulatedTicks = 0.0f;

bool CTimer::Start() {
  std::lock_guard<std::mutex> lock(s_lock);
  frameTime = 0.0f;
  lastCount = clock();
  slowMotion = 0;
  slowMotionScale = 1.0f;
  secondsPerCount = kSecondsPerCount;
  return true;
}

void CTimer::Restart() {
  std::lock_guard<std::mutex> lock(s_lock);
  frameTime = 0.0f;
  lastCount = clock();
}

void CTimer::Reset() {
  std::lock_guard<std::mutex> lock(s_lock);
  frameTime = 0.0f;
  lastCount = clock();
  slowMotion = 0;
  slowMotionScale = 1.0f;
}

void CTimer::Tick() {
  std::lock_guard<std::mutex> lock(s_lock);
  const int64_t now = clock();
  const float elapsed = static_cast<float>(now - lastCount.load()) * secondsPerCount.load();
  frameTime = elapsed;
  lastCount = now;
  s_accumulatedTime += elapsed;
  s_accumulatedTicks += 1.0f;
  if (s_accumulatedTime > 1.0f) {
    s_accumulatedTime = 0.0f;
    s_accumulatedTicks = 0.0f;
    secondsPerCount = kSecondsPerCount;
  }
}

float CTimer::GetGameTime(bool applySlowMotion) const {
  float t = frameTime.load();
  if (t > kMaxFrameTime) t = kMaxFrameTime;
  if (t < 0.0f) t = 0.0f;
  if (applySlowMotion && slowMotion.load()) t *= slowMotionScale.load();
  return t;
}

}  // namespace sys
}  // namespace vd
