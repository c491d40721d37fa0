#include "engine/writer/compact_update.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "engine/apply_patch.h"
#include "engine/engine_test_support.h"
#include "engine/writer/create_patch.h"
#include "foundation/report_capture.h"

namespace corvane {
namespace {

using testing_support::Bytes;
using testing_support::Exists;
using testing_support::ReadFile;
using testing_support::WriteFile;

int32_t Field(const Bytes& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(bytes[at + i]) << (8 * i);
  return static_cast<int32_t>(value);
}

// Reads an update byte by byte as the format describes it and rebuilds the
// new file from it, refusing anything a writer must never produce: empty or
// negative runs, a second field for an empty run, copies outside the old file,
// insert positions other than the bytes made so far, runs that do not add up
// to the new size, a wrong checksum, bytes after the checksum.
::testing::AssertionResult WellFormed(const Bytes& update, const Bytes* old_bytes,
                                      const Bytes& new_bytes) {
  size_t at = 0;
  auto take = [&](int32_t* value) {
    if (update.size() - at < 4) return false;
    *value = Field(update, at);
    at += 4;
    return true;
  };
  const bool has_old = old_bytes != nullptr && !old_bytes->empty();
  const int64_t old_size = has_old ? static_cast<int64_t>(old_bytes->size()) : 0;
  if (update.empty() || update[0] != (has_old ? 1 : 0)) {
    return ::testing::AssertionFailure() << "kind";
  }
  at = 1;
  int32_t new_size = 0, stated_old = 0;
  if (!take(&new_size) || !take(&stated_old)) return ::testing::AssertionFailure() << "header";
  if (new_size != static_cast<int64_t>(new_bytes.size()) || stated_old != old_size) {
    return ::testing::AssertionFailure() << "sizes " << new_size << " " << stated_old;
  }
  Bytes made;
  while (static_cast<int64_t>(made.size()) < new_size) {
    const size_t record_at = at;
    int32_t copy = 0, offset = 0, insert = 0, position = 0;
    if (!take(&copy) || copy < 0) return ::testing::AssertionFailure() << "copy @" << record_at;
    if (copy > 0) {
      if (!take(&offset) || offset < 0 || int64_t{offset} + copy > old_size) {
        return ::testing::AssertionFailure() << "copy outside the old file @" << record_at;
      }
      made.insert(made.end(), old_bytes->begin() + offset, old_bytes->begin() + offset + copy);
    }
    if (!take(&insert) || insert < 0) {
      return ::testing::AssertionFailure() << "insert @" << record_at;
    }
    if (copy == 0 && insert == 0) return ::testing::AssertionFailure() << "empty @" << record_at;
    if (insert > 0) {
      if (!take(&position) || position != static_cast<int64_t>(made.size())) {
        return ::testing::AssertionFailure() << "insert position @" << record_at;
      }
      if (update.size() - at < static_cast<size_t>(insert)) {
        return ::testing::AssertionFailure() << "insert past the end @" << record_at;
      }
      made.insert(made.end(), update.begin() + static_cast<std::ptrdiff_t>(at),
                  update.begin() + static_cast<std::ptrdiff_t>(at) + insert);
      at += static_cast<size_t>(insert);
    }
  }
  if (made != new_bytes) return ::testing::AssertionFailure() << "rebuilds other bytes";
  uint32_t sum = 0;
  for (uint8_t b : new_bytes) sum += static_cast<uint32_t>(static_cast<int8_t>(b));
  int32_t checksum = 0;
  if (!take(&checksum) || static_cast<uint32_t>(checksum) != sum) {
    return ::testing::AssertionFailure() << "checksum";
  }
  if (at != update.size()) return ::testing::AssertionFailure() << "bytes after the checksum";
  return ::testing::AssertionSuccess();
}

// The smallest update any writer could make, by the costs of the format:
// every copy of every length at every position where old and new agree is
// considered (compared naively, byte by byte), not only the longest ones.
int64_t SmallestUpdateSize(const Bytes& old_bytes, const Bytes& new_bytes) {
  const size_t n = new_bytes.size();
  if (n == 0) return 13;
  std::vector<size_t> longest(n, 0);
  for (size_t p = 0; p < n; ++p) {
    for (size_t c = 0; c < old_bytes.size(); ++c) {
      size_t k = 0;
      while (p + k < n && c + k < old_bytes.size() && new_bytes[p + k] == old_bytes[c + k]) ++k;
      longest[p] = std::max(longest[p], k);
    }
  }
  const int64_t kNever = std::numeric_limits<int64_t>::max() / 2;
  // Cheapest bytes for the first p new bytes: only inserts so far, last run a
  // copy, last run an insert after a copy.
  std::vector<int64_t> inserts_only(n + 1, kNever), copied(n + 1, kNever), inserted(n + 1, kNever);
  inserts_only[0] = 0;
  for (size_t p = 0; p < n; ++p) {
    const int64_t any = std::min({inserts_only[p], copied[p], inserted[p]});
    for (size_t length = 1; length <= longest[p]; ++length) {
      copied[p + length] = std::min(copied[p + length], any + 12);  // length, offset, insert length
    }
    inserts_only[p + 1] = inserts_only[p] + 1 + (p == 0 ? 12 : 0);
    inserted[p + 1] = std::min(copied[p] + 4 + 1, inserted[p] + 1);  // position, byte
  }
  return 9 + std::min({inserts_only[n], copied[n], inserted[n]}) + 4;
}

// An update made of `copies` copy runs and nothing else: header, one record
// (length, offset, empty insert) per copy, checksum.
int64_t SmallestUpdateSizeOfBlocks(int copies) { return 9 + int64_t{12} * copies + 4; }

Bytes RandomBytes(std::mt19937& random, size_t size, int alphabet) {
  Bytes bytes(size);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random() % alphabet);
  return bytes;
}

// A new version of `old_bytes`: changed bytes, inserted, deleted, moved and
// copied blocks.
Bytes Edit(std::mt19937& random, Bytes bytes, int alphabet, int edits) {
  for (int e = 0; e < edits; ++e) {
    const size_t size = bytes.size();
    const size_t at = size ? random() % size : 0;
    const size_t length = 1 + random() % (size / 8 + 2);
    switch (random() % 5) {
      case 0:
        if (at < size) bytes[at] = static_cast<uint8_t>(random() % alphabet);
        break;
      case 1: {
        Bytes fresh = RandomBytes(random, length, alphabet);
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), fresh.begin(), fresh.end());
        break;
      }
      case 2:
        bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                    bytes.begin() + static_cast<std::ptrdiff_t>(std::min(size, at + length)));
        break;
      default: {  // a block moved, or repeated, elsewhere
        const size_t end = std::min(size, at + length);
        Bytes block(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                    bytes.begin() + static_cast<std::ptrdiff_t>(end));
        if (random() % 2) {
          bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                      bytes.begin() + static_cast<std::ptrdiff_t>(end));
        }
        const size_t to = bytes.empty() ? 0 : random() % bytes.size();
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(to), block.begin(), block.end());
        break;
      }
    }
  }
  return bytes;
}

