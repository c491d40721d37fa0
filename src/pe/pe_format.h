#pragma once

// Constants of the PE/COFF image format and little-endian field access used by
// the reader and the writers. Field offsets are relative to the start of the
// structure they belong to.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace corvane::pe {

inline constexpr uint16_t kDosMagic = 0x5A4D;         // "MZ"
inline constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
inline constexpr uint16_t kOptionalMagicPe32 = 0x10B;
inline constexpr uint16_t kOptionalMagicPe32Plus = 0x20B;
inline constexpr uint16_t kMachineI386 = 0x014C;
inline constexpr uint16_t kMachineAmd64 = 0x8664;

inline constexpr size_t kDosLfanewOffset = 0x3C;
inline constexpr size_t kFileHeaderSize = 20;
inline constexpr size_t kSectionHeaderSize = 40;
inline constexpr size_t kDataDirectoryCount = 16;
inline constexpr int kDirectoryResource = 2;
inline constexpr int kDirectorySecurity = 4;

// Resource types and the language the payload is stored under.
inline constexpr uint16_t kRtString = 6;
inline constexpr uint16_t kRtRcData = 10;
inline constexpr uint16_t kRtVersion = 16;
inline constexpr uint16_t kLanguageNeutral = 0;

// The maker's public key travels in the patcher as a numbered raw-data resource,
// which no payload enumeration ever lists (they skip numbered entries).
inline constexpr uint16_t kPublicKeyResourceId = 148;

// Resource directory layout.
inline constexpr size_t kResourceDirectorySize = 16;
inline constexpr size_t kResourceEntrySize = 8;
inline constexpr size_t kResourceDataEntrySize = 16;
inline constexpr uint32_t kResourceNameFlag = 0x80000000u;
inline constexpr uint32_t kResourceSubdirFlag = 0x80000000u;

// Section characteristics of a resource section: initialised data, readable.
inline constexpr uint32_t kSectionInitializedData = 0x00000040u;
inline constexpr uint32_t kSectionMemRead = 0x40000000u;

inline uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t ReadU64(const uint8_t* p) {
  return static_cast<uint64_t>(ReadU32(p)) | (static_cast<uint64_t>(ReadU32(p + 4)) << 32);
}
inline void WriteU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void WriteU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void WriteU64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline uint32_t AlignUp(uint32_t value, uint32_t alignment) {
  return alignment == 0 ? value : (value + alignment - 1) / alignment * alignment;
}

}  // namespace corvane::pe
