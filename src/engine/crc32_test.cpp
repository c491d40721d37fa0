#include "engine/crc32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace corvane {
namespace {

TEST(Crc32Test, CheckValues) {
  EXPECT_EQ(Crc32("", 0), 0x00000000u);
  EXPECT_EQ(Crc32("abc", 3), 0x648CBB73u);
  EXPECT_EQ(Crc32("123456789", 9), 0xFC891918u);
}

TEST(Crc32Test, TableIsTheMostSignificantBitFirstTable) {
  EXPECT_EQ(Crc32TableEntry(0), 0u);
  EXPECT_EQ(Crc32TableEntry(1), kCrc32Polynomial);
  EXPECT_EQ(Crc32TableEntry(0x80), 0x690CE0EEu);
  EXPECT_EQ(Crc32TableEntry(0xFF), 0xB1F740B4u);
}

// The fast forms must agree with the byte-at-a-time definition for every
// length, alignment and running state, and for any split of the input into
// pieces (windows of a mapped file end at arbitrary offsets within a group of
// eight bytes or a 64-byte folding block).
TEST(Crc32Test, FastFormsAgreeWithBytewiseForAnySplit) {
  std::mt19937 random(7);
  std::vector<uint8_t> data(4099 + 17);
  for (auto& byte : data) byte = static_cast<uint8_t>(random());
  for (uint32_t state : {kCrc32Initial, 0u, 0x80000001u}) {
    for (size_t offset : {0u, 1u, 3u, 8u, 15u, 16u}) {
      for (size_t length : {255u, 256u, 257u, 319u, 320u, 1000u, 4099u}) {
        uint32_t expected = Crc32UpdateBytewise(state, data.data() + offset, length);
        EXPECT_EQ(Crc32Update(state, data.data() + offset, length), expected)
            << state << " " << offset << " " << length;
        EXPECT_EQ(Crc32UpdateSliced(state, data.data() + offset, length), expected)
            << state << " " << offset << " " << length;
      }
    }
  }
  for (size_t offset = 0; offset < 9; ++offset) {
    for (size_t length : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 1000u, 4090u}) {
      uint32_t expected = Crc32UpdateBytewise(kCrc32Initial, data.data() + offset, length);
      EXPECT_EQ(Crc32Update(kCrc32Initial, data.data() + offset, length), expected)
          << offset << " " << length;
      for (size_t split : {size_t{1}, size_t{3}, size_t{300}, length / 2}) {
        if (split > length) continue;
        uint32_t state = Crc32Update(kCrc32Initial, data.data() + offset, split);
        state = Crc32Update(state, data.data() + offset + split, length - split);
        EXPECT_EQ(state, expected) << offset << " " << length << " " << split;
      }
    }
  }
}

TEST(Crc32Test, LargeInputMatchesBytewise) {
  std::vector<uint8_t> data(3 << 20);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>((i * 131) ^ (i >> 9));
  EXPECT_EQ(Crc32(data.data(), data.size()),
            Crc32Final(Crc32UpdateBytewise(kCrc32Initial, data.data(), data.size())));
}

TEST(Crc32Test, OneBitChangesTheValue) {
  char text[] = "123456789";
  text[4] ^= 1;
  EXPECT_NE(Crc32(text, 9), 0xFC891918u);
}

}  // namespace
}  // namespace corvane
