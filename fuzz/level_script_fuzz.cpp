// Level scripts: each input run as a script by a host that carries the game's script
// interface (the function table, the gating walls, the HUD, the AI manager, the
// component helpers and the enemy classes) with no level loaded, so every object a
// call names is missing; then the level's entry points are called with an empty
// table, as the game calls them. A call that runs away is stopped by the host's clock.
#include <luabind/luabind.hpp>

#include "engine/app/Timer.h"
#include "engine/script/ScriptManager.h"
#include "fuzz/FuzzInput.h"
#include "game/enemies/AIManager.h"
#include "game/flow/GameWorld.h"
#include "game/flow/hud/Hud.h"
#include "game/flow/script/GatingParticlesManager.h"
#include "game/flow/script/LuaFunctions.h"
#include "game/flow/script/ScriptBindings.h"

namespace {

vd::CGameWorld* g_world = nullptr;
vd::CHUD* Hud() { return g_world ? &g_world->hud : nullptr; }
vd::CGatingParticlesManager* Gating() { return g_world ? &g_world->gatingParticles : nullptr; }

// What the game calls by name, and the handlers of the events the level listens to.
const char* const kEntryPoints[] = {"OnInitLoading", "OnInitGame",    "OnDeath",
                                    "OnUse",         "OnTimer",       "OnSaveCheckPoint",
                                    "OnLoadCheckPoint", "OnMovement", "OnEndGame"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SilenceEngineLog();
  vd::CGameWorld world;
  vd::sys::CTimer timer;
  int32_t inGameState = 0;
  g_world = &world;
  vd::SLuaFunctionTargets targets;
  targets.world = &world;
  targets.timer = &timer;
  targets.inGameState = &inGameState;
  vd::GetLuaFunctions().Bind(targets);

  vd::lgc::CScriptManager host;
  if (!host.Init()) std::abort();
  // Endless loops are the inputs' to write; each costs this much.
  host.SetCallTimeLimit(0.05);
  lua_State* state = host.GetState();
  vd::RegisterGameComponentBindings(state);
  vd::RegisterEnemyBindings(state, &world.aiManager);
  vd::RegisterGatingParticlesBindings(state, &Gating);
  vd::RegisterHUDBindings(state, &Hud);

  if (host.RunFile(fuzz::WriteInput(data, size, "input.lua").c_str())) {
    for (const char* name : kEntryPoints) host.CallGlobalFunction(name, luabind::newtable(state));
  }

  host.Release();
  vd::GetLuaFunctions().Bind({});
  g_world = nullptr;
  return 0;
}
