#pragma once

// The payload of a module: its named raw-data (RT_RCDATA) resources, one per
// name (whatever the number of languages), in the order the directory keeps
// them, which is ascending for every directory the system or our writer makes.
// Numbered raw-data resources (such as the public key) are not payload.

#include <string>
#include <vector>

#include "pe/resource_tree.h"

namespace corvane::pe {

struct PayloadEntry {
  std::u16string name;
  const ResourceEntry* entry = nullptr;  // the language the loader would pick
};

std::vector<PayloadEntry> ListPayload(const ResourceTree& resources);

}  // namespace corvane::pe
