#pragma once
// The game's Lua API over the engine's components.
struct lua_State;

namespace vd {

// The class "CAnimator" ("ExecuteAnimationAction", "ClearLockedActions",
// "ResetOnCheckPoint", "SetStatic") and the class "CCharacterCollider" ("TestFloor",
// "TestWalls"); the class "CGameObjectUtils" and its getter "GetGameObjectUtils".
void RegisterGameComponentBindings(lua_State* state);

}  // namespace vd
