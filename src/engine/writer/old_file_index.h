#pragma once

#include <cstdint>
#include <memory>

namespace corvane {

// How an OldFileIndex samples the old file.
struct OldFileIndexShape {
  int32_t window = 16;  // bytes hashed per entry: 8 or 16
  int32_t stride = 1;   // an entry every `stride` old positions
};

// Positions of the old file by the hash of the bytes starting there, so that
// a run of new bytes can be looked up wherever it lies in the old file. Every
// `stride`-th position is indexed; a match of at least window + stride - 1
// bytes therefore always has an indexed position inside it. Candidates of one
// hash come lowest position first; a candidate only shares the hash, its
// bytes must still be compared.
class OldFileIndex {
 public:
  static constexpr int32_t kNone = -1;

  // The shape for an old file of `old_length` bytes next to a new file of
  // `new_length`: every position while the index stays within a fixed
  // margin, otherwise a stride that keeps it within half the two files' size.
  static OldFileIndexShape ShapeFor(int64_t old_length, int64_t new_length);

  // Indexes `old_bytes` (kept, not copied; it must outlive the index). False
  // when memory runs out; the index is then empty.
  bool Build(const uint8_t* old_bytes, int32_t old_length, const OldFileIndexShape& shape);

  int32_t window() const { return shape_.window; }

  // The first candidate for the window at `bytes` (window() readable bytes),
  // kNone when there is none.
  int32_t First(const uint8_t* bytes) const {
    if (entries_ == 0) return kNone;
    return Position(heads_[Hash(bytes) & mask_]);
  }
  // The candidate after `position` (one answered by First or Next).
  int32_t Next(int32_t position) const { return Position(next_[position / shape_.stride]); }

  // Bytes the index holds.
  int64_t MemoryBytes() const {
    return entries_ == 0 ? 0
                         : 4 * (static_cast<int64_t>(entries_) + static_cast<int64_t>(mask_) + 1);
  }

 private:
  static constexpr uint32_t kEmpty = 0xFFFFFFFFu;

  uint64_t Hash(const uint8_t* bytes) const;
  int32_t Position(uint32_t entry) const {
    return entry == kEmpty ? kNone : static_cast<int32_t>(entry) * shape_.stride;
  }

  OldFileIndexShape shape_;
  int32_t entries_ = 0;
  uint64_t mask_ = 0;
  std::unique_ptr<uint32_t[]> heads_;
  std::unique_ptr<uint32_t[]> next_;
};

}  // namespace corvane
