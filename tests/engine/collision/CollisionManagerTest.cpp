#include <btBulletCollisionCommon.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionNames.h"
#include "engine/core/Utils.h"
#include "engine/events/EventManager.h"
#include "platform/math/Math.h"
#include "tests/engine/collision/CollisionTestSupport.h"

namespace vd {
namespace phy {
namespace {

using test::SeenEvents;
using test::SSeenEvent;

const CStringHash kWeapon("weapon_player");
const CStringHash kBody("zombie");

// Records the hook calls of a step as "begin n", "step", "end".
class CRecordingAction : public ICollisionAction {
public:
  void BeginSteps(int count) override { calls.push_back("begin " + std::to_string(count)); }
  void Step(btCollisionWorld* world, float step) override {
    EXPECT_NE(world, nullptr);
    EXPECT_FLOAT_EQ(step, 1.0f / 60.0f);
    calls.push_back("step");
  }
  void EndSteps() override { calls.push_back("end"); }
  int Steps() const {
    int n = 0;
    for (const std::string& c : calls) n += c == "step";
    return n;
  }
  std::vector<std::string> calls;
};

class CollisionManagerTest : public ::testing::Test {
protected:
  void SetUp() override {
    evn::InitEngineEventTypes();
    sinks.AddSink(new test::CLogRecorder(&log));
    utl::SetLogSinks(&sinks);
    SeenEvents().clear();
    ASSERT_TRUE(manager.Init(1.0f / 60.0f));
    ASSERT_TRUE(events.Init());
    manager.SetEventManager(&events);
  }
  void TearDown() override {
    for (btCollisionObject*& object : made) manager.RemoveObject(object);
    events.Clear();
    for (auto& object : objects) object->Release();
    utl::SetLogSinks(nullptr);
  }

  // A game object that records the collision events addressed to it.
  obj::CGameObject* MakeObject(const char* name) {
    objects.emplace_back(new obj::CGameObject());
    obj::CGameObject* object = objects.back().get();
    object->SetName(name);
    object->AddComponent(new test::CCollisionRecorder());
    for (const CStringHash* type : {&SH_OnCollisionEnter, &SH_OnCollisionStay, &SH_OnCollisionExit})
      events.AddListener(object, *type);
    return object;
  }

  // A weapon volume touches character bodies; two bodies do not touch.
  btCollisionObject* Sphere(obj::CGameObject* owner, const char* name, float radius,
                            const plat::Vec3& at, bool weapon) {
    btCollisionObject* object =
        manager.CreateObject(owner, weapon ? kWeapon : kBody, name, new btSphereShape(radius),
                             weapon ? kGroupWeapon : kGroupCharacterBody, weapon ? 224 : 1536, true,
                             kKindSolid, plat::Vec4());
    Place(object, at);
    made.push_back(object);
    return object;
  }
  btCollisionObject* Box(obj::CGameObject* owner, const char* name, const plat::Vec3& size,
                         const plat::Vec3& at, const CStringHash& cls, int group, int mask,
                         int kind = kKindSolid) {
    btCollisionObject* object = manager.CreateBoxObject(size, owner, cls, name, group, mask, true,
                                                        kind, plat::Vec4(1, 1, 1, 0));
    Place(object, at);
    made.push_back(object);
    return object;
  }
  static void Place(btCollisionObject* object, const plat::Vec3& at) {
    btTransform t;
    MatrixToTransform(plat::Translation(at), t);
    object->setWorldTransform(t);
  }

  // One step, then the next frame's dispatch.
  std::vector<SSeenEvent> StepAndDeliver() {
    SeenEvents().clear();
    manager.Update(1.0f / 60.0f);
    events.Update(0.0f);
    return SeenEvents();
  }

