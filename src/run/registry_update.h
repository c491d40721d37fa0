#pragma once

#include <string>

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

// Its members are RStrings and a flag.
template <>
inline constexpr bool kBitwiseMovable<RegistryWrite> = true;

// The entries of "UpdateRegistry" (quiet; absent gives none) that apply to
// the selected distribution, in order: an entry without "distributions"
// always applies; one with it only when an item equals the distribution
// without regard to ASCII case (an empty array never applies; an empty
// distribution matches only an empty item). Missing strict keys are reported
// by the configuration language and read as empty or false.
AutoArray<RegistryWrite> ReadRegistryUpdates(const ParamEntry& manifest,
                                             const RString& distribution);

// True when "UpdateRegistry" holds any entry that may be written (one
// without "distributions", or with a non-empty one), whatever distribution is
// chosen later: the run then needs a registry it can write.
bool MayWriteRegistry(const ParamEntry& manifest);

// Writes every applying value, in order; a value that cannot be written does
// not stop the others. Answers the number of values written. When a value was
// not written, *failed (when given) names the first such as "key\\value" and
// the reason goes to the log; otherwise *failed is left empty.
int ApplyRegistryUpdates(const ParamEntry& manifest, const RString& distribution,
                         std::string* failed = nullptr);

}  // namespace corvane
