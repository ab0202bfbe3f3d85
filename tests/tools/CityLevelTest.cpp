// The city level as the game loads it: the committed files are what gen_city
// writes, and they pass the loaders that read them (meshes, render libraries,
// collision meshes, instance files).
#include <btBulletCollisionCommon.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/collision/Colliders.h"
#include "engine/collision/CollisionManager.h"
#include "engine/core/Log.h"
#include "engine/core/XmlFile.h"
#include "engine/events/EventManager.h"
#include "engine/events/GameEvents.h"
#include "engine/objects/GameObject.h"
#include "engine/objects/GameObjectManager.h"
#include "engine/objects/Renderer.h"
#include "engine/objects/Tracker.h"
#include "engine/render/RenderManager.h"
#include "engine/render/buffers/VertexBuffer.h"
#include "engine/render/buffers/VertexTypes.h"
#include "engine/script/ScriptManager.h"
#include "tests/support/LogRecorder.h"
#include "tests/support/Files.h"

namespace vd {
namespace {

namespace fs = std::filesystem;

using vd::test::ReadFile;

// Every file under `root`, by its path relative to it.
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file())
      files[fs::relative(entry.path(), root).string()] = ReadFile(entry.path());
  return files;
}

// The values of attribute `attribute` of every `element` below the file's top level.
std::vector<std::string> Attributes(const char* path, const char* element, const char* attribute,
                                    const char* keyName = nullptr) {
  std::vector<std::string> values;
  utl::CXmlFile xml;
  if (xml.Load(path) != utl::CXmlFile::EResult::Ok) return values;
  std::vector<rapidxml::xml_node<>*> stack;
  for (auto* node = xml.Document().first_node(); node; node = node->next_sibling())
    stack.push_back(node);
  while (!stack.empty()) {
    rapidxml::xml_node<>* node = stack.back();
    stack.pop_back();
    for (auto* child = node->first_node(); child; child = child->next_sibling())
      stack.push_back(child);
    if (std::string(node->name()) != element) continue;
    if (keyName) {
      auto* name = node->first_attribute("name");
      if (!name || std::string(name->value()) != keyName) continue;
    }
    if (auto* a = node->first_attribute(attribute)) values.push_back(a->value());
  }
  return values;
}

const char* const kInstanceFiles[] = {
    "Data/xml/level1_common_instances.xml",    "Data/xml/level1_scene_instances.xml",
    "Data/xml/level1_collision_instances.xml", "Data/xml/level1_trigger_instances.xml",
    "Data/xml/level1_tracker_instances.xml",   "Data/xml/level1_line_instances.xml",
    "Data/xml/level1_light_instances.xml",     "Data/xml/diagonal/line_instances.xml",
    "Data/xml/avenue/line_instances.xml",      "Data/xml/bar/line_instances.xml",
    "Data/xml/square/line_instances.xml",      "Data/xml/casino/line_instances.xml"};

class CityLevelTest : public ::testing::Test {
protected:
  void TearDown() override { fs::remove_all(scratch); }
  bool Logged(const std::string& part) const { return capture.Contains(part); }
  std::string Joined() const { return capture.Text(); }

  test::CLogCapture capture;
  const fs::path scratch = fs::temp_directory_path() / ("city_" + std::to_string(::getpid()));
};

TEST_F(CityLevelTest, TheGeneratorIsReproducibleAndItsOutputIsCommitted) {
  for (const char* run : {"a", "b"})
    ASSERT_EQ(
        std::system(("'" GEN_CITY "' '" + (scratch / run).string() + "' > /dev/null").c_str()), 0);
  const auto first = Tree(scratch / "a"), second = Tree(scratch / "b");
  ASSERT_GT(first.size(), 50u);
  EXPECT_TRUE(first == second) << "two runs of gen_city differ";
  size_t bytes = 0;
  for (const auto& [name, content] : first) {
    SCOPED_TRACE(name);
    bytes += content.size();
    EXPECT_TRUE(ReadFile(name) == content) << "run gen_city and commit its Data";
  }
  EXPECT_LT(bytes, 3u << 20);  // the level stays small in the repository
}

