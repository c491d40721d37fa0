#pragma once

#include <cstdarg>
#include <functional>
#include <utility>

#include "foundation/app_frame.h"

namespace corvane {

// Where the messages of the update engine's actions go. Every action is
// handed one when it is made; the engine prints and logs no other way, so
// each caller decides: the patcher shows them in its window and appends the
// log lines to "patch.log", a maker drops what its own report says better,
// a tool prints them.
//
// Two kinds of message:
// - Print: for whoever watches the work. Failures ("Cannot write %s\n",
//   ending in "\n") and an update writer's progress line ("<name>
//   <remaining> KB", ending in "\r"). Writers at work on several threads
//   print from each of them.
// - Log: one line of the patch log, cut to 1,023 characters.
class PatchMessages {
 public:
  using Sink = std::function<void(const char* text)>;

  // Printed on standard output, logged to "patch.log" (AppendToPatchLog):
  // what the engine does when nobody says otherwise.
  static PatchMessages Standard();
  // Nothing printed, nothing logged.
  static PatchMessages Silent() { return PatchMessages(nullptr, nullptr); }

  // A null sink drops its kind of message.
  PatchMessages(Sink print, Sink log) : print_(std::move(print)), log_(std::move(log)) {}

  void Print(const char* format, ...) const CORVANE_PRINTF(2, 3);
  void Log(const char* format, ...) const CORVANE_PRINTF(2, 3);
  // The same text printed and logged.
  void PrintAndLog(const char* format, ...) const CORVANE_PRINTF(2, 3);

 private:
  void PrintText(const char* format, va_list args) const;
  void LogText(const char* format, va_list args) const;

  Sink print_;
  Sink log_;
};

}  // namespace corvane
