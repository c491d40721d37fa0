#include "pe/resource_writer.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <unordered_map>

#include "pe/pe_format.h"
#include "text/code_page_1252.h"

namespace corvane::pe {
namespace {

// Directory order of two names at one level.
bool NameLess(const ResourceName& a, const ResourceName& b) {
  if (a.is_named != b.is_named) return a.is_named;
  if (a.is_named) return text::NameUpper(a.name) < text::NameUpper(b.name);
  return a.id < b.id;
}

bool ItemLess(const ResourceItem& a, const ResourceItem& b) {
  if (!SameResourceName(a.type, b.type)) return NameLess(a.type, b.type);
  if (!SameResourceName(a.name, b.name)) return NameLess(a.name, b.name);
  return a.language < b.language;
}

void AppendU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void Pad(std::vector<uint8_t>& out, size_t alignment) {
  while (out.size() % alignment != 0) out.push_back(0);
}

// A directory to be written: its entries and where each points.
struct PendingDirectory {
  size_t offset = 0;  // in the section
  std::vector<ResourceName> names;
  std::vector<uint32_t> targets;  // section offsets of child directories or data entries
  bool leaf_level = false;
};

constexpr uint32_t kMaxSectionSize = 0x7FFF0000u;
constexpr size_t kSectionHeadroom = 0x1000;

}  // namespace

ResourceItem PayloadItem(const std::u16string& name, const uint8_t* bytes, uint32_t size) {
  ResourceItem item;
  item.type = ResourceName::Id(kRtRcData);
  item.name = ResourceName::Named(name);
  item.language = kLanguageNeutral;
  item.bytes = bytes;
  item.size = size;
  return item;
}

std::vector<ResourceItem> NormalizeResourceItems(const std::vector<ResourceItem>& items) {
  std::vector<ResourceItem> sorted = items;
  for (ResourceItem& item : sorted) {
    if (item.type.is_named) item.type.name = text::NameUpper(item.type.name);
    if (item.name.is_named) item.name.name = text::NameUpper(item.name.name);
  }
  std::stable_sort(sorted.begin(), sorted.end(), ItemLess);
  // Keep the last of each run of equal keys (stable sort kept input order).
  std::vector<ResourceItem> unique;
  for (ResourceItem& item : sorted) {
    if (!unique.empty() && !ItemLess(unique.back(), item)) {
      unique.back() = std::move(item);
    } else {
      unique.push_back(std::move(item));
    }
  }
  return unique;
}

Result BuildResourceSection(const std::vector<ResourceItem>& input, uint32_t section_rva,
                            std::vector<uint8_t>* section) {
  const std::vector<ResourceItem> items = NormalizeResourceItems(input);
  for (const ResourceItem& item : items) {
    if (item.type.name.size() > 0xFFFF || item.name.name.size() > 0xFFFF) {
      return Result::Failure(ErrorCode::kInvalidInput,
                             "resource name longer than 65535 characters");
    }
  }

  // Breadth-first: root, then one directory per type, then one per name.
  std::vector<PendingDirectory> directories;
  directories.push_back({});
  std::vector<size_t> leaf_of_item(items.size());
  std::vector<size_t> name_directory_of_item(items.size());
  {
    std::vector<size_t> type_directories;
    for (size_t i = 0; i < items.size(); ++i) {
      if (i == 0 || !SameResourceName(items[i].type, items[i - 1].type)) {
        directories[0].names.push_back(items[i].type);
        type_directories.push_back(directories.size());
        directories.push_back({});
      }
    }
    size_t type_index = 0;
    for (size_t i = 0; i < items.size(); ++i) {
      if (i > 0 && !SameResourceName(items[i].type, items[i - 1].type)) ++type_index;
      const bool new_name = i == 0 || !SameResourceName(items[i].type, items[i - 1].type) ||
                            !SameResourceName(items[i].name, items[i - 1].name);
      if (new_name) {
        directories[type_directories[type_index]].names.push_back(items[i].name);
        PendingDirectory languages;
        languages.leaf_level = true;
        directories.push_back(languages);
      }
      name_directory_of_item[i] = directories.size() - 1;
      directories.back().names.push_back(ResourceName::Id(items[i].language));
    }
  }

  // Offsets: directories, then data entries, then strings, then data.
  size_t offset = 0;
  for (PendingDirectory& directory : directories) {
    directory.offset = offset;
    offset += kResourceDirectorySize + directory.names.size() * kResourceEntrySize;
  }
  const size_t data_entries_offset = offset;
  offset += items.size() * kResourceDataEntrySize;
  // Child directory offsets follow from the breadth-first order.
  {
    size_t next_child = 1;
    for (PendingDirectory& directory : directories) {
      directory.targets.clear();
      if (directory.leaf_level) continue;
      for (size_t k = 0; k < directory.names.size(); ++k) {
        directory.targets.push_back(static_cast<uint32_t>(directories[next_child++].offset) |
                                    kResourceSubdirFlag);
      }
    }
    for (size_t i = 0; i < items.size(); ++i) {
      directories[name_directory_of_item[i]].targets.push_back(
          static_cast<uint32_t>(data_entries_offset + i * kResourceDataEntrySize));
    }
  }

  std::vector<uint8_t>& out = *section;
  // Room for everything (and a file header in front, see WriteResourceDll), so
  // payloads of hundreds of megabytes are not copied again while growing.
  uint64_t total = offset + 8;
  for (const ResourceItem& item : items) total += item.size + 8 + 2 + 2 * item.name.name.size();
  if (total < kMaxSectionSize) out.reserve(static_cast<size_t>(total) + kSectionHeadroom);
  out.assign(offset, 0);
  // Name strings, each once.
  std::map<std::u16string, uint32_t> string_offsets;
  for (const PendingDirectory& directory : directories) {
    for (const ResourceName& name : directory.names) {
      if (!name.is_named || string_offsets.count(name.name) != 0) continue;
      string_offsets[name.name] = static_cast<uint32_t>(out.size());
      AppendU16(out, static_cast<uint16_t>(name.name.size()));
      for (char16_t c : name.name) AppendU16(out, c);
    }
  }
  // Items with the same bytes share one block: every data entry points at
  // its bytes by offset and size, so nothing needs a copy of its own.
  std::vector<uint32_t> data_offsets(items.size());
  std::unordered_map<std::string_view, size_t> placed;  // bytes -> the first item holding them
  for (size_t i = 0; i < items.size(); ++i) {
    const std::string_view bytes(reinterpret_cast<const char*>(items[i].bytes), items[i].size);
    if (items[i].size != 0) {
      auto found = placed.find(bytes);
      if (found != placed.end()) {
        data_offsets[i] = data_offsets[found->second];
        continue;
      }
    }
    Pad(out, 8);
    if (uint64_t{out.size()} + items[i].size + section_rva > kMaxSectionSize) {
      return Result::Failure(ErrorCode::kTooLarge, "resources too large for a 32-bit image");
    }
    data_offsets[i] = static_cast<uint32_t>(out.size());
    if (items[i].size != 0) {
      out.insert(out.end(), items[i].bytes, items[i].bytes + items[i].size);
      placed.emplace(bytes, i);
    }
  }
  Pad(out, 8);

  for (const PendingDirectory& directory : directories) {
    uint8_t* header = out.data() + directory.offset;
    uint16_t named = 0;
    for (const ResourceName& name : directory.names) named += name.is_named ? 1 : 0;
    WriteU16(header + 12, named);
    WriteU16(header + 14, static_cast<uint16_t>(directory.names.size() - named));
    for (size_t k = 0; k < directory.names.size(); ++k) {
      uint8_t* entry = header + kResourceDirectorySize + k * kResourceEntrySize;
      const ResourceName& name = directory.names[k];
      WriteU32(entry, name.is_named ? (string_offsets[name.name] | kResourceNameFlag) : name.id);
      WriteU32(entry + 4, directory.targets[k]);
    }
  }
  for (size_t i = 0; i < items.size(); ++i) {
    uint8_t* entry = out.data() + data_entries_offset + i * kResourceDataEntrySize;
    WriteU32(entry, section_rva + data_offsets[i]);
    WriteU32(entry + 4, items[i].size);
    WriteU32(entry + 8, items[i].code_page);
  }
  return Result();
}

uint32_t ComputeImageChecksum(const uint8_t* data, size_t size, size_t checksum_offset) {
  uint64_t sum = 0;
  for (size_t i = 0; i < size; i += 2) {
    if (i == checksum_offset || i == checksum_offset + 2) continue;
    uint32_t word = data[i];
    if (i + 1 < size) word |= uint32_t{data[i + 1]} << 8;
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + size);
}

Result WriteResourceDll(const std::vector<ResourceItem>& items, std::vector<uint8_t>* image) {
  constexpr uint32_t kFileAlignment = 0x200;
  constexpr uint32_t kSectionAlignment = 0x1000;
  constexpr uint32_t kPeOffset = 0x40;
  constexpr uint32_t kOptionalSize = 0xE0;
  constexpr uint32_t kHeadersSize = 0x200;
  constexpr uint32_t kSectionRva = 0x1000;

  // The section is built in place and the headers put in front of it.
  std::vector<uint8_t>& out = *image;
  if (Result built = BuildResourceSection(items, kSectionRva, &out); !built.ok()) return built;
  const uint32_t raw_size = AlignUp(static_cast<uint32_t>(out.size()), kFileAlignment);
  const uint32_t virtual_size = static_cast<uint32_t>(out.size());
  out.insert(out.begin(), kHeadersSize, 0);
  out.resize(kHeadersSize + raw_size, 0);
  uint8_t* p = out.data();
  WriteU16(p, kDosMagic);
  WriteU32(p + kDosLfanewOffset, kPeOffset);
  WriteU32(p + kPeOffset, kPeSignature);

  uint8_t* file_header = p + kPeOffset + 4;
  WriteU16(file_header, kMachineI386);
  WriteU16(file_header + 2, 1);  // sections
  WriteU16(file_header + 16, kOptionalSize);
  WriteU16(file_header + 18, 0x2102);  // executable image, 32-bit, DLL

  uint8_t* optional = file_header + kFileHeaderSize;
  WriteU16(optional, kOptionalMagicPe32);
  optional[2] = 2;                      // linker version 2.0
  WriteU32(optional + 8, raw_size);     // initialised data
  WriteU32(optional + 28, 0x10000000);  // image base
  WriteU32(optional + 32, kSectionAlignment);
  WriteU32(optional + 36, kFileAlignment);
  WriteU16(optional + 40, 4);  // operating system 4.0
  WriteU16(optional + 48, 4);  // subsystem 4.0
  WriteU32(optional + 56,
           kSectionRva + AlignUp(virtual_size == 0 ? 1 : virtual_size, kSectionAlignment));
  WriteU32(optional + 60, kHeadersSize);
  WriteU16(optional + 68, 2);         // Windows GUI subsystem
  WriteU16(optional + 70, 0x0400);    // no structured exception handlers
  WriteU32(optional + 72, 0x100000);  // stack reserve
  WriteU32(optional + 76, 0x1000);    // stack commit
  WriteU32(optional + 80, 0x100000);  // heap reserve
  WriteU32(optional + 84, 0x1000);    // heap commit
  WriteU32(optional + 92, kDataDirectoryCount);
  WriteU32(optional + 96 + 8 * kDirectoryResource, kSectionRva);
  WriteU32(optional + 96 + 8 * kDirectoryResource + 4, virtual_size);

  uint8_t* header = optional + kOptionalSize;
  constexpr uint8_t kResourceSectionName[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
  std::memcpy(header, kResourceSectionName, sizeof kResourceSectionName);
  WriteU32(header + 8, virtual_size);
  WriteU32(header + 12, kSectionRva);
  WriteU32(header + 16, raw_size);
  WriteU32(header + 20, kHeadersSize);
  WriteU32(header + 36, kSectionInitializedData | kSectionMemRead);

  const size_t checksum_offset = (optional + 64) - p;
  WriteU32(out.data() + checksum_offset,
           ComputeImageChecksum(out.data(), out.size(), checksum_offset));
  return Result();
}

}  // namespace corvane::pe
