#include "pe/native_trailer.h"

#include <cstring>

#include "pe/pe_format.h"

namespace corvane::pe {

void EncodeNativeTrailer(const NativeTrailer& trailer, uint8_t out[kNativeTrailerSize]) {
  WriteU64(out, trailer.offset);
  WriteU64(out + 8, trailer.size);
  std::memcpy(out + 16, kNativeTrailerMagic, sizeof kNativeTrailerMagic);
}

bool DecodeNativeTrailer(const uint8_t tail[kNativeTrailerSize], uint64_t file_size,
                         NativeTrailer* trailer) {
  if (file_size < kNativeTrailerSize) return false;
  if (std::memcmp(tail + 16, kNativeTrailerMagic, sizeof kNativeTrailerMagic) != 0) return false;
  const uint64_t offset = ReadU64(tail);
  const uint64_t size = ReadU64(tail + 8);
  const uint64_t payload_end = file_size - kNativeTrailerSize;
  // Checked without adding, so huge values cannot wrap around.
  if (offset > payload_end || size != payload_end - offset) return false;
  trailer->offset = offset;
  trailer->size = size;
  return true;
}

size_t NativeProgramSize(const uint8_t* file, size_t size) {
  NativeTrailer trailer;
  if (size >= kNativeTrailerSize &&
      DecodeNativeTrailer(file + size - kNativeTrailerSize, size, &trailer)) {
    return static_cast<size_t>(trailer.offset);
  }
  return size;
}

std::vector<uint8_t> AppendNativePayload(const uint8_t* program, size_t program_size,
                                         const uint8_t* payload, size_t payload_size) {
  const size_t keep = NativeProgramSize(program, program_size);
  std::vector<uint8_t> out(program, program + keep);
  out.insert(out.end(), payload, payload + payload_size);
  uint8_t tail[kNativeTrailerSize];
  EncodeNativeTrailer({keep, payload_size}, tail);
  out.insert(out.end(), tail, tail + kNativeTrailerSize);
  return out;
}

}  // namespace corvane::pe
