#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>

#include "engine/core/EngineNames.h"
#include "engine/core/StringHash.h"

namespace {

using vd::ComputeHash;
using vd::CStringHash;

// The hash written out plainly from its definition, as an independent reference.
uint32_t ReferenceHash(const std::string& text) {
  uint64_t s1 = 0, s2 = 0;
  size_t n = text.size();
  for (size_t start = 0; start < n; start += 5552) {
    for (size_t i = start; i < n && i < start + 5552; ++i) {
      int c = static_cast<signed char>(text[i]);
      if (c >= 'A' && c <= 'Z') c = c - 'A' + 'a';
      s1 = (s1 + static_cast<uint32_t>(c)) & 0xFFFFFFFFu;
      s2 = (s2 + s1) & 0xFFFFFFFFu;
    }
    s1 %= 65521;
    s2 %= 65521;
  }
  return static_cast<uint32_t>(s2 * 65536 + s1);
}

std::string MixedText(size_t n) {
  std::string s(n, ' ');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + 7) % 255 + 1);  // 0x01..0xFF
  return s;
}

TEST(NameHash, KnownValues) {
  EXPECT_EQ(ComputeHash(""), 0u);
  EXPECT_EQ(ComputeHash("abc"), 0x024A0126u);
  EXPECT_EQ(ComputeHash("ABC"), 0x024A0126u);
  EXPECT_EQ(ComputeHash("aBc"), 0x024A0126u);
  // One byte of 0x80 adds -128: s1 = 2^32 - 128, reduced at the end of the block.
  uint32_t s1 = static_cast<uint32_t>(-128) % 65521u;
  EXPECT_EQ(ComputeHash("\x80"), (s1 << 16) + s1);
}

TEST(NameHash, MatchesTheReferenceAcrossBlockBoundaries) {
  for (size_t n : {1u, 15u, 16u, 17u, 100u, 5551u, 5552u, 5553u, 11104u, 11105u, 70000u}) {
    std::string text = MixedText(n);
    EXPECT_EQ(ComputeHash(text.c_str(), text.size()), ReferenceHash(text)) << n << " bytes";
    EXPECT_EQ(ComputeHash(text.c_str()), ReferenceHash(text)) << n << " bytes";
  }
  // A block of 5552 bytes is reduced once, 5553 twice.
  std::string high(5553, '\xFF');
  EXPECT_EQ(ComputeHash(high.c_str(), 5552), ReferenceHash(high.substr(0, 5552)));
  EXPECT_EQ(ComputeHash(high.c_str(), 5553), ReferenceHash(high));
}

TEST(NameHash, MatchesTheReferenceAtEveryShortLengthAndOffset) {
  // Names are short: every length through four chunks, from unaligned starts, and the
  // lengths around one block's end, where a partial last chunk meets a reduction.
  std::string text = MixedText(5600 + 16);
  for (size_t offset = 0; offset < 16; offset += 5) {
    for (size_t n = 0; n <= 64; ++n) {
      std::string name = text.substr(offset, n);
      EXPECT_EQ(ComputeHash(text.data() + offset, n), ReferenceHash(name)) << n << " at " << offset;
    }
    for (size_t n = 5540; n <= 5600; ++n)
      EXPECT_EQ(ComputeHash(text.data() + offset, n), ReferenceHash(text.substr(offset, n))) << n;
  }
  // Upper case everywhere in a chunk, and the byte just outside each end of the range.
  std::string edges = "@AZ[`az{@AZ[`az{@AZ[`az{@AZ[`az{@AZ[`az{";
  for (size_t n = 0; n <= edges.size(); ++n)
    EXPECT_EQ(ComputeHash(edges.data(), n), ReferenceHash(edges.substr(0, n))) << n;
}

TEST(NameHash, IsAConstantExpression) {
  static_assert(ComputeHash("abc") == 0x024A0126u, "compile-time hash");
  static_assert(ComputeHash("OnTimer") == ComputeHash("ontimer"), "compile-time hash");
}

