#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace corvane {

// How many of the first `n` bytes of `a` and `b` agree, compared eight at a
// time where the machine is little-endian (the first differing byte is then
// the lowest set byte of the difference).
inline size_t MatchingBytes(const uint8_t* a, const uint8_t* b, size_t n) {
  size_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 8 <= n; i += 8) {
      uint64_t x, y;
      std::memcpy(&x, a + i, 8);
      std::memcpy(&y, b + i, 8);
      if (x != y) return i + static_cast<size_t>(std::countr_zero(x ^ y) >> 3);
    }
  }
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

}  // namespace corvane
