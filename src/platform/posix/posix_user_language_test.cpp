#include <gtest/gtest.h>

#include "platform/terminal.h"
#include "platform/user_language.h"

namespace corvane::platform {
namespace {

TEST(PosixUserLanguageTest, LocaleNamesGiveWindowsLanguageIds) {
  EXPECT_EQ(LanguageIdFromLocaleName("de_DE.UTF-8"), 0x0407);
  EXPECT_EQ(LanguageIdFromLocaleName("fr_CA.UTF-8"), 0x040C);
  EXPECT_EQ(LanguageIdFromLocaleName("it"), 0x0410);
  EXPECT_EQ(LanguageIdFromLocaleName("es_ES@euro"), 0x0C0A);
  EXPECT_EQ(LanguageIdFromLocaleName("C"), 0x0409);
  EXPECT_EQ(LanguageIdFromLocaleName("POSIX"), 0x0409);
  EXPECT_EQ(LanguageIdFromLocaleName("pt_BR.UTF-8"), 0x0409);
  // "deu" is not "de".
  EXPECT_EQ(LanguageIdFromLocaleName("deutsch"), 0x0409);
}

TEST(PosixTerminalTest, CodePage1252BecomesUtf8AndBack) {
  // "Überprüfe" and the euro sign (0x80 in code page 1252).
  const char text[] =
      "\xDC"
      "berpr\xFC"
      "fe \x80";
  std::string utf8 = Cp1252ToUtf8(text);
  EXPECT_EQ(utf8,
            "\xC3\x9C"
            "berpr\xC3\xBC"
            "fe \xE2\x82\xAC");
  EXPECT_EQ(Utf8ToCp1252(utf8), text);
}

}  // namespace
}  // namespace corvane::platform
