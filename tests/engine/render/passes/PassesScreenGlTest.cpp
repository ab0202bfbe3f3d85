// Screenshots on the software GL: a floor with a box on it, drawn through the passes
// once with a pass on and once with every pass off; each pass must change the
// picture where it acts and leave it alone elsewhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/render/RenderManager.h"
#include "engine/render/buffers/VertexBuffer.h"
#include "engine/render/device/GraphicsManager.h"
#include "engine/render/lights/LightManager.h"
#include "engine/render/passes/FilmLook.h"
#include "engine/render/passes/RenderPasses.h"
#include "platform/fx/Effect.h"
#include "platform/window/Window.h"

namespace vd {
namespace {

namespace gpu = plat::gpu;
using gfx::CRenderTarget;
using plat::Mat4;
using plat::Vec3;

constexpr int kWidth = 256, kHeight = 192;

const char* kSceneEffect = R"(<effect>
  <parameter name="gWorldViewProj" type="float4x4"/>
  <parameter name="gColor" type="float4" default="1 1 1 1"/>
  <technique name="flat">
    <pass>
      <state name="CullMode" value="None"/>
      <state name="ZEnable" value="true"/>
      <state name="ZWriteEnable" value="true"/>
      <state name="ZFunc" value="LessEqual"/>
      <vertex><![CDATA[
        layout(location = HM_ATTR_POSITION) in vec3 aPosition;
        void main() { gl_Position = gWorldViewProj * vec4(aPosition, 1.0); }
      ]]></vertex>
      <fragment><![CDATA[
        void main() { oColor = gColor; }
      ]]></fragment>
    </pass>
  </technique>
</effect>)";

class CSun : public lig::CAbstractLight {
public:
  const CStringHash& GetType() const override { return kType; }
  void Load(rapidxml::xml_node<>*) override {}
  bool HasContent() override { return true; }
  bool Update(float) override { return true; }
  void CopyFrom(const obj::IComponent&) override {}
  bool Init() override { return true; }
  void Reset() override {}
  gfx::CTransform* GetTransform() const override { return nullptr; }
  Vec3 GetPosition() const override { return Vec3(5, 10, -5); }
  void SetTarget(const Vec3&) override {}
  void RegisterWithManager() override {}
  void UnregisterFromManager() override {}
  static inline const CStringHash kType{"CSun"};
};

using Vertex = gfx::TEXTURED_NORM_SKIN_VERTEX;

// Every vertex weighs 1 on palette bone 0, so that the skinned techniques draw it
// where the static ones do.
gfx::CVertexBuffer<Vertex>* MakeMesh(const std::vector<Vec3>& positions) {
  auto* mesh = new gfx::CVertexBuffer<Vertex>();
  mesh->Init(static_cast<uint32_t>(positions.size()), gfx::kMeshPrimitiveKindList,
             gfx::kVtxTexturedNormSkin);
  for (size_t i = 0; i < positions.size(); ++i) {
    Vertex v{};
    v.position = positions[i];
    v.normal = Vec3(0, 1, 0);
    v.weights = gfx::PackSkinChannels(255, 0, 0, 0);
    v.indices = gfx::PackSkinChannels(0, 0, 0, 0);
    mesh->Vertices()[i] = v;
  }
  mesh->Create();
  return mesh;
}

std::vector<Vec3> Box(Vec3 lo, Vec3 hi) {
  const Vec3 c[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z},
                     {lo.x, hi.y, lo.z}, {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z},
                     {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
  const int faces[6][4] = {{0, 1, 2, 3}, {5, 4, 7, 6}, {4, 0, 3, 7},
                           {1, 5, 6, 2}, {3, 2, 6, 7}, {4, 5, 1, 0}};
  std::vector<Vec3> out;
  for (const auto& f : faces)
    for (int i : {0, 1, 2, 0, 2, 3}) out.push_back(c[f[i]]);
  return out;
}

struct SPassSet {
  bool ssao = false, shadows = false, glow = false, dof = false, radial = false, film = false,
       filmExtras = false;
  // Depth of field folded into the film look's draw, as the frame does without a
  // radial blur between them.
  bool fold = false;
};

class PassesScreenGlTest : public ::testing::Test {
protected:
  void SetUp() override {
    plat::WindowDesc desc;
    desc.width = kWidth;
    desc.height = kHeight;
    std::string error;
    window = plat::Window::Create(desc, &error);
    ASSERT_TRUE(window) << error;
    graphics.window = window.get();
    ASSERT_TRUE(graphics.Init(kWidth, kHeight, 0));
    ASSERT_TRUE(manager.Init(&graphics));
    for (const char* name :
         {"z_map", "Glow", "SSAO", "Blur", "shadowing", "DoF", "render2texture"}) {
      auto* shader = new gfx::CShader();
      shader->fileName = std::string("Data/shaders/") + name + ".fxo";
      ASSERT_TRUE(shader->LoadEffect(graphics.device)) << name;
      manager.shaders.Add(CStringHash(name), shader);
    }
    ASSERT_TRUE(manager.LoadTextures("Data/xml/post_textures.xml"));
    manager.commitRequested = true;
    manager.CommitRenderData();
    ASSERT_NE(manager.textures.Find(CStringHash("SSAO_noise.dds")), nullptr);
    std::string errors;
    ASSERT_EQ(
        plat::fx::Effect::CreateFromMemory(graphics.device, kSceneEffect, std::strlen(kSceneEffect),
                                           "scene", &scene, &errors),
        gpu::kOk)
        << errors;
    floor.reset(MakeMesh(
        {{-10, 0, -10}, {10, 0, -10}, {10, 0, 10}, {-10, 0, -10}, {10, 0, 10}, {-10, 0, 10}}));
    box.reset(MakeMesh(Box(Vec3(-0.5f, 0, -0.5f), Vec3(0.5f, 1, 0.5f))));

    camera.fov = 50.0f;
    camera.aspect = float(kWidth) / kHeight;
    camera.nearPlane = 0.5f;
    camera.farPlane = 40.0f;
    camera.view = plat::LookAtRH(Vec3(0, 4, 8), Vec3(0, 0.5f, 0), Vec3(0, 1, 0));
    camera.projection = plat::PerspectiveFovRH(camera.fov * 3.14159265f / 180.0f, camera.aspect,
                                               camera.nearPlane, camera.farPlane);
    gfx::FillCameraAxes(camera);
    manager.viewState = camera;
    manager.cullState = camera;
    manager.hasView = true;
    sun.type = lig::kLightSun;
    sun.behaviour = lig::kBehaviourShadows;
    sun.numSplits = 1;
    sun.zmapResolution = 512.0f;
    sun.view = plat::LookAtRH(sun.GetPosition(), Vec3(0, 0, 0), Vec3(0, 1, 0));
    sun.projection = plat::PerspectiveFovRH(0.6f, 1.0f, 5.0f, 30.0f);
    manager.sunLight = &sun;
    manager.glowSize = 256;

    passes = std::make_unique<gfx::CRenderPasses>(manager, &graphics);
    passes->lights = nullptr;
    passes->draws.drawTable = [this](const gfx::STechniqueEntry* table, int count, bool glowers) {
      int drawn = 0;
      for (int i = 0; i < count; ++i) {
        if (table[i].renderType == gfx::kRenderTypeStatic && !glowers) {
          DrawWith(table[i].effect.c_str(), table[i].technique, *floor, nullptr, nullptr);
          ++drawn;
        }
        if (table[i].renderType == (glowers ? gfx::kRenderTypeStatic : gfx::kRenderTypeAnimation)) {
          DrawWith(table[i].effect.c_str(), table[i].technique, *box, nullptr, nullptr);
          ++drawn;
        }
      }
      return drawn;
    };
    // The box glows; the manager's own list is empty here.
    passes->draws.anyGlower = [] { return true; };
    passes->draws.drawShadowCasters = [this](const CStringHash& effect, const char* technique,
                                             const Mat4* view, const Mat4* projection,
                                             const Vec3*) {
      DrawWith(effect.c_str(), technique, *box, view, projection);
    };
    film = std::make_unique<gfx::CFilmLook>(manager, *passes);
  }
  void TearDown() override {
    film.reset();
    passes.reset();
    floor.reset();
    box.reset();
    if (scene) scene->Release();
    // Everything made on the device goes before the device does.
    for (CRenderTarget& target : manager.renderTargets) target.Release();
    manager.Shutdown();
    graphics.Release();
    window.reset();
  }

  plat::fx::Effect* Effect(const char* name) {
    return manager.shaders.Find(CStringHash(name))->effect;
  }

  // What the frame's list walk does for one entry: world matrices, then the passes.
  void DrawWith(const char* effectName, const char* technique, gfx::IVertexBuffer& mesh,
                const Mat4* view, const Mat4* projection) {
    plat::fx::Effect* e = Effect(effectName);
    const Mat4& v = view ? *view : camera.view;
    const Mat4& p = projection ? *projection : camera.projection;
    e->SetTechnique(technique);
    auto set = [e](const char* n, const Mat4& m) {
      if (auto h = e->GetParameterByName(n)) e->SetMatrix(h, m);
    };
    set("gWorld", Mat4::Identity());
    set("gWorldView", v);
    set("gWorldViewProj", plat::Multiply(v, p));
    if (auto h = e->GetParameterByName("gCamera_far_max_length"))
      e->SetFloat(h, gfx::GetCameraFarMaxLength(camera));
    if (auto h = e->GetParameterByName("gBones")) {
      const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
      e->SetFloatArray(h, identity, 12);
    }
    if (auto h = e->GetParameterByName("gGlowColor"))
      e->SetVector(h, plat::Vec4(0.5f, 0.5f, 0.5f, 0));
    uint32_t n = 0;
    e->Begin(&n, 0);
    for (uint32_t i = 0; i < n; ++i) {
      e->BeginPass(i);
      mesh.DrawAll(true);
      e->EndPass();
    }
    e->End();
  }

  void DrawScene() {
    const Mat4 vp = plat::Multiply(camera.view, camera.projection);
    scene->SetTechnique("flat");
    scene->SetMatrix(scene->GetParameterByName("gWorldViewProj"), vp);
    uint32_t n = 0;
    // Opaque everywhere, as the game's effects draw: depth of field must not take the
    // alpha for a blur factor when it has the depth map.
    scene->SetVector(scene->GetParameterByName("gColor"), plat::Vec4(0.35f, 0.45f, 0.35f, 1.0f));
    scene->Begin(&n, 0);
    scene->BeginPass(0);
    floor->DrawAll(true);
    scene->SetVector(scene->GetParameterByName("gColor"), plat::Vec4(0.6f, 0.3f, 0.2f, 1.0f));
    scene->CommitChanges();
    box->DrawAll(true);
    scene->EndPass();
    scene->End();
  }

  // One frame in the frame driver's order, read back after Present.
  std::vector<uint8_t> Frame(const SPassSet& on) {
    gpu::Device* d = graphics.device;
    CRenderTarget& copy = *graphics.mainTarget;
    CRenderTarget* t = manager.renderTargets;
    manager.sunShadows.render = on.shadows;
    manager.filmLookExtras.render = on.filmExtras;
    const int qw = kWidth / 4, qh = kHeight / 4;
    if (on.glow) passes->RenderGlow();
    passes->RenderLinearDepth(t[gfx::kTargetLinearDepth], 512);
    if (on.ssao && passes->RenderSSAO(t[2], t[7], qw, qh))
      passes->BlurSSAO(t[7], t[2], qw, qh, t[0], qw, qh);
    if (on.shadows) {
      passes->RenderSunShadowMaps();
      passes->RenderScreenShadows(t[12], 256);
      passes->RenderCameraDepth(t[11]);
    }
    d->BeginScene();
    d->Clear(0, nullptr, gpu::kClearTarget | gpu::kClearZBuffer, 0xFF304060u, 1.0f, 0);
    DrawScene();
    d->EndScene();
    copy.CaptureBackBuffer();
    if (on.shadows) {
      passes->SimpleBlur(t[12], 256, 256, t[13], true, true);
      d->BeginScene();
      passes->ApplyScreenShadows(copy);
      d->EndScene();
      copy.CaptureBackBuffer();
    }
    if (on.glow) {
      d->BeginScene();
      passes->MergeGlow(copy, t[4], t[5], t[2]);
      d->EndScene();
      copy.CaptureBackBuffer();
    }
    if (on.dof && on.fold) {
      EXPECT_TRUE(passes->FoldDepthOfFieldIntoFinalFX(copy, kWidth, kHeight));
    } else if (on.dof) {
      passes->RenderDepthOfField(copy, kWidth, kHeight);
      copy.CaptureBackBuffer();
    }
    if (on.radial) {
      passes->RenderRadialBlur(copy);
      copy.CaptureBackBuffer();
    }
    if (on.film) {
      d->BeginScene();
      if (on.fold)
        passes->RenderFinalFX(&copy, 1.0f / 60.0f);
      else
        film->RenderFinalFX(copy, 1.0f / 60.0f);
      d->EndScene();
    }
    EXPECT_EQ(d->Present(), gpu::kOk);
    std::vector<uint8_t> pixels;
    EXPECT_EQ(d->ReadPixels(nullptr, gpu::Rect{0, 0, kWidth, kHeight}, &pixels), gpu::kOk);
    return pixels;
  }

  // One frame through the render manager's own driver: its pre-passes, the scene
  // (the floor and the box drawn over its cleared back buffer) and its post passes,
  // read back after Present.
  std::vector<uint8_t> DriverFrame() {
    gpu::Device* d = graphics.device;
    CRenderTarget* copy = graphics.mainTarget;
    CRenderTarget* ao = &manager.renderTargets[gfx::kTargetAmbientOcclusion];
    manager.framePasses = passes.get();
    // RenderFrame's own start.
    manager.frameSceneCopies = 0;
    manager.RenderPrePasses(ao);
    manager.RenderScene(ao, copy, 1.0f / 60.0f);
    d->BeginScene();
    DrawScene();
    d->EndScene();
    manager.RenderPostPasses(copy, copy, ao, 1.0f / 60.0f, 1.0f / 60.0f);
    manager.framePasses = nullptr;
    std::vector<uint8_t> pixels;
    EXPECT_EQ(d->ReadPixels(nullptr, gpu::Rect{0, 0, kWidth, kHeight}, &pixels), gpu::kOk);
    return pixels;
  }
  void SetDriverPasses(const SPassSet& on) {
    for (gfx::SPair<bool>* flag :
         {&manager.glow, &manager.decals, &manager.depthMap, &manager.ssao, &manager.shadows,
          &manager.sunShadows, &manager.screenShadows, &manager.pcf, &manager.depthOfField,
          &manager.radialBlur, &manager.finalBlur, &manager.filmLookExtras})
      flag->render = false;
    manager.glow.render = on.glow;
    manager.depthMap.render = true;
    manager.shadows.render = manager.sunShadows.render = manager.screenShadows.render = on.shadows;
    manager.screenShadowSize.render = 256;
    manager.depthOfField.render = on.dof;
    manager.radialBlur.render = on.radial;
    manager.filmLook = on.film;
    manager.dofFocalPlane = plat::Length(Vec3(0, 4, 8) - Vec3(0.0f, 0.5f, 0.5f));
    manager.dofNearMaxBlurPlane = manager.dofFocalPlane - 1.0f;
    manager.dofFarMaxBlurPlane = manager.dofFocalPlane + 1.0f;
    manager.radialBlurStrength.render = 2.0f;
  }
  static int LargestDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    EXPECT_EQ(a.size(), b.size());
    int largest = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
      largest = std::max(largest, std::abs(int(a[i]) - int(b[i])));
    return largest;
  }

  // The pixel a world point lands on.
  struct SPixel {
    int x, y;
  };
  SPixel At(Vec3 p) const {
    const Vec3 c = plat::TransformCoord(p, plat::Multiply(camera.view, camera.projection));
    return SPixel{int((c.x * 0.5f + 0.5f) * kWidth), int((0.5f - c.y * 0.5f) * kHeight)};
  }
  static int Channel(const std::vector<uint8_t>& px, SPixel at, int c) {
    return px[(size_t(at.y) * kWidth + at.x) * 4 + c];
  }
  static int Sum(const std::vector<uint8_t>& px, SPixel at) {
    return Channel(px, at, 0) + Channel(px, at, 1) + Channel(px, at, 2);
  }
  static int Difference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, SPixel at) {
    int d = 0;
    for (int c = 0; c < 3; ++c) d = std::max(d, std::abs(Channel(a, at, c) - Channel(b, at, c)));
    return d;
  }

