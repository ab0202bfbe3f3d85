// The game's own frame of the city level at 1024 x 768 with every render pass on
// (glow, decals, linear depth, ambient occlusion, sun, spot and point shadow maps,
// screen-space shadows with PCF, depth of field, radial blur, film look) and with
// the passes the game's defaults switch on, beside their peer: the same frame with
// every one of those passes off. Both are the render
// manager's RenderFrame over what the loading state loads for the level's picture:
// its shaders, textures, materials, scene graph and depth-of-field values, the scene
// instances (city meshes with their lightmaps, the sky dome, the water), the lights
// with the sun that casts the split shadows, and the diagonal street's fighters, the
// generated humanoid skinned and animated. The level has no glower of its own, so
// the "on" frame adds one more fighter that glows, to put the glow passes to work; the
// "default" and "off" frames leave him out, as the game's level has none. A few blood
// decals of the fight lie in the street in every frame. The view is a fixed camera
// at the west end of the street, looking down it, in zone 0. The quality preset is the highest (5:
// the screen-shadow mask at 500 x 500; Data/xml/gameconfig.xml's "high" is 3, whose
// mask is 512 x 512 and whose other sizes are the same), with SSAO, glow, depth of
// field and decals as gameconfig.xml has them; then "on" sets every pass flag (glow,
// decals, depth map, SSAO, shadows, sun shadows, screen shadows, PCF, depth of
// field, radial blur, film look) and "off" clears every one of them. "default" is
// what a new game draws with Data/xml/gameconfig.xml as shipped: the loading
// state's preset (ApplyGraphicsPreset) for "shadowsquality_high" (quality 3:
// shadows with PCF, no screen-space shadows, full-size maps) with SSAO, glow,
// depth of field and blood decals on, the film look on (nothing clears it) and the
// radial blur off (only an evade or a grenade's burst switches it on). The sky, the
// water and the scene copies are drawn in both, as the game draws them.
//
// Rounds alternate between the three and each frame ends with a read-back, so that
// the GL work is inside the timing; wall clock, since Mesa's llvmpipe rasterises on
// threads of its own, and beside it the CPU time of the whole process over the same
// span (the llvmpipe threads' included: the benchmark's own CPU column is the
// process's too, never the main thread's alone, which leaves the rasterising out).
// A frame's time is the render thread's work: RenderFrame, the
// commit that follows it, the read-back. What the main thread does beside it in the
// game (the queued requests before, the update pass over the objects the frame
// drew after, the fighters' animation among them) happens between frames, outside
// the clock.
//
// HM_PASS_TIMES=1 adds, on stderr, what each pass costs and where the rest of the
// frame goes, for the three frames: the GL work is finished around each
// pass, so the breakdown is for finding time, not a figure of its own.
// HM_FRAME_PNG=/tmp/name writes /tmp/name_on.png, /tmp/name_default.png and
// /tmp/name_off.png.
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/animation/AnimationManager.h"
#include "engine/animation/Animator.h"
#include "engine/app/Application.h"
#include "engine/core/Log.h"
#include "engine/objects/Camera.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/render/RenderManager.h"
#include "engine/render/decals/DecalManager.h"
#include "engine/render/device/GraphicsManager.h"
#include "engine/render/lights/Light.h"
#include "engine/render/lights/LightManager.h"
#include "engine/render/passes/RenderPasses.h"
#include "engine/script/ScriptManager.h"
#include "platform/image/ImageWriter.h"
#include "platform/window/Window.h"

namespace {

using namespace vd;
namespace gpu = plat::gpu;
using gfx::CRenderTarget;
using plat::Vec3;

constexpr int kWidth = 1024, kHeight = 768;
// The three frames measured.
enum EFrame { kOff, kDefault, kOn };
const char* const kFrameNames[] = {"off", "default", "on"};
// gameconfig.xml's "shadowsquality_high".
constexpr int kDefaultShadowsQuality = 3;
constexpr float kStep = 1.0f / 60.0f;

// One more fighter of the level's own template, whose renderer glows: the level has
// no glower, and the all-on frame's glow passes would otherwise skip their work. Only
// that frame draws him: with him the default frame would pay the glow, its blur and
// its merge, which the game's level never draws.
const char* kGlowingFighter = R"(<?xml version="1.0" encoding="utf-8"?>
<GameObject name="glowing_zombie" GameObjectTemplate="zombie">
  <Component name="CTransform">
    <key name="position" X="-70.5" Y="0" Z="1.8"/>
  </Component>
  <Component name="CRenderer">
    <key name="glower" value="1"/>
    <key name="glow_color" R="0.9" G="0.35" B="0.1"/>
  </Component>
  <Component name="CAnimator">
    <key name="animation_instance_name" value="glowing_zombie"/>
  </Component>
</GameObject>
)";

double ProcessCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

// What a run of frames cost on average: wall clock, the process's CPU, and the
// full-screen copies of the picture the frame driver made.
struct SFrameCost {
  double wallMs = 0.0, cpuMs = 0.0, copies = 0.0;
};

double Median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return v[v.size() / 2];
}

// The passes of the frame with a finish and a clock mark around each one, for the
// breakdown: installed as the render manager's passes only outside the timed rounds.
class CTimedPasses : public gfx::IFramePasses {
public:
  explicit CTimedPasses(gfx::CRenderPasses& passes) : m_passes(passes) {}
  std::vector<std::pair<std::string, double>> marks;

  void Start() {
    marks.clear();
    m_previous = nullptr;
    m_inPost = false;
    glFinish();
    m_last = std::chrono::steady_clock::now();
  }
  // After RenderFrame: what the frame driver did after the last pass.
  void End() {
    if (!m_inPost)
      Mark("scene, water and particle lists, HUD and menu lists, present");
    else
      Mark(std::string("lists and present after ") + m_previous);
  }
  // What the frame did since the last mark, under that name.
  void Mark(const std::string& what) {
    glFinish();
    const auto now = std::chrono::steady_clock::now();
    marks.emplace_back(what, std::chrono::duration<double, std::milli>(now - m_last).count());
    m_last = now;
  }

  void RenderGlow() override {
    Timed("glow", [&] { m_passes.RenderGlow(); });
  }
  void RenderDecalDepth(CRenderTarget* t, int s) override {
    Timed("decal depth", [&] { m_passes.RenderDecalDepth(t, s); });
  }
  void RenderLinearDepth(CRenderTarget* t, int s) override {
    Timed("linear depth", [&] { m_passes.RenderLinearDepth(t, s); });
  }
  void RenderSSAO(CRenderTarget* d, CRenderTarget* o, int w, int h) override {
    Timed("ambient occlusion", [&] { m_passes.RenderSSAO(d, o, w, h); });
  }
  void BlurSSAO(CRenderTarget* s, CRenderTarget* d, int w, int h, CRenderTarget* f, int fw,
                int fh) override {
    Timed("ambient occlusion blur", [&] { m_passes.BlurSSAO(s, d, w, h, f, fw, fh); });
  }
  void SimpleBlur(CRenderTarget* s, int w, int h, CRenderTarget* d, bool shadows,
                  bool through) override {
    Timed(
        shadows ? "shadow mask blur" : "final blur",
        [&] { m_passes.SimpleBlur(s, w, h, d, shadows, through); }, true);
  }
  void RenderSunShadowMaps() override {
    Timed("sun shadow maps", [&] { m_passes.RenderSunShadowMaps(); });
  }
  void RenderSpotShadowMaps() override {
    Timed("spot shadow maps", [&] { m_passes.RenderSpotShadowMaps(); });
  }
  void RenderPointShadowMaps() override {
    Timed("point shadow maps", [&] { m_passes.RenderPointShadowMaps(); });
  }
  void RenderScreenShadows(CRenderTarget* t, int s) override {
    Timed("screen shadow mask", [&] { m_passes.RenderScreenShadows(t, s); });
  }
  void RenderCameraDepth(CRenderTarget* t) override {
    Timed("camera depth", [&] { m_passes.RenderCameraDepth(t); });
  }
  void RenderDecals(float dt, float w, float h) override {
    Timed(
        "decals", [&] { m_passes.RenderDecals(dt, w, h); }, true);
  }
  bool ApplyScreenShadows(CRenderTarget* s) override {
    bool drew = false;
    Timed(
        "shadow application", [&] { drew = m_passes.ApplyScreenShadows(s); }, true);
    return drew;
  }
  bool MergeGlow(CRenderTarget* s, CRenderTarget* c, CRenderTarget* d, CRenderTarget* l) override {
    bool drew = false;
    Timed(
        "glow merge", [&] { drew = m_passes.MergeGlow(s, c, d, l); }, true);
    return drew;
  }
  bool RenderDepthOfField(CRenderTarget* s, int w, int h) override {
    bool drew = false;
    Timed(
        "depth of field", [&] { drew = m_passes.RenderDepthOfField(s, w, h); }, true);
    return drew;
  }
  bool FoldDepthOfFieldIntoFinalFX(CRenderTarget* s, int w, int h) override {
    bool folded = false;
    Timed(
        "depth of field's blur, for the film look",
        [&] { folded = m_passes.FoldDepthOfFieldIntoFinalFX(s, w, h); }, true);
    return folded;
  }
  bool RenderRadialBlur(CRenderTarget* s) override {
    bool drew = false;
    Timed(
        "radial blur", [&] { drew = m_passes.RenderRadialBlur(s); }, true);
    return drew;
  }
  bool RenderFinalFX(CRenderTarget* s, float dt) override {
    bool drew = false;
    Timed(
        "film look", [&] { drew = m_passes.RenderFinalFX(s, dt); }, true);
    return drew;
  }
  // Parameter blocks set inside the scene's draws, not passes: no marks there.
  void SetSunLightParameters(gfx::CShader* s) override { m_passes.SetSunLightParameters(s); }
  void SetSpotLightParameters(gfx::CShader* s) override { m_passes.SetSpotLightParameters(s); }
  void SetPointLightParameters(gfx::CShader* s) override { m_passes.SetPointLightParameters(s); }

private:
  template <class Work>
  void Timed(const char* pass, Work work, bool post = false) {
    // The frame driver's own work between two passes is told apart from the passes:
    // before the first post pass it is the scene.
    if (post && !m_inPost)
      Mark("scene: clear, background and mesh lists");
    else
      Mark(std::string("frame driver before ") + pass);
    m_inPost = m_inPost || post;
    work();
    Mark(pass);
    m_previous = pass;
  }

