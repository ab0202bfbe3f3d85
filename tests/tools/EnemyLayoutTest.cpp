// The zones' enemies as gen_enemy_layout writes them: reproducible, committed, and every
// enemy stands inside its zone with the trackers it names defined before it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <rapidxml/rapidxml.hpp>

#include "tools/city_layout.h"
#include "tests/support/Files.h"

namespace {

namespace fs = std::filesystem;

using vd::test::ReadFile;

TEST(EnemyLayout, TheGeneratorIsReproducibleAndItsOutputIsCommitted) {
  const fs::path scratch = fs::temp_directory_path() / ("enemies_" + std::to_string(::getpid()));
  for (const char* run : {"a", "b"})
    ASSERT_EQ(std::system(("'" GEN_ENEMY_LAYOUT "' '" + (scratch / run).string() + "'").c_str()), 0);
  for (int zone = 0; zone < city::kZoneCount; ++zone) {
    const std::string file = std::string("Data/xml/") + city::kZoneNames[zone] + "/character_instances.xml";
    SCOPED_TRACE(file);
    const std::string first = ReadFile(scratch / "a" / file);
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first, ReadFile(scratch / "b" / file)) << "two runs differ";
    EXPECT_EQ(first, ReadFile(file)) << "run gen_enemy_layout and commit its Data";
  }
  fs::remove_all(scratch);
}

TEST(EnemyLayout, EveryObjectIsAZoneEnemyOrTrackerAndEnemiesKeepToTheirZone) {
  size_t enemies = 0;
  for (int zone = 0; zone < city::kZoneCount; ++zone) {
    SCOPED_TRACE(city::kZoneNames[zone]);
    std::string text =
        ReadFile(std::string("Data/xml/") + city::kZoneNames[zone] + "/character_instances.xml");
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    rapidxml::xml_document<> document;
    document.parse<0>(buffer.data());
    std::set<std::string> trackers;
    for (auto* object = document.first_node("GameObject"); object;
         object = object->next_sibling("GameObject")) {
      const std::string name = object->first_attribute("name")->value();
      const std::string kind = object->first_attribute("GameObjectTemplate")->value();
      if (kind == "city_tracker") {
        trackers.insert(name);
        continue;
      }
      // Only the level's own fighters stand in the zones, and the boss at the casino.
      ASSERT_TRUE(kind == "zombie" || kind == "mutant" ||
                  (kind == "krauser" && zone == city::kCasino))
          << name << ": " << kind;
      ++enemies;
      SCOPED_TRACE(name);
      auto* transform = object->first_node("Component");
      auto* position = transform->first_node("key");
      const float x = std::strtof(position->first_attribute("X")->value(), nullptr);
      const float z = std::strtof(position->first_attribute("Z")->value(), nullptr);
      EXPECT_TRUE(city::kZoneRects[zone].Contains(x, z, 0.0f)) << x << ", " << z;
      EXPECT_TRUE(trackers.count(std::string("detour_") + city::kZoneNames[zone]));
      for (auto* component = object->first_node("Component"); component;
           component = component->next_sibling("Component"))
        for (auto* key = component->first_node("key"); key; key = key->next_sibling("key"))
          if (auto* tracker = key->first_attribute("tracker"))
            EXPECT_TRUE(trackers.count(tracker->value())) << tracker->value();
    }
  }
  EXPECT_GE(enemies, 20u);
}

}  // namespace
