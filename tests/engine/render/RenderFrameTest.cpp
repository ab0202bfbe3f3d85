// The frame on the recording device: the pass order and what each flag switches,
// the drawn report of renderers whose entries lie in several lists, visibility by
// layer, frustum and zone, the sort orders, and the effect switches of the walks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/render/FramePasses.h"
#include "engine/render/RenderManager.h"
#include "engine/render/Shader.h"
#include "engine/render/buffers/VertexBuffer.h"
#include "platform/gpu/Device.h"
#include "tests/engine/render/buffers/MeshTestUtil.h"

using namespace vd;
using namespace vd::gfx;
namespace gpu = plat::gpu;

namespace {

using Trace = std::vector<std::string>;

class CPassTrace : public IFramePasses {
public:
  explicit CPassTrace(Trace& trace) : m_trace(trace) {}
  void RenderGlow() override { Add("Glow"); }
  void RenderDecalDepth(CRenderTarget*, int) override { Add("DecalDepth"); }
  void RenderLinearDepth(CRenderTarget*, int) override { Add("LinearDepth"); }
  void RenderSSAO(CRenderTarget*, CRenderTarget*, int w, int h) override {
    Add("SSAO " + std::to_string(w) + "x" + std::to_string(h));
  }
  void BlurSSAO(CRenderTarget*, CRenderTarget*, int, int, CRenderTarget*, int, int) override {
    Add("BlurSSAO");
  }
  void SimpleBlur(CRenderTarget*, int, int, CRenderTarget*, bool shadows, bool) override {
    Add(shadows ? "ShadowBlur" : "FinalBlur");
  }
  void RenderSunShadowMaps() override { Add("SunShadows"); }
  void RenderSpotShadowMaps() override { Add("SpotShadows"); }
  void RenderPointShadowMaps() override { Add("PointShadows"); }
  void RenderScreenShadows(CRenderTarget*, int) override { Add("ScreenShadows"); }
  void RenderCameraDepth(CRenderTarget*) override { Add("CameraDepth"); }
  void RenderDecals(float, float, float) override { Add("Decals"); }
  bool ApplyScreenShadows(CRenderTarget*) override { return Add("ApplyShadows"); }
  bool MergeGlow(CRenderTarget*, CRenderTarget*, CRenderTarget*, CRenderTarget*) override {
    return Add("MergeGlow");
  }
  bool RenderDepthOfField(CRenderTarget*, int, int) override { return Add("DoF"); }
  bool RenderRadialBlur(CRenderTarget*) override { return Add("RadialBlur"); }
  bool RenderFinalFX(CRenderTarget*, float dt) override {
    return Add("FilmLook " + std::to_string(dt));
  }
  bool FoldDepthOfFieldIntoFinalFX(CRenderTarget*, int, int) override {
    Add("FoldDoF");
    return canFold;
  }
  void SetSunLightParameters(CShader*) override {}
  void SetSpotLightParameters(CShader*) override {}
  void SetPointLightParameters(CShader*) override {}

  // What the fold of the depth of field answers.
  bool canFold = false;

private:
  // The full-screen passes draw.
  bool Add(const std::string& s) {
    m_trace.push_back(s);
    return true;
  }
  Trace& m_trace;
};

class CFakeRenderer : public IRenderable {
public:
  CFakeRenderer(Trace& trace, std::string name) : m_trace(trace), m_name(std::move(name)) {}
  void OnDrawn() override {
    ++drawn;
    m_trace.push_back("drawn " + m_name);
  }
  int drawn = 0;

private:
  Trace& m_trace;
  std::string m_name;
};

// A mesh of `subsets` subsets that is never drawn (no effect is loaded).
class CSubsetMesh : public IVertexBuffer {
public:
  explicit CSubsetMesh(uint32_t subsets) : m_subsets(subsets) {}
  bool IsValid() const override { return false; }
  void Release() override {}
  void Bind() override {}
  void DrawAll(bool) override {}
  void Draw(uint32_t, bool) override {}
  void DrawSubset(uint32_t, bool) override {}
  void DrawSubsetAt(uint32_t, bool) override {}
  uint32_t GetSubsetCount() const override { return m_subsets; }
  uint32_t FindSubset(uint32_t id) const override { return id; }
  uint32_t GetVertexCount() const override { return 0; }
  int32_t GetPrimitiveCount() const override { return 0; }

private:
  uint32_t m_subsets;
};

SCameraView g_view;
void ReadTestView(const cam::CCamera*, SCameraView& out) { out = g_view; }
// Never dereferenced by the render side: the reader above answers for it.
cam::CCamera* const kCamera = reinterpret_cast<cam::CCamera*>(&g_view);

class RenderFrameTest : public testing::Test {
protected:
  void SetUp() override {
    recorder = std::make_shared<gpu::Recorder>();
    gpuObject = gpu::CreateRecordingGpu(recorder);
    ASSERT_NE(gpuObject, nullptr);
    pp.backBufferWidth = 320;
    pp.backBufferHeight = 240;
    ASSERT_EQ(gpuObject->CreateDevice(0, gpu::kDevTypeHal, nullptr, 0, &pp, &device), gpu::kOk);
    SetRenderDevice(device);
    ASSERT_TRUE(render.Init(nullptr));
    render.framePasses = &passes;
    render.onPassFinished = [this] { trace.push_back("finished"); };
    g_view = SCameraView();  // all planes zero: everything is inside
    SetCameraViewReader(&ReadTestView);
  }
  void TearDown() override {
    SetCameraViewReader(nullptr);
    render.Shutdown();
    SetRenderDevice(nullptr);
    if (device) device->Release();
    if (gpuObject) gpuObject->Release();
  }

