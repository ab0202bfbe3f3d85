#include "engine/events/EngineEvents.h"

#include <lua.hpp>
#include <luabind/luabind.hpp>

#include "engine/core/EngineNames.h"
#include "engine/core/Locks.h"

namespace vd {
namespace evn {

using lua::SetText;

#define HM_ENGINE_EVENT_CLASS_NAME(Name, N) \
  const CStringHash& CEvent##Name::GetClassName() { return SH_CEvent##Name; }
HM_ENGINE_EVENTS(HM_ENGINE_EVENT_CLASS_NAME)
#undef HM_ENGINE_EVENT_CLASS_NAME

void InitEngineEventTypes() {
#define HM_INIT_TYPE(Name, N) CEvent##Name::InitType(SH_On##Name);
  HM_ENGINE_EVENTS(HM_INIT_TYPE)
#undef HM_INIT_TYPE
}

void RegisterEngineEventFactories(utl::FactoryMap<IEvent>& makers) {
  InitEngineEventTypes();
  utl::RegisterFactoryMaker<CEventScriptOnly, IEvent>(makers);
#define HM_REGISTER(Name, N) utl::RegisterFactoryMaker<CEvent##Name, IEvent>(makers);
  HM_ENGINE_EVENTS(HM_REGISTER)
#undef HM_REGISTER
}

void UnregisterEngineEventFactories(utl::FactoryMap<IEvent>& makers) {
  utl::UnregisterFactoryMaker(SH_CEventScriptOnly, makers);
#define HM_UNREGISTER(Name, N) utl::UnregisterFactoryMaker(SH_CEvent##Name, makers);
  HM_ENGINE_EVENTS(HM_UNREGISTER)
#undef HM_UNREGISTER
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

void SCollisionSides::ToLua(luabind::object& table) const {
  const SEventWorldHooks& hooks = GetEventWorldHooks();
  if (otherObject && hooks.gameObjectToLua) {
    table["gameobject_dst"] = hooks.gameObjectToLua(table.interpreter(), otherObject);
  }
  SetText(table, "collider_class_src", ownClass.GetText());
  SetText(table, "collider_class_dst", otherClass.GetText());
  SetText(table, "collider_name_src", ownName.GetText());
  SetText(table, "collider_name_dst", otherName.GetText());
}

// Timer ------------------------------------------------------------------------

const lua::SField<CEventTimer> CEventTimer::kFields[] = {
    lua::Field<&CEventTimer::name>("name"),
    lua::Field<&CEventTimer::remaining>("time", lua::kFromLuaOnly),
    lua::Field<&CEventTimer::data>("data"),
    lua::kEndOfFields<CEventTimer>,
};

void CEventTimer::FromLuaOwn(const luabind::object& table) {
  lua::RequireTable(table);
  destination = nullptr;
  if (lua::IsSet(table, "dest")) {
    CEventText destName;
    lua::ReadText(table, "dest", destName);
    const SEventWorldHooks& hooks = GetEventWorldHooks();
    if (hooks.findListenerByName) destination = hooks.findListenerByName(destName.Get());
  }
}

// Movement ---------------------------------------------------------------------

CEventMovement::CEventMovement(const char* objectName, const char* movementName,
                               const char* movementType, bool isBegin)
    : begin(isBegin) {
  gameObject.Borrow(objectName);
  name.Borrow(movementName);
  type.Borrow(movementType);
}

const lua::SField<CEventMovement> CEventMovement::kFields[] = {
    lua::Field<&CEventMovement::gameObject>("game_object", lua::kIfSet),
    lua::Field<&CEventMovement::name>("name", lua::kIfSet),
    lua::Field<&CEventMovement::type>("type", lua::kIfSet),
    lua::Field<&CEventMovement::begin>("begin", lua::kIfSet),
    lua::kEndOfFields<CEventMovement>,
};

}  // namespace evn
}  // namespace vd
