#include "game/flow/script/GameObjectUtils.h"

#include <luabind/luabind.hpp>

#include "engine/animation/Animator.h"
#include "engine/collision/CharacterCollider.h"
#include "engine/core/StringHash.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Transform.h"

namespace vd {

namespace {

template <class T>
T* FindComponent(const char* name) {
  obj::CGameObject* object = obj::FindGameObjectByName(CStringHash(name ? name : ""));
  return object ? object->GetComponent<T>() : nullptr;
}

}  // namespace

gfx::CTransform* CGameObjectUtils::GetCompTransform(const char* object) const {
  return FindComponent<gfx::CTransform>(object);
}

gfx::CRenderer* CGameObjectUtils::GetCompRenderer(const char* object) const {
  return FindComponent<gfx::CRenderer>(object);
}

phy::CCharacterCollider* CGameObjectUtils::GetCompCharacterCollider(const char* object) const {
  return FindComponent<phy::CCharacterCollider>(object);
}

anm::CAnimator* CGameObjectUtils::GetCompAnimator(const char* object) const {
  return FindComponent<anm::CAnimator>(object);
}

CGameObjectUtils& GetGameObjectUtils() {
  static CGameObjectUtils utils;
  return utils;
}

void RegisterGameObjectUtilsBindings(lua_State* state) {
  if (!state) return;
  luabind::module(state)
      [luabind::class_<CGameObjectUtils>("CGameObjectUtils")
           .def("GetCompTransform", &CGameObjectUtils::GetCompTransform)
           .def("GetCompRenderer", &CGameObjectUtils::GetCompRenderer)
           .def("GetCompCharacterCollider", &CGameObjectUtils::GetCompCharacterCollider)
           .def("GetCompAnimator", &CGameObjectUtils::GetCompAnimator),
       luabind::def("GetGameObjectUtils", &GetGameObjectUtils)];
}

}  // namespace vd
