// A small lit scene drawn by the frame on the GL back end (Mesa's software GL with
// SDL_VIDEODRIVER=offscreen): a static mesh and the generated humanoid, skinned and
// animated, read back where each stands and where nothing does.
#include <cal3d/cal3d.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/animation/AnimationManager.h"
#include "engine/render/RenderManager.h"
#include "engine/render/Shader.h"
#include "engine/render/buffers/SkinVertexBuffer.h"
#include "engine/render/buffers/VertexBuffer.h"
#include "engine/render/buffers/VertexTypes.h"
#include "platform/gpu/Device.h"
#include "platform/window/Window.h"
#include "tests/support/GlWindow.h"

using namespace vd;
using namespace vd::gfx;
namespace gpu = plat::gpu;

namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 64;

SCameraView g_view;
void ReadTestView(const cam::CCamera*, SCameraView& out) { out = g_view; }
cam::CCamera* const kCamera = reinterpret_cast<cam::CCamera*>(&g_view);

class CReport : public IRenderable {
public:
  void OnDrawn() override { ++drawn; }
  int drawn = 0;
};

class RenderSceneGlTest : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(test::OpenGlDevice(kWidth, kHeight, window, gpuObject, device));
    SetRenderDevice(device);
    ASSERT_TRUE(render.Init(nullptr));
    SetCameraViewReader(&ReadTestView);
    g_view = SCameraView();
    g_view.fov = 60.0f;
    g_view.aspect = float(kWidth) / float(kHeight);
    g_view.farPlane = 100.0f;
    g_view.view = plat::LookAtRH({0, 1, 5}, {0, 1, 0}, {0, 1, 0});
    g_view.projection =
        plat::PerspectiveFovRH(60.0f * 3.1415927f / 180.0f, g_view.aspect, 0.1f, 100.0f);
    FillCameraAxes(g_view);
    render.viewCamera.Set(kCamera);
  }
  void TearDown() override {
    SetCameraViewReader(nullptr);
    render.Shutdown();
    model.reset();
    animationTemplate.reset();
    SetRenderDevice(nullptr);
    test::CloseGlDevice(window, gpuObject, device);
  }

  void LoadShader(const char* name) {
    auto* shader = new CShader();
    shader->Init(CStringHash(name), std::string("Data/shaders/") + name + ".fxo");
    ASSERT_TRUE(shader->LoadEffect(device)) << name;
    render.shaders.Add(CStringHash(name), shader);
  }

  // A white texture named "white" and material 1 drawing with it.
  void AddWhiteMaterial() {
    auto* texture = new CTexture();
    texture->name = CStringHash("white");
    texture->name.MakeOwned();
    ASSERT_EQ(device->CreateTexture(1, 1, 1, 0, gpu::kFmtA8R8G8B8, gpu::kPoolManaged,
                                    &texture->texture2D),
              gpu::kOk);
    gpu::LockedRect locked;
    ASSERT_EQ(texture->texture2D->LockRect(0, &locked, nullptr, 0), gpu::kOk);
    *static_cast<uint32_t*>(locked.bits) = 0xFFFFFFFFu;
    texture->texture2D->UnlockRect(0);
    render.textures.Add(CStringHash("white"), texture);
    auto* material = new SMaterial();
    SetMaterialTextureNames(*material, 1, "white", "", "", "");
    render.materials.Add(MaterialKey(1), material);
  }

  // A quad standing left of the character, facing the camera and tilted towards the
  // sun.
  void AddStaticQuad() {
    auto* quad = new CVertexBuffer<TEXTURED_NORM_VERTEX>();
    quad->Init(6, kMeshPrimitiveKindList, kVtxTexturedNorm);
    const plat::Vec3 n = plat::Normalize(plat::Vec3(0, 0.7f, 0.7f));
    // Clockwise seen from the camera, as every mesh's front: static meshes cull the back.
    const plat::Vec3 corners[6] = {{-2.4f, 0, 0}, {-1.2f, 2, 0}, {-1.2f, 0, 0},
                                   {-2.4f, 0, 0}, {-2.4f, 2, 0}, {-1.2f, 2, 0}};
    for (int i = 0; i < 6; ++i) quad->Vertices()[i] = {corners[i], n, {0.5f, 0.5f}};
    ASSERT_TRUE(quad->Create());
    render.meshes.Add(CStringHash("quad"), quad);
    quadData.renderType = kRenderTypeStatic;
    quadData.meshName = &quadName;
    quadData.shaderName = &staticName;
    quadData.techniqueName = &staticTech;
    quadData.currentMaterial = quadData.baseMaterial = 1;
    quadData.boxMin = quadBox;
    quadData.boxMax = quadBox + 3;
    quadData.renderer = &quadReport;
    std::vector<SRenderItem*> items;
    ASSERT_EQ(render.AddRenderer(quadData, items), 1);
  }

  // The generated humanoid, animated, standing at x = 1.
  void AddCharacter() {
    animationTemplate = std::make_unique<anm::CAnimationTemplate>();
    ASSERT_TRUE(animationTemplate->Create(CStringHash("brannoc"), "Data/anims/brannoc.xsf"));
    ASSERT_TRUE(animationTemplate->LoadMesh(bodyName, "Data/anims/brannoc_body.xmf", 0, false));
    ASSERT_TRUE(
        animationTemplate->LoadAnimation(CStringHash("walk_01"), "Data/anims/brannoc_walk_01.xaf"));
    CalCoreModel* core = animationTemplate->GetCoreModel();
    model = std::make_unique<CalModel>(core);
    const int meshId = animationTemplate->GetMeshId(bodyName);
    ASSERT_TRUE(model->attachMesh(meshId));
    ASSERT_TRUE(render.CreateSkinnedMesh(
        bodyName, core->getCoreMesh(meshId), kVtxTexturedNormSkin,
        static_cast<uint32_t>(core->getCoreSkeleton()->getVectorCoreBone().size())));
    model->getMixer()->blendCycle(animationTemplate->GetAnimationId(CStringHash("walk_01")), 1.0f,
                                  0.0f);
    model->update(0.0f);
    model->update(0.1f);
    // The generated skeleton stands along +Z: stood up along +Y.
    characterWorld = plat::RotationX(-3.1415927f / 2.0f) * plat::Translation(1.0f, 0.0f, 0.0f);
    characterData.renderType = kRenderTypeAnimation;
    characterData.meshName = &bodyName;
    characterData.shaderName = &skinName;
    characterData.techniqueName = &skinTech;
    characterData.modelInstance = model.get();
    characterData.world = &characterWorld;
    characterData.currentMaterial = characterData.baseMaterial = 1;
    characterData.boxMin = characterBox;
    characterData.boxMax = characterBox + 3;
    characterData.renderer = &characterReport;
    std::vector<SRenderItem*> items;
    ASSERT_EQ(render.AddRenderer(characterData, items), 1);
  }

  // BGRA of the presented frame, rows from the top.
  std::vector<uint8_t> Draw() {
    render.commitRequested = true;
    render.CommitRenderData();
    render.RenderFrame(nullptr, 1.0f / 60.0f, 1.0f / 60.0f);
    std::vector<uint8_t> pixels;
    EXPECT_EQ(device->ReadPixels(nullptr, gpu::Rect{0, 0, kWidth, kHeight}, &pixels), gpu::kOk);
    EXPECT_EQ(pixels.size(), size_t(kWidth * kHeight * 4));
    return pixels;
  }
  static int Brightness(const std::vector<uint8_t>& p, int x, int y) {
    const uint8_t* q = &p[(size_t(y) * kWidth + size_t(x)) * 4];
    return q[0] + q[1] + q[2];
  }
  // Pixels of the column band [x0, x1) that are not the clear colour.
  static int LitPixels(const std::vector<uint8_t>& p, int x0, int x1) {
    int lit = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = x0; x < x1; ++x) lit += Brightness(p, x, y) > 0;
    return lit;
  }

  std::unique_ptr<plat::Window> window;
  gpu::Gpu* gpuObject = nullptr;
  gpu::Device* device = nullptr;
  CRenderManager render;
  CStringHash staticName{"static_mesh"}, staticTech{"static_mesh_tech"};
  CStringHash skinName{"skin"}, skinTech{"skin_tech"};
  CStringHash quadName{"quad"}, bodyName{"brannoc_body.xmf"};
  float quadBox[6] = {-2.4f, 0, 0, -1.2f, 2, 0};
  float characterBox[6] = {-1, 0, -1, 1, 2, 1};
  SRenderData quadData, characterData;
  CReport quadReport, characterReport;
  plat::Mat4 characterWorld;
  std::unique_ptr<anm::CAnimationTemplate> animationTemplate;
  std::unique_ptr<CalModel> model;
};

}  // namespace

