// The GL back end against a real (software) driver: SDL's offscreen video with EGL
// and Mesa when there is no display. A missing GL is a failure, never a skip.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/gpu/Device.h"
#include "platform/image/Image.h"
#include "platform/thread/Thread.h"
#include "platform/window/Window.h"

namespace gpu = plat::gpu;

namespace {

const char* kVs =
    "#version 330 core\n"
    "layout(location = 0) in vec3 a_position;\n"
    "layout(location = 2) in vec4 a_color0;\n"
    "layout(location = 4) in vec2 a_texcoord0;\n"
    "out vec4 v_colour;\n"
    "out vec2 v_uv;\n"
    "void main() { gl_Position = vec4(a_position, 1.0); v_colour = a_color0; v_uv = a_texcoord0; "
    "}\n";
const char* kColourFs =
    "#version 330 core\n"
    "in vec4 v_colour;\n"
    "out vec4 o_colour;\n"
    "void main() { o_colour = v_colour; }\n";
const char* kTextureFs =
    "#version 330 core\n"
    "uniform sampler2D u_texture;\n"
    "in vec2 v_uv;\n"
    "out vec4 o_colour;\n"
    "void main() { o_colour = texture(u_texture, v_uv); }\n";

constexpr uint32_t kFvfColoured = gpu::kFvfXyz | gpu::kFvfDiffuse;                // 16 bytes
constexpr uint32_t kFvfTextured = gpu::kFvfXyz | (1u << gpu::kFvfTexCountShift);  // 20 bytes

struct ColouredVertex {
  float x, y, z;
  uint32_t colour;
};
struct TexturedVertex {
  float x, y, z, u, v;
};

uint32_t PixelAt(const std::vector<uint8_t>& bgra, int width, int x, int y) {
  const uint8_t* p = &bgra[static_cast<size_t>((y * width + x) * 4)];
  return static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[1]) << 8 | p[0];
}

template <typename T>
gpu::VertexBuffer* MakeBuffer(gpu::Device* device, const std::vector<T>& vertices, uint32_t fvf) {
  gpu::VertexBuffer* vb = nullptr;
  uint32_t bytes = static_cast<uint32_t>(vertices.size() * sizeof(T));
  if (gpu::Failed(device->CreateVertexBuffer(bytes, 0, fvf, gpu::kPoolManaged, &vb)))
    return nullptr;
  void* data = nullptr;
  if (gpu::Failed(vb->Lock(0, 0, &data, 0))) return vb;
  std::memcpy(data, vertices.data(), bytes);
  vb->Unlock();
  return vb;
}

class GlDeviceTest : public ::testing::Test {
protected:
  static constexpr int kW = 64, kH = 48;

  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) setenv("SDL_VIDEODRIVER", "offscreen", 0);
    errors.clear();
    gpu::SetLogSink([this](const std::string& line) { errors.push_back(line); });
    plat::WindowDesc desc;
    desc.width = kW;
    desc.height = kH;
    desc.visible = false;
    std::string error;
    window = plat::Window::Create(desc, &error);
    ASSERT_TRUE(window) << error;
    gpuObject = gpu::CreateGpu(window.get(), &error);
    ASSERT_NE(gpuObject, nullptr) << "no OpenGL: " << error;
  }

  void TearDown() override {
    if (device) device->Release();
    if (gpuObject) gpuObject->Release();
    window.reset();
    gpu::SetLogSink(nullptr);
  }

  void MakeDevice(uint32_t samples = 0, int w = kW, int h = kH) {
    pp.backBufferWidth = static_cast<uint32_t>(w);
    pp.backBufferHeight = static_cast<uint32_t>(h);
    pp.multiSampleType = samples;
    pp.deviceWindow = window.get();
    ASSERT_EQ(gpuObject->CreateDevice(0, gpu::kDevTypeHal, window.get(),
                                      gpu::kCreateHardwareVertexProcessing, &pp, &device),
              gpu::kOk);
  }

  gpu::Program* MakeProgram(const char* fs) {
    gpu::Program* program = nullptr;
    std::string log;
    EXPECT_EQ(device->CreateProgram(kVs, fs, &program, &log), gpu::kOk) << log;
    return program;
  }

  std::vector<uint8_t> Frame(int w = kW, int h = kH) {
    std::vector<uint8_t> pixels;
    EXPECT_EQ(device->ReadPixels(nullptr, gpu::Rect{0, 0, w, h}, &pixels), gpu::kOk);
    return pixels;
  }

  void DrawFullScreenTexture(gpu::BaseTexture* texture, const char* fs = kTextureFs) {
    gpu::Program* program = MakeProgram(fs);
    ASSERT_NE(program, nullptr);
    std::vector<TexturedVertex> quad = {{-1, 1, 0, 0, 0},  {1, 1, 0, 1, 0}, {-1, -1, 0, 0, 1},
                                        {-1, -1, 0, 0, 1}, {1, 1, 0, 1, 0}, {1, -1, 0, 1, 1}};
    gpu::VertexBuffer* vb = MakeBuffer(device, quad, kFvfTextured);
    ASSERT_NE(vb, nullptr);
    device->SetProgram(program);
    device->SetTexture(0, texture);
    device->SetFVF(kFvfTextured);
    device->SetStreamSource(0, vb, 0, sizeof(TexturedVertex));
    EXPECT_EQ(device->DrawPrimitive(gpu::kTriangleList, 0, 2), gpu::kOk);
    device->SetTexture(0, nullptr);
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetProgram(nullptr);
    vb->Release();
    program->Release();
  }

  std::unique_ptr<plat::Window> window;
  gpu::Gpu* gpuObject = nullptr;
  gpu::Device* device = nullptr;
  gpu::PresentParameters pp;
  std::vector<std::string> errors;
};

