#include "engine/animation/Animator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <cal3d/animation_cycle.h>
#include <cal3d/bone.h>
#include <cal3d/model.h>
#include <cal3d/skeleton.h>
#include <rapidxml/rapidxml.hpp>

#include "engine/animation/AnimationManager.h"
#include "engine/animation/Mixer.h"
#include "engine/core/EngineNames.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/Transform.h"
#include "tests/engine/animation/AnimTestUtil.h"

namespace vd {
namespace anm {
namespace {

constexpr float kTol = 2e-3f;
constexpr float kDashSpeed = 3.0f;  // the generated "dash" moves the root 2.4 m in 0.8 s

// Stands in for the character collider: it takes the root motion and records it.
class CFakeCollider : public obj::CComponent<CFakeCollider>, public IRootMotionTarget {
public:
  static const CStringHash& GetClassName() { return SH_CCharacterCollider; }
  void Load(rapidxml::xml_node<>*) override {}
  bool HasContent() override { return true; }
  bool Update(float) override { return true; }
  bool Init() override { return true; }
  void Reset() override {}
  void AddDisplacement(const plat::Vec3& d) override {
    position += d;
    ++calls;
  }
  plat::Vec3 position;
  int calls = 0;
};

std::vector<std::string> g_attached;
void RecordAttach(CAnimator&, CalCoreMesh* mesh, const CStringHash& name) {
  g_attached.push_back(std::string(name.c_str()) + (mesh ? " mesh" : " null"));
}

class Animator : public ::testing::Test {
protected:
  void SetUp() override {
    CAnimationManager::SetLoadingModeRotateX();
    ASSERT_TRUE(manager.LoadTemplates("Data/xml/level1_animation_templates.xml"));
    g_attached.clear();
    SetMeshAttachedHook(RecordAttach);
  }
  void TearDown() override { SetMeshAttachedHook(nullptr); }

  // An object with an animator loaded from keys and, optionally, movers.
  CAnimator* Make(const std::string& keys, bool transform = true, bool collider = false) {
    object = std::make_unique<obj::CGameObject>();
    if (transform) {
      this->transform = new gfx::CTransform();
      this->transform->UpdateMatrix();
      object->AddComponent(this->transform);
    }
    if (collider) {
      this->collider = new CFakeCollider();
      object->AddComponent(this->collider);
    }
    std::string xml = "<Component class='CAnimator'>" + keys + "</Component>";
    std::vector<char> buffer(xml.begin(), xml.end());
    buffer.push_back('\0');
    rapidxml::xml_document<> doc;
    doc.parse<0>(buffer.data());
    CAnimator* animator = new CAnimator();
    animator->Load(doc.first_node());
    object->AddComponent(animator);
    EXPECT_TRUE(animator->Init());
    return animator;
  }
  static std::string Hero(const char* extra = "") {
    return std::string(
               "<key name='animation' value='player'/><key name='animation_instance_name' value='hero'/>"
               "<key name='mesh' value='humanoid.xmf'/>") +
           extra;
  }

