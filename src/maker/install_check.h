#pragma once

// patchbuild check: what a patcher would do to a game directory, without
// changing anything. The patcher's payload is read from its file (a win32
// patcher, a payload DLL, or a native patcher with the payload appended).

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "base/result.h"

namespace corvane::maker {

struct PatcherPayload {
  std::vector<uint8_t> file;  // the whole patcher file; items point into it
  struct Item {
    const uint8_t* bytes = nullptr;
    uint32_t size = 0;
  };
  std::map<std::string, Item> items;  // upper-case name -> bytes
  std::vector<std::string> names;     // as stored, ascending
  std::vector<uint8_t> public_key;    // the numbered key resource, if any
};

// Reads the payload of a patcher file. Fails when it cannot be read or holds none.
Result ReadPatcherPayload(const std::string& path, PatcherPayload* payload);

struct VersionMatch {
  std::string version;                 // "1.01"
  int files = 0;                       // lines of its checksum list
  int matching = 0;                    // files whose CRC is one of the listed values
  int missing = 0;                     // required files that are not there
  std::vector<std::string> differing;  // required files present with another CRC
  bool Matches() const { return missing == 0 && differing.empty(); }
};

// A file a step would change: updated, or deleted by a deletion update.
struct StepFile {
  std::string file;  // installed path, backslashes
  bool deletion = false;
};

struct CheckReport {
  std::string patch_version;  // "version" of the manifest
  std::string app_name;
  bool signature_valid = false;
  bool has_key = false;
  std::string file_version;            // FileVersion of the game executable; empty if none
  std::vector<VersionMatch> versions;  // every checksum list, ascending
  std::string installed;               // the version the directory holds; empty: unknown
  // Steps from the installed version to the patch's: "1.00-1.01" -> files.
  std::vector<std::pair<std::string, std::vector<StepFile>>> steps;
  std::vector<std::string> whole_files;  // payload names of whole files that apply
  bool patchable = false;                // installed known, files match, older than the patch
  bool up_to_date = false;               // already at the patch's version
};

// Examines `game_dir` (a host path) against the payload.
Result CheckInstallation(const PatcherPayload& payload, const std::string& game_dir,
                         CheckReport* report);

void PrintCheckReport(const CheckReport& report, std::FILE* out);

// The host path of `relative` (backslashes) below `dir`, each component
// matched without regard to ASCII case; empty when there is no such file.
std::string ResolveNoCase(const std::string& dir, const std::string& relative);

}  // namespace corvane::maker
