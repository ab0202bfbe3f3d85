// Effect records on the recording device: the standard handles by name, the typed
// parameter store (types, refusals, handles found late and after a reload), what
// applying writes into the effect, and loading failures with their messages.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/Log.h"
#include "engine/render/Shader.h"
#include "platform/window/MessageBox.h"
#include "tests/support/LogRecorder.h"

using namespace vd;
using gfx::CShader;
using plat::fx::Handle;

namespace {

std::string Effect(const std::string& parameters) {
  return "<effect>\n" + parameters +
         "  <technique name=\"t0\"><pass>\n"
         "    <vertex>void main() { gl_Position = vec4(0.0); }</vertex>\n"
         "    <fragment>void main() { oColor = vec4(1.0); }</fragment>\n"
         "  </pass></technique>\n"
         "  <technique name=\"t1\"><pass>\n"
         "    <vertex>void main() { gl_Position = vec4(0.0); }</vertex>\n"
         "    <fragment>void main() { oColor = vec4(0.0); }</fragment>\n"
         "  </pass></technique>\n"
         "</effect>\n";
}

std::string Param(const char* name, const char* type, int count = 0) {
  std::string p = std::string("  <parameter name=\"") + name + "\" type=\"" + type + "\"";
  if (count) p += " count=\"" + std::to_string(count) + "\"";
  return p + "/>\n";
}

// Every value type of the store, in one effect.
const std::string kTyped =
    Param("gCount", "int") + Param("gOn", "bool") + Param("gScale", "float") +
    Param("gOffset", "float2") + Param("gTint", "float3") + Param("gColorFactor", "float4") +
    Param("gMatrix", "float4x4") + Param("gTexDiffuse", "texture") + Param("gWeights", "float", 6);

class ShaderTest : public ::testing::Test {
protected:
  void SetUp() override {
    utl::SetLogSinks(&sinks);
    sinks.AddSink(new vd::test::CLogRecorder(&log));
    previousSink = plat::SetMessageSink(&boxes);
    rec = std::make_shared<plat::gpu::Recorder>();
    gpu = plat::gpu::CreateRecordingGpu(rec);
    plat::gpu::PresentParameters pp;
    ASSERT_EQ(gpu->CreateDevice(0, plat::gpu::kDevTypeHal, nullptr, 0, &pp, &device),
              plat::gpu::kOk);
    path = ::testing::TempDir() + "shader_test_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".fxo";
  }
  void TearDown() override {
    source.Release();
    if (device) device->Release();
    if (gpu) gpu->Release();
    std::remove(path.c_str());
    plat::SetMessageSink(previousSink);
    utl::SetLogSinks(nullptr);
  }
  void Write(const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
  }
  bool Load(const std::string& text) {
    Write(text);
    if (source.fileName.empty()) source.Init(CStringHash("fx"), path);
    return source.LoadEffect(device);
  }
  std::vector<uint32_t> Raw(const char* name) const {
    return source.effect->GetRawValue(source.effect->GetParameterByName(name));
  }
  static uint32_t Bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
  }

  std::string log;
  utl::CLogSinkHolder sinks;
  plat::RecordingMessageSink boxes;
  plat::IMessageSink* previousSink = nullptr;
  std::shared_ptr<plat::gpu::Recorder> rec;
  plat::gpu::Gpu* gpu = nullptr;
  plat::gpu::Device* device = nullptr;
  std::string path;
  CShader source;
};

}  // namespace

TEST_F(ShaderTest, StandardHandlesAreFoundByTheirExactNames) {
  std::string params;
  for (int i = 0; i < gfx::kStandardHandleCount; ++i)
    params += Param(CShader::StandardHandleName(i), "float4");
  ASSERT_TRUE(Load(Effect(params)));
  for (int i = 0; i < gfx::kStandardHandleCount; ++i) {
    ASSERT_NE(source.handles[i], 0u) << i;
    EXPECT_EQ(source.effect->GetParameterDesc(source.handles[i])->name,
              CShader::StandardHandleName(i));
  }
  // Spot checks of the numbering the draws rely on.
  EXPECT_STREQ(CShader::StandardHandleName(gfx::kHWorldViewProj), "gWorldViewProj");
  EXPECT_STREQ(CShader::StandardHandleName(gfx::kHCameraFarMaxLength), "gCamera_far_max_length");
  EXPECT_STREQ(CShader::StandardHandleName(gfx::kHSunLightZMapTexture0 + 5),
               "gSunLightZMapTexture5");
  EXPECT_STREQ(CShader::StandardHandleName(gfx::kHPointLightZMapCubeTexture0 + 4),
               "gPointLightZMapCubeTexture4");
  EXPECT_STREQ(CShader::StandardHandleName(gfx::kHSpotLightZMapTexture0 + 4),
               "gSpotLightZMapTexture4");
  EXPECT_STREQ(CShader::StandardHandleName(gfx::kHVParticleData), "gVParticleData");
  EXPECT_STREQ(CShader::StandardHandleName(gfx::kHRadialBlurCenter), "gRadialBlurCenter");
  EXPECT_EQ(CShader::StandardHandleName(gfx::kStandardHandleCount), nullptr);
}

