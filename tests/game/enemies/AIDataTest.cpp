#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "engine/core/StringHash.h"
#include "game/enemies/AIData.h"
#include "game/enemies/AIManager.h"
#include "tests/support/LogRecorder.h"

namespace vd {
namespace {

std::string WriteFile(const std::string& name, const std::string& text) {
  const std::string path = testing::TempDir() + "ai_data_" + name + ".xml";
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

uint32_t Hash(const char* name) { return CStringHash(name).GetHash(); }

const char kGoodFile[] = R"(
<general>
  <key name="vomit_attackers_max" value="2"/>
  <key name="FATALITY_DELAY" value="4.5"/>
  <key name="not_a_key" value="7"/>
</general>
<helpers_trackers>
  <tracker tracker="detour_zone_1"/>
  <tracker/>
  <tracker tracker="detour_zone_3"/>
</helpers_trackers>
<attacks>
  <attacklist type="zombie">
    <attack id="attack_short_01" weaponIn="0.2" weaponOut="0.5" damage="10" range_min="0" range_max="1.5"/>
    <attack id="attack_vomit" weaponIn="0.3" weaponOut="0.8" damage="4" range_max="3" hit_time="0.4"
            speed="2" angle="30" weapon_size="BIG" shake_power="0.1" shake_time="0.25" special="no"/>
  </attacklist>
  <attacklist type="Mutant">
    <attack id="attack_short_01" weaponIn="0.1" weaponOut="0.4" damage="25" range_max="2" angle="45"/>
    <attack id="attack_short_01" weaponIn="0.15" weaponOut="0.45" damage="30" range_max="2.5"/>
  </attacklist>
</attacks>
<playlists>
  <playlist type="krauser"><playlist_file file="Data/xml/ai/krauser_playlist.xml"/></playlist>
</playlists>
<animations>
  <animationlist type="zombie">
    <animation id="death_01">
      <time_stamp id="2" time="1.25"/>
      <time_stamp id="0" time="0.5"/>
    </animation>
  </animationlist>
</animations>
)";

TEST(AIData, ReadsEverySection) {
  test::CLogCapture log;
  CAIManager manager;
  ASSERT_TRUE(manager.Load(WriteFile("good", kGoodFile).c_str())) << log.Text();
  const SAIData& data = manager.GetData();
  EXPECT_EQ(data.vomitAttackersMax, 2);
  EXPECT_FLOAT_EQ(data.fatalityDelay, 4.5f);
  EXPECT_EQ(data.trackerObjects, (std::vector<std::string>{"detour_zone_1", "", "detour_zone_3"}))
      << "an unnamed tracker keeps its zone's place";

  const SAttackRecord* shortAttack = data.FindAttack(kEnemyZombie, Hash("attack_short_01"));
  ASSERT_NE(shortAttack, nullptr);
  EXPECT_FLOAT_EQ(shortAttack->weaponIn, 0.2f);
  EXPECT_FLOAT_EQ(shortAttack->weaponOut, 0.5f);
  EXPECT_EQ(shortAttack->damage, 10);
  EXPECT_FLOAT_EQ(shortAttack->rangeMax, 1.5f);
  EXPECT_EQ(shortAttack->special, 0);
  EXPECT_EQ(shortAttack->bigWeapon, 0);
  const SAttackRecord* vomit = data.FindAttack(kEnemyZombie, Hash("attack_vomit"));
  ASSERT_NE(vomit, nullptr);
  EXPECT_FLOAT_EQ(vomit->hitTime, 0.4f);
  EXPECT_FLOAT_EQ(vomit->speed, 2.0f);
  EXPECT_FLOAT_EQ(vomit->angle, 30.0f);
  EXPECT_FLOAT_EQ(vomit->shakePower, 0.1f);
  EXPECT_FLOAT_EQ(vomit->shakeTime, 0.25f);
  EXPECT_EQ(vomit->special, 1) << "present at all, whatever its value";
  EXPECT_EQ(vomit->bigWeapon, 1);

  const SAttackRecord* mutant = data.FindAttack(kEnemyMutant, Hash("attack_short_01"));
  ASSERT_NE(mutant, nullptr);
  EXPECT_EQ(mutant->damage, 30) << "the later record wins";
  EXPECT_FLOAT_EQ(mutant->angle, 0.0f) << "and replaces the earlier one whole";
  EXPECT_EQ(data.FindAttack(kEnemyKrauser, Hash("attack_short_01")), nullptr);
  EXPECT_EQ(data.FindAttack(3, Hash("attack_short_01")), nullptr);

  EXPECT_EQ(data.playListFiles[kEnemyKrauser],
            (std::vector<std::string>{"Data/xml/ai/krauser_playlist.xml"}));
  const std::vector<float>* times = data.FindAnimationTimes(kEnemyZombie, Hash("death_01"));
  ASSERT_NE(times, nullptr);
  EXPECT_EQ(*times, (std::vector<float>{0.5f, 0.0f, 1.25f}));

  manager.Clear();
  EXPECT_EQ(manager.GetData().FindAttack(kEnemyZombie, Hash("attack_short_01")), nullptr);
  EXPECT_EQ(manager.GetData().vomitAttackersMax, 0);
}

// Each damaged file is read as far as it goes: what is sound is kept, the rest is
// logged and left at its default.
TEST(AIData, DamagedFilesAreLoggedAndSkipped) {
  const struct {
    const char* name;
    const char* text;  // null: no file
    bool loads;
    const char* logged;
  } cases[] = {
      {"missing", nullptr, false, "missing or empty"},
      {"empty", "", false, "missing or empty"},
      {"malformed", "<general><key name='fatality_delay' value='1'></general>", false, "malformed"},
      {"no_sections", "<other/>", true, "has no <attacks>"},
      {"bad_count", "<general><key name='vomit_attackers_max' value='lots'/></general>", true,
       "vomit_attackers_max 'lots'"},
      {"negative_count", "<general><key name='vomit_attackers_max' value='-3'/></general>", true,
       "vomit_attackers_max '-3'"},
      {"huge_count", "<general><key name='vomit_attackers_max' value='99999999'/></general>", true,
       "vomit_attackers_max '99999999'"},
      {"bad_delay", "<general><key name='fatality_delay' value='1e99'/></general>", true,
       "fatality_delay '1e99'"},
      {"unknown_kind",
       "<attacks><attacklist type='ghoul'><attack id='a' weaponIn='0' weaponOut='1' damage='1' "
       "range_max='1'/></attacklist></attacks>",
       true, "unknown type 'ghoul'"},
      {"no_damage",
       "<attacks><attacklist type='zombie'><attack id='attack_short_01' weaponIn='0' weaponOut='1' "
       "range_max='1'/></attacklist></attacks>",
       true, "damage '' is missing"},
      {"bad_weapon_in",
       "<attacks><attacklist type='zombie'><attack id='attack_short_01' weaponIn='soon' "
       "weaponOut='1' damage='1' range_max='1'/></attacklist></attacks>",
       true, "weaponIn 'soon' is not a number"},
      {"stamp_past_end",
       "<animations><animationlist type='mutant'><animation id='death_01'>"
       "<time_stamp id='2000000000' time='1'/><time_stamp id='-1' time='1'/>"
       "<time_stamp id='1' time='x'/></animation></animationlist></animations>",
       true, "time_stamp id '2000000000'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::CLogCapture log;
    const std::string path = c.text ? WriteFile(c.name, c.text) : testing::TempDir() + "no_ai.xml";
    SAIData data;
    data.vomitAttackersMax = 9;  // stale values from an earlier read go
    EXPECT_EQ(LoadAIData(path.c_str(), data), c.loads);
    EXPECT_TRUE(log.Contains(c.logged)) << log.Text();
    EXPECT_EQ(data.vomitAttackersMax, 0);
    EXPECT_FLOAT_EQ(data.fatalityDelay, 0.0f);
    for (int kind = 0; kind < kEnemyKindCount; ++kind) {
      EXPECT_TRUE(data.attacks[kind].empty());
      for (const auto& entry : data.animationTimes[kind]) EXPECT_TRUE(entry.second.empty());
    }
  }
}

// Every attack a zombie or a mutant can choose needs a record it can hit with.
TEST(AIData, ShippedFileHoldsEveryAttackOfItsKinds) {
  test::CLogCapture log;
  SAIData data;
  ASSERT_TRUE(LoadAIData("Data/xml/ai/ai.xml", data)) << log.Text();
  EXPECT_TRUE(log.Lines().empty()) << log.Text();
  EXPECT_GT(data.vomitAttackersMax, 0);
  EXPECT_GT(data.fatalityDelay, 0.0f);
  const struct {
    int kind;
    std::vector<const char*> attacks;
  } kinds[] = {
      {kEnemyZombie, {"attack_short_01", "attack_short_02", "attack_large_01", "attack_double_01",
                      "attack_combo_01", "attack_vomit"}},
      {kEnemyMutant, {"attack_short_01", "attack_combo_01", "attack_up_01"}},
  };
  for (const auto& k : kinds) {
    EXPECT_EQ(data.attacks[k.kind].size(), k.attacks.size());
    for (const char* name : k.attacks) {
      SCOPED_TRACE(name);
      const SAttackRecord* attack = data.FindAttack(k.kind, Hash(name));
      ASSERT_NE(attack, nullptr);
      EXPECT_LE(0.0f, attack->weaponIn);
      EXPECT_LT(attack->weaponIn, attack->weaponOut);
      EXPECT_LE(attack->weaponOut, 1.0f);
      EXPECT_GT(attack->damage, 0);
      EXPECT_LE(0.0f, attack->rangeMin);
      EXPECT_LT(attack->rangeMin, attack->rangeMax);
      EXPECT_GT(attack->angle, 0.0f);
    }
  }
}

TEST(AIData, KindNamesMatchRegardlessOfCase) {
  EXPECT_EQ(EnemyKindFromName("zombie"), kEnemyZombie);
  EXPECT_EQ(EnemyKindFromName("MUTANT"), kEnemyMutant);
  EXPECT_EQ(EnemyKindFromName("Krauser"), kEnemyKrauser);
  EXPECT_EQ(EnemyKindFromName("zombies"), -1);
  EXPECT_EQ(EnemyKindFromName(""), -1);
}

}  // namespace
}  // namespace vd
