// The passes on the recording device: target sizes, what each pass draws with,
// the light limits, the effect values that matter, and the film-look schedules.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/Log.h"
#include "engine/render/RenderManager.h"
#include "engine/render/device/GraphicsManager.h"
#include "engine/render/lights/LightManager.h"
#include "engine/render/passes/FilmLook.h"
#include "engine/render/passes/RenderPasses.h"
#include "platform/fx/Effect.h"
#include "platform/gpu/Device.h"
#include "tests/support/LogRecorder.h"

namespace vd {
namespace {

namespace gpu = plat::gpu;
using gfx::CRenderPasses;
using gfx::CRenderTarget;

class CTestLight : public lig::CAbstractLight {
public:
  const CStringHash& GetType() const override { return kType; }
  void Load(rapidxml::xml_node<>*) override {}
  bool HasContent() override { return true; }
  bool Update(float) override { return true; }
  void CopyFrom(const obj::IComponent&) override {}
  bool Init() override { return true; }
  void Reset() override {}
  gfx::CTransform* GetTransform() const override { return nullptr; }
  plat::Vec3 GetPosition() const override { return position; }
  void SetTarget(const plat::Vec3&) override {}
  void RegisterWithManager() override {}
  void UnregisterFromManager() override {}
  plat::Vec3 position{1.0f, 2.0f, 3.0f};
  static inline const CStringHash kType{"CTestLight"};
};

// One call of a list walk: which effect and technique, into which target.
struct SDraw {
  std::string effect;
  std::string technique;
  bool glowersOnly = false;
  const plat::Mat4* view = nullptr;
  bool lightPosition = false;
};

class RenderPassesTest : public ::testing::Test {
protected:
  void SetUp() override {
    utl::SetLogSinks(&sinks);
    sinks.AddSink(new test::CLogRecorder(&log));
    recorder = std::make_shared<gpu::Recorder>();
    graphics.gpuFactory = [this](plat::Window*, std::string*) {
      return gpu::CreateRecordingGpu(recorder);
    };
    ASSERT_TRUE(graphics.Init(1366, 768, 0));
    ASSERT_TRUE(manager.Init(&graphics));
    for (const char* name : {"z_map", "Glow", "SSAO", "Blur", "shadowing", "DoF", "render2texture"})
      LoadEffect(name);
    passes = std::make_unique<CRenderPasses>(manager, &graphics);
    lights.Init();
    passes->lights = &lights;
    passes->draws.drawTable = [this](const gfx::STechniqueEntry* table, int count, bool glowers) {
      for (int i = 0; i < count; ++i)
        draws.push_back({table[i].effect.c_str(), table[i].technique, glowers, nullptr, false});
      return glowers ? glowersInList * count : count;
    };
    passes->draws.anyGlower = [this] { return glowersInList > 0 || glowerOutOfTable; };
    passes->draws.drawShadowCasters = [this](const CStringHash& effect, const char* technique,
                                             const plat::Mat4* view, const plat::Mat4*,
                                             const plat::Vec3* light) {
      draws.push_back({effect.c_str(), technique, false, view, light != nullptr});
      if (currentCube) faces.push_back(int(currentCube->currentFace));
    };
    camera.fov = 60.0f;
    camera.aspect = 16.0f / 9.0f;
    camera.nearPlane = 0.5f;
    camera.farPlane = 100.0f;
    camera.view = plat::LookAtRH(plat::Vec3(0, 2, 10), plat::Vec3(0, 0, 0), plat::Vec3(0, 1, 0));
    camera.projection =
        plat::PerspectiveFovRH(60.0f * 3.14159265f / 180.0f, camera.aspect, 0.5f, 100.0f);
    gfx::FillCameraAxes(camera);
    manager.viewState = camera;
    manager.cullState = camera;
    manager.hasView = true;
  }
  void TearDown() override {
    passes.reset();
    lights.liveLights.RemoveAll();
    manager.Shutdown();
    graphics.Release();
    utl::SetLogSinks(nullptr);
  }

  void LoadEffect(const char* name) {
    auto* shader = new gfx::CShader();
    shader->fileName = std::string("Data/shaders/") + name + ".fxo";
    ASSERT_TRUE(shader->LoadEffect(graphics.device)) << name;
    manager.shaders.Add(CStringHash(name), shader);
  }
  plat::fx::Effect* Effect(const char* name) {
    return manager.shaders.Find(CStringHash(name))->effect;
  }
  std::vector<float> Value(const char* effect, const char* parameter) {
    plat::fx::Effect* e = Effect(effect);
    const std::vector<uint32_t> words = e->GetRawValue(e->GetParameterByName(parameter));
    std::vector<float> out(words.size());
    for (size_t i = 0; i < words.size(); ++i) std::memcpy(&out[i], &words[i], 4);
    return out;
  }
  CTestLight& AddLight(uint32_t type, const char* id, bool shadows) {
    auto light = std::make_unique<CTestLight>();
    light->type = type;
    light->behaviour = shadows ? lig::kBehaviourShadows : 0;
    light->zoneMask = 1;
    light->zmapResolution = 64.0f;
    light->SetEnabled(true, false);
    if (type == lig::kLightSpot && shadows) light->shadowTarget = new CRenderTarget();
    if (type == lig::kLightPoint && shadows) light->cubeShadowTarget = new gfx::CCubeRenderTarget();
    for (int f = 0; f < 6; ++f) light->cubeViews[f].m[3][0] = float(f);
    CTestLight& ref = *light;
    lights.liveLights.Add(CStringHash(id), light.get());
    ownedLights.push_back(std::move(light));
    return ref;
  }

