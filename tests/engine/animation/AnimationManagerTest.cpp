#include "engine/animation/AnimationManager.h"
#include "engine/animation/Mixer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include <cal3d/coreanimation.h>
#include <cal3d/coremodel.h>
#include <cal3d/coresubmesh.h>
#include <cal3d/coremesh.h>
#include <cal3d/mixer.h>
#include <cal3d/model.h>

#include "tests/engine/animation/AnimTestUtil.h"

namespace vd {
namespace anm {
namespace {

constexpr const char* kLevel1 = "Data/xml/level1_animation_templates.xml";

std::string TempPath(const char* name) {
  return std::string("/tmp/hm_anim_") + std::to_string(getpid()) + "_" + name;
}

class AnimationTemplates : public ::testing::Test {
protected:
  void SetUp() override { CAnimationManager::SetLoadingModeRotateX(); }
  test::CLogCapture log;
  CAnimationManager manager;
};

TEST_F(AnimationTemplates, LevelFileLoadsTheHumanoidAndMakesInstances) {
  ASSERT_TRUE(manager.LoadTemplates(kLevel1));
  CAnimationTemplate* player = manager.FindTemplate("player");
  ASSERT_NE(player, nullptr);
  EXPECT_EQ(player->GetFile(), "Data/anims/humanoid.xsf");
  EXPECT_EQ(player->GetMeshCount(), 1u);
  EXPECT_EQ(player->GetAnimationCount(), 4u);
  // Ids in file order; the core animation carries the name.
  EXPECT_EQ(player->GetAnimationId("idle"), 0);
  EXPECT_EQ(player->GetAnimationId("RUN"), 1);
  EXPECT_EQ(player->GetCoreModel()->getCoreAnimation(1)->getName(), "run");

  SAnimationInstance* hero = manager.CreateInstance("hero", "player");
  ASSERT_NE(hero, nullptr);
  ASSERT_NE(hero->mixer, nullptr);
  EXPECT_EQ(hero->model->getAbstractMixer(), static_cast<CalAbstractMixer*>(hero->mixer));
  EXPECT_TRUE(manager.AttachMesh("hero", "humanoid.xmf"));
  EXPECT_FALSE(manager.AttachMesh("hero", "no_such_mesh.xmf"));
  EXPECT_FALSE(manager.AttachMesh("nobody", "humanoid.xmf"));
  EXPECT_EQ(manager.GetModel("hero"), hero->model);
  EXPECT_EQ(manager.GetAnimationId("hero", "dash"), 2);
  // Unknown names are unknown, never animation 0.
  EXPECT_EQ(manager.GetAnimationId("hero", "fly"), -1);
  EXPECT_EQ(manager.GetAnimationId("nobody", "idle"), -1);

  // A name never created has no model and leaves no record behind.
  EXPECT_EQ(manager.GetModel("nobody"), nullptr);
  EXPECT_EQ(manager.GetInstanceCount(), 1u);
  // An unknown template makes no instance.
  EXPECT_EQ(manager.CreateInstance("ghost", "no_template"), nullptr);
  EXPECT_TRUE(log.sink->Contains("no_template", "ghost"));

  ASSERT_NE(manager.CreateInstance("second", "player"), nullptr);
  manager.DestroyInstance("nobody");
  EXPECT_EQ(manager.GetInstanceCount(), 2u);
  manager.DestroyInstance("second");
  EXPECT_EQ(manager.GetModel("second"), nullptr);
  manager.ClearInstances();
  EXPECT_EQ(manager.GetInstanceCount(), 0u);
  EXPECT_EQ(manager.GetModel("hero"), nullptr);
}

TEST_F(AnimationTemplates, MissingSkeletonMeshOrAnimationIsLoggedAndLeftOut) {
  test::CTempFile file(TempPath("missing.xml"),
                       "<animationTemplates>"
                       "<animationTemplate id='broken' file='no_skeleton.xsf'>"
                       "<animations><animation id='idle' file='humanoid_idle.xaf'/></animations>"
                       "</animationTemplate>"
                       "<animationTemplate id='partial' file='HUMANOID.XSF'>"
                       "<meshes><mesh file='no_mesh.xmf'/><mesh file='humanoid.xmf'/></meshes>"
                       "<animations><animation id='gone' file='no_anim.xaf'/>"
                       "<animation id='idle' file='humanoid_idle.xaf'/></animations>"
                       "</animationTemplate>"
                       "</animationTemplates>");
  ASSERT_TRUE(manager.LoadTemplates(file.Path()));

  EXPECT_EQ(manager.FindTemplate("broken"), nullptr);
  EXPECT_TRUE(log.sink->Contains("broken", "Data/anims/no_skeleton.xsf"));

  // The file's letter case does not matter; the missing files are named in the log.
  CAnimationTemplate* partial = manager.FindTemplate("partial");
  ASSERT_NE(partial, nullptr);
  EXPECT_EQ(partial->GetMeshId("no_mesh.xmf"), -1);
  EXPECT_EQ(partial->GetMeshId("humanoid.xmf"), 0);
  EXPECT_EQ(partial->GetAnimationId("gone"), -1);
  EXPECT_EQ(partial->GetAnimationId("idle"), 0);
  EXPECT_TRUE(log.sink->Contains("Data/anims/no_mesh.xmf"));
  EXPECT_TRUE(log.sink->Contains("Data/anims/no_anim.xaf"));
}

TEST_F(AnimationTemplates, RepeatedEntriesKeepTheFirstDataAndTangentsNeedALeadingOne) {
  test::CTempFile file(TempPath("repeat.xml"),
                       "<animationTemplates>"
                       "<animationTemplate id='a' file='humanoid.xsf'>"
                       "<meshes><mesh file='humanoid.xmf' meshTypeId='7' computeTangentSpace='true'/></meshes>"
                       "<animations><animation id='move' file='humanoid_run.xaf'/></animations>"
                       "</animationTemplate>"
                       "<animationTemplate id='A' file='other.xsf'>"
                       "<meshes><mesh file='humanoid.xmf' meshTypeId='9' computeTangentSpace='1'/></meshes>"
                       "<animations><animation id='move' file='humanoid_dash.xaf'/>"
                       "<animation id='swing' file='humanoid_attack.xaf'/></animations>"
                       "</animationTemplate>"
                       "<animationTemplate id='b' file='humanoid.xsf'>"
                       "<meshes><mesh file='humanoid.xmf' meshTypeId='3' computeTangentSpace='1'/></meshes>"
                       "</animationTemplate>"
                       "</animationTemplates>");
  ASSERT_TRUE(manager.LoadTemplates(file.Path()));
  // A second load of the same file changes nothing.
  ASSERT_TRUE(manager.LoadTemplates(file.Path()));
  CAnimationTemplate* a = manager.FindTemplate("a");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->GetFile(), "Data/anims/humanoid.xsf");
  EXPECT_EQ(a->GetAnimationCount(), 2u);
  EXPECT_EQ(a->GetAnimationId("move"), 0);
  EXPECT_EQ(a->GetAnimationId("swing"), 1);
  EXPECT_EQ(a->GetCoreModel()->getCoreAnimationCount(), 2);

