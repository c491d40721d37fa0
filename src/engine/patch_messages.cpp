#include "engine/patch_messages.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "engine/patch_log.h"

namespace corvane {

namespace {

// A log line is formatted into a buffer of this size, terminator included:
// a longer line is cut, as the log has always been written.
constexpr size_t kLogLineBuffer = 1024;

std::string FormatText(const char* format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length <= 0) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<size_t>(length));
  return text;
}

// Prints `text` on standard output at once (a progress line ends in "\r",
// not in a new line, so nothing else would flush it).
void PrintToStandardOutput(const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}

}  // namespace

PatchMessages PatchMessages::Standard() {
  return PatchMessages(&PrintToStandardOutput, &AppendToPatchLog);
}

void PatchMessages::PrintText(const char* format, va_list args) const {
  if (!print_) return;
  print_(FormatText(format, args).c_str());
}

void PatchMessages::Print(const char* format, ...) const {
  va_list args;
  va_start(args, format);
  PrintText(format, args);
  va_end(args);
}

void PatchMessages::LogText(const char* format, va_list args) const {
  if (!log_) return;
  char line[kLogLineBuffer];
  if (std::vsnprintf(line, sizeof line, format, args) < 0) return;
  log_(line);
}

void PatchMessages::Log(const char* format, ...) const {
  va_list args;
  va_start(args, format);
  LogText(format, args);
  va_end(args);
}

void PatchMessages::PrintAndLog(const char* format, ...) const {
  va_list args;
  va_start(args, format);
  va_list printed;
  va_copy(printed, args);
  PrintText(format, printed);
  va_end(printed);
  LogText(format, args);
  va_end(args);
}

}  // namespace corvane
