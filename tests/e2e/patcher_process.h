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
  double seconds = 0;  // from the start to the end of the run
  // When the run was watched for a file (PatcherOptions::kill_clock_file):
  // seconds from the start until it was first seen; below 0 when never.
  double file_seen_after = -1;
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
  // When set: the run is watched (every millisecond) for this file to exist,
  // and kill_after_seconds counts from the moment it first does, not from
  // the start; a run that never makes it is not killed. A moment within a
  // phase of the run, however fast or loaded the machine.
  std::string kill_clock_file;
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
// The built patchbuild, in the build tree beside the patcher.
std::string PatchbuildProgram();

}  // namespace corvane::e2e