TEST_F(GlDeviceTest, ClearIsLimitedToTheViewportWithTheTopRowFirst) {
  MakeDevice();
  ASSERT_EQ(device->Clear(0, nullptr, gpu::kClearTarget | gpu::kClearZBuffer, 0xFFFF0000, 1.0f, 0),
            gpu::kOk);
  gpu::Viewport topLeft{0, 0, kW / 2, kH / 2, 0.0f, 1.0f};
  ASSERT_EQ(device->SetViewport(topLeft), gpu::kOk);
  ASSERT_EQ(device->Clear(0, nullptr, gpu::kClearTarget, 0xFF00FF00, 1.0f, 0), gpu::kOk);
  ASSERT_EQ(device->Present(), gpu::kOk);
  auto pixels = Frame();
  EXPECT_EQ(PixelAt(pixels, kW, 2, 2), 0xFF00FF00u);  // top left: inside the viewport
  EXPECT_EQ(PixelAt(pixels, kW, kW / 2 - 1, kH / 2 - 1), 0xFF00FF00u);
  EXPECT_EQ(PixelAt(pixels, kW, kW / 2, kH / 2), 0xFFFF0000u);  // outside it
  EXPECT_EQ(PixelAt(pixels, kW, kW - 1, kH - 1), 0xFFFF0000u);
  EXPECT_EQ(PixelAt(pixels, kW, 2, kH - 1), 0xFFFF0000u);
  EXPECT_TRUE(errors.empty()) << errors.front();
}

