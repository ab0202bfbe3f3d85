// The game application over the real start-up, render thread and frame loop,
// headless, driven by scripted keys.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "engine/app/Entry.h"
#include "game/flow/Vandrel.h"
#include "platform/input/KeyCodes.h"
#include "platform/input/ScriptedInput.h"
#include "platform/window/MessageBox.h"
#include "platform/window/Window.h"
#include "tests/support/DrivenGame.h"

namespace vd {
namespace {

namespace pi = plat::input;

using test::CDrivenGame;

class VandrelTest : public test::DrivenGameTest {};

void RunGame(CVandrel& game) {
  ASSERT_TRUE(game.Init(nullptr, 1));
  game.StartGame();
  game.MainLoop();
  game.EndGame();
  game.Shutdown();
}

TEST_F(VandrelTest, TheQuitKeyEndsTheGameFromPlay) {
  CDrivenGame game(input.backend);
  game.script = [&game](int frame, pi::ScriptedBackend& keys) {
    if (frame == 5) keys.SetKeys({pi::kKeyReturn});  // new game from the menu
    if (frame == 6) keys.ReleaseAllKeys();
    if (game.reachedPlay && frame == game.playFrame + 5)
      keys.SetKeys({pi::kKeyLeftAlt, pi::kKeyF4});
  };
  RunGame(game);
  EXPECT_TRUE(game.reachedPlay);
  EXPECT_GE(game.frames, game.playFrame + 5);
  EXPECT_LT(game.frames, 2000) << "ended by the quit key";
  EXPECT_EQ(game.running, 0);
  EXPECT_FALSE(game.renderThread.Started());
  EXPECT_TRUE(messages.Requests().empty());
  EXPECT_STREQ(game.name, "Hollowmere");
}

TEST_F(VandrelTest, TheMenuSongPlaysUntilANewGameBegins) {
  CDrivenGame game(input.backend);
  auto songState = [&game](const char* name) {
    const sfx::SSoundEntry* song = game.audioManager.FindSound(name);
    return song ? game.audioManager.Audio().IsActive(song->handle) : -1;
  };
  int inMenu = -1, inPlay = -1;
  game.script = [&](int frame, pi::ScriptedBackend& keys) {
    if (frame == 5) {
      inMenu = songState("main_menu_01");
      keys.SetKeys({pi::kKeyReturn});  // new game
    }
    if (frame == 6) keys.ReleaseAllKeys();
    if (game.reachedPlay && inPlay < 0) {
      inPlay = songState("main_menu_01");
      game.quitRequested = 1;
    }
  };
  RunGame(game);
  EXPECT_EQ(inMenu, plat::audio::kPlaying);
  EXPECT_EQ(inPlay, plat::audio::kStopped);
}

TEST_F(VandrelTest, LevelScriptsReachTheGamesComponentClasses) {
  CDrivenGame game(input.backend);
  bool found = false;
  game.script = [&](int frame, pi::ScriptedBackend&) {
    if (frame == 2) {
      game.scriptManager.RunString(
          "component_classes = (CAnimator ~= nil and CCharacterCollider ~= nil) and 1 or 0",
          "test");
      found = game.scriptManager.GetGlobalInt("component_classes") == 1;
      game.quitRequested = 1;
    }
  };
  RunGame(game);
  EXPECT_TRUE(found);
}

TEST_F(VandrelTest, ClosingTheWindowEndsTheGame) {
  CDrivenGame game(input.backend);
  game.script = [](int frame, pi::ScriptedBackend&) {
    if (frame == 3) plat::PostQuit(0);  // what the window's close button sends
  };
  RunGame(game);
  EXPECT_LT(game.frames, 2000);
  EXPECT_EQ(game.quitRequested, 0) << "the quit message alone ended the loop";
  EXPECT_EQ(game.running, 0);
}

// The quit key also posts a quit message, which the render loop does not take when
// it ends on the quit flag first; a second game in the same process must still run.
TEST_F(VandrelTest, AQuitByKeyDoesNotEndTheNextStartUp) {
  {
    CDrivenGame first(input.backend);
    first.script = [](int frame, pi::ScriptedBackend& keys) {
      if (frame == 4) keys.SetKeys({pi::kKeyLeftAlt, pi::kKeyF4});
    };
    RunGame(first);
    ASSERT_LT(first.frames, 2000);
  }
  EXPECT_FALSE(plat::QuitPending());
  input.backend.ReleaseAllKeys();
  CDrivenGame second(input.backend);
  second.script = [&second](int frame, pi::ScriptedBackend&) {
    if (frame == 10) second.quitRequested = 1;
  };
  RunGame(second);
  EXPECT_EQ(second.frames, 10);
}

// The whole program through its entry, quitting in the menu.
TEST_F(VandrelTest, TheProgramRunsAndQuitsFromTheMenu) {
  static pi::ScriptedBackend* keys = &input.backend;
  static int frames = 0;
  frames = 0;
  struct CQuitting : CVandrel {
    bool Update(float dt) override {
      if (++frames == 4) keys->SetKeys({pi::kKeyLeftAlt, pi::kKeyF4});
      if (frames > 2000) quitRequested = 1;
      return CVandrel::Update(dt);
    }
  };
  EXPECT_EQ(sys::RunApplication([]() -> sys::CApplicationBase* { return new CQuitting(); }), 0);
  EXPECT_GE(frames, 4);
  EXPECT_LT(frames, 2000);
}

}  // namespace
}  // namespace vd
