#include "engine/objects/GameObjectManager.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/EngineNames.h"
#include "engine/events/EngineEvents.h"
#include "engine/objects/Camera.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/Transform.h"
#include "platform/thread/Thread.h"
#include "tests/support/LuaFixture.h"

namespace vd {
namespace obj {
namespace {

// Counts its updates; its SetEnabled(false) may ask for its object to be
// enabled again, the way an "OnEnd" handler can.
class CCounter : public CComponent<CCounter> {
public:
  static const CStringHash& GetClassName() {
    static const CStringHash name("CCounter");
    return name;
  }
  ~CCounter() override {
    if (!IsCheckPointCopy()) Reset();
  }
  void Load(rapidxml::xml_node<>* element) override {
    ForEachKey(element, [this](const CKey& key) {
      if (key.NameHash() == ComputeHash("value")) value = key.Int();
    });
  }
  bool HasContent() override { return true; }
  bool Update(float) override {
    ++updates;
    return true;
  }
  void SetEnabled(bool enabled, bool fromCheckPoint) override {
    if (!enabled && requestOnDisable && GetOwner()) GetOwner()->RequestEnable(true);
    IComponent::SetEnabled(enabled, fromCheckPoint);
  }
  void Restart() override { ++restarts; }
  bool Init() override { return true; }
  void Reset() override {}

  int value = 0;
  int updates = 0;
  int restarts = 0;
  bool requestOnDisable = false;
};

// A renderer as the render side sees it: drawn flag and content.
class CFakeRenderer : public CComponent<CFakeRenderer, IRendererComponent> {
public:
  static const CStringHash& GetClassName() { return SH_CRenderer; }
  void Load(rapidxml::xml_node<>*) override {}
  bool HasContent() override { return true; }
  bool Update(float) override {
    ++updates;
    return true;
  }
  bool Init() override { return true; }
  void Reset() override {}
  bool IsRegistered() const override { return registered; }
  int updates = 0;
  bool registered = true;
};

class CFakeController : public CComponent<CFakeController> {
public:
  static const CStringHash& GetClassName() {
    static const CStringHash name("CFakeController");
    return name;
  }
  const CStringHash& GetFamilyType() const override { return SH_CCameraController; }
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

constexpr const char* kTemplates =
    "<GameObjectTemplate name='counter'>"
    "  <Component name='CCounter'><key name='value' value='1'/></Component>"
    "  <Component name='CNoSuchThing'/>"
    "</GameObjectTemplate>"
    "<GameObjectTemplate name='counter'>"
    "  <Component name='CCounter'><key name='value' value='99'/></Component>"
    "</GameObjectTemplate>"
    "<GameObjectTemplate name='drawn'>"
    "  <Component name='CTransform'/><Component name='CRenderer'/><Component name='CCounter'/>"
    "</GameObjectTemplate>"
    "<GameObjectTemplate name='camera'>"
    "  <Component name='CTransform'/><Component name='CCamera'/>"
    "  <Component name='CFakeController'/>"
    "</GameObjectTemplate>";

constexpr const char* kInstances =
    "<GameObject name='a' GameObjectTemplate='counter'>"
    "  <Component name='ccounter'><key name='value' value='5'/></Component>"
    "</GameObject>"
    "<GameObject name='ghost' GameObjectTemplate='missing'/>"
    "<GameObject name='b' GameObjectTemplate='counter' enabled='0'/>"
    "<GameObject name='cam' GameObjectTemplate='camera'/>"
    "<GameObject name='d1' GameObjectTemplate='drawn'/>"
    "<GameObject name='d2' GameObjectTemplate='drawn'/>";

class ObjectManager : public test::LuaFixture {
protected:
  void SetUp() override {
    LuaFixture::SetUp();
    evn::InitEngineEventTypes();
    char pattern[] = "/tmp/hm_objects_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    RegisterObjectComponentFactories(manager.componentFactories);
    utl::RegisterFactoryMaker<CCounter, IComponent>(manager.componentFactories);
    utl::RegisterFactoryMaker<CFakeRenderer, IComponent>(manager.componentFactories);
    utl::RegisterFactoryMaker<CFakeController, IComponent>(manager.componentFactories);
    ASSERT_TRUE(manager.Init());
  }
  void TearDown() override {
    manager.Clear();
    std::system(("rm -rf " + dir).c_str());
    LuaFixture::TearDown();
  }

