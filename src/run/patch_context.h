#pragma once

#include <cstdint>
#include <cstring>
#include <set>
#include <string>

#include "engine/patch_messages.h"
#include "foundation/auto_array.h"
#include "foundation/r_string.h"

namespace corvane {

class ConsoleWindowProgress;
class StagedWholeFiles;
namespace platform {
class ResourceModule;
}

// Capacity of each text field of the context, terminator included.
inline constexpr size_t kContextFieldSize = 512;

// Copies `text` into a context field, cut to 511 characters and always
// terminated; answers false when it had to cut (a path that does not fit is
// then refused by whoever needs it whole). Null copies as the empty text.
template <size_t N>
bool SetContextField(char (&field)[N], const char* text) {
  if (text == nullptr) text = "";
  size_t length = std::strlen(text);
  bool fits = length < N;
  if (!fits) length = N - 1;
  std::memcpy(field, text, length);
  field[length] = '\0';
  return fits;
}

// The state of one patch run that the run driver hands to the payload
// enumeration callbacks, the installation verification and the whole-file
// copy. The driver owns it for the whole run; the engine talks back through
// the flags and the failed file only.
struct PatchContext {
  int32_t installed_major = 0;  // installed version number / 100
  int32_t installed_minor = 0;  // installed version number % 100
  int32_t patch_major = 0;      // patch version number / 100
  int32_t patch_minor = 0;      // patch version number % 100
  // Payload name prefix of the current pass ("1.01-", "1.00\", "All\", "Add\").
  char prefix[kContextFieldSize] = {};
  // The game's directory, always ending in a backslash.
  char installation_directory[kContextFieldSize] = {};
  // Where the current pass failed (a path or a name; see the callers).
  char failed_file[kContextFieldSize] = {};
  // The progress window; may be null (then nothing is shown and questions go
  // to the system's boxes).
  ConsoleWindowProgress* window = nullptr;
  // Where the update engine's messages go: the window (or standard output)
  // and "patch.log".
  PatchMessages engine_messages = PatchMessages::Standard();
  // The module whose raw-data resources are the payload; not owned.
  const platform::ResourceModule* module = nullptr;
  uint8_t seen = 0;       // a named payload resource was met by a callback
  uint8_t error = 0;      // a file could not be updated, copied or verified
  uint8_t disk_full = 0;  // a version step would not fit on its volume
  // The most free space one file of the version steps needs at once (see
  // StepBytesNeeded), found by the free-space check.
  uint64_t step_space_needed = 0;
  // The player cancelled a question about a file held by another program or
  // a folder that cannot be written: the pass stopped, the patch is sound.
  uint8_t stopped = 0;
  // Payload names collected for the current whole-file pass.
  AutoArray<RString> names;
  // Whole files already written to their work files; may be null. Not owned.
  StagedWholeFiles* staged = nullptr;
  // The selected distribution; empty when none.
  RString distribution;
  // What the whole-file passes of this run bring, by upper-case installed
  // name (see BroughtWholeLater); gathered from the payload on first use.
  std::set<std::string> later_whole_files;
  bool later_whole_files_known = false;
  // What the run did, for its summary: files replaced by version steps,
  // whole files put in place, and the installed files read against a list
  // (names as the lists write them, each once).
  int files_updated = 0;
  int files_copied = 0;
  std::set<std::string> files_checked;

  bool SetPrefix(const char* text) { return SetContextField(prefix, text); }
  bool SetInstallationDirectory(const char* text) {
    return SetContextField(installation_directory, text);
  }
  bool SetFailedFile(const char* text) { return SetContextField(failed_file, text); }
};

}  // namespace corvane
