// The real application over the real render thread, headless: frames, the hand-off
// between the two threads, quitting, a graphics failure, and the pre-loading screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/app/Application.h"
#include "engine/core/Log.h"
#include "platform/gpu/Device.h"
#include "platform/thread/Thread.h"
#include "platform/window/MessageBox.h"
#include "platform/window/Window.h"

namespace {

using vd::sys::CApplicationBase;
using vd::sys::EFramePhase;

// A graphics manager's factory for the recording back end.
vd::gfx::CGraphicsManager::GpuFactory RecordingDevice(std::shared_ptr<plat::gpu::Recorder> recorder) {
  return [recorder](plat::Window*, std::string*) { return plat::gpu::CreateRecordingGpu(recorder); };
}

class CFrameApp : public CApplicationBase {
public:
  void PreInit() override { std::snprintf(name, sizeof name, "%s", "Frames"); }
  void StartGame() override {}
  void RegisterScriptBindings() override {}
  void EndGame() override {}
  bool Update(float dt) override {
    ++updates;
    if (dt < 0.0f || dt > 1.0f / 15.0f + 1e-6f) badTimes++;
    if (updates == quitAfter) quitRequested = 1;
    return true;
  }
  int quitAfter = 30;
  std::atomic<int> updates{0};
  int badTimes = 0;
};

class FrameLoopTest : public ::testing::Test {
protected:
  void SetUp() override { previousSink = plat::SetMessageSink(&messages); }
  void TearDown() override { plat::SetMessageSink(previousSink); }
  plat::RecordingMessageSink messages;
  plat::IMessageSink* previousSink = nullptr;
};

// Watches both threads' sides of the frame: the main thread's deferred step must never
// run while a frame is being drawn.
struct HandOffProbe {
  std::atomic<int> inDeferred{0}, inDraw{0}, overlaps{0}, draws{0}, deferred{0};
  void operator()(EFramePhase phase) {
    switch (phase) {
      case EFramePhase::DeferredBegin:
        if (inDraw) ++overlaps;
        inDeferred = 1;
        ++deferred;
        break;
      case EFramePhase::DeferredEnd: inDeferred = 0; break;
      case EFramePhase::DrawBegin:
        if (inDeferred) ++overlaps;
        inDraw = 1;
        ++draws;
        break;
      case EFramePhase::DrawEnd: inDraw = 0; break;
    }
  }
};

void RunGame(CFrameApp& app, HandOffProbe& probe) {
  app.frameObserver = [&probe](EFramePhase p) { probe(p); };
  ASSERT_TRUE(app.Init(nullptr, 1));
  app.StartGame();
  app.MainLoop();
  app.EndGame();
  app.Shutdown();
}

TEST_F(FrameLoopTest, RunsFramesHeadlessAndQuitsWhenTheGameAsks) {
  CFrameApp app;
  HandOffProbe probe;
  RunGame(app, probe);
  EXPECT_EQ(app.updates, 30);
  EXPECT_EQ(app.badTimes, 0);
  EXPECT_EQ(probe.overlaps, 0);
  EXPECT_EQ(probe.deferred, 30);
  // The quit set during the 30th frame's update ends the loop without another draw.
  EXPECT_LE(probe.draws, 30);
  EXPECT_GE(probe.draws, 29);
  EXPECT_EQ(app.running, 0);
  EXPECT_TRUE(messages.Requests().empty());
  EXPECT_FALSE(app.renderThread.Started());
}

TEST_F(FrameLoopTest, RecordingDeviceRunsTheSameHandOff) {
  auto recorder = std::make_shared<plat::gpu::Recorder>();
  CFrameApp app;
  app.quitAfter = 200;
  app.graphicsManager.gpuFactory = RecordingDevice(recorder);
  HandOffProbe probe;
  RunGame(app, probe);
  EXPECT_EQ(app.updates, 200);
  EXPECT_EQ(probe.overlaps, 0);
  EXPECT_TRUE(recorder->Errors().empty()) << recorder->Errors().front();
  EXPECT_GE(recorder->CountCalls("Present"), 200u);
}

TEST_F(FrameLoopTest, AGraphicsFailureEndsStartUpWithItsMessageAndNoHang) {
  CFrameApp app;
  app.graphicsManager.gpuFactory = [](plat::Window*, std::string* error) -> plat::gpu::Gpu* {
    if (error) *error = "no device here";
    return nullptr;
  };
  EXPECT_FALSE(app.Init(nullptr, 1));
  // The device layer may have said why first; start-up's own message comes last.
  auto requests = messages.Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.back().text, "Graphics could not initialize");
  EXPECT_EQ(requests.back().style, plat::kMbIconExclamation);
  EXPECT_TRUE(requests.back().caption.empty());
  EXPECT_EQ(app.renderThreadFailed, 1);
  // The render thread released what it made before it ended.
  EXPECT_EQ(app.graphicsManager.device, nullptr);
  EXPECT_EQ(app.mainWindow, nullptr);
  app.Shutdown();
}