  // A registered renderer of one entry (or `entries` screen items).
  SRenderData& Add(const char* name, int type, int layer, int entries = 1) {
    renderers.push_back(std::make_unique<CFakeRenderer>(trace, name));
    data.push_back(std::make_unique<SRenderData>());
    SRenderData& d = *data.back();
    d.renderType = type;
    d.layer = layer;
    d.meshName = &meshName;
    d.screenItemCount = entries;
    d.renderer = renderers.back().get();
    std::vector<SRenderItem*> items;
    EXPECT_EQ(render.AddRenderer(d, items), entries);
    return d;
  }
  void Commit() {
    render.commitRequested = true;
    render.CommitRenderData();
  }
  void SetAllFlags(bool on) {
    for (SPair<bool>* flag : {&render.depthMap, &render.ssao, &render.shadows, &render.glow,
                              &render.screenShadows, &render.depthOfField, &render.radialBlur,
                              &render.decals, &render.finalBlur, &render.clearColourOnly})
      flag->Set(on);
    render.filmLook = on;
  }
  Trace Frame(float dt = 0.5f, float real = 1.0f) {
    trace.clear();
    render.RenderFrame(nullptr, dt, real);
    return trace;
  }

  std::shared_ptr<gpu::Recorder> recorder;
  gpu::Gpu* gpuObject = nullptr;
  gpu::Device* device = nullptr;
  gpu::PresentParameters pp;
  CRenderManager render;
  Trace trace;
  CPassTrace passes{trace};
  CStringHash meshName{"unit"};
  std::vector<std::unique_ptr<CFakeRenderer>> renderers;
  std::vector<std::unique_ptr<SRenderData>> data;
};

TEST_F(RenderFrameTest, PassesRunInTheFrameOrder) {
  Add("background", kRenderTypeBackground, kLayerBackground);
  Add("mesh", kRenderTypeAnimation, kLayerFloor);
  Add("water", kRenderTypeWater, kLayerFloor);
  Add("particles", kRenderTypeParticles, kLayerFrontScene);
  Add("hud", kRenderTypeHud, kLayerHud);
  Add("menu", kRenderTypeMenu, kLayerMenu);
  SetAllFlags(true);
  render.clearColourOnly.Set(false);
  render.viewCamera.Set(kCamera);
  Commit();
  recorder->Clear();
  const Trace expected = {"Glow",          "DecalDepth",  "LinearDepth",       "SSAO 80x60",
                          "BlurSSAO",      "SunShadows",  "SpotShadows",       "PointShadows",
                          "ScreenShadows", "CameraDepth", "drawn background",  "drawn mesh",
                          "Decals",        "MergeGlow",   "drawn water",       "drawn particles",
                          "DoF",           "RadialBlur",  "FilmLook 1.000000", "drawn hud",
                          "FinalBlur",     "drawn menu",  "finished"};
  EXPECT_EQ(Frame(), expected);
  // Every scene opened is closed, the clear takes the depth buffer, and Present
  // comes last.
  EXPECT_EQ(recorder->CountCalls("BeginScene"), recorder->CountCalls("EndScene"));
  EXPECT_EQ(recorder->CountCalls("Present"), 1u);
  const std::vector<std::string> clears = recorder->CallsNamed("Clear");
  ASSERT_EQ(clears.size(), 1u);
  EXPECT_NE(clears[0].find("flags=0x3"), std::string::npos) << clears[0];
  EXPECT_EQ(recorder->Calls().back().rfind("Present", 0), 0u) << recorder->Calls().back();
  EXPECT_TRUE(recorder->Errors().empty()) << recorder->Errors().front();
}

TEST_F(RenderFrameTest, WithoutACameraOnlyTheScreenListsAndTheFullScreenPassesRun) {
  Add("background", kRenderTypeBackground, kLayerBackground);
  Add("mesh", kRenderTypeStatic, kLayerFloor);
  Add("water", kRenderTypeWater, kLayerFloor);
  Add("particles", kRenderTypeParticles, kLayerFrontScene);
  Add("hud", kRenderTypeHud, kLayerHud);
  Add("menu", kRenderTypeMenu, kLayerMenu);
  SetAllFlags(true);
  Commit();
  recorder->Clear();
  const Trace expected = {"drawn background", "DoF",       "RadialBlur", "FilmLook 1.000000",
                          "drawn hud",        "FinalBlur", "drawn menu", "finished"};
  EXPECT_EQ(Frame(), expected);
  // The clear-colour-only flag leaves the depth buffer alone.
  const std::vector<std::string> clears = recorder->CallsNamed("Clear");
  ASSERT_EQ(clears.size(), 1u);
  EXPECT_NE(clears[0].find("flags=0x1 "), std::string::npos) << clears[0];
  // The scene clocks stand still without a scene.
  EXPECT_EQ(render.meshClock, 0.0f);
  EXPECT_EQ(render.hudClock, 0.5f);
}

TEST_F(RenderFrameTest, EachFlagSwitchesItsPasses) {
  struct Case {
    const char* name;
    SPair<bool> CRenderManager::*flag;
    SPair<bool> CRenderManager::*second;
    Trace passes;
  };
  const Case cases[] = {
      {"depth map", &CRenderManager::depthMap, nullptr, {"LinearDepth"}},
      {"ssao alone still draws the depth it reads",
       &CRenderManager::ssao,
       nullptr,
       {"LinearDepth", "SSAO 80x60", "BlurSSAO"}},
      {"glow", &CRenderManager::glow, nullptr, {"Glow", "LinearDepth", "MergeGlow"}},
      {"decals", &CRenderManager::decals, nullptr, {"DecalDepth", "LinearDepth", "Decals"}},
      {"shadows", &CRenderManager::shadows, nullptr, {"SunShadows", "SpotShadows", "PointShadows"}},
      {"screen shadows need shadows", &CRenderManager::screenShadows, nullptr, {}},
      {"shadows and screen shadows",
       &CRenderManager::shadows,
       &CRenderManager::screenShadows,
       {"SunShadows", "SpotShadows", "PointShadows", "ScreenShadows", "CameraDepth"}},
      {"depth of field", &CRenderManager::depthOfField, nullptr, {"DoF"}},
      {"radial blur", &CRenderManager::radialBlur, nullptr, {"RadialBlur"}},
      {"final blur", &CRenderManager::finalBlur, nullptr, {"FinalBlur"}},
  };
  render.viewCamera.Set(kCamera);
  for (const Case& c : cases) {
    SetAllFlags(false);
    (render.*c.flag).Set(true);
    if (c.second) (render.*c.second).Set(true);
    Commit();
    Trace got = Frame();
    got.erase(std::remove(got.begin(), got.end(), "finished"), got.end());
    EXPECT_EQ(got, c.passes) << c.name;
  }
}

// The decal depth is drawn for the decal pass alone, and both wait for a decal the
// decal manager says is there; without its word they run as the flag says.
TEST_F(RenderFrameTest, TheDecalPassesRunOnlyWithDecalsToDraw) {
  render.viewCamera.Set(kCamera);
  SetAllFlags(false);
  render.decals.Set(true);
  Commit();
  struct Case {
    int liveDecals;
    Trace passes;
  };
  const Case cases[] = {
      {-1, {"DecalDepth", "LinearDepth", "Decals"}},
      {0, {"LinearDepth"}},
      {3, {"DecalDepth", "LinearDepth", "Decals"}},
  };
  for (const Case& c : cases) {
    render.liveDecals = c.liveDecals;
    Trace got = Frame();
    got.erase(std::remove(got.begin(), got.end(), "finished"), got.end());
    EXPECT_EQ(got, c.passes) << c.liveDecals << " decals";
  }
}

// A full-screen copy costs about what a post pass does on a software device: the
// frame copies the back buffer only before a pass that reads the copy (shadow
// application, glow merge, water, depth of field, radial blur, film look, final
// blur) and only when the back buffer changed since the last copy.
TEST_F(RenderFrameTest, TheSceneCopyIsRefreshedOnlyBeforeAPassThatReadsIt) {
  CRenderTarget copy;
  ASSERT_EQ(device->CreateTexture(320, 240, 1, gpu::kUsageRenderTarget, gpu::kFmtA8R8G8B8,
                                  gpu::kPoolDefault, &copy.texture),
            gpu::kOk);
  ASSERT_EQ(copy.texture->GetSurfaceLevel(0, &copy.surface), gpu::kOk);
  copy.device = device;
  copy.width = 320;
  copy.height = 240;
  render.viewCamera.Set(kCamera);
  struct Case {
    const char* name;
    bool decals, glow, glowers, dof, radial, filmLook, water;
    size_t copies;
  };
  const Case cases[] = {
      {"no pass reads the copy", false, false, false, false, false, false, false, 0},
      {"the film look alone", false, false, false, false, false, true, false, 1},
      {"decals draw over the scene; the merge reads both", true, true, true, false, false, true,
       false, 2},
      {"no glower: no merge, no copy for it", true, true, false, true, false, true, false, 2},
      {"each full-screen pass reads the one before", false, false, false, true, true, true, false,
       3},
      {"water refracts the picture so far", false, false, false, false, false, true, true, 2},
  };
  for (const Case& c : cases) {
    if (c.water) Add("water", kRenderTypeWater, kLayerFloor);
    SetAllFlags(false);
    render.decals.Set(c.decals);
    render.glow.Set(c.glow);
    render.depthOfField.Set(c.dof);
    render.radialBlur.Set(c.radial);
    render.filmLook = c.filmLook;
    Commit();
    render.glowersDrawn = c.glowers;
    recorder->Clear();
    trace.clear();
    render.RenderFrame(&copy, 0.5f, 1.0f);
    EXPECT_EQ(recorder->CountCalls("StretchRect"), c.copies) << c.name;
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "MergeGlow"), c.glow && c.glowers ? 1 : 0)
        << c.name;
    EXPECT_TRUE(recorder->Errors().empty()) << c.name << ": " << recorder->Errors().front();
  }
}

