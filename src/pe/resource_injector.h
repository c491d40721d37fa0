#pragma once

// Adds resources to an existing PE image (the patcher stub) without a compiler:
// the stub's own resource tree and the added items are merged into a new
// resource section appended to the image, and the resource data directory is
// pointed at it. Code, imports and the stub's old section bytes stay as they
// are; only the headers change (section count, SizeOfImage, initialised data
// size, the resource and certificate directories, the checksum).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pe/resource_writer.h"

namespace corvane::pe {

// Writes into *out a copy of the stub with the items added; an item replaces
// every language of the stub's resource of the same type and name. Fails
// (kInvalidInput) when the stub is not a PE image, its resource directory is damaged, or there
// is no way to fit another section header.
Result AddResourceSection(const uint8_t* stub, size_t stub_size,
                          const std::vector<ResourceItem>& items, std::vector<uint8_t>* out);

}  // namespace corvane::pe
