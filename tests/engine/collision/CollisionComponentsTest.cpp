#include <btBulletCollisionCommon.h>
#include <gtest/gtest.h>

#include <lua.hpp>
#include <luabind/luabind.hpp>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/collision/Colliders.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/Trigger.h"
#include "engine/core/EngineNames.h"
#include "engine/events/EventManager.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/Tracker.h"
#include "engine/objects/Transform.h"
#include "platform/math/Math.h"
#include "tests/engine/collision/CollisionTestSupport.h"
#include "tests/support/LuaFixture.h"

namespace vd {
namespace phy {
namespace {

std::map<const obj::CGameObject*, plat::Mat4> g_worlds;
std::map<uint32_t, obj::CGameObject*> g_byName;
std::vector<std::pair<obj::IComponent*, bool>> g_enableRequests;

// A level built the way the object manager builds one: objects from XML, their
// components through the makers (Reset, Load, Init), placed by their transform.
class CollisionComponents : public test::LuaFixture {
protected:
  void SetUp() override {
    LuaFixture::SetUp();
    evn::InitEngineEventTypes();
    RegisterCollisionComponentFactories(makers);
    lgc::RegisterTrackerFactory(makers);
    ASSERT_TRUE(manager.Init(1.0f / 60.0f));
    ASSERT_TRUE(events.Init());
    manager.SetEventManager(&events);
    host.AddBindingRegistrar(&RegisterCollisionBindings);
    host.AddBindingRegistrar(&obj::RegisterGameObjectBindings);

    SCollisionHooks hooks;
    hooks.getWorldMatrix = [](const obj::CGameObject* object, plat::Mat4& out) {
      auto it = g_worlds.find(object);
      if (it == g_worlds.end()) return false;
      out = it->second;
      return true;
    };
    hooks.findObject = [](const CStringHash& name) -> obj::CGameObject* {
      auto it = g_byName.find(name.GetHash());
      return it == g_byName.end() ? nullptr : it->second;
    };
    hooks.requestComponentEnable = [](obj::IComponent* component, bool enable) {
      g_enableRequests.emplace_back(component, enable);
    };
    SetCollisionHooks(hooks);
    evn::SEventWorldHooks worldHooks;
    worldHooks.gameObjectToLua = &obj::GameObjectToLua;
    evn::SetEventWorldHooks(worldHooks);
    test::SeenEvents().clear();
    g_enableRequests.clear();
  }
  void TearDown() override {
    RemoveProbes();
    for (auto& object : objects) object->Release();
    objects.clear();
    events.Clear();
    manager.Release();
    g_worlds.clear();
    g_byName.clear();
    SetCollisionHooks(SCollisionHooks{});
    evn::SetEventWorldHooks(evn::SEventWorldHooks{});
    utl::DeleteFactoryMakers(makers);
    LuaFixture::TearDown();
  }

  // <Object> with <Component name="..."> children; the object stands at `at`.
  obj::CGameObject* Build(const char* name, const std::string& components,
                          const plat::Mat4& world = plat::Mat4()) {
    std::string text = "<Object>" + components + "</Object>";
    buffers.emplace_back(text.begin(), text.end());
    buffers.back().push_back('\0');
    documents.emplace_back(new rapidxml::xml_document<>());
    documents.back()->parse<0>(buffers.back().data());
    rapidxml::xml_node<>* root = documents.back()->first_node();

    objects.emplace_back(new obj::CGameObject());
    obj::CGameObject* object = objects.back().get();
    object->SetName(name);
    g_worlds[object] = world;
    g_byName[object->GetName().GetHash()] = object;
    for (auto* node = root->first_node("Component"); node; node = node->next_sibling("Component")) {
      obj::IComponent* component =
          obj::CreateComponent(makers, node->first_attribute("name")->value());
      if (!component) {
        component = new test::CCollisionRecorder();
      }
      if (!object->AddComponent(component)) continue;
      component->Reset();
      component->Load(node);
    }
    for (int slot = 0; slot < object->GetComponentCount(); ++slot) {
      object->GetComponentAt(slot)->Init();
    }
    return object;
  }

  template <class T>
  static T* Get(obj::CGameObject* object) {
    return object->GetComponent<T>();
  }

