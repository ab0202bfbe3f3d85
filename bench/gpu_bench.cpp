// Work through the device layer against the same GL calls made directly:
// - a bound mesh drawn subset by subset, 10 000 draws a frame;
// - a state-heavy frame: 10 000 state changes (render states, textures, effect
//   parameters) spread over 1 000 draws;
// - one render state set, against reading it back.
// Each benchmark's label names its peer. With Mesa's llvmpipe the rasteriser threads
// make the timings noisy; LP_NUM_THREADS=0 keeps all the work on the benchmark's
// thread and gives steadier numbers.
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/fx/Effect.h"
#include "platform/gpu/Device.h"
#include "platform/window/Window.h"

namespace gpu = plat::gpu;

namespace {

constexpr int kDrawsPerFrame = 10000;
constexpr int kSubsets = 8;
constexpr uint32_t kFvf = gpu::kFvfXyz | gpu::kFvfDiffuse;

struct Vertex {
  float x, y, z;
  uint32_t colour;
};

const char* kVs =
    "#version 330 core\n"
    "layout(location = 0) in vec3 a_position;\n"
    "layout(location = 2) in vec4 a_color0;\n"
    "out vec4 v_colour;\n"
    "void main() { gl_Position = vec4(a_position, 1.0); v_colour = a_color0; }\n";
const char* kFs =
    "#version 330 core\n"
    "in vec4 v_colour;\n"
    "out vec4 o_colour;\n"
    "void main() { o_colour = v_colour; }\n";

// One window, device and mesh for both runs: eight subsets of two small triangles.
struct Scene {
  std::unique_ptr<plat::Window> window;
  gpu::Gpu* gpuObject = nullptr;
  gpu::Device* device = nullptr;
  gpu::Program* program = nullptr;
  gpu::VertexBuffer* vb = nullptr;
  gpu::IndexBuffer* ib = nullptr;
  std::vector<Vertex> vertices;
  std::vector<uint16_t> indices;
  std::string error;

  bool Init() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) setenv("SDL_VIDEODRIVER", "offscreen", 0);
    plat::WindowDesc desc;
    desc.width = 64;
    desc.height = 64;
    desc.visible = false;
    window = plat::Window::Create(desc, &error);
    if (!window) return false;
    gpuObject = gpu::CreateGpu(window.get(), &error);
    if (!gpuObject) return false;
    gpu::PresentParameters pp;
    pp.backBufferWidth = pp.backBufferHeight = 64;
    if (gpu::Failed(gpuObject->CreateDevice(0, gpu::kDevTypeHal, window.get(), 0, &pp, &device)))
      return false;
    if (gpu::Failed(device->CreateProgram(kVs, kFs, &program, &error))) return false;
    for (int s = 0; s < kSubsets; ++s) {
      float x = -1.0f + s * 0.05f;
      uint16_t base = static_cast<uint16_t>(vertices.size());
      vertices.push_back({x, 1.0f, 0.5f, 0xFFFFFFFF});
      vertices.push_back({x + 0.04f, 1.0f, 0.5f, 0xFFFFFFFF});
      vertices.push_back({x, 0.96f, 0.5f, 0xFFFFFFFF});
      vertices.push_back({x + 0.04f, 0.96f, 0.5f, 0xFFFFFFFF});
      for (uint16_t i : {0, 1, 2, 2, 1, 3}) indices.push_back(static_cast<uint16_t>(base + i));
    }
    uint32_t vbytes = static_cast<uint32_t>(vertices.size() * sizeof(Vertex));
    uint32_t ibytes = static_cast<uint32_t>(indices.size() * 2);
    device->CreateVertexBuffer(vbytes, 0, kFvf, gpu::kPoolManaged, &vb);
    device->CreateIndexBuffer(ibytes, 0, gpu::kFmtIndex16, gpu::kPoolManaged, &ib);
    void* p = nullptr;
    vb->Lock(0, 0, &p, 0);
    std::memcpy(p, vertices.data(), vbytes);
    vb->Unlock();
    ib->Lock(0, 0, &p, 0);
    std::memcpy(p, indices.data(), ibytes);
    ib->Unlock();
    return true;
  }

  ~Scene() {
    if (device) {
      device->SetStreamSource(0, nullptr, 0, 0);
      device->SetIndices(nullptr);
      device->SetProgram(nullptr);
    }
    if (ib) ib->Release();
    if (vb) vb->Release();
    if (program) program->Release();
    if (device) device->Release();
    if (gpuObject) gpuObject->Release();
  }
};

