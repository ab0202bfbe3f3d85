// The game's makers: which classes a level can create by name, filed after the
// engine's and taken out before them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/events/GameEvents.h"
#include "engine/objects/Component.h"
#include "game/flow/GameMakers.h"
#include "game/flow/Vandrel.h"

namespace vd {
namespace {

TEST(GameMakers, TheComponentTableKeepsItsOrderAndFilesWhatExists) {
  const char* const order[kGameComponentMakerCount] = {"CCameraGOWController",
                                                       "CFirstPersonCameraController",
                                                       "CPlayerController",
                                                       "CComboController",
                                                       "CPlayerEffects",
                                                       "CKrauserEffects",
                                                       "CBerserker",
                                                       "CKrauser",
                                                       "CFightSlotMgr",
                                                       "CWeaponController",
                                                       "CWeaponRenderer",
                                                       "CParticleSystemSimple",
                                                       "CParticleSystemFollower",
                                                       "CParticleSubSystemSimple",
                                                       "CLight"};
  utl::FactoryMap<obj::IComponent> makers;
  RegisterGameComponentMakers(makers);
  size_t filed = 0;
  for (int i = 0; i < kGameComponentMakerCount; ++i) {
    const SGameComponentMaker& row = kGameComponentMakers[i];
    SCOPED_TRACE(order[i]);
    EXPECT_STREQ(row.className, order[i]);
    const auto it = makers.find(ComputeHash(row.className));
    EXPECT_EQ(it != makers.end(), row.registerMaker != nullptr);
    if (it == makers.end()) continue;
    ++filed;
    // The maker's own type is the key it is filed under.
    EXPECT_EQ(it->second->GetType().GetHash(), ComputeHash(row.className));
    obj::IComponent* made = it->second->Create();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetType().GetHash(), ComputeHash(row.className));
    delete made;
  }
  EXPECT_EQ(makers.size(), filed);
  EXPECT_GE(filed, 3u) << "the cameras and the light";
  // An enemy base name, not a class: nothing is made under it.
  EXPECT_EQ(utl::CreateByName(makers, CStringHash("CPatrol")), nullptr);

  UnregisterGameComponentMakers(makers);
  EXPECT_TRUE(makers.empty());
  UnregisterGameComponentMakers(makers);  // absent keys are skipped
}

TEST(GameMakers, EventMakersGiveTheTableOrderAndTheMessageNames) {
  const char* const order[] = {
      "ZoneChange", "PlayerAttack", "EnemyAttack", "Cinematic", "Sequence", "ReachPos",
      "Action",     "Death",        "Hit",         "ShockWave", "Shake",    "EnableUse",
      "Use",        "HUDChange",    "Fatality",    "Explosion", "EndGame",  "OrbAbsorved"};
#define HM_NAME(Name, N) #Name,
  const char* const listed[] = {HM_GAME_EVENTS(HM_NAME)};
#undef HM_NAME
  ASSERT_EQ(std::size(listed), std::size(order));
  for (size_t i = 0; i < std::size(order); ++i) EXPECT_STREQ(listed[i], order[i]);

  utl::FactoryMap<evn::IEvent> makers;
  RegisterGameEventMakers(makers);
  EXPECT_EQ(makers.size(), std::size(order));
  for (const char* name : order) {
    SCOPED_TRACE(name);
    evn::IEvent* event =
        utl::CreateByName(makers, CStringHash(("CEvent" + std::string(name)).c_str()));
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->GetType().GetHash(), ComputeHash(("On" + std::string(name)).c_str()));
    event->Release();
  }
  // A pooled record comes back with the maker's defaults, not its last use.
  auto* hud = static_cast<evn::CEventHUDChange*>(utl::CreateByName(makers, SH_CEventHUDChange));
  hud->score = 12;
  hud->hide = true;
  hud->Release();
  hud = static_cast<evn::CEventHUDChange*>(utl::CreateByName(makers, SH_CEventHUDChange));
  EXPECT_EQ(hud->score, -1);
  EXPECT_FALSE(hud->hide);
  EXPECT_EQ(hud->hideSpeed, -1.0f);
  hud->Release();
  UnregisterGameEventMakers(makers);
  EXPECT_TRUE(makers.empty());
}

// The application files the game's makers after the engine's and, at shutdown,
// takes them out before the engine's go.
TEST(GameMakers, TheApplicationFilesAndRemovesThemAroundTheEngines) {
  CVandrel app;
  app.RegisterComponentFactories();
  app.RegisterEventFactories();
  for (const char* name : {"CCameraGOWController", "CLight", "CTransform"}) {
    obj::IComponent* made = app.objectManager.CreateComponent(name);
    EXPECT_NE(made, nullptr) << name;
    delete made;
  }
  EXPECT_EQ(app.objectManager.CreateComponent("CPatrol"), nullptr);
  EXPECT_NE(app.eventManager.factories.find(SH_CEventEndGame.GetHash()),
            app.eventManager.factories.end());
  app.UnregisterEventFactories();
  app.UnregisterComponentFactories();
  EXPECT_TRUE(app.objectManager.componentFactories.empty());
  EXPECT_TRUE(app.eventManager.factories.empty());
}

}  // namespace
}  // namespace vd
