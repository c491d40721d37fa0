#include "engine/patch_log.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/file_io.h"

namespace corvane {

void PatchLog(const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  int length = std::vsnprintf(line, sizeof(line), format, args);
  va_end(args);
  if (length < 0) return;
  if (length > static_cast<int>(sizeof(line)) - 1) length = sizeof(line) - 1;

  std::string text;
  text.reserve(static_cast<size_t>(length) + 8);
  for (int i = 0; i < length; ++i) {
    if (line[i] == '\n') text += '\r';
    text += line[i];
  }

  platform::ScopedFile log(platform::FileOpenAppend(kPatchLogName));
  if (!log.IsValid()) {
    std::fputs("Cannot write to log file\n", stdout);
    return;
  }
  platform::FileWrite(log.Get(), text.data(), static_cast<uint32_t>(text.size()));
}

namespace {
PatchPrintSink& Sink() {
  static PatchPrintSink sink;
  return sink;
}
}  // namespace

void SetPatchPrintSink(PatchPrintSink sink) { Sink() = std::move(sink); }

void PatchPrint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  if (!Sink()) {
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);  // a progress line ends in "\r", not in a new line
    return;
  }
  char text[1024];
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  Sink()(text);
}

}  // namespace corvane
