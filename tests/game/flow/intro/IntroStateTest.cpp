// The intro between loading and play: the shipped panels on the narration's
// timetable, the subtitles, the skip, and what bad intro files and missing songs do.
#include "game/flow/intro/IntroState.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/input/InputManager.h"
#include "game/player/PlayerController.h"
#include "tests/game/flow/ScreenFixture.h"

namespace vd {
namespace {

class IntroStateTest : public test::ScreenFixture {
protected:
  void SetUp() override {
    ScreenFixture::SetUp();
    app.gameWorld.player = &player;
    ASSERT_TRUE(app.scriptManager.RunString(
        "initCalls = 0\nfunction OnInitGame() initCalls = initCalls + 1 end", "intro_test"));
  }
  void LoadPanels(const char* instances = "Data/xml/intro_instances.xml") {
    app.frontEndData.introGroup = LoadInstanceGroup(app.objectManager, instances, nullptr, false);
    ASSERT_GE(app.frontEndData.introGroup, 0);
  }
  int InitCalls() {
    lua_State* L = app.scriptManager.GetState();
    lua_getglobal(L, "initCalls");
    const int calls = static_cast<int>(lua_tointeger(L, -1));
    lua_pop(L, 1);
    return calls;
  }
  // The finish step's marks, whatever ended the intro.
  void ExpectFinished() {
    EXPECT_EQ(intro.running, 0);
    EXPECT_EQ(intro.next, kStateInGame);
    EXPECT_FALSE(Playing("intro_brannoc"));
    EXPECT_FALSE(Playing("intro_ome"));
    EXPECT_EQ(InitCalls(), 1);
    EXPECT_NE(log.find("Init game"), std::string::npos);
    EXPECT_TRUE(app.gameWorld.hud.state.blackScreenShown) << "play begins under the black screen";
    EXPECT_FALSE(app.gameWorld.hud.IsButtonVisible()) << "no skip hint in play";
    EXPECT_EQ(app.frontEndData.introGroup, -1);
    EXPECT_TRUE(app.frontEndData.introTable.empty());
    EXPECT_EQ(player.state, CPlayerController::kIdle) << "he is the player's again";
  }