TEST_F(ShaderTest, AppliedValuesReachTheEffectByType) {
  ASSERT_TRUE(Load(Effect(kTyped)));
  CShader renderer;  // a renderer's record: no effect of its own
  const int32_t count = -7;
  const bool on = true;
  const float scale = 2.5f, offset[2] = {1, 2}, tint[3] = {3, 4, 5},
              colour[4] = {0.1f, 0.2f, 0.3f, 0.4f};
  plat::Mat4 m;
  m(3, 0) = 9.0f;
  const float weights[6] = {1, 2, 3, 4, 5, 6};
  plat::gpu::Texture* texture = nullptr;
  ASSERT_EQ(
      device->CreateTexture(2, 2, 1, 0, plat::gpu::kFmtA8R8G8B8, plat::gpu::kPoolManaged, &texture),
      plat::gpu::kOk);
  EXPECT_TRUE(renderer.SetParameter(&source, CStringHash("gCount"), gfx::kShaderInt, &count));
  EXPECT_TRUE(renderer.SetParameter(&source, CStringHash("gOn"), gfx::kShaderBool, &on));
  EXPECT_TRUE(renderer.SetParameter(&source, CStringHash("gScale"), gfx::kShaderFloat, &scale));
  EXPECT_TRUE(renderer.SetParameter(&source, CStringHash("gOffset"), gfx::kShaderFloat2, offset));
  EXPECT_TRUE(renderer.SetParameter(&source, CStringHash("gTint"), gfx::kShaderFloat3, tint));
  EXPECT_TRUE(
      renderer.SetParameter(&source, CStringHash("gColorFactor"), gfx::kShaderFloat4, colour));
  EXPECT_TRUE(renderer.SetParameter(&source, CStringHash("gMatrix"), gfx::kShaderMatrix, &m));
  EXPECT_TRUE(
      renderer.SetParameter(&source, CStringHash("gTexDiffuse"), gfx::kShaderTexture, texture));
  EXPECT_TRUE(
      renderer.SetParameter(&source, CStringHash("gWeights"), gfx::kShaderFloatArray, weights, 6));
  // Not in the effect: stored, never applied.
  EXPECT_TRUE(renderer.SetParameter(&source, CStringHash("gMissing"), gfx::kShaderFloat, &scale));
  // A null value stores nothing.
  EXPECT_FALSE(renderer.SetParameter(&source, CStringHash("gNull"), gfx::kShaderFloat, nullptr));
  EXPECT_EQ(renderer.ParameterCount(), 10u);
  EXPECT_EQ(renderer.FindParameter(CStringHash("gMissing"))->handle, 0u);

  renderer.ApplyParameters(source);
  EXPECT_EQ(Raw("gCount"), (std::vector<uint32_t>{uint32_t(-7)}));
  EXPECT_EQ(Raw("gOn"), (std::vector<uint32_t>{1}));
  EXPECT_EQ(Raw("gScale"), (std::vector<uint32_t>{Bits(2.5f)}));
  EXPECT_EQ(Raw("gOffset"), (std::vector<uint32_t>{Bits(1), Bits(2)}));
  EXPECT_EQ(Raw("gTint"), (std::vector<uint32_t>{Bits(3), Bits(4), Bits(5)}));
  EXPECT_EQ(Raw("gColorFactor"),
            (std::vector<uint32_t>{Bits(0.1f), Bits(0.2f), Bits(0.3f), Bits(0.4f)}));
  EXPECT_EQ(Raw("gMatrix")[12], Bits(9.0f));
  EXPECT_EQ(Raw("gMatrix")[0], Bits(1.0f));
  std::vector<uint32_t> w;
  for (float f : weights) w.push_back(Bits(f));
  EXPECT_EQ(Raw("gWeights"), w);
  EXPECT_EQ(source.effect->GetTexture(source.effect->GetParameterByName("gTexDiffuse")), texture);

  // A later set of the same name replaces the value.
  const float colour2[4] = {1, 1, 1, 0.5f};
  EXPECT_TRUE(
      renderer.SetParameter(&source, CStringHash("gColorFactor"), gfx::kShaderFloat4, colour2));
  renderer.ApplyParameters(source);
  EXPECT_EQ(Raw("gColorFactor")[3], Bits(0.5f));
  source.Release();
  texture->Release();
}

