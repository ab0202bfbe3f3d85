// Brings up a real window and GL device on a render thread of its own, draws the
// generated meshes with effects from Data/shaders and reads the presented frame
// back; then resets the device to another size and draws again.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/render/buffers/VertexBuffer.h"
#include "engine/render/device/GraphicsManager.h"
#include "engine/render/device/RenderTarget.h"
#include "platform/fx/Effect.h"
#include "platform/gpu/Device.h"
#include "platform/math/Math.h"
#include "platform/thread/Thread.h"
#include "platform/window/MessageBox.h"
#include "platform/window/Window.h"

using namespace vd::gfx;
namespace gpu = plat::gpu;

namespace {

constexpr float kPiF = 3.14159265358979f;
constexpr uint32_t kClearColour = 0xFF808080;  // grey
constexpr uint32_t kQuadColour = 0xFF20C040;   // what the generator gives the quad

// Texels of the 2x2 cube texture, row by row from the top-left.
constexpr uint32_t kTexels[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};

struct Vec3f {
  float x, y, z;
};

// The cube seen from the front, the right and above: yaw -45 degrees, pitch 30,
// scaled into the right half of the screen, nearer points at smaller depth.
constexpr float kCubeScale = 0.25f;
Vec3f RotateCube(Vec3f p) {
  const float yaw = -45.0f * kPiF / 180.0f, pitch = 30.0f * kPiF / 180.0f;
  const Vec3f a{p.x * std::cos(yaw) + p.z * std::sin(yaw), p.y, -p.x * std::sin(yaw) + p.z * std::cos(yaw)};
  return Vec3f{a.x, a.y * std::cos(pitch) - a.z * std::sin(pitch), a.y * std::sin(pitch) + a.z * std::cos(pitch)};
}
Vec3f CubeToClip(Vec3f p) {
  const Vec3f r = RotateCube(p);
  return Vec3f{kCubeScale * r.x + 0.5f, kCubeScale * r.y, 0.5f - 0.2f * r.z};
}
plat::Mat4 CubeMatrix() {
  plat::Mat4 m = plat::Mat4::Zero();
  const Vec3f basis[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (int i = 0; i < 3; ++i) {
    const Vec3f r = RotateCube(basis[i]);
    m.m[i][0] = kCubeScale * r.x;
    m.m[i][1] = kCubeScale * r.y;
    m.m[i][2] = -0.2f * r.z;
  }
  m.m[3][0] = 0.5f;
  m.m[3][2] = 0.5f;
  m.m[3][3] = 1.0f;
  return m;
}
// The quad sits in the left half: x' = 0.35 x - 0.5, y' = 0.35 y.
plat::Mat4 QuadMatrix() {
  plat::Mat4 m;
  m.m[0][0] = 0.35f;
  m.m[1][1] = 0.35f;
  m.m[3][0] = -0.5f;
  m.m[3][2] = 0.5f;
  return m;
}

struct Pixel {
  int x, y;
};
Pixel ClipToPixel(float x, float y, int w, int h) {
  return Pixel{static_cast<int>(std::floor((x + 1.0f) * 0.5f * w)), static_cast<int>(std::floor((1.0f - y) * 0.5f * h))};
}

struct Probe {
  std::string what;
  Pixel at;
  uint32_t colour;  // 0xAARRGGBB; alpha not compared
};

// The faces the generator puts in subset 10 and can be seen from this side:
// outward normal, right and up as seen from outside.
struct Face {
  const char* name;
  Vec3f n, r, u;
};
const Face kFrontFaces[3] = {
    {"+Z", {0, 0, 1}, {1, 0, 0}, {0, 1, 0}},
    {"+X", {1, 0, 0}, {0, 0, -1}, {0, 1, 0}},
    {"+Y", {0, 1, 0}, {1, 0, 0}, {0, 0, -1}},
};

std::vector<Probe> CubeProbes(int w, int h, bool textured) {
  std::vector<Probe> probes;
  for (const Face& f : kFrontFaces) {
    for (int t = 0; t < 4; ++t) {
      const float u = (t % 2) ? 0.75f : 0.25f, v = (t / 2) ? 0.75f : 0.25f;
      const float a = 2 * u - 1, b = 1 - 2 * v;
      const Vec3f p{f.n.x + a * f.r.x + b * f.u.x, f.n.y + a * f.r.y + b * f.u.y, f.n.z + a * f.r.z + b * f.u.z};
      const Vec3f c = CubeToClip(p);
      probes.push_back(Probe{std::string(f.name) + " texel " + std::to_string(t), ClipToPixel(c.x, c.y, w, h),
                             textured ? kTexels[t] : 0xFF000000u});
    }
  }
  return probes;
}

bool Near(uint8_t a, uint8_t b) { return std::abs(int(a) - int(b)) <= 3; }

void CheckProbes(const std::vector<uint8_t>& bgra, int w, int h, const std::vector<Probe>& probes) {
  ASSERT_EQ(bgra.size(), size_t(w) * h * 4);
  for (const Probe& p : probes) {
    ASSERT_TRUE(p.at.x >= 0 && p.at.x < w && p.at.y >= 0 && p.at.y < h) << p.what;
    const uint8_t* px = &bgra[(size_t(p.at.y) * w + p.at.x) * 4];
    const uint8_t r = uint8_t(p.colour >> 16), g = uint8_t(p.colour >> 8), b = uint8_t(p.colour);
    EXPECT_TRUE(Near(px[2], r) && Near(px[1], g) && Near(px[0], b))
        << p.what << " at (" << p.at.x << ", " << p.at.y << "): got r" << int(px[2]) << " g" << int(px[1]) << " b"
        << int(px[0]) << ", want r" << int(r) << " g" << int(g) << " b" << int(b);
  }
}

struct Scene {
  CGraphicsManager* gm = nullptr;
  IVertexBuffer* quad = nullptr;
  IVertexBuffer* cube = nullptr;
  plat::fx::Effect* colour = nullptr;
  plat::fx::Effect* textured = nullptr;
  gpu::Texture* texture = nullptr;
};

void DrawWith(plat::fx::Effect* effect, const char* technique, const plat::Mat4& wvp, const plat::Vec4& tint,
              const std::function<void()>& draw) {
  effect->SetTechnique(technique);
  effect->SetMatrix(effect->GetParameterByName("gWorldViewProj"), wvp);
  effect->SetVector(effect->GetParameterByName("gColor"), tint);
  uint32_t passes = 0;
  ASSERT_EQ(effect->Begin(&passes, 0), gpu::kOk);
  ASSERT_EQ(passes, 1u);
  effect->BeginPass(0);
  draw();
  effect->EndPass();
  effect->End();
}

// One frame: the quad, then the cube subsets asked for; returns the presented pixels.
std::vector<uint8_t> DrawFrame(Scene& s, bool subset10, bool subset20, int w, int h) {
  gpu::Device* d = s.gm->device;
  EXPECT_FALSE(s.gm->CheckDevice());
  EXPECT_EQ(d->BeginScene(), gpu::kOk);
  d->Clear(0, nullptr, gpu::kClearTarget | gpu::kClearZBuffer, kClearColour, 1.0f, 0);
  DrawWith(s.colour, "colour", QuadMatrix(), plat::Vec4(1, 1, 1, 1), [&] { s.quad->DrawAll(true); });
  s.textured->SetTexture(s.textured->GetParameterByName("gTexDiffuse"), s.texture);
  // Subset 20 is drawn black: where it shows, the pixel is black.
  if (subset20)
    DrawWith(s.textured, "textured", CubeMatrix(), plat::Vec4(0, 0, 0, 1), [&] { s.cube->DrawSubset(20, true); });
  if (subset10)
    DrawWith(s.textured, "textured", CubeMatrix(), plat::Vec4(1, 1, 1, 1), [&] { s.cube->DrawSubset(10, true); });
  // An id no subset has draws nothing.
  DrawWith(s.textured, "textured", CubeMatrix(), plat::Vec4(0, 0, 1, 1), [&] { s.cube->DrawSubset(99, true); });
  EXPECT_EQ(d->EndScene(), gpu::kOk);
  EXPECT_EQ(d->Present(), gpu::kOk);
  std::vector<uint8_t> pixels;
  EXPECT_EQ(d->ReadPixels(nullptr, gpu::Rect{0, 0, w, h}, &pixels), gpu::kOk);
  return pixels;
}

void CheckFrame(Scene& s, int w, int h) {
  const Pixel quadCentre = ClipToPixel(-0.5f, 0.0f, w, h);
  const std::vector<Probe> background = {{"corner", {2, 2}, kClearColour}, {"quad", quadCentre, kQuadColour}};

  // Only subset 20: the far faces fill the cube's outline in black.
  std::vector<uint8_t> pixels = DrawFrame(s, false, true, w, h);
  CheckProbes(pixels, w, h, background);
  CheckProbes(pixels, w, h, CubeProbes(w, h, false));

  // Both: the near faces of subset 10 cover them with the texture.
  pixels = DrawFrame(s, true, true, w, h);
  CheckProbes(pixels, w, h, background);
  CheckProbes(pixels, w, h, CubeProbes(w, h, true));
}

void RunRenderThread() {
  const int w = 320, h = 240;
  std::string error;
  plat::WindowDesc desc;
  desc.width = w;
  desc.height = h;
  std::unique_ptr<plat::Window> window = plat::Window::Create(desc, &error);
  ASSERT_NE(window, nullptr) << error;

  CGraphicsManager gm;
  gm.window = window.get();
  ASSERT_TRUE(gm.Init(w, h, 4));
  EXPECT_LE(gm.multiSampleType, 4u);
  EXPECT_NE(gm.multiSampleType, 1u);
  ASSERT_NE(gm.mainTarget, nullptr);
  EXPECT_NE(gm.mainTarget->texture, nullptr);

  std::unique_ptr<IVertexBuffer> quad = LoadMeshFile("Data/meshes/test_quad.mesh");
  std::unique_ptr<IVertexBuffer> cube = LoadMeshFile("Data/meshes/test_cube.mesh");
  ASSERT_TRUE(quad && cube);
  ASSERT_TRUE(quad->Create());
  ASSERT_TRUE(cube->Create());
  EXPECT_TRUE(quad->IsValid());
  EXPECT_TRUE(cube->IsValid());

  Scene s;
  s.gm = &gm;
  s.quad = quad.get();
  s.cube = cube.get();
  std::string errors;
  ASSERT_EQ(plat::fx::Effect::CreateFromFile(gm.device, "Data/shaders/test_colour.fxo", &s.colour, &errors),
            gpu::kOk)
      << errors;
  ASSERT_EQ(plat::fx::Effect::CreateFromFile(gm.device, "Data/shaders/test_textured.fxo", &s.textured, &errors),
            gpu::kOk)
      << errors;
  ASSERT_EQ(gm.device->CreateTexture(2, 2, 1, 0, gpu::kFmtA8R8G8B8, gpu::kPoolManaged, &s.texture), gpu::kOk);
  gpu::LockedRect locked{};
  ASSERT_EQ(s.texture->LockRect(0, &locked, nullptr, 0), gpu::kOk);
  for (int y = 0; y < 2; ++y)
    std::memcpy(static_cast<uint8_t*>(locked.bits) + y * locked.pitch, &kTexels[y * 2], 8);
  s.texture->UnlockRect(0);

  {
    SCOPED_TRACE("320 x 240");
    CheckFrame(s, w, h);
  }

  // A reset to another size rebuilds the back buffer and the main target; drawing
  // goes on with the managed buffers, effects and texture as they were.
  gm.presentParameters.backBufferWidth = 200;
  gm.presentParameters.backBufferHeight = 150;
  gm.resetRequested = 1;
  {
    SCOPED_TRACE("200 x 150 after a reset");
    CheckFrame(s, 200, 150);
  }
  EXPECT_EQ(gm.resetRequested, 0);
  EXPECT_EQ(gm.mainTarget->width, 200u);
  EXPECT_EQ(gm.mainTarget->height, 150u);
  EXPECT_NE(gm.mainTarget->texture, nullptr);
  EXPECT_EQ(gm.mainTarget->texture->Width(), 200u);

  s.texture->Release();
  s.colour->Release();
  s.textured->Release();
  quad.reset();
  cube.reset();
  gm.Release();
}

}  // namespace

// The GL driver is unloaded before the leak check runs, so LeakSanitizer reports its
// allocations without a module to attribute them to; leaks are not checked here.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

TEST(DeviceEndToEnd, DrawsGeneratedMeshesAndDrawsOnAfterAReset) {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  plat::RecordingMessageSink messages;
  plat::IMessageSink* previous = plat::SetMessageSink(&messages);
  plat::Thread render;
  ASSERT_TRUE(render.Start([] {
    RunRenderThread();
    return 0u;
  }));
  EXPECT_EQ(render.Wait(120000), plat::WaitResult::Signalled);
  plat::SetMessageSink(previous);
  for (const auto& m : messages.Requests()) ADD_FAILURE() << "message box: " << m.text;
}
