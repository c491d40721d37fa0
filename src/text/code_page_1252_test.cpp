#include "text/code_page_1252.h"

#include <gtest/gtest.h>

namespace corvane::text {
namespace {

TEST(CodePage1252Test, HighControlRangeMapsBothWays) {
  std::string all;
  for (int byte = 1; byte < 256; ++byte) all += static_cast<char>(byte);
  const std::u16string wide = Cp1252ToUtf16(all);
  EXPECT_EQ(wide[0x80 - 1], u'\u20ac');  // euro sign
  EXPECT_EQ(wide[0x9F - 1], u'\u0178');
  EXPECT_EQ(wide[0x81 - 1], u'\u0081');  // undefined bytes stay C1 controls
  EXPECT_EQ(Utf16ToCp1252(wide), all);
}

TEST(CodePage1252Test, CharactersOutsideTheCodePageBecomeOneQuestionMarkEach) {
  EXPECT_EQ(Utf16ToCp1252(u"a\u4e2db\U0001F600c"), "a?b?c");
  EXPECT_EQ(Utf16ToCp1252(std::u16string(1, u'\xD800')), "?");  // lone surrogate
}

TEST(CodePage1252Test, Utf8DecodingNeverRefusesInput) {
  EXPECT_EQ(Utf8ToUtf16("caf\xc3\xa9"), u"caf\u00e9");
  EXPECT_EQ(Utf8ToUtf16("caf\xe9"), u"caf\u00e9");      // not UTF-8: taken as code page 1252
  EXPECT_EQ(Utf8ToUtf16("\xe2\x82"), u"\u00e2\u201a");  // cut sequence
  EXPECT_FALSE(IsValidUtf8("\xc0\xaf"));                // overlong form
  EXPECT_TRUE(IsValidUtf8("\xf0\x9f\x98\x80"));
  EXPECT_EQ(Utf16ToUtf8(u"\U0001F600\u00e9"), "\xf0\x9f\x98\x80\xc3\xa9");
}

TEST(CodePage1252Test, NameFoldingIsAsciiOnly) {
  EXPECT_TRUE(EqualsAsciiNoCase(u"Crc\\1.01\\crc.CRC", u"CRC\\1.01\\CRC.CRC"));
  EXPECT_FALSE(EqualsAsciiNoCase(u"\u00e9", u"\u00c9"));
  EXPECT_FALSE(EqualsAsciiNoCase(u"ab", u"abc"));
}

TEST(CodePage1252Test, ExactConversionRefusesWhatTheCodePageCannotHold) {
  std::string out, bad;
  EXPECT_TRUE(
      Utf8ToCp1252Exact("DATA\\\xc3\x89P\xc3\x89"
                        "E.DAT \xe2\x82\xac\xc5\xb8",
                        &out, &bad));
  EXPECT_EQ(out,
            "DATA\\\xc9P\xc9"
            "E.DAT \x80\x9f");
  // Japanese, a C1 control and a byte that is not UTF-8 are refused and named.
  EXPECT_FALSE(
      Utf8ToCp1252Exact("a\xe3\x83\x87"
                        "b",
                        &out, &bad));
  EXPECT_EQ(bad, "\xe3\x83\x87");
  EXPECT_FALSE(Utf8ToCp1252Exact("a\xc2\x81", &out, &bad));
  EXPECT_EQ(bad, "\xc2\x81");
  EXPECT_FALSE(Utf8ToCp1252Exact("caf\xe9", &out, &bad));
  EXPECT_EQ(bad, "\xe9");
}

}  // namespace
}  // namespace corvane::text
