// A frame of the city at 1024 x 768 on the GL device with every render pass on
// (glow, decal depth, linear depth, ambient occlusion and its blur, three sun shadow
// splits, the screen-space shadow mask and camera depth, shadow application, glow
// merge, depth of field, radial blur, film look), beside its peer: the same frame with
// every pass off (the city drawn and presented). Rounds alternate between the two and
// each frame ends with a read-back, so that the GL work is inside the timing; wall
// clock, since Mesa's llvmpipe rasterises on threads of its own. The counters give both
// frame times, their frame rates and the ratio. The table draws keep the effect begun
// over the city's meshes, as the render manager's technique-table draw does.
//
// HM_PASS_TIMES=1 adds, on stderr, what each pass of the "on" frame costs: the GL
// work is finished after each one, so the breakdown is for finding time, not a
// figure of its own.
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/render/RenderManager.h"
#include "engine/render/buffers/VertexBuffer.h"
#include "engine/render/device/GraphicsManager.h"
#include "engine/render/lights/LightManager.h"
#include "engine/render/passes/FilmLook.h"
#include "engine/render/passes/RenderPasses.h"
#include "platform/fx/Effect.h"
#include "platform/window/Window.h"

namespace {

using namespace vd;
namespace gpu = plat::gpu;
using gfx::CRenderTarget;
using plat::Mat4;
using plat::Vec3;

constexpr int kWidth = 1024, kHeight = 768;

const char* kSceneEffect = R"(<effect>
  <parameter name="gWorldViewProj" type="float4x4"/>
  <parameter name="gColor" type="float4" default="1 1 1 1"/>
  <technique name="flat">
    <pass>
      <state name="CullMode" value="None"/>
      <state name="ZEnable" value="true"/>
      <state name="ZWriteEnable" value="true"/>
      <state name="ZFunc" value="LessEqual"/>
      <vertex><![CDATA[
        layout(location = HM_ATTR_POSITION) in vec3 aPosition;
        out float vHeight;
        void main() { gl_Position = gWorldViewProj * vec4(aPosition, 1.0); vHeight = aPosition.y; }
      ]]></vertex>
      <fragment><![CDATA[
        in float vHeight;
        void main() { oColor = vec4(gColor.rgb * (0.6 + 0.05 * vHeight), 0.5); }
      ]]></fragment>
    </pass>
  </technique>
</effect>)";

class CSun : public lig::CAbstractLight {
public:
  const CStringHash& GetType() const override { return kType; }
  void Load(rapidxml::xml_node<>*) override {}
  bool HasContent() override { return true; }
  bool Update(float) override { return true; }
  void CopyFrom(const obj::IComponent&) override {}
  bool Init() override { return true; }
  void Reset() override {}
  gfx::CTransform* GetTransform() const override { return nullptr; }
  Vec3 GetPosition() const override { return Vec3(0, 150, 60); }
  void SetTarget(const Vec3&) override {}
  void RegisterWithManager() override {}
  void UnregisterFromManager() override {}
  static inline const CStringHash kType{"CSun"};
};

using SkinVertex = gfx::TEXTURED_NORM_SKIN_VERTEX;

struct SLevelFrame {
  std::unique_ptr<plat::Window> window;
  gfx::CGraphicsManager graphics;
  gfx::CRenderManager manager;
  std::unique_ptr<gfx::CRenderPasses> passes;
  plat::fx::Effect* scene = nullptr;
  std::vector<gfx::IVertexBuffer*> city;
  std::unique_ptr<gfx::CVertexBuffer<SkinVertex>> character;
  gfx::SCameraView camera;
  CSun sun;
  std::string error;

