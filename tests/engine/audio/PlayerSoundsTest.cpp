// The player's sounds and voices in the shipped banks, and the generated sound
// files equal to what gen_sounds writes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/audio/AudioManager.h"
#include "engine/core/Log.h"
#include "platform/fs/FileSystem.h"
#include "tests/support/LogRecorder.h"

using namespace vd;

namespace {

struct SPlayerSound {
  const char* name;
  int type;
};

// Every sound the player's controller, combo and effects play by name.
std::vector<SPlayerSound> PlayerSounds() {
  std::vector<SPlayerSound> list = {
      {"brannoc_run_footsteps", sfx::kTypeSfx},
      {"brannoc_walk_footsteps", sfx::kTypeSfx},
      {"brannoc_slowmotion_sfx", sfx::kTypeSfx},
      {"brannoc_X5_boom", sfx::kTypeSfx},
      {"brannoc_Y3_boom", sfx::kTypeSfx},
      {"weapon_swing_02", sfx::kTypeSfx},
      {"weapon_swing_03", sfx::kTypeSfx},
      {"weapon_swing_04", sfx::kTypeSfx},
      {"weapon_fatality_03", sfx::kTypeSfx},
      {"effect_death_hit", sfx::kTypeSfx},
      {"effect_death_explosion", sfx::kTypeSfx},
      {"grenade_hit_ome", sfx::kTypeSfx},
      {"grenade_explosion_01", sfx::kTypeSfx},
      {"grenade_explosion_02", sfx::kTypeSfx},
      {"grenade_explosion_03", sfx::kTypeSfx},
      {"mutant_eso_ha_tenido_que_doler", sfx::kTypeVoice},
  };
  for (const char* voice : {"brannoc_X1",
                            "brannoc_X2",
                            "brannoc_X3",
                            "brannoc_X4",
                            "brannoc_X5",
                            "brannoc_Y2",
                            "brannoc_Y3",
                            "brannoc_auto_01",
                            "brannoc_auto_02",
                            "brannoc_evade_01",
                            "brannoc_evade_02",
                            "brannoc_evade_03",
                            "brannoc_evade_04",
                            "brannoc_hit_cover",
                            "brannoc_hit_explosion_01",
                            "brannoc_hit_explosion_02",
                            "brannoc_death",
                            "brannoc_death_explosion",
                            "brannoc_fatality_03",
                            "brannoc_tomad_esto",
                            "brannoc_gas"})
    list.push_back({voice, sfx::kTypeVoice});
  // The names the hit reaction formats: "brannoc_hit_0%d" below 10, "brannoc_hit_%d" from 10.
  static std::vector<std::string> hits;
  hits.clear();
  for (int n = 1; n <= 11; ++n)
    hits.push_back((n < 10 ? "brannoc_hit_0" : "brannoc_hit_") + std::to_string(n));
  for (const std::string& hit : hits) list.push_back({hit.c_str(), sfx::kTypeVoice});
  return list;
}

TEST(PlayerSounds, EveryNameResolvesToALoadedSound) {
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
    const std::vector<SPlayerSound> sounds = PlayerSounds();
    EXPECT_EQ(sounds.size(), 48u);
    for (const SPlayerSound& s : sounds) {
      SCOPED_TRACE(s.name);
      const sfx::SSoundEntry* entry = manager.FindSound(s.name);
      ASSERT_NE(entry, nullptr);
      EXPECT_NE(entry->handle, 0u) << "the file loads";
      EXPECT_EQ(entry->type, s.type);
      const sfx::ChannelHandle channel = manager.PlaySound(s.name, false);
      ASSERT_NE(channel, 0u);
      const float seconds = manager.GetSoundDuration(channel);
      EXPECT_GT(seconds, 0.15f);
      EXPECT_LT(seconds, 2.0f);
      manager.StopSound(channel);
    }
    EXPECT_EQ(log.find("Audio: sound"), std::string::npos) << log;
    manager.Shutdown();
  }
  utl::SetLogSinks(nullptr);
}

TEST(GeneratedSounds, CommittedFilesMatchTheGenerator) {
  namespace fs = std::filesystem;
  const std::string dir = "/tmp/hm_sounds_" + std::to_string(getpid());
  ASSERT_EQ(std::system((GEN_SOUNDS " " + dir + " > /dev/null").c_str()), 0);
  int files = 0;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir)) {
    if (!e.is_regular_file()) continue;
    const std::string relative = fs::relative(e.path(), dir).string();
    std::vector<char> fresh, committed;
    ASSERT_TRUE(plat::fs::ReadFile(e.path().string().c_str(), fresh));
    EXPECT_TRUE(plat::fs::ReadFile(("Data/audio/" + relative).c_str(), committed)) << relative;
    EXPECT_TRUE(fresh == committed) << relative << " differs: run gen_sounds";
    ++files;
  }
  EXPECT_GT(files, 60);
  fs::remove_all(dir);
}

}  // namespace
