// The recording back end: no GL, no window. It logs the calls, rejects misuse and
// plays the faults it is given.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/gpu/Device.h"
#include "platform/gpu/Sphere.h"
#include "platform/thread/Thread.h"

namespace gpu = plat::gpu;

namespace {

class RecordingDeviceTest : public ::testing::Test {
protected:
  void SetUp() override {
    recorder = std::make_shared<gpu::Recorder>();
    gpuObject = gpu::CreateRecordingGpu(recorder);
    ASSERT_NE(gpuObject, nullptr);
  }
  void TearDown() override {
    if (device) device->Release();
    if (gpuObject) gpuObject->Release();
  }
  void MakeDevice() {
    pp.backBufferWidth = 320;
    pp.backBufferHeight = 240;
    ASSERT_EQ(gpuObject->CreateDevice(0, gpu::kDevTypeHal, nullptr, 0, &pp, &device), gpu::kOk);
  }
  bool ErrorMentions(const std::string& text) const {
    auto errors = recorder->Errors();
    return std::any_of(errors.begin(), errors.end(),
                       [&](const std::string& e) { return e.find(text) != std::string::npos; });
  }

  std::shared_ptr<gpu::Recorder> recorder;
  gpu::Gpu* gpuObject = nullptr;
  gpu::Device* device = nullptr;
  gpu::PresentParameters pp;
};

TEST_F(RecordingDeviceTest, MisuseIsRejectedAndRecorded) {
  MakeDevice();
  gpu::VertexBuffer* vb = nullptr;
  ASSERT_EQ(device->CreateVertexBuffer(48, 0, gpu::kFvfXyz, gpu::kPoolManaged, &vb), gpu::kOk);
  device->SetFVF(gpu::kFvfXyz);
  device->SetStreamSource(0, vb, 0, 12);

  // A draw outside a scene.
  EXPECT_EQ(device->DrawPrimitive(gpu::kTriangleList, 0, 1), gpu::kErrInvalidCall);
  EXPECT_TRUE(ErrorMentions("outside BeginScene"));
  // Scenes that do not pair.
  EXPECT_EQ(device->EndScene(), gpu::kErrInvalidCall);
  ASSERT_EQ(device->BeginScene(), gpu::kOk);
  EXPECT_EQ(device->BeginScene(), gpu::kErrInvalidCall);
  EXPECT_EQ(device->DrawPrimitive(gpu::kTriangleList, 0, 1), gpu::kOk);
  EXPECT_EQ(device->DrawPrimitive(gpu::kTriangleList, 2, 1),
            gpu::kErrInvalidCall);                     // vertices 2..4 of 4
  EXPECT_EQ(device->Present(), gpu::kErrInvalidCall);  // inside the scene
  ASSERT_EQ(device->EndScene(), gpu::kOk);

  // Locks that do not pair.
  void* data = nullptr;
  EXPECT_EQ(vb->Unlock(), gpu::kErrInvalidCall);
  ASSERT_EQ(vb->Lock(0, 0, &data, 0), gpu::kOk);
  EXPECT_EQ(vb->Lock(0, 0, &data, 0), gpu::kErrInvalidCall);
  EXPECT_EQ(vb->Unlock(), gpu::kOk);
  EXPECT_EQ(vb->Lock(40, 16, &data, 0), gpu::kErrInvalidCall);  // past the end
  EXPECT_EQ(data, nullptr);

  // A call from a thread that is not the render thread.
  plat::Thread other;
  gpu::HResult fromOther = gpu::kOk;
  ASSERT_TRUE(other.Start([&]() -> uint32_t {
    fromOther = device->SetRenderState(gpu::kRsZEnable, 0);
    return 0;
  }));
  other.Wait();
  EXPECT_EQ(fromOther, gpu::kErrInvalidCall);
  EXPECT_TRUE(ErrorMentions("SetRenderState called off the render thread"));
  uint32_t z = 0;
  device->GetRenderState(gpu::kRsZEnable, &z);
  EXPECT_EQ(z, 1u);

  device->SetStreamSource(0, nullptr, 0, 0);
  vb->Release();
}

TEST_F(RecordingDeviceTest, ResetFailsWhileADefaultResourceLives) {
  MakeDevice();
  gpu::Texture* target = nullptr;
  ASSERT_EQ(device->CreateTexture(64, 64, 1, gpu::kUsageRenderTarget, gpu::kFmtR32F,
                                  gpu::kPoolDefault, &target),
            gpu::kOk);
  gpu::Texture* managed = nullptr;
  ASSERT_EQ(device->CreateTexture(64, 64, 0, 0, gpu::kFmtDXT5, gpu::kPoolManaged, &managed),
            gpu::kOk);
  EXPECT_EQ(managed->LevelCount(), 7u);
  gpu::Surface* surface = nullptr;
  ASSERT_EQ(target->GetSurfaceLevel(0, &surface), gpu::kOk);
  target->Release();  // the surface still holds the texture
  EXPECT_EQ(device->DefaultPoolResourceCount(), 1u);
  EXPECT_EQ(device->Reset(&pp), gpu::kErrInvalidCall);
  EXPECT_TRUE(ErrorMentions("default-pool"));
  surface->Release();
  EXPECT_EQ(device->DefaultPoolResourceCount(), 0u);
  EXPECT_EQ(device->Reset(&pp), gpu::kOk);  // the managed texture does not block it
  managed->Release();
}

TEST_F(RecordingDeviceTest, CreationFaultsAreInjected) {
  recorder->failingCalls = {"CreateTexture", "CreateDevice"};
  recorder->failResult = gpu::kErrOutOfVideoMemory;
  gpu::Device* failed = nullptr;
  EXPECT_EQ(gpuObject->CreateDevice(0, gpu::kDevTypeHal, nullptr, 0, &pp, &failed),
            gpu::kErrOutOfVideoMemory);
  EXPECT_EQ(failed, nullptr);
  recorder->failingCalls = {"CreateTexture"};
  MakeDevice();
  gpu::Texture* texture = reinterpret_cast<gpu::Texture*>(1);
  EXPECT_EQ(device->CreateTexture(8, 8, 1, 0, gpu::kFmtA8R8G8B8, gpu::kPoolManaged, &texture),
            gpu::kErrOutOfVideoMemory);
  EXPECT_EQ(texture, nullptr);
  gpu::VertexBuffer* vb = nullptr;
  EXPECT_EQ(device->CreateVertexBuffer(16, 0, 0, gpu::kPoolManaged, &vb), gpu::kOk);
  vb->Release();

  auto other = std::make_shared<gpu::Recorder>();
  other->failCreateGpu = true;
  EXPECT_EQ(gpu::CreateRecordingGpu(other), nullptr);
}

TEST_F(RecordingDeviceTest, CapabilityMultisampleAndModeTables) {
  recorder->caps.devCaps = gpu::kDevCapsHwTransformAndLight;
  recorder->multiSample = {
      {gpu::kFmtA8R8G8B8, 4, 2}, {gpu::kFmtD24S8, 4, 3}, {gpu::kFmtA8R8G8B8, 8, 1}};
  recorder->adapterCount = 2;
  recorder->modes = {{{640, 480, 60, gpu::kFmtX8R8G8B8}, {640, 480, 75, gpu::kFmtX8R8G8B8}},
                     {{800, 600, 60, gpu::kFmtX8R8G8B8}}};
  recorder->checkDeviceTypeResult = gpu::kErrNotAvailable;

  gpu::Caps caps;
  ASSERT_EQ(gpuObject->GetDeviceCaps(0, gpu::kDevTypeHal, &caps), gpu::kOk);
  EXPECT_EQ(caps.devCaps, gpu::kDevCapsHwTransformAndLight);
  uint32_t quality = 0;
  EXPECT_EQ(gpuObject->CheckDeviceMultiSampleType(0, 1, gpu::kFmtD24S8, true, 4, &quality),
            gpu::kOk);
  EXPECT_EQ(quality, 3u);
  EXPECT_EQ(gpuObject->CheckDeviceMultiSampleType(0, 1, gpu::kFmtD24S8, true, 8, &quality),
            gpu::kErrNotAvailable);
  EXPECT_EQ(gpuObject->CheckDeviceMultiSampleType(0, 1, gpu::kFmtD24S8, true, 0, &quality),
            gpu::kOk);
  EXPECT_EQ(quality, 1u);
  EXPECT_EQ(gpuObject->GetAdapterCount(), 2u);
  EXPECT_EQ(gpuObject->GetAdapterModeCount(0, gpu::kFmtX8R8G8B8), 2u);
  EXPECT_EQ(gpuObject->GetAdapterModeCount(1, gpu::kFmtX8R8G8B8), 1u);
  gpu::DisplayMode mode{};
  ASSERT_EQ(gpuObject->EnumAdapterModes(0, gpu::kFmtX8R8G8B8, 1, &mode), gpu::kOk);
  EXPECT_EQ(mode.refreshRate, 75u);
  EXPECT_EQ(gpuObject->CheckDeviceType(0, 1, gpu::kFmtX8R8G8B8, gpu::kFmtA8R8G8B8, true),
            gpu::kErrNotAvailable);
  EXPECT_EQ(recorder->CountCalls("CheckDeviceMultiSampleType"), 3u);
}

// A device check driven through the sequences a graphics manager meets.
TEST_F(RecordingDeviceTest, LostDeviceSequences) {
  MakeDevice();
  recorder->ScriptCooperativeLevel(
      {gpu::kErrDeviceLost, gpu::kErrDeviceLost, gpu::kErrDeviceNotReset, gpu::kErrDriverInternal});
  EXPECT_EQ(device->TestCooperativeLevel(), gpu::kErrDeviceLost);
  EXPECT_EQ(device->TestCooperativeLevel(), gpu::kErrDeviceLost);
  EXPECT_EQ(device->TestCooperativeLevel(), gpu::kErrDeviceNotReset);
  EXPECT_EQ(device->TestCooperativeLevel(), gpu::kErrDriverInternal);
  EXPECT_EQ(device->TestCooperativeLevel(), gpu::kOk);

  // The simulated loss: lost for a while, then not reset until a reset succeeds.
  device->SimulateDeviceLoss(1);
  EXPECT_EQ(device->TestCooperativeLevel(), gpu::kErrDeviceLost);
  EXPECT_EQ(device->TestCooperativeLevel(), gpu::kErrDeviceNotReset);
  recorder->resetResult = gpu::kErrDriverInternal;
  EXPECT_EQ(device->Reset(&pp), gpu::kErrDriverInternal);
  EXPECT_EQ(device->TestCooperativeLevel(), gpu::kErrDeviceNotReset);
  recorder->resetResult = gpu::kOk;
  EXPECT_EQ(device->Reset(&pp), gpu::kOk);
  EXPECT_EQ(device->TestCooperativeLevel(), gpu::kOk);
  EXPECT_EQ(recorder->CountCalls("Reset"), 2u);
}

TEST_F(RecordingDeviceTest, CallsAreLoggedWithEffectPassAndTarget) {
  MakeDevice();
  gpu::Program* program = nullptr;
  ASSERT_EQ(
      device->CreateProgram("uniform mat4 gWorld;\nuniform Bones { vec4 b[240]; };\nvoid main(){}",
                            "uniform sampler2D gTex;\nvoid main(){}", &program, nullptr),
      gpu::kOk);
  EXPECT_GE(program->UniformLocation("gWorld"), 0);
  EXPECT_GE(program->UniformLocation("gTex"), 0);
  EXPECT_EQ(program->UniformLocation("gMissing"), -1);
  EXPECT_TRUE(program->BindUniformBlock("Bones", 0));
  EXPECT_FALSE(program->BindUniformBlock("Missing", 0));
  gpu::VertexBuffer* vb = nullptr;
  device->CreateVertexBuffer(36, 0, gpu::kFvfXyz, gpu::kPoolManaged, &vb);
  device->SetProgram(program);
  device->SetFVF(gpu::kFvfXyz);
  device->SetStreamSource(0, vb, 0, 12);
  device->SetDebugEffect("water", 1);
  device->BeginScene();
  device->DrawPrimitive(gpu::kTriangleList, 0, 1);
  device->EndScene();
  auto draws = recorder->CallsNamed("DrawPrimitive");
  ASSERT_EQ(draws.size(), 1u);
  EXPECT_EQ(draws[0],
            "DrawPrimitive type=4 start=0 prims=1 [effect=water pass=1 target=backbuffer]");
  device->SetStreamSource(0, nullptr, 0, 0);
  device->SetProgram(nullptr);
  vb->Release();
  program->Release();
}

// What the effect layer declares is found without a compiler; "#error" fails as GL would.
TEST_F(RecordingDeviceTest, ProgramsWithoutACompiler) {
  MakeDevice();
  const char* vs =
      "uniform float gA;  uniform vec4 gB;  uniform mat4 gC;\n"
      "uniform float gArr[4];  uniform vec3 gV[3];\n"
      "uniform samplerCube sY;\n"
      "layout(std140) uniform gBones { vec4 gBones_data[240]; };\n"
      "void main() {}\n";
  gpu::Program* program = nullptr;
  ASSERT_EQ(device->CreateProgram(vs, "void main() {}", &program, nullptr), gpu::kOk);
  for (const char* name : {"gA", "gB", "gC", "gArr", "gV", "sY"})
    EXPECT_GE(program->UniformLocation(name), 0) << name;
  EXPECT_EQ(program->UniformLocation("gBones_data"), -1);
  EXPECT_TRUE(program->BindUniformBlock("gBones", 2));
  ASSERT_EQ(device->SetProgram(program), gpu::kOk);
  const float v[6] = {1, 0.5f, 0, 1, 2, 3};
  device->SetUniformVectors(program->UniformLocation("gV"), 3, 2, v);
  std::string expected = "SetUniformVectors loc=" + std::to_string(program->UniformLocation("gV")) +
                         " components=3 n=2 1 0.5 0 1 2 3 [";
  EXPECT_EQ(recorder->CallsNamed("SetUniformVectors").at(0).rfind(expected, 0), 0u);
  EXPECT_EQ(device->SetProgram(nullptr), gpu::kOk);
  program->Release();

  std::string log;
  program = nullptr;
  EXPECT_EQ(
      device->CreateProgram("void main() {}", "#error bad sampler\nvoid main() {}", &program, &log),
      gpu::kErrFail);
  EXPECT_EQ(program, nullptr);
  EXPECT_NE(log.find("bad sampler"), std::string::npos) << log;
}

TEST_F(RecordingDeviceTest, InstancedStreamsAndDeclarations) {
  MakeDevice();
  const gpu::VertexElement elements[] = {{0, 0, gpu::kDeclFloat3, 0, gpu::kUsagePosition, 0},
                                         {0, 12, gpu::kDeclColor, 0, gpu::kUsageColor, 0},
                                         {1, 0, gpu::kDeclFloat4, 0, gpu::kUsageTexCoord, 1},
                                         gpu::kDeclEnd};
  gpu::VertexDeclaration* decl = nullptr;
  ASSERT_EQ(device->CreateVertexDeclaration(elements, &decl), gpu::kOk);
  gpu::VertexBuffer* geometry = nullptr;
  gpu::VertexBuffer* instances = nullptr;
  device->CreateVertexBuffer(16 * 3, 0, 0, gpu::kPoolManaged, &geometry);
  device->CreateVertexBuffer(16 * 4, gpu::kUsageDynamic, 0, gpu::kPoolDefault, &instances);
  device->SetVertexDeclaration(decl);
  device->SetStreamSource(0, geometry, 0, 16);
  device->SetStreamSource(1, instances, 0, 16);
  device->SetStreamSourceFreq(1, gpu::kStreamInstanceData | 1);
  device->BeginScene();
  device->SetStreamSourceFreq(0, gpu::kStreamIndexedData | 4);
  EXPECT_EQ(device->DrawPrimitive(gpu::kTriangleList, 0, 1), gpu::kOk);
  device->SetStreamSourceFreq(
      0, gpu::kStreamIndexedData | 5);  // one instance more than the stream holds
  EXPECT_EQ(device->DrawPrimitive(gpu::kTriangleList, 0, 1), gpu::kErrInvalidCall);
  device->EndScene();
  device->SetStreamSource(0, nullptr, 0, 0);
  device->SetStreamSource(1, nullptr, 0, 0);
  device->SetVertexDeclaration(nullptr);
  geometry->Release();
  instances->Release();
  decl->Release();

  const gpu::VertexElement unterminatedBad[] = {{0, 0, 99, 0, gpu::kUsagePosition, 0},
                                                gpu::kDeclEnd};
  EXPECT_EQ(device->CreateVertexDeclaration(unterminatedBad, &decl), gpu::kErrInvalidCall);
}

// A second usage index of position, normal, tangent, binormal and blend weights is
// accepted (the decal pass reads a second position from a second stream) at a location
// of its own within the declaration; what has no location, or shares one, is refused.
TEST_F(RecordingDeviceTest, SecondUsageIndicesHaveTheirOwnLocations) {
  MakeDevice();
  struct Case {
    uint8_t usage, index;
    bool accepted;
  };
  const Case cases[] = {{gpu::kUsagePosition, 1, true},      {gpu::kUsageNormal, 1, true},
                        {gpu::kUsageTangent, 1, true},       {gpu::kUsageBinormal, 1, true},
                        {gpu::kUsageBlendWeight, 1, true},   {gpu::kUsagePosition, 2, false},
                        {gpu::kUsageBlendIndices, 1, false}, {gpu::kUsagePositionT, 1, false},
                        {gpu::kUsageColor, 2, false}};
  for (const Case& c : cases) {
    const gpu::VertexElement elements[] = {{0, 0, gpu::kDeclFloat3, 0, gpu::kUsagePosition, 0},
                                           {0, 12, gpu::kDeclFloat3, 0, gpu::kUsageNormal, 0},
                                           {0, 24, gpu::kDeclFloat2, 0, gpu::kUsageTexCoord, 0},
                                           {1, 0, gpu::kDeclFloat3, 0, c.usage, c.index},
                                           gpu::kDeclEnd};
    gpu::VertexDeclaration* decl = nullptr;
    EXPECT_EQ(device->CreateVertexDeclaration(elements, &decl),
              c.accepted ? gpu::kOk : gpu::kErrInvalidCall)
        << "usage " << int(c.usage) << " index " << int(c.index);
    if (decl) decl->Release();
  }
  // The second position shares its location with the last texture coordinate: both in
  // one declaration cannot be.
  const gpu::VertexElement clash[] = {{0, 0, gpu::kDeclFloat3, 0, gpu::kUsagePosition, 0},
                                      {0, 12, gpu::kDeclFloat2, 0, gpu::kUsageTexCoord, 7},
                                      {1, 0, gpu::kDeclFloat3, 0, gpu::kUsagePosition, 1},
                                      gpu::kDeclEnd};
  gpu::VertexDeclaration* decl = nullptr;
  EXPECT_EQ(device->CreateVertexDeclaration(clash, &decl), gpu::kErrInvalidCall);
  // The second indices are distinct from each other and from every first index but
  // the texture coordinates they share with.
  std::set<int> locations;
  for (uint8_t usage : {gpu::kUsagePosition, gpu::kUsageNormal, gpu::kUsageTangent,
                        gpu::kUsageBinormal, gpu::kUsageBlendWeight})
    for (uint8_t index = 0; index < 2; ++index)
      EXPECT_TRUE(locations.insert(gpu::AttributeLocation(usage, index)).second);
  for (int location : locations) EXPECT_LT(location, gpu::kAttrCount);
  EXPECT_NE(std::string(gpu::AttributeLocationsGlsl()).find("#define HM_ATTR_POSITION1 11\n"),
            std::string::npos);
}

// Two threads taking and dropping the same texture level: the last release of a level
// surface and a GetSurfaceLevel that finds it must never meet (a reference to a
// surface being destroyed). The sanitizer build catches the use after free.
TEST_F(RecordingDeviceTest, LevelSurfacesSurviveRacingGetAndRelease) {
  MakeDevice();
  gpu::Texture* texture = nullptr;
  ASSERT_EQ(device->CreateTexture(8, 8, 1, 0, gpu::kFmtA8R8G8B8, gpu::kPoolManaged, &texture),
            gpu::kOk);
  std::atomic<bool> go{false};
  std::atomic<int> failures{0};
  auto churn = [&] {
    while (!go.load()) {
    }
    for (int i = 0; i < 20000; ++i) {
      gpu::Surface* surface = nullptr;
      if (gpu::Failed(texture->GetSurfaceLevel(0, &surface)) || surface->Width() != 8)
        ++failures;
      else
        surface->Release();
    }
  };
  std::thread a(churn), b(churn);
  go = true;
  a.join();
  b.join();
  EXPECT_EQ(failures.load(), 0);
  texture->Release();
}

TEST_F(RecordingDeviceTest, VolumeTexturesAreCreatedAndLockedByBox) {
  MakeDevice();
  gpu::VolumeTexture* volume = nullptr;
  ASSERT_EQ(device->CreateVolumeTexture(8, 4, 4, 0, 0, gpu::kFmtA8, gpu::kPoolManaged, &volume),
            gpu::kOk);
  EXPECT_EQ(volume->LevelCount(), 4u);  // 8x4x4 down to 1x1x1
  EXPECT_EQ(volume->Depth(), 4u);
  gpu::LockedBox lb;
  ASSERT_EQ(volume->LockBox(0, &lb, nullptr, 0), gpu::kOk);
  EXPECT_EQ(lb.rowPitch, 8);
  EXPECT_EQ(lb.slicePitch, 32);
  auto* whole = static_cast<uint8_t*>(lb.bits);
  EXPECT_EQ(volume->LockBox(0, &lb, nullptr, 0), gpu::kErrInvalidCall);  // already locked
  EXPECT_EQ(volume->UnlockBox(0), gpu::kOk);
  const gpu::Box box{2, 1, 4, 3, 1, 3};
  ASSERT_EQ(volume->LockBox(0, &lb, &box, 0), gpu::kOk);
  EXPECT_EQ(static_cast<uint8_t*>(lb.bits) - whole, 1 * 32 + 1 * 8 + 2);
  EXPECT_EQ(volume->UnlockBox(0), gpu::kOk);
  EXPECT_EQ(volume->UnlockBox(0), gpu::kErrInvalidCall);  // not locked
  const gpu::Box outside{0, 0, 8, 4, 2, 5};
  EXPECT_EQ(volume->LockBox(0, &lb, &outside, 0), gpu::kErrInvalidCall);
  EXPECT_EQ(volume->LockBox(4, &lb, nullptr, 0), gpu::kErrInvalidCall);
  EXPECT_EQ(recorder->CountCalls("LockBox"), 2u);
  EXPECT_EQ(recorder->CountCalls("UnlockBox"), 2u);
  device->SetTexture(0, volume);
  device->SetTexture(0, nullptr);
  volume->Release();

  gpu::VolumeTexture* bad = nullptr;
  EXPECT_EQ(device->CreateVolumeTexture(4, 4, 0, 1, 0, gpu::kFmtA8, gpu::kPoolManaged, &bad),
            gpu::kErrInvalidCall);
  EXPECT_EQ(device->CreateVolumeTexture(4, 4, 4, 1, gpu::kUsageRenderTarget, gpu::kFmtA8R8G8B8,
                                        gpu::kPoolDefault, &bad),
            gpu::kErrInvalidCall);
  EXPECT_EQ(bad, nullptr);
  recorder->failingCalls.push_back("CreateVolumeTexture");
  EXPECT_EQ(device->CreateVolumeTexture(4, 4, 4, 1, 0, gpu::kFmtA8, gpu::kPoolManaged, &bad),
            recorder->failResult);
}

TEST(Sphere, ARoundMeshFacingOutwards) {
  gpu::SphereMesh mesh;
  ASSERT_TRUE(gpu::GenerateSphere(2.0f, 12, 6, &mesh));
  EXPECT_EQ(mesh.vertices.size(), 2u + 12u * 5u);
  EXPECT_EQ(mesh.indices.size(), 3u * 2u * 12u * 5u);
  for (const auto& v : mesh.vertices) {
    EXPECT_NEAR(std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z), 2.0f, 1e-5f);
    EXPECT_NEAR(v.nx * 2.0f, v.x, 1e-5f);
    EXPECT_NEAR(v.ny * 2.0f, v.y, 1e-5f);
    EXPECT_NEAR(v.nz * 2.0f, v.z, 1e-5f);
  }
  for (size_t i = 0; i < mesh.indices.size(); i += 3) {
    const auto& a = mesh.vertices.at(mesh.indices[i]);
    const auto& b = mesh.vertices.at(mesh.indices[i + 1]);
    const auto& c = mesh.vertices.at(mesh.indices[i + 2]);
    // Clockwise seen from outside: the right-handed normal of a, b, c points inwards.
    const float ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
    const float vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
    const float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    EXPECT_LT(nx * (a.x + b.x + c.x) + ny * (a.y + b.y + c.y) + nz * (a.z + b.z + c.z), 0.0f)
        << "triangle " << i / 3;
  }
  for (auto bad : {std::make_tuple(0.0f, 12u, 6u), std::make_tuple(1.0f, 2u, 6u),
                   std::make_tuple(1.0f, 12u, 1u), std::make_tuple(NAN, 12u, 6u),
                   std::make_tuple(1.0f, 1000u, 1000u)})
    EXPECT_FALSE(gpu::GenerateSphere(std::get<0>(bad), std::get<1>(bad), std::get<2>(bad), &mesh));

