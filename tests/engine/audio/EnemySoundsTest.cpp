// The enemies' sounds in the shipped banks: every name the fighters, the boss and
// the grenades play (the numbered ones formed as the enemy code forms them)
// resolves to a loaded sound of the right kind and length, placed in 3D where it
// is played at a position.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <rapidxml/rapidxml.hpp>
#include <string>
#include <vector>

#include "engine/audio/AudioManager.h"
#include "engine/core/Log.h"
#include "platform/fs/FileSystem.h"
#include "tests/support/LogRecorder.h"

using namespace vd;

namespace {

struct SEnemySound {
  std::string name;
  int type;
  bool positioned;  // played at the enemy (or the explosion), not at the listener
  float shortest, longest;  // seconds
};

// "prefix_0%d" below 10, "prefix_%d" from 10, as the voices format their names.
std::string Numbered(const char* prefix, int n) {
  char name[512];
  std::snprintf(name, sizeof name, n < 10 ? "%s_0%d" : "%s_%d", prefix, n);
  return name;
}

std::vector<SEnemySound> EnemySounds() {
  std::vector<SEnemySound> list;
  auto voices = [&list](const char* prefix, int count, float shortest, float longest) {
    for (int n = 1; n <= count; ++n) list.push_back({Numbered(prefix, n), sfx::kTypeVoice, true, shortest, longest});
  };
  // The fighters' 39 voices.
  voices("zombie_fallstand", 1, 0.5f, 1.5f);
  voices("zombie_hit", 3, 0.25f, 0.8f);
  voices("mutant_hit_fallstandup", 2, 0.5f, 1.5f);
  voices("mutant_hit", 11, 0.25f, 0.8f);
  voices("zombie_wave_death", 1, 0.6f, 1.6f);
  voices("mutant_hit_wave", 1, 0.6f, 1.6f);
  voices("zombie_death", 2, 0.8f, 2.0f);
  voices("zombie_death_explosion", 2, 0.8f, 2.0f);
  voices("mutant_death", 2, 0.8f, 2.0f);
  voices("zombie_attack_short", 2, 0.2f, 0.8f);
  voices("zombie_attack_large", 2, 0.3f, 1.2f);
  voices("zombie_attack_double", 1, 0.3f, 1.2f);
  voices("zombie_attack_combo", 2, 0.6f, 1.8f);
  voices("zombie_vomit", 1, 1.0f, 2.2f);
  voices("mutant_attack_short", 1, 0.2f, 0.8f);
  voices("mutant_attack_combo", 1, 0.6f, 1.8f);
  voices("mutant_attack", 4, 0.3f, 1.2f);
  EXPECT_EQ(list.size(), 39u);
  // The boss's voices.
  voices("krauser_attack_combo", 2, 0.4f, 1.5f);
  for (const char* name : {"krauser_kick", "krauser_punch", "krauser_attack_beam_wave",
                           "krauser_no_sabes_hacerlo_mejor", "krauser_tired"})
    list.push_back({name, sfx::kTypeVoice, true, 0.25f, 2.5f});
  list.push_back({"krauser_fatality", sfx::kTypeVoice, false, 0.5f, 2.5f});
  list.push_back({"zombie_die", sfx::kTypeVoice, false, 0.5f, 2.0f});
  // Blows landing, finishing moves, water, the stunned and waking zombie.
  for (const char* name : {"hitX1_01", "hitX5_01", "weapon_hit_01", "weapon_hit_cover_01"})
    list.push_back({name, sfx::kTypeSfx, false, 0.1f, 1.0f});
  for (const char* name : {"zombie_fatality_01", "mutant_fatality_01", "mutant_fatality_02",
                           "mutant_fatality_saw_02", "mutant_out_water_01", "mutant_out_water_02",
                           "zombie_stunned_loop_01", "zombie_wave_wake_01"})
    list.push_back({name, sfx::kTypeSfx, true, 0.5f, 2.5f});
  // The grenades: thrown and bursting where they are.
  for (const char* name : {"grenade_throw_01", "grenade_throw_02"})
    list.push_back({name, sfx::kTypeSfx, true, 0.2f, 1.0f});
  for (int n = 1; n <= 3; ++n)
    list.push_back({Numbered("grenade_explosion", n), sfx::kTypeSfx, true, 0.8f, 2.5f});
  // What the boss's strikes sound like.
  for (const char* name : {"brannoc_X5_boom", "brannoc_Y3_boom"})
    list.push_back({name, sfx::kTypeSfx, false, 0.5f, 2.0f});
  return list;
}

// Each key's "3DSound" flag, read from the banks file itself.
std::map<std::string, bool> ThreeDFlags() {
  std::map<std::string, bool> flags;
  std::vector<char> text;
  EXPECT_TRUE(plat::fs::ReadFile("Data/xml/audios.xml", text));
  text.push_back('\0');
  rapidxml::xml_document<> doc;
  doc.parse<0>(text.data());
  for (auto* banks = doc.first_node("audios"); banks; banks = banks->next_sibling("audios"))
    for (auto* group = banks->first_node("group"); group; group = group->next_sibling("group"))
      for (auto* key = group->first_node("key"); key; key = key->next_sibling("key")) {
        auto* name = key->first_attribute("name");
        auto* three = key->first_attribute("3DSound");
        if (name) flags[name->value()] = three && std::string(three->value()) == "1";
      }
  return flags;
}

TEST(EnemySounds, EveryNameResolvesToALoadedSound) {
  utl::CLogSinkHolder sinks;
  std::string log;
  sinks.AddSink(new vd::test::CLogRecorder(&log));
  utl::SetLogSinks(&sinks);
  {
    sfx::CAudioManager manager;
    plat::audio::InitOptions options;
    options.backend = plat::audio::Backend::Null;
    manager.SetBackendOptions(options);
    manager.SetSubscriber([](evn::IEventListener*, const CStringHash&, bool) {});
    ASSERT_TRUE(manager.Init());
    const std::map<std::string, bool> flags = ThreeDFlags();
    for (const SEnemySound& s : EnemySounds()) {
      SCOPED_TRACE(s.name);
      const sfx::SSoundEntry* entry = manager.FindSound(s.name.c_str());
      ASSERT_NE(entry, nullptr);
      EXPECT_NE(entry->handle, 0u) << "the file loads";
      EXPECT_EQ(entry->type, s.type);
      ASSERT_EQ(flags.count(s.name), 1u) << "one key of that name";
      EXPECT_EQ(flags.at(s.name), s.positioned);
      const sfx::ChannelHandle channel = manager.PlaySound(s.name.c_str(), false);
      ASSERT_NE(channel, 0u);
      const float seconds = manager.GetSoundDuration(channel);
      EXPECT_GE(seconds, s.shortest);
      EXPECT_LE(seconds, s.longest);
      manager.StopSound(channel);
    }
    EXPECT_EQ(log.find("Audio: sound"), std::string::npos) << log;
    manager.Shutdown();
  }
  utl::SetLogSinks(nullptr);
}

}  // namespace
