// Renderers of objects loaded by the object manager, over frames in which a
// render thread reports what it drew: drawn objects are updated once a frame,
// disabled and destroyed ones leave the drawn lists.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>

#include "engine/core/EngineNames.h"
#include "engine/objects/ComponentKeys.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Camera.h"
#include "engine/objects/Renderer.h"
#include "engine/render/RenderManager.h"

using namespace vd;

namespace {

// Counts its object's updates, by object name.
std::map<std::string, int>& Updates() {
  static std::map<std::string, int> updates;
  return updates;
}

class CTestCounter : public obj::CComponent<CTestCounter> {
public:
  static const CStringHash& GetClassName() {
    static const CStringHash name("CTestCounter");
    return name;
  }
  ~CTestCounter() override {
    if (!IsCheckPointCopy()) Reset();
  }
  void Load(rapidxml::xml_node<>*) override {}
  bool HasContent() override { return true; }
  bool Update(float) override {
    ++Updates()[GetOwner()->GetNameText()];
    return true;
  }
  bool Init() override { return true; }
  void Reset() override {}
};

class RendererFrameTest : public ::testing::Test {
protected:
  void SetUp() override {
    Updates().clear();
    obj::RegisterObjectComponentFactories(objects.componentFactories);
    gfx::RegisterRendererFactory(objects.componentFactories);
    utl::RegisterFactoryMaker<CTestCounter, obj::IComponent>(objects.componentFactories);
    objects.SetCommitRenderData([this] {
      renderer.commitRequested = 1;
      renderer.CommitRenderData();
    });
    renderer.onPassFinished = [this] { objects.MarkRenderPassFinished(); };
    // The scene lists are walked only with a camera.
    renderer.viewCamera.Set(&camera);
    ASSERT_TRUE(objects.Init());
    ASSERT_TRUE(objects.LoadTemplates("Data/xml/test_renderer_templates.xml"));
    ASSERT_EQ(objects.LoadInstances("Data/xml/test_renderer_instances.xml", "", true), 0);
    objects.AttachRenderSide();
    renderer.CommitRenderData();  // as the render thread does before its first frame
  }
  void TearDown() override {
    objects.DetachRenderSide();
    objects.Clear();
  }

  // One frame: requests while the render thread waits, then the draw on a thread
  // of its own while the main thread runs its update pass.
  void Frame(float dt = 1.0f / 60.0f) {
    objects.ApplyQueuedRequests();
    renderer.commitRequested = true;  // the main loop's per-frame commit
    renderer.CommitRenderData();
    std::thread render([this] {
      renderer.RenderFrame(nullptr, 0.0f, 0.0f);
      renderer.CommitRenderData();
    });
    objects.UpdatePass(dt);
    render.join();
  }

  gfx::CRenderer* RendererOf(const char* name) {
    obj::CGameObject* object = objects.GetGameObjectByName(CStringHash(name));
    return object ? object->GetComponent<gfx::CRenderer>() : nullptr;
  }

  cam::CCamera camera;  // all planes zero: everything is inside
  gfx::CRenderManager renderer;
  obj::CGameObjectManager objects;
};

TEST_F(RendererFrameTest, DrawnObjectsAreUpdatedOncePerFrame) {
  gfx::CRenderer* lamp = RendererOf("lamp");
  gfx::CRenderer* ghost = RendererOf("ghost");
  ASSERT_NE(lamp, nullptr);
  ASSERT_NE(ghost, nullptr);
  EXPECT_TRUE(lamp->IsRegistered());
  EXPECT_EQ(lamp->GetItemCount(), 2);
  EXPECT_TRUE(lamp->IsGlower());
  EXPECT_NE(lamp->GetRenderData().ownerTransform, nullptr);
  EXPECT_EQ(renderer.GetMeshCount(), 1u);
  EXPECT_EQ(renderer.GetTextureCount(), 2u);
  // Loaded disabled: registered, but never drawn.
  EXPECT_TRUE(ghost->IsRegistered());
  EXPECT_FALSE(ghost->IsInDrawnLists());

  for (int i = 0; i < 5; ++i) Frame(0.05f);
  EXPECT_EQ(Updates()["lamp"], 5);
  EXPECT_EQ(Updates()["sparks"], 5);
  EXPECT_EQ(Updates()["logic"], 5);
  EXPECT_EQ(Updates()["ghost"], 0);
  // The sparks' renderer ran with its object: 0.25 s at 10 frames a second.
  EXPECT_EQ(RendererOf("sparks")->GetCurrentTexture(), CStringHash("test/spark_a"));
  Frame(0.05f);
  EXPECT_EQ(RendererOf("sparks")->GetCurrentTexture(), CStringHash("test/spark_b"));

  // Disabled: out of the drawn lists from the next frame on; enabled: back.
  objects.DisableObject("lamp");
  Frame();
  Frame();
  EXPECT_FALSE(lamp->IsInDrawnLists());
  EXPECT_EQ(Updates()["lamp"], 6);
  objects.EnableObject("ghost");
  Frame();
  EXPECT_TRUE(ghost->IsInDrawnLists());
  EXPECT_EQ(Updates()["ghost"], 1);

  // Destroyed: its entries leave the render manager in the same hand-off.
  const size_t before = renderer.GetRendererCount();
  objects.QueueDestroy(objects.GetGameObjectByName(CStringHash("ghost"))->GetId());
  Frame();
  EXPECT_EQ(renderer.GetRendererCount(), before - 1);
  EXPECT_EQ(renderer.GetCommittedDrawCount(), 1u);  // the sparks only
  Frame();
}

}  // namespace