  std::string Write(const char* name, const std::string& text) {
    std::string path = dir + "/" + name;
    std::ofstream(path) << text;
    return path;
  }
  void LoadLevel() {
    ASSERT_TRUE(manager.LoadTemplates(Write("t.xml", kTemplates).c_str()));
    ASSERT_EQ(manager.LoadInstances(Write("i.xml", kInstances).c_str(), "", true), 0);
    manager.ApplyQueuedRequests();
  }
  CGameObject* Object(const char* name) { return manager.GetGameObjectByName(CStringHash(name)); }
  template <class T>
  T* Part(const char* name) {
    CGameObject* object = Object(name);
    return object ? object->GetComponent<T>() : nullptr;
  }

  CGameObjectManager manager;
  std::string dir;
};

TEST_F(ObjectManager, LoadsTemplatesAndInstancesIntoNumberedGroups) {
  LoadLevel();
  // The first template of a name stays; unknown classes are skipped by name.
  EXPECT_TRUE(Logged("counter is already loaded"));
  EXPECT_TRUE(Logged("unknown component class CNoSuchThing"));
  EXPECT_TRUE(Logged("template missing not found"));
  EXPECT_EQ(manager.GetTemplateCount(), 3u);

  // The skipped instance takes no id; each object takes exactly one.
  ASSERT_EQ(manager.GetObjectCount(), 5u);
  const char* names[] = {"a", "b", "cam", "d1", "d2"};
  for (int id = 0; id < 5; ++id) {
    CGameObject* object = manager.GetGameObjectById(id);
    ASSERT_NE(object, nullptr);
    EXPECT_STREQ(object->GetNameText(), names[id]);
    EXPECT_EQ(object->GetGroup(), 0);
    EXPECT_EQ(object->GetManager(), &manager);
    for (int slot = 0; slot < object->GetComponentCount(); ++slot) {
      IComponent* component = object->GetComponentAt(slot);
      ASSERT_NE(component, nullptr);
      EXPECT_EQ(component->GetOwner(), object);
      ASSERT_NE(component->GetCheckPointCopy(), nullptr);
    }
  }
  EXPECT_EQ(Part<CCounter>("a")->value, 5);  // the instance's key over the template's
  EXPECT_EQ(Part<CCounter>("b")->value, 1);
  EXPECT_EQ(Object("a")->GetComponentCount(), 1);
  EXPECT_TRUE(Object("a")->IsEnabled());
  EXPECT_FALSE(Object("b")->IsEnabled());

  std::vector<CGameObject*> found;
  manager.GetGameObjectsByTemplate(CStringHash("DRAWN"), found);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], Object("d1"));
  found.clear();
  manager.GetGameObjectsWithComponent(SH_CCamera, found);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0], Object("cam"));
  EXPECT_EQ(Object("nobody"), nullptr);
  EXPECT_EQ(manager.GetGameObjectById(77), nullptr);

  // The second file is group 1; ids go on.
  EXPECT_EQ(manager.LoadInstances(Write("j.xml", "<GameObject name='c' GameObjectTemplate='counter'/>").c_str(), "", false), 1);
  EXPECT_EQ(Object("c")->GetId(), 5);
  EXPECT_EQ(Object("c")->GetGroup(), 1);
  manager.ApplyQueuedRequests();
  EXPECT_FALSE(Object("c")->IsEnabled());
  // Two renderable objects: the ring holds them plus its gap.
  EXPECT_EQ(manager.GetRingLength(), 3u);
}

