#include "engine/animation/Mixer.h"

#include <gtest/gtest.h>

#include <cal3d/bone.h>
#include <cal3d/model.h>
#include <cal3d/skeleton.h>

#include "engine/animation/AnimationManager.h"
#include "tests/engine/animation/AnimTestUtil.h"

namespace vd {
namespace anm {
namespace {

// The generated humanoid: "dash" moves the root 2.4 m towards +z in 0.8 s at an
// even speed, "run" is a cycle in place.
constexpr int kIdle = 0;
constexpr int kRun = 1;
constexpr int kDash = 2;
constexpr float kDashSpeed = 3.0f;
constexpr float kTol = 1e-3f;

class Mixer : public ::testing::Test {
protected:
  void SetUp() override {
    CAnimationManager::SetLoadingModeRotateX();
    ASSERT_TRUE(manager.LoadTemplates("Data/xml/level1_animation_templates.xml"));
    SAnimationInstance* instance = manager.CreateInstance("hero", "player");
    ASSERT_NE(instance, nullptr);
    mixer = instance->mixer;
    model = instance->model;
  }

  CalVector Step(float dt, bool extract = true) {
    mixer->updateAnimation(dt);
    mixer->updateSkeleton(extract);
    return mixer->takeRootTranslationDelta();
  }
  CAnimationAction* Front() {
    return mixer->getAnimationActionList().empty() ? nullptr : mixer->getAnimationActionList().front();
  }
  const CalVector& RootPose() { return model->getSkeleton()->getBone(0)->getTranslation(); }

