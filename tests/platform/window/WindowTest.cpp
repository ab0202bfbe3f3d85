#include "platform/window/Window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/thread/Thread.h"

namespace {

// Headless runs have no X server: fall back to SDL's offscreen driver unless the
// environment chose a driver or a display is there.
void UseOffscreenWhenHeadless() {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) setenv("SDL_VIDEODRIVER", "offscreen", 0);
}

class WindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    UseOffscreenWhenHeadless();
  }
};

TEST_F(WindowTest, DesktopSizeIsKnownBeforeAnyWindow) {
  int w = 0, h = 0;
  ASSERT_TRUE(plat::GetDesktopSize(&w, &h));
  EXPECT_GT(w, 0);
  EXPECT_GT(h, 0);
}

// The window lives on a thread of its own, as on the render thread of the game;
// the quit is posted from the test's thread.
TEST_F(WindowTest, CreatePumpResizeAndQuitFromAnotherThread) {
  plat::Event created(true, false), quitPosted(true, false);
  std::string error, title;
  int widthAfter = 0, heightAfter = 0, xAfter = -1, yAfter = -1, quitCode = -1;
  bool sawQuit = false, emptyBeforeQuit = false;
  plat::Thread thread;
  ASSERT_TRUE(thread.Start([&]() -> uint32_t {
    plat::WindowDesc desc;
    desc.width = 320;
    desc.height = 200;
    auto window = plat::Window::Create(desc, &error);
    if (!window) {
      created.Set();
      return 1;
    }
    title = window->Title();
    // Drain what creation produced, then the queue must be empty.
    for (int i = 0; i < 1000 && window->Pump() == plat::PumpMessage::Other; ++i) {
    }
    emptyBeforeQuit = window->Pump() == plat::PumpMessage::None;
    window->SetPos(10, 20, 640, 480, plat::kSwpNoZOrder | plat::kSwpShowWindow);
    widthAfter = window->Width();
    heightAfter = window->Height();
    xAfter = window->X();
    yAfter = window->Y();
    created.Set();
    quitPosted.Wait(5000);
    for (int i = 0; i < 1000 && !sawQuit; ++i) {
      plat::PumpMessage m = window->Pump();
      if (m == plat::PumpMessage::Quit) sawQuit = true;
      if (m == plat::PumpMessage::None) plat::Sleep(1);
    }
    quitCode = window->QuitCode();
    return 0;
  }));
  ASSERT_EQ(created.Wait(10000), plat::WaitResult::Signalled);
  plat::PostQuit(7);
  quitPosted.Set();
  ASSERT_EQ(thread.Wait(10000), plat::WaitResult::Signalled);
  ASSERT_EQ(thread.ExitCode(), 0u) << error;
  EXPECT_EQ(title, "Hollowmere");
  EXPECT_TRUE(emptyBeforeQuit);
  EXPECT_EQ(widthAfter, 640);
  EXPECT_EQ(heightAfter, 480);
  EXPECT_EQ(xAfter, 10);
  EXPECT_EQ(yAfter, 20);
  EXPECT_TRUE(sawQuit);
  EXPECT_EQ(quitCode, 7);
  EXPECT_FALSE(plat::QuitPending());
}

// A window closed by force from outside (the window system drops the whole
// connection) is a quit, and the process goes on to end in order instead of being
// ended by Xlib from inside a pump. Needs an X server: its twin runs under Xvfb.
TEST_F(WindowTest, AWindowKilledFromOutsideIsAQuit) {
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (!driver || std::string(driver) != "x11")
    GTEST_SKIP() << "needs an X server and SDL_VIDEODRIVER=x11 (run under xvfb-run)";
  auto window = plat::Window::Create(plat::WindowDesc{});
  ASSERT_TRUE(window);
  for (int i = 0; i < 1000 && window->Pump() == plat::PumpMessage::Other; ++i) {
  }
  ASSERT_EQ(std::system("xdotool search --name '^Hollowmere$' windowkill"), 0);
  bool quit = false;
  for (int i = 0; i < 5000 && !quit; ++i) {
    const plat::PumpMessage m = window->Pump();
    quit = m == plat::PumpMessage::Quit;
    if (m == plat::PumpMessage::None) plat::Sleep(1);
  }
  EXPECT_TRUE(quit);
  window.reset();  // destroying a window whose display is gone is harmless
}

TEST_F(WindowTest, QuitPostedBeforeTheWindowIsPumpedOnce) {
  plat::PostQuit(3);
  auto window = plat::Window::Create(plat::WindowDesc{});
  ASSERT_TRUE(window);
  int quits = 0;
  for (int i = 0; i < 200; ++i)
    if (window->Pump() == plat::PumpMessage::Quit) ++quits;
  EXPECT_EQ(quits, 1);
  EXPECT_EQ(window->QuitCode(), 3);
}

TEST_F(WindowTest, CentreOnDesktop) {
  plat::WindowDesc desc;
  desc.x = 0;
  desc.y = 0;
  desc.width = 200;
  desc.height = 100;
  auto window = plat::Window::Create(desc);
  ASSERT_TRUE(window);
  int dw = 0, dh = 0;
  ASSERT_TRUE(plat::GetDesktopSize(&dw, &dh));
  window->CentreOnDesktop();
  EXPECT_EQ(window->X(), (dw - 200) / 2);
  EXPECT_EQ(window->Y(), (dh - 100) / 2);
}

TEST_F(WindowTest, BadSizeIsRefusedWithAReason) {
  plat::WindowDesc desc;
  desc.width = 0;
  std::string error;
  EXPECT_FALSE(plat::Window::Create(desc, &error));
  EXPECT_FALSE(error.empty());
}

TEST(CursorCounter, FollowsShowCursorCounting) {
  int start = plat::ShowCursor(true) - 1;
  EXPECT_EQ(plat::ShowCursor(false), start);
  EXPECT_EQ(plat::ShowCursor(false), start - 1);
  EXPECT_EQ(plat::ShowCursor(true), start);
}

}  // namespace
