// The HUD over its shipped objects and files: the layout, the reactions to HUD
// changes, the frame's animations, checkpoints, the desaturation hand-off, the
// script methods and damaged layouts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <functional>
#include <luabind/luabind.hpp>
#include <string>

#include "engine/render/passes/FilmLook.h"
#include "tests/engine/animation/AnimTestUtil.h"
#include "tests/game/flow/hud/HudFixture.h"

namespace vd {
namespace {

using test::CTempFile;

class HudTest : public test::HudFixture {
protected:
  void SetUp() override {
    HudFixture::SetUp();
    for (const char* name :
         {"hud/Button_A.dds", "hud/Keyboard_K.dds", "eng/hud/Subtitles_intro.dds",
          "spa/hud/Subtitles_intro.dds", "eng/hud/Helpers.dds", "spa/hud/Helpers.dds"})
      AddTexture(name);
    for (int i = 1; i <= 4; ++i)
      for (char v : {'a', 'b', 'c'})
        AddTexture(("hud/bloodsplatter_0" + std::to_string(i) + v + ".dds").c_str());
  }
  void InitHud() {
    ASSERT_TRUE(hud.Init()) << Joined();
  }
  // A checkpoint save or load as the level script posts it.
  void Deliver(const char* name) {
    evn::CEventScriptOnly* event = evn::CEventScriptOnly::New();
    event->SetData(name, luabind::object());
    hud.HandleEvent(event);
    event->Release();
  }
  const std::string base = "/tmp/hm_hud_" + std::to_string(getpid());
};

TEST_F(HudTest, InitBindsEveryElementReadsTheLayoutAndListens) {
  InitHud();
  EXPECT_TRUE(hud.IsListening());
  EXPECT_NE(hud.Snapshot(), nullptr);
  for (int i = 0; i < CHUD::kElementCount; ++i) {
    EXPECT_NE(hud.Element(i).renderer, nullptr) << CHUD::ElementName(i);
    EXPECT_NE(hud.Element(i).transform, nullptr) << CHUD::ElementName(i);
  }
  EXPECT_EQ(hud.state.baseWidth, 1024);
  EXPECT_FLOAT_EQ(hud.state.baseAspectRatio, 1024.0f / 768.0f);
  EXPECT_EQ(hud.state.lifeThreshold, 30);
  // Every HUD object knows the base screen.
  EXPECT_FLOAT_EQ(Float(hud.dashboard, "gBaseAspectRatio"), 1024.0f / 768.0f);
  EXPECT_NE(Param(hud.lifeArrow, "gBaseWidth"), nullptr);
  // Angles are read in degrees.
  EXPECT_NEAR(hud.lifeArrow.angleMax, 120.0f * 3.1415927f / 180.0f, 1e-5f);
  // The black screen goes black in the same frame when asked at once.
  EXPECT_FLOAT_EQ(Float(hud.blackScreen, "gColor", 3), 0.0f);
  hud.ShowBlackScreen(0.0f);
  EXPECT_FLOAT_EQ(Float(hud.blackScreen, "gColor", 3), 1.0f);
  // Init twice does not listen twice.
  InitHud();
  EXPECT_EQ(events.ListenerCount(SH_OnHUDChange), 1u);
  hud.Reset();
  EXPECT_EQ(events.ListenerCount(SH_OnHUDChange), 0u);
  EXPECT_EQ(hud.Snapshot(), nullptr);
  // Without a level the HUD reaches none of its objects.
  EXPECT_EQ(hud.blackScreen.renderer, nullptr);
  objects.Clear();
  hud.ShowBlackScreen(0.0f);
  hud.SetOnScreen(false);
  Frames(2);
}

TEST_F(HudTest, DamagedLayoutsAreSaidAndNeverCrash) {
  const std::string good =
      "<res width='1024' height='768' depth='32'/><checkpoint life_min='30'/>"
      "<desaturation speed_inc='1' speed_dec='1' life_threshold='30'/><bonus base_value='10'/>";
  struct SCase {
    const char* what;
    std::string layout;
    bool read;
    const char* said;
  } const cases[] = {
      {"complete", good + "<hud name='hud_life_arrow'><arrow angle_min='-90' angle_max='90' spring='9' damp='2'/></hud>",
       true, nullptr},
      {"no bonus", "<res width='1024' height='768' depth='32'/><checkpoint life_min='30'/>"
                   "<desaturation speed_inc='1' speed_dec='1' life_threshold='30'/>",
       false, "<bonus> is missing"},
      {"an attribute missing", good + "<hud name='hud_life_arrow'><arrow angle_min='-90' spring='9' damp='2'/></hud>",
       false, "lacks its attribute \"angle_max\""},
      {"a bad number", good + "<hud name='hud_gas_arrow'><arrow angle_min='x' angle_max='90' spring='9' damp='2'/></hud>",
       true, "is not a number"},
      {"a res of no size",
       "<res width='0' height='768' depth='32'/><checkpoint life_min='30'/>"
       "<desaturation speed_inc='1' speed_dec='1' life_threshold='30'/><bonus base_value='10'/>",
       true, "is refused"},
      {"a res of negative height",
       "<res width='1024' height='-768' depth='32'/><checkpoint life_min='30'/>"
       "<desaturation speed_inc='1' speed_dec='1' life_threshold='30'/><bonus base_value='10'/>",
       true, "is refused"},
      {"an unknown element and a strange alignment",
       good + "<hud name='hud_nothing'><arrow/></hud><hud name='hud_button'><alignment value='up'/></hud>",
       true, nullptr},
      {"not XML", "<res width='1024'", false, "cannot be parsed"},
      {"empty", "", false, "missing or empty"},
  };
  const CTempFile subtitles(base + "_subtitles.xml", "<subtitles><file name='hud/a.dds'/></subtitles>");
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.what);
    log.clear();
    CHUD fresh;
    const CTempFile layout(base + "_hud.xml", c.layout);
    EXPECT_EQ(fresh.ReadLayout(layout.Path(), subtitles.Path()), c.read) << Joined();
    if (c.said) EXPECT_TRUE(Logged(c.said)) << Joined();
    if (!c.said) EXPECT_FALSE(Logged("HUD layout")) << Joined();
  }
  // The list's pictures are queued in both language folders.
  EXPECT_NE(render.FindTexture(CStringHash("eng/hud/a.dds")), nullptr);
  EXPECT_NE(render.FindTexture(CStringHash("spa/hud/a.dds")), nullptr);
  // The gas needle kept its default where the number was bad, and a refused size
  // left the base size unset.
  CHUD fresh;
  const CTempFile layout(base + "_hud.xml", cases[4].layout);
  ASSERT_TRUE(fresh.ReadLayout(layout.Path(), subtitles.Path()));
  EXPECT_EQ(fresh.state.baseWidth, 0);
  // A subtitle list that is not there turns the HUD off as well.
  const CTempFile complete(base + "_hud.xml", good);
  EXPECT_FALSE(fresh.ReadLayout(complete.Path(), (base + "_none.xml").c_str()));
  EXPECT_TRUE(Logged("Subtitle list")) << Joined();
  // A strange alignment keeps the technique.
  InitHud();
  EXPECT_STREQ(hud.button.renderer->GetTechniqueName().GetText(), "TechGUIAlignCenter");
}

