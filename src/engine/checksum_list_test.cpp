#include "engine/checksum_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvane {
namespace {

// A parsed line that owns its name (the reader's names point into the text).
struct OwnedLine {
  bool optional;
  std::string name;
  std::vector<uint32_t> values;
  bool Matches(uint32_t crc) const {
    ChecksumLine line;
    line.values = values;
    return line.Matches(crc);
  }
};

std::vector<OwnedLine> ReadAll(const std::string& text) {
  ChecksumListReader reader(text.data(), text.size());
  std::vector<OwnedLine> lines;
  ChecksumLine line;
  while (reader.Next(&line)) {
    lines.push_back({line.optional, std::string(line.name), line.values});
  }
  return lines;
}

TEST(ChecksumListTest, OptionalMarkNameAndValues) {
  std::string text = "+ADDONS\\X.vbk 1234abcd\r\nX.EXE 89ABCDEF 00000001\n";
  auto lines = ReadAll(text);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].optional);
  EXPECT_EQ(lines[0].name, "ADDONS\\X.vbk");
  EXPECT_EQ(lines[0].values, std::vector<uint32_t>{0x1234abcd});
  EXPECT_FALSE(lines[1].optional);
  EXPECT_EQ(lines[1].name, "X.EXE");
  EXPECT_EQ(lines[1].values, (std::vector<uint32_t>{0x89abcdef, 1}));
  EXPECT_TRUE(lines[1].Matches(1));
  EXPECT_FALSE(lines[1].Matches(2));
}

TEST(ChecksumListTest, LastLineWithoutLineFeedIsIgnored) {
  auto lines = ReadAll("A 1\nB 2");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].name, "A");
  EXPECT_TRUE(ReadAll("A 1").empty());
}

TEST(ChecksumListTest, LineWithoutSpaceIsSkipped) {
  auto lines = ReadAll("nospace\n\n\r\nA\t1\nB 2\n");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].name, "B");
}

TEST(ChecksumListTest, FirstValueIsAlwaysTakenEvenWhenNotHexadecimal) {
  auto lines = ReadAll("A zz\nB  12\nC \n");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].values, std::vector<uint32_t>{0});
  // The first value starts right after the one space: the second space makes
  // it empty (0), then white space and a digit give one more value.
  EXPECT_EQ(lines[1].values, (std::vector<uint32_t>{0, 0x12}));
  EXPECT_EQ(lines[2].values, std::vector<uint32_t>{0});
}

TEST(ChecksumListTest, AnythingButWhiteSpaceAfterAValueEndsTheLine) {
  auto lines = ReadAll("A 12,34 56\nB 12 \t 34 zz 56\nC 12x 34\n");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].values, std::vector<uint32_t>{0x12});
  EXPECT_EQ(lines[1].values, (std::vector<uint32_t>{0x12, 0x34}));
  EXPECT_EQ(lines[2].values, std::vector<uint32_t>{0x12});
}

TEST(ChecksumListTest, OverlongValueSaturates) {
  auto lines = ReadAll("A 123456789abc\n");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].values, std::vector<uint32_t>{0xFFFFFFFFu});
}

TEST(ChecksumListTest, OverlongLineIsCutAndItsRestSkipped) {
  std::string name(1018, 'N');
  // 1,018 + " 1234 " + "5678": the second value starts at column 1,024, past
  // the limit, and the next line is still read as a line of its own.
  std::string text = name + " 1234 5678\nB 2\n";
  auto lines = ReadAll(text);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].name.size(), 1018u);
  EXPECT_EQ(lines[0].values, std::vector<uint32_t>{0x1234});
  EXPECT_EQ(lines[1].name, "B");
}

TEST(ChecksumListTest, DistributionSuffixStaysPartOfTheName) {
  auto lines = ReadAll("X.EXE.#KESTREL 89abcdef\n");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].name, "X.EXE.#KESTREL");
}

TEST(ChecksumListWriterTest, WrittenListsReadBackLineForLineInOneOrder) {
  ChecksumListWriter writer;
  std::string why;
  // Accented code page 1252 names, an empty file's CRC (0), several values.
  ASSERT_TRUE(
      writer.Add("data\\\xc9P\xc9"
                 "E.DAT",
                 false, {0x89abcdef}, &why))
      << why;
  ASSERT_TRUE(writer.Add("EMPTY.LST", false, {0}, &why)) << why;
  ASSERT_TRUE(writer.Add("Data\\A.DAT", true, {0x12, 0xffffffff}, &why)) << why;
  ASSERT_TRUE(writer.Add(std::string(1023 - 1 - 9, 'L'), false, {1}, &why)) << why;
  const std::string text = writer.Text();
  EXPECT_EQ(text.substr(0, 31), "+Data\\A.DAT 00000012 ffffffff\r\n");
  const auto lines = ReadAll(text);
  ASSERT_EQ(lines.size(), 4u);
  // a-z folded: "Data\A" < "data\\xc9" < "EMPTY" < "LLL...".
  EXPECT_EQ(lines[1].name,
            "data\\\xc9P\xc9"
            "E.DAT");
  EXPECT_EQ(lines[1].values, std::vector<uint32_t>{0x89abcdef});
  EXPECT_EQ(lines[2].name, "EMPTY.LST");
  EXPECT_TRUE(lines[2].Matches(0));
  EXPECT_EQ(lines[3].name.size(), 1013u);
  EXPECT_EQ(lines[3].values, std::vector<uint32_t>{1});
  // The same lines added in another order give the same bytes.
  ChecksumListWriter other;
  ASSERT_TRUE(other.Add(std::string(1013, 'L'), false, {1}, &why));
  ASSERT_TRUE(other.Add("EMPTY.LST", false, {0}, &why));
  ASSERT_TRUE(other.Add("Data\\A.DAT", true, {0x12, 0xffffffff}, &why));
  ASSERT_TRUE(
      other.Add("data\\\xc9P\xc9"
                "E.DAT",
                false, {0x89abcdef}, &why));
  EXPECT_EQ(other.Text(), text);
}

TEST(ChecksumListWriterTest, NamesTheReaderWouldMisreadAreRefusedByName) {
  ChecksumListWriter writer;
  std::string why;
  EXPECT_FALSE(writer.Add("MY FILE.TXT", false, {1}, &why));
  EXPECT_NE(why.find("MY FILE.TXT: cannot be named"), std::string::npos) << why;
  EXPECT_FALSE(writer.Add("+PLUS.TXT", false, {1}, &why));
  EXPECT_FALSE(writer.Add("A\nB", false, {1}, &why));
  EXPECT_FALSE(writer.Add("", false, {1}, &why));
  EXPECT_FALSE(writer.Add("NOVALUE", false, {}, &why));
  EXPECT_FALSE(writer.Add(std::string(1014, 'L'), false, {1}, &why));
  EXPECT_EQ(writer.Text(), "");
}

}  // namespace
}  // namespace corvane