// A triangle in the upper half of clip space lands in the top rows; a clockwise
// triangle is drawn and a counter-clockwise one culled, as Direct3D does by default.
TEST_F(GlDeviceTest, TrianglesFromAVertexBuffer) {
  MakeDevice();
  gpu::Program* program = MakeProgram(kColourFs);
  ASSERT_NE(program, nullptr);
  // Clockwise on screen (x right, y up in clip space): top-left, top-right, centre.
  std::vector<ColouredVertex> vertices = {{-1.0f, 1.0f, 0.5f, 0xFF0000FF},
                                          {1.0f, 1.0f, 0.5f, 0xFF0000FF},
                                          {0.0f, 0.0f, 0.5f, 0xFF0000FF},
                                          // Counter-clockwise, in the lower half: culled.
                                          {-1.0f, -1.0f, 0.5f, 0xFFFFFF00},
                                          {1.0f, -1.0f, 0.5f, 0xFFFFFF00},
                                          {0.0f, 0.0f, 0.5f, 0xFFFFFF00}};
  gpu::VertexBuffer* vb = MakeBuffer(device, vertices, kFvfColoured);
  ASSERT_NE(vb, nullptr);
  ASSERT_EQ(device->BeginScene(), gpu::kOk);
  device->Clear(0, nullptr, gpu::kClearTarget | gpu::kClearZBuffer, 0xFF000000, 1.0f, 0);
  device->SetProgram(program);
  device->SetFVF(kFvfColoured);
  device->SetStreamSource(0, vb, 0, sizeof(ColouredVertex));
  EXPECT_EQ(device->DrawPrimitive(gpu::kTriangleList, 0, 2), gpu::kOk);
  ASSERT_EQ(device->EndScene(), gpu::kOk);
  ASSERT_EQ(device->Present(), gpu::kOk);
  auto pixels = Frame();
  EXPECT_EQ(PixelAt(pixels, kW, kW / 2, 4),
            0xFF0000FFu);  // inside the first triangle, near the top
  EXPECT_EQ(PixelAt(pixels, kW, kW / 2, kH - 4), 0xFF000000u);  // the culled one
  EXPECT_EQ(PixelAt(pixels, kW, 1, kH / 2 + 2), 0xFF000000u);

  // With culling off the second one shows.
  ASSERT_EQ(device->BeginScene(), gpu::kOk);
  device->SetRenderState(gpu::kRsCullMode, gpu::kCullNone);
  EXPECT_EQ(device->DrawPrimitive(gpu::kTriangleList, 3, 1), gpu::kOk);
  device->EndScene();
  device->Present();
  pixels = Frame();
  EXPECT_EQ(PixelAt(pixels, kW, kW / 2, kH - 4), 0xFFFFFF00u);
  device->SetStreamSource(0, nullptr, 0, 0);
  vb->Release();
  program->Release();
  EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(GlDeviceTest, IndexedDrawAndRangesOutsideTheBuffersAreRefused) {
  MakeDevice();
  gpu::Program* program = MakeProgram(kColourFs);
  std::vector<ColouredVertex> quad = {{-1, 1, 0, 0xFF00FF00},
                                      {1, 1, 0, 0xFF00FF00},
                                      {-1, -1, 0, 0xFF00FF00},
                                      {1, -1, 0, 0xFF00FF00}};
  gpu::VertexBuffer* vb = MakeBuffer(device, quad, kFvfColoured);
  gpu::IndexBuffer* ib = nullptr;
  ASSERT_EQ(
      device->CreateIndexBuffer(12, gpu::kUsageWriteOnly, gpu::kFmtIndex16, gpu::kPoolManaged, &ib),
      gpu::kOk);
  uint16_t* idx = nullptr;
  ASSERT_EQ(ib->Lock(0, 0, reinterpret_cast<void**>(&idx), 0), gpu::kOk);
  const uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
  std::memcpy(idx, indices, sizeof indices);
  ib->Unlock();
  device->BeginScene();
  device->Clear(0, nullptr, gpu::kClearTarget, 0xFF000000, 1.0f, 0);
  device->SetProgram(program);
  device->SetFVF(kFvfColoured);
  device->SetStreamSource(0, vb, 0, sizeof(ColouredVertex));
  device->SetIndices(ib);
  EXPECT_EQ(device->DrawIndexedPrimitive(gpu::kTriangleList, 0, 0, 4, 0, 2), gpu::kOk);
  EXPECT_EQ(device->DrawIndexedPrimitive(gpu::kTriangleList, 0, 0, 4, 3, 2),
            gpu::kErrInvalidCall);  // past the indices
  EXPECT_EQ(device->DrawIndexedPrimitive(gpu::kTriangleList, 1, 0, 4, 0, 2),
            gpu::kErrInvalidCall);  // index 3 + 1
  EXPECT_EQ(device->DrawPrimitive(gpu::kTriangleList, 2, 1),
            gpu::kErrInvalidCall);  // vertices 2..4
  device->EndScene();
  device->Present();
  auto pixels = Frame();
  EXPECT_EQ(PixelAt(pixels, kW, 1, 1), 0xFF00FF00u);
  EXPECT_EQ(PixelAt(pixels, kW, kW - 2, kH - 2), 0xFF00FF00u);
  EXPECT_EQ(errors.size(), 3u);
  device->SetIndices(nullptr);
  device->SetStreamSource(0, nullptr, 0, 0);
  ib->Release();
  vb->Release();
  program->Release();
}

// Rendering into a texture keeps Direct3D's orientation: what is drawn at the top
// of the target is sampled at v = 0.
TEST_F(GlDeviceTest, RenderToSurfaceThenSampleAndStretchRect) {
  MakeDevice();
  gpu::Texture* target = nullptr;
  ASSERT_EQ(device->CreateTexture(32, 32, 1, gpu::kUsageRenderTarget, gpu::kFmtA8R8G8B8,
                                  gpu::kPoolDefault, &target),
            gpu::kOk);
  gpu::Surface* surface = nullptr;
  ASSERT_EQ(target->GetSurfaceLevel(0, &surface), gpu::kOk);
  gpu::RenderToSurface* rts = nullptr;
  ASSERT_EQ(device->CreateRenderToSurface(32, 32, gpu::kFmtA8R8G8B8, true, gpu::kFmtD24S8, &rts),
            gpu::kOk);

  gpu::Viewport full{0, 0, 32, 32, 0.0f, 1.0f};
  ASSERT_EQ(rts->BeginScene(surface, &full), gpu::kOk);
  device->Clear(0, nullptr, gpu::kClearTarget | gpu::kClearZBuffer, 0xFF0000FF, 1.0f, 0);
  gpu::Viewport top{0, 0, 32, 16, 0.0f, 1.0f};
  device->SetViewport(top);
  device->Clear(0, nullptr, gpu::kClearTarget, 0xFFFF0000, 1.0f, 0);
  ASSERT_EQ(rts->EndScene(gpu::kDxFilterNone), gpu::kOk);

  // EndScene gave the back buffer back with its viewport.
  gpu::Surface* current = nullptr;
  ASSERT_EQ(device->GetRenderTarget(0, &current), gpu::kOk);
  EXPECT_EQ(current->DebugName(), "backbuffer");
  current->Release();
  gpu::Viewport vp;
  device->GetViewport(&vp);
  EXPECT_EQ(vp.width, static_cast<uint32_t>(kW));

  device->BeginScene();
  device->Clear(0, nullptr, gpu::kClearTarget, 0xFF000000, 1.0f, 0);
  DrawFullScreenTexture(target);
  device->EndScene();
  device->Present();
  auto pixels = Frame();
  EXPECT_EQ(PixelAt(pixels, kW, kW / 2, 2), 0xFFFF0000u);
  EXPECT_EQ(PixelAt(pixels, kW, kW / 2, kH - 3), 0xFF0000FFu);

  // StretchRect of the texture into the left half of the back buffer.
  gpu::Surface* back = nullptr;
  ASSERT_EQ(device->GetBackBuffer(0, 0, &back), gpu::kOk);
  device->Clear(0, nullptr, gpu::kClearTarget, 0xFF000000, 1.0f, 0);
  gpu::Rect left{0, 0, kW / 2, kH};
  ASSERT_EQ(device->StretchRect(surface, nullptr, back, &left, gpu::kTexFilterNone), gpu::kOk);
  device->Present();
  pixels = Frame();
  EXPECT_EQ(PixelAt(pixels, kW, 4, 2), 0xFFFF0000u);
  EXPECT_EQ(PixelAt(pixels, kW, 4, kH - 3), 0xFF0000FFu);
  EXPECT_EQ(PixelAt(pixels, kW, kW - 4, kH / 2), 0xFF000000u);

  back->Release();
  rts->Release();
  surface->Release();
  target->Release();
  EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(GlDeviceTest, CubeTargetFacesAreDrawnSeparately) {
  MakeDevice();
  gpu::CubeTexture* cube = nullptr;
  ASSERT_EQ(device->CreateCubeTexture(16, 1, gpu::kUsageRenderTarget, gpu::kFmtA8R8G8B8,
                                      gpu::kPoolDefault, &cube),
            gpu::kOk);
  gpu::RenderToSurface* rts = nullptr;
  ASSERT_EQ(device->CreateRenderToSurface(16, 16, gpu::kFmtA8R8G8B8, true, gpu::kFmtD16, &rts),
            gpu::kOk);
  const uint32_t colours[6] = {0xFF100000, 0xFF200000, 0xFF300000,
                               0xFF400000, 0xFF500000, 0xFF600000};
  gpu::Viewport vp{0, 0, 16, 16, 0.0f, 1.0f};
  for (uint32_t face = 0; face < 6; ++face) {
    gpu::Surface* s = nullptr;
    ASSERT_EQ(cube->GetCubeMapSurface(face, 0, &s), gpu::kOk);
    ASSERT_EQ(rts->BeginScene(s, &vp), gpu::kOk);
    device->Clear(0, nullptr, gpu::kClearTarget | gpu::kClearZBuffer, colours[face], 1.0f, 0);
    rts->EndScene(gpu::kDxFilterNone);
    s->Release();
  }
  for (uint32_t face = 0; face < 6; ++face) {
    gpu::Surface* s = nullptr;
    cube->GetCubeMapSurface(face, 0, &s);
    std::vector<uint8_t> pixels;
    ASSERT_EQ(device->ReadPixels(s, gpu::Rect{0, 0, 16, 16}, &pixels), gpu::kOk);
    EXPECT_EQ(PixelAt(pixels, 16, 8, 8), colours[face]) << "face " << face;
    s->Release();
  }
  rts->Release();
  cube->Release();
  EXPECT_TRUE(errors.empty()) << errors.front();
}

// A one-level texture is complete whatever the mip filter; texel (0,0) of the image
// is its top-left corner.
TEST_F(GlDeviceTest, TextureFromAnImage) {
  MakeDevice();
  plat::image::Image image;
  image.kind = plat::image::Kind::Texture2D;
  image.format = plat::image::kFormatA8R8G8B8;
  image.width = image.height = 2;
  image.mipLevels = 1;
  // B,G,R,A bytes: red, green / blue, white.
  image.levels.push_back(
      {2, 2, 1, {0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255, 255, 255, 255, 255}});
  gpu::BaseTexture* texture = nullptr;
  ASSERT_EQ(device->CreateTextureFromImage(image, &texture), gpu::kOk);
  EXPECT_EQ(texture->Type(), gpu::ResourceType::Texture);
  device->SetSamplerState(0, gpu::kSampMipFilter, gpu::kTexFilterLinear);
  device->BeginScene();
  DrawFullScreenTexture(texture);
  device->EndScene();
  device->Present();
  auto pixels = Frame();
  EXPECT_EQ(PixelAt(pixels, kW, 4, 4), 0xFFFF0000u);
  EXPECT_EQ(PixelAt(pixels, kW, kW - 4, 4), 0xFF00FF00u);
  EXPECT_EQ(PixelAt(pixels, kW, 4, kH - 4), 0xFF0000FFu);
  EXPECT_EQ(PixelAt(pixels, kW, kW - 4, kH - 4), 0xFFFFFFFFu);
  texture->Release();

  // Levels that do not match the sizes they claim are refused.
  image.levels[0].data.resize(8);
  EXPECT_EQ(device->CreateTextureFromImage(image, &texture), gpu::kErrInvalidCall);
  EXPECT_EQ(texture, nullptr);
  EXPECT_EQ(errors.size(), 1u);
}

// One-byte texels: rows of any width arrive unskewed (every mip chain reaches widths
// that are not a multiple of 4).
TEST_F(GlDeviceTest, OneByteTexelsKeepTheirRows) {
  MakeDevice();
  struct Case {
    uint32_t format, width, height;
  };
  for (const Case& c :
       {Case{gpu::kFmtA8, 2, 2}, Case{gpu::kFmtA8, 3, 3}, Case{gpu::kFmtL8, 5, 2}}) {
    SCOPED_TRACE("format " + std::to_string(c.format) + " " + std::to_string(c.width) + "x" +
                 std::to_string(c.height));
    gpu::Texture* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(c.width, c.height, 1, 0, c.format, gpu::kPoolManaged, &texture),
              gpu::kOk);
    gpu::LockedRect lr;
    ASSERT_EQ(texture->LockRect(0, &lr, nullptr, 0), gpu::kOk);
    ASSERT_EQ(lr.pitch, static_cast<int32_t>(c.width));
    auto* bits = static_cast<uint8_t*>(lr.bits);
    for (uint32_t i = 0; i < c.width * c.height; ++i) bits[i] = static_cast<uint8_t>(10 * (i + 1));
    texture->UnlockRect(0);
    gpu::Surface* surface = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), gpu::kOk);
    std::vector<uint8_t> pixels;
    ASSERT_EQ(
        device->ReadPixels(
            surface, gpu::Rect{0, 0, static_cast<int32_t>(c.width), static_cast<int32_t>(c.height)},
            &pixels),
        gpu::kOk);
    for (uint32_t i = 0; i < c.width * c.height; ++i) {
      uint8_t expected = static_cast<uint8_t>(10 * (i + 1));
      // A8 reads back as alpha, L8 as grey.
      EXPECT_EQ(pixels[i * 4 + (c.format == gpu::kFmtA8 ? 3 : 2)], expected) << "texel " << i;
    }
    surface->Release();
    texture->Release();
  }
  EXPECT_TRUE(errors.empty()) << errors.front();
}

