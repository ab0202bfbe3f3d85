#include "engine/core/Locks.h"

namespace vd {
namespace sys {

namespace {
std::atomic<CLockSet*> g_locks{nullptr};
bool Valid(int index) { return index >= 0 && index < kLockCount; }

// The logic and render threads hand each frame to one another and both take the
// render and effect sections: a release that the other one waits for yields, so
// that it enters next instead of the releasing thread taking the section back at
// once. Nothing is handed over on the Lua and collision sections, where a yield
// only delays the releasing thread.
void Leave(plat::CriticalSection& section, int index) {
  if (index == kLockRender || index == kLockEffects) {
    section.LeaveFair();
  } else {
    section.Leave();
  }
}
}  // namespace

void CLockSet::Create(int index) {
  if (!Valid(index)) return;
  m_initialised[index] = 1;
}

void CLockSet::Delete(int index) {
  if (!Valid(index)) return;
  m_initialised[index] = 0;
}

bool CLockSet::Lock(int index) {
  if (!Valid(index) || !m_initialised[index]) return false;
  m_sections[index].Enter();
  return true;
}

void CLockSet::Unlock(int index) {
  if (Valid(index) && m_initialised[index]) Leave(m_sections[index], index);
}

bool CLockSet::IsInitialised(int index) const { return Valid(index) && m_initialised[index]; }

void CLockSet::ClearFlags() {
  for (auto& flag : m_initialised) flag = 0;
}

void SetAppLocks(CLockSet* locks) { g_locks = locks; }
CLockSet* GetAppLocks() { return g_locks.load(); }

CScopedLock::CScopedLock(int index) : m_set(GetAppLocks()), m_index(index) {
  if (m_set) m_entered = m_set->Lock(m_index);
}

CScopedLock::~CScopedLock() {
  if (m_entered) Leave(m_set->m_sections[m_index], m_index);
}

}  // namespace sys
}  // namespace vd
