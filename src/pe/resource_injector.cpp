#include "pe/resource_injector.h"

#include <algorithm>

#include "pe/pe_format.h"
#include "pe/pe_image.h"
#include "pe/resource_tree.h"

namespace corvane::pe {
namespace {

// In 64 bits: a section may claim a size near 4 GiB.
uint64_t Align64(uint64_t value, uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

bool AllZero(const uint8_t* p, size_t n) {
  return std::all_of(p, p + n, [](uint8_t b) { return b == 0; });
}

// The first file offset that section data occupies; the headers must end there.
uint64_t FirstRawOffset(const PeImage& image) {
  uint64_t first = image.size();
  for (const PeSection& section : image.sections()) {
    if (section.raw_size != 0 && section.raw_offset < first) first = section.raw_offset;
  }
  return first;
}

// Moves every section's file bytes back by `shift` to make room for one more
// section header. RVAs do not change, so code and data stay valid.
Result GrowHeaders(std::vector<uint8_t>& file, const PeImage& image, uint32_t shift) {
  const PeHeaderLayout& layout = image.layout();
  const uint32_t old_headers = image.size_of_headers();
  uint32_t lowest_rva = 0xFFFFFFFFu;
  for (const PeSection& section : image.sections())
    lowest_rva = std::min(lowest_rva, section.virtual_address);
  if (uint64_t{old_headers} + shift > lowest_rva) {
    return Result::Failure(ErrorCode::kInvalidInput,
                           "no room in the stub's headers for another section");
  }
  if (old_headers > file.size()) {
    return Result::Failure(ErrorCode::kInvalidInput, "stub headers larger than the file");
  }
  file.insert(file.begin() + old_headers, shift, 0);
  uint8_t* optional = file.data() + layout.optional_header_offset;
  WriteU32(optional + 60, old_headers + shift);
  for (size_t i = 0; i < image.sections().size(); ++i) {
    uint8_t* header = file.data() + layout.section_table_offset + i * kSectionHeaderSize;
    const uint32_t raw = ReadU32(header + 20);
    if (raw != 0 && raw >= old_headers) WriteU32(header + 20, raw + shift);
  }
  uint8_t* file_header = file.data() + layout.pe_offset + 4;
  const uint32_t symbols = ReadU32(file_header + 8);
  if (symbols != 0 && symbols >= old_headers) WriteU32(file_header + 8, symbols + shift);
  return Result();
}

}  // namespace

Result AddResourceSection(const uint8_t* stub, size_t stub_size,
                          const std::vector<ResourceItem>& items, std::vector<uint8_t>* out) {
  PeImage image;
  if (!image.Parse(stub, stub_size)) {
    return Result::Failure(ErrorCode::kInvalidInput, "stub is not a PE image: " + image.error());
  }
  const auto power_of_two = [](uint32_t v) { return v != 0 && (v & (v - 1)) == 0; };
  if (image.sections().empty() || !power_of_two(image.file_alignment()) ||
      image.file_alignment() > 0x10000 || !power_of_two(image.section_alignment()) ||
      image.section_alignment() > 0x100000 || image.section_alignment() < image.file_alignment()) {
    return Result::Failure(ErrorCode::kInvalidInput, "stub has no sections or unusable alignments");
  }
  // Only a stub the loader would take: headers that hold the section table and
  // sections whose bytes are in the file.
  const uint64_t table_end =
      uint64_t{image.layout().section_table_offset} + image.sections().size() * kSectionHeaderSize;
  if (image.size_of_headers() < table_end || image.size_of_headers() > stub_size) {
    return Result::Failure(ErrorCode::kInvalidInput, "the stub's headers are malformed");
  }
  for (const PeSection& section : image.sections()) {
    if (section.raw_size != 0 && uint64_t{section.raw_offset} + section.raw_size > stub_size) {
      return Result::Failure(ErrorCode::kInvalidInput, "a stub section lies outside the file");
    }
  }
  ResourceTree tree;
  if (!tree.Load(image) || tree.damaged()) {
    return Result::Failure(ErrorCode::kInvalidInput, "the stub's resource directory is damaged");
  }
  if (image.layout().data_directory_count <= static_cast<uint32_t>(kDirectoryResource)) {
    return Result::Failure(ErrorCode::kInvalidInput, "stub has no resource data directory");
  }

  std::vector<ResourceItem> merged;
  for (const ResourceEntry& entry : tree.entries()) {
    // An added item replaces the stub's resource of its type and name in every
    // language: a stub key under 0x409 must not outlive a new neutral one.
    const bool replaced = std::any_of(items.begin(), items.end(), [&](const ResourceItem& item) {
      return SameResourceName(item.type, entry.type) && SameResourceName(item.name, entry.name);
    });
    if (replaced) continue;
    if (entry.bytes == nullptr && entry.size != 0) {
      return Result::Failure(ErrorCode::kInvalidInput, "a stub resource lies outside the file");
    }
    ResourceItem item;
    item.type = entry.type;
    item.name = entry.name;
    item.language = entry.language;
    item.code_page = entry.code_page;
    item.bytes = entry.bytes;
    item.size = entry.size;
    merged.push_back(std::move(item));
  }
  merged.insert(merged.end(), items.begin(), items.end());

  std::vector<uint8_t> file(stub, stub + stub_size);
  const PeHeaderLayout layout = image.layout();
  const size_t section_count = image.sections().size();
  const uint64_t new_header_offset =
      uint64_t{layout.section_table_offset} + section_count * kSectionHeaderSize;
  const uint64_t headers_end = std::min<uint64_t>(image.size_of_headers(), FirstRawOffset(image));
  const bool room = new_header_offset + kSectionHeaderSize <= headers_end &&
                    new_header_offset + kSectionHeaderSize <= file.size() &&
                    AllZero(file.data() + new_header_offset, kSectionHeaderSize);
  if (!room) {
    if (Result grown = GrowHeaders(file, image, image.file_alignment()); !grown.ok()) return grown;
  }

  // The new section goes after everything the image maps: its sections, its
  // headers (a section may not start at 0) and whatever SizeOfImage claims.
  const uint32_t section_alignment = image.section_alignment();
  uint64_t image_end = std::max(Align64(image.size_of_headers(), section_alignment),
                                Align64(image.size_of_image(), section_alignment));
  image_end = std::max<uint64_t>(image_end, section_alignment);
  for (const PeSection& section : image.sections()) {
    const uint32_t span = section.virtual_size != 0 ? section.virtual_size : section.raw_size;
    image_end =
        std::max(image_end, Align64(uint64_t{section.virtual_address} + span, section_alignment));
  }
  if (image_end > 0x7FFF0000u) {
    return Result::Failure(ErrorCode::kTooLarge, "stub image too large");
  }
  const uint32_t section_rva = static_cast<uint32_t>(image_end);
  std::vector<uint8_t> section;
  if (Result built = BuildResourceSection(merged, section_rva, &section); !built.ok()) return built;

  // The new section's bytes go after everything the file holds (sections and
  // any appended data), so nothing that is there moves.
  const uint32_t file_alignment = image.file_alignment();
  const uint64_t raw_offset =
      (uint64_t{file.size()} + file_alignment - 1) / file_alignment * file_alignment;
  const uint32_t raw_size = AlignUp(static_cast<uint32_t>(section.size()), file_alignment);
  const uint32_t virtual_size = static_cast<uint32_t>(section.size());
  const uint64_t new_image_size = Align64(uint64_t{section_rva} + virtual_size, section_alignment);
  if (raw_offset + raw_size > 0x7FFFFFFFu || new_image_size > 0x7FFFFFFFu) {
    return Result::Failure(ErrorCode::kTooLarge, "patched image too large");
  }
  file.resize(raw_offset, 0);
  file.insert(file.end(), section.begin(), section.end());
  file.resize(raw_offset + raw_size, 0);

  // Headers. The stub's old resource section keeps its bytes under another name.
  uint8_t* p = file.data();
  for (size_t i = 0; i < section_count; ++i) {
    uint8_t* header = p + layout.section_table_offset + i * kSectionHeaderSize;
    if (std::memcmp(header, ".rsrc\0\0\0", 8) == 0) std::memcpy(header, ".oldrsrc", 8);
  }
  uint8_t* header = p + new_header_offset;
  std::memset(header, 0, kSectionHeaderSize);
  constexpr uint8_t kResourceSectionName[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
  std::memcpy(header, kResourceSectionName, sizeof kResourceSectionName);
  WriteU32(header + 8, virtual_size);
  WriteU32(header + 12, section_rva);
  WriteU32(header + 16, raw_size);
  WriteU32(header + 20, static_cast<uint32_t>(raw_offset));
  WriteU32(header + 36, kSectionInitializedData | kSectionMemRead);

  uint8_t* file_header = p + layout.pe_offset + 4;
  WriteU16(file_header + 2, static_cast<uint16_t>(section_count + 1));
  uint8_t* optional = p + layout.optional_header_offset;
  WriteU32(optional + 8, ReadU32(optional + 8) + raw_size);
  WriteU32(optional + 56, static_cast<uint32_t>(new_image_size));
  uint8_t* directories = p + layout.data_directory_offset;
  WriteU32(directories + 8 * kDirectoryResource, section_rva);
  WriteU32(directories + 8 * kDirectoryResource + 4, virtual_size);
  // A signature over the stub no longer matches the new file.
  if (layout.data_directory_count > static_cast<uint32_t>(kDirectorySecurity)) {
    WriteU32(directories + 8 * kDirectorySecurity, 0);
    WriteU32(directories + 8 * kDirectorySecurity + 4, 0);
  }
  const size_t checksum_offset = layout.optional_header_offset + 64;
  WriteU32(p + checksum_offset, ComputeImageChecksum(p, file.size(), checksum_offset));
  out->swap(file);
  return Result();
}

}  // namespace corvane::pe