// The water reads the copy only where the water walk draws it: out of view, it
// costs no copy.
TEST_F(RenderFrameTest, WaterOutOfViewTakesNoSceneCopy) {
  CRenderTarget copy;
  ASSERT_EQ(device->CreateTexture(320, 240, 1, gpu::kUsageRenderTarget, gpu::kFmtA8R8G8B8,
                                  gpu::kPoolDefault, &copy.texture),
            gpu::kOk);
  ASSERT_EQ(copy.texture->GetSurfaceLevel(0, &copy.surface), gpu::kOk);
  copy.device = device;
  copy.width = 320;
  copy.height = 240;
  g_view.frustum[0] = plat::Plane(-1.0f, 0.0f, 0.0f, 10.0f);  // x <= 10
  render.viewCamera.Set(kCamera);
  float outMin[3] = {20, 0, 0}, outMax[3] = {21, 1, 1};
  float inMin[3] = {0, 0, 0}, inMax[3] = {1, 1, 1};
  SRenderData& water = Add("water", kRenderTypeWater, kLayerFloor);
  SetAllFlags(false);
  render.filmLook = true;
  Commit();
  for (bool inView : {false, true}) {
    water.boxMin = inView ? inMin : outMin;
    water.boxMax = inView ? inMax : outMax;
    recorder->Clear();
    render.RenderFrame(&copy, 0.5f, 1.0f);
    EXPECT_EQ(recorder->CountCalls("StretchRect"), inView ? 2u : 1u) << inView;
    EXPECT_EQ(render.frameSceneCopies, inView ? 2u : 1u) << inView;
  }
}