  bool Init() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) setenv("SDL_VIDEODRIVER", "offscreen", 0);
    std::filesystem::current_path(HM_SOURCE_DIR);
    plat::WindowDesc desc;
    desc.width = kWidth;
    desc.height = kHeight;
    desc.visible = false;
    window = plat::Window::Create(desc, &error);
    if (!window) return false;
    graphics.window = window.get();
    if (!graphics.Init(kWidth, kHeight, 0) || !manager.Init(&graphics)) return false;
    manager.LoadShaders("Data/xml/post_shaders.xml");
    manager.LoadTextures("Data/xml/post_textures.xml");
    std::vector<std::string> meshNames;
    for (const auto& entry : std::filesystem::directory_iterator("Data/meshes"))
      if (entry.path().filename().string().rfind("city_", 0) == 0)
        meshNames.push_back(entry.path().filename().string());
    for (const std::string& name : meshNames) manager.LoadMesh(CStringHash(name.c_str()));
    manager.commitRequested = true;
    manager.CommitRenderData();
    for (const std::string& name : meshNames)
      if (gfx::IVertexBuffer* mesh = manager.FindMesh(CStringHash(name.c_str())))
        if (mesh->IsValid()) city.push_back(mesh);
    if (city.empty()) return Fail("no city meshes (run gen_city)");
    if (plat::gpu::Failed(plat::fx::Effect::CreateFromMemory(
            graphics.device, kSceneEffect, std::strlen(kSceneEffect), "scene", &scene, &error)))
      return false;
    character.reset(MakeCharacter());

    camera.view = plat::LookAtRH(Vec3(-60, 4, -2), Vec3(0, 1.5f, 0), Vec3(0, 1, 0));
    camera.fov = 50.0f;
    camera.aspect = float(kWidth) / kHeight;
    camera.nearPlane = 0.5f;
    camera.farPlane = 200.0f;
    camera.projection = plat::PerspectiveFovRH(camera.fov * 3.14159265f / 180.0f, camera.aspect,
                                               camera.nearPlane, camera.farPlane);
    gfx::FillCameraAxes(camera);
    manager.viewState = camera;
    manager.cullState = camera;
    manager.hasView = true;
    sun.type = lig::kLightSun;
    sun.behaviour = lig::kBehaviourShadows;
    sun.numSplits = 3;
    sun.splitTableSize = 6;
    sun.zmapResolution = 1024.0f;
    sun.view = plat::LookAtRH(sun.GetPosition(), Vec3(0, 0, 0), Vec3(0, 1, 0));
    sun.projection = plat::PerspectiveFovRH(1.3f, 1.0f, 20.0f, 400.0f);
    manager.sunLight = &sun;
    manager.depthOfField.render = true;
    manager.radialBlur.render = true;
    manager.radialBlurStrength = 0.5f;
    manager.filmLookExtras = true;

    passes = std::make_unique<gfx::CRenderPasses>(manager, &graphics);
    passes->lights = nullptr;
    passes->draws.drawTable = [this](const gfx::STechniqueEntry* table, int count, bool glowers) {
      int drawn = 0;
      for (int i = 0; i < count; ++i) {
        if (table[i].renderType == gfx::kRenderTypeStatic && !glowers) {
          DrawWith(table[i], city, nullptr, nullptr);
          drawn += static_cast<int>(city.size());
        }
        if (table[i].renderType == (glowers ? gfx::kRenderTypeStatic : gfx::kRenderTypeAnimation)) {
          DrawWith(table[i], {character.get()}, nullptr, nullptr);
          ++drawn;
        }
      }
      return drawn;
    };
    passes->draws.drawShadowCasters = [this](const CStringHash& effect, const char* technique,
                                             const Mat4* view, const Mat4* projection,
                                             const Vec3*) {
      DrawWith(gfx::STechniqueEntry{gfx::kRenderTypeAnimation, effect, technique},
               {character.get()}, view, projection);
    };
    return true;
  }

  bool Fail(const char* why) {
    error = why;
    return false;
  }

  // A figure 1.8 m tall standing in the street, weighted to palette bone 0.
  static gfx::CVertexBuffer<SkinVertex>* MakeCharacter() {
    const Vec3 lo(-20.3f, 0, -0.3f), hi(-19.7f, 1.8f, 0.3f);
    const Vec3 c[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z},
                       {lo.x, hi.y, lo.z}, {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z},
                       {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
    const int faces[6][4] = {{0, 1, 2, 3}, {5, 4, 7, 6}, {4, 0, 3, 7},
                             {1, 5, 6, 2}, {3, 2, 6, 7}, {4, 5, 1, 0}};
    auto* mesh = new gfx::CVertexBuffer<SkinVertex>();
    mesh->Init(36, gfx::kMeshPrimitiveKindList, gfx::kVtxTexturedNormSkin);
    int n = 0;
    for (const auto& f : faces)
      for (int i : {0, 1, 2, 0, 2, 3}) {
        SkinVertex v{};
        v.position = c[f[i]];
        v.weights = gfx::PackSkinChannels(255, 0, 0, 0);
        mesh->Vertices()[n++] = v;
      }
    mesh->Create();
    return mesh;
  }

  // One begin of the effect for all the meshes, which share their world transform.
  void DrawWith(const gfx::STechniqueEntry& entry, const std::vector<gfx::IVertexBuffer*>& meshes,
                const Mat4* view, const Mat4* projection) {
    const gfx::CShader* shader = manager.shaders.Find(entry.effect);
    if (!shader || !shader->effect) return;
    plat::fx::Effect* e = shader->effect;
    const Mat4& v = view ? *view : camera.view;
    const Mat4& p = projection ? *projection : camera.projection;
    e->SetTechnique(entry.technique);
    auto set = [e](const char* n, const Mat4& m) {
      if (auto h = e->GetParameterByName(n)) e->SetMatrix(h, m);
    };
    set("gWorld", Mat4::Identity());
    set("gWorldView", v);
    set("gWorldViewProj", plat::Multiply(v, p));
    if (auto h = e->GetParameterByName("gCamera_far_max_length"))
      e->SetFloat(h, gfx::GetCameraFarMaxLength(camera));
    if (auto h = e->GetParameterByName("gBones")) {
      const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
      e->SetFloatArray(h, identity, 12);
    }
    uint32_t n = 0;
    if (plat::gpu::Failed(e->Begin(&n, 0))) return;
    for (uint32_t i = 0; i < n; ++i) {
      e->BeginPass(i);
      for (gfx::IVertexBuffer* mesh : meshes) mesh->DrawAll(true);
      e->EndPass();
    }
    e->End();
  }

  void DrawCity() {
    scene->SetTechnique("flat");
    scene->SetMatrix(scene->GetParameterByName("gWorldViewProj"),
                     plat::Multiply(camera.view, camera.projection));
    scene->SetVector(scene->GetParameterByName("gColor"), plat::Vec4(0.5f, 0.5f, 0.55f, 1));
    uint32_t n = 0;
    scene->Begin(&n, 0);
    scene->BeginPass(0);
    for (gfx::IVertexBuffer* mesh : city) mesh->DrawAll(true);
    character->DrawAll(true);
    scene->EndPass();
    scene->End();
  }

  // Per-pass breakdown (HM_PASS_TIMES): each mark finishes the GL work so far.
  bool breakdown = false;
  std::vector<std::pair<const char*, double>> marks;
  std::chrono::steady_clock::time_point lastMark;
  void Mark(const char* pass) {
    if (!breakdown) return;
    glFinish();
    const auto now = std::chrono::steady_clock::now();
    marks.emplace_back(pass, std::chrono::duration<double, std::milli>(now - lastMark).count());
    lastMark = now;
  }

  // The frame driver's order, every pass switched by `on`.
  void Frame(bool on) {
    if (breakdown) {
      glFinish();
      lastMark = std::chrono::steady_clock::now();
    }
    gpu::Device* d = graphics.device;
    CRenderTarget& copy = *graphics.mainTarget;
    CRenderTarget* t = manager.renderTargets;
    const int qw = kWidth / 4, qh = kHeight / 4;
    manager.ssao.render = on;
    if (on) {
      passes->RenderGlow();
      Mark("glow");
      passes->RenderDecalDepth(t[3], manager.depthMapSize);
      Mark("decal depth");
      passes->RenderLinearDepth(t[2], manager.depthMapSize);
      Mark("linear depth");
      if (passes->RenderSSAO(t[2], t[7], qw, qh))
        passes->BlurSSAO(t[7], t[2], qw, qh, t[0], qw, qh);
      Mark("ambient occlusion and its blur");
      passes->RenderSunShadowMaps();
      Mark("sun shadow maps");
      passes->RenderScreenShadows(t[12], 500);
      Mark("screen shadow mask");
      passes->RenderCameraDepth(t[11]);
      Mark("camera depth");
    }
    d->BeginScene();
    d->Clear(0, nullptr, gpu::kClearTarget | gpu::kClearZBuffer, 0xFF202838u, 1.0f, 0);
    DrawCity();
    d->EndScene();
    Mark("scene");
    if (on) {
      copy.CaptureBackBuffer();
      passes->SimpleBlur(t[12], 500, 500, t[13], true, true);
      Mark("shadow mask blur");
      d->BeginScene();
      passes->ApplyScreenShadows(copy);
      d->EndScene();
      copy.CaptureBackBuffer();
      Mark("shadow application");
      d->BeginScene();
      passes->MergeGlow(copy, t[4], t[5], t[2]);
      d->EndScene();
      copy.CaptureBackBuffer();
      Mark("glow merge");
      passes->RenderDepthOfField(copy, kWidth, kHeight);
      copy.CaptureBackBuffer();
      Mark("depth of field");
      passes->RenderRadialBlur(copy);
      copy.CaptureBackBuffer();
      Mark("radial blur");
      d->BeginScene();
      passes->FilmLook().RenderFinalFX(copy, 1.0f / 60.0f);
      d->EndScene();
      Mark("film look");
    }
    d->Present();
    Mark("present");
    std::vector<uint8_t> pixel;
    d->ReadPixels(nullptr, gpu::Rect{kWidth / 2, kHeight / 2, kWidth / 2 + 1, kHeight / 2 + 1},
                  &pixel);
  }

  ~SLevelFrame() {
    passes.reset();
    character.reset();
    if (scene) scene->Release();
    for (CRenderTarget& target : manager.renderTargets) target.Release();
    manager.Shutdown();
    graphics.Release();
  }
};

