#pragma once
// The player built the way the game builds it: the shipped template through the
// component makers, the player's figure, a collision world with the character
// test level (a floor with a step, two walls meeting in a corner), an event
// manager, a camera object "main_camera", and the keyboard driven by the scripted
// input back end. Frames run in the game's order.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "engine/animation/AnimationManager.h"
#include "engine/animation/Animator.h"
#include "engine/collision/CharacterCollider.h"
#include "engine/collision/Colliders.h"
#include "engine/collision/CollisionManager.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/input/InputManager.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Tracker.h"
#include "engine/objects/Transform.h"
#include "game/player/EnemyList.h"
#include "game/player/PlayerController.h"
#include "game/player/WeaponController.h"
#include "platform/input/KeyCodes.h"
#include "platform/input/ScriptedInput.h"
#include "tests/engine/animation/AnimTestUtil.h"
#include "tests/support/LuaFixture.h"

namespace vd {
namespace test {

// An enemy as the player sees it (aim, gas, fatality), every flag settable. It takes
// a requested state as the enemies' own do: not while locked, and not the one it is
// in; `requests` counts the asks. Named as the berserker, whom the fatality looks for.
class CTestFighter : public obj::CComponent<CTestFighter>, public IEnemyFighter {
public:
  static const CStringHash& GetClassName() {
    static const CStringHash name("CBerserker");
    return name;
  }
  void Load(rapidxml::xml_node<>*) override {}
  bool HasContent() override { return true; }
  bool Update(float) override { return true; }
  bool Init() override { return true; }
  void Reset() override {}

  bool IsActive() const override { return active; }
  bool IsLocked() const override { return locked; }
  void SetLocked(bool on) override { locked = on; }
  bool IsReadyForFatality() const override { return ready; }
  int GetState() const override { return state; }
  int GetSubState() const override { return subState; }
  bool RequestState(int newState, int newSubState) override {
    ++requests;
    if (locked || (newState == state && newSubState == subState)) return false;
    state = newState;
    subState = newSubState;
    return true;
  }

  bool active = true;
  bool locked = false;
  bool ready = false;
  int state = 1;
  int subState = 0;
  int requests = 0;
};

// Stands in for the renderer that draws a blade's trail: a renderer-family
// component of that class name that remembers whether it is enabled.
class CWeaponRendererDouble
    : public obj::CComponent<CWeaponRendererDouble, obj::IRendererComponent> {
public:
  static const CStringHash& GetClassName() {
    static const CStringHash name("CWeaponRenderer");
    return name;
  }
  void Load(rapidxml::xml_node<>*) override {}
  bool HasContent() override { return true; }
  bool Update(float) override { return true; }
  bool Init() override { return true; }
  void Reset() override {}
  bool IsRegistered() const override { return false; }
};

// Every event of the types it listens to, by message name.
class CEventLog : public evn::IEventListener {
public:
  void HandleEvent(evn::IEvent* event) override {
    names.push_back(event->GetName() ? event->GetName() : "");
    if (event->GetType() == evn::CEventReachPos::s_type) {
      auto* reach = static_cast<evn::CEventReachPos*>(event);
      reached.push_back({reach->posId.Get() ? reach->posId.Get() : "", reach->waypoint});
    }
  }
  struct SReach {
    std::string posId;
    int waypoint;
  };
  std::vector<std::string> names;
  std::vector<SReach> reached;
};

class PlayerFixture : public LuaFixture {
protected:
  static constexpr float kDt = 1.0f / 60.0f;

  void SetUp() override {
    LuaFixture::SetUp();
    evn::InitEngineEventTypes();
    evn::InitGameEventTypes();
    ASSERT_TRUE(events.Init());
    ASSERT_TRUE(collision.Init(kDt));
    collision.SetEventManager(&events);
    collision.Resume();
    anm::CAnimationManager::SetLoadingModeRotateX();
    ASSERT_TRUE(animations.LoadTemplates("Data/xml/loading_animation_templates.xml"));
    auto& makers = objects.componentFactories;
    obj::RegisterObjectComponentFactories(makers);
    phy::RegisterCollisionComponentFactories(makers);
    lgc::RegisterTrackerFactory(makers);
    gfx::RegisterRendererFactory(makers);
    utl::RegisterFactoryMaker<anm::CAnimator, obj::IComponent>(makers);
    utl::RegisterFactoryMaker<CWeaponRendererDouble, obj::IComponent>(makers);
    RegisterPlayerComponentFactories(makers);
    ASSERT_TRUE(objects.Init());
    ASSERT_TRUE(keyboard.Init(6));
    ASSERT_TRUE(input.Init(&events));
  }

