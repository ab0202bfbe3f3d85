#pragma once
// The event model: listeners, the pooled event record, script modes, targets and
// the conversion of events to and from Lua tables.
#include <cstdint>
#include <cstring>
#include <luabind/object.hpp>
#include <utility>

#include "engine/core/DataPool.h"
#include "engine/core/FactoryMaker.h"
#include "engine/core/Locks.h"
#include "engine/core/StringHash.h"

struct lua_State;

namespace vd {
namespace obj {
class CGameObject;
}

namespace evn {

class IEvent;

// Everything that receives events.
class IEventListener {
public:
  virtual ~IEventListener() = default;
  // The event belongs to the caller; do not keep the pointer after returning.
  virtual void HandleEvent(IEvent* event) { (void)event; }
};

// Who sees an event: scripts only, or scripts and the listeners. GetScriptMode
// points at one of these.
inline constexpr int kScriptModeScriptsOnly = 1;
inline constexpr int kScriptModeScriptsAndListeners = 2;

class IEvent : public mem::IDataPoolElement {
public:
  // Runs the destructors and gives the record back to its pool; releasing it again
  // before the pool hands the slot out anew does nothing. Events are never deleted.
  virtual void Release() = 0;
  virtual bool IsValid() const { return true; }
  // The message name, such as "OnTimer": the key of listeners and Lua handlers.
  virtual const CStringHash& GetType() const = 0;
  virtual const int* GetScriptMode() const = 0;
  // The one listener the event is addressed to; null for a broadcast.
  virtual IEventListener* GetTarget() const = 0;
  // Fills the fields from a Lua table. A required key that is missing or of the
  // wrong type throws luabind::cast_failed; the caller then releases the event.
  virtual bool FromLua(const luabind::object& table) = 0;
  // The text of the message name; null when it has none.
  virtual const char* GetName() const = 0;
  virtual luabind::object& GetLuaObject() = 0;
  virtual void ToLua() = 0;

protected:
  // Released through Release(), never deleted.
  ~IEvent() override = default;
};

// The base of every concrete event: an optional Lua table and whether a script
// supplied it.
class IEventScriptable : public IEvent {
public:
  IEventScriptable() = default;
  IEventScriptable(const IEventScriptable&) = delete;
  IEventScriptable& operator=(const IEventScriptable&) = delete;

  IEventListener* GetTarget() const override { return nullptr; }
  // Builds a fresh table from the fields unless a script gave the table.
  luabind::object& GetLuaObject() override;
  bool HasTable() const { return m_hasTable != 0; }

protected:
  ~IEventScriptable() override = default;

  luabind::object m_luaObject;
  uint8_t m_hasTable = 0;
};

// A text field of an event: borrowed from a poster that keeps it alive, or a copy
// the event owns (every text that comes from Lua, which may collect its string).
class CEventText {
public:
  CEventText() = default;
  // Borrows the text.
  explicit CEventText(const char* borrowed) : m_text(borrowed) {}
  ~CEventText() { Free(); }
  CEventText(const CEventText&) = delete;
  CEventText& operator=(const CEventText&) = delete;

  void Borrow(const char* text) {
    Free();
    m_text = text;
  }
  void Copy(const char* text) {
    Free();
    if (!text) return;
    size_t n = std::strlen(text);
    char* copy = new char[n + 1];
    std::memcpy(copy, text, n + 1);
    m_text = copy;
    m_owned = true;
  }
  const char* Get() const { return m_text; }
  bool Owned() const { return m_owned; }

private:
  void Free() {
    if (m_owned) delete[] m_text;
    m_text = nullptr;
    m_owned = false;
  }

  const char* m_text = nullptr;
  bool m_owned = false;
};

// Where an event reaches the world of game objects, which lives above this
// module: the game-object manager installs these when it exists.
struct SEventWorldHooks {
  // The listener (game object) of that name; null when none.
  IEventListener* (*findListenerByName)(const char* name) = nullptr;
  // The Lua instance of a game object; nil when not given.
  luabind::object (*gameObjectToLua)(lua_State* state, obj::CGameObject* object) = nullptr;
};
void SetEventWorldHooks(const SEventWorldHooks& hooks);
const SEventWorldHooks& GetEventWorldHooks();

// The script host's Lua state; null while it has none.
lua_State* GetLuaState();

// A pooled event class: its pool of chunk size N, release to the pool, and the
// maker's "empty event". Derived provides a default constructor.
template <class Derived, uint32_t N>
class CPooledEvent : public IEventScriptable {
public:
  using Pool = mem::CDataPool<Derived, N>;
  static constexpr uint32_t kChunkSize = N;

  static Pool& GetPool() { return s_pool; }

  // Takes a slot and constructs the event in it.
  template <class... Args>
  static Derived* New(Args&&... args) {
    return s_pool.Construct(std::forward<Args>(args)...);
  }

