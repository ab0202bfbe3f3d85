// Game objects in the running application, headless over the recording device:
// which update pass each kind of object takes, animated meshes attached by the
// application's wiring, and "sound_3d" timers resolved to an object's position.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/animation/Animator.h"
#include "engine/app/Application.h"
#include "engine/core/EngineNames.h"
#include "engine/events/EngineEvents.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/Camera.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Transform.h"
#include "platform/gpu/Device.h"
#include "platform/window/MessageBox.h"

namespace vd {
namespace {

// Counts the updates of its object.
class CCounter : public obj::CComponent<CCounter> {
public:
  static const CStringHash& GetClassName() {
    static const CStringHash name("CCounter");
    return name;
  }
  void Load(rapidxml::xml_node<>*) override {}
  bool HasContent() override { return true; }
  bool Update(float) override {
    ++updates;
    return true;
  }
  bool Init() override { return true; }
  void Reset() override {}
  int updates = 0;
};

// A statue drawn from a plain mesh and two humanoids with an animated mesh, whose
// animator comes before its renderer in one and after it in the other.
constexpr const char* kTemplates =
    "<GameObjectTemplate name='statue'><Component name='CTransform'/>"
    "  <Component name='CRenderer'><key name='mesh' value='test_quad.mesh'/></Component>"
    "  <Component name='CCounter'/></GameObjectTemplate>"
    "<GameObjectTemplate name='animator_first'><Component name='CTransform'/>"
    "  <Component name='CAnimator'><key name='animation' value='player'/>"
    "    <key name='mesh' value='humanoid.xmf'/></Component>"
    "  <Component name='CRenderer'><key name='anim_mesh' value='humanoid.xmf'/></Component>"
    "  <Component name='CCounter'/></GameObjectTemplate>"
    "<GameObjectTemplate name='renderer_first'><Component name='CTransform'/>"
    "  <Component name='CRenderer'><key name='anim_mesh' value='humanoid.xmf'/></Component>"
    "  <Component name='CAnimator'><key name='animation' value='player'/>"
    "    <key name='mesh' value='humanoid.xmf'/></Component>"
    "  <Component name='CCounter'/></GameObjectTemplate>";

constexpr const char* kInstances =
    "<GameObject name='statue' GameObjectTemplate='statue'/>"
    "<GameObject name='hero' GameObjectTemplate='animator_first'>"
    "  <Component name='CTransform'><key name='position' X='3' Y='0' Z='4'/></Component>"
    "  <Component name='CAnimator'><key name='animation_instance_name' value='hero'/></Component>"
    "</GameObject>"
    "<GameObject name='rival' GameObjectTemplate='renderer_first'>"
    "  <Component name='CAnimator'><key name='animation_instance_name' value='rival'/></Component>"
    "</GameObject>";

class CObjectsApp : public sys::CApplicationBase {
public:
  void PreInit() override { std::snprintf(name, sizeof name, "%s", "Objects"); }
  void RegisterComponentFactories() override {
    CApplicationBase::RegisterComponentFactories();
    utl::RegisterFactoryMaker<CCounter, obj::IComponent>(objectManager.componentFactories);
  }
  void UnregisterComponentFactories() override {
    utl::UnregisterFactoryMaker(CCounter::GetClassName(), objectManager.componentFactories);
    CApplicationBase::UnregisterComponentFactories();
  }
  void StartGame() override {
    ASSERT_TRUE(animationManager.LoadTemplates("Data/xml/level1_animation_templates.xml"));
    ASSERT_TRUE(objectManager.LoadTemplates(templates.c_str()));
    objectManager.LoadInstances(instances.c_str(), "", true);
  }
  void RegisterScriptBindings() override {}
  void EndGame() override {}
  // Records each object's update count as the frame begins; one frame skips the
  // object pass the way a game update that fails does.
  bool Update(float) override {
    ++frames;
    for (const char* object : {"statue", "hero", "rival"}) seen[object].push_back(Updates(object));
    if (frames == quitAfter) quitRequested = 1;
    return frames != skippedFrame;
  }
  int Updates(const char* object) {
    obj::CGameObject* o = objectManager.GetGameObjectByName(CStringHash(object));
    CCounter* counter = o ? o->GetComponent<CCounter>() : nullptr;
    return counter ? counter->updates : -1;
  }
  gfx::CRenderer* Renderer(const char* object) {
    obj::CGameObject* o = objectManager.GetGameObjectByName(CStringHash(object));
    return o ? o->GetComponent<gfx::CRenderer>() : nullptr;
  }

