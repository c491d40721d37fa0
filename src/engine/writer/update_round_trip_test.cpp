// Create-then-apply on random old/new pairs: the new file must come back bit
// for bit, the update must be well formed, and its layout must be exactly the
// one a plain byte-by-byte rendering of the difference search produces.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

#include "engine/apply_patch.h"
#include "engine/engine_test_support.h"
#include "engine/writer/create_patch.h"
#include "engine/writer/difference_search.h"
#include "platform/file_mapping.h"

namespace corvane {
namespace {

using testing_support::Bytes;
using testing_support::PutField;
using testing_support::ReadFile;
using testing_support::WriteFile;

// The difference search and pending record written as plainly as possible,
// one byte at a time, to check the fast implementation against.
class ReferenceWriter {
 public:
  ReferenceWriter(const Bytes& old_bytes, const Bytes& new_bytes, bool old_exists)
      : old_(old_bytes), new_(new_bytes), old_exists_(old_exists) {}

  Bytes Write() {
    out_.push_back(old_exists_ ? 1 : 0);
    PutField(out_, Size(new_));
    PutField(out_, Size(old_));
    int64_t n = 0, o = 0, N = Size(new_), M = Size(old_);
    float f = 1.0f;
    while (n < N) {
      int64_t c = 0;
      while (c < std::min(N - n, M - o) && new_[n + c] == old_[o + c]) ++c;
      if (c >= 9 || c == N - n) {
        AddCopy(o, c);
        o += c;
        n += c;
        f = 1.0f;
        continue;
      }
      int64_t radius = SearchRadius(f, static_cast<int32_t>(M));
      int64_t best = -1, best_length = 0;
      auto judge = [&](int64_t u) {
        int64_t cap = std::min<int64_t>({N - n, M - u, 1024});
        int64_t length = 0;
        while (length < cap && new_[n + length] == old_[u + length]) ++length;
        if (length >= 16 && length >= best_length) {
          best = u;
          best_length = length;
        }
        return length == 1024;
      };
      for (int64_t u = o; u < o + std::min(radius, M - o); ++u) {
        if (old_[u] == new_[n] && judge(u)) break;
      }
      for (int64_t u = o - 1; u >= std::max<int64_t>(0, o - radius); --u) {
        if (old_[u] == new_[n] && judge(u)) break;
      }
      if (best >= 0) {
        o = best;
        continue;
      }
      int64_t k = std::min(InsertStep(f), N - n);
      AddInsert(n, k);
      n += k;
      f = GrowFactor(f);
    }
    Flush();
    uint32_t sum = 0;
    for (uint8_t b : new_) sum += static_cast<uint32_t>(static_cast<int8_t>(b));
    PutField(out_, static_cast<int32_t>(sum));
    return out_;
  }

 private:
  static int32_t Size(const Bytes& b) { return static_cast<int32_t>(b.size()); }

  void AddCopy(int64_t a, int64_t b) {
    if (insert_length_ > 0) {
      int64_t steps = std::min(insert_length_, a);
      while (steps > 0 && old_[a - 1] == new_[insert_position_ + insert_length_ - 1]) {
        --insert_length_, --a, ++b, --steps;
      }
      if (insert_length_ > 0) Flush();
    }
    if (a == copy_offset_ + copy_length_) {
      copy_length_ += b;
    } else {
      Flush();
      copy_offset_ = a;
      copy_length_ = b;
    }
  }

  void AddInsert(int64_t p, int64_t k) {
    if (p == insert_position_ + insert_length_) {
      insert_length_ += k;
      return;
    }
    if (insert_length_ > 0) Flush();
    insert_position_ = p;
    insert_length_ = k;
  }

  void Flush() {
    if (copy_length_ > 0 || insert_length_ > 0) {
      PutField(out_, static_cast<int32_t>(copy_length_));
      if (copy_length_ > 0) PutField(out_, static_cast<int32_t>(copy_offset_));
      PutField(out_, static_cast<int32_t>(insert_length_));
      if (insert_length_ > 0) {
        PutField(out_, static_cast<int32_t>(insert_position_));
        out_.insert(out_.end(), new_.begin() + insert_position_,
                    new_.begin() + insert_position_ + insert_length_);
      }
    }
    copy_offset_ = copy_length_ = insert_position_ = insert_length_ = 0;
  }

