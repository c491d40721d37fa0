#include "engine/byte_sum.h"

#include <cstring>

namespace corvane {

namespace {

// A signed byte b equals (b ^ 0x80) - 128, so the signed sum is the unsigned
// sum of the flipped bytes less 128 per byte. The unsigned sum is taken eight
// bytes at a time in 16-bit lanes, which hold 128 words' worth (128 * 510).
uint32_t FlippedSum(const uint8_t* data, size_t words) {
  constexpr uint64_t kFlip = 0x8080808080808080ull;
  constexpr uint64_t kLow = 0x00FF00FF00FF00FFull;
  uint32_t total = 0;
  while (words > 0) {
    size_t block = words < 128 ? words : 128;
    uint64_t lanes = 0;
    for (size_t i = 0; i < block; ++i) {
      uint64_t word;
      std::memcpy(&word, data + 8 * i, 8);
      word ^= kFlip;
      lanes += (word & kLow) + ((word >> 8) & kLow);
    }
    total += static_cast<uint32_t>((lanes & 0xFFFF) + ((lanes >> 16) & 0xFFFF) +
                                   ((lanes >> 32) & 0xFFFF) + (lanes >> 48));
    data += 8 * block;
    words -= block;
  }
  return total;
}

}  // namespace

uint32_t AddByteSum(uint32_t sum, const uint8_t* data, size_t size) {
  size_t words = size / 8;
  sum += FlippedSum(data, words) - static_cast<uint32_t>(words * 8 * 128);
  for (size_t i = words * 8; i < size; ++i) {
    sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(data[i])));
  }
  return sum;
}

}  // namespace corvane
