// The whole game, headless: play, the pause menu's way back to the main menu, and a
// second new game that must find the game as the first one did.
#include <gtest/gtest.h>

#include <string>

#include "engine/events/EventManager.h"
#include "engine/render/decals/DecalManager.h"
#include "game/flow/menu/PauseState.h"
#include "tests/support/DrivenGame.h"

namespace vd {
namespace {

namespace pi = plat::input;
using test::CDrivenGame;

// What a level leaves in the engine's managers.
struct SCounts {
  size_t objects = 0;
  int particleSystems = 0;
  size_t channels = 0;
  size_t timers = 0;
  int decals = 0;
  std::string Text() const {
    return "objects " + std::to_string(objects) + ", particle systems " +
           std::to_string(particleSystems) + ", channels " + std::to_string(channels) +
           ", timers " + std::to_string(timers) + ", decals " + std::to_string(decals);
  }
};

SCounts Count(CDrivenGame& game) {
  SCounts c;
  c.objects = game.objectManager.GetObjectCount();
  c.particleSystems = game.particleManager.SystemCount();
  c.channels = game.audioManager.Channels().size();
  c.timers = game.eventManager.TimerCount();
  const gfx::CDecalManager& decals = game.decalManager;
  c.decals = static_cast<int>(decals.PendingAdds());
  for (int i = 0; i < decals.DecalsMax(); ++i) c.decals += decals.Slot(i).used;
  // Cleared outside play, where the render side takes no decals: every slot waits
  // for its removal at the next game's first commit.
  if (decals.PendingRemovals() >= static_cast<size_t>(decals.DecalsMax())) c.decals = 0;
  return c;
}

class PauseRoundTripGlTest : public test::DrivenGameTest {};

TEST_F(PauseRoundTripGlTest, TheMainMenuFromThePauseLeavesNothingAndASecondGamePlaysLikeTheFirst) {
  CDrivenGame game(input.backend, 8000);
  SCounts menu[2], play[2];
  int round = 0, inState = 0, lastState = -1;
  bool leftLevelAlive = false, pauseSeen = false, pauseShown = false, pauseBlurred = false;
  std::string walk;  // the states entered, with their frames
  // Keys one at a time: pressed on one frame, released on the next.
  std::vector<uint8_t> pending;
  int keyFrame = -100;

  game.script = [&](int frame, pi::ScriptedBackend& keys) {
    int state = -1;
    for (int i = 0; i < kGameStateCount; ++i)
      if (game.currentState == game.states[i]) state = i;
    inState = state == lastState ? inState + 1 : 0;
    if (state != lastState) walk += std::to_string(state) + "@" + std::to_string(frame) + " ";
    lastState = state;
    if (state == kStatePause) pauseSeen = true;
    // The pause page over the veil, as the player sees it once its requests took effect.
    if (state == kStatePause && inState == 2) {
      pauseShown = game.Find("pause_background") && game.Find("pause_background")->IsEnabled();
      for (const char* button : {"menu_button_resumegame", "menu_button_optionspause",
                                 "menu_button_gotomainmenu", "menu_button_exitpause"})
        pauseShown = pauseShown && game.Find(button) && game.Find(button)->IsEnabled();
      pauseBlurred = game.renderManager.finalBlur.pending;
    }
    if (frame == keyFrame + 1) keys.ReleaseAllKeys();
    if (frame > keyFrame + 3 && !pending.empty()) {
      keys.SetKeys({pending.front()});
      pending.erase(pending.begin());
      keyFrame = frame;
    }
    if (!pending.empty() || frame <= keyFrame + 3) return;

    if (state == kStateMenu && inState == 10) {
      menu[round] = Count(game);
      if (round == 1) leftLevelAlive = game.Find("player_start") != nullptr;
      pending = {pi::kKeyReturn};  // a new game
    }
    if (state == kStateInGame && inState == 30) {
      play[round] = Count(game);
      if (round == 1) {
        game.quitRequested = 1;
        return;
      }
      // What play leaves behind: blood on the street, a sound, a timer.
      game.decalManager.AddDecalAt(plat::Vec3(1, 0, 1), 0xFFC00000u, 1.0f, 0, 20.0f, 0.4f, 5.0f);
      game.audioManager.PlaySound("menu_click_03", true);
      game.eventManager.AddTimerEvent("wake", 30.0f, nullptr, "", 0);
      // Pause, then down twice to "go to main menu", accept, up to "yes", accept.
      pending = {pi::kKeyEscape, pi::kKeyDown, pi::kKeyDown, pi::kKeyReturn, pi::kKeyUp,
                 pi::kKeyReturn};
      round = 1;
    }
  };
  ASSERT_TRUE(game.Init(nullptr, 1));
  game.StartGame();
  game.MainLoop();
  game.EndGame();
  game.Shutdown();

  ASSERT_TRUE(pauseSeen) << walk;
  EXPECT_TRUE(pauseShown) << "the pause page's buttons and its veil";
  EXPECT_TRUE(pauseBlurred);
  ASSERT_EQ(round, 1) << "the first game was played";
  ASSERT_GT(play[1].objects, 0u) << "the second game reached play: " << walk;
  EXPECT_FALSE(leftLevelAlive) << "no level object is left at the menu";
  EXPECT_EQ(menu[1].objects, menu[0].objects) << menu[0].Text() << " / " << menu[1].Text();
  EXPECT_EQ(menu[1].decals, 0) << menu[1].Text();
  EXPECT_LE(menu[1].timers, menu[0].timers) << menu[1].Text();
  EXPECT_LE(menu[1].channels, menu[0].channels) << menu[1].Text();
  EXPECT_LE(menu[1].particleSystems, menu[0].particleSystems) << menu[1].Text();
  EXPECT_EQ(play[1].objects, play[0].objects) << play[0].Text() << " / " << play[1].Text();
  EXPECT_EQ(play[1].particleSystems, play[0].particleSystems);
  EXPECT_EQ(play[1].decals, play[0].decals);
  EXPECT_EQ(play[1].timers, play[0].timers);
  EXPECT_EQ(play[1].channels, play[0].channels);
}

}  // namespace
}  // namespace vd
