// The Lua classes of the enemies.
#include <lua.hpp>
#include <luabind/detail/class_registry.hpp>
#include <luabind/detail/class_rep.hpp>
#include <luabind/luabind.hpp>

#include "engine/core/Log.h"
#include "game/enemies/AIManager.h"
#include "game/enemies/Berserker.h"
#include "game/enemies/Krauser.h"

namespace vd {

// --- Lua -----------------------------------------------------------------------------------------

namespace {

// The game's manager, also between levels: the level scripts ask for it as they load.
CAIManager* g_scripts = nullptr;

CAIManager* GetAIManagerForLua() { return g_scripts ? g_scripts : CAIManager::GetCurrent(); }

void LuaSetState(CBerserker& b, const char* name, int subState, bool force) {
  b.SetStateByName(name, subState, force);
}
void LuaReset(CBerserker& b) { b.ResetState(); }
void LuaExecuteCycle(CBerserker& b, const char* name) { b.ExecuteCycle(name); }
void LuaExecuteAction(CBerserker& b, const char* name, const char* id) { b.ExecuteAction(name, id); }
void LuaExecuteActionEx(CBerserker& b, const char* name, const char* id, bool lock, float in,
                        float out) {
  b.ExecuteActionEx(name, id, lock, in, out);
}
// "SetPlayList1" and "SetPlayList2" take more arguments than luabind binds: they are
// plain Lua functions in the method tables of both enemy classes.
template <class Enemy>
Enemy* Self(lua_State* state) {
  try {
    return luabind::object_cast<Enemy*>(luabind::object(luabind::from_stack(state, 1)));
  } catch (const std::exception&) {
    return nullptr;
  }
}

const char* Text(lua_State* state, int index) {
  const char* text = lua_isstring(state, index) ? lua_tostring(state, index) : nullptr;
  return text ? text : "";
}

int Int(lua_State* state, int index) { return static_cast<int>(lua_tointeger(state, index)); }

bool Flag(lua_State* state, int index) {
  return lua_isnumber(state, index) ? lua_tonumber(state, index) != 0 : lua_toboolean(state, index) != 0;
}

template <class Enemy>
int LuaSetPlayList1(lua_State* state) {
  Enemy* self = Self<Enemy>(state);
  if (!self) return luaL_error(state, "SetPlayList1 needs an enemy (call it with ':')");
  const bool stored = self->SetPlayList1(
      Text(state, 2), Text(state, 3), Int(state, 4), Int(state, 5), Int(state, 6),
      static_cast<float>(lua_tonumber(state, 7)), Flag(state, 8), Flag(state, 9), Flag(state, 10),
      Flag(state, 11));
  lua_pushboolean(state, stored ? 1 : 0);
  return 1;
}

template <class Enemy>
int LuaSetPlayList2(lua_State* state) {
  Enemy* self = Self<Enemy>(state);
  if (!self) return luaL_error(state, "SetPlayList2 needs an enemy (call it with ':')");
  const bool stored =
      self->SetPlayList2(Text(state, 2), Text(state, 3), Int(state, 4), Int(state, 5),
                         Text(state, 6), Text(state, 7), Text(state, 8), Text(state, 9),
                         Flag(state, 10));
  lua_pushboolean(state, stored ? 1 : 0);
  return 1;
}

void AddRawMethod(lua_State* state, luabind::detail::class_rep* rep, const char* name,
                  lua_CFunction function) {
  for (int table = 0; table < 2; ++table) {
    if (table == 0)
      rep->get_table(state);
    else
      rep->get_default_table(state);
    lua_pushstring(state, name);
    lua_pushcfunction(state, function);
    lua_rawset(state, -3);
    lua_pop(state, 1);
  }
}
void LuaFaceTo(CBerserker& b, float x, float z, float speed) { b.FaceTo(x, z, speed); }
void LuaTurnToYaw(CBerserker& b, float degrees, float speed) { b.TurnToYaw(degrees, speed); }
void LuaEnableCollisions(CBerserker& b, bool on) { b.EnableCollisions(on); }
void LuaLockState(CBerserker& b) { b.locked = 1; }
void LuaUnLockState(CBerserker& b) { b.locked = 0; }
void LuaSetTarget(CBerserker& b, const char* name) { b.SetTarget(name); }

}  // namespace

// --- The boss's Lua class "CKrauser" ------------------------------------------------------

namespace {

void BossSetState(CKrauser& k, const char* name, int subState, bool force) {
  k.SetStateByName(name, subState, force);
}
void BossLockState(CKrauser& k) { k.locked = 1; }
void BossUnLockState(CKrauser& k) { k.locked = 0; }
void BossExecuteCycle(CKrauser& k, const char* name) { k.ExecuteCycle(name); }
void BossExecuteAction(CKrauser& k, const char* name, const char* id) { k.ExecuteAction(name, id); }
void BossExecuteActionEx(CKrauser& k, const char* name, const char* id, bool lock, float in,
                         float out) {
  k.ExecuteActionEx(name, id, lock, in, out);
}
void BossFaceTo(CKrauser& k, float x, float z, float speed) { k.FaceTo(x, z, speed); }
void BossTurnToYaw(CKrauser& k, float degrees, float speed) { k.TurnToYaw(degrees, speed); }
void BossReset(CKrauser& k) { k.ResetBoss(); }
void BossSetTarget(CKrauser& k, const char* name) { k.SetTarget(name); }

void RegisterKrauserBindings(lua_State* state) {
  luabind::module(state)[luabind::class_<CKrauser>("CKrauser")
                             .def("SetState", &BossSetState)
                             .def("LockState", &BossLockState)
                             .def("UnLockState", &BossUnLockState)
                             .def("ExecuteCycle", &BossExecuteCycle)
                             .def("ExecuteAction", &BossExecuteAction)
                             .def("ExecuteActionEx", &BossExecuteActionEx)
                             .def("FaceTo", &BossFaceTo)
                             .def("TurnToYaw", &BossTurnToYaw)
                             .def("Reset", &BossReset)
                             .def("SetTarget", &BossSetTarget)];
  luabind::detail::class_registry* registry = luabind::detail::class_registry::get_registry(state);
  luabind::detail::class_rep* rep =
      registry ? registry->find_class(luabind::type_id(typeid(CKrauser))) : nullptr;
  if (!rep) {
    utl::LogPrintf("Enemies: the Lua class CKrauser was not made; no play lists from scripts\n");
    return;
  }
  AddRawMethod(state, rep, "SetPlayList1", &LuaSetPlayList1<CKrauser>);
  AddRawMethod(state, rep, "SetPlayList2", &LuaSetPlayList2<CKrauser>);
}

}  // namespace

void RegisterEnemyBindings(lua_State* state, CAIManager* manager) {
  if (!state) return;
  g_scripts = manager;
  luabind::module(state)
      [luabind::class_<CAIManager>("AIManager")
           .def("EnableEnemyGroup", &CAIManager::EnableEnemyGroup)
           .def("DisableEnemyGroup", &CAIManager::DisableEnemyGroup)
           .def("GetEnemyGroupCount", &CAIManager::GetEnemyGroupCount)
           .def("SetTargetToEnemyGroup", &CAIManager::SetTargetToEnemyGroup),
       luabind::def("GetAIManager", &GetAIManagerForLua),
       luabind::class_<CBerserker>("CBerserker")
           .def("SetState", &LuaSetState)
           .def("Reset", &LuaReset)
           .def("ExecuteCycle", &LuaExecuteCycle)
           .def("ExecuteAction", &LuaExecuteAction)
           .def("ExecuteActionEx", &LuaExecuteActionEx)
           .def("FaceTo", &LuaFaceTo)
           .def("TurnToYaw", &LuaTurnToYaw)
           .def("EnableCollisions", &LuaEnableCollisions)
           .def("LockState", &LuaLockState)
           .def("UnLockState", &LuaUnLockState)
           .def("SetTarget", &LuaSetTarget)];
  luabind::detail::class_registry* registry = luabind::detail::class_registry::get_registry(state);
  luabind::detail::class_rep* rep =
      registry ? registry->find_class(luabind::type_id(typeid(CBerserker))) : nullptr;
  if (!rep) {
    utl::LogPrintf("Enemies: the Lua class CBerserker was not made; no play lists from scripts\n");
    return;
  }
  AddRawMethod(state, rep, "SetPlayList1", &LuaSetPlayList1<CBerserker>);
  AddRawMethod(state, rep, "SetPlayList2", &LuaSetPlayList2<CBerserker>);
  RegisterKrauserBindings(state);
}

}  // namespace vd
