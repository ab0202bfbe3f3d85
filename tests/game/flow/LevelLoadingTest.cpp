// A new game from the menu to play, headless, driven by scripted keys: the loading
// screen, the loader thread and the level it brings in; and the in-game state's
// own rules.
#include <btBulletCollisionCommon.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <lua.hpp>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/collision/CollisionManager.h"
#include "engine/collision/Trigger.h"
#include "engine/core/EngineNames.h"
#include "engine/core/Locks.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/input/InputManager.h"
#include "engine/objects/Camera.h"
#include "engine/objects/GameObject.h"
#include "engine/render/RenderManager.h"
#include "engine/render/particles/ParticleSystem.h"
#include "game/flow/GameStates.h"
#include "game/flow/Vandrel.h"
#include "game/player/EnemyList.h"
#include "game/player/PlayerController.h"
#include "platform/input/KeyCodes.h"
#include "platform/math/Math.h"
#include "platform/input/ScriptedInput.h"
#include "platform/window/MessageBox.h"
#include "tests/support/DrivenGame.h"
#include "tests/support/LogRecorder.h"

namespace vd {
namespace {

namespace pi = plat::input;
using test::CDrivenGame;

class LevelLoadingTest : public test::DrivenGameTest {};

void RunGame(CVandrel& game) {
  ASSERT_TRUE(game.Init(nullptr, 1));
  game.StartGame();
  game.MainLoop();
  game.EndGame();
  game.Shutdown();
}

bool Enabled(CDrivenGame& game, const char* name) {
  obj::CGameObject* object = game.Find(name);
  return object && object->IsEnabled();
}

// The whole way with the game's own wait before loading: the screen shows the
// images of the keyboard, spins while the level loads, offers the start button,
// and Return brings the level in through main_camera.
TEST_F(LevelLoadingTest, ANewGameLoadsTheLevelBehindTheLoadingScreenAndStartsPlay) {
  CDrivenGame game(input.backend);
  std::string log;
  game.logSinks.AddSink(new test::CLogRecorder(&log));
  game.loaderDelayMs = -1;
  struct {
    int loadingFrames = 0;
    bool luaLockWhileLoading = true;
    bool startHiddenWhileLoading = true;
    bool keyboardShown = false, padHidden = false;
    float lastRoll = 0.0f;
    int spinningFrames = 0;
    bool doneShowsStart = false;
    bool luaLockAfter = true;
    bool screenFramesWhileCreating = true;
  } seen;
  struct {
    bool levelEnabled = false, loadingSceneOff = false, loadingLightGone = false;
    bool viewsThroughMainCamera = false, collisionRuns = false, noScreenFrames = false;
    bool gatesStand = false;
    size_t liveLights = 0;
    int frames = 0;
  } play;
  game.script = [&](int frame, pi::ScriptedBackend& keys) {
    if (frame == 5) keys.SetKeys({pi::kKeyReturn});  // new game
    if (frame == 6) keys.ReleaseAllKeys();
    CGameStateLoading* loading = game.LoadingState();
    if (game.InLoading() && loading->IsReady()) {
      // What the last frame's requests did.
      if (++seen.loadingFrames == 2) {
        seen.keyboardShown = Enabled(game, "loading_keyboard") && Enabled(game, "combos_keyboard");
        seen.padHidden = !Enabled(game, "loading_pad") && !Enabled(game, "combos_pad");
        seen.lastRoll = game.TransformOf("loading_signal")->roll;
      }
      if (!loading->IsDone()) {
        seen.luaLockWhileLoading &= game.locks.IsInitialised(sys::kLockLua);
        seen.screenFramesWhileCreating &= bool(game.renderManager.onResourceCreated);
        if (seen.loadingFrames >= 2) seen.startHiddenWhileLoading &= !Enabled(game, "start_button");
        const float roll = game.TransformOf("loading_signal")->roll;
        if (seen.loadingFrames > 2 && roll != seen.lastRoll) ++seen.spinningFrames;
        seen.lastRoll = roll;
      } else if (game.confirmFrame < 0) {
        seen.doneShowsStart = Enabled(game, "start_button") && !Enabled(game, "loading_signal") &&
                              !Enabled(game, "loading_button");
        seen.luaLockAfter = game.locks.IsInitialised(sys::kLockLua);
      }
    }
    if (game.reachedPlay && ++play.frames == 4) {
      play.levelEnabled = Enabled(game, "collision_city_environment") &&
                          Enabled(game, "trigger_zone_avenue") && Enabled(game, "light_moon") &&
                          Enabled(game, "player_start") && Enabled(game, "line_casino_rail") &&
                          Enabled(game, "city_sky_dome");
      play.loadingSceneOff = !Enabled(game, "walker_1") && !Enabled(game, "loading_keyboard");
      play.loadingLightGone = game.Find("light_loading_scene") == nullptr;
      obj::CGameObject* camera = game.Find("main_camera");
      play.viewsThroughMainCamera =
          camera && game.renderManager.viewCamera.pending == camera->GetComponent<cam::CCamera>();
      play.collisionRuns = !game.collisionManager.IsPaused();
      play.noScreenFrames = !game.renderManager.onResourceCreated;
      play.liveLights = game.lightManager.LiveCount();
      const CGatingParticlesManager& gates = game.gameWorld.gatingParticles;
      play.gatesStand = gates.avenue && gates.backstreet && gates.avenue->IsActive() &&
                        gates.backstreet->IsActive() && gates.avenue->alpha > 0.0f &&
                        gates.backstreet->alpha > 0.0f;
      game.quitRequested = 1;
    }
  };
  RunGame(game);

  EXPECT_TRUE(seen.keyboardShown);
  EXPECT_TRUE(seen.padHidden) << "no pad: its images stay hidden";
  EXPECT_TRUE(seen.luaLockWhileLoading) << "both threads call into Lua while the loader lives";
  EXPECT_TRUE(seen.startHiddenWhileLoading);
  EXPECT_GE(seen.spinningFrames, seen.loadingFrames / 2) << "the signal spins while loading";
  EXPECT_GT(seen.loadingFrames, 10) << "the loader waits before it starts";
  EXPECT_TRUE(seen.doneShowsStart);
  EXPECT_FALSE(seen.luaLockAfter) << "the lock ends with the loader";
  EXPECT_TRUE(seen.screenFramesWhileCreating) << "the commits draw the screen between resources";

  ASSERT_TRUE(game.reachedPlay);
  EXPECT_TRUE(play.levelEnabled);
  EXPECT_TRUE(play.loadingSceneOff);
  EXPECT_TRUE(play.loadingLightGone);
  EXPECT_TRUE(play.viewsThroughMainCamera);
  EXPECT_TRUE(play.collisionRuns) << "the level script resumes the collision world";
  EXPECT_TRUE(play.noScreenFrames) << "no loading-screen frame drawn over the level";
  EXPECT_GT(play.liveLights, 5u) << "the loader's lights reached the render side";
  EXPECT_TRUE(play.gatesStand) << "both walls are found and stand when play begins";
  // Every file of the level is there, and so are the walls the gate script fades.
  EXPECT_NE(log.find("Init game"), std::string::npos) << "the log is read";
  EXPECT_EQ(log.find("Data/xml/level1_"), std::string::npos) << log;
  EXPECT_EQ(log.find("Gating particles"), std::string::npos) << log;
  // Files the loader read hold their groups; those still to come are absent.
  for (EWorldGroup g : {kGroupLevelCommon, kGroupLevelScene, kGroupLevelTriggers,
                        kGroupLevelCollision, kGroupLevelLights, kGroupHUD, kGroupLevelTrackers,
                        kGroupLevelLines, kGroupLinesDiagonal, kGroupLinesCasino})
    EXPECT_GT(game.gameWorld.groups[g], 0) << g;
  std::vector<int> enemies;
  game.objectManager.GetGroupObjectIds(game.gameWorld.groups[kGroupCharactersBar], enemies);
  EXPECT_TRUE(enemies.empty()) << "no enemy in the bar yet";
  EXPECT_TRUE(messages.Requests().empty());
}

// Return pressed and released while the loader still runs does nothing: only a press
// once the start button shows starts play.
TEST_F(LevelLoadingTest, AKeyPressedWhileTheLoaderRunsIsIgnored) {
  CDrivenGame game(input.backend);
  game.loaderDelayMs = 300;
  game.autoConfirm = false;
  int pressedWhileRunning = 0;
  int doneFrame = -1;
  bool stayed = false;
  game.script = [&](int frame, pi::ScriptedBackend& keys) {
    if (frame == 5) keys.SetKeys({pi::kKeyReturn});
    if (frame == 6) keys.ReleaseAllKeys();
    if (!game.InLoading()) return;
    CGameStateLoading* loading = game.LoadingState();
    if (!loading->IsDone()) {
      // Every other frame a fresh press, Esc among them.
      if (loading->IsLoaderRunning() && frame % 2 == 0) {
        keys.SetKeys({pi::kKeyReturn, pi::kKeyEscape});
        ++pressedWhileRunning;
      } else {
        keys.ReleaseAllKeys();
      }
      return;
    }
    if (doneFrame < 0) {
      doneFrame = frame;
      keys.ReleaseAllKeys();
    }
    if (frame == doneFrame + 10) {
      stayed = true;
      game.autoConfirm = true;
    }
  };
  game.script = [&, inner = game.script](int frame, pi::ScriptedBackend& keys) {
    inner(frame, keys);
    if (game.reachedPlay) game.quitRequested = 1;
  };
  RunGame(game);
  EXPECT_GT(pressedWhileRunning, 3);
  EXPECT_TRUE(stayed) << "still loading ten frames after the loader ended";
  EXPECT_TRUE(game.reachedPlay) << "a press after the button showed started play";
  EXPECT_GT(game.playFrame, doneFrame + 10);
}

// Leaving the state while the loader runs (the game shut down from the loading
// screen) blocks until the thread has ended; what it loaded joins the game
// rather than staying on the loader's side.
TEST_F(LevelLoadingTest, LeavingTheLoadingStateEarlyWaitsForTheLoader) {
  CDrivenGame game(input.backend);
  game.loaderDelayMs = 200;
  game.autoConfirm = false;
  bool wasRunning = false, endedOnExit = false, niceWhileRunning = false, merged = false;
  game.script = [&](int frame, pi::ScriptedBackend& keys) {
    if (frame == 5) keys.SetKeys({pi::kKeyReturn});
    if (frame == 6) keys.ReleaseAllKeys();
    CGameStateLoading* loading = game.LoadingState();
    if (!game.InLoading() || !loading->IsReady() || !loading->IsLoaderRunning()) return;
    wasRunning = true;
    // The thread takes its nice value when it begins to run.
    for (int i = 0; i < 100 && !niceWhileRunning; ++i) {
      niceWhileRunning = loading->Loader().GetNice() == CGameStateLoading::kLoaderNice;
      if (!niceWhileRunning) plat::Sleep(1);
    }
    loading->Exit();
    endedOnExit = !loading->IsLoaderRunning() && !loading->Loader().Started();
    merged = !game.objectManager.IsBackgroundLoading() &&
             !game.renderManager.IsBackgroundLoading() &&
             game.Find("collision_city_environment") != nullptr &&
             !game.locks.IsInitialised(sys::kLockLua);
    game.quitRequested = 1;
  };
  RunGame(game);
  ASSERT_TRUE(wasRunning);
  EXPECT_TRUE(niceWhileRunning) << "the loader runs below the frame's threads";
  EXPECT_TRUE(endedOnExit);
  EXPECT_TRUE(merged);
}

// The player stands behind the loading screen: the attack and the run keys do
// nothing there; the same keys move him once play begins.
TEST_F(LevelLoadingTest, ThePlayerObeysKeysOnlyOncePlayBegins) {
  CDrivenGame game(input.backend);
  game.loaderDelayMs = 300;
  std::set<int> statesWhileLoading;
  plat::Vec3 startPosition;
  bool positionKnown = false, movedWhileLoading = false;
  int pressesWhileLoading = 0, runFramesInPlay = 0, playFrames = 0;
  game.script = [&](int frame, pi::ScriptedBackend& keys) {
    if (frame == 5) keys.SetKeys({pi::kKeyReturn});
    if (frame == 6) keys.ReleaseAllKeys();
    obj::CGameObject* player = game.Find("player");
    CPlayerController* controller = player ? player->GetComponent<CPlayerController>() : nullptr;
    gfx::CTransform* transform = game.TransformOf("player");
    if (game.InLoading() && game.LoadingState()->IsLoaderRunning() && controller && transform) {
      if (!positionKnown) startPosition = transform->position;
      positionKnown = true;
      movedWhileLoading |= plat::Length(transform->position - startPosition) > 0.01f;
      statesWhileLoading.insert(controller->state);
      // J and W pressed afresh every other frame, W held between.
      if (frame % 2 == 0) {
        keys.SetKeys({pi::kKeyJ, pi::kKeyW});
        ++pressesWhileLoading;
      } else {
        keys.SetKeys({pi::kKeyW});
      }
      return;
    }
    if (game.InLoading()) {
      if (game.confirmFrame < 0) keys.ReleaseAllKeys();
      return;
    }
    if (!game.reachedPlay || !controller) return;
    ++playFrames;
    if (playFrames == 3) keys.SetKeys({pi::kKeyW});
    if (controller->state == CPlayerController::kRun) ++runFramesInPlay;
    if (playFrames == 40) game.quitRequested = 1;
  };
  RunGame(game);
  ASSERT_GT(pressesWhileLoading, 3);
  EXPECT_FALSE(movedWhileLoading);
  for (int state : statesWhileLoading)
    EXPECT_TRUE(state == CPlayerController::kIdle || state == CPlayerController::kIdleCombat)
        << CPlayerController::GetStateName(state);
  EXPECT_GT(runFramesInPlay, 0) << "W runs once play has begun";
}

// The loader builds the level beside a main thread that dispatches events, moves
// collision volumes and aims the player: it leaves the listeners, the collision
// world and the player's list of enemies alone. The triggers it built join the
// world and hear their collisions once play is handed over.
TEST_F(LevelLoadingTest, TheLoaderLeavesTheMainThreadsStructuresAlone) {
  CDrivenGame game(input.backend);
  game.loaderDelayMs = 100;
  struct SShared {
    size_t enterListeners = 0, exitListeners = 0;
    int worldObjects = 0;
    const IEnemyList* enemies = nullptr;
    bool operator==(const SShared& o) const {
      return enterListeners == o.enterListeners && exitListeners == o.exitListeners &&
             worldObjects == o.worldObjects && enemies == o.enemies;
    }
  };
  auto shared = [&] {
    return SShared{game.eventManager.ListenerCount(SH_OnCollisionEnter),
                   game.eventManager.ListenerCount(SH_OnCollisionExit),
                   game.collisionManager.GetWorld()->getNumCollisionObjects(), GetEnemyList()};
  };
  SShared before;
  bool known = false, unchanged = true, triggerJoined = false, aimsThroughLevel = false;
  int framesWatched = 0;
  size_t enterListenersInPlay = 0;
  game.script = [&](int frame, pi::ScriptedBackend& keys) {
    if (frame == 5) keys.SetKeys({pi::kKeyReturn});
    if (frame == 6) keys.ReleaseAllKeys();
    if (game.InLoading() && game.LoadingState()->IsReady()) {
      if (!known) {
        before = shared();
        known = true;
      } else if (game.LoadingState()->IsLoaderRunning() || !game.LoadingState()->IsDone()) {
        unchanged &= shared() == before;
        ++framesWatched;
      }
    }
    if (game.reachedPlay) {
      obj::CGameObject* zone = game.Find("trigger_zone_avenue");
      lgc::CTrigger* trigger = zone ? zone->GetComponent<lgc::CTrigger>() : nullptr;
      triggerJoined = trigger && trigger->GetCollisionObject() &&
                      trigger->GetCollisionObject()->getBroadphaseHandle() != nullptr;
      enterListenersInPlay = game.eventManager.ListenerCount(SH_OnCollisionEnter);
      aimsThroughLevel = GetEnemyList() == &game.gameWorld.aiManager;
      game.quitRequested = 1;
    }
  };
  RunGame(game);
  ASSERT_TRUE(game.reachedPlay);
  EXPECT_GT(framesWatched, 5);
  EXPECT_TRUE(unchanged) << "the loader changed what the main thread reads";
  EXPECT_TRUE(triggerJoined);
  EXPECT_GT(enterListenersInPlay, before.enterListeners) << "the triggers' owners hear collisions";
  EXPECT_TRUE(aimsThroughLevel);
}

// --- both threads in Lua ---

// Called from Lua by either thread: notes who called, and whether another thread was
// inside at the same time (it stays a while, to give an unguarded caller the chance).
struct SNotes {
  std::mutex mutex;
  std::set<std::string> labels;
  std::set<std::thread::id> threads;
  std::atomic<int> inside{0};
  std::atomic<bool> overlap{false};
  std::atomic<int> count{0};
};
SNotes* g_notes = nullptr;

int Note(lua_State* state) {
  if (!g_notes) return 0;
  if (g_notes->inside.fetch_add(1) != 0) g_notes->overlap = true;
  const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(300);
  while (std::chrono::steady_clock::now() < until) {
  }
  {
    std::lock_guard<std::mutex> lock(g_notes->mutex);
    g_notes->labels.insert(lua_tostring(state, 1) ? lua_tostring(state, 1) : "");
    g_notes->threads.insert(std::this_thread::get_id());
  }
  ++g_notes->count;
  g_notes->inside.fetch_sub(1);
  return 0;
}

void RegisterNote(lua_State* state) { lua_register(state, "Note", &Note); }

// A copy of the game's data whose level has one object that notes from its script
// while the loader creates it, and whose level scripts note on every "OnSequence".
class CScratchData {
public:
  CScratchData() {
    namespace fs = std::filesystem;
    root = fs::temp_directory_path() / ("hm_lua_" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "Data");
    const fs::path data = fs::current_path() / "Data";
    for (const auto& entry : fs::directory_iterator(data)) {
      const std::string name = entry.path().filename().string();
      if (name == "xml" || name == "scripts")
        fs::copy(entry.path(), root / "Data" / name, fs::copy_options::recursive);
      else
        fs::create_directory_symlink(entry.path(), root / "Data" / name);
    }
    Append(root / "Data/xml/level1_common_instances.xml",
           "<GameObject name=\"lua_printer\" GameObjectTemplate=\"city_marker\">\n"
           "  <Script file=\"Data/scripts/loader_notes.lua\"/>\n</GameObject>\n");
    Append(root / "Data/scripts/loader_notes.lua", "for i = 1, 60 do Note('loader') end\n");
    Append(root / "Data/scripts/main_notes.lua", "function OnSequence(event) Note('main') end\n");
    std::string list;
    {
      std::ifstream in(root / "Data/xml/scripts.xml");
      list.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    list.replace(list.find("</scripts>"), 10, "  <script file=\"main_notes.lua\"/>\n</scripts>");
    std::ofstream(root / "Data/xml/scripts.xml", std::ios::trunc) << list;
    previous = fs::current_path();
    fs::current_path(root);
  }
  ~CScratchData() {
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(root);
  }
  static void Append(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::app) << text;
  }
  std::filesystem::path root, previous;
};

TEST_F(LevelLoadingTest, ScriptsRunFromBothThreadsOneAtATimeWhileTheLoaderLives) {
  SNotes notes;
  g_notes = &notes;
  {
    CScratchData data;
    CDrivenGame game(input.backend);
    game.loaderDelayMs = 50;
    game.scriptManager.AddBindingRegistrar(&RegisterNote);
    int mainNotesWhileLoading = 0;
    game.script = [&](int frame, pi::ScriptedBackend& keys) {
      if (frame == 5) keys.SetKeys({pi::kKeyReturn});
      if (frame == 6) keys.ReleaseAllKeys();
      CGameStateLoading* loading = game.LoadingState();
      // Each frame's dispatch calls the level script on the main thread.
      if (game.InLoading() && loading->IsLoaderRunning()) {
        game.eventManager.PostEvent(evn::CEventSequence::New());
        ++mainNotesWhileLoading;
      }
      if (game.reachedPlay) game.quitRequested = 1;
    };
    RunGame(game);
    EXPECT_GT(mainNotesWhileLoading, 2);
    EXPECT_TRUE(game.reachedPlay);
  }
  g_notes = nullptr;
  EXPECT_EQ(notes.labels, (std::set<std::string>{"loader", "main"}));
  EXPECT_EQ(notes.threads.size(), 2u);
  EXPECT_GE(notes.count.load(), 62);
  EXPECT_FALSE(notes.overlap) << "two threads were inside Lua at once";
}

// --- the graphics preset ---

TEST(GraphicsPreset, EveryShadowsQualitySetsItsSwitches) {
  gfx::CRenderManager render;
  CGameOptions options;
  const struct {
    int quality;
    bool shadows, refine1, refine2, lowQuality;
    int32_t size;  // 0: unchanged
  } table[] = {{0, false, false, false, false, 0}, {1, true, false, false, true, 0},
               {2, true, true, false, true, 0},    {3, true, true, false, false, 0},
               {4, true, true, true, false, 256},  {5, true, true, true, false, 500}};
  for (const auto& row : table) {
    SCOPED_TRACE(row.quality);
    render.screenShadowSize.Set(1024);
    options.shadowsQuality = row.quality;
    options.ssao = row.quality % 2;
    options.glow = row.quality % 3 == 0;
    options.depthOfField = row.quality > 2;
    options.bloodDecals = row.quality < 4;
    ApplyGraphicsPreset(render, options);
    EXPECT_EQ(render.shadows.pending, row.shadows);
    EXPECT_EQ(render.pcf.pending, row.refine1);
    EXPECT_EQ(render.screenShadows.pending, row.refine2);
    EXPECT_EQ(render.halfResolutionShadows.pending, row.lowQuality);
    EXPECT_EQ(render.screenShadowSize.pending, row.size ? row.size : 1024);
    // Always on, always off, and the player's own switches.
    EXPECT_TRUE(render.depthMap.pending);
    EXPECT_TRUE(render.shadowParameters.pending);
    EXPECT_TRUE(render.sunShadows.pending);
    EXPECT_TRUE(render.filmLookExtras.pending);
    EXPECT_FALSE(render.finalBlur.pending);
    EXPECT_EQ(render.ssao.pending, options.ssao != 0);
    EXPECT_EQ(render.glow.pending, options.glow != 0);
    EXPECT_EQ(render.depthOfField.pending, options.depthOfField != 0);
    EXPECT_EQ(render.decals.pending, options.bloodDecals != 0);
  }
  // A number no page gives leaves the shadow switches as quality 4 set them.
  render.screenShadowSize.Set(256);
  options.shadowsQuality = 4;
  ApplyGraphicsPreset(render, options);
  options.shadowsQuality = 9;
  options.ssao = 0;
  ApplyGraphicsPreset(render, options);
  EXPECT_TRUE(render.shadows.pending);
  EXPECT_TRUE(render.screenShadows.pending);
  EXPECT_FALSE(render.halfResolutionShadows.pending);
  EXPECT_EQ(render.screenShadowSize.pending, 256);
  EXPECT_FALSE(render.ssao.pending) << "the other switches still follow the options";
}

// --- the in-game state ---

class InGameTest : public ::testing::Test {
protected:
  void SetUp() override {
    evn::InitGameEventTypes();
    app.StartGame();
    app.currentState = app.states[kStateInGame];
    ASSERT_TRUE(app.currentState->Enter(&app, &app.gameOptions, &app.gameWorld, &app.frontEndData));
  }
  void Press(int slot, bool before = false) {
    for (SInputAction& a : app.inputManager.actions) a = SInputAction();
    if (slot >= 0) {
      app.inputManager.actions[slot].down = 1;
      app.inputManager.actions[slot].wasDown = before ? 1 : 0;
    }
  }
  CVandrel app;
};

TEST_F(InGameTest, OnEndGameInTheFrameOfAPausePressLeadsToTheCredits) {
  app.eventManager.PostEvent(evn::CEventEndGame::New());
  app.eventManager.Update(0.016f);  // the frame's dispatch, before the states run
  Press(CInputManager::Pause);
  app.UpdateStates(0.016f);
  EXPECT_EQ(app.currentState, app.states[kStateFinalCredits]);
  EXPECT_EQ(app.eventManager.ListenerCount("OnEndGame"), 0u) << "play stopped listening";
}

TEST_F(InGameTest, OnlyThePressEdgeOfPausePausesAndReenteringListensOnce) {
  Press(CInputManager::Pause, true);  // held since the last frame
  app.UpdateStates(0.016f);
  EXPECT_EQ(app.currentState, app.states[kStateInGame]);
  Press(CInputManager::Pause);
  app.UpdateStates(0.016f);
  Press(-1);
  app.UpdateStates(0.016f);
  ASSERT_EQ(app.currentState, app.states[kStatePause]);
  Press(CInputManager::Pause);
  app.UpdateStates(0.016f);
  Press(-1);
  app.UpdateStates(0.016f);
  ASSERT_EQ(app.currentState, app.states[kStateInGame]);
  EXPECT_EQ(app.eventManager.ListenerCount("OnEndGame"), 1u);
  // Play steps the game's managers.
  app.gameWorld.aiManager.Init();
  const float before = app.gameWorld.aiManager.GetClock();
  app.UpdateStates(0.5f);
  EXPECT_FLOAT_EQ(app.gameWorld.aiManager.GetClock(), before + 0.5f);
}

}  // namespace
}  // namespace vd
