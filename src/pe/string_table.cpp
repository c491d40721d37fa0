#include "pe/string_table.h"

#include "pe/pe_format.h"

namespace corvane::pe {

bool LoadTableString(const ResourceTree& resources, uint16_t id, uint16_t language,
                     std::u16string* text) {
  const uint16_t block_id = static_cast<uint16_t>(id / 16 + 1);
  const ResourceEntry* block =
      resources.Find(ResourceName::Id(kRtString), ResourceName::Id(block_id), language);
  if (block == nullptr || block->bytes == nullptr) return false;
  size_t offset = 0;
  for (int index = 0; index < 16; ++index) {
    if (offset + 2 > block->size) return false;
    const uint16_t length = ReadU16(block->bytes + offset);
    offset += 2;
    if (index == id % 16) {
      if (length == 0 || offset + 2u * length > block->size) return false;
      text->assign(length, u'\0');
      for (uint16_t i = 0; i < length; ++i) (*text)[i] = ReadU16(block->bytes + offset + 2 * i);
      return true;
    }
    offset += 2u * length;
  }
  return false;
}

}  // namespace corvane::pe
