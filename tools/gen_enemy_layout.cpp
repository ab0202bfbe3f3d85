// Writes the city's enemies: each zone's character instances
// (Data/xml/<zone>/character_instances.xml) with the zone's detour tracker, the
// patrol trackers its enemies walk, and its zombies and mutants by group.
//
// Groups: zone n (1 diagonal .. 5 casino) has group n * 10 + 1 for its zombies and
// n * 10 + 2 for its mutants; the level's enemy script switches them on as the
// player reaches the zone.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/city_layout.h"

namespace {

using namespace city;

bool g_ok = true;

struct V3 {
  float x, y, z;
};

std::string Num(float v) {
  char buffer[32];
  std::snprintf(buffer, sizeof(buffer), "%g", static_cast<double>(v));
  return std::strcmp(buffer, "-0") == 0 ? "0" : buffer;
}

void WriteText(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) {
    std::fprintf(stderr, "gen_enemy_layout: cannot write %s\n", path.c_str());
    g_ok = false;
  }
}

const char* kHeader =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- Written by tools/gen_enemy_layout. -->\n";

std::string Tracker(const std::string& name, const std::vector<V3>& points) {
  std::string s = "<GameObject name=\"" + name + "\" GameObjectTemplate=\"city_tracker\">\n";
  s += "  <Component name=\"CTracker\">\n    <key name=\"waypoints\">\n";
  for (const V3& p : points)
    s += "      <waypoint positionX=\"" + Num(p.x) + "\" positionY=\"" + Num(p.y) +
         "\" positionZ=\"" + Num(p.z) + "\"/>\n";
  return s + "    </key>\n  </Component>\n</GameObject>\n";
}

// What an enemy does: its pass-time list, how it enters the level, and the
// tracker it walks (patrol lists only).
enum ERoutine { kIdle, kPatrol, kFeed, kWake, kWaterJump1, kWaterJump2, kWaterJump3, kArgue };

struct Enemy {
  const char* kind;  // "zombie" or "mutant"
  V3 position;
  float yaw;  // radians; 0 looks along +z
  ERoutine routine;
  int patrol;  // index of the zone's patrol tracker, -1 for none
};

struct Zone {
  std::vector<std::vector<V3>> patrols;
  std::vector<Enemy> enemies;
};

constexpr float kPi = 3.14159265f;

// The enemies stand in the streets between the house fronts, in the bar's room and
// around the square's fountain; the avenue's mutants wait in the canal's water.
Zone Layout(int zone) {
  Zone z;
  const float y = zone == kBar ? kBarFloor : 0.0f;
  switch (zone) {
    case kDiagonal:
      z.patrols = {{V3{-58, y, -4}, V3{-48, y, -4}, V3{-48, y, 2}}};
      z.enemies = {{"zombie", {-60, y, 3}, kPi, kIdle, -1},
                   {"zombie", {-55, y, -4}, -kPi / 2, kPatrol, 0},
                   {"zombie", {-51, y, 1.5f}, -kPi / 2, kWake, -1},
                   {"zombie", {-45, y, -3}, kPi / 4, kFeed, -1}};
      break;
    case kAvenue:
      z.patrols = {{V3{-36, y, -3}, V3{-22, y, -3}}, {V3{-14, y, 3}, V3{-4, y, 3}, V3{-4, y, -4}}};
      z.enemies = {{"zombie", {-34, y, -3}, kPi / 2, kPatrol, 0},
                   {"zombie", {-27, y, 4}, kPi, kIdle, -1},
                   {"zombie", {-20, y, -1}, -kPi / 2, kWake, -1},
                   {"zombie", {-10, y, 3}, kPi / 2, kPatrol, 1},
                   {"zombie", {-6, y, -4.5f}, 0, kFeed, -1},
                   {"mutant", {-31, kCanalWater - 0.4f, 11}, kPi, kWaterJump1, -1},
                   {"mutant", {-17, kCanalWater - 0.4f, 11}, kPi, kWaterJump2, -1},
                   {"mutant", {-5, kCanalWater - 0.4f, 11}, kPi, kWaterJump3, -1}};
      break;
    case kBar:
      z.enemies = {{"zombie", {17, y, 26}, kPi / 2, kArgue, -1},
                   {"zombie", {19, y, 26}, -kPi / 2, kArgue, -1},
                   {"zombie", {24, y, 29}, kPi, kIdle, -1}};
      break;
    case kSquare:
      z.patrols = {{V3{6, y, -8}, V3{34, y, -8}, V3{34, y, 8}, V3{6, y, 8}}};
      z.enemies = {{"zombie", {6, y, -8}, kPi / 2, kPatrol, 0},
                   {"zombie", {12, y, 5}, kPi, kIdle, -1},
                   {"zombie", {16, y, -4}, 0, kFeed, -1},
                   {"zombie", {25, y, 4}, -kPi / 2, kWake, -1},
                   {"zombie", {28, y, -5}, kPi / 4, kIdle, -1},
                   {"zombie", {33, y, 2}, -kPi / 2, kWake, -1},
                   {"mutant", {15, y, 10}, kPi, kIdle, -1},
                   {"mutant", {30, y, -11}, 0, kIdle, -1}};
      break;
    case kCasino:
      z.patrols = {{V3{46, y, -4}, V3{66, y, -4}}, {V3{50, y, 4}, V3{72, y, 4}}};
      z.enemies = {{"zombie", {46, y, -4}, kPi / 2, kPatrol, 0},
                   {"zombie", {52, y, 2}, kPi, kWake, -1},
                   {"zombie", {58, y, -2}, -kPi / 2, kIdle, -1},
                   {"zombie", {63, y, 5}, kPi, kFeed, -1},
                   {"zombie", {70, y, -3}, -kPi / 2, kWake, -1},
                   {"mutant", {50, y, 4}, kPi / 2, kPatrol, 1},
                   {"mutant", {74, y, 0}, -kPi / 2, kIdle, -1}};
      break;
  }
  return z;
}

