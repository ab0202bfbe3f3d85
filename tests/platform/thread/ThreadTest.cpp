#include "platform/thread/Thread.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

TEST(Event, AutoResetCollapsesRepeatedSetsAndReleasesOneWait) {
  plat::Event e(false, false);
  e.Set();
  e.Set();
  EXPECT_EQ(e.Wait(0), plat::WaitResult::Signalled);
  EXPECT_EQ(e.Wait(10), plat::WaitResult::TimedOut);
}

TEST(Event, ManualResetStaysSignalledUntilReset) {
  plat::Event e(true, true);
  EXPECT_EQ(e.Wait(0), plat::WaitResult::Signalled);
  EXPECT_EQ(e.Wait(0), plat::WaitResult::Signalled);
  e.Reset();
  EXPECT_EQ(e.Wait(5), plat::WaitResult::TimedOut);
}

TEST(Event, WakesAWaiterOnAnotherThread) {
  plat::Event e(false, false);
  plat::Thread t;
  ASSERT_TRUE(t.Start([&] { return e.Wait() == plat::WaitResult::Signalled ? 7u : 0u; }));
  e.Set();
  EXPECT_EQ(t.Wait(5000), plat::WaitResult::Signalled);
  EXPECT_EQ(t.ExitCode(), 7u);
}

TEST(Thread, ReportsStillActiveWhileRunningAndCanBeGivenUp) {
  plat::Event release(false, false);
  std::atomic<bool> finished{false};
  {
    plat::Thread t;
    ASSERT_TRUE(t.Start([&] {
      release.Wait();
      finished = true;
      return 3u;
    }));
    EXPECT_EQ(t.ExitCode(), plat::kStillActive);
    EXPECT_EQ(t.Wait(20), plat::WaitResult::TimedOut);
    EXPECT_TRUE(t.Running());
    t.Release();  // detached, not terminated
  }
  release.Set();
  for (int i = 0; i < 500 && !finished; ++i) plat::Sleep(2);
  EXPECT_TRUE(finished);
}

TEST(WaitForEventOrThreadEnd, ReturnsWhenEitherHappens) {
  // The event arrives.
  plat::Event e(false, false);
  plat::Event hold(false, false);
  plat::Thread t;
  ASSERT_TRUE(t.Start([&] {
    e.Set();
    hold.Wait();
    return 0u;
  }));
  EXPECT_EQ(plat::WaitForEventOrThreadEnd(e, t), plat::WaitResult::Signalled);
  hold.Set();
  t.Wait();

  // The thread ends without setting the event: no hang.
  plat::Event never(false, false);
  plat::Thread quitter;
  ASSERT_TRUE(quitter.Start([] {
    plat::Sleep(20);
    return 1u;
  }));
  EXPECT_EQ(plat::WaitForEventOrThreadEnd(never, quitter), plat::WaitResult::TimedOut);
  EXPECT_EQ(quitter.Wait(1000), plat::WaitResult::Signalled);

  // Neither: the time-out.
  plat::Event idle(false, false);
  plat::Event stop(false, false);
  plat::Thread sleeper;
  ASSERT_TRUE(sleeper.Start([&] {
    stop.Wait();
    return 0u;
  }));
  EXPECT_EQ(plat::WaitForEventOrThreadEnd(idle, sleeper, 20), plat::WaitResult::TimedOut);
  stop.Set();
  sleeper.Wait();
}

TEST(CriticalSection, IsReentrantAndExcludesOtherThreads) {
  plat::CriticalSection cs;
  cs.Enter();
  cs.Enter();
  std::atomic<bool> got{true};
  plat::Thread t;
  ASSERT_TRUE(t.Start([&] {
    got = cs.TryEnter();
    if (got) cs.Leave();
    return 0u;
  }));
  t.Wait();
  EXPECT_FALSE(got);
  cs.Leave();
  cs.Leave();
  ASSERT_TRUE(t.Start([&] {
    got = cs.TryEnter();
    if (got) cs.Leave();
    return 0u;
  }));
  t.Wait();
  EXPECT_TRUE(got);
}

// The fair release yields only while another thread waits to enter: the section
// knows its waiters, and the owner re-entering is not one.
TEST(CriticalSection, KnowsWhetherAnotherThreadWaits) {
  plat::CriticalSection cs;
  cs.Enter();
  cs.Enter();
  EXPECT_FALSE(cs.HasWaiters());
  std::atomic<bool> inside{false};
  plat::Thread t;
  ASSERT_TRUE(t.Start([&] {
    cs.Enter();
    inside = true;
    cs.LeaveFair();
    return 0u;
  }));
  for (int i = 0; i < 5000 && !cs.HasWaiters(); ++i) plat::Sleep(1);
  EXPECT_TRUE(cs.HasWaiters());
  cs.LeaveFair();
  EXPECT_FALSE(inside);
  cs.LeaveFair();
  t.Wait();
  EXPECT_TRUE(inside);
  EXPECT_FALSE(cs.HasWaiters());
}

}  // namespace