// A volume filled through LockBox: slice 0 red, slice 1 green, sampled across depth.
TEST_F(GlDeviceTest, VolumeTextureSlicesAreSampledInDepth) {
  MakeDevice();
  gpu::VolumeTexture* volume = nullptr;
  ASSERT_EQ(
      device->CreateVolumeTexture(2, 2, 2, 1, 0, gpu::kFmtA8R8G8B8, gpu::kPoolManaged, &volume),
      gpu::kOk);
  gpu::LockedBox lb;
  ASSERT_EQ(volume->LockBox(0, &lb, nullptr, 0), gpu::kOk);
  for (int slice = 0; slice < 2; ++slice)
    for (int texel = 0; texel < 4; ++texel) {
      uint32_t colour = slice ? 0xFF00FF00u : 0xFFFF0000u;
      std::memcpy(static_cast<uint8_t*>(lb.bits) + slice * lb.slicePitch + texel * 4, &colour, 4);
    }
  ASSERT_EQ(volume->UnlockBox(0), gpu::kOk);
  const char* fs =
      "#version 330 core\n"
      "uniform sampler3D u_volume;\n"
      "in vec2 v_uv;\n"
      "out vec4 o_colour;\n"
      "void main() { o_colour = texture(u_volume, vec3(v_uv, v_uv.x)); }\n";
  device->BeginScene();
  device->Clear(0, nullptr, gpu::kClearTarget, 0xFF000000, 1.0f, 0);
  DrawFullScreenTexture(volume, fs);
  device->EndScene();
  device->Present();
  auto pixels = Frame();
  EXPECT_EQ(PixelAt(pixels, kW, 4, kH / 2), 0xFFFF0000u);
  EXPECT_EQ(PixelAt(pixels, kW, kW - 4, kH / 2), 0xFF00FF00u);
  volume->Release();
  EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(GlDeviceTest, Dxt1TextureFromAnImage) {
  MakeDevice();
  plat::image::Image image;
  image.format = plat::image::kFormatDXT1;
  image.width = image.height = 4;
  image.mipLevels = 1;
  // One block: both end colours pure green (RGB565 0x07E0), every index 0.
  image.levels.push_back({4, 4, 1, {0xE0, 0x07, 0xE0, 0x07, 0, 0, 0, 0}});
  gpu::BaseTexture* texture = nullptr;
  ASSERT_EQ(device->CreateTextureFromImage(image, &texture), gpu::kOk);
  device->BeginScene();
  DrawFullScreenTexture(texture);
  device->EndScene();
  device->Present();
  EXPECT_EQ(PixelAt(Frame(), kW, kW / 2, kH / 2), 0xFF00FF00u);
  texture->Release();
}

TEST_F(GlDeviceTest, ResetRebuildsAtANewSizeOnlyWithoutDefaultResources) {
  MakeDevice();
  gpu::Texture* target = nullptr;
  ASSERT_EQ(device->CreateTexture(8, 8, 1, gpu::kUsageRenderTarget, gpu::kFmtA8R8G8B8,
                                  gpu::kPoolDefault, &target),
            gpu::kOk);
  gpu::PresentParameters bigger = pp;
  bigger.backBufferWidth = 96;
  bigger.backBufferHeight = 80;
  EXPECT_EQ(device->Reset(&bigger), gpu::kErrInvalidCall);
  EXPECT_EQ(errors.size(), 1u);
  target->Release();
  EXPECT_EQ(device->DefaultPoolResourceCount(), 0u);
  ASSERT_EQ(device->Reset(&bigger), gpu::kOk);
  EXPECT_EQ(device->GetPresentParameters().backBufferWidth, 96u);
  gpu::Viewport vp;
  device->GetViewport(&vp);
  EXPECT_EQ(vp.width, 96u);
  EXPECT_EQ(vp.height, 80u);
  device->Clear(0, nullptr, gpu::kClearTarget, 0xFF336699, 1.0f, 0);
  ASSERT_EQ(device->Present(), gpu::kOk);
  auto pixels = Frame(96, 80);
  EXPECT_EQ(PixelAt(pixels, 96, 95, 79), 0xFF336699u);
}

TEST_F(GlDeviceTest, MultisampledBackBufferResolvesAtPresent) {
  uint32_t quality = 0;
  ASSERT_EQ(gpuObject->CheckDeviceMultiSampleType(0, gpu::kDevTypeHal, gpu::kFmtA8R8G8B8, true, 4,
                                                  &quality),
            gpu::kOk);
  MakeDevice(4);
  gpu::Program* program = MakeProgram(kColourFs);
  std::vector<ColouredVertex> tri = {
      {-1, 1, 0.2f, 0xFFFFFFFF},  {1, 1, 0.2f, 0xFFFFFFFF}, {-1, -1, 0.2f, 0xFFFFFFFF},
      {-1, 1, 0.5f, 0xFF0000FF},  {1, 1, 0.5f, 0xFF0000FF}, {-1, -1, 0.5f, 0xFF0000FF},
      {-1, -1, 0.5f, 0xFF0000FF}, {1, 1, 0.5f, 0xFF0000FF}, {1, -1, 0.5f, 0xFF0000FF}};
  gpu::VertexBuffer* vb = MakeBuffer(device, tri, kFvfColoured);
  // A single-sampled texture target shares the multisampled depth buffer and tests
  // against what the back buffer's draw left in it.
  gpu::Texture* target = nullptr;
  ASSERT_EQ(device->CreateTexture(kW, kH, 1, gpu::kUsageRenderTarget, gpu::kFmtA8R8G8B8,
                                  gpu::kPoolDefault, &target),
            gpu::kOk);
  gpu::Surface* surface = nullptr;
  target->GetSurfaceLevel(0, &surface);
  device->BeginScene();
  device->Clear(0, nullptr, gpu::kClearTarget | gpu::kClearZBuffer, 0xFF000000, 1.0f, 0);
  device->SetProgram(program);
  device->SetFVF(kFvfColoured);
  device->SetStreamSource(0, vb, 0, sizeof(ColouredVertex));
  EXPECT_EQ(device->DrawPrimitive(gpu::kTriangleList, 0, 1), gpu::kOk);
  gpu::Surface* back = nullptr;
  device->GetRenderTarget(0, &back);
  device->SetRenderTarget(0, surface);
  device->Clear(0, nullptr, gpu::kClearTarget, 0xFF00FF00, 1.0f, 0);
  // Farther than the triangle already in the depth buffer: hidden where it covers.
  EXPECT_EQ(device->DrawPrimitive(gpu::kTriangleList, 3, 2), gpu::kOk);
  device->SetRenderTarget(0, back);
  device->EndScene();
  ASSERT_EQ(device->Present(), gpu::kOk);
  auto pixels = Frame();
  EXPECT_EQ(PixelAt(pixels, kW, 2, 2), 0xFFFFFFFFu);
  EXPECT_EQ(PixelAt(pixels, kW, kW - 2, kH - 2), 0xFF000000u);
  // An edge pixel mixes both colours.
  uint32_t edge = PixelAt(pixels, kW, kW / 2, kH / 2 - 1) & 0xFF;
  EXPECT_GT(edge, 0u);
  EXPECT_LT(edge, 0xFFu);
  std::vector<uint8_t> texPixels;
  ASSERT_EQ(device->ReadPixels(surface, gpu::Rect{0, 0, kW, kH}, &texPixels), gpu::kOk);
  EXPECT_EQ(PixelAt(texPixels, kW, 2, 2), 0xFF00FF00u);            // behind the triangle's depth
  EXPECT_EQ(PixelAt(texPixels, kW, kW - 2, kH - 2), 0xFF0000FFu);  // in front of the cleared depth
  back->Release();
  surface->Release();
  target->Release();
  device->SetStreamSource(0, nullptr, 0, 0);
  vb->Release();
  program->Release();
  EXPECT_TRUE(errors.empty()) << errors.front();
}

// A multisampled target larger than the back buffer is resolved whole, and the resolve
// leaves the presented frame (what ReadPixels of the back buffer reads) alone.
TEST_F(GlDeviceTest, StretchRectResolvesALargeMultisampledTargetWhole) {
  MakeDevice();
  device->BeginScene();
  device->Clear(0, nullptr, gpu::kClearTarget, 0xFF0000FF, 1.0f, 0);
  device->EndScene();
  ASSERT_EQ(device->Present(), gpu::kOk);
  gpu::Surface* large = nullptr;
  ASSERT_EQ(device->CreateRenderTarget(2 * kW, 2 * kH, gpu::kFmtA8R8G8B8, 4, &large), gpu::kOk);
  gpu::Surface* back = nullptr;
  ASSERT_EQ(device->GetRenderTarget(0, &back), gpu::kOk);
  device->BeginScene();
  device->SetRenderTarget(0, large);
  device->Clear(0, nullptr, gpu::kClearTarget, 0xFFFF0000, 1.0f, 0);
  const gpu::Rect beyond{kW, kH, 2 * kW, 2 * kH};  // outside the back buffer's size
  device->Clear(1, &beyond, gpu::kClearTarget, 0xFF00FF00, 1.0f, 0);
  device->SetRenderTarget(0, back);
  device->EndScene();
  gpu::Texture* half = nullptr;
  ASSERT_EQ(device->CreateTexture(kW, kH, 1, gpu::kUsageRenderTarget, gpu::kFmtA8R8G8B8,
                                  gpu::kPoolDefault, &half),
            gpu::kOk);
  gpu::Surface* halfSurface = nullptr;
  half->GetSurfaceLevel(0, &halfSurface);
  ASSERT_EQ(device->StretchRect(large, nullptr, halfSurface, nullptr, gpu::kTexFilterNone),
            gpu::kOk);
  std::vector<uint8_t> pixels;
  ASSERT_EQ(device->ReadPixels(halfSurface, gpu::Rect{0, 0, kW, kH}, &pixels), gpu::kOk);
  EXPECT_EQ(PixelAt(pixels, kW, 4, 4), 0xFFFF0000u);
  EXPECT_EQ(PixelAt(pixels, kW, kW - 4, kH - 4), 0xFF00FF00u);
  // The presented frame is still the blue one.
  EXPECT_EQ(PixelAt(Frame(), kW, kW / 2, kH / 2), 0xFF0000FFu);
  halfSurface->Release();
  half->Release();
  back->Release();
  large->Release();
  EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(GlDeviceTest, SpriteDrawsTexturedQuadsInTargetPixels) {
  MakeDevice();
  gpu::Texture* texture = nullptr;
  ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, gpu::kFmtA8R8G8B8, gpu::kPoolManaged, &texture),
            gpu::kOk);
  gpu::LockedRect locked;
  ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), gpu::kOk);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      std::memcpy(static_cast<uint8_t*>(locked.bits) + y * locked.pitch + x * 4, "\xFF\xFF\xFF\xFF",
                  4);
  ASSERT_EQ(texture->UnlockRect(0), gpu::kOk);
  gpu::Sprite* sprite = nullptr;
  ASSERT_EQ(device->CreateSprite(&sprite), gpu::kOk);
  // Twice the size through the transform: 4x4 texels at (10, 6) cover 8x8 pixels.
  float scale[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  device->BeginScene();
  device->Clear(0, nullptr, gpu::kClearTarget, 0xFF000000, 1.0f, 0);
  ASSERT_EQ(sprite->Begin(gpu::kSpriteAlphaBlend), gpu::kOk);
  sprite->SetTransform(scale);
  float position[3] = {5, 3, 0};
  ASSERT_EQ(sprite->Draw(texture, nullptr, nullptr, position, 0xFFFF8000), gpu::kOk);
  ASSERT_EQ(sprite->End(), gpu::kOk);
  device->EndScene();
  device->Present();
  auto pixels = Frame();
  EXPECT_EQ(PixelAt(pixels, kW, 10, 6), 0xFFFF8000u);
  EXPECT_EQ(PixelAt(pixels, kW, 17, 13), 0xFFFF8000u);
  EXPECT_EQ(PixelAt(pixels, kW, 18, 14), 0xFF000000u);
  EXPECT_EQ(PixelAt(pixels, kW, 9, 6), 0xFF000000u);
  // End put the states back.
  uint32_t cull = 0;
  device->GetRenderState(gpu::kRsCullMode, &cull);
  EXPECT_EQ(cull, gpu::kCullCCW);
  sprite->Release();
  texture->Release();
  EXPECT_TRUE(errors.empty()) << errors.front();
}

