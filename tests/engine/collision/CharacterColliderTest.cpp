#include <BulletCollision/CollisionDispatch/btGhostObject.h>
#include <btBulletCollisionCommon.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/animation/Animator.h"
#include "engine/collision/CharacterCollider.h"
#include "engine/collision/CharacterSweep.h"
#include "engine/collision/Colliders.h"
#include "engine/collision/CollisionManager.h"
#include "engine/core/EngineNames.h"
#include "engine/events/EventManager.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Transform.h"
#include "tests/engine/collision/CollisionTestSupport.h"

namespace vd {
namespace phy {
namespace {

using test::SeenEvents;

constexpr float kDt = 1.0f / 60.0f;

// Records where the character's sphere is after each step; added after the
// character, so its Step runs after the character's.
class CStepSpy : public ICollisionAction {
public:
  explicit CStepSpy(const CCharacterCollider*& collider) : m_collider(collider) {}
  void BeginSteps(int) override {}
  void Step(btCollisionWorld*, float) override { centres.push_back(m_collider->GetSphereCentre()); }
  void EndSteps() override {}
  std::vector<btVector3> centres;

private:
  const CCharacterCollider*& m_collider;
};

struct SCharacterKeys {
  float width = 1.0f;
  float height = 1.8f;
  float angleMin = 45.0f;
  int floor = 1;
  int walls = 1;
  float floorOffset = 0.0f;
};

// The test level (a floor with a step, two walls meeting in a corner, from the
// committed meshes) and characters built the way the object manager builds
// them: makers, Reset, Load, Init, then enabled.
class CharacterCollider : public ::testing::Test {
protected:
  void SetUp() override {
    evn::InitEngineEventTypes();
    sinks.AddSink(new test::CLogRecorder(&log));
    utl::SetLogSinks(&sinks);
    SeenEvents().clear();
    RegisterCollisionComponentFactories(makers);
    obj::RegisterObjectComponentFactories(makers);
    ASSERT_TRUE(manager.Init(kDt));
    ASSERT_TRUE(events.Init());
    manager.SetEventManager(&events);
    manager.Resume();
    Level("floor_obj", "test/char_floor", "floor");
    Level("walls_obj", "test/char_walls", "wall");
  }
  void TearDown() override {
    events.Clear();
    for (auto& object : objects) object->Release();
    objects.clear();
    manager.Release();
    utl::DeleteFactoryMakers(makers);
    utl::SetLogSinks(nullptr);
  }

  obj::IComponent* Make(obj::CGameObject* object, const char* className, const std::string& keys) {
    obj::IComponent* component = obj::CreateComponent(makers, className);
    EXPECT_NE(component, nullptr) << className;
    if (!component || !object->AddComponent(component)) return nullptr;
    std::string text = "<Component>" + keys + "</Component>";
    buffers.emplace_back(text.begin(), text.end());
    buffers.back().push_back('\0');
    rapidxml::xml_document<> document;
    document.parse<0>(buffers.back().data());
    component->Reset();
    component->Load(document.first_node());
    return component;
  }

  obj::CGameObject* NewObject(const char* name) {
    objects.emplace_back(new obj::CGameObject());
    objects.back()->SetName(name);
    return objects.back().get();
  }

  void Level(const char* name, const char* mesh, const char* cls) {
    obj::CGameObject* object = NewObject(name);
    obj::IComponent* collider =
        Make(object, "CColliderMesh",
             std::string("<key name=\"mesh\" value=\"") + mesh +
                 "\"/><key name=\"collision_class\" value=\"" + cls + "\"/>");
    ASSERT_TRUE(collider->Init()) << (log.empty() ? "" : log.back());
    collider->SetEnabled(true, false);
  }

  static std::string Key(const char* name, float value) {
    char text[96];
    std::snprintf(text, sizeof(text), "<key name=\"%s\" value=\"%g\"/>", name, value);
    return text;
  }

  struct SCharacter {
    obj::CGameObject* object = nullptr;
    gfx::CTransform* transform = nullptr;
    CCharacterCollider* collider = nullptr;
    btVector3 Position() const {
      return btVector3(transform->position.x, transform->position.y, transform->position.z);
    }
  };