TEST_F(ObjectManager, BadFilesCreateNothingAndKeepTheGroupCounter) {
  struct Case {
    const char* what;
    std::string text;
  } cases[] = {{"missing", ""}, {"empty", ""}, {"malformed", "<GameObjectTemplate name='x'><oops"}};
  for (const Case& c : cases) {
    std::string path = dir + "/" + c.what + ".xml";
    if (std::string(c.what) != "missing") Write((std::string(c.what) + ".xml").c_str(), c.text);
    EXPECT_FALSE(manager.LoadTemplates(path.c_str())) << c.what;
    EXPECT_EQ(manager.LoadInstances(path.c_str(), "", true), 0) << c.what;
  }
  EXPECT_EQ(manager.GetTemplateCount(), 0u);
  EXPECT_EQ(manager.GetObjectCount(), 0u);
  EXPECT_TRUE(Logged("is not valid XML"));
  // The first file that reads is still group 0.
  ASSERT_TRUE(manager.LoadTemplates(Write("t.xml", kTemplates).c_str()));
  EXPECT_EQ(manager.LoadInstances(Write("i.xml", kInstances).c_str(), "", true), 0);
}

TEST_F(ObjectManager, EnableThenDisableInOneFrameLeavesTheObjectDisabled) {
  LoadLevel();
  manager.DisableObject("a");
  manager.EnableObject("a");
  manager.DisableObject("a");
  manager.EnableObject("no such object");
  EXPECT_TRUE(Object("a")->IsEnabled());  // nothing changes before the next frame
  manager.ApplyQueuedRequests();
  EXPECT_FALSE(Object("a")->IsEnabled());

  // Components follow the same queue.
  manager.EnableObject("a");
  manager.DisableComponent("a", "CCounter");
  manager.ApplyQueuedRequests();
  EXPECT_TRUE(Object("a")->IsEnabled());
  EXPECT_FALSE(Part<CCounter>("a")->IsEnabled());
}

TEST_F(ObjectManager, DestroyDropsPendingRequestsAndCommitsOnce) {
  LoadLevel();
  int commits = 0;
  manager.SetCommitRenderData([&commits] { ++commits; });
  CGameObject* a = Object("a");
  Part<CCounter>("a")->requestOnDisable = true;  // asks for an enable while it is destroyed
  manager.DisableObject("a");
  manager.EnableComponent("a", "CCounter");
  manager.QueueDestroy(a->GetId());
  manager.QueueDestroy(a->GetId());  // twice: the second finds nothing
  manager.QueueDestroy(1234);
  manager.ApplyQueuedRequests();
  EXPECT_EQ(Object("a"), nullptr);
  EXPECT_EQ(manager.GetObjectCount(), 4u);
  EXPECT_EQ(commits, 1);
  // The request made during the destroy went with the object.
  manager.ApplyQueuedRequests();
  manager.UpdatePass(0.1f);
  EXPECT_EQ(commits, 1);
}

TEST_F(ObjectManager, GroupsDisableEnablePauseAndResume) {
  LoadLevel();
  manager.DisableObjectGroup(0);
  manager.ApplyQueuedRequests();
  for (int id = 0; id < 5; ++id) EXPECT_FALSE(manager.GetGameObjectById(id)->IsEnabled());

  manager.EnableObjectGroup(0);
  manager.ApplyQueuedRequests();
  EXPECT_TRUE(Object("a")->IsEnabled());
  EXPECT_FALSE(Object("b")->IsEnabled());  // not enabled at start: stays off
  EXPECT_TRUE(Object("cam")->IsEnabled());

  manager.PauseObjectGroup(0);
  manager.UpdateCameraObjects(0.1f);
  manager.UpdatePass(0.1f);
  EXPECT_EQ(Part<CCounter>("a")->updates, 0);
  EXPECT_EQ(Part<CFakeController>("cam")->updates, 0);
  manager.ResumeObjectGroup(0);
  manager.UpdateCameraObjects(0.1f);
  manager.UpdatePass(0.1f);
  EXPECT_EQ(Part<CCounter>("a")->updates, 1);
  EXPECT_EQ(Part<CFakeController>("cam")->updates, 1);

  manager.RestartObjectGroup(0);  // at once
  EXPECT_EQ(Part<CCounter>("a")->restarts, 1);
  EXPECT_EQ(Part<CCounter>("b")->restarts, 1);

  manager.DestroyObjectGroup(0);
  manager.ApplyQueuedRequests();
  EXPECT_EQ(manager.GetObjectCount(), 0u);
  // Ids are not reused.
  EXPECT_EQ(manager.LoadInstances(Write("j.xml", "<GameObject name='c' GameObjectTemplate='counter'/>").c_str(), "", true), 1);
  EXPECT_EQ(Object("c")->GetId(), 5);
}

