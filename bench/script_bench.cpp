// The cost of the script host's call watch (an instruction-count hook that reads the
// clock every 10 000 instructions, and the bookkeeping of each call): the same Lua run
// on a host state and on a bare Lua state without any hook.
#include <benchmark/benchmark.h>

#include <lua.hpp>
#include <luabind/luabind.hpp>

#include "engine/script/ScriptManager.h"

namespace {

using namespace vd;

constexpr const char* kLoop = "local s = 0 for i = 1, 100000 do s = s + i % 7 end return s";
constexpr const char* kHandler = "calls = 0 function OnTick() calls = calls + 1 end";

// Runs the chunk on top of the stack once per iteration through `call`.
template <class Call>
void RunLoop(benchmark::State& state, lua_State* L, Call call) {
  if (luaL_loadstring(L, kLoop) != LUA_OK) {
    state.SkipWithError("the loop does not compile");
    return;
  }
  for (auto _ : state) {
    lua_pushvalue(L, -1);
    if (call(L) != LUA_OK) {
      state.SkipWithError(lua_tostring(L, -1));
      return;
    }
    benchmark::DoNotOptimize(lua_tonumber(L, -1));
    lua_pop(L, 1);
  }
  state.SetItemsProcessed(state.iterations() * 100000);  // loop iterations
}

void BM_LuaLoop_WatchedHost(benchmark::State& state) {
  lgc::CScriptManager host;
  host.Init();
  RunLoop(state, host.GetState(), [](lua_State* L) { return lgc::ProtectedCall(L, 0, 1); });
  state.SetLabel("peer: BM_LuaLoop_BareLua");
  host.Release();
}

void BM_LuaLoop_BareLua(benchmark::State& state) {
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  RunLoop(state, L, [](lua_State* L) { return lua_pcall(L, 0, 1, 0); });
  state.SetLabel("no hook: the peer of BM_LuaLoop_WatchedHost");
  lua_close(L);
}

// One short handler call: what each event pays for the watch's bookkeeping.
void BM_HandlerCall_WatchedHost(benchmark::State& state) {
  lgc::CScriptManager host;
  host.Init();
  host.RunString(kHandler, "bench");
  const luabind::object none;
  for (auto _ : state) benchmark::DoNotOptimize(host.CallGlobalFunction("OnTick", none));
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("peer: BM_HandlerCall_BareLua");
  host.Release();
}

void BM_HandlerCall_BareLua(benchmark::State& state) {
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  luaL_dostring(L, kHandler);
  for (auto _ : state) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
    lua_pushliteral(L, "OnTick");
    lua_rawget(L, -2);
    lua_pushnil(L);
    benchmark::DoNotOptimize(lua_pcall(L, 1, 0, 0));
    lua_pop(L, 1);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("no hook: the peer of BM_HandlerCall_WatchedHost");
  lua_close(L);
}

BENCHMARK(BM_LuaLoop_WatchedHost);
BENCHMARK(BM_LuaLoop_BareLua);
BENCHMARK(BM_HandlerCall_WatchedHost);
BENCHMARK(BM_HandlerCall_BareLua);

}  // namespace
