// The final credits: the shipped cards timed to their song, the way back to the
// menu, and what odd records and bad credits files do.
#include "game/flow/FinalCreditsState.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "engine/events/EventManager.h"
#include "tests/game/flow/ScreenFixture.h"

namespace vd {
namespace {

class FinalCreditsTest : public test::ScreenFixture {
protected:
  void LoadCards() {
    app.frontEndData.creditsGroup =
        LoadInstanceGroup(app.objectManager, "Data/xml/final_credits_instances.xml", nullptr, false);
    ASSERT_GE(app.frontEndData.creditsGroup, 0);
  }
  CGameStateFinalCredits credits;
};

TEST_F(FinalCreditsTest, TheShippedCardsFollowTheSongAndTheGameReturnsToTheMenu) {
  LoadCards();
  Enter(credits);
  const float length = credits.GetLength();
  EXPECT_EQ(length, app.audioManager.GetSongDuration("final_credits"));
  EXPECT_GT(length, 20.0f);
  EXPECT_TRUE(Playing("final_credits"));
  EXPECT_TRUE(app.eventManager.AreTimersPaused()) << "the level stands still";
  ASSERT_EQ(app.frontEndData.creditsTable.size(), 5u);
  for (const auto& entry : app.frontEndData.creditsTable)
    EXPECT_EQ(entry.second.texture.rfind("eng/credits/", 0), 0u) << entry.second.texture;
  Frame(credits, 0.0f);
  EXPECT_TRUE(Enabled("final_credits_background"));
  EXPECT_EQ(Param("final_credits_background", "gColor", 3), 1.0f) << "opaque whatever drew before";

  const char* const cards[] = {"credits_title", "credits_engine", "credits_enemies",
                               "credits_front_end", "credits_thanks"};
  float firstFull[5] = {-1, -1, -1, -1, -1}, lastShown[5] = {-1, -1, -1, -1, -1};
  int mostAtOnce = 0;
  for (int frame = 0; credits.running && frame < 4000; ++frame) {
    Frame(credits, 0.05f);
    if (!credits.running) break;
    int shown = 0;
    for (int i = 0; i < 5; ++i) {
      const float alpha = Param(cards[i], "gColor", 3);
      if (!Enabled(cards[i]) || !(alpha > 0.0f)) continue;
      ++shown;
      if (alpha == 1.0f && firstFull[i] < 0) firstFull[i] = credits.GetClock();
      lastShown[i] = credits.GetClock();
    }
    mostAtOnce = std::max(mostAtOnce, shown);
  }
  EXPECT_EQ(credits.running, 0);
  EXPECT_EQ(credits.next, kStateMenu);
  EXPECT_NEAR(credits.GetClock(), length, 0.051f);
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(cards[i]);
    EXPECT_GE(firstFull[i], 0.0f) << "fully shown once";
    if (i > 0) EXPECT_GT(firstFull[i], lastShown[i - 1] - 2.0f) << "after the one before";
  }
  EXPECT_LE(mostAtOnce, 2) << "one card replaces the next";

