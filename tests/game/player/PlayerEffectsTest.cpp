// The player's effects driven by the player as the game drives it: the gas sweep
// and whom it kills, the grenade's show, burst and blur pulse, blood splashes, the
// weapon light, and what a state change stops. Particle systems, the weapon light
// and the effect objects are the engine's own components, found by name.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/render/RenderManager.h"
#include "engine/render/decals/DecalManager.h"
#include "engine/render/lights/Light.h"
#include "engine/render/particles/ParticleSysManager.h"
#include "engine/render/particles/ParticleSystem.h"
#include "game/player/EnemyList.h"
#include "game/player/PlayerEffects.h"
#include "platform/math/Math.h"
#include "tests/game/player/PlayerFixture.h"

namespace vd {
namespace {

namespace key = plat::input;
using P = CPlayerController;

using test::CTestFighter;

class CIdList : public IEnemyList {
public:
  size_t GetEnemyCount() const override { return ids.size(); }
  uint32_t GetEnemyId(size_t index) const override { return ids[index]; }
  std::vector<uint32_t> ids;
};

class CExplosionLog : public evn::IEventListener {
public:
  void HandleEvent(evn::IEvent* event) override {
    auto* e = static_cast<evn::CEventExplosion*>(event);
    sources.push_back(e->source.c_str() ? e->source.c_str() : "");
    ranges.push_back(e->range);
    positions.push_back(e->pos);
  }
  std::vector<std::string> sources;
  std::vector<float> ranges;
  std::vector<plat::Vec3> positions;
};

// The kinds the effects take, as many of each as they show at once: the first
// system of a kind is named after it.
struct SSystems {
  const char* kind;
  int count;
} const kSystems[] = {{"gas_attack", 1}, {"explosion", CPlayerEffects::kGrenadeBursts},
                      {"arma", 2},       {"blood", 1},
                      {"puf_small", 1},  {"puf_big", 1}};

class Effects : public test::PlayerFixture {
protected:
  void SetUp() override {
    PlayerFixture::SetUp();
    RegisterParticleFactories(objects.componentFactories);
    lig::RegisterLightFactory(objects.componentFactories);
    utl::RegisterFactoryMaker<CTestFighter, obj::IComponent>(objects.componentFactories);
    decals.Init(&render, nullptr);
    SetEnemyList(&enemies);
  }
  void TearDown() override {
    SetEnemyList(nullptr);
    PlayerFixture::TearDown();
  }

  // The player on the test level, one particle system of each kind, the weapon
  // light, the grenade and the turbulence, and `fighters` enemies at the origin.
  void BuildEffects(int fighters = 0, const plat::Vec3& at = plat::Vec3(0, 0, 0)) {
    std::string templates =
        "<GameObjectTemplate name='fx_system'><Component name='CTransform'/>"
        "<Component name='CParticleSystemSimple'/></GameObjectTemplate>"
        "<GameObjectTemplate name='fx_light'><Component name='CTransform'/>"
        "<Component name='CLight'><key name='light_type' value='1'/>"
        "<key name='light_att_eq_params' X='0' Y='0.5' Z='0'/></Component></GameObjectTemplate>"
        "<GameObjectTemplate name='fx_shell'><Component name='CTransform'/>"
        "<Component name='CRenderer'/></GameObjectTemplate>"
        "<GameObjectTemplate name='fx_fighter'><Component name='CTransform'/>"
        "<Component name='CBerserker'/></GameObjectTemplate>";
    test::CTempFile templateFile(base + "_fx_templates.xml", templates);
    ASSERT_TRUE(objects.LoadTemplates(templateFile.Path()));
    for (const SSystems& systems : kSystems) {
      for (int i = 0; i < systems.count; ++i) {
        const std::string id =
            i == 0 ? std::string(systems.kind) : systems.kind + std::string("_") + std::to_string(i);
        extraInstances += "<GameObject name='" + id +
                          "' GameObjectTemplate='fx_system'><Component "
                          "name='CParticleSystemSimple'><key name='particlesystem_id' value='" +
                          id + "'/><key name='ps_type_id' value='" + systems.kind +
                          "'/><key name='subsystem' value='" + id +
                          "_e'/></Component></GameObject>";
      }
    }
    extraInstances +=
        "<GameObject name='pl_arma' GameObjectTemplate='fx_light'/>"
        "<GameObject name='grenades' GameObjectTemplate='player_grenades'/>"
        "<GameObject name='turbulence' GameObjectTemplate='fx_shell'/>";
    for (int i = 0; i < fighters; ++i)
      extraInstances +=
          "<GameObject name='fighter_" + std::to_string(i) + "' GameObjectTemplate='fx_fighter'/>";
    Build(at, true);
    particles.Flush();
    effects = player->GetComponent<CPlayerEffects>();
    ASSERT_NE(effects, nullptr);
    // The effect objects came after the player: look them up again, as the game's
    // loading order (effects before the player) would have found them.
    effects->Init();
    for (int i = 0; i < fighters; ++i) {
      obj::CGameObject* f = Object(("fighter_" + std::to_string(i)).c_str());
      enemies.ids.push_back(static_cast<uint32_t>(f->GetId()));
    }
    events.AddListener(&explosions, CStringHash("OnExplosion"));
  }

