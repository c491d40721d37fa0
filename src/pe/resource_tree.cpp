#include "pe/resource_tree.h"

#include "pe/pe_format.h"
#include "text/code_page_1252.h"

namespace corvane::pe {

bool SameResourceName(const ResourceName& a, const ResourceName& b) {
  if (a.is_named != b.is_named) return false;
  return a.is_named ? text::EqualsNameNoCase(a.name, b.name) : a.id == b.id;
}

bool ResourceTree::Load(const PeImage& image) {
  entries_.clear();
  damaged_ = false;
  visited_ = 0;
  const PeDataDirectory directory = image.Directory(kDirectoryResource);
  if (directory.rva == 0) return true;
  if (image.MapRva(directory.rva, kResourceDirectorySize) == nullptr) {
    damaged_ = true;
    return false;
  }
  ResourceEntry path;
  ReadLevel(image, directory.rva, 0, 0, &path);
  return true;
}

bool ResourceTree::ReadName(const PeImage& image, uint32_t base, uint32_t field,
                            ResourceName* out) {
  if ((field & kResourceNameFlag) == 0) {
    *out = ResourceName::Id(static_cast<uint16_t>(field));
    return true;
  }
  const uint64_t string_rva = uint64_t{base} + (field & ~kResourceNameFlag);
  if (string_rva > 0xFFFFFFFFu) return false;
  const uint8_t* length_field = image.MapRva(static_cast<uint32_t>(string_rva), 2);
  if (length_field == nullptr) return false;
  const uint16_t length = ReadU16(length_field);
  const uint8_t* chars = image.MapRva(static_cast<uint32_t>(string_rva), 2 + 2u * length);
  if (chars == nullptr) return false;
  std::u16string name(length, u'\0');
  for (uint16_t i = 0; i < length; ++i) name[i] = ReadU16(chars + 2 + 2 * i);
  *out = ResourceName::Named(std::move(name));
  return true;
}

void ResourceTree::ReadLevel(const PeImage& image, uint32_t base, uint32_t directory_offset,
                             int level, ResourceEntry* path) {
  const uint64_t directory_rva = uint64_t{base} + directory_offset;
  if (directory_rva > 0xFFFFFFFFu) {
    damaged_ = true;
    return;
  }
  const uint8_t* header =
      image.MapRva(static_cast<uint32_t>(directory_rva), kResourceDirectorySize);
  if (header == nullptr) {
    damaged_ = true;
    return;
  }
  const uint32_t count = uint32_t{ReadU16(header + 12)} + ReadU16(header + 14);
  const uint8_t* table =
      image.MapRva(static_cast<uint32_t>(directory_rva),
                   static_cast<uint32_t>(kResourceDirectorySize + count * kResourceEntrySize));
  if (table == nullptr) {
    damaged_ = true;
    return;
  }
  for (uint32_t i = 0; i < count; ++i) {
    // Bounds the work of self-referencing directories, not only the result.
    if (entries_.size() >= kMaxEntries || ++visited_ > 4 * kMaxEntries) {
      damaged_ = true;
      return;
    }
    const uint8_t* entry = table + kResourceDirectorySize + i * kResourceEntrySize;
    const uint32_t name_field = ReadU32(entry);
    const uint32_t target = ReadU32(entry + 4);
    const bool is_directory = (target & kResourceSubdirFlag) != 0;
    if (level < 2) {
      if (!is_directory) {
        damaged_ = true;
        continue;
      }
      ResourceName name;
      if (!ReadName(image, base, name_field, &name)) {
        damaged_ = true;
        continue;
      }
      (level == 0 ? path->type : path->name) = std::move(name);
      ReadLevel(image, base, target & ~kResourceSubdirFlag, level + 1, path);
      continue;
    }
    // Language level: the leaf must be a data entry; languages are numbers.
    const uint64_t data_rva = uint64_t{base} + target;
    const uint8_t* data_entry =
        is_directory || data_rva > 0xFFFFFFFFu
            ? nullptr
            : image.MapRva(static_cast<uint32_t>(data_rva), kResourceDataEntrySize);
    if (data_entry == nullptr) {
      damaged_ = true;
      continue;
    }
    ResourceEntry leaf = *path;
    leaf.language = static_cast<uint16_t>(name_field);
    leaf.data_rva = ReadU32(data_entry);
    leaf.size = ReadU32(data_entry + 4);
    leaf.code_page = ReadU32(data_entry + 8);
    leaf.bytes = image.MapRva(leaf.data_rva, leaf.size);
    entries_.push_back(std::move(leaf));
  }
}

const ResourceEntry* ResourceTree::Find(const ResourceName& type, const ResourceName& name,
                                        uint16_t language) const {
  const ResourceEntry* first = nullptr;
  const ResourceEntry* neutral = nullptr;
  for (const ResourceEntry& entry : entries_) {
    if (entry.bytes == nullptr && entry.size != 0) continue;
    if (!SameResourceName(entry.type, type) || !SameResourceName(entry.name, name)) continue;
    if (language != kAnyLanguage && entry.language == language) return &entry;
    if (first == nullptr) first = &entry;
    if (neutral == nullptr && entry.language == kLanguageNeutral) neutral = &entry;
  }
  return neutral != nullptr ? neutral : first;
}

}  // namespace corvane::pe
