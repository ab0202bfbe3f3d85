#pragma once
// Hands the scripts the components of named live objects. Holds nothing: every
// call looks the object up again, so a script never keeps a stale pointer.
struct lua_State;

namespace vd {

namespace gfx {
class CTransform;
class CRenderer;
}  // namespace gfx
namespace phy {
class CCharacterCollider;
}
namespace anm {
class CAnimator;
}

class CBerserker;
class CKrauser;

class CGameObjectUtils {
public:
  // Null (nil in Lua) when no live object has that name or it lacks the component.
  gfx::CTransform* GetCompTransform(const char* object) const;
  gfx::CRenderer* GetCompRenderer(const char* object) const;
  phy::CCharacterCollider* GetCompCharacterCollider(const char* object) const;
  anm::CAnimator* GetCompAnimator(const char* object) const;
  CBerserker* GetCompBerserker(const char* object) const;
  CKrauser* GetCompKrauser(const char* object) const;
};

// The application's helper (it has no state, one serves every caller).
CGameObjectUtils& GetGameObjectUtils();

// The class "CGameObjectUtils" and the global "GetGameObjectUtils".
void RegisterGameObjectUtilsBindings(lua_State* state);

}  // namespace vd
