#include "engine/events/EventManager.h"

#include <algorithm>
#include <exception>
#include <luabind/luabind.hpp>

#include "engine/core/EngineNames.h"
#include "engine/core/Locks.h"
#include "engine/core/Log.h"
#include "engine/script/ScriptManager.h"

namespace vd {
namespace evn {

namespace {
constexpr size_t kReserve = 20;

lgc::CScriptManager* LiveHost() {
  lgc::CScriptManager* host = lgc::CScriptManager::GetInstance();
  return host && host->GetState() ? host : nullptr;
}

// A listener that throws does not stop the delivery to the others.
void SafeHandle(IEventListener* listener, IEvent* event) {
  try {
    listener->HandleEvent(event);
  } catch (const std::exception& e) {
    const char* name = event->GetName();
    utl::LogPrintf("Event %s: a listener failed: %s\n", name ? name : "(unnamed)", e.what());
  }
}
}  // namespace

// Script host listener -----------------------------------------------------------

void CScriptHostListener::HandleEvent(IEvent* event) {
  lgc::CScriptManager* host = LiveHost();
  if (!host || !event) return;
  const int mode = *event->GetScriptMode();
  if ((mode == kScriptModeScriptsOnly || mode == kScriptModeScriptsAndListeners) &&
      !m_manager.IsLuaHandlerDone(event)) {
    sys::CScopedLock lock(sys::kLockLua);
    const char* name = event->GetName();
    if (host->HasGlobalFunction(name)) host->CallGlobalFunction(name, event->GetLuaObject());
  }
  if (event->GetType() == SH_OnSaveCheckPoint) {
    host->SaveGlobals();
  } else if (event->GetType() == SH_OnLoadCheckPoint) {
    host->RestoreGlobals();
  }
}

// Manager -----------------------------------------------------------------------

CEventManager::CEventManager() : m_scriptListener(*this) { SetInstance(this); }

CEventManager::~CEventManager() {
  Clear();
  utl::DeleteFactoryMakers(factories);
  ClearInstance(this);
}

bool CEventManager::Init() {
  Clear();
  for (auto& queue : m_queues) queue.reserve(kReserve);
  m_timers.reserve(kReserve);
  m_newTimers.reserve(kReserve);
  if (!m_scriptListenerAdded) {
    AddListener(&m_scriptListener, SH_OnSaveCheckPoint);
    AddListener(&m_scriptListener, SH_OnLoadCheckPoint);
    AddListener(&m_scriptListener, SH_OnTimer);
    m_scriptListenerAdded = true;
  }
  return true;
}

void CEventManager::ReleaseAll(std::vector<IEvent*>& events) {
  // Release may run code that posts; take the list first.
  std::vector<IEvent*> doomed;
  doomed.swap(events);
  for (IEvent* event : doomed) {
    if (event) event->Release();
  }
  doomed.clear();
  if (events.empty()) events.swap(doomed);  // keep the capacity
}

template <class Vector>
void CEventManager::ReleaseTimers(Vector& timers) {
  Vector doomed;
  doomed.swap(timers);
  for (CEventTimer* timer : doomed) {
    if (timer) timer->Release();
  }
  doomed.clear();
  if (timers.empty()) timers.swap(doomed);
}

void CEventManager::Clear() {
  ReleaseAll(m_queues[0]);
  ReleaseAll(m_queues[1]);
  ReleaseTimers(m_timers);
  ReleaseTimers(m_newTimers);
  m_current = 0;
  // Whatever Update is walking goes too, once the event in hand is delivered.
  m_stopWalk = true;
  m_stopTimers = true;
}

void CEventManager::AddListener(IEventListener* listener, const CStringHash& type) {
  if (!listener) return;
  SListeners& list = m_listeners[type.GetHash()];
  list.order.push_back(listener);
  ++list.subscriptions[listener];
  ++m_listenerChanges;
}

void CEventManager::RemoveListener(const CStringHash& type, IEventListener* listener) {
  auto it = m_listeners.find(type.GetHash());
  if (it == m_listeners.end()) return;
  SListeners& list = it->second;
  auto found = std::find(list.order.begin(), list.order.end(), listener);
  if (found == list.order.end()) return;
  list.order.erase(found);
  auto count = list.subscriptions.find(listener);
  if (--count->second == 0) list.subscriptions.erase(count);
  if (list.order.empty() && it->first != SH_event_all.GetHash()) m_listeners.erase(it);
  ++m_listenerChanges;
}

size_t CEventManager::ListenerCount(const CStringHash& type) const {
  auto it = m_listeners.find(type.GetHash());
  return it == m_listeners.end() ? 0 : it->second.order.size();
}

bool CEventManager::IsSubscribed(uint32_t type, const IEventListener* listener) const {
  auto it = m_listeners.find(type);
  return it != m_listeners.end() && it->second.subscriptions.count(listener) != 0;
}

void CEventManager::CallTarget(uint32_t type, IEvent* event, IEventListener* target) {
  auto it = m_listeners.find(type);
  if (it == m_listeners.end()) return;
  auto found = it->second.subscriptions.find(target);
  if (found == it->second.subscriptions.end()) return;
  // As many calls as the subscriptions at this moment; the entry may go away
  // while the target handles the event.
  const uint32_t calls = found->second;
  const uint64_t stamp = m_listenerChanges;
  for (uint32_t i = 0; i < calls; ++i) {
    if (m_listenerChanges != stamp && !IsSubscribed(type, target)) continue;
    SafeHandle(target, event);
  }
}

void CEventManager::CallListeners(uint32_t type, IEvent* event) {
  auto it = m_listeners.find(type);
  if (it == m_listeners.end() || it->second.order.empty()) return;
  // Handlers may subscribe and unsubscribe: walk a copy, and skip a listener that
  // has left the live list since.
  if (m_depth == m_snapshots.size()) m_snapshots.emplace_back();
  std::vector<IEventListener*>& snapshot = m_snapshots[m_depth];
  snapshot.assign(it->second.order.begin(), it->second.order.end());
  struct SDepth {
    size_t& depth;
    ~SDepth() { --depth; }
  } guard{++m_depth};
  const uint64_t stamp = m_listenerChanges;
  for (IEventListener* listener : snapshot) {
    if (m_listenerChanges != stamp && !IsSubscribed(type, listener)) continue;
    SafeHandle(listener, event);
  }
}

void CEventManager::Deliver(IEvent* event, bool honourTarget) {
  IEventListener* target = honourTarget ? event->GetTarget() : nullptr;
  if (target) {
    CallTarget(event->GetType().GetHash(), event, target);
    return;
  }
  CallListeners(SH_event_all.GetHash(), event);
  CallListeners(event->GetType().GetHash(), event);
}

void CEventManager::PostEvent(IEvent* event) {
  if (event) m_queues[(m_current + 1) % 2].push_back(event);
}

void CEventManager::DispatchEvent(IEvent* event) {
  if (event) Deliver(event, true);
}

void CEventManager::AddTimerEvent(const CStringHash& name, float delay, IEventListener* destination,
                                  const char* data, uintptr_t tag) {
  m_newTimers.push_back(CEventTimer::New(name, delay, destination, data, tag));
}

IEvent* CEventManager::CreateEvent(const CStringHash& className) {
  return utl::CreateByName(factories, className);
}

void CEventManager::CallLuaHandler(IEvent* event) {
  lgc::CScriptManager* host = LiveHost();
  if (!host) return;
  sys::CScopedLock lock(sys::kLockLua);
  const char* name = event->GetName();
  // The table is built only for a handler that exists.
  if (host->HasGlobalFunction(name)) host->CallGlobalFunction(name, event->GetLuaObject());
}

IEvent* CEventManager::MakeForScript(const char* name, const luabind::object& data) {
  CStringHash className(name);
  IEvent* event = CreateEventFromLua(factories, className, data);
  if (!event) {
    CEventScriptOnly* scriptOnly = CEventScriptOnly::New();
    scriptOnly->SetData(name, data);
    event = scriptOnly;
  }
  return event;
}

void CEventManager::TriggerEvent(const char* name, const luabind::object& data) {
  PostEvent(MakeForScript(name, data));
}

void CEventManager::TriggerEventImmediate(const char* name, const luabind::object& data) {
  IEvent* event = MakeForScript(name, data);
  Deliver(event, false);
  event->Release();
}

void CEventManager::TriggerEventTimer(const char* name, float delay, const char* destination) {
  TriggerEventTimerEx(name, delay, destination, "");
}

void CEventManager::TriggerEventTimerEx(const char* name, float delay, const char* destination,
                                        const char* data) {
  IEventListener* target = nullptr;
  const SEventWorldHooks& hooks = GetEventWorldHooks();
  if (destination && destination[0] && hooks.findListenerByName) {
    target = hooks.findListenerByName(destination);
  }
  CEventTimer* timer = CEventTimer::New(CStringHash(), delay, target, nullptr, 0);
  // The script's strings may be collected before the timer fires.
  timer->name = name;
  timer->name.MakeOwned();
  timer->data.Copy(data ? data : "");
  m_newTimers.push_back(timer);
}

bool CEventManager::Update(float dt) {
  m_current = (m_current + 1) % 2;
  m_walking.swap(m_queues[m_current]);
  m_stopWalk = false;
  for (size_t i = 0; i < m_walking.size() && !m_stopWalk; ++i) {
    IEvent* event = m_walking[i];
    const bool load = event->GetType() == SH_OnLoadCheckPoint;
    if (load) {
      ReleaseAll(m_queues[(m_current + 1) % 2]);
      ReleaseTimers(m_timers);
      ReleaseTimers(m_newTimers);
    }
    if (!event->GetTarget()) {
      const int mode = *event->GetScriptMode();
      const bool scripted =
          mode == kScriptModeScriptsOnly || mode == kScriptModeScriptsAndListeners;
      if (scripted) CallLuaHandler(event);
      IEvent* previous = m_luaHandledEvent;
      if (scripted) m_luaHandledEvent = event;
      Deliver(event, false);
      m_luaHandledEvent = previous;
    } else {
      Deliver(event, true);
    }
    if (load) break;
  }
  ReleaseAll(m_walking);

  if (!m_timersPaused) {
    m_timers.insert(m_timers.end(), m_newTimers.begin(), m_newTimers.end());
    m_newTimers.clear();
    m_firing.swap(m_timers);
    m_stopTimers = false;
    for (size_t i = 0; i < m_firing.size() && !m_stopTimers; ++i) {
      CEventTimer* timer = m_firing[i];
      timer->remaining -= dt;
      if (timer->remaining <= 0.0f) {
        m_firing[i] = nullptr;
        DispatchEvent(timer);
        timer->Release();
      }
    }
    if (m_stopTimers) {
      // A handler cleared the manager: the timers being walked go as well.
      ReleaseTimers(m_firing);
    } else {
      for (CEventTimer* timer : m_firing) {
        if (timer) m_timers.push_back(timer);
      }
      m_firing.clear();
    }
  }
  return true;
}

// Lua ---------------------------------------------------------------------------

namespace {
CEventManager* GetEventManagerForScripts() { return CEventManager::GetInstance(); }
}  // namespace

void RegisterEventBindings(lua_State* state) {
  luabind::module(state)[luabind::class_<CEventManager>("EventManager")
                             .def("TriggerEvent", &CEventManager::TriggerEvent)
                             .def("TriggerEventImmediate", &CEventManager::TriggerEventImmediate)
                             .def("TriggerEventTimer", &CEventManager::TriggerEventTimer)
                             .def("TriggerEventTimerEx", &CEventManager::TriggerEventTimerEx),
                         luabind::def("GetEventManager", &GetEventManagerForScripts)];
}

void PostOrRelease(IEvent* event) {
  if (!event) return;
  if (CEventManager* events = CEventManager::GetInstance()) {
    events->PostEvent(event);
  } else {
    event->Release();
  }
}

void SetSubscribed(IEventListener* listener, const CStringHash* types, size_t count, bool on,
                   uint8_t& subscribed) {
  CEventManager* events = CEventManager::GetInstance();
  if (!listener || !events || (on ? subscribed != 0 : subscribed == 0)) return;
  for (size_t i = 0; i < count; ++i) {
    if (on) {
      events->AddListener(listener, types[i]);
    } else {
      events->RemoveListener(types[i], listener);
    }
  }
  subscribed = on ? 1 : 0;
}

}  // namespace evn
}  // namespace vd
