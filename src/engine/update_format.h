#pragma once

#include <cstdint>

// Layout of update files (".upd"), shared by the applier (apply_patch.cpp) and
// the writers (create_patch.cpp, compact_update.cpp). docs/formats/update-file.md
// describes the format in full.
//
//   kind (1 byte) | new size (4) | old size (4) | records... | checksum (4)
//   record: copy length (4) [copy offset (4)] insert length (4)
//           [insert position (4) inline bytes (insert length)]
//
// Every field wider than a byte is a signed 32-bit little-endian integer; a
// run length <= 0 is an empty run whose second field is absent.
namespace corvane::update_format {

enum Kind : uint8_t {
  kKindNoOldFile = 0,   // made without an old file: old size 0, inserts only
  kKindDifference = 1,  // made from an existing old file
  kKindDelete = 2,      // the whole update is this one byte: delete the file
};

inline constexpr int32_t kFieldSize = 4;
inline constexpr int32_t kKindSize = 1;
inline constexpr int32_t kHeaderSize = kKindSize + 2 * kFieldSize;  // 9
inline constexpr int32_t kChecksumSize = kFieldSize;
// The unchanged shape: header, record (S, 0, 0), checksum.
inline constexpr int32_t kUnchangedSize = kHeaderSize + 3 * kFieldSize + kChecksumSize;  // 25
// A new file of no bytes: header and checksum, no records.
inline constexpr int32_t kEmptyNewFileSize = kHeaderSize + kChecksumSize;  // 13

// Extension of update file names, compared without regard to letter case.
inline constexpr const char kExtension[] = ".upd";

inline int32_t LoadField(const uint8_t* bytes) {
  uint32_t value = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                   (static_cast<uint32_t>(bytes[2]) << 16) |
                   (static_cast<uint32_t>(bytes[3]) << 24);
  return static_cast<int32_t>(value);
}

inline void StoreField(uint8_t* bytes, int32_t field) {
  uint32_t value = static_cast<uint32_t>(field);
  bytes[0] = static_cast<uint8_t>(value);
  bytes[1] = static_cast<uint8_t>(value >> 8);
  bytes[2] = static_cast<uint8_t>(value >> 16);
  bytes[3] = static_cast<uint8_t>(value >> 24);
}

}  // namespace corvane::update_format
