// The fighter's voice through the game's audio manager and its shipped banks
// (silent back end): which sound each action speaks, and how a new voice waits
// for or cuts the one before.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "engine/audio/AudioManager.h"
#include "engine/objects/Transform.h"
#include "game/enemies/AIData.h"
#include "game/enemies/Berserker.h"
#include "game/enemies/EnemyNames.h"
#include "platform/audio/Audio.h"

namespace vd {
namespace {

class Voices : public ::testing::Test {
protected:
  void SetUp() override {
    plat::audio::InitOptions options;
    options.backend = plat::audio::Backend::Null;
    options.clock = [this] { return now; };
    audio.SetBackendOptions(options);
    audio.SetSubscriber([](evn::IEventListener*, const CStringHash&, bool) {});
    ASSERT_TRUE(audio.Init());
    transform.position = plat::Vec3(3.0f, 0.0f, -2.0f);
    transform.UpdateMatrix();
    fighter.transform = &transform;
  }
  void TearDown() override {
    fighter.transform = nullptr;
    audio.Shutdown();
  }

  // The sound the last voice plays; "" when none.
  std::string Playing() {
    const auto found = audio.Channels().find(fighter.voiceChannel);
    return found == audio.Channels().end() ? "" : found->second->name.c_str();
  }
  // Time passes until the voice has run its length.
  void Quiet() { fighter.voiceTimers[0] = fighter.voiceTimers[1] + 1.0f; }

