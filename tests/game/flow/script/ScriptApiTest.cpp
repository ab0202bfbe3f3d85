// The game's script interface run from Lua against a small level: the shipped player
// on the character test floor, a path, an orb, a plain effect and the avenue's gating
// wall, with the function table bound to a world, a render manager, a timer, the
// input and the particle manager of the test's own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "engine/app/Timer.h"
#include "engine/events/EventManager.h"
#include "engine/render/RenderManager.h"
#include "engine/render/particles/ParticleSysManager.h"
#include "engine/render/particles/ParticleSystem.h"
#include "engine/core/FactoryMaker.h"
#include "game/enemies/AIManager.h"
#include "game/enemies/Berserker.h"
#include "game/enemies/Krauser.h"
#include "game/flow/GameWorld.h"
#include "game/flow/script/GatingParticlesManager.h"
#include "game/flow/script/LuaFunctions.h"
#include "game/flow/script/ScriptBindings.h"
#include "tests/game/player/PlayerFixture.h"

namespace vd {
namespace {

std::string Effect(const char* name, const char* kind, const char* className,
                   const char* extra = "") {
  const std::string id = name, emitter = id + "_e";
  return "<GameObject name='" + id +
         "' GameObjectTemplate='test_fx'>"
         "<Component name='CParticleSubSystemSimple'><key name='particle_creation'>"
         "<particle_creation_rate_max value='0.5'/><particle_creation_rate_min value='0.5'/>"
         "<particle_creation_num_max value='1'/><particle_creation_num_min value='1'/></key>"
         "<key name='particle'><max_init_lifeTime value='1'/><min_init_lifeTime value='1'/>"
         "</key><key name='subparticlesystem_id' value='" +
         emitter + "'/></Component><Component name='" + className +
         "'><key name='particlesystem_id' value='" + id + "'/><key name='ps_type_id' value='" +
         kind + "'/><key name='subsystem' value='" + emitter + "'/>" + extra +
         "</Component></GameObject>";
}

CGameWorld* g_world = nullptr;
CGatingParticlesManager* WorldGating() { return g_world ? &g_world->gatingParticles : nullptr; }

void ExpectVec(const plat::Vec3& a, const plat::Vec3& b) {
  EXPECT_NEAR(a.x, b.x, 1e-4f);
  EXPECT_NEAR(a.y, b.y, 1e-4f);
  EXPECT_NEAR(a.z, b.z, 1e-4f);
}

// The cases' checks reach into the fixture: everything is public.
class ScriptApi : public test::PlayerFixture {
public:
  using test::PlayerFixture::Run;

  void SetUp() override {
    test::PlayerFixture::SetUp();
    RegisterParticleFactories(objects.componentFactories);
    ASSERT_TRUE(particles.Init());
    g_world = &world;
    // What the engine registers before the game's own.
    gfx::RegisterTransformBindings(host.GetState());
    gfx::RegisterRendererBindings(host.GetState());
    RegisterGameComponentBindings(host.GetState());
    RegisterGatingParticlesBindings(host.GetState(), &WorldGating);
    SLuaFunctionTargets targets;
    targets.world = &world;
    targets.render = &render;
    targets.timer = &timer;
    targets.input = &input;
    targets.particles = &particles;
    targets.inGameState = &inGameState;
    GetLuaFunctions().Bind(targets);
  }
  void TearDown() override {
    GetLuaFunctions().Bind({});
    g_world = nullptr;
    for (const std::string& path : written) std::remove(path.c_str());
    test::PlayerFixture::TearDown();
  }

