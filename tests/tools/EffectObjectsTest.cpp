// The objects of the player's effects as the game loads them: each one the effects
// look up by name exists, draws its generated mesh blended or opaque as its effect
// expects, and the rocks' animator knows the action the effect plays.
#include <gtest/gtest.h>

#include <string>

#include "engine/animation/AnimationManager.h"
#include "engine/animation/Animator.h"
#include "engine/core/FactoryMaker.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Transform.h"
#include "engine/render/RenderManager.h"

namespace vd {
namespace {

TEST(EffectObjects, ThePlayersEffectObjectsLoadWithTheirFigures) {
  gfx::CRenderManager renderer;
  anm::CAnimationManager::SetLoadingModeRotateX();
  anm::CAnimationManager animations;
  ASSERT_TRUE(animations.LoadTemplates("Data/xml/loading_animation_templates.xml"));
  obj::CGameObjectManager objects;
  obj::RegisterObjectComponentFactories(objects.componentFactories);
  gfx::RegisterRendererFactory(objects.componentFactories);
  utl::RegisterFactoryMaker<anm::CAnimator, obj::IComponent>(objects.componentFactories);
  ASSERT_TRUE(objects.Init());
  ASSERT_TRUE(objects.LoadTemplates("Data/xml/loading_player_templates.xml"));
  objects.LoadInstances("Data/xml/ingameeffects_geometry_instances.xml", "", true);
  objects.ApplyQueuedRequests();

  struct Case {
    const char* name;
    const char* technique;
    const char* action;  // the one its effect plays, or none
  };
  const Case cases[] = {
      {"radial_rocks_player", "skin_tech", "radial_rocks_Y3"},
      {"semisphere", "skin_tech_alpha", nullptr},
      {"ring", "skin_tech_alpha", nullptr},
      {"crown", "skin_tech_alpha", nullptr},
      {"turbulence", "skin_tech_alpha", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    obj::CGameObject* object = objects.GetGameObjectByName(CStringHash(c.name));
    ASSERT_NE(object, nullptr);
    EXPECT_NE(object->GetComponent<gfx::CTransform>(), nullptr);
    gfx::CRenderer* r = object->GetComponent<gfx::CRenderer>();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(std::string(r->GetTechniqueName().c_str()), c.technique);
    anm::CAnimator* a = object->GetComponent<anm::CAnimator>();
    ASSERT_NE(a, nullptr);
    EXPECT_NE(a->GetModel(), nullptr) << "its figure and mesh were found";
    if (c.action) EXPECT_GT(a->GetAnimationDuration(c.action), 1.0f);
  }
  objects.Clear();
}

}  // namespace
}  // namespace vd