  // A character's ghost sphere: touches walls, static boxes and spheres.
  btCollisionObject* Ghost(obj::CGameObject* owner, const plat::Vec3& at, float radius = 0.5f) {
    btCollisionObject* object =
        manager.CreateObject(owner, CStringHash("player"), "ghost", new btSphereShape(radius),
                             kGroupCharacterGhost, 323, true, kKindSolid, plat::Vec4());
    MoveTo(object, at);
    probes.push_back(object);
    return object;
  }
  // A character's body box: touches weapons and triggers.
  btCollisionObject* Body(obj::CGameObject* owner, const plat::Vec3& at) {
    btCollisionObject* object =
        manager.CreateBoxObject(plat::Vec3(1, 2, 1), owner, CStringHash("player"), "body",
                                kGroupCharacterBody, 1536, true, kKindSolid, plat::Vec4());
    MoveTo(object, at);
    probes.push_back(object);
    return object;
  }
  static void MoveTo(btCollisionObject* object, const plat::Vec3& at) {
    btTransform t;
    MatrixToTransform(plat::Translation(at), t);
    object->setWorldTransform(t);
  }
  void RemoveProbes() {
    for (btCollisionObject*& object : probes) manager.RemoveObject(object);
    probes.clear();
  }

  void Frame() {
    manager.Update(1.0f / 60.0f);
    events.Update(1.0f / 60.0f);
  }
  bool Touches(const btCollisionObject* a, const btCollisionObject* b) const {
    const auto key = a < b ? CCollisionManager::PairKey(a, b) : CCollisionManager::PairKey(b, a);
    return manager.GetContactPairs().count(key) != 0;
  }

