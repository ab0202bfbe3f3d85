// The render thread's submission of a level-sized frame: 2 000 entries over 200
// materials, 50 of them skinned characters, walked, culled, parameterised and drawn
// by the frame driver. On the recording device (CPU cost per frame, goal 2 ms, beside
// the same walk with no device) and on Mesa's software GL at 1024x768 (frames per
// second, reported).
#include <benchmark/benchmark.h>
#include <cal3d/cal3d.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/animation/AnimationManager.h"
#include "engine/render/RenderManager.h"
#include "engine/render/Shader.h"
#include "engine/render/buffers/VertexBuffer.h"
#include "engine/render/buffers/VertexTypes.h"
#include "platform/gpu/Device.h"
#include "platform/window/Window.h"

using namespace vd;
using namespace vd::gfx;
namespace gpu = plat::gpu;

namespace {

constexpr int kEntries = 2000;
constexpr int kMaterials = 200;
constexpr int kCharacters = 50;
constexpr int kStaticMeshes = 20;

gfx::SCameraView g_view;
void ReadView(const cam::CCamera*, SCameraView& out) { out = g_view; }
cam::CCamera* const kCamera = reinterpret_cast<cam::CCamera*>(&g_view);

class CNoReport : public IRenderable {
public:
  void OnDrawn() override { ++drawn; }
  int drawn = 0;
};

// The level: made on the device given (null: no device, nothing is drawn).
class CLevelScene {
public:
  CLevelScene(gpu::Device* device, int width, int height) {
    if (chdir(HM_SOURCE_DIR) != 0) return;
    SetRenderDevice(device);
    render.Init(nullptr);
    render.screenWidth = width;
    render.screenHeight = height;
    SetCameraViewReader(&ReadView);
    g_view = SCameraView();
    g_view.fov = 60.0f;
    g_view.aspect = float(width) / float(height);
    g_view.farPlane = 200.0f;
    g_view.view = plat::LookAtRH({0, 20, 60}, {0, 0, 0}, {0, 1, 0});
    g_view.projection =
        plat::PerspectiveFovRH(60.0f * 3.1415927f / 180.0f, g_view.aspect, 0.5f, 200.0f);
    FillCameraAxes(g_view);
    render.viewCamera.Set(kCamera);
    if (device) {
      for (const char* name : {"static_mesh", "skin"}) {
        auto* shader = new CShader();
        shader->Init(CStringHash(name), std::string("Data/shaders/") + name + ".fxo");
        if (!shader->LoadEffect(device)) ok = false;
        render.shaders.Add(CStringHash(name), shader);
      }
    }
    MakeMaterials(device);
    MakeStaticEntries(device);
    MakeCharacters();
    render.commitRequested = true;
    render.CommitRenderData();
  }
  ~CLevelScene() {
    SetCameraViewReader(nullptr);
    render.Shutdown();
    models.clear();
    animationTemplate.reset();
    SetRenderDevice(nullptr);
  }

  void Frame() { render.RenderFrame(nullptr, 1.0f / 60.0f, 1.0f / 60.0f); }

  CRenderManager render;
  bool ok = true;

private:
  void MakeMaterials(gpu::Device* device) {
    for (int m = 0; m < kMaterials; ++m) {
      const std::string name = "material_" + std::to_string(m);
      auto* texture = new CTexture();
      texture->name = CStringHash(name.c_str());
      texture->name.MakeOwned();
      if (device && device->CreateTexture(4, 4, 1, 0, gpu::kFmtA8R8G8B8, gpu::kPoolManaged,
                                          &texture->texture2D) == gpu::kOk) {
        gpu::LockedRect locked;
        if (texture->texture2D->LockRect(0, &locked, nullptr, 0) == gpu::kOk) {
          auto* texels = static_cast<uint8_t*>(locked.bits);
          for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
              reinterpret_cast<uint32_t*>(texels + y * locked.pitch)[x] =
                  0xFF000000u | uint32_t(m * 0x010305);
          texture->texture2D->UnlockRect(0);
        }
      }
      render.textures.Add(CStringHash(name.c_str()), texture);
      auto* material = new SMaterial();
      SetMaterialTextureNames(*material, m, name.c_str(), "", "", "");
      render.materials.Add(MaterialKey(m), material);
    }
  }

