// The passes' effect files build on the GL back end (Mesa's software GL) and offer
// every technique and parameter the passes look up by name.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/fx/Effect.h"
#include "platform/window/Window.h"
#include "tests/support/GlWindow.h"

namespace {

using namespace plat;
using namespace plat::gpu;
using plat::fx::Effect;

struct SEffectFile {
  const char* name;
  std::vector<const char*> techniques;
  std::vector<const char*> parameters;
};

const SEffectFile kFiles[] = {
    {"z_map",
     {"ComputeZNLinearTech", "ComputeZNLinearTech_Skinned", "ComputeZNLinearTechGlow",
      "ComputeZNLinearTechGlow_Skinned", "ComputeZTech", "ComputeZTech_Skinned",
      "ComputeZForShadowsTech_Skinned", "ComputeCubicZForShadowsTech_Skinned"},
     {"gWorld", "gWorldView", "gWorldViewProj", "gCamera_far_max_length", "gWLightPos", "gBones"}},
    {"Glow", {"glowTech", "glowTech_Skinned"}, {"gGlowColor", "gGlowMultiplier", "gBones"}},
    {"SSAO",
     {"SSAO_tech"},
     {"gNZLinearMapTexture", "gNoiseTexture", "gTexture_noise_size", "gCamera_far_max_length",
      "gProj"}},
    {"Blur",
     {"GaussianBlurFilterH_tech", "GaussianBlurFilterV_tech", "SimpleBlur_tech",
      "SimpleBlurForShadows_tech"},
     {"gTextureToBlurInput", "gTextureToBlur_res_w", "gTextureToBlur_res_h",
      "gDownSamplingBlurFactor", "gWeightDepthNormal", "gNZLinearMapTexture",
      "gCamera_far_max_length"}},
    {"shadowing",
     {"ComputeScreenShadowsTech"},
     {"gNumSunSplits", "gSunLightViewProj", "gSunLightSplitZMapRes", "gSunLightZMapTexture0",
      "gSunLightZMapTexture1", "gSunLightZMapTexture2"}},
    {"DoF",
     {"DoF_tech"},
     {"gDoFTexture", "gDoFBluredTexture", "gDoF_pixelSize", "gDoF_bluredPixelSize"}},
    {"render2texture",
     {"render2textureShadows_tech", "sumMerge_tech", "radialBlur_tech",
      "render2textureFinalFX_tech"},
     {"gTexure",
      "gFilterTexure",
      "gNotFilterTexure",
      "gZMapFullScreenTexure",
      "gTexureToSum",
      "gTexureDepthGlow",
      "gNZLinearMapTexture",
      "gPixelSizeTexureToSum",
      "gRadialBlurInTexture",
      "gRadialBlurStrength",
      "gRadialBlurCenter",
      "gDesaturationFactor",
      "gDesaturationRedPower",
      "gDesaturationGreenPower",
      "gDesaturationBluePower",
      "gEnableIngamePostFX",
      "gVignetingTexure",
      "gWorldTime",
      "gOldMoiveTextureGranulate",
      "gOldMoviePoints",
      "gOldMoviePointsImageIndex",
      "gOldMoviePointsUv",
      "gOldMoviePointsTexure",
      "gOldMovieScratches",
      "gOldMovieScratchesImageIndex",
      "gOldMovieScratchesUv",
      "gOldMovieScratchesTexure",
      "gOldMovieLine",
      "gOldMovieLineU",
      "gOldMovieLineTexure",
      "gOldMovieFlashLines",
      "gOldMovieFlashLinesIndex",
      "gOldMovieFlashLinesInvert",
      "gOldMovieFlashLinesTexure",
      "gOldMovieEffectIntesifier",
      "gRand",
      "gBirghtness"}},
};

TEST(PassEffectsGlTest, EveryPassEffectBuildsWithItsTechniquesAndParameters) {
  std::unique_ptr<Window> window;
  Gpu* gpu = nullptr;
  Device* device = nullptr;
  ASSERT_NO_FATAL_FAILURE(vd::test::OpenGlDevice(32, 32, window, gpu, device));
  for (const SEffectFile& file : kFiles) {
    const std::string path = std::string("Data/shaders/") + file.name + ".fxo";
    Effect* effect = nullptr;
    std::string errors;
    ASSERT_EQ(Effect::CreateFromFile(device, path, &effect, &errors), kOk) << path << "\n"
                                                                           << errors;
    for (const char* technique : file.techniques) {
      const fx::Handle t = effect->GetTechniqueByName(technique);
      EXPECT_NE(t, 0u) << path << ": " << technique;
      if (t) {
        EXPECT_EQ(effect->PassCount(t), 1u) << technique;
      }
    }
    for (const char* parameter : file.parameters)
      EXPECT_NE(effect->GetParameterByName(parameter), 0u) << path << ": " << parameter;
    effect->Release();
  }
  vd::test::CloseGlDevice(window, gpu, device);
}

}  // namespace