class CompactUpdateTest : public testing_support::ScratchDirectoryTest {
 protected:
  // Writes the update from `old_bytes` (null: no old file) to `new_bytes`
  // with the compact writer, checks it and that ApplyPatch rebuilds the new
  // file from it, and answers it.
  Bytes MakeAndCheck(const Bytes* old_bytes, const Bytes& new_bytes,
                     int32_t stretch = CreateCompactPatch::kStretchLength) {
    Write(old_bytes, new_bytes);
    CreateCompactPatch create(stretch);
    ::testing::internal::CaptureStdout();
    PatchResult result = create.Process(Path("old.bin").c_str(), Path("new.bin").c_str(),
                                        Path("x.upd").c_str(), true);
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(result, kPatchDone);
    Bytes update = ReadFile(Path("x.upd"));
    EXPECT_TRUE(WellFormed(update, old_bytes, new_bytes));
    ExpectApplies(update, old_bytes, new_bytes);
    return update;
  }

  Bytes MakeExact(const Bytes* old_bytes, const Bytes& new_bytes) {
    Write(old_bytes, new_bytes);
    CreatePatch create;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(create.Process(Path("old.bin").c_str(), Path("new.bin").c_str(),
                             Path("x.upd").c_str(), true),
              kPatchDone);
    ::testing::internal::GetCapturedStdout();
    return ReadFile(Path("x.upd"));
  }

