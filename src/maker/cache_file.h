#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"

namespace corvane::maker {

// Every file a make writes (cache entries, records, outputs) is written whole
// under a temporary name and then renamed over its final name, so that a
// make stopped at any point (a signal, a kill, a full disk) leaves each file
// either as it was or complete, and a later make never reads half a file.
//
// The temporary name is "<path>.part". It is created exclusively (never
// through a link or over another file); one left by a make that was killed is
// removed first, as nothing else writes that name.

// Writes `size` bytes to `path` that way (folders made as needed). When it
// cannot (kWriteFailed, or kStopped when a stop was asked for), nothing is
// left behind and `path` is untouched.
// `executable` makes the file a program (read and run by all, written by its
// owner) before it gets its name.
Result WriteFileWhole(const std::string& path, const void* data, size_t size,
                      bool executable = false);

// A cache file that cannot be written is made again by the next make.
inline bool WriteCacheFile(const std::string& path, const std::string& text) {
  return WriteFileWhole(path, text.data(), text.size()).ok();
}

// The temporary name WriteFileWhole uses for `path`.
std::string TemporaryNameOf(const std::string& path);

// Ctrl-C (SIGINT) and SIGTERM ask a make to stop rather than end it at once:
// no new update is begun, a file being written is not renamed into place but
// removed, and the make ends with an error. A second signal ends the process
// at once (the default action), which leaves only temporary files that the
// next make removes.
void CatchStopSignals();
bool StopRequested();

// A point of a make where stopping it leaves files half done: between the
// writes of a file and its rename, between an update and its record. When
// the environment variable CORVANE_MAKE_STOP_AT holds a number N, the N-th
// point reached ends the process at once, without any clean-up (as a kill
// does); with CORVANE_MAKE_SIGNAL_AT=N the N-th point raises SIGINT (as
// Ctrl-C does). The tests stop makes there to show that every such state is
// one the next make recovers from.
void MakeStopPoint();

}  // namespace corvane::maker
