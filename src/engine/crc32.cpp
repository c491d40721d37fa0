#include "engine/crc32.h"

#include <array>

namespace corvane {

namespace {

// Slicing by eight: table k maps a byte to its contribution after k more bytes
// have passed through the register. One step then folds eight input bytes
// with eight independent lookups instead of a chain of eight dependent ones.
constexpr int kSlices = 8;
using Crc32Tables = std::array<std::array<uint32_t, 256>, kSlices>;

constexpr uint32_t StepEntry(uint32_t value) {
  for (int bit = 0; bit < 8; ++bit) {
    value = (value & 0x80000000u) ? (value << 1) ^ kCrc32Polynomial : value << 1;
  }
  return value;
}

constexpr Crc32Tables MakeTables() {
  Crc32Tables tables{};
  for (uint32_t i = 0; i < 256; ++i) tables[0][i] = StepEntry(i << 24);
  for (int k = 1; k < kSlices; ++k) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t previous = tables[k - 1][i];
      tables[k][i] = (previous << 8) ^ tables[0][previous >> 24];
    }
  }
  return tables;
}

constexpr Crc32Tables kTables = MakeTables();

}  // namespace

uint32_t Crc32TableEntry(uint8_t index) { return kTables[0][index]; }

uint32_t Crc32UpdateBytewise(uint32_t state, const void* data, size_t size) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) {
    state = (state << 8) ^ kTables[0][(state >> 24) ^ bytes[i]];
  }
  return state;
}

uint32_t Crc32Update(uint32_t state, const void* data, size_t size) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  while (size >= 8) {
    // The register is most significant byte first, so the first four input
    // bytes combine with it as a big-endian word, whatever the host order.
    uint32_t high = state ^ (static_cast<uint32_t>(bytes[0]) << 24 |
                             static_cast<uint32_t>(bytes[1]) << 16 |
                             static_cast<uint32_t>(bytes[2]) << 8 | bytes[3]);
    state = kTables[7][high >> 24] ^ kTables[6][(high >> 16) & 0xFF] ^
            kTables[5][(high >> 8) & 0xFF] ^ kTables[4][high & 0xFF] ^ kTables[3][bytes[4]] ^
            kTables[2][bytes[5]] ^ kTables[1][bytes[6]] ^ kTables[0][bytes[7]];
    bytes += 8;
    size -= 8;
  }
  return Crc32UpdateBytewise(state, bytes, size);
}

}  // namespace corvane
