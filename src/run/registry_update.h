#pragma once

#include "foundation/auto_array.h"
#include "foundation/r_string.h"

namespace corvane {

class ParamEntry;

// One value of the manifest class "UpdateRegistry" that applies to the run.
struct RegistryWrite {
  bool user = false;  // HKEY_CURRENT_USER; otherwise HKEY_LOCAL_MACHINE
  RString path;       // key below the root, created with missing levels
  RString name;       // value name; empty: the key's default value
  RString value;      // written as a zero-terminated string
};

// The entries of "UpdateRegistry" (quiet; absent gives none) that apply to
// the selected distribution, in order: an entry without "distributions"
// always applies; one with it only when an item equals the distribution
// without regard to ASCII case (an empty array never applies; an empty
// distribution matches only an empty item). Missing strict keys are reported
// by the configuration language and read as empty or false.
AutoArray<RegistryWrite> ReadRegistryUpdates(const ParamEntry& manifest, const RString& distribution);

// Writes every applying value. Nothing is reported to the user: a key that
// cannot be created or a value that cannot be set is skipped, and the others
// are still written. Answers the number of values written.
int ApplyRegistryUpdates(const ParamEntry& manifest, const RString& distribution);

}  // namespace corvane
