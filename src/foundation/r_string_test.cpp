#include "foundation/r_string.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace corvane {
namespace {

TEST(RString, EmptyTextIsTheNullString) {
  RString from_empty("");
  RString from_null(static_cast<const char*>(nullptr));
  RString zero_length("abc", 0);
  RString made;
  for (const RString* s : {&from_empty, &from_null, &zero_length, &made}) {
    EXPECT_TRUE(s->IsNull());
    EXPECT_STREQ(s->Data(), "");
    EXPECT_EQ(s->GetLength(), 0);
    EXPECT_EQ(s->RefCounter(), 0);
  }
  EXPECT_TRUE(RString::CreateBuffer(0).IsNull());
  EXPECT_TRUE((RString() + RString()).IsNull());
}

TEST(RString, CopiesShareTheBlockAndSelfAssignmentKeepsIt) {
  RString a("path");
  RString b = a;
  EXPECT_EQ(a.Block(), b.Block());
  EXPECT_EQ(a.RefCounter(), 2);
  const RString& alias = a;
  a = alias;
  EXPECT_EQ(a.RefCounter(), 2);
  EXPECT_STREQ(a.Data(), "path");
  b.Free();
  EXPECT_EQ(a.RefCounter(), 1);
  // Assigning a string over the last holder of the same block must not free
  // it first.
  RString only("solo");
  only = RString(only);
  EXPECT_STREQ(only.Data(), "solo");
}

TEST(RString, LengthConstructorsAndConcatenation) {
  EXPECT_STREQ(RString("abcdef", 3).Data(), "abc");
  EXPECT_STREQ(RString("ab", 10).Data(), "ab");  // stops at the terminator
  RString buffer = RString::CreateBuffer(8);
  EXPECT_STREQ(buffer.Data(), "");
  std::snprintf(buffer.MutableData(), 9, "%s", "12345678");
  EXPECT_EQ(buffer.GetLength(), 8);
  EXPECT_STREQ((RString("ab") + "cd").Data(), "abcd");
  EXPECT_STREQ((RString() + "cd").Data(), "cd");
}

TEST(RString, ReplaceSharesWhenNothingChangesAndCopiesOtherwise) {
  RString plain("a\\b");
  RString same = plain.Replace('/', '\\');
  EXPECT_EQ(same.Block(), plain.Block());
  RString slashed("dir/sub/file.txt");
  RString fixed = slashed.Replace('/', '\\');
  EXPECT_STREQ(fixed.Data(), "dir\\sub\\file.txt");
  EXPECT_STREQ(slashed.Data(), "dir/sub/file.txt");
  // No 512-character limit on paths.
  std::string long_path(2000, '/');
  EXPECT_EQ(RString(long_path.c_str()).Replace('/', '\\').Data(), std::string(2000, '\\'));
  EXPECT_STREQ(RString("MiXed").Lower().Data(), "mixed");
  EXPECT_STREQ(RString("abcdef").Substring(2, 4).Data(), "cd");
}

TEST(RString, FormatStringCutsAt1023AndIntToString) {
  std::string long_text(2000, 'q');
  RString cut = FormatString("%s", long_text.c_str());
  EXPECT_EQ(cut.GetLength(), 1023);
  EXPECT_TRUE(FormatString("%s", "").IsNull());
  EXPECT_STREQ(FormatString("%d.%02d", 1, 5).Data(), "1.05");
  EXPECT_STREQ(IntToString(INT_MIN).Data(), "-2147483648");
  EXPECT_STREQ(IntToString(0).Data(), "0");
}

TEST(RString, ComparisonsUseUnsignedBytesAndAsciiCaseFolding) {
  EXPECT_EQ(CompareNoCase("ABC\\Def", "abc\\dEF"), 0);
  EXPECT_NE(CompareNoCase("\xC4", "\xE4"), 0);  // only ASCII letters fold
  EXPECT_LT(CompareText("a", "\xE4"), 0);
  EXPECT_TRUE(RString("x") == "x");
  EXPECT_FALSE(RString("x") == RString("X"));
}

}  // namespace
}  // namespace corvane