// The zone's detour points: the middle of the street at its two ends and on both
// sides, or the bar's four corners.
std::vector<V3> DetourPoints(int zone) {
  const Rect& r = kZoneRects[zone];
  if (zone == kBar)
    return {V3{r.x0 + 2, kBarFloor, r.z0 + 2}, V3{r.x1 - 2, kBarFloor, r.z0 + 2},
            V3{r.x1 - 2, kBarFloor, r.z1 - 2}, V3{r.x0 + 2, kBarFloor, r.z1 - 2}};
  const float xm = (r.x0 + r.x1) / 2;
  return {V3{r.x0 + 3, 0, kStreetSouth + 1}, V3{xm, 0, kStreetSouth + 1},
          V3{r.x1 - 3, 0, kStreetSouth + 1}, V3{r.x1 - 3, 0, kStreetNorth - 1},
          V3{xm, 0, kStreetNorth - 1},       V3{r.x0 + 3, 0, kStreetNorth - 1}};
}

std::string PlayListKey(const char* slot, int group, int id, const std::string& extra) {
  return std::string("    <key name=\"") + slot + "\" group=\"" + std::to_string(group) +
         "\" id=\"" + std::to_string(id) + "\"" + extra + "/>\n";
}

std::string EnemyObject(int zone, const std::string& name, const Enemy& e,
                        const std::string& patrolName) {
  const bool mutant = std::strcmp(e.kind, "mutant") == 0;
  const int group = (zone + 1) * 10 + (mutant ? 2 : 1);
  std::string s = "<GameObject name=\"" + name + "\" GameObjectTemplate=\"" + e.kind + "\">\n";
  s += "  <Component name=\"CTransform\">\n    <key name=\"position\" X=\"" + Num(e.position.x) +
       "\" Y=\"" + Num(e.position.y) + "\" Z=\"" + Num(e.position.z) +
       "\"/>\n    <key name=\"yaw\" value=\"" + Num(e.yaw) + "\"/>\n  </Component>\n";
  s += "  <Component name=\"CAnimator\">\n    <key name=\"animation_instance_name\" value=\"" + name +
       "\"/>\n  </Component>\n";
  s += "  <Component name=\"CBerserker\">\n";
  s += "    <key name=\"group\" value=\"" + std::to_string(group) + "\"/>\n";
  s += "    <key name=\"zone\" value=\"" + std::to_string(zone + 1) + "\"/>\n";
  s += "    <key name=\"target\" value=\"player\"/>\n";
  // Pass time: patrols walk their tracker, feeders feed, the rest stand about.
  switch (e.routine) {
    case kPatrol:
      s += PlayListKey("playlist_pass_time", 1, 2,
                       " tracker=\"" + patrolName + "\" tracker_cycle=\"" +
                           (mutant ? "loop" : "ping_pong") + "\" floor_collision=\"1\"" +
                           " wall_collision=\"1\"");
      break;
    case kFeed:
      s += PlayListKey("playlist_pass_time", 1, 3, " floor_collision=\"1\" wall_collision=\"1\"");
      break;
    default:
      s += PlayListKey("playlist_pass_time", 1, 1, " floor_collision=\"1\" wall_collision=\"1\"");
      break;
  }
  // How it enters: waking from the ground, out of the water, or already standing.
  switch (e.routine) {
    case kWake:
      s += PlayListKey("playlist_init", 2, 1, " static=\"1\" floor_collision=\"1\" wall_collision=\"1\"");
      break;
    case kWaterJump1:
    case kWaterJump2:
    case kWaterJump3:
      s += PlayListKey("playlist_init", 2, 1 + (e.routine - kWaterJump1),
                       " static=\"0\" floor_collision=\"0\" wall_collision=\"0\"");
      break;
    default:
      s += PlayListKey("playlist_init", 2, 2, " floor_collision=\"1\" wall_collision=\"1\"");
      break;
  }
  if (e.routine == kArgue)
    s += PlayListKey("playlist_sequence1", 3, 1,
                     " seq_name=\"bar_discussion\" loop=\"1\" lock=\"1\" floor_collision=\"1\""
                     " wall_collision=\"1\"");
  return s + "  </Component>\n</GameObject>\n";
}

