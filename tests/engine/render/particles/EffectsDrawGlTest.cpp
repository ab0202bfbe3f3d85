// On the GL back end (Mesa's software GL with SDL_VIDEODRIVER=offscreen), with the
// game's own effect files: a burst of particles at the left, two blood decals on a
// wall and a weapon trail at the top right, each read back where it should be and
// checked absent where it should not.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <rapidxml/rapidxml.hpp>

#include "engine/objects/GameObject.h"
#include "engine/objects/Transform.h"
#include "engine/render/CameraView.h"
#include "engine/render/RenderManager.h"
#include "engine/render/Shader.h"
#include "engine/render/buffers/VertexBuffer.h"
#include "engine/render/decals/DecalManager.h"
#include "engine/render/particles/ParticleSubSystem.h"
#include "engine/render/particles/ParticleSysManager.h"
#include "engine/render/particles/ParticleSystem.h"
#include "engine/render/trail/WeaponRenderer.h"
#include "platform/crt/Crt.h"
#include "platform/fx/Effect.h"
#include "platform/image/ImageWriter.h"
#include "platform/window/Window.h"
#include "tests/support/GlWindow.h"

namespace vd {
namespace {

using namespace plat::gpu;

constexpr int kSize = 96;

struct SRgb {
  int r, g, b;
};

class EffectsDrawGl : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(test::OpenGlDevice(kSize, kSize, window, gpu, device));
    gfx::SetRenderDevice(device);
    // The eye 6 in front of the origin, looking down -z.
    view.eye = plat::Vec3(0.0f, 0.0f, 6.0f);
    view.view = plat::LookAtRH(view.eye, plat::Vec3(0, 0, 0), plat::Vec3(0, 1, 0));
    view.fov = 60.0f;
    view.aspect = 1.0f;
    view.nearPlane = 0.1f;
    view.farPlane = 50.0f;
    view.projection = plat::PerspectiveFovRH(view.fov * 3.1415927f / 180.0f, 1.0f, view.nearPlane,
                                             view.farPlane);
    gfx::FillCameraAxes(view);
  }
  void TearDown() override {
    gfx::SetRenderDevice(nullptr);
    test::CloseGlDevice(window, gpu, device);
  }

  void LoadEffect(gfx::CShader& shader, const char* name) {
    shader.Init(CStringHash(name), std::string("Data/shaders/") + name + ".fxo");
    ASSERT_TRUE(shader.LoadEffect(device)) << name;
  }

  std::vector<uint8_t> Frame() {
    std::vector<uint8_t> pixels;
    EXPECT_EQ(device->ReadPixels(nullptr, Rect{0, 0, kSize, kSize}, &pixels), kOk);
    return pixels;
  }
  // Where a world point lands on the screen (row 0 at the top).
  void Project(const plat::Vec3& p, int& x, int& y) const {
    const plat::Vec4 c = plat::Transform(p, view.viewProjection);
    x = static_cast<int>((c.x / c.w * 0.5f + 0.5f) * kSize);
    y = static_cast<int>((0.5f - c.y / c.w * 0.5f) * kSize);
  }
  static SRgb At(const std::vector<uint8_t>& bgra, int x, int y) {
    const uint8_t* p = &bgra[static_cast<size_t>((y * kSize + x) * 4)];
    return {p[2], p[1], p[0]};
  }
  SRgb AtWorld(const std::vector<uint8_t>& bgra, const plat::Vec3& p) const {
    int x = 0, y = 0;
    Project(p, x, y);
    return At(bgra, x, y);
  }

  // The linear depth of a wall at z = 0 (what the depth pre-pass writes): the eye
  // distance over the far-corner distance (both maps: no characters here).
  Texture* WallDepth() {
    const float farMax = gfx::GetCameraFarMaxLength(view);
    Texture* depth = nullptr;
    EXPECT_EQ(device->CreateTexture(kSize, kSize, 1, 0, kFmtR32F, kPoolManaged, &depth), kOk);
    if (!depth) return nullptr;
    std::vector<float> texels(kSize * kSize);
    const float tanHalf = std::tan(view.fov * 0.5f * 3.1415927f / 180.0f);
    for (int y = 0; y < kSize; ++y) {
      for (int x = 0; x < kSize; ++x) {
        // Texture rows follow gl_FragCoord: row 0 at the bottom of the screen.
        const float nx = (static_cast<float>(x) + 0.5f) / kSize * 2.0f - 1.0f;
        const float ny = (static_cast<float>(y) + 0.5f) / kSize * 2.0f - 1.0f;
        const plat::Vec3 ray(nx * tanHalf, ny * tanHalf, -1.0f);
        const float length = std::sqrt(ray.x * ray.x + ray.y * ray.y + 1.0f);
        texels[static_cast<size_t>(y * kSize + x)] = 6.0f * length / farMax;
      }
    }
    LockedRect locked{};
    EXPECT_EQ(depth->LockRect(0, &locked, nullptr, 0), kOk);
    for (int y = 0; y < kSize; ++y)
      std::memcpy(static_cast<uint8_t*>(locked.bits) + y * locked.pitch, &texels[y * kSize],
                  kSize * sizeof(float));
    depth->UnlockRect(0);
    return depth;
  }

