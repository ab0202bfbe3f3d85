#include "platform/fx/Effect.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

using namespace plat;
using namespace plat::gpu;
using plat::fx::Effect;
using plat::fx::Handle;

namespace {

const char* kEffect = R"(<effect>
  <parameter name="gWorldViewProj" type="float4x4"/>
  <parameter name="gColor" type="float4" default="1 0.5 0.25 1"/>
  <parameter name="gScale" type="float" default="2"/>
  <parameter name="gOffset" type="float2"/>
  <parameter name="gLightPos" type="float3" count="2"/>
  <parameter name="gSoft" type="bool" default="true"/>
  <parameter name="gCount" type="int" default="3"/>
  <parameter name="gBones" type="float" count="960" buffer="true"/>
  <parameter name="gTexDiffuse" type="texture"/>
  <sampler name="sDiffuse" texture="gTexDiffuse">
    <state name="MinFilter" value="Linear"/>
    <state name="AddressU" value="Clamp"/>
  </sampler>
  <technique name="opaque">
    <pass name="p0">
      <state name="ZWriteEnable" value="false"/>
      <state name="CullMode" value="None"/>
      <vertex><![CDATA[
        layout(location = HM_ATTR_POSITION) in vec3 a_position;
        void main() { gl_Position = gWorldViewProj * vec4(a_position * gScale, 1.0); }
      ]]></vertex>
      <fragment><![CDATA[
        void main() { oColor = gColor * texture(sDiffuse, vec2(0.5)); }
      ]]></fragment>
    </pass>
  </technique>
  <technique name="blended">
    <pass>
      <state name="AlphaBlendEnable" value="true"/>
      <state name="SrcBlend" value="SrcAlpha"/>
      <state name="DestBlend" value="InvSrcAlpha"/>
      <vertex>void main() { gl_Position = vec4(0.0); }</vertex>
      <fragment>void main() { oColor = gColor; }</fragment>
    </pass>
    <pass>
      <state name="AlphaTestEnable" value="true"/>
      <state name="AlphaFunc" value="GreaterEqual"/>
      <state name="AlphaRef" value="128"/>
      <state name="ColorWriteEnable" value="0"/>
      <vertex>void main() { gl_Position = vec4(gBones[0]); }</vertex>
      <fragment>void main() { oColor = vec4(gScale); }</fragment>
    </pass>
  </technique>
</effect>)";

class EffectTest : public ::testing::Test {
protected:
  void SetUp() override {
    rec = std::make_shared<Recorder>();
    gpu = CreateRecordingGpu(rec);
    ASSERT_NE(gpu, nullptr);
    PresentParameters pp;
    pp.backBufferWidth = 64;
    pp.backBufferHeight = 64;
    ASSERT_EQ(gpu->CreateDevice(0, kDevTypeHal, nullptr, 0, &pp, &device), kOk);
  }
  void TearDown() override {
    if (effect) effect->Release();
    if (device) device->Release();
    if (gpu) gpu->Release();
  }

  HResult Create(const std::string& text, std::string* errors = nullptr) {
    std::string local;
    return Effect::CreateFromMemory(device, text.data(), text.size(), "test.fxo", &effect, errors ? errors : &local);
  }

  // Index of the first recorded call at or after `from` that starts with `prefix`
  // and contains `text`; -1 when none.
  int FindCall(const std::string& prefix, const std::string& text = "", size_t from = 0) {
    const auto calls = rec->Calls();
    for (size_t i = from; i < calls.size(); ++i)
      if (calls[i].compare(0, prefix.size(), prefix) == 0 && calls[i].find(text) != std::string::npos) return int(i);
    return -1;
  }

  uint32_t State(uint32_t state) {
    uint32_t v = 0xDEADBEEF;
    device->GetRenderState(state, &v);
    return v;
  }

  std::shared_ptr<Recorder> rec;
  Gpu* gpu = nullptr;
  Device* device = nullptr;
  Effect* effect = nullptr;
};

}  // namespace

