#include "pe/version_resource.h"

#include <string_view>

#include "pe/pe_format.h"
#include "text/code_page_1252.h"

namespace corvane::pe {
namespace {

// One node of the version tree: wLength, wValueLength, wType, a zero-terminated
// UTF-16 key, padding to 4 bytes, the value, padding, then the children. All
// offsets are relative to the start of the block, which keeps the alignment.
struct VersionNode {
  size_t begin = 0;
  size_t end = 0;  // begin + wLength, clamped to the parent
  uint16_t value_length = 0;
  uint16_t type = 0;  // 1: the value is text and its length counts characters
  std::u16string key;
  size_t value_offset = 0;     // after the key's padding
  size_t children_offset = 0;  // after the value and its padding
};

size_t Align4(size_t offset) { return (offset + 3) & ~size_t{3}; }

// Reads the node at offset inside [offset, limit). False when it does not fit.
bool ReadNode(const uint8_t* block, size_t offset, size_t limit, VersionNode* node) {
  if (offset + 6 > limit) return false;
  const uint16_t length = ReadU16(block + offset);
  if (length < 6) return false;
  node->begin = offset;
  node->end = offset + length > limit ? limit : offset + length;
  node->value_length = ReadU16(block + offset + 2);
  node->type = ReadU16(block + offset + 4);
  node->key.clear();
  size_t cursor = offset + 6;
  for (;;) {
    if (cursor + 2 > node->end) return false;
    const char16_t c = ReadU16(block + cursor);
    cursor += 2;
    if (c == 0) break;
    node->key += c;
  }
  node->value_offset = Align4(cursor);
  const size_t value_bytes = size_t{node->value_length} * (node->type != 0 ? 2 : 1);
  node->children_offset = Align4(node->value_offset + value_bytes);
  return true;
}

// Finds the child with the key (compared without regard to ASCII case, as the
// query does) among the children in [children, parent_end).
bool FindChild(const uint8_t* block, size_t children, size_t parent_end, std::u16string_view key,
               VersionNode* found) {
  size_t offset = children;
  while (offset < parent_end) {
    VersionNode child;
    if (!ReadNode(block, offset, parent_end, &child)) return false;
    if (text::EqualsAsciiNoCase(child.key, key)) {
      *found = child;
      return true;
    }
    // wLength >= 6 guarantees progress.
    offset = Align4(child.end);
  }
  return false;
}

}  // namespace

std::string FileVersionFromBlock(const uint8_t* block, size_t size) {
  if (block == nullptr) return {};
  VersionNode root;
  if (!ReadNode(block, 0, size, &root)) return {};
  VersionNode string_info;
  if (!FindChild(block, root.children_offset, root.end, u"StringFileInfo", &string_info)) return {};
  VersionNode table;
  if (!FindChild(block, string_info.children_offset, string_info.end, u"040904b0", &table)) {
    return {};
  }
  VersionNode version;
  if (!FindChild(block, table.children_offset, table.end, u"FileVersion", &version)) return {};

  // The ANSI query converts the value up to its terminating zero, whatever the
  // stored value length says; the node's end bounds it.
  std::u16string text;
  for (size_t cursor = version.value_offset; cursor + 2 <= version.end; cursor += 2) {
    const char16_t c = ReadU16(block + cursor);
    if (c == 0) break;
    text += c;
  }
  std::string result = text::Utf16ToCp1252(text);
  if (result.size() > kMaxFileVersionLength) result.resize(kMaxFileVersionLength);
  return result;
}

std::string FileVersionOfImage(const ResourceTree& resources) {
  for (const ResourceEntry& entry : resources.entries()) {
    if (entry.type.is_named || entry.type.id != kRtVersion) continue;
    if (entry.name.is_named || entry.name.id != 1) continue;
    if (entry.bytes == nullptr) return {};
    return FileVersionFromBlock(entry.bytes, entry.size);
  }
  return {};
}

}  // namespace corvane::pe
