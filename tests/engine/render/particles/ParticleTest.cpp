// Particle emitters, systems, followers and their manager, loaded through the
// object manager from XML as the game loads them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/EngineNames.h"
#include "engine/core/Locks.h"
#include "engine/core/Log.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Transform.h"
#include "engine/render/particles/Particle.h"
#include "engine/render/particles/ParticleSubSystem.h"
#include "engine/render/particles/ParticleSysManager.h"
#include "engine/render/particles/ParticleSystem.h"
#include "engine/script/ScriptManager.h"
#include "platform/crt/Crt.h"
#include "tests/support/LogRecorder.h"

namespace vd {
namespace ptc {
namespace {

class COrbListener : public evn::IEventListener {
public:
  void HandleEvent(evn::IEvent* event) override {
    if (auto* orb = dynamic_cast<evn::CEventOrbAbsorved*>(event)) kinds.push_back(orb->typeName.Get());
  }
  std::vector<std::string> kinds;
};

// A one-particle emitter that lives `life` seconds, re-born every `period`.
std::string Emitter(const std::string& id, const std::string& extra = "", float life = 1.0f,
                    float period = 0.5f, int number = 1) {
  auto v = [](float x) { return "'" + std::to_string(x) + "'"; };
  const std::string n = "'" + std::to_string(number) + "'";
  return "<Component name='CParticleSubSystemSimple'><key name='particle_creation'>"
         "<particle_creation_rate_max value=" + v(period) + "/><particle_creation_rate_min value=" +
         v(period) + "/><particle_creation_num_max value=" + n +
         "/><particle_creation_num_min value=" + n +
         "/></key><key name='particle'><max_init_color R='1' G='0' B='0' A='1'/>"
         "<min_init_color R='1' G='0' B='0' A='1'/><max_init_lifeTime value=" + v(life) +
         "/><min_init_lifeTime value=" + v(life) + "/></key>" + extra +
         "<key name='subparticlesystem_id' value='" + id + "'/></Component>";
}

std::string System(const std::string& id, const std::string& kind,
                   const std::vector<std::string>& emitters, const std::string& extra = "",
                   const char* className = "CParticleSystemSimple") {
  std::string xml = std::string("<Component name='") + className + "'>";
  xml += "<key name='particlesystem_id' value='" + id + "'/>";
  xml += "<key name='ps_type_id' value='" + kind + "'/>";
  for (const std::string& e : emitters) xml += "<key name='subsystem' value='" + e + "'/>";
  return xml + extra + "</Component>";
}

class Particles : public ::testing::Test {
protected:
  void SetUp() override {
    sinks.AddSink(log = new test::CLogRecorder());
    utl::SetLogSinks(&sinks);
    evn::InitGameEventTypes();
    obj::RegisterObjectComponentFactories(objects.componentFactories);
    RegisterParticleFactories(objects.componentFactories);
    ASSERT_TRUE(manager.Init());
    plat::SeedRand(1);
  }
  void TearDown() override {
    objects.Clear();
    utl::DeleteFactoryMakers(objects.componentFactories);
    for (const std::string& path : files) std::remove(path.c_str());
    utl::SetLogSinks(nullptr);
  }

  std::string Write(const std::string& text) {
    const std::string path = ::testing::TempDir() + "particles_" + std::to_string(files.size()) +
                             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                             ".xml";
    std::ofstream(path) << text;
    files.push_back(path);
    return path;
  }

  // One object named `name` at `position` made of a transform and the components.
  obj::CGameObject* Make(const std::string& name, const std::string& components,
                         const plat::Vec3& position = {0, 0, 0}) {
    const std::string templ = "tpl_" + name;
    objects.LoadTemplates(Write("<GameObjectTemplate name='" + templ +
                                "'><Component name='CTransform'/></GameObjectTemplate>")
                              .c_str());
    char pos[160];
    std::snprintf(pos, sizeof pos,
                  "<Component name='CTransform'><key name='position' X='%g' Y='%g' Z='%g'/>"
                  "</Component>",
                  position.x, position.y, position.z);
    objects.LoadInstances(Write("<GameObject name='" + name + "' GameObjectTemplate='" + templ +
                                "'>" + pos + components + "</GameObject>")
                              .c_str(),
                          "", false);
    return objects.GetGameObjectByName(CStringHash(name.c_str()));
  }

