#include "engine/app/Application.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/window/Window.h"
#include "platform/window/MessageBox.h"

namespace {

using vd::sys::CApplicationBase;
using vd::sys::EStartupStep;

class CTestApp : public CApplicationBase {
public:
  void PreInit() override { std::snprintf(name, sizeof name, "%s", "Test"); }
  void StartGame() override {}
  void RegisterScriptBindings() override { ++bindingsRegistered; }
  void EndGame() override {}
  int bindingsRegistered = 0;
  bool failGraphics = false;

protected:
  // Start-up's side only: the real render thread has its own tests.
  uint32_t RenderThreadProc() override {
    FrameEvent(vd::sys::kWindowCreated)->Set();
    if (failGraphics) return 1;  // ends without "GfxInitFinished"
    FrameEvent(vd::sys::kGfxInitFinished)->Set();
    FrameEvent(vd::sys::kRenderFreeResources)->Wait();
    return 0;
  }
};

// Runs each test in a fresh folder holding its own Data/xml files.
class AppTest : public ::testing::Test {
protected:
  void SetUp() override {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    oldDir = cwd;
    char tmpl[] = "/tmp/hm_app_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    root = tmpl;
    mkdir((root + "/Data").c_str(), 0755);
    mkdir((root + "/Data/xml").c_str(), 0755);
    ASSERT_EQ(chdir(root.c_str()), 0);
    WriteConfig("0", "0", "800", "600", "1");
    Write("Data/xml/scripts.xml", "<scripts></scripts>");
    previousSink = plat::SetMessageSink(&messages);
  }
  void TearDown() override {
    CApplicationBase::SetStartupFaultHook(nullptr);
    plat::SetMessageSink(previousSink);
    ASSERT_EQ(chdir(oldDir.c_str()), 0);
    std::system(("rm -rf " + root).c_str());
  }
  static void Write(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  static void WriteConfig(const char* ms, const char* mode, const char* w, const char* h,
                          const char* sound) {
    Write("Data/xml/gameconfig.xml",
          std::string("<gameconfig><key name=\"a\" value=\"") + ms + "\"/><key value=\"" + mode +
              "\"/><key value=\"" + w + "\"/><key value=\"" + h + "\"/><key value=\"" + sound +
              "\"/></gameconfig><preloading><key value=\"640\"/><key value=\"400\"/>"
              "<key value=\"bg.dds\"/><key value=\"ind.dds\"/></preloading>");
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& r : messages.Requests()) texts.push_back(r.text);
    return texts;
  }