TEST_F(EffectTest, CreationReportsInvalidDataForMalformedFiles) {
  const std::string body = "<vertex>void main(){}</vertex><fragment>void main(){}</fragment>";
  struct Case {
    const char* what;
    std::string text;
  };
  const Case cases[] = {
      {"not XML", "this is not an effect"},
      {"unclosed element", "<effect><technique name='t'><pass>"},
      {"no effect element", "<shader/>"},
      {"no technique", "<effect><parameter name='a' type='float'/></effect>"},
      {"technique without pass", "<effect><technique name='t'/></effect>"},
      {"technique without name", "<effect><technique><pass>" + body + "</pass></technique></effect>"},
      {"pass without fragment", "<effect><technique name='t'><pass><vertex>void main(){}</vertex></pass></technique></effect>"},
      {"unknown parameter type", "<effect><parameter name='a' type='double'/><technique name='t'><pass>" + body + "</pass></technique></effect>"},
      {"bad parameter name", "<effect><parameter name='1a' type='float'/><technique name='t'><pass>" + body + "</pass></technique></effect>"},
      {"reserved parameter name", "<effect><parameter name='hm_x' type='float'/><technique name='t'><pass>" + body + "</pass></technique></effect>"},
      {"duplicate parameter", "<effect><parameter name='a' type='float'/><parameter name='a' type='int'/><technique name='t'><pass>" + body + "</pass></technique></effect>"},
      {"zero count", "<effect><parameter name='a' type='float' count='0'/><technique name='t'><pass>" + body + "</pass></technique></effect>"},
      {"too many defaults", "<effect><parameter name='a' type='float2' default='1 2 3'/><technique name='t'><pass>" + body + "</pass></technique></effect>"},
      {"bad default", "<effect><parameter name='a' type='float' default='abc'/><technique name='t'><pass>" + body + "</pass></technique></effect>"},
      {"buffer that is not an array", "<effect><parameter name='a' type='float' buffer='true'/><technique name='t'><pass>" + body + "</pass></technique></effect>"},
      {"static float", "<effect><parameter name='a' type='float' static='true'/><technique name='t'><pass>" + body + "</pass></technique></effect>"},
      {"static bool array", "<effect><parameter name='a' type='bool' count='2' static='true'/><technique name='t'><pass>" + body + "</pass></technique></effect>"},
      {"bad static flag", "<effect><parameter name='a' type='bool' static='maybe'/><technique name='t'><pass>" + body + "</pass></technique></effect>"},
      {"a pass reading nine static bools", "<effect><parameter name='s0' type='bool' static='true'/><parameter name='s1' type='bool' static='true'/><parameter name='s2' type='bool' static='true'/><parameter name='s3' type='bool' static='true'/><parameter name='s4' type='bool' static='true'/><parameter name='s5' type='bool' static='true'/><parameter name='s6' type='bool' static='true'/><parameter name='s7' type='bool' static='true'/><parameter name='s8' type='bool' static='true'/><technique name='t'><pass><vertex>void main(){}</vertex><fragment>void main(){} // s0 s1 s2 s3 s4 s5 s6 s7 s8</fragment></pass></technique></effect>"},
      {"sampler without texture", "<effect><sampler name='s' texture='none'/><technique name='t'><pass>" + body + "</pass></technique></effect>"},
      {"unknown render state", "<effect><technique name='t'><pass><state name='Fog' value='1'/>" + body + "</pass></technique></effect>"},
      {"bad render state value", "<effect><technique name='t'><pass><state name='SrcBlend' value='Sideways'/>" + body + "</pass></technique></effect>"},
      {"state without value", "<effect><technique name='t'><pass><state name='ZEnable'/>" + body + "</pass></technique></effect>"},
      {"empty shader", "<effect><technique name='t'><pass><vertex> </vertex><fragment>void main(){}</fragment></pass></technique></effect>"},
      {"zero byte inside", std::string("<effect>\0</effect>", 18)},
      {"array larger than a shader holds", "<effect><parameter name='a' type='float4x4' count='65536'/><technique name='t'><pass>" + body + "</pass></technique></effect>"},
      {"buffer larger than a block", "<effect><parameter name='a' type='float4' count='1025' buffer='true'/><technique name='t'><pass>" + body + "</pass></technique></effect>"},
      {"parameters together too large", [&] {
         std::string text = "<effect>";
         for (int i = 0; i < 5; ++i)
           text += "<parameter name='a" + std::to_string(i) + "' type='float4x4' count='256'/>";
         return text + "<technique name='t'><pass>" + body + "</pass></technique></effect>";
       }()},
  };
  for (const Case& c : cases) {
    std::string errors;
    EXPECT_EQ(Create(c.text, &errors), fx::kErrInvalidData) << c.what;
    EXPECT_EQ(effect, nullptr) << c.what;
    EXPECT_NE(errors.find("test.fxo"), std::string::npos) << c.what << ": " << errors;
  }
}