TEST_F(HudTest, AMissingLayoutLeavesTheHudWithoutListeners) {
  EXPECT_FALSE(hud.Init((base + "_none.xml").c_str()));
  EXPECT_TRUE(Logged("missing or empty")) << Joined();
  EXPECT_FALSE(hud.IsListening());
  EXPECT_EQ(events.ListenerCount(SH_OnHUDChange), 0u);
  // Nothing of it shows but the black screen, which still serves the states.
  hud.ShowBlackScreen(0.0f);
  Frames(30);
  EXPECT_FLOAT_EQ(hud.blackScreen.colour[3], 1.0f);
  hud.HideBlackScreen(10.0f);
  Frames(30);
  EXPECT_FLOAT_EQ(hud.blackScreen.colour[3], 0.0f);
  for (int element : {CHUD::kDashboard, CHUD::kBossFrame, CHUD::kEmblemBombs})
    EXPECT_FLOAT_EQ(Float(hud.Element(element), "gColor", 3), 0.0f) << CHUD::ElementName(element);
}

TEST_F(HudTest, LifeSpringsToItsTargetAndAForcedChangeSnaps) {
  InitHud();
  Change([](evn::CEventHUDChange& c) { c.life = 100; c.force = true; });
  EXPECT_FLOAT_EQ(hud.lifeArrow.value, 100.0f);
  const float full = hud.lifeArrow.transform->roll;
  Change([](evn::CEventHUDChange& c) { c.life = 50; });
  EXPECT_FLOAT_EQ(hud.lifeArrow.value, 100.0f) << "an unforced change animates";
  float lowest = 100.0f;
  for (int i = 0; i < 600; ++i) {
    Frames(1);
    lowest = std::min(lowest, hud.lifeArrow.value);
  }
  EXPECT_NEAR(hud.lifeArrow.value, 50.0f, 0.5f);
  EXPECT_LT(hud.lifeArrow.transform->roll, full);
  // Snapped values land without overshoot in the same frame and stay.
  Change([](evn::CEventHUDChange& c) { c.gas = 10.0f; c.force = true; });
  EXPECT_FLOAT_EQ(hud.gasArrow.value, 10.0f);
  Frames(30);
  EXPECT_FLOAT_EQ(hud.gasArrow.value, 10.0f);
}