  double now = 0.0;
  sfx::CAudioManager audio;
  gfx::CTransform transform;
  CBerserker fighter;
};

TEST_F(Voices, EachActionSpeaksItsOwnSounds) {
  struct SCase {
    const char* what;
    int kind;
    void (*speak)(CBerserker&);
    std::set<std::string> names;  // every one of them, and no other, over many draws
  } const cases[] = {
      {"zombie hit", kEnemyZombie, [](CBerserker& b) { b.PlayZombieHitVoice(false); },
       {"zombie_hit_01", "zombie_hit_02", "zombie_hit_03"}},
      {"zombie falls", kEnemyZombie, [](CBerserker& b) { b.PlayZombieHitVoice(true); },
       {"zombie_fallstand_01"}},
      {"mutant hit", kEnemyMutant, [](CBerserker& b) { b.PlayMutantHitVoice(false); },
       {"mutant_hit_01", "mutant_hit_02", "mutant_hit_03", "mutant_hit_04", "mutant_hit_05",
        "mutant_hit_06", "mutant_hit_07", "mutant_hit_08", "mutant_hit_09", "mutant_hit_10",
        "mutant_hit_11"}},
      {"mutant falls", kEnemyMutant, [](CBerserker& b) { b.PlayMutantHitVoice(true); },
       {"mutant_hit_fallstandup_01", "mutant_hit_fallstandup_02"}},
      {"zombie wave", kEnemyZombie, [](CBerserker& b) { b.PlayZombieWaveVoice(); },
       {"zombie_wave_death_01"}},
      {"mutant wave", kEnemyMutant, [](CBerserker& b) { b.PlayMutantWaveVoice(); },
       {"mutant_hit_wave_01"}},
      {"zombie death", kEnemyZombie, [](CBerserker& b) { b.PlayZombieDeathVoice(false); },
       {"zombie_death_01", "zombie_death_02"}},
      {"zombie blown apart", kEnemyZombie,
       [](CBerserker& b) {
         b.actionAnimation.Set("death_explosion_02");
         b.PlayZombieDeathVoice(true);
       },
       {"zombie_death_explosion_02"}},
      {"mutant death", kEnemyMutant, [](CBerserker& b) { b.PlayMutantDeathVoice(); },
       {"mutant_death_01", "mutant_death_02"}},
      {"zombie short blows", kEnemyZombie,
       [](CBerserker& b) {
         static int turn = 0;
         b.PlayAttackVoice(++turn % 2 ? SH_attack_short_01 : SH_attack_short_02);
       },
       {"zombie_attack_short_01", "zombie_attack_short_02"}},
      {"zombie lunge", kEnemyZombie, [](CBerserker& b) { b.PlayAttackVoice(SH_attack_large_01); },
       {"zombie_attack_large_01", "zombie_attack_large_02"}},
      {"zombie double", kEnemyZombie, [](CBerserker& b) { b.PlayAttackVoice(SH_attack_double_01); },
       {"zombie_attack_double_01"}},
      {"zombie combo", kEnemyZombie, [](CBerserker& b) { b.PlayAttackVoice(SH_attack_combo_01); },
       {"zombie_attack_combo_01", "zombie_attack_combo_02"}},
      {"zombie vomit", kEnemyZombie, [](CBerserker& b) { b.PlayAttackVoice(SH_attack_vomit); },
       {"zombie_vomit_01"}},
      {"mutant short", kEnemyMutant, [](CBerserker& b) { b.PlayAttackVoice(SH_attack_short_01); },
       {"mutant_attack_short_01"}},
      {"mutant combo", kEnemyMutant, [](CBerserker& b) { b.PlayAttackVoice(SH_attack_combo_01); },
       {"mutant_attack_combo_01"}},
      {"mutant uppercut", kEnemyMutant, [](CBerserker& b) { b.PlayAttackVoice(SH_attack_up_01); },
       {"mutant_attack_01", "mutant_attack_02", "mutant_attack_03", "mutant_attack_04"}},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.what);
    fighter.kind = c.kind;
    std::set<std::string> heard;
    for (int i = 0; i < 120; ++i) {
      Quiet();
      c.speak(fighter);
      heard.insert(Playing());
      EXPECT_GT(fighter.voiceTimers[1], 0.1f) << "its length is kept";
      EXPECT_EQ(fighter.voiceTimers[0], 0.0f);
      audio.StopSound(fighter.voiceChannel);
    }
    EXPECT_EQ(heard, c.names);
  }
}

TEST_F(Voices, AHitWaitsForTheVoiceBeforeItTheOthersCutIt) {
  fighter.kind = kEnemyZombie;
  fighter.PlayZombieHitVoice(false);
  const sfx::ChannelHandle grunt = fighter.voiceChannel;
  ASSERT_NE(grunt, 0u);
  const float length = fighter.voiceTimers[1];
  fighter.voiceTimers[0] = length * 0.5f;
  fighter.PlayZombieHitVoice(false);
  EXPECT_EQ(fighter.voiceChannel, grunt) << "a second hit within the grunt stays silent";

  // Dying cuts the grunt at once.
  fighter.PlayZombieDeathVoice(false);
  EXPECT_NE(fighter.voiceChannel, grunt);
  EXPECT_EQ(audio.Audio().IsActive(grunt), plat::audio::kStopped);
  EXPECT_EQ(Playing().rfind("zombie_death_0", 0), 0u) << Playing();

  // An attack voice cuts the cry; an explosion death after another animation, and
  // an attack of a kind without voices, start nothing and cut nothing.
  const sfx::ChannelHandle cry = fighter.voiceChannel;
  fighter.actionAnimation.Set("death_01");
  fighter.PlayZombieDeathVoice(true);
  EXPECT_EQ(fighter.voiceChannel, cry);
  fighter.kind = kEnemyKrauser;
  fighter.PlayAttackVoice(SH_attack_short_01);
  EXPECT_EQ(fighter.voiceChannel, cry);
  fighter.kind = kEnemyZombie;
  fighter.PlayAttackVoice(SH_attack_double_01);
  EXPECT_EQ(Playing(), "zombie_attack_double_01");
  EXPECT_EQ(audio.Audio().IsActive(cry), plat::audio::kStopped);

  // Once the voice has run its length the next grunt is heard.
  Quiet();
  fighter.PlayZombieHitVoice(false);
  EXPECT_EQ(Playing().rfind("zombie_hit_0", 0), 0u);
}

}  // namespace
}  // namespace vd
