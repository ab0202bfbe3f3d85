// The game-state machine and the application's game-side operations, on an
// application that is built but not started.
#include <gtest/gtest.h>

#include <chrono>
#include <rapidxml/rapidxml.hpp>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/events/GameEvents.h"
#include "engine/input/InputManager.h"
#include "game/flow/GameStates.h"
#include "game/flow/Vandrel.h"
#include "game/flow/FinalCreditsState.h"
#include "game/flow/intro/IntroState.h"
#include "game/flow/menu/PauseState.h"

namespace vd {
namespace {

// Writes what happens to it into a shared journal.
class CFakeState : public IGameState {
public:
  CFakeState(std::vector<std::string>& journal, std::string name, int exitNext)
      : m_journal(journal), m_name(std::move(name)), m_exitNext(exitNext) {}
  bool Enter(CVandrel* app, CGameOptions* options, CGameWorld* world,
             CFrontEndData* frontEnd) override {
    Exit();
    m_journal.push_back(m_name + ".Enter");
    entered = app != nullptr && options != nullptr && world != nullptr && frontEnd != nullptr;
    running = runningAfterEnter;
    return enterResult;
  }
  void Exit() override {
    m_journal.push_back(m_name + ".Exit");
    if (m_exitNext >= 0) next = m_exitNext;
  }
  bool IsReady() override { return true; }
  bool Update(float) override {
    m_journal.push_back(m_name + ".Update");
    if (stopWith != kKeepRunning) {
      next = stopWith;
      running = 0;
    }
    return updateResult;
  }

  bool enterResult = true;
  uint8_t runningAfterEnter = 1;
  bool updateResult = true;
  static constexpr int kKeepRunning = -100;
  int stopWith = kKeepRunning;
  bool entered = false;

private:
  std::vector<std::string>& m_journal;
  std::string m_name;
  int m_exitNext;
};

class StateMachineTest : public ::testing::Test {
protected:
  void SetUp() override {
    for (int i = 0; i < kGameStateCount; ++i) {
      fakes[i] = new CFakeState(journal, "s" + std::to_string(i), 3);
      app.states[i] = fakes[i];
    }
    app.currentState = fakes[0];
    fakes[0]->running = 1;
  }
  std::vector<std::string> Take() { return std::exchange(journal, {}); }