  std::unique_ptr<plat::Window> window;
  gfx::CGraphicsManager graphics;
  gfx::CRenderManager manager;
  gfx::SCameraView camera;
  CSun sun;
  plat::fx::Effect* scene = nullptr;
  std::unique_ptr<gfx::CVertexBuffer<Vertex>> floor, box;
  std::unique_ptr<gfx::CRenderPasses> passes;
  std::unique_ptr<gfx::CFilmLook> film;
};

TEST_F(PassesScreenGlTest, EachPassChangesThePictureWhereItActsOnly) {
  const std::vector<uint8_t> off = Frame(SPassSet{});
  const SPixel boxFront = At(Vec3(0.0f, 0.5f, 0.5f));
  const SPixel farFloor = At(Vec3(3.0f, 0.0f, 3.0f));
  const SPixel sky{4, 4};
  // The picture without passes: floor and box where they should be.
  EXPECT_EQ(Channel(off, farFloor, 1), 115) << "floor green";
  EXPECT_EQ(Channel(off, boxFront, 2), 153) << "box red";

  {  // Shadows: the box's shadow darkens the floor in front of it, nothing else.
    SPassSet on;
    on.shadows = true;
    const std::vector<uint8_t> px = Frame(on);
    const SPixel shadowed = At(Vec3(-0.9f, 0.0f, 0.9f));
    EXPECT_LT(Sum(px, shadowed), Sum(off, shadowed) - 30) << "shadowed floor";
    EXPECT_LE(Difference(px, off, farFloor), 2) << "lit floor";
    EXPECT_LE(Difference(px, off, sky), 2) << "sky";
  }
  {  // Glow: the glowing box gets brighter; the floor far from it does not.
    SPassSet on;
    on.glow = true;
    const std::vector<uint8_t> px = Frame(on);
    EXPECT_GT(Sum(px, boxFront), Sum(off, boxFront) + 60) << "glowing box";
    EXPECT_LE(Difference(px, off, farFloor), 2) << "floor";
    EXPECT_LE(Difference(px, off, sky), 2) << "sky";
  }
  {  // Depth of field: in focus at the box, wholly blurred a unit behind it: the far
     // edge of the floor against the sky blurs, the box and the even floor keep
     // their colours.
    SPassSet on;
    on.dof = true;
    manager.dofFocalPlane = plat::Length(Vec3(0, 4, 8) - Vec3(0.0f, 0.5f, 0.5f));
    manager.dofNearMaxBlurPlane = manager.dofFocalPlane - 1.0f;
    manager.dofFarMaxBlurPlane = manager.dofFocalPlane + 1.0f;
    const std::vector<uint8_t> px = Frame(on);
    const SPixel floorEdge = At(Vec3(-5.0f, 0.0f, -10.0f));
    EXPECT_GT(Difference(px, off, floorEdge), 4) << "far edge of the floor";
    EXPECT_LE(Difference(px, off, boxFront), 2) << "box in focus";
    EXPECT_LE(Difference(px, off, farFloor), 2) << "even floor";
  }
  {  // Radial blur: streaks at the box's outline, nothing at the centre.
    SPassSet on;
    on.radial = true;
    manager.radialBlurStrength.render = 2.0f;
    const std::vector<uint8_t> px = Frame(on);
    const SPixel centre{kWidth / 2, kHeight / 2};
    const SPixel edge = At(Vec3(0.55f, 0.5f, 0.5f));
    EXPECT_GT(Difference(px, off, edge), 4) << "box outline";
    EXPECT_LE(Difference(px, off, centre), 2) << "centre";
    EXPECT_LE(Difference(px, off, sky), 2) << "sky";
  }
  {  // Film look: the tint and desaturation reach every pixel; the vignette of the
     // in-game effects darkens the corners more than the middle.
    SPassSet on;
    on.film = true;
    const std::vector<uint8_t> plain = Frame(on);
    const int saturationOff = Channel(off, boxFront, 2) - Channel(off, boxFront, 0);
    const int saturationOn = Channel(plain, boxFront, 2) - Channel(plain, boxFront, 0);
    EXPECT_LT(saturationOn, saturationOff - 10) << "desaturated box";
    on.filmExtras = true;
    const std::vector<uint8_t> extras = Frame(on);
    EXPECT_LT(Sum(extras, sky), Sum(plain, sky) - 30) << "vignetted corner";
    const SPixel middle{kWidth / 2, kHeight / 2 + 20};
    EXPECT_LE(std::abs(Sum(extras, middle) - Sum(plain, middle)), 45) << "middle";
  }
}

