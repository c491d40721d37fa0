#include "engine/writer/old_file_index.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace corvane {

namespace {

// Within this many bytes the index holds every position.
constexpr int64_t kFixedIndexBytes = 64 << 20;
// Old files up to this size hash 8-byte windows, so that every agreement long
// enough to pay for a copy is found; larger ones hash 16 bytes, which keeps
// the chains of repetitive data short.
constexpr int64_t kShortWindowLimit = 1 << 20;

uint64_t Load64(const uint8_t* p) {
  uint64_t value;
  std::memcpy(&value, p, 8);
  return value;
}

}  // namespace

OldFileIndexShape OldFileIndex::ShapeFor(int64_t old_length, int64_t new_length) {
  OldFileIndexShape shape;
  shape.window = old_length <= kShortWindowLimit ? 8 : 16;
  // An entry costs about 8 bytes: its link and its share of the heads.
  const int64_t budget = std::max(kFixedIndexBytes, (old_length + new_length) / 2);
  const int64_t stride = (8 * old_length + budget - 1) / budget;
  shape.stride = static_cast<int32_t>(std::max<int64_t>(1, stride));
  return shape;
}

uint64_t OldFileIndex::Hash(const uint8_t* bytes) const {
  uint64_t value = Load64(bytes);
  if (shape_.window > 8) value ^= Load64(bytes + 8) * 0x9E3779B97F4A7C15ull;
  value *= 0xFF51AFD7ED558CCDull;
  return value ^ (value >> 29);
}

bool OldFileIndex::Build(const uint8_t* old_bytes, int32_t old_length,
                         const OldFileIndexShape& shape) {
  shape_ = shape;
  shape_.window = shape.window > 8 ? 16 : 8;
  shape_.stride = std::max(1, shape.stride);
  entries_ = 0;
  mask_ = 0;
  heads_.reset();
  next_.reset();
  if (old_length < shape_.window) return true;
  const int32_t last = old_length - shape_.window;  // last position a window fits
  const int32_t entries = last / shape_.stride + 1;
  uint64_t heads = 1;
  while (2 * heads < static_cast<uint64_t>(entries)) heads <<= 1;
  heads_.reset(new (std::nothrow) uint32_t[heads]);
  next_.reset(new (std::nothrow) uint32_t[static_cast<size_t>(entries)]);
  if (!heads_ || !next_) {
    heads_.reset();
    next_.reset();
    return false;
  }
  std::fill(heads_.get(), heads_.get() + heads, kEmpty);
  mask_ = heads - 1;
  // Filled from the end, so that each chain runs from the lowest position up.
  // The heads are reached at random: a batch of hashes is taken first and
  // their heads fetched ahead of the writes.
  constexpr int32_t kBatch = 32;
  uint64_t slots[kBatch];
  for (int32_t top = entries; top > 0; top -= kBatch) {
    const int32_t count = std::min(kBatch, top);
    for (int32_t k = 0; k < count; ++k) {
      const int32_t entry = top - 1 - k;
      slots[k] = Hash(old_bytes + static_cast<int64_t>(entry) * shape_.stride) & mask_;
      __builtin_prefetch(&heads_[slots[k]], 1);
    }
    for (int32_t k = 0; k < count; ++k) {
      const int32_t entry = top - 1 - k;
      uint32_t& head = heads_[slots[k]];
      next_[entry] = head;
      head = static_cast<uint32_t>(entry);
    }
  }
  entries_ = entries;
  return true;
}

}  // namespace corvane