TEST_F(HudTest, FallingBelowTheThresholdDesaturatesWithTheHeartbeat) {
  InitHud();
  struct SCase {
    int from, to;
    bool force;
    bool desaturates;
  } const cases[] = {{40, 20, false, true}, {40, 20, true, false}, {10, 20, false, false}};
  for (const SCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + " to " + std::to_string(c.to));
    InitHud();
    Change([&](evn::CEventHUDChange& e) { e.life = c.from; e.force = true; });
    Change([&](evn::CEventHUDChange& e) { e.life = c.to; e.force = c.force; });
    EXPECT_EQ(hud.state.desaturationState == CHUD::kDesaturationRising, c.desaturates);
  }
  // Rising to the render side's top, then falling back to its bottom and resting.
  Frames(2, 0.5f);
  EXPECT_FLOAT_EQ(render.desaturation, render.desaturationMin);
  InitHud();
  Change([](evn::CEventHUDChange& e) { e.life = 40; e.force = true; });
  Change([](evn::CEventHUDChange& e) { e.life = 20; });
  Frames(1, 0.1f);
  EXPECT_GT(render.desaturation, render.desaturationMin);
  int frames = 0;
  while (hud.state.desaturationState == CHUD::kDesaturationRising && ++frames < 100) Frames(1, 0.05f);
  EXPECT_FLOAT_EQ(render.desaturation, render.desaturationMax);
  EXPECT_EQ(hud.state.desaturationState, CHUD::kDesaturationFalling);
  Frames(200, 0.05f);
  EXPECT_EQ(hud.state.desaturationState, CHUD::kDesaturationIdle);
  EXPECT_FLOAT_EQ(render.desaturation, render.desaturationMin);

  // Forced: it stays grey until a reset, which hands the bottom back to the render side.
  hud.ForceDesaturation();
  Frames(100, 0.05f);
  EXPECT_FLOAT_EQ(render.desaturation, render.desaturationMax);
  EXPECT_EQ(hud.state.desaturationState, CHUD::kDesaturationIdle);
  // A script's reset hands the bottom over and leaves the HUD's own state alone.
  hud.ResetDesaturation();
  EXPECT_FLOAT_EQ(render.desaturation, render.desaturationMin);
  EXPECT_FLOAT_EQ(hud.state.desaturation, render.desaturationMax);
  EXPECT_TRUE(hud.state.desaturationForced);
  hud.ForceDesaturation();
  Frames(100, 0.05f);
  hud.Reset();
  EXPECT_FLOAT_EQ(render.desaturation, render.desaturationMin);
}