  auto recorder = std::make_shared<gpu::Recorder>();
  gpu::Gpu* gpuObject = gpu::CreateRecordingGpu(recorder);
  gpu::PresentParameters pp;
  gpu::Device* device = nullptr;
  ASSERT_EQ(gpuObject->CreateDevice(0, gpu::kDevTypeHal, nullptr, 0, &pp, &device), gpu::kOk);
  gpu::VertexBuffer* vb = nullptr;
  gpu::IndexBuffer* ib = nullptr;
  ASSERT_EQ(gpu::CreateSphere(device, 1.0f, 8, 4, &vb, &ib), gpu::kOk);
  EXPECT_EQ(vb->Length(), (2u + 8u * 3u) * sizeof(gpu::SphereVertex));
  EXPECT_EQ(vb->Fvf(), gpu::kFvfXyz | gpu::kFvfNormal);
  EXPECT_EQ(ib->Length(), 3u * 2u * 8u * 3u * 2u);
  vb->Release();
  ib->Release();
  device->Release();
  gpuObject->Release();
}

// Stride of every vertex layout the renderer uses.
TEST(FvfStride, MatchesTheLayouts) {
  struct Case {
    uint32_t fvf, stride;
  };
  const Case cases[] = {{0x002, 12}, {0x042, 16},   {0x052, 28},    {0x102, 20},
                        {0x202, 28}, {0x302, 36},   {0x112, 32},    {0x212, 40},
                        {0x312, 48}, {0x80212, 48}, {0x200312, 56}, {0x800412, 64},
                        {0x1D2, 40}, {0x802D2, 56}, {0x40202, 32},  {0x142, 24}};
  for (const auto& c : cases) EXPECT_EQ(gpu::FvfStride(c.fvf), c.stride) << std::hex << c.fvf;
  EXPECT_EQ(gpu::FvfStride(0x900), 0u);  // nine texture sets
}

}  // namespace
