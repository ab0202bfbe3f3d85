// The mutants' grenades with the shipped player: throws through "OnAction" as the
// play lists post them, the five slots under many throws, and one grenade's flight,
// show, burst, shake and the player's damage by distance. The grenades fly on a
// small figure written for the test, whose six flights differ in length and reach.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/events/GameEvents.h"
#include "engine/render/particles/ParticleSysManager.h"
#include "engine/render/particles/ParticleSystem.h"
#include "game/enemies/GrenadesManager.h"
#include "platform/math/Math.h"
#include "tests/game/enemies/TempFigure.h"
#include "tests/game/player/PlayerFixture.h"

namespace vd {
namespace {

constexpr float kPi = 3.14159265f;

// Flight w lasts 1.0 + 0.1 w seconds and ends 4 + w ahead of the thrower, on the ground.
float FlightTime(int w) { return 1.0f + 0.1f * static_cast<float>(w); }
float FlightReach(int w) { return 4.0f + static_cast<float>(w); }

class CBlastLog : public evn::IEventListener {
public:
  void HandleEvent(evn::IEvent* event) override {
    if (auto* e = dynamic_cast<evn::CEventExplosion*>(event)) {
      sources.push_back(e->source.c_str() ? e->source.c_str() : "");
      blasts.push_back(e->pos);
      ranges.push_back(e->range);
    } else if (auto* s = dynamic_cast<evn::CEventShake*>(event)) {
      shakes.push_back(s->power);
      shakeTimes.push_back(s->timer);
    }
  }
  void Clear() { *this = CBlastLog(); }
  std::vector<std::string> sources;
  std::vector<plat::Vec3> blasts;
  std::vector<float> ranges;
  std::vector<float> shakes;
  std::vector<float> shakeTimes;
};

class Grenades : public test::PlayerFixture {
protected:
  void SetUp() override {
    PlayerFixture::SetUp();
    RegisterParticleFactories(objects.componentFactories);
    ASSERT_TRUE(animations.LoadTemplates(figure.TemplatesPath()));
  }
  void TearDown() override {
    grenades.Reset();
    PlayerFixture::TearDown();
  }

  // Authored z-up facing -y like every figure: out of the hand at 1.5 up, an arc,
  // down to the ground at the flight's reach.
  static std::vector<test::CTempFigure::SAnimation> Flights() {
    std::vector<test::CTempFigure::SAnimation> flights;
    for (int w = 0; w < CGrenadesManager::kWindowCount; ++w)
      flights.push_back({CGrenadesManager::kFlightNames[w], FlightTime(w),
                         [w](float f, float& x, float& y, float& z) {
                           x = 0.0f;
                           y = -FlightReach(w) * f;
                           z = 1.5f * (1.0f - f) + 3.0f * f * (1.0f - f);
                         }});
    return flights;
  }

  // The player at the origin, five grenades, `throwers` mutants and one explosion
  // burst; then the manager's Init as the loading state's end runs it.
  void BuildLevel(int throwers = 1) {
    test::CTempFile templateFile(
        base + "_gr_templates.xml",
        "<GameObjectTemplate name='test_grenade'><Component name='CTransform'/>"
        "<Component name='CRenderer'/><Component name='CWeaponRenderer'/>"
        "<Component name='CAnimator'><key name='animation' value='test_grenade'/>"
        "<key name='mesh' value='" +
            figure.MeshName() +
            "'/></Component>"
            "</GameObjectTemplate>"
            "<GameObjectTemplate name='test_mutant'><Component name='CTransform'/>"
            "</GameObjectTemplate>"
            "<GameObjectTemplate name='test_burst'><Component name='CTransform'/>"
            "<Component name='CParticleSystemSimple'><key name='particlesystem_id' value='boom'/>"
            "<key name='ps_type_id' value='explosion'/><key name='subsystem' value='boom_e'/>"
            "</Component></GameObjectTemplate>");
    ASSERT_TRUE(objects.LoadTemplates(templateFile.Path()));
    for (const char* name : CGrenadesManager::kObjectNames)
      extraInstances += std::string("<GameObject name='") + name +
                        "' GameObjectTemplate='test_grenade'><Component name='CAnimator'>"
                        "<key name='animation_instance_name' value='" +
                        name + "'/></Component></GameObject>";
    for (int i = 0; i < throwers; ++i)
      extraInstances +=
          "<GameObject name='mutant_" + std::to_string(i) + "' GameObjectTemplate='test_mutant'/>";
    extraInstances += "<GameObject name='boom' GameObjectTemplate='test_burst'/>";
    Build(plat::Vec3(0, 0, 0), true);
    particles.Flush();
    events.AddListener(&log, evn::CEventExplosion::s_type);
    events.AddListener(&log, evn::CEventShake::s_type);
    ASSERT_TRUE(grenades.Init());
    Frame();
  }

