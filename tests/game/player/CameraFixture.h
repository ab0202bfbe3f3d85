#pragma once
// A level of objects for the camera tests: the engine's object makers and the
// camera controllers, an event manager reached through the object hooks, and the
// level written to a temporary folder and loaded by the object manager.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Tracker.h"
#include "game/player/CameraController.h"
#include "game/player/FollowCamera.h"
#include "tests/support/LuaFixture.h"

namespace vd {
namespace test {

// Keeps the "OnReachPos" events that reach its object.
class CReachPosRecorder : public obj::CComponent<CReachPosRecorder> {
public:
  struct SSeen {
    std::string gameObject;
    std::string posId;
    int waypoint;
  };
  static const CStringHash& GetClassName() {
    static const CStringHash name("CReachPosRecorder");
    return name;
  }
  void HandleEvent(evn::IEvent* event) override {
    if (auto* reach = dynamic_cast<evn::CEventReachPos*>(event)) {
      seen.push_back({reach->gameObject.Get() ? reach->gameObject.Get() : "",
                      reach->posId.Get() ? reach->posId.Get() : "", reach->waypoint});
    }
  }
  void Load(rapidxml::xml_node<>*) override {}
  bool HasContent() override { return true; }
  bool Update(float) override { return true; }
  bool Init() override { return true; }
  void Reset() override {}

  std::vector<SSeen> seen;
};

class CameraLevel : public LuaFixture {
protected:
  static constexpr const char* kTemplates =
      "<GameObjectTemplate name='actor'><Component name='CTransform'/></GameObjectTemplate>"
      "<GameObjectTemplate name='rail'><Component name='CTracker'/></GameObjectTemplate>"
      "<GameObjectTemplate name='camera'>"
      "  <Component name='CTransform'/>"
      "  <Component name='CCamera'><key name='fov' value='60'/><key name='near' value='1'/>"
      "    <key name='far' value='100'/><key name='aspect_ratio_width' value='1'/>"
      "    <key name='aspect_ratio_height' value='1'/></Component>"
      "  <Component name='CCameraGOWController'>"
      "    <key name='target_height' value='1.5'/>"
      "    <key name='position_damping_const' value='6'/>"
      "    <key name='target_damping_const' value='4'/>"
      "    <key name='cinematic_damping_const' value='2'/>"
      "    <key name='zoom_damping_const' value='8'/>"
      "    <key name='cinematic_speed' value='4'/></Component>"
      "  <Component name='CReachPosRecorder'/>"
      "</GameObjectTemplate>";

  void SetUp() override {
    LuaFixture::SetUp();
    evn::InitEngineEventTypes();
    evn::InitGameEventTypes();
    ASSERT_TRUE(events.Init());
    char pattern[] = "/tmp/hm_camera_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    obj::RegisterObjectComponentFactories(manager.componentFactories);
    lgc::RegisterTrackerFactory(manager.componentFactories);
    RegisterCameraControllerFactories(manager.componentFactories);
    utl::RegisterFactoryMaker<CReachPosRecorder, obj::IComponent>(manager.componentFactories);
    ASSERT_TRUE(manager.Init());
    CCameraGOWController::SetDepthOfField(&dof);
  }
  void TearDown() override {
    CCameraGOWController::SetDepthOfField(nullptr);
    manager.Clear();
    events.Clear();
    std::system(("rm -rf " + dir).c_str());
    LuaFixture::TearDown();
  }

  // The instances, in load order (the camera looks for "player" when it is made).
  void Load(const std::string& instances) {
    std::ofstream(dir + "/t.xml") << kTemplates;
    std::ofstream(dir + "/i.xml") << instances;
    ASSERT_TRUE(manager.LoadTemplates((dir + "/t.xml").c_str()));
    manager.LoadInstances((dir + "/i.xml").c_str(), "", true);
    manager.ApplyQueuedRequests();
    cam = Part<CCameraGOWController>("main_camera");
    ASSERT_NE(cam, nullptr);
    // The level's scripts would subscribe their camera to its arrivals.
    events.AddListener(Object("main_camera"), SH_OnReachPos);
  }
  static std::string Actor(const char* name, float x, float y, float z) {
    return std::string("<GameObject name='") + name +
           "' GameObjectTemplate='actor'><Component name='CTransform'><key name='position' X='" +
           std::to_string(x) + "' Y='" + std::to_string(y) + "' Z='" + std::to_string(z) +
           "'/></Component></GameObject>";
  }
  static std::string Camera(float x, float y, float z) {
    return "<GameObject name='main_camera' GameObjectTemplate='camera'><Component "
           "name='CTransform'><key name='position' X='" +
           std::to_string(x) + "' Y='" + std::to_string(y) + "' Z='" + std::to_string(z) +
           "'/></Component><Component name='CCameraGOWController'>"
           "<key name='target' value='dummy'/></Component></GameObject>";
  }
  static std::string Rail(const char* name, const std::vector<plat::Vec3>& points) {
    std::string text = std::string("<GameObject name='") + name +
                       "' GameObjectTemplate='rail'><Component name='CTracker'>"
                       "<key name='waypoints'>";
    for (const plat::Vec3& p : points) {
      text += "<waypoint positionX='" + std::to_string(p.x) + "' positionY='" +
              std::to_string(p.y) + "' positionZ='" + std::to_string(p.z) + "'/>";
    }
    return text + "</key></Component></GameObject>";
  }

  obj::CGameObject* Object(const char* name) {
    return manager.GetGameObjectByName(CStringHash(name));
  }
  template <class T>
  T* Part(const char* name) {
    obj::CGameObject* object = Object(name);
    return object ? object->GetComponent<T>() : nullptr;
  }
  // Delivers what the camera posted this frame.
  std::vector<CReachPosRecorder::SSeen> Delivered() {
    CReachPosRecorder* recorder = Part<CReachPosRecorder>("main_camera");
    recorder->seen.clear();
    events.Update(0.0f);
    return recorder->seen;
  }

  evn::CEventManager events;
  obj::CGameObjectManager manager;
  CDepthOfFieldState dof;
  std::string dir;
  CCameraGOWController* cam = nullptr;
};

inline void ExpectVec(const plat::Vec3& a, const plat::Vec3& b, float tolerance = 1e-4f) {
  EXPECT_NEAR(a.x, b.x, tolerance);
  EXPECT_NEAR(a.y, b.y, tolerance);
  EXPECT_NEAR(a.z, b.z, tolerance);
}

inline void ExpectMat(const plat::Mat4& a, const plat::Mat4& b, float tolerance = 1e-5f) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], tolerance) << r << "," << c;
}

}  // namespace test
}  // namespace vd
