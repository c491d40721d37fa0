#include "engine/writer/old_file_index.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace corvane {
namespace {

std::vector<uint8_t> RandomBytes(std::mt19937& random, size_t size, int alphabet) {
  std::vector<uint8_t> bytes(size);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random() % alphabet);
  return bytes;
}

bool Lists(const OldFileIndex& index, const uint8_t* window, int32_t position) {
  int32_t last = -1;
  for (int32_t c = index.First(window); c != OldFileIndex::kNone; c = index.Next(c)) {
    if (c <= last) return false;  // lowest first, each once
    last = c;
    if (c == position) return true;
  }
  return false;
}

TEST(OldFileIndex, AnAgreementOfWindowPlusStrideBytesAlwaysHasAListedPosition) {
  std::mt19937 random(41);
  for (int32_t window : {8, 16}) {
    for (int32_t stride : {1, 3, 8}) {
      SCOPED_TRACE(::testing::Message() << window << "/" << stride);
      // Two letters: every window occurs many times, the chains are long.
      const std::vector<uint8_t> old_bytes = RandomBytes(random, 3000, stride == 3 ? 2 : 256);
      OldFileIndex index;
      ASSERT_TRUE(index.Build(old_bytes.data(), static_cast<int32_t>(old_bytes.size()),
                              OldFileIndexShape{window, stride}));
      EXPECT_EQ(index.window(), window);
      const int32_t need = window + stride - 1;
      for (int32_t start = 0; start + need <= static_cast<int32_t>(old_bytes.size()); ++start) {
        bool listed = false;
        for (int32_t k = 0; k + window <= need && !listed; ++k) {
          listed = (start + k) % stride == 0 && Lists(index, &old_bytes[start + k], start + k);
        }
        ASSERT_TRUE(listed) << start;
      }
    }
  }
}

TEST(OldFileIndex, FilesShorterThanAWindowHaveNoCandidates) {
  const std::vector<uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7};
  const std::vector<uint8_t> probe(16, 1);
  OldFileIndex index;
  ASSERT_TRUE(index.Build(bytes.data(), 7, OldFileIndexShape{8, 1}));
  EXPECT_EQ(index.First(probe.data()), OldFileIndex::kNone);
  EXPECT_EQ(index.MemoryBytes(), 0);
}

TEST(OldFileIndex, ShapeKeepsEveryPositionOfSmallFilesAndLargeOnesWithinBudget) {
  EXPECT_EQ(OldFileIndex::ShapeFor(4000, 4000).stride, 1);
  EXPECT_EQ(OldFileIndex::ShapeFor(4000, 4000).window, 8);
  EXPECT_EQ(OldFileIndex::ShapeFor(int64_t{8} << 20, int64_t{8} << 20).stride, 1);
  for (int64_t old_mib : {64, 256, 1024, 2047}) {
    const int64_t old_length = old_mib << 20;
    const OldFileIndexShape shape = OldFileIndex::ShapeFor(old_length, old_length);
    EXPECT_EQ(shape.window, 16);
    // About 8 bytes an entry: within half the two files' size.
    EXPECT_LE(8 * (old_length / shape.stride), old_length) << old_mib;
    EXPECT_LE(shape.stride, 16) << old_mib;
  }
}

}  // namespace
}  // namespace corvane