  SCharacter Character(const char* name, const plat::Vec3& at, const SCharacterKeys& keys = {}) {
    SCharacter c;
    c.object = NewObject(name);
    c.transform = static_cast<gfx::CTransform*>(Make(c.object, "CTransform", ""));
    c.transform->SetPosition(at);
    const std::string text = "<key name=\"collider_class\" value=\"zombie\"/>" +
                             Key("width", keys.width) + Key("height", keys.height) +
                             Key("angle_min", keys.angleMin) +
                             Key("collision_floor", static_cast<float>(keys.floor)) +
                             Key("collision_wall", static_cast<float>(keys.walls)) +
                             Key("floor_offset", keys.floorOffset);
    c.collider = static_cast<CCharacterCollider*>(Make(c.object, "CCharacterCollider", text));
    c.object->AddComponent(new test::CCollisionRecorder());
    for (const CStringHash* type : {&SH_OnCollisionEnter, &SH_OnCollisionStay, &SH_OnCollisionExit})
      events.AddListener(c.object, *type);
    EXPECT_TRUE(c.collider->Init());
    c.collider->SetEnabled(true, false);
    return c;
  }

  // One game frame: last frame's events, the collision steps, then the objects.
  void Frame(const std::vector<SCharacter*>& characters, float dt = kDt) {
    events.Update(dt);
    manager.Update(dt);
    for (SCharacter* c : characters) c->collider->Update(dt);
  }
  // Frames that walk one character with the velocity.
  void Walk(SCharacter& c, const plat::Vec3& velocity, int frames) {
    for (int i = 0; i < frames; ++i) {
      c.collider->SetWalkDirection(velocity);
      Frame({&c});
    }
  }

  int Count(const char* type) const {
    int n = 0;
    for (const test::SSeenEvent& e : SeenEvents()) n += e.type == type && e.otherClass == "wall";
    return n;
  }

  std::vector<std::string> log;
  utl::CLogSinkHolder sinks;
  utl::FactoryMap<obj::IComponent> makers;
  CCollisionManager manager;
  evn::CEventManager events;
  std::vector<std::unique_ptr<obj::CGameObject>> objects;
  std::vector<std::vector<char>> buffers;
};

TEST_F(CharacterCollider, ReadsItsKeysAndTakesRootMotion) {
  SCharacterKeys keys;
  keys.angleMin = 60.0f;
  keys.width = 1.2f;
  keys.floorOffset = 0.1f;
  SCharacter c = Character("hero", plat::Vec3(0, 0, 0), keys);
  EXPECT_STREQ(c.collider->GetCollisionClass().GetText(), "zombie");
  EXPECT_FLOAT_EQ(c.collider->GetRadius(), 0.6f);
  EXPECT_FLOAT_EQ(c.collider->GetHeight(), 1.8f);
  EXPECT_NEAR(c.collider->GetCosAngleMin(), 0.5f, 1e-6f);
  EXPECT_TRUE(c.collider->TestsFloor() && c.collider->TestsWalls());
  EXPECT_TRUE(c.collider->HasContent());
  // The animator finds its root-motion target among the object's components.
  EXPECT_NE(dynamic_cast<anm::IRootMotionTarget*>(c.object->GetComponent(SH_CCharacterCollider)),
            nullptr);
  // Ghost and body box are in the world with their filters; the sphere sits
  // radius - floor offset above the owner.
  btBroadphaseProxy* ghost = c.collider->GetGhost()->getBroadphaseHandle();
  ASSERT_NE(ghost, nullptr);
  EXPECT_EQ(ghost->m_collisionFilterGroup, 256);
  EXPECT_EQ(ghost->m_collisionFilterMask, 323);
  btBroadphaseProxy* box = c.collider->GetBodyBox()->getBroadphaseHandle();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->m_collisionFilterGroup, 32);
  EXPECT_EQ(box->m_collisionFilterMask, 1536);
  // On the floor: the sphere rests on it, the owner stands the floor offset up.
  EXPECT_NEAR(c.collider->GetSphereCentre().y(), 0.6f, 1e-5f);
  EXPECT_NEAR(c.Position().y(), 0.1f, 1e-5f);
  EXPECT_NEAR(c.collider->GetBodyBox()->getWorldTransform().getOrigin().y(), 0.6f + 0.9f - 0.6f,
              1e-5f);

