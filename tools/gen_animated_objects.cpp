// Writes the city level's gates: the two particle walls that close the way on from
// the diagonal street (until its fighters are dead) and the back street into the
// casino, and the level's animated objects: the lever in the square that opens the
// back street, with the handle it swings, the box in which the player is offered
// its use, and the script that tells the player where to stand, where to look and
// what to play. The same bytes on every run.
//
// Usage: gen_animated_objects [root folder]   (default "."; files go under <root>/Data/)
//
// Files: Data/meshes/lever_post.mesh, Data/meshes/lever_handle.mesh,
// Data/xml/level1_animatedobjects_templates.xml,
// Data/xml/level1_animatedobjects_instances.xml,
// Data/scripts/AnimatedObjects/<object>.lua for each usable object and
// Data/xml/level1_particle_instances.xml (the walls; their templates are in
// level1_particle_templates.xml).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "engine/render/buffers/MeshFile.h"
#include "engine/render/buffers/VertexTypes.h"
#include "platform/image/ImageWriter.h"
#include "tools/city_layout.h"
#include "tools/gen_mesh_file.h"
#include "tools/enemy_effect_objects.h"

namespace {

using vd::gfx::BITEXTURED_NORM_VERTEX;
using V3 = plat::Vec3;

// The city's wood (level1_materials.xml, written by gen_city).
constexpr int kWoodMaterial = 6;

bool g_ok = true;

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  if (!plat::image::WriteFileBytes(path, bytes)) {
    std::fprintf(stderr, "gen_animated_objects: cannot write %s\n", path.c_str());
    g_ok = false;
  }
}