TEST_F(CityLevelTest, EveryMeshPassesTheCheckedReader) {
  const std::vector<std::string> meshes =
      Attributes("Data/xml/level1_scene_instances.xml", "key", "value", "mesh");
  ASSERT_GE(meshes.size(), 25u);
  for (const std::string& mesh : meshes) {
    SCOPED_TRACE(mesh);
    std::unique_ptr<gfx::IVertexBuffer> buffer = gfx::LoadMeshFile(("Data/meshes/" + mesh).c_str());
    ASSERT_NE(buffer, nullptr) << Joined();
    auto* base = dynamic_cast<gfx::CVertexBufferBase*>(buffer.get());
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(base->GetTypeCode(), gfx::kVtxBitexturedNorm);
    EXPECT_GT(buffer->GetPrimitiveCount(), 0);
    EXPECT_EQ(buffer->GetSubsetCount(), 1u);
  }
}

TEST_F(CityLevelTest, RenderLibrariesLoadAndNameFilesThatExist) {
  gfx::CRenderManager manager;
  ASSERT_TRUE(manager.LoadTextures("Data/xml/level1_textures.xml"));
  ASSERT_TRUE(manager.LoadMaterials("Data/xml/level1_materials.xml"));
  ASSERT_TRUE(manager.LoadShaders("Data/xml/level1_shaders.xml"));
  ASSERT_TRUE(manager.LoadSceneGraph(gfx::CRenderManager::kSceneGraphFile));
  ASSERT_TRUE(manager.LoadDoFParams(gfx::CRenderManager::kDoFFile));
  EXPECT_FALSE(Logged("could not be read")) << Joined();
  EXPECT_FALSE(Logged("skipped")) << Joined();

  const std::vector<std::string> files =
      Attributes("Data/xml/level1_textures.xml", "texture", "file");
  EXPECT_EQ(manager.GetTextureCount(), files.size());
  // The water pass reads these two by name.
  EXPECT_NE(manager.FindTexture(CStringHash("sky_dome_d.dds")), nullptr);
  EXPECT_NE(manager.FindTexture(CStringHash("water_noise")), nullptr);
  // Materials name only listed textures, with the same files.
  const std::vector<std::string> ids = Attributes("Data/xml/level1_textures.xml", "texture", "id");
  const std::set<std::string> known(ids.begin(), ids.end());
  for (const std::string& id : Attributes("Data/xml/level1_materials.xml", "key", "id"))
    EXPECT_TRUE(known.count(id)) << id;
  EXPECT_EQ(manager.GetMaterialCount(),
            Attributes("Data/xml/level1_materials.xml", "material", "id").size());

  // Five game zones, each seeing its own geometry and the sky.
  ASSERT_EQ(manager.pendingZoneGroups.size(), 5u);
  const char* const zones[] = {"zone_diagonal", "zone_avenue", "zone_bar", "zone_square",
                               "zone_casino"};
  for (size_t z = 0; z < 5; ++z) {
    const auto& list = manager.pendingZoneGroups[z];
    EXPECT_NE(std::find(list.begin(), list.end(), CStringHash(zones[z]).GetHash()), list.end())
        << zones[z];
    EXPECT_NE(std::find(list.begin(), list.end(), CStringHash("city_sky").GetHash()), list.end());
  }
  EXPECT_FLOAT_EQ(manager.dofFocalPlane, 9.0f);
}