  obj::CGameObject* Object(const char* name) {
    obj::CGameObject* o = objects.GetGameObjectByName(CStringHash(name));
    EXPECT_NE(o, nullptr) << name;
    return o;
  }
  ptc::IParticleSystem* System(const char* id) { return particles.FindSystem(CStringHash(id)); }
  CTestFighter* Fighter(int i) {
    return Object(("fighter_" + std::to_string(i)).c_str())->GetComponent<CTestFighter>();
  }

  void Press(std::initializer_list<uint8_t> codes) {
    Keys(codes);
    Frame();
    Keys({});
  }

  // Runs the state out (at most ten seconds).
  void RunWhile(int playerState) {
    for (int i = 0; i < 600 && controller->state == playerState; ++i) Frame();
  }

  gfx::CRenderManager render;
  gfx::CDecalManager decals;
  ptc::CParticleSysManager particles;
  CIdList enemies;
  CExplosionLog explosions;
  CPlayerEffects* effects = nullptr;
};

TEST_F(Effects, GasKillsWhomItsSweepReachesOnceAndIsLetGoWithTheAttack) {
  BuildEffects(6);
  // Places in the player's own frame: z ahead, x to its side.
  struct SFighter {
    const char* what;
    plat::Vec3 local;
    bool hittable;
    bool caught;
  } const cases[] = {
      {"ahead", {0.0f, 0.0f, 3.0f}, true, true},
      {"near the side the sweep starts from", {3.0f, 0.0f, 0.5f}, true, true},
      {"beyond 90 degrees", {2.0f, 0.0f, -2.0f}, true, false},
      {"on the side the sweep never reaches", {-3.0f, 0.0f, 0.2f}, true, false},
      {"ahead but 7 units away", {0.0f, 0.0f, 7.0f}, true, false},
      {"ahead but not hittable", {0.0f, 0.0f, 2.0f}, false, false},
  };
  for (int i = 0; i < 6; ++i) {
    gfx::CTransform* t =
        Object(("fighter_" + std::to_string(i)).c_str())->GetComponent<gfx::CTransform>();
    t->position = plat::TransformCoord(cases[i].local, transform->world);
    t->UpdateMatrix();
    Fighter(i)->active = cases[i].hittable ? 1 : 0;
  }
  controller->gas = controller->gasConsumption;  // exactly enough
  Press({key::kKeyU});
  ASSERT_EQ(controller->state, P::kSpecialAttack1);
  ptc::IParticleSystem* gas = System("gas_attack");
  ASSERT_NE(gas, nullptr);

  float lastAlpha = 1.0f;
  bool seenActive = false;
  while (controller->state == P::kSpecialAttack1) {
    Frame();
    if (controller->state != P::kSpecialAttack1) break;
    const float t = controller->stateTimer, l = controller->stateDuration;
    if (t < controller->gasStart * l) {
      EXPECT_FALSE(gas->IsActive()) << "t=" << t;
    }
    if (gas->IsActive()) {
      seenActive = true;
      // The cloud leaves from the left hand and fades only after gas_over.
      const plat::Vec3 hand =
          plat::TransformCoord(animator->GetBoneTranslation("Bip01 L Hand"), transform->world);
      EXPECT_LT(plat::Length(gas->GetTransform()->position - hand), 1e-3f);
      if (t <= controller->gasOver * l) {
        EXPECT_FLOAT_EQ(gas->alpha, 1.0f);
      } else {
        EXPECT_LT(gas->alpha, lastAlpha);
      }
      lastAlpha = gas->alpha;
    }
  }
  EXPECT_TRUE(seenActive);
  EXPECT_LT(lastAlpha, 0.1f);
  EXPECT_FALSE(gas->IsActive()) << "let go when the attack ends";
  EXPECT_FLOAT_EQ(controller->gas, 0.0f);
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(cases[i].what);
    CTestFighter* f = Fighter(i);
    EXPECT_EQ(f->state, cases[i].caught ? CPlayerEffects::kGasDeathState : 1);
    EXPECT_EQ(f->locked, cases[i].caught ? 1 : 0);
    // Once caught, the lock keeps the rest of the sweep off it.
    EXPECT_EQ(f->requests, cases[i].caught ? 1 : 0);
  }
}

TEST_F(Effects, GasBrokenOffEarlyNeverStartsAndAStateChangeStopsIt) {
  BuildEffects();
  ptc::IParticleSystem* gas = System("gas_attack");
  ASSERT_NE(gas, nullptr);

  controller->gas = 100.0f;
  Press({key::kKeyU});
  ASSERT_EQ(controller->state, P::kSpecialAttack1);
  Press({key::kKeyLeftCtrl, key::kKeyW});  // an evade before gas_in
  ASSERT_EQ(controller->state, P::kEvade);
  RunWhile(P::kEvade);
  EXPECT_FALSE(gas->IsActive());
  EXPECT_EQ(effects->gasSystem, nullptr);

  controller->SetState(P::kIdleCombat);
  Frame();
  Press({key::kKeyU});
  for (int i = 0; i < 600 && !gas->IsActive(); ++i) Frame();
  ASSERT_TRUE(gas->IsActive());
  controller->SetState(P::kIdleCombat);  // a script or a hit takes the player away
  EXPECT_FALSE(gas->IsActive());
  EXPECT_EQ(effects->gasSystem, nullptr);
}

TEST_F(Effects, GasWindowWithoutLengthSweepsItsWholeArcAtOnce) {
  BuildEffects(1);
  gfx::CTransform* t = Object("fighter_0")->GetComponent<gfx::CTransform>();
  t->position = plat::TransformCoord(plat::Vec3(0.0f, 0.0f, 2.0f), transform->world);
  struct SCase {
    const char* what;
    float duration;
    float over;
  } const cases[] = {
      {"gas_over equal to gas_start", 2.0f, controller->gasStart},
      {"an animation without length", 0.0f, controller->gasOver},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.what);
    CTestFighter* f = Fighter(0);
    f->state = 1;
    f->locked = 0;
    controller->stateDuration = c.duration;
    controller->gasOver = c.over;
    effects->StartGas();
    Frame();
    effects->ApplyGasDamage();
    EXPECT_TRUE(std::isfinite(effects->gasSweepAngle));
    EXPECT_EQ(f->state, CPlayerEffects::kGasDeathState);
    effects->StopGas();
  }
}

