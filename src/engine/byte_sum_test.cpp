// The update checksum against a byte-by-byte sum: every length and alignment
// around the word and block sizes, runs long enough to fill the wide lanes,
// and the signed reading of each byte.

#include "engine/byte_sum.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace corvane {
namespace {

uint32_t BytewiseSum(uint32_t sum, const uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) sum += static_cast<uint32_t>(static_cast<int8_t>(data[i]));
  return sum;
}

TEST(ByteSum, SignedBytesAddUp) {
  const uint8_t bytes[] = {0xFF, 0x80, 0x7F, 0x01, 0x00};
  EXPECT_EQ(AddByteSum(0, bytes, 1), 0xFFFFFFFFu);  // -1
  EXPECT_EQ(AddByteSum(0, bytes + 1, 1), static_cast<uint32_t>(-128));
  EXPECT_EQ(AddByteSum(10, bytes, sizeof bytes), 10u - 1 - 128 + 127 + 1);
  EXPECT_EQ(AddByteSum(7, bytes, 0), 7u);
}

TEST(ByteSum, EveryLengthAndAlignmentMatchesTheBytewiseSum) {
  std::mt19937 rng(5);
  std::vector<uint8_t> data(70000);
  for (uint8_t& b : data) b = static_cast<uint8_t>(rng());
  for (size_t offset = 0; offset < 17; ++offset) {
    for (size_t size = 0; size < 300; ++size) {
      ASSERT_EQ(AddByteSum(offset, data.data() + offset, size),
                BytewiseSum(offset, data.data() + offset, size))
          << offset << " " << size;
    }
  }
  // Long runs: the lanes fill up (0x7F is the largest byte once flipped).
  EXPECT_EQ(AddByteSum(1, data.data() + 3, data.size() - 3),
            BytewiseSum(1, data.data() + 3, data.size() - 3));
  std::vector<uint8_t> high(1 << 20, 0x7F);
  std::vector<uint8_t> low(1 << 20, 0xFF);
  EXPECT_EQ(AddByteSum(0, high.data(), high.size()), 127u << 20);
  EXPECT_EQ(AddByteSum(0, low.data(), low.size()), static_cast<uint32_t>(-(1 << 20)));
  // In pieces, the same as at once.
  uint32_t pieces = 0;
  for (size_t at = 0; at < data.size(); at += 4099) {
    pieces = AddByteSum(pieces, data.data() + at, std::min<size_t>(4099, data.size() - at));
  }
  EXPECT_EQ(pieces, BytewiseSum(0, data.data(), data.size()));
}

}  // namespace
}  // namespace corvane
