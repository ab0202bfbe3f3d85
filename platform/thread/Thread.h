#pragma once
// Windows-style threading: auto/manual-reset events, re-entrant critical sections
// and threads whose owner may give up waiting for them.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace plat {

enum class WaitResult { Signalled, TimedOut };
constexpr uint32_t kInfinite = 0xFFFFFFFFu;
constexpr uint32_t kStillActive = 259;

// An event that does not count: repeated Sets before a Wait collapse into one.
class Event {
public:
  Event(bool manualReset, bool initialState, const char* name = nullptr);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  WaitResult Wait(uint32_t ms = kInfinite);
  const char* Name() const { return m_name; }

private:
  friend class Thread;
  friend WaitResult WaitForEventOrThreadEnd(Event&, class Thread&, uint32_t);
  std::mutex m_mutex;
  std::condition_variable m_cond;
  bool m_manual;
  // Written under the mutex; read without it only to decide whether a short spin
  // may end before the wait blocks.
  std::atomic<bool> m_signalled;
  const char* m_name;
};

class CriticalSection {
public:
  void Enter();
  bool TryEnter() { return m_mutex.try_lock(); }
  void Leave() { m_mutex.unlock(); }
  // Leaves, and yields when another thread was waiting to enter so that it runs
  // next; an uncontended release costs no system call.
  void LeaveFair();
  // True while another thread is blocked in Enter.
  bool HasWaiters() const { return m_waiters.load(std::memory_order_relaxed) > 0; }

private:
  std::recursive_mutex m_mutex;
  std::atomic<int> m_waiters{0};
};

class Thread {
public:
  using Proc = std::function<uint32_t()>;
  Thread() = default;
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Starts the procedure; false when a thread is already running or cannot start.
  bool Start(Proc proc);
  // Waits for the end of the thread; TimedOut while it still runs.
  WaitResult Wait(uint32_t ms = kInfinite);
  // The procedure's result once it has ended, kStillActive while it runs.
  uint32_t ExitCode() const;
  bool Started() const { return m_state != nullptr; }
  bool Running() const;
  // Lowest priority for loading threads; best effort.
  void SetLowestPriority();
  // The thread's nice value, from now on and from its start when it has not begun
  // yet: above 0 it yields the CPU to normal threads without ever being starved by
  // them, 0 is normal again. Best effort: false when the system refused (lowering a
  // raised value may need privileges).
  bool SetNice(int nice);
  // The thread's nice value as the system has it; 0 when it cannot tell.
  int GetNice() const;
  // Gives up the thread: a running one is detached, never terminated.
  void Release();

private:
  struct State;
  std::shared_ptr<State> m_state;
  std::thread m_thread;
  friend WaitResult WaitForEventOrThreadEnd(Event&, Thread&, uint32_t);
};

// Waits until the event is signalled (consuming it when auto-reset) or the thread
// has ended, whichever comes first. Signalled only for the event.
WaitResult WaitForEventOrThreadEnd(Event& event, Thread& thread, uint32_t ms = kInfinite);

void Sleep(uint32_t ms);
void Yield();  // Sleep(0)

using ThreadId = uint64_t;
ThreadId CurrentThreadId();

}  // namespace plat