  test::CLogCapture log;
  CAnimationManager manager;
  std::unique_ptr<obj::CGameObject> object;
  gfx::CTransform* transform = nullptr;
  CFakeCollider* collider = nullptr;
};

TEST_F(Animator, InitMakesTheInstanceAndResetDestroysIt) {
  CAnimator* animator = Make(Hero());
  EXPECT_EQ(animator->GetTemplateId(), CStringHash("player"));
  EXPECT_EQ(animator->GetInstanceName(), CStringHash("hero"));
  EXPECT_TRUE(animator->isStatic) << "an animator is static unless its keys say otherwise";
  ASSERT_NE(animator->GetModel(), nullptr);
  EXPECT_EQ(animator->GetModel()->getVectorMesh().size(), 1u);
  EXPECT_EQ(g_attached, std::vector<std::string>{"humanoid.xmf mesh"});
  EXPECT_EQ(animator->GetTransform(), transform);
  EXPECT_EQ(animator->GetRootMotionTarget(), nullptr);
  // An animator that did not make the model (a template's, or one whose instance
  // name was taken) leaves it alone.
  CAnimator second;
  second.CopyFrom(*animator);
  EXPECT_TRUE(second.Init());
  EXPECT_TRUE(log.sink->Contains("hero", "exists already"));
  second.Reset();
  CAnimator copy;
  copy.CopyFrom(*animator);
  copy.Reset();
  EXPECT_NE(manager.GetModel("hero"), nullptr);
  animator->Reset();
  EXPECT_EQ(manager.GetModel("hero"), nullptr);
}

TEST_F(Animator, WithoutAModelEverythingIsANoOp) {
  CAnimator* animator = Make("<key name='animation' value='player'/><key name='static' value='0'/>");
  EXPECT_EQ(animator->GetModel(), nullptr);
  EXPECT_EQ(animator->BlendCycle("idle", 1.0f, 0.0f, 0.0f), -1);
  animator->ExecuteAction("dash", 1.0f, 0.0f, 0.0f, false);
  EXPECT_TRUE(animator->GetActions().empty());
  animator->ClearActions();
  EXPECT_TRUE(animator->Update(0.1f));
  EXPECT_EQ(transform->position, plat::Vec3());
  EXPECT_EQ(animator->GetBoneTranslation("Bip01 Head"), plat::Vec3());
  EXPECT_EQ(animator->GetAnimationDuration("idle"), 0.0f);
}

TEST_F(Animator, UnknownAnimationNamesAreLoggedNoOps) {
  CAnimator* animator = Make(Hero());
  animator->ExecuteAction("fly", 1.0f, 0.0f, 0.0f, false);
  EXPECT_TRUE(animator->GetMixer()->getAnimationActionList().empty());
  EXPECT_TRUE(animator->GetActions().empty());
  EXPECT_EQ(animator->BlendCycle("swim", 1.0f, 0.0f, 0.0f), -1);
  EXPECT_TRUE(animator->GetMixer()->getAnimationCycleList().empty());
  EXPECT_EQ(animator->GetCurrentCycleId(), -1);
  EXPECT_TRUE(log.sink->Contains("fly"));
  EXPECT_TRUE(log.sink->Contains("swim"));
  animator->ExecuteAnimationAction("", 1.0f, 0.0f, 0.0f, false);
  animator->ExecuteAnimationAction(nullptr, 1.0f, 0.0f, 0.0f, false);
  EXPECT_TRUE(animator->GetMixer()->getAnimationActionList().empty());
}

TEST_F(Animator, RootMotionMovesTheObjectAlongItsAxes) {
  CAnimator* animator = Make(Hero("<key name='static' value='1'/><key name='static' value='0'/>"));
  ASSERT_FALSE(animator->isStatic);
  // Turned and scaled by 2: the animation's +z is the object's third world row.
  transform->scale = plat::Vec3(2, 2, 2);
  transform->SetYaw(1.2f);
  const plat::Vec3 zAxis(transform->world(2, 0), transform->world(2, 1), transform->world(2, 2));
  ASSERT_NEAR(zAxis.x * zAxis.x + zAxis.y * zAxis.y + zAxis.z * zAxis.z, 4.0f, kTol);
  animator->ExecuteAction("dash", 1.0f, 0.0f, 0.0f, false);
  for (int i = 0; i < 4; ++i) animator->Update(0.1f);
  const plat::Vec3 expected = zAxis * (0.4f * kDashSpeed);
  EXPECT_NEAR(transform->position.x, expected.x, kTol);
  EXPECT_NEAR(transform->position.y, 0.0f, kTol);
  EXPECT_NEAR(transform->position.z, expected.z, kTol);
  // The matrix follows the position.
  EXPECT_NEAR(transform->world(3, 0), transform->position.x, 1e-5f);
  EXPECT_NEAR(transform->world(3, 2), transform->position.z, 1e-5f);
}

TEST_F(Animator, TheCharacterColliderTakesTheRootMotionWhenThereIsOne) {
  CAnimator* animator = Make(Hero("<key name='static' value='0'/>"), true, true);
  EXPECT_EQ(animator->GetRootMotionTarget(), static_cast<IRootMotionTarget*>(collider));
  animator->ExecuteAnimationAction("dash", 1.0f, 0.0f, 0.0f, false);
  animator->Update(0.2f);
  EXPECT_NEAR(collider->position.z, 0.2f * kDashSpeed, kTol);
  EXPECT_EQ(collider->calls, 1) << "one displacement per frame";
  EXPECT_EQ(transform->position, plat::Vec3()) << "the collider moves the object";
}

TEST_F(Animator, AStaticAnimatorNeverMovesItsObject) {
  CAnimator* animator = Make(Hero());
  animator->ExecuteAction("dash", 1.0f, 0.0f, 0.0f, false);
  animator->ExecuteAction("dash", 0.5f, 0.1f, 0.1f, true);
  for (int i = 0; i < 10; ++i) animator->Update(0.05f);
  EXPECT_EQ(transform->position, plat::Vec3());
  // The root translation stays in the pose instead.
  EXPECT_GT(animator->GetBoneTranslation("Bip01").z, 0.5f);
  animator->SetStatic(false);
  animator->Update(0.05f);
  EXPECT_GT(transform->position.z, 0.0f);
}

TEST_F(Animator, SubStepsAndBoneSamples) {
  struct Case {
    bool subStepping;
    float dt, stepTime;
    int steps;  // sub-steps, each with one sample
  };
  const Case cases[] = {
      {true, 1.0f / 30.0f, 1.0f / 240.0f, 8},
      {true, 0.5f, 1.0f / 60.0f, 10},
      {true, 0.001f, 1.0f / 240.0f, 1},
      {false, 0.1f, 1.0f / 240.0f, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "dt " << c.dt << " step " << c.stepTime);
    CAnimator* animator = Make(Hero());
    animator->subStepping = c.subStepping;
    animator->subStepTime = c.stepTime;
    animator->AddSampledBone("Bone06");
    animator->AddSampledBone("Bip01 L Hand");
    animator->AddSampledBone("no such bone");
    animator->ExecuteAction("attack", 1.0f, 0.0f, 0.0f, true);
    ASSERT_TRUE(animator->Update(c.dt));
    EXPECT_EQ(animator->GetLastUpdateCount(), c.steps + 1) << "sub-steps plus the rest";
    // However it is cut, the frame advances the animation by dt.
    EXPECT_NEAR(animator->GetMixer()->getAnimationActionList().front()->getTime(), c.dt, 1e-5f);
    const std::vector<plat::Vec3>* tip = animator->GetBoneSamples("bone06");
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(static_cast<int>(tip->size()), c.steps);
    EXPECT_EQ(static_cast<int>(animator->GetBoneSamples("Bip01 L Hand")->size()), c.steps);
    for (const plat::Vec3& p : *animator->GetBoneSamples("no such bone")) EXPECT_EQ(p, plat::Vec3());
    EXPECT_EQ(animator->GetBoneSamples("Bone05"), nullptr);
    if (c.steps == 8) {
      // The sword moves between samples; the last sample is the pose after the
      // last sub-step.
      EXPECT_NE((*tip)[0], (*tip)[7]);
    }
    // The next update replaces the samples.
    if (c.subStepping) {
      animator->Update(c.dt);
      EXPECT_EQ(static_cast<int>(tip->size()), c.steps);
    }
  }
}

TEST_F(Animator, CyclesBlendOnlyOnChange) {
  CAnimator* animator = Make(Hero());
  CMixer* mixer = animator->GetMixer();
  EXPECT_EQ(animator->BlendCycle("idle", 1.0f, 0.0f, 0.0f), 0);
  animator->Update(0.1f);
  animator->Update(0.1f);
  const float weight = mixer->getAnimationCycleList().front()->getWeight();
  EXPECT_NEAR(weight, 1.0f, 1e-5f);
  // The same cycle again: not even its weight changes.
  EXPECT_EQ(animator->BlendCycle("idle", 0.2f, 0.0f, 0.0f), 0);
  animator->Update(0.1f);
  EXPECT_NEAR(mixer->getAnimationCycleList().front()->getWeight(), weight, 1e-5f);
  // Clearing a cycle that is not the current one does nothing.
  EXPECT_EQ(animator->ClearCycle("run", 0.0f), 1);
  EXPECT_EQ(animator->GetCurrentCycleId(), 0);
  // A new cycle fades the old one out.
  EXPECT_EQ(animator->BlendCycle("run", 1.0f, 0.05f, 0.25f), 1);
  EXPECT_EQ(animator->GetCurrentCycleName(), CStringHash("run"));
  EXPECT_EQ(mixer->getAnimationCycleList().size(), 2u);
  for (int i = 0; i < 10; ++i) animator->Update(0.05f);
  EXPECT_EQ(mixer->getAnimationCycleList().size(), 1u);
  EXPECT_EQ(animator->ClearCycle("run", 0.0f), 1);
  EXPECT_EQ(animator->GetCurrentCycleId(), -1);
  EXPECT_TRUE(animator->GetCurrentCycleName().IsNoName());
  EXPECT_NEAR(animator->GetAnimationDuration("run"), 0.8f, 1e-5f);
}

TEST_F(Animator, ActionListsFollowTheMixer) {
  CAnimator* animator = Make(Hero());
  CMixer* mixer = animator->GetMixer();
  animator->ExecuteAction("attack", 1.0f, 0.1f, 0.1f, false);
  animator->ExecuteAction("attack", 1.0f, 0.1f, 0.1f, false);
  animator->ExecuteAction("dash", 1.0f, 0.1f, 0.1f, true);
  EXPECT_EQ(animator->GetActions().size(), 2u);
  EXPECT_EQ(animator->GetLockedActions().size(), 1u);
  EXPECT_EQ(mixer->getAnimationActionList().size(), 3u);
  // Both starts of one name are removed: two removals.
  animator->ClearActions();
  EXPECT_TRUE(animator->GetActions().empty());
  EXPECT_EQ(mixer->getAnimationActionList().size(), 1u);
  animator->RemoveLockedAction("dash", 0.2f, true);
  EXPECT_TRUE(animator->GetLockedActions().empty());
  EXPECT_EQ(mixer->getAnimationActionList().front()->getState(), CalAnimation::STATE_OUT);
  // A list entry whose name cannot be resolved still leaves.
  animator->ExecuteAction("attack", 1.0f, 0.0f, 0.0f, false);
  manager.DestroyInstance("hero");
  animator->ClearActions();
  EXPECT_TRUE(animator->GetActions().empty());
}

TEST_F(Animator, BoneTransformsOfThePose) {
  CAnimator* animator = Make(Hero());
  animator->Update(0.0f);
  const plat::Vec3 head = animator->GetBoneTranslation("Bip01 Head");
  EXPECT_NEAR(head.x, 0.0f, kTol);
  EXPECT_NEAR(head.y, 1.6f, kTol);
  EXPECT_NEAR(head.z, 0.0f, kTol);
  plat::Vec3 hand;
  animator->GetBoneTranslation(hand, "Bip01 L Hand");
  EXPECT_NEAR(hand.y, 0.95f, kTol);
  EXPECT_EQ(animator->GetBoneTranslation("Bip01 Tail"), plat::Vec3());
  EXPECT_EQ(animator->GetBoneRotation("Bip01 Tail"), plat::Vec4(0, 0, 0, 1));
  const CalQuaternion& library =
      animator->GetModel()->getSkeleton()->getBone(0)->getRotationAbsolute();
  const plat::Vec4 ours = animator->GetBoneRotation("Bip01");
  EXPECT_EQ(ours, plat::Vec4(library.x, library.y, library.z, -library.w));
}

TEST_F(Animator, CheckpointRestoreStartsFromRestWhenAsked) {
  for (bool reset : {true, false}) {
    SCOPED_TRACE(reset ? "reset on checkpoint" : "keep");
    CAnimator* animator = Make(Hero());
    animator->ResetOnCheckPoint(reset);
    animator->BlendCycle("idle", 1.0f, 0.0f, 0.0f);
    animator->ExecuteAction("attack", 1.0f, 0.0f, 0.0f, false);
    animator->SaveCheckPoint();
    animator->ExecuteAction("dash", 1.0f, 0.0f, 0.0f, true);
    animator->LoadCheckPoint();
    if (reset) {
      EXPECT_EQ(animator->GetCurrentCycleId(), -1);
      EXPECT_TRUE(animator->GetActions().empty());
      EXPECT_TRUE(animator->GetLockedActions().empty());
      EXPECT_TRUE(animator->GetMixer()->getAnimationActionList().empty());
    } else {
      EXPECT_EQ(animator->GetCurrentCycleName(), CStringHash("idle"));
      ASSERT_EQ(animator->GetActions().size(), 1u);
      EXPECT_STREQ(animator->GetActions()[0].Get().c_str(), "attack");
      EXPECT_TRUE(animator->GetLockedActions().empty());
    }
  }
}

TEST_F(Animator, CopiesKeepTheirNamesAfterTheXmlIsGone) {
  CAnimator source;
  {
    std::string xml = "<Component>" + Hero() + "</Component>";
    std::vector<char> buffer(xml.begin(), xml.end());
    buffer.push_back('\0');
    rapidxml::xml_document<> doc;
    doc.parse<0>(buffer.data());
    source.Load(doc.first_node());
    std::fill(buffer.begin(), buffer.end(), 'x');
  }
  CAnimator copy;
  copy.CopyFrom(source);
  EXPECT_STREQ(copy.GetTemplateId().c_str(), "player");
  EXPECT_STREQ(copy.GetInstanceName().c_str(), "hero");
  EXPECT_STREQ(copy.GetMeshName().c_str(), "humanoid.xmf");
}

}  // namespace
}  // namespace anm
}  // namespace vd