TEST(CStringHash, EmptyAndNullAreTheNoNameValue) {
  for (const char* text : {static_cast<const char*>(nullptr), ""}) {
    CStringHash h(text);
    EXPECT_EQ(h.GetHash(), 0xFFFFFFFFu);
    EXPECT_EQ(h.GetText(), nullptr);
    EXPECT_TRUE(h.IsNoName());
    CStringHash assigned("x");
    assigned = text;
    EXPECT_TRUE(assigned.IsNoName());
  }
}

TEST(CStringHash, CopyOwnsAndAssignmentBorrows) {
  char* source = new char[8];
  std::strcpy(source, "Player");
  CStringHash borrowed(source);
  CStringHash copy(borrowed);
  CStringHash assigned;
  assigned = borrowed;
  EXPECT_TRUE(copy.OwnsText());
  EXPECT_NE(copy.GetText(), source);
  EXPECT_FALSE(assigned.OwnsText());
  EXPECT_EQ(assigned.GetText(), source);
  EXPECT_EQ(copy, borrowed);
  // The borrowing constructor is assignment in one step: same text, same hash, no copy.
  CStringHash constructedBorrow(copy, CStringHash::kBorrow);
  EXPECT_FALSE(constructedBorrow.OwnsText());
  EXPECT_EQ(constructedBorrow.GetText(), copy.GetText());
  EXPECT_EQ(constructedBorrow.GetHash(), copy.GetHash());
  EXPECT_TRUE(CStringHash(CStringHash(), CStringHash::kBorrow).IsNoName());
  delete[] source;
  // The copy keeps working after the source text is gone.
  EXPECT_STREQ(copy.GetText(), "Player");
  EXPECT_EQ(copy.GetHash(), ComputeHash("player"));
}

TEST(CStringHash, NoNameCopiesAndAssignments) {
  CStringHash none;
  CStringHash copy(none);
  EXPECT_TRUE(copy.IsNoName());
  EXPECT_FALSE(copy.OwnsText());

  CStringHash source("abc");
  CStringHash owning(source);
  ASSERT_TRUE(owning.OwnsText());
  owning = none;
  EXPECT_TRUE(owning.IsNoName());
  EXPECT_FALSE(owning.OwnsText());

  CStringHash borrowing("abc");
  borrowing = none;
  EXPECT_TRUE(borrowing.IsNoName());
}

TEST(CStringHash, SelfAssignmentAndBorrowedViewsOfOwnText) {
  CStringHash source("zombie");
  CStringHash owner(source);
  owner = owner;
  EXPECT_STREQ(owner.GetText(), "zombie");
  CStringHash view;
  view = owner;  // borrows owner's heap text
  owner = view;  // must not free the text it hands to itself
  EXPECT_STREQ(owner.GetText(), "zombie");
  EXPECT_TRUE(owner.OwnsText());
}

TEST(CStringHash, MakeOwnedCopiesOnce) {
  const char* literal = "Lantern";
  CStringHash h(literal);
  h.MakeOwned();
  EXPECT_TRUE(h.OwnsText());
  EXPECT_NE(h.GetText(), literal);
  const char* owned = h.GetText();
  h.MakeOwned();
  EXPECT_EQ(h.GetText(), owned);
  CStringHash none;
  none.MakeOwned();
  EXPECT_TRUE(none.IsNoName());
}

struct Counted {
  static int live;
  static int resets;
  Counted() { ++live; }
  ~Counted() { --live; }
  void Reset() { ++resets; }
};
int Counted::live = 0;
int Counted::resets = 0;

TEST(CStringHashMap, AddWithAPresentKeyDeletesTheOfferOnlyWhenItOwnsValues) {
  Counted::live = 0;
  vd::utl::CStringHashMap<Counted> map;
  Counted* first = map.Add("mesh", new Counted);
  Counted* second = map.Add("MESH", new Counted);  // same hash
  EXPECT_EQ(first, second);
  EXPECT_EQ(Counted::live, 1);
  EXPECT_EQ(map.Count(), 1);
  EXPECT_EQ(map.Find("Mesh"), first);
  EXPECT_EQ(map.Find("other"), nullptr);
  EXPECT_EQ(map.Size(), 1u);

  // A table of borrowed values (the light manager's) keeps the first and leaves
  // the offer to its owner.
  Counted kept, offered;
  vd::utl::CStringHashMap<Counted> borrowed;
  borrowed.ownsValues = 0;
  EXPECT_EQ(borrowed.Add("light", &kept), &kept);
  EXPECT_EQ(borrowed.Add("LIGHT", &offered), &kept);
  EXPECT_EQ(Counted::live, 3);
  EXPECT_EQ(borrowed.Count(), 1);
  borrowed.RemoveAll();
  EXPECT_EQ(Counted::live, 3);
  map.RemoveAll();
}

