#include "pe/pe_image.h"

#include "pe/pe_format.h"

namespace corvane::pe {

bool PeImage::Fail(const char* message) {
  error_ = message;
  sections_.clear();
  directories_.clear();
  return false;
}

bool PeImage::Parse(const uint8_t* data, size_t size) {
  *this = PeImage();
  data_ = data;
  size_ = size;
  const uint64_t file_size = size;
  if (data == nullptr || size < 0x40 || ReadU16(data) != kDosMagic) return Fail("no MZ header");
  const uint32_t pe_offset = ReadU32(data + kDosLfanewOffset);
  if (uint64_t{pe_offset} + 4 + kFileHeaderSize > file_size)
    return Fail("PE header outside the file");
  if (ReadU32(data + pe_offset) != kPeSignature) return Fail("no PE signature");

  const uint8_t* file_header = data + pe_offset + 4;
  machine_ = ReadU16(file_header);
  const uint16_t section_count = ReadU16(file_header + 2);
  const uint16_t optional_size = ReadU16(file_header + 16);
  characteristics_ = ReadU16(file_header + 18);

  const uint64_t optional_offset = uint64_t{pe_offset} + 4 + kFileHeaderSize;
  if (optional_offset + optional_size > file_size) return Fail("optional header outside the file");
  if (optional_size < 2) return Fail("optional header too small");
  const uint8_t* optional = data + optional_offset;
  const uint16_t magic = ReadU16(optional);
  size_t directory_start = 0;
  if (magic == kOptionalMagicPe32) {
    directory_start = 96;
  } else if (magic == kOptionalMagicPe32Plus) {
    directory_start = 112;
    pe32_plus_ = true;
  } else {
    return Fail("unknown optional header magic");
  }
  if (optional_size < directory_start) return Fail("optional header too small");
  section_alignment_ = ReadU32(optional + 32);
  file_alignment_ = ReadU32(optional + 36);
  size_of_image_ = ReadU32(optional + 56);
  size_of_headers_ = ReadU32(optional + 60);
  uint32_t directory_count = ReadU32(optional + directory_start - 4);
  const uint32_t room = static_cast<uint32_t>((optional_size - directory_start) / 8);
  if (directory_count > room) directory_count = room;
  if (directory_count > kDataDirectoryCount) directory_count = kDataDirectoryCount;
  for (uint32_t i = 0; i < directory_count; ++i) {
    const uint8_t* entry = optional + directory_start + 8 * i;
    directories_.push_back({ReadU32(entry), ReadU32(entry + 4)});
  }

  const uint64_t section_table = optional_offset + optional_size;
  if (section_table + uint64_t{section_count} * kSectionHeaderSize > file_size) {
    return Fail("section table outside the file");
  }
  for (uint16_t i = 0; i < section_count; ++i) {
    const uint8_t* header = data + section_table + kSectionHeaderSize * i;
    PeSection section;
    size_t name_length = 0;
    while (name_length < 8 && header[name_length] != 0) ++name_length;
    section.name.assign(reinterpret_cast<const char*>(header), name_length);
    section.virtual_size = ReadU32(header + 8);
    section.virtual_address = ReadU32(header + 12);
    section.raw_size = ReadU32(header + 16);
    section.raw_offset = ReadU32(header + 20);
    section.characteristics = ReadU32(header + 36);
    sections_.push_back(section);
  }

  layout_.pe_offset = pe_offset;
  layout_.optional_header_offset = static_cast<uint32_t>(optional_offset);
  layout_.optional_header_size = optional_size;
  layout_.section_table_offset = static_cast<uint32_t>(section_table);
  layout_.data_directory_offset = static_cast<uint32_t>(optional_offset + directory_start);
  layout_.data_directory_count = directory_count;
  return true;
}

PeDataDirectory PeImage::Directory(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= directories_.size()) return {};
  return directories_[index];
}

const uint8_t* PeImage::MapRva(uint32_t rva, uint32_t length) const {
  const uint64_t begin = rva;
  const uint64_t end = begin + length;
  for (const PeSection& section : sections_) {
    const uint64_t va = section.virtual_address;
    // The loader maps no more than the virtual size; older linkers leave it 0.
    uint64_t span = section.raw_size;
    if (section.virtual_size != 0 && section.virtual_size < span) span = section.virtual_size;
    if (begin < va || end > va + span) continue;
    const uint64_t offset = section.raw_offset + (begin - va);
    if (offset + length > size_) continue;
    return data_ + offset;
  }
  // The headers are mapped at RVA 0 as they are in the file.
  if (end <= size_of_headers_ && end <= size_) return data_ + begin;
  return nullptr;
}

uint64_t PeImage::EndOfSections() const {
  uint64_t end = size_of_headers_;
  for (const PeSection& section : sections_) {
    const uint64_t section_end = uint64_t{section.raw_offset} + section.raw_size;
    if (section.raw_size != 0 && section_end > end) end = section_end;
  }
  return end < size_ ? end : size_;
}

}  // namespace corvane::pe