// One draw for depth of field and the film look gives the picture of two, within
// the one step of rounding that the picture between two draws takes.
TEST_F(PassesScreenGlTest, DepthOfFieldFoldedIntoTheFilmLookDrawsTheSamePicture) {
  manager.dofFocalPlane = plat::Length(Vec3(0, 4, 8) - Vec3(0.0f, 0.5f, 0.5f));
  manager.dofNearMaxBlurPlane = manager.dofFocalPlane - 1.0f;
  manager.dofFarMaxBlurPlane = manager.dofFocalPlane + 1.0f;
  SPassSet filmOnly;
  filmOnly.film = true;
  SPassSet apart = filmOnly;
  apart.dof = true;
  SPassSet folded = apart;
  folded.fold = true;
  const std::vector<uint8_t> plain = Frame(filmOnly);
  const std::vector<uint8_t> two = Frame(apart);
  const std::vector<uint8_t> one = Frame(folded);
  const SPixel floorEdge = At(Vec3(-5.0f, 0.0f, -10.0f));
  EXPECT_GT(Difference(one, plain, floorEdge), 4) << "the folded draw blurs the far floor edge";
  ASSERT_EQ(one.size(), two.size());
  int largest = 0;
  for (size_t i = 0; i < one.size(); i += 4)
    for (int c = 0; c < 3; ++c)
      largest = std::max(largest, std::abs(int(one[i + c]) - int(two[i + c])));
  EXPECT_LE(largest, 1);
  // The fold holds for one film look: the next one draws the sharp picture.
  EXPECT_FALSE(passes->DepthOfFieldFolded());
  EXPECT_EQ(Frame(filmOnly), plain);
}

