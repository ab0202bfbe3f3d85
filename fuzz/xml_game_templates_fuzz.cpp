// Object templates with every component the game registers (engine and game
// classes alike): each component reads its keys from the input.
#include <cstdlib>

#include "engine/animation/Animator.h"
#include "engine/collision/Colliders.h"
#include "engine/events/EngineEvents.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Tracker.h"
#include "engine/render/lights/Light.h"
#include "engine/render/particles/ParticleSystem.h"
#include "engine/render/trail/WeaponRenderer.h"
#include "engine/script/ScriptManager.h"
#include "fuzz/FuzzInput.h"
#include "game/flow/GameMakers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vd::lgc::CScriptManager* host = [] {
    fuzz::SilenceEngineLog();
    auto* h = new vd::lgc::CScriptManager;
    if (!h->Init()) std::abort();
    vd::evn::InitEngineEventTypes();
    return h;
  }();
  (void)host;
  vd::obj::CGameObjectManager manager;
  auto& makers = manager.componentFactories;
  vd::obj::RegisterObjectComponentFactories(makers);
  vd::lgc::RegisterTrackerFactory(makers);
  vd::phy::RegisterCollisionComponentFactories(makers);
  vd::utl::RegisterFactoryMaker<vd::anm::CAnimator, vd::obj::IComponent>(makers);
  vd::gfx::RegisterRendererFactory(makers);
  vd::lig::RegisterLightFactory(makers);
  vd::RegisterParticleFactories(makers);
  vd::gfx::RegisterWeaponRendererFactory(makers);
  vd::RegisterGameComponentMakers(makers);
  if (!manager.Init()) std::abort();
  manager.LoadTemplates(fuzz::WriteInput(data, size, "templates.xml").c_str());
  manager.Clear();
  return 0;
}