  utl::CLogSinkHolder sinks;
  std::string log;
  std::shared_ptr<gpu::Recorder> recorder;
  gfx::CGraphicsManager graphics;
  gfx::CRenderManager manager;
  lig::CLightManager lights;
  gfx::SCameraView camera;
  std::unique_ptr<CRenderPasses> passes;
  std::vector<SDraw> draws;
  // What a glowers-only walk finds for each row of its table.
  int glowersInList = 1;
  // A glower in the list whose walk through the glow table draws nothing.
  bool glowerOutOfTable = false;
  std::vector<int> faces;
  gfx::CCubeRenderTarget* currentCube = nullptr;
  std::vector<std::unique_ptr<CTestLight>> ownedLights;
};

struct SOwnedTargets {
  ~SOwnedTargets() {
    for (CTestLight* l : lights) {
      delete l->shadowTarget;
      delete l->cubeShadowTarget;
      l->shadowTarget = nullptr;
      l->cubeShadowTarget = nullptr;
    }
  }
  std::vector<CTestLight*> lights;
};

TEST_F(RenderPassesTest, SunSplitsAreDrawnAndRecordedAtTheirOwnSizes) {
  CTestLight& sun = AddLight(lig::kLightSun, "sun", true);
  sun.numSplits = 3;
  sun.splitTableSize = 6;
  sun.zmapResolution = 1024.0f;
  sun.view = plat::LookAtRH(plat::Vec3(50, 80, 20), plat::Vec3(0, 0, 0), plat::Vec3(0, 1, 0));
  sun.projection = plat::PerspectiveFovRH(0.5f, 1.0f, 10.0f, 300.0f);
  manager.sunLight = &sun;
  struct Case {
    bool half;
    int sizes[3];
  };
  for (const Case& c : {Case{false, {1024, 1024, 512}}, Case{true, {512, 512, 256}}}) {
    manager.halfResolutionShadows.render = c.half;
    passes.reset(new CRenderPasses(manager, &graphics));
    passes->draws.drawShadowCasters = [this](const CStringHash& e, const char* t,
                                             const plat::Mat4* v, const plat::Mat4*,
                                             const plat::Vec3* l) {
      draws.push_back({e.c_str(), t, false, v, l != nullptr});
    };
    draws.clear();
    passes->RenderSunShadowMaps();
    ASSERT_EQ(passes->SplitCount(), 3);
    ASSERT_EQ(draws.size(), 3u);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(passes->Split(i).resolution, c.sizes[i]) << i;
      EXPECT_EQ(int(passes->Split(i).target.width), c.sizes[i]) << i;
      EXPECT_EQ(passes->Split(i).target.format, gpu::kFmtR32F);
      EXPECT_EQ(draws[i].technique, "ComputeZForShadowsTech_Skinned");
    }
    EXPECT_LT(passes->Split(0).nearDistance, passes->Split(0).farDistance);
    EXPECT_EQ(passes->Split(0).farDistance, passes->Split(1).nearDistance);
    // The effects get the sizes the maps were drawn at.
    passes->SetSunLightParameters(Effect("shadowing"));
    const std::vector<float> res = Value("shadowing", "gSunLightSplitZMapRes");
    ASSERT_EQ(res.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(res[i], float(c.sizes[i]));
    EXPECT_EQ(Value("shadowing", "gNumSunSplits")[0], 3.0f);
  }
}

TEST_F(RenderPassesTest, ShadowMapsFollowTheHalfResolutionSwitchAcrossFrames) {
  CTestLight& sun = AddLight(lig::kLightSun, "sun", true);
  sun.numSplits = 3;
  sun.splitTableSize = 6;
  sun.zmapResolution = 1024.0f;
  manager.sunLight = &sun;
  CTestLight& spot = AddLight(lig::kLightSpot, "spot", true);
  CTestLight& lamp = AddLight(lig::kLightPoint, "lamp", true);
  SOwnedTargets owned{{&spot, &lamp}};
  // One passes object, as in the game: the quality preset switches between frames.
  struct Frame {
    bool half;
    int splits[3];
    int light;  // spot and point maps of a 64 z-map
  };
  for (const Frame& f : {Frame{false, {1024, 1024, 512}, 64}, Frame{true, {512, 512, 256}, 32},
                         Frame{false, {1024, 1024, 512}, 64}}) {
    manager.halfResolutionShadows.render = f.half;
    passes->RenderSunShadowMaps();
    passes->RenderSpotShadowMaps();
    passes->RenderPointShadowMaps();
    ASSERT_EQ(passes->SplitCount(), 3);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(int(passes->Split(i).target.width), f.splits[i]) << f.half << " split " << i;
      EXPECT_EQ(passes->Split(i).resolution, f.splits[i]) << f.half << " split " << i;
      ASSERT_NE(passes->Split(i).target.texture, nullptr);
      EXPECT_EQ(int(passes->Split(i).target.texture->Width()), f.splits[i]);
    }
    EXPECT_EQ(int(spot.shadowTarget->width), f.light) << f.half;
    EXPECT_EQ(int(lamp.cubeShadowTarget->size), f.light) << f.half;
  }
  EXPECT_TRUE(recorder->Errors().empty()) << recorder->Errors().front();
}

TEST_F(RenderPassesTest, FramesWithoutSunShadowsSendNoSplits) {
  CTestLight& sun = AddLight(lig::kLightSun, "sun", true);
  sun.numSplits = 2;
  sun.splitTableSize = 6;
  sun.zmapResolution = 256.0f;
  struct Case {
    const char* what;
    bool sunPresent, sunShadows, shadows;
  };
  for (const Case& c :
       {Case{"no sun", false, true, true}, Case{"sun shadows off", true, false, true},
        Case{"shadows off", true, true, false}}) {
    // A frame with the sun's splits first.
    manager.sunLight = &sun;
    manager.sunShadows.render = manager.shadows.render = true;
    passes->RenderSunShadowMaps();
    passes->SetSunLightParameters(Effect("shadowing"));
    ASSERT_EQ(Value("shadowing", "gNumSunSplits")[0], 2.0f);
    // Then one without: the shadow maps are drawn only with shadows on.
    manager.sunLight = c.sunPresent ? &sun : nullptr;
    manager.sunShadows.render = c.sunShadows;
    manager.shadows.render = c.shadows;
    if (c.shadows) passes->RenderSunShadowMaps();
    passes->SetSunLightParameters(Effect("shadowing"));
    EXPECT_EQ(Value("shadowing", "gNumSunSplits")[0], 0.0f) << c.what;
  }
}

TEST_F(RenderPassesTest, MoreSunSplitsThanThreeAreCutWithALogLine) {
  CTestLight& sun = AddLight(lig::kLightSun, "sun", true);
  sun.numSplits = 5;
  sun.splitTableSize = 6;
  sun.zmapResolution = 256.0f;
  manager.sunLight = &sun;
  passes->RenderSunShadowMaps();
  EXPECT_EQ(passes->SplitCount(), 3);
  EXPECT_EQ(draws.size(), 3u);
  EXPECT_NE(log.find("5 shadow splits"), std::string::npos) << log;
  // No sun, or sun shadows off: nothing.
  draws.clear();
  manager.sunShadows.render = false;
  passes->RenderSunShadowMaps();
  EXPECT_EQ(passes->SplitCount(), 0);
  EXPECT_TRUE(draws.empty());
}

TEST_F(RenderPassesTest, PointLightViewsGoToTheirCubeFacesWithTheXFacesTraded) {
  const int expected[6] = {1, 0, 2, 3, 4, 5};
  for (int view = 0; view < 6; ++view) EXPECT_EQ(gfx::CubeFaceForView(view), expected[view]);

  CTestLight& light = AddLight(lig::kLightPoint, "lamp", true);
  SOwnedTargets owned{{&light}};
  currentCube = light.cubeShadowTarget;
  manager.halfResolutionShadows.render = true;
  passes->RenderPointShadowMaps();
  ASSERT_EQ(draws.size(), 6u);
  EXPECT_EQ(faces, std::vector<int>({1, 0, 2, 3, 4, 5}));
  for (int view = 0; view < 6; ++view) {
    EXPECT_EQ(draws[view].view, &light.cubeViews[view]) << view;
    EXPECT_EQ(draws[view].technique, "ComputeCubicZForShadowsTech_Skinned");
    EXPECT_TRUE(draws[view].lightPosition);
  }
  // Half-resolution shadows: a 64 z-map gives a 32 x 32 cube.
  EXPECT_EQ(light.cubeShadowTarget->size, 32u);
}

TEST_F(RenderPassesTest, ShadowMapsAndLightArraysStopAtFourPointAndThreeSpotLights) {
  SOwnedTargets owned;
  for (int i = 0; i < 6; ++i)
    owned.lights.push_back(&AddLight(lig::kLightPoint, ("p" + std::to_string(i)).c_str(), true));
  for (int i = 0; i < 6; ++i)
    owned.lights.push_back(&AddLight(lig::kLightSpot, ("s" + std::to_string(i)).c_str(), true));
  passes->RenderPointShadowMaps();
  EXPECT_EQ(draws.size(), 4u * 6u);
  draws.clear();
  passes->RenderSpotShadowMaps();
  EXPECT_EQ(draws.size(), 3u);
  EXPECT_NE(log.find("6 point lights"), std::string::npos) << log;
  EXPECT_NE(log.find("6 spot lights"), std::string::npos) << log;
}

TEST_F(RenderPassesTest, FarCornerDistanceOfTheViewCamera) {
  EXPECT_NEAR(gfx::GetCameraFarMaxLength(camera), 154.494f, 0.0005f);
  EXPECT_NEAR(gfx::GetCameraFarMaxLength(90.0f, 1.0f, 1.0f), std::sqrt(3.0f), 1e-6f);
  // What the passes hand their effects.
  passes->GaussianBlur(nullptr, manager.renderTargets[0], 8, 8, manager.renderTargets[9], 8, 8,
                       true);
  EXPECT_NEAR(Value("Blur", "gCamera_far_max_length")[0], 154.494f, 0.0005f);
}

TEST_F(RenderPassesTest, DepthOfFieldBlursAtAQuarterOfTheScreen) {
  const gfx::SDoFSizes a = gfx::DepthOfFieldSizes(1280, 720);
  EXPECT_EQ(a.width, 320);
  EXPECT_EQ(a.height, 180);
  EXPECT_FLOAT_EQ(a.blurredPixelWidth, 1.0f / 320.0f);
  EXPECT_FLOAT_EQ(a.blurredPixelHeight, 1.0f / 180.0f);
  const gfx::SDoFSizes b = gfx::DepthOfFieldSizes(1366, 768);
  EXPECT_EQ(b.width, 341);
  EXPECT_EQ(b.height, 192);
  EXPECT_FLOAT_EQ(b.blurredPixelWidth, 1.0f / 341.5f);

  CRenderTarget& scene = *graphics.mainTarget;
  passes->RenderDepthOfField(scene, 1366, 768);
  EXPECT_EQ(manager.renderTargets[gfx::kTargetBlur].width, 341u);
  EXPECT_EQ(manager.renderTargets[gfx::kTargetBlur].height, 192u);
  EXPECT_EQ(manager.renderTargets[gfx::kTargetDoFBlur].width, 341u);
  // The vertical blur, the last one, steps by the quarter-size source's texels.
  EXPECT_EQ(Value("Blur", "gTextureToBlur_res_w")[0], 341.0f);
  EXPECT_EQ(Value("Blur", "gTextureToBlur_res_h")[0], 192.0f);
  EXPECT_EQ(Value("Blur", "gWeightDepthNormal")[0], 0.0f);
  EXPECT_FLOAT_EQ(Value("DoF", "gDoF_bluredPixelSize")[0], 1.0f / 341.5f);
  EXPECT_FLOAT_EQ(Value("DoF", "gDoF_pixelSize")[1], 1.0f / 768.0f);
  EXPECT_TRUE(recorder->Errors().empty()) << recorder->Errors().front();
}

TEST_F(RenderPassesTest, MissingNoiseTextureOrEffectTurnsSSAOOffWithOneLogLine) {
  CRenderTarget& depth = manager.renderTargets[gfx::kTargetLinearDepth];
  CRenderTarget& out = manager.renderTargets[gfx::kTargetSSAO];
  EXPECT_FALSE(passes->RenderSSAO(depth, out, 341, 192));
  EXPECT_FALSE(manager.ssao.render) << "the scene must not read an undrawn map";
  EXPECT_FALSE(passes->RenderSSAO(depth, out, 341, 192));
  EXPECT_FALSE(out.IsCreated());
  passes->BlurSSAO(out, depth, 341, 192, manager.renderTargets[gfx::kTargetAmbientOcclusion], 341,
                   192);
  EXPECT_FALSE(manager.renderTargets[gfx::kTargetAmbientOcclusion].IsCreated());
  size_t first = log.find("SSAO_noise.dds");
  ASSERT_NE(first, std::string::npos) << log;
  EXPECT_EQ(log.find("SSAO_noise.dds", first + 1), std::string::npos) << "reported once";

  delete manager.shaders.Remove(CStringHash("Blur"));
  CRenderTarget& glow = manager.renderTargets[gfx::kTargetGlowColour];
  passes->RenderGlow();  // the blur is skipped, the glow targets are still drawn
  EXPECT_NE(log.find("no effect Blur"), std::string::npos) << log;
  EXPECT_TRUE(glow.IsCreated());
}

TEST_F(RenderPassesTest, DepthAndGlowPassesDrawTheirTablesIntoTheirTargets) {
  manager.glowSize = 256;
  CRenderTarget& glowColour = manager.renderTargets[gfx::kTargetGlowColour];
  passes->RenderGlow();
  ASSERT_EQ(draws.size(), 4u);
  EXPECT_EQ(draws[0].technique, "glowTech");
  EXPECT_EQ(draws[1].technique, "glowTech_Skinned");
  EXPECT_EQ(draws[2].technique, "ComputeZNLinearTechGlow");
  for (const SDraw& d : draws) EXPECT_TRUE(d.glowersOnly);
  EXPECT_EQ(glowColour.width, 256u);
  EXPECT_EQ(manager.renderTargets[gfx::kTargetGlowDepth].format, gpu::kFmtR32F);

  // The blur of the glow into itself reads one texture and draws another, which
  // then becomes the glow colour.
  gpu::Texture* before = glowColour.texture;
  passes->RenderGlow();
  EXPECT_NE(glowColour.texture, before);
  EXPECT_EQ(Effect("Blur")->GetTexture(Effect("Blur")->GetParameterByName("gTextureToBlurInput")),
            before);

  draws.clear();
  passes->RenderDecalDepth(manager.renderTargets[gfx::kTargetDecalDepth], 128);
  for (const SDraw& d : draws) EXPECT_EQ(d.technique.find("Skinned"), std::string::npos);
  draws.clear();
  passes->RenderLinearDepth(manager.renderTargets[gfx::kTargetLinearDepth], 128);
  EXPECT_EQ(draws.back().technique, "ComputeZNLinearTech_Skinned");
  // A live target keeps its size when the size setting changes.
  passes->RenderLinearDepth(manager.renderTargets[gfx::kTargetLinearDepth], 512);
  EXPECT_EQ(manager.renderTargets[gfx::kTargetLinearDepth].width, 128u);
  EXPECT_TRUE(recorder->Errors().empty()) << recorder->Errors().front();
}

TEST_F(RenderPassesTest, GlowWithoutGlowersDrawsAndAddsNothing) {
  CRenderTarget& scene = *graphics.mainTarget;
  CRenderTarget& glowColour = manager.renderTargets[gfx::kTargetGlowColour];
  manager.glowSize = 256;
  auto glowFrame = [&] {
    recorder->Clear();
    passes->RenderGlow();
    ASSERT_EQ(graphics.device->BeginScene(), gpu::kOk);
    passes->MergeGlow(scene, glowColour, manager.renderTargets[gfx::kTargetGlowDepth],
                      manager.renderTargets[gfx::kTargetLinearDepth]);
    graphics.device->EndScene();
  };
  // No glower in the list: not even the glow colour is cleared, as nothing reads it.
  glowersInList = 0;
  glowFrame();
  EXPECT_TRUE(draws.empty());
  EXPECT_EQ(recorder->CountCalls("Clear"), 0u);
  EXPECT_FALSE(glowColour.IsCreated());
  EXPECT_FALSE(manager.glowersDrawn);
  // A glower the walk does not draw: the glow colour is drawn (cleared); its depth,
  // the blur and the merge are not.
  glowerOutOfTable = true;
  glowFrame();
  gpu::Texture* cleared = glowColour.texture;
  EXPECT_EQ(recorder->CountCalls("DrawPrimitive"), 0u);
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0].technique, "glowTech");
  EXPECT_EQ(draws[1].technique, "glowTech_Skinned");
  EXPECT_FALSE(manager.renderTargets[gfx::kTargetGlowDepth].IsCreated());
  EXPECT_FALSE(manager.glowersDrawn);
  glowFrame();
  EXPECT_EQ(glowColour.texture, cleared) << "not blurred into the other target";
  EXPECT_EQ(recorder->CountCalls("DrawPrimitive"), 0u);

  // One glower: its depth is drawn, its colour is blurred and summed into the picture.
  glowersInList = 1;
  draws.clear();
  glowFrame();
  EXPECT_EQ(draws.size(), 4u);
  EXPECT_TRUE(manager.renderTargets[gfx::kTargetGlowDepth].IsCreated());
  EXPECT_TRUE(manager.glowersDrawn);
  EXPECT_NE(glowColour.texture, cleared);
  EXPECT_EQ(recorder->CountCalls("DrawPrimitive"), 2u) << "the blur's quad and the merge's";
  EXPECT_EQ(Effect("render2texture")
                ->GetTexture(Effect("render2texture")->GetParameterByName("gTexureToSum")),
            glowColour.texture);
  EXPECT_TRUE(recorder->Errors().empty()) << recorder->Errors().front();
}