TEST_F(EffectTest, CreationReportsInvalidCallAndMissingFiles) {
  std::string errors;
  EXPECT_EQ(Effect::CreateFromMemory(nullptr, kEffect, std::strlen(kEffect), "x", &effect, &errors), kErrInvalidCall);
  EXPECT_EQ(Effect::CreateFromMemory(device, kEffect, std::strlen(kEffect), "x", nullptr, &errors), kErrInvalidCall);
  EXPECT_EQ(Effect::CreateFromFile(device, "", &effect, &errors), kErrInvalidCall);
  EXPECT_EQ(Effect::CreateFromFile(device, "Data/shaders/no_such_effect.fxo", &effect, &errors), fx::kErrInvalidData);
  EXPECT_NE(errors.find("no_such_effect.fxo"), std::string::npos);
  EXPECT_EQ(effect, nullptr);
}

TEST_F(EffectTest, CompileFailureReportsTheCompilerText) {
  // A preprocessor error in the GLSL: the back end's compiler text comes back.
  std::string errors;
  const std::string broken =
      "<effect><technique name='t'><pass><vertex>void main() { gl_Position = vec4(0.0); }</vertex>"
      "<fragment>\n#error the sky is falling\nvoid main() {}</fragment></pass></technique></effect>";
  EXPECT_EQ(Create(broken, &errors), kErrFail);
  EXPECT_EQ(effect, nullptr);
  EXPECT_NE(errors.find("the sky is falling"), std::string::npos) << errors;

  // A failure of program creation itself.
  rec->failingCalls = {"CreateProgram"};
  EXPECT_EQ(Create(kEffect, &errors), kErrFail);
  EXPECT_EQ(effect, nullptr);
  EXPECT_NE(errors.find("does not compile"), std::string::npos) << errors;
  EXPECT_NE(errors.find("injected"), std::string::npos) << errors;  // the back end's own text
}

TEST_F(EffectTest, LoadsFromAFile) {
  const std::string path = ::testing::TempDir() + "/hm_fx_test.fxo";
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(kEffect, 1, std::strlen(kEffect), f);
  std::fclose(f);
  std::string errors;
  ASSERT_EQ(Effect::CreateFromFile(device, path, &effect, &errors), kOk) << errors;
  EXPECT_EQ(effect->Name(), path);
  EXPECT_EQ(effect->TechniqueCount(), 2u);
  EXPECT_EQ(effect->GetCurrentTechnique(), effect->GetTechniqueByName("opaque"));  // the first one
  std::remove(path.c_str());
}

TEST_F(EffectTest, HandlesByNameFromAnyThread) {
  ASSERT_EQ(Create(kEffect), kOk);
  const Handle color = effect->GetParameterByName("gColor");
  EXPECT_NE(color, 0u);
  EXPECT_EQ(effect->GetParameterByName("gMissing"), 0u);
  EXPECT_EQ(effect->GetParameterByName(nullptr), 0u);
  EXPECT_EQ(effect->GetParameterByName("sDiffuse"), 0u);  // samplers are not parameters
  Handle fromThread = 0;
  std::thread([&] { fromThread = effect->GetParameterByName("gColor"); }).join();
  EXPECT_EQ(fromThread, color);

  ASSERT_NE(effect->GetParameterDesc(color), nullptr);
  EXPECT_EQ(effect->GetParameterDesc(color)->type, fx::ParamType::Float4);
  EXPECT_EQ(effect->GetParameterDesc(effect->GetParameterByName("gLightPos"))->count, 2u);
  EXPECT_EQ(effect->GetParameterDesc(0), nullptr);

  EXPECT_EQ(effect->PassCount(effect->GetTechniqueByName("blended")), 2u);
  EXPECT_EQ(effect->GetTechniqueByName("nope"), 0u);
  EXPECT_EQ(effect->SetTechnique("nope"), kErrInvalidCall);
  EXPECT_EQ(effect->SetTechnique(color), kErrInvalidCall);  // a parameter is no technique
}

