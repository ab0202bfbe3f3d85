#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/render/buffers/VertexBuffer.h"
#include "engine/render/device/GraphicsManager.h"
#include "engine/render/device/RenderTarget.h"
#include "platform/gpu/Device.h"
#include "platform/window/MessageBox.h"
#include "platform/window/Window.h"
#include "tests/engine/render/buffers/MeshTestUtil.h"
#include "tests/support/LogRecorder.h"

using namespace vd::gfx;
namespace gpu = plat::gpu;

namespace {

// A graphics manager over the recording back end, with a recorded message box and
// hooks that write down the order they ran in.
class RecordedDevice : public testing::Test {
protected:
  void SetUp() override {
    recorder = std::make_shared<gpu::Recorder>();
    previousSink = plat::SetMessageSink(&messages);
    gm.gpuFactory = [this](plat::Window*, std::string*) { return gpu::CreateRecordingGpu(recorder); };
    gm.hooks.renderManagerLost = [this] { order.push_back("renderManagerLost"); };
    gm.hooks.lightManagerLost = [this] { order.push_back("lightManagerLost"); };
    gm.hooks.particleManagerDevice = [this] { order.push_back("particleManagerDevice"); };
    gm.hooks.beforeReset = [this] {
      order.push_back("beforeReset");
      resetsBefore = recorder->CountCalls("Reset");
    };
    gm.hooks.afterReset = [this] {
      order.push_back(recorder->CountCalls("Reset") > resetsBefore ? "afterReset" : "afterReset(no Reset yet)");
    };
    gm.hooks.commitRenderData = [this] { order.push_back("commitRenderData"); };
  }
  void TearDown() override {
    gm.Release();
    plat::SetMessageSink(previousSink);
  }

  std::shared_ptr<gpu::Recorder> recorder;
  plat::RecordingMessageSink messages;
  plat::IMessageSink* previousSink = nullptr;
  CGraphicsManager gm;
  std::vector<std::string> order;
  size_t resetsBefore = 0;
};

gpu::DisplayMode Mode(uint32_t w, uint32_t h, uint32_t hz) { return gpu::DisplayMode{w, h, hz, gpu::kFmtX8R8G8B8}; }

}  // namespace

TEST_F(RecordedDevice, InitCreatesTheDeviceAndTheMainTarget) {
  ASSERT_TRUE(gm.Init(640, 480, 0));
  ASSERT_NE(gm.device, nullptr);
  EXPECT_EQ(GetRenderDevice(), gm.device);
  EXPECT_EQ(gm.deviceType, gpu::kDevTypeHal);
  const gpu::PresentParameters& pp = gm.presentParameters;
  EXPECT_EQ(pp.backBufferWidth, 640u);
  EXPECT_EQ(pp.backBufferHeight, 480u);
  EXPECT_EQ(pp.backBufferFormat, 21u);
  EXPECT_EQ(pp.backBufferCount, 1u);
  EXPECT_EQ(pp.swapEffect, gpu::kSwapEffectDiscard);
  EXPECT_TRUE(pp.windowed);
  EXPECT_TRUE(pp.enableAutoDepthStencil);
  EXPECT_EQ(pp.autoDepthStencilFormat, 75u);
  EXPECT_EQ(pp.presentationInterval, gpu::kPresentIntervalImmediate);
  uint32_t lighting = 1;
  gm.device->GetRenderState(gpu::kRsLighting, &lighting);
  EXPECT_EQ(lighting, 0u);

  ASSERT_NE(gm.mainTarget, nullptr);
  EXPECT_EQ(gm.mainTarget->width, 640u);
  EXPECT_EQ(gm.mainTarget->height, 480u);
  EXPECT_EQ(gm.mainTarget->format, 21u);
  EXPECT_TRUE(gm.mainTarget->sharedDepth);
  EXPECT_FALSE(gm.mainTarget->hasRenderToSurface);
  ASSERT_NE(gm.mainTarget->texture, nullptr);
  EXPECT_EQ(gm.mainTarget->texture->Pool(), gpu::kPoolDefault);
  EXPECT_NE(gm.mainTarget->surface, nullptr);
  ASSERT_NE(gm.mainTarget->quad, nullptr);
  EXPECT_TRUE(gm.mainTarget->quad->IsValid());
  EXPECT_EQ(gm.mainTarget->viewport.width, 640u);
  EXPECT_TRUE(messages.Requests().empty());
  EXPECT_TRUE(recorder->Errors().empty());

  gm.Release();
  EXPECT_EQ(gm.device, nullptr);
  EXPECT_EQ(gm.mainTarget, nullptr);
  EXPECT_EQ(gm.direct3D, nullptr);
  EXPECT_EQ(GetRenderDevice(), nullptr);
  gm.Release();  // twice is harmless
}

