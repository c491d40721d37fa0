#pragma once

#include <cstddef>
#include <cstdint>

namespace corvane {

// CRC-32 of installed files, with the CRC-32/BZIP2 parameters: polynomial
// 0x04C11DB7 taken most significant bit first (no reflection of input or
// output), initial value 0xFFFFFFFF, final value complemented. The check value
// of the nine bytes "123456789" is 0xFC891918. This is not the byte-sum
// checksum of update files.
//
// Feed a file in any number of pieces (one MappedFile window at a time):
//   uint32_t state = kCrc32Initial;
//   state = Crc32Update(state, window, length);  // repeated
//   uint32_t crc = Crc32Final(state);
// Any split of the input gives the same value.

inline constexpr uint32_t kCrc32Polynomial = 0x04C11DB7;
inline constexpr uint32_t kCrc32Initial = 0xFFFFFFFF;

// Advances the running state over `size` bytes.
uint32_t Crc32Update(uint32_t state, const void* data, size_t size);
inline uint32_t Crc32Final(uint32_t state) { return ~state; }
// The CRC of one block.
inline uint32_t Crc32(const void* data, size_t size) {
  return Crc32Final(Crc32Update(kCrc32Initial, data, size));
}

// Crc32Update folds long inputs with carry-less multiplication where the
// processor has it (x86 PCLMULQDQ) and reads eight bytes per step through
// sliced tables otherwise. The forms below give the same values; they exist
// so that each can be checked and measured on its own.
// Sliced tables only:
uint32_t Crc32UpdateSliced(uint32_t state, const void* data, size_t size);
// The reference form, one table lookup per byte:
uint32_t Crc32UpdateBytewise(uint32_t state, const void* data, size_t size);

// Entry i of the byte table: i << 24 stepped eight times through the
// polynomial.
uint32_t Crc32TableEntry(uint8_t index);

}  // namespace corvane
