#pragma once
// What every state of the game's flow builds on: the entry that stores the four
// pointers, the press query, and the binding of screen elements by name.
#include <cstdint>

#include "game/flow/GameState.h"

namespace vd {
namespace gfx {
class CRenderManager;
}
namespace obj {
class CGameObjectManager;
}
struct SScreenElement;

// The group of an instances file, or -1 when the file gave no objects.
int32_t LoadInstanceGroup(obj::CGameObjectManager& objects, const char* path,
                          const char* scriptFolder, bool enable);
// The element's object by name with its transform and renderer; null where absent.
void BindElement(obj::CGameObjectManager& objects, const char* name, SScreenElement& element);
}  // namespace vd

namespace vd {

class CGameStateBase : public IGameState {
public:
  // The entry of every state: its own Exit first, running, the four pointers, then
  // what the state itself adds (OnEnter), whose result is the entry's.
  bool Enter(CVandrel* app, CGameOptions* options, CGameWorld* world,
             CFrontEndData* frontEnd) final;
  bool IsReady() override { return true; }

protected:
  // Runs with the pointers stored; may change running and next.
  virtual bool OnEnter() { return true; }
  void Store(CVandrel* app, CGameOptions* options, CGameWorld* world, CFrontEndData* frontEnd);
  void Drop();
  // A press of the merged input slot this frame.
  bool Pressed(int slot) const;

  CVandrel* m_app = nullptr;
  CGameOptions* m_options = nullptr;
  CGameWorld* m_world = nullptr;
  CFrontEndData* m_frontEnd = nullptr;
};

}  // namespace vd