  CCollisionManager manager;
  evn::CEventManager events;
  utl::FactoryMap<obj::IComponent> makers;
  std::vector<std::vector<char>> buffers;
  std::vector<std::unique_ptr<rapidxml::xml_document<>>> documents;
  std::vector<std::unique_ptr<obj::CGameObject>> objects;
  std::vector<btCollisionObject*> probes;
};

TEST_F(CollisionComponents, BoxSizeKeyMapsItsAttributesAcrossAxes) {
  obj::CGameObject* swapped =
      Build("crate",
            R"(<Component name="CColliderBox"><key name="size" z="4" y="2" x="1"/></Component>)");
  CColliderBox* box = Get<CColliderBox>(swapped);
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(box->HasContent());
  const auto* shape =
      static_cast<const btBoxShape*>(box->GetCollisionObject()->getCollisionShape());
  const btVector3 half = shape->getHalfExtentsWithMargin();
  EXPECT_FLOAT_EQ(half.x(), 2.0f);
  EXPECT_FLOAT_EQ(half.y(), 1.0f);
  EXPECT_FLOAT_EQ(half.z(), 0.5f);

  obj::CGameObject* plain = Build("plain", R"(<Component name="CColliderBox"/>)");
  EXPECT_EQ(Get<CColliderBox>(plain)->GetSize(), plat::Vec4(1, 1, 1, 0));

  obj::CGameObject* partial = Build(
      "partial", R"(<Component name="CColliderBox"><key name="size" z="4" y="2"/></Component>)");
  EXPECT_EQ(Get<CColliderBox>(partial)->GetSize(), plat::Vec4(1, 1, 1, 0));
  EXPECT_TRUE(Logged("partial")) << Joined();
}

TEST_F(CollisionComponents, SphereCollidesFromInitBoxOnlyOnceEnabled) {
  obj::CGameObject* sphere = Build(
      "ball", R"(<Component name="CColliderSphere"><key name="radius" value="2"/></Component>)",
      plat::Translation(0, 0, 0));
  obj::CGameObject* crate =
      Build("crate", R"(<Component name="CColliderBox"/>)", plat::Translation(10, 0, 0));
  EXPECT_FLOAT_EQ(Get<CColliderSphere>(sphere)->GetRadius(), 2.0f);
  btCollisionObject* nearBall = Ghost(nullptr, plat::Vec3(2.2f, 0, 0));
  btCollisionObject* nearCrate = Ghost(nullptr, plat::Vec3(10.8f, 0, 0));
  btCollisionObject* boxObject = Get<CColliderBox>(crate)->GetCollisionObject();
  btCollisionObject* ballObject = Get<CColliderSphere>(sphere)->GetCollisionObject();

  Frame();
  EXPECT_TRUE(Touches(nearBall, ballObject));
  EXPECT_FALSE(Touches(nearCrate, boxObject));

  crate->GetComponentAt(0)->SetEnabled(true, false);
  Frame();
  EXPECT_TRUE(Touches(nearCrate, boxObject));
  crate->GetComponentAt(0)->SetEnabled(true, false);  // twice: nothing more
  EXPECT_EQ(manager.GetWorld()->getNumCollisionObjects(), 4);

  crate->GetComponentAt(0)->SetEnabled(false, false);
  Frame();
  EXPECT_FALSE(Touches(nearCrate, boxObject));
  EXPECT_EQ(manager.GetWorld()->getNumCollisionObjects(), 3);
}

TEST_F(CollisionComponents, WallMeshesStopRaysFloorsDoNot) {
  const char* walls =
      R"(<Component name="CColliderMesh"><key name="mesh" value="level_walls"/><key name="collision_class" value="wall"/></Component>)";
  const char* floor =
      R"(<Component name="CColliderMesh"><key name="mesh" value="level_floor"/><key name="collision_class" value="floor"/></Component>)";
  // The level stands 100 m east of the origin.
  obj::CGameObject* wallObject = Build("walls", walls, plat::Translation(100, 0, 0));
  obj::CGameObject* floorObject = Build("floor", floor, plat::Translation(100, 0, 0));
  CColliderMesh* wallMesh = Get<CColliderMesh>(wallObject);
  CColliderMesh* floorMesh = Get<CColliderMesh>(floorObject);
  ASSERT_TRUE(wallMesh->HasContent()) << Joined();
  ASSERT_TRUE(floorMesh->HasContent());
  EXPECT_EQ(wallMesh->GetGroup(), kGroupWall);
  EXPECT_EQ(floorMesh->GetGroup(), kGroupFloor);

  plat::Vec3 hit;
  EXPECT_FALSE(
      manager.RayTest(plat::Vec3(100, 3, -20), plat::Vec3(100, 3, 20), hit));  // not enabled
  wallMesh->SetEnabled(true, false);
  floorMesh->SetEnabled(true, false);
  Frame();
  // The central block spans -5..5 and is 6 m tall.
  ASSERT_TRUE(manager.RayTest(plat::Vec3(100, 3, -20), plat::Vec3(100, 3, 20), hit));
  EXPECT_NEAR(hit.z, -5.0f, 1e-3f);
  EXPECT_NEAR(hit.x, 100.0f, 1e-3f);
  // Straight down onto the street: floors do not stop the ray.
  EXPECT_FALSE(manager.RayTest(plat::Vec3(110, 5, -10), plat::Vec3(110, -5, -10), hit));

  // A character's ghost touches walls; it stands on floors through its own probe.
  btCollisionObject* onFloor = Ghost(nullptr, plat::Vec3(110, 0.3f, -10));
  btCollisionObject* atWall = Ghost(nullptr, plat::Vec3(100, 3, -5.3f));
  Frame();
  EXPECT_FALSE(Touches(onFloor, floorMesh->GetCollisionObject()));
  EXPECT_TRUE(Touches(atWall, wallMesh->GetCollisionObject()));

  // A collider reset while touching leaves nothing behind in the contacts.
  wallObject->GetComponentAt(0)->Reset();
  EXPECT_FALSE(wallMesh->HasContent());
  EXPECT_EQ(manager.GetContactPairs().size(), 0u);
  Frame();
  EXPECT_EQ(manager.GetContactPairs().size(), 0u);
}

TEST_F(CollisionComponents, WithoutHooksCollidersStandWhereTheirTransformPutsThem) {
  utl::RegisterFactoryMaker<gfx::CTransform, obj::IComponent>(makers);
  SetCollisionHooks(SCollisionHooks{});
  obj::CGameObject* crate =
      Build("crate",
            R"(<Component name="CTransform"><key name="position" X="5" Y="1" Z="-2"/></Component>
                                     <Component name="CColliderBox"/>)");
  obj::CGameObject* bare = Build("bare", R"(<Component name="CColliderSphere"/>)");
  EXPECT_EQ(Get<CColliderBox>(crate)->GetCollisionObject()->getWorldTransform().getOrigin(),
            btVector3(5, 1, -2));
  EXPECT_EQ(Get<CColliderSphere>(bare)->GetCollisionObject()->getWorldTransform().getOrigin(),
            btVector3(0, 0, 0));
  // No object manager: scripts find no object and nothing is queued.
  Run("GetCollisionManager():EnableCollision('crate')");
  EXPECT_FALSE(Get<CColliderBox>(crate)->IsEnabled());
}

TEST_F(CollisionComponents, MeshColliderWithoutItsFileHasNoCollision) {
  obj::CGameObject* object = Build(
      "ruin",
      R"(<Component name="CColliderMesh"><key name="mesh" value="no_such_mesh"/><key name="collision_class" value="wall"/></Component>)");
  CColliderMesh* mesh = Get<CColliderMesh>(object);
  EXPECT_FALSE(mesh->HasContent());
  EXPECT_EQ(mesh->GetCollisionObject(), nullptr);
  EXPECT_TRUE(Logged("Data/collision/no_such_mesh"));
  EXPECT_TRUE(Logged("ruin"));
  mesh->SetEnabled(true, false);
  EXPECT_EQ(manager.GetWorld()->getNumCollisionObjects(), 0);
}

TEST_F(CollisionComponents, ScriptsEnableTheFirstColliderMeshBeforeBox) {
  Build(
      "gate",
      R"(<Component name="CColliderBox"/><Component name="CColliderMesh"><key name="mesh" value="level_walls"/></Component>)");
  obj::CGameObject* crate = Build("crate", R"(<Component name="CColliderBox"/>)");
  Run("local cm = GetCollisionManager()\n"
      "cm:EnableCollision('gate')\n"
      "cm:DisableCollision('crate')\n"
      "cm:EnableCollision('nobody')\n"
      "cm:EnableCollision('')\n");
  ASSERT_EQ(g_enableRequests.size(), 2u);
  EXPECT_EQ(g_enableRequests[0].first->GetType(), SH_CColliderMesh);
  EXPECT_TRUE(g_enableRequests[0].second);
  EXPECT_EQ(g_enableRequests[1].first, crate->GetComponentAt(0));
  EXPECT_FALSE(g_enableRequests[1].second);

  EXPECT_TRUE(manager.IsPaused());
  Run("GetCollisionManager():Resume()");
  EXPECT_FALSE(manager.IsPaused());
  Run("GetCollisionManager():Pause()");
  EXPECT_TRUE(manager.IsPaused());
}

TEST_F(CollisionComponents, CheckpointCopiesShareTheCollisionObjects) {
  obj::CGameObject* crate = Build("crate", R"(<Component name="CColliderBox"/>)");
  CColliderBox* box = Get<CColliderBox>(crate);
  box->SaveCheckPoint();
  box->SetEnabled(true, false);
  box->LoadCheckPoint();  // disables again through SetEnabled, then copies back
  EXPECT_FALSE(box->IsEnabled());
  EXPECT_TRUE(box->HasContent());
  EXPECT_EQ(manager.GetWorld()->getNumCollisionObjects(), 0);
  box->SetEnabled(true, false);
  EXPECT_EQ(manager.GetWorld()->getNumCollisionObjects(), 1);
}

// The object manager gives every component an empty copy when it builds it; a load
// before any save (an object built after the last one) must leave the collider
// with its collision object.
TEST_F(CollisionComponents, ALoadWithNothingSavedKeepsTheCollisionObject) {
  obj::CGameObject* crate = Build("crate", R"(<Component name="CColliderBox"/>)");
  CColliderBox* box = Get<CColliderBox>(crate);
  box->SetCheckPointCopy(obj::CreateComponent(makers, "CColliderBox"));
  box->SetEnabled(true, false);
  btCollisionObject* object = box->GetCollisionObject();
  ASSERT_NE(object, nullptr);
  box->LoadCheckPoint();
  EXPECT_EQ(box->GetCollisionObject(), object);
  EXPECT_TRUE(box->IsEnabled());
  EXPECT_EQ(manager.GetWorld()->getNumCollisionObjects(), 1);
}

// Triggers ---------------------------------------------------------------------

const char* kZone =
    R"(<Component name="CTrigger"><key name="size" width="4" height="3" length="2"/></Component>)";

TEST_F(CollisionComponents, AnObjectWalkingThroughATriggerCallsItsLuaHandlers) {
  Run("entered, exited = {}, {}\n"
      "function OnEnter_door_zone(t)\n"
      "  entered[#entered + 1] = t.collider_name_dst .. '/' .. t.collider_class_src .. '/' ..\n"
      "                          t.gameobject_dst:GetName()\n"
      "end\n"
      "function OnExit_door_zone(t) exited[#exited + 1] = t.collider_name_dst end\n"
      "GetCollisionManager():Resume()\n");
  obj::CGameObject* zone = Build("door_zone", kZone, plat::Translation(0, 0, 10));
  lgc::CTrigger* trigger = Get<lgc::CTrigger>(zone);
  ASSERT_TRUE(trigger->HasContent());
  EXPECT_TRUE(trigger->HasEnterHandler());
  EXPECT_TRUE(trigger->HasExitHandler());
  zone->SetEnabled(true);

  obj::CGameObject* hero = Build("hero", "");
  btCollisionObject* body = Body(hero, plat::Vec3(0, 0, 0));
  // Walk along z through the 2 m deep box at z = 10, half a metre a frame.
  for (int i = 0; i <= 40; ++i) {
    MoveTo(body, plat::Vec3(0, 0, 0.5f * i));
    Frame();
  }
  Frame();
  Run("assert(#entered == 1, 'entered ' .. #entered)\n"
      "assert(entered[1] == 'body/logic/hero', entered[1])\n"
      "assert(#exited == 1, 'exited ' .. #exited)\n"
      "assert(exited[1] == 'body')\n");
}

TEST_F(CollisionComponents, HandlersAreLookedUpOnceAtInit) {
  Run("calls = 0\nfunction OnEnter_zone(t) calls = calls + 1 end\n");
  obj::CGameObject* zone = Build("zone", kZone);
  lgc::CTrigger* trigger = Get<lgc::CTrigger>(zone);
  EXPECT_EQ(trigger->GetEnterHandler(), "OnEnter_zone");
  EXPECT_EQ(trigger->GetExitHandler(), "OnExit_zone");
  EXPECT_FALSE(trigger->HasExitHandler());
  Run("exits = 0\nfunction OnExit_zone(t) exits = exits + 1 end\n");
  manager.Resume();

  obj::CGameObject* hero = Build("hero", "");
  btCollisionObject* body = Body(hero, plat::Vec3(0, 0, 0));
  Frame();
  MoveTo(body, plat::Vec3(0, 0, 20));
  Frame();
  Frame();
  EXPECT_EQ(host.GetGlobalInt("calls"), 1);
  EXPECT_EQ(host.GetGlobalInt("exits"), 0);
}

TEST_F(CollisionComponents, ADisabledTriggerLeavesTheWorld) {
  Run("calls = 0\nfunction OnEnter_zone(t) calls = calls + 1 end\n");
  obj::CGameObject* zone = Build("zone", kZone);
  lgc::CTrigger* trigger = Get<lgc::CTrigger>(zone);
  manager.Resume();
  trigger->SetEnabled(true, false);
  trigger->SetEnabled(false, false);
  EXPECT_EQ(trigger->GetCollisionObject()->getBroadphaseHandle(), nullptr);

  obj::CGameObject* hero = Build("hero", "");
  Body(hero, plat::Vec3(0, 0, 0));
  Frame();
  Frame();
  EXPECT_EQ(host.GetGlobalInt("calls"), 0);

  trigger->SetEnabled(true, false);
  const btBroadphaseProxy* proxy = trigger->GetCollisionObject()->getBroadphaseHandle();
  ASSERT_NE(proxy, nullptr);
  EXPECT_EQ(proxy->m_collisionFilterGroup, 1024);
  EXPECT_EQ(proxy->m_collisionFilterMask, 32);
  Frame();
  Frame();
  EXPECT_EQ(host.GetGlobalInt("calls"), 1);

  // Reset takes the box and the owner's subscriptions away.
  trigger->Reset();
  EXPECT_FALSE(trigger->HasContent());
  EXPECT_EQ(events.ListenerCount(SH_OnCollisionEnter), 0u);
  EXPECT_EQ(events.ListenerCount(SH_OnCollisionExit), 0u);
}

// Trackers ---------------------------------------------------------------------

TEST_F(CollisionComponents, TrackersAppendWaypointsInFileOrder) {
  obj::CGameObject* rail = Build("rail", R"(<Component name="CTracker">
      <key name="waypoints"><waypoint positionX="1" positionY="2" positionZ="3"/>
                            <waypoint positionX="4" positionY="5" positionZ="6"/></key>
      <key name="other"/>
      <key name="waypoints"><waypoint positionX="-1" positionZ="7"/></key></Component>)");
  lgc::CTracker* tracker = Get<lgc::CTracker>(rail);
  ASSERT_TRUE(tracker->HasContent());
  ASSERT_EQ(tracker->GetWaypointCount(), 3u);
  EXPECT_EQ(tracker->waypoints[0], plat::Vec3(1, 2, 3));
  EXPECT_EQ(tracker->waypoints[1], plat::Vec3(4, 5, 6));
  EXPECT_EQ(*tracker->GetWaypoint(2), plat::Vec3(-1, 0, 7));
  EXPECT_EQ(tracker->GetWaypoint(3), nullptr);

  lgc::CTracker copy;
  copy.CopyFrom(*tracker);
  EXPECT_EQ(copy.waypoints, tracker->waypoints);

  obj::CGameObject* bare = Build("bare", R"(<Component name="CTracker"/>)");
  lgc::CTracker* empty = Get<lgc::CTracker>(bare);
  EXPECT_FALSE(empty->HasContent());
  EXPECT_EQ(empty->GetWaypoint(0), nullptr);
}

}  // namespace
}  // namespace phy
}  // namespace vd