TEST_F(HudTest, GrenadesRestartTheirLightsAndShowTheEmblem) {
  InitHud();
  auto age = [this] {
    for (SHUDLight* light : {&hud.lightBomb1, &hud.lightBomb2}) light->intermittenceClock = 5.0f;
  };
  age();
  Change([](evn::CEventHUDChange& e) { e.grenades = 2; });
  EXPECT_FLOAT_EQ(hud.lightBomb1.intermittenceClock, 0.0f);
  EXPECT_FLOAT_EQ(hud.lightBomb2.intermittenceClock, 0.0f);
  Change([](evn::CEventHUDChange& e) { e.grenades = 1; });
  age();
  Change([](evn::CEventHUDChange& e) { e.grenades = 2; e.grenadesEmblemShow = true; });
  EXPECT_FLOAT_EQ(hud.lightBomb1.intermittenceClock, 5.0f);
  EXPECT_FLOAT_EQ(hud.lightBomb2.intermittenceClock, 0.0f);
  EXPECT_EQ(hud.state.grenadeEmblemState, 1);
  // The emblem springs in, then slides out after its time.
  Frames(60);
  EXPECT_LT(std::fabs(hud.emblemBombs.posOffsetY), hud.emblemBombs.maxY * 0.25f);
  // Both lamps blink, then stay lit; with none left they go dark.
  Frames(60);
  EXPECT_FLOAT_EQ(hud.lightBomb1.colour[3], hud.lifeArrow.colour[3]);
  EXPECT_GT(hud.lightBomb2.colour[3], 0.0f);
  Change([](evn::CEventHUDChange& e) { e.grenades = 0; e.force = true; });
  EXPECT_FLOAT_EQ(hud.lightBomb1.colour[3], 0.0f);
  Frames(300);
  EXPECT_EQ(hud.state.grenadeEmblemState, 2);
  EXPECT_FLOAT_EQ(hud.emblemBombs.posOffsetY, hud.emblemBombs.maxY);
}

TEST_F(HudTest, ScoreCountsUpDigitByDigitAndWrapsPastNine) {
  InitHud();
  struct SCase {
    float target;
    float digits[4];
  } const snapped[] = {{12345, {9, 9, 9, 9}}, {-3, {0, 0, 0, 0}}, {407, {7, 0, 4, 0}}};
  for (const SCase& c : snapped) {
    hud.state.values[CHUD::kValueScore] = {c.target, true};
    Frames(1);
    const SHUDCounter* digits[4] = {&hud.numberUnid, &hud.numberDec, &hud.numberCent, &hud.numberMil};
    for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(digits[i]->value, c.digits[i]) << c.target << " digit " << i;
  }
  EXPECT_FLOAT_EQ(Float(hud.numberCent, "gUVOffset", 1), 4.0f * hud.numberCent.vOffset);

  // From 9 to 10: the units roll on past 9 and stop on 0 (not round and round).
  hud.state.values[CHUD::kValueScore] = {9, true};
  Frames(1);
  hud.state.values[CHUD::kValueScore].target = 10;
  Frames(120);
  EXPECT_FLOAT_EQ(hud.numberUnid.value, 0.0f);
  EXPECT_FLOAT_EQ(hud.numberDec.value, 1.0f);
  Frames(30);
  EXPECT_FLOAT_EQ(hud.numberUnid.value, 0.0f);

  // A new game's counter stands on 0000 from its first frame instead of rolling on
  // from the last game's score.
  hud.state.values[CHUD::kValueScore] = {4567, true};
  Frames(1);
  InitHud();
  Frames(1);
  for (const SHUDCounter* digit : {&hud.numberUnid, &hud.numberDec, &hud.numberCent, &hud.numberMil})
    EXPECT_FLOAT_EQ(digit->value, 0.0f);
}

