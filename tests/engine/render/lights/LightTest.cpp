// Light components and the light manager: XML keys, the matrices of each kind, the
// pending and live tables with the sun, the shader limits, device loss and the
// loading thread's registrations.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/Locks.h"
#include "engine/core/Log.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/Transform.h"
#include "engine/render/RenderManager.h"
#include "engine/render/Shader.h"
#include "engine/render/device/GraphicsManager.h"
#include "engine/render/device/RenderTarget.h"
#include "engine/render/lights/Light.h"
#include "engine/script/ScriptManager.h"
#include "platform/fx/Effect.h"
#include "platform/gpu/Device.h"
#include "tests/support/LogRecorder.h"

namespace vd {
namespace lig {
namespace {

class Lights : public ::testing::Test {
protected:
  void SetUp() override {
    sinks.AddSink(log = new test::CLogRecorder());
    utl::SetLogSinks(&sinks);
    ASSERT_TRUE(manager.Init());
  }
  void TearDown() override {
    objects.clear();
    manager.Shutdown();
    utl::SetLogSinks(nullptr);
  }

  // An object at `position` with a transform and a light read from `keys`.
  CLight& Make(const std::string& keys, const plat::Vec3& position = {0, 0, 0}, bool init = true) {
    texts.push_back("<Component name='CLight'>" + keys + "</Component>");
    std::vector<char> buffer(texts.back().begin(), texts.back().end());
    buffer.push_back('\0');
    rapidxml::xml_document<> document;
    document.parse<0>(buffer.data());
    auto object = std::make_unique<obj::CGameObject>();
    auto* transform = new gfx::CTransform();
    transform->position = position;
    object->AddComponent(transform);
    auto* light = new CLight();
    object->AddComponent(light);
    light->Load(document.first_node());
    light->SetEnabled(true, false);
    if (init) light->Init();
    objects.push_back(std::move(object));
    return *light;
  }
  size_t Logged(const std::string& part) const { return log->Count(part); }