// Vsync asks the device to swap with the display, also after a reset; frames that
// show nowhere (no window on a display) are never held back.
TEST_F(RecordedDevice, VsyncSetsThePresentationIntervalAndPacesOnlyAShownWindow) {
  gm.vsync = 1;
  ASSERT_TRUE(gm.Init(640, 480, 0));
  EXPECT_EQ(gm.presentParameters.presentationInterval, gpu::kPresentIntervalOne);
  const size_t presents = recorder->CountCalls("Present");
  ASSERT_TRUE(gm.Reset());
  EXPECT_EQ(gm.device->GetPresentParameters().presentationInterval, gpu::kPresentIntervalOne);
  // The resized window shows a cleared picture at once, not the last one in a corner.
  EXPECT_EQ(recorder->CountCalls("Present"), presents + 1);
  for (int i = 0; i < 20; ++i) EXPECT_FALSE(gm.CheckDevice());
  EXPECT_EQ(gm.pacer.Mode(), CFramePacer::EMode::Off);
}

TEST_F(RecordedDevice, InitFailures) {
  struct Case {
    const char* what;
    std::function<void(gpu::Recorder&)> setup;
    const char* message;  // null: no message box
    bool owner;
  };
  const Case cases[] = {
      {"no adapter object", [](gpu::Recorder& r) { r.failCreateGpu = true; },
       "Direct3D object could not be acquired.", false},
      {"display format refused", [](gpu::Recorder& r) { r.checkDeviceTypeResult = gpu::kErrNotAvailable; },
       "Format not supported. Check your screen format", true},
      {"device creation fails", [](gpu::Recorder& r) { r.failingCalls.push_back("CreateDevice"); }, nullptr, false},
  };
  plat::Window* fakeWindow = nullptr;  // the recording back end needs none
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    recorder = std::make_shared<gpu::Recorder>();
    c.setup(*recorder);
    messages.Clear();
    CGraphicsManager manager;
    manager.window = fakeWindow;
    manager.gpuFactory = [this](plat::Window*, std::string*) { return gpu::CreateRecordingGpu(recorder); };
    EXPECT_FALSE(manager.Init(640, 480, 0));
    EXPECT_EQ(manager.device, nullptr);
    EXPECT_EQ(manager.mainTarget, nullptr);
    const auto shown = messages.Requests();
    if (c.message) {
      ASSERT_EQ(shown.size(), 1u);
      EXPECT_EQ(shown[0].text, c.message);
      EXPECT_TRUE(shown[0].caption.empty());
      EXPECT_EQ(shown[0].style, plat::kMbIconExclamation);
    } else {
      EXPECT_TRUE(shown.empty());
    }
  }
}

TEST_F(RecordedDevice, ResolutionsCollapseConsecutiveDuplicatesOnly) {
  recorder->adapterCount = 2;
  recorder->modes = {
      {Mode(640, 480, 60), Mode(640, 480, 75), Mode(800, 600, 60), Mode(640, 480, 85), Mode(1024, 768, 60)},
      {Mode(1024, 768, 75), Mode(1280, 720, 60)},
  };
  ASSERT_TRUE(gm.Init(800, 600, 0));
  const std::vector<SResolution> r = gm.GetResolutions();
  const std::vector<std::pair<float, float>> expected = {
      {640, 480}, {800, 600}, {640, 480}, {1024, 768}, {1280, 720}};
  ASSERT_EQ(r.size(), expected.size());
  for (size_t i = 0; i < r.size(); ++i) {
    EXPECT_EQ(r[i].width, expected[i].first) << i;
    EXPECT_EQ(r[i].height, expected[i].second) << i;
  }
  EXPECT_EQ(gm.currentResolution, 1u);
  gm.EnumerateResolutions(1280, 720);
  EXPECT_EQ(gm.currentResolution, 4u);
  gm.EnumerateResolutions(1920, 1080);  // not offered: the end of the list
  EXPECT_EQ(gm.currentResolution, gm.resolutions.size());
}

