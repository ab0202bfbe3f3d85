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
#include "tests/support/GlWindow.h"

using namespace vd;
using namespace plat::gpu;

namespace {

constexpr int kSize = 32;

class EffectFilesGlTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(test::OpenGlDevice(kSize, kSize, window, gpu, device));
  }
  void TearDown() override {
    shader.Release();
    test::CloseGlDevice(window, gpu, device);
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

// The city's meshes (two texture coordinate sets: diffuse, then lightmap) through the
// static mesh effect: a lightmapped surface shows diffuse x lightmap whatever the
// lights; without the lightmap the sun lights it; the lightmap is read with the second
// coordinate set; a sun split map with a caster in front shadows both.
TEST_F(EffectFilesGlTest, StaticMeshTakesItsLightFromTheLightmapOrTheLights) {
  shader.Init(CStringHash("static_mesh"), "Data/shaders/static_mesh.fxo");
  ASSERT_TRUE(shader.LoadEffect(device));
  ASSERT_TRUE(shader.SetTechnique("static_mesh_tech"));

  // 2 x 2 textures: a white diffuse; a lightmap whose left column is (0.5, 0.25, 0)
  // and right column black, so that reading it with the first set (all 0.9 here)
  // would give black.
  auto makeTexture = [&](uint32_t left, uint32_t right) {
    Texture* texture = nullptr;
    EXPECT_EQ(device->CreateTexture(2, 2, 1, 0, kFmtA8R8G8B8, kPoolManaged, &texture), kOk);
    LockedRect locked{};
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), kOk);
    for (int y = 0; y < 2; ++y) {
      uint32_t* row =
          reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.bits) + y * locked.pitch);
      row[0] = left;
      row[1] = right;
    }
    texture->UnlockRect(0);
    return texture;
  };
  Texture* diffuse = makeTexture(0xFFFFFFFFu, 0xFFFFFFFFu);
  Texture* lightmap = makeTexture(0xFF804000u, 0xFF000000u);

  gfx::BITEXTURED_NORM_VERTEX tri[3];
  // Clockwise on the screen, as every mesh's front: the effect culls back faces.
  const float q[3][2] = {{-1, -1}, {-1, 3}, {3, -1}};
  for (int i = 0; i < 3; ++i) {
    tri[i].position = plat::Vec3(q[i][0], q[i][1], 0.5f);
    tri[i].normal = plat::Vec3(0, 0, -1);
    tri[i].uv0 = plat::Vec2(0.9f, 0.9f);
    tri[i].uv1 = plat::Vec2(0.1f, 0.5f);
  }
  auto drawCentre = [&](bool lightmapped) {
    shader.SetMatrix(shader.GetHandle(gfx::kHWorldViewProj), plat::Mat4::Identity());
    shader.SetMatrix(shader.GetHandle(gfx::kHWorld), plat::Mat4::Identity());
    shader.SetTexture(shader.GetHandle(gfx::kHTexDiffuse), diffuse);
    shader.SetTexture(shader.GetHandle(gfx::kHTexLightmap), lightmap);
    shader.SetBool(shader.GetHandle(gfx::kHLightmap), lightmapped);
    shader.SetVector(shader.GetHandle(gfx::kHWorldSunLightPos), plat::Vec4(0, 0, -100, 1));
    shader.SetVector(shader.GetHandle(gfx::kHSunLightColor), plat::Vec4(1, 1, 1, 0));
    EXPECT_EQ(device->BeginScene(), kOk);
    device->Clear(0, nullptr, kClearTarget | kClearZBuffer, 0xFF000000u, 1.0f, 0);
    EXPECT_EQ(shader.Begin(), 1u);
    shader.BeginPass(0);
    device->SetFVF(gfx::BITEXTURED_NORM_VERTEX::kFvf);
    EXPECT_EQ(device->DrawPrimitiveUP(kTriangleList, 1, tri, sizeof(tri[0])), kOk);
    shader.EndPass();
    shader.End();
    EXPECT_EQ(device->EndScene(), kOk);
    EXPECT_EQ(device->Present(), kOk);
    std::vector<uint8_t> px;
    EXPECT_EQ(device->ReadPixels(nullptr, Rect{16, 16, 17, 17}, &px), kOk);
    return px;
  };

  const std::vector<uint8_t> mapped = drawCentre(true);  // B, G, R, A
  ASSERT_EQ(mapped.size(), 4u);
  EXPECT_NEAR(mapped[2], 128, 3);
  EXPECT_NEAR(mapped[1], 64, 3);
  EXPECT_NEAR(mapped[0], 0, 3);

  // The sun from straight in front plus the night ambient: nearly white.
  const std::vector<uint8_t> lit = drawCentre(false);
  EXPECT_GT(lit[2], 240);
  EXPECT_GT(lit[1], 240);
  EXPECT_GT(lit[0], 240);

  // Seen from behind (winding reversed) the surface is not drawn: cameras look out of
  // the city's houses through their walls.
  std::swap(tri[1], tri[2]);
  EXPECT_EQ(drawCentre(false), (std::vector<uint8_t>{0, 0, 0, 255}));
  std::swap(tri[1], tri[2]);

  // With map-based shadows on, a sun split map holding a caster in front of the
  // surface (depth 0 everywhere) takes the sun away, and darkens the lightmap.
  Texture* casters = nullptr;
  ASSERT_EQ(device->CreateTexture(2, 2, 1, 0, kFmtR32F, kPoolManaged, &casters), kOk);
  LockedRect locked{};
  ASSERT_EQ(casters->LockRect(0, &locked, nullptr, 0), kOk);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x)
      reinterpret_cast<float*>(static_cast<uint8_t*>(locked.bits) + y * locked.pitch)[x] = 0.0f;
  casters->UnlockRect(0);
  const plat::Mat4 splits[3];
  shader.SetFloat("gShadowing", 1.0f);
  shader.SetFloat(shader.GetHandle(gfx::kHNumSunSplits), 1.0f);
  shader.SetMatrixArray(shader.GetHandle(gfx::kHSunLightViewProj), splits, 3);
  shader.SetTexture(shader.GetHandle(gfx::kHSunLightZMapTexture0), casters);
  const std::vector<uint8_t> shadowed = drawCentre(false);
  EXPECT_LT(shadowed[2], 60);
  const std::vector<uint8_t> shadowedMap = drawCentre(true);
  EXPECT_NEAR(shadowedMap[2], 77, 3);
  // Off again: the same map is not read.
  shader.SetFloat("gShadowing", 0.0f);
  EXPECT_GT(drawCentre(false)[2], 240);

  shader.Release();
  diffuse->Release();
  lightmap->Release();
  casters->Release();
}