  void Write(const Bytes* old_bytes, const Bytes& new_bytes) {
    std::filesystem::remove(Path("old.bin"));
    std::filesystem::remove(Path("x.upd"));
    if (old_bytes != nullptr) WriteFile(Path("old.bin"), *old_bytes);
    WriteFile(Path("new.bin"), new_bytes);
  }

  void ExpectApplies(const Bytes& update, const Bytes* old_bytes, const Bytes& new_bytes) {
    std::filesystem::remove(Path("out.bin"));
    ApplyPatch apply;
    PatchResult applied = apply.Process(Path("out.bin").c_str(), Path("x.upd").c_str(),
                                        Path("old.bin").c_str(), true);
    if (applied == kPatchNothingToDo) {
      EXPECT_EQ(update.size(), 25u);
      ASSERT_NE(old_bytes, nullptr);
      EXPECT_EQ(*old_bytes, new_bytes);
    } else {
      ASSERT_EQ(applied, kPatchDone);
      EXPECT_EQ(ReadFile(Path("out.bin")), new_bytes);
    }
  }
};

TEST_F(CompactUpdateTest, RandomEditsComeBackBitForBit) {
  std::mt19937 random(20261210);
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    const int alphabet = round % 3 == 0 ? 3 : 256;  // low entropy: long candidate chains
    const size_t size = random() % (round % 4 == 0 ? 300000 : 5000);
    Bytes old_bytes = RandomBytes(random, size, alphabet);
    Bytes new_bytes = Edit(random, old_bytes, alphabet, 1 + round % 12);
    MakeAndCheck(&old_bytes, new_bytes);
  }
}

TEST_F(CompactUpdateTest, MovedBlocksAreCopiedWhereTheExactWriterInsertsThem) {
  std::mt19937 random(7);
  Bytes old_bytes = RandomBytes(random, 48 * 8192, 256);
  // Halves swapped: two copies.
  Bytes swapped(old_bytes.begin() + 200000, old_bytes.end());
  swapped.insert(swapped.end(), old_bytes.begin(), old_bytes.begin() + 200000);
  EXPECT_EQ(static_cast<int64_t>(MakeAndCheck(&old_bytes, swapped).size()),
            SmallestUpdateSizeOfBlocks(2));

  // Blocks shuffled: each is one copy at most (neighbours that stay together
  // share one). The exact writer looks near where it expects the next bytes
  // and carries most of them.
  std::vector<int> order(48);
  for (int i = 0; i < 48; ++i) order[static_cast<size_t>(i)] = i;
  std::shuffle(order.begin(), order.end(), random);
  Bytes shuffled;
  for (int block : order) {
    shuffled.insert(shuffled.end(), old_bytes.begin() + block * 8192,
                    old_bytes.begin() + (block + 1) * 8192);
  }
  const int64_t compact = static_cast<int64_t>(MakeAndCheck(&old_bytes, shuffled).size());
  const int64_t exact = static_cast<int64_t>(MakeExact(&old_bytes, shuffled).size());
  EXPECT_LE(compact, SmallestUpdateSizeOfBlocks(48));
  EXPECT_LT(compact * 20, exact) << compact << " vs " << exact;
}

TEST_F(CompactUpdateTest, SmallFilesGetTheSmallestPossibleUpdate) {
  std::mt19937 random(99);
  for (int round = 0; round < 400; ++round) {
    SCOPED_TRACE(round);
    const int alphabet = round % 4 == 0 ? 2 : round % 4 == 1 ? 5 : 256;
    Bytes old_bytes = RandomBytes(random, random() % 400, alphabet);
    Bytes new_bytes = Edit(random, old_bytes, alphabet, 1 + round % 8);
    if (round % 10 == 0) new_bytes.insert(new_bytes.end(), old_bytes.begin(), old_bytes.end());
    const Bytes update = MakeAndCheck(&old_bytes, new_bytes);
    ASSERT_EQ(static_cast<int64_t>(update.size()), SmallestUpdateSize(old_bytes, new_bytes));
  }
}

