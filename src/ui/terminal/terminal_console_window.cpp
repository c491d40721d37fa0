#include "ui/terminal/terminal_console_window.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "foundation/format_byte_size.h"
#include "platform/stop_request.h"
#include "platform/typed_question.h"

namespace corvane {

namespace {

constexpr char kFrames[] = {'|', '/', '-', '\\'};
constexpr auto kFrameTime = std::chrono::milliseconds(100);

// "\r\n" and lone "\r" become the terminal's "\n"; the text ends in one.
std::string AsLines(const char* text) {
  std::string out;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '\r') {
      if (p[1] != '\n') out.push_back('\n');
    } else {
      out.push_back(*p);
    }
  }
  if (out.empty() || out.back() != '\n') out.push_back('\n');
  return out;
}

}  // namespace

bool TerminalConsoleWindow::OpenWindow() {
  interactive_ = channel_.IsInteractive();
  close_requested_ = false;
  animating_ = true;
  progress_drawn_ = false;
  progress_.clear();
  // An interrupt at the terminal is this window's close box: the run sees a
  // closed window at its next pump and stops between two files.
  platform::CatchStopRequests();
  return true;
}

void TerminalConsoleWindow::CloseWindow() {
  platform::ReleaseStopRequests();
  ClearProgressLine();
}

void TerminalConsoleWindow::ClearProgressLine() {
  if (!interactive_ || !progress_drawn_) return;
  channel_.Write("\r\x1b[K");
  progress_drawn_ = false;
}

void TerminalConsoleWindow::DrawProgressLine() {
  if (!interactive_) return;
  std::string line = "\r\x1b[K";
  if (!progress_.empty() || animating_) {
    line += animating_ ? kFrames[frame_ % 4] : ' ';
    line += ' ';
    if (work_.files_total > 0 && animating_) line += WorkFigures();
    line += progress_.substr(0, kProgressWidth);
  }
  channel_.Write(line.c_str());
  progress_drawn_ = true;
}

void TerminalConsoleWindow::ShowWork(const WorkProgress& work) {
  if (!IsOpen()) return;
  if (work.files_total != work_.files_total || work.files_done <= 0) {
    work_start_ = std::chrono::steady_clock::now();
  }
  work_.files_total = work.files_total < 0 ? 0 : work.files_total;
  work_.files_done = std::clamp(work.files_done, 0, work_.files_total);
  work_.bytes_total = work.bytes_total;
  work_.bytes_done = std::min(work.bytes_done, work.bytes_total);
  work_.phase = work.phase;
  DrawProgressLine();
}

// "[3/12 25%] ", "[update 1.00-1.01: 3/12 1.2 MB/40 MB 25% ~0:04] ": the
// pass's name when it has one; the share and the time left go by bytes when
// the pass counts them, else by files.
std::string TerminalConsoleWindow::WorkFigures() const {
  const bool by_bytes = work_.bytes_total > 0;
  const double done = by_bytes ? static_cast<double>(work_.bytes_done) : work_.files_done;
  const double total = by_bytes ? static_cast<double>(work_.bytes_total) : work_.files_total;
  std::string text = "[";
  if (!work_.phase.empty()) text += work_.phase + ": ";
  text += std::to_string(work_.files_done) + "/" + std::to_string(work_.files_total) + " ";
  if (by_bytes) {
    text += std::string(FormatByteSize(work_.bytes_done).Data()) + "/" +
            FormatByteSize(work_.bytes_total).Data() + " ";
  }
  text += std::to_string(static_cast<int>(100 * done / total)) + "%";
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - work_start_).count();
  if (done > 0 && done < total && elapsed >= 1.0) {
    const long left = std::lround(elapsed / done * (total - done));
    char clock[32];
    std::snprintf(clock, sizeof clock, " ~%ld:%02ld", left / 60, left % 60);
    text += clock;
  }
  return text + "] ";
}

void TerminalConsoleWindow::WriteLines(const char* text) {
  ClearProgressLine();
  channel_.Write(AsLines(text).c_str());
  DrawProgressLine();
}