  gfx::CRenderPasses& m_passes;
  std::chrono::steady_clock::time_point m_last;
  const char* m_previous = nullptr;
  bool m_inPost = false;
};

struct SLevelFrame {
  // The engine's log lines (a missing or refused file) go to stderr.
  utl::CLogSinkHolder log;
  // In the order the application makes them; torn down by hand below.
  std::unique_ptr<plat::Window> window;
  gfx::CGraphicsManager graphics;
  lgc::CScriptManager scripts;
  anm::CAnimationManager animations;
  gfx::CRenderManager render;
  gfx::CDecalManager decals;
  lig::CLightManager lights;
  obj::CGameObjectManager objects;
  std::unique_ptr<gfx::CRenderPasses> passes;
  cam::CCamera camera;
  // The level's own fighters, and how many of them glow.
  int fighters = 0, glowers = 0;
  // The added glowing fighter's renderer: enabled in the all-on frame only.
  gfx::CRenderer* addedGlower = nullptr;
  bool rendererReady = false;
  std::string error;

  bool Init() {
    log.AddSink(new utl::CConsoleLogSink());
    utl::SetLogSinks(&log);
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) setenv("SDL_VIDEODRIVER", "offscreen", 0);
    std::error_code ec;
    std::filesystem::current_path(HM_SOURCE_DIR, ec);
    if (ec || !std::filesystem::exists("Data/xml/level1_scene_instances.xml"))
      return Fail("no level data under " + std::string(HM_SOURCE_DIR) + " (run gen_city)");
    cam::SetScreenSize(kWidth, kHeight);

    plat::WindowDesc desc;
    desc.width = kWidth;
    desc.height = kHeight;
    desc.visible = false;
    window = plat::Window::Create(desc, &error);
    if (!window) return false;
    graphics.window = window.get();
    if (!graphics.Init(kWidth, kHeight, 0)) return Fail("the graphics manager did not start");
    rendererReady = true;
    if (!render.Init(&graphics) || !decals.Init(&render, graphics.device) || !lights.Init())
      return Fail("the render side did not start");

    // As the render thread wires its managers and passes.
    render.onDecalCommit = [this] { decals.Commit(); };
    render.onCommitPending = [this] { lights.CommitPendingLights(); };
    render.onPassFinished = [this] { objects.MarkRenderPassFinished(); };
    objects.SetCommitRenderData([this] {
      render.commitRequested = true;
      render.CommitRenderData();
    });
    anm::SetMeshAttachedHook(&sys::AttachAnimatedMesh);
    passes = std::make_unique<gfx::CRenderPasses>(render, &graphics);
    render.framePasses = passes.get();
    passes->draws.drawDecals = [this](float dt, float w, float h) { decals.Render(dt, w, h); };
    render.LoadShaders("Data/xml/post_shaders.xml");
    render.LoadTextures("Data/xml/post_textures.xml");