Scene& TheScene() {
  static Scene scene;
  static bool ok = scene.Init();
  if (!ok) std::abort();
  return scene;
}

// One draw through the layer leaves GL with the same target (back buffer and depth
// buffer) and states as the layer's benchmarks; then plain GL objects take over.
void LeaveGlOnTheLayersTarget(Scene& s) {
  s.device->SetProgram(s.program);
  s.device->SetFVF(kFvf);
  s.device->SetStreamSource(0, s.vb, 0, sizeof(Vertex));
  s.device->SetIndices(s.ib);
  s.device->BeginScene();
  s.device->DrawIndexedPrimitive(gpu::kTriangleList, 0, 0, 4, 0, 2);
  s.device->EndScene();
  glFinish();
}

void BM_LayerDrawSubset(benchmark::State& state) {
  Scene& s = TheScene();
  gpu::Device* d = s.device;
  d->SetProgram(s.program);
  d->SetFVF(kFvf);
  d->SetStreamSource(0, s.vb, 0, sizeof(Vertex));
  d->SetIndices(s.ib);
  for (auto _ : state) {
    d->BeginScene();
    for (int i = 0; i < kDrawsPerFrame; ++i) {
      int subset = i % kSubsets;
      d->DrawIndexedPrimitive(gpu::kTriangleList, 0, static_cast<uint32_t>(subset * 4), 4,
                              static_cast<uint32_t>(subset * 6), 2);
    }
    d->EndScene();
    glFinish();
  }
  state.SetItemsProcessed(state.iterations() * kDrawsPerFrame);
  state.SetLabel("peer: BM_RawGlDrawSubset");
}
BENCHMARK(BM_LayerDrawSubset)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.5)->MinTime(2.0);

void BM_RawGlDrawSubset(benchmark::State& state) {
  Scene& s = TheScene();
  LeaveGlOnTheLayersTarget(s);
  GLuint vao = 0, vbo = 0, ibo = 0;
  glGenVertexArrays(1, &vao);
  glBindVertexArray(vao);
  glGenBuffers(1, &vbo);
  glBindBuffer(GL_ARRAY_BUFFER, vbo);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(s.vertices.size() * sizeof(Vertex)),
               s.vertices.data(), GL_STATIC_DRAW);
  glGenBuffers(1, &ibo);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(s.indices.size() * 2),
               s.indices.data(), GL_STATIC_DRAW);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), nullptr);
  glVertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex),
                        reinterpret_cast<void*>(12));
  glEnableVertexAttribArray(0);
  glEnableVertexAttribArray(2);
  GLuint vs = glCreateShader(GL_VERTEX_SHADER), fs = glCreateShader(GL_FRAGMENT_SHADER);
  glShaderSource(vs, 1, &kVs, nullptr);
  glShaderSource(fs, 1, &kFs, nullptr);
  glCompileShader(vs);
  glCompileShader(fs);
  GLuint program = glCreateProgram();
  glAttachShader(program, vs);
  glAttachShader(program, fs);
  glLinkProgram(program);
  glUseProgram(program);
  for (auto _ : state) {
    for (int i = 0; i < kDrawsPerFrame; ++i) {
      int subset = i % kSubsets;
      glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_SHORT,
                     reinterpret_cast<void*>(static_cast<uintptr_t>(subset * 12)));
    }
    glFinish();
  }
  state.SetItemsProcessed(state.iterations() * kDrawsPerFrame);
  state.SetLabel("peer of BM_LayerDrawSubset");
  glUseProgram(0);
  glDeleteProgram(program);
  glDeleteShader(vs);
  glDeleteShader(fs);
  glDeleteBuffers(1, &vbo);
  glDeleteBuffers(1, &ibo);
  glDeleteVertexArrays(1, &vao);
  // The layer's state is what it believes; give it its own objects back.
  s.device->SetProgram(nullptr);
  s.device->SetIndices(nullptr);
  s.device->SetStreamSource(0, nullptr, 0, 0);
}
BENCHMARK(BM_RawGlDrawSubset)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.5)->MinTime(2.0);