void TerminalConsoleWindow::ShowTitle(const char* text) {
  // Plain output is the log alone (the run logs its title text as well).
  if (!interactive_) return;
  std::string title = std::string("== ") + text + " ==";
  WriteLines(title.c_str());
}

void TerminalConsoleWindow::ShowProgress(const char* text) {
  progress_ = text;
  if (progress_.empty()) work_ = WorkProgress{};  // the pass is over: its figures go too
  // Line breaks would break the rewriting of the line.
  for (char& c : progress_) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  DrawProgressLine();
}

void TerminalConsoleWindow::ShowLog(const std::string& /*log*/, const char* line,
                                    bool /*trimmed*/) {
  // A terminal keeps its own scroll-back; only the new line is printed.
  WriteLines(line);
}

void TerminalConsoleWindow::ShowSummary(const RunSummary& summary) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f s", summary.seconds);
  std::string text = summary.addon.empty()
                         ? "Done: " + summary.from_version + " -> " + summary.to_version
                         : "Done: add-on " + summary.addon + " on " + summary.from_version;
  text += " in " + std::string(seconds) + "; " + std::to_string(summary.files_updated) +
          " files updated, " + std::to_string(summary.files_copied) + " copied, " +
          std::to_string(summary.files_checked) + " checked.";
  if (!summary.log_path.empty()) text += "\nLog: " + summary.log_path;
  WriteLines(text.c_str());
}

void TerminalConsoleWindow::StopAnimation() {
  if (!IsOpen()) return;
  animating_ = false;
  DrawProgressLine();
}

void TerminalConsoleWindow::Pump() {
  if (close_requested_ || platform::StopRequested()) {
    Ended();
    return;
  }
  if (!interactive_ || !animating_) return;
  auto now = std::chrono::steady_clock::now();
  if (now - last_frame_ < kFrameTime) return;
  last_frame_ = now;
  ++frame_;
  DrawProgressLine();
}

bool TerminalConsoleWindow::WaitForInput() {
  // The run is over: a stop request now ends the wait, and one during the
  // wait ends the process as it would any program.
  platform::ReleaseStopRequests();
  if (close_requested_ || platform::StopRequested()) {
    Ended();
    return true;
  }
  if (!interactive_) return false;
  ClearProgressLine();
  channel_.Write(ok_enabled_ ? "Press Enter to close. " : "");
  std::string line;
  if (!channel_.ReadLine(&line)) return false;
  if (ok_enabled_) Ended();
  return true;
}

int TerminalConsoleWindow::AskTyped(const char* text, const char* title,
                                    const platform::TypedQuestion& question,
                                    const char* unattended) {
  ClearProgressLine();
  std::string box = std::string("[") + title + "]\n" + AsLines(text);
  channel_.Write(box.c_str());
  int answer = -1;
  if (!interactive_) {
    channel_.Write(unattended);
  } else {
    for (;;) {
      channel_.Write(question.Prompt().c_str());
      std::string reply;
      if (!channel_.ReadLine(&reply)) break;
      const int picked = question.Pick(reply);
      if (picked >= 0) {
        answer = picked;
        break;
      }
    }
  }
  if (IsOpen()) DrawProgressLine();
  return answer;
}

AbortRetryIgnore TerminalConsoleWindow::AskAbortRetryIgnore(const char* text, const char* title,
                                                            bool retry_default) {
  const platform::TypedQuestion question{{"Abort", "Retry", "Ignore"}, retry_default ? 1u : 0u};
  const AbortRetryIgnore answers[] = {AbortRetryIgnore::kAbort, AbortRetryIgnore::kRetry,
                                      AbortRetryIgnore::kIgnore};
  // Nobody can answer, and retrying unattended could go on for ever.
  const int picked = AskTyped(text, title, question, "Abort (no terminal to answer)\n");
  return picked < 0 ? AbortRetryIgnore::kAbort : answers[picked];
}

RetryCancel TerminalConsoleWindow::AskRetryCancel(const char* text, const char* title) {
  const platform::TypedQuestion question{{"Retry", "Cancel"}, 0};
  const int picked = AskTyped(text, title, question, "Cancel (no terminal to answer)\n");
  return picked == 0 ? RetryCancel::kRetry : RetryCancel::kCancel;
}

}  // namespace corvane