    // The scripts give the lights their zone numbers.
    if (!scripts.Init() || !scripts.LoadScripts()) return Fail("the level scripts did not load");

    // What the pre-load and loading states load for the level.
    for (const char* path : {"Data/xml/shaders_non_background.xml", "Data/xml/loading_shaders.xml",
                             "Data/xml/level1_shaders.xml"})
      render.LoadShaders(path);
    render.LoadTextures("Data/xml/level1_textures.xml");
    render.LoadMaterials("Data/xml/level1_materials.xml");
    render.LoadSceneGraph();
    render.LoadDoFParams();
    // The generated figures are authored z-up, as the application's start-up loads them.
    anm::CAnimationManager::SetLoadingModeRotateX();
    animations.LoadTemplates("Data/xml/level1_animation_templates.xml");
    // The render side's components only: the level's collision, trigger and tracker
    // components and the fighters' game components are skipped, each with a log line.
    obj::RegisterObjectComponentFactories(objects.componentFactories);
    gfx::RegisterRendererFactory(objects.componentFactories);
    lig::RegisterLightFactory(objects.componentFactories);
    utl::RegisterFactoryMaker<anm::CAnimator, obj::IComponent>(objects.componentFactories);
    if (!objects.Init()) return Fail("the object manager did not start");
    for (const char* path :
         {"Data/xml/common_templates.xml", "Data/xml/level1_character_templates.xml"})
      if (!objects.LoadTemplates(path)) return Fail(std::string("no templates in ") + path);
    // The group number cannot tell an empty file from the first group: the object
    // count can.
    auto load = [this](const char* path, const char* scriptFolder) {
      const size_t before = objects.GetObjectCount();
      objects.LoadInstances(path, scriptFolder, true);
      return objects.GetObjectCount() > before;
    };
    if (!load("Data/xml/level1_scene_instances.xml", "SceneObjects") ||
        !load("Data/xml/level1_light_instances.xml", nullptr) ||
        !load("Data/xml/diagonal/character_instances.xml", nullptr))
      return Fail("the level's instances did not load");
    const std::string glowing = (std::filesystem::temp_directory_path() /
                                 ("hm_level_frame_glower_" + std::to_string(getpid()) + ".xml"))
                                    .string();
    std::ofstream(glowing) << kGlowingFighter;
    const bool glowingLoaded = load(glowing.c_str(), nullptr);
    std::filesystem::remove(glowing, ec);
    if (!glowingLoaded) return Fail("the glowing fighter did not load");

    // The finish of the loading: the objects on, the preset, zone 0, the camera.
    render.ApplyQualityPreset(5, true, true, true, true);
    // The radial blur as a grenade's burst has it halfway up its pulse (the game
    // keeps it between 0.2 and 1.1), about the middle of the screen.
    render.radialBlurStrength.Set(0.5f);
    render.filmLookTail.Set({0.5f, 0.5f});
    render.gameZone.Set(0);
    lights.currentZone = 0;
    camera.fov = 60.0f;
    camera.nearPlane = 0.1f;
    camera.farPlane = 500.0f;
    camera.aspect = float(kWidth) / kHeight;
    camera.Init();
    camera.view =
        plat::LookAtRH(Vec3(-80.0f, 2.6f, 0.6f), Vec3(-66.0f, 1.2f, -0.8f), Vec3(0, 1, 0));
    camera.Update(0.0f);
    render.viewCamera.Set(&camera);
    render.cullingCamera.Set(&camera);
    objects.ApplyQueuedRequests();

