#pragma once

#include <cstddef>
#include <cstdint>

namespace corvane {

// The installed-version field: at most 255 characters and a terminating zero.
inline constexpr size_t kVersionTextSize = 256;

// The FileVersion text of the US English, Unicode string block of the
// executable's version resource, written into `out` (always zero-terminated,
// at most kVersionTextSize - 1 characters: a longer text is cut). The empty
// text when the file has no such string, or cannot be read. Answers the
// length written.
size_t ReadFileVersion(const char* path, char (&out)[kVersionTextSize]);

// Version number major * 100 + minor of a version text: a decimal number,
// optionally "." and a second decimal number, read as the runtime's strtoul
// reads them on a 32-bit system (leading white space and a sign accepted,
// a value beyond 32 bits saturates). The sum wraps in 32 bits.
// "1.02" -> 102, "1.2" -> 102, "1.10" -> 110, "1.123" -> 223, "" -> 0.
int32_t ParseVersion(const char* text);

// Major and minor of a version number, as every "%d.%02d" shows them.
inline int32_t VersionMajor(int32_t version) { return version / 100; }
inline int32_t VersionMinor(int32_t version) { return version % 100; }

// What the version gate decided.
enum class VersionGateOutcome {
  kAccept,            // go on
  kAlreadyAtVersion,  // patch run, installed text equals the patch text
  kTooOld,            // kMsgVersionRequired with the required and installed numbers
  kMoreRecent,        // kMsgInstalledIsNewer with the installed and patch texts
};

struct VersionGateResult {
  VersionGateOutcome outcome = VersionGateOutcome::kAccept;
  int32_t required = 0;  // the required number kMsgVersionRequired shows
};

// The gate between installed version and manifest. Add-on runs only test
// required_for_addons; patch runs test required_for_patch (0: no bound) and
// then compare the texts: equal without regard to ASCII case is
// already-at-version, a patch text smaller in byte order is refused.
VersionGateResult CheckVersionGate(bool is_patch, const char* installed_text, int32_t installed,
                                   const char* patch_text, int32_t required_for_addons,
                                   int32_t required_for_patch);

}  // namespace corvane
