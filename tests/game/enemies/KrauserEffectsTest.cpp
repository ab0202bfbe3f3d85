// The boss's effects on a boss object among the level's effect objects, driven as
// the boss drives them: the beam wave's half-sphere and rocks, the ground beam's
// line of rocks, the ground kick's ring and crown, the blood, and what a change of
// the boss's state stops; the rocks' entries move between the render lists as
// they fade, and back when stopped.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/render/RenderManager.h"
#include "engine/render/particles/ParticleSysManager.h"
#include "engine/render/particles/ParticleSystem.h"
#include "game/enemies/KrauserEffects.h"
#include "platform/math/Math.h"
#include "tests/game/enemies/TempFigure.h"
#include "tests/game/player/PlayerFixture.h"

namespace vd {
namespace {

constexpr float kPi = 3.14159265f;
constexpr float kRockTime = 2.0f;

std::vector<test::CTempFigure::SAnimation> RockAnimations() {
  auto rise = [](float f, float& x, float& y, float& z) {
    x = y = 0.0f;
    z = -0.5f + 0.5f * f;
  };
  return {{"radial_rocks_beam_wave", kRockTime, rise}, {"line_rocks_ground_beam", kRockTime, rise}};
}

class BossEffects : public test::PlayerFixture {
protected:
  void SetUp() override {
    PlayerFixture::SetUp();
    RegisterParticleFactories(objects.componentFactories);
    utl::RegisterFactoryMaker<CKrauserEffects, obj::IComponent>(objects.componentFactories);
    ASSERT_TRUE(animations.LoadTemplates(rocksFigure.TemplatesPath()));

    test::CTempFile templates(
        base + "_fx_templates.xml",
        "<GameObjectTemplate name='fx_boss'><Component name='CTransform'/>"
        "<Component name='CWeaponRenderer'/><Component name='CKrauserEffects'/>"
        "</GameObjectTemplate>"
        "<GameObjectTemplate name='fx_rocks'><Component name='CTransform'/>"
        "<Component name='CRenderer'><key name='mesh' value='test_quad.mesh'/>"
        "<key name='technique' value='skin_tech'/></Component>"
        "<Component name='CAnimator'><key name='animation' value='test_rocks'/>"
        "<key name='mesh' value='" +
            rocksFigure.MeshName() +
            "'/></Component></GameObjectTemplate>"
            "<GameObjectTemplate name='fx_shell'><Component name='CTransform'/>"
            "<Component name='CRenderer'><key name='mesh' value='test_quad.mesh'/></Component>"
            "</GameObjectTemplate>"
            "<GameObjectTemplate name='fx_system'><Component name='CTransform'/>"
            "<Component name='CParticleSystemSimple'/></GameObjectTemplate>");
    ASSERT_TRUE(objects.LoadTemplates(templates.Path()));
    // The effect objects come first, as the level's files have them before the boss.
    for (const char* rocks : {"radial_rocks_krauser", "line_rocks_krauser"})
      extraInstances += std::string("<GameObject name='") + rocks +
                        "' GameObjectTemplate='fx_rocks'><Component name='CAnimator'>"
                        "<key name='animation_instance_name' value='" +
                        rocks + "'/></Component></GameObject>";
    for (const char* shell : {"semisphere_krauser", "ring_krauser", "crown_krauser"})
      extraInstances +=
          std::string("<GameObject name='") + shell + "' GameObjectTemplate='fx_shell'/>";
    for (const char* kind : {"puf_big", "puf_small", "puf_line", "krauser_blood"})
      extraInstances += std::string("<GameObject name='") + kind +
                        "' GameObjectTemplate='fx_system'><Component "
                        "name='CParticleSystemSimple'><key name='particlesystem_id' value='" +
                        kind + "'/><key name='ps_type_id' value='" + kind +
                        "'/><key name='subsystem' value='" + kind +
                        "_e'/></Component></GameObject>";
    extraInstances +=
        "<GameObject name='krauser' GameObjectTemplate='fx_boss'><Component "
        "name='CTransform'><key name='position' X='4' Y='0' Z='-3'/></Component>"
        "</GameObject>";
    Build(plat::Vec3(0, 0, 0), true);
    particles.Flush();
    boss = objects.GetGameObjectByName(CStringHash("krauser"));
    ASSERT_NE(boss, nullptr) << Joined();
    effects = boss->GetComponent<CKrauserEffects>();
    ASSERT_NE(effects, nullptr);
    bossTransform = boss->GetComponent<gfx::CTransform>();
    bossTransform->SetYaw(kPi / 2.0f);  // facing +x
    bossTransform->UpdateMatrix();
    // The level starts with the effects hidden.
    for (const char* name : {"radial_rocks_krauser", "line_rocks_krauser", "semisphere_krauser",
                             "ring_krauser", "crown_krauser"})
      objects.QueueEnable(Object(name), false);
    Step();
  }

