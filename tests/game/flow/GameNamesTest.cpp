// The game's name constants: each is its literal's hash and borrows the literal, and a
// name written with capitals in a file matches it.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "game/flow/GameNames.h"

namespace vd {
namespace {

TEST(GameNames, EachIsItsLiteralsHashAndBorrowsIt) {
  ASSERT_EQ(game_names::kCount, 23u);
  std::set<uint32_t> hashes;
  for (size_t i = 0; i < game_names::kCount; ++i) {
    const CStringHash& name = *game_names::kAll[i];
    ASSERT_NE(name.GetText(), nullptr) << i;
    SCOPED_TRACE(name.GetText());
    EXPECT_FALSE(name.OwnsText());
    EXPECT_EQ(name.GetHash(), ComputeHash(name.GetText(), std::strlen(name.GetText())));
    hashes.insert(name.GetHash());
    // A file's capitals match the same constant.
    std::string upper = name.GetText();
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(CStringHash(upper.c_str()), name);
  }
  EXPECT_EQ(hashes.size(), game_names::kCount) << "two names share a hash";
  EXPECT_STREQ(game_names::SH_grenade_03.GetText(), "grenade_03");
  EXPECT_STREQ(game_names::SH_intro.GetText(), "intro");
}

}  // namespace
}  // namespace vd
