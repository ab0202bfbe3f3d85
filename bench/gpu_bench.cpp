// Draw calls through the device layer against the same GL calls made directly: a
// bound mesh drawn subset by subset, 10 000 draws a frame. With Mesa's llvmpipe the
// rasteriser threads make the timings noisy; LP_NUM_THREADS=0 keeps all the work on
// the benchmark's thread and gives steadier numbers.
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

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
    if (gpu::Failed(gpuObject->CreateDevice(0, gpu::kDevTypeHal, window.get(), 0, &pp, &device))) return false;
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
}
BENCHMARK(BM_LayerDrawSubset)->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.5)->MinTime(2.0);

void BM_RawGlDrawSubset(benchmark::State& state) {
  Scene& s = TheScene();
  // One draw through the layer leaves GL with the same target (back buffer and depth
  // buffer) and states; then the mesh and program go into plain GL objects.
  s.device->SetProgram(s.program);
  s.device->SetFVF(kFvf);
  s.device->SetStreamSource(0, s.vb, 0, sizeof(Vertex));
  s.device->SetIndices(s.ib);
  s.device->BeginScene();
  s.device->DrawIndexedPrimitive(gpu::kTriangleList, 0, 0, 4, 0, 2);
  s.device->EndScene();
  glFinish();
  GLuint vao = 0, vbo = 0, ibo = 0;
  glGenVertexArrays(1, &vao);
  glBindVertexArray(vao);
  glGenBuffers(1, &vbo);
  glBindBuffer(GL_ARRAY_BUFFER, vbo);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(s.vertices.size() * sizeof(Vertex)), s.vertices.data(),
               GL_STATIC_DRAW);
  glGenBuffers(1, &ibo);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ibo);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(s.indices.size() * 2), s.indices.data(),
               GL_STATIC_DRAW);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), nullptr);
  glVertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex), reinterpret_cast<void*>(12));
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
      glDrawElements(GL_TRIANGLES, 6, GL_UNSIGNED_SHORT, reinterpret_cast<void*>(static_cast<uintptr_t>(subset * 12)));
    }
    glFinish();
  }
  state.SetItemsProcessed(state.iterations() * kDrawsPerFrame);
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

}  // namespace
