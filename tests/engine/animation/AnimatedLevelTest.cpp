// A small level built the way the game builds one: object templates and instances
// from XML through the component makers, the generated humanoid standing idle, then
// running by root motion.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "engine/animation/AnimationManager.h"
#include "engine/animation/Animator.h"
#include "engine/events/EngineEvents.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Transform.h"
#include "tests/engine/animation/AnimTestUtil.h"
#include "tests/support/LuaFixture.h"

namespace vd {
namespace anm {
namespace {

constexpr float kFrame = 1.0f / 60.0f;

class AnimatedLevel : public test::LuaFixture {
protected:
  void SetUp() override {
    LuaFixture::SetUp();
    evn::InitEngineEventTypes();
    CAnimationManager::SetLoadingModeRotateX();
    ASSERT_TRUE(animations.LoadTemplates("Data/xml/level1_animation_templates.xml"));
    obj::RegisterObjectComponentFactories(objects.componentFactories);
    utl::RegisterFactoryMaker<CAnimator, obj::IComponent>(objects.componentFactories);
    ASSERT_TRUE(objects.Init());
  }
  void TearDown() override {
    objects.Clear();
    LuaFixture::TearDown();
  }

  void Frames(int count) {
    for (int i = 0; i < count; ++i) {
      objects.ApplyQueuedRequests();
      objects.UpdatePass(kFrame);
    }
  }

  const std::string base = "/tmp/hm_level_" + std::to_string(getpid());
  // Outlives the objects, whose animators give their models back on release.
  CAnimationManager animations;
  obj::CGameObjectManager objects;
};

TEST_F(AnimatedLevel, TheHumanoidIdlesThenRunsByRootMotion) {
  test::CTempFile templates(
      base + "_templates.xml",
      "<GameObjectTemplate name='humanoid'>"
      "  <Component name='CTransform'/>"
      "  <Component name='CAnimator'><key name='animation' value='player'/>"
      "    <key name='mesh' value='humanoid.xmf'/><key name='static' value='0'/></Component>"
      "</GameObjectTemplate>");
  test::CTempFile instances(
      base + "_instances.xml",
      "<GameObject name='hero' GameObjectTemplate='humanoid'>"
      "  <Component name='CTransform'><key name='position' X='1' Y='0' Z='2'/></Component>"
      "  <Component name='CAnimator'><key name='animation_instance_name' value='hero'/></Component>"
      "</GameObject>");
  ASSERT_TRUE(objects.LoadTemplates(templates.Path()));
  objects.LoadInstances(instances.Path(), "", true);
  Frames(1);
  obj::CGameObject* hero = objects.GetGameObjectByName(CStringHash("hero"));
  ASSERT_NE(hero, nullptr);
  ASSERT_TRUE(hero->IsEnabled());
  CAnimator* animator = hero->GetComponent<CAnimator>();
  gfx::CTransform* transform = hero->GetComponent<gfx::CTransform>();
  ASSERT_NE(animator, nullptr);
  ASSERT_NE(transform, nullptr);
  ASSERT_NE(animator->GetModel(), nullptr) << Joined();
  EXPECT_EQ(animator->GetTransform(), transform);

  // Idle: the figure breathes in place.
  animator->BlendCycle("idle", 1.0f, 0.0f, 0.0f);
  Frames(2);
  const float headStart = animator->GetBoneTranslation("Bip01 Head").y;
  Frames(30);
  EXPECT_NE(animator->GetBoneTranslation("Bip01 Head").y, headStart) << "the idle cycle plays";
  EXPECT_NEAR(transform->position.x, 1.0f, 1e-5f);
  EXPECT_NEAR(transform->position.z, 2.0f, 1e-5f);

  // Run: the cycle's legs with the dash action's root motion, one dash after
  // another; 2.4 m per dash along the object's +z.
  animator->BlendCycle("run", 1.0f, 0.1f, 0.2f);
  for (int dash = 0; dash < 3; ++dash) {
    animator->ExecuteAction("dash", 1.0f, 0.0f, 0.0f, false);
    Frames(48);
    animator->ClearActions();
  }
  EXPECT_NEAR(transform->position.x, 1.0f, 1e-3f);
  EXPECT_NEAR(transform->position.z, 2.0f + 3 * 2.4f, 0.15f);
  EXPECT_NEAR(transform->position.y, 0.0f, 1e-5f);
  EXPECT_NEAR(transform->world(3, 2), transform->position.z, 1e-5f);
  // The root stays over the object: only its height is in the pose.
  const plat::Vec3 root = animator->GetBoneTranslation("Bip01");
  EXPECT_NEAR(root.x, 0.0f, 0.05f);
  EXPECT_NEAR(root.z, 0.0f, 0.05f);

  // Destroying the object gives its model back.
  objects.QueueDestroy(hero->GetId());
  Frames(1);
  EXPECT_EQ(animations.GetModel("hero"), nullptr);
}

}  // namespace
}  // namespace anm
}  // namespace vd