  // Back at the menu through ExitToMainMenu: the level's timers run again, the cards
  // are gone, the menu's song plays instead of the credits'.
  EXPECT_FALSE(app.eventManager.AreTimersPaused());
  EXPECT_TRUE(Playing("main_menu_01"));
  EXPECT_FALSE(Playing("final_credits"));
  EXPECT_EQ(app.frontEndData.creditsGroup, -1);
  EXPECT_TRUE(app.frontEndData.creditsTable.empty());
  EXPECT_EQ(app.frontEndData.creditsScreen, nullptr);
  app.objectManager.ApplyQueuedRequests();
  for (const char* card : cards) EXPECT_EQ(Find(card), nullptr) << card;
  EXPECT_EQ(Find("final_credits_background"), nullptr);
  credits.Exit();
  EXPECT_EQ(credits.next, kStateFinalCredits);
}

// A card whose window is empty never shows; a disabled card is enabled in the first
// frame of its window and brightens from the next; Spanish cards come from "spa/".
TEST_F(FinalCreditsTest, CardWindowsAndLanguage) {
  LoadCards();
  test::CScreenFile file("credits_test_windows.xml",
                         "<res width=\"1024\" height=\"768\" depth=\"8\">"
                         "<credits name=\"credits_title\"><texture name=\"credits/credits_title.png\"/>"
                         "<timing in=\"0.5\" out=\"0.5\"/><alpha value=\"0\" speed=\"1\"/></credits>"
                         "<credits name=\"credits_engine\"><texture name=\"credits/credits_engine.png\"/>"
                         "<timing in=\"0.1\" out=\"0.9\"/><alpha value=\"0.25\" speed=\"0.5\"/>"
                         "<alignment value=\"left\"/></credits>"
                         "<credits name=\"nobody\"><timing in=\"0\" out=\"1\"/></credits>"
                         "</res>");
  credits.creditsFile = file.Path();
  app.gameOptions.language = 1;
  EXPECT_TRUE(credits.Enter(&app, &app.gameOptions, &app.gameWorld, &app.frontEndData));
  EXPECT_NE(log.find("\"nobody\" names no object"), std::string::npos) << log;
  ASSERT_EQ(app.frontEndData.creditsTable.size(), 2u);
  EXPECT_EQ(app.frontEndData.creditsTable[ComputeHash("credits_engine")].texture,
            "spa/credits/credits_engine.png");
  EXPECT_EQ(Find("credits_engine")->GetComponent<gfx::CRenderer>()->GetTechniqueName(),
            CStringHash("TechGUIAlignLeft"));
  const gfx::CShader::SParameter* base = Find("credits_engine")
                                               ->GetComponent<gfx::CRenderer>()
                                               ->GetShaderInstance()
                                               ->FindParameter(CStringHash("gBaseWidth"));
  ASSERT_NE(base, nullptr);
  int32_t width = 0;
  std::memcpy(&width, base->bytes.data(), 4);
  EXPECT_EQ(width, 1024) << "the cards' screen base";

  const float length = credits.GetLength();
  Frame(credits, length * 0.1f + 0.01f);  // the engine card's window opens
  EXPECT_FALSE(Enabled("credits_engine"));
  EXPECT_EQ(Param("credits_engine", "gColor", 3), 0.25f) << "enabled first, not brightened";
  Frame(credits, 0.5f);
  EXPECT_TRUE(Enabled("credits_engine"));
  EXPECT_FLOAT_EQ(Param("credits_engine", "gColor", 3), 0.5f);
  for (int i = 0; i < 100 && credits.running; ++i) {
    Frame(credits, length / 100.0f);
    EXPECT_FALSE(Enabled("credits_title")) << "in == out: never shown";
  }
  EXPECT_EQ(credits.running, 0);
}

TEST_F(FinalCreditsTest, BadCreditsFilesAreLoggedAndTheCreditsStillEndWithTheSong) {
  struct {
    const char* name;
    const char* text;
    const char* logged;
  } const cases[] = {{"credits_test_missing.xml", nullptr, "is missing or empty"},
                     {"credits_test_damaged.xml", "<res width=\"1024\"><credits name=", "not valid XML"},
                     {"credits_test_rootless.xml", "<credits name=\"credits_title\"/>", "no res element"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    log.clear();
    std::unique_ptr<test::CScreenFile> file;
    if (c.text) file = std::make_unique<test::CScreenFile>(c.name, c.text);
    CGameStateFinalCredits state;
    state.creditsFile = c.name;
    EXPECT_FALSE(state.Enter(&app, &app.gameOptions, &app.gameWorld, &app.frontEndData));
    EXPECT_NE(log.find(c.logged), std::string::npos) << log;
    EXPECT_TRUE(Playing("final_credits"));
    for (int i = 0; i < 2000 && state.running; ++i) Frame(state, 0.1f);
    EXPECT_EQ(state.running, 0);
    EXPECT_EQ(state.next, kStateMenu);
  }
  // Without its song there is nothing to wait for: back to the menu at once.
  app.audioManager.Shutdown();
  CGameStateFinalCredits silent;
  Enter(silent);
  Frame(silent, 0.016f);
  EXPECT_EQ(silent.running, 0);
  EXPECT_EQ(silent.next, kStateMenu);
}

}  // namespace
}  // namespace vd
