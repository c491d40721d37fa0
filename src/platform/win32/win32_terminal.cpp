#include <windows.h>
#include <io.h>

#include <cstdio>

#include "platform/terminal.h"
#include "text/code_page_1252.h"

namespace corvane::platform {

namespace {

bool IsConsole(DWORD which) {
  HANDLE handle = GetStdHandle(which);
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

void WriteTo(std::FILE* stream, const char* text) {
  if (text == nullptr) return;
  // The console shows the bytes in its output code page; make that 1252 so
  // the system's texts show as they are.
  SetConsoleOutputCP(1252);
  std::fputs(text, stream);
  std::fflush(stream);
}

}  // namespace

bool StandardInputIsTerminal() { return IsConsole(STD_INPUT_HANDLE); }
bool StandardOutputIsTerminal() { return IsConsole(STD_OUTPUT_HANDLE); }
bool StandardErrorIsTerminal() { return IsConsole(STD_ERROR_HANDLE); }

std::string Cp1252ToUtf8(const char* text) {
  if (text == nullptr) return std::string();
  return text::Utf16ToUtf8(text::Cp1252ToUtf16(text));
}

std::string Utf8ToCp1252(const std::string& text) {
  return text::Utf16ToCp1252(text::Utf8ToUtf16(text));
}

void TerminalWrite(const char* text) { WriteTo(stdout, text); }
void TerminalWriteError(const char* text) { WriteTo(stderr, text); }

bool TerminalReadLine(std::string* line) {
  line->clear();
  SetConsoleCP(1252);
  int c;
  while ((c = std::fgetc(stdin)) != EOF) {
    if (c == '\n') break;
    line->push_back(static_cast<char>(c));
  }
  if (c == EOF && line->empty()) {
    std::clearerr(stdin);
    return false;
  }
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}

}  // namespace corvane::platform
