// The pause menu over a frozen game: what entering it stops and every way of
// resuming gives back, and the way out to the main menu.
#include "game/flow/menu/PauseState.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// Records the group operations; the menu's group is really switched off, as the game
// does it, so that what the pause showed can be seen gone.
class CGroupRecorder : public IGameServices {
public:
  void PauseObjectGroup(int g) override { calls.emplace_back('P', g); }
  void ResumeObjectGroup(int g) override { calls.emplace_back('R', g); }
  void RestartObjectGroup(int g) override { calls.emplace_back('S', g); }
  void EnableObjectGroup(int g) override { calls.emplace_back('E', g); }
  void DisableObjectGroup(int g) override {
    calls.emplace_back('D', g);
    if (objects && g == realGroup) objects->DisableObjectGroup(g);
  }
  void DestroyObjectGroup(int g) override { calls.emplace_back('X', g); }
  void SetCurrentZone(int zone) override { calls.emplace_back('Z', zone); }
  void ResetRenderForFrontEnd() override { calls.emplace_back('F', 0); }
  int Count(char op) const {
    int n = 0;
    for (const auto& c : calls) n += c.first == op;
    return n;
  }
  std::vector<std::pair<char, int>> calls;
  obj::CGameObjectManager* objects = nullptr;
  int realGroup = -1;
};

const char* const kPauseButtons[] = {"menu_button_resumegame", "menu_button_optionspause",
                                     "menu_button_gotomainmenu", "menu_button_exitpause"};

// What a pause may touch, as play had it.
struct SGameValues {
  bool timersPaused, decalsPaused, blur, soundPlaying, songPlaying, screenEnabled;
  int playerState;
  int menuShown;  // the menu's pictures on screen
  bool operator==(const SGameValues& o) const {
    return timersPaused == o.timersPaused && decalsPaused == o.decalsPaused && blur == o.blur &&
           soundPlaying == o.soundPlaying && songPlaying == o.songPlaying &&
           screenEnabled == o.screenEnabled && playerState == o.playerState &&
           menuShown == o.menuShown;
  }
};
std::ostream& operator<<(std::ostream& out, const SGameValues& v) {
  return out << "timers " << v.timersPaused << " decals " << v.decalsPaused << " blur " << v.blur
             << " sound " << v.soundPlaying << " song " << v.songPlaying << " screen "
             << v.screenEnabled << " player " << v.playerState << " menu " << v.menuShown;
}

// The shipped menu as a new game leaves it: its table read by the menu's entry, its
// pictures off with their group.
class PauseStateTest : public test::ScreenFixture {
protected:
  void SetUp() override {
    ScreenFixture::SetUp();
    const int menuGroup =
        LoadInstanceGroup(app.objectManager, "Data/xml/menu_main_instances.xml", nullptr, false);
    ASSERT_GE(menuGroup, 0);
    app.frontEndData.menuGroup = menuGroup;
    CGameStateMenu menu;
    Enter(menu);
    menu.Exit();
    app.objectManager.DisableObjectGroup(menuGroup);
    app.objectManager.ApplyQueuedRequests();
    groups.objects = &app.objectManager;
    groups.realGroup = menuGroup;
    app.services = &groups;
    for (int i = 0; i < kWorldGroupCount; ++i) app.gameWorld.groups[i] = 100 + i;
    app.gameWorld.player = &player;
  }
  void TearDown() override {
    app.frontEndData.menuGroup = -1;
    ScreenFixture::TearDown();
  }
  int MenuShown() {
    int shown = 0;
    for (const auto& entry : app.frontEndData.menuTable)
      shown += entry.second.object && entry.second.object->IsEnabled();
    return shown;
  }
  SGameValues Values() {
    return {app.eventManager.AreTimersPaused(),
            app.decalManager.IsPaused(),
            app.renderManager.finalBlur.pending,
            app.audioManager.Audio().IsActive(sound) == plat::audio::kPlaying,
            Playing("main_menu_01"),
            Enabled("pause_background"),
            player.state,
            MenuShown()};
  }
  // The look the menu last gave the element (its texture's name).
  bool Lit(const char* name) {
    const SMenuElement& e = app.frontEndData.menuTable[ComputeHash(name)];
    return !e.shown.empty() && e.shown == e.highlighted;
  }
  // A press this frame (down now, up in the last).
  void Key(IGameState& state, int slot) {
    Press(slot);
    Frame(state, 0.016f);
    Press(-1);
    Frame(state, 0.016f);
  }
  void Keys(CGameStatePause& pause, std::initializer_list<int> keys) {
    for (int key : keys) Key(pause, key);
  }