  std::unique_ptr<plat::Window> window;
  Gpu* gpu = nullptr;
  Device* device = nullptr;
  gfx::SCameraView view;
};

void LoadComponent(obj::IComponent* component, std::string xml) {
  std::vector<char> buffer(xml.begin(), xml.end());
  buffer.push_back('\0');
  rapidxml::xml_document<> document;
  document.parse<0>(buffer.data());
  component->Load(document.first_node());
}

TEST_F(EffectsDrawGl, ParticlesDecalsAndTrailLandWhereTheyShould) {
  // --- The wall: linear depth of a plane at z = 0 (what the depth pre-pass writes),
  // the eye distance over the far-corner distance (both maps: no characters here).
  gfx::CRenderManager render;
  render.viewState = view;
  Texture* depth = WallDepth();
  ASSERT_TRUE(depth);
  render.renderTargets[3].texture = depth;
  render.renderTargets[2].texture = depth;
  depth->AddRef();
  auto* decalShader = new gfx::CShader();
  LoadEffect(*decalShader, "decal");
  render.shaders.Add(CStringHash("decal"), decalShader);

  plat::SeedRand(1);
  gfx::CDecalManager decals;
  decals.Init(&render, device);
  ASSERT_GE(decals.DecalsMax(), 2);
  const plat::Vec3 decalA(-1.2f, -1.2f, 0.0f), decalB(1.2f, -1.2f, 0.0f);
  decals.AddDecalAt(decalA, 0xFFD20000u, 1.0f, 0, 100.0f, 0.0f, 1.0f);
  decals.AddDecalAt(decalB, 0xFFD20000u, 1.0f, 0, 100.0f, 0.0f, 1.0f);
  decals.Commit();
  // A frame's aging gives them their alpha, which the next commit uploads.
  decals.Age(0.5f);
  decals.Commit();

  // --- The particle burst: one emitter and its system at (-1.5, 1.2, 0).
  ptc::CParticleSysManager particles;
  particles.Init();
  obj::CGameObject burst;
  auto* transform = new gfx::CTransform();
  transform->position = plat::Vec3(-1.5f, 1.2f, 0.0f);
  transform->UpdateMatrix();
  burst.AddComponent(transform);
  auto* emitter = new CParticleSubSystemSimple();
  auto* system = new CParticleSystemSimple();
  burst.AddComponent(emitter);
  burst.AddComponent(system);
  LoadComponent(emitter,
                "<c><key name='particle_creation'><particle_creation_rate_max value='10'/>"
                "<particle_creation_rate_min value='10'/><particle_creation_num_max value='12'/>"
                "<particle_creation_num_min value='12'/></key><key name='no_reborn' value='1'/>"
                "<key name='particle'><master_particle/><replicate value='12'/>"
                "<max_init_pos X='0.2' Y='0.2' Z='0'/><min_init_pos X='-0.2' Y='-0.2' Z='0'/>"
                "<max_init_color R='0' G='1' B='0' A='1'/><min_init_color R='0' G='1' B='0' A='1'/>"
                "<max_init_scale value='0.3'/><min_init_scale value='0.3'/>"
                "<max_init_lifeTime value='5'/><min_init_lifeTime value='5'/></key>"
                "<key name='subparticlesystem_id' value='gl_burst_e'/></c>");
  LoadComponent(system, "<c><key name='particlesystem_id' value='gl_burst'/>"
                        "<key name='subsystem' value='gl_burst_e'/></c>");
  emitter->Init();
  system->Init();
  particles.Flush();
  system->Restart(false);
  system->Update(0.01f);
  emitter->Update(0.01f);
  ASSERT_EQ(emitter->RecordCount(), 12u);

  // --- The trail: eight samples from x = 0.5 to x = 2.5 at the top right.
  gfx::CShader trailShader;
  LoadEffect(trailShader, "weapon_trail");
  obj::CGameObject sword;
  auto* trail = new gfx::CWeaponRenderer();
  sword.AddComponent(trail);
  trail->Reset();
  LoadComponent(trail, "<c><key name='mesh' value='gl_trail'/><key name='render_type' value='dynamic'/>"
                       "<key name='segment_count_max' value='8'/></c>");
  trail->Init();
  std::vector<plat::Vec3> tips, hilts;
  for (int i = 0; i < 8; ++i) {
    const float x = 0.5f + 2.0f * static_cast<float>(i) / 7.0f;
    tips.push_back(plat::Vec3(x, 1.6f, 0.0f));
    hilts.push_back(plat::Vec3(x, 1.0f, 0.0f));
  }
  trail->AddSamples(tips, hilts);
  gfx::IVertexBuffer* trailMesh = trail->Mesh();
  ASSERT_NE(trailMesh, nullptr);
  ASSERT_TRUE(trailMesh->Create());

  gfx::CShader particleShader;
  LoadEffect(particleShader, "particles");
  Texture* white = nullptr;
  ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, kFmtA8R8G8B8, kPoolManaged, &white), kOk);
  {
    LockedRect locked{};
    ASSERT_EQ(white->LockRect(0, &locked, nullptr, 0), kOk);
    for (int y = 0; y < 4; ++y) std::memset(static_cast<uint8_t*>(locked.bits) + y * locked.pitch, 0xFF, 16);
    white->UnlockRect(0);
  }

  // --- One frame: clear to grey, particles, trail, then the decal pass.
  ASSERT_EQ(device->BeginScene(), kOk);
  device->Clear(0, nullptr, kClearTarget | kClearZBuffer, 0xFF202020u, 1.0f, 0);

  particleShader.SetTechnique("particles_tech");
  gfx::SParticleSystemView placement;
  ASSERT_TRUE(emitter->PrepareSystem(0, view, 0, placement));
  float batch[gfx::kParticleBatch * gfx::kParticleRecordFloats];
  const uint32_t count = std::min(emitter->RecordCount(), gfx::kParticleBatch);
  std::memcpy(batch, emitter->Records(), count * gfx::kParticleRecordFloats * sizeof(float));
  emitter->PlaceBatch(0, 0, count, batch);
  particleShader.SetTexture("gTexture", white);
  particleShader.SetFloatArray("gVParticleData", batch, count * gfx::kParticleRecordFloats);
  particleShader.SetMatrix("gWorld", placement.world);
  particleShader.SetMatrix("gView", view.view);
  particleShader.SetMatrix("gViewProj", view.viewProjection);
  particleShader.SetVector("gCameraRight", plat::Vec4(1, 0, 0, 0));
  particleShader.SetVector("gCameraUp", plat::Vec4(0, 1, 0, 0));
  particleShader.SetVector("gPSVisibilityFactor", plat::Vec4(1, 1, 1, placement.alpha));
  gfx::IVertexBuffer* quads = emitter->ParticleBuffer();
  ASSERT_NE(quads, nullptr);
  ASSERT_TRUE(quads->IsValid());
  for (uint32_t pass = 0, passes = particleShader.Begin(); pass < passes; ++pass) {
    particleShader.BeginPass(pass);
    quads->Draw(2 * count, true);
    particleShader.EndPass();
  }
  particleShader.End();

  trailShader.SetTechnique("weapon_trail_tech");
  trailShader.SetMatrix("gWorldViewProj", view.viewProjection);
  for (uint32_t pass = 0, passes = trailShader.Begin(); pass < passes; ++pass) {
    trailShader.BeginPass(pass);
    trailMesh->DrawSubset(0, true);
    trailShader.EndPass();
  }
  trailShader.End();

  decals.Render(0.0f, static_cast<float>(kSize), static_cast<float>(kSize));
  device->EndScene();
  device->Present();
  const std::vector<uint8_t> frame = Frame();
  if (const char* dump = std::getenv("HM_DUMP_FRAME")) {
    std::vector<uint8_t> png;
    std::string error;
    if (plat::image::EncodePng(kSize, kSize, frame, png, error)) plat::image::WriteFileBytes(dump, png);
  }

  // The burst: green at its centre; the grey background beside it.
  const SRgb centre = AtWorld(frame, plat::Vec3(-1.5f, 1.2f, 0.0f));
  EXPECT_GT(centre.g, 200) << "particle burst";
  EXPECT_LT(centre.r, 60);
  const SRgb beside = AtWorld(frame, plat::Vec3(-1.5f, -0.2f, 0.0f));
  EXPECT_EQ(beside.g, 0x20) << "no particle below the burst";

  // The trail: bright at its newest end, faint at its oldest, nothing above it.
  const SRgb newest = AtWorld(frame, plat::Vec3(2.3f, 1.3f, 0.0f));
  const SRgb oldest = AtWorld(frame, plat::Vec3(0.6f, 1.3f, 0.0f));
  const SRgb above = AtWorld(frame, plat::Vec3(1.5f, 2.1f, 0.0f));
  EXPECT_GT(newest.r, 180) << "trail, newest end";
  EXPECT_LT(oldest.r, newest.r - 60) << "trail, oldest end fades";
  EXPECT_EQ(above.r, 0x20) << "nothing above the trail";

  // The decals stain the wall where they lie: darker and redder than the wall,
  // never brighter (blood is lit like what it lies on; it does not shine).
  for (const plat::Vec3& at : {decalA, decalB + plat::Vec3(0.2f, 0.0f, 0.0f)}) {
    const SRgb c = AtWorld(frame, at);
    EXPECT_LT(c.r, 0x20) << at.x;
    EXPECT_LT(c.g, c.r / 2) << at.x;
    EXPECT_GT(c.r, 0) << at.x;
  }
  const SRgb between = AtWorld(frame, plat::Vec3(0.0f, -1.2f, 0.0f));
  EXPECT_EQ(between.r, 0x20) << "the wall between the decals";
  EXPECT_EQ(between.g, 0x20);

  white->Release();
  decals.Shutdown();
  particleShader.Release();
  trailShader.Release();
  render.renderTargets[2].texture = nullptr;
  depth->Release();
}