  const CAnimationTemplate::SMesh* mesh = a->FindMesh("humanoid.xmf");
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->meshTypeId, 7);
  EXPECT_FALSE(mesh->computeTangentSpace);
  EXPECT_FALSE(a->GetCoreModel()->getCoreMesh(0)->getCoreSubmesh(0)->isTangentsEnabled(0));

  const CAnimationTemplate::SMesh* tangents = manager.FindTemplate("b")->FindMesh("humanoid.xmf");
  ASSERT_NE(tangents, nullptr);
  EXPECT_EQ(tangents->meshTypeId, 3);
  EXPECT_TRUE(tangents->computeTangentSpace);
  EXPECT_TRUE(manager.FindTemplate("b")->GetCoreModel()->getCoreMesh(0)->getCoreSubmesh(0)->isTangentsEnabled(0));
}

TEST_F(AnimationTemplates, UnreadableOrMalformedFilesLoadNothing) {
  EXPECT_FALSE(manager.LoadTemplates("Data/xml/no_such_templates.xml"));
  test::CTempFile empty(TempPath("empty.xml"), "");
  EXPECT_FALSE(manager.LoadTemplates(empty.Path()));
  test::CTempFile broken(TempPath("broken.xml"), "<animationTemplates><animationTemplate id='x'");
  EXPECT_FALSE(manager.LoadTemplates(broken.Path()));
  EXPECT_TRUE(log.sink->Contains("not valid XML"));
  test::CTempFile other(TempPath("other.xml"), "<somethingElse/>");
  EXPECT_TRUE(manager.LoadTemplates(other.Path()));
  EXPECT_EQ(manager.templates.Size(), 0u);
}

TEST_F(AnimationTemplates, ClearingTheTableUnloadsEveryTemplate) {
  ASSERT_TRUE(manager.LoadTemplates(kLevel1));
  ASSERT_NE(manager.CreateInstance("hero", "player"), nullptr);
  // Start-up's order: instances first, so that no model outlives its core model.
  manager.ClearInstances();
  manager.templates.RemoveAll();
  EXPECT_EQ(manager.FindTemplate("player"), nullptr);
  ASSERT_TRUE(manager.LoadTemplates(kLevel1));
  EXPECT_NE(manager.FindTemplate("player"), nullptr);
  // Shutdown's order: templates before instances. Models must still be freed
  // safely with their core data gone.
  ASSERT_NE(manager.CreateInstance("hero", "player"), nullptr);
  manager.AttachMesh("hero", "humanoid.xmf");
  manager.GetMixer("hero")->blendCycle(0, 1.0f, 0.0f);
  manager.GetMixer("hero")->executeAction(2, 0.0f, 0.0f);
  manager.GetMixer("hero")->updateAnimation(0.1f);
  manager.templates.RemoveAll();
  manager.ClearInstances();
  EXPECT_EQ(manager.GetInstanceCount(), 0u);
}

// The loading thread adds templates, and animations to a template in use, while
// the main thread animates an instance of it.
TEST_F(AnimationTemplates, LoadingThreadAndMainThreadShareTheManager) {
  test::CTempFile extra(TempPath("extra.xml"),
                        "<animationTemplates>"
                        "<animationTemplate id='player' file='humanoid.xsf'>"
                        "<animations><animation id='swing' file='humanoid_attack.xaf'/></animations>"
                        "</animationTemplate>"
                        "<animationTemplate id='enemy' file='humanoid.xsf'>"
                        "<meshes><mesh file='humanoid.xmf'/></meshes>"
                        "<animations><animation id='idle' file='humanoid_idle.xaf'/></animations>"
                        "</animationTemplate>"
                        "</animationTemplates>");
  ASSERT_TRUE(manager.LoadTemplates("Data/xml/loading_animation_templates.xml"));
  SAnimationInstance* figure = manager.CreateInstance("figure", "loading_figure");
  ASSERT_NE(figure, nullptr);
  test::CTempFile reuse(TempPath("reuse.xml"),
                        "<animationTemplates><animationTemplate id='loading_figure' file='humanoid.xsf'>"
                        "<animations><animation id='dash' file='humanoid_dash.xaf'/></animations>"
                        "</animationTemplate></animationTemplates>");
  std::atomic<bool> done{false};
  std::thread loader([&] {
    manager.LoadTemplates(extra.Path());
    manager.LoadTemplates(reuse.Path());
    manager.LoadTemplates(kLevel1);
    done = true;
  });
  CMixer* mixer = figure->mixer;
  int frames = 0;
  while (!done || frames < 10) {
    // As the animator does it: mixer use under the manager's lock.
    std::lock_guard<std::recursive_mutex> lock(manager.GetLock());
    mixer->blendCycle(manager.GetAnimationId("figure", frames % 20 < 10 ? "run" : "idle"), 1.0f, 0.1f);
    mixer->executeAction(manager.GetAnimationId("figure", "run"), 0.1f, 0.1f);
    mixer->updateAnimation(1.0f / 60.0f);
    mixer->updateSkeleton(true);
    ++frames;
  }
  loader.join();
  EXPECT_EQ(manager.GetAnimationId("figure", "dash"), 2);
  EXPECT_NE(manager.FindTemplate("enemy"), nullptr);
  EXPECT_NE(manager.FindTemplate("player"), nullptr);
  EXPECT_NE(manager.CreateInstance("guard", "enemy"), nullptr);
}

}  // namespace
}  // namespace anm
}  // namespace vd