  CPlayerController player;
  CGameStateIntro intro;
};

TEST_F(IntroStateTest, TheShippedPanelsPlayOnTheNarrationsTimetableThenPlayBegins) {
  LoadPanels();
  player.state = CPlayerController::kRun;
  Enter(intro);
  const float length = intro.GetLength();
  EXPECT_GE(length, 30.0f) << "the last subtitle starts at 26 s";
  EXPECT_EQ(length, app.audioManager.GetSongDuration("intro_brannoc"));
  for (const char* song : {"intro_ome", "intro_brannoc", "intro_loop"}) EXPECT_TRUE(Playing(song)) << song;
  EXPECT_EQ(player.state, CPlayerController::kIdleCinematic);
  // No texture is loaded here: the picture asked for tells the prompt.
  EXPECT_EQ(app.gameWorld.hud.GetButtonTexture(), "hud/Keyboard_K.dds") << "no pad here";
  ASSERT_EQ(app.frontEndData.introTable.size(), 5u);

  const char* const panels[] = {"intro_city", "intro_fog", "intro_brannoc", "intro_casino",
                                "intro_title"};
  struct SSeen {
    float firstShown = -1.0f, lastShown = -1.0f, peakAlpha = 0.0f;
    float firstScale = NAN, lastScale = NAN;
    bool scaleSteady = true;
  } seen[5];
  int subtitleOrder[CGameStateIntro::kSubtitleCount];
  int subtitlesStarted = 0;
  const float dt = 0.05f;
  for (int frame = 0; intro.running && frame < 2000; ++frame) {
    Frame(intro, dt);
    for (int i = 0; i < 5 && intro.running; ++i) {
      SSeen& s = seen[i];
      const float alpha = Param(panels[i], "gColor", 3);
      if (Enabled(panels[i]) && alpha > 0.0f) {
        if (s.firstShown < 0) s.firstShown = intro.GetClock();
        s.lastShown = intro.GetClock();
        s.peakAlpha = std::max(s.peakAlpha, alpha);
      }
      const float scale = Param(panels[i], "gScale");
      // A screen sprite starts at its own neutral zoom of 1; the intro's scale begins
      // where the panel's window starts.
      if (std::isnan(s.firstScale) && scale == 1.0f) continue;
      if (!std::isnan(scale)) {
        if (std::isnan(s.firstScale)) s.firstScale = scale;
        // Each step of a scale between its two values, none outside them.
        if (!std::isnan(s.lastScale) && std::fabs(scale - s.lastScale) > 0.01f) s.scaleSteady = false;
        s.lastScale = scale;
      }
    }
    for (int f = 0; f < CGameStateIntro::kSubtitleCount; ++f)
      if (intro.IsSubtitleShown(f) && (subtitlesStarted <= f))
        subtitleOrder[subtitlesStarted++] = f;
  }
  ExpectFinished();
  EXPECT_NEAR(intro.GetClock(), length, dt * 1.01f);

  // Each panel shows in its own stretch of the story, one after the other, fully.
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(panels[i]);
    EXPECT_GE(seen[i].firstShown, 0.0f);
    EXPECT_FLOAT_EQ(seen[i].peakAlpha, 1.0f);
    EXPECT_TRUE(seen[i].scaleSteady);
    EXPECT_NE(seen[i].firstScale, seen[i].lastScale) << "the panel moves";
    if (i > 0) EXPECT_GT(seen[i].firstShown, seen[i - 1].firstShown);
    if (i < 4) EXPECT_LT(seen[i].lastShown, length * 0.95f) << "gone before the title";
  }
  EXPECT_LT(seen[0].firstShown, 0.5f) << "the city shows at once";
  EXPECT_EQ(subtitlesStarted, 8);
  for (int f = 0; f < subtitlesStarted; ++f) EXPECT_EQ(subtitleOrder[f], f);

