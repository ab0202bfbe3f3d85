// The application over its real render thread, headless, loads the test level from
// Data/xml: its camera and walkers are created through the component factories,
// enabled at the next frame's start, and updated in every frame's pass.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "engine/app/Application.h"
#include "engine/core/EngineNames.h"
#include "engine/objects/Camera.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Transform.h"
#include "platform/window/MessageBox.h"

namespace vd {
namespace {

// Walks its object back and forth between where it starts and its "target" at
// "speed", through the transform's linear movements.
class CTestPatrol : public obj::CComponent<CTestPatrol> {
public:
  static const CStringHash& GetClassName() {
    static const CStringHash name("CTestPatrol");
    return name;
  }
  ~CTestPatrol() override {
    if (!IsCheckPointCopy()) Reset();
  }
  void Load(rapidxml::xml_node<>* element) override {
    obj::ForEachKey(element, [this](const obj::CKey& key) {
      if (key.NameHash() == ComputeHash("target")) target = key.Vector3();
      if (key.NameHash() == ComputeHash("speed")) speed = key.Float();
    });
  }
  bool HasContent() override { return true; }
  bool Init() override {
    transform = GetOwner() ? GetOwner()->GetComponent<gfx::CTransform>() : nullptr;
    if (transform) start = transform->position;
    return true;
  }
  bool Update(float) override {
    ++updates;
    if (!transform || transform->IsMoving()) return true;
    const plat::Vec3 to = legs % 2 == 0 ? target : start;
    ++legs;
    transform->BeginLinearMovement("patrol", to.x, to.y, to.z, speed);
    return true;
  }
  void Reset() override {
    transform = nullptr;
    updates = 0;
    legs = 0;
  }

  plat::Vec3 target, start;
  float speed = 0.0f;
  gfx::CTransform* transform = nullptr;
  int updates = 0;
  int legs = 0;
};

class CLevelApp : public sys::CApplicationBase {
public:
  void PreInit() override {}
  void StartGame() override {}
  void RegisterScriptBindings() override {}
  void RegisterComponentFactories() override {
    obj::RegisterObjectComponentFactories(objectManager.componentFactories);
    utl::RegisterFactoryMaker<CTestPatrol, obj::IComponent>(objectManager.componentFactories);
  }
  bool Update(float) override {
    ++frames;
    if (frames == 1) {
      templatesLoaded = objectManager.LoadTemplates("Data/xml/test_level_templates.xml");
      group = objectManager.LoadInstances("Data/xml/test_level_instances.xml", "", true);
    }
    obj::CGameObject* walker = objectManager.GetGameObjectByName(CStringHash("walker_a"));
    CTestPatrol* patrol = walker ? walker->GetComponent<CTestPatrol>() : nullptr;
    // The second leg began in the last pass, on the first arrival, whose event the
    // level's script has been handed at this frame's start.
    if ((patrol && patrol->legs >= 2) || frames >= 3000) quitRequested = 1;
    return true;
  }
  void EndGame() override {
    scriptManager.RunString(
        "seen_walker = (last_movement ~= nil and last_movement.object == 'walker_a' and "
        "last_movement.name == 'patrol' and not last_movement.begin) and 1 or 0",
        "check");
    seenWalker = scriptManager.GetGlobalInt("seen_walker");
    auto* camera = objectManager.GetGameObjectByName(CStringHash("test_camera"));
    cameraOk = camera && camera->IsEnabled() && camera->GetComponent<cam::CCamera>() &&
               camera->GetComponent<cam::CCamera>()->frustum[utl::IEye::kNear].c != 0.0f;
    for (const char* name : {"walker_a", "walker_b", "walker_c"}) {
      obj::CGameObject* walker = objectManager.GetGameObjectByName(CStringHash(name));
      CTestPatrol* patrol = walker ? walker->GetComponent<CTestPatrol>() : nullptr;
      updates[name[7] - 'a'] = patrol ? patrol->updates : -1;
    }
    objectCount = static_cast<int>(objectManager.GetObjectCount());
  }

  int frames = 0;
  bool templatesLoaded = false;
  int group = -1;
  int seenWalker = -1;
  bool cameraOk = false;
  int updates[3] = {-2, -2, -2};
  int objectCount = 0;
};

TEST(TestLevel, LoadsAndUpdatesItsObjectsEveryFrame) {
  plat::RecordingMessageSink messages;
  plat::IMessageSink* previous = plat::SetMessageSink(&messages);
  CLevelApp app;
  ASSERT_TRUE(app.Init(nullptr, 1));
  app.StartGame();
  app.MainLoop();
  app.EndGame();
  app.Shutdown();
  plat::SetMessageSink(previous);

  EXPECT_TRUE(app.templatesLoaded);
  EXPECT_EQ(app.group, 0);
  EXPECT_EQ(app.objectCount, 4);
  EXPECT_LT(app.frames, 3000);
  // Loaded during the first frame's update: enabled at the start of the second,
  // then updated in every pass.
  EXPECT_EQ(app.updates[0], app.frames - 1);
  EXPECT_EQ(app.updates[1], app.frames - 1);
  EXPECT_EQ(app.updates[2], 0);  // enabled="0"
  EXPECT_EQ(app.seenWalker, 1);
  EXPECT_TRUE(app.cameraOk);
  EXPECT_TRUE(messages.Requests().empty());
}

}  // namespace
}  // namespace vd