TEST_F(ObjectManager, EachPassUpdatesItsOwnObjects) {
  LoadLevel();
  // Camera-controller objects before dispatch only.
  manager.UpdateCameraObjects(0.1f);
  EXPECT_EQ(Part<CFakeController>("cam")->updates, 1);
  manager.UpdatePass(0.1f);
  EXPECT_EQ(Part<CFakeController>("cam")->updates, 1);
  EXPECT_EQ(Part<CCounter>("a")->updates, 1);
  EXPECT_EQ(Part<CCounter>("b")->updates, 0);  // disabled
  // Without a render side nothing reports the drawn objects.
  EXPECT_EQ(Part<CCounter>("d1")->updates, 0);

  // A destroyed camera object is not updated in the next frame.
  manager.QueueDestroy(Object("cam")->GetId());
  manager.ApplyQueuedRequests();
  manager.UpdateCameraObjects(0.1f);
  EXPECT_EQ(Object("cam"), nullptr);
}

// The render thread's side of a frame: after "RenderBegin" it reports each drawn
// renderer and then marks its pass finished.
class CFakeRenderThread {
public:
  CFakeRenderThread(CGameObjectManager& manager, std::vector<CGameObject*> drawn)
      : m_manager(manager), m_drawn(std::move(drawn)) {
    m_thread.Start([this] {
      m_manager.AttachRenderSide();
      for (;;) {
        m_begin.Wait();
        if (m_quit) break;
        for (CGameObject* object : m_drawn) {
          for (IComponent* component : object->GetRenderers()) {
            // The render side draws only what is registered with it.
            auto* renderer = static_cast<IRendererComponent*>(component);
            if (!renderer->IsRegistered()) continue;
            renderer->drawn = 1;
            object->NotifyRendered();
          }
          plat::Yield();
        }
        m_manager.MarkRenderPassFinished();
      }
      m_manager.DetachRenderSide();
      return 0u;
    });
    while (!m_manager.IsRenderSideAttached()) plat::Yield();
  }
  ~CFakeRenderThread() {
    m_quit = true;
    m_begin.Set();
    m_thread.Wait();
  }
  void Begin() { m_begin.Set(); }

private:
  CGameObjectManager& m_manager;
  std::vector<CGameObject*> m_drawn;
  plat::Event m_begin{false, false};
  std::atomic<bool> m_quit{false};
  plat::Thread m_thread;
};

TEST_F(ObjectManager, BackgroundLoadingMergesAndRenderedObjectsFollowTheDraw) {
  ASSERT_TRUE(manager.LoadTemplates(Write("t.xml", kTemplates).c_str()));
  const std::string level = Write("i.xml", kInstances);
  const std::string more = Write("k.xml", "<GameObject name='d3' GameObjectTemplate='drawn'/>");

  // The loader thread fills the side maps; the main thread's lookups see them.
  std::atomic<int> group{-1};
  plat::Thread loader;
  ASSERT_TRUE(loader.Start([&] {
    manager.SetBackgroundLoading(true);
    manager.LoadInstances(level.c_str(), "", true);
    group = manager.LoadInstances(more.c_str(), "", true);
    return 0u;
  }));
  ASSERT_EQ(loader.Wait(5000), plat::WaitResult::Signalled);
  EXPECT_EQ(group, 1);
  EXPECT_TRUE(manager.IsBackgroundLoading());
  EXPECT_EQ(manager.GetObjectCount(), 0u);
  ASSERT_NE(Object("d3"), nullptr);
  std::vector<int> ids;
  manager.GetGroupObjectIds(0, ids);
  EXPECT_EQ(ids.size(), 5u);

  manager.EndBackgroundLoading();
  EXPECT_FALSE(manager.IsBackgroundLoading());
  EXPECT_EQ(manager.GetObjectCount(), 6u);
  manager.EnableObjectGroup(0);
  manager.EnableObjectGroup(1);
  manager.ApplyQueuedRequests();
  EXPECT_EQ(manager.GetRingLength(), 4u);  // three drawn objects and the gap
  EXPECT_TRUE(Object("d3")->IsEnabled());

  {
    CFakeRenderThread render(manager, {Object("d1"), Object("d2"), Object("d3")});
    for (int frame = 1; frame <= 20; ++frame) {
      manager.ApplyQueuedRequests();
      manager.UpdateCameraObjects(0.016f);
      render.Begin();
      ASSERT_TRUE(manager.UpdatePass(0.016f));
      // Every drawn object once per frame, none left for the next one.
      for (const char* name : {"d1", "d2", "d3"}) {
        ASSERT_EQ(Part<CCounter>(name)->updates, frame) << name;
        ASSERT_EQ(Part<CFakeRenderer>(name)->updates, frame) << name;
      }
      ASSERT_EQ(Part<CCounter>("a")->updates, frame);
      ASSERT_EQ(Part<CFakeController>("cam")->updates, frame);
    }
    // Loading while the render side is attached leaves the ring alone until the
    // next frame's hand-off.
    manager.LoadInstances(Write("m.xml", "<GameObject name='d4' GameObjectTemplate='drawn'/>").c_str(), "", true);
    EXPECT_EQ(manager.GetRingLength(), 4u);
    manager.ApplyQueuedRequests();
    EXPECT_EQ(manager.GetRingLength(), 5u);
  }
  EXPECT_FALSE(manager.IsRenderSideAttached());
}

