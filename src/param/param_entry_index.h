#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/auto_array.h"

namespace corvane {

class ParamEntry;

// Hash table from entry names (compared without regard to ASCII case) to
// positions in a class's entry array. It changes the speed of lookups only:
// the position found is the first entry of that name, as a scan would find.
//
// Starts with 15 buckets; when the names would exceed 16 per bucket the table
// grows to 2m - 1 buckets, where m starts at B + 1 and doubles until
// 32m - 16 covers the names (15, 31, 63, ...).
class ParamEntryIndex {
 public:
  using Entries = AutoArray<ParamEntry*>;

  // Indexes every entry of `entries` in order.
  explicit ParamEntryIndex(const Entries& entries);

  // Position of the first entry named `name`, or -1.
  int Find(const char* name, const Entries& entries) const;
  // Registers the entry now standing at `position` (appended last).
  void Add(const char* name, int position);
  // Forgets `position` (holding `name`); positions above it move down by one.
  void Remove(const char* name, int position);
  // The entry at `position` changed its name from `old_name` to `new_name`.
  void Rename(const char* old_name, const char* new_name, int position);

  int BucketCount() const { return static_cast<int>(buckets_.size()); }
  int Count() const { return count_; }
  size_t GetMemory() const;

 private:
  static uint32_t Hash(const char* name);
  void Grow(int needed);
  std::vector<int>& BucketOf(const char* name) {
    return buckets_[Hash(name) % static_cast<uint32_t>(buckets_.size())];
  }
  const std::vector<int>& BucketOf(const char* name) const {
    return buckets_[Hash(name) % static_cast<uint32_t>(buckets_.size())];
  }

  std::vector<std::vector<int>> buckets_;
  int count_ = 0;
  const Entries* entries_ = nullptr;  // for rehashing; the class outlives the index
};

}  // namespace corvane
