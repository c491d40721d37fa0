#include "engine/byte_sum.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvane {

namespace {

#if defined(__SSE2__)
// The unsigned sum of the flipped bytes of `blocks` 16-byte blocks: PSADBW
// adds eight bytes into a 64-bit lane in one step. Two accumulators keep two
// additions in flight. Only the low 32 bits of the result matter.
uint32_t FlippedSumSse2(const uint8_t* data, size_t blocks) {
  const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
  const __m128i zero = _mm_setzero_si128();
  __m128i a = zero, b = zero;
  size_t i = 0;
  for (; i + 2 <= blocks; i += 2) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i + 16));
    a = _mm_add_epi64(a, _mm_sad_epu8(_mm_xor_si128(x, flip), zero));
    b = _mm_add_epi64(b, _mm_sad_epu8(_mm_xor_si128(y, flip), zero));
  }
  if (i < blocks) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i));
    a = _mm_add_epi64(a, _mm_sad_epu8(_mm_xor_si128(x, flip), zero));
  }
  a = _mm_add_epi64(a, b);
  a = _mm_add_epi64(a, _mm_unpackhi_epi64(a, a));
  return static_cast<uint32_t>(_mm_cvtsi128_si32(a));
}
#endif

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
  size_t done = 0;
#if defined(__SSE2__)
  const size_t blocks = size / 16;
  sum += FlippedSumSse2(data, blocks) - static_cast<uint32_t>(blocks * 16 * 128);
  done = blocks * 16;
#endif
  const size_t words = (size - done) / 8;
  sum += FlippedSum(data + done, words) - static_cast<uint32_t>(words * 8 * 128);
  for (size_t i = done + words * 8; i < size; ++i) {
    sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(data[i])));
  }
  return sum;
}

}  // namespace corvane
