#include "engine/objects/GameObject.h"

#include <gtest/gtest.h>

#include <lua.hpp>
#include <luabind/luabind.hpp>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/EngineNames.h"
#include "engine/core/Locks.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/objects/ComponentKeys.h"
#include "tests/engine/objects/TestComponents.h"
#include "tests/support/LuaFixture.h"

namespace vd {
namespace obj {
namespace {

using test::CTestListener;
using test::CTestMover;
using test::Journal;

constexpr const char* kCounter = "Data/Scripts/tests/counter.lua";

int g_difficulty = kDifficultyNormal;

class GameObjects : public test::LuaFixture {
protected:
  void SetUp() override {
    LuaFixture::SetUp();
    evn::InitEngineEventTypes();
    utl::RegisterFactoryMaker<CTestMover, IComponent>(makers);
    utl::RegisterFactoryMaker<CTestListener, IComponent>(makers);
    SGameObjectHooks hooks;
    hooks.loadDifficultyParams = [](std::map<uint32_t, float>& params, rapidxml::xml_node<>* node) {
      ReadDifficultyParams(params, node, g_difficulty);
    };
    SetGameObjectHooks(hooks);
    g_difficulty = kDifficultyNormal;
    Journal().clear();
  }
  void TearDown() override {
    objects.clear();
    templates.clear();
    SetGameObjectHooks(SGameObjectHooks{});
    utl::DeleteFactoryMakers(makers);
    LuaFixture::TearDown();
  }

  // Parses a fragment and keeps its buffer for the rest of the test.
  rapidxml::xml_node<>* Parse(const std::string& text) {
    buffers.emplace_back(new std::vector<char>(text.begin(), text.end()));
    buffers.back()->push_back('\0');
    documents.emplace_back(new rapidxml::xml_document<>());
    documents.back()->parse<0>(buffers.back()->data());
    return documents.back()->first_node();
  }

  // Builds a template the way the object manager reads a templates file.
  CGameObject* MakeTemplate(const std::string& xml) {
    rapidxml::xml_node<>* node = Parse(xml);
    templates.emplace_back(new CGameObject());
    CGameObject* object = templates.back().get();
    object->Release();
    object->SetTemplateName(node->first_attribute("name")->value());
    object->SetInitialEnabled(true);
    for (auto* child = node->first_node("Component"); child;
         child = child->next_sibling("Component")) {
      IComponent* component = CreateComponent(makers, child->first_attribute("name")->value());
      if (!component || !object->AddComponent(component)) continue;
      component->Reset();
      component->Load(child);
    }
    for (auto* child = node->first_node("Script"); child; child = child->next_sibling("Script")) {
      object->AddTemplateScript(child->first_attribute("file")->value(), child);
    }
    return object;
  }

  // Builds an instance the way the object manager reads an instances file.
  CGameObject* MakeInstance(const CGameObject* templateObject, const std::string& xml,
                            const char* folder = "") {
    rapidxml::xml_node<>* node = Parse(xml);
    objects.emplace_back(new CGameObject());
    CGameObject* object = objects.back().get();
    object->Release();
    object->CopyTemplate(*templateObject, makers);
    object->SetGroup(0);
    object->CollectRenderers();
    object->SetEnabledAtStart(templateObject->IsEnabledAtStart());
    object->SetName(node->first_attribute("name")->value());
    object->SetId(static_cast<int>(objects.size()) - 1);
    for (auto* child = node->first_node("Component"); child;
         child = child->next_sibling("Component")) {
      const char* type = child->first_attribute("name")->value();
      IComponent* component = object->GetComponent(CStringHash(type));
      if (!component) {
        component = CreateComponent(makers, type);
        if (!component || !object->AddComponent(component)) continue;
      }
      component->BeginOverride();
      component->Load(child);
    }
    for (auto* child = node->first_node("Script"); child; child = child->next_sibling("Script")) {
      object->AddScript(child->first_attribute("file")->value(), child);
    }
    object->ResolveScriptPath(folder, object->GetNameText());
    object->SetupScripts(templateObject);
    for (int slot = 0; slot < object->GetComponentCount(); ++slot) {
      IComponent* component = object->GetComponentAt(slot);
      component->SetOwner(object);
      component->Init();
      component->SetCheckPointCopy(CreateComponent(makers, component->GetType().GetText()));
    }
    return object;
  }

