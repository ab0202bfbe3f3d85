#include "engine/events/EngineEvents.h"

#include <lua.hpp>
#include <luabind/luabind.hpp>

#include "engine/core/EngineNames.h"
#include "engine/core/Locks.h"

namespace vd {
namespace evn {

using lua::NewTable;
using lua::SetText;

void InitEngineEventTypes() {
  CEventCollisionEnter::InitType(SH_OnCollisionEnter);
  CEventCollisionStay::InitType(SH_OnCollisionStay);
  CEventCollisionExit::InitType(SH_OnCollisionExit);
  CEventTimer::InitType(SH_OnTimer);
  CEventMovement::InitType(SH_OnMovement);
}

void RegisterEngineEventFactories(utl::FactoryMap<IEvent>& makers) {
  InitEngineEventTypes();
  utl::RegisterFactoryMaker<CEventScriptOnly, IEvent>(makers);
  utl::RegisterFactoryMaker<CEventCollisionEnter, IEvent>(makers);
  utl::RegisterFactoryMaker<CEventCollisionStay, IEvent>(makers);
  utl::RegisterFactoryMaker<CEventCollisionExit, IEvent>(makers);
  utl::RegisterFactoryMaker<CEventTimer, IEvent>(makers);
  utl::RegisterFactoryMaker<CEventMovement, IEvent>(makers);
}

void UnregisterEngineEventFactories(utl::FactoryMap<IEvent>& makers) {
  utl::UnregisterFactoryMaker(SH_CEventScriptOnly, makers);
  utl::UnregisterFactoryMaker(SH_CEventCollisionEnter, makers);
  utl::UnregisterFactoryMaker(SH_CEventCollisionStay, makers);
  utl::UnregisterFactoryMaker(SH_CEventCollisionExit, makers);
  utl::UnregisterFactoryMaker(SH_CEventTimer, makers);
  utl::UnregisterFactoryMaker(SH_CEventMovement, makers);
}

// Script-only ------------------------------------------------------------------

const CStringHash& CEventScriptOnly::GetClassName() { return SH_CEventScriptOnly; }

void CEventScriptOnly::SetData(const char* text, const luabind::object& value) {
  sys::CScopedLock lock(sys::kLockLua);
  m_name = text;
  // The script's string may be collected before the event is delivered.
  m_name.MakeOwned();
  m_luaObject = value;
  m_hasTable = 1;
}

// Collisions -------------------------------------------------------------------

const CStringHash& CEventCollisionEnter::GetClassName() { return SH_CEventCollisionEnter; }
const CStringHash& CEventCollisionStay::GetClassName() { return SH_CEventCollisionStay; }
const CStringHash& CEventCollisionExit::GetClassName() { return SH_CEventCollisionExit; }

void SCollisionSides::Set(IEventListener* receiver, obj::CGameObject* other,
                          const char* ownClassText, const char* otherClassText,
                          const char* ownNameText, const char* otherNameText) {
  target = receiver;
  otherObject = other;
  ownClass = ownClassText;
  ownClass.MakeOwned();
  otherClass = otherClassText;
  otherClass.MakeOwned();
  ownName = ownNameText;
  otherName = otherNameText;
}

void SCollisionSides::ToLua(luabind::object& out) const {
  sys::CScopedLock lock(sys::kLockLua);
  luabind::object table = NewTable();
  if (table.interpreter()) {
    const SEventWorldHooks& hooks = GetEventWorldHooks();
    if (otherObject && hooks.gameObjectToLua) {
      table["gameobject_dst"] = hooks.gameObjectToLua(table.interpreter(), otherObject);
    }
    SetText(table, "collider_class_src", ownClass.GetText());
    SetText(table, "collider_class_dst", otherClass.GetText());
    SetText(table, "collider_name_src", ownName.GetText());
    SetText(table, "collider_name_dst", otherName.GetText());
  }
  out = table;
}

// Timer ------------------------------------------------------------------------

const CStringHash& CEventTimer::GetClassName() { return SH_CEventTimer; }

bool CEventTimer::FromLua(const luabind::object& table) {
  sys::CScopedLock lock(sys::kLockLua);
  lua::RequireTable(table);
  destination = nullptr;
  if (lua::IsSet(table, "dest")) {
    CEventText destName;
    lua::ReadText(table, "dest", destName);
    const SEventWorldHooks& hooks = GetEventWorldHooks();
    if (hooks.findListenerByName) destination = hooks.findListenerByName(destName.Get());
  }
  lua::ReadName(table, "name", name);
  remaining = lua::ReadFloat(table, "time");
  lua::ReadText(table, "data", data);
  return true;
}

void CEventTimer::ToLua() {
  sys::CScopedLock lock(sys::kLockLua);
  luabind::object table = NewTable();
  if (table.interpreter()) {
    SetText(table, "name", name.GetText());
    SetText(table, "data", data.Get());
  }
  m_luaObject = table;
}

// Movement ---------------------------------------------------------------------

const CStringHash& CEventMovement::GetClassName() { return SH_CEventMovement; }

CEventMovement::CEventMovement(const char* objectName, const char* movementName,
                               const char* movementType, bool isBegin)
    : begin(isBegin) {
  gameObject.Borrow(objectName);
  name.Borrow(movementName);
  type.Borrow(movementType);
}

bool CEventMovement::FromLua(const luabind::object& table) {
  sys::CScopedLock lock(sys::kLockLua);
  lua::RequireTable(table);
  if (lua::IsSet(table, "game_object")) lua::ReadText(table, "game_object", gameObject);
  if (lua::IsSet(table, "name")) lua::ReadText(table, "name", name);
  if (lua::IsSet(table, "type")) lua::ReadText(table, "type", type);
  if (lua::IsSet(table, "begin")) begin = lua::ReadBool(table, "begin");
  return true;
}

void CEventMovement::ToLua() {
  sys::CScopedLock lock(sys::kLockLua);
  luabind::object table = NewTable();
  if (table.interpreter()) {
    SetText(table, "game_object", gameObject.Get());
    SetText(table, "name", name.Get());
    SetText(table, "type", type.Get());
    table["begin"] = begin;
  }
  m_luaObject = table;
}

}  // namespace evn
}  // namespace vd