  std::string templates, instances;
  int frames = 0;
  int quitAfter = 12;
  int skippedFrame = 5;
  std::map<std::string, std::vector<int>> seen;
};

class AppObjectsTest : public ::testing::Test {
protected:
  void SetUp() override {
    previousSink = plat::SetMessageSink(&messages);
    const std::string base = "/tmp/hm_app_objects_" + std::to_string(getpid());
    app.templates = base + "_templates.xml";
    app.instances = base + "_instances.xml";
    Write(app.templates, kTemplates);
    Write(app.instances, kInstances);
    recorder = std::make_shared<plat::gpu::Recorder>();
    app.graphicsManager.gpuFactory = [r = recorder](plat::Window*, std::string*) {
      return plat::gpu::CreateRecordingGpu(r);
    };
  }
  void TearDown() override {
    app.EndGame();
    app.Shutdown();
    std::remove(app.templates.c_str());
    std::remove(app.instances.c_str());
    anm::SetMeshAttachedHook(nullptr);
    plat::SetMessageSink(previousSink);
  }
  static void Write(const std::string& path, const char* text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(text, f);
    std::fclose(f);
  }
  void Run() {
    ASSERT_TRUE(app.Init(nullptr, 1));
    // The scene lists are walked only with a camera; all its planes zero: everything
    // is inside.
    app.renderManager.viewCamera.Set(&camera);
    app.StartGame();
    app.MainLoop();
  }

  plat::RecordingMessageSink messages;
  plat::IMessageSink* previousSink = nullptr;
  std::shared_ptr<plat::gpu::Recorder> recorder;
  cam::CCamera camera;
  CObjectsApp app;
};

TEST_F(AppObjectsTest, AnimatedObjectsAreDrawnAndUpdatedOnceAFrameLikeTheOthers) {
  Run();
  // Their animators attached the model to their renderers, whichever came first.
  for (const char* object : {"hero", "rival"}) {
    gfx::CRenderer* renderer = app.Renderer(object);
    ASSERT_NE(renderer, nullptr) << object;
    EXPECT_TRUE(renderer->IsRegistered()) << object;
    EXPECT_NE(renderer->GetRenderData().modelInstance, nullptr) << object;
    EXPECT_EQ(renderer->GetRenderData().modelInstance,
              app.animationManager.GetModel(CStringHash(object)))
        << object;
  }
  // Every object once in each frame that ran its pass, and never twice in one:
  // the frame after the skipped one does not work from the skipped frame's reports.
  std::vector<int> expected;
  for (int frame = 1; frame <= app.quitAfter; ++frame)
    expected.push_back(frame - 1 - (frame > app.skippedFrame ? 1 : 0));
  for (const char* object : {"statue", "hero", "rival"})
    EXPECT_EQ(app.seen[object], expected) << object;
  EXPECT_TRUE(recorder->Errors().empty());
}

TEST_F(AppObjectsTest, ASound3DTimerPlaysAtItsObject) {
  app.quitAfter = 2;
  Run();
  obj::CGameObject* hero = app.objectManager.GetGameObjectByName(CStringHash("hero"));
  ASSERT_NE(hero, nullptr);
  ASSERT_NE(app.audioManager.FindSound("grenade_explosion_01"), nullptr);
  const size_t before = app.audioManager.Channels().size();
  auto fire = [&](uintptr_t tag) {
    evn::CEventTimer* timer =
        evn::CEventTimer::New(SH_sound_3d, 0.0f, &app.audioManager, nullptr, tag);
    timer->data.Copy("grenade_explosion_01");
    app.audioManager.HandleEvent(timer);
    timer->Release();
  };
  fire(static_cast<uintptr_t>(hero->GetId()));
  EXPECT_EQ(app.audioManager.Channels().size(), before + 1);
  fire(9999);  // no such object: nothing plays
  EXPECT_EQ(app.audioManager.Channels().size(), before + 1);
}

}  // namespace
}  // namespace vd
