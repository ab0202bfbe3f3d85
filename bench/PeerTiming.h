// Timing of a measured piece of work beside its peer in the same run: rounds that
// alternate between the two, on this thread's CPU clock, so that other processes on
// the core do not count.
#pragma once

#include <time.h>

#include <algorithm>
#include <vector>

namespace bench {

struct SPerItem {
  double own = 0.0;
  double peer = 0.0;
};

inline double ThreadCpuNs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// Nanoseconds per item of `own` and of `peer` (each handles `perCall` items a call),
// as the medians of rounds that alternate between them.
template <class Own, class Peer>
SPerItem MeasureAgainstPeer(int perCall, Own own, Peer peer) {
  constexpr int kRounds = 9;
  const int calls = std::max(1, 100000 / perCall);
  auto time = [&](auto& work) {
    const double start = ThreadCpuNs();
    for (int i = 0; i < calls; ++i) work();
    return (ThreadCpuNs() - start) / (static_cast<double>(calls) * perCall);
  };
  std::vector<double> ownTimes, peerTimes;
  for (int r = 0; r < kRounds; ++r) {
    ownTimes.push_back(time(own));
    peerTimes.push_back(time(peer));
  }
  auto median = [](std::vector<double>& v) {
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
  };
  return {median(ownTimes), median(peerTimes)};
}

}  // namespace bench
