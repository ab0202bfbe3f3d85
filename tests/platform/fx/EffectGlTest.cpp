// Effects on the GL back end (Mesa's software GL with SDL_VIDEODRIVER=offscreen):
// real GLSL compiler messages, values, the alpha test and the bone-palette buffer as
// they reach the pixels.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/fx/Effect.h"
#include "platform/window/Window.h"
#include "tests/support/GlWindow.h"

using namespace plat;
using namespace plat::gpu;
using plat::fx::Effect;

namespace {

// Line 1 is the XML declaration-free start; the undeclared name sits on line 6.
const char* kBrokenEffect =
    "<effect>\n"
    "  <technique name='t'>\n"
    "    <pass>\n"
    "      <vertex>void main() { gl_Position = vec4(0.0); }</vertex>\n"
    "      <fragment>\n"
    "        void main() { oColor = vec4(undeclaredThing); }\n"
    "      </fragment>\n"
    "    </pass>\n"
    "  </technique>\n"
    "</effect>\n";

const char* kEffect = R"(<effect>
  <parameter name="gColor" type="float4" default="0 1 0 1"/>
  <parameter name="gBones" type="float" count="960" buffer="true"/>
  <parameter name="gBlue" type="bool" static="true"/>
  <technique name="flat">
    <pass>
      <state name="CullMode" value="None"/>
      <state name="ZEnable" value="false"/>
      <vertex><![CDATA[
        layout(location = HM_ATTR_POSITION) in vec3 a_position;
        void main() { gl_Position = vec4(a_position, 1.0); }
      ]]></vertex>
      <fragment><![CDATA[
        void main() { oColor = gColor; }
      ]]></fragment>
    </pass>
  </technique>
  <technique name="alphatest">
    <pass>
      <state name="CullMode" value="None"/>
      <state name="ZEnable" value="false"/>
      <state name="AlphaTestEnable" value="true"/>
      <state name="AlphaFunc" value="GreaterEqual"/>
      <state name="AlphaRef" value="128"/>
      <vertex><![CDATA[
        layout(location = HM_ATTR_POSITION) in vec3 a_position;
        void main() { gl_Position = vec4(a_position, 1.0); }
      ]]></vertex>
      <fragment><![CDATA[
        void main() { oColor = gColor; }
      ]]></fragment>
    </pass>
  </technique>
  <technique name="static">
    <pass>
      <state name="CullMode" value="None"/>
      <state name="ZEnable" value="false"/>
      <vertex><![CDATA[
        layout(location = HM_ATTR_POSITION) in vec3 a_position;
        void main() { gl_Position = vec4(a_position, 1.0); }
      ]]></vertex>
      <fragment><![CDATA[
        void main() { oColor = gBlue ? vec4(0.0, 0.0, 1.0, 1.0) : gColor; }
      ]]></fragment>
    </pass>
  </technique>
  <technique name="bones">
    <pass>
      <state name="CullMode" value="None"/>
      <state name="ZEnable" value="false"/>
      <vertex><![CDATA[
        layout(location = HM_ATTR_POSITION) in vec3 a_position;
        void main() { gl_Position = vec4(a_position, 1.0); }
      ]]></vertex>
      <fragment><![CDATA[
        void main() { oColor = gBones[239]; }
      ]]></fragment>
    </pass>
  </technique>
</effect>)";

class EffectGlTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(vd::test::OpenGlDevice(32, 32, window, gpu, device));
  }
  void TearDown() override {
    if (effect) effect->Release();
    vd::test::CloseGlDevice(window, gpu, device);
  }

  // Clears to black, draws a triangle over the whole target with `technique` and
  // returns the centre pixel (B, G, R, A) of the presented frame.
  std::vector<uint8_t> Draw(const char* technique,
                            const std::function<void()>& insidePass = nullptr) {
    EXPECT_EQ(effect->SetTechnique(technique), kOk);
    EXPECT_EQ(device->BeginScene(), kOk);
    device->Clear(0, nullptr, kClearTarget, 0xFF000000u, 1.0f, 0);
    uint32_t passes = 0;
    EXPECT_EQ(effect->Begin(&passes, 0), kOk);
    EXPECT_EQ(effect->BeginPass(0), kOk);
    if (insidePass) insidePass();
    const float tri[9] = {-1, -1, 0, 3, -1, 0, -1, 3, 0};
    device->SetFVF(kFvfXyz);
    EXPECT_EQ(device->DrawPrimitiveUP(kTriangleList, 1, tri, 12), kOk);
    EXPECT_EQ(effect->EndPass(), kOk);
    EXPECT_EQ(effect->End(), kOk);
    EXPECT_EQ(device->EndScene(), kOk);
    EXPECT_EQ(device->Present(), kOk);
    std::vector<uint8_t> px;
    EXPECT_EQ(device->ReadPixels(nullptr, Rect{16, 16, 17, 17}, &px), kOk);
    return px;
  }

  std::unique_ptr<Window> window;
  Gpu* gpu = nullptr;
  Device* device = nullptr;
  Effect* effect = nullptr;
};

}  // namespace