  void MakeStaticEntries(gpu::Device* device) {
    for (int k = 0; k < kStaticMeshes; ++k) {
      meshNames.emplace_back(("box_" + std::to_string(k)).c_str());
      meshNames.back().MakeOwned();
      auto* box = new CVertexBuffer<TEXTURED_NORM_VERTEX>();
      box->Init(36, kMeshPrimitiveKindList, kVtxTexturedNorm);
      static const int faces[6][4][3] = {{{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}},
                                         {{1, 0, 0}, {0, 0, 0}, {0, 1, 0}, {1, 1, 0}},
                                         {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}},
                                         {{1, 0, 1}, {1, 0, 0}, {1, 1, 0}, {1, 1, 1}},
                                         {{0, 1, 1}, {1, 1, 1}, {1, 1, 0}, {0, 1, 0}},
                                         {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}}};
      int v = 0;
      for (const auto& face : faces) {
        for (int corner : {0, 1, 2, 0, 2, 3}) {
          const int* c = face[corner];
          box->Vertices()[v++] = {{c[0] - 0.5f, float(c[1]), c[2] - 0.5f}, {0, 1, 0}, {0, 0}};
        }
      }
      if (device) box->Create();
      render.meshes.Add(meshNames.back(), box);
    }
    const int statics = kEntries - kCharacters;
    worlds.resize(kEntries);
    data.resize(kEntries);
    for (int i = 0; i < statics; ++i) {
      const float x = float(i % 50) * 2.0f - 50.0f, z = float(i / 50) * -2.0f + 20.0f;
      worlds[i] = plat::Translation(x, 0.0f, z);
      SRenderData& d = data[i];
      d.renderType = kRenderTypeDynamic;
      d.meshName = &meshNames[i % kStaticMeshes];
      d.shaderName = &staticName;
      d.techniqueName = &staticTech;
      d.currentMaterial = d.baseMaterial = i % kMaterials;
      d.world = &worlds[i];
      d.boxMin = box;
      d.boxMax = box + 3;
      d.renderer = &report;
      std::vector<SRenderItem*> items;
      render.AddRenderer(d, items);
    }
  }

  void MakeCharacters() {
    animationTemplate = std::make_unique<anm::CAnimationTemplate>();
    if (!animationTemplate->Create(CStringHash("brannoc"), "Data/anims/brannoc.xsf") ||
        !animationTemplate->LoadMesh(bodyName, "Data/anims/brannoc_body.xmf", 0, false) ||
        !animationTemplate->LoadAnimation(CStringHash("walk_01"),
                                          "Data/anims/brannoc_walk_01.xaf")) {
      ok = false;
      return;
    }
    CalCoreModel* core = animationTemplate->GetCoreModel();
    const int meshId = animationTemplate->GetMeshId(bodyName);
    if (!render.CreateSkinnedMesh(
            bodyName, core->getCoreMesh(meshId), kVtxTexturedNormSkin,
            static_cast<uint32_t>(core->getCoreSkeleton()->getVectorCoreBone().size())))
      ok = false;
    const int walk = animationTemplate->GetAnimationId(CStringHash("walk_01"));
    for (int c = 0; c < kCharacters; ++c) {
      models.push_back(std::make_unique<CalModel>(core));
      CalModel& model = *models.back();
      model.attachMesh(meshId);
      model.getMixer()->blendCycle(walk, 1.0f, 0.0f);
      model.update(0.0f);
      model.update(0.05f * float(c));
      const int i = kEntries - kCharacters + c;
      worlds[i] = plat::RotationX(-3.1415927f / 2.0f) *
                  plat::Translation(float(c % 10) * 3.0f - 15.0f, 0.0f, float(c / 10) * -3.0f);
      SRenderData& d = data[i];
      d.renderType = kRenderTypeAnimation;
      d.meshName = &bodyName;
      d.shaderName = &skinName;
      d.techniqueName = &skinTech;
      d.modelInstance = &model;
      d.world = &worlds[i];
      d.currentMaterial = d.baseMaterial = c % kMaterials;
      d.boxMin = characterBox;
      d.boxMax = characterBox + 3;
      d.renderer = &report;
      std::vector<SRenderItem*> items;
      render.AddRenderer(d, items);
    }
  }

  CStringHash staticName{"static_mesh"}, staticTech{"static_mesh_tech"};
  CStringHash skinName{"skin"}, skinTech{"skin_tech"}, bodyName{"brannoc_body.xmf"};
  std::vector<CStringHash> meshNames;
  float box[6] = {-0.5f, 0, -0.5f, 0.5f, 1, 0.5f};
  float characterBox[6] = {-1, 0, -1, 1, 2, 1};
  std::vector<plat::Mat4> worlds;
  std::vector<SRenderData> data;
  CNoReport report;
  std::unique_ptr<anm::CAnimationTemplate> animationTemplate;
  std::vector<std::unique_ptr<CalModel>> models;
};