TEST_F(CompactUpdateTest, RepeatedContentRoundTrips) {
  std::mt19937 random(5);
  Bytes zeros(150000, 0);
  Bytes more_zeros(170000, 0);
  const Bytes from_zeros = MakeAndCheck(&zeros, more_zeros);
  // 170,000 zeros from 150,000: two copies are enough.
  EXPECT_LE(static_cast<int64_t>(from_zeros.size()), SmallestUpdateSizeOfBlocks(2));

  Bytes pattern;
  for (int i = 0; i < 90000; ++i) pattern.push_back(static_cast<uint8_t>("abcabd"[i % 6]));
  Bytes edited = Edit(random, pattern, 4, 30);
  MakeAndCheck(&pattern, edited);
  // Many copies of one small block, in a file that has it once.
  Bytes block = RandomBytes(random, 700, 256);
  Bytes repeated;
  for (int i = 0; i < 200; ++i) repeated.insert(repeated.end(), block.begin(), block.end());
  EXPECT_LE(static_cast<int64_t>(MakeAndCheck(&block, repeated).size()),
            SmallestUpdateSizeOfBlocks(200));
}

TEST_F(CompactUpdateTest, EmptyAndSingleByteFiles) {
  const Bytes empty;
  const Bytes one = {0x80};
  const Bytes other = {0x01};
  const Bytes three = {0x80, 0x01, 0x80};
  // An empty new file: header and checksum only, of kind 1 beside an old file.
  EXPECT_EQ(MakeAndCheck(&three, empty).size(), 13u);
  EXPECT_EQ(MakeAndCheck(nullptr, empty).size(), 13u);
  EXPECT_EQ(MakeAndCheck(&empty, empty).size(), 13u);
  for (const Bytes* old_bytes : {&empty, &one, &other, &three}) {
    for (const Bytes* new_bytes : {&one, &other, &three}) {
      const Bytes update = MakeAndCheck(old_bytes, *new_bytes);
      EXPECT_EQ(static_cast<int64_t>(update.size()),
                old_bytes == new_bytes ? 25 : SmallestUpdateSize(*old_bytes, *new_bytes));
    }
  }
}

TEST_F(CompactUpdateTest, WithoutOldFileTheWholeFileIsOneInsert) {
  std::mt19937 random(11);
  Bytes bytes = RandomBytes(random, 5000, 256);
  bytes.insert(bytes.end(), bytes.begin(), bytes.end());  // repeated, yet nothing to copy from
  const Bytes update = MakeAndCheck(nullptr, bytes);
  EXPECT_EQ(update[0], 0);
  EXPECT_EQ(update.size(), 9 + 12 + bytes.size() + 4);
  EXPECT_EQ(update, MakeExact(nullptr, bytes));
}

TEST_F(CompactUpdateTest, IdenticalFilesGiveTheUnchangedShape) {
  std::mt19937 random(3);
  for (size_t size : {size_t{1}, size_t{9}, size_t{4096}, size_t{300000}}) {
    // Repetitive content copies equally well from many offsets; the shape
    // needs offset 0.
    Bytes bytes = RandomBytes(random, size, 2);
    const Bytes update = MakeAndCheck(&bytes, bytes);
    EXPECT_EQ(update, MakeExact(&bytes, bytes));
    EXPECT_EQ(update.size(), 25u);
  }
}