// Depth of field followed at once by the film look is one full-screen draw: the
// fold is asked for only then, and a fold the passes refuse draws them apart.
TEST_F(RenderFrameTest, DepthOfFieldFoldsIntoTheFilmLookOnlyWhenNothingDrawsBetween) {
  CRenderTarget copy;
  ASSERT_EQ(device->CreateTexture(320, 240, 1, gpu::kUsageRenderTarget, gpu::kFmtA8R8G8B8,
                                  gpu::kPoolDefault, &copy.texture),
            gpu::kOk);
  ASSERT_EQ(copy.texture->GetSurfaceLevel(0, &copy.surface), gpu::kOk);
  copy.device = device;
  copy.width = 320;
  copy.height = 240;
  render.viewCamera.Set(kCamera);
  struct Case {
    const char* name;
    bool radial, filmLook, canFold;
    Trace passes;
    size_t copies;
  };
  const Case cases[] = {
      {"folded: one copy, read by the one draw",
       false,
       true,
       true,
       {"FoldDoF", "FilmLook 1.000000"},
       1},
      {"the passes cannot fold: drawn apart",
       false,
       true,
       false,
       {"FoldDoF", "DoF", "FilmLook 1.000000"},
       2},
      {"the radial blur draws between",
       true,
       true,
       true,
       {"DoF", "RadialBlur", "FilmLook 1.000000"},
       3},
      {"no film look to fold into", false, false, true, {"DoF"}, 1},
  };
  for (const Case& c : cases) {
    SetAllFlags(false);
    render.depthOfField.Set(true);
    render.radialBlur.Set(c.radial);
    render.filmLook = c.filmLook;
    passes.canFold = c.canFold;
    Commit();
    recorder->Clear();
    trace.clear();
    render.RenderFrame(&copy, 0.5f, 1.0f);
    trace.erase(std::remove(trace.begin(), trace.end(), "finished"), trace.end());
    EXPECT_EQ(trace, c.passes) << c.name;
    EXPECT_EQ(recorder->CountCalls("StretchRect"), c.copies) << c.name;
    EXPECT_TRUE(recorder->Errors().empty()) << c.name << ": " << recorder->Errors().front();
  }
}