double FrameMs(SLevelFrame& level, bool on, int frames) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < frames; ++i) level.Frame(on);
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  return took.count() / frames;
}

void BM_LevelFrameAllPassesOn(benchmark::State& state) {
  SLevelFrame level;
  if (!level.Init()) {
    state.SkipWithError(("no level frame: " + level.error).c_str());
    return;
  }
  level.Frame(true);  // targets and programs made before timing
  level.Frame(false);
  std::vector<double> on, off;
  for (auto _ : state) {
    on.push_back(FrameMs(level, true, 4));
    off.push_back(FrameMs(level, false, 4));
  }
  auto median = [](std::vector<double> v) {
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
  };
  const double onMs = median(on), offMs = median(off);
  state.counters["on_ms"] = onMs;
  state.counters["off_ms"] = offMs;
  state.counters["on_fps"] = 1000.0 / onMs;
  state.counters["off_fps"] = 1000.0 / offMs;
  state.counters["on_over_off"] = onMs / offMs;
  state.SetLabel("peer: the same frame with every pass off");
  if (std::getenv("HM_PASS_TIMES")) {
    // After the timed rounds, so that the finishes never reach the figures above.
    level.breakdown = true;
    std::vector<std::pair<const char*, std::vector<double>>> costs;
    for (int round = 0; round < 15; ++round) {
      level.marks.clear();
      level.Frame(true);
      for (size_t i = 0; i < level.marks.size(); ++i) {
        if (costs.size() <= i) costs.emplace_back(level.marks[i].first, std::vector<double>());
        costs[i].second.push_back(level.marks[i].second);
      }
    }
    std::fprintf(stderr,
                 "median cost of each pass of the \"on\" frame (GL finished after each):\n");
    for (const auto& cost : costs)
      std::fprintf(stderr, "  %-32s %7.2f ms\n", cost.first, median(cost.second));
  }
}
BENCHMARK(BM_LevelFrameAllPassesOn)->Iterations(15)->Unit(benchmark::kMillisecond);

}  // namespace