TEST_F(RecordedDevice, VertexProcessingFollowsTheCaps) {
  struct Case {
    uint32_t devCaps;
    uint32_t flags;
  };
  const Case cases[] = {
      {0, gpu::kCreateSoftwareVertexProcessing},
      {gpu::kDevCapsPureDevice, gpu::kCreateSoftwareVertexProcessing},
      {gpu::kDevCapsHwTransformAndLight, gpu::kCreateHardwareVertexProcessing},
      {gpu::kDevCapsHwTransformAndLight | gpu::kDevCapsPureDevice,
       gpu::kCreateHardwareVertexProcessing | gpu::kCreatePureDevice},
  };
  ASSERT_TRUE(gm.Init(640, 480, 0));
  for (const Case& c : cases) {
    recorder->caps.devCaps = c.devCaps;
    gm.SelectVertexProcessing();
    EXPECT_EQ(gm.behaviourFlags, c.flags) << std::hex << c.devCaps;
  }
}

TEST_F(RecordedDevice, MultiSampleSearchFallsBackToWhatBothFormatsSupport) {
  // 8 lacks the depth format, so 4 is the highest; 2 exists for both.
  recorder->multiSample = {
      {21, 8, 1}, {21, 4, 1}, {75, 4, 3}, {21, 2, 1}, {75, 2, 1}, {21, 1, 1}, {75, 1, 1},
  };
  ASSERT_TRUE(gm.Init(640, 480, 8));
  EXPECT_EQ(gm.maxMultiSample, 4u);
  EXPECT_EQ(gm.multiSampleType, 4u);
  EXPECT_EQ(gm.multiSampleQuality, 2u);  // depth check's levels - 1
  EXPECT_EQ(gm.presentParameters.multiSampleType, 4u);

  struct Case {
    int requested;
    uint32_t type;
    uint32_t quality;
  };
  const Case cases[] = {{16, 4, 2}, {3, 2, 0}, {2, 2, 0}, {1, 0, 0}, {0, 0, 0}};
  for (const Case& c : cases) {
    gm.multiSampleType = 99;
    gm.multiSampleQuality = 99;
    gm.SelectMultiSample(c.requested);
    EXPECT_EQ(gm.multiSampleType, c.type) << c.requested;
    EXPECT_EQ(gm.multiSampleQuality, c.quality) << c.requested;
  }
  gm.multiSampleType = 7;
  gm.SelectMultiSample(-1);  // a negative request changes nothing
  EXPECT_EQ(gm.multiSampleType, 7u);
}

TEST_F(RecordedDevice, LostDeviceSleepsAndDrawsNothing) {
  ASSERT_TRUE(gm.Init(640, 480, 0));
  recorder->ScriptCooperativeLevel({gpu::kErrDeviceLost, gpu::kErrDeviceLost});
  for (int i = 0; i < 2; ++i) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(gm.CheckDevice());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(19));
  }
  EXPECT_EQ(recorder->CountCalls("Reset"), 0u);
  EXPECT_TRUE(order.empty());
  EXPECT_FALSE(gm.CheckDevice());  // the script is used up: operational
}

TEST_F(RecordedDevice, DriverErrorShowsAMessageAndQuits) {
  ASSERT_TRUE(gm.Init(640, 480, 0));
  recorder->ScriptCooperativeLevel({gpu::kErrDriverInternal});
  EXPECT_FALSE(plat::QuitPending());
  EXPECT_TRUE(gm.CheckDevice());
  const auto shown = messages.Requests();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "Internal driver error!");
  EXPECT_EQ(shown[0].owner, nullptr);
  EXPECT_TRUE(shown[0].caption.empty());
  EXPECT_EQ(shown[0].style, 0u);
  EXPECT_TRUE(plat::QuitPending());
  EXPECT_EQ(recorder->CountCalls("Reset"), 0u);
}

TEST_F(RecordedDevice, NeedsResetRunsTheResetInOrderThenCommits) {
  int screenW = 800, screenH = 600;
  gm.hooks.screenSize = [&](int* w, int* h) {
    *w = screenW;
    *h = screenH;
  };
  ASSERT_TRUE(gm.Init(640, 480, 0));
  gm.presentParameters.backBufferWidth = 800;
  gm.presentParameters.backBufferHeight = 600;
  vd::test::CLogCapture log;
  recorder->ScriptCooperativeLevel({gpu::kErrDeviceNotReset});
  EXPECT_FALSE(gm.CheckDevice());
  EXPECT_EQ(log.Lines(), (std::vector<std::string>{"Device has been lost\n", "Device is going to reset\n"}));
  EXPECT_EQ(order, (std::vector<std::string>{"renderManagerLost", "lightManagerLost", "particleManagerDevice",
                                             "beforeReset", "afterReset", "commitRenderData"}));
  EXPECT_EQ(recorder->CountCalls("Reset"), 1u);
  EXPECT_TRUE(recorder->Errors().empty()) << recorder->Errors()[0];
  ASSERT_NE(gm.mainTarget, nullptr);
  EXPECT_EQ(gm.mainTarget->width, 800u);
  EXPECT_EQ(gm.mainTarget->height, 600u);
  EXPECT_NE(gm.mainTarget->texture, nullptr);
  EXPECT_EQ(gm.mainTarget->viewport.height, 600u);
  EXPECT_EQ(gm.device->GetPresentParameters().backBufferWidth, 800u);
}

