#pragma once

namespace corvane {

// Name of the patch log, in the process's current directory.
inline constexpr const char kPatchLogName[] = "patch.log";

// Appends one line to "patch.log": the log is opened anew for each line (in
// append mode; it is never truncated), the line is written and the log is
// closed again. Each "\n" is stored as "\r\n", as the Windows runtime's text
// mode does. When the log cannot be opened, "Cannot write to log file\n" goes
// to standard output and the line is lost; the caller is not told.
void AppendToPatchLog(const char* line);

}  // namespace corvane
