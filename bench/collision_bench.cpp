// One collision step of 100 character-sized spheres over a 20 000-triangle level
// mesh: they move in groups of four spread over the whole ground, touch it and,
// as each group breathes in and out, touch each other and part again; every
// contact's enter, stay and exit events are delivered through the event manager
// to both sides. Peer: the goal budget of 1 ms per step; "of_goal" is the
// measured share of it.
#include <benchmark/benchmark.h>
#include <btBulletCollisionCommon.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <rapidxml/rapidxml.hpp>
#include <string>
#include <vector>

#include "engine/collision/CharacterCollider.h"
#include "engine/collision/Colliders.h"
#include "engine/collision/CollisionManager.h"
#include "engine/core/EngineNames.h"
#include "engine/events/EngineEvents.h"
#include "engine/events/EventManager.h"
#include "engine/objects/GameObject.h"
#include "platform/math/Math.h"

namespace {

using namespace vd;

constexpr int kCells = 100;  // 100 x 100 quads: 20 000 triangles
constexpr float kCell = 1.0f;

float Ground(float x, float z) { return 0.3f * std::sin(x * 0.7f) * std::cos(z * 0.5f); }

void PutU32(std::vector<unsigned char>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

// Writes the rolling ground as Data/collision/bench_ground under `root`.
bool WriteGround(const std::string& root) {
  std::vector<float> vertices;
  for (int j = 0; j <= kCells; ++j)
    for (int i = 0; i <= kCells; ++i) {
      const float x = i * kCell - 50.0f, z = j * kCell - 50.0f;
      vertices.insert(vertices.end(), {x, Ground(x, z), z});
    }
  std::vector<uint16_t> indices;
  for (int j = 0; j < kCells; ++j)
    for (int i = 0; i < kCells; ++i) {
      const uint16_t a = static_cast<uint16_t>(j * (kCells + 1) + i);
      const uint16_t b = a + 1, d = a + kCells + 1, c = d + 1;
      indices.insert(indices.end(), {a, d, c, c, b, a});
    }
  std::vector<unsigned char> bytes(40, 0);
  PutU32(bytes, 12, static_cast<uint32_t>(vertices.size() / 3));
  PutU32(bytes, 20, static_cast<uint32_t>(indices.size()));
  PutU32(bytes, 32, 2);
  const size_t at = bytes.size();
  bytes.resize(at + vertices.size() * 4 + indices.size() * 2);
  std::memcpy(bytes.data() + at, vertices.data(), vertices.size() * 4);
  std::memcpy(bytes.data() + at + vertices.size() * 4, indices.data(), indices.size() * 2);
  if (std::system(("mkdir -p '" + root + "/Data/collision'").c_str()) != 0) return false;
  FILE* file = std::fopen((root + "/Data/collision/bench_ground").c_str(), "wb");
  if (!file) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

constexpr int kSpheres = 100;
constexpr int kGroup = 4;
constexpr float kStep = 1.0f / 60.0f;
constexpr double kGoalUs = 1000.0;

// Counts the collision events its object is handed.
class CEventCounter : public obj::CComponent<CEventCounter> {
public:
  static const CStringHash& GetClassName() {
    static const CStringHash name("CEventCounter");
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

void Listen(evn::CEventManager& events, obj::CGameObject& object, CEventCounter* counter) {
  object.AddComponent(counter);
  for (const CStringHash* type : {&SH_OnCollisionEnter, &SH_OnCollisionStay, &SH_OnCollisionExit})
    events.AddListener(&object, *type);
}

// Where sphere k is in that frame: groups of four on a 5 x 5 grid 20 m apart,
// each drifting 8 m about its place (so that the groups sweep the whole ground)
// while its spheres circle its centre at a radius that swings from 0.25 m (all
// four overlap) to 0.75 m (none does).
btVector3 SpherePosition(int k, int frame) {
  const int group = k / kGroup;
  const float t = static_cast<float>(frame) * kStep;
  const float cx = (group % 5) * 20.0f - 40.0f + 8.0f * std::sin(0.3f * t + group);
  const float cz = (group / 5) * 20.0f - 40.0f + 8.0f * std::cos(0.2f * t + 2.0f * group);
  const float radius = 0.5f + 0.25f * std::sin(2.0f * t + group);
  const float angle = 1.5f * t + (k % kGroup) * 1.5707964f;
  const float x = cx + radius * std::cos(angle);
  const float z = cz + radius * std::sin(angle);
  return btVector3(x, Ground(x, z) + 0.45f, z);  // 5 cm into the ground
}

void BM_CollisionStep(benchmark::State& state) {
  char folder[] = "/tmp/hm_collision_bench_XXXXXX";
  char home[4096];
  if (!getcwd(home, sizeof(home))) home[0] = '\0';
  if (!mkdtemp(folder) || !WriteGround(folder) || chdir(folder) != 0) {
    state.SkipWithError("cannot write the level mesh");
    return;
  }
  evn::InitEngineEventTypes();
  phy::CCollisionManager manager;
  manager.Init(kStep);
  manager.Resume();
  evn::CEventManager events;
  events.Init();
  manager.SetEventManager(&events);

  obj::CGameObject level;
  level.SetName("level");
  auto* collider = new phy::CColliderMesh();
  level.AddComponent(collider);
  char xml[] =
      "<Component><key name=\"mesh\" value=\"bench_ground\"/>"
      "<key name=\"collision_class\" value=\"wall\"/></Component>";
  rapidxml::xml_document<> document;
  document.parse<0>(xml);
  collider->Reset();
  collider->Load(document.first_node());
  if (!collider->Init()) {
    state.SkipWithError("the level mesh did not load");
    return;
  }
  collider->SetEnabled(true, false);
  auto* levelCounter = new CEventCounter();
  Listen(events, level, levelCounter);

  // Character ghosts (their filter lets them meet walls, statics and each other).
  std::vector<obj::CGameObject> owners(kSpheres);
  std::vector<CEventCounter*> counters;
  std::vector<btCollisionObject*> spheres;
  for (int k = 0; k < kSpheres; ++k) {
    owners[k].SetName(("enemy" + std::to_string(k)).c_str());
    counters.push_back(new CEventCounter());
    Listen(events, owners[k], counters.back());
    spheres.push_back(manager.CreateObject(
        &owners[k], CStringHash("zombie"), "ghost", new btSphereShape(0.5f),
        phy::kGroupCharacterGhost, phy::kMaskCharacterGhost, true, phy::kKindSolid, plat::Vec4()));
  }
  int frame = 0;
  size_t sphereContacts = 0;
  // Processor time: the share of the goal must not grow with a busy machine.
  const std::clock_t start = std::clock();
  for (auto _ : state) {
    ++frame;
    for (int k = 0; k < kSpheres; ++k) {
      btTransform t;
      t.setIdentity();
      t.setOrigin(SpherePosition(k, frame));
      spheres[k]->setWorldTransform(t);
    }
    events.Update(kStep);  // the last step's events reach both sides
    manager.Update(kStep);
    for (const auto& pair : manager.GetContactPairs()) {
      sphereContacts += pair.first != collider->GetCollisionObject() &&
                        pair.second != collider->GetCollisionObject();
    }
  }
  const double elapsedUs = static_cast<double>(std::clock() - start) * 1.0e6 / CLOCKS_PER_SEC;
  const double steps = static_cast<double>(state.iterations());
  size_t delivered = levelCounter->count;
  for (const CEventCounter* counter : counters) delivered += counter->count;
  state.SetLabel("peer: goal 1 ms per step");
  state.counters["of_goal"] = elapsedUs / steps / kGoalUs;
  state.counters["sphere_contacts"] = static_cast<double>(sphereContacts) / steps;
  state.counters["ground_events"] =
      static_cast<double>(levelCounter->count) / std::max(1.0, steps - 1.0);
  state.counters["events_delivered"] = static_cast<double>(delivered) / std::max(1.0, steps - 1.0);
  events.Clear();
  for (btCollisionObject*& sphere : spheres) manager.RemoveObject(sphere);
  level.Release();
  for (obj::CGameObject& owner : owners) owner.Release();
  manager.Release();
  if (home[0] && chdir(home) != 0) state.SkipWithError("cannot go back to the first folder");
  std::system(("rm -rf '" + std::string(folder) + "'").c_str());
}
BENCHMARK(BM_CollisionStep)->Unit(benchmark::kMicrosecond);

}  // namespace
