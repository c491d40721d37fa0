#include "engine/crc32.h"

#include <array>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define CORVANE_CRC32_CLMUL 1
#endif

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

uint32_t Crc32UpdateBytewiseTable(uint32_t state, const uint8_t* bytes, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    state = (state << 8) ^ kTables[0][(state >> 24) ^ bytes[i]];
  }
  return state;
}

#if defined(CORVANE_CRC32_CLMUL)

// Carry-less multiplication folding. The message is a polynomial whose first
// bit has the highest degree; the CRC depends only on its residue modulo the
// generator, so a 128-bit block A followed by 128 bits B can be replaced by
//   A.high * (x^(d+64) mod P) + A.low * (x^d mod P) + B
// (d = 128 bits of distance), which has the same residue and again fits 128
// bits. Four blocks are carried side by side (d = 512) so that the multiplier
// stays busy. The last 128-bit value is reduced by the table (its CRC from a
// zero state is exactly its residue times x^32), and the bytes that do not
// fill a block go through the table as well.

// x^n mod P, the residue of a power of x.
constexpr uint64_t PowerOfX(int n) {
  uint64_t residue = 1;
  for (int i = 0; i < n; ++i) {
    residue <<= 1;
    if (residue & 0x100000000ull) residue ^= 0x100000000ull | kCrc32Polynomial;
  }
  return residue;
}

constexpr uint64_t kFold512High = PowerOfX(512 + 64);
constexpr uint64_t kFold512Low = PowerOfX(512);
constexpr uint64_t kFold128High = PowerOfX(128 + 64);
constexpr uint64_t kFold128Low = PowerOfX(128);

__attribute__((target("pclmul,ssse3"))) inline __m128i ReverseBytes(__m128i value) {
  const __m128i mask = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  return _mm_shuffle_epi8(value, mask);
}

// A block of the message as a polynomial: its first byte holds the highest degrees.
__attribute__((target("pclmul,ssse3"))) inline __m128i LoadBlock(const uint8_t* bytes) {
  return ReverseBytes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
}

__attribute__((target("pclmul,ssse3"))) inline __m128i Fold(__m128i value, __m128i constants) {
  // constants: low qword x^d mod P, high qword x^(d+64) mod P.
  return _mm_xor_si128(_mm_clmulepi64_si128(value, constants, 0x11),
                       _mm_clmulepi64_si128(value, constants, 0x00));
}

// REQUIRES: size >= 64. Consumes a multiple of 16 bytes; answers the state
// after them and the count in *used.
__attribute__((target("pclmul,ssse3"))) uint32_t FoldBlocks(uint32_t state, const uint8_t* bytes,
                                                            size_t size, size_t* used) {
  const __m128i fold512 =
      _mm_set_epi64x(static_cast<long long>(kFold512High), static_cast<long long>(kFold512Low));
  const __m128i fold128 =
      _mm_set_epi64x(static_cast<long long>(kFold128High), static_cast<long long>(kFold128Low));
  // The running state stands for the bits before the data: it combines with
  // the first 32 bits of the message.
  __m128i a0 = _mm_xor_si128(LoadBlock(bytes), _mm_set_epi32(static_cast<int>(state), 0, 0, 0));
  __m128i a1 = LoadBlock(bytes + 16);
  __m128i a2 = LoadBlock(bytes + 32);
  __m128i a3 = LoadBlock(bytes + 48);
  size_t position = 64;
  for (; size - position >= 64; position += 64) {
    a0 = _mm_xor_si128(Fold(a0, fold512), LoadBlock(bytes + position));
    a1 = _mm_xor_si128(Fold(a1, fold512), LoadBlock(bytes + position + 16));
    a2 = _mm_xor_si128(Fold(a2, fold512), LoadBlock(bytes + position + 32));
    a3 = _mm_xor_si128(Fold(a3, fold512), LoadBlock(bytes + position + 48));
  }
  __m128i value = _mm_xor_si128(Fold(a0, fold128), a1);
  value = _mm_xor_si128(Fold(value, fold128), a2);
  value = _mm_xor_si128(Fold(value, fold128), a3);
  for (; size - position >= 16; position += 16) {
    value = _mm_xor_si128(Fold(value, fold128), LoadBlock(bytes + position));
  }
  alignas(16) uint8_t residue[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(residue), ReverseBytes(value));
  *used = position;
  return Crc32UpdateBytewiseTable(0, residue, 16);
}

bool HasCarrylessMultiply() {
  static const bool supported = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("ssse3");
  return supported;
}

#endif  // CORVANE_CRC32_CLMUL

}  // namespace

uint32_t Crc32TableEntry(uint8_t index) { return kTables[0][index]; }

uint32_t Crc32UpdateBytewise(uint32_t state, const void* data, size_t size) {
  return Crc32UpdateBytewiseTable(state, static_cast<const uint8_t*>(data), size);
}

uint32_t Crc32Update(uint32_t state, const void* data, size_t size) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
#if defined(CORVANE_CRC32_CLMUL)
  if (size >= 256 && HasCarrylessMultiply()) {
    size_t used = 0;
    state = FoldBlocks(state, bytes, size, &used);
    bytes += used;
    size -= used;
  }
#endif
  return Crc32UpdateSliced(state, bytes, size);
}

uint32_t Crc32UpdateSliced(uint32_t state, const void* data, size_t size) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  while (size >= 8) {
    // The register is most significant byte first, so the first four input
    // bytes combine with it as a big-endian word, whatever the host order.
    uint32_t high =
        state ^ (static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
                 static_cast<uint32_t>(bytes[2]) << 8 | bytes[3]);
    state = kTables[7][high >> 24] ^ kTables[6][(high >> 16) & 0xFF] ^
            kTables[5][(high >> 8) & 0xFF] ^ kTables[4][high & 0xFF] ^ kTables[3][bytes[4]] ^
            kTables[2][bytes[5]] ^ kTables[1][bytes[6]] ^ kTables[0][bytes[7]];
    bytes += 8;
    size -= 8;
  }
  return Crc32UpdateBytewiseTable(state, bytes, size);
}

}  // namespace corvane
