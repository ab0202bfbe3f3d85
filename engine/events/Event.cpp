#include "engine/events/Event.h"

#include <limits>
#include <lua.hpp>
#include <luabind/luabind.hpp>

#include "engine/core/Locks.h"
#include "engine/core/Log.h"
#include "engine/script/ScriptManager.h"

namespace vd {
namespace evn {

namespace {
SEventWorldHooks g_hooks;

[[noreturn]] void Fail(const luabind::object& table, const char* key, const char* expected,
                       const luabind::type_id& type) {
  utl::LogPrintf("Event table: key '%s' is missing or not %s\n", key, expected);
  throw luabind::cast_failed(table.interpreter(), type);
}

}  // namespace

void SetEventWorldHooks(const SEventWorldHooks& hooks) { g_hooks = hooks; }
const SEventWorldHooks& GetEventWorldHooks() { return g_hooks; }

lua_State* GetLuaState() {
  lgc::CScriptManager* host = lgc::CScriptManager::GetInstance();
  return host ? host->GetState() : nullptr;
}

luabind::object& IEventScriptable::GetLuaObject() {
  if (!m_hasTable) ToLua();
  return m_luaObject;
}

namespace lua {

void Read(const luabind::object& table, const char* key, int& out) { out = ReadInt(table, key); }
void Read(const luabind::object& table, const char* key, float& out) {
  out = ReadFloat(table, key);
}
void Read(const luabind::object& table, const char* key, bool& out) { out = ReadBool(table, key); }
void Read(const luabind::object& table, const char* key, CEventText& out) {
  ReadText(table, key, out);
}
void Read(const luabind::object& table, const char* key, CStringHash& out) {
  ReadName(table, key, out);
}
void Write(luabind::object& table, const char* key, int value) { table[key] = value; }
void Write(luabind::object& table, const char* key, float value) { table[key] = value; }
void Write(luabind::object& table, const char* key, bool value) { table[key] = value; }
void Write(luabind::object& table, const char* key, const CEventText& value) {
  SetText(table, key, value.Get());
}
void Write(luabind::object& table, const char* key, const CStringHash& value) {
  SetText(table, key, value.GetText());
}

luabind::object NewTable() {
  lua_State* state = GetLuaState();
  return state ? luabind::newtable(state) : luabind::object();
}

void SetText(luabind::object& table, const char* key, const char* text) {
  if (text) table[key] = text;
}

void RequireTable(const luabind::object& table) {
  if (!table.interpreter() || luabind::type(table) != LUA_TTABLE) {
    utl::LogPrintf("Event table: the value given is not a table\n");
    throw luabind::cast_failed(table.interpreter(), typeid(luabind::object));
  }
}

namespace {
luabind::object Value(const luabind::object& table, const char* key) {
  RequireTable(table);
  return luabind::rawget(table, key);
}
}  // namespace

bool IsSet(const luabind::object& table, const char* key) {
  luabind::object value = Value(table, key);
  const int type = luabind::type(value);
  return type != LUA_TNIL && !(type == LUA_TBOOLEAN && !luabind::object_cast<bool>(value));
}

int ReadInt(const luabind::object& table, const char* key) {
  luabind::object value = Value(table, key);
  if (luabind::type(value) != LUA_TNUMBER) Fail(table, key, "a number", typeid(int));
  // Truncation toward zero, as a C cast does; a number outside the int range (or
  // not a number) would make that cast undefined, so it is clamped (NaN gives 0).
  const double number = luabind::object_cast<double>(value);
  if (!(number == number)) return 0;
  if (number <= static_cast<double>(std::numeric_limits<int>::min())) {
    return std::numeric_limits<int>::min();
  }
  if (number >= static_cast<double>(std::numeric_limits<int>::max())) {
    return std::numeric_limits<int>::max();
  }
  return static_cast<int>(number);
}

float ReadFloat(const luabind::object& table, const char* key) {
  luabind::object value = Value(table, key);
  if (luabind::type(value) != LUA_TNUMBER) Fail(table, key, "a number", typeid(float));
  return static_cast<float>(luabind::object_cast<double>(value));
}

bool ReadBool(const luabind::object& table, const char* key) {
  luabind::object value = Value(table, key);
  if (luabind::type(value) != LUA_TBOOLEAN) Fail(table, key, "a boolean", typeid(bool));
  return luabind::object_cast<bool>(value);
}

void ReadText(const luabind::object& table, const char* key, CEventText& out) {
  luabind::object value = Value(table, key);
  if (luabind::type(value) != LUA_TSTRING) Fail(table, key, "a string", typeid(const char*));
  out.Copy(luabind::object_cast<const char*>(value));
}

void ReadName(const luabind::object& table, const char* key, CStringHash& out) {
  luabind::object value = Value(table, key);
  if (luabind::type(value) != LUA_TSTRING) Fail(table, key, "a string", typeid(const char*));
  out = luabind::object_cast<const char*>(value);
  out.MakeOwned();
}

}  // namespace lua

IEvent* CreateEventFromLua(const utl::FactoryMap<IEvent>& makers, const CStringHash& className,
                           const luabind::object& data) {
  IEvent* event = utl::CreateByName(makers, className);
  if (!event) return nullptr;
  try {
    event->FromLua(data);
  } catch (const luabind::cast_failed&) {
    utl::LogPrintf("Event %s could not be made from the script's table\n", className.c_str());
    event->Release();
    throw;
  }
  return event;
}

}  // namespace evn
}  // namespace vd