  std::string oldDir, root;
  plat::RecordingMessageSink messages;
  plat::IMessageSink* previousSink = nullptr;
};

TEST_F(AppTest, ReadsTheGameConfigurationByPosition) {
  struct Case {
    const char* mode;
    const char* sound;
    uint8_t fullScreen;
    uint8_t soundOn;
  } cases[] = {
      {"2", "1", 1, 1}, {"0", "0", 0, 0}, {"window", "", 0, 1}, {"", "yes", 0, 1},
  };
  for (const Case& c : cases) {
    WriteConfig("4", c.mode, "1280", "720", c.sound);
    CTestApp app;
    ASSERT_TRUE(app.ReadGameConfig());
    EXPECT_EQ(app.multiSampleType, 4);
    EXPECT_EQ(app.fullScreen, c.fullScreen) << "mode " << c.mode;
    EXPECT_EQ(app.screenWidth, 1280);
    EXPECT_EQ(app.screenHeight, 720);
    EXPECT_EQ(app.soundOn, c.soundOn) << "sound '" << c.sound << "'";
    EXPECT_EQ(app.preloadingWidth, 640);
    EXPECT_EQ(app.preloadingHeight, 400);
    EXPECT_EQ(app.preloadingBackground, "bg.dds");
    EXPECT_EQ(app.preloadingIndicator, "ind.dds");
  }
}

// Keys that carry the expected names are read by name wherever they stand; the others
// by position; impossible values are refused with a log line.
TEST_F(AppTest, ReadsTheGameConfigurationByNameAndRefusesImpossibleValues) {
  struct LogLines : vd::utl::ILogSink {
    void WriteScript(const char*) override {}
    void WriteEngine(const char* text) override { all += text; }
    std::string all;
  };
  auto key = [](const char* name, const char* value) {
    return std::string("<key") + (name ? std::string(" name=\"") + name + "\"" : "") +
           " value=\"" + value + "\"/>";
  };
  const std::string sound = key("sound", "0");
  struct Case {
    const char* what;
    std::string gameconfig;
    int multisample, width, height;
    uint8_t vsync;
    const char* logged;  // null: nothing about the values
  } cases[] = {
      {"height above width",
       key("multisample", "2") + key("display_mode", "0") + key("screen_height", "600") +
           key("screen_width", "800") + sound + key("vsync", "0"),
       2, 800, 600, 0, nullptr},
      {"multisample line deleted",
       key("display_mode", "0") + key("screen_width", "1280") + key("screen_height", "720") +
           sound,
       0, 1280, 720, 1, "no multisample entry"},
      {"no names", key(nullptr, "4") + key(nullptr, "0") + key(nullptr, "640") +
                       key(nullptr, "480") + key(nullptr, "0"),
       4, 640, 480, 1, nullptr},
      {"names of another reader",
       key("aa", "4") + key("display_mode", "0") + key("bb", "640") + key("cc", "480") + sound +
           key("vsync", "yes"),
       4, 640, 480, 1, nullptr},
      {"screen too narrow",
       key("multisample", "0") + key("display_mode", "0") + key("screen_width", "300") +
           key("screen_height", "600") + sound,
       0, 1024, 768, 1, "a screen of 300x600 is impossible"},
      {"screen too low", key(nullptr, "0") + key(nullptr, "0") + key(nullptr, "800") +
                             key(nullptr, "1") + sound,
       0, 1024, 768, 1, "a screen of 800x1 is impossible"},
      {"not a number", key(nullptr, "0") + key(nullptr, "0") + key(nullptr, "wide") +
                           key(nullptr, "600") + sound,
       0, 1024, 768, 1, "a screen of 0x600 is impossible"},
      {"negative multisample",
       key("multisample", "-4") + key("display_mode", "0") + key("screen_width", "800") +
           key("screen_height", "600") + sound,
       0, 800, 600, 1, "multisample -4 is negative"},
  };
  for (const Case& c : cases) {
    Write("Data/xml/gameconfig.xml",
          "<gameconfig>" + c.gameconfig + "</gameconfig><preloading>" + key("height", "400") +
              key("width", "640") + key("background", "bg.dds") + key("indicator", "ind.dds") +
              "</preloading>");
    CTestApp app;
    auto* log = new LogLines();
    app.logSinks.AddSink(log);
    ASSERT_TRUE(app.ReadGameConfig()) << c.what;
    EXPECT_EQ(app.multiSampleType, c.multisample) << c.what;
    EXPECT_EQ(app.screenWidth, c.width) << c.what;
    EXPECT_EQ(app.screenHeight, c.height) << c.what;
    EXPECT_EQ(app.fullScreen, 0) << c.what;
    EXPECT_EQ(app.soundOn, 0) << c.what;
    EXPECT_EQ(app.graphicsManager.vsync, c.vsync) << c.what;
    EXPECT_EQ(app.preloadingWidth, 640) << c.what;
    EXPECT_EQ(app.preloadingHeight, 400) << c.what;
    EXPECT_EQ(app.preloadingBackground, "bg.dds") << c.what;
    if (c.logged) {
      EXPECT_NE(log->all.find(c.logged), std::string::npos) << c.what << ": " << log->all;
    } else {
      EXPECT_EQ(log->all, "") << c.what;
    }
  }
}

TEST_F(AppTest, DisplayModeOneTakesTheDesktopSizeAndStillReadsTheSoundEntry) {
  WriteConfig("0", "1", "1280", "720", "0");
  CTestApp app;
  ASSERT_TRUE(app.ReadGameConfig());
  EXPECT_EQ(app.fullScreen, 1);
  int w = 0, h = 0;
  if (plat::GetDesktopSize(&w, &h)) {
    EXPECT_EQ(app.screenWidth, w);
    EXPECT_EQ(app.screenHeight, h);
  } else {
    EXPECT_EQ(app.screenWidth, 1024);
  }
  EXPECT_EQ(app.soundOn, 0);
}

TEST_F(AppTest, MissingEntriesAndElementsFallBackToDefaults) {
  Write("Data/xml/gameconfig.xml", "<gameconfig><key value=\"2\"/><key value=\"0\"/></gameconfig>");
  CTestApp app;
  app.screenWidth = 1;
  ASSERT_TRUE(app.ReadGameConfig());
  EXPECT_EQ(app.multiSampleType, 2);
  EXPECT_EQ(app.screenWidth, 1024);
  EXPECT_EQ(app.screenHeight, 768);
  EXPECT_EQ(app.soundOn, 1);
  EXPECT_EQ(app.preloadingWidth, 512);
  EXPECT_EQ(app.preloadingHeight, 316);

  Write("Data/xml/gameconfig.xml", "<gameconfig><key value=");  // malformed
  CTestApp broken;
  EXPECT_TRUE(broken.ReadGameConfig());
  EXPECT_EQ(broken.screenWidth, 1024);
}

TEST_F(AppTest, AMissingOrEmptyConfigurationEndsStartUpWithoutAMessage) {
  for (const char* content : {static_cast<const char*>(nullptr), ""}) {
    std::remove("Data/xml/gameconfig.xml");
    if (content) Write("Data/xml/gameconfig.xml", content);
    CTestApp app;
    EXPECT_FALSE(app.Init(nullptr, 1));
    EXPECT_TRUE(Texts().empty());
    app.Shutdown();
  }
}

TEST_F(AppTest, StartsAndShutsDown) {
  CTestApp app;
  ASSERT_TRUE(app.Init(nullptr, 1));
  EXPECT_EQ(app.running, 1);
  EXPECT_EQ(app.bindingsRegistered, 1);
  EXPECT_EQ(app.screenWidth, 800);
  EXPECT_EQ(app.keyboardInput.cooperativeFlags, 6);
  EXPECT_EQ(app.pad.userIndex, 0);
  EXPECT_EQ(app.animationManager.templates.resetValues, 1);
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(app.eventManager.factories.size(), 6u);
  for (const char* component : {"CTransform", "CCamera", "CTracker", "CTrigger", "CColliderMesh",
                                "CColliderBox", "CColliderSphere", "CAnimator", "CRenderer",
                                "CCharacterCollider"})
    EXPECT_EQ(app.objectManager.componentFactories.count(vd::ComputeHash(component)), 1u) << component;
  app.Shutdown();
  EXPECT_TRUE(app.eventManager.factories.empty());
  EXPECT_TRUE(app.objectManager.componentFactories.empty());
  EXPECT_EQ(app.running, 0);
  EXPECT_EQ(app.pad.userIndex, -1);
  EXPECT_FALSE(app.renderThread.Started());
}

TEST_F(AppTest, EachFailedStepShowsItsTextAndEndsStartUp) {
  struct Case {
    EStartupStep step;
    const char* text;
  } cases[] = {
      {EStartupStep::Profiler, "Error trying to init profiler"},
      {EStartupStep::Audio, "Audio could not initialize"},
      {EStartupStep::Input, "Error initializing the input manager"},
      {EStartupStep::Collision, "Error trying to init collision manager"},
      {EStartupStep::EventManager, "Event manager could not initialize"},
      {EStartupStep::Scripting, "Scripting could not initialize"},
  };
  for (const Case& c : cases) {
    messages.Clear();
    CApplicationBase::SetStartupFaultHook([&](EStartupStep s, int) { return s != c.step; });
    CTestApp app;
    EXPECT_FALSE(app.Init(nullptr, 1)) << c.text;
    auto requests = messages.Requests();
    ASSERT_EQ(requests.size(), 1u) << c.text;
    EXPECT_EQ(requests[0].text, c.text);
    EXPECT_TRUE(requests[0].caption.empty());
    EXPECT_EQ(requests[0].style, plat::kMbIconExclamation);
    EXPECT_EQ(requests[0].owner, nullptr);
    EXPECT_EQ(app.running, 0);
    app.Shutdown();
  }
}

TEST_F(AppTest, AudioGetsExactlyTwoAttempts) {
  std::vector<int> attempts;
  CApplicationBase::SetStartupFaultHook([&](EStartupStep s, int attempt) {
    if (s != EStartupStep::Audio) return true;
    attempts.push_back(attempt);
    return attempt == 2;
  });
  CTestApp app;
  EXPECT_TRUE(app.Init(nullptr, 1));
  EXPECT_EQ(attempts, (std::vector<int>{1, 2}));
  EXPECT_TRUE(Texts().empty());
}

TEST_F(AppTest, SoundOffSilencesTheAudioManager) {
  WriteConfig("0", "0", "800", "600", "0");
  CTestApp app;
  ASSERT_TRUE(app.Init(nullptr, 1));
  EXPECT_EQ(app.audioManager.GetGlobalVolume(), 0.0f);
}

TEST_F(AppTest, AMissingScriptListIsReportedAndStartUpGoesOn) {
  std::remove("Data/xml/scripts.xml");
  CTestApp app;
  EXPECT_TRUE(app.Init(nullptr, 1));
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Error trying to parse scripts.xml"}));
}

TEST_F(AppTest, AGraphicsFailureOnTheRenderThreadEndsStartUpWithoutHanging) {
  CTestApp app;
  app.failGraphics = true;
  EXPECT_FALSE(app.Init(nullptr, 1));
  EXPECT_EQ(app.running, 0);
  app.Shutdown();
}

// A render thread still in its graphics start-up when the main thread's start-up
// fails outlives the shutdown's wait; the application must not free its members
// under it.
std::atomic<bool> g_releaseRenderThread{false};

class CSlowRenderApp : public CTestApp {
protected:
  uint32_t RenderThreadProc() override {
    FrameEvent(vd::sys::kWindowCreated)->Set();
    while (!g_releaseRenderThread) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    renderThreadFailed = 1;  // a member, written after the shutdown gave up waiting
    return 0;
  }
};

TEST_F(AppTest, AnApplicationWaitsForARenderThreadThatOutlivedItsShutdown) {
  CApplicationBase::SetStartupFaultHook([](EStartupStep s, int) {
    return s != EStartupStep::Collision;
  });
  g_releaseRenderThread = false;
  auto app = std::make_unique<CSlowRenderApp>();
  EXPECT_FALSE(app->Init(nullptr, 1));
  app->Shutdown();
  EXPECT_TRUE(app->RenderThreadOutlivedShutdown());
  // The thread goes on half a second into the application's destruction.
  std::thread release([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    g_releaseRenderThread = true;
  });
  app.reset();
  // Long enough for a thread left running to write into a freed application.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  release.join();
}

TEST_F(AppTest, ShutdownOfANeverStartedApplicationIsHarmless) {
  CTestApp app;
  app.Shutdown();
  app.Shutdown();
  EXPECT_EQ(app.running, 0);
  EXPECT_EQ(CApplicationBase::GetInstance(), &app);
}

TEST_F(AppTest, TheInstancePointerFollowsTheApplication) {
  {
    CTestApp app;
    EXPECT_EQ(CApplicationBase::GetInstance(), &app);
    EXPECT_EQ(vd::utl::GetLogSinks(), &app.logSinks);
  }
  EXPECT_EQ(CApplicationBase::GetInstance(), nullptr);
  EXPECT_EQ(vd::utl::GetLogSinks(), nullptr);
}

}  // namespace