// --- Grenade throwers and the boss ------------------------------------------------------

// The sill of an upper-floor window of the north houses' fronts (z 9): the facades
// put a window every 4 m, centred on x = 4k + 2, with its sill 4.81 m up. The
// mutants there crouch on the sill facing the street and throw their grenades down
// into it from their pass-time list (mutant play list 1/4); they never come down
// to fight.
constexpr float kUpperSill = 4.85f, kFacadeNorth = 9.0f;

std::string WindowMutant(int zone, int number, float x) {
  const int group = (zone + 1) * 10 + 2;
  const std::string name =
      std::string("mutant_") + kZoneNames[zone] + "_window_" + (number < 10 ? "0" : "") +
      std::to_string(number);
  std::string s = "<GameObject name=\"" + name + "\" GameObjectTemplate=\"mutant\">\n";
  s += "  <Component name=\"CTransform\">\n    <key name=\"position\" X=\"" + Num(x) + "\" Y=\"" +
       Num(kUpperSill) + "\" Z=\"" + Num(kFacadeNorth - 0.3f) +
       "\"/>\n    <key name=\"yaw\" value=\"" + Num(kPi) + "\"/>\n  </Component>\n";
  s += "  <Component name=\"CAnimator\">\n    <key name=\"animation_instance_name\" value=\"" + name +
       "\"/>\n  </Component>\n";
  s += "  <Component name=\"CBerserker\">\n";
  s += "    <key name=\"attacker\" value=\"0\"/>\n";
  s += "    <key name=\"group\" value=\"" + std::to_string(group) + "\"/>\n";
  s += "    <key name=\"zone\" value=\"" + std::to_string(zone + 1) + "\"/>\n";
  s += "    <key name=\"target\" value=\"player\"/>\n";
  s += PlayListKey("playlist_pass_time", 1, 4,
                   " static=\"1\" floor_collision=\"0\" wall_collision=\"0\"");
  s += PlayListKey("playlist_init", 2, 4,
                   " static=\"1\" floor_collision=\"0\" wall_collision=\"0\"");
  return s + "  </Component>\n</GameObject>\n";
}

std::string WindowMutants(int zone) {
  std::string s;
  if (zone == kDiagonal) s += WindowMutant(zone, 1, -46.0f);
  if (zone == kCasino) s += WindowMutant(zone, 1, 58.0f);
  return s;
}

// The boss waits under the casino's canopy at the street's end, facing the way the
// player comes; his group (53) is switched on when the player reaches the casino.
std::string Boss() {
  std::string s =
      "<!-- The boss: off until the level's script switches his group on. -->\n"
      "<GameObject name=\"krauser\" GameObjectTemplate=\"krauser\" enabled=\"0\">\n";
  s += "  <Component name=\"CTransform\">\n    <key name=\"position\" X=\"77\" Y=\"0\" Z=\"-3\"/>\n"
       "    <key name=\"yaw\" value=\"" + Num(-kPi / 2) + "\"/>\n  </Component>\n";
  s += "  <Component name=\"CAnimator\">\n    <key name=\"animation_instance_name\" "
       "value=\"krauser\"/>\n  </Component>\n";
  s += "  <Component name=\"CKrauser\">\n    <key name=\"group\" value=\"53\"/>\n"
       "    <key name=\"zone\" value=\"5\"/>\n  </Component>\n";
  return s + "</GameObject>\n";
}

std::string ZoneFile(int zone) {
  const Zone layout = Layout(zone);
  const std::string zoneName = kZoneNames[zone];
  std::string s = kHeader;
  s += "<!-- The zone's detour points and patrol rounds come first: the enemies find\n"
       "     their trackers by name as they load. -->\n";
  s += Tracker("detour_" + zoneName, DetourPoints(zone));
  for (size_t i = 0; i < layout.patrols.size(); ++i)
    s += Tracker("patrol_" + zoneName + "_" + std::to_string(i + 1), layout.patrols[i]);
  int zombies = 0, mutants = 0;
  for (const Enemy& e : layout.enemies) {
    const bool mutant = std::strcmp(e.kind, "mutant") == 0;
    char number[8];
    std::snprintf(number, sizeof number, "%02d", mutant ? ++mutants : ++zombies);
    const std::string name = std::string(e.kind) + "_" + zoneName + "_" + number;
    const std::string patrol =
        e.patrol >= 0 ? "patrol_" + zoneName + "_" + std::to_string(e.patrol + 1) : "";
    s += EnemyObject(zone, name, e, patrol);
  }
  s += WindowMutants(zone);
  if (zone == kCasino) s += Boss();
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string root = std::string(argc > 1 ? argv[1] : ".") + "/Data/xml/";
  for (int zone = 0; zone < kZoneCount; ++zone)
    WriteText(root + kZoneNames[zone] + "/character_instances.xml", ZoneFile(zone));
  return g_ok ? 0 : 1;
}
