// One collision step with 100 character-sized spheres moving over a 20 000-triangle
// level mesh, the contact events included. Goal: under 1 ms per step.
#include <benchmark/benchmark.h>
#include <btBulletCollisionCommon.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <rapidxml/rapidxml.hpp>
#include <string>
#include <vector>

#include "engine/collision/Colliders.h"
#include "engine/collision/CollisionManager.h"
#include "engine/events/EngineEvents.h"
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

void BM_CollisionStep(benchmark::State& state) {
  char folder[] = "/tmp/hm_collision_bench_XXXXXX";
  if (!mkdtemp(folder) || !WriteGround(folder) || chdir(folder) != 0) {
    state.SkipWithError("cannot write the level mesh");
    return;
  }
  evn::InitEngineEventTypes();
  phy::CCollisionManager manager;
  manager.Init(1.0f / 60.0f);
  manager.Resume();

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

  // Characters: ghost spheres on the ground, touching it and some each other.
  std::vector<obj::CGameObject> owners(100);
  std::vector<btCollisionObject*> spheres;
  for (int k = 0; k < 100; ++k) {
    owners[k].SetName(("enemy" + std::to_string(k)).c_str());
    spheres.push_back(manager.CreateObject(&owners[k], CStringHash("zombie"), "ghost",
                                           new btSphereShape(0.5f), phy::kGroupCharacterGhost, 323,
                                           true, phy::kKindSolid, plat::Vec4()));
  }
  int frame = 0;
  for (auto _ : state) {
    ++frame;
    for (int k = 0; k < 100; ++k) {
      const float x = (k % 10) * 4.0f - 20.0f + std::sin(0.05f * frame + k) * 1.5f;
      const float z = (k / 10) * 4.0f - 20.0f + std::cos(0.05f * frame + k) * 1.5f;
      btTransform t;
      t.setIdentity();
      t.setOrigin(btVector3(x, Ground(x, z) + 0.45f, z));
      spheres[k]->setWorldTransform(t);
    }
    manager.Update(1.0f / 60.0f);
  }
  state.counters["contacts"] = static_cast<double>(manager.GetContactPairs().size());
  for (btCollisionObject*& sphere : spheres) manager.RemoveObject(sphere);
  level.Release();
  manager.Release();
  std::system(("rm -rf '" + std::string(folder) + "'").c_str());
}
BENCHMARK(BM_CollisionStep)->Unit(benchmark::kMicrosecond);

}  // namespace