TEST_F(EffectTest, DefaultsAndTypedSettersStayInsideTheirStorage) {
  ASSERT_EQ(Create(kEffect), kOk);
  auto floats = [&](const char* name) {
    auto raw = effect->GetRawValue(effect->GetParameterByName(name));
    std::vector<float> f(raw.size());
    std::memcpy(f.data(), raw.data(), raw.size() * 4);
    return f;
  };
  EXPECT_EQ(floats("gColor"), (std::vector<float>{1, 0.5f, 0.25f, 1}));
  EXPECT_EQ(floats("gScale"), (std::vector<float>{2}));
  EXPECT_EQ(effect->GetRawValue(effect->GetParameterByName("gSoft")), (std::vector<uint32_t>{1}));
  EXPECT_EQ(effect->GetRawValue(effect->GetParameterByName("gCount")), (std::vector<uint32_t>{3}));

  const Handle scale = effect->GetParameterByName("gScale");
  const Handle light = effect->GetParameterByName("gLightPos");
  const Handle wvp = effect->GetParameterByName("gWorldViewProj");
  const Handle soft = effect->GetParameterByName("gSoft");
  EXPECT_EQ(effect->SetFloat(scale, 4.0f), kOk);
  EXPECT_EQ(floats("gScale"), (std::vector<float>{4}));
  // A vector into a float3 array element keeps x, y, z.
  EXPECT_EQ(effect->SetVector(light, Vec4(1, 2, 3, 4)), kOk);
  EXPECT_EQ(floats("gLightPos"), (std::vector<float>{1, 2, 3, 0, 0, 0}));
  const Vec4 two[] = {Vec4(5, 6, 7, 8), Vec4(9, 10, 11, 12)};
  EXPECT_EQ(effect->SetVectorArray(light, two, 2), kOk);
  EXPECT_EQ(floats("gLightPos"), (std::vector<float>{5, 6, 7, 9, 10, 11}));
  // More floats than the parameter holds: only what fits.
  std::vector<float> many(100, 7.0f);
  EXPECT_EQ(effect->SetFloatArray(light, many.data(), 100), kOk);
  EXPECT_EQ(floats("gLightPos"), std::vector<float>(6, 7.0f));
  EXPECT_EQ(effect->SetValue(scale, many.data(), 400), kOk);
  EXPECT_EQ(floats("gScale").size(), 1u);
  Mat4 m = Translation(1, 2, 3);
  EXPECT_EQ(effect->SetMatrix(wvp, m), kOk);
  EXPECT_EQ(floats("gWorldViewProj")[12], 1.0f);
  // Wrong kinds and unknown handles are refused.
  EXPECT_EQ(effect->SetMatrix(scale, m), kErrInvalidCall);
  EXPECT_EQ(effect->SetFloat(0, 1.0f), kErrInvalidCall);
  EXPECT_EQ(effect->SetFloat(999, 1.0f), kErrInvalidCall);
  EXPECT_EQ(effect->SetTexture(scale, nullptr), kErrInvalidCall);
  EXPECT_EQ(effect->SetFloatArray(scale, nullptr, 1), kErrInvalidCall);
  // Bools are stored as 0 or 1.
  const int32_t seven = 7;
  EXPECT_EQ(effect->SetIntArray(soft, &seven, 1), kOk);
  EXPECT_EQ(effect->GetRawValue(soft), (std::vector<uint32_t>{1}));
  EXPECT_EQ(effect->SetBool(soft, false), kOk);
  EXPECT_EQ(effect->GetRawValue(soft), (std::vector<uint32_t>{0}));
  // A float into a bool: true when not zero (negative zero is zero).
  for (const auto& [value, stored] :
       std::vector<std::pair<float, uint32_t>>{{0.25f, 1u}, {-0.0f, 0u}, {-3.0f, 1u}, {0.0f, 0u}}) {
    EXPECT_EQ(effect->SetFloat(soft, value), kOk);
    EXPECT_EQ(effect->GetRawValue(soft), (std::vector<uint32_t>{stored})) << value;
  }
}