// The loading thread fills a buffer; the render thread uploads it at its next frame.
TEST_F(GlDeviceTest, BufferCreatedAndFilledOnAnotherThread) {
  MakeDevice();
  gpu::Program* program = MakeProgram(kColourFs);
  gpu::VertexBuffer* vb = nullptr;
  plat::Thread loader;
  ASSERT_TRUE(loader.Start([&]() -> uint32_t {
    std::vector<ColouredVertex> quad = {{-1, 1, 0, 0xFF808080},
                                        {1, 1, 0, 0xFF808080},
                                        {-1, -1, 0, 0xFF808080},
                                        {1, -1, 0, 0xFF808080}};
    vb = MakeBuffer(device, quad, kFvfColoured);
    // A program asked for off the render thread is built at the next drain.
    return vb ? 0 : 1;
  }));
  ASSERT_EQ(loader.Wait(10000), plat::WaitResult::Signalled);
  ASSERT_EQ(loader.ExitCode(), 0u);
  device->BeginScene();
  device->SetProgram(program);
  device->SetFVF(kFvfColoured);
  device->SetStreamSource(0, vb, 0, sizeof(ColouredVertex));
  EXPECT_EQ(device->DrawPrimitive(gpu::kTriangleStrip, 0, 2), gpu::kOk);
  device->EndScene();
  device->Present();
  EXPECT_EQ(PixelAt(Frame(), kW, kW / 2, kH / 2), 0xFF808080u);
  device->SetStreamSource(0, nullptr, 0, 0);
  vb->Release();
  program->Release();
}