  const Bytes& old_;
  const Bytes& new_;
  bool old_exists_;
  Bytes out_;
  int64_t copy_offset_ = 0, copy_length_ = 0, insert_position_ = 0, insert_length_ = 0;
};

// Checks the invariants every update made by CreatePatch keeps.
void ExpectWellFormed(const Bytes& update, size_t old_size) {
  ASSERT_GE(update.size(), 13u);
  auto field = [&](size_t at) {
    return static_cast<int32_t>(update[at] | update[at + 1] << 8 | update[at + 2] << 16 |
                                static_cast<uint32_t>(update[at + 3]) << 24);
  };
  int32_t new_size = field(1);
  ASSERT_EQ(field(5), static_cast<int32_t>(old_size));
  size_t at = 9;
  int64_t produced = 0;
  while (produced < new_size) {
    ASSERT_LE(at + 8, update.size());
    int32_t copy = field(at);
    at += 4;
    if (copy > 0) {
      int32_t offset = field(at);
      at += 4;
      EXPECT_GE(offset, 0);
      EXPECT_LE(static_cast<int64_t>(offset) + copy, static_cast<int64_t>(old_size));
      produced += copy;
    }
    int32_t insert = field(at);
    at += 4;
    EXPECT_TRUE(copy > 0 || insert > 0) << "empty record at " << at;
    if (insert > 0) {
      EXPECT_EQ(field(at), produced);
      at += 4 + static_cast<size_t>(insert);
      produced += insert;
    }
  }
  EXPECT_EQ(produced, new_size);
  EXPECT_EQ(at + 4, update.size());
}

Bytes RandomBytes(std::mt19937& random, size_t size, int alphabet) {
  Bytes bytes(size);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random() % alphabet);
  return bytes;
}

// A new version made of the old one: changed bytes, inserted, deleted and
// moved blocks.
Bytes Edit(std::mt19937& random, const Bytes& old_bytes, int alphabet) {
  Bytes bytes = old_bytes;
  int edits = static_cast<int>(random() % 8);
  for (int e = 0; e < edits; ++e) {
    size_t at = bytes.empty() ? 0 : random() % bytes.size();
    size_t length = 1 + random() % (random() % 4 == 0 ? 5000 : 40);
    switch (random() % 4) {
      case 0:  // change
        for (size_t i = at; i < std::min(bytes.size(), at + length); ++i) {
          bytes[i] = static_cast<uint8_t>(random() % alphabet);
        }
        break;
      case 1: {  // insert
        Bytes fresh = RandomBytes(random, length, alphabet);
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), fresh.begin(), fresh.end());
        break;
      }
      case 2:  // delete
        bytes.erase(
            bytes.begin() + static_cast<std::ptrdiff_t>(at),
            bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + length)));
        break;
      default: {  // move a block elsewhere
        size_t end = std::min(bytes.size(), at + length);
        Bytes block(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                    bytes.begin() + static_cast<std::ptrdiff_t>(end));
        bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                    bytes.begin() + static_cast<std::ptrdiff_t>(end));
        size_t to = bytes.empty() ? 0 : random() % bytes.size();
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(to), block.begin(), block.end());
      }
    }
  }
  return bytes;
}

class UpdateRoundTripTest : public testing_support::ScratchDirectoryTest {
 protected:
  // Creates the update from old to new, checks it and applies it.
  void RoundTrip(const Bytes& old_bytes, const Bytes& new_bytes, bool old_exists,
                 const MappedFileLimits& limits, const std::string& label) {
    SCOPED_TRACE(label);
    std::filesystem::remove(Path("old.bin"));
    std::filesystem::remove(Path("x.upd"));
    std::filesystem::remove(Path("out.bin"));
    if (old_exists) WriteFile(Path("old.bin"), old_bytes);
    WriteFile(Path("new.bin"), new_bytes);

    ::testing::internal::CaptureStdout();
    CreatePatch create(limits);
    PatchResult created = create.Process(Path("old.bin").c_str(), Path("new.bin").c_str(),
                                         Path("x.upd").c_str(), true);
    ::testing::internal::GetCapturedStdout();
    ASSERT_EQ(created, kPatchDone);
    Bytes update = ReadFile(Path("x.upd"));
    ExpectWellFormed(update, old_exists ? old_bytes.size() : 0);
    if (!new_bytes.empty()) {
      EXPECT_EQ(update,
                ReferenceWriter(old_bytes, new_bytes, old_exists && !old_bytes.empty()).Write());
    }

    ApplyPatch apply(limits);
    PatchResult applied = apply.Process(Path("out.bin").c_str(), Path("x.upd").c_str(),
                                        Path("old.bin").c_str(), true);
    if (applied == kPatchNothingToDo) {
      ASSERT_EQ(update.size(), 25u);
      EXPECT_EQ(old_bytes, new_bytes);
    } else {
      ASSERT_EQ(applied, kPatchDone);
      EXPECT_EQ(ReadFile(Path("out.bin")), new_bytes);
    }
  }
};

