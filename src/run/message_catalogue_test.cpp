#include "run/message_catalogue.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "run/message_texts.h"
#include "run/step_test_support.h"

namespace corvane {
namespace {

class MessageCatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDisplayName(nullptr);
    SetMessageLanguage(0x0409);
  }
  void TearDown() override {
    SetDisplayName(nullptr);
    SetMessageLanguage(0);
  }

  static std::string Load(int id, int size = 1024) {
    std::vector<char> out(static_cast<size_t>(size), 'Z');
    LoadMessage(nullptr, id, out.data(), size);
    EXPECT_EQ(out[static_cast<size_t>(size) - 1], '\0');
    return out.data();
  }
};

TEST_F(MessageCatalogueTest, DisplayNameReplacesThePlaceholder) {
  EXPECT_EQ(Load(1, 256), "Corvane Patch");
  SetDisplayName("Veska Isles");
  EXPECT_EQ(Load(1, 256), "Veska Isles Patch");
  EXPECT_EQ(Load(16), "Veska Isles: Updating version %s to version %s...");
  SetDisplayName("");
  EXPECT_EQ(Load(1, 256), "Corvane Patch");
}

// Texts with the name then serve as printf formats: a "%" in the name must
// show as it is, not read arguments that are not there.
TEST_F(MessageCatalogueTest, PercentInTheNameSurvivesFormatting) {
  SetDisplayName("100% Pure %s%n");
  char format[1024];
  LoadMessageFormat(nullptr, 16, format, sizeof format);
  char text[1024];
  std::snprintf(text, sizeof text, format, "1.00", "1.02");
  EXPECT_STREQ(text, "100% Pure %s%n: Updating version 1.00 to version 1.02...");
  EXPECT_EQ(Load(1, 256), "100% Pure %s%n Patch");  // plain texts stay plain
  // A cut through a doubled "%" leaves no lone "%" at the end.
  SetDisplayName("ab%");
  LoadMessageFormat(nullptr, 1, format, 4);
  EXPECT_STREQ(format, "ab");
  LoadMessageFormat(nullptr, 1, format, 5);
  EXPECT_STREQ(format, "ab%%");
  LoadMessageFormat(nullptr, 1, format, 6);
  EXPECT_STREQ(format, "ab%% ");
}

TEST_F(MessageCatalogueTest, ShortBufferCutsTheNameAndDropsTheRest) {
  EXPECT_EQ(Load(1, 5), "Corv");
  EXPECT_EQ(Load(1, 8), "Corvane");
  EXPECT_EQ(Load(1, 9), "Corvane ");
  // The text before the placeholder does not fit: nothing is replaced.
  EXPECT_EQ(Load(11, 6), "Verif");
  EXPECT_EQ(Load(1, 1), "");
}

TEST_F(MessageCatalogueTest, LineBreaksAreKept) {
  EXPECT_EQ(Load(19), "Game version %d.%02d required.\r\nYour current version is %d.%02d.");
  EXPECT_EQ(Load(5), "The version of Corvane (%s) \nis more recent than this patch version (%s).");
}

TEST_F(MessageCatalogueTest, UnknownIdLoadsEmpty) {
  EXPECT_EQ(Load(0), "");
  EXPECT_EQ(Load(kMessageCount + 1), "");
}

TEST_F(MessageCatalogueTest, LanguageFollowsThePrimaryLanguage) {
  SetMessageLanguage(0x0407);
  EXPECT_EQ(Load(10), "Die Datei %s fehlt.");
  SetMessageLanguage(0x0C07);  // German of Austria
  EXPECT_EQ(Load(10), "Die Datei %s fehlt.");
  SetMessageLanguage(0x080C);  // French of Belgium
  EXPECT_EQ(Load(10), "Le fichier %s est manquant.");
  SetMessageLanguage(0x0410);
  EXPECT_EQ(Load(1, 256), "Patch di Corvane");
  SetMessageLanguage(0x040A);  // Spanish, traditional sort
  EXPECT_EQ(Load(10), "Falta el archivo %s.");
  SetMessageLanguage(0x0419);  // Russian: no block, English
  EXPECT_EQ(Load(10), "File %s is missing.");
}

// The printf conversions of a text, in order ("%s", "%08x", ...); "%%" is none.
std::vector<std::string> Conversions(const char* text) {
  std::vector<std::string> found;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p != '%') continue;
    if (p[1] == '%') {
      ++p;
      continue;
    }
    const char* start = p++;
    while (*p != '\0' && std::strchr("-+ #0123456789.hlLqjzt", *p) != nullptr) ++p;
    if (*p == '\0') {
      found.emplace_back(start);
      break;
    }
    found.emplace_back(start, p + 1);
  }
  return found;
}

