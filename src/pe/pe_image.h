#pragma once

// Read-only view of a PE32 or PE32+ image held in memory: headers, section table
// and the mapping of relative virtual addresses (RVAs) to the bytes of the file.
// The image bytes are not owned and must outlive the PeImage. Nothing here ever
// reads outside [data, data + size), whatever the bytes hold.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvane::pe {

struct PeSection {
  std::string name;  // up to 8 characters, without the padding zeros
  uint32_t virtual_address = 0;
  uint32_t virtual_size = 0;
  uint32_t raw_offset = 0;
  uint32_t raw_size = 0;
  uint32_t characteristics = 0;
};

struct PeDataDirectory {
  uint32_t rva = 0;
  uint32_t size = 0;
};

// Where the header fields that a writer patches are found in the file.
struct PeHeaderLayout {
  uint32_t pe_offset = 0;  // the "PE\0\0" signature
  uint32_t optional_header_offset = 0;
  uint32_t optional_header_size = 0;
  uint32_t section_table_offset = 0;
  uint32_t data_directory_offset = 0;  // first data directory entry
  uint32_t data_directory_count = 0;
};

class PeImage {
 public:
  // Parses the headers and the section table. False (with error() set) when the
  // bytes are not a PE image or a header lies outside them.
  bool Parse(const uint8_t* data, size_t size);

  const std::string& error() const { return error_; }
  bool is_pe32_plus() const { return pe32_plus_; }
  uint16_t machine() const { return machine_; }
  uint16_t characteristics() const { return characteristics_; }
  uint32_t size_of_image() const { return size_of_image_; }
  uint32_t size_of_headers() const { return size_of_headers_; }
  uint32_t section_alignment() const { return section_alignment_; }
  uint32_t file_alignment() const { return file_alignment_; }
  const PeHeaderLayout& layout() const { return layout_; }
  const std::vector<PeSection>& sections() const { return sections_; }
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

  // The data directory at index, or an empty one when the image has fewer.
  PeDataDirectory Directory(int index) const;

  // The bytes of [rva, rva + length) when the whole range lies in the file bytes
  // of one section (or of the headers); null otherwise. A zero length needs a
  // valid rva only.
  const uint8_t* MapRva(uint32_t rva, uint32_t length) const;

  // The end of the last section's file bytes: where data appended to the image
  // (an overlay) starts.
  uint64_t EndOfSections() const;

 private:
  bool Fail(const char* message);

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  std::string error_;
  bool pe32_plus_ = false;
  uint16_t machine_ = 0;
  uint16_t characteristics_ = 0;
  uint32_t size_of_image_ = 0;
  uint32_t size_of_headers_ = 0;
  uint32_t section_alignment_ = 0;
  uint32_t file_alignment_ = 0;
  PeHeaderLayout layout_;
  std::vector<PeDataDirectory> directories_;
  std::vector<PeSection> sections_;
};

}  // namespace corvane::pe
