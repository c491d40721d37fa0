#pragma once

namespace corvane::platform {

// The requests by which a person ends a console program (posix: SIGINT,
// SIGTERM, SIGHUP; win32 console: Ctrl+C, Ctrl+Break, closing the console)
// turned into a flag that the program polls, so that work in progress can
// stop between two files instead of in the middle of one. The handler only
// sets the flag; it never exits.

// Starts catching the requests and clears the flag. Calling it again while
// catching only clears the flag.
void CatchStopRequests();
// Gives the requests back their default action (the next one ends the
// process). The flag keeps its value.
void ReleaseStopRequests();
// True once a request came after the last CatchStopRequests.
bool StopRequested();

}  // namespace corvane::platform