// A renderer with nothing registered (an animated mesh before its model exists) is
// never drawn, so never reported: its object is updated with the plain ones, and
// through the draw's reports once it has entries.
TEST_F(ObjectManager, AnObjectNoRendererOfWhichIsRegisteredIsUpdatedWithThePlainOnes) {
  LoadLevel();
  Part<CFakeRenderer>("d2")->registered = false;
  manager.UpdatePass(0.1f);
  EXPECT_EQ(Part<CCounter>("d1")->updates, 0);
  EXPECT_EQ(Part<CCounter>("d2")->updates, 1);
  {
    CFakeRenderThread render(manager, {Object("d1"), Object("d2")});
    for (int frame = 2; frame <= 6; ++frame) {
      if (frame == 4) Part<CFakeRenderer>("d2")->registered = true;
      manager.ApplyQueuedRequests();
      render.Begin();
      ASSERT_TRUE(manager.UpdatePass(0.016f));
      ASSERT_EQ(Part<CCounter>("d1")->updates, frame - 1);
      ASSERT_EQ(Part<CCounter>("d2")->updates, frame) << "once a frame, either way";
    }
  }
  // A disabled object stays still whatever its renderer.
  Part<CFakeRenderer>("d2")->registered = false;
  manager.QueueEnable(Object("d2"), false);
  manager.ApplyQueuedRequests();
  manager.UpdatePass(0.1f);
  EXPECT_EQ(Part<CCounter>("d2")->updates, 6);
}

TEST_F(ObjectManager, AFullRingDropsTheObjectForThatFrame) {
  LoadLevel();
  manager.AttachRenderSide();
  CGameObject* d1 = Object("d1");
  CGameObject* d2 = Object("d2");
  // Capacity two: three reports keep the first two.
  for (CGameObject* object : {d1, d2, d1}) {
    static_cast<IRendererComponent*>(object->GetRenderers()[0])->drawn = 1;
    EXPECT_TRUE(object->NotifyRendered());
    EXPECT_EQ(static_cast<IRendererComponent*>(object->GetRenderers()[0])->drawn, 0);
  }
  manager.MarkRenderPassFinished();
  EXPECT_TRUE(manager.UpdatePass(0.1f));
  EXPECT_EQ(Part<CCounter>("d1")->updates, 1);
  EXPECT_EQ(Part<CCounter>("d2")->updates, 1);
  manager.DetachRenderSide();
}