TEST_F(RenderFrameTest, ARendererIsReportedOnceAfterTheLastOfItsEntriesInEveryList) {
  // Two subsets: one entry stays in the mesh list, the other moves to the particle
  // list, which is walked after the water list.
  CSubsetMesh twoSubsets(2);
  renderers.push_back(std::make_unique<CFakeRenderer>(trace, "split"));
  SRenderData split;
  split.renderType = kRenderTypeStatic;
  split.meshName = &meshName;
  split.mesh = &twoSubsets;
  split.renderer = renderers.back().get();
  std::vector<SRenderItem*> items;
  ASSERT_EQ(render.AddRenderer(split, items), 2);
  Add("water", kRenderTypeWater, kLayerFloor);
  // Outside the camera's frustum, and switched off: walked and reported all the same.
  float farMin[3] = {100, 0, 0}, farMax[3] = {101, 1, 1};
  SRenderData& culled = Add("culled", kRenderTypeStatic, kLayerFloor);
  culled.boxMin = farMin;
  culled.boxMax = farMax;
  SRenderData& off = Add("off", kRenderTypeStatic, kLayerFloor);
  Commit();
  render.QueueMoveToRenderList1({items[1]});
  render.DisableRenderer(off, {});
  Commit();
  ASSERT_EQ(render.DrawnList(kListParticle).size(), 1u);
  g_view.frustum[0] = plat::Plane(-1.0f, 0.0f, 0.0f, 10.0f);  // x <= 10
  render.viewCamera.Set(kCamera);
  Commit();

  SRenderItem culledItem = render.DrawnList(kListMesh).back();
  for (const SRenderItem& item : render.DrawnList(kListMesh))
    if (item.data == &culled) culledItem = item;
  render.TakeFrameViews();
  EXPECT_FALSE(render.IsEntryVisible(culledItem));

  const Trace got = Frame();
  auto at = [&got](const std::string& s) {
    return std::find(got.begin(), got.end(), s) - got.begin();
  };
  EXPECT_EQ(std::count(got.begin(), got.end(), "drawn split"), 1);
  EXPECT_GT(at("drawn split"), at("drawn water"));
  EXPECT_LT(at("drawn culled"), static_cast<long>(got.size()));
  EXPECT_LT(at("drawn off"), static_cast<long>(got.size()));
  // The next frame counts afresh.
  Frame();
  EXPECT_EQ(renderers[0]->drawn, 2);
}