// Static bools: a program for each combination a pass is drawn with, made once.
TEST_F(EffectTest, StaticBoolsPickAProgramPerCombinationBuiltAtFirstUse) {
  const char* text = R"(<effect>
    <parameter name="gColor" type="float4"/>
    <parameter name="gMap" type="bool" static="true"/>
    <parameter name="gFog" type="bool" static="true" default="true"/>
    <parameter name="gUnread" type="bool" static="true"/>
    <technique name="t">
      <pass>
        <vertex>void main() { gl_Position = vec4(0.0); }</vertex>
        <fragment>void main() { oColor = gMap ? gColor : (gFog ? vec4(1.0) : vec4(0.0)); }</fragment>
      </pass>
    </technique>
  </effect>)";
  ASSERT_EQ(Create(text), kOk);
  EXPECT_EQ(rec->CountCalls("CreateProgram"), 1u) << "the defaults' program, with the effect";
  const Handle map = effect->GetParameterByName("gMap");
  const Handle unread = effect->GetParameterByName("gUnread");
  auto draw = [&](const std::function<void()>& insidePass) {
    uint32_t passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), kOk);
    ASSERT_EQ(effect->BeginPass(0), kOk);
    if (insidePass) insidePass();
    ASSERT_EQ(effect->End(), kOk);
  };
  draw(nullptr);
  EXPECT_EQ(rec->CountCalls("CreateProgram"), 1u);
  effect->SetBool(unread, true);  // read by no pass: no program of its own
  draw(nullptr);
  EXPECT_EQ(rec->CountCalls("CreateProgram"), 1u);

  // Switched inside the pass: the commit moves to the other program and sends it every
  // value, the unchanged colour too.
  effect->SetVector(effect->GetParameterByName("gColor"), Vec4(0.25f, 0.5f, 0.75f, 1));
  draw(nullptr);
  rec->Clear();
  draw([&] {
    effect->SetBool(map, true);
    ASSERT_EQ(effect->CommitChanges(), kOk);
  });
  EXPECT_EQ(rec->CountCalls("CreateProgram"), 1u);
  const int second = FindCall("SetProgram", "", size_t(FindCall("CreateProgram")));
  ASSERT_GE(second, 0);
  EXPECT_GE(FindCall("SetUniform", "", size_t(second)), 0) << "the colour reached it";

  // Both combinations are kept: going back and forth builds nothing more.
  rec->Clear();
  for (bool on : {false, true, false}) {
    effect->SetBool(map, on);
    draw(nullptr);
  }
  draw([&] {
    effect->SetBool(map, true);
    effect->CommitChanges();
  });
  EXPECT_EQ(rec->CountCalls("CreateProgram"), 0u);
}