TEST_F(HudTest, ScoringHitsShowTheComboAndEveryTenthAddsABonus) {
  InitHud();
  auto hit = [this](int score) { Change([&](evn::CEventHUDChange& e) { e.score = score; }); };
  hit(250);
  EXPECT_FLOAT_EQ(hud.state.values[CHUD::kValueScore].target, 100.0f);
  EXPECT_FALSE(hud.state.comboShown);
  hit(5);
  EXPECT_TRUE(hud.state.comboShown);
  Frames(1);
  for (int i = 0; i < 8; ++i) hit(1);  // the tenth hit
  const float before = hud.state.values[CHUD::kValueScore].target;
  Frames(1);
  EXPECT_FLOAT_EQ(hud.state.values[CHUD::kValueScore].target, before + 10.0f);
  EXPECT_TRUE(hud.state.bonusShown);
  // Two digits now: the single one is clear, the tens show 1.
  EXPECT_FLOAT_EQ(hud.comboSingle.colour[3], 0.0f);
  EXPECT_FLOAT_EQ(Float(hud.comboDec, "gUVOffset", 0), 1.0f * hud.comboSingle.uOffset);
  for (int i = 0; i < 10; ++i) hit(1);  // the twentieth
  const float second = hud.state.values[CHUD::kValueScore].target;
  Frames(1);
  EXPECT_FLOAT_EQ(hud.state.values[CHUD::kValueScore].target, second + 20.0f);
  // After the combo window the count starts over and the combo fades out.
  Frames(4, 1.0f);
  EXPECT_EQ(hud.state.hitCount, 0);
  EXPECT_FLOAT_EQ(hud.comboUnid.colour[3], 0.0f);
  hit(1);
  Frames(1);
  EXPECT_EQ(hud.state.bonusCount, 0);
  // The count a bonus compares with belongs to this HUD: a new game that begins
  // while a long combo ran gets no bonus for its first hit.
  for (int i = 0; i < 14; ++i) hit(1);
  Frames(1);
  InitHud();
  hit(1);
  Frames(1);
  EXPECT_EQ(hud.state.bonusCount, 0);
  EXPECT_FLOAT_EQ(hud.state.values[CHUD::kValueScore].target, 1.0f);
}

TEST_F(HudTest, TheGasLightBlinksWhileTheGasIsInTheLowestThirdOfItsDial) {
  InitHud();
  // The shipped dial turns from -90 to 90 degrees: half a tank points straight up,
  // which is not low.
  struct SCase {
    float gas;
    bool low;
  } const cases[] = {{0.0f, true}, {30.0f, true}, {36.0f, false}, {50.0f, false}, {100.0f, false}};
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.gas);
    Change([&](evn::CEventHUDChange& e) { e.gas = c.gas; e.force = true; });
    Frames(1);
    EXPECT_EQ(hud.lightGas.blinking, c.low);
  }
  // Low: it keeps blinking for as long as the gas stays low.
  Change([](evn::CEventHUDChange& e) { e.gas = 10.0f; e.force = true; });
  int toggles = 0;
  bool lit = hud.lightGas.lit;
  for (int i = 0; i < 240; ++i) {
    Frames(1);
    if (hud.lightGas.lit != lit) ++toggles;
    lit = hud.lightGas.lit;
  }
  EXPECT_GE(toggles, 6);
  // Refilled: a short flicker, then dark for good.
  Change([](evn::CEventHUDChange& e) { e.gas = 80.0f; e.force = true; });
  Frames(120);
  EXPECT_FALSE(hud.lightGas.lit);
  EXPECT_FLOAT_EQ(Float(hud.lightGas, "gColor", 3), 0.0f);
}

TEST_F(HudTest, AHudChangeOfMarkersOnlyResetsTheHideSpeed) {
  InitHud();
  Change([](evn::CEventHUDChange& e) { e.hideSpeed = 3.0f; e.hide = true; });
  EXPECT_TRUE(hud.state.dashboardHidden);
  EXPECT_FLOAT_EQ(hud.state.hideSpeed, 3.0f);
  const CHUD::SState before = hud.state;
  Change([](evn::CEventHUDChange&) {});
  EXPECT_FLOAT_EQ(hud.state.hideSpeed, -1.0f);
  EXPECT_EQ(hud.state.dashboardHidden, before.dashboardHidden);
  for (int v = 0; v < CHUD::kValueCount; ++v)
    EXPECT_FLOAT_EQ(hud.state.values[v].target, before.values[v].target);
}

