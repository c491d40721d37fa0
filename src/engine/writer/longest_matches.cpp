#include "engine/writer/longest_matches.h"

#include <algorithm>
#include <climits>
#include <new>

#include "engine/writer/matching_bytes.h"

namespace corvane {

namespace {

// Above this many (old, new) position pairs the search is limited.
constexpr int64_t kExhaustivePairs = int64_t{1} << 26;
// The first bytes of the file are compared with this much of the old file.
constexpr int32_t kFileStartScan = 1 << 16;
constexpr int32_t kProgressStep = 1 << 16;

}  // namespace

MatchEffort MatchEffort::Exhaustive() {
  MatchEffort effort;
  effort.candidates = INT_MAX;
  effort.settled_length = INT_MAX;
  effort.max_backward = INT_MAX;
  return effort;
}

MatchEffort MatchEffort::For(int64_t old_length, int64_t new_length) {
  if (old_length * new_length <= kExhaustivePairs) return Exhaustive();
  return MatchEffort();
}

bool LongestMatches::Reserve(int32_t max_length) {
  if (max_length <= capacity_) return true;
  offset_.reset(new (std::nothrow) int32_t[static_cast<size_t>(max_length)]);
  length_.reset(new (std::nothrow) int32_t[static_cast<size_t>(max_length)]);
  capacity_ = offset_ && length_ ? max_length : 0;
  return capacity_ != 0;
}

StretchMatches LongestMatches::Find(int32_t start, int32_t length,
                                    const std::function<void(int64_t position)>& progress) {
  length = std::min({length, capacity_, new_length_ - start});
  if (length <= 0) return StretchMatches{offset_.get(), length_.get()};
  std::fill(length_.get(), length_.get() + length, 0);
  std::fill(offset_.get(), offset_.get() + length, 0);
  const int32_t window = index_.window();
  const int32_t end = start + length;
  int32_t carried = 0, carried_offset = 0;  // the agreement of the position before
  for (int32_t j = 0; j < length; ++j) {
    const int32_t q = start + j;
    if (progress && (j & (kProgressStep - 1)) == 0) progress(q);
    if (carried >= effort_.settled_length) {
      // The positions that go on with a settled agreement take it as it is.
      const int32_t settled = std::min(carried - effort_.settled_length + 1, length - j);
      for (int32_t k = 0; k < settled; ++k) {
        length_[j + k] = carried - k;
        offset_[j + k] = carried_offset + k;
      }
      j += settled - 1;
      carried -= settled;
      carried_offset += settled;
      continue;
    }
    int32_t best = carried, best_offset = carried_offset;
    bool looked_up = false;
    if (best < effort_.settled_length && new_length_ - q >= window) {
      const uint8_t* here = new_ + q;
      const int32_t reach = end - q;
      int32_t checked = 0;
      for (int32_t c = index_.First(here); c != OldFileIndex::kNone && checked < effort_.candidates;
           c = index_.Next(c), ++checked) {
        if (best > 0 && c == best_offset) continue;  // the agreement carried over
        const int32_t cap = std::min(reach, old_length_ - c);
        if (cap <= best || old_[c + best] != here[best]) continue;
        const auto agreed =
            static_cast<int32_t>(MatchingBytes(here, old_ + c, static_cast<size_t>(cap)));
        if (agreed > best) {
          best = agreed;
          best_offset = c;
          looked_up = true;
        }
      }
    }
    length_[j] = best;
    offset_[j] = best_offset;
    if (looked_up) FollowBack(start, j, best_offset, best);
    carried = best > 0 ? best - 1 : 0;
    carried_offset = best_offset + 1;
  }
  if (start == 0) MatchFileStart(length);
  return StretchMatches{offset_.get(), length_.get()};
}

void LongestMatches::FollowBack(int32_t start, int32_t j, int32_t offset, int32_t length) {
  for (int32_t steps = 0; steps < effort_.max_backward && j > 0 && offset > 0; ++steps) {
    if (new_[start + j - 1] != old_[offset - 1]) return;
    --j;
    --offset;
    ++length;
    if (length_[j] >= length) return;
    length_[j] = length;
    offset_[j] = offset;
  }
}

// Before the first copy even a short one pays: it saves the empty copy field
// and the position field of an insert. The index does not see agreements
// shorter than its window, so the first position is compared directly.
void LongestMatches::MatchFileStart(int32_t length) {
  const int32_t cap = std::min(length, index_.window() - 1);
  if (length_[0] >= cap) return;
  const int32_t scan = std::min(old_length_, kFileStartScan);
  for (int32_t c = 0; c < scan; ++c) {
    const auto agreed = static_cast<int32_t>(
        MatchingBytes(new_, old_ + c, static_cast<size_t>(std::min(cap, old_length_ - c))));
    if (agreed > length_[0]) {
      length_[0] = agreed;
      offset_[0] = c;
    }
  }
}

}  // namespace corvane