  CGroupRecorder groups;
  CPlayerController player;
  sfx::ChannelHandle sound = 0;
};

TEST_F(PauseStateTest, EveryWayOfResumingGivesBackWhatThePauseStopped) {
  using I = CInputManager;
  // Which keys lead from the main page to where the pause key or accept resumes.
  const struct {
    const char* name;
    std::vector<int> keys;
    bool blurBefore;
    int playerBefore, playerAfter;
  } cases[] = {
      {"pause key at once", {I::Pause}, false, CPlayerController::kIdle, CPlayerController::kIdle},
      {"accept on resume", {I::MenuEnter}, false, CPlayerController::kRun,
       CPlayerController::kIdleCombat},
      {"pause key on the go-to-menu question", {I::MenuDown, I::MenuDown, I::MenuEnter, I::Pause},
       false, CPlayerController::kIdle, CPlayerController::kIdle},
      {"pause key on the quit question", {I::MenuUp, I::MenuEnter, I::MenuUp, I::Pause}, false,
       CPlayerController::kIdle, CPlayerController::kIdle},
      {"no to the quit question, then resume",
       {I::MenuUp, I::MenuEnter, I::MenuEnter, I::MenuDown, I::MenuEnter}, false,
       CPlayerController::kIdle, CPlayerController::kIdle},
      {"back from the options, then resume", {I::MenuDown, I::MenuEnter, I::MenuBack, I::MenuEnter},
       false, CPlayerController::kIdle, CPlayerController::kIdle},
      {"pause key on the graphics page",
       {I::MenuDown, I::MenuEnter, I::MenuDown, I::MenuEnter, I::Pause}, false,
       CPlayerController::kIdle, CPlayerController::kIdle},
      {"pause key on the sound page",
       {I::MenuDown, I::MenuEnter, I::MenuUp, I::MenuUp, I::MenuEnter, I::Pause}, false,
       CPlayerController::kIdle, CPlayerController::kIdle},
      {"pause key on the game options", {I::MenuDown, I::MenuEnter, I::MenuEnter, I::Pause}, false,
       CPlayerController::kIdle, CPlayerController::kIdle},
      {"blur already on before the pause", {I::Pause}, true, CPlayerController::kIdle,
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
    EXPECT_EQ(before.menuShown, 0);

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
    // The pause page and nothing else of the menu, "resume" lit.
    EXPECT_EQ(during.menuShown, 4);
    for (const char* button : kPauseButtons) EXPECT_TRUE(Enabled(button)) << button;
    EXPECT_EQ(pause.GetSelected(), CStringHash("menu_button_resumegame"));
    EXPECT_TRUE(Lit("menu_button_resumegame"));
    EXPECT_FALSE(Lit("menu_button_optionspause"));

    for (size_t k = 0; k < c.keys.size() && pause.running; ++k) Key(pause, c.keys[k]);
    app.objectManager.ApplyQueuedRequests();
    EXPECT_EQ(pause.running, 0);
    EXPECT_EQ(pause.next, kStateInGame);
    EXPECT_EQ(Values(), before);
    EXPECT_EQ(groups.Count('R'), 20);
    EXPECT_EQ(groups.calls.back(), std::make_pair('R', 100 + kGroupCharactersCasino));
    pause.Exit();
  }
}

TEST_F(PauseStateTest, ThePagesRunOnTheMenusPictures) {
  using I = CInputManager;
  CGameStatePause pause;
  Enter(pause);
  Frame(pause, 0.016f);
  // The main page's ring wraps both ways; S steps down as the arrow does.
  Key(pause, I::MenuUp);
  EXPECT_EQ(pause.GetSelected(), CStringHash("menu_button_exitpause"));
  EXPECT_TRUE(Lit("menu_button_exitpause"));
  EXPECT_FALSE(Lit("menu_button_resumegame"));
  Key(pause, I::MenuDown);
  Key(pause, I::MoveBack);
  EXPECT_EQ(pause.GetSelected(), CStringHash("menu_button_optionspause"));

  // Options: the main menu's page in place of the pause page.
  Key(pause, I::MenuEnter);
  EXPECT_EQ(pause.GetPausePage(), CGameStatePause::kPauseOptions);
  EXPECT_EQ(pause.GetSelected(), CStringHash("menu_button_gameoptions"));
  for (const char* button : kPauseButtons) EXPECT_FALSE(Enabled(button)) << button;
  for (const char* shown : {"menu_title_options", "menu_button_gameoptions", "menu_button_sound",
                            "menu_button_back"})
    EXPECT_TRUE(Enabled(shown)) << shown;
  EXPECT_FALSE(Enabled("menu_button_newgame")) << "not the main menu's own page";

  // Game options: language and subtitles, not the difficulty of the game under way.
  Key(pause, I::MenuEnter);
  EXPECT_EQ(pause.GetPausePage(), CGameStatePause::kPauseGameOptions);
  EXPECT_EQ(pause.GetSelected(), CStringHash("option_language"));
  for (const char* hidden : {"option_difficulty", "difficulty_left_arrow", "difficulty_normal"})
    EXPECT_FALSE(Enabled(hidden)) << hidden;
  EXPECT_TRUE(Enabled("option_language"));
  EXPECT_TRUE(Enabled("language_eng"));
  Key(pause, I::MenuUp);
  EXPECT_EQ(pause.GetSelected(), CStringHash("menu_button_back")) << "the ring has no difficulty";
  Key(pause, I::MenuDown);
  Key(pause, I::MenuRight);
  EXPECT_EQ(app.frontEndData.pending.language, CStringHash("language_spa"));
  EXPECT_TRUE(Enabled("language_spa"));
  EXPECT_EQ(app.frontEndData.menuTable[ComputeHash("menu_button_resumegame")].shown.rfind("spa/", 0), 0u);
  // Backspace drops the change: the options and their pictures stay English.
  Key(pause, I::MenuBack);
  EXPECT_EQ(pause.GetPausePage(), CGameStatePause::kPauseOptions);
  EXPECT_EQ(pause.GetSelected(), CStringHash("menu_button_gameoptions"));
  EXPECT_EQ(app.frontEndData.pending.language, CStringHash("language_eng"));
  EXPECT_EQ(app.gameOptions.language, 0);
  EXPECT_EQ(app.frontEndData.menuTable[ComputeHash("menu_button_resumegame")].shown.rfind("eng/", 0), 0u);
  // Subtitles saved: into the options.
  const uint8_t subtitles = app.gameOptions.subtitles;
  Keys(pause, {I::MenuEnter, I::MenuDown, I::MenuRight, I::MenuDown, I::MenuEnter});
  EXPECT_NE(app.gameOptions.subtitles, subtitles);
  EXPECT_EQ(pause.GetPausePage(), CGameStatePause::kPauseOptions);

  // Graphics: SSAO switched and saved reaches the render switches at once.
  const bool ssao = app.gameOptions.ssao != 0;
  Keys(pause, {I::MenuDown, I::MenuEnter});
  EXPECT_EQ(pause.GetPausePage(), CGameStatePause::kPauseGraphics);
  EXPECT_TRUE(Enabled("option_resolution"));
  for (int i = 0; i < 6; ++i) Key(pause, I::MenuDown);
  EXPECT_EQ(pause.GetSelected(), CStringHash("option_ssao"));
  Keys(pause, {I::MenuRight, I::MenuDown, I::MenuDown, I::MenuDown, I::MenuEnter});
  EXPECT_EQ(pause.GetPausePage(), CGameStatePause::kPauseOptions);
  EXPECT_EQ(pause.GetSelected(), CStringHash("menu_button_graphics"));
  EXPECT_EQ(app.gameOptions.ssao != 0, !ssao);
  EXPECT_EQ(app.renderManager.ssao.pending, !ssao);

  // Sound: a step of the music slider is heard at once; back returns to the options.
  const float music = app.audioManager.GetTypeVolume(CStringHash("music"));
  Keys(pause, {I::MenuDown, I::MenuEnter, I::MenuLeft});
  EXPECT_EQ(pause.GetPausePage(), CGameStatePause::kPauseSound);
  EXPECT_NEAR(app.audioManager.GetTypeVolume(CStringHash("music")), std::max(music - 0.01f, 0.0f), 1e-6f);
  Key(pause, I::MenuBack);
  EXPECT_EQ(pause.GetPausePage(), CGameStatePause::kPauseOptions);
  EXPECT_EQ(pause.GetSelected(), CStringHash("menu_button_sound"));

  // The options' back button leads to the pause page at "options"; Backspace there
  // leads to it at "resume".
  Keys(pause, {I::MenuDown, I::MenuEnter});
  EXPECT_EQ(pause.GetPausePage(), CGameStatePause::kPauseMain);
  EXPECT_EQ(pause.GetSelected(), CStringHash("menu_button_optionspause"));
  EXPECT_FALSE(Enabled("menu_title_options"));
  for (const char* button : kPauseButtons) EXPECT_TRUE(Enabled(button)) << button;
  Keys(pause, {I::MenuEnter, I::MenuBack});
  EXPECT_EQ(pause.GetSelected(), CStringHash("menu_button_resumegame"));

  // The go-to-menu question answers no by default; no brings the pause page back.
  Keys(pause, {I::MenuDown, I::MenuDown, I::MenuEnter});
  EXPECT_EQ(pause.GetPausePage(), CGameStatePause::kPauseGoToMainMenu);
  EXPECT_EQ(pause.GetSelected(), CStringHash("exit_no"));
  EXPECT_TRUE(Enabled("phrase_exit"));
  EXPECT_FALSE(Enabled("menu_button_gotomainmenu"));
  Key(pause, I::MenuBack);
  EXPECT_EQ(pause.GetPausePage(), CGameStatePause::kPauseMain);
  EXPECT_EQ(pause.GetSelected(), CStringHash("menu_button_gotomainmenu"));
  EXPECT_FALSE(Enabled("phrase_exit"));
  // The quit question's no does the same, never the main menu's page.
  Keys(pause, {I::MenuDown, I::MenuEnter, I::MenuEnter});
  EXPECT_EQ(pause.GetPausePage(), CGameStatePause::kPauseMain);
  EXPECT_EQ(pause.GetSelected(), CStringHash("menu_button_exitpause"));
  EXPECT_FALSE(Enabled("menu_button_exit"));
  EXPECT_EQ(pause.running, 1);
  EXPECT_TRUE(Enabled("pause_background"));
  EXPECT_EQ(app.quitRequested, 0);
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
  EXPECT_TRUE(Playing("main_menu_01")) << "the menu has its song again";
  EXPECT_EQ(app.gameWorld.player, nullptr);
  app.objectManager.ApplyQueuedRequests();
  EXPECT_FALSE(Enabled("pause_background"));
}

// The graphics page starts from the screen's size: from its entry of the device's
// list, or from the size added to the list where the device does not offer it.
TEST_F(PauseStateTest, TheResolutionCursorNamesTheScreensSize) {
  app.graphicsManager.resolutions = {{800, 600}, {1024, 768}, {1280, 720}};
  const struct {
    int width, height;
    size_t count, cursor;
  } cases[] = {{1024, 768, 3, 1}, {1280, 720, 3, 2}, {1000, 700, 4, 1}, {1920, 1080, 4, 3}};
  for (const auto& c : cases) {
    app.screenWidth = c.width;
    app.screenHeight = c.height;
    CGameStatePause pause;
    Enter(pause);
    ASSERT_EQ(pause.resolutions.size(), c.count) << c.width << "x" << c.height;
    EXPECT_EQ(pause.resolutionCursor, c.cursor) << c.width << "x" << c.height;
    EXPECT_EQ(pause.resolutions[pause.resolutionCursor].width, static_cast<float>(c.width));
    EXPECT_EQ(pause.resolutions[pause.resolutionCursor].height, static_cast<float>(c.height));
  }
}

}  // namespace
}  // namespace vd