TEST_F(FrameLoopTest, AnApplicationStartsAgainAfterAGameAndShutsDownPromptly) {
  auto recorder = std::make_shared<plat::gpu::Recorder>();
  CFrameApp app;
  app.quitAfter = 10;
  app.graphicsManager.gpuFactory = RecordingDevice(recorder);
  HandOffProbe probe;
  RunGame(app, probe);
  EXPECT_EQ(app.updates, 10);

  // A second start-up shows the pre-loading screen again and a shutdown without a
  // main loop ends its render thread at once, not after the 3000 ms wait.
  ASSERT_TRUE(app.Init(nullptr, 1));
  EXPECT_EQ(app.loopStarted, 0);
  auto start = std::chrono::steady_clock::now();
  app.Shutdown();
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_LT(waited, std::chrono::milliseconds(2500));
  EXPECT_FALSE(app.RenderThreadOutlivedShutdown());
  EXPECT_FALSE(app.renderThread.Started());
}

// Lets the failing step wait until the render thread has brought graphics up, so
// that the shutdown meets it on its pre-loading screen however slow the device is.
class CGraphicsWaitApp : public CFrameApp {
public:
  void WaitForGraphics() { FrameEvent(vd::sys::kGfxInitFinished)->Wait(); }
};

TEST_F(FrameLoopTest, AMainThreadFailureStopsThePreLoadingScreen) {
  CGraphicsWaitApp app;
  CApplicationBase::SetStartupFaultHook([&app](vd::sys::EStartupStep s, int) {
    if (s != vd::sys::EStartupStep::Collision) return true;
    app.WaitForGraphics();
    return false;
  });
  EXPECT_FALSE(app.Init(nullptr, 1));
  CApplicationBase::SetStartupFaultHook(nullptr);
  app.Shutdown();  // the render thread ends instead of waiting for a main loop
  EXPECT_FALSE(app.renderThread.Started());
}

// --- start-up and shutdown order, device loss ---

// Every log line with the thread that wrote it.
class CThreadLog : public vd::utl::ILogSink {
public:
  struct SLine {
    plat::ThreadId thread;
    std::string text;
  };
  explicit CThreadLog(std::vector<SLine>* lines, std::mutex* mutex)
      : m_lines(lines), m_mutex(mutex) {}
  void WriteScript(const char* text) override { WriteEngine(text); }
  void WriteEngine(const char* text) override {
    std::lock_guard<std::mutex> lock(*m_mutex);
    m_lines->push_back({plat::CurrentThreadId(), text});
  }

private:
  std::vector<SLine>* m_lines;
  std::mutex* m_mutex;
};

std::vector<std::string> Only(const std::vector<CThreadLog::SLine>& lines, plat::ThreadId thread,
                              const std::vector<std::string>& wanted) {
  std::vector<std::string> out;
  for (const auto& line : lines)
    if (line.thread == thread && std::find(wanted.begin(), wanted.end(), line.text) != wanted.end())
      out.push_back(line.text);
  return out;
}

size_t IndexOf(const std::vector<CThreadLog::SLine>& lines, const std::string& text) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].text == text) return i;
  return lines.size();
}

// Records the state of the other managers when shutdown reaches the factories.
class COrderApp : public CFrameApp {
public:
  void UnregisterEventFactories() override {
    if (recording) {
      order.push_back("events");
      renderSideGone = graphicsManager.device == nullptr && mainWindow == nullptr;
      objectsCleared = objectManager.GetObjectCount() == 0;
      collisionReleased = collisionManager.GetWorld() == nullptr;
      scriptsReleased = scriptManager.GetState() == nullptr;
      audioReleased = audioManager.FindSound("menu_click_01") == nullptr;
    }
    CFrameApp::UnregisterEventFactories();
  }
  void UnregisterComponentFactories() override {
    if (recording) order.push_back("components");
    CFrameApp::UnregisterComponentFactories();
  }
  bool recording = false;
  std::vector<std::string> order;
  bool renderSideGone = false, objectsCleared = false, collisionReleased = false,
       scriptsReleased = false, audioReleased = false;
};

