// The pause menu over a frozen game: what entering it stops and every way of
// resuming gives back, and the way out to the main menu.
#include "game/flow/menu/PauseState.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/events/EventManager.h"
#include "engine/input/InputManager.h"
#include "engine/render/RenderManager.h"
#include "game/player/PlayerController.h"
#include "tests/game/flow/ScreenFixture.h"

namespace vd {
namespace {

class CGroupRecorder : public IGameServices {
public:
  void PauseObjectGroup(int g) override { calls.emplace_back('P', g); }
  void ResumeObjectGroup(int g) override { calls.emplace_back('R', g); }
  void RestartObjectGroup(int g) override { calls.emplace_back('S', g); }
  void EnableObjectGroup(int g) override { calls.emplace_back('E', g); }
  void DisableObjectGroup(int g) override { calls.emplace_back('D', g); }
  void DestroyObjectGroup(int g) override { calls.emplace_back('X', g); }
  void SetCurrentZone(int zone) override { calls.emplace_back('Z', zone); }
  void ResetRenderForFrontEnd() override { calls.emplace_back('F', 0); }
  int Count(char op) const {
    int n = 0;
    for (const auto& c : calls) n += c.first == op;
    return n;
  }
  std::vector<std::pair<char, int>> calls;
};

// What a pause may touch, as play had it.
struct SGameValues {
  bool timersPaused, decalsPaused, blur, soundPlaying, songPlaying, screenEnabled;
  int playerState;
  bool operator==(const SGameValues& o) const {
    return timersPaused == o.timersPaused && decalsPaused == o.decalsPaused && blur == o.blur &&
           soundPlaying == o.soundPlaying && songPlaying == o.songPlaying &&
           screenEnabled == o.screenEnabled && playerState == o.playerState;
  }
};
std::ostream& operator<<(std::ostream& out, const SGameValues& v) {
  return out << "timers " << v.timersPaused << " decals " << v.decalsPaused << " blur " << v.blur
             << " sound " << v.soundPlaying << " song " << v.songPlaying << " screen "
             << v.screenEnabled << " player " << v.playerState;
}

class PauseStateTest : public test::ScreenFixture {
protected:
  void SetUp() override {
    ScreenFixture::SetUp();
    screenFile = std::make_unique<test::CScreenFile>(
        "pause_test_instances.xml",
        "<GameObject name=\"pause_background\" GameObjectTemplate=\"final_credits_element\"/>");
    ASSERT_GE(LoadInstanceGroup(app.objectManager, screenFile->Path(), nullptr, false), 0);
    app.services = &groups;
    for (int i = 0; i < kWorldGroupCount; ++i) app.gameWorld.groups[i] = 100 + i;
    app.frontEndData.menuGroup = 77;
    app.gameWorld.player = &player;
  }
  void TearDown() override {
    app.frontEndData.menuGroup = -1;
    ScreenFixture::TearDown();
  }
  SGameValues Values() {
    return {app.eventManager.AreTimersPaused(),
            app.decalManager.IsPaused(),
            app.renderManager.finalBlur.pending,
            app.audioManager.Audio().IsActive(sound) == plat::audio::kPlaying,
            Playing("main_menu_01"),
            Enabled("pause_background"),
            player.state};
  }
  // A press this frame (down now, up in the last).
  void Key(IGameState& state, int slot) {
    Press(slot);
    Frame(state, 0.016f);
    Press(-1);
    Frame(state, 0.016f);
  }