TEST_F(RenderSceneGlTest, LitMeshAndSkinnedCharacterAppearWhereTheyStand) {
  LoadShader("static_mesh");
  LoadShader("skin");
  AddWhiteMaterial();
  AddStaticQuad();
  AddCharacter();
  const std::vector<uint8_t> first = Draw();
  if (const char* dump = std::getenv("HM_SCENE_DUMP")) {
    if (FILE* f = std::fopen(dump, "wb")) {
      std::fprintf(f, "P6 %d %d 255\n", kWidth, kHeight);
      for (size_t i = 0; i < first.size(); i += 4) {
        const uint8_t rgb[3] = {first[i + 2], first[i + 1], first[i]};
        std::fwrite(rgb, 1, 3, f);
      }
      std::fclose(f);
    }
  }
  EXPECT_EQ(quadReport.drawn, 1);
  EXPECT_EQ(characterReport.drawn, 1);
  // The quad: its middle is lit (sun and ambient on white), not the clear colour.
  const int quadX = kWidth * 22 / 100, quadY = kHeight * 45 / 100;
  EXPECT_GT(Brightness(first, quadX, quadY), 30) << "quad pixel";
  // Nothing stands in the top corners: the clear colour, opaque black.
  EXPECT_EQ(Brightness(first, 1, 1), 0);
  EXPECT_EQ(Brightness(first, kWidth - 2, 1), 0);
  // The character covers part of its band right of the middle, none of the band
  // between it and the quad.
  const int characterPixels = LitPixels(first, kWidth * 55 / 100, kWidth * 80 / 100);
  EXPECT_GT(characterPixels, 20);
  EXPECT_EQ(LitPixels(first, kWidth * 40 / 100, kWidth * 50 / 100), 0);

  // Animated: a later pose changes the character's pixels.
  model->update(0.4f);
  const std::vector<uint8_t> later = Draw();
  int changed = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = kWidth / 2; x < kWidth; ++x)
      changed += Brightness(first, x, y) != Brightness(later, x, y);
  EXPECT_GT(changed, 5);
}