TEST_F(CityLevelTest, InstanceFilesCreateEveryObject) {
  gfx::CRenderManager renderer;
  phy::CCollisionManager collision;
  ASSERT_TRUE(collision.Init(1.0f / 60.0f));
  obj::CGameObjectManager objects;
  obj::RegisterObjectComponentFactories(objects.componentFactories);
  lgc::RegisterTrackerFactory(objects.componentFactories);
  phy::RegisterCollisionComponentFactories(objects.componentFactories);
  gfx::RegisterRendererFactory(objects.componentFactories);
  ASSERT_TRUE(objects.Init());
  ASSERT_TRUE(renderer.LoadTextures("Data/xml/level1_textures.xml"));
  ASSERT_TRUE(renderer.LoadMaterials("Data/xml/level1_materials.xml"));
  ASSERT_TRUE(objects.LoadTemplates("Data/xml/common_templates.xml"));

  std::vector<int> ids;
  for (const char* file : kInstanceFiles) {
    SCOPED_TRACE(file);
    const std::vector<std::string> names = Attributes(file, "GameObject", "name");
    ASSERT_FALSE(names.empty());
    const int group = objects.LoadInstances(file, "", true);
    ids.clear();
    objects.GetGroupObjectIds(group, ids);
    EXPECT_EQ(ids.size(), names.size());
    for (const std::string& name : names)
      EXPECT_NE(objects.GetGameObjectByName(CStringHash(name.c_str())), nullptr) << name;
  }
  // The character files of the zones hold no enemy yet, and read without error.
  for (const char* zone : {"diagonal", "avenue", "bar", "square", "casino"})
    EXPECT_TRUE(fs::exists(std::string("Data/xml/") + zone + "/character_instances.xml"));

  // Every static object drew its mesh and, but for the sky and the water, its lightmap.
  std::vector<obj::CGameObject*> rendered;
  objects.GetGameObjectsWithComponent(gfx::CRenderer::GetClassName(), rendered);
  ASSERT_GE(rendered.size(), 25u);
  for (obj::CGameObject* object : rendered) {
    SCOPED_TRACE(object->GetNameText());
    gfx::CRenderer* r = object->GetComponent<gfx::CRenderer>();
    EXPECT_TRUE(r->IsRegistered());
    EXPECT_NE(r->GetRenderData().mesh, nullptr);
    // The scene graph's zone test reads the entry's geometry group.
    ASSERT_NE(r->GetRenderData().geometryZoneGroup, nullptr);
    EXPECT_FALSE(r->GetRenderData().geometryZoneGroup->IsNoName());
    const std::string name = object->GetNameText();
    if (name.find("sky") == std::string::npos && name.find("canal") == std::string::npos &&
        name.find("pool") == std::string::npos) {
      ASSERT_FALSE(r->GetLightmapName().IsNoName());
      EXPECT_NE(renderer.FindTexture(r->GetLightmapName()), nullptr);
      EXPECT_TRUE(
          fs::exists(std::string("Data/textures/lightmaps/") + r->GetLightmapName().c_str()));
    }
  }
  EXPECT_FALSE(Logged("could not be read")) << Joined();
  EXPECT_FALSE(Logged("has not been loaded")) << Joined();

  // Rails of the zones are two-point trackers.
  for (const char* rail : {"line_diagonal_rail", "line_casino_rail"}) {
    obj::CGameObject* object = objects.GetGameObjectByName(CStringHash(rail));
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->GetComponent<lgc::CTracker>()->GetWaypointCount(), 2u);
  }
  objects.Clear();
  collision.Release();
}