  // A script value of the object, as Lua sees it.
  luabind::object Value(CGameObject* object, const char* key) {
    object->PushEnvironment(host.GetState());
    luabind::object env(luabind::from_stack(host.GetState(), -1));
    lua_pop(host.GetState(), 1);
    return env[key];
  }
  void SetValue(CGameObject* object, const char* key, double value) {
    object->PushEnvironment(host.GetState());
    lua_pushnumber(host.GetState(), value);
    lua_setfield(host.GetState(), -2, key);
    lua_pop(host.GetState(), 1);
  }
  double Number(CGameObject* object, const char* key) {
    luabind::object value = Value(object, key);
    return luabind::type(value) == LUA_TNUMBER ? luabind::object_cast<double>(value) : -1.0;
  }

  evn::CEventMovement* Movement(const char* name) {
    return evn::CEventMovement::New("mover", name, "linear", true);
  }

  // Declared first: the objects leave it when they are released.
  evn::CEventManager events;
  utl::FactoryMap<IComponent> makers;
  std::vector<std::unique_ptr<std::vector<char>>> buffers;
  std::vector<std::unique_ptr<rapidxml::xml_document<>>> documents;
  std::vector<std::unique_ptr<CGameObject>> templates;
  std::vector<std::unique_ptr<CGameObject>> objects;
};

const char* kMoverTemplate =
    "<GameObjectTemplate name='mover'>"
    "  <Component name='CTestMover'><key name='speed' value='2'/><key name='target' value='gate'/></Component>"
    "  <Component name='ctestlistener'><key name='label' value='ears'/></Component>"
    "  <Script file='Data/Scripts/tests/counter.lua'><key name='speed' value='5'/></Script>"
    "</GameObjectTemplate>";

TEST_F(GameObjects, BuiltFromXmlRunsOnInitHandlesEventsAndRestoresACheckPoint) {
  CGameObject* tmpl = MakeTemplate(kMoverTemplate);
  CGameObject* object = MakeInstance(
      tmpl,
      "<GameObject name='walker'>"
      "  <Component name='CTestMover'><key name='target' value='bridge'/></Component>"
      "</GameObject>");
  ASSERT_EQ(object->GetComponentCount(), 2);
  auto* mover = object->GetComponent<CTestMover>();
  auto* ears = object->GetComponent<CTestListener>();
  ASSERT_NE(mover, nullptr);
  ASSERT_NE(ears, nullptr);
  EXPECT_EQ(mover->GetOwner(), object);
  EXPECT_FLOAT_EQ(mover->speed, 2.0f);     // from the template
  EXPECT_EQ(mover->target, "bridge");      // overridden by the instance
  EXPECT_EQ(ears->label, "ears");
  EXPECT_EQ(object->GetTemplateName(), tmpl->GetTemplateName());
  EXPECT_EQ(Number(object, "speed"), 5.0);  // the parameter beats the chunk's value

  object->SetEnabled(true);
  EXPECT_TRUE(object->IsEnabled());
  EXPECT_TRUE(mover->IsEnabled());
  EXPECT_EQ(Number(object, "inits"), 1.0);
  EXPECT_EQ(luabind::object_cast<std::string>(Value(object, "my_name")), "walker");
  // The flag is stored after "OnInit" has run.
  EXPECT_FALSE(luabind::object_cast<bool>(Value(object, "enabled_in_init")));

  evn::CEventMovement* event = Movement("step");
  object->HandleEvent(event);
  event->Release();
  EXPECT_EQ(Number(object, "moves"), 1.0);
  EXPECT_EQ(luabind::object_cast<std::string>(Value(object, "last_move")), "step");
  EXPECT_EQ(ears->events, 1);
  EXPECT_EQ(ears->lastEvent, "OnMovement");

  object->Update(0.5f);
  EXPECT_FLOAT_EQ(mover->position.x, 1.0f);

  object->SaveCheckPoint();
  mover->target = "tower";
  mover->position.x = 7.0f;
  event = Movement("jump");
  object->HandleEvent(event);
  event->Release();
  SetValue(object, "late_key", 12);
  object->SetEnabled(false);
  EXPECT_EQ(Number(object, "ends"), 1.0);
  ASSERT_EQ(Number(object, "moves"), 2.0);

  object->LoadCheckPoint();
  EXPECT_TRUE(object->IsEnabled());
  EXPECT_TRUE(mover->IsEnabled());
  EXPECT_EQ(mover->target, "bridge");
  EXPECT_FLOAT_EQ(mover->position.x, 1.0f);
  EXPECT_EQ(Number(object, "moves"), 1.0);
  EXPECT_EQ(luabind::object_cast<std::string>(Value(object, "last_move")), "step");
  EXPECT_EQ(Number(object, "late_key"), 12.0);  // keys added after the save stay
  EXPECT_EQ(Number(object, "inits"), 2.0);      // enabled again by the load
  EXPECT_FALSE(mover->IsCheckPointCopy());
  EXPECT_NE(mover->GetCheckPointCopy(), nullptr);
}

TEST_F(GameObjects, TwoObjectsRunningOneScriptKeepTheirOwnVariables) {
  CGameObject* tmpl = MakeTemplate(kMoverTemplate);
  CGameObject* a = MakeInstance(tmpl, "<GameObject name='a'/>");
  CGameObject* b = MakeInstance(tmpl, "<GameObject name='b'/>");
  a->SetEnabled(true);
  evn::CEventMovement* event = Movement("a-only");
  a->HandleEvent(event);
  event->Release();
  EXPECT_EQ(Number(a, "moves"), 1.0);
  EXPECT_EQ(Number(b, "moves"), 0.0);
  EXPECT_EQ(Number(b, "inits"), -1.0);
  EXPECT_EQ(luabind::type(Value(b, "my_name")), LUA_TNIL);
  EXPECT_EQ(Number(a, "runs"), 1.0);
  EXPECT_EQ(Number(b, "runs"), 1.0);
  // Nothing leaked into the globals, and each object sees itself as "self".
  Run("assert(moves == nil and runs == nil and my_name == nil)");
  EXPECT_EQ(GetScriptString(a, "my_name"), std::string("a"));
  EXPECT_EQ(GetScriptFloat(b, "speed"), 5.0f);
  EXPECT_EQ(GetScriptString(b, "nothing"), nullptr);
}

TEST_F(GameObjects, GlobalFunctionsAnswerForObjectsWithoutTheirOwnExceptOnTimer) {
  Run("heard = 0; timers = 0\n"
      "function OnCollisionEnter(e) heard = heard + 1 end\n"
      "function OnTimer(e) timers = timers + 1 end\n"
      "function OnMovement(e) heard = heard + 100 end");
  CGameObject* tmpl = MakeTemplate(kMoverTemplate);
  CGameObject* object = MakeInstance(tmpl, "<GameObject name='walker'/>");
  evn::CEventMovement* movement = Movement("step");
  object->HandleEvent(movement);  // the object's own handler only
  movement->Release();
  evn::CEventTimer* timer = evn::CEventTimer::New(CStringHash("tick"), 0.0f, object, "", 0);
  object->HandleEvent(timer);
  timer->Release();
  evn::CEventCollisionEnter* touch = evn::CEventCollisionEnter::New();
  object->HandleEvent(touch);
  touch->Release();
  Run("assert(heard == 1, 'heard ' .. heard) assert(timers == 0)");
  EXPECT_EQ(object->GetComponent<CTestListener>()->events, 3);
}

TEST_F(GameObjects, ScriptOnlyEventsReachScriptsButNotComponents) {
  CGameObject* tmpl = MakeTemplate(kMoverTemplate);
  CGameObject* object = MakeInstance(tmpl, "<GameObject name='walker'/>");
  Run("poke_data = { amount = 3 }");
  evn::CEventScriptOnly* poke = evn::CEventScriptOnly::New();
  poke->SetData("OnPoke", luabind::globals(host.GetState())["poke_data"]);
  object->HandleEvent(poke);
  poke->Release();
  EXPECT_EQ(Number(object, "pokes"), 3.0);
  EXPECT_EQ(object->GetComponent<CTestListener>()->events, 0);
}

TEST_F(GameObjects, ScriptSharedByTemplateAndInstanceRunsOnceWithBothParameterSets) {
  CGameObject* tmpl = MakeTemplate(kMoverTemplate);
  CGameObject* object = MakeInstance(
      tmpl,
      "<GameObject name='walker'>"
      "  <Script file='data/scripts/TESTS/counter.lua'><key name='speed' value='7'/>"
      "    <key name='extra' value='1'/></Script>"
      "</GameObject>");
  EXPECT_EQ(Number(object, "runs"), 1.0);
  EXPECT_EQ(Number(object, "speed"), 7.0);
  EXPECT_EQ(Number(object, "extra"), 1.0);

  // A restart runs the scripts again in the same environment.
  object->Restart();
  EXPECT_EQ(Number(object, "runs"), 2.0);
  EXPECT_EQ(Number(object, "speed"), 7.0);
}

TEST_F(GameObjects, ScriptParametersTakeTheCurrentDifficultysKeys) {
  const char* tmplXml =
      "<GameObjectTemplate name='t'>"
      "  <Script file='Data/Scripts/tests/first.lua'>"
      "    <key name='life' value='10'/>"
      "    <difficulty><easy><key name='life' value='20'/></easy>"
      "      <hard><key name='life' value='5'/><key name='rage' value='2'/></hard></difficulty>"
      "  </Script>"
      "</GameObjectTemplate>";
  struct {
    int difficulty;
    double life;
    double rage;
  } cases[] = {{kDifficultyEasy, 20, -1}, {kDifficultyNormal, 10, -1}, {kDifficultyHard, 5, 2}};
  for (const auto& c : cases) {
    g_difficulty = c.difficulty;
    CGameObject* tmpl = MakeTemplate(tmplXml);
    CGameObject* object = MakeInstance(tmpl, "<GameObject name='o'/>");
    EXPECT_EQ(Number(object, "life"), c.life) << "difficulty " << c.difficulty;
    EXPECT_EQ(Number(object, "rage"), c.rage) << "difficulty " << c.difficulty;
  }
}

TEST_F(GameObjects, OwnScriptFileRunsAfterTheListedOnesAndOnlyNotFoundIsAbsent) {
  CGameObject* tmpl = MakeTemplate("<GameObjectTemplate name='t'/>");
  CGameObject* door = MakeInstance(
      tmpl, "<GameObject name='door'><Script file='Data/Scripts/tests/first.lua'/></GameObject>",
      "tests");
  EXPECT_EQ(door->GetInstanceScriptCount(), 2);
  EXPECT_EQ(door->GetInstanceScript(1).path, "Data/Scripts/tests/door.lua");
  EXPECT_EQ(luabind::object_cast<std::string>(Value(door, "order")), "first,door");

  // Without a folder the file is looked for right under Data/Scripts/.
  CGameObject plain;
  EXPECT_TRUE(plain.ResolveScriptPath("", "tests/door"));
  EXPECT_EQ(plain.GetInstanceScript(0).path, "Data/Scripts/tests/door.lua");
  EXPECT_FALSE(plain.ResolveScriptPath("tests", "nobody"));
  // A path that cannot be looked at (a file used as a folder) is not "not found":
  // the script is kept and its load error logged.
  EXPECT_TRUE(plain.ResolveScriptPath("tests/door.lua", "x"));
  EXPECT_EQ(plain.GetInstanceScriptCount(), 2);

  // No script at all: no environment.
  CGameObject* bare = MakeInstance(tmpl, "<GameObject name='nobody'/>", "tests");
  EXPECT_FALSE(bare->HasScripts());
  EXPECT_EQ(bare->GetScriptThread(), nullptr);
}

TEST_F(GameObjects, BrokenOrMissingScriptsAndFailingHandlersAreLoggedAndSkipped) {
  CGameObject* tmpl = MakeTemplate("<GameObjectTemplate name='t'><Component name='CTestListener'/></GameObjectTemplate>");
  CGameObject* object = MakeInstance(
      tmpl,
      "<GameObject name='fragile'>"
      "  <Script file='Data/Scripts/tests/missing.lua'><key name='a' value='1'/></Script>"
      "  <Script file='Data/Scripts/tests/broken.lua'/>"
      "  <Script file='Data/Scripts/tests/raises.lua'><key name='b' value='2'/></Script>"
      "  <Script file='Data/Scripts/tests/first.lua'/>"
      "</GameObject>");
  EXPECT_TRUE(Logged("Data/Scripts/tests/missing.lua")) << Joined();
  EXPECT_TRUE(Logged("Data/Scripts/tests/broken.lua")) << Joined();
  // A fourth instance script is ignored; parameters of failed scripts still apply.
  EXPECT_EQ(object->GetInstanceScriptCount(), 3);
  EXPECT_TRUE(Logged("script Data/Scripts/tests/first.lua ignored")) << Joined();
  EXPECT_EQ(Number(object, "order"), -1.0);
  EXPECT_EQ(Number(object, "a"), 1.0);
  EXPECT_EQ(Number(object, "b"), 2.0);

  evn::CEventMovement* event = Movement("step");
  object->HandleEvent(event);
  event->Release();
  EXPECT_TRUE(Logged("handler failed on purpose")) << Joined();
  EXPECT_EQ(object->GetComponent<CTestListener>()->events, 1);
  EXPECT_EQ(lua_gettop(object->GetScriptThread()), 0);
}

TEST_F(GameObjects, TwelfthComponentIsRefusedWithALogLine) {
  CGameObject object;
  object.SetName("crowded");
  for (int i = 0; i < CGameObject::kMaxComponents; ++i) {
    ASSERT_TRUE(object.AddComponent(new CTestListener()));
  }
  EXPECT_FALSE(object.AddComponent(new CTestListener()));
  EXPECT_EQ(object.GetComponentCount(), CGameObject::kMaxComponents);
  EXPECT_TRUE(Logged("crowded: component CTestListener refused")) << Joined();
}

TEST_F(GameObjects, EnablingTwiceReachesComponentsButRunsOnInitOnce) {
  CGameObject* tmpl = MakeTemplate(kMoverTemplate);
  CGameObject* object = MakeInstance(tmpl, "<GameObject name='walker'/>");
  Journal().clear();
  object->SetEnabled(true);
  object->SetEnabled(true);
  const std::vector<std::string> expected = {"SetEnabled 1 0", "SetEnabled 1 0"};
  EXPECT_EQ(Journal(), expected);
  EXPECT_EQ(Number(object, "inits"), 1.0);
}

TEST_F(GameObjects, LuaSeesTheObjectAsSelf) {
  // Registered with the host's bindings first; the objects do not register it again.
  host.AddBindingRegistrar(&RegisterGameObjectBindings);
  CGameObject* tmpl = MakeTemplate(kMoverTemplate);
  CGameObject* object = MakeInstance(tmpl, "<GameObject name='walker'/>");
  object->PushEnvironment(host.GetState());
  lua_setglobal(host.GetState(), "walker_env");
  Run("local s = walker_env.self\n"
      "assert(s:GetName() == 'walker') assert(s:GetId() == 0) assert(s:IsEnabled() == false)\n"
      "s:AddEventListener('OnDeath')");
  EXPECT_EQ(events.ListenerCount(CStringHash("OnDeath")), 1u);
  Run("walker_env.self:RemoveEventListener('OnDeath')");
  EXPECT_EQ(events.ListenerCount(CStringHash("OnDeath")), 0u);

  // What the scripts subscribed and did not remove is removed with the object, once.
  Run("walker_env.self:AddEventListener('OnTimer') walker_env.self:AddEventListener('OnHit')"
      " walker_env.self:AddEventListener('OnTimer') walker_env.self:RemoveEventListener('ontimer')");
  EXPECT_EQ(events.ListenerCount(CStringHash("OnTimer")), 1u);
  EXPECT_EQ(events.ListenerCount(CStringHash("OnHit")), 1u);
  object->Release();
  EXPECT_EQ(events.ListenerCount(CStringHash("OnTimer")), 0u);
  EXPECT_EQ(events.ListenerCount(CStringHash("OnHit")), 0u);
  events.AddListener(object, CStringHash("OnHit"));
  object->Release();
  EXPECT_EQ(events.ListenerCount(CStringHash("OnHit")), 1u);
  events.RemoveListener(CStringHash("OnHit"), object);

  // What events hand to Lua as a game object is the same "self".
  luabind::globals(host.GetState())["as_value"] = GameObjectToLua(host.GetState(), object);
  Run("assert(as_value:GetName() == 'walker')");
  Run("walker_env = nil as_value = nil");
  EXPECT_EQ(luabind::type(GameObjectToLua(host.GetState(), nullptr)), LUA_TNIL);
}

TEST_F(GameObjects, ScriptIntegersAreWrittenIntoTheObjectAndItsFunctionsCalled) {
  Run("life = 77; function Shout() shouts = (shouts or 0) + 1 end");
  CGameObject* tmpl = MakeTemplate(kMoverTemplate);
  CGameObject* a = MakeInstance(tmpl, "<GameObject name='a'/>");
  CGameObject* b = MakeInstance(tmpl, "<GameObject name='b'/>");
  ASSERT_TRUE(SetScriptInt(a, "life", 12));
  EXPECT_EQ(GetScriptFloat(a, "life"), 12.0f);
  EXPECT_EQ(GetScriptFloat(b, "life"), 77.0f) << "the global and the other object keep theirs";
  EXPECT_FALSE(SetScriptInt(nullptr, "life", 1));

  // The object's own function, else the global one; anything else is no call.
  Run("function OnPoke() error('boom') end");
  EXPECT_TRUE(CallScriptFunction(a, "Shout"));
  EXPECT_EQ(GetScriptFloat(a, "shouts"), 1.0f);
  EXPECT_FALSE(CallScriptFunction(a, "speed"));
  EXPECT_FALSE(CallScriptFunction(a, "NoSuchFunction"));
  EXPECT_FALSE(CallScriptFunction(b, "OnPoke")) << "the object's own, which raises";
}

TEST_F(GameObjects, ComponentsAreFoundByTypeAndFamilyAndReleasedWithTheObject) {
  CGameObject* tmpl = MakeTemplate(kMoverTemplate);
  CGameObject* object = MakeInstance(tmpl, "<GameObject name='walker'/>");
  EXPECT_EQ(object->GetComponent(CStringHash("ctestmover")), object->GetComponentAt(0));
  EXPECT_EQ(object->GetComponent(SH_CTransform), nullptr);
  std::vector<IComponent*> none;
  object->GetComponentsByFamily(SH_CRenderer, none);
  EXPECT_TRUE(none.empty());
  EXPECT_TRUE(object->GetRenderers().empty());

  object->Release();
  EXPECT_EQ(object->GetComponentCount(), 0);
  EXPECT_EQ(object->GetComponentAt(0), nullptr);
  EXPECT_FALSE(object->HasScripts());
  EXPECT_EQ(object->GetGroup(), -1);
  EXPECT_STREQ(object->GetNameText(), "walker");  // the name stays
}

TEST_F(GameObjects, ScriptsSetUpOnTheLoadingThreadWaitForTheLuaLock) {
  sys::CLockSet locks;
  sys::SetAppLocks(&locks);
  locks.Create(sys::kLockLua);
  CGameObject* tmpl = MakeTemplate(kMoverTemplate);
  CGameObject* object = MakeInstance(tmpl, "<GameObject name='main'/>");
  CGameObject loaded;
  loaded.CopyTemplate(*tmpl, makers);
  loaded.SetName("loaded");

  ASSERT_TRUE(locks.Lock(sys::kLockLua));
  auto setup = std::async(std::launch::async, [&] {
    loaded.SetupScripts(tmpl);
    return loaded.HasScripts();
  });
  EXPECT_EQ(setup.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  locks.Unlock(sys::kLockLua);
  ASSERT_EQ(setup.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_TRUE(setup.get());
  EXPECT_EQ(Number(&loaded, "runs"), 1.0);

  // Handlers leave the lock free, a failing global one included: without its own
  // handler the object falls back to the global function.
  Run("function OnMovement(e) error('global handler failed') end");
  object->PushEnvironment(host.GetState());
  lua_pushnil(host.GetState());
  lua_setfield(host.GetState(), -2, "OnMovement");
  lua_pop(host.GetState(), 1);
  evn::CEventMovement* event = Movement("step");
  object->HandleEvent(event);
  event->Release();
  EXPECT_TRUE(Logged("global handler failed")) << Joined();
  auto other = std::async(std::launch::async, [] {
    sys::CScopedLock lock(sys::kLockLua);
    return true;
  });
  EXPECT_EQ(other.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  locks.Delete(sys::kLockLua);
  sys::SetAppLocks(nullptr);
}

// Object scripts go through the host's loader and its call watch, and the object's
// lookups survive globals whose "__index" raises.
TEST_F(GameObjects, ObjectScriptsLoadAsTextAndEndlessOrStrictScriptsDoNotStopTheGame) {
  namespace fs = std::filesystem;
  char pattern[] = "/tmp/hm_object_scripts_XXXXXX";
  const fs::path dir = mkdtemp(pattern);
  auto write = [&](const char* name, const std::string& text) {
    std::ofstream(dir / name, std::ios::binary) << text;
    return (dir / name).string();
  };
  const std::string bom = write("bom.lua", "\xEF\xBB\xBF#!lua\nfrom_bom = 1\n");
  const std::string compiled = write("compiled.lua", test::Precompiled("from_chunk = 1"));
  const std::string endless = write("endless.lua",
                                    "function OnMovement(e)\n  while true do end\nend\n"
                                    "looping = 1\nwhile true do end\n");
  host.SetCallTimeLimit(0.2);
  CGameObject* tmpl = MakeTemplate(
      "<GameObjectTemplate name='t'><Component name='CTestListener'/></GameObjectTemplate>");
  CGameObject* object = MakeInstance(tmpl, "<GameObject name='odd'><Script file='" + bom +
                                               "'/><Script file='" + compiled +
                                               "'/><Script file='" + endless + "'/></GameObject>");
  EXPECT_EQ(Number(object, "from_bom"), 1.0);
  EXPECT_EQ(Number(object, "from_chunk"), -1.0);
  EXPECT_TRUE(Logged("Game object odd: script error in " + compiled +
                     ": attempt to load a binary chunk"))
      << Joined();
  EXPECT_EQ(Number(object, "looping"), 1.0);
  EXPECT_TRUE(Logged("Game object odd: script error in " + endless + ": " + endless +
                     ":5: stopped after running for more than 0.2 s"))
      << Joined();

  evn::CEventMovement* movement = Movement("step");
  object->HandleEvent(movement);
  movement->Release();
  EXPECT_TRUE(Logged("Game object odd: script error in OnMovement: " + endless +
                     ":2: stopped after running"))
      << Joined();
  EXPECT_EQ(object->GetComponent<CTestListener>()->events, 1);

  Run("touched = 0\nfunction OnCollisionEnter(e) touched = touched + 1 end\n"
      "setmetatable(_G, { __index = function(_, name) error('undeclared ' .. name, 2) end })");
  evn::CEventCollisionEnter* touch = evn::CEventCollisionEnter::New();
  object->HandleEvent(touch);  // the global handler, found raw
  touch->Release();
  evn::CEventCollisionExit* leave = evn::CEventCollisionExit::New();
  object->HandleEvent(leave);  // no handler anywhere
  leave->Release();
  EXPECT_EQ(GetScriptString(object, "nothing_here"), nullptr);
  EXPECT_EQ(host.GetGlobalInt("touched"), 1);
  EXPECT_EQ(object->GetComponent<CTestListener>()->events, 3);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace obj
}  // namespace vd
