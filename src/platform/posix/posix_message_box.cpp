#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/message_box.h"
#include "platform/terminal.h"
#include "platform/typed_question.h"

namespace corvane::platform {

namespace {

const char* IconWord(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::kError:
      return "error";
    case BoxIcon::kWarning:
      return "warning";
    case BoxIcon::kInformation:
      break;
  }
  return "information";
}

// A box as text: its title and kind on one line, then the text with its line
// breaks kept (carriage returns dropped: the terminal wants bare line feeds).
void WriteBox(const char* text, const char* title, BoxIcon icon) {
  std::string box = "[";
  box += title != nullptr ? title : "";
  box += " - ";
  box += IconWord(icon);
  box += "]\n";
  for (const char* p = text != nullptr ? text : ""; *p != '\0'; ++p) {
    if (*p != '\r') box.push_back(*p);
  }
  if (box.back() != '\n') box.push_back('\n');
  TerminalWriteError(box.c_str());
}

}  // namespace

void ShowMessageBox(const char* text, const char* title, BoxIcon icon) {
  WriteBox(text, title, icon);
}

BoxAnswer AskAbortRetryIgnoreBox(const char* text, const char* title, bool retry_default) {
  WriteBox(text, title, BoxIcon::kWarning);
  const TypedQuestion question{{"Abort", "Retry", "Ignore"}, retry_default ? 1u : 0u};
  const BoxAnswer answers[] = {BoxAnswer::kAbort, BoxAnswer::kRetry, BoxAnswer::kIgnore};
  if (!StandardInputIsTerminal() || ::isatty(STDERR_FILENO) != 1) {
    // Nobody can answer, and retrying unattended could go on for ever.
    TerminalWriteError("Abort (no terminal to answer)\n");
    return BoxAnswer::kAbort;
  }
  for (;;) {
    TerminalWriteError(question.Prompt().c_str());
    std::string answer;
    if (!TerminalReadLine(&answer)) return BoxAnswer::kAbort;
    const int picked = question.Pick(answer);
    if (picked >= 0) return answers[picked];
  }
}

bool AskRetryCancelBox(const char* text, const char* title) {
  WriteBox(text, title, BoxIcon::kWarning);
  if (!StandardInputIsTerminal() || ::isatty(STDERR_FILENO) != 1) {
    TerminalWriteError("Cancel (no terminal to answer)\n");
    return false;
  }
  const TypedQuestion question{{"Retry", "Cancel"}, 0};
  for (;;) {
    TerminalWriteError(question.Prompt().c_str());
    std::string answer;
    if (!TerminalReadLine(&answer)) return false;
    const int picked = question.Pick(answer);
    if (picked >= 0) return picked == 0;
  }
}

std::string LastSystemErrorText() {
  int error = errno;
  return error != 0 ? std::strerror(error) : "No error";
}

}  // namespace corvane::platform
