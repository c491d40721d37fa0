#include "platform/posix/wine_registry_file.h"

#include <gtest/gtest.h>

namespace corvane::platform {
namespace {

const std::string kSample =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to \\\\Machine\n"
    "\n"
    "#arch=win32\n"
    "\n"
    "[Software\\\\Corvane\\\\Game] 1600000000\n"
    "#time=1d6a1b2c3d4e5f6\n"
    "\"Binary\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n"
    "  16,17\n"
    "\"Count\"=dword:00000010\n"
    "\"MAIN\"=\"C:\\\\Games\\\\Corvane \\\"Gold\\\"\"\n"
    "\"Path\"=str(2):\"%ProgramFiles%\\\\Corvane\"\n"
    "\"Wide\"=hex(2):43,00,3a,00,5c,00,e9,00,00,00\n"
    "@=\"default\"\n"
    "\n"
    "[Software\\\\Other] 1600000001\n"
    "#time=1d6a1b2c3d4e5f7\n"
    "\"Caf\\xe9\"=\"na\\xefve \\x00e9t\\xe9\"\n";

TEST(WineRegistryFileTest, ReadsEveryStringForm) {
  WineRegistryFile file;
  ASSERT_TRUE(file.Load(kSample));
  EXPECT_FALSE(file.win64());
  std::u16string value;
  using Lookup = WineRegistryFile::Lookup;
  ASSERT_EQ(file.GetString(u"software\\corvane\\GAME", u"main", &value), Lookup::kFound);
  EXPECT_EQ(value, u"C:\\Games\\Corvane \"Gold\"");
  ASSERT_EQ(file.GetString(u"Software\\Corvane\\Game", u"Path", &value), Lookup::kFound);
  EXPECT_EQ(value, u"%ProgramFiles%\\Corvane");
  ASSERT_EQ(file.GetString(u"Software\\Corvane\\Game", u"Wide", &value), Lookup::kFound);
  EXPECT_EQ(value, u"C:\\\u00e9");
  ASSERT_EQ(file.GetString(u"Software\\Corvane\\Game", u"", &value), Lookup::kFound);
  EXPECT_EQ(value, u"default");
  // "\x00e9t" is é then t: four hex digits at most.
  ASSERT_EQ(file.GetString(u"\\Software\\Other\\", u"CAF\u00c9", &value), Lookup::kFound);
  EXPECT_EQ(value, u"na\u00efve \u00e9t\u00e9");
  EXPECT_EQ(file.GetString(u"Software\\Corvane\\Game", u"Count", &value), Lookup::kNotString);
  EXPECT_EQ(file.GetString(u"Software\\Corvane\\Game", u"Binary", &value), Lookup::kNotString);
  EXPECT_EQ(file.GetString(u"Software\\Corvane\\Game", u"Missing", &value), Lookup::kNoValue);
  EXPECT_EQ(file.GetString(u"Software\\Corvane", u"MAIN", &value), Lookup::kNoKey);
}

TEST(WineRegistryFileTest, ChangingOneValueKeepsEveryOtherByte) {
  WineRegistryFile file;
  ASSERT_TRUE(file.Load(kSample));
  file.SetString(u"SOFTWARE\\Corvane\\Game", u"main", u"D:\\New", 1700000000);
  const std::string expected_changed_value = "\"main\"=\"D:\\\\New\"\n";
  std::string expected = kSample;
  expected.replace(expected.find("\"MAIN\"="),
                   std::string("\"MAIN\"=\"C:\\\\Games\\\\Corvane \\\"Gold\\\"\"\n").size(),
                   expected_changed_value);
  expected.replace(expected.find("] 1600000000"), 12, "] 1700000000");
  expected.replace(expected.find("#time=1d6a1b2c3d4e5f6"), 21, "#time=1da1747c66d0000");
  EXPECT_EQ(file.text(), expected);
  std::u16string value;
  ASSERT_EQ(file.GetString(u"Software\\Corvane\\Game", u"MAIN", &value),
            WineRegistryFile::Lookup::kFound);
  EXPECT_EQ(value, u"D:\\New");
}

TEST(WineRegistryFileTest, NewValueAndNewKeyAreAdded) {
  WineRegistryFile file;
  ASSERT_TRUE(file.Load(kSample));
  file.SetString(u"Software\\Other", u"Version", u"1.02", 1700000000);
  file.SetString(u"Software\\New\\Deep", u"Quote\"d", u"tab\there\u00e9A", 1700000000);
  const std::string& text = file.text();
  EXPECT_NE(text.find("#time=1da1747c66d0000\n\"Version\"=\"1.02\"\n\"Caf\\xe9\"="),
            std::string::npos);
  EXPECT_NE(text.find("\n\n[Software\\\\New\\\\Deep] 1700000000\n#time=1da1747c66d0000\n"
                      "\"Quote\\\"d\"=\"tab\\there\\x00e9A\"\n"),
            std::string::npos);
  EXPECT_EQ(text.substr(0, kSample.find("[Software\\\\Other]")),
            kSample.substr(0, kSample.find("[Software\\\\Other]")));
  std::u16string value;
  ASSERT_EQ(file.GetString(u"software\\new\\deep", u"QUOTE\"D", &value),
            WineRegistryFile::Lookup::kFound);
  EXPECT_EQ(value, u"tab\there\u00e9A");
}

TEST(WineRegistryFileTest, EscapingRoundTripsEveryCharacter) {
  std::u16string all;
  for (char16_t c = 1; c < 0x200; ++c) all += c;
  all += u"\u20ac\uffff";
  const std::string escaped = WineRegistryFile::EscapeText(all, '"', '"');
  // Plain ASCII only (DEL is written as it is, as Wine writes it).
  for (char c : escaped) EXPECT_TRUE(c >= 32 && c <= 127) << int(c);
  std::string quoted = escaped + "\"";
  size_t pos = 0;
  std::u16string back;
  ASSERT_TRUE(WineRegistryFile::ParseEscaped(quoted, &pos, '"', &back));
  EXPECT_EQ(back, all);
  EXPECT_EQ(pos, escaped.size());
}

TEST(WineRegistryFileTest, NewValueIsNotSwallowedByAHexListContinuation) {
  // The key's last value is a hex list whose last line still ends in "\".
  WineRegistryFile file;
  ASSERT_TRUE(file.Load("WINE REGISTRY Version 2\n\n[Key] 1\n#time=1\n\"Bin\"=hex:00,01,\\\n"));
  file.SetString(u"Key", u"New", u"value", 1700000000);
  std::u16string value;
  ASSERT_EQ(file.GetString(u"Key", u"New", &value), WineRegistryFile::Lookup::kFound);
  EXPECT_EQ(value, u"value");
}

TEST(WineRegistryFileTest, Win64ArchitectureIsSeen) {
  WineRegistryFile file;
  ASSERT_TRUE(file.Load(WineRegistryFile::EmptyFile(false, true)));
  EXPECT_TRUE(file.win64());
  WineRegistryFile not_registry;
  EXPECT_FALSE(not_registry.Load("hello\n[Key] 1\n\"a\"=\"b\"\n"));
}

TEST(WineRegistryFileTest, DamagedLinesAreSkippedNotMisread) {
  const std::string text =
      "WINE REGISTRY Version 2\n"
      "[Unterminated\\\\Key 1\n"
      "\"Orphan\"=\"x\"\n"
      "[Good] 1\n"
      "\"Open=\"no end\n"
      "\"Half\"=\"abc\n"
      "\"Trail\"=\"ends in backslash\\";
  WineRegistryFile file;
  ASSERT_TRUE(file.Load(text));
  std::u16string value;
  EXPECT_EQ(file.GetString(u"Unterminated\\Key", u"Orphan", &value),
            WineRegistryFile::Lookup::kNoKey);
  EXPECT_EQ(file.GetString(u"Good", u"Half", &value), WineRegistryFile::Lookup::kNotString);
  EXPECT_EQ(file.GetString(u"Good", u"Trail", &value), WineRegistryFile::Lookup::kNotString);
  file.SetString(u"Good", u"Half", u"fixed", 1);
  ASSERT_EQ(file.GetString(u"Good", u"Half", &value), WineRegistryFile::Lookup::kFound);
  EXPECT_EQ(value, u"fixed");
}

}  // namespace
}  // namespace corvane::platform
