#pragma once
// The application's four shared critical sections. Each is used only while its
// initialised flag is set; while the flag is clear the guarded code runs unlocked
// (before the render thread has created them, and for Lua outside background loading).
#include <atomic>
#include <cstdint>

#include "platform/thread/Thread.h"

namespace vd {
namespace sys {

enum ELock : int {
  kLockRender = 0,     // render data and the render queues
  kLockEffects = 1,    // the effect-parameter store
  kLockLua = 2,        // the Lua state, while the loading thread runs
  kLockCollision = 3,  // the collision step
  kLockCount = 4
};

class CLockSet {
public:
  // Creates the section unless it exists, and sets its flag.
  void Create(int index);
  // Deletes the section when its flag is set, and clears the flag.
  void Delete(int index);
  // True when the section was entered (its flag was set).
  bool Lock(int index);
  // Leaves the section. The render and effect sections yield when another thread
  // waits for them, so that it runs next.
  void Unlock(int index);
  bool IsInitialised(int index) const;
  void ClearFlags();

private:
  friend class CScopedLock;
  plat::CriticalSection m_sections[kLockCount];
  std::atomic<uint8_t> m_initialised[kLockCount] = {};
};

// The application's set; the application constructor registers its own.
void SetAppLocks(CLockSet* locks);
CLockSet* GetAppLocks();

// Scoped use of one of the application's sections.
class CScopedLock {
public:
  explicit CScopedLock(int index);
  ~CScopedLock();
  CScopedLock(const CScopedLock&) = delete;
  CScopedLock& operator=(const CScopedLock&) = delete;

private:
  CLockSet* m_set;
  int m_index;
  // Leaves only what it entered, even when the flag changes meanwhile.
  bool m_entered = false;
};

}  // namespace sys
}  // namespace vd
