// The start-up screens' timeline without the game: the screens' records, the title's
// curves and the presses that end it are the state's own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>

#include "game/flow/GameWorld.h"
#include "game/flow/menu/StartUpState.h"
#include "tests/support/LogRecorder.h"

namespace vd {
namespace {

class CStartUp : public CGameStateStartUp {
public:
  bool SlotPressed(int slot) const override { return pressed.count(slot) != 0; }
  bool PadConnected() const override { return pad; }
  std::set<int> pressed;
  bool pad = false;
};

constexpr int kPause = 1, kNumpadEnter = 24, kEnter = 25;

TEST(StartUpState, TheScreensFadeInTurnAndTheTitleEndsOnAccept) {
  CStartUp s;
  ASSERT_TRUE(s.Enter(nullptr, nullptr, nullptr, nullptr)) << "reads Data/xml/startup.xml";
  // The timeline of a logo that fades in for 1 s, stays 2 s and fades out for 1 s.
  CGameStateStartUp::SScreen& logo = s.screens[CGameStateStartUp::kLogo];
  logo.fadeTime = 1.0f;
  logo.visibleTime = 2.0f;
  logo.colour = plat::Vec4(0, 0, 0, 0);
  logo.speed = plat::Vec4(1, 1, 1, 1);
  const float dt = 0.25f;
  s.Update(dt);
  EXPECT_EQ(s.phase, 1) << "phase 0 lasts one update";
  EXPECT_FLOAT_EQ(s.timer, dt) << "the logo's time counts from the entry";
  struct Expect {
    float t;
    float alpha;
  };
  // t after each update: 0.5 .. 3.75; in while t <= 1, steady until t < 3, out after.
  const Expect alphas[] = {{0.5f, 0.25f}, {0.75f, 0.5f}, {1.0f, 0.75f}, {1.25f, 0.75f},
                           {2.75f, 0.75f}, {3.0f, 0.5f},  {3.25f, 0.25f}, {3.5f, 0.0f}};
  float t = dt;
  for (const Expect& e : alphas) {
    while (t + 1e-4f < e.t) {
      t += dt;
      s.pressed = {kEnter};  // accept does nothing before the title
      s.Update(dt);
      s.pressed.clear();
    }
    EXPECT_NEAR(logo.colour.w, e.alpha, 1e-4f) << "t " << e.t;
    EXPECT_EQ(s.phase, 1) << "t " << e.t;
  }
  s.Update(dt);  // t = 3.75
  EXPECT_EQ(s.phase, 1);
  s.Update(dt);  // t = 4: 2F + V
  EXPECT_EQ(s.phase, 2);
  EXPECT_EQ(s.timer, 0.0f);
  // A pad screen without times ends on its first frame; the title follows.
  s.screens[CGameStateStartUp::kPadRecommended] = CGameStateStartUp::SScreen();
  s.Update(dt);
  EXPECT_EQ(s.phase, 3);
  // Esc ends the title only with a pad connected.
  s.pressed = {kPause};
  s.Update(dt);
  EXPECT_EQ(s.running, 1);
  s.pad = true;
  s.Update(dt);
  EXPECT_EQ(s.running, 0);
  EXPECT_EQ(s.next, kStateMenu);

  for (int accept : {kNumpadEnter, kEnter}) {
    s.Enter(nullptr, nullptr, nullptr, nullptr);
    s.pressed.clear();
    s.phase = 3;
    s.Update(dt);
    ASSERT_EQ(s.running, 1);
    s.pressed = {accept};
    s.Update(dt);
    EXPECT_EQ(s.running, 0) << accept;
    EXPECT_EQ(s.next, kStateMenu);
  }
}

TEST(StartUpState, TheTitleSlidesShakesAndZoomsByItsFile) {
  CStartUp s;
  ASSERT_TRUE(s.Enter(nullptr, nullptr, nullptr, nullptr));
  ASSERT_GT(s.slideSpeed, 0.0f);
  EXPECT_FLOAT_EQ(s.slideDuration, std::fabs(s.xMin - s.xMax) / s.slideSpeed);
  EXPECT_EQ(s.titlePosition.x, s.xMax);
  const size_t shakes = s.shakes.size(), zooms = s.zooms.size();
  EXPECT_GT(shakes, 0u);
  EXPECT_GT(zooms, 0u);
  // Entered again, the lists hold the file's entries once.
  s.Exit();
  ASSERT_TRUE(s.Enter(nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(s.shakes.size(), shakes);
  EXPECT_EQ(s.zooms.size(), zooms);

  // The zoom: outside every window 1; inside, from size_in to size_out.
  s.zooms = {{0.5f, 1.0f, 3.0f, 2.0f, 1.0f}};
  s.slideDuration = 10.0f;  // the window runs from t = 6 to 8
  EXPECT_EQ(s.TitleScale(5.9f), 1.0f);
  EXPECT_FLOAT_EQ(s.TitleScale(6.0f), 2.0f);
  EXPECT_FLOAT_EQ(s.TitleScale(7.0f), 1.5f);
  EXPECT_EQ(s.TitleScale(8.0f), 1.0f);
  // The shake noise: the lattice formula, bounded and steady within a step.
  // At step 0 the polynomial is 0: what is left is the wrapped constant.
  const uint32_t m0 = (0u - 3421365u) & 4945007u;
  EXPECT_FLOAT_EQ(CGameStateStartUp::ShakeNoise(10.0f, 0.0f), 1.0f - float(m0) / 3354521.0f);
  EXPECT_EQ(CGameStateStartUp::ShakeNoise(10.0f, 0.31f), CGameStateStartUp::ShakeNoise(10.0f, 0.39f));
  for (float t = 0.0f; t < 5.0f; t += 0.1f) {
    const float n = CGameStateStartUp::ShakeNoise(30.0f, t);
    EXPECT_LE(n, 1.0f);
    EXPECT_GE(n, 1.0f - 4945007.0f / 3354521.0f);
  }
  // The slide ends the start-up once the title is past x_min.
  s.phase = 3;
  s.titlePosition.x = s.xMin + 0.01f;
  s.Update(0.1f);
  EXPECT_EQ(s.running, 0);
}

TEST(StartUpState, DamagedFilesAreRefusedWithALine) {
  const std::string path = testing::TempDir() + "startup_damaged.xml";
  struct Case {
    const char* text;
    const char* line;
  };
  const Case cases[] = {
      {"", "missing or empty"},
      {"<res width=\"1024\"", "not valid XML"},
      {"<logo/>", "res element"},
      {"<res width=\"0\" height=\"768\"/>", "positive"},
      {"<res width=\"1024\" height=\"-4\"/>", "positive"},
  };
  for (const Case& c : cases) {
    std::ofstream(path) << c.text;
    test::CLogCapture log;
    CStartUp s;
    EXPECT_FALSE(s.ReadFile(path.c_str())) << c.text;
    EXPECT_TRUE(log.Contains(c.line)) << c.text << "\n" << log.Text();
  }
  // A title that cannot cross does not hold the screen: the menu follows the fades at
  // once instead of waiting for a key.
  const Case stuck[] = {
      {"<res width=\"640\" height=\"480\"><title><pos_offset x_min=\"-5\" x_max=\"5\" "
       "speed=\"-3\"/></title></res>", "positive slide speed"},
      {"<res width=\"640\" height=\"480\"><title><pos_offset x_min=\"-5\" x_max=\"nan\" "
       "speed=\"2\"/></title></res>", ""},
      {"<res width=\"640\" height=\"480\"/>", "positive slide speed"},
      {"junk", "not valid XML"},
  };
  for (const Case& c : stuck) {
    std::ofstream(path) << c.text;
    test::CLogCapture log;
    CStartUp s;
    s.running = 1;
    s.ReadFile(path.c_str());
    s.titlePosition.x = s.xMax;
    for (int i = 0; i < 6 && s.running; ++i) s.Update(0.1f);
    EXPECT_EQ(s.running, 0) << c.text;
    EXPECT_EQ(s.next, kStateMenu) << c.text;
    if (c.line[0]) EXPECT_TRUE(log.Contains(c.line)) << c.text << "\n" << log.Text();
  }

  // Missing parts keep their values; a title that does not move has no slide.
  std::ofstream(path) << "<res width=\"640\" height=\"480\"><title><pos_offset x_min=\"-5\"/>"
                         "<vibration axis=\"y\"/></title></res>";
  CStartUp s;
  EXPECT_TRUE(s.ReadFile(path.c_str()));
  EXPECT_FLOAT_EQ(s.aspectRatio, 640.0f / 480.0f);
  EXPECT_EQ(s.slideDuration, 0.0f);
  ASSERT_EQ(s.shakes.size(), 1u);
  EXPECT_EQ(s.shakes[0].axis, 1);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace vd