// Screen sprites keep the base screen's left edge, centre or right edge on the
// screen's: a strip over the first tenth of a square base screen, drawn on a screen
// twice as wide as high, lands at the left edge, left of the centre, or at the centre.
TEST_F(EffectFilesGlTest, ScreenSpritesFollowTheirAlignment) {
  shader.Init(CStringHash("gui"), "Data/shaders/gui.fxo");
  ASSERT_TRUE(shader.LoadEffect(device));
  gfx::TEXTURED_VERTEX quad[6];
  const float corners[6][2] = {{0, 0}, {10, 0}, {0, 100}, {0, 100}, {10, 0}, {10, 100}};
  for (int i = 0; i < 6; ++i) quad[i].position = plat::Vec3(corners[i][0], corners[i][1], 0.0f);
  shader.SetFloat("gBaseWidth", 100.0f);
  shader.SetInt("gBaseHeight", 100);  // the menu sets ints, the loading screen floats
  shader.SetFloat("gBaseAspectRatio", 1.0f);
  shader.SetFloat(shader.GetHandle(gfx::kHAspectRatio), 2.0f);
  shader.SetMatrix("gWorld", plat::Mat4::Identity());

  // Columns 0, 8 and 16 of the middle row: black where the untextured strip is drawn,
  // the blue clear elsewhere.
  auto drawn = [&](const char* technique) {
    EXPECT_TRUE(shader.SetTechnique(technique));
    EXPECT_EQ(device->BeginScene(), kOk);
    device->Clear(0, nullptr, kClearTarget, 0xFF0000FFu, 1.0f, 0);
    EXPECT_EQ(shader.Begin(), 1u);
    shader.BeginPass(0);
    device->SetFVF(gfx::TEXTURED_VERTEX::kFvf);
    EXPECT_EQ(device->DrawPrimitiveUP(kTriangleList, 2, quad, sizeof(quad[0])), kOk);
    shader.EndPass();
    shader.End();
    EXPECT_EQ(device->EndScene(), kOk);
    EXPECT_EQ(device->Present(), kOk);
    std::string columns;
    for (int x : {0, 8, 16}) {
      std::vector<uint8_t> px;
      EXPECT_EQ(device->ReadPixels(nullptr, Rect{x, 16, x + 1, 17}, &px), kOk);
      columns += px.size() == 4 && px[0] == 0 ? 'X' : '.';
    }
    return columns;
  };
  EXPECT_EQ(drawn("TechGUIAlignLeft"), "X..");
  EXPECT_EQ(drawn("TechGUIAlignCenter"), ".X.");
  EXPECT_EQ(drawn("TechGUIAlignRight"), "..X");
}