// Full-screen passes that draw nothing and answer as told whether they drew.
class CAnsweringPasses : public gfx::IFramePasses {
public:
  void RenderGlow() override {}
  void RenderDecalDepth(CRenderTarget*, int) override {}
  void RenderLinearDepth(CRenderTarget*, int) override {}
  void RenderSSAO(CRenderTarget*, CRenderTarget*, int, int) override {}
  void BlurSSAO(CRenderTarget*, CRenderTarget*, int, int, CRenderTarget*, int, int) override {}
  void SimpleBlur(CRenderTarget*, int, int, CRenderTarget*, bool, bool) override {}
  void RenderSunShadowMaps() override {}
  void RenderSpotShadowMaps() override {}
  void RenderPointShadowMaps() override {}
  void RenderScreenShadows(CRenderTarget*, int) override {}
  void RenderCameraDepth(CRenderTarget*) override {}
  void RenderDecals(float, float, float) override {}
  bool ApplyScreenShadows(CRenderTarget*) override { return true; }
  bool MergeGlow(CRenderTarget*, CRenderTarget*, CRenderTarget*, CRenderTarget*) override {
    return true;
  }
  bool RenderDepthOfField(CRenderTarget*, int, int) override { return true; }
  bool RenderRadialBlur(CRenderTarget*) override { return true; }
  bool RenderFinalFX(CRenderTarget*, float) override { return filmLookDraws; }
  void SetSunLightParameters(gfx::CShader*) override {}
  void SetSpotLightParameters(gfx::CShader*) override {}
  void SetPointLightParameters(gfx::CShader*) override {}
  bool filmLookDraws = true;
};