  // Before the application: its states write here until it deletes them.
  std::vector<std::string> journal;
  CVandrel app;
  CFakeState* fakes[kGameStateCount] = {};
};

TEST_F(StateMachineTest, TheNextIndexIsReadBeforeExitAndTheSwitchRunsInOneFrame) {
  fakes[0]->stopWith = 5;  // its Exit writes 3
  EXPECT_TRUE(app.UpdateStates(0.016f));
  EXPECT_EQ(Take(), std::vector<std::string>{"s0.Update"});
  EXPECT_TRUE(app.UpdateStates(0.016f));
  EXPECT_EQ(app.currentState, fakes[5]);
  EXPECT_TRUE(fakes[5]->entered);
  EXPECT_EQ(Take(), (std::vector<std::string>{"s0.Exit", "s5.Exit", "s5.Enter", "s5.Update"}));
  // The state's own result is the frame's.
  fakes[5]->updateResult = false;
  EXPECT_FALSE(app.UpdateStates(0.016f));
}

TEST_F(StateMachineTest, AFailedEnterSkipsTheUpdateAndIsLookedAtAgainNextFrame) {
  fakes[0]->stopWith = 3;
  app.UpdateStates(0.016f);
  fakes[3]->enterResult = false;
  Take();
  EXPECT_FALSE(app.UpdateStates(0.016f));
  EXPECT_EQ(app.currentState, fakes[3]);
  EXPECT_EQ(Take(), (std::vector<std::string>{"s0.Exit", "s3.Exit", "s3.Enter"}));
  // Still running after its failed Enter: updated in the next frame.
  EXPECT_TRUE(app.UpdateStates(0.016f));
  EXPECT_EQ(Take(), std::vector<std::string>{"s3.Update"});

  // A failed Enter that also cleared running is left for its next.
  fakes[3]->stopWith = 6;
  app.UpdateStates(0.016f);
  fakes[6]->enterResult = false;
  fakes[6]->runningAfterEnter = 0;
  EXPECT_FALSE(app.UpdateStates(0.016f));
  Take();
  fakes[3]->enterResult = true;
  fakes[3]->stopWith = CFakeState::kKeepRunning;
  EXPECT_TRUE(app.UpdateStates(0.016f));
  EXPECT_EQ(app.currentState, fakes[3]) << "the default next written by s6's Exit";
}

TEST_F(StateMachineTest, AnIndexWithoutAStateKeepsTheCurrentOne) {
  for (int bad : {8, -1}) {
    fakes[0]->stopWith = bad;
    app.UpdateStates(0.016f);
    Take();
    EXPECT_TRUE(app.UpdateStates(0.016f));
    EXPECT_TRUE(app.UpdateStates(0.016f));
    EXPECT_EQ(app.currentState, fakes[0]);
    EXPECT_TRUE(Take().empty()) << "not left, not updated";
    fakes[0]->running = 1;
  }
  // A slot whose state could not be made.
  delete app.states[4];
  app.states[4] = nullptr;
  fakes[0]->stopWith = 4;
  app.UpdateStates(0.016f);
  EXPECT_TRUE(app.UpdateStates(0.016f));
  EXPECT_EQ(app.currentState, fakes[0]);
}

// The real states: every Enter starts with its own Exit, so the default next is in
// force from the start; the pre-load state hands over to the start-up state at once.
TEST(GameStates, EnterStartsWithExitAndItsDefaultNext) {
  CVandrel app;
  std::unique_ptr<IGameState> states[kGameStateCount] = {
      std::make_unique<CGameStatePreLoad>(), std::make_unique<CGameStateStartUp>(),
      std::make_unique<CGameStateMenu>(),    std::make_unique<CGameStateLoading>(),
      std::make_unique<CGameStateIntro>(),   std::make_unique<CGameStateInGame>(),
      std::make_unique<CGameStatePause>(),   std::make_unique<CGameStateFinalCredits>()};
  // -1: Exit leaves next alone.
  const int defaults[kGameStateCount] = {1, 1, 3, 4, 4, -1, -1, 7};
  const uint8_t runningAfterEnter[kGameStateCount] = {0, 1, 1, 1, 1, 1, 1, 1};
  static_cast<CGameStateLoading*>(states[kStateLoading].get())->loaderDelayMs = 0;
  for (int i = 0; i < kGameStateCount; ++i) {
    IGameState& s = *states[i];
    s.next = 42;
    s.running = 0;
    EXPECT_TRUE(s.Enter(&app, &app.gameOptions, &app.gameWorld, &app.frontEndData)) << i;
    EXPECT_EQ(s.next, defaults[i] < 0 ? 42 : defaults[i]) << "state " << i;
    EXPECT_EQ(s.running, runningAfterEnter[i]) << "state " << i;
    s.Exit();
  }
  // Entered and not yet left: the loading and in-game states report ready.
  EXPECT_FALSE(states[kStateLoading]->IsReady());
  states[kStateLoading]->Enter(&app, &app.gameOptions, &app.gameWorld, &app.frontEndData);
  EXPECT_TRUE(states[kStateLoading]->IsReady());
  states[kStateLoading]->Exit();
  EXPECT_FALSE(states[kStateLoading]->IsReady());
}

// A state entered without an application (a machine driven by tests or tools)
// updates without touching it, whatever it is; only the loading state, which has
// nothing to load into, says its entry failed.
TEST(GameStates, EveryStateUpdatesWithoutAnApplication) {
  std::unique_ptr<IGameState> states[kGameStateCount] = {
      std::make_unique<CGameStatePreLoad>(), std::make_unique<CGameStateStartUp>(),
      std::make_unique<CGameStateMenu>(),    std::make_unique<CGameStateLoading>(),
      std::make_unique<CGameStateIntro>(),   std::make_unique<CGameStateInGame>(),
      std::make_unique<CGameStatePause>(),   std::make_unique<CGameStateFinalCredits>()};
  for (int i = 0; i < kGameStateCount; ++i) {
    EXPECT_EQ(states[i]->Enter(nullptr, nullptr, nullptr, nullptr), i != kStateLoading) << i;
    EXPECT_TRUE(states[i]->Update(0.016f)) << i;
    states[i]->Exit();
  }
}

// The created machine walked by its hand-overs, input set straight into the slots.
TEST(GameStates, TheMachineWalksFromPreLoadToPlayAndPause) {
  CVandrel app;
  app.StartGame();
  ASSERT_EQ(app.currentState, app.states[kStatePreLoad]);
  EXPECT_EQ(app.currentState->running, 0);
  auto press = [&app](int slot) {
    for (SInputAction& a : app.inputManager.actions) a = SInputAction();
    if (slot >= 0) app.inputManager.actions[slot].down = 1;
  };
  auto frame = [&](int slot) {
    press(slot);
    return app.UpdateStates(0.016f);
  };
  frame(-1);
  EXPECT_EQ(app.currentState, app.states[kStateStartUp]);
  // The start-up screens run for seconds; cut short as an accept on the title would.
  static_cast<CGameStateStartUp*>(app.currentState)->Finish();
  frame(-1);
  EXPECT_EQ(app.currentState, app.states[kStateMenu]);
  frame(-1);
  EXPECT_EQ(app.currentState, app.states[kStateMenu]) << "the menu waits for the player";
  static_cast<CGameStateLoading*>(app.states[kStateLoading])->loaderDelayMs = 0;
  frame(CInputManager::MenuEnter);  // the new-game page
  frame(-1);
  frame(CInputManager::MenuEnter);  // the difficulty already chosen starts it
  frame(-1);
  ASSERT_EQ(app.currentState, app.states[kStateLoading]);
  auto* loading = static_cast<CGameStateLoading*>(app.currentState);
  // The loader runs on its own thread: on a loaded machine it may need many more frames
  // than on an idle one, so the wait is for its end (bounded), not a count of frames.
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(5);
  while (!loading->IsDone() && std::chrono::steady_clock::now() < giveUp) {
    frame(-1);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_TRUE(loading->IsDone());
  frame(CInputManager::MenuEnter);
  for (int i = 0; i < 3; ++i) frame(-1);  // intro
  EXPECT_EQ(app.currentState, app.states[kStateInGame]);
  frame(CInputManager::Pause);
  frame(-1);
  EXPECT_EQ(app.currentState, app.states[kStatePause]);
  EXPECT_TRUE(app.eventManager.AreTimersPaused());
  frame(CInputManager::Pause);
  frame(-1);
  EXPECT_EQ(app.currentState, app.states[kStateInGame]);
  EXPECT_FALSE(app.eventManager.AreTimersPaused());

  app.EndGame();
  for (IGameState* s : app.states) EXPECT_EQ(s, nullptr);
  EXPECT_EQ(app.currentState, nullptr);
}

// --- the application's own operations ---

class CRecordingServices : public IGameServices {
public:
  void PauseObjectGroup(int g) override { calls.emplace_back('P', g); }
  void ResumeObjectGroup(int g) override { calls.emplace_back('R', g); }
  void RestartObjectGroup(int g) override { calls.emplace_back('S', g); }
  void EnableObjectGroup(int g) override { calls.emplace_back('E', g); }
  void DisableObjectGroup(int g) override { calls.emplace_back('D', g); }
  void DestroyObjectGroup(int g) override { calls.emplace_back('X', g); }
  void SetCurrentZone(int zone) override { calls.emplace_back('Z', zone); }
  void ResetRenderForFrontEnd() override { calls.emplace_back('F', 0); }
  std::vector<std::pair<char, int>> calls;
};

std::vector<std::pair<char, int>> Ops(char op, std::initializer_list<int> groups) {
  std::vector<std::pair<char, int>> out;
  for (int g : groups) out.emplace_back(op, 100 + g);
  return out;
}

class AppOperationsTest : public ::testing::Test {
protected:
  void SetUp() override {
    app.services = &recorder;
    for (int i = 0; i < kWorldGroupCount; ++i) app.gameWorld.groups[i] = 100 + i;
  }
  CVandrel app;
  CRecordingServices recorder;
};

// The twenty groups a pause stops, in their order; not the loading lights (6), the
// level's trackers (16) and lines (17) or the zones' lines (23 to 27).
const std::initializer_list<int> kPaused = {4,  5,  0, 2,  7,  1,  3,  11, 8,  14,
                                            13, 12, 9, 10, 15, 18, 19, 20, 21, 22};

TEST_F(AppOperationsTest, PauseAndResumeTheSameTwentyGroupsAndTheTimers) {
  app.PauseGame();
  EXPECT_TRUE(app.eventManager.AreTimersPaused());
  EXPECT_TRUE(app.decalManager.IsPaused()) << "decals stop fading";
  EXPECT_EQ(recorder.calls, Ops('P', kPaused));
  recorder.calls.clear();
  app.ResumeGame();
  EXPECT_FALSE(app.eventManager.AreTimersPaused());
  EXPECT_FALSE(app.decalManager.IsPaused());
  EXPECT_EQ(recorder.calls, Ops('R', kPaused));
}

TEST_F(AppOperationsTest, ExitToMainMenuResetsGroupsInOrderAndRunsTimersAgain) {
  app.frontEndData.introGroup = 300;
  app.frontEndData.creditsGroup = 301;
  app.gameWorld.gatingParticles.fadingAvenue = 1;
  app.gameWorld.gatingParticles.fadeRateBackstreet = 2.0f;
  app.gameWorld.spare = 9;
  app.decalManager.Init(&app.renderManager, nullptr);
  ASSERT_GT(app.decalManager.DecalsMax(), 0);
  app.decalManager.AddDecalAt(plat::Vec3(1, 0, 1), 0xFFC00000u, 1.0f, 0, 20.0f, 0.4f, 5.0f);
  app.decalManager.Commit();
  app.PauseGame();
  app.eventManager.AddTimerEvent("wake", 1.0f, nullptr, "", 0);
  recorder.calls.clear();

  app.ExitToMainMenu();

  std::vector<std::pair<char, int>> expected;
  auto add = [&expected](const std::vector<std::pair<char, int>>& more) {
    expected.insert(expected.end(), more.begin(), more.end());
  };
  add(Ops('R', {4, 5, 0, 2, 7, 1, 3}));
  add(Ops('S', {4, 5, 0, 2, 7, 1, 3}));
  add(Ops('D', {0, 1, 2, 7, 3, 4, 5, 6}));
  add(Ops('X', {11, 8, 14, 13, 12, 9, 10, 16, 17, 15, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27}));
  expected.emplace_back('X', 300);
  expected.emplace_back('X', 301);
  expected.emplace_back('F', 0);
  EXPECT_EQ(recorder.calls, expected);

  EXPECT_EQ(app.frontEndData.introGroup, -1);
  EXPECT_EQ(app.frontEndData.creditsGroup, -1);
  EXPECT_FALSE(app.eventManager.AreTimersPaused());
  EXPECT_FALSE(app.decalManager.IsPaused()) << "the next game's decals age";
  app.decalManager.Commit();
  EXPECT_FALSE(app.decalManager.Slot(0).used) << "the level's blood is cleared";
  EXPECT_EQ(app.eventManager.TimerCount(), 0u);
  EXPECT_TRUE(app.collisionManager.IsPaused());
  EXPECT_TRUE(app.collisionManager.GetContactPairs().empty());
  EXPECT_EQ(app.gameWorld.gatingParticles.fadingAvenue, 0);
  EXPECT_EQ(app.gameWorld.gatingParticles.fadeRateBackstreet, 0.0f);
  EXPECT_EQ(app.gameWorld.spare, 0);
  EXPECT_EQ(app.gameWorld.groups[kGroupLevelCommon], 108) << "group ids are kept";

  // A second exit destroys the intro and credits groups no more.
  recorder.calls.clear();
  app.ExitToMainMenu();
  EXPECT_EQ(std::count(recorder.calls.begin(), recorder.calls.end(), std::make_pair('X', 300)), 0);
}

TEST_F(AppOperationsTest, GroupsThatWereNeverLoadedAreSkipped) {
  for (int32_t& id : app.gameWorld.groups) id = -1;
  app.PauseGame();
  app.ResumeGame();
  app.ExitToMainMenu();
  EXPECT_EQ(recorder.calls, (std::vector<std::pair<char, int>>{{'F', 0}}));
}

TEST_F(AppOperationsTest, OnlyZoneChangesReachTheRenderSide) {
  evn::InitGameEventTypes();
  app.StartGame();
  EXPECT_EQ(app.eventManager.ListenerCount("OnZoneChange"), 1u);
  EXPECT_EQ(app.eventManager.ListenerCount("OnDeath"), 1u);
  recorder.calls.clear();

  evn::CEventZoneChange* zone = evn::CEventZoneChange::New();
  zone->zone = 3;
  app.HandleEvent(zone);
  zone->Release();
  evn::CEventDeath* death = evn::CEventDeath::New();
  app.HandleEvent(death);
  death->Release();
  app.HandleEvent(nullptr);
  EXPECT_EQ(recorder.calls, (std::vector<std::pair<char, int>>{{'Z', 3}}));

  app.EndGame();
  EXPECT_EQ(app.eventManager.ListenerCount("OnZoneChange"), 0u);
  EXPECT_EQ(app.eventManager.ListenerCount("OnDeath"), 0u);
}

TEST(AppInstance, TheGatingParticlesAreTheRunningGamesOnes) {
  EXPECT_EQ(CVandrel::GetGatingParticlesManager(), nullptr);
  CVandrel app;
  EXPECT_EQ(CVandrel::Get(), &app);
  EXPECT_EQ(CVandrel::GetGatingParticlesManager(), &app.gameWorld.gatingParticles);
}

TEST(FrontEndData, ResetDestroysOnlyTheGroupsItHolds) {
  CRecordingServices recorder;
  {
    CFrontEndData data(&recorder);
    EXPECT_TRUE(recorder.calls.empty()) << "groups of -1 destroy nothing";
    data.startUpGroup = 4;
    data.menuGroup = 5;
    data.introGroup = 6;  // the intro's and credits' groups are the menu's to end
    data.menuElements[CFrontEndData::kMenuBackgroundJoe].uvOffset = plat::Vec2(0.5f, 0.25f);
    data.Reset();
    EXPECT_EQ(recorder.calls, (std::vector<std::pair<char, int>>{{'X', 4}, {'X', 5}}));
    EXPECT_EQ(data.startUpGroup, -1);
    EXPECT_EQ(data.menuGroup, -1);
    EXPECT_EQ(data.introGroup, 6);
    EXPECT_EQ(data.menuElements[CFrontEndData::kMenuBackgroundJoe].uvOffset,
              plat::Vec2(0.0f, 0.0f));
    data.menuGroup = 7;
  }
  EXPECT_EQ(recorder.calls.back(), std::make_pair('X', 7)) << "the destructor resets too";
  EXPECT_EQ(recorder.calls.size(), 3u);

  CGameWorld world;
  for (int32_t id : world.groups) EXPECT_EQ(id, -1);
  world.gatingParticles.fadingBackstreet = 1;
  world.Reset();
  world.Reset();  // harmless twice
  EXPECT_EQ(world.gatingParticles.fadingBackstreet, 0);
  EXPECT_EQ(world.player, nullptr);
}

TEST(AppDifficulty, ParametersComeFromTheChosenLevel) {
  char xml[] =
      "<Script>"
      "<key name=\"speed\" value=\"1\"/>"
      "<difficulty>"
      "<easy><key name=\"life\" value=\"10\"/><key name=\"speed\" value=\"0.5\"/></easy>"
      "<normal><key name=\"life\" value=\"20\"/></normal>"
      "<hard><key name=\"life\" value=\"30\"/><key name=\"rage\" value=\"2\"/></hard>"
      "</difficulty>"
      "<difficulty><hard><key name=\"LIFE\" value=\"35\"/></hard></difficulty>"
      "</Script>";
  rapidxml::xml_document<> doc;
  doc.parse<0>(xml);
  CVandrel app;
  const uint32_t life = ComputeHash("life"), speed = ComputeHash("speed"),
                 rage = ComputeHash("rage");
  const struct {
    int difficulty;
    std::map<uint32_t, float> expected;
  } cases[] = {{0, {{life, 10.0f}, {speed, 0.5f}}},
               {1, {{life, 20.0f}}},
               {2, {{life, 35.0f}, {rage, 2.0f}}},
               {5, {}}};
  for (const auto& c : cases) {
    app.gameOptions.difficulty = c.difficulty;
    std::map<uint32_t, float> params;
    app.LoadDifficultyParams(params, doc.first_node("Script"));
    EXPECT_EQ(params, c.expected) << "difficulty " << c.difficulty;
  }
  // What the map held stays unless the level's keys replace it.
  app.gameOptions.difficulty = 1;
  std::map<uint32_t, float> params = {{speed, 4.0f}, {life, 1.0f}};
  app.LoadDifficultyParams(params, doc.first_node("Script"));
  EXPECT_EQ(params, (std::map<uint32_t, float>{{speed, 4.0f}, {life, 20.0f}}));
  app.LoadDifficultyParams(params, nullptr);
  EXPECT_EQ(params.size(), 2u);
}

}  // namespace
}  // namespace vd