  void Release() override { s_pool.Destroy(static_cast<Derived*>(this)); }

protected:
  ~CPooledEvent() override = default;

private:
  static inline Pool s_pool;
};

// Converts a table into a new event of the maker's class. On a missing or
// mistyped key the event goes back to its pool, the error is logged with the
// class and key, and luabind::cast_failed goes on to the caller.
IEvent* CreateEventFromLua(const utl::FactoryMap<IEvent>& makers, const CStringHash& className,
                           const luabind::object& data);

namespace lua {
// A new table in the host's state, or an empty object when there is no state.
luabind::object NewTable();
// Sets table[key] to the text; a null text leaves the key unset.
void SetText(luabind::object& table, const char* key, const char* text);

// Table readers of FromLua; they throw luabind::cast_failed on a missing key or a
// value of another type, after logging which key it was.
int ReadInt(const luabind::object& table, const char* key);
float ReadFloat(const luabind::object& table, const char* key);
bool ReadBool(const luabind::object& table, const char* key);
// Copies the string into the field.
void ReadText(const luabind::object& table, const char* key, CEventText& out);
// Copies the string and hashes it; "" gives the no-name value.
void ReadName(const luabind::object& table, const char* key, CStringHash& out);
// True when the value under the key is neither nil nor false.
bool IsSet(const luabind::object& table, const char* key);
// Throws cast_failed when the value is not a table.
void RequireTable(const luabind::object& table);

// Field tables --------------------------------------------------------------------
// A class describes each field once: its Lua key, the member, and which way it
// goes. The shared FromLua reads the table's keys in that order; the shared
// ToLua writes them. Fields that really differ between the two directions are
// written by the class's own hooks.

enum EFieldUse : uint8_t {
  kBothWays,     // read (required) and written
  kIfSet,        // read only when neither nil nor false, and written
  kFromLuaOnly,  // read (required), never written
  kToLuaOnly,    // written, never read
};

template <class C>
struct SField {
  const char* key;  // null ends a table
  EFieldUse use;
  void (*read)(C& event, const luabind::object& table, const char* key);
  void (*write)(const C& event, luabind::object& table, const char* key);
};

void Read(const luabind::object& table, const char* key, int& out);
void Read(const luabind::object& table, const char* key, float& out);
void Read(const luabind::object& table, const char* key, bool& out);
void Read(const luabind::object& table, const char* key, CEventText& out);
void Read(const luabind::object& table, const char* key, CStringHash& out);
void Write(luabind::object& table, const char* key, int value);
void Write(luabind::object& table, const char* key, float value);
void Write(luabind::object& table, const char* key, bool value);
void Write(luabind::object& table, const char* key, const CEventText& value);
void Write(luabind::object& table, const char* key, const CStringHash& value);

template <class M>
struct SMemberOf;
template <class C, class F>
struct SMemberOf<F C::*> {
  using Class = C;
};

// The member, or component 0, 1 or 2 (x, y, z) of a vector member.
template <auto Member, int Component>
auto& Access(typename SMemberOf<decltype(Member)>::Class& event) {
  if constexpr (Component < 0) {
    return event.*Member;
  } else {
    auto& v = event.*Member;
    if constexpr (Component == 0)
      return (v.x);
    else if constexpr (Component == 1)
      return (v.y);
    else
      return (v.z);
  }
}

template <auto Member, int Component = -1>
constexpr SField<typename SMemberOf<decltype(Member)>::Class> Field(const char* key,
                                                                    EFieldUse use = kBothWays) {
  using C = typename SMemberOf<decltype(Member)>::Class;
  return {key, use,
          [](C& event, const luabind::object& table, const char* k) {
            Read(table, k, Access<Member, Component>(event));
          },
          [](const C& event, luabind::object& table, const char* k) {
            Write(table, k, Access<Member, Component>(const_cast<C&>(event)));
          }};
}

// Ends a field table.
template <class C>
constexpr SField<C> kEndOfFields{nullptr, kBothWays, nullptr, nullptr};

template <class C>
void ReadFields(const SField<C>* fields, C& event, const luabind::object& table) {
  for (const SField<C>* f = fields; f->key; ++f) {
    if (f->use == kToLuaOnly) continue;
    if (f->use == kIfSet && !IsSet(table, f->key)) continue;
    f->read(event, table, f->key);
  }
}

template <class C>
void WriteFields(const SField<C>* fields, const C& event, luabind::object& table) {
  for (const SField<C>* f = fields; f->key; ++f) {
    if (f->use != kFromLuaOnly) f->write(event, table, f->key);
  }
}
}  // namespace lua

// A pooled event converted through its class's field table, `Derived::kFields`
// (ended by lua::kEndOfFields). Derived may add FromLuaOwn (run before the
// table's fields) and ToLuaOwn (run after) for the fields that differ between
// the two directions. Each conversion takes the Lua lock once.
template <class Derived, uint32_t N>
class CTableEvent : public CPooledEvent<Derived, N> {
public:
  bool FromLua(const luabind::object& table) override {
    sys::CScopedLock lock(sys::kLockLua);
    Derived& self = static_cast<Derived&>(*this);
    self.FromLuaOwn(table);
    lua::ReadFields(Derived::kFields, self, table);
    return true;
  }
  void ToLua() override {
    sys::CScopedLock lock(sys::kLockLua);
    luabind::object table = lua::NewTable();
    if (table.interpreter()) {
      const Derived& self = static_cast<const Derived&>(*this);
      lua::WriteFields(Derived::kFields, self, table);
      self.ToLuaOwn(table);
    }
    this->m_luaObject = table;
  }

  void FromLuaOwn(const luabind::object&) {}
  void ToLuaOwn(luabind::object&) const {}

protected:
  ~CTableEvent() override = default;
};

}  // namespace evn

namespace utl {
// Event makers draw from the class's pool and set up an empty event.
template <class T>
struct FactoryCreate<T, evn::IEvent> {
  static evn::IEvent* Create() { return T::New(); }
};
}  // namespace utl

}  // namespace vd