TEST_F(CityLevelTest, StreetsHaveFloorsUnderfootAndWallsAlongside) {
  phy::CCollisionManager collision;
  ASSERT_TRUE(collision.Init(1.0f / 60.0f));
  obj::CGameObjectManager objects;
  obj::RegisterObjectComponentFactories(objects.componentFactories);
  phy::RegisterCollisionComponentFactories(objects.componentFactories);
  ASSERT_TRUE(objects.Init());
  ASSERT_TRUE(objects.LoadTemplates("Data/xml/common_templates.xml"));
  objects.LoadInstances("Data/xml/level1_collision_instances.xml", "", true);
  objects.ApplyQueuedRequests();  // enables the colliders: into the world
  obj::CGameObject* walls = objects.GetGameObjectByName(CStringHash("collision_city_environment"));
  obj::CGameObject* floor = objects.GetGameObjectByName(CStringHash("collision_city_floor"));
  ASSERT_NE(walls, nullptr);
  ASSERT_NE(floor, nullptr);
  EXPECT_EQ(walls->GetComponent<phy::CColliderMesh>()->GetGroup(), phy::kGroupWall);
  EXPECT_EQ(floor->GetComponent<phy::CColliderMesh>()->GetGroup(), phy::kGroupFloor);
  ASSERT_TRUE(floor->GetComponent<phy::CColliderMesh>()->HasContent()) << Joined();

  // Straight down from head height, the way a character finds its footing.
  struct SProbe {
    const char* where;
    float x, z, floorY;
  };
  const SProbe probes[] = {{"diagonal street", -60, 0, 0.0f},
                           {"avenue pavement", -20, -7.5f, 0.15f},
                           {"avenue quay", -20, 7, 0.15f},
                           {"square", 10, 15, 0.15f},
                           {"bar", 20, 25, 0.15f},
                           {"casino steps", 76, 0, 0.0f}};
  for (const SProbe& p : probes) {
    SCOPED_TRACE(p.where);
    btCollisionWorld::ClosestRayResultCallback down(btVector3(p.x, 3, p.z),
                                                    btVector3(p.x, -5, p.z));
    down.m_collisionFilterGroup = phy::kGroupCharacterGhost;
    down.m_collisionFilterMask = phy::kGroupFloor;
    collision.GetWorld()->rayTest(down.m_rayFromWorld, down.m_rayToWorld, down);
    ASSERT_TRUE(down.hasHit());
    EXPECT_NEAR(down.m_hitPointWorld.y(), p.floorY, 1e-3f);
  }
  // The canal has no floor: nobody walks on the water.
  btCollisionWorld::ClosestRayResultCallback canal(btVector3(-20, 3, 11), btVector3(-20, -5, 11));
  canal.m_collisionFilterMask = phy::kGroupFloor;
  collision.GetWorld()->rayTest(canal.m_rayFromWorld, canal.m_rayToWorld, canal);
  EXPECT_FALSE(canal.hasHit());

  // Across the street the facades stop rays; down the street nothing does until the
  // casino's front.
  plat::Vec3 hit;
  ASSERT_TRUE(collision.RayTest(plat::Vec3(-60, 2, 0), plat::Vec3(-60, 2, 30), hit));
  EXPECT_NEAR(hit.z, 9.0f, 1e-3f);
  ASSERT_TRUE(collision.RayTest(plat::Vec3(42, 2, 0), plat::Vec3(120, 2, 0), hit));
  EXPECT_NEAR(hit.x, 80.0f, 1e-3f);
  // The bar's door lets the player in from the square.
  EXPECT_FALSE(collision.RayTest(plat::Vec3(20, 1.5f, 15), plat::Vec3(20, 1.5f, 24), hit));
  objects.Clear();
  collision.Release();
}

// The vertices and triangles of a level mesh file (vertex type 8, indexed list).
struct SMeshData {
  std::vector<gfx::BITEXTURED_NORM_VERTEX> vertices;
  std::vector<uint16_t> indices;
};
SMeshData ReadCityMesh(const std::string& name) {
  const std::string bytes = ReadFile("Data/meshes/" + name);
  SMeshData mesh;
  if (bytes.size() < gfx::SMeshHeader::kSize) return mesh;
  gfx::SMeshHeader header;
  std::memcpy(header.bytes, bytes.data(), sizeof(header.bytes));
  const size_t vertexBytes = header.VertexCount() * sizeof(gfx::BITEXTURED_NORM_VERTEX);
  if (bytes.size() < sizeof(header.bytes) + vertexBytes + header.IndexCount() * 2u) return mesh;
  mesh.vertices.resize(header.VertexCount());
  std::memcpy(mesh.vertices.data(), bytes.data() + sizeof(header.bytes), vertexBytes);
  mesh.indices.resize(header.IndexCount());
  std::memcpy(mesh.indices.data(), bytes.data() + sizeof(header.bytes) + vertexBytes,
              mesh.indices.size() * 2);
  return mesh;
}

