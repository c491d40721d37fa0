#pragma once

// Writers of PE resource data: the bytes of a resource section (the directory
// tree, data entries, name strings and data) for a given RVA, and a complete
// resource-only 32-bit DLL around it. The directory is sorted as the system
// keeps it and searches it: named entries first, ascending by their upper-case
// UTF-16 text, then numbered entries ascending; names are stored upper-case, as
// the resource compiler stores them, so a lookup in any letter case finds them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"
#include "pe/resource_tree.h"

namespace corvane::pe {

// One resource to write. The bytes are not owned and must stay valid until the
// writer returns.
struct ResourceItem {
  ResourceName type;
  ResourceName name;
  uint16_t language = 0;
  uint32_t code_page = 0;
  const uint8_t* bytes = nullptr;
  uint32_t size = 0;
};

// Resource items of a named raw-data resource in the payload language.
ResourceItem PayloadItem(const std::u16string& name, const uint8_t* bytes, uint32_t size);

// Puts items into directory order and upper-cases names. When two items have the
// same type, name and language (names compared without regard to case), the
// later one is kept: that is how an added payload replaces a stub's resource.
std::vector<ResourceItem> NormalizeResourceItems(const std::vector<ResourceItem>& items);

// The bytes of a resource section placed at section_rva. Fails with kTooLarge
// when the result would not fit 32-bit offsets, kInvalidInput when a name is
// longer than 65,535 units.
Result BuildResourceSection(const std::vector<ResourceItem>& items, uint32_t section_rva,
                            std::vector<uint8_t>* section);

// A 32-bit (i386) DLL holding nothing but the resources: no code, no imports.
Result WriteResourceDll(const std::vector<ResourceItem>& items, std::vector<uint8_t>* image);

// The image checksum (the loader's algorithm: 16-bit one's-complement style sum
// of the file with the checksum field taken as 0, plus the file length).
uint32_t ComputeImageChecksum(const uint8_t* data, size_t size, size_t checksum_offset);

}  // namespace corvane::pe
