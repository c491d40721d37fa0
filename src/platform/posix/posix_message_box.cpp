#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/message_box.h"
#include "platform/terminal.h"

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
  if (!StandardInputIsTerminal() || ::isatty(STDERR_FILENO) != 1) {
    TerminalWriteError("Abort (no terminal to answer)\n");
    return BoxAnswer::kAbort;
  }
  for (;;) {
    TerminalWriteError(retry_default ? "[A]bort, [R]etry (default), [I]gnore? "
                                     : "[A]bort, [R]etry, [I]gnore? ");
    std::string answer;
    if (!TerminalReadLine(&answer)) return BoxAnswer::kAbort;
    char first = answer.empty() ? '\0' : answer[0];
    if (first == '\0' && retry_default) return BoxAnswer::kRetry;
    if (first == 'a' || first == 'A') return BoxAnswer::kAbort;
    if (first == 'r' || first == 'R') return BoxAnswer::kRetry;
    if (first == 'i' || first == 'I') return BoxAnswer::kIgnore;
  }
}

bool AskRetryCancelBox(const char* text, const char* title) {
  WriteBox(text, title, BoxIcon::kWarning);
  if (!StandardInputIsTerminal() || ::isatty(STDERR_FILENO) != 1) {
    TerminalWriteError("Cancel (no terminal to answer)\n");
    return false;
  }
  for (;;) {
    TerminalWriteError("[R]etry (default), [C]ancel? ");
    std::string answer;
    if (!TerminalReadLine(&answer)) return false;
    char first = answer.empty() ? 'r' : answer[0];
    if (first == 'r' || first == 'R') return true;
    if (first == 'c' || first == 'C') return false;
  }
}

std::string LastSystemErrorText() {
  int error = errno;
  return error != 0 ? std::strerror(error) : "No error";
}

}  // namespace corvane::platform
