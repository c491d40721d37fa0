#include "foundation/r_string_bank.h"

#include <gtest/gtest.h>

#include "foundation/banked_string.h"

namespace corvane {
namespace {

// The bank keeps each text's hash beside it and rehashes from that copy when
// it grows; lookups by any spelling must still land on the held entry.
TEST(RStringBank, KeptHashesFollowGrowthAndRemoval) {
  RStringBank bank(true);
  AutoArray<RString> held;
  for (int i = 0; i < 1100; ++i) held.Add(bank.FindOrAdd(FormatString("Entry_%d", i).Data()));
  EXPECT_EQ(bank.BucketCount(), 127);  // 15 -> 31 -> 63 -> 127
  EXPECT_EQ(bank.Count(), 1100);
  for (int i = 0; i < 1100; i += 2) {
    ASSERT_TRUE(bank.Remove(FormatString("ENTRY_%d", i).Data())) << i;
  }
  EXPECT_EQ(bank.Count(), 550);
  for (int i = 0; i < 1100; ++i) {
    const RString* found = bank.Find(FormatString("entry_%d", i).Data());
    if (i % 2 == 0) {
      EXPECT_EQ(found, nullptr) << i;
    } else {
      ASSERT_NE(found, nullptr) << i;
      EXPECT_EQ(found->Block(), held[i].Block());
    }
  }
  // A re-added text goes to the bucket its hash names in the grown table.
  RString again("ENTRY_4");
  int index = bank.Add(again);
  EXPECT_EQ(index, static_cast<int>(bank.Hash("entry_4") % 127u));
  EXPECT_EQ(bank.FindOrAdd("Entry_4").Block(), again.Block());
  EXPECT_EQ(bank.Count(), 551);
}

// "aB" and "b!" share a hash (97 * 33 + 66 == 98 * 33 + 33): equal hashes
// alone must not make texts equal.
TEST(RStringBank, CollidingHashesStayDistinctTexts) {
  RStringBank bank(false);
  ASSERT_EQ(bank.Hash("aB"), bank.Hash("b!"));
  RString first = bank.FindOrAdd("aB");
  RString second = bank.FindOrAdd("b!");
  EXPECT_NE(first.Block(), second.Block());
  EXPECT_STREQ(second.Data(), "b!");
  EXPECT_EQ(bank.Count(), 2);
  EXPECT_EQ(bank.Find("b!")->Block(), second.Block());
  EXPECT_TRUE(bank.Remove("b!"));
  EXPECT_EQ(bank.Find("b!"), nullptr);
  EXPECT_EQ(bank.Find("aB")->Block(), first.Block());
  EXPECT_FALSE(bank.Remove("b!"));
  EXPECT_EQ(bank.FindOrAdd(nullptr).Block(), nullptr);
  EXPECT_EQ(bank.FindOrAdd("").Block(), nullptr);
  EXPECT_EQ(bank.Count(), 1);
}

TEST(BankedString, ReleaseAfterTheBankDroppedTheBlockLeavesTheNewHolderAlone) {
  RStringBank& bank = CaseSensitiveStringBank();
  const int before = bank.Count();
  {
    BankedString a("banked_replaced_entry");
    RString replacement("banked_replaced_entry");
    bank.Add(replacement);  // the bank now holds another block of that text
    EXPECT_EQ(a.RefCounter(), 1);
    EXPECT_EQ(bank.Find("banked_replaced_entry")->Block(), replacement.Block());
  }
  // `a` was not counted 2, so its release removed nothing.
  EXPECT_EQ(bank.Count(), before + 1);
  EXPECT_TRUE(bank.Remove("banked_replaced_entry"));
}

}  // namespace
}  // namespace corvane