TEST_F(EffectGlTest, GlslErrorReportsTheCompilerTextAtTheFileLine) {
  std::string errors;
  const std::string text(kBrokenEffect);
  EXPECT_EQ(
      Effect::CreateFromMemory(device, text.data(), text.size(), "broken.fxo", &effect, &errors),
      kErrFail);
  EXPECT_EQ(effect, nullptr);
  EXPECT_NE(errors.find("undeclaredThing"), std::string::npos) << errors;
  EXPECT_NE(errors.find(":6("), std::string::npos) << errors;  // Mesa's "0:6(col): error"
}

TEST_F(EffectGlTest, ValuesAlphaTestAndBonePaletteReachThePixels) {
  const std::string text(kEffect);
  std::string errors;
  ASSERT_EQ(Effect::CreateFromMemory(device, text.data(), text.size(), "gl.fxo", &effect, &errors),
            kOk)
      << errors;
  const fx::Handle color = effect->GetParameterByName("gColor");

  EXPECT_EQ(Draw("flat"), (std::vector<uint8_t>{0, 255, 0, 255}));  // the default

  // Set inside the pass: reaches the draw through CommitChanges.
  EXPECT_EQ(Draw("flat",
                 [&] {
                   effect->SetVector(color, Vec4(1, 0, 0, 1));
                   effect->CommitChanges();
                 }),
            (std::vector<uint8_t>{0, 0, 255, 255}));

  // Alpha 0.25 fails "greater or equal to 128": nothing is drawn over the black clear.
  effect->SetVector(color, Vec4(1, 1, 1, 0.25f));
  EXPECT_EQ(Draw("alphatest"), (std::vector<uint8_t>{0, 0, 0, 255}));
  effect->SetVector(color, Vec4(1, 1, 1, 0.75f));
  EXPECT_EQ(Draw("alphatest")[0], 255);
  // The states went back after End: the alpha test is off again.
  uint32_t alphaTest = 1;
  device->GetRenderState(kRsAlphaTestEnable, &alphaTest);
  EXPECT_EQ(alphaTest, 0u);

  // A static bool: its own program, chosen at BeginPass and again at CommitChanges, and
  // the values set before reach whichever program draws.
  const fx::Handle blue = effect->GetParameterByName("gBlue");
  effect->SetVector(color, Vec4(0, 1, 0, 1));
  EXPECT_EQ(Draw("static"), (std::vector<uint8_t>{0, 255, 0, 255}));
  effect->SetBool(blue, true);
  EXPECT_EQ(Draw("static"), (std::vector<uint8_t>{255, 0, 0, 255}));
  EXPECT_EQ(Draw("static",
                 [&] {
                   effect->SetBool(blue, false);
                   effect->CommitChanges();
                 }),
            (std::vector<uint8_t>{0, 255, 0, 255}));

  // The last vec4 of the 960-float palette.
  std::vector<float> palette(960, 0.0f);
  palette[956] = 0.0f;
  palette[957] = 0.0f;
  palette[958] = 1.0f;
  palette[959] = 1.0f;
  ASSERT_EQ(effect->SetFloatArray(effect->GetParameterByName("gBones"), palette.data(), 960), kOk);
  EXPECT_EQ(Draw("bones"), (std::vector<uint8_t>{255, 0, 0, 255}));
}

// An extension asked for inside a pass reaches the compiler ahead of the declarations
// the runtime writes before the pass's text (GLSL refuses it after them), and the
// compiler's line numbers still point into the file.
TEST_F(EffectGlTest, AnExtensionInAPassIsTakenAndLinesStillMatchTheFile) {
  const std::string text =
      "<effect>\n"
      "  <parameter name='gColor' type='float4' default='1 0 0 1'/>\n"
      "  <technique name='t'>\n"
      "    <pass>\n"
      "      <state name='CullMode' value='None'/>\n"
      "      <state name='ZEnable' value='false'/>\n"
      "      <vertex>layout(location = HM_ATTR_POSITION) in vec3 a_position;\n"
      "        void main() { gl_Position = vec4(a_position, 1.0); }</vertex>\n"
      "      <fragment>\n"
      "#extension GL_ARB_texture_gather : enable\n"
      "#ifdef GL_ARB_texture_gather\n"
      "        void main() { oColor = vec4(0.0, 1.0, 0.0, 1.0); }\n"
      "#else\n"
      "        void main() { oColor = gColor; }\n"
      "#endif\n"
      "      </fragment>\n"
      "    </pass>\n"
      "  </technique>\n"
      "</effect>\n";
  std::string errors;
  ASSERT_EQ(Effect::CreateFromMemory(device, text.data(), text.size(), "ext.fxo", &effect, &errors),
            kOk)
      << errors;
  const std::vector<uint8_t> px = Draw("t");
  ASSERT_EQ(px.size(), 4u);
  EXPECT_EQ(px[1], 255) << "the extension was not taken";  // green: B, G, R, A
  EXPECT_EQ(px[2], 0);
  effect->Release();
  effect = nullptr;

  std::string broken = text;
  broken.replace(broken.find("oColor = vec4(0.0, 1.0"), 6, "oClour");
  EXPECT_EQ(Effect::CreateFromMemory(device, broken.data(), broken.size(), "ext.fxo", &effect,
                                     &errors),
            kErrFail);
  EXPECT_NE(errors.find(":12("), std::string::npos) << errors;
}