// The glow pass asks first whether there is a glower to draw at all: one out of
// view or in the sky does not count.
TEST_F(RenderFrameTest, AGlowerToDrawIsOneInViewOutsideTheSky) {
  g_view.frustum[0] = plat::Plane(-1.0f, 0.0f, 0.0f, 10.0f);  // x <= 10
  render.viewCamera.Set(kCamera);
  float outMin[3] = {20, 0, 0}, outMax[3] = {21, 1, 1};
  float inMin[3] = {0, 0, 0}, inMax[3] = {1, 1, 1};
  Add("plain", kRenderTypeStatic, kLayerFloor);
  SRenderData& far = Add("far glower", kRenderTypeStatic, kLayerFloor);
  far.glower = 1;
  far.boxMin = outMin;
  far.boxMax = outMax;
  SRenderData& sky = Add("sky glower", kRenderTypeStatic, kLayerSky);
  sky.glower = 1;
  Commit();
  render.TakeFrameViews();
  EXPECT_FALSE(render.HasGlowerToDraw());
  SRenderData& near = Add("near glower", kRenderTypeAnimation, kLayerFloor);
  near.glower = 1;
  near.boxMin = inMin;
  near.boxMax = inMax;
  Commit();
  EXPECT_TRUE(render.HasGlowerToDraw());
}

TEST_F(RenderFrameTest, VisibilityByLayerFrustumAndZone) {
  g_view.frustum[0] = plat::Plane(-1.0f, 0.0f, 0.0f, 10.0f);  // x <= 10
  render.viewCamera.Set(kCamera);
  Commit();
  render.TakeFrameViews();
  float outMin[3] = {20, 0, 0}, outMax[3] = {21, 1, 1};
  float inMin[3] = {0, 0, 0}, inMax[3] = {1, 1, 1};
  plat::Mat4 movedOut = plat::Translation(50.0f, 0.0f, 0.0f);
  struct Case {
    int type, layer;
    float *boxMin, *boxMax;
    const plat::Mat4* world;
    bool visible;
  };
  const Case cases[] = {
      {kRenderTypeStatic, kLayerFloor, inMin, inMax, nullptr, true},
      {kRenderTypeStatic, kLayerFloor, outMin, outMax, nullptr, false},
      // Static boxes are world boxes; moving ones move with their transform.
      {kRenderTypeStatic, kLayerFloor, inMin, inMax, &movedOut, true},
      {kRenderTypeAnimation, kLayerFloor, inMin, inMax, &movedOut, false},
      {kRenderTypeDynamic, kLayerFloor, inMin, inMax, nullptr, true},
      // These layers are never culled.
      {kRenderTypeStatic, kLayerHud, outMin, outMax, nullptr, true},
      {kRenderTypeStatic, kLayerSky, outMin, outMax, nullptr, true},
      {kRenderTypeStatic, kLayerBackground, outMin, outMax, nullptr, true},
      {kRenderTypeStatic, kLayerMenu, outMin, outMax, nullptr, true},
      // A HUD entry elsewhere has no box to test: it is culled.
      {kRenderTypeHud, kLayerFloor, inMin, inMax, nullptr, false},
  };
  for (const Case& c : cases) {
    SRenderData d;
    d.boxMin = c.boxMin;
    d.boxMax = c.boxMax;
    d.world = c.world;
    SRenderItem item;
    item.renderType = c.type;
    item.layer = c.layer;
    item.data = &d;
    EXPECT_EQ(render.IsEntryVisible(item), c.visible)
        << "type " << c.type << " layer " << c.layer << " box x " << c.boxMin[0];
  }

  // Zones: static and water entries show only in the groups of the current zone.
  render.zoneGroups = {{CStringHash("street").GetHash()}, {CStringHash("bar").GetHash()}};
  const CStringHash street("street"), bar("bar");
  struct ZoneCase {
    int zone, type;
    const CStringHash* group;
    bool visible;
  };
  const ZoneCase zones[] = {
      {0, kRenderTypeStatic, &street, true},  {0, kRenderTypeStatic, &bar, false},
      {1, kRenderTypeWater, &bar, true},      {1, kRenderTypeWater, &street, false},
      {0, kRenderTypeStatic, nullptr, false}, {0, kRenderTypeAnimation, &bar, true},
      {-1, kRenderTypeStatic, &bar, true},    {2, kRenderTypeStatic, &bar, true},
  };
  for (const ZoneCase& z : zones) {
    render.gameZone = {z.zone, z.zone};
    SRenderData d;
    d.geometryZoneGroup = z.group;
    SRenderItem item;
    item.renderType = z.type;
    item.data = &d;
    EXPECT_EQ(render.IsEntryInVisibleZone(item), z.visible)
        << "zone " << z.zone << " type " << z.type;
  }
}

