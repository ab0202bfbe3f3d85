#pragma once
// The one dispatcher: events posted during a frame are delivered in the next one,
// first to the Lua function named after them, then to the catch-all listeners and
// the listeners of their type (or only to their target). It also runs the timers
// and makes events by class name for the scripts.
#include <cstdint>
#include <deque>
#include <luabind/object.hpp>
#include <map>
#include <unordered_map>
#include <vector>

#include "engine/core/FactoryMaker.h"
#include "engine/core/Singleton.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/Event.h"

struct lua_State;

namespace vd {
namespace evn {

class CEventManager;

// The script host's side of the events: calls the Lua function named after the
// event (unless the dispatch already did for this very event) and snapshots or
// restores the Lua globals at checkpoints. Subscribed by the manager's Init to
// "OnSaveCheckPoint", "OnLoadCheckPoint" and "OnTimer".
class CScriptHostListener : public IEventListener {
public:
  explicit CScriptHostListener(CEventManager& manager) : m_manager(manager) {}
  void HandleEvent(IEvent* event) override;

private:
  CEventManager& m_manager;
};

class CEventManager : public utl::CSingleton<CEventManager> {
public:
  // The newest manager is the one the scripts reach through "GetEventManager".
  CEventManager();
  ~CEventManager();
  CEventManager(const CEventManager&) = delete;
  CEventManager& operator=(const CEventManager&) = delete;

  // Clear, reserve room, and subscribe the script host's listener (once).
  bool Init();
  // Releases every pending event and timer. Safe from inside a handler: the
  // events being delivered are released when their delivery ends.
  void Clear();

  void AddListener(IEventListener* listener, const CStringHash& type);
  void RemoveListener(const CStringHash& type, IEventListener* listener);

  // Takes the event; it is delivered in the next Update.
  void PostEvent(IEvent* event);
  // Delivers now to the listeners only (no Lua call); does not release.
  void DispatchEvent(IEvent* event);
  // The texts are borrowed and must outlive the timer; `tag` is carried unread.
  void AddTimerEvent(const CStringHash& name, float delay, IEventListener* destination,
                     const char* data, uintptr_t tag);
  // A fresh event of the class with that name hash; null when no maker knows it.
  IEvent* CreateEvent(const CStringHash& className);

  // Lua: a class name known to a maker makes that event from the table;
  // any other name makes a script-only event carrying the value.
  void TriggerEvent(const char* name, const luabind::object& data);
  void TriggerEventImmediate(const char* name, const luabind::object& data);
  void TriggerEventTimer(const char* name, float delay, const char* destination);
  void TriggerEventTimerEx(const char* name, float delay, const char* destination,
                           const char* data);

  // The per-frame dispatch; dt is the frame's clamped, scaled time.
  bool Update(float dt);

  void SetTimersPaused(bool paused) { m_timersPaused = paused ? 1 : 0; }
  bool AreTimersPaused() const { return m_timersPaused != 0; }

  // True while the dispatch has already called the Lua function of this event.
  bool IsLuaHandlerDone(const IEvent* event) const { return event && event == m_luaHandledEvent; }

  size_t PendingCount() const { return m_queues[0].size() + m_queues[1].size(); }
  size_t TimerCount() const { return m_timers.size() + m_newTimers.size(); }
  size_t ListenerCount(const CStringHash& type) const;

  utl::FactoryMap<IEvent> factories;

private:
  IEvent* MakeForScript(const char* name, const luabind::object& data);
  void CallLuaHandler(IEvent* event);
  // Calls every listener of the type, over a copy of the list taken now; a
  // listener removed meanwhile is skipped.
  void CallListeners(uint32_t type, IEvent* event);
  // Calls `target` once per subscription it has to the type, without looking at
  // the other listeners; as above, not after it has left the list.
  void CallTarget(uint32_t type, IEvent* event, IEventListener* target);
  void Deliver(IEvent* event, bool honourTarget);
  bool IsSubscribed(uint32_t type, const IEventListener* listener) const;
  void ReleaseAll(std::vector<IEvent*>& events);
  template <class Vector>
  void ReleaseTimers(Vector& timers);

  uint8_t m_timersPaused = 0;
  // The listeners of one type in subscription order, and how many times each of
  // them is in that list, so that a targeted event finds its target directly.
  struct SListeners {
    std::vector<IEventListener*> order;
    std::unordered_map<const IEventListener*, uint32_t> subscriptions;
  };
  std::map<uint32_t, SListeners> m_listeners;
  std::vector<IEvent*> m_queues[2];
  std::vector<CEventTimer*> m_timers;
  std::vector<CEventTimer*> m_newTimers;
  int m_current = 0;

  // Delivery state: the events and timers being walked by Update, and whether a
  // Clear or a checkpoint load asked the walk to stop.
  std::vector<IEvent*> m_walking;
  std::vector<CEventTimer*> m_firing;
  bool m_stopWalk = false;
  bool m_stopTimers = false;
  IEvent* m_luaHandledEvent = nullptr;
  uint64_t m_listenerChanges = 0;
  std::deque<std::vector<IEventListener*>> m_snapshots;
  size_t m_depth = 0;

  CScriptHostListener m_scriptListener;
  bool m_scriptListenerAdded = false;
};

// The Lua class "EventManager" and the function "GetEventManager"; hand it to
// the script host with AddBindingRegistrar.
void RegisterEventBindings(lua_State* state);

// Posts to the running event manager. Without one (no level, a test without events)
// the event goes back to its pool, so a component working outside a level never
// leaks it. A null event does nothing.
void PostOrRelease(IEvent* event);

// Makes `listener` listen to each of `count` types of the running event manager, or
// stop listening, once: `subscribed` says which it does now and is kept up to date.
// Nothing without an event manager or a listener.
void SetSubscribed(IEventListener* listener, const CStringHash* types, size_t count, bool on,
                   uint8_t& subscribed);

}  // namespace evn
}  // namespace vd