TEST_F(RecordedDevice, RequestedResetAndNeedsResetBothRunInOnePass) {
  ASSERT_TRUE(gm.Init(640, 480, 0));
  gm.resetRequested = 1;
  EXPECT_FALSE(gm.CheckDevice());  // requested only
  EXPECT_EQ(gm.resetRequested, 0);
  EXPECT_EQ(recorder->CountCalls("Reset"), 1u);
  EXPECT_EQ(std::count(order.begin(), order.end(), "commitRenderData"), 1);

  order.clear();
  gm.resetRequested = 1;
  recorder->ScriptCooperativeLevel({gpu::kErrDeviceNotReset});
  EXPECT_FALSE(gm.CheckDevice());
  EXPECT_EQ(recorder->CountCalls("Reset"), 3u);
  EXPECT_EQ(std::count(order.begin(), order.end(), "commitRenderData"), 2);
  EXPECT_EQ(std::count(order.begin(), order.end(), "afterReset"), 2);
  EXPECT_FALSE(gm.CheckDevice());
  EXPECT_EQ(recorder->CountCalls("Reset"), 3u);
}

TEST_F(RecordedDevice, RefusedResetIsRetriedAtTheNextPass) {
  ASSERT_TRUE(gm.Init(640, 480, 0));
  recorder->resetResult = gpu::kErrInvalidCall;
  gm.resetRequested = 1;
  vd::test::CLogCapture log;
  EXPECT_TRUE(gm.CheckDevice());  // no frame from a device that refused its reset
  EXPECT_TRUE(gm.CheckDevice());
  EXPECT_EQ(gm.resetRequested, 1);
  EXPECT_EQ(std::count(order.begin(), order.end(), "afterReset"), 0);
  EXPECT_EQ(std::count(order.begin(), order.end(), "commitRenderData"), 0);
  const std::vector<std::string> lines = log.Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Device is going to reset\n"), 2);
  recorder->resetResult = gpu::kOk;
  order.clear();
  EXPECT_FALSE(gm.CheckDevice());
  EXPECT_EQ(gm.resetRequested, 0);
  EXPECT_EQ(order.back(), "commitRenderData");
  EXPECT_NE(gm.mainTarget->texture, nullptr);
}

TEST_F(RecordedDevice, RenderTargetSceneLossAndRelease) {
  ASSERT_TRUE(gm.Init(640, 480, 0));
  gpu::Viewport vp;
  vp.width = 64;
  vp.height = 32;
  CRenderTarget t;
  ASSERT_TRUE(t.Create(&gm, 64, 32, gpu::kFmtA8R8G8B8, true, gpu::kFmtD24S8, true, false, vp));
  ASSERT_NE(t.texture, nullptr);
  EXPECT_EQ(t.texture->Width(), 64u);
  EXPECT_EQ(t.texture->Usage(), gpu::kUsageRenderTarget);
  EXPECT_NE(t.surface, nullptr);
  EXPECT_NE(t.renderToSurface, nullptr);
  EXPECT_EQ(t.quad, nullptr);
  EXPECT_EQ(t.mipLevels, 1u);

  // With shared depth the scene keeps the device's depth buffer while it is open.
  t.BeginScene();
  EXPECT_EQ(t.inScene, 1);
  EXPECT_NE(t.savedDepth, nullptr);
  t.EndScene();
  EXPECT_EQ(t.inScene, 0);
  EXPECT_EQ(t.savedDepth, nullptr);

  t.OnLostDevice();
  EXPECT_EQ(t.wasValid, 1);
  EXPECT_EQ(t.texture, nullptr);
  EXPECT_EQ(t.surface, nullptr);
  t.OnResetDevice();
  EXPECT_NE(t.texture, nullptr);
  EXPECT_NE(t.surface, nullptr);

  gm.mainTarget->CaptureBackBuffer();
  EXPECT_EQ(recorder->CountCalls("StretchRect"), 1u);

  t.Release();
  EXPECT_EQ(t.texture, nullptr);
  EXPECT_EQ(t.renderToSurface, nullptr);
  EXPECT_EQ(t.graphicsManager, nullptr);
  EXPECT_EQ(t.width, 0u);
  t.Release();  // harmless twice
  EXPECT_TRUE(recorder->Errors().empty()) << recorder->Errors()[0];
}