TEST_F(RenderFrameTest, EverySortOrderIsStrictAndWeak) {
  std::mt19937 random(7);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  std::vector<plat::Vec3> positions = {{0, 0, 0},   {1, 0, 0},     {-1, 0, 0}, {0, 0, 1},
                                       {nan, 0, 0}, {0, nan, nan}, {0, 0, 1},  {3, 4, 0}};
  std::vector<SRenderItem> items(48);
  for (size_t i = 0; i < items.size(); ++i) {
    SRenderItem& item = items[i];
    item.layer = static_cast<int>(random() % 2);
    item.renderType = 1 << (random() % 2);
    item.effect = random() % 2 ? 0xFFFFFFFFu : 5u;
    item.technique = random() % 2;
    item.currentMaterial = static_cast<int>(random() % 3) - 1;
    item.mesh = random() % 2;
    item.position = i % 9 == 8 ? nullptr : &positions[random() % positions.size()];
  }
  render.sortEye = plat::Vec3(0.5f, 0.0f, 0.0f);
  for (int mode : {0, 1, 2, 3}) {
    auto less = [&](const SRenderItem& a, const SRenderItem& b) {
      return render.EntryLess(a, b, mode);
    };
    auto equivalent = [&](const SRenderItem& a, const SRenderItem& b) {
      return !less(a, b) && !less(b, a);
    };
    for (const SRenderItem& a : items) {
      ASSERT_FALSE(less(a, a)) << "mode " << mode;
      for (const SRenderItem& b : items) {
        if (less(a, b)) {
          ASSERT_FALSE(less(b, a)) << "mode " << mode;
        }
        for (const SRenderItem& c : items) {
          if (less(a, b) && less(b, c)) {
            ASSERT_TRUE(less(a, c)) << "mode " << mode;
          }
          if (equivalent(a, b) && equivalent(b, c)) {
            ASSERT_TRUE(equivalent(a, c)) << "mode " << mode;
          }
        }
      }
    }
  }
  // Closer first: the distance decides before the state.
  SRenderItem nearer, farther;
  plat::Vec3 p0(0.5f, 0, 0), p1(9, 0, 0);
  nearer.position = &p0;
  nearer.layer = 7;
  farther.position = &p1;
  EXPECT_TRUE(render.EntryCloser(nearer, farther));
}

TEST_F(RenderFrameTest, BillboardAxesNeverTurnNaN) {
  struct Case {
    plat::Vec3 eye, position;
    int alignment;
  };
  const Case cases[] = {
      {{0, 10, 0}, {0, 0, 0}, 0},  // straight down
      {{0, -5, 0}, {0, 0, 0}, 0},  // straight up
      {{2, 2, 2}, {2, 2, 2}, 0},   // the eye on the system
      {{2, 2, 2}, {2, 2, 2}, 1},  {{0, 0, 5}, {0, 0, 0}, 2}, {{3, 1, 4}, {0, 0, 0}, 0},
  };
  for (const Case& c : cases) {
    plat::Vec3 right, up;
    CRenderManager::BillboardAxes(c.eye, c.position, plat::Vec3(0, 0, -1), plat::Vec3(1, 0, 0),
                                  c.alignment, right, up);
    for (float v : {right.x, right.y, right.z, up.x, up.y, up.z})
      ASSERT_TRUE(std::isfinite(v)) << "alignment " << c.alignment;
    EXPECT_NEAR(plat::Length(right), 1.0f, 1e-4f);
  }
  plat::Vec3 right, up;
  CRenderManager::BillboardAxes({0, 0, 10}, {0, 0, 0}, {0, 0, -1}, {1, 0, 0}, 1, right, up);
  EXPECT_EQ(up.y, -1.0f);
}

TEST_F(RenderFrameTest, AnEffectIsBegunOnlyWhenEffectOrTechniqueChanges) {
  auto* shader = new CShader();
  shader->Init(CStringHash("static_mesh"), "Data/shaders/static_mesh.fxo");
  ASSERT_TRUE(shader->LoadEffect(device));
  render.shaders.Add(CStringHash("static_mesh"), shader);
  const uint32_t effect = CStringHash("static_mesh").GetHash();
  EXPECT_TRUE(render.SwitchEffect(effect, CStringHash("static_mesh_tech")));
  EXPECT_TRUE(shader->begun);
  EXPECT_GT(render.CurrentPassCount(), 0u);
  EXPECT_FALSE(render.SwitchEffect(effect, CStringHash("static_mesh_tech")));
  EXPECT_TRUE(render.SwitchEffect(effect, CStringHash("other")));
  EXPECT_TRUE(shader->begun);
  // An effect that is not loaded leaves nothing current, and the old one ended.
  EXPECT_FALSE(render.SwitchEffect(CStringHash("missing").GetHash(), CStringHash()));
  EXPECT_EQ(render.CurrentEffect(), nullptr);
  EXPECT_FALSE(shader->begun);
  EXPECT_TRUE(recorder->Errors().empty()) << recorder->Errors().front();
}

