#include "platform/thread/Thread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>

namespace plat {

Event::Event(bool manualReset, bool initialState, const char* name)
    : m_manual(manualReset), m_signalled(initialState), m_name(name) {}

void Event::Set() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_signalled = true;
  }
  if (m_manual)
    m_cond.notify_all();
  else
    m_cond.notify_one();
}

void Event::Reset() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_signalled = false;
}

namespace {
// A thread that may run on one processor only keeps the one that would set the
// event from running while it spins.
bool MaySpin() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return true;
  return CPU_COUNT(&allowed) > 1;
}
}  // namespace

WaitResult Event::Wait(uint32_t ms) {
  // The frame hand-off sets its events a few microseconds apart: a short spin saves
  // the sleeping thread's wake-up, which costs more than the spin. It is bounded in
  // time, not in pauses: a pause lasts from a few cycles to over a hundred.
  if (ms != 0 && !m_signalled.load(std::memory_order_acquire) && MaySpin()) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(20);
    for (int i = 1; !m_signalled.load(std::memory_order_acquire); ++i) {
#if defined(__x86_64__) || defined(__i386__)
      __builtin_ia32_pause();
#endif
      if (i % 32 == 0 && std::chrono::steady_clock::now() >= until) break;
    }
  }
  std::unique_lock<std::mutex> lock(m_mutex);
  auto ready = [this] { return m_signalled.load(); };
  if (ms == kInfinite) {
    m_cond.wait(lock, ready);
  } else if (!m_cond.wait_for(lock, std::chrono::milliseconds(ms), ready)) {
    return WaitResult::TimedOut;
  }
  if (!m_manual) m_signalled = false;
  return WaitResult::Signalled;
}

void CriticalSection::Enter() {
  if (m_mutex.try_lock()) return;
  m_waiters.fetch_add(1, std::memory_order_relaxed);
  m_mutex.lock();
  m_waiters.fetch_sub(1, std::memory_order_relaxed);
}

void CriticalSection::LeaveFair() {
  const bool waited = HasWaiters();
  m_mutex.unlock();
  if (waited) Yield();
}

struct Thread::State {
  std::mutex mutex;
  std::condition_variable cond;
  std::atomic<bool> ended{false};
  uint32_t exitCode = kStillActive;
  // Set while someone waits for "event or thread end" so that the end wakes them.
  Event* watcher = nullptr;
  // The system's id of the thread once it runs, and a nice value asked for before.
  std::atomic<int> tid{0};
  std::atomic<bool> niceAsked{false};
  std::atomic<int> nice{0};
};

Thread::~Thread() { Release(); }

bool Thread::Start(Proc proc) {
  if (m_state && !m_state->ended) return false;
  Release();
  auto state = std::make_shared<State>();
  try {
    m_thread = std::thread([state, proc = std::move(proc)] {
      // Whichever of this and SetNice comes second applies the value.
      state->tid = static_cast<int>(syscall(SYS_gettid));
      if (state->niceAsked)
        setpriority(PRIO_PROCESS, static_cast<id_t>(state->tid.load()), state->nice);
      uint32_t code = proc();
      Event* watcher = nullptr;
      {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->ended = true;
        state->exitCode = code;
        watcher = state->watcher;
        if (watcher) {
          // Wake the waiter of the watched event without signalling it.
          std::lock_guard<std::mutex> evLock(watcher->m_mutex);
          watcher->m_cond.notify_all();
        }
      }
      state->cond.notify_all();
    });
  } catch (...) {
    return false;
  }
  m_state = state;
  return true;
}

WaitResult Thread::Wait(uint32_t ms) {
  if (!m_state) return WaitResult::Signalled;
  {
    std::unique_lock<std::mutex> lock(m_state->mutex);
    auto ended = [this] { return m_state->ended.load(); };
    if (ms == kInfinite) {
      m_state->cond.wait(lock, ended);
    } else if (!m_state->cond.wait_for(lock, std::chrono::milliseconds(ms), ended)) {
      return WaitResult::TimedOut;
    }
  }
  if (m_thread.joinable()) m_thread.join();
  return WaitResult::Signalled;
}

uint32_t Thread::ExitCode() const {
  if (!m_state) return 0;
  std::lock_guard<std::mutex> lock(m_state->mutex);
  return m_state->exitCode;
}

bool Thread::Running() const {
  if (!m_state) return false;
  std::lock_guard<std::mutex> lock(m_state->mutex);
  return !m_state->ended;
}

void Thread::SetLowestPriority() {
  if (!m_thread.joinable()) return;
  sched_param param{};
  param.sched_priority = 0;
  pthread_setschedparam(m_thread.native_handle(), SCHED_IDLE, &param);
}

bool Thread::SetNice(int nice) {
  if (!m_state) return false;
  m_state->nice = nice;
  m_state->niceAsked = true;
  const int tid = m_state->tid;
  if (tid == 0) return true;  // the thread applies it when it starts
  if (m_state->ended) return false;
  return setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice) == 0;
}

int Thread::GetNice() const {
  if (!m_state || m_state->tid == 0 || m_state->ended) return 0;
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(m_state->tid.load()));
  return errno == 0 ? nice : 0;
}

void Thread::Release() {
  if (m_thread.joinable()) {
    bool ended;
    {
      std::lock_guard<std::mutex> lock(m_state->mutex);
      ended = m_state->ended.load();
    }
    if (ended)
      m_thread.join();
    else
      m_thread.detach();
  }
  m_state.reset();
}

WaitResult WaitForEventOrThreadEnd(Event& event, Thread& thread, uint32_t ms) {
  std::shared_ptr<Thread::State> state = thread.m_state;
  if (state) {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->watcher = &event;
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  WaitResult result = WaitResult::TimedOut;
  {
    std::unique_lock<std::mutex> lock(event.m_mutex);
    // Read without the thread's lock: the ending thread takes its lock before the
    // event's, so taking them the other way round here could deadlock.
    auto threadEnded = [&] { return !state || state->ended.load(); };
    for (;;) {
      if (event.m_signalled) {
        if (!event.m_manual) event.m_signalled = false;
        result = WaitResult::Signalled;
        break;
      }
      if (threadEnded()) break;
      if (ms == kInfinite) {
        event.m_cond.wait(lock);
      } else if (event.m_cond.wait_until(lock, deadline) == std::cv_status::timeout) {
        if (event.m_signalled) continue;
        break;
      }
    }
  }
  if (state) {
    std::lock_guard<std::mutex> lock(state->mutex);
    if (state->watcher == &event) state->watcher = nullptr;
  }
  return result;
}

void Sleep(uint32_t ms) {
  if (ms == 0) {
    Yield();
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void Yield() { sched_yield(); }

ThreadId CurrentThreadId() {
  return static_cast<ThreadId>(std::hash<std::thread::id>()(std::this_thread::get_id()));
}

}  // namespace plat