  // What a mutant's play list posts when its animation opens an action window.
  void Window(const char* thrower, const char* action, bool begin = true) {
    evn::PostOrRelease(evn::CEventAction::New(thrower, action, "", begin, "", 0, 0));
  }

  // A game frame with the grenades' step where the in-game state runs it.
  void Step(int count = 1) {
    for (int i = 0; i < count; ++i) {
      Frame();
      grenades.Update(kDt);
    }
  }

  int InFlight() const {
    int n = 0;
    for (int i = 0; i < CGrenadesManager::kGrenadeCount; ++i) n += grenades.GetGrenade(i).active;
    return n;
  }

  void Place(const char* name, const plat::Vec3& at, float yaw) {
    gfx::CTransform* t =
        objects.GetGameObjectByName(CStringHash(name))->GetComponent<gfx::CTransform>();
    t->SetYaw(yaw);
    t->position = at;
    t->UpdateMatrix();
  }

  test::CTempFigure figure{base + "_grenade", "test_grenade", CGrenadesManager::kBone, Flights()};
  ptc::CParticleSysManager particles;
  CGrenadesManager grenades;
  CBlastLog log;
};

TEST_F(Grenades, ThrowsShareNoSlotAndASixthWhileFiveFlyIsIgnored) {
  BuildLevel(3);
  // A re-Init (a reloaded level) still listens once: one window, one grenade.
  ASSERT_TRUE(grenades.Init());
  ASSERT_TRUE(grenades.Init());
  EXPECT_EQ(events.ListenerCount(evn::CEventAction::s_type), 1u);

  // Not a throw: a closing window, another window's name, an unknown thrower.
  Window("mutant_0", "window_grenade_01", false);
  Window("mutant_0", "window_provocation_01");
  Window("nobody", "window_grenade_01");
  Step();
  EXPECT_EQ(InFlight(), 0);

  // Two throws dispatched in one frame take two grenades, each its own flight.
  Window("mutant_0", "window_grenade_01");
  Window("mutant_1", "window_grenade_06");
  Step();
  ASSERT_EQ(InFlight(), 2);
  EXPECT_NEAR(grenades.GetGrenade(0).explosionDelay, FlightTime(0), 1e-4f);
  EXPECT_NEAR(grenades.GetGrenade(1).explosionDelay, FlightTime(5), 1e-4f);

  // Five in flight: the sixth and seventh throws find no grenade.
  for (const char* window : {"window_grenade_02", "window_grenade_03", "window_grenade_04",
                             "window_grenade_05", "window_grenade_02"})
    Window("mutant_2", window);
  Step();
  EXPECT_EQ(InFlight(), 5);
  EXPECT_NEAR(grenades.GetGrenade(4).explosionDelay, FlightTime(3), 1e-4f);

  // The first lands after its own flight and is free for the next throw, while
  // the longer flights are still in the air.
  int frames = 0;
  while (grenades.GetGrenade(0).active && frames < 200) {
    Step();
    ++frames;
  }
  EXPECT_NEAR(frames * kDt, FlightTime(0), 3 * kDt);
  EXPECT_TRUE(grenades.GetGrenade(1).active);
  EXPECT_EQ(log.blasts.size(), 0u) << "posted for the next frame";
  Window("mutant_0", "window_grenade_03");
  Step();
  EXPECT_TRUE(grenades.GetGrenade(0).active);
  EXPECT_NEAR(grenades.GetGrenade(0).explosionDelay, FlightTime(2), 1e-4f);
  EXPECT_EQ(log.blasts.size(), 1u);

  // Everything lands; a grenade bursts once per throw.
  Step(200);
  EXPECT_EQ(InFlight(), 0);
  EXPECT_EQ(log.blasts.size(), 6u);
  for (const std::string& source : log.sources) EXPECT_EQ(source, "mutant");
}

TEST_F(Grenades, AGrenadeFliesShowsAtItsReleaseAndBurstsWhereItsFlightEnds) {
  BuildLevel();
  // The mutant 10 to the player's left, facing +x: window 2 (reach 6) lands at (-4, 0, 3).
  Place("mutant_0", plat::Vec3(-10.0f, 0.0f, 3.0f), kPi / 2.0f);
  obj::CGameObject* grenade = objects.GetGameObjectByName(CStringHash("grenade_01"));
  auto* renderer = static_cast<obj::IComponent*>(grenade->GetComponent<gfx::CRenderer>());
  obj::IComponent* trail = grenade->GetComponent(CStringHash("CWeaponRenderer"));
  ASSERT_TRUE(grenade->IsEnabled()) << "Init switches the objects on";
  EXPECT_FALSE(renderer->IsEnabled());
  EXPECT_FALSE(trail->IsEnabled());

  Window("mutant_0", "window_grenade_03");
  Step();
  ASSERT_EQ(InFlight(), 1);
  const float flight = FlightTime(2);
  float t = kDt;
  bool shown = false;
  while (grenades.GetGrenade(0).active && t < 3.0f) {
    // Hidden up to 35 % of the flight; shown (with its trail) from the next frame.
    if (t < 0.35f * flight) EXPECT_FALSE(renderer->IsEnabled()) << t;
    if (t > 0.35f * flight + 2 * kDt) {
      EXPECT_TRUE(renderer->IsEnabled()) << t;
      EXPECT_TRUE(trail->IsEnabled()) << t;
      shown = true;
    }
    // The bone carries it: its world position runs along the thrower's facing.
    Step();
    t += kDt;
  }
  EXPECT_TRUE(shown);
  EXPECT_NEAR(t, flight, 3 * kDt);
  Step();
  EXPECT_FALSE(renderer->IsEnabled()) << "hidden again once it has burst";
  ASSERT_EQ(log.blasts.size(), 1u);
  EXPECT_NEAR(log.blasts[0].x, -4.0f, 0.05f);
  EXPECT_NEAR(log.blasts[0].y, 0.0f, 0.05f);
  EXPECT_NEAR(log.blasts[0].z, 3.0f, 0.05f);
  EXPECT_EQ(log.ranges[0], CGrenadesManager::kExplosionRange);
  ptc::IParticleSystem* burst = particles.FindSystem(CStringHash("boom"));
  ASSERT_NE(burst, nullptr);
  EXPECT_TRUE(burst->IsActive());
  EXPECT_NEAR(burst->GetTransform()->position.x, -4.0f, 0.05f);
}

TEST_F(Grenades, TheBlastHurtsThePlayerInRangeAndShakesTheCameraByDistance) {
  BuildLevel();
  struct SCase {
    float distance;
    bool hurt;
  } const cases[] = {{0.0f, true}, {3.0f, true}, {8.75f, false}, {17.5f, false}, {25.0f, false}};
  for (const SCase& c : cases) {
    // Whatever the last blast did to the player is over.
    Frames(200);
    log.Clear();
    const int lifeBefore = controller->life;
    // Window 1 (reach 5) thrown facing +z lands `distance` to the player's right.
    const plat::Vec3 at = transform->position;
    Place("mutant_0", at + plat::Vec3(c.distance, 0.0f, -5.0f), 0.0f);
    Window("mutant_0", "window_grenade_02");
    Step(static_cast<int>(FlightTime(1) / kDt) + 10);
    ASSERT_EQ(log.blasts.size(), 1u) << c.distance;
    const float d = plat::Length(log.blasts[0] - at);
    EXPECT_NEAR(d, c.distance, 0.1f);
    if (d < CGrenadesManager::kShakeDistance) {
      ASSERT_EQ(log.shakes.size(), 1u) << c.distance;
      EXPECT_NEAR(log.shakes[0], (1.0f - d / 17.5f) * 2.5f, 1e-3f);
      EXPECT_EQ(log.shakeTimes[0], 0.4f);
    } else {
      EXPECT_TRUE(log.shakes.empty()) << c.distance;
    }
    Frames(60);
    if (c.hurt) {
      EXPECT_EQ(controller->life, lifeBefore - evn::CEventExplosion::kDamage) << c.distance;
    } else {
      EXPECT_EQ(controller->life, lifeBefore) << c.distance;
    }
  }
}

// The level's own grenades, on the figures and flights the game ships.
TEST_F(Grenades, TheShippedGrenadesFlyFromTheWindowToTheStreetAhead) {
  ASSERT_TRUE(animations.LoadTemplates("Data/xml/level1_animation_templates.xml"));
  ASSERT_TRUE(objects.LoadTemplates("Data/xml/level1_animatedobjects_templates.xml"));
  extraInstances = "<GameObject name='mutant_0' GameObjectTemplate='test_mutant'/>";
  test::CTempFile templateFile(base + "_gr_mutant.xml",
                               "<GameObjectTemplate name='test_mutant'><Component "
                               "name='CTransform'/></GameObjectTemplate>");
  ASSERT_TRUE(objects.LoadTemplates(templateFile.Path()));
  Build(plat::Vec3(0, 0, 0), true);
  EXPECT_GT(objects.LoadInstances("Data/xml/level1_animatedobjects_instances.xml", "", true), 0);
  Frame();
  events.AddListener(&log, evn::CEventExplosion::s_type);
  ASSERT_TRUE(grenades.Init());
  for (int i = 0; i < CGrenadesManager::kGrenadeCount; ++i) {
    const CGrenadesManager::SGrenade& g = grenades.GetGrenade(i);
    ASSERT_NE(g.object, nullptr) << i;
    EXPECT_NE(g.animator, nullptr) << i;
    EXPECT_NE(g.renderer, nullptr) << i;
    EXPECT_NE(g.trail, nullptr) << i;
  }
  // The mutant stands 20 ahead of the player, facing him, and throws each flight in turn.
  Place("mutant_0", plat::Vec3(0.0f, 0.0f, 20.0f), kPi);
  for (int w = 0; w < CGrenadesManager::kWindowCount; ++w) {
    SCOPED_TRACE(CGrenadesManager::kFlightNames[w]);
    log.Clear();
    Window("mutant_0", CGrenadesManager::kWindowNames[w]);
    Step();
    const float flight = grenades.GetGrenade(0).explosionDelay;
    EXPECT_GT(flight, 0.5f);
    Step(static_cast<int>(flight / kDt) + 5);
    ASSERT_EQ(log.blasts.size(), 1u);
    // Thrown out of a window: lands below the thrower's sill (2.5 or 6 down),
    // 6 to 10 ahead of him, towards the player.
    const plat::Vec3 b = log.blasts[0];
    EXPECT_LT(b.y, -2.0f);
    EXPECT_GT(b.y, -6.5f);
    EXPECT_LT(b.z, 15.0f);
    EXPECT_GT(b.z, 9.0f);
  }
}

}  // namespace
}  // namespace vd