// Per-instance data from a second stream (attribute divisors) with a declaration.
// The decal pass's layout: a second position (usage index 1) from a second stream,
// read by the shader at its own location.
TEST_F(GlDeviceTest, SecondPositionFromASecondStream) {
  MakeDevice();
  std::string vs = std::string("#version 330 core\n") + gpu::AttributeLocationsGlsl() +
                   "layout(location = HM_ATTR_POSITION) in vec3 a_position;\n"
                   "layout(location = HM_ATTR_POSITION1) in vec3 a_offset;\n"
                   "layout(location = HM_ATTR_COLOR0) in vec4 a_color0;\n"
                   "out vec4 v_colour;\n"
                   "void main() { gl_Position = vec4(a_position + a_offset, 1.0); "
                   "v_colour = a_color0; }\n";
  gpu::Program* program = nullptr;
  std::string log;
  ASSERT_EQ(device->CreateProgram(vs.c_str(), kColourFs, &program, &log), gpu::kOk) << log;
  const gpu::VertexElement elements[] = {{0, 0, gpu::kDeclFloat3, 0, gpu::kUsagePosition, 0},
                                         {0, 12, gpu::kDeclColor, 0, gpu::kUsageColor, 0},
                                         {1, 0, gpu::kDeclFloat3, 0, gpu::kUsagePosition, 1},
                                         gpu::kDeclEnd};
  gpu::VertexDeclaration* decl = nullptr;
  ASSERT_EQ(device->CreateVertexDeclaration(elements, &decl), gpu::kOk);
  // The left half of the screen, moved to the right half by the second position.
  std::vector<ColouredVertex> leftHalf = {{-1, 1, 0, 0xFFFF0000},
                                          {0, 1, 0, 0xFFFF0000},
                                          {-1, -1, 0, 0xFFFF0000},
                                          {0, -1, 0, 0xFFFF0000}};
  struct Offset {
    float x, y, z;
  };
  std::vector<Offset> offsets(4, Offset{1, 0, 0});
  gpu::VertexBuffer* geometry = MakeBuffer(device, leftHalf, 0);
  gpu::VertexBuffer* moved = MakeBuffer(device, offsets, 0);
  device->BeginScene();
  device->Clear(0, nullptr, gpu::kClearTarget, 0xFF000000, 1.0f, 0);
  device->SetProgram(program);
  device->SetVertexDeclaration(decl);
  device->SetStreamSource(0, geometry, 0, sizeof(ColouredVertex));
  device->SetStreamSource(1, moved, 0, sizeof(Offset));
  EXPECT_EQ(device->DrawPrimitive(gpu::kTriangleStrip, 0, 2), gpu::kOk);
  device->EndScene();
  device->Present();
  auto pixels = Frame();
  EXPECT_EQ(PixelAt(pixels, kW, 4, kH / 2), 0xFF000000u);
  EXPECT_EQ(PixelAt(pixels, kW, kW - 4, kH / 2), 0xFFFF0000u);
  device->SetStreamSource(0, nullptr, 0, 0);
  device->SetStreamSource(1, nullptr, 0, 0);
  device->SetVertexDeclaration(nullptr);
  geometry->Release();
  moved->Release();
  decl->Release();
  program->Release();
  EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(GlDeviceTest, InstancedDrawFromADeclaration) {
  MakeDevice();
  const char* vs =
      "#version 330 core\n"
      "layout(location = 0) in vec3 a_position;\n"
      "layout(location = 2) in vec4 a_color0;\n"
      "layout(location = 5) in vec4 a_texcoord1;\n"
      "out vec4 v_colour;\n"
      "void main() { gl_Position = vec4(a_position + a_texcoord1.xyz, 1.0); v_colour = a_color0; "
      "}\n";
  gpu::Program* program = nullptr;
  std::string log;
  ASSERT_EQ(device->CreateProgram(vs, kColourFs, &program, &log), gpu::kOk) << log;
  const gpu::VertexElement elements[] = {{0, 0, gpu::kDeclFloat3, 0, gpu::kUsagePosition, 0},
                                         {1, 0, gpu::kDeclFloat4, 0, gpu::kUsageTexCoord, 1},
                                         {1, 16, gpu::kDeclColor, 0, gpu::kUsageColor, 0},
                                         gpu::kDeclEnd};
  gpu::VertexDeclaration* decl = nullptr;
  ASSERT_EQ(device->CreateVertexDeclaration(elements, &decl), gpu::kOk);
  struct Position {
    float x, y, z;
  };
  struct Instance {
    float offset[4];
    uint32_t colour;
  };
  std::vector<Position> leftHalf = {{-1, 1, 0}, {0, 1, 0}, {-1, -1, 0}, {0, -1, 0}};
  std::vector<Instance> instances = {{{0, 0, 0, 0}, 0xFFFF0000}, {{1, 0, 0, 0}, 0xFF00FF00}};
  gpu::VertexBuffer* geometry = MakeBuffer(device, leftHalf, 0);
  gpu::VertexBuffer* perInstance = MakeBuffer(device, instances, 0);
  device->BeginScene();
  device->Clear(0, nullptr, gpu::kClearTarget, 0xFF000000, 1.0f, 0);
  device->SetProgram(program);
  device->SetVertexDeclaration(decl);
  device->SetStreamSource(0, geometry, 0, sizeof(Position));
  device->SetStreamSource(1, perInstance, 0, sizeof(Instance));
  device->SetStreamSourceFreq(0, gpu::kStreamIndexedData | 2);
  device->SetStreamSourceFreq(1, gpu::kStreamInstanceData | 1);
  EXPECT_EQ(device->DrawPrimitive(gpu::kTriangleStrip, 0, 2), gpu::kOk);
  device->SetStreamSourceFreq(0, 1);
  device->SetStreamSourceFreq(1, 1);
  device->EndScene();
  device->Present();
  auto pixels = Frame();
  EXPECT_EQ(PixelAt(pixels, kW, 4, kH / 2), 0xFFFF0000u);
  EXPECT_EQ(PixelAt(pixels, kW, kW - 4, kH / 2), 0xFF00FF00u);
  device->SetStreamSource(0, nullptr, 0, 0);
  device->SetStreamSource(1, nullptr, 0, 0);
  device->SetVertexDeclaration(nullptr);
  geometry->Release();
  perInstance->Release();
  decl->Release();
  program->Release();
  EXPECT_TRUE(errors.empty()) << errors.front();
}

// Cube faces from an image land on the faces a direction picks.
TEST_F(GlDeviceTest, CubeTextureFromAnImage) {
  MakeDevice();
  plat::image::Image image;
  image.kind = plat::image::Kind::Cube;
  image.format = plat::image::kFormatA8R8G8B8;
  image.width = image.height = 1;
  image.mipLevels = 1;
  image.faces = 6;
  for (uint8_t face = 0; face < 6; ++face)
    image.levels.push_back({1, 1, 1, {0, 0, static_cast<uint8_t>(40 * (face + 1)), 255}});
  gpu::BaseTexture* cube = nullptr;
  ASSERT_EQ(device->CreateTextureFromImage(image, &cube), gpu::kOk);
  ASSERT_EQ(cube->Type(), gpu::ResourceType::CubeTexture);
  const char* fs =
      "#version 330 core\n"
      "uniform samplerCube u_cube;\n"
      "in vec2 v_uv;\n"
      "out vec4 o_colour;\n"
      "void main() {\n"
      "  int face = int(v_uv.x * 6.0);\n"
      "  vec3 dirs[6] = vec3[6](vec3(1,0,0), vec3(-1,0,0), vec3(0,1,0), vec3(0,-1,0), vec3(0,0,1), "
      "vec3(0,0,-1));\n"
      "  o_colour = texture(u_cube, dirs[face]);\n"
      "}\n";
  gpu::Program* program = nullptr;
  std::string log;
  ASSERT_EQ(device->CreateProgram(kVs, fs, &program, &log), gpu::kOk) << log;
  std::vector<TexturedVertex> quad = {
      {-1, 1, 0, 0, 0}, {1, 1, 0, 1, 0}, {-1, -1, 0, 0, 1}, {1, -1, 0, 1, 1}};
  gpu::VertexBuffer* vb = MakeBuffer(device, quad, kFvfTextured);
  device->BeginScene();
  device->SetProgram(program);
  device->SetTexture(0, cube);
  device->SetFVF(kFvfTextured);
  device->SetStreamSource(0, vb, 0, sizeof(TexturedVertex));
  EXPECT_EQ(device->DrawPrimitive(gpu::kTriangleStrip, 0, 2), gpu::kOk);
  device->EndScene();
  device->Present();
  auto pixels = Frame();
  for (int face = 0; face < 6; ++face) {
    int x = (2 * face + 1) * kW / 12;
    EXPECT_EQ(PixelAt(pixels, kW, x, kH / 2), 0xFF000000u | static_cast<uint32_t>(40 * (face + 1))
                                                                << 16)
        << "face " << face;
  }
  device->SetTexture(0, nullptr);
  device->SetStreamSource(0, nullptr, 0, 0);
  vb->Release();
  cube->Release();
  program->Release();
}

// Resources made, filled and dropped by another thread while the render thread runs
// frames: the uploads and deletions never touch a proxy that is gone.
TEST_F(GlDeviceTest, ResourcesComeAndGoWhileFramesRun) {
  MakeDevice();
  std::atomic<bool> done{false};
  plat::Thread loader;
  ASSERT_TRUE(loader.Start([&]() -> uint32_t {
    for (int i = 0; i < 300; ++i) {
      gpu::VertexBuffer* vb = nullptr;
      gpu::Texture* texture = nullptr;
      if (gpu::Failed(device->CreateVertexBuffer(4096, 0, 0, gpu::kPoolManaged, &vb))) return 1;
      if (gpu::Failed(
              device->CreateTexture(32, 32, 0, 0, gpu::kFmtA8R8G8B8, gpu::kPoolManaged, &texture)))
        return 2;
      void* data = nullptr;
      vb->Lock(0, 0, &data, 0);
      std::memset(data, i & 0xFF, 4096);
      vb->Unlock();
      gpu::LockedRect rect;
      texture->LockRect(1, &rect, nullptr, 0);
      std::memset(rect.bits, 0x7F, static_cast<size_t>(rect.pitch) * 16);
      texture->UnlockRect(1);
      if (i % 3) plat::Yield();
      vb->Release();
      texture->Release();
    }
    done = true;
    return 0;
  }));
  int frames = 0;
  while (!done.load() && frames < 100000) {
    device->BeginScene();
    device->Clear(0, nullptr, gpu::kClearTarget, 0xFF000000, 1.0f, 0);
    device->EndScene();
    device->Present();
    ++frames;
  }
  ASSERT_EQ(loader.Wait(30000), plat::WaitResult::Signalled);
  EXPECT_EQ(loader.ExitCode(), 0u);
  device->DrainQueues();
  EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(GlDeviceTest, ShaderErrorsReportTheCompilersText) {
  MakeDevice();
  gpu::Program* program = nullptr;
  std::string log;
  EXPECT_EQ(
      device->CreateProgram(kVs, "#version 330 core\nout vec4 o; void main() { o = nothing; }\n",
                            &program, &log),
      gpu::kErrFail);
  EXPECT_EQ(program, nullptr);
  EXPECT_NE(log.find("nothing"), std::string::npos) << log;

  program = MakeProgram(kTextureFs);
  ASSERT_NE(program, nullptr);
  EXPECT_GE(program->UniformLocation("u_texture"), 0);
  EXPECT_EQ(program->UniformLocation("u_absent"), -1);
  program->Release();
}

TEST_F(GlDeviceTest, QueriesOfTheDriver) {
  EXPECT_GE(gpuObject->GetAdapterCount(), 1u);
  uint32_t modes = gpuObject->GetAdapterModeCount(0, gpu::kFmtX8R8G8B8);
  EXPECT_GE(modes, 1u);
  gpu::DisplayMode mode{};
  EXPECT_EQ(gpuObject->EnumAdapterModes(0, gpu::kFmtX8R8G8B8, 0, &mode), gpu::kOk);
  EXPECT_GT(mode.width, 0u);
  EXPECT_EQ(gpuObject->EnumAdapterModes(0, gpu::kFmtX8R8G8B8, modes, &mode), gpu::kErrInvalidCall);
  gpu::Caps caps;
  ASSERT_EQ(gpuObject->GetDeviceCaps(0, gpu::kDevTypeHal, &caps), gpu::kOk);
  EXPECT_TRUE(caps.devCaps & gpu::kDevCapsHwTransformAndLight);
  EXPECT_GE(caps.maxTextureWidth, 2048u);
  EXPECT_EQ(
      gpuObject->CheckDeviceMultiSampleType(0, gpu::kDevTypeHal, gpu::kFmtD24S8, true, 0, nullptr),
      gpu::kOk);
  EXPECT_EQ(gpuObject->CheckDeviceMultiSampleType(0, gpu::kDevTypeHal, gpu::kFmtD24S8, true, 16 + 1,
                                                  nullptr),
            gpu::kErrInvalidCall);
  EXPECT_EQ(
      gpuObject->CheckDeviceType(0, gpu::kDevTypeHal, gpu::kFmtX8R8G8B8, gpu::kFmtA8R8G8B8, true),
      gpu::kOk);
  EXPECT_EQ(gpuObject->CheckDeviceType(0, gpu::kDevTypeHal, gpu::kFmtR32F, gpu::kFmtA8R8G8B8, true),
            gpu::kErrNotAvailable);
}

TEST_F(GlDeviceTest, SimulatedLossNeedsAReset) {
  MakeDevice();
  device->SimulateDeviceLoss(2);
  EXPECT_EQ(device->TestCooperativeLevel(), gpu::kErrDeviceLost);
  EXPECT_EQ(device->Present(), gpu::kErrDeviceLost);
  EXPECT_EQ(device->TestCooperativeLevel(), gpu::kErrDeviceLost);
  EXPECT_EQ(device->TestCooperativeLevel(), gpu::kErrDeviceNotReset);
  EXPECT_EQ(device->TestCooperativeLevel(), gpu::kErrDeviceNotReset);
  ASSERT_EQ(device->Reset(&pp), gpu::kOk);
  EXPECT_EQ(device->TestCooperativeLevel(), gpu::kOk);
  EXPECT_EQ(device->Present(), gpu::kOk);
}

}  // namespace
