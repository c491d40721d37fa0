#pragma once

// Writes the manifest's list of payload items (run/payload_inventory.h) into
// a manifest in binary form, before it is signed, so that the signature
// covers every byte of the payload.

#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"
#include "run/payload_inventory.h"

namespace corvane::maker {

class PayloadItems;

// Replaces the list in `manifest` (binary form) with `items`. Fails, with
// a message, when the manifest does not load or cannot be saved.
Result PutPayloadItems(const std::vector<PayloadItemEntry>& items, std::vector<uint8_t>* manifest);

// The list of what `payload` packs: every item with its stored name, size
// and SHA-256 (the items are read). Fails, with a message, when an item
// cannot be read or hashed.
Result ListPayloadItems(PayloadItems* payload, std::vector<PayloadItemEntry>* items);

// The list of a folder laid out as "patchbuild pack" reads it: every file
// below `directory` but "version.cfg" and "version.cfg.sign" at its top, named
// as pack names it. Fails, with a message, when a file cannot be read.
Result ListPayloadDirectory(const std::string& directory, std::vector<PayloadItemEntry>* items);

}  // namespace corvane::maker
