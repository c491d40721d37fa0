#pragma once

// patchbuild make: from a patch project (patch_project.h) to one signed,
// self-contained patcher.
//
// Everything that can be refused is checked before any update is made: the
// arguments (output folder, stubs, key), every name (code page 1252, a safe
// payload name within the patcher's limits, one a checksum list can hold),
// the game executable of every version (there, and its FileVersion that of
// its folder), links, and files too large for the update format.
//
// For every version step of the project (each released version to the next)
// the maker writes an update file for every file that changed (CreatePatch),
// a deletion update for a file the step removes and nothing for an unchanged
// file. Update files are made in parallel and kept in PROJECT/.cache under
// the digests of their two files: one is reused only for the same two
// contents and while its own digest is the one recorded when it was written.
// Every update that goes into the payload, made or reused, is applied to its
// old file and the result compared with the new file's digest. A file that
// some version lacks, or that is empty on one side of a change, travels whole
// under "All\", as do edition variants ("X.#GOLD") of the newest tree that
// differ from older versions. Checksum lists of every version, the compiled
// manifest, its signature and the public key of the signing key complete the
// payload, which goes into a copy of the win32 stub and, on request, of the
// native patcher. Every file the make writes goes to a temporary name first
// and is renamed when complete: a make stopped at any point leaves no partial
// file, and the next make writes what an uninterrupted one would have.
// Digests of the trees are kept in the cache too, and a make whose inputs are
// all as the last make recorded them, outputs untouched, writes nothing.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/result.h"

namespace corvane::maker {

struct MakeOptions {
  std::string project;
  std::string output;            // OUT: "OUT.exe" (win32) and "OUT" (native)
  std::string key;               // private key (PEM); empty: the project's
  std::string win32_stub;        // empty: no .exe (only allowed with a native stub)
  std::string native_stub;       // empty: no native patcher
  int jobs = 0;                  // 0: every core
  bool force = false;            // ignore the cache: make every update and output again
  bool exact_updates = false;    // updates by CreatePatch rather than CreateCompactPatch
  std::FILE* messages = stderr;  // warnings and progress
  bool terminal = false;         // progress bar redrawn in place
  bool show_progress = true;
};

// One update file of a step, as the payload carries it.
struct StepUpdate {
  std::string relative;   // installed path, backslashes, code page 1252
  bool deletion = false;  // the update deletes the file
  bool whole = false;     // the update carries the new file whole
  bool reused = false;    // taken from the cache
  uint64_t old_size = 0, new_size = 0;
  uint64_t payload_bytes = 0;  // bytes of the update file
};

struct StepSummary {
  std::string from, to;
  std::vector<StepUpdate> updates;
  int updated = 0, added = 0, deleted = 0, unchanged = 0;
  int reused = 0;  // of updated + added: taken from the cache
  int whole = 0;   // of updated: the update carries the new file whole
  uint64_t payload_bytes = 0;
};

// A file the payload carries whole ("All\...", "<version>\...", "Add\...").
struct WholeFileSummary {
  std::string name;  // payload name, code page 1252
  uint64_t size = 0;
};

struct MakeSummary {
  std::string version;  // the patch's: the newest released version
  std::vector<StepSummary> steps;
  std::vector<WholeFileSummary> whole;
  int made = 0, reused = 0;  // update files written / taken from the cache
  int whole_files = 0;
  int payload_items = 0;
  uint64_t payload_bytes = 0;
  double seconds = 0;
  std::string win32_output, native_output;
  bool up_to_date = false;  // the outputs were already what this make would write
};

// Makes the patcher(s). When it fails (its message says why), nothing is left at
// the output paths then (the cache may keep update files that are sound).
Result MakePatch(const MakeOptions& options, MakeSummary* summary);

// The summary as the tool prints it.
void PrintMakeSummary(const MakeSummary& summary, std::FILE* out);
// Every update of every step and every whole file, one line each.
void PrintMadeFiles(const MakeSummary& summary, std::FILE* out);

// Output paths of OUT: "x.exe" gives ("x.exe", "x"); "x" gives ("x.exe", "x").
void OutputPaths(const std::string& output, std::string* win32, std::string* native);

// The update format keeps file sizes in signed 32-bit fields: a file that
// changes between versions must be smaller than 2 GiB.
inline constexpr uint64_t kMaxUpdatedFileSize = 0x7FFFFFFFull;

// The longest installation directory a payload path must leave room for.
inline constexpr size_t kInstallDirectoryAllowance = 259;

// Checks a payload name against the patcher's limits: the name fits the
// 511-character names and the installed path with its ".upd"/".tmp"
// companion fits the 1,023-byte path buffers after an installation directory
// of kInstallDirectoryAllowance characters. Empty when it fits, else why not.
std::string CheckPayloadLimits(const std::string& name, const std::string& installed_relative);

}  // namespace corvane::maker