// Depth of field and the radial blur chained into the second copy leave the back
// buffer behind; a film look that then draws nothing must not leave the frame
// without their picture: the back buffer takes it from the copy.
TEST_F(RenderPassesTest, AChainEndingInAPassThatDrawsNothingHandsItsPictureToTheBackBuffer) {
  CAnsweringPasses answering;
  manager.framePasses = &answering;
  manager.depthOfField.Set(true);
  manager.radialBlur.Set(true);
  manager.filmLook = true;
  manager.commitRequested = true;
  manager.CommitRenderData();
  for (bool filmLookDraws : {true, false}) {
    answering.filmLookDraws = filmLookDraws;
    recorder->Clear();
    manager.RenderFrame(graphics.mainTarget, 0.1f, 0.1f);
    const std::vector<std::string> copies = recorder->CallsNamed("StretchRect");
    ASSERT_EQ(copies.size(), filmLookDraws ? 1u : 2u) << filmLookDraws;
    EXPECT_NE(copies[0].find("backbuffer ->"), std::string::npos) << copies[0];
    if (!filmLookDraws) EXPECT_NE(copies[1].find("-> backbuffer"), std::string::npos) << copies[1];
    EXPECT_EQ(recorder->CountCalls("SetRenderTarget"), 4u) << "two passes into the spare and back";
    EXPECT_TRUE(recorder->Errors().empty()) << recorder->Errors().front();
  }
  manager.framePasses = nullptr;
}

