#include "ui/console_window.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/message_box.h"
#include "platform/message_pump.h"

namespace corvane {

namespace {

// printf into `out` of `size` bytes: at most size - 1 characters, cut there.
void FormatInto(char* out, int size, const char* format, va_list args) {
  int written = std::vsnprintf(out, static_cast<size_t>(size), format, args);
  if (written < 0) out[0] = '\0';
}

// The open windows of the process, which the pumps serve (there is one thread).
std::vector<ConsoleWindow*>& OpenWindows() {
  static std::vector<ConsoleWindow*> windows;
  return windows;
}

}  // namespace

ConsoleWindow::~ConsoleWindow() { SetOpen(false); }

RetryCancel ConsoleWindow::AskRetryCancel(const char* text, const char* title) {
  return platform::AskRetryCancelBox(text, title) ? RetryCancel::kRetry : RetryCancel::kCancel;
}

void ConsoleWindowProgress::ShowEngineMessage(const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}

void ConsoleWindow::SetOpen(bool open) {
  std::vector<ConsoleWindow*>& windows = OpenWindows();
  windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
  if (open) windows.push_back(this);
  open_ = open;
}

bool TrimLog(std::string* log, size_t limit) {
  bool trimmed = false;
  while (log->size() > limit) {
    size_t feed = log->find('\n');
    trimmed = true;
    if (feed == std::string::npos) {
      log->clear();
      break;
    }
    log->erase(0, feed + 1);
  }
  return trimmed;
}

void ConsoleWindow::LoadWindowMessage(int id, char* out, int size) const {
  out[0] = '\0';
  if (load_message_ != nullptr) load_message_(instance_, id, out, size);
  out[size - 1] = '\0';
}

void ConsoleWindow::FormatMessage(int id, va_list args, int template_size, char* out,
                                  int out_size) const {
  char format[kTemplateBufferSize];
  LoadWindowMessage(id, format, template_size);
  FormatInto(out, out_size, format, args);
}

void ConsoleWindow::Create(ModuleInstance instance) {
  instance_ = instance;
  log_.clear();
  closed_by_user_ = false;
  SetOpen(OpenWindow());
  if (!open_) return;
  // The template's placeholder text never shows.
  ShowProgress("");
}

void ConsoleWindow::Destroy() {
  if (!open_) return;
  SetOpen(false);
  CloseWindow();
}

void ConsoleWindow::Ended() {
  if (!open_) return;
  if (!waiting_for_close_) closed_by_user_ = true;
  SetOpen(false);
  CloseWindow();
}

void ConsoleWindow::SetTitle(int id, ...) {
  if (!open_) return;
  char text[kTitleBufferSize];
  va_list args;
  va_start(args, id);
  FormatMessage(id, args, kTitleBufferSize, text, kTitleBufferSize);
  va_end(args);
  ShowTitle(text);
}

void ConsoleWindow::SetProgress(int id, ...) {
  if (!open_) return;
  char text[kTitleBufferSize];
  va_list args;
  va_start(args, id);
  FormatMessage(id, args, kTitleBufferSize, text, kTitleBufferSize);
  va_end(args);
  ShowProgress(text);
}

void ConsoleWindow::SetProgressText(const char* format, ...) {
  if (!open_) return;
  char text[kTitleBufferSize];
  va_list args;
  va_start(args, format);
  FormatInto(text, kTitleBufferSize, format, args);
  va_end(args);
  ShowProgress(text);
}

void ConsoleWindow::AddLine(int id, ...) {
  va_list args;
  va_start(args, id);
  AddLineV(id, args);
  va_end(args);
}

void ConsoleWindow::AddLineV(int id, va_list args) {
  if (!open_) return;
  char line[kLineBufferSize];
  // Room for the line break and the terminator: at most 4,093 characters of text.
  FormatMessage(id, args, kTemplateBufferSize, line, kLineBufferSize - 2);
  std::strcat(line, "\r\n");
  bool trimmed = TrimLog(&log_);
  log_ += line;
  ShowLog(log_, line, trimmed);
}

void ConsoleWindow::EnableOK(bool enable) {
  if (open_) ShowOK(enable);
}

void ConsoleWindow::ProcessMessages() {
  if (open_) ProcessPendingMessages();
}

void ConsoleWindow::WaitForClose(bool enable_ok) {
  if (enable_ok) EnableOK(true);
  waiting_for_close_ = true;
  while (open_) {
    if (!WaitForInput()) Ended();
  }
  waiting_for_close_ = false;
}

void ConsoleWindow::Close() {
  if (open_) RequestClose();
}

void ProcessPendingMessages() {
  platform::PumpPendingMessages();
  // A pump may end its window (and so change the list): serve a copy.
  std::vector<ConsoleWindow*> windows = OpenWindows();
  for (ConsoleWindow* window : windows) {
    if (window->open_) window->Pump();
  }
}

}  // namespace corvane