TEST_F(FrameLoopTest, StartUpLogsItsStepsInOrderAndShutdownEndsTheRenderSideFirst) {
  std::vector<CThreadLog::SLine> lines;
  std::mutex mutex;
  COrderApp app;
  app.quitAfter = 3;
  app.graphicsManager.gpuFactory = RecordingDevice(std::make_shared<plat::gpu::Recorder>());
  app.logSinks.AddSink(new CThreadLog(&lines, &mutex));
  ASSERT_TRUE(app.Init(nullptr, 1));
  const plat::ThreadId mainThread = plat::CurrentThreadId();
  app.StartGame();
  app.MainLoop();
  app.EndGame();
  app.recording = true;
  app.Shutdown();

  const std::vector<std::string> mainSteps = {"Parsing game config\n",
                                              "Init profiler\n",
                                              "Init game object manager\n",
                                              "Init audio manager\n",
                                              "Check system resources\n",
                                              "Init input\n",
                                              "Init animation manager\n",
                                              "Init collision manager\n",
                                              "Init event manager\n",
                                              "Init scripting\n",
                                              "Init game\n"};
  const std::vector<std::string> renderSteps = {
      "Create window\n",       "Init graphics manager\n",
      "Init render manager\n", "Init particle system manager\n",
      "Init light manager\n",  "Rendering first frame\n"};
  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_EQ(Only(lines, mainThread, mainSteps), mainSteps);
  plat::ThreadId renderThread = 0;
  for (const auto& line : lines)
    if (line.text == "Create window\n") renderThread = line.thread;
  ASSERT_NE(renderThread, 0u);
  EXPECT_NE(renderThread, mainThread);
  EXPECT_EQ(Only(lines, renderThread, renderSteps), renderSteps);
  // The two threads meet at the window and at the end of the graphics start-up.
  EXPECT_LT(IndexOf(lines, "Create window\n"), IndexOf(lines, "Init game object manager\n"));
  EXPECT_LT(IndexOf(lines, "Init light manager\n"), IndexOf(lines, "Init game\n"));
  EXPECT_LT(IndexOf(lines, "Init game\n"), IndexOf(lines, "Rendering first frame\n"));

  // The factories go last, events before components, once everything that could
  // still make or use an object or an event has been released.
  EXPECT_EQ(app.order, (std::vector<std::string>{"events", "components"}));
  EXPECT_TRUE(app.renderSideGone);
  EXPECT_TRUE(app.objectsCleared);
  EXPECT_TRUE(app.collisionReleased);
  EXPECT_TRUE(app.scriptsReleased);
  EXPECT_TRUE(app.audioReleased);
}

// The render thread loses the device after its fifth draw: while it is lost the main
// thread waits for the frame, and after the reset the application's hook runs and
// the frames go on.
class CLostDeviceApp : public CFrameApp {
public:
  void AfterDeviceReset() override { updatesAtReset.push_back(updates); }
  std::vector<int> updatesAtReset;  // render thread only
};

TEST_F(FrameLoopTest, WhileTheDeviceIsLostTheMainThreadWaitsAndTheResetRunsTheHook) {
  auto recorder = std::make_shared<plat::gpu::Recorder>();
  std::vector<CThreadLog::SLine> lines;
  std::mutex mutex;
  CLostDeviceApp app;
  app.quitAfter = 10;
  app.graphicsManager.gpuFactory = RecordingDevice(recorder);
  app.logSinks.AddSink(new CThreadLog(&lines, &mutex));
  int draws = 0;  // render thread only
  app.frameObserver = [&](EFramePhase phase) {
    if (phase != EFramePhase::DrawEnd || ++draws != 5) return;
    std::vector<plat::gpu::HResult> results(25, plat::gpu::kErrDeviceLost);  // half a second
    results.push_back(plat::gpu::kErrDeviceNotReset);
    recorder->ScriptCooperativeLevel(results);
  };
  ASSERT_TRUE(app.Init(nullptr, 1));
  app.StartGame();
  app.MainLoop();
  app.EndGame();
  app.Shutdown();

  EXPECT_EQ(app.updates, 10);
  // The first reset puts the configured display in place before any frame; the
  // second follows the loss, with the main thread still at the fifth frame.
  EXPECT_EQ(app.updatesAtReset, (std::vector<int>{0, 5}));
  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_LT(IndexOf(lines, "Device has been lost\n"), lines.size());
  EXPECT_TRUE(recorder->Errors().empty());
}