  // The panels went with their group; the next frame's destruction removes them.
  app.objectManager.ApplyQueuedRequests();
  for (const char* panel : panels) EXPECT_EQ(Find(panel), nullptr) << panel;
  intro.Exit();
  EXPECT_EQ(intro.next, kStateIntro);
}

TEST_F(IntroStateTest, SubtitlesPassedInOneLongFrameStartOnePerFrameInOrder) {
  Enter(intro);
  Frame(intro, 0.0f);
  EXPECT_TRUE(intro.IsSubtitleShown(0));
  EXPECT_FALSE(intro.IsSubtitleShown(1));
  Frame(intro, 20.0f);  // past the times of frames 1 to 5
  for (int expected = 1; expected <= 5; ++expected) {
    for (int f = 0; f < CGameStateIntro::kSubtitleCount; ++f)
      EXPECT_EQ(intro.IsSubtitleShown(f), f < expected) << "after frame " << expected << ": " << f;
    Frame(intro, 0.0f);
  }
  EXPECT_FALSE(intro.IsSubtitleShown(6)) << "23 s is still ahead";
}

// Skipping in the first frame still stops the narration, fades the loop, blackens
// the screen and starts the level's scripts; and the pad's A is the same slot as K.
TEST_F(IntroStateTest, TheUseButtonSkipsFromTheFirstFrame) {
  LoadPanels();
  Enter(intro);
  Press(CInputManager::Use);
  app.inputManager.actions[CInputManager::Use].wasDown = 0;
  Frame(intro, 0.016f);
  ExpectFinished();
  EXPECT_LT(intro.GetClock(), 0.1f);
  // The loop fades out over a second, then stops rather than play on unheard.
  EXPECT_TRUE(Playing("intro_loop"));
  now += 1.1;
  EXPECT_FALSE(Playing("intro_loop"));
  EXPECT_EQ(app.audioManager.Audio().IsActive(app.audioManager.FindSound("intro_loop")->handle),
            plat::audio::kStopped);

  // Held from the last frame, the key is no press: a second intro is not skipped by it.
  CGameStateIntro again;
  app.objectManager.ApplyQueuedRequests();
  LoadPanels();
  Enter(again);
  app.inputManager.actions[CInputManager::Use].wasDown = 1;
  Frame(again, 0.016f);
  EXPECT_EQ(again.running, 1);
}

// Bad and odd intro files: the state logs what it could not use and plays on.
TEST_F(IntroStateTest, BadRecordsAndFilesAreLoggedAndTheIntroGoesOn) {
  LoadPanels();
  test::CScreenFile odd("intro_test_odd.xml",
                        "<intro name=\"intro_city\"><timing in=\"0.5\" out=\"0.1\"/>"
                        "<alpha value=\"0.5\" speed=\"1\"/><alignment value=\"TechGUIAlignLeft\"/></intro>"
                        "<intro name=\"intro_fog\"><timing in=\"0\" out=\"1\"/>"
                        "<alignment value=\"sideways\"/></intro>"
                        "<intro name=\"nobody_here\"><timing in=\"0\" out=\"1\"/></intro>"
                        "<intro><timing in=\"0\" out=\"1\"/></intro>");
  intro.introFile = odd.Path();
  Enter(intro);
  EXPECT_EQ(app.frontEndData.introTable.size(), 2u);
  EXPECT_NE(log.find("\"nobody_here\" names no object"), std::string::npos) << log;
  EXPECT_NE(log.find("\"\" names no object"), std::string::npos) << log;
  gfx::CRenderer* city = Find("intro_city")->GetComponent<gfx::CRenderer>();
  gfx::CRenderer* fog = Find("intro_fog")->GetComponent<gfx::CRenderer>();
  EXPECT_EQ(city->GetTechniqueName(), CStringHash("TechGUIAlignLeft"));
  EXPECT_EQ(fog->GetTechniqueName(), CStringHash("TechGUIAlignCenter")) << "an unknown value leaves it";
  for (int i = 0; i < 40; ++i) Frame(intro, 0.5f);
  // Out before in: never faded in. Without an alpha child the alpha stays 1.
  EXPECT_FALSE(Enabled("intro_city"));
  EXPECT_TRUE(std::isnan(Param("intro_city", "gColor", 3)));
  EXPECT_TRUE(Enabled("intro_fog"));
  EXPECT_EQ(Param("intro_fog", "gColor", 3), 1.0f);
  EXPECT_EQ(intro.running, 1);

  // Missing, damaged: logged; without a player, logged; the intro still plays out.
  struct {
    const char* name;
    const char* text;
    const char* logged;
  } const cases[] = {{"intro_test_missing.xml", nullptr, "is missing or empty"},
                     {"intro_test_empty.xml", "", "is missing or empty"},
                     {"intro_test_damaged.xml", "<intro name=\"intro_city\"><timing in=", "not valid XML"}};
  app.gameWorld.player = nullptr;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    log.clear();
    std::unique_ptr<test::CScreenFile> file;
    if (c.text) file = std::make_unique<test::CScreenFile>(c.name, c.text);
    CGameStateIntro state;
    state.introFile = c.name;
    Enter(state);
    EXPECT_NE(log.find(c.logged), std::string::npos) << log;
    EXPECT_NE(log.find("no player"), std::string::npos) << log;
    EXPECT_TRUE(app.frontEndData.introTable.empty());
    for (int i = 0; i < 400 && state.running; ++i) Frame(state, 0.1f);
    EXPECT_EQ(state.running, 0);
    EXPECT_EQ(state.next, kStateInGame);
  }

  // No narration to time the intro by: it ends in its first frame.
  app.audioManager.Shutdown();
  CGameStateIntro silent;
  Enter(silent);
  EXPECT_EQ(silent.GetLength(), 0.0f);
  Frame(silent, 0.016f);
  EXPECT_EQ(silent.running, 0);
  EXPECT_EQ(silent.next, kStateInGame);
}

}  // namespace
}  // namespace vd
