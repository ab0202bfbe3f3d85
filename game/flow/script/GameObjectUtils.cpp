#include "game/flow/script/GameObjectUtils.h"

#include <luabind/luabind.hpp>

#include "engine/animation/Animator.h"
#include "engine/collision/CharacterCollider.h"
#include "engine/core/Log.h"
#include "engine/core/StringHash.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Transform.h"
#include "game/enemies/Berserker.h"
#include "game/enemies/Krauser.h"

namespace vd {

namespace {

template <class T>
T* FindComponent(const char* name) {
  obj::CGameObject* object = obj::FindGameObjectByName(CStringHash(name ? name : ""));
  if (!object) {
    utl::LogPrintf("GameObjectUtils: no object %s; nil\n", name ? name : "");
    return nullptr;
  }
  return object->GetComponent<T>();
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

CBerserker* CGameObjectUtils::GetCompBerserker(const char* object) const {
  return FindComponent<CBerserker>(object);
}

CKrauser* CGameObjectUtils::GetCompKrauser(const char* object) const {
  return FindComponent<CKrauser>(object);
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
           .def("GetCompBerserker", &CGameObjectUtils::GetCompBerserker)
           .def("GetCompKrauser", &CGameObjectUtils::GetCompKrauser)
           .def("GetCompAnimator", &CGameObjectUtils::GetCompAnimator),
       luabind::def("GetGameObjectUtils", &GetGameObjectUtils)];
}

}  // namespace vd