TEST_F(UpdateRoundTripTest, RandomEditsComeBackBitForBit) {
  std::mt19937 random(20261208);
  MappedFileLimits small;
  small.min_window_size = 1;  // windows of one granularity: boundaries everywhere
  for (int round = 0; round < 48; ++round) {
    int alphabet = round % 3 == 0 ? 4 : 256;  // low-entropy data has many candidates
    size_t size = random() % (round % 5 == 0 ? 200000 : 6000);
    Bytes old_bytes = RandomBytes(random, size, alphabet);
    if (round % 4 == 1 && size > 0) {
      // Repeated blocks: equally long candidates on both sides of the
      // expected position, so the tie rules decide.
      size_t period = 1 + random() % 300;
      for (size_t i = period; i < size; ++i) old_bytes[i] = old_bytes[i - period];
    }
    Bytes new_bytes = Edit(random, old_bytes, alphabet);
    RoundTrip(old_bytes, new_bytes, true, round % 2 ? small : MappedFileLimits(),
              "round " + std::to_string(round));
  }
}

TEST_F(UpdateRoundTripTest, EdgeShapes) {
  std::mt19937 random(7);
  MappedFileLimits small;
  small.min_window_size = 1;
  const size_t window = platform::AllocationGranularity();
  Bytes empty, one = {0x80}, other = {0x01};
  Bytes big = RandomBytes(random, 3 * window, 256);
  RoundTrip(empty, one, false, small, "no old file");
  RoundTrip(empty, one, true, small, "empty old file");
  RoundTrip(one, empty, true, small, "new file empty");
  RoundTrip(one, one, true, small, "one byte unchanged");
  RoundTrip(one, other, true, small, "one byte changed");
  RoundTrip(big, big, true, small, "unchanged, window multiple");
  for (size_t cut : {window - 1, window, window + 1, 2 * window + 7}) {
    Bytes prefix(big.begin(), big.begin() + static_cast<std::ptrdiff_t>(cut));
    RoundTrip(big, prefix, true, small, "prefix " + std::to_string(cut));
    RoundTrip(prefix, big, true, small, "extension " + std::to_string(cut));
    Bytes changed = big;
    changed[cut] ^= 0x55;
    RoundTrip(big, changed, true, small, "byte at " + std::to_string(cut));
  }
  Bytes swapped(big.begin() + static_cast<std::ptrdiff_t>(window + 100), big.end());
  swapped.insert(swapped.end(), big.begin(),
                 big.begin() + static_cast<std::ptrdiff_t>(window + 100));
  RoundTrip(big, swapped, true, small, "halves swapped");
  RoundTrip(big, RandomBytes(random, 2 * window, 256), true, small, "unrelated");
  // Matches that start on the last byte of a window, found ahead of and
  // behind the expected position. Shorter copies of their first 20 bytes lie
  // nearer, so a scan that missed the window edge would pick those instead.
  Bytes edge = big;
  for (size_t i = 0; i < 20; ++i) {
    edge[window + 50 + i] = edge[window - 1 + i];
    edge[window + 100 + i] = edge[window - 1 + i];
  }
  auto slice = [&](size_t from, size_t to) {
    return Bytes(edge.begin() + static_cast<std::ptrdiff_t>(from),
                 edge.begin() + static_cast<std::ptrdiff_t>(to));
  };
  Bytes tail = slice(window - 1, window + 300);
  Bytes ahead = slice(0, window - 100);
  ahead.push_back(static_cast<uint8_t>(edge[window - 1] ^ 0xFF));
  ahead.push_back(static_cast<uint8_t>(edge[window] ^ 0xFF));
  ahead.insert(ahead.end(), tail.begin(), tail.end());
  RoundTrip(edge, ahead, true, small, "window edge ahead");
  Bytes behind = slice(0, window + 200);
  behind.insert(behind.end(), tail.begin(), tail.end());
  RoundTrip(edge, behind, true, small, "window edge behind");

  Bytes zeros(5 * window, 0), zeros_changed = zeros;
  zeros_changed[3 * window] = 1;
  RoundTrip(zeros, zeros_changed, true, small, "zeros");
}

}  // namespace
}  // namespace corvane