TEST_F(RenderPassesTest, AFoldedDepthOfFieldIsBlendedByTheNextFilmLookOnly) {
  CRenderTarget& scene = *graphics.mainTarget;
  manager.dofFocalPlane = 7.0f;
  // The frame's linear depth tells each pixel's distance from the focal plane.
  passes->RenderLinearDepth(manager.renderTargets[gfx::kTargetLinearDepth], 512);
  ASSERT_TRUE(passes->FoldDepthOfFieldIntoFinalFX(scene, 1366, 768));
  // The blurred copy is made as for the pass of its own, whose draw is left out.
  EXPECT_EQ(manager.renderTargets[gfx::kTargetDoFBlur].width, 341u);
  EXPECT_EQ(Value("DoF", "gDoF_bluredPixelSize")[0], 0.0f);
  EXPECT_NE(Value("render2texture", "gFinalFXDoF")[0], 0.0f);
  EXPECT_FLOAT_EQ(Value("render2texture", "gDoF_bluredPixelSize")[0], 1.0f / 341.5f);
  EXPECT_NE(Value("render2texture", "gDoFDepthKnown")[0], 0.0f);
  EXPECT_FLOAT_EQ(Value("render2texture", "gFocalDist")[0], 7.0f);
  plat::fx::Effect* film = Effect("render2texture");
  EXPECT_EQ(film->GetTexture(film->GetParameterByName("gDoFBluredTexture")),
            manager.renderTargets[gfx::kTargetDoFBlur].texture);
  ASSERT_EQ(graphics.device->BeginScene(), gpu::kOk);
  passes->RenderFinalFX(&scene, 0.1f);
  graphics.device->EndScene();
  EXPECT_FALSE(passes->DepthOfFieldFolded());
  EXPECT_EQ(Value("render2texture", "gFinalFXDoF")[0], 0.0f);

  // Without the depth of field's effect nothing is folded and nothing blurred.
  manager.renderTargets[gfx::kTargetDoFBlur].Release();
  delete manager.shaders.Remove(CStringHash("DoF"));
  EXPECT_FALSE(passes->FoldDepthOfFieldIntoFinalFX(scene, 1366, 768));
  EXPECT_FALSE(manager.renderTargets[gfx::kTargetDoFBlur].IsCreated());
  EXPECT_EQ(Value("render2texture", "gFinalFXDoF")[0], 0.0f);
  EXPECT_TRUE(recorder->Errors().empty()) << recorder->Errors().front();
}