TEST_F(Effects, GrenadeShowsAtItsTimeBurstsOnceAndItsBlurPulseRunsToItsEnd) {
  BuildEffects();
  ASSERT_GT(effects->grenadesIn, 0.0f);
  ASSERT_GT(effects->grenadesExplosion, effects->grenadesIn);
  obj::CGameObject* grenade = Object("grenades");
  auto* renderer = grenade->GetComponent<gfx::CRenderer>();
  controller->grenades = 2;
  Press({key::kKeyO});
  ASSERT_EQ(controller->state, P::kSpecialAttack2);
  bool blurSeen = false;
  while (controller->state == P::kSpecialAttack2) {
    Frame();
    const float t = controller->stateTimer, l = controller->stateDuration;
    if (controller->state != P::kSpecialAttack2) break;
    // The requests of this frame show in the next one.
    if (t < effects->grenadesExplosion * l - 0.05f) {
      EXPECT_EQ(render.radialBlur.pending, false) << "t=" << t;
      EXPECT_TRUE(explosions.sources.empty()) << "t=" << t;
    } else {
      blurSeen = blurSeen || render.radialBlur.pending;
    }
    if (t > 2 * kDt && t < effects->grenadesIn * l) {
      EXPECT_FALSE(renderer->IsEnabled()) << "t=" << t;
    }
    if (t > effects->grenadesIn * l + 2 * kDt && t < effects->grenadesExplosion * l) {
      EXPECT_TRUE(grenade->IsEnabled());
      EXPECT_TRUE(renderer->IsEnabled()) << "t=" << t;
    }
    if (t > effects->grenadesExplosion * l + 2 * kDt) {
      EXPECT_FALSE(renderer->IsEnabled());
    }
  }
  Frames(2);
  EXPECT_TRUE(blurSeen);
  ASSERT_EQ(explosions.sources.size(), 8u);
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(explosions.sources[i], "player");
    EXPECT_FLOAT_EQ(explosions.ranges[i], CPlayerEffects::kExplosionRange);
  }
  EXPECT_EQ(controller->grenades, 1);
  EXPECT_FALSE(grenade->IsEnabled());
  // The pulse rises past 1.1, falls to nothing and switches the blur off.
  Frames(60);
  EXPECT_EQ(render.radialBlur.pending, false);
  EXPECT_EQ(effects->blurPulse, 0.0f);
}

