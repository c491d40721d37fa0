#pragma once

// Writes the manifest's list of payload items (run/payload_inventory.h) into
// a manifest in binary form, before it is signed, so that the signature
// covers every byte of the payload.

#include <cstdint>
#include <string>
#include <vector>

#include "run/payload_inventory.h"

namespace corvane::maker {

class PayloadItems;

// Replaces the list in `manifest` (binary form) with `items`. False, with
// *error set, when the manifest does not load or cannot be saved.
bool PutPayloadItems(const std::vector<PayloadItemEntry>& items, std::vector<uint8_t>* manifest,
                     std::string* error);

// The list of what `payload` packs: every item with its stored name, size
// and SHA-256 (the items are read). False, with *error set, when an item
// cannot be read or hashed.
bool ListPayloadItems(PayloadItems* payload, std::vector<PayloadItemEntry>* items,
                      std::string* error);

// The list of a folder laid out as "patchbuild pack" reads it: every file
// below `directory` but "version.cfg" and "version.cfg.sign" at its top, named
// as pack names it. False, with *error set, when a file cannot be read.
bool ListPayloadDirectory(const std::string& directory, std::vector<PayloadItemEntry>* items,
                          std::string* error);

}  // namespace corvane::maker
