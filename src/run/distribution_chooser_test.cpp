#include "run/distribution_chooser.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "ui/terminal/terminal_channel.h"

namespace corvane {
namespace {

class ScriptedTerminal final : public TerminalChannel {
 public:
  ScriptedTerminal(bool interactive, std::deque<std::string> lines)
      : interactive_(interactive), lines_(std::move(lines)) {}
  bool IsInteractive() override { return interactive_; }
  void Write(const char* text) override { written += text; }
  bool ReadLine(std::string* line) override {
    if (lines_.empty()) return false;
    *line = lines_.front();
    lines_.pop_front();
    return true;
  }
  std::string written;

 private:
  bool interactive_;
  std::deque<std::string> lines_;
};

NameList Titles() {
  NameList titles;
  titles.Add("Classic");
  titles.Add("Gold Edition");
  return titles;
}

TEST(TerminalDistributionChooser, NumberedChoiceFromOne) {
  ScriptedTerminal terminal(true, {"2"});
  TerminalDistributionChooser chooser(terminal);
  EXPECT_EQ(chooser.Choose(Titles()), 1);
  EXPECT_NE(terminal.written.find("1. Classic\n  2. Gold Edition"), std::string::npos)
      << terminal.written;
  EXPECT_NE(terminal.written.find("Please, select one from the list."), std::string::npos);
}

TEST(TerminalDistributionChooser, EnterTakesTheFirstAndNonsenseAsksAgain) {
  ScriptedTerminal enter(true, {""});
  TerminalDistributionChooser first(enter);
  EXPECT_EQ(first.Choose(Titles()), 0);

  ScriptedTerminal nonsense(true, {"7", "gold", " 2 "});
  TerminalDistributionChooser again(nonsense);
  EXPECT_EQ(again.Choose(Titles()), 1);
}

TEST(TerminalDistributionChooser, CancelledByZeroCOrEndOfInput) {
  for (const char* reply : {"0", "c", "Cancel"}) {
    ScriptedTerminal terminal(true, {reply});
    TerminalDistributionChooser chooser(terminal);
    EXPECT_EQ(chooser.Choose(Titles()), -1) << reply;
  }
  ScriptedTerminal ended(true, {});
  TerminalDistributionChooser chooser(ended);
  EXPECT_EQ(chooser.Choose(Titles()), -1);
}

TEST(TerminalDistributionChooser, NobodyAtTheTerminalCancelsAndSaysSoWithoutAsking) {
  ScriptedTerminal terminal(false, {"1"});
  TerminalDistributionChooser chooser(terminal);
  EXPECT_EQ(chooser.Choose(Titles()), -1);
  EXPECT_NE(terminal.written.find("nothing was changed"), std::string::npos) << terminal.written;
  EXPECT_EQ(terminal.written.find("Number"), std::string::npos) << "no question without a terminal";
}

}  // namespace
}  // namespace corvane