// A particle record (position and scale, colour, rotation and the position a detached
// particle keeps) in slot 1 of a batch: attached it sits at its position, detached at
// its kept one, tinted by its colour.
TEST_F(EffectFilesGlTest, ParticleRecordsPlaceAndTintTheirQuads) {
  shader.Init(CStringHash("particles"), "Data/shaders/particles.fxo");
  ASSERT_TRUE(shader.LoadEffect(device));
  ASSERT_TRUE(shader.SetTechnique("particles_tech"));
  Texture* white = nullptr;
  ASSERT_EQ(device->CreateTexture(2, 2, 1, 0, kFmtA8R8G8B8, kPoolManaged, &white), kOk);
  LockedRect locked{};
  ASSERT_EQ(white->LockRect(0, &locked, nullptr, 0), kOk);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x)
      reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.bits) + y * locked.pitch)[x] =
          0xFFFFFFFFu;
  white->UnlockRect(0);

  std::vector<float> batch(120, 0.0f);
  const float record[12] = {0, 0, 0, 0.5f, 1, 0, 0, 1, 0, 0.5f, 0, 0};
  std::copy(record, record + 12, batch.begin() + 12);
  gfx::SIMPLE_VERTEX quad[6];
  const float corners[6][2] = {{-1, -1}, {1, -1}, {-1, 1}, {-1, 1}, {1, -1}, {1, 1}};
  for (int i = 0; i < 6; ++i) quad[i].position = plat::Vec3(corners[i][0], corners[i][1], 3.0f);

  // Columns 8 and 24 of the middle row: red where the particle is.
  auto drawn = [&](bool detached) {
    shader.SetMatrix(shader.GetHandle(gfx::kHViewProj), plat::Mat4::Identity());
    shader.SetMatrix(shader.GetHandle(gfx::kHWorld), plat::Mat4::Identity());
    shader.SetTexture(shader.GetHandle(gfx::kHTexture), white);
    shader.SetFloatArray(shader.GetHandle(gfx::kHVParticleData), batch.data(), 120);
    shader.SetBool(shader.GetHandle(gfx::kHParticlesDetached), detached);
    EXPECT_EQ(device->BeginScene(), kOk);
    device->Clear(0, nullptr, kClearTarget | kClearZBuffer, 0xFF000000u, 1.0f, 0);
    EXPECT_EQ(shader.Begin(), 1u);
    shader.BeginPass(0);
    device->SetFVF(gfx::SIMPLE_VERTEX::kFvf);
    EXPECT_EQ(device->DrawPrimitiveUP(kTriangleList, 2, quad, sizeof(quad[0])), kOk);
    shader.EndPass();
    shader.End();
    EXPECT_EQ(device->EndScene(), kOk);
    EXPECT_EQ(device->Present(), kOk);
    std::string columns;
    for (int x : {8, 24}) {
      std::vector<uint8_t> px;
      EXPECT_EQ(device->ReadPixels(nullptr, Rect{x, 16, x + 1, 17}, &px), kOk);
      columns += px.size() == 4 && px[2] > 200 && px[1] < 30 && px[0] < 30 ? 'R' : '.';
    }
    return columns;
  };
  EXPECT_EQ(drawn(false), "R.");
  EXPECT_EQ(drawn(true), ".R");
  shader.Release();
  white->Release();
}