TEST_F(RenderPassesTest, PostPassesSetWhatTheirEffectsRead) {
  CRenderTarget& scene = *graphics.mainTarget;
  manager.glowSize = 1024;
  // The post chain opens the scene these two draw in.
  ASSERT_EQ(graphics.device->BeginScene(), gpu::kOk);
  passes->ApplyScreenShadows(scene);
  passes->MergeGlow(scene, manager.renderTargets[4], manager.renderTargets[5],
                    manager.renderTargets[2]);
  EXPECT_EQ(Value("render2texture", "gPixelSizeTexureToSum"),
            std::vector<float>({1.0f / 1024.0f, 1.0f / 1024.0f}));
  graphics.device->EndScene();
  manager.radialBlurStrength.render = 0.7f;
  passes->RenderRadialBlur(scene);
  EXPECT_EQ(Value("render2texture", "gRadialBlurStrength")[0], 0.7f);
  EXPECT_EQ(Value("render2texture", "gRadialBlurCenter"), std::vector<float>({0.5f, 0.5f}));
  EXPECT_TRUE(recorder->Errors().empty()) << recorder->Errors().front();
}

// --- Film look ---------------------------------------------------------------------

class FilmLookTest : public RenderPassesTest {
protected:
  void SetUp() override {
    RenderPassesTest::SetUp();
    film = std::make_unique<gfx::CFilmLook>(manager, *passes);
    film->nextRandom = &Scripted;
    s_script.clear();
    s_next = 0;
  }
  void TearDown() override {
    film.reset();
    RenderPassesTest::TearDown();
  }
  // Draws come from the script, as (value mod 100) x 0.01; 0 once it is used up.
  static int Scripted() { return s_next < s_script.size() ? s_script[s_next++] : 0; }
  static inline std::vector<int> s_script;
  static inline size_t s_next = 0;
  std::unique_ptr<gfx::CFilmLook> film;
};