    std::vector<obj::CGameObject*> zombies;
    objects.GetGameObjectsByTemplate(CStringHash("zombie"), zombies);
    for (obj::CGameObject* zombie : zombies) {
      auto* animator = zombie->GetComponent<anm::CAnimator>();
      auto* renderer = zombie->GetComponent<gfx::CRenderer>();
      if (!animator || !renderer || !renderer->IsRegistered()) continue;
      // The cycle a zombie stands in when its play list starts.
      animator->BlendCycle(CStringHash("idle_01"), 1.0f, 0.0f, 0.0f);
      if (zombie->GetName() == CStringHash("glowing_zombie")) {
        addedGlower = renderer;
        continue;
      }
      ++fighters;
      glowers += renderer->IsGlower() ? 1 : 0;
    }
    if (fighters == 0) return Fail("no animated fighter is drawn");
    if (!addedGlower || !addedGlower->IsGlower()) return Fail("the added fighter does not glow");
    // Blood of the fight around them, as the player's splashes leave it: their colours,
    // sizes, life and fades. The run ages them by far less than the life.
    for (int i = 0; i < 12; ++i) {
      const float a = 0.9f * float(i);
      const uint32_t red = 180u + 30u * uint32_t(i % 2);
      decals.AddDecalAt(Vec3(-70.5f + 2.2f * std::cos(a), 0.0f, -0.4f + 2.4f * std::sin(a)),
                        0xFF000000u | (red << 16), 1.0f + 0.1f * float(i % 6), 0, 20.0f, 0.4f,
                        5.0f);
    }
    objects.AttachRenderSide();
    render.commitRequested = true;
    render.CommitRenderData();
    if (!render.sunLight) return Fail("the level's sun did not reach the render manager");
    return true;
  }

  bool Fail(const std::string& why) {
    error = why;
    return false;
  }

  void SetPasses(EFrame frame) {
    const bool on = frame != kOff;
    for (gfx::SPair<bool>* flag : {&render.glow, &render.decals, &render.depthMap, &render.ssao,
                                   &render.shadows, &render.sunShadows, &render.screenShadows,
                                   &render.pcf, &render.depthOfField, &render.radialBlur})
      flag->Set(on);
    render.filmLook = on;
    addedGlower->SetEnabled(frame == kOn, false);
    if (frame == kDefault) {
      render.ApplyQualityPreset(kDefaultShadowsQuality, true, true, true, true);
      render.radialBlur.Set(false);
    }
    render.CommitRenderData();
  }

  // The main thread's part before a frame: the queued requests, and the commit it
  // asks for.
  void Before() {
    objects.ApplyQueuedRequests();
    render.commitRequested = true;
  }

  // The render thread's part of one frame.
  void Frame() {
    render.RenderFrame(graphics.mainTarget, kStep, kStep);
    render.CommitRenderData();
    std::vector<uint8_t> pixel;
    graphics.device->ReadPixels(
        nullptr, gpu::Rect{kWidth / 2, kHeight / 2, kWidth / 2 + 1, kHeight / 2 + 1}, &pixel);
  }

  // The main thread's update of what the frame drew, which in the game runs beside
  // the draw: the renderers take their effects once they are loaded (the passes
  // draw no entry before that), the fighters' animation moves on.
  void After() { objects.UpdatePass(kStep); }

  SFrameCost Frames(int frames) {
    SFrameCost total;
    for (int i = 0; i < frames; ++i) {
      Before();
      const double cpu = ProcessCpuMs();
      const auto start = std::chrono::steady_clock::now();
      Frame();
      total.wallMs +=
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count();
      total.cpuMs += ProcessCpuMs() - cpu;
      total.copies += render.frameSceneCopies;
      After();
    }
    total.wallMs /= frames;
    total.cpuMs /= frames;
    total.copies /= frames;
    return total;
  }

  // The presented picture as a PNG; false with a reason on stderr.
  bool WritePng(const std::string& path) {
    std::vector<uint8_t> bgra;
    if (graphics.device->ReadPixels(nullptr, gpu::Rect{0, 0, kWidth, kHeight}, &bgra) != gpu::kOk) {
      std::fprintf(stderr, "%s: the frame could not be read back\n", path.c_str());
      return false;
    }
    std::vector<uint8_t> png;
    std::string why;
    if (!plat::image::EncodePng(kWidth, kHeight, bgra, png, why) ||
        !plat::image::WriteFileBytes(path, png)) {
      std::fprintf(stderr, "%s: not written %s\n", path.c_str(), why.c_str());
      return false;
    }
    return true;
  }

  ~SLevelFrame() {
    objects.DetachRenderSide();
    objects.Clear();
    animations.ClearInstances();
    animations.templates.RemoveAll();
    if (rendererReady) {
      render.framePasses = nullptr;
      passes.reset();
      lights.Shutdown();
      for (CRenderTarget& target : render.renderTargets) target.Release();
      decals.Shutdown();
      render.Shutdown();
      graphics.Release();
    }
    utl::SetLogSinks(nullptr);
  }
};

