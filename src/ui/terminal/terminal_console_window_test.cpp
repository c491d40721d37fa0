#include "ui/terminal/terminal_console_window.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <deque>
#include <string>

namespace corvane {
namespace {

void Messages(ModuleInstance, int id, char* out, int size) {
  const char* text = "";
  if (id == 9) text = "Some error occurred.\r\nError in file %s, phase %d.";
  if (id == 16) text = "Corvane: Updating version %s to version %s...";
  if (id == 18) text = "Checking file %s";
  std::snprintf(out, static_cast<size_t>(size), "%s", text);
}

class ScriptedChannel final : public TerminalChannel {
 public:
  explicit ScriptedChannel(bool interactive) : interactive_(interactive) {}
  bool IsInteractive() override { return interactive_; }
  void Write(const char* text) override { output += text; }
  bool ReadLine(std::string* line) override {
    ++reads;
    if (input.empty()) return false;
    *line = input.front();
    input.pop_front();
    return true;
  }

  std::string output;
  std::deque<std::string> input;
  int reads = 0;

 private:
  bool interactive_;
};

TEST(TerminalConsoleWindowTest, PlainOutputHasLinesOnlyAndDoesNotWait) {
  ScriptedChannel channel(false);
  TerminalConsoleWindow window(&Messages, channel);
  window.Create(nullptr);
  window.SetTitle(16, "1.00", "1.01");
  window.SetProgress(18, "X.EXE");
  window.AddLine(9, "X.EXE", 2);
  window.StopAnimation();
  window.WaitForClose(true);
  EXPECT_EQ(channel.output, "Some error occurred.\nError in file X.EXE, phase 2.\n");
  EXPECT_EQ(channel.reads, 0);
  EXPECT_FALSE(window.IsOpen());
}

TEST(TerminalConsoleWindowTest, EngineMessagesAndTheSummaryNeverLandOnTheProgressLine) {
  ScriptedChannel channel(true);
  TerminalConsoleWindow window(&Messages, channel);
  window.Create(nullptr);
  window.SetProgress(18, "DATA\\LEVELS.DAT");
  window.ShowEngineMessage("Incompatible patch version.\n");
  // The progress line is cleared first, the message has a line of its own,
  // and the progress line comes back under it.
  EXPECT_NE(channel.output.find("LEVELS.DAT\r\x1b[KIncompatible patch version.\n\r\x1b[K"),
            std::string::npos)
      << channel.output;
  RunSummary summary;
  summary.from_version = "1.00";
  summary.to_version = "1.02";
  summary.files_updated = 3;
  summary.files_copied = 2;
  summary.files_checked = 7;
  summary.seconds = 1.25;
  summary.log_path = "/games/patch.log";
  window.ShowSummary(summary);
  EXPECT_NE(channel.output.find(
                "\r\x1b[KDone: 1.00 -> 1.02 in 1.2 s; 3 files updated, 2 copied, 7 checked.\n"
                "Log: /games/patch.log\n"),
            std::string::npos)
      << channel.output;
}

TEST(TerminalConsoleWindowTest, PlainOutputAnswersQuestionsWithAbort) {
  ScriptedChannel channel(false);
  TerminalConsoleWindow window(&Messages, channel);
  window.Create(nullptr);
  EXPECT_EQ(window.AskAbortRetryIgnore("Error found in file X", "Corvane Patch", true),
            AbortRetryIgnore::kAbort);
  EXPECT_EQ(channel.reads, 0);
  EXPECT_NE(channel.output.find("Error found in file X"), std::string::npos);
}

TEST(TerminalConsoleWindowTest, InteractiveRewritesTheProgressLineAndWaitsForEnter) {
  ScriptedChannel channel(true);
  channel.input = {""};
  TerminalConsoleWindow window(&Messages, channel);
  window.Create(nullptr);
  window.SetTitle(16, "1.00", "1.01");
  EXPECT_NE(channel.output.find("== Corvane: Updating version 1.00 to version 1.01... ==\n"),
            std::string::npos);
  window.SetProgress(18, "A.VBK");
  window.SetProgress(18, "B.VBK");
  EXPECT_NE(channel.output.find("\r\x1b[K| Checking file B.VBK"), std::string::npos);
  window.AddLine(9, "B.VBK", 1);
  // The log line replaces the progress line, which is drawn again below it.
  EXPECT_NE(channel.output.find("\r\x1b[KSome error occurred.\nError in file B.VBK, phase 1.\n"
                                "\r\x1b[K| Checking file B.VBK"),
            std::string::npos);
  window.StopAnimation();
  window.WaitForClose(true);
  EXPECT_EQ(channel.reads, 1);
  EXPECT_FALSE(window.IsOpen());
  EXPECT_NE(channel.output.find("Press Enter to close."), std::string::npos);
}

// The pass's figures lead the progress line on a terminal, go with an empty
// progress text, and never reach plain output.
TEST(TerminalConsoleWindowTest, WorkFiguresLeadTheProgressLineOnATerminalOnly) {
  ScriptedChannel terminal(true);
  TerminalConsoleWindow window(&Messages, terminal);
  window.ShowWork(WorkProgress{1, 4});  // before the window: nothing
  EXPECT_EQ(terminal.output, "");
  window.Create(nullptr);
  window.ShowWork(WorkProgress{3, 12});
  window.SetProgress(18, "DATA\\LEVELS.DAT");
  EXPECT_NE(terminal.output.find("\r\x1b[K| [3/12 25%] Checking file DATA\\LEVELS.DAT"),
            std::string::npos)
      << terminal.output;
  window.ShowWork(WorkProgress{20, 12});  // more than the total reads as all of it
  EXPECT_NE(terminal.output.find("[12/12 100%] Checking"), std::string::npos);
  // A named pass that counts bytes: the share is theirs, not the files'.
  window.ShowWork(WorkProgress{1, 4, 30u << 20, 40u << 20, "update 1.00-1.01"});
  window.SetProgress(18, "BIG.PBO");
  EXPECT_NE(terminal.output.find("[update 1.00-1.01: 1/4 30 MB/40 MB 75%] Checking file BIG.PBO"),
            std::string::npos)
      << terminal.output;
  window.SetProgressText("");
  window.SetProgress(18, "B.VBK");
  EXPECT_NE(terminal.output.rfind("\r\x1b[K| Checking file B.VBK"), std::string::npos);
  EXPECT_EQ(terminal.output.find("] Checking file B.VBK"), std::string::npos);
  window.StopAnimation();
  window.Destroy();

  ScriptedChannel plain(false);
  TerminalConsoleWindow quiet(&Messages, plain);
  quiet.Create(nullptr);
  quiet.ShowWork(WorkProgress{3, 12});
  quiet.SetProgress(18, "A.VBK");
  quiet.StopAnimation();
  quiet.Destroy();
  EXPECT_EQ(plain.output, "");
}

TEST(TerminalConsoleWindowTest, InteractiveQuestionTakesTheTypedAnswer) {
  ScriptedChannel channel(true);
  channel.input = {"x", "i", "", "", "r"};
  TerminalConsoleWindow window(&Messages, channel);
  window.Create(nullptr);
  // "x" is no answer: asked again; "i" ignores.
  EXPECT_EQ(window.AskAbortRetryIgnore("t", "T", false), AbortRetryIgnore::kIgnore);
  // An empty answer takes the default the prompt names: Retry when the
  // question has it, else Abort.
  EXPECT_EQ(window.AskAbortRetryIgnore("t", "T", true), AbortRetryIgnore::kRetry);
  EXPECT_NE(channel.output.find("[A]bort, [R]etry (default), [I]gnore? "), std::string::npos);
  EXPECT_EQ(window.AskAbortRetryIgnore("t", "T", false), AbortRetryIgnore::kAbort);
  EXPECT_NE(channel.output.find("[A]bort (default), [R]etry, [I]gnore? "), std::string::npos);
  EXPECT_EQ(window.AskAbortRetryIgnore("t", "T", false), AbortRetryIgnore::kRetry);
  // End of input: Abort.
  EXPECT_EQ(window.AskAbortRetryIgnore("t", "T", true), AbortRetryIgnore::kAbort);
}

TEST(TerminalConsoleWindowTest, WaitEndsAtTheEndOfInput) {
  ScriptedChannel channel(true);
  TerminalConsoleWindow window(&Messages, channel);
  window.Create(nullptr);
  window.WaitForClose(true);
  EXPECT_FALSE(window.IsOpen());
}

TEST(TerminalConsoleWindowTest, RetryCancelQuestionTakesTheTypedAnswer) {
  ScriptedChannel channel(true);
  channel.input = {"x", "c", "", "R"};
  TerminalConsoleWindow window(&Messages, channel);
  window.Create(nullptr);
  // "x" is no answer: asked again; "c" cancels; Enter takes the default Retry.
  EXPECT_EQ(window.AskRetryCancel("File X.EXE is in use.", "T"), RetryCancel::kCancel);
  EXPECT_EQ(window.AskRetryCancel("t", "T"), RetryCancel::kRetry);
  EXPECT_EQ(window.AskRetryCancel("t", "T"), RetryCancel::kRetry);
  // End of input: Cancel.
  EXPECT_EQ(window.AskRetryCancel("t", "T"), RetryCancel::kCancel);
  EXPECT_NE(channel.output.find("File X.EXE is in use."), std::string::npos);
  EXPECT_NE(channel.output.find("[R]etry (default), [C]ancel? "), std::string::npos);

  // Nobody at the keyboard: Cancel without reading.
  ScriptedChannel plain(false);
  TerminalConsoleWindow unattended(&Messages, plain);
  unattended.Create(nullptr);
  EXPECT_EQ(unattended.AskRetryCancel("t", "T"), RetryCancel::kCancel);
  EXPECT_EQ(plain.reads, 0);
}

#ifndef _WIN32
// An interrupt at the terminal is the window's close box: it ends the
// window at the next pump as closed by the user, and never the process.
// (A Windows console delivers its interrupts as control events, not signals.)
TEST(TerminalConsoleWindowTest, InterruptsCloseTheWindowAtTheNextPump) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    ScriptedChannel channel(false);
    TerminalConsoleWindow window(&Messages, channel);
    window.Create(nullptr);
    ASSERT_EQ(std::raise(signal), 0);
    EXPECT_TRUE(window.IsOpen());
    EXPECT_FALSE(window.ClosedByUser());
    window.ProcessMessages();
    EXPECT_FALSE(window.IsOpen());
    EXPECT_TRUE(window.ClosedByUser());
  }
}
#endif

TEST(TerminalConsoleWindowTest, AcknowledgingTheEndIsNoCloseByTheUser) {
  ScriptedChannel channel(true);
  channel.input.emplace_back("");
  TerminalConsoleWindow window(&Messages, channel);
  window.Create(nullptr);
  window.ProcessMessages();
  window.WaitForClose(true);
  EXPECT_FALSE(window.IsOpen());
  EXPECT_FALSE(window.ClosedByUser());

  // Close asks as a cancel would: that is the user's close.
  window.Create(nullptr);
  window.Close();
  window.ProcessMessages();
  EXPECT_FALSE(window.IsOpen());
  EXPECT_TRUE(window.ClosedByUser());
}

}  // namespace
}  // namespace corvane