// ---------------------------------------------------------------------------------
// A state-heavy frame: before each of 1 000 draws four render states, two textures and
// four effect parameters change: 10 000 state changes a frame.
constexpr int kStateDraws = 1000;
constexpr int kChangesPerDraw = 10;

#define HM_STATE_VS                                                     \
  "out vec2 vUv;\n"                                                     \
  "void main() {\n"                                                     \
  "  gl_Position = gWorld * vec4(aPosition * gScale, 1.0) + gOffset;\n" \
  "  vUv = aPosition.xy;\n"                                             \
  "}\n"
#define HM_STATE_FS \
  "in vec2 vUv;\n"  \
  "void main() { oColor = gColor * texture(sTex0, vUv) * texture(sTex1, vUv); }\n"

const char* kStateEffect =
    "<effect>\n"
    "<parameter name=\"gWorld\" type=\"float4x4\"/>\n"
    "<parameter name=\"gColor\" type=\"float4\"/>\n"
    "<parameter name=\"gOffset\" type=\"float4\"/>\n"
    "<parameter name=\"gScale\" type=\"float\"/>\n"
    "<parameter name=\"gTex0\" type=\"texture\"/>\n"
    "<parameter name=\"gTex1\" type=\"texture\"/>\n"
    "<sampler name=\"sTex0\" texture=\"gTex0\"/>\n"
    "<sampler name=\"sTex1\" texture=\"gTex1\"/>\n"
    "<technique name=\"t\"><pass name=\"p0\"><vertex>\n"
    "layout(location = HM_ATTR_POSITION) in vec3 aPosition;\n" HM_STATE_VS
    "</vertex><fragment>\n" HM_STATE_FS
    "</fragment></pass></technique>\n"
    "</effect>\n";

const char* kStateVs =
    "#version 330 core\n"
    "uniform mat4 gWorld;\n"
    "uniform vec4 gOffset;\n"
    "uniform float gScale;\n"
    "layout(location = 0) in vec3 aPosition;\n" HM_STATE_VS;
const char* kStateFs =
    "#version 330 core\n"
    "uniform vec4 gColor;\n"
    "uniform sampler2D sTex0;\n"
    "uniform sampler2D sTex1;\n"
    "layout(location = 0) out vec4 oColor;\n" HM_STATE_FS;

// The values the i-th draw sets: every one differs from the previous draw's.
struct DrawValues {
  plat::Mat4 world;
  plat::Vec4 colour, offset;
  float scale;
};
DrawValues ValuesFor(int i) {
  DrawValues v;
  float f = static_cast<float>(i % 97) / 97.0f;
  v.world.m[3][0] = f * 0.01f;
  v.colour = plat::Vec4(1.0f, f, 1.0f - f, 1.0f);
  v.offset = plat::Vec4(0.0f, f * 0.001f, 0.0f, 0.0f);
  v.scale = 1.0f + f * 0.01f;
  return v;
}

