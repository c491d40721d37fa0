#include "pe/version_resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "pe/pe_format.h"

namespace corvane::pe {
namespace {

using Bytes = std::vector<uint8_t>;

void Pad4(Bytes& b) {
  while (b.size() % 4 != 0) b.push_back(0);
}

// One version node: wLength, wValueLength, wType, key, padding, value, padding,
// children. value_length is stored as given (characters for text values).
Bytes Node(const std::u16string& key, uint16_t type, const Bytes& value, uint16_t value_length,
           const std::vector<Bytes>& children = {}) {
  Bytes b(6, 0);
  for (char16_t c : key) {
    b.push_back(static_cast<uint8_t>(c));
    b.push_back(static_cast<uint8_t>(c >> 8));
  }
  b.push_back(0);
  b.push_back(0);
  Pad4(b);
  b.insert(b.end(), value.begin(), value.end());
  for (const Bytes& child : children) {
    Pad4(b);
    b.insert(b.end(), child.begin(), child.end());
  }
  WriteU16(b.data(), static_cast<uint16_t>(b.size()));
  WriteU16(b.data() + 2, value_length);
  WriteU16(b.data() + 4, type);
  return b;
}

Bytes Text(const std::u16string& text) {
  Bytes b;
  for (char16_t c : text) {
    b.push_back(static_cast<uint8_t>(c));
    b.push_back(static_cast<uint8_t>(c >> 8));
  }
  b.push_back(0);
  b.push_back(0);
  return b;
}

Bytes StringValue(const std::u16string& key, const std::u16string& value) {
  return Node(key, 1, Text(value), static_cast<uint16_t>(value.size() + 1));
}

Bytes VersionInfo(const std::vector<Bytes>& tables) {
  const Bytes fixed(52, 0xAB);  // VS_FIXEDFILEINFO, content irrelevant here
  return Node(
      u"VS_VERSION_INFO", 0, fixed, 52,
      {Node(u"StringFileInfo", 1, {}, 0, tables),
       Node(u"VarFileInfo", 1, {}, 0, {Node(u"Translation", 0, {0x09, 0x04, 0xB0, 0x04}, 4)})});
}

TEST(VersionResourceTest, ReadsFileVersionOfUsEnglishUnicodeBlockOnly) {
  const Bytes block = VersionInfo({
      Node(u"040704b0", 1, {}, 0, {StringValue(u"FileVersion", u"9.99")}),
      Node(u"040904b0", 1, {}, 0,
           {StringValue(u"CompanyName", u"Corvane"), StringValue(u"FileVersion", u"1.02")}),
  });
  EXPECT_EQ(FileVersionFromBlock(block.data(), block.size()), "1.02");

  const Bytes german_only =
      VersionInfo({Node(u"040704b0", 1, {}, 0, {StringValue(u"FileVersion", u"9.99")})});
  EXPECT_EQ(FileVersionFromBlock(german_only.data(), german_only.size()), "");
  const Bytes ansi_code_page =
      VersionInfo({Node(u"040904e4", 1, {}, 0, {StringValue(u"FileVersion", u"1.0")})});
  EXPECT_EQ(FileVersionFromBlock(ansi_code_page.data(), ansi_code_page.size()), "");
}

TEST(VersionResourceTest, KeysCompareWithoutRegardToCase) {
  const Bytes block =
      VersionInfo({Node(u"040904B0", 1, {}, 0, {StringValue(u"FILEVERSION", u"2.5")})});
  EXPECT_EQ(FileVersionFromBlock(block.data(), block.size()), "2.5");
}

TEST(VersionResourceTest, TextBecomesCodePage1252AndIsCutTo255) {
  const Bytes euro = VersionInfo(
      {Node(u"040904b0", 1, {}, 0, {StringValue(u"FileVersion", u"1.0\u20ac\u00e9\u4e2d")})});
  EXPECT_EQ(FileVersionFromBlock(euro.data(), euro.size()), "1.0\x80\xe9?");

  const std::u16string long_text(300, u'7');
  const Bytes longer =
      VersionInfo({Node(u"040904b0", 1, {}, 0, {StringValue(u"FileVersion", long_text)})});
  EXPECT_EQ(FileVersionFromBlock(longer.data(), longer.size()), std::string(255, '7'));
}

TEST(VersionResourceTest, ValueLengthZeroStillGivesTheTextUpToItsZero) {
  // The ANSI query converts up to the terminating zero whatever the length says.
  const Bytes block =
      VersionInfo({Node(u"040904b0", 1, {}, 0, {Node(u"FileVersion", 1, Text(u"3.1"), 0)})});
  EXPECT_EQ(FileVersionFromBlock(block.data(), block.size()), "3.1");
}

TEST(VersionResourceTest, TruncatedAndMalformedBlocksGiveEmptyText) {
  const Bytes block =
      VersionInfo({Node(u"040904b0", 1, {}, 0, {StringValue(u"FileVersion", u"1.02")})});
  // Every prefix of a valid block: never reads past it (checked by sanitizers).
  for (size_t size = 0; size < block.size(); ++size) {
    Bytes prefix(block.begin(), block.begin() + size);
    const std::string version = FileVersionFromBlock(prefix.data(), prefix.size());
    EXPECT_TRUE(version.empty() || std::string("1.02").rfind(version, 0) == 0) << size;
  }
  // A child claiming a length below its header would never advance.
  Bytes zero_length = block;
  const Bytes key = Text(u"040904b0");
  const auto at = std::search(zero_length.begin(), zero_length.end(), key.begin(), key.end());
  ASSERT_NE(at, zero_length.end());
  WriteU16(&*(at - 6), 0);
  EXPECT_EQ(FileVersionFromBlock(zero_length.data(), zero_length.size()), "");
  // A key without its terminating zero runs to the end of the node.
  Bytes no_terminator(8, 'A');
  WriteU16(no_terminator.data(), 8);
  EXPECT_EQ(FileVersionFromBlock(no_terminator.data(), no_terminator.size()), "");
  EXPECT_EQ(FileVersionFromBlock(nullptr, 0), "");
}

}  // namespace
}  // namespace corvane::pe