  template <class T>
  static T* Part(obj::CGameObject* object) {
    return object ? object->GetComponent<T>() : nullptr;
  }
  static IParticleSubSystem* EmitterOf(obj::CGameObject* object) {
    return Part<CParticleSubSystemSimple>(object);
  }

  size_t Logged(const std::string& part) const { return log->Count(part); }

  utl::CLogSinkHolder sinks;
  test::CLogRecorder* log = nullptr;
  CParticleSysManager manager;
  obj::CGameObjectManager objects;
  std::vector<std::string> files;
};

TEST_F(Particles, EntriesWaitForTheFlushAndLeaveWithTheirObjects) {
  obj::CGameObject* object = Make("fx", Emitter("fx_e") + System("fx_s", "explosion", {"fx_e"}));
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(manager.PendingSystemCount(), 1);
  EXPECT_EQ(manager.PendingSubSystemCount(), 1);
  manager.EnableParticleSystem("fx_s");
  EXPECT_FALSE(Part<CParticleSystemSimple>(object)->IsActive());

  manager.Flush();
  EXPECT_EQ(manager.SystemCount(), 1);
  EXPECT_EQ(manager.PendingSystemCount(), 0);
  manager.EnableParticleSystem("fx_s");
  EXPECT_TRUE(Part<CParticleSystemSimple>(object)->IsActive());
  manager.SetParticleSystemPosition("nothing", 5, 5, 5);
  EXPECT_EQ(Part<gfx::CTransform>(object)->position.x, 0.0f);
  manager.SetParticleSystemPosition("fx_s", 1, 2, 3);
  EXPECT_EQ(Part<gfx::CTransform>(object)->world.m[3][2], 3.0f);

  // A second object loaded and destroyed before any flush must not come back.
  IParticleSystem* live = manager.FindSystem(CStringHash("fx_s"));
  EXPECT_TRUE(manager.Lists(live));
  obj::CGameObject* second = Make("fx2", Emitter("fx2_e") + System("fx2_s", "explosion", {"fx2_e"}));
  EXPECT_FALSE(manager.Lists(second->GetComponent<CParticleSystemSimple>())) << "not yet flushed";
  objects.Clear();
  EXPECT_FALSE(manager.Lists(live)) << "gone with its object";
  EXPECT_EQ(manager.SystemCount(), 0);
  EXPECT_EQ(manager.SubSystemCount(), 0);
  manager.Flush();
  EXPECT_EQ(manager.SystemCount(), 0);
  EXPECT_EQ(manager.FindSystem(CStringHash("fx2_s")), nullptr);
}

TEST_F(Particles, FreeSystemByKind) {
  // An object holds one component of a class: the two emitters live apart.
  IParticleSubSystem* first = EmitterOf(Make("a1", Emitter("a_e1")));
  IParticleSubSystem* second = EmitterOf(Make("a2", Emitter("a_e2")));
  Make("a", System("a_s", "explosion", {"a_e1", "a_e2"}));
  ASSERT_NE(second, nullptr);
  Make("c", System("c_s", "smoke", {"nowhere"}));
  manager.Flush();
  IParticleSystem* a = manager.FindSystem(CStringHash("a_s"));
  IParticleSystem* c = manager.FindSystem(CStringHash("c_s"));
  const CStringHash explosion("explosion");

  struct SCase {
    const char* what;
    bool active;
    bool firstFinished, secondFinished;
    bool free;
  } cases[] = {
      {"inactive", false, false, false, true},
      {"active, both emitting", true, false, false, false},
      {"active, only the second finished", true, false, true, false},
      {"active, both finished", true, true, true, true},
  };
  for (const SCase& k : cases) {
    a->SetActive(k.active);
    first->finished = k.firstFinished;
    second->finished = k.secondFinished;
    EXPECT_EQ(manager.GetFreeParticleSystem(explosion) == a, k.free) << k.what;
  }
  // Matched by the kind, never by the system's own id.
  EXPECT_EQ(manager.GetFreeParticleSystem(CStringHash("a_s")), nullptr);
  EXPECT_EQ(manager.GetFreeParticleSystem(CStringHash("unknown")), nullptr);
  // An emitter id that resolves to nothing keeps an active system busy.
  c->SetActive(true);
  EXPECT_EQ(manager.GetFreeParticleSystem(CStringHash("smoke")), nullptr);
  EXPECT_EQ(Logged("emitter nowhere not found"), 1u);

  // A second system of the kind: while the first one still emits, the second
  // serves; with both busy none does.
  IParticleSubSystem* third = EmitterOf(Make("b1", Emitter("b_e1")));
  Make("b", System("b_s", "explosion", {"b_e1"}));
  manager.Flush();
  IParticleSystem* b = manager.FindSystem(CStringHash("b_s"));
  ASSERT_NE(b, nullptr);
  a->SetActive(true);
  first->finished = second->finished = false;
  EXPECT_EQ(manager.GetFreeParticleSystem(explosion), b);
  b->SetActive(true);
  third->finished = false;
  EXPECT_EQ(manager.GetFreeParticleSystem(explosion), nullptr);
  third->finished = true;
  EXPECT_EQ(manager.GetFreeParticleSystem(explosion), b);
}

TEST_F(Particles, FollowerFadesOnArrivalAndReportsOrbs) {
  evn::CEventManager events;
  COrbListener listener;
  events.AddListener(&listener, SH_OnOrbAbsorved);
  Make("player", "", {3.0f, 0.0f, 0.0f});
  const std::string keys =
      "<key name='gameobject_to_follow' value='player'/><key name='follower_speed' value='0.5'/>"
      "<key name='follower_acceleration' value='0'/><key name='follower_max_speed' value='1'/>"
      "<key name='fade_start_dist' value='1.0'/>";
  obj::CGameObject* life =
      Make("life", Emitter("life_e") + System("life_s", "life_orb", {"life_e"}, keys,
                                              "CParticleSystemFollower"));
  obj::CGameObject* blast =
      Make("blast", Emitter("blast_e") + System("blast_s", "explosion", {"blast_e"}, keys,
                                                "CParticleSystemFollower"));
  manager.Flush();
  for (obj::CGameObject* object : {life, blast}) {
    auto* follower = Part<CParticleSystemFollower>(object);
    follower->Rearm();
    follower->Restart(false);
  }
  auto* orb = Part<CParticleSystemFollower>(life);
  gfx::CTransform* at = Part<gfx::CTransform>(life);
  const float dt = 1.0f / 60.0f;
  for (float expected : {0.5f, 1.0f, 1.5f, 2.0f}) {
    orb->Update(dt);
    EXPECT_NEAR(at->position.x, expected, 1e-5f);
    EXPECT_FLOAT_EQ(orb->alpha, 1.0f);
  }
  orb->Update(dt);  // measures 1.0: fades by 0.5
  EXPECT_NEAR(orb->alpha, 0.5f, 1e-5f);
  EXPECT_TRUE(orb->IsActive());
  orb->Update(dt);  // absorbed
  EXPECT_FALSE(orb->IsActive());
  EXPECT_TRUE(orb->HasArrived());
  const float x = at->position.x;
  orb->Update(dt);
  EXPECT_EQ(at->position.x, x);

  auto* other = Part<CParticleSystemFollower>(blast);
  for (int i = 0; i < 10 && other->IsActive(); ++i) other->Update(dt);
  EXPECT_TRUE(other->HasArrived());
  events.Update(dt);
  EXPECT_EQ(listener.kinds, std::vector<std::string>{"life_orb"});
  events.RemoveListener(SH_OnOrbAbsorved, &listener);
}

TEST_F(Particles, FollowerWaitsForItsDelayAndSkipsAnAbsentTarget) {
  obj::CGameObject* object =
      Make("gas", Emitter("gas_e") +
                      System("gas_s", "gas_orb", {"gas_e"},
                             "<key name='gameobject_to_follow' value='nobody'/>"
                             "<key name='follower_speed' value='0.5'/>"
                             "<key name='follower_delay' value='2.0'/>",
                             "CParticleSystemFollower"));
  manager.Flush();
  auto* orb = Part<CParticleSystemFollower>(object);
  IParticleSubSystem* emitter = EmitterOf(object);
  orb->Rearm();
  orb->Restart(false);
  for (int i = 0; i < 19; ++i) orb->Update(0.1f);
  EXPECT_EQ(emitter->updateRequest, 0) << "particles wait with the orb";
  orb->Update(0.1f);
  EXPECT_EQ(emitter->updateRequest, 1);
  EXPECT_EQ(Part<gfx::CTransform>(object)->position.x, 0.0f);
}

TEST_F(Particles, ZoneMaskAdmitsItsZonesOnly) {
  lgc::CScriptManager scripts;
  ASSERT_TRUE(scripts.Init());
  ASSERT_TRUE(scripts.RunString("zone_a = 2 zone_b = 33", "zones"));
  obj::CGameObject* masked = Make("m", Emitter("m_e") + System("m_s", "k", {"m_e"}));
  obj::CGameObject* listed =
      Make("l", Emitter("l_e") + System("l_s", "k", {"l_e"},
                                        "<key name='map_zone_id' value='zone_a'/>"
                                        "<key name='map_zone_id' value='zone_b'/>"));
  auto* system = Part<CParticleSystemSimple>(masked);
  EXPECT_EQ(system->zoneMask, -1);
  EXPECT_EQ(Part<CParticleSystemSimple>(listed)->zoneMask, 0b110);

  system->zoneMask = 4;
  for (int zone : {0, 1, 2, 3, 34, 66, 35}) {
    manager.currentZone = zone;
    EXPECT_EQ(system->ZoneTest(), zone % 32 == 2) << zone;
  }
  system->Restart(false);
  manager.currentZone = 1;
  system->Update(0.5f);
  EXPECT_EQ(system->elapsed, 0.0f);
  manager.currentZone = 2;
  system->Update(0.5f);
  EXPECT_EQ(system->elapsed, 0.5f);
}

TEST_F(Particles, SystemLifeFadesAndEnds) {
  obj::CGameObject* object =
      Make("f", Emitter("f_e") + System("f_s", "k", {"f_e"},
                                        "<key name='system_life_time' value='10'/>"
                                        "<key name='system_fade_time' value='8'/>"));
  auto* system = Part<CParticleSystemSimple>(object);
  system->Restart(false);
  for (int i = 0; i < 8; ++i) system->Update(1.0f);
  EXPECT_FLOAT_EQ(system->fadeRate, 0.5f);
  EXPECT_FLOAT_EQ(system->alpha, 0.5f);
  EXPECT_TRUE(system->IsActive());
  system->Update(1.0f);
  system->Update(1.0f);
  EXPECT_FALSE(system->IsActive());
  EXPECT_EQ(EmitterOf(object)->updateRequest, 1) << "the last live frame's request stays";

  // Without a life time nothing ends, whatever the fade time.
  system->lifeTime = 0.0f;
  system->Restart(false);
  for (int i = 0; i < 30; ++i) system->Update(1.0f);
  EXPECT_TRUE(system->IsActive());
  EXPECT_FLOAT_EQ(system->alpha, 1.0f);
}

TEST_F(Particles, SubsystemCountsAndRotationOrder) {
  // Eleven emitters, in two objects (an object holds at most eleven components).
  std::vector<std::string> ids;
  std::string halves[2];
  for (int i = 0; i < 11; ++i) {
    ids.push_back("e" + std::to_string(i));
    halves[i % 2] += Emitter(ids.back());
  }
  Make("hold0", halves[0]);
  Make("hold1", halves[1]);
  obj::CGameObject* none = Make("none", System("none_s", "k", {}));
  EXPECT_FALSE(Part<CParticleSystemSimple>(none)->HasContent());
  obj::CGameObject* many = Make("many", System("many_s", "k", ids));
  auto* system = Part<CParticleSystemSimple>(many);
  EXPECT_EQ(system->subSystemCount, kMaxSubSystems);
  EXPECT_TRUE(system->HasContent());
  EXPECT_EQ(Logged("more than 10 emitters"), 1u);

  obj::CGameObject* turned = Make(
      "t", System("t_s", "k", {"e0"}, "<key name='rotation_order' X='3' Y='1' Z='2'/>"
                                      "<key name='rotate_x' value='90'/>"
                                      "<key name='rotate_y' value='90'/>"
                                      "<key name='rotate_z' value='90'/>"
                                      "<key name='align' value='view_point'/>"
                                      "<key name='align' value='sideways'/>"));
  auto* t = Part<CParticleSystemSimple>(turned);
  EXPECT_EQ(t->rotationOrder[0], 1);
  EXPECT_EQ(t->rotationOrder[1], 2);
  EXPECT_EQ(t->rotationOrder[2], 0);
  EXPECT_EQ(t->align, 0);
  // y first: (1,0,0) -> (0,0,1); then z: unchanged; then x: (0,0,1) -> (0,-1,0).
  float x = 1, y = 0, z = 0;
  t->RotatePosition(x, y, z);
  EXPECT_NEAR(x, 0.0f, 1e-6f);
  EXPECT_NEAR(y, -1.0f, 1e-6f);
  EXPECT_NEAR(z, 0.0f, 1e-6f);
}

TEST_F(Particles, EmitterLimits) {
  struct SCase {
    const char* what;
    std::string extra;
    int particles;  // -1: not checked
    float check;    // the value read
    float expected;
  };
  auto particle = [](const std::string& children) {
    return "<key name='particle'><max_init_color R='1' G='1' B='1' A='1'/>"
           "<min_init_color R='1' G='1' B='1' A='1'/>" +
           children + "</key>";
  };
  const SCase cases[] = {
      {"rotation speed held to 6 pi", particle("<max_init_rot_speed value='2000'/>"
                                               "<min_init_rot_speed value='2000'/>"),
       -1, 0, kMaxRotationSpeed},
      {"initial scale raised to 0.01", particle("<max_init_scale value='0'/><min_init_scale value='0'/>"),
       -1, 1, 0.01f},
      {"replicate 3 adds 3 (endless: no population beyond)", particle("<replicate value='3'/>"),
       1 + 3, -1, 0},
      {"a huge replicate is cut", particle("<replicate value='100000'/>"),
       IParticleSubSystem::kMaxParticles, -1, 0},
  };
  int n = 0;
  for (const SCase& k : cases) {
    const std::string name = "lim" + std::to_string(n++);
    obj::CGameObject* object = Make(name, Emitter(name + "_e", k.extra));
    IParticleSubSystem* emitter = EmitterOf(object);
    ASSERT_NE(emitter, nullptr) << k.what;
    const SParticle& last = emitter->GetParticles().back();
    if (k.particles >= 0) {
      EXPECT_EQ(static_cast<int>(emitter->GetParticles().size()), k.particles) << k.what;
    }
    if (k.check == 0) {
      EXPECT_FLOAT_EQ(last.initRotationSpeed, k.expected) << k.what;
    }
    if (k.check == 1) {
      EXPECT_FLOAT_EQ(last.initScale, k.expected) << k.what;
    }
  }
  EXPECT_EQ(Logged("particles asked for; the rest dropped"), 1u);

  // Burst sizes beyond the population and winds with a zero axis.
  obj::CGameObject* wild = Make(
      "wild", "<Component name='CParticleSubSystemSimple'>"
              "<key name='particle_creation'><particle_creation_num_max value='99999999'/>"
              "<particle_creation_num_min value='-5'/></key>"
              "<key name='wind'><dir X='1' Y='0' Z='0'/></key>"
              "<key name='init_delay' max='0.25' min='0.25'/></Component>");
  IParticleSubSystem* w = EmitterOf(wild);
  EXPECT_EQ(w->numberMax, IParticleSubSystem::kMaxParticles);
  EXPECT_EQ(w->numberMin, 0);
  EXPECT_EQ(w->wind, 0);
  EXPECT_FLOAT_EQ(w->initDelay, 0.25f);
  EXPECT_EQ(Logged("particles per burst"), 2u);
  obj::CGameObject* windy = Make(
      "windy", "<Component name='CParticleSubSystemSimple'>"
               "<key name='wind'><dir X='1' Y='1' Z='1'/></key></Component>");
  EXPECT_EQ(EmitterOf(windy)->wind, 1);

  // init_delay with max = min draws no number.
  const int before = plat::Rand();
  plat::SeedRand(1);
  Make("delay", "<Component name='CParticleSubSystemSimple'>"
                "<key name='init_delay' max='0.5' min='0.5'/></Component>");
  plat::SeedRand(1);
  EXPECT_EQ(plat::Rand(), before);
}

TEST_F(Particles, EmitterBurstsLivesAndFinishes) {
  // Bursts of 2 every 0.5 s, particles living 1 s: 2 + 2 x 1 / 0.5 = 6 particles.
  obj::CGameObject* object = Make("b", Emitter("b_e", "", 1.0f, 0.5f, 2));
  IParticleSubSystem* e = EmitterOf(object);
  ASSERT_EQ(e->GetParticles().size(), 6u);
  e->RestartParticles(false);
  e->updateRequest = 1;
  e->UpdateParticles(0.1f);
  EXPECT_EQ(e->GetLiveParticleCount(), 2);
  EXPECT_EQ(e->updateRequest, 0);
  // Two bursts' worth of time emits one burst; the rest waits in the accumulator.
  e->updateRequest = 1;
  e->UpdateParticles(1.0f);
  EXPECT_EQ(e->GetLiveParticleCount(), 2);
  EXPECT_NEAR(e->accumulator, 0.6f, 1e-5f);
  // Without requests nothing moves.
  const float clock = e->elapsed;
  e->UpdateParticles(1.0f);
  EXPECT_EQ(e->elapsed, clock);

  // A zero period finishes the emitter once nothing is live.
  obj::CGameObject* once = Make("o", Emitter("o_e", "", 0.2f, 0.0f, 1));
  IParticleSubSystem* o = EmitterOf(once);
  EXPECT_TRUE(o->IsFinished());
  o->RestartParticles(true);
  EXPECT_FALSE(o->IsFinished() && o->GetLiveParticleCount() > 0);
  for (int i = 0; i < 5; ++i) {
    o->updateRequest = 1;
    o->UpdateParticles(0.1f);
  }
  EXPECT_TRUE(o->IsFinished());
}

// The render thread draws an emitter's particles under the render lock; a restart
// or an update on the main thread (a script, an effect, the object update pass)
// waits for the draw instead of rebuilding the particles under it.
TEST_F(Particles, RestartAndUpdateWaitForTheParticleDraw) {
  sys::CLockSet locks;
  sys::SetAppLocks(&locks);
  locks.Create(sys::kLockRender);
  IParticleSubSystem* e = EmitterOf(Make("d", Emitter("d_e", "", 1.0f, 0.5f, 2)));
  ASSERT_NE(e, nullptr);
  using Step = void (*)(IParticleSubSystem*);
  const Step steps[] = {[](IParticleSubSystem* x) { x->RestartParticles(false); },
                        [](IParticleSubSystem* x) {
                          x->updateRequest = 1;
                          x->UpdateParticles(0.1f);
                        }};
  for (Step step : steps) {
    std::promise<void> drawing, drawn;
    std::thread render([&] {
      sys::CScopedLock lock(sys::kLockRender);  // as the particle pass holds it
      drawing.set_value();
      drawn.get_future().wait();
    });
    drawing.get_future().wait();
    auto main = std::async(std::launch::async, [&] { step(e); });
    EXPECT_EQ(main.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    drawn.set_value();
    render.join();
    EXPECT_EQ(main.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  }
  EXPECT_EQ(e->GetLiveParticleCount(), 2);
  sys::SetAppLocks(nullptr);
  locks.Delete(sys::kLockRender);
}

TEST_F(Particles, ColourFadeAndEndlessParticles) {
  SParticle p;
  p.ResetFull();
  p.keyCount = 2;
  p.keys[0] = {0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f};
  p.keys[1] = {0.5f, 1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f};
  p.lifetime = 2.0f;
  p.alpha = 1.0f;
  IParticleSubSystem::ColorParticle(p, 0.5f, 0.5f);
  EXPECT_FLOAT_EQ(p.r, 0.5f);
  IParticleSubSystem::ColorParticle(p, 0.5f, 1.5f);  // past the last key: no change
  EXPECT_FLOAT_EQ(p.r, 0.5f);
  // A particle without a life keeps its colour.
  p.lifetime = 0.0f;
  p.r = 0.25f;
  IParticleSubSystem::ColorParticle(p, 0.5f, 100.0f);
  EXPECT_FLOAT_EQ(p.r, 0.25f);
  // Fade-out empties the alpha at the end of the life.
  p.lifetime = 1.0f;
  p.fadeOutStart = 0.5f;
  p.fadeOutRate = 2.0f;
  IParticleSubSystem::ColorParticle(p, 0.1f, 0.6f);
  EXPECT_NEAR(p.alpha, 0.8f, 1e-6f);
  IParticleSubSystem::ColorParticle(p, 0.1f, 1.0f);
  EXPECT_EQ(p.alpha, 0.0f);
}

TEST_F(Particles, InstancesSortFarthestFirstAndPlaceBatches) {
  obj::CGameObject* host = Make("host", Emitter("h_e", "", 1.0f, 0.5f, 3));
  std::vector<IParticleSystem*> systems;
  for (float d : {1.0f, 3.0f, 2.0f}) {
    const std::string name = "s" + std::to_string(static_cast<int>(d));
    systems.push_back(Part<CParticleSystemSimple>(
        Make(name, System(name + "_s", "k", {"h_e"}), {d, 0.0f, 0.0f})));
  }
  IParticleSubSystem* e = EmitterOf(host);
  ASSERT_EQ(e->GetInstanceCount(), 3);
  e->SortSystemsByDistance(plat::Vec3(0, 0, 0));
  EXPECT_EQ(e->GetInstance(0), systems[1]);
  EXPECT_EQ(e->GetInstance(1), systems[2]);
  EXPECT_EQ(e->GetInstance(2), systems[0]);
  EXPECT_FLOAT_EQ(e->GetMinSquaredDistance(plat::Vec3(0, 0, 0)), 1.0f);

  gfx::SParticleSystemView view;
  gfx::SCameraView camera;  // the eye at the origin
  EXPECT_FALSE(e->PrepareSystem(0, camera, 0, view)) << "inactive";
  systems[1]->Restart(false);
  ASSERT_TRUE(e->PrepareSystem(0, camera, 0, view));
  EXPECT_FLOAT_EQ(view.position.x, 3.0f);
  systems[1]->zoneMask = 0b100;
  EXPECT_FALSE(e->PrepareSystem(0, camera, 1, view)) << "the pass's zone";
  EXPECT_TRUE(e->PrepareSystem(0, camera, 34, view));

  e->updateRequest = 1;
  e->UpdateParticles(0.01f);
  ASSERT_EQ(e->GetLiveParticleCount(), 3);
  ASSERT_NE(e->Records(), nullptr);
  ASSERT_EQ(e->RecordCount(), 3u);
  float records[gfx::kParticleBatch * gfx::kParticleRecordFloats];
  auto copy = [&](uint32_t first, uint32_t count) {
    std::memcpy(records, e->Records() + first * gfx::kParticleRecordFloats,
                count * gfx::kParticleRecordFloats * sizeof(float));
  };
  copy(1, 2);
  e->PlaceBatch(0, 1, 2, records);
  EXPECT_FLOAT_EQ(records[7], 1.0f) << "alpha";
  EXPECT_FLOAT_EQ(records[4], 1.0f) << "red";
  // A detached particle keeps the place where it was first drawn with a system.
  e->detach = 1;
  copy(0, 1);
  e->PlaceBatch(0, 0, 1, records);
  EXPECT_FLOAT_EQ(records[9], 3.0f);
  Part<gfx::CTransform>(systems[1]->GetOwner())->position.x = 7.0f;
  copy(0, 1);
  e->PlaceBatch(0, 0, 1, records);
  EXPECT_FLOAT_EQ(records[9], 3.0f);

  // The quad buffer: ten quads, slot i at z = 3i, two triangles each.
  gfx::IVertexBuffer* quads = e->ParticleBuffer();
  ASSERT_NE(quads, nullptr);
  EXPECT_EQ(quads->GetVertexCount(), 40u);
  EXPECT_EQ(quads->GetPrimitiveCount(), 20);
}

TEST_F(Particles, LuaClassParticleManager) {
  obj::CGameObject* object = Make("lua", Emitter("lua_e") + System("lua_s", "k", {"lua_e"}));
  manager.Flush();
  lgc::CScriptManager scripts;
  scripts.AddBindingRegistrar(&RegisterParticleManagerBindings);
  ASSERT_TRUE(scripts.Init());
  ASSERT_TRUE(scripts.RunString("local m = GetParticleManager()\n"
                                "m:EnableParticleSystem('lua_s')\n"
                                "m:SetParticleSystemPosition('lua_s', 4, 5, 6)\n"
                                "m:EnableParticleSystem('nobody')",
                                "particles"));
  EXPECT_TRUE(Part<CParticleSystemSimple>(object)->IsActive());
  EXPECT_EQ(Part<gfx::CTransform>(object)->position.y, 5.0f);
  ASSERT_TRUE(scripts.RunString("GetParticleManager():DisableParticleSystem('lua_s')", "off"));
  EXPECT_FALSE(Part<CParticleSystemSimple>(object)->IsActive());
}

// The game's particle kinds: every instance loads and registers its emitter and
// its system, every system gives particles when switched on, and a kind that
// shows in several places at once has a free system for each of them.
TEST_F(Particles, GameContentLoads) {
  ASSERT_TRUE(objects.LoadTemplates("Data/xml/level1_particle_templates.xml"));
  objects.LoadInstances("Data/xml/loading_particle_instances.xml", "", false);
  objects.LoadInstances("Data/xml/level1_particle_instances.xml", "", false);
  manager.Flush();
  struct SKind {
    const char* kind;
    int atLeast;
  } kinds[] = {{"gas_attack", 1},
               {"explosion", 8},
               {"arma", 2},
               {"blood", 3},
               {"blood_fatality", 1},
               {"puf_small", 2},
               {"puf_big", 1},
               {"puf_line", 1},
               {"splash", 2},
               {"enemy_smoke", 3},
               {"enemy_smoke_explosion", 3},
               {"vomit", 3},
               {"krauser_blood", 1},
               {"life_orb", 1},
               {"gas_orb", 1},
               // The fatality prompt over an enemy: the pad's and the keyboard's.
               {"ps_fatality_inst", 1},
               {"ps_fatality_keyboard_inst", 1}};
  int systems = 0;
  for (const SKind& k : kinds) {
    SCOPED_TRACE(k.kind);
    int shown = 0;
    // Each system taken is switched on and so busy: the next look-up finds another.
    while (IParticleSystem* system = manager.GetFreeParticleSystem(CStringHash(k.kind))) {
      ASSERT_LT(shown, 64) << "a busy system came back";
      ASSERT_TRUE(system->HasContent());
      IParticleSubSystem* emitter = manager.FindSubSystem(system->subSystems[0].Get());
      ASSERT_NE(emitter, nullptr);
      EXPECT_EQ(emitter->GetInstanceCount(), 1);
      system->Restart(false);
      for (int frame = 0; frame < 3; ++frame) {
        system->Update(1.0f / 30.0f);
        emitter->Update(1.0f / 30.0f);
      }
      EXPECT_GT(emitter->GetLiveParticleCount(), 0);
      EXPECT_LE(emitter->GetParticles().size(), 128u);
      ++shown;
    }
    EXPECT_GE(shown, k.atLeast);
    systems += shown;
  }
  // The gating systems run from the start; the scripts reach them by their ids.
  for (const char* id : {"ps_gating_avenue_inst", "ps_gating_backstreet_inst"}) {
    IParticleSystem* system = manager.FindSystem(CStringHash(id));
    ASSERT_NE(system, nullptr) << id;
    EXPECT_TRUE(system->HasContent()) << id;
    ++systems;
  }
  EXPECT_EQ(manager.SystemCount(), systems) << "a system of a kind the game does not know";
  EXPECT_EQ(Logged("not found"), 0u);
}

TEST(ParticleDepthSort, DescendingWithEqualDepthsKept) {
  SDepthEntry entries[] = {{0, 1.0f}, {1, 9.0f}, {2, 4.0f}, {3, 4.0f}, {4, 0.5f}};
  QuickSortByDepth(entries, 0, 4);
  const float expected[] = {9.0f, 4.0f, 4.0f, 1.0f, 0.5f};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(entries[i].depth, expected[i]);
}

}  // namespace
}  // namespace ptc
}  // namespace vd
