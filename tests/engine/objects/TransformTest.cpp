#include "engine/objects/Transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/core/EngineNames.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/objects/GameObject.h"
#include "tests/support/LuaFixture.h"

namespace vd {
namespace gfx {
namespace {

constexpr float kPi = 3.14159265358979f;

class CMovementRecorder : public evn::IEventListener {
public:
  void HandleEvent(evn::IEvent* event) override {
    auto* movement = static_cast<evn::CEventMovement*>(event);
    seen.push_back(std::string(movement->gameObject.Get()) + "/" + movement->name.Get() + "/" +
                   movement->type.Get() + (movement->begin ? "/begin" : "/end"));
  }
  std::vector<std::string> seen;
};

class Transforms : public test::LuaFixture {
protected:
  void SetUp() override {
    LuaFixture::SetUp();
    evn::InitEngineEventTypes();
    events.Init();
    events.AddListener(&recorder, SH_OnMovement);
  }
  void TearDown() override {
    events.Clear();
    LuaFixture::TearDown();
  }
  rapidxml::xml_node<>* Parse(const std::string& text) {
    buffer.assign(text.begin(), text.end());
    buffer.push_back('\0');
    document.parse<0>(buffer.data());
    return document.first_node();
  }

  evn::CEventManager events;
  CMovementRecorder recorder;
  std::vector<char> buffer;
  rapidxml::xml_document<> document;
};

TEST_F(Transforms, SetYawWrapsIntoPlusMinusPi) {
  struct Case {
    float in, out;
  } cases[] = {{3 * kPi / 2, -kPi / 2}, {-3 * kPi / 2, kPi / 2}, {kPi, kPi},
               {0.25f, 0.25f},          {7.0f, 7.0f - 2 * kPi},   {-7.0f, -7.0f + 2 * kPi}};
  for (const Case& c : cases) {
    CTransform transform;
    EXPECT_NEAR(transform.SetYaw(c.in), c.out, 1e-5f) << c.in;
    EXPECT_NEAR(transform.yaw, c.out, 1e-5f);
    EXPECT_LE(transform.yaw, kPi + 1e-6f);
    EXPECT_GE(transform.yaw, -kPi - 1e-6f);
  }
}

TEST_F(Transforms, OrientationRoundTripsThroughMatrixAndQuaternion) {
  // The file holds the inverse rotation of yaw 0.5, pitch 0.3, roll 0.2.
  const plat::Quat q(0.16849094f, 0.22894864f, 0.05885678f, 0.95693741f);
  CTransform transform;
  transform.Load(Parse(
      "<Component name='CTransform'>"
      "<key name='position' X='1' Y='2' Z='3'/>"
      "<key name='orientation' X='-0.16849094' Y='-0.22894864' Z='-0.05885678' W='0.95693741'/>"
      "<key name='YAW' value='2.5'/>"
      "</Component>"));
  EXPECT_NEAR(transform.orientation.x, q.x, 1e-5f);
  EXPECT_NEAR(transform.orientation.y, q.y, 1e-5f);
  EXPECT_NEAR(transform.orientation.z, q.z, 1e-5f);
  EXPECT_NEAR(std::fabs(transform.orientation.w), q.w, 1e-5f);
  EXPECT_NEAR(transform.yaw, 0.5f, 1e-5f);  // the "yaw" key is superseded
  EXPECT_NEAR(transform.pitch, 0.3f, 1e-5f);
  EXPECT_NEAR(transform.roll, 0.2f, 1e-5f);

  const float rows[4][4] = {{0.88823680f, 0.18979606f, -0.41834537f, 0},
                            {-0.03549297f, 0.93629336f, 0.34942093f, 0},
                            {0.45801271f, -0.29552021f, 0.83838664f, 0},
                            {1, 2, 3, 1}};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(transform.world.m[r][c], rows[r][c], 1e-5f) << r << c;
  const plat::Mat4 product = transform.world * transform.inverseWorld;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(product.m[r][c], r == c ? 1.0f : 0.0f, 1e-5f);

  // The setters rebuild the same rotation from the angles.
  CTransform built;
  built.SetPitch(0.3f);
  built.SetRoll(0.2f);
  built.SetYaw(0.5f);
  const plat::Quat back = plat::QuatRotationMatrix(built.world);
  EXPECT_NEAR(back.x, q.x, 1e-5f);
  EXPECT_NEAR(back.y, q.y, 1e-5f);
  EXPECT_NEAR(back.z, q.z, 1e-5f);
  EXPECT_NEAR(back.w, q.w, 1e-5f);

  // A quarter turn as the tools write it.
  CTransform quarter;
  quarter.Load(Parse("<Component><key name='orientation' X='0' Y='0.7071068' Z='0' W='0.7071068'/></Component>"));
  EXPECT_NEAR(quarter.orientation.y, -0.7071068f, 1e-6f);
  EXPECT_NEAR(quarter.orientation.w, 0.7071068f, 1e-6f);
  EXPECT_NEAR(quarter.yaw, -kPi / 2, 1e-5f);
}

TEST_F(Transforms, AnInstanceWithoutOrientationKeepsItsTemplates) {
  CTransform templ;
  templ.Load(Parse("<Component><key name='orientation' X='0' Y='0.7071068' Z='0' W='0.7071068'/></Component>"));
  CTransform instance;
  instance.CopyFrom(templ);
  instance.Load(Parse("<Component><key name='position' X='4' Y='0' Z='0'/></Component>"));
  EXPECT_NEAR(instance.orientation.y, -0.7071068f, 1e-6f);
  EXPECT_NEAR(instance.yaw, -kPi / 2, 1e-5f);
  EXPECT_FLOAT_EQ(instance.world.m[3][0], 4.0f);
}

TEST_F(Transforms, NonFiniteKeysAreRefusedAndTheTemplatesValuesKept) {
  CTransform templ;
  templ.Load(
      Parse("<Component><key name='position' X='1' Y='2' Z='3'/>"
            "<key name='orientation' X='0' Y='0.7071068' Z='0' W='0.7071068'/>"
            "<key name='scale' X='2' Y='2' Z='2'/></Component>"));
  const struct {
    const char* key;
    const char* text;
  } cases[] = {
      {"position", "<key name='position' X='nan' Y='0' Z='0'/>"},
      {"position", "<key name='position' X='0' Y='0' Z='-inf'/>"},
      {"orientation", "<key name='orientation' X='0' Y='0' Z='0' W='nan'/>"},
      {"scale", "<key name='scale' X='1' Y='1e39' Z='1'/>"},  // beyond float: infinite
  };
  for (const auto& c : cases) {
    log.clear();
    CTransform instance;
    instance.CopyFrom(templ);
    instance.Load(Parse(std::string("<Component>") + c.text + "</Component>"));
    EXPECT_TRUE(Logged(std::string(c.key) + " is not a finite value")) << c.text;
    EXPECT_EQ(instance.position, plat::Vec3(1, 2, 3)) << c.text;
    EXPECT_EQ(instance.scale, plat::Vec3(2, 2, 2)) << c.text;
    EXPECT_NEAR(instance.orientation.y, -0.7071068f, 1e-6f) << c.text;
    EXPECT_NEAR(instance.yaw, -kPi / 2, 1e-5f) << c.text;
    for (int r = 0; r < 4; ++r)
      for (int k = 0; k < 4; ++k) EXPECT_TRUE(std::isfinite(instance.world.m[r][k])) << c.text;
  }
}

TEST_F(Transforms, LinearMovementsArriveAndPostOneEvent) {
  obj::CGameObject owner;
  owner.SetName("mover");
  auto* transform = new CTransform();
  ASSERT_TRUE(owner.AddComponent(transform));

  // Farther than a step: moves by speed × dt along the line.
  transform->BeginLinearMovement("walk", 10, 0, 0, 2);
  transform->Update(0.5f);
  EXPECT_NEAR(transform->position.x, 1.0f, 1e-6f);
  EXPECT_FLOAT_EQ(transform->world.m[3][0], 1.0f);
  EXPECT_TRUE(transform->IsMoving());
  // Nearer than a step: arrives this frame.
  transform->BeginLinearMovement("walk", 1.5f, 0, 0, 2);
  transform->Update(0.5f);
  EXPECT_EQ(transform->position, plat::Vec3(1.5f, 0, 0));
  EXPECT_FALSE(transform->IsMoving());
  transform->Update(0.5f);

  // Speed 0 never reaches another point, and arrives at once where it stands.
  transform->BeginLinearMovement("stay", 5, 0, 0, 0);
  for (int i = 0; i < 10; ++i) transform->Update(0.1f);
  EXPECT_TRUE(transform->IsMoving());
  transform->BeginLinearMovement("here", 1.5f, 0, 0, 0);
  transform->Update(0.1f);
  EXPECT_FALSE(transform->IsMoving());
  // Ended while not moving: posts as well.
  transform->EndLinearMovement();

  events.Update(0.0f);
  EXPECT_EQ(recorder.seen, (std::vector<std::string>{"mover/walk/linear/end", "mover/here/linear/end",
                                                     "mover/here/linear/end"}));
}

TEST_F(Transforms, TheEventKeepsItsTextsWhenTheObjectIsGone) {
  {
    obj::CGameObject owner;
    owner.SetName("short_lived");
    auto* transform = new CTransform();
    ASSERT_TRUE(owner.AddComponent(transform));
    transform->BeginLinearMovement("last", 0, 0, 0, 1);
    transform->Update(0.1f);
  }
  events.Update(0.0f);
  EXPECT_EQ(recorder.seen, (std::vector<std::string>{"short_lived/last/linear/end"}));
}

TEST_F(Transforms, TurnsTowardsAPointByAFraction) {
  CTransform transform;
  transform.TurnTowards(plat::Vec3(1, 0, 0), 0.5f, false);  // target yaw pi/2
  EXPECT_NEAR(transform.yaw, kPi / 4, 1e-5f);
  transform.TurnYawTowardsDirection(plat::Vec3(0, 0, -1), 1.0f);  // the short way to pi
  EXPECT_NEAR(std::fabs(transform.yaw), kPi, 1e-5f);
  transform.SetYaw(0.0f);
  transform.TurnTowards(plat::Vec3(0, 1, 1), 1.0f, true);
  EXPECT_NEAR(transform.pitch, kPi / 4, 1e-5f);
}

TEST_F(Transforms, ScriptsMoveTheTransform) {
  RegisterTransformBindings(host.GetState());
  CTransform transform;
  luabind::globals(host.GetState())["t"] = &transform;
  Run("t:SetPosition(1, 2, 3) t:SetYaw(4.71238898) x = t:GetX() + t:GetY() + t:GetZ()");
  EXPECT_EQ(transform.position, plat::Vec3(1, 2, 3));
  EXPECT_EQ(transform.changed, 1);
  EXPECT_NEAR(transform.yaw, -kPi / 2, 1e-5f);
  EXPECT_DOUBLE_EQ(luabind::object_cast<double>(luabind::globals(host.GetState())["x"]), 6.0);
  Run("t:BeginLinearMovement('m', 1, 2, 4, 1)");
  EXPECT_TRUE(transform.IsMoving());
}

}  // namespace
}  // namespace gfx
}  // namespace vd
