#pragma once

#include <functional>

#include "foundation/app_frame.h"

namespace corvane {

// Name of the patch log, in the process's current directory.
inline constexpr const char kPatchLogName[] = "patch.log";

// Appends one line to "patch.log": the log is opened anew for each line (in
// append mode; it is never truncated), the line is written and the log is
// closed again. A line holds at most 1,023 characters (longer ones are cut);
// each "\n" is stored as "\r\n", as the Windows runtime's text mode does. When
// the log cannot be opened, "Cannot write to log file\n" goes to standard
// output and the line is lost; the caller is not told.
void PatchLog(const char* format, ...) CORVANE_PRINTF(1, 2);

// Prints one message of the update engine on standard output, or hands it to
// the sink when one is set: failures ("Cannot write ...", ending in "\n") and
// the update writer's progress ("<name> <remaining> KB", ending in "\r").
// The sink may be called from several threads at once when they make updates.
void PatchPrint(const char* format, ...) CORVANE_PRINTF(1, 2);

// Where PatchPrint's messages go from now on; null: standard output. The
// patch run hands them to its window, so that a message never lands on the
// window's progress line.
using PatchPrintSink = std::function<void(const char* text)>;
void SetPatchPrintSink(PatchPrintSink sink);

}  // namespace corvane