TEST_F(CompactUpdateTest, StretchBoundariesDoNotBreakRuns) {
  std::mt19937 random(17);
  // Small enough for the exhaustive search: the whole-file update is the
  // smallest possible, a lower bound for the others.
  Bytes old_bytes = RandomBytes(random, 5000, 256);
  Bytes new_bytes = Edit(random, old_bytes, 256, 10);
  const int64_t whole = static_cast<int64_t>(MakeAndCheck(&old_bytes, new_bytes).size());
  for (int32_t stretch : {1, 7, 64, 1000, 4096, 4999}) {
    SCOPED_TRACE(stretch);
    const int64_t cut = static_cast<int64_t>(MakeAndCheck(&old_bytes, new_bytes, stretch).size());
    // A stretch ends the parse where it stands; a copy cut there goes on in
    // the next stretch from where it stopped, which the record merges, so
    // what can be lost at a boundary is a copy's cost and an insert's
    // position field.
    const int64_t boundaries = static_cast<int64_t>(new_bytes.size()) / stretch;
    EXPECT_GE(cut, whole);
    EXPECT_LE(cut, whole + 16 * boundaries);
  }
  // A file that is the old one twice over, in stretches shorter than it.
  Bytes twice = old_bytes;
  twice.insert(twice.end(), old_bytes.begin(), old_bytes.end());
  EXPECT_EQ(static_cast<int64_t>(MakeAndCheck(&old_bytes, twice, 1500).size()),
            SmallestUpdateSizeOfBlocks(2));
}

TEST_F(CompactUpdateTest, KeepsAnUpToDateUpdateAndDeletesAFailedOne) {
  Bytes old_bytes = {1, 2, 3};
  Bytes new_bytes = {1, 2, 3, 4};
  Write(&old_bytes, new_bytes);
  WriteFile(Path("x.upd"), Bytes{9, 9});
  CreateCompactPatch create;
  EXPECT_EQ(
      create.Process(Path("old.bin").c_str(), Path("new.bin").c_str(), Path("x.upd").c_str(), true),
      kPatchDone);
  EXPECT_EQ(ReadFile(Path("x.upd")), (Bytes{9, 9}));  // newer than both inputs: kept

  std::filesystem::remove(Path("new.bin"));
  std::filesystem::remove(Path("x.upd"));
  ScopedReportCapture reports;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(
      create.Process(Path("old.bin").c_str(), Path("new.bin").c_str(), Path("x.upd").c_str(), true),
      kPatchFailed);
  ::testing::internal::GetCapturedStdout();
  EXPECT_FALSE(Exists(Path("x.upd")));

  // ProcessFile joins the three directories and the name.
  std::filesystem::create_directory(Path("a"));
  std::filesystem::create_directory(Path("b"));
  WriteFile(Path("a/f.bin"), old_bytes);
  WriteFile(Path("b/f.bin"), new_bytes);
  const std::string a = Path("a") + "/", b = Path("b") + "/";
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(create.ProcessFile(a.c_str(), b.c_str(), DirectoryPrefix().c_str(), "f.bin"),
            kPatchDone);
  ::testing::internal::GetCapturedStdout();
  EXPECT_TRUE(WellFormed(ReadFile(Path("f.bin.upd")), &old_bytes, new_bytes));
}

TEST_F(CompactUpdateTest, ProgressHookHearsTheRemainderFallToZero) {
  std::mt19937 random(23);
  Bytes old_bytes = RandomBytes(random, 1 << 20, 256);
  Bytes new_bytes = Edit(random, old_bytes, 256, 20);
  Write(&old_bytes, new_bytes);
  std::vector<int64_t> heard;
  CreateCompactPatch create(1 << 16);
  create.SetProgressHook([&heard](int64_t remaining) { heard.push_back(remaining); });
  ::testing::internal::CaptureStdout();
  ASSERT_EQ(
      create.Process(Path("old.bin").c_str(), Path("new.bin").c_str(), Path("x.upd").c_str(), true),
      kPatchDone);
  ::testing::internal::GetCapturedStdout();
  ASSERT_GE(heard.size(), 2u);
  EXPECT_EQ(heard.back(), 0);
  EXPECT_LE(heard.front(), static_cast<int64_t>(new_bytes.size()));
  EXPECT_GT(heard.front(), 0);
  EXPECT_TRUE(std::is_sorted(heard.rbegin(), heard.rend()));
}

}  // namespace
}  // namespace corvane
