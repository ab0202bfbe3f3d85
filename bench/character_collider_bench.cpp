// One collision step of 50 characters walking slantwise into walls in two files,
// each touching its neighbours: each one recovers, snaps to the floor, sweeps and
// slides, and raises its wall events; the events of the walls and of the touching
// characters are delivered through the event manager. Peer: the goal budget of
// 1 ms per step; "of_goal" is the measured share of it.
#include <benchmark/benchmark.h>
#include <btBulletCollisionCommon.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <rapidxml/rapidxml.hpp>
#include <string>
#include <vector>

#include "engine/collision/CharacterCollider.h"
#include "engine/collision/Colliders.h"
#include "engine/collision/CollisionManager.h"
#include "engine/collision/CollisionMeshWriter.h"
#include "engine/core/EngineNames.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/Transform.h"

namespace {

using namespace vd;

constexpr int kCharacters = 50;
constexpr float kStep = 1.0f / 60.0f;

using Mesh = phy::SCollisionMeshBuilder;

// A 100 m floor in 2 m cells, a long wall on the west and one on the east side.
bool WriteLevel(const std::string& root) {
  if (std::system(("mkdir -p '" + root + "/Data/collision'").c_str()) != 0) return false;
  Mesh floor;
  constexpr int kCells = 50;
  for (int j = 0; j <= kCells; ++j)
    for (int i = 0; i <= kCells; ++i) floor.Vertex(i * 2.0f - 50.0f, 0.0f, j * 2.0f - 50.0f);
  for (int j = 0; j < kCells; ++j)
    for (int i = 0; i < kCells; ++i) {
      const uint16_t a = static_cast<uint16_t>(j * (kCells + 1) + i);
      floor.Quad(a, static_cast<uint16_t>(a + kCells + 1), static_cast<uint16_t>(a + kCells + 2),
                 static_cast<uint16_t>(a + 1));
    }
  Mesh walls;
  walls.Block(-11, -50, -10, 50, 4);
  walls.Block(10, -50, 11, 50, 4);
  return phy::WriteCollisionMesh(root + "/Data/collision/bench_floor", floor) &&
         phy::WriteCollisionMesh(root + "/Data/collision/bench_walls", walls);
}

obj::IComponent* Add(obj::CGameObject& object, obj::IComponent* component, std::string xml) {
  object.AddComponent(component);
  xml.push_back('\0');
  rapidxml::xml_document<> document;
  document.parse<0>(&xml[0]);
  component->Reset();
  component->Load(document.first_node());
  component->Init();
  component->SetEnabled(true, false);
  return component;
}

void BM_CharactersIntoWalls(benchmark::State& state) {
  char folder[] = "/tmp/hm_character_bench_XXXXXX";
  char home[4096];
  if (!getcwd(home, sizeof(home))) home[0] = '\0';
  if (!mkdtemp(folder) || !WriteLevel(folder) || chdir(folder) != 0) {
    state.SkipWithError("cannot write the level meshes");
    return;
  }
  evn::InitEngineEventTypes();
  phy::CCollisionManager manager;
  manager.Init(kStep);
  manager.Resume();
  evn::CEventManager events;
  events.Init();
  manager.SetEventManager(&events);

  std::vector<std::unique_ptr<obj::CGameObject>> objects;
  for (const char* mesh : {"bench_floor", "bench_walls"}) {
    objects.emplace_back(new obj::CGameObject());
    objects.back()->SetName(mesh);
    const std::string cls = mesh == std::string("bench_floor") ? "floor" : "wall";
    Add(*objects.back(), new phy::CColliderMesh(),
        std::string("<Component><key name=\"mesh\" value=\"") + mesh +
            "\"/><key name=\"collision_class\" value=\"" + cls + "\"/></Component>");
  }
  std::vector<phy::CCharacterCollider*> colliders;
  std::vector<float> side;
  for (int k = 0; k < kCharacters; ++k) {
    objects.emplace_back(new obj::CGameObject());
    obj::CGameObject& object = *objects.back();
    object.SetName(("enemy" + std::to_string(k)).c_str());
    auto* transform =
        static_cast<gfx::CTransform*>(Add(object, new gfx::CTransform(), "<Component/>"));
    // Half against each wall, already touching it, 0.9 m apart: neighbours touch.
    const float x = k % 2 ? 9.3f : -9.3f;
    transform->SetPosition(plat::Vec3(x, 0.0f, (k / 2) * 0.9f - 20.0f));
    colliders.push_back(static_cast<phy::CCharacterCollider*>(
        Add(object, new phy::CCharacterCollider(),
            "<Component><key name=\"collider_class\" value=\"zombie\"/>"
            "<key name=\"width\" value=\"1\"/><key name=\"height\" value=\"1.8\"/>"
            "<key name=\"angle_min\" value=\"30\"/><key name=\"collision_floor\" value=\"1\"/>"
            "<key name=\"collision_wall\" value=\"1\"/></Component>")));
    side.push_back(k % 2 ? 1.0f : -1.0f);
  }

  // Counts the events handed to the characters.
  struct SCounter : obj::CComponent<SCounter> {
    static const CStringHash& GetClassName() {
      static const CStringHash name("SCounter");
      return name;
    }
    void HandleEvent(evn::IEvent*) override { ++count; }
    void Load(rapidxml::xml_node<>*) override {}
    bool HasContent() override { return true; }
    bool Update(float) override { return true; }
    bool Init() override { return true; }
    void Reset() override {}
    size_t count = 0;
  };
  std::vector<SCounter*> counters;
  for (size_t k = 2; k < objects.size(); ++k) {
    counters.push_back(new SCounter());
    objects[k]->AddComponent(counters.back());
    for (const CStringHash* type : {&SH_OnCollisionEnter, &SH_OnCollisionStay, &SH_OnCollisionExit})
      events.AddListener(objects[k].get(), *type);
  }

  int frame = 0;
  // Processor time: the share of the goal must not grow with a busy machine.
  const std::clock_t start = std::clock();
  for (auto _ : state) {
    // Slantwise into the wall, sliding north and south by turns.
    const float along = (frame++ / 120) % 2 ? -2.0f : 2.0f;
    for (int k = 0; k < kCharacters; ++k)
      colliders[k]->SetWalkDirection(plat::Vec3(3.0f * side[k], 0.0f, along));
    events.Update(kStep);  // the last step's events
    manager.Update(kStep);
    for (phy::CCharacterCollider* collider : colliders) collider->Update(kStep);
  }
  const double elapsedUs = static_cast<double>(std::clock() - start) * 1.0e6 / CLOCKS_PER_SEC;
  const double steps = static_cast<double>(state.iterations());
  size_t touching = 0;
  for (const auto& pair : manager.GetContactPairs()) {
    const auto* a = static_cast<phy::SCollisionUserData*>(pair.first->getUserPointer());
    const auto* b = static_cast<phy::SCollisionUserData*>(pair.second->getUserPointer());
    touching += a && b && a->group == phy::kGroupCharacterGhost && b->group == a->group;
  }
  size_t delivered = 0;
  for (const SCounter* counter : counters) delivered += counter->count;
  state.SetLabel("peer: goal 1 ms per step");
  state.counters["of_goal"] = elapsedUs / steps / 1000.0;
  state.counters["characters_touching"] = static_cast<double>(touching);
  state.counters["events_delivered"] = static_cast<double>(delivered) / std::max(1.0, steps - 1.0);
  events.Clear();
  for (auto& object : objects) object->Release();
  objects.clear();
  manager.Release();
  if (home[0] && chdir(home) != 0) state.SkipWithError("cannot go back to the first folder");
  std::system(("rm -rf '" + std::string(folder) + "'").c_str());
}
BENCHMARK(BM_CharactersIntoWalls)->Unit(benchmark::kMicrosecond);

}  // namespace
