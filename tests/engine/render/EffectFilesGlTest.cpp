// The game's effect files on the GL back end (Mesa's software GL with
// SDL_VIDEODRIVER=offscreen): every file of Data/shaders builds, every effect and
// technique the data names exists, and the skinned effect reads the bone palette
// and the influences the way the skinned buffers write them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/render/Shader.h"
#include "engine/render/buffers/SkinVertexBuffer.h"
#include "engine/render/buffers/VertexTypes.h"
#include "platform/fx/Effect.h"
#include "platform/window/Window.h"

using namespace vd;
using namespace plat::gpu;

namespace {

constexpr int kSize = 32;

class EffectFilesGlTest : public ::testing::Test {
protected:
  void SetUp() override {
    plat::WindowDesc desc;
    desc.width = kSize;
    desc.height = kSize;
    std::string error;
    window = plat::Window::Create(desc, &error);
    ASSERT_TRUE(window) << "no window: " << error;
    gpu = CreateGpu(window.get(), &error);
    ASSERT_NE(gpu, nullptr) << "no GL: " << error;
    PresentParameters pp;
    pp.backBufferWidth = kSize;
    pp.backBufferHeight = kSize;
    pp.deviceWindow = window.get();
    ASSERT_EQ(gpu->CreateDevice(0, kDevTypeHal, window.get(), kCreateHardwareVertexProcessing,
                                &pp, &device),
              kOk);
  }
  void TearDown() override {
    shader.Release();
    if (device) device->Release();
    if (gpu) gpu->Release();
    window.reset();
  }

  std::unique_ptr<plat::Window> window;
  Gpu* gpu = nullptr;
  Device* device = nullptr;
  gfx::CShader shader;
};

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

TEST_F(EffectFilesGlTest, EveryEffectFileBuilds) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator("Data/shaders"))
    if (entry.path().extension() == ".fxo") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty());
  for (const auto& file : files) {
    plat::fx::Effect* effect = nullptr;
    std::string errors;
    EXPECT_EQ(plat::fx::Effect::CreateFromFile(device, file.string(), &effect, &errors), kOk)
        << file << ":\n"
        << errors;
    if (!effect) continue;
    EXPECT_GT(effect->TechniqueCount(), 0u) << file;
    effect->Release();
  }
}

TEST_F(EffectFilesGlTest, EffectsAndTechniquesTheGameNamesExist) {
  struct Named {
    const char* effect;
    std::vector<const char*> techniques;
  };
  std::vector<Named> named = {
      {"static_mesh", {"static_mesh_tech"}},
      {"skin", {"skin_tech", "skin_tech_alpha"}},
      {"water", {"water_tech"}},
      {"sky", {"sky_tech"}},
      {"particles", {"particles_tech", "particles_add_tech"}},
      {"gui",
       {"TechGUIAlignLeft", "TechGUIAlignCenter", "TechGUIAlignRight",
        "TechGUIAlignCenterAlphaTest", "TechGUIAlignCenterNoAlpha"}},
      {"weapon_trail", {"weapon_trail_tech"}},
  };
  // And whatever the data files name: renderer keys and shader lists.
  const std::regex key(R"re(<key\s+name="shader"\s+value="([^"]*)")re");
  const std::regex technique(R"re(<key\s+name="technique"\s+value="([^"]*)")re");
  const std::regex list(R"re(<shader\s+fileName="([^"]*)")re");
  std::set<std::string> dataEffects, dataTechniques;
  for (const auto& entry : std::filesystem::recursive_directory_iterator("Data/xml")) {
    if (entry.path().extension() != ".xml") continue;
    const std::string text = ReadAll(entry.path());
    for (const std::regex* re : {&key, &list})
      for (std::sregex_iterator it(text.begin(), text.end(), *re), end; it != end; ++it)
        dataEffects.insert((*it)[1]);
    for (std::sregex_iterator it(text.begin(), text.end(), technique), end; it != end; ++it)
      dataTechniques.insert((*it)[1]);
  }
  EXPECT_TRUE(dataEffects.count("static_mesh"));
  std::set<std::string> foundTechniques;
  for (const std::string& name : dataEffects) named.push_back({name.c_str(), {}});
  for (const Named& n : named) {
    const std::string file = std::string("Data/shaders/") + n.effect + ".fxo";
    gfx::CShader record;
    record.Init(CStringHash(n.effect), file);
    ASSERT_TRUE(record.LoadEffect(device)) << file;
    for (const char* t : n.techniques) EXPECT_TRUE(record.SetTechnique(t)) << file << " " << t;
    for (const std::string& t : dataTechniques)
      if (record.effect->GetTechniqueByName(t.c_str())) foundTechniques.insert(t);
  }
  for (const std::string& t : dataTechniques)
    EXPECT_TRUE(foundTechniques.count(t)) << "no effect has the technique " << t;
}

// A triangle whose mesh position lies off screen is brought over the whole target by
// palette bone 1 (a quarter turn about z and a translation). Read with the rotation
// transposed, the weights' or the indices' channels swapped, or another bone, the
// triangle would stay off screen and the pixel would keep the clear colour.
TEST_F(EffectFilesGlTest, SkinnedEffectPlacesVerticesByTheBonePalette) {
  shader.Init(CStringHash("skin"), "Data/shaders/skin.fxo");
  ASSERT_TRUE(shader.LoadEffect(device));
  ASSERT_TRUE(shader.SetTechnique("skin_tech"));

  // Bone 0 the identity; bone 1: columns (0 1 0), (-1 0 0), (0 0 1), translation (-10 0 0).
  std::vector<float> palette(gfx::kMaxPaletteBones * gfx::kFloatsPerBone, 0.0f);
  const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  const float turn[12] = {0, 1, 0, -1, 0, 0, 0, 0, 1, -10, 0, 0};
  std::copy(identity, identity + 12, palette.begin());
  std::copy(turn, turn + 12, palette.begin() + 12);

  // Clip-space targets q = M p + t, so p = (q.y, -(q.x + 10)).
  gfx::TEXTURED_NORM_SKIN_VERTEX tri[3];
  const float q[3][2] = {{-1, -1}, {3, -1}, {-1, 3}};
  for (int i = 0; i < 3; ++i) {
    tri[i].position = plat::Vec3(q[i][1], -(q[i][0] + 10.0f), 0.5f);
    tri[i].normal = plat::Vec3(0, 0, -1);
    tri[i].weights = gfx::PackSkinChannels(255, 0, 0, 0);
    tri[i].indices = gfx::PackSkinChannels(1, 0, 0, 0);
    tri[i].uv0 = plat::Vec2(0, 0);
  }

  auto drawCentre = [&](const float* bones) {
    shader.SetFloatArray("gBones", bones, uint32_t(palette.size()));
    shader.SetMatrix(shader.GetHandle(gfx::kHWorldViewProj), plat::Mat4::Identity());
    shader.SetMatrix(shader.GetHandle(gfx::kHWorld), plat::Mat4::Identity());
    shader.SetVector(shader.GetHandle(gfx::kHWorldSunLightPos), plat::Vec4(0, 0, -100, 1));
    shader.SetVector(shader.GetHandle(gfx::kHSunLightColor), plat::Vec4(1, 1, 1, 0));
    EXPECT_EQ(device->BeginScene(), kOk);
    device->Clear(0, nullptr, kClearTarget | kClearZBuffer, 0xFF000000u, 1.0f, 0);
    const uint32_t passes = shader.Begin();
    EXPECT_EQ(passes, 1u);
    shader.BeginPass(0);
    device->SetFVF(gfx::TEXTURED_NORM_SKIN_VERTEX::kFvf);
    EXPECT_EQ(device->DrawPrimitiveUP(kTriangleList, 1, tri, sizeof(tri[0])), kOk);
    shader.EndPass();
    shader.End();
    EXPECT_EQ(device->EndScene(), kOk);
    EXPECT_EQ(device->Present(), kOk);
    std::vector<uint8_t> px;
    EXPECT_EQ(device->ReadPixels(nullptr, Rect{16, 16, 17, 17}, &px), kOk);
    return px;
  };

  const std::vector<uint8_t> moved = drawCentre(palette.data());
  ASSERT_EQ(moved.size(), 4u);
  // Grey base, lit from the front: well above the clear colour in every channel.
  EXPECT_GT(moved[0], 100);
  EXPECT_GT(moved[1], 100);
  EXPECT_GT(moved[2], 100);

  // The same bones with bone 1 the identity: the triangle stays where the mesh has it.
  std::vector<float> still = palette;
  std::copy(identity, identity + 12, still.begin() + 12);
  EXPECT_EQ(drawCentre(still.data()), (std::vector<uint8_t>{0, 0, 0, 255}));
}