// --- level scripts driven by the real frame loop ---

class CScriptedApp : public CFrameApp {
public:
  bool Update(float dt) override {
    // Frames count from 100 so that a missing global (read as 0) cannot pass.
    std::string code = "frame = " + std::to_string(100 + updates + 1);
    scriptManager.RunString(code.c_str(), "frame");
    if (scriptManager.GetGlobalInt("timer_frame") > 0 && timerElapsed < 0.0f) {
      timerElapsed = elapsed;  // game time before the frame that fired it
      quitRequested = 1;
    }
    elapsed += dt;
    return CFrameApp::Update(dt);
  }
  float elapsed = 0.0f;
  float timerElapsed = -1.0f;
  // Read before shutdown closes the Lua state.
  void EndGame() override {
    bellFrame = scriptManager.GetGlobalInt("bell_frame");
    echoFrame = scriptManager.GetGlobalInt("echo_frame");
    timerFrame = scriptManager.GetGlobalInt("timer_frame");
  }
  int bellFrame = -2, echoFrame = -2, timerFrame = -2;
};

TEST_F(FrameLoopTest, ALevelScriptPostsAnEventAndATimerAndHandlesThemInLaterFrames) {
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  char tmpl[] = "/tmp/hm_frames_XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  std::string root = tmpl;
  ASSERT_EQ(std::system(("mkdir -p " + root + "/Data/xml " + root + "/Data/scripts && cp " +
                         std::string(cwd) + "/Data/xml/gameconfig.xml " + root + "/Data/xml/")
                            .c_str()),
            0);
  auto write = [&](const std::string& path, const std::string& text) {
    FILE* f = std::fopen((root + "/" + path).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(text.c_str(), f);
    std::fclose(f);
  };
  write("Data/xml/scripts.xml", "<scripts><script file=\"bells.lua\"/></scripts>");
  write("Data/scripts/bells.lua",
        "frame = 100\n"
        "bell_frame = -1\n"
        "echo_frame = -1\n"
        "timer_frame = -1\n"
        "function OnBell(e)\n"
        "  bell_frame = frame\n"
        "  GetEventManager():TriggerEvent(\"OnEcho\", {})\n"
        "end\n"
        "function OnEcho(e) echo_frame = frame end\n"
        "function OnTimer(e) if e.name == \"wake\" then timer_frame = frame end end\n"
        "GetEventManager():TriggerEvent(\"OnBell\", {})\n"
        "GetEventManager():TriggerEventTimer(\"wake\", 0.2, \"\")\n");
  ASSERT_EQ(chdir(root.c_str()), 0);

  CScriptedApp app;
  app.quitAfter = 1000000;  // the timer ends the run
  HandOffProbe probe;
  RunGame(app, probe);
  ASSERT_EQ(chdir(cwd), 0);
  std::system(("rm -rf " + root).c_str());
  EXPECT_EQ(probe.overlaps, 0);
  EXPECT_EQ(app.bellFrame, 100);   // posted while loading, handled in the first frame
  EXPECT_EQ(app.echoFrame, 101);   // posted by a handler, handled one frame later
  EXPECT_GE(app.timerFrame, 103);  // 0.2 s of frames of at most 1/15 s
  EXPECT_GE(app.timerElapsed, 0.2f - 1.0f / 15.0f);
  EXPECT_LE(app.timerElapsed, 0.2f + 1.0f / 15.0f);
}

// --- the pre-loading screen over the recording device, on a hand-driven clock ---

int64_t g_now = 0;
int64_t FakeClock() { return g_now; }

TEST(PreLoading, ChangesOnceASecondWithOneMoreMark) {
  auto recorder = std::make_shared<plat::gpu::Recorder>();
  vd::gfx::CGraphicsManager graphics;
  graphics.gpuFactory = RecordingDevice(recorder);
  ASSERT_TRUE(graphics.Init(512, 316, 0));
  vd::sys::CTimer timer;
  timer.clock = &FakeClock;
  g_now = 0;
  timer.Start();

  vd::sys::CPreLoading screen;
  ASSERT_TRUE(screen.Init(&graphics, &timer, 512, 316, "Data/textures/preloading/background.dds",
                          "Data/textures/preloading/indicator.dds"));
  // Init draws once, but nothing shows during the first second.
  EXPECT_EQ(recorder->CountCalls("Present"), 0u);

  std::vector<size_t> marks;
  for (int tick = 1; tick <= 90; ++tick) {  // 4.5 s in steps of 0.05 s
    g_now += 50000000;
    recorder->Clear();
    screen.Render();
    if (recorder->CountCalls("Present") == 1)
      marks.push_back(recorder->CountCalls("Sprite::Draw") - 1);  // less the background
    else
      EXPECT_EQ(recorder->CountCalls("Present"), 0u);
  }
  EXPECT_EQ(marks, (std::vector<size_t>{1, 2, 3, 0}));
  EXPECT_TRUE(recorder->Errors().empty());
  screen.Release();
  graphics.Release();
}

TEST(PreLoading, DrawsNothingWithoutItsTextures) {
  auto recorder = std::make_shared<plat::gpu::Recorder>();
  vd::gfx::CGraphicsManager graphics;
  graphics.gpuFactory = RecordingDevice(recorder);
  ASSERT_TRUE(graphics.Init(512, 316, 0));
  vd::sys::CTimer timer;
  timer.clock = &FakeClock;
  timer.Start();
  vd::sys::CPreLoading screen;
  EXPECT_FALSE(screen.Init(&graphics, &timer, 512, 316, "Data/textures/preloading/missing.dds",
                           "Data/textures/preloading/indicator.dds"));
  recorder->Clear();
  for (int i = 0; i < 40; ++i) {
    g_now += 100000000;
    screen.Render();
  }
  EXPECT_EQ(recorder->CountCalls("Present"), 0u);
  graphics.Release();
}

// The screen as it shows on a real GL device: the background fills the window and the
// first mark sits where its transform puts it.
TEST(PreLoading, DrawsTheBackgroundAndTheMarksOnTheGlDevice) {
  plat::Thread renderThread;
  ASSERT_TRUE(renderThread.Start([]() -> uint32_t {
    plat::WindowDesc desc;
    desc.width = 512;
    desc.height = 316;
    std::string error;
    std::unique_ptr<plat::Window> window = plat::Window::Create(desc, &error);
    EXPECT_NE(window, nullptr) << error;
    if (!window) return 1;
    vd::gfx::CGraphicsManager graphics;
    graphics.window = window.get();
    EXPECT_TRUE(graphics.Init(512, 316, 0));
    if (!graphics.device) return 1;
    vd::sys::CTimer timer;
    timer.clock = &FakeClock;
    g_now = 0;
    timer.Start();
    vd::sys::CPreLoading screen;
    EXPECT_TRUE(screen.Init(&graphics, &timer, 512, 316, "Data/textures/preloading/background.dds",
                            "Data/textures/preloading/indicator.dds"));
    g_now += 1100000000;  // past the first second: one mark
    screen.Render();
    std::vector<uint8_t> px;
    EXPECT_EQ(graphics.device->ReadPixels(nullptr, plat::gpu::Rect{0, 0, 512, 316}, &px),
              plat::gpu::kOk);
    auto at = [&](int x, int y) { return &px[static_cast<size_t>((y * 512 + x) * 4)]; };
    if (px.size() == 512u * 316u * 4u) {
      // The moon, at (0.72, 0.22) of the square texture squeezed to 512 x 316.
      const uint8_t* moon = at(368, static_cast<int>(0.22f * 316));
      EXPECT_GT(moon[2], 180);
      // The sky above the city is dark.
      const uint8_t* sky = at(40, 10);
      EXPECT_LT(sky[2], 60);
      // The first mark: a pale dot of 8 x 9.6 pixels at (450, 289).
      const uint8_t* mark = at(454, 294);
      EXPECT_GT(mark[1], 150);
      // The second mark is not drawn yet.
      const uint8_t* noMark = at(462, 295);
      EXPECT_LT(noMark[1], 100);
    } else {
      ADD_FAILURE() << "read " << px.size() << " bytes";
    }
    screen.Release();
    graphics.Release();
    return 0;
  }));
  EXPECT_EQ(renderThread.Wait(60000), plat::WaitResult::Signalled);
  EXPECT_EQ(renderThread.ExitCode(), 0u);
}

}  // namespace