TEST_F(PassesScreenGlTest, AmbientOcclusionDarkensTheCreaseAroundTheBoxOnly) {
  SPassSet on;
  on.ssao = true;
  Frame(on);
  CRenderTarget& ao = manager.renderTargets[gfx::kTargetAmbientOcclusion];
  ASSERT_TRUE(ao.IsCreated());
  std::vector<uint8_t> px;
  ASSERT_EQ(
      graphics.device->ReadPixels(ao.surface, gpu::Rect{0, 0, int(ao.width), int(ao.height)}, &px),
      gpu::kOk);
  auto value = [&](SPixel full) {
    const int x = full.x * int(ao.width) / kWidth, y = full.y * int(ao.height) / kHeight;
    return int(px[(size_t(y) * ao.width + x) * 4 + 2]);
  };
  const int crease = value(At(Vec3(0.0f, 0.02f, 0.58f)));
  const int open = value(At(Vec3(3.0f, 0.0f, 3.0f)));
  EXPECT_GE(open, 240) << "open floor";
  EXPECT_LT(crease, open - 25) << "floor against the box";
}

// A full-screen pass whose whole picture the next one reads draws into the second
// copy the next one reads, instead of into the back buffer that is then copied: the
// frame is the same to the bit, with fewer full-screen copies.
TEST_F(PassesScreenGlTest, ChainedPostPassesDrawThePictureOfCopiedOnesWithFewerCopies) {
  struct SCase {
    const char* name;
    SPassSet on;
    uint32_t copiesApart, copiesChained;
  };
  SPassSet all;
  all.shadows = all.glow = all.dof = all.radial = all.film = true;
  SPassSet noFilm = all;
  noFilm.film = false;
  SPassSet folded;
  folded.dof = folded.film = true;
  // Apart: a copy before each reader. Chained: the shadows feed the merge, depth of
  // field the radial blur, and that the film look; the lists after the merge draw
  // over the back buffer, so the merge draws there.
  const SCase cases[] = {
      {"every pass", all, 5, 2},
      {"no film look: the radial blur draws into the back buffer", noFilm, 4, 2},
      {"depth of field folded into the film look: nothing to chain", folded, 1, 1},
  };
  for (const SCase& c : cases) {
    SetDriverPasses(c.on);
    manager.chainPostPasses = false;
    DriverFrame();  // the targets made, the glow's blur settled
    const std::vector<uint8_t> apart = DriverFrame();
    EXPECT_EQ(manager.frameSceneCopies, c.copiesApart) << c.name;
    manager.chainPostPasses = true;
    const std::vector<uint8_t> chained = DriverFrame();
    EXPECT_EQ(manager.frameSceneCopies, c.copiesChained) << c.name;
    EXPECT_EQ(LargestDifference(apart, chained), 0) << c.name;
  }
  // The passes did act: the chained frame is not the plain scene.
  SetDriverPasses(SPassSet{});
  const std::vector<uint8_t> plain = DriverFrame();
  SetDriverPasses(all);
  EXPECT_GT(LargestDifference(DriverFrame(), plain), 20);
}