TEST(CStringHashMap, RemoveHandsBackTheValueAndCountsItOut) {
  Counted::live = 0;
  vd::utl::CStringHashMap<Counted> map;
  Counted* a = map.Add("a", new Counted);
  map.Add("b", new Counted);
  EXPECT_EQ(map.Remove("a"), a);
  EXPECT_EQ(map.Remove("a"), nullptr);
  EXPECT_EQ(map.Count(), 1);
  EXPECT_EQ(map.Find("a"), nullptr);
  EXPECT_EQ(Counted::live, 2);  // the removed value is the caller's now
  delete a;
}

TEST(CStringHashMap, RemoveAllHonoursItsFlags) {
  Counted::live = 0;
  Counted::resets = 0;
  {
    vd::utl::CStringHashMap<Counted> map;
    map.Add("a", new Counted);
    map.Add("b", new Counted);
    map.resetValues = 1;
    map.RemoveAll();
    EXPECT_EQ(Counted::live, 0);
    EXPECT_EQ(Counted::resets, 2);
    EXPECT_EQ(map.Count(), 0);
    EXPECT_EQ(map.ownsValues, 1);
    EXPECT_EQ(map.resetValues, 0);
  }
  Counted* kept = new Counted;
  {
    vd::utl::CStringHashMap<Counted> map;
    map.ownsValues = 0;
    map.Add("kept", kept);
    map.RemoveAll();
    EXPECT_EQ(map.Size(), 0u);
    EXPECT_EQ(map.ownsValues, 1);  // back to owning after a clear
  }
  EXPECT_EQ(Counted::live, 1);
  delete kept;
}

TEST(CStringHashMap, KeysAreOrderedAsUnsignedHashes) {
  // 23 'z': s2 = 122 * 23 * 24 / 2 = 33672, so the hash has its top bit set.
  constexpr const char* kHigh = "zzzzzzzzzzzzzzzzzzzzzzz";
  static_assert(ComputeHash(kHigh) == (33672u << 16) + 122u * 23u, "hash of the key");
  static_assert(ComputeHash("abc") < 0x80000000u, "a key below the top bit");
  vd::utl::CStringHashMap<int> map;
  map.Add(kHigh, new int(2));
  map.Add("abc", new int(1));
  ASSERT_EQ(map.Size(), 2u);
  EXPECT_EQ(*map.begin()->second, 1);
  EXPECT_EQ(*std::next(map.begin())->second, 2);
  EXPECT_EQ(*map.Find(ComputeHash(kHigh)), 2);
}

TEST(EngineNames, TheTableIsBuiltBeforeMainInItsOrder) {
  ASSERT_EQ(vd::kEngineNameCount, 70);
  EXPECT_STREQ(vd::g_engineNames[0]->GetText(), "CTransform");
  EXPECT_STREQ(vd::g_engineNames[21]->GetText(), "event_all");
  EXPECT_STREQ(vd::g_engineNames[69]->GetText(), "yaw");
  for (int i = 0; i < vd::kEngineNameCount; ++i) {
    const CStringHash& n = *vd::g_engineNames[i];
    EXPECT_FALSE(n.OwnsText());
    EXPECT_EQ(n.GetHash(), ComputeHash(n.GetText())) << n.GetText();
  }
  EXPECT_EQ(vd::SH_OnTimer, CStringHash("ontimer"));
  EXPECT_EQ(vd::SH__default.GetHash(), ComputeHash("_default"));
}

}  // namespace