  std::vector<std::string> log;
  utl::CLogSinkHolder sinks;
  evn::CEventManager events;
  CCollisionManager manager;
  std::vector<std::unique_ptr<obj::CGameObject>> objects;
  std::vector<btCollisionObject*> made;
};

TEST_F(CollisionManagerTest, InitBuildsAPausedWorldWithFiveStepsAFrame) {
  EXPECT_NE(manager.GetWorld(), nullptr);
  EXPECT_TRUE(manager.IsPaused());
  EXPECT_EQ(manager.GetSubStepLimit(), 5);
  EXPECT_EQ(manager.GetDebugDrawer().getDebugMode(), 16385);
  EXPECT_EQ(CCollisionManager::GetInstance(), &manager);

  manager.Resume();
  manager.Release();
  EXPECT_EQ(manager.GetWorld(), nullptr);
  EXPECT_TRUE(manager.IsPaused());
  EXPECT_EQ(manager.GetSubStepLimit(), 1);
  EXPECT_TRUE(manager.Update(1.0f));  // no world: nothing to step

  EXPECT_FALSE(manager.Init(0.0f));
  EXPECT_FALSE(manager.Init(std::nanf("")));
}

TEST_F(CollisionManagerTest, FixedStepsCarryTheRemainder) {
  struct Case {
    float dt;
    int steps;
    float remainder;
  };
  const Case cases[] = {
      {1.0f / 15.0f, 4, 0.0f},
      {0.05f, 3, 0.0f},
      {0.2f, 5, 0.2f - 5.0f / 60.0f},
      {0.01f, 0, 0.01f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dt);
    ASSERT_TRUE(manager.Init(1.0f / 60.0f));
    CRecordingAction action;
    manager.AddAction(&action);
    EXPECT_TRUE(manager.Update(c.dt));
    EXPECT_EQ(action.Steps(), c.steps);
    EXPECT_NEAR(manager.GetAccumulator(), c.remainder, 1e-6f);
    if (c.steps == 0) {
      EXPECT_TRUE(action.calls.empty());
    } else {
      EXPECT_EQ(action.calls.front(), "begin " + std::to_string(c.steps));
      EXPECT_EQ(action.calls.back(), "end");
    }
  }
  // The long frame's remainder is spent by the next frames.
  CRecordingAction action;
  ASSERT_TRUE(manager.Init(1.0f / 60.0f));
  manager.AddAction(&action);
  manager.Update(0.2f);
  manager.Update(0.0f);
  EXPECT_EQ(action.Steps(), 10);
  manager.RemoveAction(&action);
  manager.RemoveAction(&action);
  manager.Update(1.0f / 60.0f);
  EXPECT_EQ(action.Steps(), 10);
}

TEST_F(CollisionManagerTest, TouchingObjectsRaiseEnterStayExitPairsForBothSides) {
  obj::CGameObject* a = MakeObject("alpha");
  obj::CGameObject* b = MakeObject("beta");
  Sphere(a, "ball_a", 1.0f, plat::Vec3(0, 0, 0), true);
  btCollisionObject* ballB = Sphere(b, "ball_b", 1.0f, plat::Vec3(1.5f, 0, 0), false);
  manager.Resume();

  std::vector<SSeenEvent> seen = StepAndDeliver();
  ASSERT_EQ(seen.size(), 2u);
  for (const SSeenEvent& e : seen) {
    EXPECT_EQ(e.type, "OnCollisionEnter");
    EXPECT_EQ(e.ownClass, e.receiver == "alpha" ? "weapon_player" : "zombie");
    EXPECT_EQ(e.otherClass, e.receiver == "alpha" ? "zombie" : "weapon_player");
  }
  // One event per side, each naming the other.
  const SSeenEvent& first = seen[0];
  const SSeenEvent& second = seen[1];
  EXPECT_NE(first.receiver, second.receiver);
  EXPECT_EQ(first.other, second.receiver);
  EXPECT_EQ(first.ownName, "ball_" + std::string(first.receiver == "alpha" ? "a" : "b"));
  EXPECT_EQ(first.otherName, second.ownName);
  // The first side gets the penetration as a positive depth, the second as a
  // negative one; both get the same point and normal, which points from the
  // second side's object towards the first's.
  EXPECT_NEAR(first.depth, 0.5f, 1e-3f);
  EXPECT_NEAR(second.depth, -0.5f, 1e-3f);
  EXPECT_EQ(first.normal, second.normal);
  EXPECT_EQ(first.point, second.point);
  EXPECT_NEAR(plat::Length(first.normal), 1.0f, 1e-5f);
  const float towardsFirst = first.receiver == "alpha" ? -first.normal.x : first.normal.x;
  EXPECT_NEAR(towardsFirst, 1.0f, 1e-4f);

  seen = StepAndDeliver();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].type, "OnCollisionStay");
  EXPECT_EQ(seen[1].type, "OnCollisionStay");

  Place(ballB, plat::Vec3(5, 0, 0));
  seen = StepAndDeliver();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].type, "OnCollisionExit");
  EXPECT_EQ(seen[1].type, "OnCollisionExit");
  EXPECT_EQ(seen[0].other, seen[1].receiver);
  EXPECT_EQ(seen[0].depth, 0.0f);

  EXPECT_TRUE(StepAndDeliver().empty());
}

TEST_F(CollisionManagerTest, PausedContactsGoOnAsStayAfterResume) {
  obj::CGameObject* a = MakeObject("alpha");
  obj::CGameObject* b = MakeObject("beta");
  Sphere(a, "ball_a", 1.0f, plat::Vec3(0, 0, 0), true);
  Sphere(b, "ball_b", 1.0f, plat::Vec3(1.5f, 0, 0), false);

  EXPECT_TRUE(StepAndDeliver().empty());  // paused since Init
  EXPECT_EQ(manager.GetContactPairs().size(), 1u);
  manager.Resume();
  std::vector<SSeenEvent> seen = StepAndDeliver();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].type, "OnCollisionStay");

  manager.Pause();
  EXPECT_TRUE(StepAndDeliver().empty());
  manager.Resume();
  manager.ResetContacts();  // Lua "Reset": the touching pair enters again
  seen = StepAndDeliver();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].type, "OnCollisionEnter");
}