  void TearDown() override {
    events.Clear();
    objects.Clear();
    utl::DeleteFactoryMakers(objects.componentFactories);
    collision.Release();
    LuaFixture::TearDown();
  }

  // The level and the camera, then the player from the shipped template at `at`.
  void Build(const plat::Vec3& at = plat::Vec3(0, 0, 0), bool level = true) {
    std::string templates =
        "<GameObjectTemplate name='test_camera'><Component name='CTransform'/>"
        "</GameObjectTemplate>"
        "<GameObjectTemplate name='test_level'><Component name='CTransform'/>"
        "<Component name='CColliderMesh'/></GameObjectTemplate>"
        "<GameObjectTemplate name='test_path'><Component name='CTracker'/></GameObjectTemplate>";
    std::string instances =
        "<GameObject name='main_camera' GameObjectTemplate='test_camera'/>"
        "<GameObject name='player' GameObjectTemplate='player'><Component name='CTransform'>"
        "<key name='position' X='" +
        Num(at.x) + "' Y='" + Num(at.y) + "' Z='" + Num(at.z) + "'/></Component></GameObject>";
    if (level) {
      instances +=
          "<GameObject name='floor' GameObjectTemplate='test_level'><Component "
          "name='CColliderMesh'>"
          "<key name='mesh' value='test/char_floor'/><key name='collision_class' value='floor'/>"
          "</Component></GameObject>"
          "<GameObject name='walls' GameObjectTemplate='test_level'><Component "
          "name='CColliderMesh'>"
          "<key name='mesh' value='test/char_walls'/><key name='collision_class' value='wall'/>"
          "</Component></GameObject>";
    }
    instances += extraInstances;
    CTempFile templateFile(base + "_templates.xml", templates);
    CTempFile instanceFile(base + "_instances.xml", instances);
    ASSERT_TRUE(objects.LoadTemplates("Data/xml/loading_player_templates.xml"));
    ASSERT_TRUE(objects.LoadTemplates(templateFile.Path()));
    objects.LoadInstances(instanceFile.Path(), "", true);
    objects.ApplyQueuedRequests();
    player = objects.GetGameObjectByName(CStringHash("player"));
    ASSERT_NE(player, nullptr) << Joined();
    controller = player->GetComponent<CPlayerController>();
    ASSERT_NE(controller, nullptr);
    transform = player->GetComponent<gfx::CTransform>();
    animator = player->GetComponent<anm::CAnimator>();
    weapon = player->GetComponent<CWeaponController>();
    camera =
        objects.GetGameObjectByName(CStringHash("main_camera"))->GetComponent<gfx::CTransform>();
    ASSERT_NE(animator->GetModel(), nullptr) << Joined();
  }

  static std::string Num(float v) {
    char text[32];
    std::snprintf(text, sizeof(text), "%g", static_cast<double>(v));
    return text;
  }

  // Exactly these keys down for the next frames.
  void Keys(std::initializer_list<uint8_t> codes) { scripted.backend.SetKeys(codes); }

  // One frame in the game's order: requests, dispatch, input, collision step,
  // then the objects.
  void Frame(float dt = kDt) {
    objects.ApplyQueuedRequests();
    events.Update(dt);
    keyboard.Poll();
    input.Update(dt);
    collision.Update(dt);
    objects.UpdatePass(dt);
  }
  void Frames(int count, float dt = kDt) {
    for (int i = 0; i < count; ++i) Frame(dt);
  }

  bool Plays(const char* action) const {
    for (const anm::COwnedName& name : animator->GetActions())
      if (name.Get() == CStringHash(action)) return true;
    for (const anm::COwnedName& name : animator->GetLockedActions())
      if (name.Get() == CStringHash(action)) return true;
    return false;
  }

  const std::string base = "/tmp/hm_player_" + std::to_string(getpid());
  std::string extraInstances;
  plat::input::ScopedScriptedInput scripted;
  evn::CEventManager events;
  phy::CCollisionManager collision;
  // Outlives the objects, whose animators give their models back on release.
  anm::CAnimationManager animations;
  obj::CGameObjectManager objects;
  CKeyboardInput keyboard;
  CPadInput pad;
  CInputManager input{&keyboard, &pad};

  obj::CGameObject* player = nullptr;
  CPlayerController* controller = nullptr;
  gfx::CTransform* transform = nullptr;
  anm::CAnimator* animator = nullptr;
  CWeaponController* weapon = nullptr;
  gfx::CTransform* camera = nullptr;
};

}  // namespace test
}  // namespace vd