// Without a glower drawn, the glow's passes (its colour's blur, its depth, the merge)
// have nothing to add: the frame skips them and draws the picture of a frame
// without glow.
TEST_F(PassesScreenGlTest, GlowWithoutADrawnGlowerSkipsItsPassesAndLeavesThePicture) {
  SPassSet film;
  film.film = true;
  SetDriverPasses(film);
  const std::vector<uint8_t> withoutGlow = DriverFrame();
  SPassSet glow = film;
  glow.glow = true;
  SetDriverPasses(glow);
  const auto drawTable = passes->draws.drawTable;
  struct SCase {
    const char* name;
    bool inList;
  };
  for (const SCase c : {SCase{"no glower in the list", false},
                        SCase{"a glower the glow walk does not draw", true}}) {
    passes->draws.anyGlower = [&c] { return c.inList; };
    passes->draws.drawTable = [&](const gfx::STechniqueEntry* table, int count, bool glowers) {
      return glowers ? 0 : drawTable(table, count, false);
    };
    const std::vector<uint8_t> px = DriverFrame();
    EXPECT_FALSE(manager.glowersDrawn) << c.name;
    EXPECT_FALSE(manager.renderTargets[gfx::kTargetGlowDepth].IsCreated()) << c.name;
    EXPECT_EQ(LargestDifference(px, withoutGlow), 0) << c.name;
  }
  // The box that glows, drawn: its depth is drawn and the picture changes.
  passes->draws.anyGlower = [] { return true; };
  passes->draws.drawTable = drawTable;
  EXPECT_GT(LargestDifference(DriverFrame(), withoutGlow), 20);
  EXPECT_TRUE(manager.renderTargets[gfx::kTargetGlowDepth].IsCreated());
}

}  // namespace
}  // namespace vd