TEST_F(RenderFrameTest, EntriesDrawTheSubsetAtTheirPositionWhateverItsId) {
  auto* shader = new CShader();
  shader->Init(CStringHash("static_mesh"), "Data/shaders/static_mesh.fxo");
  ASSERT_TRUE(shader->LoadEffect(device));
  render.shaders.Add(CStringHash("static_mesh"), shader);
  // Ids 7 and 3, in this order: neither is the position of its record.
  auto* mesh = new CVertexBuffer<TEXTURED_NORM_TANGENT_VERTEX>();
  const std::vector<SSubset> subsets = {{7, 1, 1, 3, 3, 0}, {3, 0, 1, 3, 0, 0}};
  const test::MeshBytes bytes =
      test::MakeMesh(std::vector<TEXTURED_NORM_TANGENT_VERTEX>(6), {}, subsets, false);
  test::MemorySource source(bytes.body);
  ASSERT_TRUE(mesh->Load(bytes.header, source, "subsets"));
  ASSERT_TRUE(mesh->Create());
  render.meshes.Add(meshName, mesh);

  renderers.push_back(std::make_unique<CFakeRenderer>(trace, "level"));
  SRenderData d;
  const CStringHash effect("static_mesh"), technique("static_mesh_tech");
  d.renderType = kRenderTypeStatic;
  d.layer = kLayerFloor;
  d.meshName = &meshName;
  d.mesh = mesh;
  d.shaderName = &effect;
  d.techniqueName = &technique;
  d.renderer = renderers.back().get();
  std::vector<SRenderItem*> items;
  ASSERT_EQ(render.AddRenderer(d, items), 2);
  render.viewCamera.Set(kCamera);
  Commit();
  render.TakeFrameViews();
  ASSERT_EQ(device->BeginScene(), gpu::kOk);
  recorder->Clear();
  render.DrawMeshList(nullptr, 0.0f);
  device->EndScene();
  std::vector<std::string> draws;
  for (const std::string& line : recorder->CallsNamed("DrawPrimitive"))
    draws.push_back(line.substr(0, line.find(" [")));
  // The list is sorted by state, so the order of the two entries is the sort's.
  std::sort(draws.begin(), draws.end());
  EXPECT_EQ(draws, (std::vector<std::string>{"DrawPrimitive type=4 start=0 prims=1",
                                             "DrawPrimitive type=4 start=3 prims=1"}));
  EXPECT_TRUE(recorder->Errors().empty()) << recorder->Errors().front();
  render.RemoveRenderer(d, items);
}

TEST_F(RenderFrameTest, ALoadingScreenFrameBetweenCreatedResourcesReportsNothingDrawn) {
  Add("screen", kRenderTypeHud, kLayerHud);
  render.viewCamera.Set(kCamera);
  Commit();
  render.onResourceCreated = [this] { render.DrawLoadingScreenFrame(); };
  for (const char* name : {"a", "b", "c"}) {
    auto* texture = new CTexture();
    render.queuedTextures.Add(CStringHash(name), texture);
    render.QueueTexture(texture);
  }
  recorder->Clear();
  trace.clear();
  Commit();
  // At least the first creation draws (the later ones may come too soon after it).
  const size_t presents = recorder->CountCalls("Present");
  EXPECT_GE(presents, 1u);
  EXPECT_LE(presents, 3u);
  EXPECT_EQ(recorder->CountCalls("BeginScene"), recorder->CountCalls("EndScene"));
  // The game's frame hand-off hears nothing of it.
  auto reports = [](const Trace& t) {
    Trace out;
    for (const std::string& line : t)
      if (line.rfind("drawn", 0) == 0 || line == "finished") out.push_back(line);
    return out;
  };
  EXPECT_TRUE(reports(trace).empty()) << reports(trace).front();
  EXPECT_EQ(renderers.back()->drawn, 0);
  // The next real frame reports as usual.
  EXPECT_EQ(reports(Frame()), (Trace{"drawn screen", "finished"}));

  // Only the render thread draws: a commit on another thread (the main thread's)
  // creates without a picture.
  recorder->Clear();
  std::thread([this] { render.DrawLoadingScreenFrame(); }).join();
  EXPECT_EQ(recorder->CountCalls("Present"), 0u);
  render.onResourceCreated = nullptr;
  EXPECT_TRUE(recorder->Errors().empty()) << recorder->Errors().front();
}

}  // namespace
