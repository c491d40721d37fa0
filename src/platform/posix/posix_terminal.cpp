#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/terminal.h"
#include "text/code_page_1252.h"

namespace corvane::platform {

bool StandardInputIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }
bool StandardOutputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }
bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

std::string Cp1252ToUtf8(const char* text) {
  if (text == nullptr) return std::string();
  return text::Utf16ToUtf8(text::Cp1252ToUtf16(text));
}

std::string Utf8ToCp1252(const std::string& text) {
  return text::Utf16ToCp1252(text::Utf8ToUtf16(text));
}

namespace {

void WriteTo(std::FILE* stream, const char* text) {
  std::string converted = Cp1252ToUtf8(text);
  std::fwrite(converted.data(), 1, converted.size(), stream);
  std::fflush(stream);
}

}  // namespace

void TerminalWrite(const char* text) { WriteTo(stdout, text); }
void TerminalWriteError(const char* text) { WriteTo(stderr, text); }

bool TerminalReadLine(std::string* line) {
  line->clear();
  std::string raw;
  int c;
  while ((c = std::fgetc(stdin)) != EOF) {
    if (c == '\n') break;
    raw.push_back(static_cast<char>(c));
  }
  if (c == EOF && raw.empty()) {
    std::clearerr(stdin);
    return false;
  }
  if (!raw.empty() && raw.back() == '\r') raw.pop_back();
  *line = Utf8ToCp1252(raw);
  return true;
}

}  // namespace corvane::platform