TEST_F(HudTest, TheStopwatchRunsItsTimeAndKeepsTheDashboardUp) {
  InitHud();
  Change([](evn::CEventHUDChange& e) { e.cronoTime = 10.0f; });
  hud.dashboard.displayTime = 3.0f;  // shorter than the stopwatch
  Frames(104, 0.1f);
  EXPECT_FALSE(hud.state.dashboardHidden);
  EXPECT_GT(hud.state.values[CHUD::kValueCrono].target, 0.0f) << "still running at 10.5 s";
  Frames(2, 0.1f);
  EXPECT_FLOAT_EQ(hud.state.values[CHUD::kValueCrono].target, 0.0f);
  // Then the dashboard hides after its idle time.
  Frames(4, 1.0f);
  EXPECT_TRUE(hud.state.dashboardHidden);
  EXPECT_FLOAT_EQ(hud.dashboard.colour[3], 0.0f);
}

TEST_F(HudTest, ACheckPointLoadRestoresWhatTheSaveSaw) {
  InitHud();
  // A load before any save changes nothing and keeps the bindings.
  Deliver("OnLoadCheckPoint");
  EXPECT_NE(hud.dashboard.renderer, nullptr);
  EXPECT_EQ(events.PendingCount(), 0u);

  Change([](evn::CEventHUDChange& e) { e.life = 80; e.gas = 40.0f; e.force = true; });
  for (int i = 0; i < 3; ++i) Change([](evn::CEventHUDChange& e) { e.score = 5; });
  hud.HideBlackScreen(1.0f);
  Deliver("OnSaveCheckPoint");
  Change([](evn::CEventHUDChange& e) { e.life = 10; e.gas = 90.0f; e.score = 50; });
  hud.ShowSubtitles("hud/Subtitles_intro.dds", 1, 0.0f);
  Frames(30);

  Deliver("OnLoadCheckPoint");
  EXPECT_FLOAT_EQ(hud.state.values[CHUD::kValueLife].target, 80.0f);
  EXPECT_FLOAT_EQ(hud.state.values[CHUD::kValueGas].target, 40.0f);
  EXPECT_FLOAT_EQ(hud.state.values[CHUD::kValueScore].target, 15.0f);
  EXPECT_EQ(hud.state.hitCount, 3);
  EXPECT_EQ(hud.state.lastHitCount, 0) << "the save's own last count";
  EXPECT_FALSE(hud.state.subtitlesShown);
  EXPECT_FLOAT_EQ(Float(hud.subtitles, "gColor", 3), 0.0f);
  EXPECT_NE(hud.dashboard.renderer, nullptr) << "bindings are never restored from a copy";
  // Black at once, then it fades out as the save had it.
  EXPECT_FLOAT_EQ(Float(hud.blackScreen, "gColor", 3), 1.0f);
  Frames(70);
  EXPECT_FLOAT_EQ(hud.blackScreen.colour[3], 0.0f);
  // One HUD change, posted: the needle snaps to full life.
  EXPECT_EQ(events.PendingCount(), 1u);
  events.Update(0.0f);
  EXPECT_FLOAT_EQ(hud.lifeArrow.value, 100.0f);
}