// Each burst lands ahead of the thrower, whichever way he faces, and shows its own
// explosion where it goes off.
TEST_F(Effects, TheBurstsGoOffAheadOfTheThrowerEachWithItsOwnExplosion) {
  BuildEffects();
  for (float yaw : {3.14159265f, 1.5707963f}) {
    SCOPED_TRACE(yaw);
    explosions.positions.clear();
    for (int i = 0; i < CPlayerEffects::kGrenadeBursts; ++i)
      System(i == 0 ? "explosion" : ("explosion_" + std::to_string(i)).c_str())->SetActive(false);
    controller->grenades = 2;
    transform->SetYaw(yaw);
    Press({key::kKeyO});
    RunWhile(P::kSpecialAttack2);
    Frame();
    ASSERT_EQ(explosions.positions.size(), static_cast<size_t>(CPlayerEffects::kGrenadeBursts));
    const plat::Vec3 ahead(std::sin(transform->yaw), 0.0f, std::cos(transform->yaw));
    std::vector<bool> shown(CPlayerEffects::kGrenadeBursts, false);
    for (const plat::Vec3& at : explosions.positions) {
      EXPECT_GT(plat::Dot(at - transform->position, ahead), 2.0f) << at.x << " " << at.z;
      for (int i = 0; i < CPlayerEffects::kGrenadeBursts; ++i) {
        ptc::IParticleSystem* system =
            System(i == 0 ? "explosion" : ("explosion_" + std::to_string(i)).c_str());
        if (!shown[i] && system->IsActive() &&
            plat::LengthSq(system->GetTransform()->position - at) < 1e-6f) {
          shown[i] = true;
          break;
        }
      }
    }
    for (int i = 0; i < CPlayerEffects::kGrenadeBursts; ++i) EXPECT_TRUE(shown[i]) << i;
  }
}

