#pragma once

namespace corvane::platform {

// Hands one finished diagnostic line to the developer's channel: the debugger
// output on Windows (OutputDebugStringA). On posix there is no such channel;
// the line is dropped unless CORVANE_DEBUG_OUTPUT names a file (or "-" for
// standard error) to append it to. Never shown to the user, never fails.
void DebugOutput(const char* text);

}  // namespace corvane::platform