TEST_F(HudTest, ScriptMethodsShowAndHideTheirParts) {
  InitHud();
  // Button: the named picture; -1 takes the layout's time, 0 stays until hidden, an
  // unknown name changes nothing.
  hud.ShowButton("hud/Button_A.dds", -1.0f);
  EXPECT_EQ(TextureOf(hud.button), Texture("hud/Button_A.dds"));
  EXPECT_FLOAT_EQ(hud.button.displayTime, hud.button.defaultDisplayTime);
  Frames(1, hud.button.defaultDisplayTime + 0.1f);
  EXPECT_FALSE(hud.IsButtonVisible());
  hud.ShowButton("hud/Keyboard_K.dds", 0.0f);
  Frames(10, 1.0f);
  EXPECT_TRUE(hud.IsButtonVisible());
  EXPECT_FLOAT_EQ(hud.button.colour[3], 1.0f);
  hud.ShowButton("hud/nothing.dds", 0.0f);
  EXPECT_EQ(TextureOf(hud.button), Texture("hud/Keyboard_K.dds"));
  hud.HideButton();
  EXPECT_FALSE(hud.IsButtonVisible());

  // Subtitles: the language's picture and row; off in the options, nothing at all.
  uint8_t subtitlesOn = 1;
  int language = 1;
  hud.BindOptions(&subtitlesOn, &language);
  hud.ShowSubtitles("hud/Subtitles_intro.dds", 3, 0.0f);
  EXPECT_EQ(TextureOf(hud.subtitles), Texture("spa/hud/Subtitles_intro.dds"));
  EXPECT_FLOAT_EQ(Float(hud.subtitles, "gUVOffset", 1), 3.0f * hud.subtitles.vOffset);
  Frames(20, 1.0f);
  EXPECT_TRUE(hud.state.subtitlesShown) << "time 0 stays until hidden";
  hud.HideSubtitles();
  subtitlesOn = 0;
  hud.ShowSubtitles("hud/Subtitles_intro.dds", 5, 2.0f);
  EXPECT_FALSE(hud.state.subtitlesShown);
  EXPECT_FLOAT_EQ(Float(hud.subtitles, "gUVOffset", 1), 3.0f * hud.subtitles.vOffset);
  hud.BindOptions(nullptr, nullptr);

  // Black screen: 0 never fades out.
  hud.ShowBlackScreen(0.0f);
  hud.HideBlackScreen(0.0f);
  Frames(60);
  EXPECT_FLOAT_EQ(hud.blackScreen.colour[3], 1.0f);
  hud.HideBlackScreen(2.0f);
  Frames(30);
  EXPECT_FLOAT_EQ(hud.blackScreen.colour[3], 0.0f);

  // Margins come in from the edges and go back to where they started.
  const float top = hud.marginTop.transform->position.y;
  hud.ShowCinematicMargins();
  EXPECT_TRUE(hud.state.dashboardHidden);
  Frames(60);
  EXPECT_GT(hud.marginTop.transform->position.y, top + 80.0f);
  EXPECT_LT(hud.marginBottom.transform->position.y, hud.state.marginBottomStart - 80.0f);
  hud.HideCinematicMargins();
  Frames(60);
  EXPECT_FLOAT_EQ(hud.marginTop.transform->position.y, top);

  // Helper: in, then out again by itself; hidden during the slide-in it is gone at once.
  hud.ShowHelper(2, 1.0f);
  EXPECT_EQ(TextureOf(hud.helper), Texture("eng/hud/Helpers.dds"));
  EXPECT_FLOAT_EQ(Float(hud.helper, "gUVOffset", 1), 2.0f * hud.helper.vOffset);
  Frames(50);
  EXPECT_LT(std::fabs(hud.helper.posOffsetY), 10.0f);
  Frames(300);
  EXPECT_EQ(hud.state.helperState, 0);
  EXPECT_FLOAT_EQ(hud.helper.posOffsetY, hud.helper.maxY);
  hud.ShowHelper(0, -1.0f);
  Frames(5);
  hud.HideHelper();
  Frames(1);
  EXPECT_FLOAT_EQ(hud.helper.posOffsetY, hud.helper.maxY);

  // Fatality: the splatters show after their delay and dry up after their time.
  evn::CEventFatality fatality;
  fatality.duration = 2.0f;
  fatality.killFrame = 0.25f;
  hud.HandleEvent(&fatality);
  EXPECT_FLOAT_EQ(hud.blood[0].delay, 0.5f);
  Frames(1, 0.4f);
  EXPECT_FLOAT_EQ(hud.blood[2].colour[3], 0.0f);
  Frames(1, 0.2f);
  EXPECT_FLOAT_EQ(hud.blood[2].colour[3], 1.0f);
  EXPECT_NE(TextureOf(hud.blood[2]), nullptr);
  Frames(40, 0.1f);
  EXPECT_FLOAT_EQ(hud.blood[2].colour[3], 0.0f);
}

