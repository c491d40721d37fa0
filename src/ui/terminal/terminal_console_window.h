#pragma once

#include <chrono>
#include <string>

#include "ui/console_window.h"
#include "ui/terminal/terminal_channel.h"

namespace corvane {

namespace platform {
struct TypedQuestion;
}

// The progress window as text on a terminal.
//
// Interactive (standard input and output are terminals): the title and every
// log line are printed as lines; the progress line is the last line of the
// screen, rewritten in place with a turning busy indicator in front; OK is
// "Press Enter" once enabled; questions are answered at a prompt.
//
// Otherwise (output to a file or pipe, or nobody at the keyboard): only the
// log lines are printed, as plain lines; title and progress line are not
// shown, the end of the run does not wait, and every Abort/Retry/Ignore
// question is answered Abort and every Retry/Cancel question Cancel, since
// nobody can answer them.
//
// Line breaks of the system's texts ("\r\n") are printed as the terminal's
// ("\n").
class TerminalConsoleWindow final : public ConsoleWindowProgress {
 public:
  explicit TerminalConsoleWindow(LoadMessageFunction load_message,
                                 TerminalChannel& channel = StandardTerminal())
      : ConsoleWindowProgress(load_message), channel_(channel) {}
  ~TerminalConsoleWindow() override = default;

  void StopAnimation() override;
  AbortRetryIgnore AskAbortRetryIgnore(const char* text, const char* title,
                                       bool retry_default) override;
  RetryCancel AskRetryCancel(const char* text, const char* title) override;
  // One line of figures, and one naming the log when there is one.
  void ShowSummary(const RunSummary& summary) override;
  // On a line of its own, never on the progress line.
  void ShowEngineMessage(const char* text) override { WriteLines(text); }
  // "[3/12 25% ~0:04]" before the progress text on a terminal: files done
  // of the pass, the share, and the time left at the pace so far (shown once
  // the pass has run a second). Nothing in plain output; an empty progress
  // text ends the figures too.
  void ShowWork(const WorkProgress& work) override;

  // Characters of progress text shown at most (the rest would wrap and break
  // the rewriting of the line).
  static constexpr size_t kProgressWidth = 72;

 protected:
  bool OpenWindow() override;
  void CloseWindow() override;
  void ShowTitle(const char* text) override;
  void ShowProgress(const char* text) override;
  void ShowLog(const std::string& log, const char* line, bool trimmed) override;
  void ShowOK(bool enabled) override { ok_enabled_ = enabled; }
  void Pump() override;
  bool WaitForInput() override;
  void RequestClose() override { close_requested_ = true; }

 private:
  void ClearProgressLine();
  void DrawProgressLine();
  // Writes the box and asks until a reply picks an answer; answers its index,
  // or -1 when nobody answers (no terminal, or input ended), after writing
  // `unattended` when there is no terminal.
  int AskTyped(const char* text, const char* title, const platform::TypedQuestion& question,
               const char* unattended);
  void WriteLines(const char* text);
  std::string WorkFigures() const;

  TerminalChannel& channel_;
  bool interactive_ = false;
  bool ok_enabled_ = true;
  bool close_requested_ = false;
  bool animating_ = true;
  bool progress_drawn_ = false;
  int frame_ = 0;
  std::chrono::steady_clock::time_point last_frame_{};
  std::string progress_;
  WorkProgress work_;
  std::chrono::steady_clock::time_point work_start_{};
};

}  // namespace corvane