TEST_F(MessageCatalogueTest, EveryLanguageHasEveryTextWithTheEnglishConversions) {
  ASSERT_EQ(kMessageTables[0].language, 0x0409);
  for (const MessageLanguageTable& table : kMessageTables) {
    for (int id = 1; id <= kMessageCount; ++id) {
      const char* text = table.texts[id - 1];
      const char* english = kMessageTables[0].texts[id - 1];
      ASSERT_NE(text, nullptr) << table.language << " " << id;
      EXPECT_GT(std::strlen(text), 0u) << table.language << " " << id;
      EXPECT_EQ(Conversions(text), Conversions(english)) << table.language << " " << id;
      // A template must fit the smallest buffer it is loaded into.
      EXPECT_LT(std::strlen(text), 512u) << table.language << " " << id;
    }
  }
  EXPECT_EQ(Conversions("a %s b %08x!=%08x %d.%02d %%"),
            (std::vector<std::string>{"%s", "%08x", "%08x", "%d", "%02d"}));
}

TEST_F(MessageCatalogueTest, EnglishTextsAreExact) {
  EXPECT_STREQ(MessageText(0x0409, 9),
               "Some error occurred during patch installation.\r\nPatch file is probably "
               "dammaged. You may need to download it again.\r\nError in file %s, phase %d.");
  EXPECT_STREQ(MessageText(0x0409, 14),
               "One or more files in game instalation are modified or dammaged.\r\nReinstall "
               "game from original CD disc and try again.\r\n");
  EXPECT_STREQ(MessageText(0x0409, 12), "Error found in file %s (%08x!=%08x)");
  EXPECT_STREQ(MessageText(0x0409, 21), "Error found in file %s");
}

TEST_F(MessageCatalogueTest, RetryWithoutTheFlagAsksAgain) {
  test::ScriptedWindow window;
  window.answers = {AbortRetryIgnore::kRetry, AbortRetryIgnore::kRetry, AbortRetryIgnore::kIgnore};
  EXPECT_EQ(AskAbortRetryIgnore(nullptr, &window, false, kMsgFileError, "X.EXE", 0u, 1u), 2);
  ASSERT_EQ(window.questions.size(), 3u);
  EXPECT_EQ(window.questions[0], "Error found in file X.EXE (00000000!=00000001)");
  EXPECT_FALSE(window.retry_defaults[0]);
}

TEST_F(MessageCatalogueTest, RetryWithTheFlagIsAnsweredAtOnce) {
  test::ScriptedWindow window;
  window.answers = {AbortRetryIgnore::kRetry};
  EXPECT_EQ(AskAbortRetryIgnore(nullptr, &window, true, kMsgFileErrorShort, "A"), 1);
  EXPECT_EQ(window.questions.size(), 1u);
  EXPECT_TRUE(window.retry_defaults[0]);
  window.answers = {AbortRetryIgnore::kAbort};
  EXPECT_EQ(AskAbortRetryIgnore(nullptr, &window, true, kMsgFileErrorShort, "A"), 0);
}

TEST_F(MessageCatalogueTest, QuestionTextIsCutAt2047Characters) {
  test::ScriptedWindow window;
  std::string name(3000, 'n');
  AskAbortRetryIgnore(nullptr, &window, true, kMsgFileErrorShort, name.c_str());
  ASSERT_EQ(window.questions.size(), 1u);
  EXPECT_EQ(window.questions[0].size(), 2047u);
}

#ifndef _WIN32
// The default box object must reach the platform's box. It once called the
// current object (itself), so every box of a run without a window recursed
// until the stack ran out. On Windows the box would wait for a click.
TEST_F(MessageCatalogueTest, DefaultBoxReachesThePlatform) {
  ASSERT_EQ(SetMessageBoxFunctions(nullptr), GetMessageBoxFunctions());
  ::testing::internal::CaptureStderr();
  ShowError(nullptr, "The game is not installed.");
  const std::string shown = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(shown.find("The game is not installed."), std::string::npos) << shown;
}
#endif

TEST_F(MessageCatalogueTest, RetryCancelGoesToTheOpenWindowElseToTheBoxes) {
  test::ScriptedWindow window;
  window.retry_cancel_answers = {RetryCancel::kRetry, RetryCancel::kCancel};
  EXPECT_TRUE(AskRetryCancel(nullptr, &window, kMsgFileInUse, "DATA\\A.PBO"));
  EXPECT_FALSE(AskRetryCancel(nullptr, &window, kMsgFolderNotWritable, "C:\\Games\\X"));
  ASSERT_EQ(window.retry_cancel_questions.size(), 2u);
  EXPECT_EQ(window.retry_cancel_questions[0],
            "File DATA\\A.PBO is in use.\r\nClose the game and any program using the file, then "
            "choose Retry.");
  EXPECT_EQ(window.retry_cancel_questions[1].rfind("Cannot write to the folder C:\\Games\\X.", 0),
            0u);

  // Without a window the question is the catalogue's box, titled as every box.
  test::ScopedBoxRecorder boxes;
  EXPECT_FALSE(AskRetryCancel(nullptr, nullptr, kMsgFileInUse, "X.EXE"));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].rfind("Corvane Patch? File X.EXE is in use.", 0), 0u);
}

}  // namespace
}  // namespace corvane