TEST_F(HudTest, TheBossBarShowsItsShareWithoutDividingByZero) {
  InitHud();
  hud.ShowBossStats();
  EXPECT_STREQ(hud.bossBar.renderer->GetTechniqueName().GetText(), "TechGUIAlignCenterNoAlpha");
  Change([](evn::CEventHUDChange& e) { e.bossLife = 40; });
  Frames(1);
  EXPECT_FLOAT_EQ(Float(hud.bossBar, "gAlphaRef"), 0.0f);
  Change([](evn::CEventHUDChange& e) { e.bossLifeInit = 80; });
  Frames(120);
  EXPECT_FLOAT_EQ(Float(hud.bossBar, "gAlphaRef"), 127.5f);
  EXPECT_FLOAT_EQ(Float(hud.bossArrow, "gPosOffset"), 0.5f * hud.bossArrow.minX);
  EXPECT_STREQ(hud.bossBar.renderer->GetTechniqueName().GetText(), "TechGUIAlignCenterAlphaTest");
  EXPECT_FLOAT_EQ(hud.bossBack.colour[3], 1.0f);
  hud.HideBossStats();
  EXPECT_STREQ(hud.bossBar.renderer->GetTechniqueName().GetText(), "TechGUIAlignCenter");
}

TEST_F(HudTest, SubtitleTimersCarryTheirRecordAsText) {
  InitHud();
  evn::CEventTimer timer(CStringHash("subtitle"), 0.0f, &hud, "hud/Subtitles_intro.dds 4 2.5", 0);
  hud.HandleEvent(&timer);
  EXPECT_TRUE(hud.state.subtitlesShown);
  EXPECT_FLOAT_EQ(hud.subtitles.displayTime, 2.5f);
  EXPECT_FLOAT_EQ(Float(hud.subtitles, "gUVOffset", 1), 4.0f * hud.subtitles.vOffset);
  hud.HideSubtitles();
  evn::CEventTimer broken(CStringHash("subtitle"), 0.0f, &hud, "hud/Subtitles_intro.dds", 0);
  hud.HandleEvent(&broken);
  EXPECT_FALSE(hud.state.subtitlesShown);
  EXPECT_TRUE(Logged("not \"texture row time\"")) << Joined();
}

TEST_F(HudTest, ThePauseMenuTakesTheHudOffTheScreenAndBack) {
  InitHud();
  hud.SetOnScreen(false);
  objects.ApplyQueuedRequests();
  for (int i = 0; i < CHUD::kElementCount; ++i)
    EXPECT_FALSE(hud.Element(i).object->IsEnabled()) << CHUD::ElementName(i);
  EXPECT_FALSE(hud.dashboard.renderer->IsInDrawnLists());
  hud.SetOnScreen(true);
  objects.ApplyQueuedRequests();
  EXPECT_TRUE(hud.blackScreen.object->IsEnabled());
  EXPECT_TRUE(hud.dashboard.renderer->IsInDrawnLists());
}

CHUD* g_scriptHUD = nullptr;
CHUD* ScriptHUD() { return g_scriptHUD; }

TEST_F(HudTest, ScriptsReachTheHudThroughGetHUD) {
  InitHud();
  g_scriptHUD = &hud;
  RegisterHUDBindings(host.GetState(), &ScriptHUD);
  Run("GetHUD():ShowBlackScreen(0)\nGetHUD():ShowBossStats()\nGetHUD():ShowButton('hud/Button_A.dds', 0)");
  EXPECT_FLOAT_EQ(hud.blackScreen.colour[3], 1.0f);
  EXPECT_TRUE(hud.state.bossShown);
  EXPECT_TRUE(hud.IsButtonVisible());
  g_scriptHUD = nullptr;
}

TEST_F(HudTest, TheBossBarShowsWhileTheBossFights) {
  InitHud();
  g_scriptHUD = &hud;
  RegisterHUDBindings(host.GetState(), &ScriptHUD);
  ASSERT_TRUE(host.RunFile("Data/scripts/boss.lua")) << Joined();
  Run("FINALSCENE = 5\nBossOnZoneChange({ zone = 4 })");
  EXPECT_FALSE(hud.state.bossShown) << "not before the boss's zone";
  Run("BossOnZoneChange({ zone = 5 })");
  EXPECT_TRUE(hud.state.bossShown);
  // His death ends the game (the event manager is not there: its call fails last).
  host.RunString("BossOnDeath({ type = 'enemy', name = BOSS_NAME })", "test");
  EXPECT_FALSE(hud.state.bossShown);
  g_scriptHUD = nullptr;
}

}  // namespace
}  // namespace vd
