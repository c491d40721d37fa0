#pragma once

// Strings of a module's string table (resource type 6): string id n lives in
// block n / 16 + 1 at position n % 16, each string a 16-bit length followed by
// that many UTF-16 units.

#include <cstdint>
#include <string>

#include "pe/resource_tree.h"

namespace corvane::pe {

// The string of that id in the requested language; when the module has no block
// of that language, the one the loader would fall back to (neutral, else the
// first). False when the id has no string (or an empty one).
bool LoadTableString(const ResourceTree& resources, uint16_t id, uint16_t language,
                     std::u16string* text);

}  // namespace corvane::pe