void BM_LayerStateHeavyFrame(benchmark::State& state) {
  Scene& s = TheScene();
  gpu::Device* d = s.device;
  plat::fx::Effect* effect = nullptr;
  std::string errors;
  if (gpu::Failed(plat::fx::Effect::CreateFromMemory(d, kStateEffect, std::strlen(kStateEffect),
                                                     "state_heavy", &effect, &errors))) {
    state.SkipWithError(errors.c_str());
    return;
  }
  gpu::Texture* textures[2] = {};
  for (int t = 0; t < 2; ++t) {
    d->CreateTexture(4, 4, 1, 0, gpu::kFmtA8R8G8B8, gpu::kPoolManaged, &textures[t]);
    gpu::LockedRect lr;
    textures[t]->LockRect(0, &lr, nullptr, 0);
    std::memset(lr.bits, t ? 0x80 : 0xFF, 4 * 4 * 4);
    textures[t]->UnlockRect(0);
  }
  const plat::fx::Handle world = effect->GetParameterByName("gWorld");
  const plat::fx::Handle colour = effect->GetParameterByName("gColor");
  const plat::fx::Handle offset = effect->GetParameterByName("gOffset");
  const plat::fx::Handle scale = effect->GetParameterByName("gScale");
  const plat::fx::Handle tex0 = effect->GetParameterByName("gTex0");
  const plat::fx::Handle tex1 = effect->GetParameterByName("gTex1");
  d->SetFVF(kFvf);
  d->SetStreamSource(0, s.vb, 0, sizeof(Vertex));
  d->SetIndices(s.ib);
  int failed = 0;
  for (auto _ : state) {
    d->BeginScene();
    uint32_t passes = 0;
    effect->Begin(&passes, plat::fx::kDoNotSaveState);
    effect->BeginPass(0);
    for (int i = 0; i < kStateDraws; ++i) {
      const DrawValues v = ValuesFor(i);
      d->SetRenderState(gpu::kRsAlphaBlendEnable, i & 1);
      d->SetRenderState(gpu::kRsSrcBlend, (i & 2) ? gpu::kBlendSrcAlpha : gpu::kBlendOne);
      d->SetRenderState(gpu::kRsCullMode, (i & 4) ? gpu::kCullNone : gpu::kCullCCW);
      d->SetRenderState(gpu::kRsZWriteEnable, (i & 8) ? 0 : 1);
      effect->SetTexture(tex0, textures[i & 1]);
      effect->SetTexture(tex1, textures[(i + 1) & 1]);
      effect->SetMatrix(world, v.world);
      effect->SetVector(colour, v.colour);
      effect->SetVector(offset, v.offset);
      effect->SetFloat(scale, v.scale);
      effect->CommitChanges();
      int subset = i % kSubsets;
      if (gpu::Failed(d->DrawIndexedPrimitive(gpu::kTriangleList, 0,
                                              static_cast<uint32_t>(subset * 4), 4,
                                              static_cast<uint32_t>(subset * 6), 2)))
        ++failed;
    }
    effect->EndPass();
    effect->End();
    d->EndScene();
    glFinish();
  }
  state.counters["state_changes"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kStateDraws * kChangesPerDraw,
                         benchmark::Counter::kIsRate);
  state.SetLabel("peer: BM_RawGlStateHeavyFrame");
  if (failed) state.SkipWithError("a draw through the layer failed");
  effect->Release();
  d->SetTexture(0, nullptr);
  d->SetTexture(1, nullptr);
  for (gpu::Texture* t : textures) t->Release();
  d->SetProgram(nullptr);
  d->SetIndices(nullptr);
  d->SetStreamSource(0, nullptr, 0, 0);
}
BENCHMARK(BM_LayerStateHeavyFrame)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.5)->MinTime(2.0);