float Dot3(const plat::Vec3& a, const plat::Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
plat::Vec3 Cross3(const plat::Vec3& a, const plat::Vec3& b) {
  return plat::Vec3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

TEST_F(CityLevelTest, SurfacesFaceWhereTheyAreSeenFrom) {
  for (const std::string& name :
       Attributes("Data/xml/level1_scene_instances.xml", "key", "value", "mesh")) {
    SCOPED_TRACE(name);
    const SMeshData mesh = ReadCityMesh(name);
    ASSERT_FALSE(mesh.indices.empty());
    // Front faces wind clockwise seen from the side their normal points to, and
    // every lightmap coordinate lies inside the lightmap.
    for (size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
      const auto& a = mesh.vertices[mesh.indices[i]];
      const auto& b = mesh.vertices[mesh.indices[i + 1]];
      const auto& c = mesh.vertices[mesh.indices[i + 2]];
      ASSERT_GT(Dot3(Cross3(c.position - a.position, b.position - a.position), a.normal), 0.0f)
          << "triangle " << i / 3;
    }
    for (const auto& v : mesh.vertices) {
      ASSERT_GE(v.uv1.x, 0.0f);
      ASSERT_LE(v.uv1.x, 1.0f);
      ASSERT_GE(v.uv1.y, 0.0f);
      ASSERT_LE(v.uv1.y, 1.0f);
    }
    const bool street = name.find("_street") != std::string::npos;
    const bool sky = name.find("sky") != std::string::npos;
    const bool facade =
        name.find("city_diagonal_brick") == 0 || name.find("city_diagonal_plaster") == 0;
    for (const auto& v : mesh.vertices) {
      if (street) {
        ASSERT_EQ(v.normal.y, 1.0f);
      }
      if (sky) {  // seen from inside
        ASSERT_LT(Dot3(v.normal, v.position), 0.0f);
      }
      // The fronts along the street (z = -9 and 9) look at the street.
      if (facade && std::fabs(std::fabs(v.position.z) - 9.0f) < 1e-3f &&
          std::fabs(v.normal.z) > 0.9f) {
        ASSERT_LT(v.normal.z * v.position.z, 0.0f);
      }
    }
  }
}

TEST_F(CityLevelTest, EveryWalkablePlaceLiesInTheTriggerOfItsZone) {
  struct SBox {
    std::string name;
    float x, y, z, width, height, length;
  };
  std::vector<SBox> boxes;
  utl::CXmlFile xml;
  ASSERT_EQ(xml.Load("Data/xml/level1_trigger_instances.xml"), utl::CXmlFile::EResult::Ok);
  for (auto* object = xml.Document().first_node("GameObject"); object;
       object = object->next_sibling("GameObject")) {
    SBox box{object->first_attribute("name")->value(), 0, 0, 0, 0, 0, 0};
    for (auto* component = object->first_node("Component"); component;
         component = component->next_sibling()) {
      for (auto* key = component->first_node("key"); key; key = key->next_sibling("key")) {
        auto f = [key](const char* a) { return std::stof(key->first_attribute(a)->value()); };
        if (std::string(key->first_attribute("name")->value()) == "position") {
          box.x = f("X");
          box.y = f("Y");
          box.z = f("Z");
        } else {
          box.width = f("width");
          box.height = f("height");
          box.length = f("length");
        }
      }
    }
    boxes.push_back(box);
  }
  ASSERT_EQ(boxes.size(), 5u);
  struct SPlace {
    float x, y, z;
    const char* zone;
  };
  const SPlace places[] = {
      {-75, 1, 0, "diagonal"}, {-45, 1, -7.5f, "diagonal"}, {-35, 1, 7, "avenue"},
      {-5, 1, -7, "avenue"},   {20, 1, 25, "bar"},          {5, 1, -12, "square"},
      {35, 1, 15, "square"},   {45, 1, 0, "casino"},        {78, 1, 0, "casino"}};
  for (const SPlace& p : places) {
    std::vector<std::string> inside;
    for (const SBox& b : boxes)
      if (std::fabs(p.x - b.x) < b.width / 2 && std::fabs(p.y - b.y) < b.height / 2 &&
          std::fabs(p.z - b.z) < b.length / 2)
        inside.push_back(b.name);
    ASSERT_EQ(inside.size(), 1u) << p.x << " " << p.z;
    EXPECT_EQ(inside[0], std::string("trigger_zone_") + p.zone);
  }
}

// The value of `name = <number>` in a script's text (0 when it is not there).
float ScriptNumber(const std::string& text, const std::string& name) {
  const size_t at = text.find("\n" + name + " = ");
  return at == std::string::npos ? 0.0f : std::stof(text.substr(at + name.size() + 4));
}

// Where the rail camera stands for a target point, by the rails' rule: the target
// projected onto the rail in x-z, clamped to the rail's ends, and moved off the rail
// against the rail's side vector by as much as the target is farther than `reach`.
struct SRailCamera {
  float ax, ay, az, bx, bz;
  void At(float px, float py, float pz, float reach, float& ex, float& ez) const {
    const float dx = bx - ax, dz = bz - az;
    const float t = ((px - ax) * dx + (pz - az) * dz) / (dx * dx + dz * dz);
    const float qx = ax + t * dx, qz = az + t * dz;
    ex = ax + std::min(1.0f, std::max(0.0f, t)) * dx;
    ez = az + std::min(1.0f, std::max(0.0f, t)) * dz;
    const float d = std::sqrt((px - qx) * (px - qx) + (py - ay) * (py - ay) + (pz - qz) * (pz - qz));
    if (d < reach) return;
    const float length = std::sqrt(dx * dx + dz * dz);
    const float sideX = dz / length, sideZ = -dx / length;  // up x (dx, 0, dz), normalised
    ex -= sideX * (d - reach);
    ez -= sideZ * (d - reach);
  }
};

SRailCamera Rail(const char* path) {
  const std::vector<std::string> x = Attributes(path, "waypoint", "positionX"),
                                 y = Attributes(path, "waypoint", "positionY"),
                                 z = Attributes(path, "waypoint", "positionZ");
  if (x.size() != 2 || y.size() != 2 || z.size() != 2) return {0, 0, 0, 0, 0};
  // Attributes walks the file from its end.
  return {std::stof(x[1]), std::stof(y[1]), std::stof(z[1]), std::stof(x[0]), std::stof(z[0])};
}

// Wherever the player walks, the rail camera of his zone looks at him from the side,
// a medium distance away: never down on him so steeply that the street's houses and
// the sky leave the frame, never so close or so far that the shot jumps between a
// close-up and a wide view, and never with his feet below the frame.
TEST_F(CityLevelTest, TheRailCamerasKeepThePlayerAndTheStreetInView) {
  const std::string script = ReadFile("Data/scripts/city_level.lua");
  const float reach = ScriptNumber(script, "CAMERA_RAIL_MAX_DISTANCE");
  ASSERT_GT(reach, 0.0f);
  EXPECT_NE(script.find("CAMERA_RAIL = \"line_main_street\""), std::string::npos);
  const std::vector<std::string> heights = Attributes(
      "Data/xml/loading_camera_templates.xml", "key", "value", "target_height");
  const std::vector<std::string> fovs =
      Attributes("Data/xml/loading_camera_templates.xml", "key", "value", "fov");
  ASSERT_EQ(heights.size(), 1u);
  ASSERT_EQ(fovs.size(), 1u);
  const float targetHeight = std::stof(heights[0]), halfFov = std::stof(fovs[0]) * 0.5f;

  struct SArea {
    const char* rail;
    float x0, x1, z0, z1;  // where the player can stand
  };
  const SArea areas[] = {
      {"Data/xml/level1_line_instances.xml", -79.5f, 79.5f, -8.6f, 8.6f},
      {"Data/xml/level1_line_instances.xml", 0.5f, 39.5f, -8.6f, 19.6f},  // the square
      {"Data/xml/diagonal/line_instances.xml", -79.5f, -40, -8.6f, 8.6f},
      {"Data/xml/avenue/line_instances.xml", -40, 0, -8.6f, 7.4f},
      {"Data/xml/square/line_instances.xml", 0.5f, 39.5f, -8.6f, 19.6f},
      {"Data/xml/casino/line_instances.xml", 40, 79.5f, -8.6f, 8.6f},
      {"Data/xml/bar/line_instances.xml", 12.7f, 27.3f, 20.7f, 27.6f},  // before the counter
  };
  constexpr float kDegrees = 180.0f / 3.14159265f;
  for (const SArea& area : areas) {
    SCOPED_TRACE(area.rail);
    const SRailCamera rail = Rail(area.rail);
    ASSERT_NE(rail.ax, rail.bx) << "a rail of two points along the street";
    float steepest = 0.0f, nearest = 1e9f, farthest = 0.0f, lowestFeet = 0.0f;
    for (float x = area.x0; x <= area.x1; x += 0.5f)
      for (float z = area.z0; z <= area.z1; z += 0.2f) {
        const float y = std::fabs(z) < 6.0f ? 0.0f : 0.15f;
        const float ty = y + targetHeight;
        float ex = 0, ez = 0;
        rail.At(x, ty, z, reach, ex, ez);
        const float across = std::hypot(x - ex, z - ez);
        const float down = std::atan2(rail.ay - ty, across) * kDegrees;
        steepest = std::max(steepest, down);
        nearest = std::min(nearest, across);
        farthest = std::max(farthest, across);
        lowestFeet = std::max(lowestFeet, std::atan2(rail.ay - y, across) * kDegrees - down);
      }
    EXPECT_LT(steepest, halfFov) << "the top of the frame stays above the horizon";
    EXPECT_GT(nearest, 3.5f);
    EXPECT_LT(farthest, reach + 1.0f);
    EXPECT_LT(lowestFeet, halfFov * 0.6f) << "the feet stay well inside the frame";
  }
}

// At the start of play the rail camera looks across the south pavement at the
// player: no street lamp and no fighter may stand on that line and hide him.
TEST_F(CityLevelTest, NothingStandsBetweenTheRailCameraAndThePlayerAtTheStart) {
  auto position = [](const char* path) {
    std::vector<float> p;
    for (const char* axis : {"X", "Y", "Z"})
      for (const std::string& v : Attributes(path, "key", axis, "position"))
        p.push_back(std::stof(v));
    return p;
  };
  const std::vector<float> start = position("Data/xml/loading_player_instances.xml");
  ASSERT_EQ(start.size(), 3u);
  // The level's marker of the start is where the player is.
  EXPECT_EQ(Attributes("Data/xml/level1_common_instances.xml", "key", "X", "position").back(),
            Attributes("Data/xml/loading_player_instances.xml", "key", "X", "position").back());
  const float reach =
      ScriptNumber(ReadFile("Data/scripts/city_level.lua"), "CAMERA_RAIL_MAX_DISTANCE");
  float ex = 0, ez = 0;
  Rail("Data/xml/level1_line_instances.xml").At(start[0], start[1] + 1.2f, start[2], reach, ex, ez);

  struct SObstacle {
    std::string what;
    float x, z, radius;
  };
  std::vector<SObstacle> obstacles;
  // A lamp's head reaches 0.9 m from its post towards the street, where its light is.
  const std::vector<std::string> ids =
      Attributes("Data/xml/level1_light_instances.xml", "key", "value", "light_id");
  std::vector<std::string> lx = Attributes("Data/xml/level1_light_instances.xml", "key", "X",
                                           "position"),
                           lz = Attributes("Data/xml/level1_light_instances.xml", "key", "Z",
                                           "position");
  ASSERT_EQ(ids.size(), lx.size());
  for (size_t i = 0; i < ids.size(); ++i)
    if (ids[i].rfind("light_street_", 0) == 0)
      obstacles.push_back({ids[i], std::stof(lx[i]), std::stof(lz[i]), 1.2f});
  lx = Attributes("Data/xml/diagonal/character_instances.xml", "key", "X", "position");
  lz = Attributes("Data/xml/diagonal/character_instances.xml", "key", "Z", "position");
  for (size_t i = 0; i < lx.size(); ++i)
    obstacles.push_back({"fighter " + std::to_string(i), std::stof(lx[i]), std::stof(lz[i]), 0.6f});
  ASSERT_GT(obstacles.size(), 10u);

  // Seen from above: the line from the camera to the player, and how near each
  // obstacle comes to it (the player is about 0.6 m wide).
  const float dx = start[0] - ex, dz = start[2] - ez, length2 = dx * dx + dz * dz;
  ASSERT_GT(length2, 1.0f);
  for (const SObstacle& o : obstacles) {
    const float t = std::clamp(((o.x - ex) * dx + (o.z - ez) * dz) / length2, 0.0f, 1.0f);
    const float gap = std::hypot(o.x - (ex + t * dx), o.z - (ez + t * dz));
    EXPECT_GT(gap, o.radius + 0.3f) << o.what << " hides the player at the start";
  }
}

// Keeps the zone changes it is handed.
class CZoneLog : public evn::IEventListener {
public:
  void HandleEvent(evn::IEvent* event) override {
    if (auto* change = dynamic_cast<evn::CEventZoneChange*>(event))
      seen.emplace_back(change->zone, change->zonePrev);
  }
  std::vector<std::pair<int, int>> seen;
};

TEST_F(CityLevelTest, TheLevelScriptStartsPlayAndFollowsThePlayerFromZoneToZone) {
  evn::InitGameEventTypes();
  lgc::CScriptManager host;
  ASSERT_TRUE(host.Init());
  evn::CEventManager events;
  ASSERT_TRUE(events.Init());
  evn::RegisterGameEventFactories(events.factories);
  phy::CCollisionManager collision;
  ASSERT_TRUE(collision.Init(1.0f / 60.0f));
  host.AddBindingRegistrar(&evn::RegisterEventBindings);
  host.AddBindingRegistrar(&phy::RegisterCollisionBindings);
  CZoneLog zones;
  events.AddListener(&zones, SH_OnZoneChange);
  ASSERT_TRUE(host.LoadScripts());  // the game's own list
  EXPECT_FALSE(Logged("city_level")) << Joined();

  // The lights' zone globals are the scene graph's game zones.
  const char* const globals[] = {"ZONE_DIAGONAL", "ZONE_AVENUE", "ZONE_BAR", "ZONE_SQUARE",
                                 "ZONE_CASINO"};
  for (int z = 0; z < 5; ++z) EXPECT_EQ(host.GetGlobalInt(globals[z]), z);
  for (const std::string& global :
       Attributes("Data/xml/level1_light_instances.xml", "key", "value", "map_zone_id"))
    EXPECT_TRUE(std::find(std::begin(globals), std::end(globals), global) != std::end(globals))
        << global;

  ASSERT_TRUE(host.RunString("OnInitLoading()", "test")) << Joined();
  EXPECT_TRUE(collision.IsPaused());
  // The game's HUD lifts its black screen when play begins; here a stand-in takes the call.
  ASSERT_TRUE(host.RunString("lifted = 0\n"
                             "function GetHUD() return { HideBlackScreen = function() lifted = lifted + 1 end, HideCinematicMargins = function() end } end",
                             "test"));
  ASSERT_TRUE(host.RunString("OnInitGame()", "test")) << Joined();
  EXPECT_EQ(host.GetGlobalInt("lifted"), 1);
  EXPECT_FALSE(collision.IsPaused());
  EXPECT_EQ(host.GetGlobalInt("main_zone"), 0);
  EXPECT_EQ(host.GetGlobalInt("FINALSCENE"), 4);

  // Every zone trigger of the level has its handler.
  for (const std::string& trigger :
       Attributes("Data/xml/level1_trigger_instances.xml", "GameObject", "name"))
    EXPECT_TRUE(host.HasGlobalFunction(("OnEnter_" + trigger).c_str())) << trigger;
  ASSERT_TRUE(
      host.RunString("OnEnter_trigger_zone_avenue({ collider_name_dst = 'player' })\n"
                     "OnEnter_trigger_zone_square({ collider_name_dst = 'player' })\n"
                     "OnEnter_trigger_zone_casino({ collider_name_dst = 'zombie_3' })\n"
                     "OnEnter_trigger_zone_square({ collider_name_dst = 'player' })\n",
                     "test"))
      << Joined();
  EXPECT_EQ(host.GetGlobalInt("main_zone"), 3);
  // The camera keeps the street's rail from zone to zone, takes the bar's own inside
  // the bar and the street's again outside.
  const auto onRail = [&host](const char* rail) {
    host.RunString(
        (std::string("on_rail = (camera_rail == '") + rail + "') and 1 or 0").c_str(), "test");
    return host.GetGlobalInt("on_rail") == 1;
  };
  EXPECT_TRUE(onRail("line_main_street"));
  ASSERT_TRUE(host.RunString("OnEnter_trigger_zone_bar({ collider_name_dst = 'player' })", "test"));
  EXPECT_TRUE(onRail("line_bar_rail"));
  ASSERT_TRUE(
      host.RunString("OnEnter_trigger_zone_square({ collider_name_dst = 'player' })", "test"));
  EXPECT_TRUE(onRail("line_main_street"));
  events.Update(0.0f);
  const std::vector<std::pair<int, int>> expected = {{0, -1}, {1, 0}, {3, 1}, {2, 3}, {3, 2}};
  EXPECT_EQ(zones.seen, expected);
  events.RemoveListener(SH_OnZoneChange, &zones);
  events.Clear();
  collision.Release();
  host.Release();
}

}  // namespace
}  // namespace vd