void SetFrameCounters(benchmark::State& state) { state.counters["entries"] = kEntries; }

// The level's frame through the recording device. Without the call text the device
// still checks every call and keeps its state, as a driver would; with it, it also
// formats and stores a line per call, as the tests read them.
void SubmitThroughRecorder(benchmark::State& state, bool keepCallText) {
  auto recorder = std::make_shared<gpu::Recorder>();
  gpu::Gpu* gpuObject = gpu::CreateRecordingGpu(recorder);
  gpu::PresentParameters pp;
  pp.backBufferWidth = 1024;
  pp.backBufferHeight = 768;
  gpu::Device* device = nullptr;
  gpuObject->CreateDevice(0, gpu::kDevTypeHal, nullptr, 0, &pp, &device);
  {
    CLevelScene scene(device, 1024, 768);
    if (!scene.ok) state.SkipWithError("level content did not load");
    // One frame with the text on gives the counts of what a frame submits.
    recorder->Clear();
    scene.Frame();
    state.counters["draws"] = double(recorder->CountCalls("DrawPrimitive"));
    state.counters["device_calls"] = double(recorder->Calls().size());
    recorder->Clear();
    recorder->keepCallText = keepCallText;
    for (auto _ : state) {
      scene.Frame();
      if (keepCallText) {
        state.PauseTiming();
        recorder->Clear();
        state.ResumeTiming();
      }
    }
  }
  SetFrameCounters(state);
  device->Release();
  gpuObject->Release();
}

void BM_SubmitLevelFrame_Recording(benchmark::State& state) {
  SubmitThroughRecorder(state, false);
  state.SetLabel(
      "recording device, no call text; goal 2 ms per frame; peers: BM_WalkLevelFrame_NoDevice, "
      "BM_SubmitLevelFrame_RecordingWithCallText");
}
BENCHMARK(BM_SubmitLevelFrame_Recording)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_SubmitLevelFrame_RecordingWithCallText(benchmark::State& state) {
  SubmitThroughRecorder(state, true);
  state.SetLabel("recording device writing a text line per call, as the tests use it; peer: "
                 "BM_SubmitLevelFrame_Recording");
}
BENCHMARK(BM_SubmitLevelFrame_RecordingWithCallText)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

void BM_WalkLevelFrame_NoDevice(benchmark::State& state) {
  CLevelScene scene(nullptr, 1024, 768);
  for (auto _ : state) scene.Frame();
  SetFrameCounters(state);
  state.SetLabel(
      "peer of BM_SubmitLevelFrame_Recording: the same walks, no effect or device calls");
}
BENCHMARK(BM_WalkLevelFrame_NoDevice)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_SubmitLevelFrame_SoftwareGL(benchmark::State& state) {
  plat::WindowDesc desc;
  desc.width = 1024;
  desc.height = 768;
  std::string error;
  std::unique_ptr<plat::Window> window = plat::Window::Create(desc, &error);
  gpu::Gpu* gpuObject = window ? gpu::CreateGpu(window.get(), &error) : nullptr;
  if (!gpuObject) {
    state.SkipWithError(("no GL: " + error).c_str());
    for (auto _ : state) {
    }
    return;
  }
  gpu::PresentParameters pp;
  pp.backBufferWidth = 1024;
  pp.backBufferHeight = 768;
  pp.deviceWindow = window.get();
  gpu::Device* device = nullptr;
  gpuObject->CreateDevice(0, gpu::kDevTypeHal, window.get(), gpu::kCreateHardwareVertexProcessing,
                          &pp, &device);
  {
    CLevelScene scene(device, 1024, 768);
    if (!scene.ok) state.SkipWithError("level content did not load");
    for (auto _ : state) scene.Frame();
  }
  state.counters["fps"] =
      benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
  state.SetLabel("llvmpipe 1024x768, wall time; peer: BM_SubmitLevelFrame_Recording");
  device->Release();
  gpuObject->Release();
}
BENCHMARK(BM_SubmitLevelFrame_SoftwareGL)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