TEST_F(ShaderTest, ASetOfAnotherTypeOrSizeIsRefusedAndWritesNothing) {
  ASSERT_TRUE(Load(Effect(kTyped)));
  CShader renderer;
  const float colour[4] = {0.1f, 0.2f, 0.3f, 0.4f};
  const float weights[6] = {1, 2, 3, 4, 5, 6};
  const float big[64] = {};
  ASSERT_TRUE(
      renderer.SetParameter(&source, CStringHash("gColorFactor"), gfx::kShaderFloat4, colour));
  ASSERT_TRUE(
      renderer.SetParameter(&source, CStringHash("gWeights"), gfx::kShaderFloatArray, weights, 6));
  struct Case {
    const char* name;
    int type;
    uint32_t count;
  } cases[] = {
      {"gColorFactor", gfx::kShaderFloat3, 0},   // smaller
      {"gColorFactor", gfx::kShaderMatrix, 0},   // larger: would write past the 16 bytes
      {"gColorFactor", gfx::kShaderInt, 0},      // same family, other type
      {"gColorFactor", gfx::kShaderTexture, 0},  // a pointer over floats
      {"gWeights", gfx::kShaderFloatArray, 16},  // a longer array
      {"gWeights", gfx::kShaderFloat, 0},
      {"gColorFactor", 9, 0},  // no such type
      {"gColorFactor", -1, 0},
  };
  for (const Case& c : cases) {
    log.clear();
    EXPECT_FALSE(renderer.SetParameter(&source, CStringHash(c.name), c.type, big, c.count))
        << c.name << " " << c.type;
    EXPECT_NE(log.find(c.name), std::string::npos) << log;
  }
  const CShader::SParameter* stored = renderer.FindParameter(CStringHash("gColorFactor"));
  ASSERT_EQ(stored->bytes.size(), 16u);
  EXPECT_EQ(stored->type, gfx::kShaderFloat4);
  EXPECT_EQ(std::memcmp(stored->bytes.data(), colour, 16), 0);
  EXPECT_EQ(renderer.FindParameter(CStringHash("gWeights"))->bytes.size(), 24u);
  source.Release();
}

TEST_F(ShaderTest, ValuesSetBeforeTheEffectGetTheirHandlesWhenItLoadsAndAfterAReload) {
  CShader renderer;
  const float colour[4] = {0.25f, 0.5f, 0.75f, 1.0f};
  // The manager's record exists but has no effect yet: the value waits, handle 0.
  source.Init(CStringHash("fx"), path);
  ASSERT_TRUE(
      renderer.SetParameter(&source, CStringHash("gColorFactor"), gfx::kShaderFloat4, colour));
  EXPECT_EQ(renderer.FindParameter(CStringHash("gColorFactor"))->handle, 0u);
  renderer.ApplyParameters(source);  // not valid yet: nothing, no crash

  ASSERT_TRUE(Load(Effect(Param("gColorFactor", "float4") + Param("gOther", "float4"))));
  renderer.ApplyParameters(source);
  EXPECT_EQ(Raw("gColorFactor")[2], Bits(0.75f));
  EXPECT_EQ(Raw("gOther")[2], 0u);

  // Reloaded with the parameters in another order: the handle moves with the name.
  ASSERT_TRUE(Load(Effect(Param("gFirst", "float4") + Param("gOther", "float4") +
                          Param("gColorFactor", "float4"))));
  const Handle now = source.effect->GetParameterByName("gColorFactor");
  renderer.ApplyParameters(source);
  EXPECT_EQ(renderer.FindParameter(CStringHash("gColorFactor"))->handle, now);
  EXPECT_EQ(Raw("gColorFactor")[1], Bits(0.5f));
  EXPECT_EQ(Raw("gFirst")[1], 0u);
  EXPECT_EQ(Raw("gOther")[1], 0u);

  // The record's own store follows its own reload too.
  ASSERT_TRUE(source.SetParameter(nullptr, CStringHash("gOther"), gfx::kShaderFloat4, colour));
  ASSERT_TRUE(Load(Effect(Param("gOther", "float4"))));
  EXPECT_EQ(source.FindParameter(CStringHash("gOther"))->handle,
            source.effect->GetParameterByName("gOther"));
  source.Release();
}

