#include "platform/typed_question.h"

#include <gtest/gtest.h>

namespace corvane::platform {
namespace {

TEST(TypedQuestion, PromptMarksTheDefaultAndEnterTakesIt) {
  const TypedQuestion question{{"Abort", "Retry", "Ignore"}, 1};
  EXPECT_EQ(question.Prompt(), "[A]bort, [R]etry (default), [I]gnore? ");
  EXPECT_EQ(question.Pick(""), 1);
  const TypedQuestion other{{"Retry", "Cancel"}, 0};
  EXPECT_EQ(other.Prompt(), "[R]etry (default), [C]ancel? ");
  EXPECT_EQ(other.Pick(""), 0);
}

TEST(TypedQuestion, FirstLetterInEitherCasePicksAndAnythingElseAsksAgain) {
  const TypedQuestion question{{"Abort", "Retry", "Ignore"}, 0};
  EXPECT_EQ(question.Pick("i"), 2);
  EXPECT_EQ(question.Pick("Ignore it"), 2);
  EXPECT_EQ(question.Pick("R"), 1);
  EXPECT_EQ(question.Pick("x"), -1);
  EXPECT_EQ(question.Pick(" a"), -1);  // a blank first is no letter
  EXPECT_EQ(question.Pick(std::string_view("\0", 1)), -1);
}

}  // namespace
}  // namespace corvane::platform
