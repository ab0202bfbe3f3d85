// One frame of 40 zombies in one zone closing in on the player and fighting
// round it: each spots its target, queues at the player's fight slots, waits,
// dashes, steps, taunts and attacks, its character collider walking it through the
// collision world; the player's fight-slot manager and the AI manager are stepped
// with them. The figures are left out (no animator): the frame is the fight's
// logic and the collision step it drives.
// Peer: the same frame with the 40 fighters disabled. "fighters_logic_us" is the
// fighters' own updates with the two managers' (goal: below 1000 us a frame on
// one core); "frame_us" and "peer_frame_us" are the whole frame with and without
// them.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/collision/Colliders.h"
#include "engine/collision/CollisionManager.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Transform.h"
#include "game/enemies/AIManager.h"
#include "game/enemies/Berserker.h"
#include "game/player/FightSlotMgr.h"
#include "game/player/PlayerController.h"

namespace {

using namespace vd;

constexpr float kFrame = 1.0f / 60.0f;
constexpr int kFighters = 40;

double ThreadCpuUs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

bool WriteFile(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

// The shipped zombie's fight tuning on a body without a figure.
const char kZombie[] =
    "<GameObjectTemplate name='zombie'><Component name='CTransform'/>"
    "<Component name='CCharacterCollider'><key name='collider_class' value='enemy'/>"
    "<key name='height' value='1.8'/><key name='width' value='0.8'/>"
    "<key name='angle_min' value='50'/><key name='collision_floor' value='1'/>"
    "<key name='collision_wall' value='1'/></Component>"
    "<Component name='CBerserker'><key name='attacker' value='1'/>"
    "<key name='walk_speed' value='1.2'/><key name='run_speed' value='5.5'/>"
    "<key name='turn_speed_move' value='3.0'/><key name='turn_speed_fight' value='3.0'/>"
    "<key name='fov_dist' value='40'/><key name='target' value='player'/>"
    "<key name='wait_for_fight_prob_taunt' value='0.2'/>"
    "<key name='wait_for_fight_prob_orbit' value='0.4'/>"
    "<key name='wait_for_fight_prob_get_back' value='0.1'/>"
    "<key name='wait_for_fight_prob_approach' value='0.3'/>"
    "<key name='playlist_fight' group='0' id='0'/>"
    "<difficulty><normal><key name='fight_prob_attack' value='0.4'/>"
    "<key name='fight_prob_orbit' value='0.2'/><key name='fight_prob_get_back' value='0.15'/>"
    "<key name='fight_prob_approach' value='0.1'/><key name='fight_prob_taunt' value='0.15'/>"
    "</normal></difficulty></Component></GameObjectTemplate>"
    "<GameObjectTemplate name='bench_level'><Component name='CTransform'/>"
    "<Component name='CColliderMesh'/></GameObjectTemplate>";

struct SScene {
  obj::CGameObjectManager objects;
  obj::CGameObject* player = nullptr;
  CPlayerController* controller = nullptr;
  CFightSlotMgr* slots = nullptr;
  std::vector<obj::CGameObject*> fighters;
};

bool BuildScene(SScene& scene) {
  auto& makers = scene.objects.componentFactories;
  obj::RegisterObjectComponentFactories(makers);
  phy::RegisterCollisionComponentFactories(makers);
  RegisterPlayerComponentFactories(makers);
  utl::RegisterFactoryMaker<CBerserker, obj::IComponent>(makers);
  scene.objects.Init();
  std::string instances =
      "<GameObject name='player' GameObjectTemplate='player'/>"
      "<GameObject name='floor' GameObjectTemplate='bench_level'><Component name='CColliderMesh'>"
      "<key name='mesh' value='test/char_floor'/><key name='collision_class' value='floor'/>"
      "</Component></GameObject>";
  for (int k = 0; k < kFighters; ++k) {
    const float angle = k * 6.2831853f / kFighters;
    const float radius = 4.0f + static_cast<float>(k % 5) * 2.0f;
    char text[256];
    std::snprintf(text, sizeof(text),
                  "<GameObject name='zombie_%d' GameObjectTemplate='zombie'>"
                  "<Component name='CTransform'><key name='position' X='%g' Y='0' Z='%g'/>"
                  "</Component></GameObject>",
                  k, radius * std::cos(angle), radius * std::sin(angle));
    instances += text;
  }
  const std::string base = "/tmp/hm_fighters_bench_" + std::to_string(getpid());
  const bool written = WriteFile(base + "_templates.xml", kZombie) &&
                       WriteFile(base + "_instances.xml", instances);
  const bool loaded = written &&
                      scene.objects.LoadTemplates("Data/xml/loading_player_templates.xml") &&
                      scene.objects.LoadTemplates((base + "_templates.xml").c_str());
  if (loaded) scene.objects.LoadInstances((base + "_instances.xml").c_str(), "", true);
  std::remove((base + "_templates.xml").c_str());
  std::remove((base + "_instances.xml").c_str());
  scene.objects.ApplyQueuedRequests();
  scene.player = scene.objects.GetGameObjectByName(CStringHash("player"));
  if (!scene.player) return false;
  scene.controller = scene.player->GetComponent<CPlayerController>();
  scene.slots = scene.player->GetComponent<CFightSlotMgr>();
  scene.objects.GetGameObjectsByTemplate(CStringHash("zombie"), scene.fighters);
  return scene.controller && scene.slots && scene.fighters.size() == kFighters;
}

void BM_FortyFightersFrame(benchmark::State& state) {
  const bool fighting = state.range(0) != 0;
  char home[4096];
  if (!getcwd(home, sizeof(home))) home[0] = '\0';
  if (chdir(HM_SOURCE_DIR) != 0) {
    state.SkipWithError("cannot reach the game's data");
    return;
  }
  evn::InitEngineEventTypes();
  evn::InitGameEventTypes();
  evn::CEventManager events;
  events.Init();
  phy::CCollisionManager collision;
  collision.Init(kFrame);
  collision.SetEventManager(&events);
  collision.Resume();
  CAIManager ai;
  ai.Init();
  {
    SScene scene;
    const bool built = BuildScene(scene);
    ai.ReserveEnemyList();
    ai.Activate();
    if (!built) {
      state.SkipWithError("the scene could not be built");
    } else {
      for (obj::CGameObject* f : scene.fighters) f->RequestEnable(fighting);
      scene.objects.ApplyQueuedRequests();
      double frameUs = 0.0, logicUs = 0.0;
      double fightingStates = 0.0, attacks = 0.0, attackers = 0.0;
      for (auto _ : state) {
        // The player stands and lives: nothing of his own changes the fight.
        scene.controller->life = 1000;
        const double start = ThreadCpuUs();
        scene.objects.ApplyQueuedRequests();
        events.Update(kFrame);
        collision.Update(kFrame);
        const double logicStart = ThreadCpuUs();
        for (obj::CGameObject* f : scene.fighters) f->Update(kFrame);
        scene.slots->Update(kFrame);
        ai.Update(kFrame);
        const double logic = ThreadCpuUs() - logicStart;
        scene.player->Update(kFrame);
        frameUs += ThreadCpuUs() - start;
        logicUs += logic;
        for (obj::CGameObject* f : scene.fighters) {
          const int st = f->GetComponent<CBerserker>()->current.state;
          fightingStates += st >= 12 && st <= 27;
          attacks += st == 17;
        }
        attackers += static_cast<double>(scene.slots->GetAttackerCount());
      }
      const double frames = static_cast<double>(state.iterations());
      state.SetLabel(fighting ? "40 fighters; peer: the same frame with them disabled (/0)"
                              : "peer: the frame with the 40 fighters disabled");
      state.counters[fighting ? "frame_us" : "peer_frame_us"] = frameUs / frames;
      state.counters["fighters_logic_us"] = logicUs / frames;
      state.counters["fighters_in_fight"] = fightingStates / frames;
      state.counters["attacking"] = attacks / frames;
      state.counters["attacker_list"] = attackers / frames;
      state.counters["attackers_max"] = scene.slots->attackersMax;
    }
    ai.Clear();
    events.Clear();
    scene.objects.Clear();
    utl::DeleteFactoryMakers(scene.objects.componentFactories);
  }
  collision.Release();
  if (home[0] && chdir(home) != 0) state.SkipWithError("cannot go back to the first folder");
}
BENCHMARK(BM_FortyFightersFrame)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace
