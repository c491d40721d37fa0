#pragma once

// The trailer that finds a PE payload image appended to a native (ELF) patcher:
// the last 24 bytes of the file are the payload's file offset and size (64-bit,
// little-endian) and an 8-byte magic. docs/formats/native-trailer.md has the
// details.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvane::pe {

inline constexpr size_t kNativeTrailerSize = 24;
inline constexpr uint8_t kNativeTrailerMagic[8] = {'C', 'V', 'P', 'A', 'Y', 'L', 'D', '1'};

struct NativeTrailer {
  uint64_t offset = 0;
  uint64_t size = 0;
};

void EncodeNativeTrailer(const NativeTrailer& trailer, uint8_t out[kNativeTrailerSize]);

// Reads the trailer from the last kNativeTrailerSize bytes of a file of
// file_size bytes. False when the magic is missing or the payload it names does
// not end exactly where the trailer starts.
bool DecodeNativeTrailer(const uint8_t tail[kNativeTrailerSize], uint64_t file_size,
                         NativeTrailer* trailer);

// The file bytes with the payload (if any) and its trailer removed.
size_t NativeProgramSize(const uint8_t* file, size_t size);

// A native program followed by the payload image and its trailer. A payload the
// program already carries is replaced, not stacked.
std::vector<uint8_t> AppendNativePayload(const uint8_t* program, size_t program_size,
                                         const uint8_t* payload, size_t payload_size);

}  // namespace corvane::pe