void WriteText(const std::string& path, const std::string& text) {
  WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string Num(float v) {
  char buffer[32];
  std::snprintf(buffer, sizeof(buffer), "%g", static_cast<double>(v));
  return std::strcmp(buffer, "-0") == 0 ? "0" : buffer;
}

// Boxes of one material, textured by world metres; front faces wind clockwise.
struct Mesh {
  std::vector<BITEXTURED_NORM_VERTEX> vertices;
  std::vector<uint16_t> indices;
  V3 lo{1e9f, 1e9f, 1e9f}, hi{-1e9f, -1e9f, -1e9f};

  void Quad(const V3& a, const V3& b, const V3& c, const V3& d, const V3& n) {
    const uint16_t base = static_cast<uint16_t>(vertices.size());
    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    int i = 0;
    for (const V3* p : {&a, &b, &c, &d}) {
      BITEXTURED_NORM_VERTEX v;
      v.position = *p;
      v.normal = n;
      v.uv0 = plat::Vec2(uv[i][0] * 0.5f, uv[i][1] * 0.5f);
      v.uv1 = plat::Vec2(0.5f, 0.5f);
      vertices.push_back(v);
      lo = V3(std::fmin(lo.x, p->x), std::fmin(lo.y, p->y), std::fmin(lo.z, p->z));
      hi = V3(std::fmax(hi.x, p->x), std::fmax(hi.y, p->y), std::fmax(hi.z, p->z));
      ++i;
    }
    for (int k : {0, 1, 2, 0, 2, 3}) indices.push_back(static_cast<uint16_t>(base + k));
  }
  // All six faces, facing out.
  void Box(float x0, float y0, float z0, float x1, float y1, float z1) {
    Quad(V3(x1, y1, z0), V3(x0, y1, z0), V3(x0, y0, z0), V3(x1, y0, z0), V3(0, 0, -1));
    Quad(V3(x0, y1, z1), V3(x1, y1, z1), V3(x1, y0, z1), V3(x0, y0, z1), V3(0, 0, 1));
    Quad(V3(x1, y1, z1), V3(x1, y1, z0), V3(x1, y0, z0), V3(x1, y0, z1), V3(1, 0, 0));
    Quad(V3(x0, y1, z0), V3(x0, y1, z1), V3(x0, y0, z1), V3(x0, y0, z0), V3(-1, 0, 0));
    Quad(V3(x0, y1, z0), V3(x1, y1, z0), V3(x1, y1, z1), V3(x0, y1, z1), V3(0, 1, 0));
    Quad(V3(x0, y0, z1), V3(x1, y0, z1), V3(x1, y0, z0), V3(x0, y0, z0), V3(0, -1, 0));
  }
};

void WriteMesh(const std::string& path, const Mesh& m) {
  WriteBytes(path, gen::MeshFileBytes(m.vertices, m.indices));
}

// A post on a foot, facing +z: the player pulls it from in front.
Mesh LeverPost() {
  Mesh m;
  m.Box(-0.3f, 0.0f, -0.2f, 0.3f, 0.15f, 0.2f);
  m.Box(-0.08f, 0.15f, -0.08f, 0.08f, 1.1f, 0.08f);
  return m;
}

// The handle, pivoting on the post's top: it points west until pulled.
Mesh LeverHandle() {
  Mesh m;
  m.Box(-0.7f, -0.04f, -0.04f, 0.0f, 0.04f, 0.04f);
  m.Box(-0.75f, -0.07f, -0.07f, -0.6f, 0.07f, 0.07f);
  return m;
}

const char kHeader[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- Written by tools/gen_animated_objects. -->\n";

std::string Aabb(const Mesh& m) {
  return "    <key name=\"AABB\" MinX=\"" + Num(m.lo.x) + "\" MinY=\"" + Num(m.lo.y) +
         "\" MinZ=\"" + Num(m.lo.z) + "\" MaxX=\"" + Num(m.hi.x) + "\" MaxY=\"" + Num(m.hi.y) +
         "\" MaxZ=\"" + Num(m.hi.z) + "\"/>\n";
}

std::string Templates(const Mesh& post, const Mesh& handle) {
  std::string s = kHeader;
  s += "<!-- A usable object's pieces: drawn lit by the lamps, without a lightmap (they move). "
       "-->\n";
  for (auto [name, mesh, file] :
       {std::make_tuple("city_lever_post", &post, "lever_post.mesh"),
        std::make_tuple("city_lever_handle", &handle, "lever_handle.mesh")}) {
    s += std::string("<GameObjectTemplate name=\"") + name + "\">\n";
    s += "  <Component name=\"CTransform\"/>\n  <Component name=\"CRenderer\">\n";
    s += "    <key name=\"shader\" value=\"static_mesh\"/>\n";
    s += "    <key name=\"technique\" value=\"static_mesh_tech\"/>\n";
    s += std::string("    <key name=\"mesh\" value=\"") + file + "\"/>\n";
    s += "    <key name=\"material\" value=\"" + std::to_string(kWoodMaterial) + "\"/>\n";
    s += Aabb(*mesh);
    s += "  </Component>\n</GameObjectTemplate>\n";
  }
  s += "<!-- Where the player is offered the use of the object of the same name without\n"
       "     \"trigger_use_\": the level's script sends the offer. -->\n"
       "<GameObjectTemplate name=\"city_use_trigger\">\n"
       "  <Component name=\"CTransform\"/>\n  <Component name=\"CTrigger\"/>\n"
       "</GameObjectTemplate>\n";
  return s;
}

struct Usable {
  const char* name;
  V3 position;  // the object faces +z
  city::EZone zone;
  V3 standPoint;  // in the object's frame
  V3 lookAt;      // in the object's frame
  const char* playerAnimation;
  const char* objectAnimation;
};

// The lever beside the street at the square's east end, facing the street; it opens
// the back street's wall into the casino.
const Usable kUsables[] = {
    {"lever_backstreet",
     V3(city::kZoneRects[city::kSquare].x1 - 4.0f, 0.0f, -city::kStreetHalfWidth + 0.6f),
     city::kSquare, V3(0.0f, 0.0f, 1.1f), V3(0.0f, 1.0f, 0.0f), "cover_in_01", "lever_pull"}};

std::string Position(const V3& p) {
  return "<key name=\"position\" X=\"" + Num(p.x) + "\" Y=\"" + Num(p.y) + "\" Z=\"" + Num(p.z) +
         "\"/>";
}

std::string Instances() {
  std::string s = kHeader;
  for (const Usable& u : kUsables) {
    const std::string zone = std::string("zone_") + city::kZoneNames[u.zone];
    const std::string name = u.name;
    s += "<GameObject name=\"" + name + "\" GameObjectTemplate=\"city_lever_post\">\n";
    s += "  <Component name=\"CTransform\">\n    " + Position(u.position) + "\n  </Component>\n";
    s += "  <Component name=\"CRenderer\"><key name=\"geometry_zone_group_id\" value=\"" + zone +
         "\"/></Component>\n</GameObject>\n";
    s += "<GameObject name=\"" + name + "_handle\" GameObjectTemplate=\"city_lever_handle\">\n";
    s += "  <Component name=\"CTransform\">\n    " +
         Position(V3(u.position.x, u.position.y + 1.0f, u.position.z)) + "\n  </Component>\n";
    s += "  <Component name=\"CRenderer\"><key name=\"geometry_zone_group_id\" value=\"" + zone +
         "\"/></Component>\n</GameObject>\n";
    s += "<GameObject name=\"trigger_use_" + name + "\" GameObjectTemplate=\"city_use_trigger\">\n";
    s += "  <Component name=\"CTransform\">\n    " +
         Position(V3(u.position.x, 1.5f, u.position.z + 1.0f)) + "\n  </Component>\n";
    s += "  <Component name=\"CTrigger\">\n"
         "    <key name=\"size\" width=\"4\" height=\"3\" length=\"4\"/>\n  </Component>\n"
         "</GameObject>\n";
  }
  return s;
}

std::string UseScript(const Usable& u) {
  std::string s = "-- Written by tools/gen_animated_objects: what the player does with " +
                  std::string(u.name) + ".\n";
  s += "-- Where he stands and what he faces, in the object's own frame.\n";
  s += "player_relative_position_x = " + Num(u.standPoint.x) + "\n";
  s += "player_relative_position_y = " + Num(u.standPoint.y) + "\n";
  s += "player_relative_position_z = " + Num(u.standPoint.z) + "\n";
  s += "player_lookat_position_x = " + Num(u.lookAt.x) + "\n";
  s += "player_lookat_position_y = " + Num(u.lookAt.y) + "\n";
  s += "player_lookat_position_z = " + Num(u.lookAt.z) + "\n";
  s += std::string("player_animation = \"") + u.playerAnimation + "\"\n";
  s += std::string("object_animation = \"") + u.objectAnimation + "\"\n";
  return s;
}

// A wall across the street where one zone meets the next: a sheet of smoke in the
// plane x = const (the templates emit over z -5..5, y 0..3), running from the start.
struct Wall {
  const char* id;
  float x;
};
const Wall kWalls[] = {{"ps_gating_avenue_inst", city::kZoneRects[city::kAvenue].x0},
                       {"ps_gating_backstreet_inst", city::kZoneRects[city::kCasino].x0}};

std::string ParticleInstances() {
  std::string s = kHeader;
  s += "<!-- The gating walls: the level's scripts fade each out by its id once its way is\n"
       "     open. -->\n";
  for (const Wall& w : kWalls) {
    const std::string id = w.id, emitter = id + "_e";
    s += "<GameObject name=\"" + id + "\" GameObjectTemplate=\"ps_" + id + "\">\n";
    s += "  <Component name=\"CTransform\">" + Position(V3(w.x, 0.0f, 0.0f)) + "</Component>\n";
    s += "  <Component name=\"CRenderer\"><key name=\"mesh\" value=\"" + emitter +
         "\"/></Component>\n";
    s += "  <Component name=\"CParticleSubSystemSimple\"><key name=\"subparticlesystem_id\" "
         "value=\"" +
         emitter + "\"/></Component>\n";
    s += "  <Component name=\"CParticleSystemSimple\"><key name=\"particlesystem_id\" value=\"" +
         id + "\"/><key name=\"subsystem\" value=\"" + emitter + "\"/></Component>\n";
    s += "</GameObject>\n";
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string root = std::string(argc > 1 ? argv[1] : ".") + "/Data";
  const Mesh post = LeverPost(), handle = LeverHandle();
  WriteMesh(root + "/meshes/lever_post.mesh", post);
  WriteMesh(root + "/meshes/lever_handle.mesh", handle);
  WriteText(root + "/xml/level1_animatedobjects_templates.xml",
            Templates(post, handle) + (enemy_effects::kTemplates + 1));
  WriteText(root + "/xml/level1_animatedobjects_instances.xml",
            Instances() + (enemy_effects::kInstances + 1));
  WriteText(root + "/xml/level1_particle_instances.xml", ParticleInstances());
  for (const Usable& u : kUsables)
    WriteText(root + "/scripts/AnimatedObjects/" + u.name + ".lua", UseScript(u));
  if (g_ok)
    std::printf("gen_animated_objects: the level's animated objects written under %s\n",
                root.c_str());
  return g_ok ? 0 : 1;
}