TEST_F(ShaderTest, AFailedReloadKeepsTheEffectWithoutStandardHandles) {
  ASSERT_TRUE(Load(Effect(Param("gWorld", "float4x4"))));
  plat::fx::Effect* before = source.effect;
  ASSERT_NE(source.handles[gfx::kHWorld], 0u);
  ASSERT_TRUE(source.SetTechnique("t1"));
  EXPECT_EQ(source.technique, CStringHash("t1"));
  EXPECT_FALSE(source.SetTechnique("nope"));

  // Malformed: "invalid data", logged with the file, no dialog.
  EXPECT_FALSE(Load("<effect><technique"));
  EXPECT_NE(log.find("Shader reloading: Invalid data"), std::string::npos) << log;
  EXPECT_NE(log.find(path), std::string::npos) << log;
  EXPECT_TRUE(boxes.Requests().empty());
  EXPECT_EQ(source.effect, before);
  EXPECT_TRUE(source.IsValid());
  EXPECT_EQ(source.handles[gfx::kHWorld], 0u);
  // Standard setters skip it now; named ones still work.
  source.SetMatrix("gWorld", plat::Translation(4, 5, 6));
  source.SetMatrix(source.GetHandle(gfx::kHWorld), plat::Mat4::Zero());
  EXPECT_EQ(Raw("gWorld")[12], Bits(4.0f));

  // A pass that does not build: the compiler's text in the log and in a message box
  // captioned with the file.
  log.clear();
  rec->failingCalls = {"CreateProgram"};
  EXPECT_FALSE(Load(Effect(Param("gWorld", "float4x4"))));
  EXPECT_NE(log.find("Shader reloading: Error compiling " + path), std::string::npos) << log;
  ASSERT_EQ(boxes.Requests().size(), 1u);
  EXPECT_EQ(boxes.Requests()[0].caption, path);
  EXPECT_NE(boxes.Requests()[0].text.find("does not compile"), std::string::npos);
  EXPECT_EQ(source.effect, before);
  rec->failingCalls.clear();

  // No file name: false at once; no device: "invalid call".
  CShader nameless;
  EXPECT_FALSE(nameless.LoadEffect(device));
  log.clear();
  CShader noDevice;
  noDevice.Init(CStringHash("fx"), path);
  EXPECT_FALSE(noDevice.LoadEffect(nullptr));
  EXPECT_NE(log.find("Shader reloading: Invalid call"), std::string::npos) << log;
  EXPECT_FALSE(noDevice.IsValid());
  source.Release();
  EXPECT_FALSE(source.IsValid());
  EXPECT_EQ(source.ParameterCount(), 0u);
}

TEST_F(ShaderTest, StandardValuesOfADraw) {
  std::string params;
  for (int i : {gfx::kHMsWorldTime, gfx::kHAspectRatio, gfx::kHWorld, gfx::kHWorldInv,
                gfx::kHWorldView, gfx::kHViewProj, gfx::kHWorldViewProj})
    params += Param(CShader::StandardHandleName(i), i >= gfx::kHWorld ? "float4x4" : "float");
  params += Param("gResWidth", "int") + Param("gResHeight", "int") +
            Param("gWorldCamPos", "float4") + Param("gLocalCamPos", "float4");
  ASSERT_TRUE(Load(Effect(params)));
  source.SetScreenValues(1.5f, 1024, 768);
  EXPECT_EQ(Raw("gMsWorldTime")[0], Bits(1.5f));
  EXPECT_EQ(Raw("gResWidth")[0], 1024u);
  EXPECT_EQ(Raw("gAspectRatio")[0], Bits(1024.0f / 768.0f));

  const plat::Mat4 world = plat::Translation(10, 0, 0);
  const plat::Mat4 view = plat::Translation(0, -2, 0);
  plat::Mat4 projection;
  projection(0, 0) = 2.0f;
  source.SetCameraValues(view, projection, plat::Vec3(1, 2, 3));
  EXPECT_EQ(Raw("gWorldCamPos"), (std::vector<uint32_t>{Bits(1), Bits(2), Bits(3), Bits(1)}));
  EXPECT_EQ(Raw("gViewProj")[13], Bits(-2.0f));
  const plat::Mat4 inv = source.SetObjectValues(world, plat::Vec3(1, 2, 3), &view, &projection);
  EXPECT_FLOAT_EQ(inv(3, 0), -10.0f);
  // The eye in the object's space.
  EXPECT_EQ(Raw("gLocalCamPos"), (std::vector<uint32_t>{Bits(-9), Bits(2), Bits(3), Bits(1)}));
  EXPECT_EQ(Raw("gWorldViewProj")[12], Bits(20.0f));  // (10 + 0) x 2
  EXPECT_EQ(Raw("gWorldView")[13], Bits(-2.0f));
  // Without a camera the view products are left alone.
  source.SetObjectValues(plat::Translation(5, 0, 0), plat::Vec3(), nullptr, nullptr);
  EXPECT_EQ(Raw("gWorld")[12], Bits(5.0f));
  EXPECT_EQ(Raw("gWorldViewProj")[12], Bits(20.0f));
  source.Release();
}
