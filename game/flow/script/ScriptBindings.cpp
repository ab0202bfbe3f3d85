#include "game/flow/script/ScriptBindings.h"

#include <luabind/luabind.hpp>

#include "engine/animation/Animator.h"
#include "engine/collision/CharacterCollider.h"
#include "game/flow/script/GameObjectUtils.h"
#include "game/flow/script/LuaFunctions.h"

namespace vd {

void RegisterGameComponentBindings(lua_State* state) {
  if (!state) return;
  luabind::module(state)[luabind::class_<anm::CAnimator>("CAnimator")
                             .def("ExecuteAnimationAction", &anm::CAnimator::ExecuteAnimationAction)
                             .def("ClearLockedActions", &anm::CAnimator::ClearLockedActions)
                             .def("ResetOnCheckPoint", &anm::CAnimator::ResetOnCheckPoint)
                             .def("SetStatic", &anm::CAnimator::SetStatic)];
  phy::RegisterCharacterColliderBindings(state);
  RegisterGameObjectUtilsBindings(state);
  RegisterLuaFunctionsBindings(state);
}

}  // namespace vd