TEST_F(ObjectManager, ReportsOfAFrameWithoutAPassAreDroppedAtTheNextFrame) {
  LoadLevel();
  manager.AttachRenderSide();
  CGameObject* d1 = Object("d1");
  static_cast<IRendererComponent*>(d1->GetRenderers()[0])->drawn = 1;
  d1->NotifyRendered();
  manager.MarkRenderPassFinished();
  // The game skipped this frame's pass; d1 is destroyed at the next frame's start.
  manager.QueueDestroy(d1->GetId());
  manager.ApplyQueuedRequests();
  EXPECT_EQ(Object("d1"), nullptr);
  // The stale report and the stale finish are gone: this pass waits for its own.
  std::thread render([this] {
    CGameObject* d2 = Object("d2");
    static_cast<IRendererComponent*>(d2->GetRenderers()[0])->drawn = 1;
    d2->NotifyRendered();
    manager.MarkRenderPassFinished();
  });
  EXPECT_TRUE(manager.UpdatePass(0.1f));
  render.join();
  EXPECT_EQ(Part<CCounter>("d2")->updates, 1);
  manager.DetachRenderSide();
}

TEST_F(ObjectManager, AnObjectIsCompleteOnceEveryRendererWithContentIsDrawn) {
  CGameObject object;
  object.Release();
  auto* first = new CFakeRenderer();
  auto* second = new CFakeRenderer();
  ASSERT_TRUE(object.AddComponent(first));
  ASSERT_TRUE(object.AddComponent(second));
  object.CollectRenderers();
  first->drawn = 1;
  EXPECT_FALSE(object.NotifyRendered());
  EXPECT_EQ(first->drawn, 1);
  second->drawn = 1;
  EXPECT_TRUE(object.NotifyRendered());
  EXPECT_EQ(first->drawn, 0);
  EXPECT_EQ(second->drawn, 0);
}

TEST_F(ObjectManager, CheckpointEventsReachEveryObject) {
  LoadLevel();
  gfx::CTransform* transform = Part<gfx::CTransform>("d1");
  transform->SetPosition(plat::Vec3(1, 2, 3));
  struct CEvent final : evn::IEvent {
    explicit CEvent(const CStringHash& type) : type(type) {}
    void Release() override {}
    const CStringHash& GetType() const override { return type; }
    const int* GetScriptMode() const override { return nullptr; }
    evn::IEventListener* GetTarget() const override { return nullptr; }
    bool FromLua(const luabind::object&) override { return false; }
    const char* GetName() const override { return type.c_str(); }
    luabind::object& GetLuaObject() override { return object; }
    void ToLua() override {}
    CStringHash type;
    luabind::object object;
  };
  CEvent save(SH_OnSaveCheckPoint), load(SH_OnLoadCheckPoint);
  manager.HandleEvent(&save);
  transform->SetPosition(plat::Vec3(7, 7, 7));
  transform->changed = 0;
  manager.HandleEvent(&load);
  EXPECT_EQ(transform->position, plat::Vec3(1, 2, 3));
  EXPECT_EQ(transform->changed, 1);

  // An object built after the save has nothing saved: a load leaves it as it is.
  manager.LoadInstances(
      Write("late.xml", "<GameObject name='late' GameObjectTemplate='drawn'/>").c_str(), "", true);
  manager.ApplyQueuedRequests();
  gfx::CTransform* late = Part<gfx::CTransform>("late");
  ASSERT_NE(late, nullptr);
  ASSERT_TRUE(Object("late")->IsEnabled());
  late->SetPosition(plat::Vec3(4, 5, 6));
  late->changed = 0;
  manager.HandleEvent(&load);
  EXPECT_EQ(late->position, plat::Vec3(4, 5, 6));
  EXPECT_EQ(late->changed, 0);
  EXPECT_TRUE(Object("late")->IsEnabled());
  EXPECT_EQ(transform->position, plat::Vec3(1, 2, 3));
}

TEST_F(ObjectManager, ScriptsReachTheManagerByName) {
  LoadLevel();
  RegisterObjectManagerBindings(host.GetState());
  Run("local m = GetGameObjectManager() m:DisableObject('a') m:DisableComponent('cam', 'CCamera')");
  manager.ApplyQueuedRequests();
  EXPECT_FALSE(Object("a")->IsEnabled());
  EXPECT_FALSE(Part<cam::CCamera>("cam")->IsEnabled());
  EXPECT_EQ(FindListenerByName("cam"), Object("cam"));
  EXPECT_EQ(FindListenerByName("nobody"), nullptr);
}

}  // namespace
}  // namespace obj
}  // namespace vd
