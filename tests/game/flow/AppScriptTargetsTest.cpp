// What the application hands the scripts: the world's managers through its global
// accessors, the zone that reaches the particle systems, and a return to the menu
// that leaves no script setting of the level behind.
#include <gtest/gtest.h>

#include "engine/events/GameEvents.h"
#include "game/flow/Vandrel.h"
#include "game/flow/script/LuaFunctions.h"

namespace vd {
namespace {

TEST(AppScriptTargets, AccessorsAnswerTheRunningGamesManagers) {
  EXPECT_EQ(CVandrel::GetHUD(), nullptr);
  EXPECT_EQ(CVandrel::GetAIManager(), nullptr);
  CVandrel app;
  EXPECT_EQ(CVandrel::GetHUD(), &app.gameWorld.hud);
  EXPECT_EQ(CVandrel::GetAIManager(), &app.gameWorld.aiManager);
  EXPECT_EQ(CVandrel::GetGatingParticlesManager(), &app.gameWorld.gatingParticles);
}

TEST(AppScriptTargets, AZoneChangeReachesTheParticleSystems) {
  evn::InitGameEventTypes();
  CVandrel app;
  evn::CEventZoneChange* zone = evn::CEventZoneChange::New();
  zone->zone = 4;
  app.HandleEvent(zone);
  zone->Release();
  EXPECT_EQ(app.particleManager.currentZone, 4);
  EXPECT_EQ(app.lightManager.currentZone, 4u);
  EXPECT_EQ(app.engineServices.currentZone, 4);
}

TEST(AppScriptTargets, TheMenuGetsNoSlowMotionOrCinematicOfTheLevel) {
  CVandrel app;
  for (int32_t& id : app.gameWorld.groups) id = -1;
  app.inGameState = 1;
  app.timer.slowMotion = 1;
  app.timer.slowMotionScale = 0.1f;
  app.ExitToMainMenu();
  EXPECT_EQ(app.inGameState, 0);
  EXPECT_EQ(app.timer.slowMotion.load(), 0);
  EXPECT_FLOAT_EQ(app.timer.slowMotionScale.load(), 1.0f);
}

TEST(AppScriptTargets, TheFunctionTableLetsGoOfAnApplicationThatEnds) {
  {
    CVandrel app;
    SLuaFunctionTargets targets;
    targets.world = &app.gameWorld;
    targets.timer = &app.timer;
    GetLuaFunctions().Bind(targets);
  }
  EXPECT_EQ(GetLuaFunctions().Targets().world, nullptr);
  EXPECT_EQ(GetLuaFunctions().Targets().timer, nullptr);
}

}  // namespace
}  // namespace vd