TEST_F(FilmLookTest, DesaturationIsKeptInsideItsRange) {
  const float cases[][2] = {{2.0f, 1.0f}, {0.1f, 0.27f}, {0.5f, 0.5f}, {NAN, 0.27f}};
  for (const auto& c : cases) {
    gfx::SetDesaturationFactor(manager, c[0]);
    EXPECT_FLOAT_EQ(manager.desaturation, c[1]) << c[0];
  }
}

TEST_F(FilmLookTest, FlashShowsItsFirstImageForThreeTenthsAndItsSecondForOneTenth) {
  manager.filmLookSwitches[0] = true;  // lines on
  manager.filmLookSwitches[1] = true;  // restart
  film->line.u = -0.5f;
  film->random[2] = 0.7f;
  plat::fx::Effect* effect = Effect("render2texture");
  const float dt = 0.01f;
  int first = 0, second = 0;
  for (int frame = 0; frame < 100 && (frame == 0 || film->flash.active); ++frame) {
    ASSERT_TRUE(film->UpdateOldMovieLines(dt, effect));
    if (!film->flash.active) break;
    (Value("render2texture", "gOldMovieFlashLinesIndex")[0] == 0.0f ? first : second)++;
  }
  EXPECT_FALSE(manager.filmLookSwitches[1]) << "the restart is taken";
  EXPECT_NEAR(first * dt, 0.3f, 0.0151f);
  EXPECT_NEAR(second * dt, 0.1f, 0.0151f);
  // The drifting line started at once, from where u stood.
  EXPECT_TRUE(film->line.active);
  EXPECT_GT(film->line.u, -0.5f);

  // Lines off: both overlays off, nothing advances.
  manager.filmLookSwitches[0] = false;
  const float timer = film->line.timer;
  EXPECT_FALSE(film->UpdateOldMovieLines(dt, effect));
  EXPECT_EQ(Value("render2texture", "gOldMovieLine")[0], 0.0f);
  EXPECT_EQ(film->line.timer, timer);
  EXPECT_FALSE(film->UpdateOldMovieLines(dt, nullptr));
}

TEST_F(FilmLookTest, FlashesAlternateBetweenPlainAndInverted) {
  manager.filmLookSwitches[0] = true;
  film->flash.active = false;
  film->random[0] = 0.05f;  // every later test of R0 < 0.1 passes
  plat::fx::Effect* effect = Effect("render2texture");
  film->flash.offTimer = 8.5f;
  film->UpdateOldMovieLines(0.01f, effect);
  EXPECT_TRUE(film->flash.active);
  EXPECT_TRUE(film->flash.invert);
  EXPECT_EQ(film->flash.images[0], 2.0f);
  film->flash.active = false;
  film->flash.offTimer = 8.5f;
  film->UpdateOldMovieLines(0.01f, effect);
  EXPECT_FALSE(film->flash.invert);
  EXPECT_EQ(film->flash.images[0], 0.0f);
}