// The game updates only what the render side drew, and the cluster is hidden until it
// leaves the hand: drawn or not, the bursts go off on the ground where the cans land.
TEST_F(Effects, TheBurstsGoOffOnTheGroundWhetherOrNotTheClusterWasUpdatedByTheGame) {
  BuildEffects();
  obj::CGameObject* grenade = Object("grenades");
  for (bool updatedByGame : {true, false}) {
    SCOPED_TRACE(updatedByGame);
    explosions.positions.clear();
    grenade->SetPaused(!updatedByGame);
    controller->grenades = 2;
    Press({key::kKeyO});
    RunWhile(P::kSpecialAttack2);
    Frame();
    ASSERT_EQ(explosions.positions.size(), static_cast<size_t>(CPlayerEffects::kGrenadeBursts));
    for (const plat::Vec3& at : explosions.positions) {
      const float height = at.y - transform->position.y;
      EXPECT_GT(height, -0.05f);
      EXPECT_LT(height, 0.4f) << at.x << " " << at.z;
    }
    grenade->SetPaused(false);
  }
}

TEST_F(Effects, AThrowBrokenOffOrCutShortHidesTheGrenadeAndNeverBursts) {
  BuildEffects();
  obj::CGameObject* grenade = Object("grenades");
  controller->grenades = 2;
  Press({key::kKeyO});
  Frame();
  ASSERT_TRUE(grenade->IsEnabled());
  Press({key::kKeySpace});  // cover before grenades_in
  ASSERT_EQ(controller->state, P::kCover);
  Frame();
  EXPECT_FALSE(grenade->IsEnabled());
  EXPECT_EQ(controller->grenades, 2);

  // Cut short by a state change once the grenade shows.
  controller->SetState(P::kIdleCombat);
  Frame();
  Press({key::kKeyO});
  while (controller->state == P::kSpecialAttack2 &&
         controller->stateTimer < (effects->grenadesIn + 0.05f) * controller->stateDuration)
    Frame();
  ASSERT_EQ(controller->state, P::kSpecialAttack2);
  controller->SetState(P::kHit);
  Frames(120);
  EXPECT_FALSE(grenade->IsEnabled());
  EXPECT_TRUE(explosions.sources.empty());
}

TEST_F(Effects, BloodSplashesAtMostOnceASecondAndMarksTheWallBehind) {
  // Two units from the test level's west wall (x = -10).
  BuildEffects(0, plat::Vec3(-8.0f, 0.5f, 0.0f));
  const plat::Vec3 west(-1.0f, 0.0f, 0.0f), east(1.0f, 0.0f, 0.0f);
  Frames(70);  // the first splash waits for a second of play
  size_t before = decals.PendingAdds();
  effects->SplashBlood(west);
  ASSERT_EQ(decals.PendingAdds() - before, 2u) << "the ground and the wall";
  const gfx::SDecal& ground = decals.Slot(0);
  const gfx::SDecal& wall = decals.Slot(1);
  EXPECT_NEAR(ground.position.x, -10.0f, 1e-3f);
  EXPECT_NEAR(wall.position.x, -10.0f, 0.05f);
  EXPECT_GE(wall.size, 1.5f);
  const uint32_t red = (ground.colour >> 16) & 0xFF;
  EXPECT_GE(red, 180u);
  EXPECT_LE(red, 210u);
  EXPECT_EQ(ground.colour & 0xFFFFu, 0u);
  EXPECT_EQ(wall.colour, ground.colour);

  // However often it is asked, the next splash waits a full second; nothing to
  // mark to the east.
  int splashes = 0;
  before = decals.PendingAdds();
  Frame();
  for (int i = 0; i < 130; ++i) {
    effects->SplashBlood(east);
    effects->SplashBlood(east);
    if (effects->splashTimer == 0.0f) ++splashes;
    Frame();
  }
  EXPECT_EQ(splashes, 2);
  EXPECT_EQ(decals.PendingAdds() - before, 2u);
}