  c.collider->SetEnabled(false, false);
  EXPECT_EQ(c.collider->GetGhost()->getBroadphaseHandle(), nullptr);
  EXPECT_EQ(c.collider->GetBodyBox()->getBroadphaseHandle(), nullptr);
  Walk(c, plat::Vec3(3, 0, 0), 5);  // disabled: no steps
  EXPECT_EQ(c.Position().x(), 0.0f);
}

TEST_F(CharacterCollider, BadSetupsFailInitWithALogLine) {
  obj::CGameObject* bare = NewObject("bare");
  obj::IComponent* noTransform = Make(bare, "CCharacterCollider", Key("width", 1));
  EXPECT_FALSE(noTransform->Init());
  EXPECT_FALSE(noTransform->HasContent());
  noTransform->SetEnabled(true, false);  // nothing to add

  obj::CGameObject* flat = NewObject("flat");
  Make(flat, "CTransform", "");
  obj::IComponent* noWidth = Make(flat, "CCharacterCollider", "");
  EXPECT_FALSE(noWidth->Init());
  EXPECT_EQ(manager.GetWorld()->getNumCollisionObjects(), 2);  // the level only
  ASSERT_GE(log.size(), 2u);
  EXPECT_NE(log[log.size() - 2].find("bare"), std::string::npos);
  EXPECT_NE(log.back().find("width"), std::string::npos);
}

TEST_F(CharacterCollider, StandsOnTheFloorAfterAFallAndOnTheStep) {
  SCharacter c = Character("hero", plat::Vec3(0, 5, 0));
  // Enabling snaps it down: the owner stands on the floor, the sphere above it.
  EXPECT_FLOAT_EQ(c.Position().y(), 0.0f);
  EXPECT_FLOAT_EQ(c.collider->GetSphereCentre().y(), 0.5f);

  // Teleported over the step: the next update follows and snaps.
  c.transform->SetPositionXYZ(6, 3, 0);
  Frame({&c});
  EXPECT_EQ(c.transform->changed, 0);
  EXPECT_NEAR(c.Position().y(), 0.3f, 1e-5f);
  EXPECT_FLOAT_EQ(c.collider->GetSphereCentre().x(), 6.0f);
  EXPECT_NEAR(c.collider->GetSphereCentre().y(), 0.8f, 1e-5f);

  // A floor offset keeps the owner that much above the floor.
  SCharacterKeys raised;
  raised.floorOffset = 0.2f;
  SCharacter d = Character("raised", plat::Vec3(-5, 2, 0), raised);
  EXPECT_NEAR(d.Position().y(), 0.2f, 1e-5f);
}

TEST_F(CharacterCollider, WalksUpTheStepAndOverTheEdgeKeepsItsHeight) {
  SCharacter c = Character("hero", plat::Vec3(0, 0, 0));
  Walk(c, plat::Vec3(3, 0, 0), 120);  // 6 m: onto the step at x = 4
  Frame({&c});                        // let the glide finish
  EXPECT_NEAR(c.Position().x(), 6.0f, 1e-3f);
  EXPECT_NEAR(c.Position().y(), 0.3f, 1e-5f);
  Walk(c, plat::Vec3(0, 0, 3), 120);  // off the step, back to the ground
  Frame({&c});
  EXPECT_NEAR(c.Position().y(), 0.0f, 1e-5f);
  EXPECT_NEAR(c.Position().z(), 6.0f, 1e-3f);

  // Past the floor's edge nothing is below: the height stays.
  c.transform->SetPositionXYZ(19, 0, 0);
  Frame({&c});
  Walk(c, plat::Vec3(6, 0, 0), 60);
  Frame({&c});
  EXPECT_NEAR(c.Position().x(), 25.0f, 1e-3f);
  EXPECT_NEAR(c.Position().y(), 0.0f, 1e-5f);
}

TEST_F(CharacterCollider, WithoutFloorItKeepsAnyHeightButWallsStillStopIt) {
  SCharacterKeys keys;
  keys.floor = 0;
  SCharacter c = Character("ghost", plat::Vec3(0, 1.5f, 0), keys);
  EXPECT_FLOAT_EQ(c.Position().y(), 1.5f);
  Walk(c, plat::Vec3(-6, 0, 0), 150);  // into the wall at x = -10
  Frame({&c});
  EXPECT_FLOAT_EQ(c.Position().y(), 1.5f);
  EXPECT_GT(c.Position().x(), -10.0f + 0.5f);
}

TEST_F(CharacterCollider, AWalkDirectionLastsOneFrame) {
  SCharacter c = Character("hero", plat::Vec3(0, 0, 0));
  c.collider->SetWalkDirection(plat::Vec3(6, 0, 0));
  Frame({&c});
  Frame({&c});  // the glide of the first frame's step ends here
  const float moved = c.Position().x();
  EXPECT_NEAR(moved, 0.1f, 1e-5f);
  EXPECT_TRUE(c.collider->GetWalkVector().isZero());
  for (int i = 0; i < 5; ++i) Frame({&c});
  EXPECT_EQ(c.Position().x(), moved);
}

TEST_F(CharacterCollider, ADisplacementIsSpreadOverTheStepsAndEndsInTheSamePlace) {
  const CCharacterCollider* watched = nullptr;
  CStepSpy spy(watched);
  struct SCase {
    int steps;
  };
  for (const SCase& k : {SCase{1}, SCase{4}, SCase{5}}) {
    SCOPED_TRACE(k.steps);
    SCharacter c = Character(("mover" + std::to_string(k.steps)).c_str(), plat::Vec3(0, 0, 2));
    watched = c.collider;
    manager.AddAction(&spy);
    spy.centres.clear();
    c.collider->AddDisplacement(plat::Vec3(0.5f, 0, 0));
    c.collider->AddDisplacement(plat::Vec3(0.5f, 0, 0));
    Frame({&c}, kDt * static_cast<float>(k.steps) + 1e-4f);
    manager.RemoveAction(&spy);
    ASSERT_EQ(spy.centres.size(), static_cast<size_t>(k.steps));
    for (int i = 0; i < k.steps; ++i) {
      EXPECT_NEAR(spy.centres[i].x(), (i + 1) * 1.0f / k.steps, 1e-5f);
    }
    EXPECT_NEAR(c.Position().x(), 1.0f, 1e-5f);
    EXPECT_FLOAT_EQ(c.Position().z(), 2.0f);
    EXPECT_TRUE(c.collider->GetDisplacement().isZero());
    c.collider->SetEnabled(false, false);
  }
}

TEST_F(CharacterCollider, TheOwnerGlidesToTheStepsResultOverTheNextFrame) {
  SCharacter c = Character("hero", plat::Vec3(0, 0, 0));
  c.collider->SetWalkDirection(plat::Vec3(6, 0, 0));
  events.Update(kDt);
  manager.Update(2 * kDt + 1e-4f);  // two steps: 0.2 m
  c.collider->Update(kDt);          // half of their time
  EXPECT_NEAR(c.Position().x(), 0.1f, 1e-5f);
  // The next steps go on from the sphere, not from the half-way owner: no
  // walking is lost.
  c.collider->SetWalkDirection(plat::Vec3(6, 0, 0));
  manager.Update(kDt);
  c.collider->Update(kDt);
  EXPECT_NEAR(c.Position().x(), 0.3f, 1e-5f);

  // Moved by other code (not a teleport): the steps start from there.
  c.transform->SetPosition(plat::Vec3(2, 0, 0));
  c.collider->SetWalkDirection(plat::Vec3(6, 0, 0));
  manager.Update(kDt);
  c.collider->Update(kDt);
  EXPECT_NEAR(c.Position().x(), 2.1f, 1e-5f);
}

TEST_F(CharacterCollider, WallAnglesAroundTheThresholdStopOrSlide) {
  // The wall's face is at x = -10, facing +x. An approach at `approach` degrees
  // from its normal stops when within angle_min of head-on, and slides otherwise.
  struct SCase {
    float angleMin;
    float approach;
    bool slides;
  };
  const SCase cases[] = {{45, 40, false}, {45, 50, true}, {60, 55, false},
                         {60, 65, true},  {0, 0, false},  {0, 10, true}};
  int n = 0;
  for (const SCase& k : cases) {
    SCOPED_TRACE(::testing::Message() << "angle_min " << k.angleMin << " approach " << k.approach);
    SCharacterKeys keys;
    keys.angleMin = k.angleMin;
    SCharacter c =
        Character(("walker" + std::to_string(n++)).c_str(), plat::Vec3(-8, 0, -10), keys);
    const float a = k.approach * 3.14159265f / 180.0f;
    const plat::Vec3 velocity(-3.0f * std::cos(a), 0, 3.0f * std::sin(a));
    Walk(c, velocity, 90);
    const btVector3 before = c.Position();
    Walk(c, velocity, 30);
    const btVector3 after = c.Position();
    // Never through the wall, nor into it: the sphere keeps its radius off.
    EXPECT_GT(after.x(), -10.0f + 0.5f - 1e-3f);
    EXPECT_NEAR(after.x(), before.x(), 1e-4f);
    if (k.slides) {
      EXPECT_GT(after.z() - before.z(), 0.1f);
    } else {
      EXPECT_NEAR(after.z(), before.z(), 1e-4f);
    }
    EXPECT_NEAR(after.y(), 0.0f, 1e-5f);
    c.collider->SetEnabled(false, false);
  }
}

TEST_F(CharacterCollider, SlidesAlongTheWallIntoTheCornerWithoutTunnellingOrJitter) {
  // Slanted into the west wall: slides north along it, then into the corner,
  // where the north wall stops it or (with angle_min 0) keeps sending it back.
  struct SCase {
    float angleMin;
    plat::Vec3 velocity;
  };
  const SCase cases[] = {
      {45, plat::Vec3(-3, 0, 4)}, {0, plat::Vec3(-3, 0, 3)}, {0, plat::Vec3(-4, 0, 3)}};
  int n = 0;
  for (const SCase& k : cases) {
    SCOPED_TRACE(::testing::Message() << "angle_min " << k.angleMin << " velocity " << k.velocity.x
                                      << " " << k.velocity.z);
    SCharacterKeys keys;
    keys.angleMin = k.angleMin;
    SCharacter c = Character(("hero" + std::to_string(n++)).c_str(), plat::Vec3(-7, 0, 0), keys);
    std::vector<btVector3> path;
    for (int i = 0; i < 300; ++i) {
      Walk(c, k.velocity, 1);
      path.push_back(c.Position());
    }
    for (const btVector3& p : path) {
      EXPECT_GT(p.x(), -10.0f + 0.5f - 1e-3f);
      EXPECT_LT(p.z(), 10.0f - 0.5f + 1e-3f);
      EXPECT_NEAR(p.y(), 0.0f, 1e-5f);
    }
    // Settled in the corner: still from frame to frame.
    const btVector3 last = path.back();
    for (size_t i = path.size() - 30; i < path.size(); ++i) {
      EXPECT_NEAR(path[i].x(), last.x(), 1e-3f);
      EXPECT_NEAR(path[i].z(), last.z(), 1e-3f);
    }
    EXPECT_LT(last.x(), -9.0f);
    EXPECT_GT(last.z(), 9.0f);
    // A fast root-motion shove cannot carry it through the wall either.
    for (int i = 0; i < 3; ++i) {
      c.collider->AddDisplacement(plat::Vec3(-4, 0, 0));
      Frame({&c});
    }
    EXPECT_GT(c.Position().x(), -10.0f + 0.5f - 1e-3f);
    c.collider->SetEnabled(false, false);
  }
}

TEST_F(CharacterCollider, IsPushedOutOfAWallItWasPutInto) {
  SCharacter c = Character("hero", plat::Vec3(-9.7f, 0, 0));  // 0.2 m into the wall
  std::vector<float> xs;
  size_t seen = 0;
  for (int i = 0; i < 60; ++i) {
    Frame({&c});
    xs.push_back(c.Position().x());
    // One step a frame: at most one event of the pair, though the collider
    // tests the same contact for itself.
    EXPECT_LE(SeenEvents().size() - seen, 1u) << "frame " << i;
    seen = SeenEvents().size();
  }
  for (size_t i = 1; i < xs.size(); ++i) EXPECT_GE(xs[i], xs[i - 1]);  // outwards only
  EXPECT_GT(xs.back(), -9.5f - 0.01f);
  EXPECT_LT(xs.back(), -9.4f);
  EXPECT_NEAR(c.Position().y(), 0.0f, 1e-5f);
  int enters = 0;
  for (const test::SSeenEvent& e : SeenEvents())
    enters += e.type == "OnCollisionEnter" && e.receiver == "hero";
  EXPECT_EQ(enters, 1);
}

TEST_F(CharacterCollider, WallEventsBeginStayAndEnd) {
  SCharacter c = Character("hero", plat::Vec3(-8, 0, 0));
  Walk(c, plat::Vec3(-3, 0, 1), 60);
  Frame({&c});
  ASSERT_EQ(Count("OnCollisionEnter"), 1);
  EXPECT_GT(Count("OnCollisionStay"), 10);
  EXPECT_EQ(Count("OnCollisionExit"), 0);
  const test::SSeenEvent& enter = SeenEvents().front();
  EXPECT_EQ(enter.receiver, "hero");
  EXPECT_EQ(enter.ownClass, "zombie");
  EXPECT_EQ(enter.ownName, "hero");
  EXPECT_EQ(enter.otherName, "walls_obj");
  EXPECT_EQ(enter.other, "");
  EXPECT_NEAR(enter.normal.x, 1.0f, 1e-3f);

  // Standing still against it: no sweep, no exit.
  const size_t seen = SeenEvents().size();
  for (int i = 0; i < 10; ++i) Frame({&c});
  EXPECT_EQ(SeenEvents().size(), seen);
  // The next move misses the wall: one exit.
  Walk(c, plat::Vec3(3, 0, 0), 5);
  Frame({&c});
  EXPECT_EQ(Count("OnCollisionExit"), 1);
  EXPECT_EQ(SeenEvents().back().otherName, "wall");

  // Paused, hitting the wall raises nothing.
  manager.Pause();
  const size_t before = SeenEvents().size();
  Walk(c, plat::Vec3(-6, 0, 0), 60);
  Frame({&c});
  EXPECT_EQ(SeenEvents().size(), before);
  EXPECT_FALSE(c.collider->IsTouchingWall());
}

TEST_F(CharacterCollider, TwoTouchingCharactersGetOneEventOfEachKindPerStepAndSide) {
  SCharacter a = Character("hero", plat::Vec3(0, 0, 0));
  SCharacter b = Character("other", plat::Vec3(0.8f, 0, 0));  // spheres 0.2 m into each other
  auto count = [](const char* receiver, const char* type) {
    int n = 0;
    for (const test::SSeenEvent& e : SeenEvents())
      n += e.receiver == receiver && e.type == type && e.otherClass == "zombie";
    return n;
  };
  // One step a frame; the events of a frame's steps arrive with the next frame.
  for (int i = 0; i < 6; ++i) Frame({&a, &b});
  for (const char* side : {"hero", "other"}) {
    SCOPED_TRACE(side);
    EXPECT_EQ(count(side, "OnCollisionEnter"), 1);
    EXPECT_EQ(count(side, "OnCollisionStay"), 4);
    EXPECT_EQ(count(side, "OnCollisionExit"), 0);
  }
  b.transform->SetPosition(plat::Vec3(3, 0, 0));
  for (int i = 0; i < 3; ++i) Frame({&a, &b});
  for (const char* side : {"hero", "other"}) {
    SCOPED_TRACE(side);
    EXPECT_EQ(count(side, "OnCollisionStay"), 5);
    EXPECT_EQ(count(side, "OnCollisionExit"), 1);
  }
}

TEST_F(CharacterCollider, NormalsWithoutAWallPlaneLeaveTheTargetAsItIs) {
  SCharacter c = Character("hero", plat::Vec3(0, 0, 0));
  const btVector3 start(0, 0.5f, 0);
  struct SCase {
    btVector3 normal;
    const char* what;
  };
  const SCase cases[] = {{btVector3(0, 0, 0), "zero"},
                         {btVector3(0, 1, 0), "up"},
                         {btVector3(0, -2, 0), "down, not unit"},
                         {btVector3(NAN, 0, 0), "broken"}};
  for (const SCase& k : cases) {
    SCOPED_TRACE(k.what);
    btVector3 target(1, 0.5f, 0.5f);
    c.collider->UpdateTargetOnCollision(start, target, k.normal);
    EXPECT_EQ(target, btVector3(1, 0.5f, 0.5f));
  }
  // A zero move is left alone, a real wall slides it.
  btVector3 still = start;
  c.collider->UpdateTargetOnCollision(start, still, btVector3(1, 0, 0));
  EXPECT_EQ(still, start);
  btVector3 glancing(-1, 0.5f, 2);
  c.collider->UpdateTargetOnCollision(start, glancing, btVector3(1, 0, 0));
  EXPECT_NEAR(glancing.x(), 0.0f, 1e-6f);
  EXPECT_NEAR(glancing.z(), 2.0f, 1e-5f);  // the move's length along the wall
  // A zero walk vector keeps the last direction instead of dividing by zero.
  c.collider->SetWalkDirection(plat::Vec3(0, 0, 2));
  c.collider->SetWalkDirection(plat::Vec3(0, 0, 0));
  EXPECT_EQ(c.collider->GetMoveDirection(), btVector3(0, 0, 1));
}

TEST_F(CharacterCollider, TheSweepCallbackSkipsItsOwnObjectOnly) {
  SCharacter c = Character("hero", plat::Vec3(-8, 0, 0));
  SCharacter other = Character("other", plat::Vec3(-6, 0, 0));
  btSphereShape probe(0.25f);
  btTransform from, to;
  from.setIdentity();
  to.setIdentity();
  from.setOrigin(btVector3(-8, 0.5f, 0));
  to.setOrigin(btVector3(-4, 0.5f, 0));
  CClosestNotMeConvexResultCallback callback(c.collider->GetGhost(), from.getOrigin(),
                                             to.getOrigin());
  callback.m_collisionFilterGroup = 256;
  callback.m_collisionFilterMask = 256;  // ghosts
  manager.GetWorld()->convexSweepTest(&probe, from, to, callback);
  ASSERT_TRUE(callback.hasHit());
  EXPECT_EQ(callback.m_hitCollisionObject, other.collider->GetGhost());
}

TEST_F(CharacterCollider, ResetAndCheckpointsKeepTheWorldSound) {
  SCharacter c = Character("hero", plat::Vec3(0, 0, 0));
  const int objectsWith = manager.GetWorld()->getNumCollisionObjects();
  EXPECT_EQ(objectsWith, 4);
  c.collider->SaveCheckPoint();
  Walk(c, plat::Vec3(3, 0, 0), 10);
  c.collider->SetEnabled(false, false);
  c.collider->LoadCheckPoint();  // enabled again, the saved fields back
  EXPECT_EQ(manager.GetWorld()->getNumCollisionObjects(), objectsWith);
  EXPECT_EQ(c.collider->GetGhost(),
            static_cast<CCharacterCollider*>(c.collider->GetCheckPointCopy())->GetGhost());
  Walk(c, plat::Vec3(3, 0, 0), 10);
  c.collider->Restart();
  c.collider->Reset();
  EXPECT_EQ(manager.GetWorld()->getNumCollisionObjects(), 2);
  EXPECT_EQ(c.collider->GetGhost(), nullptr);
  Frame({&c});  // no longer a step hook
}

TEST_F(CharacterCollider, TheScriptsTurnFloorAndWallTestsOnAndOff) {
  SCharacter c = Character("hero", plat::Vec3(0, 0, 0));
  lua_State* state = luaL_newstate();
  luabind::open(state);
  RegisterCharacterColliderBindings(state);
  luabind::globals(state)["collider"] = c.collider;
  ASSERT_EQ(luaL_dostring(state, "collider:TestFloor(false) collider:TestWalls(false)"), 0)
      << lua_tostring(state, -1);
  EXPECT_FALSE(c.collider->TestsFloor());
  EXPECT_FALSE(c.collider->TestsWalls());
  ASSERT_EQ(luaL_dostring(state, "collider:TestWalls(true)"), 0);
  EXPECT_TRUE(c.collider->TestsWalls());
  lua_close(state);
}

TEST(CharacterTestMeshes, CommittedFilesMatchTheGenerator) {
  const std::string dir = ::testing::TempDir() + "character_meshes_" + std::to_string(::getpid());
  ASSERT_EQ(std::system(("mkdir -p '" + dir + "'").c_str()), 0);
  ASSERT_EQ(std::system(("'" GEN_CHARACTER_TEST_MESHES "' '" + dir + "' > /dev/null").c_str()), 0);
  auto read = [](const std::string& path) {
    std::vector<char> bytes;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
      int ch;
      while ((ch = std::fgetc(file)) != EOF) bytes.push_back(static_cast<char>(ch));
      std::fclose(file);
    }
    return bytes;
  };
  for (const char* name : {"char_floor", "char_walls"}) {
    SCOPED_TRACE(name);
    const std::vector<char> fresh = read(dir + "/" + name);
    ASSERT_FALSE(fresh.empty());
    EXPECT_TRUE(fresh == read(std::string("Data/collision/test/") + name))
        << "run gen_character_test_meshes and commit Data/collision/test";
  }
  std::system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace
}  // namespace phy
}  // namespace vd