  void BuildLevel() {
    ASSERT_TRUE(objects.LoadTemplates(
        WriteTemplates("<GameObjectTemplate name='test_fx'><Component name='CTransform'/>"
                       "</GameObjectTemplate>" +
                       extraTemplates)
            .c_str()));
    extraInstances =
        "<GameObject name='path' GameObjectTemplate='test_path'><Component name='CTracker'>"
        "<key name='waypoints'><waypoint positionX='0' positionY='0' positionZ='2'/>"
        "<waypoint positionX='0' positionY='0' positionZ='4'/></key></Component></GameObject>" +
        Effect("orb_1", "orb", "CParticleSystemFollower",
               "<key name='gameobject_to_follow' value='player'/>") +
        Effect("fx_1", "fx", "CParticleSystemSimple") +
        Effect(CGatingParticlesManager::kAvenueName, CGatingParticlesManager::kAvenueName,
               "CParticleSystemSimple", "<key name='active' value='1'/>") +
        levelExtras;
    Build();
    // The render commit publishes what the level registered.
    particles.Flush();
    world.gatingParticles.FindSystems(&particles);
  }
  std::string WriteTemplates(const std::string& text) {
    const std::string path = base + "_fx_templates.xml";
    std::ofstream(path) << text;
    written.push_back(path);
    return path;
  }
  template <class T>
  T* Part(const char* name) {
    obj::CGameObject* object = objects.GetGameObjectByName(CStringHash(name));
    return object ? object->GetComponent<T>() : nullptr;
  }
  int CountLogged(const std::string& part) const {
    int n = 0;
    for (const std::string& line : log) n += line.find(part) != std::string::npos;
    return n;
  }