// The decal pass draws the live decals only, packed in slot order: decals left in
// scattered slots stain the wall as the same decals in adjacent slots do, and with
// none left the pass leaves the picture as it is.
TEST_F(EffectsDrawGl, ScatteredDecalsDrawAsPackedOnesAndNoDecalDrawsNothing) {
  gfx::CRenderManager render;
  render.viewState = view;
  Texture* depth = WallDepth();
  ASSERT_TRUE(depth);
  render.renderTargets[3].texture = depth;
  render.renderTargets[2].texture = depth;
  depth->AddRef();
  auto* decalShader = new gfx::CShader();
  LoadEffect(*decalShader, "decal");
  render.shaders.Add(CStringHash("decal"), decalShader);

  const plat::Vec3 first(-1.2f, -1.2f, 0.0f), last(1.2f, 0.8f, 0.0f);
  // Each decal's noise offset comes from the seed before it, so that the two pools
  // give the kept decals the same stains.
  auto add = [](gfx::CDecalManager& decals, const plat::Vec3& at, int group, unsigned seed) {
    plat::SeedRand(seed);
    decals.AddDecalAt(at, 0xFFD20000u, 1.0f, group, 100.0f, 0.0f, 1.0f);
  };
  auto frame = [&](gfx::CDecalManager* decals) {
    EXPECT_EQ(device->BeginScene(), kOk);
    device->Clear(0, nullptr, kClearTarget | kClearZBuffer, 0xFF808080u, 1.0f, 0);
    if (decals) decals->Render(0.0f, static_cast<float>(kSize), static_cast<float>(kSize));
    device->EndScene();
    device->Present();
    return Frame();
  };
  // Four decals, the middle two fading out and freed: the first and last slots are left.
  gfx::CDecalManager scattered;
  scattered.Init(&render, device);
  ASSERT_GE(scattered.DecalsMax(), 4);
  add(scattered, first, 0, 1);
  add(scattered, plat::Vec3(0.0f, 0.0f, 0.0f), 1, 2);
  add(scattered, plat::Vec3(0.0f, 1.5f, 0.0f), 1, 3);
  add(scattered, last, 0, 4);
  scattered.Commit();
  scattered.RemoveDecals(1);
  scattered.Age(2.0f);
  scattered.Commit();
  ASSERT_TRUE(scattered.Slot(0).used && !scattered.Slot(1).used && !scattered.Slot(2).used &&
              scattered.Slot(3).used);
  EXPECT_EQ(scattered.LiveInstances(), 2) << "of " << scattered.DecalsMax() << " slots";
  const std::vector<uint8_t> fromScattered = frame(&scattered);
  scattered.Shutdown();

  gfx::CDecalManager packed;
  packed.Init(&render, device);
  add(packed, first, 0, 1);
  add(packed, last, 0, 4);
  packed.Commit();
  packed.Age(2.0f);
  packed.Commit();
  const std::vector<uint8_t> fromPacked = frame(&packed);
  EXPECT_EQ(fromScattered, fromPacked);
  for (const plat::Vec3& at : {first, last}) EXPECT_LT(AtWorld(fromPacked, at).g, 0x80) << at.x;
  EXPECT_EQ(AtWorld(fromPacked, plat::Vec3(0.0f, 0.0f, 0.0f)).g, 0x80) << "a freed decal";

  // None left: no instance to draw, and the picture is the one without the pass.
  packed.ClearDecals();
  packed.Commit();
  EXPECT_EQ(packed.LiveInstances(), 0);
  EXPECT_EQ(render.liveDecals, 0);
  EXPECT_EQ(frame(&packed), frame(nullptr));
  packed.Shutdown();
  render.renderTargets[2].texture = nullptr;
  render.renderTargets[3].texture = nullptr;
  depth->Release();
  depth->Release();
}

}  // namespace
}  // namespace vd
