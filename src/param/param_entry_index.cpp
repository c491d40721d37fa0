#include "param/param_entry_index.h"

#include <algorithm>

#include "foundation/r_string.h"
#include "foundation/r_string_bank.h"
#include "param/param_entry.h"

namespace corvane {

namespace {
constexpr int kInitialBuckets = 15;
}

ParamEntryIndex::ParamEntryIndex(const Entries& entries)
    : buckets_(kInitialBuckets), entries_(&entries) {
  for (int i = 0; i < entries.Size(); ++i) Add(entries[i]->GetName(), i);
}

uint32_t ParamEntryIndex::Hash(const char* name) { return CaseInsensitiveStringBank().Hash(name); }

int ParamEntryIndex::Find(const char* name, const Entries& entries) const {
  // Positions in a bucket are kept ascending, so the first match is the
  // first entry of that name.
  for (int position : BucketOf(name)) {
    if (CompareNoCase(entries[position]->GetName(), name) == 0) return position;
  }
  return -1;
}

void ParamEntryIndex::Grow(int needed) {
  int buckets = BucketCount();
  int m = buckets + 1;
  while (32 * m - 16 < needed) m *= 2;
  std::vector<std::vector<int>> old;
  old.swap(buckets_);
  buckets_.resize(static_cast<size_t>(2 * m - 1));
  std::vector<int> all;
  all.reserve(static_cast<size_t>(count_));
  for (const auto& bucket : old) all.insert(all.end(), bucket.begin(), bucket.end());
  std::sort(all.begin(), all.end());
  for (int position : all) BucketOf((*entries_)[position]->GetName()).push_back(position);
}

void ParamEntryIndex::Add(const char* name, int position) {
  int needed = count_ + 1;
  if (needed > 16 * BucketCount()) Grow(needed);
  std::vector<int>& bucket = BucketOf(name);
  bucket.insert(std::upper_bound(bucket.begin(), bucket.end(), position), position);
  ++count_;
}

void ParamEntryIndex::Remove(const char* name, int position) {
  std::vector<int>& bucket = BucketOf(name);
  auto it = std::find(bucket.begin(), bucket.end(), position);
  if (it != bucket.end()) {
    bucket.erase(it);
    --count_;
  }
  for (auto& b : buckets_) {
    for (int& p : b) {
      if (p > position) --p;
    }
  }
}

void ParamEntryIndex::Rename(const char* old_name, const char* new_name, int position) {
  std::vector<int>& from = BucketOf(old_name);
  auto it = std::find(from.begin(), from.end(), position);
  if (it != from.end()) from.erase(it);
  std::vector<int>& to = BucketOf(new_name);
  to.insert(std::upper_bound(to.begin(), to.end(), position), position);
}

size_t ParamEntryIndex::GetMemory() const {
  size_t total = sizeof(*this) + buckets_.capacity() * sizeof(std::vector<int>);
  for (const auto& bucket : buckets_) total += bucket.capacity() * sizeof(int);
  return total;
}

}  // namespace corvane
