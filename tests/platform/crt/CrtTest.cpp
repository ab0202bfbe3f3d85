#include "platform/crt/Crt.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(Rand, MatchesTheMicrosoftSequences) {
  // First values of the Microsoft C runtime's rand() for seeds 1 and 42.
  struct Case {
    uint32_t seed;
    std::vector<int> expected;
  } cases[] = {
      {1, {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464}},
      {42, {175, 400, 17869, 30056, 16083}},
      {0, {38, 7719, 21238, 2437, 8855}},
  };
  for (const Case& c : cases) {
    plat::SeedRand(c.seed);
    for (size_t i = 0; i < c.expected.size(); ++i)
      EXPECT_EQ(plat::Rand(), c.expected[i]) << "seed " << c.seed << " value " << i;
  }
}

TEST(Rand, StaysInRangeAndIsPerThread) {
  plat::SeedRand(12345);
  int first = plat::Rand();
  for (int i = 0; i < 100000; ++i) {
    int v = plat::Rand();
    ASSERT_GE(v, 0);
    ASSERT_LE(v, plat::RAND_MAX_MS);
  }
  // A new thread starts from seed 1, whatever this thread did.
  int other = -1;
  std::thread([&] { other = plat::Rand(); }).join();
  EXPECT_EQ(other, 41);
  plat::SeedRand(12345);
  EXPECT_EQ(plat::Rand(), first);
}

TEST(Format, CutsLongTextsAndNeverOverflows) {
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(plat::Format(buffer, 5, "%s", "abcdefgh"), 4);
  EXPECT_STREQ(buffer, "abcd");
  EXPECT_EQ(buffer[5], 'x');
  EXPECT_EQ(plat::Format(buffer, sizeof buffer, "%d", 42), 2);
  EXPECT_STREQ(buffer, "42");
  EXPECT_EQ(plat::Format(buffer, 0, "%d", 42), 0);
}

}  // namespace
