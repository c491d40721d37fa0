#include "pe/payload_names.h"

#include <set>

#include "pe/pe_format.h"
#include "text/code_page_1252.h"

namespace corvane::pe {

std::vector<PayloadEntry> ListPayload(const ResourceTree& resources) {
  std::vector<PayloadEntry> payload;
  std::set<std::u16string> seen;
  for (const ResourceEntry& entry : resources.entries()) {
    if (entry.type.is_named || entry.type.id != kRtRcData || !entry.name.is_named) continue;
    if (!seen.insert(text::NameUpper(entry.name.name)).second) continue;
    const ResourceEntry* chosen = resources.Find(entry.type, entry.name);
    if (chosen == nullptr) continue;  // no language of it has readable data
    payload.push_back({entry.name.name, chosen});
  }
  return payload;
}

}  // namespace corvane::pe