TEST_F(CollisionManagerTest, SameOwnerAndRemovedObjectsRaiseNothing) {
  obj::CGameObject* a = MakeObject("alpha");
  obj::CGameObject* b = MakeObject("beta");
  Sphere(a, "ball_a", 1.0f, plat::Vec3(0, 0, 0), true);
  Sphere(a, "ball_a2", 1.0f, plat::Vec3(0, 1, 0), false);
  btCollisionObject* ballB = Sphere(b, "ball_b", 1.0f, plat::Vec3(10, 0, 0), false);
  manager.Resume();
  EXPECT_TRUE(StepAndDeliver().empty());

  Place(ballB, plat::Vec3(0, -1.5f, 0));
  std::vector<SSeenEvent> seen = StepAndDeliver();
  ASSERT_EQ(seen.size(), 2u);  // only with ball_a
  EXPECT_EQ(seen[0].type, "OnCollisionEnter");

  manager.RemoveObject(made.back());
  EXPECT_EQ(made.back(), nullptr);
  EXPECT_TRUE(StepAndDeliver().empty());  // no exit for a removed object
  btCollisionObject* none = nullptr;
  manager.RemoveObject(none);
}

TEST_F(CollisionManagerTest, NamesInQueuedEventsOutliveTheirColliders) {
  obj::CGameObject* a = MakeObject("alpha");
  obj::CGameObject* b = MakeObject("beta");
  Sphere(a, "ball_a", 1.0f, plat::Vec3(0, 0, 0), true);
  Sphere(b, "ball_b", 1.0f, plat::Vec3(1.5f, 0, 0), false);
  manager.Resume();
  SeenEvents().clear();
  manager.Update(1.0f / 60.0f);
  manager.RemoveObject(made.back());  // gone before the events are delivered
  events.Update(0.0f);
  ASSERT_EQ(SeenEvents().size(), 2u);
  EXPECT_TRUE(SeenEvents()[0].ownName == "ball_b" || SeenEvents()[0].otherName == "ball_b");
}

TEST_F(CollisionManagerTest, RayHitsWallsOnly) {
  obj::CGameObject* level = MakeObject("level");
  // Along +x: a trigger, a static box, a floor and a ghost-like volume come
  // before the wall; only the wall stops the ray.
  Box(level, "trigger", plat::Vec3(1, 4, 4), plat::Vec3(2, 0, 0), SH_logic, kGroupTrigger,
      kMaskTrigger, kKindVolume);
  Box(level, "crate", plat::Vec3(1, 4, 4), plat::Vec3(4, 0, 0), SH_static, kGroupStatic,
      kMaskStatic);
  Box(level, "floor", plat::Vec3(1, 4, 4), plat::Vec3(6, 0, 0), SH_floor, kGroupFloor,
      kMaskLevelMesh);
  Box(level, "volume", plat::Vec3(1, 4, 4), plat::Vec3(7, 0, 0), SH_wall, kGroupWall,
      kMaskLevelMesh, kKindVolume);
  Box(level, "wall", plat::Vec3(1, 4, 4), plat::Vec3(10, 0, 0), SH_wall, kGroupWall,
      kMaskLevelMesh);
  manager.Update(1.0f / 60.0f);

  plat::Vec3 hit(-1, -1, -1);
  ASSERT_TRUE(manager.RayTest(plat::Vec3(0, 0, 0), plat::Vec3(20, 0, 0), hit));
  EXPECT_NEAR(hit.x, 9.5f, 1e-3f);
  EXPECT_NEAR(hit.y, 0.0f, 1e-4f);
  EXPECT_FALSE(manager.RayTest(plat::Vec3(0, 0, 0), plat::Vec3(8, 0, 0), hit));
  EXPECT_FALSE(manager.RayTest(plat::Vec3(0, 10, 0), plat::Vec3(20, 10, 0), hit));
  EXPECT_FALSE(manager.RayTest(plat::Vec3(1, 1, 1), plat::Vec3(1, 1, 1), hit));
}

TEST_F(CollisionManagerTest, MatrixToTransformTransposesTheRotation) {
  btTransform t;
  MatrixToTransform(plat::Translation(1, 2, 3), t);
  EXPECT_EQ(t.getOrigin(), btVector3(1, 2, 3));
  EXPECT_EQ(t.getBasis(), btMatrix3x3::getIdentity());

  const plat::Mat4 turn = plat::RotationY(utl::kPi / 2.0f);
  MatrixToTransform(turn, t);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(t.getBasis()[r][c], turn.m[c][r]);
  // A point turned by both comes out the same.
  const plat::Vec3 p = plat::TransformCoord(plat::Vec3(1, 0, 0), turn);
  const btVector3 q = t * btVector3(1, 0, 0);
  EXPECT_NEAR(q.x(), p.x, 1e-6f);
  EXPECT_NEAR(q.z(), p.z, 1e-6f);
}

}  // namespace
}  // namespace phy
}  // namespace vd
