#pragma once

// Runs the native patcher as a child process, the way a player starts it:
// command line arguments, a Wine prefix in $WINEPREFIX, a working directory
// (where "patch.log" goes), and stdin fed from a text (not a terminal, unless
// asked). Every run is bounded by a timeout; no child outlives its run.

#include <string>
#include <vector>

namespace corvane::e2e {

struct PatcherRun {
  int exit_code = -1;  // -1 when killed by a signal or timed out
  int signal = 0;      // the signal that ended it, 0 otherwise
  bool timed_out = false;
  std::string output;  // stdout and stderr, interleaved as written
};

struct PatcherOptions {
  std::string program;                 // the patcher executable
  std::vector<std::string> arguments;  // joined by the patcher into its command line
  std::string wine_prefix;
  std::string working_directory;
  std::string input;  // what the child reads on stdin
  double timeout_seconds = 60;
  // When above 0: SIGKILL after this many seconds (the interruption test).
  double kill_after_seconds = 0;
  // Run on a pseudo terminal, so that the patcher asks its questions (input
  // is then typed ahead; output has the terminal's line ends).
  bool terminal = false;
  // Where the run's log lines go (CORVANE_DEBUG_OUTPUT): "-" for the output;
  // none when empty.
  std::string debug_output;
};

PatcherRun RunPatcher(const PatcherOptions& options);

// Directory of the built native patcher (set by the test's CMake).
std::string PatcherProgram();

}  // namespace corvane::e2e