  utl::CLogSinkHolder sinks;
  test::CLogRecorder* log = nullptr;
  gfx::CRenderManager render;  // the instance whose sun the commit sets
  CLightManager manager;
  std::vector<std::string> texts;
  std::vector<std::unique_ptr<obj::CGameObject>> objects;
};

std::string Key(const std::string& name, const std::string& attributes) {
  return "<key name='" + name + "' " + attributes + "/>";
}

TEST_F(Lights, KeysTable) {
  CLight& a =
      Make(Key("light_id", "value='lamp'") + Key("light_type", "value='3'") +
               Key("light_type", "value='4'") + Key("behaviour", "value='1'") +
               Key("zmap_res", "value='256'") + Key("light_color", "R='0.5' G='0.25' B='1'") +
               Key("light_att_eq_params", "X='1' Y='2' Z='3'") +
               Key("light_spot_exponent", "value='12'") + Key("target", "X='1' Y='2' Z='3'") +
               Key("pssm", "num_splits='0' attenuation='1.7' alpha_scheme='-0.2'") +
               Key("fov", "value='40'") + Key("near", "value='0.5'") + Key("far", "value='80'") +
               Key("fire_shake", "value='2'") + Key("unknown", "value='9'"),
           {0, 0, 0}, false);
  EXPECT_STREQ(a.lightId.c_str(), "lamp");
  EXPECT_EQ(a.type, kLightSun);  // 3 gives a sun, 4 leaves it
  EXPECT_EQ(a.behaviour, 1u);
  EXPECT_EQ(a.zmapResolution, 256.0f);
  EXPECT_EQ(a.colour.y, 0.25f);
  EXPECT_EQ(a.attenuation.z, 3.0f);
  EXPECT_EQ(a.spotExponent, 12.0f);
  EXPECT_EQ(a.target.y, 2.0f);
  EXPECT_EQ(a.splitTableSize, 6u);
  EXPECT_EQ(a.numSplits, 0u);
  EXPECT_EQ(a.pssmAttenuation, 1.0f);
  EXPECT_EQ(a.alphaScheme, 0.0f);
  EXPECT_EQ(a.fov, 40.0f);
  EXPECT_EQ(a.nearPlane, 0.5f);
  EXPECT_EQ(a.farPlane, 80.0f);
  EXPECT_EQ(a.fireShake, 0);

  CLight& b = Make(Key("light_type", "value='2'") + Key("behaviour", "value='7'") +
                       Key("fire_shake", "value='1'") +
                       Key("pssm", "num_splits='3' attenuation='-0.2' alpha_scheme='0.4'"),
                   {0, 0, 0}, false);
  EXPECT_EQ(b.type, kLightSpot);
  EXPECT_EQ(b.behaviour, 0u);
  EXPECT_EQ(b.fireShake, 1);
  EXPECT_EQ(b.numSplits, 3u);
  EXPECT_EQ(b.pssmAttenuation, 0.0f);
  EXPECT_FLOAT_EQ(b.alphaScheme, 0.4f);
  // Defaults of a light without keys.
  CLight& c = Make("", {0, 0, 0}, false);
  EXPECT_EQ(c.splitTableSize, 1u);
  EXPECT_EQ(c.attenuation.z, 1.0f);
  EXPECT_EQ(c.direction.y, -1.0f);
  EXPECT_EQ(c.up.y, 1.0f);
}

TEST_F(Lights, ZoneKeyReadsTheScriptGlobal) {
  lgc::CScriptManager scripts;
  ASSERT_TRUE(scripts.Init());
  ASSERT_TRUE(scripts.RunString("zone_hall = 3 zone_far = 33", "zones"));
  CLight& light =
      Make(Key("map_zone_id", "value='zone_hall'") + Key("map_zone_id", "value='zone_far'") +
               Key("map_zone_id", "value='zone_missing'"),
           {0, 0, 0}, false);
  // 3, 33 mod 32 = 1, and the missing global reads as 0.
  EXPECT_EQ(light.zoneMask, (1u << 3) | (1u << 1) | 1u);
  EXPECT_EQ(Logged("zone_missing"), 1u);
}

// Where a point lands in a view: the light looks down its -z.
plat::Vec3 InView(const plat::Mat4& view, const plat::Vec3& p) {
  return plat::TransformCoord(p, view);
}

void ExpectNear(const plat::Vec3& a, const plat::Vec3& b, const char* what) {
  EXPECT_NEAR(a.x, b.x, 1e-5f) << what;
  EXPECT_NEAR(a.y, b.y, 1e-5f) << what;
  EXPECT_NEAR(a.z, b.z, 1e-5f) << what;
}

TEST_F(Lights, SpotAndSunLookAtTheirTarget) {
  CLight& spot =
      Make(Key("light_id", "value='spot'") + Key("light_type", "value='2'") +
               Key("behaviour", "value='2'") + Key("target", "X='3' Y='6' Z='0'") +
               Key("fov", "value='90'") + Key("near", "value='1'") + Key("far", "value='11'"),
           {0, 10, 0});
  ExpectNear(spot.direction, {0.6f, -0.8f, 0.0f}, "direction");
  ASSERT_NE(spot.shadowTarget, nullptr);
  EXPECT_EQ(spot.cubeShadowTarget, nullptr);
  EXPECT_FLOAT_EQ(spot.fovRadians, 3.14159265f / 2.0f);
  // The target lies 5 units straight ahead.
  ExpectNear(InView(spot.view, {3, 6, 0}), {0, 0, -5}, "target in view");
  // Right-handed perspective, 90 degrees, aspect 1, near 1, far 11.
  const plat::Mat4& p = spot.projection;
  EXPECT_NEAR(p(0, 0), 1.0f, 1e-6f);
  EXPECT_NEAR(p(1, 1), 1.0f, 1e-6f);
  EXPECT_NEAR(p(2, 2), 11.0f / (1.0f - 11.0f), 1e-6f);
  EXPECT_NEAR(p(2, 3), -1.0f, 1e-6f);
  EXPECT_NEAR(p(3, 2), 11.0f / (1.0f - 11.0f), 1e-6f);

  // A target on the light itself leaves the downward direction, never NaN.
  CLight& still = Make(Key("light_id", "value='still'") + Key("light_type", "value='2'") +
                           Key("target", "X='1' Y='1' Z='1'"),
                       {1, 1, 1});
  ExpectNear(still.direction, {0, -1, 0}, "fallback direction");

  CLight& sun =
      Make(Key("light_id", "value='sun'") + Key("light_type", "value='3'") +
               Key("behaviour", "value='2'") + Key("target", "X='0' Y='0' Z='0'") +
               Key("fov", "value='60'") + Key("near", "value='1'") + Key("far", "value='100'"),
           {0, 0, 20});
  ExpectNear(InView(sun.view, {0, 0, 0}), {0, 0, -20}, "sun target");
  EXPECT_NEAR(sun.projection(1, 1), 1.0f / std::tan(3.14159265f / 6.0f), 1e-5f);
  sun.SetTarget({0, 20, 20});
  ExpectNear(InView(sun.view, {0, 20, 20}), {0, 0, -20}, "new target");

  // Without shadows the matrices are not made.
  CLight& plain = Make(Key("light_id", "value='plain'") + Key("light_type", "value='2'") +
                           Key("fov", "value='60'") + Key("target", "X='0' Y='0' Z='0'"),
                       {0, 5, 0});
  EXPECT_EQ(plain.projection, plat::Mat4());
  EXPECT_EQ(plain.shadowTarget, nullptr);
}

TEST_F(Lights, PointLightHasSixCubeViews) {
  CLight& point = Make(Key("light_id", "value='bulb'") + Key("light_type", "value='1'") +
                           Key("behaviour", "value='2'") + Key("fov", "value='30'") +
                           Key("near", "value='0.1'") + Key("far", "value='10'"),
                       {1, 2, 3});
  ASSERT_NE(point.cubeShadowTarget, nullptr);
  EXPECT_EQ(point.shadowTarget, nullptr);
  EXPECT_EQ(point.fov, 90.0f);
  EXPECT_NEAR(point.projection(0, 0), 1.0f, 1e-6f);
  EXPECT_NEAR(point.projection(1, 1), 1.0f, 1e-6f);
  // +X, -X, +Y, -Y, +Z, -Z: a point one unit along each face's axis lies straight
  // ahead of that face's view.
  const plat::Vec3 axes[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
  for (int f = 0; f < 6; ++f)
    ExpectNear(InView(point.cubeViews[f], plat::Vec3(1, 2, 3) + axes[f]), {0, 0, -1},
               ("face " + std::to_string(f)).c_str());
}

TEST_F(Lights, PendingReachesLiveOnlyThroughTheCommit) {
  CLight& a = Make(Key("light_id", "value='a'") + Key("light_type", "value='1'"));
  EXPECT_EQ(manager.PendingCount(), 1u);
  EXPECT_EQ(manager.LiveCount(), 0u);
  std::vector<CAbstractLight*> found;
  manager.GetLights(kLightPoint, found, 0);
  EXPECT_TRUE(found.empty());  // zone mask 0 and not committed

  a.zoneMask = 1u << 2;
  manager.CommitPendingLights();
  EXPECT_EQ(manager.PendingCount(), 0u);
  EXPECT_EQ(manager.FindLive(CStringHash("a")), &a);
  manager.GetLights(kLightPoint, found, 2);
  EXPECT_EQ(found, std::vector<CAbstractLight*>{&a});
  found.clear();
  manager.GetLights(kLightSpot, found, 2);
  manager.GetLights(kLightPoint, found, 1);
  EXPECT_TRUE(found.empty());
  a.SetEnabled(false, false);
  manager.GetLights(kLightPoint, found, 2);
  EXPECT_TRUE(found.empty());

  // A second light under a taken id stays its object's and is not lit.
  CLight& twin = Make(Key("light_id", "value='a'") + Key("light_type", "value='1'"));
  EXPECT_EQ(manager.PendingCount(), 0u);
  EXPECT_EQ(manager.FindLive(CStringHash("a")), &a);
  EXPECT_EQ(Logged("registered already"), 1u);
  EXPECT_EQ(twin.registered, 0);
  // Its going leaves the first light alone.
  twin.Reset();
  EXPECT_EQ(manager.FindLive(CStringHash("a")), &a);
  a.Reset();
  EXPECT_EQ(manager.LiveCount(), 0u);
}

TEST_F(Lights, TheSunIsTheLastRegisteredSunLight) {
  CLight& first = Make(Key("light_id", "value='sun1'") + Key("light_type", "value='3'"));
  CLight& second =
      Make(Key("light_id", "value='sun2'") + Key("light_type", "value='3'"), {4, 50, -6});
  EXPECT_EQ(render.sunLight, nullptr);  // not before the commit
  manager.CommitPendingLights();
  EXPECT_EQ(render.sunLight, &second);
  // The entries light from where the sun stands, taken again at each commit.
  auto sunAt = [this](float x, float y, float z) {
    const plat::Vec3& p = render.sunLightPosition;
    return p.x == x && p.y == y && p.z == z;
  };
  EXPECT_TRUE(sunAt(4, 50, -6));
  second.GetOwner()->GetComponent<gfx::CTransform>()->position = plat::Vec3(1, 60, 2);
  manager.CommitPendingLights();
  EXPECT_TRUE(sunAt(1, 60, 2));
  // Unregistering the earlier one leaves the current sun.
  first.Reset();
  manager.CommitPendingLights();
  EXPECT_EQ(render.sunLight, &second);
  second.Reset();
  EXPECT_EQ(render.sunLight, nullptr);
  manager.CommitPendingLights();
  EXPECT_EQ(render.sunLight, nullptr);

  // A sun that goes before its commit never becomes the sun (it may be deleted by
  // then).
  CLight& brief = Make(Key("light_id", "value='brief'") + Key("light_type", "value='3'"));
  brief.Reset();
  manager.CommitPendingLights();
  EXPECT_EQ(render.sunLight, nullptr);
  EXPECT_EQ(manager.LiveCount(), 0u);
}

TEST_F(Lights, TheShaderCutKeepsTheLightsOfTheLowestUnsignedIds) {
  // 23 'z' hash above 0x80000000: as a signed key it would come first and push p3
  // out of the four the shaders take.
  std::vector<CLight*> points;
  for (const char* id : {"zzzzzzzzzzzzzzzzzzzzzzz", "p0", "p1", "p2", "p3"}) {
    CLight& l =
        Make(Key("light_id", std::string("value='") + id + "'") + Key("light_type", "value='1'"));
    l.zoneMask = 1;
    points.push_back(&l);
  }
  manager.CommitPendingLights();
  SShaderLights block;
  manager.GetShaderLights(0, false, false, block);
  ASSERT_EQ(block.pointCount, 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(block.points[i], points[i + 1]) << i;
}

TEST_F(Lights, ShadersTakeFourPointAndThreeSpotLights) {
  std::vector<CLight*> points, spots;
  for (int i = 0; i < 6; ++i) {
    CLight& l = Make(Key("light_id", "value='p" + std::to_string(i) + "'") +
                         Key("light_type", "value='1'") + Key("behaviour", "value='2'") +
                         Key("far", "value='" + std::to_string(10 + i) + "'") +
                         Key("light_color", "R='" + std::to_string(i) + "' G='0' B='0'"),
                     {float(i), 0, 0});
    l.zoneMask = 1;
    points.push_back(&l);
  }
  for (int i = 0; i < 5; ++i) {
    CLight& l = Make(Key("light_id", "value='s" + std::to_string(i) + "'") +
                         Key("light_type", "value='2'") + Key("light_spot_exponent", "value='4'") +
                         Key("target", "X='0' Y='0' Z='0'"),
                     {0, float(i + 1), 0});
    l.zoneMask = 1;
    spots.push_back(&l);
  }
  manager.CommitPendingLights();
  SShaderLights block;
  manager.GetShaderLights(0, true, true, block);
  EXPECT_EQ(block.pointCount, 4u);
  EXPECT_EQ(block.spotCount, 3u);
  EXPECT_EQ(Logged("6 point and 5 spot lights"), 1u);
  // Key order: p0 to p3.
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(block.points[i], points[i]);
    EXPECT_EQ(block.pointPos[3 * i], float(i));
    EXPECT_EQ(block.pointColour[3 * i], float(i));
    EXPECT_EQ(block.pointShadows[i], 1.0f);
    EXPECT_EQ(block.pointZMapRes[i], 32.0f);  // half of 64
    EXPECT_EQ(block.pointFarPlane[i], float(10 + i));
  }
  EXPECT_EQ(block.spotDir[1], -1.0f);
  EXPECT_EQ(block.spotExponent[2], 4.0f);
  EXPECT_EQ(block.spotShadows[0], 0.0f);  // behaviour 0
  // The same clamp again is not logged again; without shadows nothing is shadowed.
  manager.GetShaderLights(0, false, false, block);
  EXPECT_EQ(Logged("point and"), 1u);
  EXPECT_EQ(block.pointShadows[0], 0.0f);
  // Another zone holds none.
  manager.GetShaderLights(1, true, false, block);
  EXPECT_EQ(block.pointCount + block.spotCount, 0u);
}

class LightDevice : public Lights {
protected:
  void SetUp() override {
    Lights::SetUp();
    recorder = std::make_shared<plat::gpu::Recorder>();
    graphics.gpuFactory = [this](plat::Window*, std::string*) {
      return plat::gpu::CreateRecordingGpu(recorder);
    };
    ASSERT_TRUE(graphics.Init(64, 64, 0));
  }
  void TearDown() override {
    objects.clear();
    graphics.Release();
    Lights::TearDown();
  }
  std::shared_ptr<plat::gpu::Recorder> recorder;
  gfx::CGraphicsManager graphics;
};

TEST_F(LightDevice, ShadowTargetsGoWithTheDeviceAndComeBack) {
  const plat::gpu::Viewport viewport{0, 0, 32, 32, 0.0f, 1.0f};
  CLight& spot = Make(Key("light_id", "value='spot'") + Key("light_type", "value='2'") +
                          Key("behaviour", "value='2'") + Key("target", "X='0' Y='0' Z='0'"),
                      {0, 4, 0});
  CLight& point = Make(Key("light_id", "value='point'") + Key("light_type", "value='1'") +
                       Key("behaviour", "value='2'"));
  const uint32_t before = graphics.device->DefaultPoolResourceCount();
  ASSERT_TRUE(spot.shadowTarget->Create(&graphics, 32, 32, plat::gpu::kFmtR32F, false,
                                        plat::gpu::kFmtD16, true, false, viewport));
  ASSERT_TRUE(point.cubeShadowTarget->Create(&graphics, 32, viewport));
  // One pending, one live: both tables are walked.
  manager.CommitPendingLights();
  CLight& late = Make(Key("light_id", "value='late'") + Key("light_type", "value='2'") +
                      Key("behaviour", "value='2'") + Key("target", "X='1' Y='0' Z='0'"));
  ASSERT_TRUE(late.shadowTarget->Create(&graphics, 16, 16, plat::gpu::kFmtR32F, false,
                                        plat::gpu::kFmtD16, true, false, viewport));
  ASSERT_TRUE(spot.shadowTarget->IsCreated() && late.shadowTarget->IsCreated() &&
              point.cubeShadowTarget->IsCreated());
  const uint32_t created = graphics.device->DefaultPoolResourceCount();
  ASSERT_GT(created, before);

  manager.OnLostDevice();
  EXPECT_EQ(graphics.device->DefaultPoolResourceCount(), before);
  EXPECT_FALSE(spot.shadowTarget->IsCreated());
  EXPECT_FALSE(point.cubeShadowTarget->IsCreated());
  EXPECT_FALSE(late.shadowTarget->IsCreated());
  manager.OnResetDevice();
  EXPECT_EQ(graphics.device->DefaultPoolResourceCount(), created);
  EXPECT_TRUE(spot.shadowTarget->IsCreated());
  EXPECT_TRUE(point.cubeShadowTarget->IsCreated());
  EXPECT_TRUE(late.shadowTarget->IsCreated());
  EXPECT_TRUE(recorder->Errors().empty());
}

TEST_F(Lights, LoadingThreadRegistrationsReachTheRenderThreadThroughTheCommit) {
  sys::CLockSet locks;
  sys::CLockSet* previous = sys::GetAppLocks();
  sys::SetAppLocks(&locks);
  locks.Create(sys::kLockRender);
  constexpr int kCount = 300;
  std::vector<std::unique_ptr<CLight>> lights;
  for (int i = 0; i < kCount; ++i) {
    lights.emplace_back(new CLight());
    const std::string id = "l" + std::to_string(i);
    lights.back()->lightId = id.c_str();
    lights.back()->lightId.MakeOwned();
    lights.back()->type = kLightPoint;
    lights.back()->zoneMask = 1;
    lights.back()->SetEnabled(true, false);
  }
  // Ids whose hashes collide keep their first light; count the distinct ones.
  std::set<uint32_t> distinct;
  for (auto& light : lights) distinct.insert(light->lightId.GetHash());
  std::atomic<bool> done{false};
  std::thread loader([&] {
    for (auto& light : lights) light->RegisterWithManager();
    done = true;
  });
  // The render thread: commits and reads the live table meanwhile.
  size_t seen = 0;
  std::vector<CAbstractLight*> found;
  while (!done || manager.PendingCount() > 0) {
    manager.CommitPendingLights();
    found.clear();
    manager.GetLights(kLightPoint, found, 0);
    EXPECT_GE(found.size(), seen);  // nothing live is lost
    seen = found.size();
  }
  loader.join();
  manager.CommitPendingLights();
  EXPECT_EQ(manager.LiveCount(), distinct.size());
  for (auto& light : lights) light->Reset();
  EXPECT_EQ(manager.LiveCount(), 0u);
  locks.Delete(sys::kLockRender);
  sys::SetAppLocks(previous);
}

TEST_F(Lights, FireFlickerInTheCurrentZone) {
  CLight& fire =
      Make(Key("light_id", "value='fire'") + Key("light_type", "value='1'") +
               Key("fire_shake", "value='1'") + Key("light_color", "R='1' G='0.5' B='0'"),
           {2, 3, 4});
  fire.zoneMask = 1u << 5;
  gfx::CTransform* transform = fire.GetTransform();
  manager.currentZone = 4;
  fire.Update(0.1f);
  EXPECT_EQ(transform->position.x, 2.0f);  // another zone: nothing moves
  EXPECT_EQ(fire.flickerTime, 0.0f);

  manager.currentZone = 5 + 32;  // zones wrap at 32
  fire.Update(0.3f);
  const float t = 0.3f;
  EXPECT_NEAR(transform->position.x, 2.0f + 0.01f * std::sin(500.0f * t), 1e-5f);
  EXPECT_NEAR(transform->position.y, 3.0f + 0.005f * std::cos(1000.0f * t), 1e-5f);
  EXPECT_EQ(transform->position.z, 4.0f);
  const float a = 0.15f * std::sin(1000.0f * t) + 0.02f * std::sin(100.0f * t);
  EXPECT_EQ(fire.attenuation.x, 0.0f);  // zero components stay zero
  EXPECT_EQ(fire.attenuation.y, 0.0f);
  EXPECT_NEAR(fire.attenuation.z, 1.0f + a, 1e-5f);
  const float c = 0.3f * std::sin(t);
  EXPECT_NEAR(fire.colour.x, std::min(1.0f, 1.0f + c), 1e-6f);
  EXPECT_NEAR(fire.colour.y, 0.5f + 0.5f * c, 1e-6f);
  EXPECT_EQ(fire.colour.z, 0.0f);
  // The base stays the first frame's: a second step starts from it again.
  fire.Update(0.2f);
  EXPECT_NEAR(transform->position.x, 2.0f + 0.01f * std::sin(500.0f * 0.5f), 1e-5f);
}

TEST_F(Lights, CheckpointRestoreKeepsTheLightsOwnTargets) {
  CLight& spot =
      Make(Key("light_id", "value='spot'") + Key("light_type", "value='2'") +
               Key("behaviour", "value='2'") + Key("light_color", "R='0.2' G='0.2' B='0.2'") +
               Key("target", "X='0' Y='0' Z='0'"),
           {0, 4, 0});
  spot.SaveCheckPoint();
  spot.colour = plat::Vec3(1, 1, 1);
  gfx::CRenderTarget* own = spot.shadowTarget;
  spot.LoadCheckPoint();
  EXPECT_EQ(spot.colour.x, 0.2f);
  EXPECT_EQ(spot.shadowTarget, own);
  EXPECT_STREQ(spot.lightId.c_str(), "spot");
  // The copy's targets were deleted with the reset; restoring must not bring them
  // back (the object's destruction would delete them twice).
  spot.Reset();
  EXPECT_EQ(spot.shadowTarget, nullptr);
  spot.LoadCheckPoint();
  EXPECT_EQ(spot.shadowTarget, nullptr);
  EXPECT_EQ(spot.registered, 0);
  EXPECT_STREQ(spot.lightId.c_str(), "spot");
}

}  // namespace
}  // namespace lig
}  // namespace vd

namespace vd {
namespace lig {
namespace {

float FloatAt(const std::vector<uint32_t>& raw, size_t i) {
  float f = 0.0f;
  if (i < raw.size()) std::memcpy(&f, &raw[i], 4);
  return f;
}

TEST_F(LightDevice, EffectsReceiveTheClampedLightArrays) {
  const std::string text = R"(<effect>
    <parameter name="gNumPointLights" type="float"/>
    <parameter name="gPointLightsPosW" type="float3" count="4"/>
    <parameter name="gPointLightsShadows" type="float" count="4"/>
    <parameter name="gNumSpotLights" type="float"/>
    <parameter name="gSpotLightsViewProj" type="float4x4" count="3"/>
    <technique name="t"><pass><vertex>void main() { gl_Position = vec4(gNumPointLights); }</vertex>
    <fragment>void main() { oColor = vec4(1.0); }</fragment></pass></technique></effect>)";
  const std::string path = ::testing::TempDir() + "light_test_lit.fxo";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
  }
  gfx::CShader shader;
  shader.Init(CStringHash("lit"), path);
  ASSERT_TRUE(shader.LoadEffect(graphics.device));
  std::remove(path.c_str());
  plat::fx::Effect* effect = shader.effect;
  for (int i = 0; i < 5; ++i) {
    CLight& l =
        Make(Key("light_id", "value='p" + std::to_string(i) + "'") + Key("light_type", "value='1'"),
             {float(i + 1), 2, 3});
    l.zoneMask = 1;
  }
  CLight& spot =
      Make(Key("light_id", "value='s'") + Key("light_type", "value='2'") +
               Key("behaviour", "value='2'") + Key("fov", "value='90'") + Key("near", "value='1'") +
               Key("far", "value='11'") + Key("target", "X='0' Y='0' Z='0'"),
           {0, 4, 0});
  spot.zoneMask = 1;
  manager.CommitPendingLights();
  SShaderLights block;
  manager.GetShaderLights(0, true, false, block);
  ApplyShaderLights(shader, block);

  EXPECT_EQ(FloatAt(effect->GetRawValue(effect->GetParameterByName("gNumPointLights")), 0), 4.0f);
  const auto pos = effect->GetRawValue(effect->GetParameterByName("gPointLightsPosW"));
  ASSERT_EQ(pos.size(), 12u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(FloatAt(pos, 3 * i), float(i + 1));
    EXPECT_EQ(FloatAt(pos, 3 * i + 2), 3.0f);
  }
  EXPECT_EQ(FloatAt(effect->GetRawValue(effect->GetParameterByName("gNumSpotLights")), 0), 1.0f);
  const auto viewProj = effect->GetRawValue(effect->GetParameterByName("gSpotLightsViewProj"));
  ASSERT_EQ(viewProj.size(), 48u);
  const plat::Mat4 expected = plat::Multiply(spot.view, spot.projection);
  for (int k = 0; k < 16; ++k) EXPECT_EQ(FloatAt(viewProj, k), expected.Data()[k]) << k;
}

}  // namespace
}  // namespace lig
}  // namespace vd
