#pragma once

#include <cstdint>
#include <string>

#include "run/patch_context.h"
#include "ui/console_window.h"

namespace corvane {

// Results of VerifyInstallation.
enum VerifyResult : int {
  kVerifyFailed = 0,
  kVerifyPassed = 1,
  kVerifyRetry = 2,  // the user asked to try again
  kVerifyStopped =
      3,  // the user closed the window, or cancelled on a file in use: the check did not finish
};

// Checks installed files against the checksum list of one version, the
// payload resource "crc\<major>.<minor>\crc.crc" (docs/formats/checksum-list.md).
// The version is the context's installed one when `use_installed_version`
// is set, else the patch version. With a `file_filter`, only the list line of
// that name (letter case ignored, after its "+") is examined.
//
// For every line examined: the file is the installation directory plus the
// name, without a distribution suffix ".#<name>"; the progress line shows
// "Checking file <name>". A required file that is missing or empty is logged
// ("File %s is missing.") and fails; a required file whose CRC matches none
// of its values is logged and asked about: Abort ends the whole check at once
// as failed; Retry reads the same file again, or, with `retry_answered`
// (the caller mends the file first, as the whole-file copy does), goes on
// and makes the result a retry request; Ignore passes it. An optional file
// ("+") is never missing and a mismatch is only a warning in the log. Every
// other line is examined even after a failure; the result is the last
// failure or retry request, else passed. Files are read whole, whatever
// their size.
//
// No list for the version is not a failure: a warning (or, with a filter, a
// note) is logged and the result is passed. Reads only; the window is pumped
// twice per file and, when the user closed the window meanwhile, the check
// stops there: kVerifyStopped, whatever was found so far (a window ended
// otherwise stops it with the result so far).
int VerifyInstallation(PatchContext* context, const char* file_filter, bool use_installed_version,
                       bool retry_answered);

// The window's figures of a check of one version's checksum list ("check"):
// its files, and the bytes of those installed (a missing one counts none),
// counted as the check reads them.
class CheckFigures {
 public:
  // From the list text of `size` bytes, for the installation at `directory`.
  CheckFigures(const char* directory, const char* list, uint32_t size);
  // From the list "crc\<major>.<minor>\crc.crc" of the context's payload;
  // no figures (a total of 0) when there is none.
  CheckFigures(const PatchContext& context, int major, int minor);

  const WorkProgress& work() const { return work_; }
  // One more file of the list read, by its list name.
  void Count(const char* listed_name);

 private:
  std::string directory_;
  WorkProgress work_;
};

// The CRC-32 of a whole file of any size, read front to back in pieces.
// False when the file is missing, empty or cannot be read to its end.
bool ComputeFileCrc(const char* path, uint32_t* crc);

}  // namespace corvane