TEST_F(Effects, WeaponLightStaysDimWhileHeldThenBrightensAndGoesOutWhenHidden) {
  BuildEffects();
  obj::CGameObject* lightObject = Object("pl_arma");
  auto* light = lightObject->GetComponent<lig::CLight>();
  const plat::Vec3 low = light->attenuation;
  ASSERT_FLOAT_EQ(low.y, 0.5f);
  objects.QueueEnable(lightObject, false);
  Frame();
  ASSERT_FALSE(lightObject->IsEnabled());

  for (int i = 0; i < 20; ++i) {
    effects->ShowWeaponLight();
    Frame();
  }
  EXPECT_TRUE(lightObject->IsEnabled());
  // Each call puts it back at the dim end; one frame's brightening at most.
  EXPECT_NEAR(light->attenuation.y, CPlayerEffects::kLightHigh.y,
              CPlayerEffects::kLightRate * kDt + 1e-4f);
  // It follows the blade.
  const plat::Vec3 blade =
      plat::TransformCoord(animator->GetBoneTranslation("Bone01"), transform->world);
  EXPECT_LT(plat::Length(lightObject->GetComponent<gfx::CTransform>()->position - blade), 0.2f);

  Frames(30);  // the calls stopped: brightens down to the loaded attenuation
  EXPECT_FLOAT_EQ(light->attenuation.y, low.y);
  EXPECT_TRUE(lightObject->IsEnabled());

  effects->HideWeaponLight();
  Frames(30);
  EXPECT_FLOAT_EQ(light->attenuation.y, CPlayerEffects::kLightHigh.y);
  EXPECT_FALSE(lightObject->IsEnabled());
}

TEST_F(Effects, AStateChangeStopsWhatRuns) {
  BuildEffects();
  obj::CGameObject* lightObject = Object("pl_arma");
  obj::CGameObject* turbulence = Object("turbulence");
  controller->gas = 100.0f;
  Press({key::kKeyU});
  for (int i = 0; i < 600 && !effects->gasSystem; ++i) Frame();
  ASSERT_NE(effects->gasSystem, nullptr);
  effects->StartWeaponSparks();
  effects->StartBlood();
  effects->StartTurbulence();
  effects->ShowWeaponLight();
  effects->StartGrenadeThrow();
  Frames(20);
  effects->UpdateTurbulence(0.5f);
  Frame();
  ASSERT_NE(effects->sparkSystems[0], nullptr);
  ASSERT_NE(effects->bloodSystem, nullptr);
  ASSERT_TRUE(lightObject->IsEnabled());
  ASSERT_TRUE(turbulence->IsEnabled());
  ASSERT_TRUE(Object("grenades")->IsEnabled());

  controller->SetState(P::kIdleCombat);
  EXPECT_EQ(effects->gasSystem, nullptr);
  EXPECT_FALSE(System("gas_attack")->IsActive());
  EXPECT_EQ(effects->sparkSystems[0], nullptr);
  EXPECT_FALSE(System("arma")->IsActive());
  EXPECT_EQ(effects->bloodSystem, nullptr);
  EXPECT_TRUE(System("blood")->IsActive()) << "blood plays out by itself";
  EXPECT_EQ(effects->throwActive, 0);
  EXPECT_EQ(effects->turbulenceActive, 0);
  Frame();
  EXPECT_FALSE(lightObject->IsEnabled());
  EXPECT_FALSE(turbulence->IsEnabled());
  EXPECT_FALSE(Object("grenades")->IsEnabled());
}

}  // namespace
}  // namespace vd