  obj::CGameObject* Object(const char* name) {
    return objects.GetGameObjectByName(CStringHash(name));
  }
  gfx::CRenderer* RendererOf(const char* name) {
    return Object(name)->GetComponent<gfx::CRenderer>();
  }
  gfx::CTransform* TransformOf(const char* name) {
    return Object(name)->GetComponent<gfx::CTransform>();
  }
  ptc::IParticleSystem* System(const char* id) { return particles.FindSystem(CStringHash(id)); }
  // The render list that holds the renderer's entries (0 meshes, 1 particles).
  int ListOf(const char* name) {
    return render.GetRenderList(RendererOf(name)->GetRenderData().handle);
  }
  bool Alpha(const char* name) {
    return RendererOf(name)->GetTechniqueName() == CStringHash("skin_tech_alpha");
  }

  // A game frame, then the main thread's commit of the render data.
  void Step(int count = 1) {
    for (int i = 0; i < count; ++i) {
      Frame();
      render.commitRequested = true;
      render.CommitRenderData();
    }
  }

  test::CTempFigure rocksFigure{base + "_rocks", "test_rocks", "rocks_root", RockAnimations()};
  gfx::CRenderManager render;
  ptc::CParticleSysManager particles;
  obj::CGameObject* boss = nullptr;
  CKrauserEffects* effects = nullptr;
  gfx::CTransform* bossTransform = nullptr;
};

TEST_F(BossEffects, BeamWaveShowsTheHalfSphereFrom1366msGrowingUntilItEnds) {
  effects->StartRadialRocks();
  effects->StartBeamWave();
  EXPECT_FLOAT_EQ(TransformOf("semisphere_krauser")->scale.x, 0.25f);
  obj::CGameObject* sphere = Object("semisphere_krauser");
  float t = 0.0f;
  float lastScale = 0.0f;
  int puffs = 0;
  bool puffWasActive = false;
  while (effects->IsBeamWaveActive() && t < 3.0f) {
    Step();
    t += kDt;
    const bool puff = System("puf_big")->IsActive();
    puffs += puff && !puffWasActive;
    puffWasActive = puff;
    if (t < 1.366f) {
      EXPECT_FALSE(sphere->IsEnabled()) << t;
      EXPECT_FALSE(puff) << t;
    }
    if (t > 1.366f + 2 * kDt && effects->IsBeamWaveActive()) {
      EXPECT_TRUE(sphere->IsEnabled()) << t;
    }
    if (effects->IsBeamWaveActive()) lastScale = TransformOf("semisphere_krauser")->scale.x;
  }
  EXPECT_NEAR(t, 1.55f, kDt);
  EXPECT_EQ(puffs, 1);
  EXPECT_NEAR(lastScale, 0.25f + 8.0f * (1.55f - 1.366f), 8.0f * 2 * kDt);
  // In front of the boss (facing +x), at his height.
  const plat::Vec3 p = TransformOf("semisphere_krauser")->position;
  EXPECT_NEAR(p.x, 4.0f + 2.8f, 1e-3f);
  EXPECT_NEAR(p.z, -3.0f, 1e-3f);
  Step();
  EXPECT_FALSE(sphere->IsEnabled());

  // A second beam wave during the first starts it over.
  effects->StartBeamWave();
  Step(30);
  effects->StartBeamWave();
  EXPECT_EQ(effects->GetBeamWaveTimer(), 0.0f);
  EXPECT_FLOAT_EQ(TransformOf("semisphere_krauser")->scale.x, 0.25f);
}

TEST_F(BossEffects, RocksFadeAmongTheParticlesAndComeBackToTheMeshes) {
  struct SCase {
    const char* name;
    void (CKrauserEffects::*start)();
    void (CKrauserEffects::*place)();
    float fadeFrom, goneAt;
  } const cases[] = {
      {"radial_rocks_krauser", &CKrauserEffects::StartRadialRocks,
       &CKrauserEffects::PlaceRadialRocks, kRockTime - 0.2f, kRockTime},
      {"line_rocks_krauser", &CKrauserEffects::StartLineRocks, &CKrauserEffects::PlaceLineRocks,
       kRockTime, kRockTime + 0.5f},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.name);
    obj::CGameObject* rocks = Object(c.name);
    gfx::CRenderer* renderer = RendererOf(c.name);
    (effects->*c.start)();
    Step();
    EXPECT_TRUE(rocks->IsEnabled());
    EXPECT_FALSE(renderer->IsEnabled()) << "hidden until the strike places them";
    (effects->*c.place)();
    Step();
    EXPECT_TRUE(renderer->IsEnabled());
    EXPECT_FLOAT_EQ(TransformOf(c.name)->yaw, bossTransform->yaw);
    EXPECT_FLOAT_EQ(TransformOf(c.name)->position.x, 4.0f);

    float t = 2 * kDt;
    while (rocks->IsEnabled() && t < 4.0f) {
      const int list = ListOf(c.name);
      if (t < c.fadeFrom - kDt) {
        EXPECT_EQ(list, 0) << t;
        EXPECT_FALSE(Alpha(c.name)) << t;
      } else if (t > c.fadeFrom + kDt && t < c.goneAt - kDt) {
        EXPECT_EQ(list, 1) << t;
        EXPECT_TRUE(Alpha(c.name)) << t;
      }
      Step();
      t += kDt;
    }
    EXPECT_NEAR(t, c.goneAt, 3 * kDt);
    EXPECT_EQ(ListOf(c.name), 0);
    EXPECT_FALSE(Alpha(c.name));
  }
  // The ground beam's puff line lies along the boss's facing.
  EXPECT_NEAR(System("puf_line")->rotation[1], -bossTransform->yaw, 1e-6f);
  EXPECT_TRUE(System("puf_line")->IsActive());
}

TEST_F(BossEffects, AStopOrAStartDuringAFadeBringsTheEntriesBackOnce) {
  auto fading = [&] {
    effects->StartRadialRocks();
    effects->PlaceRadialRocks();
    Step(static_cast<int>((kRockTime - 0.1f) / kDt));
    ASSERT_TRUE(effects->GetRadialRocks().fading);
    ASSERT_EQ(ListOf("radial_rocks_krauser"), 1);
  };
  // The boss changes state mid-fade: everything stops, the rocks back among the meshes.
  fading();
  effects->Restart();
  Step();
  EXPECT_EQ(ListOf("radial_rocks_krauser"), 0);
  EXPECT_FALSE(Alpha("radial_rocks_krauser"));
  EXPECT_FALSE(Object("radial_rocks_krauser")->IsEnabled());

  // A new beam wave mid-fade starts opaque, among the meshes, and fades once more.
  fading();
  effects->StartRadialRocks();
  Step();
  EXPECT_EQ(ListOf("radial_rocks_krauser"), 0);
  EXPECT_FALSE(Alpha("radial_rocks_krauser"));
  Step(static_cast<int>((kRockTime - 0.1f) / kDt));
  EXPECT_EQ(ListOf("radial_rocks_krauser"), 1);
  Step(20);
  EXPECT_FALSE(effects->GetRadialRocks().active);
  EXPECT_EQ(ListOf("radial_rocks_krauser"), 0);
}

TEST_F(BossEffects, GroundKickSpinsRingAndCrownApartAndAStateChangeHidesThem) {
  effects->StartGroundKick();
  obj::CGameObject* ring = Object("ring_krauser");
  obj::CGameObject* crown = Object("crown_krauser");
  Step(static_cast<int>(0.72f / kDt));
  EXPECT_FALSE(ring->IsEnabled());
  EXPECT_FALSE(System("puf_small")->IsActive());
  Step(3);
  EXPECT_TRUE(ring->IsEnabled());
  EXPECT_TRUE(crown->IsEnabled());
  EXPECT_TRUE(System("puf_small")->IsActive());
  // The puff a little right of and ahead of the boss (facing +x, so right is -z).
  const plat::Vec3 puff = System("puf_small")->GetTransform()->position;
  EXPECT_NEAR(puff.x, 4.5f, 1e-3f);
  EXPECT_NEAR(puff.z, -3.5f, 1e-3f);
  EXPECT_NEAR(TransformOf("ring_krauser")->position.y, 0.4f, 1e-4f);
  EXPECT_NEAR(TransformOf("crown_krauser")->position.y, 0.0f, 1e-4f);
  EXPECT_LT(TransformOf("ring_krauser")->yaw, 0.0f);
  EXPECT_GT(TransformOf("crown_krauser")->yaw, 0.0f);
  EXPECT_GT(TransformOf("ring_krauser")->scale.x, 0.25f);

  // The boss changes state: gone at the next frame, and nothing runs on.
  effects->Restart();
  Step();
  EXPECT_FALSE(ring->IsEnabled());
  EXPECT_FALSE(crown->IsEnabled());
  EXPECT_FALSE(effects->IsGroundKickActive());

  // Left alone, the kick ends by itself at 0.95 s.
  effects->StartGroundKick();
  Step(static_cast<int>(0.97f / kDt));
  EXPECT_FALSE(effects->IsGroundKickActive());
  Step();
  EXPECT_FALSE(ring->IsEnabled());
}

TEST_F(BossEffects, BloodWaitsForAFreeSystemAndThenFollowsTheBoss) {
  // The only blood system is busy (running, its emitter never finishes).
  ptc::IParticleSystem* blood = System("krauser_blood");
  blood->Restart(false);
  effects->ShowBlood();
  EXPECT_EQ(effects->GetBlood(), nullptr);
  blood->SetActive(false);
  effects->ShowBlood();
  ASSERT_EQ(effects->GetBlood(), blood);
  EXPECT_TRUE(blood->IsActive());
  EXPECT_NEAR(blood->GetTransform()->position.y, 1.5f, 1e-5f);

  bossTransform->position = plat::Vec3(-2.0f, 1.0f, 6.0f);
  effects->PlaceBlood();
  const plat::Vec3 p = blood->GetTransform()->position;
  EXPECT_NEAR(p.x, -2.0f, 1e-5f);
  EXPECT_NEAR(p.y, 2.5f, 1e-5f);
  EXPECT_NEAR(p.z, 6.0f, 1e-5f);
}

// The level's own effect objects: the effects find all five, each can be shown and
// placed, and the rocks' animations leave time for their fades.
class ShippedBossEffects : public test::PlayerFixture {};

TEST_F(ShippedBossEffects, TheLevelsEffectObjectsAreFoundAndRunTheirAnimations) {
  gfx::CRenderManager render;
  utl::RegisterFactoryMaker<CKrauserEffects, obj::IComponent>(objects.componentFactories);
  ASSERT_TRUE(animations.LoadTemplates("Data/xml/level1_animation_templates.xml"));
  ASSERT_TRUE(objects.LoadTemplates("Data/xml/level1_animatedobjects_templates.xml"));
  Build(plat::Vec3(0, 0, 0), true);
  EXPECT_GT(objects.LoadInstances("Data/xml/level1_animatedobjects_instances.xml", "", true), 0);
  test::CTempFile boss(base + "_boss.xml",
                       "<GameObjectTemplate name='fx_boss'><Component name='CTransform'/>"
                       "<Component name='CKrauserEffects'/></GameObjectTemplate>");
  ASSERT_TRUE(objects.LoadTemplates(boss.Path()));
  test::CTempFile bossInstance(base + "_boss_instance.xml",
                               "<GameObject name='krauser' GameObjectTemplate='fx_boss'/>");
  objects.LoadInstances(bossInstance.Path(), "", true);
  Frame();
  auto* effects =
      objects.GetGameObjectByName(CStringHash("krauser"))->GetComponent<CKrauserEffects>();
  ASSERT_NE(effects, nullptr);
  for (const CKrauserEffects::SRocks* rocks :
       {&effects->GetRadialRocks(), &effects->GetLineRocks()}) {
    ASSERT_NE(rocks->object, nullptr);
    EXPECT_FALSE(rocks->object->IsEnabled()) << "hidden at the start";
    EXPECT_NE(rocks->renderer, nullptr);
    EXPECT_NE(rocks->animator, nullptr);
  }
  for (const CKrauserEffects::SShell* shell :
       {&effects->GetSemisphere(), &effects->GetRing(), &effects->GetCrown()}) {
    ASSERT_NE(shell->object, nullptr);
    EXPECT_FALSE(shell->object->IsEnabled());
    EXPECT_NE(shell->renderer, nullptr);
    EXPECT_NE(shell->transform, nullptr);
  }
  effects->StartRadialRocks();
  effects->StartLineRocks();
  EXPECT_GT(effects->GetRadialRocks().fadeStart, 0.5f);
  EXPECT_GT(effects->GetLineRocks().fadeStart, 0.5f);
  Frame();
  EXPECT_TRUE(effects->GetRadialRocks().object->IsEnabled());
  EXPECT_TRUE(effects->GetLineRocks().object->IsEnabled());
}

}  // namespace
}  // namespace vd
