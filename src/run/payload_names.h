#pragma once

namespace corvane {

// What makes a payload name unsafe to join to the installation directory.
// Every payload name becomes a path below the game's folder (after its pass or
// step prefix is cut), so a name is only acceptable when, read as a Windows
// relative path, it can never reach anything outside that folder or anything
// that is not a plain file: no parent or current-folder components, no root,
// drive, UNC or stream syntax, no device names, no characters Windows refuses
// in file names, no components that Windows would silently rename (a trailing
// dot or space). Bytes of 0x80 and above are code page 1252 letters and are
// allowed.
enum class PayloadNameFault {
  kNone,
  kEmpty,
  kTooLong,             // more than kMaxPayloadName characters
  kRooted,              // begins with a separator (also UNC "\\server")
  kColon,               // drive letter, drive-relative path or stream name
  kEmptyComponent,      // two separators in a row, or one at the end
  kDotComponent,        // "." or ".."
  kTrailingDotOrSpace,  // Windows drops them: "A." and "A " name "A"
  kForbiddenCharacter,  // control characters, "/", '<', '>', '"', '|', '?', '*'
  kDeviceName,          // CON, PRN, AUX, NUL, COM1-9, LPT1-9, with any extension
};

// Checks one payload name as stored (the whole name, prefix included).
PayloadNameFault CheckPayloadName(const char* name);

// A short English reason for a fault, for the maker's messages and logs.
const char* DescribePayloadNameFault(PayloadNameFault fault);

}  // namespace corvane