void BM_RawGlStateHeavyFrame(benchmark::State& state) {
  Scene& s = TheScene();
  LeaveGlOnTheLayersTarget(s);
  GLuint vao = 0, vbo = 0, ibo = 0, textures[2] = {};
  glGenVertexArrays(1, &vao);
  glBindVertexArray(vao);
  glGenBuffers(1, &vbo);
  glBindBuffer(GL_ARRAY_BUFFER, vbo);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(s.vertices.size() * sizeof(Vertex)),
               s.vertices.data(), GL_STATIC_DRAW);
  glGenBuffers(1, &ibo);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(s.indices.size() * 2),
               s.indices.data(), GL_STATIC_DRAW);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), nullptr);
  glEnableVertexAttribArray(0);
  glGenTextures(2, textures);
  for (int t = 0; t < 2; ++t) {
    std::vector<uint8_t> texels(4 * 4 * 4, t ? 0x80 : 0xFF);
    glBindTexture(GL_TEXTURE_2D, textures[t]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 4, 4, 0, GL_BGRA, GL_UNSIGNED_BYTE, texels.data());
  }
  GLuint vs = glCreateShader(GL_VERTEX_SHADER), fs = glCreateShader(GL_FRAGMENT_SHADER);
  glShaderSource(vs, 1, &kStateVs, nullptr);
  glShaderSource(fs, 1, &kStateFs, nullptr);
  glCompileShader(vs);
  glCompileShader(fs);
  GLuint program = glCreateProgram();
  glAttachShader(program, vs);
  glAttachShader(program, fs);
  glLinkProgram(program);
  glUseProgram(program);
  glUniform1i(glGetUniformLocation(program, "sTex0"), 0);
  glUniform1i(glGetUniformLocation(program, "sTex1"), 1);
  const GLint world = glGetUniformLocation(program, "gWorld");
  const GLint colour = glGetUniformLocation(program, "gColor");
  const GLint offset = glGetUniformLocation(program, "gOffset");
  const GLint scale = glGetUniformLocation(program, "gScale");
  for (auto _ : state) {
    for (int i = 0; i < kStateDraws; ++i) {
      const DrawValues v = ValuesFor(i);
      if (i & 1)
        glEnable(GL_BLEND);
      else
        glDisable(GL_BLEND);
      glBlendFunc((i & 2) ? GL_SRC_ALPHA : GL_ONE, GL_ZERO);
      if (i & 4) {
        glDisable(GL_CULL_FACE);
      } else {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
      }
      glDepthMask((i & 8) ? GL_FALSE : GL_TRUE);
      glActiveTexture(GL_TEXTURE0);
      glBindTexture(GL_TEXTURE_2D, textures[i & 1]);
      glActiveTexture(GL_TEXTURE1);
      glBindTexture(GL_TEXTURE_2D, textures[(i + 1) & 1]);
      glUniformMatrix4fv(world, 1, GL_FALSE, &v.world.m[0][0]);
      glUniform4fv(colour, 1, &v.colour.x);
      glUniform4fv(offset, 1, &v.offset.x);
      glUniform1f(scale, v.scale);
      int subset = i % kSubsets;
      glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_SHORT,
                     reinterpret_cast<void*>(static_cast<uintptr_t>(subset * 12)));
    }
    glFinish();
  }
  state.counters["state_changes"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kStateDraws * kChangesPerDraw,
                         benchmark::Counter::kIsRate);
  state.SetLabel("peer of BM_LayerStateHeavyFrame");
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, 0);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glDepthMask(GL_TRUE);
  glUseProgram(0);
  glDeleteProgram(program);
  glDeleteShader(vs);
  glDeleteShader(fs);
  glDeleteTextures(2, textures);
  glDeleteBuffers(1, &vbo);
  glDeleteBuffers(1, &ibo);
  glDeleteVertexArrays(1, &vao);
  s.device->SetProgram(nullptr);
  s.device->SetIndices(nullptr);
  s.device->SetStreamSource(0, nullptr, 0, 0);
}
BENCHMARK(BM_RawGlStateHeavyFrame)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.5)->MinTime(2.0);

// One render state set (alternating values, so each call changes it), against reading
// one back: what a state change costs on its own.
void BM_LayerSetRenderState(benchmark::State& state) {
  gpu::Device* d = TheScene().device;
  uint32_t i = 0;
  for (auto _ : state) {
    d->SetRenderState(gpu::kRsAlphaBlendEnable, ++i & 1);
  }
  state.SetLabel("peer: BM_LayerGetRenderState");
  d->SetRenderState(gpu::kRsAlphaBlendEnable, 0);
}
BENCHMARK(BM_LayerSetRenderState);

void BM_LayerGetRenderState(benchmark::State& state) {
  gpu::Device* d = TheScene().device;
  uint32_t value = 0;
  for (auto _ : state) {
    d->GetRenderState(gpu::kRsAlphaBlendEnable, &value);
    benchmark::DoNotOptimize(value);
  }
  state.SetLabel("peer of BM_LayerSetRenderState");
}
BENCHMARK(BM_LayerGetRenderState);

}  // namespace