  test::CLogCapture log;
  CAnimationManager manager;
  CMixer* mixer = nullptr;
  CalModel* model = nullptr;
};

TEST_F(Mixer, ActionRootMotionIsTakenOutOfThePoseOnce) {
  ASSERT_TRUE(mixer->executeAction(kDash, 0.0f, 0.0f, 1.0f, false));
  float moved = 0.0f;
  for (int i = 0; i < 4; ++i) {
    const CalVector d = Step(0.1f);
    EXPECT_NEAR(d.z, 0.1f * kDashSpeed, kTol) << "step " << i;
    EXPECT_NEAR(d.x, 0.0f, kTol);
    EXPECT_EQ(d.y, 0.0f);
    moved += d.z;
    // The pose keeps only the root's height.
    EXPECT_EQ(RootPose().x, 0.0f);
    EXPECT_EQ(RootPose().z, 0.0f);
    EXPECT_GT(RootPose().y, 0.9f);
    const CalVector again = mixer->takeRootTranslationDelta();
    EXPECT_EQ(again.x, 0.0f);
    EXPECT_EQ(again.z, 0.0f);
  }
  EXPECT_NEAR(moved, 1.2f, kTol);
}

TEST_F(Mixer, DeltasOfSeveralActionsAreWeightedAndSummed) {
  ASSERT_TRUE(mixer->executeAction(kDash, 0.0f, 0.0f, 0.25f, false));
  ASSERT_TRUE(mixer->executeAction(kDash, 0.0f, 0.0f, 0.5f, false));
  EXPECT_NEAR(Step(0.1f).z, 0.75f * 0.1f * kDashSpeed, kTol);
  // Untaken motion of two updates adds up, each weighted once.
  mixer->updateAnimation(0.1f);
  mixer->updateSkeleton(true);
  mixer->updateAnimation(0.1f);
  mixer->updateSkeleton(true);
  EXPECT_NEAR(mixer->takeRootTranslationDelta().z, 0.75f * 0.2f * kDashSpeed, kTol);
  EXPECT_EQ(mixer->takeRootTranslationDelta().z, 0.0f);
}

TEST_F(Mixer, WithoutExtractionTheRootMovesInThePose) {
  ASSERT_TRUE(mixer->executeAction(kDash, 0.0f, 0.0f, 1.0f, false));
  const CalVector d = Step(0.4f, false);
  EXPECT_EQ(d.x, 0.0f);
  EXPECT_EQ(d.z, 0.0f);
  EXPECT_NEAR(RootPose().z, 0.4f * kDashSpeed, kTol);
}

TEST_F(Mixer, CyclesKeepTheirRootTranslation) {
  ASSERT_TRUE(mixer->blendCycle(kRun, 1.0f, 0.0f));
  for (int i = 0; i < 5; ++i) {
    const CalVector d = Step(0.1f);
    EXPECT_EQ(d.x, 0.0f);
    EXPECT_EQ(d.z, 0.0f);
  }
  EXPECT_TRUE(mixer->clearCycle(kRun, 0.0f));
  EXPECT_FALSE(mixer->blendCycle(99, 1.0f, 0.0f));
}

// Fade-out of an action 0.1 s before its end.
TEST_F(Mixer, RemovalFadesUntilTheEndOrBeyondIt) {
  struct Case {
    bool beyondEnd;
    float expectedFade;
  };
  for (const Case& c : {Case{false, 0.1f}, Case{true, 0.3f}}) {
    SCOPED_TRACE(c.beyondEnd ? "beyond end" : "until end");
    ASSERT_TRUE(mixer->executeAction(kDash, 0.0f, 0.0f, 1.0f, false));
    Step(0.7f);
    ASSERT_TRUE(mixer->removeAction(kDash, 0.3f, c.beyondEnd));
    CAnimationAction* action = Front();
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->getState(), CalAnimation::STATE_OUT);
    EXPECT_NEAR(action->getDelayOut(), c.expectedFade, kTol);
    EXPECT_NEAR(action->getEndTime(), 0.7f + c.expectedFade, kTol);
    Step(0.05f);
    EXPECT_NEAR(action->getWeight(), (c.expectedFade - 0.05f) / c.expectedFade, kTol);
    Step(c.expectedFade - 0.05f - 0.01f);
    EXPECT_EQ(Front(), action) << "still fading";
    Step(0.02f);
    EXPECT_EQ(Front(), nullptr);
  }
}

TEST_F(Mixer, ALockedActionFadesFromItsHeldWeight) {
  ASSERT_TRUE(mixer->executeAction(kDash, 0.0f, 0.0f, 0.8f, true));
  Step(1.0f);
  Step(0.5f);
  CAnimationAction* action = Front();
  ASSERT_NE(action, nullptr);
  EXPECT_EQ(action->getState(), CalAnimation::STATE_STOPPED);
  EXPECT_FLOAT_EQ(action->getTime(), 0.8f);
  EXPECT_FLOAT_EQ(action->getWeight(), 0.8f);
  ASSERT_TRUE(mixer->removeAction(kDash, 0.2f, true));
  Step(0.1f);
  EXPECT_NEAR(action->getWeight(), 0.4f, kTol);
  Step(0.1f);
  EXPECT_EQ(Front(), nullptr);
}

TEST_F(Mixer, RootMotionFadesWithARemovedAction) {
  ASSERT_TRUE(mixer->executeAction(kDash, 0.0f, 0.0f, 1.0f, false));
  Step(0.2f);
  ASSERT_TRUE(mixer->removeAction(kDash, 0.4f, true));
  const float expected[] = {0.75f, 0.5f, 0.25f, 0.0f};
  for (float weight : expected) EXPECT_NEAR(Step(0.1f).z, weight * 0.1f * kDashSpeed, kTol) << weight;
  EXPECT_EQ(Front(), nullptr);
}

TEST_F(Mixer, RemovingWhatDoesNotRunChangesNothing) {
  EXPECT_FALSE(mixer->removeAction(kDash, 0.2f, false));
  EXPECT_FALSE(mixer->removeAction(42, 0.0f, false));
  EXPECT_FALSE(mixer->executeAction(42, 0.0f, 0.0f));
  ASSERT_TRUE(mixer->executeAction(kIdle, 0.1f, 0.1f));
  EXPECT_FALSE(mixer->removeAction(kDash, 0.2f, false));
  EXPECT_EQ(mixer->getAnimationActionList().size(), 1u);
  // No fade: gone at once.
  EXPECT_TRUE(mixer->removeAction(kIdle, 0.0f, false));
  EXPECT_TRUE(mixer->getAnimationActionList().empty());
}

}  // namespace
}  // namespace anm
}  // namespace vd