TEST_F(EffectTest, BeginReportsPassesAndEndRestoresStates) {
  ASSERT_EQ(Create(kEffect), kOk);
  ASSERT_EQ(device->SetRenderState(kRsSrcBlend, kBlendOne), kOk);
  const uint32_t zWrite = State(kRsZWriteEnable), cull = State(kRsCullMode), blend = State(kRsAlphaBlendEnable);
  const uint32_t src = State(kRsSrcBlend), alphaTest = State(kRsAlphaTestEnable), colorWrite = State(kRsColorWriteEnable);

  uint32_t passes = 0;
  ASSERT_EQ(effect->Begin(&passes, 0), kOk);
  EXPECT_EQ(passes, 1u);
  EXPECT_EQ(effect->Begin(&passes, 0), kErrInvalidCall);  // already begun
  EXPECT_EQ(effect->BeginPass(1), kErrInvalidCall);       // no such pass
  ASSERT_EQ(effect->BeginPass(0), kOk);
  EXPECT_EQ(effect->BeginPass(0), kErrInvalidCall);  // a pass is open
  EXPECT_EQ(State(kRsZWriteEnable), 0u);
  EXPECT_EQ(State(kRsCullMode), kCullNone);
  EXPECT_EQ(effect->EndPass(), kOk);
  EXPECT_EQ(effect->End(), kOk);
  EXPECT_EQ(State(kRsZWriteEnable), zWrite);
  EXPECT_EQ(State(kRsCullMode), cull);
  EXPECT_EQ(effect->End(), kErrInvalidCall);

  ASSERT_EQ(effect->SetTechnique("blended"), kOk);
  ASSERT_EQ(effect->Begin(&passes, 0), kOk);
  EXPECT_EQ(passes, 2u);
  EXPECT_EQ(effect->SetTechnique("opaque"), kErrInvalidCall);  // not while begun
  ASSERT_EQ(effect->BeginPass(0), kOk);
  EXPECT_EQ(State(kRsAlphaBlendEnable), 1u);
  EXPECT_EQ(State(kRsSrcBlend), kBlendSrcAlpha);
  ASSERT_EQ(effect->EndPass(), kOk);
  ASSERT_EQ(effect->BeginPass(1), kOk);
  EXPECT_EQ(State(kRsColorWriteEnable), 0u);
  // End with a pass still open closes it and restores every state either pass changed.
  EXPECT_EQ(effect->End(), kOk);
  EXPECT_EQ(State(kRsAlphaBlendEnable), blend);
  EXPECT_EQ(State(kRsSrcBlend), src);
  EXPECT_EQ(State(kRsAlphaTestEnable), alphaTest);
  EXPECT_EQ(State(kRsColorWriteEnable), colorWrite);

  // Without state saving the pass's states stay.
  ASSERT_EQ(effect->Begin(&passes, fx::kDoNotSaveState), kOk);
  ASSERT_EQ(effect->BeginPass(0), kOk);
  ASSERT_EQ(effect->End(), kOk);
  EXPECT_EQ(State(kRsAlphaBlendEnable), 1u);
}

TEST_F(EffectTest, ValuesSetInsideAPassReachTheDrawAtCommitChanges) {
  ASSERT_EQ(Create(kEffect), kOk);
  const Handle color = effect->GetParameterByName("gColor");
  ASSERT_EQ(device->BeginScene(), kOk);
  uint32_t passes = 0;
  ASSERT_EQ(effect->Begin(&passes, 0), kOk);
  ASSERT_EQ(effect->BeginPass(0), kOk);
  // BeginPass sent the default.
  EXPECT_GE(FindCall("SetUniformFloats", "0.25"), 0);

  const size_t mark = rec->Calls().size();
  ASSERT_EQ(effect->SetVector(color, Vec4(0.125f, 0.375f, 0.625f, 0.875f)), kOk);
  EXPECT_EQ(FindCall("SetUniformFloats", "0.375", mark), -1);  // not yet
  ASSERT_EQ(effect->CommitChanges(), kOk);
  const int upload = FindCall("SetUniformFloats", "0.375", mark);
  EXPECT_GE(upload, 0);
  // Unchanged values are not sent again.
  EXPECT_EQ(FindCall("SetUniformFloat ", "", mark), -1);

  const float quad[3 * 3] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  ASSERT_EQ(device->SetFVF(kFvfXyz), kOk);
  ASSERT_EQ(device->DrawPrimitiveUP(kTriangleList, 1, quad, 12), kOk);
  const int draw = FindCall("DrawPrimitiveUP", "", mark);
  EXPECT_GT(draw, upload);
  EXPECT_EQ(effect->EndPass(), kOk);
  EXPECT_EQ(effect->CommitChanges(), kErrInvalidCall);  // no pass open
  EXPECT_EQ(effect->End(), kOk);
  device->EndScene();
  EXPECT_TRUE(rec->Errors().empty()) << rec->Errors().front();
}

