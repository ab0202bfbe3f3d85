#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>

#include "engine/core/EngineNames.h"
#include "game/enemies/EnemyNames.h"

namespace vd {
namespace {

// The table is shared vocabulary: a dropped, duplicated or reordered entry shifts
// every name after it, so check the group borders and that each entry is its own.
TEST(EnemyNames, TableHoldsTheThreeGroupsInOrder) {
  ASSERT_EQ(kEnemyNameGroupSizes[0] + kEnemyNameGroupSizes[1] + kEnemyNameGroupSizes[2],
            kEnemyNameCount);
  EXPECT_EQ(kEnemyNameCount, 186u);
  EXPECT_EQ(kEnemyNameGroupSizes[0], 24u);
  EXPECT_EQ(kEnemyNameGroupSizes[1], 100u);
  const struct {
    size_t index;
    const char* text;
  } borders[] = {
      {0, "shock_wave_timer"},   {23, "collision_city_environment"},
      {24, "idle_01"},           {123, "speech_throne_03"},
      {124, "vomit_attackers_max"}, {185, "queue_count"},
      {103, "krauser_attack_combo_01"}, {166, "fatality_life_factor"},
  };
  for (const auto& b : borders) {
    ASSERT_NE(kEnemyNames[b.index], nullptr);
    EXPECT_STREQ(kEnemyNames[b.index]->GetText(), b.text) << "entry " << b.index;
  }
  std::set<uint32_t> hashes;
  for (size_t i = 0; i < kEnemyNameCount; ++i) {
    const CStringHash& name = *kEnemyNames[i];
    ASSERT_NE(name.GetText(), nullptr) << "entry " << i;
    EXPECT_FALSE(name.OwnsText()) << name.c_str();
    EXPECT_EQ(name.GetHash(), ComputeHash(name.GetText())) << name.c_str();
    EXPECT_TRUE(hashes.insert(name.GetHash()).second) << "duplicate " << name.c_str();
  }
  // The keys the engine already names are the engine's, not a second copy.
  EXPECT_EQ(hashes.count(SH_target.GetHash()), 0u);
}

TEST(EnemyNames, MatchRegardlessOfLetterCase) {
  for (size_t i = 0; i < kEnemyNameCount; ++i) {
    std::string upper = kEnemyNames[i]->GetText();
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(CStringHash(upper.c_str()), *kEnemyNames[i]) << upper;
  }
  EXPECT_EQ(CStringHash("x5"), SH_X5);
  EXPECT_EQ(CStringHash("Grenades_Mutant"), SH_grenades_mutant);
  EXPECT_NE(SH_grenades, SH_grenades_mutant);
  EXPECT_NE(CStringHash("idle_01 "), SH_idle_01);
}

}  // namespace
}  // namespace vd