  CGameWorld world;
  gfx::CRenderManager render;
  sys::CTimer timer;
  ptc::CParticleSysManager particles;
  int32_t inGameState = 0;
  std::vector<std::string> written;
  std::string levelExtras;
  std::string extraTemplates;
};

struct SCase {
  const char* code;
  std::function<void(ScriptApi&)> check;
};

TEST_F(ScriptApi, EachFunctionActsOnTheLevel) {
  BuildLevel();
  CPlayerController* c = controller;
  gfx::CTransform* t = transform;
  const SCase cases[] = {
      // The collider takes the new place at once: he stands on the floor there.
      {"f:PlayerSetPosition(3, 0.5, 4)",
       [t](ScriptApi&) {
         ExpectVec(t->position, plat::Vec3(3, 0, 4));
         EXPECT_FLOAT_EQ(t->world.m[3][0], 3.0f);
       }},
      {"f:PlayerSetYaw(1.25)", [t](ScriptApi&) { EXPECT_FLOAT_EQ(t->yaw, 1.25f); }},
      // From (3, 0.5, 4): the point lies along +x; its height is not used.
      {"f:PlayerLookAt(13, 99, 4)", [t](ScriptApi&) { EXPECT_NEAR(t->yaw, 1.5707964f, 1e-5f); }},
      {"f:PlayerSetState('EVADE')", [c](ScriptApi&) { EXPECT_EQ(c->state, 8); }},
      {"f:PlayerSetState('no_such_state')", [c](ScriptApi&) { EXPECT_EQ(c->state, 0); }},
      {"f:PlayerPerformCinematicAction('idle_cinematic_01', 'nothing', false)",
       [c](ScriptApi&) { EXPECT_EQ(c->state, CPlayerController::kCinematicAction); }},
      {"f:PlayerFollowTracker('path')",
       [c](ScriptApi& s) { EXPECT_EQ(c->tracker, s.Part<lgc::CTracker>("path")); }},
      // The stock stays within its range at both ends.
      {"f:PlayerAddLife(-1000) f:PlayerAddLife(20) f:PlayerAddLife(150)",
       [c](ScriptApi&) { EXPECT_EQ(c->life, 100); }},
      {"f:PlayerAddLife(-500) life = f:PlayerGetLife()",
       [c](ScriptApi& s) {
         EXPECT_EQ(c->life, 0);
         s.Run("assert(life == 0)");
       }},
      {"f:PlayerAddGas(-1000) f:PlayerAddGas(99.9) gas = f:PlayerGetGas()",
       [](ScriptApi& s) { s.Run("assert(gas == 99, gas)"); }},
      {"f:PlayerAddGas(5000)", [c](ScriptApi&) { EXPECT_FLOAT_EQ(c->gas, 100.0f); }},
      {"f:PlayerAddGas(-5000)", [c](ScriptApi&) { EXPECT_FLOAT_EQ(c->gas, 0.0f); }},
      {"f:PlayerAddGrenades(-9) f:PlayerAddGrenades(2) f:PlayerAddGrenades(1) n = "
       "f:PlayerGetGrenades()",
       [c](ScriptApi& s) {
         EXPECT_EQ(c->grenades, 2);
         s.Run("assert(n == 2)");
       }},
      {"f:PlayerAddGrenades(-3)", [c](ScriptApi&) { EXPECT_EQ(c->grenades, 0); }},
      // Restart: the player stands where the level put him, facing away.
      {"f:PlayerSetPosition(5, 0, 5) f:PlayerReset()",
       [t](ScriptApi&) { ExpectVec(t->position, plat::Vec3(0, 0, 0)); }},
      // No pad in the tests: the keyboard's key.
      {"f:ShowUseButton()",
       [](ScriptApi& s) {
         EXPECT_EQ(s.world.hud.GetButtonTexture(), "hud/Keyboard_K.dds");
       }},
      {"f:ActivateOrbParticle('orb', 1, 2, 3)",
       [](ScriptApi& s) {
         auto* orb = s.Part<CParticleSystemFollower>("orb_1");
         EXPECT_TRUE(orb->IsActive());
         EXPECT_FLOAT_EQ(orb->step, -1.0f);
         EXPECT_FALSE(orb->HasArrived());
         ExpectVec(s.Part<gfx::CTransform>("orb_1")->position, plat::Vec3(1, 2, 3));
       }},
      // A plain system is placed and started, and nothing else of it is touched.
      {"f:ActivateOrbParticle('fx', 7, 8, 9)",
       [](ScriptApi& s) {
         EXPECT_TRUE(s.Part<CParticleSystemSimple>("fx_1")->IsActive());
         ExpectVec(s.Part<gfx::CTransform>("fx_1")->position, plat::Vec3(7, 8, 9));
         EXPECT_EQ(s.CountLogged("fx is not an orb"), 1);
         s.Part<CParticleSystemSimple>("fx_1")->SetActive(false);
       }},
      {"f:ActivateParticleSystemPos('fx', 4, 5, 6)",
       [](ScriptApi& s) {
         auto* fx = s.Part<CParticleSystemSimple>("fx_1");
         EXPECT_TRUE(fx->IsActive());
         EXPECT_FLOAT_EQ(fx->alpha, 1.0f);
         ExpectVec(s.Part<gfx::CTransform>("fx_1")->position, plat::Vec3(4, 5, 6));
         fx->SetActive(false);
       }},
      // Where it stands.
      {"f:ActivateParticleSystem('fx')",
       [](ScriptApi& s) {
         EXPECT_TRUE(s.Part<CParticleSystemSimple>("fx_1")->IsActive());
         ExpectVec(s.Part<gfx::CTransform>("fx_1")->position, plat::Vec3(4, 5, 6));
       }},
      // None of the kind is free now.
      {"f:ActivateParticleSystemPos('fx', 1, 1, 1)",
       [](ScriptApi& s) {
         EXPECT_EQ(s.CountLogged("no free particle system fx"), 1);
         ExpectVec(s.Part<gfx::CTransform>("fx_1")->position, plat::Vec3(4, 5, 6));
       }},
      {"f:SetInGameState('cancelable_cinematic')",
       [](ScriptApi& s) { EXPECT_EQ(s.inGameState, 2); }},
      {"f:SetInGameState('Gameplay_typo')", [](ScriptApi& s) { EXPECT_EQ(s.inGameState, 0); }},
      {"f:SetCinematicDoF(true)", [](ScriptApi& s) { EXPECT_TRUE(s.render.cinematicDoF.pending); }},
      {"f:SetSlowMotion(true)",
       [](ScriptApi& s) {
         EXPECT_EQ(s.timer.slowMotion.load(), 1);
         EXPECT_FLOAT_EQ(s.timer.slowMotionScale.load(), 0.1f);
       }},
      {"f:SetSlowMotion(false)",
       [](ScriptApi& s) {
         EXPECT_EQ(s.timer.slowMotion.load(), 0);
         EXPECT_FLOAT_EQ(s.timer.slowMotionScale.load(), 1.0f);
       }},
      // Names are matched by their hash, whatever their case.
      {"GetGatingParticlesManager():SmoothDisableGatingPS('PS_GATING_AVENUE_INST', 0.5)",
       [](ScriptApi& s) {
         EXPECT_EQ(s.world.gatingParticles.fadingAvenue, 1);
         EXPECT_FLOAT_EQ(s.world.gatingParticles.fadeRateAvenue, 0.5f);
       }},
      {"local u = GetGameObjectUtils()\n"
       "assert(u:GetCompTransform('player') ~= nil)\n"
       "assert(u:GetCompAnimator('player') ~= nil)\n"
       "assert(u:GetCompCharacterCollider('player') ~= nil)\n"
       "assert(u:GetCompRenderer('path') == nil)\n"
       "assert(u:GetCompBerserker('player') == nil)\n"
       "assert(u:GetCompKrauser('player') == nil)\n"
       "assert(u:GetCompKrauser('nobody') == nil)",
       [](ScriptApi& s) { EXPECT_EQ(s.CountLogged("no object nobody"), 1); }},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.code);
    log.clear();
    Run((std::string("local f = GetLuaFunctions()\n") + c.code).c_str());
    c.check(*this);
  }
}

// Each enemy getter answers only its own class: a fighter is no boss and the boss no
// fighter, and only the fighter's class can switch its collisions.
TEST_F(ScriptApi, EnemyGettersAnswerOnlyTheirOwnClass) {
  utl::RegisterFactoryMaker<CBerserker, obj::IComponent>(objects.componentFactories);
  utl::RegisterFactoryMaker<CKrauser, obj::IComponent>(objects.componentFactories);
  RegisterEnemyBindings(host.GetState(), &world.aiManager);
  extraTemplates =
      "<GameObjectTemplate name='test_fighter'><Component name='CTransform'/>"
      "<Component name='CBerserker'/></GameObjectTemplate>"
      "<GameObjectTemplate name='test_boss'><Component name='CTransform'/>"
      "<Component name='CKrauser'/></GameObjectTemplate>";
  levelExtras = "<GameObject name='fighter_1' GameObjectTemplate='test_fighter'/>"
                "<GameObject name='boss_1' GameObjectTemplate='test_boss'/>";
  BuildLevel();
  CBerserker* fighter = Part<CBerserker>("fighter_1");
  ASSERT_NE(fighter, nullptr) << Joined();
  ASSERT_NE(Part<CKrauser>("boss_1"), nullptr) << Joined();
  fighter->collisionsEnabled = 1;
  Run("local u = GetGameObjectUtils()\n"
      "assert(u:GetCompKrauser('fighter_1') == nil)\n"
      "assert(u:GetCompBerserker('boss_1') == nil)\n"
      "local boss = u:GetCompKrauser('BOSS_1')\n"
      "assert(boss ~= nil)\n"
      "local found, method = pcall(function() return boss.EnableCollisions end)\n"
      "assert(not found or method == nil, 'the boss has no EnableCollisions')\n"
      "u:GetCompBerserker('fighter_1'):EnableCollisions(false)");
  EXPECT_EQ(fighter->collisionsEnabled, 0);
  EXPECT_EQ(CountLogged("Script error"), 0) << Joined();
}

TEST_F(ScriptApi, WhatIsNotThereIsSaidOnceAndLeftAlone) {
  // No level: no player, no particle system, no camera.
  struct SMissing {
    const char* code;
    const char* said;
  };
  const SMissing cases[] = {
      {"f:PlayerSetPosition(1, 2, 3)", "PlayerSetPosition without a player"},
      {"f:PlayerAddLife(5)", "PlayerAddLife without a player"},
      {"assert(f:PlayerGetLife() == 0)", "PlayerGetLife without a player"},
      {"assert(f:PlayerGetGas() == 0)", "PlayerGetGas without a player"},
      {"f:PlayerReset()", "PlayerReset without a player"},
      {"f:ActivateOrbParticle('orb', 1, 2, 3)", "no free particle system orb"},
      {"f:ActivateParticleSystem(nil)", "ActivateParticleSystem: no free particle system"},
      {"f:CameraSetMode('pan')", "CameraSetMode without a main camera"},
      {"GetGatingParticlesManager():SmoothDisableGatingPS('ps_gating_backstreet_inst', 1)",
       "no ps_gating_backstreet_inst in the level"},
  };
  for (const SMissing& c : cases) {
    SCOPED_TRACE(c.code);
    log.clear();
    // Twice: a script that calls every frame says it once.
    const std::string code = std::string("local f = GetLuaFunctions()\n") + c.code + "\n" + c.code;
    Run(code.c_str());
    EXPECT_EQ(CountLogged(c.said), 1) << Joined();
  }
  EXPECT_EQ(world.gatingParticles.fadingBackstreet, 0);

  // The helpers hold nothing: each call that finds no object says so.
  log.clear();
  Run("assert(GetGameObjectUtils():GetCompTransform('nobody') == nil)");
  EXPECT_EQ(CountLogged("no object nobody"), 1);

  // A player without the parts an operation needs is no player for it.
  GetLuaFunctions().Bind({});
  log.clear();
  Run("local f = GetLuaFunctions() f:SetSlowMotion(true) f:SetInGameState('gameplay') "
      "f:SetCinematicDoF(true) f:ShowUseButton()");
  EXPECT_EQ(CountLogged("ignored"), 4) << Joined();
  EXPECT_EQ(timer.slowMotion.load(), 0);
}

TEST_F(ScriptApi, AGatingWallFadesFromItsRequestToOff) {
  BuildLevel();
  CGatingParticlesManager& gating = world.gatingParticles;
  ptc::IParticleSystem* wall = Part<CParticleSystemSimple>(CGatingParticlesManager::kAvenueName);
  ASSERT_EQ(gating.avenue, wall);
  EXPECT_EQ(gating.backstreet, nullptr);
  EXPECT_EQ(CountLogged("the level has no ps_gating_backstreet_inst"), 1);
  ASSERT_TRUE(wall->IsActive()) << "the wall stands before its zone is won";

  // Nothing fades before a script asks; other names change nothing.
  gating.Update(0.5f);
  gating.SmoothDisableGatingPS("ps_gating_elsewhere", 1.0f);
  gating.SmoothDisableGatingPS(nullptr, 1.0f);
  EXPECT_FLOAT_EQ(wall->alpha, 1.0f);
  EXPECT_EQ(gating.fadingAvenue, 0);

  gating.SmoothDisableGatingPS(CGatingParticlesManager::kAvenueName, 1.0f);
  gating.Update(0.25f);
  EXPECT_FLOAT_EQ(wall->alpha, 0.75f);
  EXPECT_FLOAT_EQ(gating.frameTime, 0.25f);
  // A second request re-rates the running fade.
  gating.SmoothDisableGatingPS(CGatingParticlesManager::kAvenueName, 2.0f);
  gating.Update(0.25f);
  EXPECT_FLOAT_EQ(wall->alpha, 0.25f);
  EXPECT_TRUE(wall->IsActive());
  gating.Update(0.25f);
  EXPECT_FALSE(wall->IsActive());
  EXPECT_FLOAT_EQ(wall->alpha, 0.0f);
  EXPECT_EQ(gating.fadingAvenue, 0);
  EXPECT_FLOAT_EQ(gating.fadeRateAvenue, 0.0f);

  // A wall already without alpha goes off in the first frame after the request.
  wall->Restart(false);
  wall->alpha = 0.0f;
  gating.SmoothDisableGatingPS(CGatingParticlesManager::kAvenueName, 1.0f);
  EXPECT_TRUE(wall->IsActive());
  gating.Update(0.01f);
  EXPECT_FALSE(wall->IsActive());

  // A rate of 0 or less could never fade it: off at once, alpha untouched.
  for (float rate : {0.0f, -3.0f}) {
    wall->Restart(false);
    gating.SmoothDisableGatingPS(CGatingParticlesManager::kAvenueName, rate);
    EXPECT_FALSE(wall->IsActive()) << rate;
    EXPECT_EQ(gating.fadingAvenue, 0);
    gating.Update(1.0f);
    EXPECT_FLOAT_EQ(wall->alpha, 1.0f);
  }

  // A level that is left takes the walls with it.
  gating.ClearFades();
  gating.SmoothDisableGatingPS(CGatingParticlesManager::kAvenueName, 1.0f);
  gating.Update(1.0f);
  EXPECT_EQ(gating.fadingAvenue, 0);
}

// The level's own gate script: the avenue's wall clears when the diagonal's fighters
// are dead, in slow motion for a while; the back street's when the lever is pulled.
TEST_F(ScriptApi, TheLevelsGatesOpenWhenTheirWayIsWon) {
  evn::CEventManager& events = this->events;
  evn::RegisterEventBindings(host.GetState());
  levelExtras =
      Effect(CGatingParticlesManager::kBackstreetName, CGatingParticlesManager::kBackstreetName,
             "CParticleSystemSimple", "<key name='active' value='1'/>") +
      "<GameObject name='lever_backstreet_handle' GameObjectTemplate='test_fx'/>";
  BuildLevel();
  ASSERT_TRUE(host.RunFile("Data/scripts/city_level.lua")) << Joined();
  ASSERT_TRUE(host.RunFile("Data/scripts/level_gates.lua")) << Joined();
  Run("deaths = {} GatesBegin()");
  CGatingParticlesManager& gating = world.gatingParticles;
  ASSERT_NE(gating.backstreet, nullptr);

  for (const char* name : {"zombie_diagonal_01", "zombie_diagonal_02", "zombie_diagonal_03"})
    Run((std::string("OnDeath({ type = 'enemy', name = '") + name + "' })").c_str());
  EXPECT_EQ(gating.fadingAvenue, 0) << "one fighter still stands";
  Run("OnDeath({ type = 'enemy', name = 'zombie_diagonal_04' })");
  EXPECT_EQ(gating.fadingAvenue, 1);
  EXPECT_EQ(timer.slowMotion.load(), 1);
  // The slow motion ends with its timer.
  for (int i = 0; i < 120 && timer.slowMotion.load(); ++i) events.Update(1.0f / 60.0f);
  EXPECT_EQ(timer.slowMotion.load(), 0);
  for (int i = 0; i < 5; ++i) gating.Update(0.5f);
  EXPECT_FALSE(gating.avenue->IsActive());
  EXPECT_TRUE(gating.backstreet->IsActive()) << "the back street waits for its lever";

  // The lever: the use's beginning does nothing yet, its end opens the way.
  Run("OnUse({ object_name = 'lever_backstreet', begin = true })");
  EXPECT_EQ(gating.fadingBackstreet, 0);
  Run("OnUse({ object_name = 'lever_backstreet', begin = false })");
  EXPECT_EQ(gating.fadingBackstreet, 1);
  EXPECT_NEAR(Part<gfx::CTransform>("lever_backstreet_handle")->yaw, 3.1415927f, 1e-5f);

  // A checkpoint saved with both open takes them away at once when loaded.
  Run("OnSaveCheckPoint({}) gating_test = checkpoint.avenue_open and checkpoint.backstreet_open "
      "assert(gating_test)");
  gating.avenue->Restart(false);
  Run("OnLoadCheckPoint({})");
  EXPECT_FALSE(gating.avenue->IsActive());
  EXPECT_EQ(CountLogged("Script error"), 0) << Joined();
}

TEST_F(ScriptApi, HostileScriptsLeaveTheGameRunning) {
  BuildLevel();
  const char* const functions[] = {"CameraSetTarget",
                                   "CameraSetPosition",
                                   "CameraSetMode",
                                   "CameraMoveCameraTo",
                                   "CameraSetRailsMode",
                                   "CameraExecuteDramaticZoom",
                                   "CameraGetPositionX",
                                   "PlayerSetPosition",
                                   "PlayerSetYaw",
                                   "PlayerLookAt",
                                   "PlayerPerformCinematicAction",
                                   "PlayerSetState",
                                   "PlayerFollowTracker",
                                   "PlayerAddLife",
                                   "PlayerAddGas",
                                   "PlayerAddGrenades",
                                   "PlayerGetLife",
                                   "PlayerGetGas",
                                   "PlayerGetGrenades",
                                   "PlayerReset",
                                   "ShowUseButton",
                                   "ActivateOrbParticle",
                                   "ActivateParticleSystemPos",
                                   "ActivateParticleSystem",
                                   "SetInGameState",
                                   "SetCinematicDoF",
                                   "SetSlowMotion"};
  const char* const arguments[] = {"nil",
                                   "{}",
                                   "'text'",
                                   "1e308, -1e308, 0/0",
                                   "function() end",
                                   "nil, nil, nil, nil, nil, nil, nil"};
  int failed = 0;
  for (const char* function : functions) {
    for (const char* args : arguments) {
      const std::string code = std::string("GetLuaFunctions():") + function + "(" + args + ")";
      failed += host.RunString(code.c_str(), "hostile") ? 0 : 1;
    }
    // Called as a plain function, without the table.
    const std::string code = std::string("GetLuaFunctions().") + function + "(nil)";
    failed += host.RunString(code.c_str(), "hostile") ? 0 : 1;
  }
  for (const char* code :
       {"GetGatingParticlesManager():SmoothDisableGatingPS({}, 'x')",
        "GetGatingParticlesManager().SmoothDisableGatingPS(nil, 1)",
        "GetGameObjectUtils():GetCompTransform({})", "GetGameObjectUtils():GetCompBerserker(5)",
        "GetGameObjectUtils().GetCompKrauser()", "GetNoSuchFunction()"})
    failed += host.RunString(code, "hostile") ? 0 : 1;
  EXPECT_GT(failed, 0) << "wrong types are refused by the bindings";

  // An endless loop through the functions is stopped by the host's clock.
  host.SetCallTimeLimit(0.2);
  EXPECT_FALSE(host.RunString("local f = GetLuaFunctions()\n"
                              "while true do f:PlayerAddLife(1) f:ActivateParticleSystem('x') end",
                              "endless"));
  host.SetCallTimeLimit(5.0);

  // The stock is still within range and the game still answers.
  EXPECT_GE(controller->life, 0);
  EXPECT_LE(controller->life, CLuaFunctions::kMaxLife);
  EXPECT_GE(controller->gas, 0.0f);
  EXPECT_LE(controller->gas, CLuaFunctions::kMaxGas);
  EXPECT_GE(controller->grenades, 0);
  EXPECT_LE(controller->grenades, CLuaFunctions::kMaxGrenades);
  Run("local f = GetLuaFunctions() f:PlayerAddLife(-1000) f:PlayerAddLife(7) "
      "assert(f:PlayerGetLife() == 7)");
  Frames(3);
}

}  // namespace
}  // namespace vd