TEST_F(FilmLookTest, DriftingLineEndsPastItsBoundsOrAfterThreeSeconds) {
  manager.filmLookSwitches[0] = true;
  plat::fx::Effect* effect = Effect("render2texture");
  film->flash.active = false;
  film->random[0] = 0.9f;  // no flash, no early end
  film->random[2] = 0.1f;  // drifting left
  film->line.u = -1.19f;
  film->UpdateOldMovieLines(2.0f, effect);
  EXPECT_FALSE(film->line.active) << film->line.u;
  // Started again on the other side after 6 s off with R1 < 0.2: -0.8, then 0.
  film->random[1] = 0.1f;
  film->UpdateOldMovieLines(6.5f, effect);
  EXPECT_TRUE(film->line.active);
  EXPECT_FLOAT_EQ(film->line.u, -0.8f);
  film->random[0] = 0.3f;  // R0 < 0.5 ends it after 3 s
  film->UpdateOldMovieLines(2.9f, effect);
  EXPECT_TRUE(film->line.active);
  film->UpdateOldMovieLines(0.2f, effect);
  EXPECT_FALSE(film->line.active);
  film->UpdateOldMovieLines(6.5f, effect);
  EXPECT_FLOAT_EQ(film->line.u, 0.0f);
}

TEST_F(FilmLookTest, DustPointsSwitchOnForOneInFiveDrawsAndStepTheirImage) {
  plat::fx::Effect* effect = Effect("render2texture");
  // Off stays off for at least the off period, whatever R0 says.
  film->random[0] = 0.0f;
  film->UpdateOldMoviePoints(0.39f, effect);
  EXPECT_FALSE(film->points.on);
  // R0 <= 0.2 switches them on at the end of the period: 21 of the 100 draws.
  int on = 0;
  for (int v = 0; v < 100; ++v) {
    gfx::SOldMovieSchedule fresh;
    film->points = fresh;
    film->random[0] = float(v) * 0.01f;
    film->UpdateOldMoviePoints(0.41f, effect);
    on += film->points.on ? 1 : 0;
  }
  EXPECT_EQ(on, 21);

  struct Case {
    float from;
    int draw;
    float to;
  };
  for (const Case& c :
       {Case{0.0f, 60, 2.0f}, Case{3.0f, 80, 0.0f}, Case{1.0f, 10, 1.0f}, Case{0.0f, 99, 3.0f}}) {
    gfx::SOldMovieSchedule s;
    s.on = true;
    s.imageIndex = c.from;
    s.stepTimer = 0.19f;
    film->points = s;
    s_script = {c.draw};
    s_next = 0;
    film->UpdateOldMoviePoints(0.02f, effect);
    EXPECT_EQ(film->points.imageIndex, c.to) << c.from << " " << c.draw;
    EXPECT_FLOAT_EQ(film->random[1], c.draw * 0.01f);
    EXPECT_EQ(Value("render2texture", "gOldMoviePointsImageIndex")[0], c.to);
  }
  EXPECT_FALSE(film->UpdateOldMoviePoints(0.1f, nullptr));
}

TEST_F(FilmLookTest, InGameEffectsOffKeepEveryScheduleStill) {
  CRenderTarget& scene = *graphics.mainTarget;
  manager.filmLookExtras.render = false;
  film->random[0] = 0.42f;
  film->points.offTimer = 0.1f;
  s_script = {7, 7, 7};
  ASSERT_EQ(graphics.device->BeginScene(), gpu::kOk);
  film->RenderFinalFX(scene, 0.05f);
  EXPECT_EQ(Value("render2texture", "gEnableIngamePostFX")[0], 0.0f);
  EXPECT_FLOAT_EQ(film->random[0], 0.42f);
  EXPECT_FLOAT_EQ(film->points.offTimer, 0.1f);
  EXPECT_FLOAT_EQ(film->worldTime, 0.05f);
  EXPECT_EQ(s_next, 0u);

  manager.filmLookExtras.render = true;
  film->RenderFinalFX(scene, 0.05f);
  EXPECT_NE(Value("render2texture", "gEnableIngamePostFX")[0], 0.0f);
  EXPECT_FLOAT_EQ(film->random[0], 0.07f);
  EXPECT_FLOAT_EQ(Value("render2texture", "gWorldTime")[0], 0.1f);
  EXPECT_FLOAT_EQ(Value("render2texture", "gRand")[0], 0.07f);
  graphics.device->EndScene();
  EXPECT_TRUE(recorder->Errors().empty()) << recorder->Errors().front();
}

}  // namespace
}  // namespace vd