void PrintBreakdown(SLevelFrame& level, EFrame frame) {
  CTimedPasses timed(*level.passes);
  level.render.framePasses = &timed;
  level.SetPasses(frame);
  std::vector<std::pair<std::string, std::vector<double>>> costs;
  for (int round = 0; round < 15; ++round) {
    level.Before();
    timed.Start();
    level.render.RenderFrame(level.graphics.mainTarget, kStep, kStep);
    timed.End();
    level.render.CommitRenderData();
    timed.Mark("commit");
    level.After();
    // By name, in the order first seen: a frame may skip a step another one ran.
    for (const auto& mark : timed.marks) {
      auto it = std::find_if(costs.begin(), costs.end(),
                             [&](const auto& cost) { return cost.first == mark.first; });
      if (it == costs.end()) it = costs.emplace(costs.end(), mark.first, std::vector<double>());
      it->second.push_back(mark.second);
    }
  }
  level.render.framePasses = level.passes.get();
  double total = 0.0;
  std::fprintf(stderr, "median cost of each step of the \"%s\" frame (GL finished after each):\n",
               kFrameNames[frame]);
  for (const auto& cost : costs) {
    const double ms = Median(cost.second);
    total += ms;
    // The driver's steps between two pre-passes cost nothing worth a line.
    if (ms < 0.05 && cost.first.rfind("frame driver", 0) == 0) continue;
    std::fprintf(stderr, "  %-52s %7.2f ms\n", cost.first.c_str(), ms);
  }
  std::fprintf(stderr, "  %-52s %7.2f ms\n", "sum of the medians", total);
}

// The all-on, default and off frames, each round; the figures are per frame.
void BM_LevelFramePasses(benchmark::State& state) {
  SLevelFrame level;
  if (!level.Init()) {
    state.SkipWithError(("no level frame: " + level.error).c_str());
    return;
  }
  // Targets, programs and the first skinning made before timing, and the decals
  // faded in (they age in the decal pass only).
  level.SetPasses(kOn);
  level.Frames(30);
  level.SetPasses(kDefault);
  level.Frames(3);
  level.SetPasses(kOff);
  level.Frames(3);
  std::vector<double> times[3], cpu[3];
  double copies[3] = {};
  for (auto _ : state) {
    for (EFrame frame : {kOn, kDefault, kOff}) {
      level.SetPasses(frame);
      const SFrameCost cost = level.Frames(4);
      times[frame].push_back(cost.wallMs);
      cpu[frame].push_back(cost.cpuMs);
      copies[frame] = cost.copies;
    }
  }
  const double onMs = Median(times[kOn]), defaultMs = Median(times[kDefault]),
               offMs = Median(times[kOff]);
  state.counters["on_ms"] = onMs;
  state.counters["default_ms"] = defaultMs;
  state.counters["off_ms"] = offMs;
  // The process's CPU per frame, and its ratios: on a loaded machine the wall clock
  // waits for cores, the CPU time does not.
  const double onCpu = Median(cpu[kOn]), defaultCpu = Median(cpu[kDefault]),
               offCpu = Median(cpu[kOff]);
  state.counters["on_cpu_ms"] = onCpu;
  state.counters["default_cpu_ms"] = defaultCpu;
  state.counters["off_cpu_ms"] = offCpu;
  state.counters["on_over_off_cpu"] = onCpu / offCpu;
  state.counters["default_over_off_cpu"] = defaultCpu / offCpu;
  for (EFrame frame : {kOn, kDefault, kOff})
    state.counters[std::string(kFrameNames[frame]) + "_copies"] = copies[frame];
  state.counters["on_fps"] = 1000.0 / onMs;
  state.counters["default_fps"] = 1000.0 / defaultMs;
  state.counters["off_fps"] = 1000.0 / offMs;
  state.counters["on_over_off"] = onMs / offMs;
  state.counters["default_over_off"] = defaultMs / offMs;
  // The level's own fighters; the "on" frame draws the added glower besides.
  state.counters["fighters"] = level.fighters;
  state.counters["level_glowers"] = level.glowers;
  state.SetLabel("peer: the same level frame with every pass off");

  // After the timed rounds, so that neither the finishes nor the files reach the
  // figures above.
  if (const char* png = std::getenv("HM_FRAME_PNG")) {
    for (EFrame frame : {kOn, kDefault, kOff}) {
      level.SetPasses(frame);
      level.Frames(2);
      level.WritePng(std::string(png) + "_" + kFrameNames[frame] + ".png");
    }
  }
  if (std::getenv("HM_PASS_TIMES")) {
    for (EFrame frame : {kOn, kDefault, kOff}) PrintBreakdown(level, frame);
  }
}
BENCHMARK(BM_LevelFramePasses)
    ->Iterations(15)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