TEST_F(EffectTest, BonePaletteGoesThroughAUniformBuffer) {
  ASSERT_EQ(Create(kEffect), kOk);
  const Handle bones = effect->GetParameterByName("gBones");
  std::vector<float> palette(960);
  for (size_t i = 0; i < palette.size(); ++i) palette[i] = float(i);
  ASSERT_EQ(effect->SetFloatArray(bones, palette.data(), 960), kOk);
  ASSERT_EQ(effect->SetTechnique("blended"), kOk);
  uint32_t passes = 0;
  ASSERT_EQ(effect->Begin(&passes, 0), kOk);
  ASSERT_EQ(effect->BeginPass(1), kOk);
  EXPECT_GE(FindCall("BindUniformBlock", "gBonesBlock slot=0"), 0);
  EXPECT_GE(FindCall("CreateUniformBuffer", "3840"), 0);
  EXPECT_GE(FindCall("SetUniformBuffer"), 0);
  EXPECT_GE(FindCall("UpdateUniformBuffer"), 0);
  const size_t mark = rec->Calls().size();
  palette[5] = -1.0f;
  ASSERT_EQ(effect->SetFloatArray(bones, palette.data(), 960), kOk);
  ASSERT_EQ(effect->CommitChanges(), kOk);
  EXPECT_GE(FindCall("UpdateUniformBuffer", "", mark), 0);
  EXPECT_EQ(effect->End(), kOk);
  auto raw = effect->GetRawValue(bones);
  ASSERT_EQ(raw.size(), 960u);
  float f5;
  std::memcpy(&f5, &raw[5], 4);
  EXPECT_EQ(f5, -1.0f);
}

TEST_F(EffectTest, AlphaTestStatesReachTheFragmentShader) {
  ASSERT_EQ(Create(kEffect), kOk);
  ASSERT_EQ(effect->SetTechnique("blended"), kOk);
  uint32_t passes = 0;
  ASSERT_EQ(effect->Begin(&passes, 0), kOk);
  ASSERT_EQ(effect->BeginPass(0), kOk);
  const size_t mark = rec->Calls().size();
  ASSERT_EQ(effect->EndPass(), kOk);
  ASSERT_EQ(effect->BeginPass(1), kOk);
  // Pass 1 turns the alpha test on with GreaterEqual (7) against 128.
  const auto calls = rec->Calls();
  bool sawFunc = false, sawRef = false;
  for (size_t i = mark; i < calls.size(); ++i) {
    if (calls[i].rfind("SetUniformInts", 0) == 0 && calls[i].find(" 7") != std::string::npos) sawFunc = true;
    if (calls[i].rfind("SetUniformFloat ", 0) == 0 && calls[i].find("128") != std::string::npos) sawRef = true;
  }
  EXPECT_TRUE(sawFunc);
  EXPECT_TRUE(sawRef);
  EXPECT_EQ(effect->End(), kOk);
  EXPECT_EQ(State(kRsAlphaTestEnable), 0u);
}

TEST_F(EffectTest, TexturesAreHeldAndLetGoOnDeviceLoss) {
  ASSERT_EQ(Create(kEffect), kOk);
  const Handle tex = effect->GetParameterByName("gTexDiffuse");
  Texture* managed = nullptr;
  Texture* target = nullptr;
  ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, kFmtA8R8G8B8, kPoolManaged, &managed), kOk);
  ASSERT_EQ(device->CreateTexture(4, 4, 1, kUsageRenderTarget, kFmtA8R8G8B8, kPoolDefault, &target), kOk);
  ASSERT_EQ(effect->SetTexture(tex, target), kOk);
  EXPECT_EQ(effect->GetTexture(tex), target);

  uint32_t passes = 0;
  ASSERT_EQ(effect->Begin(&passes, 0), kOk);
  ASSERT_EQ(effect->BeginPass(0), kOk);
  EXPECT_GE(FindCall("SetTexture", target->DebugName()), 0);
  ASSERT_EQ(effect->End(), kOk);

  // The effect's reference keeps the render target alive after its owner lets go...
  target->Release();
  EXPECT_EQ(device->DefaultPoolResourceCount(), 1u);
  // ...until the lost-device call, so that Reset can succeed.
  ASSERT_EQ(effect->OnLostDevice(), kOk);
  EXPECT_EQ(effect->GetTexture(tex), nullptr);
  EXPECT_EQ(device->DefaultPoolResourceCount(), 0u);

  ASSERT_EQ(effect->SetTexture(tex, managed), kOk);
  ASSERT_EQ(effect->OnLostDevice(), kOk);
  EXPECT_EQ(effect->GetTexture(tex), managed);  // managed textures survive a reset
  managed->Release();
}