  std::unique_ptr<test::CScreenFile> screenFile;
  CGroupRecorder groups;
  CPlayerController player;
  sfx::ChannelHandle sound = 0;
};

TEST_F(PauseStateTest, EveryWayOfResumingGivesBackWhatThePauseStopped) {
  // Which keys lead from the main page to where the pause key or accept resumes.
  const struct {
    const char* name;
    std::vector<int> keys;
    bool blurBefore;
    int playerBefore, playerAfter;
  } cases[] = {
      {"pause key at once", {CInputManager::Pause}, false, CPlayerController::kIdle,
       CPlayerController::kIdle},
      {"accept on resume", {CInputManager::MenuEnter}, false, CPlayerController::kRun,
       CPlayerController::kIdleCombat},
      {"pause key on the go-to-menu question",
       {CInputManager::MenuDown, CInputManager::MenuDown, CInputManager::MenuEnter, CInputManager::Pause},
       false, CPlayerController::kIdle, CPlayerController::kIdle},
      {"pause key on the quit question",
       {CInputManager::MenuUp, CInputManager::MenuEnter, CInputManager::MenuUp, CInputManager::Pause},
       false, CPlayerController::kIdle, CPlayerController::kIdle},
      {"no to the quit question, then resume",
       {CInputManager::MenuUp, CInputManager::MenuEnter, CInputManager::MenuEnter,
        CInputManager::MenuDown, CInputManager::MenuEnter},
       false, CPlayerController::kIdle, CPlayerController::kIdle},
      {"blur already on before the pause", {CInputManager::Pause}, true, CPlayerController::kIdle,
       CPlayerController::kIdle},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    groups.calls.clear();
    app.audioManager.StopAllSounds();
    app.audioManager.StopAllMusic();
    sound = app.audioManager.PlaySound("menu_click_01", true);
    app.audioManager.PlaySong("main_menu_01", true);
    app.renderManager.finalBlur.Set(c.blurBefore);
    player.state = c.playerBefore;
    app.objectManager.ApplyQueuedRequests();
    SGameValues before = Values();
    before.playerState = c.playerAfter;

    CGameStatePause pause;
    Enter(pause);
    Frame(pause, 0.016f);
    const SGameValues during = Values();
    EXPECT_TRUE(during.timersPaused);
    EXPECT_TRUE(during.decalsPaused);
    EXPECT_NE(during.blur, before.blur) << "the scene behind is blurred";
    EXPECT_FALSE(during.soundPlaying);
    EXPECT_FALSE(during.songPlaying);
    EXPECT_TRUE(during.screenEnabled);
    EXPECT_EQ(groups.Count('P'), 20);
    EXPECT_EQ(pause.GetSelected(), CStringHash("menu_button_resumegame"));

    for (size_t k = 0; k < c.keys.size() && pause.running; ++k) Key(pause, c.keys[k]);
    app.objectManager.ApplyQueuedRequests();
    EXPECT_EQ(pause.running, 0);
    EXPECT_EQ(pause.next, kStateInGame);
    EXPECT_EQ(Values(), before);
    EXPECT_EQ(groups.Count('R'), 20);
    EXPECT_EQ(groups.calls.back(), std::make_pair('R', 100 + kGroupCharactersCasino));
    EXPECT_EQ(std::count(groups.calls.begin(), groups.calls.end(), std::make_pair('D', 77)), 1)
        << "the menu's elements go";
    pause.Exit();
  }
}

TEST_F(PauseStateTest, TheMainPageRingWrapsAndTheQuestionsAnswerNoByDefault) {
  CGameStatePause pause;
  Enter(pause);
  Key(pause, CInputManager::MenuUp);
  EXPECT_EQ(pause.GetSelected(), CStringHash("menu_button_exitpause"));
  Key(pause, CInputManager::MenuDown);
  EXPECT_EQ(pause.GetSelected(), CStringHash("menu_button_resumegame"));
  Key(pause, CInputManager::MoveBack);  // S steps down too
  Key(pause, CInputManager::MenuDown);
  EXPECT_EQ(pause.GetSelected(), CStringHash("menu_button_gotomainmenu"));
  Key(pause, CInputManager::MenuEnter);
  EXPECT_EQ(pause.GetPausePage(), CGameStatePause::kPauseGoToMainMenu);
  EXPECT_EQ(pause.GetSelected(), CStringHash("exit_no"));
  // Back: the question goes, the main page returns where it was left.
  Key(pause, CInputManager::MenuBack);
  EXPECT_EQ(pause.GetPausePage(), CGameStatePause::kPauseMain);
  EXPECT_EQ(pause.GetSelected(), CStringHash("menu_button_gotomainmenu"));
  EXPECT_EQ(pause.running, 1);
  EXPECT_TRUE(Enabled("pause_background"));
}

TEST_F(PauseStateTest, GoingToTheMainMenuLeavesTheLevelThroughExitToMainMenu) {
  app.audioManager.PlaySong("loading_loop", true);
  app.eventManager.AddTimerEvent("wake", 5.0f, nullptr, "", 0);
  CGameStatePause pause;
  Enter(pause);
  for (int key : {CInputManager::MenuDown, CInputManager::MenuDown, CInputManager::MenuEnter,
                  CInputManager::MenuUp})
    Key(pause, key);
  EXPECT_EQ(pause.GetSelected(), CStringHash("exit_yes"));
  EXPECT_EQ(groups.Count('F'), 0);
  Key(pause, CInputManager::MenuEnter);
  EXPECT_EQ(pause.running, 0);
  EXPECT_EQ(pause.next, kStateMenu);
  EXPECT_EQ(groups.Count('F'), 1) << "the level's render settings go";
  EXPECT_EQ(groups.Count('X'), 20) << "every level group";
  EXPECT_FALSE(app.renderManager.finalBlur.pending);
  EXPECT_FALSE(app.eventManager.AreTimersPaused());
  EXPECT_EQ(app.eventManager.TimerCount(), 0u);
  EXPECT_FALSE(Playing("loading_loop"));
  EXPECT_EQ(app.gameWorld.player, nullptr);
  app.objectManager.ApplyQueuedRequests();
  EXPECT_FALSE(Enabled("pause_background"));
}

// The resolution the graphics page starts from is one of the device's: the screen's
// own when the device lists it, else the first.
TEST_F(PauseStateTest, TheResolutionCursorStaysInsideTheDevicesList) {
  app.graphicsManager.resolutions = {{800, 600}, {1024, 768}, {1280, 720}};
  const struct {
    int width, height;
    size_t cursor;
  } cases[] = {{1024, 768, 1}, {1280, 720, 2}, {1000, 700, 0}};
  for (const auto& c : cases) {
    app.screenWidth = c.width;
    app.screenHeight = c.height;
    CGameStatePause pause;
    Enter(pause);
    EXPECT_EQ(pause.GetResolutions().size(), 3u);
    EXPECT_EQ(pause.GetResolutionCursor(), c.cursor) << c.width << "x" << c.height;
  }
  app.graphicsManager.resolutions.clear();
  CGameStatePause pause;
  Enter(pause);
  EXPECT_TRUE(pause.GetResolutions().empty());
  EXPECT_EQ(pause.GetResolutionCursor(), 0u);
}

}  // namespace
}  // namespace vd
