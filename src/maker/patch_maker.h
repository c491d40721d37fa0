#pragma once

// patchbuild make: from a patch project (patch_project.h) to one signed,
// self-contained patcher.
//
// For every version step of the project (each released version to the next)
// the maker writes an update file for every file that changed (CreatePatch),
// a kind-0 update for a file new in that step, a deletion update for a file
// the step removes and nothing for an unchanged file. Update files are made
// in parallel and kept in PROJECT/.cache; one not older than both its inputs
// is reused (CreatePatch's own rule). Every update is applied again and the
// result compared with the new tree before anything is packed. Edition
// variants ("X.#GOLD") of the newest tree that differ from older versions go
// into the payload as whole files under "All\". Checksum lists of every
// version, the compiled manifest, its signature and the public key of the
// signing key complete the payload, which goes into a copy of the win32 stub
// and, on request, of the native patcher. Outputs are written under a
// temporary name and renamed at the very end: a failed make leaves nothing.
// Digests of the trees are kept in the cache too, and a make whose inputs are
// all as the last make recorded them, outputs untouched, writes nothing.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace corvane::maker {

struct MakeOptions {
  std::string project;
  std::string output;        // OUT: "OUT.exe" (win32) and "OUT" (native)
  std::string key;           // private key (PEM); empty: the project's
  std::string win32_stub;    // empty: no .exe (only allowed with a native stub)
  std::string native_stub;   // empty: no native patcher
  int jobs = 0;              // 0: every core
  std::FILE* messages = stderr;
  bool terminal = false;     // progress bar redrawn in place
};

struct StepSummary {
  std::string from, to;
  int updated = 0, added = 0, deleted = 0, unchanged = 0;
  int reused = 0;            // of updated + added: taken from the cache
  uint64_t payload_bytes = 0;
};

struct MakeSummary {
  std::vector<StepSummary> steps;
  int made = 0, reused = 0;  // update files written / taken from the cache
  int whole_files = 0;
  int payload_items = 0;
  uint64_t payload_bytes = 0;
  double seconds = 0;
  std::string win32_output, native_output;
  bool up_to_date = false;   // the outputs were already what this make would write
};

// Makes the patcher(s). False with a message in *error; nothing is left at
// the output paths then (the cache may keep update files that are sound).
bool MakePatch(const MakeOptions& options, MakeSummary* summary, std::string* error);

// The summary as the tool prints it.
void PrintMakeSummary(const MakeSummary& summary, std::FILE* out);

// Output paths of OUT: "x.exe" gives ("x.exe", "x"); "x" gives ("x.exe", "x").
void OutputPaths(const std::string& output, std::string* win32, std::string* native);

// The longest installation directory a payload path must leave room for.
inline constexpr size_t kInstallDirectoryAllowance = 259;

// Checks a payload name against the patcher's limits: the name fits the
// 511-character names and the installed path with its ".upd"/".tmp"
// companion fits the 1,023-byte path buffers after an installation directory
// of kInstallDirectoryAllowance characters. Empty when it fits, else why not.
std::string CheckPayloadLimits(const std::string& name, const std::string& installed_relative);

}  // namespace corvane::maker
